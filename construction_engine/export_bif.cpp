// The BIF 0.15 export file (.bif and every name the other two writers do not take): comment
// lines, the "network" block, one "variable" block a field with its states and grid position,
// then one "probability" block a discrete field with its table, state-major. Names and values
// are written in double quotes; where a name or label is not an identifier, the quotes hold the
// derived identifier and a property of the block keeps the original text.
#include <string>
#include <vector>

#include "construction_engine/export_model.h"
#include "construction_engine/export_names.h"
#include "platform/db/sql_names.h"

namespace vrellapi {

namespace {

const IdentifierRule kBifIds{0, {}};

void Line(std::ostream& out, const std::string& text) { out << text << "\r\n"; }

std::string Q(const std::string& text) { return "\"" + text + "\""; }

// A property string holds no escapes, so a quote of the original text becomes an apostrophe.
std::string Property(const std::string& text) {
    std::string t = text;
    for (char& c : t)
        if (c == '"') c = '\'';
    return "   property " + Q(t) + " ;";
}

}  // namespace

bool WriteBif(const ExportModel& model, TableSource& tables, std::ostream& out) {
    std::vector<std::string> names;
    for (const ExportNode& n : model.nodes) names.push_back(n.name);
    const std::vector<std::string> ids = ExportIdentifiers(names, "n", kBifIds);
    const std::string netId = ExportIdentifiers({model.table}, "n", kBifIds).front();

    Line(out, "// Bayesian Network in the Interchange Format 0.15");
    Line(out, "// File created using Tormid");
    Line(out, "// on " + model.date + " at " + model.time + ".");
    Line(out, "");
    Line(out, "network " + Q(netId));
    Line(out, "{");
    if (netId != db::BareSqlName(model.table)) Line(out, Property("label = " + model.table));
    Line(out, "}");
    Line(out, "");

    for (size_t i = 0; i < model.nodes.size(); ++i) {
        const ExportNode& node = model.nodes[i];
        Line(out, "variable " + Q(ids[i]));
        Line(out, "{");
        std::vector<std::string> states;
        if (!node.continuous) {
            states = ExportIdentifiers(node.states, "s", kBifIds);
            std::string list;
            for (const std::string& s : states) list += Q(s) + " ";
            Line(out, "   type discrete[" + std::to_string(states.size()) + "] {" + list + "};");
        }
        Line(out, "   property \"position = (" + std::to_string(node.x) + ", " + std::to_string(node.y) +
                      ")\" ;");
        if (ids[i] != db::BareSqlName(node.name)) Line(out, Property("label = " + node.name));
        for (size_t s = 0; s < states.size(); ++s)
            if (states[s] != node.states[s])
                Line(out, Property("state " + std::to_string(s + 1) + " = " + node.states[s]));
        Line(out, "}");
        Line(out, "");
    }

    for (size_t i = 0; i < model.nodes.size(); ++i) {
        const ExportNode& node = model.nodes[i];
        if (!node.continuous) {
            std::string head = "probability ( " + Q(ids[i]);
            if (!node.parents.empty()) {
                head += " |";
                for (int p : node.parents) head += " " + Q(ids[size_t(p)]);
            }
            Line(out, head + ")");
            Line(out, "{");
            // State-major: state 1 over every configuration, then state 2, and so on.
            const NodeTable& t = tables.Table(int(i));
            std::string line = "    table ";
            for (int s = 0; s < t.states; ++s)
                for (int c = 0; c < t.configurations; ++c) line += ProbText(t.at(c, s)) + " ";
            Line(out, line + ";");
            Line(out, "}");
            Line(out, "");
        }
        if (tables.NodeDone(int(i))) return false;
    }
    return true;
}

}  // namespace vrellapi
