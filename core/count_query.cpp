// Count queries and value coding: the text of the grouped count query that the statistics
// send, the number of rows read back, reading a result whole, and CodeRows, which replaces the
// grouped fields' values in a count block by value indexes so that they can serve as
// subscripts; and CountCoded, the statistics' count, which asks the database's GroupCounter
// where it offers one and the query text otherwise, and gives the coded block either way.
// Reads Db, TableName, CountExpr, WhereClause, FieldNames, FF, VluLbl, NetTotal, NetIdx and
// TableRows; writes nothing but the block it is given or keeps (and its own cache of counters).
#include <algorithm>
#include <cstring>
#include <limits>
#include <span>
#include <string_view>

#include "core/count_arithmetic.h"
#include "core/learner.h"
#include "platform/db/value_text.h"

namespace core {

namespace {

// Closes a recordset when the scope that opened it ends early; the normal path closes it
// itself so that a failing Close is reported.
class RecordsetCloser {
public:
    explicit RecordsetCloser(db::Recordset* rs) : rs_(rs) {}
    ~RecordsetCloser() {
        if (!rs_) return;
        try {
            rs_->Close();
        } catch (...) {
            // Already unwinding from the error that matters.
        }
    }
    void Close() {
        db::Recordset* rs = rs_;
        rs_ = nullptr;
        rs->Close();
    }

private:
    db::Recordset* rs_;
};

bool HasFrequencyField(const std::string& countExpr) {
    return std::string_view(countExpr).substr(0, 5) == " Sum(";
}

}  // namespace

std::string Learner::CountQueryText(const std::vector<Integer>& g, Integer a, Integer b) const {
    std::string sql = "select " + CountExpr + ", ";
    for (Integer f : g) sql += FieldNames(f) + ",";
    sql += FieldNames(a) + ", " + FieldNames(b);
    sql += " from " + TableName + WhereClause + " group by ";
    for (Integer f : g) sql += FieldNames(f) + ",";
    sql += FieldNames(a) + "," + FieldNames(b);
    return sql;
}

Long Learner::RowCap() const {
    if (HasFrequencyField(CountExpr))
        return TableRows > 0 ? TableRows : std::numeric_limits<Long>::max();
    return NetTotal(NetIdx);
}

Long Learner::CountRows(const std::vector<Integer>& g, Integer a, Integer b) const {
    // 64 bits throughout: once the running product is capped it stays below cap x 32767, far
    // inside the range, so no field count or layer total can make it overflow.
    int64_t rows = int64_t(FF(a)) * FF(b);
    if (!g.empty()) {
        const int64_t cap = RowCap();
        for (Integer f : g) rows = std::min(rows * FF(f), cap);
    }
    return Long(std::clamp<int64_t>(rows, 0, std::numeric_limits<Long>::max()));
}

vb::Array<db::Value> Learner::QueryBlock(const std::string& sql, Long rows) {
    if (!Db) throw vb::RuntimeError(91, "Object variable or With block variable not set");
    std::unique_ptr<db::Recordset> rs = Db->OpenRecordset(sql, db::dbOpenForwardOnly);
    RecordsetCloser closer(rs.get());
    vb::Array<db::Value> block = rs->GetRows(rows);
    closer.Close();
    return block;
}

vb::Array<db::Value> Learner::CountBlock(const std::vector<Integer>& g, Integer a, Integer b, Long rows) {
    return QueryBlock(CountQueryText(g, a, b), rows);
}

vb::Array<db::Value> Learner::CountBlock(const std::vector<Integer>& g, Integer a, Integer b) {
    return CountBlock(g, a, b, CountRows(g, a, b));
}

namespace {

// A cell as it was read, for recognising the same cell again without making its label text.
struct SeenCell {
    db::Value::Kind kind;
    uint64_t bits = 0;  // a number's (a Boolean's, a date's) double, bit for bit
    std::string text;
    Integer index;  // its label's index, or 0 when no label matched

