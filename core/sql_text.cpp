// Rendering typed values as Jet SQL literals for the WHERE clauses the engines build.
#include "core/sql_text.h"

#include <charconv>

#include "platform/db/value_text.h"

namespace core {

namespace {

// The shortest text that reads back to exactly this number. Labels cut a Double to 15 and a
// Single to 7 significant digits, but a literal so cut no longer equals the stored value, and
// the filter would select none of the rows it was made for. An exponent is written "1E-20", as
// the labels write it.
template <typename F>
std::string RoundTripNumber(F v) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    std::string text(buf, r.ptr);
    for (char& c : text)
        if (c == 'e') c = 'E';
    return text;
}

}  // namespace

std::string SqlTextLiteral(const std::string& text) {
    std::string out;
    out.reserve(text.size() + 2);
    out += '"';
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
    return out;
}

std::string SqlLiteral(const db::Value& v) {
    switch (v.kind()) {
        case db::Value::Kind::Null: return "Null";
        case db::Value::Kind::Text: return SqlTextLiteral(v.AsText());
        case db::Value::Kind::Boolean: return v.AsBool() ? "True" : "False";
        case db::Value::Kind::Single: return RoundTripNumber(v.AsSingle());
        case db::Value::Kind::Double: return RoundTripNumber(v.AsDoubleValue());
        // The parser reads no date literal; a date compares as its serial number.
        case db::Value::Kind::Date: return RoundTripNumber(v.AsDate().serial);
        default: return db::ValueText(v);
    }
}

}  // namespace core
