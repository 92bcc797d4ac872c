// What every back end's SQL renderer has in common: the walk over a bound expression, the
// select list and the GROUP BY and ORDER BY clauses. A dialect supplies how a column is
// named, how a literal's marker looks, how aggregates and comparisons carry Jet's rules, and
// how a text is folded, a Boolean ordered and a direction written.
#pragma once

#include <string>
#include <vector>

#include "platform/db/sql_bind.h"

namespace db::sql {

class Renderer {
public:
    explicit Renderer(std::vector<Value>& params) : params_(params) {}
    virtual ~Renderer() = default;

    std::string Expr(const BoundExpr& e);

    // "SELECT [DISTINCT] items": a case-insensitive group shows Min(column) in byte order.
    std::string SelectList(const BoundSelect& q);
    // " GROUP BY ..." and " ORDER BY ..." as the query has them; empty when it has neither.
    std::string GroupBy(const BoundSelect& q);
    std::string OrderBy(const BoundSelect& q);

    virtual std::string Column(int c) const = 0;

protected:
    // A literal's marker; the literal joins the parameters in the order the markers appear.
    virtual std::string Param(const Value& v) {
        params_.push_back(v);
        return "?";
    }
    virtual std::string Aggregate(const BoundExpr& e) = 0;
    virtual std::string Compare(const BoundExpr& e) = 0;
    // The text grouped and ordered without regard to case.
    virtual std::string Folded(const std::string& x) const = 0;
    // The text in byte order, for the spelling a case-insensitive group shows.
    virtual std::string Binary(const std::string& x) const = 0;
    // The Boolean's Jet value (-1 True, 0 False), a Null staying Null: its order key.
    virtual std::string BooleanKey(const BoundExpr& e) = 0;
    // The direction of an order key, with Null first going up as Jet has it.
    virtual std::string Direction(bool descending) const { return descending ? " DESC" : ""; }
    virtual std::string GroupKey(const sql::GroupKey& k) {
        const std::string key = Expr(k.expr);
        return k.caseInsensitive ? Folded(key) : key;
    }

    std::vector<Value>& params_;
};

}  // namespace db::sql
