// EngineFixture: a classifier engine over a small table made in code, ready for the steps after
// structure learning (PutGraph, LearnCPT, inference, ClsfyBatch) without running the set-up or
// the search. The table goes into a SQLite file in a temporary folder; the engine is bound to
// it by Init and InitLearn, and the members the set-up would fill (numfld, FieldNames, FF,
// VluLbl, nc, NetTotal, VluCnt) are computed from the rows in code, so a test knows exactly
// what they hold:
//
//     testsupport::EngineFixture fx({"T", {{"Buy", db::dbText}, {"Colour", db::dbText}}, rows},
//                                  {"Buy", "Colour"});
//     auto g = fx.NewGraph();
//     testsupport::EngineFixture::Arc(g, 0, 1, 2);     // Buy -> Colour in layer 0
//     fx.engine.PutGraph(g);
//     bool mn = false;
//     fx.engine.LearnCPT(mn);
//
// The table is a TableSpec of db_contract.h, written with CreateSqliteFile. Labels are ordered
// as the database orders distinct values (Null first, numbers before texts, numbers by value,
// texts without regard to case). A Boolean column named "zorv_holdout" marks the hold-out rows
// (True = hold-out).
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "classifier_engine/data_engine.h"
#include "platform/db/database.h"
#include "tests/support/db_contract.h"

namespace testsupport {

// Records every PercentDone and sets Cancel at the call numbered cancelAt (1-based; 0 never).
class ProgressRecorder : public zorvapi::DataEngineEvents {
public:
    explicit ProgressRecorder(int cancelAt = 0) : cancelAt_(cancelAt) {}
    void PercentDone(vb::Single Percent1, vb::Single Percent2, bool& Cancel) override;
    std::vector<std::pair<vb::Single, vb::Single>> calls;

private:
    int cancelAt_;
};

// Switches LC_NUMERIC to a locale whose decimal symbol is a comma while it lives (compiled with
// localedef into a temporary folder when none is installed); ok() is false when none can be
// had, and the test then skips.
class CommaLocale {
public:
    CommaLocale();
    ~CommaLocale();
    CommaLocale(const CommaLocale&) = delete;
    CommaLocale& operator=(const CommaLocale&) = delete;
    bool ok() const { return ok_; }

private:
    std::optional<TempDir> built_;
    bool ok_ = true;
};

class EngineFixture {
public:
    // fields: the classifier's fields, the class first. freq: the frequency column or "".
    EngineFixture(TableSpec table, std::vector<std::string> fields, vb::Long maxRows = 5000,
                  vb::Integer maxVlus = 100, std::string freq = "");

    // Recomputes NetTotal and VluCnt from every row, or only from the rows whose hold-out flag
    // is False (what the search counts).
    void LoadCounts(bool learnRowsOnly);

    // An empty link matrix per layer: (0..nc, 0..numfld, 0..numfld).
    vb::Array<vb::Integer> NewGraph() const;
    // Marks parent -> child in a layer the way the engine writes links: in the cell (i, j) with
    // i < j, 1 when i is the parent and 2 when j is.
    static void Arc(vb::Array<vb::Integer>& graph, vb::Integer layer, vb::Integer parent,
                    vb::Integer child);

    // Index of a label among field f's labels (1-based); fails the test when it is not there.
    vb::Integer Label(vb::Integer f, const std::string& label) const;

    TempDir dir;
    TableSpec table;
    std::vector<std::string> fields;
    std::string freq;
    std::shared_ptr<db::Database> db;
    zorvapi::DataEngine engine;

private:
    int ColumnOf(const std::string& name) const;
    bool IsHoldOut(const std::vector<db::Value>& row) const;
};

}  // namespace testsupport
