// The structure search when no complete ordering of the fields is given: drafting links the
// most dependent pairs that no path joins yet, thickening tests every pair drafting left out,
// thinning re-tests every link, and OrientEdges then directs the links. Reads MIWork (the pair
// strengths of layer NetIdx), Reach, FL, CE, Threshold and the learning-driver state; writes
// Adj, Phase and MIWork (drafting marks, GetCMI's lowered values).
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "core/learner.h"
#include "platform/db/sql_names.h"
#include "core/skeleton.h"

namespace core {

void Learner::EnsureCondSetRoom() {
    const int32_t top = std::max<int32_t>(20, numfld);
    if (!CondSet.allocated())
        CondSet.ReDim(vb::To(top));
    else if (CondSet.UBound() < top)
        CondSet.ReDimPreserveLast(top);
}

std::vector<bool> Learner::ClassRelevance() {
    const Integer n = numfld;
    std::vector<bool> relevant(size_t(n) + 1, false);
    relevant[1] = true;
    // A field's relevance is its MI with the class field over all of the layer-0 rows; inside
    // a per-class network the class is constant, so those pairs are read from layer 0 and
    // computed there when no single net was learned before (a multi-net with fixed threshold).
    struct Restore {  // the layer and its row filter come back however the lookup ends
        Learner& L;
        Integer layer;
        std::string where;
        ~Restore() {
            L.NetIdx = layer;
            L.WhereClause = where;
        }
    } restore{*this, NetIdx, WhereClause};
    for (Integer i = 2; i <= n; ++i) {
        // A field over the value limit has no labels and never enters a count query: it is
        // irrelevant, as the pairwise pass makes it (MI 0 with every field).
        if (FF(i) > MaxVlus) MICache(0, 1, i) = MICache(0, i, 1) = 0;
        if (MICache(0, 1, i) == settings_.notComputed) {
            NetIdx = 0;
            const bool holdOut = settings_.holdOutFilter && HoldOutSearch;
            WhereClause = holdOut ? " WHERE " + db::HoldOutCondition(false) + " " : "";
            MICache(0, 1, i) = GetMI(1, i);
        }
        relevant[size_t(i)] = std::fabs(MICache(0, 1, i)) >= Threshold;
    }
    return relevant;
}

const LinkBits& Learner::LinkRows() {
    if (!linkBitsLive_) linkBits_.Build(Adj, numfld);
    return linkBits_;
}

void Learner::SetLink(Integer a, Integer b, Integer value) {
    Link(Adj, a, b, value);
    if (linkBitsLive_) linkBits_.Set(a, b, value);
}

bool Learner::LevelSearch(Integer a, Integer b, Integer from, Integer stopAt,
                          std::vector<int8_t>& level) {
    const Integer n = numfld;
    const LinkBits& links = LinkRows();
    const SquareView reach(Reach, n);
    const size_t words = links.words();
    // A search for a path only asks whether one exists; the walk never enters a field of the
    // last level (nor one without a level), so that level is not worked out for it.
    const bool leveling = stopAt == 0;
    const int last = leveling ? kMaxLevel - 1 : kMaxLevel;
    if (leveling) level.assign(size_t(n) + 1, 0);
    // Fields that can take a level from the second on: not a or b, not yet leveled, and not a
    // common descendant of a and b (both ends reach it), through which a path is blocked. The
    // rows keep their room from call to call.
    std::vector<uint64_t>& open = room_.open;
    std::vector<uint64_t>& frontier = room_.frontier;
    std::vector<uint64_t>& next = room_.next;
    open.assign(words, 0);
    frontier.assign(words, 0);
    next.assign(words, 0);
    if (reachRowsLive_) {
        const uint64_t* fromA = reachRows_.Row(a);
        const uint64_t* fromB = reachRows_.Row(b);
        for (size_t w = 0; w < words; ++w) open[w] = ~(fromA[w] & fromB[w]);
        open[0] &= ~uint64_t(1);  // no field 0
        if ((size_t(n) + 1) % 64 != 0) open[words - 1] &= (uint64_t(1) << ((size_t(n) + 1) % 64)) - 1;
    } else {
        for (Integer k = 1; k <= n; ++k)
            if (!(reach(a, k) != 0 && reach(b, k) != 0)) open[size_t(k) / 64] |= uint64_t(1) << (k % 64);
    }
    auto any = [&](const std::vector<uint64_t>& set, const uint64_t* row) {
        for (size_t w = 0; w < words; ++w)
            if (set[w] & row[w]) return true;
        return false;
    };
    auto forEach = [&](const std::vector<uint64_t>& set, auto&& f) {
        for (size_t w = 0; w < words; ++w)
            for (uint64_t bits = set[w]; bits; bits &= bits - 1) f(Integer(w * 64 + size_t(__builtin_ctzll(bits))));
    };
    // No path enters a field without links.
    const uint64_t* linked = links.Linked();
    for (size_t w = 0; w < words; ++w) open[w] &= linked[w];
    // Each new level's fields, as it is complete: their level, and the work of growing the next
    // level out from them (their links).
    size_t inFrontier = 0;
    auto took = [&](const std::vector<uint64_t>& set, int lv) {
        if (leveling) forEach(set, [&](Integer k) { level[size_t(k)] = int8_t(lv); });
        inFrontier = CountBits(set.data(), words);
    };
    // Level 1: the fields linked to `from` (a and b among them, when linked).
    const uint64_t* first = links.Into(from);
    for (size_t w = 0; w < words; ++w) frontier[w] = first[w] & open[w];
    took(frontier, 1);
    for (size_t w = 0; w < words; ++w) open[w] &= ~frontier[w];
    open[size_t(a) / 64] &= ~(uint64_t(1) << (a % 64));
    open[size_t(b) / 64] &= ~(uint64_t(1) << (b % 64));
    if (stopAt != 0 && any(frontier, links.Into(stopAt))) return true;
    // A field gets the level after the one of the fields it touches. Only the last level can
    // touch a field still without one (a neighbour of an earlier level got its level then), so
    // each level comes from the one before, and new levels take effect once it is complete.
    // A level is grown from the cheaper side: out from each field of the last level (a row of
    // its neighbours at once), or in to each open field (does it touch the last one?).
    // The words from the first to the last that hold a field of the set.
    auto wordsHolding = [&](const std::vector<uint64_t>& set) {
        size_t lo = 0, hi = words;
        while (lo < hi && set[lo] == 0) ++lo;
        while (hi > lo && set[hi - 1] == 0) --hi;
        return std::pair<size_t, size_t>(lo, hi);
    };
    size_t stillOpen = CountBits(open.data(), words);
    for (int lv = 2; lv <= last; ++lv) {
        if (stillOpen == 0) break;
        std::fill(next.begin(), next.end(), 0);
        const auto [lo, hi] = wordsHolding(open);
        const auto [flo, fhi] = wordsHolding(frontier);
        const RowSet fromSet{frontier.data(), flo, fhi};
        // Outward reads a row's open words once for each field of the frontier; inward reads a
        // row's frontier words and the frontier's own for each open field.
        if (inFrontier * (hi - lo) <= 2 * stillOpen * (fhi - flo))
            GrowOutward(links.Into(0), words, fromSet, open.data(), lo, hi, next.data());
        else
            GrowInward(links.Symmetric() ? links.Into(0) : links.OutOf(0), words, RowSet{open.data(), lo, hi},
                       fromSet, next.data());
        bool found = false;
        for (size_t w = 0; w < words; ++w) {
            open[w] &= ~next[w];
            found = found || next[w] != 0;
        }
        if (!found) break;
        took(next, lv);
        stillOpen -= inFrontier;
        if (stopAt != 0 && any(next, links.OutOf(stopAt))) return true;
        frontier.swap(next);
    }
    return false;
}

bool Learner::HasPath(Integer a, Integer b) {
    std::vector<int8_t> unused;
    return LevelSearch(a, b, b, a, unused);
}

// Every path the walk may take: from `from` to a neighbour (the first hop), and on over links to
// `to`, never through the same field twice and never back through `from`. A path may not pass
// through a collider: a node entered along an arc into it (the previous node reaches it) may not
// be left along another arc into it, unless it is linked to both ends of the pair; `from`, which
// no arc entered, is no collider. Levels (distance from `to`) prune it: a field of level l
// entered at depth d (the first hop at depth 1) needs l + d <= kMaxLevel, and a field without a
// level is never entered. The set is every first hop, in ascending order, that begins such a
// path, so each hop is its own depth-first search, in any order of the candidates: to `to` at
// once where it is a neighbour, then the lower levels first, which leads straight down towards
// `to` where nothing blocks the way. Levels rise down the candidate list, so the first one too
// high for the depth ends the scan.
//
// Dead ends are kept. Whether a path goes on from a node depends only on the node, its collider
// flag (fixed by the node before it and the pair), the depth and the fields on the path. When a
// node fails at depth d and no candidate below it was refused for lying on the path above it,
// it fails at every depth from d on, whatever the path above: a deeper start only tightens the
// levels, and another path above could only refuse more. Such a failure holds for the rest of
// the call, across first hops; every other failure is tried again when met again.
std::vector<Integer> Learner::CutSet(Integer from, Integer to, const std::vector<int8_t>& level) {
    const Integer n = numfld;
    const LinkBits& links = LinkRows();
    const SquareView adj(Adj, n), reach(Reach, n);
    WalkRoom& room = room_.walk;
    room.Begin(n);
    // The candidates after a node of the path: `to` first when linked, then the neighbours that
    // some depth past the first hop admits (a level from 1 to kMaxLevel - 2), by level, those of
    // one level in ascending order; `from` is never among them. Listed once a call.
    auto candidatesOf = [&](Integer x) -> const std::vector<Integer>& {
        std::vector<Integer>& list = room.candidates[size_t(x)];
        if (room.listedIn[size_t(x)] == room.call) return list;
        room.listedIn[size_t(x)] = room.call;
        // One read of the links and their levels, without a branch: `to` goes to bucket 0, a
        // neighbour it admits to the bucket of its level, every other one to the last bucket,
        // which is cut off the end of the list.
        constexpr int kLeftOut = kMaxLevel - 1;
        std::vector<int>& count = room.byLevel;
        count.assign(size_t(kMaxLevel), 0);
        const std::vector<Integer>& row = links.OutList(x);
        std::vector<int8_t>& bucketOf = room.bucketOf;
        bucketOf.resize(row.size());
        for (size_t i = 0; i < row.size(); ++i) {
            const Integer c = row[i];
            const int lv = level[size_t(c)];
            int bucket = c != from && lv >= 1 && lv <= kMaxLevel - 2 ? lv : kLeftOut;
            bucket = c == to ? 0 : bucket;
            bucketOf[i] = int8_t(bucket);
            ++count[size_t(bucket)];
        }
        int at = 0;
        for (int& k : count) at += std::exchange(k, at);
        list.resize(row.size());  // every entry is written below; only a longer list grows
        for (size_t i = 0; i < row.size(); ++i) list[size_t(count[size_t(bucketOf[i])]++)] = row[i];
        list.resize(size_t(count[size_t(kLeftOut - 1)]));
        return list;
    };
    // Reach(x, c) from its bit rows while they are live (a row is a few cache lines, where the
    // matrix keeps a row's cells a column apart), else from the matrix.
    const bool rowsLive = reachRowsLive_;
    auto reaches = [&](Integer x, Integer c) {
        if (rowsLive) return ((reachRows_.Row(x)[size_t(c) / 64] >> (size_t(c) % 64)) & 1) != 0;
        return reach(x, c) != 0;
    };
    // Is x linked to `to` (Adj(x, to) = 1)? One row, to's, answers it for every x.
    const uint64_t* intoTo = links.Into(to);
    auto linkedToTo = [&](Integer x) { return ((intoTo[size_t(x) / 64] >> (size_t(x) % 64)) & 1) != 0; };
    auto entersCollider = [&](Integer x, Integer c) {
        return reaches(x, c) && adj(from, c) + adj(c, to) != 2;
    };
    std::vector<WalkRoom::Frame>& frames = room.frames;
    // Is there a path on from the first hop h?
    auto pathFrom = [&](Integer h) {
        frames.assign(1, {h, entersCollider(from, h), 0, 0});
        room.depthOf[size_t(h)] = 1;
        auto found = [&] {
            for (const WalkRoom::Frame& on : frames) room.depthOf[size_t(on.node)] = -1;
            frames.clear();
            return true;
        };
        while (!frames.empty()) {
            WalkRoom::Frame& f = frames.back();
            const int depth = int(frames.size());
            // `to`, the first candidate of a node linked to it, is tried before the node's list
            // is made: most paths end there, and the rest of the list is then never read.
            if (f.next == 0 && linkedToTo(f.node)) {
                f.next = 1;
                if (!(f.collider && reaches(to, f.node))) return found();
            }
            const std::vector<Integer>& list = candidatesOf(f.node);
            Integer enter = 0;
            bool enterCollider = false;
            while (f.next < list.size()) {
                const Integer c = list[f.next++];
                // The flag first: it is cheaper than the Reach bit.
                if (f.collider && reaches(c, f.node)) continue;
                if (c == to) return found();
                if (level[size_t(c)] >= kMaxLevel - depth) break;
                if (const int e = room.depthOf[size_t(c)]; e >= 0) {
                    f.refused |= uint32_t(1) << e;
                    continue;
                }
                const bool flag = entersCollider(f.node, c);
                if (room.failsFrom[2 * size_t(c) + flag] <= depth + 1) continue;
                enter = c;
                enterCollider = flag;
                break;
            }
            if (enter != 0) {
                room.depthOf[size_t(enter)] = int8_t(depth + 1);
                frames.push_back({enter, enterCollider, 0, 0});
                continue;
            }
            // Every candidate failed: step back, and keep the failure if it was clean.
            if ((f.refused & ((uint32_t(1) << depth) - 1)) == 0) {
                uint8_t& known = room.failsFrom[2 * size_t(f.node) + f.collider];
                known = std::min(known, uint8_t(depth));
            }
            const uint32_t refused = f.refused;
            room.depthOf[size_t(f.node)] = -1;
            frames.pop_back();
            if (!frames.empty()) frames.back().refused |= refused;
        }
        return false;
    };

    std::vector<Integer> set;
    for (const Integer h : links.OutList(from)) {
        // The pair's own link is not a path between them.
        if (h == to || h == from) continue;
        const int lv = level[size_t(h)];
        if (lv == 0 || lv >= kMaxLevel) continue;
        if (pathFrom(h)) set.push_back(h);
    }
    return set;
}

Single Learner::CMIGiven(Integer a, Integer b, const std::vector<Integer>& set) {
    // GetCMI sorts CondSet in place, so the set's own order is kept here.
    for (size_t i = 0; i < set.size(); ++i) CondSet(int32_t(i + 1)) = set[i];
    return GetCMI(a, b, Integer(set.size()));
}

bool Learner::Separates(Integer a, Integer b, std::vector<Integer> set) {
    const bool extra = settings_.extraSeparationChecks;
    Single v = CMIGiven(a, b, set);
    if (MIWork(NetIdx, a, b) < Threshold || (extra && v < Threshold)) return true;
    std::vector<Integer> without;  // one leave-one-out set at a time, in one room
    while (set.size() >= 2) {
        // The best starts above every possible result, so the member whose removal gives the
        // smallest value is always the one removed; the first of equal results is kept.
        Single best = std::numeric_limits<Single>::infinity();
        size_t bestAt = 0;
        Single last = 0;
        for (size_t r = 0; r < set.size(); ++r) {
            without.clear();
            for (size_t i = 0; i < set.size(); ++i)
                if (i != r) without.push_back(set[i]);
            last = CMIGiven(a, b, without);
            if (last < best) {
                best = last;
                bestAt = r;
            }
        }
        if (MIWork(NetIdx, a, b) < Threshold || (extra && last < Threshold)) return true;
        // Go on only while dropping a member lowers the value by more than a tenth.
        if (!(Single(0.9 * double(v)) > best)) return false;
        v = best;
        set.erase(set.begin() + std::ptrdiff_t(bestAt));
    }
    return false;
}

void Learner::TestEdge(Integer a, Integer b) {
    EnsureCondSetRoom();
    if (settings_.extraSeparationChecks && MIWork(NetIdx, a, b) < Threshold) {
        SetLink(a, b, 0);
        return;
    }
    // Set 1: the first hops of the paths from a to b, without a's descendants (a's side of the
    // separator). Not built when a already comes before b.
    std::vector<Integer> set1, set2;
    std::vector<int8_t>& level = room_.level;
    if (Reach(a, b) == 0) {
        LevelSearch(a, b, b, 0, level);
        set1 = CutSet(a, b, level);
        if (set1.empty()) {
            SetLink(a, b, 1);
            return;
        }
        std::erase_if(set1, [&](Integer m) { return Reach(a, m) != 0; });
    }
    // Set 2: the mirror from b's side.
    if (Reach(b, a) == 0) {
        LevelSearch(a, b, a, 0, level);
        set2 = CutSet(b, a, level);
        std::erase_if(set2, [&](Integer m) { return Reach(b, m) != 0; });
    }
    if (set1.empty() && set2.empty()) {
        SetLink(a, b, 1);
        return;
    }
    // The smaller set first (set 1 on equal sizes).
    if (set2.size() < set1.size()) std::swap(set1, set2);
    for (const std::vector<Integer>* set : {&set1, &set2}) {
        if (set->empty()) continue;
        if (Separates(a, b, *set)) {
            SetLink(a, b, 0);
            return;
        }
    }
    SetLink(a, b, 1);
}

void Learner::ConstructNoOrd() {
    const Integer n = numfld;
    const Integer first = FirstFld;
    const std::vector<bool> relevant = BeginSearch();
    // The search is the only writer of Adj while it runs: its path searches read the bit rows.
    linkBits_.Build(Adj, n);
    linkBitsLive_ = true;
    struct EndLive {
        bool& live;
        ~EndLive() { live = false; }
    } endLive{linkBitsLive_};
    // Nor does drafting write Reach: its path searches read Reach's bit rows too, until the
    // orientation writes Reach.
    reachRows_.Build(Reach, n);
    reachRowsLive_ = true;
    EndLive endReach{reachRowsLive_};
    auto marked = [&](Integer i, Integer j) { return CE(i, j) != 0 || CE(j, i) != 0; };

    // Drafting: the strongest pair first; a pair joins the skeleton when no path links its ends
    // yet, until the skeleton could be a tree. The rest wait in the list for thickening.
    std::vector<std::pair<Integer, Integer>> listed;
    int treeLinks = 0;
    Draft(relevant, [&](Integer pi, Integer pj) {
        if (FL(pi, pj) == 1) return;
        if (treeLinks < n - 1) {
            if (!HasPath(pi, pj)) {
                SetLink(pi, pj, 1);
                ++treeLinks;
            } else if (marked(pi, pj)) {
                SetLink(pi, pj, 1);
            }
        }
        if (Adj(pi, pj) != 1 && !marked(pi, pj)) listed.emplace_back(pi, pj);
    });

    if (settings_.orientAfterDrafting && !Cancel) {
        // Arcs found now shape the conditioning sets of the later phases.
        reachRowsLive_ = false;
        OrientEdges();
    }

    if (Cancel) return;
    Phase = 2;
    if (!reachRowsLive_) {
        reachRows_.Build(Reach, n);
        reachRowsLive_ = true;
    }
    const double factor = settings_.thickeningFactor;
    if (factor != 1.0) Threshold = Single(double(Threshold) * factor);
    // The budget over the listed pairs (equal to spreading eight times the budget over the
    // eight-character records of a text list, to the last bit).
    const Single thickStep =
        listed.empty() ? 0 : Single(settings_.thickeningBudget / double(listed.size()));
    for (const auto& [i, j] : listed) {
        TestEdge(i, j);
        if (Progress(thickStep)) return;
    }

    if (Cancel) return;
    Phase = 3;
    if (factor != 1.0) Threshold = Single(double(Threshold) / factor);
    if (settings_.thinningStartPercent >= 0) SetProgress(settings_.thinningStartPercent);
    int links = 0;
    for (Integer i = first; i < n; ++i)
        for (Integer j = Integer(i + 1); j <= n; ++j)
            if (Adj(i, j) == 1) ++links;
    const Single thinStep = links == 0 ? 0 : Single(settings_.thinningBudget / links);
    // In place: later links are tested against the skeleton as thinned so far.
    for (Integer i = first; i < n; ++i) {
        for (Integer j = Integer(i + 1); j <= n; ++j) {
            if (Adj(i, j) != 1) continue;
            if (marked(i, j) && bpres) continue;  // required links stay when preserving
            SetLink(i, j, 0);
            TestEdge(i, j);
            if (Progress(thinStep)) return;
        }
    }

    reachRowsLive_ = false;  // the orientation writes Reach
    OrientEdges();
}

}  // namespace core
