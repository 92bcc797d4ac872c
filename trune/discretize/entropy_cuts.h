// EntropyCuts: supervised cut points. A field is split where the class distribution changes
// most, recursively, and a split is kept only when its information gain passes the
// minimum-description-length test. The number of intervals follows from the data.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/db/database.h"
#include "trune/discretize/cut_points.h"
#include "trune/discretize/exclusion.h"

namespace trune {

class CutProgress;

// A row of "select [f], [class], count(*) ... group by [f], [class]" (the codes already left
// out by the statement's filter).
struct JointRow {
    db::Value value;
    db::Value cls;
    int32_t count = 0;
};

// The cut points of the field, ascending. classValues are the class field's distinct values
// (a Null among them is error 94, "Invalid use of Null", as its text cannot be taken). Rows
// whose value is Null, or a text that is no number, are left out; the rest are taken in number
// order. A row counts for the first class value whose text equals its class's text; a row that
// matches none still counts for its value, but for no class. Entropies and gains are Singles;
// a boundary needs at least 3 rows on each side, the best is the first with the strictly
// greatest gain above 0; counts are 32-bit. codes: the codes to leave out here, for a text
// column, whose statement cannot filter them by number (a numeric column's statement already
// has, so it passes none). progress, when given, hears of every boundary tried and of the share
// of the values whose ranges are settled; a cancel there unwinds as CutsCancelled.
CutPoints EntropyCuts(const std::vector<db::Value>& classValues, const std::vector<JointRow>& rows,
                      const ExclusionCodes& codes = {}, CutProgress* progress = nullptr);

}  // namespace trune
