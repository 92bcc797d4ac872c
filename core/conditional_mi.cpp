// Conditional mutual information of a pair given a set of fields, with the per-configuration
// independence test (GetCMI, the tables of one to three conditioning fields and the one-pass
// computation). One count query groups by the set and the pair; sets of up to four fields also
// fill the cache with their subsets from the same block, so the leave-one-out tests of the
// searches find them there. Reads FF, MaxVlus, NetIdx, NetTotal, ChiSq and CondSet; writes
// SetCache, MIWork, QryFld, CntA, CntB and CurConf.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <numeric>
#include <type_traits>
#include <utility>
#include <vector>

#include "core/count_arithmetic.h"
#include "core/learner.h"

namespace core {

namespace {

// Work of one pair's test: its value counts, degrees of freedom and cell count.
struct PairShape {
    Integer fa, fb;
    Integer df;  // (FF(a) - 1) x (FF(b) - 1)
    Integer m;   // FF(a) x FF(b)
    // A configuration with no more than sqrt(2m) cases is not evaluated at all.
    double fewest = 0;  // sqrt(2m)
    bool TooFew(Long nz) const { return fewest >= double(nz); }
    // Below 10m cases the squared form is used, from 10m on the logarithmic one.
    bool Sparse(Long nz) const { return int64_t(nz) < 10 * int64_t(m); }
};

// Orders the rows by key into `order`, rows of equal keys in block order (a stable sort). Keys
// from a range not much wider than the rows are counted into place, which gives the same order.
void StableOrder(const std::vector<int64_t>& key, int64_t keys, std::vector<int32_t>& order,
                 std::vector<int32_t>& start) {
    const size_t rows = key.size();
    order.resize(rows);
    if (keys <= int64_t(4 * rows + 256)) {
        start.assign(size_t(keys) + 1, 0);
        for (int64_t k : key) ++start[size_t(k) + 1];
        for (size_t k = 1; k < start.size(); ++k) start[k] += start[k - 1];
        for (size_t r = 0; r < rows; ++r) order[size_t(start[size_t(key[r])]++)] = int32_t(r);
        return;
    }
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int32_t x, int32_t y) { return key[size_t(x)] < key[size_t(y)]; });
}

PairShape ShapeOf(const vb::Array<Integer>& FF, Integer a, Integer b) {
    PairShape p;
    p.fa = FF(a);
    p.fb = FF(b);
    p.df = vb::IntMul(Integer(p.fa - 1), Integer(p.fb - 1));
    p.m = vb::IntMul(p.fa, p.fb);
    p.fewest = std::sqrt(2.0 * p.m);
    return p;
}

// The statistic of one configuration from its 2-way table of a and b: cell(u, v), the margins
// nu(u) and nv(v), and the configuration's nz cases. Cells are visited u outer, v inner, the
// running sum rounded to Single after every addition. Only the values `us` of a and `vs` of b
// (ascending) are visited: a value that no row of the configuration holds has only empty cells
// with an expected count of 0, which add nothing in either form.
template <class Cell, class RowTotal, class ColumnTotal>
Single ConfigurationStatistic(const PairShape& p, Long nz, Cell cell, RowTotal nu, ColumnTotal nv,
                              const std::vector<int32_t>& us, const std::vector<int32_t>& vs) {
    Single S = 0;
    if (p.Sparse(nz)) {
        // Half Pearson's statistic; empty cells contribute through their expected count.
        for (int u : us) {
            for (int v : vs) {
                const Single e = Single(counts::Div(double(nu(u)) * double(nv(v)), nz));
                const Single d = Single(double(cell(u, v)) - double(e));
                const Single d2 = Single(double(d) * double(d));
                if (d2 > 0) S = Single(double(S) + counts::Div(double(d2) / 2.0, e));
            }
        }
    } else {
        // Half the likelihood-ratio statistic.
        for (int u : us) {
            for (int v : vs) {
                const Long n = cell(u, v);
                if (n <= 0) continue;
                const double ratio = counts::Div(counts::Div(n, nu(u)), nv(v)) * double(nz);
                S = Single(double(S) + double(n) * counts::Ln(ratio));
            }
        }
    }
    return S;
}

// The same from a full table cnt(u, v) with the margins in row and column 0 and the total in
// (0, 0).
Single ConfigurationStatistic(const PairShape& p, const std::vector<Long>& cnt, const std::vector<int32_t>& us,
                              const std::vector<int32_t>& vs) {
    const int stride = p.fb + 1;
    auto at = [&](int u, int v) { return cnt[size_t(u * stride + v)]; };
    return ConfigurationStatistic(
        p, at(0, 0), at, [&](int u) { return at(u, 0); }, [&](int v) { return at(0, v); }, us, vs);
}

// The values 1..ff in `present` (ascending), the marks cleared for the next configuration.
void TakePresent(std::vector<uint8_t>& seen, int ff, std::vector<int32_t>& present) {
    present.clear();
    for (int x = 1; x <= ff; ++x)
        if (seen[size_t(x)] != 0) {
            present.push_back(x);
            seen[size_t(x)] = 0;
        }
}

// A subset's test from GetCMI's block: the conditioning fields at block positions zpos, their
// value counts fz, the number of their keys, and the pair at positions pa, pb.
struct CMISubset {
    std::initializer_list<Integer> zpos;
    const Integer* fz;
    int64_t keys;
    const PairShape& p;
    Integer pa, pb;
};

