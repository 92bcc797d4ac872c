// What the drafting phases of both searches share: the start of a search, the order in which
// drafting picks the pairs, the restore of the working strengths once drafting ends, and the
// beat that lets the host cancel inside a long step. Reads MIWork (layer NetIdx), FirstFld,
// SubsetFixed and Feature; the restore writes MIWork.
#include <algorithm>
#include <cmath>

#include "core/learner.h"

namespace core {

std::vector<Learner::DraftPair> Learner::DraftingOrder(const std::vector<bool>& relevant) const {
    const Integer n = numfld;
    auto takesPart = [&](Integer f) {
        if (!relevant.empty() && !relevant[size_t(f)]) return false;
        return !SubsetFixed || Feature(f) != 0;
    };
    std::vector<DraftPair> pairs;
    for (Integer i = FirstFld; i < n; ++i) {
        if (!takesPart(i)) continue;
        for (Integer j = Integer(i + 1); j <= n; ++j) {
            if (!takesPart(j)) continue;
            const Single w = MIWork(NetIdx, i, j);
            if (w > 0) pairs.push_back({i, j, w});  // never picked: 0, negative, not computed
        }
    }
    // Among equal values the first pair in scan order wins, as a scan that replaces its pick
    // only on a strictly larger value would choose.
    std::sort(pairs.begin(), pairs.end(), [](const DraftPair& a, const DraftPair& b) {
        if (a.value != b.value) return a.value > b.value;
        return a.i != b.i ? a.i < b.i : a.j < b.j;
    });
    return pairs;
}

void Learner::Draft(const std::vector<bool>& relevant, const std::function<void(Integer, Integer)>& pick) {
    Clock::time_point beat = Clock::now();
    for (const DraftPair& p : DraftingOrder(relevant)) {
        if (p.value < Threshold) break;  // a value equal to the threshold is taken
        if (Beat(beat)) break;
        pick(p.i, p.j);
        MIWork(NetIdx, p.i, p.j) = -p.value;  // picked: not again
    }
    RestoreDraftedMI();
}

bool Learner::Beat(Clock::time_point& last) {
    const Clock::time_point now = Clock::now();
    if (std::chrono::duration<double>(now - last).count() < settings_.beatSeconds) return false;
    last = now;
    return Progress(0);
}

std::vector<bool> Learner::BeginSearch() {
    EnsureCondSetRoom();
    if (settings_.searchStartPercent >= 0) SetProgress(settings_.searchStartPercent);
    Phase = 1;
    std::vector<bool> relevant;
    if (tmpFilter) relevant = ClassRelevance();
    return relevant;
}

void Learner::RestoreDraftedMI() {
    for (Integer i = 1; i < numfld; ++i)
        for (Integer j = Integer(i + 1); j <= numfld; ++j)
            MIWork(NetIdx, i, j) = std::fabs(MIWork(NetIdx, i, j));
}

}  // namespace core
