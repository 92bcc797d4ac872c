// The store of one table and what its parts share (see column_store.h for what it answers and
// when it leaves a query to SQLite). The rules it mirrors are those of the SQLite rendering of a
// bound query (sqlite_render.cpp) as SQLite 3 evaluates it: Null sorts first, then numbers by
// value (an integer and a real compared exactly), then texts by the collation, NOCASE folding
// ASCII letters only; GROUP BY forms one group per value equal under that order; sum() keeps an
// exact integer total until it meets a real, and adds reals one after the other in the order
// the scan visits the rows.
//
// The store's work lies in one file a concern: column_store_coding.cpp reads and codes the
// table, column_store_select.cpp the rows a WHERE keeps, column_store_keys.cpp the group keys
// (their vector passes in column_store_kernels.inc), column_store_groups.cpp the grouping
// passes, column_store_answer.cpp the answers to query texts, column_store_count.cpp the
// engines' counts; column_store.cpp keeps the path of one database and its counters.
#pragma once

#include <fmt/format.h>

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <numeric>
#include <span>
#include <string_view>
#include <unordered_map>

#include "platform/db/column_store.h"
#include "platform/db/column_types.h"
#include "platform/vb/strings.h"

namespace db::sqlite {

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
inline int Sign(const T& a, const T& b) {
    return a < b ? -1 : (b < a ? 1 : 0);
}

inline int CompareNumbers(const Cell& a, const Cell& b) {
    if (a.cls == Cell::Integer && b.cls == Cell::Integer) return Sign(a.i, b.i);
    if (a.cls == Cell::Real && b.cls == Cell::Real) return Sign(a.d, b.d);
    return Sign(a.Number(), b.Number());
}

inline unsigned char FoldLower(char c) {
    const auto u = static_cast<unsigned char>(c);
    return (u >= 'A' && u <= 'Z') ? static_cast<unsigned char>(u + ('a' - 'A')) : u;
}

// BINARY: bytes, then the shorter first. NOCASE: the same with ASCII capitals folded to lower
// case (so "_" sorts before "a", as SQLite has it).
inline int CompareText(std::string_view a, std::string_view b, bool nocase) {
    if (!nocase) return Sign(a.compare(b), 0);
    const size_t n = std::min(a.size(), b.size());
    for (size_t k = 0; k < n; ++k) {
        const unsigned char x = FoldLower(a[k]), y = FoldLower(b[k]);
        if (x != y) return x < y ? -1 : 1;
    }
    return Sign(a.size(), b.size());
}

inline int ClassRank(const Cell& c) { return c.cls == Cell::Null ? 0 : c.cls == Cell::Text ? 2 : 1; }

// SQLite's order of two values: Null, numbers, texts.
inline int CompareCells(const Cell& a, const Cell& b, bool nocase) {
    const int ra = ClassRank(a), rb = ClassRank(b);
    if (ra != rb) return Sign(ra, rb);
    if (ra == 1) return CompareNumbers(a, b);
    if (ra == 2) return CompareText(a.text, b.text, nocase);
    return 0;
}

inline bool Identical(const Cell& a, const Cell& b) {
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
inline bool PlainRealSums() { return sqlite3_libversion_number() < 3043000; }

// The distinct stored values of one column while the table is read (column_store_coding.cpp).
struct RawValues;

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
    const void* data() const {
        return width_ == 1 ? static_cast<const void*>(w8_.data())
               : width_ == 2 ? static_cast<const void*>(w16_.data())
                             : static_cast<const void*>(w32_.data());
    }
    int width() const { return width_; }

private:
    int width_ = 4;
    std::vector<uint8_t> w8_;
    std::vector<uint16_t> w16_;
    std::vector<uint32_t> w32_;
};

// Orders groups by their keys (distinct): a byte-wise radix sort over the bytes the largest key
// uses, which on the thousand groups of a wide table's count is several times quicker than
// comparisons; few groups go by comparisons.
void SortByKey(std::vector<std::pair<uint64_t, uint32_t>>& groups, std::vector<std::pair<uint64_t, uint32_t>>& scratch);

// Plain counts over a key range no wider than kInPlaceRange and a few times the rows are counted
// in an array over the range: clearing and reading it off costs no more than the rows. Over a
// wider range the keys themselves are sorted, in room as large as the keys: either way the work
// and the memory grow with the rows, never with the product of the fields' values.
constexpr uint64_t kInPlaceRange = uint64_t(1) << 22;  // 16 MB of counters at most
constexpr uint64_t kInPlacePerRow = 4;
// An engines' count groups by at most this many columns (the decoding's tables are on the stack).
constexpr size_t kMaxDigits = 64;
// How a count cell reads: plainCount for a Count(*) of a Long (or untyped), else through its type.
struct ColumnStoreItemType {
    bool plainCount;
    FieldType type;
    bool typed;
};

inline bool CountedInPlace(size_t rows, uint64_t radix) {
    return radix <= kInPlaceRange && radix <= kInPlacePerRow * uint64_t(rows);
}
// Counted in place, many rows to a few keys go to four interleaved arrays of counters.
inline size_t CountLanes(size_t rows, size_t range) { return range <= 4096 && 16 * range <= rows ? 4 : 1; }
// Keys of a product of radixes up to 2^32 are made and sorted at 32 bits, half the memory
// traffic of the 64-bit keys.
constexpr uint64_t kNarrowRadix = uint64_t(1) << 32;
// A row list holding at least this share of the table has its keys made over every row, in
// contiguous passes the compiler vectorises, and picked out once; sparser lists gather each
// digit. A gather through a list of an eighth of the rows still touches nearly every cache line
// of each column, and does it a row at a time.
constexpr size_t kKeysOverAllRows = 8;  // rows x 8 >= the table's rows
// Keys are made a block of rows at a time, every digit over one block before the next: the
// block's keys (8 KB) stay in the first-level cache instead of crossing memory once a digit.
constexpr size_t kKeyBlock = 2048;
constexpr uint32_t kHalfRadix = uint32_t(1) << 16;

// One digit of a plain count's key: a column's codes in their width and its number of codes.
struct KeyDigit {
    const void* codes;
    int width;
    uint32_t radix;
};
// The key passes of the plain counts (column_store_kernels.inc), built for plain x86-64 and for
// wider vectors; Kernels() is the set the machine runs (see UseVectorKernels).
struct KeyKernels {
    // keys[0, len) of the rows first.. first + len - 1 (len <= kKeyBlock); the leading `half`
    // digits multiply to at most kHalfRadix.
    void (*run)(const KeyDigit* digits, size_t d, size_t half, uint32_t* keys, size_t first, size_t len);
    // out[i] = block[rows[i] - first] for i < n: the listed rows' keys out of a block's.
    void (*pick)(const uint32_t* block, const uint32_t* rows, size_t n, uint32_t first, uint32_t* out);
    // keys[0, len) of the listed rows, each digit's codes read through the list.
    void (*gather)(const KeyDigit* digits, size_t d, const uint32_t* rows, size_t len, uint32_t* keys);
    // ++counts[key] a key, in four interleaved arrays of `range` counters when asked.
    void (*tally)(const uint32_t* keys, size_t n, uint32_t* counts, size_t range, bool interleaved);
    // pick and tally in one pass.
    void (*pickTally)(const uint32_t* block, const uint32_t* rows, size_t n, uint32_t first, uint32_t* counts,
                      size_t range, bool interleaved);
};
const KeyKernels& Kernels();

// Where an engines' count writes its groups: the store's codes and counts (GroupCounter::Count),
// or each field's code through the caller's table of its value indexes (CountIndexed), a code
// the table lacks noted so that the count declines.
class CountSink {
public:
    explicit CountSink(GroupCountResult& out) : raw_(&out) {}
    CountSink(const std::vector<std::span<const int32_t>>& tables, std::vector<int32_t>& indexes,
              std::vector<double>& counts)
        : tables_(&tables), indexes_(&indexes), counts_(&counts) {}
    // Room for n groups of m fields; the counts' room.
    double* Size(size_t n, size_t m) {
        if (raw_) {
            raw_->groups = n;
            raw_->codes.resize(n * m);
            raw_->counts.resize(n);
            codes_ = raw_->codes.data();
            return raw_->counts.data();
        }
        indexes_->resize(n * m);
        counts_->resize(n);
        into_ = indexes_->data();
        return counts_->data();
    }
    // Field f of the group whose first cell is `cell`.
    void Put(size_t cell, size_t f, uint32_t code) {
        if (raw_) {
            codes_[cell + f] = code;
            return;
        }
        const std::span<const int32_t>& table = (*tables_)[f];
        const bool known = code < table.size();
        missing_ = missing_ || !known;
        into_[cell + f] = known ? table[code] : 0;
    }
    // Every code had an index.
    bool complete() const { return !missing_; }
    // For a tight loop over one field: the codes' room (raw) or the indexes' room and the field's
    // table, the cell of group 0's field f; Missed notes a code without an index.
    bool raw() const { return raw_ != nullptr; }
    uint32_t* codes(size_t f) const { return codes_ + f; }
    int32_t* indexes(size_t f) const { return into_ + f; }
    std::span<const int32_t> table(size_t f) const { return (*tables_)[f]; }
    void Missed() { missing_ = true; }

private:
    GroupCountResult* raw_ = nullptr;
    uint32_t* codes_ = nullptr;
    const std::vector<std::span<const int32_t>>* tables_ = nullptr;
    std::vector<int32_t>* indexes_ = nullptr;
    std::vector<double>* counts_ = nullptr;
    int32_t* into_ = nullptr;
    bool missing_ = false;
};

// ---- the store of one table ----

class ColumnStore {
public:
    ColumnStore() = default;
    ColumnStore(const ColumnStore&) = delete;
    ColumnStore& operator=(const ColumnStore&) = delete;
    // Reads the table (SELECT only); nothing, with the reason, when it cannot be coded.
    static std::unique_ptr<ColumnStore> Load(Connection& conn, const sql::TableInfo& table, std::string& why);
    // A store over the same coded table with counting room of its own: the two may count at the
    // same time on different threads, since counting only reads the table. (Answer and Prepare
    // keep to the store they were asked of.)
    std::unique_ptr<ColumnStore> Twin() const;
    std::optional<std::vector<Value>> Answer(const sql::BoundSelect& q, std::string& why);

