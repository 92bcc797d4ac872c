// zorv's settings: two engine limits and seven remembered folders in the "Startup" group of
// the "BN Kalvex" settings file, read when the wizard loads and written when it unloads.
#include <QDir>
#include <QFileInfo>

#include "wizard_common/settings_store.h"
#include "zorv/frm_wizard.h"

namespace zorv {

namespace {

const QString kApplication = QStringLiteral("BN Kalvex");
constexpr qint64 kLongMax = 2147483647;
// The demo database the build puts next to the program; offered on a first start.
const QString kDemoDatabase = QStringLiteral("demo.db");

}  // namespace

void FrmWizard::LoadSettings() {
    wizard::SettingsStore store(kApplication);
    // A limit the settings dialog would refuse (hand-edited, damaged) falls back to its
    // default instead of stopping the program from starting.
    MaxCPTrows = int32_t(store.Number("MaxCPTRows", 5000, kLongMax, 100000));
    MaxVlus = int16_t(store.Number("MaxVlus", 2, 100, 45));
    // DBPath is read apart: a first start (no DBPath yet) offers the demo database.
    const std::optional<QString> dbPath = store.Text("DBPath");
    DBPath = dbPath.value_or(programDir_);
    wizard::LoadFolders(store,
                        {{"BNCPath", &BNCPath}, {"TestPath", &TestPath}, {"LogPath", &LogPath},
                         {"ReportPath", &ReportPath}, {"IMEXPath", &IMEXPath}, {"ResultPath", &ResultPath}},
                        programDir_);
    if (!dbPath) {
        const QString demo = QDir(programDir_).filePath(kDemoDatabase);
        if (QFileInfo(demo).isFile()) cover->DBName->setText(demo);
    }
}

void FrmWizard::SaveSettings() {
    wizard::SettingsStore store(kApplication);
    store.SetNumber("MaxCPTRows", MaxCPTrows);
    store.SetNumber("MaxVlus", MaxVlus);
    wizard::SaveFolders(store, {{"BNCPath", &BNCPath}, {"DBPath", &DBPath}, {"TestPath", &TestPath},
                                {"LogPath", &LogPath}, {"ReportPath", &ReportPath}, {"IMEXPath", &IMEXPath},
                                {"ResultPath", &ResultPath}});
    // Unloading goes on whether or not the file could be written.
    store.Sync();
}

}  // namespace zorv
