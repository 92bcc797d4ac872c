// zorv_screens <folder>: saves a PNG of every page and dialog of zorv into the folder. The
// settings it loads and saves go to a temporary folder, never to the user's own.
#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <cstdio>
#include <fstream>

#include "zorv/screenshots.h"

namespace {

// Data sources for the ODBC page's lists: two of one driver, one of another, in ini files of a
// temporary folder that the driver manager is pointed at before its first use.
class SampleOdbcSources {
public:
    SampleOdbcSources() {
        std::ofstream(dir_.filePath("odbcinst.ini").toStdString())
            << "[PostgreSQL Unicode]\nDescription=PostgreSQL ODBC driver\nDriver=psqlodbcw.so\n\n"
               "[SQLite3]\nDescription=SQLite3 ODBC Driver\nDriver=libsqlite3odbc.so\n";
        std::ofstream(dir_.filePath("odbc.ini").toStdString())
            << "[Sales]\nDriver=PostgreSQL Unicode\nServername=localhost\nDatabase=sales\n\n"
               "[Warehouse]\nDriver=PostgreSQL Unicode\nServername=localhost\nDatabase=stock\n\n"
               "[Survey]\nDriver=SQLite3\nDatabase=/tmp/survey.db\n";
        qputenv("ODBCSYSINI", dir_.path().toLocal8Bit());
        qputenv("ODBCINI", dir_.filePath("odbc.ini").toLocal8Bit());
    }
private:
    QTemporaryDir dir_;
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: zorv_screens <output folder>\n");
        return 2;
    }
    QTemporaryDir settingsDir;
    const SampleOdbcSources odbcSources;
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settingsDir.path());
    const QStringList files =
        zorv::TakeScreenshots(QString::fromLocal8Bit(argv[1]), QCoreApplication::applicationDirPath());
    for (const QString& f : files) std::printf("%s\n", qPrintable(f));
    return files.size() == 19 ? 0 : 1;
}
