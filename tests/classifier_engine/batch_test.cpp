// Batch classification of test tables and the hold-out scores of the search, with a classifier
// learned from a small table in which the colour decides the class: RED -> YES, BLUE -> NO.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "classifier_engine/errors.h"
#include "tests/classifier_engine/learning_host.h"
#include "tests/support/engine_fixture.h"
#include "platform/vb/numbered_error.h"
#include "tests/support/recording_db.h"

namespace {

using learning_host::InTempDir;
using testsupport::EngineFixture;
using testsupport::ReadFile;
using testsupport::TableSpec;
using vb::Integer;
using vb::Long;
using vb::Single;

// Buy (NO, YES) and Colour (BLUE, RED); the column named `colour` so that a test can train on
// a label column "Colour_d".
TableSpec Train(const std::string& colour = "Colour", bool holdOutRows = false) {
    TableSpec t{
        "Train", {{"Buy", db::dbText}, {colour, db::dbText}, {"zorv_holdout", db::dbBoolean}}, {}};
    for (int i = 0; i < 4; ++i) {
        t.rows.push_back({"YES", "RED", false});
        t.rows.push_back({"NO", "BLUE", false});
    }
    if (holdOutRows) {
        t.rows.push_back({"YES", "RED", true});
        t.rows.push_back({"NO", "RED", true});
        t.rows.push_back({"NO", "BLUE", true});
    }
    return t;
}

// A classifier Buy -> Colour learned from the table's rows.
struct Classifier {
    explicit Classifier(TableSpec t = Train(), const std::string& colour = "Colour")
        : fx(std::move(t), {"Buy", colour}) {
        auto g = fx.NewGraph();
        EngineFixture::Arc(g, 0, 1, 2);
        fx.engine.PutGraph(g);
        bool mn = false;
        EXPECT_TRUE(fx.engine.LearnCPT(mn));
    }
    // Writes a test table into its own file and classifies it.
    Single Classify(TableSpec test, std::string cls = "Buy", std::string file = "") {
        const std::string path = fx.dir.Path(test.name + ".db");
        std::filesystem::remove(path);
        testsupport::CreateSqliteFile(path, {test});
        auto testDb = db::DBEngine::OpenDatabase(path);
        std::string name = test.name;
        return fx.engine.ClsfyBatch(testDb, name, cls, matrix, file);
    }
    EngineFixture fx;
    vb::Array<Long> matrix;
};

TableSpec Cases(const std::vector<std::pair<db::Value, db::Value>>& rows) {
    TableSpec t{"Test", {{"Colour", db::dbText}, {"Buy", db::dbText}}, {}};
    for (const auto& [colour, buy] : rows) t.rows.push_back({colour, buy});
    return t;
}

TEST(Batch, CountersAndTheConfusionMatrix) {
    InTempDir cwd;
    Classifier c;
    // Predictions: YES, NO, YES, NO, none (PINK has no label), YES; actual MAYBE has no label.
    const Single accuracy = c.Classify(Cases({{"RED", "YES"}, {"BLUE", "NO"}, {"RED", "NO"},
                                              {"BLUE", "YES"}, {"PINK", "YES"}, {"RED", "MAYBE"}}));
    EXPECT_EQ(accuracy, Single(2.0 / 5.0));  // the unclassified row is left out
    EXPECT_EQ(c.fx.engine.TotalCases(), 6);
    EXPECT_EQ(c.fx.engine.CorrectCases(), 2);
    EXPECT_EQ(c.fx.engine.ErrorCases(), 1);
    vb::Array<Long> expected(vb::To(2), vb::To(2));
    expected(2, 2) = 1;  // actual YES, chosen YES
    expected(1, 1) = 1;
    expected(1, 2) = 1;
    expected(2, 1) = 1;
    expected(2, 0) = 1;  // unclassified
    expected(0, 2) = 1;  // actual class without a label
    EXPECT_EQ(c.matrix, expected);
}

TEST(Batch, AccuracyWhenNothingCanBeRight) {
    InTempDir cwd;
    Classifier c;
    // Neither the actual class nor a chosen one: not a correct case.
    EXPECT_EQ(c.Classify(Cases({{"PINK", "MAYBE"}})), 0.0f);
    EXPECT_EQ(c.fx.engine.CorrectCases(), 0);
    EXPECT_EQ(c.fx.engine.ErrorCases(), 1);
    EXPECT_EQ(c.matrix(0, 0), 1);
    // An empty test table.
    EXPECT_EQ(c.Classify(Cases({})), 0.0f);
    EXPECT_EQ(c.fx.engine.TotalCases(), 0);
    // No class column: no accuracy, no matrix.
    EXPECT_EQ(c.Classify(Cases({{"RED", "YES"}}), ""), 0.0f);
    EXPECT_EQ(c.fx.engine.TotalCases(), 1);
    EXPECT_EQ(c.fx.engine.CorrectCases(), 0);
    EXPECT_EQ(c.matrix, vb::Array<Long>(vb::To(2), vb::To(2)));
}

TEST(Batch, LiftAndROCBelongToTheirBatch) {
    InTempDir cwd;
    Classifier c;
    c.Classify(Cases({{"RED", "YES"}, {"BLUE", "NO"}, {"RED", "NO"}}));
    vb::Array<Single> lift, roc;
    c.fx.engine.GetLift(lift);
    c.fx.engine.GetROC(roc);
    EXPECT_GT(lift(1), 0);
    EXPECT_GT(roc(1, 2), 0);
    // A batch with an unclassified row computes neither, and keeps nothing of the last one.
    c.Classify(Cases({{"RED", "YES"}, {"PINK", "NO"}}));
    c.fx.engine.GetLift(lift);
    c.fx.engine.GetROC(roc);
    EXPECT_EQ(lift, vb::Array<Single>(vb::To(2)));
    EXPECT_EQ(roc, vb::Array<Single>(vb::To(2), vb::To(2)));
}

TEST(Batch, ColumnsAreFoundByNameWithoutTheLabelSuffix) {
    InTempDir cwd;
    Classifier c(Train("Colour_d"), "Colour_d");
    struct Case {
        const char* what;
        std::vector<std::string> columns;  // the class column "Buy" is added last
        int position;                      // FieldPos of the colour field, -1 for error 550
    };
    const Case cases[] = {
        {"the raw column, any case and blanks", {"Other", " colour "}, 1},
        {"the raw column before the label column", {"Colour_d", "Colour"}, 1},
        {"the label column when there is no raw one", {"COLOUR_D"}, 0},
        {"neither", {"Other"}, -1},
    };
    for (const auto& k : cases) {
        TableSpec t{"Test", {}, {}};
        std::vector<db::Value> row;
        for (const auto& name : k.columns) {
            t.columns.push_back({name, db::dbText});
            row.push_back("RED");
        }
        t.columns.push_back({"Buy", db::dbText});
        row.push_back("YES");
        t.rows.push_back(row);
        if (k.position < 0) {
            try {
                c.Classify(t);
                ADD_FAILURE() << k.what << ": no error";
            } catch (const com::Error& err) {
                EXPECT_EQ(err.number(), com::objectError(550)) << k.what;
                EXPECT_EQ(err.source(), "DataEngine Object");
                EXPECT_EQ(err.description(), "A required field is missing in the test set.");
            }
            continue;
        }
        EXPECT_EQ(c.Classify(t), 1.0f) << k.what;
        EXPECT_EQ(c.fx.engine.FieldPos(2), k.position) << k.what;
    }
}

TEST(Batch, TheResultFile) {
    InTempDir cwd;
    Classifier c;
    TableSpec t{"Test",
                {{"Colour", db::dbText}, {"N", db::dbLong}, {"X", db::dbDouble},
                 {"Flag", db::dbBoolean}, {"When", db::dbDate}, {"Buy", db::dbText}},
                {{"RED", int32_t(42), 0.5, true, db::Date{45293 + 11045.0 / 86400}, "YES"},
                 {db::Value::Null(), db::Value::Null(), 1.25, false, db::Value::Null(), "NO"},
                 {"BLUE", int32_t(-7), -2.0, false, db::Date{45293}, "NO"}}};
    const std::string expected =
        "\"COLOUR\",\"N\",\"X\",\"FLAG\",\"WHEN\",\"BUY\",\"ZORV_OUTPUT\",\"Prob. "
        "NO\",\"Prob. YES\",\r\n"
        "\"RED\",42,0.5,#TRUE#,#2024-01-02 03:04:05#,\"YES\",\"YES\",0.2777778,0.7222222\r\n"
        "#NULL#,#NULL#,1.25,#FALSE#,#NULL#,\"NO\",\"\",0,0\r\n"
        "\"BLUE\",-7,-2,#FALSE#,#2024-01-02 00:00:00#,\"NO\",\"NO\",0.7222222,0.2777778\r\n";
    const std::string file = c.fx.dir.Path("result.txt");
    c.Classify(t, "Buy", file);
    EXPECT_EQ(ReadFile(file), expected);

    // The numbers keep their point under a decimal comma.
    testsupport::CommaLocale comma;
    if (!comma.ok()) GTEST_SKIP() << "no locale with a decimal comma can be made here";
    c.Classify(t, "Buy", file);
    EXPECT_EQ(ReadFile(file), expected);
}

TEST(Batch, ProgressEveryHundredRowsAndCancel) {
    InTempDir cwd;
    Classifier c;
    c.Classify(Cases({{"RED", "YES"}}));
    std::vector<std::pair<db::Value, db::Value>> rows(250, {"RED", "YES"});

    testsupport::ProgressRecorder progress;
    c.fx.engine.SetEventSink(&progress);
    const Single overall = c.fx.engine.Percent1;
    EXPECT_EQ(c.Classify(Cases(rows)), 1.0f);
    ASSERT_EQ(progress.calls.size(), 2u);
    EXPECT_EQ(progress.calls[0], std::make_pair(overall, 40.0f));
    EXPECT_EQ(progress.calls[1], std::make_pair(overall, 80.0f));
    EXPECT_EQ(c.fx.engine.TotalCases(), 250);

    // A cancelled batch puts the lines written so far in the place of the earlier results.
    testsupport::ProgressRecorder cancel(1);
    c.fx.engine.SetEventSink(&cancel);
    const std::string file = c.fx.dir.Path("cancelled.txt");
    testsupport::WriteFile(file, "the earlier results\r\n");
    EXPECT_EQ(c.Classify(Cases(rows), "Buy", file), 0.0f);
    EXPECT_EQ(c.fx.engine.TotalCases(), 250);  // the counters of the last finished batch
    EXPECT_EQ(c.matrix(2, 2), 100);
    const std::string text = ReadFile(file);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 101);  // the header and 100 rows
    c.fx.engine.SetEventSink(nullptr);
}

