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
    Store(it->second.table, it->second.read());
    loaded_.insert(key);
}

void ImportedDatabase::Store(const std::string& table, const ImportedTable& data) {
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
    SchemaChanged();
}

void MakeFieldNamesUnique(std::vector<std::string>& names) {
    std::set<std::string> used;
    for (size_t c = 0; c < names.size(); ++c) {
        if (names[c].empty()) names[c] = fmt::format("F{}", c + 1);
        std::string unique = names[c];
        for (int k = 2; used.count(vb::UCase(unique)); ++k) unique = fmt::format("{}{}", names[c], k);
        names[c] = unique;
        used.insert(vb::UCase(unique));
    }
}

}  // namespace db
