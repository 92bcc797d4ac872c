// The classifier engine as a host drives it, created by name and used only through its public
// interface: learning under every model and threshold setting on a table drawn from a known
// network, then the final tables, the cost table, classification of a test table drawn from
// the same network, and a classifier file opened in a fresh engine that classifies the same.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "classifier_engine/zorvapi.h"
#include "platform/com/object.h"
#include "tests/classifier_engine/learning_host.h"
#include "tests/support/class_registry.h"
#include "tests/support/engine_fixture.h"

namespace {

using learning_host::LearningTable;
using learning_host::LearnSettings;
using learning_host::Settings;
using testsupport::ReadFile;
using vb::Integer;
using vb::Long;
using vb::Single;
using Engine = std::shared_ptr<zorvapi::IDataEngine>;

// Three class values with three children, one of which also depends on another child; a field
// that depends only on a child, and one that tells nothing.
testsupport::Network KnownNetwork() {
    testsupport::Network net;
    const int c = net.AddNode("Risk", {"HIGH", "MID", "LOW"}, {}, {{0.45, 0.35, 0.2}});
    net.AddNode("Age", {"YOUNG", "MIDDLE", "OLD"}, {c},
                {{0.7, 0.2, 0.1}, {0.2, 0.6, 0.2}, {0.1, 0.2, 0.7}});
    const int s = net.AddNode("Smoker", {"Y", "N"}, {c}, {{0.8, 0.2}, {0.4, 0.6}, {0.1, 0.9}});
    net.AddNode("Fitness", {"GOOD", "POOR"}, {c, s},
                {{0.1, 0.9}, {0.5, 0.5}, {0.3, 0.7}, {0.8, 0.2}, {0.6, 0.4}, {0.95, 0.05}});
    net.AddNode("Cough", {"Y", "N"}, {s}, {{0.7, 0.3}, {0.2, 0.8}});
    net.AddNode("Colour", {"RED", "BLUE"});
    return net;
}

struct Outcome {
    Single accuracy = 0;
    Long total = 0, correct = 0, errors = 0;
    vb::Array<Long> matrix;
    vb::Array<Single> lift, roc;
    std::string resultFile;
};

// ClsfyBatch over the test table and everything the host reads after it.
Outcome Classify(zorvapi::IDataEngine& e, LearningTable& t, const std::string& resultFile) {
    Outcome o;
    std::string table = t.test.table, cls = t.test.columns[0], file = resultFile;
    o.accuracy = e.ClsfyBatch(t.db, table, cls, o.matrix, file);
    o.total = e.TotalCases();
    o.correct = e.CorrectCases();
    o.errors = e.ErrorCases();
    e.GetLift(o.lift);
    e.GetROC(o.roc);
    if (!resultFile.empty()) o.resultFile = ReadFile(resultFile);
    return o;
}

class EndToEnd : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        registry_ = new testsupport::PrivateClassRegistry(ZORVAPI_LIBRARY);
        table_ = new LearningTable(KnownNetwork(), 3000, 1500);
    }
    static void TearDownTestSuite() {
        delete table_;
        delete registry_;
    }
    void SetUp() override { ASSERT_EQ(registry_->Call("DllRegisterServer"), com::S_OK); }

    static Engine Create() {
        return com::CreateObjectAs<zorvapi::IDataEngine>("ZORVAPI.DataEngine");
    }

    // Learning as the host does it: set-up, structure, the graph handed back, the final tables
    // from all rows and the cost table.
    static Engine Learn(const LearnSettings& s, testsupport::ProgressRecorder& host) {
        Engine e = Create();
        e->SetEventSink(&host);
        learning_host::SetUpLearning(*e, *table_, s);
        vb::Array<std::string> labels;
        e->GetClsLbl(labels);
        EXPECT_EQ(labels.UBound(), 3);
        Single threshold = 1;
        e->LearnStru(threshold);

        vb::Array<Integer> graph, relative;
        e->GetGraph(graph);
        EXPECT_NE(graph(0, 0, 0), -1);
        bool mn = e->IsMultiNet();
        e->GetRelative(relative);
        e->PutGraph(graph);
        std::string name = table_->train.table, cnt;
        e->InitLearn(table_->db, name, cnt);
        EXPECT_TRUE(e->LearnCPT(mn));
        vb::Array<Single> costs;
        e->GetCostTable(costs);
        e->PutCostTable(costs);
        return e;
    }

    static LearningTable& table() { return *table_; }

