// The running reports of the two wizards and zorv's structure listing in its result box.
//
// zorv (the classifier wizard) lists the learned structure in its result box and writes, printed
// or saved, a report of the whole run: data, domain knowledge, log files, threshold and the
// structure as learned and as edited. vrell (the construction wizard) writes the same kind of
// report from its own state. Both reports are made of the operations of report_sink.h and of the
// same building blocks: six-character name cells, name and pair lists with a fixed count per
// line, and the structure listing.
//
// The input structs hold what the wizards keep, under the names the wizards give them, in the
// wizards' own index bases (zorv's fields from 1, vrell's from 0). Whatever a struct lacks reads
// as empty: a name outside its vector is "", a matrix cell outside its array (or in an array no
// run has built) is 0, so a classifier opened for modification, which has no knowledge arrays,
// gets empty knowledge lists and a report in full.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include "platform/vb/array.h"
#include "wizard_common/model/report_sink.h"

namespace wizard {

// Field names in cells of exactly six characters: the name's first six characters, followed
// (left cell) or preceded (right cell) by blanks up to six. Characters, not bytes: a name is never
// cut inside a UTF-8 sequence.
std::string LeftCell(std::string_view name);
std::string RightCell(std::string_view name);

// The classifier's networks as zorv holds them.
struct ClassifierNets {
    int16_t FieldCount = 0;
    std::vector<std::string> FieldNames;   // 1 to FieldCount, field 1 the class field; [0] unused
    std::vector<int16_t> FieldUsed;        // 1 to FieldCount; 0 = left out by feature selection
    bool IsMultiNetFlag = false;
    int16_t NetCount = 0;                  // number of class values
    std::vector<std::string> ClassLabels;  // 1 to NetCount; [0] unused
    // (net, i, j), cells i < j: 0 none, 1 i is a parent of j, 2 j is a parent of i,
    // 3 undirected. Layer 0 for a single net, 1 to NetCount for a multi-net.
    vb::Array<int16_t> GraphArr;
};

// The first field that takes part in a network: the class field is left out of a multi-net's
// layers.
inline int16_t FirstNodeOf(bool isMultiNet) { return isMultiNet ? 2 : 1; }

// The text WriteGrafTxt appends to the result box `txtrst` (lines end in CR LF): a blank line,
// "Bayesian Network" or "Bayesian Multi_network" with " (with Feature Selection)" when a field
// 2 to FieldCount is not used, then every link of every layer as whole names with " -> ", " <- ",
// " -- " or " <> " and three blanks, four to a line; a multi-net's layers are headed
// "[" class field " = " class value "]" and set apart by an empty line.
//
// `learnedCounter` is LearnedGraph's cell (0, 0, 0): set to 1 when the learned graph was copied,
// it gains 1 with every listing, so the report knows that a value above 2 means the structure
// was edited after it was learned or loaded.
std::string WriteGrafTxt(const ClassifierNets& nets, int16_t& learnedCounter);

// The domain knowledge the last run was given, in the run's field order and index base.
struct ReportKnowledge {
    // The knowledge tabs' check boxes: complete ordering, partial ordering, causes and effects,
    // forbidden links.
    bool chkco = false, chkpo = false, chkce = false, chkfl = false;
    // Cell (a, b) not 0: a before b; a causes b; a and b must not be linked.
    vb::Array<int16_t> po, ce, fl;
    // Entry 1 marks a root field, a leaf field.
    vb::Array<int16_t> rt, lf;
};

// zorv prints its report with one more empty line after the title and puts the threshold after
// the log files; the saved copy has the threshold first.
enum class ReportCopy { Printed, Saved };

// What zorv's report reads.
struct ZorvReportData {
    std::string DBName;     // training database file
    std::string CboTbName;  // training table
    ClassifierNets nets;    // GraphArr is the current structure
    ReportKnowledge knowledge;
    std::string txtinputlog, txtoutputlog;
    bool OptAuto = false;  // threshold chosen automatically, else CmbEps times the default
    std::string CmbEps;
    // The structure as learned or loaded; its cell (0, 0, 0) is the listing counter (see
    // WriteGrafTxt). Above 2, the report lists it before the current structure.
    vb::Array<int16_t> LearnedGraph;
};

// zorv's report, titled "Belief Network Kalvex." with the time and date of `now` in the
// system's time and short date forms.
void BuildZorvReport(const ZorvReportData& data, ReportCopy copy, std::time_t now,
                     ReportSink& sink);

// What vrell's report reads.
struct VrellReportData {
    int lstdbfmt = 0;  // the data-format list's index; 16 is the ODBC source
    std::string txtdbname, cboTbName;
    int16_t NumFlds = 0;
    vb::Array<std::string> arrfldnm;  // 0 to NumFlds - 1, as handed to the engine
    ReportKnowledge knowledge;        // fl holds every forbidden link in both cells
    std::string CmbEps, txtinputlog, txtoutputlog;
    // The current result, cells i < j: 0 none, 1 i -> j, 2 j -> i, 3 not oriented, 4 each end
    // reaches the other.
    vb::Array<int16_t> rst;
    // The result as constructed, kept when the editor first handed back an edit (cell (0, 0)
    // then above 0); listed before `rst` when so.
    vb::Array<int16_t> rstSaved;
};

// vrell's report, titled "Belief Network Tormid."; printed and saved alike.
void BuildVrellReport(const VrellReportData& data, std::time_t now, ReportSink& sink);

}  // namespace wizard
