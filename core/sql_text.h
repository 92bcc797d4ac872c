// Literals of the Jet SQL texts that the engines build from typed values (a class label in a
// layer's WHERE clause, a value in a lookup). Texts go in double quotes with an embedded double
// quote doubled, so that a label holding one cannot end the literal early; numbers use "." as
// the decimal point and as many digits as it takes to read back to the very same value (more
// than a label shows); Booleans are True and False.
#pragma once

#include <string>

#include "platform/db/database.h"

namespace core {

// The value as a literal: "text" (with " doubled), 12, 2.5, True/False, a date as its serial
// number, and Null for a Null value (callers compare a Null with "Is Null", not "=").
std::string SqlLiteral(const db::Value& v);
// A text as a double-quoted literal.
std::string SqlTextLiteral(const std::string& text);

}  // namespace core
