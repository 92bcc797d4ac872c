// The set-up that both engines do the same way before learning: binding the database and the
// table, the table's total under the count expression, and the value labels of one field.
// BindTable writes Db, IsODBC, CountExpr and TableName; CountTotal reads them; LoadValueLabels
// reads FieldNames and MaxVlus too and writes FF and VluLbl of its field; ResetWorkingMI sets
// up MIWork of layer NetIdx from MICache before a search.
#include <cmath>

#include "core/learner.h"
#include "platform/db/sql_names.h"
#include "platform/db/value_text.h"

namespace core {

void Learner::BindTable(const std::shared_ptr<db::Database>& db, const std::string& table,
                        std::string& cntfld) {
    if (!db) throw vb::RuntimeError(91, "Object variable or With block variable not set");
    Db = db;
    IsODBC = Db->Connect().substr(0, 4) == "ODBC";
    if (cntfld.empty()) {
        CountExpr = " Count(*) ";
    } else {
        // The name in its SQL form goes back to the caller, who uses it in its own queries. A
        // file database has always had it in brackets; elsewhere it is quoted like any field.
        cntfld = IsODBC ? db::SqlName(cntfld) : db::BracketedSqlName(cntfld, db::NameKind::Field);
        CountExpr = " Sum(" + cntfld + ") ";
    }
    TableName = db::BracketedSqlName(table, db::NameKind::Table);
}

Long Learner::CountTotal(const std::string& where) {
    vb::Array<db::Value> block = QueryBlock("select " + CountExpr + "from " + TableName + where, 1);
    if (block.dims() != 2 || block.UBound(2) < block.LBound(2)) return 0;
    const db::Value& total = block(block.LBound(1), block.LBound(2));
    if (total.IsNull()) return 0;
    return vb::CLng(total.ToDouble());
}

Long Learner::CountTableRows() {
    vb::Array<db::Value> block = QueryBlock("select count(*) from " + TableName, 1);
    return vb::CLng(block(block.LBound(1), block.LBound(2)).ToDouble());
}

void Learner::LoadValueLabels(Integer f) {
    vb::Array<db::Value> block =
        QueryBlock("select distinct " + FieldNames(f) + " from " + TableName, Long(MaxVlus) + 1);
    const int32_t rows = block.dims() == 2 ? block.UBound(2) - block.LBound(2) + 1 : 0;
    FF(f) = Integer(rows);
    if (rows > MaxVlus) return;
    // Labels are stored upper case, so later comparisons ignore the case of the data; the
    // missing value is a value like any other, labelled "?".
    for (int32_t v = 1; v <= rows; ++v) {
        const db::Value& cell = block(block.LBound(1), block.LBound(2) + v - 1);
        VluLbl(f, v) = cell.IsNull() ? "?" : db::LabelText(cell);
    }
}

std::string Learner::LogMismatch(Long logTotal, const std::string& where) {
    const Long total = CountTotal(where);
    if (total != logTotal)
        return "the table counts " + std::to_string(total) + ", the log " + std::to_string(logTotal);
    for (Integer f = 1; f <= numfld; ++f) {
        if (FF(f) < 1 || FF(f) > MaxVlus) continue;
        vb::Array<db::Value> block =
            QueryBlock("select distinct " + FieldNames(f) + " from " + TableName, Long(MaxVlus) + 1);
        const int32_t rows = block.dims() == 2 ? block.UBound(2) - block.LBound(2) + 1 : 0;
        for (int32_t r = 0; r < rows; ++r) {
            const db::Value& cell = block(block.LBound(1), block.LBound(2) + r);
            const std::string label = cell.IsNull() ? "?" : db::LabelText(cell);
            bool known = false;
            for (Integer v = 1; v <= FF(f) && !known; ++v) known = VluLbl(f, v) == label;
            if (!known) return "the field " + FieldNames(f) + " holds the value " + label + ", which the log does not know";
        }
    }
    return "";
}

std::string Learner::FirstTextHolding(std::string_view chars) const {
    for (Integer i = 1; i <= numfld; ++i) {
        if (FieldNames(i).find_first_of(chars) != std::string::npos) return "the field name " + FieldNames(i);
        if (FF(i) > MaxVlus) continue;
        for (Integer v = 1; v <= FF(i); ++v)
            if (VluLbl(i, v).find_first_of(chars) != std::string::npos)
                return "the value " + VluLbl(i, v) + " of the field " + FieldNames(i);
    }
    return "";
}

void Learner::ResetWorkingMI() {
    const Single notComputed = settings_.notComputed;
    for (Integer i = 1; i <= numfld; ++i) {
        for (Integer j = 1; j <= numfld; ++j) {
            Single& mi = MICache(NetIdx, i, j);
            if (mi != notComputed) mi = std::fabs(mi);
            MIWork(NetIdx, i, j) = mi;
        }
    }
}

}  // namespace core
