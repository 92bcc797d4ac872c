// The in-memory counting path against the SQLite path: the database contract with the path on
// and off, identical result blocks (value for value, kinds and bits included) for a table of
// query shapes over a generated table, the queries it leaves to SQLite, and the writes that
// drop the coded copy.
#include <sqlite3.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>
#include <sstream>

#include "platform/db/column_store.h"
#include "platform/db/sqlite_backend.h"
#include "tests/support/db_contract_suite.h"

namespace {

using db::Value;
using testsupport::TableSpec;

db::sqlite::SqliteDatabase& Sqlite(db::Database& db) { return dynamic_cast<db::sqlite::SqliteDatabase&>(db); }

class CountingFactory : public testsupport::BackendFactory {
public:
    explicit CountingFactory(bool inMemory) : inMemory_(inMemory) {}
    std::string Name() const override { return inMemory_ ? "InMemoryCounting" : "SqliteCounting"; }
    std::shared_ptr<db::Database> Create(const std::vector<TableSpec>& tables) override {
        auto db = files_.Create(tables);
        Sqlite(*db).SetInMemoryCounting(inMemory_);
        return db;
    }

private:
    bool inMemory_;
    testsupport::SqliteFileFactory files_;
};

// Statements run on the file by SQLite itself, outside the layer (another connection).
void RunOnFile(const std::string& path, const std::string& sql) {
    sqlite3* h = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &h), SQLITE_OK);
    char* message = nullptr;
    const int rc = sqlite3_exec(h, sql.c_str(), nullptr, nullptr, &message);
    EXPECT_EQ(rc, SQLITE_OK) << (message ? message : "") << " in " << sql;
    sqlite3_free(message);
    sqlite3_close(h);
}

// Same kind and same value; floating values bit for bit.
bool SameCell(const Value& a, const Value& b) {
    if (a.kind() != b.kind()) return false;
    if (a.kind() == Value::Kind::Double) {
        const double x = a.AsDoubleValue(), y = b.AsDoubleValue();
        return std::memcmp(&x, &y, sizeof x) == 0;
    }
    if (a.kind() == Value::Kind::Single) {
        const float x = a.AsSingle(), y = b.AsSingle();
        return std::memcmp(&x, &y, sizeof x) == 0;
    }
    return a == b;
}

std::string Show(const Value& v) {
    std::ostringstream os;
    db::PrintTo(v, &os);
    return os.str();
}

// The whole result of a query: every row, every cell, in order.
std::vector<Value> Cells(db::Database& db, const std::string& sql) {
    auto rs = db.OpenRecordset(sql, db::dbOpenForwardOnly);
    vb::Array<Value> block = rs->GetRows(10'000'000);
    rs->Close();
    std::vector<Value> out;
    for (int32_t r = 0; r <= block.UBound(2); ++r)
        for (int32_t c = 0; c <= block.UBound(1); ++c) out.push_back(block(c, r));
    out.push_back(Value(int32_t(block.UBound(1) + 1)));  // the column count, so shapes differ too
    return out;
}

// A first difference between the two results, or "".
std::string Difference(const std::vector<Value>& a, const std::vector<Value>& b) {
    if (a.size() != b.size()) return "sizes " + std::to_string(a.size()) + " and " + std::to_string(b.size());
    for (size_t i = 0; i < a.size(); ++i)
        if (!SameCell(a[i], b[i])) return "cell " + std::to_string(i) + ": " + Show(a[i]) + " and " + Show(b[i]);
    return "";
}

