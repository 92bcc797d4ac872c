// The experiments' input files made in code: a true-model file from field names and parent
// lists, and the lines of an outside tool's result file.
#pragma once

#include <string>
#include <vector>

namespace vrelltest {

// "A0" .. "A9".
inline std::vector<std::string> TenNames() {
    std::vector<std::string> v;
    for (int i = 0; i < 10; ++i) v.push_back("A" + std::to_string(i));
    return v;
}

// One block per field: a heading line, the "-----" rule, then the field's line with its name in
// columns 1-2 and its parents from column 14 on, three columns apart.
inline std::string TrueModelText(const std::vector<std::string>& names,
                                 const std::vector<std::vector<std::string>>& parents) {
    std::string text = "Bayesian network, true model\r\n";
    for (size_t i = 0; i < names.size(); ++i) {
        std::string line = names[i];
        line.resize(13, ' ');
        for (size_t k = 0; i < parents.size() && k < parents[i].size(); ++k)
            line += (k ? " " : "") + parents[i][k];
        text += "Node " + std::to_string(i) + "\r\n-----\r\n" + line + "\r\n";
    }
    return text;
}

// An edge line: the first field in columns 1-2, the mark in column 10, the second field in
// columns 12-13.
inline std::string TetradLine(const std::string& first, char mark, const std::string& second) {
    std::string line = first;
    line.resize(9, ' ');
    return line + mark + " " + second;
}

}  // namespace vrelltest
