// The two codes the user can set aside on the first page: the missing code (its rows are
// labelled "?" and never cut) and the alone code (its rows keep the code as their own label).
// A code is in force only while its box holds text. Every cut method leaves the codes out,
// either in its SQL statement (ExclusionFilter) or in its own walk (IsMissing, IsAlone). A
// text column's statements go without the filter, since its cells compare as texts there: its
// codes are left out by number (NumericGroups, EntropyCuts).
#pragma once

#include <optional>
#include <string>

#include "platform/vb/types.h"

namespace trune {

struct ExclusionCodes {
    std::optional<vb::Single> missing;  // MissingCode, when txtMissing holds text
    std::optional<vb::Single> alone;    // AloneCode, when txtAlone holds text

    // The value equals a code in force. Both sides are widened to double, so a fractional
    // code such as -9.9 matches only a value that was itself stored in single precision.
    bool IsMissing(double v) const { return missing && v == double(*missing); }
    bool IsAlone(double v) const { return alone && v == double(*alone); }
};

// The captions of the two boxes, which the messages about them name.
inline constexpr const char* kMissingCaption = "Represent missing:";
inline constexpr const char* kAloneCaption = "In a bucket alone:";

// The filter that leaves the codes out of a statement on `field`: "" when both texts are
// empty, else " Where [field] <> m", " AND " and "[field] <> a" for the texts that are not.
// A code goes into the statement only as the number its whole text is ("." as the decimal
// point, as SQL writes it), so no typed text can change the statement; any other text is
// vb::RuntimeError 13 with a message that names the box.
std::string ExclusionFilter(const std::string& field, const std::string& missingText, const std::string& aloneText);

}  // namespace trune
