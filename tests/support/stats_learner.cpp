// Binding a bare learner to an in-memory table.
#include "tests/support/stats_learner.h"

#include <algorithm>

namespace testsupport {

using vb::Integer;
using vb::Long;

void StatsLearner::Bind(const MemoryTable& table, std::vector<std::string> fields,
                        const std::string& weightField) {
    auto scripted = std::make_shared<RecordingDatabase>();
    table.AttachTo(*scripted);
    if (fields.empty()) fields = table.columns();
    TableRows = Long(table.rows().size());
    BindTo(scripted, table.table(), fields, weightField);
}

void StatsLearner::Bind(std::shared_ptr<db::Database> database, const std::string& table,
                        std::vector<std::string> fields, const std::string& weightField) {
    auto recording = std::make_shared<RecordingDatabase>(std::move(database));
    BindTo(recording, table, fields, weightField);
    TableRows = vb::CLng(QueryBlock("select count(*) from " + TableName, 1)(0, 0).ToDouble());
    db->ClearLog();
}

void StatsLearner::BindTo(std::shared_ptr<RecordingDatabase> database, const std::string& table,
                          const std::vector<std::string>& fields, const std::string& weightField) {
    db = std::move(database);
    Db = db;
    MaxVlus = settings_.maxValues;
    TableName = "[" + table + "]";
    CountExpr = " Count(*) ";
    WhereClause.clear();
    numfld = Integer(fields.size());
    nc = 0;
    NetIdx = 0;
    FieldNames.ReDim(vb::To(numfld));
    for (Integer i = 1; i <= numfld; ++i) FieldNames(i) = "[" + fields[size_t(i - 1)] + "]";
    FF.ReDim(vb::To(numfld));
    VluLbl.ReDim(vb::To(numfld), vb::To(MaxVlus));
    VluCnt.ReDim(vb::To(0), vb::To(numfld), vb::To(MaxVlus));
    NetTotal.ReDim(vb::To(0));
    for (Integer i = 1; i <= numfld; ++i) LoadValueLabels(i);
    if (!weightField.empty()) CountExpr = " Sum([" + weightField + "]) ";
    NetTotal(0) = CountTotal("");
    SizeStatistics(0);
    for (Integer i = 1; i <= numfld; ++i)
        for (Integer j = 1; j <= numfld; ++j)
            if (i != j) MICache(0, i, j) = settings_.notComputed;
    const bool construction = settings_.test == core::ConfigTest::HalfCritical;
    FillChiSq(construction ? 4225 : std::max<Long>(30, Long(MaxVlus) * MaxVlus));
    db->ClearLog();
}

}  // namespace testsupport
