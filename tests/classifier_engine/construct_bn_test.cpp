// ConstructBN on scripted statistics: the link codes of a layer, the run marker, the class
// blanket of the single net, a cancel, repeated constructions on one object, and the progress
// shares of the search it runs.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "classifier_engine/data_engine.h"
#include "tests/support/engine_fixture.h"

namespace {

using vb::Integer;
using vb::Long;
using vb::Single;
using Pairs = std::vector<std::pair<Integer, Integer>>;

// A classifier engine sized as the set-up leaves it, every pair of every layer known with MI 0
// (a finished pairwise pass), and GetCMI answering from a script.
class ScriptedEngine : public zorvapi::DataEngine {
public:
    ScriptedEngine(Integer fields, Integer classes) {
        Long rows = 1000;
        Integer vlus = 10;
        Init(rows, vlus);
        numfld = fields;
        nc = classes;
        const auto n = vb::To(fields);
        FF.ReDim(n);
        Graph.ReDim(vb::To(classes), n, n);
        for (auto* m : {&Adj, &Reach, &ReachInit, &CE, &FL}) m->ReDim(n, n);
        for (auto* v : {&Root, &Leaf, &Feature}) v->ReDim(n);
        SizeStatistics(classes);
    }

    void SetMI(Integer a, Integer b, Single v, Integer layer = 0) {
        MICache(layer, a, b) = MICache(layer, b, a) = v;
    }
    // GetCMI's answer for a pair, whatever the set; cmiDefault for the others.
    std::map<std::pair<Integer, Integer>, Single> cmi;
    Single cmiDefault = 1.0f;

    Single GetCMI(Integer a, Integer b, Integer) override {
        if (a > b) std::swap(a, b);
        auto it = cmi.find({a, b});
        const Single v = it == cmi.end() ? cmiDefault : it->second;
        if (MIWork(NetIdx, a, b) > v) MIWork(NetIdx, a, b) = v;
        return v;
    }

