// The Database over a SQLite connection: table definitions read from SQLite's catalogue with
// their declared types mapped to Jet's, query plans (parse, bind, render) kept per text while
// the schema stays the same, and the statements that change data or tables.
#include <fmt/format.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstring>

#include "platform/db/column_store.h"
#include "platform/db/column_types.h"
#include "platform/db/sql_parser.h"
#include "platform/db/sqlite_backend.h"
#include "platform/db/table_copy.h"
#include "platform/vb/strings.h"

namespace db::sqlite {
namespace {

constexpr size_t kMaxPlans = 512;

bool SameFile(const std::string& a, const std::string& b) {
    struct stat sa {}, sb {};
    if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

Error ReadOnlyError() { return Error(3027, "Cannot update. Database or object is read-only."); }

// The names of the catalogue's objects of the types, SQLite's own tables left out.
std::vector<std::string> MasterNames(Connection& conn, const std::string& types, const std::string& order) {
    std::vector<std::string> names;
    Statement s(conn, "SELECT name FROM sqlite_master WHERE type IN (" + types +
                          ") AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\' ORDER BY " + order);
    while (s.Step()) names.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(s.get(), 0)));
    return names;
}

// The tokens of a SQLite query text: quoted texts and names, words, operators and marks.
std::vector<std::string> Tokens(const std::string& sql) {
    std::vector<std::string> out;
    auto wordChar = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$' || (c & 0x80); };
    for (size_t i = 0; i < sql.size();) {
        const char c = sql[i];
        if (std::isspace(static_cast<unsigned char>(c))) {
            ++i;
        } else if (sql.compare(i, 2, "--") == 0) {  // comments are left out
            i = std::min(sql.find('\n', i), sql.size());
        } else if (sql.compare(i, 2, "/*") == 0) {
            i = std::min(sql.find("*/", i + 2), sql.size() - 2) + 2;
        } else if (c == '\'' || c == '"' || c == '`' || c == '[') {
            // Up to the closing mark; a doubled quote stands for itself.
            const char close = c == '[' ? ']' : c;
            size_t j = i + 1;
            while (j < sql.size()) {
                if (sql[j] == close && !(close != ']' && j + 1 < sql.size() && sql[j + 1] == close)) break;
                j += sql[j] == close ? 2 : 1;
            }
            j = std::min(j + 1, sql.size());
            out.push_back(sql.substr(i, j - i));
            i = j;
        } else if (wordChar(c)) {
            size_t j = i;
            while (j < sql.size() && wordChar(sql[j])) ++j;
            out.push_back(sql.substr(i, j - i));
            i = j;
        } else if (c == '(' || c == ')' || c == ',' || c == '.' || c == ';') {
            out.emplace_back(1, c);
            ++i;
        } else {  // an operator, kept whole ("<>", "||")
            size_t j = i;
            while (j < sql.size() && std::ispunct(static_cast<unsigned char>(sql[j])) && !std::strchr("(),.;'\"`[_$", sql[j])) ++j;
            out.push_back(sql.substr(i, std::max(j, i + 1) - i));
            i = std::max(j, i + 1);
        }
    }
    return out;
}

// A name token without its quotes, upper-cased; "" for a quoted text and other tokens.
std::string NameOf(const std::string& token) {
    if (token.empty() || token[0] == '\'') return "";
    if (token[0] == '"' || token[0] == '`' || token[0] == '[') return vb::UCase(token.substr(1, token.size() - 2));
    return std::isalpha(static_cast<unsigned char>(token[0])) || token[0] == '_' || (token[0] & 0x80) ? vb::UCase(token) : "";
}

// The query of a view that names a column its tables lack. SQLite keeps such a view and fails
// when it is used; Jet takes each unknown name for a parameter, so the query is a parameter
// query: 3061 with the number of unknown names, found by putting Null in place of each one
// SQLite reports until the query prepares.
void CheckView(Connection& conn, const std::string& ddl) {
    std::vector<std::string> tokens = Tokens(ddl);
    size_t as = 0;
    for (int depth = 0; as < tokens.size(); ++as) {
        if (tokens[as] == "(") ++depth;
        else if (tokens[as] == ")") --depth;
        else if (depth == 0 && vb::UCase(tokens[as]) == "AS") break;
    }
    tokens.erase(tokens.begin(), tokens.begin() + std::min(as + 1, tokens.size()));
    int unknown = 0;
    for (int round = 0; round < 100; ++round) {
        std::string body;
        for (const std::string& t : tokens) body += t + " ";
        sqlite3_stmt* raw = nullptr;
        const int rc = sqlite3_prepare_v2(conn.handle(), ("SELECT * FROM (" + body + ")").c_str(), -1, &raw, nullptr);
        const std::string message = rc == SQLITE_OK ? "" : sqlite3_errmsg(conn.handle());
        sqlite3_finalize(raw);
        const std::string prefix = "no such column: ";
        if (message.rfind(prefix, 0) != 0) break;
        ++unknown;
        // "t.c" or "c": each use of it becomes NULL.
        std::string name = message.substr(prefix.size());
        std::string qualifier;
        if (size_t dot = name.rfind('.'); dot != std::string::npos) {
            qualifier = vb::UCase(name.substr(0, dot));
            name = name.substr(dot + 1);
        }
        name = vb::UCase(name);
        std::vector<std::string> next;
        bool replaced = false;
        for (size_t i = 0; i < tokens.size(); ++i) {
            const bool afterDot = i > 0 && tokens[i - 1] == ".";
            if (qualifier.empty() && !afterDot && NameOf(tokens[i]) == name &&
                !(i + 1 < tokens.size() && tokens[i + 1] == ".")) {
                next.push_back("NULL");
                replaced = true;
            } else if (!qualifier.empty() && i + 2 < tokens.size() && NameOf(tokens[i]) == qualifier &&
                       tokens[i + 1] == "." && NameOf(tokens[i + 2]) == name) {
                next.push_back("NULL");
                replaced = true;
                i += 2;
            } else {
                next.push_back(tokens[i]);
            }
        }
        if (!replaced) break;
        tokens = std::move(next);
    }
    // Anything else a view cannot do (a table it names is gone) is reported in SQLite's own
    // words when the view is read.
    if (unknown > 0) throw Error(errnum::kTooFewParameters, fmt::format("Too few parameters. Expected {}.", unknown));
}

}  // namespace

