// vrell's settings: the four remembered folders, "DBPath", "LogPath", "ReportPath" and
// "IMEXPath" in the "Startup" group of the "BN Tormid" settings file, read when the wizard loads
// and written when it unloads, each defaulting to the program's folder.
#include "vrell/frm_wizard.h"
#include "wizard_common/settings_store.h"

namespace vrell {

namespace {
const QString kApplication = QStringLiteral("BN Tormid");
}

void FrmWizard::LoadSettings() {
    const wizard::SettingsStore store(kApplication);
    wizard::LoadFolders(store,
                        {{"DBPath", &DBPath}, {"LogPath", &LogPath}, {"ReportPath", &ReportPath},
                         {"IMEXPath", &IMEXPath}},
                        programDir_);
}

void FrmWizard::SaveSettings() {
    wizard::SettingsStore store(kApplication);
    wizard::SaveFolders(store, {{"DBPath", &DBPath}, {"LogPath", &LogPath}, {"ReportPath", &ReportPath},
                                {"IMEXPath", &IMEXPath}});
    // Unloading goes on whether or not the file could be written.
    store.Sync();
}

}  // namespace vrell
