// Where the shared fixtures are, and whether a run may go without them.
#include "tests/support/fixtures.h"

#include <cstdlib>
#include <filesystem>

namespace testsupport {

std::string FixtureFolder::Missing() const {
    return "fixture folder " + path + " not found (set BNSUITE_FIXTURES to its path)";
}

FixtureFolder FindFixtures(const char* folderVariable, const char* requireVariable, const std::string& fallback) {
    FixtureFolder f;
    f.path = folderVariable && *folderVariable ? folderVariable : fallback;
    std::error_code ec;
    f.path = std::filesystem::weakly_canonical(f.path, ec).string();
    if (ec || f.path.empty()) f.path = folderVariable && *folderVariable ? folderVariable : fallback;
    if (f.path.back() != '/') f.path += '/';
    f.present = std::filesystem::is_directory(f.path, ec);
    f.required = requireVariable && *requireVariable && std::string(requireVariable) != "0";
    return f;
}

const FixtureFolder& SharedFixtures() {
    static const FixtureFolder folder =
        FindFixtures(std::getenv("BNSUITE_FIXTURES"), std::getenv("BNSUITE_REQUIRE_FIXTURES"), BNS_SHARED_FIXTURES);
    return folder;
}

}  // namespace testsupport
