// The continuous-field rule over a field's distinct count and first distinct values, and the
// interval count "Auto Set" gives.
#include <gtest/gtest.h>

#include <vector>

#include "platform/vb/runtime_error.h"
#include "tests/support/comma_locale.h"
#include "trune/discretize/continuous_fields.h"

namespace trune {
namespace {

using db::Value;

std::vector<Value> Numbers(int n) {
    std::vector<Value> out;
    for (int i = 0; i < n; ++i) out.push_back(Value(double(i) + 0.5));
    return out;
}

TEST(ContinuousFields, RuleOverCountAndSample) {
    std::vector<Value> twoNumbers{Value::Null(), Value("a"), Value("12"), Value(int32_t(7)), Value("b")};
    std::vector<Value> oneNumber{Value::Null(), Value("a"), Value(" 3.5 "), Value("12 kg"), Value("b"), Value("c")};
    struct Case {
        const char* name;
        int32_t distinct;
        std::vector<Value> sample;
        int limit;
        bool continuous;
    };
    const Case cases[] = {
        {"more than T, numbers", 6, Numbers(6), 5, true},
        {"T exactly is not more", 5, Numbers(5), 5, false},
        {"two numbers reach T - 3", 30, twoNumbers, 5, true},
        {"one number short of T - 3", 30, oneNumber, 5, false},
        {"texts only at T = 2", 30, {Value("a"), Value("b"), Value("c")}, 2, true},
        {"texts only at T = 3", 30, {Value("a"), Value("b"), Value("c"), Value("d")}, 3, true},
        {"texts only at T = 4", 30, {Value("a"), Value("b"), Value("c"), Value("d"), Value("e")}, 4, false},
        {"numbers past the 21st do not count", 40, [] {
             std::vector<Value> v(21, Value("x"));
             for (int i = 0; i < 10; ++i) v.push_back(Value(double(i)));
             return v;
         }(), 5, false},
        {"40,000 distinct values", 40000, Numbers(21), 5, true},
    };
    for (const Case& c : cases) EXPECT_EQ(IsContinuous(c.distinct, c.sample, c.limit), c.continuous) << c.name;
}

TEST(ContinuousFields, LabelColumnsByExactSuffix) {
    EXPECT_TRUE(IsLabelColumn("age_d"));
    EXPECT_TRUE(IsLabelColumn("_d"));
    EXPECT_FALSE(IsLabelColumn("age_D"));
    EXPECT_FALSE(IsLabelColumn("aged"));
    EXPECT_FALSE(IsLabelColumn("d"));
}

class ContinuousFieldsComma : public testsupport::CommaLocaleTest {};

// A text cell is a number in the regional form or with ".", as the classifier reads labels.
TEST_F(ContinuousFieldsComma, TextsReadInBothDecimalForms) {
    EXPECT_EQ(NumericCount({Value("1,5"), Value("2.5"), Value("1,5,5"), Value::Null(), Value(true)}), 3);
}

TEST(ContinuousFields, AutoSetCounts) {
    const std::pair<int32_t, int> cases[] = {{1, 2},     {2, 2},     {3, 3},      {4, 4},       {5, 4},
                                             {6, 5},     {8, 6},     {10, 6},     {16, 8},      {20, 8},
                                             {50, 11},   {100, 13},  {1000, 19},  {10000, 26},  {32767, 29},
                                             {40000, 30}, {2000000, 30}};
    for (const auto& [distinct, count] : cases) EXPECT_EQ(AutoSetIntervals(distinct), count) << distinct;
    try {
        AutoSetIntervals(0);
        ADD_FAILURE() << "no error for a field without values";
    } catch (const vb::RuntimeError& e) {
        EXPECT_EQ(e.number(), 5);
    }
}

}  // namespace
}  // namespace trune
