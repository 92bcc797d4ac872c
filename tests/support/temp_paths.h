// A folder of this test process's own for the files its tests write under fixed names, so that
// test runs side by side (two build trees, two ctest runs) never write over each other's files.
// It is made on first use and removed when the process ends.
#pragma once

#include <string>

namespace testsupport {

// The folder's path, ending in "/" (as ::testing::TempDir() does).
const std::string& ProcessTempDir();

}  // namespace testsupport
