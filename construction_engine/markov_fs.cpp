// DataSet.MarkovFS and its sort QuickSort2: ranks the fields against field 1 by backward
// elimination. Each pass removes the field whose conditional mutual information with field 1,
// given its approximate Markov blanket (the four fields still in play that share the most
// information with it given field 1), is smallest; MBOrder records the pass that removed each
// field. Reads the statistics through GetCMI (its cache and test); writes MBOrder, MBScore,
// MBIndex and CondSet, and fills ChiSq when no construction has yet.
#include <algorithm>
#include <utility>

#include "construction_engine/data_set.h"
#include "construction_engine/errors.h"

namespace vrellapi {

void DataSet::MarkovFS() {
    if (!InitDone) throw EngineError(kNeedsInit, "MarkovFS");
    MBOrder.ReDim(vb::To(numfld));
    MBScore.ReDim(vb::To(numfld));
    MBIndex.ReDim(vb::To(numfld));
    if (ChiSq.dims() != 1 || ChiSq.UBound() < kChiSqTop) FillChiSq(kChiSqTop);
    // A field over the value limit has no labels to count by: it can neither be ranked nor
    // shield another field, and nothing can be ranked against such a field 1.
    if (NumStates(1) == kOverLimit) return;
    auto inPlay = [this](Integer f) { return MBOrder(f) == 0 && NumStates(f) != kOverLimit; };

    for (Integer r = 2; r <= numfld - 4; ++r) {
        Single best = 100.0f;
        Integer chosen = 0;
        for (Integer j = 2; j <= numfld; ++j) {
            if (!inPlay(j)) continue;
            // The blanket is drawn from the other fields still in play: the candidate itself
            // would make its own score 0, and a removed field is out of the ranking.
            Integer last = 1;
            for (Integer m = 2; m <= numfld; ++m) {
                MBScore(m) = 0;
                MBIndex(m) = 0;
                if (m == j || !inPlay(m)) continue;
                CondSet(1) = 1;
                MBScore(m) = GetCMI(j, m, 1);
                MBIndex(++last) = m;
            }
            if (last > 2) {
                Integer first = 2;
                QuickSort2(first, last);
            }
            const Integer blanket = std::min<Integer>(4, Integer(last - 1));
            for (Integer t = 1; t <= blanket; ++t) CondSet(t) = MBIndex(t + 1);
            const Single d = GetCMI(1, j, blanket);
            if (d < best) {  // strictly: the first field of the lowest value wins
                best = d;
                chosen = j;
            }
        }
        if (chosen == 0) break;  // no field left to remove
        MBOrder(chosen) = Integer(r - 1);
    }
}

void DataSet::QuickSort2(Integer& First, Integer& Last) {
    Integer i = First, j = Last;
    // The pivot is the mean of the two end keys; the end that is not below it stops the scans.
    const Single pivot = (MBScore(MBIndex(First)) + MBScore(MBIndex(Last))) / 2.0f;
    do {
        while (MBScore(MBIndex(i)) > pivot) ++i;
        while (MBScore(MBIndex(j)) < pivot) --j;
        if (i <= j) {
            std::swap(MBIndex(i), MBIndex(j));
            ++i;
            --j;
        }
    } while (i <= j);
    if (First < j) QuickSort2(First, j);
    if (i < Last) QuickSort2(i, Last);
}

}  // namespace vrellapi
