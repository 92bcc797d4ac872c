// The Database over an ODBC connection: table definitions from the driver's catalog (SQLTables,
// SQLColumns) with the server's types read as Jet's, SELECT texts parsed and bound by the same
// Jet rules as the file back end and rendered in the server's SQL, and the statements that
// change data or tables. Names are case-insensitive as in Jet: a table made as "data" on a
// server that folds names answers to [Data].
#include <fmt/format.h>

#include <algorithm>
#include <map>

#include "platform/db/column_types.h"
#include "platform/db/odbc.h"
#include "platform/db/odbc_backend.h"
#include "platform/db/sql_parser.h"
#include "platform/db/table_copy.h"
#include "platform/db/transactions.h"
#include "platform/vb/strings.h"

namespace db::odbc {
namespace {

Error ReadOnlyError() { return Error(3027, "Cannot update. Database or object is read-only."); }

struct ColumnType {
    FieldType type = dbText;
    int32_t size = 0;
    bool nativeBoolean = false;
};

// A column's ODBC type read as Jet's. Every character type is Text (Jet would call a long one
// Memo), because the engines quote a class label only for Text fields, and a server's plain
// text type is reported as a long one.
ColumnType MapColumnType(Server server, SQLSMALLINT dataType, const std::string& typeName, int32_t size) {
    ColumnType out;
    if (server == Server::Sqlite) {
        // The SQLite driver reports the declared type's text: read it the way the file back end does.
        DeclaredType d = FieldTypeFromDeclared(typeName);
        out.type = d.type;
        out.size = JetFieldSize(d.type, d.size > 0 ? d.size : 0);
        return out;
    }
    const std::string name = vb::UCase(typeName);
    if (dataType == SQL_BIT || name == "BOOL" || name == "BOOLEAN") {
        out.type = dbBoolean;
        out.nativeBoolean = true;
    } else {
        switch (dataType) {
            case SQL_TINYINT: out.type = dbByte; break;
            case SQL_SMALLINT: out.type = dbInteger; break;
            case SQL_INTEGER:
            case SQL_BIGINT: out.type = dbLong; break;
            case SQL_REAL: out.type = dbSingle; break;
            case SQL_FLOAT:
            case SQL_DOUBLE:
            case SQL_NUMERIC:
            case SQL_DECIMAL: out.type = dbDouble; break;
            case SQL_TYPE_DATE:
            case SQL_TYPE_TIME:
            case SQL_TYPE_TIMESTAMP:
            case SQL_DATE:
            case SQL_TIME:
            case SQL_TIMESTAMP: out.type = dbDate; break;
            case SQL_BINARY:
            case SQL_VARBINARY: out.type = dbBinary; break;
            case SQL_LONGVARBINARY: out.type = dbLongBinary; break;
            default: out.type = dbText; break;
        }
    }
    const bool unbounded = dataType == SQL_LONGVARCHAR || dataType == SQL_WLONGVARCHAR;
    // A long text type has no length to check values against: Size 0, as for a Memo.
    out.size = unbounded ? 0 : JetFieldSize(out.type, out.type == dbText || out.type == dbBinary ? size : 0);
    return out;
}

struct CatalogEntry {
    std::string catalog;  // "" where the driver names none
    std::string schema;
    std::string name;
};

// Autocommit off for one scope; committed by Commit, rolled back otherwise. Inside a
// transaction the caller began (BeginTrans) it does nothing: the caller's commit or rollback
// decides for the whole.
class Transaction {
public:
    Transaction(const Connection& conn, bool callerTransaction) : conn_(conn), done_(callerTransaction) {
        if (done_) return;
        if (!SQL_SUCCEEDED(SQLSetConnectAttrW(conn_.handle(), SQL_ATTR_AUTOCOMMIT,
                                              reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0)))
            Fail(SQL_HANDLE_DBC, conn_.handle());
        own_ = true;
    }
    ~Transaction() {
        if (!own_) return;
        if (!done_) SQLEndTran(SQL_HANDLE_DBC, conn_.handle(), SQL_ROLLBACK);
        SQLSetConnectAttrW(conn_.handle(), SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), 0);
    }
    void Commit() {
        if (!own_) return;
        if (!SQL_SUCCEEDED(SQLEndTran(SQL_HANDLE_DBC, conn_.handle(), SQL_COMMIT))) Fail(SQL_HANDLE_DBC, conn_.handle());
        done_ = true;
    }

private:
    const Connection& conn_;
    bool done_;
    bool own_ = false;
};

class OdbcDatabase : public Database {
public:
    OdbcDatabase(std::shared_ptr<Connection> conn, bool readOnly) : conn_(std::move(conn)), readOnly_(readOnly) {}
    ~OdbcDatabase() override { AbandonTransaction(); }