SqliteDatabase::SqliteDatabase(std::shared_ptr<Connection> conn, std::string connect, bool readOnly)
    : readOnly_(readOnly), conn_(std::move(conn)), connect_(std::move(connect)),
      counting_(std::make_unique<CountingPath>()) {}

SqliteDatabase::~SqliteDatabase() { AbandonTransaction(); }

std::string SqliteDatabase::Name() const { return conn_ ? conn_->name() : std::string(); }

void SqliteDatabase::CheckOpen() const {
    if (closed_) throw Error(3420, "Object invalid or no longer set.");
}

void SqliteDatabase::CheckWritable() const {
    CheckOpen();
    if (readOnly_) throw ReadOnlyError();
}

void SqliteDatabase::SchemaChanged() {
    tables_.clear();
    plans_.clear();
    schemaVersion_ = -1;
    counting_->Invalidate();
}

void SqliteDatabase::SetInMemoryCounting(bool on) { counting_->SetEnabled(on); }
bool SqliteDatabase::InMemoryCounting() const { return counting_->enabled(); }
const CountingStats& SqliteDatabase::CountingStatistics() const { return counting_->stats(); }

void SqliteDatabase::Revalidate() {
    int64_t v = conn_->SchemaVersion();
    if (v != schemaVersion_) {
        SchemaChanged();
        schemaVersion_ = v;
    }
}

void SqliteDatabase::Close() {
    // The connection may live on in recordsets: a transaction left open must not.
    AbandonTransaction();
    closed_ = true;
    tables_.clear();
    plans_.clear();
    counting_->Invalidate();
    conn_.reset();  // the file closes once the recordsets opened from it are gone too
}

std::optional<std::string> SqliteDatabase::FindTable(const std::string& name) {
    Statement s(*conn_, "SELECT name FROM sqlite_master WHERE type IN ('table','view') AND name = ?1 COLLATE NOCASE");
    BindValue(s.get(), 1, Value(name));
    if (!s.Step()) return std::nullopt;
    return std::string(reinterpret_cast<const char*>(sqlite3_column_text(s.get(), 0)));
}

