// zorv's windows at their edges: Instant Classification shows its controls and names whole at
// any number of rows, the batch summary with many classes stays inside a small screen, the graph
// editor frame opens inside the screen's available area, and the lists and grids of every page
// take the room of a larger window.
// The engine's own headers first: they name members "slots", which Qt's headers define away.
#include "classifier_engine/data_engine.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
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

// The summary of 19 classes on a 1,024 x 768 screen: inside it with its frame, OK in view, each
// row of the matrix on one line, the rest reached by scrolling; Enter and Escape close it. Two
// classes fit without scrolling, the sentences wrapped.
TEST(BatchSummaryBox, StaysInsideASmallScreen) {
    const QRect screen(0, 0, 1024, 768);
    auto summary = [](int k) {
        zorv::BatchOutcome b;
        b.withClass = true;
        b.total = 2000, b.correct = 1700, b.failed = 3, b.accuracy = 0.85f;
        b.labels = {""};
        for (int i = 1; i <= k; ++i) b.labels.push_back("disease-" + std::to_string(i));
        b.confusion.ReDim(vb::To(k), vb::To(k));
        b.lift.ReDim(vb::To(k));
        b.roc.ReDim(vb::To(k), vb::To(k));
        return QString::fromStdString(zorv::BatchSummary(b));
    };
    const QMargins frame = wizard::OnScreenPlacement::FrameAllowance();
    for (int k : {19, 2}) {
        SCOPED_TRACE(k);
        const QString text = summary(k);
        wizard::TableMessageBox box(nullptr, text, "Kalvex", wizard::Icon::Information, screen);
        box.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
        EXPECT_TRUE(screen.contains(QRect(screen.topLeft(), box.size().grownBy(frame))));
        EXPECT_TRUE(box.btnOK->isVisible());
        EXPECT_TRUE(box.rect().contains(QRect(box.btnOK->mapTo(&box, QPoint(0, 0)), box.btnOK->size())));
        EXPECT_EQ(box.txtMessage->toPlainText(), QString(text).replace("\r\n", "\n"));
        for (QTextBlock b = box.txtMessage->document()->begin(); b.isValid(); b = b.next()) {
            if (b.text().contains(" | ")) {
                EXPECT_EQ(b.layout()->lineCount(), 1) << b.text().toStdString();
            }
        }
        const bool scrolls = box.txtMessage->horizontalScrollBar()->maximum() > 0;
        EXPECT_EQ(scrolls, k == 19);
        EXPECT_EQ(box.txtMessage->verticalScrollBar()->maximum() > 0, k == 19);
        if (k == 2) {
            EXPECT_GT(box.txtMessage->document()->firstBlock().layout()->lineCount(), 1);  // wrapped
        }
    }
    struct Key { Qt::Key key; bool inText; int result; };
    for (const Key& c : {Key{Qt::Key_Return, false, QDialog::Accepted}, Key{Qt::Key_Enter, true, QDialog::Accepted},
                         Key{Qt::Key_Escape, false, QDialog::Rejected}, Key{Qt::Key_Escape, true, QDialog::Rejected}}) {
        SCOPED_TRACE(c.key);
        wizard::TableMessageBox box(nullptr, summary(19), "Kalvex", wizard::Icon::Information, screen);
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
