// A user walks trune with keys and clicks from the introduction to the method page on a
// generated database file: the copy lands in a new file, the continuous fields are listed; a
// Cancel during the detection keeps the user on the table page. Run as the CTest
// trune_end_to_end.
#include <QDir>
#include <QFileInfo>
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
    EXPECT_FALSE(wizard->NavButton(4)->isEnabled());

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
                                  "trune_page_4.png", "trune_page_5.png", "trune_page_6.png", "trune_about.png"}));
}

}  // namespace
}  // namespace trunetest
