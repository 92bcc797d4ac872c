// The question before a file the user chose in a save dialog is replaced: an existing normal
// read-write file (hidden ones included) is overwritten only on Yes; anything else there (a
// folder, a read-only or special file) is refused with a warning.
#pragma once

#include <QString>

#include "wizard_common/services.h"

namespace wizard {

// True when `name` may be written: nothing is there yet, or the user answered Yes to
// "The selected file'<name>' exists, overwrite?".
bool ConfirmOverwrite(QWidget* parent, Services& services, const QString& name, const QString& title);

}  // namespace wizard
