// The file tests behind the wizards' "does not exist", "is empty" and "is not a normal
// read-write file" messages.
#include "wizard_common/model/file_rules.h"

#include <unistd.h>

#include <filesystem>

namespace wizard {

namespace fs = std::filesystem;

FileState ExaminePath(const std::string& path) {
    std::error_code ec;
    const fs::file_status st = fs::status(path, ec);
    if (ec || st.type() == fs::file_type::not_found) return FileState::Missing;
    if (st.type() != fs::file_type::regular) return FileState::NotReadWrite;
    // A file without its owner's write bit is read-only even for a user whom the system lets
    // write anyway (root): the user marked it so, and the wizards respect that.
    if ((st.permissions() & fs::perms::owner_write) == fs::perms::none) return FileState::NotReadWrite;
    if (::access(path.c_str(), R_OK | W_OK) != 0) return FileState::NotReadWrite;
    const auto size = fs::file_size(path, ec);
    if (ec) return FileState::NotReadWrite;
    return size == 0 ? FileState::Empty : FileState::Normal;
}

std::optional<uintmax_t> FileLength(const std::string& path) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) return std::nullopt;
    const auto size = fs::file_size(path, ec);
    if (ec) return std::nullopt;
    return size;
}

bool IsNormalReadWriteFile(const std::string& path) {
    const FileState s = ExaminePath(path);
    return s == FileState::Normal || s == FileState::Empty;
}

}  // namespace wizard
