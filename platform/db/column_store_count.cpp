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

std::unique_ptr<ColumnStore> ColumnStore::Twin() const {
    return std::unique_ptr<ColumnStore>(new ColumnStore(table_));
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
                                         CountSink& out) {
    if (!Digits(p, fields)) return GroupCounter::Outcome::Declined;
    const std::vector<uint32_t>& rows = p.allRows ? allRows_ : *p.rows;
    const Item& it = p.count[0];
    uint64_t radix = 1;
    bool ranked = false;
    if (!PlainCount(rows, it.kind == ItemKind::Count, radix, ranked))
        return GeneralCount(p, rows, radix, ranked, maxGroups, out);
    const size_t n = maxGroups <= 0 ? 0 : size_t(std::min<uint64_t>(uint64_t(maxGroups), groups_.key.size()));
    double* counts = out.Size(n, fields.size());
    DecodeKeys(n, fields.size(), radix, out);
    if (!out.complete()) return GroupCounter::Outcome::Declined;
    const ColumnStoreItemType type{it.kind == ItemKind::Count && (!it.typed || it.type == dbLong), it.type, it.typed};
    const int64_t* groupCount = groups_.count.data();
    if (type.plainCount && rows.size() <= size_t(INT32_MAX)) {
        // No group holds more than the selected rows: every count reads as itself.
        for (size_t r = 0; r < n; ++r) counts[r] = double(groupCount[r]);
        return GroupCounter::Outcome::Counted;
    }
    for (size_t r = 0; r < n; ++r)
        if (!ReadCount(type, groupCount[r], counts[r])) return GroupCounter::Outcome::Declined;
    return GroupCounter::Outcome::Counted;
}

bool ColumnStore::PlainCount(const std::vector<uint32_t>& rows, bool plain, uint64_t& radix, bool& ranked) {
    radix = 1;
    for (int c : digits_) {
        const uint64_t k = std::max<uint64_t>(columns_[size_t(c)].cells.size(), 1);
        radix = radix > kNarrowRadix / k ? UINT64_MAX : radix * k;
    }
    const bool narrow = radix <= kNarrowRadix;
    ranked = false;
    if (plain && digits_.empty()) {
        // No field: one group of every selected row, even of none, as the text's one row.
        groups_.key.assign(1, 0);
        groups_.count.assign(1, int64_t(rows.size()));
        return true;
    }
    const size_t selected = rows.size();
    // A plain count over a narrow range counts each block's keys while they are in the cache.
    if (plain && narrow && radix > 1 && CountedInPlace(selected, radix)) {
        const size_t range = size_t(radix), lanes = CountLanes(selected, range);
        NarrowKeys(rows, digits_, CountRoom(range, lanes), range, lanes == 4);
        ReadOffCounts(range, lanes);
        return true;
    }
    if (plain && narrow) {
        if (radix > 1) NarrowKeys(rows, digits_);  // radix 1: every row in one group, no key
    } else {
        ranked = GroupKeys(rows, digits_, radix);
    }
    if (!plain || ranked) return false;
    if (narrow) PlainGroups(narrowKeys_.data(), sortedNarrowKeys_, selected, radix);
    else PlainGroups(keys_.data(), sortedKeys_, selected, radix);
    return true;
}

GroupCounter::Outcome ColumnStore::CountKeys(const Prepared& p, const std::vector<int>& fields, int64_t maxGroups,
                                             std::vector<uint64_t>& keys, std::vector<double>& counts) {
    // Each field its own digit, in the order asked, and a Count(*) whose cells read as themselves.
    if (!Digits(p, fields) || digits_.size() != fields.size()) return GroupCounter::Outcome::Declined;
    const std::vector<uint32_t>& rows = p.allRows ? allRows_ : *p.rows;
    const Item& it = p.count[0];
    if (it.kind != ItemKind::Count || (it.typed && it.type != dbLong) || rows.size() > size_t(INT32_MAX))
        return GroupCounter::Outcome::Declined;
    uint64_t radix = 1;
    bool ranked = false;
    if (!PlainCount(rows, true, radix, ranked)) return GroupCounter::Outcome::Declined;
    const size_t n = maxGroups <= 0 ? 0 : size_t(std::min<uint64_t>(uint64_t(maxGroups), groups_.key.size()));
    keys.assign(groups_.key.begin(), groups_.key.begin() + std::ptrdiff_t(n));
    counts.resize(n);
    const int64_t* groupCount = groups_.count.data();
    for (size_t r = 0; r < n; ++r) counts[r] = double(groupCount[r]);
    return GroupCounter::Outcome::Counted;
}

