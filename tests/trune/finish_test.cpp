// Page 5's Finish and the last page: the copy conditioned with the progress shown, the refusals
// and failures that keep the user on page 5, Cancel during the walk, the viewer on the copy
// and the launch of the other two programs.
#include <QApplication>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

#include <map>
#include <set>

#include "tests/trune/trune_fixture.h"
#include "trune/frm_view_data.h"

namespace trunetest {
namespace {

using db::Value;

constexpr int kCancel = 1, kBack = 2, kNext = 3, kFinish = 4;
// The progress captions of the cut computation and of the walk.
const QString kCutting = "Computing the cut points, please wait...";
const QString kWalking = "Data pre-processing is in progress...";

class FinishTest : public TruneTest {
protected:
    void SetUp() override {
        TruneTest::SetUp();
        // Class A below 125, B from there; X continuous; Name a text of no numbers.
        testsupport::TableSpec t{"Customers", {{"Class", db::dbText, 5}, {"X", db::dbDouble}, {"Name", db::dbText, 20}}, {}};
        for (int i = 0; i < 250; ++i)
            t.rows.push_back({Value(i < 125 ? "A" : "B"), i % 50 == 7 ? Value() : Value(0.5 * i),
                              Value("N" + std::to_string(i % 7))});
        source = SourceFile("customers.db", {t});
        target = dir.filePath("conditioned.db");
    }

    // Pages 0 to 5: the copy made into `target`, X found continuous.
    void ToMethodPage() {
        MakeWizard();
        ToTablePage(source, "Customers");
        wizard->table->NDbName->setText(target);
        wizard->NavButton(kNext)->click();
        ASSERT_EQ(wizard->CurrentStep, 5);
        ASSERT_EQ(wizard->method->LstConFld->count(), 1);
        ASSERT_EQ(wizard->method->LstConFld->item(0)->text(), "X");
    }

    std::vector<std::vector<Value>> Copy(const std::string& sql) {
        auto copy = db::DBEngine::OpenDatabase(target.toStdString(), false, true);
        return AllRows(*copy, sql);
    }

    // Shows the viewer from the last page and hands it to `look` while it is shown modally.
    void View(const std::function<void(trune::FrmViewData&)>& look) {
        bool seen = false;
        QTimer::singleShot(0, [&] {
            auto* viewer = dynamic_cast<trune::FrmViewData*>(QApplication::activeModalWidget());
            ASSERT_NE(viewer, nullptr);
            seen = true;
            look(*viewer);
            viewer->reject();
        });
        wizard->finished->Command4->click();
        EXPECT_TRUE(seen);
    }

    // The grid's text of the column named `name`, every row.
    static std::vector<QString> Column(trune::FrmViewData& v, const QString& name) {
        trune::RecordsetModel* m = v.model();
        int col = -1;
        for (int c = 0; c < m->columnCount(); ++c)
            if (m->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString() == name) col = c;
        std::vector<QString> out;
        if (col < 0) return out;
        for (int r = 0; r < m->rowCount(); ++r) out.push_back(m->data(m->index(r, col), Qt::DisplayRole).toString());
        return out;
    }

