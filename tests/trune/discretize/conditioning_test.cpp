// Conditioning a table in a SQLite file: the statements each cut method sends, a text column
// of numbers cut like the numeric column it copies, the codes' texts kept out of the SQL, the
// columns added and reused, all or nothing on a cancel, a failure, a full disk and a killed
// process, the progress of the cuts, and the hold-out share.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "platform/db/column_store.h"
#include "platform/db/sqlite_backend.h"
#include "platform/vb/runtime_error.h"
#include "tests/support/db_contract.h"
#include "tests/support/full_disk.h"
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
        // A new file each time, so that a test can make several copies.
        file = dir.Path("copy" + std::to_string(++made) + ".db");
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
    int made = 0;
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

// A field whose values change class so often that the entropy method would cut it more than 50
// times: the run fails naming the field, why, and what the user can do.
TEST_F(Conditioning, MoreThanFiftyCutsNameTheFieldAndWhatToDo) {
    testsupport::TableSpec t{"Many", {{"Class", db::dbText, 10}, {"X", db::dbDouble}}, {}};
    for (int c = 1; c <= 60; ++c)
        for (int v = 0; v < 2; ++v)
            for (int k = 0; k < 3; ++k) t.rows.push_back({Value("c" + std::to_string(c)), Value(double(c * 10 + v))});
    Make({t});
    std::vector<FieldToCut> fields{{"X", 4, {}}};
    try {
        ComputeCuts(*db, "Many", fields, Settings(CutMethod::Entropy, ""));
        ADD_FAILURE() << "no error";
    } catch (const vb::NumberedError& e) {
        EXPECT_EQ(e.number(), 9);
        EXPECT_EQ(e.description(),
                  "The field 'X' cannot be discretized by the class field 'Class': its values change class so often "
                  "that it would need more than 50 cut points, more than a field can have. Leave the field "
                  "unchecked, or cut it by equal width or equal frequency.");
    }
    // Cut by another method, the field fits.
    ComputeCuts(*db, "Many", fields, Settings(CutMethod::EqualFrequency, ""));
    EXPECT_EQ(fields[0].intervals, 4);
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

// Everything a table holds, as another connection reads it: its columns, then its rows.
struct TableState {
    std::vector<std::string> fields;
    std::vector<std::vector<Value>> rows;
    bool operator==(const TableState&) const = default;
};

TableState StateOf(const std::string& file, const std::string& table) {
    auto reader = db::DBEngine::OpenDatabase(file, false, true);
    return {FieldNames(*reader, table), Rows(*reader, "select * from [" + table + "]")};
}

// N 0..rows-1, S the same numbers as text but for one text too long for a label column at
// `longAt` (none when -1).
testsupport::TableSpec Numbers(int rows, int longAt = -1) {
    testsupport::TableSpec t{"Big", {{"Class", db::dbText, 5}, {"N", db::dbLong}, {"S", db::dbText, 200}}, {}};
    for (int i = 0; i < rows; ++i)
        t.rows.push_back({Value(i % 3 ? "A" : "B"), Value(int32_t(i)),
                          Value(i == longAt ? std::string(60, 'x') : std::to_string(i))});
    return t;
}

// A cancel at the first, a middle and the last row of the walk or during the cuts, and an
// error in the middle of the walk: the copy keeps the columns and values it had before, on a
// copy never conditioned and on one that holds labels of an earlier run, and no transaction
// stays open.
TEST_F(Conditioning, CancelOrFailureAnywhereLeavesTheCopyAsItWas) {
    constexpr int kRows = 2500;
    struct Stop {
        const char* name;
        int cancelAtRow;   // the row after which the walk is asked to stop (0: never)
        int cancelAtCut;   // the progress report of the cuts that asks to stop (0: never)
        int longTextAt;    // the row whose label cannot be stored (-1: none)
    };
    const Stop stops[] = {
        {"cancel at the first row", 1, 0, -1},     {"cancel in the middle", 1250, 0, -1},
        {"cancel at the last row", kRows, 0, -1},  {"cancel during the cuts", 0, 3, -1},
        {"error in the middle", 0, 0, 1700},
    };
    for (const bool labelled : {false, true}) {
        for (const Stop& stop : stops) {
            SCOPED_TRACE(std::string(stop.name) + (labelled ? ", labelled before" : ", never labelled"));
            Make({Numbers(kRows, stop.longTextAt)});
            if (labelled) {
                std::vector<FieldToCut> earlier{{"N", 4, {}}};
                ASSERT_EQ(ConditionTable(*db, "Big", earlier, Settings(CutMethod::EqualWidth, ""), Constant(0.9f), {}),
                          ConditionResult::Done);
            }
            const TableState before = StateOf(file, "Big");
            ASSERT_EQ(before.fields.size(), labelled ? 5u : 3u);

            std::vector<FieldToCut> fields{{"N", 7, {}}, {"S", 3, {}}};
            int rows = 0, reports = 0;
            const auto afterRow = [&](vb::Single) { return ++rows == stop.cancelAtRow; };
            const auto cutting = [&](vb::Single) { return ++reports == stop.cancelAtCut; };
            try {
                EXPECT_EQ(ConditionTable(*db, "Big", fields, Settings(CutMethod::EqualFrequency, ""), Constant(0.1f),
                                         afterRow, cutting),
                          ConditionResult::Cancelled);
                EXPECT_LT(stop.longTextAt, 0) << "no error";
                if (stop.cancelAtRow) {
                    EXPECT_EQ(rows, stop.cancelAtRow);
                }
                if (stop.cancelAtCut) {
                    EXPECT_EQ(rows, 0);
                }
            } catch (const db::Error& e) {
                EXPECT_EQ(e.number(), 3163) << e.description();
                EXPECT_EQ(rows, stop.longTextAt);
            }
            EXPECT_EQ(StateOf(file, "Big"), before);
            EXPECT_EQ(FieldNames(*db, "Big"), before.fields);  // the run's own connection too
            db->BeginTrans();
            db->Rollback();
        }
    }
}

// The walk's progress grows by 99 / N a row and its whole percent ends at 98 or 99, never 100.
TEST_F(Conditioning, WalkProgressGrowsByItsStepAndStopsShortOfHundred) {
    Make({Numbers(2500)});
    std::vector<FieldToCut> fields{{"N", 10, {}}};
    std::vector<vb::Single> percents;
    EXPECT_EQ(ConditionTable(*db, "Big", fields, Settings(CutMethod::EqualWidth, ""), Constant(0.9f),
                             [&](vb::Single p) {
                                 percents.push_back(p);
                                 return false;
                             }),
              ConditionResult::Done);
    ASSERT_EQ(percents.size(), 2500u);
    EXPECT_FLOAT_EQ(percents[0], vb::Single(99.0 / 2500));
    EXPECT_GE(int(percents.back()), 98);
    EXPECT_LT(percents.back(), 100.0f);
}

// A disk that fills in the middle of the walk ends the run with an error and the file as it
// was; so does a process killed there, once the file is opened again.
TEST_F(Conditioning, FullDiskOrKilledProcessLeavesTheCopyAsItWas) {
    {
        testsupport::FullDisk disk;
        file = disk.Path("copy.db");
        testsupport::CreateSqliteFile(file, {Numbers(1000)});
        db = db::DBEngine::OpenDatabase(file);
        const TableState before = StateOf(file, "Big");
        std::vector<FieldToCut> fields{{"N", 5, {}}, {"S", 5, {}}};
        int rows = 0;
        EXPECT_THROW(ConditionTable(*db, "Big", fields, Settings(CutMethod::EqualWidth, ""), Constant(0.1f),
                                    [&](vb::Single) {
                                        if (++rows == 400) disk.Fill();
                                        return false;
                                    }),
                     db::Error);
        db.reset();
        disk.Free();
        EXPECT_EQ(StateOf(file, "Big"), before);
    }

    Make({Numbers(2500)});
    const TableState before = StateOf(file, "Big");
    db.reset();  // the child opens its own connection: SQLite's are not to cross a fork
    const auto killedInTheWalk = [&] {
        auto child = db::DBEngine::OpenDatabase(file);
        std::vector<FieldToCut> fields{{"N", 5, {}}};
        int rows = 0;
        ConditionTable(*child, "Big", fields, Settings(CutMethod::EqualWidth, ""), Constant(0.1f), [&](vb::Single) {
            if (++rows == 1800) _exit(7);
            return false;
        });
        _exit(0);
    };
    EXPECT_EXIT(killedInTheWalk(),
        ::testing::ExitedWithCode(7), "");
    EXPECT_EQ(StateOf(file, "Big"), before);
}

// Every run that ends other than Done takes back the columns it added: an empty table fails
// where the walk looks for its last row, and keeps no new column.
TEST_F(Conditioning, EmptyTableFailsAndKeepsNoNewColumn) {
    Make({{"Nothing", {{"X", db::dbDouble}}, {}}});
    std::vector<FieldToCut> fields{{"X", 4, {}}};
    try {
        ConditionTable(*db, "Nothing", fields, Settings(CutMethod::EqualFrequency, ""), RuntimeRandom(), {});
        ADD_FAILURE() << "no error";
    } catch (const db::Error& e) {
        EXPECT_EQ(e.number(), 3021);
        EXPECT_EQ(e.description(), "No current record.");
    }
    EXPECT_EQ(FieldNames(*db, "Nothing"), (std::vector<std::string>{"X"}));
}

// A database that runs no transactions cannot promise all or nothing: it is refused before
// anything is written.
TEST_F(Conditioning, DatabaseWithoutTransactionsIsRefusedUnchanged) {
    auto recording = std::make_shared<testsupport::RecordingDatabase>(db);  // runs none
    const TableState before = StateOf(file, "Data");
    std::vector<FieldToCut> fields{{"X", 4, {}}};
    try {
        ConditionTable(*recording, "Data", fields, Settings(CutMethod::EqualWidth), Constant(0.1f), {});
        ADD_FAILURE() << "no error";
    } catch (const db::Error& e) {
        EXPECT_EQ(e.number(), db::errnum::kNotSupported) << e.description();
    }
    EXPECT_TRUE(recording->Executed().empty());
    EXPECT_EQ(StateOf(file, "Data"), before);
}

// The cuts of a large table report all along: at every field and statement and every
// CutProgress::kUnitsPerReport rows read or boundaries tried, never going back, and a cancel at
// any report ends the run there. Their statements go to SQLite itself: no coded copy of the
// whole table is loaded, silently, inside the first of them.
TEST_F(Conditioning, EntropyCutsReportAllAlongAndStopAtACancel) {
    constexpr int kRows = 60000;
    testsupport::TableSpec t{"Large", {{"Class", db::dbText, 5}, {"X", db::dbDouble}, {"Y", db::dbDouble}}, {}};
    for (int i = 0; i < kRows; ++i)
        t.rows.push_back({Value(i % 7 < 3 || i > 40000 ? "A" : "B"), Value(i * 0.5), Value(double((i * 7919) % kRows))});
    Make({t});
    auto& sqlite = dynamic_cast<db::sqlite::SqliteDatabase&>(*db);
    ASSERT_TRUE(sqlite.InMemoryCounting());
    const auto fields = [] { return std::vector<FieldToCut>{{"X", 5, {}}, {"Y", 5, {}}}; };

    std::vector<vb::Single> percents;
    std::vector<FieldToCut> cut = fields();
    ComputeCuts(*db, "Large", cut, Settings(CutMethod::Entropy, ""), [&](vb::Single p) {
        percents.push_back(p);
        return false;
    });
    EXPECT_FALSE(cut[0].cuts.empty());
    // Each field's two statements alone read 2 x 60,000 grouped rows.
    EXPECT_GE(percents.size(), size_t(2 * 2 * kRows / CutProgress::kUnitsPerReport));
    EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
    EXPECT_EQ(percents.front(), 0.0f);
    EXPECT_GE(percents.back(), 90.0f);
    EXPECT_LE(percents.back(), 99.0f);
    EXPECT_EQ(sqlite.CountingStatistics().loads, 0);
    EXPECT_TRUE(sqlite.InMemoryCounting());

    // A cancel at a report in the middle of a field's split, and at the last one.
    for (const size_t at : {percents.size() / 2, percents.size()}) {
        size_t reports = 0;
        cut = fields();
        EXPECT_THROW(ComputeCuts(*db, "Large", cut, Settings(CutMethod::Entropy, ""),
                                 [&](vb::Single) { return ++reports == at; }),
                     CutsCancelled);
        EXPECT_EQ(reports, at);
    }
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
