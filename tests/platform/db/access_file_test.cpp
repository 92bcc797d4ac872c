// Real Access files (a Jet 3 .mdb and an ACE .accdb written by Access) opened with the empty
// connect: every table, type and Null as mdb-export of mdbtools reads the same file, system
// tables left out of the lists, read-only, and the errors the programs handle by number; their
// stored queries listed, and the select queries opened with the rows that the same SELECT
// gives over the tables exported by mdbtools into SQLite.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <set>
#include <sstream>

#include "platform/db/column_types.h"
#include "tests/support/db_contract.h"
#include "tests/support/fixtures.h"

namespace {

using db::Value;
using Cell = std::optional<std::string>;  // nothing: Null

// The CSV mdb-export writes: texts quoted with doubled quotes (and holding line breaks), Null
// as an unquoted NULL, dates as "yyyy-mm-dd hh:nn:ss", OLE objects as "".
std::vector<std::vector<Cell>> MdbExport(const std::string& file, const std::string& table) {
    const std::string command = "mdb-export -D '%Y-%m-%d %H:%M:%S' -T '%Y-%m-%d %H:%M:%S' -0 NULL -b strip '" + file +
                                "' '" + table + "'";
    std::string out;
    if (FILE* p = ::popen(command.c_str(), "r")) {
        char buffer[65536];
        while (size_t n = std::fread(buffer, 1, sizeof buffer, p)) out.append(buffer, n);
        EXPECT_EQ(::pclose(p), 0) << command;
    }
    std::vector<std::vector<Cell>> rows;
    std::vector<Cell> row;
    std::string cell;
    bool quoted = false, inQuotes = false;
    auto endCell = [&] {
        row.push_back(!quoted && cell == "NULL" ? Cell() : Cell(cell));
        cell.clear();
        quoted = false;
    };
    for (size_t i = 0; i < out.size(); ++i) {
        const char c = out[i];
        if (inQuotes) {
            if (c == '"' && i + 1 < out.size() && out[i + 1] == '"') cell += out[++i];
            else if (c == '"') inQuotes = false;
            else cell += c;
        } else if (c == '"') {
            inQuotes = quoted = true;
        } else if (c == ',') {
            endCell();
        } else if (c == '\n') {
            endCell();
            rows.push_back(std::move(row));
            row.clear();
        } else {
            cell += c;
        }
    }
    return rows;
}

// Our cell against mdb-export's text of it.
void ExpectSame(const Value& ours, const Cell& theirs, db::FieldType type, const std::string& where) {
    SCOPED_TRACE(where);
    if (type == db::dbLongBinary) {  // OLE objects are not read
        EXPECT_TRUE(ours.IsNull());
        return;
    }
    if (!theirs) {
        EXPECT_TRUE(ours.IsNull());
        return;
    }
    ASSERT_FALSE(ours.IsNull()) << *theirs;
    const std::string& t = *theirs;
    switch (ours.kind()) {
        case Value::Kind::Boolean: EXPECT_EQ(ours.AsBool() ? "1" : "0", t); break;
        case Value::Kind::Date: EXPECT_EQ(db::DateStorageText(ours.AsDate().serial), t); break;
        case Value::Kind::Single: EXPECT_EQ(ours.AsSingle(), std::stof(t)) << t; break;
        case Value::Kind::Double: EXPECT_NEAR(ours.AsDoubleValue(), std::stod(t), 1e-9 * std::max(1.0, std::fabs(std::stod(t)))); break;
        case Value::Kind::Integer: EXPECT_EQ(std::to_string(ours.AsInteger()), t); break;
        case Value::Kind::Long: EXPECT_EQ(std::to_string(ours.AsLong()), t); break;
        case Value::Kind::Text: EXPECT_EQ(ours.AsText(), t); break;
        default: ADD_FAILURE() << "unexpected kind";
    }
}

void ExpectTableAsMdbExport(db::Database& db, const std::string& file, const std::string& table) {
    SCOPED_TRACE(table);
    const auto theirs = MdbExport(file, table);
    ASSERT_FALSE(theirs.empty());
    db::TableDef def = db.TableDefs(table);
    ASSERT_EQ(def.Fields.size(), theirs[0].size());
    for (size_t c = 0; c < def.Fields.size(); ++c) EXPECT_EQ(def.Fields[c].Name, theirs[0][c].value_or(""));
    auto rs = db.OpenRecordset("select * from [" + table + "]", db::dbOpenSnapshot);
    vb::Array<Value> ours = rs->GetRows(1000000);
    ASSERT_EQ(size_t(ours.UBound(2) + 1), theirs.size() - 1);
    for (size_t r = 1; r < theirs.size(); ++r)
        for (size_t c = 0; c < def.Fields.size(); ++c)
            ExpectSame(ours(int32_t(c), int32_t(r - 1)), theirs[r][c], def.Fields[c].Type,
                       def.Fields[c].Name + " row " + std::to_string(r));
}

using testsupport::DbErrorNumber;

TEST(AccessFile, Jet3TablesReadAsMdbExportReadsThem) {
    BNS_USE_SHARED_FIXTURES(fixtures);
    const std::string kFixtures = fixtures + "access/";
    const std::string file = kFixtures + "nwind.mdb";
    auto db = db::DBEngine::OpenDatabase(file, false, true, "");
    EXPECT_EQ(db->Name(), file);
    EXPECT_EQ(db->Connect(), "");
    const std::vector<std::string> tables{"Categories", "Customers", "Employees",  "Order Details", "Orders",
                                          "Products",   "Shippers",  "Suppliers", "Umsätze"};
    EXPECT_EQ(db->TableDefNames(), tables);  // MSysObjects and the other MSys* tables left out
    EXPECT_EQ(db->TableNames(), tables);
    for (const std::string& t : tables) ExpectTableAsMdbExport(*db, file, t);

    // Jet's type codes and text sizes.
    db::TableDef details = db->TableDefs("order details");
    EXPECT_EQ(details.FieldByName("OrderID").Type, db::dbLong);
    EXPECT_EQ(details.FieldByName("UnitPrice").Type, db::dbCurrency);
    EXPECT_EQ(details.FieldByName("Quantity").Type, db::dbInteger);
    EXPECT_EQ(details.FieldByName("Discount").Type, db::dbSingle);
    db::TableDef orders = db->TableDefs("Orders");
    EXPECT_EQ(orders.FieldByName("OrderDate").Type, db::dbDate);
    EXPECT_EQ(orders.FieldByName("CustomerID").Type, db::dbText);
    EXPECT_EQ(orders.FieldByName("CustomerID").Size, 5);
    EXPECT_EQ(db->TableDefs("Products").FieldByName("Discontinued").Type, db::dbBoolean);
    EXPECT_EQ(db->TableDefs("Categories").FieldByName("Description").Type, db::dbMemo);
    EXPECT_EQ(db->TableDefs("Categories").FieldByName("Picture").Type, db::dbLongBinary);

    // Jet SQL over the copy: counts grouped without regard to case, Nulls first.
    auto rs = db->OpenRecordset("select  Count(*) , ShipRegion from Orders group by ShipRegion", db::dbOpenSnapshot);
    vb::Array<Value> groups = rs->GetRows(1000);
    EXPECT_TRUE(groups(1, 0).IsNull());
    auto nulls = db->OpenRecordset("select  Count(*) from Orders where ShipRegion is null", db::dbOpenSnapshot);
    EXPECT_EQ(groups(0, 0), nulls->GetRows(1)(0, 0));

    // Read-only, whatever the caller asked for; a copy out into a SQLite file works.
    auto writable = db::DBEngine::OpenDatabase(file, false, false, "");
    EXPECT_EQ(DbErrorNumber([&] { writable->Execute("DELETE FROM Shippers"); }), 3027);
    testsupport::TempDir dir;
    db::DBEngine::CreateDatabase(dir.Path("out.db"))->Close();
    db->Execute("select * into [Shippers] IN '" + dir.Path("out.db") + "' from [Shippers]");
    auto out = db::DBEngine::OpenDatabase(dir.Path("out.db"));
    EXPECT_EQ(out->OpenRecordset("Shippers", db::dbOpenSnapshot)->GetRows(100),
              db->OpenRecordset("Shippers", db::dbOpenSnapshot)->GetRows(100));
    EXPECT_EQ(DbErrorNumber([&] { db->OpenRecordset("select * from [No Such Table]"); }), 3078);
}

TEST(AccessFile, AceTableWithBlankInItsNameReadsAsMdbExportReadsIt) {
    BNS_USE_SHARED_FIXTURES(fixtures);
    const std::string kFixtures = fixtures + "access/";
    const std::string file = kFixtures + "ASampleDatabase.accdb";
    auto db = db::DBEngine::OpenDatabase(file, false, true, ";pwd=ignored");  // no password is asked for
    EXPECT_EQ(db->TableDefNames(), std::vector<std::string>{"Asset Items"});
    ExpectTableAsMdbExport(*db, file, "Asset Items");
    db::TableDef items = db->TableDefs("Asset Items");
    EXPECT_EQ(items.FieldByName("Asset No").Size, 5);
    EXPECT_EQ(items.FieldByName("Cost").Type, db::dbCurrency);
    EXPECT_EQ(items.FieldByName("Comments").Type, db::dbMemo);
}

TEST(AccessFile, UnreadableCatalogIsDamagedAndRepairIsRefused) {
    BNS_USE_SHARED_FIXTURES(fixtures);
    const std::string kFixtures = fixtures + "access/";
    testsupport::TempDir dir;
    const std::string copy = dir.Path("broken.mdb");
    std::string bytes = testsupport::ReadFile(kFixtures + "nwind.mdb");
    ASSERT_GT(bytes.size(), 3u * 2048);
    // Jet 3 pages are 2 KB; page 2 holds the catalog's table definition.
    std::fill(bytes.begin() + 2 * 2048, bytes.begin() + 3 * 2048, '\xFF');
    testsupport::WriteFile(copy, bytes);

    std::string text;
    EXPECT_EQ(DbErrorNumber([&] { db::DBEngine::OpenDatabase(copy, false, true, ""); }, &text), 3049);
    EXPECT_NE(text.find(copy), std::string::npos) << text;
    // Read-only here: the repair offer ends in a plain error, not in another 3049.
    EXPECT_EQ(DbErrorNumber([&] { db::DBEngine::RepairDatabase(copy); }, &text), 3027);
    EXPECT_NE(text.find(copy), std::string::npos) << text;
    EXPECT_EQ(testsupport::ReadFile(copy), bytes);
}

// A catalog on which libmdb loops for minutes: the reader is stopped after its time limit and
// the open refused as a damaged file, which the wizards offer to repair.
TEST(AccessFile, CatalogThatKeepsTheReaderBusyIsDamaged) {
    BNS_USE_SHARED_FIXTURES(fixtures);
    const std::string file = fixtures + "access/hostile/damaged-catalog.mdb";
    std::string text;
    EXPECT_EQ(DbErrorNumber([&] { db::DBEngine::OpenDatabase(file, false, true, ""); }, &text), 3049);
    EXPECT_NE(text.find("'" + file + "'"), std::string::npos) << text;
    EXPECT_NE(text.find("may be corrupt"), std::string::npos) << text;
    // The stopped reader is replaced: the next file opens with its tables and queries.
    auto next = db::DBEngine::OpenDatabase(fixtures + "access/queryTestV2003.mdb", false, true, "");
    EXPECT_EQ(next->TableDefNames().size(), 3u);
    EXPECT_FALSE(next->QueryDefNames().empty());
}

// A reader that crashes, on the catalog or on a table opened later, is a damaged file too, and
// the program goes on. A script that kills itself stands in for a reader that libmdb crashes.
TEST(AccessFile, ReaderThatCrashesIsDamaged) {
    BNS_USE_SHARED_FIXTURES(fixtures);
    testsupport::TempDir dir;
    const std::string file = dir.Path("copy.mdb");
    testsupport::WriteFile(file, testsupport::ReadFile(fixtures + "access/queryTestV2003.mdb"));
    const std::string crasher = dir.Path("crashing_reader");
    testsupport::WriteFile(crasher, "#!/bin/sh\nkill -SEGV $$\n");
    std::filesystem::permissions(crasher, std::filesystem::perms::owner_all);
    struct NamedReader {
        explicit NamedReader(const std::string& path) { ::setenv("BNSUITE_READER", path.c_str(), 1); }
        ~NamedReader() { ::unsetenv("BNSUITE_READER"); }
    };

    std::string text;
    {
        NamedReader crashing(crasher);
        EXPECT_EQ(DbErrorNumber([&] { db::DBEngine::OpenDatabase(file, false, true, ""); }, &text), 3049);
        EXPECT_NE(text.find("'" + file + "'"), std::string::npos) << text;
        EXPECT_NE(text.find("signal"), std::string::npos) << text;
    }
    auto db = db::DBEngine::OpenDatabase(file, false, true, "");
    ASSERT_FALSE(db->TableDefNames().empty());
    const std::string table = db->TableDefNames()[0];
    {
        NamedReader crashing(crasher);
        EXPECT_EQ(DbErrorNumber([&] { db->OpenRecordset(table, db::dbOpenSnapshot); }, &text), 3049);
        EXPECT_NE(text.find("'" + file + "'"), std::string::npos) << text;
    }
    // The table was not marked as read: with a sound reader it opens.
    EXPECT_EQ(DbErrorNumber([&] { db->OpenRecordset(table, db::dbOpenSnapshot)->GetRows(10); }), 0);
}

// An Access 2007+ file encrypted with a password: its header's encoding key (at 0x3E, under
// the header's fixed RC4 mask, so a flipped bit there flips the same bit of the key) is set.
// No password could open it here, so it is not error 3031 that would ask for one.
TEST(AccessFile, EncryptedAceFileFailsNamingIt) {
    BNS_USE_SHARED_FIXTURES(fixtures);
    const std::string kFixtures = fixtures + "access/";
    testsupport::TempDir dir;
    std::string bytes = testsupport::ReadFile(kFixtures + "ASampleDatabase.accdb");
    bytes[0x3E] = char(bytes[0x3E] ^ 0x5A);
    testsupport::WriteFile(dir.Path("locked.accdb"), bytes);
    std::string text;
    EXPECT_EQ(DbErrorNumber([&] { db::DBEngine::OpenDatabase(dir.Path("locked.accdb"), false, true, ""); }, &text), 3051);
    EXPECT_NE(text.find(dir.Path("locked.accdb")), std::string::npos) << text;
}

}  // namespace

