// The regional settings the files and texts ask for: the process locale's decimal symbol
// (LC_NUMERIC) and the system's date and time forms (LC_TIME). A program that wants the user's
// settings calls setlocale(LC_ALL, "") at start (Qt's application object does); a process that
// never does runs in the "C" locale, whose decimal symbol is ".".
#pragma once

#include <ctime>
#include <string>
#include <string_view>

namespace vb {

// The decimal point of the current LC_NUMERIC locale, e.g. "." or ",".
std::string RegionalDecimal();

// NumberText (strings.h) with the regional decimal symbol: the runtime's CStr.
std::string RegionalText(double v);
std::string RegionalText(float v);
// Str (strings.h) with the regional decimal symbol: how the print style writes a number.
std::string RegionalStr(double v);
std::string RegionalStr(float v);
// FormatFixed (strings.h) with the regional decimal symbol: Format(v, "##0.00000") for 5.
std::string RegionalFixed(double v, int decimals);

// Parsing by the regional settings: as ParseDouble/ParseSingle (strings.h), with the regional
// decimal symbol in place of ".". A text written under another decimal symbol ("0.5" under ",",
// "0,5" under ".") is error 13 "Type mismatch", never a silently different value.
double ParseRegionalDouble(std::string_view text);
float ParseRegionalSingle(std::string_view text);

// The current date in the system's short date form and the current time in its time form
// (LC_TIME's %x and %X), for the comment lines of the files the engines write.
std::string CurrentDateText();
std::string CurrentTimeText();
// The same forms of a given moment, in local time (a report's title names the time it was
// asked for, which the program's clock hands in).
std::string LocalDateText(std::time_t t);
std::string LocalTimeText(std::time_t t);

}  // namespace vb
