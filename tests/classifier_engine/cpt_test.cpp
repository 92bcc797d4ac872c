// Probability-table learning on a 14-row table with graphs given by hand: every value against
// a hand computation in Single, the query texts, the multi-net variant with typed class
// conditions, the search's cache, progress, cancel and error 555.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <utility>
#include <string>
#include <vector>

#include "classifier_engine/errors.h"
#include "platform/db/value_text.h"
#include "tests/support/engine_fixture.h"
#include "tests/support/recording_db.h"

namespace {

using testsupport::EngineFixture;
using vb::Integer;
using vb::Long;
using vb::Single;

// Sales: Buy (the class: NO 5, YES 9), Colour (BLUE, GREEN, RED), Size (L, S), Price (1..3),
// Extra (A, B) and the hold-out flag. Rows 3, 6, 9 and 13 are hold-out rows.
testsupport::TableSpec Sales() {
    auto row = [](const char* buy, const char* colour, const char* size, int price,
                  const char* extra, bool holdOut) {
        return std::vector<db::Value>{buy, colour, size, int32_t(price), extra, holdOut};
    };
    return {"Sales",
            {{"Buy", db::dbText}, {"Colour", db::dbText}, {"Size", db::dbText},
             {"Price", db::dbLong}, {"Extra", db::dbText}, {"zorv_holdout", db::dbBoolean}},
            {row("YES", "RED", "S", 1, "A", false),  row("YES", "RED", "L", 2, "B", false),
             row("NO", "BLUE", "L", 3, "A", true),   row("YES", "GREEN", "S", 1, "A", false),
             row("NO", "BLUE", "S", 2, "B", false),  row("YES", "RED", "S", 3, "A", true),
             row("NO", "RED", "L", 3, "B", false),   row("YES", "BLUE", "S", 1, "B", false),
             row("NO", "GREEN", "L", 2, "A", true),  row("YES", "GREEN", "L", 1, "A", false),
             row("YES", "RED", "S", 2, "B", false),  row("NO", "BLUE", "L", 3, "A", false),
             row("YES", "BLUE", "S", 2, "B", true),  row("YES", "GREEN", "S", 1, "A", false)}};
}

const std::vector<std::string> kFields = {"Buy", "Colour", "Size", "Price", "Extra"};
constexpr Integer kBuy = 1, kColour = 2, kSize = 3, kPrice = 4, kExtra = 5;

// The rows of field f's table (layer k of a multi-net; k < 0 for a single net).
std::vector<std::vector<Single>> TableOf(const zorvapi::DataEngine& e, Integer f, Integer k = -1) {
    const Long first = (k < 0 ? e.CPTIndex(f) : e.CPTIndex(k, f)) + 1;
    const Long last = k < 0 ? e.CPTIndex(f + 1) : e.CPTIndex(k, f + 1);
    std::vector<std::vector<Single>> rows;
    for (Long r = first; r <= last; ++r) {
        rows.emplace_back();
        for (Integer v = 1; v <= e.FF(f); ++v) rows.back().push_back(e.CPTStore(r, v));
    }
    return rows;
}

// Uniform over two values for an empty configuration.
const std::vector<Single> kEmpty2 = {0.5f, 0.5f};

// Single net: Buy -> Colour, Buy -> Size, Colour -> Size, Price -> Size, plus Extra -> Price
// and Extra -> Buy, which the classifier does not use.
struct SingleNetTables : ::testing::Test {
    EngineFixture fx{Sales(), kFields};
    void Learn() {
        auto g = fx.NewGraph();
        g(0, 0, 0) = 1;
        EngineFixture::Arc(g, 0, kBuy, kColour);
        EngineFixture::Arc(g, 0, kBuy, kSize);
        EngineFixture::Arc(g, 0, kColour, kSize);
        EngineFixture::Arc(g, 0, kPrice, kSize);
        EngineFixture::Arc(g, 0, kExtra, kPrice);
        EngineFixture::Arc(g, 0, kExtra, kBuy);
        fx.engine.PutGraph(g);
        bool mn = false;
        ASSERT_TRUE(fx.engine.LearnCPT(mn));
    }
};

TEST_F(SingleNetTables, EveryValueByHand) {
    auto recording = std::make_shared<testsupport::RecordingDatabase>(fx.db);
    fx.engine.Db = recording;
    Learn();
    const zorvapi::DataEngine& e = fx.engine;

    // Prior: (5 + 2.5) / 19 is held as a Single (0.39473686) before it is rounded.
    EXPECT_EQ(e.CPTIndex(1), 0);
    EXPECT_EQ(e.CPTStore(1, 1), 0.3947369f);
    EXPECT_EQ(e.CPTStore(1, 2), 1.0f - 0.3947369f);

    // Colour | Buy, a = 5/3 (1.6666666 as a Single): NO has BLUE 3, GREEN 1, RED 1; YES has
    // BLUE 2, GREEN 3, RED 4. (2 + a) / 14 is 0.26190475... in double but 0.26190474... as a
    // Single, which rounds to 0.2619047.
    EXPECT_EQ(TableOf(e, kColour),
              (std::vector<std::vector<Single>>{
                  {0.4666667f, 0.2666667f, 1.0f - (0.4666667f + 0.2666667f)},
                  {0.2619047f, 0.3333333f, 1.0f - (0.2619047f + 0.3333333f)}}));

    // Size | Buy, Colour, Price: 18 configurations, the class most significant, then Colour,
    // then Price; the nine that occur by hand, every other one 1/2.
    auto size = TableOf(e, kSize);
    ASSERT_EQ(size.size(), 18u);
    auto row = [](Integer buy, Integer colour, Integer price) {
        return size_t(((buy - 1) * 3 + (colour - 1)) * 3 + (price - 1));
    };
    std::vector<std::vector<Single>> expected(18, kEmpty2);
    auto set = [&](size_t r, Single large) { expected[r] = {large, 1.0f - large}; };
    set(row(1, 1, 2), 0.4166667f);  // NO BLUE 2: S 1
    set(row(1, 1, 3), 0.6428571f);  // NO BLUE 3: L 2
    set(row(1, 2, 2), 0.5833333f);  // NO GREEN 2: L 1
    set(row(1, 3, 3), 0.5833333f);  // NO RED 3: L 1
    set(row(2, 1, 1), 0.4166667f);  // YES BLUE 1: S 1
    set(row(2, 1, 2), 0.4166667f);  // YES BLUE 2: S 1
    set(row(2, 2, 1), 0.4375f);     // YES GREEN 1: L 1, S 2
    set(row(2, 3, 1), 0.4166667f);  // YES RED 1: S 1
    set(row(2, 3, 2), 0.5f);        // YES RED 2: L 1, S 1
    set(row(2, 3, 3), 0.4166667f);  // YES RED 3: S 1
    EXPECT_EQ(size, expected);
    for (const auto& r : size) EXPECT_EQ(r[0] + r[1], 1.0f);

    // Price and Extra are no children of the class: no rows.
    EXPECT_EQ(e.CPTIndex(kPrice), e.CPTIndex(kPrice + 1));
    EXPECT_EQ(e.CPTIndex(kExtra), e.CPTIndex(kExtra + 1));
    EXPECT_EQ(e.CPTIndex(kExtra + 1), 1 + 2 + 18);

    EXPECT_EQ(
        recording->Texts(),
        (std::vector<std::string>{"select  Count(*) , Buy from [Sales] group by Buy",
                                  "select  Count(*) , Buy,Colour from [Sales] group by Buy,Colour",
                                  "select  Count(*) , Buy, Colour, Price,Size from [Sales] group "
                                  "by Buy, Colour, Price,Size"}));
}

TEST_F(SingleNetTables, SubsetParentsAndTheReducedGraph) {
    Learn();
    const zorvapi::DataEngine& e = fx.engine;
    EXPECT_EQ(e.ClassChildren(0), 2);
    EXPECT_EQ(e.ClassChildren(1), kColour);
    EXPECT_EQ(e.ClassChildren(2), kSize);
    EXPECT_EQ(e.Parents(kSize, 0), 3);
    EXPECT_EQ(e.Parents(kSize, 1), kBuy);
    EXPECT_EQ(e.Parents(kSize, 2), kColour);
    EXPECT_EQ(e.Parents(kSize, 3), kPrice);
    for (Integer f : {kBuy, kColour, kSize, kPrice}) EXPECT_EQ(e.Feature(f), 1) << f;
    EXPECT_EQ(e.Feature(kExtra), 0);

    // Layer 0 keeps the arcs into the class's children, each in both cells.
    auto expected = fx.NewGraph();
    expected(0, 0, 0) = 1;
    const std::vector<std::pair<Integer, Integer>> arcs = {
        {kBuy, kColour}, {kBuy, kSize}, {kColour, kSize}, {kPrice, kSize}};
    for (auto [p, c] : arcs) {
        expected(0, p, c) = 1;
        expected(0, c, p) = 2;
    }
    vb::Array<Integer> g;
    fx.engine.GetGraph(g);
    EXPECT_EQ(g, expected);
}

TEST_F(SingleNetTables, AClassWithoutChildrenHasOnlyThePrior) {
    auto g = fx.NewGraph();
    EngineFixture::Arc(g, 0, kColour, kSize);
    fx.engine.PutGraph(g);
    bool mn = false;
    ASSERT_TRUE(fx.engine.LearnCPT(mn));
    for (Integer i = 2; i <= 6; ++i) EXPECT_EQ(fx.engine.CPTIndex(i), 1) << i;
    for (Integer i = 2; i <= 5; ++i) EXPECT_EQ(fx.engine.Feature(i), 0) << i;
    vb::Array<Integer> back;
    fx.engine.GetGraph(back);
    EXPECT_EQ(back, fx.NewGraph());
}

TEST_F(SingleNetTables, ProgressAndCancel) {
    testsupport::ProgressRecorder progress;
    fx.engine.SetEventSink(&progress);
    Learn();
    EXPECT_EQ(fx.engine.StrStatus(), "Learn CPT (BN)");
    ASSERT_EQ(progress.calls.size(), 4u);  // one per field after the class
    EXPECT_EQ(progress.calls[0].second, 24.75f);
    EXPECT_EQ(progress.calls[3].second, 99.0f);

    testsupport::ProgressRecorder cancel(2);
    fx.engine.SetEventSink(&cancel);
    bool mn = false;
    EXPECT_FALSE(fx.engine.LearnCPT(mn));
    EXPECT_EQ(cancel.calls.size(), 2u);
    fx.engine.SetEventSink(nullptr);
}

TEST(TableErrors, AStoreTooSmallIsError555) {
    EngineFixture fx(Sales(), kFields, /*maxRows=*/10);
    auto g = fx.NewGraph();
    EngineFixture::Arc(g, 0, kBuy, kSize);
    EngineFixture::Arc(g, 0, kColour, kSize);
    EngineFixture::Arc(g, 0, kPrice, kSize);  // 18 configurations
    fx.engine.PutGraph(g);
    for (bool mn : {false, true}) {
        if (mn) {
            auto layers = fx.NewGraph();
            for (Integer k = 1; k <= 2; ++k) {
                EngineFixture::Arc(layers, k, kColour, kSize);
                EngineFixture::Arc(layers, k, kPrice, kSize);
                EngineFixture::Arc(layers, k, kExtra, kSize);  // 18 rows a layer, 20 in the store
            }
            fx.engine.IsMultiNet_ = true;
            fx.engine.PutGraph(layers);
        }
        try {
            fx.engine.LearnCPT(mn);
            FAIL() << "no error, mn " << mn;
        } catch (const com::Error& err) {
            EXPECT_EQ(err.number(), com::objectError(555));
            EXPECT_EQ(err.source(), "DataEngine Object");
            EXPECT_EQ(err.description(), zorvapi::kCPTRowsTooFew.description);
        }
    }
}

// A value added to the table after the set-up, and a field over the value limit, are no store
// too small: each gets its own error.
TEST(TableErrors, OtherFailuresAreNot555) {
    EngineFixture fx(Sales(), kFields);
    auto g = fx.NewGraph();
    EngineFixture::Arc(g, 0, kBuy, kSize);
    EngineFixture::Arc(g, 0, kColour, kSize);
    fx.engine.PutGraph(g);
    fx.db->Execute("INSERT INTO [Sales] VALUES (\"YES\", \"PINK\", \"S\", 1, \"A\", False)");
    bool mn = false;
    try {
        fx.engine.LearnCPT(mn);
        FAIL() << "a value the set-up did not see was counted";
    } catch (const com::Error& err) {
        EXPECT_EQ(err.number(), com::objectError(546)) << err.description();
    }
    fx.engine.FF(kColour) = Integer(fx.engine.MaxVlus + 1);
    try {
        fx.engine.LearnCPT(mn);
        FAIL() << "a field over the limit was counted";
    } catch (const com::Error& err) {
        EXPECT_EQ(err.number(), 556) << err.description();
    }
}

// Multi-net: layer NO has Colour -> Size, layer YES has Price -> Size; features Colour, Size,
// Price (the ends of the links); Extra gets no table.
struct MultiNetTables : ::testing::Test {
    EngineFixture fx{Sales(), kFields};
    void SetUp() override {
        auto g = fx.NewGraph();
        EngineFixture::Arc(g, 1, kColour, kSize);
        EngineFixture::Arc(g, 2, kPrice, kSize);
        fx.engine.IsMultiNet_ = true;
        fx.engine.PutGraph(g);
    }
};

TEST_F(MultiNetTables, EveryValueByHand) {
    auto recording = std::make_shared<testsupport::RecordingDatabase>(fx.db);
    fx.engine.Db = recording;
    bool mn = true;
    ASSERT_TRUE(fx.engine.LearnCPT(mn));
    const zorvapi::DataEngine& e = fx.engine;
    using Rows = std::vector<std::vector<Single>>;
    EXPECT_EQ(e.CPTStore(1, 1), 0.3947369f);
    // Layer NO (rows 3, 5, 7, 9, 12).
    EXPECT_EQ(TableOf(e, kColour, 1),
              (Rows{{0.4666667f, 0.2666667f, 1.0f - (0.4666667f + 0.2666667f)}}));
    EXPECT_EQ(TableOf(e, kSize, 1), (Rows{{0.5625f, 1.0f - 0.5625f},
                                          {0.5833333f, 1.0f - 0.5833333f},
                                          {0.5833333f, 1.0f - 0.5833333f}}));
    EXPECT_EQ(TableOf(e, kPrice, 1),
              (Rows{{0.1666667f, 0.3666667f, 1.0f - (0.1666667f + 0.3666667f)}}));
    EXPECT_EQ(TableOf(e, kExtra, 1), Rows{});
    // Layer YES.
    EXPECT_EQ(TableOf(e, kColour, 2),
              (Rows{{0.2619047f, 0.3333333f, 1.0f - (0.2619047f + 0.3333333f)}}));
    EXPECT_EQ(
        TableOf(e, kSize, 2),
        (Rows{{0.35f, 1.0f - 0.35f}, {0.4375f, 1.0f - 0.4375f}, {0.4166667f, 1.0f - 0.4166667f}}));
    EXPECT_EQ(TableOf(e, kPrice, 2),
              (Rows{{0.4761905f, 0.3333333f, 1.0f - (0.4761905f + 0.3333333f)}}));
    EXPECT_EQ(e.CPTIndex(2, kExtra + 1), 11);
    EXPECT_EQ(e.Parents(2, kSize, 0), 1);
    EXPECT_EQ(e.Parents(2, kSize, 1), kPrice);

    const auto texts = recording->Texts();
    EXPECT_NE(std::find(texts.begin(), texts.end(),
                        "select  Count(*) ,Colour from [Sales] WHERE Buy = \"NO\" group by Colour"),
              texts.end());
    EXPECT_NE(
        std::find(
            texts.begin(), texts.end(),
            "select  Count(*) , Price,Size from [Sales] WHERE Buy = \"YES\" group by Price,Size"),
        texts.end());
}

// Class values whose labels cannot be pasted into SQL: a quote, a decimal comma, an exponent.
TEST(MultiNetClassConditions, TypedClassValuesSelectTheirRows) {
    struct Case {
        db::FieldType type;
        db::Value first, second;
    };
    const Case cases[] = {
        {db::dbText, db::Value("A\"B"), db::Value("1,5")},
        {db::dbDouble, db::Value(1e-05), db::Value(2.5e10)},
    };
    for (const auto& c : cases) {
        // Three rows of the first class value with F = X, two of the second with F = Y.
        testsupport::TableSpec t{"T", {{"Grade", c.type}, {"F", db::dbText}, {"G", db::dbText}},
                                 {{c.first, "X", "P"}, {c.first, "X", "Q"}, {c.first, "X", "P"},
                                  {c.second, "Y", "Q"}, {c.second, "Y", "P"}}};
        EngineFixture fx(t, {"Grade", "F", "G"});
        auto g = fx.NewGraph();
        EngineFixture::Arc(g, 1, 2, 3);
        EngineFixture::Arc(g, 2, 2, 3);
        fx.engine.IsMultiNet_ = true;
        fx.engine.PutGraph(g);
        bool mn = true;
        ASSERT_TRUE(fx.engine.LearnCPT(mn)) << int(c.type);
        const Integer first = fx.Label(1, db::LabelText(c.first));
        const Integer x = fx.Label(2, "X");
        // F's counts of each layer: X 3 under the first value, Y 2 under the second.
        const Long rowFirst = fx.engine.CPTIndex(first, 2) + 1;
        const Long rowSecond = fx.engine.CPTIndex(3 - first, 2) + 1;
        EXPECT_EQ(fx.engine.CPTStore(rowFirst, x), 0.6875f) << int(c.type);      // (3 + 2.5) / 8
        EXPECT_EQ(fx.engine.CPTStore(rowSecond, x), 0.3571429f) << int(c.type);  // 2.5 / 7
    }
}

// The search's cache: the tables learned with the cache (seeded, then reused from one
// candidate to the next) equal the tables learned without it, also for a field that was not
// seeded and has no parents.
TEST_F(MultiNetTables, TheSearchCacheNeverChangesATable) {
    auto learnWithoutCache = [&] {
        fx.engine.ShrinkCPTCache();
        bool mn = true;
        EXPECT_TRUE(fx.engine.LearnCPT(mn));
        return std::pair{fx.engine.CPTStore, fx.engine.CPTIndex};
    };
    fx.LoadCounts(/*learnRowsOnly=*/true);
    fx.engine.HoldOutSearch = true;
    fx.engine.SubsetFixed = false;  // every usable field gets a table, Extra included
    const auto reference = learnWithoutCache();
    const Single referenceScore = fx.engine.ClsfyHoldOutMN();

    fx.engine.ShrinkCPTCache();
    fx.engine.SeedCPTCacheMN();
    auto recording = std::make_shared<testsupport::RecordingDatabase>(fx.db);
    fx.engine.Db = recording;
    bool mn = true;
    ASSERT_TRUE(fx.engine.LearnCPT(mn));
    EXPECT_EQ(fx.engine.CPTStore, reference.first);
    EXPECT_EQ(fx.engine.CPTIndex, reference.second);
    EXPECT_EQ(fx.engine.ClsfyHoldOutMN(), referenceScore);
    // Seeded: the prior and the parentless feature fields. Counted: the two Size tables and
    // Extra, which was not seeded.
    EXPECT_EQ(recording->CountQueries(), 4);

    // The next candidate with the same graph counts nothing.
    recording->ClearLog();
    ASSERT_TRUE(fx.engine.LearnCPT(mn));
    EXPECT_EQ(fx.engine.CPTStore, reference.first);
    EXPECT_EQ(recording->CountQueries(), 0);
}

TEST_F(SingleNetTables, TheSearchCacheOfASingleNet) {
    fx.LoadCounts(/*learnRowsOnly=*/true);
    fx.engine.HoldOutSearch = true;
    fx.engine.ShrinkCPTCache();
    Learn();
    const auto reference = fx.engine.CPTStore;

    fx.engine.ShrinkCPTCache();
    fx.engine.SeedCPTCacheBN();
    auto recording = std::make_shared<testsupport::RecordingDatabase>(fx.db);
    fx.engine.Db = recording;
    Learn();
    EXPECT_EQ(fx.engine.CPTStore, reference);
    EXPECT_EQ(recording->CountQueries(), 2);  // Colour and Size; the prior was seeded
    EXPECT_EQ(
        recording->Texts()[0],
        "select  Count(*) , Buy,Colour from [Sales] WHERE zorv_holdout=no  group by Buy,Colour");
    recording->ClearLog();
    Learn();
    EXPECT_EQ(fx.engine.CPTStore, reference);
    EXPECT_EQ(recording->CountQueries(), 0);
}

}  // namespace

