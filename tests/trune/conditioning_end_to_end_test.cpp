// The conditioned table is what the classifier engine learns from. A table drawn from a small
// known network (a class, three continuous fields drawn from intervals per state, a text, the
// "Age_d" labels of an earlier run, Nulls) is walked through trune by each method; the engine,
// created by its class name, learns from the class and the "_d" columns with a searched
// threshold and the better of both models (so on the hold-out rows), and classifies a raw
// test table by reading the cut points back out of the labels. Also under a comma locale, and
// on the demo database's own table. Run as the CTest trune_conditioning_end_to_end.
#include <clocale>

#include "classifier_engine/zorvapi.h"
#include "platform/com/object.h"
#include "platform/vb/regional.h"
#include "tests/classifier_engine/learning_host.h"
#include "tests/support/class_registry.h"
#include "tests/support/comma_locale.h"
#include "tests/support/network_sampler.h"
#include "tests/trune/trune_fixture.h"
#include "trune/discretize/conditioning.h"

namespace trunetest {
namespace {

using db::Value;
using vb::Integer;
using vb::Long;
using vb::Single;

constexpr int kNext = 3, kFinish = 4;
constexpr int kTrainRows = 2000, kTestRows = 600;

testsupport::Network KnownNetwork() {
    testsupport::Network net;
    const int cls = net.AddNode("Class", {"HIGH", "MID", "LOW"}, {}, {{0.4, 0.35, 0.25}});
    const int x1 = net.AddNode("X1", {"S0", "S1", "S2"}, {cls},
                               {{0.8, 0.15, 0.05}, {0.1, 0.8, 0.1}, {0.05, 0.15, 0.8}});
    net.SetRanges(x1, {{0, 10}, {10, 20}, {20, 30}});
    const int x2 = net.AddNode("X2", {"S0", "S1"}, {cls}, {{0.85, 0.15}, {0.3, 0.7}, {0.1, 0.9}});
    net.SetRanges(x2, {{-1, 0}, {0, 1.5}});
    const int x3 = net.AddNode("X3", {"S0", "S1", "S2"}, {x1}, {{0.7, 0.2, 0.1}, {0.15, 0.7, 0.15}, {0.1, 0.2, 0.7}});
    net.SetRanges(x3, {{100, 200}, {200, 300}, {300, 400}});
    const int age = net.AddNode("Age", {"S0", "S1", "S2"}, {cls}, {{0.6, 0.3, 0.1}, {0.2, 0.6, 0.2}, {0.1, 0.3, 0.6}});
    net.SetRanges(age, {{18, 30}, {30, 50}, {50, 80}});
    net.AddNode("Colour", {"RED", "BLUE", "GREEN"});
    return net;
}

// An earlier run's label of an age.
Value AgeLabel(const Value& age) {
    if (age.IsNull()) return Value("?");
    const double a = age.ToDouble();
    return Value(a < 30 ? "<30" : a < 50 ? ">30<50" : ">50");
}

class TruneConditioningEndToEnd : public TruneTest {
protected:
    static void SetUpTestSuite() { registry_ = new testsupport::PrivateClassRegistry(ZORVAPI_LIBRARY); }
    static void TearDownTestSuite() {
        delete registry_;
        registry_ = nullptr;
    }

    void SetUp() override {
        TruneTest::SetUp();
        ASSERT_EQ(registry_->Call("DllRegisterServer"), com::S_OK);
        const testsupport::Network net = KnownNetwork();
        testsupport::TableOptions opt;
        opt.table = "Train";
        opt.classNode = 0;
        opt.holdOut = false;
        opt.nullRate = 0.03;
        testsupport::SampledTable train = testsupport::SampleTable(net, kTrainRows, opt);
        // The training table holds the ages only as the labels of an earlier run.
        const int age = train.Column("Age");
        train.columns[size_t(age)] = "Age_d";
        for (auto& row : train.cells) row[size_t(age)] = AgeLabel(row[size_t(age)]);
        opt.table = "Test";
        opt.nullRate = 0;
        opt.seed = 99;
        const testsupport::SampledTable test = testsupport::SampleTable(net, kTestRows, opt);
        source = dir.filePath("source.db");
        testsupport::WriteTable(*testsupport::WriteSqliteTable(source.toStdString(), train), test);
        majority = 0;
        for (const char* c : {"HIGH", "MID", "LOW"}) {
            int n = 0;
            for (const auto& row : test.cells) n += row[0] == Value(c);
            majority = std::max(majority, double(n) / kTestRows);
        }
    }

