// Reading a table into the store: each column's stored values numbered in the order the SQLite
// path sorts them, and every row recoded to those numbers.
#include "platform/db/column_store_internal.h"

namespace db::sqlite {
namespace {

struct TextHash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const { return std::hash<std::string_view>()(s); }
};

// SQLite's affinity of a declared column type: the last four letters seen decide, "INT"
// anywhere wins at once, and a type without a name has none (blob).
Affinity AffinityOf(const std::string& declared) {
    if (declared.empty()) return Affinity::Blob;
    auto word = [](const char (&w)[5]) {
        return (uint32_t(uint8_t(w[0])) << 24) | (uint32_t(uint8_t(w[1])) << 16) | (uint32_t(uint8_t(w[2])) << 8) |
               uint32_t(uint8_t(w[3]));
    };
    Affinity aff = Affinity::Numeric;
    uint32_t h = 0;
    for (char c : declared) {
        h = (h << 8) + FoldLower(c);
        if (h == word("char") || h == word("clob") || h == word("text")) {
            aff = Affinity::Text;
        } else if (h == word("blob") && (aff == Affinity::Numeric || aff == Affinity::Real)) {
            aff = Affinity::Blob;
        } else if ((h == word("real") || h == word("floa") || h == word("doub")) && aff == Affinity::Numeric) {
            aff = Affinity::Real;
        } else if ((h & 0x00FFFFFF) == ((uint32_t('i') << 16) | (uint32_t('n') << 8) | uint32_t('t'))) {
            return Affinity::Integer;
        }
    }
    return aff;
}

std::string RowidName(const sql::TableInfo& table) {
    for (const char* name : {"rowid", "_rowid_", "oid"})
        if (table.Find(name) < 0) return name;
    return "";
}

std::string Text(sqlite3_stmt* s, int index) {
    const char* p = reinterpret_cast<const char*>(sqlite3_column_text(s, index));
    return std::string(p ? p : "", size_t(sqlite3_column_bytes(s, index)));
}

}  // namespace

// The distinct stored values of one column while the table is read.
struct RawValues {
    std::unordered_map<int64_t, uint32_t> integers;
    std::unordered_map<uint64_t, uint32_t> reals;
    std::unordered_map<std::string, uint32_t, TextHash, std::equal_to<>> texts;
    int64_t nullId = -1;
    std::vector<Cell> cells;
    std::vector<Value> shown;
    bool blob = false;
    bool nulInText = false;
};

