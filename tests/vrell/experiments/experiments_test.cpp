// The experiment procedures end to end: data-set tables in a SQLite file, true-model and result
// files in a temporary folder, a scripted engine for the scoring and the report, and the real
// engine on tables drawn from known networks.
#include "vrell/experiments/experiments.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <utility>
#include <vector>

#include "construction_engine/data_set.h"
#include "platform/com/object.h"
#include "platform/vb/runtime_error.h"
#include "tests/support/db_contract.h"
#include "tests/support/network_sampler.h"
#include "tests/vrell/experiments/experiment_texts.h"

namespace {

using vrell::Integer;
using vrelltest::TenNames;
using vrelltest::TetradLine;
using vrelltest::TrueModelText;

using Cells = std::map<std::pair<int, int>, Integer>;  // (a, b) -> code

// What one engine object was given.
struct EngineUse {
    std::string table;
    Integer numfld = 0;
    std::vector<std::string> names;
    std::string cntfld = "?";
    bool bord = false;
    bool knowledgeZero = false;
    std::string logi = "?", logo = "?";
    vb::Single perc = 0;
    bool bpres = true;
    int constructs = 0;
};

bool AllZero(const vb::Array<Integer>& a) {
    for (const auto& c : a.cells())
        if (c != 0) return false;
    return true;
}

// Answers Construct with the cells scripted for the table Init was given; like the real engine
// it refuses a second Construct.
class ScriptedDataSet : public vrellapi::IDataSet {
public:
    ScriptedDataSet(const std::map<std::string, Cells>& scripts, EngineUse& use, bool failInit)
        : scripts_(scripts), use_(use), failInit_(failInit) {}

    void SetEventSink(vrellapi::DataSetEvents*) override {}
    void Init(std::shared_ptr<db::Database>& objdb, std::string& strtb, Integer& numfld,
              vb::Array<std::string>& arrfldnm, std::string& cntfld, bool& bord, vb::Array<Integer>& po,
              vb::Array<Integer>& ce, vb::Array<Integer>& fl, vb::Array<Integer>& rt, vb::Array<Integer>& lf,
              std::string& logi, std::string& logo) override {
        EXPECT_NE(objdb, nullptr);
        use_.table = strtb;
        use_.numfld = numfld;
        for (int i = 0; i < numfld; ++i) use_.names.push_back(arrfldnm(i));
        use_.cntfld = cntfld;
        use_.bord = bord;
        use_.knowledgeZero = po.UBound(1) >= numfld - 1 && po.UBound(2) >= numfld - 1 && rt.UBound() >= numfld - 1 &&
                             AllZero(po) && AllZero(ce) && AllZero(fl) && AllZero(rt) && AllZero(lf);
        use_.logi = logi;
        use_.logo = logo;
        if (failInit_) throw com::Error(com::objectError(514), "DataSet Object", "Invalid field name");
    }
    void Construct(vrellapi::Single& Perc, bool& bpres, vb::Array<Integer>& rst) override {
        if (++use_.constructs > 1) throw com::Error(com::objectError(522), "DataSet Object", "Construct twice");
        use_.perc = Perc;
        use_.bpres = bpres;
        auto it = scripts_.find(use_.table);
        if (it == scripts_.end()) return;
        for (const auto& [cell, code] : it->second) rst(cell.first, cell.second) = code;
    }
    void LearnCP(vb::Array<Integer>&, std::string&) override { ADD_FAILURE() << "LearnCP"; }
    void MarkovFS() override { ADD_FAILURE() << "MarkovFS"; }
    void QuickSort2(Integer&, Integer&) override { ADD_FAILURE() << "QuickSort2"; }

private:
    const std::map<std::string, Cells>& scripts_;
    EngineUse& use_;
    bool failInit_;
};

class Experiments : public ::testing::Test {
protected:
    // A database holding these (empty) tables.
    std::shared_ptr<db::Database> Database(const std::vector<std::string>& tables) {
        std::vector<testsupport::TableSpec> defined;
        for (const std::string& t : tables) defined.push_back({t, {{"A0", db::dbText, 10}}, {}});
        const std::string file = dir.Path("sets" + std::to_string(++databases) + ".db");
        if (defined.empty()) return db::DBEngine::CreateDatabase(file);
        testsupport::CreateSqliteFile(file, defined);
        return db::DBEngine::OpenDatabase(file);
    }
    // The true model of a table over A0..A9: parents[c] names field c's parents.
    void TrueModel(const std::string& table, const std::vector<std::vector<std::string>>& parents) {
        testsupport::WriteFile(dir.Path(table + ".dat"), TrueModelText(TenNames(), parents));
    }
    vrell::DataSetFactory Factory() {
        return [this]() -> std::shared_ptr<vrellapi::IDataSet> {
            if (noObject) return nullptr;
            uses.push_back(std::make_unique<EngineUse>());
            return std::make_shared<ScriptedDataSet>(scripts, *uses.back(), failInit);
        };
    }
    vrell::ExperimentFiles RunAIExp(std::shared_ptr<db::Database> database, bool ordered = false) {
        return vrell::AIExp(std::move(database), Factory(), folders, ordered, [] { return std::string("12:00:00"); });
    }
    std::string Report() const { return testsupport::ReadFile(dir.Path("AIExp0.3.txt")); }
    std::string Summary() const { return testsupport::ReadFile(dir.Path("AIExpSummary.txt")); }

