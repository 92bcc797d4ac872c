#include "platform/vb/rounding.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/vb/types.h"
#include "tests/platform/vb/vb_test_util.h"

namespace {

using vbtest::ErrorOf;

TEST(Rounding, WholeNumbersGoHalfToEven) {
    struct Case { double v; int expected; };
    const Case cases[] = {
        {0.5, 0}, {1.5, 2}, {2.5, 2}, {3.5, 4}, {-0.5, 0}, {-1.5, -2}, {-2.5, -2},
        {2.4999999, 2}, {2.5000001, 3}, {32767.4, 32767}, {-32768.5, -32768},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(vb::CInt(c.v), c.expected) << c.v;
        EXPECT_EQ(vb::CLng(c.v), c.expected) << c.v;
    }
    EXPECT_EQ(vb::CLng(2147483647.4), 2147483647);
    EXPECT_EQ(vb::CLng(-2147483648.5), -2147483648);  // -2147483648 is the even neighbour
    const double overflowInt[] = {32767.5, -32769.0, 1e30, -1e300,
                                  std::numeric_limits<double>::infinity(), std::nan("")};
    for (double v : overflowInt) EXPECT_EQ(ErrorOf([&] { vb::CInt(v); }), 6) << v;
    const double overflowLong[] = {2147483647.5, -2147483649.0, 1e30, std::nan("")};
    for (double v : overflowLong) EXPECT_EQ(ErrorOf([&] { vb::CLng(v); }), 6) << v;
}

TEST(Rounding, DecimalPlacesHalfToEvenOnTheScaledDouble) {
    struct Case { double v; int digits; double expected; };
    const Case cases[] = {
        // The probability tables' estimates, rounded to 7 places.
        {(3 + 2.5) / 15, 7, 0.3666667},
        {double((5.0f / 3.0f + 0.0f) / 8.0f), 7, 0.2083333},
        {1.0 / 3, 7, 0.3333333},
        // Exact binary halves go to the even neighbour.
        {0.125, 2, 0.12}, {0.375, 2, 0.38}, {-0.125, 2, -0.12}, {2.5, 0, 2}, {3.5, 0, 4},
        // The scaled double decides: 0.285 * 100 is just below 28.5.
        {0.285, 2, 0.28},
        {1e300, 7, 1e300}, {123456789.123456789, 7, 123456789.1234568},
    };
    for (const auto& c : cases) EXPECT_EQ(vb::Round(c.v, c.digits), c.expected) << c.v;
    EXPECT_TRUE(std::isnan(vb::Round(std::nan(""), 7)));
    EXPECT_EQ(ErrorOf([] { vb::Round(1, 16); }), 5);
    EXPECT_EQ(ErrorOf([] { vb::Round(1, -1); }), 5);
}

}  // namespace
