// Round to decimal places, halves to even, scaled in double precision as the runtime does.
#include "platform/vb/rounding.h"

#include <cmath>

#include "platform/vb/runtime_error.h"

namespace vb {

double Round(double x, int digits) {
    if (digits < 0 || digits > 15) throw RuntimeError::InvalidCall();
    if (!std::isfinite(x)) return x;
    const double scale = std::pow(10.0, digits);  // exact for 0..15 digits
    const double scaled = x * scale;
    // From 2^52 on a double has no fraction left to round.
    if (std::fabs(scaled) >= 4503599627370496.0) return x;
    return std::nearbyint(scaled) / scale;  // the default rounding mode takes halves to even
}

}  // namespace vb
