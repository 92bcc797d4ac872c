// Stored queries of Access files from their MSysQueries rows: the Jet SQL text rebuilt from the
// rows, and the SQLite view of a select query run over a small table (Jet's operators,
// literals, functions and column names), and the refusals that name the query.
#include <gtest/gtest.h>

#include <sqlite3.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/db/access_queries.h"
#include "platform/db/access_view_sql.h"
#include "tests/support/db_contract.h"

namespace {

using db::access::QueryKind;
using db::access::QueryRow;
using testsupport::DbErrorNumber;

QueryRow Row(int attribute, std::string name1 = "", std::string name2 = "", std::string expression = "",
             std::optional<int> flag = std::nullopt) {
    return {0, attribute, std::move(name1), std::move(name2), std::move(expression), flag};
}

// Rows as the fixtures' files hold them (in their order), with the text Access shows for them.
TEST(AccessQueries, SelectTextRebuiltFromTheRows) {
    struct Case {
        const char* what;
        std::vector<QueryRow> rows;
        const char* sql;
    };
    const Case cases[] = {
        {"an alias in FROM, WHERE and ORDER BY",
         {Row(0), Row(255), Row(1, "", "", "", 1), Row(3, "", "", "", 0), Row(5, "Products", "Product List"),
          Row(6, "", "", "[Product List].ProductID", 0), Row(6, "", "", "[Product List].ProductName", 0),
          Row(8, "", "", "((([Product List].Discontinued)=No))"), Row(11, "", "", "[Product List].ProductName")},
         "SELECT [Product List].ProductID, [Product List].ProductName\nFROM Products AS [Product List]\n"
         "WHERE ((([Product List].Discontinued)=No))\nORDER BY [Product List].ProductName;"},
        {"DISTINCT, a left join, two joins of the same sides as one",
         {Row(1, "", "", "", 1), Row(3, "", "", "", 2), Row(5, "Table1"), Row(5, "Table2"), Row(5, "Table3"),
          Row(6, "", "", "Table1.*", 0), Row(6, "", "", "Table2.col1", 0), Row(6, "", "", "Table2.col2", 0),
          Row(6, "", "", "Table3.col3", 0), Row(7, "Table1", "Table3", "Table1.col1 = Table3.col1", 2),
          Row(7, "Table3", "Table2", "Table3.col1 = Table2.col1", 1),
          Row(7, "Table3", "Table2", "Table3.col1 = Table2.col2", 1), Row(11, "", "", "Table2.col1"),
          Row(8, "", "", "(((Table2.col2)=\"foo\" Or (Table2.col2) In (\"buzz\",\"bazz\")))")},
         "SELECT DISTINCT Table1.*, Table2.col1, Table2.col2, Table3.col3\n"
         "FROM (Table1 LEFT JOIN Table3 ON Table1.col1 = Table3.col1) INNER JOIN Table2 ON (Table3.col1 = "
         "Table2.col1) AND (Table3.col1 = Table2.col2)\n"
         "WHERE (((Table2.col2)=\"foo\" Or (Table2.col2) In (\"buzz\",\"bazz\")))\nORDER BY Table2.col1;"},
        {"a table joined to a join on its right, a table name in brackets",
         {Row(3, "", "", "", 8), Row(5, "Customers"), Row(5, "Orders"), Row(5, "Order Subtotals"),
          Row(6, "SaleAmount", "", "[Order Subtotals].Subtotal", 0), Row(6, "", "", "Orders.OrderID", 0),
          Row(7, "Orders", "Order Subtotals", "Orders.OrderID = [Order Subtotals].OrderID", 1),
          Row(7, "Customers", "Orders", "Customers.CustomerID = Orders.CustomerID", 1)},
         "SELECT DISTINCTROW [Order Subtotals].Subtotal AS SaleAmount, Orders.OrderID\n"
         "FROM Customers INNER JOIN (Orders INNER JOIN [Order Subtotals] ON Orders.OrderID = [Order "
         "Subtotals].OrderID) ON Customers.CustomerID = Orders.CustomerID;"},
        {"GROUP BY, HAVING and a right join",
         {Row(5, "Table2"), Row(5, "Table1"), Row(5, "Table3"), Row(6, "MaxOfcol1", "", "Max(Table2.col1)", 0),
          Row(9, "", "", "Table2.col2", 0), Row(6, "", "", "Table2.col2", 0), Row(9, "", "", "Table3.col2", 0),
          Row(6, "", "", "Table3.col2", 0), Row(7, "Table2", "Table1", "Table2.col1 = Table1.col2", 1),
          Row(7, "Table1", "Table3", "Table1.col2 = Table3.col3", 3),
          Row(10, "", "", "(((Max(Table2.col1))=\"buzz\") AND ((Table2.col2)<>\"blah\"))")},
         "SELECT Max(Table2.col1) AS MaxOfcol1, Table2.col2, Table3.col2\n"
         "FROM (Table2 INNER JOIN Table1 ON Table2.col1 = Table1.col2) RIGHT JOIN Table3 ON Table1.col2 = "
         "Table3.col3\nGROUP BY Table2.col2, Table3.col2\n"
         "HAVING (((Max(Table2.col1))=\"buzz\") AND ((Table2.col2)<>\"blah\"));"},
        {"TOP with DISTINCTROW, descending order, an alias; a table without a join",
         {Row(3, "10", "", "", 24), Row(5, "Products"), Row(5, "Shippers"),
          Row(6, "Most Expensive", "", "Products.ProductName", 0), Row(6, "", "", "Products.UnitPrice", 0),
          Row(11, "D", "", "Products.UnitPrice")},
         "SELECT DISTINCTROW TOP 10 Products.ProductName AS [Most Expensive], Products.UnitPrice\n"
         "FROM Products, Shippers\nORDER BY Products.UnitPrice DESC;"},
    };
    for (const Case& c : cases) {
        const db::access::StoredQuery q = db::access::ReadQuery("Q", c.rows);
        EXPECT_EQ(q.kind, QueryKind::Select) << c.what;
        EXPECT_EQ(db::access::SelectSql(q), c.sql) << c.what;
    }
}

// The view runs on a SQLite database holding T (as the copy stores it: Yes/No as 1/0, dates as
// their text), with the Jet functions registered.
class AccessView : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(sqlite3_open(":memory:", &db_), SQLITE_OK);
        db::access::RegisterJetFunctions(db_);
        Exec("CREATE TABLE T (Name VARCHAR(20), First VARCHAR(20), Price DOUBLE, Flag BOOLEAN, Day DATETIME)");
        Exec("INSERT INTO T VALUES ('ann', 'Ann', 2.00005, 1, '1995-03-04 00:00:00'), "
             "('Bob', NULL, 10.5, 0, '1996-12-31 10:00:00'), ('cy', 'Cyd', -1.5, 1, NULL)");
    }
    void TearDown() override { sqlite3_close(db_); }

    void Exec(const std::string& sql) { ASSERT_EQ(sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db_); }

    // The column names and then the rows of the view, each cell as its text ("NULL" for Null).
    std::vector<std::vector<std::string>> Run(const db::access::StoredQuery& q) {
        const std::string sql = db::access::StoredView(q).Render([this](const std::string& name) {
            std::optional<db::access::SourceInfo> info;
            sqlite3_stmt* s = nullptr;
            sqlite3_prepare_v2(db_, "SELECT name, type FROM pragma_table_info(?1)", -1, &s, nullptr);
            sqlite3_bind_text(s, 1, name.c_str(), -1, SQLITE_TRANSIENT);
            while (sqlite3_step(s) == SQLITE_ROW) {
                if (!info) info.emplace().table = true;
                info->columns.push_back(reinterpret_cast<const char*>(sqlite3_column_text(s, 0)));
                info->types.push_back(db::FieldTypeFromDeclared(reinterpret_cast<const char*>(sqlite3_column_text(s, 1))));
            }
            sqlite3_finalize(s);
            return info;
        }).select;
        sqlite3_stmt* s = nullptr;
        std::vector<std::vector<std::string>> out;
        if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &s, nullptr) != SQLITE_OK) {
            ADD_FAILURE() << sqlite3_errmsg(db_) << "\n" << sql;
            return out;
        }
        out.emplace_back();
        for (int c = 0; c < sqlite3_column_count(s); ++c) out.back().push_back(sqlite3_column_name(s, c));
        while (sqlite3_step(s) == SQLITE_ROW) {
            out.emplace_back();
            for (int c = 0; c < sqlite3_column_count(s); ++c) {
                const unsigned char* text = sqlite3_column_text(s, c);
                out.back().push_back(text ? reinterpret_cast<const char*>(text) : "NULL");
            }
        }
        sqlite3_finalize(s);
        return out;
    }

    static db::access::StoredQuery Query(std::vector<std::string> columns, std::string where = "") {
        db::access::StoredQuery q;
        q.name = "Q";
        q.kind = QueryKind::Select;
        q.tables = {{"T", "", ""}};
        for (std::string& c : columns) q.columns.push_back({std::move(c), ""});
        q.where = std::move(where);
        q.orderBy = {{"[T].Name", false}};
        return q;
    }

    sqlite3* db_ = nullptr;
};

