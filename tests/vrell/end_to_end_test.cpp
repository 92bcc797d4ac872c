// A user walks every page of vrell with keys and clicks over a table drawn from a known network,
// from a database file and through the SQLite ODBC driver, enters a cause-and-effect pair and an
// output log, and reads on "Finished!" the links a direct engine run finds on the same arguments.
#include <QDir>
#include <QTabBar>
#include <QtTest/QTest>
#include <filesystem>

#include "tests/support/odbc_servers.h"
#include "tests/vrell/vrell_fixture.h"
#include "vrell/result_listing.h"

namespace vrelltest {
namespace {

void ClickItem(QListWidget* list, int row) {
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
}

// The engine run by hand: fields in the table's order, the pair A -> B kept by the partial
// ordering it implies, no frequency field, the default threshold.
QString DirectListing(const QString& file) {
    std::shared_ptr<vrellapi::IDataSet> engine = NewRealDataSet();
    std::shared_ptr<db::Database> database = db::DBEngine::OpenDatabase(file.toStdString(), false, true, "");
    std::string tb = "Sample", cnt, logi, logo;
    Integer n = 4;
    vb::Array<std::string> names(vb::To(4));
    const char* order[] = {"A", "B", "D", "C"};
    for (int i = 0; i < 4; ++i) names(i) = order[i];
    vb::Array<Integer> po(vb::To(4), vb::To(4)), ce = po, fl = po, rt(vb::To(4)), lf(vb::To(4)), rst = po;
    ce(0, 1) = 1;
    po(0, 1) = 1;
    bool bord = false, bpres = false;
    vb::Single perc = 1;
    engine->Init(database, tb, n, names, cnt, bord, po, ce, fl, rt, lf, logi, logo);
    engine->Construct(perc, bpres, rst);
    return QString::fromStdString(vrell::ListLinks(rst, names, 4)).replace("\r\n", "\n");
}

class VrellEndToEnd : public VrellTest {
protected:
    // Walks the wizard to "Finished!" and returns the listing.
    QString Walk(bool odbc, const QString& logFile) {
        realEngine = true;
        vrell::FrmWizard& w = MakeWizard();
        w.show();
        auto click = [](QWidget* button) { QTest::mouseClick(button, Qt::LeftButton); };
        click(w.NavButton(kNext));
        ClickItem(w.format->lstdbfmt, odbc ? 16 : 0);
        click(w.NavButton(kNext));
        if (odbc) {
            EXPECT_EQ(w.CurStep, 3);
            const testsupport::OdbcServers& servers = testsupport::StartOdbcServers();
            // The driver box shows the first driver: the user types over it.
            QTest::keyClick(w.odbc->values->cboDrivers, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClicks(w.odbc->values->cboDrivers, QString::fromStdString(servers.sqliteDriver));
            QTest::keyClicks(w.odbc->values->txtDatabase, sample);
        } else {
            EXPECT_EQ(w.CurStep, 2);
            QTest::keyClicks(w.file->txtdbname, sample);
        }
        click(w.NavButton(kNext));
        EXPECT_EQ(w.CurStep, 4);
        w.table->cboTbName->setFocus();
        QTest::keyClick(w.table->cboTbName, Qt::Key_Down);
        EXPECT_EQ(w.table->cboTbName->currentText(), "Sample");
        EXPECT_EQ(w.table->Lstfields->selectedItems().size(), 4);
        click(w.NavButton(kNext));
        EXPECT_EQ(w.CurStep, 5);
        wizard::KnowledgePage& k = *w.knowledge->page;
        QTabBar* tabs = k.SSTab1->tabBar();
        QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(2).center());
        ClickItem(k.lstfld[2], 0);  // A
        ClickItem(k.lstfld[3], 1);  // B
        click(k.cmdright2);
        EXPECT_EQ(k.lstrst[1]->count(), 1);
        click(w.NavButton(kNext));
        EXPECT_EQ(w.CurStep, 6);
        QTest::keyClicks(w.logs->txtoutputlog, logFile);
        click(w.NavButton(kFinish));
        EXPECT_EQ(w.CurStep, 7);
        EXPECT_TRUE(fake.prompts.Take().empty());
        return w.finished->txtrst->toPlainText();
    }
};

TEST_F(VrellEndToEnd, FromAFileAndThroughOdbcTheListingIsTheEnginesAndTheLogIsWritten) {
    const QString expected = DirectListing(sample);
    ASSERT_TRUE(expected.contains("A -> B"));
    int n = 0;
    for (bool odbc : {false, true}) {
        SCOPED_TRACE(odbc ? "ODBC" : "file");
        const QString log = Path(QString("run%1.log").arg(++n));
        EXPECT_EQ(Walk(odbc, log), expected);
        std::error_code ec;
        EXPECT_GT(std::filesystem::file_size(log.toStdString(), ec), 0u);
        fake.prompts.answers = {true};
        wizard->NavButton(kCancel)->click();
        EXPECT_EQ(fake.prompts.Take(), std::vector<Box>{Question("Exit Tormid?")});
        EXPECT_TRUE(wizard->Unloaded());
    }
}

}  // namespace
}  // namespace vrelltest
