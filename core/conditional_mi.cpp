// Conditional mutual information of a pair given a set of fields, with the per-configuration
// independence test (GetCMI, CalcCMI1/2/3 and the one-pass computation). One count query groups
// by the set and the pair; sets of up to four fields also fill the cache with their subsets from
// the same block, so the leave-one-out tests of the searches find them there. Reads FF, MaxVlus,
// NetIdx, NetTotal, ChiSq and CondSet; writes SetCache, MIWork, QryFld, CntA, CntB and CurConf.
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
    bool TooFew(Long nz) const { return std::sqrt(2.0 * m) >= double(nz); }
    // Below 10m cases the squared form is used, from 10m on the logarithmic one.
    bool Sparse(Long nz) const { return int64_t(nz) < 10 * int64_t(m); }
};

// Buffers of CalcCMI, kept from call to call: a search over many fields runs it millions of
// times on small blocks, where allocating them each time costs more than the statistic.
struct CMIScratch {
    std::vector<int64_t> key;
    std::vector<int32_t> order, start;
    std::vector<Long> cnt;
    std::vector<size_t> touched;
    // OnePassCMI's coded rows, counts and their order.
    std::vector<Integer> code;
    std::vector<double> count;
    std::vector<int32_t> next;
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

PairShape ShapeOf(const vb::Array<Integer>& FF, Integer a, Integer b) {
    PairShape p;
    p.fa = FF(a);
    p.fb = FF(b);
    p.df = vb::IntMul(Integer(p.fa - 1), Integer(p.fb - 1));
    p.m = vb::IntMul(p.fa, p.fb);
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

// The CMI of the pair at positions pa, pb given the fields at positions zpos (one to three,
// ascending), computed from the block's rows. The tables are kept per configuration rather
// than over every combination of values, which would need the product of all five value
// counts in cells; the configurations are visited in the same order (first conditioning field
// outermost, values ascending) and every cell receives its counts in block row order, so the
// sums and the Single rounding are those of the full table.
static Single CalcCMI(Learner& L, const CodedBlock& block,
                      std::initializer_list<Integer> zpos, Integer pa, Integer pb) {
    Integer a = L.QryFld(pa);
    Integer b = L.QryFld(pb);
    if (a > b) std::swap(a, b);
    std::vector<Integer> fields;
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
        for (size_t i = 0; i < zpos.size(); ++i)
            k = k * (int64_t(fz[i]) + 1) + counts::IndexOf(block, zpos.begin()[i], r, fz[i]);
        key[size_t(r)] = k;
    }
    std::vector<int32_t>& order = scratch.order;
    StableOrder(key, keys, order, scratch.start);

    const int stride = p.fb + 1;
    std::vector<Long>& cnt = scratch.cnt;
    cnt.assign(size_t((p.fa + 1) * stride), 0);
    std::vector<size_t>& touched = scratch.touched;
    touched.clear();
    Single total = 0;
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

    const Single result = counts::PerCase(total, L.NetTotal(L.NetIdx));
    L.SetCache.Append(L.NetIdx, a, b, std::move(fields), result);
    if (result < L.MIWork(L.NetIdx, a, b)) L.MIWork(L.NetIdx, a, b) = result;
    return result;
}

Single Learner::CalcCMI1(const CodedBlock& block, Integer z, Integer pa, Integer pb) {
    return CalcCMI(*this, block, {z}, pa, pb);
}

Single Learner::CalcCMI2(const CodedBlock& block, Integer z1, Integer z2, Integer pa,
                         Integer pb) {
    return CalcCMI(*this, block, {z1, z2}, pa, pb);
}

Single Learner::CalcCMI3(const CodedBlock& block, Integer z1, Integer z2, Integer z3,
                         Integer pa, Integer pb) {
    return CalcCMI(*this, block, {z1, z2, z3}, pa, pb);
}

Single Learner::OnePassCMI(const CodedBlock& block, Integer k) {
    const PairShape p = ShapeOf(FF, QryFld(k + 1), QryFld(k + 2));
    const int32_t rows = counts::RowCount(block);
    if (rows == 0) return 0;

    // Rows as (configuration values 1..k, a, b) with their counts. Two raw values can code to
    // one index (a Null and a "?", or the same text in two cases), so the block may hold two
    // rows for one cell, and not always next to each other: sort by the coded columns and merge
    // equal rows, so that every configuration is one run and every cell one row.
    const int width = k + 2;
    CMIScratch& scratch = Scratch();
    std::vector<Integer>& code = scratch.code;
    code.resize(size_t(rows) * size_t(width));
    std::vector<double>& count = scratch.count;
    count.resize(static_cast<size_t>(rows));
    for (int32_t r = 0; r < rows; ++r) {
        for (int col = 1; col <= width; ++col)
            code[size_t(r) * width + size_t(col - 1)] =
                counts::IndexOf(block, col, r, FF(QryFld(col)));
        count[size_t(r)] = counts::CountOf(block, r);
    }
    auto row = [&](int32_t r) { return code.begin() + ptrdiff_t(size_t(r) * size_t(width)); };
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
        for (size_t k = 1; k < start.size(); ++k) start[k] += start[k - 1];
        for (int32_t r : order) next[size_t(start[size_t(code[size_t(r) * width + size_t(col - 1)])]++)] = r;
        order.swap(next);
    }
    struct Cell {
        int32_t first;  // a row of the block holding the cell's coded values
        double c;
    };
    std::vector<Cell> cells;
    for (int32_t r : order) {
        if (!cells.empty() && std::equal(row(r), row(r) + width, row(cells.back().first)))
            cells.back().c += count[size_t(r)];
        else
            cells.push_back(Cell{r, count[size_t(r)]});
    }
    auto value = [&](const Cell& cell, int col) { return *(row(cell.first) + (col - 1)); };

