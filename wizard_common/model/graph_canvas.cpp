// The network window's model: loading a network, the grid layout, drawing the arcs into line
// sets, the viewport and scroll bars, and the edits (add, move, select, orient or reverse,
// delete, the inference offer, saving back). Reads and writes only its own members; the
// exchange array is passed in by the caller of Init and SaveNet.
#include "wizard_common/model/graph_canvas.h"

#include <algorithm>
#include <cmath>

#include "platform/vb/types.h"

namespace wizard {

namespace {

constexpr int32_t kCellWidth = 2000;   // grid columns
constexpr int32_t kCellHeight = 1000;  // grid rows
constexpr int32_t kFirstLeft = 300;
constexpr int32_t kFirstTop = 200;

// A pointer position less the grab offset, on whole twips and never negative.
int32_t Corner(float pointer, float grab) {
    const float v = pointer - grab;
    return v < 0 ? 0 : vb::CLng(v);
}

}  // namespace

std::string EditorHelpText() {
    return "To delete an Arc: click on the arc and press 'Delete'.\r\n"
           "To add or change the direction of an arc: double click the arc.\r\n"
           "To move a node: Turn off 'Draw mode' and drag the node.\r\n"
           "To add an arc: Turn on 'Draw mode' and click the starting node and the ending node.";
}

GraphCanvas::GraphCanvas(const CanvasSettings& settings, int32_t innerWidth, int32_t innerHeight)
    : settings_(settings) {
    viewportWidth_ = std::max(0, innerWidth - settings_.viewportMarginWidth);
    viewportHeight_ = std::max(0, innerHeight - settings_.viewportMarginHeight);
    PlaceBars(innerWidth, innerHeight);
}

void GraphCanvas::Setup(int16_t dim, int16_t gridCount) {
    dim_ = dim;
    gridCount_ = gridCount;
    for (Matrix* m : {&linked_, &directed_, &dirClosure_}) m->ReDim(vb::To(dim), vb::To(dim));
    arcIndex_.ReDim(vb::To(dim), vb::To(dim));
    nodes_.clear();
    lines_.clear();
    currentNode_ = 0;
    selectedArc_ = 0;
    pending_ = dragging_ = false;
    dotline_.visible = false;
    focusedNode_ = 0;
    status_.clear();
    changed_ = false;
    canvasLeft_ = canvasTop_ = 0;
}

void GraphCanvas::Init(const Matrix& GraphArr, int16_t net, int16_t FieldCount, int16_t FirstNode,
                       const vb::Array<std::string>& FieldNames,
                       const vb::Array<int16_t>& FieldUsed) {
    Setup(FieldCount, FieldCount);
    net_ = net;
    firstNode_ = FirstNode;
    fieldCount_ = FieldCount;
    for (int i = FirstNode; i <= FieldCount - 1; ++i) {
        for (int j = i + 1; j <= FieldCount; ++j) {
            const int a = i - FirstNode + 1, b = j - FirstNode + 1;
            const int16_t c = GraphArr(net, i, j);
            if (c > 0) linked_(a, b) = linked_(b, a) = 1;
            if (c == 1) directed_(a, b) = 1;
            if (c == 2) directed_(b, a) = 1;
        }
    }
    for (int k = FirstNode; k <= FieldCount; ++k) {
        CanvasNode node;
        node.name = FieldNames(k);
        if (settings_.colourNodes) {
            if (k == 1) node.backColour = kClassNodeColour;
            else if (FieldUsed.InBounds(1, k) && FieldUsed(k) != 0)
                node.backColour = kFeatureNodeColour;
        }
        nodes_.push_back(std::move(node));
    }
    Build();
}

void GraphCanvas::InitLinks(const vb::Array<std::string>& NodeNames, const Matrix& linked,
                            const Matrix& directed) {
    const int16_t n = int16_t(NodeNames.UBound());
    Setup(n, n);
    net_ = 0;
    firstNode_ = 1;
    fieldCount_ = n;
    for (int a = 1; a <= n; ++a) {
        for (int b = 1; b <= n; ++b) {
            linked_(a, b) = linked(a, b);
            directed_(a, b) = directed(a, b);
        }
    }
    for (int k = 1; k <= n; ++k) {
        CanvasNode node;
        node.name = NodeNames(k);
        nodes_.push_back(std::move(node));
    }
    Build();
}

// With the links and the nodes loaded: the closure, the layout, the arcs and the bars' ranges.
void GraphCanvas::Build() {
    Reclose();
    LayoutNodes();
    DrawArcs();
    SetScrollRanges(false);
}

void GraphCanvas::LayoutNodes() {
    const int n = gridCount_;
    const int32_t cols = vb::CInt(std::sqrt(double(n)) + 1);
    const int32_t rows = vb::CInt(double(n) / cols + 1);
    canvasWidth_ = vb::LongMul(cols, kCellWidth);
    canvasHeight_ = vb::LongMul(rows, kCellHeight);
    int32_t x = kFirstLeft, y = kFirstTop;
    int32_t lastTop = y;
    for (CanvasNode& node : nodes_) {
        node.left = x;
        node.top = y;
        lastTop = y;
        x += kCellWidth;
        if (x > canvasWidth_ - kCellWidth) {
            x = kFirstLeft;
            y += kCellHeight;
        }
    }
    // A row holds cols - 1 nodes, and for some counts (17, 21, 26 ...) rows x (cols - 1) falls
    // short of n: the canvas then reaches 1000 twips below the last row's top, so that no node
    // lies below it and out of the scroll range. Other counts keep rows x 1000.
    const int32_t usedRows = (lastTop - kFirstTop) / kCellHeight + 1;
    if (!nodes_.empty() && usedRows > rows) canvasHeight_ = lastTop + kCellHeight;
}

int32_t GraphCanvas::DrawArc(int16_t a, int16_t b, bool directed, bool forceNew) {
    int32_t s = 0;
    if (linked_(a, b) != 0 && !forceNew) s = arcIndex_(a, b);
    if (s == 0) {
        lines_.push_back(LineSet{});
        s = int32_t(lines_.size());
        arcIndex_(a, b) = arcIndex_(b, a) = s;
    }
    const CanvasNode& na = Node(a);
    const CanvasNode& nb = Node(b);
    const ArcShape shape = ArcBetween(na.left, na.top, nb.left, nb.top);
    LineSet& set = lines_[size_t(s) - 1];
    set.arc.seg = shape.shaft;
    set.arc.visible = true;
    set.tri1.seg = shape.tri1;
    set.tri2.seg = shape.tri2;
    set.tri3.seg = shape.tri3;
    const bool head = directed && shape.headDrawable;
    set.tri1.visible = set.tri2.visible = set.tri3.visible = head;
    return s;
}

void GraphCanvas::DrawArcs() {
    if (!lines_.empty()) return;
    const int m = NodeCount();
    for (int a = 1; a <= m - 1; ++a) {
        for (int b = a + 1; b <= m; ++b) {
            if (linked_(a, b) != 1) continue;
            if (directed_(a, b) == 1) DrawArc(a, b, true, true);
            else if (directed_(b, a) == 1) DrawArc(b, a, true, true);
            else DrawArc(a, b, false, true);
        }
    }
}

void GraphCanvas::transclz(const Matrix& arr1, Matrix& arr2) {
    // Warshall's closure on a plain copy: the editors recompute it in full after every edit.
    const int n = arr1.UBound(1);
    const size_t w = size_t(n) + 1;
    std::vector<uint8_t> r(w * w);
    for (int k = 0; k <= n; ++k)
        for (int l = 0; l <= n; ++l) r[k * w + l] = arr1(k, l) == 1;
    for (size_t j = 0; j < w; ++j) {
        for (size_t k = 0; k < w; ++k) {
            if (!r[k * w + j]) continue;
            for (size_t l = 0; l < w; ++l)
                if (r[j * w + l]) r[k * w + l] = 1;
        }
    }
    arr2.ReDim(vb::To(n), vb::To(n));
    for (int k = 0; k <= n; ++k)
        for (int l = 0; l <= n; ++l) arr2(k, l) = r[k * w + l];
}

CanvasRect GraphCanvas::NodeRect(int16_t k) const {
    const CanvasNode& n = Node(k);
    return {n.left, n.top, kNodeWidth, kNodeHeight};
}

CanvasRect GraphCanvas::CaptureRect() const {
    return {0, 0, viewportWidth_, std::max(0, viewportHeight_ - settings_.captureHeightCut)};
}

// ---------------------------------------------------------------- viewport and scrolling

void GraphCanvas::SetRange(ScrollBarState& bar, int32_t canvasSize, int32_t viewportSize,
                           bool resetDisabled, int32_t& canvasOffset) {
    const double h = (double(canvasSize) - viewportSize) / kScrollUnit;
    if (h > 0) {
        bar.enabled = true;
        bar.max = vb::CLng(h);
        // A bar whose maximum falls below its value moves to the maximum, and the canvas with it.
        if (bar.value > bar.max) {
            bar.value = bar.max;
            canvasOffset = -vb::LongMul(bar.value, kScrollUnit);
        }
    } else {
        bar.enabled = false;
        if (resetDisabled) {
            bar.value = 0;
            canvasOffset = 0;
        }
    }
}

void GraphCanvas::SetScrollRanges(bool resetDisabled) {
    SetRange(hScroll_, canvasWidth_, viewportWidth_, resetDisabled, canvasLeft_);
    SetRange(vScroll_, canvasHeight_, viewportHeight_, resetDisabled, canvasTop_);
}

void GraphCanvas::Resize(int32_t innerWidth, int32_t innerHeight) {
    innerWidth = std::max(innerWidth, settings_.minWindowWidth);
    innerHeight = std::max(innerHeight, settings_.minWindowHeight);
    // A window too small for the margins (minimised) leaves everything as it was.
    const int32_t vh = innerHeight - settings_.viewportMarginHeight;
    const int32_t vw = innerWidth - settings_.viewportMarginWidth;
    if (vh < 0 || vw < 0) return;
    viewportHeight_ = vh;
    viewportWidth_ = vw;
    canvasHeight_ = std::max(canvasHeight_, viewportHeight_);
    canvasWidth_ = std::max(canvasWidth_, viewportWidth_);
    PlaceBars(innerWidth, innerHeight);
    SetScrollRanges(true);
}

// The bars below and to the right of the viewport, as long as its sides.
void GraphCanvas::PlaceBars(int32_t innerWidth, int32_t innerHeight) {
    hScroll_.left = 0;
    hScroll_.top = innerHeight - settings_.hScrollMargin;
    hScroll_.length = viewportWidth_;
    vScroll_.left = innerWidth - settings_.viewportMarginWidth;
    vScroll_.top = 0;
    vScroll_.length = viewportHeight_;
}

void GraphCanvas::SetHScrollValue(int32_t value) {
    hScroll_.value = std::clamp(value, 0, hScroll_.max);
    canvasLeft_ = -vb::LongMul(hScroll_.value, kScrollUnit);
}

void GraphCanvas::SetVScrollValue(int32_t value) {
    vScroll_.value = std::clamp(value, 0, vScroll_.max);
    canvasTop_ = -vb::LongMul(vScroll_.value, kScrollUnit);
}

// ---------------------------------------------------------------- prompts and texts

void GraphCanvas::Message(const std::string& text) const {
    if (prompts_.message) prompts_.message(text);
}

bool GraphCanvas::Question(const std::string& text) const {
    return prompts_.question ? prompts_.question(text) : false;
}

std::string GraphCanvas::CloseQuestionText(const std::string& windowCaption) const {
    if (IsMultiNetWindow())
        return "The network [" + windowCaption + "] has changed.\r\nSave the changes?";
    return "The network has changed.\r\nSave the changes?";
}

std::string GraphCanvas::ArcText(int16_t from, int16_t to, bool directed) const {
    return "ARC: " + NodeName(from) + (directed ? " -> " : " -- ") + NodeName(to);
}

std::string GraphCanvas::PairStatus(int16_t a, int16_t b) const {
    if (directed_(a, b) == 1) return ArcText(a, b, true);
    if (directed_(b, a) == 1) return ArcText(b, a, true);
    return ArcText(a, b, false);
}

bool GraphCanvas::PairOfArc(int32_t s, int16_t& a, int16_t& b) const {
    const int m = NodeCount();
    for (int i = 1; i <= m - 1; ++i) {
        for (int j = i + 1; j <= m; ++j) {
            if (arcIndex_(i, j) == s) {
                a = int16_t(i);
                b = int16_t(j);
                return true;
            }
        }
    }
    return false;
}

// ---------------------------------------------------------------- mouse and keys

int16_t GraphCanvas::NodeAt(float x, float y) const {
    for (int k = NodeCount(); k >= 1; --k) {
        const CanvasNode& n = Node(int16_t(k));
        if (x >= n.left && x < n.left + kNodeWidth && y >= n.top && y < n.top + kNodeHeight)
            return int16_t(k);
    }
    return 0;
}

bool GraphCanvas::NodeMouseDown(int16_t k, float x, float y) {
    if (drawMode_) return false;  // the press must reach NodeClick
    currentNode_ = k;
    dragging_ = true;
    grabX_ = x;
    grabY_ = y;
    return true;
}

void GraphCanvas::NodeClick(int16_t k) {
    if (!drawMode_) return;
    if (!pending_) {
        currentNode_ = k;
        pending_ = true;
        const CanvasRect r = NodeRect(k);
        const float cx = r.left + kNodeWidth / 2.0f, cy = r.top + kNodeHeight / 2.0f;
        dotline_.seg = {cx, cy, cx, cy};
        dotline_.visible = true;
        return;
    }
    const int16_t s = currentNode_;
    DropPendingStart();
    if (k == s) return;
    // The arc is already there, or implied over an existing link.
    if (linked_(s, k) == 1 && dirClosure_(s, k) == 1) return;
    if (dirClosure_(k, s) == 1) {
        Message(kCirclesMessage);
        return;
    }
    // An undirected link between the two keeps its lines and gets a head.
    DrawArc(s, k, true, false);
    linked_(s, k) = linked_(k, s) = 1;
    MarkChanged();
    if (directed_(s, k) == 0) {
        directed_(s, k) = 1;
        Reclose();
        InferArrow();
    }
}

void GraphCanvas::DropPendingStart() {
    pending_ = false;
    dotline_.visible = false;
}

void GraphCanvas::MouseMove(float x, float y) {
    if (!pending_) return;
    dotline_.seg.x2 = x;
    dotline_.seg.y2 = y;
}

void GraphCanvas::MoveCurrentNode(float x, float y) {
    const int16_t c = currentNode_;
    CanvasNode& node = nodes_.at(size_t(c) - 1);
    node.left = Corner(x, grabX_);
    node.top = Corner(y, grabY_);
    for (int f = 1; f <= NodeCount(); ++f) {
        if (linked_(c, f) <= 0) continue;
        if (directed_(c, f) == 1) DrawArc(c, int16_t(f), true, false);
        else DrawArc(int16_t(f), c, directed_(f, c) == 1, false);
    }
}

void GraphCanvas::DragTo(float x, float y) {
    if (dragging_) MoveCurrentNode(x, y);
}

void GraphCanvas::DropAt(float x, float y) {
    if (!dragging_) return;
    dragging_ = false;
    MoveCurrentNode(x, y);
    const CanvasNode& node = Node(currentNode_);
    // Room to drop further out: a node near the right or bottom edge widens or heightens the
    // canvas by one grid cell. Repeated drops there keep growing it, hence 32-bit sizes.
    if (canvasWidth_ - node.left < kCellWidth) canvasWidth_ = vb::LongAdd(canvasWidth_, kCellWidth);
    if (canvasHeight_ - node.top < kCellHeight)
        canvasHeight_ = vb::LongAdd(canvasHeight_, kCellHeight);
    SetScrollRanges(false);
}

void GraphCanvas::CanvasMouseUp(float x, float y) {
    clickX_ = x;
    clickY_ = y;
}

void GraphCanvas::SetArcWidths(int32_t s, int16_t shaft, int16_t head) {
    LineSet& set = lines_.at(size_t(s) - 1);
    set.arc.width = shaft;
    set.tri1.width = set.tri2.width = set.tri3.width = head;
}

void GraphCanvas::Deselect() {
    if (selectedArc_ != 0) SetArcWidths(selectedArc_, 1, 1);
    selectedArc_ = 0;
}

void GraphCanvas::CanvasClick() {
    DropPendingStart();
    int32_t hit = 0;
    for (int32_t s = 1; s <= ArcCount(); ++s) {
        const CanvasLine& shaft = Lines(s).arc;
        if (shaft.visible && ShaftHit(shaft.seg, clickX_, clickY_)) {
            hit = s;
            break;
        }
    }
    if (hit == 0) {
        Deselect();
        status_.clear();
        return;
    }
    if (hit == selectedArc_) return;
    Deselect();
    SetArcWidths(hit, 2, 3);
    selectedArc_ = hit;
    int16_t a, b;
    if (PairOfArc(hit, a, b)) status_ = PairStatus(a, b);
}

void GraphCanvas::CanvasDblClick() {
    if (selectedArc_ == 0) return;
    int16_t a, b;
    if (!PairOfArc(selectedArc_, a, b) || linked_(a, b) != 1) return;
    MarkChanged();
    if (dirClosure_(a, b) != 1 && dirClosure_(b, a) != 1) {
        // No order between them: the arc points from the node loaded first.
        directed_(a, b) = 1;
        Reclose();
        DrawArc(a, b, true, false);
        status_ = ArcText(a, b, true);
        InferArrow();
    } else if (dirClosure_(a, b) == 1) {
        Reverse(a, b);
    } else {
        Reverse(b, a);
    }
}

// from reaches to, over this arc or over a path: turn the arc to point from `to` to `from`,
// unless `from` still reaches `to` without it.
void GraphCanvas::Reverse(int16_t from, int16_t to) {
    const bool hadDirection = directed_(from, to) == 1;
    directed_(from, to) = 0;
    Reclose();
    if (dirClosure_(from, to) == 1) {
        Message(kCirclesMessage);
        directed_(from, to) = 1;
        Reclose();
        // An arc without a direction of its own has now been given the path's direction: show
        // its head, so that the drawing says what the model holds.
        if (!hadDirection) {
            DrawArc(from, to, true, false);
            status_ = ArcText(from, to, true);
        }
        return;
    }
    directed_(to, from) = 1;
    Reclose();
    DrawArc(to, from, true, false);
    status_ = ArcText(to, from, true);
    InferArrow();
}

void GraphCanvas::InferArrow() {
    const int m = NodeCount();
    for (int a = 1; a <= m - 1; ++a) {
        for (int b = a + 1; b <= m; ++b) {
            if (linked_(a, b) != 1 || directed_(a, b) != 0 || directed_(b, a) != 0) continue;
            const int32_t s = arcIndex_(a, b);
            if (s == 0 || !Lines(s).arc.visible) continue;
            // The closure is not recomputed: the direction taken follows an existing path.
            int16_t from = int16_t(a), to = int16_t(b);
            if (dirClosure_(b, a) == 1 && dirClosure_(a, b) != 1) std::swap(from, to);
            else if (dirClosure_(a, b) != 1) continue;
            if (Question("This action infers that " + NodeName(from) + " -> " + NodeName(to) +
                         ", orient it?")) {
                directed_(from, to) = 1;
                DrawArc(from, to, true, false);
            }
        }
    }
}

void GraphCanvas::DeleteSelectedArc() {
    if (selectedArc_ == 0) return;
    int16_t a, b;
    if (!PairOfArc(selectedArc_, a, b)) return;
    LineSet& set = lines_[size_t(selectedArc_) - 1];
    set.arc.visible = set.tri1.visible = set.tri2.visible = set.tri3.visible = false;
    linked_(a, b) = linked_(b, a) = 0;
    directed_(a, b) = directed_(b, a) = 0;
    Reclose();
    MarkChanged();
    status_.clear();
}

void GraphCanvas::NodeGotFocus(int16_t k) {
    focusedNode_ = k;
    Deselect();
    status_ = "NODE: " + NodeName(k);
}

void GraphCanvas::NodeLostFocus(int16_t k) {
    if (focusedNode_ == k) focusedNode_ = 0;
    status_.clear();
}

// ---------------------------------------------------------------- saving

bool GraphCanvas::SaveNet(Matrix& GraphArr) {
    if (!settings_.trackChanges || !changed_) return false;
    for (int i = firstNode_; i <= fieldCount_ - 1; ++i) {
        for (int j = i + 1; j <= fieldCount_; ++j) {
            const int a = i - firstNode_ + 1, b = j - firstNode_ + 1;
            int16_t ij, ji;
            if (linked_(a, b) < 1 && linked_(b, a) < 1) ij = ji = 0;
            else if (dirClosure_(a, b) == 1) ij = 1, ji = 2;
            else if (dirClosure_(b, a) == 1) ij = 2, ji = 1;
            else ij = ji = 3;
            GraphArr(net_, i, j) = ij;
            GraphArr(net_, j, i) = ji;
        }
    }
    changed_ = false;
    return true;
}

}  // namespace wizard
