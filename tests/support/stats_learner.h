// A bare core::Learner bound to an in-memory table, for tests of the statistics and the searches
// that need real counts without an engine around them. Bind sets what an engine's set-up would:
// field names (bracketed), value labels from the table, the layer total, the statistics arrays
// with every pair marked not computed, and the chi-square table.
//
//     testsupport::MemoryTable t("T", {"A", "B", "C"}, rows);
//     testsupport::StatsLearner L(core::CoreSettings::Classifier(100));
//     L.Bind(t);                 // fields 1..3 = A, B, C
//     float mi = L.GetMI(1, 2);  // L.db->CountQueries() counts the queries it sent
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/learner.h"
#include "tests/support/memory_table.h"
#include "tests/support/recording_db.h"

namespace testsupport {

class StatsLearner : public core::Learner {
public:
    explicit StatsLearner(core::CoreSettings settings) : core::Learner(settings) {}
    bool Progress(vb::Single) override { return Cancel; }

    // Binds the table: fields 1..n are `fields` (default: every column of the table) and the
    // count expression is Sum(weightField) when one is named. The chi-square table has
    // max(30, MaxVlus^2) entries (4225 for the construction settings).
    void Bind(const MemoryTable& table, std::vector<std::string> fields = {},
              const std::string& weightField = "");
    // The same over a real database (recorded while passed through), for fields of `table`.
    void Bind(std::shared_ptr<db::Database> database, const std::string& table,
              std::vector<std::string> fields, const std::string& weightField = "");

    std::shared_ptr<RecordingDatabase> db;

private:
    void BindTo(std::shared_ptr<RecordingDatabase> database, const std::string& table,
                const std::vector<std::string>& fields, const std::string& weightField);
};

}  // namespace testsupport
