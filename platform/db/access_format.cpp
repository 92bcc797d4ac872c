// Access files (.mdb, .accdb) read through libmdb: the catalog gives the tables, and a table is
// read whole, row by row, the first time a query names it. Numbers and dates are taken from the
// row's bytes as they are stored (so a Single or a date keeps every bit); texts as libmdb
// converts them to UTF-8. libmdb reads no query definitions, but the file keeps them as rows of
// its table MSysQueries, which is read like any other: a stored select query becomes a view of
// the in-memory copy the first time it is named, after the tables and queries it reads.
#include <fmt/format.h>
#include <mdbtools.h>

#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <set>

#include "platform/db/access_queries.h"
#include "platform/db/access_view_sql.h"
#include "platform/db/imported_database.h"
#include "platform/vb/strings.h"

namespace db {
namespace {

// Room for one cell's text: a memo holds up to 65535 characters, up to 3 bytes each in UTF-8.
constexpr size_t kBindSize = 200000;

using Handle = std::shared_ptr<MdbHandle>;

Error Damaged(const std::string& file, const std::string& what) {
    return Error(errnum::kDamaged, fmt::format("Cannot open database '{}'. It may not be a database that your "
                                               "application recognizes, or the file may be corrupt ({}).",
                                               file, what));
}

// libmdb's column types are Jet's type codes; the kinds Jet added later are read as the
// nearest of ours.
FieldType JetType(int columnType) {
    switch (columnType) {
        case MDB_BOOL: return dbBoolean;
        case MDB_BYTE: return dbByte;
        case MDB_INT: return dbInteger;
        case MDB_LONGINT: return dbLong;
        case MDB_MONEY: return dbCurrency;
        case MDB_FLOAT: return dbSingle;
        case MDB_DOUBLE: return dbDouble;
        case MDB_DATETIME: return dbDate;
        case MDB_BINARY: return dbBinary;
        case MDB_TEXT: return dbText;
        case MDB_OLE: return dbLongBinary;
        case MDB_MEMO: return dbMemo;
        case MDB_NUMERIC: return dbDouble;  // decimal
        case MDB_COMPLEX: return dbLong;    // an attachment or multi-valued field: its id
        default: return dbText;             // replication ids, as their text
    }
}

// Access marks its own objects with either bit of the catalog's flags (its complex-field tables
// among them); a name beginning "MSys" is Access's too.
constexpr uint32_t kSystemObjectFlags = 0x80000002u;

bool IsSystemObject(const std::string& name, uint32_t flags) {
    return (flags & kSystemObjectFlags) != 0 || vb::UCase(name).rfind("MSYS", 0) == 0;
}

struct CatalogTable {
    std::string name;
    uint32_t flags = 0;
};

// One cell of the row libmdb has just fetched: the bound text, or the stored bytes at the
// column's place in the page buffer.
Value Cell(MdbHandle* mdb, const MdbColumn* col, const char* text, int length) {
    if (col->col_type == MDB_BOOL) return Value(std::strcmp(text, mdb->boolean_true_value) == 0);
    if (length == 0 || col->cur_value_len == 0) return Value();
    const int at = col->cur_value_start;
    switch (col->col_type) {
        case MDB_BYTE: return Value(int16_t(mdb_get_byte(mdb->pg_buf, at)));
        case MDB_INT: return Value(int16_t(mdb_get_int16(mdb->pg_buf, at)));
        case MDB_LONGINT: return Value(int32_t(mdb_get_int32(mdb->pg_buf, at)));
        case MDB_MONEY: {
            int64_t money;  // ten-thousandths, little-endian
            std::memcpy(&money, mdb->pg_buf + at, sizeof money);
            return Value(double(money) / 10000.0);
        }
        case MDB_FLOAT: return Value(mdb_get_single(mdb->pg_buf, at));
        case MDB_DOUBLE: return Value(mdb_get_double(mdb->pg_buf, at));
        case MDB_DATETIME: return Value(Date{mdb_get_double(mdb->pg_buf, at)});  // days since 1899-12-30
        case MDB_NUMERIC:
        case MDB_COMPLEX:
            try {
                double d = vb::ParseDouble(text);
                return col->col_type == MDB_COMPLEX ? Value(int32_t(d)) : Value(d);
            } catch (...) {
                return Value();
            }
        case MDB_OLE: return Value();  // OLE objects are not read
        case MDB_BINARY: return Value(std::string(reinterpret_cast<const char*>(mdb->pg_buf) + at, size_t(col->cur_value_len)));
        default: return Value(std::string(text, size_t(length)));
    }
}

ImportedTable ReadTable(const Handle& mdb, const std::string& file, const std::string& name) {
    std::vector<char> wanted(name.begin(), name.end());
    wanted.push_back('\0');
    std::unique_ptr<MdbTableDef, void (*)(MdbTableDef*)> table(
        mdb_read_table_by_name(mdb.get(), wanted.data(), MDB_TABLE), mdb_free_tabledef);
    if (!table || !mdb_read_columns(table.get())) throw Damaged(file, fmt::format("table '{}' cannot be read", name));
    mdb_rewind_table(table.get());

    const unsigned count = table->num_cols;
    ImportedTable out;
    std::vector<std::vector<char>> bound(count, std::vector<char>(kBindSize));
    std::vector<int> lengths(count, 0);
    std::vector<const MdbColumn*> columns(count);
    for (unsigned c = 0; c < count; ++c) {
        columns[c] = static_cast<const MdbColumn*>(g_ptr_array_index(table->columns, c));
        mdb_bind_column(table.get(), int(c) + 1, bound[c].data(), &lengths[c]);
        Field f;
        f.Name = columns[c]->name;
        f.Type = JetType(columns[c]->col_type);
        // libmdb reports a text's size in bytes of its UCS-2 storage (Access 2000 and later).
        f.Size = f.Type == dbText ? (mdb->f->jet_version == MDB_VER_JET3 ? columns[c]->col_size : columns[c]->col_size / 2) : 0;
        if (f.Type == dbText && f.Size <= 0) f.Size = 255;
        out.fields.push_back(std::move(f));
    }
    while (mdb_fetch_row(table.get())) {
        std::vector<Value> row;
        row.reserve(count);
        for (unsigned c = 0; c < count; ++c) row.push_back(Cell(mdb.get(), columns[c], bound[c].data(), lengths[c]));
        out.rows.push_back(std::move(row));
    }
    return out;
}

// A field's value of a row of a system table read by ReadTable, by the field's name.
class SystemRows {
public:
    explicit SystemRows(ImportedTable table) : table_(std::move(table)) {
        for (size_t c = 0; c < table_.fields.size(); ++c) columns_[vb::UCase(table_.fields[c].Name)] = c;
    }
    size_t size() const { return table_.rows.size(); }
    const Value& At(size_t row, const char* field) const {
        static const Value null;
        auto c = columns_.find(field);
        if (c == columns_.end() || c->second >= table_.rows[row].size()) return null;
        return table_.rows[row][c->second];
    }
    std::string Text(size_t row, const char* field) const {
        const Value& v = At(row, field);
        return v.kind() == Value::Kind::Text ? v.AsText() : "";
    }
    std::optional<int64_t> Number(size_t row, const char* field) const {
        const Value& v = At(row, field);
        if (!v.IsNumeric()) return std::nullopt;
        return int64_t(v.ToDouble());
    }

private:
    ImportedTable table_;
    std::map<std::string, size_t> columns_;
};

class AccessDatabase : public ImportedDatabase {
public:
    AccessDatabase(const std::string& file, std::string connect, Handle mdb, std::vector<CatalogTable> tables)
        : ImportedDatabase(file, std::move(connect)), file_(file), mdb_(std::move(mdb)) {
        for (const CatalogTable& t : tables)
            sources_.emplace(vb::UCase(t.name),
                             Source{t.name, [mdb = mdb_, file, name = t.name] { return ReadTable(mdb, file, name); },
                                    IsSystemObject(t.name, t.flags), {}});
        access::RegisterJetFunctions(connection()->handle());
    }

