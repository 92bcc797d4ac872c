// Arc geometry between node boxes and the shaft hit test.
#include "wizard_common/model/arc_geometry.h"

#include <cmath>

#include <gtest/gtest.h>

namespace wizard {
namespace {

float Distance(float x1, float y1, float x2, float y2) { return std::hypot(x1 - x2, y1 - y2); }

TEST(ArcGeometry, ShaftsBetweenBoxes) {
    struct Case {
        const char* name;
        int32_t la, ta, lb, tb;
        float x1, y1, x2, y2;
    };
    const Case cases[] = {
        // Same row, both orders: side to side at mid height.
        {"row, left to right", 300, 200, 4300, 200, 1512, 326, 4300, 326},
        {"row, right to left", 4300, 200, 300, 200, 4300, 326, 1512, 326},
        // Same column, both orders: bottom or top edge at the box centre.
        {"column, downward", 300, 200, 300, 1200, 906, 452, 906, 1200},
        {"column, upward", 300, 1200, 300, 200, 906, 1200, 906, 452},
        // Slope exactly the box diagonal: corner to corner (top/bottom branch, see below).
        {"diagonal", 0, 0, 2424, 504, 1212, 252, 2424, 504},
        // Steeper than the diagonal: through the bottom of A and the top of B.
        {"steep", 300, 200, 4300, 1200, 1410, 452, 4402, 1200},
        // Flatter than the diagonal: through the sides, offset along the slope.
        {"flat", 300, 200, 6300, 1200, 1512, 427, 6300, 1225},
    };
    for (const Case& c : cases) {
        const ArcShape s = ArcBetween(c.la, c.ta, c.lb, c.tb);
        EXPECT_FLOAT_EQ(s.shaft.x1, c.x1) << c.name;
        EXPECT_FLOAT_EQ(s.shaft.y1, c.y1) << c.name;
        EXPECT_FLOAT_EQ(s.shaft.x2, c.x2) << c.name;
        EXPECT_FLOAT_EQ(s.shaft.y2, c.y2) << c.name;
        EXPECT_TRUE(s.headDrawable) << c.name;
        // Both wings 100 twips from the tip, on the side of A, joined by tri1.
        const float tx = s.shaft.x2, ty = s.shaft.y2;
        for (const Segment& wing : {s.tri2, s.tri3}) {
            EXPECT_NEAR(Distance(wing.x1, wing.y1, tx, ty), 100, 0.5) << c.name;
            EXPECT_FLOAT_EQ(wing.x2, tx) << c.name;
            EXPECT_FLOAT_EQ(wing.y2, ty) << c.name;
            EXPECT_LT(Distance(wing.x1, wing.y1, s.shaft.x1, s.shaft.y1),
                      Distance(tx, ty, s.shaft.x1, s.shaft.y1)) << c.name;
        }
        EXPECT_FLOAT_EQ(s.tri1.x1, s.tri2.x1) << c.name;
        EXPECT_FLOAT_EQ(s.tri1.x2, s.tri3.x1) << c.name;
    }
}

TEST(ArcGeometry, AnglesOfTheBranches) {
    EXPECT_NEAR(BoxAngle(), 0.2050, 1e-4);
    // The exact diagonal gives BoxAngle itself, which the strict test sends to the top/bottom
    // branch; a vertical shaft uses the runtime's 1.57.
    EXPECT_EQ(ArcBetween(0, 0, 2424, 504).theta, BoxAngle());
    EXPECT_EQ(ArcBetween(0, 0, 12120, 2520).theta, BoxAngle());
    EXPECT_FLOAT_EQ(ArcBetween(300, 200, 300, 1200).theta, 1.57f);
    EXPECT_FLOAT_EQ(ArcBetween(300, 1200, 300, 200).theta, -1.57f);
    EXPECT_FLOAT_EQ(ArcBetween(300, 200, 4300, 200).theta, 0);
}

TEST(ArcGeometry, CoincidentCornersGiveAPointWithoutHead) {
    const ArcShape s = ArcBetween(0, 0, 0, 0);
    EXPECT_FALSE(s.headDrawable);
    for (float v : {s.shaft.x1, s.shaft.x2, s.tri1.x1, s.tri2.x2}) EXPECT_FLOAT_EQ(v, 606);
    for (float v : {s.shaft.y1, s.shaft.y2, s.tri1.y1, s.tri3.y2}) EXPECT_FLOAT_EQ(v, 126);
}

TEST(ArcGeometry, HitBandAroundShafts) {
    const Segment horizontal{1512, 326, 4300, 326};
    const Segment vertical{906, 452, 906, 1200};
    const Segment sloped{1410, 452, 4402, 1200};  // slope 0.25
    struct Case {
        const char* name;
        const Segment* s;
        float cx, cy;
        bool hit;
    };
    const Case cases[] = {
        {"50 beside a long horizontal shaft", &horizontal, 3000, 376, true},
        {"150 beside it", &horizontal, 3000, 476, false},
        {"in line but right of both ends", &horizontal, 4400, 326, false},
        {"in line but left of both ends", &horizontal, 1400, 326, false},
        {"99 beside a vertical shaft", &vertical, 1005, 800, true},
        {"101 beside it", &vertical, 1007, 800, false},
        {"below a tall vertical shaft", &vertical, 906, 1300, false},
        {"on a sloped shaft", &sloped, 2906, 826, true},
        // 90 below the line vertically, 360 beside it horizontally: the vertical band decides.
        {"90 below a sloped shaft", &sloped, 2906, 916, true},
        {"110 below it", &sloped, 2906, 936, false},
    };
    for (const Case& c : cases) EXPECT_EQ(ShaftHit(*c.s, c.cx, c.cy), c.hit) << c.name;
}

}  // namespace
}  // namespace wizard
