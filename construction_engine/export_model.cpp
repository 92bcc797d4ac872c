// The pieces the three export writers share: the node grid, the closing depth of a bracketed
// table row and the probability text.
#include "construction_engine/export_model.h"

#include <cmath>

#include "platform/vb/strings.h"
#include "platform/vb/types.h"

namespace vrellapi {

void PlaceOnGrid(ExportModel& model) {
    const int n = int(model.nodes.size());
    if (n == 0) return;
    const int columns = vb::CInt(std::sqrt(double(n)) + 1.0);
    for (int i = 0; i < n; ++i) {
        model.nodes[size_t(i)].x = 150 * (i % columns);
        model.nodes[size_t(i)].y = 80 * (i / columns);
    }
}

int ClosingDepth(const std::vector<int>& parentStates, int c) {
    int depth = 1;
    for (auto it = parentStates.rbegin(); it != parentStates.rend(); ++it) {
        if (*it <= 0 || c % *it != 0) break;
        c /= *it;
        ++depth;
    }
    return depth;
}

std::string ProbText(vb::Single p) { return vb::Str(p); }

void WriteBracketedRows(std::ostream& out, const NodeTable& t, const std::vector<int>& parentStates,
                        const std::string& lead, std::string (*row)(const NodeTable&, int),
                        const std::string& separator) {
    const size_t all = parentStates.size() + 1;
    std::string line = lead + std::string(all, '(');
    for (int c = 1; c <= t.configurations; ++c) {
        line += row(t, c - 1);
        if (c < t.configurations) {
            const size_t depth = size_t(ClosingDepth(parentStates, c));
            out << line << std::string(depth, ')') << separator << "\r\n";
            line = "       " + std::string(depth, '(');
        } else {
            out << line << std::string(all, ')') << ";\r\n";
        }
    }
}

}  // namespace vrellapi
