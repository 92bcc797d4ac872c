// The Jet SQL parser: which texts it takes (every text the engines and programs build, with
// their blanks, commas, case and brackets) and which it refuses, with the error naming the token.
#include <gtest/gtest.h>

#include "platform/db/sql_bind.h"
#include "platform/db/sql_names.h"
#include "platform/db/sql_parser.h"

namespace {

using db::sql::Expr;
using db::sql::ParseSelect;
using db::sql::ParseStatement;

TEST(SqlParser, AcceptsTheTextsTheEnginesAndProgramsSend) {
    const char* const texts[] = {
        "select count(*) from [T]",
        "select  Count(*) from [T] WHERE zorv_holdout=no ",
        "select  Sum([Qty]) from [Sales Data]",
        "select  Count(*) , [2ndValue],A, [Unit Price] from [T] WHERE zorv_holdout=no  group by [2ndValue],A,[Unit Price]",
        "select  Count(*) , Cls from [T] WHERE Cls = \"YES\" And zorv_holdout=no  group by Cls",
        "select  Count(*) , A, B,C from [T] WHERE Cls = -1.5E-07 AND zorv_holdout=no  group by A, B,C",
        "select  Count(*) ,C from [T] WHERE Cls = TRUE group by C",
        "select  Count(*) , C from [T] group by C;",
        "select distinct [A-B] from [T]",
        "select distinct [it's \"x\"/y] from [T]",
        "select * from [Test Table]",
        "select * from [T] where zorv_holdout=yes",
        "SELECT * INTO [Copy] IN '/tmp/target.db' FROM [Source]",
        "Select Max([f]), Min([f]) From [T] Where [f] <> -999 AND [f] <> 0",
        "select [f], count(*) from [T] group by [f]",
        "select [f], [c], count(*) from [T] Where [f] <> 5 group by [f], [c]",
        "select distinct [f] From [T]",
        "select a from t where (a = 1 or not b = 'x''y') and c is not null and d Is Null order by a desc, b",
        "select T.a from T where a >= 1 and a <= 2 and a < 3 and a > 0",
        "CREATE TABLE [New T] ([Name] TEXT(50), Flag YESNO, N LONG, X DOUBLE, S SINGLE, D DATETIME, M MEMO)",
        "ALTER TABLE [T] ADD COLUMN [Age_d] TEXT(50)",
        "alter table T add ZORV_HoldOut bit",
        "DROP TABLE [T]",
        "INSERT INTO [T] ([a], b) VALUES (1, \"x\")",
        "INSERT INTO T SELECT * FROM U",
        "UPDATE [T] SET [a] = Null, b = True WHERE c = 'x'",
        "DELETE * FROM [T] WHERE a = 1",
        "delete from T",
    };
    for (const char* t : texts) {
        try {
            ParseStatement(t);
        } catch (const db::Error& e) {
            ADD_FAILURE() << t << " -> " << e.number() << " " << e.description();
        }
    }
}

TEST(SqlParser, RefusesWhatItDoesNotKnowNamingTheToken) {
    struct Case {
        const char* text;
        int32_t number;
        const char* named;
    };
    const Case cases[] = {
        {"select cls fro [T]", 3075, "fro"},
        {"select * from [T] where a = ", 3075, "ends too soon"},
        {"select * from [T] where a == 1", 3075, "'='"},
        {"select * from [T] where a != 1", 3075, "'!'"},
        {"select * from [T] where a = \"open", 3075, "no closing"},
        {"select * from [T", 3075, "no closing ']'"},
        {"select [] from T", 3075, "empty name"},
        {"select 2ndValue from T", 3075, "2ndValue"},
        {"select * from T where a like 'x*'", 3075, "like"},
        {"select * from T extra", 3075, "extra"},
        {"select * from T; select 1 from T", 3075, "select"},
        {"select Median(a) from T", 3085, "Median"},
        {"select Sum(*) from T", 3075, "*"},
        {"frobnicate the table", 3129, "SELECT"},
        {"", 3129, "SELECT"},
        {"CREATE TABLE X (a WIDGET)", 3292, "WIDGET"},
        {"select from T", 3075, "from"},
    };
    for (const Case& c : cases) {
        try {
            ParseStatement(c.text);
            ADD_FAILURE() << "accepted: " << c.text;
        } catch (const db::Error& e) {
            EXPECT_EQ(e.number(), c.number) << c.text << ": " << e.description();
            EXPECT_NE(e.description().find(c.named), std::string::npos) << c.text << ": " << e.description();
        }
    }
}

// Nesting is parsed by recursion: a text nested without end is refused, not a stack overflow.
TEST(SqlParser, RefusesNestingBeyondItsDepth) {
    auto nested = [](int depth, const std::string& open, const std::string& close) {
        std::string s = "select count(*) from T where ";
        for (int i = 0; i < depth; ++i) s += open;
        s += "a = 1";
        for (int i = 0; i < depth; ++i) s += close;
        return s;
    };
    EXPECT_NO_THROW(ParseStatement(nested(100, "(", ")")));
    EXPECT_NO_THROW(ParseStatement(nested(100, "not ", "")));
    std::string counts = "select ";
    for (int i = 0; i < 4000; ++i) counts += "Count(";
    counts += "a" + std::string(4000, ')') + " from T";
    for (const std::string& text : {nested(200000, "(", ")"), nested(200000, "not ", ""), nested(100000, "not (", ")"),
                                    counts}) {
        try {
            ParseStatement(text);
            ADD_FAILURE() << "accepted " << text.size() << " bytes of nesting";
        } catch (const db::Error& e) {
            EXPECT_EQ(e.number(), db::errnum::kQueryTooComplex) << e.description();
        }
    }
}

TEST(SqlParser, ReadsNamesAndLiteralsAsWritten) {
    db::sql::Select s = ParseSelect(
        "SELECT DISTINCT [Unit Price], cls FROM [Sales-2024] WHERE cls = \"say \"\"hi\"\"\" And n = -12 "
        "And x = 1.5e3 and f = NO and big = 3000000000 GROUP BY cls ORDER BY cls DESC");
    EXPECT_TRUE(s.distinct);
    ASSERT_EQ(s.items.size(), 2u);
    EXPECT_EQ(s.items[0].expr.name.text, "Unit Price");
    EXPECT_TRUE(s.items[0].expr.name.bracketed);
    EXPECT_EQ(s.items[1].expr.name.text, "cls");
    EXPECT_FALSE(s.items[1].expr.name.bracketed);
    EXPECT_EQ(s.from.name.text, "Sales-2024");
    ASSERT_TRUE(s.where);
    ASSERT_EQ(s.where->kind, Expr::Kind::And);
    ASSERT_EQ(s.where->args.size(), 5u);
    EXPECT_EQ(s.where->args[0].args[1].literal, db::Value("say \"hi\""));
    EXPECT_EQ(s.where->args[1].args[1].literal, db::Value(int32_t(-12)));
    EXPECT_EQ(s.where->args[2].args[1].literal, db::Value(1500.0));
    EXPECT_EQ(s.where->args[3].args[1].literal, db::Value(false));
    EXPECT_EQ(s.where->args[4].args[1].literal, db::Value(3000000000.0));
    EXPECT_EQ(s.where->args[0].text, "cls = \"say \"\"hi\"\"\"");
    ASSERT_EQ(s.groupBy.size(), 1u);
    ASSERT_EQ(s.orderBy.size(), 1u);
    EXPECT_TRUE(s.orderBy[0].descending);

    db::sql::Select c = ParseSelect("select  Count(*) , [A] from [T] group by [A]");
    EXPECT_EQ(c.items[0].expr.kind, Expr::Kind::Aggregate);
    EXPECT_TRUE(c.items[0].expr.star);
    EXPECT_EQ(c.items[0].expr.text, "Count(*)");

    db::sql::Select into = ParseSelect("select * into [Copy] IN '/tmp/it''s.db' from [S]");
    ASSERT_TRUE(into.into && into.into->database);
    EXPECT_EQ(*into.into->database, "/tmp/it's.db");
    EXPECT_TRUE(into.items[0].star);
}

TEST(SqlParser, QuotesNamesSoTheyReadBack) {
    struct Case {
        const char* name;
        const char* quoted;
    };
    const Case cases[] = {{"Name", "Name"}, {"Unit Price", "[Unit Price]"}, {"2nd", "[2nd]"}, {"A-B", "[A-B]"},
                          {"_x", "[_x]"},   {"Select", "[Select]"},         {"a\"b", "[a\"b]"}};
    for (const Case& c : cases) {
        EXPECT_EQ(db::SqlName(c.name), c.quoted);
        db::sql::Select s = ParseSelect(std::string("select ") + db::SqlName(c.name) + " from T");
        EXPECT_EQ(s.items[0].expr.name.text, c.name);
    }
    EXPECT_THROW(db::SqlName("a]b"), db::Error);
}

TEST(TableInfo, FindsTheSameColumnWithAndWithoutItsNameIndex) {
    db::sql::TableInfo t;
    for (const char* name : {"Age", "city", "AGE", "Zone_1", "\xc3\x84rea"}) t.columns.push_back({name});
    db::sql::TableInfo indexed = t;
    indexed.IndexNames();
    for (const char* name : {"age", "AGE", "City", "zone_1", "ZONE_1", "\xc3\x84REA", "\xc3\x84rea", "Agee", ""})
        EXPECT_EQ(indexed.Find(name), t.Find(name)) << name;
    EXPECT_EQ(indexed.Find("age"), 0);  // the first of two equal names
    // Columns added after the index was made are still found.
    indexed.columns.push_back({"Late"});
    EXPECT_EQ(indexed.Find("LATE"), 5);
}

}  // namespace
