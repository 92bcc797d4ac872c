// DataSet.Construct: one structure search over the fields that Init loaded, turned into the
// result matrix that the host lists and edits, and the construction log. Reads and writes the
// core's statistics and search matrices (ChiSq, Threshold, MICache, MIWork, Adj, Reach, Phase),
// bpres, Percent and Cancel.
#include <unistd.h>

#include <cstdio>

#include "construction_engine/data_set.h"
#include "construction_engine/errors.h"

namespace vrellapi {

namespace {

// The system beep that tells the user a long run has ended: a bell on the terminal when there
// is one, nothing otherwise. It is never an error.
void SoundBeep() {
    if (!isatty(STDERR_FILENO)) return;
    std::fputs("\a", stderr);
    std::fflush(stderr);
}

// rst must hold the cells (0..numfld-1, 0..numfld-1).
bool CoversResult(const vb::Array<Integer>& rst, Integer numfld) {
    if (rst.dims() != 2) return false;
    for (int d = 1; d <= 2; ++d)
        if (rst.LBound(d) > 0 || rst.UBound(d) < numfld - 1) return false;
    return true;
}

}  // namespace

Integer DataSet::ResultCode(Integer i, Integer j) const {
    if (Adj(i, j) == 0) return 0;
    // Under a complete ordering every link points from the earlier field to the later one.
    if (bord) return 1;
    const bool forward = Reach(i, j) != 0, backward = Reach(j, i) != 0;
    if (forward && backward) return 4;
    if (backward) return 2;
    if (!forward) return 3;
    return 1;
}

void DataSet::Construct(Single& Perc, bool& bpres_, vb::Array<Integer>& rst) {
    // Refusals come before anything changes, so that a refused call leaves the object as it
    // was: a run needs Init's statistics and knowledge, and starts from the skeleton Init set
    // up, which a finished run has replaced.
    if (!InitDone) throw EngineError(kNeedsInit, "Construct");
    if (Constructed) throw EngineError(kConstructTwice);
    // The drafting loop stops at the first pair below the threshold; with no positive
    // threshold it would link every dependent pair. NaN fails this test too.
    if (!(Perc > 0)) throw EngineError(kBadThreshold);
    // The result and the log are checked now, so that a run is not lost at its end for
    // a matrix too small or a log that cannot be written.
    if (!CoversResult(rst, numfld)) throw vb::RuntimeError::SubscriptOutOfRange();
    if (!logo.empty()) CheckLogWritable(logo);
    Constructed = true;

    bpres = bpres_;
    Cancel = false;
    Percent = 0;
    FillChiSq(kChiSqTop);
    Threshold = Single(double(Perc) * double(0.008f));

    // One network over all fields and all rows.
    NetIdx = 0;
    FirstFld = 1;
    HoldOutSearch = false;
    WhereClause.clear();
    Phase = 1;
    InitStruBN();
    if (Cancel) {
        rst(0, 0) = -1;
        return;
    }

    ResetWorkingMI();
    if (bord)
        ConstructOrd();
    else
        ConstructNoOrd();
    SoundBeep();
    if (Cancel) {
        rst(0, 0) = -1;
        return;
    }

    for (Integer i = 1; i < numfld; ++i)
        for (Integer j = i + 1; j <= numfld; ++j) rst(i - 1, j - 1) = ResultCode(i, j);

    if (!logo.empty()) WriteLog(logo);
}

}  // namespace vrellapi
