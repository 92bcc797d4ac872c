// vrell's wizard form: building the pages, the page controller and its flow, the checks run
// when a page is left forward, the frame procedures and the exit path.
#include "vrell/frm_wizard.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QSignalBlocker>

#include "platform/vb/numbered_error.h"
#include "wizard_common/about_dialog.h"
#include "wizard_common/links.h"
#include "wizard_common/log_pickers.h"
#include "wizard_common/model/file_rules.h"
#include "wizard_common/model/step_caption.h"
#include "wizard_common/wait_cursor.h"

namespace vrell {

namespace {

constexpr int kPages = 8;
constexpr int kHelp = 0, kCancel = 1, kBack = 2, kNext = 3, kFinish = 4, kAbout = 5;
// The picture of the "Finished!" page carries the hidden link to the construction program's page.
constexpr int kHiddenLinkPicture = 7;

const QString& Title() {
    static const QString t = QString::fromStdString(wizard::VrellFrame().title);
    return t;
}

}  // namespace

FrmWizard::FrmWizard(wizard::Services services, const QString& programDir, QWidget* parent)
    : WizardForm(services, programDir, parent) {
    BuildForm();
    // Form load: the first format chosen, the introduction shown, then the settings read.
    Running = false;
    {
        const QSignalBlocker block(format->lstdbfmt);
        format->lstdbfmt->setCurrentRow(0);
    }
    lstdbfmt_Click();
    SrcStep = 2;
    ShowStep(0, 0);
    LoadSettings();
}

FrmWizard::~FrmWizard() {
    // The engine may still hold the sink; it goes first.
    MyDataSet.reset();
}

void FrmWizard::BuildForm() {
    stack_ = new QStackedWidget;
    stack_->setObjectName("fraStep");
    intro = new IntroPage;
    format = new FormatPage;
    file = new FilePage;
    odbc = new OdbcPage;
    table = new TablePage;
    knowledge = new KnowledgeStep(Knowledge, services_, Title(), IMEXPath);
    logs = new LogPage;
    finished = new FinishedPage;
    wizard::AddPages(stack_, {intro, format, file, odbc, table, knowledge, logs, finished},
                     [this](int k) { imgStep_DblClick(k); });

    cmdNav_ = wizard::BuildWizardFrame(this, stack_, "&Finish", [this](int i) { cmdNav_Click(i); });
    resize(960, 620);

    wizard::InstallHelpKey(this, [this] { cmdNav_Click(kHelp); });

    connect(format->lstdbfmt, &QListWidget::currentRowChanged, this, &FrmWizard::lstdbfmt_Click);
    connect(file->cmd2a, &QPushButton::clicked, this, &FrmWizard::cmd2a_Click);
    connect(logs->cmdlog1, &QPushButton::clicked, this, &FrmWizard::cmdlog1_Click);
    connect(logs->cmdlog2, &QPushButton::clicked, this, &FrmWizard::cmdlog2_Click);
    connect(finished->cmdeditor, &QPushButton::clicked, this, [this] { cmdeditor_Click(); });
    connect(finished->cmdexport, &QPushButton::clicked, this, [this] { cmdexport_Click(); });
    connect(finished->cmdSave, &QPushButton::clicked, this, [this] { cmdSave_Click(); });
    connect(finished->cmdPrint, &QPushButton::clicked, this, [this] { cmdPrint_Click(); });
    for (QLineEdit* box : {file->txtdbname, logs->txtinputlog, logs->txtoutputlog}) wizard::SelectAllOnFocus(box);
    ConnectDataPages();
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
    wizard::SwitchPage(stack_, CurStep, page);
    SetStepCaption(page);
    SetNavButtons(page);
    update();
}

void FrmWizard::EntryActions(int page, int how) {
    switch (page) {
        case 2:
            if (how == 2) wizard::ClearObjs(*odbc->values, PreviewRs, DataDb, OdbcConnect, LastOdbcConnect);
            break;
        case 3:
            if (how == 2) {
                wizard::ClearObjs(*odbc->values, PreviewRs, DataDb, OdbcConnect, LastOdbcConnect);
                wizard::GetDSNsAndDrivers(*odbc->values, OdbcSources());
            }
            break;
        case 5:
            if (how == 2) {
                // Every forward entry starts the knowledge afresh; coming back from page 6 keeps it.
                knowledge->page->Fill(SelectedFields());
                const QSignalBlocker block(knowledge->CmbEps);
                knowledge->CmbEps->setCurrentIndex(kDefaultThreshold);
            }
            break;
        case 6: HideProgress(); break;
        case 7:
            HideProgress();
            cmdNav_[kFinish]->setText("&Close");
            break;
        default: break;
    }
}

void FrmWizard::SetNavButtons(int page) {
    CurStep = page;
    QPushButton* back = cmdNav_[kBack];
    QPushButton* next = cmdNav_[kNext];
    QPushButton* finish = cmdNav_[kFinish];
    back->setEnabled(page != 0);
    next->setEnabled(page != 7);
    finish->setEnabled(page == 6 || page == 7);
    if (page == 6) next->setText("Skip >>");
}

void FrmWizard::SetStepCaption(int page) {
    setWindowTitle(QString::fromStdString(wizard::StepCaption(wizard::VrellFrame(), page)));
}

void FrmWizard::cmdNav_Click(int index) {
    switch (index) {
        case kHelp:
            ShowHelp(wizard::kVrellHelpPage);
            break;
        case kCancel:
            if (Running) {
                // The running engine call stops at its next progress report; the page stays.
                if (services_.prompts.Ask(this, "Cancel the construction process?", Title())) CancelCall = -1;
            } else if (services_.prompts.Ask(this, "Exit Tormid?", Title())) {
                Unload();
            }
            break;
        case kBack: {
            if (CurStep == 0) return;
            const int target = CurStep == 4 ? SrcStep : CurStep == 3 ? 1 : CurStep - 1;
            if (CurStep == 7) {
                MyDataSet.reset();
                if (BneLoad) UnloadEditor();
                cmdNav_[kFinish]->setText("&Finish");
            }
            if (CurStep == 6) {
                cmdNav_[kNext]->setText("&Next >");
                if (BneLoad) UnloadEditor();
            }
            ShowStep(target, 1);
            break;
        }
        case kNext: {
            if (CurStep == 7) return;
            if (CurStep == 6) {
                SkipStru = services_.prompts.Ask(
                    this,
                    "Are you sure that you want to skip the structure learning and construct the Bayesian net "
                    "manually?",
                    Title());
                if (!SkipStru) return;
            }
            const bool valid = ValidateStep();
            if (closeAfterRun_) {
                Unload();
                return;
            }
            if (!valid) return;
            const int target = CurStep == 2 ? 4 : CurStep == 1 ? SrcStep : CurStep + 1;
            ShowStep(target, 2);
            break;
        }
        case kFinish: {
            SkipStru = false;
            const bool valid = ValidateStep();
            if (closeAfterRun_) {
                Unload();
                return;
            }
            if (!valid) return;
            if (CurStep == 6)
                ShowStep(7, 2);
            else if (CurStep == 7)
                Unload();
            break;
        }
        case kAbout: {
            wizard::frmAbout about({Title(), wizard::kVrellHelpPage, programDir_}, services_, this);
            about.exec();
            break;
        }
        default: break;
    }
}

bool FrmWizard::ValidateStep() {
    try {
        switch (CurStep) {
            case 2: {
                const bool opened = OpenLocalDB();
                wizard::RememberFolder(file->txtdbname->text(), DBPath);
                return opened;
            }
            case 3: return openODBC();
            case 4: {
                NumFlds = int16_t(SelectedFields().size());
                if (NumFlds < 2) {
                    Message("Too few selected fields.", wizard::Icon::Information);
                    return false;
                }
                // The knowledge arrays start afresh, all zero, over the fields chosen now.
                Knowledge.Reset(SelectedFields());
                return true;
            }
            case 5: return knowledge->page->CheckOnLeave();
            case 6: return ValidatePage6();
            default: return true;
        }
    } catch (const vb::NumberedError& e) {
        Message(QString::fromStdString(e.description()), wizard::Icon::Warning);
    } catch (const std::exception& e) {
        Message(QString::fromStdString(e.what()), wizard::Icon::Warning);
    }
    return false;
}

bool FrmWizard::ValidatePage6() {
    const QString input = logs->txtinputlog->text();
    if (!input.isEmpty()) {
        const auto length = wizard::FileLength(input.toStdString());
        if (!length) {
            Message("The input log file '" + input + "' does not exist.", wizard::Icon::Warning);
            return false;
        }
        if (*length == 0) {
            Message("The input log file '" + input + "' is empty.", wizard::Icon::Warning);
            return false;
        }
        wizard::RememberFolder(input, LogPath);
    }
    const QString output = logs->txtoutputlog->text();
    if (!output.isEmpty()) {
        // A log in a folder that does not exist could never be written.
        if (!QFileInfo(QFileInfo(output).absolutePath()).isDir()) {
            Message("The path '" + output + "' is not valid.", wizard::Icon::Warning);
            return false;
        }
        const wizard::FileState state = wizard::ExaminePath(output.toStdString());
        if (state != wizard::FileState::Missing) {
            if (state == wizard::FileState::NotReadWrite) {
                Message("The output log file '" + output + "' is not a normal read-write file.",
                        wizard::Icon::Warning);
                return false;
            }
            wizard::RememberFolder(output, LogPath);
            if (!services_.prompts.Ask(this, "The output log file'" + output + "' exists, overwrite?", Title()))
                return false;
        }
    }
    return RunConstruction();
}

bool FrmWizard::RunConstruction() {
    // Cancel stays live: it is the one input that acts during a run.
    wizard::DisabledDuring hold({cmdNav_[kBack], cmdNav_[kAbout], cmdNav_[kHelp], cmdNav_[kFinish], cmdNav_[kNext],
                         logs->cmdlog1, logs->cmdlog2, logs->txtinputlog, logs->txtoutputlog});
    wizard::WaitCursor wait;
    return process();
}

void FrmWizard::Message(const QString& text, wizard::Icon icon) {
    services_.prompts.Message(this, text, Title(), icon);
}

void FrmWizard::PumpEvents() { QCoreApplication::processEvents(); }

// ---- frame procedures -----------------------------------------------------------------------

void FrmWizard::lstdbfmt_Click() {
    const wizard::FormatChoice choice = wizard::ChooseDbFormat(format->lstdbfmt, file->txtdbname, 3, 2);
    DbFormat = choice.dbFormat;
    SrcStep = choice.nextPage;
}

void FrmWizard::cmd2a_Click() {
    const wizard::OpenDbDialogSetup d = wizard::SetOpenDbDialog(DbFormat, DBPath);
    wizard::BrowseInto(file->txtdbname, services_.files, this, d.title, d.filter, DBPath);
}

void FrmWizard::cmdlog1_Click() { wizard::BrowseInputLog(logs->txtinputlog, services_.files, this, LogPath); }

void FrmWizard::cmdlog2_Click() { wizard::BrowseOutputLog(logs->txtoutputlog, services_.files, this, LogPath); }

void FrmWizard::imgStep_DblClick(int index) { FollowHiddenLink(index, kHiddenLinkPicture, wizard::kVrellHelpPage); }

// ---- exit -----------------------------------------------------------------------------------

// Closing the window during a run is the Cancel button's question; on Yes the run is asked to
// stop and the window closes once the run has ended. Otherwise the window closes like Exit,
// through the settings save.
void FrmWizard::closeEvent(QCloseEvent* event) {
    if (!unloading_ && Running) {
        if (services_.prompts.Ask(this, "Cancel the construction process?", Title())) {
            CancelCall = -1;
            closeAfterRun_ = true;
        }
        event->ignore();
        return;
    }
    if (BneLoad) UnloadEditor();
    SaveSettings();
    unloaded_ = true;
    event->accept();
}

}  // namespace vrell
