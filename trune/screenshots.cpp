// Clicks through the wizard with scripted answers (every question Yes, no file dialog) and
// grabs each page as it is shown, and the viewer on the conditioned copy, at its first row and
// at the last row of a large copy of it.
#include "trune/screenshots.h"

#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QListWidget>
#include <QTemporaryDir>

#include "platform/db/sql_names.h"
#include "platform/vb/numbered_error.h"
#include "trune/frm_view_data.h"
#include "trune/frm_wizard.h"
#include "wizard_common/about_dialog.h"
#include "wizard_common/links.h"
#include "wizard_common/model/step_caption.h"
#include "wizard_common/qt_services.h"
#include "wizard_common/screenshot_kit.h"

namespace trune {

namespace {

// Writes `table` of `dbName` `times` over into a new file `large`, in one transaction.
bool MakeLargeCopy(const QString& dbName, const QString& table, const QString& large, int times) {
    try {
        auto from = db::DBEngine::OpenDatabase(dbName.toStdString());
        const std::string name = db::QuotedPlainName(table.toStdString(), db::NameKind::Table);
        db::DBEngine::CreateDatabase(large.toStdString())->Close();
        from->Execute("select * into " + name + " IN '" + large.toStdString() + "' from " + name);
        const db::TableDef def = from->TableDefs(table.toStdString());
        auto rows = from->OpenRecordset("select * from " + name, db::dbOpenSnapshot);
        const vb::Array<db::Value> cells = rows->GetRows(1000000);
        rows->Close();
        auto to = db::DBEngine::OpenDatabase(large.toStdString());
        to->BeginTrans();
        auto out = to->OpenRecordset("select * from " + name, db::dbOpenDynaset);
        for (int k = 1; k < times; ++k)
            for (int32_t r = 0; r <= cells.UBound(2); ++r) {
                out->AddNew();
                for (int32_t c = 0; c <= cells.UBound(1); ++c) out->SetField(def.Fields[size_t(c)].Name, cells(c, r));
                out->Update();
            }
        out->Close();
        to->CommitTrans();
        return true;
    } catch (const vb::NumberedError&) {
        return false;
    }
}

// A table whose field X changes class every few rows: the supervised method would cut it more
// than a field can hold.
QString WriteManyClassesTable(const QString& folder) {
    const QString path = QDir(folder).filePath("many.db");
    try {
        auto database = db::DBEngine::CreateDatabase(path.toStdString());
        database->Execute("CREATE TABLE Many (Class TEXT(10), X DOUBLE)");
        for (int c = 1; c <= 60; ++c)
            for (int v = 0; v < 6; ++v)
                database->Execute("INSERT INTO Many VALUES ('c" + std::to_string(c) + "', " +
                                  std::to_string(c * 10 + v / 3) + ")");
        database->Close();
    } catch (const vb::NumberedError&) {
        return {};
    }
    return path;
}

// A message as the user gets it over the wizard.
void GrabMessage(FrmWizard& w, const QString& text, wizard::Icon icon, const QString& name,
                 wizard::WindowGrabber& grab) {
    if (text.isEmpty()) return;
    auto box = wizard::NewMessageBox(&w, text, QString::fromStdString(wizard::TruneFrame().title), icon);
    box->show();
    grab.Save(box.get(), name);
    box->hide();
}

}  // namespace

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
    // A target in a folder that does not exist: the message, and the page stays.
    fakes.prompts.last.clear();
    w.table->NDbName->setText(QDir(target.path()).filePath("no such folder/conditioned.db"));
    w.NavButton(kNext)->click();
    if (w.CurrentStep == 4) GrabMessage(w, fakes.prompts.last, wizard::Icon::Warning, "trune_invalid_path", grab);
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
        // The viewer at the last row of a large table: the conditioned rows copied 400 times.
        const QString large = QDir(target.path()).filePath("large.db");
        if (MakeLargeCopy(w.finished->lbldb->text(), w.finished->lbltb->text(), large, 400) &&
            viewer.Load(large, w.finished->lbltb->text())) {
            viewer.show();
            QKeyEvent end(QEvent::KeyPress, Qt::Key_End, Qt::ControlModifier);
            QApplication::sendEvent(viewer.MSFlexGrid1, &end);
            // Back to the first column of that row, so no column shows cut at the left edge.
            QKeyEvent home(QEvent::KeyPress, Qt::Key_Home, Qt::NoModifier);
            QApplication::sendEvent(viewer.MSFlexGrid1, &home);
            grab.Save(&viewer, "trune_viewer_end");
            viewer.close();
        }
    }

    // Back, and a supervised run by a class that the tenure says nothing of: the last page names
    // the field written "?" throughout.
    if (w.CurrentStep == 6) {
        w.NavButton(kBack)->click();
        const int region = w.method->CmbFlds->findText("Region");
        if (region >= 0) {
            w.method->OptEnt->click();
            w.method->CmbFlds->setCurrentIndex(region);
            w.NavButton(kFinish)->click();
            if (w.CurrentStep == 6) grab.Save(&w, "trune_page_6_uncut");
        }
    }

    // A table that the supervised method would cut more than a field can hold: the message
    // names the field and what to do, and the wizard stays on the page.
    const QString many = WriteManyClassesTable(target.path());
    for (int back = 0; back < 3 && w.CurrentStep > 2; ++back) w.NavButton(kBack)->click();  // to the file page
    if (w.CurrentStep == 2 && !many.isEmpty()) {
        w.sourceFile->txtdbname->setText(many);
        w.NavButton(kNext)->click();
        if (w.CurrentStep == 4) {
            w.table->cboTbName->setCurrentIndex(w.table->cboTbName->findText("Many"));
            w.table->NDbName->setText(QDir(target.path()).filePath("many_conditioned.db"));
            w.NavButton(kNext)->click();
        }
        if (w.CurrentStep == 5) {
            for (int i = 0; i < w.method->LstConFld->count(); ++i)
                w.method->LstConFld->item(i)->setCheckState(Qt::Checked);
            w.method->OptEnt->click();
            w.method->CmbFlds->setCurrentIndex(w.method->CmbFlds->findText("Class"));
            fakes.prompts.last.clear();
            w.NavButton(kFinish)->click();
            if (w.CurrentStep == 5) GrabMessage(w, fakes.prompts.last, wizard::Icon::None, "trune_too_many_cuts", grab);
        }
    }

    wizard::frmAbout about({QString::fromStdString(wizard::TruneFrame().title), wizard::kTruneHelpPage, programDir},
                           fakes.bundle(), &w);
    about.show();
    grab.Save(&about, "trune_about");
    about.close();
    w.hide();
    return grab.written();
}

}  // namespace trune
