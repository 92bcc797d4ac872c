// The screenshot driver: walks vrell's wizard like a user on the demo database and saves a PNG
// of every page and dialog, for a person to look at.
#pragma once

#include <QString>
#include <QStringList>

namespace vrell {

// Saves vrell_page_0.png .. vrell_page_7.png (page 7 after a real construction over the demo
// table) and vrell_about.png into `outDir`, with `programDir` as the program's folder (demo
// database, help pages, the engine library). Returns the files written; the settings store is
// whatever QSettings is pointed at.
QStringList TakeScreenshots(const QString& outDir, const QString& programDir);

}  // namespace vrell
