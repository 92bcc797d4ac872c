// The dictionary-coded copy of a SQLite table and the count queries it answers (see
// column_store.h for what it answers and when it leaves a query to SQLite). The rules it mirrors
// are those of the SQLite rendering of a bound query (sqlite_render.cpp) as SQLite 3 evaluates
// it: Null sorts first, then numbers by value (an integer and a real compared exactly), then
// texts by the collation, NOCASE folding ASCII letters only; GROUP BY forms one group per value
// equal under that order; sum() keeps an exact integer total until it meets a real, and adds
// reals one after the other in the order the scan visits the rows.
#include "platform/db/column_store.h"

#include <fmt/format.h>

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <numeric>
#include <string_view>
#include <unordered_map>

#include "platform/db/column_types.h"
#include "platform/vb/strings.h"

namespace db::sqlite {
namespace {

// Integers and reals are compared in long double, which holds every 64-bit integer and every
// double exactly, as SQLite compares them.
static_assert(std::numeric_limits<long double>::digits >= 64, "long double must hold a 64-bit integer exactly");

// ---- values as the rendered SQL sees them ----

// A value as SQLite holds it (blobs never reach a coded column).
struct Cell {
    enum Class : uint8_t { Null, Integer, Real, Text };
    Class cls = Null;
    int64_t i = 0;
    double d = 0;
    std::string text;

    static Cell Int(int64_t v) {
        Cell c;
        c.cls = Integer;
        c.i = v;
        return c;
    }
    static Cell Dbl(double v) {
        Cell c;
        c.cls = Real;
        c.d = v;
        return c;
    }
    bool IsNumber() const { return cls == Integer || cls == Real; }
    long double Number() const { return cls == Integer ? static_cast<long double>(i) : static_cast<long double>(d); }
};

template <typename T>
int Sign(const T& a, const T& b) {
    return a < b ? -1 : (b < a ? 1 : 0);
}

int CompareNumbers(const Cell& a, const Cell& b) {
    if (a.cls == Cell::Integer && b.cls == Cell::Integer) return Sign(a.i, b.i);
    if (a.cls == Cell::Real && b.cls == Cell::Real) return Sign(a.d, b.d);
    return Sign(a.Number(), b.Number());
}

unsigned char FoldLower(char c) {
    const auto u = static_cast<unsigned char>(c);
    return (u >= 'A' && u <= 'Z') ? static_cast<unsigned char>(u + ('a' - 'A')) : u;
}

// BINARY: bytes, then the shorter first. NOCASE: the same with ASCII capitals folded to lower
// case (so "_" sorts before "a", as SQLite has it).
int CompareText(std::string_view a, std::string_view b, bool nocase) {
    if (!nocase) return Sign(a.compare(b), 0);
    const size_t n = std::min(a.size(), b.size());
    for (size_t k = 0; k < n; ++k) {
        const unsigned char x = FoldLower(a[k]), y = FoldLower(b[k]);
        if (x != y) return x < y ? -1 : 1;
    }
    return Sign(a.size(), b.size());
}

int ClassRank(const Cell& c) { return c.cls == Cell::Null ? 0 : c.cls == Cell::Text ? 2 : 1; }

// SQLite's order of two values: Null, numbers, texts.
int CompareCells(const Cell& a, const Cell& b, bool nocase) {
    const int ra = ClassRank(a), rb = ClassRank(b);
    if (ra != rb) return Sign(ra, rb);
    if (ra == 1) return CompareNumbers(a, b);
    if (ra == 2) return CompareText(a.text, b.text, nocase);
    return 0;
}

bool Identical(const Cell& a, const Cell& b) {
    if (a.cls != b.cls) return false;
    switch (a.cls) {
        case Cell::Integer: return a.i == b.i;
        case Cell::Real: return std::memcmp(&a.d, &b.d, sizeof a.d) == 0;
        case Cell::Text: return a.text == b.text;
        default: return true;
    }
}

// ---- column affinity ----

enum class Affinity : uint8_t { Blob, Text, Numeric, Integer, Real };

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

// ---- sum() as SQLite computes it ----

struct SumState {
    int64_t count = 0;
    int64_t exact = 0;    // the integer total while no real and no overflow was met
    double approx = 0;    // every value added as a double, in visiting order
    bool inexact = false; // a real was added (or the integer total overflowed)
    bool overflow = false;