// A test table on a server that is lost after `rows` rows have been read.
class LostAfter : public testsupport::RecordingDatabase {
public:
    LostAfter(std::shared_ptr<db::Database> inner, int rows) : RecordingDatabase(std::move(inner)), rows_(rows) {}
    std::unique_ptr<db::Recordset> OpenRecordset(const std::string& sql, int16_t type) override {
        struct Lost : testsupport::ForwardingRecordset {
            Lost(std::unique_ptr<db::Recordset> inner, int rows)
                : ForwardingRecordset(std::move(inner)), left(rows) {}
            void MoveNext() override {
                if (--left == 0) throw db::Error(3146, "ODBC--call failed.");
                ForwardingRecordset::MoveNext();
            }
            int left;
        };
        return std::make_unique<Lost>(RecordingDatabase::OpenRecordset(sql, type), rows_);
    }

private:
    int rows_;
};

// A batch that fails part way leaves the earlier results file as it was, and nothing beside it.
TEST(Batch, AFailedBatchKeepsTheEarlierResults) {
    InTempDir cwd;
    Classifier c;
    const std::string path = c.fx.dir.Path("server.db");
    testsupport::CreateSqliteFile(path, {Cases(std::vector<std::pair<db::Value, db::Value>>(250, {"RED", "YES"}))});
    std::shared_ptr<db::Database> server = std::make_shared<LostAfter>(db::DBEngine::OpenDatabase(path), 150);
    const std::string file = c.fx.dir.Path("results.txt");
    testsupport::WriteFile(file, "the earlier results\r\n");
    std::string table = "Test", cls = "Buy", name = file;
    try {
        c.fx.engine.ClsfyBatch(server, table, cls, c.matrix, name);
        ADD_FAILURE() << "the lost server went unnoticed";
    } catch (const vb::NumberedError& e) {
        EXPECT_EQ(e.number(), 3146) << e.description();
    }
    EXPECT_EQ(ReadFile(file), "the earlier results\r\n");
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(c.fx.dir.path()))
        if (entry.path().filename().string().rfind("results", 0) == 0) files.push_back(entry.path().filename());
    EXPECT_EQ(files, std::vector<std::string>{"results.txt"});

    // The same batch whole replaces them.
    EXPECT_EQ(c.Classify(Cases(std::vector<std::pair<db::Value, db::Value>>(250, {"RED", "YES"})), "Buy", file), 1.0f);
    const std::string text = ReadFile(file);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 251);
}

