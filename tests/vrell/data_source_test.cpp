// vrell's data source and page 4: the "_d" rule, the preview, the frequency field under clicks,
// keys and select-all, the one-table-per-file preselection, the empty name and a failed open.
#include <sqlite3.h>

#include <QDir>
#include <QtTest/QTest>
#include <fstream>

#include "tests/vrell/vrell_fixture.h"

namespace vrelltest {
namespace {

const QString kFrequencyRefused =
    "This field cannot be selected since it is the 'Frequency Field' of the condensed data set.";

class DataSourceTest : public VrellTest {
protected:
    void SetUp() override {
        VrellTest::SetUp();
        // The hold-out column of a conditioned table is a field like any other here.
        testsupport::TableSpec t{"Fields",
                                 {{"A", db::dbText},
                                  {"B", db::dbLong},
                                  {"B_d", db::dbText},
                                  {"C", db::dbLong},
                                  {"ZORV_HoldOut", db::dbBoolean}},
                                 {}};
        for (int r = 0; r < 30; ++r)
            t.rows.push_back({r % 5 == 0 ? db::Value() : db::Value(r % 2 ? "x" : "y"), db::Value(int32_t(r)),
                              db::Value(r < 15 ? "<15" : ">15"), db::Value(int32_t(1 + r % 3)), db::Value(r % 3 == 0)});
        fields = Path("fields.db");
        testsupport::CreateSqliteFile(fields.toStdString(), {t});
        // A stored query: a view of the file.
        sqlite3* raw = nullptr;
        ASSERT_EQ(sqlite3_open(fields.toUtf8().constData(), &raw), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(raw, "CREATE VIEW Evens AS SELECT A, C FROM Fields WHERE B % 2 = 0", nullptr, nullptr,
                               nullptr),
                  SQLITE_OK);
        sqlite3_close(raw);
    }

    std::vector<QString> Selected() const {
        std::vector<QString> out;
        const QListWidget* list = wizard->table->Lstfields;
        for (int i = 0; i < list->count(); ++i)
            if (list->item(i)->isSelected()) out.push_back(list->item(i)->text());
        return out;
    }