    QString source, target;
};

TEST_F(FinishTest, FinishConditionsTheCopyWithProgressAndShowsTheLastPage) {
    ToMethodPage();
    EXPECT_TRUE(wizard->NavButton(kFinish)->isEnabled());
    EXPECT_EQ(wizard->NavButton(kFinish)->text(), "&Finish");
    // The cut computation's progress first, then the walk's, each under its caption.
    std::map<QString, std::vector<QString>> percents;
    wizard->onPump = [&] {
        EXPECT_TRUE(wizard->method->Lbpercent->isVisibleTo(wizard.get()));
        EXPECT_TRUE(session.Busy);
        EXPECT_FALSE(wizard->NavButton(kFinish)->isEnabled());
        EXPECT_FALSE(wizard->NavButton(kBack)->isEnabled());
        if (percents.count(kWalking)) {
            EXPECT_NE(wizard->method->LbProcessing->text(), kCutting);
        }
        percents[wizard->method->LbProcessing->text()].push_back(wizard->method->Lbpercent->text());
    };
    wizard->NavButton(kFinish)->click();
    ASSERT_EQ(wizard->CurrentStep, 6);
    EXPECT_EQ(wizard->windowTitle(), "Sorvane - Finished!");
    EXPECT_EQ(wizard->finished->lbldb->text(), target);
    EXPECT_EQ(wizard->finished->lbltb->text(), "Customers");
    ASSERT_EQ(percents.size(), 2u);
    EXPECT_FALSE(percents[kCutting].empty());
    EXPECT_EQ(percents[kCutting].front(), "0%");
    ASSERT_EQ(percents[kWalking].size(), 250u);
    EXPECT_EQ(percents[kWalking].front(), "0%");
    EXPECT_EQ(percents[kWalking].back(), "99%");
    EXPECT_EQ(wizard->method->LbProcessing->text(), kWalking);
    EXPECT_FALSE(wizard->method->Lbpercent->isVisibleTo(wizard.get()));
    // The finished run reads 100%, not the last row's 99.
    EXPECT_EQ(wizard->method->Lbpercent->text(), "100%");
    EXPECT_EQ(wizard->method->ProgressBar1->value(), 100);
    EXPECT_FALSE(session.Busy);

    // Equal frequency in 5: 245 usable rows, a quota of 50 a cut; the cuts the session keeps
    // are the labels'.
    EXPECT_EQ(session.Intervals[1], 5);
    ASSERT_EQ(session.Cuts[1].size(), 4u);
    EXPECT_EQ(session.Cuts[1][0], 25.25f);
    EXPECT_EQ(Copy("select count(*) from Customers where X_d = '<25.25'"),
              (std::vector<std::vector<Value>>{{Value(int32_t(50))}}));
    EXPECT_EQ(Copy("select count(*) from Customers where X_d = '?'"), (std::vector<std::vector<Value>>{{Value(int32_t(5))}}));
    EXPECT_EQ(Copy("select count(*) from Customers where ZORV_HoldOut Is Null"),
              (std::vector<std::vector<Value>>{{Value(int32_t(0))}}));
}

// A view or a read-only copy is refused with the Part's message; a code that is no number ends
// the run naming its box. Either way the user stays on page 5 with the buttons back.
TEST_F(FinishTest, RefusalsAndFailuresKeepTheUserOnTheMethodPage) {
    ToMethodPage();
    auto writable = session.TargetDb;
    session.TargetDb = db::DBEngine::OpenDatabase(target.toStdString(), false, true);
    wizard->NavButton(kFinish)->click();
    EXPECT_EQ(fake.prompts.Take(), (std::vector<Box>{Plain("The table is not updatable.")}));
    EXPECT_EQ(wizard->CurrentStep, 5);
    EXPECT_EQ(Copy("select * from Customers").front().size(), 3u);

    session.TargetDb = writable;
    wizard->settings->txtAlone->setText("1; drop table Customers");
    wizard->method->OptEW->click();
    wizard->NavButton(kFinish)->click();
    EXPECT_EQ(fake.prompts.Take(),
              (std::vector<Box>{Plain("The value \"1; drop table Customers\" in \"In a bucket alone:\" is not a number. "
                                      "Type a number there, or leave the box empty.\n\nThe table Customers was left "
                                      "unchanged.")}));
    EXPECT_EQ(wizard->CurrentStep, 5);
    EXPECT_TRUE(wizard->NavButton(kFinish)->isEnabled());
    EXPECT_TRUE(wizard->NavButton(kBack)->isEnabled());
    EXPECT_FALSE(wizard->method->ProgressBar1->isVisibleTo(wizard.get()));
    EXPECT_FALSE(session.Busy);
    EXPECT_EQ(Copy("select count(*) from Customers"), (std::vector<std::vector<Value>>{{Value(int32_t(250))}}));
}

// Cancel confirmed while the cuts are computed, or in the middle of the walk, or the walk
// failing there: the user stays on page 5 and hears that the copy was left as it was, which it
// was, both before any run and after a finished one.
TEST_F(FinishTest, CancelOrFailureLeavesTheCopyUnchangedAndSaysSo) {
    ToMethodPage();
    struct Case {
        const char* name;
        QString caption;  // the progress the Cancel click comes in
        int at;           // at that progress's n-th pump
        bool fail;        // the pump fails instead
    };
    const Case cases[] = {{"cancel while cutting", kCutting, 1, false},
                          {"cancel in the walk", kWalking, 100, false},
                          {"failure in the walk", kWalking, 100, true}};
    const Box cancelled = Plain("The discretization was cancelled. The table Customers was left unchanged.");
    for (const bool conditioned : {false, true}) {
        if (conditioned) {
            wizard->method->OptEW->click();
            wizard->NavButton(kFinish)->click();
            ASSERT_EQ(wizard->CurrentStep, 6);
            wizard->NavButton(kBack)->click();
            wizard->method->OptEF->click();
        }
        const std::vector<std::vector<Value>> before = Copy("select * from Customers");
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (conditioned ? " after a run" : ""));
            int pumps = 0;
            wizard->onPump = [&] {
                if (wizard->method->LbProcessing->text() != c.caption || ++pumps != c.at) return;
                if (c.fail) throw db::Error(3163, "The field is too small to accept the amount of data you attempted to add.");
                fake.prompts.answers = {true};
                wizard->NavButton(kCancel)->click();
            };
            wizard->NavButton(kFinish)->click();
            // The pump reads this case and its counter: it must not outlive them.
            wizard->onPump = nullptr;
            const Box told = c.fail ? Plain("The field is too small to accept the amount of data you attempted to add."
                                            "\n\nThe table Customers was left unchanged.")
                                    : cancelled;
            EXPECT_EQ(fake.prompts.Take(),
                      c.fail ? std::vector<Box>{told} : (std::vector<Box>{Question("Cancel the current process?"), told}));
            EXPECT_EQ(wizard->CurrentStep, 5);
            EXPECT_EQ(pumps, c.at);
            EXPECT_EQ(Copy("select * from Customers"), before);
            EXPECT_TRUE(wizard->NavButton(kFinish)->isEnabled());
            EXPECT_EQ(wizard->method->LbProcessing->text(), kWalking);
            // No percentage of the stopped run stays behind its message.
            EXPECT_EQ(wizard->method->Lbpercent->text(), "0%");
            EXPECT_EQ(wizard->method->ProgressBar1->value(), 0);
        }
    }
    EXPECT_FALSE(wizard->Unloaded());
}

