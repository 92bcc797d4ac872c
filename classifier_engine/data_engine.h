// DataEngine: the classifier engine's one class. It derives the structure-learning core's state
// and procedures from core::Learner and adds the classifier's own members: network layers,
// feature subset, probability tables, cost table, batch results and the two-level progress.
// The members are grouped by the procedures that own them; each group's procedures live in the
// file named in its heading.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "classifier_engine/zorvapi.h"
#include "core/learner.h"
#include "platform/vb/replacing_file.h"

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

    Long MaxRows = 0;  // TableRows (the table's row count) is the core's: core::Learner
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
    // A named stage begins: the host's status text changes and the stage percentage restarts.
    void StartStage(const std::string& status) override;

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
    // Step of the set-up that loads the statistics of an input learning log (learning_log.cpp):
    // fills LogMap and, when the log was written under this run's hold-out setting, NetTotal(0),
    // FF, VluLbl, VluCnt, MICache, MIWork and SetCache of the logged fields. A log of another
    // hold-out setting is ignored. A log that is not one the engine wrote for this table (too
    // few fields, another class field or other class values, a total of 0, a line of the wrong
    // length) is error 515; reading past its end is runtime error 62, an unreadable number
    // error 13 (the set-up reports them as 515 and 518). Mutual information is read with "."
    // or "," as decimal separator, and 100 or more (a pair the writer never computed) as not
    // computed.
    void ReadLearningLog(const std::string& logi);

    // ---- construction driver and graph layers: construct_bn.cpp ----
    // Learns layer NetIdx at the threshold Perc x 0.008 from the pairwise pass's MICache: the
    // search with or without the ordering (bord), then the layer's link codes (cells i < j: 0
    // none, 1 i is a parent of j, 2 j is a parent of i; the other triangle cleared) and the run
    // marker Graph(NetIdx, 0, 0) = 1. Layer 0 is then cut to the arcs that end in a child of
    // the class, written into both cells, with ClassChildren, Parents (declared with the
    // probability tables) and LastGraph describing the same arcs. A cancel leaves
    // Graph(0, 0, 0) = -1 and the layer as it was, and returns normally.
    void ConstructBN(Single& Perc) override;
    vb::Array<Integer> Graph;      // (0..nc, 0..numfld, 0..numfld)
    vb::Array<Integer> LastGraph;  // (0..numfld, 0..numfld) layer 0's kept arcs: (p, c) 1, (c, p) 2

    // ---- cost table and graph exchange: graph_exchange.cpp ----
    void GetCostTable(vb::Array<Single>& TmpTable) override;
    void PutCostTable(vb::Array<Single>& TmpTable) override;
    void PutGraph(vb::Array<Integer>& TmpGraph) override;
    void GetGraph(vb::Array<Integer>& TmpGraph) override;
    vb::Array<Single> CostTable;  // (0..nc, 0..nc): cost of deciding class c (column) for class k
    bool DefaultCost = false;     // the table is the default one: 0 on the diagonal, 1 elsewhere
    bool CostTablePut = false;    // a cost table has been put into this engine

    // ---- learning driver: learn_stru.cpp ----
    void LearnStru(Single& Threshold) override;
    vb::Array<Integer> SavedGraph;   // (0..nc, 0..numfld, 0..numfld) the model kept so far
    Single BestScore = 0;            // hold-out score of the kept model
    Single BestThreshold = 0;        // threshold of the best single net the search found
    vb::Array<Integer> CandGraph1, CandGraph2, CandGraph3;  // (0..numfld, 0..numfld)
    vb::Array<Integer> BestGraph;    // single net (0..numfld, 0..numfld); multi-net (0..nc, ..)
    vb::Array<Integer> LastMNGraph;  // (0..nc, 0..numfld, 0..numfld) the last multi-net scored
    // The steps: the single net (threshold given, or searched), the multi-net (threshold
    // given, or scanned around the single net's), one multi-net construction per class value.
    void LearnStruBN(Single T);
    void LearnStruMN(Single T);
    void ConstructMN(Single T);
    // Feature := the class and both ends of every link of layer 0; SubsetFixed when that
    // leaves a field out.
    void MarkFeatureSubset();
    // Feature := every field linked to another non-class field in some layer of a multi-net.
    void MarkMultiNetFeatures();
    // Same links i < j (single net), or the same links of layers 1..nc among fields 2..numfld.
    bool SameGraphBN(const vb::Array<Integer>& A, const vb::Array<Integer>& B) const;
    bool SameGraphMN(const vb::Array<Integer>& A, const vb::Array<Integer>& B) const;
    bool LearnModels(Single T);
    bool SearchThresholdBN();
    bool Score(bool multiNet, Single tablesShare, Single afterShare, Single& score);
    void KeepBetter(Single score, const vb::Array<Integer>& graph);
    void EndHoldOutSearch();

