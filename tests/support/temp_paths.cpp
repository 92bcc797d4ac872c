// The process's own temporary folder: made once, removed at exit.
#include "tests/support/temp_paths.h"

#include <stdlib.h>

#include <filesystem>
#include <stdexcept>

namespace testsupport {
namespace {

class ProcessFolder {
public:
    ProcessFolder() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "bns-test-XXXXXX").string();
        if (!::mkdtemp(tmpl.data())) throw std::runtime_error("cannot make a temporary folder from " + tmpl);
        path_ = tmpl + "/";
    }
    ~ProcessFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

}  // namespace

const std::string& ProcessTempDir() {
    static const ProcessFolder folder;
    return folder.path();
}

}  // namespace testsupport
