// What both searches share about the skeleton they build: a link sets or clears both cells of a
// pair, and paths and conditioning sets look at most kMaxLevel levels out from their start.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/vb/array.h"
#include "platform/vb/runtime_error.h"
#include "platform/vb/types.h"

namespace core {

inline constexpr vb::Integer kMaxLevel = 8;

// A square matrix (0..n, 0..n) read without checking each subscript: the path searches read
// Adj and Reach millions of times in a construction over many fields, so the bounds are checked
// once, when the view is made (the runtime's subscript error when the matrix is too small).
class SquareView {
public:
    SquareView(const vb::Array<vb::Integer>& m, vb::Integer n) {
        if (m.dims() != 2 || m.LBound(1) != 0 || m.LBound(2) != 0 || m.UBound(1) < n || m.UBound(2) < n)
            throw vb::RuntimeError::SubscriptOutOfRange();
        cells_ = m.cells().data();
        stride_ = size_t(m.UBound(1)) + 1;
    }
    vb::Integer operator()(vb::Integer i, vb::Integer j) const { return cells_[size_t(i) + size_t(j) * stride_]; }

private:
    const vb::Integer* cells_ = nullptr;
    size_t stride_ = 0;
};

// The skeleton as bit rows beside Adj: Into(m) holds the fields k with Adj(k, m) = 1, OutOf(x)
// the fields c with Adj(x, c) = 1 (bit f of word f / 64), and the same sets as ascending lists of
// fields. A search over many fields expands a whole level of its path searches with a few word
// operations a field instead of a scan of a matrix column, and walks a field's links through its
// list, which on a sparse skeleton is a few entries where the row is a word per 64 fields.
class LinkBits {
public:
    void Build(const vb::Array<vb::Integer>& adj, vb::Integer n) {
        const SquareView view(adj, n);
        n_ = n;
        words_ = size_t(n) / 64 + 1;
        into_.assign((size_t(n) + 1) * words_, 0);
        outOf_.assign((size_t(n) + 1) * words_, 0);
        linked_.assign(words_, 0);
        intoList_.assign(size_t(n) + 1, {});
        outList_.assign(size_t(n) + 1, {});
        // x ascending outside, c inside: every list is filled in ascending order.
        for (vb::Integer x = 1; x <= n; ++x)
            for (vb::Integer c = 1; c <= n; ++c)
                if (view(x, c) == 1) {
                    Put(outOf_, outList_, x, c, true);
                    Put(into_, intoList_, c, x, true);
                }
        symmetric_ = into_ == outOf_;
    }
    // As Link(adj, a, b, value) leaves the two cells (a symmetric skeleton stays symmetric).
    void Set(vb::Integer a, vb::Integer b, vb::Integer value) {
        const bool on = value == 1;
        Put(outOf_, outList_, a, b, on);
        Put(into_, intoList_, b, a, on);
        Put(outOf_, outList_, b, a, on);
        Put(into_, intoList_, a, b, on);
    }
    vb::Integer fields() const { return n_; }
    size_t words() const { return words_; }
    const uint64_t* Into(vb::Integer m) const { return &into_[size_t(m) * words_]; }
    const uint64_t* OutOf(vb::Integer x) const { return &outOf_[size_t(x) * words_]; }
    const std::vector<vb::Integer>& IntoList(vb::Integer m) const { return intoList_[size_t(m)]; }
    const std::vector<vb::Integer>& OutList(vb::Integer x) const { return outList_[size_t(x)]; }
    // The fields with a link out of them (a non-empty OutOf row): no path enters any other.
    const uint64_t* Linked() const { return linked_.data(); }
    // Into(x) and OutOf(x) hold the same fields for every x (every link set both ways, as
    // Link sets it): a search may read one array for both and keep half the rows in cache.
    bool Symmetric() const { return symmetric_; }

private:
    void Put(std::vector<uint64_t>& rows, std::vector<std::vector<vb::Integer>>& lists, vb::Integer row,
             vb::Integer bit, bool on) {
        uint64_t& w = rows[size_t(row) * words_ + size_t(bit) / 64];
        const uint64_t mask = uint64_t(1) << (size_t(bit) % 64);
        if (((w & mask) != 0) == on) return;
        w ^= mask;
        std::vector<vb::Integer>& list = lists[size_t(row)];
        const auto at = std::lower_bound(list.begin(), list.end(), bit);
        if (on) list.insert(at, bit);
        else list.erase(at);
        if (&lists == &outList_) {
            const uint64_t self = uint64_t(1) << (size_t(row) % 64);
            uint64_t& l = linked_[size_t(row) / 64];
            l = list.empty() ? (l & ~self) : (l | self);
        }
    }
    vb::Integer n_ = 0;
    size_t words_ = 0;
    bool symmetric_ = true;
    std::vector<uint64_t> into_, outOf_, linked_;
    std::vector<std::vector<vb::Integer>> intoList_, outList_;
};

// The rows of Reach as bits (bit k of row x: x reaches k), in the layout of LinkBits, for a
// phase of the search in which Reach does not change. Reach keeps a row's cells a column
// apart, so reading a row of it cell by cell misses the cache at every field.
class ReachRows {
public:
    void Build(const vb::Array<vb::Integer>& reach, vb::Integer n) {
        const SquareView view(reach, n);
        words_ = size_t(n) / 64 + 1;
        rows_.assign((size_t(n) + 1) * words_, 0);
        for (vb::Integer k = 1; k <= n; ++k)
            for (vb::Integer x = 1; x <= n; ++x)
                if (view(x, k) != 0) rows_[size_t(x) * words_ + size_t(k) / 64] |= uint64_t(1) << (size_t(k) % 64);
    }
    const uint64_t* Row(vb::Integer x) const { return &rows_[size_t(x) * words_]; }

private:
    size_t words_ = 0;
    std::vector<uint64_t> rows_;
};

// The word loops below run the machine's popcount and wide vector instructions where it has
// them, chosen once at start as the count path's vector kernels are (bit_count.cpp).

// The number of bits set in words[0, n).
size_t CountBits(const uint64_t* words, size_t n);

// A set of fields as bits, with the words [lo, hi) outside which it holds none.
struct RowSet {
    const uint64_t* bits;
    size_t lo, hi;
};

// One level of a breadth search over bit rows (row f at rows + f * stride, a field's
// neighbours): next[w], for w in [lo, hi), gets the fields of `open` in the row of some field
// of `frontier`. GrowOutward ors the frontier's rows, GrowInward looks into the row of each open
// field (and writes only the words [open.lo, open.hi)); both give the same fields, at a cost
// of the frontier's or the open set's size.
void GrowOutward(const uint64_t* rows, size_t stride, const RowSet& frontier, const uint64_t* open, size_t lo,
                 size_t hi, uint64_t* next);
void GrowInward(const uint64_t* rows, size_t stride, const RowSet& open, const RowSet& frontier, uint64_t* next);

inline void Link(vb::Array<vb::Integer>& adj, vb::Integer a, vb::Integer b, vb::Integer value) {
    adj(a, b) = value;
    adj(b, a) = value;
}

}  // namespace core
