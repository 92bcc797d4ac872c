// A small discrete Bayesian network given in code, and a sampler that draws rows from it into a
// table. Structure and statistics tests use it to get data whose dependencies are known: build
// a Network (by hand or with RandomNetwork), draw a SampledTable with a fixed seed, write it into
// a SQLite file through the database layer, and count the same rows independently in the test.
//
//     testsupport::Network net;
//     int rain = net.AddNode("Rain", {"YES", "NO"}, {}, {{0.3, 0.7}});
//     int wet = net.AddNode("Wet", {"YES", "NO"}, {rain}, {{0.9, 0.1}, {0.2, 0.8}});
//     testsupport::TableOptions opt;
//     opt.classNode = wet;                     // written as the first column
//     auto table = testsupport::SampleTable(net, 2000, opt);
//     auto db = testsupport::WriteSqliteTable(dir + "/sample.db", table);
//
// Everything is deterministic: the same network, row count and options give the same rows on
// every machine (the generator is our own, not a library distribution).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/db/database.h"

namespace testsupport {

// One node: its field name, its state labels, its parents (indexes of other nodes) and its
// conditional probability table. cpt has one row per parent configuration, the first parent
// varying slowest (row = ((s1 * n2) + s2) * n3 + s3 ...), each row one probability per state.
struct Node {
    std::string name;
    std::vector<std::string> states;
    std::vector<int> parents;
    std::vector<std::vector<double>> cpt;
    // Written as numbers (INTEGER or DOUBLE column) instead of text; the labels must then read
    // as numbers ("1", "2.5").
    bool numeric = false;
    // When set (one range per state), the column holds continuous numbers: a Double drawn
    // uniformly in [lo, hi) of the drawn state, so a discretizer has known intervals to find.
    std::vector<std::pair<double, double>> ranges;
};

class Network {
public:
    // Adds a node and returns its index (0-based, in the order added). Parents must already be
    // nodes of the network, so the network is acyclic by construction. An empty cpt gives
    // uniform rows. Throws std::invalid_argument for a bad parent, a cpt of the wrong shape or
    // a row whose probabilities are negative or do not sum to 1 (within 1e-9).
    int AddNode(std::string name, std::vector<std::string> states, std::vector<int> parents = {},
                std::vector<std::vector<double>> cpt = {}, bool numeric = false);

    int size() const { return int(nodes_.size()); }
    const Node& node(int i) const { return nodes_.at(size_t(i)); }
    // Makes node i continuous (see Node::ranges); std::invalid_argument unless there is one
    // range per state.
    void SetRanges(int i, std::vector<std::pair<double, double>> ranges);
    // Index of the node with this name, -1 when there is none.
    int Index(const std::string& name) const;
    // True when `parent` is a parent of `child`.
    bool HasArc(int parent, int child) const;
    // Arcs as (parent, child) pairs, children ascending, parents in their listed order.
    std::vector<std::pair<int, int>> Arcs() const;
    // Number of configurations of the node's parents (1 for a root).
    int ParentConfigurations(int i) const;

private:
    std::vector<Node> nodes_;
};

// A random DAG: nodes "X1".."Xn" with states "S1".."Sk" (k drawn in minStates..maxStates); each
// node takes up to maxParents parents among the nodes before it, each candidate with
// arcProbability. Every parent configuration favours one state with the weight `strength`
// (0 = uniform rows, 1 = deterministic), so the arcs show up as dependencies in a few thousand
// rows. Equal options and seed give the same network.
struct RandomNetworkOptions {
    int nodes = 6;
    int minStates = 2;
    int maxStates = 3;
    int maxParents = 2;
    double arcProbability = 0.5;
    double strength = 0.7;
};
Network RandomNetwork(const RandomNetworkOptions& options, uint64_t seed);

// Draws `rows` cases; each case is one state index (0-based) per node, in node order.
std::vector<std::vector<int>> DrawCases(const Network& net, int rows, uint64_t seed);

struct TableOptions {
    std::string table = "Sample";
    // The node written as the first column (the class field of a classifier test); -1 keeps
    // the node order.
    int classNode = -1;
    // When not empty, a frequency column of this name: equal rows (same values, same hold-out
    // flag) are merged into one row whose weight is the number of cases it stands for.
    std::string weightField;
    // A Boolean column "ZORV_HoldOut", True for about one row in three.
    bool holdOut = true;
    // Share of the cells written as Null (0 = none); class column included unless
    // nullSparesClass.
    double nullRate = 0;
    bool nullSparesClass = true;
    uint64_t seed = 1;
};

// The sampled rows as they go into the table. columns[c] names column c; cells[r][c] is the
// value of row r (text or number per the node, Boolean for the hold-out flag, Long for the
// weight, Null for a missing cell). nodeOfColumn[c] is the node index, -1 for the weight and
// hold-out columns.
struct SampledTable {
    std::string table;
    std::vector<std::string> columns;
    std::vector<int> nodeOfColumn;
    std::vector<std::vector<db::Value>> cells;
    int holdOutColumn = -1;  // -1 when there is none
    int weightColumn = -1;
    // The weight of row r (1 without a weight column).
    int32_t Weight(size_t r) const;
    // True when row r is flagged as a hold-out row.
    bool IsHoldOut(size_t r) const;
    // Index of the column with this name, -1 when there is none.
    int Column(const std::string& name) const;
};

// Draws `rows` cases from the network and lays them out as table rows.
SampledTable SampleTable(const Network& net, int rows, const TableOptions& options);

// Writes the table into a new SQLite file at `path` (an existing file is replaced) and opens
// it through the database layer. Text columns are TEXT, numeric nodes INTEGER or DOUBLE, the
// weight INTEGER and the hold-out column Boolean as the layer reads it (True/False).
std::shared_ptr<db::Database> WriteSqliteTable(const std::string& path, const SampledTable& table);

// The Jet type of column c as CREATE TABLE names it: YESNO for the hold-out flag, LONG for the
// weight and for whole-number nodes, DOUBLE for other numeric nodes, TEXT(255) for labels.
std::string JetColumnType(const SampledTable& table, size_t column);

// Adds the table to an open database (any back end that takes CREATE TABLE and INSERT).
void WriteTable(db::Database& db, const SampledTable& table);

}  // namespace testsupport