    struct Prepared;
    // The engines' counts (GroupCounter): the bound grouping read once, then any few of its
    // fields counted with the same filter and count expression.
    std::unique_ptr<Prepared> Prepare(const sql::BoundSelect& q, std::string& why);
    GroupCounter::Outcome Count(const Prepared& p, const std::vector<int>& fields, int64_t maxGroups,
                                CountSink& out);
    // GroupCounter::CountKeys: the groups of a plain count as their keys, without decoding them.
    GroupCounter::Outcome CountKeys(const Prepared& p, const std::vector<int>& fields, int64_t maxGroups,
                                    std::vector<uint64_t>& keys, std::vector<double>& counts);
    const std::vector<Value>* Shown(const Prepared& p, int field) const;
    // GroupCounter::Rows over the prepared filter (column_store_rows.cpp).
    bool Rows(const Prepared& p, int field, std::vector<uint32_t>& codes, const std::vector<Value>*& cells) const;

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
    // digits' radixes is at most 2^32; or, given counts, each key counted there (in the
    // interleaved arrays of CountRoom) and none stored.
    void NarrowKeys(const std::vector<uint32_t>& rows, const std::vector<int>& digits, uint32_t* counts = nullptr,
                    size_t range = 0, bool interleaved = false);
    // The counters of a count in place: `lanes` arrays of `range`, all 0; and the groups read off
    // them into groups_ in key order, the counters left at 0 again.
    uint32_t* CountRoom(size_t range, size_t lanes);
    void ReadOffCounts(size_t range, size_t lanes);
    // The steps of Count: the digits of the key for the fields asked (false when a field cannot
    // be counted here or the fields have more than kMaxDigits columns), each plain group's
    // codes read back from its key into codes (n groups of m fields), and the general pass for
    // sums and ranked keys.
    bool Digits(const Prepared& p, const std::vector<int>& fields);
    // The groups of a Count(*) (plain) over the digits into groups_, in key order, with the
    // product of the digits' radixes; false when the general pass must count them instead (a
    // sum, or keys ranked past 2^62, as `ranked` says).
    bool PlainCount(const std::vector<uint32_t>& rows, bool plain, uint64_t& radix, bool& ranked);
    void DecodeKeys(size_t n, size_t m, uint64_t radix, CountSink& out);
    GroupCounter::Outcome GeneralCount(const Prepared& p, const std::vector<uint32_t>& rows, uint64_t radix,
                                       bool ranked, int64_t maxGroups, CountSink& out);
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