// The counts a run cuts by and shows, after a supervised run and after a stopped one. Class A
// for the first 150 rows; Sep (0 to 299) separates the classes at 149.5; every value of Flat
// (0 to 49, six rows each) holds as many rows of A as of B, so the entropy method finds no
// cut for it. By equal width or equal frequency in 5 each gets 5 intervals, Flat in 7 gets 7.
class RunCountsTest : public TruneTest {
protected:
    void SetUp() override {
        TruneTest::SetUp();
        testsupport::TableSpec t{"T", {{"Class", db::dbText, 5}, {"Sep", db::dbLong}, {"Flat", db::dbLong}}, {}};
        for (int i = 0; i < 300; ++i)
            t.rows.push_back({Value(i < 150 ? "A" : "B"), Value(int32_t(i)), Value(int32_t(i % 50))});
        source = SourceFile("source.db", {t});
        target = dir.filePath("conditioned.db");
        MakeWizard();
        ToTablePage(source, "T");
        wizard->table->NDbName->setText(target);
        wizard->NavButton(kNext)->click();
        ASSERT_EQ(wizard->CurrentStep, 5);
        ASSERT_EQ(wizard->method->LstConFld->count(), 2);
    }

    void Supervised() {
        wizard->method->OptEnt->click();
        wizard->method->CmbFlds->setCurrentIndex(wizard->method->CmbFlds->findText("Class"));
    }

