// The overwrite question of the save dialogs.
#include "wizard_common/save_target.h"

#include "platform/vb/numbered_error.h"
#include "wizard_common/frame_widgets.h"
#include "wizard_common/model/file_rules.h"
#include "wizard_common/model/report_file.h"
#include "wizard_common/wait_cursor.h"

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

void SaveReport(QWidget* parent, Services& services, const QString& dialogTitle, QString& folder,
                const QString& title, const std::function<void(ReportSink&)>& build) {
    const QString name =
        services.files.Save(parent, dialogTitle, "Text file (*.txt)|*.txt|All Files (*.*)|*.*", folder);
    if (name.isEmpty() || !ConfirmOverwrite(parent, services, name, title)) return;
    RememberFolder(name, folder);
    WaitCursor wait;
    try {
        ReportFile file(name.toStdString());
        build(file);
        file.Commit();
    } catch (const vb::NumberedError& e) {
        services.prompts.Message(parent, QString::fromStdString(e.description()), title, Icon::Warning);
    }
}

}  // namespace wizard
