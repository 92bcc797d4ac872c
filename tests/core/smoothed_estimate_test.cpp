// The shared smoothed estimate of one probability row, in the three forms the engines use.
#include <gtest/gtest.h>

#include <vector>

#include "core/smoothed_estimate.h"

namespace {

using core::Quotient;
using vb::Single;

struct EstimateCase {
    const char* what;
    std::vector<double> counts;
    double n;
    core::SmoothingRule rule;
    std::vector<Single> expected;
};

TEST(SmoothedEstimate, RowsByHand) {
    const EstimateCase cases[] = {
        {"k = 2, counts 3 and 1", {3, 1}, 4, {}, {0.6111111f, 1.0f - 0.6111111f}},
        // (5 + 2.5) / 19 = 0.39473684 in double, 0.39473686 as a Single: the two forms round
        // to different seventh places.
        {"held as a Single first", {5, 9}, 14, {}, {0.3947369f, 1.0f - 0.3947369f}},
        {"rounded from double", {5, 9}, 14, {Quotient::Double, true}, {0.3947368f, 1.0f - 0.3947368f}},
        {"a root node: the table total, not the last count", {3, 7}, 10, {Quotient::Double, true},
         {0.3666667f, 1.0f - 0.3666667f}},
        {"Single arithmetic", {0, 2, 1}, 3, {Quotient::SingleArithmetic, true},
         {0.2083333f, 0.4583333f, 1.0f - (0.2083333f + 0.4583333f)}},
        {"an empty configuration", {0, 0, 0}, 0, {}, {0.3333333f, 0.3333333f, 1.0f - (0.3333333f + 0.3333333f)}},
        {"an empty configuration without the rule", {0, 0}, 0, {Quotient::DoubleToSingle, false},
         {0.5f, 0.5f}},
        // Values passing 1 are cut where the running sum crosses it; the rest is 0.
        {"the running sum passes 1", {10, 10, 0}, 10, {Quotient::Double, true},
         {0.7777778f, 1.0f - 0.7777778f, 0.0f}},
        {"one value", {4}, 4, {}, {1.0f}},
        // 2.5 / 640 = 0.00390625 exactly: a half at the eighth place goes to the even seventh.
        {"a half rounds to even", {0, 635}, 635, {}, {0.0039062f, 1.0f - 0.0039062f}},
    };
    for (const auto& c : cases) {
        std::vector<Single> probs(c.expected.size());
        core::SmoothedEstimate(c.counts, c.n, probs, c.rule);
        EXPECT_EQ(probs, c.expected) << c.what;
    }
}

}  // namespace
