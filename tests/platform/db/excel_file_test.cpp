// Excel workbooks opened with "Excel 3.0;" to "Excel 8.0;": a table per sheet, the first row
// naming the fields, types from the cells, empty cells Null; plain sheet files of the older
// versions; and the files that cannot be read. The workbooks in xls/ are made by xls/make_xls.py (python3-xlwt).
#include <gtest/gtest.h>

#include "tests/support/db_contract.h"
#include "tests/support/fixtures.h"

namespace {

using db::Value;
using testsupport::RowsOf;
using Row = std::vector<Value>;

const std::string kXls = BNS_TESTS_DIR "/platform/db/xls/";

std::vector<Row> Query(db::Database& db, const std::string& sql) {
    return RowsOf(db.OpenRecordset(sql, db::dbOpenSnapshot)->GetRows(1000));
}

using testsupport::DbErrorNumber;

TEST(ExcelFile, Excel97WorkbookIsATablePerSheet) {
    auto db = db::DBEngine::OpenDatabase(kXls + "excel8.xls", false, true, "Excel 8.0;");
    EXPECT_EQ(db->Connect(), "Excel 8.0;");
    EXPECT_EQ(db->TableDefNames(), (std::vector<std::string>{"Cars", "Empty", "Price List"}));
    EXPECT_TRUE(db->QueryDefNames().empty());

    db::TableDef cars = db->TableDefs("cars");
    std::vector<std::pair<std::string, db::FieldType>> fields;
    for (const db::Field& f : cars.Fields) fields.emplace_back(f.Name, f.Type);
    EXPECT_EQ(fields, (std::vector<std::pair<std::string, db::FieldType>>{{"Name", db::dbText},
                                                                          {"Doors", db::dbLong},
                                                                          {"Price", db::dbDouble},  // 9800 and 12500.5
                                                                          {"Bought", db::dbDate},
                                                                          {"Note", db::dbMemo},     // 300 characters
                                                                          {"Mixed", db::dbText},    // 1 and "two"
                                                                          {"F7", db::dbText}}));    // no header
    const Value null;
    EXPECT_EQ(Query(*db, "select * from Cars"),
              (std::vector<Row>{
                  {Value("Saab 900"), Value(int32_t(3)), Value(12500.5), Value(db::Date{34471}), Value("red"), Value("1"), Value("x")},
                  {Value("Volvo 240"), Value(int32_t(5)), Value(9800.0), Value(db::Date{32875}), null, Value("two"), null},
                  {Value("K\u00e4fer"), null, Value(1500.25), null, Value(std::string(300, 'x')), null, null}}));
    EXPECT_EQ(Query(*db, "select  Count(*) from Cars where Doors = 3"), (std::vector<Row>{{Value(int32_t(1))}}));

    // A sheet name with a blank; a repeated header is made unique; an empty sheet has one field.
    EXPECT_EQ(Query(*db, "select Item, Item2 from [Price List]"), (std::vector<Row>{{Value("tea"), Value(int32_t(2))}}));
    EXPECT_EQ(db->TableDefs("Empty").Fields.size(), 1u);
    EXPECT_TRUE(Query(*db, "select * from [Empty]").empty());

    EXPECT_EQ(DbErrorNumber([&] { db->Execute("DELETE FROM Cars"); }), 3027);
}

TEST(ExcelFile, Excel5WorkbookReads) {
    auto db = db::DBEngine::OpenDatabase(kXls + "excel5.xls", false, true, "Excel 5.0;");
    EXPECT_EQ(db->TableDefNames(), std::vector<std::string>{"Towns"});
    EXPECT_EQ(Query(*db, "select Town, People from Towns"),
              (std::vector<Row>{{Value("Aarau"), Value(21000.0)}, {Value("Baden"), Value(19500.5)}}));
}

// Plain sheet files of Excel 2.1, 3.0 and 4.0: one table named by the file, dates found by
// their number format, whole numbers as INTEGER or RK records, a blank cell.
TEST(ExcelFile, PlainSheetsOfExcel2To4Read) {
    for (const char* name : {"excel2", "excel3", "excel4"}) {
        SCOPED_TRACE(name);
        auto db = db::DBEngine::OpenDatabase(kXls + name + ".xls", false, true, "Excel 4.0;");
        EXPECT_EQ(db->TableDefNames(), std::vector<std::string>{name});
        db::TableDef sheet = db->TableDefs(name);
        ASSERT_EQ(sheet.Fields.size(), 3u);
        EXPECT_EQ(sheet.Fields[1].Type, db::dbDouble);  // 18000 and 43500.5
        EXPECT_EQ(sheet.Fields[2].Type, db::dbDate);
        EXPECT_EQ(Query(*db, std::string("select Town, People, Founded from ") + name),
                  (std::vector<Row>{{Value("Z\u00fcrich"), Value(18000.0), Value(db::Date{36526})},
                                    {Value("Thun"), Value(43500.5), Value()}}));
    }
    // A sheet cut short in the middle of a record.
    testsupport::TempDir dir;
    testsupport::WriteFile(dir.Path("cut.xls"), testsupport::ReadFile(kXls + "excel3.xls").substr(0, 150));
    std::string text;
    EXPECT_EQ(DbErrorNumber([&] { db::DBEngine::OpenDatabase(dir.Path("cut.xls"), false, true, "Excel 3.0;"); }, &text), 3274);
    EXPECT_NE(text.find("cut.xls"), std::string::npos) << text;
}

TEST(ExcelFile, FilesThatCannotBeReadFailNamingThem) {
    testsupport::TempDir dir;
    testsupport::WriteFile(dir.Path("notes.xls"), "not a workbook at all, just some text");
    testsupport::WriteFile(dir.Path("new.xls"), std::string("PK\x03\x04", 4) + "zip");
    struct Case {
        std::string file, connect;
        int32_t number;
    };
    const std::vector<Case> cases{
        {kXls + "protected.xls", "Excel 8.0;", 3051},  // no password can open it here
        {dir.Path("notes.xls"), "Excel 8.0;", 3274},
        {dir.Path("new.xls"), "Excel 8.0;", 3170},  // an .xlsx workbook
        {dir.Path("none.xls"), "Excel 8.0;", 3024},
    };
    for (const Case& c : cases) {
        std::string text;
        EXPECT_EQ(DbErrorNumber([&] { db::DBEngine::OpenDatabase(c.file, false, true, c.connect); }, &text), c.number)
            << c.file;
        EXPECT_NE(text.find(c.file), std::string::npos) << text;
    }
    EXPECT_EQ(DbErrorNumber([&] { db::DBEngine::OpenDatabase(dir.path(), false, true, "Paradox 4.X;"); }), 3170);
    EXPECT_EQ(DbErrorNumber([&] { db::DBEngine::OpenDatabase(kXls + "excel8.xls", false, true, "Excel 12.0 Xml;"); }), 3170);
}

// Real workbooks through the layer: formula results as stored, error cells Null, Booleans
// Yes/No where a column holds only them, every sheet listed, empty sheets without rows.
TEST(ExcelFile, RealWorkbooksReadAsStored) {
    BNS_USE_SHARED_FIXTURES(fixtures);
    const std::string xls = fixtures + "xls/";
    auto types = db::DBEngine::OpenDatabase(xls + "types.xls", false, true, "Excel 8.0;");
    std::vector<std::pair<std::string, db::FieldType>> fields;
    for (const db::Field& f : types->TableDefs("guess_me").Fields) fields.emplace_back(f.Name, f.Type);
    EXPECT_EQ(fields, (std::vector<std::pair<std::string, db::FieldType>>{
                          {"blank", db::dbText}, {"boolean", db::dbBoolean}, {"date", db::dbDate}, {"numeric", db::dbDouble}, {"text", db::dbText}}));
    // A column of numbers, texts, Booleans, dates and errors is Text; a formula holds its result.
    const auto smorgasbord = Query(*types, "select [hello world] from smorgasbord");
    ASSERT_EQ(smorgasbord.size(), 19u);
    EXPECT_EQ(smorgasbord[0][0], Value("HELLO WORLD"));
    EXPECT_EQ(smorgasbord[4][0], Value("1.69"));   // =1.3*1.3
    EXPECT_EQ(smorgasbord[7][0], Value("True"));   // a formula's Boolean
    EXPECT_EQ(smorgasbord[9][0], Value("2016-02-26 00:00:00"));  // in the 1904 date system
    EXPECT_EQ(smorgasbord[11][0], Value());        // #N/A
    EXPECT_EQ(Query(*types, "select Count(*) from guess_me where boolean = True"), (std::vector<Row>{{Value(int32_t(2))}}));

    auto missing = db::DBEngine::OpenDatabase(xls + "missing-values.xls", false, true, "Excel 8.0;");
    EXPECT_EQ(Query(*missing, "select y from Sheet1"), (std::vector<Row>{{Value("NA")}, {Value("1")}, {Value("2")}}));

    auto names = db::DBEngine::OpenDatabase(xls + "no-yes-col-names.xls", false, true, "Excel 8.0;");
    EXPECT_EQ(names->TableDefNames(), (std::vector<std::string>{"empty-col-names", "no-col-names", "yes-col-names"}));
    EXPECT_EQ(Query(*names, "select F1, F2 from [empty-col-names]"), (std::vector<Row>{{Value("a"), Value("b")}}));

    auto mini = db::DBEngine::OpenDatabase(xls + "utf8-sheet-names.xls", false, true, "Excel 8.0;");
    EXPECT_EQ(mini->TableDefNames(), (std::vector<std::string>{"\u00b5", "\u2202"}));

    auto empty = db::DBEngine::OpenDatabase(xls + "empty-sheets.xls", false, true, "Excel 8.0;");
    EXPECT_EQ(empty->TableDefs("Sheet2").Fields.size(), 1u);
    EXPECT_TRUE(Query(*empty, "select * from Sheet3").empty());
    EXPECT_EQ(Query(*empty, "select Count(*) from Sheet1"), (std::vector<Row>{{Value(int32_t(23))}}));
}

// A compound file whose sector chains are damaged is refused naming the file, in the reader
// process (the program itself never parses it).
TEST(ExcelFile, DamagedCompoundFileIsRefusedNamingIt) {
    testsupport::TempDir dir;
    std::string bytes = testsupport::ReadFile(kXls + "excel8.xls");
    for (size_t at = 0x4C; at < 0x200 && at < bytes.size(); ++at) bytes[at] = char(0xFE);  // the first FAT sectors
    testsupport::WriteFile(dir.Path("damaged.xls"), bytes);
    testsupport::WriteFile(dir.Path("short.xls"), bytes.substr(0, 600));
    for (const char* name : {"damaged.xls", "short.xls"}) {
        std::string text;
        EXPECT_EQ(DbErrorNumber([&] { db::DBEngine::OpenDatabase(dir.Path(name), false, true, "Excel 8.0;"); }, &text), 3274) << name;
        EXPECT_NE(text.find(dir.Path(name)), std::string::npos) << text;
    }
}

}  // namespace