    std::string Connect() const override { return "ODBC;" + completed(); }

    std::string Name() const override {
        std::string name = ConnectValue(completed(), "DATABASE");
        return name.empty() ? ConnectValue(completed(), "DSN") : name;
    }

    std::unique_ptr<Recordset> OpenRecordset(const std::string& text, int16_t /*type*/) override {
        CheckOpen();
        return Query(sql::ParseRecordsetSource(text));
    }

    void Execute(const std::string& text) override {
        CheckOpen();
        sql::Statement st = sql::ParseStatement(text);
        if (auto* s = std::get_if<sql::Select>(&st)) {
            if (!s->into) throw Error(3065, "Cannot execute a select query.");
            if (readOnly_ && !s->into->database) throw ReadOnlyError();
            SelectInto(*s);
            return;
        }
        if (readOnly_) throw ReadOnlyError();
        if (auto* c = std::get_if<sql::CreateTable>(&st)) {
            std::vector<Field> fields;
            for (const sql::ColumnDef& d : c->columns) fields.push_back(FieldOf(d));
            CreateTable(c->table.text, fields);
        } else if (auto* a = std::get_if<sql::AlterTableAdd>(&st)) {
            const OdbcTable& t = Table(a->table.text);
            if (t.info.Find(a->column.name.text) >= 0)
                throw Error(3380, fmt::format("Field '{}' already exists in table '{}'.", a->column.name.text, t.info.name));
            if (a->column.name.text.empty()) throw Error(3125, "'' is not a valid name.");
            Run(fmt::format("ALTER TABLE {} ADD {}{} {}", TableName(*conn_, t),
                            conn_->server() == Server::Generic ? "" : "COLUMN ", conn_->QuoteName(a->column.name.text),
                            ColumnTypeName(conn_->server(), a->column.type, a->column.size)),
                {});
            tables_.clear();
        } else if (auto* d = std::get_if<sql::DropTable>(&st)) {
            auto entry = FindTable(d->table.text);
            if (!entry) throw Error(3376, fmt::format("Table '{}' does not exist.", d->table.text));
            OdbcTable t;
            t.info.name = entry->name;
            t.schema = entry->schema;
            Run("DROP TABLE " + TableName(*conn_, t), {});
            tables_.clear();
        } else if (auto* ins = std::get_if<sql::Insert>(&st)) {
            Insert(*ins);
        } else if (auto* u = std::get_if<sql::Update>(&st)) {
            const OdbcTable& t = Table(u->table.text);
            std::vector<Value> params;
            std::string text = "UPDATE " + TableName(*conn_, t) + " SET ";
            for (size_t i = 0; i < u->set.size(); ++i) {
                int c = t.info.Find(u->set[i].column.text);
                if (c < 0) throw sql::NoSuchField(u->set[i].column.text, t.info.name);
                text += (i ? ", " : "") + conn_->QuoteName(t.info.columns[size_t(c)].name) + " = " +
                        Marker(sql::CoerceForColumn(u->set[i].value.literal, t.info.columns[size_t(c)]), params);
            }
            if (u->where) text += " WHERE " + RenderCondition(*conn_, t, sql::BindCondition(*u->where, t.info), params);
            Run(text, params);
        } else if (auto* del = std::get_if<sql::Delete>(&st)) {
            const OdbcTable& t = Table(del->table.text);
            std::vector<Value> params;
            std::string text = "DELETE FROM " + TableName(*conn_, t);
            if (del->where) text += " WHERE " + RenderCondition(*conn_, t, sql::BindCondition(*del->where, t.info), params);
            Run(text, params);
        }
    }

    TableDef TableDefs(const std::string& table) override {
        CheckOpen();
        tables_.erase(vb::UCase(table));  // a definition is read afresh, as after a Refresh
        return sql::TableDefOf(table, [this](const std::string& t) { return Table(t).info; });
    }

    std::vector<std::string> TableNames() override {
        CheckOpen();
        std::vector<std::string> names;
        for (const CatalogEntry& e : Catalog()) names.push_back(e.name);
        std::stable_sort(names.begin(), names.end(),
                         [](const std::string& a, const std::string& b) { return vb::UCase(a) < vb::UCase(b); });
        return names;
    }

    void Close() override {
        AbandonTransaction();
        closed_ = true;
        tables_.clear();
        conn_.reset();
    }