    // The distinct labels of `column` in the copy.
    std::set<std::string> Labels(const std::string& column) {
        auto copy = db::DBEngine::OpenDatabase(target.toStdString(), false, true);
        std::set<std::string> out;
        for (const auto& row : AllRows(*copy, "select distinct " + column + " from T")) out.insert(row[0].AsText());
        return out;
    }

    // The count the interval list shows for field row `k`, "" for none.
    QString Shown(int k) {
        wizard->method->LstConFld->setCurrentRow(k);
        QListWidgetItem* item = wizard->method->LstIntvl->currentItem();
        return item && item->isSelected() ? item->text() : QString();
    }

    QString source, target;
};

TEST_F(RunCountsTest, ASupervisedRunLeavesTheChosenCountsToTheNextRun) {
    Supervised();
    wizard->NavButton(kFinish)->click();
    ASSERT_EQ(wizard->CurrentStep, 6);
    EXPECT_EQ(Labels("Sep_d"), (std::set<std::string>{"<149.5", ">149.5"}));
    EXPECT_EQ(Labels("Flat_d"), (std::set<std::string>{"?"}));
    // The last page names the field written "?" in every row.
    QLabel* uncut = wizard->finished->lblUncut;
    EXPECT_TRUE(uncut->isVisibleTo(wizard->finished));
    EXPECT_EQ(uncut->text(), "The field Flat was labelled \"?\" throughout, because no cut point was found for it.");
    // Several fields, and more than are named.
    wizard->finished->SetUncutFields({"Flat", "Even"});
    EXPECT_EQ(uncut->text(), "The fields Flat and Even were labelled \"?\" throughout, because no cut point was found "
                             "for them.");
    std::vector<std::string> many;
    for (int i = 1; i <= 12; ++i) many.push_back("F" + std::to_string(i));
    wizard->finished->SetUncutFields(many);
    EXPECT_EQ(uncut->text(), "The fields F1, F2, F3, F4, F5, F6, F7, F8, F9, F10 and 2 more were labelled \"?\" "
                             "throughout, because no cut point was found for them.");
    wizard->finished->SetUncutFields({"Flat"});

    // Back on the page the supervised method shows what it produced; equal width shows, and
    // cuts by, the counts the user chose.
    wizard->NavButton(kBack)->click();
    ASSERT_TRUE(wizard->method->OptEnt->isChecked());
    EXPECT_EQ(Shown(0), "2");
    EXPECT_EQ(Shown(1), "");
    wizard->method->OptEW->click();
    EXPECT_EQ(Shown(0), "5");
    EXPECT_EQ(Shown(1), "5");
    EXPECT_TRUE(wizard->method->LstIntvl->isEnabled());
    wizard->NavButton(kFinish)->click();
    ASSERT_EQ(wizard->CurrentStep, 6);
    EXPECT_EQ(Labels("Sep_d").size(), 5u);
    EXPECT_EQ(Labels("Flat_d").size(), 5u);
    EXPECT_FALSE(uncut->isVisibleTo(wizard->finished));
    EXPECT_TRUE(fake.prompts.Take().empty());
}

