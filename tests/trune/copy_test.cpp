// The copy of the chosen table into a database file: a new file, an existing table in another
// file (overwrite Yes and No), the source's own file with its proposed new table name, the
// source table itself refused under any case of its name and any spelling of its path, an
// earlier copy in the source's file, an apostrophe in the path, the refusals, an existing
// target that is damaged,
// has a password or whose open is cancelled, and the copy from every source format the
// database layer reads, rows and types equal to the source.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <sqlite3.h>

#include <filesystem>
#include <fstream>

#include "tests/support/fixtures.h"
#include "tests/support/odbc_servers.h"
#include "tests/trune/trune_fixture.h"

namespace trunetest {
namespace {

using db::Value;

const std::string kXlsFixtures = std::string(BNS_TESTS_DIR) + "/platform/db/xls/";

testsupport::TableSpec People() {
    return {"People",
            {{"Name", db::dbText, 20}, {"Age", db::dbLong, 0}, {"Income", db::dbDouble, 0}, {"Member", db::dbBoolean, 0},
             {"Joined", db::dbDate, 0}},
            {{Value("ann"), Value(int32_t(31)), Value(5200.5), Value(true), Value(db::Date{45000})},
             {Value("bob"), Value(), Value(4100.0), Value(false), Value()},
             {Value("it's"), Value(int32_t(57)), Value(), Value(), Value(db::Date{44000.5})}}};
}

class CopyTest : public TruneTest {
protected:
    void SetUp() override {
        TruneTest::SetUp();
        source = SourceFile("source.db", {People(), {"Other", {{"X", db::dbText, 5}}, {{Value("o")}}}});
        MakeWizard();
    }

    // Pages 0 to 4 on `file` in `format`, table `table` chosen, the copy named.
    void Choose(const QString& file, int format, const QString& table, const QString& target, const QString& name) {
        ToSourcePage(format);
        wizard->sourceFile->txtdbname->setText(file);
        wizard->NavButton(3)->click();
        ASSERT_EQ(wizard->CurrentStep, 4) << file.toStdString();
        ChooseTable(table);
        wizard->table->NDbName->setText(target);
        wizard->table->NTbName->setText(name);
    }

    // The copy equals the source table: rows, field names and types.
    void ExpectCopyOf(const std::string& sourceTable, const QString& target, const std::string& name) {
        auto copy = db::DBEngine::OpenDatabase(target.toStdString(), false, true);
        EXPECT_EQ(AllRows(*copy, "select * from [" + name + "]"),
                  AllRows(*session.SourceDb, "select * from [" + sourceTable + "]"));
        const db::TableDef from = session.SourceDb->TableDefs(sourceTable);
        const db::TableDef to = copy->TableDefs(name);
        ASSERT_EQ(to.Fields.size(), from.Fields.size());
        for (size_t i = 0; i < from.Fields.size(); ++i) {
            EXPECT_EQ(to.Fields[i].Name, from.Fields[i].Name);
            EXPECT_EQ(to.Fields[i].Type, from.Fields[i].Type) << from.Fields[i].Name;
        }
    }

    size_t RowCount(const QString& file, const std::string& table) {
        auto db = db::DBEngine::OpenDatabase(file.toStdString(), false, true);
        return AllRows(*db, "select * from [" + table + "]").size();
    }

