// The network window's model: loading, layout, scrolling, the edits under the cycle rule and
// saving back into the exchange array.
#include "wizard_common/model/graph_canvas.h"

#include <tuple>
#include <vector>

#include <gtest/gtest.h>

namespace wizard {
namespace {

using Matrix = GraphCanvas::Matrix;
using Code = std::tuple<int, int, int16_t>;  // field i, field j (i < j), code of cell (i, j)

// The exchange state of the classifier wizard for one model: fields named by the caller (field 1
// the class field), layers 0..nets.
struct Exchange {
    Matrix GraphArr;
    vb::Array<std::string> FieldNames;
    vb::Array<int16_t> FieldUsed;
    int16_t FieldCount = 0;

    Exchange(std::vector<std::string> names, int nets = 0) {
        FieldCount = int16_t(names.size());
        GraphArr.ReDim(vb::To(nets), vb::To(FieldCount), vb::To(FieldCount));
        FieldNames.ReDim(vb::To(FieldCount));
        FieldUsed.ReDim(vb::To(FieldCount));
        for (int k = 1; k <= FieldCount; ++k) FieldNames(k) = names[size_t(k) - 1];
    }
    void Set(int net, const std::vector<Code>& codes) {
        for (const auto& [i, j, c] : codes) GraphArr(net, i, j) = c;
    }
};

std::vector<std::string> Names(int n) {
    std::vector<std::string> r;
    for (int k = 1; k <= n; ++k) r.push_back("F" + std::to_string(k));
    return r;
}

// A window of 9200 x 6452 twips inside: a viewport of 9000 x 6000.
GraphCanvas SingleNet(const Exchange& x, int32_t width = 9200, int32_t height = 6452) {
    GraphCanvas c(CanvasSettings::NetworkWindow(), width, height);
    c.Init(x.GraphArr, 0, x.FieldCount, 1, x.FieldNames, x.FieldUsed);
    return c;
}

// The user's gestures on the model, as the window forwards them.
void Draw(GraphCanvas& c, int16_t from, int16_t to) {
    c.SetDrawMode(true);
    c.NodeClick(from);
    c.NodeClick(to);
    c.SetDrawMode(false);
}

void ClickArc(GraphCanvas& c, int16_t a, int16_t b) {
    const int32_t s = c.ArcIndex()(a, b);
    ASSERT_NE(s, 0);
    const Segment& seg = c.Lines(s).arc.seg;
    c.CanvasMouseUp((seg.x1 + seg.x2) / 2, (seg.y1 + seg.y2) / 2);
    c.CanvasClick();
    ASSERT_EQ(c.SelectedArc(), s);
}

void DragNode(GraphCanvas& c, int16_t k, float x, float y) {
    // Grabbed at (10, 10) inside the node; the corner lands at the pointer less the grab.
    ASSERT_TRUE(c.NodeMouseDown(k, 10, 10));
    c.DragTo(x + 10, y + 10);
    c.DropAt(x + 10, y + 10);
}

bool HeadShown(const GraphCanvas& c, int a, int b) {
    const LineSet& l = c.Lines(c.ArcIndex()(a, b));
    return l.tri1.visible && l.tri2.visible && l.tri3.visible;
}

TEST(GraphCanvasLayout, GridSizesAndCorners) {
    struct Case {
        const char* name;
        int fields;
        bool multiNet;
        int32_t width, height;  // cols x 2000; rows x 1000, or the last row's top + 1000
        int32_t lastLeft, lastTop;
    };
    const Case cases[] = {
        {"1 field: cols 2, rows 2", 1, false, 4000, 2000, 300, 200},
        {"2 fields: one a row", 2, false, 4000, 2000, 300, 1200},
        {"9 fields: cols 4, rows 3", 9, false, 8000, 3000, 4300, 2200},
        {"10 fields: cols 4, rows 4", 10, false, 8000, 4000, 300, 3200},
        // 17 fields: cols 5, rows 4 hold only 16 nodes; the fifth row gets room below it.
        {"17 fields", 17, false, 10000, 5200, 300, 4200},
        // 21 fields: rows = 21 / 6 + 1 = 4.5 goes to 4, again one row short.
        {"21 fields", 21, false, 12000, 5200, 300, 4200},
        // The grid of a multi-net is sized for all fields; its 9 nodes leave the class field out.
        {"multi-net of 10 fields", 10, true, 8000, 4000, 4300, 2200},
    };
    for (const Case& t : cases) {
        Exchange x(Names(t.fields), t.multiNet ? 2 : 0);
        GraphCanvas c(CanvasSettings::NetworkWindow(), 9200, 6452);
        c.Init(x.GraphArr, t.multiNet ? 1 : 0, x.FieldCount, t.multiNet ? 2 : 1, x.FieldNames,
               x.FieldUsed);
        ASSERT_EQ(c.NodeCount(), t.multiNet ? t.fields - 1 : t.fields) << t.name;
        EXPECT_EQ(c.CanvasWidth(), t.width) << t.name;
        EXPECT_EQ(c.CanvasHeight(), t.height) << t.name;
        EXPECT_EQ(c.Node(1).left, 300) << t.name;
        EXPECT_EQ(c.Node(1).top, 200) << t.name;
        const CanvasNode& last = c.Node(c.NodeCount());
        EXPECT_EQ(last.left, t.lastLeft) << t.name;
        EXPECT_EQ(last.top, t.lastTop) << t.name;
        EXPECT_LE(last.top + kNodeHeight, c.CanvasHeight()) << t.name;
        EXPECT_EQ(c.Node(1).name, t.multiNet ? "F2" : "F1") << t.name;
        EXPECT_EQ(c.Node(1).Text(), t.multiNet ? " F2" : " F1") << t.name;
    }
}

TEST(GraphCanvasLayout, NodeColoursFollowClassAndFeatures) {
    Exchange x(Names(4), 2);
    x.FieldUsed(3) = 1;
    GraphCanvas single = SingleNet(x);
    EXPECT_EQ(single.Node(1).backColour, 0xFFC0C0u);  // the class field: light blue
    EXPECT_EQ(single.Node(2).backColour, 0xFFFFFFu);
    EXPECT_EQ(single.Node(3).backColour, 0xFFFF00u);  // a selected feature: cyan
    EXPECT_EQ(RgbOf(0xFFC0C0), 0xC0C0FFu);

    GraphCanvas multi(CanvasSettings::NetworkWindow(), 9200, 6452);
    multi.Init(x.GraphArr, 2, x.FieldCount, 2, x.FieldNames, x.FieldUsed);
    EXPECT_EQ(multi.Node(1).backColour, 0xFFFFFFu);  // field 2
    EXPECT_EQ(multi.Node(2).backColour, 0xFFFF00u);  // field 3

    // The construction editor keeps the template colour everywhere.
    GraphCanvas plain(CanvasSettings::SingleEditor(), 9200, 6452);
    plain.Init(x.GraphArr, 0, x.FieldCount, 1, x.FieldNames, x.FieldUsed);
    EXPECT_EQ(plain.Node(1).backColour, 0xFFFFFFu);
    EXPECT_EQ(plain.Node(3).backColour, 0xFFFFFFu);
}

TEST(GraphCanvasInit, CodesGiveLinksDirectionsAndLines) {
    Exchange x(Names(5));
    // 0 nothing, 1 i -> j, 2 j -> i, 3 and 5 a link without direction.
    x.Set(0, {{1, 2, 0}, {1, 3, 1}, {1, 4, 2}, {2, 3, 3}, {4, 5, 5}});
    GraphCanvas c = SingleNet(x);
    const Matrix& L = c.Linked();
    const Matrix& D = c.Directed();
    EXPECT_EQ(L(1, 2) + L(2, 1), 0);
    EXPECT_EQ(L(1, 3) + L(3, 1) + L(1, 4) + L(4, 1) + L(2, 3) + L(3, 2) + L(4, 5) + L(5, 4), 8);
    EXPECT_EQ(D(1, 3), 1);
    EXPECT_EQ(D(4, 1), 1);
    EXPECT_EQ(D(1, 4) + D(3, 1) + D(2, 3) + D(3, 2) + D(4, 5) + D(5, 4), 0);
    EXPECT_EQ(c.DirClosure()(4, 3), 1);  // 4 -> 1 -> 3
    EXPECT_EQ(c.DirClosure()(3, 4), 0);
    EXPECT_EQ(c.ArcCount(), 4);
    EXPECT_TRUE(HeadShown(c, 1, 3));
    EXPECT_TRUE(HeadShown(c, 4, 1));
    EXPECT_FALSE(HeadShown(c, 2, 3));
    EXPECT_FALSE(HeadShown(c, 4, 5));
    // The head of 4 -> 1 sits at node 1: the shaft ends on the bottom of node 1's box.
    const Segment& s = c.Lines(c.ArcIndex()(1, 4)).arc.seg;
    EXPECT_FLOAT_EQ(s.y2, c.Node(1).top + kNodeHeight);
    EXPECT_FALSE(c.Changed());
}

TEST(GraphCanvasInit, MultiNetIgnoresTheClassField) {
    Exchange x(Names(4), 2);
    x.Set(1, {{1, 2, 1}, {1, 3, 2}, {2, 3, 1}, {3, 4, 3}});
    x.Set(2, {{2, 4, 2}});
    GraphCanvas c(CanvasSettings::NetworkWindow(), 9200, 6452);
    c.Init(x.GraphArr, 1, x.FieldCount, 2, x.FieldNames, x.FieldUsed);
    EXPECT_EQ(c.NodeCount(), 3);
    EXPECT_EQ(c.ArcCount(), 2);  // fields 2 -> 3 and 3 -- 4 only, the other layer unread
    EXPECT_EQ(c.Directed()(1, 2), 1);  // nodes 1, 2 are fields 2, 3
    EXPECT_EQ(c.Linked()(2, 3), 1);
    EXPECT_EQ(c.Linked()(1, 3), 0);
}

TEST(GraphCanvasScrolling, RangesRoundHalfToEvenAndFollowTheBars) {
    Exchange x(Names(10));  // canvas 8000 x 4000
    // Viewport 4950 x 3000: (8000 - 4950) / 100 = 30.5 goes to 30; (4000 - 3000) / 100 = 10.
    GraphCanvas c = SingleNet(x, 5150, 3452);
    EXPECT_TRUE(c.HScroll().enabled);
    EXPECT_EQ(c.HScroll().max, 30);
    EXPECT_TRUE(c.VScroll().enabled);
    EXPECT_EQ(c.VScroll().max, 10);
    // 29.5 goes to 30 as well.
    EXPECT_EQ(SingleNet(x, 5250, 3452).HScroll().max, 30);
    // A viewport as large as the canvas: no range.
    EXPECT_FALSE(SingleNet(x, 8200, 4452).HScroll().enabled);
    EXPECT_FALSE(SingleNet(x, 8200, 4452).VScroll().enabled);

    c.SetHScrollValue(12);
    c.SetVScrollValue(99);  // beyond the maximum: held at 10
    EXPECT_EQ(c.CanvasLeft(), -1200);
    EXPECT_EQ(c.CanvasTop(), -1000);
    // Captures start at the canvas origin and leave 20 twips off the viewport's height.
    const CanvasRect r = c.CaptureRect();
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.width, 4950);
    EXPECT_EQ(r.height, 2980);
}

TEST(GraphCanvasScrolling, ResizePastTheCanvasGrowsItAndResetsTheBars) {
    Exchange x(Names(10));
    GraphCanvas c = SingleNet(x, 5150, 3452);
    c.SetHScrollValue(12);
    c.SetVScrollValue(5);
    c.Resize(10200, 3952);  // viewport 10000 x 3500
    EXPECT_EQ(c.ViewportWidth(), 10000);
    EXPECT_EQ(c.CanvasWidth(), 10000);
    EXPECT_FALSE(c.HScroll().enabled);
    EXPECT_EQ(c.HScroll().value, 0);
    EXPECT_EQ(c.CanvasLeft(), 0);
    EXPECT_EQ(c.CanvasHeight(), 4000);  // never shrinks
    EXPECT_TRUE(c.VScroll().enabled);
    EXPECT_EQ(c.VScroll().max, 5);
    EXPECT_EQ(c.CanvasTop(), -500);
    EXPECT_EQ(c.HScroll().top, 3952 - 452);
    EXPECT_EQ(c.HScroll().length, 10000);
    EXPECT_EQ(c.VScroll().left, 10000);
    EXPECT_EQ(c.VScroll().length, 3500);
    // Smaller again: the canvas keeps its size and the bar comes back.
    c.Resize(5200, 3952);
    EXPECT_EQ(c.CanvasWidth(), 10000);
    EXPECT_TRUE(c.HScroll().enabled);
    EXPECT_EQ(c.HScroll().max, 50);
    // A minimised window changes nothing.
    c.Resize(0, 0);
    EXPECT_EQ(c.ViewportWidth(), 5000);
}

TEST(GraphCanvasScrolling, SingleEditorMarginsAndMinimumSize) {
    Exchange x(Names(3));
    vb::Array<std::string> names(vb::To(3));
    for (int k = 1; k <= 3; ++k) names(k) = x.FieldNames(k);
    GraphCanvas c(CanvasSettings::SingleEditor(), 9200, 6896);
    c.InitLinks(names, Matrix(vb::To(3), vb::To(3)), Matrix(vb::To(3), vb::To(3)));
    EXPECT_EQ(c.ViewportHeight(), 6000);
    c.Resize(3000, 1500);  // raised to 4000 x 1800
    EXPECT_EQ(c.ViewportWidth(), 3800);
    EXPECT_EQ(c.ViewportHeight(), 904);
    EXPECT_EQ(c.HScroll().top, 1800 - 512);
    EXPECT_EQ(c.CaptureRect().height, 904);  // the full viewport
}

// ------------------------------------------------------------------ edits

enum class Act { Draw, Orient, Delete };
struct Step {
    Act act;
    int16_t a, b;
};

struct EditCase {
    const char* name;
    std::vector<std::string> fields;
    std::vector<Code> codes;
    std::vector<Step> steps;
    std::vector<bool> answers;            // to the inference questions, in order
    std::vector<std::string> messages;    // expected, in order
    std::vector<std::string> questions;   // expected, in order
    std::vector<std::pair<int, int>> heads;  // arcs a -> b whose head is drawn afterwards
    int32_t arcCount;
    bool changed;
    std::vector<Code> saved;  // cells (i, j) after SaveNet; (j, i) must mirror them
};

const char* const kCircles = "Circles are not allowed.";

TEST(GraphCanvasEdit, EditsUnderTheCycleRule) {
    const EditCase cases[] = {
        {"drawing B -> A after A -> B is refused", {"A", "B"}, {},
         {{Act::Draw, 1, 2}, {Act::Draw, 2, 1}}, {}, {kCircles}, {}, {{1, 2}}, 1, true,
         {{1, 2, 1}}},
        {"adding B -> C offers A -> C over A -- C; Yes draws the head", {"A", "B", "C"},
         {{1, 3, 3}}, {{Act::Draw, 1, 2}, {Act::Draw, 2, 3}}, {true}, {},
         {"This action infers that A -> C, orient it?"}, {{1, 2}, {2, 3}, {1, 3}}, 3, true,
         {{1, 2, 1}, {2, 3, 1}, {1, 3, 1}}},
        // No leaves A -- C without its own direction; the path still gives it one on saving.
        {"the inference answered No", {"A", "B", "C"}, {{1, 3, 3}},
         {{Act::Draw, 1, 2}, {Act::Draw, 2, 3}}, {false}, {},
         {"This action infers that A -> C, orient it?"}, {{1, 2}, {2, 3}}, 3, true,
         {{1, 2, 1}, {2, 3, 1}, {1, 3, 1}}},
        {"drawing over an undirected link orients it and keeps its lines", {"A", "B"},
         {{1, 2, 3}}, {{Act::Draw, 1, 2}}, {}, {}, {}, {{1, 2}}, 1, true, {{1, 2, 1}}},
        {"drawing an arc implied over a link does nothing", {"A", "B", "C"},
         {{1, 2, 1}, {2, 3, 1}, {1, 3, 3}}, {{Act::Draw, 1, 3}}, {}, {}, {}, {{1, 2}, {2, 3}}, 3,
         false, {}},
        {"reversing A -> B past A -> X -> B is refused", {"A", "B", "X"},
         {{1, 2, 1}, {1, 3, 1}, {2, 3, 2}}, {{Act::Orient, 1, 2}}, {}, {kCircles}, {},
         {{1, 2}, {1, 3}, {3, 2}}, 3, true, {{1, 2, 1}, {1, 3, 1}, {2, 3, 2}}},
        {"reversing a free arc", {"A", "B"}, {{1, 2, 1}}, {{Act::Orient, 1, 2}}, {}, {}, {},
         {{2, 1}}, 1, true, {{1, 2, 2}}},
        {"an unordered undirected arc points to the later node", {"A", "B"}, {{1, 2, 3}},
         {{Act::Orient, 1, 2}}, {}, {}, {}, {{1, 2}}, 1, true, {{1, 2, 1}}},
        // Refused, and the direction the path forces is drawn as well as kept.
        {"a refused reversal of an undirected arc shows the path's direction", {"A", "B", "X"},
         {{1, 2, 3}, {1, 3, 1}, {2, 3, 2}}, {{Act::Orient, 1, 2}}, {}, {kCircles}, {},
         {{1, 2}, {1, 3}, {3, 2}}, 3, true, {{1, 2, 1}}},
        {"deleting and saving writes 0 into both cells", {"A", "B", "C"},
         {{1, 2, 1}, {2, 3, 2}}, {{Act::Delete, 1, 2}}, {}, {}, {}, {{3, 2}}, 2, true,
         {{1, 2, 0}, {2, 3, 2}}},
        {"a deleted arc drawn again gets a new line set", {"A", "B"}, {{1, 2, 1}},
         {{Act::Delete, 1, 2}, {Act::Draw, 2, 1}}, {}, {}, {}, {{2, 1}}, 2, true,
         {{1, 2, 2}}},
    };
    for (const EditCase& t : cases) {
        Exchange x(t.fields);
        x.Set(0, t.codes);
        GraphCanvas c = SingleNet(x);
        std::vector<std::string> messages, questions;
        size_t answer = 0;
        c.SetPrompts({[&](const std::string& m) { messages.push_back(m); },
                      [&](const std::string& q) {
                          questions.push_back(q);
                          return answer < t.answers.size() && t.answers[answer++];
                      }});
        for (const Step& s : t.steps) {
            if (s.act == Act::Draw) {
                Draw(c, s.a, s.b);
            } else {
                ClickArc(c, s.a, s.b);
                if (s.act == Act::Orient) c.CanvasDblClick();
                else c.DeleteSelectedArc();
            }
        }
        EXPECT_EQ(messages, t.messages) << t.name;
        EXPECT_EQ(questions, t.questions) << t.name;
        for (const auto& [a, b] : t.heads) {
            EXPECT_TRUE(HeadShown(c, a, b)) << t.name << ": " << a << " -> " << b;
            EXPECT_EQ(c.Directed()(a, b), 1) << t.name << ": " << a << " -> " << b;
        }
        for (int a = 1; a <= c.NodeCount(); ++a)
            for (int b = 1; b <= c.NodeCount(); ++b)
                if (c.Directed()(a, b) == 1) {
                    EXPECT_EQ(c.DirClosure()(b, a), 0) << t.name;
                }
        EXPECT_EQ(c.ArcCount(), t.arcCount) << t.name;
        EXPECT_EQ(c.Changed(), t.changed) << t.name;
        EXPECT_EQ(c.SaveNet(x.GraphArr), t.changed) << t.name;
        EXPECT_FALSE(c.Changed()) << t.name;
        for (const auto& [i, j, code] : t.saved) {
            EXPECT_EQ(x.GraphArr(0, i, j), code) << t.name << ": " << i << ", " << j;
            const int16_t mirror = code == 1 ? 2 : code == 2 ? 1 : code;
            EXPECT_EQ(x.GraphArr(0, j, i), mirror) << t.name << ": " << j << ", " << i;
        }
    }
}

TEST(GraphCanvasEdit, SaveNetCodesOfEveryKindOfPair) {
    Exchange x(Names(6), 2);
    // Layer 1 of a multi-net (nodes 1..5 are fields 2..6). The class field's row and column
    // hold codes the window must keep; cell (5, 2) holds a stale value it must overwrite.
    x.Set(1, {{1, 2, 1}, {1, 5, 3}, {2, 3, 1}, {2, 4, 2}, {4, 5, 5}, {3, 4, 3}});
    x.GraphArr(1, 5, 1) = 7;
    x.GraphArr(1, 5, 2) = 9;
    GraphCanvas c(CanvasSettings::NetworkWindow(), 9200, 6452);
    c.Init(x.GraphArr, 1, x.FieldCount, 2, x.FieldNames, x.FieldUsed);
    EXPECT_FALSE(c.SaveNet(x.GraphArr));  // unchanged: nothing written
    EXPECT_EQ(x.GraphArr(1, 5, 2), 9);
    Draw(c, 5, 4);  // field 6 -> field 5
    ASSERT_TRUE(c.SaveNet(x.GraphArr));
    const struct {
        int i, j;
        int16_t ij, ji;
    } cells[] = {
        {2, 3, 1, 2},  // 2 -> 3
        {2, 4, 2, 1},  // 4 -> 2
        {4, 5, 3, 3},  // code 5: linked, no direction, no path
        {3, 4, 2, 1},  // linked without direction, but 4 -> 2 -> 3 orders it
        {2, 5, 0, 0},  // no link: both cells cleared
        {5, 6, 2, 1},  // drawn 6 -> 5
        {1, 2, 1, 0},  // the class field's row and column as they were
        {1, 5, 3, 7},
    };
    for (const auto& t : cells) {
        EXPECT_EQ(x.GraphArr(1, t.i, t.j), t.ij) << t.i << ", " << t.j;
        EXPECT_EQ(x.GraphArr(1, t.j, t.i), t.ji) << t.j << ", " << t.i;
    }
    for (int i = 1; i <= 6; ++i)  // the other layers untouched
        for (int j = 1; j <= 6; ++j) EXPECT_EQ(x.GraphArr(0, i, j) + x.GraphArr(2, i, j), 0);
}

TEST(GraphCanvasEdit, DragMovesTheNodeAndItsArcs) {
    Exchange x(Names(3));  // nodes at (300, 200), (2300, 200), (300, 1200); canvas 6000 x 2000
    x.Set(0, {{1, 2, 1}});
    GraphCanvas c = SingleNet(x, 5200, 2452);  // viewport 5000 x 2000
    ASSERT_TRUE(c.NodeMouseDown(2, 10, 10));
    c.DragTo(2310, 1210);  // passing over the canvas: the node follows, its arc with it
    EXPECT_EQ(c.Node(2).left, 2300);
    EXPECT_EQ(c.Node(2).top, 1200);
    EXPECT_FLOAT_EQ(c.Lines(1).arc.seg.y2, 1200);
    c.DropAt(-500, -300);  // negative corners land at 0
    EXPECT_FALSE(c.Dragging());
    EXPECT_EQ(c.Node(2).left, 0);
    EXPECT_EQ(c.Node(2).top, 0);
    EXPECT_EQ(c.ArcCount(), 1);
    EXPECT_EQ(c.CanvasWidth(), 6000);

    // Within 2000 twips of the right edge: 2000 wider, and the bar's range follows.
    DragNode(c, 2, 4500, 200);
    EXPECT_EQ(c.CanvasWidth(), 8000);
    EXPECT_EQ(c.HScroll().max, 30);
    // Within 1000 of the bottom: 1000 higher.
    EXPECT_FALSE(c.VScroll().enabled);
    DragNode(c, 3, 300, 1500);
    EXPECT_EQ(c.CanvasHeight(), 3000);
    EXPECT_TRUE(c.VScroll().enabled);
    EXPECT_EQ(c.VScroll().max, 10);
    // Repeated drops at the right edge carry the canvas past 16-bit sizes.
    for (int k = 0; k < 20; ++k) DragNode(c, 2, float(c.CanvasWidth() - 1000), 200);
    EXPECT_EQ(c.CanvasWidth(), 48000);
    EXPECT_EQ(c.Node(2).left, 45000);
    EXPECT_EQ(c.HScroll().max, 430);
    c.SetHScrollValue(430);
    EXPECT_EQ(c.CanvasLeft(), -43000);

    // In draw mode a press starts no drag.
    c.SetDrawMode(true);
    EXPECT_FALSE(c.NodeMouseDown(1, 5, 5));
}

TEST(GraphCanvasEdit, CoincidentNodesHideTheHeadUntilTheyPart) {
    Exchange x(Names(2));
    x.Set(0, {{1, 2, 1}});
    GraphCanvas c = SingleNet(x);
    DragNode(c, 1, -50, -50);
    DragNode(c, 2, -50, -50);
    const LineSet& l = c.Lines(1);
    EXPECT_TRUE(l.arc.visible);
    EXPECT_FLOAT_EQ(l.arc.seg.x1, l.arc.seg.x2);
    EXPECT_FLOAT_EQ(l.arc.seg.y1, l.arc.seg.y2);
    EXPECT_FALSE(HeadShown(c, 1, 2));
    EXPECT_EQ(c.Directed()(1, 2), 1);
    DragNode(c, 2, 3000, 0);
    EXPECT_TRUE(HeadShown(c, 1, 2));
    EXPECT_FLOAT_EQ(c.Lines(1).arc.seg.x2, 3000);
}

TEST(GraphCanvasEdit, SelectionFocusAndStatusLine) {
    Exchange x(Names(4), 2);  // multi-net layer 1: nodes F2, F3, F4
    x.Set(1, {{2, 3, 2}, {2, 4, 3}});
    GraphCanvas c(CanvasSettings::NetworkWindow(), 9200, 6452);
    c.Init(x.GraphArr, 1, x.FieldCount, 2, x.FieldNames, x.FieldUsed);
    ClickArc(c, 1, 2);
    EXPECT_EQ(c.StatusText(), "ARC: F3 -> F2");
    EXPECT_EQ(c.Lines(c.SelectedArc()).arc.width, 2);
    EXPECT_EQ(c.Lines(c.SelectedArc()).tri2.width, 3);
    const int32_t first = c.SelectedArc();
    ClickArc(c, 1, 3);
    EXPECT_EQ(c.StatusText(), "ARC: F2 -- F4");
    EXPECT_EQ(c.Lines(first).arc.width, 1);
    EXPECT_EQ(c.Lines(first).tri1.width, 1);

    // Focus on a node deselects the arc and names the node's field.
    c.NodeGotFocus(2);
    EXPECT_EQ(c.SelectedArc(), 0);
    EXPECT_EQ(c.StatusText(), "NODE: F3");
    EXPECT_EQ(c.FocusedNode(), 2);
    c.NodeLostFocus(2);
    EXPECT_EQ(c.StatusText(), "");
    EXPECT_EQ(c.FocusedNode(), 0);

    // A click beside every shaft deselects and clears the line.
    ClickArc(c, 1, 2);
    c.CanvasMouseUp(8000, 5000);
    c.CanvasClick();
    EXPECT_EQ(c.SelectedArc(), 0);
    EXPECT_EQ(c.StatusText(), "");
    // With nothing selected, Delete and a double click do nothing.
    c.DeleteSelectedArc();
    c.CanvasDblClick();
    EXPECT_FALSE(c.Changed());
    EXPECT_EQ(c.CloseQuestionText("Class = yes"),
              "The network [Class = yes] has changed.\r\nSave the changes?");
}

TEST(GraphCanvasEdit, ClicksBesideALongShaft) {
    Exchange x(Names(9));  // nodes 1 and 3 in one row: (300, 200) and (4300, 200)
    x.Set(0, {{1, 3, 1}});
    GraphCanvas c = SingleNet(x);
    c.CanvasMouseUp(3000, 326 + 150);
    c.CanvasClick();
    EXPECT_EQ(c.SelectedArc(), 0);
    c.CanvasMouseUp(3000, 326 + 50);
    c.CanvasClick();
    EXPECT_EQ(c.SelectedArc(), 1);
    c.DeleteSelectedArc();
    EXPECT_FALSE(c.Lines(1).arc.visible);
    EXPECT_EQ(c.SelectedArc(), 1);  // kept until the next click on the canvas
    EXPECT_EQ(c.CloseQuestionText(""), "The network has changed.\r\nSave the changes?");
    EXPECT_TRUE(c.NeedsCloseQuestion());
}

TEST(GraphCanvasEdit, PendingStartAndRubberBand) {
    Exchange x(Names(3));
    GraphCanvas c = SingleNet(x);
    c.NodeClick(1);  // outside draw mode: nothing
    EXPECT_FALSE(c.StartPending());
    c.SetDrawMode(true);
    c.NodeClick(1);
    EXPECT_TRUE(c.StartPending());
    EXPECT_TRUE(c.RubberBand().visible);
    EXPECT_FLOAT_EQ(c.RubberBand().seg.x1, 906);
    EXPECT_FLOAT_EQ(c.RubberBand().seg.y2, 326);
    c.MouseMove(5000, 4000);
    EXPECT_FLOAT_EQ(c.RubberBand().seg.x2, 5000);
    EXPECT_FLOAT_EQ(c.RubberBand().seg.y2, 4000);
    // The draw button drops the start: the next node click starts afresh.
    c.DropPendingStart();
    EXPECT_FALSE(c.StartPending());
    EXPECT_FALSE(c.RubberBand().visible);
    c.NodeClick(2);
    EXPECT_EQ(c.ArcCount(), 0);
    c.NodeClick(2);  // the same node again: nothing
    EXPECT_EQ(c.ArcCount(), 0);
    EXPECT_FALSE(c.StartPending());
    // A click on the canvas drops a pending start too.
    c.NodeClick(3);
    c.CanvasClick();
    EXPECT_FALSE(c.StartPending());
    EXPECT_FALSE(c.Changed());
}

TEST(GraphCanvasEdit, SingleEditorTracksNoChanges) {
    vb::Array<std::string> names(vb::To(3));
    names(1) = "a";
    names(2) = "b";
    names(3) = "c";
    Matrix linked(vb::To(3), vb::To(3)), directed(vb::To(3), vb::To(3));
    linked(1, 2) = linked(2, 1) = 1;
    directed(1, 2) = 1;
    linked(2, 3) = linked(3, 2) = 1;
    GraphCanvas c(CanvasSettings::SingleEditor(), 9200, 6896);
    c.InitLinks(names, linked, directed);
    std::vector<std::string> questions;
    c.SetPrompts({nullptr, [&](const std::string& q) {
                      questions.push_back(q);
                      return true;
                  }});
    Draw(c, 3, 1);  // c -> a: a -> b -- c with c reaching b offers c -> b
    EXPECT_EQ(questions, std::vector<std::string>{"This action infers that c -> b, orient it?"});
    EXPECT_EQ(c.Directed()(3, 2), 1);
    EXPECT_FALSE(c.Changed());
    EXPECT_FALSE(c.NeedsCloseQuestion());
    Matrix graph(vb::To(0), vb::To(3), vb::To(3));
    EXPECT_FALSE(c.SaveNet(graph));
    // What the wizard takes back: Linked and the closure.
    EXPECT_EQ(c.DirClosure()(3, 2), 1);
    EXPECT_EQ(c.Linked()(1, 3), 1);
}

}  // namespace
}  // namespace wizard
