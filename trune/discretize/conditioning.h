// The database side of conditioning the copied table: the label columns and the hold-out
// column are added, the cut points of the chosen fields computed by the statements of the three
// methods, and every row walked once through a dynaset, writing its labels and its hold-out
// flag, all in one transaction. The wizard hands in what its page shows and shows the outcome;
// nothing here knows a widget.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/db/database.h"
#include "platform/vb/types.h"
#include "trune/discretize/cut_points.h"
#include "trune/discretize/cut_progress.h"
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
// column. The statements go to the back end itself, never to an in-memory counting copy (a few
// statements a field would pay for loading the whole table). `progress` hears the share done at
// every field and statement and every CutProgress::kUnitsPerReport rows read or boundaries
// tried; when it asks to stop, the computation ends by throwing CutsCancelled, the fields' cuts
// then half made.
void ComputeCuts(db::Database& db, const std::string& table, std::vector<FieldToCut>& fields,
                 const CutSettings& settings, const Progress& progress = {});

enum class ConditionResult { Done, NotUpdatable, Cancelled };

// Called after every row with the progress (0 to about 99, a Single); true asks the walk to
// stop there.
using AfterRow = std::function<bool(vb::Single percent)>;

// The whole step on `table`, all or nothing: NotUpdatable, with nothing changed, for a view or
// a read-only table; otherwise, inside one transaction, the "<field>_d" columns (Text 50) and
// "ZORV_HoldOut" (Boolean) are appended where missing, the cuts computed once (when a field is
// chosen; `cutting` hears their progress), and every row written: its labels (IntervalLabel)
// and a flag of one HoldOutDraw seeded for the run. Only when every row is written is the
// transaction committed and Done returned. A cancel (from `cutting` or `afterRow`) and any
// error (an empty table: 3021 "No current record."; a database that runs no transactions:
// 3251) roll the transaction back: the table is left with the columns and values it had, and
// the error reaches the caller.
ConditionResult ConditionTable(db::Database& db, const std::string& table, std::vector<FieldToCut>& fields,
                               const CutSettings& settings, RandomSource random, const AfterRow& afterRow,
                               const Progress& cutting = {});

}  // namespace trune