    QString source;
};

TEST_F(CopyTest, IntoANewFile) {
    const QString target = dir.filePath("new.db");
    Choose(source, 0, "People", target, "Conditioned");
    EXPECT_TRUE(wizard->ExportTable());
    EXPECT_TRUE(fake.prompts.Take().empty());
    ExpectCopyOf("People", target, "Conditioned");
    EXPECT_EQ(session.TargetDb->Name(), target.toStdString());
    EXPECT_EQ(wizard->table->lbstatus3->text(), "");
}

TEST_F(CopyTest, TableInAnotherFileIsReplacedOnlyOnYes) {
    const QString target = SourceFile("target.db", {{"People", {{"Old", db::dbText, 5}}, {{Value("a")}, {Value("b")}}}});
    Choose(source, 0, "People", target, "People");
    fake.prompts.answers = {false};
    EXPECT_FALSE(wizard->ExportTable());
    EXPECT_EQ(fake.prompts.Take(), (std::vector<Box>{Question("The table People exists, overwrite?")}));
    EXPECT_EQ(RowCount(target, "People"), 2u);
    EXPECT_EQ(engine.opens.back().name, target);
    EXPECT_FALSE(engine.opens.back().readOnly);

    fake.prompts.answers = {true};
    EXPECT_TRUE(wizard->ExportTable());
    EXPECT_EQ(fake.prompts.Take(), (std::vector<Box>{Question("The table People exists, overwrite?")}));
    ExpectCopyOf("People", target, "People");
}

// The source's own file proposes a new table name, free in that file whatever its case, and
// the copy is made inside the file (which the read-only source connection cannot write);
// another file proposes the table's own name, and the proposal follows the file while the
// user has not changed it.
TEST_F(CopyTest, TheSourcesOwnFileGetsANewTableName) {
    const QString own = SourceFile("own.db", {People(), {"PEOPLE_COPY", {{"X", db::dbText, 5}}, {}}});
    ToTablePage(own, "People");
    EXPECT_EQ(wizard->table->NDbName->text(), own);
    EXPECT_EQ(wizard->table->NTbName->text(), "People_copy2");
    EXPECT_TRUE(wizard->ExportTable());
    EXPECT_TRUE(fake.prompts.Take().empty());
    ExpectCopyOf("People", own, "People_copy2");
    EXPECT_EQ(session.TargetTable, "People_copy2");

    const QString other = dir.filePath("other.db");
    wizard->table->NDbName->setText(other);
    EXPECT_EQ(wizard->table->NTbName->text(), "People");
    wizard->table->NDbName->setText(own);
    EXPECT_EQ(wizard->table->NTbName->text(), "People_copy3");
    wizard->table->NTbName->setText("Mine");
    wizard->table->NDbName->setText(other);
    EXPECT_EQ(wizard->table->NTbName->text(), "Mine");
}

// The source table itself as the target, in any case of its name and through any spelling of
// its file's path, is refused before any file is opened: conditioning would add columns to it
// and overwrite its rows. The same name in another file is copied.
TEST_F(CopyTest, TheSourceTableItselfIsRefused) {
    std::filesystem::create_symlink(source.toStdString(), Path("link.db"));
    const QString relative = QDir::current().relativeFilePath(source);
    ASSERT_NE(relative, source);
    Choose(source, 0, "People", source, "People");
    const size_t opens = engine.opens.size();
    struct Case { QString file, name; };
    const Case cases[] = {{source, "People"}, {source, "PEOPLE"}, {dir.filePath("link.db"), "people"}, {relative, "People"}};
    for (const Case& c : cases) {
        SCOPED_TRACE((c.file + " " + c.name).toStdString());
        wizard->table->NDbName->setText(c.file);
        wizard->table->NTbName->setText(c.name);
        EXPECT_FALSE(wizard->ExportTable());
        EXPECT_EQ(fake.prompts.Take(),
                  std::vector<Box>{Warning("The table " + c.name + " is the source table itself, which Sorvane does not "
                                           "change. Please provide another table name or another database to export "
                                           "your training data.")});
    }
    EXPECT_EQ(engine.opens.size(), opens);
    EXPECT_EQ(session.TargetDb, nullptr);
    auto file = db::DBEngine::OpenDatabase(source.toStdString(), false, true);
    EXPECT_EQ(file->TableDefs("People").Fields.size(), 5u);
    EXPECT_EQ(RowCount(source, "People"), 3u);

    // Leaving the page is refused the same way.
    wizard->table->NDbName->setText(source);
    wizard->table->NTbName->setText("People");
    wizard->NavButton(3)->click();
    EXPECT_EQ(wizard->CurrentStep, 4);
    EXPECT_EQ(fake.prompts.Take().size(), 1u);

    const QString other = dir.filePath("other.db");
    wizard->table->NDbName->setText(other);
    wizard->table->NTbName->setText("People");
    EXPECT_TRUE(wizard->ExportTable());
    EXPECT_TRUE(fake.prompts.Take().empty());
    ExpectCopyOf("People", other, "People");
}

// An earlier copy in the source's own file is taken as it is, without the overwrite question
// of another file.
TEST_F(CopyTest, AnEarlierCopyInTheSourcesOwnFileIsTakenAsItIs) {
    Choose(source, 0, "People", source, "People_copy");
    EXPECT_TRUE(wizard->ExportTable());
    EXPECT_TRUE(wizard->ExportTable());
    EXPECT_TRUE(fake.prompts.Take().empty());
    ExpectCopyOf("People", source, "People_copy");
}

TEST_F(CopyTest, ApostropheInTheTargetPath) {
    QDir(dir.path()).mkdir("o'brien's data");
    const QString target = dir.filePath("o'brien's data/it's.db");
    Choose(source, 0, "People", target, "People");
    EXPECT_TRUE(wizard->ExportTable());
    EXPECT_TRUE(fake.prompts.Take().empty());
    ExpectCopyOf("People", target, "People");
}

TEST_F(CopyTest, RefusalsAndFailures) {
    Choose(source, 0, "People", "", "People");
    EXPECT_FALSE(wizard->ExportTable());
    wizard->table->NDbName->setText(dir.filePath("kept.db"));
    wizard->table->NTbName->setText("");
    EXPECT_FALSE(wizard->ExportTable());
    EXPECT_EQ(fake.prompts.Take(), (std::vector<Box>{Plain("Please provide the database name to export your training data."),
                                                      Plain("Please provide the table name to export your training data.")}));
    EXPECT_FALSE(QFile::exists(dir.filePath("kept.db")));

    // A source that cannot be read is found before the target file is made.
    wizard->table->NTbName->setText("People");
    wizard->table->cboTbName->setEditable(true);
    wizard->table->cboTbName->setEditText("Nowhere");
    EXPECT_FALSE(wizard->ExportTable());
    const std::vector<Box> boxes = fake.prompts.Take();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].icon, wizard::Icon::Warning);
    EXPECT_TRUE(boxes[0].text.contains("Nowhere")) << boxes[0].text.toStdString();
    EXPECT_FALSE(QFile::exists(dir.filePath("kept.db")));