    static uint64_t Bits(const db::Value& v) {
        const double d = v.kind() == db::Value::Kind::Boolean ? (v.AsBool() ? 1.0 : 0.0)
                         : v.kind() == db::Value::Kind::Date  ? v.AsDate().serial
                                                              : v.ToDouble();
        uint64_t b;
        std::memcpy(&b, &d, sizeof b);
        return b;
    }
    bool Is(const db::Value& v) const {
        if (v.kind() != kind) return false;
        if (kind != db::Value::Kind::Text) return Bits(v) == bits;
        // Labels are a few bytes: compared in place rather than through a library call a cell.
        const std::string& t = v.AsText();
        if (t.size() != text.size()) return false;
        for (size_t i = t.size(); i-- > 0;)
            if (t[i] != text[i]) return false;
        return true;
    }
};

}  // namespace

void Learner::CodeRows(vb::Array<db::Value>& block, Integer m, const vb::Array<Integer>& fields) {
    if (block.dims() != 2) return;  // no rows fetched: nothing to code
    const int32_t firstRow = block.LBound(2), lastRow = block.UBound(2);
    // A column repeats a few cells over many rows: each is matched against the labels once.
    constexpr size_t kRemembered = 32;
    std::vector<SeenCell> seen;
    for (Integer f = 1; f <= m; ++f) {
        const Integer x = fields(f);
        // Labels are tried in their order, so the first of two equal labels takes the cells. A
        // field has a few labels and a query meets each of its cells once: a scan of them is
        // cheaper than building a lookup a query.
        const Integer labels = FF(x);
        auto firstIndex = [&](const std::string& label) -> Integer {
            for (Integer v = 1; v <= labels; ++v)
                if (VluLbl(x, v) == label) return v;
            return 0;
        };
        const Integer missing = firstIndex("?");
        seen.clear();
        for (int32_t r = firstRow; r <= lastRow; ++r) {
            db::Value& cell = block(f, r);
            // A Null cell is the missing value: it takes the "?" label and is never compared
            // as text, so no other label (not even an empty one) can claim it.
            if (cell.IsNull()) {
                if (missing > 0) cell = db::Value(missing);
                continue;
            }
            Integer index = -1;
            for (const SeenCell& s : seen)
                if (s.Is(cell)) {
                    index = s.index;
                    break;
                }
            if (index < 0) {
                // Labels were upper-cased when they were made, so compare the cell's label
                // text: the data's case must not create a second value. A text "?" meets the
                // "?" label here too.
                index = firstIndex(db::LabelText(cell));
                if (seen.size() < kRemembered) {
                    const bool text = cell.kind() == db::Value::Kind::Text;
                    seen.push_back({cell.kind(), text ? 0 : SeenCell::Bits(cell), text ? cell.AsText() : "", index});
                }
            }
            if (index > 0) cell = db::Value(index);
        }
    }
}

}  // namespace core

namespace core {

CodedBlock Learner::ReadCoded(const vb::Array<db::Value>& block, Integer m) {
    CodedBlock out;
    out.rows = counts::RowCount(block);
    out.width = m;
    out.count.resize(size_t(out.rows));
    out.code.resize(size_t(out.rows) * size_t(m));
    // A cell that cannot be read keeps its error for the moment the statistics read it.
    auto keep = [&](std::exception_ptr e) {
        out.errors.push_back(std::move(e));
        return int32_t(out.errors.size() - 1);
    };
    for (int32_t r = 0; r < out.rows; ++r) {
        try {
            out.count[size_t(r)] = counts::CountOf(block, r);
        } catch (...) {
            if (out.countError.empty()) out.countError.assign(size_t(out.rows), -1);
            out.countError[size_t(r)] = keep(std::current_exception());
        }
        for (Integer c = 1; c <= m; ++c) {
            int32_t& code = out.code[size_t(r) * size_t(m) + size_t(c - 1)];
            try {
                code = counts::RawIndexOf(block(c, r));
            } catch (...) {
                code = CodedBlock::kNoIndex - keep(std::current_exception());
            }
        }
    }
    return out;
}

// The counters of the filters the layers use (the whole table, the hold-out filter, one per
// class value), each made once over every field, and per field the index CodeRows gives each
// of the counter's codes. A table of a field is made again when its labels change.
struct Learner::DirectCounts {
    struct FieldMap {
        bool made = false;
        bool usable = false;  // every code has an index; otherwise the query text codes the field
        bool shifted = false;  // usable, and every code's index is the code plus one
        std::vector<std::string> labels;
        std::vector<int32_t> index;  // by code
    };
    struct Entry {
        std::string table, countExpr, where;
        std::unique_ptr<db::GroupCounter> counter;  // nullptr: the database offers none
        std::vector<std::string> names;             // the fields it was made over, FieldNames(1..)
        std::vector<FieldMap> maps;                 // by field - 1
    };
    // A learner keeps the counters of this many filters; past that they are made afresh.
    static constexpr size_t kEntries = 64;
    const db::Database* db = nullptr;
    std::vector<Entry> entries;
    std::vector<int> fields;
    std::vector<std::span<const int32_t>> tables;  // per column of the block, its field's index by code
    bool allShifted = false;                       // every field of the last Tables is shifted
    // The block of the last count, its room reused by the next; the same for keyed counts.
    CodedBlock block;
    KeyedBlock keyed;

