// The model of one network window of the graph editor: the nodes on a canvas in twips, the arcs
// as line sets, the link matrices with their directed closure, the viewport with its scroll
// bars, and the user's edits under the rule that no directed cycle may arise. It holds no Qt:
// the window classes paint what it holds (15 twips to a pixel), forward the mouse and key events
// to it in canvas twips, and answer its message and question through callbacks.
//
// One model serves both editors. The classifier wizard's network windows load a layer of the
// exchange array and save it back; the construction wizard's single editor loads link matrices
// and hands back Linked and DirClosure. What differs between them is in CanvasSettings.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/vb/array.h"
#include "wizard_common/model/arc_geometry.h"

namespace wizard {

// Node colours as colour values in blue-green-red byte order.
constexpr uint32_t kClassNodeColour = 0xFFC0C0;    // light blue: the class field of a single net
constexpr uint32_t kFeatureNodeColour = 0xFFFF00;  // cyan: a field of the selected feature subset
constexpr uint32_t kPlainNodeColour = 0xFFFFFF;    // white: every other node, and the template
// 0xRRGGBB of a blue-green-red colour value.
constexpr uint32_t RgbOf(uint32_t bgr) {
    return ((bgr & 0xFF) << 16) | (bgr & 0xFF00) | ((bgr >> 16) & 0xFF);
}

// What the two editors do differently with the same canvas.
struct CanvasSettings {
    bool colourNodes = true;      // class and feature colours, else every node in the template's
    bool trackChanges = true;     // changed flag, SaveNet and the close question
    int32_t viewportMarginWidth = 200;   // window inner width less the viewport width
    int32_t viewportMarginHeight = 452;  // window inner height less the viewport height
    int32_t hScrollMargin = 452;  // window inner height less the horizontal bar's top
    int32_t minWindowWidth = 0;   // a smaller window is set to this size when it is resized
    int32_t minWindowHeight = 0;
    int32_t captureHeightCut = 20;  // the captured picture is this much less high than the viewport
    bool clearCapture = true;       // the capture picture is cleared before the copy

    // The classifier wizard's network window inside the editor frame.
    static CanvasSettings NetworkWindow() { return {}; }
    // The construction wizard's single modal editor: a toolbar above the viewport, no colours,
    // no change tracking, a minimum size of 4000 x 1800 and a full-height capture.
    static CanvasSettings SingleEditor() {
        CanvasSettings s;
        s.colourNodes = false;
        s.trackChanges = false;
        s.viewportMarginHeight = 896;
        s.hScrollMargin = 512;
        s.minWindowWidth = 4000;
        s.minWindowHeight = 1800;
        s.captureHeightCut = 0;
        s.clearCapture = false;
        return s;
    }
};

struct CanvasNode {
    int32_t left = 0;
    int32_t top = 0;
    std::string name;  // the tool tip; the box prints Text()
    uint32_t backColour = kPlainNodeColour;  // blue-green-red
    std::string Text() const { return " " + name; }
};

struct CanvasLine {
    Segment seg;
    bool visible = false;
    int16_t width = 1;
};

// The lines of one arc: the shaft and the three sides of its head.
struct LineSet {
    CanvasLine arc, tri1, tri2, tri3;
};

struct ScrollBarState {
    bool enabled = false;
    int32_t max = 0;
    int32_t value = 0;
    int32_t left = 0, top = 0, length = 0;  // position in the window and length along the bar
};

struct CanvasRect {
    int32_t left = 0, top = 0, width = 0, height = 0;
};

class GraphCanvas {
public:
    using Matrix = vb::Array<int16_t>;  // indices 0..dimension in both subscripts

    // The message ("Circles are not allowed.", OK only) and the Yes/No question of the
    // inference offer. Without a handler the message is not shown and the question is answered No.
    struct Prompts {
        std::function<void(const std::string& text)> message;
        std::function<bool(const std::string& text)> question;
    };

    static constexpr int32_t kScrollUnit = 100;  // twips per scroll-bar step
    static constexpr const char* kCirclesMessage = "Circles are not allowed.";

    // A window whose inner area is innerWidth x innerHeight twips: the viewport takes that less
    // the margins of the settings (never below 0).
    GraphCanvas(const CanvasSettings& settings, int32_t innerWidth, int32_t innerHeight);

