// Excel workbooks (.xls) read through FreeXL: one table per sheet, named after the sheet, read
// whole the first time a query names it. The first row names the fields; the cells below give
// each column the narrowest type that holds all of them.
#include <fmt/format.h>
#include <freexl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <fstream>
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

ImportedTable ReadSheet(const Workbook& book, const std::string& file, unsigned short sheet) {
    unsigned rows = 0;
    unsigned short columns = 0;
    if (freexl_select_active_worksheet(book.get(), sheet) != FREEXL_OK ||
        freexl_worksheet_dimensions(book.get(), &rows, &columns) != FREEXL_OK)
        throw NotExpected(file, fmt::format("has a sheet {} that cannot be read", sheet + 1));
    // An empty sheet is a table of one field without rows, as Jet shows it.
    columns = std::max<unsigned short>(columns, 1);

    std::vector<std::vector<CellValue>> cells;
    for (unsigned r = 0; r < rows; ++r) {
        std::vector<CellValue> row;
        for (unsigned short c = 0; c < columns; ++c) row.push_back(ReadCell(book.get(), r, c));
        cells.push_back(std::move(row));
    }
    std::vector<std::string> names(columns);
    if (!cells.empty())
        for (unsigned short c = 0; c < columns; ++c) names[c] = vb::Trim(cells[0][c].text);
    MakeFieldNamesUnique(names);

    ImportedTable table;
    for (unsigned short c = 0; c < columns; ++c) {
        Kind kind = Kind::Empty;
        size_t longest = 0;
        for (size_t r = 1; r < cells.size(); ++r) {
            const CellValue& v = cells[r][c];
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
        for (unsigned short c = 0; c < columns; ++c) {
            const CellValue& v = cells[r][c];
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

class ExcelDatabase : public ImportedDatabase {
public:
    ExcelDatabase(const std::string& file, std::string connect, const Workbook& book)
        : ImportedDatabase(file, std::move(connect)) {
        unsigned count = 0;
        freexl_get_info(book.get(), FREEXL_BIFF_SHEET_COUNT, &count);
        for (unsigned short s = 0; s < count; ++s) {
            const char* name = nullptr;
            if (freexl_get_worksheet_name(book.get(), s, &name) != FREEXL_OK || !name) continue;
            const std::string table = name;
            sources_.emplace(vb::UCase(table), Source{table, [book, file, s] { return ReadSheet(book, file, s); }});
        }
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
    char head[4] = {};
    std::ifstream(file, std::ios::binary).read(head, sizeof head);
    if (std::memcmp(head, "PK\x03\x04", 4) == 0)
        throw Error(errnum::kNoInstallableIsam,
                    fmt::format("Could not find installable ISAM. '{}' is an Excel 2007 or later workbook (.xlsx), "
                                "which cannot be read here; save it as an Excel 97-2003 workbook (.xls).",
                                file));
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
