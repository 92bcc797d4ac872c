// Clicks through the wizard with scripted answers (every question Yes, no file dialog) and
// grabs each page as it is shown.
#include "vrell/screenshots.h"

#include <QDir>

#include "vrell/frm_wizard.h"
#include "wizard_common/about_dialog.h"
#include "wizard_common/links.h"
#include "wizard_common/model/step_caption.h"
#include "wizard_common/screenshot_kit.h"

namespace vrell {

QStringList TakeScreenshots(const QString& outDir, const QString& programDir) {
    wizard::ScreenshotServices fakes;
    FrmWizard w(fakes.bundle(), programDir);
    w.show();
    wizard::WindowGrabber grab(outDir);
    auto page = [&](int n) {
        if (w.CurStep == n) grab.Save(&w, QString("vrell_page_%1").arg(n));
    };
    constexpr int kBack = 2, kNext = 3, kFinish = 4;

    page(0);
    w.NavButton(kNext)->click();
    page(1);
    // The ODBC page, then back to a database file.
    w.format->lstdbfmt->setCurrentRow(16);
    w.NavButton(kNext)->click();
    page(3);
    w.NavButton(kBack)->click();
    w.format->lstdbfmt->setCurrentRow(0);
    w.NavButton(kNext)->click();
    w.file->txtdbname->setText(QDir(programDir).filePath("demo.db"));
    page(2);
    w.NavButton(kNext)->click();
    w.table->cboTbName->setCurrentIndex(w.table->cboTbName->findText("Customers"));
    // The hold-out column is trune's bookkeeping, not a field of the network.
    const auto holdOut = w.table->Lstfields->findItems("ZORV_HoldOut", Qt::MatchExactly);
    for (QListWidgetItem* item : holdOut) item->setSelected(false);
    page(4);
    w.NavButton(kNext)->click();
    // One cause-and-effect pair: Contract -> Churn.
    wizard::KnowledgePage& k = *w.knowledge->page;
    k.SSTab1->setCurrentIndex(2);
    k.lstfld[2]->setCurrentRow(1);
    k.lstfld[3]->setCurrentRow(0);
    k.cmdright2_Click();
    page(5);
    w.NavButton(kNext)->click();
    page(6);
    w.NavButton(kFinish)->click();
    page(7);

    // The network editor over the result, and the progress window of an export under way and
    // finished.
    {
        FrmBNeditor editor(fakes.bundle(), w);
        editor.resize(720, 480);
        editor.show();
        grab.Save(&editor, "vrell_editor");
        editor.hide();
        FrmLearnCP learn(w.CancelCall, &w);
        learn.ShowProgress(40);
        learn.show();
        grab.Save(&learn, "vrell_learncp");
        learn.ShowProgress(99);
        learn.Finished();
        grab.Save(&learn, "vrell_learncp_done");
        learn.hide();
    }

    wizard::frmAbout about({QString::fromStdString(wizard::VrellFrame().title), wizard::kVrellHelpPage, programDir},
                           fakes.bundle(), &w);
    about.show();
    grab.Save(&about, "vrell_about");
    about.close();
    w.hide();
    return grab.written();
}

}  // namespace vrell
