// The knowledge page as the user meets it: the set-up on entry, the boxes and tabs that follow
// the pairs, the refusals under both programs' rules, the root and leaf lists, the ordering
// list, the import from a network file, and the two log-file pickers.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QtTest/QTest>
#include <fstream>
#include <functional>
#include <memory>

#include "tests/support/qt/fake_services.h"
#include "wizard_common/knowledge_page.h"
#include "wizard_common/log_pickers.h"
#include "wizard_common/model/import_scanner.h"

namespace {

using testsupport::Box;
using wizard::KnowledgePage;
using wizard::knowledge::KnowledgeModel;
using wizard::knowledge::KnowledgeRules;

Box Warning(const QString& text) { return {text, Box::Ok, wizard::Icon::Warning, {}}; }
Box Plain(const QString& text) { return {text, Box::Ok, wizard::Icon::None, {}}; }

const QString kNoInformation = "No information is provided.";
const QString kNoLoops = "Loops are not allowed in belief networks.";
const QString kClassCause = "The class label is considered a cause of other attributes.";
const QString kClassFirst = "The class label should always be the first in the ordering.";

// Fields by row: 0 Class, 1 Age, 2 Sex, 3 Risk.
const std::vector<std::string> kFields = {"Class", "Age", "Sex", "Risk"};

QStringList Texts(const QListWidget* list) {
    QStringList out;
    for (int r = 0; r < list->count(); ++r) out << list->item(r)->text();
    return out;
}

class KnowledgePageTest : public ::testing::Test {
protected:
    KnowledgePage& MakePage(KnowledgeRules rules) {
        model = std::make_unique<KnowledgeModel>(rules);
        page = std::make_unique<KnowledgePage>(*model, fake.bundle(), "Title", imexPath);
        page->Fill(kFields);
        return *page;
    }

    // Picks rows a and b in the tab's two columns and presses its add button, as a user does.
    void Add(int tab, int a, int b) {
        const int columns[4][2] = {{0, 0}, {0, 1}, {2, 3}, {5, 6}};
        page->lstfld[size_t(columns[tab][0])]->setCurrentRow(a);
        page->lstfld[size_t(columns[tab][1])]->setCurrentRow(b);
        QPushButton* add[4] = {nullptr, page->cmdright1, page->cmdright2, page->cmdright3};
        QTest::mouseClick(add[tab], Qt::LeftButton);
    }
    void Remove(int tab, int row) {
        page->lstrst[size_t(tab - 1)]->setCurrentRow(row);
        QPushButton* remove[4] = {nullptr, page->cmdleft1, page->cmdleft2, page->cmdleft3};
        QTest::mouseClick(remove[tab], Qt::LeftButton);
    }
    void SetMark(int list, int row, bool checked) {
        page->lstfld[size_t(list)]->setCurrentRow(row);
        page->lstfld[size_t(list)]->item(row)->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
    }
    bool Marked(int list, int row) { return page->lstfld[size_t(list)]->item(row)->checkState() == Qt::Checked; }

    QString WriteFile(const QString& name, const std::string& content) {
        const QString path = dir.filePath(name);
        std::ofstream(path.toStdString(), std::ios::binary) << content;
        return path;
    }

