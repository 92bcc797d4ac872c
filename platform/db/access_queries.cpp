// A stored query's rows read into its parts, and the Jet SQL text of a select query built from
// them the way Access itself writes it.
#include "platform/db/access_queries.h"

#include <algorithm>
#include <cctype>

#include "platform/db/sql_names.h"
#include "platform/vb/strings.h"

namespace db::access {

std::string KindName(QueryKind kind) {
    switch (kind) {
        case QueryKind::Select: return "a select query";
        case QueryKind::MakeTable: return "a make-table query";
        case QueryKind::Append: return "an append query";
        case QueryKind::Update: return "an update query";
        case QueryKind::Delete: return "a delete query";
        case QueryKind::Crosstab: return "a crosstab query";
        case QueryKind::DataDefinition: return "a data-definition query";
        case QueryKind::PassThrough: return "a pass-through query";
        case QueryKind::Union: return "a union query";
        case QueryKind::Unknown: break;
    }
    return "a query of a kind not known here";
}

StoredQuery ReadQuery(const std::string& name, const std::vector<QueryRow>& rows) {
    StoredQuery q;
    q.name = name;
    q.kind = QueryKind::Select;  // a plain select query may go without its kind row
    for (const QueryRow& r : rows) {
        const int flag = r.flag.value_or(0);
        switch (r.attribute) {
            case 0:
            case 255: break;
            case 1:
                q.kind = flag >= 1 && flag <= 9 ? QueryKind(flag) : QueryKind::Unknown;
                q.target = r.name1;
                break;
            case 2: q.parameters.push_back(r.name1); break;
            case 3:
                q.allFields = flag & 1;
                q.distinct = flag & 2;
                q.distinctRow = flag & 8;
                if (flag & 16) q.top = r.name1;
                q.topPercent = flag & 32;
                break;
            case 5: q.tables.push_back({r.name1, r.name2, r.expression}); break;
            case 6: q.columns.push_back({r.expression, r.name1}); break;
            case 7: q.joins.push_back({r.name1, r.name2, r.expression, flag}); break;
            case 8: q.where = r.expression; break;
            case 9: q.groupBy.push_back(r.expression); break;
            case 10: q.having = r.expression; break;
            case 11: q.orderBy.push_back({r.expression, vb::UCase(r.name1) == "D"}); break;
            default: q.unknownAttributes.push_back(r.attribute);
        }
    }
    return q;
}

std::string JetName(const std::string& name, NameKind kind) { return PlainSqlName(name, kind); }

namespace {

const char* JoinWord(int kind) { return kind == 2 ? " LEFT JOIN " : kind == 3 ? " RIGHT JOIN " : " INNER JOIN "; }

}  // namespace

std::string FromClause(const StoredQuery& q) {
    struct Group {
        std::string text;
        std::vector<std::string> members;  // upper-cased names or aliases
        bool joined = false;
    };
    std::vector<Group> groups;
    for (const QueryTable& t : q.tables) {
        std::string text = JetName(t.name);
        if (!t.alias.empty()) text += " AS " + JetName(t.alias);
        groups.push_back({text, {vb::UCase(t.alias.empty() ? t.name : t.alias)}, false});
    }
    auto groupOf = [&](const std::string& side) {
        const std::string key = vb::UCase(side);
        for (size_t g = 0; g < groups.size(); ++g)
            if (std::find(groups[g].members.begin(), groups[g].members.end(), key) != groups[g].members.end()) return g;
        groups.push_back({JetName(side), {key}, false});  // a side that FROM does not name
        return groups.size() - 1;
    };
    // Joins between the same two sides are one join on all their conditions.
    struct Merged {
        QueryJoin join;
        std::vector<std::string> conditions;
    };
    std::vector<Merged> merged;
    for (const QueryJoin& j : q.joins) {
        auto same = std::find_if(merged.begin(), merged.end(), [&](const Merged& m) {
            return vb::UCase(m.join.left) == vb::UCase(j.left) && vb::UCase(m.join.right) == vb::UCase(j.right) &&
                   m.join.kind == j.kind;
        });
        if (same != merged.end()) same->conditions.push_back(j.on);
        else merged.push_back({j, {j.on}});
    }
    for (const Merged& m : merged) {
        std::string on = m.conditions[0];
        if (m.conditions.size() > 1) {
            on = "(" + m.conditions[0] + ")";
            for (size_t i = 1; i < m.conditions.size(); ++i) on += " AND (" + m.conditions[i] + ")";
        }
        const size_t left = groupOf(m.join.left), right = groupOf(m.join.right);
        if (left == right) {  // already joined through the others: one more condition of the last join
            groups[left].text += " AND (" + on + ")";
            continue;
        }
        auto operand = [](const Group& g) { return g.joined ? "(" + g.text + ")" : g.text; };
        Group joined{operand(groups[left]) + JoinWord(m.join.kind) + operand(groups[right]) + " ON " + on,
                     groups[left].members, true};
        joined.members.insert(joined.members.end(), groups[right].members.begin(), groups[right].members.end());
        const size_t keep = std::min(left, right), drop = std::max(left, right);
        groups[keep] = std::move(joined);
        groups.erase(groups.begin() + std::ptrdiff_t(drop));
    }
    std::string out;
    for (const Group& g : groups) out += (out.empty() ? "" : ", ") + g.text;
    return out;
}

std::string SelectSql(const StoredQuery& q) {
    std::string sql = "SELECT ";
    if (q.distinct) sql += "DISTINCT ";
    else if (q.distinctRow) sql += "DISTINCTROW ";
    if (!q.top.empty()) sql += "TOP " + q.top + (q.topPercent ? " PERCENT " : " ");
    std::string items = q.allFields ? "*" : "";
    for (const QueryColumn& c : q.columns)
        items += (items.empty() ? "" : ", ") + c.expression +
                 (c.alias.empty() ? "" : " AS " + JetName(c.alias, NameKind::Field));
    sql += items + "\nFROM " + FromClause(q);
    if (!q.where.empty()) sql += "\nWHERE " + q.where;
    for (size_t i = 0; i < q.groupBy.size(); ++i) sql += (i ? ", " : "\nGROUP BY ") + q.groupBy[i];
    if (!q.having.empty()) sql += "\nHAVING " + q.having;
    for (size_t i = 0; i < q.orderBy.size(); ++i)
        sql += (i ? ", " : "\nORDER BY ") + q.orderBy[i].expression + (q.orderBy[i].descending ? " DESC" : "");
    return sql + ";";
}

}  // namespace db::access
