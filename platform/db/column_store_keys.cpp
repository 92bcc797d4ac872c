// The group key of every selected row: the grouping columns' codes in mixed radix, at 64 bits
// (ranked past 2^62) for the general pass, at 32 bits in vectorised blocks for plain counts.
#include "platform/db/column_store_internal.h"

namespace db::sqlite {
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

// The group key of every selected row into keys_: the codes of the digits in mixed radix. When
// the product of the radixes would pass 2^62, the key so far is replaced by its rank among the
// distinct keys, which keeps the order and bounds the radix by the number of rows. Leaves the
// product of the radixes in `radix`; returns whether the keys were ranked.
bool ColumnStore::GroupKeys(const std::vector<uint32_t>& rows, const std::vector<int>& digits, uint64_t& radix) {
    const size_t n = rows.size();
    const bool allRows = n == rows_;
    std::vector<uint64_t>& keys = keys_;
    radix = 1;
    // Without a digit of more than one code every key is 0 and radix 1: the counting passes
    // read no key then, so none is written. Otherwise the first such digit writes the keys.
    bool anyDigit = false;
    for (int c : digits) anyDigit = anyDigit || columns_[size_t(c)].cells.size() > 1;
    if (!anyDigit) return false;
    keys.resize(n);
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

}  // namespace db::sqlite