const SqliteDatabase::TableEntry& SqliteDatabase::Entry(const std::string& name) {
    CheckOpen();
    PrepareTable(name);
    Revalidate();
    const std::string key = vb::UCase(name);
    auto it = tables_.find(key);
    if (it != tables_.end()) return it->second;

    TableEntry entry;
    {
        Statement s(*conn_, "SELECT name, type, sql FROM sqlite_master WHERE type IN ('table','view') AND name = ?1 "
                            "COLLATE NOCASE");
        BindValue(s.get(), 1, Value(name));
        if (!s.Step()) throw sql::NoSuchTable(name);
        entry.info.name = reinterpret_cast<const char*>(sqlite3_column_text(s.get(), 0));
        std::string type = reinterpret_cast<const char*>(sqlite3_column_text(s.get(), 1));
        const char* ddl = reinterpret_cast<const char*>(sqlite3_column_text(s.get(), 2));
        entry.hasRowid = type == "table" && vb::UCase(ddl ? ddl : "").find("WITHOUT ROWID") == std::string::npos;
        if (type == "view") CheckView(*conn_, ddl ? ddl : "");
    }
    {
        Statement s(*conn_, "SELECT name, type FROM pragma_table_info(?1)");
        BindValue(s.get(), 1, Value(entry.info.name));
        while (s.Step()) {
            sql::ColumnInfo c;
            c.name = reinterpret_cast<const char*>(sqlite3_column_text(s.get(), 0));
            const char* declared = reinterpret_cast<const char*>(sqlite3_column_text(s.get(), 1));
            DeclaredType t = FieldTypeFromDeclared(declared ? declared : "");
            c.type = t.type;
            c.typed = t.typed;
            c.size = JetFieldSize(t.type, t.size);
            c.unreadable = UnreadableColumn(entry.info.name, c.name);
            entry.info.columns.push_back(std::move(c));
        }
    }
    // A column without a declared type reports the type of the first value it holds.
    for (sql::ColumnInfo& c : entry.info.columns) {
        if (c.typed) continue;
        if (const auto declared = ViewColumnType(entry.info.name, c.name)) {
            c.type = declared->type;
            c.typed = true;
            c.size = JetFieldSize(c.type, declared->size);
            continue;
        }
        Statement s(*conn_, "SELECT typeof(" + QuoteName(c.name) + ") FROM " + QuoteName(entry.info.name) +
                                " WHERE " + QuoteName(c.name) + " IS NOT NULL LIMIT 1");
        std::string storage = s.Step() ? reinterpret_cast<const char*>(sqlite3_column_text(s.get(), 0)) : "";
        c.type = storage == "integer" ? dbLong : storage == "real" ? dbDouble : storage == "blob" ? dbLongBinary : dbText;
        c.size = JetFieldSize(c.type, 0);
    }
    entry.info.IndexNames();
    return tables_.emplace(key, std::move(entry)).first->second;
}

sql::TableInfo SqliteDatabase::Table(const std::string& name) { return Entry(name).info; }

TableDef SqliteDatabase::TableDefs(const std::string& table) {
    TableDef def = sql::TableDefOf(table, [this](const std::string& t) { return Table(t); });
    // A file opened for writing whose permissions allow only reading is opened read-only by
    // SQLite without a word; it says so here.
    def.Updatable = !readOnly_ && Entry(table).hasRowid && !sqlite3_db_readonly(conn_->handle(), "main");
    return def;
}

std::vector<std::string> SqliteDatabase::StoredTableNames() { return MasterNames(*conn_, "'table','view'", "name COLLATE NOCASE"); }

std::vector<std::string> SqliteDatabase::TableNames() {
    CheckOpen();
    return StoredTableNames();
}

std::vector<std::string> SqliteDatabase::TableDefNames() {
    CheckOpen();
    return MasterNames(*conn_, "'table'", "name COLLATE NOCASE");
}

std::vector<std::string> SqliteDatabase::QueryDefNames() {
    CheckOpen();
    return MasterNames(*conn_, "'view'", "rowid");
}

std::shared_ptr<const QueryPlan> SqliteDatabase::Plan(const std::string& text) {
    CheckOpen();
    Revalidate();
    auto it = plans_.find(text);
    if (it != plans_.end()) return it->second;
    auto plan = BuildPlan(text);
    Revalidate();  // an importer may have loaded the table while the plan was built
    if (plans_.size() >= kMaxPlans) plans_.clear();
    plans_.emplace(text, plan);
    return plan;
}

std::shared_ptr<const QueryPlan> SqliteDatabase::BuildPlan(const std::string& text) {
    return PlanFor(sql::ParseRecordsetSource(text));
}

