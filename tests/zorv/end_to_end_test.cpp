// A user in work mode 1 walks every page of zorv, returns to the cover and exits; and the
// screenshot driver leaves a picture of every page and dialog.
#include <QDir>
#include <QFile>
#include <QImage>
#include <QSettings>
#include <QtTest/QTest>
#include <set>

#include "platform/com/object.h"
#include "tests/support/class_registry.h"
#include "tests/zorv/zorv_fixture.h"
#include "zorv/screenshots.h"

namespace zorvtest {
namespace {

const QString kSkip =
    "Are you sure that you want to skip the structure learning and construct the Bayesian net manually?";

TEST_F(ZorvTest, UserWalksEveryPageAndExits) {
    ScriptedWizard& w = MakeWizard();
    w.show();
    auto click = [](QWidget* button) { QTest::mouseClick(button, Qt::LeftButton); };
    QPushButton* next = w.NavButton(3);
    QPushButton* back = w.NavButton(2);

    QTest::mouseClick(w.cover->Option1, Qt::LeftButton);
    EXPECT_EQ(session.WorkMode, 1);
    EXPECT_FALSE(w.cover->BNCName->isEnabled());
    QTest::keyClicks(w.cover->DBName, dbFile);
    std::vector<int> visited{w.CurrentStep};
    auto step = [&](QWidget* button) {
        click(button);
        visited.push_back(w.CurrentStep);
    };
    step(next);  // 1
    EXPECT_TRUE(session.ModelChanged);
    step(next);  // 2
    step(next);  // 3
    fake.prompts.answers = {false};
    step(next);  // the skip question answered No: still 3
    fake.prompts.answers = {true};
    step(next);  // Yes: 4
    EXPECT_TRUE(w.SkipLearning);
    EXPECT_EQ(fake.prompts.Take(), (std::vector<Box>{Question(kSkip), Question(kSkip)}));
    step(next);  // 5
    step(next);  // 6
    QTest::keyClicks(w.testFile->DbNameT, "ignored");  // page 7 is not shown yet; the box is emptied on entry
    step(next);  // 7
    EXPECT_EQ(w.testFile->DbNameT->text(), "");
    QTest::keyClicks(w.testFile->DbNameT, dbFile);
    step(next);  // 9
    EXPECT_EQ(visited, (std::vector<int>{0, 1, 2, 3, 3, 4, 5, 6, 7, 9}));
    while (w.CurrentStep != 0) click(back);

    fake.prompts.answers = {true};
    click(w.NavButton(1));
    EXPECT_EQ(fake.prompts.Take(), std::vector<Box>{Question("Exit Kalvex?")});
    EXPECT_TRUE(w.Unloaded());

    QSettings raw(QSettings::IniFormat, QSettings::UserScope, "BN Kalvex", "BN Kalvex");
    raw.beginGroup("Startup");
    EXPECT_EQ(raw.childKeys().size(), 9);
    EXPECT_EQ(raw.value("DBPath").toString(), dir.path());
}

TEST(ScreenshotDriver, WritesAPictureOfEveryPageAndDialog) {
    testsupport::PrivateClassRegistry registry(ZORVAPI_LIBRARY);
    ASSERT_EQ(registry.Call("DllRegisterServer"), com::S_OK);
    QTemporaryDir out;
    QTemporaryDir programDir;
    WriteTrainingDatabase(programDir.filePath("demo.db").toStdString());
    // The help page the viewer shows when the shell cannot open it.
    QDir(programDir.path()).mkdir("zorvhlp");
    QFile help(programDir.filePath("zorvhlp/index.html"));
    ASSERT_TRUE(help.open(QIODevice::WriteOnly));
    help.write("<html><head><title>Help</title></head><body><h1>Kalvex</h1><ul><li>Cover</li><li>Step 1</li>"
               "</ul><p style=\"color:#26547c\">Every page and dialog.</p></body></html>");
    help.close();
    const QStringList files = zorv::TakeScreenshots(out.path(), programDir.path());
    QStringList expected;
    for (int n = 0; n < 10; ++n) expected << QString("zorv_page_%1.png").arg(n);
    expected << "zorv_import.png" << "zorv_about.png" << "zorv_password.png" << "zorv_settings.png"
             << "zorv_page_2_algorithm.png" << "zorv_page_2_dataset.png" << "zorv_learning.png"
             << "zorv_edit_cost.png" << "zorv_inst_cls.png" << "zorv_summary.png" << "zorv_help.png"
             << "zorv_page_1_large.png" << "zorv_inst_cls_names.png" << "zorv_summary_many.png"
             << "zorv_about_page.png" << "zorv_editor_long_names.png" << "zorv_damaged_question.png"
             << "zorv_exit_question.png";
    for (const QString& name : expected) {
        SCOPED_TRACE(name.toStdString());
        QImage image(QDir(out.path()).filePath(name));
        ASSERT_FALSE(image.isNull());
        // Below the caption strip, a blank picture has one or two colours; a page has many.
        std::set<QRgb> colours;
        for (int y = 40; y < image.height(); y += 3)
            for (int x = 0; x < image.width(); x += 3) colours.insert(image.pixel(x, y));
        EXPECT_GT(colours.size(), 20u);
    }
    // The editor's pictures need the demo table, which this database lacks.
    EXPECT_EQ(files.size(), expected.size());
}

}  // namespace
}  // namespace zorvtest
