// The report operations' fonts, the recorder and the plain-text form of a report.
#include "wizard_common/model/report_sink.h"

namespace wizard {

ReportFont TitleFont() { return {"times new roman", 8, true}; }
ReportFont BodyFont() { return {"courier new", 10, false}; }

void ReportRecorder::Write(std::string_view text, const ReportFont& font) {
    ops_.push_back({ReportOpKind::Write, std::string(text), font});
}
void ReportRecorder::WriteLine(std::string_view text, const ReportFont& font) {
    ops_.push_back({ReportOpKind::WriteLine, std::string(text), font});
}
void ReportRecorder::EndLine(const ReportFont& font) {
    ops_.push_back({ReportOpKind::EndLine, std::string(), font});
}

void Replay(const std::vector<ReportOp>& ops, ReportSink& sink) {
    for (const ReportOp& op : ops) {
        switch (op.kind) {
        case ReportOpKind::Write: sink.Write(op.text, op.font); break;
        case ReportOpKind::WriteLine: sink.WriteLine(op.text, op.font); break;
        case ReportOpKind::EndLine: sink.EndLine(op.font); break;
        }
    }
}

void ReportTextSink::Write(std::string_view text, const ReportFont&) {
    text_ += text;
    if (!text.empty()) lineOpen_ = true;
}
void ReportTextSink::WriteLine(std::string_view text, const ReportFont&) {
    text_ += text;
    text_ += "\r\n";
    lineOpen_ = false;
}
void ReportTextSink::EndLine(const ReportFont&) {
    text_ += "\r\n";
    lineOpen_ = false;
}

std::string ReportTextSink::Text() const { return lineOpen_ ? text_ + "\r\n" : text_; }

std::string ReportText(const std::vector<ReportOp>& ops) {
    ReportTextSink sink;
    Replay(ops, sink);
    return sink.Text();
}

}  // namespace wizard
