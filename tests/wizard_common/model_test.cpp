// The Qt-free rules the three wizards share: path splitting, file-dialog filters, number boxes,
// the file tests before overwriting, step captions and the test-data format list.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QTemporaryDir>
#include <fstream>

#include "wizard_common/model/db_formats.h"
#include "wizard_common/model/file_filter.h"
#include "wizard_common/model/file_rules.h"
#include "wizard_common/model/numbers.h"
#include "wizard_common/model/paths.h"
#include "wizard_common/model/step_caption.h"

namespace {

TEST(GetPath, SplitsOnTheLastSlash) {
    struct Case { const char* path; const char* folder; };
    const Case cases[] = {
        {"/home/ann/data/train.db", "/home/ann/data"},
        {"/train.db", "/"},                 // a file in the root folder
        {"train.db", ""},                   // no folder: the remembered one stays
        {"", ""},
        {"/home/ann/", "/home/ann"},
        {"C:\\data\\train.mdb", ""},        // a backslash is part of a Linux file name
        {"relative/dir/x.db", "relative/dir"},
    };
    for (const Case& c : cases) EXPECT_EQ(wizard::GetPath(c.path), c.folder) << c.path;
}

TEST(ToQtFilter, RebuildsEachEntryFromItsPatterns) {
    struct Case { const char* filter; const char* qt; };
    const Case cases[] = {
        {"Microsoft Access (*.mdb)|*.mdb|All Files (*.*)|*.*", "Microsoft Access (*.mdb);;All Files (*)"},
        {"Xbase (*.dbf)|*.dbf", "Xbase (*.dbf)"},
        {wizard::kDatabaseFilter,
         "Database files (*.db *.sqlite *.mdb *.accdb);;All Files (*)"},
        {"Network files|*.dne;*.net;*.bif", "Network files (*.dne *.net *.bif)"},
        {"Odd entry", "Odd entry"},
        {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(wizard::ToQtFilter(c.filter), c.qt) << c.filter;
}

TEST(WithFilterExtension, AddsTheChosenEntrysExtensionOnlyWhenNoneIsTyped) {
    const char* bnc = "Bayesian net classifier file (*.bnc)|*.bnc";
    const char* text = "Text file (*.txt)|*.txt|All Files (*.*)|*.*";
    const char* nets = "Netica file (*.dne)|*.dne|Hugin net file (*.net)|*.net|Bayesian Interchange 0.15 (*.bif)|*.bif";
    const char* target = "Database files (*.db *.sqlite *.mdb)|*.db;*.sqlite;*.mdb";
    struct Case { const char* typed; const char* filter; int entry; const char* name; };
    const Case cases[] = {
        {"/d/churn", bnc, 0, "/d/churn.bnc"},
        {"/d/churn.bnc", bnc, 0, "/d/churn.bnc"},
        {"/d/churn.txt", bnc, 0, "/d/churn.txt"},  // another extension is the user's choice
        {"/d/report", text, 0, "/d/report.txt"},
        {"/d/report", text, 1, "/d/report"},       // "All Files" names no extension
        {"/d/net", nets, 1, "/d/net.net"},
        {"/d/net", nets, 2, "/d/net.bif"},
        {"/d/net.dne", nets, 2, "/d/net.dne"},
        {"/d/copy", target, 0, "/d/copy.db"},       // the entry's first pattern
        {"/home/a.b/churn", bnc, 0, "/home/a.b/churn.bnc"},  // a dot of the folder is no extension
        {"/d/churn.", bnc, 0, "/d/churn."},
        {"/d/churn", bnc, 3, "/d/churn"},           // no such entry
    };
    for (const Case& c : cases)
        EXPECT_EQ(wizard::WithFilterExtension(c.typed, c.filter, c.entry), c.name) << c.typed << " " << c.entry;
}

TEST(WholeNumberInRange, ReadsTheWholeTrimmedTextAndRoundsHalvesToEven) {
    struct Case { const char* text; int64_t lo, hi; std::optional<int64_t> value; };
    const Case cases[] = {
        {"5000", 5000, 2147483647, 5000},
        {" 5000 ", 5000, 2147483647, 5000},
        {"4999", 5000, 2147483647, std::nullopt},
        {"4999.5", 5000, 2147483647, std::nullopt},   // below the limit before rounding
        {"5000.5", 5000, 2147483647, 5000},           // half to even
        {"5001.5", 5000, 2147483647, 5002},
        {"3000000000", 5000, 2147483647, std::nullopt},  // beyond a Long
        {"abc", 5000, 2147483647, std::nullopt},
        {"12abc", 2, 100, std::nullopt},
        {"", 2, 100, std::nullopt},
        {"1e2", 2, 100, 100},
        {"100.4", 2, 100, std::nullopt},             // above the limit before rounding
        {"99.5", 2, 100, 100},
        {"101", 2, 100, std::nullopt},
        {"2.5", 2, 100, 2},
    };
    for (const Case& c : cases) EXPECT_EQ(wizard::WholeNumberInRange(c.text, c.lo, c.hi), c.value) << c.text;
}

TEST(FileRules, OnlyRegularWritableFilesAreNormal) {
    QTemporaryDir dir;
    const std::string full = dir.filePath("full.log").toStdString();
    const std::string empty = dir.filePath("empty.log").toStdString();
    const std::string readOnly = dir.filePath("ro.log").toStdString();
    std::ofstream(full) << "x";
    std::ofstream{empty};
    std::ofstream(readOnly) << "x";
    ::chmod(readOnly.c_str(), 0444);
    EXPECT_EQ(wizard::ExaminePath(full), wizard::FileState::Normal);
    EXPECT_EQ(wizard::ExaminePath(empty), wizard::FileState::Empty);
    EXPECT_EQ(wizard::ExaminePath(dir.filePath("none").toStdString()), wizard::FileState::Missing);
    EXPECT_EQ(wizard::ExaminePath(dir.path().toStdString()), wizard::FileState::NotReadWrite);
    EXPECT_EQ(wizard::ExaminePath(readOnly), wizard::FileState::NotReadWrite);
    EXPECT_EQ(wizard::FileLength(empty), 0u);
    EXPECT_EQ(wizard::FileLength(dir.path().toStdString()), std::nullopt);
}

TEST(StepCaption, EachProgramCountsItsOwnSteps) {
    struct Case { const wizard::WizardFrame& frame; int page; const char* caption; };
    const Case cases[] = {
        {wizard::ZorvFrame(), 0, "Belief Network Kalvex - Cover"},
        {wizard::ZorvFrame(), 3, "Belief Network Kalvex - Step 3 of 8"},
        {wizard::ZorvFrame(), 7, "Belief Network Kalvex - Step 7a of 8"},
        {wizard::ZorvFrame(), 9, "Belief Network Kalvex - Step 8 of 8"},
        {wizard::VrellFrame(), 0, "Belief Network Tormid - Introduction "},
        {wizard::VrellFrame(), 3, "Belief Network Tormid - Step 2b of 5"},
        {wizard::VrellFrame(), 6, "Belief Network Tormid - Step 5 of 5"},
        {wizard::VrellFrame(), 7, "Belief Network Tormid - Finished!"},
        {wizard::TruneFrame(), 0, "Sorvane - Introduction "},
        {wizard::TruneFrame(), 2, "Sorvane - Step 2a of 4"},
        {wizard::TruneFrame(), 5, "Sorvane - Step 4 of 4"},
        {wizard::TruneFrame(), 6, "Sorvane - Finished!"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(wizard::StepCaption(c.frame, c.page), c.caption) << c.frame.title << " " << c.page;
}

TEST(DatabaseFormats, SeventeenEntriesEndingWithOdbc) {
    const auto& formats = wizard::DatabaseFormats();
    ASSERT_EQ(formats.size(), 17u);
    EXPECT_STREQ(formats[wizard::kOdbcFormat].item, "Remote (ODBC)");
    EXPECT_STREQ(formats[15].connect, "Text;");
}

}  // namespace
