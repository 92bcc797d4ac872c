// The word loops of the path walks' bit rows: counting bits and growing a level of the breadth
// search. A plain x86-64 build has no popcount instruction (it turns __builtin_popcountll into a
// library call a word) and moves two words an instruction; the loops are compiled a second time
// for machines with popcount and AVX2, and the ones to run are chosen once at start, as the
// count path's vector kernels are. Either way every result is the same.
#include <cstddef>
#include <cstdint>

#include "core/skeleton.h"

namespace core {

namespace {

// Four words loaded and stored at any alignment; two instructions of the plain build, one with
// AVX2. The helpers that pass them are always inlined, so no call passes one across the ABI
// that the compiler warns about.
#pragma GCC diagnostic ignored "-Wpsabi"
typedef uint64_t Quad __attribute__((vector_size(32)));

[[gnu::always_inline]] inline Quad Load(const uint64_t* p) {
    Quad q;
    __builtin_memcpy(&q, p, sizeof q);
    return q;
}

[[gnu::always_inline]] inline void Store(uint64_t* p, Quad q) { __builtin_memcpy(p, &q, sizeof q); }

[[gnu::always_inline]] inline size_t CountBody(const uint64_t* words, size_t n) {
    size_t c = 0;
    for (size_t w = 0; w < n; ++w) c += size_t(__builtin_popcountll(words[w]));
    return c;
}

// For every field f of `set`, calls f(rows + f * stride).
template <class F>
[[gnu::always_inline]] inline void EachRow(const RowSet& set, const uint64_t* rows, size_t stride, F&& f) {
    for (size_t w = set.lo; w < set.hi; ++w)
        for (uint64_t bits = set.bits[w]; bits; bits &= bits - 1)
            f(rows + (w * 64 + size_t(__builtin_ctzll(bits))) * stride);
}

// The union of the frontier's rows, eight words at a time kept in registers over the whole
// frontier, so each word of `next` is written once.
[[gnu::always_inline]] inline void OutwardBody(const uint64_t* rows, size_t stride, const RowSet& frontier,
                                               const uint64_t* open, size_t lo, size_t hi, uint64_t* next) {
    size_t w = lo;
    for (; w + 8 <= hi; w += 8) {
        Quad x = {0, 0, 0, 0}, y = {0, 0, 0, 0};
        EachRow(frontier, rows, stride, [&](const uint64_t* row) {
            x |= Load(row + w);
            y |= Load(row + w + 4);
        });
        Store(next + w, x & Load(open + w));
        Store(next + w + 4, y & Load(open + w + 4));
    }
    if (w + 4 <= hi) {
        Quad x = {0, 0, 0, 0};
        EachRow(frontier, rows, stride, [&](const uint64_t* row) { x |= Load(row + w); });
        Store(next + w, x & Load(open + w));
        w += 4;
    }
    for (; w < hi; ++w) {
        uint64_t x = 0;
        EachRow(frontier, rows, stride, [&](const uint64_t* row) { x |= row[w]; });
        next[w] = x & open[w];
    }
}

// Each open field whose row meets the frontier, without a branch inside a row.
[[gnu::always_inline]] inline void InwardBody(const uint64_t* rows, size_t stride, const RowSet& open,
                                              const RowSet& frontier, uint64_t* next) {
    const size_t lo = frontier.lo, hi = frontier.hi;
    const uint64_t* f = frontier.bits;
    for (size_t o = open.lo; o < open.hi; ++o) {
        uint64_t taken = 0;
        for (uint64_t bits = open.bits[o]; bits; bits &= bits - 1) {
            const unsigned at = unsigned(__builtin_ctzll(bits));
            const uint64_t* row = rows + (o * 64 + at) * stride;
            size_t w = lo;
            Quad q = {0, 0, 0, 0};
            for (; w + 4 <= hi; w += 4) q |= Load(row + w) & Load(f + w);
            uint64_t meet = q[0] | q[1] | q[2] | q[3];
            for (; w < hi; ++w) meet |= row[w] & f[w];
            taken |= uint64_t(meet != 0) << at;
        }
        next[o] = taken;
    }
}

size_t CountPlain(const uint64_t* words, size_t n) { return CountBody(words, n); }
void OutwardPlain(const uint64_t* rows, size_t stride, const RowSet& frontier, const uint64_t* open, size_t lo,
                  size_t hi, uint64_t* next) {
    OutwardBody(rows, stride, frontier, open, lo, hi, next);
}
void InwardPlain(const uint64_t* rows, size_t stride, const RowSet& open, const RowSet& frontier, uint64_t* next) {
    InwardBody(rows, stride, open, frontier, next);
}

struct Kernels {
    size_t (*count)(const uint64_t*, size_t);
    void (*outward)(const uint64_t*, size_t, const RowSet&, const uint64_t*, size_t, size_t, uint64_t*);
    void (*inward)(const uint64_t*, size_t, const RowSet&, const RowSet&, uint64_t*);
};

#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define BNS_WIDE __attribute__((target("popcnt,bmi,avx2")))
BNS_WIDE size_t CountWide(const uint64_t* words, size_t n) { return CountBody(words, n); }
BNS_WIDE void OutwardWide(const uint64_t* rows, size_t stride, const RowSet& frontier, const uint64_t* open,
                          size_t lo, size_t hi, uint64_t* next) {
    OutwardBody(rows, stride, frontier, open, lo, hi, next);
}
BNS_WIDE void InwardWide(const uint64_t* rows, size_t stride, const RowSet& open, const RowSet& frontier,
                         uint64_t* next) {
    InwardBody(rows, stride, open, frontier, next);
}
#undef BNS_WIDE

Kernels Chosen() {
    __builtin_cpu_init();  // this runs among the static constructors, perhaps before libgcc's
    if (__builtin_cpu_supports("popcnt") && __builtin_cpu_supports("bmi") && __builtin_cpu_supports("avx2"))
        return {CountWide, OutwardWide, InwardWide};
    return {CountPlain, OutwardPlain, InwardPlain};
}
#else
Kernels Chosen() { return {CountPlain, OutwardPlain, InwardPlain}; }
#endif

const Kernels kernels = Chosen();

}  // namespace

size_t CountBits(const uint64_t* words, size_t n) { return kernels.count(words, n); }

void GrowOutward(const uint64_t* rows, size_t stride, const RowSet& frontier, const uint64_t* open, size_t lo,
                 size_t hi, uint64_t* next) {
    kernels.outward(rows, stride, frontier, open, lo, hi, next);
}

void GrowInward(const uint64_t* rows, size_t stride, const RowSet& open, const RowSet& frontier, uint64_t* next) {
    kernels.inward(rows, stride, open, frontier, next);
}

}  // namespace core
