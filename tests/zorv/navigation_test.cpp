// zorv's page controller: the flow over the work modes and test-data formats, the buttons and
// captions of each page, the checks of the cover and learning pages, the error handler and
// the exit questions.
#include <sys/stat.h>

#include <QApplication>
#include <QDir>

#include "platform/vb/runtime_error.h"
#include "tests/zorv/zorv_fixture.h"
#include "wizard_common/model/step_caption.h"

namespace zorvtest {
namespace {

constexpr int kCancel = 1, kBack = 2, kNext = 3, kProceed = 4;
const QString kSkip =
    "Are you sure that you want to skip the structure learning and construct the Bayesian net manually?";

class NavigationTest : public ZorvTest {
protected:
    void ChooseMode(int mode) {
        QRadioButton* options[] = {wizard->cover->Option1, wizard->cover->Option2, wizard->cover->Option3};
        options[mode - 1]->click();
        wizard->cover->DBName->setText(dbFile);
        wizard->cover->BNCName->setText(bncFile);
    }

    // The buttons and captions every page must show once it is entered.
    void ExpectPageFrame(int page) {
        SCOPED_TRACE(page);
        EXPECT_EQ(wizard->CurrentStep, page);
        EXPECT_EQ(wizard->windowTitle().toStdString(), wizard::StepCaption(wizard::ZorvFrame(), page));
        EXPECT_EQ(wizard->NavButton(kBack)->isEnabled(), page != 0);
        EXPECT_EQ(wizard->NavButton(kNext)->isEnabled(), page != 9);
        EXPECT_EQ(wizard->NavButton(kProceed)->isEnabled(), page == 3 || page == 9);
        EXPECT_EQ(wizard->NavButton(kNext)->text(), page == 3 ? "Skip >>" : "&Next >");
        EXPECT_TRUE(wizard->Page(page)->isEnabled());
    }
};

TEST_F(NavigationTest, NextAndBackWalkEachWorkModeAndFormat) {
    struct Case { int mode; bool odbc; std::vector<int> forward; std::vector<int> backward; };
    const Case cases[] = {
        {1, false, {0, 1, 2, 3, 4, 5, 6, 7, 9}, {9, 7, 6, 5, 4, 3, 2, 1, 0}},
        {1, true, {0, 1, 2, 3, 4, 5, 6, 8, 9}, {9, 8, 6, 5, 4, 3, 2, 1, 0}},
        {2, false, {0, 1, 4, 5, 6, 7, 9}, {9, 7, 6, 5, 4, 1, 0}},
        {2, true, {0, 1, 4, 5, 6, 8, 9}, {9, 8, 6, 5, 4, 1, 0}},
        {3, false, {0, 6, 7, 9}, {9, 7, 6, 0}},
        {3, true, {0, 6, 8, 9}, {9, 8, 6, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << c.mode << (c.odbc ? " ODBC" : " file"));
        session = {};
        MakeWizard();
        ExpectPageFrame(0);
        ChooseMode(c.mode);
        std::vector<int> forward{wizard->CurrentStep};
        while (wizard->CurrentStep != 9 && forward.size() < 12) {
            if (wizard->CurrentStep == 3) fake.prompts.answers = {true};
            if (wizard->CurrentStep == 6 && c.odbc) wizard->format->Lstdbfmt->setCurrentRow(16);
            wizard->NavButton(kNext)->click();
            forward.push_back(wizard->CurrentStep);
            ExpectPageFrame(wizard->CurrentStep);
        }
        EXPECT_EQ(forward, c.forward);
        if (c.mode == 1) {
            EXPECT_EQ(fake.prompts.Take(), std::vector<Box>{Question(kSkip)});
        }
        EXPECT_TRUE(fake.prompts.Take().empty());

        std::vector<int> backward{wizard->CurrentStep};
        while (wizard->CurrentStep != 0 && backward.size() < 12) {
            wizard->NavButton(kBack)->click();
            backward.push_back(wizard->CurrentStep);
            ExpectPageFrame(wizard->CurrentStep);
        }
        EXPECT_EQ(backward, c.backward);
    }
}

TEST_F(NavigationTest, SkipAnsweredNoStaysAndProceedLearns) {
    MakeWizard();
    ChooseMode(1);
    for (int i = 0; i < 3; ++i) wizard->NavButton(kNext)->click();
    ASSERT_EQ(wizard->CurrentStep, 3);

    wizard->SkipLearning = true;
    fake.prompts.answers = {false};
    wizard->NavButton(kNext)->click();
    EXPECT_EQ(fake.prompts.Take(), std::vector<Box>{Question(kSkip)});
    EXPECT_EQ(wizard->CurrentStep, 3);
    EXPECT_FALSE(wizard->SkipLearning);
    EXPECT_EQ(wizard->processRuns, 0);

    // Proceed runs the learning with the buttons held, then shows the result page.
    wizard->SkipLearning = true;
    bool heldDuringRun = false;
    wizard->onProcess = [&] {
        heldDuringRun = !wizard->NavButton(kBack)->isEnabled() && !wizard->NavButton(kNext)->isEnabled() &&
                        !wizard->learn->txtoutputlog->isEnabled() && wizard->NavButton(kCancel)->isEnabled();
        return true;
    };
    wizard->NavButton(kProceed)->click();
    EXPECT_FALSE(wizard->SkipLearning);
    EXPECT_TRUE(heldDuringRun);
    EXPECT_EQ(wizard->CurrentStep, 4);
    EXPECT_TRUE(wizard->learn->txtoutputlog->isEnabledTo(wizard->learn));

    // A run that fails keeps the page.
    wizard->NavButton(kBack)->click();
    wizard->onProcess = [] { return false; };
    wizard->NavButton(kProceed)->click();
    EXPECT_EQ(wizard->CurrentStep, 3);
}

TEST_F(NavigationTest, CoverPageChecks) {
    const QString empty = WriteFile("empty.db", "");
    const QString missing = dir.filePath("none.db");
    const QString emptyBnc = WriteFile("empty.bnc", "");
    struct Case { int mode; QString db; QString bnc; std::vector<Box> boxes; int pageAfter; };
    const Case cases[] = {
        {0, dbFile, bncFile, {Warning("Please choose one of the three work modes")}, 0},
        {1, "", bncFile, {Warning("Please select a database")}, 0},
        {1, missing, "", {Warning("The database file '" + missing + "' does not exist.")}, 0},
        {1, empty, "", {Warning("The database file '" + empty + "' is empty.")}, 0},
        {1, dbFile, "", {}, 1},
        {2, dbFile, "", {Warning("Please select a BN classifier")}, 0},
        {2, dbFile, missing, {Warning("The BN classifier '" + missing + "' does not exist.")}, 0},
        {3, "", emptyBnc, {Warning("The BN classifier '" + emptyBnc + "' is empty.")}, 0},
        {3, "", bncFile, {}, 6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << c.mode << " db " << c.db.toStdString() << " bnc "
                                        << c.bnc.toStdString());
        session = {};
        ClearSettings();
        MakeWizard();
        if (c.mode) {
            QRadioButton* options[] = {wizard->cover->Option1, wizard->cover->Option2, wizard->cover->Option3};
            options[c.mode - 1]->click();
        }
        wizard->cover->DBName->setText(c.db);
        wizard->cover->BNCName->setText(c.bnc);
        wizard->NavButton(kNext)->click();
        EXPECT_EQ(fake.prompts.Take(), c.boxes);
        EXPECT_EQ(wizard->CurrentStep, c.pageAfter);
        if (c.pageAfter != 0) {
            // The folders of the accepted files are remembered.
            if (c.mode != 3) {
                EXPECT_EQ(wizard->DBPath, dir.path());
            }
            if (c.mode != 1) {
                EXPECT_EQ(wizard->BNCPath, dir.path());
            }
        }
    }
}

TEST_F(NavigationTest, LearningPageChecks) {
    const QString emptyLog = WriteFile("empty.log", "");
    const QString oldLog = WriteFile("old.log", "log");
    const QString readOnly = WriteFile("ro.log", "log");
    ::chmod(readOnly.toLocal8Bit().constData(), 0444);
    const QString missing = dir.filePath("none.log");
    struct Case { QString input; QString output; std::deque<bool> answers; std::vector<Box> boxes; bool learned; };
    const Case cases[] = {
        {missing, "", {}, {Warning("The input log file '" + missing + "' does not exist.")}, false},
        {emptyLog, "", {}, {Warning("The input log file '" + emptyLog + "' is empty.")}, false},
        // Refused before any question about overwriting.
        {"", readOnly, {}, {Warning("The output log file '" + readOnly + "' is not a normal read-write file.")}, false},
        {"", dir.path(), {}, {Warning("The output log file '" + dir.path() + "' is not a normal read-write file.")}, false},
        {"", oldLog, {false}, {Question("The output log file'" + oldLog + "' exists, overwrite?")}, false},
        {"", oldLog, {true}, {Question("The output log file'" + oldLog + "' exists, overwrite?")}, true},
        {oldLog, dir.filePath("new.log"), {}, {}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "in " << c.input.toStdString() << " out " << c.output.toStdString());
        session = {};
        MakeWizard();
        ChooseMode(1);
        for (int i = 0; i < 3; ++i) wizard->NavButton(kNext)->click();
        ASSERT_EQ(wizard->CurrentStep, 3);
        wizard->learn->txtinputlog->setText(c.input);
        wizard->learn->txtoutputlog->setText(c.output);
        fake.prompts.answers = c.answers;
        wizard->NavButton(kProceed)->click();
        EXPECT_EQ(fake.prompts.Take(), c.boxes);
        EXPECT_EQ(wizard->processRuns, c.learned ? 1 : 0);
        EXPECT_EQ(wizard->CurrentStep, c.learned ? 4 : 3);
    }
}

TEST_F(NavigationTest, ErrorsNameThePagesOwnFile) {
    MakeWizard();
    ChooseMode(1);
    for (int i = 0; i < 3; ++i) wizard->NavButton(kNext)->click();
    const QString badLog = dir.filePath("no/such/folder/out.log");
    wizard->learn->txtoutputlog->setText(badLog);
    wizard->onProcess = []() -> bool { throw vb::RuntimeError::PathNotFound(); };
    wizard->NavButton(kProceed)->click();
    EXPECT_EQ(fake.prompts.Take(), std::vector<Box>{Warning("The path '" + badLog + "' is not valid.")});
    EXPECT_EQ(wizard->CurrentStep, 3);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    // Page 9: the result file, not the learning log.
    wizard->onProcess = nullptr;
    wizard->NavButton(kProceed)->click();
    for (int i = 0; i < 3; ++i) wizard->NavButton(kNext)->click();
    wizard->NavButton(kNext)->click();
    ASSERT_EQ(wizard->CurrentStep, 9);
    wizard->resultFile = "/no/such/folder/results.txt";
    wizard->onBatch = []() -> bool { throw vb::RuntimeError::PathNotFound(); };
    wizard->NavButton(kProceed)->click();
    EXPECT_EQ(fake.prompts.Take(), std::vector<Box>{Warning("The path '/no/such/folder/results.txt' is not valid.")});

    // Error 53 is reported like any other error, by its own text.
    wizard->onBatch = []() -> bool { throw vb::RuntimeError::FileNotFound(); };
    wizard->NavButton(kProceed)->click();
    EXPECT_EQ(fake.prompts.Take(), std::vector<Box>{Warning("File not found")});
    EXPECT_EQ(wizard->CurrentStep, 9);
}

TEST_F(NavigationTest, ExitQuestions) {
    const QString exit = "Exit Kalvex?";
    const QString save = "Save the classifier before exit?";
    struct Case {
        const char* name;
        int page;
        bool modelChanged;
        std::deque<bool> answers;
        bool saves;  // what the save reports
        std::vector<Box> boxes;
        bool unloaded;
    };
    const Case cases[] = {
        {"No stays", 0, false, {false}, true, {Question(exit)}, false},
        {"cover page exits", 0, false, {true}, true, {Question(exit)}, true},
        {"page 3 never asks to save", 3, true, {true}, true, {Question(exit)}, true},
        {"page 4 unchanged exits", 4, false, {true}, true, {Question(exit)}, true},
        {"page 4 saves and exits", 4, true, {true, true}, true, {Question(exit), Question(save)}, true},
        {"cancelled save stays", 4, true, {true, true}, false, {Question(exit), Question(save)}, false},
        {"declined save exits", 5, true, {true, false}, false, {Question(exit), Question(save)}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        session = {};
        MakeWizard();
        wizard->show();
        session.WorkMode = 1;
        wizard->ShowStep(c.page, 2);
        session.ModelChanged = c.modelChanged;
        wizard->onSave = [&] { return c.saves; };
        fake.prompts.answers = c.answers;
        wizard->NavButton(kCancel)->click();
        EXPECT_EQ(fake.prompts.Take(), c.boxes);
        EXPECT_EQ(wizard->Unloaded(), c.unloaded);
        EXPECT_EQ(wizard->isVisible(), !c.unloaded);
    }
}

TEST_F(NavigationTest, CancelDuringARunStopsTheRunNeverTheProgram) {
    MakeWizard();
    wizard->show();
    wizard->LearningActive = true;
    // The Cancel button asks; the window's close button cancels the run without a question (the
    // wizard closes once the run has stopped).
    fake.prompts.answers = {false};
    wizard->NavButton(kCancel)->click();
    EXPECT_FALSE(wizard->CancelCall);
    wizard->close();
    EXPECT_EQ(fake.prompts.Take(), (std::vector<Box>{Question("Cancel the construction process?")}));
    EXPECT_TRUE(wizard->CancelCall);
    EXPECT_FALSE(wizard->Unloaded());
    EXPECT_TRUE(wizard->isVisible());

    // Outside a run the close button is the Cancel button's exit question.
    wizard->LearningActive = false;
    fake.prompts.answers = {false};
    wizard->close();
    EXPECT_EQ(fake.prompts.Take(), std::vector<Box>{Question("Exit Kalvex?")});
    EXPECT_TRUE(wizard->isVisible());
}

}  // namespace
}  // namespace zorvtest
