// Windows placed inside the screen's available area (window_placement.h).
#include "wizard_common/window_placement.h"

#include <QEvent>
#include <QScreen>
#include <QWidget>
#include <algorithm>
#include <vector>

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
    if (!watched->isWidgetType()) return QObject::eventFilter(watched, event);
    auto* w = static_cast<QWidget*>(watched);
    const QEvent::Type type = event->type();
    // A spontaneous show is the window coming back from an icon: it stays where the user left it.
    if (type == QEvent::Show && !event->spontaneous()) {
        const Qt::WindowType kind = w->windowType();
        if (w->isWindow() && (kind == Qt::Window || kind == Qt::Dialog || kind == Qt::Tool) &&
            !(w->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen))) {
            // Dialogs too: QDialog centres itself only after this filter has run, and not at
            // all once the fitting below has moved it, so left to it a dialog would keep the
            // corner it was fitted into.
            const bool centre = !w->testAttribute(Qt::WA_Moved);
            Place(*w, centre);
            if (centre) centring_.push_back({w, w->pos()});
        }
    } else if (!centring_.empty() && (type == QEvent::Resize || type == QEvent::Expose || type == QEvent::Hide)) {
        centring_.erase(std::remove_if(centring_.begin(), centring_.end(),
                                       [](const Centred& c) {
                                           return !c.window || c.window->testAttribute(Qt::WA_Mapped) ||
                                                  !c.window->isVisible() || c.window->pos() != c.at;
                                       }),
                        centring_.end());
        const auto it = std::find_if(centring_.begin(), centring_.end(), [w](const Centred& c) { return c.window == w; });
        if (type == QEvent::Resize && it != centring_.end()) {
            // Out of the list while it is placed: the placing resizes it too.
            centring_.erase(it);
            Place(*w, true);
            centring_.push_back({w, w->pos()});
        }
    }
    return QObject::eventFilter(watched, event);
}

void OnScreenPlacement::Place(QWidget& window, bool centre) const {
    QRect available = area_ ? area_(window) : QRect();
    if (!area_ && window.screen()) available = window.screen()->availableGeometry();
    if (available.isEmpty()) return;
    const QRect inner = window.geometry();
    const QRect outer = FramedGeometry(window);
    const QMargins frame(inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
                         outer.bottom() - inner.bottom());
    QRect wanted = inner;
    if (centre) {
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
