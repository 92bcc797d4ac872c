// EqualWidthCuts (see equal_width.h).
#include "trune/discretize/equal_width.h"

#include <cmath>

#include "platform/vb/runtime_error.h"

namespace trune {

CutPoints EqualWidthCuts(double minimum, double maximum, vb::Integer n) {
    if (n == 0) throw vb::RuntimeError::DivisionByZero();
    // One interval has no cut, and its width, the whole range, need not fit a Single.
    if (n == 1) return {};
    const vb::Single lo = ToSingle(minimum);
    const vb::Single w = ToSingle((maximum - double(lo)) / n);
    CutPoints cuts;
    vb::Single c = lo;
    for (vb::Integer k = 1; k <= n - 1; ++k) {
        c = c + w;
        if (!std::isfinite(c)) throw vb::RuntimeError::Overflow();
        StoreCut(cuts, c);
    }
    return cuts;
}

}  // namespace trune
