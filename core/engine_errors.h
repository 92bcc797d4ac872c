// What both engines' error tables share: the row type, the rows whose numbers and texts are the
// same in both classes (513 to 518), and the rule by which a trapping public method raises an
// error in flight again under its class's source. Each engine keeps its own table of the rest
// (classifier_engine/errors.h, construction_engine/errors.h).
#pragma once

#include <cstdint>
#include <exception>

#include "platform/com/object.h"

namespace core {

// One row of an error table: n (before the object-error base is added) and the exact text.
struct EngineErrorDef {
    int32_t n;
    const char* description;
};

inline constexpr EngineErrorDef kTooFewFields{513, "Too few fields"};
inline constexpr EngineErrorDef kInvalidFieldName{514, "Invalid field name"};
inline constexpr EngineErrorDef kInvalidLogFile{515, "Invalid input log file"};
// Same number, with a full stop: the log ended before everything it announces was read.
inline constexpr EngineErrorDef kLogPastEnd{515, "Invalid input log file."};
inline constexpr EngineErrorDef kBadPartialOrdering{516, "wrong dimension of arrary partial ordering"};
inline constexpr EngineErrorDef kBadCausesEffects{517, "wrong dimension of arrary causes and effects"};
inline constexpr EngineErrorDef kLogRegionalFormat{
    518,
    "The log file is in another regional format, change the Decimal Symbol in Regional "
    "Settings (Control Panel)."};

// The exception as a trapping method raises it again: com::Error, vb::RuntimeError and
// db::Error keep number and description; any other exception becomes 7 "Out of memory"
// (std::bad_alloc) or 51 "Internal error" with its what() text. The source is `source`.
com::Error RaisedAgain(std::exception_ptr e, const char* source);

}  // namespace core
