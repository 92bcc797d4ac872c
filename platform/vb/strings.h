// Text of numbers, Booleans and dates in the runtime's invariant forms ("." as decimal point),
// and the few string helpers the engines need. The regional forms are in regional.h.
//
// Number text: the shortest text that reads back to the same value, with at most 15
// significant digits for a Double and 7 for a Single (a value that needs more is rounded to
// that many). Whole numbers have no decimal point, values below 1 keep their leading zero
// ("0.25"), and the exponent form is used when the decimal exponent is below -4 or at least the
// digit limit, written as the runtime writes it: "1E+20", "1.5E-07", "-2.5E+15". Negative zero
// is "0". Infinities and NaN (which no engine value should be) are "Infinity", "-Infinity" and
// "NaN".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vb {

std::string NumberText(double v);
std::string NumberText(float v);
std::string NumberText(int64_t v);
inline std::string NumberText(int32_t v) { return NumberText(int64_t(v)); }
inline std::string NumberText(int16_t v) { return NumberText(int64_t(v)); }

// The runtime's Str form: a leading blank in the place of the sign of a non-negative number
// and no zero before the decimal point: Str(0.25f) is " .25", Str(-0.5) is "-.5", Str(1.0f) is
// " 1", Str(3) is " 3". This is the probability text of the export files.
std::string Str(double v);
std::string Str(float v);
std::string Str(int64_t v);
inline std::string Str(int32_t v) { return Str(int64_t(v)); }
inline std::string Str(int16_t v) { return Str(int64_t(v)); }

// "True" or "False".
std::string BoolText(bool b);

// A date serial (days since 1899-12-30, the fraction the time of day) as "yyyy-mm-dd" when it
// is a whole day and "yyyy-mm-dd hh:nn:ss" otherwise, the time rounded to the second. Before
// 1899-12-30 the fraction still counts forward from midnight, as the runtime holds such dates
// (-1.25 is 1899-12-29 06:00:00).
std::string DateText(double serial);
// Always with the time: "yyyy-mm-dd hh:nn:ss" (the list-style form of a date).
std::string DateTimeText(double serial);

// v with exactly `decimals` decimals (0..15) and at least one digit before the decimal symbol,
// as the format pattern "##0.00000" gives it for decimals = 5; a half goes away from zero, as
// the runtime's Format rounds. A result of zero carries no minus sign. Exponent-sized values
// are written out in full.
std::string FormatFixed(double v, int decimals, std::string_view decimalSymbol = ".");

// Upper case of ASCII letters only; every other byte (UTF-8 sequences included) is unchanged,
// so labels compare the same whatever the process locale.
std::string UCase(std::string_view s);
// s without leading and trailing blanks (spaces only, as the runtime's Trim).
std::string Trim(std::string_view s);

// Strict number parsing with "." (or the symbol given) as decimal point: optional blanks, an optional sign, digits
// with an optional fraction (".5" and "5." are accepted), an optional exponent (E or e, optional
// sign, digits). Anything else, an empty text included, is error 13 "Type mismatch"; a value
// beyond the type's range is error 6 "Overflow" (a value too small for it becomes 0).
double ParseDouble(std::string_view text, std::string_view decimalSymbol = ".");
float ParseSingle(std::string_view text, std::string_view decimalSymbol = ".");

// The runtime's Val: the number at the start of the text (blanks skipped, "." as decimal
// point, reading stops at the first character that cannot continue it); 0 when there is none.
// Val("12 entries)") is 12, Val(" 3 ") is 3, Val("x") is 0.
double Val(std::string_view text);

}  // namespace vb
