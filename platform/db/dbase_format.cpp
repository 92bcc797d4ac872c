// dBase III/IV/5 and FoxPro tables (.dbf), read a block of rows at a time. The header gives
// the row count and the fixed-width fields; each row is a deletion flag and the fields' bytes.
// Texts are read in the code page the header's language-driver byte names (Latin-1 where it
// names none) and stored as UTF-8.
#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "platform/db/code_pages.h"
#include "platform/db/column_types.h"
#include "platform/db/importers.h"
#include "platform/vb/strings.h"

namespace db {
namespace {

struct DbfField {
    std::string name;
    char type = 'C';
    size_t length = 0;
    int decimals = 0;
};

uint32_t U32(const unsigned char* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24); }
uint16_t U16(const unsigned char* p) { return uint16_t(p[0] | (p[1] << 8)); }

}  // namespace

void ReadDbfFile(const std::string& path, TableSink& sink) {
    std::ifstream in(path, std::ios::binary);
    if (!in) FailToRead(path, errno);
    auto bad = [&](const std::string& what) {
        return Error(3274, fmt::format("External table isn't in the expected format: '{}' {}.", path, what));
    };
    in.seekg(0, std::ios::end);
    const uint64_t fileSize = uint64_t(std::max<std::streamoff>(in.tellg(), 0));
    in.seekg(0);
    std::string data(32, '\0');
    if (fileSize < 33 || !in.read(data.data(), 32)) throw bad("is too short for a dBase table");
    const size_t headerLength = U16(reinterpret_cast<const unsigned char*>(data.data()) + 8);
    if (headerLength < 33 || headerLength > fileSize) throw bad("has a damaged header");
    data.resize(headerLength);
    if (!in.read(data.data() + 32, std::streamsize(headerLength - 32))) throw bad("has a damaged header");
    const auto* bytes = reinterpret_cast<const unsigned char*>(data.data());
    const unsigned char version = bytes[0];
    const bool visualFoxPro = version == 0x30 || version == 0x31 || version == 0x32;
    const uint32_t rows = U32(bytes + 4);
    const size_t recordLength = U16(bytes + 10);
    const int codePage = DbaseCodePage(bytes[29]);

    std::vector<DbfField> fields;
    size_t width = 1;  // the deletion flag
    for (size_t at = 32; at + 32 <= headerLength && bytes[at] != 0x0D; at += 32) {
        DbfField f;
        f.name = CodePageToUtf8(std::string_view(data.data() + at, strnlen(data.data() + at, 11)), codePage);
        f.type = char(bytes[at + 11]);
        f.length = bytes[at + 16];
        f.decimals = bytes[at + 17];
        if (f.type == 'C') f.length |= size_t(bytes[at + 17]) << 8;  // long texts keep the high byte here
        if (f.type == 'C') f.decimals = 0;
        width += f.length;
        fields.push_back(std::move(f));
    }
    if (fields.empty()) throw bad("has no fields");
    if (width != recordLength) throw bad("has fields that do not fill its rows");
    if (headerLength + uint64_t(rows) * recordLength > fileSize) throw bad("is shorter than its header says");

    std::vector<Field> columns;
    std::vector<std::string> names;
    for (const DbfField& f : fields) names.push_back(f.name);
    MakeFieldNamesUnique(names);
    for (size_t c = 0; c < fields.size(); ++c) {
        const DbfField& f = fields[c];
        Field out;
        out.Name = names[c];
        switch (f.type) {
            case 'N':
            case 'F': out.Type = (f.decimals == 0 && f.length <= 9) ? dbLong : dbDouble; break;
            case 'L': out.Type = dbBoolean; break;
            case 'D':
            case 'T': out.Type = dbDate; break;
            case 'I': out.Type = dbLong; break;
            case 'Y': out.Type = dbCurrency; break;
            case 'B': out.Type = visualFoxPro ? dbDouble : dbMemo; break;
            case 'M':
            case 'G':
            case 'P': out.Type = dbMemo; break;
            default: out.Type = dbText; out.Size = int32_t(f.length); break;
        }
        columns.push_back(std::move(out));
    }
    sink.Fields(columns);

    // Rows are fixed width: a block of them is one read.
    const size_t perBlock = std::max<size_t>(1, (256u << 10) / recordLength);
    std::string block;
    std::vector<Value> row;
    for (uint32_t r = 0; r < rows; ++r) {
        if (r % perBlock == 0) {
            block.resize(std::min<size_t>(perBlock, rows - r) * recordLength);
            if (!in.read(block.data(), std::streamsize(block.size()))) throw bad("is shorter than its header says");
        }
        const char* rec = block.data() + (r % perBlock) * recordLength;
        if (rec[0] == '*') continue;  // deleted
        row.clear();
        size_t at = 1;
        for (size_t c = 0; c < fields.size(); ++c) {
            const DbfField& f = fields[c];
            const char* p = rec + at;
            const auto* u = reinterpret_cast<const unsigned char*>(p);
            at += f.length;
            std::string text = vb::Trim(std::string(p, f.length));
            Value v;
            switch (f.type) {
                case 'N':
                case 'F':
                    if (!text.empty() && text.find('*') == std::string::npos) {
                        double d;
                        try {
                            d = vb::ParseDouble(text);
                        } catch (...) {
                            throw bad(fmt::format("holds '{}' in the number field {}", text, f.name));
                        }
                        if (columns[c].Type == dbLong) {
                            // A field without decimals holds whole numbers; "1e99" or "2.5" there
                            // contradicts the header (and cannot be converted to a Long).
                            if (d != std::trunc(d) || d < -2147483648.0 || d > 2147483647.0)
                                throw bad(fmt::format("holds '{}' in the whole-number field {}", text, f.name));
                            v = Value(int32_t(d));
                        } else {
                            v = Value(d);
                        }
                    }
                    break;
                case 'L':
                    if (!text.empty() && std::strchr("TtYy", text[0])) v = Value(true);
                    else if (!text.empty() && std::strchr("FfNn", text[0])) v = Value(false);
                    break;
                case 'D':
                    if (text.size() == 8) {
                        auto serial = ParseStoredDate(text.substr(0, 4) + "-" + text.substr(4, 2) + "-" + text.substr(6, 2));
                        if (serial) v = Value(Date{*serial});
                        // Blank or zero dates are empty; a month and day that the calendar does
                        // not have are a damaged cell, not a date of another day.
                        else if (text.find_first_not_of("0123456789") == std::string::npos &&
                                 text.substr(4, 2) >= "01" && text.substr(4, 2) <= "12" &&
                                 text.substr(6, 2) >= "01" && text.substr(6, 2) <= "31")
                            throw bad(fmt::format("holds '{}' in the date field {}, a day its month does not have",
                                                  text, f.name));
                    }
                    break;
                case 'I':
                    if (f.length == 4) v = Value(int32_t(U32(u)));
                    break;
                case 'Y':
                    if (f.length == 8) {
                        int64_t money;
                        std::memcpy(&money, p, 8);
                        v = Value(double(money) / 10000.0);
                    }
                    break;
                case 'B':
                    if (visualFoxPro && f.length == 8) {
                        double d;
                        std::memcpy(&d, p, 8);
                        v = Value(d);
                    }
                    break;
                case 'T':
                    if (f.length == 8 && U32(u) != 0) {
                        // Julian day number, then milliseconds since midnight.
                        double day = double(U32(u)) - 2415019.0;  // 1899-12-30 is Julian day 2415019
                        v = Value(Date{day + double(U32(u + 4)) / 86400000.0});
                    }
                    break;
                case 'M':
                case 'G':
                case 'P': break;  // the memo file is not read
                default:
                    if (!text.empty()) {
                        size_t end = f.length;
                        while (end > 0 && (p[end - 1] == ' ' || p[end - 1] == '\0')) --end;
                        v = Value(CodePageToUtf8(std::string_view(p, end), codePage));
                    }
            }
            row.push_back(std::move(v));
        }
        sink.Row(row);
    }
}

}  // namespace db