TEST_F(AccessView, JetExpressionsGiveJetValues) {
    struct Case {
        const char* expression;
        std::vector<std::string> values;  // ann, Bob, cy (in the order of Name without regard to case)
    };
    const Case cases[] = {
        {"[First] & \" \" & T.Name", {"Ann ann", " Bob", "Cyd cy"}},  // "&" takes Null as ""
        {"\"<\" & [Price]*2 & \">\"", {"<4.0001>", "<21>", "<-3>"}},   // below arithmetic
        {"CCur([Price])", {"2.0", "10.5", "-1.5"}},  // four decimals, the half to even
        {"CLng([Price])", {"2", "10", "-2"}},
        {"Int([Price])", {"2.0", "10.0", "-2.0"}},
        {"Year([Day]) & \"/\" & Month([Day]) & \"/\" & Day([Day])", {"1995/3/4", "1996/12/31", "//"}},
        {"IIf([Flag]=Yes,\"y\",\"n\")", {"y", "n", "y"}},
        {"Left([Name],2) & Mid([Name],2,1) & Right([Name],1) & Len([Name])", {"annn3", "Boob3", "cyyy2"}},
        {"UCase([Name]) & LCase(\"X\")", {"ANNx", "BOBx", "CYx"}},
        {"[Price] Mod 2", {"0.0", "0.0", "-1.0"}},
        {"[Flag]/2 & \"\"", {"0.5", "0", "0.5"}},  // whole numbers divide as Jet divides them
    };
    for (const Case& c : cases) {
        auto rows = Run(Query({c.expression}));
        ASSERT_EQ(rows.size(), 4u) << c.expression;
        for (size_t r = 0; r < 3; ++r) EXPECT_EQ(rows[r + 1][0], c.values[r]) << c.expression << " row " << r;
    }
}

