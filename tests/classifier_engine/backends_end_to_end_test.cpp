// The classifier engine learns the same classifier from the same rows whichever back end holds
// them: a SQLite file opened directly, the same kind of file through the SQLite ODBC driver's
// data source, a PostgreSQL database and a MariaDB database through their data sources. The
// tables are made by each back end's own means and hold what tells the database rules apart:
// texts spelled in two cases (the class among them), a non-ASCII text, texts that differ from
// another only by an accent or a trailing blank (one state each in the file, one state together
// under MariaDB's default collation), a Boolean field and a hold-out flag with Nulls,
// whole numbers whose text order differs from their numeric order, Double, Single and date
// fields, a field name with a blank, a non-plain table name and a frequency field. Every run
// must give the same statistics, graph, tables, files and test results on all four.
#include <fmt/format.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <type_traits>
#include <unistd.h>
#include <vector>

#include "classifier_engine/data_engine.h"
#include "classifier_engine/errors.h"
#include "platform/vb/rnd.h"
#include "tests/classifier_engine/learning_host.h"
#include "tests/support/db_contract.h"
#include "tests/support/network_sampler.h"
#include "tests/support/odbc_servers.h"

namespace {

using vb::Integer;
using vb::Long;
using vb::Single;
using testsupport::ColumnSpec;
using testsupport::TableSpec;

const char* const kTrain = "Learn Rows";
const char* const kTest = "Test Rows";
const char* const kWeight = "Cnt";
// The training rows again, the hold-out flag an INTEGER column: 1/0, -1/0, all 0, all 1.
const char* const kTrain01 = "Learn 01";
const char* const kTrainMinus1 = "Learn M1";
const char* const kTrainNone = "Learn None";
const char* const kTrainAll = "Learn All";

// The class and eight fields. Smoker becomes a Boolean column, Visits whole numbers (1, 2, 10:
// the text order would put 10 before 2), Dose Doubles with a negative whole number and one of
// 17 digits, Score Singles (one whose text as a Double would be longer), Last Visit dates (one
// with a time of day, one a year before the others); Blood Type's name needs brackets; Colour,
// a long text with a non-ASCII label, tells nothing.
testsupport::Network KnownNetwork() {
    testsupport::Network net;
    const int risk = net.AddNode("Risk", {"HIGH", "MID", "LOW"}, {}, {{0.45, 0.35, 0.2}});
    const int age = net.AddNode("Age", {"YOUNG", "MIDDLE", "OLD"}, {risk},
                                {{0.7, 0.2, 0.1}, {0.2, 0.6, 0.2}, {0.1, 0.2, 0.7}});
    const int smoker = net.AddNode("Smoker", {"T", "F"}, {risk}, {{0.8, 0.2}, {0.4, 0.6}, {0.1, 0.9}});
    const int visits = net.AddNode("Visits", {"1", "2", "10"}, {smoker}, {{0.2, 0.3, 0.5}, {0.6, 0.3, 0.1}}, true);
    net.AddNode("Dose", {"-2", "0.1", "0.33333333333333331"}, {risk, age},
                {{0.7, 0.2, 0.1}, {0.6, 0.3, 0.1}, {0.5, 0.3, 0.2}, {0.2, 0.6, 0.2}, {0.2, 0.5, 0.3},
                 {0.1, 0.6, 0.3}, {0.1, 0.2, 0.7}, {0.1, 0.3, 0.6}, {0.05, 0.15, 0.8}},
                true);
    net.AddNode("Score", {"0.1", "0.33333334"}, {visits}, {{0.8, 0.2}, {0.5, 0.5}, {0.15, 0.85}}, true);
    net.AddNode("Blood Type", {"A", "B", "AB", "O"}, {age},
                {{0.5, 0.2, 0.1, 0.2}, {0.2, 0.5, 0.1, 0.2}, {0.1, 0.1, 0.6, 0.2}});
    net.AddNode("Last Visit", {"D1", "D2", "D3"}, {risk}, {{0.6, 0.3, 0.1}, {0.3, 0.4, 0.3}, {0.1, 0.3, 0.6}});
    net.AddNode("Colour", {"RED", "BLUE", "GRÜN"});
    return net;
}

ColumnSpec ColumnOf(const std::string& name) {
    if (name == "Smoker" || name == "ZORV_HoldOut") return {name, db::dbBoolean};
    if (name == "Visits" || name == kWeight) return {name, db::dbLong};
    if (name == "Dose") return {name, db::dbDouble};
    if (name == "Score") return {name, db::dbSingle};
    if (name == "Last Visit") return {name, db::dbDate};
    if (name == "Colour") return {name, db::dbMemo};
    return {name, db::dbText, 20};
}

// The sampled rows as the back ends store them. Row numbers pick the cells spelled in lower or
// mixed case and the hold-out flags that are Null, so every back end gets the same cells.
TableSpec TableOf(const testsupport::SampledTable& t, const std::string& name) {
    TableSpec table{name, {}, {}};
    for (const std::string& c : t.columns) table.columns.push_back(ColumnOf(c));
    for (size_t r = 0; r < t.cells.size(); ++r) {
        std::vector<db::Value> row = t.cells[r];
        for (size_t c = 0; c < row.size(); ++c) {
            db::Value& v = row[c];
            if (v.IsNull()) continue;
            const std::string& col = t.columns[c];
            if (col == "Smoker") v = db::Value(v.AsText() == "T");
            else if (col == "Dose") v = db::Value(v.ToDouble());
            else if (col == "Score") v = db::Value(float(v.ToDouble()));
            else if (col == "Last Visit")  // 2024-01-15, 2024-02-29 12:00, 1999-12-31
                v = db::Value(db::Date{v.AsText() == "D1" ? 45306.0 : v.AsText() == "D2" ? 45351.5 : 36525.0});
            else if (col == "Risk" && r % 7 == 3 && v.AsText() == "HIGH") v = db::Value("High");
            else if (col == "Blood Type" && r % 5 == 1 && v.AsText() == "AB") v = db::Value("ab");
            else if (col == "Blood Type" && r % 5 == 3 && v.AsText() == "AB") v = db::Value("AB ");
            else if (col == "Colour" && r % 4 == 2 && v.AsText() == "GRÜN") v = db::Value("Grün");
            else if (col == "Colour" && r % 4 == 1 && v.AsText() == "GRÜN") v = db::Value("GRUN");
            else if (col == "ZORV_HoldOut" && r % 41 == 5) v = db::Value();
        }
        table.rows.push_back(std::move(row));
    }
    return table;
}

// The training table under another name with its hold-out flag kept as a number, as a table
// made outside trune holds it: `yes` for a row flagged yes, 0 for one flagged no (a Null stays
// Null). With `every` set, every row gets `yes` instead, so that no row or every row is flagged.
TableSpec WithNumberFlag(TableSpec t, const std::string& name, int32_t yes, bool every = false) {
    t.name = name;
    for (size_t c = 0; c < t.columns.size(); ++c) {
        if (t.columns[c].name != "ZORV_HoldOut") continue;
        t.columns[c].type = db::dbLong;
        for (auto& row : t.rows) {
            db::Value& v = row[c];
            if (every) v = db::Value(yes);
            else if (!v.IsNull()) v = db::Value(v.AsBool() ? yes : int32_t(0));
        }
    }
    return t;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in.good()) << "no file " << path;
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The statements as one transaction: the drivers would otherwise commit, and the SQLite
// driver sync its file, row by row.
std::vector<std::string> InOneTransaction(std::vector<std::string> statements) {
    statements.insert(statements.begin(), "BEGIN");
    statements.push_back("COMMIT");
    return statements;
}

// One back end holding both tables.
struct Backend {
    std::string name;
    std::shared_ptr<db::Database> db;
    testsupport::TempDir dir;  // the run's files: log, classifier, results, ROC files
};

// Everything a run leaves that the back end could change.
struct Outcome {
    Long tableRows = 0;
    vb::Array<Integer> FF, graph, relative, Parents;
    vb::Array<std::string> VluLbl, classLabels;
    vb::Array<Long> VluCnt, NetTotal, CPTIndex, matrix;
    vb::Array<Single> MICache, CPTStore, lift, roc;
    bool multiNet = false;
    Single accuracy = 0;
    Long total = 0, correct = 0, errors = 0;
    std::string log, bnc, results;
    std::vector<std::string> rocFiles;
};

struct RunSettings {
    const char* name;
    Integer BMMode;
    bool FixedThr;
    Integer FSM;
    bool tmpROC;
};
void PrintTo(const RunSettings& s, std::ostream* os) { *os << s.name; }

// A host's whole run on one back end: set-up, structure, the graph handed back, the final
// tables from all rows, the classifier file and the test table classified.
Outcome LearnAndClassify(Backend& b, const RunSettings& s, const std::vector<std::string>& fields,
                         const std::string& train = kTrain) {
    learning_host::InFolder here(b.dir.path());  // ROC files go to the current folder
    // The pairwise pass widens its count queries by fields drawn from the process-wide
    // generator; each run starts it afresh, as a host process of its own would.
    vb::ResetRnd();
    Outcome o;
    zorvapi::DataEngine e;
    learning_host::FixBncClock(e);
    Long rows = 5000;
    Integer vlus = 10;
    e.Init(rows, vlus);
    std::string table = train, cnt = kWeight;
    e.InitLearn(b.db, table, cnt);
    o.tableRows = e.TableRows;

    learning_host::LearnSettings settings = learning_host::Settings(s.BMMode, s.FixedThr, s.FSM);
    settings.tmpROC = s.tmpROC;
    settings.logo = b.dir.Path("learn.log");
    const std::string& logo = settings.logo;
    std::filesystem::remove(logo);
    learning_host::SetUpStructure(e, fields, settings);
    e.GetClsLbl(o.classLabels);
    Single threshold = 1;
    e.LearnStru(threshold);
    o.FF = e.FF;
    o.VluLbl = e.VluLbl;
    o.VluCnt = e.VluCnt;
    o.NetTotal = e.NetTotal;
    o.MICache = e.MICache;
    o.log = ReadFile(logo);

    e.GetGraph(o.graph);
    o.multiNet = e.IsMultiNet();
    e.GetRelative(o.relative);
    e.PutGraph(o.graph);
    table = train;
    cnt = kWeight;
    e.InitLearn(b.db, table, cnt);
    bool mn = o.multiNet;
    EXPECT_TRUE(e.LearnCPT(mn));
    o.CPTStore = e.CPTStore;
    o.CPTIndex = e.CPTIndex;
    o.Parents = e.Parents;
    std::string bnc = b.dir.Path("model.bnc");
    e.WriteBnc(bnc);
    o.bnc = ReadFile(bnc);

    std::string test = kTest, cls = fields[0], results = b.dir.Path("results.txt");
    o.accuracy = e.ClsfyBatch(b.db, test, cls, o.matrix, results);
    o.total = e.TotalCases();
    o.correct = e.CorrectCases();
    o.errors = e.ErrorCases();
    e.GetLift(o.lift);
    e.GetROC(o.roc);
    o.results = ReadFile(results);
    for (Integer x = 1; x <= e.FF(1); ++x)
        for (Integer y = 1; y <= e.FF(1); ++y)
            if (x != y) o.rocFiles.push_back(ReadFile(zorvapi::DataEngine::RocFileName(x, y)));
    return o;
}

// The subscripts of a cell of an array (first dimension fastest) for failure messages.
template <typename T>
std::string Subscripts(const vb::Array<T>& a, int64_t offset) {
    std::string out = "(";
    for (int d = 1; d <= a.dims(); ++d) {
        const int64_t count = int64_t(a.UBound(d)) - a.LBound(d) + 1;
        out += (d > 1 ? ", " : "") + std::to_string(a.LBound(d) + offset % count);
        offset /= count;
    }
    return out + ")";
}

template <typename T>
std::string CellText(const T& v) {
    if constexpr (std::is_floating_point_v<T>) {
        std::ostringstream s;
        s.precision(9);
        s << v;
        return s.str();
    } else {
        return ::testing::PrintToString(v);
    }
}

// Same shape and the same cells, bit for bit for Singles (equal counts summed in the same
// order give the same Single); the first cell that differs is named.
template <typename T>
void ExpectSameArray(const char* what, const vb::Array<T>& want, const vb::Array<T>& got) {
    ASSERT_EQ(got.dims(), want.dims()) << what;
    for (int d = 1; d <= want.dims(); ++d) {
        ASSERT_EQ(got.LBound(d), want.LBound(d)) << what << " dimension " << d;
        ASSERT_EQ(got.UBound(d), want.UBound(d)) << what << " dimension " << d;
    }
    for (size_t i = 0; i < want.cells().size(); ++i)
        if (!(got.cells()[i] == want.cells()[i])) {
            ADD_FAILURE() << what << Subscripts(want, int64_t(i)) << ": " << CellText(got.cells()[i])
                          << ", the SQLite file gives " << CellText(want.cells()[i]);
            return;
        }
}

// The first line where two texts differ, for failure messages on files.
void ExpectSameText(const char* what, const std::string& want, const std::string& got) {
    if (got == want) return;
    std::istringstream a(want), b(got);
    std::string la, lb;
    for (int line = 1;; ++line) {
        const bool ha = bool(std::getline(a, la)), hb = bool(std::getline(b, lb));
        if (!ha && !hb) break;
        if (ha != hb || la != lb) {
            ADD_FAILURE() << what << " line " << line << ": \"" << lb << "\", the SQLite file gives \"" << la << "\"";
            return;
        }
    }
    ADD_FAILURE() << what << " differs in its line ends";
}

void ExpectSameOutcome(const Outcome& want, const Outcome& got) {
    EXPECT_EQ(got.tableRows, want.tableRows);
    ExpectSameArray("class labels", want.classLabels, got.classLabels);
    ExpectSameArray("FF", want.FF, got.FF);
    ExpectSameArray("VluLbl", want.VluLbl, got.VluLbl);
    ExpectSameArray("VluCnt", want.VluCnt, got.VluCnt);
    ExpectSameArray("NetTotal", want.NetTotal, got.NetTotal);
    ExpectSameArray("MICache", want.MICache, got.MICache);
    ExpectSameText("learning log", want.log, got.log);
    ExpectSameArray("Graph", want.graph, got.graph);
    EXPECT_EQ(got.multiNet, want.multiNet);
    ExpectSameArray("feature subset", want.relative, got.relative);
    ExpectSameArray("Parents", want.Parents, got.Parents);
    ExpectSameArray("CPTIndex", want.CPTIndex, got.CPTIndex);
    ExpectSameArray("CPTStore", want.CPTStore, got.CPTStore);
    ExpectSameText("classifier file", want.bnc, got.bnc);
    EXPECT_EQ(got.accuracy, want.accuracy);
    EXPECT_EQ(got.total, want.total);
    EXPECT_EQ(got.correct, want.correct);
    EXPECT_EQ(got.errors, want.errors);
    ExpectSameArray("confusion matrix", want.matrix, got.matrix);
    ExpectSameText("result file", want.results, got.results);
    ExpectSameArray("lift", want.lift, got.lift);
    ExpectSameArray("ROC", want.roc, got.roc);
    ASSERT_EQ(got.rocFiles.size(), want.rocFiles.size());
    for (size_t i = 0; i < want.rocFiles.size(); ++i) ExpectSameText("ROC file", want.rocFiles[i], got.rocFiles[i]);
}

class BackendsEndToEnd : public ::testing::TestWithParam<RunSettings> {
protected:
    static void SetUpTestSuite() {
        try {
            MakeBackends();
        } catch (const std::exception& e) {
            error_ = e.what();
        }
    }

