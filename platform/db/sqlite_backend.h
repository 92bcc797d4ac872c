// The SQLite back end: a connection with its cache of prepared statements, the Database over a
// SQLite file (or an in-memory database that an importer fills), and the rendering of bound
// Jet queries into SQLite SQL. Every name is quoted ("..." with doubled quotes) and every
// literal bound as a parameter: SQLite would read an unquoted YES as a column when the table
// has one, and "=no" as a missing column otherwise.
#pragma once

#include <sqlite3.h>

#include <list>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/db/column_types.h"
#include "platform/db/database.h"
#include "platform/db/sql_bind.h"

namespace db::sqlite {

// The open handle, shared by the database and the recordsets it opened, so a recordset that
// outlives its Database object still reads.
class Connection {
public:
    Connection(sqlite3* handle, std::string name);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    sqlite3* handle() const { return db_; }
    const std::string& name() const { return name_; }

    // A prepared statement for the text, reset and without bindings; give it back with Release.
    sqlite3_stmt* Acquire(const std::string& sql);
    void Release(sqlite3_stmt* stmt);

    // Runs a statement without results (DDL, transactions).
    void Run(const std::string& sql);
    // SQLite's schema cookie: changes whenever any connection changes the schema.
    int64_t SchemaVersion();

    // The Jet error for a SQLite result code, with SQLite's own message added where it helps.
    [[noreturn]] void Fail(int rc) const;
    void Check(int rc) const {
        if (rc != SQLITE_OK && rc != SQLITE_ROW && rc != SQLITE_DONE) Fail(rc);
    }

private:
    sqlite3* db_;
    std::string name_;
    // Statements not in use, the most recently used first; the least recently used one is
    // finalized when the list is full.
    std::list<sqlite3_stmt*> idle_;
};

// A statement taken from the connection's cache for one scope. The connection must outlive it
// (recordsets hold the connection's shared pointer next to their statements).
class Statement {
public:
    Statement(Connection& conn, const std::string& sql) : conn_(&conn), stmt_(conn.Acquire(sql)) {}
    ~Statement() { conn_->Release(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    sqlite3_stmt* get() const { return stmt_; }
    void Bind(const std::vector<Value>& params);
    // Steps once: true on a row, false at the end; errors become db::Error.
    bool Step();

private:
    Connection* conn_;
    sqlite3_stmt* stmt_;
};

// SQLite-side helpers shared by rendering, reading and writing.
std::string QuoteName(const std::string& name);
void BindValue(sqlite3_stmt* stmt, int index, const Value& v);
// The cell read as the column's Jet type (see column_types.h); typed false: by its storage.
Value ReadCell(sqlite3_stmt* stmt, int index, FieldType type, bool typed);
// A number stored as an integer (i, and d = i) or a real (d) read as ReadCell reads it; nothing
// for the types that show a number as its text.
std::optional<Value> ReadNumber(bool integer, int64_t i, double d, FieldType type, bool typed);
// The functions the rendered SQL calls: jet_single (a number at single precision) and jet_date
// (a stored date as its serial).
void RegisterFunctions(sqlite3* db);

// A SQL function's error as a db::Error: SQLite fails the statement with its text, and the
// connection's Fail throws it again with its number.
void ResultError(sqlite3_context* ctx, const Error& e);

// A SQL function's body run so that no C++ exception crosses SQLite's C code: a db::Error
// becomes the statement's error (ResultError), any other exception an error with its text.
template <void (*Body)(sqlite3_context*, int, sqlite3_value**)>
void GuardedFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv) noexcept {
    try {
        Body(ctx, argc, argv);
    } catch (const Error& e) {
        ResultError(ctx, e);
    } catch (const std::exception& e) {
        sqlite3_result_error(ctx, e.what(), -1);
    } catch (...) {
        sqlite3_result_error(ctx, "an error in a SQL function", -1);
    }
}

// A bound query rendered for SQLite.
struct Rendered {
    std::string sql;
    std::vector<Value> params;
};
Rendered RenderSelect(const sql::BoundSelect& q);
// The row ids of the query's rows, in its order (rowid: the name that reads them).
Rendered RenderKeys(const sql::BoundSelect& q, const std::string& rowid);
// The select list of `q` without its "SELECT ".
std::string RenderColumns(const sql::BoundSelect& q);
// The bound condition alone, its parameters appended to params.
std::string RenderCondition(const sql::BoundExpr& e, const sql::TableInfo& table, std::vector<Value>& params);

// A result column of a recordset.
struct ResultColumn {
    Field field;           // name, type and size as Fields reports them
    bool typed = true;
    int tableColumn = -1;  // the table column it shows, for updates; -1 for an expression
};

// What OpenRecordset needs to run one Jet text: built once per text and kept while the schema
// does not change.
struct QueryPlan {
    Rendered query;
    std::vector<ResultColumn> columns;
    sql::TableInfo table;
    // Walkable by row id and updatable: one table, plain columns, no grouping.
    bool keyset = false;
    std::string rowidName;  // the name by which this table's row id is read
    Rendered keys;          // the row ids of the result, in its order
    std::string rowSql;     // a block's row ids and columns, by kKeysetBlock row ids
    std::string rowColumns; // the columns of a row as a block reads them, without its row id
    // A grouped or aggregate query, kept bound for the in-memory counting path.
    std::shared_ptr<const sql::BoundSelect> counting;
    bool rowidTable = false;
};

// The rows a keyset recordset reads at once.
constexpr int kKeysetBlock = 64;

// The recordset over a plan: streamed from the statement for snapshots, forward-only and
// grouped results; walked by row id (and updatable) for dynaset, table and default types.
std::unique_ptr<Recordset> MakeRecordset(std::shared_ptr<Connection> conn, std::shared_ptr<const QueryPlan> plan,
                                         int16_t type, bool readOnly);
// A read-only recordset over rows already computed for the plan (cells row by row), which
// behaves as the streamed recordset over the same rows.
std::unique_ptr<Recordset> MakeRecordset(std::shared_ptr<Connection> conn, std::shared_ptr<const QueryPlan> plan,
                                         std::vector<Value> cells);

class CountingPath;
struct CountingStats;

class SqliteDatabase : public Database {
public:
    SqliteDatabase(std::shared_ptr<Connection> conn, std::string connect, bool readOnly);
    ~SqliteDatabase() override;

