// Counting the bits of the path walks' bit rows. A plain x86-64 build has no popcount
// instruction and turns __builtin_popcountll into a library call a word; the count is compiled
// a second time for machines that have the instruction, and the one to run is chosen once at
// start, as the count path's vector kernels are. Either way the count is the same.
#include <cstddef>
#include <cstdint>

#include "core/skeleton.h"

namespace core {

namespace {

size_t CountPlain(const uint64_t* words, size_t n) {
    size_t c = 0;
    for (size_t w = 0; w < n; ++w) c += size_t(__builtin_popcountll(words[w]));
    return c;
}

#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
__attribute__((target("popcnt"))) size_t CountWithInstruction(const uint64_t* words, size_t n) {
    size_t c = 0;
    for (size_t w = 0; w < n; ++w) c += size_t(__builtin_popcountll(words[w]));
    return c;
}

using Counter = size_t (*)(const uint64_t*, size_t);
Counter Chosen() {
    __builtin_cpu_init();  // this runs among the static constructors, perhaps before libgcc's
    return __builtin_cpu_supports("popcnt") ? CountWithInstruction : CountPlain;
}
#else
using Counter = size_t (*)(const uint64_t*, size_t);
Counter Chosen() { return CountPlain; }
#endif

const Counter counter = Chosen();

}  // namespace

size_t CountBits(const uint64_t* words, size_t n) { return counter(words, n); }

}  // namespace core
