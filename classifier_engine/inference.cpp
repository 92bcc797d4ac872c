// Inference for one case: every class value is scored from the probability-table store
// (InferenceBN for a single net, InferenceMN for a multi-net) and the decision is the most
// probable class or, under a user's cost table, the least expected cost. ClsfyInst is the host's
// entry for a case typed in by the user. Reads CPTStore, CPTIndex, Parents, ClassChildren,
// Feature, FF, CostTable; writes Posterior (the scores of the last case, read by the batch
// classifier right after each call) and, while no cost table was ever put, DefaultCost.
#include "classifier_engine/data_engine.h"

namespace zorvapi {

namespace {

// Value index of field f in the case, or 0 when it lies outside the field's labels: a value
// that matched no label must not select a row or column of another configuration or table.
Integer CaseValue(const vb::Array<Integer>& FldVi, const vb::Array<Integer>& FF, Integer f) {
    Integer v = FldVi(f);
    return v >= 1 && v <= FF(f) ? v : Integer(0);
}

}  // namespace

Integer DataEngine::ClsfyInst(vb::Array<Integer>& TmpArr) {
    return IsMultiNet_ ? InferenceMN(TmpArr) : InferenceBN(TmpArr);
}

Integer DataEngine::InferenceBN(vb::Array<Integer>& FldVi) {
    Posterior.ReDim(vb::To(MaxVlus));
    if (!CostTablePut) DefaultCost = true;
    const Integer classes = FF(1);
    for (Integer c = 1; c <= classes; ++c) {
        Single s = CPTStore(1, c);
        for (Integer m = 1; m <= ClassChildren(0); ++m) {
            const Integer f = ClassChildren(m);
            const Integer np = Parents(f, 0);
            // The class is the first parent, so it is the most significant digit of the row.
            Long r = c - 1;
            bool unknown = false;
            for (Integer slot = 2; slot <= np; ++slot) {
                const Integer p = Parents(f, slot);
                const Integer v = CaseValue(FldVi, FF, p);
                if (v == 0) unknown = true;
                else r = vb::LongAdd(vb::LongMul(r, FF(p)), v - 1);
            }
            const Integer own = CaseValue(FldVi, FF, f);
            s *= unknown || own == 0 ? Single(0) : CPTStore(CPTIndex(f) + r + 1, own);
        }
        Posterior(c) = s;
    }
    return Decide();
}

Integer DataEngine::InferenceMN(vb::Array<Integer>& FldVi) {
    Posterior.ReDim(vb::To(MaxVlus));
    if (!CostTablePut) DefaultCost = true;
    const Integer classes = FF(1);
    // The same field rule as the tables were learned by: the feature subset, or during the
    // search every usable field unless the subset is fixed.
    const bool everyField = HoldOutSearch && !SubsetFixed;
    for (Integer c = 1; c <= classes; ++c) {
        Single s = CPTStore(1, c);
        for (Integer j = 2; j <= numfld; ++j) {
            if (FF(j) < 2 || FF(j) > MaxVlus) continue;
            if (Feature(j) != 1 && !everyField) continue;
            Long r = 0;
            bool unknown = false;
            for (Integer slot = 1; slot <= Parents(c, j, 0); ++slot) {
                const Integer p = Parents(c, j, slot);
                const Integer v = CaseValue(FldVi, FF, p);
                if (v == 0) unknown = true;
                else r = vb::LongAdd(vb::LongMul(r, FF(p)), v - 1);
            }
            const Integer own = CaseValue(FldVi, FF, j);
            s *= unknown || own == 0 ? Single(0) : CPTStore(CPTIndex(c, j) + r + 1, own);
        }
        Posterior(c) = s;
    }
    return Decide();
}

Integer DataEngine::Decide() const {
    const Integer classes = FF(1);
    if (classes < 1) return 0;
    // The search always scores by accuracy or ROC, never by cost.
    if (DefaultCost || HoldOutSearch) {
        Integer best = 0;
        Single top = 0;
        for (Integer c = 1; c <= classes; ++c)
            if (Posterior(c) > top) {
                top = Posterior(c);
                best = c;
            }
        return best;
    }
    // The scores are not normalised; that scales every expected cost by one positive factor
    // and leaves the choice as it is. Ties go to the lower class index.
    Integer best = 1;
    Single least = 0;
    for (Integer c = 1; c <= classes; ++c) {
        Single e = 0;
        for (Integer k = 1; k <= classes; ++k) e += Posterior(k) * CostTable(k, c);
        if (c == 1 || e < least) {
            least = e;
            best = c;
        }
    }
    return best;
}

}  // namespace zorvapi
