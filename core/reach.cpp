// Reachability bookkeeping: the known orderings of the fields (Reach(a, b) non-zero: a comes
// before b) kept transitively closed as arcs are added. Reads and writes Reach or ReachInit
// only; numfld gives the matrix size.
#include "core/learner.h"

namespace core {

namespace {

// Adds a -> b to R with its closure: a and everything that reaches a now reach b and
// everything b reaches. An arc between two fields that are already ordered either way is
// ignored, so no new arc closes a cycle. The update is in place: the cells the tests read do
// not change during the loop, because b does not reach a.
void AddClosedArc(vb::Array<Integer>& R, Integer n, Integer a, Integer b) {
    if (R(a, b) != 0 || R(b, a) != 0) return;
    for (Integer i = 1; i <= n; ++i) {
        if (i != a && R(i, a) == 0) continue;
        for (Integer j = 1; j <= n; ++j)
            if (j == b || R(b, j) != 0) R(i, j) = 1;
    }
}

}  // namespace

void Learner::UpdateReach(Integer a, Integer b) { AddClosedArc(Reach, numfld, a, b); }

void Learner::UpdateReachInit(Integer a, Integer b) { AddClosedArc(ReachInit, numfld, a, b); }

}  // namespace core