// The configuration of each row as one number (the first conditioning field most significant)
// into room.key, read through the block's checks; `plain` reads the codes as they lie.
// Returns whether the keys ascend down the rows.
bool KeysOf(const CodedBlock& block, const CMISubset& s, bool plain, std::vector<int64_t>& key) {
    const int32_t rows = counts::RowCount(block);
    key.resize(size_t(rows));
    bool ascending = true;
    int64_t prev = 0;
    auto fill = [&](auto keyOf) {
        for (int32_t r = 0; r < rows; ++r) {
            const int64_t k = keyOf(r);
            key[size_t(r)] = k;
            ascending &= k >= prev;
            prev = k;
        }
    };
    const Integer* z = s.zpos.begin();
    const size_t n = s.zpos.size();
    if (!plain) {
        fill([&](int32_t r) {
            int64_t k = 0;
            for (size_t i = 0; i < n; ++i) k = k * (int64_t(s.fz[i]) + 1) + counts::IndexOf(block, z[i], r, s.fz[i]);
            return k;
        });
        return ascending;
    }
    const int32_t* code = block.code.data();
    const size_t width = size_t(block.width);
    const size_t c0 = size_t(z[0] - 1), c1 = n > 1 ? size_t(z[1] - 1) : 0, c2 = n > 2 ? size_t(z[2] - 1) : 0;
    const int64_t m1 = n > 1 ? int64_t(s.fz[1]) + 1 : 1, m2 = n > 2 ? int64_t(s.fz[2]) + 1 : 1;
    switch (n) {
        case 1: fill([&](int32_t r) { return int64_t(code[size_t(r) * width + c0]); }); break;
        case 2:
            fill([&](int32_t r) {
                const int32_t* row = code + size_t(r) * width;
                return int64_t(row[c0]) * m1 + row[c1];
            });
            break;
        default:
            fill([&](int32_t r) {
                const int32_t* row = code + size_t(r) * width;
                return (int64_t(row[c0]) * m1 + row[c1]) * m2 + row[c2];
            });
            break;
    }
    return ascending;
}

// A plain block whose counts are all at least 1 summed through a flat table of every
// configuration's cells, when the table is no larger than this many cells.
constexpr int64_t kFlatCells = int64_t(1) << 16;

// The sum over a plain block of positive counts: each row's count goes to its cell of the flat
// table in one pass, then the configurations are visited in ascending order of their keys. The
// counts are whole, so a cell's sum is the same in any order of the rows, and a value is
// present in a configuration exactly when its margin is not 0.
Single FlatCMISum(const Learner& L, CMIRoom& room, const CodedBlock& block, const CMISubset& s) {
    const PairShape& p = s.p;
    const int32_t rows = counts::RowCount(block);
    if (room.pairCell.size() != size_t(rows) || room.caseCount.size() != size_t(rows)) throw vb::RuntimeError::SubscriptOutOfRange();
    const size_t m = size_t(p.m), fb = size_t(p.fb), keys = size_t(s.keys);
    std::vector<Long>& flat = room.flat;
    if (flat.size() < keys * m) flat.resize(keys * m, 0);
    // The cases of each key in four interleaved lanes (row r in lane r mod 4): neighbouring rows
    // of the block mostly share their configuration, and one counter would make each row wait
    // on the one before.
    std::vector<Long>& nzOf = room.nzOf;
    nzOf.assign(4 * keys, 0);
    // A table of a few cells a row is cleared whole afterwards; a larger one cell by cell
    // through the cells the rows were counted in.
    const bool clearWhole = keys * m <= 2 * size_t(rows);
    std::vector<uint32_t>& slot = room.slot;
    if (!clearWhole) slot.resize(size_t(rows));
    const int32_t* code = block.code.data();
    const size_t width = size_t(block.width);
    // Each row's cell within its configuration and its count, made once for the block's subsets.
    const uint32_t* pairCell = room.pairCell.data();
    const Long* caseCount = room.caseCount.data();
    const Integer* z = s.zpos.begin();
    const size_t c0 = size_t(z[0] - 1);
    auto fill = [&](auto keyOf) {
        auto pass = [&](auto remember) {
            for (int32_t r = 0; r < rows; ++r) {
                const int32_t* row = code + size_t(r) * width;
                const size_t k = size_t(keyOf(row));
                const Long c = caseCount[r];
                const uint32_t cell = uint32_t(k * m + pairCell[r]);
                flat[cell] += c;
                nzOf[(size_t(r) & 3) * keys + k] += c;
                if constexpr (decltype(remember)::value) slot[size_t(r)] = cell;
            }
        };
        if (clearWhole) pass(std::false_type());
        else pass(std::true_type());
    };
    switch (s.zpos.size()) {
        case 1: fill([&](const int32_t* row) { return row[c0]; }); break;
        case 2: {
            const size_t c1 = size_t(z[1] - 1);
            const int64_t m1 = int64_t(s.fz[1]) + 1;
            fill([&](const int32_t* row) { return int64_t(row[c0]) * m1 + row[c1]; });
            break;
        }
        default: {
            const size_t c1 = size_t(z[1] - 1), c2 = size_t(z[2] - 1);
            const int64_t m1 = int64_t(s.fz[1]) + 1, m2 = int64_t(s.fz[2]) + 1;
            fill([&](const int32_t* row) { return (int64_t(row[c0]) * m1 + row[c1]) * m2 + row[c2]; });
            break;
        }
    }
    std::vector<Long>& nu = room.cnt;  // a's margins at 1..FF(a), b's at FF(a) + 1 ..
    nu.assign(size_t(p.fa + p.fb) + 1, 0);
    Long* const nv = nu.data() + p.fa;
    std::vector<int32_t>& us = room.us;
    std::vector<int32_t>& vs = room.vs;
    Single total = 0;
    for (size_t k = 0; k < keys; ++k) {
        const Long nz = nzOf[k] + nzOf[keys + k] + nzOf[2 * keys + k] + nzOf[3 * keys + k];
        if (nz == 0 || p.TooFew(nz)) continue;
        const Long* cells = flat.data() + k * m;
        for (int u = 1; u <= p.fa; ++u)
            for (int v = 1; v <= p.fb; ++v) {
                const Long c = cells[size_t(u - 1) * fb + size_t(v - 1)];
                nu[size_t(u)] += c;
                nv[v] += c;
            }
        us.clear();
        vs.clear();
        for (int u = 1; u <= p.fa; ++u)
            if (nu[size_t(u)] != 0) us.push_back(u);
        for (int v = 1; v <= p.fb; ++v)
            if (nv[v] != 0) vs.push_back(v);
        const Single S = ConfigurationStatistic(
            p, nz, [&](int u, int v) { return cells[size_t(u - 1) * fb + size_t(v - 1)]; },
            [&](int u) { return nu[size_t(u)]; }, [&](int v) { return nv[v]; }, us, vs);
        if (L.AdmitsConfiguration(S, p.df)) total = Single(double(total) + double(S));
        std::fill(nu.begin(), nu.end(), 0);
    }
    if (clearWhole)
        std::memset(flat.data(), 0, keys * m * sizeof(Long));
    else
        for (int32_t r = 0; r < rows; ++r) flat[slot[size_t(r)]] = 0;
    return total;
}