private:
    static testsupport::PrivateClassRegistry* registry_;
    static LearningTable* table_;
};
testsupport::PrivateClassRegistry* EndToEnd::registry_ = nullptr;
LearningTable* EndToEnd::table_ = nullptr;

// The share of the test rows in the most frequent class.
double MajorityShare(const testsupport::SampledTable& t) {
    std::vector<int> counts(3, 0);
    for (const auto& row : t.cells) {
        const std::string v = row[0].AsText();
        counts[v == "HIGH" ? 0 : v == "MID" ? 1 : 2]++;
    }
    return double(*std::max_element(counts.begin(), counts.end())) / double(t.cells.size());
}

// A digest of what a learned classifier shows the host: its graph and how it classified the
// test table (confusion matrix, accuracy, lift and ROC indexes, bit for bit).
std::string Digest(const vb::Array<Integer>& graph, const Outcome& o) {
    uint64_t h = 1469598103934665603ull;
    auto add = [&](const void* p, size_t n) {
        for (size_t i = 0; i < n; ++i) h = (h ^ static_cast<const unsigned char*>(p)[i]) * 1099511628211ull;
    };
    for (Integer c : graph.cells()) add(&c, sizeof c);
    for (Long c : o.matrix.cells()) add(&c, sizeof c);
    for (Single c : o.lift.cells()) add(&c, sizeof c);
    for (Single c : o.roc.cells()) add(&c, sizeof c);
    add(&o.accuracy, sizeof o.accuracy);
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(h));
    return text;
}

