// The value-to-label rule, on top of the runtime's invariant number, Boolean and date texts.
#include "platform/db/value_text.h"

#include "platform/vb/strings.h"

namespace db {

std::string ValueText(const Value& v) {
    switch (v.kind()) {
        case Value::Kind::Null: return {};
        case Value::Kind::Boolean: return vb::BoolText(v.AsBool());
        case Value::Kind::Integer: return vb::NumberText(v.AsInteger());
        case Value::Kind::Long: return vb::NumberText(v.AsLong());
        case Value::Kind::Single: return vb::NumberText(v.AsSingle());
        case Value::Kind::Double: return vb::NumberText(v.AsDoubleValue());
        case Value::Kind::Date: return vb::DateText(v.AsDate().serial);
        case Value::Kind::Text: return v.AsText();
    }
    return {};
}

std::string LabelText(const Value& v) { return vb::UCase(ValueText(v)); }

}  // namespace db
