// Declared SQLite types to Jet type codes and back, and the stored text of dates.
#include "platform/db/column_types.h"

#include <fmt/format.h>

#include <cmath>
#include <cstdlib>

#include "platform/vb/strings.h"

namespace db {
namespace {

bool Contains(const std::string& s, const char* part) { return s.find(part) != std::string::npos; }

// Days from 1970-01-01 to the civil date (proleptic Gregorian).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = unsigned(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + int64_t(doe) - 719468;
}

// The days of month m (1..12) of year y (proleptic Gregorian).
int DaysInMonth(int y, int m) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return m == 2 && leap ? 29 : days[m - 1];
}

bool ReadDigits(const std::string& s, size_t& i, size_t count, int& out) {
    out = 0;
    for (size_t k = 0; k < count; ++k, ++i) {
        if (i >= s.size() || s[i] < '0' || s[i] > '9') return false;
        out = out * 10 + (s[i] - '0');
    }
    return true;
}

}  // namespace

DeclaredType FieldTypeFromDeclared(const std::string& declared) {
    DeclaredType out;
    std::string word = vb::UCase(vb::Trim(declared));
    size_t paren = word.find('(');
    if (paren != std::string::npos) {
        out.size = int32_t(std::strtol(word.c_str() + paren + 1, nullptr, 10));
        word = vb::Trim(word.substr(0, paren));
    }
    if (word.empty()) return out;
    out.typed = true;
    static const std::pair<const char*, FieldType> exact[] = {
        {"BOOLEAN", dbBoolean},  {"BOOL", dbBoolean},     {"BIT", dbBoolean},       {"YESNO", dbBoolean},
        {"LOGICAL", dbBoolean},  {"BYTE", dbByte},        {"TINYINT", dbByte},      {"SMALLINT", dbInteger},
        {"INTEGER16", dbInteger}, {"SHORT", dbInteger},   {"INT2", dbInteger},      {"INTEGER", dbLong},
        {"INT", dbLong},         {"LONG", dbLong},        {"BIGINT", dbLong},       {"INT4", dbLong},
        {"INT8", dbLong},        {"COUNTER", dbLong},     {"REAL", dbDouble},       {"DOUBLE", dbDouble},
        {"DOUBLE PRECISION", dbDouble}, {"FLOAT", dbDouble}, {"FLOAT8", dbDouble},  {"NUMERIC", dbDouble},
        {"DECIMAL", dbDouble},   {"NUMBER", dbDouble},    {"SINGLE", dbSingle},     {"FLOAT4", dbSingle},
        {"CURRENCY", dbCurrency}, {"MONEY", dbCurrency},  {"TEXT", dbText},         {"VARCHAR", dbText},
        {"CHAR", dbText},        {"NVARCHAR", dbText},    {"NCHAR", dbText},        {"CHARACTER", dbText},
        {"STRING", dbText},      {"MEMO", dbMemo},        {"LONGTEXT", dbMemo},     {"LONGCHAR", dbMemo},
        {"CLOB", dbMemo},        {"DATE", dbDate},        {"DATETIME", dbDate},     {"TIMESTAMP", dbDate},
        {"TIME", dbDate},        {"BLOB", dbLongBinary},  {"BINARY", dbBinary},     {"VARBINARY", dbBinary},
        {"LONGBINARY", dbLongBinary},
    };
    for (const auto& [name, type] : exact)
        if (word == name) {
            out.type = type;
            return out;
        }
    // Other names, by the affinity SQLite itself gives them.
    if (Contains(word, "INT")) out.type = dbLong;
    else if (Contains(word, "CHAR") || Contains(word, "CLOB") || Contains(word, "TEXT")) out.type = dbText;
    else if (Contains(word, "BLOB")) out.type = dbLongBinary;
    else out.type = dbDouble;
    return out;
}