    std::string Connect() const override { return connect_; }
    std::string Name() const override;
    std::unique_ptr<Recordset> OpenRecordset(const std::string& sql, int16_t type = dbOpenDefault) override;
    void Execute(const std::string& sql) override;
    TableDef TableDefs(const std::string& table) override;
    std::vector<std::string> TableNames() override;
    // Tables by name without regard to case; views, in the order they were made.
    std::vector<std::string> TableDefNames() override;
    std::vector<std::string> QueryDefNames() override;
    void Close() override;
    void AppendField(const std::string& table, const Field& field) override;
    void DeleteTable(const std::string& table) override;
    void BeginTrans() override;
    void CommitTrans() override;
    void Rollback() override;

    // The table's columns; db::Error 3078 naming it when there is none.
    sql::TableInfo Table(const std::string& name);
    // Makes a new table; db::Error 3010 when one of that name exists.
    void CreateTable(const std::string& name, const std::vector<Field>& fields);
    const std::shared_ptr<Connection>& connection() const { return conn_; }
    // The in-memory counting path (column_store.h): on unless BNSUITE_COUNTING=sqlite is set;
    // off, every query goes to SQLite.
    void SetInMemoryCounting(bool on) override;
    bool InMemoryCounting() const override;
    const CountingStats& CountingStatistics() const;
    // The in-memory path's counter (see Database::GroupCounts); nullptr when the path is off.
    std::unique_ptr<GroupCounter> GroupCounts(const std::string& countExpr, const std::string& table,
                                              const std::string& where, const std::vector<std::string>& fields) override;
    // Creates the table in this database and copies the recordset's remaining rows into it.
    void CopyRows(Recordset& rows, const std::vector<Field>& fields, const std::string& table);

protected:
    // Importers load a table into the in-memory database here when it is first named.
    virtual void PrepareTable(const std::string& /*name*/) {}
    // The Jet type of a view's column that SQLite knows no declared type of (a computed
    // column); nothing leaves it to the first value it holds.
    virtual std::optional<DeclaredType> ViewColumnType(const std::string& /*view*/, const std::string& /*column*/) {
        return std::nullopt;
    }
    // Not "" for a column whose cells its source could not read (an imported table): the
    // column's type in words, for the error of every query that reads it (ColumnInfo::unreadable).
    virtual std::string UnreadableColumn(const std::string& /*table*/, const std::string& /*column*/) { return ""; }
    std::vector<std::string> StoredTableNames();
    void CheckOpen() const;
    void CheckWritable() const;
    void SchemaChanged();
    bool readOnly_;

private:
    std::optional<std::string> FindTable(const std::string& name);
    std::shared_ptr<const QueryPlan> Plan(const std::string& text);
    std::shared_ptr<const QueryPlan> BuildPlan(const std::string& text);
    std::shared_ptr<QueryPlan> PlanFor(const sql::Select& select);
    void Revalidate();
    void SelectInto(const sql::Select& select);
    void RunStatement(const std::string& sql, const std::vector<Value>& params);
    // Ends an open transaction by rolling it back, for Close and the destructor; never throws.
    void AbandonTransaction() noexcept;

    std::shared_ptr<Connection> conn_;
    bool inTransaction_ = false;
    std::string connect_;
    bool closed_ = false;
    int64_t schemaVersion_ = -1;
    struct TableEntry {
        sql::TableInfo info;
        bool hasRowid = false;
    };
    const TableEntry& Entry(const std::string& name);
    std::map<std::string, TableEntry> tables_;  // by upper-cased name
    std::unordered_map<std::string, std::shared_ptr<const QueryPlan>> plans_;
    std::unique_ptr<CountingPath> counting_;
};

// Opens a SQLite file (3024 when it is missing, 3343 when it is not a SQLite database, 3049
// when it is damaged; with verify false the damage is left for the caller to find) or, for
// name ":memory:", a new in-memory database. create: a new file (3204 when it exists).
std::shared_ptr<Connection> OpenConnection(const std::string& name, bool readOnly, bool create, bool verify = true);

}  // namespace db::sqlite
