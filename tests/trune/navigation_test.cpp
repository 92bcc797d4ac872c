// trune's page controller: the flow over file and ODBC sources, the buttons and captions of
// each page, page 1's codes, the exit question with the settings it writes, Help and F1, and
// the state after a failure inside a step.
#include <QFile>
#include <QTest>

#include "platform/vb/runtime_error.h"
#include "tests/trune/trune_fixture.h"
#include "wizard_common/help_viewer.h"
#include "wizard_common/model/step_caption.h"

namespace trunetest {
namespace {

constexpr int kHelp = 0, kCancel = 1, kBack = 2, kNext = 3, kFinish = 4;

class NavigationTest : public TruneTest {
protected:
    void SetUp() override {
        TruneTest::SetUp();
        std::vector<testsupport::TableSpec> tables{{"Cars", {{"Price", db::dbDouble, 0}, {"Make", db::dbText, 20}}, {}}};
        for (int i = 0; i < 12; ++i) tables[0].rows.push_back({db::Value(1000.0 + i * 7.5), db::Value(i % 2 ? "A" : "B")});
        source = SourceFile("cars.db", tables);
        MakeWizard();
    }

    // The frame every page must show once it is entered.
    void ExpectPage(int page) {
        SCOPED_TRACE(page);
        ASSERT_EQ(wizard->CurrentStep, page);
        EXPECT_EQ(wizard->windowTitle().toStdString(), wizard::StepCaption(wizard::TruneFrame(), page));
        EXPECT_EQ(wizard->NavButton(kBack)->isEnabled(), page != 0);
        EXPECT_EQ(wizard->NavButton(kNext)->isEnabled(), page <= 4);
        // Finish discretizes on page 5 and is the Close button of the last page.
        EXPECT_EQ(wizard->NavButton(kFinish)->isEnabled(), page >= 5);
        EXPECT_EQ(wizard->NavButton(kFinish)->text(), page == 6 ? "&Close" : "&Finish");
        EXPECT_TRUE(wizard->Page(page)->isEnabled());
        for (int other = 0; other < 7; ++other)
            if (other != page) {
                EXPECT_FALSE(wizard->Page(other)->isEnabled()) << other;
            }
    }

