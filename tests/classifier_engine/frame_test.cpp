// The DataEngine frame: InitLearn's texts and bindings, the limits, the getters' bounds, the
// progress event with its cancel, and the error table with the trapping rule.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <functional>
#include <stdexcept>
#include <vector>

#include "classifier_engine/data_engine.h"
#include "classifier_engine/errors.h"
#include "platform/vb/runtime_error.h"
#include "tests/support/recording_db.h"

namespace {

using namespace zorvapi;

TEST(InitLearn, BindsTableAndCountExpression) {
    struct Case {
        const char* connect;
        const char* table;
        const char* cntfld;
        const char* countExpr;
        const char* cntfldAfter;
        const char* tableName;
    };
    const Case cases[] = {
        {"", "Sales", "", " Count(*) ", "", "[Sales]"},
        {"", "Sales", "Qty", " Sum([Qty]) ", "[Qty]", "[Sales]"},
        {"", "[Sales 2]", "[Unit Qty]", " Sum([Unit Qty]) ", "[Unit Qty]", "[Sales 2]"},
        {"ODBC;DSN=x", "Sales", "Qty", " Sum(Qty) ", "Qty", "[Sales]"},
        {"ODBC;DSN=x", "[Sales]", "", " Count(*) ", "", "[Sales]"},
        {";DATABASE=/tmp/x", "Sales", "Qty", " Sum([Qty]) ", "[Qty]", "[Sales]"},
    };
    for (const Case& c : cases) {
        auto rdb = std::make_shared<testsupport::RecordingDatabase>(c.connect);
        const std::string sql = std::string("select count(*) from ") + c.tableName;
        rdb->Answer(sql, {{"n"}, {{int32_t(1234)}}});
        std::shared_ptr<db::Database> dbase = rdb;
        DataEngine e;
        e.Cancel = true;
        std::string table = c.table, cntfld = c.cntfld;
        e.InitLearn(dbase, table, cntfld);
        EXPECT_EQ(e.CountExpr, c.countExpr) << c.connect << " " << c.cntfld;
        EXPECT_EQ(cntfld, c.cntfldAfter) << c.connect << " " << c.cntfld;
        EXPECT_EQ(table, c.table) << "the caller's table name is left alone";
        EXPECT_EQ(e.TableName, c.tableName);
        EXPECT_EQ(e.IsODBC, std::string(c.connect).rfind("ODBC", 0) == 0);
        EXPECT_EQ(e.TableRows, 1234);
        EXPECT_FALSE(e.Cancel);
        EXPECT_EQ(e.Db, dbase);
        ASSERT_EQ(rdb->QueryCount(), 1);
        EXPECT_EQ(rdb->Queries()[0].sql, sql);
        EXPECT_EQ(rdb->Queries()[0].type, db::dbOpenForwardOnly);
        EXPECT_TRUE(rdb->Queries()[0].closed);
    }
}

TEST(InitLearn, MissingTableFailsWithTheDatabaseError) {
    auto rdb = std::make_shared<testsupport::RecordingDatabase>();
    rdb->Fail("select count(*) from [Nope]",
              db::Error(db::errnum::kNoSuchTable, "The Microsoft Jet database engine cannot find the input table or query 'Nope'."));
    std::shared_ptr<db::Database> dbase = rdb;
    DataEngine e;
    std::string table = "Nope", cntfld;
    try {
        e.InitLearn(dbase, table, cntfld);
        FAIL() << "no error";
    } catch (const db::Error& x) {
        EXPECT_EQ(x.number(), db::errnum::kNoSuchTable);
    }
}

// A real SQLite file: InitLearn's row count, then one coded count block read through the
// recording wrapper, with the data's case, a Null class and a frequency field.
TEST(InitLearn, CountsAndCodesOnARealDatabase) {
    const std::filesystem::path file =
        std::filesystem::temp_directory_path() / ("frame_test_" + std::to_string(getpid()) + ".db");
    std::filesystem::remove(file);
    {
        std::shared_ptr<db::Database> real = db::DBEngine::CreateDatabase(file.string());
        real->Execute("create table [Sales] (Cls text(10), [Unit Price] double, Qty long)");
        real->Execute("insert into [Sales] (Cls, [Unit Price], Qty) values (\"yes\", 1.5, 2)");
        real->Execute("insert into [Sales] (Cls, [Unit Price], Qty) values (\"YES\", 1.5, 3)");
        real->Execute("insert into [Sales] (Cls, [Unit Price], Qty) values (\"no\", 2, 1)");
        real->Execute("insert into [Sales] (Cls, [Unit Price], Qty) values (Null, 2, 1)");
        auto rdb = std::make_shared<testsupport::RecordingDatabase>(real);
        std::shared_ptr<db::Database> dbase = rdb;

        DataEngine e;
        std::string table = "Sales", cntfld = "Qty";
        e.InitLearn(dbase, table, cntfld);
        EXPECT_EQ(e.TableRows, 4);
        EXPECT_EQ(cntfld, "[Qty]");

        e.numfld = 2;
        e.FieldNames.ReDim(vb::To(2));
        e.FieldNames(1) = "Cls", e.FieldNames(2) = "[Unit Price]";
        e.FF.ReDim(vb::To(2));
        e.FF(1) = 3, e.FF(2) = 2;
        e.VluLbl.ReDim(vb::To(2), vb::To(3));
        e.VluLbl(1, 1) = "?", e.VluLbl(1, 2) = "NO", e.VluLbl(1, 3) = "YES";
        e.VluLbl(2, 1) = "1.5", e.VluLbl(2, 2) = "2";
        e.NetTotal.ReDim(vb::To(0));
        e.NetTotal(0) = 7;
        vb::Array<db::Value> block = e.CountBlock({}, 1, 2);
        vb::Array<Integer> fields(vb::To(20));
        fields(1) = 1, fields(2) = 2;
        e.CodeRows(block, 2, fields);
        ASSERT_EQ(block.UBound(2), 2);
        std::vector<std::vector<double>> rows;
        for (int r = 0; r <= 2; ++r) rows.push_back({block(0, r).ToDouble(), block(1, r).ToDouble(), block(2, r).ToDouble()});
        // Groups come ordered by the grouping columns, Null first; "yes" and "YES" are one group.
        EXPECT_EQ(rows, (std::vector<std::vector<double>>{{1, 1, 2}, {1, 2, 2}, {5, 3, 1}}));
        EXPECT_EQ(rdb->Texts().back(), "select  Sum([Qty]) , Cls, [Unit Price] from [Sales] group by Cls,[Unit Price]");
        EXPECT_EQ(rdb->OpenRecordsets(), 0);
        real->Close();
    }
    std::filesystem::remove(file);
}

TEST(Init, SetsLimitsAndClearsProgress) {
    DataEngine e;
    e.Percent1 = 40;
    e.Percent2 = 70;
    Long rows = 5000;
    Integer vlus = 12;
    e.Init(rows, vlus);
    EXPECT_EQ(e.MaxRows, 5000);
    EXPECT_EQ(e.MaxVlus, 12);
    EXPECT_EQ(e.settings().maxValues, 12);
    EXPECT_EQ(e.Percent1, 0);
    EXPECT_EQ(e.Percent2, 0);
}

TEST(Getters, BoundsAndElementZero) {
    DataEngine e;
    e.numfld = 3;
    e.nc = 2;
    e.Feature.ReDim(vb::To(3));
    e.Feature(0) = 7;  // index 0 holds nothing; the copy must not show it
    e.Feature(2) = 1;
    e.FieldNames.ReDim(vb::To(3));
    e.FieldNames(0) = "junk";
    e.FieldNames(1) = "Class", e.FieldNames(2) = "[Unit Price]", e.FieldNames(3) = "Qty";
    e.VluLbl.ReDim(vb::To(3), vb::To(4));
    e.VluLbl(1, 1) = "YES", e.VluLbl(1, 2) = "NO", e.VluLbl(1, 3) = "never a class label";
    e.FF.ReDim(vb::To(3));
    e.FF(1) = 2;
    e.StatusText = "Learn CPT (BN)";

    vb::Array<Integer> rel(vb::To(99));
    e.GetRelative(rel);
    EXPECT_EQ(rel.LBound(), 0);
    EXPECT_EQ(rel.UBound(), 3);
    EXPECT_EQ(rel.cells(), (std::vector<Integer>{0, 0, 1, 0}));

    vb::Array<std::string> cls;
    e.GetClsLbl(cls);
    EXPECT_EQ(cls.cells(), (std::vector<std::string>{"", "YES", "NO"}));

    vb::Array<std::string> names;
    e.GetFldNM(names);
    EXPECT_EQ(names.cells(), (std::vector<std::string>{"", "Class", "[Unit Price]", "Qty"}));

    vb::Array<std::string> labels;
    e.GetFldVlu(labels);
    EXPECT_EQ(labels, e.VluLbl);
    vb::Array<Integer> ff;
    e.GetFF(ff);
    EXPECT_EQ(ff, e.FF);
    ff(1) = 9;
    EXPECT_EQ(e.FF(1), 2) << "getters hand out copies";
    EXPECT_EQ(e.StrStatus(), "Learn CPT (BN)");
}

struct RecordingSink : DataEngineEvents {
    std::vector<std::pair<Single, Single>> calls;
    int cancelAt = -1;  // call index at which to set Cancel
    void PercentDone(Single p1, Single p2, bool& Cancel) override {
        calls.emplace_back(p1, p2);
        if (int(calls.size()) - 1 == cancelAt) Cancel = true;
    }
};

TEST(Progress, SharesOfStepPhaseAndConstruction) {
    DataEngine e;
    RecordingSink sink;
    e.SetEventSink(&sink);
    e.Percent1 = 30;
    e.Percent2 = 0;
    e.PhaseShare = 0.35f;
    e.StepShare = 0.5f;
    EXPECT_FALSE(e.Progress(10));
    e.InConstruction = true;
    e.ConstructShare = 0.25f;
    EXPECT_FALSE(e.Progress(10));
    ASSERT_EQ(sink.calls.size(), 2u);
    const Single p1 = 30.0f + 10.0f * 0.35f * 0.5f;
    EXPECT_EQ(sink.calls[0], std::make_pair(p1, 10.0f));
    EXPECT_EQ(sink.calls[1], std::make_pair(p1 + 10.0f * 0.35f * 0.5f * 0.25f, 10.0f + 10.0f * 0.25f));
}

TEST(Progress, CancelFromTheSinkIsReturnedNotRaised) {
    DataEngine e;
    RecordingSink sink;
    sink.cancelAt = 1;
    e.SetEventSink(&sink);
    EXPECT_FALSE(e.Progress(1));
    EXPECT_TRUE(e.Progress(1));
    EXPECT_TRUE(e.Cancel);
    EXPECT_TRUE(e.RaisePercentDone()) << "Cancel stays set";
    e.SetEventSink(nullptr);
    EXPECT_TRUE(e.Progress(1)) << "no sink: the flag as it was";
}

TEST(Errors, TheTable) {
    struct Case {
        EngineErrorDef def;
        int32_t number;
        const char* text;
    };
    const int32_t base = -2147221504;
    const Case cases[] = {
        {kTooFewFields, base + 513, "Too few fields"},
        {kInvalidFieldName, base + 514, "Invalid field name"},
        {kInvalidLogFile, base + 515, "Invalid input log file"},
        {kLogPastEnd, base + 515, "Invalid input log file."},
        {kBadPartialOrdering, base + 516, "wrong dimension of arrary partial ordering"},
        {kBadCausesEffects, base + 517, "wrong dimension of arrary causes and effects"},
        {kLogRegionalFormat, base + 518,
         "The log file is in another regional format, change the Decimal Symbol in Regional Settings (Control Panel)."},
        {kClassTooManyValues, base + 520, "The class field has too many values"},
        {kClassMissingValues, base + 521, "The class field contains missing values"},
        {kTestFieldMissing, base + 550, "A required field is missing in the test set."},
        {kCPTRowsTooFew, base + 555,
         "The max number of CPT rows is not large enough, Please increase it at the cover page."},
        {kTooManyValuesInFile, 556,
         "A field has more values than the number specified at the 'advanced system settings'."},
        {kEmptyTable, base + 549,
         "The table has no rows to learn from (none outside the hold-out rows, where the model settings hold "
         "rows out), or its frequency field sums to 0 or Null; choose another table or frequency field"},
        {kLineBreakInLog, base + 547,
         "The learning log cannot hold the line break in {}; rename it, or run without an output log"},
        {kLineBreakInFile, base + 548,
         "The classifier file cannot hold the line break in {}; rename it, or change the value in the table and "
         "learn again"},
        {kTableChanged, base + 546,
         "The table holds a value that it did not hold when learning was set up; call InitLearnStru again"},
        {kStaleLog, base + 545,
         "The input log file {} was not written on the table as it is now; run without it, or give the log of "
         "this table"},
        {kNoHoldOutSplit, base + 557,
         "The hold-out column zorv_holdout {}. Searching for a threshold or a model needs zorv_holdout to be a "
         "Boolean or 0/1 column with about one row in three flagged yes."},
    };
    EXPECT_EQ(std::size(kErrorTable), std::size(cases));
    for (const Case& c : cases) {
        com::Error e = EngineError(c.def);
        EXPECT_EQ(e.number(), c.number) << c.text;
        EXPECT_EQ(e.source(), "DataEngine Object");
        EXPECT_EQ(e.description(), c.text);
        EXPECT_STREQ(e.what(), c.text);
    }
    EXPECT_EQ(EngineError(515).description(), "Invalid input log file");
    EXPECT_EQ(EngineError(556).number(), 556);
    EXPECT_EQ(EngineError(520).number(), base + 520);
}

com::Error Trapped(const std::function<void()>& body, const std::vector<ErrorMapping>& map = {}) {
    try {
        TrapErrors(body, map);
    } catch (const com::Error& e) {
        return e;
    }
    ADD_FAILURE() << "nothing raised";
    return com::Error(0, "", "");
}

TEST(Errors, TrappingRaisesAgainWithTheEngineSource) {
    struct Case {
        const char* name;
        std::function<void()> body;
        std::vector<ErrorMapping> map;
        int32_t number;
        std::string text;
    };
    const Case cases[] = {
        {"runtime error keeps number and text", [] { throw vb::RuntimeError::Overflow(); }, {}, 6, "Overflow"},
        {"database error keeps number and text", [] { throw db::Error(3078, "no table 'T'"); }, {}, 3078, "no table 'T'"},
        {"own error raised inside keeps its number", [] { throw EngineError(kTooFewFields); }, {},
         com::objectError(513), "Too few fields"},
        {"subscript error to 555", [] { throw vb::RuntimeError::SubscriptOutOfRange(); }, {kMapSubscriptTo555},
         com::objectError(555), kCPTRowsTooFew.description},
        {"subscript error to plain 556", [] { throw vb::RuntimeError::SubscriptOutOfRange(); }, {kMapSubscriptTo556},
         556, kTooManyValuesInFile.description},
        {"past end to 515.", [] { throw vb::RuntimeError::InputPastEnd(); }, {kMapPastEndTo515, kMapTypeMismatchTo518},
         com::objectError(515), "Invalid input log file."},
        {"type mismatch to 518", [] { throw vb::RuntimeError::TypeMismatch(); }, {kMapPastEndTo515, kMapTypeMismatchTo518},
         com::objectError(518), kLogRegionalFormat.description},
        {"unmapped subscript error stays 9", [] { throw vb::RuntimeError::SubscriptOutOfRange(); }, {kMapPastEndTo515},
         9, "Subscript out of range"},
        {"database error 9 is not a subscript error", [] { throw db::Error(9, "odd"); }, {kMapSubscriptTo555}, 9, "odd"},
        {"other exceptions", [] { throw std::logic_error("bad state"); }, {}, 51, "Internal error: bad state"},
    };
    for (const Case& c : cases) {
        com::Error e = Trapped(c.body, c.map);
        EXPECT_EQ(e.number(), c.number) << c.name;
        EXPECT_EQ(e.description(), c.text) << c.name;
        EXPECT_EQ(e.source(), "DataEngine Object") << c.name;
    }
    EXPECT_EQ(TrapErrors([] { return 42; }), 42);
    try {
        try {
            throw vb::RuntimeError::SubscriptOutOfRange();
        } catch (...) {
            Reraise(std::current_exception(), {kMapSubscriptTo555});
        }
    } catch (const com::Error& e) {
        EXPECT_EQ(e.number(), com::objectError(555));
    }
}

}  // namespace
