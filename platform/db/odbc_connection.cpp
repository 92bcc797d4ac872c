// The driver manager's handles: the process's environment, connections made with
// SQLDriverConnect, and statements with their literals bound as parameters and their cells read
// back as text. A failing call becomes Jet's 3146 with the driver's own messages, so the user
// sees why (a refused login, an unknown data source, the server's complaint about a statement).
#include <fmt/format.h>

#include <dlfcn.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>

#include "platform/db/code_pages.h"
#include "platform/db/column_types.h"
#include "platform/db/odbc.h"
#include "platform/db/odbc_backend.h"
#include "platform/vb/strings.h"

namespace db::odbc {
namespace {

constexpr SQLSMALLINT kMaxDiagnostics = 8;
constexpr SQLINTEGER kLoginTimeoutSeconds = 15;

bool ParseInteger(const std::string& text, int64_t& out) {
    if (text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    long long v = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || end == text.c_str() || *end != '\0') return false;
    out = v;
    return true;
}

bool ParseNumber(const std::string& text, double& out) {
    if (text.empty()) return false;
    char* end = nullptr;
    double v = std::strtod(text.c_str(), &end);
    if (end == text.c_str() || *end != '\0') return false;
    out = v;
    return true;
}

Value NumberOf(int64_t i) {
    if (i >= INT32_MIN && i <= INT32_MAX) return Value(int32_t(i));
    return Value(double(i));
}

// A date serial as the driver's timestamp structure, through the text dates are stored in.
SQL_TIMESTAMP_STRUCT TimestampOf(double serial) {
    SQL_TIMESTAMP_STRUCT ts{};
    std::string text = DateStorageText(serial);  // "yyyy-mm-dd hh:nn:ss"
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    std::sscanf(text.c_str(), "%d-%d-%d %d:%d:%d", &y, &mo, &d, &h, &mi, &s);
    ts.year = SQLSMALLINT(y);
    ts.month = SQLUSMALLINT(mo);
    ts.day = SQLUSMALLINT(d);
    ts.hour = SQLUSMALLINT(h);
    ts.minute = SQLUSMALLINT(mi);
    ts.second = SQLUSMALLINT(s);
    return ts;
}

// The storage of one bound parameter; it must stay put until the statement has run.
struct ParamBuffer {
    WString wide;
    std::string narrow;
    int32_t l = 0;
    int16_t s = 0;
    unsigned char bit = 0;
    float f = 0;
    double d = 0;
    SQL_TIMESTAMP_STRUCT ts{};
    SQLLEN ind = 0;
};

}  // namespace

WString Wide(const std::string& utf8) {
    WString out;
    out.reserve(utf8.size());
    const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
    const size_t n = utf8.size();
    for (size_t i = 0; i < n;) {
        uint32_t cp = p[i];
        size_t len = cp < 0x80 ? 1 : (cp >> 5) == 0x6 ? 2 : (cp >> 4) == 0xE ? 3 : (cp >> 3) == 0x1E ? 4 : 0;
        bool ok = len > 0 && i + len <= n;
        if (ok && len > 1) {
            cp &= 0xFF >> (len + 1);
            for (size_t k = 1; k < len; ++k) {
                if ((p[i + k] & 0xC0) != 0x80) ok = false;
                cp = (cp << 6) | (p[i + k] & 0x3F);
            }
        }
        if (!ok) {  // a byte that is no UTF-8 becomes the replacement character, never dropped
            out += SQLWCHAR(0xFFFD);
            ++i;
            continue;
        }
        i += len;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += SQLWCHAR(0xD800 + (cp >> 10));
            out += SQLWCHAR(0xDC00 + (cp & 0x3FF));
        } else {
            out += SQLWCHAR(cp);
        }
    }
    return out;
}

std::string Utf8(const SQLWCHAR* text, size_t length) {
    std::string out;
    out.reserve(length);
    for (size_t i = 0; i < length; ++i) {
        uint32_t cp = text[i];
        if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < length && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp < 0xE000) {
            cp = 0xFFFD;
        }
        AppendUtf8(out, cp);
    }
    return out;
}

std::string Utf8(const WString& text) { return Utf8(text.data(), text.size()); }

