// Rendering typed values as Jet SQL literals for the WHERE clauses the engines build.
#include "core/sql_text.h"

#include "platform/db/value_text.h"

namespace core {

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
        // The parser reads no date literal; a date compares as its serial number.
        case db::Value::Kind::Date: return db::ValueText(db::Value(v.AsDate().serial));
        default: return db::ValueText(v);
    }
}

}  // namespace core
