// The overwrite question of the save dialogs.
#include "wizard_common/save_target.h"

#include "wizard_common/model/file_rules.h"

namespace wizard {

bool ConfirmOverwrite(QWidget* parent, Services& services, const QString& name, const QString& title) {
    switch (ExaminePath(name.toStdString())) {
        case FileState::Missing: return true;
        case FileState::Empty:
        case FileState::Normal:
            return services.prompts.Ask(parent, "The selected file'" + name + "' exists, overwrite?", title);
        case FileState::NotReadWrite:
            services.prompts.Message(parent, "The selected file '" + name + "' is not a normal read-write file.",
                                     title, Icon::Warning);
            return false;
    }
    return false;
}

}  // namespace wizard
