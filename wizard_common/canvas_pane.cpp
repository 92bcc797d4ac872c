// The canvas widgets: painting the model, placing the viewport and bars from the model's
// margins, and the event order of mouse, keys and focus.
#include "wizard_common/canvas_pane.h"

#include <QFontMetrics>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QSignalBlocker>
#include <QToolTip>
#include <cmath>

namespace wizard {

namespace {

constexpr int32_t kBarThickness = 200;  // twips: a scroll bar's width, as the margins assume
const QColor kCanvasColour(240, 240, 240);

QPointF ToPixels(float x, float y) { return {x / kTwipsPerPixel, y / kTwipsPerPixel}; }

void PaintLine(QPainter& p, const CanvasLine& line, Qt::PenStyle style) {
    if (!line.visible) return;
    QPen pen(Qt::black, line.width, style);
    pen.setCapStyle(Qt::FlatCap);
    p.setPen(pen);
    p.drawLine(ToPixels(line.seg.x1, line.seg.y1), ToPixels(line.seg.x2, line.seg.y2));
}

// The canvas position of a mouse event, in twips.
std::pair<float, float> TwipsOf(const QMouseEvent* event) {
    return {float(event->position().x()) * kTwipsPerPixel, float(event->position().y()) * kTwipsPerPixel};
}

QRect NodePixels(const GraphCanvas& c, int16_t k) {
    const CanvasRect r = c.NodeRect(k);
    return {TwipsToPixels(r.left), TwipsToPixels(r.top), TwipsToPixels(r.width),
            TwipsToPixels(r.height)};
}

}  // namespace

int TwipsToPixels(int32_t twips) { return int(std::lround(double(twips) / kTwipsPerPixel)); }

QFont NodeFont() {
    QFont font("DejaVu Sans");
    font.setPixelSize(11);
    return font;
}

QString NodeCaption(const GraphCanvas& c, int16_t k) {
    // The box keeps its size, which the arcs' ends and the clicks on them are measured by: a
    // long field name ("fruiting-bodies") is shortened to fit inside its border.
    const int room = NodePixels(c, k).width() - 2;
    return QFontMetrics(NodeFont()).elidedText(QString::fromStdString(c.Node(k).Text()), Qt::ElideRight, room);
}

void PaintCanvas(QPainter& p, const GraphCanvas& c, const QRect& clip) {
    p.fillRect(clip, kCanvasColour);
    for (int32_t s = 1; s <= c.ArcCount(); ++s) {
        const LineSet& set = c.Lines(s);
        for (const CanvasLine* line : {&set.arc, &set.tri1, &set.tri2, &set.tri3})
            PaintLine(p, *line, Qt::SolidLine);
    }
    PaintLine(p, c.RubberBand(), Qt::DotLine);

    p.setFont(NodeFont());
    for (int16_t k = 1; k <= c.NodeCount(); ++k) {
        const QRect box = NodePixels(c, k);
        if (!box.intersects(clip)) continue;
        p.fillRect(box, QColor(QRgb(RgbOf(c.Node(k).backColour))));
        p.setPen(QPen(Qt::black, 1));
        p.drawRect(box.adjusted(0, 0, -1, -1));
        const QRect inner = box.adjusted(1, 1, -1, -1);
        p.save();
        p.setClipRect(inner);
        p.drawText(inner, Qt::AlignLeft | Qt::AlignVCenter, NodeCaption(c, k));
        p.restore();
        // The focus outline runs just inside the border, in the node's foreground colour.
        if (c.FocusedNode() == k) p.drawRect(inner.adjusted(0, 0, -1, -1));
    }
}

// ---------------------------------------------------------------- Picture2

CanvasPicture::CanvasPicture(CanvasPane& pane) : QWidget(pane.Picture1), pane_(pane) {
    setObjectName("Picture2");
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);  // the rubber band follows the pointer without a button down
}

void CanvasPicture::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    PaintCanvas(p, pane_.model(), event->rect());
}

bool CanvasPicture::OverViewport(const QPoint& pos) const {
    return pane_.Picture1->rect().contains(mapTo(pane_.Picture1, pos));
}

void CanvasPicture::FocusNode(int16_t k) {
    GraphCanvas& m = pane_.model();
    const int16_t old = m.FocusedNode();
    if (old == k) return;
    if (old != 0) m.NodeLostFocus(old);
    if (k != 0) m.NodeGotFocus(k);
}

