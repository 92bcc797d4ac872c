// Renders bound Jet queries as SQLite SQL. Names are quoted, literals become parameters in the
// order their "?" appear, and the Jet rules the binder marked become SQLite constructs:
// COLLATE NOCASE for case-insensitive texts, Min(... COLLATE BINARY) for the spelling a
// case-insensitive group shows, -(IFNULL(x,0)<>0) for a Boolean's Jet value with Null as No,
// jet_single() and jet_date() for Single and Date columns. SQLite sorts Null first in
// ascending order, as Jet does, so no extra key is needed for it.
#include "platform/db/sqlite_backend.h"

namespace db::sqlite {
namespace {

using sql::BoundExpr;

class Renderer {
public:
    Renderer(const sql::TableInfo& table, std::vector<Value>& params) : table_(table), params_(params) {}

    std::string Column(int c) const {
        const sql::ColumnInfo& col = table_.columns[size_t(c)];
        std::string name = QuoteName(col.name);
        // A Single is seen at single precision everywhere, so values that are the same Single
        // compare, group and de-duplicate as one even when stored with more digits.
        if (col.typed && col.type == dbSingle) return "jet_single(" + name + ")";
        return name;
    }

    std::string Expr(const BoundExpr& e) {
        switch (e.kind) {
            case BoundExpr::Kind::Column: return Column(e.column);
            case BoundExpr::Kind::Literal: params_.push_back(e.literal); return "?";
            case BoundExpr::Kind::Null: return "NULL";
            case BoundExpr::Kind::CountStar: return "count(*)";
            case BoundExpr::Kind::Aggregate: return Aggregate(e);
            case BoundExpr::Kind::Compare: return Compare(e);
            case BoundExpr::Kind::And:
            case BoundExpr::Kind::Or: {
                std::string out = "(";
                for (size_t i = 0; i < e.args.size(); ++i) {
                    if (i) out += e.kind == BoundExpr::Kind::And ? " AND " : " OR ";
                    out += Expr(e.args[i]);
                }
                return out + ")";
            }
            case BoundExpr::Kind::Not: return "(NOT " + Expr(e.args[0]) + ")";
            case BoundExpr::Kind::IsNull: return "(" + Expr(e.args[0]) + " IS NULL)";
            case BoundExpr::Kind::IsNotNull: return "(" + Expr(e.args[0]) + " IS NOT NULL)";
        }
        return "NULL";
    }

    std::string OrderKey(const sql::OrderKey& k) {
        std::string out;
        if (k.jetBoolean) out = "-(" + Expr(k.expr) + "<>0)";  // True (-1) before False (0); Null stays Null
        else out = Expr(k.expr) + (k.caseInsensitive ? " COLLATE NOCASE" : "");
        return k.descending ? out + " DESC" : out;
    }

private:
    std::string Aggregate(const BoundExpr& e) {
        const BoundExpr& arg = e.args[0];
        std::string a = Column(arg.column);
        if (sql::IsJetBoolean(arg) && e.fn != sql::AggregateFn::Count) a = "-(" + a + "<>0)";
        switch (e.fn) {
            case sql::AggregateFn::Count: return "count(" + a + ")";
            case sql::AggregateFn::Sum: return "sum(" + a + ")";
            case sql::AggregateFn::Avg: return "avg(" + a + ")";
            case sql::AggregateFn::Max:
            case sql::AggregateFn::Min: {
                std::string fn = e.fn == sql::AggregateFn::Max ? "max(" : "min(";
                return fn + a + (sql::IsCaseInsensitive(arg) ? " COLLATE NOCASE)" : ")");
            }
        }
        return "NULL";
    }

    std::string Compare(const BoundExpr& e) {
        std::string left = Expr(e.args[0]);
        switch (e.mode) {
            case sql::CompareMode::Boolean: left = "-(IFNULL(" + left + ",0)<>0)"; break;
            case sql::CompareMode::Date: left = "jet_date(" + left + ")"; break;
            case sql::CompareMode::Text: left += " COLLATE NOCASE"; break;
            default: break;
        }
        std::string right = Expr(e.args[1]);
        return "(" + left + " " + sql::CompareOpText(e.op) + " " + right + ")";
    }

    const sql::TableInfo& table_;
    std::vector<Value>& params_;
};

// The clauses after the select list, shared by the query and its row-id form.
std::string Tail(const sql::BoundSelect& q, Renderer& r, bool grouping) {
    std::string out = " FROM " + QuoteName(q.table.name);
    if (q.where) out += " WHERE " + r.Expr(*q.where);
    if (grouping && !q.groupBy.empty()) {
        out += " GROUP BY ";
        for (size_t i = 0; i < q.groupBy.size(); ++i) {
            if (i) out += ", ";
            out += r.Expr(q.groupBy[i].expr) + (q.groupBy[i].caseInsensitive ? " COLLATE NOCASE" : "");
        }
    }
    if (!q.orderBy.empty()) {
        out += " ORDER BY ";
        for (size_t i = 0; i < q.orderBy.size(); ++i) {
            if (i) out += ", ";
            out += r.OrderKey(q.orderBy[i]);
        }
    }
    return out;
}

}  // namespace

Rendered RenderSelect(const sql::BoundSelect& q) {
    Rendered out;
    Renderer r(q.table, out.params);
    out.sql = q.distinctRows ? "SELECT DISTINCT " : "SELECT ";
    for (size_t i = 0; i < q.items.size(); ++i) {
        if (i) out.sql += ", ";
        const sql::BoundItem& item = q.items[i];
        if (item.representative) out.sql += "min(" + r.Column(item.expr.column) + " COLLATE BINARY)";
        else out.sql += r.Expr(item.expr);
    }
    out.sql += Tail(q, r, true);
    return out;
}

Rendered RenderKeys(const sql::BoundSelect& q, const std::string& rowid) {
    Rendered out;
    Renderer r(q.table, out.params);
    out.sql = "SELECT " + rowid + Tail(q, r, false);
    return out;
}

std::string RenderCondition(const sql::BoundExpr& e, const sql::TableInfo& table, std::vector<Value>& params) {
    return Renderer(table, params).Expr(e);
}

}  // namespace db::sqlite
