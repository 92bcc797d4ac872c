// trune's wizard form: building the pages, the page controller and its flow, the checks and
// actions run when a page is left forward, page 1's handlers, Help, About and the exit path.
#include "trune/frm_wizard.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QSignalBlocker>

#include <cmath>
#include <limits>

#include "platform/vb/numbered_error.h"
#include "platform/vb/runtime_error.h"
#include "platform/vb/strings.h"
#include "wizard_common/about_dialog.h"
#include "wizard_common/links.h"
#include "wizard_common/model/paths.h"
#include "wizard_common/model/step_caption.h"

namespace trune {

namespace {

constexpr int kPages = 7;
constexpr int kHelp = 0, kCancel = 1, kBack = 2, kNext = 3, kFinish = 4, kAbout = 5;
// The picture of the "Finished!" page carries the hidden link.
constexpr int kHiddenLinkPicture = 6;
// The author's page the hidden link opens: the suite's own page next to the program.
constexpr const char* kAuthorPage = wizard::kSuitePage;

const QString& Title() {
    static const QString t = QString::fromStdString(wizard::TruneFrame().title);
    return t;
}

}  // namespace

FrmWizard::FrmWizard(wizard::Services services, TruneSession& session, const QString& programDir,
                     QWidget* parent)
    : WizardForm(services, programDir, parent), session_(session) {
    BuildForm();
    // Form load: the first format is chosen, the cover shown, the settings read.
    {
        const QSignalBlocker block(settings->lstdbfmt);
        settings->lstdbfmt->setCurrentRow(0);
    }
    lstdbfmt_Click();
    SourcePage = 2;
    ShowStep(0, 0);
    LoadSettings();
}

FrmWizard::~FrmWizard() = default;

void FrmWizard::BuildForm() {
    stack_ = new QStackedWidget;
    stack_->setObjectName("fraStep");
    intro = new IntroPage;
    settings = new SettingsPage;
    sourceFile = new SourceFilePage;
    odbc = new OdbcPage;
    table = new TablePage;
    method = new MethodPage;
    finished = new FinishedPage;
    wizard::AddPages(stack_, {intro, settings, sourceFile, odbc, table, method, finished},
                     [this](int k) { imgStep_DblClick(k); });

    cmdNav_ = wizard::BuildWizardFrame(this, stack_, "&Finish", [this](int i) { cmdNav_Click(i); });
    resize(820, 600);

    wizard::InstallHelpKey(this, [this] { cmdNav_Click(kHelp); });

    // The lists' handlers run on every change of choice, by mouse or key; code that fills or
    // sets a list blocks its signals and calls the handler itself where it should run.
    connect(settings->lstdbfmt, &QListWidget::currentRowChanged, this, &FrmWizard::lstdbfmt_Click);
    connect(settings->AutoDetect, &QCheckBox::clicked, this, &FrmWizard::AutoDetect_Click);
    connect(settings->CmbVlu, &QComboBox::currentIndexChanged, this, &FrmWizard::CmbVlu_Click);
    connect(sourceFile->cmd2a, &QPushButton::clicked, this, &FrmWizard::cmd2a_Click);
    connect(table->cboTbName, &QComboBox::currentIndexChanged, this, &FrmWizard::cboTbName_Click);
    connect(table->CmdNDb, &QPushButton::clicked, this, &FrmWizard::CmdNDb_Click);
    connect(table->NDbName, &QLineEdit::textChanged, this, &FrmWizard::NDbName_Change);
    connect(method->LstConFld, &QListWidget::currentRowChanged, this, &FrmWizard::LstConFld_Click);
    connect(method->LstConFld, &QListWidget::itemChanged, this, [this] { LstConFld_Click(); });
    connect(method->LstIntvl, &QListWidget::currentRowChanged, this, &FrmWizard::LstIntvl_Click);
    connect(method->CboReset, &QComboBox::currentIndexChanged, this, &FrmWizard::CboReset_Click);
    connect(method->Command1, &QPushButton::clicked, this, &FrmWizard::Command1_Click);
    connect(method->CmdAutoDis, &QPushButton::clicked, this, &FrmWizard::CmdAutoDis_Click);
    connect(method->OptEW, &QRadioButton::clicked, this, &FrmWizard::OptEW_Click);
    connect(method->OptEF, &QRadioButton::clicked, this, &FrmWizard::OptEF_Click);
    connect(method->OptEnt, &QRadioButton::clicked, this, &FrmWizard::OptEnt_Click);
    connect(finished->Command4, &QPushButton::clicked, this, &FrmWizard::Command4_Click);
    connect(finished->Cmdzorv, &QPushButton::clicked, this, &FrmWizard::Cmdzorv_Click);
    connect(finished->Cmdvrell, &QPushButton::clicked, this, &FrmWizard::Cmdvrell_Click);
    for (QLineEdit* box : {sourceFile->txtdbname, table->NDbName, table->NTbName})
        wizard::SelectAllOnFocus(box);
}

// ---- page controller ------------------------------------------------------------------------

void FrmWizard::ShowStep(int page, int how) {
    if (page < 0 || page >= kPages) return;
    try {
        EntryActions(page, how);
    } catch (const std::exception& e) {
        // The page may stay half set up; the frame still changes, as the entry work is done.
        Message(QString::fromStdString(e.what()), wizard::Icon::Warning);
    }
    wizard::SwitchPage(stack_, CurrentStep, page);
    SetStepCaption(page);
    SetNavButtons(page);
    update();
}

void FrmWizard::EntryActions(int page, int how) {
    switch (page) {
        case 1:
            if (how == 2) {
                {
                    const QSignalBlocker block(settings->CmbVlu);
                    settings->CmbVlu->setCurrentIndex(3);
                }
                CmbVlu_Click();
            }
            break;
        case 2:
            if (how == 2) ClearObjs();
            break;
        case 3:
            if (how == 2) {
                ClearObjs();
                GetDSNsAndDrivers();
            }
            break;
        case 5:
            FillClassFields();
            // A supervised run that finished has counts of its own to show.
            LstConFld_Click();
            break;
        case 6:
            finished->lbldb->setText(table->NDbName->text());
            finished->lbltb->setText(table->NTbName->text());
            break;
        default: break;
    }
}

void FrmWizard::SetNavButtons(int page) {
    CurrentStep = page;
    QPushButton* back = cmdNav_[kBack];
    QPushButton* next = cmdNav_[kNext];
    QPushButton* finish = cmdNav_[kFinish];
    switch (page) {
        case 0:
            back->setEnabled(false);
            next->setEnabled(true);
            finish->setEnabled(false);
            break;
        case 5:
            back->setEnabled(true);
            next->setEnabled(false);
            finish->setEnabled(true);
            finish->setText("&Finish");
            break;
        case 6:
            back->setEnabled(true);
            next->setEnabled(false);
            finish->setEnabled(true);
            finish->setText("&Close");
            break;
        default:
            back->setEnabled(true);
            next->setEnabled(true);
            finish->setEnabled(false);
            break;
    }
}

void FrmWizard::SetStepCaption(int page) {
    setWindowTitle(QString::fromStdString(wizard::StepCaption(wizard::TruneFrame(), page)));
}

void FrmWizard::cmdNav_Click(int index) {
    switch (index) {
        case kHelp:
            ShowHelp(wizard::kTruneHelpPage);
            break;
        case kCancel:
            if (session_.Busy) {
                // The running step ends at its next check; the wizard stays where it is.
                if (services_.prompts.Ask(this, "Cancel the current process?", Title())) session_.CancelRun = true;
            } else if (services_.prompts.Ask(this, "Exit Sorvane?", Title())) {
                Unload();
            }
            break;
        case kBack: {
            const int target = CurrentStep == 4 ? SourcePage : CurrentStep == 3 ? 1 : CurrentStep - 1;
            if (CurrentStep > 0) ShowStep(target, 1);
            break;
        }
        case kNext: {
            if (!ValidateStep()) return;
            const int target = CurrentStep == 2 ? 4 : CurrentStep == 1 ? SourcePage : CurrentStep + 1;
            ShowStep(target, 2);
            break;
        }
        case kFinish:
            if (!ValidateStep()) return;
            if (CurrentStep == 5)
                ShowStep(6, 2);
            else
                Unload();
            break;
        case kAbout: {
            wizard::frmAbout about({Title(), wizard::kTruneHelpPage, programDir_}, services_, this);
            about.exec();
            break;
        }
        default: break;
    }
}

bool FrmWizard::ValidateStep() {
    try {
        switch (CurrentStep) {
            case 1: return ValidatePage1();
            case 2: {
                const bool opened = OpenLocalDB();
                wizard::RememberFolder(sourceFile->txtdbname->text(), DBPath);
                return opened;
            }
            case 3: return openODBC();
            case 4: return ValidatePage4();
            case 5: return ValidatePage5();
            default: return true;
        }
    } catch (const vb::NumberedError& e) {
        Message(QString::fromStdString(e.description()), wizard::Icon::Warning);
    } catch (const std::exception& e) {
        Message(QString::fromStdString(e.what()), wizard::Icon::Warning);
    }
    // A failure that reaches here ends the step that ran: nothing runs any more, so Busy is
    // cleared and the buttons come back; the user stays on the page.
    EndOfStep();
    return false;
}

bool FrmWizard::ValidatePage1() {
    // A code is the number the box's text begins with; one beyond the Single range cannot be
    // held, so the page refuses it instead of going on with the old value.
    auto code = [](const QLineEdit* box) {
        const double v = vb::Val(box->text().toStdString());
        if (std::fabs(v) > double(std::numeric_limits<vb::Single>::max())) throw vb::RuntimeError::Overflow();
        return vb::Single(v);
    };
    const bool missing = !settings->txtMissing->text().isEmpty();
    const bool alone = !settings->txtAlone->text().isEmpty();
    const vb::Single missingCode = missing ? code(settings->txtMissing) : session_.MissingCode;
    const vb::Single aloneCode = alone ? code(settings->txtAlone) : session_.AloneCode;
    session_.MissingCode = missingCode;
    session_.AloneCode = aloneCode;
    return true;
}

bool FrmWizard::ValidatePage4() {
    QPushButton* back = cmdNav_[kBack];
    QPushButton* next = cmdNav_[kNext];
    back->setEnabled(false);
    next->setEnabled(false);
    session_.Busy = true;
    session_.CancelRun = false;
    bool result = ExportTable();
    session_.Busy = false;
    back->setEnabled(true);
    next->setEnabled(true);
    if (!result) return false;
    if (session_.CancelRun) return false;

    back->setEnabled(false);
    next->setEnabled(false);
    session_.Busy = true;
    session_.CancelRun = false;
    table->lbstatus3->setText("Checking for continuous values, please wait...");
    result = FindCont();
    table->lbstatus3->setText("");
    session_.Busy = false;
    back->setEnabled(true);
    next->setEnabled(true);
    if (result) wizard::RememberFolder(table->NDbName->text(), DBPath);
    return result;
}

bool FrmWizard::ValidatePage5() {
    if (method->OptEnt->isChecked() && method->CmbFlds->currentText() == "NONE") {
        Message("You have chosen the supervised discretization, please select a field that contains the class "
                "labels.",
                wizard::Icon::Warning);
        return false;
    }
    cmdNav_[kBack]->setEnabled(false);
    cmdNav_[kFinish]->setEnabled(false);
    session_.Busy = true;
    session_.CancelRun = false;
    // Each run starts from 0, not from the 100% of the run before.
    SetProgress(0);
    for (QWidget* w : {static_cast<QWidget*>(method->Lbpercent), static_cast<QWidget*>(method->LbProcessing),
                       static_cast<QWidget*>(method->ProgressBar1)})
        w->show();
    const bool result = Discretize();
    EndOfStep();
    return result;
}

void FrmWizard::EndOfStep() {
    session_.Busy = false;
    method->Lbpercent->hide();
    method->LbProcessing->hide();
    method->ProgressBar1->hide();
    table->lbstatus3->setText("");
    // The buttons as the page has them when it is entered.
    SetNavButtons(CurrentStep);
}

void FrmWizard::Message(const QString& text, wizard::Icon icon) {
    services_.prompts.Message(this, text, Title(), icon);
}

void FrmWizard::PumpEvents() { QCoreApplication::processEvents(); }

// ---- page 1 ---------------------------------------------------------------------------------

void FrmWizard::lstdbfmt_Click() {
    const wizard::FormatChoice choice = wizard::ChooseDbFormat(settings->lstdbfmt, sourceFile->txtdbname, 3, 2);
    DbFormat = choice.dbFormat;
    SourcePage = choice.nextPage;
}

void FrmWizard::AutoDetect_Click() {
    const bool on = settings->AutoDetect->isChecked();
    for (QWidget* w : {static_cast<QWidget*>(settings->lbl1), static_cast<QWidget*>(settings->lbl2),
                       static_cast<QWidget*>(settings->CmbVlu)})
        w->setEnabled(on);
}

void FrmWizard::CmbVlu_Click() { ValueLimit = settings->CmbVlu->currentIndex() + 2; }

void FrmWizard::imgStep_DblClick(int index) { FollowHiddenLink(index, kHiddenLinkPicture, kAuthorPage); }

// ---- exit -----------------------------------------------------------------------------------

// Closing the window while a step runs is the Cancel button: the step is asked to stop and
// the wizard stays. Otherwise the window closes like Exit, through the settings save.
void FrmWizard::closeEvent(QCloseEvent* event) {
    if (!unloading_ && session_.Busy) {
        if (services_.prompts.Ask(this, "Cancel the current process?", Title())) session_.CancelRun = true;
        event->ignore();
        return;
    }
    SaveSettings();
    unloaded_ = true;
    event->accept();
}

}  // namespace trune
