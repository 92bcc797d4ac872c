#include "platform/vb/strings.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/vb/runtime_error.h"
#include "platform/vb/rounding.h"
#include "tests/platform/vb/vb_test_util.h"

namespace {

using vbtest::ErrorOf;

TEST(NumberText, DoubleShortestUpToFifteenDigits) {
    struct Case { double v; const char* text; };
    const Case cases[] = {
        {0, "0"}, {-0.0, "0"}, {1, "1"}, {-3, "-3"}, {0.5, "0.5"}, {-0.25, "-0.25"},
        {12.5, "12.5"}, {0.1 + 0.2, "0.3"}, {1.0 / 3, "0.333333333333333"},
        {2.0 / 3, "0.666666666666667"}, {123456789012345.0, "123456789012345"},
        {1e15, "1E+15"}, {1e20, "1E+20"}, {-1.25e100, "-1.25E+100"},
        {999999999999999.9, "1E+15"},  // rounding to 15 digits carries into the exponent
        {0.0001, "0.0001"}, {0.00012345, "0.00012345"}, {0.00001, "1E-05"},
        {1.5e-7, "1.5E-07"}, {2.5e-300, "2.5E-300"},
        {std::numeric_limits<double>::infinity(), "Infinity"}, {std::nan(""), "NaN"},
    };
    for (const auto& c : cases) EXPECT_EQ(vb::NumberText(c.v), c.text) << c.text;
}

TEST(NumberText, SingleShortestUpToSevenDigits) {
    struct Case { float v; const char* text; };
    const Case cases[] = {
        {0.0f, "0"}, {2.0f, "2"}, {-2.5f, "-2.5"}, {0.1f, "0.1"}, {0.3666667f, "0.3666667"},
        {1.0f / 3, "0.3333333"}, {0.2083333f, "0.2083333"}, {1234567.0f, "1234567"},
        {12345678.0f, "1.234568E+07"}, {16777216.0f, "1.677722E+07"}, {1e-7f, "1E-07"},
        {3.4028235e38f, "3.402823E+38"}, {1.4e-45f, "1E-45"}  /* the smallest Single reads back from one digit */,
    };
    for (const auto& c : cases) EXPECT_EQ(vb::NumberText(c.v), c.text) << c.text;
    // A float that a double would print with many digits keeps its Single text.
    EXPECT_EQ(vb::NumberText(double(0.1f)), "0.100000001490116");
}

TEST(NumberText, ReadsBackToTheSameValue) {
    // Singles read back exactly whenever seven digits can hold them: probability-like values
    // and whatever was read from a text of up to seven digits.
    for (int i = 0; i <= 20000; ++i) {
        float f = float(i) / 20000.0f;
        ASSERT_EQ(vb::ParseSingle(vb::NumberText(f)), f) << i;
        float tiny = vb::ParseSingle(std::to_string(i * 37) + "E-11");
        ASSERT_EQ(vb::ParseSingle(vb::NumberText(tiny)), tiny) << i;
        float rounded = float(vb::Round(double(i) / 7.0 / 20000.0, 7));
        ASSERT_EQ(vb::ParseSingle(vb::NumberText(rounded)), rounded) << i;
    }
    for (int i = 1; i <= 20000; ++i) {
        double d = 1.0 / i;  // 17-digit values: read back within 15 digits
        double back = vb::ParseDouble(vb::NumberText(d));
        ASSERT_NEAR(back, d, d * 1e-14) << i;
        double whole = double(i) * 1000003.0;
        ASSERT_EQ(vb::ParseDouble(vb::NumberText(whole)), whole) << i;
    }
}

TEST(NumberText, StrFormAndIntegers) {
    EXPECT_EQ(vb::NumberText(int64_t(-42)), "-42");
    EXPECT_EQ(vb::NumberText(int16_t(7)), "7");
    struct Case { std::string got; const char* text; };
    const Case cases[] = {
        {vb::Str(0.25f), " .25"}, {vb::Str(0.3666667f), " .3666667"}, {vb::Str(1.0f), " 1"},
        {vb::Str(0.0f), " 0"}, {vb::Str(-0.5), "-.5"}, {vb::Str(1e-7f), " 1E-07"},
        {vb::Str(3), " 3"}, {vb::Str(int16_t(-2)), "-2"}, {vb::Str(12.75), " 12.75"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.got, c.text);
    EXPECT_EQ(vb::BoolText(true), "True");
    EXPECT_EQ(vb::BoolText(false), "False");
}

TEST(FormatFixed, DecimalsWithHalvesAwayFromZero) {
    struct Case { double v; int decimals; const char* sym; const char* text; };
    const Case cases[] = {
        {0.123456, 5, ".", "0.12346"}, {0, 5, ".", "0.00000"}, {100, 5, ".", "100.00000"},
        {0.015625, 5, ".", "0.01563"}, {0.125, 2, ".", "0.13"}, {-0.125, 2, ".", "-0.13"},
        {1234.5, 0, ".", "1235"}, {-1.5, 0, ".", "-2"}, {9.999996, 5, ".", "10.00000"},
        {-0.000001, 5, ".", "0.00000"}, {double(0.0421f), 4, ".", "0.0421"},
        {0.123456, 5, ",", "0,12346"}, {1e20, 1, ".", "100000000000000000000.0"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(vb::FormatFixed(c.v, c.decimals, c.sym), c.text) << c.text;
    EXPECT_EQ(ErrorOf([] { vb::FormatFixed(1, 16); }), 5);
}

TEST(DateText, WholeDaysAndTimes) {
    struct Case { double serial; const char* date; const char* dateTime; };
    const Case cases[] = {
        {0, "1899-12-30", "1899-12-30 00:00:00"},
        {2, "1900-01-01", "1900-01-01 00:00:00"},
        {61, "1900-03-01", "1900-03-01 00:00:00"},
        {45000, "2023-03-15", "2023-03-15 00:00:00"},
        {45000.5, "2023-03-15 12:00:00", "2023-03-15 12:00:00"},
        {45000 + 3723.0 / 86400, "2023-03-15 01:02:03", "2023-03-15 01:02:03"},
        {-1.25, "1899-12-29 06:00:00", "1899-12-29 06:00:00"},
        {0.9999999999, "1899-12-31", "1899-12-31 00:00:00"},  // rounds up to midnight
        {2958465.99998843, "9999-12-31 23:59:59", "9999-12-31 23:59:59"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(vb::DateText(c.serial), c.date) << c.serial;
        EXPECT_EQ(vb::DateTimeText(c.serial), c.dateTime) << c.serial;
    }
    EXPECT_EQ(ErrorOf([] { vb::DateText(std::nan("")); }), 6);
}

TEST(Strings, AsciiUpperCaseAndTrim) {
    EXPECT_EQ(vb::UCase("abc xyz-09"), "ABC XYZ-09");
    EXPECT_EQ(vb::UCase("stra\xc3\x9f" "e \xc3\xa9"), "STRA\xc3\x9f" "E \xc3\xa9");  // UTF-8 kept
    EXPECT_EQ(vb::Trim("  a b  "), "a b");
    EXPECT_EQ(vb::Trim("\ta "), "\ta");  // only blanks are trimmed
    EXPECT_EQ(vb::Trim("   "), "");
}

TEST(ParseNumber, StrictGrammar) {
    struct Ok { const char* text; double v; };
    const Ok ok[] = {
        {"1", 1}, {" -2.5 ", -2.5}, {"+3", 3}, {".5", 0.5}, {"5.", 5}, {"1E+20", 1e20},
        {"1.5e-07", 1.5e-7}, {"1E5", 1e5}, {"-0", 0}, {"1E-400", 0},
    };
    for (const auto& c : ok) EXPECT_EQ(vb::ParseDouble(c.text), c.v) << c.text;
    const char* mismatch[] = {"", " ", "abc", "1,5", "1.2.3", "1e", "0x10", "inf", "nan",
                              "--1", "1 2", ".", "-", "#TRUE#", "1E+"};
    for (const char* t : mismatch) EXPECT_EQ(ErrorOf([&] { vb::ParseDouble(t); }), 13) << t;
    EXPECT_EQ(ErrorOf([] { vb::ParseDouble("1E400"); }), 6);
    EXPECT_EQ(ErrorOf([] { vb::ParseSingle("1E39"); }), 6);
    // Exponents of any length: beyond the range is an overflow, below it zero of the sign, and
    // the digits before the exponent still count.
    struct Exponent { const char* text; int error; double v; };
    const Exponent exponents[] = {
        {"10e99999999999999999999", 6, 0},  {"10e9223372036854775807", 6, 0},
        {"-1e9223372036854775808", 6, 0},   {"0.001e312", 6, 0},
        {"1e-99999999999999999999", 0, 0},  {"-1e-9223372036854775808", 0, -0.0},
        {"1000e-9223372036854775807", 0, 0}, {"0e99999999999999999999", 0, 0},
        {"0.0001e312", 0, 1e308},           {"123456e-99999999999999999999", 0, 0},
    };
    for (const auto& c : exponents) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(ErrorOf([&] { vb::ParseDouble(c.text); }), c.error);
        if (c.error == 0) {
            EXPECT_EQ(vb::ParseDouble(c.text), c.v);
            EXPECT_EQ(std::signbit(vb::ParseDouble(c.text)), std::signbit(c.v));
        }
    }
    EXPECT_EQ(ErrorOf([] { vb::ParseSingle("10e99999999999999999999"); }), 6);
    EXPECT_EQ(vb::ParseSingle("1e-99999999999999999999"), 0.0f);
    EXPECT_EQ(ErrorOf([] { vb::Val("10e99999999999999999999 kg"); }), 6);
    EXPECT_EQ(vb::ParseSingle("1E-50"), 0.0f);
    EXPECT_EQ(vb::ParseSingle("0.3666667"), 0.3666667f);
    // Another decimal symbol: the text must use it, and "." is then no number.
    EXPECT_EQ(vb::ParseDouble("0,5", ","), 0.5);
    EXPECT_EQ(ErrorOf([] { vb::ParseDouble("0.5", ","); }), 13);
}

TEST(ParseNumber, ValReadsTheLeadingNumber) {
    struct Case { const char* text; double v; };
    const Case cases[] = {
        {"12 entries)", 12}, {" 3 ", 3}, {"x", 0}, {"", 0}, {"1 2", 12},
        {"-1.5E2x", -150}, {"1Ex", 1}, {".5", 0.5}, {"2.5.3", 2.5},
    };
    for (const auto& c : cases) EXPECT_EQ(vb::Val(c.text), c.v) << c.text;
}

}  // namespace