    static void TearDownTestSuite() {
        for (auto& b : backends_)
            if (b->db) b->db->Close();
        backends_.clear();
        if (!pgDatabase_.empty()) {
            try {
                const testsupport::OdbcServers& s = testsupport::StartOdbcServers();
                testsupport::RunNativeSql(s.PgConnect(s.pgDatabase),
                                          {"DROP DATABASE IF EXISTS \"" + pgDatabase_ + "\" WITH (FORCE)"});
                testsupport::RunNativeSql(s.MyConnect(s.myDatabase), {"DROP DATABASE IF EXISTS `" + pgDatabase_ + "`"});
            } catch (const std::exception&) {
                // The servers' data goes with the test servers; a database left costs only disk.
            }
        }
    }

    void SetUp() override {
        // The servers are part of the test: when they cannot start, every case fails with why.
        ASSERT_EQ(error_, "");
        ASSERT_EQ(backends_.size(), 4u);
    }

    static void MakeBackends() {
        const testsupport::Network net = KnownNetwork();
        testsupport::TableOptions opt;
        opt.table = kTrain;
        opt.classNode = 0;
        opt.weightField = kWeight;
        opt.nullRate = 0.04;
        opt.seed = 11;
        const testsupport::SampledTable train = testsupport::SampleTable(net, 3000, opt);
        opt.table = kTest;
        opt.weightField.clear();
        opt.holdOut = false;
        opt.seed = 12;
        // Long enough that an ODBC source reads it in several blocks.
        const testsupport::SampledTable test = testsupport::SampleTable(net, 2500, opt);
        const TableSpec learn = TableOf(train, kTrain);
        const std::vector<TableSpec> tables{learn,
                                            TableOf(test, kTest),
                                            WithNumberFlag(learn, kTrain01, 1),
                                            WithNumberFlag(learn, kTrainMinus1, -1),
                                            WithNumberFlag(learn, kTrainNone, 0, true),
                                            WithNumberFlag(learn, kTrainAll, 1, true)};
        testRows_ = Long(test.cells.size());
        fields_.clear();
        for (size_t c = 0; c < train.columns.size(); ++c)
            if (train.nodeOfColumn[c] >= 0) fields_.push_back(train.columns[c]);

        Backend* file = Add("SQLite file");
        testsupport::CreateSqliteFile(file->dir.Path("learn.db"), tables);
        file->db = db::DBEngine::OpenDatabase(file->dir.Path("learn.db"));

        const testsupport::OdbcServers& s = testsupport::StartOdbcServers();
        Backend* sqlite = Add("SQLite ODBC");
        const std::string sqliteConnect = "DSN=" + s.sqliteDsn + ";Database=" + sqlite->dir.Path("learn.db") + ";";
        testsupport::RunNativeSql(sqliteConnect, InOneTransaction(testsupport::NativeTableSql(testsupport::NativeServer::Sqlite, tables)));
        sqlite->db = db::DBEngine::OpenDatabase("", false, false, "ODBC;" + sqliteConnect);

        Backend* pg = Add("PostgreSQL");
        pgDatabase_ = "bns_e2e_" + std::to_string(::getpid());
        testsupport::RunNativeSql(s.PgConnect(s.pgDatabase), {"CREATE DATABASE \"" + pgDatabase_ + "\""});
        const std::string pgConnect = "DSN=" + s.pgDsn + ";Database=" + pgDatabase_ + ";";
        testsupport::RunNativeSql(pgConnect,
                                  InOneTransaction(testsupport::NativeTableSql(testsupport::NativeServer::Postgres, tables)));
        pg->db = db::DBEngine::OpenDatabase("", false, false, "ODBC;" + pgConnect);

        // The same database name on the MariaDB server (its data source names another).
        Backend* my = Add("MariaDB");
        testsupport::RunNativeSql(s.MyConnect(s.myDatabase), {"CREATE DATABASE `" + pgDatabase_ + "`"});
        const std::string myConnect = "DSN=" + s.myDsn + ";Database=" + pgDatabase_ + ";";
        testsupport::RunNativeSql(myConnect, InOneTransaction(testsupport::NativeTableSql(
                                                 testsupport::NativeServer::MariaDb, tables)));
        my->db = db::DBEngine::OpenDatabase("", false, false, "ODBC;" + myConnect);
    }

