// The SQLite file back end beyond the shared contract: opening, creating and repairing files,
// the declared-type mapping, Jet's literal and type rules where SQLite would differ, the
// statements and recordset writes the programs use, and names that need quoting.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "platform/db/column_types.h"
#include "tests/support/db_contract.h"

namespace {

using db::Value;
using testsupport::RowsOf;
using Row = std::vector<Value>;

int32_t ErrorNumber(const std::function<void()>& f, const std::string& named = "") {
    try {
        f();
    } catch (const db::Error& e) {
        if (!named.empty()) {
            EXPECT_NE(e.description().find(named), std::string::npos) << e.description();
        }
        return e.number();
    }
    return 0;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class SqliteFile : public ::testing::Test {
protected:
    std::shared_ptr<db::Database> Make(const std::vector<testsupport::TableSpec>& tables, const std::string& file = "t.db") {
        testsupport::CreateSqliteFile(dir_.Path(file), tables);
        return db::DBEngine::OpenDatabase(dir_.Path(file));
    }
    std::vector<Row> Query(db::Database& db, const std::string& sql) {
        auto rs = db.OpenRecordset(sql, db::dbOpenForwardOnly);
        return RowsOf(rs->GetRows(100000));
    }
    testsupport::TempDir dir_;
};

TEST_F(SqliteFile, OpeningRefusesWhatIsNotASqliteDatabase) {
    std::ofstream(dir_.Path("text.db")) << "this is not a database at all";
    std::ofstream(dir_.Path("empty.db")).close();
    EXPECT_EQ(ErrorNumber([&] { db::DBEngine::OpenDatabase(dir_.Path("none.db")); }, "none.db"), 3024);
    EXPECT_EQ(ErrorNumber([&] { db::DBEngine::OpenDatabase(dir_.path()); }), 3024);
    EXPECT_EQ(ErrorNumber([&] { db::DBEngine::OpenDatabase(dir_.Path("text.db")); }, "text.db"), 3343);
    EXPECT_EQ(ErrorNumber([&] { db::DBEngine::OpenDatabase(dir_.Path("empty.db")); }), 3343);
    EXPECT_EQ(ReadFile(dir_.Path("empty.db")), "");  // not turned into a database
    EXPECT_EQ(ErrorNumber([&] { db::DBEngine::OpenDatabase(dir_.path(), false, false, "Paradox 4.X;"); }), 3170);
    EXPECT_EQ(ErrorNumber([&] { db::DBEngine::OpenDatabase("", false, false, "odbc;DSN=no such source"); }), 3146);
}

TEST_F(SqliteFile, CreatesRepairsAndOpensReadOnly) {
    const std::string path = dir_.Path("new.db");
    auto created = db::DBEngine::CreateDatabase(path);
    EXPECT_EQ(created->Connect(), "");
    EXPECT_EQ(created->Name(), path);
    created->Execute("CREATE TABLE [T] (A TEXT(10))");
    created->Execute("INSERT INTO [T] VALUES ('x')");
    created->Close();
    EXPECT_EQ(ErrorNumber([&] { db::DBEngine::CreateDatabase(path); }), 3204);

    db::DBEngine::RepairDatabase(path);
    auto ro = db::DBEngine::OpenDatabase(path, false, true);
    EXPECT_EQ(Query(*ro, "select * from T"), (std::vector<Row>{{Value("x")}}));
    EXPECT_EQ(ErrorNumber([&] { ro->Execute("DELETE FROM T"); }), 3027);
    auto rs = ro->OpenRecordset("select * from T", db::dbOpenDynaset);
    EXPECT_EQ(ErrorNumber([&] { rs->Edit(); }), 3027);
    EXPECT_EQ(ErrorNumber([&] { db::DBEngine::RepairDatabase(dir_.Path("none.db")); }), 3024);
}

// A read-only connection copies into its own file when the statement names the file, as it
// copies into any other; a make-table statement without a file still may not write.
TEST_F(SqliteFile, ReadOnlyConnectionCopiesIntoItsOwnFileByName) {
    const std::string path = dir_.Path("it's.db");
    testsupport::CreateSqliteFile(path, {{"T", {{"A", db::dbText, 10}, {"N", db::dbLong, 0}},
                                          {{Value("x"), Value(int32_t(1))}, {Value("y"), Value::Null()}}}});
    std::filesystem::create_symlink(path, dir_.Path("link.db"));
    auto ro = db::DBEngine::OpenDatabase(path, false, true);
    EXPECT_EQ(ErrorNumber([&] { ro->Execute("select * into [T2] from [T]"); }), 3027);
    ro->Execute("select * into [T2] IN '" + dir_.Path("link.db") + "' from [T]");
    std::string quoted;  // the apostrophe of the file's name doubled inside the literal
    for (char c : path) quoted += c == '\'' ? std::string("''") : std::string(1, c);
    ro->Execute("select * into [T3] IN '" + quoted + "' from [T]");
    for (const char* copy : {"T2", "T3"}) {
        EXPECT_EQ(Query(*ro, std::string("select * from ") + copy),
                  (std::vector<Row>{{Value("x"), Value(int32_t(1))}, {Value("y"), Value::Null()}}))
            << copy;
        EXPECT_EQ(ro->TableDefs(copy).Fields[1].Type, db::dbLong) << copy;
    }
    EXPECT_EQ(ErrorNumber([&] { ro->Execute("select * into [T2] IN '" + dir_.Path("link.db") + "' from [T]"); }),
              3010);
}

TEST_F(SqliteFile, RepairLeavesADamagedTableAsItWas) {
    testsupport::TableSpec big{"Big", {{"Txt", db::dbText, 200}}, {}};
    for (int i = 0; i < 2000; ++i) big.rows.push_back({Value(std::string(150, char('a' + i % 26)))});
    testsupport::CreateSqliteFile(dir_.Path("bad.db"), {big});
    {
        std::fstream f(dir_.Path("bad.db"), std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(4096 * 3 + 100);  // inside a table page, past the header
        std::string junk(3000, '\xA5');
        f.write(junk.data(), std::streamsize(junk.size()));
    }
    const std::string before = ReadFile(dir_.Path("bad.db"));
    EXPECT_EQ(ErrorNumber([&] { db::DBEngine::RepairDatabase(dir_.Path("bad.db")); }, "bad.db"), 3049);
    EXPECT_EQ(ReadFile(dir_.Path("bad.db")), before);
}

TEST(ColumnTypes, DeclaredTypesMapToJetTypes) {
    struct Case {
        const char* declared;
        db::FieldType type;
        bool typed;
        int32_t size;
    };
    const Case cases[] = {
        {"BOOLEAN", db::dbBoolean, true, 0}, {"bit", db::dbBoolean, true, 0},     {"YESNO", db::dbBoolean, true, 0},
        {"SMALLINT", db::dbInteger, true, 0}, {"Short", db::dbInteger, true, 0},  {"INTEGER", db::dbLong, true, 0},
        {"BIGINT", db::dbLong, true, 0},     {"LONG", db::dbLong, true, 0},       {"REAL", db::dbDouble, true, 0},
        {"DOUBLE", db::dbDouble, true, 0},   {"NUMERIC(10,2)", db::dbDouble, true, 10}, {"SINGLE", db::dbSingle, true, 0},
        {"TEXT", db::dbText, true, 0},       {"VARCHAR(50)", db::dbText, true, 50}, {"char(3)", db::dbText, true, 3},
        {"MEMO", db::dbMemo, true, 0},       {"DATETIME", db::dbDate, true, 0},   {"DATE", db::dbDate, true, 0},
        {"UNSIGNED BIG INT", db::dbLong, true, 0}, {"NATIVE CHARACTER(70)", db::dbText, true, 70},
        {"", db::dbText, false, 0},
    };
    for (const Case& c : cases) {
        db::DeclaredType t = db::FieldTypeFromDeclared(c.declared);
        EXPECT_EQ(t.type, c.type) << c.declared;
        EXPECT_EQ(t.typed, c.typed) << c.declared;
        EXPECT_EQ(t.size, c.size) << c.declared;
    }
    for (db::FieldType t : {db::dbBoolean, db::dbByte, db::dbInteger, db::dbLong, db::dbCurrency, db::dbSingle,
                            db::dbDouble, db::dbDate, db::dbText, db::dbMemo})
        EXPECT_EQ(db::FieldTypeFromDeclared(db::DeclaredTypeFor(t, 20)).type, t) << db::DeclaredTypeFor(t, 20);
    EXPECT_EQ(db::ParseStoredDate("2024-02-29 13:45:10"), 45351 + (13 * 3600 + 45 * 60 + 10) / 86400.0);
    EXPECT_EQ(db::ParseStoredDate("1899-12-30"), 0.0);
    EXPECT_FALSE(db::ParseStoredDate("2024-13-01").has_value());
    EXPECT_FALSE(db::ParseStoredDate("yesterday").has_value());
    // A day its month does not have is no date: it would become the same value as another text.
    for (const char* impossible : {"2024-02-30", "2023-04-31", "2023-02-29", "1900-02-29", "2024-06-31 10:00"})
        EXPECT_FALSE(db::ParseStoredDate(impossible).has_value()) << impossible;
    EXPECT_EQ(db::ParseStoredDate("2000-02-29"), 36585.0);
    EXPECT_EQ(db::ParseStoredDate("2023-12-31"), 45291.0);
}

// Cells come back in their column's Jet type, and a cell that does not fit it is not lost.
TEST_F(SqliteFile, CellsReadAsTheirColumnsType) {
    auto db = Make({{"V", {{"i", db::dbInteger}, {"l", db::dbLong}, {"s", db::dbSingle}, {"d", db::dbDate}, {"b", db::dbBoolean}}, {}}});
    db->Close();
    {
        // Values a foreign writer could leave: an integer past 32 bits, True as -1, text in a number column.
        sqlite3* raw = nullptr;
        sqlite3_open(dir_.Path("t.db").c_str(), &raw);
        sqlite3_exec(raw,
                     "CREATE TABLE U (x); INSERT INTO V VALUES (7, 5000000000, 0.1, '2024-01-02 03:04:05', -1);"
                     "INSERT INTO V VALUES (40000, 'n/a', 2, 45000.5, 0);"
                     "INSERT INTO U VALUES (3), (2.5), ('t'), (NULL)",
                     nullptr, nullptr, nullptr);
        sqlite3_close(raw);
    }
    db = db::DBEngine::OpenDatabase(dir_.Path("t.db"));
    EXPECT_EQ(Query(*db, "select * from V"),
              (std::vector<Row>{
                  {Value(int16_t(7)), Value(5000000000.0), Value(0.1f), Value(db::Date{*db::ParseStoredDate("2024-01-02 03:04:05")}), Value(true)},
                  {Value(int32_t(40000)), Value("n/a"), Value(2.0f), Value(db::Date{45000.5}), Value(false)},
              }));
    EXPECT_EQ(Query(*db, "select x from U"), (std::vector<Row>{{Value(int32_t(3))}, {Value(2.5)}, {Value("t")}, {Value()}}));
    EXPECT_EQ(db->TableDefs("U").Fields[0].Type, db::dbLong);  // an untyped column reports its first value's type
    // A Single compares and groups at single precision, as it reads.
    EXPECT_EQ(Query(*db, "select count(*) from V where s = 0.1"), (std::vector<Row>{{Value(int32_t(1))}}));
    // A date compares as its serial number.
    EXPECT_EQ(Query(*db, "select count(*) from V where d > 45000"), (std::vector<Row>{{Value(int32_t(2))}}));
}

// Literals are bound, never pasted: a column named Yes does not capture the literal yes, and
// a text cannot end the statement it is in.
TEST_F(SqliteFile, LiteralsAndNamesCannotBeConfused) {
    auto db = Make({{"Odd \"Table\"", {{"yes", db::dbLong}, {"flag", db::dbBoolean}, {"it's [x/y", db::dbText, 20}},
                     {{Value(int32_t(0)), Value(true), Value("x\"); DROP TABLE x; --")},
                      {Value(int32_t(1)), Value(false), Value("b")}}}});
    EXPECT_EQ(Query(*db, "select count(*) from [Odd \"Table\"] where flag = yes"), (std::vector<Row>{{Value(int32_t(1))}}));
    EXPECT_EQ(Query(*db, "select count(*) from [Odd \"Table\"] where [yes] = 1"), (std::vector<Row>{{Value(int32_t(1))}}));
    EXPECT_EQ(Query(*db, "select count(*) from [Odd \"Table\"] where [it's [x/y] = \"x\"\"); DROP TABLE x; --\""),
              (std::vector<Row>{{Value(int32_t(1))}}));
    // Jet refuses to compare a text with a number instead of guessing.
    EXPECT_EQ(ErrorNumber([&] { Query(*db, "select count(*) from [Odd \"Table\"] where [it's [x/y] = 1"); }), 3464);
    EXPECT_EQ(ErrorNumber([&] { Query(*db, "select count(*) from [Odd \"Table\"] where [yes] = \"1\""); }), 3464);
    EXPECT_EQ(ErrorNumber([&] { Query(*db, "select [yes], count(*) from [Odd \"Table\"]"); }, "yes"), 3122);
}

// The programs' statements: make a table, add columns, fill and change rows, copy a table into
// another file; the schema cache follows every change, also one made through another connection.
TEST_F(SqliteFile, ExecutesThePrograms) {
    auto db = Make({{"Src", {{"Age", db::dbDouble}, {"Cls", db::dbText, 10}}, {{Value(30.0), Value("a")}, {Value(), Value("b")}}}});
    EXPECT_EQ(Query(*db, "select * from Src").size(), 2u);
    db->Execute("ALTER TABLE [Src] ADD COLUMN [Age_d] TEXT(5)");
    db::Field holdOut;
    holdOut.Name = "ZORV_HoldOut";
    holdOut.Type = db::dbBoolean;
    db->AppendField("Src", holdOut);
    EXPECT_EQ(ErrorNumber([&] { db->AppendField("SRC", holdOut); }), 3191);
    EXPECT_EQ(ErrorNumber([&] { db->Execute("ALTER TABLE Src ADD age DOUBLE"); }), 3380);
    EXPECT_EQ(db->TableDefs("Src").FieldByName("zorv_holdout").Type, db::dbBoolean);
    EXPECT_EQ(db->TableDefs("Src").FieldByName("Age_d").Size, 5);

    db->Execute("UPDATE [Src] SET [Age_d] = \"<40\", ZORV_HoldOut = yes WHERE Age < 40");
    db->Execute("INSERT INTO Src (Age, Cls) VALUES (-1.5, 'c')");
    EXPECT_EQ(ErrorNumber([&] { db->Execute("UPDATE Src SET Age_d = 'too long'"); }, "Age_d"), 3163);
    EXPECT_EQ(Query(*db, "select * from Src"),
              (std::vector<Row>{{Value(30.0), Value("a"), Value("<40"), Value(true)},
                                {Value(), Value("b"), Value(), Value()},
                                {Value(-1.5), Value("c"), Value(), Value()}}));
    db->Execute("DELETE FROM Src WHERE Cls = 'C'");
    EXPECT_EQ(Query(*db, "select count(*) from Src"), (std::vector<Row>{{Value(int32_t(2))}}));

    // The copy into another file keeps the types; a second copy finds the table there.
    auto target = db::DBEngine::CreateDatabase(dir_.Path("target.db"));
    target->Close();
    const std::string copy = "select * into [Copy] IN '" + dir_.Path("target.db") + "' from [Src]";
    db->Execute(copy);
    EXPECT_EQ(ErrorNumber([&] { db->Execute(copy); }, "Copy"), 3010);
    auto copied = db::DBEngine::OpenDatabase(dir_.Path("target.db"));
    EXPECT_EQ(Query(*copied, "select * from [Copy]"), Query(*db, "select * from Src"));
    EXPECT_EQ(copied->TableDefs("Copy").FieldByName("ZORV_HoldOut").Type, db::dbBoolean);
    db->Execute("select Cls into Local from Src where Age Is Not Null");
    EXPECT_EQ(Query(*db, "select * from Local"), (std::vector<Row>{{Value("a")}}));

    // A second connection changes the schema; this one sees it at its next query.
    copied->Execute("ALTER TABLE [Copy] ADD COLUMN Extra LONG");
    auto again = db::DBEngine::OpenDatabase(dir_.Path("target.db"));
    EXPECT_EQ(Query(*copied, "select * from [Copy]")[0].size(), 5u);
    again->Execute("DROP TABLE [Copy]");
    EXPECT_EQ(ErrorNumber([&] { Query(*copied, "select * from [Copy]"); }), 3078);
    EXPECT_EQ(ErrorNumber([&] { copied->Execute("DROP TABLE [Copy]"); }), 3376);
    EXPECT_EQ(ErrorNumber([&] { db->Execute("select * from Src"); }), 3065);
    EXPECT_EQ(ErrorNumber([&] { db->DeleteTable("Nope"); }), 3265);
    db->DeleteTable("Local");
    EXPECT_EQ(db->TableNames(), (std::vector<std::string>{"Src"}));
}

// The label pass walks a dynaset and edits each row; AddNew appends.
TEST_F(SqliteFile, DynasetEditsRowByRow) {
    auto db = Make({{"T", {{"X", db::dbDouble}, {"X_d", db::dbText, 50}, {"ZORV_HoldOut", db::dbBoolean}},
                     {{Value(1.0)}, {Value(2.0)}, {Value()}}}});
    auto rs = db->OpenRecordset("select * from [T]", db::dbOpenDynaset);
    EXPECT_EQ(ErrorNumber([&] { rs->SetField("X_d", Value("x")); }), 3020);
    rs->MoveLast();
    EXPECT_EQ(rs->RecordCount(), 3);
    rs->MoveFirst();
    bool flag = false;
    while (!rs->Eof()) {
        rs->Edit();
        Value x = rs->Fields("X").value();
        rs->SetField("x_d", x.IsNull() ? Value("?") : Value(x.ToDouble() < 1.5 ? "<1.5" : ">1.5"));
        rs->SetField("ZORV_HoldOut", Value(flag = !flag));
        rs->Update();
        EXPECT_EQ(rs->Fields("ZORV_HoldOut").value(), Value(flag));
        rs->MoveNext();
    }
    EXPECT_EQ(ErrorNumber([&] { rs->SetField("nope", Value(1.0)); }), 3020);
    rs->AddNew();
    rs->SetField("X", Value(int32_t(9)));
    EXPECT_EQ(ErrorNumber([&] { rs->SetField("nope", Value(1.0)); }, "nope"), 3265);
    rs->Update();
    rs->Close();
    EXPECT_EQ(ErrorNumber([&] { rs->MoveFirst(); }), 3420);
    EXPECT_EQ(Query(*db, "select * from T"),
              (std::vector<Row>{{Value(1.0), Value("<1.5"), Value(true)},
                                {Value(2.0), Value(">1.5"), Value(false)},
                                {Value(), Value("?"), Value(true)},
                                {Value(9.0), Value(), Value()}}));
    auto snapshot = db->OpenRecordset("select * from T", db::dbOpenSnapshot);
    EXPECT_EQ(ErrorNumber([&] { snapshot->Edit(); }), 3027);
    auto empty = db->OpenRecordset("select * from T where X > 100", db::dbOpenSnapshot);
    EXPECT_TRUE(empty->Eof() && empty->BOF());
    EXPECT_EQ(empty->RecordCount(), 0);
    EXPECT_EQ(ErrorNumber([&] { empty->MoveLast(); }), 3021);
    // A table name alone opens its rows.
    EXPECT_EQ(db->OpenRecordset("T")->FieldCount(), 3);
}

// An edited row shows what the file now holds, in every column that shows it, whether its
// block is still in memory or read again: values the column converts (a Single, a date and a
// Boolean given as numbers, a Long given a fraction), a column listed twice, and a keyset in
// another order than the rows' ids, over more rows than one block.
TEST_F(SqliteFile, DynasetEditShowsTheRowAsStored) {
    testsupport::TableSpec t{"T",
                             {{"N", db::dbLong}, {"S", db::dbSingle}, {"D", db::dbDate}, {"B", db::dbBoolean},
                              {"M", db::dbLong}, {"L", db::dbText, 20}},
                             {}};
    for (int r = 0; r < 150; ++r) t.rows.push_back({Value(int32_t(r)), Value(), Value(), Value(), Value(), Value("old")});
    auto db = Make({t});
    const std::string select = "select N, S, D, B, M, L, S as S2 from [T] where N >= 0 order by N desc";
    auto rs = db->OpenRecordset(select, db::dbOpenDynaset);
    auto current = [&] {
        Row row;
        for (int i = 0; i < rs->FieldCount(); ++i) row.push_back(rs->Fields(i).value());
        return row;
    };
    std::vector<Row> edited;
    db->BeginTrans();
    for (int n = 149; !rs->Eof(); rs->MoveNext(), --n) {
        rs->Edit();
        rs->SetField("S", Value(n / 3.0));
        rs->SetField("D", Value(45000.25 + n));
        rs->SetField("B", Value(double(n % 3)));
        rs->SetField("M", Value(n + 0.5));
        if (n % 2) rs->SetField("L", Value("new " + std::to_string(n)));
        rs->Update();
        edited.push_back(current());
    }
    db->CommitTrans();
    const std::vector<Row> stored = Query(*db, select);
    ASSERT_EQ(stored.size(), 150u);
    EXPECT_EQ(stored[0][1], Value(float(149 / 3.0)));
    EXPECT_EQ(stored[0][6], stored[0][1]);
    EXPECT_EQ(edited, stored);
    std::vector<Row> again;
    for (rs->MoveFirst(); !rs->Eof(); rs->MoveNext()) again.push_back(current());
    EXPECT_EQ(again, stored);
}

}  // namespace

// The programs list table definitions and stored queries apart: tables by name without SQLite's
// own, views in the order they were made. A view over a column its table lacks is a parameter
// query: 3061 with the number of unknown names.
TEST_F(SqliteFile, TablesAndStoredQueriesAreListedApart) {
    Make({{"b", {{"X", db::dbLong}}, {{Value(int32_t(1))}, {Value(int32_t(2))}}}, {"A", {{"Y", db::dbText}}, {}}});
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(dir_.Path("t.db").c_str(), &raw), SQLITE_OK);
    for (const char* sql : {"CREATE TABLE Counter (id INTEGER PRIMARY KEY AUTOINCREMENT)",  // adds sqlite_sequence
                            "CREATE VIEW \"Zeta\" AS SELECT X FROM b WHERE X > 1",
                            "CREATE VIEW alpha (V) AS SELECT Y FROM A",
                            "CREATE VIEW [Ask Rate] AS SELECT X * Rate AS Cost, -- the rate is asked for\n"
                            "b.X, b.\"Due Date\" /* and the date */ FROM b WHERE 'Rate' <> Rate"})
        ASSERT_EQ(sqlite3_exec(raw, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sql;
    sqlite3_close(raw);

    auto db = db::DBEngine::OpenDatabase(dir_.Path("t.db"), false, true);
    EXPECT_EQ(db->TableDefNames(), (std::vector<std::string>{"A", "b", "Counter"}));
    EXPECT_EQ(db->QueryDefNames(), (std::vector<std::string>{"Zeta", "alpha", "Ask Rate"}));
    EXPECT_EQ(Query(*db, "Zeta"), (std::vector<Row>{{Value(int32_t(2))}}));
    EXPECT_EQ(db->TableDefs("alpha").Fields[0].Name, "V");

    for (const auto& open : std::vector<std::function<void()>>{[&] { db->TableDefs("Ask Rate"); },
                                                               [&] { Query(*db, "select * from [ask rate]"); }}) {
        try {
            open();
            ADD_FAILURE() << "a view over missing columns was read";
        } catch (const db::Error& e) {
            EXPECT_EQ(e.number(), 3061);
            EXPECT_EQ(e.description(), "Too few parameters. Expected 2.");  // Rate and b."Due Date"
        }
    }
}
