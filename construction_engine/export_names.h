// Names and labels in the export files. The object holds field names in their SQL form
// ("[Unit Price]") and labels as the data gave them ("<5.5", "?", "40-49"), which the Netica,
// Hugin and BIF readers do not take where the format wants an identifier. Such a text is
// written as an identifier derived from it by one deterministic rule, unique within its list
// (the nodes of a network, the states of a node); a text that already is a valid identifier,
// and is the first of its spelling in the list, is written unchanged.
//
// The derived form: the text without its enclosing brackets; "<", ">", "=" and "+" become
// "lt", "gt", "eq" and "plus", the missing-value label "?" becomes "missing", every other
// character that is not an ASCII letter, digit or underscore becomes "_", runs of "_" shrink
// to one and none is left at either end; a result that does not begin with a letter gets the
// list's prefix in front ("s" for states, "n" for names: "40-49" is s40_49, "[2ndValue]" is
// n2ndValue); it is cut to the format's length limit; and when the list already holds it (in
// any case), "_2", "_3" ... is added until it is new.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vrellapi {

// What one format accepts as an identifier: an ASCII letter, then letters, digits and
// underscores, at most maxLength characters (0: no limit), and none of the reserved words
// (compared in any case).
struct IdentifierRule {
    size_t maxLength = 0;
    std::vector<std::string> reserved;
};

bool IsExportIdentifier(std::string_view text, const IdentifierRule& rule);

// One identifier per text, by the rule above; element i stands for texts[i].
std::vector<std::string> ExportIdentifiers(const std::vector<std::string>& texts,
                                           std::string_view prefix, const IdentifierRule& rule);

// The text as a double-quoted string of a format with backslash escapes (Netica, Hugin): a
// quote or backslash inside is preceded by a backslash.
std::string EscapedQuoted(std::string_view text);

}  // namespace vrellapi
