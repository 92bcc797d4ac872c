// How trune reads a value as a number. The labels compare numbers, and a text column may hold
// numbers (a text import, or "NA" markers that made the importer keep the column as text); such
// a cell counts as its number only when its whole text is one, so "12 kg" stays a text. The
// decimal symbol is the locale's, or "." for texts written elsewhere: the classifier engine
// reads label and cell texts back by the same two forms.
//
// These belong with the programs' shared number helpers; they live here until those exist.
#pragma once

#include <optional>
#include <string_view>

#include "platform/db/database.h"

namespace trune {

// The whole text (blanks around it aside) as a number, by the regional decimal symbol or by
// "."; nothing when it is not exactly one number.
std::optional<double> TextNumber(std::string_view text);

// A cell as trune compares it: a number in its own type widened to double (a Boolean as -1 or
// 0), a text by TextNumber; nothing for Null, for a text that is no number, for a NaN and for
// a date, which the labels copy as text.
std::optional<double> CellNumber(const db::Value& v);

}  // namespace trune
