// vrell's construction run: the pages' choices turned into the construction engine's arguments,
// a new DataSet per run, Init and Construct (or the manual network of a skipped construction),
// the progress handler with the user's Cancel, and the listing of the links on page 7.
#include <QApplication>

#include "platform/com/object.h"
#include "platform/vb/strings.h"
#include "vrell/frm_wizard.h"
#include "vrell/result_listing.h"
#include "wizard_common/model/db_formats.h"

namespace vrell {

namespace {

constexpr const char* kInitializing = "Initializing...";
constexpr const char* kConstructing = "Construction in progress...";
constexpr const char* kLearningCP = "CP";

}  // namespace

DataSetFactory RegisteredDataSets() {
    return [] { return com::CreateObjectAs<vrellapi::IDataSet>("VRELLAPI.DataSet"); };
}

void FrmWizard::HideProgress() {
    logs->lblprocessing->hide();
    logs->ProgressBar1->hide();
    logs->ProgressBar1->setValue(0);
}

std::shared_ptr<db::Database> FrmWizard::RunDatabase() {
    if (DbFormat != wizard::kOdbcFormat) return DataDb;
    // A connection of the run's own; the engine keeps it for the later parameter learning, so
    // the wizard only lets go of its reference and never closes it.
    const db::Workspace ws = db::DBEngine::CreateWorkspace("wsODBC", "Admin", "", db::dbUseODBC);
    return ws.OpenDatabase("", false, true, OdbcConnect.toStdString());
}

bool FrmWizard::process() {
    const int n = NumFlds;
    try {
        for (vb::Array<vb::Integer>* m : {&rst, &po, &ce, &fl}) m->ReDim(vb::To(n), vb::To(n));
        rstSaved = vb::Array<vb::Integer>();
        rt.ReDim(vb::To(n));
        lf.ReDim(vb::To(n));
        arrfldnm.ReDim(vb::To(n));

        MyDataSet = CreateDataSet();
        MyDataSet->SetEventSink(&events_);
        CancelCall = 0;
        std::string strtb = table->cboTbName->currentText().toStdString();
        std::shared_ptr<db::Database> objdb = RunDatabase();

        // The knowledge in engine order: the complete ordering's when there is one.
        wizard::knowledge::EngineKnowledge k = Knowledge.ForDataSet();
        arrfldnm = k.names;
        po = k.po;
        ce = k.ce;
        fl = k.fl;
        rt = k.rt;
        lf = k.lf;
        if (SkipStru) TakeCauseEffectPairs(ce, rst, n);

        Running = true;
        logs->ProgressBar1->setValue(0);
        logs->ProgressBar1->show();
        StatusStr = kInitializing;
        logs->lblprocessing->setText(StatusStr);
        logs->lblprocessing->show();
        PumpEvents();

        // Init writes the bracketed field name back: the box keeps the user's text.
        std::string cntfld = table->cboFrq->currentIndex() <= 0 ? "" : table->cboFrq->currentText().toStdString();
        bool bord = k.bord;
        vb::Integer numfld = vb::Integer(n);
        std::string logi = logs->txtinputlog->text().toStdString();
        std::string logo = logs->txtoutputlog->text().toStdString();
        MyDataSet->Init(objdb, strtb, numfld, arrfldnm, cntfld, bord, po, ce, fl, rt, lf, logi, logo);
        objdb.reset();
        PumpEvents();
        if (CancelCall == -1) {
            Running = false;
            MyDataSet.reset();
            HideProgress();
            return false;
        }

        if (!SkipStru) {
            StatusStr = kConstructing;
            logs->ProgressBar1->setValue(0);
            logs->lblprocessing->setText(StatusStr);
            PumpEvents();
            vb::Single Perc = vb::Single(vb::Val(knowledge->CmbEps->currentText().toStdString()));
            bool bpres = knowledge->page->chkpreserve->isChecked();
            MyDataSet->Construct(Perc, bpres, rst);
            Running = false;
            if (rst(0, 0) == -1) {
                HideProgress();
                return false;
            }
        }
        Running = false;
        ListResult();
        return true;
    } catch (const std::exception& e) {
        MyDataSet.reset();
        Running = false;
        HideProgress();
        const auto* numbered = dynamic_cast<const vb::NumberedError*>(&e);
        Message(QString::fromStdString(numbered ? numbered->description() : e.what()), wizard::Icon::None);
        return false;
    }
}

void FrmWizard::ListResult() {
    const std::string text = ListLinks(rst, arrfldnm, NumFlds);
    finished->txtrst->setPlainText(QString::fromStdString(text).replace("\r\n", "\n"));
}

void FrmWizard::MyDataSet_PercentDone(vb::Single Percent, bool& Cancel) {
    // The bar takes no value beyond its range.
    if (Percent > 100) Percent = 100;
    if (StatusStr != kLearningCP) {
        logs->ProgressBar1->setValue(int(Percent));
        PumpEvents();
        logs->lblprocessing->setText(StatusStr + QString::number(int(Percent)) + "%");
    } else {
        LearnCPProgress(Percent);
        PumpEvents();
    }
    Cancel = CancelCall == -1;
}

}  // namespace vrell
