// A running report saved as a text file. The report is gathered in memory and written, when
// complete, to a new file beside the target that is then renamed over it: an error at any point
// leaves the user's old file as it was and no temporary file behind, and is raised as the
// runtime's numbered error for the wizard to show with its text.
//
//     wizard::ReportFile file(path);
//     BuildZorvReport(data, ReportCopy::Saved, now, file);
//     file.Commit();    // throws vb::RuntimeError 57, 75 or 76
#pragma once

#include <string>
#include <string_view>

#include "wizard_common/model/report_sink.h"

namespace wizard {

class ReportFile : public ReportTextSink {
public:
    explicit ReportFile(std::string target) : target_(std::move(target)) {}

    // Replaces the target with the text written so far (ReportTextSink::Text).
    void Commit();

private:
    std::string target_;
};

// Replaces the file `target` with `bytes` through a temporary file beside it, keeping the old
// file's permissions. Errors (vb::RuntimeError): 76 "Path not found" when the folder does not
// exist; 75 "Path/File access error" when the target is a folder or another thing than a regular
// file, when it is a file without write permission, or when no file can be made beside it or
// renamed over it; 57 "Device I/O error" when the bytes cannot all be written (a full disk).
void ReplaceFileText(const std::string& target, std::string_view bytes);

}  // namespace wizard
