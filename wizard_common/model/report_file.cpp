// Saving a report: the temporary file beside the target and its rename over the target.
#include "wizard_common/model/report_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>

#include "platform/vb/runtime_error.h"

namespace wizard {

namespace {

namespace fs = std::filesystem;

// Removes the temporary file on every path that does not rename it.
class TempFile {
public:
    explicit TempFile(const std::string& target) {
        for (int n = 0;; ++n) {
            path_ = target + ".~" + std::to_string(::getpid()) + (n ? "-" + std::to_string(n) : "");
            fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
            if (fd_ >= 0) return;
            if (errno != EEXIST || n > 100) {
                path_.clear();
                throw vb::RuntimeError::PathFileAccess();
            }
        }
    }
    ~TempFile() {
        if (fd_ >= 0) ::close(fd_);
        if (!path_.empty()) std::remove(path_.c_str());
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    void WriteAll(std::string_view bytes) {
        while (!bytes.empty()) {
            const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) throw vb::RuntimeError::DeviceIO();
            bytes.remove_prefix(size_t(n));
        }
        // On disk before the rename, so a crash cannot leave an empty file in the old one's place.
        const bool synced = ::fsync(fd_) == 0;
        const bool closed = ::close(fd_) == 0;
        fd_ = -1;
        if (!synced || !closed) throw vb::RuntimeError::DeviceIO();
    }

    void RenameOver(const std::string& target) {
        struct stat st {};
        if (::stat(target.c_str(), &st) == 0) ::chmod(path_.c_str(), st.st_mode & 07777);
        if (std::rename(path_.c_str(), target.c_str()) != 0)
            throw vb::RuntimeError::PathFileAccess();
        path_.clear();
    }

private:
    std::string path_;
    int fd_ = -1;
};

// A file the user may not write is refused even where the process could (a privileged user
// could rename over it): the report never replaces a file marked read-only.
bool MayReplace(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return errno == ENOENT;
    if (!S_ISREG(st.st_mode)) return false;
    if ((st.st_mode & 0222) == 0) return false;
    return ::access(path.c_str(), W_OK) == 0;
}

}  // namespace

void ReplaceFileText(const std::string& target, std::string_view bytes) {
    std::error_code ec;
    if (target.empty()) throw vb::RuntimeError::PathFileAccess();
    // A link is replaced by writing beside the file it points to, so the link stays.
    std::string file = target;
    if (fs::is_symlink(target, ec)) {
        const fs::path real = fs::canonical(target, ec);
        if (!ec) file = real.string();
    }
    const fs::path folder = fs::path(file).parent_path();
    if (!folder.empty() && !fs::is_directory(folder, ec)) throw vb::RuntimeError::PathNotFound();
    if (!MayReplace(file)) throw vb::RuntimeError::PathFileAccess();

    TempFile temp(file);
    temp.WriteAll(bytes);
    temp.RenameOver(file);
}

void ReportFile::Commit() { ReplaceFileText(target_, Text()); }

}  // namespace wizard
