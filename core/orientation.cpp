// Edge orientation of a skeleton learned without a complete ordering. A field x whose two
// neighbours a and b become clearly more dependent once x is known is a collider: each such
// finding votes, weighted by how much the dependence grew, for the arcs a -> x and b -> x; the
// winning votes become arcs in Reach (through UpdateReach), and after the final search links
// are then directed away from fields that already have an incoming arc. Reads Adj, Threshold,
// Phase and MICache (layer NetIdx); writes Reach and CondSet(1). Adj is not changed.
#include <cmath>
#include <vector>

#include "core/learner.h"

namespace core {

void Learner::OrientEdges() {
    const Integer n = numfld;
    if (n < 1) return;
    EnsureCondSetRoom();
    const Single step =
        Single((Phase == 1 ? settings_.orientDraftingBudget : settings_.orientBudget) / n);
    // votes(a, x) > 0 is a vote for a -> x; the opposite cell holds the same weight negated.
    vb::Array<Single> votes(vb::To(n), vb::To(n));
    const Single weakThreshold = Single(double(Threshold) / 11);

    std::vector<Integer> listed;
    Clock::time_point beat = Clock::now();
    for (Integer x = 1; x <= n; ++x) {
        // The links not already known to leave x.
        listed.clear();
        for (Integer k = 1; k <= n; ++k)
            if (Adj(x, k) == 1 && Reach(x, k) == 0) listed.push_back(k);
        for (size_t p = 0; p < listed.size(); ++p) {
            // A field with many links tests many pairs before its event.
            if (Beat(beat)) return;  // no arcs recorded
            for (size_t q = p + 1; q < listed.size(); ++q) {
                const Integer a = listed[p], b = listed[q];
                if ((Reach(a, x) != 0) + (Reach(b, x) != 0) >= 2) continue;  // both point in
                CondSet(1) = x;
                const Single v = GetCMI(a, b, 1);
                const Single m = std::fabs(MICache(NetIdx, a, b));
                const bool collider = (m < Single(0.9 * double(v)) && v > Threshold) ||
                                      (v > weakThreshold && m < Single(0.7 * double(v)));
                if (!collider) continue;
                // Independent ends that become dependent are the strongest evidence there is.
                const Single w = m == 0 ? Single(1000) : Single(double(v) / double(m));
                for (Integer end : {a, b}) {
                    // A vote replaces an earlier one on the same link only when it is stronger.
                    if (std::fabs(votes(end, x)) < w) {
                        votes(end, x) = w;
                        votes(x, end) = -w;
                    }
                }
            }
        }
        if (Progress(step)) return;  // no arcs recorded
    }

    for (Integer i = 1; i < n; ++i) {
        for (Integer j = Integer(i + 1); j <= n; ++j) {
            const Single v = votes(i, j);
            if (v > 0)
                UpdateReach(i, j);
            else if (v < 0)
                UpdateReach(j, i);
        }
    }
    if (Phase == 1) return;

    // Propagation in one ascending pass: a field that something reaches passes the direction
    // on to its undirected links. Arcs added during the pass count for the fields visited
    // after them only.
    for (Integer x = 1; x <= n; ++x) {
        bool reached = false;
        for (Integer k = 1; k <= n && !reached; ++k) reached = Reach(k, x) != 0;
        if (!reached) continue;
        for (Integer m = 1; m <= n; ++m)
            if (Adj(x, m) == 1 && Reach(x, m) == 0 && Reach(m, x) == 0) UpdateReach(x, m);
    }
}

}  // namespace core
