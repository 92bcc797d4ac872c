// DataSet: the construction engine's one class. It derives the structure-learning core's state
// and procedures from core::Learner (layer 0 only) and adds the construction's own members: the
// output log, the single running percentage, the input log's field map and the ranking state
// of MarkovFS. The members are grouped by the procedures that own them; each group's
// procedures live in the file named in its heading.
//
// The core keeps the classifier's names for the statistics the construction engine calls by its
// own: NumStates is FF, StateLbl is VluLbl, StateCnt is VluCnt(0, ...), TotalRows is
// NetTotal(0), and the field f of the host's 0-based name list is FieldNames(f), bracketed.
#pragma once

#include <functional>
#include <string>

#include "construction_engine/vrellapi.h"
#include "core/learner.h"

namespace vrellapi {

// The most values a field may have; a field with more gets NumStates kOverLimit and no labels.
inline constexpr Integer kMaxStates = 65;
inline constexpr Integer kOverLimit = kMaxStates + 1;
// The chi-square table of the construction engine covers every df of two fields of 65 values.
inline constexpr Long kChiSqTop = 4225;

class DataSet : public IDataSet, public core::Learner {
public:
    DataSet();
    ~DataSet() override;

    void SetEventSink(DataSetEvents* sink) override { sink_ = sink; }

    // The construction engine's names of the core's statistics.
    Long& TotalRows() { return NetTotal(0); }
    Integer& NumStates(Integer f) { return FF(f); }
    std::string& StateLbl(Integer f, Integer s) { return VluLbl(f, s); }
    Long& StateCnt(Integer f, Integer s) { return VluCnt(0, f, s); }

    // ---- initialisation: init.cpp (knowledge intake: knowledge.cpp) ----
    void Init(std::shared_ptr<db::Database>& objdb, std::string& strtb, Integer& numfld,
              vb::Array<std::string>& arrfldnm, std::string& cntfld, bool& bord,
              vb::Array<Integer>& po, vb::Array<Integer>& ce, vb::Array<Integer>& fl,
              vb::Array<Integer>& rt, vb::Array<Integer>& lf, std::string& logi,
              std::string& logo) override;
    std::string logo;      // output construction log, "" = none
    bool InitDone = false;  // the last Init ran to its end (not cancelled, not failed)
    // Turns the host's 0-based knowledge arrays into Reach, CE, Adj, FL, Root and Leaf.
    void TakeKnowledge(const vb::Array<Integer>& po, const vb::Array<Integer>& ce,
                       const vb::Array<Integer>& fl, const vb::Array<Integer>& rt,
                       const vb::Array<Integer>& lf);

    // ---- construction run: construct.cpp ----
    void Construct(Single& Perc, bool& bpres, vb::Array<Integer>& rst) override;
    bool Constructed = false;  // Construct has started on this object
    // The result code of the pair i < j from Adj and Reach.
    Integer ResultCode(Integer i, Integer j) const;

    // ---- construction log: construction_log.cpp ----
    vb::Array<Integer> LogMap;  // (0..k): each input log field's index in this run, 0 = none
    void ReadLog(const std::string& path);
    void WriteLog(const std::string& path);
    // Refuses, before a run, an output log that could not be written at its end: a name or
    // label the list format cannot hold, or a file that cannot be created.
    void CheckLogWritable(const std::string& path);

    // ---- progress ----
    Single Percent = 0;
    // Raises PercentDone with the running percentage; returns Cancel.
    bool RaisePercentDone();
    bool Progress(Single increment) override;
    void SetProgress(Single percent) override;

    // ---- parameter learning and export: learn_cp.cpp, export_*.cpp ----
    void LearnCP(vb::Array<Integer>& graf, std::string& tmpF) override;
    // Gives the date and time for the export file's comment line; empty: the system's clock in
    // the regional forms. Tests set a fixed clock.
    std::function<void(std::string& date, std::string& time)> ExportClock;

    // ---- Markov-blanket ranking: markov_fs.cpp ----
    void MarkovFS() override;
    void QuickSort2(Integer& First, Integer& Last) override;
    vb::Array<Integer> MBOrder, MBIndex;  // (0..numfld)
    vb::Array<Single> MBScore;           // (0..numfld)

private:
    DataSetEvents* sink_ = nullptr;
};

}  // namespace vrellapi
