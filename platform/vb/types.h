// The runtime's scalar types and the checked arithmetic that the engines compute in. Integer and
// Long products and sums raise error 6 where the 16- or 32-bit result would overflow; Single is
// a 32-bit float, and a value "rounded to Single" is a float conversion of a double.
#pragma once

#include <cstdint>
#include <limits>

#include "platform/vb/runtime_error.h"

namespace vb {

using Integer = int16_t;
using Long = int32_t;
using Single = float;

template <typename T>
inline T CheckedRange(int64_t v) {
    if (v < int64_t(std::numeric_limits<T>::min()) || v > int64_t(std::numeric_limits<T>::max()))
        throw RuntimeError::Overflow();
    return T(v);
}

inline Integer IntMul(Integer a, Integer b) { return CheckedRange<Integer>(int64_t(a) * b); }
inline Integer IntAdd(Integer a, Integer b) { return CheckedRange<Integer>(int64_t(a) + b); }
inline Long LongMul(Long a, Long b) { return CheckedRange<Long>(int64_t(a) * b); }
inline Long LongAdd(Long a, Long b) { return CheckedRange<Long>(int64_t(a) + b); }

// Conversion of a double to Integer or Long: round half to even, error 6 out of range.
Integer CInt(double v);
Long CLng(double v);

}  // namespace vb
