// vrell's data source and page 4: the "_d" rule, the preview, the frequency field under clicks,
// keys and select-all, the one-table-per-file preselection, the empty name and a failed open.
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
        testsupport::TableSpec t{"Fields", {{"A", db::dbText}, {"B", db::dbLong}, {"B_d", db::dbText}, {"C", db::dbLong}}, {}};
        for (int r = 0; r < 30; ++r)
            t.rows.push_back({r % 5 == 0 ? db::Value() : db::Value(r % 2 ? "x" : "y"), db::Value(int32_t(r)),
                              db::Value(r < 15 ? "<15" : ">15"), db::Value(int32_t(1 + r % 3))});
        fields = Path("fields.db");
        testsupport::CreateSqliteFile(fields.toStdString(), {t});
    }

    std::vector<QString> Selected() const {
        std::vector<QString> out;
        for (QListWidgetItem* item : wizard->table->Lstfields->selectedItems()) out.push_back(item->text());
        return out;
    }

    QString fields;
};

TEST_F(DataSourceTest, EveryFieldListedTheDiscretizedColumnPreferredAndPreviewed) {
    OpenTable(fields, "Fields");
    struct { vrell::TablePage& t; } p{*wizard->table};
    ASSERT_EQ(p.t.Lstfields->count(), 4);
    EXPECT_EQ(Selected(), (std::vector<QString>{"A", "B_d", "C"}));
    EXPECT_EQ(p.t.cboFrq->count(), 5);
    EXPECT_EQ(p.t.cboFrq->currentText(), "None");
    EXPECT_EQ(p.t.Lstfields->currentRow(), 0);
    EXPECT_EQ(p.t.Grid1->rowCount(), 31);
    EXPECT_EQ(p.t.Grid1->columnCount(), 5);
    EXPECT_EQ(p.t.Grid1->item(0, 3)->text(), "B_d");
    EXPECT_EQ(p.t.Grid1->item(2, 0)->text(), "2");
    EXPECT_TRUE(p.t.Grid1->item(1, 1) == nullptr || p.t.Grid1->item(1, 1)->text().isEmpty());
    EXPECT_EQ(p.t.Grid1->item(2, 2)->text(), "1");
}

TEST_F(DataSourceTest, TheFrequencyFieldIsNeverSelected) {
    OpenTable(fields, "Fields");
    QListWidget* list = wizard->table->Lstfields;
    wizard->table->cboFrq->setCurrentIndex(4);  // C
    EXPECT_EQ(Selected(), (std::vector<QString>{"A", "B_d"}));
    EXPECT_TRUE(fake.prompts.Take().empty());

    // A click on C, then select-all by the keys: refused each time, C stays out.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(3)).center());
    EXPECT_EQ(Selected(), (std::vector<QString>{"A", "B_d"}));
    list->setFocus();
    QTest::keyClick(list, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(Selected(), (std::vector<QString>{"A", "B", "B_d"}));
    EXPECT_EQ(fake.prompts.Take(), (std::vector<Box>{Plain(kFrequencyRefused), Plain(kFrequencyRefused)}));

    // "None" changes nothing; C may be chosen again now.
    wizard->table->cboFrq->setCurrentIndex(0);
    EXPECT_EQ(Selected(), (std::vector<QString>{"A", "B", "B_d"}));
    list->item(3)->setSelected(true);
    EXPECT_EQ(Selected(), (std::vector<QString>{"A", "B", "B_d", "C"}));
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
