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

// "*.bnc" -> ".bnc"; "" for a pattern that does not name one extension.
std::string PatternExtension(const std::string& pattern) {
    if (pattern.size() < 3 || pattern.compare(0, 2, "*.") != 0) return {};
    const std::string ext = pattern.substr(1);
    return ext.find_first_of("*?[") == std::string::npos ? ext : std::string();
}

}  // namespace

std::string WithFilterExtension(std::string_view typed, std::string_view filter, int entry) {
    std::string name(typed);
    const size_t slash = name.find_last_of('/');
    const size_t baseStart = slash == std::string::npos ? 0 : slash + 1;
    const size_t dot = name.find('.', baseStart + 1);
    if (name.size() == baseStart || dot != std::string::npos) return name;
    const std::vector<std::string> parts = Split(filter, '|');
    const size_t patterns = size_t(entry) * 2 + 1;
    if (entry < 0 || patterns >= parts.size()) return name;
    const std::vector<std::string> list = Split(parts[patterns], ';');
    return list.empty() ? name : name + PatternExtension(vb::Trim(list.front()));
}

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
