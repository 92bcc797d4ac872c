// The classifier engine's numbered errors and the one way its trapping methods raise errors
// again. Every error the class raises has the source "DataEngine Object" and the number
// com::objectError(n), except 556, which hosts have always received as the plain number.
//
// A trapping method wraps its body like this:
//     try { ... } catch (...) { Reraise(std::current_exception(), {kMapSubscriptTo555}); }
// or with TrapErrors([&] { ... }, {kMapSubscriptTo555}). Mapped runtime errors become the named
// engine error; every other error keeps its number and description and takes the engine's source.
#pragma once

#include <cstdint>
#include <exception>
#include <vector>
#include <string>
#include <type_traits>

#include "core/engine_errors.h"
#include "platform/com/object.h"

namespace zorvapi {

extern const char* const kSource;  // "DataEngine Object" (defined in data_engine.cpp)

// The rows both engines share (513 to 518) come from the core's table.
using core::EngineErrorDef;
using core::kBadCausesEffects;
using core::kBadPartialOrdering;
using core::kInvalidFieldName;
using core::kInvalidLogFile;
using core::kLogPastEnd;
using core::kLogRegionalFormat;
using core::kTooFewFields;

inline constexpr EngineErrorDef kClassTooManyValues{520, "The class field has too many values"};
inline constexpr EngineErrorDef kClassMissingValues{521, "The class field contains missing values"};
inline constexpr EngineErrorDef kTestFieldMissing{550, "A required field is missing in the test set."};
inline constexpr EngineErrorDef kCPTRowsTooFew{
    555, "The max number of CPT rows is not large enough, Please increase it at the cover page."};
// Raised as the plain number 556, not on the object-error base.
inline constexpr EngineErrorDef kTooManyValuesInFile{
    556, "A field has more values than the number specified at the 'advanced system settings'."};

// A classifier learned from no rows has no class values, and its file could not be read back.
inline constexpr EngineErrorDef kEmptyTable{
    549,
    "The table has no rows to learn from (none outside the hold-out rows, where the model "
    "settings hold rows out), or its frequency field sums to 0 or Null; choose another table or "
    "frequency field"};

// Statistics of a log written on another table, or on this one before it changed, would learn
// another model. {} names the log and what differs.
inline constexpr EngineErrorDef kStaleLog{
    545,
    "The input log file {} was not written on the table as it is now; run without it, or give "
    "the log of this table"};

// A value that the set-up did not see cannot be coded into a table.
inline constexpr EngineErrorDef kTableChanged{
    546,
    "The table holds a value that it did not hold when learning was set up; call InitLearnStru "
    "again"};

// The classifier file and the learning log are read line by line, so a text holding a line
// break would end its line early and the file could not be read back. {} names the text.
inline constexpr EngineErrorDef kLineBreakInLog{
    547,
    "The learning log cannot hold the line break in {}; rename it, or run without an output log"};
inline constexpr EngineErrorDef kLineBreakInFile{
    548,
    "The classifier file cannot hold the line break in {}; rename it, or change the value in the "
    "table and learn again"};

// A search scores its candidates on the rows flagged yes and learns them from the others: with
// either part empty it would learn from nothing or score on nothing and still report a result.
// {} says which part is empty (kNoRowsToScore, kNoRowsToLearn).
inline constexpr EngineErrorDef kNoHoldOutSplit{
    557, "The hold-out column zorv_holdout {}. Searching for a threshold or a model needs "
         "zorv_holdout to be a Boolean or 0/1 column with about one row in three flagged yes."};
inline constexpr const char* kNoRowsToScore =
    "flags no row yes, which leaves no rows to score the candidates on";
inline constexpr const char* kNoRowsToLearn =
    "flags every row yes, which leaves no rows to learn the candidates from";

// Every row of the table, in order (for tests and for EngineError(n)).
inline constexpr EngineErrorDef kErrorTable[] = {
    kTooFewFields,       kInvalidFieldName,   kInvalidLogFile,     kLogPastEnd,
    kBadPartialOrdering, kBadCausesEffects,   kLogRegionalFormat,  kClassTooManyValues,
    kClassMissingValues, kTestFieldMissing,   kCPTRowsTooFew,      kTooManyValuesInFile,
    kEmptyTable,         kLineBreakInLog,     kLineBreakInFile,    kTableChanged,
    kStaleLog,
    kNoHoldOutSplit,
};

// The number a host sees for n: com::objectError(n), or 556 as it is.
constexpr int32_t EngineErrorNumber(int32_t n) { return n == 556 ? 556 : com::objectError(n); }

// The engine's error n with the table's text (for 515 the text without the full stop; use the
// EngineErrorDef overload for kLogPastEnd).
com::Error EngineError(int32_t n);
com::Error EngineError(const EngineErrorDef& e);
// The error whose text has "{}", filled with `subject`.
com::Error EngineError(const EngineErrorDef& e, const std::string& subject);

// A runtime error number that a trapping method turns into one of its own errors.
struct ErrorMapping {
    int32_t runtimeNumber;  // vb::RuntimeError number (9, 13, 62 ...)
    EngineErrorDef to;
};
inline constexpr ErrorMapping kMapSubscriptTo555{9, kCPTRowsTooFew};
inline constexpr ErrorMapping kMapSubscriptTo556{9, kTooManyValuesInFile};
inline constexpr ErrorMapping kMapPastEndTo515{62, kLogPastEnd};
inline constexpr ErrorMapping kMapTypeMismatchTo518{13, kLogRegionalFormat};

// The exception as the engine raises it again: a runtime error named in `map` becomes that
// engine error; com::Error, vb::RuntimeError and db::Error keep number and description; any
// other exception becomes 7 "Out of memory" (std::bad_alloc) or 51 "Internal error" with its
// what() text. The source is always "DataEngine Object".
com::Error AsEngineError(std::exception_ptr e, const std::vector<ErrorMapping>& map = {});
[[noreturn]] void Reraise(std::exception_ptr e, const std::vector<ErrorMapping>& map = {});

// Runs fn and raises any error it throws again by Reraise's rule; returns fn's result.
template <typename F>
auto TrapErrors(F&& fn, const std::vector<ErrorMapping>& map = {}) -> std::invoke_result_t<F> {
    try {
        return fn();
    } catch (...) {
        Reraise(std::current_exception(), map);
    }
}

}  // namespace zorvapi
