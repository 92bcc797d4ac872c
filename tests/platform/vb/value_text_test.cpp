#include "platform/db/value_text.h"

#include <gtest/gtest.h>

namespace {

TEST(ValueText, OneRuleForEveryKind) {
    struct Case { db::Value v; const char* text; const char* label; };
    const Case cases[] = {
        {db::Value::Null(), "", ""},
        {db::Value(true), "True", "TRUE"},
        {db::Value(false), "False", "FALSE"},
        {db::Value(int16_t(-5)), "-5", "-5"},
        {db::Value(int32_t(100000)), "100000", "100000"},
        {db::Value(2.0f), "2", "2"},
        {db::Value(0.1f), "0.1", "0.1"},  // the Single's own digits, not the double's
        {db::Value(12345678.0f), "1.234568E+07", "1.234568E+07"},
        {db::Value(2.5), "2.5", "2.5"},
        {db::Value(-0.0), "0", "0"},
        {db::Value(1e20), "1E+20", "1E+20"},
        {db::Value(1.0 / 3), "0.333333333333333", "0.333333333333333"},
        {db::Value(db::Date{45000}), "2023-03-15", "2023-03-15"},
        {db::Value(db::Date{45000.25}), "2023-03-15 06:00:00", "2023-03-15 06:00:00"},
        {db::Value("low <5"), "low <5", "LOW <5"},
        {db::Value(" Mixed Case "), " Mixed Case ", " MIXED CASE "},
        {db::Value("gr\xc3\xbcn"), "gr\xc3\xbcn", "GR\xc3\xbcN"},  // non-ASCII bytes stay
    };
    for (const auto& c : cases) {
        EXPECT_EQ(db::ValueText(c.v), c.text) << c.text;
        EXPECT_EQ(db::LabelText(c.v), c.label) << c.text;
    }
}

}  // namespace