    QString source;
};

TEST_F(NavigationTest, FileSourceForwardAndBack) {
    ExpectPage(0);
    EXPECT_EQ(wizard->windowTitle(), "Sorvane - Introduction ");
    wizard->NavButton(kNext)->click();
    ExpectPage(1);
    wizard->sourceFile->txtdbname->setText(source);
    wizard->NavButton(kNext)->click();
    ExpectPage(2);
    EXPECT_EQ(wizard->windowTitle(), "Sorvane - Step 2a of 4");
    wizard->NavButton(kNext)->click();
    ExpectPage(4);
    ChooseTable("Cars");
    wizard->table->NDbName->setText(dir.filePath("copy.db"));
    wizard->NavButton(kNext)->click();
    ExpectPage(5);
    EXPECT_EQ(wizard->windowTitle(), "Sorvane - Step 4 of 4");
    wizard->NavButton(kFinish)->click();
    ExpectPage(6);
    EXPECT_EQ(wizard->windowTitle(), "Sorvane - Finished!");
    EXPECT_EQ(wizard->finished->lbldb->text(), dir.filePath("copy.db"));
    EXPECT_EQ(wizard->finished->lbltb->text(), "Cars");
    for (int expected : {5, 4, 2, 1, 0}) {
        wizard->NavButton(kBack)->click();
        ExpectPage(expected);
    }
}

TEST_F(NavigationTest, OdbcSourceSkipsTheFilePage) {
    wizard->NavButton(kNext)->click();
    wizard->settings->lstdbfmt->setCurrentRow(16);
    EXPECT_EQ(wizard->SourcePage, 3);
    wizard->NavButton(kNext)->click();
    ExpectPage(3);
    EXPECT_EQ(wizard->windowTitle(), "Sorvane - Step 2b of 4");
    EXPECT_EQ(wizard->odbc->values->cboDSNList->itemText(0), "(None)");
    wizard->NavButton(kBack)->click();
    ExpectPage(1);
    // Back from page 4 returns to the source page that was used.
    wizard->ShowStep(4, 2);
    wizard->NavButton(kBack)->click();
    ExpectPage(3);
    wizard->settings->lstdbfmt->setCurrentRow(15);
    EXPECT_EQ(wizard->SourcePage, 2);
    wizard->ShowStep(4, 2);
    wizard->NavButton(kBack)->click();
    ExpectPage(2);
}

TEST_F(NavigationTest, PageOneTakesTheCodes) {
    wizard->NavButton(kNext)->click();
    wizard->settings->CmbVlu->setCurrentIndex(7);
    EXPECT_EQ(wizard->ValueLimit, 9);
    wizard->NavButton(kBack)->click();
    wizard->NavButton(kNext)->click();
    EXPECT_EQ(wizard->ValueLimit, 5);  // entering page 1 forward presets 5
    EXPECT_EQ(wizard->settings->CmbVlu->currentText(), "5");

    struct Case {
        const char* missing;
        const char* alone;
        float missingCode;
        float aloneCode;
    };
    const Case cases[] = {{"-1", "99.5 kg", -1, 99.5f}, {"abc", "", 0, 99.5f}, {"", "7", 0, 7}};
    for (const Case& c : cases) {
        wizard->settings->txtMissing->setText(c.missing);
        wizard->settings->txtAlone->setText(c.alone);
        wizard->NavButton(kNext)->click();
        EXPECT_EQ(wizard->CurrentStep, 2) << c.missing;
        EXPECT_EQ(session.MissingCode, c.missingCode) << c.missing;
        EXPECT_EQ(session.AloneCode, c.aloneCode) << c.missing;
        wizard->NavButton(kBack)->click();
    }
    // A code no Single holds refuses the page and keeps both codes.
    wizard->settings->txtMissing->setText("1");
    wizard->settings->txtAlone->setText("1e39");
    wizard->NavButton(kNext)->click();
    EXPECT_EQ(wizard->CurrentStep, 1);
    EXPECT_EQ(fake.prompts.Take(), (std::vector<Box>{Warning("Overflow")}));
    EXPECT_EQ(session.MissingCode, 0);
    EXPECT_EQ(session.AloneCode, 7);
}

TEST_F(NavigationTest, AutoDetectSwitchesTheLimit) {
    wizard->NavButton(kNext)->click();
    wizard->settings->AutoDetect->click();
    EXPECT_FALSE(wizard->settings->CmbVlu->isEnabled());
    EXPECT_FALSE(wizard->settings->lbl1->isEnabled());
    wizard->settings->AutoDetect->click();
    EXPECT_TRUE(wizard->settings->CmbVlu->isEnabled());
    EXPECT_TRUE(wizard->settings->lbl2->isEnabled());
}

TEST_F(NavigationTest, ExitAsksAndWritesTheSettings) {
    wizard->NavButton(kNext)->click();
    wizard->NavButton(kNext)->click();
    wizard->sourceFile->txtdbname->setText(dir.filePath("nowhere/none.db"));
    wizard->NavButton(kNext)->click();  // fails, but the folder is remembered
    fake.prompts.Take();
    EXPECT_EQ(wizard->DBPath, dir.filePath("nowhere"));

    fake.prompts.answers = {false};
    wizard->NavButton(kCancel)->click();
    EXPECT_EQ(fake.prompts.Take(), (std::vector<Box>{Question("Exit Sorvane?")}));
    EXPECT_FALSE(wizard->Unloaded());
    EXPECT_EQ(wizard->CurrentStep, 2);

    fake.prompts.answers = {true};
    wizard->NavButton(kCancel)->click();
    EXPECT_EQ(fake.prompts.Take(), (std::vector<Box>{Question("Exit Sorvane?")}));
    EXPECT_TRUE(wizard->Unloaded());
    MakeWizard();
    EXPECT_EQ(wizard->DBPath, dir.filePath("nowhere"));
}

TEST_F(NavigationTest, DefaultFolderIsTheProgramsOwn) { EXPECT_EQ(wizard->DBPath, dir.path()); }

TEST_F(NavigationTest, CloseOnTheLastPageEndsTheProgram) {
    wizard->DBPath = "/data/conditioned";
    wizard->ShowStep(6, 2);
    wizard->NavButton(kFinish)->click();
    EXPECT_TRUE(wizard->Unloaded());
    MakeWizard();
    EXPECT_EQ(wizard->DBPath, "/data/conditioned");
}

TEST_F(NavigationTest, HelpButtonAndF1OpenTheHelpPage) {
    wizard->NavButton(kHelp)->click();
    wizard->show();
    wizard->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(wizard.get()));
    wizard->NavButton(kNext)->setFocus();
    QTest::keyClick(wizard->NavButton(kNext), Qt::Key_F1);
    const QString help = dir.filePath("trunehlp.htm");
    EXPECT_EQ(fake.shell.opened, (std::vector<QString>{help, help}));
    EXPECT_EQ(wizard->CurrentStep, 0);
    EXPECT_EQ(wizard->findChild<wizard::HelpViewer*>(), nullptr);

