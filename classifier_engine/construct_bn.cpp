// ConstructBN: learns the structure of one network layer and records it in that layer of Graph.
// It restarts the working matrices from their initial copies (Reach from ReachInit, Adj from
// CE, MIWork from MICache), sets the threshold, runs the search with or without the complete
// ordering, and turns the skeleton (and, without the ordering, the arcs in Reach) into link
// codes. For the single net it then keeps only the arcs that end in a child of the class field
// and fills ClassChildren, Parents and LastGraph from them. Reads NetIdx, FirstFld, bord and the
// pairwise pass's MICache; writes Graph, Reach, Adj, MIWork, Threshold, the progress state and
// the three blanket members.
#include "classifier_engine/data_engine.h"

namespace zorvapi {

namespace {

// Steps raised while it is set count ConstructShare times (the share of one per-class network).
class ConstructionScope {
public:
    explicit ConstructionScope(bool& flag) : flag_(flag), was_(flag) { flag_ = true; }
    ~ConstructionScope() { flag_ = was_; }
    ConstructionScope(const ConstructionScope&) = delete;
    ConstructionScope& operator=(const ConstructionScope&) = delete;

private:
    bool& flag_;
    bool was_;
};

}  // namespace

void DataEngine::ConstructBN(Single& Perc) {
    const Integer n = numfld;
    ClassChildren.ReDim(vb::To(n));
    Parents.ReDim(vb::To(n), vb::To(n));
    LastGraph.ReDim(vb::To(n), vb::To(n));

    // Every construction starts with no links and with the orderings that the set-up and the
    // pairwise pass recorded, from the absolute strengths of the layer's pairs.
    Reach = ReachInit;
    Adj = CE;
    ResetWorkingMI();

    if (FirstFld == 1) {
        StatusText = "Learn structure (BN)";
        ConstructShare = 1;
    }
    Cancel = false;
    Percent2 = 0;
    // The same default threshold as the construction engine's: the Single 0.008, the product
    // formed in double.
    Threshold = Single(double(Perc) * double(0.008f));

    {
        ConstructionScope scope(InConstruction);
        if (bord)
            ConstructOrd();
        else
            ConstructNoOrd();
    }
    if (Cancel) {
        // The run is marked in the corner of the single net whatever the layer; the layer keeps
        // the codes of its previous construction.
        Graph(0, 0, 0) = -1;
        return;
    }

    const Integer k = NetIdx;
    Graph(k, 0, 0) = 1;
    // The layer describes this construction only: cells left from an earlier one (the other
    // triangle, which the blanket step below reads and writes) would survive otherwise.
    for (Integer i = 1; i <= n; ++i)
        for (Integer j = 1; j <= n; ++j) Graph(k, i, j) = 0;
    for (Integer i = 1; i < n; ++i) {
        for (Integer j = Integer(i + 1); j <= n; ++j) {
            if (Adj(i, j) == 0) continue;
            // A link whose ends reach each other, or that orientation left without a direction,
            // points from the earlier field to the later one.
            const bool jFirst = !bord && Reach(i, j) == 0 && Reach(j, i) != 0;
            Graph(k, i, j) = jFirst ? 2 : 1;
        }
    }
    if (k != 0) return;

    // The class blanket of the single net: the children of the class field, each with all of
    // its parents, in increasing field order.
    auto isParent = [&](Integer p, Integer c) { return Graph(0, p, c) == 1 || Graph(0, c, p) == 2; };
    for (Integer i = 2; i <= n; ++i)
        if (isParent(1, i)) ClassChildren(++ClassChildren(0)) = i;
    for (Integer m = 1; m <= ClassChildren(0); ++m) {
        const Integer c = ClassChildren(m);
        for (Integer j = 1; j <= n; ++j)
            if (isParent(j, c)) Parents(c, ++Parents(c, 0)) = j;
        for (Integer s = 1; s <= Parents(c, 0); ++s) {
            LastGraph(Parents(c, s), c) = 1;
            LastGraph(c, Parents(c, s)) = 2;
        }
    }
    for (Integer i = 1; i < n; ++i) {
        for (Integer j = Integer(i + 1); j <= n; ++j) {
            Graph(0, i, j) = LastGraph(i, j);
            Graph(0, j, i) = LastGraph(j, i);
        }
    }
}

}  // namespace zorvapi
