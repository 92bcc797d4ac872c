// Buffers the statistics and the path walks reuse from call to call. A search over many fields
// runs them millions of times on small blocks, where allocating them each time would cost more
// than the work; a learner owns its room, so the buffers live as long as the engine and no
// longer, and every call starts from its own contents (a buffer is sized or cleared before use).
#pragma once

#include <cstdint>
#include <vector>

#include "core/skeleton.h"
#include "platform/vb/types.h"

namespace core {

// A cell of the one-pass CMI: a row holding its coded values, and its count.
struct OnePassCell {
    int32_t first;
    double c;
};

// A cell of a configuration being summed: the pair's values and the count.
struct RunCell {
    int32_t u, v;
    double c;
};

// A configuration's rows in a keyed block: where they start, the cases of the rows before
// them, and the configuration.
struct KeyRun {
    uint32_t start;
    int64_t casesBefore;
    uint64_t configuration;
};

// The conditional MI's buffers (GetCMI, the tables of one to three conditioning fields, the
// one-pass computation).
struct CMIRoom {
    std::vector<vb::Integer> set;     // the set of the test (GetCMI)
    std::vector<vb::Integer> fields;  // a subset of it being looked up in the cache (CalcCMI)
    std::vector<int64_t> key;
    std::vector<int32_t> order, start;
    std::vector<vb::Long> cnt;
    std::vector<size_t> touched;
    // A plain block's configurations counted into place: each key's cases, the admitted
    // configurations (their rows' range in `cases`, and their cases), and each row placed as
    // its pair's values and count.
    struct Group {
        int32_t begin, end;
        vb::Long nz;
    };
    struct Case {
        int32_t u, v;
        vb::Long c;
    };
    std::vector<vb::Long> nzOf;
    std::vector<Group> groups;
    std::vector<Case> cases;
    // A plain block of positive counts summed into a flat table: cell (key, u, v) at
    // key x FF(a) x FF(b) + (u - 1) x FF(b) + v - 1, kept all 0 between calls (each row's cell
    // is remembered in `slot` and cleared after), and the cases of each key in nzOf.
    std::vector<vb::Long> flat;
    std::vector<uint32_t> slot;
    std::vector<uint32_t> pairCell;  // each row's (u - 1) x FF(b) + v - 1
    std::vector<vb::Long> caseCount;  // each row's count
    std::vector<uint8_t> seenA, seenB;  // the values of a and b a configuration's rows hold
    std::vector<int32_t> us, vs;        // the same as ascending lists
    // The one-pass computation's coded rows, counts and their order, and its cells.
    std::vector<int32_t> code;
    std::vector<double> count;
    std::vector<int32_t> next;
    std::vector<RunCell> cells;        // one configuration's cells
    std::vector<OnePassCell> merged;   // all of them, sorted and merged
    std::vector<int32_t> uOf, vOf;     // a keyed block's pair values by the key's remainder
    std::vector<KeyRun> runs;          // the configurations starting in a block of keyed rows
    std::vector<uint8_t> differs;
};

// What the cut-set walk keeps: the room of its candidate lists, its stack and its marks. A list
// belongs to the call whose stamp it carries; the marks start afresh with each call.
struct WalkRoom {
    struct Frame {
        vb::Integer node;
        bool collider;     // the node's collider flag
        uint32_t next;     // the next of its candidates to try
        uint32_t refused;  // bit e: a candidate was refused for lying on the path at depth e
    };
    std::vector<std::vector<vb::Integer>> candidates;
    std::vector<uint64_t> listedIn;
    std::vector<int8_t> depthOf;     // depth of a field on the path, -1 off it
    std::vector<uint8_t> failsFrom;  // (field, flag) -> the depth from which it is known to fail
    std::vector<Frame> frames;
    std::vector<int> byLevel;
    std::vector<int8_t> bucketOf;  // the bucket of each link of the node being listed
    uint64_t call = 0;

    static constexpr uint8_t kUnknown = uint8_t(kMaxLevel + 1);

    void Begin(vb::Integer n) {
        ++call;
        if (candidates.size() < size_t(n) + 1) {
            candidates.resize(size_t(n) + 1);
            listedIn.resize(size_t(n) + 1, 0);
        }
        depthOf.assign(size_t(n) + 1, -1);
        failsFrom.assign(2 * (size_t(n) + 1), kUnknown);
    }
};

struct WorkRoom {
    CMIRoom cmi;
    std::vector<vb::Long> miCells;  // CalcMI's flat table
    std::vector<uint64_t> open, frontier, next;  // the level search's bit rows
    std::vector<int8_t> level;                   // TestEdge's levels, a byte a field
    WalkRoom walk;
};

}  // namespace core
