// The stored queries of an Access file, rebuilt from the rows of its MSysQueries table. Access
// keeps no query text: each query is a run of rows keyed by its catalog id, one row per part,
// told apart by their Attribute code:
//   0 and 255  the query's first and last row
//   1          its kind (Flag, see QueryKind; a select query may have no such row); an action
//              query's target table in Name1, a pass-through or data-definition query's own
//              text in Expression
//   2          a declared parameter (Name1 its name, Flag its type)
//   3          options (Flag bits: 1 every field "*", 2 DISTINCT, 8 DISTINCTROW, 16 TOP Name1,
//              32 TOP ... PERCENT)
//   5          a table or query of FROM (Name1, its alias in Name2; a union's parts in Expression)
//   6          an output column (Expression, its alias in Name1)
//   7          a join: Name1 and Name2 the two sides, Expression the ON condition, Flag 1 inner,
//              2 left, 3 right
//   8 WHERE, 9 GROUP BY, 10 HAVING (Expression); 11 ORDER BY (Expression, "D" in Name1 descending)
// The rows of one query keep the order of its parts. Qt-free and independent of the file reader,
// which hands the rows in.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/db/sql_names.h"

namespace db::access {

// The kind codes of Attribute 1.
enum class QueryKind : int {
    Select = 1,
    MakeTable = 2,
    Append = 3,
    Update = 4,
    Delete = 5,
    Crosstab = 6,
    DataDefinition = 7,
    PassThrough = 8,
    Union = 9,
    Unknown = 0,
};

// "a select query", "an append query", ... for messages.
std::string KindName(QueryKind kind);

// One row of MSysQueries.
struct QueryRow {
    int32_t objectId = 0;
    int attribute = 0;
    std::string name1, name2, expression;
    std::optional<int> flag;
};

struct QueryColumn {
    std::string expression;
    std::string alias;  // "" when none
};

struct QueryTable {
    std::string name;
    std::string alias;       // "" when none
    std::string expression;  // a union's part
};

struct QueryJoin {
    std::string left, right;  // the names (or aliases) of the two sides
    std::string on;
    int kind = 1;  // 1 inner, 2 left, 3 right
};

struct OrderColumn {
    std::string expression;
    bool descending = false;
};

// A stored query's parts, in the order its rows give them.
struct StoredQuery {
    std::string name;
    QueryKind kind = QueryKind::Unknown;
    std::string target;                   // make-table and append queries
    std::vector<std::string> parameters;  // declared parameters
    bool allFields = false, distinct = false, distinctRow = false;
    std::string top;  // the TOP count, "" when none
    bool topPercent = false;
    std::vector<QueryTable> tables;
    std::vector<QueryColumn> columns;
    std::vector<QueryJoin> joins;
    std::string where, having;
    std::vector<std::string> groupBy;
    std::vector<OrderColumn> orderBy;
    std::vector<int> unknownAttributes;  // codes this reader does not know
};

// The query's parts from its rows (every row's objectId is the query's).
StoredQuery ReadQuery(const std::string& name, const std::vector<QueryRow>& rows);

// The FROM clause of the query as Jet writes it: joined tables nested in the order of the joins
// ("(A INNER JOIN B ON ...) LEFT JOIN C ON ..."), joins between the same two sides as one join
// whose conditions are joined by AND, tables without a join listed after a comma.
std::string FromClause(const StoredQuery& q);

// The Jet SQL text of a select query, its clauses on lines of their own and ended by ";".
std::string SelectSql(const StoredQuery& q);

// A name as Jet SQL writes it: in brackets unless it is a plain word (an ASCII letter, then
// letters, digits and "_") that is not a reserved word; db::Error 3125 for a name that cannot be
// put in brackets (holding "]").
std::string JetName(const std::string& name, NameKind kind = NameKind::Table);

}  // namespace db::access