// The sum over a plain block: no cell can raise and every sum is whole, so a configuration's
// counts do not depend on the order of its rows, only the configurations' order matters. A
// configuration with too few cases is passed over without its table; a table is cleared
// through the values it holds.
Single PlainCMISum(const Learner& L, CMIRoom& room, const CodedBlock& block, const CMISubset& s) {
    const PairShape& p = s.p;
    const int32_t rows = counts::RowCount(block);
    std::vector<int64_t>& key = room.key;
    const bool ascending = KeysOf(block, s, true, key);
    const int32_t* code = block.code.data();
    const double* count = block.count.data();
    const size_t width = size_t(block.width);
    const size_t ca = size_t(s.pa - 1), cb = size_t(s.pb - 1);

    const int stride = p.fb + 1;
    std::vector<Long>& cnt = room.cnt;
    cnt.assign(size_t((p.fa + 1) * stride), 0);
    std::vector<uint8_t>& seenA = room.seenA;
    std::vector<uint8_t>& seenB = room.seenB;
    seenA.assign(size_t(p.fa) + 1, 0);
    seenB.assign(size_t(p.fb) + 1, 0);
    std::vector<int32_t>& us = room.us;
    std::vector<int32_t>& vs = room.vs;
    Single total = 0;
    // One admitted configuration of nz cases; eachCase(add) hands each row's (u, v, count).
    auto evaluate = [&](Long nz, auto&& eachCase) {
        eachCase([&](int32_t u, int32_t v, Long c) {
            cnt[size_t(u * stride)] += c;
            cnt[size_t(v)] += c;
            cnt[size_t(u * stride + v)] += c;
            seenA[size_t(u)] = seenB[size_t(v)] = 1;
        });
        cnt[0] = nz;
        TakePresent(seenA, p.fa, us);
        TakePresent(seenB, p.fb, vs);
        const Single S = ConfigurationStatistic(p, cnt, us, vs);
        if (L.AdmitsConfiguration(S, p.df)) total = Single(double(total) + double(S));
        for (int32_t u : us) {
            cnt[size_t(u * stride)] = 0;
            for (int32_t v : vs) cnt[size_t(u * stride + v)] = 0;
        }
        for (int32_t v : vs) cnt[size_t(v)] = 0;
        cnt[0] = 0;
    };
    auto rowsIn = [&](auto begin, auto end, auto rowOf) {
        return [&, begin, end, rowOf](auto&& add) {
            for (auto i = begin; i < end; ++i) {
                const size_t r = size_t(rowOf(i));
                const int32_t* row = code + r * width;
                add(row[ca], row[cb], Long(count[r]));
            }
        };
    };
    auto self = [](int32_t r) { return r; };

    if (ascending) {
        // The block's own order is the keys' (the conditioning fields lead its columns).
        for (int32_t start = 0; start < rows;) {
            const int64_t k = key[size_t(start)];
            int32_t end = start;
            Long nz = 0;
            for (; end < rows && key[size_t(end)] == k; ++end) nz += Long(count[size_t(end)]);
            if (!p.TooFew(nz)) evaluate(nz, rowsIn(start, end, self));
            start = end;
        }
        return total;
    }
    if (s.keys <= int64_t(4 * rows + 256)) {
        // Counted into place: the cases of each key first, then only the rows of the keys
        // admitted are placed, each as its pair's values and count.
        std::vector<int32_t>& start = room.start;
        std::vector<Long>& nzOf = room.nzOf;
        start.assign(size_t(s.keys) + 1, 0);
        nzOf.assign(size_t(s.keys), 0);
        for (int32_t r = 0; r < rows; ++r) {
            const size_t k = size_t(key[size_t(r)]);
            ++start[k + 1];
            nzOf[k] += Long(count[size_t(r)]);
        }
        std::vector<CMIRoom::Group>& groups = room.groups;
        groups.clear();
        int32_t at = 0;
        for (size_t k = 0; k < size_t(s.keys); ++k) {
            const int32_t n = start[k + 1];
            if (n != 0 && !p.TooFew(nzOf[k])) {
                groups.push_back({at, at + n, nzOf[k]});
                start[k] = at;
                at += n;
            } else {
                start[k] = -1;
            }
        }
        std::vector<CMIRoom::Case>& cases = room.cases;
        cases.resize(size_t(at));
        for (int32_t r = 0; r < rows; ++r) {
            int32_t& place = start[size_t(key[size_t(r)])];
            if (place < 0) continue;
            const int32_t* row = code + size_t(r) * width;
            cases[size_t(place++)] = {row[ca], row[cb], Long(count[size_t(r)])};
        }
        for (const CMIRoom::Group& g : groups)
            evaluate(g.nz, [&](auto&& add) {
                for (int32_t i = g.begin; i < g.end; ++i) add(cases[size_t(i)].u, cases[size_t(i)].v, cases[size_t(i)].c);
            });
        return total;
    }
    std::vector<int32_t>& order = room.order;
    StableOrder(key, s.keys, order, room.start);
    for (size_t start = 0; start < order.size();) {
        size_t end = start;
        Long nz = 0;
        const int64_t k = key[size_t(order[start])];
        for (; end < order.size() && key[size_t(order[end])] == k; ++end) nz += Long(count[size_t(order[end])]);
        if (!p.TooFew(nz)) evaluate(nz, rowsIn(start, end, [&](size_t i) { return order[i]; }));
        start = end;
    }
    return total;
}

