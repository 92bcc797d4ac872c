// ExclusionFilter: the WHERE clause that leaves the two codes out of a cut statement.
#include "trune/discretize/exclusion.h"

#include <fmt/format.h>

#include "platform/db/sql_names.h"
#include "platform/vb/runtime_error.h"
#include "platform/vb/strings.h"

namespace trune {
namespace {

// "[field] <> number" for a code text; the number written back in full so the statement
// compares with exactly the value typed.
std::string Condition(const std::string& field, const std::string& text, const char* caption) {
    double code = 0;
    try {
        code = vb::ParseDouble(text);
    } catch (const vb::RuntimeError&) {
        throw vb::RuntimeError(13, fmt::format("The value \"{}\" in \"{}\" is not a number. Type a number "
                                               "there, or leave the box empty.",
                                               text, caption));
    }
    return fmt::format("{} <> {}", db::QuotedPlainName(field, db::NameKind::Field), code);
}

}  // namespace

std::string ExclusionFilter(const std::string& field, const std::string& missingText, const std::string& aloneText) {
    if (missingText.empty() && aloneText.empty()) return "";
    std::string out = " Where ";
    if (!missingText.empty()) out += Condition(field, missingText, kMissingCaption);
    if (!missingText.empty() && !aloneText.empty()) out += " AND ";
    if (!aloneText.empty()) out += Condition(field, aloneText, kAloneCaption);
    return out;
}

}  // namespace trune
