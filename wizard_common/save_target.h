// The question before a file the user chose in a save dialog is replaced: an existing normal
// read-write file (hidden ones included) is overwritten only on Yes; anything else there (a
// folder, a read-only or special file) is refused with a warning.
#pragma once

#include <QString>
#include <functional>

#include "wizard_common/model/report_sink.h"

#include "wizard_common/services.h"

namespace wizard {

// True when `name` may be written: nothing is there yet, or the user answered Yes to
// "The selected file'<name>' exists, overwrite?".
bool ConfirmOverwrite(QWidget* parent, Services& services, const QString& name, const QString& title);

// A running report saved as a text file: the save dialog (`dialogTitle`, text files) starting in
// `folder`, the overwrite question, the folder remembered, and the report `build` writes put in
// place whole. A failure shows its text (warning, `title`) and leaves any old file as it was.
void SaveReport(QWidget* parent, Services& services, const QString& dialogTitle, QString& folder,
                const QString& title, const std::function<void(ReportSink&)>& build);

}  // namespace wizard