// A generated table whose columns hold what makes counting hard: texts in several spellings of
// one value, "?" (in a number column too), Null, punctuation that NOCASE orders between the capitals and the small
// letters, non-ASCII letters that it does not fold, Booleans with Null, Singles stored with
// more digits than they hold, date texts, weights (whole and floating, the floating ones of
// very different sizes so that the order of the additions shows), and columns of many values.
TableSpec GeneratedTable(int rows, uint32_t seed) {
    std::mt19937 rng(seed);
    auto pick = [&](int n) { return int(rng() % uint32_t(n)); };
    const char* labels[] = {"a", "A", "b", "B", "?", "a_b", "A[", "ab", "\xC3\xA9", "\xC3\x89", "say \"hi\"", ""};
    const double weights[] = {0.1, 1e15, 3.3, -1e15, 2.5e-3, 7.0};
    TableSpec t;
    t.name = "T";
    t.columns = {{"cls", db::dbText, 50}, {"num", db::dbLong},      {"price", db::dbDouble}, {"s", db::dbSingle},
                 {"zorv_holdout", db::dbBoolean}, {"w", db::dbLong}, {"wd", db::dbDouble},   {"d", db::dbDate},
                 {"t2", db::dbText, 20},  {"k1", db::dbLong},       {"k2", db::dbLong},      {"k3", db::dbLong},
                 {"small", db::dbInteger}};
    for (int r = 0; r < rows; ++r) {
        std::vector<Value> row;
        row.push_back(pick(15) == 0 ? Value() : Value(labels[pick(12)]));
        // A text in a number column: grouped and compared as SQLite holds it, after the numbers.
        row.push_back(pick(12) == 0 ? Value() : pick(25) == 0 ? Value("?") : Value(int32_t(pick(9) - 3)));
        row.push_back(pick(10) == 0 ? Value() : Value(0.75 * pick(8)));
        row.push_back(pick(10) == 0 ? Value() : Value(float(0.1 * pick(7))));
        row.push_back(pick(7) == 0 ? Value() : Value(pick(3) == 0));
        row.push_back(Value(int32_t(1 + pick(5))));
        row.push_back(pick(20) == 0 ? Value() : Value(weights[pick(6)]));
        row.push_back(pick(9) == 0 ? Value() : Value(db::Date{43000.0 + pick(20) + (pick(2) ? 0.25 : 0.0)}));
        row.push_back(Value("v" + std::to_string(pick(200))));
        for (int k = 0; k < 3; ++k) row.push_back(Value(int32_t(pick(3000))));
        row.push_back(Value(int16_t(pick(4))));
        t.rows.push_back(std::move(row));
    }
    return t;
}

// The generated table in a file, opened twice: once with the in-memory path, once without.
struct TwoPaths {
    testsupport::TempDir dir;
    std::string path = dir.Path("t.db");
    std::shared_ptr<db::Database> memory, sqlite;

    explicit TwoPaths(int rows = 3000, uint32_t seed = 7) {
        testsupport::CreateSqliteFile(path, {GeneratedTable(rows, seed)});
        // A column without a declared type, holding numbers and texts (and Null).
        RunOnFile(path, "ALTER TABLE T ADD COLUMN u; UPDATE T SET u = CASE rowid % 5 WHEN 0 THEN NULL WHEN 1 THEN "
                        "rowid % 4 WHEN 2 THEN 'x' || (rowid % 3) WHEN 3 THEN 'X' || (rowid % 3) ELSE 2.5 END");
        Open();
    }
    void Open() {
        memory = db::DBEngine::OpenDatabase(path);
        sqlite = db::DBEngine::OpenDatabase(path);
        Sqlite(*memory).SetInMemoryCounting(true);
        Sqlite(*sqlite).SetInMemoryCounting(false);
    }
    const db::sqlite::CountingStats& Stats() { return Sqlite(*memory).CountingStatistics(); }
};

}  // namespace

INSTANTIATE_DB_CONTRACT(InMemory, std::make_shared<CountingFactory>(true));
INSTANTIATE_DB_CONTRACT(SqliteOnly, std::make_shared<CountingFactory>(false));

