// Identifiers for the export files (see export_names.h): the validity test, the derived form and
// the de-duplication within a list.
#include "construction_engine/export_names.h"

#include <set>

#include "platform/db/sql_names.h"
#include "platform/vb/strings.h"

namespace vrellapi {

namespace {

bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsWordChar(char c) { return IsLetter(c) || (c >= '0' && c <= '9') || c == '_'; }

bool IsReserved(std::string_view text, const IdentifierRule& rule) {
    const std::string upper = vb::UCase(text);
    for (const std::string& r : rule.reserved)
        if (vb::UCase(r) == upper) return true;
    return false;
}

// The derived identifier of one text, before de-duplication.
std::string Derived(std::string_view text, std::string_view prefix, size_t maxLength) {
    const std::string inner = db::BareSqlName(text);
    std::string id;
    auto underscore = [&id] {
        if (!id.empty() && id.back() != '_') id += '_';
    };
    if (inner == "?") {
        id = "missing";
    } else {
        for (char c : inner) {
            switch (c) {
                case '<': id += "lt"; break;
                case '>': id += "gt"; break;
                case '=': id += "eq"; break;
                case '+': id += "plus"; break;
                default:
                    if (IsWordChar(c) && c != '_')
                        id += c;
                    else
                        underscore();
            }
        }
    }
    while (!id.empty() && id.back() == '_') id.pop_back();
    if (id.empty() || !IsLetter(id.front())) id = std::string(prefix) + (id.empty() ? "" : id);
    if (maxLength > 0 && id.size() > maxLength) id.resize(maxLength);
    while (id.size() > 1 && id.back() == '_') id.pop_back();
    return id;
}

}  // namespace

bool IsExportIdentifier(std::string_view text, const IdentifierRule& rule) {
    if (text.empty() || !IsLetter(text.front())) return false;
    if (rule.maxLength > 0 && text.size() > rule.maxLength) return false;
    for (char c : text)
        if (!IsWordChar(c)) return false;
    return !IsReserved(text, rule);
}

std::vector<std::string> ExportIdentifiers(const std::vector<std::string>& texts,
                                           std::string_view prefix, const IdentifierRule& rule) {
    std::vector<std::string> ids(texts.size());
    std::vector<bool> kept(texts.size(), false);
    std::set<std::string> taken;  // upper case
    // Valid texts first, so that a plain name keeps its spelling even when a derived name of an
    // earlier entry would have come out the same.
    for (size_t i = 0; i < texts.size(); ++i) {
        if (!IsExportIdentifier(texts[i], rule)) continue;
        if (!taken.insert(vb::UCase(texts[i])).second) continue;  // a repeat of an earlier text
        ids[i] = texts[i];
        kept[i] = true;
    }
    for (size_t i = 0; i < texts.size(); ++i) {
        if (kept[i]) continue;
        const std::string base = Derived(texts[i], prefix, rule.maxLength);
        std::string id = base;
        for (int n = 2; IsReserved(id, rule) || taken.count(vb::UCase(id)) != 0; ++n) {
            const std::string suffix = "_" + std::to_string(n);
            std::string stem = base;
            if (rule.maxLength > 0 && stem.size() + suffix.size() > rule.maxLength)
                stem.resize(rule.maxLength - suffix.size());
            id = stem + suffix;
        }
        taken.insert(vb::UCase(id));
        ids[i] = id;
    }
    return ids;
}

std::string EscapedQuoted(std::string_view text) {
    std::string q = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') q += '\\';
        q += c;
    }
    return q + "\"";
}

}  // namespace vrellapi
