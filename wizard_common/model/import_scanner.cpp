// The line scanner of the cause-and-effect import (import_scanner.h). Each line is handled by
// the first of three rules that fits:
//   A  a Netica node header: "node" in column 1, the name from character 6 up to "{";
//   B  a Netica parent list: "parents =", names between "(" and ")" split at ",";
//   C  a Hugin, MSBN or BIF declaration ("potential", "probability", "(parents "): the child
//      before "(" or between "(" and "|", the parents after it up to ")", separated by blanks
//      or commas, names possibly in double quotes.
// Positions are counted in characters, so a line that starts with a multi-byte character
// loses that whole character where a rule drops the first one.
#include "wizard_common/model/import_scanner.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "platform/vb/strings.h"

namespace wizard::knowledge {

namespace {

// The length of a valid UTF-8 sequence starting at s[i], 0 when there is none.
size_t Utf8Sequence(std::string_view s, size_t i) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char c = byte(i);
    if (c < 0x80) return 1;
    size_t len;
    uint32_t cp;
    if (c >= 0xC2 && c <= 0xDF) len = 2, cp = c & 0x1F;
    else if (c >= 0xE0 && c <= 0xEF) len = 3, cp = c & 0x0F;
    else if (c >= 0xF0 && c <= 0xF4) len = 4, cp = c & 0x07;
    else return 0;
    if (i + len > s.size()) return 0;
    for (size_t k = 1; k < len; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (byte(i + k) & 0x3F);
    }
    // No overlong forms, no surrogates, nothing beyond U+10FFFF.
    if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
        (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return len;
}

bool IsUtf8(std::string_view s) {
    for (size_t i = 0; i < s.size();) {
        const size_t len = Utf8Sequence(s, i);
        if (len == 0) return false;
        i += len;
    }
    return true;
}

// The byte just past the character that starts at byte i (the text is valid UTF-8).
size_t CharEnd(const std::string& s, size_t i) {
    if (i >= s.size()) return s.size();
    size_t j = i + 1;
    while (j < s.size() && (static_cast<unsigned char>(s[j]) & 0xC0) == 0x80) ++j;
    return j;
}

bool Quoted(const std::string& upperName, const std::string& upperItem) {
    return upperName.size() == upperItem.size() + 2 && upperName.front() == '"' && upperName.back() == '"' &&
           upperName.compare(1, upperItem.size(), upperItem) == 0;
}

std::vector<std::string> Upper(const std::vector<std::string>& items) {
    std::vector<std::string> upper;
    upper.reserve(items.size());
    for (const std::string& item : items) upper.push_back(vb::UCase(item));
    return upper;
}

// The first item whose upper-cased text equals the name (ASCII letters in any case), or, with
// `quotedToo`, whose text in double quotes equals it; -1 for none.
int Find(const std::vector<std::string>& upperItems, const std::string& name, bool quotedToo) {
    const std::string upper = vb::UCase(name);
    for (size_t i = 0; i < upperItems.size(); ++i) {
        const std::string& item = upperItems[i];
        if (item == upper || (quotedToo && Quoted(upper, item))) return int(i);
    }
    return -1;
}

class Scanner {
public:
    // The lists are upper-cased once: a network of a thousand nodes looks names up thousands
    // of times.
    Scanner(const std::vector<std::string>& causes, const std::vector<std::string>& effects)
        : causes_(Upper(causes)), effects_(Upper(effects)) {}

    // False when the line cannot be parsed (the scan stops there).
    bool Line(const std::string& L) {
        const std::string U = vb::UCase(L);
        if (U.compare(0, 4, "NODE") == 0) {
            NodeHeader(L);
            return true;
        }
        if (U.find("PARENTS =") != std::string::npos) return ParentList(L);
        if (U.find("POTENTIAL") != std::string::npos || U.find("PROBABILITY") != std::string::npos ||
            U.find("(PARENTS ") != std::string::npos)
            Declaration(L);
        return true;
    }

    std::vector<ImportStep> steps;

private:
    void Choose(int effect) {
        child_ = effect;
        steps.push_back(ImportStep{ImportStep::Kind::ChildChosen, -1, effect});
    }
    void Offer(const std::string& name, bool quotedToo) {
        const int cause = Find(causes_, name, quotedToo);
        if (cause >= 0) steps.push_back(ImportStep{ImportStep::Kind::PairOffered, cause, child_});
    }

    // Rule A. A header naming no field leaves no child, so that the parent list after it is
    // not credited to an earlier node.
    void NodeHeader(const std::string& L) {
        const size_t start = CharEnd(L, 4);  // character 6
        const size_t brace = start < L.size() ? L.find('{', start) : std::string::npos;
        if (brace == std::string::npos) return;
        const int row = Find(effects_, vb::Trim(std::string_view(L).substr(start, brace - start)), false);
        if (row >= 0) Choose(row);
        else child_ = -1;
    }

