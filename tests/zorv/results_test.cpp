// zorv's work after the structure on the real engine: tables on leaving step 4 in each work
// mode, the cost table and its dialog, the classifier file saved and opened again, the batch
// of step 9 with its summary and results file, single cases; and the summary text itself.
#include "tests/zorv/learning_fixture.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <fstream>
#include "zorv/batch_summary.h"
#include "zorv/frm_inst_cls.h"
#include "zorv/frm_mdi_bne.h"
#include "zorv/frm_bne.h"
#include "zorv/page_costs.h"

namespace zorvtest {
namespace {

using zorv::BatchOutcome;
using zorv::BatchSummary;

// ---- the summary --------------------------------------------------------------------------

BatchOutcome YesNo() {
    BatchOutcome b;
    b.withClass = true;
    b.total = 100;
    b.correct = 85;
    b.accuracy = 0.85f;
    b.labels = {"", "yes", "no"};
    b.confusion.ReDim(vb::To(2), vb::To(2));
    b.confusion(1, 1) = 50, b.confusion(1, 2) = 10, b.confusion(2, 1) = 5, b.confusion(2, 2) = 35;
    b.lift.ReDim(vb::To(2));
    b.lift(1) = 1.25f, b.lift(2) = 0.5f;
    b.roc.ReDim(vb::To(2), vb::To(2));
    b.roc(1, 2) = 0.875f, b.roc(2, 1) = 0.875f;
    return b;
}

TEST(BatchSummaryText, GoldenWithAClassField) {
    EXPECT_EQ(BatchSummary(YesNo()),
              "The test dataset contains 100 cases, among which, 85 cases were classified correctly.\r\n"
              "The estimate prediction accuracy is 85.00+-7.00% at 95% confidence level.\r\n"
              "Confusion matrix:\r\n"
              "Predicted -> |     yes |      no | Lift Index\r\n"
              "         yes | 0000050 | 0000010 | 1.25000\r\n"
              "          no | 0000005 | 0000035 | 0.50000\r\n"
              "ROC Indices:\r\n"
              "         yes | 0.00000 | 0.87500 | \r\n"
              "          no | 0.87500 | 0.00000 | \r\n");
}

// Labels longer than a cell and of different lengths: every row of both blocks has its column
// separators where the header has them, and the labels stay whole.
TEST(BatchSummaryText, ColumnsLineUpWithLongAndShortLabels) {
    BatchOutcome b = YesNo();
    b.labels = {"", "diaporthe-stem-canker", "no"};
    const std::string s = BatchSummary(b);
    std::vector<std::string> rows;
    for (size_t at = 0, end; (end = s.find("\r\n", at)) != std::string::npos; at = end + 2)
        if (s.substr(at, end - at).find(" | ") != std::string::npos)
            rows.push_back(s.substr(at, end - at));
    ASSERT_EQ(rows.size(), 5u);  // the header, two rows of counts, two of ROC indices
    EXPECT_EQ(rows[0], "Predicted ->          | diaporthe-stem-canker |                    no | Lift Index");
    EXPECT_EQ(rows[1], "diaporthe-stem-canker |               0000050 |               0000010 | 1.25000");
    EXPECT_EQ(rows[4], "                   no |               0.87500 |               0.00000 | ");
    auto bars = [](const std::string& row) {
        std::vector<size_t> at;
        for (size_t p = row.find('|'); p != std::string::npos; p = row.find('|', p + 1)) at.push_back(p);
        return at;
    };
    for (const std::string& row : rows) EXPECT_EQ(bars(row), bars(rows[0])) << row;
}

TEST(BatchSummaryText, WithoutClassFieldUnclassifiedRowsAndNothingClassified) {
    BatchOutcome none;
    none.total = 7;
    EXPECT_EQ(BatchSummary(none), "Classification completed. The test dataset contains 7 cases.");
    none.failed = 2;
    EXPECT_EQ(BatchSummary(none),
              "Classification completed. The test dataset contains 7 cases.\r\nThere are 2 cases that cannot be "
              "classified, probably caused by new field values that have not appeared in the training data.");

    // Every row unclassified: no accuracy to estimate (no division by zero), the rest stays.
    BatchOutcome all = YesNo();
    all.correct = 0, all.failed = 100, all.accuracy = 0;
    const std::string s = BatchSummary(all);
    EXPECT_EQ(s.find("accuracy"), std::string::npos);
    EXPECT_NE(s.find("There are 100 cases that cannot be classified"), std::string::npos);
    EXPECT_NE(s.find("Confusion matrix:"), std::string::npos);
    // A long label stays whole.
    EXPECT_EQ(zorv::RightAligned("verylonglabel", 7), "verylonglabel");
    EXPECT_EQ(zorv::SevenDigits(12345678), "12345678");
}

// ---- the cost dialog --------------------------------------------------------------------------

TEST_F(ZorvTest, CostDialogAcceptsZeroToTenAsTyped) {
    struct Case {
        QString typed;
        bool accepted;
    };
    for (const Case& c : {Case{"0", true}, Case{"10", true}, Case{"2.50", true}, Case{"-0.1", false},
                          Case{"10.01", false}, Case{"", false}, Case{"abc", false}}) {
        QString cell = "1";
        zorv::frmEditCost dialog(cell, fake.prompts);
        dialog.NewVlu->setText(c.typed);
        dialog.CmdOK_Click();
        EXPECT_EQ(dialog.Accepted, c.accepted) << c.typed.toStdString();
        EXPECT_EQ(cell, c.accepted ? c.typed : QString("1"));
        const std::vector<Box> refused{{"Please input real number between 0 and 10.", Box::Ok, wizard::Icon::None, {}}};
        EXPECT_EQ(fake.prompts.Take(), c.accepted ? std::vector<Box>{} : refused) << c.typed.toStdString();
    }
}

// ---- the wizard on the real engine ------------------------------------------------------------

class ResultsTest : public LearningTest {
protected:
    void SetUp() override {
        LearningTest::SetUp();
        // The engine writes its ROC files into the working folder.
        oldDir = QDir::currentPath();
        QDir::setCurrent(dir.path());
    }
    void TearDown() override {
        QDir::setCurrent(oldDir);
        LearningTest::TearDown();
    }