std::shared_ptr<QueryPlan> SqliteDatabase::PlanFor(const sql::Select& select) {
    auto plan = std::make_shared<QueryPlan>();
    bool hasRowid = false;
    sql::BoundSelect q = sql::BindSelect(select, [&](const std::string& name) {
        const TableEntry& e = Entry(name);
        hasRowid = e.hasRowid;
        return e.info;
    });
    plan->query = RenderSelect(q);
    // Only a plain select is updatable and needs the table's columns; a grouped query keeps
    // them once, in its bound form (a copy of a wide table's columns costs more than counting
    // a small one).
    const bool counting = q.aggregate && !q.distinctRows && !q.into;
    if (!q.aggregate) plan->table = q.table;
    else plan->table.name = q.table.name;
    if (counting) plan->rowidTable = hasRowid;
    bool plainColumns = !q.aggregate && !q.distinctRows;
    for (const sql::BoundItem& item : q.items) {
        ResultColumn c;
        c.field.Name = item.name;
        c.field.Type = item.expr.type;
        c.typed = item.expr.typed;
        const bool column = item.expr.kind == sql::BoundExpr::Kind::Column;
        c.field.Size = JetFieldSize(item.expr.type, column ? q.table.columns[size_t(item.expr.column)].size : 0);
        c.tableColumn = column && !q.aggregate ? item.expr.column : -1;
        plainColumns = plainColumns && column;
        plan->columns.push_back(std::move(c));
    }
    if (plainColumns && hasRowid) {
        for (const char* name : {"rowid", "_rowid_", "oid"})
            if (q.table.Find(name) < 0) {
                plan->rowidName = name;
                break;
            }
    }
    if (!plan->rowidName.empty()) {
        plan->keyset = true;
        plan->keys = RenderKeys(q, plan->rowidName);
        sql::BoundSelect row = q;
        row.where.reset();
        row.orderBy.clear();
        std::string marks = "?";
        for (int i = 1; i < kKeysetBlock; ++i) marks += ",?";
        // The row id, then the select list without its "SELECT ".
        plan->rowSql = "SELECT " + plan->rowidName + ", " + RenderSelect(row).sql.substr(7) + " WHERE " +
                       plan->rowidName + " IN (" + marks + ")";
        plan->rowColumns = RenderColumns(row);
    }
    if (counting) plan->counting = std::make_shared<const sql::BoundSelect>(std::move(q));
    return plan;
}

std::unique_ptr<GroupCounter> SqliteDatabase::GroupCounts(const std::string& countExpr, const std::string& table,
                                                          const std::string& where,
                                                          const std::vector<std::string>& fields) {
    if (closed_ || !counting_->enabled() || fields.empty()) return nullptr;
    try {
        // Bound as the grouped count over all the fields would be; the counter then counts
        // any few of them as the text over those few would.
        std::string list;
        for (const std::string& f : fields) list += (list.empty() ? "" : ",") + f;
        const sql::Select select =
            sql::ParseRecordsetSource("select " + countExpr + ", " + list + " from " + table + where + " group by " + list);
        Revalidate();
        bool hasRowid = false;
        sql::BoundSelect q = sql::BindSelect(select, [&](const std::string& name) {
            const TableEntry& e = Entry(name);
            hasRowid = e.hasRowid;
            return e.info;
        });
        Revalidate();  // an importer may have loaded the table while the query was bound
        return counting_->Counter(conn_, q, hasRowid);
    } catch (const std::exception&) {
        return nullptr;  // the query text reports it
    }
}

std::unique_ptr<Recordset> SqliteDatabase::OpenRecordset(const std::string& sql, int16_t type) {
    auto plan = Plan(sql);
    if (plan->counting && counting_->enabled()) {
        if (auto cells = counting_->Answer(*conn_, *plan->counting, plan->rowidTable))
            return MakeRecordset(conn_, std::move(plan), std::move(*cells));
    }
    return MakeRecordset(conn_, std::move(plan), type, readOnly_);
}

void SqliteDatabase::RunStatement(const std::string& sql, const std::vector<Value>& params) {
    Statement s(*conn_, sql);
    s.Bind(params);
    while (s.Step()) {
    }
}

