// ScriptedLearner: a core::Learner for tests of the structure passes. Its GetMI and GetCMI
// return scripted values and record every call (with the layer, the row filter, the phase and
// the threshold in force), and its progress hooks record every increment, stage and absolute
// position, so a test can drive the pairwise pass, the searches and orientation on a tiny graph
// whose right answer is clear by hand:
//
//     testsupport::ScriptedLearner L(core::CoreSettings::Classifier(100), 4);
//     L.SetMI(1, 2, 0.5f);                      // MICache and MIWork of layer 0, both cells
//     L.SetCMI(1, 3, {2}, 0.001f);              // GetCMI(1, 3 | 2) in any order of the set
//     L.Threshold = 0.008f;
//     L.ConstructNoOrd();
//     EXPECT_TRUE(L.Linked(1, 2));
//
// Unscripted sets give cmiDefault. GetCMI behaves like the real one where the searches rely
// on it: it sorts CondSet(1..k), returns 0 for a set above settings().maxCondSet (leaving
// MIWork alone), and lowers MIWork(NetIdx, a, b) to a smaller result.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "core/learner.h"

namespace testsupport {

class ScriptedLearner : public core::Learner {
public:
    using Integer = vb::Integer;
    using Single = vb::Single;

    // `fields` fields of 2 values each, `classes` per-class layers (MICache and MIWork are
    // 0..classes); every matrix zero, MICache of every pair marked not computed.
    ScriptedLearner(core::CoreSettings settings, Integer fields, Integer classes = 0);

    // ---- scripting ----
    // The MI of a pair in a layer: MICache and MIWork, both cells.
    void SetMI(Integer a, Integer b, Single v, Integer layer = 0);
    // Every pair of the layer known with MI 0, as a finished pairwise pass leaves the pairs
    // that are not scripted (a search reads MICache in orientation).
    void ClearMI(Integer layer);
    // What GetMI(a, b) returns in a layer (and writes into both cells of MICache and MIWork).
    std::map<std::tuple<Integer, Integer, Integer>, Single> scriptedMI;  // (layer, a<b)
    void ScriptMI(Integer a, Integer b, Single v, Integer layer = 0);
    void SetCMI(Integer a, Integer b, std::vector<Integer> set, Single v);
    Single cmiDefault = 1.0f;
    // When false, GetCMI leaves MIWork as it is (to reach the checks that read the returned
    // value itself).
    bool lowerMIWork = true;
    // Cancel at the n-th progress event (1 = the first); 0 never.
    int cancelAt = 0;
    // Cancel at the first event raised while Phase has this value; 0 never.
    int cancelInPhase = 0;

    // ---- graph helpers ----
    void Link(Integer a, Integer b);
    bool Linked(Integer a, Integer b) const { return Adj(a, b) == 1 && Adj(b, a) == 1; }
    // The links i < j of the skeleton.
    std::vector<std::pair<Integer, Integer>> Links() const;
    // The non-zero cells (i, j) of a square matrix (Reach, ReachInit), i then j ascending,
    // from 1.
    static std::vector<std::pair<Integer, Integer>> Cells(const vb::Array<Integer>& m);

    // ---- records ----
    struct MICall {
        Integer a, b, layer;
        std::string where;
    };
    struct CMICall {
        Integer a, b;
        std::vector<Integer> set;  // as handed over (before sorting)
        Integer layer, phase;
        Single threshold;
    };
    struct Event {
        Single increment;
        Single percent;  // running percentage after the event
        Integer phase;
    };
    std::vector<MICall> miCalls;
    std::vector<CMICall> cmiCalls;
    std::vector<Event> events;
    std::vector<std::string> stages;
    std::vector<Single> positions;  // SetProgress calls
    Single percent = 0;             // StartStage sets 0, SetProgress sets, Progress adds

    // core::Learner
    Single GetMI(Integer a, Integer b) override;
    Single GetCMI(Integer a, Integer b, Integer k) override;
    bool Progress(Single increment) override;
    void StartStage(const std::string& status) override;
    void SetProgress(Single p) override;

private:
    std::map<std::pair<std::pair<Integer, Integer>, std::vector<Integer>>, Single> cmi_;
};

}  // namespace testsupport
