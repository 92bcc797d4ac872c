// Linked tables of an Access file: where a link's file is found (its stored path here, else a
// file of that name beside the front end, in any case), the links that are refused naming the
// link, and a split database's front end read through its links.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/db/access_links.h"
#include "platform/db/column_types.h"
#include "platform/db/database.h"
#include "tests/support/db_contract.h"
#include "tests/support/fixtures.h"

namespace {

namespace fs = std::filesystem;
using db::access::Link;
using testsupport::DbErrorNumber;

Link ToFile(const std::string& database, const std::string& connect = "") {
    return Link{"Linked", false, 0, database, connect, "Orders"};
}

TEST(AccessLinks, LinkedFileIsFoundWhereTheLinkSaysOrBesideTheFrontEnd) {
    testsupport::TempDir dir;
    const fs::path root(dir.path());
    fs::create_directories(root / "Sub");
    for (const char* f : {"front.accdb", "backend.accdb", "Sub/inner.accdb", "Upper.ACCDB"})
        testsupport::WriteFile((root / f).string(), "x");
    const std::string front = (root / "front.accdb").string();
    struct Case {
        std::string stored, connect;
        fs::path found;
    };
    const Case cases[] = {
        {"backend.accdb", "", root / "backend.accdb"},                // relative: from the front end's folder
        {"Sub\\inner.accdb", "", root / "Sub/inner.accdb"},
        {(root / "Sub/inner.accdb").string(), "", root / "Sub/inner.accdb"},
        {"Z:\\data\\backend.accdb", "", root / "backend.accdb"},      // another machine's path
        {"\\\\server\\share\\backend.accdb", "", root / "backend.accdb"},
        {"/nowhere/backend.accdb", "", root / "backend.accdb"},
        {"Z:\\data\\upper.accdb", "", root / "Upper.ACCDB"},          // the case as on disk
        {"", ";DATABASE=Z:\\backend.accdb", root / "backend.accdb"},  // the path in the connect text
    };
    for (const Case& c : cases)
        EXPECT_EQ(fs::path(db::access::LinkedAccessFile(front, ToFile(c.stored, c.connect))), c.found) << c.stored;

    std::string text;
    EXPECT_EQ(DbErrorNumber([&] { db::access::LinkedAccessFile(front, ToFile("Z:\\data\\absent.accdb")); }, &text),
              3024);
    for (const char* says : {"Could not find file 'Z:\\data\\absent.accdb'", "'Linked'", "'absent.accdb'"})
        EXPECT_NE(text.find(says), std::string::npos) << text;
    EXPECT_EQ(DbErrorNumber([&] { db::access::LinkedAccessFile(front, ToFile("C:\\x.xls", "Excel 8.0;HDR=YES;")); },
                            &text),
              3170);
    EXPECT_NE(text.find("'Linked'"), std::string::npos) << text;
    EXPECT_NE(text.find("Excel 8.0"), std::string::npos) << text;
}

// An ODBC link is refused naming the link and its source, never its password.
TEST(AccessLinks, OdbcLinksAreRefusedWithoutTheirPassword) {
    Link odbc{"Sales", true, 0, "", "ODBC;DSN=Shop;UID=ann;PWD={se;cret};DATABASE=shop", "dbo.Orders"};
    std::string text;
    EXPECT_EQ(DbErrorNumber([&] { db::access::LinkedAccessFile("/x/front.accdb", odbc); }, &text), 3251);
    for (const char* says : {"'Sales'", "'ODBC;DSN=Shop;UID=ann;DATABASE=shop'", "'dbo.Orders'"})
        EXPECT_NE(text.find(says), std::string::npos) << text;
    EXPECT_EQ(text.find("cret"), std::string::npos) << text;  // no piece of the password

    EXPECT_EQ(db::access::WithoutPassword("ODBC;DSN=a;Password=x;pwd = y;UID=u"), "ODBC;DSN=a;UID=u");
    EXPECT_EQ(db::access::WithoutPassword("DSN=a"), "DSN=a");
}

// made/frontend.accdb: a local table and two links, one to backend.accdb beside it, one to a
// file that does not exist.
TEST(AccessLinks, FrontEndListsItsLinksAndReadsThemFromTheBackEnd) {
    BNS_USE_SHARED_FIXTURES(fixtures);
    const std::string made = fixtures + "access/made/";
    auto db = db::DBEngine::OpenDatabase(made + "frontend.accdb", false, true, "");
    EXPECT_EQ(db->TableDefNames(), (std::vector<std::string>{"LinkedOrders", "Missing", "Notes"}));

    auto expectOrders = [](db::Database& front) {
        const db::TableDef def = front.TableDefs("LinkedOrders");
        ASSERT_EQ(def.Fields.size(), 4u);
        EXPECT_EQ(def.Fields[1].Name, "Customer");
        EXPECT_EQ(def.Fields[2].Type, db::dbCurrency);
        const vb::Array<db::Value> rows = front.OpenRecordset("LinkedOrders", db::dbOpenSnapshot)->GetRows(100);
        ASSERT_EQ(rows.UBound(2), 2);
        EXPECT_EQ(rows(1, 0).AsText(), "Alpha GmbH");
        EXPECT_EQ(rows(2, 0).ToDouble(), 10.5);
        EXPECT_EQ(rows(1, 1).AsText(), "Beta & Söhne");
        EXPECT_EQ(db::DateStorageText(rows(3, 1).AsDate().serial), "2020-02-29 08:30:00");
        for (int32_t c = 1; c < 4; ++c) EXPECT_TRUE(rows(c, 2).IsNull()) << c;
    };
    expectOrders(*db);
    // Jet SQL reads it like a local table.
    const vb::Array<db::Value> counted =
        db->OpenRecordset("select Count(*) from LinkedOrders where Amount > 5", db::dbOpenSnapshot)->GetRows(10);
    EXPECT_EQ(counted(0, 0).ToDouble(), 1);

    std::string text;
    EXPECT_EQ(DbErrorNumber([&] { db->OpenRecordset("Missing", db::dbOpenSnapshot); }, &text), 3024);
    EXPECT_NE(text.find("'absent.accdb'"), std::string::npos) << text;
    EXPECT_NE(text.find("'Missing'"), std::string::npos) << text;
    EXPECT_EQ(DbErrorNumber([&] { db->OpenRecordset("Notes", db::dbOpenSnapshot)->GetRows(10); }), 0);

    // Copied elsewhere with the back end under another case, as a Windows folder may hold it.
    testsupport::TempDir dir;
    fs::copy_file(made + "frontend.accdb", dir.Path("frontend.accdb"));
    fs::copy_file(made + "backend.accdb", dir.Path("BACKEND.ACCDB"));
    auto copy = db::DBEngine::OpenDatabase(dir.Path("frontend.accdb"), false, true, "");
    expectOrders(*copy);
    // A back end that is not an Access file names the link and the file.
    testsupport::TempDir other;
    fs::copy_file(made + "frontend.accdb", other.Path("frontend.accdb"));
    testsupport::WriteFile(other.Path("backend.accdb"), "not a database");
    auto broken = db::DBEngine::OpenDatabase(other.Path("frontend.accdb"), false, true, "");
    EXPECT_EQ(DbErrorNumber([&] { broken->OpenRecordset("LinkedOrders", db::dbOpenSnapshot); }, &text), 3343);
    EXPECT_NE(text.find("'LinkedOrders'"), std::string::npos) << text;
}

}  // namespace
