// The database side of conditioning the copied table: the label columns and the hold-out
// column are added, the cut points of the chosen fields computed by the statements of the three
// methods, and every row walked once through a dynaset, writing its labels and its hold-out
// flag. The wizard hands in what its page shows and shows the outcome; nothing here knows a
// widget.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/db/database.h"
#include "platform/vb/types.h"
#include "trune/discretize/cut_points.h"
#include "trune/discretize/exclusion.h"
#include "trune/discretize/hold_out.h"

namespace trune {

enum class CutMethod { EqualWidth, EqualFrequency, Entropy };

// A field chosen for cutting: on entry the intervals asked for; ComputeCuts fills the cuts and,
// for equal frequency and entropy, replaces the intervals by the number it made.
struct FieldToCut {
    std::string name;
    int32_t intervals = 0;
    CutPoints cuts;
};

struct CutSettings {
    CutMethod method = CutMethod::EqualFrequency;
    std::string classField;               // the entropy method's class field
    std::string missingText, aloneText;   // the two boxes' texts as typed
    ExclusionCodes codes;                 // the codes in force (a box holding text)
};

// The statements of the methods, on `table` of `db`, for every field. A numeric column is cut
// from its own statements, the codes left out by their filter; a text column (numbers kept
// as text) is read by number from its grouped values, its codes and its non-numbers left out
// here. Errors, as the methods meet them, each naming the field: a field with no usable value
// is error 94 for equal width and 3021 for entropy, a usable value that no Single cut can bound
// (an infinity, a number beyond the Single range) error 6 for every method, naming the value
// too; a code text that is no number error 13 naming its box, a Null class value error 94, a
// 51st cut error 9. Non-number texts and NaNs of a number column are left out, as in a text
// column.
void ComputeCuts(db::Database& db, const std::string& table, std::vector<FieldToCut>& fields,
                 const CutSettings& settings);

// The rows written between two commits: a row saved stays saved after a cancel or a failure,
// and the walk does not wait for the disk once a row.
inline constexpr int32_t kRowsPerCommit = 1000;

enum class ConditionResult { Done, NotUpdatable, Cancelled };

// Called after every row with the progress (0 to about 99, a Single); true asks the walk to
// stop there.
using AfterRow = std::function<bool(vb::Single percent)>;

// The whole step on `table`: NotUpdatable, with nothing changed, for a view or a read-only
// table; otherwise the "<field>_d" columns (Text 50) and "ZORV_HoldOut" (Boolean) are appended
// where missing, the cuts computed once (when a field is chosen), and every row written: its
// labels (IntervalLabel) and a flag of one HoldOutDraw seeded for the run. Rows are committed
// every kRowsPerCommit rows, at the end, on a cancel and on a failure. An empty table fails
// with 3021 "No current record." after the columns were added; any error reaches the caller
// with what was saved before it kept.
ConditionResult ConditionTable(db::Database& db, const std::string& table, std::vector<FieldToCut>& fields,
                               const CutSettings& settings, RandomSource random, const AfterRow& afterRow);

}  // namespace trune
