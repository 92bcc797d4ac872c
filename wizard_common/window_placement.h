// Every window and dialog of a program opens inside the available area of its screen (the
// screen less its panels) and never larger than it. Left alone, a window manager puts a large
// window where it likes, and part of it may lie off the screen.
#pragma once

#include <QMargins>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <functional>
#include <vector>

class QWidget;

namespace wizard {

// Where a window goes whose inner area would be `wanted` and whose frame adds `frame`: shrunk to
// fit and moved the least, so that the framed window lies inside `available`.
QRect FitInside(const QRect& wanted, const QMargins& frame, const QRect& available);

// A window as the window manager frames it; before the frame is known (or where the platform
// draws none), its inner area with the frame allowance.
QRect FramedGeometry(const QWidget& window);

// Installed on the application (app.installEventFilter), it places each window, dialog and
// message box as it is shown: centred on the window it belongs to (or on the area) unless it
// was placed already, then fitted inside the available area, its minimum size lowered where
// that would not fit.
class OnScreenPlacement : public QObject {
public:
    // `area` gives the available area for a window; by default that of the window's screen.
    explicit OnScreenPlacement(std::function<QRect(const QWidget&)> area = {});
    // What the window manager's frame is taken to add to a window it has not framed yet.
    static QMargins FrameAllowance();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Fits `window` inside its area; centred first when `centre` is set.
    void Place(QWidget& window, bool centre) const;
    std::function<QRect(const QWidget&)> area_;
    // The windows centred on their show and not yet on the screen, with where they were put. A
    // message box takes its size in its own show handler, after this filter has placed it:
    // placed at the size it had before (a long text not yet wrapped can be wider than the
    // screen, and is fitted into its left edge), it would open there. Each is centred again at
    // every size it takes until it shows, unless something else has moved it meanwhile.
    struct Centred {
        QPointer<QWidget> window;
        QPoint at;
    };
    std::vector<Centred> centring_;
};

}  // namespace wizard
