// The temporary file beside a target and its rename over the target (see replacing_file.h).
#include "platform/vb/replacing_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>

#include "platform/vb/runtime_error.h"
#include "platform/vb/text_file.h"

namespace vb {

ReplacingFile::ReplacingFile(const std::string& target) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (target.empty() || fs::is_directory(target, ec)) throw FileError(RuntimeError::PathFileAccess(), target);
    // A link is replaced by writing beside the file it points to, so the link stays.
    target_ = fs::is_symlink(target, ec) ? fs::canonical(target, ec).string() : target;
    if (ec || target_.empty()) target_ = target;
    const fs::path folder = fs::path(target_).parent_path();
    if (!folder.empty() && !fs::is_directory(folder, ec)) throw FileError(RuntimeError::PathNotFound(), target);

    for (int n = 0;; ++n) {
        temp_ = target_ + ".~" + std::to_string(::getpid()) + (n ? "-" + std::to_string(n) : "");
        const int fd = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
        if (fd >= 0) {
            ::close(fd);
            break;
        }
        if (errno != EEXIST || n > 100) {
            temp_.clear();
            throw FileError(RuntimeError::PathFileAccess(), target);
        }
    }
}

ReplacingFile::~ReplacingFile() {
    if (!temp_.empty()) std::remove(temp_.c_str());
}

void ReplacingFile::Commit() {
    // On disk before the rename, so that a crash cannot leave an empty file in the old one's place.
    const int fd = ::open(temp_.c_str(), O_RDONLY);
    const bool synced = fd >= 0 && ::fsync(fd) == 0;
    if (fd >= 0) ::close(fd);
    if (!synced) throw FileError(RuntimeError::DeviceIO(), target_);
    // The replacement keeps the permissions of the file it replaces.
    struct stat st {};
    if (::stat(target_.c_str(), &st) == 0) ::chmod(temp_.c_str(), st.st_mode & 07777);
    if (std::rename(temp_.c_str(), target_.c_str()) != 0) throw FileError(RuntimeError::PathFileAccess(), target_);
    temp_.clear();
    // The rename lives in the folder: on disk too, so that a power cut right after the save
    // cannot bring the old file back. A folder that cannot be opened for reading, or a file
    // system that cannot sync one (EINVAL), keeps its renames by its own rules; a sync that
    // fails is error 57, as the file's own.
    std::string folder = std::filesystem::path(target_).parent_path().string();
    if (folder.empty()) folder = ".";
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (dir < 0) return;
    const bool folderSynced = ::fsync(dir) == 0 || errno == EINVAL;
    ::close(dir);
    if (!folderSynced) throw FileError(RuntimeError::DeviceIO(), target_);
}

}  // namespace vb
