// The hold-out column: about one row in three is marked True, and the classifier engine
// scores its candidate models on those rows. Each run draws a new set.
#pragma once

#include <functional>

#include "platform/vb/types.h"

namespace trune {

// The generator behind the draw: seed is called once per run, draw once per row and gives a
// Single in [0, 1). The runtime's (vb::Randomize from the clock, vb::Rnd) unless a test
// hands in its own.
struct RandomSource {
    std::function<void()> seed;
    std::function<vb::Single()> draw;
};
RandomSource RuntimeRandom();

// The flag for a drawn r: True when r is greater than the Single 0.667, strictly.
inline bool IsHoldOut(vb::Single r) { return r > 0.667f; }

// One run's draws: seeds the generator when made, then one flag per row.
class HoldOutDraw {
public:
    explicit HoldOutDraw(RandomSource source = RuntimeRandom());
    bool Next() { return IsHoldOut(source_.draw()); }

private:
    RandomSource source_;
};

}  // namespace trune