    void Add(const Cell& v) {
        if (v.cls == Cell::Null) return;
        ++count;
        if (v.cls == Cell::Integer) {
            approx += static_cast<double>(v.i);
            if (!inexact && !overflow && __builtin_add_overflow(exact, v.i, &exact)) inexact = overflow = true;
        } else {
            approx += v.d;
            inexact = true;
        }
    }
};

// SQLite from 3.43 adds reals with a compensated sum; the store copies the plain one and leaves
// inexact sums of other versions to SQLite.
bool PlainRealSums() { return sqlite3_libversion_number() < 3043000; }

struct TextHash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const { return std::hash<std::string_view>()(s); }
};

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

// A column's code of each row, in the narrowest width its number of codes allows: most fields
// have a few values, and a byte a cell keeps the counting pass in the cache.
class Codes {
public:
    void Assign(const std::vector<uint32_t>& codes, size_t distinct) {
        width_ = distinct <= 256 ? 1 : distinct <= 65536 ? 2 : 4;
        if (width_ == 1) w8_.assign(codes.begin(), codes.end());
        else if (width_ == 2) w16_.assign(codes.begin(), codes.end());
        else w32_ = codes;
    }
    uint32_t operator[](size_t row) const { return width_ == 1 ? w8_[row] : width_ == 2 ? w16_[row] : w32_[row]; }
    // Calls f with a pointer to the codes in their width.
    template <typename F>
    void Visit(F&& f) const {
        if (width_ == 1) f(w8_.data());
        else if (width_ == 2) f(w16_.data());
        else f(w32_.data());
    }

private:
    int width_ = 4;
    std::vector<uint8_t> w8_;
    std::vector<uint16_t> w16_;
    std::vector<uint32_t> w32_;
};

// Orders groups by their keys (distinct): a byte-wise radix sort over the bytes the largest key
// uses, which on the thousand groups of a wide table's count is several times quicker than
// comparisons; few groups go by comparisons.
void SortByKey(std::vector<std::pair<uint64_t, uint32_t>>& groups, std::vector<std::pair<uint64_t, uint32_t>>& scratch) {
    if (groups.size() < 128) {
        std::sort(groups.begin(), groups.end());
        return;
    }
    uint64_t largest = 0;
    for (const auto& g : groups) largest = std::max(largest, g.first);
    scratch.resize(groups.size());
    for (int shift = 0; shift < 64 && (largest >> shift) != 0; shift += 8) {
        size_t start[257] = {};
        for (const auto& g : groups) ++start[((g.first >> shift) & 0xFF) + 1];
        for (size_t b = 1; b < 257; ++b) start[b] += start[b - 1];
        for (const auto& g : groups) scratch[start[(g.first >> shift) & 0xFF]++] = g;
        groups.swap(scratch);
    }
}

// Plain counts over a key range no wider than kInPlaceRange and a few times the rows are counted
// in an array over the range: clearing and reading it off costs no more than the rows. Over a
// wider range the keys themselves are sorted, in room as large as the keys: either way the work
// and the memory grow with the rows, never with the product of the fields' values.
constexpr uint64_t kInPlaceRange = uint64_t(1) << 22;  // 16 MB of counters at most
constexpr uint64_t kInPlacePerRow = 4;
bool CountedInPlace(size_t rows, uint64_t radix) {
    return radix <= kInPlaceRange && radix <= kInPlacePerRow * uint64_t(rows);
}
// Keys of a product of radixes up to 2^32 are made and sorted at 32 bits, half the memory
// traffic of the 64-bit keys.
constexpr uint64_t kNarrowRadix = uint64_t(1) << 32;
// A row list holding at least this share of the table has its keys made over every row, in
// contiguous passes the compiler vectorises, and gathered once; sparser lists gather each digit.
constexpr size_t kKeysOverAllRows = 2;  // rows x 2 >= the table's rows
// Keys are made a block of rows at a time, every digit over one block before the next: the
// block's keys (8 KB) stay in the first-level cache instead of crossing memory once a digit.
constexpr size_t kKeyBlock = 2048;
constexpr uint32_t kHalfRadix = uint32_t(1) << 16;

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

// ---- the store of one table ----

class ColumnStore {
public:
    // Reads the table (SELECT only); nothing, with the reason, when it cannot be coded.
    static std::unique_ptr<ColumnStore> Load(Connection& conn, const sql::TableInfo& table, std::string& why);
    std::optional<std::vector<Value>> Answer(const sql::BoundSelect& q, std::string& why);

    struct Prepared;
    // The engines' counts (GroupCounter): the bound grouping read once, then any few of its
    // fields counted with the same filter and count expression.
    std::unique_ptr<Prepared> Prepare(const sql::BoundSelect& q, std::string& why);
    GroupCounter::Outcome Count(const Prepared& p, const std::vector<int>& fields, int64_t maxGroups,
                                GroupCountResult& out);
    const std::vector<Value>* Shown(const Prepared& p, int field) const;

private:
    struct Column {
        FieldType type = dbText;
        bool typed = true;
        bool ci = false;          // groups, orders and compares texts without regard to case
        bool jetBoolean = false;  // orders True before False, compares as -1 / 0
        bool single = false;      // seen at single precision
        Affinity affinity = Affinity::Blob;
        std::string unusable;     // why no query over it can be answered here; "" when it can
        bool hasText = false;     // Sum would meet a text
        Codes codes;               // per row
        std::vector<Cell> cells;   // per code: the value the SQL sees (a Single column's rounded)
        std::vector<Value> shown;  // per code: the cell a grouped query shows
        // A column whose groups hold several spellings shows, for each result row, the
        // smallest spelling among that row's own rows: spellings is the rank in byte order of
        // each row's stored value, spellingShown the cell of each rank.
        bool variants = false;
        std::vector<uint32_t> spellings;
        std::vector<Value> spellingShown;
    };

