// The search under a complete ordering: the open-path test and the conditioning sets against
// the depth-first walks they stand for, drafting order and domain knowledge, thinning at the
// raised threshold, progress and cancel in both engines, and structure learned from generated
// data whose fields come in a topological order.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/db_contract.h"
#include "tests/support/network_sampler.h"
#include "tests/support/scripted_learner.h"
#include "tests/support/stats_learner.h"

namespace {

using testsupport::ScriptedLearner;
using vb::Integer;
using vb::Single;
using Pairs = std::vector<std::pair<Integer, Integer>>;
using Set = std::vector<Integer>;

constexpr Single kT = 0.008f;
const Single kThinT = Single(double(kT) * 1.1);

core::CoreSettings Classifier() { return core::CoreSettings::Classifier(100); }
core::CoreSettings Construction() { return core::CoreSettings::Construction(); }

// A learner as the pairwise pass leaves it: every pair known, MI 0 unless set.
ScriptedLearner Search(core::CoreSettings s, Integer fields, Integer classes = 0) {
    ScriptedLearner L(s, fields, classes);
    for (Integer k = 0; k <= classes; ++k) L.ClearMI(k);
    L.Threshold = kT;
    return L;
}

ScriptedLearner Graph(Integer fields, const Pairs& links) {
    ScriptedLearner L = Search(Classifier(), fields);
    for (auto [a, b] : links) L.Link(a, b);
    return L;
}

// The pairs GetCMI was asked about in one phase, in order.
Pairs TestedIn(const ScriptedLearner& L, Integer phase) {
    Pairs out;
    for (const auto& c : L.cmiCalls)
        if (c.phase == phase) out.emplace_back(c.a, c.b);
    return out;
}

// ---- the literal walks ----

bool OnStack(const std::vector<Integer>& stack, Integer c) {
    return std::find(stack.begin(), stack.end(), c) != stack.end();
}

// The open-path test as a depth-first walk from a without visited marks: candidates up to b,
// from 1 while the path still descends, above the current field once it has turned upwards.
bool WalkHasPathOrd(const vb::Array<Integer>& adj, Integer a, Integer b) {
    std::vector<Integer> stack{a}, next{1};
    size_t turn = 0;  // depth of the first field above its predecessor, 0 = none yet
    for (;;) {
        const size_t depth = stack.size() - 1;
        const Integer cur = stack.back();
        bool pushed = false;
        for (Integer c = next[depth]; c <= b && !pushed; ++c) {
            if (adj(cur, c) != 1) continue;
            if (c == b) return true;
            if (OnStack(stack, c)) continue;
            next[depth] = Integer(c + 1);
            stack.push_back(c);
            if (turn == 0 && c > cur) turn = depth + 1;
            next.push_back(turn == 0 ? Integer(1) : Integer(c + 1));
            pushed = true;
        }
        if (pushed) continue;
        stack.pop_back();
        next.pop_back();
        if (stack.empty()) return false;
        if (stack.size() - 1 < turn) turn = 0;
    }
}

// The conditioning set of a - b as the walk from b over the levels out from a collects it.
Set WalkOrdSet(const vb::Array<Integer>& adj, Integer a, Integer b) {
    const Integer levmax = std::min<Integer>(b, 8);
    std::vector<Integer> level(size_t(b) + 1, 0);
    for (Integer k = 1; k < b; ++k)
        if (adj(k, a) == 1) level[size_t(k)] = 1;
    for (Integer l = 2; l <= levmax; ++l) {
        std::vector<Integer> next = level;
        for (Integer k = 1; k < b; ++k) {
            if (k == a || level[size_t(k)] != 0) continue;
            for (Integer m = 1; m < b; ++m)
                if (level[size_t(m)] > 0 && adj(k, m) == 1) {
                    next[size_t(k)] = l;
                    break;
                }
        }
        level = next;
    }
    Set set;
    std::vector<Integer> stack{b}, next{1};
    while (!stack.empty()) {
        const size_t depth = stack.size() - 1;
        const Integer cur = stack.back();
        bool moved = false;
        for (Integer c = next[depth]; c <= b && !moved; ++c) {
            if (adj(cur, c) != 1) continue;
            if (c == a) {
                if (depth == 0) continue;
                const Integer hop = stack[1];
                if (!OnStack(set, hop)) set.push_back(hop);
                stack.assign(1, b);
                next.assign(1, Integer(hop + 1));
                moved = true;
            } else if (level[size_t(c)] != 0 && level[size_t(c)] < levmax - Integer(depth) &&
                       !OnStack(stack, c)) {
                next[depth] = Integer(c + 1);
                stack.push_back(c);
                next.push_back(1);
                moved = true;
            }
        }
        if (moved) continue;
        stack.pop_back();
        next.pop_back();
    }
    return set;
}

TEST(OrderedPathTests, FastFormsEqualTheWalksOnRandomGraphs) {
    std::mt19937 gen(20261210);
    int graphs = 0, paths = 0, sets = 0;
    for (; graphs < 400; ++graphs) {
        const Integer n = Integer(3 + gen() % 10);
        const unsigned density = 15 + gen() % 60;  // percent
        ScriptedLearner L = Search(Classifier(), n);
        for (Integer i = 1; i < n; ++i)
            for (Integer j = Integer(i + 1); j <= n; ++j)
                if (gen() % 100 < density) L.Link(i, j);
        for (Integer a = 1; a < n; ++a) {
            for (Integer b = Integer(a + 1); b <= n; ++b) {
                const bool walk = WalkHasPathOrd(L.Adj, a, b);
                ASSERT_EQ(L.HasPathOrd(a, b), walk) << "graph " << graphs << " " << a << "-" << b;
                paths += walk;
                // The set is built for an unlinked pair, as thickening and thinning call it.
                const Integer saved = L.Adj(a, b);
                L.Adj(a, b) = L.Adj(b, a) = 0;
                L.cmiCalls.clear();
                L.TestEdgeOrd(a, b);
                const Set expected = WalkOrdSet(L.Adj, a, b);
                const Set got = L.cmiCalls.empty() ? Set{} : L.cmiCalls[0].set;
                ASSERT_EQ(got, expected) << "graph " << graphs << " " << a << "-" << b;
                sets += !expected.empty();
                L.Adj(a, b) = L.Adj(b, a) = saved;
            }
        }
    }
    // Both answers occur often enough for the comparison to mean something.
    EXPECT_GT(paths, 1000);
    EXPECT_GT(sets, 1000);
}

// ---- HasPathOrd and TestEdgeOrd by hand ----

TEST(HasPathOrd, OpenPathsUnderTheOrdering) {
    struct Case {
        const char* name;
        Integer n;
        Pairs links;
        Integer a, b;
        bool path;
    };
    const Case cases[] = {
        {"chain 1 - 2 - 3", 3, {{1, 2}, {2, 3}}, 1, 3, true},
        {"collider 1 -> 3 <- 2", 3, {{1, 3}, {2, 3}}, 1, 2, false},
        {"common ancestor below both ends", 4, {{1, 3}, {1, 4}}, 3, 4, true},
        {"the first end is the turning point", 4, {{2, 3}, {3, 4}}, 2, 4, true},
        {"down twice, then up twice", 6, {{4, 2}, {2, 1}, {1, 3}, {3, 6}}, 4, 6, true},
        {"a field above the second end is a collider", 5, {{1, 5}, {5, 3}}, 1, 3, false},
        {"up then down meets a collider", 4, {{2, 3}, {3, 1}, {1, 4}}, 2, 4, false},
        {"the pair's own link", 3, {{1, 3}}, 1, 3, true},
        {"no links", 3, {}, 1, 3, false},
    };
    for (const Case& c : cases) {
        ScriptedLearner L = Graph(c.n, c.links);
        EXPECT_EQ(L.HasPathOrd(c.a, c.b), c.path) << c.name;
        EXPECT_EQ(WalkHasPathOrd(L.Adj, c.a, c.b), c.path) << c.name;
    }
}

TEST(TestEdgeOrd, TheSetIsTheNeighboursOfTheLaterFieldThatLeadBackWithinEightLevels) {
    auto chain = [](Integer last) {
        Pairs p;
        for (Integer i = 1; i < last; ++i) p.emplace_back(i, Integer(i + 1));
        return p;
    };
    struct Case {
        const char* name;
        Integer n;
        Pairs links;
        Integer a, b;
        Set set;  // empty: linked without a test
    };
    const Case cases[] = {
        {"the field between", 3, {{1, 2}, {2, 3}}, 1, 3, {2}},
        {"two parents of the later field", 4, {{1, 2}, {1, 3}, {2, 4}, {3, 4}}, 1, 4, {2, 3}},
        {"no field below b joins them", 3, {{2, 3}}, 1, 3, {}},
        {"a neighbour above b is no parent", 4, {{1, 4}, {4, 3}}, 1, 3, {}},
        {"a route back through a later field does not count", 4, {{3, 2}, {2, 4}, {4, 1}}, 1, 3,
         {}},
        {"eight links back are within the bound", 9, chain(9), 1, 9, {8}},
        {"nine links back are not", 10, chain(10), 1, 10, {}},
    };
    for (const Case& c : cases) {
        ScriptedLearner L = Graph(c.n, c.links);
        L.SetMI(c.a, c.b, 0.5f);
        L.TestEdgeOrd(c.a, c.b);
        if (c.set.empty()) {
            EXPECT_TRUE(L.cmiCalls.empty()) << c.name;
        } else {
            ASSERT_EQ(L.cmiCalls.size(), 1u) << c.name;
            EXPECT_EQ(L.cmiCalls[0].set, c.set) << c.name;
        }
        EXPECT_TRUE(L.Linked(c.a, c.b)) << c.name << ": dependent given the set";
    }
}

TEST(TestEdgeOrd, TheWholeSetDecidesOnceAtTheThreshold) {
    struct Case {
        Single cmi;
        bool linked;
    };
    for (const Case& c : {Case{kT, true}, Case{std::nextafter(kT, 0.0f), false}}) {
        ScriptedLearner L = Graph(4, {{1, 2}, {1, 3}, {2, 4}, {3, 4}});
        L.SetMI(1, 4, 0.5f);
        L.SetCMI(1, 4, {2, 3}, c.cmi);
        L.SetCMI(1, 4, {2}, 0.0f);  // subsets are never tried
        L.TestEdgeOrd(1, 4);
        EXPECT_EQ(L.cmiCalls.size(), 1u);
        EXPECT_EQ(L.Linked(1, 4), c.linked) << c.cmi;
        EXPECT_EQ(L.MIWork(0, 1, 4), c.cmi) << "lowered to the conditional value";
    }
}

TEST(TestEdgeOrd, MoreNeighboursThanTheSetLimitAreHandedOverWhole) {
    // 22 parents of field 24 that all lead back to field 1.
    for (bool construction : {false, true}) {
        ScriptedLearner L = Search(construction ? Construction() : Classifier(), 24);
        for (Integer m = 2; m <= 23; ++m) {
            L.Link(1, m);
            L.Link(m, 24);
        }
        L.SetMI(1, 24, 0.5f);
        L.TestEdgeOrd(1, 24);
        ASSERT_EQ(L.cmiCalls.size(), 1u);
        EXPECT_EQ(L.cmiCalls[0].set.size(), 22u);
        EXPECT_GE(L.CondSet.UBound(), 24);
        // A set above the limit gives 0 without a query and leaves MIWork as it was, so the
        // pair stays linked in both engines.
        EXPECT_TRUE(L.Linked(1, 24)) << construction;
    }
}

// ---- drafting ----

TEST(ConstructOrd, NoPairAtTheThresholdLeavesNothingToDo) {
    ScriptedLearner L = Search(Classifier(), 4);
    L.SetMI(1, 2, std::nextafter(kT, 0.0f));
    L.SetMI(3, 4, kT / 2);
    L.ConstructOrd();
    EXPECT_TRUE(L.Links().empty());
    EXPECT_TRUE(L.cmiCalls.empty());
    EXPECT_TRUE(L.events.empty()) << "no listed pair, no link to thin";
    EXPECT_EQ(L.Threshold, kThinT);
    EXPECT_EQ(L.MIWork(0, 1, 2), std::nextafter(kT, 0.0f));
}

TEST(ConstructOrd, APairAtTheThresholdIsDraftedOneJustBelowIsNot) {
    ScriptedLearner L = Search(Classifier(), 3);
    L.SetMI(1, 2, kT);
    L.SetMI(2, 3, std::nextafter(kT, 0.0f));
    L.ConstructOrd();
    EXPECT_EQ(L.Links(), (Pairs{{1, 2}}));
    for (Integer i = 1; i < 3; ++i)
        for (Integer j = Integer(i + 1); j <= 3; ++j) EXPECT_GE(L.MIWork(0, i, j), 0) << "restored";
}

TEST(ConstructOrd, AmongEqualValuesTheSmallerFirstFieldThenSecondFieldIsDraftedFirst) {
    // The pair drafted second of two equal ones finds the first one's path and is listed, so
    // thickening tests exactly the pair that lost the tie.
    struct Case {
        const char* name;
        Pairs strong;  // drafted before the tie
        Pairs tied;
        Pairs listed;
    };
    const Case cases[] = {
        {"first field decides", {{1, 2}}, {{2, 3}, {1, 3}}, {{2, 3}}},
        {"then the second field", {{3, 4}}, {{1, 4}, {1, 3}}, {{1, 4}}},
    };
    for (const Case& c : cases) {
        ScriptedLearner L = Search(Classifier(), 4);
        for (auto [a, b] : c.strong) L.SetMI(a, b, 0.9f);
        for (auto [a, b] : c.tied) L.SetMI(a, b, 0.5f);
        L.ConstructOrd();
        EXPECT_EQ(TestedIn(L, 2), c.listed) << c.name;
    }
}

TEST(ConstructOrd, ForbiddenPairsAreSkippedRequiredPairsLinkedWhateverThePaths) {
    struct Case {
        const char* name;
        Pairs forbidden, required;
        Pairs links;
        Pairs thickened;
    };
    // The triangle 1 - 2 - 3, (1, 2) strongest: drafting links (1, 2) and (1, 3) and lists (2, 3).
    const Case cases[] = {
        {"plain", {}, {}, {{1, 2}, {1, 3}, {2, 3}}, {{2, 3}}},
        {"forbidden: neither linked nor listed", {{1, 2}}, {}, {{1, 3}, {2, 3}}, {}},
        {"required: linked although a path joins it", {}, {{3, 2}}, {{1, 2}, {1, 3}, {2, 3}}, {}},
    };
    for (const Case& c : cases) {
        ScriptedLearner L = Search(Classifier(), 3);
        L.SetMI(1, 2, 0.9f);
        L.SetMI(1, 3, 0.5f);
        L.SetMI(2, 3, 0.5f);
        for (auto [a, b] : c.forbidden) L.FL(a, b) = 1;
        for (auto [a, b] : c.required) L.CE(a, b) = 1;
        L.ConstructOrd();
        EXPECT_EQ(L.Links(), c.links) << c.name;
        EXPECT_EQ(TestedIn(L, 2), c.thickened) << c.name;
    }
}

TEST(ConstructOrd, RelevanceAndAFixedSubsetKeepFieldsOut) {
    {
        // With the filter, field 4's MI with the class is below the threshold.
        ScriptedLearner L = Search(Classifier(), 4);
        L.tmpFilter = true;
        L.SetMI(1, 2, 0.5f);
        L.SetMI(1, 3, 0.5f);
        L.SetMI(1, 4, kT / 2);
        L.SetMI(3, 4, 0.9f);
        L.ConstructOrd();
        EXPECT_EQ(L.Links(), (Pairs{{1, 2}, {1, 3}}));
    }
    {
        // A per-class network over the subset {2, 3}.
        ScriptedLearner L = Search(Classifier(), 4, 2);
        L.FirstFld = 2;
        L.NetIdx = 1;
        L.SubsetFixed = true;
        L.Feature(1) = L.Feature(2) = L.Feature(3) = 1;
        L.SetMI(2, 3, 0.4f, 1);
        L.SetMI(2, 4, 0.9f, 1);
        L.SetMI(3, 4, 0.9f, 1);
        L.ConstructOrd();
        EXPECT_EQ(L.Links(), (Pairs{{2, 3}}));
    }
}

// ---- thinning ----

TEST(ConstructOrd, ThinningJudgesInPlaceAtATenthAboveTheThreshold) {
    // Links drafted at exactly the threshold cannot rise above it again, so thinning removes
    // each one whose set is not empty; a set loses members as earlier links go.
    struct Case {
        const char* name;
        Single mi14;
        Pairs links;
        Pairs thinned;
    };
    const Case cases[] = {
        // (1, 2), (1, 4) drafted, (2, 4) listed and kept given 1. Thinning: (1, 2) has no set;
        // (1, 4) given 2 falls; (2, 4) then has no set left.
        {"all at the threshold", kT, {{1, 2}, {2, 4}}, {{1, 4}}},
        // (1, 4) above the raised level stays; (2, 4), at the threshold, falls given 1.
        {"one above the raised level", std::nextafter(kThinT, 1.0f), {{1, 2}, {1, 4}},
         {{1, 4}, {2, 4}}},
    };
    for (const Case& c : cases) {
        ScriptedLearner L = Search(Classifier(), 4);
        L.SetMI(1, 2, kT);
        L.SetMI(1, 4, c.mi14);
        L.SetMI(2, 4, kT);
        L.SetCMI(2, 4, {1}, kT);
        L.ConstructOrd();
        EXPECT_EQ(TestedIn(L, 2), (Pairs{{2, 4}})) << c.name;
        EXPECT_EQ(L.Links(), c.links) << c.name;
        EXPECT_EQ(TestedIn(L, 3), c.thinned) << c.name;
        for (const auto& call : L.cmiCalls)
            EXPECT_EQ(call.threshold, call.phase == 3 ? kThinT : kT) << c.name;
        EXPECT_EQ(L.Threshold, kThinT) << c.name;
    }
}

TEST(ConstructOrd, PreservedRequiredLinksAreNeverRetested) {
    for (bool preserve : {true, false}) {
        ScriptedLearner L = Search(Construction(), 3);
        L.bpres = preserve;
        L.CE(1, 3) = 1;
        L.Link(1, 3);  // the construction engine's intake links required pairs first
        L.SetMI(1, 2, 0.5f);
        L.SetMI(2, 3, 0.5f);
        L.SetMI(1, 3, 0.3f);
        L.SetCMI(1, 3, {2}, 0.0f);
        L.ConstructOrd();
        const Pairs thinned = TestedIn(L, 3);
        const bool retested = std::count(thinned.begin(), thinned.end(), std::pair<Integer, Integer>{1, 3});
        EXPECT_EQ(retested, !preserve);
        EXPECT_EQ(L.Linked(1, 3), preserve);
    }
}

// ---- progress and cancel ----

// Drafting links (1, 2), (1, 3), (1, 4) and lists (2, 3) and (3, 4): a pair list of 16
// characters. Thickening keeps both, so thinning re-tests five links.
ScriptedLearner TwoListed(core::CoreSettings s) {
    ScriptedLearner L = Search(s, 4);
    for (Integer j = 2; j <= 4; ++j) L.SetMI(1, j, 0.9f);
    L.SetMI(2, 3, 0.5f);
    L.SetMI(3, 4, 0.5f);
    return L;
}

TEST(OrderedProgress, EachEngineSpreadsItsBudgetsOverTheListAndTheLinks) {
    struct Case {
        const char* name;
        core::CoreSettings s;
        Single perPair, perLink;
        std::vector<Single> positions;
    };
    const Case cases[] = {
        {"classifier", Classifier(), 32.5f, Single(34.9 / 5), {}},
        {"construction", Construction(), 15.0f, Single(9.9 / 5), {60, 90}},
    };
    for (const Case& c : cases) {
        ScriptedLearner L = TwoListed(c.s);
        L.ConstructOrd();
        ASSERT_EQ(L.events.size(), 7u) << c.name;
        for (size_t e = 0; e < 7; ++e) {
            EXPECT_EQ(L.events[e].phase, e < 2 ? 2 : 3) << c.name << " " << e;
            EXPECT_EQ(L.events[e].increment, e < 2 ? c.perPair : c.perLink) << c.name << e;
        }
        EXPECT_EQ(L.positions, c.positions) << c.name;
        if (!c.positions.empty()) {
            EXPECT_NEAR(L.percent, 99.9, 1e-4) << c.name;
        }
    }
}

TEST(OrderedProgress, ACancelReturnsRightAfterTheEventThatSawIt) {
    struct Case {
        int at;
        size_t tests, links;
        Single threshold;
    };
    const Case cases[] = {
        // After the first listed pair: (3, 4) is never tested nor linked.
        {1, 1, 4, kT},
        // After the first thinned link, (1, 2), which has no set: the rest stay as they were.
        {3, 2, 5, kThinT},
    };
    for (const Case& c : cases) {
        ScriptedLearner L = TwoListed(Classifier());
        L.cancelAt = c.at;
        L.ConstructOrd();
        EXPECT_EQ(L.events.size(), size_t(c.at));
        EXPECT_EQ(L.cmiCalls.size(), c.tests) << c.at;
        EXPECT_EQ(L.Links().size(), c.links) << c.at;
        EXPECT_EQ(L.Threshold, c.threshold) << c.at;
    }
}

// ---- structure from data ----

using NodePairs = std::set<std::pair<int, int>>;

// Rows drawn from the network, fields in node order (a topological order, since a node's
// parents are added before it), the pairwise pass and the ordered search at the default
// threshold. The links come back as (earlier node, later node).
NodePairs LearnOrdered(const testsupport::Network& net, core::CoreSettings s) {
    testsupport::TempDir dir;
    testsupport::TableOptions opt;
    opt.holdOut = false;
    opt.seed = 5;
    const testsupport::SampledTable table = testsupport::SampleTable(net, 5000, opt);
    auto database = testsupport::WriteSqliteTable(dir.Path("sample.db"), table);
    testsupport::StatsLearner L(s);
    L.Bind(database, table.table, table.columns);
    const Integer n = L.numfld;
    for (auto* m : {&L.Adj, &L.Reach, &L.ReachInit, &L.FL, &L.CE}) m->ReDim(vb::To(n), vb::To(n));
    L.Feature.ReDim(vb::To(n));
    L.bord = true;
    L.Threshold = Single(double(1) * double(0.008f));
    L.Phase = 1;
    L.InitStruBN();
    L.ResetWorkingMI();
    L.ConstructOrd();
    NodePairs links;
    for (Integer i = 1; i < n; ++i)
        for (Integer j = Integer(i + 1); j <= n; ++j)
            if (L.Adj(i, j) == 1) links.insert({i - 1, j - 1});
    return links;
}

TEST(StructureFromData, TheOrderedSearchRecoversTheGeneratingNetwork) {
    const std::vector<std::string> yn{"NO", "YES"};
    const std::vector<double> even{0.5, 0.5};
    const std::vector<std::vector<double>> follows{{0.85, 0.15}, {0.15, 0.85}};
    const std::vector<std::vector<double>> either{{0.95, 0.05}, {0.4, 0.6}, {0.4, 0.6}, {0.05, 0.95}};
    std::vector<std::pair<const char*, testsupport::Network>> nets;
    {
        testsupport::Network n;
        int a = n.AddNode("A", yn, {}, {even});
        int b = n.AddNode("B", yn, {a}, follows);
        n.AddNode("C", yn, {b}, follows);
        nets.emplace_back("chain", n);
    }
    {
        // A common cause and a common effect: the ordering alone decides both.
        testsupport::Network n;
        int a = n.AddNode("A", yn, {}, {even});
        int b = n.AddNode("B", yn, {a}, follows);
        int c = n.AddNode("C", yn, {a}, follows);
        n.AddNode("D", yn, {b, c}, either);
        nets.emplace_back("diamond", n);
    }
    {
        testsupport::Network n;
        int a = n.AddNode("A", yn, {}, {even});
        int f = n.AddNode("F", yn, {}, {even});
        int b = n.AddNode("B", yn, {a}, follows);
        int c = n.AddNode("C", yn, {b}, follows);
        int d = n.AddNode("D", yn, {c, f}, either);
        n.AddNode("E", yn, {d}, follows);
        int g = n.AddNode("G", yn, {b}, follows);
        n.AddNode("H", {"LOW", "MID", "HIGH"}, {g}, {{0.8, 0.1, 0.1}, {0.1, 0.1, 0.8}});
        nets.emplace_back("eight nodes", n);
    }
    for (const auto& [name, net] : nets) {
        NodePairs arcs;
        for (auto [p, c] : net.Arcs()) arcs.insert({p, c});
        for (bool construction : {false, true}) {
            // Every learned link points from the earlier field to the later one: the arcs.
            EXPECT_EQ(LearnOrdered(net, construction ? Construction() : Classifier()), arcs)
                << name << " construction " << construction;
        }
    }
}

}  // namespace
