// Value conversions and the defaults of the database objects' optional operations.
#include <cstdlib>

#include "platform/db/database.h"
#include "platform/vb/errors.h"

namespace db {

double Value::ToDouble() const {
    switch (kind()) {
        case Kind::Boolean: return AsBool() ? -1.0 : 0.0;
        case Kind::Integer: return AsInteger();
        case Kind::Long: return AsLong();
        case Kind::Single: return AsSingle();
        case Kind::Double: return AsDoubleValue();
        case Kind::Date: return AsDate().serial;
        case Kind::Text: {
            const std::string& t = AsText();
            char* end = nullptr;
            double d = std::strtod(t.c_str(), &end);
            if (t.empty() || end == t.c_str()) throw vb::RuntimeError::TypeMismatch();
            while (*end == ' ') ++end;
            if (*end != '\0') throw vb::RuntimeError::TypeMismatch();
            return d;
        }
        case Kind::Null: break;
    }
    throw vb::RuntimeError::TypeMismatch();
}

void Recordset::AddNew() { throw Error(3027, "Cannot update. Database or object is read-only."); }
void Recordset::Edit() { throw Error(3027, "Cannot update. Database or object is read-only."); }
void Recordset::SetField(const std::string&, const Value&) {
    throw Error(3027, "Cannot update. Database or object is read-only.");
}
void Recordset::Update() { throw Error(3027, "Cannot update. Database or object is read-only."); }

}  // namespace db
