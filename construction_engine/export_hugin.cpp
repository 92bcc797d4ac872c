// The Hugin export file (.net): comment lines, the "net" block, one "node" block a field with
// its label, grid position and states, then one "potential" block a discrete field with its
// table. Node names must be identifiers here (a name that is not gets the derived identifier,
// and its label keeps the original); labels and the network's texts are quoted strings.
#include <string>
#include <vector>

#include "construction_engine/export_model.h"
#include "construction_engine/export_names.h"

namespace vrellapi {

namespace {

const IdentifierRule kHuginIds{0, {"net", "node", "potential", "class", "continuous", "discrete",
                                   "decision", "utility"}};

void Line(std::ostream& out, const std::string& text) { out << text << "\r\n"; }

// Row c (0-based) with every value followed by one blank.
std::string Row(const NodeTable& t, int c) {
    std::string row;
    for (int s = 0; s < t.states; ++s) row += ProbText(t.at(c, s)) + " ";
    return row;
}

}  // namespace

bool WriteHugin(const ExportModel& model, TableSource& tables, std::ostream& out) {
    std::vector<std::string> names;
    for (const ExportNode& n : model.nodes) names.push_back(n.name);
    const std::vector<std::string> ids = ExportIdentifiers(names, "n", kHuginIds);

    Line(out, "% File created using Tormid");
    Line(out, "% on " + model.date + " at " + model.time + ".");
    Line(out, "");
    Line(out, "net ");
    Line(out, "{");
    Line(out, " node_size = (100 40);");
    Line(out, " label = " + EscapedQuoted(model.table) + ";");
    Line(out, " name = " + EscapedQuoted(model.table) + ";");
    Line(out, "}");
    Line(out, "");

    for (size_t i = 0; i < model.nodes.size(); ++i) {
        const ExportNode& node = model.nodes[i];
        Line(out, "node " + ids[i]);
        Line(out, "{");
        Line(out, "   label = " + EscapedQuoted(node.name) + ";");
        Line(out, "   position = (" + std::to_string(node.x) + " " + std::to_string(node.y) + ");");
        if (!node.continuous) {
            std::string states;
            for (const std::string& s : node.states) states += EscapedQuoted(s) + " ";
            Line(out, "   states = (" + states + ");");
        }
        Line(out, "}");
        Line(out, "");
    }

    for (size_t i = 0; i < model.nodes.size(); ++i) {
        const ExportNode& node = model.nodes[i];
        if (!node.continuous) {
            std::string head = "potential (" + ids[i];
            std::vector<int> parentStates;
            if (!node.parents.empty()) {
                head += " |";
                for (int p : node.parents) {
                    head += " " + ids[size_t(p)];
                    parentStates.push_back(int(model.nodes[size_t(p)].states.size()));
                }
            }
            Line(out, head + ")");
            Line(out, "{");
            const NodeTable& t = tables.Table(int(i));
            if (node.parents.empty()) {
                std::string data = " data = ( ";
                for (int s = 0; s < t.states; ++s) data += (s > 0 ? " " : "") + ProbText(t.at(0, s));
                Line(out, data + " );");
            } else {
                WriteBracketedRows(out, t, parentStates, " data = ", Row, "");
            }
            Line(out, "}");
            Line(out, "");
        }
        if (tables.NodeDone(int(i))) return false;
    }
    return true;
}

}  // namespace vrellapi
