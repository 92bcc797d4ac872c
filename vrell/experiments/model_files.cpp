// Reading the true-model file and the outside tool's result file by their character columns.
#include "vrell/experiments/model_files.h"

namespace vrell {

namespace {

// Reads lines up to and including the first that begins with `mark`; a read at the end of the
// file raises error 62.
void SkipPast(vb::TextReader& file, std::string_view mark) {
    while (!file.LineInput().starts_with(mark)) {
    }
}

}  // namespace

std::string Columns(std::string_view line, size_t first, size_t count) {
    if (first == 0 || first > line.size()) return "";
    return std::string(line.substr(first - 1, count));
}

TrueModel ReadTrueModel(vb::TextReader& file) {
    TrueModel m;
    m.names.ReDim(vb::To(kExperimentFields));
    m.parent.ReDim(vb::To(kExperimentFields), vb::To(kExperimentFields));
    for (Integer c = 0; c < kExperimentFields; ++c) {
        SkipPast(file, "-----");
        const std::string line = file.LineInput();
        m.names(c) = Columns(line, 1, 2);
        for (size_t col = 14; col <= line.size(); col += 3) {
            const std::string name = Columns(line, col, 2);
            for (Integer p = 0; p < c; ++p) {
                if (m.names(p) != name || m.parent(p, c) != 0) continue;
                m.parent(p, c) = 1;
                ++m.edges;
            }
        }
    }
    return m;
}

Integer FieldIndex(const vb::Array<std::string>& names, std::string_view name) {
    for (Integer i = 0; i < kExperimentFields; ++i)
        if (names(i) == name) return i;
    return kExperimentFields;
}

void ReadTetradResult(vb::TextReader& file, const vb::Array<std::string>& names, vb::Array<Integer>& rst) {
    SkipPast(file, "/Patt");
    while (!file.AtEnd()) {
        const std::string line = file.LineInput();
        if (line.size() <= 10) return;
        const Integer a = FieldIndex(names, Columns(line, 1, 2));
        const Integer b = FieldIndex(names, Columns(line, 12, 2));
        const std::string mark = Columns(line, 10, 1);
        // The code of a pair lives above the diagonal, seen from the lower index: "a -> b" is
        // 1 there when a comes first and 2 when b does.
        if (mark == "-") {
            rst(a, b) = 3;
            rst(b, a) = 3;
        } else if (mark == ">") {
            if (a < b) rst(a, b) = 1;
            else rst(b, a) = 2;
        } else if (mark == "<") {
            if (a < b) rst(a, b) = 2;
            else rst(b, a) = 1;
        }
    }
}

}  // namespace vrell
