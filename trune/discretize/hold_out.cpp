// The hold-out draw (see hold_out.h).
#include "trune/discretize/hold_out.h"

#include "platform/vb/rnd.h"

namespace trune {

RandomSource RuntimeRandom() {
    return {[] { vb::Randomize(); }, [] { return vb::Rnd(); }};
}

HoldOutDraw::HoldOutDraw(RandomSource source) : source_(std::move(source)) { source_.seed(); }

}  // namespace trune
