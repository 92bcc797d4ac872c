// The pairwise pass: which pairs are computed, the row filters of a layer, progress and cancel,
// the ordering by relevance to the class field, and the per-class filters of a multi-net.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "platform/db/value_text.h"
#include "tests/support/db_contract.h"
#include "tests/support/recording_db.h"
#include "tests/support/scripted_learner.h"

namespace {

using testsupport::ScriptedLearner;
using vb::Long;
using Pairs = std::vector<std::pair<int, int>>;

Pairs Queried(const ScriptedLearner& L) {
    Pairs out;
    for (const auto& c : L.miCalls) out.emplace_back(c.a, c.b);
    return out;
}

TEST(InitStruBN, ComputesEveryMissingPairInOrderAndCountsEveryPair) {
    ScriptedLearner L(core::CoreSettings::Classifier(100), 4);
    L.SetMI(2, 3, 0.25f);  // already known (an earlier pass, a learning log)
    L.ScriptMI(1, 2, 0.5f);
    L.InitStruBN();
    EXPECT_EQ(Queried(L), (Pairs{{1, 2}, {1, 3}, {1, 4}, {2, 4}, {3, 4}}));
    EXPECT_EQ(L.MICache(0, 1, 2), 0.5f);
    EXPECT_EQ(L.MICache(0, 2, 3), 0.25f);
    ASSERT_EQ(L.events.size(), 6u);
    for (const auto& e : L.events) EXPECT_EQ(e.increment, vb::Single(200.0 / 4 / 3));
    EXPECT_EQ(L.stages, std::vector<std::string>{"Init structure learning (BN)"});
    EXPECT_EQ(L.WhereClause, "");  // no hold-out search: the counts use all rows
}

TEST(InitStruBN, AFieldOverTheValueLimitGetsZeroAgainstEveryFieldWithoutAQuery) {
    ScriptedLearner L(core::CoreSettings::Classifier(5), 4);
    L.FF(3) = 6;  // MaxVlus + 1
    L.FF(4) = 5;  // exactly at the limit: processed normally
    for (auto [a, b] : Pairs{{1, 2}, {1, 4}, {2, 4}})
        L.ScriptMI(vb::Integer(a), vb::Integer(b), 0.1f);
    L.InitStruBN();
    EXPECT_EQ(Queried(L), (Pairs{{1, 2}, {1, 4}, {2, 4}}));
    for (int j = 1; j <= 4; ++j) {
        EXPECT_EQ(L.MICache(0, 3, j), 0.0f) << j;
        EXPECT_EQ(L.MICache(0, j, 3), 0.0f) << j;
    }
    EXPECT_EQ(L.events.size(), 6u);
}

TEST(InitStruBN, HoldOutRowsAreLeftOutOnlyWhileTheClassifierSearches) {
    struct Case {
        bool construction, holdOut;
        const char* before;
        const char* after;
    };
    const Case cases[] = {
        {false, false, "", ""},
        {false, true, "", " WHERE zorv_holdout=no "},
        {false, true, " WHERE C = 1", " WHERE C = 1 And zorv_holdout=no "},
        {true, true, "", ""},  // the construction engine has no hold-out rows
    };
    for (const Case& c : cases) {
        ScriptedLearner L(c.construction ? core::CoreSettings::Construction()
                                         : core::CoreSettings::Classifier(100), 3);
        L.HoldOutSearch = c.holdOut;
        L.WhereClause = c.before;
        L.InitStruBN();
        EXPECT_EQ(L.WhereClause, c.after) << c.before;
        for (const auto& call : L.miCalls) EXPECT_EQ(call.where, c.after);
    }
}

TEST(InitStruBN, ConstructionStoresBothCellsAndSpreadsSixtyOverThePairs) {
    // A GetMI that fills only the cell it was asked for shows what the pass itself writes.
    struct OneCell : ScriptedLearner {
        using ScriptedLearner::ScriptedLearner;
        Single GetMI(Integer a, Integer b) override {
            MICache(NetIdx, a, b) = 0.3f;
            return 0.3f;
        }
    };
    for (bool construction : {false, true}) {
        OneCell L(construction ? core::CoreSettings::Construction()
                               : core::CoreSettings::Classifier(100), 5);
        L.InitStruBN();
        EXPECT_EQ(L.MICache(0, 2, 4), 0.3f);
        EXPECT_EQ(L.MICache(0, 4, 2), construction ? 0.3f : L.settings().notComputed);
        ASSERT_EQ(L.events.size(), 10u);
        EXPECT_EQ(L.events[0].increment, vb::Single((construction ? 120.0 : 200.0) / 5 / 4));
    }
}

TEST(InitStruBN, CancelAtTheFirstPairLeavesTheRestUncomputed) {
    ScriptedLearner L(core::CoreSettings::Classifier(100), 4);
    L.cancelAt = 1;
    L.InitStruBN();
    EXPECT_TRUE(L.Cancel);
    EXPECT_EQ(L.miCalls.size(), 1u);
    EXPECT_EQ(L.events.size(), 1u);
    EXPECT_EQ(L.MICache(0, 1, 3), L.settings().notComputed);
}

TEST(InitStruBN, UnrelatedFeaturesAreOrderedByTheirRelevanceToTheClass) {
    auto run = [](bool bord, bool noOrd) {
        auto L = std::make_unique<ScriptedLearner>(core::CoreSettings::Classifier(100), 5);
        L->ScriptMI(1, 2, 0.3f);
        L->ScriptMI(1, 3, 0.3f);
        L->ScriptMI(1, 4, 0.1f);
        L->ScriptMI(1, 5, 0.2f);
        L->ReachInit(4, 5) = 1;  // domain knowledge: 4 before 5, whatever the MI says
        L->bord = bord;
        L->tmpNoOrd = noOrd;
        L->InitStruBN();
        return L;
    };
    auto L = run(false, true);
    for (auto [a, b] : Pairs{{2, 4}, {2, 5}, {3, 4}, {3, 5}, {4, 5}})
        EXPECT_NE(L->ReachInit(a, b), 0) << a << " before " << b;
    EXPECT_EQ(L->ReachInit(5, 4), 0) << "knowledge wins";
    EXPECT_EQ(L->ReachInit(2, 3) + L->ReachInit(3, 2), 0) << "equal relevance stays unordered";
    for (int i = 1; i <= 5; ++i) EXPECT_EQ(L->ReachInit(i, 1) + L->ReachInit(1, i), 0);
    EXPECT_EQ(L->Reach(2, 4), 0) << "only the initial copy is ordered";

    for (auto [bord, noOrd] : std::vector<std::pair<bool, bool>>{{true, true}, {false, false}}) {
        auto M = run(bord, noOrd);
        EXPECT_EQ(M->ReachInit(2, 4), 0) << bord << noOrd;
    }
}

// ---- multi-net layers ----

// A classifier layer set-up over a recorded table "T" with class field "Cls" of the given type
// whose distinct query returns `values` (labels in VluLbl(1, k) in another order).
struct MultiNet {
    std::shared_ptr<testsupport::RecordingDatabase> db =
        std::make_shared<testsupport::RecordingDatabase>();
    std::unique_ptr<ScriptedLearner> L;