    // Mode 1 learned and step 4 shown.
    void LearnToStep4(int modelMode = 1) {
        WalkToStep3(KindTable(), [&](ScriptedWizard& w) {
            w.options->OptBN->setChecked(modelMode == 1);
            w.options->OptMN->setChecked(modelMode == 2);
            session.ModelMode = int16_t(modelMode);
        });
        wizard->realResults = true;
        wizard->NavButton(kProceed)->click();
        ASSERT_EQ(wizard->CurrentStep, 4);
    }

    // From step 6 to step 9 on a test table sampled from the training network.
    void TestTableOnStep9() {
        testsupport::SampledTable t = KindTable();
        t.table = "Test";
        const QString file = dir.filePath("test.db");
        if (!QFileInfo::exists(file)) testsupport::WriteSqliteTable(file.toStdString(), t)->Close();
        ASSERT_EQ(wizard->CurrentStep, 6);
        wizard->NavButton(kNext)->click();
        ASSERT_EQ(wizard->CurrentStep, 7);
        wizard->testFile->DbNameT->setText(file);
        wizard->NavButton(kNext)->click();
        ASSERT_EQ(wizard->CurrentStep, 9);
        zorv::TestTablePage& p = *wizard->testTable;
        p.CboTBNameT->setCurrentIndex(p.CboTBNameT->findText("Test"));
        wizard->CboTBNameT_Click();
        p.CboClsT->setCurrentIndex(p.CboClsT->findText("Kind"));
        wizard->CboClsT_Click();
    }

    // A new wizard on the real engine in the place of the one shown, which is handed back.
    std::unique_ptr<ScriptedWizard> ReplaceWizard() {
        auto old = std::make_unique<ScriptedWizard>(fake.bundle(), session, dir.path());
        std::swap(wizard, old);
        old->hide();
        wizard->realData = true;
        wizard->realResults = true;
        wizard->NewDataEngine = [this] {
            engines.push_back(std::make_shared<RecordingEngine>());
            return engines.back();
        };
        return old;
    }

