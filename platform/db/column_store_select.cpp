// The rows a WHERE keeps: its terms read off the bound condition, each term's passing codes, and
// the rows passing them all, kept per condition.
#include "platform/db/column_store_internal.h"

namespace db::sqlite {

bool ColumnStore::TermsOf(const sql::BoundExpr& e, std::vector<Term>& out, std::string& why) const {
    using K = sql::BoundExpr::Kind;
    if (e.kind == K::And) {
        for (const sql::BoundExpr& a : e.args)
            if (!TermsOf(a, out, why)) return false;
        return true;
    }
    Term t;
    if ((e.kind == K::IsNull || e.kind == K::IsNotNull) && e.args.size() == 1 && e.args[0].kind == K::Column) {
        t.kind = e.kind == K::IsNull ? Term::Kind::IsNull : Term::Kind::IsNotNull;
        t.column = e.args[0].column;
    } else if (e.kind == K::Compare && e.args.size() == 2 && e.args[0].kind == K::Column &&
               e.args[1].kind == K::Literal) {
        t.column = e.args[0].column;
        t.op = e.op;
        t.mode = e.mode;
        const Value& v = e.args[1].literal;
        switch (v.kind()) {
            case Value::Kind::Long: t.literal = Cell::Int(v.AsLong()); break;
            case Value::Kind::Integer: t.literal = Cell::Int(v.AsInteger()); break;
            case Value::Kind::Double: t.literal = Cell::Dbl(v.AsDoubleValue()); break;
            case Value::Kind::Text:
                t.literal.cls = Cell::Text;
                t.literal.text = v.AsText();
                break;
            default: why = "a comparison with a literal of another kind"; return false;
        }
        // A plain or text comparison with a column puts the column's affinity on the literal
        // when they differ in kind (a text "1" meets an INTEGER column as the number 1).
        const Affinity aff = columns_[size_t(t.column)].affinity;
        if (t.mode == sql::CompareMode::Plain || t.mode == sql::CompareMode::Text) {
            const bool textLiteral = t.literal.cls == Cell::Text;
            const bool converts = textLiteral ? aff != Affinity::Text && aff != Affinity::Blob : aff == Affinity::Text;
            if (converts) {
                why = "the column's affinity would convert the literal";
                return false;
            }
        }
    } else {
        why = "a condition other than comparisons joined by And";
        return false;
    }
    if (!columns_[size_t(t.column)].unusable.empty()) {
        why = columns_[size_t(t.column)].unusable;
        return false;
    }
    out.push_back(std::move(t));
    return true;
}

// Which codes of the term's column pass it.
std::vector<uint8_t> ColumnStore::Mask(const Term& t) const {
    const Column& col = columns_[size_t(t.column)];
    std::vector<uint8_t> mask(col.cells.size(), 0);
    for (size_t code = 0; code < col.cells.size(); ++code) {
        const Cell& v = col.cells[code];
        if (t.kind != Term::Kind::Compare) {
            mask[code] = (v.cls == Cell::Null) == (t.kind == Term::Kind::IsNull);
            continue;
        }
        // The left side as the rendered comparison computes it; Null compares to nothing.
        Cell left;
        bool nocase = false;
        switch (t.mode) {
            case sql::CompareMode::Boolean:  // -(IFNULL(x,0)<>0): a Null is No
                // A text (left in a number column used as a flag) differs from every number.
                left = Cell::Int((v.IsNumber() && v.Number() != 0) || v.cls == Cell::Text ? -1 : 0);
                break;
            case sql::CompareMode::Date:  // jet_date(x): a number as it is, a date text as its serial
                if (v.IsNumber()) {
                    left = Cell::Dbl(v.cls == Cell::Integer ? double(v.i) : v.d);
                } else if (v.cls == Cell::Text) {
                    if (auto serial = ParseStoredDate(v.text)) left = Cell::Dbl(*serial);
                }
                break;
            case sql::CompareMode::Text: nocase = true; left = v; break;
            default: left = v; break;
        }
        if (left.cls == Cell::Null) continue;
        const int c = CompareCells(left, t.literal, nocase);
        bool pass = false;
        switch (t.op) {
            case sql::CompareOp::Eq: pass = c == 0; break;
            case sql::CompareOp::Ne: pass = c != 0; break;
            case sql::CompareOp::Lt: pass = c < 0; break;
            case sql::CompareOp::Gt: pass = c > 0; break;
            case sql::CompareOp::Le: pass = c <= 0; break;
            case sql::CompareOp::Ge: pass = c >= 0; break;
        }
        mask[code] = pass;
    }
    return mask;
}

// The rows passing every term, in row-id order; kept per condition, since learning sends the
// same few conditions (the hold-out filter, one per class value) with thousands of queries.
const std::vector<uint32_t>& ColumnStore::Select(const std::vector<Term>& terms) {
    if (terms.empty()) return allRows_;
    std::string key;
    for (const Term& t : terms) {
        key += fmt::format("{}:{}:{}:{}:{}:", t.column, int(t.kind), int(t.op), int(t.mode), int(t.literal.cls));
        switch (t.literal.cls) {
            case Cell::Integer: key += std::to_string(t.literal.i); break;
            case Cell::Real: key.append(reinterpret_cast<const char*>(&t.literal.d), sizeof(double)); break;
            case Cell::Text: key += std::to_string(t.literal.text.size()) + ":" + t.literal.text; break;
            default: break;
        }
        key += ';';
    }
    auto it = selections_.find(key);
    if (it != selections_.end()) return *it->second;

    std::vector<uint8_t> pass(rows_, 1);
    for (const Term& t : terms) {
        const std::vector<uint8_t> mask = Mask(t);
        columns_[size_t(t.column)].codes.Visit([&](const auto* codes) {
            for (size_t r = 0; r < rows_; ++r) pass[r] &= mask[codes[r]];
        });
    }
    std::vector<uint32_t> rows;
    for (size_t r = 0; r < rows_; ++r)
        if (pass[r]) rows.push_back(uint32_t(r));
    if (selections_.size() >= 256) selections_.clear();
    return *selections_.emplace(std::move(key), std::make_shared<const std::vector<uint32_t>>(std::move(rows)))
                 .first->second;
}

}  // namespace db::sqlite
