// zorv's windows at their edges: Instant Classification shows its controls whole at any number
// of rows, the graph editor frame opens inside the screen's available area, and the lists and
// grids of every page take the room of a larger window.
// The engine's own headers first: they name members "slots", which Qt's headers define away.
#include "classifier_engine/data_engine.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QtTest/QTest>

#include "tests/support/qt/page_layout.h"
#include "tests/zorv/zorv_fixture.h"
#include "wizard_common/window_placement.h"
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
