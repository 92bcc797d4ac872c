// zorv's windows at their edges: Instant Classification shows its controls and names whole at
// any number of rows, the batch summary with many classes stays inside a small screen, the graph
// editor frame opens inside the screen's available area, and the lists and grids of every page
// take the room of a larger window.
// The engine's own headers first: they name members "slots", which Qt's headers define away.
#include "classifier_engine/data_engine.h"

#include <QComboBox>
#include <QFontInfo>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QTextEdit>
#include <QTextBlock>
#include <QTextLayout>
#include <QtTest/QTest>

#include "tests/support/qt/page_layout.h"
#include "tests/zorv/zorv_fixture.h"
#include "wizard_common/table_message.h"
#include "wizard_common/window_placement.h"
#include "zorv/batch_summary.h"
#include "zorv/frm_inst_cls.h"
#include "zorv/frm_mdi_bne.h"

namespace zorvtest {
namespace {

TEST_F(ZorvTest, InstantClassificationShowsEveryControlWhole) {
    zorvapi::DataEngine engine;
    for (int rows : {1, 30}) {
        SCOPED_TRACE(rows);
        const int fields = rows + 1;
        session.FieldCount = int16_t(fields);
        session.FieldNames = {""};
        session.FieldUsed = {0};
        for (int i = 1; i <= fields; ++i) {
            session.FieldNames.push_back(i == 1 ? "Class" : "Field " + std::to_string(i));
            session.FieldUsed.push_back(1);
        }
        session.ClassLabels = {"", "yes", "no"};
        const std::vector<int16_t> counts(size_t(fields) + 1, 2);
        vb::Array<std::string> labels(vb::To(fields), vb::To(2));
        for (int i = 1; i <= fields; ++i) labels(i, 1) = "low", labels(i, 2) = "high";
        zorv::FrmInstCls dialog(session, counts, labels, engine);
        dialog.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
        ASSERT_EQ(dialog.CmbFld.size(), size_t(rows) + 1);

        for (QPushButton* b : dialog.findChildren<QPushButton*>()) {
            EXPECT_GE(b->height(), b->sizeHint().height()) << b->objectName().toStdString();
            EXPECT_GE(b->width(), b->sizeHint().width()) << b->objectName().toStdString();
            // Inside the dialog, not cut by its bottom edge.
            const QRect inDialog(b->mapTo(&dialog, QPoint(0, 0)), b->size());
            EXPECT_TRUE(dialog.rect().contains(inDialog)) << b->objectName().toStdString();
        }
        for (size_t r = 1; r < dialog.CmbFld.size(); ++r) {
            const QComboBox* list = dialog.CmbFld[r];
            EXPECT_GE(list->height(), list->sizeHint().height()) << r;
            EXPECT_GE(dialog.LblFld[r]->height(), dialog.LblFld[r]->sizeHint().height()) << r;
            if (r > 1) {
                EXPECT_GE(list->y(), dialog.CmbFld[r - 1]->geometry().bottom()) << r;  // rows apart
            }
        }
        for (const QLabel* l : {dialog.LblCls, dialog.LblCls2})
            EXPECT_GE(l->height(), l->sizeHint().height());
        dialog.hide();
    }
}

// A name longer than the names column widens it; one longer than the screen allows is shortened
// and read whole in its tool tip. The dialog stays inside the screen either way.
TEST_F(ZorvTest, InstantClassificationNamesAreReadableWhole) {
    zorvapi::DataEngine engine;
    const std::string huge(400, 'w');
    session.FieldCount = 4;
    session.FieldNames = {"", "Class", "hail", "synfuels-corporation-cutback", huge};
    session.FieldUsed = {0, 1, 1, 1, 1};
    session.ClassLabels = {"", "diaporthe-stem-canker", "no"};
    const std::vector<int16_t> counts(5, 2);
    vb::Array<std::string> labels(vb::To(4), vb::To(2));
    for (int i = 1; i <= 4; ++i) labels(i, 1) = "y", labels(i, 2) = "n";
    zorv::FrmInstCls dialog(session, counts, labels, engine);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    ASSERT_EQ(dialog.LblFld.size(), 4u);
    const QLabel* longName = dialog.LblFld[2];
    EXPECT_EQ(longName->text(), "  synfuels-corporation-cutback");
    EXPECT_GE(longName->width(), longName->fontMetrics().horizontalAdvance(longName->text()));
    EXPECT_LE(longName->geometry().right(), dialog.CmbFld[2]->x());  // beside its list, not under it
    const QLabel* hugeName = dialog.LblFld[3];
    EXPECT_EQ(hugeName->toolTip(), QString::fromStdString(huge));
    EXPECT_LE(hugeName->fontMetrics().horizontalAdvance(hugeName->text()), hugeName->width());
    const QMargins frame = wizard::OnScreenPlacement::FrameAllowance();
    EXPECT_LE(dialog.width() + frame.left() + frame.right(), dialog.screen()->availableGeometry().width());
    EXPECT_TRUE(dialog.LblFld[1]->toolTip().isEmpty());
    // The result has the room of the longest class value.
    dialog.LblCls2->setText("  diaporthe-stem-canker");
    EXPECT_GE(dialog.LblCls2->width(), dialog.LblCls2->fontMetrics().horizontalAdvance(dialog.LblCls2->text()));
}

// The summary on a 1,024 x 768 screen, with short labels and with long ones of many lengths
// (soybean's diseases): inside it with its frame, OK in view, opened at its first line (the case
// counts), each row of the matrices on one line with its separators under the header's. It
// scrolls exactly where its text, in the font the box has, needs more room than the screen
// gives; two classes fit without scrolling, the sentences wrapped. Enter and Escape close it.
TEST(BatchSummaryBox, StaysInsideASmallScreen) {
    const QRect screen(0, 0, 1024, 768);
    const std::vector<std::string> diseases = {
        "diaporthe-stem-canker", "charcoal-rot", "rhizoctonia-root-rot", "phytophthora-rot", "brown-stem-rot",
        "powdery-mildew", "downy-mildew", "brown-spot", "bacterial-blight", "bacterial-pustule",
        "purple-seed-stain", "anthracnose", "phyllosticta-leaf-spot", "alternarialeaf-spot",
        "frog-eye-leaf-spot", "diaporthe-pod-stem-blight", "cyst-nematode", "herbicide-injury", "root-knot"};
    auto summary = [](const std::vector<std::string>& labels) {
        zorv::BatchOutcome b;
        b.withClass = true;
        b.total = 2000, b.correct = 1700, b.failed = 3, b.accuracy = 0.85f;
        b.labels = {""};
        b.labels.insert(b.labels.end(), labels.begin(), labels.end());
        const int k = int(labels.size());
        b.confusion.ReDim(vb::To(k), vb::To(k));
        b.lift.ReDim(vb::To(k));
        b.roc.ReDim(vb::To(k), vb::To(k));
        return QString::fromStdString(zorv::BatchSummary(b));
    };
    auto numbered = [](int k) {
        std::vector<std::string> labels;
        for (int i = 1; i <= k; ++i) labels.push_back("disease-" + std::to_string(i));
        return labels;
    };
    const QMargins frame = wizard::OnScreenPlacement::FrameAllowance();
    const QSize room = screen.size().shrunkBy(frame);
    struct Case { const char* name; std::vector<std::string> labels; };
    const Case cases[] = {{"19 classes", numbered(19)}, {"2 classes", numbered(2)},
                          {"soybean", diseases}, {"40 classes", numbered(40)}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString text = summary(c.labels);
        wizard::TableMessageBox box(nullptr, text, "Kalvex", wizard::Icon::Information, screen);
        box.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
        EXPECT_TRUE(screen.contains(QRect(screen.topLeft(), box.size().grownBy(frame))));
        EXPECT_TRUE(box.btnOK->isVisible());
        EXPECT_TRUE(box.rect().contains(QRect(box.btnOK->mapTo(&box, QPoint(0, 0)), box.btnOK->size())));
        QTextEdit* t = box.txtMessage;
        EXPECT_EQ(t->toPlainText(), QString(text).replace("\r\n", "\n"));
        ASSERT_TRUE(QFontInfo(t->font()).fixedPitch());

        // What the text needs in its font: the widest row, and a line for every line laid out.
        const QFontMetrics metrics(t->font());
        int lines = 0, widest = 0;
        std::vector<qreal> bars;  // where the header's separators stand
        for (QTextBlock b = t->document()->begin(); b.isValid(); b = b.next()) {
            lines += b.layout()->lineCount();
            if (!b.text().contains(" | ")) continue;
            EXPECT_EQ(b.layout()->lineCount(), 1) << b.text().toStdString();
            widest = std::max(widest, metrics.horizontalAdvance(b.text()));
            std::vector<qreal> at;
            for (qsizetype p = b.text().indexOf('|'); p >= 0; p = b.text().indexOf('|', p + 1))
                at.push_back(b.layout()->lineAt(0).cursorToX(int(p)));
            if (bars.empty()) bars = at;
            EXPECT_EQ(at, bars) << b.text().toStdString();
        }
        const int margins = int(2 * t->document()->documentMargin());
        const QSize chrome = box.size() - t->size();
        const int bar = box.style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, &box);
        const bool wide = widest + margins + chrome.width() > room.width();
        const bool tall = lines * metrics.lineSpacing() + margins + chrome.height() + (wide ? bar : 0) > room.height();
        EXPECT_EQ(t->horizontalScrollBar()->maximum() > 0, wide);
        EXPECT_EQ(t->verticalScrollBar()->maximum() > 0, tall);
        if (c.labels.size() == 40) EXPECT_TRUE(tall);  // whatever the font: the scrolled case
        if (c.labels.size() == 2) {
            EXPECT_FALSE(wide || tall);
            EXPECT_GT(t->document()->firstBlock().layout()->lineCount(), 1);  // wrapped
        }
        // Opened at its first line and its left edge.
        EXPECT_EQ(t->verticalScrollBar()->value(), 0);
        EXPECT_EQ(t->horizontalScrollBar()->value(), 0);
        EXPECT_EQ(t->cursorForPosition(QPoint(1, 1)).blockNumber(), 0);
    }
    struct Key { Qt::Key key; bool inText; int result; };
    for (const Key& c : {Key{Qt::Key_Return, false, QDialog::Accepted}, Key{Qt::Key_Enter, true, QDialog::Accepted},
                         Key{Qt::Key_Escape, false, QDialog::Rejected}, Key{Qt::Key_Escape, true, QDialog::Rejected}}) {
        SCOPED_TRACE(c.key);
        wizard::TableMessageBox box(nullptr, summary(numbered(19)), "Kalvex", wizard::Icon::Information, screen);
        box.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
        if (c.inText) QTest::mouseClick(box.txtMessage->viewport(), Qt::LeftButton);
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : &box, c.key);
        EXPECT_FALSE(box.isVisible());
        EXPECT_EQ(box.result(), c.result);
    }
}

