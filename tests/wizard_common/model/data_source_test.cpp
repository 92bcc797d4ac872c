// The shared data-source rules: folder and table of a one-table-per-file name, the "_d" rule,
// the ODBC lists and the connect string.
#include "wizard_common/model/data_source.h"

#include <gtest/gtest.h>

#include "platform/db/database.h"

namespace wizard {
namespace {

TEST(StripFileName, FolderAndTableOfAPath) {
    struct Case { std::string path, folder, table; };
    const Case cases[] = {
        {"/d/cars.dbf", "/d", "cars"},
        {"/d/cars.v2.dbf", "/d", "cars"},
        // No extension: the whole name, never the table of a file chosen before.
        {"/d/cars", "/d", "cars"},
        // No folder: the path as it is, the preselection as it was.
        {"cars.dbf", "cars.dbf", "earlier"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        std::string table = "earlier";
        EXPECT_EQ(StripFileName(c.path, table), c.folder);
        EXPECT_EQ(table, c.table);
    }
}

TEST(DataSourceRules, DiscretizedColumnReplacesItsSourceAndPreselectionIgnoresCase) {
    const std::vector<std::string> names = {"A", "B", "B_d", "C_d", "age", "Age_d", "B"};
    std::vector<bool> selected(names.size(), true);
    ApplyDiscretizedRule(names, selected);
    // The first B only; C_d without C and age (other case) change nothing.
    EXPECT_EQ(selected, (std::vector<bool>{true, false, true, true, true, true, true}));

    EXPECT_EQ(PreselectIndex({"cars", "SALES", "x"}, "sales"), 1);
    EXPECT_EQ(PreselectIndex({"Sales", "sales"}, "SALES"), 1);  // a later match wins
    EXPECT_EQ(PreselectIndex({"Sales"}, ""), -1);
    EXPECT_EQ(PreselectIndex({"Sales"}, "other"), -1);
    EXPECT_TRUE(IsOneTablePerFile(1) && IsOneTablePerFile(10) && IsOneTablePerFile(15));
    EXPECT_FALSE(IsOneTablePerFile(0) || IsOneTablePerFile(11) || IsOneTablePerFile(14) || IsOneTablePerFile(16));
}

TEST(OdbcConnect, GrammarOfTheConnectString) {
    struct Case { OdbcValues values; std::optional<std::string> connect; };
    const Case cases[] = {
        // An empty box leaves its key out, so the data source's stored value holds.
        {{1, "Sales", "", "", "u", "", ""}, "ODBC;DSN=Sales;UID=u;"},
        {{1, "Sales", "", "", "", "p", ""}, "ODBC;DSN=Sales;PWD=p;"},
        {{1, "Sales", "", "", "", "", ""}, "ODBC;DSN=Sales;"},
        {{0, "(None)", "D", "S", "", "", "B"}, "ODBC;Driver=D;Server=S;Database=B;"},
        {{0, "(None)", "D", "", "", "", ""}, "ODBC;Driver=D;Server=;"},
        // A data source wins over a driver and server typed beside it.
        {{2, "Sales", "D", "S", "u", "p", ""}, "ODBC;DSN=Sales;UID=u;PWD=p;"},
        {{0, "(None)", "", "S", "u", "p", ""}, std::nullopt},
        {{-1, "", "", "", "", "", ""}, std::nullopt},
        // A ";" would end the value: braced, and a "}" inside doubled.
        {{1, "Sales", "", "", "u", "a;b}c", ""}, "ODBC;DSN=Sales;UID=u;PWD={a;b}}c};"},
        {{1, "Sales", "", "", "u", "{x", ""}, "ODBC;DSN=Sales;UID=u;PWD={{x};"},
        {{1, "Sales", "", "", "u", "a}b", ""}, "ODBC;DSN=Sales;UID=u;PWD=a}b;"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.connect.value_or("(none)"));
        EXPECT_EQ(BuildOdbcConnect(c.values), c.connect);
    }
}

TEST(OdbcLists, DataSourcesThenTheirDriversThenTheOtherInstalledDrivers) {
    auto sources = [] {
        return std::vector<db::OdbcDataSource>{{"pg1", "PostgreSQL Unicode"}, {"pg2", "PostgreSQL Unicode"},
                                               {"lite", "SQLite3"}, {"pg3", "PostgreSQL Unicode"}};
    };
    auto drivers = [] {
        return std::vector<db::OdbcDriver>{{"SQLite3", {}}, {"PostgreSQL Unicode", {}}, {"MariaDB", {}}};
    };
    const OdbcLists lists = MakeOdbcLists(sources, drivers);
    EXPECT_EQ(lists.dataSources, (std::vector<std::string>{"(None)", "pg1", "pg2", "lite", "pg3"}));
    // Equal neighbours collapse; the drivers without a data source follow.
    EXPECT_EQ(lists.drivers,
              (std::vector<std::string>{"PostgreSQL Unicode", "SQLite3", "PostgreSQL Unicode", "MariaDB"}));

    // A driver manager without an environment: "(None)" alone.
    auto failing = []() -> std::vector<db::OdbcDataSource> { throw db::Error(3146, "ODBC--call failed."); };
    auto noDrivers = []() -> std::vector<db::OdbcDriver> { throw db::Error(3146, "ODBC--call failed."); };
    const OdbcLists none = MakeOdbcLists(failing, noDrivers);
    EXPECT_EQ(none.dataSources, std::vector<std::string>{"(None)"});
    EXPECT_TRUE(none.drivers.empty());
}

}  // namespace
}  // namespace wizard