    Single total = 0;
    Single S = 0;
    Long nz = 0;
    size_t runStart = 0;
    auto closeRun = [&](size_t runEnd) {
        if (!p.TooFew(nz)) {
            if (p.Sparse(nz)) {
                // Every cell's expected count enters once through the product sum; each row
                // present then replaces its cell's e / 2 by (c - e)^2 / (2e).
                Single sum = 0;
                for (int u = 1; u <= p.fa; ++u)
                    for (int v = 1; v <= p.fb; ++v)
                        sum = Single(double(sum) + double(CntA(u)) * double(CntB(v)));
                S = Single(counts::Div(double(sum), nz) / 2.0);
                for (size_t i = runStart; i < runEnd; ++i) {
                    const double c = cells[i].c;
                    if (c == 0) continue;
                    const Long nu = CntA(value(cells[i], k + 1));
                    const Long nv = CntB(value(cells[i], k + 2));
                    const Single e = Single(counts::Div(double(nu) * double(nv), nz));
                    const Single d = Single(c - double(e));
                    const Single d2 = Single(double(d) * double(d));
                    S = Single(double(S) + counts::Div(double(d2) / 2.0, e) - double(e) / 2.0);
                }
            } else {
                for (size_t i = runStart; i < runEnd; ++i) {
                    const double c = cells[i].c;
                    if (c == 0) continue;
                    const Long nu = CntA(value(cells[i], k + 1));
                    const Long nv = CntB(value(cells[i], k + 2));
                    const double ratio = counts::Div(counts::Div(c, nu), nv) * double(nz);
                    S = Single(double(S) + c * counts::Ln(ratio));
                }
            }
            if (AdmitsConfiguration(S, p.df)) total = Single(double(total) + double(S));
        }
        S = 0;
        nz = 0;
        CntA.Fill(0);
        CntB.Fill(0);
        runStart = runEnd;
    };

    for (Integer i = 1; i <= k; ++i) CurConf(i) = value(cells[0], i);
    for (size_t r = 0; r < cells.size(); ++r) {
        for (Integer i = k; i >= 1; --i) {
            if (value(cells[r], i) != CurConf(i)) {
                for (Integer j = 1; j <= k; ++j) CurConf(j) = value(cells[r], j);
                closeRun(r);
                break;
            }
        }
        const double c = cells[r].c;
        counts::Add(nz, c);
        counts::Add(CntA(value(cells[r], k + 1)), c);
        counts::Add(CntB(value(cells[r], k + 2)), c);
    }
    closeRun(cells.size());
    return counts::PerCase(total, NetTotal(NetIdx));
}

Single Learner::GetCMI(Integer a, Integer b, Integer k) {
    CntA.ReDim(vb::To(MaxVlus));
    CntB.ReDim(vb::To(MaxVlus));
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

    // Subsets first, from the same block: triples, then pairs, then single fields, each in
    // lexicographic order of their positions.
    const Integer pa = Integer(k + 1), pb = Integer(k + 2);
    if (k >= 3 && k <= 4)
        for (Integer i = 1; i <= k; ++i)
            for (Integer j = Integer(i + 1); j <= k; ++j)
                for (Integer l = Integer(j + 1); l <= k; ++l) CalcCMI3(block, i, j, l, pa, pb);
    if (k >= 2 && k <= 4)
        for (Integer i = 1; i <= k; ++i)
            for (Integer j = Integer(i + 1); j <= k; ++j) CalcCMI2(block, i, j, pa, pb);
    if (k >= 1 && k <= 4)
        for (Integer i = 1; i <= k; ++i) CalcCMI1(block, i, pa, pb);

    switch (k) {
        case 1: return CalcCMI1(block, 1, 2, 3);
        case 2: return CalcCMI2(block, 1, 2, 3, 4);
        case 3: return CalcCMI3(block, 1, 2, 3, 4, 5);
        default: break;
    }
    const Single result = OnePassCMI(block, k);
    SetCache.Append(NetIdx, a, b, std::move(fields), result);
    if (result < MIWork(NetIdx, a, b)) MIWork(NetIdx, a, b) = result;
    return result;
}

}  // namespace core