TEST_F(ZorvTest, EditorFrameOpensInsideTheAvailableArea) {
    session.FieldCount = 2;
    session.FieldNames = {"", "Class", "B"};
    session.FieldUsed = {0, 1, 1};
    session.NetCount = 2;
    session.ClassLabels = {"", "a", "b"};
    session.GraphArr.ReDim(vb::To(2), vb::To(2), vb::To(2));
    struct Case { QRect area; bool shrunk; };
    // A panel on the left and top of a small screen; a screen the frame fits on as it is.
    for (const Case& c : {Case{{120, 40, 720, 560}, true}, Case{{0, 0, 1920, 1080}, false}}) {
        SCOPED_TRACE(c.shrunk);
        wizard::OnScreenPlacement placement([&](const QWidget&) { return c.area; });
        qApp->installEventFilter(&placement);
        ScriptedWizard& w = MakeWizard();
        w.show();
        w.cmdeditor_Click();
        auto* editor = w.findChild<zorv::FrmMDIBNE*>("FrmMDIBNE");
        ASSERT_NE(editor, nullptr);
        // The frame as the platform draws it (the allowance where it draws none) inside the area.
        for (QWidget* window : {static_cast<QWidget*>(&w), static_cast<QWidget*>(editor)}) {
            const QRect framed = window->frameGeometry() != window->geometry()
                                     ? window->frameGeometry()
                                     : window->geometry().marginsAdded(wizard::OnScreenPlacement::FrameAllowance());
            EXPECT_TRUE(c.area.contains(framed)) << window->objectName().toStdString();
        }
        EXPECT_EQ(editor->size() == QSize(960, 680), !c.shrunk);
        qApp->removeEventFilter(&placement);
        editor->close();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        w.hide();
    }
}

TEST_F(ZorvTest, ListsAndGridsTakeTheRoomOfALargerWindow) {
    EXPECT_EQ(testsupport::ListsThatDoNotGrow(MakeWizard(), 10), std::vector<QString>{});
}

}  // namespace
}  // namespace zorvtest
