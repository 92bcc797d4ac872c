// vb::Array<T>: a bounds-checked array of one to five dimensions, each with its own lower and
// upper bound, as the engines' member arrays and the arrays that cross the engine interface are.
// An array is either unallocated (no dimensions) or sized by ReDim; sizing clears every cell to
// T{}. Copies are deep: an Array owns its cells. A subscript outside the bounds, or a subscript
// count that differs from the number of dimensions, throws vb::RuntimeError 9. Array<bool>
// holds real bools (not std::vector<bool>'s packed bits), so a(i) = true works as for any T.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

#include "platform/vb/runtime_error.h"

namespace vb {

// One dimension: the inclusive range lower..upper. An empty range (upper = lower - 1) is allowed
// and gives a dimension without cells.
struct Bounds {
    int32_t lower = 0;
    int32_t upper = -1;
    int64_t count() const { return int64_t(upper) - lower + 1; }
};

inline Bounds Range(int32_t lower, int32_t upper) { return Bounds{lower, upper}; }
// The common case "0 To upper".
inline Bounds To(int32_t upper) { return Bounds{0, upper}; }

namespace detail {
// The storage cell of an Array<bool>: a bool that a reference can bind to.
struct BoolCell {
    bool value = false;
    BoolCell() = default;
    BoolCell(bool b) : value(b) {}
    operator bool() const { return value; }
    bool operator==(const BoolCell&) const = default;
};
}  // namespace detail

template <typename T>
class Array {
public:
    static constexpr int kMaxDims = 5;
    using Cell = std::conditional_t<std::is_same_v<T, bool>, detail::BoolCell, T>;

    Array() = default;
    // Array(To(3), To(4)) is "Dim a(3, 4)"; Array(Range(1, 5)) is "Dim a(1 To 5)".
    template <typename... B>
    explicit Array(Bounds first, B... rest) { ReDim(first, rest...); }

    bool allocated() const { return dims_ > 0; }
    int dims() const { return dims_; }
    // LBound/UBound of dimension d, counted from 1 as the runtime does. Error 9 when the array is
    // unallocated or has no such dimension.
    int32_t LBound(int d = 1) const { return bounds(d).lower; }
    int32_t UBound(int d = 1) const { return bounds(d).upper; }
    const Bounds& bounds(int d = 1) const {
        if (d < 1 || d > dims_) throw RuntimeError::SubscriptOutOfRange();
        return b_[d - 1];
    }
    size_t size() const { return cells_.size(); }

    // Sizes the array afresh; every cell becomes T{}. Error 9 for a negative extent, error 7
    // when the cells would not fit in memory; the array is unchanged after an error.
    template <typename... B>
    void ReDim(Bounds first, B... rest) {
        static_assert(sizeof...(B) < kMaxDims, "at most five dimensions");
        const Bounds all[] = {first, rest...};
        SizeTo(all, int(sizeof...(B)) + 1);
    }
    // ReDim with the cells already made (storage order, first subscript fastest), so a
    // result read into a vector becomes the array without a second pass over its cells.
    // Error 9 when their number is not the bounds' product; the array is unchanged then.
    template <typename... B>
    void ReDimWith(std::vector<Cell> cells, Bounds first, B... rest) {
        static_assert(sizeof...(B) < kMaxDims, "at most five dimensions");
        const Bounds all[] = {first, rest...};
        int64_t n = 1;
        for (const Bounds& b : all) {
            if (b.count() < 0) throw RuntimeError::SubscriptOutOfRange();
            n *= b.count();
        }
        if (n != int64_t(cells.size())) throw RuntimeError::SubscriptOutOfRange();
        cells_ = std::move(cells);
        dims_ = int(sizeof...(B)) + 1;
        for (int i = 0; i < dims_; ++i) b_[i] = all[i];
    }
    void ReDim(const std::vector<Bounds>& all) {
        if (all.empty() || all.size() > size_t(kMaxDims)) throw RuntimeError::SubscriptOutOfRange();
        SizeTo(all.data(), int(all.size()));
    }
    // ReDim Preserve: only the upper bound of the last dimension may change; cells inside both
    // the old and the new bounds keep their values.
    void ReDimPreserveLast(int32_t upper) {
        if (dims_ == 0) throw RuntimeError::SubscriptOutOfRange();
        Bounds nb = b_[dims_ - 1];
        nb.upper = upper;
        if (nb.count() < 0) throw RuntimeError::SubscriptOutOfRange();
        int64_t inner = 1;
        for (int i = 0; i < dims_ - 1; ++i) inner *= b_[i].count();
        int64_t oldLast = b_[dims_ - 1].count();
        std::vector<Cell> next(size_t(inner * nb.count()), Cell{});
        // Storage is column-major (first subscript fastest), so the last dimension is the
        // outermost block and a prefix of it can be copied whole.
        int64_t keep = std::min<int64_t>(oldLast, nb.count()) * inner;
        for (int64_t i = 0; i < keep; ++i) next[size_t(i)] = std::move(cells_[size_t(i)]);
        cells_ = std::move(next);
        b_[dims_ - 1] = nb;
    }
    // Erase: back to the unallocated state.
    void Erase() {
        dims_ = 0;
        cells_.clear();
    }
    // Sets every cell to v (used where a procedure clears an array it keeps).
    void Fill(const T& v) {
        for (auto& c : cells_) c = v;
    }

