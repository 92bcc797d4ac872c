// The quoting rule for table and field names, its inverse and its checks, and the hold-out
// column's name. Plain identifiers stay bare, everything else (punctuation, blanks, non-ASCII
// letters, a leading digit or underscore, reserved words) is bracketed.
#include "platform/db/sql_names.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>

#include "platform/db/database.h"

namespace db {

namespace {

// Words that a query statement gives a meaning of its own: a bare field of one of these names
// would be read as a keyword (FROM, COUNT) or a constant (YES, TRUE) and break the query or
// count the wrong thing; bracketed, it is just a name. Words that only name types or functions
// elsewhere (Name, Date, Value) are plain identifiers in a query and stay bare, so stored files
// keep their form. Sorted for lookup.
constexpr std::array<std::string_view, 56> kReserved = {
    "ADD", "ALL", "ALTER", "AND", "ANY", "AS", "ASC", "BETWEEN",
    "BY", "CASE", "COLUMN", "CONSTRAINT", "COUNT", "CREATE", "DELETE", "DESC",
    "DISTINCT", "DISTINCTROW", "DROP", "ELSE", "END", "EXISTS", "FALSE", "FROM",
    "FULL", "GROUP", "HAVING", "IN", "INNER", "INSERT", "INTO", "IS",
    "JOIN", "LEFT", "LIKE", "NO", "NOT", "NULL", "ON", "OR",
    "ORDER", "OUTER", "RIGHT", "SELECT", "SET", "SUM", "TABLE", "THEN",
    "TOP", "TRUE", "UNION", "UPDATE", "VALUES", "WHEN", "WHERE", "YES",
};

// ASCII only, whatever the process locale says about other characters.
bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsAsciiDigit(char c) { return c >= '0' && c <= '9'; }

std::string Upper(std::string_view s) {
    std::string upper(s);
    for (char& ch : upper)
        if (ch >= 'a' && ch <= 'z') ch = char(ch - 'a' + 'A');
    return upper;
}

bool IsPlainIdentifier(std::string_view name) {
    if (name.empty() || !IsAsciiLetter(name[0])) return false;
    return std::all_of(name.begin(), name.end(),
                       [](char c) { return IsAsciiLetter(c) || IsAsciiDigit(c) || c == '_'; });
}

bool IsBracketed(std::string_view name) { return !name.empty() && name.front() == '['; }

// Why the name cannot go into a query, or nullptr when it can. A bracketed name is read up to
// its first "]", so the text inside may hold anything else; a null character would end the
// name early in the back ends' C interfaces and name another table. sqlForm: a leading "["
// opens the caller's own brackets; otherwise it is a character of the name.
const char* Unquotable(std::string_view name, bool sqlForm) {
    std::string_view inner = name;
    if (sqlForm && IsBracketed(name)) {
        if (name.size() < 2 || name.back() != ']') return "it begins with '[' but does not end with ']'";
        inner = name.substr(1, name.size() - 2);
    }
    if (inner.empty()) return "it is empty";
    if (inner.find(']') != std::string_view::npos) return "it holds ']'";
    if (inner.find('\0') != std::string_view::npos) return "it holds a null character";
    return nullptr;
}

void Check(const std::string& name, NameKind kind, bool sqlForm = true) {
    if (const char* why = Unquotable(name, sqlForm)) {
        const char* what = kind == NameKind::Table ? "table" : "field";
        throw Error(errnum::kInvalidName,
                    fmt::format("The {} name '{}' cannot be used in a query: {}. Rename the {}.", what, name,
                                why, what));
    }
}

}  // namespace

bool IsSqlReservedWord(std::string_view name) {
    return std::binary_search(kReserved.begin(), kReserved.end(), std::string_view(Upper(name)));
}

std::string SqlName(const std::string& name, NameKind kind) {
    Check(name, kind);
    if (IsBracketed(name)) return name;
    if (IsPlainIdentifier(name) && !IsSqlReservedWord(name)) return name;
    return "[" + name + "]";
}

std::string BracketedSqlName(const std::string& name, NameKind kind) {
    Check(name, kind);
    return IsBracketed(name) ? name : "[" + name + "]";
}

std::string QuotedPlainName(const std::string& name, NameKind kind) {
    Check(name, kind, false);
    return "[" + name + "]";
}

std::string PlainSqlName(const std::string& name, NameKind kind) {
    Check(name, kind, false);
    if (IsPlainIdentifier(name) && !IsSqlReservedWord(name)) return name;
    return "[" + name + "]";
}

std::string BareSqlName(std::string_view name) {
    if (name.size() >= 2 && name.front() == '[' && name.back() == ']') return std::string(name.substr(1, name.size() - 2));
    return std::string(name);
}

bool IsHoldOutColumn(std::string_view name) { return Upper(name) == Upper(kHoldOutColumn); }

std::string HoldOutCondition(bool holdOut) {
    std::string column(kHoldOutColumn);
    for (char& ch : column)
        if (ch >= 'A' && ch <= 'Z') ch = char(ch - 'A' + 'a');
    return column + (holdOut ? "=yes" : "=no");
}

}  // namespace db