// The sum over any other block, every cell read through its checks in block row order so that
// errors surface where they would.
Single CheckedCMISum(const Learner& L, CMIRoom& room, const CodedBlock& block, const CMISubset& s) {
    const PairShape& p = s.p;
    std::vector<int64_t>& key = room.key;
    std::vector<int32_t>& order = room.order;
    if (KeysOf(block, s, false, key)) {
        order.resize(key.size());
        std::iota(order.begin(), order.end(), 0);
    } else {
        StableOrder(key, s.keys, order, room.start);
    }
    const int stride = p.fb + 1;
    std::vector<Long>& cnt = room.cnt;
    cnt.assign(size_t((p.fa + 1) * stride), 0);
    Single total = 0;
    std::vector<int32_t>& us = room.us;
    std::vector<int32_t>& vs = room.vs;
    std::vector<size_t>& touched = room.touched;
    touched.clear();
    us.resize(size_t(p.fa));
    std::iota(us.begin(), us.end(), 1);
    vs.resize(size_t(p.fb));
    std::iota(vs.begin(), vs.end(), 1);
    for (size_t start = 0; start < order.size();) {
        size_t end = start;
        while (end < order.size() && key[size_t(order[end])] == key[size_t(order[start])]) ++end;
        for (size_t i = start; i < end; ++i) {
            const int32_t r = order[i];
            const double c = counts::CountOf(block, r);
            const Integer u = counts::IndexOf(block, s.pa, r, p.fa);
            const Integer v = counts::IndexOf(block, s.pb, r, p.fb);
            for (size_t cell : {size_t(0), size_t(u * stride), size_t(v), size_t(u * stride + v)}) {
                counts::Add(cnt[cell], c);
                touched.push_back(cell);
            }
        }
        if (!p.TooFew(cnt[0])) {
            const Single S = ConfigurationStatistic(p, cnt, us, vs);
            if (L.AdmitsConfiguration(S, p.df)) total = Single(double(total) + double(S));
        }
        for (size_t cell : touched) cnt[cell] = 0;
        touched.clear();
        start = end;
    }
    return total;
}

}  // namespace

// The block's columns 1..width read plainly (see counts::Plain), the fields being QryFld's.
static bool PlainReading(const Learner& L, const CodedBlock& block, int width) {
    return counts::Plain(block, width, [&](int col) { return int32_t(L.FF(L.QryFld(Integer(col)))); });
}

// The CMI from the block's rows. The tables are kept per configuration rather
// than over every combination of values, which would need the product of all five value
// counts in cells; the configurations are visited in the same order (first conditioning field
// outermost, values ascending) and every cell receives its counts in block row order, so the
// sums and the Single rounding are those of the full table.
Single Learner::CalcCMI(const CodedBlock& block, BlockReading reading, std::initializer_list<Integer> zpos,
                        Integer pa, Integer pb) {
    Learner& L = *this;
    Integer a = L.QryFld(pa);
    Integer b = L.QryFld(pb);
    if (a > b) std::swap(a, b);
    // Most subsets are in the cache already: the set is looked up in a buffer kept for it.
    CMIRoom& scratch = room_.cmi;
    std::vector<Integer>& fields = scratch.fields;
    fields.clear();
    for (Integer z : zpos) fields.push_back(L.QryFld(z));
    if (const Single* hit = L.SetCache.Find(L.NetIdx, a, b, fields)) {
        if (L.MIWork(L.NetIdx, a, b) > *hit) L.MIWork(L.NetIdx, a, b) = *hit;
        return *hit;
    }

    const PairShape p = ShapeOf(L.FF, L.QryFld(pa), L.QryFld(pb));

    Integer fz[3] = {0, 0, 0};
    int64_t keys = 1;  // the keys lie in 0 .. keys - 1
    for (size_t i = 0; i < zpos.size(); ++i) {
        fz[i] = L.FF(L.QryFld(zpos.begin()[i]));
        keys *= int64_t(fz[i]) + 1;
    }
    const CMISubset subset{zpos, fz, keys, p, pa, pb};
    Single total;
    if (reading == BlockReading::Positive && keys * int64_t(p.m) <= kFlatCells)
        total = FlatCMISum(L, scratch, block, subset);
    else if (reading != BlockReading::Checked)
        total = PlainCMISum(L, scratch, block, subset);
    else
        total = CheckedCMISum(L, scratch, block, subset);
    const Single result = counts::PerCase(total, L.NetTotal(L.NetIdx));
    L.SetCache.Append(L.NetIdx, a, b, fields, result);
    if (result < L.MIWork(L.NetIdx, a, b)) L.MIWork(L.NetIdx, a, b) = result;
    return result;
}

