// zorv's ODBC page: its lists and switches, the connect string as it reaches the engine, one
// open for unchanged values, a failed open, the Back sequence, the test servers by data source
// and by driver; and a user who learns from a SQLite table and tests on a text file and on
// PostgreSQL.
#include <unistd.h>

#include <QDir>
#include <QtTest/QTest>
#include <fstream>

#include "tests/support/odbc_servers.h"
#include "tests/zorv/zorv_fixture.h"

namespace zorvtest {
namespace {

constexpr int kNext = 3, kBack = 2;

std::vector<QString> Items(const QComboBox* box) {
    std::vector<QString> out;
    for (int i = 0; i < box->count(); ++i) out.push_back(box->itemText(i));
    return out;
}

bool Holds(const QComboBox* box, const std::string& text) { return box->findText(QString::fromStdString(text)) >= 0; }

// The database layer, with the connect strings it was asked to open.
class CountingEngine : public wizard::DatabaseEngine {
public:
    std::shared_ptr<db::Database> OpenDatabase(const std::string& name, bool exclusive, bool readOnly,
                                               const std::string& connect) override {
        connects.push_back(connect);
        return wizard::DefaultDatabaseEngine().OpenDatabase(name, exclusive, readOnly, connect);
    }
    void RepairDatabase(const std::string& name) override { wizard::DefaultDatabaseEngine().RepairDatabase(name); }
    std::vector<std::string> connects;
};

class OdbcPageTest : public ZorvTest {
protected:
    // Work mode 3 from the format page to the ODBC page.
    void EnterOdbcPage(bool scriptedLists = false) {
        MakeWizard();
        wizard->realData = true;
        wizard->Engine = &engine;
        if (scriptedLists) {
            wizard->OdbcSources = [] {
                return wizard::MakeOdbcLists(
                    [] {
                        return std::vector<db::OdbcDataSource>{{"Sales", "PostgreSQL Unicode"},
                                                               {"Stock", "PostgreSQL Unicode"}};
                    },
                    [] { return std::vector<db::OdbcDriver>{{"PostgreSQL Unicode", {}}, {"SQLite3", {}}}; });
            };
        }
        session.WorkMode = 3;
        wizard->ShowStep(6, 2);
        wizard->format->Lstdbfmt->setCurrentRow(16);
        wizard->NavButton(kNext)->click();
        ASSERT_EQ(wizard->CurrentStep, 8);
    }
    wizard::OdbcControls& Values() { return *wizard->odbc->values; }
    void ChooseDsn(const std::string& name) {
        const int index = Values().cboDSNList->findText(QString::fromStdString(name));
        ASSERT_GE(index, 1) << name;
        Values().cboDSNList->setCurrentIndex(index);
        wizard::cboDSNList_Click(Values());
    }
    CountingEngine engine;
};

TEST_F(OdbcPageTest, ListsSwitchesAndTheConnectStringOfTheValues) {
    EnterOdbcPage(true);
    wizard::OdbcControls& v = Values();
    EXPECT_EQ(Items(v.cboDSNList), (std::vector<QString>{"(None)", "Sales", "Stock"}));
    EXPECT_EQ(Items(v.cboDrivers), (std::vector<QString>{"PostgreSQL Unicode", "SQLite3"}));
    EXPECT_TRUE(v.cboDrivers->isEditable());
    // Nothing is chosen yet: Next asks for a driver or a data source.
    EXPECT_EQ(v.cboDrivers->currentText(), "");
    wizard->NavButton(kNext)->click();
    EXPECT_EQ(fake.prompts.Take(), std::vector<Box>{Warning("Please select a Driver or a DSN.")});
    EXPECT_TRUE(engine.connects.empty());
    EXPECT_EQ(v.txtPWD->echoMode(), QLineEdit::Password);
    EXPECT_TRUE(v.txtServer->isEnabled() && v.lblStep3[5]->isEnabled() && v.lblStep3[6]->isEnabled());

    ChooseDsn("Stock");
    EXPECT_FALSE(v.txtServer->isEnabled() || v.cboDrivers->isEnabled() || v.lblStep3[5]->isEnabled() ||
                 v.lblStep3[6]->isEnabled());
    // A password with ";" reaches the driver whole, in braces.
    v.txtServer->setText("ignored");
    v.txtUID->setText("u");
    v.txtPWD->setText("a;b");
    wizard->NavButton(kNext)->click();
    ASSERT_EQ(engine.connects.size(), 1u);
    EXPECT_EQ(engine.connects[0], "ODBC;DSN=Stock;UID=u;PWD={a;b};");
    const std::vector<Box> boxes = fake.prompts.Take();  // no such source
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].icon, wizard::Icon::None);
    EXPECT_EQ(wizard->CurrentStep, 8);