    QTemporaryDir dir;
    testsupport::FakeServices fake;
    QString imexPath = "/start";
    std::unique_ptr<KnowledgeModel> model;
    std::unique_ptr<KnowledgePage> page;
};

TEST_F(KnowledgePageTest, FillStartsEveryListAfresh) {
    for (KnowledgeRules rules : {KnowledgeRules::Zorv, KnowledgeRules::Vrell}) {
        SCOPED_TRACE(rules == KnowledgeRules::Zorv ? "zorv" : "vrell");
        MakePage(rules);
        // Knowledge entered before a refill is gone afterwards.
        Add(2, 1, 2);
        QTest::mouseClick(page->cmddn, Qt::LeftButton);
        page->SSTab1->setCurrentIndex(3);
        page->Fill(kFields);

        const int selected[9] = {0, 1, 0, 1, -1, 0, 1, -1, -1};
        for (int i = 0; i < 9; ++i) {
            EXPECT_EQ(Texts(page->lstfld[size_t(i)]), QStringList({"Class", "Age", "Sex", "Risk"})) << i;
            EXPECT_EQ(page->lstfld[size_t(i)]->currentRow(), selected[i]) << i;
        }
        for (int r = 0; r < 4; ++r) EXPECT_EQ(page->lstfld[4]->item(r)->data(Qt::UserRole).toInt(), r);
        for (QListWidget* list : page->lstrst) EXPECT_EQ(list->count(), 0);
        // zorv's class field is a root from the start; vrell has none.
        EXPECT_EQ(Marked(7, 0), rules == KnowledgeRules::Zorv);
        for (int r = 1; r < 4; ++r) EXPECT_FALSE(Marked(7, r) || Marked(8, r));
        for (QCheckBox* box : {page->chkco, page->chkpo, page->chkce, page->chkfl, page->chkrl, page->chkpreserve})
            EXPECT_FALSE(box->isChecked()) << box->objectName().toStdString();
        EXPECT_FALSE(page->chkpreserve->isEnabled());
        EXPECT_TRUE(page->SSTab1->isTabEnabled(0) && page->SSTab1->isTabEnabled(1));
        EXPECT_EQ(page->SSTab1->currentIndex(), 0);
        EXPECT_EQ(model->fieldNames(), kFields);
    }
    EXPECT_TRUE(fake.prompts.Take().empty());
}

TEST_F(KnowledgePageTest, BoxesAndTabsFollowThePairs) {
    MakePage(KnowledgeRules::Vrell);
    EXPECT_EQ(page->SSTab1->tabText(2), "Ca&uses && effects");

    // A box with nothing to enable is refused; the complete ordering always has something.
    QTest::mouseClick(page->chkpo, Qt::LeftButton);
    EXPECT_FALSE(page->chkpo->isChecked());
    EXPECT_EQ(fake.prompts.Take(), std::vector<Box>{Warning(kNoInformation)});

    // The first pair ticks its box without a word, and a partial ordering shuts tab 0.
    Add(1, 1, 2);
    EXPECT_TRUE(page->chkpo->isChecked());
    EXPECT_FALSE(page->SSTab1->isTabEnabled(0));
    EXPECT_EQ(Texts(page->lstrst[0]), QStringList{"Age  >  Sex"});
    EXPECT_EQ(page->lstrst[0]->currentRow(), 0);
    Remove(1, 0);
    EXPECT_FALSE(page->chkpo->isChecked());
    EXPECT_TRUE(page->SSTab1->isTabEnabled(0));

    // Causes and effects: the box and `chkpreserve` come and go with the pairs.
    Add(2, 1, 2);
    Add(2, 2, 3);
    EXPECT_TRUE(page->chkce->isChecked());
    EXPECT_TRUE(page->chkpreserve->isEnabled());
    QTest::mouseClick(page->chkpreserve, Qt::LeftButton);
    EXPECT_TRUE(model->preserve());
    Remove(2, 1);
    EXPECT_EQ(page->lstrst[1]->currentRow(), 0);  // the row before the removed last one
    Remove(2, 0);
    EXPECT_FALSE(page->chkce->isChecked());
    EXPECT_FALSE(page->chkpreserve->isEnabled());
    EXPECT_EQ(page->lstrst[1]->count(), 0);

    // A forbidden link's reverse is a duplicate: nothing is added, nothing is said.
    Add(3, 1, 2);
    Add(3, 2, 1);
    EXPECT_EQ(Texts(page->lstrst[2]), QStringList{"Age  -X-  Sex"});

    // Up without a selection still ticks `chkco`, which shuts tab 1; unticking opens it again.
    page->lstfld[4]->setCurrentItem(nullptr);
    QTest::mouseClick(page->cmdup, Qt::LeftButton);
    EXPECT_TRUE(page->chkco->isChecked());
    EXPECT_FALSE(page->SSTab1->isTabEnabled(1));
    QTest::mouseClick(page->chkco, Qt::LeftButton);
    EXPECT_TRUE(page->SSTab1->isTabEnabled(1));
    EXPECT_TRUE(fake.prompts.Take().empty());
}

TEST_F(KnowledgePageTest, RefusalsUnderBothRules) {
    struct Case {
        KnowledgeRules rules;
        int tab;
        std::vector<std::pair<int, int>> pairs;
        QStringList lines;
        std::vector<Box> boxes;
    };
    const Case cases[] = {
        {KnowledgeRules::Zorv, 1, {{1, 2}, {2, 3}, {3, 1}}, {"Age  >  Sex", "Sex  >  Risk"}, {Warning(kNoLoops)}},
        {KnowledgeRules::Zorv, 2, {{1, 2}, {2, 1}}, {"Age  ->  Sex"}, {Warning(kNoLoops)}},
        {KnowledgeRules::Zorv, 2, {{1, 0}, {0, 1}}, {"Class  ->  Age"}, {Plain(kClassCause)}},
        {KnowledgeRules::Zorv, 1, {{2, 0}}, {}, {Plain(kClassFirst)}},
        {KnowledgeRules::Vrell, 2, {{1, 0}, {1, 0}}, {"Age  ->  Class"}, {}},
        {KnowledgeRules::Vrell, 1, {{2, 0}}, {"Sex  >  Class"}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << (c.rules == KnowledgeRules::Zorv ? "zorv" : "vrell") << " tab " << c.tab
                                        << " " << c.lines.join(", ").toStdString());
        MakePage(c.rules);
        for (auto [a, b] : c.pairs) Add(c.tab, a, b);
        EXPECT_EQ(Texts(page->lstrst[size_t(c.tab - 1)]), c.lines);
        EXPECT_EQ(fake.prompts.Take(), c.boxes);
    }
}

TEST_F(KnowledgePageTest, RootAndLeafLists) {
    MakePage(KnowledgeRules::Zorv);
    // The class field stays a root and never becomes a leaf: set back once, one plain message.
    SetMark(7, 0, false);
    EXPECT_TRUE(Marked(7, 0));
    SetMark(8, 0, true);
    EXPECT_FALSE(Marked(8, 0));
    EXPECT_EQ(fake.prompts.Take(), (std::vector<Box>{Plain("The class label is considered a root node by the system."),
                                                      Plain("The class label cannot be a leaf node.")}));
    // Selecting the checked class row is enough to enable the tab.
    EXPECT_TRUE(page->chkrl->isChecked());

    // vrell: every row is free, and the last check taken away unticks the box silently.
    MakePage(KnowledgeRules::Vrell);
    QTest::mouseClick(page->chkrl, Qt::LeftButton);
    EXPECT_FALSE(page->chkrl->isChecked());
    EXPECT_EQ(fake.prompts.Take(), std::vector<Box>{Warning(kNoInformation)});
    SetMark(8, 0, true);
    EXPECT_TRUE(page->chkrl->isChecked());
    SetMark(7, 2, true);
    SetMark(8, 0, false);
    EXPECT_TRUE(page->chkrl->isChecked());
    // The keyboard: Space on the current row takes its check away.
    page->lstfld[7]->setFocus();
    QTest::keyClick(page->lstfld[7], Qt::Key_Space);
    EXPECT_FALSE(Marked(7, 2));
    EXPECT_FALSE(page->chkrl->isChecked());
    EXPECT_TRUE(fake.prompts.Take().empty());

    // The mouse: a click on a row's check box picks the row and checks it, in one click.
    page->show();
    page->SSTab1->setCurrentIndex(4);
    QListWidget* leaf = page->lstfld[8];
    QStyleOptionViewItem option;
    option.initFrom(leaf);
    option.rect = leaf->visualItemRect(leaf->item(3));
    option.features |= QStyleOptionViewItem::HasCheckIndicator;
    const QPoint box = leaf->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, leaf).center();
    QTest::mouseClick(leaf->viewport(), Qt::LeftButton, {}, box);
    EXPECT_TRUE(Marked(8, 3));
    EXPECT_EQ(leaf->currentRow(), 3);
    EXPECT_TRUE(page->chkrl->isChecked());
    QTest::mouseClick(leaf->viewport(), Qt::LeftButton, {}, box);
    EXPECT_FALSE(Marked(8, 3));
    EXPECT_FALSE(page->chkrl->isChecked());

