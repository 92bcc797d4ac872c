// Conversion of the wizards' "|"-separated file filters into Qt's name-filter text.
#include "wizard_common/model/file_filter.h"

#include <vector>

#include "platform/vb/strings.h"

namespace wizard {

namespace {

std::vector<std::string> Split(std::string_view text, char sep) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t at = text.find(sep, start);
        parts.emplace_back(text.substr(start, at == std::string_view::npos ? at : at - start));
        if (at == std::string_view::npos) return parts;
        start = at + 1;
    }
}

// "Microsoft Access (*.mdb)" -> "Microsoft Access": Qt reads the patterns from the last
// parenthesised group, so the description's own copy must not stay.
std::string DescriptionWords(const std::string& description) {
    std::string d = vb::Trim(description);
    if (!d.empty() && d.back() == ')') {
        const size_t open = d.rfind('(');
        if (open != std::string::npos) d = vb::Trim(d.substr(0, open));
    }
    return d;
}

}  // namespace

std::string ToQtFilter(std::string_view filter) {
    if (filter.empty()) return {};
    const std::vector<std::string> parts = Split(filter, '|');
    std::string out;
    for (size_t i = 0; i < parts.size(); i += 2) {
        if (!out.empty()) out += ";;";
        if (i + 1 >= parts.size()) {
            out += parts[i];
            break;
        }
        std::string patterns;
        for (const std::string& p : Split(parts[i + 1], ';')) {
            const std::string pattern = vb::Trim(p);
            if (pattern.empty()) continue;
            if (!patterns.empty()) patterns += ' ';
            patterns += pattern == "*.*" ? "*" : pattern;
        }
        out += DescriptionWords(parts[i]) + " (" + patterns + ")";
    }
    return out;
}

}  // namespace wizard
