// EqualFreqCuts: intervals holding about the same number of usable rows, never splitting a
// value's group.
#pragma once

#include <vector>

#include "platform/vb/types.h"
#include "trune/discretize/cut_points.h"
#include "trune/discretize/value_groups.h"

namespace trune {

// The cut points for n intervals over the groups (NumericGroups' order: Null first, then
// ascending). V, the usable rows, is the rows of the groups not excluded; the quota is
// q = V / n + 1 in double, rounded half to even. Walking the groups before the last and
// skipping excluded ones, each group adds its rows to a running count; when the count reaches
// q a cut goes midway between this group's value and the next group's (even an excluded
// one), and the count starts again at 0: rows over the quota are not carried. So at most n - 1
// cuts; the field's interval count becomes the cuts + 1. Counts are 32-bit.
CutPoints EqualFreqCuts(const std::vector<ValueGroup>& groups, vb::Integer n);

}  // namespace trune