SQLHENV Environment() {
    static SQLHENV env = [] {
        SQLHENV h = SQL_NULL_HENV;
        if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &h)))
            throw Error(errnum::kOdbcCallFailed, "ODBC--call failed. The ODBC driver manager gave no environment.");
        SQLSetEnvAttr(h, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
        return h;
    }();
    return env;
}

std::string Diagnostics(SQLSMALLINT handleType, SQLHANDLE handle, bool wide) {
    std::string out;
    for (SQLSMALLINT i = 1; i <= kMaxDiagnostics; ++i) {
        constexpr SQLSMALLINT room = 2048;
        std::string state, text;
        SQLINTEGER native = 0;
        SQLSMALLINT length = 0;
        if (wide) {
            SQLWCHAR s[6] = {}, message[room] = {};
            if (!SQL_SUCCEEDED(SQLGetDiagRecW(handleType, handle, i, s, &native, message, room, &length))) break;
            state = Utf8(s, 5);
            text = Utf8(message, size_t(std::clamp<SQLSMALLINT>(length, 0, room - 1)));
        } else {
            SQLCHAR s[6] = {}, message[room] = {};
            if (!SQL_SUCCEEDED(SQLGetDiagRec(handleType, handle, i, s, &native, message, room, &length))) break;
            state.assign(reinterpret_cast<char*>(s), 5);
            text.assign(reinterpret_cast<char*>(message), size_t(std::clamp<SQLSMALLINT>(length, 0, room - 1)));
        }
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
        if (!out.empty()) out += " ";
        out += "[" + state + "] " + text;
    }
    return out;
}

void Fail(SQLSMALLINT handleType, SQLHANDLE handle, bool wide) {
    std::string detail = Diagnostics(handleType, handle, wide);
    throw Error(errnum::kOdbcCallFailed, detail.empty() ? "ODBC--call failed." : "ODBC--call failed. " + detail);
}

std::vector<ConnectPair> ConnectPairs(const std::string& connect) {
    std::vector<ConnectPair> out;
    size_t i = 0;
    while (i < connect.size()) {
        size_t eq = connect.find('=', i);
        if (eq == std::string::npos) break;
        ConnectPair p;
        p.key = vb::Trim(connect.substr(i, eq - i));
        size_t start = eq + 1, end;
        if (start < connect.size() && connect[start] == '{') {
            end = connect.find('}', start);
            if (end == std::string::npos) end = connect.size();
            p.value = connect.substr(start + 1, end - start - 1);
            end = connect.find(';', end);
        } else {
            end = connect.find(';', start);
            p.value = connect.substr(start, end == std::string::npos ? std::string::npos : end - start);
        }
        p.text = connect.substr(i, end == std::string::npos ? std::string::npos : end - i);
        if (!p.key.empty()) out.push_back(std::move(p));
        if (end == std::string::npos) break;
        i = end + 1;
    }
    return out;
}

std::string ConnectValue(const std::string& connect, const std::string& key) {
    for (const ConnectPair& p : ConnectPairs(connect))
        if (sql::SameName(p.key, key)) return p.value;
    return "";
}

std::string DriverLibrary(const std::string& connect) {
    // The driver manager's own way: Driver= names the driver, else the data source does.
    std::string driver = ConnectValue(connect, "DRIVER");
    if (driver.empty()) {
        std::string dsn = ConnectValue(connect, "DSN");
        if (dsn.empty()) dsn = "DEFAULT";
        for (const OdbcDataSource& s : OdbcDataSources())
            if (sql::SameName(s.name, dsn)) driver = s.driver;
    }
    std::string library = driver.find('/') != std::string::npos ? driver : "";
    for (const OdbcDriver& d : OdbcDrivers()) {
        if (!library.empty() || !sql::SameName(d.name, driver)) continue;
        for (const std::string& a : d.attributes)
            if (sql::SameName(a.substr(0, a.find('=')), "Driver")) library = a.substr(a.find('=') + 1);
    }
    if (!library.empty() && library.find('/') == std::string::npos) {
        // A bare file name is looked for where the driver manager keeps its drivers.
        Dl_info self{};
        if (::dladdr(reinterpret_cast<void*>(&SQLAllocHandle), &self) && self.dli_fname) {
            std::string dir = self.dli_fname;
            library = dir.substr(0, dir.rfind('/') + 1) + "odbc/" + library;
        }
    }
    return library;
}

