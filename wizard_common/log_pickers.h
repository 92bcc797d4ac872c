// The "Browse..." buttons of the learning-log boxes, the same in zorv and vrell: the input log
// is opened, the output log may be a new file and is never questioned here (the step's check
// asks before an existing one is overwritten). Both start in the wizard's `LogPath` and leave
// the folder of their box's text there.
#pragma once

#include <QLineEdit>
#include <QString>

#include "wizard_common/services.h"

namespace wizard {

inline constexpr const char* kLogFilter = "VRELL log file (*.log)|*.log|All Files (*.*)|*.*";

// `cmdlog1`: "Open input log file".
void BrowseInputLog(QLineEdit* txtinputlog, FileDialogs& files, QWidget* parent, QString& LogPath);
// `cmdlog2`: "Open output log file".
void BrowseOutputLog(QLineEdit* txtoutputlog, FileDialogs& files, QWidget* parent, QString& LogPath);

}  // namespace wizard
