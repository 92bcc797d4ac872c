// Rounding of doubles to a number of decimal places, halves to the even neighbour, as the
// runtime's Round does it. Conversion to whole numbers (CInt, CLng) is in types.h and rounds
// halves to even as well.
#pragma once

namespace vb {

// x rounded to `digits` decimal places (0..15), a half going to the even neighbour. Like the
// runtime, the scaling by 10^digits is done in double precision and the half-to-even choice is
// made on that scaled double: 0.36666666666666664 to 7 places is 0.3666667, and a value whose
// decimal text ends in 5 rounds by its binary value, so Round(0.285, 2) is 0.28 because
// 0.285 * 100 is 28.499999999999996. Values too large to carry a fraction at that scale, and
// infinities and NaN, come back unchanged. Error 5 for digits outside 0..15.
double Round(double x, int digits);

}  // namespace vb
