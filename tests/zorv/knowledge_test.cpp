// zorv's step 2: the page is set up afresh on every forward entry and kept on the way back, its
// leave check holds the wizard, and a user's walk through it reaches the learning step with the
// knowledge in the session for the learning run.
#include <QtTest/QTest>

#include "tests/zorv/zorv_fixture.h"
#include "wizard_common/knowledge_page.h"
#include "zorv/page_knowledge.h"

namespace zorvtest {
namespace {

constexpr int kBack = 2, kNext = 3;

class KnowledgeStepTest : public ZorvTest {
protected:
    // Work mode 1 on the fields Class, Age, Sex, Risk (as step 1 leaves them), up to step 2.
    wizard::KnowledgePage& ReachStep2() {
        session.FieldNames = {"", "Class", "Age", "Sex", "Risk"};
        session.FieldCount = 4;
        MakeWizard();
        wizard->show();
        QTest::mouseClick(wizard->cover->Option1, Qt::LeftButton);
        wizard->cover->DBName->setText(dbFile);
        Click(kNext);
        Click(kNext);
        EXPECT_EQ(wizard->CurrentStep, 2);
        return *wizard->knowledge->page;
    }
    void Click(int nav) { QTest::mouseClick(wizard->NavButton(nav), Qt::LeftButton); }
    static void Click(QWidget* w) { QTest::mouseClick(w, Qt::LeftButton); }
    static QStringList Texts(const QListWidget* list) {
        QStringList out;
        for (int r = 0; r < list->count(); ++r) out << list->item(r)->text();
        return out;
    }
};

TEST_F(KnowledgeStepTest, ForwardEntryRefillsBackKeeps) {
    wizard::KnowledgePage& page = ReachStep2();
    EXPECT_EQ(Texts(page.lstfld[2]), QStringList({"Class", "Age", "Sex", "Risk"}));
    EXPECT_EQ(page.lstfld[7]->item(0)->checkState(), Qt::Checked);
    page.lstfld[2]->setCurrentRow(1);
    page.lstfld[3]->setCurrentRow(2);
    Click(page.cmdright2);

    Click(kNext);  // 3
    Click(kBack);  // 2: as it was left
    EXPECT_EQ(wizard->CurrentStep, 2);
    EXPECT_EQ(Texts(page.lstrst[1]), QStringList{"Age  ->  Sex"});
    EXPECT_TRUE(page.chkce->isChecked());

    Click(kBack);  // 1: step 1 may now choose other fields
    session.FieldNames = {"", "Class", "Risk"};
    session.FieldCount = 2;
    Click(kNext);  // 2, afresh
    EXPECT_EQ(Texts(page.lstfld[8]), QStringList({"Class", "Risk"}));
    EXPECT_EQ(page.lstrst[1]->count(), 0);
    EXPECT_FALSE(page.chkce->isChecked());
    EXPECT_EQ(session.Knowledge.fieldCount(), 2);
    EXPECT_TRUE(fake.prompts.Take().empty());
}

TEST_F(KnowledgeStepTest, UserEntersKnowledgeImportsMendsAContradictionAndGoesOn) {
    wizard::KnowledgePage& page = ReachStep2();
    // The ordering: Risk moved up to just below the class field.
    page.lstfld[4]->setCurrentRow(3);
    Click(page.cmdup);
    Click(page.cmdup);
    EXPECT_EQ(Texts(page.lstfld[4]), QStringList({"Class", "Risk", "Age", "Sex"}));
    // A pair by hand, and one from a network file: Age causes Sex, Sex causes Risk.
    page.SSTab1->setCurrentIndex(2);
    page.lstfld[2]->setCurrentRow(1);
    page.lstfld[3]->setCurrentRow(2);
    Click(page.cmdright2);
    const QString network = WriteFile("risk.bif", "probability ( Risk | Sex ) {\n  table 0.5, 0.5;\n}\n");
    fake.files.answers = {network};
    Click(page.cmdImport);
    EXPECT_EQ(wizard->IMEXPath, dir.path());
    EXPECT_EQ(Texts(page.lstrst[1]), QStringList({"Age  ->  Sex", "Sex  ->  Risk"}));
    EXPECT_EQ(fake.prompts.Take(), std::vector<Box>{Plain("1 relations were imported.")});

    // Risk comes before its causes in the ordering: Next keeps the user here.
    Click(kNext);
    EXPECT_EQ(wizard->CurrentStep, 2);
    EXPECT_EQ(fake.prompts.Take(),
              std::vector<Box>{Warning("Tab 'Complete ordering' and 'Causes & effects' contain contradictory information.")});

    // Mended: Risk goes back to the bottom.
    page.SSTab1->setCurrentIndex(0);
    Click(page.cmddn);
    Click(page.cmddn);
    EXPECT_EQ(Texts(page.lstfld[4]), QStringList({"Class", "Age", "Sex", "Risk"}));
    Click(kNext);
    EXPECT_EQ(wizard->CurrentStep, 3);
    EXPECT_TRUE(fake.prompts.Take().empty());

    // What the learning run takes from the session, fields from 1.
    const wizard::knowledge::EngineKnowledge k = session.Knowledge.ForDataEngine();
    EXPECT_TRUE(k.bord);
    EXPECT_EQ(k.names(4), "Risk");
    EXPECT_EQ(k.ce(2, 3), 1);
    EXPECT_EQ(k.ce(3, 4), 1);
    EXPECT_EQ(k.rt(1), 0);  // the root tab was never enabled
}

}  // namespace
}  // namespace zorvtest
