// The cell records of Excel workbooks, read from their bytes: a plain sheet file of Excel 2.1 to
// 4.0 (a bare BIFF2, BIFF3 or BIFF4 record stream) and the workbook stream of an Excel 5.0 to
// 2003 file (BIFF5 or BIFF8, the stream "Book" or "Workbook" of its compound file). The book's
// global records give the sheets in workbook order, the shared texts, the number formats that
// mark dates, the 1904 date system and the code page of 8-bit texts; a sheet's records give its
// cells, formula cells as the result Excel stored with them. Free of the database layer: the
// file reader process (bns_reader) links it, and the tests read bytes made in code with it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace xls {

// The records cannot be read: what() says why, in words that follow the file's name.
class Unreadable : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The workbook is encrypted with a password (a FILEPASS record): its cells cannot be read here.
class Protected : public std::runtime_error {
public:
    Protected() : std::runtime_error("the workbook is protected by a password") {}
};

enum class Kind : uint8_t {
    None,     // no cell record here
    Empty,    // a cell that holds nothing a column can show: an empty text, an error value
    Whole,    // a whole number stored as one (Excel 2.1's INTEGER, an integer RK)
    Number,   // any other number
    Date,     // a number whose format shows a date or time: days since 1899-12-30
    Boolean,  // number 0 or 1
    Text,     // text: index into Sheet::texts
};

struct Cell {
    Kind kind = Kind::None;
    uint32_t text = 0;
    double number = 0;
};

// A sheet's cells: rows and columns are those that hold a cell record with a value (blank
// cells, which carry only formatting, do not count; a text or an error value does).
struct Sheet {
    std::vector<std::vector<Cell>> rows;  // each as long as its last cell
    size_t columns = 0;
    std::vector<std::string> texts;      // UTF-8

    const Cell& At(size_t row, size_t column) const {
        static const Cell none;
        return column < rows[row].size() ? rows[row][column] : none;
    }
};

// Jet's type codes for the columns a sheet's cells make (the numbers of the layer's FieldType).
enum JetType : uint8_t { kBoolean = 1, kLong = 4, kDouble = 7, kDate = 8, kText = 10, kMemo = 12 };

// Each column's type from the cells below the first row: one kind all through gives its type
// (whole numbers Long, Booleans Yes/No, dates Date), whole and other numbers Double, any other
// mix Text, and Text with a text longer than 255 characters Memo. A column with no cell is Text.
std::vector<JetType> ColumnTypes(const Sheet& sheet);

class Book {
public:
    // `bytes`: a plain sheet file or a BIFF5/8 workbook stream. `plainName` names the one sheet
    // of a plain sheet file. Throws Unreadable, or Protected for an encrypted workbook.
    Book(std::string bytes, std::string plainName);

    // The worksheets in workbook order (charts and macro sheets are left out).
    const std::vector<std::string>& SheetNames() const { return names_; }
    // The cells of sheet `index` (of SheetNames). Throws Unreadable.
    Sheet ReadSheet(size_t index) const;

    // True when the first bytes are those of a plain sheet file of Excel 2.1 to 4.0.
    static bool IsPlainSheet(std::string_view bytes);

private:
    // What the book's global records say, which its sheets' cells need.
    struct Globals {
        std::vector<std::string> shared;  // the shared texts (SST)
        std::vector<int> xfFormats;       // number format by XF index
        std::vector<int8_t> dateFormats;  // by number format index: 1 a date, 0 not, -1 not given
        bool date1904 = false;
        int codePage = 1252;
    };
    // The records of the substream whose BOF is at `at`, to its EOF: global records into
    // `globals`, worksheets into `sheets` (name and BOF), cells into `cells` (each when given).
    void Scan(size_t at, Globals& globals, Sheet* cells, std::vector<std::pair<std::string, size_t>>* sheets) const;

    std::string bytes_;
    int version_ = 0;  // 2, 3, 4 (plain sheets), 5 or 8
    std::vector<std::string> names_;
    std::vector<size_t> offsets_;  // each sheet's BOF in the stream
    Globals globals_;
};

}  // namespace xls
