// A stored select query of an Access file as the SQLite view that runs it on the in-memory copy
// of the file's tables. The query's Jet SQL, rebuilt from its rows, is read by the layer's own
// parser (its stored-query grammar) into a tree, and the view is rendered from the tree alone:
// names re-quoted, texts and #dates# as SQLite literals (texts compared without regard to case,
// dates as their "yyyy-mm-dd hh:nn:ss" text), Yes/No as 1/0, "&" as a concatenation that takes
// Null as "", "/" dividing as floating point, Like patterns with "*" and "?", TOP n with the
// rows that tie with the n-th, DISTINCTROW as one row per record of the tables whose fields are
// output, "*" as the columns of its tables (a name two of them share as "Table.Column"), text
// ordered letters first, then accents, then case, and only the Jet functions listed in the .cpp,
// through SQLite's own functions or those RegisterJetFunctions adds. What cannot run this way
// is refused, naming the query: another kind of query, a mark or word outside the grammar, a
// ";" before the end, TOP ... PERCENT, Xor, Eqv, Imp, "\", "^" and Like patterns with "#" or
// "[...]" (3251); declared parameters or a reference to a form's control (3061, Jet's "too few
// parameters"); a function not known here (3085); a name that cannot be quoted (3125); nesting
// beyond the parser's depth (3360). Internal to the layer.
#pragma once

#include <sqlite3.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/db/access_queries.h"
#include "platform/db/column_types.h"
#include "platform/db/sql_ast.h"

namespace db::access {

// A table or query that a stored query reads, as the copy has it.
struct SourceInfo {
    std::vector<std::string> columns;
    std::vector<DeclaredType> types;  // by column; typed false where the values decide
    bool table = false;               // a table (it has row ids), not a query's view
};
// The source of that name, or nothing when the file has none.
using SourceLookup = std::function<std::optional<SourceInfo>(const std::string& name)>;

struct ViewSql {
    std::string select;               // the SQLite SELECT of the view
    std::vector<std::string> columns; // its column names, as Jet names them
    std::vector<DeclaredType> types;  // their Jet types; typed false where the values decide
};

// A stored select query read and checked; db::Error as above naming the query.
class StoredView {
public:
    explicit StoredView(const StoredQuery& q);

    // The tables and queries it reads (its FROM and its subqueries'), to be made first.
    const std::vector<std::string>& Sources() const { return sources_; }

    // The view's SELECT, the sources' columns looked up where "*", DISTINCTROW and the types
    // of the columns need them.
    ViewSql Render(const SourceLookup& lookup) const;

private:
    std::string name_;
    sql::Select select_;
    std::vector<std::string> sources_;
};

// The functions and the collation the views use: jet_ccur, jet_cdbl, jet_clng, jet_cint,
// jet_int, jet_fix, jet_year, jet_month, jet_day, jet_iif, jet_left, jet_right, jet_mid (each
// given the query's name last, for its errors), jet_concat, and the text order jet_text. An
// error in a row's evaluation is the statement's error, naming the query, the function and
// the value.
void RegisterJetFunctions(sqlite3* db);

}  // namespace db::access
