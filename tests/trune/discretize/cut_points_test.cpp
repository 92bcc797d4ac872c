// The three cut methods and what feeds them: the value groups read as numbers and the filter
// that keeps the codes out of a statement.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "platform/db/database.h"
#include "platform/vb/regional.h"
#include "platform/vb/runtime_error.h"
#include "tests/platform/vb/vb_test_util.h"
#include "tests/support/db_contract.h"
#include "trune/discretize/entropy_cuts.h"
#include "trune/discretize/equal_frequency.h"
#include "trune/discretize/equal_width.h"
#include "trune/discretize/exclusion.h"
#include "trune/discretize/interval_label.h"
#include "trune/discretize/value_groups.h"

namespace trune {
namespace {

std::vector<std::string> Texts(const CutPoints& cuts) {
    std::vector<std::string> out;
    for (vb::Single c : cuts) out.push_back(vb::RegionalText(c));
    return out;
}

// Groups 1..values with `rows` rows each, none excluded.
std::vector<ValueGroup> Uniform(int values, int32_t rows) {
    std::vector<ValueGroup> groups;
    for (int v = 1; v <= values; ++v) groups.push_back({double(v), rows, false});
    return groups;
}

TEST(EqualWidthCuts, AccumulatesTheWidthInSingle) {
    struct Case {
        double min, max;
        vb::Integer n;
        std::vector<std::string> cuts;
    };
    const Case cases[] = {
        // lo + k * w in double would give 0.8 and 0.9: the labels show the Single sums.
        {0, 1, 10, {"0.1", "0.2", "0.3", "0.4", "0.5", "0.6", "0.7", "0.8000001", "0.9000001"}},
        {0, 1, 2, {"0.5"}},
        {-3, 5, 4, {"-1", "1", "3"}},
        {7, 7, 3, {"7", "7"}},
    };
    for (const Case& c : cases) EXPECT_EQ(Texts(EqualWidthCuts(c.min, c.max, c.n)), c.cuts) << c.min << ".." << c.max;

    const CutPoints tenths = EqualWidthCuts(0, 1, 10);
    EXPECT_EQ(IntervalLabel(db::Value(0.05), tenths, {}), "<0.1");
    EXPECT_EQ(IntervalLabel(db::Value(0.85), tenths, {}), ">0.8000001<0.9000001");
    EXPECT_EQ(IntervalLabel(db::Value(0.95), tenths, {}), ">0.9000001");
    // Maximum equal to minimum: every value gets the last label.
    EXPECT_EQ(IntervalLabel(db::Value(int32_t(7)), EqualWidthCuts(7, 7, 3), {}), ">7");
    EXPECT_EQ(vbtest::ErrorOf([] { EqualWidthCuts(-1e300, 1, 2); }), 6);
    // One interval: no cut, however wide the range.
    EXPECT_TRUE(EqualWidthCuts(-3.4e38, 3.4e38, 1).empty());
}

TEST(EqualFreqCuts, FillsAQuotaRoundedHalfToEvenWithoutCarry) {
    struct Case {
        const char* name;
        std::vector<ValueGroup> groups;
        vb::Integer n;
        std::vector<std::string> cuts;
    };
    std::vector<ValueGroup> codeLast = Uniform(4, 5);
    codeLast.push_back({99.0, 5, true});
    std::vector<ValueGroup> allExcluded = {{std::nullopt, 4, true}, {-1.0, 6, true}};
    std::vector<ValueGroup> withNullAndCode = {{std::nullopt, 50, true}, {-1.0, 40, true}};
    for (const ValueGroup& g : Uniform(10, 1)) withNullAndCode.push_back(g);
    const Case cases[] = {
        // V = 95: q = 10.5 rounds to 10, two values an interval (half up would give 11: 6 cuts).
        {"19 x 5", Uniform(19, 5), 10,
         {"2.5", "4.5", "6.5", "8.5", "10.5", "12.5", "14.5", "16.5", "18.5"}},
        // V = 100: q = 11, three values an interval and the 5 rows over the quota are dropped.
        {"20 x 5", Uniform(20, 5), 10, {"3.5", "6.5", "9.5", "12.5", "15.5", "18.5"}},
        {"fewer values than intervals", Uniform(3, 1), 10, {"1.5", "2.5"}},
        {"all excluded", allExcluded, 5, {}},
        // The last usable value reaches the quota: the cut lies midway to the excluded code.
        {"code after the last value", codeLast, 2, {"3.5"}},
        // V = 10 (not 100): q = 6.
        {"Null and code rows are not usable", withNullAndCode, 2, {"6.5"}},
    };
    for (const Case& c : cases) EXPECT_EQ(Texts(EqualFreqCuts(c.groups, c.n)), c.cuts) << c.name;
}

TEST(EqualFreqCuts, CountsBeyondSixteenBits) {
    // 40,000 distinct values, and groups of 40,000 rows.
    EXPECT_EQ(Texts(EqualFreqCuts(Uniform(40000, 1), 2)), std::vector<std::string>{"20001.5"});
    EXPECT_EQ(Texts(EqualFreqCuts(Uniform(3, 40000), 3)), std::vector<std::string>{"2.5"});
}

// No method stores a cut that is not a finite Single, whatever values reach it: the midpoint
// of -Inf and +Inf is NaN, which the labels could not place.
TEST(CutPoints, NeverNaNOrInfinite) {
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(vbtest::ErrorOf([&] { EqualFreqCuts({{-inf, 1, false}, {inf, 1, false}}, 5); }), 6);
    EXPECT_EQ(vbtest::ErrorOf([&] { EqualFreqCuts({{1, 1, false}, {inf, 1, false}}, 5); }), 6);
    EXPECT_EQ(vbtest::ErrorOf([&] { EqualWidthCuts(-inf, inf, 4); }), 6);
    EXPECT_EQ(vbtest::ErrorOf([&] { EqualWidthCuts(0, std::nan(""), 4); }), 6);
    EXPECT_EQ(vbtest::ErrorOf([&] { EntropyCuts({db::Value("A")}, {JointRow{inf, db::Value("A"), 3}}); }), 6);
    CutPoints cuts;
    EXPECT_EQ(vbtest::ErrorOf([&] { StoreCut(cuts, std::numeric_limits<vb::Single>::quiet_NaN()); }), 6);
    EXPECT_TRUE(cuts.empty());
    // The check that names the field: only finite numbers within the Single range pass.
    EXPECT_EQ(vbtest::ErrorOf([] { CheckCuttable("X", 3.4e38); }), 0);
    EXPECT_EQ(vbtest::ErrorOf([] { CheckCuttable("X", -3.5e38); }), 6);
}

TEST(NumericGroups, ReadsATextColumnByNumber) {
    const ExclusionCodes codes{-1.0f, std::nullopt};
    // A text column comes in text order: "10" before "9".
    const std::vector<GroupRow> rows = {
        {db::Value(), 2}, {db::Value("-1"), 4}, {db::Value("1.0"), 1}, {db::Value("10"), 5}, {db::Value("1"), 2},
        {db::Value("9"), 5}, {db::Value("NA"), 3}, {db::Value(" 2.5 "), 5},
    };
    const std::vector<ValueGroup> groups = NumericGroups(rows, codes);
    ASSERT_EQ(groups.size(), 6u);
    EXPECT_FALSE(groups[0].value);
    EXPECT_EQ(groups[0].count, 2);
    const double values[] = {-1, 1, 2.5, 9, 10};
    const int32_t counts[] = {4, 3, 5, 5, 5};
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(*groups[i + 1].value, values[i]);
        EXPECT_EQ(groups[i + 1].count, counts[i]);
        EXPECT_EQ(groups[i + 1].excluded, i == 0);
    }
    EXPECT_EQ(UsableRange(groups), (std::pair<double, double>{1, 10}));
    // "NA" is in no interval; the midpoints are numbers.
    EXPECT_EQ(Texts(EqualFreqCuts(groups, 2)), std::vector<std::string>{"9.5"});
    EXPECT_FALSE(UsableRange(NumericGroups({{db::Value("NA"), 3}, {db::Value(), 1}}, {})));
}

// Entropy rows: one row per value, its class by range.
struct ClassRange {
    const char* cls;
    int from, to;
};
std::vector<JointRow> Rows(const std::vector<ClassRange>& ranges, int32_t rowsEach = 1) {
    std::vector<JointRow> rows;
    for (const ClassRange& r : ranges)
        for (int v = r.from; v <= r.to; ++v) rows.push_back({db::Value(double(v)), db::Value(r.cls), rowsEach});
    return rows;
}
const std::vector<db::Value> kClasses = {db::Value("A"), db::Value("B"), db::Value("C")};

TEST(EntropyCuts, SplitsWhileTheDescriptionLengthTestPasses) {
    struct Case {
        const char* name;
        std::vector<ClassRange> ranges;
        std::vector<std::string> cuts;
    };
    const Case cases[] = {
        {"two classes", {{"A", 1, 5}, {"B", 6, 10}}, {"5.5"}},
        // The best split of the whole range, 2.5, leaves 2 rows: at least 3 each side.
        {"minority at the edge", {{"A", 1, 2}, {"B", 3, 8}}, {}},
        // Found 8.5 first, then 4.5 on its left: stored ascending.
        {"recursion order", {{"A", 1, 4}, {"B", 5, 8}, {"C", 9, 24}}, {"4.5", "8.5"}},
        {"three equal classes", {{"A", 1, 7}, {"B", 8, 14}, {"C", 15, 21}}, {"7.5", "14.5"}},
        {"under 6 rows", {{"A", 1, 2}, {"B", 3, 5}}, {}},
        {"one class", {{"A", 1, 20}}, {}},
    };
    for (const Case& c : cases) EXPECT_EQ(Texts(EntropyCuts(kClasses, Rows(c.ranges))), c.cuts) << c.name;
}

TEST(EntropyCuts, ReadsTextValuesByNumberAndCountsBeyondSixteenBits) {
    // A (value, class) count above 32,767.
    EXPECT_EQ(Texts(EntropyCuts(kClasses, Rows({{"A", 1, 5}, {"B", 6, 10}}, 40000))),
              std::vector<std::string>{"5.5"});
    // Text values in text order, Null and non-number rows left out; number classes match
    // their own text.
    std::vector<JointRow> rows = {{db::Value(), db::Value(int32_t(1)), 7}, {db::Value("NA"), db::Value(int32_t(2)), 9}};
    for (int v = 10; v >= 1; --v) rows.push_back({db::Value(std::to_string(v)), db::Value(int32_t(v <= 5 ? 1 : 2)), 1});
    std::sort(rows.begin(), rows.end(), [](const JointRow& a, const JointRow& b) {
        return a.value.IsNull() || (!b.value.IsNull() && a.value.AsText() < b.value.AsText());
    });
    const std::vector<db::Value> numberClasses = {db::Value(int32_t(1)), db::Value(int32_t(2))};
    EXPECT_EQ(Texts(EntropyCuts(numberClasses, rows)), std::vector<std::string>{"5.5"});
    // The codes of a text column are left out here: without values 4 and 5 the classes meet
    // between 3 and 6.
    EXPECT_EQ(Texts(EntropyCuts(numberClasses, rows, ExclusionCodes{4.0f, 5.0f})), std::vector<std::string>{"4.5"});
    EXPECT_EQ(vbtest::ErrorOf([] { EntropyCuts({db::Value("A"), db::Value()}, Rows({{"A", 1, 10}})); }), 94);
}

TEST(EntropyCuts, LimitsTheStoreToFiftyCuts) {
    // Classes each alone on a block of values: a cut between every two blocks is worth it.
    std::vector<db::Value> classes;
    std::vector<JointRow> rows;
    for (int c = 1; c <= 700; ++c) {
        classes.emplace_back(int32_t(c));
        for (int v = 0; v < 2; ++v) rows.push_back(JointRow{double(c * 10 + v), classes.back(), 3});
    }
    EXPECT_EQ(EntropyCuts(std::vector<db::Value>(classes.begin(), classes.begin() + 40),
                          std::vector<JointRow>(rows.begin(), rows.begin() + 80)).size(), 39u);
    // 700 classes: 3^700 is beyond a double, yet the test lets the splits through until the
    // store is full.
    EXPECT_EQ(vbtest::ErrorOf([&] { EntropyCuts(classes, rows); }), 9);
}

TEST(ExclusionFilter, PutsOnlyWholeNumbersIntoTheStatement) {
    struct Case {
        const char* missing;
        const char* alone;
        const char* filter;
    };
    const Case cases[] = {
        {"", "", ""},
        {"-1", "", " Where [Age] <> -1"},
        {"", " 99 ", " Where [Age] <> 99"},
        {"-9.9", "1e3", " Where [Age] <> -9.9 AND [Age] <> 1000"},
    };
    for (const Case& c : cases) EXPECT_EQ(ExclusionFilter("Age", c.missing, c.alone), c.filter) << c.missing;

    struct Bad {
        const char* missing;
        const char* alone;
        const char* caption;
    };
    const Bad bad[] = {{"0 OR 1=1", "", kMissingCaption}, {"-1", "abc", kAloneCaption}, {"1,5", "", kMissingCaption}};
    for (const Bad& b : bad) {
        try {
            ExclusionFilter("Age", b.missing, b.alone);
            ADD_FAILURE() << b.missing << " " << b.alone;
        } catch (const vb::RuntimeError& e) {
            EXPECT_EQ(e.number(), 13);
            EXPECT_NE(e.description().find(b.caption), std::string::npos) << e.description();
        }
    }
}

// The statement the equal-width method sends, with the filter, is one the layer runs.
TEST(ExclusionFilter, TheDatabaseLayerRunsTheFilteredStatement) {
    testsupport::TempDir dir;
    testsupport::CreateSqliteFile(dir.Path("t.db"),
                                  {{"T", {{"Age", db::dbDouble}}, {{db::Value(-1.0)}, {db::Value(3.0)}, {db::Value(99.0)}, {db::Value(40.5)}, {db::Value()}}}});
    auto db = db::DBEngine::OpenDatabase(dir.Path("t.db"));
    auto rs = db->OpenRecordset("Select Max([Age]), Min([Age]) From [T]" + ExclusionFilter("Age", "-1", "99"));
    EXPECT_EQ(rs->Fields(0).value(), db::Value(40.5));
    EXPECT_EQ(rs->Fields(1).value(), db::Value(3.0));
    rs->Close();
    db->Close();
}

}  // namespace
}  // namespace trune
