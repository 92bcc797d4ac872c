// Delimited text files opened with the "Text;" connect: the folder is the database, each file
// a table with column types guessed from its values, read-only, and a source for the copy into
// a SQLite file.
#include <gtest/gtest.h>

#include <fstream>

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
    int32_t ErrorNumber(const std::function<void()>& f) {
        try {
            f();
        } catch (const db::Error& e) {
            return e.number();
        }
        return 0;
    }
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

}  // namespace
