// The cut points of one field and the store's limit. A field with k cut points, ascending, has
// k + 1 intervals, each closed below and open above; the wizard keeps them per field in `Cuts`
// (at most 50) with the interval count in `Intervals`.
#pragma once

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "platform/vb/runtime_error.h"
#include "platform/vb/types.h"

namespace trune {

using CutPoints = std::vector<vb::Single>;

inline constexpr int kMaxCuts = 50;

// A double held as a Single, as the runtime converts: beyond the Single range is error 6, and
// so is an infinity or a NaN, which no cut point or interval bound may be.
inline vb::Single ToSingle(double v) {
    if (!std::isfinite(v) || std::fabs(v) > double(std::numeric_limits<vb::Single>::max()))
        throw vb::RuntimeError::Overflow();
    return vb::Single(v);
}

// A field's cut points fill the store: error 9, as the store's subscript would be out of range.
// Its own type, so that the run that cuts the field can name the field to the user.
class TooManyCuts : public vb::RuntimeError {
public:
    TooManyCuts() : vb::RuntimeError(vb::RuntimeError::SubscriptOutOfRange()) {}
};

// Adds a cut point; a 51st has no room in the store (TooManyCuts). A cut that is not a finite
// number is error 6: no label could be written by it.
inline void StoreCut(CutPoints& cuts, vb::Single c) {
    if (!std::isfinite(c)) throw vb::RuntimeError::Overflow();
    if (int(cuts.size()) >= kMaxCuts) throw TooManyCuts();
    cuts.push_back(c);
}

// A usable value of `field` that the cut points, Singles, cannot bound: an infinity or a
// number beyond the Single range. It ends the run before any row is written, whatever the
// method, with error 6 naming the field and the value.
void CheckCuttable(const std::string& field, double v);

}  // namespace trune
