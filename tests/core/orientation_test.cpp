// OrientEdges: which neighbour pairs vote for a collider, how votes on one link compete, the
// propagation pass, progress and cancel.
#include <gtest/gtest.h>

#include <cmath>
#include <utility>
#include <vector>

#include "tests/support/scripted_learner.h"

namespace {

using testsupport::ScriptedLearner;
using vb::Integer;
using vb::Single;
using Pairs = std::vector<std::pair<Integer, Integer>>;

constexpr Single kT = 0.008f;

ScriptedLearner Skeleton(Integer n, const Pairs& links, Integer phase = 3,
                         core::CoreSettings s = core::CoreSettings::Classifier(100)) {
    ScriptedLearner L(s, n);
    L.ClearMI(0);
    L.Threshold = kT;
    L.Phase = phase;
    L.cmiDefault = 0;
    for (auto [a, b] : links) L.Link(a, b);
    return L;
}

Pairs Arcs(const ScriptedLearner& L) { return ScriptedLearner::Cells(L.Reach); }

TEST(OrientEdges, ANeighbourPairVotesWhenTheMiddleFieldMakesItClearlyMoreDependent) {
    struct Case {
        const char* name;
        Single m, v;
        bool votes;
    };
    const Single tiny = Single(double(kT) / 11);
    const Case cases[] = {
        {"much more dependent, above the threshold", 0.1f, 0.5f, true},
        {"exactly nine tenths", Single(0.9 * 0.5), 0.5f, false},
        {"as dependent given the middle", 2.0f, 2.0f, false},
        {"at the threshold, under nine tenths only", 0.8f * kT, kT, false},
        {"at the threshold, under seven tenths", 0.5f * kT, kT, true},
        {"just above a eleventh of the threshold", 0.0f, std::nextafter(tiny, 1.0f), true},
        {"at a eleventh of the threshold", 0.0f, tiny, false},
    };
    for (const Case& c : cases) {
        ScriptedLearner L = Skeleton(3, {{1, 2}, {2, 3}});
        L.SetMI(1, 3, c.m);
        L.SetCMI(1, 3, {2}, c.v);
        L.OrientEdges();
        EXPECT_EQ(Arcs(L), c.votes ? (Pairs{{1, 2}, {3, 2}}) : Pairs{}) << c.name;
        EXPECT_EQ(L.Adj(1, 2), 1) << "the skeleton is not changed";
    }
}

TEST(OrientEdges, AVoteReplacesAnotherOnTheSameLinkOnlyWhenStronger) {
    // Field 1 votes for 2 -> 1 (its neighbours 2 and 4), field 2 for 1 -> 2 (neighbours 1, 3).
    struct Case {
        const char* name;
        Single v24, v13;  // with MI 0.1 each, the weights are v / 0.1
        bool oneFirst;
    };
    const Case cases[] = {
        {"the later vote is stronger", 0.2f, 0.3f, true},
        {"the earlier vote is stronger", 0.3f, 0.2f, false},
        {"equal weights: the first stays", 0.2f, 0.2f, false},
    };
    for (const Case& c : cases) {
        ScriptedLearner L = Skeleton(4, {{1, 2}, {2, 3}, {1, 4}}, 1);
        L.SetMI(2, 4, 0.1f);
        L.SetMI(1, 3, 0.1f);
        L.SetCMI(2, 4, {1}, c.v24);
        L.SetCMI(1, 3, {2}, c.v13);
        L.OrientEdges();
        EXPECT_EQ(L.Reach(1, 2) != 0, c.oneFirst) << c.name;
        EXPECT_EQ(L.Reach(2, 1) != 0, !c.oneFirst) << c.name;
    }
    // Independent ends weigh 1000: a vote of weight 999 does not replace them.
    ScriptedLearner L = Skeleton(4, {{1, 2}, {2, 3}, {1, 4}}, 1);
    L.SetMI(2, 4, 0.0f);
    L.SetMI(1, 3, 0.001f);
    L.SetCMI(2, 4, {1}, 0.5f);
    L.SetCMI(1, 3, {2}, 0.999f);
    L.OrientEdges();
    EXPECT_NE(L.Reach(2, 1), 0);
}

TEST(OrientEdges, OnlyUndecidedLinksOfAFieldWithTwoOrMoreOfThemAreAsked) {
    struct Case {
        const char* name;
        Pairs links;
        Pairs known;
    };
    const Case cases[] = {
        {"one neighbour each", {{1, 2}, {3, 4}}, {}},
        {"both ends already point in", {{1, 2}, {2, 3}}, {{1, 2}, {3, 2}}},
        {"the link already leaves the field", {{1, 2}, {2, 3}}, {{2, 1}}},
    };
    for (const Case& c : cases) {
        ScriptedLearner L = Skeleton(4, c.links);
        for (auto [a, b] : c.known) L.Reach(a, b) = 1;
        L.cmiDefault = 1.0f;  // would vote for everything asked
        L.OrientEdges();
        EXPECT_TRUE(L.cmiCalls.empty()) << c.name;
        EXPECT_EQ(Arcs(L), c.known) << c.name;
    }
}

TEST(OrientEdges, PropagationDirectsLinksAwayFromReachedFieldsInOnePass) {
    // 3 -> 2 <- 5 is a collider; 2 passes the direction on to 1 and 6, and 6 (visited after 2)
    // to 7. Field 1 was visited before anything reached it, so 1 - 4 stays undirected.
    const Pairs links{{1, 4}, {1, 2}, {2, 3}, {2, 5}, {2, 6}, {6, 7}};
    for (Integer phase : {1, 3}) {
        ScriptedLearner L = Skeleton(7, links, phase);
        L.SetCMI(3, 5, {2}, 0.2f);
        L.OrientEdges();
        const Pairs collider{{3, 2}, {5, 2}};
        Pairs expected = phase == 1 ? collider
                                    : Pairs{{2, 1}, {2, 6}, {2, 7}, {3, 1}, {3, 2}, {3, 6},
                                            {3, 7}, {5, 1}, {5, 2}, {5, 6}, {5, 7}, {6, 7}};
        EXPECT_EQ(Arcs(L), expected) << "phase " << phase;
    }
}

TEST(OrientEdges, ProgressStepsAndCancelBeforeAnyArc) {
    struct Case {
        bool construction;
        Integer phase;
        double budget;
    };
    const Case cases[] = {{false, 1, 12}, {false, 3, 8}, {true, 1, 4}, {true, 3, 4}};
    for (const Case& c : cases) {
        ScriptedLearner L = Skeleton(3, {{1, 2}, {2, 3}}, c.phase,
                                     c.construction ? core::CoreSettings::Construction()
                                                    : core::CoreSettings::Classifier(100));
        L.SetCMI(1, 3, {2}, 0.5f);
        L.OrientEdges();
        ASSERT_EQ(L.events.size(), 3u);
        for (const auto& e : L.events) EXPECT_EQ(e.increment, Single(c.budget / 3));
        EXPECT_FALSE(Arcs(L).empty());
    }
    ScriptedLearner L = Skeleton(3, {{1, 2}, {2, 3}});
    L.SetCMI(1, 3, {2}, 0.5f);
    L.cancelAt = 3;  // after the votes of every field
    L.OrientEdges();
    EXPECT_TRUE(L.Cancel);
    EXPECT_EQ(Arcs(L), Pairs{});
}

}  // namespace
