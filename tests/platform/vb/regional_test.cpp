#include "platform/vb/regional.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <clocale>
#include <cstdlib>
#include <optional>
#include <string>

#include "platform/vb/text_file.h"
#include "tests/support/comma_locale.h"
#include "tests/platform/vb/vb_test_util.h"

namespace {

using vbtest::ErrorOf;

using CommaLocale = testsupport::CommaLocaleTest;

TEST(Regional, TheCLocaleUsesAPoint) {
    std::setlocale(LC_NUMERIC, "C");
    EXPECT_EQ(vb::RegionalDecimal(), ".");
    EXPECT_EQ(vb::RegionalFixed(0.1234567, 5), "0.12346");
    EXPECT_EQ(vb::RegionalText(2.5), "2.5");
    EXPECT_EQ(vb::ParseRegionalSingle("0.25"), 0.25f);
    EXPECT_EQ(ErrorOf([] { vb::ParseRegionalDouble("0,25"); }), 13);
    EXPECT_FALSE(vb::CurrentDateText().empty());
    EXPECT_FALSE(vb::CurrentTimeText().empty());
}

TEST_F(CommaLocale, RegionalFormsFollowTheLocaleAndListStyleDoesNot) {
    EXPECT_EQ(vb::RegionalDecimal(), ",");
    EXPECT_EQ(vb::RegionalFixed(0.1234567, 5), "0,12346");
    EXPECT_EQ(vb::RegionalFixed(12, 4), "12,0000");
    EXPECT_EQ(vb::RegionalText(2.5), "2,5");
    EXPECT_EQ(vb::RegionalText(1.5e-7), "1,5E-07");
    EXPECT_EQ(vb::RegionalStr(0.5f), " ,5");
    EXPECT_EQ(vb::ParseRegionalSingle("0,12346"), 0.12346f);
    // A log written under a point cannot be read under a comma: a type mismatch, not 12346.
    EXPECT_EQ(ErrorOf([] { vb::ParseRegionalSingle("0.12346"); }), 13);
    // The invariant forms ignore the locale.
    EXPECT_EQ(vb::NumberText(2.5), "2.5");
    EXPECT_EQ(vb::ParseDouble("2.5"), 2.5);

    vbtest::TempDir dir("regional");
    std::string file = dir.File("mixed.txt");
    {
        vb::TextWriter w(file);
        w.Print(0.5).EndLine();                 // print style: regional
        w.WriteLine(0.5, 0.25f);                // list style: always "."
        w.Write(vb::RegionalFixed(0.5, 5));     // a regional text in a list line
        w.EndLine();
        w.Close();
    }
    EXPECT_EQ(vbtest::FileBytes(file), " ,5 \r\n0.5,0.25\r\n\"0,50000\",\r\n");
    vb::TextReader r(file);
    EXPECT_EQ(r.LineInput(), " ,5 ");
    EXPECT_EQ(r.ReadDouble(), 0.5);
    EXPECT_EQ(r.ReadSingle(), 0.25f);
    EXPECT_EQ(vb::ParseRegionalSingle(r.ReadItem()), 0.5f);
}

}  // namespace
