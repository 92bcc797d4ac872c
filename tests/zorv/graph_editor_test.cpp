// The graph editor frame over the wizard: one window per network with its caption and number,
// the wizard blocked while it is open, the toolbar, the close question and saving back into
// GraphArr; and a user editing networks the real engine learned.
// The engine's own headers first: they name members "slots", which Qt's headers define away.
#include "classifier_engine/data_engine.h"

#include <QApplication>
#include <QMdiSubWindow>
#include <QTemporaryDir>

#include "tests/support/network_sampler.h"
#include "tests/support/qt/canvas_events.h"
#include "tests/zorv/zorv_fixture.h"
#include "zorv/frm_bne.h"
#include "zorv/frm_mdi_bne.h"
#include "zorv/learned_model.h"

namespace zorvtest {
namespace {

using wizard::Answer;
using zorv::FrmBNE;
using zorv::FrmMDIBNE;

const QString kSaveSingle = "The network has changed.\r\nSave the changes?";

class GraphEditorTest : public ZorvTest {
protected:
    // Fields Class, B, C, D; class values a, b, c. Layer 0: Class -> B, B -- C, D alone.
    // Layers 1..3: the class-value networks, each with a cell in the class field's row.
    void Model(bool multiNet, bool featureSelected = false) {
        session.FieldCount = 4;
        session.FieldNames = {"", "Class", "B", "C", "D"};
        session.FieldUsed = {0, 0, 1, 0, 1};
        session.NetCount = 3;
        session.ClassLabels = {"", "a", "b", "c"};
        session.IsMultiNetFlag = multiNet;
        session.FeatureSelected = featureSelected;
        session.GraphArr.ReDim(vb::To(3), vb::To(4), vb::To(4));
        session.GraphArr(0, 1, 2) = 1;
        session.GraphArr(0, 2, 3) = 3;
        for (int16_t k = 1; k <= 3; ++k) {
            session.GraphArr(k, 1, 3) = 2;
            session.GraphArr(k, 2, 3) = 1;
            session.GraphArr(k, 3, 4) = k;  // 1, 2 and 3: C -> D, D -> C, C -- D
        }
    }

    FrmMDIBNE* Open(ScriptedWizard& w) {
        w.cmdeditor_Click();
        return w.findChild<FrmMDIBNE*>("FrmMDIBNE");
    }
    // Runs the frame's deferred deletion, so that it is gone once closed.
    static void Settle() { QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

    // Deletes the arc between nodes a and b of the window (select it, then Delete).
    static void DeleteArc(FrmBNE& window, int16_t a, int16_t b) {
        const int32_t s = window.model().ArcIndex()(a, b);
        ASSERT_GT(s, 0);
        const wizard::Segment& seg = window.model().Lines(s).arc.seg;
        testsupport::CanvasEvents ev(window);
        ev.Click(Whole((seg.x1 + seg.x2) / 2), Whole((seg.y1 + seg.y2) / 2));
        ASSERT_EQ(window.model().SelectedArc(), s);
        ev.Key(Qt::Key_Delete);
    }
    static float Whole(float twips) { return float(int(twips) / wizard::kTwipsPerPixel * wizard::kTwipsPerPixel); }
};

TEST_F(GraphEditorTest, SingleNetOpensOneWindowOverTheBlockedWizard) {
    Model(false);
    ScriptedWizard& w = MakeWizard();
    w.show();
    FrmMDIBNE* frame = Open(w);
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->windowTitle(), "Bayesian Network");
    EXPECT_TRUE(frame->isWindow());
    EXPECT_EQ(frame->parentWidget(), &w);
    EXPECT_EQ(QApplication::activeModalWidget(), frame);
    ASSERT_EQ(frame->Windows().size(), 1u);
    FrmBNE* window = frame->Windows()[0];
    EXPECT_EQ(window->Tag(), "0");
    EXPECT_EQ(window->windowTitle(), "");
    EXPECT_EQ(session.FirstNode, 1);
    EXPECT_EQ(session.NetState.size(), 2u);
    EXPECT_EQ(session.EditorForms[0], window);
    EXPECT_EQ(window->model().NodeCount(), 4);
    EXPECT_EQ(window->model().Directed()(1, 2), 1);
    EXPECT_EQ(window->model().Node(1).backColour, wizard::kClassNodeColour);

