// Regional forms of numbers, dates and times, read from the process locale at each call so a
// program that changes its locale sees the change at once.
#include "platform/vb/regional.h"

#include <clocale>
#include <ctime>

#include "platform/vb/strings.h"

namespace vb {

namespace {

std::string WithSymbol(std::string text, const std::string& sym) {
    if (sym == ".") return text;
    size_t p = text.find('.');
    if (p != std::string::npos) text.replace(p, 1, sym);
    return text;
}

std::string LocalText(std::time_t t, const char* format) {
    std::tm local{};
    localtime_r(&t, &local);
    char buf[128];
    size_t n = std::strftime(buf, sizeof buf, format, &local);
    return std::string(buf, n);
}

}  // namespace

std::string RegionalDecimal() {
    const char* p = std::localeconv()->decimal_point;
    return (p && *p) ? std::string(p) : std::string(".");
}

std::string RegionalText(double v) { return WithSymbol(NumberText(v), RegionalDecimal()); }
std::string RegionalText(float v) { return WithSymbol(NumberText(v), RegionalDecimal()); }
std::string RegionalStr(double v) { return WithSymbol(Str(v), RegionalDecimal()); }
std::string RegionalStr(float v) { return WithSymbol(Str(v), RegionalDecimal()); }
std::string RegionalFixed(double v, int decimals) {
    return FormatFixed(v, decimals, RegionalDecimal());
}

double ParseRegionalDouble(std::string_view text) { return ParseDouble(text, RegionalDecimal()); }
float ParseRegionalSingle(std::string_view text) { return ParseSingle(text, RegionalDecimal()); }

std::string CurrentDateText() { return LocalDateText(std::time(nullptr)); }
std::string CurrentTimeText() { return LocalTimeText(std::time(nullptr)); }
std::string LocalDateText(std::time_t t) { return LocalText(t, "%x"); }
std::string LocalTimeText(std::time_t t) { return LocalText(t, "%X"); }

}  // namespace vb