    static Backend* Add(const std::string& name) {
        backends_.push_back(std::make_unique<Backend>());
        backends_.back()->name = name;
        return backends_.back().get();
    }

    static std::vector<std::unique_ptr<Backend>> backends_;
    static std::vector<std::string> fields_;
    static Long testRows_;
    static std::string pgDatabase_;
    static std::string error_;
};
std::vector<std::unique_ptr<Backend>> BackendsEndToEnd::backends_;
std::vector<std::string> BackendsEndToEnd::fields_;
Long BackendsEndToEnd::testRows_ = 0;
std::string BackendsEndToEnd::pgDatabase_;
std::string BackendsEndToEnd::error_;

TEST_P(BackendsEndToEnd, LearnTheSameClassifier) {
    const RunSettings& s = GetParam();
    // The engine takes its ODBC paths only for a database that says it is one.
    for (size_t i = 1; i < backends_.size(); ++i) EXPECT_EQ(backends_[i]->db->Connect().substr(0, 5), "ODBC;");
    const Outcome want = LearnAndClassify(*backends_[0], s, fields_);
    // The reference run learned something worth comparing: links in some layer and a
    // classifier that classified every test row well above the majority class (under half).
    ASSERT_EQ(want.classLabels.UBound(), 3);
    bool linked = false;
    for (Integer k = 0; k <= 3; ++k)
        for (Integer i = 1; i <= Integer(fields_.size()); ++i)
            for (Integer j = Integer(i + 1); j <= Integer(fields_.size()); ++j)
                linked = linked || want.graph(k, i, j) > 0;
    EXPECT_TRUE(linked);
    EXPECT_EQ(want.multiNet, s.BMMode == 2);
    EXPECT_EQ(want.total, testRows_);
    EXPECT_GT(want.accuracy, 0.6f);
    for (size_t i = 1; i < backends_.size(); ++i) {
        SCOPED_TRACE(backends_[i]->name);
        ExpectSameOutcome(want, LearnAndClassify(*backends_[i], s, fields_));
    }
}

// A table made outside trune holds the flag as a number: 1/0 and -1/0 select the same rows as
// the Boolean, so every search learns the same classifier from them.
TEST_P(BackendsEndToEnd, NumberHoldOutFlagsGiveTheSameClassifier) {
    const RunSettings& s = GetParam();
    for (auto& b : backends_) {
        SCOPED_TRACE(b->name);
        const Outcome want = LearnAndClassify(*b, s, fields_);
        for (const char* table : {kTrain01, kTrainMinus1}) {
            SCOPED_TRACE(table);
            Outcome got = LearnAndClassify(*b, s, fields_, table);
            // The classifier file names the table it was learned from; all else must agree.
            EXPECT_NE(got.bnc, want.bnc);
            got.bnc = want.bnc;
            ExpectSameOutcome(want, got);
        }
    }
}

// A single net learned once from all rows at the given threshold; a single net whose threshold
// is searched by the ROC index on the hold-out rows; one multi-net from all rows (each layer
// counted under a filter on the class, whose values are spelled in two cases); both models
// searched and compared, the multi-net also on the single net's feature subset.
INSTANTIATE_TEST_SUITE_P(Settings, BackendsEndToEnd,
                         ::testing::Values(RunSettings{"FixedSingleNet", 1, true, 2, false},
                                           RunSettings{"SearchedSingleNetByRoc", 1, false, 2, true},
                                           RunSettings{"FixedMultiNet", 2, true, 2, false},
                                           RunSettings{"BothModelsSearched", 3, false, 3, false}),
                         [](const auto& info) { return std::string(info.param.name); });

// A flag that selects no hold-out row, or no row to learn from, leaves a search nothing to
// score on or nothing to learn from: every setting that searches refuses it with error 557,
// naming the column and the part that is empty (already at set-up when every row is flagged);
// a structure learned once from all rows needs no flag.
class EmptyHoldOutSide : public BackendsEndToEnd {};

TEST_F(EmptyHoldOutSide, IsRefusedByEverySearch) {
    struct Case {
        RunSettings s;
        bool searches;
    };
    const Case cases[] = {
        {{"FixedSingleNet", 1, true, 2, false}, false},
        {{"FixedMultiNetAllFields", 2, true, 2, false}, false},
        {{"SearchedSingleNet", 1, false, 2, false}, true},
        {{"SearchedSingleNetByRoc", 1, false, 2, true}, true},
        {{"FixedMultiNetOnSubset", 2, true, 1, false}, true},
        {{"FixedMultiNetSubsetIfBetter", 2, true, 3, false}, true},
        {{"FixedBothModels", 3, true, 2, false}, true},
        {{"SearchedMultiNet", 2, false, 2, false}, true},
        {{"BothModelsSearched", 3, false, 3, false}, true},
    };
    for (auto& b : backends_) {
        for (const char* table : {kTrainNone, kTrainAll}) {
            for (const Case& c : cases) {
                SCOPED_TRACE(b->name + ", " + table + ", " + c.s.name);
                zorvapi::DataEngine e;
                Long rows = 5000;
                Integer vlus = 10;
                e.Init(rows, vlus);
                std::string t = table, cnt;
                e.InitLearn(b->db, t, cnt);
                learning_host::LearnSettings settings = learning_host::Settings(c.s.BMMode, c.s.FixedThr, c.s.FSM);
                settings.tmpROC = c.s.tmpROC;
                const bool everyRowFlagged = std::string(table) == kTrainAll;
                Single threshold = 1;
                try {
                    learning_host::SetUpStructure(e, fields_, settings);
                    e.LearnStru(threshold);
                    EXPECT_FALSE(c.searches) << "no error";
                } catch (const com::Error& x) {
                    EXPECT_TRUE(c.searches) << x.what();
                    EXPECT_EQ(x.number(), com::objectError(557));
                    EXPECT_EQ(x.source(), "DataEngine Object");
                    EXPECT_EQ(x.description(),
                              fmt::format(fmt::runtime(zorvapi::kNoHoldOutSplit.description),
                                          everyRowFlagged ? zorvapi::kNoRowsToLearn : zorvapi::kNoRowsToScore));
                }
            }
        }
    }
}

}  // namespace