    // Work mode 2 on the classifier file `bnc` with learn.db's table Train, walked to step 4 in a
    // new wizard; returns the wizard it replaced.
    std::unique_ptr<ScriptedWizard> ModifyToStep4(const QString& bnc) {
        auto old = ReplaceWizard();
        wizard->cover->Option2->click();
        wizard->cover->DBName->setText(dir.filePath("learn.db"));
        wizard->cover->BNCName->setText(bnc);
        wizard->NavButton(kNext)->click();
        if (wizard->CurrentStep != 1) return old;
        QComboBox* tables = wizard->fields->CboTbName;
        tables->setCurrentIndex(tables->findText("Train"));
        wizard->CboTbName_Click();
        wizard->fields->CboCls->setCurrentIndex(0);
        wizard->CboCls_Click();
        wizard->NavButton(kNext)->click();
        return old;
    }

    QString oldDir;
};

TEST_F(ResultsTest, ModeOneThroughTheBatchThenModeThreeOnTheSavedFile) {
    LearnToStep4();
    wizard->NavButton(kNext)->click();
    ASSERT_EQ(wizard->CurrentStep, 5);
    EXPECT_NE(std::count(engine().calls.begin(), engine().calls.end(), "LearnCPT"), 0);

    // The grid: labels, n.a. on the diagonal, 1 elsewhere; a double-click on the diagonal
    // opens nothing, one on (1, 2) takes a typed 2.50 and leaves (2, 1).
    QTableWidget* grid = wizard->costs->GridCosts;
    ASSERT_EQ(grid->rowCount(), 4);
    EXPECT_EQ(grid->item(0, 1)->text(), "HIGH");
    EXPECT_EQ(grid->item(2, 0)->text(), "LOW");
    EXPECT_EQ(grid->item(2, 2)->text(), "n.a.");
    EXPECT_EQ(grid->item(2, 3)->text(), "1");
    int dialogs = 0;
    wizard->RunCostDialog = [&](zorv::frmEditCost& d) {
        ++dialogs;
        d.NewVlu->setText("2.50");
        d.CmdOK_Click();
    };
    wizard->GridCosts_DblClick(1, 1);
    EXPECT_EQ(dialogs, 0);
    session.ModelChanged = false;
    wizard->GridCosts_DblClick(1, 2);
    EXPECT_EQ(grid->item(1, 2)->text(), "2.50");
    EXPECT_EQ(wizard->CostMatrix(1, 2), 2.5f);
    EXPECT_EQ(wizard->CostMatrix(2, 1), 1.0f);
    EXPECT_TRUE(session.ModelChanged);

    // Saved: the file reads back with its cost.
    const QString bnc = dir.filePath("kind.bnc");
    fake.files.answers = {bnc};
    wizard->costs->BtnSaveBNC->click();
    ASSERT_TRUE(QFileInfo::exists(bnc));
    EXPECT_FALSE(session.ModelChanged);
    EXPECT_EQ(wizard->BNCPath, dir.path());
    wizard->NavButton(kNext)->click();

    // Step 6: one case by hand.
    ASSERT_EQ(wizard->CurrentStep, 6);
    QString single;
    wizard->RunInstDialog = [&](zorv::FrmInstCls& d) {
        ASSERT_GE(d.CmbFld.size(), 2u);
        EXPECT_TRUE(d.CmdClsfy->isEnabled());
        d.CmdClsfy_Click();
        single = d.LblCls2->text();
        EXPECT_FALSE(d.CmdClsfy->isEnabled());
        d.CmbFld[1]->setCurrentIndex(d.CmbFld[1]->count() - 1);
        EXPECT_TRUE(d.CmdClsfy->isEnabled());
        EXPECT_FALSE(d.LblCls2->isEnabled());
    };
    wizard->format->CmdCls->click();
    EXPECT_TRUE(single.startsWith("  ")) << single.toStdString();
    EXPECT_GT(single.trimmed().size(), 0);

    // Step 9: the batch into a results file.
    TestTableOnStep9();
    const QString results = dir.filePath("results.txt");
    wizard->testTable->RstName->setText(results);
    fake.prompts.Take();
    wizard->NavButton(kProceed)->click();
    const std::vector<Box> boxes = fake.prompts.Take();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].icon, wizard::Icon::Information);
    const QString summary = boxes[0].text;
    EXPECT_TRUE(summary.startsWith("The test dataset contains 600 cases, among which, ")) << summary.toStdString();
    EXPECT_TRUE(summary.contains("Predicted -> |    HIGH |     LOW |     MID | Lift Index\r\n"));
    // The finished batch read 100% behind its summary, whatever the engine's last event said.
    EXPECT_EQ(wizard->testTable->ProgressBar3->value(), 100);
    EXPECT_EQ(wizard->testTable->LblCls2->text(), "100%");
    QFile f(results);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(f.readAll()).split("\r\n", Qt::SkipEmptyParts);
    EXPECT_EQ(lines.size(), 601);
    EXPECT_TRUE(lines[0].endsWith(","));
    EXPECT_TRUE(QFileInfo::exists(dir.filePath("roc12.txt")));
    // No temporary file stays beside the results.
    EXPECT_EQ(QDir(dir.path()).entryList({"results*"}, QDir::Files), QStringList{"results.txt"});

