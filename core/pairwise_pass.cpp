// The pairwise pass that readies a network layer for its structure search: the mutual
// information of every pair still marked not computed, 0 for fields over the value limit, the
// layer's row filter (class value, hold-out rows), and for a single net with unrelated features
// an ordering of the fields by their relevance to the class field. Reads FF, MaxVlus, FirstFld,
// NetIdx, HoldOutSearch, bord, tmpNoOrd; writes MICache, WhereClause and ReachInit.
#include <algorithm>

#include "core/learner.h"
#include "core/sql_text.h"
#include "platform/db/sql_names.h"
#include "platform/db/value_text.h"

namespace core {

namespace {

// The literal that compares equal to a class value in a field of this type. The field's type
// decides the form, since a back end may hand a value back in another kind than the column's
// (a text column holding digits read as a number): a text field always gets a quoted text.
std::string ClassLiteral(const db::Value& v, int16_t type) {
    switch (type) {
        case db::dbText:
        case db::dbMemo:
            return SqlTextLiteral(v.kind() == db::Value::Kind::Text ? v.AsText()
                                                                    : db::ValueText(v));
        case db::dbBoolean:
            if (v.IsNumeric()) return v.ToDouble() != 0 ? "True" : "False";
            return SqlLiteral(v);
        default:
            return SqlLiteral(v);
    }
}

}  // namespace

void Learner::InitStruBN() {
    const Integer n = numfld;
    if (n < 2) return;
    // The budget is spread over the n (n - 1) / 2 pairs; a per-class network gets its share of
    // the multi-net's stage.
    double step = 2 * settings_.pairPassBudget / n / (n - 1);
    if (FirstFld == 1)
        StartStage("Init structure learning (BN)");
    else
        step /= FF(1);
    const Single s = Single(step);

    if (settings_.holdOutFilter && HoldOutSearch)
        WhereClause += (WhereClause.empty() ? " WHERE " : " And ") + db::HoldOutCondition(false) + " ";

    // A field with more values than the limit has no labels to code its cells by: it is never
    // linked.
    for (Integer i = FirstFld; i <= n; ++i) {
        if (FF(i) <= MaxVlus) continue;
        for (Integer j = 1; j <= n; ++j) {
            MICache(NetIdx, i, j) = 0;
            MICache(NetIdx, j, i) = 0;
        }
    }

    for (Integer i = FirstFld; i < n; ++i) {
        for (Integer j = Integer(i + 1); j <= n; ++j) {
            if (MICache(NetIdx, i, j) == settings_.notComputed) {
                const Single v = GetMI(i, j);
                MICache(NetIdx, i, j) = v;
                if (settings_.pairPassBothCells) MICache(NetIdx, j, i) = v;
            }
            // Every pair counts, computed or found in the cache.
            if (Progress(s)) return;
        }
    }

    // Unrelated features: the more a field tells about the class, the earlier it comes, so the
    // search orients and separates as if the most relevant fields were the causes. Orderings
    // already in ReachInit (domain knowledge, earlier pairs) win over this one.
    if (FirstFld == 1 && !bord && tmpNoOrd) {
        for (Integer i = 2; i < n; ++i) {
            for (Integer j = Integer(i + 1); j <= n; ++j) {
                const Single a = MICache(0, 1, i), b = MICache(0, 1, j);
                if (a > b)
                    UpdateReachInit(i, j);
                else if (a < b)
                    UpdateReachInit(j, i);
            }
        }
    }
}

std::vector<db::Value> Learner::ClassValues() {
    const Integer classes = FF(1);
    const vb::Array<db::Value> block =
        QueryBlock("select distinct " + FieldNames(1) + " from " + TableName, Long(classes) + 1);
    std::vector<db::Value> rows;
    if (block.dims() == 2)
        for (int32_t r = block.LBound(2); r <= block.UBound(2); ++r) rows.push_back(block(0, r));
    // Match by label rather than by position, so the values line up with VluLbl(1, k) however
    // the labels were obtained (the set-up's own query or a learning log).
    std::vector<db::Value> values;
    for (Integer k = 1; k <= classes; ++k) {
        const std::string& label = VluLbl(1, k);
        auto it = std::find_if(rows.begin(), rows.end(), [&](const db::Value& v) {
            return !v.IsNull() && db::LabelText(v) == label;
        });
        if (it == rows.end())
            throw db::Error(db::errnum::kItemNotFound, "The class value " + label +
                                                           " is no longer in the table " +
                                                           TableName + ".");
        values.push_back(*it);
    }
    return values;
}

std::string Learner::ClassFilter(const std::vector<db::Value>& values, Integer k) {
    const db::TableDef def = Db->TableDefs(db::BareSqlName(TableName));
    const int16_t type = def.FieldByName(db::BareSqlName(FieldNames(1))).Type;
    return " WHERE " + FieldNames(1) + " = " + ClassLiteral(values.at(size_t(k - 1)), type);
}

void Learner::InitStruMN() {
    StartStage("Init structure learning (MN)");
    const std::vector<db::Value> values = ClassValues();
    for (Integer k = 1; k <= FF(1); ++k) {
        NetIdx = k;
        WhereClause = ClassFilter(values, k);
        InitStruBN();  // adds the hold-out condition while the driver searches
        if (Cancel) return;
    }
}

}  // namespace core