void SqliteDatabase::CreateTable(const std::string& name, const std::vector<Field>& fields) {
    CheckWritable();
    if (name.empty()) throw Error(3125, "'' is not a valid name. Make sure that it does not include invalid characters or punctuation and that it is not too long.");
    if (FindTable(name)) throw Error(errnum::kTableExists, fmt::format("Table '{}' already exists.", name));
    if (fields.empty()) throw Error(3264, "No field defined--cannot append TableDef or Index.");
    std::string sql = "CREATE TABLE " + QuoteName(name) + " (";
    for (size_t i = 0; i < fields.size(); ++i) {
        for (size_t j = 0; j < i; ++j)
            if (vb::UCase(fields[j].Name) == vb::UCase(fields[i].Name))
                throw Error(3191, fmt::format("Cannot define field '{}' more than once.", fields[i].Name));
        if (i) sql += ", ";
        sql += QuoteName(fields[i].Name) + " " + DeclaredTypeFor(fields[i].Type, fields[i].Size);
    }
    RunStatement(sql + ")", {});
    SchemaChanged();
}

void SqliteDatabase::AppendField(const std::string& table, const Field& field) {
    CheckWritable();
    sql::TableInfo info = Table(table);
    if (info.Find(field.Name) >= 0)
        throw Error(3191, fmt::format("Cannot define field '{}' more than once in table '{}'.", field.Name, info.name));
    if (field.Name.empty()) throw Error(3125, "'' is not a valid name.");
    RunStatement("ALTER TABLE " + QuoteName(info.name) + " ADD COLUMN " + QuoteName(field.Name) + " " +
                     DeclaredTypeFor(field.Type, field.Size),
                 {});
    SchemaChanged();
}

void SqliteDatabase::DeleteTable(const std::string& table) {
    CheckWritable();
    Revalidate();
    std::optional<std::string> stored = FindTable(table);
    if (!stored) throw Error(errnum::kItemNotFound, fmt::format("Item not found in this collection: no table '{}'.", table));
    bool view = false;
    {
        Statement s(*conn_, "SELECT type FROM sqlite_master WHERE name = ?1");
        BindValue(s.get(), 1, Value(*stored));
        view = s.Step() && std::string(reinterpret_cast<const char*>(sqlite3_column_text(s.get(), 0))) == "view";
    }
    RunStatement((view ? "DROP VIEW " : "DROP TABLE ") + QuoteName(*stored), {});
    SchemaChanged();
}

void SqliteDatabase::CopyRows(Recordset& rows, const std::vector<Field>& fields, const std::string& table) {
    CheckWritable();
    conn_->Run("SAVEPOINT jet_copy");
    try {
        CreateTable(table, fields);
        std::string names, marks;
        for (size_t i = 0; i < fields.size(); ++i) {
            names += (i ? ", " : "") + QuoteName(fields[i].Name);
            marks += i ? ", ?" : "?";
        }
        Statement insert(*conn_, "INSERT INTO " + QuoteName(table) + " (" + names + ") VALUES (" + marks + ")");
        while (true) {
            vb::Array<Value> block = rows.GetRows(1000);
            const int32_t n = block.UBound(2) + 1;
            if (n == 0) break;
            for (int32_t r = 0; r < n; ++r) {
                for (size_t c = 0; c < fields.size(); ++c) BindValue(insert.get(), int(c) + 1, block(int32_t(c), r));
                insert.Step();
                sqlite3_reset(insert.get());
            }
        }
        conn_->Run("RELEASE jet_copy");
    } catch (...) {
        conn_->Run("ROLLBACK TO jet_copy");
        conn_->Run("RELEASE jet_copy");
        SchemaChanged();
        throw;
    }
}

void SqliteDatabase::SelectInto(const sql::Select& select) {
    const sql::TableRef& target = *select.into;
    if (target.database && readOnly_ && SameFile(*target.database, conn_->name())) {
        // The statement names this database's own file, which a read-only connection cannot
        // write: the copy runs on a read-write connection of its own, as into any other file.
        SqliteDatabase writer(OpenConnection(conn_->name(), false, false), "", false);
        writer.SelectInto(select);
        return;
    }
    sql::Select source = select;
    source.into.reset();
    auto plan = PlanFor(source);
    std::vector<Field> fields;
    for (const ResultColumn& c : plan->columns) fields.push_back(c.field);
    auto rows = MakeRecordset(conn_, plan, dbOpenForwardOnly, true);
    const sql::TableRef& into = *select.into;
    if (into.database && !SameFile(*into.database, conn_->name())) {
        CopyIntoFile(*rows, fields, *into.database, into.name.text);
        return;
    }
    CopyRows(*rows, fields, into.name.text);
}