    // Again over the same file: asked first; No leaves it.
    fake.prompts.answers = {false};
    wizard->NavButton(kProceed)->click();
    EXPECT_EQ(fake.prompts.Take(),
              (std::vector<Box>{{"The text file'" + results + "' exists, overwrite?", Box::YesNo, wizard::Icon::None, {}}}));

    // Cancelled midway (Cancel during the run asks to stop it): no summary; the results file
    // holds the header and the rows classified before the cancel, and no temporary file is left.
    engine().onEvent = [&](const std::string& call, int event) {
        if (call == "ClsfyBatch" && event == 2) {
            fake.prompts.answers = {true};
            wizard->NavButton(kCancel)->click();
        }
    };
    fake.prompts.answers = {true};
    wizard->NavButton(kProceed)->click();
    engine().onEvent = {};
    EXPECT_EQ(fake.prompts.Take(),
              (std::vector<Box>{{"The text file'" + results + "' exists, overwrite?", Box::YesNo, wizard::Icon::None, {}},
                                {"Cancel the construction process?", Box::YesNo, wizard::Icon::None, {}}}));
    QFile cancelled(results);
    ASSERT_TRUE(cancelled.open(QIODevice::ReadOnly));
    const QStringList kept = QString::fromUtf8(cancelled.readAll()).split("\r\n", Qt::SkipEmptyParts);
    EXPECT_EQ(kept.size(), 201);  // the cancel came with the second event, after 200 rows
    EXPECT_EQ(kept.value(0), lines[0]);
    EXPECT_EQ(QDir(dir.path()).entryList({"results*"}, QDir::Files), QStringList{"results.txt"});
    EXPECT_TRUE(wizard->NavButton(kProceed)->isEnabled());
    EXPECT_FALSE(wizard->LearningActive);
    EXPECT_LT(wizard->testTable->ProgressBar3->value(), 100);  // where the cancel left it

    // Work mode 2 on the saved file, unchanged: the tables come from the file, the graph is not
    // sent, the stored cost is shown, and the batch gives the same summary.
    {
        auto modify = ModifyToStep4(bnc);
        ASSERT_EQ(wizard->CurrentStep, 4);
        wizard->NavButton(kNext)->click();
        ASSERT_EQ(wizard->CurrentStep, 5);
        EXPECT_EQ(std::count(engine().calls.begin(), engine().calls.end(), "PutGraph"), 0);
        EXPECT_EQ(std::count(engine().calls.begin(), engine().calls.end(), "LearnCPT"), 0);
        EXPECT_EQ(wizard->costs->GridCosts->item(1, 2)->text(), "2.5");
        EXPECT_EQ(wizard->costs->GridCosts->item(2, 1)->text(), "1");
        wizard->NavButton(kNext)->click();
        TestTableOnStep9();
        wizard->testTable->RstName->setText(dir.filePath("modified.txt"));
        wizard->NavButton(kProceed)->click();
        const std::vector<Box> modified = fake.prompts.Take();
        ASSERT_EQ(modified.size(), 1u);
        EXPECT_EQ(modified[0].text, summary);
        std::swap(wizard, modify);
    }