    // The driver's autocommit is off from BeginTrans to the commit or rollback, which end the
    // transaction the driver began with the first statement.
    void BeginTrans() override {
        CheckOpen();
        if (inTransaction_) throw TransactionOpenError();
        SQLUSMALLINT capable = SQL_TC_NONE;
        const SQLRETURN rc = conn_->wide() ? SQLGetInfoW(conn_->handle(), SQL_TXN_CAPABLE, &capable, sizeof capable, nullptr)
                                           : SQLGetInfo(conn_->handle(), SQL_TXN_CAPABLE, &capable, sizeof capable, nullptr);
        if (!SQL_SUCCEEDED(rc) || capable == SQL_TC_NONE)
            throw NoTransactionsHere(Name(), "its ODBC driver does not support them");
        if (!SQL_SUCCEEDED(SQLSetConnectAttrW(conn_->handle(), SQL_ATTR_AUTOCOMMIT,
                                              reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0)))
            Fail(SQL_HANDLE_DBC, conn_->handle());
        inTransaction_ = true;
    }

    void CommitTrans() override {
        CheckOpen();
        if (!inTransaction_) throw NoTransactionError();
        // A failed commit leaves the transaction open, to be committed again or rolled back.
        if (!SQL_SUCCEEDED(SQLEndTran(SQL_HANDLE_DBC, conn_->handle(), SQL_COMMIT))) Fail(SQL_HANDLE_DBC, conn_->handle());
        EndTransaction();
    }

    void Rollback() override {
        CheckOpen();
        if (!inTransaction_) throw NoTransactionError();
        const SQLRETURN rc = SQLEndTran(SQL_HANDLE_DBC, conn_->handle(), SQL_ROLLBACK);
        EndTransaction();
        tables_.clear();  // tables made or altered inside are gone again
        if (!SQL_SUCCEEDED(rc)) Fail(SQL_HANDLE_DBC, conn_->handle());
    }

private:
    const std::string& completed() const {
        static const std::string none;
        return conn_ ? conn_->completed() : none;
    }

    void CheckOpen() const {
        if (closed_) throw Error(3420, "Object invalid or no longer set.");
    }

    void EndTransaction() {
        inTransaction_ = false;
        SQLSetConnectAttrW(conn_->handle(), SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), 0);
    }

    // Rolls back a transaction left open, for Close and the destructor: a driver will not
    // disconnect in the middle of one.
    void AbandonTransaction() noexcept {
        if (!inTransaction_ || !conn_) return;
        SQLEndTran(SQL_HANDLE_DBC, conn_->handle(), SQL_ROLLBACK);
        EndTransaction();
    }

    static Field FieldOf(const sql::ColumnDef& d) {
        Field f;
        f.Name = d.name.text;
        f.Type = d.type;
        f.Size = d.size;
        return f;
    }

    // A value as a "?" marker, or Null written out: a Null parameter carries no type, and some
    // servers will not store an untyped Null in a typed column.
    static std::string Marker(const Value& v, std::vector<Value>& params) {
        if (v.IsNull()) return "NULL";
        params.push_back(v);
        return "?";
    }

    void Run(const std::string& text, const std::vector<Value>& params) {
        Statement s(*conn_);
        s.Execute(text, params);
    }

    // The user's tables and views of the connection's database; the driver's own bookkeeping
    // tables, and the tables of the server's other databases (which a driver such as
    // MariaDB's lists too, its own system tables among them), are left out.
    std::vector<CatalogEntry> Catalog() {
        // The SQLite driver calls its one file "main" or names none: it has nothing else to list.
        const std::string current = conn_->server() == Server::Sqlite ? "" : conn_->CurrentCatalog();
        Statement s(*conn_);
        s.Tables(MySqlFamily(conn_->server()) ? current : "", "%");
        std::vector<CatalogEntry> out;
        while (s.Fetch()) {
            CatalogEntry e;
            e.catalog = s.Text(1).value_or("");
            e.schema = s.Text(2).value_or("");
            e.name = s.Text(3).value_or("");
            if (conn_->server() == Server::Sqlite && vb::UCase(e.name).rfind("SQLITE_", 0) == 0) continue;
            if (!current.empty() && !e.catalog.empty() && e.catalog != current) continue;
            if (!e.name.empty()) out.push_back(std::move(e));
        }
        return out;
    }

    std::optional<CatalogEntry> FindTable(const std::string& name) {
        std::vector<CatalogEntry> all = Catalog();
        for (const CatalogEntry& e : all)
            if (e.name == name) return e;
        for (const CatalogEntry& e : all)
            if (sql::SameName(e.name, name)) return e;
        return std::nullopt;
    }

