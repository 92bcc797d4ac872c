// The main road of zorv, walked like a user with keys and clicks in work mode 1 on a generated
// database: the cover, the table and its fields, the knowledge and the learning options, the
// learning run with the engine created by its class name, and the structure on step 4 with its
// running report saved.
#include "tests/zorv/learning_fixture.h"

#include <QFile>
#include <QtTest/QTest>

#include "platform/com/object.h"
#include "platform/vb/regional.h"
#include "tests/support/class_registry.h"

namespace zorvtest {
namespace {

class MainRoadTest : public LearningTest {};

TEST_F(MainRoadTest, LearnAClassifierAndSaveTheReport) {
    testsupport::PrivateClassRegistry registry(ZORVAPI_LIBRARY);
    ASSERT_EQ(registry.Call("DllRegisterServer"), com::S_OK);
    const QString file = dir.filePath("road.db");
    testsupport::WriteSqliteTable(file.toStdString(), KindTable())->Close();
    ScriptedWizard& w = MakeWizard();
    w.realData = true;
    w.realLearning = true;
    w.show();
    auto click = [](QWidget* button) { QTest::mouseClick(button, Qt::LeftButton); };

    // Step 0.
    click(w.cover->Option1);
    QTest::keyClicks(w.cover->DBName, file);
    click(w.NavButton(kNext));
    ASSERT_EQ(w.CurrentStep, 1);

    // Step 1: the table, its first field the class field.
    QTest::keyClick(w.fields->CboTbName, Qt::Key_Down);
    EXPECT_EQ(w.fields->CboTbName->currentText(), "Train");
    w.fields->CboCls->setFocus();
    QTest::keyClick(w.fields->CboCls, Qt::Key_Down);
    EXPECT_EQ(w.fields->CboCls->currentText(), "Kind");
    click(w.NavButton(kNext));
    ASSERT_EQ(w.CurrentStep, 2);

    // Step 2: the algorithm tab, the multi-net or the net, whichever is better.
    w.knowledge->page->SSTab1->setCurrentIndex(5);
    QTest::mouseClick(w.options->OptBoth, Qt::LeftButton, {}, QPoint(8, w.options->OptBoth->height() / 2));
    EXPECT_EQ(session.ModelMode, 3);
    click(w.NavButton(kNext));
    ASSERT_EQ(w.CurrentStep, 3);

    // Step 3: Proceed learns.
    click(w.NavButton(kProceed));
    ASSERT_EQ(w.CurrentStep, 4);
    EXPECT_NE(w.MyDataEng, nullptr);
    const QString listing = w.result->txtrst->text();
    ASSERT_FALSE(listing.isEmpty());

    // Step 4: the report saved.
    const QString report = dir.filePath("road.txt");
    fake.files.answers = {report};
    click(w.result->cmdSave);
    QFile f(report);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(f.readAll()).split("\r\n");
    const std::time_t t = std::time_t(fake.shell.now.toSecsSinceEpoch());
    EXPECT_EQ(lines[0].toStdString(), "Belief Network Kalvex.       " + vb::LocalTimeText(t) + "  " + vb::LocalDateText(t));
    EXPECT_TRUE(lines.contains(session.IsMultiNetFlag ? "Results: [Multi-Net]" : "Results: [Bayesian Net]"));
    // Every pair of the listing is in the report, in name cells.
    int pairs = 0;
    for (const QString& line : listing.split("\r\n")) {
        if (line.startsWith("[")) continue;  // a multi-net layer's heading
        for (const QString& pair : line.split("   ", Qt::SkipEmptyParts)) {
            const QStringList ends = pair.split(' ');
            if (ends.size() != 3) continue;
            ++pairs;
            const QString cell = QString::fromStdString(wizard::RightCell(ends[0].toStdString())) + ends[1] +
                                 QString::fromStdString(wizard::LeftCell(ends[2].toStdString()));
            EXPECT_TRUE(lines.join("\n").contains(cell)) << cell.toStdString();
        }
    }
    EXPECT_GT(pairs, 0);
}

}  // namespace
}  // namespace zorvtest
