// The field-name quoting rule shared by both engines: plain identifiers stay bare, everything
// else (punctuation, blanks, a leading digit or underscore, reserved words) is bracketed.
#include "core/field_quoting.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace core {

namespace {

// Words that the Jet dialect and the back ends' SQL reserve or treat as functions and literals.
// A bare field of one of these names would be read as a keyword (COUNT, DATE) or a constant
// (YES, TRUE) and count the wrong thing; bracketed, it is just a name. Sorted for lookup.
constexpr std::array<std::string_view, 97> kReserved = {
    "ADD",       "ALL",       "ALTER",     "AND",        "ANY",      "AS",        "ASC",
    "AUTOINCREMENT", "AVG",   "BETWEEN",   "BINARY",     "BIT",      "BOOLEAN",   "BY",
    "BYTE",      "CASE",      "CHAR",      "CHARACTER",  "COLUMN",   "CONSTRAINT", "COUNT",
    "COUNTER",   "CREATE",    "CURRENCY",  "DATABASE",   "DATE",     "DATETIME",  "DEFAULT",
    "DELETE",    "DESC",      "DISALLOW",  "DISTINCT",   "DISTINCTROW", "DOUBLE", "DROP",
    "ELSE",      "END",       "EXISTS",    "FALSE",      "FIRST",    "FLOAT",     "FOREIGN",
    "FROM",      "FULL",      "GROUP",     "HAVING",     "IN",       "INDEX",     "INNER",
    "INSERT",    "INT",       "INTEGER",   "INTO",       "IS",       "JOIN",      "KEY",
    "LAST",      "LEFT",      "LEVEL",     "LIKE",       "LONG",     "MAX",       "MEMO",
    "MIN",       "MOD",       "NAME",      "NO",         "NOT",      "NULL",      "NUMBER",
    "ON",        "OR",        "ORDER",     "OUTER",      "PERCENT",  "PRIMARY",   "REFERENCES",
    "RIGHT",     "SELECT",    "SET",       "SINGLE",     "SUM",      "TABLE",     "TEXT",
    "THEN",      "TIME",      "TOP",       "TRUE",       "UNION",    "UNIQUE",    "UPDATE",
    "USER",      "VALUE",     "VALUES",    "WHEN",       "WHERE",    "YES",
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

}  // namespace core
