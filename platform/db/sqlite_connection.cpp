// The SQLite connection: opening a file with Jet's errors for a missing, foreign or damaged
// one, the cache of prepared statements (the engines send the same count texts many times),
// the mapping of SQLite's result codes to Jet's errors, and the cell conversions.
#include <fmt/format.h>
#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <fstream>

#include "platform/db/column_types.h"
#include "platform/db/importers.h"
#include "platform/db/sqlite_backend.h"

namespace db::sqlite {
namespace {

constexpr size_t kMaxIdleStatements = 64;

// The db::Error a SQL function raised on this thread, until the statement's failure is reported
// (SQLite runs a statement's functions on the thread that steps it).
thread_local std::optional<Error> functionError;

void JetSingle(sqlite3_context* ctx, int, sqlite3_value** argv) {
    int t = sqlite3_value_type(argv[0]);
    if (t == SQLITE_INTEGER || t == SQLITE_FLOAT)
        sqlite3_result_double(ctx, double(float(sqlite3_value_double(argv[0]))));
    else
        sqlite3_result_value(ctx, argv[0]);
}

void JetDate(sqlite3_context* ctx, int, sqlite3_value** argv) {
    switch (sqlite3_value_type(argv[0])) {
        case SQLITE_INTEGER:
        case SQLITE_FLOAT: sqlite3_result_double(ctx, sqlite3_value_double(argv[0])); return;
        case SQLITE_TEXT: {
            auto serial = ParseStoredDate(reinterpret_cast<const char*>(sqlite3_value_text(argv[0])));
            if (serial) sqlite3_result_double(ctx, *serial);
            else sqlite3_result_null(ctx);
            return;
        }
        default: sqlite3_result_null(ctx);
    }
}

Value NumberOf(int64_t i) {
    if (i >= INT32_MIN && i <= INT32_MAX) return Value(int32_t(i));
    return Value(double(i));
}

std::string TextOf(sqlite3_stmt* stmt, int index) {
    const char* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt, index));
    return std::string(p ? p : "", size_t(sqlite3_column_bytes(stmt, index)));
}

}  // namespace

Connection::Connection(sqlite3* handle, std::string name) : db_(handle), name_(std::move(name)) {}

Connection::~Connection() {
    for (sqlite3_stmt* s : idle_) sqlite3_finalize(s);
    sqlite3_close_v2(db_);
}

sqlite3_stmt* Connection::Acquire(const std::string& sql) {
    for (auto it = idle_.begin(); it != idle_.end(); ++it)
        if (sql == sqlite3_sql(*it)) {
            sqlite3_stmt* s = *it;
            idle_.erase(it);
            return s;
        }
    sqlite3_stmt* s = nullptr;
    int rc = sqlite3_prepare_v3(db_, sql.c_str(), int(sql.size()), SQLITE_PREPARE_PERSISTENT, &s, nullptr);
    if (rc != SQLITE_OK) Fail(rc);
    return s;
}

void Connection::Release(sqlite3_stmt* stmt) {
    if (!stmt) return;
    sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
    idle_.push_front(stmt);
    if (idle_.size() > kMaxIdleStatements) {
        sqlite3_finalize(idle_.back());
        idle_.pop_back();
    }
}

void Connection::Run(const std::string& sql) {
    char* message = nullptr;
    int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message);
    sqlite3_free(message);
    if (rc != SQLITE_OK) Fail(rc);
}

int64_t Connection::SchemaVersion() {
    Statement s(*this, "PRAGMA schema_version");
    s.Step();
    return sqlite3_column_int64(s.get(), 0);
}

void Connection::Fail(int rc) const {
    const char* message = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
    if (functionError) {
        std::optional<Error> raised;
        raised.swap(functionError);
        if (raised->description() == message) throw *raised;
    }
    switch (rc & 0xff) {
        case SQLITE_CORRUPT:
            throw Error(errnum::kDamaged,
                        fmt::format("Cannot open database '{}'. It may not be a database that your application "
                                    "recognizes, or the file may be corrupt.",
                                    name_));
        case SQLITE_NOTADB: throw Error(errnum::kNotDatabase, fmt::format("Unrecognized database format '{}'.", name_));
        case SQLITE_READONLY: throw Error(3027, "Cannot update. Database or object is read-only.");
        case SQLITE_BUSY:
        case SQLITE_LOCKED: throw Error(3045, fmt::format("Could not use '{}'; file already in use.", name_));
        case SQLITE_FULL: throw Error(3035, fmt::format("System resource exceeded: {}.", message));
        case SQLITE_CANTOPEN:
        case SQLITE_PERM:
        case SQLITE_AUTH:
            throw Error(3051, fmt::format("The database engine cannot open the file '{}'. It is already opened "
                                          "exclusively by another user, or you need permission to view its data.",
                                          name_));
        case SQLITE_CONSTRAINT: throw Error(3022, fmt::format("The changes were not successful: {}.", message));
        default: throw Error(3000, fmt::format("Database error in '{}': {}.", name_, message));
    }
}

void Statement::Bind(const std::vector<Value>& params) {
    for (size_t i = 0; i < params.size(); ++i) BindValue(stmt_, int(i) + 1, params[i]);
}

bool Statement::Step() {
    int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    conn_->Fail(rc);
}