namespace {

// The shapes the engines send and their neighbours, each answered from the store.
TEST(ColumnStore, AnswersEveryCountShapeAsSqliteDoes) {
    TwoPaths p;
    const char* queries[] = {
        "select count(*) from [T]",
        "select  Count(*) from [T] WHERE zorv_holdout=no ",
        "select  Sum([w]) from [T] WHERE zorv_holdout=yes",
        "select  Sum([wd]) from [T]",
        "select  Count(*) , cls from [T] group by cls",
        "select  Count(*) , cls,num, price from [T] group by cls,num,price",
        "select  Sum([w]) , cls, zorv_holdout from [T] group by cls,zorv_holdout",
        "select  Sum([wd]) , cls,num from [T] group by cls,num",
        "select  Sum([wd]) , cls, num from [T] WHERE zorv_holdout=no  group by cls,num",
        "select  Count(*) ,num, cls from [T] WHERE cls = \"a\" And zorv_holdout=no  group by num,cls",
        "select  Count(*) , s from [T] group by s",
        "select  Count(*) , s from [T] WHERE s = 0.3 group by s",
        "select  Count(*) , d, small from [T] group by d, small",
        "select  Count(*) , d from [T] WHERE d >= 43010.25 group by d",
        "select  Count(*) , u from [T] group by u",
        "select  Count(*) , u from [T] WHERE u = \"x1\" group by u",
        "select  Count(*) , u from [T] WHERE u > 1 group by u",
        "select Sum(zorv_holdout), Count(price), cls from [T] group by cls",
        "select Sum(small), Sum(s), t2 from [T] group by t2",
        "select Count(*), cls from [T] where num > 0 And price <= 2.25 And cls <> \"b\" group by cls",
        "select Count(*), cls from [T] where cls < \"b\" And cls >= \"A\" group by cls",
        "select Count(*), num from [T] where cls Is Null And price Is Not Null group by num",
        "select Count(*), num from [T] where zorv_holdout = True And small = 2 group by num",
        // A number column as a flag: non-zero is yes; Null is no; a text "?" is yes, as SQLite has it.
        "select Count(*), cls from [T] where num = yes group by cls",
        "select Count(*), cls from [T] where num = no And small = False group by cls",
        "select Count(*), cls from [T] where s <> yes group by cls",
        "select Count(*), t2, cls, num from [T] group by t2, cls, num",
        // Keys too wide for 64 bits: the first digits are ranked before the rest are added.
        "select Count(*), k1, k2, k3, t2, cls, num, price, s from [T] group by k1, k2, k3, t2, cls, num, price, s",
        "select distinct cls from [T]",
        "select distinct num from [T]",
        "select distinct zorv_holdout from [T]",
        "select distinct s from [T]",
        "select distinct d from [T] where zorv_holdout=no",
        "select distinct u from [T]",
        "select distinct cls, num from [T]",
        "select  Count(*) , cls from [T] WHERE cls = \"nothing\" group by cls",
        "select  Count(*) , cls from [T] group by cls, cls order by cls",
    };
    for (const char* sql : queries) {
        const int64_t answered = p.Stats().answered;
        std::vector<Value> expected = Cells(*p.sqlite, sql);
        std::vector<Value> got = Cells(*p.memory, sql);
        EXPECT_EQ(Difference(got, expected), "") << sql;
        EXPECT_EQ(p.Stats().answered, answered + 1) << sql << ": " << p.Stats().lastFallback;
    }
    EXPECT_EQ(p.Stats().loads, 1);
}

// Queries the store cannot answer exactly go to SQLite and give its results.
TEST(ColumnStore, LeavesWhatItCannotCopyToSqlite) {
    TwoPaths p;
    // 1 and 1.0 group as one in a column without a type, and the row SQLite shows is its own.
    RunOnFile(p.path, "CREATE TABLE M (v, n INTEGER); INSERT INTO M VALUES (1, 1), (1.0, 2), (2, 3), (NULL, 4);"
                      "CREATE TABLE WB (b BLOB, n INTEGER); INSERT INTO WB VALUES (x'00', 1), (x'01', 2);"
                      "CREATE TABLE IX (g TEXT, w DOUBLE); CREATE INDEX IX_g ON IX (g);"
                      "INSERT INTO IX VALUES ('b', 1e16), ('a', 1), ('B', -1e16), ('a', 0.5), ('A', 1e16), ('b', 3);");
    p.Open();
    struct Case {
        const char* sql;
        const char* why;
    };
    const Case cases[] = {
        {"select Count(*), cls from [T] where cls = \"a\" Or num = 1 group by cls", "And"},
        {"select Max(num), cls from [T] group by cls", "Count, Sum"},
        {"select Count(*), cls from [T] group by cls order by cls desc", "order"},
        {"select Count(*), num from [T] where Not (num = 1) group by num", "And"},
        {"select Count(*), v from [M] group by v", "stored differently"},
        {"select Sum(n), b from [WB] group by b", "blobs"},
        {"select Sum(w), g from [IX] group by g", "floating sum"},
        {"select Sum(w), g from [IX] where g = \"a\" group by g", "floating sum"},
    };
    for (const Case& c : cases) {
        const int64_t fellBack = p.Stats().fellBack;
        EXPECT_EQ(Difference(Cells(*p.memory, c.sql), Cells(*p.sqlite, c.sql)), "") << c.sql;
        EXPECT_EQ(p.Stats().fellBack, fellBack + 1) << c.sql;
        EXPECT_NE(p.Stats().lastFallback.find(c.why), std::string::npos) << c.sql << ": " << p.Stats().lastFallback;
    }
    // An integer sum of the index's table is exact in any order, so the store answers it.
    const int64_t answered = p.Stats().answered;
    const char* exact = "select Count(*), g from [IX] group by g";
    EXPECT_EQ(Difference(Cells(*p.memory, exact), Cells(*p.sqlite, exact)), "");
    EXPECT_EQ(p.Stats().answered, answered + 1);
}

// A sum that overflows the integers is SQLite's error on both paths.
TEST(ColumnStore, IntegerOverflowIsSqlitesError) {
    TwoPaths p;
    RunOnFile(p.path, "CREATE TABLE O (g TEXT, n INTEGER); INSERT INTO O VALUES ('a', 9223372036854775807), ('a', 1);");
    p.Open();
    int numbers[2] = {0, 0};
    int i = 0;
    for (auto* db : {p.memory.get(), p.sqlite.get()}) {
        try {
            Cells(*db, "select Sum(n), g from [O] group by g");
        } catch (const db::Error& e) {
            numbers[i] = e.number();
        }
        ++i;
    }
    EXPECT_NE(numbers[0], 0);
    EXPECT_EQ(numbers[0], numbers[1]);
}

// Every way of writing reaches the counts: the database's statements, a recordset's updates,
// a new field, and another connection's writes.
TEST(ColumnStore, AWriteDropsTheCodedCopy) {
    TwoPaths p;
    const std::string sql = "select  Count(*) , cls, zorv_holdout from [T] group by cls,zorv_holdout";
    auto same = [&](const char* after) {
        EXPECT_EQ(Difference(Cells(*p.memory, sql), Cells(*p.sqlite, sql)), "") << after;
    };
    same("first");
    const std::vector<Value> before = Cells(*p.memory, sql);
    struct Write {
        const char* what;
        std::function<void()> run;
    };
    const Write writes[] = {
        {"Execute", [&] { p.memory->Execute("UPDATE [T] SET cls = 'new' WHERE num = 1"); }},
        {"recordset", [&] {
             auto rs = p.memory->OpenRecordset("select * from [T]", db::dbOpenDynaset);
             rs->AddNew();
             rs->SetField("cls", Value("added"));
             rs->Update();
             rs->MoveFirst();
             rs->Edit();
             rs->SetField("cls", Value("edited"));
             rs->Update();
             rs->Close();
         }},
        {"AppendField", [&] {
             db::Field f;
             f.Name = "extra";
             f.Type = db::dbLong;
             p.memory->AppendField("T", f);
         }},
        {"another connection", [&] { RunOnFile(p.path, "DELETE FROM T WHERE num = 2"); }},
        {"the other database", [&] { p.sqlite->Execute("UPDATE [T] SET zorv_holdout = yes WHERE num = 3"); }},
    };
    int64_t loads = p.Stats().loads;
    for (const Write& w : writes) {
        w.run();
        same(w.what);
        EXPECT_EQ(p.Stats().loads, loads + 1) << w.what;
        loads = p.Stats().loads;
    }
    EXPECT_NE(Difference(Cells(*p.memory, sql), before), "");
}

// Another tool may store True as -1 or 2: both paths group, order and de-duplicate a Boolean
// by its Jet value (Null first, True before False) and show Value(true) / Value(false).
TEST(ColumnStore, BooleansGroupByTheirJetValue) {
    testsupport::TempDir dir;
    const std::string path = dir.Path("b.db");
    RunOnFile(path, "CREATE TABLE JB (b BOOLEAN, n INTEGER); INSERT INTO JB VALUES "
                    "(1, 1), (-1, 2), (2, 4), (0, 8), (NULL, 16), (0, 32), (1.0, 64);");
    const Value t(true), f(false), null;
    auto L = [](int32_t v) { return Value(v); };
    struct Case {
        const char* sql;
        std::vector<Value> cells;  // row by row, then the column count
    };
    const Case cases[] = {
        {"select Count(*), b from [JB] group by b", {L(1), null, L(4), t, L(2), f, L(2)}},
        {"select distinct b from [JB]", {null, t, f, L(1)}},
        {"select Sum(n), b from [JB] group by b", {L(16), null, L(71), t, L(40), f, L(2)}},
        {"select Count(*), b from [JB] where b = yes group by b", {L(4), t, L(2)}},
        {"select Count(*) from [JB] where b = yes", {L(4), L(1)}},
        {"select Count(*) from [JB] where b = no", {L(3), L(1)}},
        {"select Sum(b) from [JB]", {L(-4), L(1)}},
    };
    for (bool inMemory : {true, false}) {
        auto db = db::DBEngine::OpenDatabase(path);
        Sqlite(*db).SetInMemoryCounting(inMemory);
        for (const Case& c : cases) {
            const int64_t answered = Sqlite(*db).CountingStatistics().answered;
            EXPECT_EQ(Difference(Cells(*db, c.sql), c.cells), "") << c.sql << (inMemory ? " (in memory)" : "");
            // The in-memory path answers these itself rather than leaving them to SQLite.
            if (inMemory) {
                EXPECT_EQ(Sqlite(*db).CountingStatistics().answered, answered + 1)
                    << c.sql << ": " << Sqlite(*db).CountingStatistics().lastFallback;
            }
        }
    }
}

TEST(ColumnStore, TheSwitchSendsEverythingToSqlite) {
    testsupport::TempDir dir;
    testsupport::CreateSqliteFile(dir.Path("t.db"), {GeneratedTable(50, 1)});
    ::setenv("BNSUITE_COUNTING", "sqlite", 1);
    auto off = db::DBEngine::OpenDatabase(dir.Path("t.db"));
    ::unsetenv("BNSUITE_COUNTING");
    auto on = db::DBEngine::OpenDatabase(dir.Path("t.db"));
    EXPECT_FALSE(Sqlite(*off).InMemoryCounting());
    EXPECT_TRUE(Sqlite(*on).InMemoryCounting());
    const char* sql = "select  Count(*) , cls from [T] group by cls";
    EXPECT_EQ(Difference(Cells(*on, sql), Cells(*off, sql)), "");
    EXPECT_EQ(Sqlite(*off).CountingStatistics().answered + Sqlite(*off).CountingStatistics().loads, 0);
    EXPECT_EQ(Sqlite(*on).CountingStatistics().answered, 1);
}

// The recordset over a computed result walks like the streamed one.
TEST(ColumnStore, RecordsetWalksLikeSqlites) {
    TwoPaths p;
    const char* sql = "select  Count(*) , cls from [T] group by cls";
    std::vector<std::string> walks[2];
    int i = 0;
    for (auto* db : {p.memory.get(), p.sqlite.get()}) {
        auto rs = db->OpenRecordset(sql, db::dbOpenSnapshot);
        std::string& w = walks[i].emplace_back();
        w += std::to_string(rs->RecordCount()) + (rs->BOF() ? "B" : "b");
        rs->MoveLast();
        w += std::to_string(rs->RecordCount()) + Show(rs->Fields("cls").value());
        rs->MoveFirst();
        w += rs->Fields(1).Name + std::to_string(rs->Fields(0).Type) + std::to_string(rs->FieldCount());
        for (; !rs->Eof(); rs->MoveNext()) w += Show(rs->Fields(0).value()) + Show(rs->Fields(1).value());
        EXPECT_THROW(rs->Fields(0).value(), db::Error);
        EXPECT_THROW(rs->AddNew(), db::Error);
        w += std::to_string(rs->GetRows(5).UBound(2));
        rs->MoveFirst();
        w += std::to_string(rs->GetRows(3).UBound(2)) + std::to_string(rs->GetRows(100).UBound(2));
        rs->Close();
        ++i;
    }
    EXPECT_EQ(walks[0], walks[1]);
}

// A keyset walk reads its rows in blocks: each row shows where its id stands in the result
// order (here against the row ids' order), a row deleted since shows as Null, an edited one its
// new values.
TEST(KeysetRecordset, BlocksShowEachRowWhereItsIdStands) {
    testsupport::TempDir dir;
    const std::string path = dir.Path("k.db");
    TableSpec t;
    t.name = "K";
    t.columns = {{"id", db::dbLong}, {"txt", db::dbText, 20}};
    for (int r = 0; r < 300; ++r) {
        const int id = (r * 37) % 300;  // ids not in row-id order
        t.rows.push_back({Value(int32_t(id)), Value("t" + std::to_string(id))});
    }
    testsupport::CreateSqliteFile(path, {t});
    auto db = db::DBEngine::OpenDatabase(path);
    auto rs = db->OpenRecordset("select * from [K] order by id desc", db::dbOpenDynaset);
    auto walk = [&] {
        std::vector<std::string> seen;
        for (rs->MoveFirst(); !rs->Eof(); rs->MoveNext())
            seen.push_back(Show(rs->Fields(0).value()) + Show(rs->Fields(1).value()));
        return seen;
    };
    std::vector<std::string> expected;
    for (int id = 299; id >= 0; --id)
        expected.push_back(Show(Value(int32_t(id))) + Show(Value("t" + std::to_string(id))));
    EXPECT_EQ(walk(), expected);

    RunOnFile(path, "DELETE FROM K WHERE id % 7 = 0; UPDATE K SET txt = 'new' WHERE id % 5 = 0");
    for (int id = 299; id >= 0; --id) {
        std::string& e = expected[size_t(299 - id)];
        if (id % 7 == 0) e = "NullNull";
        else if (id % 5 == 0) e = Show(Value(int32_t(id))) + Show(Value("new"));
    }
    EXPECT_EQ(walk(), expected);
    rs->Close();
}

}  // namespace

