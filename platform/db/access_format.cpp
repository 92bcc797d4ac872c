// Access files (.mdb, .accdb), read by the file reader process (reader_process.h) through
// libmdb: the catalog gives the tables and the linked tables, and a table streams in, row by
// row, the first time a query names it (a linked one from the file it names, access_links.h).
// libmdb reads no query definitions, but the file keeps them as rows of its table MSysQueries,
// which is read like any other: a stored select query becomes a view of the in-memory copy the
// first time it is named, after the tables and queries it reads. A file that the reader cannot
// read in time, or that stops it, is a damaged file.
#include <fmt/format.h>
#include <sys/stat.h>

#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <set>

#include "platform/db/access_links.h"
#include "platform/db/access_queries.h"
#include "platform/db/access_view_sql.h"
#include "platform/db/column_types.h"
#include "platform/db/imported_database.h"
#include "platform/db/reader_process.h"
#include "platform/vb/strings.h"

namespace db {
namespace {

Error Damaged(const std::string& file, const std::string& what) {
    return Error(errnum::kDamaged, fmt::format("Cannot open database '{}'. It may not be a database that your "
                                               "application recognizes, or the file may be corrupt ({}).",
                                               file, what));
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

// What the reader sent in place of an answer: the damaged-file error, or the one for a file
// encrypted with a password that no password could open here.
[[noreturn]] void ThrowFailure(const std::string& file, std::string_view payload) {
    const auto [kind, what] = reader::ReadRefusal(payload);
    if (kind == frames::kEncrypted)
        throw Error(errnum::kCannotOpenFile,
                    fmt::format("Cannot open '{}': the file is encrypted with a database password, and encrypted "
                                "Access 2007 and later files cannot be read here. Remove the password in Access "
                                "and open it again.",
                                file));
    throw Damaged(file, what);
}

reader::Limits LimitsFor(const std::string& file) {
    struct stat st {};
    return reader::LimitsFor(::stat(file.c_str(), &st) == 0 ? uint64_t(st.st_size) : 0);
}

// The columns of a table that nobody here can decode, by upper-cased name: their type in words.
using UnreadableColumns = std::map<std::string, std::string>;

// A field frame: the field, and for a column the reader cannot decode, its type in words.
Field ReadField(frames::Cursor& c, std::string& unreadable) {
    Field f;
    f.Type = FieldType(c.Get<uint8_t>());
    const int32_t size = c.Get<int32_t>();
    f.Name = c.GetText();
    f.Size = f.Type == dbText ? (size > 0 ? size : 255) : 0;
    unreadable = c.AtEnd() ? "" : c.GetText();
    return f;
}

// A damaged file can hold a date cell that is no date (NaN, or beyond the years 1 to 9999):
// stored, it would fail as a bare overflow, so the read fails here naming where it is.
void CheckDate(const Value& v, const std::string& file, const std::string& table, const Field& field, size_t row) {
    if (v.kind() != Value::Kind::Date || IsStorableDate(v.AsDate().serial)) return;
    throw Damaged(file, fmt::format("table '{}', field '{}', row {}: the stored date ({}) is not a date", table,
                                    field.Name, row, v.AsDate().serial));
}

// The table's fields, then each row as its frame arrives: a large table is never held here.
// The columns the reader could not decode go into `unreadable`.
void ReadTable(const std::string& file, const std::string& name, TableSink& sink,
               UnreadableColumns* unreadable = nullptr) {
    std::vector<Field> fields;
    bool started = false;
    std::vector<Value> row;
    size_t rows = 0;
    auto start = [&] {
        if (!started) sink.Fields(fields);
        started = true;
    };
    try {
        reader::Run({"access-table", file, name}, LimitsFor(file), [&](frames::Tag tag, std::string_view payload) {
            frames::Cursor c(payload);
            if (tag == frames::kFailed) ThrowFailure(file, payload);
            if (tag == frames::kField) {
                if (started) throw std::out_of_range("a field after the rows");
                std::string words;
                fields.push_back(ReadField(c, words));
                if (!words.empty() && unreadable) (*unreadable)[vb::UCase(fields.back().Name)] = words;
            } else if (tag == frames::kRow) {
                start();
                row.clear();
                ++rows;
                for (size_t k = 0; k < fields.size(); ++k) {
                    row.push_back(reader::ReadCell(c));
                    CheckDate(row.back(), file, name, fields[k], rows);
                }
                if (!c.AtEnd()) throw std::out_of_range("a row longer than its fields");
                sink.Row(row);
            }
        });
    } catch (const reader::Stopped& e) {
        if (auto error = reader::NotTheFile(e, file)) throw *error;
        throw Damaged(file, fmt::format("table '{}' cannot be read: {}", name, e.what()));
    }
    start();
}

ImportedTable ReadTable(const std::string& file, const std::string& name) {
    ImportedTable out;
    ReadTable(file, name, out);
    return out;
}

struct Query {
    std::string name;
    int32_t id = 0;
    bool system = false;
};

struct Catalog {
    std::vector<CatalogTable> tables;
    std::vector<Query> queries;
    std::vector<access::Link> links;
};

// The catalog's tables and queries. A catalog table that cannot be read leaves the file
// without queries: its tables still open.
Catalog ReadCatalog(const std::string& file) {
    Catalog out;
    bool tablesRead = false;
    try {
        reader::Run({"access-catalog", file}, LimitsFor(file), [&](frames::Tag tag, std::string_view payload) {
            frames::Cursor c(payload);
            if (tag == frames::kFailed) ThrowFailure(file, payload);
            if (tag == frames::kTable) {
                CatalogTable t;
                t.flags = c.Get<uint32_t>();
                t.name = c.GetText();
                out.tables.push_back(std::move(t));
            } else if (tag == frames::kCatalogEnd) {
                tablesRead = true;
            } else if (tag == frames::kQuery) {
                Query q;
                q.id = c.Get<int32_t>();
                const uint32_t flags = c.Get<uint32_t>();
                q.name = c.GetText();
                q.system = IsSystemObject(q.name, flags);
                out.queries.push_back(std::move(q));
            } else if (tag == frames::kLink) {
                access::Link l;
                l.odbc = c.Get<uint8_t>() == frames::kLinkedOdbc;
                l.flags = c.Get<uint32_t>();
                l.name = c.GetText();
                l.database = c.GetText();
                l.connect = c.GetText();
                l.foreign = c.GetText();
                out.links.push_back(std::move(l));
            }
        });
    } catch (const reader::Stopped& e) {
        // A reader killed from outside left the catalog half read: the user tries again.
        if (auto error = reader::NotTheFile(e, file)) throw *error;
        if (!tablesRead) throw Damaged(file, fmt::format("its catalog cannot be read: {}", e.what()));
        out.queries.clear();
        out.links.clear();
    }
    return out;
}

// A linked table's rows, read from the table of the file it names (which may itself be a link
// of that file). Its errors name the link: the user sees the link, not the file behind it.
void ReadLinkedTable(const std::string& frontEnd, const access::Link& link, TableSink& sink,
                     UnreadableColumns* unreadable, int depth = 0) {
    const std::string file = access::LinkedAccessFile(frontEnd, link);
    // Links to links end in a table within a few steps; a chain that goes on is a loop.
    if (depth >= 8)
        throw Error(3103, fmt::format("Circular reference caused by '{}': the linked table leads back to itself "
                                      "through the links of '{}'.",
                                      link.name, file));
    if (!IsAccessFile(file))
        throw Error(errnum::kNotDatabase,
                    fmt::format("Unrecognized database format '{}': the linked table '{}' reads its rows from that "
                                "file, which is not an Access file.",
                                file, link.name));
    try {
        const Catalog there = ReadCatalog(file);
        const std::string wanted = vb::UCase(link.foreign);
        for (const CatalogTable& t : there.tables)
            if (vb::UCase(t.name) == wanted) return ReadTable(file, t.name, sink, unreadable);
        for (const access::Link& l : there.links)
            if (vb::UCase(l.name) == wanted) return ReadLinkedTable(file, l, sink, unreadable, depth + 1);
    } catch (const Error& e) {
        if (e.number() == errnum::kFileNotFound || e.number() == 3103) throw;  // these name the link already
        throw Error(e.number(), fmt::format("The linked table '{}' cannot be read from '{}': {}", link.name, file,
                                            e.description()));
    }
    throw Error(errnum::kNoSuchTable,
                fmt::format("The Microsoft Jet database engine cannot find the input table or query '{}': the linked "
                            "table '{}' reads it from '{}', which has no such table.",
                            link.foreign, link.name, file));
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
    AccessDatabase(const std::string& file, std::string connect, Catalog catalog)
        : ImportedDatabase(file, std::move(connect)), file_(file), queries_(std::move(catalog.queries)) {
        for (const CatalogTable& t : catalog.tables)
            sources_.emplace(vb::UCase(t.name),
                             Source{t.name,
                                    [this, file, name = t.name](TableSink& sink) {
                                        UnreadableColumns& columns = unreadable_[vb::UCase(name)];
                                        columns.clear();
                                        ReadTable(file, name, sink, &columns);
                                    },
                                    IsSystemObject(t.name, t.flags), {}});
        for (const access::Link& l : catalog.links)
            sources_.emplace(vb::UCase(l.name), Source{l.name,
                                                       [this, file, l](TableSink& sink) {
                                                           UnreadableColumns& columns = unreadable_[vb::UCase(l.name)];
                                                           columns.clear();
                                                           ReadLinkedTable(file, l, sink, &columns);
                                                       },
                                                       IsSystemObject(l.name, l.flags), {}});
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
    const std::vector<Query>& Queries() const { return queries_; }

    // The rows of MSysQueries by query, each in the table's order, read once.
    const std::vector<access::QueryRow>& RowsOf(int32_t id) {
        if (!queryRows_) {
            queryRows_.emplace();
            const SystemRows rows(ReadTable(file_, "MSysQueries"));
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
                if (other == key)
                    throw Error(3103, fmt::format("Circular reference caused by '{}': the query reads itself.", q.name));
                if (!Known(other)) continue;
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

    std::string UnreadableColumn(const std::string& table, const std::string& column) override {
        auto t = unreadable_.find(vb::UCase(table));
        if (t == unreadable_.end()) return "";
        auto c = t->second.find(vb::UCase(column));
        return c == t->second.end() ? "" : c->second;
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
    // A query that reads a column nobody here can decode fails naming it, as a query over the
    // table does: while the query's statement is prepared, SQLite asks about every column it
    // reads (through the queries it reads too).
    struct Denied {
        AccessDatabase* db;
        std::string table, column, type;
    };
    static int DenyUnreadable(void* data, int action, const char* table, const char* column, const char*,
                              const char*) noexcept {
        auto* denied = static_cast<Denied*>(data);
        if (action != SQLITE_READ || !table || !column) return SQLITE_OK;
        try {
            std::string type = denied->db->UnreadableColumn(table, column);
            if (type.empty()) return SQLITE_OK;
            *denied = Denied{denied->db, table, column, std::move(type)};
        } catch (const std::exception&) {  // out of memory: refused all the same
        }
        return SQLITE_DENY;
    }

    void Run(const std::string& query, const std::string& sql, bool step) {
        sqlite3* handle = connection()->handle();
        sqlite3_stmt* raw = nullptr;
        const char* tail = nullptr;
        Denied denied{this, "", "", ""};
        sqlite3_set_authorizer(handle, &DenyUnreadable, &denied);
        int rc = sqlite3_prepare_v2(handle, sql.c_str(), int(sql.size()), &raw, &tail);
        sqlite3_set_authorizer(handle, nullptr, nullptr);
        if (!denied.column.empty()) {
            sqlite3_finalize(raw);
            throw Error(errnum::kNotSupported,
                        fmt::format("The query '{}' reads the field '{}' of table '{}', which cannot be read: its "
                                    "type ({}) is not one that can be decoded here.",
                                    query, denied.column, denied.table, denied.type));
        }
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
    std::map<std::string, Source> sources_;
    std::vector<Query> queries_;
    std::optional<std::map<int32_t, std::vector<access::QueryRow>>> queryRows_;
    std::set<std::string> made_, preparing_;
    // The columns read as Null because nobody here can decode them, by upper-cased table name.
    std::map<std::string, UnreadableColumns> unreadable_;
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
    return std::make_shared<AccessDatabase>(file, connect, ReadCatalog(file));
}

}  // namespace db
