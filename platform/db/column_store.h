// The in-memory counting path of SQLite databases. Learning sends thousands of grouped count
// queries over one table; SQLite answers each with a full scan and a sort (tens of milliseconds
// on 100,000 rows), while the same counts over a dictionary-coded copy of the columns take a
// fraction of a millisecond. A ColumnStore is that copy for one table: every column's values
// coded to dense integers, one code per group the SQLite rendering would form (case-folded for
// the columns that group without regard to case), the codes numbered in the order the rendering
// sorts them, so that a mixed-radix key over the grouping columns sorts the groups as SQLite
// does.
//
// The store answers exactly what the SQLite path returns, cell for cell and kind for kind:
// grouped Count(*), Count() and Sum() with the grouping columns (a case-insensitive group shows
// its smallest spelling in byte order), DISTINCT over one or more columns, and WHERE clauses of
// comparisons of a column with a literal (and Is Null / Is Not Null) joined by And, in every
// comparison mode the binder marks (text without case, Jet Booleans with Null as No, Single,
// Date). Sums add in row-id order, as SQLite's scan visits them, so floating sums are bitwise
// the same. Whatever it cannot answer with certainty (a column with blobs, numbers that group
// as one but are stored differently, a condition with Or, an aggregate other than Count and
// Sum, a comparison that SQLite's type affinity would convert) goes to SQLite unchanged.
//
// The CountingPath keeps the stores of one database: a table is loaded (with SELECT only) on its
// first count query, and every store is dropped when anything writes: the database's own writes
// call Invalidate, and each query first compares the connection's change counter and SQLite's
// data_version, which move for writes through recordsets and through other connections.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/db/sqlite_backend.h"

namespace db::sqlite {

class ColumnStore;

// What the path did, for tests and the benchmark.
struct CountingStats {
    int64_t answered = 0;  // queries answered from a store
    int64_t counted = 0;   // counts answered by a counter (GroupCounts) without a query text
    int64_t fellBack = 0;  // count queries sent to SQLite because a store could not answer them
    int64_t loads = 0;     // tables loaded into a store
    std::string lastFallback;  // why the last query went to SQLite
};

// The plain counts' key passes run in the widest vectors the machine has (on, the default) or in
// plain x86-64 code (off), which give the same keys; tests compare the two. Returns whether the
// machine has wider vectors than the plain code uses.
bool UseVectorKernels(bool on);

class CountingPath {
public:
    CountingPath();
    ~CountingPath();
    CountingPath(const CountingPath&) = delete;
    CountingPath& operator=(const CountingPath&) = delete;

    // On unless the environment says BNSUITE_COUNTING=sqlite.
    static bool DefaultEnabled();
    bool enabled() const { return enabled_; }
    void SetEnabled(bool on);

    // The result of a bound aggregate query as rows of cells (row by row, the columns of each
    // row in order), or nothing when it must go to SQLite. rowidTable: the table is a rowid
    // table (views and WITHOUT ROWID tables are not loaded).
    std::optional<std::vector<Value>> Answer(Connection& conn, const sql::BoundSelect& q, bool rowidTable);
    // Drops every store (the database wrote, or its schema changed).
    void Invalidate();
    // The engines' counter (database.h) over the bound form of "select <count>, <fields> from
    // <table><where> group by <fields>", one grouping key a field; nullptr when the path is off,
    // the table cannot be coded, or its count expression or filter cannot be answered here.
    // A field the store cannot count is left out (Values gives nullptr for it).
    std::unique_ptr<GroupCounter> Counter(const std::shared_ptr<Connection>& conn, const sql::BoundSelect& q,
                                          bool rowidTable);

    const CountingStats& stats() const { return *stats_; }

private:
    std::optional<std::vector<Value>> FallBack(std::string why);
    // The store of the table, loaded when missing, after dropping every store that a change
    // since they were read made stale; nullptr, with why, when the table cannot be coded.
    std::shared_ptr<ColumnStore> Store(Connection& conn, const sql::TableInfo& table, std::string& why);
    bool enabled_;
    std::shared_ptr<CountingStats> stats_ = std::make_shared<CountingStats>();  // shared with the counters
    int64_t totalChanges_ = -1;
    int64_t dataVersion_ = -1;
    // Moves with every Invalidate: a counter made before it declines from then on.
    std::shared_ptr<uint64_t> generation_ = std::make_shared<uint64_t>(0);
    // By upper-cased table name; a table that could not be coded keeps an empty store and why.
    std::map<std::string, std::shared_ptr<ColumnStore>> stores_;
    std::map<std::string, std::string> loadFailure_;
};

}  // namespace db::sqlite
