// A table definition says whether its rows can be edited: a table of a file opened for writing
// can, a view, a table of a read-only connection, a table of a file the user may only read
// (which SQLite opens read-only without a word) and an imported table cannot.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/db/database.h"
#include "tests/support/db_contract.h"

namespace {

TEST(TableUpdatable, OnlyTablesOfAWritableFileAre) {
    testsupport::TempDir dir;
    const std::string file = dir.Path("t.db");
    testsupport::CreateSqliteFile(file, {{"T", {{"A", db::dbLong}}, {{db::Value(int32_t(1))}}}});
    sqlite3* h = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &h), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(h, "CREATE VIEW V AS SELECT A FROM T", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(h);

    auto writable = db::DBEngine::OpenDatabase(file);
    EXPECT_TRUE(writable->TableDefs("T").Updatable);
    EXPECT_FALSE(writable->TableDefs("V").Updatable);
    EXPECT_FALSE(db::DBEngine::OpenDatabase(file, false, true)->TableDefs("T").Updatable);
    writable->Close();

    testsupport::WriteFile(dir.Path("t.csv"), "A\n1\n");
    auto text = db::DBEngine::OpenDatabase(dir.path(), false, false, "Text;");
    ASSERT_EQ(text->TableNames().size(), 1u);
    EXPECT_FALSE(text->TableDefs(text->TableNames()[0]).Updatable);
}

TEST(TableUpdatable, NotInAFileTheUserMayOnlyRead) {
    if (geteuid() == 0) GTEST_SKIP() << "the superuser writes any file";
    testsupport::TempDir dir;
    const std::string file = dir.Path("t.db");
    testsupport::CreateSqliteFile(file, {{"T", {{"A", db::dbLong}}, {{db::Value(int32_t(1))}}}});
    ASSERT_EQ(chmod(file.c_str(), 0444), 0);
    EXPECT_FALSE(db::DBEngine::OpenDatabase(file)->TableDefs("T").Updatable);
}

}  // namespace
