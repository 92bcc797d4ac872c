// The workbook records read from bytes: small BIFF5 and BIFF8 workbooks written here record by
// record, each for a case a real workbook holds (a text split over CONTINUE records, formula
// results, the 1904 date system, a BIFF5 code page), damaged ones, and the real workbooks of the
// shared fixtures cell by cell against what an independent reader (python3-xlrd) gives.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/db/reader/xls_book.h"
#include "platform/db/reader/xls_file.h"
#include "tests/support/fixtures.h"

namespace {

using xls::Book;
using xls::Kind;

std::string U16(uint16_t v) { return std::string{char(v & 0xFF), char(v >> 8)}; }
std::string U32(uint32_t v) { return U16(uint16_t(v)) + U16(uint16_t(v >> 16)); }
std::string F64(double d) {
    std::string s(8, '\0');
    std::memcpy(s.data(), &d, 8);
    return s;
}
std::string Cell(uint16_t row, uint16_t col, uint16_t xf = 0) { return U16(row) + U16(col) + U16(xf); }
// A BIFF8 Unicode string: 8-bit characters, or 16-bit ones when `wide`.
std::string Uni(const std::string& chars, bool wide = false, bool shortCount = false) {
    std::string s = shortCount ? std::string(1, char(chars.size())) : U16(uint16_t(chars.size()));
    s += char(wide ? 1 : 0);
    for (char c : chars) {
        s += c;
        if (wide) s += '\0';
    }
    return s;
}

// A workbook stream: the globals, then each sheet's records, the BOUNDSHEET offsets filled in.
struct Workbook {
    int version = 8;
    std::string globals;                                     // records after the BOF
    std::vector<std::tuple<std::string, uint8_t, std::string>> sheets;  // name, kind, records

