// The texts of Access 2000 and later files, decoded from their stored bytes: UTF-16LE, or, when
// the bytes begin 0xFF 0xFE, "compressed": runs of one byte per character (the characters
// U+0001 to U+00FF) and runs of UTF-16 units, each 0x00 byte switching from the one to the
// other, starting with one byte per character. libmdb converts from UCS-2 and so turns every
// character outside the Basic Multilingual Plane into "??"; these functions keep surrogate
// pairs together. Header-only and free of libmdb, so that a unit test reaches it (the reader
// compiles code_pages.cpp in).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/db/code_pages.h"

namespace db::access {

// UTF-16 units as UTF-8. A surrogate without its partner cannot be written as UTF-8: it reads
// as U+FFFD, so that the cell still shows that a character stood there.
inline std::string Utf16ToUtf8(const std::vector<uint16_t>& units) {
    constexpr uint32_t kReplacement = 0xFFFD;
    std::string out;
    out.reserve(units.size());
    for (size_t i = 0; i < units.size(); ++i) {
        const uint32_t u = units[i];
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
            AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (units[i + 1] - 0xDC00u));
            ++i;
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            AppendUtf8(out, kReplacement);
        } else {
            AppendUtf8(out, u);
        }
    }
    return out;
}

// The stored bytes of a text cell (a Text column's value, a Memo's whole long value) as UTF-8.
// A last odd byte of a UTF-16 run is half a character: it reads as U+FFFD.
inline std::string DecodeText(const unsigned char* bytes, size_t n) {
    std::vector<uint16_t> units;
    units.reserve(n);
    bool odd = false;
    if (n >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
        bool oneByte = true;
        for (size_t i = 2; i < n;) {
            if (bytes[i] == 0) {
                oneByte = !oneByte;
                ++i;
            } else if (oneByte) {
                units.push_back(bytes[i++]);
            } else if (i + 1 < n) {
                units.push_back(uint16_t(bytes[i] | (bytes[i + 1] << 8)));
                i += 2;
            } else {
                odd = true;
                ++i;
            }
        }
    } else {
        for (size_t i = 0; i + 1 < n; i += 2) units.push_back(uint16_t(bytes[i] | (bytes[i + 1] << 8)));
        odd = n % 2 != 0;
    }
    std::string out = Utf16ToUtf8(units);
    if (odd) AppendUtf8(out, 0xFFFD);
    return out;
}

// A text cell: nothing for a Null, else its text ("" for an empty text, which Access keeps apart
// from Null).
inline std::optional<std::string> TextCell(bool null, const unsigned char* bytes, size_t n) {
    if (null) return std::nullopt;
    return DecodeText(bytes, n);
}

}  // namespace db::access