// A host that hands over a graph of the other kind than the engine's last search (a multi-net
// taken without a search) learns tables of that kind: the kind follows LearnCPT's argument, so
// classifying and writing read tables of the right shape.
TEST(LearnCPTKind, TheArgumentSetsTheKindAndAMultiNetTakesItsSubsetFromTheLayers) {
    EngineFixture fx{Sales(), kFields};
    auto g = fx.NewGraph();
    EngineFixture::Arc(g, 1, kColour, kSize);
    EngineFixture::Arc(g, 2, kPrice, kSize);
    fx.engine.PutGraph(g);  // taken as a single net: its subset is left to LearnCPT
    bool mn = true;
    ASSERT_TRUE(fx.engine.LearnCPT(mn));
    EXPECT_TRUE(fx.engine.IsMultiNet());
    vb::Array<Integer> used;
    fx.engine.GetRelative(used);
    EXPECT_EQ((std::vector<Integer>{used(2), used(3), used(4), used(5)}),
              (std::vector<Integer>{1, 1, 1, 0}));
    vb::Array<Integer> instance(vb::To(Integer(5)));
    instance(kColour) = 1, instance(kSize) = 2, instance(kPrice) = 3;
    const Integer c = fx.engine.ClsfyInst(instance);
    EXPECT_TRUE(c == 1 || c == 2);

    // And back: a single net after the multi-net.
    auto single = fx.NewGraph();
    EngineFixture::Arc(single, 0, kBuy, kColour);
    fx.engine.PutGraph(single);
    mn = false;
    ASSERT_TRUE(fx.engine.LearnCPT(mn));
    EXPECT_FALSE(fx.engine.IsMultiNet());
    fx.engine.GetRelative(used);
    EXPECT_EQ((std::vector<Integer>{used(2), used(3), used(4), used(5)}),
              (std::vector<Integer>{1, 0, 0, 0}));
    EXPECT_EQ(fx.engine.ClsfyInst(instance), fx.engine.ClsfyInst(instance));
}
