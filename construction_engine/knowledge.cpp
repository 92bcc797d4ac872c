// Knowledge intake of DataSet.Init: the host's 0-based partial ordering, cause-and-effect
// pairs, forbidden links and root and leaf marks become the 1-based search matrices Reach, CE,
// Adj, FL, Root and Leaf. Reads numfld and bord; uses UpdateReach for the arcs the root and
// leaf marks add.
#include "construction_engine/data_set.h"
#include "construction_engine/errors.h"

namespace vrellapi {

void DataSet::TakeKnowledge(const vb::Array<Integer>& po, const vb::Array<Integer>& ce,
                            const vb::Array<Integer>& fl, const vb::Array<Integer>& rt,
                            const vb::Array<Integer>& lf) {
    const Integer n = numfld;
    for (Integer a = 0; a < n; ++a) {
        for (Integer b = 0; b < n; ++b) {
            // A field before itself or linked to itself means nothing; such cells are skipped
            // so that they cannot read as a loop.
            if (a != b && po(a, b) != 0) Reach(a + 1, b + 1) = 1;
            // A required link is present from the start, and its direction is known: it
            // enters Reach too, so that orientation cannot turn it round.
            if (a != b && ce(a, b) != 0) {
                CE(a + 1, b + 1) = 1;
                Adj(a + 1, b + 1) = Adj(b + 1, a + 1) = 1;
                Reach(a + 1, b + 1) = 1;
            }
            // A forbidden link is forbidden both ways, whichever cell the host set.
            if (fl(a, b) != 0) FL(a + 1, b + 1) = FL(b + 1, a + 1) = 1;
        }
        Root(a + 1) = rt(a);
        Leaf(a + 1) = lf(a);
    }

    if (bord) {
        // The complete ordering decides every direction: a root may not link to an earlier
        // field, a leaf not to a later one. Reach is not used.
        for (Integer i = 1; i <= n; ++i) {
            if (Root(i) == 1)
                for (Integer j = 1; j < i; ++j) FL(i, j) = FL(j, i) = 1;
            if (Leaf(i) == 1)
                for (Integer j = i + 1; j <= n; ++j) FL(i, j) = FL(j, i) = 1;
        }
        return;
    }

    // The searches read Reach as a transitively closed order: close it over the partial
    // ordering and the required links. A field that then reaches itself lies on a loop, which
    // no network can honour.
    for (Integer k = 1; k <= n; ++k)
        for (Integer i = 1; i <= n; ++i)
            if (Reach(i, k) != 0)
                for (Integer j = 1; j <= n; ++j)
                    if (Reach(k, j) != 0) Reach(i, j) = 1;
    for (Integer i = 1; i <= n; ++i)
        if (Reach(i, i) != 0) throw EngineError(kKnowledgeLoop, FieldNames(i));

    // A root reaches every field the ordering does not put before it and is cut off from
    // those it does; a leaf is reached by every field the ordering does not put after it. The
    // arcs go in through UpdateReach, so Reach stays closed as the marks add to it.
    for (Integer i = 1; i <= n; ++i) {
        if (Root(i) == 1) {
            for (Integer j = 1; j <= n; ++j) {
                if (Reach(j, i) != 0)
                    FL(i, j) = FL(j, i) = 1;
                else
                    UpdateReach(i, j);
            }
        }
        if (Leaf(i) == 1) {
            for (Integer j = 1; j <= n; ++j) {
                if (Reach(i, j) != 0)
                    FL(i, j) = FL(j, i) = 1;
                else
                    UpdateReach(j, i);
            }
        }
    }
}

}  // namespace vrellapi