bool ColumnStore::Digits(const Prepared& p, const std::vector<int>& fields) {
    digits_.clear();
    digitOfField_.clear();
    firstField_.clear();
    nextField_.assign(fields.size(), kNoField);
    size_t last[kMaxDigits];  // per digit the last field that asked for it so far
    for (int f : fields) {
        if (f < 0 || size_t(f) >= p.column.size() || p.column[size_t(f)] < 0) return false;
        const int c = p.column[size_t(f)];
        const auto at = std::find(digits_.begin(), digits_.end(), c);
        const size_t k = size_t(at - digits_.begin()), field = digitOfField_.size();
        digitOfField_.push_back(k);
        if (at == digits_.end()) {
            if (digits_.size() == kMaxDigits) return false;
            digits_.push_back(c);
            firstField_.push_back(field);
        } else {
            nextField_[last[k]] = field;
        }
        last[k] = field;
    }
    return true;
}

void ColumnStore::DecodeKeys(size_t n, size_t m, uint64_t radix, CountSink& out) {
    const size_t d = digits_.size();
    // Each group's codes read back from its key, the last digit first. Keys below 2^32 are
    // divided exactly by a multiply with each radix's rounded-up reciprocal 2^64 / radix.
    // A digit at a time over all the groups, so that the groups' divisions do not wait on
    // each other; the keys are divided in place, and each code goes to every field that asked
    // for its digit.
    uint64_t* keys = groups_.key.data();
    for (size_t k = d; k-- > 0;) {
        const uint64_t radixOf = std::max<uint64_t>(columns_[size_t(digits_[k])].cells.size(), 1);
        const uint64_t inverse = radixOf > 1 ? UINT64_MAX / radixOf + 1 : 0;
        auto decode = [&](auto put) {
            if (radixOf == 1) {
                for (size_t r = 0; r < n; ++r) put(r, 0);
            } else if (radix <= kNarrowRadix) {
                for (size_t r = 0; r < n; ++r) {
                    const uint64_t q = uint64_t((static_cast<unsigned __int128>(inverse) * keys[r]) >> 64);
                    put(r, uint32_t(keys[r] - q * radixOf));
                    keys[r] = q;
                }
            } else {
                for (size_t r = 0; r < n; ++r) {
                    put(r, uint32_t(keys[r] % radixOf));
                    keys[r] /= radixOf;
                }
            }
        };
        // A digit one field asked for (nearly always) in a loop of locals; one asked for by
        // several fields through each of them.
        const size_t f = firstField_[k];
        if (nextField_[f] != kNoField) {
            decode([&](size_t r, uint32_t code) {
                for (size_t at = f; at != kNoField; at = nextField_[at]) out.Put(r * m, at, code);
            });
        } else if (out.raw()) {
            uint32_t* into = out.codes(f);
            decode([into, m](size_t r, uint32_t code) { into[r * m] = code; });
        } else {
            int32_t* into = out.indexes(f);
            const std::span<const int32_t> table = out.table(f);
            const int32_t* index = table.data();
            const size_t size = table.size();
            bool missing = false;
            decode([&](size_t r, uint32_t code) {
                const bool known = code < size;
                missing = missing || !known;
                into[r * m] = known ? index[code] : 0;
            });
            if (missing) out.Missed();
        }
    }
}

// Sums, and keys ranked past 2^62: the general pass, each group's codes from its first row.
GroupCounter::Outcome ColumnStore::GeneralCount(const Prepared& p, const std::vector<uint32_t>& rows, uint64_t radix,
                                                bool ranked, int64_t maxGroups, CountSink& out) {
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
    double* counts = out.Size(n, m);
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
        for (size_t f = 0; f < m; ++f) out.Put(r * m, f, code[digitOfField_[f]]);
        if (it.kind == ItemKind::Count) {
            if (!ReadCount(type, groups.count[g], counts[r])) return GroupCounter::Outcome::Declined;
        } else {
            const SumState& st = groups.sums[g];
            const std::optional<Value> cell = st.inexact ? ReadNumber(false, 0, st.approx, it.type, it.typed)
                                                         : ReadNumber(true, st.exact, double(st.exact), it.type, it.typed);
            if (!ReadCell(cell, counts[r])) return GroupCounter::Outcome::Declined;
        }
    }
    return out.complete() ? GroupCounter::Outcome::Counted : GroupCounter::Outcome::Declined;
}

}  // namespace db::sqlite
