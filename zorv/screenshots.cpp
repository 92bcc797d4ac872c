// Clicks through the wizard with scripted answers (every question Yes, no file dialog) and
// grabs each page as it is shown.
#include "zorv/screenshots.h"

#include <QDir>

#include "wizard_common/about_dialog.h"
#include "wizard_common/links.h"
#include "wizard_common/model/step_caption.h"
#include "wizard_common/screenshot_kit.h"
#include "zorv/frm_setting.h"
#include "zorv/frm_wizard.h"

namespace zorv {

QStringList TakeScreenshots(const QString& outDir, const QString& programDir) {
    wizard::ScreenshotServices fakes;
    wizard::Services services = fakes.bundle();
    ZorvSession session;
    FrmWizard w(services, session, programDir);
    w.show();
    wizard::WindowGrabber grab(outDir);
    auto page = [&](int n) { grab.Save(&w, QString("zorv_page_%1").arg(n)); };

    // Work mode 1 on the demo database: the cover, then every page that Next reaches.
    w.cover->Option1->click();
    if (w.cover->DBName->text().isEmpty())
        w.cover->DBName->setText(QDir(programDir).filePath("demo.db"));
    page(0);
    for (int expected : {1, 2, 3, 4, 5, 6}) {
        w.NavButton(3)->click();
        if (w.CurrentStep == expected) page(expected);
    }
    w.testFile->DbNameT->setText(QDir(programDir).filePath("demo.db"));
    w.NavButton(3)->click();  // 6 -> 7
    if (w.CurrentStep == 7) page(7);
    w.NavButton(3)->click();  // 7 -> 9
    if (w.CurrentStep == 9) page(9);
    // The ODBC page: back to the format list and choose "Remote (ODBC)".
    w.NavButton(2)->click();
    w.NavButton(2)->click();
    w.format->Lstdbfmt->setCurrentRow(16);
    w.NavButton(3)->click();
    if (w.CurrentStep == 8) page(8);

    wizard::frmAbout about({QString::fromStdString(wizard::ZorvFrame().title), wizard::kZorvHelpPage, programDir},
                           fakes.shell, &w);
    about.show();
    grab.Save(&about, "zorv_about");
    about.close();

    FrmSetting settings(w.MaxCPTrows, w.MaxVlus, fakes.prompts, &w);
    settings.show();
    grab.Save(&settings, "zorv_settings");
    settings.close();
    w.hide();
    return grab.written();
}

}  // namespace zorv
