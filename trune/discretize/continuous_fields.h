// Which fields of the copied table hold continuous data, and how many intervals "Auto Set"
// gives a field. A field is continuous when it has more than T distinct values and at least
// T - 3 of the first 21 distinct values the database returns are numbers; label columns of an
// earlier conditioning run ("_d", exact case) are never taken while detection is automatic.
// The wizard runs the distinct-value query and hands its count and first rows in.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/db/database.h"

namespace trune {

// How many distinct values the numeric test looks at.
inline constexpr int kNumericSample = 21;
// The interval counts the interval list can show.
inline constexpr int kMinIntervals = 2;
inline constexpr int kMaxIntervals = 30;
// The count every detected field starts with.
inline constexpr int kPresetIntervals = 5;

// A label column written by an earlier run: its name ends in "_d", in that case.
bool IsLabelColumn(std::string_view field);

// How many of the first kNumericSample values read as numbers (CellNumber); Null does not.
int NumericCount(const std::vector<db::Value>& sample);

// The rule for one field with `distinct` values (Null is one of them) whose first distinct
// values are `sample`, under the limit T = `valueLimit`.
bool IsContinuous(int32_t distinct, const std::vector<db::Value>& sample, int valueLimit);

// "Auto Set": the integer part of 2 ln d / ln 2, at most 30. A field with one value gets 2,
// the fewest intervals a cut makes; a field with no value at all has no logarithm: error 5.
int AutoSetIntervals(int32_t distinct);

}  // namespace trune