TEST_F(AccessView, ConditionsCompareAsJetDoes) {
    struct Case {
        const char* where;
        std::vector<std::string> names;
    };
    const Case cases[] = {
        {"[Name]=\"ANN\"", {"ann"}},  // texts without regard to case
        {"[Name] Like \"B*\" Or [Name] Like \"?y\"", {"Bob", "cy"}},
        {"[Day] Between #1/1/95# And #12/31/95#", {"ann"}},
        {"[Day] > #12/31/1996 9:30:00 AM#", {"Bob"}},
        {"[Day] < #1995-03-05#", {"ann"}},
        {"[Flag]<>Yes", {"Bob"}},
        {"Not [Flag]=No And [First] Is Not Null", {"ann", "cy"}},
        {"[Price] > (SELECT Avg([Price]) FROM T)", {"Bob"}},
        {"[Name] In (\"cy\",\"bob\")", {"Bob", "cy"}},
    };
    for (const Case& c : cases) {
        auto rows = Run(Query({"T.Name"}, c.where));
        std::vector<std::string> names;
        for (size_t r = 1; r < rows.size(); ++r) names.push_back(rows[r][0]);
        EXPECT_EQ(names, c.names) << c.where;
    }
}

// A table named by a reserved word is a name.
TEST_F(AccessView, ReservedWordsAsTableNamesAreNames) {
    Exec("CREATE TABLE \"Order\" (Name VARCHAR(20))");
    Exec("INSERT INTO \"Order\" VALUES ('x')");
    db::access::StoredQuery q = Query({"[Order].Name"});
    q.tables = {{"Order", "", ""}};
    q.orderBy.clear();
    auto rows = Run(q);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1][0], "x");
}

