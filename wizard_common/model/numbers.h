// Reading the wizards' number boxes, on top of the runtime's conversions in platform/vb (which
// also holds Val, Round and the number texts): the "numeric" test of a text box and whole
// numbers with halves rounded to the even neighbour.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace wizard {

// The value of `text` when the whole text, blanks at either end trimmed, reads as a decimal
// number ("5000", " 12.5 ", "1e4"); nothing for "", "abc", "12abc" or a value beyond a double.
std::optional<double> NumericValue(std::string_view text);

// The value of `text` rounded to a whole number (halves to the even neighbour) when it is
// numeric and lies in lo..hi; nothing otherwise. The range is checked before rounding (4999.5
// is below 5000), and hi is the type's own limit where nothing else caps it, so "3000000000"
// is refused instead of overflowing a 32-bit Long.
std::optional<int64_t> WholeNumberInRange(std::string_view text, int64_t lo, int64_t hi);

}  // namespace wizard
