// Text files as the engines write and read them: a writer with the runtime's two output styles
// and a reader of items and lines.
//
// Writing (TextWriter, "Open ... For Output"): lines end in CR LF.
//  - Print style ("Print #"): a text goes out as it is; a number goes out in its Str form with
//    the regional decimal symbol and one trailing blank (5 is " 5 ", -2 is "-2 ", 0.5 is " .5 "
//    under a "." locale); a Boolean as "True"/"False". Items printed one after another are
//    adjacent (the ";" separator); NextZone() pads with blanks to the next 14-column print zone
//    (the "," separator).
//  - List style ("Write #"): a text in double quotes, a quote inside it doubled (the reader
//    turns "" inside a quoted item back into one quote, so such texts read back whole); a number
//    without blanks, "." as decimal point, in its NumberText form (Singles with at most 7
//    significant digits); a Boolean as #TRUE#/#FALSE#; Null as #NULL#; a date as
//    #yyyy-mm-dd hh:nn:ss#. Write(x) puts the item and a comma, so more may follow on the line;
//    WriteLine(x, y, ...) puts the items separated by commas and ends the line; EndLine() ends
//    the line. So a list line that ends with a comma, as the learning logs have them, is
//    Write(a); Write(b); EndLine(), and a plain one WriteLine(a, b).
//
// Reading (TextReader, "Open ... For Input"): lines may end in CR LF, LF or CR.
//  - ReadItem ("Input #"): an item runs to the next comma or line end. Leading blanks and tabs
//    are skipped. A quoted item is the text between its quotes (commas included, a doubled
//    quote read as one); anything between the closing quote and the next comma or line end is
//    dropped. An unquoted item is trimmed of blanks and tabs. The comma or line end (CR LF
//    together) that ends an item is consumed with it; so after a line ending with a comma, one
//    empty item is read before the next line. A quote that is never closed ends at the line
//    end. AtEnd() is the runtime's EOF.
//  - ReadInteger, ReadLong, ReadSingle, ReadDouble, ReadBoolean convert the item: error 13
//    "Type mismatch" when it is not a number (an empty item included), error 6 when it is out
//    of range; Integer and Long round a fraction half to even. ReadBoolean takes #TRUE#/#FALSE#,
//    True/False in any case, or a number (non-zero is True).
//  - LineInput ("Line Input #"): the rest of the current line without its line end.
//  - AtLineStart(): whether the last read ended its line; false at the end of a file whose
//    last line has no line end.
//  - Any read at the end of the file is error 62 "Input past end of file", naming the file. A
//    UTF-8 byte order mark at the start of the file is skipped.
//
// Open errors: a missing file is 53 "File not found" (76 "Path not found" when its folder is
// missing too); a folder that does not exist when creating is 76; a file that cannot be
// opened or created otherwise (permissions, a directory, an empty name) is 75 "Path/File access
// error". A failed write is error 57 "Device I/O error", raised by Close() at the latest. Each of
// these names the file after the runtime's text ("File not found: '/data/model.bnc'"), so a
// host can say which file failed.
#pragma once

#include <concepts>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "platform/vb/runtime_error.h"
#include "platform/vb/strings.h"

namespace vb {

// The error e with the file's name after its text, as the open and write errors above have it.
RuntimeError FileError(const RuntimeError& e, const std::string& path);

// Whether path can be opened for writing, checked before long work whose result would go there:
// the error TextWriter would raise (75, 76, naming the file), else nothing. An existing file is
// left as it was; one made for the check is removed again.
void CheckWritable(const std::string& path);

// The list-style items that are not plain values.
struct NullItem {};
inline constexpr NullItem Null{};
// A date serial (days since 1899-12-30), written as #yyyy-mm-dd hh:nn:ss#.
struct DateItem {
    double serial = 0;
};

// Integral types other than bool, for the overloads below.
template <typename T>
concept WholeNumber = std::integral<T> && !std::same_as<T, bool> && !std::same_as<T, char>;

class TextWriter {
public:
    // Creates the file or truncates an existing one. Errors name `shownName` when it is given
    // (the target that a temporary file will replace), else the path.
    explicit TextWriter(const std::string& path, const std::string& shownName = "");
    ~TextWriter();  // closes, swallowing errors: call Close() to see them
    TextWriter(const TextWriter&) = delete;
    TextWriter& operator=(const TextWriter&) = delete;

    // Flushes and closes; error 57 when any write failed. Closing again does nothing; writing
    // after Close is error 52 "Bad file name or number".
    void Close();

    // Print style.
    TextWriter& Print(std::string_view text);
    TextWriter& Print(const char* text) { return Print(std::string_view(text)); }
    TextWriter& Print(const std::string& text) { return Print(std::string_view(text)); }
    TextWriter& Print(bool b);
    TextWriter& Print(double v);
    TextWriter& Print(float v);
    template <WholeNumber T>
    TextWriter& Print(T v) { return PrintNumberText(Str(int64_t(v))); }
    TextWriter& NextZone();
    // Print(items)..., then the line end. PrintLine() alone writes an empty line.
    template <typename... T>
    void PrintLine(const T&... items) {
        (Print(items), ...);
        EndLine();
    }

    // List style.
    TextWriter& Write(std::string_view text);
    TextWriter& Write(const char* text) { return Write(std::string_view(text)); }
    TextWriter& Write(const std::string& text) { return Write(std::string_view(text)); }
    TextWriter& Write(bool b);
    TextWriter& Write(double v);
    TextWriter& Write(float v);
    TextWriter& Write(NullItem);
    TextWriter& Write(DateItem d);
    template <WholeNumber T>
    TextWriter& Write(T v) { return PutListItem(NumberText(int64_t(v))); }
    // The items separated by commas, then the line end.
    template <typename First, typename... Rest>
    void WriteLine(const First& first, const Rest&... rest) {
        Write(first);
        (Write(rest), ...);
        DropListComma();
        EndLine();
    }

    // Ends the current line (CR LF).
    void EndLine();

    // Bytes written on the current line (0 at a line start).
    size_t column() const { return line_.size(); }

private:
    TextWriter& PrintNumberText(const std::string& text);
    TextWriter& PutListItem(std::string_view text);
    void DropListComma();
    void Put(std::string_view bytes);

    std::FILE* f_ = nullptr;
    std::string path_;  // the name errors show
    std::string line_;  // the current line, not yet handed to the file
    bool failed_ = false;
};

class TextReader {
public:
    explicit TextReader(const std::string& path);
    // Reads a text held in memory, as if it were a file's contents (for tests and callers
    // that have the bytes already).
    static TextReader FromText(std::string contents);

    // True when nothing is left to read.
    bool AtEnd() const { return pos_ >= data_.size(); }
    // True when the last read took its line end with it (or nothing was read yet). After the
    // items of a list line it tells a line read whole from one that holds more items, or
    // from a last line cut off by the end of the file.
    bool AtLineStart() const;

    std::string ReadItem();
    int16_t ReadInteger();
    int32_t ReadLong();
    float ReadSingle();
    double ReadDouble();
    bool ReadBoolean();
    std::string LineInput();

    // Error 62 naming the file, for a reader that finds the file ended too soon.
    RuntimeError PastEnd() const;

    void Close() {
        data_.clear();
        pos_ = start_ = 0;
    }

private:
    TextReader() = default;
    void SkipByteOrderMark();
    void SkipLineEnd();
    bool AtLineEnd() const;

    std::string data_;
    std::string path_;  // "" for a text held in memory
    size_t pos_ = 0;
    size_t start_ = 0;  // after the byte order mark
};

}  // namespace vb
