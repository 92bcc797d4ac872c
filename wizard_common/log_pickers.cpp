// The two log-file pickers (log_pickers.h).
#include "wizard_common/log_pickers.h"

#include "wizard_common/frame_widgets.h"

namespace wizard {

void BrowseInputLog(QLineEdit* txtinputlog, FileDialogs& files, QWidget* parent, QString& LogPath) {
    BrowseInto(txtinputlog, files, parent, "Open input log file", kLogFilter, LogPath);
}

void BrowseOutputLog(QLineEdit* txtoutputlog, FileDialogs& files, QWidget* parent, QString& LogPath) {
    // A save dialog: the output log usually does not exist yet.
    const QString name = files.Save(parent, "Open output log file", kLogFilter, LogPath);
    if (!name.isEmpty()) txtoutputlog->setText(name);
    RememberFolder(txtoutputlog->text(), LogPath);
}

}  // namespace wizard
