// Value conversions and the defaults of the database objects' optional operations.
#include "platform/db/database.h"
#include "platform/vb/runtime_error.h"
#include "platform/vb/strings.h"

namespace db {

double Value::ToDouble() const {
    switch (kind()) {
        case Kind::Boolean: return AsBool() ? -1.0 : 0.0;
        case Kind::Integer: return AsInteger();
        case Kind::Long: return AsLong();
        case Kind::Single: return AsSingle();
        case Kind::Double: return AsDoubleValue();
        case Kind::Date: return AsDate().serial;
        // "." whatever the process locale says: stored texts are not regional.
        case Kind::Text: return vb::ParseDouble(vb::Trim(AsText()));
        case Kind::Null: break;
    }
    throw vb::RuntimeError::TypeMismatch();
}

const Value& Field::value() const {
    if (!current) throw Error(errnum::kNoCurrentRecord, "No current record.");
    return *current;
}

void Recordset::SetAbsolutePosition(int32_t row) {
    if (row < 0) throw Error(errnum::kNoCurrentRecord, "No current record.");
    MoveFirst();
    for (int32_t k = 0; k < row; ++k) MoveNext();
    if (Eof()) throw Error(errnum::kNoCurrentRecord, "No current record.");
}

void Recordset::AddNew() { throw Error(3027, "Cannot update. Database or object is read-only."); }
void Recordset::Edit() { throw Error(3027, "Cannot update. Database or object is read-only."); }
void Recordset::SetField(const std::string&, const Value&) {
    throw Error(3027, "Cannot update. Database or object is read-only.");
}
void Recordset::Update() { throw Error(3027, "Cannot update. Database or object is read-only."); }

}  // namespace db
