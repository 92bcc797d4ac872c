// Lift and ROC indices of the last classification pass that kept per-case data: LiftCurve (the
// area under the cumulative gain curve of one class value), ROCCurve (the area under the ROC
// curve of one ordered pair, with its points in a ROC file), AllROC (every pair, and their
// mean, the hold-out score under ROC scoring) and QuickSort (case numbers by descending
// probability of one class). Reads ActualClass and CasePosterior, rebuilds CaseOrder on every
// call and writes ROCIndex; ClsfyBatch keeps the lift indices in LiftIndex. The ROC files go to
// the current directory, their numbers in the regional format.
#include <string>
#include <utility>

#include "classifier_engine/data_engine.h"
#include "platform/vb/regional.h"
#include "platform/vb/text_file.h"

namespace zorvapi {

namespace {

// Cases 1..N in their reading order, ready to be sorted; N is CaseOrder's upper bound.
Long ResetOrder(vb::Array<Long>& CaseOrder) {
    const Long N = CaseOrder.UBound(1);
    for (Long n = 1; n <= N; ++n) CaseOrder(n) = n;
    return N;
}

}  // namespace

void DataEngine::QuickSort(Integer& D, Long& First, Long& Last) {
    auto key = [&](Long k) { return CasePosterior(CaseOrder(k), D); };
    // The partitioning may be as uneven as the data make it; sorting the smaller part first
    // and looping on the larger keeps the depth logarithmic. The two parts are disjoint, so the
    // order in which they are sorted does not change the result.
    Long first = First, last = Last;
    while (first < last) {
        Long i = first, j = last;
        const Single pivot = Single((double(key(first)) + double(key(last))) / 2);
        while (i <= j) {
            while (i < last && key(i) > pivot) ++i;
            while (j > first && key(j) < pivot) --j;
            if (i <= j) {
                std::swap(CaseOrder(i), CaseOrder(j));
                ++i;
                --j;
            }
        }
        if (j - first < last - i) {
            if (first < j) QuickSort(D, first, j);
            first = i;
        } else {
            if (i < last) QuickSort(D, i, last);
            last = j;
        }
    }
}

Single DataEngine::LiftCurve(Integer& C) {
    const Long N = ResetOrder(CaseOrder);
    if (N < 1) return 0;
    Long nC = 0;
    for (Long n = 1; n <= N; ++n)
        if (ActualClass(n) == C) ++nC;
    Long first = 1, last = N;
    QuickSort(C, first, last);
    Long hits = 0;
    Single sum = 0;
    for (Long i = 1; i <= N; ++i) {
        if (ActualClass(CaseOrder(i)) == C) ++hits;
        if (nC > 0) sum = Single(double(sum) + double(hits) / nC);
    }
    return Single(double(sum) / N);
}

std::string DataEngine::RocFileName(Integer x, Integer y) {
    // With nine class values or fewer the names are "roc" and the two digits. From ten on, two
    // pairs could give the same digits (1 and 12, 11 and 2), so a pair with a longer index puts
    // "_" between the two; such names never meet the two-digit ones.
    const std::string a = std::to_string(x), b = std::to_string(y);
    return "roc" + a + (a.size() > 1 || b.size() > 1 ? "_" : "") + b + ".txt";
}

void DataEngine::CheckRocFilesWritable() const {
    for (Integer x = 1; x <= FF(1); ++x)
        for (Integer y = 1; y <= FF(1); ++y)
            if (x != y) vb::CheckWritable(RocFileName(x, y));
}

Single DataEngine::ROCCurve(Integer& X, Integer& Y) {
    vb::TextWriter file(RocFileName(X, Y));
    const Long N = ResetOrder(CaseOrder);
    Long nX = 0, nY = 0;
    for (Long n = 1; n <= N; ++n) {
        if (ActualClass(n) == X) ++nX;
        if (ActualClass(n) == Y) ++nY;
    }
    Long first = 1, last = N;
    QuickSort(Y, first, last);
    // For each case of X, the share of the cases of Y ranked above it by the probability of Y.
    Long cY = 0;
    Single area = 0;
    for (Long i = 1; i <= N; ++i) {
        const Integer actual = ActualClass(CaseOrder(i));
        if (actual == Y) {
            ++cY;
        } else if (actual == X && nY > 0) {
            const double share = double(cY) / nY;
            area = Single(double(area) + share);
            file.Print(vb::RegionalText(share));
            file.EndLine();
        }
    }
    file.Close();
    return nX > 0 ? Single(double(area) / nX) : 1.0f;
}

Single DataEngine::AllROC() {
    const Integer classes = FF(1);
    ROCIndex.ReDim(vb::To(classes), vb::To(classes));
    // One class value has no pair to tell apart.
    if (classes < 2) return 0;
    Single sum = 0;
    for (Integer x = 1; x <= classes; ++x)
        for (Integer y = 1; y <= classes; ++y) {
            if (x == y) continue;
            ROCIndex(x, y) = ROCCurve(x, y);
            sum += ROCIndex(x, y);
        }
    return Single(double(sum) / classes / (classes - 1));
}

}  // namespace zorvapi