TEST_F(AccessView, ColumnsNamedAsJetNamesThem) {
    db::access::StoredQuery q = Query({"T.Name", "[T2].[Name]", "[T].[Price]", "[T].[Price]*2", "Sum(T.Price)"});
    q.tables.push_back({"T", "T2", ""});
    q.joins.push_back({"T", "T2", "T.Name = T2.Name", 1});
    q.columns.push_back({"T.First", "Given"});
    q.groupBy = {"T.Name", "T2.Name", "T.Price", "T.First"};
    auto rows = Run(q);
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows[0], (std::vector<std::string>{"T.Name", "T2.Name", "Price", "Expr1000", "Expr1001", "Given"}));
    EXPECT_EQ(rows.size(), 4u);

    // TOP n keeps what ties with the n-th row.
    db::access::StoredQuery top = Query({"T.Name"});
    top.top = "1";
    top.orderBy = {{"T.Flag", true}};
    rows = Run(top);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0], std::vector<std::string>{"Name"});
    std::vector<std::string> tied{rows[1][0], rows[2][0]};
    std::sort(tied.begin(), tied.end());
    EXPECT_EQ(tied, (std::vector<std::string>{"ann", "cy"}));
    top.top = "2";
    top.orderBy = {{"T.Price", true}};
    rows = Run(top);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[1][0], "Bob");
    EXPECT_EQ(rows[2][0], "ann");
}

TEST(AccessQueries, WhatCannotRunIsRefusedNamingTheQuery) {
    auto refusal = [](const std::vector<QueryRow>& rows, std::string* text) {
        return DbErrorNumber([&] { db::access::StoredView(db::access::ReadQuery("Mine", rows)).Render({}); }, text);
    };
    const std::vector<QueryRow> from{Row(5, "T"), Row(6, "", "", "T.A", 0)};
    auto with = [&](std::vector<QueryRow> more) {
        more.insert(more.end(), from.begin(), from.end());
        return more;
    };
    struct Case {
        const char* what;
        std::vector<QueryRow> rows;
        int number;
        const char* says;
    };
    const Case cases[] = {
        {"update", with({Row(1, "", "", "", 4)}), 3251, "an update query"},
        {"append", with({Row(1, "T2", "", "", 3)}), 3251, "an append query"},
        {"make-table", with({Row(1, "T2", "", "", 2)}), 3251, "a make-table query"},
        {"delete", with({Row(1, "", "", "", 5)}), 3251, "a delete query"},
        {"crosstab", with({Row(1, "", "", "", 6)}), 3251, "a crosstab query"},
        {"union", with({Row(1, "", "", "", 9)}), 3251, "a union query"},
        {"pass-through", with({Row(1, "ODBC;", "", "SELECT 1", 8)}), 3251, "a pass-through query"},
        {"data definition", with({Row(1, "", "", "DROP TABLE T", 7)}), 3251, "a data-definition query"},
        {"declared parameters", with({Row(2, "Beginning Date", "", "", 8), Row(2, "End", "", "", 8)}), 3061,
         "Expected 2: the query 'Mine' asks for [Beginning Date], [End]"},
        {"a form's control", with({Row(8, "", "", "T.A=[Forms]![Orders]![OrderID]")}), 3061, "Expected 1"},
        {"an unknown function", with({Row(6, "", "", "Format(T.A,\"yyyy\")", 0)}), 3085, "'Format'"},
        {"Xor", with({Row(8, "", "", "T.A=1 Xor T.A=2")}), 3251, "\"Xor\""},
        {"a Like set", with({Row(8, "", "", "T.A Like \"[a-c]*\"")}), 3251, "Like pattern"},
        {"TOP PERCENT", with({Row(3, "10", "", "", 48)}), 3251, "TOP ... PERCENT"},
        // What a file the user did not write may hold.
        {"';' in WHERE", with({Row(8, "", "", "1=1; SELECT [zzz]")}), 3251, "';'"},
        {"';' in a column", {Row(5, "T"), Row(6, "", "", "T.A; DROP TABLE T", 0)}, 3251, "';'"},
        {"';' in ORDER BY", with({Row(11, "", "", "T.A; SELECT 1")}), 3251, "';'"},
        {"';' in a join", {Row(5, "T"), Row(5, "U"), Row(6, "", "", "T.A", 0), Row(7, "T", "U", "T.A=U.A; SELECT 1", 1)},
         3251, "';'"},
        {"a bracketed name called", with({Row(6, "", "", "[zeroblob](10)", 0)}), 3085, "'zeroblob'"},
        {"a SQLite function", with({Row(8, "", "", "sqlite_version()=1")}), 3085, "'sqlite_version'"},
        {"nested 20,000 deep", with({Row(8, "", "", std::string(20000, '(') + "1" + std::string(20000, ')'))}), 3360,
         "too complex"},
        {"a table holding ']'", {Row(5, "T] ; DROP TABLE [T"), Row(6, "", "", "T.A", 0)}, 3125, "holds ']'"},
        {"an alias holding ']'", {Row(5, "T"), Row(6, "x]y", "", "T.A", 0)}, 3125, "holds ']'"},
        {"a mark outside the grammar", with({Row(8, "", "", "T.A = 1 ` 2")}), 3251, "'`'"},
    };
    for (const Case& c : cases) {
        std::string text;
        EXPECT_EQ(refusal(c.rows, &text), c.number) << c.what;
        EXPECT_NE(text.find("'Mine'"), std::string::npos) << c.what << ": " << text;
        EXPECT_NE(text.find(c.says), std::string::npos) << c.what << ": " << text;
    }
}

