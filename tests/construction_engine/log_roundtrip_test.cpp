// The construction log between two runs on one table: a run that reads the log of an earlier
// run sends no query for what the log holds and learns the same network, also when it selects
// the fields in another order.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "construction_engine/data_set.h"
#include "tests/support/temp_paths.h"
#include "tests/construction_engine/sampled_fixture.h"

namespace {

using namespace vrelltest;
using testsupport::Network;
using vrellapi::DataSet;

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// A -> C <- B, C -> D -> E: a collider and a chain below it.
Network FiveNodes() {
    const std::vector<std::string> yn = {"YES", "NO"};
    const std::vector<std::vector<double>> copy = {{0.85, 0.15}, {0.15, 0.85}};
    Network n;
    int a = n.AddNode("A", yn);
    int b = n.AddNode("B", yn, {}, {{0.4, 0.6}});
    int c = n.AddNode("C", yn, {a, b}, {{0.95, 0.05}, {0.8, 0.2}, {0.8, 0.2}, {0.05, 0.95}});
    int d = n.AddNode("D", {"LOW", "MID", "HIGH"}, {c}, {{0.7, 0.2, 0.1}, {0.1, 0.2, 0.7}});
    n.AddNode("E", yn, {d}, {{0.9, 0.1}, {0.5, 0.5}, {0.1, 0.9}});
    return n;
}

std::shared_ptr<testsupport::RecordingDatabase> Reopen(const std::string& name) {
    return std::make_shared<testsupport::RecordingDatabase>(db::DBEngine::OpenDatabase(SampleFile(name)));
}

TEST(LogRoundTrip, SecondRunCountsNothingTheLogHolds) {
    const std::string first = testsupport::ProcessTempDir() + "vrell_rt_first.log";
    const std::string second = testsupport::ProcessTempDir() + "vrell_rt_second.log";
    auto rdb = SampledDatabase(FiveNodes(), 5000, "roundtrip");
    InitArgs a(NodeNames(FiveNodes()));
    a.logo = first;
    DataSet d1;
    const vb::Array<Integer> rst1 = Learn(d1, a, rdb);
    EXPECT_GT(rdb->CountQueries(), 0);

    auto rdb2 = Reopen("roundtrip");
    InitArgs b(NodeNames(FiveNodes()));
    b.table = "Sample";
    b.logi = first;
    b.logo = second;
    DataSet d2;
    b.Run(d2, rdb2);
    // Total and labels come from the log; the table is only checked against them.
    EXPECT_EQ(rdb2->CountQueries(), 0);
    const int checks = rdb2->QueryCount();
    vb::Array<Integer> rst2(vb::To(4), vb::To(4));
    Single perc = 1;
    bool bpres = false;
    d2.Construct(perc, bpres, rst2);
    EXPECT_EQ(rdb2->QueryCount(), checks) << "mutual information and the tested sets come from the log";
    EXPECT_EQ(rst2, rst1);
    EXPECT_EQ(ReadFile(second), ReadFile(first));
    // The network itself: the collider at C is found, the chain below it hangs from C.
    EXPECT_TRUE(IsParent(rst1, 1, 3));
    EXPECT_TRUE(IsParent(rst1, 2, 3));
    EXPECT_NE(Code(rst1, 3, 4), 0);
    EXPECT_NE(Code(rst1, 4, 5), 0);
}

// A log written before the table changed would give another result: Init refuses it, naming
// the log and what differs.
TEST(LogRoundTrip, ALogOfAChangedTableIsRefused) {
    const std::string log = testsupport::ProcessTempDir() + "vrell_rt_stale.log";
    InitArgs a(NodeNames(FiveNodes()));
    a.logo = log;
    DataSet d1;
    Learn(d1, a, SampledDatabase(FiveNodes(), 500, "stale"));
    const std::pair<const char*, const char*> changes[] = {
        {"DELETE FROM Sample WHERE A = \"YES\" AND B = \"YES\"", "the table counts"},
        {"UPDATE Sample SET D = \"VERY HIGH\" WHERE D = \"HIGH\" AND E = \"NO\"", "holds the value VERY HIGH"},
    };
    for (const auto& [change, said] : changes) {
        SampledDatabase(FiveNodes(), 500, "stale");
        auto changed = Reopen("stale");
        changed->Execute(change);
        InitArgs b(NodeNames(FiveNodes()));
        b.table = "Sample";
        b.logi = log;
        DataSet d2;
        try {
            b.Run(d2, changed);
            ADD_FAILURE() << change << ": the log was used";
        } catch (const com::Error& e) {
            EXPECT_EQ(e.number(), com::objectError(548)) << change;
            EXPECT_NE(e.description().find(log), std::string::npos) << e.description();
            EXPECT_NE(e.description().find(said), std::string::npos) << e.description();
        }
        EXPECT_FALSE(d2.InitDone);
    }
}

TEST(LogRoundTrip, AnotherFieldOrderReadsTheSameStatistics) {
    const std::string first = testsupport::ProcessTempDir() + "vrell_rt_order.log";
    InitArgs a(NodeNames(FiveNodes()));
    a.logo = first;
    DataSet d1;
    const vb::Array<Integer> rst1 = Learn(d1, a, SampledDatabase(FiveNodes(), 5000, "order"));

    // The second run lists the fields as E, D, C, B, A.
    const std::vector<std::string> reversed = {"E", "D", "C", "B", "A"};
    auto rdb2 = Reopen("order");
    InitArgs b(reversed);
    b.logi = first;
    DataSet d2;
    const vb::Array<Integer> rst2 = Learn(d2, b, rdb2);
    EXPECT_EQ(rdb2->CountQueries(), 0) << "every pair's mutual information came from the log";
    auto in2 = [](Integer f) { return Integer(6 - f); };  // field f of run 1 in run 2
    for (Integer i = 1; i <= 5; ++i) {
        EXPECT_EQ(d2.NumStates(in2(i)), d1.NumStates(i));
        for (Integer j = 1; j <= 5; ++j) {
            if (i != j) {
                EXPECT_EQ(Code(rst2, in2(i), in2(j)) != 0, Code(rst1, i, j) != 0) << i << "-" << j;
            }
        }
    }
    // The collider's votes do not depend on the order; the propagation below it visits the
    // fields in their order and may stop short of the chain, so only the collider is compared.
    EXPECT_TRUE(IsParent(rst2, in2(1), in2(3)));
    EXPECT_TRUE(IsParent(rst2, in2(2), in2(3)));
}

}  // namespace
