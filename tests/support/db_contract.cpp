// The contract's fixture, its SQLite file factory and the temporary folder. The TEST_P bodies
// live in db_contract_suite.h so that only the test files that instantiate the suite hold them.
#include "tests/support/db_contract.h"

#include <sqlite3.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "platform/db/sqlite_backend.h"
#include "platform/vb/strings.h"

namespace testsupport {
namespace {

const char* DeclaredType(db::FieldType t) {
    switch (t) {
        case db::dbBoolean: return "BOOLEAN";
        case db::dbByte: return "TINYINT";
        case db::dbInteger: return "SMALLINT";
        case db::dbLong: return "INTEGER";
        case db::dbCurrency: return "CURRENCY";
        case db::dbSingle: return "SINGLE";
        case db::dbDouble: return "DOUBLE";
        case db::dbDate: return "DATETIME";
        case db::dbMemo: return "LONGTEXT";
        case db::dbBinary:
        case db::dbLongBinary: return "BLOB";
        default: return "VARCHAR";
    }
}

void Exec(sqlite3* db, const std::string& sql) {
    char* message = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
        std::string text = message ? message : "?";
        sqlite3_free(message);
        throw std::runtime_error("sqlite: " + text + " in " + sql);
    }
}

}  // namespace

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "bnsuite-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("cannot make a temporary folder");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

void CreateSqliteFile(const std::string& path, const std::vector<TableSpec>& tables) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        throw std::runtime_error("cannot create " + path);
    }
    try {
        Exec(db, "BEGIN");
        for (const TableSpec& t : tables) {
            std::string ddl = "CREATE TABLE " + db::sqlite::QuoteName(t.name) + " (";
            std::string marks;
            for (size_t c = 0; c < t.columns.size(); ++c) {
                const ColumnSpec& col = t.columns[c];
                ddl += (c ? ", " : "") + db::sqlite::QuoteName(col.name) + " " + DeclaredType(col.type);
                if (col.type == db::dbText) ddl += "(" + std::to_string(col.size > 0 ? col.size : 255) + ")";
                marks += c ? ", ?" : "?";
            }
            Exec(db, ddl + ")");
            sqlite3_stmt* insert = nullptr;
            std::string sql = "INSERT INTO " + db::sqlite::QuoteName(t.name) + " VALUES (" + marks + ")";
            if (sqlite3_prepare_v2(db, sql.c_str(), -1, &insert, nullptr) != SQLITE_OK)
                throw std::runtime_error(sqlite3_errmsg(db));
            for (const auto& row : t.rows) {
                for (size_t c = 0; c < t.columns.size(); ++c) {
                    const db::Value v = c < row.size() ? row[c] : db::Value();
                    int i = int(c) + 1;
                    switch (v.kind()) {
                        case db::Value::Kind::Null: sqlite3_bind_null(insert, i); break;
                        case db::Value::Kind::Boolean: sqlite3_bind_int(insert, i, v.AsBool() ? 1 : 0); break;
                        case db::Value::Kind::Integer: sqlite3_bind_int(insert, i, v.AsInteger()); break;
                        case db::Value::Kind::Long: sqlite3_bind_int(insert, i, v.AsLong()); break;
                        case db::Value::Kind::Single: sqlite3_bind_double(insert, i, v.AsSingle()); break;
                        case db::Value::Kind::Double: sqlite3_bind_double(insert, i, v.AsDoubleValue()); break;
                        case db::Value::Kind::Date: {
                            std::string text = vb::DateTimeText(v.AsDate().serial);
                            sqlite3_bind_text(insert, i, text.c_str(), -1, SQLITE_TRANSIENT);
                            break;
                        }
                        case db::Value::Kind::Text:
                            sqlite3_bind_text(insert, i, v.AsText().c_str(), int(v.AsText().size()), SQLITE_TRANSIENT);
                            break;
                    }
                }
                if (sqlite3_step(insert) != SQLITE_DONE) {
                    std::string message = sqlite3_errmsg(db);
                    sqlite3_finalize(insert);
                    throw std::runtime_error(message);
                }
                sqlite3_reset(insert);
            }
            sqlite3_finalize(insert);
        }
        Exec(db, "COMMIT");
    } catch (...) {
        sqlite3_close(db);
        throw;
    }
    sqlite3_close(db);
}

