// "Finished!": the network editor's exchange with the result, the export with its progress
// window, and the running report saved and printed.
#include <QApplication>
#include <QFile>
#include <QTimer>
#include <filesystem>

#include "tests/vrell/vrell_fixture.h"
#include "wizard_common/model/running_report.h"

namespace vrelltest {
namespace {

const QString kExportTitle = "Export the result to Netica, Hugin or Interchange format";

class FinishTest : public VrellTest {
protected:
    // A run over the sample's four fields whose result is `cells` ((i, j, code), i < j).
    void RunTo7(std::vector<std::array<int, 3>> cells) {
        result = [cells](vb::Array<Integer>& rst) {
            for (const auto& c : cells) rst(c[0], c[1]) = Integer(c[2]);
        };
        OpenTable(sample);
        ToLogPage();
        wizard->NavButton(kFinish)->click();
        ASSERT_EQ(wizard->CurStep, 7);
    }
    RecordingDataSet& Engine() { return *engines.back(); }
    int Index(const char* name) const {
        for (int i = 0; i < wizard->NumFlds; ++i)
            if (wizard->arrfldnm(i) == name) return i;
        return -1;
    }
    Integer Cell(const char* a, const char* b) const {
        const int i = Index(a), j = Index(b);
        return i < j ? wizard->rst(i, j) : wizard->rst(j, i);
    }
    // Opens the editor; `inside` runs while it is shown modal.
    void OpenEditor(const std::function<void(vrell::FrmBNeditor&)>& inside) {
        QTimer::singleShot(0, [this, inside] {
            vrell::FrmBNeditor* e = wizard->Editor();
            ASSERT_NE(e, nullptr);
            ASSERT_TRUE(e->isVisible());
            inside(*e);
            if (e->isVisible()) e->reject();
        });
        wizard->finished->cmdeditor->click();
    }
    static void Press(vrell::FrmBNeditor& e, const char* key) { e.Action(key)->trigger(); }
};

TEST_F(FinishTest, ReturnWritesTheLinksAlongTheClosureKeepsTheFirstResultAndListsTheEdit) {
    // A -> B -> C and A -- C: the path orients A -- C; D <> C stays a link without direction.
    ASSERT_NO_FATAL_FAILURE(RunTo7({}));
    auto set = [this](const char* a, const char* b, Integer code) {
        const int i = Index(a), j = Index(b);
        wizard->rst(std::min(i, j), std::max(i, j)) = i < j ? code : Integer(code == 1 ? 2 : code == 2 ? 1 : code);
    };
    set("A", "B", 1);
    set("B", "C", 1);
    set("A", "C", 3);
    set("D", "C", 4);
    OpenEditor([](vrell::FrmBNeditor& e) {
        EXPECT_EQ(e.windowTitle(), "Belief Network Editor - Sample");
        EXPECT_EQ(e.pane->model().NodeCount(), 4);
        EXPECT_EQ(e.pane->model().Node(1).Text(), " " + e.pane->model().NodeName(1));
        EXPECT_EQ(e.Action("return")->toolTip(), "Save changes && return");
        EXPECT_TRUE(e.Action("draw")->isCheckable());
        Press(e, "return");
    });
    EXPECT_TRUE(wizard->BneLoad);
    ASSERT_NE(wizard->Editor(), nullptr);
    EXPECT_FALSE(wizard->Editor()->isVisible());
    const int a = Index("A"), c = Index("C");
    EXPECT_EQ(Cell("A", "C"), a < c ? 1 : 2);
    EXPECT_EQ(Cell("D", "C"), 3);
    EXPECT_EQ(Cell("A", "B"), Index("A") < Index("B") ? 1 : 2);
    EXPECT_EQ(wizard->rstSaved(0, 0), 7);
    EXPECT_EQ(wizard->rstSaved(std::min(Index("D"), c), std::max(Index("D"), c)), 4);
    const QString text = wizard->finished->txtrst->toPlainText();
    const qsizetype at = text.indexOf("\n\nAfter editing:\n");
    ASSERT_GE(at, 0);
    // Four links on one line, each with three blanks.
    const QStringList edited = text.mid(at).split("\n", Qt::SkipEmptyParts);
    ASSERT_EQ(edited.size(), 2);
    EXPECT_EQ(edited[1].count("   "), 4);

    // Reopened, the hidden window shows the edit; a second return keeps the first result.
    vrell::FrmBNeditor* first = wizard->Editor();
    OpenEditor([first](vrell::FrmBNeditor& e) {
        EXPECT_EQ(&e, first);
        Press(e, "return");
    });
    EXPECT_EQ(wizard->rstSaved(std::min(Index("D"), c), std::max(Index("D"), c)), 4);
    EXPECT_EQ(wizard->rstSaved(std::min(a, c), std::max(a, c)), 3);
    EXPECT_EQ(text.count("After editing:") + 1, wizard->finished->txtrst->toPlainText().count("After editing:"));

    // Cancel drops the window; the next one starts again from rst.
    OpenEditor([](vrell::FrmBNeditor& e) { Press(e, "cancel"); });
    EXPECT_EQ(wizard->Editor(), nullptr);
    EXPECT_FALSE(wizard->BneLoad);
    wizard->rst(std::min(a, c), std::max(a, c)) = 0;
    OpenEditor([a, c](vrell::FrmBNeditor& e) {
        EXPECT_EQ(e.pane->model().Linked()(a + 1, c + 1), 0);
        EXPECT_EQ(e.pane->model().Linked()(c + 1, a + 1), 0);
        Press(e, "return");
    });

    // Back from page 7 unloads the editor.
    wizard->NavButton(kBack)->click();
    EXPECT_EQ(wizard->Editor(), nullptr);
    EXPECT_FALSE(wizard->BneLoad);
}

TEST_F(FinishTest, EveryCodeComesInAsALinkAndOutUnchangedButThreeAndFourGiveThree) {
    ASSERT_NO_FATAL_FAILURE(RunTo7({}));
    // Four fields, pairs (0,1) 1, (0,2) 2, (1,3) 3, (2,3) 4: no path orients 3 or 4.
    wizard->rst(0, 1) = 1;
    wizard->rst(0, 2) = 2;
    wizard->rst(1, 3) = 3;
    wizard->rst(2, 3) = 4;
    vb::Array<std::string> names(vb::To(4));
    vb::Array<int16_t> graph(vb::To(4), vb::To(4)), ord(vb::To(4), vb::To(4));
    wizard->GetValue(names, graph, ord);
    EXPECT_EQ(names(1), wizard->arrfldnm(0));
    EXPECT_EQ(graph(1, 2) + graph(2, 1) + graph(1, 3) + graph(3, 1) + graph(2, 4) + graph(4, 2) + graph(3, 4) +
                  graph(4, 3),
              8);
    EXPECT_EQ(ord(1, 2), 1);
    EXPECT_EQ(ord(3, 1), 1);
    EXPECT_EQ(ord(2, 4) + ord(4, 2) + ord(3, 4) + ord(4, 3), 0);
    wizard->PutValue(graph, ord);
    EXPECT_EQ(wizard->rst(0, 1), 1);
    EXPECT_EQ(wizard->rst(0, 2), 2);
    EXPECT_EQ(wizard->rst(1, 3), 3);
    EXPECT_EQ(wizard->rst(2, 3), 3);
    EXPECT_EQ(wizard->rst(0, 3), 0);
}

TEST_F(FinishTest, TheEditorWindowKeepsItsMinimumSize) {
    ASSERT_NO_FATAL_FAILURE(RunTo7({{0, 1, 1}}));
    vrell::FrmBNeditor editor(fake.bundle(), *wizard);
    editor.show();
    editor.resize(200, 100);  // 3000 x 1500 twips
    QApplication::processEvents();
    EXPECT_GE(editor.width(), 4000 / 15);
    EXPECT_GE(editor.height(), 1800 / 15);
    // The viewport leaves the toolbar's and the bars' margins of the window.
    editor.resize(600, 400);
    QApplication::processEvents();
    EXPECT_EQ(editor.pane->model().ViewportWidth(), 600 * 15 - 200);
    EXPECT_EQ(editor.pane->model().ViewportHeight(), 400 * 15 - 896);
}

TEST_F(FinishTest, ExportRefusesUnorientedLinksAndAskedFilesAndHandsRstUnchanged) {
    ASSERT_NO_FATAL_FAILURE(RunTo7({{0, 1, 3}, {1, 2, 3}, {2, 3, 1}}));
    EXPECT_EQ(wizard->finished->cmdexport->toolTip(), "Export the belief net to other formats");
    const QString target = Path("net.dne");
    fake.files.answers = {target};
    wizard->finished->cmdexport->click();
    EXPECT_EQ(fake.prompts.Take(),
              std::vector<Box>{Plain("2 edges have not been oriented, please use 'BN editor' to orient them first.")});
    EXPECT_EQ(Engine().learnCPs, 0);
    ASSERT_EQ(fake.files.requests.size(), 1u);
    EXPECT_EQ(fake.files.requests[0].title, kExportTitle);
    EXPECT_EQ(fake.files.requests[0].filter,
              "Netica file (*.dne)|*.dne|Hugin net file (*.net)|*.net|Bayesian Interchange 0.15 (*.bif)|*.bif");
    wizard->rst(0, 1) = 4;
    wizard->rst(1, 2) = 1;
    fake.files.answers = {target};
    wizard->rst(1, 2) = 3;
    wizard->finished->cmdexport->click();
    EXPECT_EQ(fake.prompts.Take(),
              std::vector<Box>{Plain("1 edges have not been oriented, please use 'BN editor' to orient them first.")});
    wizard->rst(1, 2) = 4;

    // A read-only file is refused before any question; No to the question writes nothing.
    QFile old(target);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("old");
    old.close();
    std::filesystem::permissions(target.toStdString(), std::filesystem::perms::owner_read);
    fake.files.answers = {target};
    wizard->finished->cmdexport->click();
    EXPECT_EQ(fake.prompts.Take(),
              std::vector<Box>{Warning("The selected file '" + target + "' is not a normal read-write file.")});
    std::filesystem::permissions(target.toStdString(), std::filesystem::perms::owner_all);
    fake.files.answers = {target};
    fake.prompts.answers = {false};
    wizard->finished->cmdexport->click();
    EXPECT_EQ(fake.prompts.Take(), std::vector<Box>{Question("The selected file'" + target + "' exists, overwrite?")});
    EXPECT_EQ(Engine().learnCPs, 0);

    // Only code 4 left: the engine gets rst as it stands, the window ends on its success text.
    const vb::Array<Integer> before = wizard->rst;
    bool checked = false;
    Engine().duringLearnCP = [&] {
        vrell::FrmLearnCP* w = wizard->LearnCPWindow();
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->windowTitle(), "Tormid - Parameter Learning");
        EXPECT_EQ(w->windowModality(), Qt::WindowModal);
        EXPECT_TRUE(w->isVisible());
        EXPECT_EQ(QApplication::activeModalWidget(), w);  // the wizard takes no input
        EXPECT_FALSE(w->btnOK->isEnabled());
        EXPECT_EQ(w->Label1->text(), "BN parameter learning in progress...40%");
        EXPECT_EQ(w->ProgressBar1->value(), 40);
        checked = true;
    };
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        checked = false;
        fake.files.answers = {target};
        fake.prompts.answers = {true};
        wizard->finished->cmdexport->click();
        EXPECT_EQ(fake.prompts.Take(), std::vector<Box>{Question("The selected file'" + target + "' exists, overwrite?")});
        EXPECT_TRUE(checked);
        EXPECT_EQ(Engine().learnFile, target.toStdString());
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 4; ++j) EXPECT_EQ(Engine().learnGraf(i, j), before(i, j));
        vrell::FrmLearnCP* w = wizard->LearnCPWindow();
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->Label1->text(), "Parameter Learning finished successfully!");
        EXPECT_EQ(w->ProgressBar1->value(), w->ProgressBar1->maximum());  // not the last event's 40
        EXPECT_TRUE(w->btnOK->isEnabled());
        EXPECT_TRUE(wizard->StatusStr.isEmpty());
        // The second export starts from the starting state (checked inside the call).
    }
    // An extension typed decides the format whatever the filter; with none, the filter's.
    struct Case { QString typed; int filter; QString file; };
    for (const Case& c : {Case{Path("hugin"), 1, Path("hugin.net")}, Case{Path("typed.bif"), 1, Path("typed.bif")},
                          Case{Path("netica"), 0, Path("netica.dne")}}) {
        fake.files.answers = {c.typed};
        fake.files.saveFilters = {c.filter};
        wizard->finished->cmdexport->click();
        EXPECT_EQ(Engine().learnFile, c.file.toStdString());
    }
    EXPECT_TRUE(fake.prompts.Take().empty());
    wizard->LearnCPWindow()->btnOK->click();
    QApplication::processEvents();
    EXPECT_EQ(wizard->CancelCall, 0);
}

