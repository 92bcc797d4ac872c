// Starting the ODBC test servers through scripts/test_servers.sh, native SQL through the plain
// ODBC API, and the two contract factories that build their tables with it.
#include "tests/support/odbc_servers.h"

#include <fmt/format.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "platform/db/odbc_backend.h"
#include "platform/db/sqlite_backend.h"
#include "platform/vb/strings.h"

namespace testsupport {
namespace {

using Native = NativeServer;

// SQLite and PostgreSQL quote names the standard way, "..." with an embedded quote doubled.
std::string Quoted(const std::string& name) { return db::sqlite::QuoteName(name); }

std::string MariaDbTypeName(const ColumnSpec& c) {
    switch (c.type) {
        case db::dbBoolean: return "bit(1)";
        case db::dbByte: return "tinyint unsigned";
        case db::dbInteger: return "smallint";
        case db::dbLong: return "int";
        case db::dbCurrency: return "decimal(19,4)";
        case db::dbSingle: return "float";
        case db::dbDouble: return "double";
        case db::dbDate: return "datetime";
        case db::dbMemo: return "longtext";
        case db::dbBinary:
        case db::dbLongBinary: return "longblob";
        default: return "varchar(" + std::to_string(c.size > 0 ? c.size : 255) + ")";
    }
}

std::string TypeName(Native server, const ColumnSpec& c) {
    const int32_t size = c.size > 0 ? c.size : 255;
    if (server == Native::MariaDb) return MariaDbTypeName(c);
    const bool pg = server == Native::Postgres;
    switch (c.type) {
        case db::dbBoolean: return pg ? "boolean" : "BOOLEAN";
        case db::dbByte: return pg ? "smallint" : "TINYINT";
        case db::dbInteger: return pg ? "smallint" : "SMALLINT";
        case db::dbLong: return pg ? "integer" : "INTEGER";
        case db::dbCurrency: return pg ? "numeric(19,4)" : "CURRENCY";
        case db::dbSingle: return pg ? "real" : "SINGLE";
        case db::dbDouble: return pg ? "double precision" : "DOUBLE";
        case db::dbDate: return pg ? "timestamp" : "DATETIME";
        case db::dbMemo: return pg ? "text" : "LONGTEXT";
        case db::dbBinary:
        case db::dbLongBinary: return pg ? "bytea" : "BLOB";
        default: return (pg ? "varchar(" : "VARCHAR(") + std::to_string(size) + ")";
    }
}

std::string Literal(Native server, const db::Value& v) {
    using K = db::Value::Kind;
    switch (v.kind()) {
        case K::Null: return "NULL";
        case K::Boolean:
            if (server == Native::Postgres) return v.AsBool() ? "TRUE" : "FALSE";
            return v.AsBool() ? "1" : "0";
        case K::Integer: return std::to_string(v.AsInteger());
        case K::Long: return std::to_string(v.AsLong());
        case K::Single: return fmt::format("{}", v.AsSingle());
        case K::Double: return fmt::format("{:.17g}", v.AsDoubleValue());
        case K::Date:
            return (server == Native::Postgres ? "TIMESTAMP '" : "'") + vb::DateTimeText(v.AsDate().serial) + "'";
        case K::Text: {
            std::string out = "'";
            for (char c : v.AsText()) {
                if (c == '\'') out += '\'';
                if (c == '\\' && server == Native::MariaDb) out += '\\';  // an escape character there
                out += c;
            }
            return out + "'";
        }
    }
    return "NULL";
}

std::vector<std::string> TableStatements(Native server, const std::vector<TableSpec>& tables) {
    std::vector<std::string> out;
    for (const TableSpec& t : tables) {
        std::string ddl = "CREATE TABLE " + NativeName(server, t.name) + " (";
        for (size_t c = 0; c < t.columns.size(); ++c)
            ddl += (c ? ", " : "") + NativeName(server, t.columns[c].name) + " " + TypeName(server, t.columns[c]);
        out.push_back(ddl + ")");
        for (const auto& row : t.rows) {
            std::string values;
            for (size_t c = 0; c < t.columns.size(); ++c)
                values += (c ? ", " : "") + Literal(server, c < row.size() ? row[c] : db::Value());
            out.push_back("INSERT INTO " + NativeName(server, t.name) + " VALUES (" + values + ")");
        }
    }
    return out;
}

std::string RunCommand(const std::string& command, int& status) {
    std::string output;
    FILE* p = ::popen(command.c_str(), "r");
    if (!p) throw std::runtime_error("cannot run: " + command);
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, p)) > 0) output.append(buffer, n);
    status = ::pclose(p);
    return output;
}

