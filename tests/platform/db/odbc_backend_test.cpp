// The ODBC back end on its two test drivers: the driver manager's lists, the connect strings the
// programs build and the one the database reports, the driver's reasons in errors, the
// catalog's types, results equal to the file back end's on data that tells the Jet rules apart,
// and the statements that write.
#include <gtest/gtest.h>

#include "platform/db/odbc.h"
#include "platform/db/odbc_backend.h"
#include "tests/support/db_contract.h"
#include "tests/support/odbc_servers.h"

namespace {

using db::Value;
using testsupport::BackendFactory;
using testsupport::RowsOf;
using testsupport::TableSpec;
using Row = std::vector<Value>;

const Value kNull;
Value L(int32_t v) { return Value(v); }
Value D(double v) { return Value(v); }
Value T(const char* v) { return Value(v); }
Value B(bool v) { return Value(v); }
Value W(double serial) { return Value(db::Date{serial}); }

std::vector<Row> Query(db::Database& db, const std::string& sql) {
    auto rs = db.OpenRecordset(sql, db::dbOpenSnapshot);
    std::vector<Row> rows = RowsOf(rs->GetRows(100000));
    rs->Close();
    return rows;
}

template <typename F>
db::Error ErrorOf(F&& f) {
    try {
        f();
    } catch (const db::Error& e) {
        return e;
    }
    ADD_FAILURE() << "no error";
    return db::Error(0, "");
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(OdbcSources, ListTheDataSourcesAndDriversOfTheIniFiles) {
    testsupport::StartOdbcServers();
    for (int pass = 0; pass < 2; ++pass) {  // a second listing starts from the first entry again
        std::vector<db::OdbcDataSource> sources = db::OdbcDataSources();
        ASSERT_EQ(sources.size(), 3u);
        EXPECT_EQ(sources[0].name, "bns_sqlite");
        EXPECT_EQ(sources[0].driver, "SQLite3");
        EXPECT_EQ(sources[1].name, "bns_pg");
        EXPECT_EQ(sources[1].driver, "PostgreSQL Unicode");
        EXPECT_EQ(sources[2].name, "bns_my");
        EXPECT_EQ(sources[2].driver, "MariaDB Unicode");
    }
    std::vector<db::OdbcDriver> drivers = db::OdbcDrivers();
    ASSERT_EQ(drivers.size(), 3u);
    EXPECT_EQ(drivers[0].name, "SQLite3");
    EXPECT_EQ(drivers[1].name, "PostgreSQL Unicode");
    EXPECT_EQ(drivers[2].name, "MariaDB Unicode");
    bool named = false;
    for (const std::string& a : drivers[1].attributes) named = named || Contains(a, "psqlodbcw.so");
    EXPECT_TRUE(named) << "the driver's attributes name its library";
}

// The strings the data-source page builds open, and the database's own Connect text (what the
// later steps store) opens the same source again.
TEST(OdbcConnect, OpensTheConnectStringsTheProgramsBuild) {
    const testsupport::OdbcServers& s = testsupport::StartOdbcServers();
    testsupport::RunNativeSql("DSN=" + s.pgDsn, {"CREATE TABLE IF NOT EXISTS wizard_probe (x integer)"});
    testsupport::RunNativeSql("DSN=" + s.sqliteDsn, {"CREATE TABLE IF NOT EXISTS wizard_probe (x INTEGER)"});
    testsupport::RunNativeSql("DSN=" + s.myDsn, {"CREATE TABLE IF NOT EXISTS wizard_probe (x int)"});
    const std::string connects[] = {
        "ODBC;DSN=bns_pg;UID=bnstest;PWD=;",
        "ODBC;DSN=bns_pg;UID=bnstest;PWD=;Database=bnstest;",
        "ODBC;Driver=PostgreSQL Unicode;Server=" + s.socketDir + ";UID=bnstest;PWD=;Database=bnstest;Port=" +
            std::to_string(s.port) + ";",
        "ODBC;DSN=bns_sqlite;UID=;PWD=;",
        "ODBC;Driver=SQLite3;Database=" + s.dir + "/sqlite/dsn.db;",
        "odbc;DSN=bns_sqlite",
        "ODBC;DSN=bns_my;UID=bnstest;PWD=;",
        "ODBC;Driver=MariaDB Unicode;Server=127.0.0.1;UID=bnstest;PWD=;Database=bnstest;Port=" +
            std::to_string(s.myPort) + ";",
    };
    for (const std::string& connect : connects) {
        SCOPED_TRACE(connect);
        auto db = db::DBEngine::OpenDatabase("", false, true, connect);
        const std::string reported = db->Connect();
        EXPECT_EQ(reported.rfind("ODBC;", 0), 0u) << reported;
        EXPECT_FALSE(db->Name().empty());
        auto again = db::DBEngine::OpenDatabase("", false, true, reported);
        EXPECT_EQ(again->Connect(), reported);
        std::vector<std::string> names = again->TableNames();
        EXPECT_NE(std::find(names.begin(), names.end(), "wizard_probe"), names.end());
        EXPECT_EQ(Query(*again, "select count(*) from [wizard_probe]"), (std::vector<Row>{{L(0)}}));
        db->Close();
        again->Close();
    }
}

// Every failure the driver reports is Jet's 3146 followed by the driver's own words.
TEST(OdbcErrors, CarryTheDriversReason) {
    const testsupport::OdbcServers& s = testsupport::StartOdbcServers();
    struct Case {
        std::string connect;
        const char* reason;
    };
    const Case cases[] = {
        {"ODBC;DSN=no_such_source;UID=;PWD=;", "IM002"},
        {"ODBC;DSN=bns_pg;UID=nobody;PWD=;", "nobody"},
        {"ODBC;Driver=PostgreSQL Unicode;Server=" + s.dir + "/nowhere;Port=" + std::to_string(s.port) + ";UID=bnstest;",
         "nowhere"},
        {"ODBC;DSN=bns_pg;UID=bnstest;PWD=;Database=no_such_db;", "no_such_db"},
    };
    for (const Case& c : cases) {
        db::Error e = ErrorOf([&] { db::DBEngine::OpenDatabase("", false, true, c.connect); });
        EXPECT_EQ(e.number(), db::errnum::kOdbcCallFailed) << c.connect;
        EXPECT_EQ(e.description().rfind("ODBC--call failed.", 0), 0u) << e.description();
        EXPECT_TRUE(Contains(e.description(), c.reason)) << c.connect << ": " << e.description();
    }

    // A statement the server refuses: the table went away behind the database's back.
    testsupport::PostgresOdbcFactory factory;
    auto db = factory.Create({{"Gone", {{"a", db::dbLong}}, {{L(1)}}}});
    EXPECT_EQ(db->TableDefs("Gone").Fields.size(), 1u);
    testsupport::RunNativeSql(factory.lastConnect(), {"DROP TABLE \"Gone\""});
    db::Error e = ErrorOf([&] { Query(*db, "select count(*) from [Gone]"); });
    EXPECT_EQ(e.number(), db::errnum::kOdbcCallFailed);
    EXPECT_TRUE(Contains(e.description(), "Gone") && Contains(e.description(), "does not exist")) << e.description();
    db->Close();
}

// The PostgreSQL driver is asked to read results from a server cursor, whichever way the
// connect string names it, unless the string sets that itself; other drivers are left alone.
TEST(OdbcConnect, AsksThePostgreSqlDriverForAServerCursor) {
    const testsupport::OdbcServers& s = testsupport::StartOdbcServers();
    for (const std::string& connect : {"DSN=" + s.pgDsn, s.PgConnect(s.pgDatabase)}) {
        const std::string with = db::odbc::WithServerCursor(connect);
        EXPECT_EQ(db::odbc::ConnectValue(with, "UseDeclareFetch"), "1") << connect;
        EXPECT_EQ(db::odbc::ConnectValue(with, "Fetch"), std::to_string(db::odbc::kBlockRows)) << connect;
        EXPECT_EQ(with.substr(0, connect.size()), connect);
    }
    const std::string own = "DSN=" + s.pgDsn + ";UseDeclareFetch=0";
    EXPECT_EQ(db::odbc::WithServerCursor(own), own);
    const std::string sqlite = "DSN=" + s.sqliteDsn + ";";
    EXPECT_EQ(db::odbc::WithServerCursor(sqlite), sqlite);
}

// Server types read as Jet's codes, cells typed by them; names answer in any case.
TEST(OdbcCatalog, ServerTypesReadAsJetTypes) {
    struct TypeCase {
        const char* pg;
        const char* sqlite;
        const char* my;
        const char* literal;
        db::FieldType type;
        Value value;
    };
    const TypeCase cases[] = {
        {"boolean", "BOOLEAN", "bit(1)", "TRUE", db::dbBoolean, B(true)},
        {"smallint", "SMALLINT", "smallint", "-7", db::dbInteger, Value(int16_t(-7))},
        {"integer", "INTEGER", "int", "70000", db::dbLong, L(70000)},
        {"bigint", "BIGINT", "bigint", "5000000000", db::dbLong, D(5e9)},  // beyond a Long: read as Double
        {"real", "SINGLE", "float", "0.25", db::dbSingle, Value(0.25f)},
        {"double precision", "DOUBLE", "double", "-2.5", db::dbDouble, D(-2.5)},
        {"numeric(10,2)", "NUMERIC", "decimal(10,2)", "12.75", db::dbDouble, D(12.75)},
        {"timestamp", "DATETIME", "datetime", "'2024-01-01 12:00:00'", db::dbDate, W(45292.5)},
        {"date", "DATE", "date", "'2024-01-01'", db::dbDate, W(45292)},
        {"time", "TIME", "time", "'06:00:00'", db::dbDate, W(0.25)},
        {"varchar(20)", "VARCHAR(20)", "varchar(20)", "'x''y'", db::dbText, T("x'y")},
        {"text", "TEXT", "text", "'Ünïcode'", db::dbText, T("Ünïcode")},
        {"boolean", "BOOLEAN", "bit(1)", "FALSE", db::dbBoolean, B(false)},  // a zero byte there
    };
    using testsupport::NativeServer;
    for (NativeServer server : {NativeServer::Postgres, NativeServer::Sqlite, NativeServer::MariaDb}) {
        const bool pg = server == NativeServer::Postgres;
        SCOPED_TRACE(pg ? "PostgreSQL" : server == NativeServer::Sqlite ? "SQLite" : "MariaDB");
        auto typeOf = [&](const TypeCase& c) { return pg ? c.pg : server == NativeServer::Sqlite ? c.sqlite : c.my; };
        std::string ddl = "CREATE TABLE Typed (", values;
        for (size_t i = 0; i < std::size(cases); ++i) {
            std::string literal = cases[i].literal;
            if (!pg && literal == "TRUE") literal = "1";
            if (!pg && literal == "FALSE") literal = "0";
            ddl += (i ? ", " : "") + std::string("c") + std::to_string(i) + " " + typeOf(cases[i]);
            values += (i ? ", " : "") + literal;
        }
        testsupport::PostgresOdbcFactory pgFactory;
        testsupport::SqliteOdbcFactory sqliteFactory;
        testsupport::MariaDbOdbcFactory myFactory;
        testsupport::BackendFactory& factory = pg ? static_cast<testsupport::BackendFactory&>(pgFactory)
                                               : server == NativeServer::Sqlite ? static_cast<testsupport::BackendFactory&>(sqliteFactory)
                                                                                : myFactory;
        std::shared_ptr<db::Database> db = factory.Create({});
        // Unquoted names: PostgreSQL folds them to lower case; Jet names still find them.
        const std::string connect = testsupport::NativeConnect(factory, *db);
        testsupport::RunNativeSql(connect, {ddl + ")", "INSERT INTO Typed VALUES (" + values + ")",
                                            "INSERT INTO Typed (c0) VALUES (NULL)"});
        db::TableDef def = db->TableDefs("TYPED");
        ASSERT_EQ(def.Fields.size(), std::size(cases));
        std::vector<Row> rows = Query(*db, "select * from [typed]");
        ASSERT_EQ(rows.size(), 2u);
        for (size_t i = 0; i < std::size(cases); ++i) {
            const TypeCase& c = cases[i];
            EXPECT_EQ(def.FieldByName("C" + std::to_string(i)).Type, c.type) << typeOf(c);
            EXPECT_EQ(rows[0][i], c.value) << typeOf(c);
            EXPECT_EQ(rows[1][i], kNull) << typeOf(c);
        }
        EXPECT_EQ(def.FieldByName("c10").Size, 20);
        // A Boolean groups as one: True before False, Null first.
        EXPECT_EQ(Query(*db, "select count(*), c0 from [Typed] group by c0"),
                  (std::vector<Row>{{L(1), kNull}, {L(1), B(true)}}));
        EXPECT_EQ(Query(*db, "select count(*), c12 from [Typed] group by c12"),
                  (std::vector<Row>{{L(1), kNull}, {L(1), B(false)}}));
        db->Close();
    }
}

// The data source's database on a server with other databases (the server's own among them):
// the list holds that database's tables only; a view whose fields cannot be read (its table
// is gone) is refused with its name, not read with an empty select list.
TEST(OdbcCatalog, MariaDbListsTheDataSourcesDatabaseOnly) {
    const testsupport::OdbcServers& s = testsupport::StartOdbcServers();
    testsupport::MariaDbOdbcFactory factory;
    auto elsewhere = factory.Create({{"Not In The List", {{"a", db::dbLong}}, {}}});
    testsupport::RunNativeSql("DSN=" + s.myDsn, {"CREATE TABLE IF NOT EXISTS `In The List` (a int)",
                                                 "CREATE TABLE IF NOT EXISTS gone (a int)",
                                                 "CREATE OR REPLACE VIEW `Broken View` AS SELECT a FROM gone",
                                                 "DROP TABLE gone"});
    auto db = db::DBEngine::OpenDatabase("", false, true, "ODBC;DSN=" + s.myDsn + ";");
    const std::vector<std::string> names = db->TableNames();
    auto has = [&](const char* n) { return std::find(names.begin(), names.end(), n) != names.end(); };
    EXPECT_TRUE(has("In The List") && has("Broken View"));
    EXPECT_FALSE(has("Not In The List"));
    for (const char* system : {"user", "db", "proc", "innodb_table_stats", "global_priv"}) EXPECT_FALSE(has(system)) << system;
    const db::Error e = ErrorOf([&] { Query(*db, "select * from [Broken View]"); });
    EXPECT_EQ(e.number(), db::errnum::kOdbcCallFailed);
    EXPECT_TRUE(Contains(e.description(), "'Broken View'")) << e.description();
    db->Close();
    elsewhere->Close();
}

// A server the layer knows no dialect of gets the type names its driver reports for the
// literals' markers; on PostgreSQL, whose driver reports its own names, each of them casts.
TEST(OdbcDialect, TheDriversTypeNamesCastLiterals) {
    const testsupport::OdbcServers& s = testsupport::StartOdbcServers();
    db::odbc::Connection conn(s.PgConnect(s.pgDatabase));
    const db::odbc::ParamTypes t = db::odbc::DriverParamTypes(conn);
    const std::pair<std::string, Value> casts[] = {
        {t.integer, Value(int16_t(-7))}, {t.longInteger, L(70000)}, {t.single, Value(0.25f)},
        {t.dbl, D(12.5)},                {t.date, W(45292.5)},
    };
    for (const auto& [type, value] : casts) {
        ASSERT_FALSE(type.empty());
        db::odbc::Statement st(conn);
        st.Execute("SELECT CAST(CAST(? AS " + type + ") AS varchar)", {value});
        ASSERT_TRUE(st.Fetch()) << type;
        EXPECT_FALSE(st.Text(1).value_or("").empty()) << type;
    }
}

// The same table through each ODBC driver and through the file back end gives the same rows:
// case-insensitive groups and compares where "_" sorts before letters, the spelling a group
// shows, Null first, Booleans with Null as No, dates, Single values, texts beyond ASCII.
class OdbcBackends : public ::testing::TestWithParam<std::shared_ptr<BackendFactory>> {};

TableSpec RuleTable() {
    TableSpec t;
    t.name = "X";
    t.columns = {{"t", db::dbText, 20}, {"n", db::dbLong}, {"d", db::dbDouble}, {"b", db::dbBoolean},
                 {"w", db::dbDate},      {"s", db::dbSingle}, {"i", db::dbInteger}};
    const auto I = [](int v) { return Value(int16_t(v)); };
    t.rows = {
        {T("a_"), L(1), D(1.5), B(true), W(45292), Value(0.1f), I(1)},
        {T("aa"), L(2), D(-0.5), B(false), W(45292.5), Value(2.5f), I(-7)},
        {T("A_"), L(3), kNull, kNull, kNull, kNull, I(12)},
        {T("AA"), L(4), D(1.5), B(true), W(45000.25), Value(0.1f), kNull},
        {T("B"), L(5), D(2.25), B(false), W(45292), Value(1.5f), I(13)},
        {T("b"), kNull, D(2.25), kNull, W(45500), kNull, I(1)},
        {T(""), L(7), D(0), B(false), W(45292), Value(2.5f), I(0)},
        {kNull, L(8), D(1e10), B(true), kNull, Value(0.1f), I(-7)},
        {T("Ünï"), L(9), D(-0.5), B(false), W(45000.25), Value(1.5f), I(2)},
        {T("ünï"), L(10), D(3), kNull, W(45292.5), kNull, I(30)},
        {T("say \"hi\" it's"), L(11), D(2.25), B(true), W(45500), Value(2.5f), I(12)},
    };
    return t;
}

TEST_P(OdbcBackends, ResultsEqualTheFileBackEnds) {
    const std::vector<TableSpec> tables = {RuleTable()};
    testsupport::SqliteFileFactory files;
    auto expected = files.Create(tables);
    auto db = GetParam()->Create(tables);
    const char* queries[] = {
        "select  Count(*) , t from [X] group by t",
        "select distinct t from [X]",
        "select  Count(*) , b, t from [X] group by b,t",
        "select  Sum(n) , t from [X] WHERE b=no  group by t",
        "select  Sum([d]) , b from [X] group by b",
        "select  Count(*) , w from [X] group by w",
        "select distinct s from [X]",
        "select distinct t, b from [X]",
        "select count(*) from [X] where t = \"AA\"",
        "select count(*) from [X] where t = \"ünï\"",
        "select count(*) from [X] where t < \"b\"",
        "select count(*) from [X] where t >= \"a_\" And t <= \"aa\"",
        "select count(*) from [X] where w >= 45292 And b = yes",
        "select count(*) from [X] where s = 0.1",
        "select count(*) from [X] where s <> 0.1",
        "select count(*) from [X] where s > 0.1 And s <= 2.5",
        "select count(*) from [X] where s >= 0.1 And s < 1.5",
        "select count(t), count(*), max(n), min(d), sum(b) from [X] where t Is Not Null",
        "select max(t), min(t) from [X]",
        // Each kind of literal against each kind of column: whole numbers, fractions, negatives,
        // dates as serials, Booleans, texts.
        "select count(*) from [X] where n > 2.5",
        "select count(*) from [X] where n = 3",
        "select count(*) from [X] where n <= -1 Or n >= 70000",
        "select count(*) from [X] where i > 12.5",
        "select count(*) from [X] where i = -7",
        "select count(*) from [X] where d > 1.25 And d < 2.5",
        "select count(*) from [X] where d = -0.5",
        "select count(*) from [X] where d >= 2",
        "select count(*) from [X] where s > 1",
        "select count(*) from [X] where w = 45292.5",
        "select count(*) from [X] where w > 45292",
        "select count(*) from [X] where w < 45292.25 And b = True",
        "select count(*) from [X] where b = False",
        "select count(*) from [X] where t > \"a\" And n < 10",
        "select * from [X]",
        "select * from [X] where b=yes",
    };
    for (const char* sql : queries) {
        std::vector<Row> want = Query(*expected, sql);
        EXPECT_FALSE(want.empty()) << sql;
        EXPECT_EQ(Query(*db, sql), want) << sql;
    }
    db->Close();
    expected->Close();
}

// The statements the programs send to copy, extend and update tables.
TEST_P(OdbcBackends, WritesThroughJetStatements) {
    auto db = GetParam()->Create({});
    db->Execute("CREATE TABLE [New T] ([Name] TEXT(20), Flag YESNO, N LONG, X DOUBLE, D DATETIME, M MEMO)");
    db->Execute("INSERT INTO [New T] ([Name], Flag, N, X, D) VALUES (\"it's \"\"x\"\"\", yes, 3, 2.5, 45292.5)");
    db->Execute("INSERT INTO [New T] ([Name], N) VALUES ('Other', Null)");
    db->Execute("UPDATE [New T] SET Flag = no, M = 'memo' WHERE [Name] = 'OTHER'");
    db->Execute("ALTER TABLE [New T] ADD COLUMN Extra LONG");
    db->Execute("SELECT * INTO [Copy] FROM [New T] WHERE Flag = yes");
    EXPECT_EQ(Query(*db, "select * from [New T]"),
              (std::vector<Row>{{T("it's \"x\""), B(true), L(3), D(2.5), W(45292.5), kNull, kNull},
                                {T("Other"), B(false), kNull, kNull, kNull, T("memo"), kNull}}));
    EXPECT_EQ(Query(*db, "select [Name], Extra from [Copy]"), (std::vector<Row>{{T("it's \"x\""), kNull}}));
    db::TableDef copy = db->TableDefs("copy");
    const db::FieldType types[] = {db::dbText, db::dbBoolean, db::dbLong, db::dbDouble, db::dbDate};
    for (size_t i = 0; i < std::size(types); ++i) EXPECT_EQ(copy.Fields.at(i).Type, types[i]) << copy.Fields[i].Name;
    EXPECT_EQ(copy.Fields[0].Size, 20);

    struct Failing {
        const char* sql;
        int32_t number;
    };
    const Failing failing[] = {
        {"CREATE TABLE [copy] (a LONG)", db::errnum::kTableExists},
        {"INSERT INTO [New T] ([Name]) VALUES ('twenty-one characters')", 3163},
        {"INSERT INTO [New T] (N) VALUES ('text')", 3464},
        {"ALTER TABLE [New T] ADD COLUMN n LONG", 3380},
        {"DROP TABLE [Nope]", 3376},
    };
    for (const Failing& f : failing) EXPECT_EQ(ErrorOf([&] { db->Execute(f.sql); }).number(), f.number) << f.sql;

    db->Execute("DELETE FROM [New T] WHERE N = 3");
    db->Execute("DROP TABLE [Copy]");
    EXPECT_EQ(Query(*db, "select count(*) from [New T]"), (std::vector<Row>{{L(1)}}));
    std::vector<std::string> names = db->TableNames();
    EXPECT_EQ(names, (std::vector<std::string>{"New T"}));

    // Opened read-only, the source refuses every change and keeps its rows.
    auto readOnly = db::OpenOdbcDatabase(db->Connect(), /*readOnly=*/true);
    EXPECT_EQ(ErrorOf([&] { readOnly->Execute("DELETE FROM [New T]"); }).number(), 3027);
    EXPECT_EQ(Query(*readOnly, "select count(*) from [New T]"), (std::vector<Row>{{L(1)}}));
    readOnly->Close();
    db->Close();
}

// A result several blocks long (in the order of a key: a server keeps rows in an order of its
// own), read as the recordset is walked: every row and cell of each
// type the back end maps (Nulls among them) as the file back end gives them, forward, after
// MoveLast and MoveFirst, by position back past a block, in GetRows spanning blocks, with a
// query of its own run on the connection in mid-walk; RecordCount counts the rows visited
// until MoveLast, which counts them all.
TEST_P(OdbcBackends, ReadsLongResultsBlockByBlock) {
    TableSpec t;
    t.name = "Long";
    t.columns = {{"k", db::dbLong},    {"t", db::dbText, 20}, {"n", db::dbLong},
                 {"d", db::dbDouble}, {"b", db::dbBoolean},  {"w", db::dbDate}, {"s", db::dbSingle}};
    constexpr int kRows = 2600;  // past two block boundaries
    for (int r = 0; r < kRows; ++r) {
        Row row{L(r), Value(r % 13 == 0 ? "Ünï " + std::to_string(r) : "row " + std::to_string(r)), L(r - 100),
                D(r * 0.125 - 7), B(r % 3 == 0), W(45000 + r % 50 + 0.25 * (r % 4)), Value(float(r % 8) * 0.5f)};
        for (size_t c = 1; c < row.size(); ++c)
            if ((r + int(c)) % 11 == 0) row[c] = kNull;
        t.rows.push_back(std::move(row));
    }
    testsupport::SqliteFileFactory files;
    auto expected = files.Create({t});
    auto db = GetParam()->Create({});
    std::vector<std::string> fill = testsupport::NativeTableSql(testsupport::NativeServerOf(*GetParam()), {t});
    fill.insert(fill.begin(), "BEGIN");
    fill.push_back("COMMIT");
    testsupport::RunNativeSql(testsupport::NativeConnect(*GetParam(), *db), fill);
    const std::vector<Row> want = Query(*expected, "select * from [Long] order by k");
    ASSERT_EQ(want.size(), size_t(kRows));
    const std::vector<Row> flaggedWant = Query(*expected, "select * from [Long] where b=yes order by k");
    const Row flaggedCount{L(int32_t(flaggedWant.size()))};

    auto rs = db->OpenRecordset("select * from [Long] order by k", db::dbOpenSnapshot);
    EXPECT_EQ(rs->RecordCount(), 1);
    auto rowAt = [&](db::Recordset& r) {
        Row row;
        for (int c = 0; c < r.FieldCount(); ++c) row.push_back(r.Fields(c).value());
        return row;
    };
    std::vector<Row> walked;
    for (; !rs->Eof(); rs->MoveNext()) {
        walked.push_back(rowAt(*rs));
        if (walked.size() == 1500) {
            EXPECT_EQ(rs->RecordCount(), 1500);
            EXPECT_EQ(Query(*db, "select count(*) from [Long] where b=yes"), std::vector<Row>{flaggedCount});
        }
    }
    EXPECT_EQ(walked, want);
    EXPECT_EQ(rs->RecordCount(), kRows);
    for (const int32_t k : {2599, 10, 1024, 1023, 0, 2048}) {
        rs->SetAbsolutePosition(k);
        EXPECT_EQ(rowAt(*rs), want[size_t(k)]) << "row " << k;
    }
    EXPECT_EQ(ErrorOf([&] { rs->SetAbsolutePosition(kRows); }).number(), db::errnum::kNoCurrentRecord);
    rs->Close();

    // Counted before it is read: MoveLast gives the count and the last row, MoveFirst the first.
    auto flagged = db->OpenRecordset("select * from [Long] where b=yes order by k");
    EXPECT_EQ(flagged->RecordCount(), 1);
    flagged->MoveLast();
    EXPECT_EQ(flagged->RecordCount(), int32_t(flaggedWant.size()));
    EXPECT_EQ(rowAt(*flagged), flaggedWant.back());
    flagged->MoveNext();
    EXPECT_TRUE(flagged->Eof());
    flagged->MoveFirst();
    EXPECT_EQ(rowAt(*flagged), flaggedWant.front());
    flagged->Close();

    auto blocks = db->OpenRecordset("select * from [Long] order by k");
    EXPECT_EQ(RowsOf(blocks->GetRows(1500)), std::vector<Row>(want.begin(), want.begin() + 1500));
    EXPECT_EQ(blocks->RecordCount(), 1501);
    EXPECT_EQ(RowsOf(blocks->GetRows(5000)), std::vector<Row>(want.begin() + 1500, want.end()));
    EXPECT_TRUE(blocks->Eof());
    EXPECT_EQ(blocks->RecordCount(), kRows);
    blocks->Close();
    db->Close();
    expected->Close();
}

// Texts that differ by case only are one group and equal; texts that differ by an accent, a
// trailing blank, "ß" against "s" or "ss", or a letter beyond ASCII in case are not, as in the
// file, whatever the server's collation makes of them (MariaDB's default ignores all of these).
TEST_P(OdbcBackends, TextsDifferingOnlyInCaseAreOneAndNothingElse) {
    TableSpec t;
    t.name = "Words";
    t.columns = {{"w", db::dbText, 30}, {"m", db::dbMemo}};
    for (const char* w : {"Café", "café", "CAFE", "cafe", "cafe ", "a ", "A", "a", "Straße", "STRASSE", "strase",
                          "ß", "s", "ss", "Ω", "ω", "x\\y", "x\\Y", "_", "", "Ünï", "ÜNÏ"})
        t.rows.push_back({T(w), T(w)});
    t.rows.push_back({kNull, kNull});
    testsupport::SqliteFileFactory files;
    auto expected = files.Create({t});
    auto db = GetParam()->Create({t});
    const char* queries[] = {
        "select count(*), w from [Words] group by w",
        "select count(*), m from [Words] group by m",
        "select distinct w from [Words]",
        "select count(*) from [Words] where w = 'cafe'",
        "select count(*) from [Words] where w = 'café'",
        "select count(*) from [Words] where m = 'CAFE '",
        "select count(*) from [Words] where w = 'a'",
        "select count(*) from [Words] where w = 'A '",
        "select count(*) from [Words] where w = 'ß'",
        "select count(*) from [Words] where w = 'STRASSE'",
        "select count(*) from [Words] where w = 'x\\y'",
        "select count(*) from [Words] where w <> 'cafe'",
        "select count(*) from [Words] where w < 'b'",
        "select max(w), min(w) from [Words]",
        "select * from [Words] where w = 'ünï'",
    };
    for (const char* sql : queries) EXPECT_EQ(Query(*db, sql), Query(*expected, sql)) << sql;
    db->Close();
    expected->Close();
}

// A table made through the layer holds what a Jet table holds: several Memo fields in one row,
// dates before 1970 and after 2038, texts beyond Latin-1.
TEST_P(OdbcBackends, CreatesTablesThatHoldJetsValues) {
    auto db = GetParam()->Create({});
    db->Execute("CREATE TABLE [Notes] (A MEMO, B MEMO, C MEMO, D DATETIME, S SINGLE, T TEXT(10))");
    const std::string longText(5000, 'x');
    db->Execute("INSERT INTO [Notes] (A, B, C, D, S, T) VALUES ('" + longText + "', '" + longText + "', '" + longText +
                "', 2, 0.1, 'Ωmega ✓')");  // 1900-01-01
    db->Execute("INSERT INTO [Notes] (D) VALUES (73202.75)");                      // 2100-06-01 18:00
    EXPECT_EQ(Query(*db, "select A, B, C, D, S, T from [Notes]"),
              (std::vector<Row>{{T(longText.c_str()), T(longText.c_str()), T(longText.c_str()), W(2), Value(0.1f),
                                 T("Ωmega ✓")},
                                {kNull, kNull, kNull, W(73202.75), kNull, kNull}}));
    EXPECT_EQ(Query(*db, "select count(*) from [Notes] where D < 25569"), (std::vector<Row>{{L(1)}}));  // 1970
    EXPECT_EQ(Query(*db, "select count(*) from [Notes] where S = 0.1"), (std::vector<Row>{{L(1)}}));
    db->Close();
}

// The table list holds the tables of the connection's database, not those of the server's
// other databases (nor the server's own), and a table's fields are its own, not those of a
// table of the same name elsewhere on the server.
TEST_P(OdbcBackends, ListsTheTablesOfItsOwnDatabase) {
    auto mine = GetParam()->Create({{"Shared Name", {{"a", db::dbLong}}, {{L(1)}}}, {"Only Here", {{"x", db::dbText, 5}}, {}}});
    auto other = GetParam()->Create({{"Shared Name", {{"b", db::dbText, 5}, {"c", db::dbLong}}, {{T("z"), L(2)}}},
                                     {"Elsewhere", {{"y", db::dbLong}}, {}}});
    EXPECT_EQ(mine->TableNames(), (std::vector<std::string>{"Only Here", "Shared Name"}));
    db::TableDef def = mine->TableDefs("Shared Name");
    ASSERT_EQ(def.Fields.size(), 1u);
    EXPECT_EQ(def.Fields[0].Name, "a");
    EXPECT_EQ(Query(*mine, "select * from [Shared Name]"), (std::vector<Row>{{L(1)}}));
    EXPECT_EQ(ErrorOf([&] { Query(*mine, "select * from [Elsewhere]"); }).number(), db::errnum::kNoSuchTable);
    other->Close();
    mine->Close();
}

INSTANTIATE_TEST_SUITE_P(Drivers, OdbcBackends,
                         ::testing::Values(std::make_shared<testsupport::SqliteOdbcFactory>(),
                                           std::make_shared<testsupport::PostgresOdbcFactory>(),
                                           std::make_shared<testsupport::MariaDbOdbcFactory>()),
                         [](const auto& info) { return info.param->Name(); });

}  // namespace
