// The BIFF records, read one substream (BOF to its EOF) at a time. One loop serves every
// version: the records that differ between versions differ in where their fields lie, which the
// version decides, not in what they mean. Texts of BIFF2-5 are 8-bit in the book's code page;
// BIFF8 texts are Unicode strings, which may be split over CONTINUE records.
#include "platform/db/reader/xls_book.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/db/code_pages.h"

namespace xls {
namespace {

uint16_t U16(std::string_view d, size_t at) { return uint16_t(uint8_t(d[at]) | (uint8_t(d[at + 1]) << 8)); }
uint32_t U32(std::string_view d, size_t at) { return U16(d, at) | (uint32_t(U16(d, at + 2)) << 16); }
double F64(std::string_view d, size_t at) {
    double v;
    std::memcpy(&v, d.data() + at, sizeof v);
    return v;
}

constexpr uint16_t kBof2 = 0x0009, kBof3 = 0x0209, kBof4 = 0x0409, kBof8 = 0x0809;
constexpr uint16_t kContinue = 0x003C;

// An RK number: a whole number or the high 30 bits of a double, perhaps times 100.
double RkValue(uint32_t rk, bool& whole) {
    double d;
    if (rk & 2) {
        d = double(int32_t(rk) >> 2);
    } else {
        const uint64_t bits = uint64_t(rk & 0xFFFFFFFCu) << 32;
        std::memcpy(&d, &bits, sizeof d);
    }
    whole = (rk & 2) && !(rk & 1);
    if (rk & 1) d /= 100;
    return d;
}

void AppendUtf16(std::string& out, const std::u16string& units) {
    for (size_t i = 0; i < units.size(); ++i) {
        char32_t c = units[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (units[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;  // half of a pair
        }
        db::AppendUtf8(out, c);
    }
}

// A record's body and the bodies of the CONTINUE records after it, read as one. A BIFF8 text
// split over them starts again in the next part with its flags byte (8-bit or 16-bit
// characters may change there); everything else simply runs on.
class Parts {
public:
    explicit Parts(std::vector<std::string_view> parts) : parts_(std::move(parts)) {}

    bool AtEnd() {
        Settle();
        return part_ >= parts_.size();
    }
    uint8_t U8() {
        Settle();
        if (part_ >= parts_.size()) throw Unreadable("has a text that runs past its record");
        return uint8_t(parts_[part_][at_++]);
    }
    uint16_t U16() {
        const uint16_t lo = U8();
        return uint16_t(lo | (U8() << 8));
    }
    uint32_t U32() {
        const uint32_t lo = U16();
        return lo | (uint32_t(U16()) << 16);
    }
    void Skip(size_t n) {
        while (n > 0) {
            Settle();
            if (part_ >= parts_.size()) throw Unreadable("has a text that runs past its record");
            const size_t step = std::min(n, parts_[part_].size() - at_);
            at_ += step;
            n -= step;
        }
    }
    // A BIFF8 Unicode string of `count` characters from its flags byte on.
    std::string Unicode(size_t count) {
        const uint8_t flags = U8();
        const size_t runs = (flags & 0x08) ? U16() : 0;
        const size_t extra = (flags & 0x04) ? U32() : 0;
        bool wide = flags & 0x01;
        std::u16string units;
        units.reserve(std::min<size_t>(count, 1u << 16));
        while (units.size() < count) {
            if (at_ >= Current().size()) {
                ++part_;
                at_ = 0;
                if (part_ >= parts_.size()) throw Unreadable("has a text that runs past its record");
                wide = uint8_t(parts_[part_][at_++]) & 0x01;
                continue;
            }
            const std::string_view p = Current();
            if (wide) {
                if (at_ + 2 > p.size()) throw Unreadable("has a text split inside a character");
                units.push_back(char16_t(xls::U16(p, at_)));
                at_ += 2;
            } else {
                units.push_back(char16_t(uint8_t(p[at_++])));
            }
        }
        Skip(4 * runs + extra);  // formatting runs and East Asian phonetic data
        std::string out;
        AppendUtf16(out, units);
        return out;
    }
    // Code-page bytes of Excel 2.1 to 95.
    std::string Bytes(size_t count, int codePage) {
        std::string raw;
        while (raw.size() < count) {
            Settle();
            if (part_ >= parts_.size()) throw Unreadable("has a text that runs past its record");
            const size_t step = std::min(count - raw.size(), Current().size() - at_);
            raw.append(Current().substr(at_, step));
            at_ += step;
        }
        return db::CodePageToUtf8(raw, codePage);
    }

private:
    std::string_view Current() const { return parts_[part_]; }
    void Settle() {
        while (part_ < parts_.size() && at_ >= parts_[part_].size()) {
            ++part_;
            at_ = 0;
        }
    }
    std::vector<std::string_view> parts_;
    size_t part_ = 0, at_ = 0;
};

// A number format shows a date when it has a day, year or hour part outside quoted texts,
// bracketed colours and escaped characters.
bool IsDateFormat(const std::string& code) {
    for (size_t i = 0; i < code.size(); ++i) {
        const char c = code[i];
        if (c == '"') i = std::min(code.find('"', i + 1), code.size());
        else if (c == '[') i = std::min(code.find(']', i + 1), code.size());
        else if (c == '\\' || c == '_' || c == '*') ++i;
        else if (std::strchr("dDyYhH", c)) return true;
    }
    return false;
}

// The code page a CODEPAGE record names, as read here: Excel writes 32769 for Windows-1252 in
// its oldest files, and 32768 for Mac Roman; an unknown one is read as Windows-1252, Excel's own.
int BookCodePage(uint16_t value) {
    switch (value) {
        case 32768: return 10000;
        case 32769: return 1252;
        default: return db::KnownCodePage(value) ? int(value) : 1252;
    }
}

}  // namespace

bool Book::IsPlainSheet(std::string_view bytes) {
    if (bytes.size() < 4) return false;
    const uint16_t id = U16(bytes, 0);
    return id == kBof2 || id == kBof3 || id == kBof4;
}

Book::Book(std::string bytes, std::string plainName) : bytes_(std::move(bytes)) {
    if (bytes_.size() < 8) throw Unreadable("is not an Excel workbook");
    switch (U16(bytes_, 0)) {
        case kBof2: version_ = 2; break;
        case kBof3: version_ = 3; break;
        case kBof4: version_ = 4; break;
        case kBof8: version_ = U16(bytes_, 4) == 0x0600 ? 8 : 5; break;
        default: throw Unreadable("is not an Excel workbook");
    }
    if (version_ <= 4) {
        // A plain sheet file is its one sheet; its formats come with its cells. Its records are
        // gone through once here, so that a file cut short is refused when it is opened.
        Globals g;
        Scan(0, g, nullptr, nullptr);
        names_.push_back(std::move(plainName));
        offsets_.push_back(0);
        return;
    }
    std::vector<std::pair<std::string, size_t>> sheets;
    Scan(0, globals_, nullptr, &sheets);
    for (auto& [name, offset] : sheets) {
        names_.push_back(std::move(name));
        offsets_.push_back(offset);
    }
}

Sheet Book::ReadSheet(size_t index) const {
    if (index >= offsets_.size()) throw Unreadable("has no such sheet");
    Sheet sheet;
    Globals globals = globals_;
    const size_t at = offsets_[index];
    if (at + 4 > bytes_.size() || U16(bytes_, at) != U16(bytes_, 0))
        throw Unreadable("has a sheet '" + names_[index] + "' whose records cannot be found");
    Scan(at, globals, &sheet, nullptr);
    return sheet;
}

void Book::Scan(size_t at, Globals& g, Sheet* cells, std::vector<std::pair<std::string, size_t>>* sheets) const {
    const std::string_view data = bytes_;
    const int version = version_;
    // Excel 2.1 and 3.0 number their formats in the order of the FORMAT records.
    int nextFormat = 0;
    auto setDateFormat = [&](size_t index, bool date) {
        if (index >= 0x10000) return;
        if (g.dateFormats.size() <= index) g.dateFormats.resize(index + 1, -1);
        g.dateFormats[index] = date;
    };
    auto isDate = [&](int format) {
        if (size_t(format) < g.dateFormats.size() && g.dateFormats[format] >= 0) return g.dateFormats[format] == 1;
        // Built-in formats a file need not write: dates and times (and those of East Asian
        // versions, 27-36 and 50-58), from Excel 4.0 on.
        return version >= 4 && ((format >= 14 && format <= 22) || (format >= 27 && format <= 36) ||
                                (format >= 45 && format <= 47) || (format >= 50 && format <= 58));
    };
    const size_t maxRows = version == 8 ? 65536 : 16384;
    auto put = [&](size_t row, size_t col, Cell v) {
        if (!cells) return;
        if (row >= maxRows || col >= 256)
            throw Unreadable("has a cell outside the sheet (row " + std::to_string(row + 1) + ", column " +
                             std::to_string(col + 1) + ")");
        if (cells->rows.size() <= row) cells->rows.resize(row + 1);
        if (cells->rows[row].size() <= col) cells->rows[row].resize(col + 1);
        cells->columns = std::max(cells->columns, col + 1);
        cells->rows[row][col] = v;
    };
    auto text = [&](std::string t) {
        Cell v;
        if (t.empty()) {
            v.kind = Kind::Empty;
            return v;
        }
        v.kind = Kind::Text;
        v.text = uint32_t(cells->texts.size());
        cells->texts.push_back(std::move(t));
        return v;
    };
    auto number = [&](double d, int format, bool whole) {
        Cell v;
        v.number = d;
        if (isDate(format)) {
            v.kind = Kind::Date;
            if (g.date1904) v.number += 1462;  // days from 1900-01-01 to 1904-01-02 as Excel counts
        } else {
            v.kind = whole ? Kind::Whole : Kind::Number;
        }
        return v;
    };
    auto boolean = [](bool b) {
        Cell v;
        v.kind = Kind::Boolean;
        v.number = b;
        return v;
    };
    const Cell empty{Kind::Empty, 0, 0};
    // The format of a cell: Excel 2.1 keeps its index in the cell, later versions in its XF.
    auto formatOf = [&](std::string_view body) {
        if (version == 2) return uint8_t(body[5]) & 0x3F;
        const uint16_t xf = U16(body, 4);
        return xf < g.xfFormats.size() ? g.xfFormats[xf] : 0;
    };
    // An 8-bit text (count `countBytes` wide) before BIFF8; a Unicode string in BIFF8.
    auto string = [&](Parts& p, size_t countBytes) {
        const size_t n = countBytes == 1 ? p.U8() : p.U16();
        return version == 8 ? p.Unicode(n) : p.Bytes(n, g.codePage);
    };
    // The record at `at` with the CONTINUE records after it; `at` moves past them.
    auto continued = [&](std::string_view body, size_t& next) {
        std::vector<std::string_view> parts{body};
        while (next + 4 <= data.size() && U16(data, next) == kContinue) {
            const size_t length = U16(data, next + 2);
            if (next + 4 + length > data.size()) throw Unreadable("is cut short");
            parts.push_back(data.substr(next + 4, length));
            next += 4 + length;
        }
        return Parts(std::move(parts));
    };

    std::pair<size_t, size_t> formulaCell{SIZE_MAX, SIZE_MAX};  // a STRING record gives its text
    int depth = 0;  // a chart embedded in a sheet brings a substream of its own
    while (at + 4 <= data.size()) {
        const uint16_t id = U16(data, at);
        const size_t length = U16(data, at + 2);
        if (at + 4 + length > data.size()) throw Unreadable("is cut short");
        const std::string_view body = data.substr(at + 4, length);
        size_t next = at + 4 + length;
        auto need = [&](size_t n) {
            if (length < n) {
                char hex[8];
                std::snprintf(hex, sizeof hex, "%04X", id);
                throw Unreadable(std::string("has a record 0x") + hex + " that is too short");
            }
        };
        if (id == kBof2 || id == kBof3 || id == kBof4 || id == kBof8) {
            ++depth;
        } else if (id == 0x000A) {
            if (--depth <= 0) return;
        } else if (depth == 1) {
            const size_t row = length >= 4 ? U16(body, 0) : 0, col = length >= 4 ? U16(body, 2) : 0;
            const size_t value = version == 2 ? 7 : 6;  // after row, column and attributes or XF
            switch (id) {
                case 0x002F: throw Protected();  // FILEPASS
                case 0x0022: need(2); g.date1904 = U16(body, 0) != 0; break;
                case 0x0042: need(2); g.codePage = BookCodePage(U16(body, 0)); break;
                case 0x001E: {  // FORMAT of Excel 2.1 and 3.0
                    need(1);
                    Parts p({body});
                    setDateFormat(nextFormat++, IsDateFormat(p.Bytes(p.U8(), g.codePage)));
                    break;
                }
                case 0x041E: {  // FORMAT from Excel 4.0 on
                    need(3);
                    Parts p({body});
                    const uint16_t index = p.U16();
                    setDateFormat(index, IsDateFormat(string(p, version == 8 ? 2 : 1)));
                    break;
                }
                case 0x0243:
                case 0x0443: need(2); g.xfFormats.push_back(uint8_t(body[1])); break;
                case 0x00E0: need(4); g.xfFormats.push_back(U16(body, 2)); break;
                case 0x0085: {  // BOUNDSHEET: a sheet's BOF, kind and name
                    need(7);
                    Parts p({body.substr(6)});
                    std::string name = string(p, 1);
                    if (sheets && uint8_t(body[5]) == 0) sheets->emplace_back(std::move(name), U32(body, 0));
                    break;
                }
                case 0x00FC: {  // SST: the shared texts
                    need(8);
                    Parts p = continued(body.substr(8), next);
                    const uint32_t unique = U32(body, 4);
                    g.shared.reserve(std::min<size_t>(unique, data.size() / 3));  // a string takes 3 bytes at least
                    for (uint32_t i = 0; i < unique && !p.AtEnd(); ++i) g.shared.push_back(p.Unicode(p.U16()));
                    break;
                }
                case 0x0002: need(9); put(row, col, number(U16(body, value), formatOf(body), true)); break;  // INTEGER
                case 0x0003:
                case 0x0203: need(value + 8); put(row, col, number(F64(body, value), formatOf(body), false)); break;
                case 0x027E: {  // RK
                    need(10);
                    bool whole;
                    const double d = RkValue(U32(body, 6), whole);
                    put(row, col, number(d, formatOf(body), whole));
                    break;
                }
                case 0x00BD: {  // MULRK: a run of RK cells, each with its XF
                    need(6);
                    for (size_t k = 0, at6 = 4; at6 + 6 <= length - 2; ++k, at6 += 6) {
                        bool whole;
                        const double d = RkValue(U32(body, at6 + 2), whole);
                        const uint16_t xf = U16(body, at6);
                        put(row, col + k, number(d, xf < g.xfFormats.size() ? g.xfFormats[xf] : 0, whole));
                    }
                    break;
                }
                case 0x00FD: {  // LABELSST
                    need(10);
                    const uint32_t index = U32(body, 6);
                    if (index >= g.shared.size()) throw Unreadable("has a cell whose shared text is missing");
                    if (cells) put(row, col, text(g.shared[index]));
                    break;
                }
                case 0x0004: {  // LABEL of Excel 2.1
                    need(8);
                    Parts p({body.substr(7)});
                    if (cells) put(row, col, text(string(p, 1)));
                    break;
                }
                case 0x0204:
                case 0x00D6: {  // LABEL, RSTRING (its formatting runs after the text are left)
                    need(8);
                    Parts p({body.substr(6)});
                    if (cells) put(row, col, text(string(p, 2)));
                    break;
                }
                case 0x0005:
                case 0x0205:  // BOOLERR: a Boolean, or an error value, which shows nothing
                    need(value + 2);
                    put(row, col, body[value + 1] == 0 ? boolean(body[value] != 0) : empty);
                    break;
                case 0x0006:
                case 0x0206:
                case 0x0406: {  // FORMULA: the result Excel stored with it
                    need(value + 8);
                    formulaCell = {SIZE_MAX, SIZE_MAX};
                    if (U16(body, value + 6) != 0xFFFF) {
                        put(row, col, number(F64(body, value), formatOf(body), false));
                        break;
                    }
                    switch (uint8_t(body[value])) {
                        case 0:  // a text, in the STRING record that follows
                            formulaCell = {row, col};
                            put(row, col, empty);
                            break;
                        case 1: put(row, col, boolean(body[value + 2] != 0)); break;
                        default: put(row, col, empty); break;  // an error value, an empty text
                    }
                    break;
                }
                case 0x0007:
                case 0x0207: {  // STRING: the text result of the formula before it
                    Parts p = version == 8 ? continued(body, next) : Parts({body});
                    if (formulaCell.first != SIZE_MAX && cells) {
                        std::string t = string(p, version == 2 ? 1 : 2);
                        put(formulaCell.first, formulaCell.second, text(std::move(t)));
                    }
                    formulaCell = {SIZE_MAX, SIZE_MAX};
                    break;
                }
                default: break;
            }
        }
        at = next;
    }
    throw Unreadable(depth > 0 ? "has no end of sheet" : "is cut short");
}

std::vector<JetType> ColumnTypes(const Sheet& sheet) {
    std::vector<JetType> types;
    for (size_t c = 0; c < std::max<size_t>(sheet.columns, 1); ++c) {
        Kind kind = Kind::Empty;
        size_t longest = 0;
        for (size_t r = 1; r < sheet.rows.size(); ++r) {
            const Cell& v = sheet.At(r, c);
            if (v.kind == Kind::None || v.kind == Kind::Empty) continue;
            if (v.kind == Kind::Text) {
                const std::string& t = sheet.texts[v.text];
                longest = std::max<size_t>(longest, std::count_if(t.begin(), t.end(), [](char ch) {
                                               return (uint8_t(ch) & 0xC0) != 0x80;  // characters, not bytes
                                           }));
            }
            if (v.kind == kind) continue;
            const bool numbers = (kind == Kind::Whole && v.kind == Kind::Number) || (kind == Kind::Number && v.kind == Kind::Whole);
            kind = kind == Kind::Empty ? v.kind : numbers ? Kind::Number : Kind::Text;
        }
        types.push_back(kind == Kind::Whole     ? kLong
                        : kind == Kind::Number  ? kDouble
                        : kind == Kind::Date    ? kDate
                        : kind == Kind::Boolean ? kBoolean
                        : longest > 255         ? kMemo
                                                : kText);
    }
    return types;
}

}  // namespace xls
