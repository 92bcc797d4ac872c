// The shared part of the back ends' SQL renderers: the expression walk and the clause lists.
// Each dialect's hooks are declared in sql_render.h.
#include "platform/db/sql_render.h"

namespace db::sql {

std::string Renderer::Expr(const BoundExpr& e) {
    switch (e.kind) {
        case BoundExpr::Kind::Column: return Column(e.column);
        case BoundExpr::Kind::Literal: return Param(e.literal);
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

std::string Renderer::SelectList(const BoundSelect& q) {
    std::string out = q.distinctRows ? "SELECT DISTINCT " : "SELECT ";
    for (size_t i = 0; i < q.items.size(); ++i) {
        if (i) out += ", ";
        const BoundItem& item = q.items[i];
        if (item.representative) out += "min(" + Binary(Column(item.expr.column)) + ")";
        else out += Expr(item.expr);
    }
    return out;
}

std::string Renderer::GroupBy(const BoundSelect& q) {
    std::string out;
    for (size_t i = 0; i < q.groupBy.size(); ++i) out += (i ? ", " : " GROUP BY ") + GroupKey(q.groupBy[i]);
    return out;
}

std::string Renderer::OrderBy(const BoundSelect& q) {
    std::string out;
    for (size_t i = 0; i < q.orderBy.size(); ++i) {
        const sql::OrderKey& k = q.orderBy[i];
        std::string key;
        if (k.jetBoolean) key = BooleanKey(k.expr);  // True (-1) before False (0); Null stays Null
        else if (k.caseInsensitive) key = Folded(Expr(k.expr));
        else key = Expr(k.expr);
        out += (i ? ", " : " ORDER BY ") + key + Direction(k.descending);
    }
    return out;
}

}  // namespace db::sql