bool DriverIsWide(const std::string& connect) {
    const std::string library = DriverLibrary(connect);
    if (library.empty()) return true;
    static std::map<std::string, bool> known;
    auto it = known.find(library);
    if (it != known.end()) return it->second;
    // The library stays loaded: the driver manager loads it for the connection anyway.
    void* handle = ::dlopen(library.c_str(), RTLD_LAZY | RTLD_LOCAL);
    bool wide = !handle || ::dlsym(handle, "SQLExecDirectW") != nullptr;
    known.emplace(library, wide);
    return wide;
}

std::string WithServerCursor(const std::string& connect) {
    const std::string library = DriverLibrary(connect);
    const std::string file = library.substr(library.rfind('/') + 1);
    if (file.rfind("psqlodbc", 0) != 0 || !ConnectValue(connect, "UseDeclareFetch").empty()) return connect;
    std::string out = connect;
    if (!out.empty() && out.back() != ';') out += ';';
    return out + fmt::format("UseDeclareFetch=1;Fetch={};", kBlockRows);
}

Connection::Connection(const std::string& given) : wide_(DriverIsWide(given)) {
    const std::string connect = WithServerCursor(given);
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, Environment(), &dbc_))) Fail(SQL_HANDLE_ENV, Environment());
    SQLSetConnectAttrW(dbc_, SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(intptr_t(kLoginTimeoutSeconds)), 0);
    constexpr SQLSMALLINT room = 8192;
    SQLSMALLINT outLength = 0;
    SQLRETURN rc;
    if (wide_) {
        WString in = Wide(connect);
        std::vector<SQLWCHAR> out(room);
        rc = SQLDriverConnectW(dbc_, nullptr, in.data(), SQLSMALLINT(in.size()), out.data(), room, &outLength,
                               SQL_DRIVER_NOPROMPT);
        completed_ = Utf8(out.data(), size_t(std::clamp<SQLSMALLINT>(outLength, 0, room - 1)));
    } else {
        std::string in = connect;
        std::vector<SQLCHAR> out(room);
        rc = SQLDriverConnect(dbc_, nullptr, reinterpret_cast<SQLCHAR*>(in.data()), SQLSMALLINT(in.size()), out.data(),
                              room, &outLength, SQL_DRIVER_NOPROMPT);
        completed_.assign(reinterpret_cast<char*>(out.data()), size_t(std::clamp<SQLSMALLINT>(outLength, 0, room - 1)));
    }
    if (!SQL_SUCCEEDED(rc)) {
        std::string detail = Diagnostics(SQL_HANDLE_DBC, dbc_, wide_);
        SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
        dbc_ = SQL_NULL_HDBC;
        throw Error(errnum::kOdbcCallFailed, detail.empty() ? "ODBC--call failed." : "ODBC--call failed. " + detail);
    }
    // A driver that completes nothing leaves the string as given: it still opens the source.
    if (completed_.empty()) completed_ = connect;
    // Some drivers (SQLite's) leave out how they were found: their text names no driver and an
    // empty data source, and would not open the source again. The caller's way in is put back.
    if (ConnectValue(completed_, "DRIVER").empty() && ConnectValue(completed_, "DSN").empty()) {
        std::string found;
        for (const ConnectPair& p : ConnectPairs(connect))
            if (sql::SameName(p.key, "DRIVER") || sql::SameName(p.key, "DSN")) found = p.text + ";";
        for (const ConnectPair& p : ConnectPairs(completed_))
            if (!sql::SameName(p.key, "DSN")) found += p.text + ";";
        completed_ = found;
    }

    // A MySQL server reached through the MariaDB driver, and the reverse, name the server itself.
    std::string dbms = vb::UCase(InfoText(SQL_DBMS_NAME));
    if (dbms.find("POSTGRES") != std::string::npos) server_ = Server::PostgreSql;
    else if (dbms.find("SQLITE") != std::string::npos) server_ = Server::Sqlite;
    else if (dbms.find("MARIADB") != std::string::npos) server_ = Server::MariaDb;
    else if (dbms.find("MYSQL") != std::string::npos)
        server_ = vb::UCase(InfoText(SQL_DBMS_VER)).find("MARIADB") != std::string::npos ? Server::MariaDb : Server::MySql;
    paramTypes_ = ParamTypesOf(*this);
    std::string quote = InfoText(SQL_IDENTIFIER_QUOTE_CHAR);
    quote_ = quote == " " ? "" : quote;  // a blank: the server has no quoted names
}

