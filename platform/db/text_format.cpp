// Delimited text files read whole into an imported table: records split on the delimiter with
// double-quoted cells (holding delimiters, doubled quotes and line breaks), the header line's
// names made unique, and each column typed by the narrowest type that reads all its values.
// A file is UTF-8, or Windows-1252 when it is not valid UTF-8.
#include <fmt/format.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/db/code_pages.h"
#include "platform/db/column_types.h"
#include "platform/db/imported_database.h"
#include "platform/vb/strings.h"

namespace db {
namespace {

struct Cell {
    std::string text;
    bool quoted = false;
};

Error BadFormat(const std::string& file, int line, const std::string& what) {
    return Error(3274, fmt::format("External table isn't in the expected format: '{}' line {}: {}.", file, line, what));
}

// Splits the whole file into records of cells; quoted cells may hold the delimiter, doubled
// quotes and line breaks.
std::vector<std::vector<Cell>> SplitRecords(const std::string& data, char delimiter, const std::string& file) {
    std::vector<std::vector<Cell>> records;
    std::vector<Cell> record;
    Cell cell;
    size_t i = 0;
    int line = 1;
    if (data.compare(0, 3, "\xEF\xBB\xBF") == 0) i = 3;
    bool any = false;  // the record has content (so an empty last line makes no record)
    auto endCell = [&] {
        if (!cell.quoted) cell.text = vb::Trim(cell.text);
        record.push_back(std::move(cell));
        cell = Cell{};
    };
    auto endRecord = [&] {
        endCell();
        if (any) records.push_back(std::move(record));
        record.clear();
        any = false;
    };
    while (i < data.size()) {
        char c = data[i];
        if (c == '"' && vb::Trim(cell.text).empty() && !cell.quoted) {
            cell.text.clear();
            cell.quoted = true;
            any = true;
            int startLine = line;
            ++i;
            while (true) {
                if (i >= data.size()) throw BadFormat(file, startLine, "a quoted value has no closing quote");
                if (data[i] == '"') {
                    if (i + 1 < data.size() && data[i + 1] == '"') {
                        cell.text += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                if (data[i] == '\n') ++line;
                cell.text += data[i++];
            }
            // Only blanks may follow the closing quote before the delimiter.
            while (i < data.size() && data[i] == ' ') ++i;
            if (i < data.size() && data[i] != delimiter && data[i] != '\r' && data[i] != '\n')
                throw BadFormat(file, line, "text follows a closing quote");
            continue;
        }
        if (c == delimiter) {
            endCell();
            any = true;
        } else if (c == '\n' || c == '\r') {
            endRecord();
            if (c == '\r' && i + 1 < data.size() && data[i + 1] == '\n') ++i;
            ++line;
        } else {
            cell.text += c;
            if (c != ' ') any = true;
        }
        ++i;
    }
    endRecord();
    return records;
}

bool ParseLong(const std::string& s, int32_t& out) {
    if (s.empty()) return false;
    size_t i = (s[0] == '-' || s[0] == '+') ? 1 : 0;
    if (i == s.size() || s.size() - i > 10) return false;
    for (size_t k = i; k < s.size(); ++k)
        if (s[k] < '0' || s[k] > '9') return false;
    long long v = std::strtoll(s.c_str(), nullptr, 10);
    if (v < INT32_MIN || v > INT32_MAX) return false;
    out = int32_t(v);
    return true;
}

bool ParseNumber(const std::string& s, double& out) {
    try {
        out = vb::ParseDouble(s);
        return true;
    } catch (...) {
        return false;
    }
}

char DelimiterFor(const std::string& data, const std::string& path) {
    std::string dot = path.substr(path.rfind('.') + 1);
    if (vb::UCase(dot) == "TAB") return '\t';
    std::string first = data.substr(0, data.find('\n'));
    for (char c : {'\t', ';'})
        if (first.find(c) != std::string::npos && first.find(',') == std::string::npos) return c;
    return ',';
}

}  // namespace

void MakeFieldNamesUnique(std::vector<std::string>& names) {
    std::set<std::string> used;
    for (size_t c = 0; c < names.size(); ++c) {
        if (names[c].empty()) names[c] = fmt::format("F{}", c + 1);
        std::string unique = names[c];
        for (int k = 2; used.count(vb::UCase(unique)); ++k) unique = fmt::format("{}{}", names[c], k);
        names[c] = unique;
        used.insert(vb::UCase(unique));
    }
}

void FailToRead(const std::string& path, int err) {
    if (err == ENOENT || err == ENOTDIR) throw Error(errnum::kFileNotFound, fmt::format("Could not find file '{}'.", path));
    throw Error(errnum::kCannotOpenFile,
                fmt::format("The file '{}' cannot be read: {}.", path,
                            err == EACCES || err == EPERM ? "you need permission to read it" : std::strerror(err)));
}

ImportedTable ReadDelimitedFile(const std::string& path, bool header, char delimiter) {
    std::ifstream in(path, std::ios::binary);
    if (!in) FailToRead(path, errno);
    std::stringstream buffer;
    buffer << in.rdbuf();
    std::string data = buffer.str();
    // Text written on Windows is mostly in its ANSI code page, as Jet reads a text file: a file
    // that is not valid UTF-8 is taken as Windows-1252 (without a byte-order mark it may have).
    if (!IsValidUtf8(data))
        data = CodePageToUtf8(std::string_view(data).substr(data.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0), kWindows1252);
    std::vector<std::vector<Cell>> records = SplitRecords(data, delimiter ? delimiter : DelimiterFor(data, path), path);

    size_t width = 0;
    for (const auto& r : records) width = std::max(width, r.size());
    std::vector<std::string> names(width);
    size_t first = 0;
    if (header && !records.empty()) {
        first = 1;
        for (size_t c = 0; c < records[0].size(); ++c) names[c] = records[0][c].text;
    }
    MakeFieldNamesUnique(names);

    // Column types from every value: the narrowest type that reads all of them.
    enum Guess { Unknown, Long, Double, Date, Text };
    std::vector<Guess> guess(width, Unknown);
    std::vector<size_t> longest(width, 0);
    for (size_t r = first; r < records.size(); ++r)
        for (size_t c = 0; c < records[r].size(); ++c) {
            const std::string& t = records[r][c].text;
            longest[c] = std::max(longest[c], t.size());
            if (t.empty() || guess[c] == Text) continue;
            int32_t l;
            double d;
            Guess g = ParseLong(t, l)                  ? Long
                      : ParseNumber(t, d)              ? Double
                      : ParseStoredDate(t).has_value() ? Date
                                                       : Text;
            if (guess[c] == Unknown) guess[c] = g;
            else if (guess[c] != g)
                guess[c] = ((guess[c] == Long && g == Double) || (guess[c] == Double && g == Long)) ? Double : Text;
        }

    ImportedTable table;
    table.fields.resize(width);
    for (size_t c = 0; c < width; ++c) {
        Field& f = table.fields[c];
        f.Name = names[c];
        // Texts of up to 255 characters are Text, as Jet's own text driver gives them; longer
        // ones Memo.
        f.Type = guess[c] == Long     ? dbLong
                 : guess[c] == Double ? dbDouble
                 : guess[c] == Date   ? dbDate
                 : longest[c] > 255   ? dbMemo
                                      : dbText;
        f.Size = f.Type == dbText ? 255 : 0;
    }
    for (size_t r = first; r < records.size(); ++r) {
        std::vector<Value> row(width);
        for (size_t c = 0; c < width && c < records[r].size(); ++c) {
            const std::string& t = records[r][c].text;
            if (t.empty()) continue;
            int32_t l;
            double d;
            switch (table.fields[c].Type) {
                case dbLong: ParseLong(t, l), row[c] = Value(l); break;
                case dbDouble: ParseNumber(t, d), row[c] = Value(d); break;
                case dbDate: row[c] = Value(db::Date{*ParseStoredDate(t)}); break;
                default: row[c] = Value(t);
            }
        }
        table.rows.push_back(std::move(row));
    }
    return table;
}

}  // namespace db
