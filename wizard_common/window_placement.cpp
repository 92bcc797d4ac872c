// Windows placed inside the screen's available area (window_placement.h).
#include "wizard_common/window_placement.h"

#include <QEvent>
#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace wizard {

QRect FitInside(const QRect& wanted, const QMargins& frame, const QRect& available) {
    const int maxWidth = std::max(1, available.width() - frame.left() - frame.right());
    const int maxHeight = std::max(1, available.height() - frame.top() - frame.bottom());
    QRect r(wanted.topLeft(), QSize(std::min(wanted.width(), maxWidth), std::min(wanted.height(), maxHeight)));
    const int minX = available.left() + frame.left();
    const int minY = available.top() + frame.top();
    r.moveLeft(std::clamp(r.left(), minX, std::max(minX, available.left() + available.width() - frame.right() - r.width())));
    r.moveTop(std::clamp(r.top(), minY, std::max(minY, available.top() + available.height() - frame.bottom() - r.height())));
    return r;
}

QRect FramedGeometry(const QWidget& window) {
    // While the window manager is still framing a window, Qt can report a frame that does not
    // even hold the window (1 x 1 at its corner).
    const QRect inner = window.geometry();
    const QRect outer = window.frameGeometry();
    return outer != inner && outer.contains(inner) ? outer : inner.marginsAdded(OnScreenPlacement::FrameAllowance());
}

OnScreenPlacement::OnScreenPlacement(std::function<QRect(const QWidget&)> area) : area_(std::move(area)) {}

QMargins OnScreenPlacement::FrameAllowance() { return {4, 30, 4, 4}; }

bool OnScreenPlacement::eventFilter(QObject* watched, QEvent* event) {
    // A spontaneous show is the window coming back from an icon: it stays where the user left it.
    if (event->type() == QEvent::Show && !event->spontaneous() && watched->isWidgetType()) {
        auto* w = static_cast<QWidget*>(watched);
        const Qt::WindowType type = w->windowType();
        if (w->isWindow() && (type == Qt::Window || type == Qt::Dialog || type == Qt::Tool) &&
            !(w->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)))
            Place(*w);
    }
    return QObject::eventFilter(watched, event);
}

void OnScreenPlacement::Place(QWidget& window) const {
    QRect available = area_ ? area_(window) : QRect();
    if (!area_ && window.screen()) available = window.screen()->availableGeometry();
    if (available.isEmpty()) return;
    const QRect inner = window.geometry();
    const QRect outer = FramedGeometry(window);
    const QMargins frame(inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
                         outer.bottom() - inner.bottom());
    QRect wanted = inner;
    // Dialogs too: QDialog centres itself only after this filter has run, and not at all once
    // the fitting below has moved it, so left to it a dialog would keep the corner it was
    // fitted into.
    if (!window.testAttribute(Qt::WA_Moved)) {
        const QWidget* owner = window.parentWidget() ? window.parentWidget()->window() : nullptr;
        QRect framed = outer;
        framed.moveCenter(owner && owner->isVisible() ? FramedGeometry(*owner).center() : available.center());
        wanted = framed.marginsRemoved(frame);
    }
    const QRect fitted = FitInside(wanted, frame, available);
    // Lowered only where needed: a minimum set here is no longer the layout's to raise.
    if (window.minimumWidth() > fitted.width() || window.minimumHeight() > fitted.height())
        window.setMinimumSize(std::min(window.minimumWidth(), fitted.width()),
                              std::min(window.minimumHeight(), fitted.height()));
    if (fitted != inner) window.setGeometry(fitted);
}

}  // namespace wizard
