// Conditional mutual information of a pair given a set of fields, with the per-configuration
// independence test (GetCMI, the tables of one to three conditioning fields and the one-pass
// computation). One count query groups by the set and the pair; sets of up to four fields also
// fill the cache with their subsets from the same block, so the leave-one-out tests of the
// searches find them there. Reads FF, MaxVlus, NetIdx, NetTotal, ChiSq and CondSet; writes
// SetCache, MIWork, QryFld, CntA, CntB and CurConf.
#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <numeric>
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

// A cell of OnePassCMI: a row holding its coded values, and its count.
struct OnePassCell {
    int32_t first;
    double c;
};

// Buffers of CalcCMI, kept from call to call: a search over many fields runs it millions of
// times on small blocks, where allocating them each time costs more than the statistic.
struct CMIScratch {
    std::vector<int64_t> key;
    std::vector<int32_t> order, start;
    std::vector<Long> cnt;
    std::vector<size_t> touched;
    // OnePassCMI's coded rows, counts and their order, and its cells.
    std::vector<int32_t> code;
    std::vector<double> count;
    std::vector<int32_t> next;
    // Each row's values of the pair's two fields, in a configuration's rows.
    std::vector<int32_t> cellOf;
    std::vector<OnePassCell> cells, merged;  // one configuration's cells; all of them
    std::vector<uint8_t> differs;
};

CMIScratch& Scratch() {
    thread_local CMIScratch scratch;
    return scratch;
}

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

// Whether the rows are already in the stable order of their keys.
bool Ascending(const std::vector<int64_t>& key) {
    return std::is_sorted(key.begin(), key.end());
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

// The statistic of one configuration from its full 2-way table of a and b: cnt(u, v) with the
// margins in row and column 0 and the configuration's total in (0, 0). Cells are visited u
// outer, v inner, the running sum rounded to Single after every addition.
Single ConfigurationStatistic(const PairShape& p, const std::vector<Long>& cnt) {
    const int stride = p.fb + 1;
    auto at = [&](int u, int v) { return cnt[size_t(u * stride + v)]; };
    const Long nz = at(0, 0);
    Single S = 0;
    if (p.Sparse(nz)) {
        // Half Pearson's statistic; empty cells contribute through their expected count.
        for (int u = 1; u <= p.fa; ++u) {
            for (int v = 1; v <= p.fb; ++v) {
                const Single e = Single(counts::Div(double(at(u, 0)) * double(at(0, v)), nz));
                const Single d = Single(double(at(u, v)) - double(e));
                const Single d2 = Single(double(d) * double(d));
                if (d2 > 0) S = Single(double(S) + counts::Div(double(d2) / 2.0, e));
            }
        }
    } else {
        // Half the likelihood-ratio statistic.
        for (int u = 1; u <= p.fa; ++u) {
            for (int v = 1; v <= p.fb; ++v) {
                const Long n = at(u, v);
                if (n <= 0) continue;
                const double ratio = counts::Div(counts::Div(n, at(u, 0)), at(0, v)) * double(nz);
                S = Single(double(S) + double(n) * counts::Ln(ratio));
            }
        }
    }
    return S;
}

}  // namespace

// The block's columns 1..width read plainly (see counts::Plain), the fields being QryFld's.
static bool PlainReading(const Learner& L, const CodedBlock& block, int width) {
    return counts::Plain(block, width, [&](int col) { return int32_t(L.FF(L.QryFld(Integer(col)))); });
}