TEST(HoldOut, ScoresOnTheRowsFlaggedYes) {
    InTempDir cwd;
    Classifier c(Train("Colour", /*holdOutRows=*/true));
    c.fx.engine.HoldOutSearch = true;
    // YES RED and NO BLUE right, NO RED wrong.
    EXPECT_EQ(c.fx.engine.ClsfyHoldOutBN(), Single(2.0 / 3.0));
    c.fx.engine.tmpROC = true;
    const Single mean = c.fx.engine.ClsfyHoldOutBN();
    EXPECT_EQ(mean, Single(double(c.fx.engine.ROCIndex(1, 2) + c.fx.engine.ROCIndex(2, 1)) / 2));
    EXPECT_EQ(c.fx.engine.ActualClass.UBound(), 3);
}

// No row to score on is no score of 0 that a search would then compare: it is refused.
TEST(HoldOut, NoHoldOutRowsAreRefused) {
    InTempDir cwd;
    Classifier c;
    c.fx.engine.HoldOutSearch = true;
    for (bool roc : {false, true}) {
        c.fx.engine.tmpROC = roc;
        try {
            c.fx.engine.ClsfyHoldOutBN();
            ADD_FAILURE() << "no error, tmpROC " << roc;
        } catch (const com::Error& e) {
            EXPECT_EQ(e.number(), com::objectError(557));
        }
    }
}

}  // namespace
