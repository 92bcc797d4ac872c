// Delimited text files streamed into an imported table: records split on the delimiter with
// double-quoted cells (holding delimiters, doubled quotes and line breaks), the header line's
// names made unique, and each column typed by the narrowest type that reads all its values.
// A file is UTF-8, or Windows-1252 when it is not valid UTF-8.
#include <fmt/format.h>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>
#include <cerrno>
#include <cstring>
#include <cstdlib>
#include <fstream>

#include "platform/db/code_pages.h"
#include "platform/db/column_types.h"
#include "platform/db/imported_database.h"
#include "platform/vb/strings.h"

namespace db {
namespace {

// A cell of the record just read: its text, valid until the next record is read (an unquoted
// cell's lies in the reader's buffer, a quoted one's in `held`, its doubled quotes made one).
struct Cell {
    std::string_view text;
    std::string held;
    bool quoted = false;
};

Error BadFormat(const std::string& file, int line, const std::string& what) {
    return Error(3274, fmt::format("External table isn't in the expected format: '{}' line {}: {}.", file, line, what));
}

// Reads the file's records one at a time, through a buffer: quoted cells may hold the
// delimiter, doubled quotes and line breaks. A UTF-8 byte-order mark before the first record is
// not part of it. Blanks around an unquoted cell are not part of it either.
class RecordReader {
public:
    RecordReader(const std::string& path, char delimiter)
        : in_(path, std::ios::binary), file_(path), delimiter_(delimiter), buffer_(1 << 20, '\0') {
        if (!in_) FailToRead(path, errno);
        Fill();
        if (end_ >= 3 && std::memcmp(buffer_.data(), "\xEF\xBB\xBF", 3) == 0) at_ = 3;
    }

    // The next record with content (an empty line makes none); false at the end of the file.
    // `record`'s cells are reused from call to call.
    bool Next(std::vector<Cell>& record) {
        for (;;) {
            const Parse p = TryNext(record);
            if (p != Parse::Incomplete) return p == Parse::Record;
            Fill();
        }
    }

private:
    enum class Parse { Record, None, Incomplete };

    // Keeps what is not yet parsed and reads on behind it, growing the buffer when one record
    // fills it.
    void Fill() {
        if (at_ > 0) {
            std::memmove(buffer_.data(), buffer_.data() + at_, end_ - at_);
            end_ -= at_;
            at_ = 0;
        }
        if (end_ == buffer_.size()) buffer_.resize(buffer_.size() * 2);
        in_.read(buffer_.data() + end_, std::streamsize(buffer_.size() - end_));
        end_ += size_t(in_.gcount());
        eof_ = !in_;
    }

    // One record from the buffer, or Incomplete when the buffer ends inside it before the end of
    // the file (the record is then parsed again once more is read).
    Parse TryNext(std::vector<Cell>& record) {
        const char* p = buffer_.data() + at_;
        const char* const e = buffer_.data() + end_;
        const bool blanksAround = delimiter_ != ' ';
        size_t used = 0;
        int lines = 0;
        bool any = false;  // the record has content
        for (;;) {
            if (used == record.size()) record.emplace_back();
            Cell& cell = record[used++];
            const char* start = p;
            if (blanksAround)
                while (p < e && *p == ' ') ++p;
            if (p < e && *p == '"') {
                const int startLine = line_ + lines;
                cell.quoted = true;
                cell.held.clear();
                any = true;
                ++p;
                for (;;) {
                    const char* q = static_cast<const char*>(std::memchr(p, '"', size_t(e - p)));
                    if (!q) {
                        if (!eof_) return Parse::Incomplete;
                        throw BadFormat(file_, startLine, "a quoted value has no closing quote");
                    }
                    lines += int(std::count(p, q, '\n'));
                    cell.held.append(p, q);
                    p = q + 1;
                    if (p == e && !eof_) return Parse::Incomplete;
                    if (p < e && *p == '"') {
                        cell.held += '"';
                        ++p;
                        continue;
                    }
                    break;
                }
                // Only blanks may follow the closing quote before the delimiter.
                while (p < e && *p == ' ' && *p != delimiter_) ++p;
                if (p == e && !eof_) return Parse::Incomplete;
                if (p < e && *p != delimiter_ && *p != '\r' && *p != '\n')
                    throw BadFormat(file_, line_ + lines, "text follows a closing quote");
            } else {
                const char* q = p;
                while (q < e && *q != delimiter_ && *q != '\n' && *q != '\r') ++q;
                if (q == e && !eof_) return Parse::Incomplete;
                const char* last = q;
                if (blanksAround)
                    while (last > p && last[-1] == ' ') --last;
                cell.quoted = false;
                cell.text = std::string_view(p, size_t(last - p));
                if (last > p || (!blanksAround && q > start)) any = true;
                p = q;
            }
            if (p == e) {  // the end of the file
                at_ = end_;
                line_ += lines;
                return Complete(record, used, any);
            }
            if (*p == delimiter_) {
                any = true;
                ++p;
                continue;
            }
            if (*p == '\r') {
                if (p + 1 == e && !eof_) return Parse::Incomplete;
                if (p + 1 < e && p[1] == '\n') ++p;
            }
            ++p;
            ++lines;
            if (any) {
                at_ = size_t(p - buffer_.data());
                line_ += lines;
                return Complete(record, used, true);
            }
            // A line without content: the record starts again behind it.
            at_ = size_t(p - buffer_.data());
            line_ += lines;
            lines = 0;
            used = 0;
        }
    }