Connection::~Connection() {
    if (dbc_ != SQL_NULL_HDBC) {
        SQLDisconnect(dbc_);
        SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
    }
}

std::string Connection::InfoText(SQLUSMALLINT info) const {
    SQLSMALLINT length = 0;
    if (wide_) {
        SQLWCHAR buffer[256] = {};
        if (!SQL_SUCCEEDED(SQLGetInfoW(dbc_, info, buffer, sizeof buffer, &length))) return "";
        return Utf8(buffer, std::min<size_t>(size_t(std::max<SQLSMALLINT>(length, 0)) / sizeof(SQLWCHAR), 255));
    }
    char buffer[256] = {};
    if (!SQL_SUCCEEDED(SQLGetInfo(dbc_, info, buffer, sizeof buffer, &length))) return "";
    return std::string(buffer, std::min<size_t>(size_t(std::max<SQLSMALLINT>(length, 0)), 255));
}

std::string Connection::CurrentCatalog() const { return InfoText(SQL_DATABASE_NAME); }

std::string Connection::QuoteName(const std::string& name) const {
    if (quote_.empty()) return name;
    std::string out = quote_;
    for (char c : name) {
        out += c;
        if (quote_.size() == 1 && c == quote_[0]) out += c;
    }
    return out + quote_;
}

void Connection::SetReadOnly() {
    // Advisory for most drivers; the back end refuses writes itself as well.
    SQLSetConnectAttrW(dbc_, SQL_ATTR_ACCESS_MODE, reinterpret_cast<SQLPOINTER>(SQL_MODE_READ_ONLY), 0);
}

Statement::Statement(const Connection& conn) : wide_(conn.wide()) {
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, conn.handle(), &stmt_)))
        Fail(SQL_HANDLE_DBC, conn.handle(), wide_);
}

Statement::~Statement() {
    if (stmt_ != SQL_NULL_HSTMT) SQLFreeHandle(SQL_HANDLE_STMT, stmt_);
}

void Statement::Check(SQLRETURN rc) const {
    if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA) Fail(SQL_HANDLE_STMT, stmt_, wide_);
}

