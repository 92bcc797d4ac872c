// Geometry of the network drawing: where the shaft and the head of an arc between two node
// boxes lie, and whether a click falls on a shaft. Everything is in twips of the canvas; the
// angles and the click distances are single precision, because the choice between the side and
// the top/bottom branch and the 100-twip hit band are decided on those rounded values.
#pragma once

#include <cstdint>

namespace wizard {

// The drawing is in twips; a view shows 15 of them to a pixel (96 dots an inch).
constexpr int32_t kTwipsPerPixel = 15;

// A node box: 1212 x 252 twips, its corner on whole twips.
constexpr int32_t kNodeWidth = 1212;
constexpr int32_t kNodeHeight = 252;

struct Segment {
    float x1 = 0, y1 = 0, x2 = 0, y2 = 0;
};

// The four lines of one arc: the shaft from the border of the start box to the border of the end
// box, and the open head at the end (tri1 joins the two wings, tri2 and tri3 join a wing to the
// tip). headDrawable is false when the two boxes share their corner: the shaft then has no length
// and no direction, so its head must stay hidden whatever the arc's direction is.
struct ArcShape {
    Segment shaft;
    Segment tri1, tri2, tri3;
    float theta = 0;
    bool headDrawable = true;
};

// The angle of a node box's diagonal, Atn(252 / 1212) in single precision (about 0.205 rad).
float BoxAngle();

// The arc from the box with corner (leftA, topA) to the box with corner (leftB, topB), its head
// at B. The shaft is the segment between the two box centres cut at each box's border: through
// the sides when the slope is strictly flatter than the box diagonal, else through the top and
// bottom edges (so the exact diagonal goes through the top and bottom).
ArcShape ArcBetween(int32_t leftA, int32_t topA, int32_t leftB, int32_t topB);

// True when a click at (cx, cy) selects the shaft: it lies within 100 twips of the line through
// the shaft, measured vertically or horizontally, and not beyond the ends of a shaft that spans
// more than 200 twips in that direction.
bool ShaftHit(const Segment& shaft, float cx, float cy);

}  // namespace wizard
