// The three output operations the running reports are made of, and the sinks that take them.
// A report is written as "write" (text, the line stays open), "write line" (text, then the line
// ends) and "end line" (ends the current line; an empty line when nothing was written since the
// last end). Every operation carries the font the printer uses for it; a text file ignores
// fonts. The printer (Qt) and the text file are sinks; the recorder keeps the operations so
// that they can be replayed into another sink or compared by a test.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace wizard {

struct ReportFont {
    std::string family;
    int pointSize = 10;
    bool bold = false;
    bool operator==(const ReportFont&) const = default;
};

// The title line's font and the font of every other line.
ReportFont TitleFont();  // "times new roman", 8, bold
ReportFont BodyFont();   // "courier new", 10

enum class ReportOpKind { Write, WriteLine, EndLine };

struct ReportOp {
    ReportOpKind kind = ReportOpKind::EndLine;
    std::string text;  // UTF-8; empty for EndLine
    ReportFont font;
    bool operator==(const ReportOp&) const = default;
};

class ReportSink {
public:
    virtual ~ReportSink() = default;
    virtual void Write(std::string_view text, const ReportFont& font) = 0;
    virtual void WriteLine(std::string_view text, const ReportFont& font) = 0;
    virtual void EndLine(const ReportFont& font) = 0;
};

// Keeps every operation in order.
class ReportRecorder : public ReportSink {
public:
    void Write(std::string_view text, const ReportFont& font) override;
    void WriteLine(std::string_view text, const ReportFont& font) override;
    void EndLine(const ReportFont& font) override;

    const std::vector<ReportOp>& ops() const { return ops_; }

private:
    std::vector<ReportOp> ops_;
};

// Hands the operations to `sink` in order.
void Replay(const std::vector<ReportOp>& ops, ReportSink& sink);

// Plain text: each line ends in CR LF, fonts are dropped. A line left open at the end (the
// structure listing ends without a line end of its own) is ended too, so every line of a saved
// report ends the same way.
class ReportTextSink : public ReportSink {
public:
    void Write(std::string_view text, const ReportFont& font) override;
    void WriteLine(std::string_view text, const ReportFont& font) override;
    void EndLine(const ReportFont& font) override;

    std::string Text() const;

private:
    std::string text_;
    bool lineOpen_ = false;
};

// The operations as ReportTextSink writes them.
std::string ReportText(const std::vector<ReportOp>& ops);

}  // namespace wizard
