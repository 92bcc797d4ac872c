// Name resolution and Jet's rules over a parsed statement, shared by every back end. The binder
// resolves a SELECT against the definition of its table (names case-insensitive; a missing
// table is 3078, a missing field 3061, both naming it), types every expression, checks the
// literals against the columns they are compared with, and states in the bound form what each
// renderer must keep:
//  - text compares, groups, orders and de-duplicates without regard to case (GroupKey,
//    OrderKey and Compare of a text or untyped column carry caseInsensitive);
//  - a case-insensitive group shows its smallest spelling by byte order (upper case before
//    lower case): BoundItem::representative asks the renderer for Min(column) in binary order;
//  - GROUP BY rows come ordered by the grouping columns, first most significant, Null first;
//    DISTINCT is bound as a grouping over its columns, so it returns the same order;
//  - a Boolean column is seen as Jet sees it: True is -1, False 0, and a Null counts as No in
//    comparisons (CompareMode::Boolean); it orders True before False, as -1 before 0;
//  - a number column compared for equality with yes/no (True/False) is taken as a flag: yes
//    is every non-zero value, no the zero and the Null (CompareMode::Boolean as well);
//  - a Single column compares at single precision (its literal is rounded to Single);
//  - Count gives Long, Sum gives Long over integer and Boolean columns and Double over
//    floating ones, Avg Double, Max and Min the column's own type.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/db/sql_ast.h"

namespace db::sql {

// A column as the back end knows it.
struct ColumnInfo {
    std::string name;
    FieldType type = dbText;
    bool typed = true;  // false: no declared type; its cells are typed by what each one holds
    int32_t size = 0;
    // Not "": the column's cells could not be read from its source (an imported column of a
    // type nobody here decodes), and this names the type. The table lists it, and a query that
    // reads it fails naming it (3251), so that its Nulls never pass for its values.
    std::string unreadable;
};

struct TableInfo {
    std::string name;  // as stored
    std::vector<ColumnInfo> columns;
    // The column's index by name, case-insensitive; -1 when there is none.
    int Find(const std::string& column) const;
    // Indexes the column names for Find, which otherwise scans them: binding a query over a
    // table of a thousand columns would scan it once for every name the query holds. Copies
    // share the index; columns changed afterwards are still found (a hit is checked, a miss
    // scans).
    void IndexNames();
    std::shared_ptr<const std::unordered_map<std::string, int>> byName;
};

// The definition of a table by name (case-insensitive); throws db::Error 3078 naming it when
// there is no such table.
using TableLookup = std::function<TableInfo(const std::string& table)>;

// How a comparison must be rendered.
enum class CompareMode : uint8_t {
    Plain,    // native comparison of the values
    Text,     // case-insensitive text comparison
    Boolean,  // the Boolean (or flag) side as its Jet value (-1 non-zero, 0 zero and Null); literal -1 or 0
    Single,   // the Single side rounded to single precision; the literal already is
    Date,     // the Date side as its serial; the literal is a Double serial
};

struct BoundExpr {
    enum class Kind : uint8_t { Column, Literal, Null, CountStar, Aggregate, Compare, And, Or, Not, IsNull, IsNotNull };
    Kind kind = Kind::Null;
    int column = -1;             // Column: index into the table's columns
    Value literal;               // Literal, already coerced for its comparison
    AggregateFn fn = AggregateFn::Count;
    CompareOp op = CompareOp::Eq;
    CompareMode mode = CompareMode::Plain;  // Compare
    std::vector<BoundExpr> args;
    FieldType type = dbText;     // result type
    bool typed = true;           // false: typed by the stored value (untyped column, or over one)
};

// A text (or untyped) result: compared, grouped and ordered without regard to case.
inline bool IsCaseInsensitive(const BoundExpr& e) { return !e.typed || e.type == dbText || e.type == dbMemo; }
// A Boolean column's result: True is -1 and False 0 in comparisons, sums and order.
inline bool IsJetBoolean(const BoundExpr& e) { return e.typed && e.type == dbBoolean; }

struct BoundItem {
    BoundExpr expr;
    std::string name;             // the result column's name
    bool representative = false;  // a case-insensitive grouped column: show Min in byte order
};

struct GroupKey {
    BoundExpr expr;  // a column
    bool caseInsensitive = false;
};

struct OrderKey {
    BoundExpr expr;
    bool descending = false;
    bool caseInsensitive = false;
    bool jetBoolean = false;  // order by the Jet value (True -1 before False 0), Null first
};

struct BoundSelect {
    TableInfo table;
    std::vector<BoundItem> items;
    std::optional<BoundExpr> where;
    bool aggregate = false;        // one row per group (GROUP BY, DISTINCT or aggregates)
    bool distinctRows = false;     // DISTINCT over expressions that are not plain columns
    std::vector<GroupKey> groupBy; // GROUP BY's columns, or DISTINCT's
    std::vector<OrderKey> orderBy; // the full order the rows must come in
    std::optional<TableRef> into;
};

BoundSelect BindSelect(const Select& select, const TableLookup& lookup);

// A WHERE clause over one table (UPDATE, DELETE); the same rules as in a SELECT.
BoundExpr BindCondition(const Expr& condition, const TableInfo& table);

// A literal made fit for storing in the column (Boolean literals for Boolean columns, numbers
// rounded to Single for Single columns ...); db::Error 3464 when it cannot be stored there.
Value CoerceForColumn(const Value& v, const ColumnInfo& column);

// The TableDefs entry of a table as the back end's lookup defines it; a missing table is
// 3265 (item not found in the collection) there, naming it, rather than the binder's 3078.
TableDef TableDefOf(const std::string& table, const TableLookup& lookup);

// The table columns an INSERT fills, in the order of its value list: the named columns, or
// every column when none is named; db::Error 3127 naming a column the table lacks.
std::vector<int> InsertTargets(const Insert& ins, const TableInfo& table);

// Name and number of Jet's errors raised by the binder, for the back ends that raise the same.
Error NoSuchTable(const std::string& table);
Error NoSuchField(const std::string& field, const std::string& table);
Error TypeMismatch(const std::string& expression);

}  // namespace db::sql