    // The stored queries in the catalog's order, Access's own left out.
    std::vector<std::string> QueryDefNames() override {
        CheckOpen();
        std::vector<std::string> names;
        for (const Query& q : Queries())
            if (!q.system) names.push_back(q.name);
        return names;
    }

protected:
    std::map<std::string, Source> Sources() const override { return sources_; }

    void PrepareTable(const std::string& name) override {
        const std::string key = vb::UCase(name);
        if (!sources_.count(key))
            for (const Query& q : Queries())
                if (vb::UCase(q.name) == key) return PrepareQuery(q);
        ImportedDatabase::PrepareTable(name);
    }

private:
    struct Query {
        std::string name;
        int32_t id = 0;
        bool system = false;
    };

    // The queries of the catalog, read from MSysObjects once. A catalog that cannot be read
    // leaves the file without queries: its tables still open.
    const std::vector<Query>& Queries() {
        if (queries_) return *queries_;
        queries_.emplace();
        try {
            const SystemRows objects(ReadTable(mdb_, file_, "MSysObjects"));
            for (size_t r = 0; r < objects.size(); ++r) {
                const auto type = objects.Number(r, "TYPE"), id = objects.Number(r, "ID");
                if (type != 5 || !id) continue;  // 5: a query
                const std::string name = objects.Text(r, "NAME");
                const uint32_t flags = uint32_t(objects.Number(r, "FLAGS").value_or(0));
                queries_->push_back({name, int32_t(*id), IsSystemObject(name, flags)});
            }
        } catch (const Error&) {
            queries_->clear();
        }
        return *queries_;
    }

