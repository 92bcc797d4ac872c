// The frame pieces the wizards share: browse buttons, the save dialog's extension, the hidden
// link, the About box's links and the settings store's guard against damaged values.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest/QTest>

#include "tests/support/qt/fake_services.h"
#include "wizard_common/about_dialog.h"
#include "wizard_common/frame_widgets.h"
#include "wizard_common/help_viewer.h"
#include "wizard_common/qt_services.h"
#include "wizard_common/settings_store.h"

namespace {

TEST(BrowseInto, ChosenNameAndCancelBothRederiveTheFolder) {
    testsupport::FakeServices fake;
    QLineEdit box;
    QString folder = "/start";
    fake.files.answers = {"/data/sets/train.db", ""};

    wizard::BrowseInto(&box, fake.files, nullptr, "Title", "F|*.f", folder);
    EXPECT_EQ(box.text(), "/data/sets/train.db");
    EXPECT_EQ(folder, "/data/sets");
    EXPECT_EQ(fake.files.requests[0].startFolder, "/start");

    // Cancel keeps the box, and the folder is taken from the box again.
    box.setText("/other/x.db");
    wizard::BrowseInto(&box, fake.files, nullptr, "Title", "F|*.f", folder);
    EXPECT_EQ(box.text(), "/other/x.db");
    EXPECT_EQ(folder, "/other");

    // A box without a folder leaves the remembered one.
    fake.files.answers = {""};
    box.setText("x.db");
    wizard::BrowseInto(&box, fake.files, nullptr, "Title", "F|*.f", folder);
    EXPECT_EQ(folder, "/other");
}

TEST(QtFileDialogs, SaveAddsTheExtensionOfTheFilterTheUserChose) {
    QTemporaryDir dir;
    wizard::QtFileDialogs files;
    const QString filter = "Netica file (*.dne)|*.dne|Hugin net file (*.net)|*.net";
    struct Case { int entry; QString typed; QString name; };
    for (const Case& c : {Case{1, "hugin", "hugin.net"}, Case{0, "netica", "netica.dne"}, Case{1, "typed.dne", "typed.dne"}}) {
        SCOPED_TRACE(c.typed.toStdString());
        // The user picks the filter entry, types the name and presses Save.
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            dialog->selectNameFilter(dialog->nameFilters().at(c.entry));
            dialog->selectFile(c.typed);
            static_cast<QDialog*>(dialog)->accept();  // as the Save button does
        });
        EXPECT_EQ(files.Save(nullptr, "Export", filter, dir.path()), dir.filePath(c.name));
    }
}

TEST(HiddenLink, OpensOnEverySecondDoubleClick) {
    wizard::HiddenLink link;
    EXPECT_FALSE(link.DoubleClicked());
    EXPECT_TRUE(link.DoubleClicked());
    EXPECT_FALSE(link.DoubleClicked());
    EXPECT_TRUE(link.DoubleClicked());
}

TEST(AboutBox, CaptionAndLinksThroughTheShell) {
    testsupport::FakeServices fake;
    testsupport::FakeShell& shell = fake.shell;
    wizard::frmAbout about({"Belief Network Kalvex", "zorvhlp/index.html", "/opt/bn"}, fake.bundle());
    EXPECT_EQ(about.windowTitle(), "About Belief Network Kalvex");
    about.show();
    for (const char* link : {"vrell", "email", "ardven"}) {
        auto* label = about.findChild<QLabel*>(link);
        ASSERT_NE(label, nullptr) << link;
        QTest::mouseClick(label, Qt::LeftButton);
    }
    EXPECT_EQ(shell.opened, (std::vector<QString>{"/opt/bn/zorvhlp/index.html", "mailto:bnsuite@example.org",
                                                  "/opt/bn/index.html"}));
    EXPECT_EQ(about.findChild<QLabel*>("email")->text(), "bnsuite@example.org");
    EXPECT_EQ(about.findChild<wizard::HelpViewer*>(), nullptr);
    EXPECT_EQ(fake.prompts.Take(), std::vector<testsupport::Box>{});
}

// Where the desktop's opener fails, at once or after it started, the pages show in the help
// viewer, which stays open with the wizard when the box closes, and the mail address is told.
TEST(AboutBox, LinksFallBackWhereTheOpenerFails) {
    QTemporaryDir dir;
    for (const char* page : {"zorvhlp/index.html", "index.html"}) {
        QDir().mkpath(QFileInfo(dir.filePath(page)).path());
        QFile f(dir.filePath(page));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QString("<html><head><title>%1</title></head><body>page</body></html>").arg(page).toUtf8());
    }
    for (bool late : {false, true}) {
        SCOPED_TRACE(late);
        testsupport::FakeServices fake;
        fake.shell.opens = late;
        fake.shell.failsAfterStart = late;
        QWidget wizardWindow;
        wizardWindow.show();
        wizard::frmAbout about({"Belief Network Kalvex", "zorvhlp/index.html", dir.path()}, fake.bundle(), &wizardWindow);
        about.show();
        auto fail = [&] {
            if (late) {
                ASSERT_FALSE(fake.shell.openerFailures.empty());
                fake.shell.openerFailures.back()();
            }
        };
        QTest::mouseClick(about.findChild<QLabel*>("vrell"), Qt::LeftButton);
        fail();
        auto* viewer = about.findChild<wizard::HelpViewer*>();
        ASSERT_NE(viewer, nullptr);
        EXPECT_TRUE(viewer->isVisible());
        EXPECT_EQ(viewer->browser->source(), QUrl::fromLocalFile(dir.filePath("zorvhlp/index.html")));
        QTest::mouseClick(about.findChild<QLabel*>("ardven"), Qt::LeftButton);
        fail();
        EXPECT_EQ(viewer->browser->source(), QUrl::fromLocalFile(dir.filePath("index.html")));
        QTest::mouseClick(about.findChild<QLabel*>("email"), Qt::LeftButton);
        fail();
        EXPECT_EQ(fake.prompts.Take(),
                  (std::vector<testsupport::Box>{{"No mail program could be started. Please write to "
                                                  "bnsuite@example.org.",
                                                  testsupport::Box::Ok, wizard::Icon::Information, {}}}));
        about.CmdOK_Click();
        EXPECT_EQ(viewer->parentWidget(), &wizardWindow);
        EXPECT_TRUE(viewer->isVisible());
        EXPECT_TRUE(viewer->isWindow());
    }
}

TEST(SettingsStore, DamagedNumbersFallBackToTheDefault) {
    {
        QSettings raw(QSettings::IniFormat, QSettings::UserScope, "StoreTest", "StoreTest");
        raw.clear();
        raw.setValue("Startup/Good", "7000");
        raw.setValue("Startup/Text", "lots");
        raw.setValue("Startup/Huge", "99999999999999999999");
        raw.setValue("Startup/Low", "10");
    }
    wizard::SettingsStore store("StoreTest");
    EXPECT_EQ(store.Number("Good", 5000, 2147483647, 1), 7000);
    EXPECT_EQ(store.Number("Text", 5000, 2147483647, 1), 1);
    EXPECT_EQ(store.Number("Huge", 5000, 2147483647, 1), 1);
    EXPECT_EQ(store.Number("Low", 5000, 2147483647, 1), 1);
    EXPECT_EQ(store.Number("Missing", 5000, 2147483647, 1), 1);
    EXPECT_EQ(store.Text("Missing"), std::nullopt);
}

}  // namespace