    static std::string Rec(uint16_t id, const std::string& body) { return U16(id) + U16(uint16_t(body.size())) + body; }
    std::string Bof(uint16_t type) const { return Rec(0x0809, U16(version == 8 ? 0x0600 : 0x0500) + U16(type) + U32(0) + (version == 8 ? U32(0) + U32(0) : "")); }
    std::string Name(const std::string& n) const { return version == 8 ? Uni(n, false, true) : std::string(1, char(n.size())) + n; }
    std::string Bytes() const {
        std::string bound;
        for (const auto& [name, kind, records] : sheets) bound += Rec(0x0085, U32(0) + char(0) + char(kind) + Name(name));
        std::string head = Bof(0x0005) + globals + bound + Rec(0x000A, "");
        std::string out = head, tail;
        size_t place = Bof(0x0005).size() + globals.size();
        for (const auto& [name, kind, records] : sheets) {
            const uint32_t at = uint32_t(head.size() + tail.size());
            out.replace(place + 4, 4, U32(at));
            place += 4 + 6 + Name(name).size();
            tail += Bof(0x0010) + records + Rec(0x000A, "");
        }
        return out + tail;
    }
};
std::string Rec(uint16_t id, const std::string& body) { return Workbook::Rec(id, body); }

// A sheet as text: a row per line, cells split by "|": "n:" a number, "w:" a whole number,
// "d:" a date serial, "b:" a Boolean, "t:" a text, "-" a cell that shows nothing, "" no cell.
std::string Render(const xls::Sheet& sheet, bool wholeApart = true) {
    std::string out;
    char number[40];
    for (size_t r = 0; r < sheet.rows.size(); ++r) {
        for (size_t c = 0; c < sheet.columns; ++c) {
            if (c) out += '|';
            const xls::Cell& v = sheet.At(r, c);
            std::snprintf(number, sizeof number, "%.17g", v.number);
            switch (v.kind) {
                case Kind::None: break;
                case Kind::Empty: out += "-"; break;
                case Kind::Whole: out += (wholeApart ? "w:" : "n:") + std::string(number); break;
                case Kind::Number: out += "n:" + std::string(number); break;
                case Kind::Date: out += "d:" + std::string(number); break;
                case Kind::Boolean: out += "b:" + std::string(number); break;
                case Kind::Text: out += "t:" + sheet.texts[v.text]; break;
            }
        }
        out += '\n';
    }
    return out;
}

// The cell records of BIFF8 in one sheet, with the globals they rely on.
TEST(XlsBook, Biff8CellsReadAsTheBookStoresThem) {
    Workbook book;
    // XF 0 General, XF 1 the built-in date format 14, XF 2 the book's own format 164 "hh:mm".
    book.globals = Rec(0x0042, U16(1200)) + Rec(0x041E, U16(164) + Uni("hh:mm")) +
                   Rec(0x00E0, U16(0) + U16(0) + std::string(16, '\0')) + Rec(0x00E0, U16(0) + U16(14) + std::string(16, '\0')) +
                   Rec(0x00E0, U16(0) + U16(164) + std::string(16, '\0'));
    // The SST: "plain", then "caf\u00e9 \u0416\u0416" whose 16-bit half starts in a CONTINUE.
    const std::string second = U16(7) + char(0) + "caf\xE9 ";
    book.globals += Rec(0x00FC, U32(3) + U32(3) + Uni("plain") + second) +
                    Rec(0x003C, std::string(1, char(1)) + U16(0x0416) + U16(0x0416) + Uni(""));
    std::string cells;
    cells += Rec(0x00FD, Cell(0, 0) + U32(0)) + Rec(0x00FD, Cell(0, 1) + U32(1)) + Rec(0x00FD, Cell(0, 2) + U32(2));
    cells += Rec(0x0203, Cell(1, 0) + F64(2.5)) + Rec(0x027E, Cell(1, 1) + U32((42u << 2) | 2)) +
             Rec(0x027E, Cell(1, 2) + U32((1234u << 2) | 3));  // 12.34
    cells += Rec(0x00BD, U16(2) + U16(0) + U16(1) + U32((36526u << 2) | 2) + U16(2) + U32((6u << 2) | 2) + U16(1));
    // FORMULA results: a number, a Boolean, an error, an empty text, and a text in a STRING
    // record that goes on in a CONTINUE record in 16-bit characters.
    auto formula = [](uint16_t row, uint16_t col, const std::string& result) {
        return Rec(0x0006, Cell(row, col) + result + U16(0) + U32(0) + U16(0));
    };
    auto special = [](uint8_t type, uint8_t value) { return std::string{char(type), 0, char(value), 0, 0, 0, char(0xFF), char(0xFF)}; };
    cells += formula(3, 0, F64(1.69)) + formula(3, 1, special(1, 1)) + formula(3, 2, special(2, 0x2A)) + formula(3, 3, special(3, 0));
    cells += formula(4, 0, special(0, 0)) + Rec(0x0207, U16(6) + char(0) + "abc") + Rec(0x003C, std::string(1, char(1)) + U16(0x20AC) + U16(0xD83D) + U16(0xDE00));
    // BOOLERR: TRUE, and #N/A; a LABEL; a blank far off, which makes no row or column.
    cells += Rec(0x0205, Cell(5, 0) + char(1) + char(0)) + Rec(0x0205, Cell(5, 1) + char(0x2A) + char(1));
    cells += Rec(0x0204, Cell(5, 2) + Uni("label")) + Rec(0x0201, Cell(200, 100));
    // A chart inside the sheet brings records of its own, which are not the sheet's cells.
    cells += book.Bof(0x0020) + Rec(0x0203, Cell(9, 9) + F64(7)) + Rec(0x000A, "");
    book.sheets = {{"First", 0, cells}, {"Chart", 2, ""}, {"\xB5", 0, Rec(0x0203, Cell(0, 0) + F64(1))}};  // µ in 8 bits

    const Book read(book.Bytes(), "");
    EXPECT_EQ(read.SheetNames(), (std::vector<std::string>{"First", "\xC2\xB5"}));
    EXPECT_EQ(Render(read.ReadSheet(0)),
              "t:plain|t:caf\xC3\xA9 \xD0\x96\xD0\x96|-|\n"
              "n:2.5|w:42|n:12.34|\n"
              "d:36526|d:6||\n"
              "n:1.6899999999999999|b:1|-|-\n"
              "t:abc\xE2\x82\xAC\xF0\x9F\x98\x80|||\n"
              "b:1|-|t:label|\n");
    EXPECT_EQ(Render(read.ReadSheet(1)), "n:1\n");

    // In the 1904 date system a date is 1462 days later than its serial says.
    Workbook mac;
    mac.globals = Rec(0x0022, U16(1)) + Rec(0x00E0, U16(0) + U16(0) + std::string(16, '\0')) +
                  Rec(0x00E0, U16(0) + U16(15) + std::string(16, '\0'));
    mac.sheets = {{"S", 0, Rec(0x0203, Cell(0, 0, 1) + F64(41330.5)) + Rec(0x0203, Cell(0, 1) + F64(3))}};
    EXPECT_EQ(Render(Book(mac.Bytes(), "").ReadSheet(0)), "d:42792.5|n:3\n");
}

// Excel 5.0 and 95 keep 8-bit texts in the book's code page.
TEST(XlsBook, Biff5TextsReadInTheBookCodePage) {
    Workbook book;
    book.version = 5;
    book.globals = Rec(0x0042, U16(1251));
    book.sheets = {{"\xC4\xE0\xED\xED\xFB\xE5", 0,  // "Данные"
                    Rec(0x0204, Cell(0, 0) + U16(3) + "\xEC\xE8\xF0") + Rec(0x0006, Cell(0, 1) + std::string{0, 0, 0, 0, 0, 0, char(0xFF), char(0xFF)} + U16(0) + U32(0) + U16(0)) +
                        Rec(0x0207, U16(2) + "\x80\x81")}};
    const Book read(book.Bytes(), "");
    EXPECT_EQ(read.SheetNames(), std::vector<std::string>{"\xD0\x94\xD0\xB0\xD0\xBD\xD0\xBD\xD1\x8B\xD0\xB5"});
    EXPECT_EQ(Render(read.ReadSheet(0)), "t:\xD0\xBC\xD0\xB8\xD1\x80|t:\xD0\x82\xD0\x83\n");  // мир, ЂЃ
}

TEST(XlsBook, DamagedRecordsAreRefused) {
    Workbook good;
    good.globals = Rec(0x00FC, U32(1) + U32(1) + Uni("x"));
    good.sheets = {{"S", 0, Rec(0x00FD, Cell(0, 0) + U32(0))}};
    const std::string bytes = good.Bytes();
    Workbook missing = good;
    missing.sheets = {{"S", 0, Rec(0x00FD, Cell(0, 0) + U32(5))}};
    Workbook outside = good;
    outside.sheets = {{"S", 0, Rec(0x0203, Cell(0, 300) + F64(1))}};
    Workbook longText = good;
    longText.globals = Rec(0x00FC, U32(1) + U32(1) + U16(50) + char(0) + "short");
    struct Case {
        const char* name;
        std::string bytes;
        size_t sheet;
        const char* says;
    };
    const Case cases[] = {
        {"cut inside a record", bytes.substr(0, bytes.size() - 6), 0, "cut short"},
        {"no end of sheet", bytes.substr(0, bytes.size() - 4), 0, "no end of sheet"},
        {"shared text missing", missing.Bytes(), 0, "shared text"},
        {"cell beyond the last column", outside.Bytes(), 0, "outside the sheet"},
        {"text longer than its record", longText.Bytes(), SIZE_MAX, "runs past"},
        {"not a workbook", "just some text here", SIZE_MAX, "not an Excel workbook"},
    };
    for (const Case& c : cases) {
        try {
            const Book book(c.bytes, "");
            if (c.sheet != SIZE_MAX) book.ReadSheet(c.sheet);
            ADD_FAILURE() << c.name << ": read";
        } catch (const xls::Unreadable& e) {
            EXPECT_NE(std::string(e.what()).find(c.says), std::string::npos) << c.name << ": " << e.what();
        }
    }
    Workbook locked = good;
    locked.globals = Rec(0x002F, U16(0)) + good.globals;
    EXPECT_THROW(Book(locked.Bytes(), ""), xls::Protected);
}

TEST(XlsBook, ColumnTypesFollowTheCellsBelowTheFirstRow) {
    struct Case {
        const char* name;
        std::vector<xls::Cell> cells;  // below the header
        xls::JetType type;
    };
    const xls::Cell whole{Kind::Whole, 0, 1}, number{Kind::Number, 0, 1.5}, date{Kind::Date, 0, 3}, yes{Kind::Boolean, 0, 1},
        text{Kind::Text, 0, 0}, longText{Kind::Text, 1, 0}, empty{Kind::Empty, 0, 0};
    const Case cases[] = {
        {"whole numbers", {whole, empty, whole}, xls::kLong},      {"whole and other numbers", {whole, number}, xls::kDouble},
        {"dates", {date, date}, xls::kDate},                       {"Booleans", {yes, empty}, xls::kBoolean},
        {"Booleans and numbers", {yes, whole}, xls::kText},        {"numbers and texts", {number, text}, xls::kText},
        {"a text of 256 characters", {text, longText}, xls::kMemo}, {"nothing", {empty}, xls::kText},
    };
    for (const Case& c : cases) {
        xls::Sheet sheet;
        sheet.texts = {"abc", ""};
        for (int k = 0; k < 256; ++k) sheet.texts[1] += "\xC3\xA9";  // 256 characters, 512 bytes
        sheet.rows.push_back({xls::Cell{Kind::Text, 0, 0}});
        for (const xls::Cell& v : c.cells) sheet.rows.push_back({v});
        sheet.columns = 1;
        EXPECT_EQ(xls::ColumnTypes(sheet), std::vector<xls::JetType>{c.type}) << c.name;
    }
}

// The workbooks of the shared fixtures, every sheet cell by cell as python3-xlrd reads them
// (formula cells as their stored results, error values as cells that show nothing, dates in
// days from 1899-12-30 whatever the book's date system).
TEST(XlsBook, RealWorkbooksReadAsAnIndependentReaderReadsThem) {
    BNS_USE_SHARED_FIXTURES(fixtures);
    const std::string expected = R"xls(
FILE empty-sheets.xls
SHEET Sheet1
t:a|t:b|t:c|t:d|t:e|t:f|t:g|t:h|t:I|t:j|t:k
n:2|t:This|t:is|t:a|t:Plugger|t:test|t:document||||
n:3||||||||||
n:4|t:The|t:quick|t:brown|t:fox||||||
n:5|||||t:jumped|||||
n:6||||||t:over||||
n:7|||||||t:the|||
n:8||||||||t:lazy||
n:9||t:┌──┐|||||||t:dog's|
n:10||||||||||t:back
n:11|t:cette ligne est écrite en français|||||||||
n:12||||||||||
n:13|t:This is a horizontally merged cell|||||||||
n:14|t:The|||||||||
n:15|t:quick|||||||||
n:16|t:brown|||||||||
n:17|t:fox|t:jumped||||||||
n:18||t:over||||||||
n:19||t:the||||||||
n:20||t:lazy|t:dog's|||||||
n:21|||t:back|||||||
n:22||||||||||
n:23|t:"doubly quoted string"|t:'singly quoted string'||||||||
n:24|t:Formula:|t:The quick brown fox|n:2|||||||
SHEET Sheet2
SHEET Sheet3
FILE missing-values.xls
SHEET Sheet1
t:x|t:y|t:z
t:NA|t:NA|
n:1|n:1|n:1
n:2|n:2|n:2
FILE no-yes-col-names.xls
SHEET no-col-names
t:a|t:b
SHEET yes-col-names
t:var1|t:var2
t:a|t:b
SHEET empty-col-names
-|-
t:a|t:b
FILE types.xls
SHEET guess_me
t:blank|t:boolean|t:date|t:numeric|t:text
|b:1|d:42793|n:1|t:hello
|b:0|d:42794|n:2|t:world
||||
|b:1|d:42794|n:3|t:HELLO
|b:0|d:42793|n:6|t:wor
SHEET guess_max
t:string_in_row_3
n:1
n:2
t:ab
SHEET smorgasbord
t:text|t:hello world
t:text formula|t:HELLO WORLD
t:blank|
t:double|n:1.3
t:integer|n:0
t:numeric formula|n:1.6900000000000002
t:boolean true|b:1
t:boolean false|b:0
t:boolean formula true|b:1
t:boolean formula false|b:0
t:date|d:42426
t:date formula|d:42431
t:error #N/A explicit|-
t:error #N/A formula|-
t:error #NAME?|-
t:error #VALUE!|-
t:error #DIV/0!|-
t:error #REF|-
t:error #NUM!|-
t:error  #NULL!|-
SHEET logical_coercion
t:logical|t:explanation
b:1|t:static logical
b:0|t:static logical
b:1|t:formula logical
b:0|t:formula logical
t:true|t:string logical
t:false|t:string logical
t:true|t:string logical
t:false|t:string logical
t:T|t:string logical
t:F|t:string logical
t:True|t:string logical
t:False|t:string logical
t:cabbage|t:string not logical
|t:blank
n:0|t:numeric
n:1|t:numeric
d:42370|t:date
SHEET date_coercion
t:date
d:42513

b:1
t:cabbage
n:4.2999999999999998
n:39448
d:40797
SHEET numeric_coercion
t:numeric
n:1
t:72

b:1
d:41996
t:cabbage
n:10
SHEET text_coercion
t:text|t:explanation
t:cabbage|t:text
|t:blank
t:F|t:logical F
b:1|t:boolean
n:1.3|t:floating point
d:42637|t:date
t:foo|t:text
n:36436153|t:student number
FILE utf8-sheet-names.xls
SHEET µ
t:x
n:1
SHEET ∂
t:x
n:1
)xls";
    std::string got = "\n";
    for (const char* name : {"empty-sheets.xls", "missing-values.xls", "no-yes-col-names.xls", "types.xls", "utf8-sheet-names.xls"}) {
        got += std::string("FILE ") + name + "\n";
        const Book book(xls::WorkbookBytes(fixtures + "xls/" + name), "");
        for (size_t s = 0; s < book.SheetNames().size(); ++s)
            got += "SHEET " + book.SheetNames()[s] + "\n" + Render(book.ReadSheet(s), false);
    }
    EXPECT_EQ(got, expected);
}

}  // namespace