    // The rows of MSysQueries by query, each in the table's order, read once.
    const std::vector<access::QueryRow>& RowsOf(int32_t id) {
        if (!queryRows_) {
            queryRows_.emplace();
            const SystemRows rows(ReadTable(mdb_, file_, "MSysQueries"));
            for (size_t r = 0; r < rows.size(); ++r) {
                access::QueryRow row;
                row.objectId = int32_t(rows.Number(r, "OBJECTID").value_or(0));
                row.attribute = int(rows.Number(r, "ATTRIBUTE").value_or(-1));
                row.name1 = rows.Text(r, "NAME1");
                row.name2 = rows.Text(r, "NAME2");
                row.expression = rows.Text(r, "EXPRESSION");
                if (auto flag = rows.Number(r, "FLAG")) row.flag = int(*flag);
                (*queryRows_)[row.objectId].push_back(std::move(row));
            }
        }
        static const std::vector<access::QueryRow> none;
        auto it = queryRows_->find(id);
        return it == queryRows_->end() ? none : it->second;
    }

    bool Known(const std::string& key) {
        if (sources_.count(key)) return true;
        for (const Query& q : Queries())
            if (vb::UCase(q.name) == key) return true;
        return false;
    }

    // The query as a view of the copy, the tables and queries it reads made first. A query
    // that cannot be made leaves nothing behind, and fails the same way the next time.
    void PrepareQuery(const Query& q) {
        const std::string key = vb::UCase(q.name);
        if (made_.count(key)) return;
        if (preparing_.count(key))
            throw Error(3103, fmt::format("Circular reference caused by '{}': the query reads itself through the "
                                          "queries it reads.",
                                          q.name));
        preparing_.insert(key);
        try {
            const access::StoredView stored(access::ReadQuery(q.name, RowsOf(q.id)));
            for (const std::string& name : stored.Sources()) {
                const std::string other = vb::UCase(name);
                if (other == key || !Known(other)) continue;
                try {
                    PrepareTable(name);
                } catch (const Error& e) {
                    throw Error(e.number(), fmt::format("The query '{}' reads '{}', which cannot be opened: {}", q.name,
                                                        name, e.description()));
                }
            }
            const access::ViewSql view = stored.Render([&](const std::string& name) -> std::optional<access::SourceInfo> {
                const std::string other = vb::UCase(name);
                if (other == key || !Known(other)) return std::nullopt;
                access::SourceInfo info;
                for (const sql::ColumnInfo& c : Table(name).columns) {
                    info.columns.push_back(c.name);
                    info.types.push_back({c.type, c.typed, c.size});
                }
                info.table = sources_.count(other) > 0;
                return info;
            });
            Run(q.name, view.select, false);
            Run(q.name, "CREATE VIEW " + sqlite::QuoteName(q.name) + " AS " + view.select, true);
            auto& types = viewTypes_[key];
            for (size_t c = 0; c < view.columns.size(); ++c)
                if (view.types[c].typed) types[vb::UCase(view.columns[c])] = view.types[c];
            SchemaChanged();
            made_.insert(key);
        } catch (...) {
            preparing_.erase(key);
            throw;
        }
        preparing_.erase(key);
    }

