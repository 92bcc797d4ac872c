// Saving a report: the temporary file beside the target and its rename over the target.
#include "wizard_common/model/report_file.h"

#include <fstream>

#include "platform/vb/replacing_file.h"
#include "platform/vb/runtime_error.h"
#include "platform/vb/text_file.h"
#include "wizard_common/model/file_rules.h"

namespace wizard {

void ReplaceFileText(const std::string& target, std::string_view bytes) {
    vb::ReplacingFile file(target);
    // A file marked read-only is refused even where the process could replace it (as root).
    if (ExaminePath(file.target()) == FileState::NotReadWrite)
        throw vb::FileError(vb::RuntimeError::PathFileAccess(), target);
    {
        std::ofstream out(file.path(), std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), std::streamsize(bytes.size()));
        out.close();
        if (!out) throw vb::FileError(vb::RuntimeError::DeviceIO(), target);
    }
    file.Commit();
}

void ReportFile::Commit() { ReplaceFileText(target_, Text()); }

}  // namespace wizard
