// The parsed form of the Jet SQL texts that the engines and programs send. The parser
// (sql_parser.h) builds it; the binder (sql_bind.h) resolves its names against a table and adds
// the Jet rules; each back end renders the bound form in its own dialect. Nothing here is ever
// pasted into a back end's SQL as text: names are re-quoted and literals bound by the renderer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/db/database.h"

namespace db::sql {

// Names and keywords compare without regard to case (ASCII letters; labels and names are
// compared as the Jet engine does).
inline bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = char(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z') y = char(y - 'a' + 'A');
        if (x != y) return false;
    }
    return true;
}

// A table or column name as written: bare, or in [brackets] (the brackets are not part of text).
struct Name {
    std::string text;
    bool bracketed = false;
    size_t pos = 0;  // offset in the statement text, for messages
};

enum class AggregateFn : uint8_t { Count, Sum, Max, Min, Avg };

enum class CompareOp : uint8_t { Eq, Ne, Lt, Gt, Le, Ge };

struct Select;

// The operator as SQL writes it: "=", "<>", "<", ">", "<=", ">=".
inline const char* CompareOpText(CompareOp op) {
    static const char* const text[] = {"=", "<>", "<", ">", "<=", ">="};
    return text[int(op)];
}

// One expression of a select list, WHERE clause, GROUP BY or ORDER BY.
struct Expr {
    enum class Kind : uint8_t {
        Column,     // name (qualifier: an optional "table." before it)
        Literal,    // literal: Long or Double for numbers, Text, Boolean for yes/no/True/False
        Null,       // the word Null
        Aggregate,  // fn over args[0], or Count(*) when star
        Compare,    // args[0] op args[1]
        And,        // args[0] And args[1] ...
        Or,         // args[0] Or args[1] ...
        Not,        // Not args[0]
        IsNull,     // args[0] Is Null
        IsNotNull,  // args[0] Is Not Null
        // Only the stored-query grammar (ParseStoredSelect) builds the kinds below.
        Arith,      // args[0] ops[0] args[1] ops[1] args[2] ...; ops "+", "-", "*", "/", "MOD"
        Concat,     // args[0] & args[1] & ...
        Negate,     // -args[0]
        Call,       // name(args...): a function of the expression service
        Like,       // args[0] [Not] Like args[1]
        Between,    // args[0] [Not] Between args[1] And args[2]
        InList,     // args[0] [Not] In (args[1], ...)
        InSelect,   // args[0] [Not] In (subquery)
        Exists,     // Exists (subquery)
        Subquery,   // (subquery), one value
        Reference,  // Forms!F!C: a value asked of a form when the query runs (text as written)
    };

    Kind kind = Kind::Null;
    Name name;                        // Column
    std::optional<Name> qualifier;    // Column: table name before a "."
    Value literal;                    // Literal
    AggregateFn fn = AggregateFn::Count;
    bool star = false;                // Aggregate: Count(*)
    CompareOp op = CompareOp::Eq;     // Compare
    std::vector<Expr> args;
    std::string text;                 // the expression as written, for messages
    std::vector<std::string> ops;     // Arith
    bool negated = false;             // Like, Between, InList, InSelect
    std::shared_ptr<Select> subquery; // InSelect, Exists, Subquery
};

// A table in FROM, INTO, INSERT INTO: its name and an optional IN 'database file'.
struct TableRef {
    Name name;
    std::optional<std::string> database;
};

struct SelectItem {
    bool star = false;  // "*": every column of the table, in table order
    std::optional<Name> starOf;  // "T.*" (stored-query grammar): every column of T
    Expr expr;
    std::string alias;  // AS name, or ""
};

struct OrderItem {
    Expr expr;
    bool descending = false;
};

// A table of a stored query's FROM, or a join of two of them (stored-query grammar).
struct FromItem {
    enum class Join : uint8_t { None, Inner, Left, Right };
    Join join = Join::None;
    Name table;                   // None: the table or query, and its alias ("" when none)
    std::string alias;
    std::vector<FromItem> sides;  // a join: its left and right side
    std::optional<Expr> on;
};

struct Select {
    bool distinct = false;
    // The stored-query grammar's own parts: DISTINCTROW, TOP n [PERCENT], FROM with joins and
    // HAVING.
    bool distinctRow = false;
    std::string top;
    bool topPercent = false;
    std::vector<FromItem> sources;
    std::optional<Expr> having;
    std::vector<SelectItem> items;
    std::optional<TableRef> into;  // SELECT ... INTO table [IN 'file'] FROM ...
    TableRef from;
    std::optional<Expr> where;
    std::vector<Expr> groupBy;
    std::vector<OrderItem> orderBy;
};

// A column of CREATE TABLE or ALTER TABLE ... ADD: its Jet type (TEXT(50) gives dbText, size 50).
struct ColumnDef {
    Name name;
    FieldType type = dbText;
    int32_t size = 0;
};

struct CreateTable {
    Name table;
    std::vector<ColumnDef> columns;
};

struct AlterTableAdd {
    Name table;
    ColumnDef column;
};

struct DropTable {
    Name table;
};

// INSERT INTO t [(cols)] VALUES (...) or INSERT INTO t [(cols)] SELECT ...
struct Insert {
    TableRef table;
    std::vector<Name> columns;
    std::vector<Expr> values;
    std::optional<Select> select;
};

struct Assignment {
    Name column;
    Expr value;  // a literal or Null
};

struct Update {
    Name table;
    std::vector<Assignment> set;
    std::optional<Expr> where;
};

struct Delete {
    Name table;
    std::optional<Expr> where;
};

using Statement = std::variant<Select, CreateTable, AlterTableAdd, DropTable, Insert, Update, Delete>;

}  // namespace db::sql
