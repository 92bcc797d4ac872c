// The 24-bit linear congruential generator behind vb::Rnd, with its process-wide state.
#include "platform/vb/rnd.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <ctime>

namespace vb {

namespace {

constexpr uint32_t kStart = 0x50000;
constexpr uint32_t kMask = 0xFFFFFF;
std::atomic<uint32_t> state{kStart};

uint32_t Next(uint32_t x) { return (x * 0x43FD43FDu + 0xC39EC3u) & kMask; }

}  // namespace

Single Rnd() {
    uint32_t x = state.load(std::memory_order_relaxed);
    uint32_t next;
    do {
        next = Next(x);
    } while (!state.compare_exchange_weak(x, next, std::memory_order_relaxed));
    return Single(next) / 16777216.0f;  // exact: next has at most 24 bits
}

void Randomize(double seed) {
    // The high half of the double's bits, folded to 16 bits, replaces the middle 16 bits of the
    // state; the low byte of the state stays.
    uint64_t bits;
    std::memcpy(&bits, &seed, sizeof bits);
    uint32_t high = uint32_t(bits >> 32);
    uint32_t mid = ((high & 0xFFFF) ^ (high >> 16)) << 8;
    uint32_t x = state.load(std::memory_order_relaxed);
    uint32_t next;
    do {
        next = (x & 0xFF) | (mid & 0xFFFF00);
    } while (!state.compare_exchange_weak(x, next, std::memory_order_relaxed));
}

void Randomize() {
    // The seconds since local midnight, as a Single, as the runtime's clock seed.
    auto now = std::chrono::system_clock::now();
    std::time_t t = std::chrono::system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&t, &local);
    double fraction =
        std::chrono::duration<double>(now - std::chrono::system_clock::from_time_t(t)).count();
    double seconds = local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec + fraction;
    Randomize(double(Single(seconds)));
}

void ResetRnd() { state.store(kStart, std::memory_order_relaxed); }

uint32_t RndState() { return state.load(std::memory_order_relaxed); }

void SetRndState(uint32_t x) { state.store(x & kMask, std::memory_order_relaxed); }

}  // namespace vb
