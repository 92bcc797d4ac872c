// Grouping the keys: the general pass with counts, sums and spellings, the plain counts' flat
// arrays and radix sorts, and the ordering of groups by key.
#include "platform/db/column_store_internal.h"

namespace db::sqlite {

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
            const uint64_t key = radix == 1 ? 0 : keys[i];  // radix 1: no key was made
            uint32_t& slot = dense_[key];
            if (slot == 0) slot = newGroup(key, rows[i]) + 1;
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

// Sorted keys up to this many are read off into groups without a branch a key; more keys
// mostly make groups of many rows, which a loop over each group's run foresees.
constexpr size_t kBranchFreeRuns = 1 << 16;

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
    if (radix == 1) {  // every row in one group; no key was made
        room(1);
        out.key[0] = 0;
        out.count[0] = int64_t(n);
        out.key.resize(1);
        out.count.resize(1);
        return;
    }
    if (CountedInPlace(n, radix)) {
        const size_t range = size_t(radix), lanes = CountLanes(n, range);
        uint32_t* counts = CountRoom(range, lanes);
        if constexpr (sizeof(Key) == sizeof(uint32_t)) {
            Kernels().tally(keys, n, counts, range, lanes == 4);
        } else {
            for (size_t i = 0; i < n; ++i) ++counts[(lanes == 4 ? (i & 3) * range : 0) + keys[i]];
        }
        ReadOffCounts(range, lanes);
        return;
    }

    size_t g = 0;
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
    if (n <= kBranchFreeRuns) {
        // The runs of equal keys found without a branch a key (most groups of a wide table's
        // count hold a row or two, so where a run ends is as good as random): every key is
        // written with its place into the next group's slot, which only a new key keeps; the
        // counts are the distances between the runs' starts.
        groupKey[0] = src[0];
        groupCount[0] = 0;
        g = 1;
        for (size_t i = 1; i < n; ++i) {
            groupKey[g] = src[i];
            groupCount[g] = int64_t(i);
            g += src[i] != src[i - 1];
        }
        for (size_t j = 0; j + 1 < g; ++j) groupCount[j] = groupCount[j + 1] - groupCount[j];
        groupCount[g - 1] = int64_t(n) - groupCount[g - 1];
    } else {
        // Many rows: groups of many rows each, whose runs a loop foresees.
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
    }
    out.key.resize(g);
    out.count.resize(g);
}

uint32_t* ColumnStore::CountRoom(size_t range, size_t lanes) {
    if (dense_.size() < lanes * range) dense_.assign(lanes * range, 0);
    return dense_.data();
}

void ColumnStore::ReadOffCounts(size_t range, size_t lanes) {
    Groups& out = groups_;
    out.decodable = true;
    uint32_t* counts = dense_.data();
    if (lanes == 4) {
        for (size_t key = 0; key < range; ++key)
            counts[key] += counts[range + key] + counts[2 * range + key] + counts[3 * range + key];
        std::fill(counts + range, counts + 4 * range, 0u);
    }
    size_t groups = 0;
    for (size_t key = 0; key < range; ++key) groups += counts[key] != 0;
    // Room for the groups and the one slot past them that the read-off writes.
    if (out.key.size() <= groups) {
        out.key.resize(groups + 1);
        out.count.resize(groups + 1);
    }
    uint64_t* groupKey = out.key.data();
    int64_t* groupCount = out.count.data();
    // Every slot written, the next group's only where the count is not 0: no branch a key.
    size_t g = 0;
    for (size_t key = 0; key < range; ++key) {
        const uint32_t c = counts[key];
        groupKey[g] = key;
        groupCount[g] = c;
        g += c != 0;
    }
    // Only the groups' counters are not 0: cleared one a group rather than over the range.
    for (size_t k = 0; k < g; ++k) counts[groupKey[k]] = 0;
    out.key.resize(g);
    out.count.resize(g);
}

template void ColumnStore::PlainGroups<uint32_t>(uint32_t*, std::vector<uint32_t>&, size_t, uint64_t);
template void ColumnStore::PlainGroups<uint64_t>(uint64_t*, std::vector<uint64_t>&, size_t, uint64_t);

}  // namespace db::sqlite
