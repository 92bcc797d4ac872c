// The cost table and graph exchange with the host.
#include <gtest/gtest.h>

#include "classifier_engine/data_engine.h"

namespace {

using vb::Integer;
using vb::Single;

// An engine with numfld fields whose class field has nc values.
void Shape(zorvapi::DataEngine& e, Integer numfld, Integer nc) {
    e.numfld = numfld;
    e.nc = nc;
    e.FF.ReDim(vb::To(numfld));
    e.FF(1) = nc;
}

vb::Array<Single> Table(Integer nc, Single offDiagonal, Single diagonal = 0) {
    vb::Array<Single> t(vb::To(nc), vb::To(nc));
    for (Integer i = 1; i <= nc; ++i)
        for (Integer j = 1; j <= nc; ++j) t(i, j) = i == j ? diagonal : offDiagonal;
    return t;
}

TEST(CostTable, OneCostEverywhereIsTheDefaultTable) {
    zorvapi::DataEngine e;
    Shape(e, 3, 3);
    auto in = Table(3, 2.5f, 7.0f);
    e.PutCostTable(in);
    EXPECT_TRUE(e.DefaultCost);
    EXPECT_TRUE(e.CostTablePut);
    vb::Array<Single> out;
    e.GetCostTable(out);
    EXPECT_EQ(out, Table(3, 1.0f));
    EXPECT_TRUE(e.DefaultCost);  // reading it does not change the flag
}

TEST(CostTable, AUserTableComesBackAsPutWithAZeroDiagonal) {
    zorvapi::DataEngine e;
    Shape(e, 3, 3);
    auto in = Table(3, 1.0f, 9.0f);
    in(3, 1) = 4.0f;
    e.PutCostTable(in);
    EXPECT_FALSE(e.DefaultCost);
    vb::Array<Single> out;
    e.GetCostTable(out);
    auto expected = Table(3, 1.0f);
    expected(3, 1) = 4.0f;
    EXPECT_EQ(out, expected);
}

TEST(CostTable, SingleClassValueAndUndersizedTable) {
    zorvapi::DataEngine e;
    Shape(e, 3, 1);
    auto one = Table(1, 0);
    e.PutCostTable(one);
    EXPECT_TRUE(e.DefaultCost);

    Shape(e, 3, 3);
    auto small = Table(2, 1.0f);
    try {
        e.PutCostTable(small);
        FAIL() << "no error";
    } catch (const vb::RuntimeError& err) {
        EXPECT_EQ(err.number(), 9);
    }
}

TEST(CostTable, AnEngineWithoutATableHandsOutTheDefault) {
    zorvapi::DataEngine e;
    Shape(e, 3, 2);
    vb::Array<Single> out;
    e.GetCostTable(out);
    EXPECT_EQ(out, Table(2, 1.0f));
}

TEST(Graph, MultiNetFeaturesAreTheEndsOfNonClassLinks) {
    zorvapi::DataEngine e;
    Shape(e, 5, 2);
    e.IsMultiNet_ = true;
    vb::Array<Integer> g(vb::To(2), vb::To(5), vb::To(5));
    g(2, 3, 5) = 1;   // layer 2 links fields 3 and 5
    g(1, 1, 4) = 1;   // a link of the class field marks nothing
    g(1, 2, 4) = -1;  // nor does a negative code
    g(0, 0, 0) = 1;
    g(2, 0, 0) = -1;
    e.PutGraph(g);
    vb::Array<Integer> expected(vb::To(5));
    expected(3) = expected(5) = 1;
    EXPECT_EQ(e.Feature, expected);

    vb::Array<Integer> back;
    e.GetGraph(back);
    EXPECT_EQ(back, g);  // marker cells included
}

TEST(Graph, ASingleNetLeavesTheSubsetToLearnCPT) {
    zorvapi::DataEngine e;
    Shape(e, 4, 2);
    vb::Array<Integer> g(vb::To(2), vb::To(4), vb::To(4));
    g(0, 2, 3) = 1;
    e.PutGraph(g);
    EXPECT_EQ(e.Feature, vb::Array<Integer>(vb::To(4)));
}

}  // namespace
