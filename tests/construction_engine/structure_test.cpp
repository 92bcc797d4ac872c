// Construct on tables drawn from known networks: the skeleton and collider orientation of
// three-node networks, forbidden and required links on data, the search under a complete
// ordering, and the recovery of a generated network of twenty nodes.
#include <gtest/gtest.h>

#include <set>

#include "construction_engine/data_set.h"
#include "tests/construction_engine/sampled_fixture.h"

namespace {

using namespace vrelltest;
using testsupport::Network;
using vrellapi::DataSet;

// Strong binary dependencies: a child copies its parent's state 85 % of the time.
const std::vector<std::vector<double>> kCopy = {{0.85, 0.15}, {0.15, 0.85}};
const std::vector<std::string> kYesNo = {"YES", "NO"};

Network Chain() {  // A -> B -> C
    Network n;
    int a = n.AddNode("A", kYesNo);
    int b = n.AddNode("B", kYesNo, {a}, kCopy);
    n.AddNode("C", kYesNo, {b}, kCopy);
    return n;
}

Network Fork() {  // A <- B -> C, B drawn first
    Network n;
    int b = n.AddNode("B", kYesNo);
    n.AddNode("A", kYesNo, {b}, kCopy);
    n.AddNode("C", kYesNo, {b}, kCopy);
    return n;
}

Network Collider() {  // A -> C <- B: C is mostly YES when A or B is YES
    Network n;
    int a = n.AddNode("A", kYesNo);
    int b = n.AddNode("B", kYesNo);
    n.AddNode("C", kYesNo, {a, b}, {{0.95, 0.05}, {0.8, 0.2}, {0.8, 0.2}, {0.05, 0.95}});
    return n;
}

TEST(ConstructOnData, SkeletonAndColliderOfThreeNodes) {
    struct Case {
        const char* what;
        Network net;
        Integer ab, ac, bc;  // codes of the pairs in field order A, B, C
    };
    // Chain and fork have no collider: their two links stay unoriented. The collider's links
    // both point into C.
    const Case cases[] = {
        {"chain", Chain(), 3, 0, 3},
        {"fork", Fork(), 3, 0, 3},
        {"collider", Collider(), 0, 1, 1},
    };
    for (const Case& c : cases) {
        InitArgs a({"A", "B", "C"});
        DataSet d;
        const vb::Array<Integer> rst = Learn(d, a, SampledDatabase(c.net, 5000, c.what));
        EXPECT_EQ(Code(rst, 1, 2), c.ab) << c.what;
        EXPECT_EQ(Code(rst, 1, 3), c.ac) << c.what;
        EXPECT_EQ(Code(rst, 2, 3), c.bc) << c.what;
    }
}

TEST(ConstructOnData, ForbiddenAndRequiredLinks) {
    {
        // The chain's strongest link is forbidden: it never appears, the rest is learned.
        InitArgs a({"A", "B", "C"});
        a.fl(1, 0) = 1;  // given in the lower triangle only
        DataSet d;
        const vb::Array<Integer> rst = Learn(d, a, SampledDatabase(Chain(), 5000, "chain_fl"));
        EXPECT_EQ(Code(rst, 1, 2), 0);
        EXPECT_NE(Code(rst, 2, 3), 0);
    }
    {
        // The collider's parents are independent; a required link between them stays with
        // bpres and keeps its direction, and C stays the collider.
        InitArgs a({"A", "B", "C"});
        a.ce(1, 0) = 1;  // B -> A
        DataSet d;
        const vb::Array<Integer> rst =
            Learn(d, a, SampledDatabase(Collider(), 5000, "collider_ce"), 1, /*bpres=*/true);
        EXPECT_EQ(Code(rst, 1, 2), 2) << "B is a parent of A";
        EXPECT_TRUE(IsParent(rst, 1, 3));
        EXPECT_TRUE(IsParent(rst, 2, 3));
    }
}

TEST(ConstructOnData, CompleteOrdering) {
    struct Case {
        const char* what;
        Network net;
        std::vector<std::string> order;  // the complete ordering, first field first
        bool requireFirstPair;           // ce(0, 1) with bpres
        Integer ab, ac, bc;              // codes of the pairs in that order
    };
    // Every link points from the earlier field to the later one; the collider's parents stay
    // apart unless a required link joins them.
    const Case cases[] = {
        {"chain", Chain(), {"A", "B", "C"}, false, 1, 0, 1},
        {"fork", Fork(), {"B", "A", "C"}, false, 1, 1, 0},
        {"collider", Collider(), {"A", "B", "C"}, false, 0, 1, 1},
        {"collider with a required link", Collider(), {"A", "B", "C"}, true, 1, 1, 1},
    };
    for (const Case& c : cases) {
        InitArgs a(c.order);
        a.bord = true;
        if (c.requireFirstPair) a.ce(0, 1) = 1;
        DataSet d;
        const std::string file = std::string("ordered_") + c.what;
        const vb::Array<Integer> rst =
            Learn(d, a, SampledDatabase(c.net, 5000, file), 1, c.requireFirstPair);
        EXPECT_EQ(Code(rst, 1, 2), c.ab) << c.what;
        EXPECT_EQ(Code(rst, 1, 3), c.ac) << c.what;
        EXPECT_EQ(Code(rst, 2, 3), c.bc) << c.what;
    }
}

TEST(ConstructOnData, RecoversAGeneratedNetwork) {
    testsupport::RandomNetworkOptions opt;
    opt.nodes = 20;
    opt.maxStates = 3;
    opt.maxParents = 2;
    opt.arcProbability = 0.12;
    opt.strength = 0.7;
    const Network net = testsupport::RandomNetwork(opt, 2024);
    const auto arcs = net.Arcs();
    std::set<std::pair<int, int>> truth;
    for (auto [p, c] : arcs) truth.insert({std::min(p, c) + 1, std::max(p, c) + 1});

    // Without an ordering, and with the node order, which is a complete ordering of the network.
    for (bool bord : {false, true}) {
        InitArgs a(NodeNames(net));
        a.bord = bord;
        DataSet d;
        const vb::Array<Integer> rst = Learn(d, a, SampledDatabase(net, 10000, "random20", 7));
        int missing = 0, extra = 0, reversed = 0, unoriented = 0, bothWays = 0;
        for (auto [p, c] : arcs) {
            const Integer code = Code(rst, Integer(p + 1), Integer(c + 1));
            if (code == 0) ++missing;
            else if (IsParent(rst, Integer(c + 1), Integer(p + 1))) ++reversed;
            else if (code == 3) ++unoriented;
            else if (code == 4) ++bothWays;
        }
        for (Integer i = 1; i < 20; ++i)
            for (Integer j = i + 1; j <= 20; ++j)
                if (Code(rst, i, j) != 0 && !truth.count({i, j})) ++extra;
        std::cout << "20-node network, " << arcs.size() << " arcs, "
                  << (bord ? "complete ordering" : "no ordering") << ": missing " << missing
                  << ", extra " << extra << ", reversed " << reversed << ", unoriented "
                  << unoriented << ", both ways " << bothWays << "\n";
        EXPECT_LE(missing, int(arcs.size()) / 4) << bord;
        EXPECT_LE(extra, 3) << bord;
        EXPECT_LE(reversed, int(arcs.size()) / 3) << bord;
        if (bord) {
            EXPECT_EQ(reversed + unoriented + bothWays, 0);
        }
    }
}

}  // namespace
