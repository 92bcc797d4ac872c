// Table and field names that hold what a query could read as syntax (blanks, quotes, brackets,
// line breaks, keywords, non-ASCII letters) reach both engines' queries as names on every back
// end: the engines learn the same model from them as from plain names. A name that cannot be
// quoted (one holding "]") is refused with an error naming it, before anything is learned:
// quoted as it stands, "T] where [Cls]<>[A" would learn the table T through that filter.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <tuple>
#include <string>
#include <vector>

#include "classifier_engine/data_engine.h"
#include "construction_engine/data_set.h"
#include "platform/db/database.h"
#include "platform/vb/rnd.h"
#include "tests/classifier_engine/learning_host.h"
#include "tests/support/db_contract.h"
#include "tests/support/network_sampler.h"
#include "tests/support/odbc_servers.h"

namespace {

using vb::Integer;
using vb::Long;
using vb::Single;

// The plain table and, with the same rows, one whose every name needs quoting.
const std::vector<std::string> kPlainFields = {"Cls", "F1", "F2", "F3", "F4"};
const std::vector<std::string> kHostileFields = {"Grün \"Klasse\"", "it's", "Two\r\nLines", "Select", "a[b"};
const char* const kHostileTable = "Tä'b \"x\" -- select";
// Every row counts once, so the frequency field changes no count.
const char* const kPlainWeight = "W";
const char* const kHostileWeight = "Wie viele?";

std::vector<testsupport::TableSpec> Tables() {
    testsupport::Network net;
    const int c = net.AddNode("Cls", {"A", "B"}, {}, {{0.5, 0.5}});
    const int f1 = net.AddNode("F1", {"X", "Y"}, {c}, {{0.85, 0.15}, {0.2, 0.8}});
    net.AddNode("F2", {"P", "Q", "R"}, {c}, {{0.7, 0.2, 0.1}, {0.1, 0.3, 0.6}});
    net.AddNode("F3", {"U", "V"}, {f1}, {{0.9, 0.1}, {0.25, 0.75}});
    net.AddNode("F4", {"M", "N"});
    testsupport::TableOptions opt;
    opt.table = "T";
    opt.classNode = c;
    opt.holdOut = false;
    opt.seed = 5;
    const testsupport::SampledTable s = testsupport::SampleTable(net, 400, opt);
    std::vector<std::vector<db::Value>> rows = s.cells;
    for (auto& row : rows) row.push_back(db::Value(int32_t(1)));
    testsupport::TableSpec plain{"T", {}, rows}, hostile{kHostileTable, {}, rows};
    for (size_t i = 0; i < s.columns.size(); ++i) {
        EXPECT_EQ(s.columns[i], kPlainFields[i]);
        plain.columns.push_back({kPlainFields[i], db::dbText, 20});
        hostile.columns.push_back({kHostileFields[i], db::dbText, 20});
    }
    plain.columns.push_back({kPlainWeight, db::dbLong});
    hostile.columns.push_back({kHostileWeight, db::dbLong});
    return {plain, hostile};
}

// What a classifier run learned.
struct Classifier {
    vb::Array<Integer> graph, FF;
    vb::Array<std::string> labels;
    vb::Array<Long> VluCnt;
    vb::Array<Single> CPTStore;
};

// Set-up, structure, the graph handed back and the tables; `logi`/`logo` are the learning logs.
Classifier LearnClassifier(std::shared_ptr<db::Database> db, std::string table, const std::vector<std::string>& fields,
                           const std::string& weight = "", const std::string& logi = "",
                           const std::string& logo = "", zorvapi::DataEngine* engine = nullptr) {
    vb::ResetRnd();
    learning_host::InTempDir here;
    zorvapi::DataEngine own;
    zorvapi::DataEngine& e = engine ? *engine : own;
    Long rows = 5000;
    Integer vlus = 10;
    e.Init(rows, vlus);
    std::string cnt = weight;
    e.InitLearn(db, table, cnt);
    learning_host::StruArgs args(fields, learning_host::Settings(1, true));
    args.logi = logi;
    args.logo = logo;
    args.Run(e);
    Single threshold = 1;
    e.LearnStru(threshold);
    Classifier out;
    e.GetGraph(out.graph);
    e.PutGraph(out.graph);
    e.InitLearn(db, table, cnt);
    bool multiNet = false;
    EXPECT_TRUE(e.LearnCPT(multiNet));
    out.FF = e.FF;
    out.labels = e.VluLbl;
    out.VluCnt = e.VluCnt;
    out.CPTStore = e.CPTStore;
    return out;
}

vb::Array<Integer> Construct(std::shared_ptr<db::Database> db, std::string table, const std::vector<std::string>& fields,
                             const std::string& weight = "", std::string logi = "", std::string logo = "",
                             vrellapi::DataSet* set = nullptr) {
    vb::ResetRnd();
    vrellapi::DataSet own;
    vrellapi::DataSet& d = set ? *set : own;
    Integer n = Integer(fields.size());
    vb::Array<std::string> names(vb::To(n - 1));
    for (Integer i = 0; i < n; ++i) names(i) = fields[size_t(i)];
    vb::Array<Integer> po(vb::To(n - 1), vb::To(n - 1)), ce = po, fl = po, rt(vb::To(n - 1)), lf = rt;
    std::string cnt = weight;
    bool bord = false;
    d.Init(db, table, n, names, cnt, bord, po, ce, fl, rt, lf, logi, logo);
    Single threshold = 1;
    bool keep = false;
    vb::Array<Integer> result(vb::To(n - 1), vb::To(n - 1));
    d.Construct(threshold, keep, result);
    return result;
}

// The number and text of the error fn raises; number 0 when it raises none.
template <typename F>
std::pair<int32_t, std::string> ErrorOf(F fn) {
    try {
        fn();
    } catch (const com::Error& e) {
        return {e.number(), e.description()};
    } catch (const db::Error& e) {
        return {e.number(), e.description()};
    }
    return {0, ""};
}

class HostileNames : public ::testing::TestWithParam<std::shared_ptr<testsupport::BackendFactory>> {
protected:
    void SetUp() override {
        if (const std::string why = GetParam()->Unavailable(); !why.empty()) GTEST_SKIP() << why;
        db_ = GetParam()->Create(Tables());
    }
    std::shared_ptr<db::Database> db_;
};

TEST_P(HostileNames, LearnTheSameModelAsPlainNames) {
    const Classifier plain = LearnClassifier(db_, "T", kPlainFields, kPlainWeight);
    const Classifier hostile = LearnClassifier(db_, kHostileTable, kHostileFields, kHostileWeight);
    EXPECT_EQ(hostile.graph.cells(), plain.graph.cells());
    EXPECT_EQ(hostile.FF.cells(), plain.FF.cells());
    EXPECT_EQ(hostile.labels.cells(), plain.labels.cells());
    EXPECT_EQ(hostile.VluCnt.cells(), plain.VluCnt.cells());
    EXPECT_EQ(hostile.CPTStore.cells(), plain.CPTStore.cells());
    // The class depends on F1 and F2 in these rows: something was learned.
    EXPECT_GT(plain.graph(0, 1, 2) + plain.graph(0, 2, 1), 0);

    const vb::Array<Integer> constructed = Construct(db_, "T", kPlainFields, kPlainWeight);
    EXPECT_EQ(Construct(db_, kHostileTable, kHostileFields, kHostileWeight).cells(), constructed.cells());
}

TEST_P(HostileNames, RefuseNamesThatCannotBeQuoted) {
    struct Case {
        std::string table;
        std::vector<std::string> fields;
        const char* named;  // the error's subject
    };
    const Case cases[] = {
        {"T] where [Cls]<>[A", kPlainFields, "table name 'T] where [Cls]<>[A'"},
        {"[T] where [Cls]<>[A]", kPlainFields, "table name '[T] where [Cls]<>[A]'"},
        {"T", {"Cls", "F1", "B], [C"}, "field name 'B], [C'"},
        {"T", {"Cls", "[F1] from [T] where [Cls]<>[A]", "F2"}, "field name '[F1] from"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.table + " / " + c.fields.back());
        for (bool classifier : {true, false}) {
            const auto [number, text] = ErrorOf([&] {
                if (classifier)
                    LearnClassifier(db_, c.table, c.fields);
                else
                    Construct(db_, c.table, c.fields);
            });
            EXPECT_EQ(number, db::errnum::kInvalidName) << text;
            EXPECT_NE(text.find(c.named), std::string::npos) << text;
        }
    }
}

// Field names with leading or trailing blanks, which SQLite keeps: learned from, and found
// again when the classifier classifies the very table it learned from.
TEST_P(HostileNames, BlankPaddedFieldNamesMatchThemselves) {
    const std::vector<std::string> padded = {"Cls", " F1", "F2 ", " F3 ", "F4"};
    testsupport::TableSpec t = Tables()[0];
    t.name = "Padded";
    for (size_t c = 0; c < padded.size(); ++c) t.columns[c].name = padded[c];
    std::shared_ptr<db::Database> db = GetParam()->Create({t});
    learning_host::InTempDir here;  // the batch writes its ROC files into the current folder
    zorvapi::DataEngine plainEngine, paddedEngine;
    const Classifier plain = LearnClassifier(db_, "T", kPlainFields, "", "", "", &plainEngine);
    const Classifier learned = LearnClassifier(db, "Padded", padded, "", "", "", &paddedEngine);
    EXPECT_EQ(learned.CPTStore.cells(), plain.CPTStore.cells());
    auto classify = [](zorvapi::DataEngine& e, std::shared_ptr<db::Database> on, std::string table) {
        std::string cls = "Cls", file;
        vb::Array<Long> matrix;
        return e.ClsfyBatch(on, table, cls, matrix, file);
    };
    const Single expected = classify(plainEngine, db_, "T");
    const auto [number, text] = ErrorOf([&] { EXPECT_EQ(classify(paddedEngine, db, "Padded"), expected); });
    EXPECT_EQ(number, 0) << text;
    EXPECT_EQ(paddedEngine.TotalCases(), 400);
}

// The classifier file and both learning logs read back names and labels holding quotes,
// commas and non-ASCII letters as they were written; a text with a line break, which their
// readers would end early, is refused before the file is touched.
TEST(FileTexts, RoundTripOrAreRefusedBeforeTheFile) {
    auto relabel = [](std::vector<testsupport::TableSpec> tables, const std::string& b) {
        testsupport::TableSpec t = tables[0];
        const std::vector<std::string> names = {"Cls", "Say \"hi\", you", "Grün", "F3", "F4", kPlainWeight};
        for (size_t c = 0; c < names.size(); ++c) t.columns[c].name = names[c];
        for (auto& row : t.rows) {
            if (row[0].AsText() == "B") row[0] = db::Value(b);
            if (row[1].AsText() == "X") row[1] = db::Value("5\" pipe, long");
            if (row[2].AsText() == "P") row[2] = db::Value("grün");
        }
        return t;
    };
    const std::vector<std::string> fields = {"Cls", "Say \"hi\", you", "Grün", "F3", "F4"};
    testsupport::TempDir dir;
    testsupport::CreateSqliteFile(dir.Path("t.db"), {relabel(Tables(), "b, \"zwei\""), [&] {
                                                         testsupport::TableSpec t = relabel(Tables(), "TWO\r\nLINES");
                                                         t.name = "Broken";
                                                         return t;
                                                     }()});
    auto db = db::DBEngine::OpenDatabase(dir.Path("t.db"));

    // The classifier: the log gives the next run the same statistics, the file the same model.
    zorvapi::DataEngine first, second, opened;
    const Classifier learned = LearnClassifier(db, "T", fields, "", "", dir.Path("run.log"), &first);
    const Classifier fromLog = LearnClassifier(db, "T", fields, "", dir.Path("run.log"), "", &second);
    EXPECT_EQ(fromLog.labels.cells(), learned.labels.cells());
    EXPECT_EQ(fromLog.VluCnt.cells(), learned.VluCnt.cells());
    EXPECT_EQ(fromLog.CPTStore.cells(), learned.CPTStore.cells());
    EXPECT_EQ(learned.labels(1, 2), "B, \"ZWEI\"");
    std::string bnc = dir.Path("model.bnc");
    first.WriteBnc(bnc);
    Long rows = 5000;
    Integer vlus = 10;
    opened.Init(rows, vlus);
    opened.ReadBncStru(bnc);
    opened.ReadBncCPT(bnc);
    EXPECT_EQ(opened.FieldNames.cells(), first.FieldNames.cells());
    EXPECT_EQ(opened.VluLbl.cells(), first.VluLbl.cells());
    // The learned store holds the rows its tables use, the read one is sized by the row limit:
    // the rows of the tables must agree.
    ASSERT_LE(first.CPTStore.UBound(1), opened.CPTStore.UBound(1));
    for (Long r = 0; r <= first.CPTStore.UBound(1); ++r)
        for (Integer v = 0; v <= first.CPTStore.UBound(2); ++v)
            EXPECT_EQ(opened.CPTStore(r, v), first.CPTStore(r, v)) << r << ", " << v;

    // The construction log (quotes it refuses on its own: the table without them).
    const std::vector<std::string> plainNames = {"Grün", "F3", "F4"};
    vrellapi::DataSet writing, reading;
    const vb::Array<Integer> constructed = Construct(db, "T", plainNames, "", "", dir.Path("run.vlog"), &writing);
    EXPECT_EQ(Construct(db, "T", plainNames, "", dir.Path("run.vlog"), "", &reading).cells(), constructed.cells());
    EXPECT_EQ(reading.VluLbl.cells(), writing.VluLbl.cells());

    // A class value with a line break.
    const std::string log = dir.Path("broken.log");
    auto [number, text] = ErrorOf([&] { LearnClassifier(db, "Broken", fields, "", "", log); });
    EXPECT_EQ(number, com::objectError(547)) << text;
    EXPECT_NE(text.find("TWO\r\nLINES of the field Cls"), std::string::npos) << text;
    zorvapi::DataEngine noLog;
    LearnClassifier(db, "Broken", fields, "", "", "", &noLog);
    std::string brokenBnc = dir.Path("broken.bnc");
    std::tie(number, text) = ErrorOf([&] { noLog.WriteBnc(brokenBnc); });
    EXPECT_EQ(number, com::objectError(548)) << text;
    std::tie(number, text) = ErrorOf([&] { Construct(db, "Broken", {"Cls", "F3", "F4"}, "", "", log); });
    EXPECT_EQ(number, com::objectError(549)) << text;
    EXPECT_FALSE(std::filesystem::exists(log));
    EXPECT_FALSE(std::filesystem::exists(brokenBnc));
}

INSTANTIATE_TEST_SUITE_P(Backends, HostileNames,
                         ::testing::Values(std::make_shared<testsupport::SqliteFileFactory>(),
                                           std::make_shared<testsupport::SqliteOdbcFactory>(),
                                           std::make_shared<testsupport::PostgresOdbcFactory>()),
                         [](const auto& info) { return info.param->Name(); });

}  // namespace