    frame->findChild<QAction*>("help")->trigger();
    const std::vector<Box> help = fake.prompts.Take();
    ASSERT_EQ(help.size(), 1u);
    EXPECT_EQ(help[0], Plain(QString::fromStdString(wizard::EditorHelpText())));
    EXPECT_EQ(help[0].title, "Help - Belief Network Editor");

    // An unchanged window closes without a question; the actions that need one go off.
    frame->mdi->subWindowList().first()->close();
    Settle();
    EXPECT_TRUE(session.NetState[0].closed);
    EXPECT_FALSE(frame->findChild<QAction*>("save")->isEnabled());
    EXPECT_FALSE(frame->findChild<QAction*>("utility")->isEnabled());
    EXPECT_TRUE(frame->findChild<QAction*>("help")->isEnabled());
    frame->close();
    Settle();
    EXPECT_EQ(w.findChild<FrmMDIBNE*>(), nullptr);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_EQ(w.listings, 0);  // nothing saved: the listing stays
    EXPECT_FALSE(session.GraphChanged);
}

TEST_F(GraphEditorTest, MultiNetOfThreeClassValuesSavesItsLayerOnly) {
    Model(true, true);
    ScriptedWizard& w = MakeWizard();
    w.show();
    FrmMDIBNE* frame = Open(w);
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->windowTitle(), "Bayesian Multi_net (with feature selection)");
    EXPECT_EQ(session.FirstNode, 2);
    const std::vector<FrmBNE*> windows = frame->Windows();
    ASSERT_EQ(windows.size(), 3u);
    for (int k = 1; k <= 3; ++k) {
        SCOPED_TRACE(k);
        FrmBNE* window = windows[size_t(k - 1)];
        EXPECT_EQ(window->Tag(), QString::number(k));
        EXPECT_EQ(window->windowTitle(), "Class = " + QString::fromStdString(session.ClassLabels[size_t(k)]));
        ASSERT_EQ(window->model().NodeCount(), 3);  // B, C, D: the class field has no node
        EXPECT_EQ(window->model().NodeName(1), "B");
        EXPECT_EQ(window->model().Node(1).backColour, wizard::kFeatureNodeColour);
        EXPECT_EQ(window->model().Directed()(1, 2), 1);
    }
    EXPECT_EQ(windows[2]->model().Directed()(2, 3) + windows[2]->model().Directed()(3, 2), 0);

    // The draw button is one mode for every window and drops the active window's pending start.
    frame->mdi->setActiveSubWindow(frame->mdi->subWindowList()[1]);
    QAction* draw = frame->findChild<QAction*>("draw");
    draw->trigger();
    EXPECT_TRUE(session.DrawMode);
    for (FrmBNE* window : windows) EXPECT_TRUE(window->model().DrawMode());
    testsupport::CanvasEvents(*windows[1]).ClickNode(1);
    EXPECT_TRUE(windows[1]->model().StartPending());
    draw->trigger();
    EXPECT_FALSE(session.DrawMode);
    EXPECT_FALSE(windows[1]->model().StartPending());

    // Class value b: delete B -> C and save; layers 0, 1 and 3 and the class row stay.
    const vb::Array<int16_t> before = session.GraphArr;
    DeleteArc(*windows[1], 1, 2);
    EXPECT_TRUE(session.NetState[2].changed);
    frame->findChild<QAction*>("save")->trigger();
    EXPECT_FALSE(session.NetState[2].changed);
    EXPECT_TRUE(session.ModelChanged);
    EXPECT_TRUE(session.GraphChanged);
    for (int net = 0; net <= 3; ++net)
        for (int i = 0; i <= 4; ++i)
            for (int j = 0; j <= 4; ++j) {
                const bool edited = net == 2 && i >= 2 && j >= 2 && i != j;
                if (!edited) {
                    EXPECT_EQ(session.GraphArr(net, i, j), before(net, i, j)) << net << i << j;
                }
            }
    EXPECT_EQ(session.GraphArr(2, 2, 3), 0);
    EXPECT_EQ(session.GraphArr(2, 3, 2), 0);
    EXPECT_EQ(session.GraphArr(2, 3, 4), 2);  // D -> C written on both cells
    EXPECT_EQ(session.GraphArr(2, 4, 3), 1);

