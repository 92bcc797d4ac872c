// Count queries and value coding: the text of the grouped count query that the statistics
// send, the number of rows read back, reading a result whole, and CodeRows, which replaces the
// grouped fields' values in a count block by value indexes so that they can serve as
// subscripts. Reads Db, TableName, CountExpr, WhereClause, FieldNames, FF, VluLbl, NetTotal,
// NetIdx and TableRows; writes nothing but the block it is given.
#include <algorithm>
#include <cstring>
#include <limits>
#include <string_view>

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
