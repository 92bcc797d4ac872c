// trune's one setting: the folder last used for a database file, "DBPath" in the "Startup"
// group of the "Sorvane" settings file, read when the wizard loads and written when it unloads.
#include "trune/frm_wizard.h"
#include "wizard_common/settings_store.h"

namespace trune {

namespace {
const QString kApplication = QStringLiteral("Sorvane");
}

void FrmWizard::LoadSettings() {
    const wizard::SettingsStore store(kApplication);
    DBPath = store.Text("DBPath", programDir_);
}

void FrmWizard::SaveSettings() {
    wizard::SettingsStore store(kApplication);
    store.SetText("DBPath", DBPath);
    // Unloading goes on whether or not the file could be written.
    store.Sync();
}

}  // namespace trune
