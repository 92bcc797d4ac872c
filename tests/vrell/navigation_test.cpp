// vrell's page controller: the flow of the page table with its buttons and captions, the skip
// question, Close, the release of the engine going back, the checks of pages 4 and 6, Help and
// the settings.
#include <sys/stat.h>

#include <QDir>
#include <fstream>

#include "tests/vrell/vrell_fixture.h"
#include "wizard_common/model/step_caption.h"

namespace vrelltest {
namespace {

class NavigationTest : public VrellTest {
protected:
    void ExpectFrame(int page) {
        SCOPED_TRACE(page);
        EXPECT_EQ(wizard->CurStep, page);
        EXPECT_EQ(wizard->windowTitle().toStdString(), wizard::StepCaption(wizard::VrellFrame(), page));
        EXPECT_EQ(wizard->NavButton(kBack)->isEnabled(), page != 0);
        EXPECT_EQ(wizard->NavButton(kNext)->isEnabled(), page != 7);
        EXPECT_EQ(wizard->NavButton(kFinish)->isEnabled(), page >= 6);
        EXPECT_TRUE(wizard->Page(page)->isEnabled());
    }
    void Click(int button) { wizard->NavButton(button)->click(); }
};

TEST_F(NavigationTest, PagesButtonsAndCaptionsForwardAndBack) {
    MakeWizard();
    ExpectFrame(0);
    Click(kNext);
    ExpectFrame(1);
    // The ODBC format leads to page 3, any other format to page 2 again; Back from 3 is page 1.
    wizard->format->lstdbfmt->setCurrentRow(16);
    EXPECT_EQ(wizard->SrcStep, 3);
    Click(kNext);
    ExpectFrame(3);
    Click(kBack);
    ExpectFrame(1);
    wizard->format->lstdbfmt->setCurrentRow(0);
    EXPECT_EQ(wizard->SrcStep, 2);
    Click(kNext);
    ExpectFrame(2);
    EXPECT_EQ(wizard->windowTitle(), "Belief Network Tormid - Step 2a of 5");
    wizard->file->txtdbname->setText(sample);
    Click(kNext);
    ExpectFrame(4);
    // An Access-format file chooses no table by itself.
    EXPECT_EQ(wizard->table->cboTbName->currentIndex(), -1);
    wizard->table->cboTbName->setCurrentIndex(0);
    Click(kNext);
    ExpectFrame(5);
    Click(kNext);
    ExpectFrame(6);
    EXPECT_EQ(wizard->NavButton(kNext)->text(), "Skip >>");
    Click(kFinish);
    ExpectFrame(7);
    EXPECT_EQ(wizard->windowTitle(), "Belief Network Tormid - Finished!");
    EXPECT_EQ(wizard->NavButton(kFinish)->text(), "&Close");
    ASSERT_EQ(engines.size(), 1u);
    EXPECT_EQ(engines[0]->constructs, 1);
    EXPECT_TRUE(wizard->MyDataSet);

    // Back from 7 lets the engine go and restores "&Finish"; back from 6 restores "&Next >".
    Click(kBack);
    ExpectFrame(6);
    EXPECT_FALSE(wizard->MyDataSet);
    EXPECT_EQ(engines[0].use_count(), 1);
    EXPECT_EQ(wizard->NavButton(kFinish)->text(), "&Finish");
    Click(kBack);
    ExpectFrame(5);
    EXPECT_EQ(wizard->NavButton(kNext)->text(), "&Next >");
    // Coming back keeps the threshold; a forward entry sets "1.0" again.
    wizard->knowledge->CmbEps->setCurrentIndex(3);
    Click(kNext);
    Click(kBack);
    EXPECT_EQ(wizard->knowledge->CmbEps->currentText(), "5.0");
    Click(kBack);
    Click(kNext);
    EXPECT_EQ(wizard->knowledge->CmbEps->currentText(), "1.0");
    Click(kBack);
    Click(kBack);
    ExpectFrame(2);
    wizard->SrcStep = 3;
    wizard->ShowStep(4, 1);
    Click(kBack);
    ExpectFrame(3);
    EXPECT_TRUE(fake.prompts.Take().empty());
}

TEST_F(NavigationTest, SkipQuestionNoStaysYesBuildsTheNetworkWithoutConstruction) {
    OpenTable(sample);
    ToLogPage();
    fake.prompts.answers = {false};
    Click(kNext);
    EXPECT_EQ(wizard->CurStep, 6);
    EXPECT_FALSE(wizard->SkipStru);
    EXPECT_TRUE(engines.empty());
    fake.prompts.answers = {true};
    Click(kNext);
    EXPECT_EQ(wizard->CurStep, 7);
    ASSERT_EQ(engines.size(), 1u);
    EXPECT_EQ(engines[0]->inits, 1);
    EXPECT_EQ(engines[0]->constructs, 0);
    EXPECT_EQ(fake.prompts.Take(), (std::vector<Box>{Question(kSkip), Question(kSkip)}));

    // Close ends the program without a question; the settings are written.
    Click(kFinish);
    EXPECT_TRUE(wizard->Unloaded());
    EXPECT_TRUE(fake.prompts.Take().empty());
}

TEST_F(NavigationTest, CancelAsksBeforeExitAndPage4NeedsTwoFields) {
    OpenTable(sample);
    fake.prompts.answers = {false};
    Click(kCancel);
    EXPECT_FALSE(wizard->Unloaded());
    EXPECT_EQ(fake.prompts.Take(), std::vector<Box>{Question("Exit Tormid?")});

    wizard->table->Lstfields->clearSelection();
    wizard->table->Lstfields->item(2)->setSelected(true);
    Click(kNext);
    EXPECT_EQ(wizard->CurStep, 4);
    EXPECT_EQ(fake.prompts.Take(), std::vector<Box>{Info("Too few selected fields.")});
    wizard->table->Lstfields->item(0)->setSelected(true);
    Click(kNext);
    EXPECT_EQ(wizard->CurStep, 5);
    EXPECT_EQ(wizard->NumFlds, 2);
    EXPECT_EQ(wizard->Knowledge.fieldNames(), (std::vector<std::string>{"A", "D"}));

    fake.prompts.answers = {true};
    Click(kCancel);
    EXPECT_TRUE(wizard->Unloaded());
    EXPECT_EQ(fake.prompts.Take(), std::vector<Box>{Question("Exit Tormid?")});
}

TEST_F(NavigationTest, HelpAndTheHiddenLinkOpenTheHelpPage) {
    MakeWizard();
    Click(kHelp);
    const QString help = QDir(dir.path()).filePath("vrellhlp/index.html");
    EXPECT_EQ(fake.shell.opened, std::vector<QString>{help});
    for (int i = 0; i < 3; ++i) wizard->imgStep_DblClick(7);
    wizard->imgStep_DblClick(6);
    EXPECT_EQ(fake.shell.opened, (std::vector<QString>{help, help}));
}

TEST_F(NavigationTest, SettingsDefaultToTheProgramFolderAndComeBack) {
    MakeWizard();
    for (const QString* folder : {&wizard->DBPath, &wizard->LogPath, &wizard->ReportPath, &wizard->IMEXPath})
        EXPECT_EQ(*folder, dir.path());
    wizard->DBPath = "/data/db";
    wizard->LogPath = "/data/logs";
    wizard->ReportPath = "/data/reports";
    wizard->IMEXPath = "/data/nets";
    fake.prompts.answers = {true};
    Click(kCancel);
    ASSERT_TRUE(wizard->Unloaded());
    fake.prompts.Take();

    QSettings raw(QSettings::IniFormat, QSettings::UserScope, "BN Tormid", "BN Tormid");
    raw.beginGroup("Startup");
    EXPECT_EQ(raw.childKeys().size(), 4);
    MakeWizard();
    EXPECT_EQ(wizard->DBPath, "/data/db");
    EXPECT_EQ(wizard->LogPath, "/data/logs");
    EXPECT_EQ(wizard->ReportPath, "/data/reports");
    EXPECT_EQ(wizard->IMEXPath, "/data/nets");
}

TEST_F(NavigationTest, LogFileChecksOfPage6) {
    const QString empty = Path("empty.log"), fine = Path("fine.log"), readOnly = Path("readonly.log");
    std::ofstream(empty.toStdString());
    std::ofstream(fine.toStdString()) << "log";
    std::ofstream(readOnly.toStdString()) << "log";
    ::chmod(readOnly.toLocal8Bit().constData(), 0444);
    const QString missing = Path("missing.log"), badFolder = Path("nowhere/out.log");
    struct Case {
        const char* name;
        QString input, output;
        std::deque<bool> answers;
        std::vector<Box> boxes;
        bool runs;
    };
    const Case cases[] = {
        {"input missing", missing, "", {}, {Warning("The input log file '" + missing + "' does not exist.")}, false},
        {"input empty", empty, "", {}, {Warning("The input log file '" + empty + "' is empty.")}, false},
        {"output read-only", "", readOnly, {},
         {Warning("The output log file '" + readOnly + "' is not a normal read-write file.")}, false},
        {"output exists, No", "", fine, {false}, {Question("The output log file'" + fine + "' exists, overwrite?")},
         false},
        {"output in a missing folder", "", badFolder, {}, {Warning("The path '" + badFolder + "' is not valid.")},
         false},
        {"input and output the same, No", fine, fine, {false},
         {Question("The output log file'" + fine + "' exists, overwrite?")}, false},
        {"output exists, Yes", "", fine, {true}, {Question("The output log file'" + fine + "' exists, overwrite?")},
         true},
        {"new output", "", Path("new.log"), {}, {}, true},
    };
    OpenTable(sample);
    ToLogPage();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        engines.clear();
        wizard->logs->txtinputlog->setText(c.input);
        wizard->logs->txtoutputlog->setText(c.output);
        fake.prompts.answers = c.answers;
        wizard->LogPath = "unchanged";
        Click(kFinish);
        EXPECT_EQ(fake.prompts.Take(), c.boxes);
        EXPECT_EQ(wizard->CurStep, c.runs ? 7 : 6);
        EXPECT_EQ(engines.size(), c.runs ? 1u : 0u);
        if (c.runs) {
            EXPECT_EQ(engines[0]->outputLog, c.output.toStdString());
            Click(kBack);
        }
    }
    // A fine input log and an accepted output log leave their folder as the log folder.
    wizard->logs->txtinputlog->setText(fine);
    wizard->logs->txtoutputlog->setText("");
    Click(kFinish);
    EXPECT_EQ(wizard->LogPath, dir.path());
    EXPECT_EQ(engines.back()->inputLog, fine.toStdString());
}

}  // namespace
}  // namespace vrelltest
