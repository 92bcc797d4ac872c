// UpdateReach / UpdateReachInit: adding arcs keeps the reach matrix closed and acyclic.
#include <gtest/gtest.h>

#include <random>
#include <utility>
#include <vector>

#include "tests/support/scripted_learner.h"

namespace {

using testsupport::ScriptedLearner;
using Arcs = std::vector<std::pair<vb::Integer, vb::Integer>>;
const auto Cells = ScriptedLearner::Cells;

TEST(UpdateReach, ClosesOverAncestorsAndDescendantsAndIgnoresContradictions) {
    struct Case {
        const char* name;
        Arcs added;
        Arcs expected;
    };
    const Case cases[] = {
        {"extends a chain", {{1, 2}, {2, 3}}, {{1, 2}, {1, 3}, {2, 3}}},
        {"an arc against the order is ignored", {{1, 2}, {2, 3}, {3, 1}}, {{1, 2}, {1, 3}, {2, 3}}},
        {"an implied arc changes nothing", {{1, 2}, {2, 3}, {1, 3}}, {{1, 2}, {1, 3}, {2, 3}}},
        {"joins two chains", {{1, 2}, {3, 4}, {2, 3}},
         {{1, 2}, {1, 3}, {1, 4}, {2, 3}, {2, 4}, {3, 4}}},
        {"reverse of an arc is ignored", {{2, 1}, {1, 2}}, {{2, 1}}},
    };
    for (const Case& c : cases) {
        ScriptedLearner L(core::CoreSettings::Classifier(100), 4);
        for (auto [a, b] : c.added) L.UpdateReach(vb::Integer(a), vb::Integer(b));
        EXPECT_EQ(Cells(L.Reach), c.expected) << c.name;
        EXPECT_EQ(Cells(L.ReachInit), Arcs{}) << c.name;
    }
}

TEST(UpdateReach, InitCopyAndConstructionSettingsUseTheSameRule) {
    ScriptedLearner L(core::CoreSettings::Construction(), 4);
    L.UpdateReachInit(1, 2);
    L.UpdateReachInit(3, 4);
    L.UpdateReachInit(2, 3);
    L.UpdateReachInit(4, 1);
    EXPECT_EQ(Cells(L.ReachInit), (Arcs{{1, 2}, {1, 3}, {1, 4}, {2, 3}, {2, 4}, {3, 4}}));
    EXPECT_EQ(Cells(L.Reach), Arcs{});
}

TEST(UpdateReach, RandomArcsLeaveATransitivelyClosedAcyclicOrder) {
    const int n = 12;
    std::mt19937 gen(7);
    std::uniform_int_distribution<int> pick(1, n);
    for (int round = 0; round < 20; ++round) {
        ScriptedLearner L(core::CoreSettings::Classifier(100), n);
        for (int k = 0; k < 40; ++k) {
            const int a = pick(gen), b = pick(gen);
            if (a != b) L.UpdateReach(vb::Integer(a), vb::Integer(b));
        }
        for (int i = 1; i <= n; ++i) {
            EXPECT_EQ(L.Reach(i, i), 0);
            for (int j = 1; j <= n; ++j) {
                if (L.Reach(i, j) == 0 || i == j) continue;
                EXPECT_EQ(L.Reach(j, i), 0) << i << "," << j;
                for (int k = 1; k <= n; ++k) {
                    if (L.Reach(j, k) != 0 && i != k) {
                        EXPECT_NE(L.Reach(i, k), 0) << i << "," << j << "," << k;
                    }
                }
            }
        }
    }
}

}  // namespace