// A supervised run stopped while its cuts are computed or in its walk leaves the counts and the
// cuts of the finished run before it; the next equal-frequency run cuts by the chosen counts.
TEST_F(RunCountsTest, AStoppedSupervisedRunChangesNoCount) {
    struct Case {
        const char* name;
        QString caption;
        int at;
    };
    for (const Case& c : {Case{"cancel while cutting", kCutting, 1}, Case{"cancel in the walk", kWalking, 100}}) {
        SCOPED_TRACE(c.name);
        if (wizard->CurrentStep == 6) wizard->NavButton(kBack)->click();
        wizard->method->OptEW->click();
        wizard->NavButton(kFinish)->click();
        ASSERT_EQ(wizard->CurrentStep, 6);
        wizard->NavButton(kBack)->click();
        const std::vector<trune::CutPoints> cuts = session.Cuts;
        ASSERT_EQ(cuts[1].size(), 4u);
        wizard->method->LstConFld->setCurrentRow(1);
        wizard->method->LstIntvl->setCurrentRow(5);  // Flat in 7

        Supervised();
        int pumps = 0;
        wizard->onPump = [&] {
            if (wizard->method->LbProcessing->text() != c.caption || ++pumps != c.at) return;
            fake.prompts.answers = {true};
            wizard->NavButton(kCancel)->click();
        };
        wizard->NavButton(kFinish)->click();
        wizard->onPump = nullptr;
        ASSERT_EQ(wizard->CurrentStep, 5);
        fake.prompts.Take();
        EXPECT_EQ(session.Intervals, (std::vector<int32_t>{0, 5, 7, 0}));
        EXPECT_EQ(session.Cuts, cuts);
        // No supervised run finished: it has no counts to show.
        EXPECT_EQ(Shown(0), "");

        wizard->method->OptEF->click();
        EXPECT_EQ(Shown(0), "5");
        EXPECT_EQ(Shown(1), "7");
        wizard->NavButton(kFinish)->click();
        ASSERT_EQ(wizard->CurrentStep, 6);
        EXPECT_EQ(Labels("Sep_d").size(), 5u);
        EXPECT_EQ(Labels("Flat_d").size(), 7u);
    }
}

// The viewer reads the copy itself, captioned with the table; after Back and a
// second Finish by another method it shows the new labels.
TEST_F(FinishTest, ViewerShowsTheCopyAndTheLabelsOfTheLatestRun) {
    ToMethodPage();
    wizard->NavButton(kFinish)->click();
    ASSERT_EQ(wizard->CurrentStep, 6);
    View([&](trune::FrmViewData& v) {
        EXPECT_EQ(v.windowTitle(), "Customers");
        EXPECT_TRUE(v.isModal());
        EXPECT_EQ(v.model()->rowCount(), 250);
        const std::vector<QString> labels = Column(v, "X_d");
        ASSERT_EQ(labels.size(), 250u);
        EXPECT_EQ(labels[0], "<25.25");
        EXPECT_EQ(Column(v, "X")[1], "0.5");
        EXPECT_EQ(Column(v, "Name")[1], "N1");
        EXPECT_EQ(Column(v, "X")[7], "");
        // The grid fills the window.
        v.resize(500, 300);
        QApplication::processEvents();
        EXPECT_EQ(v.MSFlexGrid1->geometry(), v.rect());
    });

    wizard->NavButton(kBack)->click();
    wizard->method->OptEW->click();
    wizard->NavButton(kFinish)->click();
    ASSERT_EQ(wizard->CurrentStep, 6);
    View([&](trune::FrmViewData& v) { EXPECT_EQ(Column(v, "X_d")[0], "<24.9"); });
    EXPECT_TRUE(fake.prompts.Take().empty());
}

TEST_F(FinishTest, ViewerThatCannotOpenTheCopyTellsWhy) {
    MakeWizard();
    wizard->ShowStep(6, 2);
    wizard->finished->lbldb->setText(dir.filePath("gone.db"));
    wizard->finished->lbltb->setText("Customers");
    wizard->finished->Command4->click();
    const std::vector<Box> boxes = fake.prompts.Take();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(boxes[0].text.contains("gone.db")) << boxes[0].text.toStdString();
    EXPECT_EQ(boxes[0].icon, wizard::Icon::Warning);
    EXPECT_EQ(wizard->CurrentStep, 6);
}

