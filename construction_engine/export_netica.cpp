// The Netica export file (.dne): a header of comment lines, one "node" block a field with its
// states, parents and probability table, and the closing "};". Nodes and states are Netica
// identifiers (at most 30 characters); where a name or label is not one, the block carries the
// derived identifier and the original text as the node's title or the state titles.
#include <string>
#include <vector>

#include "construction_engine/export_model.h"
#include "construction_engine/export_names.h"

namespace vrellapi {

namespace {

const IdentifierRule kNeticaIds{30, {"bnet", "node", "define"}};

void Line(std::ostream& out, const std::string& text) { out << text << "\r\n"; }

std::string Row(const NodeTable& t, int c) {
    std::string row;
    for (int s = 0; s < t.states; ++s) row += (s > 0 ? ", " : "") + ProbText(t.at(c, s));
    return row;
}

}  // namespace

bool WriteNetica(const ExportModel& model, TableSource& tables, std::ostream& out) {
    std::vector<std::string> names;
    for (const ExportNode& n : model.nodes) names.push_back(n.name);
    const std::vector<std::string> ids = ExportIdentifiers(names, "n", kNeticaIds);

    // The network is named after the table without the brackets of its SQL form.
    // Not db::BareSqlName: written networks drop both end characters of any name that begins with "[".
    const std::string& table = model.table;
    const std::string netName =
        !table.empty() && table.front() == '[' ? table.substr(1, table.size() < 2 ? 0 : table.size() - 2) : table;
    const std::string netId = ExportIdentifiers({netName}, "n", kNeticaIds).front();

    Line(out, "// ~->[DNET-1]->~");
    Line(out, "//File created using Tormid");
    Line(out, "//on " + model.date + " at " + model.time + ".");
    Line(out, "");
    Line(out, "bnet " + netId + " {");
    if (netId != netName) Line(out, "   title = " + EscapedQuoted(netName) + ";");
    Line(out, "");

    for (size_t i = 0; i < model.nodes.size(); ++i) {
        const ExportNode& node = model.nodes[i];
        Line(out, "node " + ids[i] + " {");
        Line(out, "   kind = NATURE;");
        if (node.continuous) {
            Line(out, "   discrete = FALSE;");
            Line(out, "   chance = CHANCE;");
            Line(out, "   parents = ();");
        } else {
            Line(out, "   discrete = TRUE;");
            Line(out, "   chance = CHANCE;");
            const std::vector<std::string> states = ExportIdentifiers(node.states, "s", kNeticaIds);
            std::string list, titles;
            for (size_t s = 0; s < states.size(); ++s) {
                list += (s > 0 ? ", " : "") + states[s];
                titles += (s > 0 ? ", " : "") + EscapedQuoted(node.states[s]);
            }
            Line(out, "   states = (" + list + ");");
            if (states != node.states) Line(out, "   statetitles = (" + titles + ");");

            const NodeTable& t = tables.Table(int(i));
            if (node.parents.empty()) {
                Line(out, "   parents = ();");
                Line(out, "   probs =");
                Line(out, "       (" + Row(t, 0) + ");");
            } else {
                std::string parents;
                std::vector<int> parentStates;
                for (int p : node.parents) {
                    parents += (parents.empty() ? "" : ", ") + ids[size_t(p)];
                    parentStates.push_back(int(model.nodes[size_t(p)].states.size()));
                }
                Line(out, "   parents = (" + parents + ");");
                Line(out, "   probs=");
                WriteBracketedRows(out, t, parentStates, "    ", Row, ",");
            }
        }
        Line(out, "   title = " + EscapedQuoted(node.name) + ";");
        Line(out, "   };");
        Line(out, "");
        if (tables.NodeDone(int(i))) return false;
    }
    Line(out, "};");
    return true;
}

}  // namespace vrellapi
