// What the drafting phases of both searches share: the start of a search, the order in which
// drafting picks the pairs, the restore of the working strengths once drafting ends, and the
// beat that lets the host cancel inside a long step. Reads MIWork (layer NetIdx), FirstFld,
// SubsetFixed and Feature; the restore writes MIWork.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "core/learner.h"

namespace core {

std::vector<Learner::DraftPair> Learner::DraftingOrder(const std::vector<bool>& relevant, Single atLeast) const {
    const Integer n = numfld;
    auto takesPart = [&](Integer f) {
        if (!relevant.empty() && !relevant[size_t(f)]) return false;
        return !SubsetFixed || Feature(f) != 0;
    };
    // Each pair as one number whose ascending order is the picking order: the value's bits
    // inverted (a positive Single orders as its bits do) above i and j, so that among equal
    // values the first pair in scan order wins, as a scan that replaces its pick only on a
    // strictly larger value would choose. The numbers are sorted a byte at a time, skipping
    // the bytes all of them share: a search over many fields drafts from hundreds of
    // thousands of pairs, between two progress events.
    // MIWork keeps a column's cells together, so the pairs are read j outer (the sort gives the
    // order whatever the order read).
    std::vector<uint64_t> keys, other;
    for (Integer j = Integer(FirstFld + 1); j <= n; ++j) {
        if (!takesPart(j)) continue;
        for (Integer i = FirstFld; i < j; ++i) {
            if (!takesPart(i)) continue;
            const Single w = MIWork(NetIdx, i, j);
            if (!(w > 0) || w < atLeast) continue;  // never picked: 0, negative, not computed
            uint32_t bits;
            std::memcpy(&bits, &w, sizeof bits);
            keys.push_back(uint64_t(~bits) << 32 | uint64_t(uint16_t(i)) << 16 | uint16_t(j));
        }
    }
    other.resize(keys.size());
    uint64_t same = ~uint64_t(0);  // the bits every key shares with the first
    for (uint64_t k : keys) same &= ~(k ^ keys.front());
    for (int shift = 0; shift < 64 && !keys.empty(); shift += 8) {
        if (((same >> shift) & 0xFF) == 0xFF) continue;
        size_t start[257] = {};
        for (uint64_t k : keys) ++start[((k >> shift) & 0xFF) + 1];
        for (size_t d = 1; d < 257; ++d) start[d] += start[d - 1];
        for (uint64_t k : keys) other[start[(k >> shift) & 0xFF]++] = k;
        keys.swap(other);
    }
    std::vector<DraftPair> pairs;
    pairs.reserve(keys.size());
    for (uint64_t k : keys) {
        const uint32_t bits = ~uint32_t(k >> 32);
        Single w;
        std::memcpy(&w, &bits, sizeof w);
        pairs.push_back({Integer(uint16_t(k >> 16)), Integer(uint16_t(k)), w});
    }
    return pairs;
}

void Learner::Draft(const std::vector<bool>& relevant, const std::function<void(Integer, Integer)>& pick) {
    // Drafting comes after the search's set-up and the sort of the pairs, which raise nothing
    // either, so it beats at half the period: the wait since the last event of the pairwise
    // pass stays within the beat.
    Clock::time_point beat = Clock::now();
    for (const DraftPair& p : DraftingOrder(relevant, Threshold)) {
        if (p.value < Threshold) break;  // a value equal to the threshold is taken
        if (Beat(beat, settings_.beatSeconds / 2)) break;
        pick(p.i, p.j);
        MIWork(NetIdx, p.i, p.j) = -p.value;  // picked: not again
    }
    RestoreDraftedMI();
}

bool Learner::Beat(Clock::time_point& last) { return Beat(last, settings_.beatSeconds); }

bool Learner::Beat(Clock::time_point& last, double seconds) {
    const Clock::time_point now = Clock::now();
    if (std::chrono::duration<double>(now - last).count() < seconds) return false;
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
    // Column by column, as the cells lie.
    for (Integer j = 2; j <= numfld; ++j)
        for (Integer i = 1; i < j; ++i) MIWork(NetIdx, i, j) = std::fabs(MIWork(NetIdx, i, j));
}

}  // namespace core
