// What the drafting phases of both searches share: the start of a search, the choice of the
// next pair to draft and the restore of the working strengths once drafting ends. Reads MIWork
// (layer NetIdx), FirstFld, SubsetFixed and Feature; the restore writes MIWork.
#include <cmath>

#include "core/learner.h"

namespace core {

bool Learner::StrongestPair(const std::vector<bool>& relevant, Integer& pi, Integer& pj,
                            Single& value) const {
    const Integer n = numfld;
    auto takesPart = [&](Integer f) {
        if (!relevant.empty() && !relevant[size_t(f)]) return false;
        return !SubsetFixed || Feature(f) != 0;
    };
    pi = pj = 0;
    value = 0;
    // Replaced only on a strictly larger value: among equal values the first pair in scan
    // order wins.
    for (Integer i = FirstFld; i < n; ++i) {
        if (!takesPart(i)) continue;
        for (Integer j = Integer(i + 1); j <= n; ++j) {
            if (!takesPart(j)) continue;
            const Single w = MIWork(NetIdx, i, j);
            if (w > value) {
                value = w;
                pi = i;
                pj = j;
            }
        }
    }
    return pi != 0;
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
