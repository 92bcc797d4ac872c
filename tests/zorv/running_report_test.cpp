// Step 4 after a real learning run: the structure listing in txtrst, the running report saved
// and printed from the wizard's state (the run's knowledge, the options, the fixed clock), a
// listing added after an edit, and the save and print failures.
#include "tests/zorv/learning_fixture.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include "platform/vb/regional.h"

namespace zorvtest {
namespace {

int Row(const QListWidget* list, const char* field) {
    return list->row(list->findItems(field, Qt::MatchExactly).first());
}

QString ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

class RunningReportTest : public LearningTest {
protected:
    QString Title() const {
        const std::time_t t = std::time_t(fake.shell.now.toSecsSinceEpoch());
        return QString::fromStdString("Belief Network Kalvex.       " + vb::LocalTimeText(t) + "  " + vb::LocalDateText(t));
    }
    QString Save(const QString& name) {
        const QString path = dir.filePath(name);
        fake.files.answers = {path};
        wizard->result->cmdSave->click();
        return path;
    }
};

TEST_F(RunningReportTest, ListingAndReportFollowTheRunAndItsEdit) {
    WalkToStep3(KindTable(), [](ScriptedWizard& w) {
        wizard::KnowledgePage& p = *w.knowledge->page;
        p.lstfld[0]->setCurrentRow(Row(p.lstfld[0], "Size"));  // Size before Weight
        p.lstfld[1]->setCurrentRow(Row(p.lstfld[1], "Weight"));
        p.cmdright1->click();
        p.lstfld[5]->setCurrentRow(Row(p.lstfld[5], "Size"));  // no link Size - Colour
        p.lstfld[6]->setCurrentRow(Row(p.lstfld[6], "Colour"));
        p.cmdright3->click();
        w.options->OptFixed->click();
        w.options->CmbEps->setCurrentIndex(w.options->CmbEps->findText("2.0"));
    });
    wizard->NavButton(kProceed)->click();
    ASSERT_EQ(wizard->CurrentStep, 4);
    EXPECT_TRUE(wizard->result->cmdSave->isEnabled() && wizard->result->cmdPrint->isEnabled());

    // The listing: every learned link of the single net, with whole names.
    const QString listing = wizard->result->txtrst->text();
    EXPECT_TRUE(listing.startsWith("\r\nBayesian Network")) << listing.toStdString();
    int links = 0;
    for (int i = 1; i <= 5; ++i)
        for (int j = i + 1; j <= 5; ++j)
            if (session.GraphArr(0, i, j) > 0) {
                ++links;
                const char* arrow = session.GraphArr(0, i, j) == 1 ? " -> " : " <- ";
                EXPECT_TRUE(listing.contains(QString::fromStdString(session.FieldNames[size_t(i)]) + arrow +
                                             QString::fromStdString(session.FieldNames[size_t(j)]) + "   "));
            }
    ASSERT_GT(links, 0);
    EXPECT_EQ(wizard->LearnedGraph(0, 0, 0), 2);

    const QString path = Save("report.txt");
    EXPECT_EQ(wizard->ReportPath, dir.path());
    const QStringList lines = ReadAll(path).split("\r\n");
    ASSERT_GT(lines.size(), 30);
    EXPECT_EQ(lines[0], Title());
    EXPECT_EQ(lines.mid(1, 3), (QStringList{"", "", "Database:  " + dir.filePath("learn.db")}));
    EXPECT_TRUE(lines.contains("Dataset:  Train"));
    EXPECT_TRUE(lines.contains("Kind   Size   Weight Colour Noise  "));
    EXPECT_TRUE(lines.contains("Partial ordering:  YES"));
    EXPECT_TRUE(lines.contains("  Size>>Weight "));
    EXPECT_TRUE(lines.contains("Causes & Effects:  NO"));
    EXPECT_TRUE(lines.contains("  Size-X-Colour Colour-X-Size   ") ||
                lines.contains("  Size-X-Colour Colour-X-Size  "));
    EXPECT_TRUE(lines.contains("Threshold: 2.0 times of the default value."));
    EXPECT_TRUE(lines.contains("Results: [Bayesian Net]"));
    EXPECT_FALSE(lines.contains("After Editing:"));

    wizard->result->cmdPrint->click();
    ASSERT_EQ(fake.printer.reports.size(), 1u);
    const std::vector<wizard::ReportOp>& ops = fake.printer.reports[0];
    ASSERT_GT(ops.size(), 4u);
    EXPECT_EQ(ops[0].text, lines[0].toStdString());
    EXPECT_EQ(ops[0].font, wizard::TitleFont());
    for (size_t k = 1; k <= 3; ++k) EXPECT_EQ(ops[k].kind, wizard::ReportOpKind::EndLine);
    EXPECT_EQ(ops[4].text, lines[3].toStdString());
    EXPECT_EQ(ops[4].font, wizard::BodyFont());

    // The editor saved a change and wrote the listing again: the listing follows the old one
    // and the report shows the learned structure before the edited one.
    session.GraphArr(0, 4, 5) = 1;
    wizard->WriteGrafTxt();
    EXPECT_TRUE(wizard->result->txtrst->text().startsWith(listing));
    EXPECT_TRUE(wizard->result->txtrst->text().mid(listing.size()).contains("Colour -> Noise   "));
    EXPECT_EQ(wizard->LearnedGraph(0, 0, 0), 3);
    fake.prompts.answers = {true};
    Save("report.txt");
    EXPECT_EQ(fake.prompts.Take(), std::vector<Box>{Question("The selected file'" + path + "' exists, overwrite?")});
    EXPECT_TRUE(ReadAll(path).contains("\r\nAfter Editing:\r\n"));
}

class ReportFailures : public ZorvTest {};

TEST_F(ReportFailures, SaveAndPrintErrorsWarnAndLeaveTheOldFile) {
    MakeWizard();
    wizard->Page(4)->setEnabled(true);
    zorv::ResultPage& page = *wizard->result;

    // Cancel: nothing happens.
    fake.files.answers = {""};
    page.cmdSave->click();

    // A folder that does not exist.
    const QString missing = dir.filePath("nowhere/report.txt");
    fake.files.answers = {missing};
    page.cmdSave->click();
    EXPECT_EQ(fake.prompts.Take(), std::vector<Box>{Warning("Path not found: '" + missing + "'")});
    EXPECT_FALSE(QFile::exists(missing));

    // Something that is not a normal read-write file.
    QDir(dir.path()).mkdir("taken.txt");
    fake.files.answers = {dir.filePath("taken.txt")};
    page.cmdSave->click();
    EXPECT_EQ(fake.prompts.Take(), std::vector<Box>{Warning("The selected file '" + dir.filePath("taken.txt") +
                                                            "' is not a normal read-write file.")});

    // A hidden file is asked about like any other; No keeps it.
    const QString hidden = WriteFile(".old.txt", "old report");
    fake.files.answers = {hidden};
    fake.prompts.answers = {false};
    page.cmdSave->click();
    EXPECT_EQ(fake.prompts.Take(), std::vector<Box>{Question("The selected file'" + hidden + "' exists, overwrite?")});
    EXPECT_EQ(ReadAll(hidden), "old report");
    // Typed without its extension: the question names the file the filter adds it to.
    const QString typed = WriteFile("kept.txt", "kept report");
    fake.files.answers = {dir.filePath("kept")};
    fake.prompts.answers = {false};
    page.cmdSave->click();
    EXPECT_EQ(fake.prompts.Take(), std::vector<Box>{Question("The selected file'" + typed + "' exists, overwrite?")});
    EXPECT_EQ(ReadAll(typed), "kept report");
    const QStringList left = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
    EXPECT_EQ(left.filter(QRegularExpression("old|report")), QStringList{".old.txt"});

    fake.printer.reportError = "The printer failed while printing the report.";
    page.cmdPrint->click();
    EXPECT_EQ(fake.prompts.Take(), std::vector<Box>{Warning("The printer failed while printing the report.")});

    // Only a new classifier has a running report.
    session.WorkMode = 3;
    wizard->ShowStep(4, 1);
    EXPECT_FALSE(page.cmdSave->isEnabled() || page.cmdPrint->isEnabled());
}

}  // namespace
}  // namespace zorvtest