    // The record's cells; a quoted cell's text is set once the cells no longer move.
    static Parse Complete(std::vector<Cell>& record, size_t used, bool any) {
        record.resize(used);
        for (Cell& c : record)
            if (c.quoted) c.text = c.held;
        return any ? Parse::Record : Parse::None;
    }

    std::ifstream in_;
    std::string file_;
    char delimiter_;
    std::string buffer_;
    size_t at_ = 0, end_ = 0;
    bool eof_ = false;
    int line_ = 1;
};

bool ParseLong(std::string_view s, int32_t& out) {
    if (s.empty()) return false;
    size_t i = (s[0] == '-' || s[0] == '+') ? 1 : 0;
    if (i == s.size() || s.size() - i > 10) return false;
    long long v = 0;
    for (size_t k = i; k < s.size(); ++k) {
        if (s[k] < '0' || s[k] > '9') return false;
        v = v * 10 + (s[k] - '0');
    }
    if (s[0] == '-') v = -v;
    if (v < INT32_MIN || v > INT32_MAX) return false;
    out = int32_t(v);
    return true;
}

bool ParseNumber(std::string_view s, double& out) {
    try {
        out = vb::ParseDouble(s);
        return true;
    } catch (...) {
        return false;
    }
}

char DelimiterFor(const std::string& path) {
    std::string dot = path.substr(path.rfind('.') + 1);
    if (vb::UCase(dot) == "TAB") return '\t';
    std::ifstream in(path, std::ios::binary);
    if (!in) FailToRead(path, errno);
    std::string first;
    std::getline(in, first);
    for (char c : {'\t', ';'})
        if (first.find(c) != std::string::npos && first.find(',') == std::string::npos) return c;
    return ',';
}

// Blocks of rows handed from the thread that reads them to the one that stores them: at most
// kAhead blocks wait, so memory stays flat however long the file. An error on the reading
// side ends the blocks and is raised on the storing side; Stop ends the reading side.
class RowBlocks {
public:
    static constexpr size_t kRows = 2048, kAhead = 4;
    using Block = std::vector<std::vector<Value>>;

    // Waits for room; false once the storing side has stopped.
    bool Put(Block block) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return full_.size() < kAhead || stopped_; });
        if (stopped_) return false;
        full_.push_back(std::move(block));
        changed_.notify_all();
        return true;
    }
    void Finish(std::exception_ptr error) {
        std::lock_guard<std::mutex> lock(mutex_);
        finished_ = true;
        error_ = error;
        changed_.notify_all();
    }
    // The next block; nothing at the end, or the reading side's error.
    std::optional<Block> Take() {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return !full_.empty() || finished_; });
        if (!full_.empty()) {
            Block b = std::move(full_.front());
            full_.pop_front();
            changed_.notify_all();
            return b;
        }
        if (error_) std::rethrow_exception(error_);
        return std::nullopt;
    }
    // A block the storing side is done with, kept for its rows' room.
    void Return(Block block) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (spare_.size() < kAhead) spare_.push_back(std::move(block));
    }
    Block Spare() {
        std::lock_guard<std::mutex> lock(mutex_);
        if (spare_.empty()) return {};
        Block b = std::move(spare_.back());
        spare_.pop_back();
        return b;
    }
    void Stop() {
        std::lock_guard<std::mutex> lock(mutex_);
        stopped_ = true;
        changed_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Block> full_;
    std::vector<Block> spare_;
    bool finished_ = false, stopped_ = false;
    std::exception_ptr error_;
};

}  // namespace

void MakeFieldNamesUnique(std::vector<std::string>& names) {
    std::set<std::string> used;
    for (size_t c = 0; c < names.size(); ++c) {
        if (names[c].empty()) names[c] = fmt::format("F{}", c + 1);
        std::string unique = names[c];
        for (int k = 2; used.count(vb::UCase(unique)); ++k) unique = fmt::format("{}{}", names[c], k);
        names[c] = unique;
        used.insert(vb::UCase(unique));
    }
}