void Statement::Execute(const std::string& sql, const std::vector<Value>& params) {
    std::vector<ParamBuffer> buffers(params.size());
    for (size_t i = 0; i < params.size(); ++i) {
        const Value& v = params[i];
        ParamBuffer& b = buffers[i];
        SQLSMALLINT cType = SQL_C_WCHAR, sqlType = SQL_WVARCHAR;
        SQLULEN size = 1;
        SQLPOINTER data = &b.l;
        SQLLEN bytes = 0;
        switch (v.kind()) {
            case Value::Kind::Null: b.ind = SQL_NULL_DATA; break;
            case Value::Kind::Boolean:
                b.bit = v.AsBool() ? 1 : 0;
                cType = SQL_C_BIT, sqlType = SQL_BIT, data = &b.bit;
                break;
            case Value::Kind::Integer:
                b.s = v.AsInteger();
                cType = SQL_C_SSHORT, sqlType = SQL_SMALLINT, size = 5, data = &b.s;
                break;
            case Value::Kind::Long:
                b.l = v.AsLong();
                cType = SQL_C_SLONG, sqlType = SQL_INTEGER, size = 10;
                break;
            case Value::Kind::Single:
                b.f = v.AsSingle();
                cType = SQL_C_FLOAT, sqlType = SQL_REAL, size = 7, data = &b.f;
                break;
            case Value::Kind::Double:
                b.d = v.AsDoubleValue();
                cType = SQL_C_DOUBLE, sqlType = SQL_DOUBLE, size = 15, data = &b.d;
                break;
            case Value::Kind::Date:
                b.ts = TimestampOf(v.AsDate().serial);
                cType = SQL_C_TYPE_TIMESTAMP, sqlType = SQL_TYPE_TIMESTAMP, size = 19, data = &b.ts;
                break;
            case Value::Kind::Text:
                if (wide_) {
                    b.wide = Wide(v.AsText());
                    size = b.wide.size();
                    b.ind = SQLLEN(size * sizeof(SQLWCHAR));
                    b.wide.push_back(0);
                    data = b.wide.data();
                } else {
                    b.narrow = v.AsText();
                    size = b.narrow.size();
                    b.ind = SQLLEN(size);
                    cType = SQL_C_CHAR, sqlType = SQL_VARCHAR, data = b.narrow.data();
                }
                bytes = b.ind;
                if (size > 4000) sqlType = wide_ ? SQL_WLONGVARCHAR : SQL_LONGVARCHAR;
                size = std::max<SQLULEN>(size, 1);
                break;
        }
        Check(SQLBindParameter(stmt_, SQLUSMALLINT(i + 1), SQL_PARAM_INPUT, cType, sqlType, size, 0, data, bytes,
                               &b.ind));
    }
    SQLRETURN rc;
    if (wide_) {
        WString text = Wide(sql);
        rc = SQLExecDirectW(stmt_, text.data(), SQLINTEGER(text.size()));
    } else {
        std::string text = sql;
        rc = SQLExecDirect(stmt_, reinterpret_cast<SQLCHAR*>(text.data()), SQLINTEGER(text.size()));
    }
    Check(rc);
    SQLFreeStmt(stmt_, SQL_RESET_PARAMS);
}

namespace {

// The catalog functions' arguments, in the width the driver is spoken to in; an empty text
// is passed as a null pointer (any), a pattern or name as itself.
template <typename Char>
struct CatalogArgs {
    std::vector<std::basic_string<Char>> texts;
    Char* At(size_t i) { return texts[i].empty() ? nullptr : texts[i].data(); }
    static SQLSMALLINT Length(const std::basic_string<Char>& t) { return t.empty() ? 0 : SQL_NTS; }
    SQLSMALLINT LengthAt(size_t i) const { return Length(texts[i]); }
};

CatalogArgs<SQLWCHAR> WideArgs(std::initializer_list<std::string> texts) {
    CatalogArgs<SQLWCHAR> out;
    for (const std::string& t : texts) out.texts.push_back(Wide(t));
    return out;
}

CatalogArgs<SQLCHAR> NarrowArgs(std::initializer_list<std::string> texts) {
    CatalogArgs<SQLCHAR> out;
    for (const std::string& t : texts) out.texts.emplace_back(t.begin(), t.end());
    return out;
}

}  // namespace

void Statement::Tables(const std::string& catalog, const std::string& pattern) {
    const std::string types = "TABLE,VIEW";
    if (wide_) {
        auto a = WideArgs({catalog, pattern, types});
        Check(SQLTablesW(stmt_, a.At(0), a.LengthAt(0), nullptr, 0, a.At(1), SQL_NTS, a.At(2), SQL_NTS));
    } else {
        auto a = NarrowArgs({catalog, pattern, types});
        Check(SQLTables(stmt_, a.At(0), a.LengthAt(0), nullptr, 0, a.At(1), SQL_NTS, a.At(2), SQL_NTS));
    }
}

void Statement::Columns(const std::string& catalog, const std::string& schema, const std::string& table) {
    if (wide_) {
        auto a = WideArgs({catalog, schema, table});
        Check(SQLColumnsW(stmt_, a.At(0), a.LengthAt(0), a.At(1), a.LengthAt(1), a.At(2), SQL_NTS, nullptr, 0));
    } else {
        auto a = NarrowArgs({catalog, schema, table});
        Check(SQLColumns(stmt_, a.At(0), a.LengthAt(0), a.At(1), a.LengthAt(1), a.At(2), SQL_NTS, nullptr, 0));
    }
}