    // Rule B.
    bool ParentList(const std::string& L) {
        if (child_ < 0) return true;
        const size_t open = L.find('(');
        std::string rest = open == std::string::npos ? L : L.substr(open + 1);
        for (size_t comma; (comma = rest.find(',')) != std::string::npos; rest.erase(0, comma + 1))
            Offer(vb::Trim(std::string_view(rest).substr(0, comma)), false);
        const size_t close = rest.find(')');
        if (close == std::string::npos) return false;
        Offer(vb::Trim(std::string_view(rest).substr(0, close)), false);
        child_ = -1;
        return true;
    }

    // Rule C.
    void Declaration(const std::string& L) {
        child_ = -1;
        const std::string S = vb::Trim(std::string_view(L).substr(CharEnd(L, 0)));
        const size_t blank = S.find(' ');
        size_t c = S.find('(');
        if (c == std::string::npos) return;
        // The child stands between the first word and "(" ("potential Risk (...") or, when
        // nothing does, between "(" and "|" ("potential (Risk | ...").
        std::string name;
        if (blank == std::string::npos || c > blank) {
            const size_t from = blank == std::string::npos ? 0 : blank + 1;
            name = vb::Trim(std::string_view(S).substr(from, c - from));
        }
        if (name.empty()) {
            const size_t bar = S.find('|');
            if (bar == std::string::npos) return;
            // A "|" before the "(" encloses no name.
            if (bar > c) name = vb::Trim(std::string_view(S).substr(c + 1, bar - c - 1));
            c = bar;
        }
        const std::string P = S.substr(c + 1);
        const std::string upper = vb::UCase(name);
        for (size_t i = 0; i < effects_.size(); ++i) {
            const std::string& item = effects_[i];
            if (item == upper || Quoted(upper, item)) Choose(int(i));
        }
        if (child_ < 0) return;
        std::string token;
        for (char ch : P) {
            if (ch != ' ' && ch != ',' && ch != ')') {
                token += ch;
                continue;
            }
            if (token.empty()) continue;
            Offer(token, true);
            token.clear();
            if (ch == ')') return;  // the child stays current until the next rule resets it
        }
        child_ = -1;
    }

    const std::vector<std::string> causes_;  // upper-cased
    const std::vector<std::string> effects_;
    int child_ = -1;
};

}  // namespace

std::string DecodeImportText(std::string_view bytes) {
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
    if (IsUtf8(bytes)) return std::string(bytes);
    std::string out;
    out.reserve(bytes.size() * 2);
    for (char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x80) {
            out += ch;
        } else {
            out += char(0xC0 | (c >> 6));
            out += char(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::vector<std::string> SplitImportLines(std::string_view text) {
    std::vector<std::string> lines;
    while (!text.empty()) {
        const size_t lf = text.find('\n');
        std::string_view line = text.substr(0, lf);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.emplace_back(line);
        if (lf == std::string_view::npos) break;
        text.remove_prefix(lf + 1);
    }
    return lines;
}

ImportScan ScanImportLines(const std::vector<std::string>& lines, const std::vector<std::string>& causes,
                           const std::vector<std::string>& effects, std::string_view fileName) {
    Scanner scanner(causes, effects);
    ImportScan scan;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (!scanner.Line(lines[i])) {
            scan.fault = Message{"Line " + std::to_string(i + 1) + " of the file '" + std::string(fileName) +
                                     "' has a parent list without ')'. The relations before it were imported.",
                                 Icon::Warning};
            break;
        }
    }
    scan.steps = std::move(scanner.steps);
    return scan;
}

std::optional<Message> CheckImportFile(const std::string& path) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec))
        return Message{"The file '" + path + "' does not exist.", Icon::Warning};
    if (std::filesystem::file_size(path, ec) == 0 && !ec)
        return Message{"The input log file '" + path + "' is empty.", Icon::Warning};
    return std::nullopt;
}

ImportScan ScanImportFile(const std::string& path, const std::vector<std::string>& causes,
                          const std::vector<std::string>& effects) {
    std::ifstream in(path, std::ios::binary);
    std::string bytes;
    if (in) bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (!in || in.bad()) {
        ImportScan scan;
        scan.fault = Message{"The file '" + path + "' could not be read.", Icon::Warning};
        return scan;
    }
    return ScanImportLines(SplitImportLines(DecodeImportText(bytes)), causes, effects, path);
}

Message ImportCountMessage(int count) {
    return Message{std::to_string(count) + " relations were imported.", Icon::None};
}

int ApplyImport(KnowledgeModel& model, const ImportScan& scan,
                const std::function<void(const ImportStep&, const PairEdit*)>& each) {
    const size_t before = model.pairs(PairTab::CausesEffects).size();
    for (const ImportStep& step : scan.steps) {
        if (step.kind == ImportStep::Kind::ChildChosen) {
            if (each) each(step, nullptr);
            continue;
        }
        const PairEdit edit = model.AddPair(PairTab::CausesEffects, step.cause, step.effect);
        if (each) each(step, &edit);
    }
    return int(model.pairs(PairTab::CausesEffects).size() - before);
}

}  // namespace wizard::knowledge