    const OdbcTable& Table(const std::string& name) {
        CheckOpen();
        const std::string key = vb::UCase(name);
        auto it = tables_.find(key);
        if (it != tables_.end()) return it->second;
        std::optional<CatalogEntry> entry = FindTable(name);
        if (!entry) throw sql::NoSuchTable(name);

        OdbcTable t;
        t.info.name = entry->name;
        t.schema = entry->schema;
        {
            Statement s(*conn_);
            // Names are patterns here ("_" matches any character), so the rows are filtered by
            // the exact name below.
            s.Columns(entry->catalog, entry->schema, entry->name);
            while (s.Fetch()) {
                std::string catalogName = s.Text(1).value_or("");
                std::string schemaName = s.Text(2).value_or("");
                std::string tableName = s.Text(3).value_or("");
                std::string column = s.Text(4).value_or("");
                auto dataType = SQLSMALLINT(s.Integer(5).value_or(SQL_VARCHAR));
                std::string typeName = s.Text(6).value_or("");
                auto size = int32_t(s.Integer(7).value_or(0));
                if (tableName != entry->name || schemaName != entry->schema) continue;
                if (!entry->catalog.empty() && !catalogName.empty() && catalogName != entry->catalog) continue;
                ColumnType ct = MapColumnType(conn_->server(), dataType, typeName, size);
                sql::ColumnInfo c;
                c.name = column;
                c.type = ct.type;
                c.size = ct.size;
                // No declared type: the file back end reports the type of the first value and
                // compares the column's cells by what each holds.
                c.typed = !(conn_->server() == Server::Sqlite && vb::Trim(typeName).empty());
                t.info.columns.push_back(std::move(c));
                t.extra.push_back({ct.nativeBoolean});
            }
        }
        // A table the catalog lists but whose columns this user may not see (or the driver
        // cannot report) would be read with an empty select list.
        if (t.info.columns.empty())
            throw Error(errnum::kOdbcCallFailed,
                        fmt::format("ODBC--call failed. The fields of table '{}' cannot be read from the data source; "
                                    "check that the user may read them.",
                                    entry->name));
        for (sql::ColumnInfo& c : t.info.columns) {
            if (c.typed) continue;
            c.type = FirstValueType(t, c.name);
            c.size = JetFieldSize(c.type, 0);
        }
        return tables_.emplace(key, std::move(t)).first->second;
    }

    FieldType FirstValueType(const OdbcTable& t, const std::string& column) {
        Statement s(*conn_);
        std::string c = conn_->QuoteName(column);
        s.Execute("SELECT typeof(" + c + ") FROM " + TableName(*conn_, t) + " WHERE " + c + " IS NOT NULL LIMIT 1");
        std::string storage = s.Fetch() ? s.Text(1).value_or("") : "";
        return storage == "integer" ? dbLong : storage == "real" ? dbDouble : storage == "blob" ? dbLongBinary : dbText;
    }

    sql::BoundSelect Bind(const sql::Select& select) {
        return sql::BindSelect(select, [this](const std::string& name) { return Table(name).info; });
    }

    // Runs a SELECT; its rows are read as the recordset is walked, each cell typed by its result
    // column.
    std::unique_ptr<Recordset> Query(const sql::Select& select) {
        sql::BoundSelect q = Bind(select);
        const OdbcTable& table = Table(q.table.name);
        return OpenResult(conn_, RenderSelect(*conn_, table, q), FieldsOf(q));
    }

    void CreateTable(const std::string& name, const std::vector<Field>& fields) {
        if (name.empty())
            throw Error(3125, "'' is not a valid name. Make sure that it does not include invalid characters or "
                              "punctuation and that it is not too long.");
        if (FindTable(name)) throw Error(errnum::kTableExists, fmt::format("Table '{}' already exists.", name));
        if (fields.empty()) throw Error(3264, "No field defined--cannot append TableDef or Index.");
        std::string text = "CREATE TABLE " + conn_->QuoteName(name) + " (";
        for (size_t i = 0; i < fields.size(); ++i) {
            for (size_t j = 0; j < i; ++j)
                if (sql::SameName(fields[j].Name, fields[i].Name))
                    throw Error(3191, fmt::format("Cannot define field '{}' more than once.", fields[i].Name));
            if (i) text += ", ";
            text += conn_->QuoteName(fields[i].Name) + " " + ColumnTypeName(conn_->server(), fields[i].Type, fields[i].Size);
        }
        Run(text + ")", {});
        tables_.clear();
    }

