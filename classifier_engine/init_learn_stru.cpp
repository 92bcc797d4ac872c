// InitLearnStru: readies a DataEngine for structure learning once InitLearn has bound the table.
// It checks the host's arguments, takes the field list in its SQL form, reads the class values,
// sizes every member array of the run, turns the domain knowledge into the forbidden-link and
// reach matrices, records the learning settings and loads the set-up statistics (totals, class
// counts, value labels), from an input learning log where one is given.
#include <algorithm>
#include <exception>

#include "classifier_engine/data_engine.h"
#include "classifier_engine/errors.h"
#include "core/count_arithmetic.h"
#include "platform/db/sql_names.h"
#include "platform/db/value_text.h"

namespace zorvapi {

namespace {

// A knowledge matrix from the host must be two-dimensional, reach field numfld and start at 0
// (or below) in both dimensions, as the host's arrays over fields 0..numfld do.
bool CoversFields(const vb::Array<Integer>& m, Integer numfld) {
    if (m.dims() != 2) return false;
    for (int d = 1; d <= 2; ++d)
        if (m.UBound(d) < numfld || m.LBound(d) >= 1) return false;
    return true;
}

}  // namespace

void DataEngine::InitLearnStru(Integer& numfldArg, vb::Array<std::string>& arrfldnm, bool& bordArg,
                               vb::Array<Integer>& po, vb::Array<Integer>& ce,
                               vb::Array<Integer>& fl, vb::Array<Integer>& rt,
                               vb::Array<Integer>& lf, bool& bpresArg, std::string& logi,
                               std::string& logoArg, Integer& BMModeArg, bool& FixedThrArg,
                               Integer& FSMArg, bool& tmpROCArg, bool& tmpFilterArg,
                               bool& tmpNoOrdArg) {
    try {
        StatusText = "Init learning";
        bpres = bpresArg;
        tmpROC = tmpROCArg;
        tmpFilter = tmpFilterArg;
        tmpNoOrd = tmpNoOrdArg;
        numfld = numfldArg;
        if (numfld < 3) throw EngineError(kTooFewFields);

        const Integer n = numfld;
        FieldNames.ReDim(vb::To(n));
        for (Integer i = 1; i <= n; ++i) FieldNames(i) = arrfldnm(i);
        bord = bordArg;
        logo = logoArg;

        // Names go into SQL bare only when they are plain identifiers and not reserved words;
        // every other name is bracketed, on every connection, so that punctuation or a keyword
        // in a name never changes the query.
        for (Integer i = 1; i <= n; ++i) {
            if (FieldNames(i).empty()) throw EngineError(kInvalidFieldName);
            FieldNames(i) = db::SqlName(FieldNames(i));
        }
        TableName = db::BracketedSqlName(TableName, db::NameKind::Table);

        // Class values over all rows, hold-out rows included, so every layer has its label.
        const vb::Array<db::Value> classes = QueryBlock(
            "select distinct " + FieldNames(1) + " from " + TableName, Long(MaxVlus) + 1);
        nc = Integer(core::counts::RowCount(classes));
        if (nc == MaxVlus + 1) throw EngineError(kClassTooManyValues);

        Graph.ReDim(vb::To(nc), vb::To(n), vb::To(n));
        FF.ReDim(vb::To(n));
        VluCnt.ReDim(vb::To(nc), vb::To(n), vb::To(MaxVlus));
        VluLbl.ReDim(vb::To(n), vb::To(MaxVlus));
        NetTotal.ReDim(vb::To(nc));
        Adj.ReDim(vb::To(n), vb::To(n));
        SizeStatistics(nc);
        Reach.ReDim(vb::To(n), vb::To(n));
        CE.ReDim(vb::To(n), vb::To(n));
        FL.ReDim(vb::To(n), vb::To(n));
        ReachInit.ReDim(vb::To(n), vb::To(n));
        Root.ReDim(vb::To(n));
        Leaf.ReDim(vb::To(n));
        // Sized with the others, filled last: a cancelled set-up leaves it all 0.
        const Long chiTop = std::max<Long>(30, Long(MaxVlus) * Long(MaxVlus));
        ChiSq.ReDim(vb::To(chiTop));

        for (Integer v = 1; v <= nc; ++v) {
            const db::Value& value = classes(0, v - 1);
            if (value.IsNull()) throw EngineError(kClassMissingValues);
            VluLbl(1, v) = db::LabelText(value);
        }
        FF(1) = nc;

        // Every pair is still to be computed; inside a per-class network the class field is
        // constant, so its layers leave the class out.
        const Single notComputed = settings_.notComputed;
        for (Integer k = 0; k <= nc; ++k)
            for (Integer i = k == 0 ? 1 : 2; i <= n; ++i)
                for (Integer j = Integer(i + 1); j <= n; ++j)
                    MICache(k, i, j) = MICache(k, j, i) = notComputed;

        if (!CoversFields(po, n)) throw EngineError(kBadPartialOrdering);
        if (!CoversFields(ce, n)) throw EngineError(kBadCausesEffects);

        for (Integer i = 1; i <= n; ++i) {
            for (Integer j = 1; j <= n; ++j)
                if (fl(i, j) != 0) FL(i, j) = 1;
            Root(i) = rt(i);
            Leaf(i) = lf(i);
        }
        auto forbid = [&](Integer i, Integer j) { FL(i, j) = FL(j, i) = 1; };
        for (Integer i = 1; i <= n; ++i) {
            if (bord) {
                // Under a complete ordering a root links to no earlier field, a leaf to no later.
                if (Root(i) == 1)
                    for (Integer j = 1; j < i; ++j) forbid(i, j);
                if (Leaf(i) == 1)
                    for (Integer j = Integer(i + 1); j <= n; ++j) forbid(i, j);
            } else {
                // A root reaches every field the partial ordering does not put before it and is
                // cut off from those it does; a leaf is reached by every field not put after it.
                if (Root(i) == 1) {
                    for (Integer j = 1; j <= n; ++j) {
                        if (po(j, i) == 1) forbid(i, j);
                        else Reach(i, j) = 1;
                    }
                }
                if (Leaf(i) == 1) {
                    for (Integer j = 1; j <= n; ++j) {
                        if (po(i, j) == 1) forbid(i, j);
                        else Reach(j, i) = 1;
                    }
                }
            }
        }
        ReachInit = Reach;

        BMMode = BMModeArg;
        FixedThr = FixedThrArg;
        FSM = FSMArg;
        // Exactly the settings under which learning scores candidates on the hold-out rows: the
        // set-up statistics then describe the learning rows only.
        LearnRowsOnly = (BMMode == 2 && FSM != 2) || BMMode == 3 || !FixedThr;
        const std::string where = LearnRowsOnly ? " WHERE " + db::HoldOutCondition(false) + " " : "";

        if (!logi.empty()) {
            // Only the log's own failures are read as a bad or foreign-format log.
            try {
                ReadLearningLog(logi);
            } catch (...) {
                Reraise(std::current_exception(), {kMapPastEndTo515, kMapTypeMismatchTo518});
            }
        }

        if (!logi.empty() && NetTotal(0) != 0)
            if (const std::string why = LogMismatch(NetTotal(0), where); !why.empty())
                throw EngineError(kStaleLog, logi + " (" + why + ")");
        if (NetTotal(0) == 0) NetTotal(0) = CountTotal(where);
        // Rows that are all held out are a fault of the flag, not of the table.
        if (NetTotal(0) <= 0 && LearnRowsOnly && CountTotal("") > 0) throw EngineError(kNoHoldOutSplit, kNoRowsToLearn);
        if (NetTotal(0) <= 0) throw EngineError(kEmptyTable);

        if (VluCnt(0, 1, 1) < 1) {
            vb::Array<db::Value> block =
                QueryBlock("select " + CountExpr + ", " + FieldNames(1) + " from " + TableName +
                               where + " group by " + FieldNames(1),
                           nc);
            QryFld(1) = 1;
            CodeRows(block, 1, QryFld);
            for (int32_t r = 0; r < core::counts::RowCount(block); ++r) {
                // A class whose weights are all Null counts no cases.
                const Long c =
                    block(0, r).IsNull() ? 0 : vb::CLng(core::counts::CountOf(block, r));
                const Integer v = core::counts::IndexOf(block, 1, r, nc);
                VluCnt(0, 1, v) = c;
                NetTotal(v) = c;
            }
        } else {
            for (Integer k = 1; k <= nc; ++k) NetTotal(k) = VluCnt(0, 1, k);
        }

        // Value labels over all rows. The set-up is one stage of its own and stays within the
        // first percent overall.
        Percent2 = 0;
        for (Integer i = 1; i <= n; ++i) {
            if (FF(i) == 0) LoadValueLabels(i);
            Percent2 = Single(double(Percent2) + 100.0 / double(n));
            Percent1 = Single(double(Percent2) * 0.01);
            if (RaisePercentDone()) return;
        }

        // The log is written after the search; a text it could not hold is refused now, before
        // the work that the log would save.
        if (!logo.empty())
            if (const std::string text = FirstTextHolding("\r\n"); !text.empty())
                throw EngineError(kLineBreakInLog, text);

        Percent1 = 1;
        FillChiSq(chiTop);
    } catch (...) {
        Reraise(std::current_exception());
    }
}

}  // namespace zorvapi