namespace {

// Access marks its complex-field tables (f_..._Data) and its own objects by the catalog's flags.
TEST(AccessFile, SystemObjectsByTheirFlagsAreLeftOut) {
    BNS_USE_SHARED_FIXTURES(fixtures);
    auto ace = db::DBEngine::OpenDatabase(fixtures + "access/queryTestV2010.accdb", false, true, "");
    EXPECT_EQ(ace->TableDefNames(), (std::vector<std::string>{"Table1", "Table2", "Table3"}));
    // The queries Access made for its forms and reports (~sq_...) are its own too.
    auto sample = db::DBEngine::OpenDatabase(fixtures + "access/ASampleDatabase.accdb", false, true, "");
    EXPECT_EQ(sample->QueryDefNames(), (std::vector<std::string>{"qryComputerHardwareInOwnerOrder",
                                                                 "qryCostsSummedByOwner", "qryGSTCalculations"}));
    for (const std::string& q : sample->QueryDefNames()) EXPECT_EQ(DbErrorNumber([&] { sample->OpenRecordset(q); }), 0) << q;
}

// Each file's stored queries in the catalog's order; a select query opens, every other kind
// fails naming the query and its kind, a parameter query with 3061; the tables open all the same.
TEST(AccessFile, StoredQueriesListedWithTheirKinds) {
    BNS_USE_SHARED_FIXTURES(fixtures);
    struct Query {
        const char* name;
        int number;         // of the open: 0 when it opens
        const char* says;   // in the message
    };
    const std::vector<Query> kinds{
        {"SelectQuery", 0, ""},
        {"UpdateQuery", 3251, "an update query"},
        {"AppendQuery", 3251, "an append query"},
        {"DeleteQuery", 3251, "a delete query"},
        {"MakeTableQuery", 3251, "a make-table query"},
        {"CrosstabQuery", 3251, "a crosstab query"},
        {"UnionQuery", 3251, "a union query"},
        {"PassthroughQuery", 3251, "a pass-through query"},
        {"DataDefinitionQuery", 3251, "a data-definition query"},
    };
    auto kind = [&](const char* name) {
        return *std::find_if(kinds.begin(), kinds.end(), [&](const Query& q) { return std::string(q.name) == name; });
    };
    struct File {
        const char* name;
        std::vector<Query> queries;
    };
    const File files[] = {
        {"queryTestV2003.mdb", kinds},
        {"queryTestV2010.accdb",
         {kind("AppendQuery"), kind("CrosstabQuery"), kind("DeleteQuery"), kind("MakeTableQuery"),
          kind("PassthroughQuery"), kind("UnionQuery"), kind("UpdateQuery"), kind("DataDefinitionQuery"),
          kind("SelectQuery")}},
        {"nwind.mdb",
         {{"Alphabetical List of Products", 0, ""},
          {"Catalog", 0, ""},
          {"Category Sales for 1995", 0, ""},
          {"Current Product List", 0, ""},
          {"Customers and Suppliers by City", 3251, "a union query"},
          {"Employee Sales by Country", 3061, "[Beginning Date], [Ending Date]"},
          {"Invoices", 0, ""},
          {"Invoices Filter", 3061, "[Forms]![Orders]![OrderID]"},
          {"Order Details Extended", 0, ""},
          {"Order Subtotals", 0, ""},
          {"Product Sales for 1995", 0, ""},
          {"Products by Category", 0, ""},
          {"Quarterly Orders", 0, ""},
          {"Quarterly Orders by Product", 3251, "a crosstab query"},
          {"Sales by Year", 3061, "[Forms!Sales by Year Dialog!BeginningDate]"},
          {"Sales Totals by Amount", 0, ""},
          {"Summary of Sales by Year", 0, ""},
          {"Ten Most Expensive Products", 0, ""},
          {"Orders Qry", 0, ""},
          {"Products Above Average Price", 0, ""},
          {"Sales by Category", 0, ""},
          {"Summary of Sales by Quarter", 0, ""}}},
    };
    for (const File& f : files) {
        SCOPED_TRACE(f.name);
        auto db = db::DBEngine::OpenDatabase(fixtures + "access/" + f.name, false, true, "");
        std::vector<std::string> names;
        for (const Query& q : f.queries) names.push_back(q.name);
        EXPECT_EQ(db->QueryDefNames(), names);
        for (const Query& q : f.queries) {
            std::string text;
            EXPECT_EQ(DbErrorNumber([&] { db->OpenRecordset(q.name, db::dbOpenSnapshot)->GetRows(10000); }, &text),
                      q.number)
                << q.name << ": " << text;
            if (q.number == 0) continue;
            EXPECT_NE(text.find("'" + std::string(q.name) + "'"), std::string::npos) << text;
            EXPECT_NE(text.find(q.says), std::string::npos) << text;
        }
        for (const std::string& t : db->TableDefNames()) EXPECT_EQ(DbErrorNumber([&] { db->OpenRecordset(t); }), 0) << t;
    }
}

// A row's cells as texts for comparing the two sides: numbers (and Yes/No as 1/0) as numbers,
// compared within a cent, since Jet's currency rounds each line's price half to even and the
// export's SQL rounds it half away from zero.
using Row = std::vector<std::optional<std::string>>;  // nothing: a number, kept in numbers
struct Rows {
    std::vector<Row> texts;
    std::vector<std::vector<double>> numbers;
};

Rows RowsOf(db::Database& db, const std::string& source, bool sorted) {
    auto rs = db.OpenRecordset(source, db::dbOpenSnapshot);
    const vb::Array<Value> cells = rs->GetRows(100000);
    std::vector<std::pair<Row, std::vector<double>>> rows;
    for (int32_t r = 0; r <= cells.UBound(2); ++r) {
        Row texts;
        std::vector<double> numbers;
        for (int32_t c = 0; c <= cells.UBound(1); ++c) {
            const Value& v = cells(c, r);
            if (v.IsNumeric() || v.kind() == Value::Kind::Boolean) {
                texts.push_back(std::nullopt);
                numbers.push_back(v.kind() == Value::Kind::Boolean ? (v.AsBool() ? 1 : 0) : v.ToDouble());
            } else {
                texts.push_back(v.IsNull() ? "Null" : v.kind() == Value::Kind::Date ? db::DateStorageText(v.AsDate().serial)
                                                                                    : v.AsText());
            }
        }
        rows.emplace_back(std::move(texts), std::move(numbers));
    }
    if (sorted) std::sort(rows.begin(), rows.end());
    Rows out;
    for (auto& [t, n] : rows) {
        out.texts.push_back(std::move(t));
        out.numbers.push_back(std::move(n));
    }
    return out;
}

void ExpectSameRows(const Rows& ours, const Rows& theirs) {
    EXPECT_EQ(ours.texts, theirs.texts);
    ASSERT_EQ(ours.numbers.size(), theirs.numbers.size());
    for (size_t r = 0; r < ours.numbers.size(); ++r) {
        ASSERT_EQ(ours.numbers[r].size(), theirs.numbers[r].size()) << "row " << r;
        for (size_t c = 0; c < ours.numbers[r].size(); ++c)
            EXPECT_NEAR(ours.numbers[r][c], theirs.numbers[r][c], 0.03) << "row " << r << " number " << c;
    }
}

// nwind's tables copied by mdb-schema and mdb-export into a SQLite file, with the hand-written
// SQLite SELECT of each query as a view there.
TEST(AccessFile, SelectQueriesGiveTheRowsOfTheSameSelectOverTheTables) {
    BNS_USE_SHARED_FIXTURES(fixtures);
    const std::string file = fixtures + "access/nwind.mdb";
    testsupport::TempDir dir;
    const std::string copy = dir.Path("tables.db");
    for (const char* table : {"Products", "Categories", "Orders", "Order Details"}) {
        const std::string command = "mdb-schema -T '" + std::string(table) + "' '" + file + "' sqlite | sqlite3 '" + copy +
                                    "' && mdb-export -b strip -I sqlite -D '%Y-%m-%d %H:%M:%S' '" + file + "' '" + table +
                                    "' | sqlite3 '" + copy + "'";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
    }
    struct Case {
        const char* query;
        const char* select;  // over the copied tables
        bool ordered;        // the query orders its rows
    };
    const Case cases[] = {
        {"Current Product List",
         // Letters before accents: "Pâté chinois" before "Pavlova".
         "SELECT ProductID, ProductName FROM Products WHERE Discontinued = 0 ORDER BY "
         "replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(lower(ProductName), 'ä', 'a'), 'ö', 'o'), 'á', 'a'), 'ß', 'ss'), 'ü', 'u'), 'ô', 'o'), 'ø', 'o'), 'è', 'e'), 'â', 'a'), 'é', 'e'), ProductName" , true},
        {"Products by Category",
         "SELECT c.CategoryName, p.ProductName, p.QuantityPerUnit, p.UnitsInStock, p.Discontinued FROM Categories c "
         "JOIN Products p ON c.CategoryID = p.CategoryID WHERE p.Discontinued = 0 "
         "ORDER BY c.CategoryName COLLATE NOCASE, p.ProductName COLLATE NOCASE",
         true},
        {"Order Subtotals",
         "SELECT OrderID, Sum(round(UnitPrice * Quantity * (1 - Discount) / 100, 4) * 100) FROM [Order Details] "
         "GROUP BY OrderID",
         false},
        // Over the query "Product Sales for 1995", itself a join with GROUP BY and dates.
        {"Category Sales for 1995",
         "SELECT c.CategoryName, Sum(round(d.UnitPrice * d.Quantity * (1 - d.Discount) / 100, 4) * 100) "
         "FROM Categories c JOIN Products p ON c.CategoryID = p.CategoryID JOIN [Order Details] d ON "
         "p.ProductID = d.ProductID JOIN Orders o ON o.OrderID = d.OrderID WHERE o.ShippedDate BETWEEN "
         "'1995-01-01 00:00:00' AND '1995-12-31 00:00:00' GROUP BY c.CategoryName",
         false},
    };
    int n = 0;
    std::ostringstream views;
    for (const Case& c : cases) views << "CREATE VIEW expected" << ++n << " AS " << c.select << ";\n";
    {
        FILE* p = ::popen(("sqlite3 '" + copy + "'").c_str(), "w");
        ASSERT_NE(p, nullptr);
        std::fputs(views.str().c_str(), p);
        ASSERT_EQ(::pclose(p), 0) << views.str();
    }
    auto access = db::DBEngine::OpenDatabase(file, false, true, "");
    auto expected = db::DBEngine::OpenDatabase(copy, false, true, "");
    n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.query);
        const Rows theirs = RowsOf(*expected, "expected" + std::to_string(++n), !c.ordered);
        EXPECT_GT(theirs.texts.size(), 7u);
        ExpectSameRows(RowsOf(*access, c.query, !c.ordered), theirs);
        // A count over the query, as the engines ask it.
        auto count = access->OpenRecordset("select Count(*) from [" + std::string(c.query) + "]", db::dbOpenSnapshot);
        EXPECT_EQ(count->GetRows(1)(0, 0), Value(int32_t(theirs.texts.size())));
    }
    // The query's fields as its definition names them.
    const db::TableDef def = access->TableDefs("Order Subtotals");
    ASSERT_EQ(def.Fields.size(), 2u);
    EXPECT_EQ(def.Fields[0].Name, "OrderID");
    EXPECT_EQ(def.Fields[1].Name, "Subtotal");
    EXPECT_FALSE(def.Updatable);
}