// The CMI of the pair at positions pa, pb given the fields at positions zpos (one to three,
// ascending), computed from the block's rows. The tables are kept per configuration rather
// than over every combination of values, which would need the product of all five value
// counts in cells; the configurations are visited in the same order (first conditioning field
// outermost, values ascending) and every cell receives its counts in block row order, so the
// sums and the Single rounding are those of the full table.
static Single CalcCMI(Learner& L, const CodedBlock& block, bool plain,
                      std::initializer_list<Integer> zpos, Integer pa, Integer pb) {
    Integer a = L.QryFld(pa);
    Integer b = L.QryFld(pb);
    if (a > b) std::swap(a, b);
    // Most subsets are in the cache already: the set is looked up in a buffer kept for it.
    thread_local std::vector<Integer> fields;
    fields.clear();
    for (Integer z : zpos) fields.push_back(L.QryFld(z));
    if (const CachedSet* hit = L.SetCache.Find(L.NetIdx, a, b, fields)) {
        if (L.MIWork(L.NetIdx, a, b) > hit->cmi) L.MIWork(L.NetIdx, a, b) = hit->cmi;
        return hit->cmi;
    }

    const PairShape p = ShapeOf(L.FF, L.QryFld(pa), L.QryFld(pb));
    const int32_t rows = counts::RowCount(block);

    // Configuration of each row as one number, the first conditioning field most significant.
    CMIScratch& scratch = Scratch();
    std::vector<int64_t>& key = scratch.key;
    key.assign(static_cast<size_t>(rows), 0);
    Integer fz[3] = {0, 0, 0};
    int64_t keys = 1;  // the keys lie in 0 .. keys - 1
    for (size_t i = 0; i < zpos.size(); ++i) {
        fz[i] = L.FF(L.QryFld(zpos.begin()[i]));
        keys *= int64_t(fz[i]) + 1;
    }
    for (int32_t r = 0; r < rows; ++r) {
        int64_t k = 0;
        for (size_t i = 0; i < zpos.size(); ++i) {
            const Integer z = zpos.begin()[i];
            const int32_t idx = plain ? block.code[size_t(r) * size_t(block.width) + size_t(z - 1)]
                                      : counts::IndexOf(block, z, r, fz[i]);
            k = k * (int64_t(fz[i]) + 1) + idx;
        }
        key[size_t(r)] = k;
    }
    std::vector<int32_t>& order = scratch.order;
    // The block's own order often is the keys' (the conditioning fields lead its columns).
    if (Ascending(key)) {
        order.resize(size_t(rows));
        std::iota(order.begin(), order.end(), 0);
    } else {
        StableOrder(key, keys, order, scratch.start);
    }

    const int stride = p.fb + 1;
    std::vector<Long>& cnt = scratch.cnt;
    cnt.assign(size_t((p.fa + 1) * stride), 0);
    Single total = 0;
    if (plain) {
        // No cell can raise and every sum is whole: a configuration with too few cases is
        // passed over without its table, and a table is cleared through its own rows.
        std::vector<int32_t>& cellOf = scratch.cellOf;
        const size_t width = size_t(block.width);
        for (size_t start = 0; start < order.size();) {
            size_t end = start;
            Long nz = 0;
            const int64_t k = key[size_t(order[start])];
            for (; end < order.size() && key[size_t(order[end])] == k; ++end) nz += Long(block.count[size_t(order[end])]);
            if (!p.TooFew(nz)) {
                cellOf.clear();
                for (size_t i = start; i < end; ++i) {
                    const size_t r = size_t(order[i]);
                    const Long c = Long(block.count[r]);
                    const int32_t u = block.code[r * width + size_t(pa - 1)];
                    const int32_t v = block.code[r * width + size_t(pb - 1)];
                    cnt[size_t(u * stride)] += c;
                    cnt[size_t(v)] += c;
                    cnt[size_t(u * stride + v)] += c;
                    cellOf.push_back(u * stride + v);
                }
                cnt[0] = nz;
                const Single S = ConfigurationStatistic(p, cnt);
                if (L.AdmitsConfiguration(S, p.df)) total = Single(double(total) + double(S));
                for (int32_t cell : cellOf) {
                    cnt[size_t(cell / stride * stride)] = 0;
                    cnt[size_t(cell % stride)] = 0;
                    cnt[size_t(cell)] = 0;
                }
                cnt[0] = 0;
            }
            start = end;
        }
    } else {
        std::vector<size_t>& touched = scratch.touched;
        touched.clear();
        for (size_t start = 0; start < order.size();) {
            size_t end = start;
            while (end < order.size() && key[size_t(order[end])] == key[size_t(order[start])]) ++end;
            for (size_t i = start; i < end; ++i) {
                const int32_t r = order[i];
                const double c = counts::CountOf(block, r);
                const Integer u = counts::IndexOf(block, pa, r, p.fa);
                const Integer v = counts::IndexOf(block, pb, r, p.fb);
                for (size_t cell : {size_t(0), size_t(u * stride), size_t(v), size_t(u * stride + v)}) {
                    counts::Add(cnt[cell], c);
                    touched.push_back(cell);
                }
            }
            if (!p.TooFew(cnt[0])) {
                const Single S = ConfigurationStatistic(p, cnt);
                if (L.AdmitsConfiguration(S, p.df)) total = Single(double(total) + double(S));
            }
            for (size_t cell : touched) cnt[cell] = 0;
            touched.clear();
            start = end;
        }
    }

    const Single result = counts::PerCase(total, L.NetTotal(L.NetIdx));
    L.SetCache.Append(L.NetIdx, a, b, std::vector<Integer>(fields), result);
    if (result < L.MIWork(L.NetIdx, a, b)) L.MIWork(L.NetIdx, a, b) = result;
    return result;
}

