// The driver manager's handles: the process's environment, connections made with
// SQLDriverConnect, and statements with their literals bound as parameters and their cells read
// back as text. A failing call becomes Jet's 3146 with the driver's own messages, so the user
// sees why (a refused login, an unknown data source, the server's complaint about a statement).
#include <fmt/format.h>

#include <clocale>
#include <locale.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "platform/db/column_types.h"
#include "platform/db/odbc_backend.h"
#include "platform/vb/strings.h"

namespace db::odbc {
namespace {

constexpr SQLSMALLINT kMaxDiagnostics = 8;
constexpr SQLINTEGER kLoginTimeoutSeconds = 15;

void AppendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

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
    WString text;
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

Utf8Scope::Utf8Scope() {
    static const locale_t utf8 = [] {
        for (const char* name : {"C.UTF-8", "C.utf8", "en_US.UTF-8"})
            if (locale_t l = ::newlocale(LC_CTYPE_MASK, name, locale_t(0))) return l;
        return locale_t(0);
    }();
    if (utf8) previous_ = ::uselocale(utf8);
}

Utf8Scope::~Utf8Scope() {
    if (previous_) ::uselocale(static_cast<locale_t>(previous_));
}

std::string Diagnostics(SQLSMALLINT handleType, SQLHANDLE handle) {
    std::string out;
    for (SQLSMALLINT i = 1; i <= kMaxDiagnostics; ++i) {
        SQLWCHAR state[6] = {};
        SQLWCHAR message[2048] = {};
        SQLINTEGER native = 0;
        SQLSMALLINT length = 0;
        SQLRETURN rc = SQLGetDiagRecW(handleType, handle, i, state, &native, message,
                                      SQLSMALLINT(sizeof message / sizeof message[0]), &length);
        if (!SQL_SUCCEEDED(rc)) break;
        size_t n = std::min<size_t>(size_t(std::max<SQLSMALLINT>(length, 0)), sizeof message / sizeof message[0] - 1);
        std::string text = Utf8(message, n);
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
        if (!out.empty()) out += " ";
        out += "[" + Utf8(state, 5) + "] " + text;
    }
    return out;
}

void Fail(SQLSMALLINT handleType, SQLHANDLE handle) {
    std::string detail = Diagnostics(handleType, handle);
    throw Error(errnum::kOdbcCallFailed, detail.empty() ? "ODBC--call failed." : "ODBC--call failed. " + detail);
}

Connection::Connection(const std::string& connect) {
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, Environment(), &dbc_))) Fail(SQL_HANDLE_ENV, Environment());
    SQLSetConnectAttrW(dbc_, SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(intptr_t(kLoginTimeoutSeconds)), 0);
    WString in = Wide(connect);
    std::vector<SQLWCHAR> out(8192);
    SQLSMALLINT outLength = 0;
    SQLRETURN rc;
    {
        Utf8Scope utf8;
        rc = SQLDriverConnectW(dbc_, nullptr, in.data(), SQLSMALLINT(in.size()), out.data(), SQLSMALLINT(out.size()),
                               &outLength, SQL_DRIVER_NOPROMPT);
    }
    if (!SQL_SUCCEEDED(rc)) {
        std::string detail = Diagnostics(SQL_HANDLE_DBC, dbc_);
        SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
        dbc_ = SQL_NULL_HDBC;
        throw Error(errnum::kOdbcCallFailed, detail.empty() ? "ODBC--call failed." : "ODBC--call failed. " + detail);
    }
    size_t n = std::min<size_t>(size_t(std::max<SQLSMALLINT>(outLength, 0)), out.size() - 1);
    completed_ = Utf8(out.data(), n);
    // A driver that completes nothing leaves the string as given: it still opens the source.
    if (completed_.empty()) completed_ = connect;

    std::string dbms = vb::UCase(InfoText(SQL_DBMS_NAME));
    if (dbms.find("POSTGRES") != std::string::npos) server_ = Server::PostgreSql;
    else if (dbms.find("SQLITE") != std::string::npos) server_ = Server::Sqlite;
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
    SQLWCHAR buffer[256] = {};
    SQLSMALLINT length = 0;
    if (!SQL_SUCCEEDED(SQLGetInfoW(dbc_, info, buffer, sizeof buffer, &length))) return "";
    size_t n = std::min<size_t>(size_t(std::max<SQLSMALLINT>(length, 0)) / sizeof(SQLWCHAR), 255);
    return Utf8(buffer, n);
}

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

Statement::Statement(const Connection& conn) {
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, conn.handle(), &stmt_))) Fail(SQL_HANDLE_DBC, conn.handle());
}

Statement::~Statement() {
    if (stmt_ != SQL_NULL_HSTMT) SQLFreeHandle(SQL_HANDLE_STMT, stmt_);
}

void Statement::Check(SQLRETURN rc) const {
    if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA) Fail(SQL_HANDLE_STMT, stmt_);
}

