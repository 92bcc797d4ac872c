// Dialogs and message boxes open centred over the window they belong to, inside the available
// area: the placement runs before QDialog would centre itself, so it has to centre them too.
#include <gtest/gtest.h>

#include <QDialog>
#include <QFontMetrics>
#include <QMessageBox>
#include <QWidget>
#include <QtTest/QTest>
#include <memory>

#include "wizard_common/qt_services.h"
#include "wizard_common/window_placement.h"

namespace {

TEST(WindowPlacement, DialogsOpenCentredOnTheirOwnerInsideTheArea) {
    const QRect area(100, 50, 1180, 900);  // a panel on the left and top
    wizard::OnScreenPlacement placement([&](const QWidget&) { return area; });
    qApp->installEventFilter(&placement);
    struct Case {
        const char* name;
        QRect owner;
        bool centred;  // else pushed inside the area
    };
    const Case cases[] = {
        {"owner in the middle", {300, 200, 800, 600}, true},
        {"owner at the area's right bottom corner", {1000, 800, 260, 140}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QWidget owner;
        owner.setGeometry(c.owner);
        owner.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&owner));
        QDialog dialog(&owner);
        dialog.resize(420, 240);
        std::unique_ptr<QMessageBox> box = wizard::NewMessageBox(&owner, "No table is selected.", "Sorvane",
                                                                 wizard::Icon::Warning);
        // A text wider than the screen until the box wraps it in its own show handler: the
        // damaged-database question about a file deep in a folder tree.
        const QString damaged =
            "The database '/home/analyst/Documents/Projects/Customer survey 2026/exports from the regional offices/"
            "north-east and north-west/training tables (final, checked twice)/customers.db' is damaged or is not a "
            "database file that this program can read.\n\nAttempt to Repair it?";
        std::unique_ptr<QMessageBox> question = wizard::NewMessageBox(&owner, damaged, "Belief Network Kalvex",
                                                                      wizard::Icon::Warning);
        question->setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        for (QWidget* w : {static_cast<QWidget*>(&dialog), static_cast<QWidget*>(box.get()),
                           static_cast<QWidget*>(question.get())}) {
            w->show();
            ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
            const QRect framed = wizard::FramedGeometry(*w);
            EXPECT_TRUE(area.contains(framed)) << w->metaObject()->className();
            if (c.centred) {
                const QPoint off = framed.center() - wizard::FramedGeometry(owner).center();
                EXPECT_LE(off.manhattanLength(), 2) << w->metaObject()->className() << " " << off.x() << "," << off.y();
            }
            w->hide();
        }
    }
    qApp->removeEventFilter(&placement);
}

// A message box is wide enough for its caption beside the title bar's buttons: a short
// question under the program's long title is not cut to "Belie... alvex".
TEST(WindowPlacement, MessageBoxesHaveRoomForTheirCaption) {
    std::unique_ptr<QMessageBox> box =
        wizard::NewMessageBox(nullptr, "Exit Kalvex?", "Belief Network Kalvex", wizard::Icon::None);
    box->setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(box.get()));
    QFont bold = box->font();
    bold.setBold(true);
    // The caption, and three buttons of a title bar with the window's icon beside them.
    EXPECT_GE(box->width(), QFontMetrics(bold).horizontalAdvance("Belief Network Kalvex") + 4 * 24);
}

}  // namespace