    // Leaving fills the marks from the lists.
    SetMark(7, 1, true);
    EXPECT_TRUE(page->CheckOnLeave());
    EXPECT_EQ(model->rootflg()(1), 1);
    EXPECT_EQ(model->leafflg()(0), 0);
}

TEST_F(KnowledgePageTest, OrderingMovesRowsWithTheirItemData) {
    MakePage(KnowledgeRules::Zorv);
    QListWidget* order = page->lstfld[4];
    order->setCurrentRow(2);
    QTest::mouseClick(page->cmdup, Qt::LeftButton);
    EXPECT_EQ(Texts(order), QStringList({"Class", "Sex", "Age", "Risk"}));
    EXPECT_EQ(order->item(1)->data(Qt::UserRole).toInt(), 2);
    EXPECT_EQ(order->currentRow(), 1);
    // zorv keeps its class field on top.
    QTest::mouseClick(page->cmdup, Qt::LeftButton);
    order->setCurrentRow(0);
    QTest::mouseClick(page->cmddn, Qt::LeftButton);
    EXPECT_EQ(Texts(order), QStringList({"Class", "Sex", "Age", "Risk"}));
    EXPECT_EQ(fake.prompts.Take(), (std::vector<Box>{Plain(kClassFirst), Plain(kClassFirst)}));
    order->setCurrentRow(3);
    QTest::mouseClick(page->cmddn, Qt::LeftButton);  // the last row stays
    EXPECT_EQ(order->currentRow(), 3);

    // vrell moves any row to the top.
    MakePage(KnowledgeRules::Vrell);
    page->lstfld[4]->setCurrentRow(1);
    QTest::mouseClick(page->cmdup, Qt::LeftButton);
    EXPECT_EQ(Texts(page->lstfld[4]), QStringList({"Age", "Class", "Sex", "Risk"}));
    EXPECT_TRUE(fake.prompts.Take().empty());
}

