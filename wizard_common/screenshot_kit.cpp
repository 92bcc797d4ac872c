// The screenshot drivers' window grabber.
#include "wizard_common/screenshot_kit.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QWidget>

namespace wizard {

WindowGrabber::WindowGrabber(const QString& outDir) : dir_(outDir) { QDir().mkpath(outDir); }

void WindowGrabber::Save(QWidget* w, const QString& name) {
    QApplication::processEvents();
    const QPixmap body = w->grab();
    const int strip = 26;
    QImage image(body.width(), body.height() + strip, QImage::Format_RGB32);
    image.fill(QColor(60, 63, 65));
    QPainter p(&image);
    p.setPen(Qt::white);
    QFont f = w->font();
    f.setBold(true);
    p.setFont(f);
    p.drawText(QRect(8, 0, body.width() - 16, strip), Qt::AlignVCenter | Qt::AlignLeft, w->windowTitle());
    p.drawPixmap(0, strip, body);
    p.end();
    const QString path = dir_.filePath(name + ".png");
    if (image.save(path)) written_ << path;
}

void WindowGrabber::SaveScreen(QWidget* w, const QString& name) {
    QApplication::processEvents();
    QScreen* screen = w->screen();
    if (!screen) return;
    const QString path = dir_.filePath(name + ".png");
    if (screen->grabWindow(0).save(path)) written_ << path;
}

}  // namespace wizard