    // trune from the first page to "Finished!" with the method given, into `target`.
    void Condition(trune::CutMethod method, const QString& target, const QString& from, const QString& table,
                   const QStringList& continuous) {
        wizard.reset();
        session = trune::TruneSession{};
        MakeWizard();
        // One fixed sequence of draws, so that the hold-out rows (and so the searched models)
        // are the same on every run of the test.
        wizard->HoldOutRandom = {[] {}, [state = uint32_t(0x50000)]() mutable {
                                     state = (state * 0x43FD43FDu + 0xC39EC3u) & 0xFFFFFFu;
                                     return vb::Single(state) / vb::Single(0x1000000);
                                 }};
        ToTablePage(from, table);
        wizard->table->NDbName->setText(target);
        wizard->NavButton(kNext)->click();
        ASSERT_EQ(wizard->CurrentStep, 5);
        QStringList found;
        for (int i = 0; i < wizard->method->LstConFld->count(); ++i) found << wizard->method->LstConFld->item(i)->text();
        ASSERT_EQ(found, continuous);
        switch (method) {
            case trune::CutMethod::EqualWidth: wizard->method->OptEW->click(); break;
            case trune::CutMethod::EqualFrequency: wizard->method->OptEF->click(); break;
            case trune::CutMethod::Entropy:
                wizard->method->OptEnt->click();
                wizard->method->CmbFlds->setCurrentText("Class");
                break;
        }
        wizard->NavButton(kFinish)->click();
        ASSERT_EQ(wizard->CurrentStep, 6);
        EXPECT_TRUE(fake.prompts.Take().empty());
    }

    struct Outcome {
        Single accuracy = 0;
        Long total = 0, errors = 0;
    };

    // The engine learns from the copy's `table` over `fields` (the class first) and classifies
    // the raw table `testTable` of `testFile`.
    // searched: a searched threshold and the better of both models, chosen on the hold-out rows;
    // else one Bayesian net at the default threshold from all rows, the same whatever the draw.
    Outcome LearnAndClassify(const QString& target, std::string table, const std::vector<std::string>& fields,
                             const QString& testFile, std::string testTable, bool searched = true) {
        learning_host::InTempDir here;  // the batch writes its ROC files into the current folder
        std::shared_ptr<db::Database> copy = db::DBEngine::OpenDatabase(target.toStdString());
        auto engine = com::CreateObjectAs<zorvapi::IDataEngine>("ZORVAPI.DataEngine");
        Long rows = 5000;
        Integer vlus = 60;
        engine->Init(rows, vlus);
        std::string count;
        engine->InitLearn(copy, table, count);
        learning_host::StruArgs args(fields);
        args.BMMode = searched ? 3 : 1;
        args.FixedThr = !searched;
        args.FSM = 2;
        args.Run(*engine);
        Single threshold = searched ? -1 : 1;
        engine->LearnStru(threshold);
        // The structure is accepted as learned: a host sends the graph back only after an edit
        // (sending an unchanged multi-net would re-derive its feature subset from links alone).
        bool mn = engine->IsMultiNet();
        engine->InitLearn(copy, table, count);
        EXPECT_TRUE(engine->LearnCPT(mn));

        std::shared_ptr<db::Database> testDb = db::DBEngine::OpenDatabase(testFile.toStdString(), false, true);
        std::string cls = fields[0], file;
        vb::Array<Long> matrix;
        Outcome o;
        o.accuracy = engine->ClsfyBatch(testDb, testTable, cls, matrix, file);
        o.total = engine->TotalCases();
        o.errors = engine->ErrorCases();
        return o;
    }

