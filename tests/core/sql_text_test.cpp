// Literals for the WHERE clauses built from typed values, and that a label holding a double
// quote still selects its rows on a real database.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "core/sql_text.h"

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

}  // namespace
