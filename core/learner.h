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

#include <chrono>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/coded_block.h"
#include "core/cond_set_cache.h"
#include "core/skeleton.h"
#include "core/work_room.h"
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
    // Held in double: the threshold is multiplied by the decimal 0.9 and rounded to Single, and
    // 0.9f would round differently.
    double thickeningFactor = 1.0;
    bool extraSeparationChecks = false;
    // Progress budgets of the structure passes: each pass spreads its budget over its items
    // (pairs, listed pairs, tested links, fields). Classifier / construction.
    double pairPassBudget = 100;       // over all pairs of a layer: 100 / 60
    double thickeningBudget = 60;      // over the listed pairs: 60 / 23
    double thinningBudget = 19.9;      // over the links: 19.9 / 7.9
    double orientDraftingBudget = 12;  // orientation right after drafting: 12 / 4
    double orientBudget = 8;           // orientation at the end of the search: 8 / 4
    // Absolute positions of the construction engine's single percentage: where the search
    // starts and where thinning starts (negative: the progress is not set, the classifier's
    // stages only add).
    Single searchStartPercent = -1;    // -1 / 60
    Single thinningStartPercent = -1;  // -1 / 88
    // The pairwise pass stores a computed MI into both cells of the pair (construction); the
    // classifier stores the cell (i, j) only and leaves the mirror to GetMI.
    bool pairPassBothCells = false;
    // Search with a complete ordering: the budgets over the listed pairs and over the links,
    // and where thinning starts on the construction engine's single percentage (negative: not
    // set). Classifier / construction.
    double orderedThickeningBudget = 65;      // 65 / 30
    double orderedThinningBudget = 34.9;      // 34.9 / 9.9
    Single orderedThinningStartPercent = -1;  // -1 / 90
    // The longest a step whose items raise no event of their own runs before it raises one
    // that does not move the progress (see Beat), so that a cancel is obeyed within it.
    double beatSeconds = 0.2;

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
    // Rows of the whole table ("select count(*) from " + table). With a frequency field it is
    // the bound of the number of groups a count query can return (see CountRows); the engine
    // sets it when it binds the table (the classifier's InitLearn).
    Long TableRows = 0;
    // Count query over grouping fields g (in order) and the pair a, b; reads at most `rows`
    // rows with one GetRows and closes the recordset. QryFld is set by the caller.
    vb::Array<db::Value> CountBlock(const std::vector<Integer>& g, Integer a, Integer b, Long rows);
    // The same with the row count of CountRows(g, a, b).
    vb::Array<db::Value> CountBlock(const std::vector<Integer>& g, Integer a, Integer b);
    std::string CountQueryText(const std::vector<Integer>& g, Integer a, Integer b) const;
    // Rows to ask of a count query: the product of FF over a, b and g, capped at RowCap() after
    // each grouping field is multiplied in (the pair alone is not capped). Formed in 64 bits,
    // so it never overflows; the result is at most RowCap() x 101 and never above the Long
    // range.
    Long CountRows(const std::vector<Integer>& g, Integer a, Integer b) const;
    // The most groups a count query of layer NetIdx can have: NetTotal(NetIdx) under
    // " Count(*) "; with a frequency field the layer total is a sum of weights, which may be
    // smaller than the number of rows, so TableRows bounds it (no cap while TableRows is 0).
    Long RowCap() const;
    // Any query that is read whole: forward-only, one GetRows of at most `rows` rows, closed
    // before returning (also when GetRows fails).
    vb::Array<db::Value> QueryBlock(const std::string& sql, Long rows);
    // Replaces columns 1..m of a count block by value indexes (first matching label wins).
    void CodeRows(vb::Array<db::Value>& block, Integer m, const vb::Array<Integer>& fields);
    // The block of CountBlock(g, a, b) with its m = |g| + 2 columns coded as CodeRows codes
    // them (g, then a, then b): counted by the database's GroupCounter when it offers one and
    // answers, else through the query text. The same rows, counts and indexes either way. The
    // block is the learner's own, its room reused: it holds until the next CountCoded.
    const CodedBlock& CountCoded(const std::vector<Integer>& g, Integer a, Integer b);
    // The groups of the same count as their keys (see KeyedBlock), where the database's counter
    // gives them so: every field's value indexes its counter's codes plus one and the count is
    // a Count(*). nullptr otherwise, and the caller counts through CountCoded. The block is the
    // learner's own and holds until the next CountKeyed.
    const KeyedBlock* CountKeyed(const std::vector<Integer>& g, Integer a, Integer b);
    // A count block after CodeRows over columns 1..m, read into a CodedBlock.
    static CodedBlock ReadCoded(const vb::Array<db::Value>& block, Integer m);

    // ---- set-up shared by both engines (set_up.cpp; added for the construction engine's
    // Init, meant for the classifier's InitLearn and InitLearnStru as well) ----
    // Binds the database and the table: Db, IsODBC (the connect text begins "ODBC"), CountExpr
    // (" Count(*) ", or " Sum(" + cntfld + ") " with cntfld bracketed unless it begins with "[",
    // or on an ODBC source quoted like any field name; the SQL form is written back to the
    // caller's variable) and TableName (bracketed unless it begins with "["). Sends no query.
    // Error 91 without a database; db::Error 3125 for a name that cannot be quoted.
    void BindTable(const std::shared_ptr<db::Database>& db, const std::string& table,
                   std::string& cntfld);
    // The total of the count expression over the table: "select " + CountExpr + "from " +
    // TableName + where (the expression brings its own blanks). A Null total (a frequency
    // field that is Null everywhere) and an empty result give 0; the value is rounded to Long.
    Long CountTotal(const std::string& where);
    // The number of rows of the table: "select count(*) from " + TableName.
    Long CountTableRows();
    // Field f's values: "select distinct " + FieldNames(f) + " from " + TableName, at most
    // MaxVlus + 1 rows. FF(f) := the number of rows fetched; unless that is MaxVlus + 1 (over
    // the limit: no labels), VluLbl(f, v) := the v-th value's label text, "?" for Null, in the
    // order the query returns them.
    void LoadValueLabels(Integer f);
    // What makes statistics read from a log another table's, for the error text; "" when
    // nothing does. Checked: the table's total under the count expression and `where` against
    // `logTotal`, and that every value of each field labelled from the log (1 <= FF <= MaxVlus)
    // has its label. One total and one distinct-value query a field; no count query.
    std::string LogMismatch(Long logTotal, const std::string& where);
    // The first field name or value label that holds one of `chars` (labels of fields within
    // the value limit only: the ones files carry), described for an error text: "the field name
    // X" or "the value V of the field X"; "" when none does.
    std::string FirstTextHolding(std::string_view chars) const;
    // Before a search of layer NetIdx: every computed MICache entry (both triangles) becomes
    // its absolute value and MIWork takes a copy; entries not yet computed are copied as they
    // are. The searches start from these working strengths.
    void ResetWorkingMI();

    // ---- raw value lookup (value_lookup.cpp) ----
    // Index 1..FF(fld) of a raw cell value among field fld's labels: a label equal to the value
    // as text, else the first interval label ("<c", ">c<d", ">c") whose range holds the value;
    // 0 when none does. A Null val becomes "?" in the caller's variable first. Never raises.
    Integer GetVluIdx(Integer fld, db::Value& val) const;

    // ---- statistics (mutual_information.cpp, conditional_mi.cpp, chi_square.cpp) ----
    // The construction engine has no layers: it uses layer 0 of these arrays, and its
    // TotalRows is NetTotal(0).
    vb::Array<Single> MICache;   // (0..nc, 0..numfld, 0..numfld), settings().notComputed = not yet
    vb::Array<Single> MIWork;    // same shape: the pair strengths the searches work on
    vb::Array<Integer> CondSet;  // (0..20) conditioning set handed to GetCMI; widening fields
    vb::Array<Single> ChiSq;     // critical values by degrees of freedom
    // Conditioning sets tested per layer and pair with their conditional MI (SetCache and
    // CMICache in one store): Count(k, a, b) is SetCache(k, a, b, 0, 0), Slots(k, a, b)[s - 1]
    // holds the fields of slot s and its CMICache value.
    CondSetCache SetCache;
    vb::Array<Long> CntA, CntB;  // (0..MaxVlus) value counts of a and b in a one-pass run
    vb::Array<Integer> CurConf;  // (0..20) configuration of the one-pass run being summed

    // Sizes MICache and MIWork (0..lastLayer, 0..numfld, 0..numfld, all 0), empties SetCache,
    // and sizes CondSet, QryFld, CurConf (0..20) and CntA, CntB (0..MaxVlus). The caller marks
    // the pairs to compute with settings().notComputed.
    void SizeStatistics(Integer lastLayer);
    // Re-creates ChiSq as (0..top) with the 5 % critical values; entry 0 is 0.
    void FillChiSq(Long top);
    // The per-configuration independence test: is the pair dependent within a configuration
    // whose statistic is S, at df degrees of freedom?
    bool AdmitsConfiguration(Single S, Integer df) const;

    // Mutual information of a pair in layer NetIdx, from the cache or one widened count query.
    virtual Single GetMI(Integer a, Integer b);
    // Computes and caches the MI of the fields QryFld(i), QryFld(j) from a coded count block;
    // `plain` as counts::Plain says of the block's fields QryFld(1..).
    Single CalcMI(const CodedBlock& block, Integer i, Integer j, bool plain);
    // CalcMI's two steps, which read nothing of the learner: the table (0..fx, 0..fy) of the
    // block's columns i, j, margins in row 0 and column 0, flat as u x (fy + 1) + v; and the
    // MI of such a table over a layer of `total` cases.
    static void PairCounts(const CodedBlock& block, Integer i, Integer j, bool plain, Integer fx, Integer fy,
                           std::vector<Long>& flat);
    static Single PairMI(const std::vector<Long>& flat, Integer fx, Integer fy, Long total);
    // Conditional MI of a, b given CondSet(1..k) in layer NetIdx (sorts CondSet in place).
    // Virtual so that search tests can script the results.
    virtual Single GetCMI(Integer a, Integer b, Integer k);
    // CMI of the pair in columns k + 1, k + 2 given columns 1..k, summed configuration by
    // configuration in one pass over the block's rows (k = 0 or k >= 4). `plain`: no cell of
    // the block raises and its counts are whole numbers with whole sums (GetCMI checks).
    Single OnePassCMI(const CodedBlock& block, Integer k, bool plain);
    // The same over the keys of CountKeyed(CondSet(1..k), a, b), QryFld(1..k + 2) naming the
    // fields: every count is whole, so a configuration is a run of keys with the same quotient
    // by FF(a) x FF(b), and each group is one cell. Nothing (false) when the counts' sizes add
    // up past the Long range, where the checked reading must sum them.
    bool OnePassKeys(const KeyedBlock& block, Integer k, Single& result);

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
    // Inside a step whose items raise no event of their own (drafting, reading rows), the host
    // must still be able to cancel: once settings().beatSeconds have passed since `last`, raises
    // the event without moving the progress and restarts `last`. Returns the host's Cancel then,
    // false otherwise. A step starts `last` itself, so short steps raise nothing extra.
    using Clock = std::chrono::steady_clock;
    bool Beat(Clock::time_point& last);
    // The same after `seconds`, for a step that starts some way into a wait already.
    bool Beat(Clock::time_point& last, double seconds);

    // ---- search without a complete ordering (reach.cpp, pairwise_pass.cpp, search_unordered.cpp, orientation.cpp) ----
    // Learning-driver state that the core procedures read; the classifier's driver sets it, the
    // construction engine keeps the defaults (one network over all fields, no hold-out rows).
    Integer FirstFld = 1;        // first field of the pair loops: 1 single net, 2 per-class nets
    bool HoldOutSearch = false;  // the layer's count queries leave out the hold-out rows
    bool SubsetFixed = false;    // drafting keeps to the fields with Feature = 1
    vb::Array<Integer> Feature;  // (0..numfld) 1 = the field is in the classifier's feature subset
    Integer Phase = 0;           // 1 drafting, 2 thickening, 3 thinning

    // Adds the arc a -> b to Reach (UpdateReachInit: to ReachInit) and keeps the matrix
    // transitively closed; an arc between two fields already ordered either way is ignored.
    void UpdateReach(Integer a, Integer b);
    void UpdateReachInit(Integer a, Integer b);

    // The pairwise pass of layer NetIdx: MI of every pair FirstFld <= i < j <= numfld still
    // marked not computed, MI 0 for fields over the value limit, the hold-out filter, and for a
    // single net with tmpNoOrd the ordering by relevance to the class field. Progress per pair.
    // Where the database's counter can share its counts out, the queries of many pairs are
    // counted on worker threads (BNSUITE_THREADS of them when set, 1 for none; else the
    // machine's cores, at most 8) and their results taken in the order GetMI would make them:
    // every cell, draw and event the same as GetMI pair after pair.
    void InitStruBN();
    // Off for a learner whose GetMI answers otherwise than from the counts (tests that script
    // it): the pass then asks GetMI for every pair.
    bool pairsOnThreads = true;
    // The pass for each per-class network k = 1..nc, with the layer's class filter.
    void InitStruMN();
    // The class field's values as the table holds them, in the order of its labels VluLbl(1, k)
    // (element k - 1 is class value k), and the WHERE text that selects the rows of value k:
    // the literal is rendered from the typed value and the field's type, never from the label.
    std::vector<db::Value> ClassValues();
    std::string ClassFilter(const std::vector<db::Value>& values, Integer k);

    // The search without a complete ordering on layer NetIdx: drafting, thickening, thinning,
    // then OrientEdges. Reads the MI of every pair from MIWork (set up by the caller).
    void ConstructNoOrd();
    // Is there a path of at most nine links between a and b in Adj that avoids the fields both
    // of them reach?
    bool HasPath(Integer a, Integer b);
    // Links a - b (a < b) unless a conditioning set drawn from the fields between them makes
    // the pair independent at Threshold.
    void TestEdge(Integer a, Integer b);
    // Directs the links of the skeleton by weighted collider votes and propagation; arcs go
    // into Reach only.
    void OrientEdges();

    // Progress hooks of the passes (both default to nothing). StartStage: a pass that names
    // its stage begins (the classifier shows the text and restarts its stage percentage).
    // SetProgress: the construction engine's percentage is set to an absolute position.
    virtual void StartStage(const std::string& status) { (void)status; }
    virtual void SetProgress(Single percent) { (void)percent; }

    // ---- search with a complete ordering (search_ordered.cpp) ----
    // The search when field i comes before field j whenever i < j (bord), on layer NetIdx:
    // drafting, thickening and thinning; every link points from the lower field to the higher
    // one, so nothing is oriented. Reads the pair strengths from MIWork (set up by the caller);
    // leaves the skeleton in Adj, MIWork absolute (lowered where a conditional value was
    // smaller) and Threshold a tenth higher than it entered (the thinning level). Progress per
    // listed pair and per re-tested link; the searchStartPercent and
    // orderedThinningStartPercent positions of the settings are set through SetProgress.
    void ConstructOrd();
    // Is a and b (a < b) joined by a path without a collider when every link points from the
    // lower field to the higher: down to earlier fields first, then only up, never above b?
    bool HasPathOrd(Integer a, Integer b);
    // Links a - b (a < b) unless the neighbours of b below b that lead back to a within eight
    // levels, tested as one conditioning set, bring MIWork(NetIdx, a, b) below Threshold; no
    // such neighbour links the pair without a test.
    void TestEdgeOrd(Integer a, Integer b);
    // Drafting steps both searches share (drafting.cpp). DraftingOrder: the pairs in the order
    // drafting picks them, strongest MIWork(NetIdx, i, j) first, over FirstFld <= i < j <=
    // numfld with a value above 0, equal values in scan order (i, then j, ascending), leaving
    // out fields not marked in `relevant` (when it is not empty) and, with SubsetFixed, fields
    // outside the feature subset. Drafting changes no pair's value but the one it picks, so one
    // sort gives the picks that a scan for the strongest remaining pair would give, in
    // O(P log P) for P pairs rather than O(P) a pick. RestoreDraftedMI: every MIWork(NetIdx, i,
    // j), i < j, back to its absolute value once drafting has negated the picked pairs.
    struct DraftPair {
        Integer i, j;
        Single value;
    };
    // Only pairs of at least `atLeast` are listed (drafting stops at the first below its
    // threshold, so it gets the same picks from the shorter list).
    std::vector<DraftPair> DraftingOrder(const std::vector<bool>& relevant, Single atLeast = 0) const;
    void RestoreDraftedMI();
    // Drafting's loop in both searches: the pairs in DraftingOrder down to Threshold, each
    // handed to `pick` and then marked picked, with a beat between picks (a cancel there ends
    // drafting), and the working strengths restored at the end.
    void Draft(const std::vector<bool>& relevant, const std::function<void(Integer, Integer)>& pick);
    // The start both searches share: room in CondSet for every field, the construction
    // engine's progress set-point, drafting as the phase, and the relevance marks (empty
    // without tmpFilter) that drafting reads.
    std::vector<bool> BeginSearch();

