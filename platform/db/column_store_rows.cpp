// The rows of a counter's filter as a plain select of the table reads them: each row's cell of
// one column as an index into the cells its codes stand for, so that a caller that turns every
// distinct cell into something of its own does so once a cell instead of once a row.
#include "platform/db/column_store_internal.h"

namespace db::sqlite {

bool ColumnStore::Rows(const Prepared& p, int field, std::vector<uint32_t>& codes,
                       const std::vector<Value>*& cells) const {
    // Without an index SQLite scans a rowid table in row-id order, the order of the store's
    // rows; an index could make it visit them in another.
    if (!visitOrderKnown_) return false;
    if (field < 0 || size_t(field) >= p.column.size() || p.column[size_t(field)] < 0) return false;
    const Column& col = columns_[size_t(p.column[size_t(field)])];
    if (!col.unusable.empty()) return false;
    const std::vector<uint32_t>& rows = p.allRows ? allRows_ : *p.rows;
    codes.resize(rows.size());
    if (col.variants) {
        // A code stands for several spellings there: each row's own spelling is its cell.
        for (size_t k = 0; k < rows.size(); ++k) codes[k] = col.spellings[rows[k]];
        cells = &col.spellingShown;
        return true;
    }
    // Every other code stands for one stored value (a number stored two ways makes the column
    // unusable), or for a Boolean's one Jet value, or for one Single: the cell the select reads.
    col.codes.Visit([&](const auto* c) {
        if (p.allRows) {
            for (size_t k = 0; k < rows.size(); ++k) codes[k] = c[k];
        } else {
            for (size_t k = 0; k < rows.size(); ++k) codes[k] = c[rows[k]];
        }
    });
    cells = &col.shown;
    return true;
}

}  // namespace db::sqlite
