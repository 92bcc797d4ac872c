// DataEngine: the classifier engine's one class. It derives the structure-learning core's state
// and procedures from core::Learner and adds the classifier's own members: network layers,
// feature subset, probability tables, cost table, batch results and the two-level progress.
// The members are grouped by the procedures that own them; each group's procedures live in the
// file named in its heading.
#pragma once

#include <string>

#include "classifier_engine/zorvapi.h"
#include "core/learner.h"

namespace zorvapi {

// The error source and texts of the class (numbers are com::objectError(n) but for 556).
extern const char* const kSource;  // "DataEngine Object"

class DataEngine : public IDataEngine, public core::Learner {
public:
    DataEngine();
    ~DataEngine() override;

    void SetEventSink(DataEngineEvents* sink) override { sink_ = sink; }

    // ---- frame: data_engine.cpp ----
    void Init(Long& rows, Integer& vlus) override;
    void InitLearn(std::shared_ptr<db::Database>& objdb, std::string& strtb,
                   std::string& cntfld) override;
    bool IsMultiNet() override { return IsMultiNet_; }
    Long TotalCases() override { return TotalCases_; }
    Long CorrectCases() override { return CorrectCases_; }
    Long ErrorCases() override { return ErrorCases_; }
    std::string StrStatus() override { return StatusText; }
    void GetRelative(vb::Array<Integer>& TmpArr) override;
    void GetClsLbl(vb::Array<std::string>& TmpArr) override;
    void GetFldNM(vb::Array<std::string>& FldArr) override;
    void GetFldVlu(vb::Array<std::string>& FldV) override;
    void GetFF(vb::Array<Integer>& FF) override;
    void GetLift(vb::Array<Single>& tmp) override;
    void GetROC(vb::Array<Single>& tmp) override;

    Long MaxRows = 0;
    Long TableRows = 0;
    std::string StatusText;
    bool IsMultiNet_ = false;
    Long TotalCases_ = 0, CorrectCases_ = 0, ErrorCases_ = 0;

    // Progress: Percent2 is the running stage, Percent1 the whole call.
    Single Percent1 = 0, Percent2 = 0;
    Single PhaseShare = 1, StepShare = 1, ConstructShare = 1;
    bool InConstruction = false;  // a construction's steps count ConstructShare times
    // Raises PercentDone with the current percentages; returns Cancel.
    bool RaisePercentDone();
    bool Progress(Single increment) override;

    // ---- learning set-up: init_learn_stru.cpp ----
    void InitLearnStru(Integer& numfld, vb::Array<std::string>& arrfldnm, bool& bord,
                       vb::Array<Integer>& po, vb::Array<Integer>& ce, vb::Array<Integer>& fl,
                       vb::Array<Integer>& rt, vb::Array<Integer>& lf, bool& bpres,
                       std::string& logi, std::string& logo, Integer& BMMode, bool& FixedThr,
                       Integer& FSM, bool& tmpROC, bool& tmpFilter, bool& tmpNoOrd) override;
    std::string logo;
    bool tmpROC = false;
    Integer BMMode = 1, FSM = 2;
    bool FixedThr = true;
    bool LearnRowsOnly = false;
    vb::Array<Integer> LogMap;

    // ---- construction driver and graph layers: construct_bn.cpp ----
    void ConstructBN(Single& Perc) override;
    vb::Array<Integer> Graph;  // (0..nc, 0..numfld, 0..numfld)
    vb::Array<Integer> Feature;  // (0..numfld)

    // ---- cost table and graph exchange: graph_exchange.cpp ----
    void GetCostTable(vb::Array<Single>& TmpTable) override;
    void PutCostTable(vb::Array<Single>& TmpTable) override;
    void PutGraph(vb::Array<Integer>& TmpGraph) override;
    void GetGraph(vb::Array<Integer>& TmpGraph) override;

    // ---- learning driver: learn_stru.cpp ----
    void LearnStru(Single& Threshold) override;

    // ---- probability tables: learn_cpt.cpp ----
    bool LearnCPT(bool& MN) override;

    // ---- inference: inference.cpp ----
    Integer ClsfyInst(vb::Array<Integer>& TmpArr) override;
    Integer InferenceMN(vb::Array<Integer>& FldVi) override;
    Integer InferenceBN(vb::Array<Integer>& FldVi) override;

    // ---- batch and hold-out classification: classify_batch.cpp ----
    Single ClsfyBatch(std::shared_ptr<db::Database>& TestDB, std::string& TestTB,
                      std::string& TmpCls, vb::Array<Long>& Matrix, std::string& FileNM) override;

    // ---- lift and ROC: lift_roc.cpp ----
    Single LiftCurve(Integer& C) override;
    Single AllROC() override;
    Single ROCCurve(Integer& X, Integer& Y) override;
    void QuickSort(Integer& D, Long& First, Long& Last) override;
    vb::Array<Single> LiftIndex;  // (0..nc)
    vb::Array<Single> ROCIndex;   // (0..nc, 0..nc)

    // ---- classifier file: bnc_file.cpp ----
    void ReadBncStru(std::string& FileNM) override;
    void ReadBncCPT(std::string& FileNM) override;
    void WriteBnc(std::string& FileNM) override;

private:
    DataEngineEvents* sink_ = nullptr;
};

}  // namespace zorvapi
