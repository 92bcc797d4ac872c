// Real Access files (a Jet 3 .mdb and an ACE .accdb written by Access) opened with the empty
// connect: every table, type and Null as mdb-export of mdbtools reads the same file, system
// tables left out of the lists, read-only, and the errors the programs handle by number.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <optional>

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
    EXPECT_TRUE(db->QueryDefNames().empty());
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
}

}  // namespace