    // Tilt: full-width strips, one above the other, in the order the windows were opened.
    frame->findChild<QAction*>("tilt")->trigger();
    const QList<QMdiSubWindow*> subs = frame->mdi->subWindowList(QMdiArea::CreationOrder);
    const int strip = frame->mdi->viewport()->height() / 3;
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(subs[k]->geometry(), QRect(0, k * strip, frame->mdi->viewport()->width(), strip)) << k;
    }

    frame->close();
    Settle();
    EXPECT_EQ(w.listings, 1);
}

TEST_F(GraphEditorTest, CloseQuestionYesNoCancel) {
    Model(false);
    ScriptedWizard& w = MakeWizard();
    w.show();
    FrmMDIBNE* frame = Open(w);
    DeleteArc(*frame->Windows()[0], 1, 2);
    EXPECT_TRUE(session.NetState[0].changed);
    const Box question{kSaveSingle, Box::YesNoCancel, wizard::Icon::Warning, {}};

    // Cancel: the frame and its window stay, and the wizard stays blocked.
    fake.prompts.choices = {Answer::Cancel};
    frame->close();
    Settle();
    std::vector<Box> asked = fake.prompts.Take();
    EXPECT_EQ(asked, std::vector<Box>{question});
    EXPECT_EQ(asked[0].title, "Bayesian Network");
    ASSERT_EQ(w.findChild<FrmMDIBNE*>(), frame);
    EXPECT_TRUE(frame->isVisible());
    EXPECT_EQ(frame->Windows().size(), 1u);
    EXPECT_EQ(QApplication::activeModalWidget(), frame);

    // No on the window's own close: the edit is lost.
    fake.prompts.choices = {Answer::No};
    frame->mdi->subWindowList().first()->close();
    Settle();
    EXPECT_EQ(fake.prompts.Take(), std::vector<Box>{question});
    EXPECT_TRUE(frame->Windows().empty());
    EXPECT_EQ(session.GraphArr(0, 1, 2), 1);
    frame->close();
    Settle();
    EXPECT_EQ(w.listings, 0);

    // Yes on closing the frame: saved, both cells, and the listing rewritten.
    frame = Open(w);
    EXPECT_FALSE(session.NetState[0].changed);  // a new record per opening
    DeleteArc(*frame->Windows()[0], 1, 2);
    fake.prompts.choices = {Answer::Yes};
    frame->close();
    Settle();
    EXPECT_EQ(fake.prompts.Take(), std::vector<Box>{question});
    EXPECT_EQ(w.findChild<FrmMDIBNE*>(), nullptr);
    EXPECT_EQ(session.GraphArr(0, 1, 2), 0);
    EXPECT_EQ(session.GraphArr(0, 2, 1), 0);
    EXPECT_EQ(session.GraphArr(0, 2, 3), 3);
    EXPECT_EQ(session.GraphArr(0, 3, 2), 3);
    EXPECT_TRUE(session.ModelChanged);
    EXPECT_EQ(w.listings, 1);
}

