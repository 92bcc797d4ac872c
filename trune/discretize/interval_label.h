// IntervalLabel: the text written into a field's "_d" column for one value. The classifier
// engine reads the numbers back out of these texts when it classifies raw values, so the cut
// points are written by the one value-to-text rule (Single, at most 7 digits) with the
// locale's decimal symbol.
#pragma once

#include <string>

#include "platform/db/database.h"
#include "trune/discretize/cut_points.h"
#include "trune/discretize/exclusion.h"

namespace trune {

// The label of v for a field with the cut points given (intervals = cuts + 1), by the first
// rule that applies:
//   1. one interval (no cut): "?", whatever v is;
//   2. v is no number (CellNumber): "?" for Null, else v's own text unchanged;
//   3. v equals the missing code in force: "?";
//   4. v equals the alone code in force: the code's text;
//   5. v < c(1): "<c(1)";  6. v >= c(last): ">c(last)";
//   7. else the first k with v < c(k): ">c(k-1)<c(k)".
// Comparisons in double: v in its own type against the Single code or cut, both widened.
std::string IntervalLabel(const db::Value& v, const CutPoints& cuts, const ExclusionCodes& codes);

}  // namespace trune
