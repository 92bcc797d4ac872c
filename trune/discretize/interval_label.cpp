// IntervalLabel (see interval_label.h).
#include "trune/discretize/interval_label.h"

#include <optional>

#include "platform/db/value_text.h"
#include "platform/vb/regional.h"
#include "trune/discretize/numeric_text.h"

namespace trune {

std::string IntervalLabel(const db::Value& v, const CutPoints& cuts, const ExclusionCodes& codes) {
    if (cuts.empty()) return "?";
    const std::optional<double> x = CellNumber(v);
    if (!x) return v.IsNull() ? "?" : db::ValueText(v);
    if (codes.IsMissing(*x)) return "?";
    if (codes.IsAlone(*x)) return vb::RegionalText(*codes.alone);
    if (*x < double(cuts.front())) return "<" + vb::RegionalText(cuts.front());
    // Written as "not below": whatever compares with nothing ends here, so that the middle
    // intervals are looked for only when x lies below the last cut, which bounds the search.
    if (!(*x < double(cuts.back()))) return ">" + vb::RegionalText(cuts.back());
    // The first cut above x, among the cuts only, even were they out of order.
    size_t k = 1;
    while (k + 1 < cuts.size() && !(*x < double(cuts[k]))) ++k;
    return ">" + vb::RegionalText(cuts[k - 1]) + "<" + vb::RegionalText(cuts[k]);
}

}  // namespace trune
