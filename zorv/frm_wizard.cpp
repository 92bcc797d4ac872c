// zorv's wizard form: building the pages, the page controller and its flow, the checks of the
// cover page and the learning page, the frame procedures and the exit path.
#include "zorv/frm_wizard.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QSignalBlocker>

#include "platform/vb/numbered_error.h"
#include "wizard_common/about_dialog.h"
#include "wizard_common/links.h"
#include "wizard_common/log_pickers.h"
#include "wizard_common/model/file_filter.h"
#include "wizard_common/model/file_rules.h"
#include "wizard_common/model/step_caption.h"
#include "wizard_common/wait_cursor.h"
#include "zorv/frm_setting.h"
#include "zorv/learning_options.h"
#include "zorv/page_costs.h"
#include "zorv/page_knowledge.h"
#include "zorv/page_result.h"

namespace zorv {

namespace {

constexpr int kPages = 10;
constexpr int kHelp = 0, kCancel = 1, kBack = 2, kNext = 3, kProceed = 4, kAbout = 5;
// The step pictures are one array across the pages; the picture of page 4 is item 7 (the one
// with the hidden link), and page 7 has item 4.
constexpr int kPictureOfPage[kPages] = {0, 1, 2, 3, 7, 5, 6, 4, 8, 9};
constexpr int kHiddenLinkPicture = 7;

const QString& Title() {
    static const QString t = QString::fromStdString(wizard::ZorvFrame().title);
    return t;
}

// Controls switched off while a learning run holds the form, and on again after it, however it
// ends.
class DisabledDuring {
public:
    explicit DisabledDuring(std::vector<QWidget*> widgets) : widgets_(std::move(widgets)) {
        for (QWidget* w : widgets_) w->setEnabled(false);
    }
    ~DisabledDuring() {
        for (QWidget* w : widgets_) w->setEnabled(true);
    }

private:
    std::vector<QWidget*> widgets_;
};

}  // namespace

FrmWizard::FrmWizard(wizard::Services services, ZorvSession& session, const QString& programDir,
                     QWidget* parent)
    : WizardForm(services, programDir, parent), session_(session) {
    BuildForm();
    // Form load: the first page is shown after the settings are read.
    LearningActive = false;
    NextTestPage = 7;
    LoadSettings();
    ShowStep(0, 0);
}

FrmWizard::~FrmWizard() = default;

void FrmWizard::BuildForm() {
    stack_ = new QStackedWidget;
    stack_->setObjectName("fraStep");
    cover = new CoverPage;
    learn = new LearnPage;
    format = new FormatPage;
    testFile = new TestFilePage;
    knowledge = new KnowledgeStep(session_.Knowledge, services_, Title(), IMEXPath);
    fields = new FieldPage;
    odbc = new OdbcPage;
    testTable = new TestTablePage;
    result = new ResultPage(QString::fromStdString(wizard::ZorvFrame().pageNames[4]));
    costs = new CostPage(QString::fromStdString(wizard::ZorvFrame().pageNames[5]));
    options = new LearningOptions(knowledge->page->SSTab1, knowledge->page->chkpreserve, session_.ModelMode);
    // The double-click handler is told the page's picture, not the page.
    wizard::AddPages(stack_, {cover, fields, knowledge, learn, result, costs, format, testFile, odbc, testTable},
                     [this](int k) { imgStep_DblClick(kPictureOfPage[k]); });

    cmdNav_ = wizard::BuildWizardFrame(this, stack_, "&Proceed", [this](int i) { cmdNav_Click(i); });
    // Wide enough for the seven tabs of step 2 to show side by side.
    resize(1140, 560);

    // F1 waits while a learning run holds the form, as the Help button does.
    wizard::InstallHelpKey(this, [this] {
        if (!LearningActive) cmdNav_Click(kHelp);
    });

    connect(cover->Option1, &QRadioButton::clicked, this, &FrmWizard::Option1_Click);
    connect(cover->Option2, &QRadioButton::clicked, this, &FrmWizard::Option2_Click);
    connect(cover->Option3, &QRadioButton::clicked, this, &FrmWizard::Option3_Click);
    connect(cover->CmdDB, &QPushButton::clicked, this, &FrmWizard::CmdDB_Click);
    connect(cover->CmdBNC, &QPushButton::clicked, this, [this] { CmdBNC_Click(); });
    connect(cover->cmdSet, &QPushButton::clicked, this, &FrmWizard::cmdSet_Click);
    connect(learn->cmdlog1, &QPushButton::clicked, this, &FrmWizard::cmdlog1_Click);
    connect(learn->cmdlog2, &QPushButton::clicked, this, &FrmWizard::cmdlog2_Click);
    connect(format->Lstdbfmt, &QListWidget::currentRowChanged, this, &FrmWizard::Lstdbfmt_Click);
    connect(format->CmdCls, &QPushButton::clicked, this, [this] { CmdCls_Click(); });
    connect(testFile->cmd7a, &QPushButton::clicked, this, &FrmWizard::cmd7a_Click);
    for (QLineEdit* box : {cover->DBName, testFile->DbNameT, learn->txtinputlog, learn->txtoutputlog})
        wizard::SelectAllOnFocus(box);
    AddEditorButton();
    ConnectDataPages();
    ConnectResultControls();
    connect(costs->GridCosts, &QTableWidget::cellDoubleClicked, this, &FrmWizard::GridCosts_DblClick);
    connect(costs->BtnSaveBNC, &QPushButton::clicked, this, [this] { BtnSaveBNC_Click(); });
}

// ---- page controller ------------------------------------------------------------------------

void FrmWizard::ShowStep(int page, int how) {
    try {
        EntryActions(page, how);
    } catch (const std::exception& e) {
        // The page may stay half set up; the frame does not change.
        services_.prompts.Message(this, QString::fromStdString(e.what()), Title(), wizard::Icon::None);
        return;
    }
    if (page < 0 || page >= kPages) return;
    wizard::SwitchPage(stack_, CurrentStep, page);
    SetStepCaption(page);
    SetNavButtons(page);
    update();
}

void FrmWizard::EntryActions(int page, int how) {
    switch (page) {
        case 0:
            if (how == 1 && session_.WorkMode < 3) CloseTrainingDatabase();
            break;
        case 1:
            if (how == 2) session_.ModelChanged = session_.WorkMode == 1;
            break;
        case 2:
            if (how == 2) ResetKnowledgePage();
            break;
        case 3:
            learn->ProgressBar1->hide();
            learn->lblprocessing->hide();
            learn->ProgressBar1a->hide();
            learn->LblOverall->hide();
            break;
        case 4: EnterResultPage(how); break;
        case 5:
            if (how == 2) BuildCostGrid();
            break;
        case 6:
            if (how == 2) {
                {
                    const QSignalBlocker block(format->Lstdbfmt);
                    format->Lstdbfmt->setCurrentRow(0);
                }
                Lstdbfmt_Click();
                if (session_.WorkMode == 3) TakeClassLabels();
            }
            break;
        case 7:
            if (how == 1) CloseTestDatabase();
            break;
        case 8:
            if (how == 1) CloseTestDatabase();
            if (how == 2) EnterOdbcPage();
            break;
        case 9: EnterTestTablePage(); break;
        default: break;
    }
}

void FrmWizard::SetNavButtons(int page) {
    CurrentStep = page;
    if (page > 9) return;
    QPushButton* back = cmdNav_[kBack];
    QPushButton* next = cmdNav_[kNext];
    QPushButton* proceed = cmdNav_[kProceed];
    switch (page) {
        case 0:
            back->setEnabled(false);
            next->setEnabled(true);
            proceed->setEnabled(false);
            break;
        case 3:
            back->setEnabled(true);
            next->setEnabled(true);
            proceed->setEnabled(true);
            next->setText("Skip >>");
            break;
        case 9:
            back->setEnabled(true);
            next->setEnabled(false);
            proceed->setEnabled(true);
            break;
        default:
            back->setEnabled(true);
            next->setEnabled(true);
            proceed->setEnabled(false);
            next->setText("&Next >");
            break;
    }
}

void FrmWizard::SetStepCaption(int page) {
    setWindowTitle(QString::fromStdString(wizard::StepCaption(wizard::ZorvFrame(), page)));
}

void FrmWizard::cmdNav_Click(int index) {
    const int mode = session_.WorkMode;
    switch (index) {
        case kHelp:
            ShowHelp(wizard::kZorvHelpPage);
            break;
        case kCancel:
            if (ExitQuestions()) Unload();
            break;
        case kBack: {
            int target = -1;
            switch (CurrentStep) {
                case 1: target = 0; break;
                case 2: target = 1; break;
                case 3: target = 2; break;
                case 4: target = mode == 2 ? 1 : 3; break;
                case 5: target = 4; break;
                case 6: target = mode == 3 ? 0 : 5; break;
                case 7: case 8: target = 6; break;
                case 9: target = NextTestPage; break;
                default: break;
            }
            if (target >= 0) ShowStep(target, 1);
            break;
        }
        case kNext: {
            if (CurrentStep == 3) {
                SkipLearning = services_.prompts.Ask(
                    this,
                    "Are you sure that you want to skip the structure learning and construct the "
                    "Bayesian net manually?",
                    Title());
                if (!SkipLearning) return;
            }
            int target = -1;
            switch (CurrentStep) {
                case 0: target = mode == 3 ? 6 : 1; break;
                case 1: target = mode == 2 ? 4 : 2; break;
                case 2: target = 3; break;
                case 3: target = 4; break;
                case 4: target = 5; break;
                case 5: target = 6; break;
                case 6: target = NextTestPage; break;
                case 7: case 8: target = 9; break;
                default: return;  // page 9 has no next page
            }
            if (!ValidateStep()) return;
            ShowStep(target, 2);
            break;
        }
        case kProceed:
            SkipLearning = false;
            if (ValidateStep() && CurrentStep == 3) ShowStep(4, 2);
            break;
        case kAbout: {
            wizard::frmAbout about({Title(), wizard::kZorvHelpPage, programDir_}, services_, this);
            about.exec();
            break;
        }
        default: break;
    }
}

bool FrmWizard::ValidateStep() {
    try {
        switch (CurrentStep) {
            case 0: return ValidatePage0();
            case 1: return CheckFieldSelection();
            case 2: return CheckKnowledgeTabs();
            case 3: return ValidatePage3();
            case 4: return LearnTables();
            case 5: return PutCostsToEngine();
            case 6: return true;
            case 7: return OpenLocalDB();
            case 8: return openODBC();
            case 9: return ClassifyBatch();
            default: return true;
        }
    } catch (const vb::NumberedError& e) {
        // The wait-cursor guards have put the default pointer back while the error travelled.
        // Path not found: name the file of the page that was being left.
        const QString file = PageFile();
        if (e.number() == 76 && !file.isEmpty())
            Warn("The path '" + file + "' is not valid.");
        else
            Warn(QString::fromStdString(e.description()));
    } catch (const std::exception& e) {
        Warn(QString::fromStdString(e.what()));
    }
    return false;
}

QString FrmWizard::PageFile() const {
    if (CurrentStep == 3) return learn->txtoutputlog->text();
    if (CurrentStep == 9) return ResultFileName();
    return {};
}

bool FrmWizard::ValidatePage0() {
    const int mode = session_.WorkMode;
    if (mode == 0) {
        Warn("Please choose one of the three work modes");
        return false;
    }
    // A file the page names: present, not empty; its folder is remembered.
    auto checkFile = [this](const QString& name, const QString& missingChoice, const QString& what,
                            QString& folder) {
        if (name.isEmpty()) {
            Warn(missingChoice);
            return false;
        }
        const auto length = wizard::FileLength(name.toStdString());
        if (!length) {
            Warn("The " + what + " '" + name + "' does not exist.");
            return false;
        }
        if (*length == 0) {
            Warn("The " + what + " '" + name + "' is empty.");
            return false;
        }
        wizard::RememberFolder(name, folder);
        return true;
    };
    if (cover->DBName->isEnabled() &&
        !checkFile(cover->DBName->text(), "Please select a database", "database file", DBPath))
        return false;
    if (cover->BNCName->isEnabled() &&
        !checkFile(cover->BNCName->text(), "Please select a BN classifier", "BN classifier", BNCPath))
        return false;
    if (mode == 1 || mode == 2) {
        if (!OpenLocalDbL()) return false;
    }
    if (mode == 2 || mode == 3) return ReadBNC(cover->BNCName->text());
    return true;
}

bool FrmWizard::ValidatePage3() {
    const QString input = learn->txtinputlog->text();
    if (!input.isEmpty()) {
        const auto length = wizard::FileLength(input.toStdString());
        if (!length) {
            Warn("The input log file '" + input + "' does not exist.");
            return false;
        }
        if (*length == 0) {
            Warn("The input log file '" + input + "' is empty.");
            return false;
        }
        wizard::RememberFolder(input, LogPath);
    }
    const QString output = learn->txtoutputlog->text();
    const wizard::FileState state = wizard::ExaminePath(output.toStdString());
    if (!output.isEmpty() && state != wizard::FileState::Missing) {
        if (state == wizard::FileState::NotReadWrite) {
            Warn("The output log file '" + output + "' is not a normal read-write file.");
            return false;
        }
        wizard::RememberFolder(output, LogPath);
        if (!services_.prompts.Ask(this, "The output log file'" + output + "' exists, overwrite?", Title()))
            return false;
    }
    return RunLearning();
}

bool FrmWizard::RunLearning() {
    // Cancel stays live: it is the one input that acts during a run.
    DisabledDuring hold({cmdNav_[kBack], cmdNav_[kAbout], cmdNav_[kHelp], cmdNav_[kProceed],
                         cmdNav_[kNext], learn->cmdlog1, learn->cmdlog2, learn->txtinputlog,
                         learn->txtoutputlog});
    bool ok = false;
    {
        wizard::WaitCursor wait;
        ok = process();
    }
    // A cancel asked for after the engine's last event must not stop the next engine call.
    CancelCall = false;
    if (closeAfterRun_) {
        // The window was closed during the run: now that it has stopped, the wizard exits.
        closeAfterRun_ = false;
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
    }
    return ok;
}

void FrmWizard::Warn(const QString& text) {
    services_.prompts.Message(this, text, Title(), wizard::Icon::Warning);
}

// ---- frame procedures -----------------------------------------------------------------------

void FrmWizard::Lstdbfmt_Click() {
    const wizard::FormatChoice choice = wizard::ChooseDbFormat(format->Lstdbfmt, testFile->DbNameT, 8, 7);
    DbFormat = choice.dbFormat;
    NextTestPage = choice.nextPage;
}

wizard::OpenDbDialogSetup FrmWizard::SetOpenDbDialog(const QString& startFolder) const {
    return wizard::SetOpenDbDialog(DbFormat, startFolder);
}

void FrmWizard::cmd7a_Click() {
    const wizard::OpenDbDialogSetup d = SetOpenDbDialog(TestPath);
    wizard::BrowseInto(testFile->DbNameT, services_.files, this, d.title, d.filter, TestPath);
}

void FrmWizard::CmdDB_Click() {
    wizard::BrowseInto(cover->DBName, services_.files, this, "Select Microsoft Access Database",
                       wizard::kDatabaseFilter, DBPath);
}

void FrmWizard::cmdlog1_Click() { wizard::BrowseInputLog(learn->txtinputlog, services_.files, this, LogPath); }

void FrmWizard::cmdlog2_Click() { wizard::BrowseOutputLog(learn->txtoutputlog, services_.files, this, LogPath); }

void FrmWizard::imgStep_DblClick(int index) { FollowHiddenLink(index, kHiddenLinkPicture, wizard::kVrellHelpPage); }

void FrmWizard::cmdSet_Click() {
    FrmSetting dialog(MaxCPTrows, MaxVlus, services_.prompts, this);
    dialog.exec();
}

void FrmWizard::Option1_Click() {
    if (!cover->Option1->isChecked()) return;
    session_.WorkMode = 1;
    for (QWidget* w : std::initializer_list<QWidget*>{cover->lbldb, cover->lbldb2, cover->DBName, cover->CmdDB})
        w->setEnabled(true);
    for (QWidget* w : std::initializer_list<QWidget*>{cover->lblbnc, cover->BNCName, cover->CmdBNC})
        w->setEnabled(false);
}

void FrmWizard::Option2_Click() {
    if (!cover->Option2->isChecked()) return;
    session_.WorkMode = 2;
    for (QWidget* w : std::initializer_list<QWidget*>{cover->lbldb, cover->lbldb2, cover->DBName, cover->CmdDB,
                                                       cover->lblbnc, cover->BNCName, cover->CmdBNC})
        w->setEnabled(true);
}

void FrmWizard::Option3_Click() {
    if (!cover->Option3->isChecked()) return;
    session_.WorkMode = 3;
    for (QWidget* w : std::initializer_list<QWidget*>{cover->lblbnc, cover->BNCName, cover->CmdBNC})
        w->setEnabled(true);
    for (QWidget* w : std::initializer_list<QWidget*>{cover->lbldb, cover->lbldb2, cover->DBName, cover->CmdDB})
        w->setEnabled(false);
}

// ---- databases ------------------------------------------------------------------------------

void FrmWizard::CloseTrainingDatabase() {
    if (TrainDb) TrainDb->Close();
    TrainDb.reset();
}

void FrmWizard::CloseTestDatabase() {
    // An unchanged ODBC page must open its source again once the database is gone.
    LastOdbcConnect.clear();
    if (session_.TestDb) session_.TestDb->Close();
    session_.TestDb.reset();
}

// ---- exit -----------------------------------------------------------------------------------

bool FrmWizard::ExitQuestions() {
    if (LearningActive) {
        // The running engine call stops at its next progress event; the wizard stays.
        if (services_.prompts.Ask(this, "Cancel the construction process?", Title())) CancelCall = true;
        return false;
    }
    if (!services_.prompts.Ask(this, "Exit Kalvex?", Title())) return false;
    if (CurrentStep > 3 && session_.ModelChanged &&
        services_.prompts.Ask(this, "Save the classifier before exit?", Title())) {
        // A save that was cancelled or failed keeps the wizard open: leaving now would lose
        // the classifier the user just asked to keep.
        return BtnSaveBNC_Click();
    }
    return true;
}

// The window's close button is the Cancel button: the same questions, and during a run a
// cancel of the run that leaves the wizard open.
void FrmWizard::closeEvent(QCloseEvent* event) {
    if (LearningActive) {
        // The close box during a run cancels the run; the wizard then closes as Exit does.
        CancelCall = true;
        closeAfterRun_ = true;
        event->ignore();
        return;
    }
    if (!unloading_ && !ExitQuestions()) {
        event->ignore();
        return;
    }
    // Form unload: the settings are saved; a failure to save must not keep the program open.
    SaveSettings();
    unloaded_ = true;
    event->accept();
}

}  // namespace zorv