    // Work mode 3 on the saved file: the same summary.
    auto first = ReplaceWizard();
    wizard->cover->Option3->click();
    wizard->cover->BNCName->setText(bnc);
    // A limit of values below the file's: the engine's text, the cover stays.
    wizard->MaxVlus = 2;
    wizard->NavButton(kNext)->click();
    EXPECT_EQ(wizard->CurrentStep, 0);
    EXPECT_EQ(fake.prompts.Take(),
              (std::vector<Box>{{"A field has more values than the number specified at the 'advanced system "
                                 "settings'.",
                                 Box::Ok, wizard::Icon::None, {}}}));
    wizard->MaxVlus = 45;
    wizard->NavButton(kNext)->click();
    ASSERT_EQ(wizard->CurrentStep, 6);
    EXPECT_EQ(session.ClassLabels, (std::vector<std::string>{"", "HIGH", "LOW", "MID"}));
    TestTableOnStep9();
    wizard->testTable->RstName->setText(dir.filePath("again.txt"));
    wizard->NavButton(kProceed)->click();
    const std::vector<Box> again = fake.prompts.Take();
    ASSERT_EQ(again.size(), 1u);
    EXPECT_EQ(again[0].text, summary);
}

TEST_F(ResultsTest, AnUndirectedLinkIsRefusedOnStep4) {
    LearnToStep4();
    vb::Array<int16_t>& g = session.GraphArr;
    g(0, 2, 3) = 3;
    session.ModelChanged = true;
    fake.prompts.Take();
    wizard->NavButton(kNext)->click();
    EXPECT_EQ(wizard->CurrentStep, 4);
    EXPECT_EQ(fake.prompts.Take(),
              (std::vector<Box>{{"Some edges are not oriented, please edit the network first.", Box::Ok,
                                 wizard::Icon::None, {}}}));
    // CheckOrient reads only the cells i < j of the layers that matter.
    g(0, 2, 3) = 0;
    g(0, 3, 2) = 3;
    EXPECT_TRUE(wizard->CheckOrient());
    session.IsMultiNetFlag = true;
    g(1, 1, 2) = 3;  // the class takes no part in a multi-net's layers
    EXPECT_TRUE(wizard->CheckOrient());
    g(2, 2, 4) = 4;
    EXPECT_FALSE(wizard->CheckOrient());
}

// The classifier file keeps a name that SQL needs in brackets in its SQL form; work mode 2 shows
// it as the user named it, in the listing, the editor's node boxes and Instant Classification,
// and saving the classifier again writes the file as it was.
TEST_F(ResultsTest, ModeTwoShowsStoredNamesAsTheUserNamedThem) {
    testsupport::SampledTable t = KindTable();
    t.columns[size_t(t.Column("Size"))] = "plant-stand";
    WalkToStep3(t, [&](ScriptedWizard& w) {
        w.options->OptBN->setChecked(true);
        session.ModelMode = 1;
    });
    wizard->realResults = true;
    wizard->NavButton(kProceed)->click();
    ASSERT_EQ(wizard->CurrentStep, 4);
    EXPECT_EQ(session.FieldNames[2], "plant-stand");  // as step 1 listed it
    wizard->NavButton(kNext)->click();
    ASSERT_EQ(wizard->CurrentStep, 5);
    const QString bnc = dir.filePath("names.bnc");
    fake.files.answers = {bnc};
    wizard->costs->BtnSaveBNC->click();
    ASSERT_TRUE(QFileInfo::exists(bnc));
    std::ifstream stored(bnc.toStdString(), std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(stored)), std::istreambuf_iterator<char>());
    ASSERT_NE(bytes.find("[plant-stand]"), std::string::npos);  // the file's own form

    auto first = ModifyToStep4(bnc);
    ASSERT_EQ(wizard->CurrentStep, 4);
    EXPECT_EQ(session.FieldNames,
              (std::vector<std::string>{"", "Kind", "plant-stand", "Weight", "Colour", "Noise"}));
    EXPECT_EQ(session.FieldCount, 5);
    const QString listing = wizard->result->txtrst->toPlainText();
    EXPECT_TRUE(listing.contains("plant-stand")) << listing.toStdString();
    EXPECT_FALSE(listing.contains("[")) << listing.toStdString();

    wizard->cmdeditor_Click();
    auto* frame = wizard->findChild<zorv::FrmMDIBNE*>("FrmMDIBNE");
    ASSERT_NE(frame, nullptr);
    ASSERT_EQ(frame->Windows().size(), 1u);
    const wizard::GraphCanvas& canvas = frame->Windows()[0]->model();
    ASSERT_EQ(canvas.NodeCount(), 5);
    EXPECT_EQ(canvas.Node(2).Text(), " plant-stand");
    EXPECT_EQ(canvas.NodeName(2), "plant-stand");
    frame->close();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    wizard->NavButton(kNext)->click();
    ASSERT_EQ(wizard->CurrentStep, 5);
    const QString again = dir.filePath("again.bnc");
    fake.files.answers = {again};
    wizard->costs->BtnSaveBNC->click();
    std::ifstream resaved(again.toStdString(), std::ios::binary);
    const std::string rewritten((std::istreambuf_iterator<char>(resaved)), std::istreambuf_iterator<char>());
    // The same file but for the time stamp of its first line.
    EXPECT_EQ(rewritten.substr(rewritten.find('\n')), bytes.substr(bytes.find('\n')));

    wizard->NavButton(kNext)->click();
    ASSERT_EQ(wizard->CurrentStep, 6);
    std::vector<QString> rows;
    wizard->RunInstDialog = [&](zorv::FrmInstCls& d) {
        for (size_t r = 1; r < d.LblFld.size(); ++r) rows.push_back(d.LblFld[r]->text());
    };
    wizard->format->CmdCls->click();
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(std::count(rows.begin(), rows.end(), "  plant-stand"), 1) << rows[0].toStdString();
    for (const QString& r : rows) EXPECT_FALSE(r.contains("[")) << r.toStdString();
}