std::string QuoteName(const std::string& name) {
    std::string out = "\"";
    for (char c : name) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
    return out;
}

void BindValue(sqlite3_stmt* stmt, int index, const Value& v) {
    switch (v.kind()) {
        case Value::Kind::Null: sqlite3_bind_null(stmt, index); break;
        case Value::Kind::Boolean: sqlite3_bind_int(stmt, index, v.AsBool() ? 1 : 0); break;
        case Value::Kind::Integer: sqlite3_bind_int(stmt, index, v.AsInteger()); break;
        case Value::Kind::Long: sqlite3_bind_int(stmt, index, v.AsLong()); break;
        case Value::Kind::Single: sqlite3_bind_double(stmt, index, double(v.AsSingle())); break;
        case Value::Kind::Double: sqlite3_bind_double(stmt, index, v.AsDoubleValue()); break;
        case Value::Kind::Date: {
            std::string text = DateStorageText(v.AsDate().serial);
            sqlite3_bind_text(stmt, index, text.data(), int(text.size()), SQLITE_TRANSIENT);
            break;
        }
        case Value::Kind::Text:
            sqlite3_bind_text(stmt, index, v.AsText().data(), int(v.AsText().size()), SQLITE_TRANSIENT);
            break;
    }
}

std::optional<Value> ReadNumber(bool integer, int64_t i, double d, FieldType type, bool typed) {
    if (!typed) return integer ? NumberOf(i) : Value(d);
    switch (type) {
        case dbBoolean: return Value(d != 0);
        case dbByte:
        case dbInteger:
            if (integer) {
                if (i >= INT16_MIN && i <= INT16_MAX) return Value(int16_t(i));
                return NumberOf(i);
            }
            return Value(d);
        case dbLong: return integer ? NumberOf(i) : Value(d);
        case dbSingle: return Value(float(d));
        case dbDouble:
        case dbCurrency: return Value(d);
        case dbDate: return Value(Date{d});
        default: return std::nullopt;
    }
}

Value ReadCell(sqlite3_stmt* stmt, int index, FieldType type, bool typed) {
    const int storage = sqlite3_column_type(stmt, index);
    if (storage == SQLITE_NULL) return Value();
    if (storage == SQLITE_INTEGER || storage == SQLITE_FLOAT) {
        const bool integer = storage == SQLITE_INTEGER;
        const int64_t i = integer ? sqlite3_column_int64(stmt, index) : 0;
        if (auto v = ReadNumber(integer, i, sqlite3_column_double(stmt, index), type, typed)) return *v;
    } else if (typed && type == dbDate && storage == SQLITE_TEXT) {
        std::string text = TextOf(stmt, index);
        if (auto serial = ParseStoredDate(text)) return Value(Date{*serial});
        return Value(std::move(text));
    }
    // Texts, and whatever a column holds that its type cannot read, come back as text: a cell
    // that does not fit its declared type is shown as it is, never lost.
    return Value(TextOf(stmt, index));
}

void ResultError(sqlite3_context* ctx, const Error& e) {
    functionError = e;
    sqlite3_result_error(ctx, e.description().c_str(), -1);
}

void RegisterFunctions(sqlite3* db) {
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
    sqlite3_create_function(db, "jet_single", 1, flags, nullptr, GuardedFunction<JetSingle>, nullptr, nullptr);
    sqlite3_create_function(db, "jet_date", 1, flags, nullptr, GuardedFunction<JetDate>, nullptr, nullptr);
}

std::shared_ptr<Connection> OpenConnection(const std::string& name, bool readOnly, bool create, bool verify) {
    const bool memory = name == ":memory:" || name.empty();  // "": a temporary database
    if (!memory) {
        struct stat st {};
        if (::stat(name.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) {
            if (!create && errno == EACCES) FailToRead(name, errno);
            if (!create) throw Error(errnum::kFileNotFound, fmt::format("Could not find file '{}'.", name));
        } else {
            if (create) throw Error(3204, "Database already exists.");
            // An empty file or one without SQLite's header is not ours; opening it would quietly
            // turn an empty file into a database, or fail later with a less helpful text.
            char header[16] = {};
            std::ifstream in(name, std::ios::binary);
            if (!in) FailToRead(name, errno);
            in.read(header, sizeof header);
            if (in.gcount() < 16 || std::memcmp(header, "SQLite format 3", 16) != 0)
                throw Error(errnum::kNotDatabase, fmt::format("Unrecognized database format '{}'.", name));
        }
    }
    sqlite3* handle = nullptr;
    int flags = (readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) | (create ? SQLITE_OPEN_CREATE : 0) |
                SQLITE_OPEN_NOMUTEX;
    int rc = sqlite3_open_v2(name.c_str(), &handle, flags, nullptr);
    auto conn = std::make_shared<Connection>(handle, name);
    if (rc != SQLITE_OK) conn->Fail(rc);
    sqlite3_extended_result_codes(handle, 0);
    sqlite3_busy_timeout(handle, 5000);
    RegisterFunctions(handle);
    // Reading the schema now reports a damaged or foreign file at the open, where the programs
    // offer the repair, not at the first query.
    if (verify) conn->Run("SELECT count(*) FROM sqlite_master");
    if (create) conn->Run("PRAGMA user_version = 1");  // writes the header: the file is a database now
    return conn;
}

}  // namespace db::sqlite
