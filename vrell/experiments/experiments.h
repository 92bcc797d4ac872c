// The two experiment procedures a developer runs to score structure learning against known
// true models, over every data-set table of a database. Each data set has ten fields and a
// true-model file "<table>.dat"; the procedures compare a learned network with it edge by edge
// and write a report file and a summary table with one line per data set.
//
//  - AIExp learns each network with the construction engine: every table whose name begins
//    with "AD" is a data set; a new engine object per data set gets Init (the ten fields of
//    the true model, no knowledge but the complete-ordering flag) and Construct (threshold 0.3).
//  - TetradRst reads each network from the result file "<table>.new" of an outside learning
//    tool; every table of the database is a data set.
//
// Per data set, with E the true edges, L the learned ones, C the learned ones on a true pair,
// U those left undirected and R those reversed (both on a true pair): ME = (E - C) / E,
// EE = (L - C) / E, MA = U / E, WA = R / E. A data set whose true model has no edge has no
// measures: it is skipped with a report line that names it. The report ends with the running
// sums of the measures divided by 60, the size of the experiment, whatever the number of data
// sets found. Both files replace their targets only once complete.
//
//     vrell::ExperimentFolders folders{"/tmp/out", "/data/sets", "/data/tetrad"};
//     vrell::AIExp(database, [] { return com::CreateObjectAs<vrellapi::IDataSet>("VRELLAPI.DataSet"); },
//                  folders, /*completeOrdering=*/false);
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "construction_engine/vrellapi.h"
#include "platform/db/database.h"
#include "platform/vb/array.h"
#include "platform/vb/regional.h"
#include "vrell/experiments/model_files.h"

namespace vrell {

// The independence-test threshold of AIExp, as a multiple of the engine's default.
inline constexpr vb::Single kExperimentThreshold = 0.3f;

// The files' names: the report's names the threshold it was learned with.
std::string AIExpReportName();  // "AIExp0.3.txt"
inline constexpr const char* kAIExpSummaryName = "AIExpSummary.txt";
inline constexpr const char* kTetradReportName = "TetradRst.txt";
inline constexpr const char* kTetradSummaryName = "TetradRstSummary.txt";
inline constexpr const char* kTrueModelSuffix = ".dat";
inline constexpr const char* kTetradResultSuffix = ".new";

struct ExperimentFolders {
    std::string output;       // the report file and the summary table
    std::string dataSets;     // the true-model files
    std::string toolResults;  // the outside tool's result files (TetradRst only)
};

// The paths written.
struct ExperimentFiles {
    std::string report;
    std::string summary;
};

// A new engine object; Construct runs once per object, so each data set takes its own.
using DataSetFactory = std::function<std::shared_ptr<vrellapi::IDataSet>()>;
// The current time as the report writes it.
using TimeText = std::function<std::string()>;

// Runs the construction engine on every "AD" table of `database`. The first error (a missing
// or short file, named with its path; an engine error, unchanged; error 91 when the factory
// gives no object) ends the run, and no file is written.
ExperimentFiles AIExp(std::shared_ptr<db::Database> database, const DataSetFactory& newDataSet,
                      const ExperimentFolders& folders, bool completeOrdering,
                      const TimeText& now = vb::CurrentTimeText);

// Scores the outside tool's results for every table of `database`, with AIExp's errors.
ExperimentFiles TetradRst(db::Database& database, const ExperimentFolders& folders);

// E, L, C, U and R of a learned result rst (codes in the cells a < b of 0..9) against a true
// model.
struct EdgeCounts {
    int trueEdges = 0;   // E
    int learned = 0;     // L: pairs with a code above 0
    int correct = 0;     // C: learned pairs that are true edges, whatever their code
    int undirected = 0;  // U: true edges learned with code 3
    int reversed = 0;    // R: true edges learned with code 2, against their direction
    bool operator==(const EdgeCounts&) const = default;
};
EdgeCounts Score(const TrueModel& truth, const vb::Array<Integer>& rst);

}  // namespace vrell
