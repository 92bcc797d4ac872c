// EntropyCuts and MDLSplit (see entropy_cuts.h). The counts are gathered once per field into
// a value-by-class table; MDLSplit then tries every boundary of a range with running sums and
// recurses on both sides of the best one that passes the description-length test.
#include "trune/discretize/entropy_cuts.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>

#include "platform/db/value_text.h"
#include "platform/vb/runtime_error.h"
#include "platform/vb/types.h"
#include "trune/discretize/cut_progress.h"
#include "trune/discretize/numeric_text.h"

namespace trune {
namespace {

using vb::Long;
using vb::Single;

double Log2(double x) { return std::log(x) / std::log(2.0); }

// log2(3^k - 2). Up to k = 33, 3^k is exact in a double; beyond, 2 is below the resolution of
// 3^k and the power itself would overflow from k = 647 on, so k log2(3) is the exact answer.
double Log2ThreeToTheKMinusTwo(int32_t k) {
    if (k <= 33) return Log2(std::pow(3.0, k) - 2);
    return k * Log2(3.0);
}

// The class entropy of counts(1..) over n rows, accumulated in Single with each term in
// double; a class whose share is not above 0.000001 adds nothing. k: the classes present.
Single Entropy(const std::vector<Long>& counts, Long n, int32_t& k) {
    Single e = 0;
    k = 0;
    for (size_t c = 1; c < counts.size(); ++c) {
        if (counts[c] <= 0) continue;
        ++k;
        const double p = double(counts[c]) / n;
        if (p > 0.000001) e = Single(double(e) - p * std::log(p) / std::log(2.0));
    }
    return e;
}

// The field being cut: its distinct values (from 1), the rows of each, and the rows of each
// value and class.
class FieldCounts {
public:
    explicit FieldCounts(int32_t classCount) : classCount_(classCount) {}

    // Adds a row to a new value (the next index: rows come in ascending order of the value)
    // or to the last one.
    void Add(bool newValue, double x, int32_t cls, Long count) {
        if (newValue) {
            values_.push_back(ToSingle(x));
            valueCounts_.push_back(0);
            joint_.resize(joint_.size() + size_t(classCount_) + 1, 0);
        }
        const size_t v = values_.size() - 1;
        valueCounts_[v] = vb::LongAdd(valueCounts_[v], count);
        if (cls > 0) Joint(v, cls) = vb::LongAdd(Joint(v, cls), count);
    }

    int32_t m() const { return int32_t(values_.size()) - 1; }
    Long Total() const {
        Long total = 0;
        for (Long c : valueCounts_) total = vb::LongAdd(total, c);
        return total;
    }
    std::vector<Long> ClassCounts(int32_t lo, int32_t hi) const {
        std::vector<Long> counts(size_t(classCount_) + 1, 0);
        for (int32_t v = lo; v <= hi; ++v)
            for (int32_t c = 1; c <= classCount_; ++c) counts[size_t(c)] = vb::LongAdd(counts[size_t(c)], Joint(v, c));
        return counts;
    }

    // The progress of a split: every boundary tried is a unit, and a range that gets no cut
    // has its values done.
    struct Walk {
        CutProgress* progress = nullptr;
        int32_t done = 0;
    };

