// Access cells that libmdb reads wrong, read cell by cell against what the files of
// fixtures/access/made/ hold (their README): texts outside the Basic Multilingual Plane and
// empty texts, calculated columns, Date/Time Extended and Large Number; a column of a type
// nobody decodes is listed and refused by name; a damaged date names the file, table and field.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/db/column_types.h"
#include "tests/support/db_contract.h"
#include "tests/support/fixtures.h"

namespace {

using db::Value;
using testsupport::DbErrorNumber;

vb::Array<Value> Rows(db::Database& db, const std::string& sql) {
    return db.OpenRecordset(sql, db::dbOpenSnapshot)->GetRows(1000);
}

// A date cell as its stored text, "" for anything else (so a wrong kind fails the compare).
std::string DateOf(const Value& v) { return v.kind() == Value::Kind::Date ? db::DateStorageText(v.AsDate().serial) : ""; }

std::optional<std::string> TextOf(const Value& v) {
    if (v.IsNull()) return std::nullopt;
    return v.kind() == Value::Kind::Text ? v.AsText() : "(not a text)";
}

TEST(AccessCells, TextsKeepCharactersOutsideTheBmpAndEmptyTextsApartFromNull) {
    BNS_USE_SHARED_FIXTURES(fixtures);
    auto db = db::DBEngine::OpenDatabase(fixtures + "access/made/emoji.accdb", false, true, "");
    std::string memo;
    for (int i = 0; i < 1500; ++i) memo += "a😀";
    using Text = std::optional<std::string>;
    const std::vector<std::pair<Text, Text>> expected = {
        {"plain ASCII text", "plain ASCII memo"},
        {"café crème brûlée, Ærøskøbing, naïve", "Größe: 5 µm ± 0,1 — ¿qué? «ça»"},
        {"Καλημέρα κόσμε / Привет, мир", "你好，世界 日本語のテキスト 한국어"},
        {"😀🚀🇩🇪𝐀", "🚀 rocket, 🇩🇪 flag, 𝐀 bold A"},
        {"a😀a", "x😀y🚀z"},
        {"", ""},
        {std::nullopt, std::nullopt},
        {"long memo", memo},  // on long-value pages
    };
    const vb::Array<Value> rows = Rows(*db, "select ID, Short, Long from Texts order by ID");
    ASSERT_EQ(size_t(rows.UBound(2) + 1), expected.size());
    for (size_t r = 0; r < expected.size(); ++r) {
        SCOPED_TRACE("row " + std::to_string(r + 1));
        EXPECT_EQ(TextOf(rows(1, int32_t(r))), expected[r].first);
        EXPECT_EQ(TextOf(rows(2, int32_t(r))), expected[r].second);
    }
    const db::TableDef def = db->TableDefs("Texts");
    EXPECT_EQ(def.FieldByName("Short").Type, db::dbText);
    EXPECT_EQ(def.FieldByName("Short").Size, 100);
    EXPECT_EQ(def.FieldByName("Long").Type, db::dbMemo);
    // The empty text is a value of its own: it is not counted with the Nulls.
    EXPECT_EQ(Rows(*db, "select Count(*) from Texts where Short is null")(0, 0), Value(int32_t(1)));
}

TEST(AccessCells, CalculatedColumnsReadInTheirResultTypes) {
    BNS_USE_SHARED_FIXTURES(fixtures);
    auto db = db::DBEngine::OpenDatabase(fixtures + "access/made/calculated.accdb", false, true, "");
    const db::TableDef def = db->TableDefs("People");
    const std::pair<const char*, db::FieldType> types[] = {
        {"FullName", db::dbText},    {"FirstLen", db::dbLong},      {"Monthly", db::dbDouble}, {"TwoYears", db::dbCurrency},
        {"Eighth", db::dbDouble},    {"HighEarner", db::dbBoolean}, {"NextDay", db::dbDate},
    };
    for (const auto& [name, type] : types) EXPECT_EQ(def.FieldByName(name).Type, type) << name;
    EXPECT_EQ(def.FieldByName("FullName").Size, 255);

    struct Person {
        const char* fullName;
        std::optional<int32_t> firstLen;
        std::optional<double> monthly, twoYears, eighth;
        std::optional<bool> highEarner;
        const char* nextDay;  // "" for Null
    };
    const Person people[] = {
        {"Lovelace, Ada", 3, 120000.0 / 12, 240000, 15000, true, "1815-12-11 00:00:00"},
        {"Turing, Alan", 4, 95000.5 / 12, 190001, 11875.0625, false, "1912-06-24 00:00:00"},
        {"Hopper, Grace", 5, 100000.0 / 12, 200000, 12500, false, "1906-12-10 12:30:00"},
        {", ", std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt, ""},
        {"Noëther, Émile", 5, -1234.5 / 12, -2469, -154.3125, false, "2000-02-29 23:59:59"},
    };
    const vb::Array<Value> rows =
        Rows(*db, "select FullName, FirstLen, Monthly, TwoYears, Eighth, HighEarner, NextDay from People order by ID");
    ASSERT_EQ(rows.UBound(2) + 1, 5);
    auto number = [](const std::optional<double>& d) { return d ? Value(*d) : Value(); };
    for (int32_t r = 0; r < 5; ++r) {
        SCOPED_TRACE("row " + std::to_string(r + 1));
        const Person& p = people[r];
        EXPECT_EQ(rows(0, r), Value(p.fullName));
        EXPECT_EQ(rows(1, r), p.firstLen ? Value(*p.firstLen) : Value());
        EXPECT_EQ(rows(2, r), number(p.monthly));
        EXPECT_EQ(rows(3, r), number(p.twoYears));
        EXPECT_EQ(rows(4, r), number(p.eighth));
        EXPECT_EQ(rows(5, r), p.highEarner ? Value(*p.highEarner) : Value());
        if (*p.nextDay) EXPECT_EQ(DateOf(rows(6, r)), p.nextDay);
        else EXPECT_TRUE(rows(6, r).IsNull());
    }
}

TEST(AccessCells, ExtendedDatesAndLargeNumbersRead) {
    BNS_USE_SHARED_FIXTURES(fixtures);
    auto db = db::DBEngine::OpenDatabase(fixtures + "access/made/extdate.accdb", false, true, "");
    const db::TableDef def = db->TableDefs("Dates");
    EXPECT_EQ(def.FieldByName("Ext").Type, db::dbDate);
    // The layer has no 64-bit integer: a large number is the text of its exact digits.
    EXPECT_EQ(def.FieldByName("Big").Type, db::dbText);

    struct Row {
        const char* plain;
        const char* ext;  // to the whole second, as the layer stores dates
        const char* big;
    };
    const Row expected[] = {
        {"1899-12-30 00:00:00", "1899-12-30 00:00:00", "0"},
        {"1899-12-29 18:00:00", "1899-12-29 18:00:00", "2147483648"},
        {"1800-06-15 12:00:00", "1800-06-15 12:00:00", "-2147483649"},
        {"0100-01-01 00:00:00", "0001-01-01 00:00:00", "9007199254740993"},
        {"2024-02-29 12:34:57", "2024-02-29 12:34:57", "9223372036854775807"},
        // The last second of the range stays in it: rounding must not make it year 10000.
        {"9999-12-31 23:59:59", "9999-12-31 23:59:59", "-9223372036854775808"},
        {nullptr, nullptr, nullptr},
        {"1582-10-10 06:00:00", "1582-10-10 06:00:00", "-1"},
    };
    const vb::Array<Value> rows = Rows(*db, "select Plain, Ext, Big from Dates order by ID");
    ASSERT_EQ(rows.UBound(2) + 1, 8);
    for (int32_t r = 0; r < 8; ++r) {
        SCOPED_TRACE("row " + std::to_string(r + 1));
        const Row& e = expected[r];
        if (!e.plain) {
            for (int c = 0; c < 3; ++c) EXPECT_TRUE(rows(c, r).IsNull());
            continue;
        }
        EXPECT_EQ(DateOf(rows(0, r)), e.plain);
        EXPECT_EQ(DateOf(rows(1, r)), e.ext);
        EXPECT_EQ(rows(2, r), Value(e.big));
    }
    // Equal digits are equal values: 2^53 + 1 is a group of its own.
    EXPECT_EQ(Rows(*db, "select Count(*) from Dates where Big = \"9007199254740993\"")(0, 0), Value(int32_t(1)));
}

// extdate.accdb with the Big column's type code (0x13) changed to 0x15, a type no reader here
// knows: found as the byte after the Ext column's 25-byte entry in the table definition.
TEST(AccessCells, ColumnOfAnUnknownTypeIsListedAndRefusedByName) {
    BNS_USE_SHARED_FIXTURES(fixtures);
    std::string bytes = testsupport::ReadFile(fixtures + "access/made/extdate.accdb");
    const std::string ext("\x14\x59\x06\x00\x00\x02\x00\x00\x00\x02\x00\x00\x00\x00\x00\x03\x00\x00\x00\x00\x00\x0c\x00\x2a\x00"
                          "\x13",
                          26);
    const size_t at = bytes.find(ext);
    ASSERT_NE(at, std::string::npos);
    bytes[at + 25] = '\x15';
    testsupport::TempDir dir;
    const std::string file = dir.Path("unknown.accdb");
    testsupport::WriteFile(file, bytes);

    auto db = db::DBEngine::OpenDatabase(file, false, true, "");
    const db::TableDef def = db->TableDefs("Dates");
    ASSERT_EQ(def.Fields.size(), 4u);
    EXPECT_EQ(def.Fields[3].Name, "Big");
    for (const char* sql : {"select * from Dates", "select Big from Dates", "select ID from Dates where Big is null",
                            "select Count(*), Big from Dates group by Big"}) {
        std::string text;
        EXPECT_EQ(DbErrorNumber([&] { Rows(*db, sql); }, &text), 3251) << sql;
        for (const char* part : {"'Big'", "'Dates'", "Access type 0x15"})
            EXPECT_NE(text.find(part), std::string::npos) << sql << ": " << text;
    }
    // The other columns still read.
    const vb::Array<Value> rows = Rows(*db, "select ID, Ext from Dates order by ID");
    EXPECT_EQ(rows.UBound(2) + 1, 8);
    EXPECT_EQ(DateOf(rows(1, 3)), "0001-01-01 00:00:00");
}

// queryTestV2010.accdb with Table1.col1 (a Text column: type code 0x0A in the first column
// entry of Table1's definition, page 76) changed to the unknown 0x15: the stored query that
// reads Table1.* fails naming the column, and the table's other columns still read.
TEST(AccessCells, StoredQueryThatReadsAColumnOfAnUnknownTypeIsRefused) {
    BNS_USE_SHARED_FIXTURES(fixtures);
    std::string bytes = testsupport::ReadFile(fixtures + "access/queryTestV2010.accdb");
    constexpr size_t kCol1Type = 76 * 4096 + 63;
    ASSERT_GT(bytes.size(), kCol1Type + 25);
    ASSERT_EQ(bytes.substr(kCol1Type, 5), std::string("\x0a\x59\x06\x00\x00", 5));
    bytes[kCol1Type] = '\x15';
    testsupport::TempDir dir;
    const std::string file = dir.Path("unknown.accdb");
    testsupport::WriteFile(file, bytes);

    auto db = db::DBEngine::OpenDatabase(file, false, true, "");
    EXPECT_EQ(db->TableDefs("Table1").Fields[0].Name, "col1");
    EXPECT_EQ(DbErrorNumber([&] { Rows(*db, "select col2, col3 from Table1"); }), 0);
    std::string text;
    EXPECT_EQ(DbErrorNumber([&] { Rows(*db, "select * from SelectQuery"); }, &text), 3251);
    for (const char* part : {"'SelectQuery'", "'col1'", "'Table1'", "Access type 0x15"})
        EXPECT_NE(text.find(part), std::string::npos) << text;
}

TEST(AccessCells, DamagedDateNamesTheFileTableAndField) {
    BNS_USE_SHARED_FIXTURES(fixtures);
    const std::string file = fixtures + "access/hostile/date-nan.mdb";
    auto db = db::DBEngine::OpenDatabase(file, false, true, "");
    std::string text;
    EXPECT_EQ(DbErrorNumber([&] { Rows(*db, "select * from Orders"); }, &text), 3049);
    for (const std::string& part : {"'" + file + "'", std::string("'Orders'"), std::string("'OrderDate'")})
        EXPECT_NE(text.find(part), std::string::npos) << text;
    // No part of the table was kept: it fails again. The other tables still open.
    EXPECT_EQ(DbErrorNumber([&] { Rows(*db, "select OrderID from Orders"); }), 3049);
    EXPECT_EQ(DbErrorNumber([&] { Rows(*db, "select * from Customers"); }), 0);
}

}  // namespace
