// The text-file writer (print and list styles) and the item reader. The writer keeps the
// current line in memory, so a list line's last comma can be taken back, and hands whole lines
// to stdio; the reader reads the whole file at open, which suits the engines' files (a few
// megabytes at most) and makes every read a scan of a string.
#include "platform/vb/text_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <cmath>

#include "platform/vb/regional.h"
#include "platform/vb/types.h"

namespace vb {

namespace {

bool IsFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The folder part of a path ("." for a bare file name).
std::string FolderOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The runtime's error for a failed open of path, from errno.
RuntimeError OpenError(const std::string& path, int err, bool forInput, const std::string& shown) {
    if (err == ENOENT || err == ENOTDIR) {
        if (!IsFolder(FolderOf(path))) return FileError(RuntimeError::PathNotFound(), shown);
        if (forInput) return FileError(RuntimeError::FileNotFound(), shown);
    }
    return FileError(RuntimeError::PathFileAccess(), shown);
}

}  // namespace

RuntimeError FileError(const RuntimeError& e, const std::string& path) {
    return {e.number(), e.description() + ": '" + path + "'"};
}

void CheckWritable(const std::string& path) {
    if (path.empty() || IsFolder(path)) throw FileError(RuntimeError::PathFileAccess(), path);
    struct stat st {};
    const bool existed = ::stat(path.c_str(), &st) == 0;
    // Opened for appending, an existing file keeps its contents.
    std::FILE* f = std::fopen(path.c_str(), "ab");
    if (!f) throw OpenError(path, errno, /*forInput=*/false, path);
    std::fclose(f);
    if (!existed) std::remove(path.c_str());
}

// ---- TextWriter ------------------------------------------------------------------------------

TextWriter::TextWriter(const std::string& path, const std::string& shownName)
    : path_(shownName.empty() ? path : shownName) {
    if (path.empty() || IsFolder(path)) throw FileError(RuntimeError::PathFileAccess(), path_);
    f_ = std::fopen(path.c_str(), "wb");
    if (!f_) throw OpenError(path, errno, /*forInput=*/false, path_);
}

TextWriter::~TextWriter() {
    if (!f_) return;
    if (!line_.empty()) std::fwrite(line_.data(), 1, line_.size(), f_);
    std::fclose(f_);
}

void TextWriter::Close() {
    if (!f_) return;
    if (!line_.empty() && std::fwrite(line_.data(), 1, line_.size(), f_) != line_.size())
        failed_ = true;
    line_.clear();
    if (std::fclose(f_) != 0) failed_ = true;
    f_ = nullptr;
    if (failed_) throw FileError(RuntimeError::DeviceIO(), path_);
}

void TextWriter::Put(std::string_view bytes) {
    if (!f_) throw RuntimeError::BadFileNumber();
    line_ += bytes;
}

void TextWriter::EndLine() {
    Put("\r\n");
    if (std::fwrite(line_.data(), 1, line_.size(), f_) != line_.size()) failed_ = true;
    line_.clear();
}

TextWriter& TextWriter::Print(std::string_view text) {
    Put(text);
    return *this;
}
TextWriter& TextWriter::Print(bool b) { return Print(BoolText(b)); }
TextWriter& TextWriter::Print(double v) { return PrintNumberText(RegionalStr(v)); }
TextWriter& TextWriter::Print(float v) { return PrintNumberText(RegionalStr(v)); }
TextWriter& TextWriter::PrintNumberText(const std::string& text) {
    Put(text);
    Put(" ");
    return *this;
}

TextWriter& TextWriter::NextZone() {
    constexpr size_t kZone = 14;
    size_t col = line_.size();
    Put(std::string(kZone - col % kZone, ' '));
    return *this;
}

TextWriter& TextWriter::PutListItem(std::string_view text) {
    Put(text);
    Put(",");
    return *this;
}
TextWriter& TextWriter::Write(std::string_view text) {
    // A quote inside the text is doubled, so the reader gets the text back whole instead of
    // cutting it at the quote.
    Put("\"");
    for (size_t q; (q = text.find('"')) != std::string_view::npos; text.remove_prefix(q + 1)) {
        Put(text.substr(0, q + 1));
        Put("\"");
    }
    Put(text);
    Put("\"");
    Put(",");
    return *this;
}
TextWriter& TextWriter::Write(bool b) { return PutListItem(b ? "#TRUE#" : "#FALSE#"); }
TextWriter& TextWriter::Write(double v) { return PutListItem(NumberText(v)); }
TextWriter& TextWriter::Write(float v) { return PutListItem(NumberText(v)); }
TextWriter& TextWriter::Write(NullItem) { return PutListItem("#NULL#"); }
TextWriter& TextWriter::Write(DateItem d) { return PutListItem("#" + DateTimeText(d.serial) + "#"); }

void TextWriter::DropListComma() {
    if (!line_.empty() && line_.back() == ',') line_.pop_back();
}

// ---- TextReader ------------------------------------------------------------------------------

TextReader::TextReader(const std::string& path) {
    if (path.empty() || IsFolder(path)) throw FileError(RuntimeError::PathFileAccess(), path);
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) throw OpenError(path, errno, /*forInput=*/true, path);
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) data_.append(buf, n);
    bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (failed) throw FileError(RuntimeError::DeviceIO(), path);
    path_ = path;
    SkipByteOrderMark();
}