    template <typename... I>
    T& operator()(I... idx) { return Ref(cells_[offset(idx...)]); }
    template <typename... I>
    const T& operator()(I... idx) const { return Ref(cells_[offset(idx...)]); }

    // True when i lies inside dimension d's bounds.
    bool InBounds(int d, int64_t i) const {
        return d >= 1 && d <= dims_ && i >= b_[d - 1].lower && i <= b_[d - 1].upper;
    }

    // Raw cells in storage order (first subscript fastest), for bulk copies and tests.
    const std::vector<Cell>& cells() const { return cells_; }
    std::vector<Cell>& cells() { return cells_; }

    bool operator==(const Array& o) const {
        if (dims_ != o.dims_) return false;
        for (int i = 0; i < dims_; ++i)
            if (b_[i].lower != o.b_[i].lower || b_[i].upper != o.b_[i].upper) return false;
        return cells_ == o.cells_;
    }
    bool operator!=(const Array& o) const { return !(*this == o); }

private:
    void SizeTo(const Bounds* all, int count) {
        // A cap far below what int64 can count keeps the product from overflowing.
        constexpr int64_t kMaxCells = int64_t(1) << 40;
        int64_t n = 1;
        for (int i = 0; i < count; ++i) {
            if (all[i].count() < 0) throw RuntimeError::SubscriptOutOfRange();
            n *= all[i].count();
            if (n > kMaxCells) throw RuntimeError::OutOfMemory();
        }
        std::vector<Cell> fresh;
        try {
            fresh.assign(size_t(n), Cell{});
        } catch (const std::bad_alloc&) {
            throw RuntimeError::OutOfMemory();
        }
        cells_ = std::move(fresh);
        dims_ = count;
        for (int i = 0; i < count; ++i) b_[i] = all[i];
    }

    static T& Ref(Cell& c) {
        if constexpr (std::is_same_v<T, bool>) return c.value;
        else return c;
    }
    static const T& Ref(const Cell& c) {
        if constexpr (std::is_same_v<T, bool>) return c.value;
        else return c;
    }

    template <typename... I>
    size_t offset(I... idx) const {
        constexpr int n = int(sizeof...(I));
        static_assert(n >= 1 && n <= kMaxDims, "one to five subscripts");
        if (n != dims_) throw RuntimeError::SubscriptOutOfRange();
        const int64_t sub[] = {int64_t(idx)...};
        int64_t off = 0;
        int64_t stride = 1;
        for (int i = 0; i < n; ++i) {
            const Bounds& x = b_[i];
            if (sub[i] < x.lower || sub[i] > x.upper) throw RuntimeError::SubscriptOutOfRange();
            off += (sub[i] - x.lower) * stride;
            stride *= x.count();
        }
        return size_t(off);
    }

    int dims_ = 0;
    std::array<Bounds, kMaxDims> b_{};
    std::vector<Cell> cells_;
};

}  // namespace vb