std::string DeclaredTypeFor(FieldType type, int32_t size) {
    switch (type) {
        case dbBoolean: return "BOOLEAN";
        case dbByte: return "TINYINT";
        case dbInteger: return "SMALLINT";
        case dbLong: return "INTEGER";
        case dbCurrency: return "CURRENCY";
        case dbSingle: return "SINGLE";
        case dbDouble: return "DOUBLE";
        case dbDate: return "DATETIME";
        case dbText: return fmt::format("VARCHAR({})", size > 0 ? size : 255);
        case dbMemo: return "LONGTEXT";  // TEXT affinity: "0123" stays a text
        case dbBinary: return "VARBINARY";
        case dbLongBinary: return "BLOB";
    }
    return "";
}

int32_t JetFieldSize(FieldType type, int32_t declaredSize) {
    switch (type) {
        case dbBoolean:
        case dbByte: return 1;
        case dbInteger: return 2;
        case dbLong:
        case dbSingle: return 4;
        case dbCurrency:
        case dbDouble:
        case dbDate: return 8;
        case dbText: return declaredSize > 0 ? declaredSize : 255;
        default: return 0;
    }
}

std::string JetTypeName(FieldType type, int32_t size) {
    switch (type) {
        case dbBoolean: return "YESNO";
        case dbByte: return "BYTE";
        case dbInteger: return "SHORT";
        case dbLong: return "LONG";
        case dbCurrency: return "CURRENCY";
        case dbSingle: return "SINGLE";
        case dbDouble: return "DOUBLE";
        case dbDate: return "DATETIME";
        case dbText: return fmt::format("TEXT({})", size > 0 ? size : 255);
        case dbMemo: return "MEMO";
        case dbBinary: return "BINARY";
        case dbLongBinary: return "LONGBINARY";
    }
    return "";
}

std::string DateStorageText(double serial) { return vb::DateTimeText(serial); }

bool IsStorableDate(double serial) {
    constexpr double kFirstDay = -693593;  // 0001-01-01
    constexpr double kLastDay = 2958465;   // 9999-12-31
    // Before the epoch the fraction counts forward from the day's midnight, so the first day
    // runs to kFirstDay - 1 (not included).
    return std::isfinite(serial) && serial > kFirstDay - 1 && serial < kLastDay + 1;
}

std::optional<double> ParseStoredDate(const std::string& text) {
    size_t i = 0;
    int y, m, d, hh = 0, nn = 0, ss = 0;
    if (!ReadDigits(text, i, 4, y) || i >= text.size() || text[i++] != '-') return std::nullopt;
    if (!ReadDigits(text, i, 2, m) || i >= text.size() || text[i++] != '-') return std::nullopt;
    if (!ReadDigits(text, i, 2, d)) return std::nullopt;
    // An impossible day (February 30th) is not a date: counted on, it would become the same
    // value as another text.
    if (m < 1 || m > 12 || d < 1 || d > DaysInMonth(y, m)) return std::nullopt;
    if (i < text.size()) {
        if (text[i] != ' ' && text[i] != 'T') return std::nullopt;
        ++i;
        if (!ReadDigits(text, i, 2, hh) || i >= text.size() || text[i++] != ':') return std::nullopt;
        if (!ReadDigits(text, i, 2, nn)) return std::nullopt;
        if (i < text.size() && text[i] == ':') {
            ++i;
            if (!ReadDigits(text, i, 2, ss)) return std::nullopt;
            if (i < text.size() && text[i] == '.')  // fractions of a second are dropped
                for (++i; i < text.size() && text[i] >= '0' && text[i] <= '9';) ++i;
        }
        if (i != text.size() || hh > 23 || nn > 59 || ss > 59) return std::nullopt;
    }
    int64_t day = DaysFromCivil(y, unsigned(m), unsigned(d)) + 25569;  // serial 0 is 1899-12-30
    double time = (hh * 3600 + nn * 60 + ss) / 86400.0;
    // Before the epoch the fraction still counts forward from midnight.
    return day >= 0 ? double(day) + time : double(day) - time;
}

}  // namespace db