// Files patched to hold what a file the user did not write may hold: an error in a row's
// evaluation is the query's error naming the function and the value; a second statement is
// refused before anything is made, the same way each time.
TEST(AccessFile, HostileStoredQueriesFailNamingTheQuery) {
    BNS_USE_SHARED_FIXTURES(fixtures);
    auto year = db::DBEngine::OpenDatabase(fixtures + "access/hostile/q1-year.mdb", false, true, "");
    for (int round = 0; round < 2; ++round) {
        std::string text;
        EXPECT_EQ(DbErrorNumber([&] { year->OpenRecordset("select * from [Invoices]", db::dbOpenSnapshot)->GetRows(10000); },
                                &text),
                  3071);
        EXPECT_NE(text.find("The query 'Invoices' cannot be read: Year() of "), std::string::npos) << text;
        EXPECT_NE(text.find("is not a date"), std::string::npos) << text;
    }
    auto semicolon = db::DBEngine::OpenDatabase(fixtures + "access/hostile/q3-semicolon.mdb", false, true, "");
    for (int round = 0; round < 2; ++round) {
        std::string text;
        EXPECT_EQ(DbErrorNumber([&] { semicolon->OpenRecordset("select * from [SelectQuery]"); }, &text), 3251);
        EXPECT_NE(text.find("'SelectQuery'"), std::string::npos) << text;
        EXPECT_NE(text.find("';'"), std::string::npos) << text;
    }
}

