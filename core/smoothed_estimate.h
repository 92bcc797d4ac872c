// The smoothed estimate of one probability row, shared by both engines' probability tables: the
// counts of a field's k values under one parent configuration become probabilities pulled
// toward the uniform distribution with an equivalent sample size of 5, spread evenly over the
// values. Every value but the last is rounded to 7 decimal places (halves to even) so that the
// tables read back from a file are the tables that were learned; the last value takes 1 minus
// the running sum, so each row sums to 1 exactly.
#pragma once

#include <span>

#include "platform/vb/types.h"

namespace core {

// How the quotient (count + 5/k) / (n + 5) is formed before it is rounded to 7 places.
enum class Quotient {
    DoubleToSingle,    // in double precision, then held as a Single (the classifier's tables)
    SingleArithmetic,  // every operation in Single (the construction engine's nodes with parents)
    Double,            // in double precision, rounded from there (the construction engine's roots)
};

struct SmoothingRule {
    Quotient quotient = Quotient::DoubleToSingle;
    // True: a configuration without rows (n = 0) gets 1/k for every value but the last; False:
    // the formula is applied as it is (it then gives about 1/k all the same).
    bool emptyGivesUniform = true;
};

// Writes P(value v) into probs[v - 1] for v = 1..k, k = probs.size(), from counts[v - 1] with
// total n (the caller's total: the row sum, or a table total). counts[k - 1] is never read;
// counts.size() must be at least k - 1.
void SmoothedEstimate(std::span<const double> counts, double n, std::span<vb::Single> probs,
                      SmoothingRule rule = {});

}  // namespace core