void Statement::Execute(const std::string& sql, const std::vector<Value>& params) {
    std::vector<ParamBuffer> buffers(params.size());
    for (size_t i = 0; i < params.size(); ++i) {
        const Value& v = params[i];
        ParamBuffer& b = buffers[i];
        const auto number = SQLUSMALLINT(i + 1);
        SQLSMALLINT cType = SQL_C_WCHAR, sqlType = SQL_WVARCHAR;
        SQLULEN size = 1;
        SQLSMALLINT digits = 0;
        SQLPOINTER data = nullptr;
        SQLLEN bytes = 0;
        switch (v.kind()) {
            case Value::Kind::Null:
                b.ind = SQL_NULL_DATA;
                data = &b.l;
                break;
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
                cType = SQL_C_SLONG, sqlType = SQL_INTEGER, size = 10, data = &b.l;
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
                b.text = Wide(v.AsText());
                b.text.push_back(0);
                bytes = SQLLEN((b.text.size() - 1) * sizeof(SQLWCHAR));
                b.ind = bytes;
                size = std::max<SQLULEN>(b.text.size() - 1, 1);
                if (size > 4000) sqlType = SQL_WLONGVARCHAR;
                data = b.text.data();
                bytes += sizeof(SQLWCHAR);
                break;
        }
        SQLRETURN rc = SQLBindParameter(stmt_, number, SQL_PARAM_INPUT, cType, sqlType, size, digits, data, bytes,
                                        &b.ind);
        if (!SQL_SUCCEEDED(rc)) Fail(SQL_HANDLE_STMT, stmt_);
    }
    WString text = Wide(sql);
    SQLRETURN rc = SQLExecDirectW(stmt_, text.data(), SQLINTEGER(text.size()));
    if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA) Fail(SQL_HANDLE_STMT, stmt_);
    SQLFreeStmt(stmt_, SQL_RESET_PARAMS);
}

bool Statement::Fetch() {
    SQLRETURN rc = SQLFetch(stmt_);
    if (rc == SQL_NO_DATA) return false;
    if (!SQL_SUCCEEDED(rc)) Fail(SQL_HANDLE_STMT, stmt_);
    return true;
}

int Statement::ColumnCount() const {
    SQLSMALLINT n = 0;
    if (!SQL_SUCCEEDED(SQLNumResultCols(stmt_, &n))) Fail(SQL_HANDLE_STMT, stmt_);
    return n;
}

std::optional<std::string> Statement::Text(int column) {
    WString out;
    SQLWCHAR buffer[2048];
    constexpr SQLLEN room = SQLLEN(sizeof buffer - sizeof(SQLWCHAR));  // the driver ends each part with a 0
    while (true) {
        SQLLEN ind = 0;
        SQLRETURN rc = SQLGetData(stmt_, SQLUSMALLINT(column), SQL_C_WCHAR, buffer, sizeof buffer, &ind);
        if (rc == SQL_NO_DATA) break;
        if (!SQL_SUCCEEDED(rc)) Fail(SQL_HANDLE_STMT, stmt_);
        if (ind == SQL_NULL_DATA) return std::nullopt;
        const bool more = rc == SQL_SUCCESS_WITH_INFO && (ind == SQL_NO_TOTAL || ind > room);
        const SQLLEN bytes = more ? room : std::min(ind, room);
        out.append(buffer, size_t(bytes) / sizeof(SQLWCHAR));
        if (!more) break;
    }
    return Utf8(out);
}

std::optional<std::string> Statement::Bytes(int column) {
    std::string out;
    char buffer[8192];
    while (true) {
        SQLLEN ind = 0;
        SQLRETURN rc = SQLGetData(stmt_, SQLUSMALLINT(column), SQL_C_BINARY, buffer, sizeof buffer, &ind);
        if (rc == SQL_NO_DATA) break;
        if (!SQL_SUCCEEDED(rc)) Fail(SQL_HANDLE_STMT, stmt_);
        if (ind == SQL_NULL_DATA) return std::nullopt;
        const bool more = rc == SQL_SUCCESS_WITH_INFO && (ind == SQL_NO_TOTAL || ind > SQLLEN(sizeof buffer));
        out.append(buffer, more ? sizeof buffer : size_t(std::min<SQLLEN>(ind, sizeof buffer)));
        if (!more) break;
    }
    return out;
}

std::optional<int64_t> Statement::Integer(int column) {
    SQLBIGINT v = 0;
    SQLLEN ind = 0;
    SQLRETURN rc = SQLGetData(stmt_, SQLUSMALLINT(column), SQL_C_SBIGINT, &v, sizeof v, &ind);
    if (!SQL_SUCCEEDED(rc)) Fail(SQL_HANDLE_STMT, stmt_);
    if (ind == SQL_NULL_DATA) return std::nullopt;
    return int64_t(v);
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
