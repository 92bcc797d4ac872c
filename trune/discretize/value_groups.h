// The rows of one field grouped by value, as the cut methods walk them: ascending by number,
// the Null group first. The database returns the groups of a numeric column in that order; a
// text column comes in text order ("10" before "9") and is put in number order here.
#pragma once

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "platform/db/database.h"
#include "trune/discretize/exclusion.h"

namespace trune {

// A grouped row as the statement "select [f], count(*) ... group by [f]" gives it.
struct GroupRow {
    db::Value value;
    int32_t count = 0;
};

struct ValueGroup {
    std::optional<double> value;  // nothing: the Null group
    int32_t count = 0;
    bool excluded = false;        // Null, or equal to a code in force: no cut counts its rows
};

// The groups by number (CellNumber): Null first, then ascending; texts that read as the same
// number are one group, and texts that are no number are left out, since no interval can hold
// them (their rows keep their own text as the label). Exclusions flagged by the codes.
std::vector<ValueGroup> NumericGroups(const std::vector<GroupRow>& rows, const ExclusionCodes& codes);

// The smallest and largest value of the groups that are not excluded; nothing when none is left.
std::optional<std::pair<double, double>> UsableRange(const std::vector<ValueGroup>& groups);

}  // namespace trune
