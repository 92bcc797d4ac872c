// Invariant text of numbers, Booleans and dates, and the strict number parser the readers use.
// Number text is built from the shortest round-trip digits that std::to_chars gives (which do
// not depend on the process locale), cut to the digit limit of the type when they are longer.
#include "platform/vb/strings.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cmath>
#include <limits>
#include <system_error>

#include "platform/vb/runtime_error.h"

namespace vb {

namespace {

// A finite non-zero number as sign, significant digits (no trailing zeros) and the decimal
// exponent of the first digit: value = 0.d1d2... * 10^(exponent + 1).
struct Digits {
    bool negative = false;
    std::string digits;
    int exponent = 0;
};

template <typename F>
Digits SignificantDigits(F v, int maxDigits) {
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific);
    std::string_view s(buf, size_t(r.ptr - buf));
    auto split = [](std::string_view t, Digits& d) {
        size_t i = 0;
        if (t[i] == '-') {
            d.negative = true;
            ++i;
        }
        d.digits.clear();
        for (; i < t.size() && t[i] != 'e'; ++i)
            if (t[i] != '.') d.digits += t[i];
        d.exponent = std::stoi(std::string(t.substr(i + 1)));
        while (d.digits.size() > 1 && d.digits.back() == '0') d.digits.pop_back();
    };
    Digits d;
    split(s, d);
    if (int(d.digits.size()) > maxDigits) {
        r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, maxDigits - 1);
        split(std::string_view(buf, size_t(r.ptr - buf)), d);
    }
    return d;
}

template <typename F>
std::string NumberTextOf(F v, int maxDigits) {
    if (std::isnan(v)) return "NaN";
    if (std::isinf(v)) return v < 0 ? "-Infinity" : "Infinity";
    if (v == 0) return "0";
    Digits d = SignificantDigits(v, maxDigits);
    std::string out = d.negative ? "-" : "";
    const int e = d.exponent;
    if (e < -4 || e >= maxDigits) {
        out += d.digits[0];
        if (d.digits.size() > 1) out += "." + d.digits.substr(1);
        std::string ex = std::to_string(std::abs(e));
        if (ex.size() < 2) ex = "0" + ex;
        out += (e < 0 ? "E-" : "E+") + ex;
    } else if (e >= 0) {
        std::string whole = d.digits.substr(0, std::min(d.digits.size(), size_t(e) + 1));
        whole.append(size_t(e) + 1 - whole.size(), '0');
        out += whole;
        if (d.digits.size() > size_t(e) + 1) out += "." + d.digits.substr(size_t(e) + 1);
    } else {
        out += "0." + std::string(size_t(-e - 1), '0') + d.digits;
    }
    return out;
}

// NumberText to Str: a blank for a non-negative sign, no zero before the decimal point.
std::string StrOf(std::string text) {
    if (text.rfind("0.", 0) == 0) text.erase(0, 1);
    else if (text.rfind("-0.", 0) == 0) text.erase(1, 1);
    return text[0] == '-' ? text : " " + text;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The longest number at the start of t: an optional sign, digits with an optional fraction
// after `sym`, and an optional exponent that counts only when it has digits. `out` receives it
// rewritten for std::from_chars ("." as decimal point, no "+" sign), or nothing when t starts
// with no number. Returns the number of characters of t it took.
size_t ScanNumber(std::string_view t, std::string_view sym, std::string& out) {
    out.clear();
    size_t i = 0;
    auto sign = [&](size_t& j, std::string& to) {
        if (j < t.size() && (t[j] == '+' || t[j] == '-')) {
            if (t[j] == '-') to += '-';
            ++j;
        }
    };
    auto digits = [&](size_t& j, std::string& to) {
        size_t from = j;
        while (j < t.size() && IsDigit(t[j])) to += t[j++];
        return j - from;
    };
    sign(i, out);
    size_t mantissa = digits(i, out);
    if (!sym.empty() && t.substr(i, sym.size()) == sym) {
        out += '.';
        i += sym.size();
        mantissa += digits(i, out);
    }
    if (mantissa == 0) {
        out.clear();
        return 0;
    }
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        size_t j = i + 1;
        std::string ex = "e";
        sign(j, ex);
        if (digits(j, ex) > 0) {
            out += ex;
            i = j;
        }
    }
    return i;
}

// The whole of t, blanks around it aside, as a number for std::from_chars; empty when t is not
// exactly one number.
std::string Normalize(std::string_view t, std::string_view sym) {
    size_t b = 0, e = t.size();
    while (b < e && t[b] == ' ') ++b;
    while (e > b && t[e - 1] == ' ') --e;
    t = t.substr(b, e - b);
    std::string out;
    if (ScanNumber(t, sym, out) != t.size()) out.clear();
    return out;
}

// The decimal exponent of the first non-zero digit of a normalized number text: negative for a
// magnitude below 1. Used only to tell an underflow from an overflow. The exponent's digits may
// be any number: it is read saturated far beyond any type's range, so that adding the digit
// position can neither overflow nor turn a huge exponent into a tiny one.
int64_t Magnitude(const std::string& n) {
    constexpr int64_t kSaturated = int64_t(1) << 40;
    size_t e = n.find('e');
    std::string_view m(n.data(), e == std::string::npos ? n.size() : e);
    int64_t exp = 0;
    if (e != std::string::npos) {
        size_t i = e + 1;
        const bool negative = i < n.size() && n[i] == '-';
        if (negative) ++i;
        for (; i < n.size() && IsDigit(n[i]); ++i) exp = std::min(exp * 10 + (n[i] - '0'), kSaturated);
        if (negative) exp = -exp;
    }
    size_t point = m.find('.');
    if (point == std::string_view::npos) point = m.size();
    size_t first = m.find_first_of("123456789");
    if (first == std::string_view::npos) return -1;
    int64_t pos = first < point ? int64_t(point - first) - 1 : -int64_t(first - point);
    return pos + exp;
}