protected:
    // The driver's two seams: one construction of layer NetIdx (ConstructBN), and scoring the
    // current candidate (its tables from the learning rows, then the hold-out rows classified);
    // false when the host cancelled. Tests replace them to pin the search's trajectory.
    virtual void ConstructCandidate(Single T);
    virtual bool ScoreCandidate(bool multiNet, Single& score);

public:

    // ---- probability tables: learn_cpt.cpp ----
    bool LearnCPT(bool& MN) override;
    // The two learners; False when the host cancelled (the store is then partly filled).
    bool LearnCPTBN();
    bool LearnCPTMN();
    // The table cache of the learning driver's search. Seed* size it for one network (BN) or
    // one per class value (MN) and seed the class prior and, for the multi-net, the parentless
    // table of every feature field from VluCnt and NetTotal; Shrink* empties it when the search
    // ends. A cached table is reused only where SavedValid says it was computed or seeded for
    // that field, so reuse never changes a table.
    void SeedCPTCacheBN();
    void SeedCPTCacheMN();
    void ShrinkCPTCache();
    // Row r of field i holds P(i = value | configuration r); row 1 is the class prior.
    vb::Array<Single> CPTStore;    // (0..MaxRows, 0..MaxVlus); MN (0..2 x MaxRows, 0..MaxVlus)
    vb::Array<Long> CPTIndex;      // BN (0..numfld+1); MN (0..nc, 0..numfld+1)
    vb::Array<Integer> Parents;    // BN (field, slot); MN (class, field, slot); slot 0 = count
    vb::Array<Integer> ClassChildren;      // (0..numfld) slot 0 = count, then the children
    vb::Array<Integer> IsClassChild;       // (0..numfld) 1 = a child of the class
    vb::Array<Integer> MultiNetFieldList;  // (0..MaxVlus) fields of a multi-net table's query
    vb::Array<Single> SavedCPTStore;
    vb::Array<Long> SavedCPTIndex;
    vb::Array<Integer> SavedParents;
    // 1 where the saved table of a field (BN: SavedValid(i); MN: SavedValid(k, i)) was computed
    // or seeded for the saved parent set; the prior's slot is field 1 (MN: SavedValid(0, 1)).
    vb::Array<Integer> SavedValid;
    // Steps of the two learners (learn_cpt.cpp).
    void LearnPrior(bool priorCached);
    Long CountTable(Integer i, vb::Array<Integer>& list, Integer np, const std::string& where);
    bool ReuseSaved(Integer k, Integer i, Integer np, const vb::Array<Integer>& parents);
    void SaveTables(vb::Array<Integer> valid);
    void SeedPrior();
    int64_t Configurations(const vb::Array<Integer>& list, Integer np) const;
    // Sizes CPTStore (values 0..MaxVlus) for the rows the tables of the current parents take,
    // never more than `limit` (MaxRows, or 2 x MaxRows for a multi-net): time and memory follow
    // the tables, and a structure whose tables pass the limit still fails where it passes it.
    void SizeStore(int64_t rowsNeeded, Long limit);
    Long nextRow_ = 0;  // the store's running row offset while a learner fills it

    // ---- inference: inference.cpp ----
    Integer ClsfyInst(vb::Array<Integer>& TmpArr) override;
    Integer InferenceMN(vb::Array<Integer>& FldVi) override;
    Integer InferenceBN(vb::Array<Integer>& FldVi) override;
    vb::Array<Single> Posterior;  // (0..MaxVlus) unnormalised class scores of the last case
    // The class chosen from Posterior: most probable, or least expected cost under a user's table.
    Integer Decide() const;
    // Posterior as (0..MaxVlus) of zeros, sized again only when its bounds changed.
    void ClearPosterior();
    // The model's inference laid out once for the many cases of a hold-out pass: each table a
    // factor of a class's product reads (its first row in the store, the stride of the class
    // digit, its parents and their value counts), so that a case costs what its products cost
    // and gives the same products, multiplied in the same order, as InferenceBN / InferenceMN.
    struct InferencePlan {
        struct Factor {
            Long base = 0;       // the store's row before the table's first (CPTIndex)
            Long stride = 0;     // single net: the rows of one class value; multi-net 0
            Integer field = 0;   // the field whose probability the table gives
            Integer ownCount = 0;
            uint32_t firstParent = 0, parents = 0;
        };
        Integer classes = 0;
        std::vector<Single> prior;          // by class - 1
        std::vector<Factor> factors;
        std::vector<uint32_t> classFactors; // multi-net: class c's factors from [c - 1] to [c]
        std::vector<Integer> parentField, parentCount;
        const Single* store = nullptr;      // CPTStore's cells, (row - LBound) + (value - LBound) x rows
        int64_t storeRows = 0, rowLow = 0, valueLow = 0;
        // Per case: each factor's offset into the store without the class digit, -1 for a
        // factor that multiplies by 0.
        std::vector<int64_t> offset;
    };
    // The plan of the current model; false when it cannot vouch for every subscript a case could
    // reach (the per-case inference then runs, raising where it raises).
    bool PlanInference(bool multiNet, InferencePlan& plan) const;
    // InferenceBN / InferenceMN of a case through the plan; values[j]: field j's value index.
    Integer InferPlanned(InferencePlan& plan, const Integer* values);

    // ---- batch and hold-out classification: classify_batch.cpp ----
    Single ClsfyBatch(std::shared_ptr<db::Database>& TestDB, std::string& TestTB,
                      std::string& TmpCls, vb::Array<Long>& Matrix, std::string& FileNM) override;
    // Hold-out scores of the learning driver's candidates: accuracy on the rows flagged yes, or
    // the mean ROC index when tmpROC is set, scored from the coded copy of the hold-out rows.
    Single ClsfyHoldOutBN();
    Single ClsfyHoldOutMN();
    // The hold-out rows of one learning run, read once and coded once:
    // Codes[r * (numfld + 1) + j] is field j's value index in row r (0: no label matched, or
    // the table has no such column). Identical rows are scored once: Distinct holds the first
    // row of each set of identical rows, Weight its number of rows, GroupOf each row's set.
    struct HoldOutCopy {
        bool loaded = false;
        Long rows = 0;
        std::vector<Integer> Codes;
        std::vector<Integer> Column;  // (numfld + 1) position of each field among the columns
        std::vector<uint32_t> Distinct, GroupOf;
        std::vector<Long> Weight;
        std::vector<uint32_t> Radix;  // (numfld + 1) each field's largest code + 1 (0: a code below 0)
    };
    HoldOutCopy HoldOut;
    // Reads and codes the hold-out rows unless this run already did. A search with no row
    // flagged yes, or with every row flagged yes, has nothing to score on or nothing to learn
    // from: error 557. Raises the progress event while it reads; false when the host cancelled.
    bool LoadHoldOutRows();
    // Its two ways of reading them: off the database's coded copy of the table where it offers
    // one that gives the cells exactly as the recordset reads them, through the recordset
    // otherwise (always when HoldOutCoding is off; tests compare the two).
    enum class HoldOutRead { Read, Declined, Cancelled };
    HoldOutRead ReadHoldOutCoded(HoldOutCopy& copy);
    bool ReadHoldOutRecordset(HoldOutCopy& copy);
    bool HoldOutCoding = true;
    vb::Array<Integer> CaseValues;    // (0..numfld) value index of each field of the current row
    vb::Array<Integer> FieldPos;      // (0..numfld) column of each field in the recordset
    vb::Array<Integer> ActualClass;   // (0..N) actual class index of each case, 0 = no label
    vb::Array<Single> CasePosterior;  // (0..N, 0..nc) normalised class scores of each case
    vb::Array<Long> CaseOrder;        // (0..N) case numbers, sorted by lift and ROC
    // Steps shared by the batch and the hold-out passes (classify_batch.cpp).
    Single ClsfyHoldOut(bool multiNet);
    void ReadCaseValues(const db::Recordset& rs);
    void NormalisedPosterior(std::vector<Single>& out) const;

    // ---- lift and ROC: lift_roc.cpp ----
    Single LiftCurve(Integer& C) override;
    Single AllROC() override;
    Single ROCCurve(Integer& X, Integer& Y) override;
    void QuickSort(Integer& D, Long& First, Long& Last) override;
    vb::Array<Single> LiftIndex;  // (0..nc)
    vb::Array<Single> ROCIndex;   // (0..nc, 0..nc)
    // The ROC file of the pair (x, y), in the current directory.
    static std::string RocFileName(Integer x, Integer y);
    // Whether every ROC file of the class values can be written, before the work that writes
    // them: the file error of the first that cannot (75, 76, naming it).
    void CheckRocFilesWritable() const;

    // ---- classifier file: bnc_file.cpp ----
    // ReadBncStru reads the head and structure (fields, labels, feature subset, cost table,
    // graph; a single net's feature subset is derived from layer 0, as LearnCPT derives it);
    // ReadBncCPT the class prior and the tables; WriteBnc writes the whole file.
    void ReadBncStru(std::string& FileNM) override;
    void ReadBncCPT(std::string& FileNM) override;
    void WriteBnc(std::string& FileNM) override;
    // Gives the time and date of the file's comment line; empty: the system clock in the
    // regional forms. Tests set a fixed clock.
    std::function<void(std::string& time, std::string& date)> BncClock;
    // A Single as the double of its shortest decimal text, for list-style items that must read
    // back to the very same Single (probabilities, costs, the log's cached CMI values).
    static double ExactSingle(Single v);

    // ---- learning log: learning_log.cpp ----
    // Writes the run's statistics to the output log `logo` (created or replaced): fields,
    // hold-out flag, total, labels, value counts, mutual information and cached conditioning
    // sets of every layer. The learning driver calls it at the end of a completed run when
    // `logo` is not empty; a file error reaches the caller as the runtime's error. The log is
    // written into the file OpenLog made, or into a new one beside `logo` when none is open.
    void WriteLog();
    // Before a search: makes the log's new file beside `logo` and writes into it what the log
    // holds already, so that a folder or a disk that cannot take the log fails the run before
    // the work rather than after it. The old log stays as it was until WriteLog commits.
    void OpenLog();
    // Drops the file OpenLog made (a cancelled or failed run): the old log stays as it was.
    void CloseLog() { logFile_.reset(); }

private:
    // The log's file between OpenLog and WriteLog.
    std::unique_ptr<vb::ReplacingFile> logFile_;
    void WriteLogText(const std::string& path);

private:
    DataEngineEvents* sink_ = nullptr;
};

}  // namespace zorvapi
