// The field-name quoting rule shared by both engines: plain identifiers stay bare, everything
// else (punctuation, blanks, a leading digit or underscore, reserved words) is bracketed.
#include "core/field_quoting.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace core {

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

bool IsPlainIdentifier(const std::string& name) {
    if (name.empty() || !IsAsciiLetter(name[0])) return false;
    return std::all_of(name.begin(), name.end(),
                       [](char c) { return IsAsciiLetter(c) || IsAsciiDigit(c) || c == '_'; });
}

}  // namespace

bool IsSqlReservedWord(const std::string& name) {
    std::string upper(name);
    for (char& ch : upper) {
        if (ch >= 'a' && ch <= 'z') ch = char(ch - 'a' + 'A');
    }
    return std::binary_search(kReserved.begin(), kReserved.end(), std::string_view(upper));
}

std::string QuoteFieldName(const std::string& name) {
    if (!name.empty() && name[0] == '[') return name;
    if (IsPlainIdentifier(name) && !IsSqlReservedWord(name)) return name;
    return "[" + name + "]";
}

std::string BareFieldName(const std::string& name) {
    if (name.size() >= 2 && name.front() == '[' && name.back() == ']') return name.substr(1, name.size() - 2);
    return name;
}

}  // namespace core
