// What both searches share about the skeleton they build: a link sets or clears both cells of a
// pair, and paths and conditioning sets look at most kMaxLevel levels out from their start.
#pragma once

#include "platform/vb/array.h"
#include "platform/vb/errors.h"
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

inline void Link(vb::Array<vb::Integer>& adj, vb::Integer a, vb::Integer b, vb::Integer value) {
    adj(a, b) = value;
    adj(b, a) = value;
}

}  // namespace core