std::string ScriptCommand(const std::string& verb) {
    return fmt::format("bash '{}' {} 2>&1", BNS_TEST_SERVERS_SCRIPT, verb);
}

void StopServersAtExit() {
    int status = 0;
    std::string output = RunCommand(ScriptCommand("stop"), status);
    if (status != 0) std::fprintf(stderr, "the ODBC test servers did not stop:\n%s", output.c_str());
}

}  // namespace

std::string OdbcServers::PgConnect(const std::string& database) const {
    return fmt::format("Driver={};Server={};Port={};Database={};UID={};PWD=;", pgDriver, socketDir, port, database,
                       pgUser);
}

std::string OdbcServers::MyConnect(const std::string& database, bool tcp) const {
    const std::string where = tcp ? fmt::format("Server=127.0.0.1;Port={};", myPort)
                                  : fmt::format("Server=localhost;Socket={};", mySocket);
    return fmt::format("Driver={};{}Database={};UID={};PWD=;", myDriver, where, database, myUser);
}

std::string OdbcServers::SqliteConnect(const std::string& file) const {
    return fmt::format("Driver={};Database={};", sqliteDriver, file);
}

namespace {

// The process whose run this is: ctest, when ctest started this test (its start and stop
// fixtures and all its tests then share one server), else this process itself.
long RunOwner() {
    const long parent = static_cast<long>(::getppid());
    std::string comm;
    if (FILE* f = std::fopen(fmt::format("/proc/{}/comm", parent).c_str(), "r")) {
        char buffer[64] = {};
        if (std::fgets(buffer, sizeof buffer, f)) comm = buffer;
        std::fclose(f);
    }
    return comm == "ctest\n" ? parent : static_cast<long>(::getpid());
}

std::string ReadLine(const std::string& path) {
    std::string line;
    if (FILE* f = std::fopen(path.c_str(), "r")) {
        char buffer[64] = {};
        if (std::fgets(buffer, sizeof buffer, f)) line = buffer;
        std::fclose(f);
    }
    return line;
}

}  // namespace

const OdbcServers& StartOdbcServers() {
    static const OdbcServers servers = [] {
        OdbcServers s;
        // The build's own base folder (the one ctest's start and stop tests are given) and the
        // run's folder under it, so that no other run's stop can end this run's connections.
        const long owner = RunOwner();
        s.dir = fmt::format("{}/run-{}", BNS_ODBC_TEST_BASE, owner);
        ::setenv("BNS_ODBC_TEST_BASE", BNS_ODBC_TEST_BASE, 1);
        ::setenv("BNS_ODBC_TEST_DIR", s.dir.c_str(), 1);
        s.socketDir = s.dir + "/socket";
        int status = 0;
        std::string output = RunCommand(ScriptCommand("start"), status);
        if (status != 0)
            throw std::runtime_error("the ODBC test servers could not be started (scripts/test_servers.sh start):\n" +
                                     output);
        s.port = std::atoi(ReadLine(s.dir + "/port").c_str());
        if (s.port <= 0) throw std::runtime_error("the ODBC test server's folder " + s.dir + " names no port");
        s.myPort = std::atoi(ReadLine(s.dir + "/my_port").c_str());
        if (s.myPort <= 0) throw std::runtime_error("the ODBC test server's folder " + s.dir + " names no MariaDB port");
        s.mySocket = s.dir + "/mysock/mariadb.sock";
        // Under ctest the servers were started before this process and are stopped after the
        // last ODBC test; a binary run by hand cleans up what it started itself.
        if (owner == static_cast<long>(::getpid()) && output.find("started") != std::string::npos)
            std::atexit(StopServersAtExit);
        ::setenv("ODBCSYSINI", (s.dir + "/odbc").c_str(), 1);
        ::setenv("ODBCINI", (s.dir + "/odbc/odbc.ini").c_str(), 1);
        return s;
    }();
    return servers;
}

std::vector<std::string> NativeTableSql(NativeServer server, const std::vector<TableSpec>& tables) {
    return TableStatements(server, tables);
}

