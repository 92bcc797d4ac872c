// A user walks every page of vrell with keys and clicks over a table drawn from a known network,
// from a database file and through the SQLite ODBC driver, enters a cause-and-effect pair and an
// output log, and reads on "Finished!" the links a direct engine run finds on the same arguments.
#include <QDir>
#include <QFile>
#include <QTabBar>
#include <QTimer>
#include <QtTest/QTest>
#include <filesystem>
#include <map>
#include <set>

#include "tests/support/qt/canvas_events.h"
#include "tests/support/net_parsers.h"
#include "tests/support/odbc_servers.h"
#include "tests/vrell/vrell_fixture.h"
#include "vrell/result_listing.h"

namespace vrelltest {
namespace {

void ClickItem(QListWidget* list, int row) {
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
}

// The engine run by hand: fields in the table's order, the pair A -> B kept by the partial
// ordering it implies, no frequency field, the default threshold.
QString DirectListing(const QString& file) {
    std::shared_ptr<vrellapi::IDataSet> engine = NewRealDataSet();
    std::shared_ptr<db::Database> database = db::DBEngine::OpenDatabase(file.toStdString(), false, true, "");
    std::string tb = "Sample", cnt, logi, logo;
    Integer n = 4;
    vb::Array<std::string> names(vb::To(4));
    const char* order[] = {"A", "B", "D", "C"};
    for (int i = 0; i < 4; ++i) names(i) = order[i];
    vb::Array<Integer> po(vb::To(4), vb::To(4)), ce = po, fl = po, rt(vb::To(4)), lf(vb::To(4)), rst = po;
    ce(0, 1) = 1;
    po(0, 1) = 1;
    bool bord = false, bpres = false;
    vb::Single perc = 1;
    engine->Init(database, tb, n, names, cnt, bord, po, ce, fl, rt, lf, logi, logo);
    engine->Construct(perc, bpres, rst);
    return QString::fromStdString(vrell::ListLinks(rst, names, 4)).replace("\r\n", "\n");
}

class VrellEndToEnd : public VrellTest {
protected:
    // Walks the wizard to "Finished!" and returns the listing.
    QString Walk(bool odbc, const QString& logFile) {
        realEngine = true;
        vrell::FrmWizard& w = MakeWizard();
        w.show();
        auto click = [](QWidget* button) { QTest::mouseClick(button, Qt::LeftButton); };
        click(w.NavButton(kNext));
        ClickItem(w.format->lstdbfmt, odbc ? 16 : 0);
        click(w.NavButton(kNext));
        if (odbc) {
            EXPECT_EQ(w.CurStep, 3);
            const testsupport::OdbcServers& servers = testsupport::StartOdbcServers();
            // The driver box shows the first driver: the user types over it.
            QTest::keyClick(w.odbc->values->cboDrivers, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClicks(w.odbc->values->cboDrivers, QString::fromStdString(servers.sqliteDriver));
            QTest::keyClicks(w.odbc->values->txtDatabase, sample);
        } else {
            EXPECT_EQ(w.CurStep, 2);
            QTest::keyClicks(w.file->txtdbname, sample);
        }
        click(w.NavButton(kNext));
        EXPECT_EQ(w.CurStep, 4);
        w.table->cboTbName->setFocus();
        QTest::keyClick(w.table->cboTbName, Qt::Key_Down);
        EXPECT_EQ(w.table->cboTbName->currentText(), "Sample");
        EXPECT_EQ(w.table->Lstfields->selectedItems().size(), 4);
        click(w.NavButton(kNext));
        EXPECT_EQ(w.CurStep, 5);
        wizard::KnowledgePage& k = *w.knowledge->page;
        QTabBar* tabs = k.SSTab1->tabBar();
        QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(2).center());
        ClickItem(k.lstfld[2], 0);  // A
        ClickItem(k.lstfld[3], 1);  // B
        click(k.cmdright2);
        EXPECT_EQ(k.lstrst[1]->count(), 1);
        click(w.NavButton(kNext));
        EXPECT_EQ(w.CurStep, 6);
        QTest::keyClicks(w.logs->txtoutputlog, logFile);
        click(w.NavButton(kFinish));
        EXPECT_EQ(w.CurStep, 7);
        EXPECT_TRUE(fake.prompts.Take().empty());
        return w.finished->txtrst->toPlainText();
    }
};

TEST_F(VrellEndToEnd, FromAFileAndThroughOdbcTheListingIsTheEnginesAndTheLogIsWritten) {
    const QString expected = DirectListing(sample);
    ASSERT_TRUE(expected.contains("A -> B"));
    int n = 0;
    for (bool odbc : {false, true}) {
        SCOPED_TRACE(odbc ? "ODBC" : "file");
        const QString log = Path(QString("run%1.log").arg(++n));
        EXPECT_EQ(Walk(odbc, log), expected);
        std::error_code ec;
        EXPECT_GT(std::filesystem::file_size(log.toStdString(), ec), 0u);
        fake.prompts.answers = {true};
        wizard->NavButton(kCancel)->click();
        EXPECT_EQ(fake.prompts.Take(), std::vector<Box>{Question("Exit Tormid?")});
        EXPECT_TRUE(wizard->Unloaded());
    }
}

// The user's walk on from "Finished!": the network edited in its editor and handed back, then
// exported in the three formats, a cancelled export over an old file, and the saved report.
class VrellUserEndToEnd : public VrellEndToEnd {
protected:
    static float Whole(float twips) { return float(int(twips) / wizard::kTwipsPerPixel * wizard::kTwipsPerPixel); }
    static void ClickArc(testsupport::CanvasEvents& ev, const wizard::GraphCanvas& m, int16_t a, int16_t b, bool twice) {
        const wizard::Segment seg = m.Lines(m.ArcIndex()(a, b)).arc.seg;
        const float x = Whole((seg.x1 + seg.x2) / 2), y = Whole((seg.y1 + seg.y2) / 2);
        if (twice) ev.DoubleClick(x, y);
        else ev.Click(x, y);
    }
    // Double-clicks every link without direction (declining the inference offers that may
    // follow).
    void OrientUndirectedArcs(vrell::FrmBNeditor& e) {
        const wizard::GraphCanvas& m = e.pane->model();
        testsupport::CanvasEvents ev(*e.pane);
        const int16_t n = wizard->NumFlds;
        for (int16_t a = 1; a <= n; ++a)
            for (int16_t b = int16_t(a + 1); b <= n; ++b)
                if (m.Linked()(a, b) == 1 && m.DirClosure()(a, b) != 1 && m.DirClosure()(b, a) != 1) {
                    // An arc that another one covers is picked only once one of its nodes has
                    // been dragged aside, as a user would.
                    ClickArc(ev, m, a, b, false);
                    if (m.SelectedArc() != m.ArcIndex()(a, b)) {
                        const wizard::CanvasRect r = m.NodeRect(b);
                        const float x = Whole(float(r.left + 300)), y = Whole(float(r.top + 120));
                        ev.Mouse(QEvent::MouseButtonPress, x, y);
                        ev.Mouse(QEvent::MouseMove, x + 600, y);
                        ev.Mouse(QEvent::MouseMove, x + 1200, y);
                        ev.Mouse(QEvent::MouseButtonRelease, x + 1200, y);
                        ClickArc(ev, m, a, b, false);
                    }
                    fake.prompts.answers = {false, false, false, false, false, false};
                    ClickArc(ev, m, a, b, true);
                    fake.prompts.answers.clear();
                    EXPECT_TRUE(m.DirClosure()(a, b) == 1 || m.DirClosure()(b, a) == 1)
                        << m.NodeName(a) << " -- " << m.NodeName(b) << " selected " << m.SelectedArc() << " of "
                        << m.ArcIndex()(a, b) << " status " << m.StatusText();
                }
    }
    // Parents of every field as the wizard's result says.
    std::map<std::string, std::set<std::string>> ResultParents() const {
        std::map<std::string, std::set<std::string>> parents;
        for (int i = 0; i < wizard->NumFlds; ++i) parents[wizard->arrfldnm(i)];
        for (int i = 0; i < wizard->NumFlds; ++i)
            for (int j = i + 1; j < wizard->NumFlds; ++j) {
                const Integer c = wizard->rst(i, j);
                EXPECT_TRUE(c == 0 || c == 1 || c == 2) << "every link oriented";
                if (c == 1) parents[wizard->arrfldnm(j)].insert(wizard->arrfldnm(i));
                if (c == 2) parents[wizard->arrfldnm(i)].insert(wizard->arrfldnm(j));
            }
        return parents;
    }
};

TEST_F(VrellUserEndToEnd, EditExportInThreeFormatsAndSaveTheReport) {
    Walk(false, Path("run.log"));
    vrell::FrmWizard& w = *wizard;
    auto field = [&w](const char* name) -> int16_t {
        for (int i = 0; i < w.NumFlds; ++i)
            if (w.arrfldnm(i) == name) return int16_t(i + 1);
        return 0;
    };
    const int16_t a = field("A"), d = field("D"), c = field("C");
    ASSERT_GT(a, 0);
    ASSERT_GT(d, 0);
    ASSERT_GT(c, 0);

    // In the editor: every link without direction double-clicked, D -- C deleted and drawn
    // again from D to C, A -> D drawn, then "return".
    QTimer::singleShot(0, [&] {
        vrell::FrmBNeditor* e = w.Editor();
        ASSERT_NE(e, nullptr);
        const wizard::GraphCanvas& m = e->pane->model();
        testsupport::CanvasEvents ev(*e->pane);
        OrientUndirectedArcs(*e);
        fake.prompts.Take();
        if (m.Linked()(d, c) == 1) {
            ClickArc(ev, m, d, c, false);
            ev.Key(Qt::Key_Delete);
        }
        EXPECT_EQ(m.Linked()(d, c), 0);
        e->Action("draw")->trigger();
        ev.ClickNode(d);
        ev.ClickNode(c);
        ev.ClickNode(a);
        ev.ClickNode(d);
        e->Action("draw")->trigger();
        EXPECT_EQ(m.Directed()(d, c), 1);
        EXPECT_EQ(m.Directed()(a, d), 1);
        e->Action("return")->trigger();
    });
    QTest::mouseClick(w.finished->cmdeditor, Qt::LeftButton);
    EXPECT_TRUE(fake.prompts.Take().empty());
    EXPECT_TRUE(w.finished->txtrst->toPlainText().contains("After editing:"));
    const std::map<std::string, std::set<std::string>> parents = ResultParents();
    EXPECT_TRUE(parents.at("C").count("D"));
    EXPECT_EQ(parents.at("D"), std::set<std::string>{"A"});

    // The three formats, each with the edited structure and tables near the generating ones.
    const testsupport::Network truth = ChainNetwork();
    for (const char* ext : {"dne", "net", "bif"}) {
        SCOPED_TRACE(ext);
        const QString file = Path(QString("edited.") + ext);
        fake.files.answers = {file};
        QTest::mouseClick(w.finished->cmdexport, Qt::LeftButton);
        EXPECT_TRUE(fake.prompts.Take().empty());
        ASSERT_NE(w.LearnCPWindow(), nullptr);
        EXPECT_EQ(w.LearnCPWindow()->Label1->text(), "Parameter Learning finished successfully!");
        QTest::mouseClick(w.LearnCPWindow()->btnOK, Qt::LeftButton);
        QApplication::processEvents();
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const std::string text = f.readAll().toStdString();
        const testsupport::ParsedNet net = std::string(ext) == "dne"   ? testsupport::ParseNetica(text)
                                           : std::string(ext) == "net" ? testsupport::ParseHugin(text)
                                                                       : testsupport::ParseBif(text);
        ASSERT_EQ(net.nodes.size(), 4u);
        for (const auto& [child, ps] : parents) {
            const testsupport::ParsedNode& node = net.node(child);
            EXPECT_EQ(std::set<std::string>(node.parents.begin(), node.parents.end()), ps) << child;
            const testsupport::Node& real = truth.node(truth.Index(child));
            std::vector<std::string> realParents;
            for (int p : real.parents) realParents.push_back(truth.node(p).name);
            if (node.parents != realParents || node.states != real.states) continue;
            std::vector<double> expected;
            for (const auto& row : real.cpt) expected.insert(expected.end(), row.begin(), row.end());
            ASSERT_EQ(node.probs.size(), expected.size()) << child;
            for (size_t k = 0; k < expected.size(); ++k) EXPECT_NEAR(node.probs[k], expected[k], 0.1) << child << k;
        }
    }

    // A Cancel during learning closes the window and leaves the old file as it was.
    const QString old = Path("old.bif");
    {
        QFile f(old);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("old");
    }
    fake.files.answers = {old};
    fake.prompts.answers = {true};
    QTimer::singleShot(0, [&] {
        if (w.LearnCPWindow()) QTest::mouseClick(w.LearnCPWindow()->btnCancel, Qt::LeftButton);
    });
    QTest::mouseClick(w.finished->cmdexport, Qt::LeftButton);
    QApplication::processEvents();
    EXPECT_EQ(fake.prompts.Take().size(), 1u);  // the overwrite question
    EXPECT_EQ(w.LearnCPWindow(), nullptr);
    {
        QFile f(old);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll(), "old");
    }

