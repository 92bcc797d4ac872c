// vrell_screens <folder>: saves a PNG of every page of vrell into the folder. The settings it
// loads and saves go to a temporary folder, never to the user's own.
#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <cstdio>

#include "vrell/screenshots.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: vrell_screens <output folder>\n");
        return 2;
    }
    QTemporaryDir settingsDir;
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settingsDir.path());
    const QStringList files =
        vrell::TakeScreenshots(QString::fromLocal8Bit(argv[1]), QCoreApplication::applicationDirPath());
    for (const QString& f : files) std::printf("%s\n", qPrintable(f));
    return files.size() == 12 ? 0 : 1;
}