    // The entry of the learner's table, count and filter, its counter made over every field when
    // it is new or a field of the query has another name than the counter knows it by.
    Entry& EntryFor(const Learner& L, const std::vector<Integer>& all);
    // Each queried field's code-to-index table into `fields` and `tables`, made again when its
    // labels changed; false when a field must be coded through the query text.
    bool Tables(const Learner& L, Entry& entry, const std::vector<Integer>& all);
    // The learner's counts (made on first use), and the entry whose counter counts the fields
    // g, a, b (into `all`), their tables made; nullptr where the query text must count them.
    static DirectCounts& Of(Learner& L);
    Entry* Counting(const Learner& L, const std::vector<Integer>& g, Integer a, Integer b, std::vector<Integer>& all);
};

Learner::DirectCounts& Learner::DirectCounts::Of(Learner& L) {
    if (!L.direct_) L.direct_ = std::make_shared<DirectCounts>();
    return *L.direct_;
}

Learner::DirectCounts::Entry* Learner::DirectCounts::Counting(const Learner& L, const std::vector<Integer>& g,
                                                               Integer a, Integer b, std::vector<Integer>& all) {
    all = g;
    all.push_back(a);
    all.push_back(b);
    if (!L.Db) return nullptr;
    Entry& entry = EntryFor(L, all);
    return entry.counter && Tables(L, entry, all) ? &entry : nullptr;
}

Learner::DirectCounts::Entry& Learner::DirectCounts::EntryFor(const Learner& L, const std::vector<Integer>& all) {
    if (db != L.Db.get()) {
        entries.clear();
        db = L.Db.get();
    }
    Entry* entry = nullptr;
    for (Entry& e : entries)
        if (e.where == L.WhereClause && e.countExpr == L.CountExpr && e.table == L.TableName) entry = &e;
    // The counter must know every field of this query under the name the text would use.
    auto current = [&](const Entry& e) {
        for (Integer f : all)
            if (f < 1 || size_t(f) > e.names.size() || e.names[size_t(f - 1)] != L.FieldNames(f)) return false;
        return true;
    };
    if (entry && current(*entry)) return *entry;
    if (!entry) {
        if (entries.size() >= kEntries) entries.clear();
        entry = &entries.emplace_back();
        entry->table = L.TableName;
        entry->countExpr = L.CountExpr;
        entry->where = L.WhereClause;
    }
    entry->names.clear();
    for (Integer f = 1; f <= L.numfld && f <= L.FieldNames.UBound(); ++f) entry->names.push_back(L.FieldNames(f));
    entry->maps.assign(entry->names.size(), {});
    entry->counter = L.Db->GroupCounts(L.CountExpr, L.TableName, L.WhereClause, entry->names);
    if (entry->counter && !current(*entry)) entry->counter.reset();
    return *entry;
}

bool Learner::DirectCounts::Tables(const Learner& L, Entry& entry, const std::vector<Integer>& all) {
    fields.clear();
    tables.clear();
    allShifted = true;
    for (Integer f : all) {
        FieldMap& map = entry.maps[size_t(f - 1)];
        const Integer labels = L.FF(f);
        // Labels beyond the array are CodeRows' own error to raise.
        if (labels < 1 || L.VluLbl.dims() != 2 || labels > L.VluLbl.UBound(2)) return false;
        bool same = map.made && map.labels.size() == size_t(labels);
        for (Integer v = 1; same && v <= labels; ++v) same = map.labels[size_t(v - 1)] == L.VluLbl(f, v);
        if (!same) {
            map = {};
            map.made = true;
            for (Integer v = 1; v <= labels; ++v) map.labels.push_back(L.VluLbl(f, v));
            auto firstIndex = [&](const std::string& label) -> int32_t {
                for (Integer v = 1; v <= labels; ++v)
                    if (map.labels[size_t(v - 1)] == label) return v;
                return 0;
            };
            const std::vector<db::Value>* values = entry.counter->Values(int(f - 1));
            map.usable = values != nullptr;
            if (values) {
                const int32_t missing = firstIndex("?");
                for (const db::Value& v : *values) {
                    const int32_t index = v.IsNull() ? missing : firstIndex(db::LabelText(v));
                    map.usable = map.usable && index > 0;
                    map.index.push_back(index);
                }
            }
            map.shifted = map.usable && map.index.size() == size_t(labels);
            for (size_t c = 0; map.shifted && c < map.index.size(); ++c) map.shifted = map.index[c] == int32_t(c + 1);
        }
        if (!map.usable) return false;
        allShifted = allShifted && map.shifted;
        fields.push_back(int(f - 1));
        tables.emplace_back(map.index);
    }
    return true;
}

bool Learner::DirectCount(const std::vector<Integer>& g, Integer a, Integer b, DirectQuery& q) {
    DirectCounts& d = DirectCounts::Of(*this);
    std::vector<Integer> all;
    const DirectCounts::Entry* entry = d.Counting(*this, g, a, b, all);
    if (!entry) return false;
    q.counter = entry->counter.get();
    q.fields = d.fields;
    q.tables = d.tables;
    q.maxGroups = CountRows(g, a, b);
    return true;
}

const CodedBlock& Learner::CountCoded(const std::vector<Integer>& g, Integer a, Integer b) {
    DirectCounts& d = DirectCounts::Of(*this);
    std::vector<Integer> all;
    DirectCounts::Entry* entry = d.Counting(*this, g, a, b, all);
    const Integer m = Integer(all.size());
    CodedBlock& out = d.block;
    auto byText = [&]() -> const CodedBlock& {
        vb::Array<db::Value> block = CountBlock(g, a, b);
        vb::Array<Integer> fields(vb::To(m));
        for (Integer i = 1; i <= m; ++i) fields(i) = all[size_t(i - 1)];
        CodeRows(block, m, fields);
        out = ReadCoded(block, m);
        return out;
    };
    if (!entry) return byText();
    // The counter writes each group's value indexes and count straight into the block.
    switch (entry->counter->CountIndexed(d.fields, d.tables, CountRows(g, a, b), out.code, out.count)) {
        case db::GroupCounter::Outcome::Counted: break;
        case db::GroupCounter::Outcome::Stale:
            // The table changed: the next query makes a counter over it afresh.
            d.entries.erase(d.entries.begin() + (entry - d.entries.data()));
            return byText();
        case db::GroupCounter::Outcome::Declined: return byText();
    }
    out.rows = int32_t(out.count.size());
    out.width = m;
    out.errors.clear();
    out.countError.clear();
    return out;
}

const KeyedBlock* Learner::CountKeyed(const std::vector<Integer>& g, Integer a, Integer b) {
    DirectCounts& d = DirectCounts::Of(*this);
    std::vector<Integer> all;
    DirectCounts::Entry* entry = d.Counting(*this, g, a, b, all);
    if (!entry || !d.allShifted) return nullptr;
    KeyedBlock& out = d.keyed;
    switch (entry->counter->CountKeys(d.fields, CountRows(g, a, b), out.key, out.count)) {
        case db::GroupCounter::Outcome::Counted: break;
        case db::GroupCounter::Outcome::Stale:
            // The table changed: the next query makes a counter over it afresh.
            d.entries.erase(d.entries.begin() + (entry - d.entries.data()));
            return nullptr;
        case db::GroupCounter::Outcome::Declined: return nullptr;
    }
    return &out;
}

}  // namespace core