    // Recursive binary splitting of the values lo..hi, which hold n rows of class entropy e
    // over k classes.
    void MDLSplit(int32_t lo, int32_t hi, Long n, Single e, int32_t k, CutPoints& cuts, Walk& walk) const {
        const std::vector<Long> classCounts = ClassCounts(lo, hi);
        std::vector<Long> left(classCounts.size(), 0), right(classCounts.size(), 0);
        struct Best {
            int32_t s = 0;
            Long nL = 0, nR = 0;
            int32_t kL = 0, kR = 0;
            Single eL = 0, eR = 0;
        };
        std::optional<Best> best;
        Single bestGain = 0;
        Long nL = 0;
        for (int32_t s = lo; s <= hi - 1; ++s) {
            if (walk.progress) walk.progress->Tick();
            nL = vb::LongAdd(nL, valueCounts_[size_t(s)]);
            const Long nR = n - nL;
            for (int32_t c = 1; c <= classCount_; ++c) {
                left[size_t(c)] += Joint(s, c);
                right[size_t(c)] = classCounts[size_t(c)] - left[size_t(c)];
            }
            if (nL < 3 || nR < 3) continue;
            Best here{s, nL, nR};
            here.eL = Entropy(left, nL, here.kL);
            here.eR = Entropy(right, nR, here.kR);
            const Single gain = Single(double(e) - double(here.eL) * nL / n - double(here.eR) * nR / n);
            // Strictly greater: on equal gains the lowest boundary stays.
            if (gain > bestGain) {
                bestGain = gain;
                best = here;
            }
        }
        if (!best) return Finished(lo, hi, walk);

        const Single delta = Single(Log2ThreeToTheKMinusTwo(k) -
                                    (double(k) * e - double(best->kL) * best->eL - double(best->kR) * best->eR));
        const Single threshold = Single(Log2(double(n) - 1) / n + double(delta) / n);
        if (bestGain <= threshold) return Finished(lo, hi, walk);

        const int32_t s = best->s;
        StoreCut(cuts, ToSingle((double(values_[size_t(s)]) + double(values_[size_t(s) + 1])) / 2));
        MDLSplit(lo, s, best->nL, best->eL, best->kL, cuts, walk);
        MDLSplit(s + 1, hi, best->nR, best->eR, best->kR, cuts, walk);
    }

private:
    void Finished(int32_t lo, int32_t hi, Walk& walk) const {
        walk.done += hi - lo + 1;
        if (walk.progress && m() > 0) walk.progress->Share(double(walk.done) / m());
    }

    Long& Joint(size_t v, int32_t c) { return joint_[v * (size_t(classCount_) + 1) + size_t(c)]; }
    Long Joint(size_t v, int32_t c) const { return joint_[v * (size_t(classCount_) + 1) + size_t(c)]; }

    int32_t classCount_;
    // Index 0 unused, as the values count from 1.
    std::vector<Single> values_{0};
    std::vector<Long> valueCounts_{0};
    std::vector<Long> joint_ = std::vector<Long>(size_t(classCount_) + 1, 0);
};

}  // namespace

CutPoints EntropyCuts(const std::vector<db::Value>& classValues, const std::vector<JointRow>& rows,
                      const ExclusionCodes& codes, CutProgress* progress) {
    std::vector<std::string> classTexts;
    for (const db::Value& v : classValues) {
        if (v.IsNull()) throw vb::RuntimeError(94, "Invalid use of Null");
        classTexts.push_back(db::ValueText(v));
    }

    // The rows by number; within a value their order stays as the statement gave it.
    struct Numbered {
        double x;
        int32_t cls;
        Long count;
    };
    std::vector<Numbered> numbered;
    for (const JointRow& r : rows) {
        if (progress) progress->Tick();
        std::optional<double> x = CellNumber(r.value);
        if (!x || codes.IsMissing(*x) || codes.IsAlone(*x)) continue;
        int32_t cls = 0;
        if (!r.cls.IsNull()) {
            const std::string text = db::ValueText(r.cls);
            auto it = std::find(classTexts.begin(), classTexts.end(), text);
            if (it != classTexts.end()) cls = int32_t(it - classTexts.begin()) + 1;
        }
        numbered.push_back({*x, cls, r.count});
    }
    std::stable_sort(numbered.begin(), numbered.end(), [](const Numbered& a, const Numbered& b) { return a.x < b.x; });

    FieldCounts field(int32_t(classTexts.size()));
    for (size_t i = 0; i < numbered.size(); ++i)
        field.Add(i == 0 || numbered[i].x != numbered[i - 1].x, numbered[i].x, numbered[i].cls, numbered[i].count);

    const Long total = field.Total();
    int32_t k = 0;
    const Single e = Entropy(field.ClassCounts(1, field.m()), total, k);
    CutPoints cuts;
    FieldCounts::Walk walk{progress};
    field.MDLSplit(1, field.m(), total, e, k, cuts, walk);
    // Found in the order of the recursion; the labels need them ascending.
    std::sort(cuts.begin(), cuts.end());
    return cuts;
}

}  // namespace trune
