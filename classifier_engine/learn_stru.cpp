// The learning driver: LearnStru learns the classifier's structure after the set-up. From the
// settings the host gave InitLearnStru it decides which models to learn (a single Bayesian-net
// classifier, a multi-net with one network per class value, or both), whether the independence
// threshold is taken as given or searched for, and whether the multi-net keeps to the feature
// subset the single net selects. Wherever a choice has to be made, candidates are learned from
// the rows whose hold-out flag is no and scored by classifying the rows flagged yes; otherwise
// the structure is learned once from all rows.
//
// Thresholds here are factors of the default threshold (ConstructBN uses factor x 0.008). Reads
// the settings (BMMode, FixedThr, FSM, logo), writes Graph, SavedGraph, Feature, IsMultiNet,
// SubsetFixed, HoldOutSearch, FirstFld, NetIdx, WhereClause, BestScore, BestThreshold, the
// candidate graphs and the progress shares; sizes and empties the probability-table cache.
#include <vector>

#include "classifier_engine/data_engine.h"
#include "classifier_engine/errors.h"
#include "platform/db/sql_names.h"
#include "platform/vb/text_file.h"

namespace zorvapi {

namespace {

// The threshold search's constants, in units of the default threshold.
constexpr Single kStartThreshold = 11.0932f;
constexpr double kRatio = 0.618;      // neighbouring candidates differ by this factor
constexpr double kLowest = 0.04;      // the walks down stop here
constexpr double kHighest = 50;       // the walk up stops here
constexpr double kMargin = 0.007;     // a score must beat its neighbour by this much to matter
constexpr Single kSmallestStep = 0.03f;  // the fine scans never step by less

// Progress shares of the steps inside a phase.
constexpr Single kOnceInitShare = 0.6f, kOnceConstructShare = 0.39f;  // structure from all rows
constexpr Single kSearchInitShare = 0.1f;
constexpr Single kFixedBNConstructShare = 0.65f, kFixedBNTablesShare = 0.24f;
constexpr Single kFixedMNConstructShare = 0.6f, kFixedMNTablesShare = 0.29f;
constexpr Single kSearchConstructShare = 0.03f, kSearchTablesShare = 0.012f;
constexpr Single kScanConstructShare = 0.1f, kScanTablesShare = 0.04f;

// Products and quotients with the decimal constants are formed in double and kept as Single,
// so every candidate threshold is the same on every machine.
Single Times(Single t, double f) { return Single(double(t) * f); }
Single Over(Single t, double f) { return Single(double(t) / f); }

// a + margin < b, the sum kept as Single before it is compared.
bool ClearlyBelow(Single a, Single b) { return Single(double(a) + kMargin) < b; }
bool BelowOrAtMargin(Single a, Single b) { return Single(double(a) + kMargin) <= b; }

// The fine scans' step: a sixth of the centre, never below kSmallestStep.
Single ScanStep(Single centre) {
    const Single step = centre / 6;
    return step < kSmallestStep ? kSmallestStep : step;
}

// A single net's features: the class and both ends of every link of layer 0.
void MarkSingleNetFeatures(vb::Array<Integer>& Feature, const vb::Array<Integer>& Graph,
                           Integer n) {
    for (Integer i = 2; i <= n; ++i) Feature(i) = 0;
    Feature(1) = 1;
    for (Integer i = 1; i < n; ++i)
        for (Integer j = Integer(i + 1); j <= n; ++j)
            if (Graph(0, i, j) > 0) Feature(i) = Feature(j) = 1;
}

}  // namespace

void DataEngine::LearnStru(Single& Threshold) {
    try {
        const Single T = Threshold;
        SavedGraph.ReDim(vb::To(nc), vb::To(numfld), vb::To(numfld));
        Feature.ReDim(vb::To(numfld));
        // A score or threshold of an earlier run on this object is no model of this one.
        BestScore = 0;
        BestThreshold = 0;
        Cancel = false;
        IsMultiNet_ = false;
        SubsetFixed = false;
        // The log and the ROC files of the hold-out scoring are written during or after the
        // search: a folder or a disk they cannot be written to is reported now, not after the
        // work. The log's file is made now and written once with what it holds already.
        if (!logo.empty()) OpenLog();
        if (tmpROC && LearnRowsOnly) CheckRocFilesWritable();
        HoldOut = HoldOutCopy();  // the rows of this run are read afresh

        const bool finished = LearnModels(T);
        HoldOut = HoldOutCopy();
        if (!finished) {
            CloseLog();
            Graph(0, 0, 0) = -1;
            EndHoldOutSearch();  // a later LearnCPT must count all rows and no stale tables
            return;
        }

        if (!IsMultiNet_) MarkSingleNetFeatures(Feature, Graph, numfld);
        if (!logo.empty()) WriteLog();
    } catch (...) {
        CloseLog();
        EndHoldOutSearch();
        HoldOut = HoldOutCopy();
        Reraise(std::current_exception());
    }
}

// The models the settings ask for, phase by phase. Returns false when the host cancelled.
bool DataEngine::LearnModels(Single T) {
    if (BMMode == 1) {
        PhaseShare = 1;
        LearnStruBN(T);
        return !Cancel;
    }
    if (BMMode == 2 && FixedThr && FSM == 2) {
        // One multi-net over all fields from all rows: nothing to choose.
        PhaseShare = 1;
        LearnStruMN(T);
        if (Cancel) return false;
        IsMultiNet_ = true;
        for (Integer i = 1; i <= numfld; ++i) Feature(i) = 1;
        return true;
    }
    // Both models, the single net first. Under a fixed threshold the multi-net is learned at the
    // host's threshold; otherwise (and for a mode the host should not have given) at the
    // threshold the single net's search found. Under BMMode 2 with a fixed threshold the
    // multi-net is the result whatever it scores; in every other case the multi-net step keeps
    // the better model itself.
    auto mnThreshold = [&] { return FixedThr ? T : BestThreshold; };
    const bool multiNetOnly = BMMode == 2 && FixedThr;
    auto bayesNetPhase = [&](Single share, Single base) {
        PhaseShare = share;
        LearnStruBN(T);
        Percent1 = base;
        return !Cancel;
    };
    if (FSM == 2) {
        if (!bayesNetPhase(0.35f, 35)) return false;
        PhaseShare = 0.65f;
        LearnStruMN(mnThreshold());
    } else if (FSM == 1) {
        if (!bayesNetPhase(0.35f, 35)) return false;
        MarkFeatureSubset();
        PhaseShare = 0.65f;
        LearnStruMN(mnThreshold());
    } else {
        // The multi-net on the single net's subset, when that leaves a field out, and then on
        // every field; the second is kept only when it scores better.
        if (!bayesNetPhase(0.3f, 30)) return false;
        MarkFeatureSubset();
        if (SubsetFixed) {
            PhaseShare = 0.15f;
            LearnStruMN(mnThreshold());
            Percent1 = 45;
            if (Cancel) return false;
        }
        SubsetFixed = false;
        PhaseShare = (100 - Percent1) / 100;
        LearnStruMN(mnThreshold());
    }
    if (Cancel) return false;
    if (multiNetOnly) IsMultiNet_ = true;
    return true;
}

void DataEngine::MarkFeatureSubset() {
    MarkSingleNetFeatures(Feature, Graph, numfld);
    SubsetFixed = false;
    for (Integer i = 2; i <= numfld; ++i)
        if (Feature(i) == 0) SubsetFixed = true;
}

bool DataEngine::SameGraphBN(const vb::Array<Integer>& A, const vb::Array<Integer>& B) const {
    for (Integer i = 1; i < numfld; ++i)
        for (Integer j = Integer(i + 1); j <= numfld; ++j)
            if (A(i, j) != B(i, j)) return false;
    return true;
}

bool DataEngine::SameGraphMN(const vb::Array<Integer>& A, const vb::Array<Integer>& B) const {
    // Layer 0 and the class field are no part of a multi-net.
    for (Integer k = 1; k <= nc; ++k)
        for (Integer i = 2; i < numfld; ++i)
            for (Integer j = Integer(i + 1); j <= numfld; ++j)
                if (A(k, i, j) != B(k, i, j)) return false;
    return true;
}

void DataEngine::ConstructCandidate(Single T) { ConstructBN(T); }

bool DataEngine::ScoreCandidate(bool multiNet, Single& score) {
    if (!(multiNet ? LearnCPTMN() : LearnCPTBN())) return false;
    score = multiNet ? ClsfyHoldOutMN() : ClsfyHoldOutBN();
    return true;
}

bool DataEngine::Score(bool multiNet, Single tablesShare, Single afterShare, Single& score) {
    StepShare = tablesShare;
    if (!ScoreCandidate(multiNet, score)) return false;
    StepShare = afterShare;
    return true;
}

void DataEngine::EndHoldOutSearch() {
    ShrinkCPTCache();
    HoldOutSearch = false;
}

// ---- the single net ----

void DataEngine::LearnStruBN(Single T) {
    const Integer n = numfld;
    for (vb::Array<Integer>* g : {&CandGraph1, &CandGraph2, &CandGraph3, &BestGraph})
        g->ReDim(vb::To(n), vb::To(n));
    FirstFld = 1;
    WhereClause = "";
    NetIdx = 0;

    if (BMMode == 1 && FixedThr) {
        // Nothing to choose: the structure comes from all rows.
        StepShare = kOnceInitShare;
        InitStruBN();
        if (Cancel) return;
        StepShare = kOnceConstructShare;
        ConstructCandidate(T);
        return;
    }

    HoldOutSearch = true;
    // Before anything is learned: a split with an empty side is refused here.
    if (!LoadHoldOutRows()) return;
    StepShare = kSearchInitShare;
    InitStruBN();
    if (Cancel) return;
    SeedCPTCacheBN();

    if (FixedThr) {
        // One candidate, scored so that the multi-net step can compare with it. HoldOutSearch
        // stays set until the multi-net step ends.
        StepShare = kFixedBNConstructShare;
        ConstructCandidate(T);
        if (Cancel) return;
        Single score = 0;
        if (!Score(false, kFixedBNTablesShare, kFixedBNTablesShare, score)) return;
        BestScore = score;
        for (Integer i = 1; i < n; ++i)
            for (Integer j = Integer(i + 1); j <= n; ++j) {
                SavedGraph(0, i, j) = Graph(0, i, j);
                SavedGraph(0, j, i) = Graph(0, j, i);
            }
        if (BMMode == 2) BestScore = 0;  // the multi-net must win
        return;
    }

    if (!SearchThresholdBN()) return;

    EndHoldOutSearch();
    for (Integer i = 1; i <= n; ++i)
        for (Integer j = 1; j <= n; ++j) Graph(0, i, j) = SavedGraph(0, i, j) = BestGraph(i, j);
    if (BMMode == 2) BestScore = 0;
}

// The threshold search of the single net: three distinct structures walking down from
// kStartThreshold, a walk up and a walk down while the scores keep improving, then a fine scan
// around the best threshold. Leaves the best in BestScore, BestThreshold and BestGraph; false
// when the host cancelled.
bool DataEngine::SearchThresholdBN() {
    Single T0 = kStartThreshold, T1 = 0, T2 = 0;
    Single A0 = 0, A1 = 0, A2 = 0;
    auto construct = [&](Single t) {
        StepShare = kSearchConstructShare;
        ConstructCandidate(t);
        return !Cancel;
    };
    auto score = [&](Single& a) {
        return Score(false, kSearchTablesShare, kSearchConstructShare, a);
    };
    bool picked = false;
    auto best = [&](Single a, Single t, const vb::Array<Integer>& g) {
        BestScore = a;
        BestThreshold = t;
        BestGraph = g;
        picked = true;
    };

    // Start point.
    if (!construct(T0)) return false;
    if (!score(A0)) return false;
    CandGraph1 = LastGraph;
    const Single startScore = A0;
    const vb::Array<Integer> startGraph = CandGraph1;

    // Second and third points: walk down until the structure changes each time. When it never
    // does above the floor, no pick is made and the walk up starts with A1 = A2 = 0.
    bool distinct = false;
    T1 = T0;
    for (;;) {
        T1 = Times(T1, kRatio);
        if (double(T1) < kLowest) break;
        if (!construct(T1)) return false;
        CandGraph2 = LastGraph;
        if (!SameGraphBN(CandGraph2, CandGraph1)) {
            distinct = true;
            break;
        }
    }
    if (distinct) {
        if (!score(A1)) return false;
        distinct = false;
        T2 = T1;
        for (;;) {
            T2 = Times(T2, kRatio);
            if (double(T2) < kLowest) break;
            if (!construct(T2)) return false;
            CandGraph3 = LastGraph;
            if (!SameGraphBN(CandGraph3, CandGraph2)) {
                distinct = true;
                break;
            }
        }
        if (distinct) {
            if (!score(A2)) return false;
            // Strict comparisons: any tie falls to the largest threshold.
            if (A2 > A1 && A2 > A0)
                best(A2, T2, CandGraph3);
            else if (A1 > A0 && A1 > A2)
                best(A1, T1, CandGraph2);
            else
                best(A0, T0, CandGraph1);
        } else {
            // Only two structures above the floor: the better of them is the best so far, or
            // a walk that stops at once would leave no structure at all.
            A2 = 0;
            if (A1 > A0)
                best(A1, T1, CandGraph2);
            else
                best(A0, T0, CandGraph1);
        }
    } else {
        A1 = A2 = 0;
    }

    // Walk up while no smaller threshold scored clearly more than the next larger one.
    int c = 0;
    while (c < 2) {
        if (ClearlyBelow(A1, A2) || ClearlyBelow(A0, A1) || double(T0) >= kHighest) break;
        CandGraph3 = CandGraph2;
        A2 = A1;
        CandGraph2 = CandGraph1;
        A1 = A0;
        T2 = Times(T0, kRatio);
        T0 = Over(T0, kRatio);
        if (!construct(T0)) return false;
        if (!SameGraphBN(LastGraph, CandGraph1)) {
            CandGraph1 = LastGraph;
            if (!score(A0)) return false;
        }
        if (BestScore > A0) {
            ++c;
        } else if (BestScore < A0) {
            best(A0, T0, CandGraph1);
            c = 0;
        }
    }

    // Walk down while no larger threshold scored clearly more than the next smaller one.
    if (double(T0) <= kHighest) {
        c = 0;
        while (c < 2) {
            if (ClearlyBelow(A2, A1) || BelowOrAtMargin(A1, A0) || double(T2) <= kLowest) break;
            CandGraph1 = CandGraph2;
            A0 = A1;
            CandGraph2 = CandGraph3;
            A1 = A2;
            T2 = Times(T2, kRatio);
            if (!construct(T2)) return false;
            if (!SameGraphBN(LastGraph, CandGraph3)) {
                CandGraph3 = LastGraph;
                if (!score(A2)) return false;
            }
            if (BestScore < A2) {
                best(A2, T2, CandGraph3);
                c = 0;
            } else {
                ++c;  // an equal score is no gain
            }
        }
    }

    // When the structure never changed down to the floor and no later candidate scored above
    // 0, no rule picked anything: the start structure, scored and never beaten, is the best,
    // not the empty graph.
    if (!picked) best(startScore, kStartThreshold, startGraph);

    // Fine scan between kRatio and 1 / kRatio times the best threshold. The start is formed in
    // double and rounded once.
    const Single step = ScanStep(BestThreshold);
    const double upper = double(BestThreshold) / kRatio;
    Single t = Single(double(BestThreshold) * kRatio + double(step));
    Single previous = 0;
    c = 0;
    while (double(t) < upper) {
        if (!construct(t)) return false;
        if (!SameGraphBN(LastGraph, CandGraph1) && !SameGraphBN(LastGraph, CandGraph2)) {
            CandGraph1 = LastGraph;
            Single a = 0;
            if (!score(a)) return false;
            if (a > BestScore) best(a, t, LastGraph);
            c = a < previous ? c + 1 : 0;
            if (c == 2) break;
            previous = a;
        }
        t = t + step;
    }
    return true;
}

// ---- the multi-net ----

void DataEngine::LearnStruMN(Single T) {
    BestGraph.ReDim(vb::To(nc), vb::To(numfld), vb::To(numfld));
    LastMNGraph.ReDim(vb::To(nc), vb::To(numfld), vb::To(numfld));
    FirstFld = 2;

    if (BMMode == 2 && FixedThr && FSM == 2) {
        // Nothing to choose: every field, all rows.
        StepShare = kOnceInitShare;
        InitStruMN();
        if (Cancel) return;
        StepShare = kOnceConstructShare;
        ConstructMN(T);
        return;
    }

    HoldOutSearch = true;
    if (!LoadHoldOutRows()) return;
    StepShare = kSearchInitShare;
    InitStruMN();
    if (Cancel) return;
    // The tables of parentless fields come seeded from the value counts the pass just made.
    SeedCPTCacheMN();

    if (FixedThr) {
        StepShare = kFixedMNConstructShare;
        ConstructMN(T);
        if (Cancel) return;
        if (BMMode == 2 && FSM == 1) {
            // The multi-net on the single net's subset is the result: nothing to score.
            IsMultiNet_ = true;
            if (!SubsetFixed)
                for (Integer i = 1; i <= numfld; ++i) Feature(i) = 1;
            EndHoldOutSearch();
            return;
        }
        Single score = 0;
        if (!Score(true, kFixedMNTablesShare, kFixedMNTablesShare, score)) return;
        KeepBetter(score, Graph);
        return;
    }

    // Scan around T; a structure equal to the last or the best one scored keeps that score.
    StepShare = kScanConstructShare;
    const Single step = ScanStep(T);
    double t = double(T) * kRatio + step;
    Single b = 0, previous = 0;
    int c = 0;
    bool scoredAny = false;
    while (t < double(T) / kRatio) {
        ConstructMN(Single(t));
        if (Cancel) return;
        // LastMNGraph and BestGraph start empty without having been scored, so the first
        // structure is scored even when it has no links.
        if (!scoredAny ||
            (!SameGraphMN(Graph, LastMNGraph) && !SameGraphMN(Graph, BestGraph))) {
            scoredAny = true;
            LastMNGraph = Graph;
            Single s = 0;
            if (!Score(true, kScanTablesShare, kScanConstructShare, s)) return;
            if (s > b) {
                b = s;
                BestGraph = Graph;
            }
            c = s < previous ? c + 1 : 0;
            if (c == 2) break;
            previous = s;
        }
        t = t + step;
    }
    KeepBetter(b, BestGraph);
}

// The multi-net candidate replaces the kept model only with a strictly higher score; either
// way Graph shows the kept model afterwards.
void DataEngine::KeepBetter(Single score, const vb::Array<Integer>& graph) {
    EndHoldOutSearch();
    if (score > BestScore) {
        BestScore = score;
        IsMultiNet_ = true;
        if (!SubsetFixed)
            for (Integer i = 1; i <= numfld; ++i) Feature(i) = 1;
        SavedGraph = graph;
    }
    Graph = SavedGraph;
}

void DataEngine::ConstructMN(Single T) {
    StartStage("Learn structure (MN)");
    ConstructShare = Single(1.0 / nc);
    const std::vector<db::Value> values = ClassValues();
    for (Integer k = 1; k <= nc; ++k) {
        NetIdx = k;
        // The same rows the pairwise pass counted for this layer.
        WhereClause = ClassFilter(values, k);
        if (HoldOutSearch) WhereClause += " And " + db::HoldOutCondition(false) + " ";
        ConstructCandidate(T);
        if (Cancel) return;
    }
}

}  // namespace zorvapi
