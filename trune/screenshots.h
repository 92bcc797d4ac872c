// The screenshot driver: walks trune's wizard like a user on the demo database and saves a PNG
// of every page, for a person to look at.
#pragma once

#include <QString>
#include <QStringList>

namespace trune {

// Saves trune_page_0.png .. trune_page_6.png and trune_about.png into `outDir`, with
// `programDir` as the program's folder (demo database, help page); the copy goes into a
// temporary folder. Returns the files written.
QStringList TakeScreenshots(const QString& outDir, const QString& programDir);

}  // namespace trune
