// Names in their SQL form: the forms that stored files depend on, the inverse, and the names
// that have no SQL form and are refused before they reach a query.
#include <gtest/gtest.h>

#include <string>

#include "platform/db/database.h"
#include "platform/db/sql_names.h"
#include "platform/db/sql_parser.h"

namespace {

TEST(SqlNames, QuotedNamesReadBackAsTheName) {
    const std::string names[] = {"Name", "Unit Price", "2nd", "Grün", "From", "a\"b", "it's", "x[y", "Line\nBreak"};
    for (const std::string& name : names) {
        const std::string quoted = db::SqlName(name);
        EXPECT_EQ(db::BareSqlName(quoted), name);
        const db::sql::Select s = db::sql::ParseSelect("select " + quoted + " from " +
                                                       db::BracketedSqlName(name, db::NameKind::Table));
        EXPECT_EQ(s.items[0].expr.name.text, name);
        EXPECT_EQ(s.from.name.text, name);
        EXPECT_EQ(db::QuotedPlainName(name, db::NameKind::Table), "[" + name + "]");
    }
    // A name as the database lists it: a leading "[" is one of its characters.
    const db::sql::Select s = db::sql::ParseSelect("select * from " + db::QuotedPlainName("[x", db::NameKind::Table));
    EXPECT_EQ(s.from.name.text, "[x");
    // Already in SQL form: kept, and the inverse takes the brackets off.
    EXPECT_EQ(db::SqlName("[Given]"), "[Given]");
    EXPECT_EQ(db::BracketedSqlName("T", db::NameKind::Table), "[T]");
    EXPECT_EQ(db::BracketedSqlName("[T]", db::NameKind::Table), "[T]");
    EXPECT_EQ(db::BareSqlName("Plain"), "Plain");
}

TEST(SqlNames, RefusesNamesThatWouldChangeTheQuery) {
    struct Case {
        std::string name;
        db::NameKind kind;
        const char* said;  // what the error names
    };
    const Case cases[] = {
        {"T] where [Cls]<>[A", db::NameKind::Table, "table name 'T] where [Cls]<>[A'"},
        {"[T] where [Cls]<>[A]", db::NameKind::Table, "table name '[T] where [Cls]<>[A]'"},
        {"B], [C", db::NameKind::Field, "field name 'B], [C'"},
        {"[B], [C]", db::NameKind::Field, "field name '[B], [C]'"},
        {"[Open", db::NameKind::Field, "field name '[Open'"},
        {std::string("T\0x", 3), db::NameKind::Table, "table name 'T"},
        {"", db::NameKind::Field, "field name ''"},
        {"[]", db::NameKind::Table, "table name '[]'"},
    };
    for (const Case& c : cases) {
        for (int form : {0, 1, 2}) {
            // As a listed name, "[Open" is just a name that begins with "[".
            if (form == 2 && c.name == "[Open") continue;
            try {
                form == 0   ? db::SqlName(c.name, c.kind)
                : form == 1 ? db::BracketedSqlName(c.name, c.kind)
                            : db::QuotedPlainName(c.name, c.kind);
                ADD_FAILURE() << "quoted " << c.name;
            } catch (const db::Error& e) {
                EXPECT_EQ(e.number(), db::errnum::kInvalidName) << c.name;
                EXPECT_NE(e.description().find(c.said), std::string::npos) << e.description();
            }
        }
    }
    // A listed name in brackets is not a caller's SQL form: quoted as it stands it would name
    // the table T.
    try {
        db::QuotedPlainName("[T]", db::NameKind::Table);
        ADD_FAILURE() << "quoted [T]";
    } catch (const db::Error& e) {
        EXPECT_EQ(e.description(), "The table name '[T]' cannot be used in a query: it holds ']'. Rename the table.");
    }
}

TEST(SqlNames, HoldOutColumn) {
    EXPECT_TRUE(db::IsHoldOutColumn("zorv_holdout"));
    EXPECT_TRUE(db::IsHoldOutColumn(db::kHoldOutColumn));
    EXPECT_FALSE(db::IsHoldOutColumn("ZORV_HoldOut2"));
    EXPECT_EQ(db::HoldOutCondition(true), "zorv_holdout=yes");
    EXPECT_EQ(db::HoldOutCondition(false), "zorv_holdout=no");
}

}  // namespace