    // A desktop with no program for the page: the wizard's own viewer shows it.
    QFile page(help);
    ASSERT_TRUE(page.open(QIODevice::WriteOnly));
    page.write("<html><head><title>Sorvane help</title></head><body>Step 3</body></html>");
    page.close();
    fake.shell.opens = false;
    QTest::keyClick(wizard->NavButton(kNext), Qt::Key_F1);
    auto* viewer = wizard->findChild<wizard::HelpViewer*>();
    ASSERT_NE(viewer, nullptr);
    EXPECT_TRUE(viewer->isVisible());
    EXPECT_EQ(viewer->browser->source(), QUrl::fromLocalFile(help));
    EXPECT_EQ(viewer->windowTitle(), "Sorvane help");
}

// Every second double-click on the last page's picture opens the author's page; other
// pictures open nothing.
TEST_F(NavigationTest, HiddenLinkOnTheLastPicture) {
    wizard->imgStep_DblClick(5);
    wizard->imgStep_DblClick(6);
    EXPECT_TRUE(fake.shell.opened.empty());
    wizard->imgStep_DblClick(6);
    wizard->imgStep_DblClick(6);
    EXPECT_EQ(fake.shell.opened, std::vector<QString>{dir.filePath("index.html")});
}

// A failure that reaches the page controller ends the step: Busy is cleared, the buttons come
// back and the wizard stays on the page.
TEST_F(NavigationTest, FailureInsideAStepGivesTheButtonsBack) {
    ToTablePage(source, "Cars");
    wizard->table->NDbName->setText(dir.filePath("copy.db"));
    wizard->onPump = [] { throw vb::RuntimeError::OutOfMemory(); };
    wizard->NavButton(kNext)->click();
    EXPECT_EQ(fake.prompts.Take(), (std::vector<Box>{Warning("Out of memory")}));
    ExpectPage(4);
    EXPECT_FALSE(session.Busy);
    EXPECT_EQ(wizard->table->lbstatus3->text(), "");
}

// While a step runs, Cancel and the window's close button ask to stop it and nothing else.
TEST_F(NavigationTest, CancelDuringAStepAsksToStopIt) {
    ToTablePage(source, "Cars");
    wizard->table->NDbName->setText(dir.filePath("copy.db"));
    int pumps = 0;
    wizard->onPump = [&] {
        if (++pumps != 2) return;  // the first field of the detection
        EXPECT_FALSE(wizard->NavButton(kNext)->isEnabled());
        EXPECT_FALSE(wizard->NavButton(kBack)->isEnabled());
        fake.prompts.answers = {false, true};
        EXPECT_FALSE(wizard->close());
        wizard->NavButton(kCancel)->click();
    };
    wizard->NavButton(kNext)->click();
    EXPECT_EQ(fake.prompts.Take(), (std::vector<Box>{Question("Cancel the current process?"),
                                                      Question("Cancel the current process?")}));
    ExpectPage(4);
    EXPECT_FALSE(wizard->Unloaded());
    EXPECT_FALSE(session.Busy);
}

}  // namespace
}  // namespace trunetest
