// A test that runs under a locale whose decimal symbol is a comma (LC_NUMERIC only), for the
// regional number forms. When the system has none installed, one is compiled into a temporary
// folder with localedef; when that fails too the test is skipped.
//
//     class Labels : public testsupport::CommaLocaleTest {};
//     TEST_F(Labels, UseTheComma) { EXPECT_EQ(vb::RegionalDecimal(), ","); }
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "tests/support/db_contract.h"

namespace testsupport {

class CommaLocaleTest : public ::testing::Test {
protected:
    void SetUp() override;
    // Back to the "C" locale.
    void TearDown() override;

private:
    std::unique_ptr<TempDir> built_;
};

}  // namespace testsupport
