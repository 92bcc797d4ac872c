// zorv's step 4: the page, the structure listing and the running report (printed or saved), and
// step 9's result-file choice.
#include "zorv/page_result.h"

#include <QFontDatabase>

#include "platform/vb/numbered_error.h"
#include "wizard_common/frame_widgets.h"
#include "wizard_common/model/report_file.h"
#include "wizard_common/model/step_caption.h"
#include "wizard_common/save_target.h"
#include "wizard_common/wait_cursor.h"
#include "zorv/frm_wizard.h"
#include "zorv/learned_model.h"
#include "zorv/learning_options.h"
#include "zorv/page_knowledge.h"

namespace zorv {

namespace {

const QString& Title() {
    static const QString t = QString::fromStdString(wizard::ZorvFrame().title);
    return t;
}

wizard::ClassifierNets NetsOf(const ZorvSession& s) {
    wizard::ClassifierNets n;
    n.FieldCount = s.FieldCount;
    n.FieldNames = s.FieldNames;
    n.FieldUsed = s.FieldUsed;
    n.IsMultiNetFlag = s.IsMultiNetFlag;
    n.NetCount = s.NetCount;
    n.ClassLabels = s.ClassLabels;
    n.GraphArr = s.GraphArr;
    return n;
}

}  // namespace

ListingBox::ListingBox() {
    setObjectName("txtrst");
    setReadOnly(true);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
}

void ListingBox::clear() {
    text_.clear();
    QPlainTextEdit::clear();
}

void ListingBox::append(const QString& text) {
    text_ += text;
    QString shown = text_;
    shown.replace("\r\n", "\n");
    setPlainText(shown);
}

ResultPage::ResultPage(const QString& name, QWidget* parent) : WizardPage(4, 7, name, parent) {
    txtrst = new ListingBox;
    cmdSave = Named(new QPushButton("&Save report..."), "cmdSave");
    cmdPrint = Named(new QPushButton("&Print report"), "cmdPrint");
    lblLCPT = Named(new QLabel("Learning CPTables ..."), "lblLCPT");
    lblLCPT2 = Named(new QLabel, "lblLCPT2");
    ProgressBar2 = Named(new QProgressBar, "ProgressBar2");
    ProgressBar2->setRange(0, 100);
    ProgressBar2->setValue(0);

    body()->addWidget(Note("The links of the learned classifier:"));
    body()->addWidget(txtrst, 1);
    buttons = new QHBoxLayout;
    buttons->addWidget(cmdSave);
    buttons->addWidget(cmdPrint);
    buttons->addStretch(1);
    body()->addLayout(buttons);
    auto* progress = new QHBoxLayout;
    progress->addWidget(lblLCPT);
    progress->addWidget(lblLCPT2);
    progress->addStretch(1);
    body()->addLayout(progress);
    body()->addWidget(ProgressBar2);
    for (QWidget* w : std::initializer_list<QWidget*>{lblLCPT, lblLCPT2, ProgressBar2}) w->hide();
    StretchBody();
}

void FrmWizard::ConnectResultControls() {
    connect(result->cmdPrint, &QPushButton::clicked, this, &FrmWizard::cmdPrint_Click);
    connect(result->cmdSave, &QPushButton::clicked, this, &FrmWizard::cmdSave_Click);
    // `toggled`, not `clicked`: a choice the wizard makes itself (no true class, the page entered
    // again) must enable the file box as a click does.
    connect(testTable->OptNoSave, &QRadioButton::toggled, this, &FrmWizard::OptNoSave_Click);
    connect(testTable->OptSaveRst, &QRadioButton::toggled, this, &FrmWizard::OptSaveRst_Click);
    connect(testTable->CmdRst, &QPushButton::clicked, this, &FrmWizard::CmdRst_Click);
    wizard::SelectAllOnFocus(testTable->RstName);
}

void FrmWizard::EnterResultPage(int how) {
    const bool report = session_.WorkMode == 1;
    result->cmdSave->setEnabled(report);
    result->cmdPrint->setEnabled(report);
    if (how == 2 && session_.WorkMode == 2 && MyDataEng) {
        // The classifier read from its file, as the editor and the listing read it.
        TakeLearnedModel(*MyDataEng, session_);
        LearnedGraph = session_.GraphArr;
        if (LearnedGraph.size() > 0) LearnedGraph(0, 0, 0) = 1;
        result->txtrst->clear();
        WriteGrafTxt();
    }
    for (QWidget* w : std::initializer_list<QWidget*>{result->ProgressBar2, result->lblLCPT, result->lblLCPT2})
        w->hide();
}

void FrmWizard::WriteGrafTxt() {
    int16_t none = 0;
    int16_t& counter = LearnedGraph.size() > 0 ? LearnedGraph(0, 0, 0) : none;
    session_.FirstNode = wizard::FirstNodeOf(session_.IsMultiNetFlag);
    result->txtrst->append(QString::fromStdString(wizard::WriteGrafTxt(NetsOf(session_), counter)));
}

wizard::ZorvReportData FrmWizard::ReportData() const {
    wizard::ZorvReportData d;
    d.DBName = cover->DBName->text().toStdString();
    d.CboTbName = fields->CboTbName->currentText().toStdString();
    d.nets = NetsOf(session_);
    d.knowledge = RunKnowledge;
    using wizard::knowledge::KnowledgeBox;
    const wizard::knowledge::KnowledgeModel& k = session_.Knowledge;
    d.knowledge.chkco = k.box(KnowledgeBox::CompleteOrdering);
    d.knowledge.chkpo = k.box(KnowledgeBox::PartialOrdering);
    d.knowledge.chkce = k.box(KnowledgeBox::CausesEffects);
    d.knowledge.chkfl = k.box(KnowledgeBox::ForbiddenLinks);
    d.txtinputlog = learn->txtinputlog->text().toStdString();
    d.txtoutputlog = learn->txtoutputlog->text().toStdString();
    d.OptAuto = options->OptAuto->isChecked();
    d.CmbEps = options->CmbEps->currentText().toStdString();
    d.LearnedGraph = LearnedGraph;
    return d;
}

void FrmWizard::cmdPrint_Click() {
    wizard::ReportRecorder ops;
    {
        wizard::WaitCursor wait;
        wizard::BuildZorvReport(ReportData(), wizard::ReportCopy::Printed,
                                std::time_t(services_.shell.Now().toSecsSinceEpoch()), ops);
    }
    const wizard::PrintOutcome outcome = services_.printer.PrintReport(this, Title(), ops.ops());
    if (!outcome.error.isEmpty()) Warn(outcome.error);
}

void FrmWizard::cmdSave_Click() {
    const std::time_t now = std::time_t(services_.shell.Now().toSecsSinceEpoch());
    wizard::SaveReport(this, services_, "Save the running report of network construction", ReportPath, Title(),
                       [&](wizard::ReportSink& file) {
                           wizard::BuildZorvReport(ReportData(), wizard::ReportCopy::Saved, now, file);
                       });
}

void FrmWizard::OptNoSave_Click() {
    if (!testTable->OptNoSave->isChecked()) return;
    testTable->RstName->setEnabled(false);
    testTable->CmdRst->setEnabled(false);
}

void FrmWizard::OptSaveRst_Click() {
    if (!testTable->OptSaveRst->isChecked()) return;
    testTable->RstName->setEnabled(true);
    testTable->CmdRst->setEnabled(true);
}

void FrmWizard::CmdRst_Click() {
    // A save dialog: an open dialog could not name a file that does not exist yet.
    const QString name = services_.files.Save(this, "Save classification result to text file",
                                              "text file (*.txt)|*.txt|All Files (*.*)|*.*", ResultPath);
    if (name.isEmpty()) return;
    testTable->RstName->setText(name);
    wizard::RememberFolder(name, ResultPath);
}

}  // namespace zorv
