// Mouse and key events sent straight to a network canvas at positions in canvas twips, the way
// Qt delivers them (a double click arrives as press, release, double click, release).
//
//     testsupport::CanvasEvents ev(*pane);
//     ev.Click(1905, 330);                       // press and release on the arc
//     ev.Mouse(QEvent::MouseButtonDblClick, 1905, 330);
#pragma once

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>

#include "wizard_common/canvas_pane.h"

namespace testsupport {

class CanvasEvents {
public:
    explicit CanvasEvents(wizard::CanvasPane& pane) : pane_(pane) {}

    void Mouse(QEvent::Type type, float x, float y) {
        const QPointF at(x / wizard::kTwipsPerPixel, y / wizard::kTwipsPerPixel);
        const bool down = type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick;
        const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(type, at, pane_.Picture2->mapToGlobal(at), button,
                          down ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(pane_.Picture2, &event);
    }
    void Click(float x, float y) {
        Mouse(QEvent::MouseButtonPress, x, y);
        Mouse(QEvent::MouseButtonRelease, x, y);
    }
    void DoubleClick(float x, float y) {
        Click(x, y);
        Mouse(QEvent::MouseButtonDblClick, x, y);
        Mouse(QEvent::MouseButtonRelease, x, y);
    }
    // A click inside node k, on whole pixels.
    void ClickNode(int16_t k) {
        const wizard::CanvasRect r = pane_.model().NodeRect(k);
        Click(float(r.left + 300) - float((r.left + 300) % wizard::kTwipsPerPixel), float(r.top + 120));
    }
    void Key(int key) {
        QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(pane_.Picture2, &event);
    }

private:
    wizard::CanvasPane& pane_;
};

}  // namespace testsupport
