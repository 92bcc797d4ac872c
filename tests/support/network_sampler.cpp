// The test network, its random generator and the sampler that lays drawn cases out as rows.
#include "tests/support/network_sampler.h"

#include <cmath>
#include <map>
#include <numeric>
#include <stdexcept>

#include "core/sql_text.h"
#include "platform/db/sql_names.h"

namespace testsupport {

namespace {

// SplitMix64: small, fast and fully specified, so equal seeds give equal rows everywhere.
class Random {
public:
    explicit Random(uint64_t seed) : state_(seed) {}
    uint64_t Next() {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // Uniform in [0, 1) with 53 bits.
    double Uniform() { return double(Next() >> 11) * (1.0 / 9007199254740992.0); }
    // Uniform in lo..hi (inclusive).
    int Between(int lo, int hi) { return lo + int(Next() % uint64_t(hi - lo + 1)); }

private:
    uint64_t state_;
};

int DrawState(const std::vector<double>& row, double u) {
    double cum = 0;
    for (size_t s = 0; s + 1 < row.size(); ++s) {
        cum += row[s];
        if (u < cum) return int(s);
    }
    return int(row.size()) - 1;
}

db::Value LabelValue(const Node& node, int state) {
    const std::string& label = node.states[size_t(state)];
    if (!node.numeric) return db::Value(label);
    if (label.find_first_of(".eE") != std::string::npos) return db::Value(std::stod(label));
    return db::Value(int32_t(std::stol(label)));
}

}  // namespace

void Network::SetRanges(int i, std::vector<std::pair<double, double>> ranges) {
    Node& node = nodes_.at(size_t(i));
    if (ranges.size() != node.states.size()) throw std::invalid_argument("node " + node.name + ": one range per state");
    node.ranges = std::move(ranges);
}

int Network::AddNode(std::string name, std::vector<std::string> states, std::vector<int> parents,
                     std::vector<std::vector<double>> cpt, bool numeric) {
    if (states.empty()) throw std::invalid_argument("node " + name + " has no states");
    int configs = 1;
    for (int p : parents) {
        if (p < 0 || p >= size()) throw std::invalid_argument("node " + name + ": bad parent");
        configs *= int(nodes_[size_t(p)].states.size());
    }
    if (cpt.empty())
        cpt.assign(size_t(configs), std::vector<double>(states.size(), 1.0 / double(states.size())));
    if (int(cpt.size()) != configs)
        throw std::invalid_argument("node " + name + ": the table needs one row per parent configuration");
    for (const auto& row : cpt) {
        if (row.size() != states.size())
            throw std::invalid_argument("node " + name + ": a row needs one probability per state");
        double sum = 0;
        for (double p : row) {
            if (p < 0) throw std::invalid_argument("node " + name + ": negative probability");
            sum += p;
        }
        if (std::fabs(sum - 1.0) > 1e-9)
            throw std::invalid_argument("node " + name + ": a row does not sum to 1");
    }
    if (numeric) {
        for (const auto& s : states) {
            size_t used = 0;
            try {
                (void)std::stod(s, &used);
            } catch (const std::exception&) {
                used = 0;
            }
            if (used != s.size()) throw std::invalid_argument("node " + name + ": state " + s + " is not a number");
        }
    }
    nodes_.push_back(Node{std::move(name), std::move(states), std::move(parents), std::move(cpt), numeric, {}});
    return size() - 1;
}

int Network::Index(const std::string& name) const {
    for (int i = 0; i < size(); ++i)
        if (nodes_[size_t(i)].name == name) return i;
    return -1;
}

bool Network::HasArc(int parent, int child) const {
    for (int p : node(child).parents)
        if (p == parent) return true;
    return false;
}

std::vector<std::pair<int, int>> Network::Arcs() const {
    std::vector<std::pair<int, int>> arcs;
    for (int c = 0; c < size(); ++c)
        for (int p : node(c).parents) arcs.emplace_back(p, c);
    return arcs;
}

int Network::ParentConfigurations(int i) const {
    int configs = 1;
    for (int p : node(i).parents) configs *= int(node(p).states.size());
    return configs;
}

Network RandomNetwork(const RandomNetworkOptions& o, uint64_t seed) {
    Random rng(seed);
    Network net;
    for (int i = 0; i < o.nodes; ++i) {
        const int k = rng.Between(o.minStates, o.maxStates);
        std::vector<std::string> states;
        for (int s = 1; s <= k; ++s) states.push_back("S" + std::to_string(s));
        std::vector<int> parents;
        for (int j = 0; j < i && int(parents.size()) < o.maxParents; ++j)
            if (rng.Uniform() < o.arcProbability) parents.push_back(j);
        int configs = 1;
        for (int p : parents) configs *= int(net.node(p).states.size());
        // Neighbouring configurations favour different states, so every arc is a dependency.
        const int offset = rng.Between(0, k - 1);
        std::vector<std::vector<double>> cpt;
        for (int c = 0; c < configs; ++c) {
            std::vector<double> row(size_t(k), (1.0 - o.strength) / k);
            row[size_t((c + offset) % k)] += o.strength;
            cpt.push_back(row);
        }
        net.AddNode("X" + std::to_string(i + 1), states, parents, cpt);
    }
    return net;
}

std::vector<std::vector<int>> DrawCases(const Network& net, int rows, uint64_t seed) {
    Random rng(seed);
    std::vector<std::vector<int>> cases(size_t(rows), std::vector<int>(size_t(net.size())));
    for (auto& c : cases) {
        // Parents come before their children, so node order is a topological order.
        for (int i = 0; i < net.size(); ++i) {
            const Node& node = net.node(i);
            int config = 0;
            for (int p : node.parents)
                config = config * int(net.node(p).states.size()) + c[size_t(p)];
            c[size_t(i)] = DrawState(node.cpt[size_t(config)], rng.Uniform());
        }
    }
    return cases;
}

int32_t SampledTable::Weight(size_t r) const {
    return weightColumn < 0 ? 1 : cells[r][size_t(weightColumn)].AsLong();
}

bool SampledTable::IsHoldOut(size_t r) const {
    return holdOutColumn >= 0 && cells[r][size_t(holdOutColumn)].AsBool();
}

int SampledTable::Column(const std::string& name) const {
    for (size_t c = 0; c < columns.size(); ++c)
        if (columns[c] == name) return int(c);
    return -1;
}

SampledTable SampleTable(const Network& net, int rows, const TableOptions& o) {
    SampledTable t;
    t.table = o.table;
    if (o.classNode >= net.size()) throw std::invalid_argument("class node out of range");
    if (o.classNode >= 0) t.nodeOfColumn.push_back(o.classNode);
    for (int i = 0; i < net.size(); ++i)
        if (i != o.classNode) t.nodeOfColumn.push_back(i);
    for (int i : t.nodeOfColumn) t.columns.push_back(net.node(i).name);
    if (o.holdOut) {
        t.holdOutColumn = int(t.columns.size());
        t.columns.push_back(std::string(db::kHoldOutColumn));
        t.nodeOfColumn.push_back(-1);
    }
    if (!o.weightField.empty()) {
        t.weightColumn = int(t.columns.size());
        t.columns.push_back(o.weightField);
        t.nodeOfColumn.push_back(-1);
    }

    const auto cases = DrawCases(net, rows, o.seed);
    // Hold-out flags and Nulls from their own stream, so they do not shift the cases.
    Random marks(o.seed ^ 0xA5A5A5A5DEADBEEFull);
    // Continuous values from a stream of their own too.
    Random numbers(o.seed ^ 0x5DEECE66DC0FFEEull);
    std::map<std::vector<int>, size_t> merged;  // coded row -> index, for the weight column
    for (const auto& c : cases) {
        std::vector<db::Value> row;
        std::vector<int> coded;
        for (size_t col = 0; col < t.columns.size(); ++col) {
            const int node = t.nodeOfColumn[col];
            if (int(col) == t.holdOutColumn) {
                const bool flag = marks.Next() % 3 == 0;
                row.emplace_back(flag);
                coded.push_back(flag ? 1 : 0);
            } else if (int(col) == t.weightColumn) {
                row.emplace_back(int32_t(1));
            } else {
                const bool spared = o.nullSparesClass && node == o.classNode;
                const bool isNull = o.nullRate > 0 && !spared && marks.Uniform() < o.nullRate;
                const Node& n = net.node(node);
                const int state = c[size_t(node)];
                if (isNull) {
                    row.push_back(db::Value::Null());
                } else if (!n.ranges.empty()) {
                    const auto [lo, hi] = n.ranges[size_t(state)];
                    row.emplace_back(lo + (hi - lo) * numbers.Uniform());
                } else {
                    row.push_back(LabelValue(n, state));
                }
                coded.push_back(isNull ? -1 : c[size_t(node)]);
            }
        }
        if (t.weightColumn >= 0) {
            auto [it, fresh] = merged.emplace(coded, t.cells.size());
            if (!fresh) {
                db::Value& w = t.cells[it->second][size_t(t.weightColumn)];
                w = db::Value(int32_t(w.AsLong() + 1));
                continue;
            }
        }
        t.cells.push_back(std::move(row));
    }
    return t;
}

std::string JetColumnType(const SampledTable& t, size_t col) {
    if (int(col) == t.holdOutColumn) return "YESNO";
    if (int(col) == t.weightColumn) return "LONG";
    for (const auto& row : t.cells) {
        const db::Value& v = row[col];
        if (v.IsNull()) continue;
        if (v.kind() == db::Value::Kind::Double) return "DOUBLE";
        if (v.kind() == db::Value::Kind::Long) return "LONG";
        return "TEXT(255)";
    }
    return "TEXT(255)";
}

void WriteTable(db::Database& db, const SampledTable& t) {
    std::string create = "CREATE TABLE [" + t.table + "] (";
    std::string names;
    for (size_t c = 0; c < t.columns.size(); ++c) {
        if (c > 0) {
            create += ", ";
            names += ", ";
        }
        create += "[" + t.columns[c] + "] " + JetColumnType(t, c);
        names += "[" + t.columns[c] + "]";
    }
    db.Execute(create + ")");
    for (const auto& row : t.cells) {
        std::string values;
        for (size_t c = 0; c < row.size(); ++c) values += (c > 0 ? ", " : "") + core::SqlLiteral(row[c]);
        db.Execute("INSERT INTO [" + t.table + "] (" + names + ") VALUES (" + values + ")");
    }
}

}  // namespace testsupport
