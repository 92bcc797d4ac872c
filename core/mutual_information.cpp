// Mutual information of pairs of fields in the current layer (GetMI, CalcMI). GetMI answers from
// MICache or sends one count query over the pair and up to three randomly drawn further fields,
// and CalcMI computes every pair of that query, so one query pays for up to ten pairs. Reads FF,
// MaxVlus, NetIdx, NetTotal and numfld; writes MICache, MIWork, VluCnt, CondSet and QryFld.
#include <cmath>
#include <exception>
#include <vector>

#include "core/count_arithmetic.h"
#include "core/learner.h"
#include "platform/vb/rnd.h"

namespace core {

namespace {

// A field drawn uniformly from the `range` fields after `base`: the range as a Single times a
// fresh Rnd, the product rounded down. The product is a Single, as the draws have always been
// made, so the same generator state gives the same field.
Integer DrawAfter(Integer base, Integer range) {
    const Single r = vb::Rnd();
    const Single product = Single(range) * r;
    return Integer(Integer(std::floor(product)) + base + 1);
}

}  // namespace

Integer Learner::Widening(Integer a, Integer b, Integer drawn[3], bool& drew) const {
    // Three more fields after a, drawn in a fixed order from the one process-wide generator, so
    // a fresh process draws the same fields for the same calls.
    const Integer n = numfld;
    drew = n - a > 3;
    if (!drew) return 0;
    Integer first;
    if (n - b > 2) {
        first = DrawAfter(b, Integer(n - b));
    } else {
        do first = DrawAfter(a, Integer(n - a));
        while (first == b);
    }
    Integer second;
    do second = DrawAfter(a, Integer(n - a));
    while (second == b || second == first);
    Integer third;
    do third = DrawAfter(a, Integer(n - a));
    while (third == b || third == first || third == second);
    drawn[0] = first;
    drawn[1] = second;
    drawn[2] = third;
    // A field over the value limit has no labels and cannot be counted: one such draw cancels
    // the widening altogether.
    for (Integer i = 0; i < 3; ++i)
        if (FF(drawn[i]) > MaxVlus) return 0;
    return 3;
}

Single Learner::GetMI(Integer a, Integer b) {
    try {
        if (a > b) std::swap(a, b);
        if (MICache(NetIdx, a, b) != settings_.notComputed) return MICache(NetIdx, a, b);

        Integer drawn[3];
        bool drew = false;
        const Integer k = Widening(a, b, drawn, drew);
        if (drew)
            for (Integer i = 1; i <= 3; ++i) CondSet(i) = drawn[i - 1];

        std::vector<Integer> g;
        for (Integer i = 1; i <= k; ++i) {
            g.push_back(CondSet(i));
            QryFld(i) = CondSet(i);
        }
        const CodedBlock& block = CountCoded(g, a, b);
        QryFld(k + 1) = a;
        QryFld(k + 2) = b;

        const bool plain = counts::Plain(block, k + 2, [&](int col) { return int32_t(FF(QryFld(Integer(col)))); });
        for (Integer i = 1; i <= k + 1; ++i)
            for (Integer j = Integer(i + 1); j <= k + 2; ++j) CalcMI(block, i, j, plain);
        return MICache(NetIdx, a, b);
    } catch (const std::exception&) {
        if (!settings_.swallowMIErrors) throw;
        // The classifier scores a pair it cannot count as independent and goes on learning;
        // pairs of the same query already computed keep their values.
        if (a > b) std::swap(a, b);
        if (MICache.InBounds(1, NetIdx) && MICache.InBounds(2, a) && MICache.InBounds(3, b))
            MICache(NetIdx, a, b) = 0;
        return 0;
    }
}

Single Learner::CalcMI(const CodedBlock& block, Integer i, Integer j, bool plain) {
    const Integer x = QryFld(i);
    const Integer y = QryFld(j);
    if (MICache(NetIdx, x, y) != settings_.notComputed) return MICache(NetIdx, x, y);

    const Integer fx = FF(x);
    const Integer fy = FF(y);
    std::vector<Long>& flat = room_.miCells;
    PairCounts(block, i, j, plain, fx, fy, flat);
    const size_t stride = size_t(fy + 1);
    for (Integer u = 1; u <= fx; ++u) VluCnt(NetIdx, x, u) = flat[size_t(u) * stride];
    for (Integer v = 1; v <= fy; ++v) VluCnt(NetIdx, y, v) = flat[size_t(v)];
    const Single mi = PairMI(flat, fx, fy, NetTotal(NetIdx));
    MICache(NetIdx, x, y) = MICache(NetIdx, y, x) = mi;
    MIWork(NetIdx, x, y) = MIWork(NetIdx, y, x) = mi;
    return mi;
}

void Learner::PairCounts(const CodedBlock& block, Integer i, Integer j, bool plain, Integer fx, Integer fy,
                         std::vector<Long>& flat) {
    // (0..fx, 0..fy); row 0 and column 0 hold the margins, cell (0, 0) the total, in a flat
    // table (u x (fy + 1) + v) either way.
    const size_t stride = size_t(fy + 1);
    flat.assign(size_t(fx + 1) * stride, 0);
    const int32_t rows = counts::RowCount(block);
    if (plain) {
        // Whole counts that cannot raise: summed as they are. Every sum is whole, so the
        // margins and the total are the sums of the cells, made once the rows are in.
        const size_t width = size_t(block.width);
        const int32_t* code = block.code.data();
        for (int32_t r = 0; r < rows; ++r) {
            const int32_t* row = code + size_t(r) * width;
            flat[size_t(row[i - 1]) * stride + size_t(row[j - 1])] += Long(block.count[size_t(r)]);
        }
        for (size_t u = 1; u <= size_t(fx); ++u)
            for (size_t v = 1; v <= size_t(fy); ++v) {
                flat[u * stride] += flat[u * stride + v];
                flat[v] += flat[u * stride + v];
            }
        for (size_t u = 1; u <= size_t(fx); ++u) flat[0] += flat[u * stride];
    } else {
        for (int32_t r = 0; r < rows; ++r) {
            const double c = counts::CountOf(block, r);
            const Integer u = counts::IndexOf(block, i, r, fx);
            const Integer v = counts::IndexOf(block, j, r, fy);
            for (size_t cell : {size_t(0), size_t(u) * stride, size_t(v), size_t(u) * stride + size_t(v)})
                counts::Add(flat[cell], c);
        }
    }
}

Single Learner::PairMI(const std::vector<Long>& flat, Integer fx, Integer fy, Long total) {
    const size_t stride = size_t(fy + 1);
    auto cnt = [&](Integer u, Integer v) { return flat[size_t(u) * stride + size_t(v)]; };

    // Each term in double, the running sum rounded to Single after every addition: the order
    // of the cells (u outer, v inner) is part of the result.
    const double N = cnt(0, 0);
    Single S = 0;
    for (Integer u = 1; u <= fx; ++u) {
        for (Integer v = 1; v <= fy; ++v) {
            const Long n = cnt(u, v);
            if (n > 0) {
                const double ratio = counts::Div(counts::Div(n, cnt(u, 0)), cnt(0, v)) * N;
                S = Single(double(S) + double(n) * counts::Ln(ratio));
            }
        }
    }
    return counts::PerCase(S, total);
}

}  // namespace core