    struct Term {
        enum class Kind : uint8_t { Compare, IsNull, IsNotNull } kind = Kind::Compare;
        int column = -1;
        sql::CompareOp op = sql::CompareOp::Eq;
        sql::CompareMode mode = sql::CompareMode::Plain;
        Cell literal;
    };

    // A result column of a grouped query.
    enum class ItemKind : uint8_t { Count, CountColumn, Sum, Group };
    struct Item {
        ItemKind kind = ItemKind::Count;
        int column = -1;
        FieldType type = dbLong;
        bool typed = true;
        size_t sum = 0;  // index of its SumState
    };

    // The groups one counting pass found, in the order it met them.
    struct Groups {
        // The counts were read off a range of keys: a group's codes come back from its key.
        bool decodable = false;
        std::vector<uint64_t> key;
        std::vector<uint32_t> firstRow;
        std::vector<int64_t> count;
        std::vector<SumState> sums;                     // group g's at g x (Sum items) + Item::sum
        std::vector<std::vector<int64_t>> columnCount;  // per Count(column) item, per group
        std::vector<const Column*> spelled;             // grouping columns with several spellings
        std::vector<std::vector<uint32_t>> smallest;    // their smallest spelling per group
    };

    static void Code(Column& col, RawValues& raw, std::vector<uint32_t>& ids);
    bool TermsOf(const sql::BoundExpr& e, std::vector<Term>& out, std::string& why) const;
    std::vector<uint8_t> Mask(const Term& t) const;
    const std::vector<uint32_t>& Select(const std::vector<Term>& terms);
    // The steps of Answer: which columns group and in which order their codes make the key,
    // what each result column is, the key of every selected row, one counting pass over the
    // rows, and the result read off the groups in key order.
    bool Usable(int c, std::string& why) const;
    bool Grouping(const sql::BoundSelect& q, std::vector<int>& groupColumns, std::vector<int>& digits,
                  std::string& why) const;
    bool ResultItems(const sql::BoundSelect& q, const std::vector<int>& groupColumns, std::vector<Item>& items,
                     std::string& why) const;
    bool ItemOf(const sql::BoundItem& bi, const std::vector<int>& groupColumns, size_t& sums, Item& it,
                std::string& why) const;
    bool GroupKeys(const std::vector<uint32_t>& rows, const std::vector<int>& digits, uint64_t& radix);
    // spellings: each group's smallest spelling of the columns that have several (the query
    // text shows them; the engines' counts need only the codes).
    const Groups& CountGroups(const std::vector<uint32_t>& rows, uint64_t radix, bool ranked,
                              const std::vector<Item>& items, const std::vector<int>& groupColumns,
                              bool spellings = true);
    // The mixed-radix key of every selected row into narrowKeys_, when the product of the
    // digits' radixes is at most 2^32.
    void NarrowKeys(const std::vector<uint32_t>& rows, const std::vector<int>& digits);
    // The groups of a plain count over n keys (below radix, not ranked) into the key and count
    // of groups_, in key order; the keys are left in any order, and scratch holds the room a
    // sort of them needs.
    template <typename Key>
    void PlainGroups(Key* keys, std::vector<Key>& scratch, size_t n, uint64_t radix);
    // Is the sum a result can show? A sum that overflows or that the store cannot add in SQLite's
    // order is not; why says so.
    bool SumShown(const SumState& st, std::string& why) const;
    std::optional<std::vector<Value>> Result(const Groups& groups, const std::vector<Item>& items,
                                             const std::vector<int>& digits, std::string& why) const;