    void SetPrompts(Prompts prompts) { prompts_ = std::move(prompts); }

    // Classifier network window: loads layer `net` of GraphArr (net 0 the single net, k the
    // network of class value k). Node k stands for field k + FirstNode - 1 and is named
    // FieldNames(k + FirstNode - 1); pairs of fields FirstNode..FieldCount are read, cells i < j
    // only: 1 i -> j, 2 j -> i, any other positive code a link without direction. FieldUsed
    // (per field, may be unallocated) colours the feature subset. The grid is sized for
    // FieldCount fields even when the class field has no node.
    void Init(const Matrix& GraphArr, int16_t net, int16_t FieldCount, int16_t FirstNode,
              const vb::Array<std::string>& FieldNames, const vb::Array<int16_t>& FieldUsed);
    // Construction editor: node k (1..NumFlds) named NodeNames(k); linked and directed as the
    // wizard's GetValue fills them (indices 0..NumFlds, 1 where linked or directed).
    void InitLinks(const vb::Array<std::string>& NodeNames, const Matrix& linked,
                   const Matrix& directed);

    // Writes the window's network into its layer of GraphArr when it has changed since the last
    // save (both cells of every pair it covers; a multi-net window leaves row and column 1
    // alone): 0/0 no link, 1/2 or 2/1 along the directed closure, 3/3 without direction. Clears
    // the changed flag. Returns true when it wrote, and the caller then marks the model and the
    // graph as changed. Never writes with change tracking off.
    bool SaveNet(Matrix& GraphArr);

    // The close question: asked when NeedsCloseQuestion(); its text names the window caption of
    // a multi-net window.
    bool NeedsCloseQuestion() const { return settings_.trackChanges && changed_; }
    std::string CloseQuestionText(const std::string& windowCaption) const;

    // ---- viewport and scrolling ----
    // The window's inner area changed. Raised to the settings' minimum size first (the window
    // should be given that size as its minimum); the canvas grows to the viewport (never
    // shrinks) and a bar without range goes back to 0 with the canvas. An area smaller than the
    // margins (a minimised window) changes nothing.
    void Resize(int32_t innerWidth, int32_t innerHeight);
    void SetHScrollValue(int32_t value);
    void SetVScrollValue(int32_t value);

    // ---- mouse and keys; positions are canvas twips ----
    // The node under a canvas position (the one loaded last where boxes overlap), 0 for none.
    int16_t NodeAt(float x, float y) const;
    // A button pressed on node k at (x, y) inside the node: outside draw mode a drag begins.
    // Returns true when it did.
    bool NodeMouseDown(int16_t k, float x, float y);
    // A click on node k in draw mode: chooses the start of a new arc or, with a start pending,
    // adds the arc from it to k.
    void NodeClick(int16_t k);
    // The pointer moved: with a start pending the rubber band's free end follows it.
    void MouseMove(float x, float y);
    // A dragged node passes over (x, y) or is dropped there; a drop may grow the canvas.
    void DragTo(float x, float y);
    void DropAt(float x, float y);
    // Release, click and double click on the canvas itself.
    void CanvasMouseUp(float x, float y);
    void CanvasClick();
    void CanvasDblClick();
    // The Delete key with the canvas focused.
    void DeleteSelectedArc();
    void NodeGotFocus(int16_t k);
    void NodeLostFocus(int16_t k);
    // The draw button: it drops a pending start (DropPendingStart) on the active window. The
    // classifier wizard's draw mode is one flag for all its windows, so the frame sets it on
    // each; the construction editor's window has its own.
    void SetDrawMode(bool on) { drawMode_ = on; }
    void DropPendingStart();