    // The coded table, shared by a store and its twins; written only while Load reads it.
    struct Table {
        size_t rows = 0;
        bool visitOrderKnown = true;  // no index could make SQLite visit a group's rows in another order
        std::vector<Column> columns;
        std::vector<uint32_t> allRows;
    };
    explicit ColumnStore(std::shared_ptr<Table> table) : table_(std::move(table)) {}
    std::shared_ptr<Table> table_ = std::make_shared<Table>();
    size_t& rows_ = table_->rows;
    bool& visitOrderKnown_ = table_->visitOrderKnown;
    std::vector<Column>& columns_ = table_->columns;
    std::vector<uint32_t>& allRows_ = table_->allRows;
    // Rows passing a WHERE, by its terms; shared with the counters that filter by it.
    std::map<std::string, std::shared_ptr<const std::vector<uint32_t>>> selections_;
    // Scratch of the counting pass, kept so that each query does not allocate it again.
    std::vector<uint64_t> keys_;
    std::vector<uint32_t> dense_;
    std::vector<std::pair<uint64_t, uint32_t>> hash_;
    Groups groups_;
    std::vector<int> digits_;
    std::vector<size_t> digitOfField_;
    // Per digit the first field that asked for it, per field the next one that asked for the
    // same digit (kNoField ends the list): a field asked twice is written twice.
    static constexpr size_t kNoField = SIZE_MAX;
    std::vector<size_t> firstField_, nextField_;
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

}  // namespace db::sqlite
