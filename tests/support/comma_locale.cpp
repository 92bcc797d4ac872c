#include "tests/support/comma_locale.h"

#include <clocale>
#include <cstdlib>
#include <string>

namespace testsupport {

void CommaLocaleTest::SetUp() {
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "nl_NL.UTF-8"})
        if (std::setlocale(LC_NUMERIC, name)) return;
    built_ = std::make_unique<TempDir>();
    const std::string cmd = "localedef -i de_DE -f UTF-8 '" + built_->Path("de_DE.UTF-8") + "' >/dev/null 2>&1";
    if (std::system(cmd.c_str()) == 0) {
        ::setenv("LOCPATH", built_->path().c_str(), 1);
        if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8")) return;
    }
    GTEST_SKIP() << "no locale with a decimal comma can be made here";
}

void CommaLocaleTest::TearDown() {
    std::setlocale(LC_NUMERIC, "C");
    if (built_) ::unsetenv("LOCPATH");
}

}  // namespace testsupport