// Networks the classifier engine learns from a sampled table: the user adds, orients and
// deletes arcs with the mouse and saves; GraphArr then holds the edits.
class LearnedEditorTest : public GraphEditorTest {
protected:
    void Learn(int16_t BMMode) {
        testsupport::Network net;
        const int cls = net.AddNode("Kind", {"LOW", "MID", "HIGH"}, {}, {{0.3, 0.4, 0.3}});
        const int a = net.AddNode("Size", {"S", "L"}, {cls}, {{0.9, 0.1}, {0.5, 0.5}, {0.1, 0.9}});
        const int b = net.AddNode("Weight", {"S", "L"}, {a}, {{0.85, 0.15}, {0.15, 0.85}});
        net.AddNode("Colour", {"R", "G"}, {cls}, {{0.8, 0.2}, {0.5, 0.5}, {0.2, 0.8}});
        net.AddNode("Noise", {"X", "Y"}, {}, {{0.5, 0.5}});
        (void)b;
        testsupport::TableOptions opt;
        opt.table = "Train";
        opt.classNode = cls;
        opt.seed = 11;
        const testsupport::SampledTable table = testsupport::SampleTable(net, 3000, opt);
        auto database = testsupport::WriteSqliteTable(tables.filePath("learn.db").toStdString(), table);
        zorvapi::DataEngine engine;
        zorv::LearnIntoSession(engine, database, "Train", {"Kind", "Size", "Weight", "Colour", "Noise"}, BMMode,
                               2, session);
        database->Close();
    }
    QTemporaryDir tables;
};

TEST_F(LearnedEditorTest, UserEditsALearnedSingleNetAndSavesIt) {
    Learn(1);
    ASSERT_FALSE(session.IsMultiNetFlag);
    ScriptedWizard& w = MakeWizard();
    w.show();
    FrmMDIBNE* frame = Open(w);
    FrmBNE& window = *frame->Windows()[0];
    const wizard::GraphCanvas& m = window.model();
    // What was learned is what the window shows.
    for (int i = 1; i <= 5; ++i)
        for (int j = i + 1; j <= 5; ++j) EXPECT_EQ(m.Linked()(i, j), session.GraphArr(0, i, j) > 0 ? 1 : 0);
    ASSERT_EQ(m.Linked()(1, 2), 1) << "the class and Size are dependent";

    // Delete Kind -- Size; draw Noise -> Weight; reverse it by a double click (Weight -> Noise).
    DeleteArc(window, 1, 2);
    frame->findChild<QAction*>("draw")->trigger();
    testsupport::CanvasEvents ev(window);
    ASSERT_EQ(m.Linked()(5, 3), 0);
    ev.ClickNode(5);
    ev.ClickNode(3);
    EXPECT_EQ(m.Directed()(5, 3), 1);
    frame->findChild<QAction*>("draw")->trigger();
    const wizard::Segment seg = m.Lines(m.ArcIndex()(3, 5)).arc.seg;
    ev.DoubleClick(Whole((seg.x1 + seg.x2) / 2), Whole((seg.y1 + seg.y2) / 2));
    EXPECT_EQ(m.Directed()(3, 5), 1);
    EXPECT_EQ(window.StatusBar1->currentMessage(), "ARC: Weight -> Noise");

    frame->findChild<QAction*>("save")->trigger();
    frame->close();
    Settle();
    EXPECT_EQ(session.GraphArr(0, 1, 2), 0);
    EXPECT_EQ(session.GraphArr(0, 2, 1), 0);
    EXPECT_EQ(session.GraphArr(0, 3, 5), 1);
    EXPECT_EQ(session.GraphArr(0, 5, 3), 2);
    EXPECT_EQ(w.listings, 1);
}

TEST_F(LearnedEditorTest, LearnedMultiNetOpensOneWindowPerClassValue) {
    Learn(2);
    ASSERT_TRUE(session.IsMultiNetFlag);
    ScriptedWizard& w = MakeWizard();
    FrmMDIBNE* frame = Open(w);
    const std::vector<FrmBNE*> windows = frame->Windows();
    ASSERT_EQ(windows.size(), 3u);
    for (int k = 1; k <= 3; ++k) {
        const wizard::GraphCanvas& m = windows[size_t(k - 1)]->model();
        EXPECT_EQ(windows[size_t(k - 1)]->windowTitle(), "Kind = " + QString::fromStdString(session.ClassLabels[size_t(k)]));
        for (int i = 2; i <= 5; ++i)
            for (int j = i + 1; j <= 5; ++j)
                EXPECT_EQ(m.Linked()(i - 1, j - 1), session.GraphArr(k, i, j) > 0 ? 1 : 0) << k << i << j;
    }
    frame->close();
    Settle();
}

}  // namespace
}  // namespace zorvtest