RuntimeError TextReader::PastEnd() const {
    return path_.empty() ? RuntimeError::InputPastEnd() : FileError(RuntimeError::InputPastEnd(), path_);
}

TextReader TextReader::FromText(std::string contents) {
    TextReader r;
    r.data_ = std::move(contents);
    r.SkipByteOrderMark();
    return r;
}

void TextReader::SkipByteOrderMark() {
    if (data_.rfind("\xEF\xBB\xBF", 0) == 0) pos_ = 3;
    start_ = pos_;
}

bool TextReader::AtLineStart() const {
    return pos_ <= start_ || data_[pos_ - 1] == '\n' || data_[pos_ - 1] == '\r';
}

bool TextReader::AtLineEnd() const {
    return pos_ < data_.size() && (data_[pos_] == '\r' || data_[pos_] == '\n');
}

void TextReader::SkipLineEnd() {
    if (pos_ < data_.size() && data_[pos_] == '\r') ++pos_;
    if (pos_ < data_.size() && data_[pos_] == '\n') ++pos_;
}

std::string TextReader::ReadItem() {
    if (AtEnd()) throw PastEnd();
    while (pos_ < data_.size() && (data_[pos_] == ' ' || data_[pos_] == '\t')) ++pos_;
    std::string item;
    if (pos_ < data_.size() && data_[pos_] == '"') {
        ++pos_;
        while (pos_ < data_.size() && !AtLineEnd()) {
            char c = data_[pos_++];
            if (c != '"') {
                item += c;
            } else if (pos_ < data_.size() && data_[pos_] == '"') {
                item += '"';  // a doubled quote stands for one quote of the text
                ++pos_;
            } else {
                break;
            }
        }
        // What stands between the closing quote and the delimiter is not part of the item.
        while (pos_ < data_.size() && data_[pos_] != ',' && !AtLineEnd()) ++pos_;
    } else {
        size_t start = pos_;
        while (pos_ < data_.size() && data_[pos_] != ',' && !AtLineEnd()) ++pos_;
        size_t end = pos_;
        while (end > start && (data_[end - 1] == ' ' || data_[end - 1] == '\t')) --end;
        item = data_.substr(start, end - start);
    }
    if (pos_ < data_.size() && data_[pos_] == ',') ++pos_;
    else SkipLineEnd();
    return item;
}

int16_t TextReader::ReadInteger() { return CInt(ParseDouble(ReadItem())); }
int32_t TextReader::ReadLong() { return CLng(ParseDouble(ReadItem())); }
float TextReader::ReadSingle() { return ParseSingle(ReadItem()); }
double TextReader::ReadDouble() { return ParseDouble(ReadItem()); }

bool TextReader::ReadBoolean() {
    std::string item = UCase(ReadItem());
    if (item == "#TRUE#" || item == "TRUE") return true;
    if (item == "#FALSE#" || item == "FALSE") return false;
    return ParseDouble(item) != 0;
}

std::string TextReader::LineInput() {
    if (AtEnd()) throw PastEnd();
    size_t start = pos_;
    while (pos_ < data_.size() && !AtLineEnd()) ++pos_;
    std::string line = data_.substr(start, pos_ - start);
    SkipLineEnd();
    return line;
}

}  // namespace vb
