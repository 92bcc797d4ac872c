// Small helpers shared by the runtime-layer tests.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/vb/runtime_error.h"

namespace vbtest {

// The number of the vb::RuntimeError that f throws, 0 when it throws none.
template <typename F>
int ErrorOf(F&& f) {
    try {
        f();
    } catch (const vb::RuntimeError& e) {
        return e.number();
    }
    return 0;
}

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
public:
    explicit TempDir(const std::string& tag)
        : path_(std::filesystem::temp_directory_path() /
                ("vb_" + tag + "_" + std::to_string(::getpid()))) {
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ignored;  // a failed clean-up must not fail the test
        std::filesystem::remove_all(path_, ignored);
    }
    const std::filesystem::path& path() const { return path_; }
    std::string File(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

// The bytes of a file.
inline std::string FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace vbtest
