// The labels written into the "_d" columns, and the hold-out draw.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>
#include <vector>

#include "platform/db/database.h"
#include "tests/support/comma_locale.h"
#include "trune/discretize/hold_out.h"
#include "trune/discretize/interval_label.h"

namespace trune {
namespace {

const CutPoints kCuts = {1.5f, 3.25f};

TEST(IntervalLabel, AppliesTheRulesInOrder) {
    std::setlocale(LC_NUMERIC, "C");
    const ExclusionCodes none;
    const ExclusionCodes codes{-1.0f, 99.0f};
    struct Case {
        db::Value v;
        const ExclusionCodes& codes;
        const char* label;
    };
    const Case cases[] = {
        // Closed below, open above.
        {db::Value(int32_t(1)), none, "<1.5"},
        {db::Value(1.5), none, ">1.5<3.25"},
        {db::Value(int16_t(2)), none, ">1.5<3.25"},
        {db::Value(3.25f), none, ">3.25"},
        {db::Value(9.0), none, ">3.25"},
        {db::Value(), none, "?"},
        {db::Value(), codes, "?"},
        {db::Value(-1.0), codes, "?"},
        // Not in force, a code is an ordinary value.
        {db::Value(-1.0), none, "<1.5"},
        {db::Value(int32_t(99)), codes, "99"},
        {db::Value(-1.0), ExclusionCodes{std::nullopt, -1.0f}, "-1"},
        // Texts: a number by its value, anything else copied unchanged.
        {db::Value("abc"), codes, "abc"},
        {db::Value("2"), none, ">1.5<3.25"},
        {db::Value(" 99 "), codes, "99"},
        {db::Value("12 kg"), none, "12 kg"},
    };
    for (const Case& c : cases) EXPECT_EQ(IntervalLabel(c.v, kCuts, c.codes), c.label) << ::testing::PrintToString(c.v);

    // One interval: "?" for every value, not looked at.
    for (const db::Value& v : {db::Value("abc"), db::Value(2.0), db::Value()}) EXPECT_EQ(IntervalLabel(v, {}, none), "?");

    // Infinities fall in the outer intervals; a NaN is no number and keeps its own text, with
    // any number of cuts (the search for its interval used to run past the last cut).
    const double inf = std::numeric_limits<double>::infinity(), nan = std::nan("");
    EXPECT_EQ(IntervalLabel(db::Value(inf), kCuts, none), ">3.25");
    EXPECT_EQ(IntervalLabel(db::Value(-inf), kCuts, none), "<1.5");
    for (const CutPoints& cuts : {CutPoints{2.0f}, kCuts, CutPoints{1.0f, 2.0f, 3.0f, 4.0f}}) {
        EXPECT_EQ(IntervalLabel(db::Value(nan), cuts, none), "NaN");
        EXPECT_EQ(IntervalLabel(db::Value(float(nan)), cuts, codes), "NaN");
    }

    // A fractional code matches only a value held in Single: both sides widened to double.
    const ExclusionCodes fractional{-9.9f, std::nullopt};
    EXPECT_EQ(IntervalLabel(db::Value(-9.9f), kCuts, fractional), "?");
    EXPECT_EQ(IntervalLabel(db::Value(-9.9), kCuts, fractional), "<1.5");
}

class IntervalLabelComma : public testsupport::CommaLocaleTest {};

TEST_F(IntervalLabelComma, WritesTheLocalesDecimalSymbol) {
    EXPECT_EQ(IntervalLabel(db::Value(1.0), kCuts, {}), "<1,5");
    EXPECT_EQ(IntervalLabel(db::Value(2.0), kCuts, {}), ">1,5<3,25");
    // A text written in the locale's form is the number it shows.
    EXPECT_EQ(IntervalLabel(db::Value("3,5"), kCuts, {}), ">3,25");
    EXPECT_EQ(IntervalLabel(db::Value(-0.5), kCuts, ExclusionCodes{std::nullopt, -0.5f}), "-0,5");
}

TEST(HoldOutDraw, SeedsOnceAndMarksDrawsAboveTheSingleConstant) {
    EXPECT_FALSE(IsHoldOut(0.667f));
    EXPECT_TRUE(IsHoldOut(std::nextafter(0.667f, 1.0f)));
    EXPECT_FALSE(IsHoldOut(0.0f));

    int seeds = 0;
    std::vector<float> draws = {0.9f, 0.667f, 0.1f, 0.99f};
    size_t next = 0;
    HoldOutDraw draw({[&] { ++seeds; }, [&] { return draws[next++]; }});
    std::vector<bool> flags;
    for (size_t i = 0; i < draws.size(); ++i) flags.push_back(draw.Next());
    EXPECT_EQ(seeds, 1);
    EXPECT_EQ(flags, (std::vector<bool>{true, false, false, true}));

    // The runtime's generator: about one row in three.
    HoldOutDraw runtime;
    int marked = 0;
    for (int i = 0; i < 30000; ++i) marked += runtime.Next();
    EXPECT_GT(marked, 0.32 * 30000);
    EXPECT_LT(marked, 0.35 * 30000);
}

}  // namespace
}  // namespace trune