TEST_F(FinishTest, CancelDuringLearningClosesTheWindowAndAnErrorKeepsItOpen) {
    ASSERT_NO_FATAL_FAILURE(RunTo7({{0, 1, 1}}));
    // The Cancel click waits in the queue until the engine's progress event lets it run.
    Engine().duringLearnCP = [this] {
        // Progress after the window closed goes nowhere.
        bool cancel = false;
        wizard->MyDataSet_PercentDone(90, cancel);
        EXPECT_TRUE(cancel);
    };
    fake.files.answers = {Path("a.bif")};
    QTimer::singleShot(0, [this] {
        ASSERT_NE(wizard->LearnCPWindow(), nullptr);
        wizard->LearnCPWindow()->btnCancel->click();
    });
    wizard->finished->cmdexport->click();
    QApplication::processEvents();
    EXPECT_EQ(wizard->CancelCall, -1);
    EXPECT_TRUE(Engine().learnCancelled);
    EXPECT_EQ(wizard->LearnCPWindow(), nullptr);
    EXPECT_TRUE(fake.prompts.Take().empty());

    Engine().duringLearnCP = nullptr;
    Engine().learnError = true;
    fake.files.answers = {Path("b.bif")};
    wizard->finished->cmdexport->click();
    EXPECT_EQ(fake.prompts.Take(), std::vector<Box>{Warning("Path/File access error")});
    ASSERT_NE(wizard->LearnCPWindow(), nullptr);
    EXPECT_FALSE(wizard->LearnCPWindow()->btnOK->isEnabled());
    EXPECT_NE(wizard->LearnCPWindow()->Label1->text(), "Parameter Learning finished successfully!");
    EXPECT_LT(wizard->LearnCPWindow()->ProgressBar1->value(), wizard->LearnCPWindow()->ProgressBar1->maximum());
    wizard->LearnCPWindow()->close();
    QApplication::processEvents();
}