// A button went down on the canvas: the node under it, or the canvas itself, takes the focus.
int16_t CanvasPicture::PressAt(float x, float y) {
    pressNode_ = pane_.model().NodeAt(x, y);
    FocusNode(pressNode_);
    return pressNode_;
}

void CanvasPicture::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    GraphCanvas& m = pane_.model();
    const auto [x, y] = TwipsOf(event);
    afterDblClick_ = false;
    if (const int16_t k = PressAt(x, y); k != 0) {
        const CanvasRect r = m.NodeRect(k);
        if (m.NodeMouseDown(k, x - r.left, y - r.top)) {
            lastDragX_ = x;
            lastDragY_ = y;
        }
    }
    pane_.Refresh();
}

void CanvasPicture::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const auto [x, y] = TwipsOf(event);
    // The second press of a double click: DblClick in place of MouseDown, and the release that
    // follows gives no Click. A node has no double-click action.
    afterDblClick_ = true;
    if (PressAt(x, y) == 0) pane_.model().CanvasDblClick();
    pane_.Refresh();
}

void CanvasPicture::mouseMoveEvent(QMouseEvent* event) {
    GraphCanvas& m = pane_.model();
    const auto [x, y] = TwipsOf(event);
    if (m.Dragging()) {
        // Outside the viewport nothing receives the dragged node; it stays where it was.
        if (!OverViewport(event->position().toPoint())) return;
        lastDragX_ = x;
        lastDragY_ = y;
        m.DragTo(x, y);
    } else if (m.StartPending()) {
        m.MouseMove(x, y);
    } else {
        return;
    }
    pane_.Refresh();
}

void CanvasPicture::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    GraphCanvas& m = pane_.model();
    const auto [x, y] = TwipsOf(event);
    const bool dblClick = afterDblClick_;
    afterDblClick_ = false;
    if (m.Dragging()) {
        // A drop outside the viewport lands where the node was last dragged to.
        if (OverViewport(event->position().toPoint())) m.DropAt(x, y);
        else m.DropAt(lastDragX_, lastDragY_);
    } else if (pressNode_ != 0) {
        if (!dblClick && m.NodeAt(x, y) == pressNode_) m.NodeClick(pressNode_);
    } else {
        m.CanvasMouseUp(x, y);
        if (!dblClick) m.CanvasClick();
    }
    pressNode_ = 0;
    pane_.Refresh();
}

void CanvasPicture::keyPressEvent(QKeyEvent* event) {
    // Delete acts on the selected arc only while the canvas itself has the focus.
    if (event->key() == Qt::Key_Delete && pane_.model().FocusedNode() == 0) {
        pane_.model().DeleteSelectedArc();
        pane_.Refresh();
        return;
    }
    QWidget::keyPressEvent(event);
}

bool CanvasPicture::focusNextPrevChild(bool next) {
    // Tab moves through the nodes in the order they were loaded.
    const int16_t n = pane_.model().NodeCount();
    if (n == 0) return QWidget::focusNextPrevChild(next);
    const int16_t k = pane_.model().FocusedNode();
    int16_t to = next ? int16_t(k % n + 1) : int16_t(k <= 1 ? n : k - 1);
    FocusNode(to);
    pane_.Refresh();
    return true;
}

bool CanvasPicture::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const GraphCanvas& m = pane_.model();
        const int16_t k = m.NodeAt(float(help->pos().x()) * kTwipsPerPixel,
                                   float(help->pos().y()) * kTwipsPerPixel);
        if (k != 0) QToolTip::showText(help->globalPos(), QString::fromStdString(m.NodeName(k)), this);
        else QToolTip::hideText();
        return true;
    }
    return QWidget::event(event);
}

// ---------------------------------------------------------------- the pane