std::unique_ptr<ColumnStore> ColumnStore::Load(Connection& conn, const sql::TableInfo& table, std::string& why) {
    {
        // Texts are compared as UTF-8 bytes; a UTF-16 file would order them differently.
        Statement s(conn, "PRAGMA encoding");
        if (!s.Step() || Text(s.get(), 0) != "UTF-8") {
            why = "the database is not UTF-8";
            return nullptr;
        }
    }
    const std::string rowid = RowidName(table);
    if (rowid.empty()) {
        why = "the table's row id has no name";
        return nullptr;
    }
    auto store = std::unique_ptr<ColumnStore>(new ColumnStore());
    store->columns_.resize(table.columns.size());
    {
        Statement s(conn, "SELECT name, type FROM pragma_table_info(?1)");
        BindValue(s.get(), 1, Value(table.name));
        size_t c = 0;
        while (s.Step()) {
            if (c >= table.columns.size() || !sql::SameName(Text(s.get(), 0), table.columns[c].name)) {
                why = "the table changed while it was read";
                return nullptr;
            }
            store->columns_[c++].affinity = AffinityOf(Text(s.get(), 1));
        }
        if (c != table.columns.size()) {
            why = "the table changed while it was read";
            return nullptr;
        }
    }
    {
        // An index can give SQLite a scan in index order, and a floating sum then adds in
        // another order than the row ids'.
        Statement s(conn, "SELECT 1 FROM sqlite_master WHERE type = 'index' AND tbl_name = ?1 COLLATE NOCASE");
        BindValue(s.get(), 1, Value(table.name));
        store->visitOrderKnown_ = !s.Step();
    }

    std::string sql = "SELECT ";
    for (size_t c = 0; c < table.columns.size(); ++c) sql += (c ? ", " : "") + QuoteName(table.columns[c].name);
    sql += " FROM " + QuoteName(table.name) + " ORDER BY " + rowid;

    const size_t n = table.columns.size();
    std::vector<RawValues> raw(n);
    std::vector<std::vector<uint32_t>> ids(n);  // each row's distinct stored value, by column
    for (size_t c = 0; c < n; ++c) {
        Column& col = store->columns_[c];
        col.type = table.columns[c].type;
        col.typed = table.columns[c].typed;
        sql::BoundExpr e;
        e.kind = sql::BoundExpr::Kind::Column;
        e.type = col.type;
        e.typed = col.typed;
        col.ci = sql::IsCaseInsensitive(e);
        col.jetBoolean = sql::IsJetBoolean(e);
        col.single = col.typed && col.type == dbSingle;
    }

    Statement s(conn, sql);
    while (s.Step()) {
        for (size_t c = 0; c < n; ++c) {
            RawValues& r = raw[c];
            const int index = int(c);
            uint32_t id = uint32_t(r.cells.size());
            bool added = false;
            switch (sqlite3_column_type(s.get(), index)) {
                case SQLITE_INTEGER: {
                    auto [it, fresh] = r.integers.try_emplace(sqlite3_column_int64(s.get(), index), id);
                    if (fresh) r.cells.push_back(Cell::Int(it->first));
                    id = it->second;
                    added = fresh;
                    break;
                }
                case SQLITE_FLOAT: {
                    const double d = sqlite3_column_double(s.get(), index);
                    uint64_t bits;
                    std::memcpy(&bits, &d, sizeof bits);
                    auto [it, fresh] = r.reals.try_emplace(bits, id);
                    if (fresh) r.cells.push_back(Cell::Dbl(d));
                    id = it->second;
                    added = fresh;
                    break;
                }
                case SQLITE_TEXT: {
                    const char* p = reinterpret_cast<const char*>(sqlite3_column_text(s.get(), index));
                    const std::string_view text(p ? p : "", size_t(sqlite3_column_bytes(s.get(), index)));
                    auto it = r.texts.find(text);
                    if (it == r.texts.end()) {
                        // SQLite's NOCASE stops at a zero byte; such texts are left to SQLite.
                        if (text.find('\0') != std::string_view::npos) r.nulInText = true;
                        it = r.texts.emplace(std::string(text), id).first;
                        Cell cell;
                        cell.cls = Cell::Text;
                        cell.text = std::string(text);
                        r.cells.push_back(std::move(cell));
                        added = true;
                    }
                    id = it->second;
                    break;
                }
                case SQLITE_BLOB:
                    r.blob = true;
                    [[fallthrough]];
                default:
                    if (r.nullId < 0) {
                        r.nullId = id;
                        r.cells.emplace_back();
                        added = true;
                    }
                    id = uint32_t(r.nullId);
                    break;
            }
            // The cell the SQLite path would show for this value, read as that path reads it.
            if (added) r.shown.push_back(ReadCell(s.get(), index, table.columns[c].type, table.columns[c].typed));
            ids[c].push_back(id);
        }
        ++store->rows_;
        if (store->rows_ >= UINT32_MAX) {
            why = "the table has too many rows";
            return nullptr;
        }
    }
    for (size_t c = 0; c < n; ++c) Code(store->columns_[c], raw[c], ids[c]);
    store->allRows_.resize(store->rows_);
    std::iota(store->allRows_.begin(), store->allRows_.end(), 0u);
    return store;
}

