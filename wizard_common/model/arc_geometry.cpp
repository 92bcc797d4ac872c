// Arc geometry between node boxes and the hit test on a shaft. Pure functions of the box corners
// and the click position; the canvas model keeps the results in its line sets.
#include "wizard_common/model/arc_geometry.h"

#include <cmath>

namespace wizard {

namespace {

constexpr float kHalfWidth = kNodeWidth / 2;    // 606
constexpr float kHalfHeight = kNodeHeight / 2;  // 126
// The runtime's rounded right angle: a vertical shaft is drawn at +-1.57, not at pi / 2.
constexpr float kVertical = 1.57f;
constexpr double kWingAngle = 0.314;  // about 18 degrees either side of the shaft
constexpr double kWingLength = 100;

// Both angles are the double result of Atn rounded to Single, so a slope equal to the box
// diagonal gives exactly BoxAngle and the strict test below sends it to the top/bottom branch.
float SlopeAngle(double dy, double dx) { return float(std::atan(dy / dx)); }

// The ends of the shaft where it leaves the boxes through the edges that cross axis u (the
// sides for u = x, the top and bottom for u = y): on those edges along u, and off the box centre
// along the other axis v by the slope times half the box's extent along u.
void CutAtBorders(double du, double dv, int32_t uA, int32_t uB, int32_t vA, int32_t vB,
                  int32_t uSize, int32_t vSize, float& u1, float& u2, float& v1, float& v2) {
    if (du >= 0) {
        u1 = float(uA);
        u2 = float(uB) + uSize;
    } else {
        u1 = float(uA) + uSize;
        u2 = float(uB);
    }
    const float e = float(std::fabs(dv * uSize / du / 2));
    v1 = float(vA) + vSize / 2;
    v2 = float(vB) + vSize / 2;
    if (dv >= 0) {
        v1 -= e;
        v2 += e;
    } else {
        v1 += e;
        v2 -= e;
    }
}

}  // namespace

float BoxAngle() { return SlopeAngle(kNodeHeight, kNodeWidth); }

ArcShape ArcBetween(int32_t leftA, int32_t topA, int32_t leftB, int32_t topB) {
    ArcShape r;
    const double dx = double(leftA) - leftB;
    const double dy = double(topA) - topB;
    if (dx == 0 && dy == 0) {
        // Coincident boxes (both dropped at the same corner): the segment between the centres
        // has no length, so it stays a point at the centre and the head has no direction.
        const float cx = leftA + kHalfWidth, cy = topA + kHalfHeight;
        r.shaft = {cx, cy, cx, cy};
        r.tri1 = r.tri2 = r.tri3 = r.shaft;
        r.theta = -kVertical;
        r.headDrawable = false;
        return r;
    }
    float theta;
    if (dx != 0) theta = SlopeAngle(dy, dx);
    else theta = dy >= 0 ? -kVertical : kVertical;
    r.theta = theta;

    float x1, y1, x2, y2;
    if (std::fabs(theta) < BoxAngle()) {
        // Through the sides: the vertical offset at the border follows the slope.
        CutAtBorders(dx, dy, leftA, leftB, topA, topB, kNodeWidth, kNodeHeight, x1, x2, y1, y2);
    } else {
        // Through the top and bottom edges; dy is not 0 here, or the slope would be flat.
        CutAtBorders(dy, dx, topA, topB, leftA, leftB, kNodeHeight, kNodeWidth, y1, y2, x1, x2);
    }
    r.shaft = {x1, y1, x2, y2};

    // The wings lie back toward A: along +theta when A is to the right of B, else along -theta.
    const double sigma = dx > 0 ? 1 : -1;
    const float w1x = float(x2 + sigma * kWingLength * std::cos(theta - kWingAngle));
    const float w1y = float(y2 + sigma * kWingLength * std::sin(theta - kWingAngle));
    const float w2x = float(x2 + sigma * kWingLength * std::cos(theta + kWingAngle));
    const float w2y = float(y2 + sigma * kWingLength * std::sin(theta + kWingAngle));
    r.tri1 = {w1x, w1y, w2x, w2y};
    r.tri2 = {w1x, w1y, x2, y2};
    r.tri3 = {w2x, w2y, x2, y2};
    return r;
}

bool ShaftHit(const Segment& s, float cx, float cy) {
    const bool wide = std::fabs(s.x1 - s.x2) > 200;
    const bool tall = std::fabs(s.y1 - s.y2) > 200;
    if (wide && cx > s.x1 && cx > s.x2) return false;
    if (wide && cx < s.x1 && cx < s.x2) return false;
    if (tall && cy > s.y1 && cy > s.y2) return false;
    if (tall && cy < s.y1 && cy < s.y2) return false;
    if (s.x1 == s.x2) return std::fabs(cx - s.x1) < 100;
    if (s.y1 == s.y2) return std::fabs(cy - s.y1) < 100;
    const float m = (s.y2 - s.y1) / (s.x2 - s.x1);
    const float vertical = std::fabs(cy - ((cx - s.x1) * m + s.y1));
    const float horizontal = std::fabs(cx - ((cy - s.y1) / m + s.x1));
    return vertical < 100 || horizontal < 100;
}

}  // namespace wizard