// A learned multi-net's graph is not sent back unchanged: the engine would re-derive its subset
// from the layers and drop fields the search kept.
TEST_F(ResultsTest, AnUnchangedLearnedGraphIsNotSentAgain) {
    LearnToStep4(2);
    ASSERT_TRUE(session.IsMultiNetFlag);
    vb::Array<vb::Integer> before;
    engine().inner.GetRelative(before);
    wizard->NavButton(kNext)->click();
    ASSERT_EQ(wizard->CurrentStep, 5);
    EXPECT_EQ(std::count(engine().calls.begin(), engine().calls.end(), "PutGraph"), 0);
    vb::Array<vb::Integer> after;
    engine().inner.GetRelative(after);
    EXPECT_EQ(after, before);

    // After an edit the graph goes to the engine.
    wizard->NavButton(kBack)->click();
    session.GraphArr(1, 2, 3) = session.GraphArr(1, 2, 3) == 0 ? 1 : 0;
    wizard->NavButton(kNext)->click();
    EXPECT_EQ(std::count(engine().calls.begin(), engine().calls.end(), "PutGraph"), 1);
}

// Skip >> with a multi-net and links drawn by hand: the tables are of a multi-net, and a single
// case offers the fields the classifier reads (the wizard's flags are all 0 after a skip).
TEST_F(ResultsTest, SingleCaseAfterSkippingTheSearch) {
    WalkToStep3(KindTable(), [&](ScriptedWizard& w) {
        w.options->OptMN->setChecked(true);
        session.ModelMode = 2;
    });
    wizard->realResults = true;
    fake.prompts.answers = {true};  // skip the structure learning
    wizard->NavButton(kNext)->click();
    ASSERT_EQ(wizard->CurrentStep, 4);
    fake.prompts.Take();
    ASSERT_TRUE(session.IsMultiNetFlag);
    // Size - Weight linked in every layer (fields 2 and 3 in the table's order).
    for (int k = 1; k <= session.NetCount; ++k) session.GraphArr(k, 2, 3) = 1, session.GraphArr(k, 3, 2) = 2;
    session.ModelChanged = true;
    wizard->NavButton(kNext)->click();
    ASSERT_EQ(wizard->CurrentStep, 5);
    EXPECT_TRUE(engine().inner.IsMultiNet());
    wizard->NavButton(kNext)->click();
    ASSERT_EQ(wizard->CurrentStep, 6);
    std::vector<QString> rows;
    QString shown;
    wizard->RunInstDialog = [&](zorv::FrmInstCls& d) {
        for (size_t r = 1; r < d.LblFld.size(); ++r) rows.push_back(d.LblFld[r]->text());
        d.CmdClsfy_Click();
        shown = d.LblCls2->text();
    };
    wizard->format->CmdCls->click();
    EXPECT_EQ(fake.prompts.Take(), std::vector<Box>{});
    EXPECT_EQ(rows, (std::vector<QString>{"  " + QString::fromStdString(session.FieldNames[2]),
                                          "  " + QString::fromStdString(session.FieldNames[3])}));
    EXPECT_TRUE(shown == "  HIGH" || shown == "  LOW" || shown == "  MID") << shown.toStdString();
}