namespace {

// A counter's rows against the select of the same filter: every column, every row, kinds and
// bits included; the Boolean column also holds True stored as -1 and 2.
TEST(CounterRows, AreTheCellsTheSelectReads) {
    TwoPaths p;
    RunOnFile(p.path, "UPDATE T SET zorv_holdout = -1 WHERE rowid % 11 = 0; UPDATE T SET zorv_holdout = 2 WHERE rowid % 13 = 0");
    p.Open();
    const std::vector<std::string> names = {"cls", "num", "price", "s", "zorv_holdout", "w", "wd",
                                            "d", "t2", "k1", "k2", "k3", "small", "u"};
    for (const std::string where : {"", " where zorv_holdout=yes", " where zorv_holdout=no"}) {
        const std::vector<Value> select = Cells(*p.sqlite, "select * from [T]" + where);
        const size_t columns = names.size(), rows = (select.size() - 1) / columns;
        ASSERT_EQ(select.back(), Value(int32_t(columns)));
        std::unique_ptr<db::GroupCounter> counter = p.memory->GroupCounts(" Count(*) ", "[T]", where, names);
        ASSERT_TRUE(counter) << where;
        for (size_t f = 0; f < columns; ++f) {
            std::vector<uint32_t> codes;
            const std::vector<Value>* cells = nullptr;
            ASSERT_TRUE(counter->Rows(int(f), codes, cells)) << names[f] << where;
            ASSERT_EQ(codes.size(), rows) << names[f] << where;
            std::string first;
            for (size_t r = 0; r < rows && first.empty(); ++r)
                if (codes[r] >= cells->size() || !SameCell((*cells)[codes[r]], select[r * columns + f]))
                    first = "row " + std::to_string(r) + ": " + Show(select[r * columns + f]);
            EXPECT_EQ(first, "") << names[f] << where;
        }
    }
}

// Where the copy cannot say which cell a select reads, or in which order, the counter gives no
// rows: a column whose group holds values stored differently, a table with an index, and any
// counter made before a write.
TEST(CounterRows, DeclineWhereTheSelectCouldDiffer) {
    TwoPaths p;
    RunOnFile(p.path, "CREATE TABLE M (v, n INTEGER); INSERT INTO M VALUES (1, 1), (1.0, 2), (NULL, 4);"
                      "CREATE TABLE IX (g TEXT, w DOUBLE); CREATE INDEX IX_g ON IX (g);"
                      "INSERT INTO IX VALUES ('b', 1), ('a', 2);");
    p.Open();
    std::vector<uint32_t> codes;
    const std::vector<Value>* cells = nullptr;
    auto rows = [&](const char* table, const std::vector<std::string>& fields, int f) {
        std::unique_ptr<db::GroupCounter> counter = p.memory->GroupCounts(" Count(*) ", table, "", fields);
        return counter && counter->Rows(f, codes, cells);
    };
    EXPECT_FALSE(rows("[M]", {"v", "n"}, 0));
    EXPECT_TRUE(rows("[M]", {"v", "n"}, 1));
    EXPECT_FALSE(rows("[IX]", {"g", "w"}, 0));
    EXPECT_FALSE(rows("[M]", {"v", "n"}, 2));

    std::unique_ptr<db::GroupCounter> counter = p.memory->GroupCounts(" Count(*) ", "[T]", "", {"cls"});
    ASSERT_TRUE(counter);
    ASSERT_TRUE(counter->Rows(0, codes, cells));
    p.memory->Execute("UPDATE [T] SET cls = 'new' WHERE num = 1");
    EXPECT_FALSE(counter->Rows(0, codes, cells));
}

}  // namespace
