// The main road of zorv, walked like a user with keys and clicks in work mode 1 on a generated
// database: the cover, the table and its fields, the knowledge and the learning options, the
// learning run with the engine created by its class name, the structure on step 4 with its
// running report saved, the tables learned, a cost changed, the classifier saved and a table
// classified into a results file; then work mode 3 on the saved classifier. The training table
// holds a number cut into interval labels, the test table the raw number.
#include "tests/zorv/learning_fixture.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTableWidget>
#include <QtTest/QTest>
#include <algorithm>

#include "platform/com/object.h"
#include "platform/vb/regional.h"
#include "tests/support/class_registry.h"
#include "trune/discretize/interval_label.h"
#include "zorv/frm_inst_cls.h"
#include "zorv/page_costs.h"

namespace zorvtest {
namespace {

class MainRoadTest : public LearningTest {};

// The cut points of Size. Its three states are drawn in ranges that keep clear of them, so
// every raw number lies inside one interval label.
const trune::CutPoints kSizeCuts = {10, 20};

// The class Kind with Size and Colour as its children, Weight a child of Size, Noise unrelated;
// Size is a number.
testsupport::SampledTable RoadSample(const std::string& table, int rows, uint64_t seed, bool holdOut) {
    testsupport::Network net;
    const int cls = net.AddNode("Kind", {"LOW", "MID", "HIGH"}, {}, {{0.3, 0.4, 0.3}});
    const int size = net.AddNode("Size", {"S", "M", "L"}, {cls},
                                 {{0.8, 0.15, 0.05}, {0.15, 0.7, 0.15}, {0.05, 0.15, 0.8}});
    net.SetRanges(size, {{0, 9}, {11, 19}, {21, 30}});
    net.AddNode("Weight", {"S", "L"}, {size}, {{0.85, 0.15}, {0.5, 0.5}, {0.15, 0.85}});
    net.AddNode("Colour", {"R", "G"}, {cls}, {{0.8, 0.2}, {0.5, 0.5}, {0.2, 0.8}});
    net.AddNode("Noise", {"X", "Y"}, {}, {{0.5, 0.5}});
    testsupport::TableOptions opt;
    opt.table = table;
    opt.classNode = cls;
    opt.seed = seed;
    opt.holdOut = holdOut;
    return testsupport::SampleTable(net, rows, opt);
}

std::string SizeLabel(const db::Value& raw) { return trune::IntervalLabel(raw, kSizeCuts, {}); }

// The training table as the data conditioning leaves it: Size replaced by its labels, Size_d.
testsupport::SampledTable TrainTable() {
    testsupport::SampledTable t = RoadSample("Train", 600, 5, true);
    const size_t c = size_t(t.Column("Size"));
    t.columns[c] = "Size_d";
    for (auto& row : t.cells) row[c] = db::Value(SizeLabel(row[c]));
    return t;
}

// The cell of `row` for a field of the classifier: the label of the raw number for Size_d.
QString CellFor(const testsupport::SampledTable& t, size_t row, QString field) {
    const bool label = field.endsWith("_d", Qt::CaseInsensitive);
    if (label) field.chop(2);
    for (size_t c = 0; c < t.columns.size(); ++c) {
        if (QString::fromStdString(t.columns[c]).compare(field, Qt::CaseInsensitive) != 0) continue;
        const db::Value& v = t.cells[row][c];
        return QString::fromStdString(label ? SizeLabel(v) : v.AsText());
    }
    ADD_FAILURE() << "no column for " << field.toStdString();
    return {};
}

TEST_F(MainRoadTest, LearnAClassifierAndSaveTheReport) {
    testsupport::PrivateClassRegistry registry(ZORVAPI_LIBRARY);
    ASSERT_EQ(registry.Call("DllRegisterServer"), com::S_OK);
    const QString file = dir.filePath("road.db");
    // The test table: another draw with the raw Size and no hold-out column, listed after Train.
    const testsupport::SampledTable test = RoadSample("Unseen", 200, 9, false);
    {
        auto database = testsupport::WriteSqliteTable(file.toStdString(), TrainTable());
        testsupport::WriteTable(*database, test);
        database->Close();
    }
    ScriptedWizard& w = MakeWizard();
    w.realData = true;
    w.realLearning = true;
    w.show();
    auto click = [](QWidget* button) { QTest::mouseClick(button, Qt::LeftButton); };

    // Step 0.
    click(w.cover->Option1);
    QTest::keyClicks(w.cover->DBName, file);
    click(w.NavButton(kNext));
    ASSERT_EQ(w.CurrentStep, 1);

    // Step 1: the table, its first field the class field.
    QTest::keyClick(w.fields->CboTbName, Qt::Key_Down);
    EXPECT_EQ(w.fields->CboTbName->currentText(), "Train");
    w.fields->CboCls->setFocus();
    QTest::keyClick(w.fields->CboCls, Qt::Key_Down);
    EXPECT_EQ(w.fields->CboCls->currentText(), "Kind");
    ASSERT_FALSE(w.fields->Lstfields->findItems("Size_d", Qt::MatchExactly).isEmpty());
    click(w.NavButton(kNext));
    ASSERT_EQ(w.CurrentStep, 2);

    // Step 2: the algorithm tab, the multi-net or the net, whichever is better.
    w.knowledge->page->SSTab1->setCurrentIndex(5);
    QTest::mouseClick(w.options->OptBoth, Qt::LeftButton, {}, QPoint(8, w.options->OptBoth->height() / 2));
    EXPECT_EQ(session.ModelMode, 3);
    click(w.NavButton(kNext));
    ASSERT_EQ(w.CurrentStep, 3);

    // Step 3: Proceed learns.
    click(w.NavButton(kProceed));
    ASSERT_EQ(w.CurrentStep, 4);
    EXPECT_NE(w.MyDataEng, nullptr);
    const QString listing = w.result->txtrst->text();
    ASSERT_FALSE(listing.isEmpty());

    // Step 4: the report saved.
    const QString report = dir.filePath("road.txt");
    fake.files.answers = {report};
    click(w.result->cmdSave);
    QFile f(report);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(f.readAll()).split("\r\n");
    const std::time_t t = std::time_t(fake.shell.now.toSecsSinceEpoch());
    EXPECT_EQ(lines[0].toStdString(), "Belief Network Kalvex.       " + vb::LocalTimeText(t) + "  " + vb::LocalDateText(t));
    EXPECT_TRUE(lines.contains(session.IsMultiNetFlag ? "Results: [Multi-Net]" : "Results: [Bayesian Net]"));
    // Every pair of the listing is in the report, in name cells.
    int pairs = 0;
    for (const QString& line : listing.split("\r\n")) {
        if (line.startsWith("[")) continue;  // a multi-net layer's heading
        for (const QString& pair : line.split("   ", Qt::SkipEmptyParts)) {
            const QStringList ends = pair.split(' ');
            if (ends.size() != 3) continue;
            ++pairs;
            const QString cell = QString::fromStdString(wizard::RightCell(ends[0].toStdString())) + ends[1] +
                                 QString::fromStdString(wizard::LeftCell(ends[2].toStdString()));
            EXPECT_TRUE(lines.join("\n").contains(cell)) << cell.toStdString();
        }
    }
    EXPECT_GT(pairs, 0);

    // Step 4 accepted: the tables are learned. Step 5: one cost changed by a double-click.
    const QString oldDir = QDir::currentPath();
    QDir::setCurrent(dir.path());  // the engine writes its ROC files into the working folder
    w.realResults = true;
    click(w.NavButton(kNext));
    ASSERT_EQ(w.CurrentStep, 5);
    QTableWidget* grid = w.costs->GridCosts;
    ASSERT_EQ(grid->rowCount(), 4);
    w.RunCostDialog = [](zorv::frmEditCost& d) {
        d.NewVlu->selectAll();
        QTest::keyClicks(d.NewVlu, "3");
        QTest::mouseClick(d.cmdOK, Qt::LeftButton);
    };
    QApplication::processEvents();
    const QRect cell = grid->visualRect(grid->model()->index(2, 1));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
    EXPECT_EQ(grid->item(2, 1)->text(), "3");
    const QString bnc = dir.filePath("road.bnc");
    fake.files.answers = {bnc};
    click(w.costs->BtnSaveBNC);
    ASSERT_TRUE(QFileInfo::exists(bnc));
    {
        // The file reads back: its fields, the labels of Size_d and the changed cost.
        zorvapi::DataEngine stored;
        ReadClassifierFile(stored, bnc.toStdString());
        EXPECT_EQ(stored.IsMultiNet(), session.IsMultiNetFlag);
        vb::Array<std::string> names, values;
        vb::Array<vb::Integer> counts;
        stored.GetFldNM(names);
        stored.GetFldVlu(values);
        stored.GetFF(counts);
        ASSERT_EQ(names.UBound(), 5);
        std::vector<std::string> fields, labels;
        for (int i = 1; i <= names.UBound(); ++i) fields.push_back(names(i));
        EXPECT_EQ(fields, (std::vector<std::string>{"Kind", "Size_d", "Weight", "Colour", "Noise"}));
        for (int k = 1; k <= counts(2); ++k) labels.push_back(values(2, k));
        std::sort(labels.begin(), labels.end());
        EXPECT_EQ(labels, (std::vector<std::string>{"<10", ">10<20", ">20"}));
        vb::Array<vb::Single> costs;
        stored.GetCostTable(costs);
        EXPECT_EQ(costs(2, 1), 3.0f);
        EXPECT_EQ(costs(1, 2), 1.0f);
    }

    // Steps 6, 7 and 9: the test table, with the raw Size, classified into a results file.
    // From step 6: the database file, its table Unseen with the class field Kind.
    auto testTable = [&](ScriptedWizard& x) {
        click(x.NavButton(kNext));
        ASSERT_EQ(x.CurrentStep, 7);
        QTest::keyClicks(x.testFile->DbNameT, file);
        click(x.NavButton(kNext));
        ASSERT_EQ(x.CurrentStep, 9);
        x.testTable->CboTBNameT->setCurrentIndex(x.testTable->CboTBNameT->findText("Unseen"));
        x.CboTBNameT_Click();
        x.testTable->CboClsT->setCurrentIndex(x.testTable->CboClsT->findText("Kind"));
        x.CboClsT_Click();
    };
    click(w.NavButton(kNext));
    ASSERT_EQ(w.CurrentStep, 6);
    testTable(w);
    ASSERT_EQ(w.CurrentStep, 9);
    const QString results = dir.filePath("road_results.txt");
    QTest::keyClicks(w.testTable->RstName, results);
    fake.prompts.Take();
    click(w.NavButton(kProceed));
    const std::vector<Box> boxes = fake.prompts.Take();
    ASSERT_EQ(boxes.size(), 1u);
    const QString summary = boxes[0].text;
    // Every row classified: the raw numbers found their interval labels.
    EXPECT_TRUE(summary.startsWith("The test dataset contains 200 cases, among which, ")) << summary.toStdString();
    EXPECT_FALSE(summary.contains("cannot be classified")) << summary.toStdString();
    QFile rf(results);
    ASSERT_TRUE(rf.open(QIODevice::ReadOnly));
    const QByteArray text = rf.readAll();
    EXPECT_EQ(text.count("\r\n"), 201);
    EXPECT_TRUE(text.left(text.indexOf("\r\n") + 2).endsWith(",\r\n"));
    // A ROC file for each ordered pair of classes, a line for each test row of the first class.
    const int kind = test.Column("Kind");
    ASSERT_EQ(session.ClassLabels.size(), 4u);
    for (int x = 1; x <= 3; ++x) {
        const auto rowsOfX = std::count_if(test.cells.begin(), test.cells.end(), [&](const auto& row) {
            return row[size_t(kind)].AsText() == session.ClassLabels[size_t(x)];
        });
        for (int y = 1; y <= 3; ++y) {
            if (x == y) continue;
            QFile roc(dir.filePath(QString("roc%1%2.txt").arg(x).arg(y)));
            ASSERT_TRUE(roc.open(QIODevice::ReadOnly)) << roc.fileName().toStdString();
            EXPECT_EQ(roc.readAll().count("\r\n"), rowsOfX) << roc.fileName().toStdString();
        }
    }

    // Work mode 3 on the saved classifier: the same summary.
    w.hide();
    ScriptedWizard& again = MakeWizard();
    again.realData = true;
    again.realResults = true;
    again.show();
    click(again.cover->Option3);
    QTest::keyClicks(again.cover->BNCName, bnc);
    click(again.NavButton(kNext));
    ASSERT_EQ(again.CurrentStep, 6);
    testTable(again);
    ASSERT_EQ(again.CurrentStep, 9);
    QTest::keyClicks(again.testTable->RstName, dir.filePath("again.txt"));
    click(again.NavButton(kProceed));
    const std::vector<Box> second = fake.prompts.Take();
    ASSERT_EQ(second.size(), 1u);
    EXPECT_EQ(second[0].text, summary);

    // Instant Classification on the first row's values shows the label the batch wrote for it.
    auto cells = [](const QByteArray& line) {
        QStringList out;
        for (QString c : QString::fromUtf8(line).split(',')) out << c.remove('"');
        return out;
    };
    const QList<QByteArray> rows = text.split('\n');
    const QStringList header = cells(rows[0].trimmed()), first = cells(rows[1].trimmed());
    ASSERT_TRUE(header.contains("SIZE"));
    EXPECT_EQ(first[header.indexOf("COLOUR")], CellFor(test, 0, "Colour"));
    const QString expected = first[header.indexOf("ZORV_OUTPUT")];
    click(again.NavButton(kBack));
    click(again.NavButton(kBack));
    ASSERT_EQ(again.CurrentStep, 6);
    QString shown;
    bool labelled = false;
    again.RunInstDialog = [&](zorv::FrmInstCls& d) {
        for (size_t r = 1; r < d.LblFld.size(); ++r) {
            const QString field = d.LblFld[r]->text().trimmed();
            if (field == "Size_d") labelled = true;
            const int at = d.CmbFld[r]->findText(CellFor(test, 0, field));
            ASSERT_GE(at, 0) << field.toStdString();
            d.CmbFld[r]->setCurrentIndex(at);
        }
        click(d.CmdClsfy);
        shown = d.LblCls2->text();
    };
    click(again.format->CmdCls);
    EXPECT_TRUE(labelled);
    EXPECT_EQ(shown, "  " + expected);
    QDir::setCurrent(oldDir);
}

}  // namespace
}  // namespace zorvtest