    QString fields;
};

TEST_F(DataSourceTest, EveryFieldListedTheDiscretizedColumnPreferredAndPreviewed) {
    OpenTable(fields, "Fields");
    struct { vrell::TablePage& t; } p{*wizard->table};
    // The tables, then the stored queries; no "None" item.
    ASSERT_EQ(p.t.cboTbName->count(), 2);
    EXPECT_EQ(p.t.cboTbName->itemText(0), "Fields");
    EXPECT_EQ(p.t.cboTbName->itemText(1), "Evens");
    ASSERT_EQ(p.t.Lstfields->count(), 5);
    EXPECT_EQ(Selected(), (std::vector<QString>{"A", "B_d", "C", "ZORV_HoldOut"}));
    EXPECT_EQ(p.t.cboFrq->count(), 6);
    EXPECT_EQ(p.t.cboFrq->currentText(), "None");
    EXPECT_EQ(p.t.Lstfields->currentRow(), 0);
    EXPECT_EQ(p.t.Grid1->rowCount(), 31);
    EXPECT_EQ(p.t.Grid1->columnCount(), 6);
    EXPECT_EQ(p.t.Grid1->item(0, 3)->text(), "B_d");
    EXPECT_EQ(p.t.Grid1->item(2, 0)->text(), "2");
    EXPECT_TRUE(p.t.Grid1->item(1, 1) == nullptr || p.t.Grid1->item(1, 1)->text().isEmpty());
    EXPECT_EQ(p.t.Grid1->item(2, 2)->text(), "1");
}

TEST_F(DataSourceTest, TheFrequencyFieldIsNeverSelected) {
    OpenTable(fields, "Fields");
    QListWidget* list = wizard->table->Lstfields;
    wizard->table->cboFrq->setCurrentIndex(4);  // C
    list->item(4)->setSelected(false);
    EXPECT_EQ(Selected(), (std::vector<QString>{"A", "B_d"}));
    EXPECT_TRUE(fake.prompts.Take().empty());

    // A click on C, then select-all by the keys: refused each time, C stays out.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(3)).center());
    EXPECT_EQ(Selected(), (std::vector<QString>{"A", "B_d"}));
    list->setFocus();
    QTest::keyClick(list, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(Selected(), (std::vector<QString>{"A", "B", "B_d", "ZORV_HoldOut"}));
    EXPECT_EQ(fake.prompts.Take(), (std::vector<Box>{Plain(kFrequencyRefused), Plain(kFrequencyRefused)}));

    // "None" changes nothing; C may be chosen again now.
    wizard->table->cboFrq->setCurrentIndex(0);
    EXPECT_EQ(Selected(), (std::vector<QString>{"A", "B", "B_d", "ZORV_HoldOut"}));
    list->item(3)->setSelected(true);
    EXPECT_EQ(Selected(), (std::vector<QString>{"A", "B", "B_d", "C", "ZORV_HoldOut"}));
    EXPECT_TRUE(fake.prompts.Take().empty());
}

TEST_F(DataSourceTest, AOneTablePerFileFormatOpensTheFolderAndChoosesTheFilesTable) {
    QDir(dir.path()).mkdir("files");
    std::ofstream(Path("files/scores.txt").toStdString()) << "Name,Score\nann,12\nbob,7\n";
    std::ofstream(Path("files/other.txt").toStdString()) << "X\n1\n";
    OpenTable(Path("files/SCORES.TXT"), "scores", 15);
    EXPECT_EQ(wizard->PreselectTable, "SCORES");
    EXPECT_EQ(wizard->table->cboTbName->currentText(), "scores");
    EXPECT_EQ(wizard->table->Lstfields->count(), 2);
    EXPECT_EQ(wizard->DBPath, Path("files"));
}

// A table or query that cannot be opened leaves no column of the table shown before.
TEST_F(DataSourceTest, ARefusedQueryClearsThePreviewAndTheFieldLists) {
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(fields.toUtf8().constData(), &raw), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(raw, "CREATE VIEW Asking AS SELECT Missing FROM Fields", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(raw);
    OpenTable(fields, "Fields");
    vrell::TablePage& t = *wizard->table;
    ASSERT_EQ(t.Grid1->columnCount(), 6);
    t.cboTbName->setCurrentIndex(t.cboTbName->findText("Asking"));
    EXPECT_EQ(fake.prompts.Take(), std::vector<Box>{Plain("This is a parameter query.")});
    EXPECT_EQ(t.Grid1->columnCount(), 1);
    EXPECT_EQ(t.Grid1->rowCount(), 1);
    EXPECT_EQ(t.Lstfields->count(), 0);
    EXPECT_EQ(t.cboFrq->count(), 0);
}

TEST_F(DataSourceTest, AnEmptyNameOrAFailedOpenKeepsPage2) {
    MakeWizard();
    wizard->NavButton(kNext)->click();
    wizard->NavButton(kNext)->click();
    wizard->NavButton(kNext)->click();
    EXPECT_EQ(wizard->CurStep, 2);
    EXPECT_EQ(fake.prompts.Take(), std::vector<Box>{Info("You must provide a database name.")});

    const QString missing = Path("sub/none.db");
    wizard->file->txtdbname->setText(missing);
    wizard->NavButton(kNext)->click();
    EXPECT_EQ(wizard->CurStep, 2);
    const std::vector<Box> shown = fake.prompts.Take();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_TRUE(shown[0].text.startsWith("The following Error occurred:\n\n"));
    EXPECT_FALSE(wizard->DataDb);
    // The folder is remembered whatever the open did.
    EXPECT_EQ(wizard->DBPath, Path("sub"));
}

}  // namespace
}  // namespace vrelltest