    // ---- state for painting and for the callers ----
    const CanvasSettings& settings() const { return settings_; }
    int16_t Net() const { return net_; }
    bool IsMultiNetWindow() const { return firstNode_ == 2; }
    int16_t Dimension() const { return dim_; }
    int16_t NodeCount() const { return int16_t(nodes_.size()); }
    const CanvasNode& Node(int16_t k) const { return nodes_.at(size_t(k) - 1); }
    CanvasRect NodeRect(int16_t k) const;
    const std::string& NodeName(int16_t k) const { return Node(k).name; }
    int32_t ArcCount() const { return int32_t(lines_.size()); }
    const LineSet& Lines(int32_t s) const { return lines_.at(size_t(s) - 1); }
    const Matrix& Linked() const { return linked_; }
    const Matrix& Directed() const { return directed_; }
    const Matrix& DirClosure() const { return dirClosure_; }
    const vb::Array<int32_t>& ArcIndex() const { return arcIndex_; }
    int16_t CurrentNode() const { return currentNode_; }
    int32_t SelectedArc() const { return selectedArc_; }
    float GrabX() const { return grabX_; }
    float GrabY() const { return grabY_; }
    float ClickX() const { return clickX_; }
    float ClickY() const { return clickY_; }
    bool DrawMode() const { return drawMode_; }
    bool StartPending() const { return pending_; }  // the cross pointer
    bool Dragging() const { return dragging_; }
    const CanvasLine& RubberBand() const { return dotline_; }
    int16_t FocusedNode() const { return focusedNode_; }
    const std::string& StatusText() const { return status_; }
    bool Changed() const { return changed_; }

    int32_t CanvasWidth() const { return canvasWidth_; }
    int32_t CanvasHeight() const { return canvasHeight_; }
    int32_t CanvasLeft() const { return canvasLeft_; }  // 0 or negative: scrolled
    int32_t CanvasTop() const { return canvasTop_; }
    int32_t ViewportWidth() const { return viewportWidth_; }
    int32_t ViewportHeight() const { return viewportHeight_; }
    const ScrollBarState& HScroll() const { return hScroll_; }
    const ScrollBarState& VScroll() const { return vScroll_; }
    // The canvas area a captured picture shows: from the canvas origin whatever the scroll
    // position, one viewport wide and the viewport less the settings' cut high.
    CanvasRect CaptureRect() const;

    // arr2 = the transitive closure of arr1 over paths of one or more arcs (both 0..n square).
    static void transclz(const Matrix& arr1, Matrix& arr2);

private:
    void Setup(int16_t dim, int16_t gridCount);
    void Build();
    void LayoutNodes();
    int32_t DrawArc(int16_t a, int16_t b, bool directed, bool forceNew);
    void DrawArcs();
    void SetScrollRanges(bool resetDisabled);
    void PlaceBars(int32_t innerWidth, int32_t innerHeight);
    static void SetRange(ScrollBarState& bar, int32_t canvasSize, int32_t viewportSize,
                         bool resetDisabled, int32_t& canvasOffset);
    void MoveCurrentNode(float x, float y);
    void Reclose() { transclz(directed_, dirClosure_); }
    void MarkChanged() {
        if (settings_.trackChanges) changed_ = true;
    }
    void SetArcWidths(int32_t s, int16_t shaft, int16_t head);
    void Deselect();
    bool PairOfArc(int32_t s, int16_t& a, int16_t& b) const;
    std::string ArcText(int16_t from, int16_t to, bool directed) const;
    std::string PairStatus(int16_t a, int16_t b) const;
    void Reverse(int16_t from, int16_t to);
    void InferArrow();
    void Message(const std::string& text) const;
    bool Question(const std::string& text) const;

    CanvasSettings settings_;
    Prompts prompts_;
    int16_t net_ = 0;
    int16_t firstNode_ = 1;
    int16_t fieldCount_ = 0;
    int16_t dim_ = 0;
    int16_t gridCount_ = 0;
    std::vector<CanvasNode> nodes_;
    std::vector<LineSet> lines_;
    Matrix linked_, directed_, dirClosure_;
    vb::Array<int32_t> arcIndex_;
    int16_t currentNode_ = 0;
    int32_t selectedArc_ = 0;
    float grabX_ = 0, grabY_ = 0, clickX_ = 0, clickY_ = 0;
    bool drawMode_ = false;
    bool pending_ = false;
    bool dragging_ = false;
    CanvasLine dotline_;
    int16_t focusedNode_ = 0;
    std::string status_;
    bool changed_ = false;

    int32_t canvasWidth_ = 0, canvasHeight_ = 0, canvasLeft_ = 0, canvasTop_ = 0;
    int32_t viewportWidth_ = 0, viewportHeight_ = 0;
    ScrollBarState hScroll_, vScroll_;
};

// The help box of both editors.
constexpr const char* kEditorHelpTitle = "Help - Belief Network Editor";
std::string EditorHelpText();

}  // namespace wizard
