// A user walks trune with keys and clicks from the introduction to the method page on a
// generated database file: the copy lands in a new file, the continuous fields are listed; a
// Cancel during the detection keeps the user on the table page. Run as the CTest
// trune_end_to_end.
#include <QDir>
#include <QFileInfo>
#include <QApplication>
#include <QTableView>
#include <QTimer>
#include <QtTest/QTest>

#include "tests/trune/trune_fixture.h"
#include "trune/screenshots.h"

namespace trunetest {
namespace {

using db::Value;

class TruneEndToEnd : public TruneTest {
protected:
    void SetUp() override {
        TruneTest::SetUp();
        // Income continuous with Nulls, Region a text, Income_d the labels of an earlier run,
        // Score a number with only a few values.
        testsupport::TableSpec customers{"Customers",
                                         {{"Region", db::dbText, 10},
                                          {"Income", db::dbDouble, 0},
                                          {"Income_d", db::dbText, 50},
                                          {"Score", db::dbLong, 0},
                                          {"Tenure", db::dbLong, 0}},
                                         {}};
        const char* regions[] = {"NORTH", "SOUTH", "EAST", "WEST"};
        for (int i = 0; i < 120; ++i)
            customers.rows.push_back({Value(regions[i % 4]), i % 10 == 0 ? Value() : Value(1000.0 + 37.5 * i),
                                      Value(i < 60 ? "<3000" : ">3000"), Value(int32_t(i % 3)),
                                      Value(int32_t((i * 7) % 48))});
        source = SourceFile("customers.db", {customers});
    }

    void Click(QWidget* w) { QTest::mouseClick(w, Qt::LeftButton); }

    // Pages 0, 1 and 2 by keys and clicks; the table chosen and the copy named on page 4.
    void WalkToTablePage(const QString& target) {
        wizard->show();
        Click(wizard->NavButton(3));
        EXPECT_EQ(wizard->windowTitle(), "Sorvane - Step 1 of 4");
        QListWidget* formats = wizard->settings->lstdbfmt;
        QTest::mouseClick(formats->viewport(), Qt::LeftButton, {},
                          formats->visualItemRect(formats->item(0)).center());  // "Access"
        EXPECT_EQ(wizard->DbFormat, 0);
        QTest::keyClicks(wizard->settings->txtMissing, "-1");
        Click(wizard->NavButton(3));
        EXPECT_EQ(wizard->windowTitle(), "Sorvane - Step 2a of 4");
        QTest::keyClicks(wizard->sourceFile->txtdbname, source);
        Click(wizard->NavButton(3));
        ASSERT_EQ(wizard->CurrentStep, 4);
        EXPECT_EQ(session.MissingCode, -1);
        QComboBox* tables = wizard->table->cboTbName;
        tables->setFocus();
        QTest::keyClick(tables, Qt::Key_Down);  // the first table; the choice fills the preview
        ASSERT_EQ(tables->currentText(), "Customers");
        EXPECT_EQ(wizard->table->Grid1->rowCount(), 101);
        wizard->table->NDbName->selectAll();
        QTest::keyClicks(wizard->table->NDbName, target);
        EXPECT_EQ(wizard->table->NTbName->text(), "Customers");
    }