std::string NativeName(NativeServer server, const std::string& name) {
    if (server != Native::MariaDb) return Quoted(name);
    std::string out = "`";
    for (char c : name) out += c == '`' ? "``" : std::string(1, c);
    return out + "`";
}

void RunNativeSql(const std::string& connect, const std::vector<std::string>& statements) {
    // The driver manager's plain handles (not the Jet layer), with their errors made readable.
    std::string current = "connect with " + connect;
    try {
        db::odbc::Connection conn(connect);
        for (const std::string& sql : statements) {
            current = sql;
            db::odbc::Statement(conn).Execute(sql);
        }
    } catch (const db::Error& e) {
        throw std::runtime_error(current + ": " + e.description());
    }
}

std::shared_ptr<db::Database> SqliteOdbcFactory::Create(const std::vector<TableSpec>& tables) {
    const OdbcServers& s = StartOdbcServers();
    const std::string connect = s.SqliteConnect(dir_.Path("contract" + std::to_string(++files_) + ".db"));
    RunNativeSql(connect, TableStatements(Native::Sqlite, tables));
    return db::DBEngine::OpenDatabase("", false, false, "ODBC;" + connect);
}

std::shared_ptr<db::Database> PostgresOdbcFactory::Create(const std::vector<TableSpec>& tables) {
    const OdbcServers& s = StartOdbcServers();
    // The suite may make a factory per test, so the number counts for the whole process.
    static int made = 0;
    const std::string name = fmt::format("bns_{}_{}", ::getpid(), ++made);
    const std::string admin = s.PgConnect(s.pgDatabase);
    RunNativeSql(admin, {"CREATE DATABASE " + Quoted(name)});
    lastConnect_ = s.PgConnect(name);
    RunNativeSql(lastConnect_, TableStatements(Native::Postgres, tables));
    std::shared_ptr<db::Database> db = db::DBEngine::OpenDatabase("", false, false, "ODBC;" + lastConnect_);
    // The database is dropped when the test lets go of it, while the process still runs: at
    // exit the helpers it needs may already be gone.
    return std::shared_ptr<db::Database>(db.get(), [db, admin, name](db::Database*) mutable {
        db.reset();
        try {
            RunNativeSql(admin, {"DROP DATABASE IF EXISTS " + Quoted(name) + " WITH (FORCE)"});
        } catch (const std::exception&) {
            // The whole cluster goes when the servers stop; a database left here costs only disk.
        }
    });
}

std::shared_ptr<db::Database> MariaDbOdbcFactory::Create(const std::vector<TableSpec>& tables) {
    const OdbcServers& s = StartOdbcServers();
    static int made = 0;
    const std::string name = fmt::format("bns_{}_{}", ::getpid(), ++made);
    const std::string admin = s.MyConnect(s.myDatabase);
    RunNativeSql(admin, {"CREATE DATABASE " + NativeName(Native::MariaDb, name)});
    lastConnect_ = s.MyConnect(name);
    RunNativeSql(lastConnect_, TableStatements(Native::MariaDb, tables));
    std::shared_ptr<db::Database> db = db::DBEngine::OpenDatabase("", false, false, "ODBC;" + lastConnect_);
    return std::shared_ptr<db::Database>(db.get(), [db, admin, name](db::Database*) mutable {
        db.reset();
        try {
            RunNativeSql(admin, {"DROP DATABASE IF EXISTS " + NativeName(Native::MariaDb, name)});
        } catch (const std::exception&) {
            // The whole server goes when the servers stop; a database left here costs only disk.
        }
    });
}

NativeServer NativeServerOf(const BackendFactory& factory) {
    if (dynamic_cast<const PostgresOdbcFactory*>(&factory)) return Native::Postgres;
    if (dynamic_cast<const MariaDbOdbcFactory*>(&factory)) return Native::MariaDb;
    return Native::Sqlite;
}

std::string NativeConnect(const BackendFactory& factory, db::Database& db) {
    if (const auto* pg = dynamic_cast<const PostgresOdbcFactory*>(&factory)) return pg->lastConnect();
    if (const auto* my = dynamic_cast<const MariaDbOdbcFactory*>(&factory)) return my->lastConnect();
    return db.Connect().substr(5);  // the SQLite driver's file, without "ODBC;"
}

}  // namespace testsupport
