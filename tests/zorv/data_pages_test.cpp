// zorv's data pages on real databases: the training table's lists under the hold-out and "_d"
// rules, the class and frequency refusals, parameter queries, the test table and its class,
// the one-table-per-file preselection, and the training lists of the real Access files.
#include <sqlite3.h>

#include <QDir>
#include <QtTest/QTest>
#include <deque>
#include <fstream>

#include "tests/support/fixtures.h"
#include "tests/zorv/zorv_fixture.h"

namespace zorvtest {
namespace {

constexpr int kNext = 3, kBack = 2;
using zorv::FieldPage;
using zorv::TestTablePage;

std::vector<QString> Items(const QComboBox* box) {
    std::vector<QString> out;
    for (int i = 0; i < box->count(); ++i) out.push_back(box->itemText(i));
    return out;
}

// Field list items with their selection, "*" marking a selected one.
std::vector<QString> Fields(const QListWidget* list) {
    std::vector<QString> out;
    for (int i = 0; i < list->count(); ++i)
        out.push_back(list->item(i)->text() + (list->item(i)->isSelected() ? "*" : ""));
    return out;
}

void Exec(const std::string& file, const std::vector<std::string>& statements) {
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &raw), SQLITE_OK);
    for (const std::string& sql : statements)
        ASSERT_EQ(sqlite3_exec(raw, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sql;
    sqlite3_close(raw);
}

class DataPagesTest : public ZorvTest {
protected:
    void SetUp() override {
        ZorvTest::SetUp();
        train = dir.filePath("cars.db");
        WriteTrainingDatabase(train.toStdString());
    }

    // Work mode 1 on `file`, through the cover page to page 1.
    void OpenTraining(const QString& file) {
        MakeWizard();
        wizard->realData = true;
        wizard->cover->Option1->click();
        wizard->cover->DBName->setText(file);
        wizard->NavButton(kNext)->click();
    }

    void ChooseTable(const QString& name) {
        QComboBox* box = wizard->fields->CboTbName;
        const int index = box->findText(name);
        ASSERT_GE(index, 0) << name.toStdString();
        box->setCurrentIndex(index);
        wizard->CboTbName_Click();
    }

    static void Choose(QComboBox* box, const QString& name) {
        const int index = box->findText(name);
        ASSERT_GE(index, 0) << name.toStdString();
        box->setCurrentIndex(index);
    }

    // A click on the field list item `name`, which toggles its selection.
    void ClickField(const QString& name) {
        QListWidget* list = wizard->fields->Lstfields;
        QListWidgetItem* item = list->findItems(name, Qt::MatchExactly).front();
        list->setCurrentItem(item, QItemSelectionModel::NoUpdate);
        item->setSelected(!item->isSelected());
        wizard->Lstfields_Click();
    }

    QString train;
};

TEST_F(DataPagesTest, TrainingTableListsFieldsUnderTheHoldOutAndDiscretizedRules) {
    OpenTraining(train);
    ASSERT_EQ(wizard->CurrentStep, 1);
    FieldPage& p = *wizard->fields;
    EXPECT_EQ(Items(p.CboTbName), (std::vector<QString>{"None", "Cars", "CarsTest"}));
    EXPECT_EQ(p.CboTbName->currentIndex(), 0);
    EXPECT_EQ(p.Lstfields->count(), 0);

    ChooseTable("Cars");
    EXPECT_TRUE(fake.prompts.Take().empty());
    // Age_d is used in place of Age; the hold-out column is listed nowhere.
    EXPECT_EQ(Fields(p.Lstfields), (std::vector<QString>{"Class*", "Age", "Age_d*", "Income*", "Weight*"}));
    EXPECT_EQ(Items(p.cboFrq), (std::vector<QString>{"None", "Class", "Age", "Age_d", "Income", "Weight"}));
    EXPECT_EQ(p.cboFrq->currentIndex(), 0);
    EXPECT_EQ(p.CboCls->count(), 5);
    EXPECT_EQ(p.CboCls->currentIndex(), -1);
    // 100 of the 150 rows under the names; numbers in column 0; a Null is an empty cell.
    ASSERT_EQ(p.Grid1->rowCount(), 101);
    ASSERT_EQ(p.Grid1->columnCount(), 6);
    EXPECT_EQ(p.Grid1->item(0, 5)->text(), "Weight");
    EXPECT_EQ(p.Grid1->item(100, 0)->text(), "100");
    EXPECT_EQ(p.Grid1->item(1, 1)->text(), "yes");
    EXPECT_EQ(p.Grid1->item(1, 2)->text(), "20");
    EXPECT_EQ(p.Grid1->item(4, 2)->text(), "");  // row 3 of the table: Age is Null
    EXPECT_EQ(p.Grid1->item(4, 3)->text(), ">30<50");
    EXPECT_EQ(wizard->PreviewRs, nullptr);

    // The hold-out column in another case, as a server that folds names keeps it, is the
    // hold-out column: listed nowhere, the table taken.
    Exec(train.toStdString(), {"CREATE TABLE Folded (Class TEXT, Age INTEGER, zorv_holdout BOOLEAN)",
                               "INSERT INTO Folded VALUES ('yes', 20, 1)",
                               "CREATE TABLE Raw (Class TEXT, Age INTEGER, Holdout BOOLEAN)"});
    OpenTraining(train);
    ChooseTable("Folded");
    EXPECT_TRUE(fake.prompts.Take().empty());
    EXPECT_EQ(Items(wizard->fields->cboFrq), (std::vector<QString>{"None", "Class", "Age"}));
    EXPECT_EQ(wizard->fields->Grid1->columnCount(), 3);

    // A table without the hold-out column is refused.
    ChooseTable("Raw");
    EXPECT_EQ(fake.prompts.Take(),
              std::vector<Box>{Warning("This data set has not been pre-processed, please run Sorvane (trune) first.")});
    EXPECT_EQ(wizard->fields->Lstfields->count(), 0);
    EXPECT_EQ(wizard->fields->cboFrq->count(), 0);
    EXPECT_EQ(wizard->fields->CboCls->count(), 0);
    EXPECT_EQ(wizard->fields->Grid1->columnCount(), 1);
    EXPECT_EQ(wizard->fields->CboTbName->currentIndex(), -1);
}

TEST_F(DataPagesTest, ClassAndFrequencyFieldsRefuseEachOther) {
    OpenTraining(train);
    ChooseTable("Cars");
    FieldPage& p = *wizard->fields;

    // The class field moves to the top, selected, and cannot be deselected.
    Choose(p.CboCls, "Income");
    wizard->CboCls_Click();
    EXPECT_EQ(Fields(p.Lstfields), (std::vector<QString>{"Income*", "Class*", "Age", "Age_d*", "Weight*"}));
    ClickField("Income");
    EXPECT_EQ(fake.prompts.Take(), std::vector<Box>{Plain("This field must be selected since it is the class label.")});
    EXPECT_TRUE(p.Lstfields->item(0)->isSelected());

    Choose(p.cboFrq, "Income");
    wizard->cboFrq_Click();
    EXPECT_EQ(fake.prompts.Take(),
              std::vector<Box>{Plain("The 'frequency field' cannot be the same field as the class label.")});
    EXPECT_EQ(p.cboFrq->currentIndex(), 0);

    // A frequency field leaves the selection and may not come back.
    Choose(p.cboFrq, "Weight");
    wizard->cboFrq_Click();
    EXPECT_EQ(Fields(p.Lstfields).back(), "Weight");
    ClickField("Weight");
    EXPECT_EQ(fake.prompts.Take(),
              std::vector<Box>{Plain("This field cannot be selected since it is the 'Frequency Field' of the "
                                     "condensed data set.")});
    EXPECT_EQ(Fields(p.Lstfields).back(), "Weight");

    Choose(p.CboCls, "Weight");
    wizard->CboCls_Click();
    EXPECT_EQ(fake.prompts.Take(),
              std::vector<Box>{Plain("The class label cannot be the same field as the 'frequency field'.")});
    EXPECT_EQ(p.CboCls->currentIndex(), -1);

    // Leaving the page: a class field and at least three fields.
    wizard->NavButton(kNext)->click();
    EXPECT_EQ(fake.prompts.Take(),
              std::vector<Box>{Plain("Please select a field that contains the class information.")});
    EXPECT_EQ(wizard->CurrentStep, 1);
    Choose(p.CboCls, "Class");
    wizard->CboCls_Click();
    ClickField("Age_d");
    wizard->NavButton(kNext)->click();
    const Box tooFew{"Too few selected fields.", Box::Ok, wizard::Icon::Information, {}};
    EXPECT_EQ(fake.prompts.Take(), std::vector<Box>{tooFew});
    EXPECT_EQ(session.FieldCount, 2);
    ClickField("Age");
    wizard->NavButton(kNext)->click();
    EXPECT_EQ(wizard->CurrentStep, 2);
    EXPECT_EQ(session.FieldCount, 3);
}

TEST_F(DataPagesTest, ParameterQueriesAndATableNamedNone) {
    Exec(train.toStdString(),
         {"CREATE TABLE \"None\" AS SELECT * FROM Cars", "CREATE VIEW Priced AS SELECT Class, Rate FROM Cars",
          "CREATE VIEW Young AS SELECT * FROM Cars WHERE Age < 30"});
    OpenTraining(train);
    FieldPage& p = *wizard->fields;
    EXPECT_EQ(Items(p.CboTbName), (std::vector<QString>{"None", "Cars", "CarsTest", "None", "Priced", "Young"}));

    ChooseTable("Cars");
    p.CboTbName->setCurrentIndex(4);
    wizard->CboTbName_Click();
    EXPECT_EQ(fake.prompts.Take(), std::vector<Box>{Plain("This is a parameter query.")});
    // Nothing of Cars stays on the page as if it were the query's.
    EXPECT_EQ(p.Lstfields->count(), 0);
    EXPECT_EQ(p.cboFrq->count(), 0);
    EXPECT_EQ(p.CboCls->count(), 0);
    EXPECT_EQ(p.Grid1->columnCount(), 1);
    EXPECT_EQ(p.Grid1->rowCount(), 1);

    // The table named None is a table like any other; item 0 is the empty choice.
    p.CboTbName->setCurrentIndex(3);
    wizard->CboTbName_Click();
    EXPECT_EQ(p.Lstfields->count(), 5);
    ChooseTable("Young");
    EXPECT_EQ(p.Lstfields->count(), 5);
    EXPECT_LT(p.Grid1->rowCount(), 101);
    EXPECT_TRUE(fake.prompts.Take().empty());
}

TEST_F(DataPagesTest, TestTableAndItsClassField) {
    // A folder of text files: the folder is opened, the file's table chosen.
    QDir(dir.path()).mkdir("texts");
    const QString texts = dir.filePath("texts");
    std::ofstream((texts + "/cars.txt").toStdString()) << "Class,Age_d\nyes,<30\nno,>50\n";
    std::ofstream((texts + "/trucks.txt").toStdString()) << "Class,Load\nyes,3\n";
    std::ofstream((texts + "/notes").toStdString()) << "no extension\n";
    MakeWizard();
    wizard->realData = true;
    session.WorkMode = 3;
    wizard->ShowStep(6, 2);
    wizard->format->Lstdbfmt->setCurrentRow(15);
    wizard->NavButton(kNext)->click();
    ASSERT_EQ(wizard->CurrentStep, 7);
    wizard->NavButton(kNext)->click();
    const Box noName{"You must provide a database name.", Box::Ok, wizard::Icon::Information, {}};
    EXPECT_EQ(fake.prompts.Take(), std::vector<Box>{noName});
    wizard->testFile->DbNameT->setText(texts + "/trucks.txt");
    wizard->NavButton(kNext)->click();
    ASSERT_EQ(wizard->CurrentStep, 9);
    TestTablePage& t = *wizard->testTable;
    EXPECT_EQ(Items(t.CboTBNameT), (std::vector<QString>{"None", "cars", "trucks"}));
    EXPECT_EQ(t.CboTBNameT->currentText(), "trucks");
    EXPECT_EQ(Items(t.CboClsT), (std::vector<QString>{"None", "Class", "Load"}));
    // No true class: the results must go to a file.
    EXPECT_TRUE(t.OptSaveRst->isChecked());
    EXPECT_FALSE(t.OptNoSave->isEnabled());
    Choose(t.CboClsT, "Class");
    wizard->CboClsT_Click();
    EXPECT_TRUE(t.OptNoSave->isEnabled());
    t.OptNoSave->click();
    EXPECT_FALSE(t.RstName->isEnabled() || t.CmdRst->isEnabled());
    // The class back to None checks the file choice, and its box comes with it.
    Choose(t.CboClsT, "None");
    wizard->CboClsT_Click();
    EXPECT_TRUE(t.OptSaveRst->isChecked());
    EXPECT_FALSE(t.OptNoSave->isEnabled());
    EXPECT_TRUE(t.RstName->isEnabled() && t.CmdRst->isEnabled());
    // Entering the page again after "Just check" does the same.
    Choose(t.CboClsT, "Class");
    wizard->CboClsT_Click();
    t.OptNoSave->click();
    wizard->NavButton(kBack)->click();
    wizard->NavButton(kNext)->click();
    ASSERT_EQ(wizard->CurrentStep, 9);
    EXPECT_TRUE(t.OptSaveRst->isChecked());
    EXPECT_TRUE(t.RstName->isEnabled() && t.CmdRst->isEnabled());

    // A name without extension: no table of an earlier file is chosen.
    wizard->NavButton(kBack)->click();
    wizard->testFile->DbNameT->setText(texts + "/notes");
    wizard->NavButton(kNext)->click();
    EXPECT_EQ(wizard->PreselectTable, "notes");
    EXPECT_EQ(t.CboTBNameT->currentIndex(), 0);
    EXPECT_EQ(t.CboClsT->count(), 0);

    // A missing file of a database format: ShowError, and no test database.
    wizard->NavButton(kBack)->click();
    wizard->NavButton(kBack)->click();
    wizard->format->Lstdbfmt->setCurrentRow(0);
    wizard->NavButton(kNext)->click();
    wizard->testFile->DbNameT->setText(dir.filePath("gone.db"));
    wizard->NavButton(kNext)->click();
    const std::vector<Box> boxes = fake.prompts.Take();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(boxes[0].text.startsWith("The following Error occurred:\n\n")) << boxes[0].text.toStdString();
    EXPECT_TRUE(boxes[0].text.endsWith("\nNumber: 3024")) << boxes[0].text.toStdString();
    EXPECT_EQ(wizard->CurrentStep, 7);
    EXPECT_EQ(session.TestDb, nullptr);
}

TEST_F(DataPagesTest, RealAccessFilesListTheirTablesAndServeAsTestData) {
    BNS_USE_SHARED_FIXTURES(fixtures);
    const QString access = QString::fromStdString(fixtures + "access/");
    OpenTraining(access + "nwind.mdb");
    ASSERT_EQ(wizard->CurrentStep, 1);
    const std::vector<QString> tables = Items(wizard->fields->CboTbName);
    // "None", the nine tables, then the 22 stored queries in the file's order.
    ASSERT_EQ(tables.size(), 32u);
    EXPECT_EQ(tables[0], "None");
    for (const QString& t : {QString("Orders"), QString("Order Details"), QString::fromUtf8("Umsätze")})
        EXPECT_NE(std::find(tables.begin(), tables.begin() + 10, t), tables.begin() + 10) << t.toStdString();
    EXPECT_EQ(tables[10], "Alphabetical List of Products");
    EXPECT_EQ(tables[13], "Current Product List");
    EXPECT_EQ(tables[31], "Summary of Sales by Quarter");
    for (const QString& t : tables) EXPECT_FALSE(t.startsWith("MSys")) << t.toStdString();
    // Not conditioned: refused with the pointer to trune.
    ChooseTable("Orders");
    EXPECT_EQ(fake.prompts.Take(),
              std::vector<Box>{Warning("This data set has not been pre-processed, please run Sorvane (trune) first.")});

    OpenTraining(access + "ASampleDatabase.accdb");
    // Access's own queries for its forms and reports (~sq_...) are left out.
    EXPECT_EQ(Items(wizard->fields->CboTbName),
              (std::vector<QString>{"None", "Asset Items", "qryComputerHardwareInOwnerOrder", "qryCostsSummedByOwner",
                                    "qryGSTCalculations"}));

    // As test data: the table's fields are its class choices.
    wizard->ShowStep(6, 2);
    wizard->NavButton(kNext)->click();
    wizard->testFile->DbNameT->setText(access + "nwind.mdb");
    wizard->NavButton(kNext)->click();
    ASSERT_EQ(wizard->CurrentStep, 9);
    Choose(wizard->testTable->CboTBNameT, "Orders");
    wizard->CboTBNameT_Click();
    EXPECT_GT(wizard->testTable->CboClsT->count(), 10);
    EXPECT_EQ(wizard->testTable->CboClsT->itemText(1), "OrderID");
    EXPECT_TRUE(fake.prompts.Take().empty());
}

// The training file behind a password: the engine wants ";pwd=secret"; the wizard asks until
// it has it, or gives up on Cancel and stays on the cover page.
class PasswordEngine : public wizard::DatabaseEngine {
public:
    std::shared_ptr<db::Database> OpenDatabase(const std::string& name, bool exclusive, bool readOnly,
                                               const std::string& connect) override {
        connects.push_back(connect);
        if (connect != ";pwd=secret") throw db::Error(3031, "Not a valid password.");
        return db::DBEngine::OpenDatabase(name, exclusive, readOnly, "");
    }
    void RepairDatabase(const std::string&) override { ADD_FAILURE() << "no repair was asked for"; }
    std::vector<std::string> connects;
};

TEST_F(DataPagesTest, PasswordProtectedTrainingFile) {
    PasswordEngine engine;
    std::deque<QString> typed = {"guess", "secret"};
    MakeWizard();
    wizard->realData = true;
    wizard->Engine = &engine;
    wizard->AskPassword = [&](QWidget*) {
        const QString next = typed.empty() ? QString() : typed.front();
        if (!typed.empty()) typed.pop_front();
        return next;
    };
    wizard->cover->Option1->click();
    wizard->cover->DBName->setText(train);
    wizard->NavButton(kNext)->click();
    EXPECT_EQ(wizard->CurrentStep, 1);
    EXPECT_EQ(engine.connects, (std::vector<std::string>{"", ";pwd=guess", ";pwd=secret"}));
    EXPECT_EQ(Items(wizard->fields->CboTbName), (std::vector<QString>{"None", "Cars", "CarsTest"}));

    // Cancel: no box, no database, the cover page stays.
    wizard->NavButton(kBack)->click();
    wizard->NavButton(kNext)->click();
    EXPECT_EQ(wizard->CurrentStep, 0);
    EXPECT_EQ(wizard->TrainDb, nullptr);
    EXPECT_TRUE(fake.prompts.Take().empty());
}

}  // namespace
}  // namespace zorvtest