namespace {

// The one-pass computation over one block: its rows as (configuration values 1..k, a, b) with
// their counts, summed configuration by configuration. Two raw values can code to one index (a
// Null and a "?", or the same text in two cases), so a block may hold two rows for one cell,
// and not always next to each other; a plain block whose rows already ascend (the common case)
// is read where it lies, any other is sorted by its coded columns with equal rows merged, so
// that every configuration is one run and every cell one row.
class OnePass {
public:
    OnePass(Learner& L, CMIRoom& room, const CodedBlock& block, Integer k)
        : L_(L), room_(room), block_(&block), k_(k), width_(k + 2),
          p_(ShapeOf(L.FF, L.QryFld(k + 1), L.QryFld(k + 2))),
          codes_(block.code.data()), stride_(size_t(block.width)) {}
    // A pass over a keyed block (SumKeys) reads no coded rows.
    OnePass(Learner& L, CMIRoom& room, Integer k)
        : L_(L), room_(room), k_(k), width_(k + 2), p_(ShapeOf(L.FF, L.QryFld(k + 1), L.QryFld(k + 2))) {}

    // Sums a plain block whose rows ascend where it lies and returns true; false, with nothing
    // summed, when they do not ascend.
    bool SumAscending();
    // Sums any block: its coded rows sorted and merged, then one run of cells a configuration.
    void SumSorted(bool plain);
    // Sums a keyed block (ascending keys, whole counts, one cell a group); false, with nothing
    // summed, when its counts' sizes add up past the Long range.
    bool SumKeys(const KeyedBlock& block);
    Single total() const { return total_; }

private:
    const int32_t* Row(int32_t r) const { return codes_ + size_t(r) * stride_; }
    Integer Value(const OnePassCell& cell, int col) const { return Integer(Row(cell.first)[col - 1]); }
    // Marks in room.differs the first column in which each row differs from the one before
    // (width: equal rows); false as soon as a row comes before the one above it.
    bool MarkAscending();
    // The coded rows and counts copied out of the block, in a stable lexicographic order, with
    // equal rows merged into room.merged.
    void SortAndMerge(bool plain);
    // Adds the statistic of the configuration in room.cells, with nz and the value counts CntA
    // and CntB of the configuration summed, when it is admitted; clears them for the next.
    void CloseRun();

