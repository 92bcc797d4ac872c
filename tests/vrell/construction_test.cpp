// vrell's construction run: the knowledge and choices as the engine receives them (a recording
// engine), the listing, the manual network of a skipped run, the run's own ODBC connection, and
// the real engine's cancel and error paths.
#include <QTimer>
#include <fstream>

#include "tests/support/odbc_servers.h"
#include "tests/vrell/vrell_fixture.h"
#include "vrell/result_listing.h"

namespace vrelltest {
namespace {

using Matrix = vb::Array<Integer>;

// An (n + 1) x (n + 1) matrix with the given cells set.
Matrix Cells(int n, std::vector<std::tuple<int, int, int>> cells) {
    Matrix m(vb::To(n), vb::To(n));
    for (const auto& [a, b, v] : cells) m(a, b) = Integer(v);
    return m;
}

vb::Array<std::string> Names(std::vector<std::string> names) {
    vb::Array<std::string> out(vb::To(int(names.size())));
    for (size_t i = 0; i < names.size(); ++i) out(int(i)) = names[i];
    return out;
}

bool Same(const Matrix& a, const Matrix& b) {
    if (a.dims() != b.dims() || a.LBound(1) != b.LBound(1) || a.UBound(1) != b.UBound(1)) return false;
    if (a.dims() == 1) {
        for (int i = a.LBound(1); i <= a.UBound(1); ++i)
            if (a(i) != b(i)) return false;
        return true;
    }
    if (a.UBound(2) != b.UBound(2)) return false;
    for (int i = a.LBound(1); i <= a.UBound(1); ++i)
        for (int j = a.LBound(2); j <= a.UBound(2); ++j)
            if (a(i, j) != b(i, j)) return false;
    return true;
}

TEST(ResultListing, LinkTextsBlanksAndLineBreaks) {
    const vb::Array<std::string> names = Names({"A", "B", "C", "D", "E", "F"});
    Matrix rst = Cells(6, {{0, 1, 1}, {0, 2, 2}, {1, 2, 3}, {2, 3, 4}});
    EXPECT_EQ(vrell::ListLinks(rst, names, 6), "A -> B   A <- C   B -- C   C <> D   \r\n");
    rst(4, 5) = 1;
    rst(0, 0) = -1;  // the cancel mark is no link
    EXPECT_EQ(vrell::ListLinks(rst, names, 6), "A -> B   A <- C   B -- C   C <> D   \r\nE -> F   ");
    EXPECT_EQ(vrell::ListLinks(Cells(2, {}), Names({"A", "B"}), 2), "");
}

class ConstructionTest : public VrellTest {
protected:
    void Finish() { wizard->NavButton(kFinish)->click(); }
    RecordingDataSet& Engine() { return *engines.at(0); }
};

TEST_F(ConstructionTest, WithoutKnowledgeTheEngineGetsThePage4ChoicesAndZeroArrays) {
    OpenTable(sample);
    ToLogPage();
    Finish();
    ASSERT_EQ(wizard->CurStep, 7);
    RecordingDataSet& e = Engine();
    EXPECT_EQ(e.table, "Sample");
    EXPECT_EQ(e.fields, 4);
    EXPECT_EQ(e.database, wizard->DataDb);
    EXPECT_EQ((std::vector<std::string>{e.names(0), e.names(1), e.names(2), e.names(3)}),
              (std::vector<std::string>{"A", "B", "D", "C"}));
    EXPECT_EQ(e.names.UBound(), 4);
    EXPECT_EQ(e.frequency, "");
    EXPECT_FALSE(e.ordered);
    for (const Matrix* m : {&e.po, &e.ce, &e.fl}) EXPECT_TRUE(Same(*m, Cells(4, {})));
    EXPECT_TRUE(Same(e.rt, Matrix(vb::To(4))));
    EXPECT_TRUE(Same(e.lf, Matrix(vb::To(4))));
    EXPECT_FLOAT_EQ(e.threshold, 1.0f);
    EXPECT_FALSE(e.preserve);
}

TEST_F(ConstructionTest, PartialOrderingCausesForbiddenLinksRootsAndSettings) {
    OpenTable(sample);
    wizard->table->cboFrq->setCurrentIndex(3);  // D, which leaves the fields
    wizard->NavButton(kNext)->click();
    ASSERT_EQ(wizard->NumFlds, 3);  // A, B, C
    AddPair(2, 0, 1);               // A -> B
    AddPair(2, 1, 2);               // B -> C
    AddPair(1, 0, 2);               // A before C, also an indirect cause
    AddPair(3, 0, 2);               // no link A - C
    wizard::KnowledgePage& k = *wizard->knowledge->page;
    k.lstfld[7]->item(0)->setCheckState(Qt::Checked);  // A a root
    k.lstfld[8]->item(2)->setCheckState(Qt::Checked);  // C a leaf
    k.chkpreserve->click();
    wizard->knowledge->CmbEps->setCurrentIndex(16);  // "0.5"
    wizard->NavButton(kNext)->click();
    ASSERT_EQ(wizard->CurStep, 6);
    Finish();
    RecordingDataSet& e = Engine();
    EXPECT_EQ(e.frequency, "D");
    EXPECT_FLOAT_EQ(e.threshold, 0.5f);
    EXPECT_TRUE(e.preserve);
    EXPECT_TRUE(Same(e.ce, Cells(3, {{0, 1, 1}, {1, 2, 1}})));
    EXPECT_TRUE(Same(e.po, Cells(3, {{0, 1, 1}, {1, 2, 1}, {0, 2, 2}})));
    EXPECT_TRUE(Same(e.fl, Cells(3, {{0, 2, 1}, {2, 0, 1}})));
    Matrix rt(vb::To(3)), lf(vb::To(3));
    rt(0) = 1;
    lf(2) = 1;
    EXPECT_TRUE(Same(e.rt, rt));
    EXPECT_TRUE(Same(e.lf, lf));
}

TEST_F(ConstructionTest, ACompleteOrderingReordersTheFieldsAndMovesTheKnowledge) {
    OpenTable(sample);
    wizard->NavButton(kNext)->click();
    AddPair(2, 0, 1);  // A -> B
    AddPair(3, 1, 2);  // no link B - D
    wizard::KnowledgePage& k = *wizard->knowledge->page;
    k.lstfld[4]->setCurrentRow(3);  // C to the top: C, A, B, D
    for (int i = 0; i < 3; ++i) k.cmdup_Click();
    wizard->NavButton(kNext)->click();
    ASSERT_EQ(wizard->CurStep, 6);
    result = [](Matrix& rst) { rst(1, 2) = 1; };
    Finish();
    RecordingDataSet& e = Engine();
    EXPECT_TRUE(e.ordered);
    EXPECT_EQ((std::vector<std::string>{e.names(0), e.names(1), e.names(2), e.names(3)}),
              (std::vector<std::string>{"C", "A", "B", "D"}));
    EXPECT_TRUE(Same(e.ce, Cells(4, {{1, 2, 1}})));
    EXPECT_TRUE(Same(e.fl, Cells(4, {{2, 3, 1}, {3, 2, 1}})));
    EXPECT_TRUE(Same(e.po, Cells(4, {})));
    // The listing names the fields in the engine's order.
    EXPECT_EQ(wizard->finished->txtrst->toPlainText(), "A -> B   ");
}

TEST_F(ConstructionTest, ASkippedRunListsTheCausesAndEffectsAlsoAgainstTheFieldOrder) {
    OpenTable(sample);
    wizard->NavButton(kNext)->click();
    AddPair(2, 0, 1);  // A -> B
    AddPair(2, 3, 2);  // C -> D: the cause comes after its effect in the field order
    wizard->NavButton(kNext)->click();
    fake.prompts.answers = {true};
    wizard->NavButton(kNext)->click();
    fake.prompts.Take();
    ASSERT_EQ(wizard->CurStep, 7);
    EXPECT_EQ(Engine().constructs, 0);
    EXPECT_EQ(wizard->rst(0, 1), 1);
    EXPECT_EQ(wizard->rst(2, 3), 2);
    EXPECT_EQ(wizard->finished->txtrst->toPlainText(), "A -> B   D <- C   ");
}

TEST_F(ConstructionTest, AnOdbcSourceRunsOnAConnectionOfItsOwnLeftOpen) {
    const testsupport::OdbcServers& servers = testsupport::StartOdbcServers();
    MakeWizard();
    wizard->NavButton(kNext)->click();
    wizard->format->lstdbfmt->setCurrentRow(16);
    wizard->NavButton(kNext)->click();
    ASSERT_EQ(wizard->CurStep, 3);
    wizard->odbc->values->cboDrivers->setEditText(QString::fromStdString(servers.sqliteDriver));
    wizard->odbc->values->txtDatabase->setText(sample);
    wizard->NavButton(kNext)->click();
    ASSERT_EQ(wizard->CurStep, 4);
    wizard->table->cboTbName->setCurrentIndex(wizard->table->cboTbName->findText("Sample"));
    ToLogPage();
    Finish();
    ASSERT_EQ(wizard->CurStep, 7);
    RecordingDataSet& e = Engine();
    ASSERT_TRUE(e.database);
    EXPECT_NE(e.database, wizard->DataDb);
    EXPECT_EQ(e.database.use_count(), 1);  // the wizard let go of it
    EXPECT_EQ(e.database->Connect().rfind("ODBC;", 0), 0u);
    // Still open: the engine reads through it later.
    EXPECT_EQ(e.database->OpenRecordset("SELECT Count(*) FROM Sample")->GetRows(1)(0, 0).ToDouble(), 800);
}

TEST_F(ConstructionTest, CancelPostedBeforeFinishStopsTheRealEngineInItsFirstProgressEvent) {
    realEngine = true;
    OpenTable(sample);
    ToLogPage();
    QTimer::singleShot(0, wizard.get(), [this] {
        fake.prompts.answers = {true};
        wizard->NavButton(kCancel)->click();
    });
    Finish();
    EXPECT_EQ(fake.prompts.Take(), std::vector<Box>{Question("Cancel the construction process?")});
    EXPECT_EQ(wizard->CurStep, 6);
    EXPECT_FALSE(wizard->MyDataSet);
    EXPECT_FALSE(wizard->Running);
    EXPECT_TRUE(wizard->logs->ProgressBar1->isHidden());
    EXPECT_TRUE(wizard->logs->lblprocessing->isHidden());
    EXPECT_TRUE(wizard->finished->txtrst->toPlainText().isEmpty());
    EXPECT_TRUE(wizard->NavButton(kBack)->isEnabled());
}

TEST_F(ConstructionTest, CancelDuringConstructionMarksTheResultAndKeepsThePage) {
    realEngine = true;
    OpenTable(sample);
    ToLogPage();
    QObject::connect(wizard->logs->ProgressBar1, &QProgressBar::valueChanged, wizard.get(), [this] {
        if (wizard->StatusStr == "Construction in progress...") wizard->CancelCall = -1;
    });
    Finish();
    EXPECT_EQ(wizard->CurStep, 6);
    EXPECT_EQ(wizard->rst(0, 0), -1);
    EXPECT_TRUE(wizard->MyDataSet);  // until the next run replaces it
    EXPECT_TRUE(wizard->logs->ProgressBar1->isHidden());
    EXPECT_TRUE(wizard->finished->txtrst->toPlainText().isEmpty());
}

TEST_F(ConstructionTest, TheProgressHandlerShowsWholePercentsUpTo100AndHandsBackTheCancel) {
    MakeWizard();
    wizard->StatusStr = "Construction in progress...";
    bool cancel = true;
    wizard->MyDataSet_PercentDone(42.7f, cancel);
    EXPECT_FALSE(cancel);
    EXPECT_EQ(wizard->logs->ProgressBar1->value(), 42);
    EXPECT_EQ(wizard->logs->lblprocessing->text(), "Construction in progress...42%");
    wizard->CancelCall = -1;
    wizard->MyDataSet_PercentDone(250.0f, cancel);
    EXPECT_TRUE(cancel);
    EXPECT_EQ(wizard->logs->ProgressBar1->value(), 100);
    EXPECT_EQ(wizard->logs->lblprocessing->text(), "Construction in progress...100%");
}

TEST_F(ConstructionTest, ClosingTheWindowDuringARunCancelsItAndClosesWhenItHasEnded) {
    realEngine = true;
    OpenTable(sample);
    ToLogPage();
    bool asked = false;
    QObject::connect(wizard->logs->ProgressBar1, &QProgressBar::valueChanged, wizard.get(), [this, &asked] {
        if (asked || !wizard->Running) return;
        asked = true;
        // Cancel is the one control left to act on the run.
        for (int b : {kHelp, kBack, kNext, kFinish, 5}) EXPECT_FALSE(wizard->NavButton(b)->isEnabled()) << b;
        EXPECT_TRUE(wizard->NavButton(kCancel)->isEnabled());
        for (QWidget* w : std::initializer_list<QWidget*>{wizard->logs->cmdlog1, wizard->logs->cmdlog2,
                                                           wizard->logs->txtinputlog, wizard->logs->txtoutputlog})
            EXPECT_FALSE(w->isEnabled());
        fake.prompts.answers = {true};
        wizard->close();
        EXPECT_FALSE(wizard->Unloaded());  // not while the engine runs
    });
    Finish();
    EXPECT_EQ(fake.prompts.Take(), std::vector<Box>{Question("Cancel the construction process?")});
    EXPECT_TRUE(wizard->Unloaded());
    EXPECT_FALSE(wizard->Running);
    EXPECT_TRUE(wizard->finished->txtrst->toPlainText().isEmpty());
}

TEST_F(ConstructionTest, AnInputLogOfAnotherTableIsTheEnginesErrorAndReleasesIt) {
    // A log written by a run over another table.
    testsupport::TableSpec other{"Other", {{"X", db::dbText}, {"Y", db::dbText}}, {}};
    for (int r = 0; r < 40; ++r) other.rows.push_back({db::Value(r % 2 ? "p" : "q"), db::Value(r % 3 ? "u" : "v")});
    const std::string otherFile = Path("other.db").toStdString(), log = Path("other.log").toStdString();
    testsupport::CreateSqliteFile(otherFile, {other});
    {
        std::shared_ptr<vrellapi::IDataSet> engine = NewRealDataSet();
        std::shared_ptr<db::Database> database = db::DBEngine::OpenDatabase(otherFile, false, true, "");
        std::string tb = "Other", cnt, logi, logo = log;
        Integer n = 2;
        vb::Array<std::string> names = Names({"X", "Y"});
        Matrix po = Cells(2, {}), ce = po, fl = po, rt(vb::To(2)), lf(vb::To(2));
        bool bord = false, bpres = false;
        vb::Single perc = 1;
        Matrix rst = Cells(2, {});
        engine->Init(database, tb, n, names, cnt, bord, po, ce, fl, rt, lf, logi, logo);
        engine->Construct(perc, bpres, rst);
    }
    realEngine = true;
    OpenTable(sample);
    ToLogPage();
    wizard->logs->txtinputlog->setText(QString::fromStdString(log));
    Finish();
    EXPECT_EQ(fake.prompts.Take(), std::vector<Box>{Plain("Invalid input log file")});
    EXPECT_EQ(wizard->CurStep, 6);
    EXPECT_FALSE(wizard->MyDataSet);
    EXPECT_TRUE(wizard->logs->lblprocessing->isHidden());
}

}  // namespace
}  // namespace vrelltest
