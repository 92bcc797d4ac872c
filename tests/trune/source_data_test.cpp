// trune's source data: a file opened read-only with its tables, then stored queries for a
// database file; the target's default; the chosen table with its preview and field names;
// the parameter query; one-table-per-file sources; the ODBC connect strings and when the
// source is opened again.
#include <QDir>

#include <algorithm>
#include <fstream>

#include "tests/support/fixtures.h"
#include "tests/support/odbc_servers.h"
#include "tests/trune/trune_fixture.h"

namespace trunetest {
namespace {

constexpr int kNext = 3;

class SourceDataTest : public TruneTest {
protected:
    void SetUp() override {
        TruneTest::SetUp();
        testsupport::TableSpec big{"Big", {{"N", db::dbLong, 0}, {"Note", db::dbText, 20}}, {}};
        for (int i = 0; i < 150; ++i)
            big.rows.push_back({db::Value(int32_t(i)), i % 3 ? db::Value("n" + std::to_string(i)) : db::Value()});
        source = SourceFile("src.db", {{"Small", {{"A", db::dbText, 10}}, {{db::Value("x")}}}, big});
        auto file = db::DBEngine::OpenDatabase(source.toStdString());
        file->Execute("CREATE TABLE Later (B TEXT(5))");
        file.reset();
        MakeWizard();
    }

    std::vector<QString> Tables() const {
        std::vector<QString> out;
        for (int i = 0; i < wizard->table->cboTbName->count(); ++i) out.push_back(wizard->table->cboTbName->itemText(i));
        return out;
    }

