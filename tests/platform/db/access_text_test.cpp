// The Access text decoder of the file reader: stored bytes of Text and Memo cells (UTF-16LE, or
// compressed runs after 0xFF 0xFE) to UTF-8, surrogate pairs kept together, an unpaired half
// as U+FFFD, and an empty text apart from Null.
#include "platform/db/reader/access_text.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

struct TextCase {
    const char* name;
    bool null;
    std::vector<unsigned char> bytes;
    std::optional<std::string> expected;
};

TEST(AccessText, StoredBytesDecodeToUtf8) {
    const TextCase cases[] = {
        {"Null", true, {}, std::nullopt},
        {"empty", false, {}, ""},
        {"empty compressed", false, {0xFF, 0xFE}, ""},
        {"compressed Latin-1", false, {0xFF, 0xFE, 'c', 'a', 'f', 0xE9}, "caf\xC3\xA9"},
        // "a—b": the dash cannot be one byte, so the run switches to UTF-16 and back.
        {"compressed runs", false, {0xFF, 0xFE, 'a', 0x00, 0x14, 0x20, 0x00, 'b'}, "a\xE2\x80\x94" "b"},
        {"UTF-16", false, {0x9A, 0x03, 0x1F, 0x04}, "\xCE\x9A\xD0\x9F"},
        // U+1F600 as the pair D83D DE00, inside ASCII: "a😀a".
        {"surrogate pair", false, {'a', 0, 0x3D, 0xD8, 0x00, 0xDE, 'a', 0}, "a\xF0\x9F\x98\x80" "a"},
        {"pair in a compressed UTF-16 run", false, {0xFF, 0xFE, 'x', 0x00, 0x3D, 0xD8, 0x80, 0xDE, 0x00, 'y'},
         "x\xF0\x9F\x9A\x80y"},
        {"unpaired high surrogate", false, {'a', 0, 0x3D, 0xD8, 'b', 0}, "a\xEF\xBF\xBD" "b"},
        {"unpaired low surrogate", false, {0x00, 0xDE}, "\xEF\xBF\xBD"},
        {"high surrogate last", false, {0x3D, 0xD8}, "\xEF\xBF\xBD"},
        {"odd last byte", false, {'a', 0, 'b'}, "a\xEF\xBF\xBD"},
    };
    for (const TextCase& c : cases)
        EXPECT_EQ(db::access::TextCell(c.null, c.bytes.data(), c.bytes.size()), c.expected) << c.name;
}

}  // namespace
