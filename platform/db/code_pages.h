// Texts of files written on Windows or DOS in one of their 8-bit code pages (dBase tables, Excel
// workbooks before Excel 97, delimited text that is not UTF-8), turned into UTF-8. Header and
// source depend on nothing but the standard library, so that the file reader process compiles
// them too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace db {

// Windows and DOS code pages by their numbers (1252, 1250, 1251, 437, 850, 852, 865, 866) and
// Mac Roman (10000); 28591 is Latin-1, and every other number is read as Latin-1 too.
constexpr int kLatin1 = 28591;
constexpr int kWindows1252 = 1252;

// True when the code page is one of those above other than Latin-1.
bool KnownCodePage(int codePage);

// The bytes in UTF-8. A byte a code page leaves undefined keeps its own number (as Windows
// reads it: 0x81 of Windows-1252 is U+0081).
std::string CodePageToUtf8(std::string_view bytes, int codePage);

// The code page a dBase table names in its language-driver byte (offset 29 of its header);
// Latin-1 for 0, which names none, and for drivers not known here.
int DbaseCodePage(uint8_t languageDriver);

// True when the bytes are valid UTF-8 (no overlong form, no surrogate, nothing past U+10FFFF).
bool IsValidUtf8(std::string_view bytes);

// Appends the code point in UTF-8.
void AppendUtf8(std::string& out, char32_t c);

}  // namespace db