    QString source;
};

// Views are made through SQLite itself: the layer's SQL has no CREATE VIEW.
void AddViews(const std::string& file) {
    testsupport::RunNativeSql("Driver=SQLite3;Database=" + file + ";",
                              {"CREATE VIEW Evens AS SELECT N FROM Big WHERE N % 2 = 0",
                               "CREATE VIEW Asking AS SELECT Missing FROM Small"});
}

TEST_F(SourceDataTest, DatabaseFileListsTablesThenQueriesAndPreviewsTheChoice) {
    testsupport::StartOdbcServers();
    AddViews(source.toStdString());
    ToSourcePage();
    wizard->sourceFile->txtdbname->setText(source);
    wizard->table->NTbName->setText("left over");
    wizard->NavButton(kNext)->click();
    ASSERT_EQ(wizard->CurrentStep, 4);
    EXPECT_EQ(engine.opens.size(), 1u);
    EXPECT_TRUE(engine.opens[0].readOnly);
    EXPECT_EQ(Tables(), (std::vector<QString>{"Big", "Later", "Small", "Evens", "Asking"}));
    EXPECT_EQ(wizard->table->cboTbName->currentIndex(), -1);
    EXPECT_EQ(wizard->table->NTbName->text(), "");
    EXPECT_EQ(wizard->table->NDbName->text(), source);  // the copy goes into the source file

    ChooseTable("Big");
    EXPECT_EQ(wizard->table->NTbName->text(), "Big_copy");  // never the source table itself
    EXPECT_EQ(session.TableFieldCount, 2);
    EXPECT_EQ(session.TableFields[0], "N");
    EXPECT_EQ(session.TableFields[1], "Note");
    QTableWidget* grid = wizard->table->Grid1;
    ASSERT_EQ(grid->rowCount(), 101);
    ASSERT_EQ(grid->columnCount(), 3);
    EXPECT_EQ(grid->item(0, 1)->text(), "N");
    EXPECT_EQ(grid->item(0, 2)->text(), "Note");
    EXPECT_EQ(grid->item(1, 0)->text(), "1");
    EXPECT_EQ(grid->item(100, 0)->text(), "100");
    EXPECT_EQ(grid->item(100, 1)->text(), "99");
    EXPECT_EQ(grid->item(1, 2)->text(), "");  // Null
    EXPECT_EQ(grid->item(2, 2)->text(), "n1");

    ChooseTable("Small");
    EXPECT_EQ(grid->rowCount(), 2);
    ChooseTable("Asking");
    EXPECT_EQ(fake.prompts.Take(), (std::vector<Box>{Plain("This is a parameter query.")}));
    EXPECT_EQ(wizard->table->NTbName->text(), "Asking_copy");
    // Nothing of Small stays as if it were the query's.
    EXPECT_EQ(grid->rowCount(), 1);
    EXPECT_EQ(grid->columnCount(), 1);
    EXPECT_EQ(session.TableFieldCount, 0);
    // The source is never written.
    EXPECT_ANY_THROW(session.SourceDb->Execute("DELETE FROM Small"));
}

TEST_F(SourceDataTest, EmptyNameIsRefused) {
    ToSourcePage();
    wizard->NavButton(kNext)->click();
    EXPECT_EQ(fake.prompts.Take(), (std::vector<Box>{Info("You must provide a database name.")}));
    EXPECT_EQ(wizard->CurrentStep, 2);
    EXPECT_TRUE(engine.opens.empty());
}

TEST_F(SourceDataTest, OpenFailureStaysOnThePage) {
    ToSourcePage();
    wizard->sourceFile->txtdbname->setText(dir.filePath("none.db"));
    wizard->NavButton(kNext)->click();
    const std::vector<Box> boxes = fake.prompts.Take();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(boxes[0].text.startsWith("The following Error occurred:\n\n")) << boxes[0].text.toStdString();
    EXPECT_TRUE(boxes[0].text.endsWith("\nNumber: 3024")) << boxes[0].text.toStdString();
    EXPECT_EQ(wizard->CurrentStep, 2);
    EXPECT_EQ(session.SourceDb, nullptr);
}

// A text file: its folder is the database, the file's table is chosen and previewed, and the
// copy's names are left for the user.
TEST_F(SourceDataTest, TextFilePreselectsItsTable) {
    QDir(dir.path()).mkdir("text");
    {
        std::ofstream(dir.filePath("text/scores.txt").toStdString()) << "Name,Score\nann,12.5\nbob,7\n";
        std::ofstream(dir.filePath("text/other.txt").toStdString()) << "X\n1\n";
    }
    ToSourcePage(15);
    wizard->sourceFile->txtdbname->setText(dir.filePath("text/scores.txt"));
    wizard->table->NDbName->setText("left over");
    wizard->NavButton(kNext)->click();
    ASSERT_EQ(wizard->CurrentStep, 4);
    EXPECT_EQ(engine.opens[0].name, dir.filePath("text"));
    EXPECT_EQ(engine.opens[0].connect, "Text;");
    EXPECT_EQ(wizard->table->cboTbName->currentText().toLower(), "scores");
    EXPECT_EQ(wizard->table->Grid1->rowCount(), 3);
    EXPECT_EQ(wizard->table->NTbName->text(), "");
    EXPECT_EQ(wizard->table->NDbName->text(), "");
}

// A real Access file is only read here: the copy goes into a new file beside it.
TEST_F(SourceDataTest, AccessFileTargetsANewFileBesideIt) {
    BNS_USE_SHARED_FIXTURES(fixtures);
    const std::string kAccessFixtures = fixtures + "access/";
    ToSourcePage();
    wizard->sourceFile->txtdbname->setText(QString::fromStdString(kAccessFixtures + "nwind.mdb"));
    wizard->NavButton(kNext)->click();
    ASSERT_EQ(wizard->CurrentStep, 4);
    EXPECT_EQ(wizard->table->NDbName->text(), QString::fromStdString(kAccessFixtures + "nwind.db"));
    const std::vector<QString> tables = Tables();
    // The nine tables, then the 22 stored queries in the file's order.
    ASSERT_EQ(tables.size(), 31u);
    EXPECT_NE(std::find(tables.begin(), tables.begin() + 9, "Shippers"), tables.begin() + 9);
    EXPECT_EQ(tables[9], "Alphabetical List of Products");
    EXPECT_EQ(tables[12], "Current Product List");
    EXPECT_EQ(tables[30], "Summary of Sales by Quarter");
    for (const QString& t : tables) EXPECT_FALSE(t.startsWith("MSys")) << t.toStdString();
}

// The two browse buttons: the source file in its format's dialog, the target in a dialog that
// takes a new name; each remembers the folder of what its box holds.
TEST_F(SourceDataTest, BrowseButtons) {
    ToSourcePage(15);
    fake.files.answers = {"/data/text/scores.txt", ""};
    wizard->sourceFile->cmd2a->click();
    EXPECT_EQ(wizard->sourceFile->txtdbname->text(), "/data/text/scores.txt");
    EXPECT_EQ(wizard->DBPath, "/data/text");
    wizard->sourceFile->cmd2a->click();  // Cancel keeps the box
    EXPECT_EQ(wizard->sourceFile->txtdbname->text(), "/data/text/scores.txt");
    ASSERT_EQ(fake.files.requests.size(), 2u);
    EXPECT_EQ(fake.files.requests[0].kind, testsupport::FileRequest::Open);
    EXPECT_EQ(fake.files.requests[0].title, "Select Text File");
    EXPECT_EQ(fake.files.requests[0].startFolder, dir.path());

    fake.files.answers = {"/out/new conditioned.db"};
    wizard->CmdNDb_Click();
    EXPECT_EQ(wizard->table->NDbName->text(), "/out/new conditioned.db");
    EXPECT_EQ(wizard->DBPath, "/out");
    const testsupport::FileRequest& target = fake.files.requests.back();
    EXPECT_EQ(target.kind, testsupport::FileRequest::Save);
    EXPECT_EQ(target.title, "Open MS-JET/Access database");
    // The database files of zorv's and vrell's dialogs, Access 2007 files among them.
    const std::string databases =
        "Database files (*.db *.sqlite *.mdb *.accdb)|*.db;*.sqlite;*.mdb;*.accdb|All Files (*.*)|*.*";
    EXPECT_EQ(target.filter, QString::fromStdString(databases));
    EXPECT_EQ(target.startFolder, "/data/text");
    fake.files.answers = {"/out/typed"};
    wizard->CmdNDb_Click();
    EXPECT_EQ(wizard->table->NDbName->text(), "/out/typed.db");

    MakeWizard();
    ToSourcePage(0);
    fake.files.answers = {""};
    wizard->sourceFile->cmd2a->click();
    EXPECT_EQ(fake.files.requests.back().filter, QString::fromStdString(databases));
}

class OdbcSourceTest : public SourceDataTest {
protected:
    void ToOdbcPage() {
        ToSourcePage(16);
        ASSERT_EQ(wizard->CurrentStep, 3);
    }
    void Driver(const QString& driver, const QString& database) {
        wizard->odbc->values->cboDSNList->setCurrentIndex(0);
        wizard->odbc->values->cboDrivers->setEditText(driver);
        wizard->odbc->values->txtDatabase->setText(database);
    }
};

TEST_F(OdbcSourceTest, ConnectStrings) {
    const testsupport::OdbcServers& servers = testsupport::StartOdbcServers();
    ToOdbcPage();
    // The driver box starts empty, so Next with nothing chosen asks for a driver or a DSN.
    EXPECT_EQ(wizard->odbc->values->cboDrivers->currentText(), "");
    wizard->NavButton(kNext)->click();
    EXPECT_EQ(wizard->CurrentStep, 3);
    EXPECT_EQ(fake.prompts.Take(), (std::vector<Box>{Warning("Please select a Driver or a DSN.")}));
    const int dsn = wizard->odbc->values->cboDSNList->findText(QString::fromStdString(servers.sqliteDsn));
    ASSERT_GT(dsn, 0);
    struct Case {
        int dsn;
        const char* driver;
        const char* server;
        const char* uid;
        const char* pwd;
        const char* database;
        std::string connect;
    };
    const Case cases[] = {
        {dsn, "ignored", "ignored", "u", "", "", "ODBC;DSN=" + servers.sqliteDsn + ";UID=u;"},
        {0, "D", "S", "", "", "B", "ODBC;Driver=D;Server=S;Database=B;"},
        {0, "D", "", "me", "pw", "", "ODBC;Driver=D;Server=;UID=me;PWD=pw;"},
    };
    for (const Case& c : cases) {
        wizard->odbc->values->cboDSNList->setCurrentIndex(c.dsn);
        wizard->odbc->values->cboDrivers->setEditText(c.driver);
        wizard->odbc->values->txtServer->setText(c.server);
        wizard->odbc->values->txtUID->setText(c.uid);
        wizard->odbc->values->txtPWD->setText(c.pwd);
        wizard->odbc->values->txtDatabase->setText(c.database);
        wizard->LastOdbcConnect = QString::fromStdString(c.connect);  // equal: taken as open, nothing is tried
        EXPECT_TRUE(wizard->openODBC()) << c.connect;
    }
    wizard->odbc->values->cboDSNList->setCurrentIndex(0);
    wizard->odbc->values->cboDrivers->setEditText("");
    EXPECT_FALSE(wizard->openODBC());
    EXPECT_EQ(fake.prompts.Take(), (std::vector<Box>{Warning("Please select a Driver or a DSN.")}));
}

TEST_F(OdbcSourceTest, UnchangedValuesOpenOnceAndAFailedOpenForgetsTheOldValues) {
    const testsupport::OdbcServers& servers = testsupport::StartOdbcServers();
    ToOdbcPage();
    const QString driver = QString::fromStdString(servers.sqliteDriver);
    Driver(driver, source);
    wizard->NavButton(kNext)->click();
    ASSERT_EQ(wizard->CurrentStep, 4);
    EXPECT_EQ(Tables(), (std::vector<QString>{"Big", "Later", "Small"}));
    EXPECT_EQ(wizard->table->cboTbName->currentIndex(), -1);
    EXPECT_EQ(wizard->table->NDbName->text(), "");
    const std::shared_ptr<db::Database> first = session.SourceDb;
    wizard->NavButton(2)->click();
    wizard->NavButton(kNext)->click();
    EXPECT_EQ(session.SourceDb, first);  // the same values: nothing opened again

    wizard->NavButton(2)->click();
    Driver("no such driver", source);
    wizard->NavButton(kNext)->click();
    ASSERT_EQ(fake.prompts.Take().size(), 1u);
    EXPECT_EQ(wizard->CurrentStep, 3);
    EXPECT_EQ(session.SourceDb, nullptr);
    EXPECT_EQ(wizard->LastOdbcConnect, "");
    EXPECT_EQ(wizard->table->cboTbName->count(), 0);

    // The earlier values open again instead of passing for the source that was closed.
    Driver(driver, source);
    wizard->NavButton(kNext)->click();
    ASSERT_EQ(wizard->CurrentStep, 4);
    ASSERT_NE(session.SourceDb, nullptr);
    EXPECT_EQ(Tables().size(), 3u);
}

}  // namespace
}  // namespace trunetest
