// The network canvas as widgets: Qt's mouse and key events in the order the editors act on
// them, dragging, the Delete key's focus rule, the captured picture and its clipboard copy and
// bitmap file.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QToolTip>
#include <QTemporaryDir>
#include <filesystem>
#include <fstream>

#include "tests/support/qt/canvas_events.h"
#include "tests/support/qt/fake_services.h"
#include "wizard_common/canvas_pane.h"
#include "wizard_common/graph_pictures.h"

namespace {

using testsupport::Box;
using wizard::CanvasPane;
using wizard::GraphCanvas;

// Four fields: A (the class field), B, C, D; A -- B without direction, C -> D. The grid has
// three columns of two nodes: A (300, 200), B (2300, 200), C (300, 1200), D (2300, 1200).
class CanvasPaneTest : public ::testing::Test {
protected:
    void SetUp() override {
        graph.ReDim(vb::To(0), vb::To(4), vb::To(4));
        graph(0, 1, 2) = 3;
        graph(0, 3, 4) = 1;
        names.ReDim(vb::To(4));
        names(1) = "A", names(2) = "B", names(3) = "C", names(4) = "D";
        used.ReDim(vb::To(4));
        pane = std::make_unique<CanvasPane>(wizard::CanvasSettings::NetworkWindow(), fake.prompts, "Kalvex",
                                            CanvasPane::Names{});
        // Viewport 5005 x 2548 twips: the canvas keeps its width of 6000 and is raised to 2548 high.
        pane->resize(347, 200);
        pane->model().Init(graph, 0, 4, 1, names, used);
        pane->Refresh();
        pane->show();
    }

    void Mouse(QEvent::Type type, float x, float y) { testsupport::CanvasEvents(*pane).Mouse(type, x, y); }
    void Click(float x, float y) { testsupport::CanvasEvents(*pane).Click(x, y); }
    void Key(int key) { testsupport::CanvasEvents(*pane).Key(key); }
    const GraphCanvas& model() const { return pane->model(); }

