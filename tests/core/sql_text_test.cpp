// Literals for the WHERE clauses built from typed values, and that a label holding a double
// quote still selects its rows on a real database.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "core/sql_text.h"
#include "platform/db/column_types.h"
#include "tests/support/db_contract.h"

namespace {

TEST(SqlLiteral, EachKind) {
    struct Case {
        db::Value value;
        const char* expected;
    };
    const Case cases[] = {
        {db::Value("North"), "\"North\""},
        {db::Value("say \"hi\""), "\"say \"\"hi\"\"\""},
        {db::Value(""), "\"\""},
        {db::Value(int16_t(3)), "3"},
        {db::Value(int32_t(-70000)), "-70000"},
        {db::Value(2.5), "2.5"},
        {db::Value(0.1f), "0.1"},
        // More digits than a label shows: the literal must equal the stored value.
        {db::Value(0.1 + 0.2), "0.30000000000000004"},
        {db::Value(1.00000012f), "1.0000001"},
        {db::Value(true), "True"},
        {db::Value(false), "False"},
        {db::Value(), "Null"},
    };
    for (const Case& c : cases) EXPECT_EQ(core::SqlLiteral(c.value), c.expected) << c.expected;
}

TEST(SqlLiteral, QuotedLabelSelectsItsRows) {
    const std::filesystem::path file =
        std::filesystem::temp_directory_path() / ("sql_text_test_" + std::to_string(getpid()) + ".db");
    std::filesystem::remove(file);
    {
        auto d = db::DBEngine::CreateDatabase(file.string());
        d->Execute("create table T (Cls text(20))");
        d->Execute("insert into T (Cls) values (" + core::SqlTextLiteral("a\"b") + ")");
        d->Execute("insert into T (Cls) values (\"ab\")");
        auto rs = d->OpenRecordset("select count(*) from [T] where Cls = " + core::SqlTextLiteral("A\"B"),
                                   db::dbOpenForwardOnly);
        vb::Array<db::Value> rows = rs->GetRows(1);
        rs->Close();
        EXPECT_EQ(rows(0, 0).ToDouble(), 1);
        d->Close();
    }
    std::filesystem::remove(file);
}

// A value that a label shows rounded (a Double past 15 digits, a Single past 7, a time of day)
// still selects exactly its own rows, the way a class filter is built from the typed value.
TEST(SqlLiteral, NumbersSelectTheirOwnRows) {
    using db::Value;
    const double serial = *db::ParseStoredDate("2024-05-06 10:00:01");
    testsupport::TempDir dir;
    testsupport::CreateSqliteFile(dir.Path("n.db"), {{"T",
                                                      {{"d", db::dbDouble}, {"s", db::dbSingle}, {"t", db::dbDate}},
                                                      {{Value(0.1 + 0.2), Value(1.00000012f), Value(db::Date{serial})},
                                                       {Value(0.25), Value(2.0f), Value(db::Date{serial + 1})}}}});
    auto d = db::DBEngine::OpenDatabase(dir.Path("n.db"));
    const std::pair<const char*, Value> cases[] = {
        {"d", Value(0.1 + 0.2)}, {"s", Value(1.00000012f)}, {"t", Value(db::Date{serial})}};
    for (const auto& [field, value] : cases) {
        const std::string sql = std::string("select count(*) from [T] where ") + field + " = " + core::SqlLiteral(value);
        auto rs = d->OpenRecordset(sql, db::dbOpenForwardOnly);
        EXPECT_EQ(rs->GetRows(1)(0, 0), Value(int32_t(1))) << sql;
        rs->Close();
    }
    d->Close();
}

}  // namespace