TEST_F(KnowledgePageTest, ImportEntersPairsThroughTheAddHandler) {
    MakePage(KnowledgeRules::Zorv);
    Add(2, 1, 2);  // Age -> Sex: the file's link is then a duplicate
    const QString file = WriteFile("risk.bif",
                                   "network Risk {\r\n}\r\n"
                                   "probability ( Sex | Age ) {\r\n}\r\n"
                                   "probability ( Risk | Age, Sex ) {\r\n}\r\n"
                                   "probability ( Class | Risk ) {\r\n}\r\n"
                                   "probability ( Weight | Risk ) {\r\n}\r\n");
    fake.files.answers = {file};
    QTest::mouseClick(page->cmdImport, Qt::LeftButton);

    ASSERT_EQ(fake.files.requests.size(), 1u);
    EXPECT_EQ(fake.files.requests[0].kind, testsupport::FileRequest::Open);
    EXPECT_EQ(fake.files.requests[0].title, "Import cause & effect relationships from Netica format");
    EXPECT_EQ(fake.files.requests[0].filter, wizard::knowledge::kImportFilter);
    EXPECT_EQ(fake.files.requests[0].startFolder, "/start");
    EXPECT_EQ(imexPath, dir.path());
    EXPECT_EQ(Texts(page->lstrst[1]), QStringList({"Age  ->  Sex", "Age  ->  Risk", "Sex  ->  Risk"}));
    EXPECT_EQ(page->lstfld[3]->currentRow(), 0);  // the refused pair was picked like the others
    // The refusal shows as it comes; the count is what the list gained.
    EXPECT_EQ(fake.prompts.Take(), (std::vector<Box>{Plain(kClassCause), Plain("2 relations were imported.")}));
}

// The import fills the lists in one go, but a refused pair's message shows over the lists as
// the add button would leave them: the pairs before it listed, the refused pair picked.
TEST_F(KnowledgePageTest, ImportShowsARefusalOverThePairsBeforeIt) {
    struct SeenPrompts : testsupport::FakePrompts {
        std::function<void()> onMessage;
        void Message(QWidget* parent, const QString& text, const QString& title, wizard::Icon icon) override {
            onMessage();
            FakePrompts::Message(parent, text, title, icon);
        }
    } prompts;
    model = std::make_unique<KnowledgeModel>(KnowledgeRules::Zorv);
    page = std::make_unique<KnowledgePage>(*model, wizard::Services{prompts, fake.files, fake.shell, fake.printer},
                                           "Title", imexPath);
    page->Fill(kFields);
    struct Seen {
        QStringList pairs;
        int selectedPair, cause, effect;
        bool box;
    };
    std::vector<Seen> seen;
    prompts.onMessage = [&] {
        seen.push_back({Texts(page->lstrst[1]), page->lstrst[1]->currentRow(), page->lstfld[2]->currentRow(),
                        page->lstfld[3]->currentRow(), page->chkce->isChecked()});
    };
    fake.files.answers = {WriteFile("refused.bif", "probability ( Sex | Age ) {\n}\n"
                                                   "probability ( Class | Risk ) {\n}\n"
                                                   "probability ( Risk | Age, Sex ) {\n}\n")};
    page->cmdImport_Click();

    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].pairs, QStringList{"Age  ->  Sex"});
    EXPECT_EQ(seen[0].selectedPair, 0);
    EXPECT_EQ(seen[0].cause, 3);   // Risk
    EXPECT_EQ(seen[0].effect, 0);  // Class
    EXPECT_TRUE(seen[0].box);
    EXPECT_EQ(seen[1].pairs, QStringList({"Age  ->  Sex", "Age  ->  Risk", "Sex  ->  Risk"}));
    EXPECT_EQ(seen[1].selectedPair, 2);
    EXPECT_EQ(seen[1].cause, 2);
    EXPECT_EQ(seen[1].effect, 3);
    EXPECT_EQ(prompts.Take(), (std::vector<Box>{Plain(kClassCause), Plain("3 relations were imported.")}));
}

