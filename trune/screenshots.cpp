// Clicks through the wizard with scripted answers (every question Yes, no file dialog) and
// grabs each page as it is shown, and the viewer on the conditioned copy.
#include "trune/screenshots.h"

#include <QDir>
#include <QTemporaryDir>

#include "trune/frm_view_data.h"
#include "trune/frm_wizard.h"
#include "wizard_common/about_dialog.h"
#include "wizard_common/links.h"
#include "wizard_common/model/step_caption.h"
#include "wizard_common/screenshot_kit.h"

namespace trune {

QStringList TakeScreenshots(const QString& outDir, const QString& programDir) {
    wizard::ScreenshotServices fakes;
    wizard::Services services = fakes.bundle();
    TruneSession session;
    FrmWizard w(services, session, programDir);
    w.show();
    wizard::WindowGrabber grab(outDir);
    auto page = [&](int n) {
        if (w.CurrentStep == n) grab.Save(&w, QString("trune_page_%1").arg(n));
    };
    constexpr int kBack = 2, kNext = 3, kFinish = 4;

    page(0);
    w.NavButton(kNext)->click();
    page(1);
    // The ODBC page, then back to a file source.
    w.settings->lstdbfmt->setCurrentRow(16);
    w.NavButton(kNext)->click();
    page(3);
    w.NavButton(kBack)->click();
    w.settings->lstdbfmt->setCurrentRow(0);
    w.sourceFile->txtdbname->setText(QDir(programDir).filePath("demo.db"));
    w.NavButton(kNext)->click();
    page(2);
    w.NavButton(kNext)->click();
    // The demo's test table with the target proposed for it (a new table in the demo's own
    // file), then copied into a database file of its own, so the demo stays as it is.
    QTemporaryDir target;
    const int testTable = w.table->cboTbName->findText("CustomersTest");
    w.table->cboTbName->setCurrentIndex(testTable);
    page(4);
    w.table->NDbName->setText(QDir(target.path()).filePath("conditioned.db"));
    w.NavButton(kNext)->click();
    w.method->CmdAutoDis->click();
    page(5);
    // Finish conditions the copy and leads to the last page; the viewer shows the result.
    w.NavButton(kFinish)->click();
    page(6);
    if (w.CurrentStep == 6) {
        FrmViewData viewer(fakes.prompts, &w);
        if (viewer.Load(w.finished->lbldb->text(), w.finished->lbltb->text())) {
            viewer.show();
            // The added columns are the last ones: the picture shows them.
            QAbstractItemModel* rows = viewer.MSFlexGrid1->model();
            if (rows->columnCount() > 0) viewer.MSFlexGrid1->scrollTo(rows->index(0, rows->columnCount() - 1));
            grab.Save(&viewer, "trune_viewer");
            viewer.close();
        }
    }

    wizard::frmAbout about({QString::fromStdString(wizard::TruneFrame().title), wizard::kTruneHelpPage, programDir},
                           fakes.shell, &w);
    about.show();
    grab.Save(&about, "trune_about");
    about.close();
    w.hide();
    return grab.written();
}

}  // namespace trune
