// Renders bound Jet queries as SQLite SQL. Names are quoted, literals become parameters in the
// order their "?" appear, and the Jet rules the binder marked become SQLite constructs:
// COLLATE NOCASE for case-insensitive texts, Min(... COLLATE BINARY) for the spelling a
// case-insensitive group shows, -(IFNULL(x,0)<>0) for a Boolean's Jet value with Null as No
// (and -(x<>0) to group and order it: a file may hold True as 1, -1 or 2),
// jet_single() and jet_date() for Single and Date columns. SQLite sorts Null first in
// ascending order, as Jet does, so no extra key is needed for it.
#include "platform/db/sql_render.h"
#include "platform/db/sqlite_backend.h"

namespace db::sqlite {
namespace {

using sql::BoundExpr;

class Renderer : public sql::Renderer {
public:
    Renderer(const sql::TableInfo& table, std::vector<Value>& params) : sql::Renderer(params), table_(table) {}

    std::string Column(int c) const override {
        const sql::ColumnInfo& col = table_.columns[size_t(c)];
        std::string name = QuoteName(col.name);
        // A Single is seen at single precision everywhere, so values that are the same Single
        // compare, group and de-duplicate as one even when stored with more digits.
        if (col.typed && col.type == dbSingle) return "jet_single(" + name + ")";
        return name;
    }

private:
    std::string Folded(const std::string& x) const override { return x + " COLLATE NOCASE"; }
    std::string Binary(const std::string& x) const override { return x + " COLLATE BINARY"; }
    std::string BooleanKey(const BoundExpr& e) override { return "-(" + Expr(e) + "<>0)"; }

    // A Boolean groups by its Jet value, so that 1, -1 and 2 are one True group; each row
    // reads back as Value(true) whichever of them it holds.
    std::string GroupKey(const sql::GroupKey& k) override {
        if (sql::IsJetBoolean(k.expr)) return BooleanKey(k.expr);
        return sql::Renderer::GroupKey(k);
    }

    std::string Aggregate(const BoundExpr& e) override {
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

    std::string Compare(const BoundExpr& e) override {
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
};

// The clauses after the select list, shared by the query and its row-id form.
std::string Tail(const sql::BoundSelect& q, Renderer& r, bool grouping) {
    std::string out = " FROM " + QuoteName(q.table.name);
    if (q.where) out += " WHERE " + r.Expr(*q.where);
    if (grouping) out += r.GroupBy(q);
    out += r.OrderBy(q);
    return out;
}

}  // namespace

Rendered RenderSelect(const sql::BoundSelect& q) {
    Rendered out;
    Renderer r(q.table, out.params);
    out.sql = r.SelectList(q);
    out.sql += Tail(q, r, true);
    return out;
}

Rendered RenderKeys(const sql::BoundSelect& q, const std::string& rowid) {
    Rendered out;
    Renderer r(q.table, out.params);
    out.sql = "SELECT " + rowid + Tail(q, r, false);
    return out;
}

std::string RenderColumns(const sql::BoundSelect& q) {
    std::vector<Value> params;
    return Renderer(q.table, params).SelectList(q).substr(7);
}

std::string RenderCondition(const sql::BoundExpr& e, const sql::TableInfo& table, std::vector<Value>& params) {
    return Renderer(table, params).Expr(e);
}

}  // namespace db::sqlite
