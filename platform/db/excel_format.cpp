// Excel workbooks (.xls) read through FreeXL: one table per sheet, named after the sheet, read
// whole the first time a query names it. The first row names the fields; the cells below give
// each column the narrowest type that holds all of them. The plain sheet files of Excel 2.1 to
// 4.0, which FreeXL does not read, are read record by record here.
#include <fmt/format.h>
#include <freexl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>

#include "platform/db/column_types.h"
#include "platform/db/imported_database.h"
#include "platform/vb/strings.h"

namespace db {
namespace {

using Workbook = std::shared_ptr<const void>;

Error NotExpected(const std::string& file, const std::string& what) {
    return Error(errnum::kNotExpectedFormat,
                 fmt::format("External table is not in the expected format. '{}' {}.", file, what));
}

enum class Kind { Empty, Long, Double, Date, Text };

// A cell as FreeXL gives it: its kind, its number and its text (dates as "yyyy-mm-dd[ hh:mm:ss]",
// times as "hh:mm:ss").
struct CellValue {
    Kind kind = Kind::Empty;
    double number = 0;
    std::string text;
};

CellValue ReadCell(const void* book, unsigned row, unsigned short column) {
    FreeXL_CellValue v{};
    CellValue out;
    if (freexl_get_cell_value(book, row, column, &v) != FREEXL_OK) return out;
    switch (v.type) {
        case FREEXL_CELL_INT:
            out.kind = Kind::Long;
            out.number = v.value.int_value;
            out.text = vb::NumberText(int64_t(v.value.int_value));
            break;
        case FREEXL_CELL_DOUBLE:
            out.kind = Kind::Double;
            out.number = v.value.double_value;
            out.text = vb::NumberText(v.value.double_value);
            break;
        case FREEXL_CELL_TEXT:
        case FREEXL_CELL_SST_TEXT:
            out.text = v.value.text_value ? v.value.text_value : "";
            out.kind = out.text.empty() ? Kind::Empty : Kind::Text;
            break;
        case FREEXL_CELL_DATE:
        case FREEXL_CELL_DATETIME:
        case FREEXL_CELL_TIME: {
            out.text = v.value.text_value ? v.value.text_value : "";
            auto serial = ParseStoredDate(v.type == FREEXL_CELL_TIME ? "1899-12-30 " + out.text : out.text);
            out.kind = serial ? Kind::Date : Kind::Text;
            out.number = serial.value_or(0);
            break;
        }
        default: break;
    }
    return out;
}

using Grid = std::vector<std::vector<CellValue>>;

// The sheet's cells as a table: the first row names the fields, the rows below give each column
// the narrowest type that holds all its cells. An empty sheet is a table of one field without
// rows, as Jet shows it.
ImportedTable SheetTable(const Grid& cells, size_t columns) {
    columns = std::max<size_t>(columns, 1);
    auto at = [&](size_t r, size_t c) -> const CellValue& {
        static const CellValue empty;
        return c < cells[r].size() ? cells[r][c] : empty;
    };
    std::vector<std::string> names(columns);
    if (!cells.empty())
        for (size_t c = 0; c < columns; ++c) names[c] = vb::Trim(at(0, c).text);
    MakeFieldNamesUnique(names);

    ImportedTable table;
    for (size_t c = 0; c < columns; ++c) {
        Kind kind = Kind::Empty;
        size_t longest = 0;
        for (size_t r = 1; r < cells.size(); ++r) {
            const CellValue& v = at(r, c);
            longest = std::max(longest, v.text.size());
            if (v.kind == Kind::Empty || v.kind == kind) continue;
            const bool numbers = (kind == Kind::Long && v.kind == Kind::Double) || (kind == Kind::Double && v.kind == Kind::Long);
            kind = kind == Kind::Empty ? v.kind : numbers ? Kind::Double : Kind::Text;
        }
        Field f;
        f.Name = names[c];
        f.Type = kind == Kind::Long     ? dbLong
                 : kind == Kind::Double ? dbDouble
                 : kind == Kind::Date   ? dbDate
                 : longest > 255        ? dbMemo
                                        : dbText;
        f.Size = f.Type == dbText ? 255 : 0;
        table.fields.push_back(std::move(f));
    }
    for (size_t r = 1; r < cells.size(); ++r) {
        std::vector<Value> row;
        for (size_t c = 0; c < columns; ++c) {
            const CellValue& v = at(r, c);
            if (v.kind == Kind::Empty) {
                row.emplace_back();
                continue;
            }
            switch (table.fields[c].Type) {
                case dbLong: row.emplace_back(int32_t(v.number)); break;
                case dbDouble: row.emplace_back(v.number); break;
                case dbDate: row.emplace_back(Date{v.number}); break;
                default: row.emplace_back(v.text);
            }
        }
        table.rows.push_back(std::move(row));
    }
    return table;
}

ImportedTable ReadSheet(const Workbook& book, const std::string& file, unsigned short sheet) {
    unsigned rows = 0;
    unsigned short columns = 0;
    if (freexl_select_active_worksheet(book.get(), sheet) != FREEXL_OK ||
        freexl_worksheet_dimensions(book.get(), &rows, &columns) != FREEXL_OK)
        throw NotExpected(file, fmt::format("has a sheet {} that cannot be read", sheet + 1));
    Grid cells;
    for (unsigned r = 0; r < rows; ++r) {
        std::vector<CellValue> row;
        for (unsigned short c = 0; c < columns; ++c) row.push_back(ReadCell(book.get(), r, c));
        cells.push_back(std::move(row));
    }
    return SheetTable(cells, columns);
}

// Plain sheet files of Excel 2.1 to 4.0 (a bare BIFF2, BIFF3 or BIFF4 record stream, which
// FreeXL does not read): the cell records, with the number formats that mark dates.
uint16_t U16(const std::string& d, size_t at) {
    return uint16_t(uint8_t(d[at]) | (uint8_t(d[at + 1]) << 8));
}
uint32_t U32(const std::string& d, size_t at) { return U16(d, at) | (uint32_t(U16(d, at + 2)) << 16); }
double F64(const std::string& d, size_t at) {
    double v;
    std::memcpy(&v, d.data() + at, sizeof v);
    return v;
}

int PlainSheetVersion(const std::string& data) {
    if (data.size() < 4) return 0;
    switch (U16(data, 0)) {
        case 0x0009: return 2;
        case 0x0209: return 3;
        case 0x0409: return 4;
        default: return 0;
    }
}

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

ImportedTable ReadPlainSheet(const std::string& file, const std::string& data) {
    const int version = PlainSheetVersion(data);
    std::map<int, bool> dateFormats;  // by format index
    int nextFormat = 0;               // Excel 2.1 and 3.0 number their formats in order
    for (int builtIn : {14, 15, 16, 17, 18, 19, 20, 21, 22, 45, 46, 47})
        if (version == 4) dateFormats[builtIn] = true;
    std::vector<int> xfFormats;
    double dateBase = 0;  // 1462 days more in the 1904 date system
    Grid cells;
    size_t columns = 0;
    std::pair<size_t, size_t> formulaCell{SIZE_MAX, SIZE_MAX};  // a string result follows it

    auto put = [&](size_t row, size_t col, CellValue v) {
        // A sheet of these versions has at most 16384 rows of 256 columns.
        if (row >= 16384 || col >= 256) throw NotExpected(file, fmt::format("has a cell outside the sheet (row {}, column {})", row + 1, col + 1));
        if (cells.size() <= row) cells.resize(row + 1);
        if (cells[row].size() <= col) cells[row].resize(col + 1);
        columns = std::max(columns, col + 1);
        cells[row][col] = std::move(v);
    };
    auto text = [](std::string t) {
        CellValue v;
        v.kind = t.empty() ? Kind::Empty : Kind::Text;
        v.text = std::move(t);
        return v;
    };
    auto number = [&](double d, int format, bool whole) {
        CellValue v;
        if (auto f = dateFormats.find(format); f != dateFormats.end() && f->second) {
            v.kind = Kind::Date;
            v.number = d + dateBase;
            v.text = DateStorageText(v.number);
        } else {
            v.kind = whole ? Kind::Long : Kind::Double;
            v.number = d;
            v.text = whole ? vb::NumberText(int64_t(d)) : vb::NumberText(d);
        }
        return v;
    };
    // The format of a cell: Excel 2.1 keeps its index in the cell, later versions in the cell's XF.
    auto formatOf = [&](size_t at) {
        if (version == 2) return uint8_t(data[at + 5]) & 0x3F;
        const uint16_t xf = U16(data, at + 4);
        return xf < xfFormats.size() ? xfFormats[xf] : 0;
    };

    size_t at = 0;
    bool ended = false;
    while (!ended && at + 4 <= data.size()) {
        const uint16_t id = U16(data, at);
        const size_t length = U16(data, at + 2);
        const size_t body = at + 4;
        if (body + length > data.size()) throw NotExpected(file, "is cut short");
        auto need = [&](size_t n) {
            if (length < n) throw NotExpected(file, fmt::format("has a record 0x{:04X} that is too short", id));
        };
        const size_t row = length >= 4 ? U16(data, body) : 0, col = length >= 4 ? U16(data, body + 2) : 0;
        const size_t value = body + (version == 2 ? 7 : 6);  // after row, column and attributes
        switch (id) {
            case 0x000A: ended = true; break;
            case 0x0022: need(2); dateBase = U16(data, body) ? 1462 : 0; break;
            case 0x001E:  // FORMAT, Excel 2.1 and 3.0
                need(1);
                dateFormats[nextFormat++] = IsDateFormat(data.substr(body + 1, std::min<size_t>(uint8_t(data[body]), length - 1)));
                break;
            case 0x041E:  // FORMAT, Excel 4.0
                need(3);
                dateFormats[U16(data, body)] = IsDateFormat(data.substr(body + 3, std::min<size_t>(uint8_t(data[body + 2]), length - 3)));
                break;
            case 0x0243:
            case 0x0443: need(2); xfFormats.push_back(uint8_t(data[body + 1])); break;
            case 0x0002: need(9); put(row, col, number(U16(data, value), formatOf(body), true)); break;  // INTEGER
            case 0x0003:
            case 0x0203: need(value - body + 8); put(row, col, number(F64(data, value), formatOf(body), false)); break;
            case 0x027E: {  // RK: a whole number or the high bits of a double, perhaps times 100
                need(10);
                const uint32_t rk = U32(data, value);
                double d;
                if (rk & 2) {
                    d = double(int32_t(rk) >> 2);
                } else {
                    const uint64_t bits = uint64_t(rk & 0xFFFFFFFCu) << 32;
                    std::memcpy(&d, &bits, sizeof d);
                }
                if (rk & 1) d /= 100;
                put(row, col, number(d, formatOf(body), (rk & 2) && !(rk & 1)));
                break;
            }
            case 0x0004: {
                need(8);
                const size_t n = std::min<size_t>(uint8_t(data[body + 7]), length - 8);
                put(row, col, text(Latin1ToUtf8(data.data() + body + 8, n)));
                break;
            }
            case 0x0204: {
                need(8);
                const size_t n = std::min<size_t>(U16(data, body + 6), length - 8);
                put(row, col, text(Latin1ToUtf8(data.data() + body + 8, n)));
                break;
            }
            case 0x0005:
            case 0x0205:  // BOOLERR: a Boolean as 1 or 0; an error value is left empty
                need(value - body + 2);
                if (data[value + 1] == 0) put(row, col, number(uint8_t(data[value]), 0, true));
                break;
            case 0x0006:
            case 0x0206:
            case 0x0406: {  // FORMULA: its last result
                need(value - body + 8);
                if (U16(data, value + 6) != 0xFFFF) {
                    put(row, col, number(F64(data, value), formatOf(body), false));
                } else if (data[value] == 0) {
                    formulaCell = {row, col};
                } else if (data[value] == 1) {
                    put(row, col, number(uint8_t(data[value + 2]), 0, true));
                }
                break;
            }
            case 0x0007:
            case 0x0207:  // STRING: the text result of the formula before it
                if (formulaCell.first != SIZE_MAX && length >= (version == 2 ? 1u : 2u)) {
                    const size_t skip = version == 2 ? 1 : 2;
                    const size_t n = std::min<size_t>(version == 2 ? uint8_t(data[body]) : U16(data, body), length - skip);
                    put(formulaCell.first, formulaCell.second, text(Latin1ToUtf8(data.data() + body + skip, n)));
                }
                formulaCell = {SIZE_MAX, SIZE_MAX};
                break;
            default: break;
        }
        at = body + length;
    }
    if (!ended) throw NotExpected(file, "has no end of sheet");
    return SheetTable(cells, columns);
}

class ExcelDatabase : public ImportedDatabase {
public:
    // A workbook that FreeXL reads: a table per sheet.
    ExcelDatabase(const std::string& file, std::string connect, const Workbook& book)
        : ImportedDatabase(file, std::move(connect)) {
        unsigned count = 0;
        freexl_get_info(book.get(), FREEXL_BIFF_SHEET_COUNT, &count);
        for (unsigned short s = 0; s < count; ++s) {
            const char* name = nullptr;
            if (freexl_get_worksheet_name(book.get(), s, &name) != FREEXL_OK || !name) continue;
            const std::string table = name;
            sources_.emplace(vb::UCase(table), Source{table, [book, file, s](TableSink& sink) { Feed(ReadSheet(book, file, s), sink); }, false, {}});
        }
    }
    // A plain sheet file, read already: one table named by the file's base name.
    ExcelDatabase(const std::string& file, std::string connect, ImportedTable sheet)
        : ImportedDatabase(file, std::move(connect)) {
        std::string table = file.substr(file.rfind('/') + 1);
        if (size_t dot = table.rfind('.'); dot != std::string::npos && dot > 0) table.erase(dot);
        auto read = std::make_shared<const ImportedTable>(std::move(sheet));
        sources_.emplace(vb::UCase(table), Source{table, [read](TableSink& sink) { Feed(*read, sink); }, false, {}});
    }

protected:
    std::map<std::string, Source> Sources() const override { return sources_; }

private:
    std::map<std::string, Source> sources_;
};

}  // namespace

std::shared_ptr<Database> OpenExcelDatabase(const std::string& file, const std::string& connect) {
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        throw Error(errnum::kFileNotFound, fmt::format("Could not find file '{}'.", file));
    std::ifstream in(file, std::ios::binary);
    const std::string data{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (data.compare(0, 4, "PK\x03\x04") == 0)
        throw Error(errnum::kNoInstallableIsam,
                    fmt::format("Could not find installable ISAM. '{}' is an Excel 2007 or later workbook (.xlsx), "
                                "which cannot be read here; save it as an Excel 97-2003 workbook (.xls).",
                                file));
    if (PlainSheetVersion(data)) return std::make_shared<ExcelDatabase>(file, connect, ReadPlainSheet(file, data));
    const void* raw = nullptr;
    const int rc = freexl_open(file.c_str(), &raw);
    Workbook book(raw, [](const void* h) {
        if (h) freexl_close(h);
    });
    unsigned password = 0;
    if (rc == FREEXL_OK && freexl_get_info(raw, FREEXL_BIFF_PASSWORD, &password) == FREEXL_OK &&
        password == FREEXL_BIFF_OBFUSCATED)
        throw Error(errnum::kCannotOpenFile,
                    fmt::format("Cannot open '{}': the workbook is protected by a password, and protected workbooks "
                                "cannot be read here. Save it without a password and open it again.",
                                file));
    if (rc != FREEXL_OK) throw NotExpected(file, "is not an Excel workbook that can be read");
    return std::make_shared<ExcelDatabase>(file, connect, book);
}

}  // namespace db
