// The group key of every selected row: the grouping columns' codes in mixed radix, at 64 bits
// (ranked past 2^62) for the general pass, at 32 bits in vectorised blocks for plain counts.
#include <atomic>

#include "platform/db/column_store_internal.h"

namespace db::sqlite {

namespace kernels_plain {
#include "platform/db/column_store_kernels.inc"
}  // namespace kernels_plain

#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define BNS_WIDE_KERNELS 1
#pragma GCC push_options
#pragma GCC target("avx2")
namespace kernels_avx2 {
#include "platform/db/column_store_kernels.inc"
}  // namespace kernels_avx2
#pragma GCC pop_options
#endif

namespace {

bool HasWideVectors() {
#ifdef BNS_WIDE_KERNELS
    return __builtin_cpu_supports("avx2");
#else
    return false;
#endif
}

const KeyKernels* Chosen(bool wide) {
#ifdef BNS_WIDE_KERNELS
    if (wide && HasWideVectors()) return &kernels_avx2::kKernels;
#endif
    (void)wide;
    return &kernels_plain::kKernels;
}

std::atomic<const KeyKernels*> current{Chosen(true)};

}  // namespace

bool UseVectorKernels(bool on) {
    current.store(Chosen(on));
    return HasWideVectors();
}

const KeyKernels& Kernels() { return *current.load(std::memory_order_relaxed); }

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

void ColumnStore::NarrowKeys(const std::vector<uint32_t>& rows, const std::vector<int>& digits, uint32_t* counts,
                             size_t range, bool interleaved) {
    const size_t n = rows.size();
    if (!counts && narrowKeys_.size() < n) narrowKeys_.resize(n);
    uint32_t* out = narrowKeys_.data();
    KeyDigit active[kMaxDigits];
    size_t d = 0;
    for (int c : digits) {
        const Column& col = columns_[size_t(c)];
        if (col.cells.size() > 1) active[d++] = {col.codes.data(), col.codes.width(), uint32_t(col.cells.size())};
    }
    if (d == 0) {
        if (counts) counts[0] += uint32_t(n);
        else std::fill(out, out + n, 0u);
        return;
    }
    // The leading digits whose radixes multiply to at most 2^16 are added at 16 bits.
    size_t half = 0;
    for (uint32_t product = 1; half < d && product * active[half].radix <= kHalfRadix; ++half)
        product *= active[half].radix;
    const KeyKernels& kernels = Kernels();
    // Rows that lie in one run (all rows among them) are read in place; a dense list has the keys
    // of a block of rows made in place and the listed ones picked out (one gather, not one a
    // digit); a sparse one gathers each digit's codes through the list. Either way the keys are
    // made a block at a time, so that the passes of the digits find them in the cache, and a
    // count in place counts each block's keys while they are there.
    const uint32_t* listed = rows.data();
    const bool run = n == 0 || size_t(rows.back() - rows.front()) + 1 == n;
    const bool overAll = !run && d > 1 && n * kKeysOverAllRows >= rows_;
    uint32_t block[kKeyBlock];
    if (run) {
        for (size_t i = 0; i < n; i += kKeyBlock) {
            const size_t len = std::min(kKeyBlock, n - i);
            kernels.run(active, d, half, counts ? block : out + i, rows.front() + i, len);
            if (counts) kernels.tally(block, len, counts, range, interleaved);
        }
    } else if (overAll) {
        for (size_t i = 0; i < n;) {
            const uint32_t first = listed[i];
            const size_t len = std::min(kKeyBlock, rows_ - first);
            kernels.run(active, d, half, block, first, len);
            // The listed rows ascend, at most len of them in the block: a binary search finds
            // where they leave it, and the pick is one straight pass.
            const uint32_t* end = std::lower_bound(listed + i, listed + std::min(n, i + len), uint32_t(first + len));
            const size_t picked = size_t(end - listed) - i;
            if (counts) kernels.pickTally(block, listed + i, picked, first, counts, range, interleaved);
            else kernels.pick(block, listed + i, picked, first, out + i);
            i += picked;
        }
    } else {
        for (size_t i = 0; i < n; i += kKeyBlock) {
            const size_t len = std::min(kKeyBlock, n - i);
            kernels.gather(active, d, listed + i, len, counts ? block : out + i);
            if (counts) kernels.tally(block, len, counts, range, interleaved);
        }
    }
}

}  // namespace db::sqlite