    // The copy as zorv's table check sees it: the hold-out column by its exact name, Boolean,
    // about a third of the rows; a label column per continuous field.
    void ExpectZorvTakesTheCopy(const QString& target) {
        auto copy = db::DBEngine::OpenDatabase(target.toStdString(), false, true);
        const db::TableDef def = copy->TableDefs("Train");
        bool holdOut = false;
        for (const db::Field& f : def.Fields)
            if (f.Name == "ZORV_HoldOut") holdOut = f.Type == db::dbBoolean;
        EXPECT_TRUE(holdOut);
        for (const char* label : {"X1_d", "X2_d", "X3_d", "Age_d"}) EXPECT_EQ(def.FieldByName(label).Type, db::dbText);
        const double held =
            AllRows(*copy, "select count(*) from Train where ZORV_HoldOut = True")[0][0].ToDouble() / kTrainRows;
        EXPECT_GT(held, 0.28);
        EXPECT_LT(held, 0.39);
    }

    void EveryMethod(const char* locale) {
        for (trune::CutMethod method :
             {trune::CutMethod::EqualWidth, trune::CutMethod::EqualFrequency, trune::CutMethod::Entropy}) {
            SCOPED_TRACE(std::string(locale) + " method " + std::to_string(int(method)));
            const QString target = dir.filePath(QString("conditioned_%1.db").arg(int(method)));
            Condition(method, target, source, "Train", {"X1", "X2", "X3"});
            if (HasFatalFailure()) return;
            ExpectZorvTakesTheCopy(target);
            // The cut points' text carries the locale's decimal symbol.
            bool decimals = false;
            auto copy = db::DBEngine::OpenDatabase(target.toStdString(), false, true);
            for (const auto& row : AllRows(*copy, "select distinct X2_d from Train"))
                decimals = decimals || row[0].AsText().find(vb::RegionalDecimal()) != std::string::npos;
            EXPECT_TRUE(decimals);
            const Outcome o =
                LearnAndClassify(target, "Train", {"Class", "X1_d", "X2_d", "X3_d", "Age_d"}, source, "Test");
            EXPECT_EQ(o.total, kTestRows);
            EXPECT_LE(o.errors, kTestRows / 50);
            EXPECT_GT(o.accuracy, 0.7f);
            EXPECT_GT(o.accuracy, majority + 0.25);
        }
    }

    static testsupport::PrivateClassRegistry* registry_;
    QString source;
    double majority = 0;
};
testsupport::PrivateClassRegistry* TruneConditioningEndToEnd::registry_ = nullptr;

TEST_F(TruneConditioningEndToEnd, ZorvsEngineLearnsFromEachMethodsCopy) { EveryMethod("C"); }

// The demo database's training table, conditioned again (its Tenure_d labels and hold-out set
// drawn anew), is learned from, and its raw test table classified. One net from all rows, so
// the outcome does not depend on the hold-out set drawn.
TEST_F(TruneConditioningEndToEnd, TheDemoTableIsConditionedAndLearnedFrom) {
    const QString demo = BNS_DEMO_DB;
    const QString target = dir.filePath("demo_conditioned.db");
    Condition(trune::CutMethod::EqualFrequency, target, demo, "Customers", {"Tenure"});
    auto copy = db::DBEngine::OpenDatabase(target.toStdString(), false, true);
    EXPECT_EQ(AllRows(*copy, "select count(*) from Customers where Tenure_d = '?'")[0][0].ToDouble(), 0);
    const Outcome o = LearnAndClassify(target, "Customers",
                                       {"Churn", "Contract", "Tenure_d", "Support", "Satisfaction", "Payment",
                                        "Internet", "Region", "Age", "Complaints"},
                                       demo, "CustomersTest", false);
    EXPECT_EQ(o.total, 500);
    EXPECT_LE(o.errors, 10);
    int yes = 0;
    auto test = db::DBEngine::OpenDatabase(demo.toStdString(), false, true);
    for (const auto& row : AllRows(*test, "select Churn from CustomersTest")) yes += row[0] == Value("YES");
    EXPECT_GT(o.accuracy, std::max(yes, 500 - yes) / 500.0 + 0.05) << "majority " << std::max(yes, 500 - yes);
}

// The labels carry the locale's decimal comma; the engine reads them back the same way.
TEST_F(TruneConditioningEndToEnd, UnderACommaLocaleToo) {
    // The comma locale of the locale tests, back to "C" however the test ends.
    struct Comma : testsupport::CommaLocaleTest {
        ~Comma() override { TearDown(); }
        void TestBody() override {}
        using CommaLocaleTest::SetUp;
    } comma;
    comma.SetUp();
    if (IsSkipped()) return;
    EveryMethod("comma");
}

}  // namespace
}  // namespace trunetest
