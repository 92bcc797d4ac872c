// The test network sampler: its checks, its determinism, and rows that follow the tables.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <stdexcept>

#include "tests/support/temp_paths.h"
#include "platform/db/database.h"
#include "tests/support/network_sampler.h"

namespace {

using testsupport::Network;

TEST(NetworkSampler, RejectsMalformedNodes) {
    Network net;
    const int a = net.AddNode("A", {"Y", "N"}, {}, {{0.3, 0.7}});
    EXPECT_THROW(net.AddNode("B", {"Y", "N"}, {a}, {{0.5, 0.5}}), std::invalid_argument);  // 2 rows needed
    EXPECT_THROW(net.AddNode("B", {"Y", "N"}, {5}), std::invalid_argument);               // no such parent
    EXPECT_THROW(net.AddNode("B", {"Y", "N"}, {}, {{0.5, 0.6}}), std::invalid_argument);  // sum 1.1
    EXPECT_THROW(net.AddNode("B", {"x", "2"}, {}, {}, true), std::invalid_argument);      // not numeric
    EXPECT_EQ(net.AddNode("B", {"1", "2.5"}, {a}, {}, true), 1);
    EXPECT_TRUE(net.HasArc(a, 1));
    EXPECT_EQ(net.ParentConfigurations(1), 2);
}

TEST(NetworkSampler, RowsFollowTheTablesAndRepeat) {
    Network net;
    const int rain = net.AddNode("Rain", {"YES", "NO"}, {}, {{0.3, 0.7}});
    const int wet = net.AddNode("Wet", {"YES", "NO"}, {rain}, {{0.9, 0.1}, {0.2, 0.8}});
    const auto cases = testsupport::DrawCases(net, 20000, 5);
    double rainy = 0, wetWhenRain = 0, wetWhenDry = 0;
    for (const auto& c : cases) {
        rainy += c[size_t(rain)] == 0;
        (c[size_t(rain)] == 0 ? wetWhenRain : wetWhenDry) += c[size_t(wet)] == 0;
    }
    EXPECT_NEAR(rainy / 20000, 0.3, 0.015);
    EXPECT_NEAR(wetWhenRain / rainy, 0.9, 0.015);
    EXPECT_NEAR(wetWhenDry / (20000 - rainy), 0.2, 0.015);
    EXPECT_EQ(cases, testsupport::DrawCases(net, 20000, 5));
    EXPECT_NE(cases, testsupport::DrawCases(net, 20000, 6));
}

// A continuous node: one range per state, a Double within the drawn state's range, the same
// cases drawn as without ranges.
TEST(NetworkSampler, ContinuousNodesDrawWithinTheirStatesRange) {
    Network net;
    const int c = net.AddNode("C", {"A", "B"}, {}, {{0.5, 0.5}});
    const int x = net.AddNode("X", {"LO", "HI"}, {c}, {{0.9, 0.1}, {0.1, 0.9}});
    EXPECT_THROW(net.SetRanges(x, {{0, 1}}), std::invalid_argument);
    net.SetRanges(x, {{0, 10}, {10, 20}});
    testsupport::TableOptions opt;
    opt.holdOut = false;
    const auto table = testsupport::SampleTable(net, 500, opt);
    const auto cases = testsupport::DrawCases(net, 500, opt.seed);
    for (size_t r = 0; r < cases.size(); ++r) {
        const db::Value& v = table.cells[r][1];
        ASSERT_EQ(v.kind(), db::Value::Kind::Double);
        const double lo = cases[r][size_t(x)] == 0 ? 0 : 10;
        EXPECT_GE(v.AsDoubleValue(), lo);
        EXPECT_LT(v.AsDoubleValue(), lo + 10);
    }
    EXPECT_EQ(testsupport::JetColumnType(table, 1), "DOUBLE");
}

TEST(NetworkSampler, TableLayoutWeightsAndHoldOut) {
    const Network net = testsupport::RandomNetwork({5, 2, 3, 2, 0.6, 0.7}, 3);
    EXPECT_EQ(net.size(), 5);
    testsupport::TableOptions opt;
    opt.classNode = 3;
    opt.nullRate = 0.1;
    const auto plain = testsupport::SampleTable(net, 3000, opt);
    EXPECT_EQ(plain.columns.front(), net.node(3).name);
    EXPECT_EQ(plain.columns.back(), "ZORV_HoldOut");
    EXPECT_EQ(plain.cells.size(), 3000u);
    int holdOut = 0, nulls = 0, classNulls = 0;
    for (size_t r = 0; r < plain.cells.size(); ++r) {
        holdOut += plain.IsHoldOut(r);
        classNulls += plain.cells[r][0].IsNull();
        for (size_t c = 1; c + 1 < plain.columns.size(); ++c) nulls += plain.cells[r][c].IsNull();
    }
    EXPECT_NEAR(holdOut / 3000.0, 1.0 / 3, 0.03);
    EXPECT_NEAR(nulls / (3000.0 * 4), 0.1, 0.02);
    EXPECT_EQ(classNulls, 0);

    // With a weight column equal rows are merged; the weights add up to the cases drawn.
    opt.weightField = "Freq";
    const auto weighted = testsupport::SampleTable(net, 3000, opt);
    EXPECT_LT(weighted.cells.size(), 3000u);
    long sum = 0;
    for (size_t r = 0; r < weighted.cells.size(); ++r) sum += weighted.Weight(r);
    EXPECT_EQ(sum, 3000);
}


// Both ways into a database give the same table as the layer reads it.
TEST(NetworkSampler, WritesThroughTheLayerAndStraightToSqlite) {
    Network net;
    const int a = net.AddNode("A", {"1", "2"}, {}, {}, true);
    net.AddNode("Unit Price", {"lo", "hi"}, {a}, {{0.8, 0.2}, {0.3, 0.7}});
    testsupport::TableOptions opt;
    opt.weightField = "Freq";
    opt.nullRate = 0.1;
    const auto table = testsupport::SampleTable(net, 200, opt);
    const std::string dir = testsupport::ProcessTempDir();
    std::filesystem::remove(dir + "/sampler_layer.db");  // creating never replaces a file
    auto viaLayer = db::DBEngine::CreateDatabase(dir + "/sampler_layer.db");
    testsupport::WriteTable(*viaLayer, table);
    auto direct = testsupport::WriteSqliteTable(dir + "/sampler_direct.db", table);
    const std::string sql =
        "select  Sum([Freq]) , A,[Unit Price], ZORV_HoldOut from [Sample] group by A,[Unit Price],ZORV_HoldOut";
    auto read = [&](db::Database& d) {
        auto rs = d.OpenRecordset(sql, db::dbOpenForwardOnly);
        auto block = rs->GetRows(1000);
        rs->Close();
        return block;
    };
    const auto one = read(*viaLayer), two = read(*direct);
    EXPECT_EQ(one, two);
    EXPECT_EQ(viaLayer->TableDefs("Sample").FieldByName("ZORV_HoldOut").Type, db::dbBoolean);
    EXPECT_EQ(direct->TableDefs("Sample").FieldByName("ZORV_HoldOut").Type, db::dbBoolean);
    EXPECT_EQ(direct->TableDefs("Sample").FieldByName("A").Type, db::dbLong);
    long sum = 0;
    for (int r = 0; r <= two.UBound(2); ++r) sum += long(two(0, r).ToDouble());
    EXPECT_EQ(sum, 200);
}

}  // namespace