    testsupport::TempDir dir;
    vrell::ExperimentFolders folders{dir.path(), dir.path(), dir.path()};
    std::map<std::string, Cells> scripts;
    std::vector<std::unique_ptr<EngineUse>> uses;
    bool noObject = false, failInit = false;
    int databases = 0;
};

TEST_F(Experiments, ScoresALearnedModelAgainstItsTrueModel) {
    // True: A0 -> A1, A1 -> A2, A0 -> A3. Learned: A0 -> A1 right, A1 <- A2 reversed, and two
    // edges on pairs that are no true edge. Tables not beginning "AD" are no data sets.
    TrueModel("AD1005a", {{}, {"A0"}, {"A1"}, {"A0"}});
    scripts["AD1005a"] = {{{0, 1}, 1}, {{1, 2}, 2}, {{2, 4}, 3}, {{5, 6}, 4}};
    const vrell::ExperimentFiles files = RunAIExp(Database({"Other", "AD1005a", "xAD"}), /*ordered=*/true);

    EXPECT_EQ(files.report, dir.Path("AIExp0.3.txt"));
    EXPECT_EQ(files.summary, dir.Path("AIExpSummary.txt"));
    EXPECT_EQ(Report(),
              "AD1005a\r\n"
              "True Model: (Edges 3)\r\n"
              "A0 -> A1     A0 -> A3     A1 -> A2     \r\n"
              "Start time:12:00:00\r\n"
              "End time:12:00:00\r\n"
              "Learned Model:\r\n"
              "A0 -> A1     A1 <- A2     A2 -- A4     A5 <> A6     \r\n"
              "ME:0.333333333333333   EE:0.666666666666667     MA:0   WA:0.333333333333333\r\n"
              "\r\n"
              "\r\n"
              "\r\n"
              "0.01111111\t0.005555556\t0\t0.005555556\r\n");
    EXPECT_EQ(Summary(), "1\t00\t5\t1\t2\t0\t1\r\n");

    ASSERT_EQ(uses.size(), 1u);
    const EngineUse& u = *uses[0];
    EXPECT_EQ(u.table, "AD1005a");
    EXPECT_EQ(u.numfld, 10);
    EXPECT_EQ(u.names, TenNames());
    EXPECT_EQ(u.cntfld, "");
    EXPECT_TRUE(u.bord);
    EXPECT_TRUE(u.knowledgeZero);
    EXPECT_EQ(u.logi, "");
    EXPECT_EQ(u.logo, "");
    EXPECT_EQ(u.perc, 0.3f);
    EXPECT_FALSE(u.bpres);
    EXPECT_EQ(u.constructs, 1);
}

TEST_F(Experiments, CountsByCodeAndPair) {
    vrell::TrueModel truth;
    truth.names.ReDim(vb::To(10));
    truth.parent.ReDim(vb::To(10), vb::To(10));
    truth.parent(0, 1) = 1;
    truth.edges = 1;
    struct Case {
        int a, b;
        Integer code;
        vrell::EdgeCounts expected;  // E, L, C, U, R
    };
    const Case cases[] = {
        {0, 1, 1, {1, 1, 1, 0, 0}}, {0, 1, 2, {1, 1, 1, 0, 1}}, {0, 1, 3, {1, 1, 1, 1, 0}},
        {0, 1, 4, {1, 1, 1, 0, 0}},  // both directions: learned and correct only
        {0, 2, 2, {1, 1, 0, 0, 0}}, {0, 2, 3, {1, 1, 0, 0, 0}}, {0, 1, -1, {1, 0, 0, 0, 0}},
        {1, 0, 1, {1, 0, 0, 0, 0}},  // below the diagonal: not a result cell
    };
    for (const Case& c : cases) {
        vb::Array<Integer> rst(vb::To(10), vb::To(10));
        rst(c.a, c.b) = c.code;
        EXPECT_EQ(vrell::Score(truth, rst), c.expected) << c.a << "," << c.b << " code " << c.code;
    }
}

TEST_F(Experiments, DatabaseWithoutDataSetsGivesZeroAverages) {
    const vrell::ExperimentFiles files = RunAIExp(Database({"Other", "Ad100"}));
    EXPECT_EQ(Report(), "\r\n0\t0\t0\t0\r\n");
    EXPECT_EQ(Summary(), "");
    EXPECT_TRUE(uses.empty());

    const vrell::ExperimentFiles tetrad = vrell::TetradRst(*Database({}), folders);
    EXPECT_EQ(testsupport::ReadFile(tetrad.report), "\r\n0\t0\t0\t0\r\n");
    EXPECT_EQ(testsupport::ReadFile(tetrad.summary), "");
}

TEST_F(Experiments, DataSetWithoutTrueEdgeIsSkippedAndNamed) {
    TrueModel("AD1", {{}, {"A0"}});
    TrueModel("AD2", {{}, {"A5"}});  // a later parent only: no edge
    TrueModel("AD3", {{}, {}, {"A0"}});
    scripts["AD1"] = {{{0, 1}, 1}};
    const vrell::ExperimentFiles files = RunAIExp(Database({"AD1", "AD2", "AD3"}));

    const std::string report = Report();
    EXPECT_NE(report.find("\r\nAD2: skipped, its true model has no edge.\r\n\r\n\r\nAD3\r\n"), std::string::npos)
        << report;
    EXPECT_EQ(report.find("True Model: (Edges 0)"), std::string::npos);
    // AD1 is all right, AD3's edge is missed: ME sums to 1.
    EXPECT_TRUE(report.ends_with("\r\n\r\n0\t0.01666667\t0\t0\r\n")) << report;
    EXPECT_EQ(Summary(), "1\t\t\t0\t0\t0\t0\r\n3\t\t\t1\t0\t0\t0\r\n");
    // A new engine object for each data set learned, each constructing once.
    ASSERT_EQ(uses.size(), 2u);
    EXPECT_EQ(uses[0]->table, "AD1");
    EXPECT_EQ(uses[1]->table, "AD3");
    EXPECT_EQ(uses[1]->constructs, 1);
    EXPECT_FALSE(uses[0]->bord);
}

TEST_F(Experiments, ErrorsEndTheRunAndLeaveTheOldFiles) {
    testsupport::WriteFile(dir.Path("AIExp0.3.txt"), "old report");
    testsupport::WriteFile(dir.Path("AIExpSummary.txt"), "old summary");
    TrueModel("AD1", {{}, {"A0"}});
    auto database = Database({"AD1", "AD2"});  // AD2 has no true-model file

    struct Case {
        const char* what;
        int32_t number;
    };
    for (const Case c : {Case{"missing file", 53}, Case{"engine error", com::objectError(514)},
                         Case{"no object", 91}}) {
        failInit = c.number == com::objectError(514);
        noObject = c.number == 91;
        try {
            RunAIExp(database);
            ADD_FAILURE() << c.what << ": the run ended normally";
        } catch (const vb::NumberedError& e) {
            EXPECT_EQ(e.number(), c.number) << c.what;
            if (c.number == 53) {
                EXPECT_EQ(e.description(), "File not found: '" + dir.Path("AD2.dat") + "'");
            }
        }
        EXPECT_EQ(Report(), "old report") << c.what;
        EXPECT_EQ(Summary(), "old summary") << c.what;
    }
}

TEST_F(Experiments, TetradRstScoresTheToolsResultFiles) {
    // Every table is a data set. True: the chain A0 -> A1 -> ... -> A5. The result holds each
    // mark in both orders, an unknown name, an unknown mark, and an edge after the line that
    // ends the reading.
    TrueModel("Sim1234", {{}, {"A0"}, {"A1"}, {"A2"}, {"A3"}, {"A4"}});
    TrueModel("Zero", {});
    const std::string lines[] = {
        "Graph Attributes", "/Pattern", TetradLine("A0", '>', "A1"), TetradLine("A2", '>', "A1"),
        TetradLine("A2", '<', "A3"), TetradLine("A4", '<', "A3"), TetradLine("A5", '-', "A4"),
        TetradLine("A0", '-', "A6"), TetradLine("ZZ", '>', "A7"), TetradLine("A7", '*', "A8"),
        "A8       >", TetradLine("A8", '>', "A9"),
    };
    std::string text;
    for (const std::string& l : lines) text += l + "\r\n";
    testsupport::WriteFile(dir.Path("Sim1234.new"), text);

    const vrell::ExperimentFiles files = vrell::TetradRst(*Database({"Sim1234", "Zero"}), folders);
    EXPECT_EQ(files.report, dir.Path("TetradRst.txt"));
    EXPECT_EQ(files.summary, dir.Path("TetradRstSummary.txt"));
    EXPECT_EQ(testsupport::ReadFile(files.report),
              "Sim1234\r\n"
              "True Model: (Edges 5)\r\n"
              "A0 -> A1     A1 -> A2     A2 -> A3     A3 -> A4     A4 -> A5     \r\n"
              "\r\n"
              "Tetrad Model:\r\n"
              "A0 -> A1     A0 -- A6     A1 <- A2     A2 <- A3     A3 -> A4     \r\n"
              "A4 -- A5     \r\n"
              "ME:0   EE:0.2     MA:0.2   WA:0.4\r\n"
              "\r\n"
              "\r\n"
              "Zero: skipped, its true model has no edge.\r\n"
              "\r\n"
              "\r\n"
              "\r\n"
              "0.003333333\t0\t0.003333333\t0.006666667\r\n");
    EXPECT_EQ(testsupport::ReadFile(files.summary), "m\t12\t3\t0\t1\t1\t2\r\n");
}

// Ten fields named F0..F9 drawn as a random network, the names short enough for the files.
testsupport::Network TenFieldNetwork(uint64_t seed) {
    testsupport::RandomNetworkOptions o;
    o.nodes = 10;
    o.maxParents = 2;
    o.arcProbability = 0.35;
    o.strength = 0.85;
    const testsupport::Network drawn = testsupport::RandomNetwork(o, seed);
    testsupport::Network net;
    for (int i = 0; i < drawn.size(); ++i) {
        const testsupport::Node& n = drawn.node(i);
        net.AddNode("F" + std::to_string(i), n.states, n.parents, n.cpt);
    }
    return net;
}

TEST_F(Experiments, RealEngineLearnsEveryDataSetWithANewObject) {
    const std::vector<std::string> tables = {"AD1001", "AD1002"};
    std::vector<testsupport::TableSpec> madeTables;
    std::vector<int> arcs;
    for (size_t t = 0; t < tables.size(); ++t) {
        const testsupport::Network net = TenFieldNetwork(11 + t);
        testsupport::TableOptions opt;
        opt.table = tables[t];
        opt.holdOut = false;
        opt.seed = 3 + t;
        const testsupport::SampledTable sample = testsupport::SampleTable(net, 3000, opt);
        // Written natively, in one go: row by row through the database layer is slow.
        testsupport::TableSpec made{tables[t], {}, sample.cells};
        for (const std::string& c : sample.columns) made.columns.push_back({c, db::dbText, 10});
        madeTables.push_back(std::move(made));

        std::vector<std::string> names;
        std::vector<std::vector<std::string>> parents(10);
        for (int i = 0; i < 10; ++i) {
            names.push_back(net.node(i).name);
            for (int p : net.node(i).parents) parents[size_t(i)].push_back(net.node(p).name);
        }
        testsupport::WriteFile(dir.Path(tables[t] + ".dat"), TrueModelText(names, parents));
        arcs.push_back(int(net.Arcs().size()));
        ASSERT_GT(arcs.back(), 0);
    }

    testsupport::CreateSqliteFile(dir.Path("sets.db"), madeTables);
    std::shared_ptr<db::Database> database = db::DBEngine::OpenDatabase(dir.Path("sets.db"));
    int made = 0;
    // The field order is the networks' own, so as a complete ordering it orients every edge.
    vrell::AIExp(
        database, [&] { ++made; return std::make_shared<vrellapi::DataSet>(); }, folders, /*ordered=*/true);
    EXPECT_EQ(made, 2);

    const std::string report = Report();
    for (size_t t = 0; t < tables.size(); ++t)
        EXPECT_NE(report.find(tables[t] + "\r\nTrue Model: (Edges " + std::to_string(arcs[t]) + ")\r\n"),
                  std::string::npos)
            << report;
    std::istringstream summary(Summary());
    std::string line;
    for (size_t t = 0; t < tables.size(); ++t) {
        ASSERT_TRUE(std::getline(summary, line)) << Summary();
        std::istringstream cells(line);
        std::string c3, c45, c6;
        int missed = -1, extra = -1, undirected = -1, reversed = -1;
        cells >> c3 >> c45 >> c6 >> missed >> extra >> undirected >> reversed;
        EXPECT_EQ(c3 + c45 + c6, tables[t].substr(2)) << line;
        EXPECT_EQ(undirected, 0) << line;
        EXPECT_EQ(reversed, 0) << line;
        EXPECT_LE(missed, arcs[t] / 2) << line << "\n" << report;
        EXPECT_LE(extra, arcs[t] / 2) << line << "\n" << report;
    }
    EXPECT_FALSE(std::getline(summary, line));
}

}  // namespace