    // The non-zero cells (i, j), i, j >= 1, of a layer, with their codes.
    std::vector<std::tuple<Integer, Integer, Integer>> Layer(Integer k) const {
        std::vector<std::tuple<Integer, Integer, Integer>> out;
        for (Integer i = 1; i <= numfld; ++i)
            for (Integer j = 1; j <= numfld; ++j)
                if (Graph(k, i, j) != 0) out.emplace_back(i, j, Graph(k, i, j));
        return out;
    }
    // A per-class network of layer k, as the multi-net driver sets it up.
    void PerClass(Integer k, Single share) {
        FirstFld = 2;
        NetIdx = k;
        StatusText = "Learn structure (MN)";
        ConstructShare = share;
    }
};

using Cells = std::vector<std::tuple<Integer, Integer, Integer>>;

bool AllZero(const vb::Array<Integer>& a) {
    return std::all_of(a.cells().begin(), a.cells().end(), [](Integer v) { return v == 0; });
}

TEST(ConstructBN, ALayerGetsTheCodesOfThisConstructionOnly) {
    // Three separate links in class layer 1: (2, 3) with 3 known before 2, (4, 5) whose ends
    // reach each other, (6, 7) without a known order.
    for (bool ordered : {false, true}) {
        ScriptedEngine e(7, 2);
        e.bord = ordered;
        e.PerClass(1, 0.5f);
        e.SetMI(2, 3, -0.5f, 1);  // a negative entry counts by its size
        e.SetMI(4, 5, 0.5f, 1);
        e.SetMI(6, 7, 0.5f, 1);
        e.SetMI(1, 2, -100, 1);   // the class pairs of a per-class layer are never computed
        e.ReachInit(3, 2) = 1;
        e.ReachInit(4, 5) = e.ReachInit(5, 4) = 1;
        // Left from earlier constructions: both triangles of the layer and layer 0.
        e.Graph(1, 3, 2) = 1;
        e.Graph(1, 2, 6) = 2;
        e.Graph(0, 2, 3) = 1;
        Single perc = 1;
        e.ConstructBN(perc);

        EXPECT_EQ(e.Layer(1), (Cells{{2, 3, ordered ? 1 : 2}, {4, 5, 1}, {6, 7, 1}})) << ordered;
        EXPECT_EQ(e.Graph(1, 0, 0), 1);
        EXPECT_EQ(e.Graph(0, 0, 0), 0);
        EXPECT_EQ(e.Layer(0), (Cells{{2, 3, 1}})) << "another layer is not touched";
        EXPECT_EQ(e.Reach(3, 2), 1) << "the orderings start from ReachInit";
        EXPECT_EQ(e.MICache(1, 2, 3), 0.5f);
        EXPECT_EQ(e.MICache(1, 1, 2), -100);
        EXPECT_EQ(e.MIWork(1, 2, 3), 0.5f);
        EXPECT_EQ(e.StatusText, "Learn structure (MN)");
        EXPECT_EQ(e.ConstructShare, 0.5f);
        for (const auto* m : {&e.ClassChildren, &e.Parents, &e.LastGraph}) {
            EXPECT_EQ(m->UBound(1), 7);
            EXPECT_TRUE(AllZero(*m)) << "no blanket for a per-class network";
        }
        // The searches see 0.008; the ordered one leaves it raised for its thinning.
        EXPECT_EQ(e.Threshold, ordered ? Single(double(0.008f) * 1.1) : 0.008f) << ordered;
        EXPECT_FALSE(e.InConstruction);
    }
}

TEST(ConstructBN, TheSingleNetKeepsTheArcsIntoChildrenOfTheClass) {
    struct Case {
        const char* name;
        bool ordered;
        Integer n;
        std::vector<std::tuple<Integer, Integer, Single>> mi;
        Pairs reachInit;
        Cells layer;
        std::vector<Integer> children;  // ClassChildren(1..)
        std::vector<Integer> parents;   // Parents(3, 1..)
    };
    const Case cases[] = {
        // Arcs 1 -> 3, 2 -> 3, 2 -> 4: 4 is no child of the class, so 2 -> 4 goes.
        {"ordering",
         true,
         4,
         {{1, 3, 0.5f}, {2, 3, 0.4f}, {2, 4, 0.3f}},
         {},
         {{1, 3, 1}, {2, 3, 1}, {3, 1, 2}, {3, 2, 2}},
         {3},
         {1, 2}},
        // 2 is known to come before the class: the arc 2 -> 1 goes.
        {"arc into the class",
         false,
         3,
         {{1, 2, 0.5f}, {1, 3, 0.4f}},
         {{2, 1}},
         {{1, 3, 1}, {3, 1, 2}},
         {3},
         {1}},
    };
    for (const Case& c : cases) {
        ScriptedEngine e(c.n, 2);
        e.bord = c.ordered;
        e.cmiDefault = 0;  // no collider votes
        e.StatusText = "Init structure learning (BN)";
        e.ConstructShare = 0.25f;
        for (auto [a, b, v] : c.mi) e.SetMI(a, b, v);
        for (auto [a, b] : c.reachInit) e.ReachInit(a, b) = 1;
        Single perc = 1;
        e.ConstructBN(perc);

        EXPECT_EQ(e.Layer(0), c.layer) << c.name;
        EXPECT_EQ(e.Graph(0, 0, 0), 1) << c.name;
        std::vector<Integer> children, parents;
        for (Integer m = 1; m <= e.ClassChildren(0); ++m) children.push_back(e.ClassChildren(m));
        for (Integer m = 1; m <= e.Parents(3, 0); ++m) parents.push_back(e.Parents(3, m));
        EXPECT_EQ(children, c.children) << c.name;
        EXPECT_EQ(parents, c.parents) << c.name;
        for (Integer i = 1; i <= c.n; ++i)
            for (Integer j = 1; j <= c.n; ++j)
                EXPECT_EQ(e.LastGraph(i, j), e.Graph(0, i, j)) << c.name << " " << i << "," << j;
        EXPECT_EQ(e.StatusText, "Learn structure (BN)");
        EXPECT_EQ(e.ConstructShare, 1.0f);
    }
}

TEST(ConstructBN, ACancelMarksTheSingleNetsCornerAndLeavesTheLayer) {
    for (bool ordered : {false, true}) {
        ScriptedEngine e(4, 2);
        testsupport::ProgressRecorder progress(1);
        e.SetEventSink(&progress);
        e.bord = ordered;
        e.PerClass(2, 0.5f);
        e.SetMI(2, 3, 0.5f, 2);
        e.SetMI(3, 4, 0.5f, 2);
        e.Graph(2, 2, 4) = 1;
        e.Graph(2, 4, 3) = 2;
        const vb::Array<Integer> before = e.Graph;
        Single perc = 1;
        EXPECT_NO_THROW(e.ConstructBN(perc));
        EXPECT_TRUE(e.Cancel);
        EXPECT_EQ(progress.calls.size(), 1u);
        vb::Array<Integer> expected = before;
        expected(0, 0, 0) = -1;
        EXPECT_TRUE(e.Graph == expected) << ordered;
    }
}

TEST(ConstructBN, AConstructionAfterAnotherGivesTheGraphOfAFreshObject) {
    // At the default threshold the class has the children 2 and 4; at 20 times it the pair
    // (1, 4) is too weak and 4 is no child any more.
    auto setUp = [](ScriptedEngine& e, bool ordered) {
        e.bord = ordered;
        e.cmiDefault = 0;
        e.SetMI(1, 2, 0.5f);
        e.SetMI(2, 3, 0.3f);
        e.SetMI(1, 4, 0.1f);
    };
    for (bool ordered : {false, true}) {
        ScriptedEngine twice(4, 2), fresh(4, 2);
        setUp(twice, ordered);
        setUp(fresh, ordered);
        Single low = 1, high = 20;
        twice.ConstructBN(low);
        EXPECT_EQ(twice.ClassChildren(0), 2) << ordered;
        twice.ConstructBN(high);
        fresh.ConstructBN(high);
        EXPECT_TRUE(twice.Graph == fresh.Graph) << ordered;
        EXPECT_TRUE(twice.LastGraph == fresh.LastGraph) << ordered;
        EXPECT_TRUE(twice.ClassChildren == fresh.ClassChildren) << ordered;
        EXPECT_TRUE(twice.Parents == fresh.Parents) << ordered;
        EXPECT_EQ(fresh.Layer(0), (Cells{{1, 2, 1}, {2, 1, 2}})) << ordered;
    }
}

TEST(ConstructBN, TheThresholdIsTheFactorTimesTheSingleDefault) {
    // Read as the construction engine's Part states it: the factor times the Single constant
    // 0.008, formed in double and stored as Single. At 2.5 this differs from 2.5 x the decimal
    // 0.008 rounded to Single, so the test tells the two readings apart.
    ScriptedEngine e(3, 2);
    Single perc = 2.5f;
    e.ConstructBN(perc);
    EXPECT_EQ(e.Threshold, Single(2.5 * double(0.008f)));
    EXPECT_NE(e.Threshold, Single(2.5 * 0.008));
}

TEST(ConstructBN, TheOrderedSearchCountsItsStepsByTheConstructionsShare) {
    // Drafting lists two pairs (a pair list of 16 characters): each thickened pair adds
    // 32.5 x ConstructShare to Percent2, and that times the phase and step shares to Percent1.
    struct Case {
        const char* name;
        bool perClass;
        Single share;  // ConstructShare in force during the search
    };
    const Case cases[] = {{"single net", false, 1.0f}, {"per-class network", true, 0.5f}};
    for (const Case& c : cases) {
        const Integer first = c.perClass ? 2 : 1, layer = c.perClass ? 1 : 0;
        ScriptedEngine e(Integer(first + 3), 2);
        testsupport::ProgressRecorder progress;
        e.SetEventSink(&progress);
        e.bord = true;
        if (c.perClass) e.PerClass(layer, c.share);
        else e.ConstructShare = 0.25f;  // a single net counts whole
        for (Integer j = Integer(first + 1); j <= first + 3; ++j) e.SetMI(first, j, 0.9f, layer);
        e.SetMI(Integer(first + 1), Integer(first + 2), 0.5f, layer);
        e.SetMI(Integer(first + 2), Integer(first + 3), 0.5f, layer);
        e.Percent1 = 30;
        e.Percent2 = 50;
        e.PhaseShare = 0.35f;
        e.StepShare = 0.03f;
        Single perc = 1;
        e.ConstructBN(perc);

        ASSERT_EQ(progress.calls.size(), 7u) << c.name;  // 2 listed pairs, 5 links
        Single p1 = 30, p2 = 0;
        for (size_t k = 0; k < 2; ++k) {
            p2 = p2 + 32.5f * c.share;
            p1 = p1 + 32.5f * e.PhaseShare * e.StepShare * c.share;
            EXPECT_EQ(progress.calls[k], std::make_pair(p1, p2)) << c.name << " " << k;
        }
        EXPECT_NEAR(progress.calls.back().second, 99.9 * c.share, 1e-3) << c.name;
    }
}

}  // namespace
