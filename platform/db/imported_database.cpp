// Imported tables stored into the in-memory database on first use, in one transaction each.
#include "platform/db/imported_database.h"

#include <fmt/format.h>

#include "platform/db/column_types.h"
#include "platform/db/transactions.h"
#include "platform/vb/strings.h"

namespace db {

void ImportedDatabase::BeginTrans() {
    throw NoTransactionsHere(name_, "it is read from a file that is never written");
}

ImportedDatabase::ImportedDatabase(std::string name, std::string connect)
    : SqliteDatabase(sqlite::OpenConnection(":memory:", false, true), std::move(connect), /*readOnly=*/true),
      name_(std::move(name)) {}

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
    const std::string& path = it->second.path.empty() ? name_ : it->second.path;
    Store(it->second.table, path, it->second.read());
    loaded_.insert(key);
}

// The imported rows as a table of the in-memory database. Its errors name the file: the user
// knows the file, not the database it is copied into.
void ImportedDatabase::Store(const std::string& table, const std::string& path, const ImportedTable& data) {
    sqlite::Connection& conn = *connection();
    const int maxColumns = sqlite3_limit(conn.handle(), SQLITE_LIMIT_COLUMN, -1);
    if (data.fields.size() > size_t(maxColumns))
        throw Error(3190, fmt::format("Too many fields defined: the file '{}' has {} columns, more than the {} "
                                      "a table can hold.",
                                      path, data.fields.size(), maxColumns));
    try {
        StoreRows(table, data);
    } catch (const Error& e) {
        throw Error(e.number(), fmt::format("The file '{}' cannot be read as a table: {}", path, e.description()));
    }
    SchemaChanged();
}

void ImportedDatabase::StoreRows(const std::string& table, const ImportedTable& data) {
    sqlite::Connection& conn = *connection();
    if (data.fields.empty())
        throw Error(errnum::kNotExpectedFormat,
                    fmt::format("External table isn't in the expected format: '{}' has no fields.", table));
    conn.Run("BEGIN");
    try {
        std::string ddl = "CREATE TABLE " + sqlite::QuoteName(table) + " (";
        std::string marks;
        for (size_t c = 0; c < data.fields.size(); ++c) {
            ddl += (c ? ", " : "") + sqlite::QuoteName(data.fields[c].Name) + " " +
                   DeclaredTypeFor(data.fields[c].Type, data.fields[c].Size);
            marks += c ? ", ?" : "?";
        }
        conn.Run(ddl + ")");
        sqlite::Statement insert(conn, "INSERT INTO " + sqlite::QuoteName(table) + " VALUES (" + marks + ")");
        for (const auto& row : data.rows) {
            for (size_t c = 0; c < data.fields.size(); ++c)
                sqlite::BindValue(insert.get(), int(c) + 1, c < row.size() ? row[c] : Value());
            insert.Step();
            sqlite3_reset(insert.get());
        }
        conn.Run("COMMIT");
    } catch (...) {
        conn.Run("ROLLBACK");
        throw;
    }
}

}  // namespace db
