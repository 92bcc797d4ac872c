// The screenshot driver: walks zorv's wizard like a user on the demo database and saves a PNG
// of every page and dialog, for a person to look at.
#pragma once

#include <QString>
#include <QStringList>

namespace zorv {

// Saves zorv_page_0.png .. zorv_page_9.png, zorv_about.png, zorv_password.png,
// zorv_settings.png and the graph editor over the networks learned on the demo database
// (zorv_editor_bn.png, zorv_editor_mn.png) into `outDir`, with `programDir` as the program's
// folder (demo database, help pages). Returns the files written; the settings store is
// whatever QSettings is pointed at.
QStringList TakeScreenshots(const QString& outDir, const QString& programDir);

}  // namespace zorv