// DISTINCTROW, "*" over several tables, and the types of computed columns, against the rows
// and names mdb-export reads from the same files.
TEST(AccessFile, StoredQueriesGiveJetsRowsNamesAndTypes) {
    BNS_USE_SHARED_FIXTURES(fixtures);
    // "Quarterly Orders": each customer with an order in 1995 once.
    const std::string nwind = fixtures + "access/nwind.mdb";
    const auto orders = MdbExport(nwind, "Orders");
    size_t customerCol = 0, dateCol = 0;
    for (size_t c = 0; c < orders[0].size(); ++c) {
        if (orders[0][c] == Cell("CustomerID")) customerCol = c;
        if (orders[0][c] == Cell("OrderDate")) dateCol = c;
    }
    std::set<std::string> customers;
    for (size_t r = 1; r < orders.size(); ++r)
        if (orders[r][dateCol] && orders[r][dateCol]->substr(0, 4) == "1995" && orders[r][customerCol])
            customers.insert(*orders[r][customerCol]);
    auto db = db::DBEngine::OpenDatabase(nwind, false, true, "");
    const vb::Array<Value> rows = db->OpenRecordset("Quarterly Orders", db::dbOpenSnapshot)->GetRows(10000);
    std::set<std::string> ours;
    for (int32_t r = 0; r <= rows.UBound(2); ++r) ours.insert(rows(0, r).AsText());
    EXPECT_EQ(size_t(rows.UBound(2) + 1), customers.size());
    EXPECT_EQ(ours, customers);

    auto queries = db::DBEngine::OpenDatabase(fixtures + "access/queryTestV2003.mdb", false, true, "");
    std::vector<std::string> names;
    for (const db::Field& f : queries->TableDefs("SelectQuery").Fields) names.push_back(f.Name);
    EXPECT_EQ(names, (std::vector<std::string>{"Table1.col1", "Table1.col2", "Table1.col3", "Table2.col1",
                                               "Table2.col2", "Table3.col3"}));

    // Sum of a Currency column is Currency, whatever its first value.
    const std::string sample = fixtures + "access/ASampleDatabase.accdb";
    auto assets = db::DBEngine::OpenDatabase(sample, false, true, "");
    const db::TableDef def = assets->TableDefs("qryCostsSummedByOwner");
    ASSERT_EQ(def.Fields.size(), 3u);
    EXPECT_EQ(def.Fields[2].Name, "SumOfCost");
    EXPECT_EQ(def.Fields[2].Type, db::dbCurrency);
    const auto items = MdbExport(sample, "Asset Items");
    size_t cost = 0;
    for (size_t c = 0; c < items[0].size(); ++c)
        if (items[0][c] == Cell("Cost")) cost = c;
    double total = 0;
    for (size_t r = 1; r < items.size(); ++r) total += items[r][cost] ? std::stod(*items[r][cost]) : 0;
    const vb::Array<Value> sums = assets->OpenRecordset("qryCostsSummedByOwner", db::dbOpenSnapshot)->GetRows(10000);
    double ourTotal = 0;
    for (int32_t r = 0; r <= sums.UBound(2); ++r) ourTotal += sums(2, r).IsNull() ? 0 : sums(2, r).ToDouble();
    EXPECT_NEAR(ourTotal, total, 0.005);
}

}  // namespace