    testsupport::FakeServices fake;
    GraphCanvas::Matrix graph;
    vb::Array<std::string> names;
    vb::Array<int16_t> used;
    std::unique_ptr<CanvasPane> pane;
};

TEST_F(CanvasPaneTest, ReleaseClicksAndADoubleClickOrientsWithoutAClickAfterIt) {
    // On the shaft A -- B (y = 326 from x = 1512 to 2300).
    Mouse(QEvent::MouseButtonPress, 1905, 330);
    Mouse(QEvent::MouseButtonRelease, 1905, 330);
    EXPECT_EQ(model().ClickX(), 1905);
    EXPECT_EQ(model().SelectedArc(), 1);
    EXPECT_EQ(pane->StatusBar1->currentMessage(), "ARC: A -- B");
    EXPECT_EQ(model().Lines(1).arc.width, 2);

    Mouse(QEvent::MouseButtonDblClick, 1905, 330);
    EXPECT_EQ(model().Directed()(1, 2), 1);
    EXPECT_EQ(pane->StatusBar1->currentMessage(), "ARC: A -> B");
    EXPECT_TRUE(model().Lines(1).tri1.visible);
    // The release after the double click stores its position but gives no Click: a Click there,
    // away from every arc, would deselect.
    Mouse(QEvent::MouseButtonRelease, 1005, 900);
    EXPECT_EQ(model().ClickX(), 1005);
    EXPECT_EQ(model().SelectedArc(), 1);

    // A plain click away from the arcs deselects it.
    Click(1005, 900);
    EXPECT_EQ(model().SelectedArc(), 0);
    EXPECT_EQ(pane->StatusBar1->currentMessage(), "");
}

TEST_F(CanvasPaneTest, DragMovesTheNodeAndItsArcsAndDropGrowsTheCanvas) {
    ASSERT_EQ(model().CanvasWidth(), 6000);
    // Press on D 100 twips right and 90 down of its corner, move, release (positions on whole
    // pixels).
    Mouse(QEvent::MouseButtonPress, 2400, 1290);
    EXPECT_EQ(pane->StatusBar1->currentMessage(), "NODE: D");
    EXPECT_TRUE(model().Dragging());
    Mouse(QEvent::MouseMove, 3990, 1905);
    EXPECT_EQ(model().Node(4).left, 3890);
    Mouse(QEvent::MouseButtonRelease, 4200, 2100);
    EXPECT_FALSE(model().Dragging());
    EXPECT_EQ(model().Node(4).left, 4100);
    EXPECT_EQ(model().Node(4).top, 2010);
    const wizard::ArcShape expected = wizard::ArcBetween(300, 1200, 4100, 2010);  // C -> D
    const wizard::Segment& shaft = model().Lines(2).arc.seg;
    EXPECT_EQ(shaft.x1, expected.shaft.x1);
    EXPECT_EQ(shaft.y2, expected.shaft.y2);
    // Dropped within 2000 twips of the right edge and 1000 of the bottom: both grow, the canvas
    // widget and the bars' ranges with them.
    EXPECT_EQ(model().CanvasWidth(), 8000);
    EXPECT_EQ(model().CanvasHeight(), 3548);
    EXPECT_EQ(pane->Picture2->width(), 533);
    EXPECT_EQ(pane->HScroll->maximum(), 30);
    // A press and release on a node is a drop in place, not a click.
    Click(400, 300);
    EXPECT_EQ(model().Node(1).left, 300);
    EXPECT_EQ(model().SelectedArc(), 0);
}

// Names longer than a box: the box shows their start and an ellipsis inside its border, a short
// name shows whole; the tool tip and the status line give the whole name.
TEST_F(CanvasPaneTest, LongNamesAreShortenedInTheirBoxesAndWholeElsewhere) {
    names(2) = "fruiting-bodies", names(3) = "leafspots-marg";
    CanvasPane long_(wizard::CanvasSettings::NetworkWindow(), fake.prompts, "Kalvex", CanvasPane::Names{});
    long_.resize(347, 200);
    long_.model().Init(graph, 0, 4, 1, names, used);
    long_.Refresh();
    long_.show();
    const QFontMetrics metrics(wizard::NodeFont());
    EXPECT_EQ(wizard::NodeCaption(long_.model(), 1), " A");
    for (int16_t k : {2, 3}) {
        const QString shown = wizard::NodeCaption(long_.model(), k);
        const QString whole = QString::fromStdString(names(k));
        SCOPED_TRACE(whole.toStdString());
        EXPECT_TRUE(shown.endsWith(QChar(0x2026))) << shown.toStdString();
        EXPECT_TRUE((" " + whole).startsWith(shown.chopped(1))) << shown.toStdString();
        EXPECT_LE(metrics.horizontalAdvance(shown), wizard::TwipsToPixels(long_.model().NodeRect(k).width) - 2);

        const wizard::CanvasRect r = long_.model().NodeRect(k);
        const QPoint inside(wizard::TwipsToPixels(r.left + 300), wizard::TwipsToPixels(r.top + 120));
        QHelpEvent tip(QEvent::ToolTip, inside, long_.Picture2->mapToGlobal(inside));
        QApplication::sendEvent(long_.Picture2, &tip);
        EXPECT_EQ(QToolTip::text(), whole);
        testsupport::CanvasEvents(long_).ClickNode(k);
        EXPECT_EQ(long_.StatusBar1->currentMessage(), "NODE: " + whole);
    }
    QToolTip::hideText();
}

TEST_F(CanvasPaneTest, DrawModeAddsAnArcByTwoNodeClicks) {
    pane->model().SetDrawMode(true);
    Click(2400, 300);  // B: the start
    EXPECT_TRUE(model().StartPending());
    EXPECT_EQ(pane->Picture2->cursor().shape(), Qt::CrossCursor);
    Mouse(QEvent::MouseMove, 2010, 1005);
    EXPECT_EQ(model().RubberBand().seg.x2, 2010);
    Click(2400, 1300);  // D
    EXPECT_FALSE(model().StartPending());
    EXPECT_EQ(model().Directed()(2, 4), 1);
    EXPECT_TRUE(model().Changed());
}

TEST_F(CanvasPaneTest, DeleteActsOnlyWithTheCanvasFocused) {
    Click(1905, 330);
    ASSERT_EQ(model().SelectedArc(), 1);
    // Tab gives the nodes the focus in load order; a focused node deselects, and Delete then
    // reaches no arc.
    Key(Qt::Key_Tab);
    EXPECT_EQ(model().FocusedNode(), 1);
    EXPECT_EQ(pane->StatusBar1->currentMessage(), "NODE: A");
    Key(Qt::Key_Delete);
    EXPECT_EQ(model().Linked()(1, 2), 1);
    EXPECT_FALSE(model().Changed());

    Click(1905, 330);  // the canvas takes the focus back and the arc is selected
    EXPECT_EQ(model().FocusedNode(), 0);
    Key(Qt::Key_Delete);
    EXPECT_EQ(model().Linked()(1, 2), 0);
    EXPECT_FALSE(model().Lines(1).arc.visible);
    EXPECT_TRUE(model().Changed());
}

TEST_F(CanvasPaneTest, CaptureIsOneViewportFromTheCanvasOriginWhateverTheScroll) {
    pane->resize(150, 100);  // viewport 2050 x 1048 twips: both bars have a range
    ASSERT_TRUE(pane->HScroll->isEnabled());
    ASSERT_TRUE(pane->VScroll->isEnabled());
    pane->HScroll->setValue(pane->HScroll->maximum());
    pane->VScroll->setValue(pane->VScroll->maximum());
    EXPECT_LT(pane->Picture2->x(), 0);
    const QImage image = pane->CaptureImage();
    EXPECT_EQ(image.size(), QSize(137, 69));  // 2050 / 15 and (1048 - 20) / 15
    // Inside node A: the class colour.
    EXPECT_EQ(QColor(image.pixel(20 + 40, 13 + 8)), QColor(0xC0, 0xC0, 0xFF));

    wizard::CopyImageToClipboard(image);
    EXPECT_EQ(QApplication::clipboard()->image().size(), image.size());
}

std::vector<Box> Boxes(Box box) { return {box}; }

// Saving the picture: a new file, the overwrite question, a read-only file and a failed write.
TEST_F(CanvasPaneTest, SaveImageToFile) {
    QTemporaryDir dir;
    const QString target = dir.filePath("net.bmp");
    auto capture = [this] { return pane->CaptureImage(); };
    auto content = [](const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    wizard::Services services = fake.bundle();

    fake.files.answers = {target};
    wizard::SaveImageToFile(pane.get(), services, "Kalvex", capture);
    EXPECT_EQ(QImage(target, "BMP").size(), pane->CaptureImage().size());
    EXPECT_EQ(fake.files.requests.back().title, "Save the graph");
    EXPECT_EQ(fake.files.requests.back().filter, "Bitmap file (*.bmp)|*.bmp");

    std::ofstream(target.toStdString()) << "old";
    fake.files.answers = {target};
    fake.prompts.answers = {false};
    wizard::SaveImageToFile(pane.get(), services, "Kalvex", capture);
    EXPECT_EQ(fake.prompts.Take(), Boxes({"The selected file'" + target + "' exists, overwrite?", Box::YesNo, wizard::Icon::None, {}}));
    EXPECT_EQ(content(target), "old");
    fake.files.answers = {target};
    fake.prompts.answers = {true};
    wizard::SaveImageToFile(pane.get(), services, "Kalvex", capture);
    fake.prompts.Take();
    const QByteArray saved = content(target);
    EXPECT_FALSE(QImage::fromData(saved, "BMP").isNull());

    std::filesystem::permissions(target.toStdString(), std::filesystem::perms::owner_read);
    fake.files.answers = {target};
    wizard::SaveImageToFile(pane.get(), services, "Kalvex", capture);
    EXPECT_EQ(fake.prompts.Take(), Boxes({"The selected file '" + target + "' is not a normal read-write file.",
                                          Box::Ok, wizard::Icon::Warning, {}}));
    EXPECT_EQ(content(target), saved);

    const QString nowhere = dir.filePath("missing/net.bmp");
    fake.files.answers = {nowhere};
    wizard::SaveImageToFile(pane.get(), services, "Kalvex", capture);
    EXPECT_EQ(fake.prompts.Take(),
              Boxes({"Path not found: '" + nowhere + "'", Box::Ok, wizard::Icon::Warning, {}}));
    EXPECT_FALSE(QFile::exists(nowhere));

    fake.files.answers = {""};  // Cancel: nothing at all
    wizard::SaveImageToFile(pane.get(), services, "Kalvex", capture);
}

}  // namespace
