// A folder whose disk can be filled: a small tmpfs, or the file-size limit (full_disk.h).
#include "tests/support/full_disk.h"

#include <sys/mount.h>
#include <sys/resource.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <filesystem>

namespace testsupport {

namespace {

const char* const kFiller = ".filler";

}  // namespace

FullDisk::FullDisk() {
    mounted_ = ::mount("tmpfs", dir_.path().c_str(), "tmpfs", 0, "size=256k") == 0;
}

FullDisk::~FullDisk() {
    Free();
    if (mounted_) ::umount(dir_.path().c_str());
}

std::vector<std::string> FullDisk::Files() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir_.path()))
        if (entry.path().filename() != kFiller) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

void FullDisk::Fill() {
    if (mounted_) {
        std::FILE* f = std::fopen(Path(kFiller).c_str(), "wb");
        if (!f) return;
        std::setvbuf(f, nullptr, _IONBF, 0);
        const std::string block(4096, 'x');
        while (std::fwrite(block.data(), 1, block.size(), f) == block.size()) {
        }
        // The last partial page, byte by byte.
        while (std::fwrite("x", 1, 1, f) == 1) {
        }
        std::fclose(f);
        return;
    }
    rlimit limit{};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    oldLimit_ = limit.rlim_cur;
    limit.rlim_cur = 0;
    std::signal(SIGXFSZ, SIG_IGN);
    limited_ = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
}

void FullDisk::Free() {
    if (mounted_) {
        std::remove(Path(kFiller).c_str());
    } else if (limited_) {
        rlimit limit{};
        ::getrlimit(RLIMIT_FSIZE, &limit);
        limit.rlim_cur = oldLimit_;
        ::setrlimit(RLIMIT_FSIZE, &limit);
        limited_ = false;
    }
}

}  // namespace testsupport