    Learner& L_;
    CMIRoom& room_;
    const CodedBlock* block_ = nullptr;
    const Integer k_;
    const int width_;
    const PairShape p_;
    const int32_t* codes_ = nullptr;
    size_t stride_ = 0;
    Single total_ = 0;
    Long nz_ = 0;
};

void OnePass::CloseRun() {
    // The value counts are read through plain pointers: one check of their bounds here stands
    // for the checks of every cell, the values of a run lying in 1..FF(a) and 1..FF(b).
    for (const vb::Array<Long>* n : {&L_.CntA, &L_.CntB})
        if (n->dims() != 1 || n->LBound() != 0) throw vb::RuntimeError::SubscriptOutOfRange();
    if (L_.CntA.UBound() < p_.fa || L_.CntB.UBound() < p_.fb) throw vb::RuntimeError::SubscriptOutOfRange();
    Long* const cntA = &L_.CntA(0);
    Long* const cntB = &L_.CntB(0);
    Single S = 0;
    if (!p_.TooFew(nz_)) {
        if (p_.Sparse(nz_)) {
            // Every cell's expected count enters once through the product sum; each row present
            // then replaces its cell's e / 2 by (c - e)^2 / (2e). A value counted nowhere adds
            // 0 to the sum, which leaves it as it is, so only values present are visited.
            // The products are whole numbers: while no partial sum can pass 2^24, every rounding
            // to Single is exact and the sum is the product of the margins' totals.
            int64_t totalA = 0, totalB = 0, sizeA = 0, sizeB = 0;
            for (int u = 1; u <= p_.fa; ++u) {
                totalA += cntA[u];
                sizeA += cntA[u] < 0 ? -int64_t(cntA[u]) : int64_t(cntA[u]);
            }
            for (int v = 1; v <= p_.fb; ++v) {
                totalB += cntB[v];
                sizeB += cntB[v] < 0 ? -int64_t(cntB[v]) : int64_t(cntB[v]);
            }
            Single sum = 0;
            if (sizeA * sizeB <= (int64_t(1) << 24)) {
                sum = Single(double(totalA * totalB));
            } else {
                for (int u = 1; u <= p_.fa; ++u) {
                    const Long nu = cntA[u];
                    if (nu == 0) continue;
                    for (int v = 1; v <= p_.fb; ++v) {
                        const Long nv = cntB[v];
                        if (nv != 0) sum = Single(double(sum) + double(nu) * double(nv));
                    }
                }
            }
            S = Single(counts::Div(double(sum), nz_) / 2.0);
            for (const RunCell& cell : room_.cells) {
                const double c = cell.c;
                if (c == 0) continue;
                const Long nu = cntA[cell.u];
                const Long nv = cntB[cell.v];
                const Single e = Single(counts::Div(double(nu) * double(nv), nz_));
                const Single d = Single(c - double(e));
                const Single d2 = Single(double(d) * double(d));
                S = Single(double(S) + counts::Div(double(d2) / 2.0, e) - double(e) / 2.0);
            }
        } else {
            for (const RunCell& cell : room_.cells) {
                const double c = cell.c;
                if (c == 0) continue;
                const Long nu = cntA[cell.u];
                const Long nv = cntB[cell.v];
                const double ratio = counts::Div(counts::Div(c, nu), nv) * double(nz_);
                S = Single(double(S) + c * counts::Ln(ratio));
            }
        }
        if (L_.AdmitsConfiguration(S, p_.df)) total_ = Single(double(total_) + double(S));
    }
    nz_ = 0;
    // Only the values of a and b were counted; the rest of CntA and CntB stays 0.
    for (int u = 0; u <= p_.fa; ++u) cntA[u] = 0;
    for (int v = 0; v <= p_.fb; ++v) cntB[v] = 0;
}

bool OnePass::MarkAscending() {
    const int32_t rows = block_->rows;
    std::vector<uint8_t>& differs = room_.differs;
    differs.resize(size_t(rows));
    differs[0] = 0;
    // The first column that differs from the row above, found from a mask of the columns that
    // differ: where it lies is as good as random, which a scan would keep mispredicting. The
    // common widths are compiled as constants, so the mask is made without a loop.
    auto mark = [&](auto w) {
        const int width = int(w);
        for (int32_t r = 1; r < rows; ++r) {
            const int32_t* prev = Row(r - 1);
            const int32_t* cur = Row(r);
            uint64_t unequal = uint64_t(1) << width;
            for (int c = 0; c < width; ++c) unequal |= uint64_t(cur[c] != prev[c]) << c;
            const int col = __builtin_ctzll(unequal);
            if (col < width && cur[col] < prev[col]) return false;
            differs[size_t(r)] = uint8_t(col);
        }
        return true;
    };
    // Sets of four to sixteen fields.
    bool ascending = true;
    const bool constant = [&]<int... W>(std::integer_sequence<int, W...>) {
        return ((width_ == W + 6 && (ascending = mark(std::integral_constant<int, W + 6>()), true)) || ...);
    }(std::make_integer_sequence<int, 13>());
    if (constant) return ascending;
    if (width_ < 64) return mark(width_);
    for (int32_t r = 1; r < rows; ++r) {
        const int32_t* prev = Row(r - 1);
        const int32_t* cur = Row(r);
        int col = 0;
        while (col < width_ && cur[col] == prev[col]) ++col;
        if (col < width_ && cur[col] < prev[col]) return false;
        differs[size_t(r)] = uint8_t(col);
    }
    return true;
}

bool OnePass::SumAscending() {
    if (!MarkAscending()) return false;
    const int32_t rows = block_->rows;
    const std::vector<uint8_t>& differs = room_.differs;
    std::vector<RunCell>& cells = room_.cells;
    // A configuration's rows follow each other; one whose cases are too few to be evaluated
    // passes without its cells and value counts, which only the statistic reads.
    int32_t last = 0;
    for (int32_t r = 0; r < rows;) {
        int32_t end = r + 1;
        Long cases = Long(block_->count[size_t(r)]);
        for (; end < rows && differs[size_t(end)] >= k_; ++end) cases += Long(block_->count[size_t(end)]);
        last = r;
        if (!p_.TooFew(cases)) {
            cells.clear();
            for (int32_t x = r; x < end; ++x) {
                if (x > r && differs[size_t(x)] == width_)
                    cells.back().c += block_->count[size_t(x)];
                else
                    cells.push_back(RunCell{Row(x)[k_], Row(x)[k_ + 1], block_->count[size_t(x)]});
                L_.CntA(Row(x)[k_]) += Long(block_->count[size_t(x)]);
                L_.CntB(Row(x)[k_ + 1]) += Long(block_->count[size_t(x)]);
            }
            nz_ = cases;
            CloseRun();
        }
        r = end;
    }
    // The configuration last summed, as the pass over every run leaves it.
    for (Integer j = 1; j <= k_; ++j) L_.CurConf(j) = Integer(Row(last)[j - 1]);
    return true;
}

bool OnePass::SumKeys(const KeyedBlock& block) {
    const size_t rows = block.key.size();
    const double* count = block.count.data();
    // As the checked reading requires of a plain block: whole counts whose sizes add up to at
    // most the Long range, so that every running sum is plain addition.
    if (!counts::WholeCounts(count, rows)) return false;
    if (rows == 0) return true;
    // A key is configuration x m + (u - 1) x FF(b) + (v - 1); the remainder's pair of values
    // from a table of the m remainders.
    const uint64_t m = uint64_t(p_.m);
    std::vector<int32_t>& uOf = room_.uOf;
    std::vector<int32_t>& vOf = room_.vOf;
    uOf.resize(size_t(m));
    vOf.resize(size_t(m));
    for (uint64_t x = 0; x < m; ++x) {
        uOf[size_t(x)] = int32_t(x / uint64_t(p_.fb)) + 1;
        vOf[size_t(x)] = int32_t(x % uint64_t(p_.fb)) + 1;
    }
    const uint64_t* key = block.key.data();
    // The quotient by m through a multiply by its rounded-up reciprocal, exact below 2^32.
    const bool narrow = key[rows - 1] < (uint64_t(1) << 32);
    const uint64_t inverse = UINT64_MAX / m + 1;
    auto configurationOf = [&](uint64_t k) {
        return narrow ? m == 1 ? k : uint64_t((static_cast<unsigned __int128>(inverse) * k) >> 64) : k / m;
    };
    // Most configurations of a large set hold a row or two, so where one ends is as good as
    // random: a block of rows at a time, each row's configuration is worked out and the rows
    // where a configuration starts are marked (with the cases before them) without a branch a
    // row, and only the configurations are visited.
    std::vector<RunCell>& cells = room_.cells;
    auto close = [&](const KeyRun& run, size_t end, int64_t casesAtEnd) {
        const Long cases = Long(casesAtEnd - run.casesBefore);
        // One whose cases are too few to be evaluated passes without its cells and value counts.
        if (p_.TooFew(cases)) return;
        const uint64_t base = run.configuration * m;
        cells.clear();
        for (size_t x = run.start; x < end; ++x) {
            const size_t rest = size_t(key[x] - base);
            const int32_t u = uOf[rest], v = vOf[rest];
            cells.push_back(RunCell{u, v, count[x]});
            L_.CntA(Integer(u)) += Long(count[x]);
            L_.CntB(Integer(v)) += Long(count[x]);
        }
        nz_ = cases;
        CloseRun();
    };
    constexpr size_t kBlock = 4096;
    std::vector<KeyRun>& marks = room_.runs;
    marks.resize(kBlock);
    KeyRun open{0, 0, configurationOf(key[0])};
    uint64_t previous = open.configuration;
    int64_t cases = 0;
    for (size_t first = 0; first < rows; first += kBlock) {
        const size_t last = std::min(rows, first + kBlock);
        size_t n = 0;
        for (size_t r = first; r < last; ++r) {
            const uint64_t c = configurationOf(key[r]);
            marks[n] = KeyRun{uint32_t(r), cases, c};
            n += c != previous;
            previous = c;
            cases += Long(count[r]);
        }
        for (size_t i = 0; i < n; ++i) {
            close(open, marks[i].start, marks[i].casesBefore);
            open = marks[i];
        }
    }
    close(open, rows, cases);
    uint64_t lastConfiguration = open.configuration;
    // The configuration last summed, as the pass over every run leaves it.
    for (Integer j = k_; j >= 1; --j) {
        const Integer f = L_.FF(L_.QryFld(j));
        L_.CurConf(j) = Integer(lastConfiguration % uint64_t(f) + 1);
        lastConfiguration /= uint64_t(f);
    }
    return true;
}

void OnePass::SortAndMerge(bool plain) {
    const int32_t rows = block_->rows;
    const int width = width_;
    std::vector<int32_t>& code = room_.code;
    code.resize(size_t(rows) * size_t(width));
    std::vector<double>& count = room_.count;
    count.resize(static_cast<size_t>(rows));
    for (int32_t r = 0; r < rows; ++r) {
        for (int col = 1; col <= width; ++col)
            code[size_t(r) * width + size_t(col - 1)] =
                plain ? block_->code[size_t(r) * stride_ + size_t(col - 1)]
                      : counts::IndexOf(*block_, col, r, L_.FF(L_.QryFld(col)));
        count[size_t(r)] = plain ? block_->count[size_t(r)] : counts::CountOf(*block_, r);
    }
    codes_ = code.data();
    stride_ = size_t(width);
    // A stable lexicographic order: one stable counting pass a column, the last column first
    // (each code lies in 1 .. its field's value count).
    std::vector<int32_t>& order = room_.order;
    std::vector<int32_t>& next = room_.next;
    order.resize(static_cast<size_t>(rows));
    next.resize(static_cast<size_t>(rows));
    std::iota(order.begin(), order.end(), 0);
    std::vector<int32_t>& start = room_.start;
    for (int col = width; col >= 1; --col) {
        start.assign(size_t(L_.FF(L_.QryFld(col))) + 2, 0);
        for (int32_t r = 0; r < rows; ++r) ++start[size_t(code[size_t(r) * width + size_t(col - 1)]) + 1];
        for (size_t c = 1; c < start.size(); ++c) start[c] += start[c - 1];
        for (int32_t r : order) next[size_t(start[size_t(code[size_t(r) * width + size_t(col - 1)])]++)] = r;
        order.swap(next);
    }
    std::vector<OnePassCell>& merged = room_.merged;
    merged.clear();
    for (int32_t r : order) {
        if (!merged.empty() && std::equal(Row(r), Row(r) + width, Row(merged.back().first)))
            merged.back().c += count[size_t(r)];
        else
            merged.push_back(OnePassCell{r, count[size_t(r)]});
    }
}

void OnePass::SumSorted(bool plain) {
    SortAndMerge(plain);
    const std::vector<OnePassCell>& merged = room_.merged;
    std::vector<RunCell>& cells = room_.cells;
    // One run of cells a configuration, its counts summed cell by cell in order.
    for (size_t r = 0; r < merged.size();) {
        size_t end = r + 1;
        auto sameConfiguration = [&](size_t x) {
            for (Integer i = k_; i >= 1; --i)
                if (Value(merged[x], i) != Value(merged[r], i)) return false;
            return true;
        };
        while (end < merged.size() && sameConfiguration(end)) ++end;
        for (Integer j = 1; j <= k_; ++j) L_.CurConf(j) = Value(merged[r], j);
        cells.clear();
        for (size_t x = r; x < end; ++x) {
            const OnePassCell& cell = merged[x];
            cells.push_back(RunCell{Value(cell, k_ + 1), Value(cell, k_ + 2), cell.c});
            counts::Add(nz_, cell.c);
            counts::Add(L_.CntA(Value(cell, k_ + 1)), cell.c);
            counts::Add(L_.CntB(Value(cell, k_ + 2)), cell.c);
        }
        CloseRun();
        r = end;
    }
}

}  // namespace