void FailToRead(const std::string& path, int err) {
    if (err == ENOENT || err == ENOTDIR) throw Error(errnum::kFileNotFound, fmt::format("Could not find file '{}'.", path));
    throw Error(errnum::kCannotOpenFile,
                fmt::format("The file '{}' cannot be read: {}.", path,
                            err == EACCES || err == EPERM ? "you need permission to read it" : std::strerror(err)));
}

void ReadDelimitedFile(const std::string& path, bool header, char delimiter, TableSink& sink) {
    if (!delimiter) delimiter = DelimiterFor(path);

    // The first pass: the names and, from every value, each column's narrowest type.
    enum Guess { Unknown, Long, Double, Date, Text };
    std::vector<std::string> names;
    std::vector<Guess> guess;
    std::vector<size_t> longest;
    std::vector<Cell> record;
    // Text written on Windows is mostly in its ANSI code page, as Jet reads a text file: a file
    // that is not valid UTF-8 is read in Windows-1252. Delimiters, quotes and line ends are
    // ASCII, which no UTF-8 sequence holds, so the cells' bytes decide it.
    bool utf8 = true;
    {
        RecordReader records(path, delimiter);
        bool first = header;
        while (records.Next(record)) {
            if (record.size() > names.size()) {
                names.resize(record.size());
                guess.resize(record.size(), Unknown);
                longest.resize(record.size(), 0);
            }
            if (first) {
                for (size_t c = 0; c < record.size(); ++c) {
                    names[c] = record[c].text;
                    utf8 = utf8 && IsValidUtf8(names[c]);
                }
                first = false;
                continue;
            }
            for (size_t c = 0; c < record.size(); ++c) {
                const std::string_view t = record[c].text;
                utf8 = utf8 && IsValidUtf8(t);
                longest[c] = std::max(longest[c], t.size());
                if (t.empty() || guess[c] == Text) continue;
                int32_t l;
                double d;
                Guess g = ParseLong(t, l)                  ? Long
                          : ParseNumber(t, d)              ? Double
                          : ParseStoredDate(std::string(t)).has_value() ? Date
                                                           : Text;
                if (guess[c] == Unknown) guess[c] = g;
                else if (guess[c] != g)
                    guess[c] = ((guess[c] == Long && g == Double) || (guess[c] == Double && g == Long)) ? Double : Text;
            }
        }
    }
    if (!utf8)
        for (std::string& n : names) n = CodePageToUtf8(n, kWindows1252);
    MakeFieldNamesUnique(names);
    const size_t width = names.size();
    std::vector<Field> fields(width);
    for (size_t c = 0; c < width; ++c) {
        Field& f = fields[c];
        f.Name = names[c];
        // Texts of up to 255 characters are Text, as Jet's own text driver gives them; longer
        // ones Memo.
        f.Type = guess[c] == Long     ? dbLong
                 : guess[c] == Double ? dbDouble
                 : guess[c] == Date   ? dbDate
                 : longest[c] > 255   ? dbMemo
                                      : dbText;
        f.Size = f.Type == dbText ? 255 : 0;
    }
    sink.Fields(fields);

    // The second pass: the rows, turned into values on a thread of their own while this one
    // hands them on, a block at a time (a few blocks at most are under way).
    RowBlocks blocks;
    std::thread parser([&] {
        try {
            RecordReader records(path, delimiter);
            std::vector<Cell> record;
            if (header) records.Next(record);
            bool more = true;
            while (more) {
                std::vector<std::vector<Value>> block = blocks.Spare();
                size_t used = 0;
                while (used < RowBlocks::kRows && (more = records.Next(record))) {
                    if (used == block.size()) block.emplace_back(width);
                    std::vector<Value>& row = block[used++];
                    for (size_t c = 0; c < width; ++c) {
                        const std::string_view t = c < record.size() ? record[c].text : std::string_view();
                        if (t.empty()) {
                            row[c] = Value();
                            continue;
                        }
                        int32_t l;
                        double d;
                        switch (fields[c].Type) {
                            case dbLong: ParseLong(t, l), row[c] = Value(l); break;
                            case dbDouble: ParseNumber(t, d), row[c] = Value(d); break;
                            case dbDate: row[c] = Value(db::Date{*ParseStoredDate(std::string(t))}); break;
                            default: row[c] = Value(utf8 ? std::string(t) : CodePageToUtf8(t, kWindows1252));
                        }
                    }
                }
                block.resize(used);
                if (!blocks.Put(std::move(block))) return;  // the reading side has stopped
            }
            blocks.Finish(nullptr);
        } catch (...) {
            blocks.Finish(std::current_exception());
        }
    });
    try {
        while (std::optional<std::vector<std::vector<Value>>> block = blocks.Take()) {
            for (const std::vector<Value>& row : *block) sink.Row(row);
            blocks.Return(std::move(*block));
        }
    } catch (...) {
        blocks.Stop();
        parser.join();
        throw;
    }
    parser.join();
}

}  // namespace db
