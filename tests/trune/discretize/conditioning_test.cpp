// Conditioning a table in a SQLite file: the statements each cut method sends, a text column
// of numbers cut like the numeric column it copies, the codes' texts kept out of the SQL, the
// columns added and reused, the walk's commits on cancel and on failure, and the hold-out share.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "platform/vb/runtime_error.h"
#include "tests/support/db_contract.h"
#include "tests/support/recording_db.h"
#include "trune/discretize/conditioning.h"
#include "trune/discretize/interval_label.h"

namespace trune {
namespace {

using db::Value;

// Data: Class A for X below 10.5, B above; X 1..20 (Double), each value as often as itself,
// and -1 (the missing code) twice; T the same numbers as text, with "NA" where X is Null.
testsupport::TableSpec DataTable(int extraNulls = 3) {
    testsupport::TableSpec t{"Data", {{"Class", db::dbText, 10}, {"X", db::dbDouble}, {"T", db::dbText, 20}}, {}};
    for (int v = 1; v <= 20; ++v)
        for (int k = 0; k < v; ++k)
            t.rows.push_back({Value(v <= 10 ? "A" : "B"), Value(double(v)), Value(std::to_string(v))});
    for (int k = 0; k < 2; ++k) t.rows.push_back({Value("A"), Value(-1.0), Value("-1")});
    for (int k = 0; k < extraNulls; ++k) t.rows.push_back({Value("B"), Value(), Value("NA")});
    return t;
}

std::vector<std::vector<Value>> Rows(db::Database& db, const std::string& sql) {
    auto rs = db.OpenRecordset(sql, db::dbOpenSnapshot);
    return testsupport::RowsOf(rs->GetRows(10000000));
}

std::vector<std::string> FieldNames(db::Database& db, const std::string& table) {
    std::vector<std::string> out;
    for (const db::Field& f : db.TableDefs(table).Fields) out.push_back(f.Name);
    return out;
}

// A generator that gives the same r for every row, seeded or not.
RandomSource Constant(vb::Single r) {
    return {[] {}, [r] { return r; }};
}

void NativeSql(const std::string& file, const std::string& sql) {
    sqlite3* h = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &h), SQLITE_OK);
    char* error = nullptr;
    EXPECT_EQ(sqlite3_exec(h, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK) << (error ? error : "");
    sqlite3_free(error);
    sqlite3_close(h);
}

class Conditioning : public ::testing::Test {
protected:
    void Make(const std::vector<testsupport::TableSpec>& tables) {
        file = dir.Path("copy.db");
        testsupport::CreateSqliteFile(file, tables);
        db = db::DBEngine::OpenDatabase(file);
    }
    void SetUp() override { Make({DataTable()}); }

    CutSettings Settings(CutMethod method, const std::string& missing = "-1") {
        CutSettings s;
        s.method = method;
        s.classField = "Class";
        s.missingText = missing;
        if (!missing.empty()) s.codes.missing = vb::Single(std::stod(missing));
        return s;
    }