// The exit question's save on step 4 learns the tables of the graph shown first and writes the
// default costs: the file then classifies.
TEST_F(ResultsTest, ExitSaveOnStep4WritesAWholeClassifier) {
    LearnToStep4();
    const QString bnc = dir.filePath("exit.bnc");
    fake.files.answers = {bnc};
    fake.prompts.answers = {true, true};  // exit, save
    wizard->NavButton(kCancel)->click();
    EXPECT_EQ(fake.prompts.Take(), (std::vector<Box>{{"Exit Kalvex?", Box::YesNo, wizard::Icon::None, {}},
                                                     {"Save the classifier before exit?", Box::YesNo,
                                                      wizard::Icon::None, {}}}));
    EXPECT_TRUE(wizard->Unloaded());
    EXPECT_NE(std::count(engine().calls.begin(), engine().calls.end(), "LearnCPT"), 0);
    zorvapi::DataEngine back;
    ReadClassifierFile(back, bnc.toStdString());
    vb::Array<float> costs(vb::To(3), vb::To(3));
    back.GetCostTable(costs);
    EXPECT_EQ(costs(1, 2), 1.0f);
    vb::Array<vb::Integer> instance(vb::To(vb::Integer(session.FieldCount)));
    for (int i = 2; i <= session.FieldCount; ++i) instance(i) = 1;
    EXPECT_GE(back.ClsfyInst(instance), 1);
}

// Closing the window during a batch cancels it; once the engine has stopped, the wizard asks
// to exit as the Cancel button does. No summary; the results file holds what was written.
TEST_F(ResultsTest, CloseDuringABatch) {
    LearnToStep4();
    wizard->NavButton(kNext)->click();
    wizard->NavButton(kNext)->click();
    TestTableOnStep9();
    const QString results = dir.filePath("closed.txt");
    wizard->testTable->RstName->setText(results);
    engine().onEvent = [&](const std::string& call, int event) {
        if (call == "ClsfyBatch" && event == 1) wizard->close();
    };
    fake.prompts.Take();
    wizard->NavButton(kProceed)->click();
    engine().onEvent = {};
    QFile written(results);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(written.readAll()).count("\r\n"), 101);  // the header and 100 rows
    EXPECT_FALSE(wizard->Unloaded());
    fake.prompts.answers = {true, false};  // exit; do not save
    QApplication::processEvents();
    EXPECT_EQ(fake.prompts.Take().front(), (Box{"Exit Kalvex?", Box::YesNo, wizard::Icon::None, {}}));
    EXPECT_TRUE(wizard->Unloaded());
}

