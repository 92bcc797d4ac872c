// A core::Learner whose statistics are scripted and whose progress is recorded.
#include "tests/support/scripted_learner.h"

#include <algorithm>

namespace testsupport {

ScriptedLearner::ScriptedLearner(core::CoreSettings settings, Integer fields, Integer classes)
    : core::Learner(settings) {
    pairsOnThreads = false;  // GetMI is scripted: the pairwise pass must ask it for every pair
    numfld = fields;
    nc = classes;
    MaxVlus = settings.maxValues;
    const auto n = vb::To(fields);
    FF.ReDim(n);
    for (Integer i = 1; i <= fields; ++i) FF(i) = 2;
    if (classes > 0) FF(1) = classes;
    MICache.ReDim(vb::To(classes), n, n);
    MICache.Fill(settings.notComputed);
    MIWork.ReDim(vb::To(classes), n, n);
    for (auto* m : {&Adj, &Reach, &ReachInit, &FL, &CE}) m->ReDim(n, n);
    Root.ReDim(n);
    Leaf.ReDim(n);
    Feature.ReDim(n);
    CondSet.ReDim(vb::To(20));
}

void ScriptedLearner::SetMI(Integer a, Integer b, Single v, Integer layer) {
    MICache(layer, a, b) = MICache(layer, b, a) = v;
    MIWork(layer, a, b) = MIWork(layer, b, a) = v;
}

void ScriptedLearner::ClearMI(Integer layer) {
    for (Integer i = 0; i <= numfld; ++i)
        for (Integer j = 0; j <= numfld; ++j) MICache(layer, i, j) = 0;
}

void ScriptedLearner::ScriptMI(Integer a, Integer b, Single v, Integer layer) {
    scriptedMI[{layer, std::min(a, b), std::max(a, b)}] = v;
}

void ScriptedLearner::SetCMI(Integer a, Integer b, std::vector<Integer> set, Single v) {
    std::sort(set.begin(), set.end());
    cmi_[{{std::min(a, b), std::max(a, b)}, set}] = v;
}

void ScriptedLearner::Link(Integer a, Integer b) { Adj(a, b) = Adj(b, a) = 1; }

std::vector<std::pair<vb::Integer, vb::Integer>> ScriptedLearner::Links() const {
    std::vector<std::pair<Integer, Integer>> out;
    for (Integer i = 1; i < numfld; ++i)
        for (Integer j = Integer(i + 1); j <= numfld; ++j)
            if (Adj(i, j) == 1) out.emplace_back(i, j);
    return out;
}

std::vector<std::pair<vb::Integer, vb::Integer>> ScriptedLearner::Cells(
    const vb::Array<Integer>& m) {
    std::vector<std::pair<Integer, Integer>> out;
    for (Integer i = 1; i <= m.UBound(1); ++i)
        for (Integer j = 1; j <= m.UBound(2); ++j)
            if (m(i, j) != 0) out.emplace_back(i, j);
    return out;
}

vb::Single ScriptedLearner::GetMI(Integer a, Integer b) {
    if (a > b) std::swap(a, b);
    miCalls.push_back({a, b, NetIdx, WhereClause});
    auto it = scriptedMI.find({NetIdx, a, b});
    const Single v = it == scriptedMI.end() ? 0.0f : it->second;
    SetMI(a, b, v, NetIdx);
    return v;
}

vb::Single ScriptedLearner::GetCMI(Integer a, Integer b, Integer k) {
    if (a > b) std::swap(a, b);
    std::vector<Integer> set;
    for (Integer i = 1; i <= k; ++i) set.push_back(CondSet(i));
    cmiCalls.push_back({a, b, set, NetIdx, Phase, Threshold});
    std::sort(set.begin(), set.end());
    for (Integer i = 1; i <= k; ++i) CondSet(i) = set[size_t(i - 1)];
    if (k > settings().maxCondSet) return 0;
    auto it = cmi_.find({{a, b}, set});
    const Single v = it == cmi_.end() ? cmiDefault : it->second;
    if (lowerMIWork && MIWork(NetIdx, a, b) > v) MIWork(NetIdx, a, b) = v;
    return v;
}

bool ScriptedLearner::Progress(Single increment) {
    percent += increment;
    events.push_back({increment, percent, Phase});
    if (cancelAt > 0 && int(events.size()) == cancelAt) Cancel = true;
    if (cancelInPhase > 0 && Phase == cancelInPhase) Cancel = true;
    return Cancel;
}

void ScriptedLearner::StartStage(const std::string& status) {
    stages.push_back(status);
    percent = 0;
}

void ScriptedLearner::SetProgress(Single p) {
    positions.push_back(p);
    percent = p;
}

}  // namespace testsupport
