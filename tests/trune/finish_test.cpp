// Page 5's Finish and the last page: the copy conditioned with the progress shown, the refusals
// and failures that keep the user on page 5, Cancel during the walk, the viewer on the copy
// and the launch of the other two programs.
#include <QApplication>
#include <QTimer>

#include "tests/trune/trune_fixture.h"
#include "trune/frm_view_data.h"

namespace trunetest {
namespace {

using db::Value;

constexpr int kCancel = 1, kBack = 2, kNext = 3, kFinish = 4;

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

    // The grid's text of the column named `name`, all rows fetched.
    static std::vector<QString> Column(trune::FrmViewData& v, const QString& name) {
        trune::RecordsetModel* m = v.model();
        while (m->canFetchMore({})) m->fetchMore({});
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
    std::vector<QString> percents;
    wizard->onPump = [&] {
        EXPECT_TRUE(wizard->method->Lbpercent->isVisibleTo(wizard.get()));
        EXPECT_TRUE(session.Busy);
        EXPECT_FALSE(wizard->NavButton(kFinish)->isEnabled());
        EXPECT_FALSE(wizard->NavButton(kBack)->isEnabled());
        percents.push_back(wizard->method->Lbpercent->text());
    };
    wizard->NavButton(kFinish)->click();
    ASSERT_EQ(wizard->CurrentStep, 6);
    EXPECT_EQ(wizard->windowTitle(), "Sorvane - Finished!");
    EXPECT_EQ(wizard->finished->lbldb->text(), target);
    EXPECT_EQ(wizard->finished->lbltb->text(), "Customers");
    ASSERT_EQ(percents.size(), 250u);
    EXPECT_EQ(percents.front(), "0%");
    EXPECT_EQ(percents.back(), "99%");
    EXPECT_FALSE(wizard->method->Lbpercent->isVisibleTo(wizard.get()));
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
                                      "Type a number there, or leave the box empty.")}));
    EXPECT_EQ(wizard->CurrentStep, 5);
    EXPECT_TRUE(wizard->NavButton(kFinish)->isEnabled());
    EXPECT_TRUE(wizard->NavButton(kBack)->isEnabled());
    EXPECT_FALSE(wizard->method->ProgressBar1->isVisibleTo(wizard.get()));
    EXPECT_FALSE(session.Busy);
    EXPECT_EQ(Copy("select count(*) from Customers"), (std::vector<std::vector<Value>>{{Value(int32_t(250))}}));
}

// Cancel confirmed during the walk: the rows walked keep their labels, the user stays.
TEST_F(FinishTest, CancelDuringTheWalkKeepsTheRowsWalked) {
    ToMethodPage();
    int rows = 0;
    wizard->onPump = [&] {
        if (++rows != 100) return;
        fake.prompts.answers = {true};
        wizard->NavButton(kCancel)->click();
    };
    wizard->NavButton(kFinish)->click();
    EXPECT_EQ(fake.prompts.Take(), (std::vector<Box>{Question("Cancel the current process?")}));
    EXPECT_EQ(wizard->CurrentStep, 5);
    EXPECT_EQ(rows, 100);
    EXPECT_EQ(Copy("select count(*) from Customers where X_d Is Not Null"),
              (std::vector<std::vector<Value>>{{Value(int32_t(100))}}));
    EXPECT_FALSE(wizard->Unloaded());
}

// The viewer reads the copy itself, in blocks, captioned with the table; after Back and a
// second Finish by another method it shows the new labels.
TEST_F(FinishTest, ViewerShowsTheCopyAndTheLabelsOfTheLatestRun) {
    ToMethodPage();
    wizard->NavButton(kFinish)->click();
    ASSERT_EQ(wizard->CurrentStep, 6);
    View([&](trune::FrmViewData& v) {
        EXPECT_EQ(v.windowTitle(), "Customers");
        EXPECT_TRUE(v.isModal());
        EXPECT_EQ(v.model()->rowCount(), trune::RecordsetModel::kBlock);
        EXPECT_TRUE(v.model()->canFetchMore({}));
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