// Numbers the column's groups in the order the SQLite path sorts them and recodes its rows.
void ColumnStore::Code(Column& col, RawValues& raw, std::vector<uint32_t>& ids) {
    if (raw.blob) col.unusable = "the column holds blobs";
    if (raw.nulInText) col.unusable = "the column holds a text with a zero byte";
    std::vector<Cell>& cells = raw.cells;
    // A Single column groups, orders and compares at single precision (jet_single).
    if (col.single)
        for (Cell& c : cells)
            if (c.IsNumber()) c = Cell::Dbl(double(float(c.cls == Cell::Integer ? double(c.i) : c.d)));

    std::vector<uint32_t> order(cells.size());
    std::iota(order.begin(), order.end(), 0u);
    std::sort(order.begin(), order.end(),
              [&](uint32_t a, uint32_t b) { return CompareCells(cells[a], cells[b], col.ci) < 0; });

    // Groups: runs of values equal under the order. A number group must hold one value as
    // stored (1 and 1.0 would group as one and show whichever row SQLite met last); a text
    // group without regard to case shows its smallest spelling in byte order.
    std::vector<uint32_t> codeOf(cells.size());
    std::vector<uint32_t> representative;
    for (size_t k = 0; k < order.size(); ++k) {
        const uint32_t id = order[k];
        if (k > 0 && CompareCells(cells[order[k - 1]], cells[id], col.ci) == 0) {
            uint32_t& rep = representative.back();
            // A Boolean shows its Jet value, the same for 1 and 1.0.
            if (cells[id].cls != Cell::Text && !col.jetBoolean && !Identical(cells[id], cells[rep]))
                col.unusable = "values stored differently group as one";
            if (cells[id].cls == Cell::Text) {
                col.variants = true;
                if (cells[id].text < cells[rep].text) rep = id;
            }
        } else {
            representative.push_back(id);
        }
        codeOf[id] = uint32_t(representative.size() - 1);
        if (cells[id].cls == Cell::Text) col.hasText = true;
    }

    if (col.jetBoolean) {
        // Groups by the Jet value, as the SQLite path does: every non-zero number is one True
        // group (another tool may store True as 1, -1 or 2), zero is False. Ordered Null
        // first, then True (-1), then False (0); each group shows Value(true) or Value(false)
        // whichever stored number stands for it.
        for (uint32_t rep : representative)
            if (cells[rep].cls == Cell::Text) col.unusable = "a Boolean column holds texts";
        if (col.unusable.empty()) {
            enum : uint32_t { kNull, kTrue, kFalse };
            constexpr uint32_t kNone = UINT32_MAX;  // no stored value has this Jet value
            std::vector<uint32_t> slotOf(representative.size());
            uint32_t repOf[3] = {kNone, kNone, kNone};
            for (size_t g = 0; g < representative.size(); ++g) {
                const Cell& c = cells[representative[g]];
                const uint32_t slot = c.cls == Cell::Null ? kNull : c.Number() != 0 ? kTrue : kFalse;
                slotOf[g] = slot;
                if (repOf[slot] == kNone) repOf[slot] = representative[g];
            }
            uint32_t newCode[3] = {0, 0, 0};
            std::vector<uint32_t> merged;
            for (uint32_t slot : {kNull, kTrue, kFalse})
                if (repOf[slot] != kNone) {
                    newCode[slot] = uint32_t(merged.size());
                    merged.push_back(repOf[slot]);
                }
            for (uint32_t& c : codeOf) c = newCode[slotOf[c]];
            representative = std::move(merged);
        }
    }

    if (col.variants) {
        std::vector<uint32_t> binary(cells.size());
        std::iota(binary.begin(), binary.end(), 0u);
        std::sort(binary.begin(), binary.end(),
                  [&](uint32_t a, uint32_t b) { return CompareCells(cells[a], cells[b], false) < 0; });
        std::vector<uint32_t> rank(cells.size());
        for (size_t k = 0; k < binary.size(); ++k) {
            rank[binary[k]] = uint32_t(k);
            col.spellingShown.push_back(raw.shown[binary[k]]);
        }
        col.spellings.reserve(ids.size());
        for (uint32_t id : ids) col.spellings.push_back(rank[id]);
    }

    col.cells.reserve(representative.size());
    col.shown.reserve(representative.size());
    for (uint32_t id : representative) {
        col.cells.push_back(cells[id]);
        col.shown.push_back(raw.shown[id]);
    }
    for (uint32_t& id : ids) id = codeOf[id];
    col.codes.Assign(ids, representative.size());
    ids = std::vector<uint32_t>();
    raw = RawValues();
}

}  // namespace db::sqlite