    testsupport::TempDir dir;
    std::string file;
    std::shared_ptr<db::Database> db;
};

// Each method sends its statements with bracketed names, the codes' filter only where the
// column compares as numbers; the text column of the same numbers gets the same cuts, though
// its texts sort "10" before "9" and "NA" and the code are among them.
TEST_F(Conditioning, EachMethodSendsItsStatementsAndCutsATextColumnOfNumbersByNumber) {
    struct Case {
        CutMethod method;
        std::vector<std::string> texts;
    };
    const std::string groupT = "select [T], count(*) from [Data] group by [T]";
    const std::vector<Case> cases{
        {CutMethod::EqualWidth, {"Select Max([X]), Min([X]) From [Data] Where [X] <> -1", groupT}},
        {CutMethod::EqualFrequency, {"select [X], count(*) from [Data] group by [X]", groupT}},
        {CutMethod::Entropy,
         {"select distinct [Class] from [Data]", "select [X], count(*) from [Data] Where [X] <> -1 group by [X]",
          "select [X], [Class], count(*) from [Data] Where [X] <> -1 group by [X], [Class]", groupT,
          "select [T], [Class], count(*) from [Data] group by [T], [Class]"}},
    };
    for (const Case& c : cases) {
        auto recording = std::make_shared<testsupport::RecordingDatabase>(db);
        std::vector<FieldToCut> fields{{"X", 4, {}}, {"T", 4, {}}};
        ComputeCuts(*recording, "Data", fields, Settings(c.method));
        EXPECT_EQ(recording->Texts(), c.texts);
        EXPECT_EQ(fields[1].cuts, fields[0].cuts);
        EXPECT_EQ(fields[1].intervals, fields[0].intervals);
        EXPECT_FALSE(fields[0].cuts.empty());
    }
    // The figures: equal width over 1..20 in four; entropy splits the classes at 10.5.
    std::vector<FieldToCut> fields{{"X", 4, {}}};
    ComputeCuts(*db, "Data", fields, Settings(CutMethod::EqualWidth));
    EXPECT_EQ(fields[0].cuts, (CutPoints{5.75f, 10.5f, 15.25f}));
    ComputeCuts(*db, "Data", fields, Settings(CutMethod::Entropy));
    EXPECT_EQ(fields[0].cuts, (CutPoints{10.5f}));
    EXPECT_EQ(fields[0].intervals, 2);
}

// Counts are 32-bit: a field with more groups than 16 bits count is fetched whole and cut.
TEST_F(Conditioning, FieldWithFortyThousandValuesIsCut) {
    testsupport::TableSpec t{"Wide", {{"Class", db::dbText, 5}, {"X", db::dbDouble}}, {}};
    for (int i = 0; i < 40000; ++i) t.rows.push_back({Value(i < 20000 ? "A" : "B"), Value(double(i))});
    Make({t});
    std::vector<FieldToCut> fields{{"X", 10, {}}};
    ComputeCuts(*db, "Wide", fields, Settings(CutMethod::EqualFrequency, ""));
    ASSERT_EQ(fields[0].cuts.size(), 9u);  // a quota of 4,001 rows a cut
    EXPECT_EQ(fields[0].cuts.front(), 4000.5f);
    EXPECT_EQ(fields[0].cuts.back(), 36008.5f);
    ComputeCuts(*db, "Wide", fields, Settings(CutMethod::Entropy, ""));
    EXPECT_EQ(fields[0].cuts, (CutPoints{19999.5f}));
}

// Names that need their brackets (a blank, a reserved word) work in every statement.
TEST_F(Conditioning, NamesThatNeedBracketsWorkInEveryStatement) {
    testsupport::TableSpec t{"Order Lines", {{"Class Name", db::dbText, 5}, {"Select", db::dbDouble}}, {}};
    for (int i = 0; i < 40; ++i) t.rows.push_back({Value(i < 20 ? "A" : "B"), Value(double(i))});
    Make({t});
    for (CutMethod method : {CutMethod::EqualWidth, CutMethod::EqualFrequency, CutMethod::Entropy}) {
        std::vector<FieldToCut> fields{{"Select", 4, {}}};
        CutSettings s = Settings(method);
        s.classField = "Class Name";
        ASSERT_EQ(ConditionTable(*db, "Order Lines", fields, s, Constant(0.1f), {}), ConditionResult::Done);
        EXPECT_FALSE(fields[0].cuts.empty());
    }
    EXPECT_EQ(Rows(*db, "select distinct [Select_d] from [Order Lines]"),
              (std::vector<std::vector<Value>>{{Value("<19.5")}, {Value(">19.5")}}));
}

// A code box's text goes into a statement only as a number: anything else ends the run with a
// message naming the box before a statement carries it.
TEST_F(Conditioning, CodeTextThatIsNoNumberNeverReachesTheDatabase) {
    for (CutMethod method : {CutMethod::EqualWidth, CutMethod::Entropy}) {
        auto recording = std::make_shared<testsupport::RecordingDatabase>(db);
        std::vector<FieldToCut> fields{{"X", 4, {}}};
        CutSettings s = Settings(method, "");
        s.missingText = "0 OR 1=1";
        try {
            ComputeCuts(*recording, "Data", fields, s);
            ADD_FAILURE() << "no error";
        } catch (const vb::RuntimeError& e) {
            EXPECT_EQ(e.number(), 13);
            EXPECT_NE(e.description().find("Represent missing:"), std::string::npos) << e.description();
        }
        for (const std::string& text : recording->Texts()) EXPECT_EQ(text.find("OR"), std::string::npos) << text;
    }
}

// A field without a usable value fails as the method's statement would; a Null class value
// cannot be a class.
TEST_F(Conditioning, FieldsWithoutUsableValuesFail) {
    testsupport::TableSpec t{"Empty", {{"Class", db::dbText, 10}, {"X", db::dbDouble}, {"K", db::dbText, 10}}, {}};
    for (int k = 0; k < 5; ++k) t.rows.push_back({Value("A"), Value(), k == 4 ? Value() : Value("B")});
    Make({t});
    struct Case {
        CutMethod method;
        std::string classField;
        int32_t number;
    };
    for (const Case& c : {Case{CutMethod::EqualWidth, "Class", 94}, Case{CutMethod::Entropy, "Class", 3021},
                          Case{CutMethod::Entropy, "K", 94}}) {
        std::vector<FieldToCut> fields{{"X", 4, {}}};
        CutSettings s = Settings(c.method, "");
        s.classField = c.classField;
        try {
            ComputeCuts(*db, "Empty", fields, s);
            ADD_FAILURE() << "no error";
        } catch (const vb::NumberedError& e) {
            EXPECT_EQ(e.number(), c.number) << e.description();
            // The refusal names the field whose values it refuses.
            const std::string named = c.classField == "K" ? "class field 'K'" : "field 'X'";
            EXPECT_NE(e.description().find(named), std::string::npos) << e.description();
        }
    }
    // Equal frequency makes no cut: the field is labelled "?" throughout.
    std::vector<FieldToCut> fields{{"X", 4, {}}};
    ComputeCuts(*db, "Empty", fields, Settings(CutMethod::EqualFrequency, ""));
    EXPECT_TRUE(fields[0].cuts.empty());
    EXPECT_EQ(fields[0].intervals, 1);
}

// A second run reuses the columns, writes every label by the new cuts and draws the flags anew.
TEST_F(Conditioning, RerunKeepsOneColumnPerFieldAndRewritesEveryRow) {
    std::vector<FieldToCut> fields{{"X", 4, {}}, {"T", 4, {}}};
    ASSERT_EQ(ConditionTable(*db, "Data", fields, Settings(CutMethod::EqualWidth), Constant(0.9f), {}),
              ConditionResult::Done);
    fields = {{"X", 2, {}}, {"T", 2, {}}};
    ASSERT_EQ(ConditionTable(*db, "Data", fields, Settings(CutMethod::EqualWidth), Constant(0.1f), {}),
              ConditionResult::Done);
    EXPECT_EQ(FieldNames(*db, "Data"), (std::vector<std::string>{"Class", "X", "T", "X_d", "T_d", "ZORV_HoldOut"}));
    const db::TableDef def = db->TableDefs("Data");
    EXPECT_EQ(def.FieldByName("X_d").Type, db::dbText);
    EXPECT_EQ(def.FieldByName("X_d").Size, 50);
    EXPECT_EQ(def.FieldByName("ZORV_HoldOut").Type, db::dbBoolean);
    ExclusionCodes codes;
    codes.missing = -1;
    for (const auto& row : Rows(*db, "select X, T, X_d, T_d, ZORV_HoldOut from Data")) {
        EXPECT_EQ(row[2], Value(IntervalLabel(row[0], {10.5f}, codes)));
        EXPECT_EQ(row[3], Value(IntervalLabel(row[1], {10.5f}, codes)));
        EXPECT_EQ(row[4], Value(false));
    }
    // The labels by rule: the code and Null "?", a text that is no number copied.
    EXPECT_EQ(Rows(*db, "select distinct T_d from Data"),
              (std::vector<std::vector<Value>>{{Value("<10.5")}, {Value(">10.5")}, {Value("?")}, {Value("NA")}}));
}

// With no field checked only the hold-out column is added, and every row gets its flag.
TEST_F(Conditioning, NoFieldCheckedWritesOnlyTheHoldOutColumn) {
    std::vector<FieldToCut> none;
    ASSERT_EQ(ConditionTable(*db, "Data", none, Settings(CutMethod::EqualFrequency), Constant(0.7f), {}),
              ConditionResult::Done);
    EXPECT_EQ(FieldNames(*db, "Data"), (std::vector<std::string>{"Class", "X", "T", "ZORV_HoldOut"}));
    EXPECT_EQ(Rows(*db, "select count(*) from Data where ZORV_HoldOut = True"),
              Rows(*db, "select count(*) from Data"));
}

// A view, and a table of a file opened read-only, are refused before anything changes.
TEST_F(Conditioning, TableThatIsNotUpdatableIsLeftAsItWas) {
    NativeSql(file, "CREATE VIEW Low AS SELECT Class, X FROM Data WHERE X < 5");
    db = db::DBEngine::OpenDatabase(file);
    auto readOnly = db::DBEngine::OpenDatabase(file, false, true);
    struct Case {
        std::shared_ptr<db::Database> db;
        std::string table;
    };
    for (const Case& c : {Case{db, "Low"}, Case{readOnly, "Data"}}) {
        const std::vector<std::string> before = FieldNames(*c.db, c.table);
        std::vector<FieldToCut> fields{{"X", 4, {}}};
        EXPECT_EQ(ConditionTable(*c.db, c.table, fields, Settings(CutMethod::EqualWidth), Constant(0.9f), {}),
                  ConditionResult::NotUpdatable)
            << c.table;
        EXPECT_EQ(FieldNames(*c.db, c.table), before);
    }
    EXPECT_TRUE(db->TableDefs("Data").Updatable);
}

// Cancelled after k rows (past a commit), the rows walked keep their labels, the rest stay
// Null, and another connection sees exactly that; the progress grows by 99 / N a row.
TEST_F(Conditioning, CancelKeepsTheRowsWalkedAndFreesTheTable) {
    testsupport::TableSpec big{"Big", {{"N", db::dbLong}}, {}};
    for (int i = 0; i < 2500; ++i) big.rows.push_back({Value(int32_t(i))});
    Make({big});
    std::vector<FieldToCut> fields{{"N", 10, {}}};
    std::vector<vb::Single> percents;
    const auto cancelAt = [&](vb::Single p) {
        percents.push_back(p);
        return percents.size() == 1500;
    };
    EXPECT_EQ(ConditionTable(*db, "Big", fields, Settings(CutMethod::EqualWidth, ""), Constant(0.9f), cancelAt),
              ConditionResult::Cancelled);
    EXPECT_FLOAT_EQ(percents[0], vb::Single(99.0 / 2500));
    auto other = db::DBEngine::OpenDatabase(file, false, true);
    EXPECT_EQ(Rows(*other, "select count(*) from Big where N_d Is Not Null and ZORV_HoldOut = True"),
              (std::vector<std::vector<Value>>{{Value(int32_t(1500))}}));
    EXPECT_EQ(Rows(*other, "select count(*) from Big where N_d Is Null"),
              (std::vector<std::vector<Value>>{{Value(int32_t(1000))}}));
    // No transaction was left open.
    db->BeginTrans();
    db->Rollback();

    // Run to the end, the caption's whole percent ends at 98 or 99, never 100.
    percents.clear();
    EXPECT_EQ(ConditionTable(*db, "Big", fields, Settings(CutMethod::EqualWidth, ""), Constant(0.9f),
                             [&](vb::Single p) {
                                 percents.push_back(p);
                                 return false;
                             }),
              ConditionResult::Done);
    ASSERT_EQ(percents.size(), 2500u);
    EXPECT_GE(int(percents.back()), 98);
    EXPECT_LT(percents.back(), 100.0f);
}

// A failure in the walk (a copied text too long for its label column) keeps the rows saved
// before it, commits them for other connections, and ends the transaction.
TEST_F(Conditioning, FailureInTheWalkKeepsTheRowsSavedBeforeIt) {
    testsupport::TableSpec t{"Long", {{"S", db::dbText, 200}}, {}};
    for (int i = 0; i < 1800; ++i) t.rows.push_back({Value(i == 1700 ? std::string(60, 'x') : std::to_string(i))});
    Make({t});
    std::vector<FieldToCut> fields{{"S", 3, {}}};
    try {
        ConditionTable(*db, "Long", fields, Settings(CutMethod::EqualFrequency, ""), Constant(0.9f), {});
        ADD_FAILURE() << "no error";
    } catch (const db::Error& e) {
        EXPECT_EQ(e.number(), 3163);
    }
    auto other = db::DBEngine::OpenDatabase(file, false, true);
    EXPECT_EQ(Rows(*other, "select count(*) from Long where S_d Is Not Null"),
              (std::vector<std::vector<Value>>{{Value(int32_t(1700))}}));
    db->BeginTrans();
    db->Rollback();
}

// An empty table fails where the walk looks for its last row, after the columns were added.
TEST_F(Conditioning, EmptyTableFailsAfterTheColumnsWereAdded) {
    Make({{"Nothing", {{"X", db::dbDouble}}, {}}});
    std::vector<FieldToCut> fields{{"X", 4, {}}};
    try {
        ConditionTable(*db, "Nothing", fields, Settings(CutMethod::EqualFrequency, ""), RuntimeRandom(), {});
        ADD_FAILURE() << "no error";
    } catch (const db::Error& e) {
        EXPECT_EQ(e.number(), 3021);
        EXPECT_EQ(e.description(), "No current record.");
    }
    EXPECT_EQ(FieldNames(*db, "Nothing"), (std::vector<std::string>{"X", "X_d", "ZORV_HoldOut"}));
}

// The runtime's generator, seeded once a run: about one row in three is a hold-out row, and
// two runs draw different sets.
TEST_F(Conditioning, AboutOneRowInThreeIsHeldOutAndEachRunDrawsAnew) {
    testsupport::TableSpec t{"Many", {{"N", db::dbLong}}, {}};
    for (int i = 0; i < 30000; ++i) t.rows.push_back({Value(int32_t(i))});
    Make({t});
    std::vector<FieldToCut> none;
    std::vector<std::vector<std::vector<Value>>> flags;
    for (int run = 0; run < 2; ++run) {
        ASSERT_EQ(ConditionTable(*db, "Many", none, Settings(CutMethod::EqualFrequency, ""), RuntimeRandom(), {}),
                  ConditionResult::Done);
        const double held = Rows(*db, "select count(*) from Many where ZORV_HoldOut = True")[0][0].ToDouble();
        EXPECT_GT(held / 30000, 0.32);
        EXPECT_LT(held / 30000, 0.35);
        flags.push_back(Rows(*db, "select ZORV_HoldOut from Many"));
    }
    EXPECT_NE(flags[0], flags[1]);
}

}  // namespace
}  // namespace trune
