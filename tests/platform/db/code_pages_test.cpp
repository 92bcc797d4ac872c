// Which bytes are UTF-8: a text file is read in Windows-1252 when they are not.
#include <gtest/gtest.h>

#include "platform/db/code_pages.h"

namespace {

TEST(CodePages, Utf8IsToldFromOtherBytes) {
    struct Case {
        const char* name;
        std::string bytes;
        bool valid;
    };
    const Case cases[] = {
        {"ASCII", "plain, text", true},
        {"two to four bytes", "\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80", true},
        {"a Windows-1252 byte", "caf\xE9", false},
        {"cut short", "\xE2\x82", false},
        {"overlong", "\xC0\x80", false},
        {"overlong three bytes", "\xE0\x80\xAF", false},
        {"a surrogate", "\xED\xA0\x80", false},
        {"past U+10FFFF", "\xF4\x90\x80\x80", false},
        {"a lone continuation byte", "\x80", false},
    };
    for (const Case& c : cases) EXPECT_EQ(db::IsValidUtf8(c.bytes), c.valid) << c.name;
}

}  // namespace
