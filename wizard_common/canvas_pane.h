// The network canvas of both graph editors as widgets: the viewport `Picture1` that clips the
// canvas `Picture2` (one painted widget showing the model of graph_canvas.h at 15 twips to a
// pixel), the two scroll bars and the status line. The pane turns Qt's mouse, key and focus
// events into the model's events in the order the editors expect (release stores the click
// position, then Click; a double click gives DblClick and no Click after it), and captures the
// drawing into an image with the same paint code, so a capture works offscreen and scrolled.
//
// The classifier wizard's network window and the construction wizard's editor are thin classes
// over it; what differs between them is in the model's CanvasSettings.
#pragma once

#include <QFont>
#include <QImage>
#include <QScrollBar>
#include <QStatusBar>
#include <QString>
#include <QWidget>

#include "wizard_common/model/graph_canvas.h"
#include "wizard_common/services.h"

class QPainter;

namespace wizard {

// Whole pixels of a length or position in twips.
int TwipsToPixels(int32_t twips);

// Paints the canvas: lines first, then the node boxes over them, as the rubber band and the arcs
// lie under the nodes. The painter's origin is the canvas origin, in pixels.
void PaintCanvas(QPainter& painter, const GraphCanvas& canvas, const QRect& clip);

// The font of the node boxes, and what node k's box shows: its text whole where it fits, else
// cut at the end with an ellipsis. The tool tip and the status line give the name whole.
QFont NodeFont();
QString NodeCaption(const GraphCanvas& canvas, int16_t k);

class CanvasPane;

// `Picture2`: the canvas. It holds the keyboard focus of the window; which node (if any) has
// the focus is the model's FocusedNode, moved by clicks and by Tab in load order.
class CanvasPicture : public QWidget {
public:
    explicit CanvasPicture(CanvasPane& pane);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool focusNextPrevChild(bool next) override;
    bool event(QEvent* event) override;

private:
    void FocusNode(int16_t k);
    int16_t PressAt(float x, float y);
    // The pointer over the viewport (a drag follows it only there).
    bool OverViewport(const QPoint& pos) const;

    CanvasPane& pane_;
    int16_t pressNode_ = 0;    // the node the button went down on, 0 for the canvas
    bool afterDblClick_ = false;
    float lastDragX_ = 0, lastDragY_ = 0;
};

class CanvasPane : public QWidget {
    Q_OBJECT
public:
    struct Names {
        QString hScroll = "HScroll";
        QString vScroll = "VScroll";
    };
    // `title` is the title of the message boxes the edits show.
    CanvasPane(const CanvasSettings& settings, Prompts& prompts, QString title, Names names,
               QWidget* parent = nullptr);

    GraphCanvas& model() { return model_; }
    const GraphCanvas& model() const { return model_; }
    // A strip above the viewport (the construction editor's toolbar): the window's viewport
    // margin less the part below the viewport.
    void SetTopBar(QWidget* bar);
    // Brings the widgets in line with the model; after loading a network or changing the
    // model from outside (the draw button).
    void Refresh();
    // The drawing of the model's capture rectangle: from the canvas origin whatever the scroll
    // position, one viewport wide.
    QImage CaptureImage() const;
    // Room for the whole canvas, within a window of ordinary size.
    QSize sizeHint() const override;

    QWidget* Picture1;
    CanvasPicture* Picture2;
    QScrollBar* HScroll;
    QScrollBar* VScroll;
    QStatusBar* StatusBar1;

signals:
    // After every event that went to the model.
    void edited();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    friend class CanvasPicture;
    void Place();
    int TopBarHeight() const;

    GraphCanvas model_;
    QWidget* topBar_ = nullptr;
};

}  // namespace wizard