protected:
    CoreSettings settings_;

private:
    // The buffers the statistics and the path walks reuse from call to call.
    WorkRoom room_;
    // How a block's rows may be read: through the checks of every cell, plainly (see
    // counts::Plain), or plainly with every count at least 1.
    enum class BlockReading { Checked, Plain, Positive };
    // The CMI of the pair at block positions pa, pb given the fields at positions zpos (one to
    // three, ascending), from the cache or the block's rows; cached and folded into MIWork.
    Single CalcCMI(const CodedBlock& block, BlockReading reading, std::initializer_list<Integer> zpos,
                   Integer pa, Integer pb);
    // The database's counters and each field's code-to-index table (count_query.cpp).
    struct DirectCounts;
    std::shared_ptr<DirectCounts> direct_;
    // The count CountCoded(g, a, b) would ask of the database's counter, for a count made
    // elsewhere (a twin of the counter on a worker thread): the counter, the fields, their
    // code-to-index tables (valid while the labels stay) and the most groups. False where
    // CountCoded would go through the query text.
    struct DirectQuery {
        db::GroupCounter* counter = nullptr;
        std::vector<int> fields;
        std::vector<std::span<const int32_t>> tables;
        Long maxGroups = 0;
    };
    bool DirectCount(const std::vector<Integer>& g, Integer a, Integer b, DirectQuery& q);
    // GetMI's widening fields for the pair a < b (numfld - a > 3): three fields drawn from Rnd
    // into `drawn` (drew: the draws were made), returning how many the query keeps, 3 or 0 (a
    // drawn field over the value limit).
    Integer Widening(Integer a, Integer b, Integer drawn[3], bool& drew) const;
    // InitStruBN's pair loop from the pair (i, j) on worker threads (pairwise_pass.cpp): true
    // when the host cancelled; otherwise (i, j) is where the pair-by-pair loop goes on (i =
    // numfld when every pair is done), with the generator where GetMI would have left it.
    bool ThreadedPairs(Single step, int threads, Integer& i, Integer& j);
    // Conditioning sets of TestEdge may hold every field: CondSet grows to 0..max(20, numfld).
    void EnsureCondSetRoom();
    // The bit rows of Adj: kept up to date by SetLink while ConstructNoOrd runs (the only
    // writer of Adj then), made afresh for a path search called from outside it.
    LinkBits linkBits_;
    bool linkBitsLive_ = false;
    const LinkBits& LinkRows();
    // The bit rows of Reach while thickening and thinning run, which leave Reach alone.
    ReachRows reachRows_;
    bool reachRowsLive_ = false;
    // Link(Adj, a, b, value) that keeps the bit rows in step.
    void SetLink(Integer a, Integer b, Integer value);
    // Levels of the breadth search out from `from`, avoiding common descendants of a and b, up to
    // kMaxLevel - 1 (the walk enters no field beyond); with stopAt the search returns true as
    // soon as a field linked to `stopAt` gets a level, up to kMaxLevel, and leaves `level` alone.
    bool LevelSearch(Integer a, Integer b, Integer from, Integer stopAt, std::vector<int8_t>& level);
    // The first hops of the admissible paths from `from` to `to` (set 1 or set 2 of TestEdge).
    std::vector<Integer> CutSet(Integer from, Integer to, const std::vector<int8_t>& level);
    // Runs GetCMI on one set and its leave-one-out shrinkings; true when the pair separates.
    bool Separates(Integer a, Integer b, std::vector<Integer> set);
    Single CMIGiven(Integer a, Integer b, const std::vector<Integer>& set);
    // Relevance of each field to the class field, from layer 0's class pairs (computed here
    // when missing).
    std::vector<bool> ClassRelevance();
};

}  // namespace core