std::shared_ptr<db::Database> SqliteFileFactory::Create(const std::vector<TableSpec>& tables) {
    std::string path = dir_.Path("contract" + std::to_string(++files_) + ".db");
    CreateSqliteFile(path, tables);
    return db::DBEngine::OpenDatabase(path);
}

TableSpec ContractTable() {
    using db::Value;
    const Value null;
    TableSpec t;
    t.name = "T";
    t.columns = {{"cls", db::dbText, 50}, {"Unit Price", db::dbDouble}, {"qty", db::dbLong}, {"zorv_holdout", db::dbBoolean}};
    t.rows = {
        {Value("a"), Value(1.5), Value(int32_t(2)), Value(false)},
        {Value("A"), Value(1.5), Value(int32_t(3)), Value(true)},
        {Value("b"), Value(2.25), Value(int32_t(1)), Value(false)},
        {null, null, Value(int32_t(4)), null},
        {Value("?"), Value(2.25), Value(int32_t(1)), Value(true)},
        {Value("say \"hi\""), Value(3.0), Value(int32_t(5)), Value(false)},
        {Value("b"), Value(1.5), Value(int32_t(2)), null},
        {Value("a"), Value(2.25), Value(int32_t(1)), Value(false)},
    };
    return t;
}

void DbContract::SetUp() {
    std::string why = GetParam()->Unavailable();
    if (!why.empty()) GTEST_SKIP() << GetParam()->Name() << ": " << why;
    db_ = GetParam()->Create({ContractTable()});
}

void DbContract::TearDown() {
    if (db_) db_->Close();
}

vb::Array<db::Value> DbContract::Rows(const std::string& sql, int32_t n, int16_t type) {
    auto rs = db_->OpenRecordset(sql, type);
    vb::Array<db::Value> rows = rs->GetRows(n);
    rs->Close();
    return rows;
}

db::Value DbContract::Scalar(const std::string& sql) {
    vb::Array<db::Value> rows = Rows(sql, 1);
    if (rows.UBound(2) < 0) return db::Value();
    return rows(0, 0);
}

db::Error DbContract::ErrorOf(const std::string& sql) {
    try {
        auto rs = db_->OpenRecordset(sql, db::dbOpenForwardOnly);
        rs->GetRows(1000);
    } catch (const db::Error& e) {
        return e;
    }
    ADD_FAILURE() << "no error for: " << sql;
    return db::Error(0, "");
}

int32_t DbErrorNumber(const std::function<void()>& f, std::string* text) {
    try {
        f();
    } catch (const db::Error& e) {
        if (text) *text = e.description();
        return e.number();
    }
    return 0;
}

std::vector<std::vector<db::Value>> RowsOf(const vb::Array<db::Value>& block) {
    std::vector<std::vector<db::Value>> rows;
    for (int32_t r = 0; r <= block.UBound(2); ++r) {
        std::vector<db::Value> row;
        for (int32_t c = 0; c <= block.UBound(1); ++c) row.push_back(block(c, r));
        rows.push_back(std::move(row));
    }
    return rows;
}

}  // namespace testsupport

namespace db {

void PrintTo(const Value& v, std::ostream* os) {
    switch (v.kind()) {
        case Value::Kind::Null: *os << "Null"; break;
        case Value::Kind::Boolean: *os << (v.AsBool() ? "True" : "False"); break;
        case Value::Kind::Integer: *os << v.AsInteger() << "i"; break;
        case Value::Kind::Long: *os << v.AsLong() << "L"; break;
        case Value::Kind::Single: *os << v.AsSingle() << "f"; break;
        case Value::Kind::Double: *os << v.AsDoubleValue(); break;
        case Value::Kind::Date: *os << "#" << vb::DateTimeText(v.AsDate().serial) << "#"; break;
        case Value::Kind::Text: *os << '"' << v.AsText() << '"'; break;
    }
}

}  // namespace db
