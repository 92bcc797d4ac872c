// DataSet.Init: binds the object to a table, the selected fields and the domain knowledge, and
// loads the field statistics (total, value labels) from the table or from a construction log.
// Writes the core's field list, count expression, table, every statistics and knowledge array
// (sized afresh, so a second Init starts clean), logo and InitDone; Percent goes on from where
// it stood.
#include "construction_engine/data_set.h"
#include "construction_engine/errors.h"
#include "platform/db/sql_names.h"

namespace vrellapi {

namespace {

// po and ce must cover the fields 0..numfld-1 in both dimensions.
bool CoversFields(const vb::Array<Integer>& a, Integer numfld) {
    if (a.dims() != 2) return false;
    for (int d = 1; d <= 2; ++d)
        if (a.UBound(d) < numfld - 1 || a.LBound(d) > 0) return false;
    return true;
}

}  // namespace

void DataSet::Init(std::shared_ptr<db::Database>& objdb, std::string& strtb, Integer& numfld_,
                   vb::Array<std::string>& arrfldnm, std::string& cntfld, bool& bord_,
                   vb::Array<Integer>& po, vb::Array<Integer>& ce, vb::Array<Integer>& fl,
                   vb::Array<Integer>& rt, vb::Array<Integer>& lf, std::string& logi,
                   std::string& logo_) {
    InitDone = false;
    // A host that set Cancel to stop an earlier Init must not find this one skipped.
    Cancel = false;
    TrapErrors([&] {
        NetTotal.ReDim(vb::To(0));
        if (!objdb) throw vb::RuntimeError(91, "Object variable or With block variable not set");
        numfld = numfld_;
        if (numfld < 2) throw EngineError(kTooFewFields);

        // The names as the host gave them; they are bracketed below, after every name was
        // checked for being empty.
        FieldNames.ReDim(vb::To(numfld));
        for (Integer i = 1; i <= numfld; ++i) FieldNames(i) = arrfldnm(i - 1);
        BindTable(objdb, strtb, cntfld);
        bord = bord_;
        logo = logo_;

        MaxVlus = kMaxStates;
        FF.ReDim(vb::To(numfld));
        VluLbl.ReDim(vb::To(numfld), vb::To(kMaxStates));
        VluCnt.ReDim(vb::To(0), vb::To(numfld), vb::To(kMaxStates));
        SizeStatistics(0);
        for (Integer i = 1; i < numfld; ++i)
            for (Integer j = i + 1; j <= numfld; ++j)
                MICache(0, i, j) = MICache(0, j, i) = settings().notComputed;
        for (vb::Array<Integer>* m : {&Adj, &Reach, &CE, &FL})
            m->ReDim(vb::To(numfld), vb::To(numfld));
        Root.ReDim(vb::To(numfld));
        Leaf.ReDim(vb::To(numfld));

        for (Integer i = 1; i <= numfld; ++i) {
            if (FieldNames(i).empty()) throw EngineError(kInvalidFieldName);
            FieldNames(i) = db::SqlName(FieldNames(i));
        }

        if (!CoversFields(po, numfld)) throw EngineError(kBadPartialOrdering);
        if (!CoversFields(ce, numfld)) throw EngineError(kBadCausesEffects);
        TakeKnowledge(po, ce, fl, rt, lf);

        if (!logi.empty()) {
            ReadLog(logi);
            if (const std::string why = LogMismatch(TotalRows(), ""); !why.empty())
                throw EngineError(kStaleLog, logi + " (" + why + ")");
        }
        if (TotalRows() == 0) TotalRows() = CountTotal("");
        if (TotalRows() <= 0) throw EngineError(kEmptyTable);
        // With a frequency field the total is a sum of weights, which need not bound the number
        // of groups a count query returns; the row count does.
        TableRows = cntfld.empty() ? TotalRows() : CountTableRows();

        for (Integer i = 1; i <= numfld; ++i) {
            if (NumStates(i) == 0) LoadValueLabels(i);
            Percent = Single(double(Percent) + 100.0 / numfld);
            if (RaisePercentDone()) return;
        }

        // A field over the limit has no labels, so its values could not be coded in the count
        // queries that a required link sends; refuse such a link now.
        for (Integer a = 1; a <= numfld; ++a)
            for (Integer b = 1; b <= numfld; ++b)
                if (CE(a, b) != 0 && (NumStates(a) == kOverLimit || NumStates(b) == kOverLimit))
                    throw EngineError(kRequiredLinkOverLimit,
                                      NumStates(a) == kOverLimit ? FieldNames(a) : FieldNames(b));
        InitDone = true;
    });
}

}  // namespace vrellapi