TEST_F(ResultsTest, SaveOverExistingFiles) {
    LearnToStep4();
    wizard->NavButton(kNext)->click();
    ASSERT_EQ(wizard->CurrentStep, 5);
    session.ModelChanged = true;
    const QString bnc = WriteFile("old.bnc", "old classifier");
    // Typed without an extension, the name is the filter's file: the same question.
    fake.files.answers = {dir.filePath("old")};
    fake.prompts.answers = {false};
    wizard->costs->BtnSaveBNC->click();
    EXPECT_EQ(fake.prompts.Take(),
              (std::vector<Box>{{"The selected file'" + bnc + "' exists, overwrite?", Box::YesNo, wizard::Icon::None, {}}}));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("old")));
    // No: nothing written, still changed.
    fake.files.answers = {bnc};
    fake.prompts.answers = {false};
    wizard->costs->BtnSaveBNC->click();
    EXPECT_EQ(fake.prompts.Take(),
              (std::vector<Box>{{"The selected file'" + bnc + "' exists, overwrite?", Box::YesNo, wizard::Icon::None, {}}}));
    EXPECT_TRUE(session.ModelChanged);
    // Read-only: refused.
    QFile::setPermissions(bnc, QFileDevice::ReadOwner);
    fake.files.answers = {bnc};
    wizard->costs->BtnSaveBNC->click();
    EXPECT_EQ(fake.prompts.Take().size(), 1u);
    QFile::setPermissions(bnc, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    // A folder that does not exist: the error's text, the old state kept.
    fake.files.answers = {dir.filePath("missing/new.bnc")};
    wizard->costs->BtnSaveBNC->click();
    EXPECT_EQ(fake.prompts.Take().size(), 1u);
    EXPECT_TRUE(session.ModelChanged);
    std::ifstream in(bnc.toStdString());
    std::string content;
    std::getline(in, content);
    EXPECT_EQ(content, "old classifier");
}

// Proceed on step 9 checks the table, the results file's name and an existing file before
// anything runs.
TEST_F(ZorvTest, Step9ChecksBeforeTheBatch) {
    MakeWizard();
    wizard->realResults = true;
    wizard->ShowStep(9, 2);
    zorv::TestTablePage& p = *wizard->testTable;
    wizard->NavButton(4)->click();
    p.CboTBNameT->addItems({"None", "Test"});
    p.CboTBNameT->setCurrentIndex(1);
    wizard->NavButton(4)->click();
    const QString readOnly = WriteFile("locked.txt", "old");
    QFile::setPermissions(readOnly, QFileDevice::ReadOwner);
    p.RstName->setText(readOnly);
    wizard->NavButton(4)->click();
    QFile::setPermissions(readOnly, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    fake.prompts.answers = {false};
    wizard->NavButton(4)->click();
    EXPECT_EQ(fake.prompts.Take(),
              (std::vector<Box>{
                  {"Please select a table containing the test data.", Box::Ok, wizard::Icon::None, {}},
                  {"Please specify the text file to save classification results.", Box::Ok, wizard::Icon::None, {}},
                  {"The text file '" + readOnly + "' is not a normal read-write file.", Box::Ok,
                   wizard::Icon::Warning, {}},
                  {"The text file'" + readOnly + "' exists, overwrite?", Box::YesNo, wizard::Icon::None, {}}}));
    EXPECT_EQ(wizard->ResultPath, dir.path());
}

// The classifier's Browse button: a chosen file goes into the box; chosen or cancelled, the
// box's folder becomes the one to start from.
TEST_F(ZorvTest, BrowsingForAClassifierRemembersTheBoxsFolder) {
    MakeWizard();
    wizard->cover->Option2->click();
    wizard->BNCPath = "/elsewhere";
    fake.files.answers = {dir.filePath("sub/a.bnc")};
    wizard->cover->CmdBNC->click();
    EXPECT_EQ(wizard->cover->BNCName->text(), dir.filePath("sub/a.bnc"));
    EXPECT_EQ(wizard->BNCPath, dir.filePath("sub"));
    wizard->cover->BNCName->setText(dir.filePath("other/b.bnc"));
    fake.files.answers = {""};
    wizard->cover->CmdBNC->click();
    EXPECT_EQ(wizard->BNCPath, dir.filePath("other"));
    ASSERT_EQ(fake.files.requests.size(), 2u);
    EXPECT_EQ(fake.files.requests[0].title, "Open BN classifier file");
    EXPECT_EQ(fake.files.requests[0].startFolder, "/elsewhere");
}

TEST_F(ZorvTest, ReadingADamagedClassifierShowsItsErrorAndStaysOnTheCover) {
    MakeWizard();
    wizard->realResults = true;
    wizard->cover->Option3->click();
    wizard->cover->BNCName->setText(bncFile);  // holds no classifier
    wizard->NavButton(3)->click();
    EXPECT_EQ(wizard->CurrentStep, 0);
    EXPECT_EQ(fake.prompts.Take().size(), 1u);
}

}  // namespace
}  // namespace zorvtest