// On a large table the grid knows every row from the start: Ctrl+End, Page Down and the
// scroll bar reach any row at once, and only the blocks on screen are read.
TEST_F(FinishTest, ViewerReachesAnyRowOfALargeTableAtOnce) {
    constexpr int kRows = 200000;
    testsupport::TableSpec t{"Large", {{"N", db::dbLong}, {"N_d", db::dbText, 50}}, {}};
    for (int i = 0; i < kRows; ++i) t.rows.push_back({Value(int32_t(i + 1)), Value(i % 2 ? "<5" : ">5")});
    const QString file = dir.filePath("large.db");
    testsupport::CreateSqliteFile(file.toStdString(), {t});
    trune::FrmViewData viewer(fake.prompts);
    ASSERT_TRUE(viewer.Load(file, "Large"));
    viewer.show();
    QTableView* grid = viewer.MSFlexGrid1;
    trune::RecordsetModel* m = viewer.model();
    ASSERT_EQ(m->rowCount(), kRows);
    // The row at the top of the screen, as painted.
    auto topRow = [&] {
        grid->viewport()->repaint();
        const int row = grid->rowAt(0);
        EXPECT_EQ(m->data(m->index(row, 0), Qt::DisplayRole).toString(), QString::number(row + 1));
        return row;
    };
    EXPECT_EQ(topRow(), 0);
    const int64_t atStart = m->blocksRead();
    const int page = grid->rowAt(grid->viewport()->height() - 1);
    ASSERT_GT(page, 5);

    QTest::keyClick(grid, Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(grid->currentIndex().row(), kRows - 1);
    EXPECT_GT(topRow(), kRows - 2 * page);
    EXPECT_TRUE(grid->viewport()->rect().contains(grid->visualRect(grid->currentIndex())));
    EXPECT_EQ(m->data(m->index(kRows - 1, 0), Qt::DisplayRole).toString(), "200000");

    QTest::keyClick(grid, Qt::Key_Home, Qt::ControlModifier);
    QTest::keyClick(grid, Qt::Key_PageDown);
    EXPECT_GE(grid->currentIndex().row(), page - 1);
    grid->verticalScrollBar()->setValue(grid->verticalScrollBar()->maximum() / 2);
    EXPECT_NEAR(topRow(), kRows / 2, page);
    // Each screen read one block or two, never the rows between.
    EXPECT_LE(m->blocksRead() - atStart, 6);
}

// A shell that finds no program to start.
class NoPrograms : public testsupport::FakeShell {
public:
    bool StartProgram(const QString& name) override {
        started.push_back(name);
        return false;
    }
};

// Each launch button starts its program, with no arguments, and closes trune through its
// settings save, also when the program is missing (no message then).
TEST_F(FinishTest, LaunchStartsTheSiblingProgramAndClosesTrune) {
    struct Case {
        bool zorv;
        bool present;
    };
    for (const Case c : {Case{true, true}, Case{false, true}, Case{true, false}, Case{false, false}}) {
        NoPrograms missing;
        wizard::Services services = fake.bundle();
        wizard::Services bundle{services.prompts, services.files, c.present ? services.shell : missing,
                                services.printer};
        fake.shell.started.clear();
        ClearSettings();
        trune::TruneSession own;
        ScriptedWizard w(bundle, own, dir.path());
        w.DBPath = "/somewhere";
        w.show();
        w.ShowStep(6, 2);
        (c.zorv ? w.finished->Cmdzorv : w.finished->Cmdvrell)->click();
        const QString program = c.zorv ? "zorv" : "vrell";
        EXPECT_EQ(c.present ? fake.shell.started : missing.started, (std::vector<QString>{program}));
        EXPECT_TRUE(w.Unloaded());
        EXPECT_FALSE(w.isVisible());
        QSettings stored(QSettings::IniFormat, QSettings::UserScope, "Sorvane", "Sorvane");
        EXPECT_EQ(stored.value("Startup/DBPath").toString(), "/somewhere");
    }
}

}  // namespace
}  // namespace trunetest