    std::optional<DeclaredType> ViewColumnType(const std::string& view, const std::string& column) override {
        auto v = viewTypes_.find(vb::UCase(view));
        if (v == viewTypes_.end()) return std::nullopt;
        auto c = v->second.find(vb::UCase(column));
        if (c == v->second.end()) return std::nullopt;
        return c->second;
    }

    // The statement prepared whole (nothing may follow it) and, when `step`, run. A name SQLite
    // does not know is a parameter to Jet, which asks for its value; any other failure is
    // reported in SQLite's words, naming the query.
    void Run(const std::string& query, const std::string& sql, bool step) {
        sqlite3* handle = connection()->handle();
        sqlite3_stmt* raw = nullptr;
        const char* tail = nullptr;
        int rc = sqlite3_prepare_v2(handle, sql.c_str(), int(sql.size()), &raw, &tail);
        std::string message = rc == SQLITE_OK ? "" : sqlite3_errmsg(handle);
        if (rc == SQLITE_OK && tail && std::string(tail).find_first_not_of(" \t\r\n") != std::string::npos) {
            rc = SQLITE_ERROR;
            message = "its SQL holds more than one statement";
        }
        if (rc == SQLITE_OK && step) {
            rc = sqlite3_step(raw);
            if (rc == SQLITE_DONE) rc = SQLITE_OK;
            else message = sqlite3_errmsg(handle);
        }
        sqlite3_finalize(raw);
        if (rc == SQLITE_OK) return;
        const std::string column = "no such column: ";
        if (message.rfind(column, 0) == 0)
            throw Error(errnum::kTooFewParameters,
                        fmt::format("Too few parameters. Expected 1: the query '{}' asks for [{}] when it runs, and a "
                                    "parameter query cannot be opened here.",
                                    query, message.substr(column.size())));
        throw Error(errnum::kNotSupported, fmt::format("The query '{}' cannot be run here: {}.", query, message));
    }

    std::string file_;
    Handle mdb_;
    std::map<std::string, Source> sources_;
    std::optional<std::vector<Query>> queries_;
    std::optional<std::map<int32_t, std::vector<access::QueryRow>>> queryRows_;
    std::set<std::string> made_, preparing_;
    // The Jet types of the views' computed columns, by upper-cased view and column name.
    std::map<std::string, std::map<std::string, DeclaredType>> viewTypes_;
};

}  // namespace

bool IsAccessFile(const std::string& path) {
    char head[19] = {};
    std::ifstream in(path, std::ios::binary);
    if (!in.read(head, sizeof head)) return false;
    return std::memcmp(head + 4, "Standard Jet DB", 15) == 0 || std::memcmp(head + 4, "Standard ACE DB", 15) == 0;
}

std::shared_ptr<Database> OpenAccessDatabase(const std::string& file, const std::string& connect) {
    Handle mdb(mdb_open(file.c_str(), MDB_NOFLAGS), [](MdbHandle* h) {
        if (h) mdb_close(h);
    });
    if (!mdb) throw Damaged(file, "its header cannot be read");
    // Access 2007 and later encrypt the pages of a file with a password with a key that libmdb
    // does not have: the catalog would read as noise. (An older file's password is only a
    // check that Access makes; libmdb reads such a file without it.)
    if (mdb->f->jet_version >= MDB_VER_ACCDB_2007 && mdb->f->db_key != 0)
        throw Error(errnum::kCannotOpenFile,
                    fmt::format("Cannot open '{}': the file is encrypted with a database password, and encrypted "
                                "Access 2007 and later files cannot be read here. Remove the password in Access "
                                "and open it again.",
                                file));
    mdb_set_bind_size(mdb.get(), kBindSize);
    if (!mdb_read_catalog(mdb.get(), MDB_TABLE)) throw Damaged(file, "its catalog cannot be read");
    std::vector<CatalogTable> tables;
    for (unsigned i = 0; i < mdb->num_catalog; ++i) {
        auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
        if (entry->object_type == MDB_TABLE) tables.push_back({entry->object_name, uint32_t(entry->flags)});
    }
    return std::make_shared<AccessDatabase>(file, connect, std::move(mdb), std::move(tables));
}

}  // namespace db