    QString source;
};

TEST_F(TruneEndToEnd, UserReachesTheMethodPageWithTheCopyMade) {
    MakeWizard();
    const QString target = dir.filePath("conditioned.db");
    WalkToTablePage(target);
    Click(wizard->NavButton(3));
    ASSERT_EQ(wizard->CurrentStep, 5);
    EXPECT_EQ(wizard->windowTitle(), "Sorvane - Step 4 of 4");
    EXPECT_TRUE(fake.prompts.Take().empty());

    // The copy: every row and field of the source, in the new file.
    auto copy = db::DBEngine::OpenDatabase(target.toStdString(), false, true);
    EXPECT_EQ(AllRows(*copy, "select * from Customers"), AllRows(*session.SourceDb, "select * from Customers"));
    EXPECT_EQ(wizard->DBPath, dir.path());

    // Income (Null among its values) and Tenure are continuous; Income_d is a label column.
    QListWidget* fields = wizard->method->LstConFld;
    ASSERT_EQ(fields->count(), 2);
    EXPECT_EQ(fields->item(0)->text(), "Income");
    EXPECT_EQ(fields->item(1)->text(), "Tenure");
    EXPECT_EQ(session.DistinctCounts[1], 109);
    EXPECT_EQ(session.DistinctCounts[2], 48);
    Click(wizard->method->CmdAutoDis);
    EXPECT_EQ(session.Intervals[1], 13);
    EXPECT_EQ(session.Intervals[2], 11);
    EXPECT_EQ(wizard->method->LstIntvl->currentItem()->text(), "13");
    fields->setCurrentRow(1);
    EXPECT_EQ(wizard->method->LstIntvl->currentItem()->text(), "11");
    Click(wizard->method->OptEnt);
    EXPECT_FALSE(wizard->method->LstIntvl->isEnabled());
    EXPECT_EQ(wizard->method->CmbFlds->itemText(1), "Region");

    // Back to the table page and on again: the second copy asks before it replaces the first.
    Click(wizard->NavButton(2));
    fake.prompts.answers = {true};
    Click(wizard->NavButton(3));
    EXPECT_EQ(fake.prompts.Take(), (std::vector<Box>{Question("The table Customers exists, overwrite?")}));
    EXPECT_EQ(wizard->CurrentStep, 5);
    EXPECT_EQ(session.Intervals[1], 5);  // detected and preset anew
}

TEST_F(TruneEndToEnd, CancelDuringDetectionStaysOnTheTablePage) {
    MakeWizard();
    WalkToTablePage(dir.filePath("conditioned.db"));
    int pumps = 0;
    wizard->onPump = [&] {
        // The copy pumps once; the detection once a field: Cancel arrives at its second field.
        if (++pumps != 3) return;
        fake.prompts.answers = {true};
        Click(wizard->NavButton(1));
    };
    Click(wizard->NavButton(3));
    EXPECT_EQ(fake.prompts.Take(), (std::vector<Box>{Question("Cancel the current process?")}));
    EXPECT_EQ(wizard->CurrentStep, 4);
    EXPECT_EQ(pumps, 3);
    EXPECT_FALSE(session.Busy);
    EXPECT_TRUE(wizard->NavButton(3)->isEnabled());
    EXPECT_TRUE(wizard->NavButton(2)->isEnabled());
    EXPECT_EQ(wizard->table->lbstatus3->text(), "");
    EXPECT_FALSE(wizard->Unloaded());
}

// On to Finish: the supervised method refused without a class field, then run with one; Back
// and Finish again by equal frequency; the viewer shows the copy; Close ends the program.
TEST_F(TruneEndToEnd, UserConditionsTheCopyViewsItAndCloses) {
    MakeWizard();
    const QString target = dir.filePath("conditioned.db");
    WalkToTablePage(target);
    Click(wizard->NavButton(3));
    ASSERT_EQ(wizard->CurrentStep, 5);
    Click(wizard->method->OptEnt);
    Click(wizard->NavButton(4));
    EXPECT_EQ(fake.prompts.Take(),
              (std::vector<Box>{Warning("You have chosen the supervised discretization, please select a field that "
                                        "contains the class labels.")}));
    ASSERT_EQ(wizard->CurrentStep, 5);
    wizard->method->CmbFlds->setFocus();
    QTest::keyClick(wizard->method->CmbFlds, Qt::Key_Down);  // "Region"
    ASSERT_EQ(wizard->method->CmbFlds->currentText(), "Region");
    Click(wizard->NavButton(4));
    ASSERT_EQ(wizard->CurrentStep, 6);
    EXPECT_EQ(wizard->windowTitle(), "Sorvane - Finished!");
    EXPECT_EQ(wizard->NavButton(4)->text(), "&Close");

    // The regions say nothing of income: no cut, "?" throughout; the earlier Income_d column
    // is reused, the hold-out column added.
    auto copy = [&] { return db::DBEngine::OpenDatabase(target.toStdString(), false, true); };
    EXPECT_EQ(AllRows(*copy(), "select distinct Income_d, Tenure_d from Customers"),
              (std::vector<std::vector<Value>>{{Value("?"), Value("?")}}));
    std::vector<std::string> names;
    for (const db::Field& f : copy()->TableDefs("Customers").Fields) names.push_back(f.Name);
    EXPECT_EQ(names, (std::vector<std::string>{"Region", "Income", "Income_d", "Score", "Tenure", "Tenure_d",
                                               "ZORV_HoldOut"}));

    Click(wizard->NavButton(2));
    ASSERT_EQ(wizard->CurrentStep, 5);
    wizard->method->OptEF->setFocus();
    QTest::keyClick(wizard->method->OptEF, Qt::Key_Space);
    ASSERT_TRUE(wizard->method->OptEF->isChecked());
    // The entropy run left the chosen counts as they were; "Auto Set" sets others.
    EXPECT_EQ(session.Intervals[1], 5);
    EXPECT_EQ(wizard->method->LstIntvl->currentItem()->text(), "5");
    Click(wizard->method->CmdAutoDis);
    Click(wizard->NavButton(4));
    ASSERT_EQ(wizard->CurrentStep, 6);
    // Equal frequency in 13 over 108 incomes: 9 rows (the quota) in the first interval.
    int first = 0;
    for (const auto& row : AllRows(*copy(), "select Income_d from Customers"))
        first += row[0].AsText().front() == '<';
    EXPECT_EQ(first, 9);

    bool viewed = false;
    QTimer::singleShot(0, [&] {
        QWidget* viewer = QApplication::activeModalWidget();
        ASSERT_NE(viewer, nullptr);
        EXPECT_EQ(viewer->windowTitle(), "Customers");
        EXPECT_EQ(viewer->findChild<QTableView*>("MSFlexGrid1")->model()->columnCount(), 7);
        viewed = true;
        QTest::keyClick(viewer, Qt::Key_Escape);
    });
    Click(wizard->finished->Command4);
    EXPECT_TRUE(viewed);

    Click(wizard->NavButton(4));
    EXPECT_TRUE(wizard->Unloaded());
    EXPECT_TRUE(fake.prompts.Take().empty());
}

// The screenshot driver walks the same pages on a database named like the demo database.
TEST_F(TruneEndToEnd, ScreenshotDriverPicturesEveryPage) {
    QTemporaryDir programDir, out;
    testsupport::CreateSqliteFile(QDir(programDir.path()).filePath("demo.db").toStdString(),
                                  {{"CustomersTest", {{"Tenure", db::dbLong, 0}},
                                    [] {
                                        std::vector<std::vector<Value>> rows;
                                        for (int i = 0; i < 40; ++i) rows.push_back({Value(int32_t(i))});
                                        return rows;
                                    }()}});
    const QStringList files = trune::TakeScreenshots(out.path(), programDir.path());
    QStringList names;
    for (const QString& f : files) names << QFileInfo(f).fileName();
    EXPECT_EQ(names, (QStringList{"trune_page_0.png", "trune_page_1.png", "trune_page_3.png", "trune_page_2.png",
                                  "trune_page_4.png", "trune_invalid_path.png", "trune_page_5.png", "trune_page_6.png",
                                  "trune_viewer.png", "trune_viewer_end.png", "trune_too_many_cuts.png",
                                  "trune_about.png"}));
}

}  // namespace
}  // namespace trunetest
