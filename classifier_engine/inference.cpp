// Inference for one case: every class value is scored from the probability-table store
// (InferenceBN for a single net, InferenceMN for a multi-net) and the decision is the most
// probable class or, under a user's cost table, the least expected cost. ClsfyInst is the host's
// entry for a case typed in by the user. Reads CPTStore, CPTIndex, Parents, ClassChildren,
// Feature, FF, CostTable; writes Posterior (the scores of the last case, read by the batch
// classifier right after each call) and, while no cost table was ever put, DefaultCost.
#include <algorithm>
#include <cstdint>

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

void DataEngine::ClearPosterior() {
    if (Posterior.dims() == 1 && Posterior.LBound() == 0 && Posterior.UBound() == MaxVlus) Posterior.Fill(0.0f);
    else Posterior.ReDim(vb::To(MaxVlus));
}

Integer DataEngine::InferenceBN(vb::Array<Integer>& FldVi) {
    ClearPosterior();
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
    ClearPosterior();
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

bool DataEngine::PlanInference(bool multiNet, InferencePlan& plan) const {
    plan = InferencePlan();
    const Integer classes = FF(1);
    if (classes < 1 || CPTStore.dims() != 2) return false;
    plan.classes = classes;
    plan.rowLow = CPTStore.LBound(1);
    plan.valueLow = CPTStore.LBound(2);
    plan.storeRows = int64_t(CPTStore.UBound(1)) - plan.rowLow + 1;
    const int64_t rowHigh = CPTStore.UBound(1), valueHigh = CPTStore.UBound(2);
    plan.store = CPTStore.cells().data();
    // Any subscript out of its array here is one the per-case walk raises where it meets it.
    try {
        for (Integer c = 1; c <= classes; ++c) plan.prior.push_back(CPTStore(1, c));
        // A factor's rows: from base + 1 to base + (classes - 1) x stride + its parents'
        // configurations; a parent or own field without values makes it 0 for every case.
        auto add = [&](Long base, bool classDigit, Integer f, auto&& parentAt, Integer parents) {
            InferencePlan::Factor x;
            x.base = base;
            x.field = f;
            if (f < 1 || f > numfld) return false;
            x.ownCount = FF(f);
            x.firstParent = uint32_t(plan.parentField.size());
            int64_t configurations = 1;
            bool reads = x.ownCount >= 1;
            for (Integer k = 0; k < parents; ++k) {
                const Integer p = parentAt(k);
                if (p < 1 || p > numfld) return false;
                plan.parentField.push_back(p);
                plan.parentCount.push_back(FF(p));
                if (FF(p) < 1) reads = false;
                else configurations = std::min<int64_t>(configurations * FF(p), int64_t(1) << 40);
            }
            x.parents = uint32_t(plan.parentField.size()) - x.firstParent;
            if (reads) {
                x.stride = classDigit ? Long(std::min<int64_t>(configurations, INT32_MAX)) : 0;
                const int64_t last = int64_t(base) + (classDigit ? int64_t(classes - 1) * configurations : 0) +
                                     configurations;
                if (int64_t(base) + 1 < plan.rowLow || last > rowHigh) return false;
                if (1 < plan.valueLow || x.ownCount > valueHigh) return false;
            } else {
                x.ownCount = 0;  // never read: the factor is 0
            }
            plan.factors.push_back(x);
            return true;
        };
        if (!multiNet) {
            for (Integer m = 1; m <= ClassChildren(0); ++m) {
                const Integer f = ClassChildren(m);
                const Integer np = Parents(f, 0);
                auto parentAt = [&](Integer k) { return Parents(f, k + 2); };
                if (!add(CPTIndex(f), true, f, parentAt, std::max<Integer>(np - 1, 0))) return false;
            }
        } else {
            const bool everyField = HoldOutSearch && !SubsetFixed;
            for (Integer c = 1; c <= classes; ++c) {
                for (Integer j = 2; j <= numfld; ++j) {
                    if (FF(j) < 2 || FF(j) > MaxVlus) continue;
                    if (Feature(j) != 1 && !everyField) continue;
                    auto parentAt = [&](Integer k) { return Parents(c, j, k + 1); };
                    if (!add(CPTIndex(c, j), false, j, parentAt, Parents(c, j, 0))) return false;
                }
                plan.classFactors.push_back(uint32_t(plan.factors.size()));
            }
        }
    } catch (...) {
        return false;
    }
    plan.offset.assign(plan.factors.size(), -1);
    return true;
}

Integer DataEngine::InferPlanned(InferencePlan& plan, const Integer* values) {
    if (!CostTablePut) DefaultCost = true;
    for (size_t k = 0; k < plan.factors.size(); ++k) {
        const InferencePlan::Factor& x = plan.factors[k];
        const Integer own = values[x.field];
        bool known = own >= 1 && own <= x.ownCount;
        int64_t r = 0;
        for (uint32_t q = x.firstParent; q < x.firstParent + x.parents; ++q) {
            const Integer v = values[plan.parentField[q]], n = plan.parentCount[q];
            if (v < 1 || v > n) known = false;
            else r = r * n + (v - 1);
        }
        plan.offset[k] = known ? (int64_t(x.base) + r + 1 - plan.rowLow) + (own - plan.valueLow) * plan.storeRows : -1;
    }
    const Single* store = plan.store;
    for (Integer c = 1; c <= plan.classes; ++c) {
        Single s = plan.prior[size_t(c - 1)];
        size_t from = 0, to = plan.factors.size();
        if (!plan.classFactors.empty()) {
            from = c > 1 ? plan.classFactors[size_t(c - 2)] : 0;
            to = plan.classFactors[size_t(c - 1)];
        }
        for (size_t k = from; k < to; ++k) {
            const int64_t o = plan.offset[k];
            s *= o < 0 ? Single(0) : store[o + int64_t(c - 1) * plan.factors[k].stride];
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