    v.cboDSNList->setCurrentIndex(0);
    wizard::cboDSNList_Click(v);
    EXPECT_TRUE(v.txtServer->isEnabled());
    v.cboDrivers->setEditText("");
    wizard->NavButton(kNext)->click();
    EXPECT_EQ(fake.prompts.Take(), std::vector<Box>{Warning("Please select a Driver or a DSN.")});
    EXPECT_EQ(engine.connects.size(), 1u);

    // Entering the page again empties it.
    wizard->NavButton(kBack)->click();
    wizard->NavButton(kNext)->click();
    EXPECT_EQ(v.txtUID->text(), "");
    EXPECT_EQ(v.cboDSNList->count(), 3);
}

TEST_F(OdbcPageTest, TestServersByDataSourceAndByDriver) {
    const testsupport::OdbcServers& s = testsupport::StartOdbcServers();
    const std::string pgTable = "zorv_test_" + std::to_string(::getpid());
    testsupport::RunNativeSql(s.PgConnect(s.pgDatabase),
                              {"DROP TABLE IF EXISTS " + pgTable, "CREATE TABLE " + pgTable + " (cls varchar(8), x integer)",
                               "INSERT INTO " + pgTable + " VALUES ('yes', 1)"});
    const std::string liteFile = dir.filePath("odbc.db").toStdString();
    testsupport::CreateSqliteFile(liteFile, {ConditionedTable("Cars", 5)});

    EnterOdbcPage();
    wizard::OdbcControls& v = Values();
    EXPECT_TRUE(Holds(v.cboDSNList, s.pgDsn) && Holds(v.cboDSNList, s.sqliteDsn));
    EXPECT_TRUE(Holds(v.cboDrivers, s.pgDriver) && Holds(v.cboDrivers, s.sqliteDriver));

    // PostgreSQL by its data source, whose user name is stored with it: empty boxes leave it
    // to the data source. One open for two Nexts with unchanged values.
    ChooseDsn(s.pgDsn);
    ASSERT_TRUE(wizard->ValidateStep()) << (fake.prompts.Take().empty() ? "" : "box shown");
    ASSERT_TRUE(wizard->ValidateStep());
    EXPECT_EQ(engine.connects, std::vector<std::string>{"ODBC;DSN=" + s.pgDsn + ";"});
    EXPECT_TRUE(wizard->OdbcConnect.startsWith("ODBC;"));
    EXPECT_TRUE(Holds(wizard->testTable->CboTBNameT, pgTable));
    EXPECT_EQ(wizard->testTable->CboTBNameT->currentIndex(), 0);

    // A login that fails keeps the open source and the string it was opened with.
    const QString opened = wizard->LastOdbcConnect;
    const auto testDb = session.TestDb;
    v.txtUID->setText("nobody_here");
    EXPECT_FALSE(wizard->ValidateStep());
    EXPECT_EQ(fake.prompts.Take().size(), 1u);
    EXPECT_EQ(wizard->LastOdbcConnect, opened);
    EXPECT_EQ(session.TestDb, testDb);

    // Next, Back, Next with the same values: Back closed the database, so it is opened again,
    // the typed user name in place of the stored one.
    v.txtUID->clear();
    wizard->NavButton(kNext)->click();
    ASSERT_EQ(wizard->CurrentStep, 9);
    EXPECT_EQ(engine.connects.size(), 2u);  // the one before and the failed login
    wizard->NavButton(kBack)->click();
    EXPECT_EQ(session.TestDb, nullptr);
    EXPECT_EQ(wizard->LastOdbcConnect, "");
    ChooseDsn(s.pgDsn);
    v.txtUID->setText(QString::fromStdString(s.pgUser));
    wizard->NavButton(kNext)->click();
    ASSERT_EQ(wizard->CurrentStep, 9);
    EXPECT_EQ(engine.connects.size(), 3u);
    EXPECT_EQ(engine.connects.back(), "ODBC;DSN=" + s.pgDsn + ";UID=" + s.pgUser + ";");
    ASSERT_NE(session.TestDb, nullptr);
    EXPECT_TRUE(Holds(wizard->testTable->CboTBNameT, pgTable));

    // SQLite by its driver, with no data source.
    wizard->NavButton(kBack)->click();
    v.cboDSNList->setCurrentIndex(0);
    wizard::cboDSNList_Click(v);
    v.txtUID->clear();
    v.cboDrivers->setEditText(QString::fromStdString(s.sqliteDriver));
    v.txtDatabase->setText(QString::fromStdString(liteFile));
    wizard->NavButton(kNext)->click();
    ASSERT_EQ(wizard->CurrentStep, 9);
    EXPECT_EQ(engine.connects.back(), "ODBC;Driver=SQLite3;Server=;Database=" + liteFile + ";");
    EXPECT_TRUE(Holds(wizard->testTable->CboTBNameT, "Cars"));
    EXPECT_TRUE(fake.prompts.Take().empty());
}

