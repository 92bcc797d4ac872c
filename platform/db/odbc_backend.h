// The ODBC back end's inner parts: handles of the unixODBC driver manager with Jet's 3146
// errors carrying the driver's diagnostics, the server's dialect, and the rendering of bound
// Jet queries in it. Texts never pass through the driver manager's own conversions, which
// depend on the process's locale: a driver with wide-character functions is spoken to in
// UTF-16 through them, one without (the SQLite driver) in UTF-8 through the narrow ones.
#pragma once

#include <sql.h>
#include <sqlext.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/db/database.h"
#include "platform/db/sql_bind.h"

namespace db::odbc {

// The rows a recordset keeps and reads from the server at a time; also what the PostgreSQL
// driver is told to fetch from its server cursor at a time.
constexpr int kBlockRows = 1024;

using WString = std::basic_string<SQLWCHAR>;
WString Wide(const std::string& utf8);
std::string Utf8(const SQLWCHAR* text, size_t length);
std::string Utf8(const WString& text);

// The process's ODBC 3 environment, made on first use and kept for the process's life.
SQLHENV Environment();

// The driver's diagnostic records of the handle, "[SQLSTATE] message" joined by blanks; wide:
// through the wide-character call.
std::string Diagnostics(SQLSMALLINT handleType, SQLHANDLE handle, bool wide = true);
// Jet's "ODBC--call failed." with the driver's messages, for a call that returned an error.
[[noreturn]] void Fail(SQLSMALLINT handleType, SQLHANDLE handle, bool wide = true);

// A connect string's "KEY=value" pairs (a value possibly in braces, which value leaves out),
// each with its text as written.
struct ConnectPair {
    std::string key, value, text;
};
std::vector<ConnectPair> ConnectPairs(const std::string& connect);
// The value of a key, the key in any case; "" when it is not there.
std::string ConnectValue(const std::string& connect, const std::string& key);
// Whether the driver the connect string leads to (by Driver=, or by its data source) has the
// wide-character functions; true when that cannot be told, as for most drivers it holds.
bool DriverIsWide(const std::string& connect);
// The path of the driver's library the connect string leads to; "" when that cannot be told.
std::string DriverLibrary(const std::string& connect);
// The connect string with what makes the PostgreSQL driver read a result from a server cursor
// a block at a time, where it would otherwise read the whole result into memory when the
// query runs; a setting the string makes itself (UseDeclareFetch) is left as it is, and so is
// the string of any other driver.
std::string WithServerCursor(const std::string& connect);

// The servers whose SQL differs where the Jet rules need it; any other speaks plain SQL, with
// the type names its driver reports.
enum class Server : uint8_t { Generic, PostgreSql, Sqlite, MariaDb, MySql };
inline bool MySqlFamily(Server s) { return s == Server::MariaDb || s == Server::MySql; }

// The type a literal's marker is cast to on the server, by the literal's kind ("" for a plain
// "?": the driver's binding of the value says its type well enough there).
struct ParamTypes {
    std::string boolean, integer, longInteger, single, dbl, date, text;
    const std::string& Of(Value::Kind kind) const;
};
class Connection;
// The server's own names (for a server we know), or those its driver reports (SQLGetTypeInfo).
ParamTypes ParamTypesOf(const Connection& conn);
// The names the driver reports, whatever the server.
ParamTypes DriverParamTypes(const Connection& conn);

// One connection to a data source.
class Connection {
public:
    // Connects with the connect string (without "ODBC;"), never prompting.
    explicit Connection(const std::string& connect);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    SQLHDBC handle() const { return dbc_; }
    bool wide() const { return wide_; }
    // The connect string as the driver completed it.
    const std::string& completed() const { return completed_; }
    Server server() const { return server_; }
    const ParamTypes& paramTypes() const { return paramTypes_; }
    // A name in the server's identifier quotes, an embedded quote doubled.
    std::string QuoteName(const std::string& name) const;
    void SetReadOnly();
    // The connection's current database (catalog), "" where the driver names none.
    std::string CurrentCatalog() const;

private:
    std::string InfoText(SQLUSMALLINT info) const;

    SQLHDBC dbc_ = SQL_NULL_HDBC;
    bool wide_ = true;
    std::string completed_;
    Server server_ = Server::Generic;
    ParamTypes paramTypes_;
    std::string quote_ = "\"";
};

// A statement on a connection; results are read cell by cell.
class Statement {
public:
    explicit Statement(const Connection& conn);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    // Runs the text with the values bound to its "?" markers in order.
    void Execute(const std::string& sql, const std::vector<Value>& params = {});
    // The tables and views whose names match the pattern (SQLTables), in the catalog (database)
    // given, or in any the driver lists for "".
    void Tables(const std::string& catalog, const std::string& pattern);
    // The columns of tables matching the patterns (SQLColumns; catalog or schema "": any).
    void Columns(const std::string& catalog, const std::string& schema, const std::string& table);
    // The types the driver's server has for the ODBC type (SQLGetTypeInfo).
    void TypeInfo(SQLSMALLINT sqlType);
    bool Fetch();
    int ColumnCount() const;
    // The ODBC type the driver gives the result column (SQLColAttribute's concise type).
    SQLLEN ColumnType(int column) const;
    // The cell as text (Nothing for Null); binary cells as their bytes.
    std::optional<std::string> Text(int column);
    std::optional<std::string> Bytes(int column);
    std::optional<int64_t> Integer(int column);
    std::optional<double> Real(int column);

private:
    void Check(SQLRETURN rc) const;

    SQLHSTMT stmt_ = SQL_NULL_HSTMT;
    bool wide_ = true;
};

// A column with what the renderer needs beyond its Jet type.
struct OdbcColumn {
    bool nativeBoolean = false;  // a server Boolean (true/false), not a number stored 1/0
};

// A table as the catalog gave it.
struct OdbcTable {
    sql::TableInfo info;
    std::string schema;  // "" where the server has none
    std::vector<OdbcColumn> extra;
};

// A text of server SQL with its parameters in the order of their "?" markers.
struct Rendered {
    std::string sql;
    std::vector<Value> params;
};

// The table's name as the FROM clause writes it (schema-qualified where there is one).
std::string TableName(const Connection& conn, const OdbcTable& table);
Rendered RenderSelect(const Connection& conn, const OdbcTable& table, const sql::BoundSelect& q);
// A bound condition (UPDATE, DELETE), its parameters appended to params.
std::string RenderCondition(const Connection& conn, const OdbcTable& table, const sql::BoundExpr& e,
                            std::vector<Value>& params);
// The server's column type for a new column of the Jet type.
std::string ColumnTypeName(Server server, FieldType type, int32_t size);

// A cell read from its text as the result column's Jet type, the way the file back end types
// its cells; a cell the type cannot read comes back as its text.
Value CellFromText(const std::string& text, FieldType type);

// A SELECT's result as a Jet recordset, its rows read a block at a time as the caller moves
// through them; the statement is run again on the connection to go back.
std::unique_ptr<Recordset> OpenResult(std::shared_ptr<const Connection> conn, Rendered query,
                                      std::vector<Field> fields);

}  // namespace db::odbc
