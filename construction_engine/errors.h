// The construction engine's numbered errors and the one way Init raises errors again. Every
// error the class raises has the source "DataSet Object" and the number com::objectError(n).
//
// Init traps everything: an error of its own, of the database or of the runtime reaches the host
// as a com::Error with its own number and description and the class's source
// (TrapErrors([&] { ... })). Construct and the other methods trap nothing: only their own
// refusals below carry the class's source, every other failure passes unchanged.
#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <type_traits>

#include "core/engine_errors.h"
#include "platform/com/object.h"

namespace vrellapi {

extern const char* const kSource;  // "DataSet Object"

// The rows both engines share; a text with "{}" below names the field or file the error is
// about.
using core::EngineErrorDef;
using core::kBadCausesEffects;
using core::kBadPartialOrdering;
using core::kInvalidFieldName;
using core::kInvalidLogFile;
using core::kLogPastEnd;
using core::kLogRegionalFormat;
using core::kTooFewFields;

// Every statistic is divided by the table's total count, so a table that counts to nothing
// cannot be learned from.
inline constexpr EngineErrorDef kEmptyTable{
    519,
    "The table has no rows to learn from, or its frequency field sums to 0 or Null; choose "
    "another table or frequency field"};
// A field over the value limit has no labels, so its values cannot be coded in a count query.
inline constexpr EngineErrorDef kRequiredLinkOverLimit{
    520,
    "The field {} has more than 65 values and cannot take part in a cause-and-effect link; "
    "remove the link or group the field's values"};
inline constexpr EngineErrorDef kKnowledgeLoop{
    521,
    "The partial ordering and the causes and effects form a loop through the field {}; remove "
    "one of its pairs"};
// A construction starts from the skeleton and ordering that Init set up; a second run would
// start from the first run's result instead.
inline constexpr EngineErrorDef kConstructTwice{
    522,
    "Construct runs once per DataSet object; create a new object and call Init for the next "
    "construction"};
// {} names the method: Construct, LearnCP and MarkovFS all work on what Init read.
inline constexpr EngineErrorDef kNeedsInit{523, "{} needs a completed Init"};
inline constexpr EngineErrorDef kBadThreshold{524, "The threshold factor must be greater than 0"};
inline constexpr EngineErrorDef kLogNotCreatable{
    525, "The output log file {} cannot be created; choose another file or folder"};
// Texts go into the log in double quotes with no escape, so a quote inside cannot be read back.
inline constexpr EngineErrorDef kQuoteInLog{
    526,
    "The construction log cannot hold the double quote in {}; rename it, or run without an "
    "output log"};
// ---- probability tables and export (learn_cp.cpp), ranking (markov_fs.cpp) ----
// A node's parents and the node itself are the grouping fields of one count query.
inline constexpr EngineErrorDef kTooManyParents{
    527,
    "The field {} has more than 19 parents, more than a probability table can be learned for; "
    "remove some of its links"};
// A field over the value limit has no labels, so its values cannot be coded as a parent's.
inline constexpr EngineErrorDef kParentOverLimit{
    528,
    "The field {} has more than 65 values and cannot be a parent in a probability table; remove "
    "its links to other fields or group its values"};
inline constexpr EngineErrorDef kTableTooLarge{
    529,
    "The probability table of the field {} would have more than 4000000 cells (parent "
    "configurations x states); remove some of its links or group its parents' values"};
inline constexpr EngineErrorDef kTableChanged{
    530,
    "The table holds values of the field {} that it did not hold when Init read it; create a new "
    "object and call Init again"};

// Statistics of a log written on another table, or on this one before it changed, would give
// another result. {} names the log and what differs.
inline constexpr EngineErrorDef kStaleLog{
    548,
    "The input log file {} was not written on the table as it is now; run without it, or give "
    "the log of this table"};
// The log is read line by line, so a text holding a line break would end its line early.
inline constexpr EngineErrorDef kLineBreakInLog{
    549,
    "The construction log cannot hold the line break in {}; rename it, or run without an output "
    "log"};

// Every row of the table, in order (for tests).
inline constexpr EngineErrorDef kErrorTable[] = {
    kTooFewFields,    kInvalidFieldName,      kInvalidLogFile, kLogPastEnd,
    kBadPartialOrdering, kBadCausesEffects,   kLogRegionalFormat, kEmptyTable,
    kRequiredLinkOverLimit, kKnowledgeLoop,   kConstructTwice, kNeedsInit,
    kBadThreshold,    kLogNotCreatable,       kQuoteInLog,
    kTooManyParents,  kParentOverLimit,       kTableTooLarge,  kTableChanged,
    kStaleLog,        kLineBreakInLog,
};

// The engine's error with the table's text; `subject` fills the text's "{}".
com::Error EngineError(const EngineErrorDef& e);
com::Error EngineError(const EngineErrorDef& e, const std::string& subject);

// The exception as Init raises it again (core::RaisedAgain): number and description kept, the
// source "DataSet Object".
com::Error AsEngineError(std::exception_ptr e);

// Runs fn and raises any error it throws again by AsEngineError's rule.
template <typename F>
auto TrapErrors(F&& fn) -> std::invoke_result_t<F> {
    try {
        return fn();
    } catch (...) {
        throw AsEngineError(std::current_exception());
    }
}

}  // namespace vrellapi
