#include "platform/vb/array.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(Array, BoundsAndSubscriptErrors) {
    vb::Array<int> a(vb::Range(1, 3), vb::To(2));
    EXPECT_EQ(a.LBound(1), 1);
    EXPECT_EQ(a.UBound(1), 3);
    EXPECT_EQ(a.LBound(2), 0);
    EXPECT_EQ(a.UBound(2), 2);
    a(3, 2) = 7;
    EXPECT_EQ(a(3, 2), 7);
    EXPECT_EQ(a(1, 0), 0);
    try {
        a(0, 0) = 1;
        FAIL() << "no error";
    } catch (const vb::RuntimeError& e) {
        EXPECT_EQ(e.number(), 9);
        EXPECT_EQ(e.description(), "Subscript out of range");
    }
    EXPECT_THROW(a(1), vb::RuntimeError);           // wrong number of subscripts
    EXPECT_THROW(a.UBound(3), vb::RuntimeError);    // no third dimension
    vb::Array<int> none;
    EXPECT_FALSE(none.allocated());
    EXPECT_THROW(none.UBound(), vb::RuntimeError);
}

TEST(Array, CopiesAreDeepAndReDimClears) {
    vb::Array<int> a(vb::To(4));
    a(4) = 9;
    vb::Array<int> b = a;
    b(4) = 1;
    EXPECT_EQ(a(4), 9);
    a.ReDim(vb::To(4));
    EXPECT_EQ(a(4), 0);
    vb::Array<int> c(vb::To(1), vb::To(2));
    c(1, 1) = 5;
    c(0, 2) = 6;
    c.ReDimPreserveLast(3);
    EXPECT_EQ(c(1, 1), 5);
    EXPECT_EQ(c(0, 2), 6);
    EXPECT_EQ(c(1, 3), 0);
}

TEST(Array, BooleanCellsAreAddressable) {
    vb::Array<bool> flags(vb::Range(1, 3), vb::To(1));
    flags(2, 1) = true;
    bool& cell = flags(3, 0);
    cell = true;
    EXPECT_TRUE(flags(2, 1));
    EXPECT_TRUE(flags(3, 0));
    EXPECT_FALSE(flags(1, 1));
    flags.ReDimPreserveLast(2);
    EXPECT_TRUE(flags(2, 1));
    EXPECT_FALSE(flags(2, 2));
}

TEST(Array, FailedReDimLeavesTheArrayAsItWas) {
    vb::Array<int> a(vb::Range(1, 2));
    a(2) = 5;
    const int32_t big = 2000000000;
    struct Case { std::vector<vb::Bounds> dims; int error; };
    const Case cases[] = {
        {{vb::To(big), vb::To(big), vb::To(big), vb::To(big), vb::To(big)}, 7},  // would overflow
        {{vb::To(3), vb::Range(2, 0)}, 9},                                        // negative extent
        {{}, 9},
    };
    for (const auto& c : cases) {
        try {
            a.ReDim(c.dims);
            FAIL() << "no error";
        } catch (const vb::RuntimeError& e) {
            EXPECT_EQ(e.number(), c.error);
        }
        EXPECT_EQ(a.dims(), 1);
        EXPECT_EQ(a(2), 5);
    }
    // An empty dimension is allowed and holds no cells.
    a.ReDim({vb::To(-1)});
    EXPECT_TRUE(a.allocated());
    EXPECT_EQ(a.size(), 0u);
}

TEST(Array, ReDimWithTakesCellsInStorageOrderAndRefusesAWrongCount) {
    vb::Array<int> a(vb::Range(1, 2));
    a(2) = 5;
    EXPECT_THROW(a.ReDimWith({1, 2, 3}, vb::To(1), vb::To(1)), vb::RuntimeError);
    EXPECT_EQ(a.dims(), 1);
    EXPECT_EQ(a(2), 5);
    a.ReDimWith({1, 2, 3, 4, 5, 6}, vb::To(1), vb::Range(1, 3));
    EXPECT_EQ(a.UBound(1), 1);
    EXPECT_EQ(a.LBound(2), 1);
    EXPECT_EQ(a(0, 1), 1);  // first subscript fastest
    EXPECT_EQ(a(1, 1), 2);
    EXPECT_EQ(a(1, 3), 6);
    a.ReDimWith({}, vb::To(2), vb::To(-1));  // no rows
    EXPECT_EQ(a.dims(), 2);
    EXPECT_EQ(a.size(), 0u);
}

}  // namespace