// A name in FROM that is neither a table nor a query of the file would read SQLite's own tables
// and table-valued functions: refused naming it, wherever it stands and whatever is selected.
TEST(AccessQueries, FromNamesOutsideTheFileAreRefused) {
    const db::access::SourceLookup onlyT = [](const std::string& name) -> std::optional<db::access::SourceInfo> {
        if (name != "T") return std::nullopt;
        db::access::SourceInfo info;
        info.columns = {"A"};
        info.types.resize(1);
        info.table = true;
        return info;
    };
    auto render = [&](const std::vector<QueryRow>& rows, std::string* text) {
        return DbErrorNumber([&] { db::access::StoredView(db::access::ReadQuery("Mine", rows)).Render(onlyT); }, text);
    };
    struct Case {
        const char* what;
        std::vector<QueryRow> rows;
        const char* name;
    };
    const Case cases[] = {
        {"a named column", {Row(5, "sqlite_master"), Row(6, "", "", "[sql]", 0)}, "'sqlite_master'"},
        {"a table-valued function", {Row(5, "pragma_function_list"), Row(6, "", "", "[name]", 0)},
         "'pragma_function_list'"},
        {"every field", {Row(3, "", "", "", 1), Row(5, "sqlite_schema")}, "'sqlite_schema'"},
        {"a joined side",
         {Row(5, "T"), Row(5, "sqlite_master"), Row(6, "", "", "T.A", 0), Row(7, "T", "sqlite_master", "T.A=sqlite_master.name", 1)},
         "'sqlite_master'"},
        {"a subquery", {Row(5, "T"), Row(6, "", "", "T.A", 0), Row(8, "", "", "T.A In (SELECT name FROM sqlite_master)")},
         "'sqlite_master'"},
    };
    for (const Case& c : cases) {
        std::string text;
        EXPECT_EQ(render(c.rows, &text), 3078) << c.what;
        EXPECT_NE(text.find("'Mine'"), std::string::npos) << c.what << ": " << text;
        EXPECT_NE(text.find(c.name), std::string::npos) << c.what << ": " << text;
    }
    EXPECT_EQ(render({Row(5, "T"), Row(6, "", "", "T.A", 0)}, nullptr), 0);
}

}  // namespace
