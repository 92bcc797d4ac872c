// The engines' counts (GroupCounter): a bound grouping prepared once, then any few of its fields
// counted with its filter and count expression, the groups' codes handed back with their counts.
#include "platform/db/column_store_internal.h"

namespace db::sqlite {

// ---- the engines' counts ----

std::unique_ptr<ColumnStore::Prepared> ColumnStore::Prepare(const sql::BoundSelect& q, std::string& why) {
    using K = sql::BoundExpr::Kind;
    if (!q.aggregate || q.distinctRows || q.into || q.items.size() != q.groupBy.size() + 1) {
        why = "not a grouped count";
        return nullptr;
    }
    auto p = std::make_unique<Prepared>();
    std::vector<int> groupColumns;
    for (const sql::GroupKey& g : q.groupBy)
        if (g.expr.kind == K::Column) groupColumns.push_back(g.expr.column);
    size_t sums = 0;
    Item count;
    if (!ItemOf(q.items[0], groupColumns, sums, count, why)) return nullptr;
    if (count.kind != ItemKind::Count && count.kind != ItemKind::Sum) {
        why = "a count other than Count(*) and Sum";
        return nullptr;
    }
    p->count.push_back(count);
    std::vector<Term> terms;
    if (q.where && !TermsOf(*q.where, terms, why)) return nullptr;
    p->allRows = terms.empty();
    if (!p->allRows) {
        const std::vector<uint32_t>& rows = Select(terms);
        for (const auto& [key, shared] : selections_)
            if (shared.get() == &rows) p->rows = shared;
    }
    // A field counts here when it would group, show and order here as in Answer.
    for (size_t f = 0; f < q.groupBy.size(); ++f) {
        const sql::GroupKey& g = q.groupBy[f];
        const sql::BoundItem& shown = q.items[f + 1];
        int c = g.expr.kind == K::Column ? g.expr.column : -1;
        std::string unused;
        if (c >= 0 && (!Usable(c, unused) || g.caseInsensitive != columns_[size_t(c)].ci ||
                       shown.expr.kind != K::Column || shown.expr.column != c ||
                       shown.representative != columns_[size_t(c)].ci))
            c = -1;
        if (c >= 0) {
            bool ordered = false;
            for (const sql::OrderKey& o : q.orderBy)
                if (o.expr.kind == K::Column && o.expr.column == c)
                    ordered = !o.descending && o.caseInsensitive == columns_[size_t(c)].ci &&
                              o.jetBoolean == columns_[size_t(c)].jetBoolean;
            if (!ordered) c = -1;
        }
        p->column.push_back(c);
    }
    return p;
}

const std::vector<Value>* ColumnStore::Shown(const Prepared& p, int field) const {
    if (field < 0 || size_t(field) >= p.column.size() || p.column[size_t(field)] < 0) return nullptr;
    return &columns_[size_t(p.column[size_t(field)])].shown;
}

namespace {

// A count cell as the text path reads it (Value::ToDouble); false for Null or a cell that does
// not read as a number.
bool ReadCell(const std::optional<Value>& cell, double& into) {
    if (!cell || cell->IsNull()) return false;
    try {
        into = cell->ToDouble();
    } catch (const std::exception&) {
        return false;
    }
    return true;
}

// A group's Count as ReadNumber makes its cell, then read as a number; a Count(*) of a Long
// within the Long range reads as itself.
bool ReadCount(const ColumnStoreItemType& it, int64_t c, double& into) {
    if (it.plainCount && c >= INT32_MIN && c <= INT32_MAX) {
        into = double(c);
        return true;
    }
    return ReadCell(ReadNumber(true, c, double(c), it.type, it.typed), into);
}

}  // namespace

// The same groups, in the same order, as Answer over the query text; each group's codes read
// back from its key (or its first row) and its count read as the text's count cell reads.
GroupCounter::Outcome ColumnStore::Count(const Prepared& p, const std::vector<int>& fields, int64_t maxGroups,
                                         GroupCountResult& out) {
    if (!Digits(p, fields)) return GroupCounter::Outcome::Declined;
    const std::vector<uint32_t>& rows = p.allRows ? allRows_ : *p.rows;
    const Item& it = p.count[0];
    uint64_t radix = 1;
    for (int c : digits_) {
        const uint64_t k = std::max<uint64_t>(columns_[size_t(c)].cells.size(), 1);
        radix = radix > kNarrowRadix / k ? UINT64_MAX : radix * k;
    }
    const bool narrow = radix <= kNarrowRadix;
    const bool plain = it.kind == ItemKind::Count;
    bool ranked = false;
    if (plain && digits_.empty()) {
        // No field: one group of every selected row, even of none, as the text's one row.
        groups_.key.assign(1, 0);
        groups_.count.assign(1, int64_t(rows.size()));
    } else {
        const size_t selected = rows.size();
        // A plain count over a narrow range counts each block's keys while they are in the cache.
        if (plain && narrow && radix > 1 && CountedInPlace(selected, radix)) {
            const size_t range = size_t(radix), lanes = CountLanes(selected, range);
            NarrowKeys(rows, digits_, CountRoom(range, lanes), range, lanes == 4);
            ReadOffCounts(range, lanes);
        } else {
            if (plain && narrow) {
                if (radix > 1) NarrowKeys(rows, digits_);  // radix 1: every row in one group, no key
            } else {
                ranked = GroupKeys(rows, digits_, radix);
            }
            if (!plain || ranked) return GeneralCount(p, rows, radix, ranked, maxGroups, out);
            if (narrow) PlainGroups(narrowKeys_.data(), sortedNarrowKeys_, selected, radix);
            else PlainGroups(keys_.data(), sortedKeys_, selected, radix);
        }
    }
    const size_t n = maxGroups <= 0 ? 0 : size_t(std::min<uint64_t>(uint64_t(maxGroups), groups_.key.size()));
    out.groups = n;
    out.codes.resize(n * fields.size());
    out.counts.resize(n);
    DecodeKeys(n, fields.size(), radix, out.codes.data());
    const ColumnStoreItemType type{it.kind == ItemKind::Count && (!it.typed || it.type == dbLong), it.type, it.typed};
    for (size_t r = 0; r < n; ++r)
        if (!ReadCount(type, groups_.count[r], out.counts[r])) return GroupCounter::Outcome::Declined;
    return GroupCounter::Outcome::Counted;
}

bool ColumnStore::Digits(const Prepared& p, const std::vector<int>& fields) {
    digits_.clear();
    digitOfField_.clear();
    for (int f : fields) {
        if (f < 0 || size_t(f) >= p.column.size() || p.column[size_t(f)] < 0) return false;
        const int c = p.column[size_t(f)];
        const auto at = std::find(digits_.begin(), digits_.end(), c);
        digitOfField_.push_back(size_t(at - digits_.begin()));
        if (at == digits_.end()) digits_.push_back(c);
    }
    return digits_.size() <= kMaxDigits;
}

void ColumnStore::DecodeKeys(size_t n, size_t m, uint64_t radix, uint32_t* codes) {
    const size_t d = digits_.size();
    // Each group's codes read back from its key, the last digit first. Keys below 2^32 are
    // divided exactly by a multiply with each radix's rounded-up reciprocal 2^64 / radix.
    uint64_t digitRadix[kMaxDigits], reciprocal[kMaxDigits];
    for (size_t k = 0; k < d; ++k) {
        digitRadix[k] = std::max<uint64_t>(columns_[size_t(digits_[k])].cells.size(), 1);
        reciprocal[k] = digitRadix[k] > 1 ? UINT64_MAX / digitRadix[k] + 1 : 0;
    }
    // A digit at a time over all the groups, so that the groups' divisions do not wait on
    // each other; the keys are divided in place. Each digit goes to the first field that
    // asked for it, and a field asked for again copies it from there.
    size_t place[kMaxDigits];
    for (size_t f = m; f-- > 0;) place[digitOfField_[f]] = f;
    uint64_t* keys = groups_.key.data();
    for (size_t k = d; k-- > 0;) {
        const uint64_t radixOf = digitRadix[k], inverse = reciprocal[k];
        if (radixOf == 1) {
            for (size_t r = 0; r < n; ++r) codes[r * m + place[k]] = 0;
        } else if (radix <= kNarrowRadix) {
            for (size_t r = 0; r < n; ++r) {
                const uint64_t q = uint64_t((static_cast<unsigned __int128>(inverse) * keys[r]) >> 64);
                codes[r * m + place[k]] = uint32_t(keys[r] - q * radixOf);
                keys[r] = q;
            }
        } else {
            for (size_t r = 0; r < n; ++r) {
                codes[r * m + place[k]] = uint32_t(keys[r] % radixOf);
                keys[r] /= radixOf;
            }
        }
    }
    if (d < m)
        for (size_t f = 0; f < m; ++f)
            if (place[digitOfField_[f]] != f)
                for (size_t r = 0; r < n; ++r) codes[r * m + f] = codes[r * m + place[digitOfField_[f]]];
}

// Sums, and keys ranked past 2^62: the general pass, each group's codes from its first row.
GroupCounter::Outcome ColumnStore::GeneralCount(const Prepared& p, const std::vector<uint32_t>& rows, uint64_t radix,
                                                bool ranked, int64_t maxGroups, GroupCountResult& out) {
    const Item& it = p.count[0];
    const size_t m = digitOfField_.size(), d = digits_.size();
    const Groups& groups = CountGroups(rows, radix, ranked, p.count, digits_, false);
    const size_t all = groups.key.size();
    // A Null sum reads as no count, and a sum the text path would not show as the store adds it
    // is left to that path: in any group, as the text path reads every group before it returns.
    std::string why;
    if (it.kind == ItemKind::Sum)
        for (const SumState& st : groups.sums)
            if (st.count == 0 || !SumShown(st, why)) return GroupCounter::Outcome::Declined;

    std::vector<std::pair<uint64_t, uint32_t>>& byKey = byKey_;
    if (!groups.decodable) {
        byKey.resize(all);
        for (size_t g = 0; g < all; ++g) byKey[g] = {groups.key[g], uint32_t(g)};
        SortByKey(byKey, sortScratch_);
    }
    const size_t n = maxGroups <= 0 ? 0 : size_t(std::min<uint64_t>(uint64_t(maxGroups), all));
    out.groups = n;
    out.codes.resize(n * m);
    out.counts.resize(n);
    const ColumnStoreItemType type{it.kind == ItemKind::Count && (!it.typed || it.type == dbLong), it.type, it.typed};
    uint32_t code[kMaxDigits];
    for (size_t r = 0; r < n; ++r) {
        const uint32_t g = groups.decodable ? uint32_t(r) : byKey[r].second;
        if (groups.decodable) {
            uint64_t key = groups.key[g];
            for (size_t k = d; k-- > 0;) {
                const uint64_t radixOf = std::max<uint64_t>(columns_[size_t(digits_[k])].cells.size(), 1);
                code[k] = uint32_t(key % radixOf);
                key /= radixOf;
            }
        } else {
            for (size_t k = 0; k < d; ++k) code[k] = columns_[size_t(digits_[k])].codes[groups.firstRow[g]];
        }
        for (size_t f = 0; f < m; ++f) out.codes[r * m + f] = code[digitOfField_[f]];
        if (it.kind == ItemKind::Count) {
            if (!ReadCount(type, groups.count[g], out.counts[r])) return GroupCounter::Outcome::Declined;
        } else {
            const SumState& st = groups.sums[g];
            const std::optional<Value> cell = st.inexact ? ReadNumber(false, 0, st.approx, it.type, it.typed)
                                                         : ReadNumber(true, st.exact, double(st.exact), it.type, it.typed);
            if (!ReadCell(cell, out.counts[r])) return GroupCounter::Outcome::Declined;
        }
    }
    return GroupCounter::Outcome::Counted;
}

}  // namespace db::sqlite
