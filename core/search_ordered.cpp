// The structure search under a complete ordering of the fields (field i comes before field j
// whenever i < j): drafting links the most dependent pairs that no open path joins yet,
// thickening tests every pair drafting left out, thinning re-tests every link at a raised
// threshold. Every link points from the lower field to the higher one, so nothing is oriented.
// Reads MIWork (layer NetIdx), FL, CE, bpres and the learning-driver state; writes Adj, Phase,
// MIWork (drafting marks, GetCMI's lowered values) and Threshold (raised for thinning).
#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "core/learner.h"
#include "core/skeleton.h"

namespace core {

namespace {

// Characters of one record "iii,jjj," of the pair list: each field number with at least three
// digits, each followed by a comma. The progress step is spread over the list's characters.
int RecordLength(Integer i, Integer j) {
    auto digits = [](Integer f) {
        int d = 1;
        for (int v = f; v >= 10; v /= 10) ++d;
        return std::max(d, 3);
    };
    return digits(i) + 1 + digits(j) + 1;
}

}  // namespace

// Under the ordering an open path is one without a collider: it steps down to earlier fields
// (towards a common ancestor t, possibly a itself) and then only up to later ones, ending at b;
// no field on it lies above b. Exploring every such simple path, as a depth-first walk without
// visited marks does, is exponential on dense skeletons; the answer is the same as asking for a
// t reached from a by strictly decreasing fields from which b is reached by strictly increasing
// fields: where the rising part would meet a field of the falling part, the path can turn there
// instead, so a simple path exists whenever such a t does. Two sweeps of O(b^2) each.
bool Learner::HasPathOrd(Integer a, Integer b) {
    // up[x]: b is reached from x through strictly increasing fields (none above b).
    std::vector<char> up(size_t(b) + 1, 0);
    up[size_t(b)] = 1;
    for (Integer x = Integer(b - 1); x >= 1; --x)
        for (Integer y = Integer(x + 1); y <= b && !up[size_t(x)]; ++y)
            up[size_t(x)] = up[size_t(y)] && Adj(x, y) == 1;
    if (up[size_t(a)]) return true;
    // down[x]: x is reached from a through strictly decreasing fields.
    std::vector<char> down(size_t(a) + 1, 0);
    down[size_t(a)] = 1;
    for (Integer x = Integer(a - 1); x >= 1; --x) {
        for (Integer y = Integer(x + 1); y <= a && !down[size_t(x)]; ++y)
            down[size_t(x)] = down[size_t(y)] && Adj(y, x) == 1;
        if (down[size_t(x)] && up[size_t(x)]) return true;
    }
    return false;
}

// The conditioning set of a - b is every neighbour of b below b that begins a path back to a
// through fields below b, within the level bound: under the ordering these are the parents of
// b by which a can act on it.
//
// Levels are the distances from a among the fields 1..b-1 (a itself excluded), counted up to
// levmax = min(b, 8). A neighbour x of b qualifies when its level is at least 1 and below levmax.
// A walk from b that enters a field only when its level fits the depth left (level below
// levmax minus the depth it is entered from) and never re-enters a field of its own path
// collects exactly these neighbours: from such an x the chain of falling levels down to a is a
// simple path, avoids b and fits the bound at every step, and a field of level levmax or none
// is never entered. The set is taken from the levels directly, in ascending order, as the walk
// meets the first hops.
void Learner::TestEdgeOrd(Integer a, Integer b) {
    EnsureCondSetRoom();
    const Integer levmax = std::min(b, kMaxLevel);
    std::vector<Integer> level(size_t(b) + 1, 0);
    for (Integer k = 1; k < b; ++k)
        if (Adj(k, a) == 1) level[size_t(k)] = 1;
    std::vector<Integer> next;
    for (Integer l = 2; l <= levmax; ++l) {
        // New levels take effect once the whole level has been scanned.
        next = level;
        for (Integer k = 1; k < b; ++k) {
            if (k == a || level[size_t(k)] != 0) continue;
            for (Integer m = 1; m < b; ++m) {
                if (level[size_t(m)] > 0 && Adj(k, m) == 1) {
                    next[size_t(k)] = l;
                    break;
                }
            }
        }
        level.swap(next);
    }

    Integer k = 0;
    for (Integer x = 1; x < b; ++x) {
        if (x == a || Adj(b, x) != 1) continue;
        const Integer lv = level[size_t(x)];
        if (lv == 0 || lv >= levmax) continue;
        CondSet(++k) = x;
    }
    if (k == 0) {
        Link(Adj, a, b, 1);
        return;
    }
    // One test with the whole set; GetCMI lowers MIWork to the conditional value when smaller.
    GetCMI(a, b, k);
    Link(Adj, a, b, MIWork(NetIdx, a, b) < Threshold ? 0 : 1);
}

void Learner::ConstructOrd() {
    const Integer n = numfld;
    const Integer first = FirstFld;
    const std::vector<bool> relevant = BeginSearch();
    auto required = [&](Integer i, Integer j) { return CE(i, j) + CE(j, i) > 0; };

    // Drafting: the strongest pair first; it is linked when required or when no open path
    // joins its ends yet, else listed. A forbidden pair is neither.
    std::vector<std::pair<Integer, Integer>> listed;
    int listLength = 0;
    Draft(relevant, [&](Integer pi, Integer pj) {
        if (required(pi, pj)) {
            Link(Adj, pi, pj, 1);
        } else if (FL(pi, pj) != 1) {
            if (!HasPathOrd(pi, pj)) {
                Link(Adj, pi, pj, 1);
            } else {
                listed.emplace_back(pi, pj);
                listLength += RecordLength(pi, pj);
            }
        }
    });
    if (Cancel) return;

    // Thickening: the budget is spread over the characters of the list's records, eight per
    // pair for fields below 1000.
    Phase = 2;
    const Single thickStep =
        listLength == 0 ? 0 : Single(8 * settings_.orderedThickeningBudget / listLength);
    for (const auto& [i, j] : listed) {
        TestEdgeOrd(i, j);
        if (Progress(thickStep)) return;
    }

    // Thinning judges every link at a tenth more than the drafting threshold, and the raised
    // value stays for the rest of the construction.
    Threshold = Single(double(Threshold) * 1.1);
    Phase = 3;
    if (settings_.orderedThinningStartPercent >= 0)
        SetProgress(settings_.orderedThinningStartPercent);
    int links = 0;
    for (Integer i = first; i < n; ++i)
        for (Integer j = Integer(i + 1); j <= n; ++j)
            if (Adj(i, j) != 0) ++links;
    const Single thinStep = links == 0 ? 0 : Single(settings_.orderedThinningBudget / links);
    // In place: later links are tested against the skeleton as thinned so far.
    for (Integer i = first; i < n; ++i) {
        for (Integer j = Integer(i + 1); j <= n; ++j) {
            if (Adj(i, j) == 0) continue;
            if (required(i, j) && bpres) continue;  // required links stay when preserving
            Link(Adj, i, j, 0);
            TestEdgeOrd(i, j);
            if (Progress(thinStep)) return;
        }
    }
}

}  // namespace core