    // A target in a folder that does not exist: what is wrong with the path, and no folder made.
    wizard->table->cboTbName->setEditText("People");
    const QString nowhere = dir.filePath("no such folder/copy.db");
    wizard->table->NDbName->setText(nowhere);
    EXPECT_FALSE(wizard->ExportTable());
    EXPECT_EQ(fake.prompts.Take(),
              (std::vector<Box>{Warning("'" + nowhere + "' isn't a valid path. Make sure that the path name is spelled "
                                        "correctly and that you are connected to the server on which the file "
                                        "resides.")}));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("no such folder")));
}

// A source table or query without rows is refused on the table page, naming it, before any
// file is made: its copy would have nothing to detect or cut.
TEST_F(CopyTest, ASourceWithoutRowsIsRefusedNamingIt) {
    const QString empty = SourceFile("empty.db", {{"Nobody", {{"Name", db::dbText, 20}, {"Age", db::dbLong, 0}}, {}},
                                                  People()});
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(empty.toUtf8().constData(), &raw), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(raw, "CREATE VIEW Elders AS SELECT * FROM People WHERE Age > 200", nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(raw);
    struct Case {
        const char* source;
        const char* told;
    };
    for (const Case& c : {Case{"Nobody", "The table Nobody has no rows"}, Case{"Elders", "The query Elders has no rows"}}) {
        SCOPED_TRACE(c.source);
        MakeWizard();
        const QString target = dir.filePath("never.db");
        Choose(empty, 0, c.source, target, "Copy");
        wizard->NavButton(3)->click();
        EXPECT_EQ(wizard->CurrentStep, 4);
        EXPECT_EQ(fake.prompts.Take(),
                  (std::vector<Box>{Warning(QString(c.told) + ", so there is nothing to discretize. Please choose a "
                                                              "table or query that holds data.")}));
        EXPECT_FALSE(QFile::exists(target));
        EXPECT_TRUE(wizard->NavButton(3)->isEnabled());
    }
}

// The hold-out column of another case (as a server that folds unquoted names keeps it) is
// named in the copy as the programs write it, with its type and values; the conditioning then
// reuses it, so the copy has one hold-out column, named so.
TEST_F(CopyTest, AHoldOutColumnOfAnotherCaseIsNamedAsTheProgramsWriteIt) {
    testsupport::TableSpec folded{"Folded", {{"Age", db::dbLong, 0}, {"zorv_holdout", db::dbBoolean, 0}}, {}};
    for (int i = 0; i < 30; ++i) folded.rows.push_back({Value(int32_t(i)), Value(i % 3 == 0)});
    const QString file = SourceFile("folded.db", {folded});
    const QString target = dir.filePath("copy.db");
    Choose(file, 0, "Folded", target, "Folded");
    wizard->NavButton(3)->click();
    ASSERT_EQ(wizard->CurrentStep, 5);
    auto fieldsOf = [&] {
        std::vector<std::pair<std::string, db::FieldType>> out;
        auto copy = db::DBEngine::OpenDatabase(target.toStdString(), false, true);
        for (const db::Field& f : copy->TableDefs("Folded").Fields) out.push_back({f.Name, f.Type});
        return out;
    };
    EXPECT_EQ(fieldsOf(), (std::vector<std::pair<std::string, db::FieldType>>{{"Age", db::dbLong},
                                                                               {"ZORV_HoldOut", db::dbBoolean}}));
    auto copy = db::DBEngine::OpenDatabase(target.toStdString(), false, true);
    EXPECT_EQ(AllRows(*copy, "select * from Folded"), AllRows(*session.SourceDb, "select * from Folded"));
    copy->Close();
    wizard->NavButton(4)->click();
    ASSERT_EQ(wizard->CurrentStep, 6);
    EXPECT_EQ(fieldsOf(), (std::vector<std::pair<std::string, db::FieldType>>{
                              {"Age", db::dbLong}, {"ZORV_HoldOut", db::dbBoolean}, {"Age_d", db::dbText}}));
}

// An existing target file that does not open at once: a damaged file is repaired on Yes and
// opened again read-write, a password is asked for until it is right or cancelled, a cancelled
// dialog (32755) and a declined repair end the copy without a word, any other error is shown
// with the exclamation icon; a target that did not open is no target.
TEST_F(CopyTest, TargetFileRepairPasswordAndCancel) {
    const QString target = SourceFile("target.db", {{"Old", {{"X", db::dbText, 5}}, {}}});
    Choose(source, 0, "People", target, "People");
    const size_t before = engine.opens.size();
    auto targetOpens = [&] {
        std::vector<std::string> connects;
        for (size_t i = before; i < engine.opens.size(); ++i) {
            EXPECT_EQ(engine.opens[i].name, target);
            EXPECT_FALSE(engine.opens[i].readOnly);
            connects.push_back(engine.opens[i].connect);
        }
        engine.opens.resize(before);
        return connects;
    };
    const Box repair{"Scripted error 3049.\n\nAttempt to Repair it?", Box::YesNo, wizard::Icon::Warning, {}};

    // Declined repair, cancelled dialog: False, no box of the copy's own, no target.
    struct Quiet {
        const char* name;
        std::deque<int32_t> errors;
        std::deque<bool> answers;
        std::vector<Box> boxes;
    };
    const Quiet quiet[] = {{"repair declined", {3049}, {false}, {repair}}, {"dialog cancelled", {32755}, {}, {}}};
    for (const Quiet& q : quiet) {
        SCOPED_TRACE(q.name);
        engine.errors = q.errors;
        fake.prompts.answers = q.answers;
        EXPECT_FALSE(wizard->ExportTable());
        EXPECT_EQ(session.TargetDb, nullptr);
        EXPECT_EQ(fake.prompts.Take(), q.boxes);
        EXPECT_EQ(targetOpens().size(), 1u);
    }
    EXPECT_TRUE(engine.repairs.empty());

    // Any other error: its text with the exclamation icon.
    engine.errors = {3051};
    EXPECT_FALSE(wizard->ExportTable());
    EXPECT_EQ(fake.prompts.Take(), (std::vector<Box>{Warning("Scripted error 3051.")}));
    EXPECT_EQ(session.TargetDb, nullptr);
    targetOpens();

    // Repair on Yes, then the open again with the same (empty) connect string, and the copy.
    engine.errors = {3049};
    fake.prompts.answers = {true};
    EXPECT_TRUE(wizard->ExportTable());
    EXPECT_EQ(fake.prompts.Take(), (std::vector<Box>{repair}));
    EXPECT_EQ(engine.repairs, (std::vector<std::string>{target.toStdString()}));
    EXPECT_EQ(targetOpens(), (std::vector<std::string>{"", ""}));
    ExpectCopyOf("People", target, "People");

    // A password: wrong ones bring the dialog back, the right one opens the file; Cancel gives up.
    engine.password = "secret";
    std::deque<QString> typed = {"guess", "secret"};
    wizard->AskPassword = [&](QWidget*) {
        const QString t = typed.front();
        typed.pop_front();
        return t;
    };
    wizard->table->NTbName->setText("People 2");
    EXPECT_TRUE(wizard->ExportTable());
    EXPECT_TRUE(fake.prompts.Take().empty());
    EXPECT_EQ(targetOpens(), (std::vector<std::string>{"", ";pwd=guess", ";pwd=secret"}));
    ExpectCopyOf("People", target, "People 2");

    typed = {""};
    EXPECT_FALSE(wizard->ExportTable());
    EXPECT_TRUE(fake.prompts.Take().empty());
    EXPECT_EQ(targetOpens(), (std::vector<std::string>{""}));
    EXPECT_EQ(session.TargetDb, nullptr);
}

// dBase III: the header, one descriptor a field, then fixed-width records.
std::string Dbf(const std::vector<std::tuple<std::string, char, int>>& fields, const std::vector<std::string>& records) {
    int length = 1;
    for (const auto& f : fields) length += std::get<2>(f);
    const int header = 33 + 32 * int(fields.size());
    std::string out(32, '\0');
    out[0] = 0x03;
    out[4] = char(records.size());
    out[8] = char(header & 0xFF);
    out[9] = char(header >> 8);
    out[10] = char(length);
    for (const auto& [name, type, width] : fields) {
        std::string d(32, '\0');
        d.replace(0, name.size(), name);
        d[11] = type;
        d[16] = char(width);
        out += d;
    }
    out += '\x0D';
    for (const std::string& r : records) out += ' ' + r;
    return out + '\x1A';
}

TEST_F(CopyTest, FromEverySourceFormat) {
    const testsupport::OdbcServers& servers = testsupport::StartOdbcServers();
    QDir(dir.path()).mkdir("files");
    std::ofstream(Path("files/scores.txt")) << "Name,Score,When\nann,12.5,2024-01-31\nbob,,2023-05-01\n";
    std::ofstream(Path("files/sales.dbf"), std::ios::binary)
        << Dbf({{"NAME", 'C', 5}, {"QTY", 'N', 4}, {"PAID", 'L', 1}}, {"tea     3T", "cake   12F", "jam       "});

    struct Source {
        const char* name;
        QString file;
        int format;
        const char* table;
    };
    const Source sources[] = {
        {"SQLite", source, 0, "People"},
        {"text", dir.filePath("files/scores.txt"), 15, "scores"},
        {"dBase", dir.filePath("files/sales.dbf"), 2, "sales"},
        {"Excel", QString::fromStdString(kXlsFixtures + "excel8.xls"), 14, "Cars"},
    };
    int n = 0;
    for (const Source& s : sources) {
        SCOPED_TRACE(s.name);
        MakeWizard();
        const QString target = dir.filePath(QString("copy%1.db").arg(++n));
        Choose(s.file, s.format, s.table, target, "Copy");
        ASSERT_TRUE(wizard->ExportTable());
        ExpectCopyOf(s.table, target, "Copy");
    }

    // ODBC through the SQLite driver.
    SCOPED_TRACE("ODBC");
    MakeWizard();
    ToSourcePage(16);
    wizard->odbc->values->cboDrivers->setEditText(QString::fromStdString(servers.sqliteDriver));
    wizard->odbc->values->txtDatabase->setText(source);
    wizard->NavButton(3)->click();
    ASSERT_EQ(wizard->CurrentStep, 4);
    ChooseTable("People");
    const QString target = dir.filePath("odbc.db");
    wizard->table->NDbName->setText(target);
    EXPECT_TRUE(wizard->ExportTable());
    ExpectCopyOf("People", target, "People");
    EXPECT_TRUE(fake.prompts.Take().empty());
}

TEST_F(CopyTest, FromAnAccessFile) {
    BNS_USE_SHARED_FIXTURES(fixtures);
    const QString nwind = QString::fromStdString(fixtures + "access/nwind.mdb");
    int n = 0;
    // A stored query is a source like a table: its rows are copied into a new table.
    for (const char* table : {"Shippers", "Products", "Current Product List"}) {
        SCOPED_TRACE(table);
        MakeWizard();
        const QString target = dir.filePath(QString("access%1.db").arg(++n));
        Choose(nwind, 0, table, target, "Copy");
        ASSERT_TRUE(wizard->ExportTable());
        ExpectCopyOf(table, target, "Copy");
    }
}

}  // namespace
}  // namespace trunetest