Single Learner::OnePassCMI(const CodedBlock& block, Integer k, bool plain) {
    if (counts::RowCount(block) == 0) return 0;
    OnePass pass(*this, room_.cmi, block, k);
    if (!(plain && pass.SumAscending())) pass.SumSorted(plain);
    return counts::PerCase(pass.total(), NetTotal(NetIdx));
}

bool Learner::OnePassKeys(const KeyedBlock& block, Integer k, Single& result) {
    OnePass pass(*this, room_.cmi, k);
    if (!pass.SumKeys(block)) return false;
    result = block.key.empty() ? 0 : counts::PerCase(pass.total(), NetTotal(NetIdx));
    return true;
}

Single Learner::GetCMI(Integer a, Integer b, Integer k) {
    // Both value counts start at 0 (0..MaxVlus); cleared in place when already of that size.
    for (vb::Array<Long>* counts : {&CntA, &CntB}) {
        if (counts->allocated() && counts->dims() == 1 && counts->LBound() == 0 && counts->UBound() == MaxVlus)
            counts->Fill(0);
        else
            counts->ReDim(vb::To(MaxVlus));
    }
    if (a > b) std::swap(a, b);
    // The set in ascending order, sorted in place in CondSet too (callers read it so).
    std::vector<Integer>& fields = room_.cmi.set;
    fields.clear();
    for (Integer i = 1; i <= k; ++i) fields.push_back(CondSet(i));
    std::sort(fields.begin(), fields.end());
    for (Integer i = 1; i <= k; ++i) CondSet(i) = fields[size_t(i - 1)];

    if (const Single* hit = SetCache.Find(NetIdx, a, b, fields)) {
        if (MIWork(NetIdx, a, b) > *hit) MIWork(NetIdx, a, b) = *hit;
        return *hit;
    }
    // A set beyond the limit, or one that with the pair would not fit the query's field slots,
    // is not tested: it reads as independence the caller weighs like any other value.
    if (k > settings_.maxCondSet || k + 2 > QryFld.UBound()) return 0;

    for (Integer i = 1; i <= k; ++i) QryFld(i) = CondSet(i);
    QryFld(k + 1) = a;
    QryFld(k + 2) = b;
    // A set with no subsets to fill in needs only the one-pass sum, which reads a configuration
    // and the pair's values off each group's key where the counter gives keys.
    if (k == 0 || k > 4) {
        Single result = 0;
        if (const KeyedBlock* keyed = CountKeyed(fields, a, b); keyed && OnePassKeys(*keyed, k, result)) {
            SetCache.Append(NetIdx, a, b, fields, result);
            if (result < MIWork(NetIdx, a, b)) MIWork(NetIdx, a, b) = result;
            return result;
        }
    }
    const CodedBlock& block = CountCoded(fields, a, b);

    const bool plain = PlainReading(*this, block, k + 2);
    BlockReading reading = plain ? BlockReading::Plain : BlockReading::Checked;
    if (plain && std::all_of(block.count.begin(), block.count.begin() + block.rows, [](double c) { return c >= 1; })) {
        reading = BlockReading::Positive;
        // The subsets' flat tables read each row's cell of the pair and its count from here.
        CMIRoom& room = room_.cmi;
        const int32_t rows = block.rows;
        room.pairCell.resize(size_t(rows));
        room.caseCount.resize(size_t(rows));
        const size_t width = size_t(block.width), fb = size_t(FF(b));
        for (int32_t r = 0; r < rows; ++r) {
            const int32_t* row = block.code.data() + size_t(r) * width;
            room.pairCell[size_t(r)] = uint32_t(size_t(row[k] - 1) * fb + size_t(row[k + 1] - 1));
            room.caseCount[size_t(r)] = Long(block.count[size_t(r)]);
        }
    }

    // Subsets first, from the same block: triples, then pairs, then single fields, each in
    // lexicographic order of their positions.
    const Integer pa = Integer(k + 1), pb = Integer(k + 2);
    if (k >= 3 && k <= 4)
        for (Integer i = 1; i <= k; ++i)
            for (Integer j = Integer(i + 1); j <= k; ++j)
                for (Integer l = Integer(j + 1); l <= k; ++l) CalcCMI(block, reading, {i, j, l}, pa, pb);
    if (k >= 2 && k <= 4)
        for (Integer i = 1; i <= k; ++i)
            for (Integer j = Integer(i + 1); j <= k; ++j) CalcCMI(block, reading, {i, j}, pa, pb);
    if (k >= 1 && k <= 4)
        for (Integer i = 1; i <= k; ++i) CalcCMI(block, reading, {i}, pa, pb);

    switch (k) {
        case 1: return CalcCMI(block, reading, {1}, 2, 3);
        case 2: return CalcCMI(block, reading, {1, 2}, 3, 4);
        case 3: return CalcCMI(block, reading, {1, 2, 3}, 4, 5);
        default: break;
    }
    const Single result = OnePassCMI(block, k, plain);
    SetCache.Append(NetIdx, a, b, fields, result);
    if (result < MIWork(NetIdx, a, b)) MIWork(NetIdx, a, b) = result;
    return result;
}

}  // namespace core
