// Conversions of doubles to the runtime's whole-number types: halves go to the even
// neighbour, and a result outside the type's range is error 6.
#include "platform/vb/types.h"

#include <cmath>

namespace vb {

namespace {
double RoundHalfEven(double v) {
    if (!std::isfinite(v)) throw RuntimeError::Overflow();
    return std::nearbyint(v);  // the default rounding mode rounds halves to even
}
}  // namespace

Integer CInt(double v) {
    double r = RoundHalfEven(v);
    // Checked in double first: converting a double beyond int64's range is undefined.
    if (r < -32768.0 || r > 32767.0) throw RuntimeError::Overflow();
    return Integer(r);
}

Long CLng(double v) {
    double r = RoundHalfEven(v);
    if (r < -2147483648.0 || r > 2147483647.0) throw RuntimeError::Overflow();
    return Long(r);
}

}  // namespace vb
