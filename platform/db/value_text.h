// The one rule by which a database value becomes text wherever it turns into a label (the
// engines' value labels, trune's labels, the classifier's lookups): whole numbers without a
// decimal point, other numbers in the shortest form that reads back to the same value (at most
// 15 significant digits for Double, 7 for Single), "." as decimal point whatever the locale,
// and the exponent form "1E+20", "1.5E-07" outside 1E-4 <= |x| < 1E15 (1E7 for Single);
// Booleans "True"/"False"; texts as they are; dates "yyyy-mm-dd" for a whole day and
// "yyyy-mm-dd hh:nn:ss" otherwise (vb::NumberText and vb::DateText, platform/vb/strings.h).
// Null has no text (callers decide: the engines use "?").
#pragma once

#include <string>

#include "platform/db/database.h"

namespace db {

// The value's text by the rule above. Null gives "".
std::string ValueText(const Value& v);
// ValueText upper-cased (ASCII letters only): the form labels are stored and compared in.
std::string LabelText(const Value& v);

}  // namespace db
