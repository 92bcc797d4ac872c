// Imported formats: delimited text files ("Text;") and dBase tables ("dBase IV;"). The folder
// is the database, each file a table, read-only, and a source for the copy into a SQLite file.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <tuple>

#include "tests/support/db_contract.h"

namespace {

using db::Value;
using testsupport::RowsOf;
using Row = std::vector<Value>;

class TextImport : public ::testing::Test {
protected:
    void Write(const std::string& file, const std::string& text) { std::ofstream(dir_.Path(file), std::ios::binary) << text; }
    std::vector<Row> Query(db::Database& db, const std::string& sql) {
        return RowsOf(db.OpenRecordset(sql, db::dbOpenForwardOnly)->GetRows(1000));
    }
    int32_t ErrorNumber(const std::function<void()>& f) { return testsupport::DbErrorNumber(f); }
    testsupport::TempDir dir_;
};

TEST_F(TextImport, ReadsFilesAsTypedTables) {
    Write("people.csv",
          "Name,Age,Height,Born,Note\r\n"
          "\"Smith, Jo\",42,1.8,1980-05-01,\"said \"\"hi\"\"\"\r\n"
          "ann,7,,2016-01-02,\r\n"
          "ANN,x7,1,2017-01-02,\"two\nlines\"\r\n");
    Write("scores.txt", "id\tscore\n1\t3.5\n2\t-4\n");
    Write("notes.md", "not a table");
    auto db = db::DBEngine::OpenDatabase(dir_.path(), false, false, "Text;");
    EXPECT_EQ(db->Connect(), "Text;");
    EXPECT_EQ(db->Name(), dir_.path());
    EXPECT_EQ(db->TableNames(), (std::vector<std::string>{"people", "scores"}));

    db::TableDef people = db->TableDefs("PEOPLE");
    EXPECT_EQ(people.FieldByName("Name").Type, db::dbText);
    EXPECT_EQ(people.FieldByName("Age").Type, db::dbText);  // "x7" makes the column text
    EXPECT_EQ(people.FieldByName("Height").Type, db::dbDouble);
    EXPECT_EQ(people.FieldByName("Born").Type, db::dbDate);
    EXPECT_EQ(Query(*db, "select Name, Height, Note from [people]"),
              (std::vector<Row>{{Value("Smith, Jo"), Value(1.8), Value("said \"hi\"")},
                                {Value("ann"), Value(), Value()},
                                {Value("ANN"), Value(1.0), Value("two\nlines")}}));
    EXPECT_EQ(Query(*db, "select  Count(*) , Name from [people] group by Name"),
              (std::vector<Row>{{Value(int32_t(2)), Value("ANN")}, {Value(int32_t(1)), Value("Smith, Jo")}}));
    EXPECT_EQ(Query(*db, "select  Sum(score) from scores"), (std::vector<Row>{{Value(-0.5)}}));
    EXPECT_EQ(db->TableDefs("scores").FieldByName("id").Type, db::dbLong);
    EXPECT_EQ(ErrorNumber([&] { Query(*db, "select * from [notes]"); }), 3078);
    EXPECT_EQ(ErrorNumber([&] { db->Execute("DELETE FROM scores"); }), 3027);

    // The copy into a SQLite file works from a text source.
    db::DBEngine::CreateDatabase(dir_.Path("out.db"))->Close();
    db->Execute("select * into [Scores] IN '" + dir_.Path("out.db") + "' from [scores]");
    auto out = db::DBEngine::OpenDatabase(dir_.Path("out.db"));
    EXPECT_EQ(Query(*out, "select * from Scores"), Query(*db, "select * from scores"));
}

// A file that is not valid UTF-8 is read in Windows-1252, as text written on Windows mostly is;
// a UTF-8 byte-order mark is not part of the first name.
TEST_F(TextImport, ReadsTextThatIsNotUtf8InWindows1252) {
    Write("ansi.csv", "Caf\xE9,Note\n\x80 5,\x93quoted\x94 \x85\n\x81\x8D,\xFF\n");
    Write("utf8.csv", "\xEF\xBB\xBFName,Note\ncaf\xC3\xA9,\xE2\x82\xAC\n");
    Write("split.csv", "Name\n\xC3\n\xA9\n");  // the halves of a character on two lines: not UTF-8
    auto db = db::DBEngine::OpenDatabase(dir_.path(), false, false, "Text;");
    EXPECT_EQ(db->TableDefs("ansi").Fields[0].Name, "Caf\u00e9");
    EXPECT_EQ(Query(*db, "select * from ansi"),
              (std::vector<Row>{{Value("\u20ac 5"), Value("\u201cquoted\u201d \u2026")}, {Value("\u0081\u008d"), Value("\u00ff")}}));
    EXPECT_EQ(db->TableDefs("utf8").Fields[0].Name, "Name");
    EXPECT_EQ(Query(*db, "select Name, Note from utf8"), (std::vector<Row>{{Value("caf\u00e9"), Value("\u20ac")}}));
    EXPECT_EQ(Query(*db, "select * from split"), (std::vector<Row>{{Value("\u00c3")}, {Value("\u00a9")}}));
}

TEST_F(TextImport, HonoursHeaderAndDelimiterOptionsAndRefusesBadFiles) {
    Write("a.txt", "1;x\n2;y\n");
    auto db = db::DBEngine::OpenDatabase(dir_.path(), false, false, "Text;HDR=NO;FMT=Delimited(;)");
    EXPECT_EQ(Query(*db, "select F1, F2 from a where F1 = 2"), (std::vector<Row>{{Value(int32_t(2)), Value("y")}}));

    Write("bad.csv", "a,b\n\"open,2\n");
    auto other = db::DBEngine::OpenDatabase(dir_.path(), false, false, "Text;");
    try {
        Query(*other, "select * from bad");
        ADD_FAILURE() << "an unclosed quote was read";
    } catch (const db::Error& e) {
        EXPECT_EQ(e.number(), 3274);
        EXPECT_NE(e.description().find("bad.csv"), std::string::npos) << e.description();
    }
    EXPECT_EQ(ErrorNumber([&] { db::DBEngine::OpenDatabase(dir_.Path("none"), false, false, "Text;"); }), 3044);
}

// The file is read through a buffer of a megabyte: records, quoted line breaks, doubled
// quotes and a CR LF pair that fall across its end, and one cell longer than the buffer, read
// as they would from a short file.
TEST_F(TextImport, RecordsAcrossTheReadBufferReadWhole) {
    std::string text = "id,note,n\r\n";
    std::vector<Row> expected;
    const std::string big(3 << 20, 'x');
    for (int i = 0; text.size() < (5u << 20); ++i) {
        std::string note = i % 3 == 0 ? "a \"\"q\"\"\nb" : i % 3 == 1 ? "plain" : "";
        if (i == 20000) note = big;
        text += std::to_string(i) + "," + (i % 3 == 0 ? "\"" + note + "\"" : note) + "," + std::to_string(i % 7) + "\r\n";
        expected.push_back({Value(int32_t(i)), i % 3 == 0 ? Value("a \"q\"\nb") : note.empty() ? Value() : Value(note),
                            Value(int32_t(i % 7))});
    }
    Write("big.csv", text);
    auto db = db::DBEngine::OpenDatabase(dir_.path(), false, false, "Text;");
    EXPECT_EQ(db->TableDefs("big").FieldByName("note").Type, db::dbMemo);
    const std::vector<Row> rows =
        RowsOf(db->OpenRecordset("select id, [note], n from big", db::dbOpenForwardOnly)->GetRows(int32_t(expected.size() + 1)));
    ASSERT_EQ(rows.size(), expected.size());
    for (size_t r = 0; r < rows.size(); ++r) ASSERT_EQ(rows[r], expected[r]) << "row " << r;
}

// A dBase III table: a 32-byte header, 32 bytes a field, the 0x0D end mark, then the rows.
// `driver`: the language-driver byte, which names the code page of its texts.
std::string DbfFile(const std::vector<std::tuple<std::string, char, int, int>>& fields,
                    const std::vector<std::string>& records, uint8_t driver = 0) {
    int recordLength = 1;
    for (const auto& f : fields) recordLength += std::get<2>(f);
    const int headerLength = 32 + 32 * int(fields.size()) + 1;
    std::string out(32, '\0');
    out[0] = 0x03;
    out[4] = char(records.size());
    out[8] = char(headerLength & 0xFF);
    out[9] = char(headerLength >> 8);
    out[10] = char(recordLength & 0xFF);
    out[11] = char(recordLength >> 8);
    out[29] = char(driver);
    for (const auto& [name, type, length, decimals] : fields) {
        std::string d(32, '\0');
        d.replace(0, name.size(), name);
        d[11] = type;
        d[16] = char(length);
        d[17] = char(decimals);
        out += d;
    }
    out += '\x0D';
    for (const std::string& r : records) out += r;
    return out + '\x1A';
}

// Texts and names in the code page the header names: the bytes 0x80, 0x92 and 0xE9 in each.
TEST_F(TextImport, ReadsDbaseTextsInTheirCodePage) {
    struct Case {
        uint8_t driver;
        const char* text;
    };
    const Case cases[] = {
        {0x00, "\u0080\u0092\u00e9"},  // none named: Latin-1
        {0x03, "\u20ac\u2019\u00e9"}, {0x57, "\u20ac\u2019\u00e9"},  // Windows-1252
        {0xC8, "\u20ac\u2019\u00e9"},  // Windows-1250
        {0xC9, "\u0402\u2019\u0439"},  // Windows-1251
        {0x01, "\u00c7\u00c6\u0398"},  // DOS 437
        {0x02, "\u00c7\u00c6\u00da"},  // DOS 850
        {0x65, "\u0410\u0422\u0449"},  // DOS 866
    };
    for (const Case& c : cases) {
        testsupport::TempDir dir;
        std::ofstream(dir.Path("t.dbf"), std::ios::binary) << DbfFile({{"N\xE9", 'C', 4, 0}}, {" \x80\x92\xE9 "}, c.driver);
        auto db = db::DBEngine::OpenDatabase(dir.path(), false, false, "dBase IV;");
        EXPECT_EQ(Query(*db, "select * from t"), (std::vector<Row>{{Value(c.text)}})) << int(c.driver);
        EXPECT_EQ(db->TableDefs("t").Fields[0].Name, std::string("N") + std::string(c.text).substr(std::string(c.text).size() - 2))
            << int(c.driver);
    }
}

TEST_F(TextImport, ReadsDbaseTables) {
    Write("sales.dbf", DbfFile({{"NAME", 'C', 6, 0}, {"QTY", 'N', 4, 0}, {"PRICE", 'N', 7, 2}, {"PAID", 'L', 1, 0}, {"ON", 'D', 8, 0}},
                               {" caf\xE9     3  12.50T20240131", "*gone     1   1.00F20240101", " tea     12       ?        "}));
    Write("broken.dbf", "\x03 not a table");
    auto db = db::DBEngine::OpenDatabase(dir_.path(), false, false, "dBase IV;");
    EXPECT_EQ(db->TableNames(), (std::vector<std::string>{"broken", "sales"}));
    db::TableDef sales = db->TableDefs("SALES");
    EXPECT_EQ(sales.FieldByName("name").Type, db::dbText);
    EXPECT_EQ(sales.FieldByName("qty").Type, db::dbLong);
    EXPECT_EQ(sales.FieldByName("price").Type, db::dbDouble);
    EXPECT_EQ(sales.FieldByName("paid").Type, db::dbBoolean);
    EXPECT_EQ(sales.FieldByName("on").Type, db::dbDate);
    EXPECT_EQ(Query(*db, "select * from sales"),
              (std::vector<Row>{{Value("caf\u00e9"), Value(int32_t(3)), Value(12.5), Value(true), Value(db::Date{45322})},
                                {Value("tea"), Value(int32_t(12)), Value(), Value(), Value()}}));
    EXPECT_EQ(ErrorNumber([&] { Query(*db, "select * from broken"); }), 3274);

    // A whole-number field holding what no Long can be is refused, not converted.
    for (const char* qty : {"9e99", "2.5 "}) {
        Write("odd.dbf", DbfFile({{"QTY", 'N', 4, 0}}, {std::string(" ") + qty}));
        auto odd = db::DBEngine::OpenDatabase(dir_.path(), false, false, "dBase IV;");
        EXPECT_EQ(ErrorNumber([&] { Query(*odd, "select * from odd"); }), 3274) << qty;
    }
}

// A day its month does not have is not a date: in a text file the column stays text, so two
// texts never become one value; in a dBase date field it is a damaged cell, named as such.
TEST_F(TextImport, ImpossibleDatesAreNotDates) {
    Write("days.csv", "Day\n2024-02-30\n2024-03-01\n");
    auto text = db::DBEngine::OpenDatabase(dir_.path(), false, false, "Text;");
    EXPECT_EQ(text->TableDefs("days").FieldByName("Day").Type, db::dbText);
    EXPECT_EQ(Query(*text, "select distinct Day from days"), (std::vector<Row>{{Value("2024-02-30")}, {Value("2024-03-01")}}));

    Write("days.dbf", DbfFile({{"ON", 'D', 8, 0}}, {" 20230431"}));
    auto dbase = db::DBEngine::OpenDatabase(dir_.path(), false, false, "dBase IV;");
    try {
        Query(*dbase, "select * from days");
        ADD_FAILURE() << "20230431 was read";
    } catch (const db::Error& e) {
        EXPECT_EQ(e.number(), 3274);
        EXPECT_NE(e.description().find("days.dbf"), std::string::npos) << e.description();
        EXPECT_NE(e.description().find("20230431"), std::string::npos) << e.description();
    }
    // Blank and zero dates stay empty.
    Write("days.dbf", DbfFile({{"ON", 'D', 8, 0}}, {"         ", " 00000000"}));
    dbase = db::DBEngine::OpenDatabase(dir_.path(), false, false, "dBase IV;");
    EXPECT_EQ(Query(*dbase, "select * from days"), (std::vector<Row>{{Value()}, {Value()}}));
}

// Import errors name the file, never the in-memory database the rows are copied into; dBase
// field names are made unique as text headers are.
TEST_F(TextImport, ErrorsNameTheFileAndDbaseNamesAreMadeUnique) {
    std::string header, row;
    for (int c = 0; c < 2001; ++c) header += (c ? ",c" : "c") + std::to_string(c), row += c ? ",1" : "1";
    Write("wide.csv", header + "\n" + row + "\n");
    auto text = db::DBEngine::OpenDatabase(dir_.path(), false, false, "Text;");
    try {
        Query(*text, "select * from wide");
        ADD_FAILURE() << "2001 columns were read";
    } catch (const db::Error& e) {
        EXPECT_EQ(e.number(), 3190);
        EXPECT_NE(e.description().find(dir_.Path("wide.csv")), std::string::npos) << e.description();
        EXPECT_EQ(e.description().find(":memory:"), std::string::npos) << e.description();
    }

    Write("names.dbf", DbfFile({{"QTY", 'N', 2, 0}, {"qty", 'N', 2, 0}, {"", 'C', 1, 0}}, {"  1 2x"}));
    auto dbase = db::DBEngine::OpenDatabase(dir_.path(), false, false, "dBase IV;");
    std::vector<std::string> names;
    for (const db::Field& f : dbase->TableDefs("names").Fields) names.push_back(f.Name);
    EXPECT_EQ(names, (std::vector<std::string>{"QTY", "qty2", "F3"}));
    EXPECT_EQ(Query(*dbase, "select * from names"), (std::vector<Row>{{Value(int32_t(1)), Value(int32_t(2)), Value("x")}}));
}

// A file that exists but may not be read says so, on every way in. Root reads any file, so the
// opening runs in a child process that gives up root first.
TEST_F(TextImport, FilesThatCannotBeReadSaySo) {
    ::chmod(dir_.path().c_str(), 0755);
    Write("t.csv", "a\n1\n");
    Write("t.dbf", DbfFile({{"QTY", 'N', 2, 0}}, {" 1"}));
    testsupport::CreateSqliteFile(dir_.Path("t.db"), {{"T", {{"A", db::dbText, 5}}, {{"x"}}}});
    struct Case {
        std::string file;
        std::function<void()> open;
    };
    const Case cases[] = {
        {"t.db", [&] { db::DBEngine::OpenDatabase(dir_.Path("t.db")); }},
        {"t.csv", [&] { db::DBEngine::OpenDatabase(dir_.path(), false, false, "Text;")->OpenRecordset("select * from t"); }},
        {"t.dbf",
         [&] { db::DBEngine::OpenDatabase(dir_.path(), false, false, "dBase IV;")->OpenRecordset("select * from t"); }},
    };
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    for (const Case& c : cases) {
        ::chmod(dir_.Path(c.file).c_str(), 0);
        EXPECT_EXIT(
            {
                if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) std::_Exit(3);
                try {
                    c.open();
                } catch (const db::Error& e) {
                    std::fprintf(stderr, "%d %s\n", e.number(), e.description().c_str());
                    const bool said = e.description().find("'" + dir_.Path(c.file) + "' cannot be read") != std::string::npos;
                    std::_Exit(e.number() == 3051 && said ? 0 : 1);
                }
                std::_Exit(2);
            },
            ::testing::ExitedWithCode(0), "")
            << c.file;
    }
}

}  // namespace
