// Writing a sampled table straight into a SQLite file, in one transaction, with the declared
// column types that the database layer reads back as Jet types; then opening it through the
// layer. Kept apart from the sampler so that tests which only draw rows do not need the layer's
// SQLite back end.
#include <sqlite3.h>

#include <filesystem>
#include <stdexcept>

#include "platform/db/sqlite_backend.h"
#include "tests/support/network_sampler.h"

namespace testsupport {

namespace {

std::string DeclaredType(const std::string& jet) {
    if (jet == "YESNO") return "BOOLEAN";
    if (jet == "LONG") return "INTEGER";
    if (jet == "DOUBLE") return "DOUBLE";
    return "TEXT(255)";
}

void Check(sqlite3* db, int rc, const char* what) {
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW)
        throw std::runtime_error(std::string(what) + ": " + sqlite3_errmsg(db));
}

}  // namespace

std::shared_ptr<db::Database> WriteSqliteTable(const std::string& path, const SampledTable& t) {
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
        SQLITE_OK) {
        std::string msg = db ? sqlite3_errmsg(db) : "cannot open";
        sqlite3_close(db);
        throw std::runtime_error("sample database " + path + ": " + msg);
    }
    sqlite3_stmt* insert = nullptr;
    try {
        std::string create = "CREATE TABLE " + db::sqlite::QuoteName(t.table) + " (";
        std::string sql = "INSERT INTO " + db::sqlite::QuoteName(t.table) + " VALUES (";
        for (size_t c = 0; c < t.columns.size(); ++c) {
            create += (c ? ", " : "") + db::sqlite::QuoteName(t.columns[c]) + " " + DeclaredType(JetColumnType(t, c));
            sql += c ? ", ?" : "?";
        }
        Check(db, sqlite3_exec(db, (create + ")").c_str(), nullptr, nullptr, nullptr), "create");
        Check(db, sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), "begin");
        Check(db, sqlite3_prepare_v2(db, (sql + ")").c_str(), -1, &insert, nullptr), "prepare");
        for (const auto& row : t.cells) {
            sqlite3_reset(insert);
            for (size_t c = 0; c < row.size(); ++c) {
                const db::Value& v = row[c];
                const int i = int(c) + 1;
                switch (v.kind()) {
                    case db::Value::Kind::Null: sqlite3_bind_null(insert, i); break;
                    case db::Value::Kind::Boolean: sqlite3_bind_int(insert, i, v.AsBool() ? 1 : 0); break;
                    case db::Value::Kind::Integer: sqlite3_bind_int(insert, i, v.AsInteger()); break;
                    case db::Value::Kind::Long: sqlite3_bind_int(insert, i, v.AsLong()); break;
                    case db::Value::Kind::Text:
                        sqlite3_bind_text(insert, i, v.AsText().c_str(), int(v.AsText().size()),
                                          SQLITE_TRANSIENT);
                        break;
                    default: sqlite3_bind_double(insert, i, v.ToDouble()); break;
                }
            }
            Check(db, sqlite3_step(insert), "insert");
        }
        sqlite3_finalize(insert);
        insert = nullptr;
        Check(db, sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), "commit");
    } catch (...) {
        sqlite3_finalize(insert);
        sqlite3_close(db);
        throw;
    }
    sqlite3_close(db);
    return db::DBEngine::OpenDatabase(path);
}

}  // namespace testsupport
