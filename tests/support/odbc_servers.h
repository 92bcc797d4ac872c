// The ODBC test servers and the contract factories over them. scripts/test_servers.sh keeps a
// private PostgreSQL server (Unix socket only), a private MariaDB server (a Unix socket and a
// port on 127.0.0.1) and the ODBC ini files in one folder per test run (under a base folder of
// the build tree's); ctest starts them before the ODBC tests and stops them after them. A test binary run by hand, or a benchmark, has a server of its own, started on
// first use and stopped again at exit.
//
//     const testsupport::OdbcServers& s = testsupport::StartOdbcServers();  // throws with the reason
//     auto db = db::DBEngine::OpenDatabase("", false, true, "ODBC;DSN=" + s.pgDsn + ";");
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "tests/support/db_contract.h"

namespace testsupport {

struct OdbcServers {
    std::string dir;        // the run's state folder ($BNS_ODBC_TEST_DIR)
    std::string socketDir;  // the PostgreSQL server's socket folder (its "Server=")
    int port = 0;           // the port that names the socket, from the folder
    std::string pgUser = "bnstest";
    std::string pgDatabase = "bnstest";
    std::string pgDriver = "PostgreSQL Unicode";
    std::string sqliteDriver = "SQLite3";
    std::string pgDsn = "bns_pg";
    std::string sqliteDsn = "bns_sqlite";
    std::string mySocket;   // the MariaDB server's socket file
    int myPort = 0;         // its TCP port on 127.0.0.1
    std::string myUser = "bnstest";
    std::string myDatabase = "bnstest";
    std::string myDriver = "MariaDB Unicode";
    std::string myDsn = "bns_my";

    // A DSN-less connect string (without "ODBC;") for a database of the server.
    std::string PgConnect(const std::string& database) const;
    // The same for a database of the MariaDB server, on its socket (or on 127.0.0.1 with tcp).
    std::string MyConnect(const std::string& database, bool tcp = false) const;
    // A DSN-less connect string for a SQLite file.
    std::string SqliteConnect(const std::string& file) const;
};

// Starts the servers or finds them running, and points ODBCSYSINI and ODBCINI at the ini files
// (before this process first calls the driver manager). std::runtime_error with the script's
// output when they cannot be started.
const OdbcServers& StartOdbcServers();

// Runs native SQL statements through the plain ODBC API, for fixtures made by a server's own
// means; std::runtime_error with the driver's message when one fails.
void RunNativeSql(const std::string& connect, const std::vector<std::string>& statements);

// The native CREATE TABLE and INSERT texts the factories below run (the server's own types and
// quotes), for a test that makes its database by its own route, e.g. a file or database of its
// own reached through a DSN.
enum class NativeServer { Sqlite, Postgres, MariaDb };
std::vector<std::string> NativeTableSql(NativeServer server, const std::vector<TableSpec>& tables);
// A name in the server's own identifier quotes.
std::string NativeName(NativeServer server, const std::string& name);

// Makes each database through the SQLite ODBC driver: a new file, its tables created and filled
// with native CREATE TABLE and INSERT texts.
class SqliteOdbcFactory : public BackendFactory {
public:
    std::string Name() const override { return "SqliteOdbc"; }
    std::shared_ptr<db::Database> Create(const std::vector<TableSpec>& tables) override;
    std::string ConnectPrefix() const override { return "ODBC;"; }

private:
    TempDir dir_;
    int files_ = 0;
};

// Makes each database on the PostgreSQL server: a new database per call (dropped again when
// the last holder of the returned Database lets go of it), tables created natively with
// PostgreSQL's types (boolean, integer, real, double precision, timestamp, varchar, text).
class PostgresOdbcFactory : public BackendFactory {
public:
    std::string Name() const override { return "PostgresOdbc"; }
    std::shared_ptr<db::Database> Create(const std::vector<TableSpec>& tables) override;
    std::string ConnectPrefix() const override { return "ODBC;"; }
    // The native connect string of the database Create made last.
    const std::string& lastConnect() const { return lastConnect_; }

private:
    std::string lastConnect_;
};

// Makes each database on the MariaDB server, as the PostgreSQL factory does, with MariaDB's
// types (bit(1), tinyint unsigned, smallint, int, float, double, datetime, varchar, longtext)
// in the server's default character set and collation (utf8mb4, utf8mb4_general_ci).
class MariaDbOdbcFactory : public BackendFactory {
public:
    std::string Name() const override { return "MariaDbOdbc"; }
    std::shared_ptr<db::Database> Create(const std::vector<TableSpec>& tables) override;
    std::string ConnectPrefix() const override { return "ODBC;"; }
    const std::string& lastConnect() const { return lastConnect_; }

private:
    std::string lastConnect_;
};

// The native connect string of the database a factory of the three above made last.
std::string NativeConnect(const BackendFactory& factory, db::Database& db);
// The server behind a factory of the three above.
NativeServer NativeServerOf(const BackendFactory& factory);

}  // namespace testsupport
