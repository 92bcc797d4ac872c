// The running report of page 7, printed or saved: the shared report builder over the wizard's
// state, the shared printer and the file written whole through a temporary file.
#include "vrell/frm_wizard.h"
#include "wizard_common/model/running_report.h"
#include "wizard_common/model/step_caption.h"
#include "wizard_common/save_target.h"
#include "wizard_common/wait_cursor.h"

namespace vrell {

namespace {

QString BoxTitle() { return QString::fromStdString(wizard::VrellFrame().title); }

}  // namespace

wizard::VrellReportData FrmWizard::ReportData() const {
    using wizard::knowledge::KnowledgeBox;
    wizard::VrellReportData d;
    d.lstdbfmt = format->lstdbfmt->currentRow();
    d.txtdbname = file->txtdbname->text().toStdString();
    d.cboTbName = table->cboTbName->currentText().toStdString();
    d.NumFlds = NumFlds;
    d.arrfldnm = arrfldnm;
    d.knowledge.chkco = Knowledge.box(KnowledgeBox::CompleteOrdering);
    d.knowledge.chkpo = Knowledge.box(KnowledgeBox::PartialOrdering);
    d.knowledge.chkce = Knowledge.box(KnowledgeBox::CausesEffects);
    d.knowledge.chkfl = Knowledge.box(KnowledgeBox::ForbiddenLinks);
    d.knowledge.po = po;
    d.knowledge.ce = ce;
    d.knowledge.fl = fl;
    d.knowledge.rt = rt;
    d.knowledge.lf = lf;
    d.CmbEps = knowledge->CmbEps->currentText().toStdString();
    d.txtinputlog = logs->txtinputlog->text().toStdString();
    d.txtoutputlog = logs->txtoutputlog->text().toStdString();
    d.rst = rst;
    d.rstSaved = rstSaved;
    return d;
}

void FrmWizard::cmdPrint_Click() {
    wizard::ReportRecorder ops;
    {
        wizard::WaitCursor wait;
        wizard::BuildVrellReport(ReportData(), std::time_t(services_.shell.Now().toSecsSinceEpoch()), ops);
    }
    const wizard::PrintOutcome outcome = services_.printer.PrintReport(this, BoxTitle(), ops.ops());
    if (!outcome.error.isEmpty()) Message(outcome.error, wizard::Icon::Warning);
}

void FrmWizard::cmdSave_Click() {
    const std::time_t now = std::time_t(services_.shell.Now().toSecsSinceEpoch());
    wizard::SaveReport(this, services_, "Save the result with additional information", ReportPath, BoxTitle(),
                       [&](wizard::ReportSink& file) { wizard::BuildVrellReport(ReportData(), now, file); });
}

}  // namespace vrell
