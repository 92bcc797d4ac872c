// The search without a complete ordering on scripted statistics: drafting, the conditioning
// sets of TestEdge and their leave-one-out shrinking, domain knowledge, progress and cancel,
// and the construction engine's variants.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "classifier_engine/data_engine.h"
#include "tests/support/db_contract.h"
#include "tests/support/engine_fixture.h"
#include "tests/support/network_sampler.h"
#include "tests/support/scripted_learner.h"
#include "tests/support/stats_learner.h"

namespace {

using testsupport::ScriptedLearner;
using vb::Integer;
using vb::Long;
using vb::Single;
using Pairs = std::vector<std::pair<Integer, Integer>>;
using Set = std::vector<Integer>;

constexpr Single kT = 0.008f;

core::CoreSettings Classifier() { return core::CoreSettings::Classifier(100); }
core::CoreSettings Construction() { return core::CoreSettings::Construction(); }

// A learner as the pairwise pass leaves it: every pair of every layer known, MI 0 unless set.
ScriptedLearner Search(core::CoreSettings s, Integer fields, Integer classes = 0) {
    ScriptedLearner L(s, fields, classes);
    for (Integer k = 0; k <= classes; ++k) L.ClearMI(k);
    L.Threshold = kT;
    return L;
}

// The link codes a construction turns the result into: i < j linked, i is the parent unless
// only j reaches i.
bool IsParent(const ScriptedLearner& L, Integer p, Integer c) {
    const Integer i = std::min(p, c), j = std::max(p, c);
    if (L.Adj(i, j) != 1) return false;
    const bool iFirst = L.Reach(i, j) != 0 || L.Reach(j, i) == 0;
    return iFirst ? p == i : p == j;
}

std::vector<Set> Sets(const ScriptedLearner& L) {
    std::vector<Set> out;
    for (const auto& c : L.cmiCalls) out.push_back(c.set);
    return out;
}

bool Involves(const ScriptedLearner& L, Integer f) {
    for (const auto& c : L.cmiCalls)
        if (c.a == f || c.b == f) return true;
    return false;
}

// ---- drafting ----

TEST(ConstructNoOrd, DraftingLinksTheStrongestPairsAndListsThoseAPathAlreadyJoins) {
    ScriptedLearner L = Search(Classifier(), 3);
    L.cmiDefault = 0.5f;  // dependent, no collider
    for (auto [a, b] : Pairs{{1, 2}, {1, 3}, {2, 3}}) L.SetMI(a, b, 0.5f);
    L.ConstructNoOrd();
    // Equal values: (1, 2) and (1, 3) come first; (2, 3) then has a path and waits for
    // thickening, which tests it given the field between.
    ASSERT_FALSE(L.cmiCalls.empty());
    EXPECT_EQ(L.cmiCalls[0].a, 2);
    EXPECT_EQ(L.cmiCalls[0].b, 3);
    EXPECT_EQ(L.cmiCalls[0].set, Set{1});
    EXPECT_EQ(L.cmiCalls[0].phase, 2);
    EXPECT_EQ(L.Links(), (Pairs{{1, 2}, {1, 3}, {2, 3}}));
    for (Integer i = 1; i <= 3; ++i)
        for (Integer j = Integer(i + 1); j <= 3; ++j) EXPECT_GT(L.MIWork(0, i, j), 0) << "restored";
}

TEST(ConstructNoOrd, APairAtTheThresholdIsTakenOneJustBelowIsNot) {
    ScriptedLearner L = Search(Classifier(), 3);
    L.SetMI(1, 2, kT);
    L.SetMI(1, 3, std::nextafter(kT, 0.0f));
    L.ConstructNoOrd();
    EXPECT_EQ(L.Links(), (Pairs{{1, 2}}));
    EXPECT_FALSE(Involves(L, 3));
    EXPECT_EQ(L.Phase, 3);
}

TEST(ConstructNoOrd, ThePairListHoldsMoreThan4095Pairs) {
    // 93 fields, every pair equally strong: drafting links the star around field 1 and lists
    // the other 91 x 92 / 2 = 4186 pairs, more than a 16-bit list of 8-character records holds.
    const Integer n = 93;
    const int listed = (n - 1) * (n - 2) / 2;
    ScriptedLearner L = Search(Classifier(), n);
    for (Integer i = 1; i < n; ++i)
        for (Integer j = Integer(i + 1); j <= n; ++j) L.SetMI(i, j, 0.5f);
    L.cmiDefault = 0.001f;  // every listed pair is separated by field 1
    L.ConstructNoOrd();
    Pairs thickened;
    for (const auto& c : L.cmiCalls)
        if (c.phase == 2) thickened.emplace_back(c.a, c.b);
    ASSERT_EQ(thickened.size(), size_t(listed));
    EXPECT_EQ(thickened.front(), std::make_pair(Integer(2), Integer(3)));
    EXPECT_EQ(thickened.back(), std::make_pair(Integer(n - 1), n));
    int events = 0;
    for (const auto& e : L.events) {
        if (e.phase != 2) continue;
        ++events;
        EXPECT_EQ(e.increment, Single(60.0 / listed));
    }
    EXPECT_EQ(events, listed);
    Pairs star;
    for (Integer j = 2; j <= n; ++j) star.emplace_back(1, j);
    EXPECT_EQ(L.Links(), star);
}

TEST(ConstructNoOrd, AChainAndAColliderDifferInWhatTheMiddleFieldDoes) {
    struct Case {
        const char* name;
        Single mi13, cmi13;  // MI of the ends, and given the middle field 2
        Pairs arcs;
    };
    const Case cases[] = {
        // The ends depend, but not given the middle: thickening separates them; the ends are
        // less dependent given the middle, so no collider vote.
        {"chain", 0.3f, 0.001f, {}},
        // Independent ends that depend given the middle.
        {"collider", 0.0f, 0.2f, {{1, 2}, {3, 2}}},
    };
    for (const Case& c : cases) {
        ScriptedLearner L = Search(Classifier(), 3);
        L.SetMI(1, 2, 0.5f);
        L.SetMI(2, 3, 0.5f);
        L.SetMI(1, 3, c.mi13);
        L.SetCMI(1, 3, {2}, c.cmi13);
        L.ConstructNoOrd();
        EXPECT_EQ(L.Links(), (Pairs{{1, 2}, {2, 3}})) << c.name;
        EXPECT_EQ(ScriptedLearner::Cells(L.Reach), c.arcs) << c.name;
        EXPECT_EQ(L.MIWork(0, 1, 3), std::min(c.mi13, c.cmi13)) << "the smaller value is kept";
    }
}

// ---- domain knowledge ----

TEST(ConstructNoOrd, AForbiddenLinkIsNeverAdded) {
    ScriptedLearner L = Search(Classifier(), 3);
    L.SetMI(1, 2, 0.9f);
    L.SetMI(1, 3, 0.5f);
    L.SetMI(2, 3, 0.5f);
    L.FL(1, 2) = 1;
    L.ConstructNoOrd();
    EXPECT_EQ(L.Links(), (Pairs{{1, 3}, {2, 3}}));
}

// A collider 1 -> 3 <- 2 with 3 - 4 after it; knowledge as the intake writes it into Reach.
struct ColliderWithTail {
    ScriptedLearner L = Search(Classifier(), 4);
    ColliderWithTail() {
        L.cmiDefault = 0.5f;
        L.SetMI(1, 3, 0.5f);
        L.SetMI(2, 3, 0.5f);
        L.SetMI(3, 4, 0.5f);
        L.SetCMI(1, 2, {3}, 0.2f);
        // 1 and 2 act on 4 through 3 only.
        L.SetMI(1, 4, 0.2f);
        L.SetMI(2, 4, 0.2f);
        L.SetCMI(1, 4, {3}, 0.001f);
        L.SetCMI(2, 4, {3}, 0.001f);
    }
    void Root(Integer r) {
        for (Integer j = 1; j <= 4; ++j) L.Reach(r, j) = 1;
    }
    void Leaf(Integer l) {
        for (Integer j = 1; j <= 4; ++j) L.Reach(j, l) = 1;
    }
};

TEST(ConstructNoOrd, ARootGetsNoParentsAndALeafNoChildren) {
    ColliderWithTail plain;
    plain.L.ConstructNoOrd();
    EXPECT_TRUE(IsParent(plain.L, 1, 3) && IsParent(plain.L, 2, 3) && IsParent(plain.L, 3, 4));

    ColliderWithTail root;
    root.Root(3);
    root.L.ConstructNoOrd();
    ColliderWithTail leaf;
    leaf.Leaf(3);
    leaf.L.ConstructNoOrd();
    EXPECT_EQ(root.L.Links(), plain.L.Links());
    // A leaf is a common descendant of its neighbours, so no path runs through it.
    EXPECT_TRUE(leaf.L.Linked(3, 4));
    for (Integer j = 1; j <= 4; ++j) {
        EXPECT_FALSE(IsParent(root.L, j, 3)) << j;
        EXPECT_FALSE(IsParent(leaf.L, 3, j)) << j;
    }
}

// ---- relevance and feature subset (classifier) ----

TEST(ConstructNoOrd, WithTheFilterAFieldIrrelevantToTheClassTakesNoPart) {
    ScriptedLearner L = Search(Classifier(), 4);
    L.tmpFilter = true;
    L.SetMI(1, 2, 0.5f);
    L.SetMI(1, 3, 0.5f);
    L.SetMI(1, 4, 0.001f);
    L.SetMI(3, 4, 0.9f);
    L.SetMI(2, 3, 0.3f);
    L.ConstructNoOrd();
    for (auto [i, j] : L.Links()) EXPECT_TRUE(i != 4 && j != 4) << i << "-" << j;
    EXPECT_FALSE(L.Links().empty());
}

TEST(ConstructNoOrd, PerClassNetworksReadRelevanceFromTheClassPairsComputedWhenMissing) {
    for (bool holdOut : {false, true}) {
        ScriptedLearner L(Classifier(), 4, 2);
        L.ClearMI(1);
        L.Threshold = kT;
        L.tmpFilter = true;
        L.FirstFld = 2;
        L.NetIdx = 1;
        L.HoldOutSearch = holdOut;
        L.WhereClause = " WHERE Cls = 1";
        // No single net was learned: layer 0 still says "not computed".
        L.ScriptMI(1, 2, 0.5f, 0);
        L.ScriptMI(1, 3, 0.5f, 0);
        L.ScriptMI(1, 4, 0.001f, 0);
        L.SetMI(2, 3, 0.4f, 1);
        L.SetMI(3, 4, 0.9f, 1);
        L.SetMI(2, 4, 0.3f, 1);
        L.ConstructNoOrd();
        EXPECT_EQ(L.Links(), (Pairs{{2, 3}})) << holdOut;
        ASSERT_EQ(L.miCalls.size(), 3u);
        for (const auto& c : L.miCalls) {
            EXPECT_EQ(c.layer, 0);
            EXPECT_EQ(c.where, holdOut ? " WHERE zorv_holdout=no " : "");
        }
        EXPECT_EQ(L.NetIdx, 1);
        EXPECT_EQ(L.WhereClause, " WHERE Cls = 1");
    }
}

TEST(ConstructNoOrd, RelevanceIsTheClassPairsMutualInformationNotAWorkingValue) {
    // A single net learned before (the better-of-both model) left MIWork(0, 1, 4) lowered to a
    // conditional value; field 4's MI with the class, 0.5, is what decides its relevance.
    {
        ScriptedLearner L = Search(Classifier(), 4, 2);
        L.tmpFilter = true;
        L.FirstFld = 2;
        L.NetIdx = 1;
        for (Integer i = 2; i <= 4; ++i) L.SetMI(1, i, 0.5f, 0);
        L.MIWork(0, 1, 4) = 0.001f;
        L.SetMI(3, 4, 0.9f, 1);
        L.ConstructNoOrd();
        EXPECT_EQ(L.Links(), (Pairs{{3, 4}}));
        EXPECT_TRUE(L.miCalls.empty());
    }
    // A field over the value limit is irrelevant without a query, even when layer 0 was never
    // computed (it has no labels to count it by).
    {
        ScriptedLearner L(Classifier(), 4, 2);
        L.ClearMI(1);
        L.Threshold = kT;
        L.tmpFilter = true;
        L.FirstFld = 2;
        L.NetIdx = 1;
        L.FF(4) = Integer(L.MaxVlus + 1);
        L.ScriptMI(1, 2, 0.5f, 0);
        L.ScriptMI(1, 3, 0.5f, 0);
        L.ScriptMI(1, 4, 0.5f, 0);
        L.SetMI(2, 3, 0.4f, 1);
        L.SetMI(3, 4, 0.9f, 1);
        L.ConstructNoOrd();
        EXPECT_EQ(L.Links(), (Pairs{{2, 3}}));
        ASSERT_EQ(L.miCalls.size(), 2u);
        for (const auto& c : L.miCalls) EXPECT_NE(c.b, 4);
        EXPECT_EQ(L.MICache(0, 1, 4), 0.0f);
    }
}

TEST(ConstructNoOrd, AFixedSubsetKeepsThePassToItsFields) {
    ScriptedLearner L = Search(Classifier(), 4, 2);
    L.FirstFld = 2;
    L.NetIdx = 1;
    L.SubsetFixed = true;
    L.Feature(1) = L.Feature(2) = L.Feature(3) = 1;
    L.SetMI(2, 3, 0.4f, 1);
    L.SetMI(2, 4, 0.9f, 1);
    L.SetMI(3, 4, 0.9f, 1);
    L.ConstructNoOrd();
    EXPECT_EQ(L.Links(), (Pairs{{2, 3}}));
}

// ---- TestEdge: the conditioning sets ----

TEST(TestEdge, AWalkBackToANodeRestoresItsOwnColliderFlag) {
    // 1 -> 2 <- 4 - 5 blocks the path through 2; 3 -> 1 and 3 - 5 is the open path. Coming back
    // from 2 the walk stands on 1 again, which no arc entered, so the parent 3 may be taken.
    ScriptedLearner L = Search(Classifier(), 5);
    for (auto [a, b] : Pairs{{1, 2}, {2, 4}, {4, 5}, {1, 3}, {3, 5}}) L.Link(a, b);
    L.UpdateReach(1, 2);
    L.UpdateReach(4, 2);
    L.UpdateReach(3, 1);
    L.SetMI(1, 5, 0.5f);
    L.SetCMI(1, 5, {3}, 0.001f);
    L.TestEdge(1, 5);
    EXPECT_EQ(Sets(L), std::vector<Set>{{3}});
    EXPECT_FALSE(L.Linked(1, 5));
}

TEST(TestEdge, ARestartFromTheStartingFieldBeginsWithoutAColliderFlag) {
    // The first path 1 - 2 -> 3 - 5 ends with the walk on 3, entered along an arc. The restart
    // from 1 must still take the parent 4 of 1 (path 1 <- 4 - 5).
    ScriptedLearner L = Search(Classifier(), 5);
    for (auto [a, b] : Pairs{{1, 2}, {2, 3}, {3, 5}, {1, 4}, {4, 5}}) L.Link(a, b);
    L.UpdateReach(2, 3);
    L.UpdateReach(4, 1);
    L.SetMI(1, 5, 0.5f);
    L.SetCMI(1, 5, {2, 4}, 0.001f);
    L.TestEdge(1, 5);
    EXPECT_EQ(Sets(L), (std::vector<Set>{{2, 4}}));
    EXPECT_FALSE(L.Linked(1, 5));
}

// 1 and 5 with the common neighbours 2, 3, 4.
ScriptedLearner Star(core::CoreSettings s = Classifier()) {
    ScriptedLearner L = Search(s, 5);
    for (Integer m = 2; m <= 4; ++m) {
        L.Link(1, m);
        L.Link(m, 5);
    }
    L.SetMI(1, 5, 10.0f);
    return L;
}

TEST(TestEdge, LeaveOneOutRemovesTheMemberWithTheSmallestResult) {
    struct Case {
        const char* name;
        std::vector<std::pair<Set, Single>> cmi;
        std::vector<Set> calls;  // the sets of set 1; set 2 (the same) follows unless separated
        bool separated;
    };
    const Case cases[] = {
        {"results of a nat and more, first of equal results removed",
         {{{2, 3, 4}, 5.0f}, {{3, 4}, 3.0f}, {{2, 4}, 2.0f}, {{2, 3}, 2.0f},
          {{4}, 1.9f}, {{2}, 1.5f}},
         {{2, 3, 4}, {3, 4}, {2, 4}, {2, 3}, {4}, {2}},
         false},
        {"a drop of exactly a tenth stops the shrinking",
         {{{2, 3, 4}, 0.5f}, {{3, 4}, 0.45f}, {{2, 4}, 0.6f}, {{2, 3}, 0.7f}},
         {{2, 3, 4}, {3, 4}, {2, 4}, {2, 3}},
         false},
        {"a subset below the threshold separates after its round",
         {{{2, 3, 4}, 0.5f}, {{3, 4}, 0.001f}},
         {{2, 3, 4}, {3, 4}, {2, 4}, {2, 3}},
         true},
        {"the whole set separates at once", {{{2, 3, 4}, 0.001f}}, {{2, 3, 4}}, true},
    };
    for (const Case& c : cases) {
        ScriptedLearner L = Star();
        for (const auto& [set, v] : c.cmi) L.SetCMI(1, 5, set, v);
        L.TestEdge(1, 5);
        std::vector<Set> expected = c.calls;
        if (!c.separated) expected.insert(expected.end(), c.calls.begin(), c.calls.end());
        EXPECT_EQ(Sets(L), expected) << c.name;
        EXPECT_EQ(L.Linked(1, 5), !c.separated) << c.name;
    }
}

TEST(TestEdge, KnownOrderDecidesWhichSidesAreSearched) {
    struct Case {
        const char* name;
        Pairs reach;
        std::vector<Set> calls;
        bool linked;
    };
    const Case cases[] = {
        // 2 is a descendant of 1, so set 1 is {3, 4}, smaller than set 2 {2, 3, 4}.
        {"both sides, the smaller first", {{1, 2}}, {{3, 4}}, false},
        {"1 comes before 5: set 2 only", {{1, 2}, {1, 5}}, {{2, 3, 4}}, false},
        {"each reaches the other: linked untested", {{1, 5}, {5, 1}}, {}, true},
    };
    for (const Case& c : cases) {
        ScriptedLearner L = Star();
        for (auto [a, b] : c.reach) L.Reach(a, b) = 1;
        L.cmiDefault = 0.001f;
        L.TestEdge(1, 5);
        EXPECT_EQ(Sets(L), c.calls) << c.name;
        EXPECT_EQ(L.Linked(1, 5), c.linked) << c.name;
    }
}

TEST(TestEdge, TheSecondSetStartsFromLevelsOfItsOwn) {
    // The chain 1 - 2 - ... - 8, seven links, within the eight levels from either end. Set 2
    // walks from 8 over the levels out from 1 (7 at level 6, 2 at level 1), found afresh: the
    // levels out from 8 left by set 1 (7 at level 1, 3 at level 5) would stop the walk at 3.
    ScriptedLearner L = Search(Classifier(), 8);
    for (Integer i = 1; i < 8; ++i) L.Link(i, Integer(i + 1));
    L.SetMI(1, 8, 0.5f);
    L.SetCMI(1, 8, {2}, 0.5f);
    L.SetCMI(1, 8, {7}, 0.001f);
    L.TestEdge(1, 8);
    EXPECT_EQ(Sets(L), (std::vector<Set>{{2}, {7}}));
    EXPECT_FALSE(L.Linked(1, 8));
}

TEST(TestEdge, NoPathFromTheFirstEndLinksAtOnce) {
    ScriptedLearner L = Search(Classifier(), 3);
    L.Link(2, 3);
    L.SetMI(1, 3, 0.5f);
    L.TestEdge(1, 3);
    EXPECT_TRUE(L.Linked(1, 3));
    EXPECT_TRUE(L.cmiCalls.empty());
}

TEST(TestEdge, MoreNeighboursThanTheSetLimitAreHandedOverWhole) {
    // 22 common neighbours: more than a conditioning set of either engine may hold.
    for (bool construction : {false, true}) {
        ScriptedLearner L = Search(construction ? Construction() : Classifier(), 24);
        for (Integer m = 2; m <= 23; ++m) {
            L.Link(1, m);
            L.Link(m, 24);
        }
        L.SetMI(1, 24, 0.5f);
        L.TestEdge(1, 24);
        ASSERT_FALSE(L.cmiCalls.empty());
        EXPECT_EQ(L.cmiCalls[0].set.size(), 22u);
        EXPECT_GE(L.CondSet.UBound(), 24);
        // A set above the limit gives 0 without a query: it cannot separate the classifier's
        // pair, while the construction engine's check of the value itself separates it.
        EXPECT_EQ(L.Linked(1, 24), !construction) << construction;
    }
}

// ---- the path searches against their literal forms ----

// Levels out from `from` as the breadth search documents them: fields linked to `from` get 1,
// then each field touching the last level gets the next, up to 8, never a or b past the first
// level, never a field both a and b reach.
std::vector<int> LiteralLevels(const ScriptedLearner& L, Integer a, Integer b, Integer from) {
    const Integer n = L.numfld;
    std::vector<int> level(size_t(n) + 1, 0);
    auto open = [&](Integer k) { return level[size_t(k)] == 0 && !(L.Reach(a, k) != 0 && L.Reach(b, k) != 0); };
    for (Integer k = 1; k <= n; ++k)
        if (open(k) && L.Adj(k, from) == 1) level[size_t(k)] = 1;
    for (int lv = 2; lv <= 8; ++lv) {
        std::vector<int> next = level;
        for (Integer k = 1; k <= n; ++k) {
            if (k == a || k == b || !open(k)) continue;
            for (Integer m = 1; m <= n; ++m)
                if (level[size_t(m)] == lv - 1 && L.Adj(k, m) == 1) next[size_t(k)] = lv;
        }
        level = next;
    }
    return level;
}

// Does the path from[0..] go on to `to`? Tries every simple path the walk admits: no field
// twice, none of a level too high for its depth or without one, no collider left along an arc
// into it.
bool LiteralWalkOn(const ScriptedLearner& L, Integer to, const std::vector<int>& level,
                   std::vector<Integer>& path, bool collider) {
    const Integer from = path.front(), x = path.back();
    const int depth = int(path.size()) - 1;
    for (Integer c = 1; c <= L.numfld; ++c) {
        if (L.Adj(x, c) != 1 || (collider && L.Reach(c, x) != 0)) continue;
        if (c == to) {
            if (depth > 0) return true;
            continue;
        }
        const int lv = level[size_t(c)];
        if (lv == 0 || lv >= 8 - depth || std::find(path.begin(), path.end(), c) != path.end()) continue;
        path.push_back(c);
        const bool on = LiteralWalkOn(L, to, level, path,
                                      L.Reach(x, c) != 0 && L.Adj(from, c) + L.Adj(c, to) != 2);
        path.pop_back();
        if (on) return true;
    }
    return false;
}

// The first hops of from's admissible paths to `to`, ascending.
Set LiteralCutSet(const ScriptedLearner& L, Integer from, Integer to, const std::vector<int>& level) {
    Set set;
    for (Integer h = 1; h <= L.numfld; ++h) {
        if (L.Adj(from, h) != 1 || h == to) continue;
        const int lv = level[size_t(h)];
        if (lv == 0 || lv >= 8 || h == from) continue;
        std::vector<Integer> path{from, h};
        if (LiteralWalkOn(L, to, level, path, L.Reach(from, h) != 0 && L.Adj(from, h) + L.Adj(h, to) != 2))
            set.push_back(h);
    }
    return set;
}

// What a run over random skeletons met, for the checks that it meant something.
struct WalkTally {
    int pairs = 0, paths = 0, deadHops = 0, withArcs = 0;
};

// HasPath and TestEdge's sets against the literal forms on `graphs` random skeletons of
// minFields to minFields + spread - 1 fields: every pair of a graph, or `sample` random ones.
void CompareWalks(std::mt19937& gen, int graphs, Integer minFields, unsigned spread, int sample, WalkTally& t) {
    for (int graph = 0; graph < graphs; ++graph) {
        const Integer n = Integer(minFields + Integer(gen() % spread));
        // Links: dense small skeletons (15 to 54 in 100 pairs), and larger ones of 1.5 to 4
        // links a field (150 to 399 in 100 fields), whose long paths meet the level bound.
        const unsigned drawn = n <= 12 ? 15 + gen() % 40 : 150 + gen() % 250;
        auto draw = [&] {
            if (n <= 12) return gen() % 100 < drawn;
            if (n <= 24) return gen() % 100 < drawn / unsigned(n);
            return gen() % (100 * unsigned(n)) < drawn;
        };
        ScriptedLearner L = Search(Classifier(), n);
        L.cmiDefault = 1.0f;  // nothing separates: every set and its one shrinking round show
        // Arcs follow a random order of the fields, so Reach stays an order; up to every link
        // gets one, and a few pairs without a link.
        std::vector<Integer> order(static_cast<size_t>(n));
        for (Integer i = 0; i < n; ++i) order[size_t(i)] = Integer(i + 1);
        std::shuffle(order.begin(), order.end(), gen);
        const unsigned arcs = gen() % 100;
        for (Integer i = 0; i < n; ++i)
            for (Integer j = Integer(i + 1); j < n; ++j) {
                const Integer p = order[size_t(i)], c = order[size_t(j)];
                const bool link = draw();
                if (link) L.Link(p, c);
                if (gen() % 100 < (link ? arcs : arcs / 8)) L.UpdateReach(p, c);
            }
        t.withArcs += !ScriptedLearner::Cells(L.Reach).empty();
        std::vector<std::pair<Integer, Integer>> pairs;
        for (Integer a = 1; a < n; ++a)
            for (Integer b = Integer(a + 1); b <= n; ++b) pairs.emplace_back(a, b);
        if (sample > 0) {
            std::shuffle(pairs.begin(), pairs.end(), gen);
            pairs.resize(std::min(pairs.size(), size_t(sample)));
        }
        for (const auto& [a, b] : pairs) {
            const std::string where = "graph " + std::to_string(graph) + " " + std::to_string(a) + "-" +
                                      std::to_string(b);
            const std::vector<int> fromB = LiteralLevels(L, a, b, b);
            bool joined = false;
            for (Integer k = 1; k <= n; ++k) joined = joined || (fromB[size_t(k)] != 0 && L.Adj(k, a) == 1);
            ASSERT_EQ(L.HasPath(a, b), joined) << where;
            t.paths += joined;

            // The sets of a pair that is not linked, as thickening and thinning test it.
            const Integer saved = L.Adj(a, b);
            L.Adj(a, b) = L.Adj(b, a) = 0;
            std::vector<Set> sets;
            bool untested = false;
            if (L.Reach(a, b) == 0) {
                Set s = LiteralCutSet(L, a, b, LiteralLevels(L, a, b, b));
                for (Integer h = 1; h <= n; ++h) {
                    const int lv = fromB[size_t(h)];
                    t.deadHops += L.Adj(a, h) == 1 && h != b && lv > 0 && lv < 8 &&
                                std::find(s.begin(), s.end(), h) == s.end();
                }
                untested = s.empty();
                std::erase_if(s, [&](Integer m) { return L.Reach(a, m) != 0; });
                sets.push_back(s);
            } else {
                sets.emplace_back();
            }
            if (L.Reach(b, a) == 0) {
                Set s = LiteralCutSet(L, b, a, LiteralLevels(L, a, b, a));
                std::erase_if(s, [&](Integer m) { return L.Reach(b, m) != 0; });
                sets.push_back(s);
            }
            if (sets.size() == 2 && sets[1].size() < sets[0].size()) std::swap(sets[0], sets[1]);
            std::vector<Set> expected;
            for (const Set& s : sets) {
                if (untested || s.empty()) continue;
                expected.push_back(s);
                for (size_t r = 0; s.size() >= 2 && r < s.size(); ++r) {
                    Set without = s;
                    without.erase(without.begin() + std::ptrdiff_t(r));
                    expected.push_back(without);
                }
            }
            L.cmiCalls.clear();
            L.SetMI(a, b, 10.0f);
            L.TestEdge(a, b);
            ASSERT_EQ(Sets(L), expected) << where;
            L.Adj(a, b) = L.Adj(b, a) = saved;
            ++t.pairs;
        }
    }
}

TEST(PathSearches, TheFastWalksEqualTheLiteralOnesOnRandomSkeletons) {
    std::mt19937 gen(20261211);
    WalkTally t;
    CompareWalks(gen, 500, 4, 21, 0, t);
    // Both answers of each search occur often enough for the comparison to mean something:
    // hops that have a level but no admissible path are the walk's dead ends.
    EXPECT_GT(t.pairs, 10000);
    EXPECT_GT(t.paths, 2000);
    EXPECT_GT(t.pairs - t.paths, 2000);
    EXPECT_GT(t.deadHops, 500);
    EXPECT_GT(t.withArcs, 200);
}

TEST(PathSearches, RowsOfManyWordsWalkAsTheLiteralOnes) {
    // 65 to 330 fields: rows of two to six words, grown four and eight words at a time and
    // word by word at the ends, both outward and inward.
    std::mt19937 gen(20261212);
    WalkTally t;
    CompareWalks(gen, 20, 65, 266, 25, t);
    EXPECT_GT(t.paths, 250);
    EXPECT_GT(t.pairs - t.paths, 100);
    EXPECT_GT(t.deadHops, 60);
}

// ---- construction engine's variants ----

TEST(ConstructionVariants, ThickeningRunsAtNineTenthsOfTheThreshold) {
    for (bool construction : {false, true}) {
        ScriptedLearner L = Search(construction ? Construction() : Classifier(), 3);
        L.SetMI(1, 2, 0.5f);
        L.SetMI(2, 3, 0.5f);
        L.SetMI(1, 3, 0.3f);
        L.SetCMI(1, 3, {2}, 0.95f * kT);  // below the threshold, above nine tenths of it
        L.ConstructNoOrd();
        EXPECT_EQ(L.Links(), (Pairs{{1, 2}, {2, 3}})) << construction;
        int tested13[4] = {0, 0, 0, 0};
        for (const auto& c : L.cmiCalls) {
            if (c.phase == 2)
                EXPECT_EQ(c.threshold, construction ? Single(double(kT) * 0.9) : kT);
            else
                EXPECT_NEAR(c.threshold, kT, 2e-9);
            if (c.a == 1 && c.b == 3) ++tested13[c.phase];
        }
        // The classifier separates the pair in thickening with its first set. The construction
        // engine keeps it there (both sets tried); thinning then separates it on entry, its
        // working value being below the threshold since thickening. Orientation asks for the
        // pair given 2 at the end (and after drafting in construction).
        EXPECT_EQ(tested13[1], construction ? 1 : 0);
        EXPECT_EQ(tested13[2], construction ? 2 : 1);
        EXPECT_EQ(tested13[3], 1);
        EXPECT_NEAR(L.Threshold, kT, 2e-9);
    }
}

TEST(ConstructionVariants, OrientationAfterDraftingBlocksPathsThroughTheColliderItFound) {
    for (bool construction : {false, true}) {
        ScriptedLearner L = Search(construction ? Construction() : Classifier(), 3);
        L.cmiDefault = 0.5f;
        L.SetMI(1, 3, 0.5f);
        L.SetMI(2, 3, 0.5f);
        L.SetMI(1, 2, 0.05f);  // listed: 1 - 3 - 2 joins it after drafting
        L.SetCMI(1, 2, {3}, 0.2f);
        L.ConstructNoOrd();
        int phase1Events = 0, thickened12 = 0;
        for (const auto& e : L.events) phase1Events += e.phase == 1;
        for (const auto& c : L.cmiCalls) thickened12 += c.a == 1 && c.b == 2 && c.phase == 2;
        EXPECT_EQ(phase1Events, construction ? 3 : 0);
        // With 1 -> 3 <- 2 known, 3 is a common descendant: the pair has no open path and is
        // linked without a test. The classifier tests it given 3 with both sets.
        EXPECT_EQ(thickened12, construction ? 0 : 2);
        EXPECT_TRUE(IsParent(L, 1, 3) && IsParent(L, 2, 3));
    }
}

TEST(ConstructionVariants, TheExtraChecksSeparateOnTheValuesThemselves) {
    struct Case {
        const char* name;
        Single miWork;
        bool lowers;
        std::vector<std::pair<Set, Single>> cmi;
        size_t constructionCalls;
        bool classifierLinked;
    };
    const Case cases[] = {
        {"already below on entry", kT / 2, true, {}, 0, false},
        {"the whole set's value", 10.0f, false, {{{2, 3, 4}, kT / 2}}, 1, true},
        {"the last subset's value", 10.0f, false, {{{2, 3}, kT / 2}}, 4, true},
    };
    for (const Case& c : cases) {
        for (bool construction : {false, true}) {
            ScriptedLearner L = Star(construction ? Construction() : Classifier());
            L.SetMI(1, 5, c.miWork);
            L.lowerMIWork = c.lowers;
            for (const auto& [set, v] : c.cmi) L.SetCMI(1, 5, set, v);
            L.TestEdge(1, 5);
            if (construction) {
                EXPECT_FALSE(L.Linked(1, 5)) << c.name;
                EXPECT_EQ(L.cmiCalls.size(), c.constructionCalls) << c.name;
            } else {
                EXPECT_EQ(L.Linked(1, 5), c.classifierLinked) << c.name;
            }
        }
    }
}

TEST(ConstructionVariants, PreservedRequiredLinksAreNeverRetested) {
    for (bool preserve : {true, false}) {
        ScriptedLearner L = Search(Construction(), 3);
        L.bpres = preserve;
        L.CE(1, 2) = 1;
        L.Link(1, 2);  // the intake links required pairs before the search
        L.SetMI(1, 2, 0.5f);
        L.SetMI(1, 3, 0.4f);
        L.SetMI(2, 3, 0.3f);
        L.cmiDefault = 0.5f;
        L.SetCMI(1, 2, {3}, 0.001f);
        L.ConstructNoOrd();
        bool tested12 = false;
        for (const auto& c : L.cmiCalls) tested12 |= c.a == 1 && c.b == 2 && c.phase == 3;
        EXPECT_EQ(tested12, !preserve);
        EXPECT_EQ(L.Linked(1, 2), preserve);
    }
}

// The pick a scan over all remaining pairs makes (what drafting did before it sorted the
// pairs once): the largest value above 0, replaced only on a strictly larger one.
bool ScanForStrongest(const ScriptedLearner& L, const std::vector<bool>& relevant, Integer& pi, Integer& pj,
                      Single& best) {
    auto takesPart = [&](Integer f) {
        return (relevant.empty() || relevant[size_t(f)]) && (!L.SubsetFixed || L.Feature(f) != 0);
    };
    pi = pj = 0;
    best = 0;
    for (Integer i = L.FirstFld; i < L.numfld; ++i)
        for (Integer j = Integer(i + 1); j <= L.numfld; ++j)
            if (takesPart(i) && takesPart(j) && L.MIWork(L.NetIdx, i, j) > best) {
                best = L.MIWork(L.NetIdx, i, j);
                pi = i;
                pj = j;
            }
    return pi != 0;
}

TEST(Drafting, PicksInTheOrderOfAScanForTheStrongestPair) {
    std::mt19937 rng(3);
    // Few distinct values, so that ties are everywhere; 0, negative and not-computed entries
    // are never picked.
    const Single values[] = {0.5f, 0.02f, 0.02f, 0.008f, 0.004f, 0.0f, -0.3f, -100.0f};
    for (int round = 0; round < 200; ++round) {
        const Integer n = Integer(3 + rng() % 14);
        ScriptedLearner L = Search(Classifier(), n, 2);
        L.NetIdx = Integer(rng() % 3);
        L.FirstFld = Integer(1 + rng() % 2);
        L.SubsetFixed = rng() % 3 == 0;
        L.Feature.ReDim(vb::To(n));
        for (Integer f = 1; f <= n; ++f) L.Feature(f) = Integer(rng() % 4 != 0);
        std::vector<bool> relevant;
        if (rng() % 3 == 0)
            for (Integer f = 0; f <= n; ++f) relevant.push_back(rng() % 5 != 0);
        for (Integer i = 1; i <= n; ++i)
            for (Integer j = Integer(i + 1); j <= n; ++j) L.MIWork(L.NetIdx, i, j) = values[rng() % 8];

        std::vector<std::pair<Integer, Integer>> sorted, scanned;
        for (const auto& p : L.DraftingOrder(relevant)) sorted.emplace_back(p.i, p.j);
        Integer pi, pj;
        Single best;
        while (ScanForStrongest(L, relevant, pi, pj, best)) {
            scanned.emplace_back(pi, pj);
            L.MIWork(L.NetIdx, pi, pj) = -best;
        }
        EXPECT_EQ(sorted, scanned) << "round " << round;
    }
}

// Drafting raises no event of its own, yet the host must be able to cancel it: a beat comes
// after every settings().beatSeconds (here at once), and a cancel there ends the search
// before thickening, in either search.
TEST(Drafting, ACancelInsideDraftingEndsTheSearch) {
    for (bool ordered : {false, true}) {
        core::CoreSettings s = Classifier();
        s.beatSeconds = 0;
        ScriptedLearner L = Search(s, 6);
        for (Integer i = 1; i <= 6; ++i)
            for (Integer j = Integer(i + 1); j <= 6; ++j) L.SetMI(i, j, Single(0.1 + 0.01 * (i + j)));
        L.cancelInPhase = 1;
        if (ordered) L.ConstructOrd();
        else L.ConstructNoOrd();
        EXPECT_TRUE(L.Cancel) << ordered;
        ASSERT_EQ(L.events.size(), 1u) << ordered;
        EXPECT_EQ(L.events[0].increment, 0.0f) << "a beat does not move the progress";
        EXPECT_EQ(L.Phase, 1) << ordered;
        EXPECT_TRUE(L.cmiCalls.empty()) << ordered;
        for (Integer i = 1; i <= 6; ++i)
            for (Integer j = Integer(i + 1); j <= 6; ++j) EXPECT_GT(L.MIWork(0, i, j), 0) << "restored";
    }
}

// ---- progress and cancel ----

// A pairwise pass over four fields, after which drafting lists (2, 4) and (3, 4): every
// phase raises events, and the collider 1 -> 3 <- 2 gives orientation arcs to record.
ScriptedLearner Busy(core::CoreSettings s) {
    ScriptedLearner L(s, 4);
    L.Threshold = kT;
    L.cmiDefault = 0.5f;
    for (Integer i = 1; i <= 4; ++i)
        for (Integer j = Integer(i + 1); j <= 4; ++j) L.ScriptMI(i, j, 0.5f);
    L.ScriptMI(1, 2, 0.0f);
    L.SetCMI(1, 2, {3}, 0.2f);
    L.SetCMI(1, 2, {3, 4}, 0.2f);
    L.SetCMI(1, 2, {4}, 0.2f);
    return L;
}

// The pairwise pass, then the search from the absolute MI, as a construction runs them. The
// classifier's construction restarts its stage percentage.
void PassAndSearch(ScriptedLearner& L) {
    L.Phase = 1;
    L.InitStruBN();
    if (L.Cancel) return;
    if (L.settings().searchStartPercent < 0) L.percent = 0;
    for (Integer i = 1; i <= L.numfld; ++i)
        for (Integer j = 1; j <= L.numfld; ++j) L.MIWork(0, i, j) = std::fabs(L.MICache(0, i, j));
    L.ConstructNoOrd();
}

TEST(SearchProgress, NeverDecreasesNeverPassesAHundredAndSpendsTheBudgets) {
    for (bool construction : {false, true}) {
        ScriptedLearner L = Busy(construction ? Construction() : Classifier());
        PassAndSearch(L);
        ASSERT_FALSE(L.Cancel);
        const size_t pass = 6;  // the pairs of four fields
        ASSERT_GT(L.events.size(), pass);
        // Steps are Singles, so a sum may miss its budget in the last bits.
        EXPECT_NEAR(L.events[pass - 1].percent, construction ? 60 : 100, 1e-3);
        for (size_t e = 0; e < L.events.size(); ++e) {
            EXPECT_LE(L.events[e].percent, 100.001f) << construction << " event " << e;
            if (e == 0 || e == pass) continue;  // the classifier's stage restarts at the search
            EXPECT_GE(L.events[e].percent, L.events[e - 1].percent - 1e-4f) << construction << e;
        }
        if (construction) {
            EXPECT_EQ(L.positions, (std::vector<Single>{60, 88}));
            EXPECT_GE(L.events[pass].percent, L.events[pass - 1].percent - 1e-4f);
            EXPECT_GT(L.percent, 95.0f);
        } else {
            EXPECT_TRUE(L.positions.empty());
        }
        double sum[4] = {0, 0, 0, 0};
        for (size_t e = pass; e < L.events.size(); ++e)
            sum[L.events[e].phase] += L.events[e].increment;
        EXPECT_NEAR(sum[1], construction ? 4 : 0, 1e-3);  // orientation after drafting
        EXPECT_NEAR(sum[2], construction ? 23 : 60, 1e-3);
    }
}

TEST(SearchProgress, CancelAtTheFirstEventOfEachPhaseReturnsAtOnce) {
    for (bool construction : {false, true}) {
        const core::CoreSettings s = construction ? Construction() : Classifier();
        ScriptedLearner dry = Busy(s);
        PassAndSearch(dry);
        const int total = int(dry.events.size());
        const int orientation = total - 4 + 1;  // the last n events are the final orientation

        struct Stop {
            const char* name;
            int at = 0, inPhase = 0;
            Integer phaseAfter;
        };
        std::vector<Stop> stops = {
            {"pairwise pass", 1, 0, 1},
            {"thickening", 0, 2, 2},
            {"thinning", 0, 3, 3},
            {"orientation", orientation, 0, 3},
        };
        if (construction) stops.push_back({"orientation after drafting", 7, 0, 1});
        for (const Stop& stop : stops) {
            ScriptedLearner L = Busy(s);
            L.cancelAt = stop.at;
            L.cancelInPhase = stop.inPhase;
            PassAndSearch(L);
            EXPECT_TRUE(L.Cancel) << stop.name;
            EXPECT_EQ(L.Phase, stop.phaseAfter) << stop.name;
            const int seen = int(L.events.size());
            if (stop.at > 0) {
                EXPECT_EQ(seen, stop.at) << stop.name;
            }
            // The phase's first event is the last one raised.
            if (stop.inPhase > 0) {
                int first = 0;
                while (dry.events[size_t(first)].phase != stop.inPhase) ++first;
                EXPECT_EQ(seen, first + 1) << stop.name;
            }
            // A cancelled orientation records no arcs (the final one of the construction engine
            // keeps those found after drafting).
            const std::string name = stop.name;
            if (name == "orientation after drafting" || (name == "orientation" && !construction)) {
                for (Integer i = 1; i <= 4; ++i)
                    for (Integer j = 1; j <= 4; ++j) EXPECT_EQ(L.Reach(i, j), 0) << stop.name;
            }
        }
    }
}

// ---- structure from data ----

using NodePairs = std::set<std::pair<int, int>>;

// What a search learned from rows drawn from a network: the skeleton over node indexes (i < j)
// and the links it oriented (parent, child).
struct Learned {
    NodePairs skeleton, arcs;
};

// Sizes the search matrices of a bound learner, runs the pairwise pass and the search from the
// absolute MI at the default threshold, and reads the result back over node indexes.
Learned LearnLayer(core::Learner& L, const std::vector<int>& nodeOfField) {
    const Integer n = L.numfld;
    for (auto* m : {&L.Adj, &L.Reach, &L.ReachInit, &L.FL, &L.CE}) m->ReDim(vb::To(n), vb::To(n));
    L.Feature.ReDim(vb::To(n));
    L.Threshold = Single(double(1) * double(0.008f));
    L.Phase = 1;
    L.InitStruBN();
    for (Integer i = 1; i <= n; ++i)
        for (Integer j = 1; j <= n; ++j) L.MIWork(0, i, j) = std::fabs(L.MICache(0, i, j));
    L.ConstructNoOrd();
    Learned out;
    for (Integer i = 1; i < n; ++i) {
        for (Integer j = Integer(i + 1); j <= n; ++j) {
            if (L.Adj(i, j) != 1) continue;
            const int a = nodeOfField[size_t(i)], b = nodeOfField[size_t(j)];
            out.skeleton.insert({std::min(a, b), std::max(a, b)});
            const bool forward = L.Reach(i, j) != 0, backward = L.Reach(j, i) != 0;
            if (forward != backward) out.arcs.insert(forward ? std::pair{a, b} : std::pair{b, a});
        }
    }
    return out;
}

Learned LearnFromSample(const testsupport::Network& net, int rows, core::CoreSettings s) {
    testsupport::TempDir dir;
    testsupport::TableOptions opt;
    opt.holdOut = false;
    opt.seed = 11;
    const testsupport::SampledTable table = testsupport::SampleTable(net, rows, opt);
    auto database = testsupport::WriteSqliteTable(dir.Path("sample.db"), table);
    std::vector<std::string> fields;
    std::vector<int> nodeOfField{-1};
    for (size_t c = 0; c < table.columns.size(); ++c) {
        if (table.nodeOfColumn[c] < 0) continue;
        fields.push_back(table.columns[c]);
        nodeOfField.push_back(table.nodeOfColumn[c]);
    }
    testsupport::StatsLearner L(s);
    L.Bind(database, table.table, fields);
    return LearnLayer(L, nodeOfField);
}

NodePairs Skeleton(const testsupport::Network& net) {
    NodePairs out;
    for (auto [p, c] : net.Arcs()) out.insert({std::min(p, c), std::max(p, c)});
    return out;
}

const std::vector<double> kUniform{0.5, 0.5};
// A child that copies its parent's state with probability 0.85.
const std::vector<std::vector<double>> kCopy{{0.85, 0.15}, {0.15, 0.85}};
// A child of two parents, each raising the chance of its second state.
const std::vector<std::vector<double>> kBoth{{0.95, 0.05}, {0.4, 0.6}, {0.4, 0.6}, {0.05, 0.95}};

struct NamedNetwork {
    const char* name;
    testsupport::Network net;
    NodePairs colliderArcs;  // arcs that must be oriented
};

std::vector<NamedNetwork> Networks() {
    const std::vector<std::string> yn{"NO", "YES"};
    std::vector<NamedNetwork> out;
    {
        testsupport::Network n;
        int a = n.AddNode("A", yn, {}, {kUniform});
        int b = n.AddNode("B", yn, {a}, kCopy);
        n.AddNode("C", yn, {b}, kCopy);
        out.push_back({"chain", n, {}});
    }
    {
        testsupport::Network n;
        int b = n.AddNode("B", yn, {}, {kUniform});
        n.AddNode("A", yn, {b}, kCopy);
        n.AddNode("C", yn, {b}, kCopy);
        out.push_back({"fork", n, {}});
    }
    {
        testsupport::Network n;
        int a = n.AddNode("A", yn, {}, {kUniform});
        int b = n.AddNode("B", yn, {}, {kUniform});
        int c = n.AddNode("C", yn, {a, b}, kBoth);
        out.push_back({"collider", n, {{a, c}, {b, c}}});
    }
    {
        // A long path A - B - C - D - E with the collider C -> D <- F, and a branch B -> G -> H.
        testsupport::Network n;
        int a = n.AddNode("A", yn, {}, {kUniform});
        int b = n.AddNode("B", yn, {a}, kCopy);
        int c = n.AddNode("C", yn, {b}, kCopy);
        int f = n.AddNode("F", yn, {}, {kUniform});
        int d = n.AddNode("D", yn, {c, f}, kBoth);
        n.AddNode("E", yn, {d}, kCopy);
        int g = n.AddNode("G", yn, {b}, kCopy);
        n.AddNode("H", {"LOW", "MID", "HIGH"}, {g}, {{0.8, 0.1, 0.1}, {0.1, 0.1, 0.8}});
        out.push_back({"eight nodes", n, {{c, d}, {f, d}}});
    }
    return out;
}

TEST(StructureFromData, TheSkeletonOfTheGeneratingNetworkAndItsCollidersAreLearned) {
    for (const NamedNetwork& nn : Networks()) {
        for (bool construction : {false, true}) {
            const Learned got =
                LearnFromSample(nn.net, 5000, construction ? Construction() : Classifier());
            EXPECT_EQ(got.skeleton, Skeleton(nn.net))
                << nn.name << " construction " << construction;
            for (const auto& arc : nn.colliderArcs)
                EXPECT_TRUE(got.arcs.count(arc)) << nn.name << " construction " << construction
                                                 << ": " << arc.first << " -> " << arc.second;
        }
    }
}

TEST(StructureFromData, IndependentFieldsStayUnlinked) {
    testsupport::Network net;
    for (const char* name : {"P", "Q", "R", "S"}) net.AddNode(name, {"X", "Y", "Z"});
    for (bool construction : {false, true}) {
        const Learned got =
            LearnFromSample(net, 5000, construction ? Construction() : Classifier());
        EXPECT_TRUE(got.skeleton.empty()) << construction;
    }
}

TEST(StructureFromData, ASingleNetLayerOfTwelveFieldsRunsThroughTheEngine) {
    // The class and eleven fields: a long path Cls - X1 - X3 - X5 - X6 through the collider
    // X3 -> X5 <- X4, a second path Cls - X7 - X8 - X10 - X11 through the collider
    // X8 -> X10 <- X9, and a leaf X2 of the class.
    const std::vector<std::string> yn{"NO", "YES"};
    testsupport::Network net;
    int c = net.AddNode("Cls", yn, {}, {kUniform});
    int x1 = net.AddNode("X1", yn, {c}, kCopy);
    int x3 = net.AddNode("X3", yn, {x1}, kCopy);
    int x4 = net.AddNode("X4", {"A", "B", "C"}, {}, {});
    net.AddNode("X2", yn, {c}, kCopy);
    int x5 = net.AddNode("X5", yn, {x3, x4},
                         {{0.95, 0.05}, {0.7, 0.3}, {0.4, 0.6},
                          {0.4, 0.6}, {0.2, 0.8}, {0.05, 0.95}});
    net.AddNode("X6", yn, {x5}, kCopy);
    int x7 = net.AddNode("X7", yn, {c}, kCopy);
    int x8 = net.AddNode("X8", yn, {x7}, kCopy);
    int x9 = net.AddNode("X9", yn, {}, {kUniform});
    int x10 = net.AddNode("X10", yn, {x9, x8}, kBoth);
    net.AddNode("X11", yn, {x10}, kCopy);
    testsupport::TableOptions opt;
    opt.classNode = 0;
    opt.holdOut = false;
    const testsupport::SampledTable table = testsupport::SampleTable(net, 5000, opt);
    testsupport::TempDir dir;
    std::shared_ptr<db::Database> database =
        testsupport::WriteSqliteTable(dir.Path("sample.db"), table);

    zorvapi::DataEngine engine;
    testsupport::ProgressRecorder progress;
    engine.SetEventSink(&progress);
    Long rows = 5000;
    Integer vlus = 100;
    engine.Init(rows, vlus);
    std::string name = table.table, freq;
    engine.InitLearn(database, name, freq);
    Integer n = 12;
    vb::Array<std::string> names(vb::To(n));
    std::vector<int> nodeOfField{-1};
    for (size_t c = 0; c < table.columns.size(); ++c) {
        names(Integer(c + 1)) = table.columns[c];
        nodeOfField.push_back(table.nodeOfColumn[c]);
    }
    vb::Array<Integer> po(vb::To(n), vb::To(n)), ce(vb::To(n), vb::To(n)), fl(vb::To(n), vb::To(n));
    vb::Array<Integer> rt(vb::To(n)), lf(vb::To(n));
    bool bord = false, bpres = false, fixedThr = true, roc = false, filter = false, noOrd = false;
    Integer bmMode = 1, fsm = 2;
    std::string logi, logo;
    engine.InitLearnStru(n, names, bord, po, ce, fl, rt, lf, bpres, logi, logo, bmMode, fixedThr,
                         fsm, roc, filter, noOrd);

    // The learning driver's single net with a fixed threshold: the pass at step share 0.6, the
    // construction at 0.39 with its stage restarted.
    engine.FirstFld = 1;
    engine.NetIdx = 0;
    engine.WhereClause.clear();
    engine.PhaseShare = 1;
    engine.StepShare = 0.6f;
    engine.Threshold = 0.008f;
    engine.Phase = 1;
    engine.InitStruBN();
    ASSERT_FALSE(engine.Cancel);
    const size_t passEnd = progress.calls.size();
    engine.Percent2 = 0;
    engine.StepShare = 0.39f;
    for (Integer i = 1; i <= n; ++i)
        for (Integer j = 1; j <= n; ++j)
            engine.MIWork(0, i, j) = std::fabs(engine.MICache(0, i, j));
    engine.ConstructNoOrd();
    ASSERT_FALSE(engine.Cancel);
    EXPECT_EQ(engine.Phase, 3);

    // The overall percentage: the set-up's 1, the pass's 60 and the search's share after it.
    for (size_t c = 1; c < progress.calls.size(); ++c) {
        EXPECT_GE(progress.calls[c].first, progress.calls[c - 1].first - 1e-4f) << c;
        EXPECT_LE(progress.calls[c].first, 100.001f) << c;
    }
    EXPECT_NEAR(progress.calls[passEnd - 1].first, 61, 1e-3);
    for (size_t c = passEnd; c < progress.calls.size(); ++c)
        EXPECT_LE(progress.calls[c].second, 100.001f) << c;

    NodePairs learned, arcs;
    for (Integer i = 1; i < n; ++i) {
        for (Integer j = Integer(i + 1); j <= n; ++j) {
            if (engine.Adj(i, j) != 1) continue;
            const int a = nodeOfField[size_t(i)], b = nodeOfField[size_t(j)];
            learned.insert({std::min(a, b), std::max(a, b)});
            if (engine.Reach(i, j) != 0 && engine.Reach(j, i) == 0) arcs.insert({a, b});
            if (engine.Reach(j, i) != 0 && engine.Reach(i, j) == 0) arcs.insert({b, a});
        }
    }
    EXPECT_EQ(learned, Skeleton(net));
    for (const auto& arc : NodePairs{{x3, x5}, {x4, x5}, {x9, x10}, {x8, x10}})
        EXPECT_TRUE(arcs.count(arc)) << arc.first << " -> " << arc.second;
}

}  // namespace