void SqliteDatabase::Execute(const std::string& text) {
    CheckOpen();
    // Whatever the statement writes, the coded copies of the tables are no longer the data.
    counting_->Invalidate();
    sql::Statement st = sql::ParseStatement(text);
    if (auto* s = std::get_if<sql::Select>(&st)) {
        if (!s->into) throw Error(3065, "Cannot execute a select query.");
        SelectInto(*s);
        return;
    }
    CheckWritable();
    if (auto* c = std::get_if<sql::CreateTable>(&st)) {
        std::vector<Field> fields;
        for (const sql::ColumnDef& d : c->columns) {
            Field f;
            f.Name = d.name.text;
            f.Type = d.type;
            f.Size = d.size;
            fields.push_back(std::move(f));
        }
        CreateTable(c->table.text, fields);
    } else if (auto* a = std::get_if<sql::AlterTableAdd>(&st)) {
        sql::TableInfo info = Table(a->table.text);
        if (info.Find(a->column.name.text) >= 0)
            throw Error(3380, fmt::format("Field '{}' already exists in table '{}'.", a->column.name.text, info.name));
        Field f;
        f.Name = a->column.name.text;
        f.Type = a->column.type;
        f.Size = a->column.size;
        AppendField(info.name, f);
    } else if (auto* d = std::get_if<sql::DropTable>(&st)) {
        if (!FindTable(d->table.text))
            throw Error(3376, fmt::format("Table '{}' does not exist.", d->table.text));
        DeleteTable(d->table.text);
    } else if (auto* ins = std::get_if<sql::Insert>(&st)) {
        if (ins->table.database) throw Error(3170, "Could not find installable ISAM.");
        sql::TableInfo info = Table(ins->table.name.text);
        const std::vector<int> targets = sql::InsertTargets(*ins, info);
        std::string names;
        for (size_t i = 0; i < targets.size(); ++i)
            names += (i ? ", " : "") + QuoteName(info.columns[size_t(targets[i])].name);
        std::vector<Value> params;
        std::string sql = "INSERT INTO " + QuoteName(info.name) + " (" + names + ") ";
        if (ins->select) {
            sql::BoundSelect q = sql::BindSelect(*ins->select, [this](const std::string& n) { return Table(n); });
            if (q.items.size() != targets.size())
                throw Error(3346, "Number of query values and destination fields are not the same.");
            Rendered r = RenderSelect(q);
            sql += r.sql;
            params = std::move(r.params);
        } else {
            if (ins->values.size() != targets.size())
                throw Error(3346, "Number of query values and destination fields are not the same.");
            sql += "VALUES (";
            for (size_t i = 0; i < targets.size(); ++i) {
                sql += i ? ", ?" : "?";
                params.push_back(sql::CoerceForColumn(ins->values[i].literal, info.columns[size_t(targets[i])]));
            }
            sql += ")";
        }
        RunStatement(sql, params);
    } else if (auto* u = std::get_if<sql::Update>(&st)) {
        sql::TableInfo info = Table(u->table.text);
        std::vector<Value> params;
        std::string sql = "UPDATE " + QuoteName(info.name) + " SET ";
        for (size_t i = 0; i < u->set.size(); ++i) {
            int c = info.Find(u->set[i].column.text);
            if (c < 0) throw sql::NoSuchField(u->set[i].column.text, info.name);
            sql += (i ? ", " : "") + QuoteName(info.columns[size_t(c)].name) + " = ?";
            params.push_back(sql::CoerceForColumn(u->set[i].value.literal, info.columns[size_t(c)]));
        }
        if (u->where) sql += " WHERE " + RenderCondition(sql::BindCondition(*u->where, info), info, params);
        RunStatement(sql, params);
    } else if (auto* del = std::get_if<sql::Delete>(&st)) {
        sql::TableInfo info = Table(del->table.text);
        std::vector<Value> params;
        std::string sql = "DELETE FROM " + QuoteName(info.name);
        if (del->where) sql += " WHERE " + RenderCondition(sql::BindCondition(*del->where, info), info, params);
        RunStatement(sql, params);
    }
}

}  // namespace db::sqlite

namespace db {

void CopyIntoFile(Recordset& rows, const std::vector<Field>& fields, const std::string& file, const std::string& table) {
    sqlite::SqliteDatabase target(sqlite::OpenConnection(file, false, false), "", false);
    target.CopyRows(rows, fields, table);
}

}  // namespace db
