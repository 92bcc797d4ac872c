// A stored select query of an Access file as the SQLite view that runs it on the in-memory copy
// of the file's tables. Jet's expressions are carried over token by token: [names] quoted,
// "texts" and #dates# as the copy stores them (texts compared without regard to case, dates as
// their "yyyy-mm-dd hh:nn:ss" text), Yes/No as 1/0, "&" as a concatenation that treats Null
// as "", "/" dividing as floating point, Like patterns with "*" and "?", TOP n with the rows
// that tie with the n-th, and the Jet functions listed in the .cpp through SQLite's own
// functions or those RegisterJetFunctions adds; DISTINCTROW is taken as a plain select. What
// cannot run this way is refused, naming the query: another kind of query (3251), declared
// parameters or a reference to a form's control (3061, Jet's "too few parameters"), a function
// not known here (3085), and TOP ... PERCENT, Xor, Eqv, Imp, "\", "^" and Like patterns with
// "#" or "[...]" (3251). Internal to the layer.
#pragma once

#include <sqlite3.h>

#include <string>
#include <vector>

#include "platform/db/access_queries.h"

namespace db::access {

struct ViewSql {
    std::string select;                // the SQLite SELECT of the view
    std::vector<std::string> names;    // every table or query name it may read, for loading first
};

// The view's SELECT; db::Error as above naming the query when it cannot run here.
ViewSql SqliteView(const StoredQuery& q);

// The functions the views call: jet_ccur, jet_cdbl, jet_clng, jet_cint, jet_int, jet_fix,
// jet_year, jet_month, jet_day, jet_iif, jet_left, jet_right, jet_mid, jet_concat.
void RegisterJetFunctions(sqlite3* db);

}  // namespace db::access
