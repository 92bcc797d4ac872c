// The structure-learning core: the member state that both engines share and the procedures that
// work on it (count queries and value coding, mutual information, conditional independence,
// the pairwise pass, the searches with and without a complete ordering, orientation). It is
// one copy of the code; where the two engines differ by a constant or a rule, the procedures
// read it from CoreSettings. Each engine class derives from Learner, fills the settings and
// supplies its own progress rule.
//
// Fields are numbered 1..numfld (index 0 of a per-field dimension holds nothing unless a
// procedure says otherwise). Layers: the classifier keeps one network layer per class value
// (0 = single net, 1..nc one per class value); the construction engine uses layer 0 only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/db/database.h"
#include "platform/vb/array.h"
#include "platform/vb/types.h"

namespace core {

using vb::Integer;
using vb::Long;
using vb::Single;

// How one configuration of a conditioning set is admitted by the independence test.
enum class ConfigTest {
    WeightedStatistic,  // classifier: 2.5 x S (as Single) > ChiSq(df)
    HalfCritical,       // construction: S > 0.5 x ChiSq(df) (as Single)
};

struct CoreSettings {
    Integer maxValues = 100;         // MaxVlus from Init (classifier), 65 (construction)
    Single notComputed = -100;       // marker of an MI entry not yet computed: -100 / -1
    int maxCondSet = 14;             // largest conditioning set of one test: 14 / 20
    int cachedSetsPerPair = 50;      // cached conditioning sets per pair: 50 / 100
    bool holdOutFilter = true;       // count queries may carry the hold-out filter (classifier)
    bool swallowMIErrors = true;     // GetMI turns a failing query into MI 0 (classifier)
    ConfigTest test = ConfigTest::WeightedStatistic;
    // Search without a complete ordering (construction engine: orientation after drafting too,
    // thickening at 0.9 x Threshold, three more separation checks).
    bool orientAfterDrafting = false;
    Single thickeningFactor = 1.0f;
    bool extraSeparationChecks = false;

    static CoreSettings Classifier(Integer maxVlus);
    static CoreSettings Construction();
};

class Learner {
public:
    explicit Learner(CoreSettings settings) : settings_(settings) {}
    virtual ~Learner() = default;

    const CoreSettings& settings() const { return settings_; }

    // ---- connection and table (bound by the engine's InitLearn / Init) ----
    std::shared_ptr<db::Database> Db;
    std::string TableName;    // in the form used in SQL, bracketed where the quoting rule asks
    std::string CountExpr;    // " Count(*) " or " Sum(" + field + ") "
    std::string WhereClause;  // "" or the layer's filter, beginning with a blank
    bool IsODBC = false;

    // ---- field list and value coding ----
    Integer numfld = 0;
    vb::Array<std::string> FieldNames;  // 1..numfld, the SQL form of each field's name
    Integer MaxVlus = 0;                // values per field; MaxVlus + 1 marks a field over the limit
    Integer nc = 0;                     // number of class values (classifier); 0 in construction
    vb::Array<Integer> FF;              // (0..numfld) number of values of each field
    vb::Array<std::string> VluLbl;      // (0..numfld, 0..MaxVlus) upper-case labels, "?" = Null
    vb::Array<Long> NetTotal;           // (0..nc) total count of each layer
    vb::Array<Long> VluCnt;             // (0..nc, 0..numfld, 0..MaxVlus) value counts per layer
    Integer NetIdx = 0;                 // layer being learned

    // ---- count queries (count_query.cpp) ----
    vb::Array<Integer> QryFld;   // (0..20) fields of the running count query, slots 1..m
    vb::Array<Integer> RowDone;  // per-row flags of CodeRows
    // Count query over grouping fields g (in order) and the pair a, b; reads at most `rows`
    // rows with one GetRows and closes the recordset. QryFld is set by the caller.
    vb::Array<db::Value> CountBlock(const std::vector<Integer>& g, Integer a, Integer b, Long rows);
    std::string CountQueryText(const std::vector<Integer>& g, Integer a, Integer b) const;
    // Replaces columns 1..m of a count block by value indexes (first matching label wins).
    void CodeRows(vb::Array<db::Value>& block, Integer m, const vb::Array<Integer>& fields);

    // ---- statistics (mutual_information.cpp, conditional_mi.cpp, chi_square.cpp) ----
    vb::Array<Single> MICache;   // (0..nc, 0..numfld, 0..numfld)
    vb::Array<Single> MIWork;    // same shape
    vb::Array<Integer> CondSet;  // (0..20)
    vb::Array<Single> ChiSq;     // critical values by degrees of freedom
    // Mutual information of a pair in layer NetIdx, from the cache or one widened count query.
    virtual Single GetMI(Integer a, Integer b);
    // Conditional MI of a, b given CondSet(1..k) in layer NetIdx (sorts CondSet in place).
    // Virtual so that search tests can script the results.
    virtual Single GetCMI(Integer a, Integer b, Integer k);

    // ---- domain knowledge and search matrices ----
    vb::Array<Integer> Reach, ReachInit, FL, CE, Adj;  // (0..numfld, 0..numfld)
    vb::Array<Integer> Root, Leaf;                     // (0..numfld)
    bool bord = false, bpres = false, tmpFilter = false, tmpNoOrd = false;
    Single Threshold = 0;

    // ---- progress and control ----
    bool Cancel = false;
    // Adds a finished step's increment by the engine's progress rule, raises PercentDone and
    // returns the host's Cancel (also stored in Cancel).
    virtual bool Progress(Single increment) = 0;

protected:
    CoreSettings settings_;
};

}  // namespace core
