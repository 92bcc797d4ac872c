// The framed stream in which the database layer asks the file reader process
// (platform/db/reader/) to read a file and the reader hands back what it read: frames of a one-byte tag, a 32-bit little-endian payload length and
// the payload. Numbers in a payload are little-endian; a text is its 32-bit byte length and
// its UTF-8 bytes. Header-only and free of the layer's types, so that the reader, which links
// nothing of ours, writes exactly what the layer parses.
#pragma once

#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <string_view>

namespace db::frames {

enum Tag : char {
    kTable = 'T',       // catalog: uint32 flags, text name
    kCatalogEnd = 'C',  // the tables are complete; the queries follow
    kQuery = 'Q',       // catalog: int32 id, uint32 flags, text name
    kLink = 'L',        // catalog: uint8 LinkType, uint32 flags, texts name, database, connect, foreign name
    kField = 'F',       // table: uint8 Jet type code, int32 text size in characters, text name, and for a
                        // column nobody here can decode a text naming its type (its cells are Null)
    kRow = 'R',         // table: one cell per field, each a Cell kind and its value
    kFailed = 'X',      // uint8 Failure, text saying what could not be read
    kEnd = 'E',         // everything asked for has been sent
    kRequest = 'A',     // to the reader: uint32 count, then the texts (the request's words)
};

enum Failure : uint8_t {
    kDamaged = 1,    // the file cannot be read as what it says it is
    kEncrypted = 2,  // an Access 2007+ file encrypted with a database password
};

// The catalog's object types of linked tables: to a table of another file (an Access file, or
// another format that the connect text names), and to a table of an ODBC source.
enum LinkType : uint8_t {
    kLinkedOdbc = 4,
    kLinkedFile = 6,
};

// A cell of a row frame: the kind, then an int16, int32, float, double (also the date's day
// serial) or text as the kind says; nothing for a Null; uint8 0 or 1 for a Boolean.
enum Cell : uint8_t {
    kNull = 0,
    kBoolean = 1,
    kInteger = 2,
    kLong = 3,
    kSingle = 4,
    kDouble = 5,
    kDate = 6,
    kText = 7,
};

// The reader's exit status when memory ran out (std::bad_alloc, or an allocation that failed in
// libmdb): the program then says so, and does not blame the file.
constexpr int kOutOfMemoryStatus = 4;

// A frame longer than this is not one the reader writes: the stream is garbage.
constexpr uint32_t kMaxPayload = 64u << 20;

// Builds one frame's payload.
class Payload {
public:
    template <typename T>
    void Put(T v) {
        char bytes[sizeof v];
        std::memcpy(bytes, &v, sizeof v);  // the hosts we build for are little-endian
        data_.append(bytes, sizeof v);
    }
    void PutText(std::string_view text) {
        Put(uint32_t(text.size()));
        data_.append(text);
    }
    const std::string& data() const { return data_; }
    void clear() { data_.clear(); }

private:
    std::string data_;
};

// Appends the frame to `out`.
inline void AppendFrame(std::string& out, Tag tag, std::string_view payload) {
    out.push_back(char(tag));
    const uint32_t n = uint32_t(payload.size());
    char bytes[sizeof n];
    std::memcpy(bytes, &n, sizeof n);
    out.append(bytes, sizeof n);
    out.append(payload);
}

// Reads one frame's payload front to back; a read past its end throws std::out_of_range.
class Cursor {
public:
    explicit Cursor(std::string_view payload) : rest_(payload) {}
    template <typename T>
    T Get() {
        T v;
        std::memcpy(&v, Take(sizeof v).data(), sizeof v);
        return v;
    }
    std::string GetText() { return std::string(Take(Get<uint32_t>())); }
    bool AtEnd() const { return rest_.empty(); }

private:
    std::string_view Take(size_t n) {
        if (n > rest_.size()) throw std::out_of_range("frame cut short");
        std::string_view part = rest_.substr(0, n);
        rest_.remove_prefix(n);
        return part;
    }
    std::string_view rest_;
};

}  // namespace db::frames
