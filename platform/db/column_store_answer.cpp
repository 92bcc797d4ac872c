// Grouped queries answered as texts: which columns group and in which order, what each result
// column is, the keys, one counting pass and the result cells read off the groups.
#include "platform/db/column_store_internal.h"

namespace db::sqlite {

std::optional<std::vector<Value>> ColumnStore::Answer(const sql::BoundSelect& q, std::string& why) {
    if (!q.aggregate || q.distinctRows || q.into) {
        why = "not a grouped query";
        return std::nullopt;
    }
    std::vector<int> groupColumns, digits;
    if (!Grouping(q, groupColumns, digits, why)) return std::nullopt;
    std::vector<Item> items;
    if (!ResultItems(q, groupColumns, items, why)) return std::nullopt;
    std::vector<Term> terms;
    if (q.where && !TermsOf(*q.where, terms, why)) return std::nullopt;
    const std::vector<uint32_t>& rows = Select(terms);
    uint64_t radix = 1;
    const bool ranked = GroupKeys(rows, digits, radix);
    const Groups& groups = CountGroups(rows, radix, ranked, items, groupColumns);
    return Result(groups, items, digits, why);
}

bool ColumnStore::Usable(int c, std::string& why) const {
    if (c < 0 || size_t(c) >= columns_.size()) {
        why = "an unknown column";
        return false;
    }
    if (!columns_[size_t(c)].unusable.empty()) {
        why = columns_[size_t(c)].unusable;
        return false;
    }
    return true;
}

// The grouping columns, once each, and the order the rows are sorted by: that order is the
// digits of the group key, first most significant.
bool ColumnStore::Grouping(const sql::BoundSelect& q, std::vector<int>& groupColumns, std::vector<int>& digits,
                           std::string& why) const {
    using K = sql::BoundExpr::Kind;
    for (const sql::GroupKey& g : q.groupBy) {
        if (g.expr.kind != K::Column || !Usable(g.expr.column, why)) {
            if (why.empty()) why = "a grouping over an expression";
            return false;
        }
        if (g.caseInsensitive != columns_[size_t(g.expr.column)].ci) {
            why = "a grouping in another collation";
            return false;
        }
        if (std::find(groupColumns.begin(), groupColumns.end(), g.expr.column) == groupColumns.end())
            groupColumns.push_back(g.expr.column);
    }
    for (const sql::OrderKey& o : q.orderBy) {
        const int c = o.expr.kind == K::Column ? o.expr.column : -1;
        if (c < 0 || o.descending || std::find(groupColumns.begin(), groupColumns.end(), c) == groupColumns.end() ||
            o.caseInsensitive != columns_[size_t(c)].ci || o.jetBoolean != columns_[size_t(c)].jetBoolean) {
            why = "an order other than the grouping columns'";
            return false;
        }
        if (std::find(digits.begin(), digits.end(), c) == digits.end()) digits.push_back(c);
    }
    if (digits.size() != groupColumns.size()) {
        why = "an order other than the grouping columns'";
        return false;
    }
    return true;
}

// What each result column is: Count(*), Count or Sum of a column, or a grouping column.
bool ColumnStore::ResultItems(const sql::BoundSelect& q, const std::vector<int>& groupColumns,
                              std::vector<Item>& items, std::string& why) const {
    size_t sums = 0;
    for (const sql::BoundItem& bi : q.items) {
        Item it;
        if (!ItemOf(bi, groupColumns, sums, it, why)) return false;
        items.push_back(it);
    }
    return true;
}

bool ColumnStore::ItemOf(const sql::BoundItem& bi, const std::vector<int>& groupColumns, size_t& sums, Item& it,
                         std::string& why) const {
    using K = sql::BoundExpr::Kind;
    {
        const sql::BoundExpr& e = bi.expr;
        it = Item{ItemKind::Count, -1, e.type, e.typed, 0};
        if (e.kind == K::CountStar) {
            it.kind = ItemKind::Count;
        } else if (e.kind == K::Aggregate && (e.fn == sql::AggregateFn::Count || e.fn == sql::AggregateFn::Sum) &&
                   e.args.size() == 1 && e.args[0].kind == K::Column) {
            it.column = e.args[0].column;
            if (!Usable(it.column, why)) return false;
            const Column& col = columns_[size_t(it.column)];
            if (e.fn == sql::AggregateFn::Sum) {
                // sum() reads a text (a date's too) by its leading digits; such sums go to SQLite.
                if (col.hasText || (col.typed && col.type == dbDate)) {
                    why = "a sum over texts";
                    return false;
                }
                it.kind = ItemKind::Sum;
                it.sum = sums++;
            } else {
                it.kind = ItemKind::CountColumn;
            }
        } else if (e.kind == K::Column &&
                   std::find(groupColumns.begin(), groupColumns.end(), e.column) != groupColumns.end() &&
                   bi.representative == columns_[size_t(e.column)].ci) {
            it.kind = ItemKind::Group;
            it.column = e.column;
        } else {
            why = "a result column other than Count, Sum and the grouping columns";
            return false;
        }
    }
    return true;
}

bool ColumnStore::SumShown(const SumState& st, std::string& why) const {
    if (st.overflow) {
        why = "an integer sum overflows";
        return false;
    }
    if (st.inexact && (!PlainRealSums() || !visitOrderKnown_)) {
        why = "a floating sum in an order the store cannot copy";
        return false;
    }
    return true;
}

// The result rows, one a group in key order, each cell read as the SQLite path reads its
// column.
std::optional<std::vector<Value>> ColumnStore::Result(const Groups& groups, const std::vector<Item>& items,
                                                      const std::vector<int>& digits, std::string& why) const {
    size_t sumItems = 0;
    for (const Item& it : items) sumItems += it.kind == ItemKind::Sum;
    // The code of a grouping column in group g: read back from the key when the counts were
    // read off a key range (every digit of a group at once), else the code of the group's
    // first row.
    std::vector<uint32_t> decoded;
    std::vector<size_t> digitOf(columns_.size(), 0);
    if (groups.decodable) {
        for (size_t d = 0; d < digits.size(); ++d) digitOf[size_t(digits[d])] = d;
        decoded.resize(groups.key.size() * digits.size());
        for (size_t g = 0; g < groups.key.size(); ++g) {
            uint64_t key = groups.key[g];
            for (size_t d = digits.size(); d-- > 0;) {
                const uint64_t k = std::max<uint64_t>(columns_[size_t(digits[d])].cells.size(), 1);
                decoded[g * digits.size() + d] = uint32_t(key % k);
                key /= k;
            }
        }
    }
    auto codeIn = [&](int column, size_t g) -> uint32_t {
        if (!groups.decodable) return columns_[size_t(column)].codes[groups.firstRow[g]];
        return decoded[g * digits.size() + digitOf[size_t(column)]];
    };

    // Groups read off a key range come in key order already.
    std::vector<uint32_t> order(groups.key.size());
    if (groups.decodable) {
        std::iota(order.begin(), order.end(), 0u);
    } else {
        // Keys are distinct: sorted with their groups beside them rather than through the index.
        std::vector<std::pair<uint64_t, uint32_t>> byKey(groups.key.size());
        for (size_t g = 0; g < byKey.size(); ++g) byKey[g] = {groups.key[g], uint32_t(g)};
        std::vector<std::pair<uint64_t, uint32_t>> scratch;
        SortByKey(byKey, scratch);
        for (size_t g = 0; g < byKey.size(); ++g) order[g] = byKey[g].second;
    }

    std::vector<Value> cells;
    cells.reserve(order.size() * items.size());
    // A count or sum read as the SQLite path reads its result column.
    auto number = [&](bool integer, int64_t i, double d, const Item& it) {
        std::optional<Value> v = ReadNumber(integer, i, d, it.type, it.typed);
        if (v) cells.push_back(std::move(*v));
        else why = "a count shown as text";
        return v.has_value();
    };
    for (uint32_t g : order) {
        size_t countColumn = 0;
        for (const Item& it : items) {
            bool ok = true;
            switch (it.kind) {
                case ItemKind::Count: ok = number(true, groups.count[g], double(groups.count[g]), it); break;
                case ItemKind::CountColumn: {
                    const int64_t c = groups.columnCount[countColumn++][g];
                    ok = number(true, c, double(c), it);
                    break;
                }
                case ItemKind::Sum: {
                    const SumState& st = groups.sums[size_t(g) * sumItems + it.sum];
                    if (!SumShown(st, why)) return std::nullopt;
                    if (st.count == 0) cells.emplace_back();
                    else if (st.inexact) ok = number(false, 0, st.approx, it);
                    else ok = number(true, st.exact, double(st.exact), it);
                    break;
                }
                case ItemKind::Group: {
                    const Column& col = columns_[size_t(it.column)];
                    if (col.variants) {
                        const size_t k = size_t(std::find(groups.spelled.begin(), groups.spelled.end(), &col) -
                                                groups.spelled.begin());
                        cells.push_back(col.spellingShown[groups.smallest[k][g]]);
                    } else {
                        cells.push_back(col.shown[codeIn(it.column, g)]);
                    }
                    break;
                }
            }
            if (!ok) return std::nullopt;
        }
    }
    return cells;
}

}  // namespace db::sqlite