Single Learner::OnePassCMI(const CodedBlock& block, Integer k, bool plain) {
    const PairShape p = ShapeOf(FF, QryFld(k + 1), QryFld(k + 2));
    const int32_t rows = counts::RowCount(block);
    if (rows == 0) return 0;

    // Rows as (configuration values 1..k, a, b) with their counts. Two raw values can code to
    // one index (a Null and a "?", or the same text in two cases), so the block may hold two
    // rows for one cell, and not always next to each other: sort by the coded columns and merge
    // equal rows, so that every configuration is one run and every cell one row. A plain block
    // whose rows already ascend (the common case) is read where it lies.
    const int width = k + 2;
    CMIScratch& scratch = Scratch();
    const int32_t* codes = block.code.data();
    size_t stride = size_t(block.width);
    auto row = [&](int32_t r) { return codes + size_t(r) * stride; };
    std::vector<OnePassCell>& cells = scratch.cells;
    auto value = [&](const OnePassCell& cell, int col) { return Integer(row(cell.first)[col - 1]); };

    Single total = 0;
    Long nz = 0;
    // The statistic of one configuration from its cells, with nz and the value counts CntA and
    // CntB of the configuration summed; clears them for the next.
    auto closeRun = [&]() {
        Single S = 0;
        if (!p.TooFew(nz)) {
            if (p.Sparse(nz)) {
                // Every cell's expected count enters once through the product sum; each row
                // present then replaces its cell's e / 2 by (c - e)^2 / (2e).
                Single sum = 0;
                for (int u = 1; u <= p.fa; ++u)
                    for (int v = 1; v <= p.fb; ++v)
                        sum = Single(double(sum) + double(CntA(u)) * double(CntB(v)));
                S = Single(counts::Div(double(sum), nz) / 2.0);
                for (const OnePassCell& cell : cells) {
                    const double c = cell.c;
                    if (c == 0) continue;
                    const Long nu = CntA(value(cell, k + 1));
                    const Long nv = CntB(value(cell, k + 2));
                    const Single e = Single(counts::Div(double(nu) * double(nv), nz));
                    const Single d = Single(c - double(e));
                    const Single d2 = Single(double(d) * double(d));
                    S = Single(double(S) + counts::Div(double(d2) / 2.0, e) - double(e) / 2.0);
                }
            } else {
                for (const OnePassCell& cell : cells) {
                    const double c = cell.c;
                    if (c == 0) continue;
                    const Long nu = CntA(value(cell, k + 1));
                    const Long nv = CntB(value(cell, k + 2));
                    const double ratio = counts::Div(counts::Div(c, nu), nv) * double(nz);
                    S = Single(double(S) + c * counts::Ln(ratio));
                }
            }
            if (AdmitsConfiguration(S, p.df)) total = Single(double(total) + double(S));
        }
        nz = 0;
        // Only the values of a and b were counted; the rest of CntA and CntB stays 0.
        for (int u = 0; u <= p.fa; ++u) CntA(u) = 0;
        for (int v = 0; v <= p.fb; ++v) CntB(v) = 0;
    };

    bool ascending = plain;
    if (plain) {
        // The first column in which each row differs from the one before (width: equal rows).
        std::vector<uint8_t>& differs = scratch.differs;
        differs.resize(size_t(rows));
        differs[0] = 0;
        for (int32_t r = 1; r < rows && ascending; ++r) {
            const int32_t* prev = row(r - 1);
            const int32_t* cur = row(r);
            int col = 0;
            while (col < width && cur[col] == prev[col]) ++col;
            ascending = col == width || cur[col] > prev[col];
            differs[size_t(r)] = uint8_t(col);
        }
        if (ascending) {
            // A configuration's rows follow each other; one whose cases are too few to be
            // evaluated passes without its cells and value counts, which only the statistic
            // reads.
            int32_t last = 0;
            for (int32_t r = 0; r < rows;) {
                int32_t end = r + 1;
                Long cases = Long(block.count[size_t(r)]);
                for (; end < rows && differs[size_t(end)] >= k; ++end) cases += Long(block.count[size_t(end)]);
                last = r;
                if (!p.TooFew(cases)) {
                    cells.clear();
                    for (int32_t x = r; x < end; ++x) {
                        if (x > r && differs[size_t(x)] == width)
                            cells.back().c += block.count[size_t(x)];
                        else
                            cells.push_back(OnePassCell{x, block.count[size_t(x)]});
                        CntA(row(x)[k]) += Long(block.count[size_t(x)]);
                        CntB(row(x)[k + 1]) += Long(block.count[size_t(x)]);
                    }
                    nz = cases;
                    closeRun();
                }
                r = end;
            }
            // The configuration last summed, as the pass over every run leaves it.
            for (Integer j = 1; j <= k; ++j) CurConf(j) = Integer(row(last)[j - 1]);
            return counts::PerCase(total, NetTotal(NetIdx));
        }
    }

    std::vector<int32_t>& code = scratch.code;
    code.resize(size_t(rows) * size_t(width));
    std::vector<double>& count = scratch.count;
    count.resize(static_cast<size_t>(rows));
    for (int32_t r = 0; r < rows; ++r) {
        for (int col = 1; col <= width; ++col)
            code[size_t(r) * width + size_t(col - 1)] =
                plain ? block.code[size_t(r) * stride + size_t(col - 1)]
                      : counts::IndexOf(block, col, r, FF(QryFld(col)));
        count[size_t(r)] = plain ? block.count[size_t(r)] : counts::CountOf(block, r);
    }
    codes = code.data();
    stride = size_t(width);
    // A stable lexicographic order: one stable counting pass a column, the last column first
    // (each code lies in 1 .. its field's value count).
    std::vector<int32_t>& order = scratch.order;
    std::vector<int32_t>& next = scratch.next;
    order.resize(static_cast<size_t>(rows));
    next.resize(static_cast<size_t>(rows));
    std::iota(order.begin(), order.end(), 0);
    std::vector<int32_t>& start = scratch.start;
    for (int col = width; col >= 1; --col) {
        start.assign(size_t(FF(QryFld(col))) + 2, 0);
        for (int32_t r = 0; r < rows; ++r) ++start[size_t(code[size_t(r) * width + size_t(col - 1)]) + 1];
        for (size_t c = 1; c < start.size(); ++c) start[c] += start[c - 1];
        for (int32_t r : order) next[size_t(start[size_t(code[size_t(r) * width + size_t(col - 1)])]++)] = r;
        order.swap(next);
    }
    std::vector<OnePassCell>& merged = scratch.merged;
    merged.clear();
    for (int32_t r : order) {
        if (!merged.empty() && std::equal(row(r), row(r) + width, row(merged.back().first)))
            merged.back().c += count[size_t(r)];
        else
            merged.push_back(OnePassCell{r, count[size_t(r)]});
    }

    // One run of cells a configuration, its counts summed cell by cell in order.
    for (size_t r = 0; r < merged.size();) {
        size_t end = r + 1;
        auto sameConfiguration = [&](size_t x) {
            for (Integer i = k; i >= 1; --i)
                if (value(merged[x], i) != value(merged[r], i)) return false;
            return true;
        };
        while (end < merged.size() && sameConfiguration(end)) ++end;
        for (Integer j = 1; j <= k; ++j) CurConf(j) = value(merged[r], j);
        cells.assign(merged.begin() + std::ptrdiff_t(r), merged.begin() + std::ptrdiff_t(end));
        for (const OnePassCell& cell : cells) {
            counts::Add(nz, cell.c);
            counts::Add(CntA(value(cell, k + 1)), cell.c);
            counts::Add(CntB(value(cell, k + 2)), cell.c);
        }
        closeRun();
        r = end;
    }
    return counts::PerCase(total, NetTotal(NetIdx));
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
    for (Integer i = 1; i < k; ++i)
        for (Integer j = Integer(i + 1); j <= k; ++j)
            if (CondSet(i) > CondSet(j)) std::swap(CondSet(i), CondSet(j));
    std::vector<Integer> fields;
    for (Integer i = 1; i <= k; ++i) fields.push_back(CondSet(i));

    if (const CachedSet* hit = SetCache.Find(NetIdx, a, b, fields)) {
        if (MIWork(NetIdx, a, b) > hit->cmi) MIWork(NetIdx, a, b) = hit->cmi;
        return hit->cmi;
    }
    // A set beyond the limit, or one that with the pair would not fit the query's field slots,
    // is not tested: it reads as independence the caller weighs like any other value.
    if (k > settings_.maxCondSet || k + 2 > QryFld.UBound()) return 0;

    for (Integer i = 1; i <= k; ++i) QryFld(i) = CondSet(i);
    const CodedBlock block = CountCoded(fields, a, b);
    QryFld(k + 1) = a;
    QryFld(k + 2) = b;

    const bool plain = PlainReading(*this, block, k + 2);

    // Subsets first, from the same block: triples, then pairs, then single fields, each in
    // lexicographic order of their positions.
    const Integer pa = Integer(k + 1), pb = Integer(k + 2);
    if (k >= 3 && k <= 4)
        for (Integer i = 1; i <= k; ++i)
            for (Integer j = Integer(i + 1); j <= k; ++j)
                for (Integer l = Integer(j + 1); l <= k; ++l) CalcCMI(*this, block, plain, {i, j, l}, pa, pb);
    if (k >= 2 && k <= 4)
        for (Integer i = 1; i <= k; ++i)
            for (Integer j = Integer(i + 1); j <= k; ++j) CalcCMI(*this, block, plain, {i, j}, pa, pb);
    if (k >= 1 && k <= 4)
        for (Integer i = 1; i <= k; ++i) CalcCMI(*this, block, plain, {i}, pa, pb);

    switch (k) {
        case 1: return CalcCMI(*this, block, plain, {1}, 2, 3);
        case 2: return CalcCMI(*this, block, plain, {1, 2}, 3, 4);
        case 3: return CalcCMI(*this, block, plain, {1, 2, 3}, 4, 5);
        default: break;
    }
    const Single result = OnePassCMI(block, k, plain);
    SetCache.Append(NetIdx, a, b, std::move(fields), result);
    if (result < MIWork(NetIdx, a, b)) MIWork(NetIdx, a, b) = result;
    return result;
}

}  // namespace core
