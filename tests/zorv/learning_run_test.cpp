// zorv's learning run with the real engine behind a recording wrapper: what the knowledge page
// and the options hand to the engine, the threshold, the progress texts, cancels at each point
// of a run, an engine error, the skip path of a multi-net, and closing the window during a run.
// The engine's headers come before Qt's (Qt's keyword macros).
#include "tests/zorv/learning_fixture.h"

#include <QApplication>
#include <QRegularExpression>
#include <QtTest/QTest>
#include <array>
#include <clocale>

#include "tests/support/comma_locale.h"

namespace zorvtest {
namespace {

using wizard::KnowledgePage;

int Row(const QListWidget* list, const char* field) {
    const auto items = list->findItems(field, Qt::MatchExactly);
    return items.isEmpty() ? -1 : list->row(items.first());
}

// Picks `a` and `b` in the two columns of a pair tab (1 partial ordering, 2 causes and effects,
// 3 forbidden links) and presses its add button.
void AddPair(KnowledgePage& p, int tab, const char* a, const char* b) {
    const int first = tab == 1 ? 0 : tab == 2 ? 2 : 5;
    p.lstfld[size_t(first)]->setCurrentRow(Row(p.lstfld[size_t(first)], a));
    p.lstfld[size_t(first + 1)]->setCurrentRow(Row(p.lstfld[size_t(first + 1)], b));
    (tab == 1 ? p.cmdright1 : tab == 2 ? p.cmdright2 : p.cmdright3)->click();
}

// The cells of a square knowledge matrix that are not 0, as (a, b, value).
std::vector<std::array<int, 3>> Cells(const vb::Array<vb::Integer>& m) {
    std::vector<std::array<int, 3>> out;
    for (int a = 0; a <= m.UBound(1); ++a)
        for (int b = 0; b <= m.UBound(2); ++b)
            if (m(a, b) != 0) out.push_back({a, b, m(a, b)});
    return out;
}

using Cell = std::array<int, 3>;

TEST_F(LearningTest, KnowledgeReachesTheEngineInItsOrder) {
    struct Case {
        const char* name;
        std::function<void(KnowledgePage&)> enter;
        std::vector<std::string> names;
        bool bord;
        std::vector<Cell> po, ce, fl;
    };
    const std::vector<Case> cases{
        {"partial ordering and causes: a pair ordered by both holds 2",
         [](KnowledgePage& p) {
             AddPair(p, 2, "Size", "Weight");
             AddPair(p, 1, "Size", "Weight");
             AddPair(p, 1, "Colour", "Noise");
         },
         {"Kind", "Size", "Weight", "Colour", "Noise"},
         false,
         {{2, 3, 2}, {4, 5, 1}},
         {{2, 3, 1}},
         {}},
        {"complete ordering: fields and links follow the ordering list, forbidden links in both cells",
         [](KnowledgePage& p) {
             p.lstfld[4]->setCurrentRow(4);  // Noise before Colour
             p.cmdup->click();
             AddPair(p, 3, "Size", "Colour");
         },
         {"Kind", "Size", "Weight", "Noise", "Colour"},
         true,
         {},
         {},
         {{2, 5, 1}, {5, 2, 1}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WalkToStep3(KindTable(), [&](ScriptedWizard& w) { c.enter(*w.knowledge->page); });
        // The test data's format is ODBC: learning still reads the training database.
        wizard->DbFormat = 16;
        wizard->NavButton(kProceed)->click();
        ASSERT_EQ(wizard->CurrentStep, 4) << (fake.prompts.Take().empty() ? "" : "an error box");
        const RecordingEngine& e = engine();
        EXPECT_EQ(e.calls, (std::vector<std::string>{"Init", "InitLearn", "InitLearnStru", "GetClsLbl", "LearnStru",
                                                     "GetGraph"}));
        EXPECT_EQ(e.rows, 100000);
        EXPECT_EQ(e.vlus, 45);
        EXPECT_EQ(e.database, wizard->TrainDb);
        EXPECT_EQ(e.table, "Train");
        EXPECT_EQ(e.cntfld, "");
        EXPECT_EQ(e.stru.numfld, 5);
        EXPECT_EQ(e.stru.names, c.names);
        EXPECT_EQ(e.stru.bord, c.bord);
        EXPECT_EQ(Cells(e.stru.po), c.po);
        EXPECT_EQ(Cells(e.stru.ce), c.ce);
        EXPECT_EQ(Cells(e.stru.fl), c.fl);
        // The options as step 2 starts them.
        EXPECT_EQ(e.stru.BMMode, 1);
        EXPECT_FALSE(e.stru.FixedThr);
        EXPECT_EQ(e.stru.FSM, 3);
        EXPECT_FALSE(e.stru.roc || e.stru.filter || e.stru.noOrd || e.stru.bpres);
        EXPECT_EQ(e.stru.logi, "");
        EXPECT_EQ(e.threshold, -1.0f);
        std::vector<std::string> model{""};
        model.insert(model.end(), c.names.begin(), c.names.end());
        EXPECT_EQ(session.FieldNames, model);
        wizard.reset();
        engines.clear();
    }
}

// Any C library locale whose decimal symbol is the comma.
class CommaLocale : public testsupport::CommaLocaleTest {
public:
    void TestBody() override {}
    using CommaLocaleTest::SetUp;
    using CommaLocaleTest::TearDown;
};

TEST_F(LearningTest, FixedThresholdIsReadWithAPointUnderACommaLocale) {
    CommaLocale comma;
    comma.SetUp();
    if (std::string(std::localeconv()->decimal_point) != ",") GTEST_SKIP() << "no comma locale";
    WalkToStep3(KindTable(), [](ScriptedWizard& w) {
        w.options->OptFixed->click();
        w.options->CmbEps->setCurrentIndex(w.options->CmbEps->findText("12.5"));
    });
    wizard->NavButton(kProceed)->click();
    comma.TearDown();
    EXPECT_EQ(wizard->CurrentStep, 4);
    EXPECT_TRUE(engine().stru.FixedThr);
    EXPECT_EQ(engine().threshold, 12.5f);
}

TEST_F(LearningTest, ProgressShowsWholePercentsOnThePageUp) {
    WalkToStep3(KindTable());
    std::vector<QString> seen;
    prepare = [&](RecordingEngine& e) {
        e.onEvent = [&](const std::string& call, int n) {
            // What the first event of the call showed, seen as the second arrives.
            if (call == "LearnStru" && n == 2) seen.push_back(wizard->learn->lblprocessing->text());
        };
    };
    wizard->NavButton(kProceed)->click();
    ASSERT_EQ(wizard->CurrentStep, 4);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_TRUE(QRegularExpression("^[^.]+\\.\\.\\.\\d+%$").match(seen[0]).hasMatch()) << seen[0].toStdString();

    engine().statusOverride = "Learn structure (BN)";
    bool cancel = true;
    wizard->CurrentStep = 3;
    wizard->MyDataEng_PercentDone(45.6f, 120.0f, cancel);
    EXPECT_FALSE(cancel);
    EXPECT_EQ(wizard->learn->lblprocessing->text(), "Learn structure (BN)...100%");
    EXPECT_EQ(wizard->learn->LblOverall->text(), "Overall...45%");
    EXPECT_EQ(wizard->learn->ProgressBar1->value(), 100);
    EXPECT_EQ(wizard->learn->ProgressBar1a->value(), 45);
    wizard->CurrentStep = 4;
    wizard->MyDataEng_PercentDone(45.6f, 120.0f, cancel);
    EXPECT_EQ(wizard->result->lblLCPT2->text(), "100%");
    EXPECT_EQ(wizard->result->ProgressBar2->value(), 100);
    wizard->CurrentStep = 9;
    wizard->CancelCall = true;
    wizard->MyDataEng_PercentDone(-3.0f, 45.6f, cancel);
    EXPECT_TRUE(cancel);
    EXPECT_EQ(wizard->testTable->LblCls2->text(), "45%");
    wizard->CurrentStep = 4;
}

TEST_F(LearningTest, CancelWhileInitialisingDropsTheEngine) {
    WalkToStep3(KindTable());
    prepare = [&](RecordingEngine& e) {
        e.onEvent = [&](const std::string& call, int n) {
            if (call != "InitLearnStru" || n != 1) return;
            EXPECT_FALSE(wizard->NavButton(kBack)->isEnabled());
            EXPECT_FALSE(wizard->learn->txtinputlog->isEnabled());
            // F1 waits as the Help button does.
            QTest::keyClick(wizard.get(), Qt::Key_F1);
            EXPECT_TRUE(fake.shell.opened.empty());
            fake.prompts.answers = {true};
            wizard->NavButton(kCancel)->click();
        };
    };
    wizard->NavButton(kProceed)->click();
    EXPECT_EQ(fake.prompts.Take(), std::vector<Box>{Question("Cancel the construction process?")});
    EXPECT_EQ(wizard->CurrentStep, 3);
    EXPECT_EQ(wizard->MyDataEng, nullptr);
    EXPECT_TRUE(engines[0]->released);
    EXPECT_EQ(engines[0]->calls.back(), "InitLearnStru");
    EXPECT_FALSE(wizard->learn->lblprocessing->isVisible());
    EXPECT_FALSE(wizard->learn->ProgressBar1->isVisible());
    EXPECT_TRUE(wizard->NavButton(kBack)->isEnabled());

    // Proceed again: a new engine learns.
    prepare = nullptr;
    wizard->NavButton(kProceed)->click();
    EXPECT_EQ(wizard->CurrentStep, 4);
    EXPECT_EQ(engines.size(), 2u);
    EXPECT_EQ(wizard->MyDataEng, engines[1]);
}

TEST_F(LearningTest, CancelWhileLearningKeepsTheEngineAndItsGraph) {
    WalkToStep3(KindTable());
    prepare = [&](RecordingEngine& e) {
        e.onEvent = [&](const std::string& call, int n) {
            if (call != "LearnStru" || n != 1) return;
            fake.prompts.answers = {true};
            wizard->NavButton(kCancel)->click();
        };
    };
    wizard->NavButton(kProceed)->click();
    EXPECT_EQ(fake.prompts.Take(), std::vector<Box>{Question("Cancel the construction process?")});
    EXPECT_EQ(wizard->CurrentStep, 3);
    EXPECT_EQ(wizard->MyDataEng, engines[0]);
    EXPECT_EQ(session.GraphArr(0, 0, 0), -1);
    EXPECT_FALSE(wizard->learn->LblOverall->isVisible());
    EXPECT_EQ(wizard->listings, 0);
    EXPECT_FALSE(wizard->LearningActive);
}

TEST_F(LearningTest, ACancelLeftOverFromTheLastEventDoesNotStopTheNextRun) {
    WalkToStep3(KindTable());
    // The user's Yes arrives with the last progress event: the run finishes all the same.
    prepare = [&](RecordingEngine& e) {
        e.onCall = [&](const std::string& call) {
            if (call == "GetGraph") wizard->CancelCall = true;
        };
    };
    wizard->NavButton(kProceed)->click();
    ASSERT_EQ(wizard->CurrentStep, 4);
    EXPECT_FALSE(wizard->CancelCall);
    prepare = nullptr;
    wizard->NavButton(kBack)->click();
    wizard->NavButton(kProceed)->click();
    EXPECT_EQ(wizard->CurrentStep, 4);
    EXPECT_NE(session.GraphArr(0, 0, 0), -1);
}

TEST_F(LearningTest, AMissingClassValueIsReportedAndStep3StaysLive) {
    WalkToStep3(KindTable(0.05, false));
    wizard->NavButton(kProceed)->click();
    EXPECT_EQ(fake.prompts.Take(), std::vector<Box>{Plain("The class field contains missing values")});
    EXPECT_EQ(wizard->CurrentStep, 3);
    EXPECT_EQ(wizard->MyDataEng, nullptr);
    EXPECT_TRUE(engines[0]->released);
    EXPECT_FALSE(wizard->LearningActive);
    EXPECT_FALSE(wizard->learn->ProgressBar1a->isVisible());
    EXPECT_TRUE(wizard->NavButton(kProceed)->isEnabled());
    EXPECT_TRUE(wizard->learn->txtoutputlog->isEnabled());
}

TEST_F(LearningTest, SkippedMultiNetGetsTheCausesInEveryLayer) {
    WalkToStep3(KindTable(), [](ScriptedWizard& w) {
        AddPair(*w.knowledge->page, 2, "Size", "Weight");
        AddPair(*w.knowledge->page, 2, "Noise", "Colour");  // the cause follows its effect
        w.options->OptMN->click();
    });
    EXPECT_EQ(session.ModelMode, 2);
    fake.prompts.answers = {true};
    wizard->NavButton(kNext)->click();
    EXPECT_EQ(fake.prompts.Take().size(), 1u);
    ASSERT_EQ(wizard->CurrentStep, 4);
    EXPECT_EQ(engine().calls, (std::vector<std::string>{"Init", "InitLearn", "InitLearnStru", "GetClsLbl"}));
    EXPECT_EQ(session.NetCount, 3);
    ASSERT_EQ(session.GraphArr.UBound(1), 3);
    for (int k = 0; k <= 3; ++k) {
        SCOPED_TRACE(k);
        std::vector<Cell> cells;
        for (int a = 0; a <= 5; ++a)
            for (int b = 0; b <= 5; ++b)
                if (session.GraphArr(k, a, b) != 0) cells.push_back({a, b, session.GraphArr(k, a, b)});
        EXPECT_EQ(cells, (std::vector<Cell>{{2, 3, 1}, {4, 5, 2}}));
    }
    EXPECT_TRUE(session.IsMultiNetFlag);
    EXPECT_EQ(session.FieldUsed, std::vector<int16_t>(6, 0));
    EXPECT_EQ(wizard->LearnedGraph(0, 0, 0), 0);
    EXPECT_EQ(wizard->result->txtrst->text(), "");
}

TEST_F(LearningTest, ClosingTheWindowDuringARunCancelsItThenExits) {
    WalkToStep3(KindTable());
    prepare = [&](RecordingEngine& e) {
        e.onEvent = [&](const std::string& call, int n) {
            if (call == "LearnStru" && n == 1) wizard->close();
        };
    };
    fake.prompts.answers = {true};  // "Exit Kalvex?"
    wizard->NavButton(kProceed)->click();
    EXPECT_EQ(wizard->CurrentStep, 3);
    EXPECT_FALSE(wizard->Unloaded());
    QApplication::processEvents();
    EXPECT_EQ(fake.prompts.Take(), std::vector<Box>{Question("Exit Kalvex?")});
    EXPECT_TRUE(wizard->Unloaded());
}

}  // namespace
}  // namespace zorvtest