    size_t rows_ = 0;
    bool visitOrderKnown_ = true;  // no index could make SQLite visit a group's rows in another order
    std::vector<Column> columns_;
    std::vector<uint32_t> allRows_;
    // Rows passing a WHERE, by its terms; shared with the counters that filter by it.
    std::map<std::string, std::shared_ptr<const std::vector<uint32_t>>> selections_;
    // Scratch of the counting pass, kept so that each query does not allocate it again.
    std::vector<uint64_t> keys_;
    std::vector<uint32_t> dense_;
    std::vector<std::pair<uint64_t, uint32_t>> hash_;
    Groups groups_;
    std::vector<int> digits_;
    std::vector<size_t> digitOfField_;
    std::vector<std::pair<uint64_t, uint32_t>> byKey_, sortScratch_;
    // The plain counts' keys at half the width, and the keys' sorting room.
    std::vector<uint64_t> sortedKeys_;
    std::vector<uint32_t> narrowKeys_, sortedNarrowKeys_;
};

struct ColumnStore::Prepared {
    std::vector<int> column;  // per field: its column, -1 when no count over it can be answered
    std::vector<Item> count;  // the one count item
    bool allRows = true;
    std::shared_ptr<const std::vector<uint32_t>> rows;  // the rows passing the filter, unless allRows
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

// ---- WHERE ----

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

// ---- the count ----

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

// The group key of every selected row into keys_: the codes of the digits in mixed radix. When
// the product of the radixes would pass 2^62, the key so far is replaced by its rank among the
// distinct keys, which keeps the order and bounds the radix by the number of rows. Leaves the
// product of the radixes in `radix`; returns whether the keys were ranked.
bool ColumnStore::GroupKeys(const std::vector<uint32_t>& rows, const std::vector<int>& digits, uint64_t& radix) {
    const size_t n = rows.size();
    const bool allRows = n == rows_;
    std::vector<uint64_t>& keys = keys_;
    keys.resize(n);
    // The first digit that has more than one code writes the keys; until then they are 0.
    bool anyDigit = false;
    for (int c : digits) anyDigit = anyDigit || columns_[size_t(c)].cells.size() > 1;
    if (!anyDigit) std::fill(keys.begin(), keys.end(), 0);
    radix = 1;
    bool ranked = false;
    constexpr uint64_t kKeyLimit = uint64_t(1) << 62;
    for (int c : digits) {
        const uint64_t k = std::max<uint64_t>(columns_[size_t(c)].cells.size(), 1);
        if (k == 1) continue;
        if (radix > kKeyLimit / k) {
            std::vector<uint64_t> distinct(keys);
            std::sort(distinct.begin(), distinct.end());
            distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
            for (uint64_t& key : keys)
                key = uint64_t(std::lower_bound(distinct.begin(), distinct.end(), key) - distinct.begin());
            radix = std::max<uint64_t>(distinct.size(), 1);
            ranked = true;
        }
        const bool first = radix == 1;
        columns_[size_t(c)].codes.Visit([&](const auto* codes) {
            if (first && allRows) {
                for (size_t i = 0; i < n; ++i) keys[i] = codes[i];
            } else if (first) {
                for (size_t i = 0; i < n; ++i) keys[i] = codes[rows[i]];
            } else if (allRows) {
                for (size_t i = 0; i < n; ++i) keys[i] = keys[i] * k + codes[i];
            } else {
                for (size_t i = 0; i < n; ++i) keys[i] = keys[i] * k + codes[rows[i]];
            }
        });
        radix *= k;
    }
    return ranked;
}

namespace {

// keys = keys x radix + codes over contiguous rows, in blocks of a fixed length that the compiler
// turns into vector code.
template <typename Key, typename Code>
void AddDigit(Key* __restrict keys, const Code* __restrict codes, size_t n, uint32_t radix) {
    const Key r = Key(radix);
    size_t i = 0;
    for (; i + 16 <= n; i += 16)
        for (size_t j = 0; j < 16; ++j) keys[i + j] = Key(keys[i + j] * r + codes[i + j]);
    for (; i < n; ++i) keys[i] = Key(keys[i] * r + codes[i]);
}

}  // namespace

void ColumnStore::NarrowKeys(const std::vector<uint32_t>& rows, const std::vector<int>& digits) {
    const size_t n = rows.size();
    if (narrowKeys_.size() < n) narrowKeys_.resize(n);
    uint32_t* out = narrowKeys_.data();
    const Column* active[64];
    size_t d = 0;
    for (int c : digits)
        if (columns_[size_t(c)].cells.size() > 1) active[d++] = &columns_[size_t(c)];
    if (d == 0) {
        std::fill(out, out + n, 0u);
        return;
    }
    // The leading digits whose radixes multiply to at most 2^16 are added at 16 bits, twice the
    // lanes of a vector and a native multiply.
    size_t half = 0;
    for (uint32_t product = 1; half < d && product * active[half]->cells.size() <= kHalfRadix; ++half)
        product *= uint32_t(active[half]->cells.size());
    // keys[0, len) of the rows from `first` on, a digit at a time.
    uint16_t halfKeys[kKeyBlock];
    auto inRun = [&](uint32_t* keys, size_t first, size_t len) {
        auto add = [&](auto* into, size_t from, size_t to) {
            for (size_t k = from; k < to; ++k)
                active[k]->codes.Visit([&](const auto* codes) {
                    if (k == 0) std::copy(codes + first, codes + first + len, into);
                    else AddDigit(into, codes + first, len, uint32_t(active[k]->cells.size()));
                });
        };
        if (half > 1) {
            add(halfKeys, 0, half);
            std::copy(halfKeys, halfKeys + len, keys);
            add(keys, half, d);
        } else {
            add(keys, 0, d);
        }
    };
    // Rows that lie in one run (all rows among them) are read in place; a dense list has the keys
    // of a block of rows made in place and the listed ones picked out (one gather, not one a
    // digit); a sparse one gathers each digit's codes through the list. Either way the keys are
    // made a block at a time, so that the passes of the digits find them in the cache.
    const bool run = n == 0 || size_t(rows.back() - rows.front()) + 1 == n;
    const bool overAll = !run && d > 1 && n * kKeysOverAllRows >= rows_;
    if (run) {
        for (size_t i = 0; i < n; i += kKeyBlock) inRun(out + i, rows.front() + i, std::min(kKeyBlock, n - i));
    } else if (overAll) {
        uint32_t block[kKeyBlock];
        for (size_t i = 0; i < n;) {
            const size_t first = rows[i], len = std::min(kKeyBlock, rows_ - first);
            inRun(block, first, len);
            for (const size_t end = first + len; i < n && rows[i] < end; ++i) out[i] = block[rows[i] - first];
        }
    } else {
        for (size_t i = 0; i < n; i += kKeyBlock) {
            uint32_t* keys = out + i;
            const uint32_t* at = rows.data() + i;
            const size_t len = std::min(kKeyBlock, n - i);
            for (size_t k = 0; k < d; ++k) {
                const uint32_t radix = uint32_t(active[k]->cells.size());
                active[k]->codes.Visit([&](const auto* codes) {
                    if (k == 0) for (size_t j = 0; j < len; ++j) keys[j] = codes[at[j]];
                    else for (size_t j = 0; j < len; ++j) keys[j] = keys[j] * radix + codes[at[j]];
                });
            }
        }
    }
}

// One pass over the selected rows (keys_ holds their keys): each group's count, Count(column)s,
// sums and smallest spellings.
const ColumnStore::Groups& ColumnStore::CountGroups(const std::vector<uint32_t>& rows, uint64_t radix, bool ranked,
                                                    const std::vector<Item>& items,
                                                    const std::vector<int>& groupColumns, bool spellings) {
    const size_t n = rows.size();
    const std::vector<uint64_t>& keys = keys_;
    Groups& out = groups_;
    out.decodable = false;
    out.key.clear();
    out.firstRow.clear();
    out.count.clear();
    out.sums.clear();
    out.columnCount.clear();
    out.spelled.clear();
    out.smallest.clear();
    std::vector<const Item*> sumItems, countColumnItems;
    for (const Item& it : items) {
        if (it.kind == ItemKind::Sum) sumItems.push_back(&it);
        if (it.kind == ItemKind::CountColumn) countColumnItems.push_back(&it);
    }
    out.columnCount.resize(countColumnItems.size());
    for (int c : groupColumns)
        if (spellings && columns_[size_t(c)].variants) out.spelled.push_back(&columns_[size_t(c)]);
    out.smallest.resize(out.spelled.size());

    // Plain counts, the common query: the groups come in key order with their sizes, and each
    // group's codes are read back from its key.
    out.decodable = !ranked && sumItems.empty() && countColumnItems.empty() &&
                    out.spelled.empty();
    if (out.decodable) {
        PlainGroups(keys_.data(), sortedKeys_, n, radix);
        // A query without grouping columns has one row even over no rows.
        if (groupColumns.empty() && out.key.empty()) {
            out.key.push_back(0);
            out.firstRow.push_back(0);
            out.count.push_back(0);
        }
        return out;
    }

    // Otherwise one pass in row-id order: each row finds its group (a slot array over small
    // key ranges, an open-addressing table over large ones) and adds to its counts and sums,
    // so each sum adds its values in the order SQLite's scan meets them.
    auto newGroup = [&](uint64_t key, uint32_t row) {
        out.key.push_back(key);
        out.firstRow.push_back(row);
        out.count.push_back(0);
        out.sums.resize(out.sums.size() + sumItems.size());
        for (auto& cc : out.columnCount) cc.push_back(0);
        for (auto& sm : out.smallest) sm.push_back(UINT32_MAX);
        return uint32_t(out.key.size() - 1);
    };
    auto addRow = [&](uint32_t g, uint32_t row) {
        ++out.count[g];
        for (size_t s = 0; s < sumItems.size(); ++s) {
            const Column& col = columns_[size_t(sumItems[s]->column)];
            const Cell& v = col.cells[col.codes[row]];
            SumState& st = out.sums[size_t(g) * sumItems.size() + s];
            if (col.jetBoolean) {
                // Sum of a Boolean adds its Jet value: -1 for True, 0 for False.
                if (v.cls != Cell::Null) st.Add(Cell::Int(v.Number() != 0 ? -1 : 0));
            } else {
                st.Add(v);
            }
        }
        for (size_t k = 0; k < countColumnItems.size(); ++k) {
            const Column& col = columns_[size_t(countColumnItems[k]->column)];
            if (col.cells[col.codes[row]].cls != Cell::Null) ++out.columnCount[k][g];
        }
        for (size_t k = 0; k < out.spelled.size(); ++k)
            out.smallest[k][g] = std::min(out.smallest[k][g], out.spelled[k]->spellings[row]);
    };

    if (radix <= std::max<uint64_t>(4 * uint64_t(n), 4096) && radix <= (uint64_t(1) << 22)) {
        if (dense_.size() < radix) dense_.assign(radix, 0);
        for (size_t i = 0; i < n; ++i) {
            uint32_t& slot = dense_[keys[i]];
            if (slot == 0) slot = newGroup(keys[i], rows[i]) + 1;
            addRow(slot - 1, rows[i]);
        }
        for (uint64_t key : out.key) dense_[key] = 0;
    } else {
        size_t capacity = 1024;
        auto rebuild = [&](size_t cap) {
            hash_.assign(cap, {UINT64_MAX, 0});
            for (size_t g = 0; g < out.key.size(); ++g) {
                size_t h = size_t(out.key[g] * 0x9E3779B97F4A7C15ull) & (cap - 1);
                while (hash_[h].first != UINT64_MAX) h = (h + 1) & (cap - 1);
                hash_[h] = {out.key[g], uint32_t(g)};
            }
        };
        rebuild(capacity);
        for (size_t i = 0; i < n; ++i) {
            const uint64_t key = keys[i];
            size_t h = size_t(key * 0x9E3779B97F4A7C15ull) & (capacity - 1);
            while (hash_[h].first != UINT64_MAX && hash_[h].first != key) h = (h + 1) & (capacity - 1);
            uint32_t g;
            if (hash_[h].first == key) {
                g = hash_[h].second;
            } else {
                g = newGroup(key, rows[i]);
                hash_[h] = {key, g};
                if (out.key.size() * 2 > capacity) {
                    capacity *= 2;
                    rebuild(capacity);
                }
            }
            addRow(g, rows[i]);
        }
    }
    // A query without grouping columns has one row even over no rows.
    if (groupColumns.empty() && out.key.empty()) newGroup(0, 0);
    return out;
}

// The groups of the engines' plain counts: only each group's key and size, in key order. A key
// range no wider than a few times the rows is counted in place (in four interleaved arrays when
// many rows share few keys, so that consecutive rows do not wait on the same counter) and read
// off in key order; the keys of a wider range are sorted (a radix sort over the bytes in which
// they differ) and their runs counted. Either way the work and the clearing grow with the rows,
// not with the product of the fields' values.
template <typename Key>
void ColumnStore::PlainGroups(Key* keys, std::vector<Key>& scratch, size_t n, uint64_t radix) {
    Groups& out = groups_;
    out.decodable = true;
    out.key.clear();
    out.count.clear();
    if (n == 0) return;
    // Room for the groups (and the one slot past them that the read-off writes).
    auto room = [&](size_t groups) {
        if (out.key.size() <= groups) {
            out.key.resize(groups + 1);
            out.count.resize(groups + 1);
        }
    };
    size_t g = 0;
    if (CountedInPlace(n, radix)) {
        const size_t range = size_t(radix);
        const size_t lanes = range <= 4096 && 16 * range <= n ? 4 : 1;
        if (dense_.size() < lanes * range) dense_.assign(lanes * range, 0);
        uint32_t* counts = dense_.data();
        size_t i = 0;
        if (lanes == 4) {
            for (; i + 4 <= n; i += 4) {
                ++counts[keys[i]];
                ++counts[range + keys[i + 1]];
                ++counts[2 * range + keys[i + 2]];
                ++counts[3 * range + keys[i + 3]];
            }
            for (size_t key = 0; key < range; ++key)
                counts[key] += counts[range + key] + counts[2 * range + key] + counts[3 * range + key];
            std::fill(counts + range, counts + 4 * range, 0u);
        }
        for (; i < n; ++i) ++counts[keys[i]];
        size_t groups = 0;
        for (size_t key = 0; key < range; ++key) groups += counts[key] != 0;
        room(groups);
        uint64_t* groupKey = out.key.data();
        int64_t* groupCount = out.count.data();
        // Every slot written, the next group's only where the count is not 0: no branch a key.
        for (size_t key = 0; key < range; ++key) {
            const uint32_t c = counts[key];
            groupKey[g] = key;
            groupCount[g] = c;
            g += c != 0;
        }
        std::fill(counts, counts + range, 0u);
        out.key.resize(g);
        out.count.resize(g);
        return;
    }

    Key* src = keys;
    if (n >= 64 && scratch.size() < n) scratch.resize(n);
    Key* dst = scratch.data();
    if (n < 64) {
        for (size_t i = 1; i < n; ++i) {
            const Key k = src[i];
            size_t j = i;
            for (; j > 0 && src[j - 1] > k; --j) src[j] = src[j - 1];
            src[j] = k;
        }
    } else {
        const int bytes = int(std::bit_width(radix - 1) + 7) / 8;
        uint32_t hist[sizeof(Key)][256];
        std::memset(hist, 0, sizeof(hist[0]) * size_t(bytes));
        for (size_t i = 0; i < n; ++i) {
            const Key k = src[i];
            for (int b = 0; b < bytes; ++b) ++hist[b][(k >> (8 * b)) & 0xFF];
        }
        for (int b = 0; b < bytes; ++b) {
            uint32_t* start = hist[b];
            const int shift = 8 * b;
            if (start[(src[0] >> shift) & 0xFF] == n) continue;  // every key has this byte
            uint32_t sum = 0;
            for (int v = 0; v < 256; ++v) {
                const uint32_t c = start[v];
                start[v] = sum;
                sum += c;
            }
            for (size_t i = 0; i < n; ++i) dst[start[(src[i] >> shift) & 0xFF]++] = src[i];
            std::swap(src, dst);
        }
    }
    room(n);
    uint64_t* groupKey = out.key.data();
    int64_t* groupCount = out.count.data();
    Key key = src[0];
    uint32_t c = 1;
    for (size_t i = 1; i < n; ++i) {
        if (src[i] == key) {
            ++c;
            continue;
        }
        groupKey[g] = key;
        groupCount[g++] = c;
        key = src[i];
        c = 1;
    }
    groupKey[g] = key;
    groupCount[g++] = c;
    out.key.resize(g);
    out.count.resize(g);
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

// The same groups, in the same order, as Answer over the query text; each group's codes read
// back from its key (or its first row) and its count read as the text's count cell reads.
GroupCounter::Outcome ColumnStore::Count(const Prepared& p, const std::vector<int>& fields, int64_t maxGroups,
                                         GroupCountResult& out) {
    digits_.clear();
    digitOfField_.clear();
    for (int f : fields) {
        if (f < 0 || size_t(f) >= p.column.size() || p.column[size_t(f)] < 0) return GroupCounter::Outcome::Declined;
        const int c = p.column[size_t(f)];
        const auto at = std::find(digits_.begin(), digits_.end(), c);
        digitOfField_.push_back(size_t(at - digits_.begin()));
        if (at == digits_.end()) digits_.push_back(c);
    }
    const size_t m = fields.size(), d = digits_.size();
    if (d > 64) return GroupCounter::Outcome::Declined;
    const std::vector<uint32_t>& rows = p.allRows ? allRows_ : *p.rows;
    const Item& it = p.count[0];
    // The count cell as ReadNumber makes it, then read as a number; a Count(*) of a Long reads
    // as itself.
    const bool plainCell = it.kind == ItemKind::Count && (!it.typed || it.type == dbLong);
    auto read = [](const std::optional<Value>& cell, double& into) {
        if (!cell || cell->IsNull()) return false;
        try {
            into = cell->ToDouble();
        } catch (const std::exception&) {
            return false;
        }
        return true;
    };

    uint64_t radix = 1;
    for (int c : digits_) {
        const uint64_t k = std::max<uint64_t>(columns_[size_t(c)].cells.size(), 1);
        radix = radix > kNarrowRadix / k ? UINT64_MAX : radix * k;
    }
    const bool narrow = radix <= kNarrowRadix;
    const bool plain = it.kind == ItemKind::Count && d > 0;
    bool ranked = false;
    if (plain && narrow) NarrowKeys(rows, digits_);
    else ranked = GroupKeys(rows, digits_, radix);

    if (plain && !ranked) {
        if (narrow) PlainGroups(narrowKeys_.data(), sortedNarrowKeys_, rows.size(), radix);
        else PlainGroups(keys_.data(), sortedKeys_, rows.size(), radix);
        const size_t n = maxGroups <= 0 ? 0 : size_t(std::min<uint64_t>(uint64_t(maxGroups), groups_.key.size()));
        out.groups = n;
        out.codes.resize(n * m);
        out.counts.resize(n);
        // Each group's codes read back from its key, the last digit first. Keys below 2^32 are
        // divided exactly by a multiply with each radix's rounded-up reciprocal 2^64 / radix.
        uint64_t digitRadix[64], reciprocal[64];
        for (size_t k = 0; k < d; ++k) {
            digitRadix[k] = std::max<uint64_t>(columns_[size_t(digits_[k])].cells.size(), 1);
            reciprocal[k] = digitRadix[k] > 1 ? UINT64_MAX / digitRadix[k] + 1 : 0;
        }
        // A digit at a time over all the groups, so that the groups' divisions do not wait on
        // each other; the keys are divided in place. Each digit goes to the first field that
        // asked for it, and a field asked for again copies it from there.
        size_t place[64];
        for (size_t f = m; f-- > 0;) place[digitOfField_[f]] = f;
        uint32_t* codes = out.codes.data();
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
        for (size_t r = 0; r < n; ++r) {
            const int64_t c = groups_.count[r];
            if (plainCell && c <= INT32_MAX) out.counts[r] = double(c);
            else if (!read(ReadNumber(true, c, double(c), it.type, it.typed), out.counts[r]))
                return GroupCounter::Outcome::Declined;
        }
        return GroupCounter::Outcome::Counted;
    }

    // Sums, and keys ranked past 2^62: the general pass, each group's codes from its first row.
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
    uint32_t code[64];
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
            const int64_t c = groups.count[g];
            if (plainCell && c >= INT32_MIN && c <= INT32_MAX) out.counts[r] = double(c);
            else if (!read(ReadNumber(true, c, double(c), it.type, it.typed), out.counts[r]))
                return GroupCounter::Outcome::Declined;
        } else {
            const SumState& st = groups.sums[g];
            const std::optional<Value> cell = st.inexact ? ReadNumber(false, 0, st.approx, it.type, it.typed)
                                                         : ReadNumber(true, st.exact, double(st.exact), it.type, it.typed);
            if (!read(cell, out.counts[r])) return GroupCounter::Outcome::Declined;
        }
    }
    return GroupCounter::Outcome::Counted;
}

namespace {

// The pager's count of changes to the file, by this connection or any other; -1 when the file
// keeps none.
int64_t FileVersion(Connection& conn) {
    unsigned int v = 0;
    if (sqlite3_file_control(conn.handle(), "main", SQLITE_FCNTL_DATA_VERSION, &v) != SQLITE_OK) return -1;
    return int64_t(v);
}

// A counter over one store: it declines for good once the path was invalidated, the
// connection wrote or the file changed since it was made.
class StoreCounter final : public GroupCounter {
public:
    StoreCounter(const std::shared_ptr<Connection>& conn, std::shared_ptr<ColumnStore> store,
                 std::unique_ptr<ColumnStore::Prepared> prepared, std::shared_ptr<uint64_t> generation,
                 std::shared_ptr<CountingStats> stats)
        : conn_(conn), store_(std::move(store)), prepared_(std::move(prepared)), generation_(std::move(generation)),
          stats_(std::move(stats)),
          madeAt_(*generation_), changes_(sqlite3_total_changes64(conn->handle())), version_(FileVersion(*conn)) {}

