// MemoryTable: a table held in memory that answers the engines' set-up and count queries the way
// the database layer does (groups ordered by the grouping columns, Null first, texts compared
// and grouped without regard to case), so statistics tests can run without a database file and
// pin exactly which queries were sent. Plug it into a RecordingDatabase:
//
//     testsupport::MemoryTable t("T", {"C", "A", "B"}, rows);
//     auto rdb = std::make_shared<testsupport::RecordingDatabase>();
//     t.AttachTo(*rdb);
//
// Understood texts (names bracketed or bare, keywords in any case):
//     select <count>, f1, ..., fm from <table> [WHERE cond [And cond ...]] group by f1, ..., fm
//     select <count> from <table> [WHERE ...]        select count(*) from <table>
//     select distinct f from <table> [WHERE ...]
// where <count> is Count(*) or Sum(w) and a cond is `name=yes`, `name=no`, `name = "text"` or
// `name = number`. Any other text gets no answer (the recording database then fails it).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/db/database.h"
#include "tests/support/recording_db.h"

namespace testsupport {

class MemoryTable {
public:
    MemoryTable(std::string table, std::vector<std::string> columns,
                std::vector<std::vector<db::Value>> rows);

    std::optional<Result> Answer(const std::string& sql) const;
    // Answers every query on `db` that this table understands (the table is copied).
    void AttachTo(RecordingDatabase& db) const;

    const std::string& table() const { return table_; }
    const std::vector<std::string>& columns() const { return columns_; }
    const std::vector<std::vector<db::Value>>& rows() const { return rows_; }

    // The layer's order of two cells: Null first, numbers before texts, numbers by value,
    // texts without regard to case. 0 when they fall in one group.
    static int Compare(const db::Value& x, const db::Value& y);

private:
    int ColumnOf(const std::string& name) const;  // -1 when unknown
    bool Selected(const std::vector<db::Value>& row, const std::string& where) const;

    std::string table_;
    std::vector<std::string> columns_;
    std::vector<std::vector<db::Value>> rows_;
};

}  // namespace testsupport