void Statement::TypeInfo(SQLSMALLINT sqlType) {
    Check(wide_ ? SQLGetTypeInfoW(stmt_, sqlType) : SQLGetTypeInfo(stmt_, sqlType));
}

SQLLEN Statement::ColumnType(int column) const {
    SQLLEN type = SQL_UNKNOWN_TYPE;
    const SQLRETURN rc = wide_ ? SQLColAttributeW(stmt_, SQLUSMALLINT(column), SQL_DESC_CONCISE_TYPE, nullptr, 0,
                                                  nullptr, &type)
                               : SQLColAttribute(stmt_, SQLUSMALLINT(column), SQL_DESC_CONCISE_TYPE, nullptr, 0,
                                                 nullptr, &type);
    Check(rc);
    return type;
}

const std::string& ParamTypes::Of(Value::Kind kind) const {
    static const std::string none;
    switch (kind) {
        case Value::Kind::Boolean: return boolean;
        case Value::Kind::Integer: return integer;
        case Value::Kind::Long: return longInteger;
        case Value::Kind::Single: return single;
        case Value::Kind::Double: return dbl;
        case Value::Kind::Date: return date;
        case Value::Kind::Text: return text;
        case Value::Kind::Null: break;
    }
    return none;
}

namespace {

// The first type the driver reports for the ODBC type that takes no size or precision and is
// no counter of its own (an identity or auto-increment column); "" when there is none.
std::string DriverTypeName(const Connection& conn, SQLSMALLINT sqlType) {
    try {
        Statement s(conn);
        s.TypeInfo(sqlType);
        while (s.Fetch()) {
            std::string name = s.Text(1).value_or("");
            const bool sized = !s.Text(6).value_or("").empty();
            const bool counter = s.Integer(12).value_or(SQL_FALSE) == SQL_TRUE;
            if (!name.empty() && !sized && !counter) return name;
        }
    } catch (const Error&) {
        // a driver that cannot tell: the marker stays a plain "?"
    }
    return "";
}

}  // namespace

ParamTypes ParamTypesOf(const Connection& conn) {
    switch (conn.server()) {
        // SQLite's binding is typed, and a cast there would change a column's affinity rules.
        case Server::Sqlite: return {};
        // PostgreSQL's driver sends parameters without a type and the server then takes the
        // other side's: 2.5 compared with an integer column would be read as an integer and
        // fail, a bound next to a real column would be rounded to real.
        case Server::PostgreSql:
            return {"BOOLEAN", "SMALLINT", "INTEGER", "REAL", "DOUBLE PRECISION", "TIMESTAMP", "VARCHAR"};
        // CAST there knows SIGNED, DOUBLE, DECIMAL, DATETIME and CHAR, none of the standard's
        // SMALLINT, REAL or TIMESTAMP. A Single goes in as the double it is exactly; a text
        // keeps the connection's character set; a Boolean is bound as the number it is there.
        case Server::MariaDb:
        case Server::MySql: return {"", "SIGNED", "SIGNED", "DOUBLE", "DOUBLE", "DATETIME", ""};
        case Server::Generic: break;
    }
    return DriverParamTypes(conn);
}

ParamTypes DriverParamTypes(const Connection& conn) {
    ParamTypes t;
    t.integer = DriverTypeName(conn, SQL_SMALLINT);
    t.longInteger = DriverTypeName(conn, SQL_INTEGER);
    t.single = DriverTypeName(conn, SQL_REAL);
    t.dbl = DriverTypeName(conn, SQL_DOUBLE);
    if (t.dbl.empty()) t.dbl = DriverTypeName(conn, SQL_FLOAT);
    t.date = DriverTypeName(conn, SQL_TYPE_TIMESTAMP);
    return t;
}

bool Statement::Fetch() {
    SQLRETURN rc = SQLFetch(stmt_);
    if (rc == SQL_NO_DATA) return false;
    Check(rc);
    return true;
}

int Statement::ColumnCount() const {
    SQLSMALLINT n = 0;
    Check(SQLNumResultCols(stmt_, &n));
    return n;
}

