// Arithmetic shared by the mutual-information and conditional-independence procedures: reading a
// coded count block, adding counts the way the Long tables do (every running sum rounded to a
// whole number as it is added, so fractional frequency sums round in the order they arrive),
// and the divisions and logarithms, which raise the runtime's errors instead of giving an
// infinity or NaN that would pass silently into a statistic.
#pragma once

#include <cmath>
#include <cstdint>
#include <type_traits>

#include "core/coded_block.h"
#include "platform/db/database.h"
#include "platform/vb/array.h"
#include "platform/vb/runtime_error.h"
#include "platform/vb/types.h"

namespace core::counts {

using vb::Integer;
using vb::Long;
using vb::Single;

// Rows of a count block (column, row): 0 for an empty result.
inline int32_t RowCount(const vb::Array<db::Value>& block) {
    if (block.dims() != 2) return 0;
    return block.UBound(2) + 1;
}

// The group's count in column 0: a whole number under Count(*), a sum under Sum(). A Null sum
// (every weight of the group Null) is not a number: error 94 "Invalid use of Null".
inline double CountOf(const vb::Array<db::Value>& block, int32_t r) {
    const db::Value& c = block(0, r);
    if (c.IsNull()) throw vb::RuntimeError(94, "Invalid use of Null");
    return c.ToDouble();
}

// The value index that CodeRows wrote into column `col`, as a subscript 1..ff. A cell that no
// label matched is not an index: a Null is error 94, a text error 13, a number outside the
// field's values error 9.
inline Integer RawIndexOf(const db::Value& v) {
    if (v.IsNull()) throw vb::RuntimeError(94, "Invalid use of Null");
    return v.kind() == db::Value::Kind::Integer ? v.AsInteger() : vb::CInt(v.ToDouble());
}

inline Integer IndexOf(const vb::Array<db::Value>& block, int col, int32_t r, Integer ff) {
    const Integer idx = RawIndexOf(block(col, r));
    if (idx < 1 || idx > ff) throw vb::RuntimeError::SubscriptOutOfRange();
    return idx;
}

// The same over a coded block, raising what the cell would have raised.
inline int32_t RowCount(const CodedBlock& block) { return block.rows; }

inline double CountOf(const CodedBlock& block, int32_t r) {
    if (!block.countError.empty() && block.countError[size_t(r)] >= 0)
        std::rethrow_exception(block.errors[size_t(block.countError[size_t(r)])]);
    return block.count[size_t(r)];
}

inline Integer IndexOf(const CodedBlock& block, int col, int32_t r, Integer ff) {
    const int32_t idx = block.code[size_t(r) * size_t(block.width) + size_t(col - 1)];
    if (idx <= CodedBlock::kNoIndex) std::rethrow_exception(block.errors[size_t(CodedBlock::kNoIndex - idx)]);
    if (idx < 1 || idx > ff) throw vb::RuntimeError::SubscriptOutOfRange();
    return Integer(idx);
}

// cell := cell + c, the sum rounded to the nearest whole number (halves to even).
// A whole sum inside the Long range is its own rounding, the common case of Count(*) blocks; the
// runtime's conversion handles the rest (fractions, overflow).
inline void Add(Long& cell, double c) {
    const double sum = double(cell) + c;
    if (sum >= -2147483648.0 && sum <= 2147483647.0) {
        const Long whole = Long(sum);
        if (double(whole) == sum) {
            cell = whole;
            return;
        }
    }
    cell = vb::CLng(sum);
}

inline double Div(double x, double y) {
    if (y == 0) throw vb::RuntimeError::DivisionByZero();
    return x / y;
}

inline double Ln(double x) {
    if (!(x > 0)) throw vb::RuntimeError::InvalidCall();
    return std::log(x);
}

// Whether every count is a whole number and their sizes add up to at most the Long range, so
// that every running sum of them, however the rows are grouped, is plain addition of Long(count).
// Every count is read (no early exit), so the loop carries no branch.
inline bool WholeCounts(const double* count, size_t rows) {
    bool whole = true;
    int64_t size = 0;
    for (size_t r = 0; r < rows; ++r) {
        const double c = count[r];
        const bool fits = std::fabs(c) <= 2147483647.0;  // false for a NaN
        const int32_t n = fits ? int32_t(c) : 0;
        whole &= fits & (double(n) == c);
        size += n < 0 ? -int64_t(n) : int64_t(n);
    }
    return whole && size <= 2147483647;
}

// Whether columns 1..width of a block can be read without the checks of IndexOf and CountOf:
// no cell raises, every code of column col lies in 1..valueCount(col), and every count is a
// whole number, with the sizes of all counts adding up to at most the Long range, so that every
// running sum of counts, however the rows are grouped, is its own rounding and Add is plain
// addition (of Long(count)).
template <class ValueCount>
bool Plain(const CodedBlock& block, int width, ValueCount valueCount) {
    if (!block.errors.empty() || !block.countError.empty()) return false;
    if (width > block.width || width > 64) return false;
    const int32_t rows = block.rows;
    // Row by row, as the codes lie; a code is in range when code - 1 < ff unsigned. Every row
    // is read (no early exit) so the loops carry no branch, and the sizes are summed as whole
    // numbers, which they are wherever the answer can be yes.
    uint32_t ff[64];
    for (int col = 1; col <= width; ++col) ff[col - 1] = uint32_t(valueCount(col));
    uint32_t outOfRange = 0;
    const size_t stride = size_t(block.width);
    const int32_t* codes = block.code.data();
    int32_t r0 = 0;
    // Rows that lie one after another, of a width known when compiled: eight at a time against
    // the bounds laid out the same way, which the compiler turns into vector compares.
    auto rowsOfWidth = [&](auto w) {
        constexpr size_t kRun = size_t(decltype(w)::value) * 8;
        uint32_t tops[kRun];
        for (size_t x = 0; x < kRun; ++x) tops[x] = ff[x % decltype(w)::value];
        for (; r0 + 8 <= rows; r0 += 8) {
            const int32_t* at = codes + size_t(r0) * stride;
            uint32_t bad = 0;
            for (size_t x = 0; x < kRun; ++x) bad |= uint32_t(uint32_t(at[x]) - 1u >= tops[x]);
            outOfRange |= bad;
        }
    };
    if (size_t(width) == stride) {
        switch (width) {
            case 2: rowsOfWidth(std::integral_constant<size_t, 2>()); break;
            case 3: rowsOfWidth(std::integral_constant<size_t, 3>()); break;
            case 4: rowsOfWidth(std::integral_constant<size_t, 4>()); break;
            case 5: rowsOfWidth(std::integral_constant<size_t, 5>()); break;
            case 6: rowsOfWidth(std::integral_constant<size_t, 6>()); break;
            case 7: rowsOfWidth(std::integral_constant<size_t, 7>()); break;
            case 8: rowsOfWidth(std::integral_constant<size_t, 8>()); break;
            default: break;
        }
    }
    for (int col = 0; col < width; ++col) {
        const uint32_t top = ff[col];
        const int32_t* at = codes + col;
        for (int32_t r = r0; r < rows; ++r) outOfRange |= uint32_t(uint32_t(at[size_t(r) * stride]) - 1u >= top);
    }
    return outOfRange == 0 && WholeCounts(block.count.data(), size_t(rows));
}

// A statistic summed over the cases, divided by the layer's total count and rounded to Single.
// A sum of 0 is 0 whatever the total, so a layer without rows gives 0 rather than 0 / 0.
inline Single PerCase(Single sum, Long total) {
    if (sum == 0) return 0;
    return Single(Div(double(sum), double(total)));
}

}  // namespace core::counts
