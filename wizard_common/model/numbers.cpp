// Reading the wizards' number boxes; the parsing rules are the runtime's own (platform/vb), so a
// value reads the same in a dialog and in an engine.
#include "wizard_common/model/numbers.h"

#include <cmath>

#include "platform/vb/numbered_error.h"
#include "platform/vb/strings.h"

namespace wizard {

std::optional<double> NumericValue(std::string_view text) {
    const std::string trimmed = vb::Trim(text);
    if (trimmed.empty()) return std::nullopt;
    try {
        return vb::ParseDouble(trimmed);
    } catch (const vb::NumberedError&) {
        // Type mismatch or overflow: either way the box does not hold a number.
        return std::nullopt;
    }
}

std::optional<int64_t> WholeNumberInRange(std::string_view text, int64_t lo, int64_t hi) {
    const std::optional<double> v = NumericValue(text);
    if (!v || !std::isfinite(*v)) return std::nullopt;
    if (*v < double(lo) || *v > double(hi)) return std::nullopt;
    return int64_t(std::nearbyint(*v));  // the default rounding mode takes halves to even
}

}  // namespace wizard