    const std::vector<Value>* Values(int f) const override { return store_->Shown(*prepared_, f); }

    Outcome Count(const std::vector<int>& fields, int64_t maxGroups, GroupCountResult& out) override {
        if (!stale_) {
            const std::shared_ptr<Connection> conn = conn_.lock();
            stale_ = !conn || *generation_ != madeAt_ || sqlite3_total_changes64(conn->handle()) != changes_ ||
                     FileVersion(*conn) != version_;
        }
        if (stale_) return Outcome::Stale;
        const Outcome o = store_->Count(*prepared_, fields, maxGroups, out);
        if (o == Outcome::Counted) ++stats_->counted;
        return o;
    }

private:
    std::weak_ptr<Connection> conn_;
    std::shared_ptr<ColumnStore> store_;
    std::unique_ptr<ColumnStore::Prepared> prepared_;
    std::shared_ptr<uint64_t> generation_;
    std::shared_ptr<CountingStats> stats_;
    uint64_t madeAt_;
    int64_t changes_;
    int64_t version_;
    bool stale_ = false;
};

}  // namespace

// ---- the path of one database ----

CountingPath::CountingPath() : enabled_(DefaultEnabled()) {}
CountingPath::~CountingPath() = default;

bool CountingPath::DefaultEnabled() {
    const char* v = std::getenv("BNSUITE_COUNTING");
    return !(v && vb::UCase(v) == "SQLITE");
}

void CountingPath::SetEnabled(bool on) {
    enabled_ = on;
    if (!on) Invalidate();
}

void CountingPath::Invalidate() {
    ++*generation_;
    stores_.clear();
    loadFailure_.clear();
    totalChanges_ = dataVersion_ = -1;
}

std::optional<std::vector<Value>> CountingPath::FallBack(std::string why) {
    ++stats_->fellBack;
    stats_->lastFallback = std::move(why);
    return std::nullopt;
}

std::optional<std::vector<Value>> CountingPath::Answer(Connection& conn, const sql::BoundSelect& q, bool rowidTable) {
    if (!enabled_) return std::nullopt;
    if (!rowidTable) return FallBack("not a rowid table");
    std::string why;
    const std::shared_ptr<ColumnStore> store = Store(conn, q.table, why);
    if (!store) return FallBack(why);
    std::optional<std::vector<Value>> cells = store->Answer(q, why);
    if (!cells) return FallBack(why);
    ++stats_->answered;
    return cells;
}

std::unique_ptr<GroupCounter> CountingPath::Counter(const std::shared_ptr<Connection>& conn,
                                                    const sql::BoundSelect& q, bool rowidTable) {
    if (!enabled_ || !rowidTable || !conn) return nullptr;
    std::string why;
    std::shared_ptr<ColumnStore> store = Store(*conn, q.table, why);
    if (!store) return nullptr;
    std::unique_ptr<ColumnStore::Prepared> prepared = store->Prepare(q, why);
    if (!prepared) return nullptr;
    return std::make_unique<StoreCounter>(conn, std::move(store), std::move(prepared), generation_, stats_);
}

std::shared_ptr<ColumnStore> CountingPath::Store(Connection& conn, const sql::TableInfo& table, std::string& why) {
    // Any change since the stores were read drops them: this connection's own (recordset
    // updates included) moves its change counter, another connection's moves data_version.
    int64_t dataVersion = 0;
    {
        Statement s(conn, "PRAGMA data_version");
        if (s.Step()) dataVersion = sqlite3_column_int64(s.get(), 0);
    }
    const int64_t totalChanges = sqlite3_total_changes64(conn.handle());
    if (dataVersion != dataVersion_ || totalChanges != totalChanges_) {
        Invalidate();
        dataVersion_ = dataVersion;
        totalChanges_ = totalChanges;
    }

    const std::string key = vb::UCase(table.name);
    auto it = stores_.find(key);
    if (it == stores_.end()) {
        std::string failure;
        std::shared_ptr<ColumnStore> store = ColumnStore::Load(conn, table, failure);
        ++stats_->loads;
        it = stores_.emplace(key, std::move(store)).first;
        if (!it->second) loadFailure_[key] = failure;
    }
    if (!it->second) why = "the table could not be coded: " + loadFailure_[key];
    return it->second;
}

}  // namespace db::sqlite