TEST_F(KnowledgePageTest, ImportOfAFileThatCannotBeRead) {
    MakePage(KnowledgeRules::Vrell);
    const QString missing = dir.filePath("none.dne");
    const QString empty = WriteFile("empty.dne", "");
    const QString broken = WriteFile("broken.dne", "node Risk {\n  parents = (Age,\n  Sex\n");
    struct Case {
        QString file;
        std::vector<Box> boxes;
        int pairs;
    };
    const Case cases[] = {
        {"", {}, 0},  // Cancel
        {missing, {Warning("The file '" + missing + "' does not exist.")}, 0},
        {empty, {Warning("The input log file '" + empty + "' is empty.")}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file.toStdString());
        fake.files.answers = {c.file};
        page->cmdImport_Click();
        EXPECT_EQ(fake.prompts.Take(), c.boxes);
        EXPECT_EQ(page->lstrst[1]->count(), c.pairs);
        EXPECT_EQ(imexPath, "/start");
    }
    // A parent list without ")": the pair before the fault stays, the warning names the file
    // and the line, and no count is reported.
    fake.files.answers = {broken};
    page->cmdImport_Click();
    EXPECT_EQ(Texts(page->lstrst[1]), QStringList{"Age  ->  Risk"});
    const std::vector<Box> boxes = fake.prompts.Take();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].icon, wizard::Icon::Warning);
    EXPECT_TRUE(boxes[0].text.contains("'" + broken + "'") && boxes[0].text.contains("Line 2")) << boxes[0].text.toStdString();
}

TEST(LogPickers, InputOpensOutputSavesBothFromLogPath) {
    testsupport::FakeServices fake;
    QLineEdit input, output;
    QString logPath = "/logs";
    fake.files.answers = {"/runs/a/in.log", "/runs/b/new.log", ""};
    wizard::BrowseInputLog(&input, fake.files, nullptr, logPath);
    EXPECT_EQ(input.text(), "/runs/a/in.log");
    EXPECT_EQ(logPath, "/runs/a");
    wizard::BrowseOutputLog(&output, fake.files, nullptr, logPath);
    EXPECT_EQ(output.text(), "/runs/b/new.log");
    EXPECT_EQ(logPath, "/runs/b");
    // Cancel keeps the box; the folder comes from its text again.
    wizard::BrowseInputLog(&input, fake.files, nullptr, logPath);
    EXPECT_EQ(input.text(), "/runs/a/in.log");
    EXPECT_EQ(logPath, "/runs/a");

    const char* filter = "VRELL log file (*.log)|*.log|All Files (*.*)|*.*";
    using testsupport::FileRequest;
    const std::vector<std::tuple<FileRequest::Kind, QString, QString>> expected = {
        {FileRequest::Open, "Open input log file", "/logs"},
        {FileRequest::Save, "Open output log file", "/runs/a"},
        {FileRequest::Open, "Open input log file", "/runs/b"},
    };
    ASSERT_EQ(fake.files.requests.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        const auto& [kind, title, start] = expected[i];
        EXPECT_EQ(fake.files.requests[i].kind, kind) << i;
        EXPECT_EQ(fake.files.requests[i].title, title) << i;
        EXPECT_EQ(fake.files.requests[i].filter, filter) << i;
        EXPECT_EQ(fake.files.requests[i].startFolder, start) << i;
    }
}

}  // namespace
