// What the construction run makes of its result without any widget: the manual network of a
// skipped construction and the text that lists the links.
#pragma once

#include <string>

#include "platform/vb/array.h"
#include "platform/vb/types.h"

namespace vrell {

// The skipped construction: every cause-and-effect pair of `ce` (engine order, 0..n-1) becomes a
// link of `rst` in its cell (a, b), a < b: code 1 when the cause comes first, code 2 when the
// effect comes first (the pair then stands in ce's other half, and would otherwise be lost).
void TakeCauseEffectPairs(const vb::Array<vb::Integer>& ce, vb::Array<vb::Integer>& rst, int n);

// The links of `rst` over the fields `names` (0..n-1): "A -> B", "A <- B", "A -- B" or "A <> B"
// by code, each followed by three blanks, a CR LF after every fourth link.
std::string ListLinks(const vb::Array<vb::Integer>& rst, const vb::Array<std::string>& names, int n);

}  // namespace vrell
