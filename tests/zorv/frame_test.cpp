// zorv's frame procedures: the test-data format and its file dialog, the browse buttons, the
// hidden link on page 4's picture, F1 and the About box.
#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <QtTest/QTest>

#include "tests/zorv/zorv_fixture.h"
#include "wizard_common/model/file_filter.h"

namespace zorvtest {
namespace {

TEST_F(ZorvTest, OpenDialogFollowsTheTestDataFormat) {
    ScriptedWizard& w = MakeWizard();
    struct Case { int index; const char* title; std::string filter; };
    const Case cases[] = {
        {0, "Select Microsoft Access Database", wizard::kDatabaseFilter},
        {3, "Open database", "Xbase (*.dbf)|*.dbf"},
        {9, "Open database", "Paradox (*.db)|*.db"},
        {12, "Open database", "Excel (*.xls)|*.xls"},
        {15, "Select Text File", "Text Files (*.txt)|*.txt|All Files (*.*)|*.*"},
        {16, "Open database", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.index);
        w.testFile->DbNameT->setText("/old/choice.db");
        w.format->Lstdbfmt->setCurrentRow(c.index);
        EXPECT_EQ(w.DbFormat, c.index);
        EXPECT_EQ(w.NextTestPage, c.index == 16 ? 8 : 7);
        EXPECT_EQ(w.testFile->DbNameT->text(), "");  // emptied on every change of format
        const auto d = w.SetOpenDbDialog("/tests");
        EXPECT_EQ(d.title, c.title);
        EXPECT_EQ(d.filter.toStdString(), c.filter);
        EXPECT_EQ(d.startFolder, "/tests");
    }
}

TEST_F(ZorvTest, BrowseButtonsRememberTheFolder) {
    ScriptedWizard& w = MakeWizard();
    w.format->Lstdbfmt->setCurrentRow(15);
    fake.files.answers = {"/data/test/cases.txt", "", "/data/train/set.db"};
    w.cmd7a_Click();
    EXPECT_EQ(w.testFile->DbNameT->text(), "/data/test/cases.txt");
    EXPECT_EQ(w.TestPath, "/data/test");
    EXPECT_EQ(fake.files.requests.back().title, "Select Text File");
    EXPECT_EQ(fake.files.requests.back().startFolder, dir.path());

    // Cancel: the box stays and the folder is derived from it again.
    w.testFile->DbNameT->setText("/elsewhere/cases.txt");
    w.cmd7a_Click();
    EXPECT_EQ(w.testFile->DbNameT->text(), "/elsewhere/cases.txt");
    EXPECT_EQ(w.TestPath, "/elsewhere");
    EXPECT_EQ(fake.files.requests.back().startFolder, "/data/test");

    w.cover->CmdDB->click();
    EXPECT_EQ(w.cover->DBName->text(), "/data/train/set.db");
    EXPECT_EQ(w.DBPath, "/data/train");
    EXPECT_EQ(fake.files.requests.back().title, "Select Microsoft Access Database");
    EXPECT_EQ(fake.files.requests.back().filter.toStdString(), wizard::kDatabaseFilter);
}

TEST_F(ZorvTest, HiddenLinkOnPageFourPicture) {
    ScriptedWizard& w = MakeWizard();
    w.show();
    session.WorkMode = 1;
    w.ShowStep(4, 2);
    auto* picture = w.Page(4)->findChild<QWidget*>("imgStep_7");
    ASSERT_NE(picture, nullptr);
    const QString page = dir.filePath("vrellhlp/index.html");
    std::vector<size_t> openedAfter;
    for (int i = 0; i < 4; ++i) {
        QTest::mouseDClick(picture, Qt::LeftButton);
        openedAfter.push_back(fake.shell.opened.size());
    }
    EXPECT_EQ(openedAfter, (std::vector<size_t>{0, 1, 1, 2}));
    EXPECT_EQ(fake.shell.opened, (std::vector<QString>{page, page}));
    // Other pictures have no link.
    w.imgStep_DblClick(3);
    w.imgStep_DblClick(3);
    EXPECT_EQ(fake.shell.opened.size(), 2u);
}

TEST_F(ZorvTest, F1OpensTheHelpPage) {
    ScriptedWizard& w = MakeWizard();
    w.show();
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    w.cover->DBName->setFocus();
    QTest::keyClick(w.cover->DBName, Qt::Key_F1);
    EXPECT_EQ(fake.shell.opened, std::vector<QString>{dir.filePath("zorvhlp/index.html")});
}

TEST_F(ZorvTest, PathBoxesSelectTheirTextOnFocus) {
    ScriptedWizard& w = MakeWizard();
    w.show();
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    w.cover->DBName->setText("/data/train.db");
    w.cover->DBName->deselect();
    w.cover->cmdSet->setFocus();
    QTest::mouseClick(w.cover->DBName, Qt::LeftButton, {}, QPoint(5, 5));
    QApplication::processEvents();
    EXPECT_EQ(w.cover->DBName->selectedText(), "/data/train.db");
}

TEST_F(ZorvTest, AboutButtonShowsTheAboutBox) {
    ScriptedWizard& w = MakeWizard();
    w.show();
    QString caption;
    QTimer::singleShot(0, [&] {
        if (auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            caption = box->windowTitle();
            box->accept();
        }
    });
    w.NavButton(5)->click();
    EXPECT_EQ(caption, "About Belief Network Kalvex");
}

}  // namespace
}  // namespace zorvtest