    void Insert(const sql::Insert& ins) {
        if (ins.table.database) throw Error(3170, "Could not find installable ISAM.");
        const OdbcTable& t = Table(ins.table.name.text);
        const std::vector<int> targets = sql::InsertTargets(ins, t.info);
        std::string names;
        for (size_t i = 0; i < targets.size(); ++i)
            names += (i ? ", " : "") + conn_->QuoteName(t.info.columns[size_t(targets[i])].name);
        std::vector<Value> params;
        std::string text = "INSERT INTO " + TableName(*conn_, t) + " (" + names + ") ";
        if (ins.select) {
            sql::BoundSelect q = Bind(*ins.select);
            if (q.items.size() != targets.size())
                throw Error(3346, "Number of query values and destination fields are not the same.");
            Rendered r = RenderSelect(*conn_, Table(q.table.name), q);
            text += r.sql;
            params = std::move(r.params);
        } else {
            if (ins.values.size() != targets.size())
                throw Error(3346, "Number of query values and destination fields are not the same.");
            text += "VALUES (";
            for (size_t i = 0; i < targets.size(); ++i)
                text += (i ? ", " : "") +
                        Marker(sql::CoerceForColumn(ins.values[i].literal, t.info.columns[size_t(targets[i])]), params);
            text += ")";
        }
        Run(text, params);
    }

    // SELECT ... INTO: into a SQLite file (IN 'file'), or into a new table of this source, which
    // is created and filled in one transaction so a failure leaves no half table.
    void SelectInto(const sql::Select& select) {
        sql::Select source = select;
        source.into.reset();
        const std::vector<Field> fields = FieldsOf(Bind(source));
        const sql::TableRef& into = *select.into;
        if (into.database) {
            CopyIntoFile(*Query(source), fields, *into.database, into.name.text);
            return;
        }
        // The rows are read inside the transaction that writes them: the driver's cursor over
        // them would not live through a change of the connection's autocommit.
        Transaction tx(*conn_, inTransaction_);
        std::unique_ptr<Recordset> rows = Query(source);
        CreateTable(into.name.text, fields);
        std::string names, marks;
        for (size_t i = 0; i < fields.size(); ++i) {
            names += (i ? ", " : "") + conn_->QuoteName(fields[i].Name);
            marks += i ? ", ?" : "?";
        }
        const std::string insert =
            "INSERT INTO " + conn_->QuoteName(into.name.text) + " (" + names + ") VALUES (" + marks + ")";
        while (true) {
            vb::Array<Value> block = rows->GetRows(1000);
            const int32_t n = block.UBound(2) + 1;
            if (n == 0) break;
            for (int32_t r = 0; r < n; ++r) {
                std::vector<Value> params;
                for (size_t c = 0; c < fields.size(); ++c) params.push_back(block(int32_t(c), r));
                Run(insert, params);
            }
        }
        tx.Commit();
        tables_.clear();
    }

    // The result columns' names, types and sizes as Fields reports them.
    static std::vector<Field> FieldsOf(const sql::BoundSelect& q) {
        std::vector<Field> fields;
        for (const sql::BoundItem& item : q.items) {
            Field f;
            f.Name = item.name;
            f.Type = item.expr.type;
            const bool column = item.expr.kind == sql::BoundExpr::Kind::Column;
            f.Size = JetFieldSize(item.expr.type, column ? q.table.columns[size_t(item.expr.column)].size : 0);
            fields.push_back(std::move(f));
        }
        return fields;
    }

    std::shared_ptr<Connection> conn_;  // shared with the recordsets still reading from it
    bool readOnly_;
    bool closed_ = false;
    bool inTransaction_ = false;
    std::map<std::string, OdbcTable> tables_;  // by upper-cased name
};

}  // namespace
}  // namespace db::odbc

namespace db {

std::shared_ptr<Database> OpenOdbcDatabase(const std::string& connect, bool readOnly) {
    // "ODBC;DSN=x;..." and "DSN=x;..." open the same source.
    std::string rest = vb::Trim(connect);
    if (vb::UCase(rest.substr(0, 4)) == "ODBC") {
        rest = rest.substr(4);
        if (!rest.empty() && rest[0] == ';') rest = rest.substr(1);
    }
    auto conn = std::make_shared<odbc::Connection>(rest);
    if (readOnly) conn->SetReadOnly();
    return std::make_shared<odbc::OdbcDatabase>(std::move(conn), readOnly);
}

}  // namespace db
