// Imported tables streamed into the temporary database on first use, in one transaction each.
#include "platform/db/imported_database.h"

#include <fmt/format.h>

#include <optional>

#include "platform/db/column_types.h"
#include "platform/db/transactions.h"
#include "platform/vb/strings.h"

namespace db {

void ImportedDatabase::BeginTrans() {
    throw NoTransactionsHere(name_, "it is read from a file that is never written");
}

namespace {

// Creates the table on its fields and inserts each row as the reader hands it on. Its errors
// name the file: the user knows the file, not the database it is copied into.
class StoreSink : public TableSink {
public:
    StoreSink(sqlite::Connection& conn, std::string table, std::string path)
        : conn_(conn), table_(std::move(table)), path_(std::move(path)) {}

    void Fields(const std::vector<Field>& fields) override {
        const int maxColumns = sqlite3_limit(conn_.handle(), SQLITE_LIMIT_COLUMN, -1);
        if (fields.size() > size_t(maxColumns))
            throw Error(3190, fmt::format("Too many fields defined: the file '{}' has {} columns, more than the {} "
                                          "a table can hold.",
                                          path_, fields.size(), maxColumns));
        if (fields.empty() || insert_) throw NoFields();
        std::string ddl = "CREATE TABLE " + sqlite::QuoteName(table_) + " (";
        std::string marks;
        for (size_t c = 0; c < fields.size(); ++c) {
            ddl += (c ? ", " : "") + sqlite::QuoteName(fields[c].Name) + " " +
                   DeclaredTypeFor(fields[c].Type, fields[c].Size);
            marks += c ? ", ?" : "?";
        }
        Guarded([&] {
            conn_.Run(ddl + ")");
            insert_.emplace(conn_, "INSERT INTO " + sqlite::QuoteName(table_) + " VALUES (" + marks + ")");
        });
        width_ = fields.size();
    }

    void Row(const std::vector<Value>& row) override {
        if (!insert_) throw NoFields();
        Guarded([&] {
            sqlite3_stmt* stmt = insert_->get();
            for (size_t c = 0; c < width_; ++c) {
                // The row's texts outlive the step: SQLite need not copy them first.
                if (c < row.size() && row[c].kind() == Value::Kind::Text)
                    sqlite3_bind_text(stmt, int(c) + 1, row[c].AsText().data(), int(row[c].AsText().size()), SQLITE_STATIC);
                else
                    sqlite::BindValue(stmt, int(c) + 1, c < row.size() ? row[c] : Value());
            }
            insert_->Step();
            sqlite3_reset(insert_->get());
        });
    }

    void Finish() {
        if (!insert_) throw NoFields();
    }

private:
    Error NoFields() const {
        return Error(errnum::kNotExpectedFormat,
                     fmt::format("The file '{}' cannot be read as a table: External table isn't in the expected "
                                 "format: '{}' has no fields.",
                                 path_, table_));
    }
    template <typename F>
    void Guarded(F&& f) {
        try {
            f();
        } catch (const Error& e) {
            throw Error(e.number(), fmt::format("The file '{}' cannot be read as a table: {}", path_, e.description()));
        }
    }

    sqlite::Connection& conn_;
    std::string table_, path_;
    std::optional<sqlite::Statement> insert_;
    size_t width_ = 0;
};

}  // namespace

void Feed(const ImportedTable& table, TableSink& sink) {
    sink.Fields(table.fields);
    for (const auto& row : table.rows) sink.Row(row);
}

// "" opens a temporary database: SQLite keeps it in its page cache (a few tens of megabytes
// here) and moves what does not fit to a file of its own, deleted when the connection closes.
ImportedDatabase::ImportedDatabase(std::string name, std::string connect)
    : SqliteDatabase(sqlite::OpenConnection("", false, true), std::move(connect), /*readOnly=*/true),
      name_(std::move(name)) {
    connection()->Run("PRAGMA cache_size = -32768");
}

std::vector<std::string> ImportedDatabase::TableNames() {
    CheckOpen();
    std::vector<std::string> names;
    for (const auto& [key, source] : Sources())
        if (!source.system) names.push_back(source.table);
    return names;
}

void ImportedDatabase::PrepareTable(const std::string& name) {
    const std::string key = vb::UCase(name);
    if (loaded_.count(key)) return;
    auto sources = Sources();
    auto it = sources.find(key);
    if (it == sources.end()) return;  // the lookup then reports the missing table
    Store(it->second.table, it->second.path.empty() ? name_ : it->second.path, it->second);
    loaded_.insert(key);
}

// The rows as a table of the temporary database, in one transaction: a read that fails part
// way leaves no half table behind.
void ImportedDatabase::Store(const std::string& table, const std::string& path, const Source& source) {
    sqlite::Connection& conn = *connection();
    conn.Run("BEGIN");
    try {
        StoreSink sink(conn, table, path);
        source.read(sink);
        sink.Finish();
        conn.Run("COMMIT");
    } catch (...) {
        conn.Run("ROLLBACK");
        throw;
    }
    SchemaChanged();
}

}  // namespace db
