// trune's program-wide state: the open source and target databases, the fields of the chosen
// table, the continuous fields found in its copy with their counts, the two codes of the first
// page and the run flags. One object per program run, handed to the wizard form.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/db/database.h"
#include "trune/discretize/cut_points.h"

namespace trune {

struct TruneSession {
    // The source, opened read-only on page 2 or 3; the target file that holds the copy.
    std::shared_ptr<db::Database> SourceDb;
    std::shared_ptr<db::Database> TargetDb;
    std::string TargetTable;

    // The chosen table's fields in field order, from index 0.
    std::vector<std::string> TableFields;
    int16_t TableFieldCount = 0;

    // The continuous fields from index 1 (index 0 unused), with their distinct-value counts and
    // the interval counts the user chose (the list, "Reset all to", "Auto Set"), which every
    // equal-width and equal-frequency run cuts by; no run writes them. Counts are 32-bit: a
    // continuous field of a large table has more than 32,767 distinct values.
    int16_t ContCount = 0;
    std::vector<std::string> ContFields;
    std::vector<int32_t> DistinctCounts;
    std::vector<int32_t> Intervals;

    // The cut points of each field by the last finished run (its labels' intervals), from
    // index 1; empty for a field it did not cut or found no cut for.
    std::vector<CutPoints> Cuts;
    // The interval counts the last finished supervised run produced, from index 1 (0: a field
    // it did not cut); empty after a finished run of another method and after a detection. The
    // list shows them while the supervised method is selected. A cancelled or failed run
    // changes neither these nor Cuts.
    std::vector<int32_t> SupervisedIntervals;
    // The field being cut and its cut count.
    int16_t CurField = 0;
    int16_t CutCount = 0;

    // The codes of the first page; they keep their values when a box is emptied later.
    vb::Single MissingCode = 0;
    vb::Single AloneCode = 0;

    // Cancel asked for while a step runs; the step ends at its next check. Busy while the copy,
    // the detection or the discretization runs.
    bool CancelRun = false;
    bool Busy = false;
};

}  // namespace trune