TEST_F(EndToEnd, EverySettingLearnsAClassifierThatBeatsTheMajorityClass) {
    learning_host::InFolder here(table().dir.path());  // ROC files go to the current folder
    const double majority = MajorityShare(table().test);
    struct Case {
        Integer BMMode;
        bool FixedThr;
        Integer FSM;
    };
    std::vector<Case> cases{{1, true, 2}, {1, false, 2}};
    for (Integer bm : {2, 3})
        for (bool fixed : {true, false})
            for (Integer fsm : {1, 2, 3}) cases.push_back({bm, fixed, fsm});
    const char* const kLearned[] = {
        "956191e9fa7199e4", "956191e9fa7199e4",                                        // single net
        "4eb4ec4d1c688211", "07cff0469698617a", "4eb4ec4d1c688211",                    // 2, fixed
        "4eb4ec4d1c688211", "3005550ddc13f207", "4eb4ec4d1c688211",                    // 2, searched
        "4237dd19e4893635", "4237dd19e4893635", "4237dd19e4893635",                    // 3, fixed
        "4237dd19e4893635", "4237dd19e4893635", "4237dd19e4893635",                    // 3, searched
    };
    ASSERT_EQ(std::size(kLearned), cases.size());
    for (const Case& c : cases) {
        const std::string name = "BMMode " + std::to_string(c.BMMode) +
                                 (c.FixedThr ? " fixed" : " searched") + " FSM " +
                                 std::to_string(c.FSM);
        testsupport::ProgressRecorder host;
        Engine e = Learn(Settings(c.BMMode, c.FixedThr, c.FSM), host);
        EXPECT_FALSE(host.calls.empty()) << name;
        if (c.BMMode == 1) {
            EXPECT_FALSE(e->IsMultiNet()) << name;
        }
        if (c.BMMode == 2) {
            EXPECT_TRUE(e->IsMultiNet()) << name;
        }
        // A single net keeps the class's blanket; a multi-net the fields linked inside the
        // per-class networks (the host's PutGraph derives them), here the smoker's pair. The
        // field that tells nothing is never a feature.
        vb::Array<Integer> feature;
        e->GetRelative(feature);
        std::vector<Integer> got;
        for (Integer i = 1; i <= 6; ++i) got.push_back(feature(i));
        if (!e->IsMultiNet()) {
            EXPECT_EQ(got, (std::vector<Integer>{1, 1, 1, 1, 0, 0})) << name;
        } else {
            EXPECT_EQ(feature(3), 1) << name;
            EXPECT_EQ(feature(4), 1) << name;
            EXPECT_EQ(feature(6), 0) << name;
        }

        const Outcome o = Classify(*e, table(), "");
        // What each setting learned before the searches were made faster (the store sized by
        // its tables, the hold-out rows coded once, drafting sorted, the path searches over bit
        // rows) must not change.
        vb::Array<Integer> graph;
        e->GetGraph(graph);
        EXPECT_EQ(Digest(graph, o), kLearned[&c - cases.data()]) << name;
        EXPECT_EQ(o.total, 1500) << name;
        EXPECT_EQ(o.errors, 0) << name;
        Long diagonal = 0, sum = 0;
        for (Integer a = 0; a <= 3; ++a)
            for (Integer p = 0; p <= 3; ++p) {
                sum += o.matrix(a, p);
                if (a == p) diagonal += o.matrix(a, p);
            }
        EXPECT_EQ(sum, o.total) << name;
        EXPECT_EQ(diagonal, o.correct) << name;
        EXPECT_FLOAT_EQ(o.accuracy, Single(double(o.correct) / double(o.total))) << name;
        EXPECT_GT(o.accuracy, majority + 0.1) << name << ": majority " << majority;
        double roc = 0, lift = 0;
        for (Integer x = 1; x <= 3; ++x) {
            lift += o.lift(x) / 3;
            for (Integer y = 1; y <= 3; ++y)
                if (x != y) roc += o.roc(x, y) / 6;
        }
        EXPECT_GT(roc, 0.65) << name;
        EXPECT_GT(lift, 0.55) << name;
    }
}

// A classifier written to a file and opened in a fresh engine classifies the test table
// exactly as the engine that learned it.
TEST_F(EndToEnd, ClassifierFileRoundTrip) {
    learning_host::InFolder here(table().dir.path());
    const LearnSettings runs[] = {Settings(1, false), Settings(2, true, 2), Settings(2, false, 1)};
    for (const LearnSettings& s : runs) {
        const std::string name = "BMMode " + std::to_string(s.BMMode);
        testsupport::ProgressRecorder host;
        Engine learned = Learn(s, host);
        std::string bnc = table().dir.Path("model.bnc");
        learned->WriteBnc(bnc);
        const Outcome before = Classify(*learned, table(), table().dir.Path("before.txt"));

        Engine opened = Create();
        Long rows = 5000;
        Integer vlus = 10;
        opened->Init(rows, vlus);
        opened->ReadBncStru(bnc);
        opened->ReadBncCPT(bnc);
        EXPECT_EQ(opened->IsMultiNet(), learned->IsMultiNet()) << name;
        const Outcome after = Classify(*opened, table(), table().dir.Path("after.txt"));

        EXPECT_EQ(after.accuracy, before.accuracy) << name;
        EXPECT_EQ(after.total, before.total) << name;
        EXPECT_EQ(after.correct, before.correct) << name;
        EXPECT_EQ(after.errors, before.errors) << name;
        EXPECT_TRUE(after.matrix == before.matrix) << name;
        EXPECT_TRUE(after.lift == before.lift) << name;
        EXPECT_TRUE(after.roc == before.roc) << name;
        EXPECT_FALSE(before.resultFile.empty()) << name;
        EXPECT_EQ(after.resultFile, before.resultFile) << name;
    }
}

}  // namespace