// Reads a cell in parts of the buffer's size until the driver says it gave the last one.
template <typename Char>
std::optional<std::basic_string<Char>> ReadParts(SQLHSTMT stmt, int column, SQLSMALLINT cType, bool terminated,
                                                 const Statement& owner, void (Statement::*check)(SQLRETURN) const) {
    std::basic_string<Char> out;
    Char buffer[8192 / sizeof(Char)];
    const SQLLEN room = SQLLEN(sizeof buffer - (terminated ? sizeof(Char) : 0));  // a text part ends in a 0
    while (true) {
        SQLLEN ind = 0;
        SQLRETURN rc = SQLGetData(stmt, SQLUSMALLINT(column), cType, buffer, sizeof buffer, &ind);
        if (rc == SQL_NO_DATA) break;
        (owner.*check)(rc);
        if (ind == SQL_NULL_DATA) return std::nullopt;
        const bool more = rc == SQL_SUCCESS_WITH_INFO && (ind == SQL_NO_TOTAL || ind > room);
        out.append(buffer, size_t(more ? room : std::min(ind, room)) / sizeof(Char));
        if (!more) break;
    }
    return out;
}

std::optional<std::string> Statement::Text(int column) {
    if (!wide_) return ReadParts<char>(stmt_, column, SQL_C_CHAR, true, *this, &Statement::Check);
    auto text = ReadParts<SQLWCHAR>(stmt_, column, SQL_C_WCHAR, true, *this, &Statement::Check);
    if (!text) return std::nullopt;
    return Utf8(*text);
}

std::optional<std::string> Statement::Bytes(int column) {
    return ReadParts<char>(stmt_, column, SQL_C_BINARY, false, *this, &Statement::Check);
}

std::optional<int64_t> Statement::Integer(int column) {
    SQLBIGINT v = 0;
    SQLLEN ind = 0;
    Check(SQLGetData(stmt_, SQLUSMALLINT(column), SQL_C_SBIGINT, &v, sizeof v, &ind));
    if (ind == SQL_NULL_DATA) return std::nullopt;
    return int64_t(v);
}

std::optional<double> Statement::Real(int column) {
    double v = 0;
    SQLLEN ind = 0;
    Check(SQLGetData(stmt_, SQLUSMALLINT(column), SQL_C_DOUBLE, &v, sizeof v, &ind));
    if (ind == SQL_NULL_DATA) return std::nullopt;
    return v;
}

Value CellFromText(const std::string& text, FieldType type) {
    int64_t i = 0;
    double d = 0;
    switch (type) {
        case dbBoolean: {
            std::string word = vb::UCase(vb::Trim(text));
            if (word == "T" || word == "TRUE" || word == "Y" || word == "YES" || word == "ON") return Value(true);
            if (word == "F" || word == "FALSE" || word == "N" || word == "NO" || word == "OFF") return Value(false);
            if (ParseNumber(word, d)) return Value(d != 0);
            break;
        }
        case dbByte:
        case dbInteger:
            if (ParseInteger(text, i)) return i >= INT16_MIN && i <= INT16_MAX ? Value(int16_t(i)) : NumberOf(i);
            if (ParseNumber(text, d)) return Value(d);
            break;
        case dbLong:
            if (ParseInteger(text, i)) return NumberOf(i);
            if (ParseNumber(text, d)) return Value(d);
            break;
        case dbSingle:
            if (ParseNumber(text, d)) return Value(float(d));
            break;
        case dbDouble:
        case dbCurrency:
            if (ParseNumber(text, d)) return Value(d);
            break;
        case dbDate: {
            if (auto serial = ParseStoredDate(text)) return Value(Date{*serial});
            // A time of day alone is that time on day 0; a zone after a time is dropped, as the
            // runtime's dates have none.
            if (auto serial = ParseStoredDate("1899-12-30 " + text)) return Value(Date{*serial});
            size_t zone = text.find_last_of("+-");
            if (zone != std::string::npos && zone > 10)
                if (auto serial = ParseStoredDate(text.substr(0, zone))) return Value(Date{*serial});
            if (ParseNumber(text, d)) return Value(Date{d});
            break;
        }
        default: break;
    }
    // Texts, and a cell that its column's type cannot read, come back as the text itself.
    return Value(text);
}

}  // namespace db::odbc