TEST_F(OdbcPageTest, UserLearnsFromATableAndTestsOnATextFileAndOnPostgres) {
    const testsupport::OdbcServers& s = testsupport::StartOdbcServers();
    const std::string pgTable = "zorv_cars_" + std::to_string(::getpid());
    testsupport::RunNativeSql(s.PgConnect(s.pgDatabase),
                              {"DROP TABLE IF EXISTS " + pgTable,
                               "CREATE TABLE " + pgTable + " (\"Class\" varchar(8), \"Age\" integer)",
                               "INSERT INTO " + pgTable + " VALUES ('yes', 31)"});
    const QString train = dir.filePath("cars.db");
    WriteTrainingDatabase(train.toStdString());
    QDir(dir.path()).mkdir("texts");
    const QString textFile = dir.filePath("texts/CarsTest.txt");
    std::ofstream(textFile.toStdString()) << "Class,Age\nyes,31\nno,64\n";

    ScriptedWizard& w = MakeWizard();
    w.realData = true;
    w.show();
    QPushButton* next = w.NavButton(kNext);
    auto click = [](QWidget* b) { QTest::mouseClick(b, Qt::LeftButton); };
    auto choose = [](QComboBox* box, const QString& text) {
        box->setCurrentIndex(box->findText(text));
        emit box->activated(box->currentIndex());
    };
    click(w.cover->Option1);
    QTest::keyClicks(w.cover->DBName, train);
    click(next);
    ASSERT_EQ(w.CurrentStep, 1);
    choose(w.fields->CboTbName, "Cars");
    choose(w.fields->CboCls, "Class");
    choose(w.fields->cboFrq, "Weight");
    click(next);
    ASSERT_EQ(w.CurrentStep, 2);
    EXPECT_EQ(session.FieldCount, 3);  // Class, Age_d, Income
    for (int page : {3, 4}) {
        if (page == 4) fake.prompts.answers = {true};
        click(next);
    }
    fake.prompts.Take();
    click(next);
    click(next);
    ASSERT_EQ(w.CurrentStep, 6);

    // A text file as test data: its folder opened, its table chosen.
    w.format->Lstdbfmt->setCurrentRow(15);
    click(next);
    QTest::keyClicks(w.testFile->DbNameT, textFile);
    click(next);
    ASSERT_EQ(w.CurrentStep, 9);
    EXPECT_EQ(w.testTable->CboTBNameT->currentText(), "CarsTest");
    choose(w.testTable->CboClsT, "Class");
    EXPECT_TRUE(w.testTable->OptNoSave->isEnabled());

    // Then PostgreSQL through its data source.
    click(w.NavButton(kBack));
    click(w.NavButton(kBack));
    w.format->Lstdbfmt->setCurrentRow(16);
    click(next);
    ASSERT_EQ(w.CurrentStep, 8);
    choose(w.odbc->values->cboDSNList, QString::fromStdString(s.pgDsn));
    QTest::keyClicks(w.odbc->values->txtUID, QString::fromStdString(s.pgUser));
    click(next);
    ASSERT_EQ(w.CurrentStep, 9);
    choose(w.testTable->CboTBNameT, QString::fromStdString(pgTable));
    EXPECT_EQ(Items(w.testTable->CboClsT), (std::vector<QString>{"None", "Class", "Age"}));
    EXPECT_TRUE(fake.prompts.Take().empty());
}

}  // namespace
}  // namespace zorvtest
