// EqualWidthCuts: n intervals of equal width between a field's smallest and largest usable
// value, computed in the precisions the labels are written in.
#pragma once

#include "platform/vb/types.h"
#include "trune/discretize/cut_points.h"

namespace trune {

// The n - 1 cut points of n equal intervals from minimum to maximum (each value in its own
// type, widened to double): lo = Single(minimum); the width w = (maximum - lo) / n in double,
// held as a Single; the cuts accumulated in Single, c = c + w, which is what the labels show
// (0 to 1 in ten gives 0.8000001, not 0.8). maximum = minimum gives n - 1 cuts at the minimum.
// One interval has no cut. Error 6 when a number is beyond a Single.
CutPoints EqualWidthCuts(double minimum, double maximum, vb::Integer n);

}  // namespace trune