TEST_F(FinishTest, TheSavedReportIsTheBuiltOneInCrLfLinesAndThePrintedOneTheSameOperations) {
    ASSERT_NO_FATAL_FAILURE(RunTo7({{0, 1, 1}, {2, 3, 4}}));
    wizard->PutValue([] {
        vb::Array<int16_t> g(vb::To(4), vb::To(4));
        g(1, 2) = g(2, 1) = 1;
        return g;
    }(), [] {
        vb::Array<int16_t> o(vb::To(4), vb::To(4));
        o(1, 2) = 1;
        return o;
    }());
    wizard::ReportTextSink expected;
    wizard::BuildVrellReport(wizard->ReportData(), std::time_t(fake.shell.now.toSecsSinceEpoch()), expected);
    const QString target = Path("report.txt");
    fake.files.answers = {target};
    wizard->finished->cmdSave->click();
    ASSERT_EQ(fake.files.requests.size(), 1u);
    EXPECT_EQ(fake.files.requests[0].title, "Save the result with additional information");
    QFile saved(target);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    const QByteArray bytes = saved.readAll();
    EXPECT_EQ(bytes.toStdString(), expected.Text());
    EXPECT_TRUE(bytes.contains("Database:  " + sample.toUtf8() + "\r\n"));
    EXPECT_TRUE(bytes.contains("After Editing:\r\n"));

    wizard->finished->cmdPrint->click();
    wizard::ReportRecorder ops;
    wizard::BuildVrellReport(wizard->ReportData(), std::time_t(fake.shell.now.toSecsSinceEpoch()), ops);
    ASSERT_EQ(fake.printer.reports.size(), 1u);
    EXPECT_EQ(fake.printer.reports[0], ops.ops());

    // A folder that does not exist: the error's text, no file.
    const QString missing = Path("no/such/report.txt");
    fake.files.answers = {missing};
    wizard->finished->cmdSave->click();
    EXPECT_EQ(fake.prompts.Take(), std::vector<Box>{Warning("Path not found: '" + missing + "'")});
    EXPECT_FALSE(QFile::exists(missing));
    fake.printer.reportError = "Printer error";
    wizard->finished->cmdPrint->click();
    EXPECT_EQ(fake.prompts.Take(), std::vector<Box>{Warning("Printer error")});
}

}  // namespace
}  // namespace vrelltest
