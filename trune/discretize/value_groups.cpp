// NumericGroups and UsableRange: grouped rows read as numbers for the cut methods.
#include "trune/discretize/value_groups.h"

#include <algorithm>

#include "platform/vb/types.h"
#include "trune/discretize/numeric_text.h"

namespace trune {

std::vector<ValueGroup> NumericGroups(const std::vector<GroupRow>& rows, const ExclusionCodes& codes) {
    ValueGroup nullGroup;
    nullGroup.excluded = true;
    std::vector<ValueGroup> numbers;
    for (const GroupRow& row : rows) {
        if (row.value.IsNull()) {
            nullGroup.count = vb::LongAdd(nullGroup.count, row.count);
            continue;
        }
        std::optional<double> x = CellNumber(row.value);
        if (!x) continue;
        numbers.push_back({x, row.count, codes.IsMissing(*x) || codes.IsAlone(*x)});
    }
    std::stable_sort(numbers.begin(), numbers.end(),
                     [](const ValueGroup& a, const ValueGroup& b) { return *a.value < *b.value; });
    std::vector<ValueGroup> out;
    if (nullGroup.count > 0) out.push_back(nullGroup);
    for (const ValueGroup& g : numbers) {
        if (!out.empty() && out.back().value == g.value) out.back().count = vb::LongAdd(out.back().count, g.count);
        else out.push_back(g);
    }
    return out;
}

std::optional<std::pair<double, double>> UsableRange(const std::vector<ValueGroup>& groups) {
    std::optional<std::pair<double, double>> range;
    for (const ValueGroup& g : groups) {
        if (g.excluded) continue;
        if (!range) range.emplace(*g.value, *g.value);
        range->first = std::min(range->first, *g.value);
        range->second = std::max(range->second, *g.value);
    }
    return range;
}

}  // namespace trune
