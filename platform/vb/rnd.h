// vb::Rnd: the runtime's pseudo-random generator. A 24-bit linear congruential generator,
//   x = (x * 0x43FD43FD + 0xC39EC3) mod 2^24,
// starting at x = 0x50000; each call advances x and returns x / 2^24, a Single in [0, 1). The
// state is process-wide, so a process that never seeds repeats the same sequence on every run.
#pragma once

#include <cstdint>

#include "platform/vb/types.h"

namespace vb {

// The next value of the sequence, uniform in [0, 1).
Single Rnd();

// Seeds the generator from the system clock, for programs that want a different sequence on
// each run.
void Randomize();

// Seeds the generator from a number: the runtime mixes the number's bytes into the middle of
// the state. Equal numbers give equal sequences.
void Randomize(double seed);

// Puts the generator back to its start state (0x50000), as in a fresh process. For tests.
void ResetRnd();

// The generator's state, and putting a state back: a pass that draws ahead of the work it has
// done can return the generator to where the work stopped.
uint32_t RndState();
void SetRndState(uint32_t x);

}  // namespace vb
