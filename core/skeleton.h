// What both searches share about the skeleton they build: a link sets or clears both cells of a
// pair, and paths and conditioning sets look at most kMaxLevel levels out from their start.
#pragma once

#include "platform/vb/array.h"
#include "platform/vb/types.h"

namespace core {

inline constexpr vb::Integer kMaxLevel = 8;

inline void Link(vb::Array<vb::Integer>& adj, vb::Integer a, vb::Integer b, vb::Integer value) {
    adj(a, b) = value;
    adj(b, a) = value;
}

}  // namespace core
