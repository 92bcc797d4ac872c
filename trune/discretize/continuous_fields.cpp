// The continuous-field rule and the "Auto Set" count.
#include "trune/discretize/continuous_fields.h"

#include <algorithm>
#include <cmath>

#include "platform/vb/runtime_error.h"
#include "trune/discretize/numeric_text.h"

namespace trune {

bool IsLabelColumn(std::string_view field) {
    return field.size() >= 2 && field.substr(field.size() - 2) == "_d";
}

int NumericCount(const std::vector<db::Value>& sample) {
    const size_t n = std::min(sample.size(), size_t(kNumericSample));
    return int(std::count_if(sample.begin(), sample.begin() + std::ptrdiff_t(n),
                             [](const db::Value& v) { return CellNumber(v).has_value(); }));
}

bool IsContinuous(int32_t distinct, const std::vector<db::Value>& sample, int valueLimit) {
    if (distinct <= valueLimit) return false;
    return NumericCount(sample) >= valueLimit - 3;
}

int AutoSetIntervals(int32_t distinct) {
    if (distinct <= 0) throw vb::RuntimeError::InvalidCall();
    // One value would give 0 intervals, which no list entry shows and no cut makes.
    if (distinct == 1) return kMinIntervals;
    const double count = std::floor(2.0 * std::log(double(distinct)) / std::log(2.0));
    return count > kMaxIntervals ? kMaxIntervals : int(count);
}

}  // namespace trune