    MultiNet(db::FieldType type, std::vector<db::Value> values, std::vector<std::string> labels,
             vb::Integer fields = 4) {
        L = std::make_unique<ScriptedLearner>(core::CoreSettings::Classifier(100), fields,
                                              vb::Integer(labels.size()));
        db::TableDef def;
        def.Name = "T";
        db::Field cls;
        cls.Name = "Cls";
        cls.Type = type;
        def.Fields.push_back(cls);
        db->AddTable(def);
        testsupport::Result distinct{{"Cls"}, {}};
        for (auto& v : values) distinct.rows.push_back({v});
        db->Answer("select distinct Cls from [T]", distinct);
        L->Db = db;
        L->TableName = "[T]";
        L->FieldNames.ReDim(vb::To(fields));
        L->FieldNames(1) = "Cls";
        L->VluLbl.ReDim(vb::To(fields), vb::To(100));
        for (size_t k = 0; k < labels.size(); ++k) L->VluLbl(1, vb::Integer(k + 1)) = labels[k];
        L->FirstFld = 2;
    }
};

TEST(InitStruMN, EachClassLayerHasItsOwnPairsFilterAndShare) {
    MultiNet m(db::dbText, {db::Value("b"), db::Value("a")}, {"A", "B"});
    ScriptedLearner& L = *m.L;
    L.HoldOutSearch = true;
    L.InitStruMN();
    EXPECT_EQ(L.stages, std::vector<std::string>{"Init structure learning (MN)"});
    ASSERT_EQ(L.miCalls.size(), 6u);
    const char* where[] = {" WHERE Cls = \"a\" And zorv_holdout=no ",
                           " WHERE Cls = \"b\" And zorv_holdout=no "};
    for (size_t c = 0; c < 6; ++c) {
        const auto& call = L.miCalls[c];
        EXPECT_EQ(call.layer, vb::Integer(c / 3 + 1));
        EXPECT_EQ(call.where, where[c / 3]);
        EXPECT_EQ(std::make_pair(int(call.a), int(call.b)), (Pairs{{2, 3}, {2, 4}, {3, 4}}[c % 3]));
    }
    ASSERT_EQ(L.events.size(), 6u);
    for (const auto& e : L.events) EXPECT_EQ(e.increment, vb::Single(200.0 / 4 / 3 / 2));
}

TEST(InitStruMN, TheClassLiteralComesFromTheTypedValueNeverFromTheLabel) {
    struct Case {
        const char* name;
        db::FieldType type;
        db::Value value;
        const char* label;
        const char* literal;
    };
    const Case cases[] = {
        {"quote", db::dbText, db::Value("O\"Neil"), "O\"NEIL", "\"O\"\"Neil\""},
        {"decimal comma", db::dbText, db::Value("1,5"), "1,5", "\"1,5\""},
        {"text read as a number", db::dbText, db::Value(int32_t(12)), "12", "\"12\""},
        {"double", db::dbDouble, db::Value(2.5), "2.5", "2.5"},
        {"exponent", db::dbDouble, db::Value(1e-20), "1E-20", "1E-20"},
        {"long", db::dbLong, db::Value(int32_t(-3)), "-3", "-3"},
        {"boolean", db::dbBoolean, db::Value(true), "TRUE", "True"},
        {"boolean read as a number", db::dbBoolean, db::Value(int16_t(0)), "0", "False"},
    };
    for (const Case& c : cases) {
        MultiNet m(c.type, {c.value}, {c.label});
        m.L->InitStruMN();
        ASSERT_FALSE(m.L->miCalls.empty()) << c.name;
        EXPECT_EQ(m.L->miCalls[0].where, std::string(" WHERE Cls = ") + c.literal) << c.name;
    }
}

TEST(InitStruMN, CancelStopsBeforeTheNextClassValue) {
    MultiNet m(db::dbText, {db::Value("a"), db::Value("b")}, {"A", "B"});
    m.L->cancelAt = 2;
    m.L->InitStruMN();
    EXPECT_EQ(m.L->miCalls.size(), 2u);
    EXPECT_EQ(m.L->NetIdx, 1);
}

TEST(InitStruMN, AClassValueGoneFromTheTableIsAClearError) {
    MultiNet m(db::dbText, {db::Value("a")}, {"A", "B"});
    try {
        m.L->InitStruMN();
        FAIL() << "no error";
    } catch (const db::Error& e) {
        EXPECT_NE(e.description().find("B"), std::string::npos) << e.description();
    }
    EXPECT_TRUE(m.L->miCalls.empty());
}

TEST(InitStruMN, EveryClassLayerCountsExactlyTheRowsOfItsValue) {
    // Class value number v appears v times, so a filter that selects the wrong rows, or none,
    // shows in the layer's count.
    struct Column {
        const char* name;
        db::FieldType type;
        std::vector<db::Value> values;
    };
    const Column columns[] = {
        {"texts", db::dbText,
         {db::Value("O\"Neil"), db::Value("1,5"), db::Value("2E5"), db::Value("it's")}},
        {"doubles", db::dbDouble,
         {db::Value(1.5), db::Value(1e-20), db::Value(2.5e20), db::Value(-0.125)}},
        {"booleans", db::dbBoolean, {db::Value(true), db::Value(false)}},
    };
    // Counts the layer's rows where the pass would ask for a pair's MI.
    struct Counting : ScriptedLearner {
        using ScriptedLearner::ScriptedLearner;
        std::map<Integer, Long> rows;
        Single GetMI(Integer, Integer) override {
            const std::string sql = "select count(*) from " + TableName + WhereClause;
            rows[NetIdx] = vb::CLng(QueryBlock(sql, 1)(0, 0).ToDouble());
            return 0;
        }
    };
    for (const Column& c : columns) {
        testsupport::TempDir dir;
        testsupport::TableSpec tableSpec{
            "T", {{"Cls", c.type, 50}, {"X", db::dbText, 10}, {"Y", db::dbText, 10}}, {}};
        for (size_t v = 0; v < c.values.size(); ++v)
            for (size_t r = 0; r <= v; ++r)
                tableSpec.rows.push_back({c.values[v], db::Value("x"), db::Value("y")});
        testsupport::CreateSqliteFile(dir.Path("t.db"), {tableSpec});
        auto database = db::DBEngine::OpenDatabase(dir.Path("t.db"));

        const auto classes = vb::Integer(c.values.size());
        Counting L(core::CoreSettings::Classifier(100), 3, classes);
        L.Db = database;
        L.TableName = "[T]";
        L.FieldNames.ReDim(vb::To(3));
        L.FieldNames(1) = "Cls";
        L.FieldNames(2) = "X";
        L.FieldNames(3) = "Y";
        L.VluLbl.ReDim(vb::To(3), vb::To(100));
        L.LoadValueLabels(1);
        ASSERT_EQ(L.FF(1), classes) << c.name;
        L.FirstFld = 2;
        L.InitStruMN();
        for (vb::Integer k = 1; k <= classes; ++k) {
            Long expected = 0;
            for (size_t v = 0; v < c.values.size(); ++v)
                if (db::LabelText(c.values[v]) == L.VluLbl(1, k)) expected = Long(v + 1);
            EXPECT_EQ(L.rows[k], expected) << c.name << " " << L.VluLbl(1, k);
        }
    }
}

}  // namespace