    // The saved report, its temporary folder written as "<dir>".
    const QString report = Path("report.txt");
    fake.files.answers = {report};
    QTest::mouseClick(w.finished->cmdSave, Qt::LeftButton);
    QFile f(report);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QString saved = QString::fromUtf8(f.readAll()).replace(dir.path(), "<dir>");
    QFile golden(QString(BNS_TESTS_DIR) + "/vrell/golden/user_report.txt");
    if (qEnvironmentVariableIsSet("BNS_WRITE_GOLDEN") && golden.open(QIODevice::WriteOnly)) {
        golden.write(saved.toUtf8());
        golden.close();
    }
    ASSERT_TRUE(golden.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.toStdString(), QString::fromUtf8(golden.readAll()).toStdString());
}

// On the demo database: every link the construction leaves without direction is oriented in the
// editor, and the network exports.
TEST_F(VrellUserEndToEnd, TheDemoDatabasesNetworkIsOrientedInTheEditorAndExported) {
    realEngine = true;
    MakeWizard();
    OpenTable(BNS_DEMO_DB, "Customers");
    vrell::FrmWizard& w = *wizard;
    for (QListWidgetItem* item : w.table->Lstfields->findItems("ZORV_HoldOut", Qt::MatchExactly))
        item->setSelected(false);
    ToLogPage();
    w.NavButton(kFinish)->click();
    ASSERT_EQ(w.CurStep, 7);
    fake.files.answers = {Path("demo.bif")};
    w.finished->cmdexport->click();
    const std::vector<Box> refused = fake.prompts.Take();
    ASSERT_EQ(refused.size(), 1u) << "the demo's network has links without direction";
    EXPECT_TRUE(refused[0].text.endsWith(" edges have not been oriented, please use 'BN editor' to orient them first."));

    QTimer::singleShot(0, [&] {
        vrell::FrmBNeditor* e = w.Editor();
        ASSERT_NE(e, nullptr);
        OrientUndirectedArcs(*e);
        for (const Box& box : fake.prompts.Take()) ADD_FAILURE() << box.text.toStdString();
        e->Action("return")->trigger();
    });
    w.finished->cmdeditor->click();
    const std::map<std::string, std::set<std::string>> parents = ResultParents();
    fake.files.answers = {Path("demo.bif")};
    w.finished->cmdexport->click();
    EXPECT_TRUE(fake.prompts.Take().empty());
    ASSERT_NE(w.LearnCPWindow(), nullptr);
    EXPECT_EQ(w.LearnCPWindow()->Label1->text(), "Parameter Learning finished successfully!");
    QFile f(Path("demo.bif"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const testsupport::ParsedNet net = testsupport::ParseBif(f.readAll().toStdString());
    ASSERT_EQ(net.nodes.size(), size_t(w.NumFlds));
    for (const auto& [child, ps] : parents) {
        const testsupport::ParsedNode& node = net.node(child);
        EXPECT_EQ(std::set<std::string>(node.parents.begin(), node.parents.end()), ps) << child;
    }
}

}  // namespace
}  // namespace vrelltest
