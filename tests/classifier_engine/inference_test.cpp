// Inference over probability tables put together by hand: scores, the two decision rules, ties,
// the one-way default-cost setting, and value indexes that matched no label.
#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

#include "classifier_engine/data_engine.h"

namespace {

using vb::Integer;
using vb::Long;
using vb::Single;

void Row(zorvapi::DataEngine& e, Long r, std::initializer_list<Single> p) {
    Integer v = 1;
    for (Single x : p) e.CPTStore(r, v++) = x;
}

vb::Array<Integer> Case(std::initializer_list<Integer> values) {
    vb::Array<Integer> c(vb::To(Integer(values.size())));
    Integer j = 0;
    for (Integer v : values) c(j++) = v;
    return c;
}

// Both models below: the class (2 values), A (2 values), B (3 values), a store of 20 rows.
void Frame(zorvapi::DataEngine& e) {
    Long rows = 20;
    Integer vlus = 5;
    e.Init(rows, vlus);
    e.numfld = 3;
    e.nc = 2;
    e.FF = Case({0, 2, 2, 3});
    e.CPTStore.ReDim(vb::To(20), vb::To(5));
}

// A single net over the class (2 values), A (2 values) and B (3 values): the class's children
// are A (parent: the class) and B (parents: the class and A).
struct SingleNet : ::testing::Test {
    zorvapi::DataEngine e;
    void SetUp() override {
        Frame(e);
        Row(e, 1, {0.6f, 0.4f});
        Row(e, 2, {0.7f, 0.3f});  // A | class 1
        Row(e, 3, {0.2f, 0.8f});  // A | class 2
        Row(e, 4, {0.5f, 0.25f, 0.25f});  // B | class 1, A 1
        Row(e, 5, {0.2f, 0.2f, 0.6f});    // B | class 1, A 2
        Row(e, 6, {0.1f, 0.6f, 0.3f});    // B | class 2, A 1
        Row(e, 7, {0.3f, 0.3f, 0.4f});    // B | class 2, A 2
        e.CPTIndex = vb::Array<Long>(vb::To(4));
        e.CPTIndex(2) = 1;
        e.CPTIndex(3) = 3;
        e.CPTIndex(4) = 7;
        e.ClassChildren = Case({2, 2, 3, 0});
        e.Parents.ReDim(vb::To(3), vb::To(3));
        e.Parents(2, 0) = 1;
        e.Parents(2, 1) = 1;
        e.Parents(3, 0) = 2;
        e.Parents(3, 1) = 1;
        e.Parents(3, 2) = 2;
    }
    void PutCosts(std::initializer_list<std::initializer_list<Single>> rows) {
        const Integer nc = e.FF(1);
        vb::Array<Single> t(vb::To(nc), vb::To(nc));
        Integer i = 1;
        for (auto row : rows) {
            Integer j = 1;
            for (Single x : row) t(i, j++) = x;
            ++i;
        }
        e.PutCostTable(t);
    }
    // No children: every case is scored by the prior alone.
    void PriorOnly(std::initializer_list<Single> prior) {
        e.FF(1) = Integer(prior.size());
        e.nc = e.FF(1);
        Row(e, 1, prior);
        e.ClassChildren = Case({0, 0, 0, 0});
    }
};

TEST_F(SingleNet, TwoClassCaseByHand) {
    auto c = Case({0, 0, 1, 2});  // A = 1, B = 2
    EXPECT_EQ(e.ClsfyInst(c), 1);
    EXPECT_EQ(e.Posterior(1), 0.6f * 0.7f * 0.25f);
    EXPECT_EQ(e.Posterior(2), 0.4f * 0.2f * 0.6f);
    EXPECT_EQ(e.Posterior.UBound(), 5);
    EXPECT_EQ(e.Posterior(0), 0);
    EXPECT_EQ(e.Posterior(3), 0);

    c = Case({0, 0, 2, 3});  // A = 2, B = 3
    EXPECT_EQ(e.InferenceBN(c), 2);
    EXPECT_EQ(e.Posterior(1), 0.6f * 0.3f * 0.6f);
    EXPECT_EQ(e.Posterior(2), 0.4f * 0.8f * 0.4f);
}

TEST_F(SingleNet, ACostTableFlipsTheDecision) {
    PriorOnly({0.6f, 0.4f});
    auto c = Case({0, 0, 1, 1});
    EXPECT_EQ(e.InferenceBN(c), 1);
    // E(1) = 0.4 x 5 = 2.0 and E(2) = 0.6 x 1 = 0.6.
    PutCosts({{0, 1}, {5, 0}});
    EXPECT_EQ(e.InferenceBN(c), 2);
    // The search always decides by the most probable class.
    e.HoldOutSearch = true;
    EXPECT_EQ(e.InferenceBN(c), 1);
}

TEST_F(SingleNet, TiesGoToTheLowerIndex) {
    PriorOnly({0.5f, 0.5f, 0.0f});
    auto c = Case({0, 0, 1, 1});
    EXPECT_EQ(e.InferenceBN(c), 1);
    // E(1) = E(2) = 0.5, E(3) = 3.
    PutCosts({{0, 1, 3}, {1, 0, 3}, {1, 1, 0}});
    EXPECT_FALSE(e.DefaultCost);
    EXPECT_EQ(e.InferenceBN(c), 1);
}

TEST_F(SingleNet, NoTableEverPutMeansTheMostProbableClass) {
    PriorOnly({0.6f, 0.4f});
    e.CostTable.ReDim(vb::To(2), vb::To(2));
    e.CostTable(2, 1) = 5;
    e.CostTable(1, 2) = 1;
    e.DefaultCost = false;
    auto c = Case({0, 0, 1, 1});
    EXPECT_EQ(e.InferenceBN(c), 1);
    EXPECT_TRUE(e.DefaultCost);
}

TEST_F(SingleNet, ValuesThatMatchedNoLabelGiveNoClass) {
    // The field's own value unknown: every score 0, no class under the default costs, class 1
    // under a user's table.
    auto own = Case({0, 0, 1, 0});
    EXPECT_EQ(e.InferenceBN(own), 0);
    EXPECT_EQ(e.Posterior(1), 0);
    EXPECT_EQ(e.Posterior(2), 0);
    // A parent's value unknown (or out of its range) must not pick a row of another
    // configuration or another table.
    auto parent = Case({0, 0, 0, 2});
    EXPECT_EQ(e.InferenceBN(parent), 0);
    EXPECT_EQ(e.Posterior(1), 0);
    auto beyond = Case({0, 0, 3, 2});
    EXPECT_EQ(e.InferenceBN(beyond), 0);

    PutCosts({{0, 1}, {2, 0}});
    EXPECT_EQ(e.InferenceBN(own), 1);
}

TEST_F(SingleNet, UnderflowGivesNoClass) {
    Row(e, 1, {1e-30f, 1e-30f});
    Row(e, 2, {1e-20f, 1e-20f});
    Row(e, 3, {1e-20f, 1e-20f});
    auto c = Case({0, 0, 1, 1});
    EXPECT_EQ(e.InferenceBN(c), 0);
}

// A multi-net over the class (2 values), A (2 values) and B (3 values). Layer 1: A, then B
// with parent A; layer 2: A with parent B, then B. Only A is in the feature subset.
struct MultiNet : ::testing::Test {
    zorvapi::DataEngine e;
    void SetUp() override {
        Frame(e);
        e.IsMultiNet_ = true;
        e.Feature = Case({0, 1, 1, 0});
        Row(e, 1, {0.55f, 0.45f});
        Row(e, 2, {0.3f, 0.7f});          // layer 1: A
        Row(e, 3, {0.1f, 0.2f, 0.7f});    // layer 1: B | A 1
        Row(e, 4, {0.6f, 0.3f, 0.1f});    // layer 1: B | A 2
        Row(e, 5, {0.5f, 0.5f});          // layer 2: A | B 1
        Row(e, 6, {0.9f, 0.1f});          // layer 2: A | B 2
        Row(e, 7, {0.25f, 0.75f});        // layer 2: A | B 3
        Row(e, 8, {0.2f, 0.3f, 0.5f});    // layer 2: B
        e.CPTIndex.ReDim(vb::To(2), vb::To(4));
        e.CPTIndex(1, 2) = 1;
        e.CPTIndex(1, 3) = 2;
        e.CPTIndex(1, 4) = 4;
        e.CPTIndex(2, 2) = 4;
        e.CPTIndex(2, 3) = 7;
        e.CPTIndex(2, 4) = 8;
        e.Parents.ReDim(vb::To(2), vb::To(3), vb::To(3));
        e.Parents(1, 3, 0) = 1;
        e.Parents(1, 3, 1) = 2;
        e.Parents(2, 2, 0) = 1;
        e.Parents(2, 2, 1) = 3;
    }
};

TEST_F(MultiNet, TheFeatureSubsetOutsideTheSearchEveryFieldInIt) {
    auto c = Case({0, 0, 2, 3});  // A = 2, B = 3
    EXPECT_EQ(e.ClsfyInst(c), 1);
    EXPECT_EQ(e.Posterior(1), 0.55f * 0.7f);
    EXPECT_EQ(e.Posterior(2), 0.45f * 0.75f);

    e.HoldOutSearch = true;  // not fixed: B takes part too
    EXPECT_EQ(e.InferenceMN(c), 2);
    EXPECT_EQ(e.Posterior(1), 0.55f * 0.7f * 0.1f);
    EXPECT_EQ(e.Posterior(2), 0.45f * 0.75f * 0.5f);

    e.SubsetFixed = true;
    EXPECT_EQ(e.InferenceMN(c), 1);
    EXPECT_EQ(e.Posterior(1), 0.55f * 0.7f);
}

}  // namespace
