// The shared fixture folder: found through the environment or the default, and a test that
// needs it skipping when it is absent, or failing when the run requires it.
#include "tests/support/fixtures.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/support/db_contract.h"

namespace {

TEST(SharedFixtures, FolderComesFromTheVariableOrTheDefault) {
    testsupport::TempDir dir;
    const std::string gone = dir.Path("gone");
    struct Case {
        const char* what;
        const char* folder;
        const char* require;
        std::string expectedPath;
        bool present, required;
    };
    const Case cases[] = {
        {"default", nullptr, nullptr, dir.path() + "/", true, false},
        {"variable over the default", gone.c_str(), nullptr, gone + "/", false, false},
        {"empty variable: the default", "", "", dir.path() + "/", true, false},
        {"required", gone.c_str(), "1", gone + "/", false, true},
        {"required 0 is not required", gone.c_str(), "0", gone + "/", false, false},
    };
    for (const Case& c : cases) {
        const testsupport::FixtureFolder f = testsupport::FindFixtures(c.folder, c.require, dir.path());
        EXPECT_EQ(f.path, c.expectedPath) << c.what;
        EXPECT_EQ(f.present, c.present) << c.what;
        EXPECT_EQ(f.required, c.required) << c.what;
    }
    EXPECT_EQ(testsupport::FindFixtures(gone.c_str(), nullptr, "").Missing(),
              "fixture folder " + gone + "/ not found (set BNSUITE_FIXTURES to its path)");
}

// Run by the test below in a child process of this executable, under the environment it sets.
TEST(SharedFixtures, DISABLED_Probe) {
    BNS_USE_SHARED_FIXTURES(fixtures);
    std::printf("probe saw %s\n", fixtures.c_str());
}

struct ProbeRun {
    int status = -1;
    std::string output;
};

ProbeRun RunProbe(const std::string& environment) {
    const std::string command = environment + " /proc/" + std::to_string(::getpid()) +
                                "/exe --gtest_also_run_disabled_tests --gtest_filter=SharedFixtures.DISABLED_Probe 2>&1";
    ProbeRun run;
    if (FILE* p = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        while (size_t n = std::fread(buffer, 1, sizeof buffer, p)) run.output.append(buffer, n);
        run.status = ::pclose(p);
    }
    return run;
}

TEST(SharedFixtures, AbsentFolderSkipsOrFailsWhenRequired) {
    testsupport::TempDir dir;
    const std::string gone = dir.Path("gone");

    ProbeRun skipped = RunProbe("BNSUITE_FIXTURES='" + gone + "' BNSUITE_REQUIRE_FIXTURES=");
    EXPECT_EQ(skipped.status, 0) << skipped.output;
    EXPECT_NE(skipped.output.find("[  SKIPPED ] 1 test"), std::string::npos) << skipped.output;
    EXPECT_NE(skipped.output.find("fixture folder " + gone + "/ not found"), std::string::npos) << skipped.output;

    ProbeRun failed = RunProbe("BNSUITE_FIXTURES='" + gone + "' BNSUITE_REQUIRE_FIXTURES=1");
    EXPECT_NE(failed.status, 0) << failed.output;
    EXPECT_NE(failed.output.find("[  FAILED  ] 1 test"), std::string::npos) << failed.output;
    EXPECT_NE(failed.output.find("fixture folder " + gone + "/ not found"), std::string::npos) << failed.output;

    ProbeRun present = RunProbe("BNSUITE_FIXTURES='" + dir.path() + "' BNSUITE_REQUIRE_FIXTURES=1");
    EXPECT_EQ(present.status, 0) << present.output;
    EXPECT_NE(present.output.find("probe saw " + dir.path() + "/"), std::string::npos) << present.output;
}

}  // namespace
