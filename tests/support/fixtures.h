// The folder of fixtures that come from outside the project (real Access files written by
// Access): BNSUITE_FIXTURES when it is set, else ../shared/fixtures beside the source tree. A
// fresh clone has no such folder, so the tests that need it skip, saying which folder they
// looked for; with BNSUITE_REQUIRE_FIXTURES=1 (as CI sets it) they fail instead, so that a run
// never passes without the real files. A test that reads them begins with
//
//     BNS_USE_SHARED_FIXTURES(fixtures);   // std::string fixtures: the folder, ending in "/"
//     auto db = db::DBEngine::OpenDatabase(fixtures + "access/nwind.mdb", false, true, "");
#pragma once

#include <gtest/gtest.h>

#include <string>

namespace testsupport {

struct FixtureFolder {
    std::string path;      // ending in "/"
    bool present = false;  // the folder exists
    bool required = false; // BNSUITE_REQUIRE_FIXTURES set (and not 0): absent is a failure
    // The one line a skipped or failed test gives when the folder is absent.
    std::string Missing() const;
};

// The folder as the environment names it (either may be null) beside the built-in default.
FixtureFolder FindFixtures(const char* folderVariable, const char* requireVariable, const std::string& fallback);
// The folder for this process: the environment and the default fixed at build time.
const FixtureFolder& SharedFixtures();

}  // namespace testsupport

// Declares `std::string var` holding the folder, or ends the test: skipped when the folder is
// absent, failed when it is absent and required.
#define BNS_USE_SHARED_FIXTURES(var)                                                   \
    const ::testsupport::FixtureFolder& var##_folder = ::testsupport::SharedFixtures(); \
    if (!var##_folder.present) {                                                       \
        if (var##_folder.required) FAIL() << var##_folder.Missing();                   \
        GTEST_SKIP() << var##_folder.Missing();                                        \
    }                                                                                  \
    const std::string var = var##_folder.path
