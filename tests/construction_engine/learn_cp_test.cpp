// LearnCP's tables: the parents read from either cell of the link matrix, the numbering of
// parent configurations with several parents, the count query of a node, the counts kept for
// a later call, progress, and a table that changed since Init. The estimator's own rule is
// tested with the shared estimator; the values here are the ones LearnCP hands it.
#include <gtest/gtest.h>

#include "construction_engine/data_set.h"
#include "construction_engine/errors.h"
#include "tests/construction_engine/export_fixture.h"
#include "tests/support/net_parsers.h"

namespace {

using namespace vrelltest;
using testsupport::Result;
using vrellapi::DataSet;

// Fields P1 (2 states), N (2), P2 (3), P3 (2), weighted by the frequency field W. N's parents
// come from three kinds of cell: P1 -> N as code 1 above the diagonal, P2 -> N as code 1 below
// it, P3 -> N as code 2 in N's own row; P1-P2 (code 3) and P3-P1 (code 4) make no parent.
TEST(LearnCP, ConfigurationsOfSeveralParents) {
    ScriptedTable t;
    t.total = 8.0;
    t.rows = 8;
    t.values["P1"] = {"A1", "A2"};
    t.values["N"] = {"Y", "N"};
    t.values["P2"] = {"B1", "B2", "B3"};
    t.values["P3"] = {"C1", "C2"};
    auto rdb = t.Database();
    // Every state of every field weighs 2 in the counting pass.
    rdb->AnswerWith([t](const std::string& sql) -> std::optional<Result> {
        const std::string head = "select  Sum([W]) , ";
        if (sql.rfind(head, 0) != 0 || sql.back() != ';') return std::nullopt;
        const std::string field = sql.substr(head.size(), sql.find(" from ") - head.size());
        Result r{{"n", field}, {}};
        for (const db::Value& v : t.values.at(field)) r.rows.push_back({2.0, v});
        return r;
    });
    const std::string nodeQuery = "select  Sum([W]) , P1, P2, P3,N from [T] group by P1, P2, P3,N";
    // (A2, B3, C1) is configuration 1 + 1 x 6 + 2 x 2 + 0 = 11; a group whose weights are all
    // Null counts nothing, so (A1, B1, C1) stays empty.
    rdb->Answer(nodeQuery, Result{{"n", "P1", "P2", "P3", "N"},
                                  {{4.0, "A2", "B3", "C1", "Y"}, {db::Value::Null(), "A1", "B1", "C1", "N"}}});
    InitArgs args({"P1", "N", "P2", "P3"});
    args.cntfld = "W";
    DataSet d;
    args.Run(d, rdb);
    FixClock(d);
    rdb->ClearLog();

    vb::Array<Integer> graf(vb::To(3), vb::To(3));
    graf(0, 1) = 1;
    graf(2, 1) = 1;
    graf(1, 3) = 2;
    graf(0, 2) = 3;
    graf(3, 0) = 4;
    std::string tmpF = ExportPath("configurations.bif");
    d.LearnCP(graf, tmpF);
    EXPECT_EQ(rdb->Texts().back(), nodeQuery);
    EXPECT_EQ(rdb->Queries().back().getRows, std::vector<int32_t>{12 * 2 + 1});

    const testsupport::ParsedNet net = testsupport::ParseBif(ReadFile(tmpF));
    EXPECT_EQ(net.node("N").parents, (std::vector<std::string>{"P1", "P2", "P3"}));
    for (const char* root : {"P1", "P2", "P3"}) EXPECT_TRUE(net.node(root).parents.empty()) << root;
    const std::vector<double>& p = net.node("N").probs;
    ASSERT_EQ(p.size(), 24u);
    for (size_t c = 0; c < 12; ++c) {
        EXPECT_NEAR(p[2 * c], c == 10 ? (4 + 2.5) / 9 : 0.5, 1e-7) << c + 1;
        EXPECT_NEAR(p[2 * c + 1], c == 10 ? 2.5 / 9 : 0.5, 1e-7) << c + 1;
    }
    // Roots over the table's total of weights: (2 + 5/3) / (8 + 5) for each of P2's states.
    EXPECT_EQ(net.node("P2").probs, (std::vector<double>{.2820513, .2820513, .4358974}));
}

// The counting pass runs once per field and object; every call reports 5 % over it and 95 %
// over the nodes, starting again from 0.
TEST(LearnCP, CountsKeptProgressPerCall) {
    SmallNetwork n;
    DataSet d;
    n.Init(d);
    n.Export(d, ExportPath("progress1.net"));
    EXPECT_EQ(n.rdb->CountQueries(), 6);
    for (int call = 1; call <= 2; ++call) {
        ASSERT_EQ(n.sink.seen.size(), 12u) << call;
        for (int i = 0; i < 6; ++i) {
            EXPECT_NEAR(n.sink.seen[size_t(i)], 5.0 * (i + 1) / 6, 1e-4) << call << " " << i;
            EXPECT_NEAR(n.sink.seen[size_t(6 + i)], 5 + 95.0 * (i + 1) / 6, 1e-4) << call << " " << i;
        }
        n.rdb->ClearLog();
        n.sink.seen.clear();
        if (call == 1) {
            n.Export(d, ExportPath("progress2.net"));
            EXPECT_EQ(n.rdb->Texts(), std::vector<std::string>{SmallNetwork::kCountC});
        }
    }
}

// A value the table did not hold when Init read it cannot be coded to a state: the export
// stops with an error naming the field, and the target is untouched.
TEST(LearnCP, TableChangedSinceInit) {
    struct Case {
        const char* query;
        Result answer;
        const char* field;
    };
    const Case cases[] = {
        {SmallNetwork::kCountA, Result{{"n", "A"}, {{3, "YES"}, {7, "MAYBE"}}}, "A"},
        {SmallNetwork::kCountA, Result{{"n", "A"}, {{3, "YES"}, {6, "NO"}, {1, db::Value::Null()}}}, "A"},
        {SmallNetwork::kCountC, Result{{"n", "A", "P", "C"}, {{10, "YES", "LOW", "C9"}}}, "C"},
    };
    for (const Case& c : cases) {
        SmallNetwork n;
        n.rdb->Answer(c.query, c.answer);
        DataSet d;
        n.Init(d);
        const std::string path = ExportPath("changed.dne");
        WriteFile(path, "old");
        std::string tmpF = path;
        try {
            d.LearnCP(n.graf, tmpF);
            ADD_FAILURE() << c.field << ": no error";
        } catch (const com::Error& e) {
            EXPECT_EQ(e.number(), com::objectError(530));
            EXPECT_NE(e.description().find(std::string("field ") + c.field + " "), std::string::npos) << e.description();
        }
        EXPECT_EQ(ReadFile(path), "old");
    }
}

}  // namespace