template <typename F>
F FromNormalized(const std::string& n) {
    F v{};
    auto r = std::from_chars(n.data(), n.data() + n.size(), v);
    if (r.ec == std::errc::result_out_of_range) {
        // Too small for the type is zero of the text's sign; too large is an overflow.
        if (Magnitude(n) < 0) return n[0] == '-' ? -F(0) : F(0);
        throw RuntimeError::Overflow();
    }
    if (r.ec != std::errc() || r.ptr != n.data() + n.size()) throw RuntimeError::TypeMismatch();
    return v;
}

template <typename F>
F ParseNumberText(std::string_view text, std::string_view decimalSymbol) {
    std::string n = Normalize(text, decimalSymbol);
    if (n.empty()) throw RuntimeError::TypeMismatch();
    return FromNormalized<F>(n);
}

}  // namespace

std::string NumberText(double v) { return NumberTextOf(v, 15); }
std::string NumberText(float v) { return NumberTextOf(v, 7); }
std::string NumberText(int64_t v) { return std::to_string(v); }

std::string Str(double v) { return std::isfinite(v) ? StrOf(NumberText(v)) : NumberText(v); }
std::string Str(float v) { return std::isfinite(v) ? StrOf(NumberText(v)) : NumberText(v); }
std::string Str(int64_t v) { return StrOf(NumberText(v)); }

std::string BoolText(bool b) { return b ? "True" : "False"; }

namespace {

// Calendar date of a day count from 1970-01-01 (proleptic Gregorian).
void CivilFromDays(int64_t z, int64_t& y, unsigned& m, unsigned& d) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = unsigned(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    y = int64_t(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    if (m <= 2) ++y;
}

std::string DateTextOf(double serial, bool alwaysTime) {
    if (!std::isfinite(serial) || std::fabs(serial) > 3.0e6) throw RuntimeError::Overflow();
    // The whole part counts days (towards zero); the fraction is the time of day, forward from
    // midnight on either side of the epoch.
    double whole = std::trunc(serial);
    int64_t seconds = int64_t(std::llround(std::fabs(serial - whole) * 86400.0));
    int64_t day = int64_t(whole);
    // A time that rounds up to midnight is the next day's, except on the last day a date can
    // have (9999-12-31), whose last second it stays: year 10000 would read back as no date.
    constexpr int64_t kLastDay = 2958465;
    if (seconds >= 86400 && day == kLastDay) {
        seconds = 86399;
    } else if (seconds >= 86400) {
        seconds -= 86400;
        ++day;
    }
    int64_t y;
    unsigned m, d;
    CivilFromDays(day - 25569, y, m, d);  // 1899-12-30 is 25569 days before 1970-01-01
    char buf[48];
    if (seconds == 0 && !alwaysTime)
        std::snprintf(buf, sizeof buf, "%04lld-%02u-%02u", (long long)y, m, d);
    else
        std::snprintf(buf, sizeof buf, "%04lld-%02u-%02u %02d:%02d:%02d", (long long)y, m, d,
                      int(seconds / 3600), int(seconds / 60 % 60), int(seconds % 60));
    return buf;
}

}  // namespace

std::string DateText(double serial) { return DateTextOf(serial, false); }
std::string DateTimeText(double serial) { return DateTextOf(serial, true); }

std::string FormatFixed(double v, int decimals, std::string_view decimalSymbol) {
    if (decimals < 0 || decimals > 15) throw RuntimeError::InvalidCall();
    if (!std::isfinite(v)) return NumberText(v);
    // Twenty guard digits decide the half exactly for any value of sensible size: a double near
    // a tie differs from it by far more than 10^-(decimals + 20).
    char buf[400];
    auto r = std::to_chars(buf, buf + sizeof buf, std::fabs(v), std::chars_format::fixed,
                           decimals + 20);
    std::string s(buf, size_t(r.ptr - buf));
    size_t point = s.find('.');
    std::string digits = s.substr(0, point) + s.substr(point + 1, size_t(decimals));
    if (s[point + 1 + size_t(decimals)] >= '5') {
        size_t i = digits.size();
        while (i > 0 && digits[i - 1] == '9') digits[--i] = '0';
        if (i == 0) digits.insert(digits.begin(), '1');
        else ++digits[i - 1];
    }
    std::string whole = digits.substr(0, digits.size() - size_t(decimals));
    std::string out = (v < 0 && digits.find_first_not_of('0') != std::string::npos) ? "-" : "";
    out += whole;
    if (decimals > 0) {
        out += decimalSymbol;
        out += digits.substr(whole.size());
    }
    return out;
}

std::string UCase(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    return out;
}

std::string Trim(std::string_view s) {
    size_t b = s.find_first_not_of(' ');
    if (b == std::string_view::npos) return {};
    size_t e = s.find_last_not_of(' ');
    return std::string(s.substr(b, e - b + 1));
}

double ParseDouble(std::string_view text, std::string_view decimalSymbol) {
    return ParseNumberText<double>(text, decimalSymbol);
}
float ParseSingle(std::string_view text, std::string_view decimalSymbol) {
    return ParseNumberText<float>(text, decimalSymbol);
}

double Val(std::string_view text) {
    // Blanks, tabs and line feeds are skipped anywhere, as the runtime's Val does; the longest
    // prefix that is a number counts.
    std::string t;
    for (char c : text)
        if (c != ' ' && c != '\t' && c != '\n') t += c;
    std::string n;
    ScanNumber(t, ".", n);
    return n.empty() ? 0 : FromNormalized<double>(n);
}

}  // namespace vb
