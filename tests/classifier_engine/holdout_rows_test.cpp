// The hold-out rows read off the database's coded copy against the same rows read through a
// recordset, on a table whose cells make the reading hard: class and text fields in several
// spellings of one label, Null and "?" (both the missing value), numbers, Singles and Booleans.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/db/sqlite_backend.h"
#include "tests/classifier_engine/learning_host.h"
#include "tests/support/engine_fixture.h"

namespace {

using learning_host::InTempDir;
using testsupport::EngineFixture;
using testsupport::TableSpec;
using vb::Integer;
using vb::Single;
using zorvapi::DataEngine;

TableSpec Awkward() {
    TableSpec t{"Awkward",
                {{"Buy", db::dbText},
                 {"Colour", db::dbText},
                 {"Size", db::dbLong},
                 {"Weight", db::dbSingle},
                 {"Member", db::dbBoolean},
                 {"zorv_holdout", db::dbBoolean}},
                {}};
    const db::Value buys[] = {"YES", "yes", "No", "NO", "Yes"};
    const db::Value colours[] = {"Red", "RED", "blue", "?", db::Value(), "red", "Blue"};
    const db::Value sizes[] = {int32_t(1), int32_t(2), db::Value(), int32_t(3)};
    const db::Value weights[] = {0.5f, 1.25f, db::Value(), 0.1f};
    const db::Value members[] = {true, false, db::Value()};
    for (int r = 0; r < 120; ++r)
        t.rows.push_back({buys[r % 5], colours[(r * 3 + r / 5) % 7], sizes[(r / 2 + r / 7) % 4],
                          weights[(r + r / 3) % 4], members[(r / 4 + r) % 3], r % 3 == 0});
    return t;
}

struct Scores {
    Single accuracy = 0, roc = 0;
    DataEngine::HoldOutCopy rows;
    vb::Array<Integer> actual;
    vb::Array<Single> posterior, rocIndex;
};

// The accuracy and ROC scores of the engine's current model, with the rows read afresh.
Scores Score(DataEngine& e, bool multiNet, bool coded) {
    e.HoldOut = {};
    e.HoldOutCoding = coded;
    Scores s;
    e.tmpROC = false;
    s.accuracy = multiNet ? e.ClsfyHoldOutMN() : e.ClsfyHoldOutBN();
    e.tmpROC = true;
    s.roc = multiNet ? e.ClsfyHoldOutMN() : e.ClsfyHoldOutBN();
    s.rows = e.HoldOut;
    s.actual = e.ActualClass;
    s.posterior = e.CasePosterior;
    s.rocIndex = e.ROCIndex;
    return s;
}

// A single net with two fields of two parents, or a multi-net with a link in each layer, and
// its tables learned from the rows flagged no.
void Learn(EngineFixture& fx, bool multiNet) {
    DataEngine& e = fx.engine;
    auto g = fx.NewGraph();
    if (!multiNet) {
        for (Integer f = 2; f <= 5; ++f) EngineFixture::Arc(g, 0, 1, f);
        EngineFixture::Arc(g, 0, 2, 3);
        EngineFixture::Arc(g, 0, 4, 5);
    } else {
        EngineFixture::Arc(g, 1, 2, 3);
        EngineFixture::Arc(g, 2, 5, 4);
        EngineFixture::Arc(g, 2, 3, 4);
    }
    e.IsMultiNet_ = multiNet;
    e.SubsetFixed = false;
    e.PutGraph(g);
    bool mn = multiNet;
    ASSERT_TRUE(e.LearnCPT(mn));
}

TEST(HoldOutRows, TheCodedCopyScoresAsTheRecordsetDoes) {
    InTempDir cwd;
    EngineFixture fx(Awkward(), {"Buy", "Colour", "Size", "Weight", "Member"});
    fx.LoadCounts(/*learnRowsOnly=*/true);
    DataEngine& e = fx.engine;
    e.HoldOutSearch = true;
    {
        DataEngine::HoldOutCopy copy;
        ASSERT_EQ(e.ReadHoldOutCoded(copy), DataEngine::HoldOutRead::Read);
    }
    for (bool multiNet : {false, true}) {
        Learn(fx, multiNet);
        const Scores coded = Score(e, multiNet, true), read = Score(e, multiNet, false);
        const std::string net = multiNet ? "multi-net" : "single net";
        EXPECT_EQ(coded.rows.rows, 40) << net;
        EXPECT_GT(coded.accuracy, 0) << net;
        EXPECT_GT(coded.roc, 0) << net;
        EXPECT_EQ(coded.rows.Codes, read.rows.Codes) << net;
        EXPECT_EQ(coded.rows.Column, read.rows.Column) << net;
        EXPECT_EQ(coded.rows.Distinct, read.rows.Distinct) << net;
        EXPECT_EQ(coded.rows.GroupOf, read.rows.GroupOf) << net;
        EXPECT_EQ(coded.rows.Weight, read.rows.Weight) << net;
        EXPECT_EQ(coded.accuracy, read.accuracy) << net;
        EXPECT_EQ(coded.roc, read.roc) << net;
        EXPECT_EQ(coded.actual, read.actual) << net;
        EXPECT_EQ(coded.posterior, read.posterior) << net;
        EXPECT_EQ(coded.rocIndex, read.rocIndex) << net;
    }
    // Every spelling of a label, and Null and "?", found their labels.
    const size_t width = 6;
    for (size_t r = 0; r < 40; ++r) {
        EXPECT_NE(e.HoldOut.Codes[r * width + 1], 0) << r;
        EXPECT_NE(e.HoldOut.Codes[r * width + 2], 0) << r;
    }
}

// The plan a hold-out pass makes of the model gives every case, values outside the labels and
// 0 included, the scores of the per-case inference bit for bit, and the same class.
TEST(HoldOutRows, ThePlannedInferenceIsThePerCaseOne) {
    InTempDir cwd;
    EngineFixture fx(Awkward(), {"Buy", "Colour", "Size", "Weight", "Member"});
    fx.LoadCounts(/*learnRowsOnly=*/true);
    DataEngine& e = fx.engine;
    e.HoldOutSearch = true;
    for (bool multiNet : {false, true}) {
        Learn(fx, multiNet);
        DataEngine::InferencePlan plan;
        ASSERT_TRUE(e.PlanInference(multiNet, plan));
        vb::Array<Integer> values(vb::To(e.numfld));
        std::vector<Integer> flat(size_t(e.numfld) + 1, 0);
        int cases = 0, scored = 0;
        for (int n = 0;; ++n) {
            int rest = n;
            for (Integer j = 2; j <= e.numfld; ++j) {
                const int span = e.FF(j) + 2;  // 0, the labels, one past them
                values(j) = flat[size_t(j)] = Integer(rest % span);
                rest /= span;
            }
            if (rest > 0) break;
            ++cases;
            const Integer expected = multiNet ? e.InferenceMN(values) : e.InferenceBN(values);
            const vb::Array<Single> posterior = e.Posterior;
            EXPECT_EQ(e.InferPlanned(plan, flat.data()), expected) << n;
            EXPECT_EQ(e.Posterior, posterior) << n;
            scored += posterior(1) > 0;
        }
        EXPECT_GT(cases, 500);
        EXPECT_GT(scored, 20);
    }
}

// Without the in-memory copy the counter is not there, and the recordset reads the rows.
TEST(HoldOutRows, WithoutTheCopyTheRecordsetReads) {
    InTempDir cwd;
    EngineFixture fx(Awkward(), {"Buy", "Colour", "Size"});
    dynamic_cast<db::sqlite::SqliteDatabase&>(*fx.db).SetInMemoryCounting(false);
    DataEngine::HoldOutCopy copy;
    EXPECT_EQ(fx.engine.ReadHoldOutCoded(copy), DataEngine::HoldOutRead::Declined);
    fx.engine.HoldOutSearch = true;
    EXPECT_TRUE(fx.engine.LoadHoldOutRows());
    EXPECT_EQ(fx.engine.HoldOut.rows, 40);
}

}  // namespace
