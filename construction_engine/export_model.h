// The network that an export file describes, and the three writers over it. LearnCP fills the
// model from the object's fields and the host's link matrix and hands the writers a table
// source that learns each node's probabilities when the writer reaches it; the writers only
// lay out text, so they can be driven by a model and tables built in code.
//
// Lines end in CR LF. Probabilities are written in the runtime's Str form (" .25", " 1"), whole
// numbers in plain decimal. Names and labels are written as the object holds them where they
// are valid in the format; elsewhere the writer puts a valid identifier derived from them
// (export_names.h) and keeps the original text where the format has a place for it.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "platform/vb/types.h"

namespace vrellapi {

struct ExportNode {
    std::string name;                 // the field name as held (bracketed by the quoting rule)
    std::vector<std::string> states;  // labels of states 1..k; empty for a continuous field
    bool continuous = false;          // over the value limit: no states, no table
    std::vector<int> parents;         // 0-based node indexes, ascending; empty for a continuous field
    int x = 0, y = 0;                 // grid position (PlaceOnGrid)
};

struct ExportModel {
    std::string table;       // the table name as held (bracketed unless ODBC)
    std::string date, time;  // the comment line's date and time, in the regional forms
    std::vector<ExportNode> nodes;
};

// Probabilities of one discrete node: row c (0-based configuration, last parent varying
// fastest) holds the k states' values at p[c * k .. c * k + k - 1]. A root has one row.
struct NodeTable {
    int configurations = 1;
    int states = 0;
    std::vector<vb::Single> p;
    vb::Single at(int c, int s) const { return p[size_t(c) * size_t(states) + size_t(s)]; }
};

// Where the writers get tables from, and whom they tell that a node is finished.
class TableSource {
public:
    virtual ~TableSource() = default;
    // The table of discrete node `node` (0-based); asked once per node, in field order. The
    // reference need only stay valid until the next call.
    virtual const NodeTable& Table(int node) = 0;
    // Node `node` is written out (its block in Netica, its table block or its turn in the
    // table section in Hugin and BIF, continuous nodes included). True asks the writer to stop.
    virtual bool NodeDone(int node) = 0;
};

// Places the nodes in field order on a grid of round(sqrt(n) + 1) columns, 150 apart
// horizontally and 80 vertically.
void PlaceOnGrid(ExportModel& model);

// Number of closing brackets after row c (1-based) of a table bracketed by parent
// configuration: 1, plus one for each trailing parent (last first) whose count divides c.
int ClosingDepth(const std::vector<int>& parentStates, int c);

// The probability text: vb::Str of the Single, e.g. " .3666667".
std::string ProbText(vb::Single p);

// The rows of a node table bracketed by parent configuration (Netica and Hugin): the first
// line is `lead` and one opening bracket a parent plus one; every row but the last is followed
// by its closing depth in brackets and `separator`, ending the line, and the next line begins
// with seven blanks and as many opening brackets; the last row closes every bracket and ";".
void WriteBracketedRows(std::ostream& out, const NodeTable& t, const std::vector<int>& parentStates,
                        const std::string& lead, std::string (*row)(const NodeTable&, int),
                        const std::string& separator);

// Each writes the whole file to `out` and returns true, or returns false when NodeDone asked
// it to stop (the text is then incomplete and must not be kept).
bool WriteNetica(const ExportModel& model, TableSource& tables, std::ostream& out);
bool WriteHugin(const ExportModel& model, TableSource& tables, std::ostream& out);
bool WriteBif(const ExportModel& model, TableSource& tables, std::ostream& out);

}  // namespace vrellapi