CanvasPane::CanvasPane(const CanvasSettings& settings, Prompts& prompts, QString title, Names names,
                       QWidget* parent)
    : QWidget(parent), model_(settings, 0, 0) {
    Picture1 = new QWidget(this);
    Picture1->setObjectName("Picture1");
    Picture2 = new CanvasPicture(*this);
    HScroll = new QScrollBar(Qt::Horizontal, this);
    HScroll->setObjectName(names.hScroll);
    VScroll = new QScrollBar(Qt::Vertical, this);
    VScroll->setObjectName(names.vScroll);
    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName("StatusBar1");
    StatusBar1->setSizeGripEnabled(false);
    HScroll->setSingleStep(1);
    VScroll->setSingleStep(1);
    connect(HScroll, &QScrollBar::valueChanged, this, [this](int v) {
        model_.SetHScrollValue(v);
        Refresh();
    });
    connect(VScroll, &QScrollBar::valueChanged, this, [this](int v) {
        model_.SetVScrollValue(v);
        Refresh();
    });
    model_.SetPrompts({[&prompts, this, title](const std::string& text) {
                           prompts.Message(this, QString::fromStdString(text), title, Icon::None);
                       },
                       [&prompts, this, title](const std::string& text) {
                           return prompts.Ask(this, QString::fromStdString(text), title);
                       }});
    if (settings.minWindowWidth > 0 || settings.minWindowHeight > 0)
        setMinimumSize(TwipsToPixels(settings.minWindowWidth), TwipsToPixels(settings.minWindowHeight));
}

void CanvasPane::SetTopBar(QWidget* bar) {
    topBar_ = bar;
    bar->setParent(this);
    Place();
}

int CanvasPane::TopBarHeight() const {
    const CanvasSettings& s = model_.settings();
    return TwipsToPixels(std::max(0, s.viewportMarginHeight - s.hScrollMargin));
}

void CanvasPane::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    model_.Resize(width() * kTwipsPerPixel, height() * kTwipsPerPixel);
    Place();
}

void CanvasPane::Place() {
    const int top = TopBarHeight();
    const int bar = TwipsToPixels(kBarThickness);
    if (topBar_) topBar_->setGeometry(0, 0, width(), top);
    Picture1->setGeometry(0, top, TwipsToPixels(model_.ViewportWidth()),
                          TwipsToPixels(model_.ViewportHeight()));
    const ScrollBarState& h = model_.HScroll();
    const ScrollBarState& v = model_.VScroll();
    HScroll->setGeometry(TwipsToPixels(h.left), TwipsToPixels(h.top), TwipsToPixels(h.length), bar);
    VScroll->setGeometry(TwipsToPixels(v.left), top + TwipsToPixels(v.top), bar, TwipsToPixels(v.length));
    const int statusTop = TwipsToPixels(h.top) + bar;
    StatusBar1->setGeometry(0, statusTop, width(), std::max(0, height() - statusTop));
    Refresh();
}

void CanvasPane::Refresh() {
    Picture2->setGeometry(TwipsToPixels(model_.CanvasLeft()), TwipsToPixels(model_.CanvasTop()),
                          TwipsToPixels(model_.CanvasWidth()), TwipsToPixels(model_.CanvasHeight()));
    for (auto [bar, state] : {std::pair{HScroll, &model_.HScroll()}, std::pair{VScroll, &model_.VScroll()}}) {
        const QSignalBlocker block(bar);
        bar->setRange(0, state->enabled ? state->max : 0);
        bar->setPageStep(std::max(1, (bar == HScroll ? model_.ViewportWidth() : model_.ViewportHeight()) /
                                         GraphCanvas::kScrollUnit));
        bar->setValue(state->value);
        bar->setEnabled(state->enabled);
    }
    const QString status = QString::fromStdString(model_.StatusText());
    if (StatusBar1->currentMessage() != status) StatusBar1->showMessage(status);
    Picture2->setCursor(model_.StartPending() ? Qt::CrossCursor : Qt::ArrowCursor);
    Picture2->update();
    emit edited();
}

QSize CanvasPane::sizeHint() const {
    const CanvasSettings& s = model_.settings();
    const int slack = 2;  // pixels lost to rounding
    return {std::min(800, TwipsToPixels(model_.CanvasWidth() + s.viewportMarginWidth) + slack),
            std::min(560, TwipsToPixels(model_.CanvasHeight() + s.viewportMarginHeight) + slack)};
}

QImage CanvasPane::CaptureImage() const {
    const CanvasRect r = model_.CaptureRect();
    QImage image(std::max(1, TwipsToPixels(r.width)), std::max(1, TwipsToPixels(r.height)),
                 QImage::Format_RGB32);
    // The capture is a new picture each time, so there is nothing left from an earlier one to
    // clear or to keep.
    QPainter p(&image);
    PaintCanvas(p, model_, image.rect());
    return image;
}

}  // namespace wizard
