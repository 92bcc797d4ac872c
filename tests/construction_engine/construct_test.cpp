// DataSet.Construct without a table to count: the refusals that come before any search, the
// code table and its precedence, required links with and without bpres, cancel, progress and
// the log of a finished run. Every pair's mutual information is set before the run, as a log
// would supply it, so the runs here send no count query at all.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "construction_engine/data_set.h"
#include "construction_engine/errors.h"
#include "tests/support/temp_paths.h"
#include "tests/construction_engine/init_fixture.h"

namespace {

using namespace vrelltest;
using vrellapi::DataSet;

std::string TempPath(const std::string& name) { return testsupport::ProcessTempDir() + "vrell_c_" + name; }

vb::Array<Integer> ResultMatrix(Integer n, Integer fill = 0) {
    vb::Array<Integer> rst(vb::To(n - 1), vb::To(n - 1));
    rst.Fill(fill);
    return rst;
}

// Init over n fields of two values, then every pair's MI set to `mi`.
struct Prepared {
    InitArgs args;
    std::shared_ptr<testsupport::RecordingDatabase> rdb;
    explicit Prepared(Integer n) : args(Names(n)) {}
    static std::vector<std::string> Names(Integer n) {
        std::vector<std::string> v;
        for (Integer i = 0; i < n; ++i) v.push_back(std::string(1, char('A' + i)));
        return v;
    }
    void Run(DataSet& d, Single mi = 0.001f) {
        ScriptedTable t;
        for (const std::string& f : Names(args.numfld)) t.values[f] = TextValues(2);
        rdb = t.Database();
        args.Run(d, rdb);
        for (Integer i = 1; i <= d.numfld; ++i)
            for (Integer j = 1; j <= d.numfld; ++j)
                if (i != j) d.MICache(0, i, j) = d.MIWork(0, i, j) = mi;
        rdb->ClearLog();
    }
};

com::Error ConstructError(DataSet& d, Single perc, vb::Array<Integer>& rst) {
    bool bpres = false;
    try {
        d.Construct(perc, bpres, rst);
    } catch (const com::Error& e) {
        return e;
    }
    return com::Error(0, "", "");
}

TEST(ConstructRefusals, BeforeAnySearch) {
    vb::Array<Integer> rst = ResultMatrix(3);
    {
        DataSet d;
        EXPECT_EQ(ConstructError(d, 1, rst).number(), com::objectError(523)) << "no Init";
    }
    {
        Prepared p(3);
        RecordingSink sink;
        sink.cancelWhen = [](int, Single) { return true; };
        DataSet d;
        d.SetEventSink(&sink);
        p.Run(d);
        EXPECT_EQ(ConstructError(d, 1, rst).number(), com::objectError(523)) << "a cancelled Init";
    }
    for (Single perc : {0.0f, -1.0f, std::nanf("")}) {
        Prepared p(3);
        DataSet d;
        p.Run(d);
        const com::Error e = ConstructError(d, perc, rst);
        EXPECT_EQ(e.number(), com::objectError(524)) << perc;
        EXPECT_EQ(e.description(), "The threshold factor must be greater than 0");
        EXPECT_FALSE(d.Constructed) << "a refused call can be made again";
    }
    {
        Prepared p(3);
        DataSet d;
        p.Run(d);
        vb::Array<Integer> small = ResultMatrix(2);
        Single perc = 1;
        bool bpres = false;
        EXPECT_THROW(d.Construct(perc, bpres, small), vb::RuntimeError);
        EXPECT_EQ(p.rdb->QueryCount(), 0);
    }
}

TEST(ConstructRefusals, SecondRunOnOneObject) {
    Prepared p(3);
    DataSet d;
    p.Run(d);
    vb::Array<Integer> rst = ResultMatrix(3);
    EXPECT_EQ(ConstructError(d, 1, rst).number(), 0);
    const com::Error e = ConstructError(d, 1, rst);
    EXPECT_EQ(e.number(), com::objectError(522));
    EXPECT_EQ(e.source(), "DataSet Object");
}

TEST(ConstructRefusals, LogThatCouldNotBeWritten) {
    namespace fs = std::filesystem;
    const std::string existing = TempPath("existing.log");
    std::ofstream(existing, std::ios::binary) << "old log";
    struct Case {
        const char* what;
        std::string logo;
        std::function<void(DataSet&)> spoil;
        int32_t n;
        std::string text;
    };
    const Case cases[] = {
        {"a folder that does not exist", TempPath("none/x.log"), [](DataSet&) {}, 525,
         "The output log file " + TempPath("none/x.log") +
             " cannot be created; choose another file or folder"},
        {"a folder in place of the file", ::testing::TempDir(), [](DataSet&) {}, 525, ""},
        {"a label with a double quote", existing, [](DataSet& d) { d.StateLbl(2, 1) = "5\" PIPE"; }, 526,
         "The construction log cannot hold the double quote in the value 5\" PIPE of the field B; "
         "rename it, or run without an output log"},
        {"a name with a double quote", existing, [](DataSet& d) { d.FieldNames(3) = "[C\"]"; }, 526, ""},
        // The log is read line by line: a line break would end the item early.
        {"a label with a line break", existing, [](DataSet& d) { d.StateLbl(2, 1) = "TWO\nLINES"; }, 549,
         "The construction log cannot hold the line break in the value TWO\nLINES of the field B; "
         "rename it, or run without an output log"},
        {"a name with a carriage return", existing, [](DataSet& d) { d.FieldNames(3) = "[C\r]"; }, 549, ""},
    };
    for (const Case& c : cases) {
        Prepared p(3);
        p.args.logo = c.logo;
        DataSet d;
        p.Run(d);
        c.spoil(d);
        vb::Array<Integer> rst = ResultMatrix(3);
        RecordingSink sink;
        d.SetEventSink(&sink);
        const com::Error e = ConstructError(d, 1, rst);
        EXPECT_EQ(e.number(), com::objectError(c.n)) << c.what;
        if (!c.text.empty()) {
            EXPECT_EQ(e.description(), c.text) << c.what;
        }
        EXPECT_TRUE(sink.seen.empty()) << c.what << ": refused before the search";
    }
    std::ifstream in(existing, std::ios::binary);
    std::string kept((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(kept, "old log") << "checking a log leaves an existing file as it was";
    EXPECT_FALSE(fs::exists(TempPath("none")));
}

TEST(ConstructResult, CodeTableAndPrecedence) {
    struct Case {
        bool bord;
        Integer adj, reachIJ, reachJI, code;
    };
    const Case cases[] = {
        {false, 0, 1, 0, 0}, {true, 0, 0, 1, 0},  // no link, whatever Reach holds
        {true, 1, 0, 1, 1},  {true, 1, 1, 1, 1},  // a complete ordering points forward
        {false, 1, 1, 1, 4},                      // both ends reach each other
        {false, 1, 0, 1, 2}, {false, 1, 0, 0, 3}, {false, 1, 1, 0, 1},
    };
    for (const Case& c : cases) {
        Prepared p(2);
        p.args.bord = c.bord;
        DataSet d;
        p.Run(d);
        d.Adj(1, 2) = d.Adj(2, 1) = c.adj;
        d.Reach(1, 2) = c.reachIJ;
        d.Reach(2, 1) = c.reachJI;
        EXPECT_EQ(d.ResultCode(1, 2), c.code)
            << c.bord << " " << c.adj << " " << c.reachIJ << " " << c.reachJI;
    }
}

TEST(ConstructResult, RequiredLinksWithAndWithoutBpres) {
    struct Case {
        Integer from, to;  // 0-based, as the host gives them
        bool bpres;
        Integer code;      // rst(0, 1)
    };
    // The pair's MI is far below the threshold: only bpres keeps the link, and its direction
    // comes from the required link, whichever way it points.
    const Case cases[] = {{0, 1, true, 1}, {1, 0, true, 2}, {0, 1, false, 0}};
    for (const Case& c : cases) {
        Prepared p(3);
        p.args.ce(c.from, c.to) = 1;
        DataSet d;
        p.Run(d);
        vb::Array<Integer> rst = ResultMatrix(3, 9);
        Single perc = 1;
        bool bpres = c.bpres;
        d.Construct(perc, bpres, rst);
        EXPECT_EQ(rst(0, 1), c.code) << c.from << "->" << c.to << " bpres " << c.bpres;
        EXPECT_EQ(rst(0, 2), 0);
        EXPECT_EQ(rst(1, 2), 0);
        EXPECT_EQ(rst(0, 0), 9) << "the corner of a finished run is left as the host set it";
        EXPECT_EQ(rst(1, 0), 9) << "cells below the diagonal are the host's";
        EXPECT_EQ(p.rdb->QueryCount(), 0);
    }
}

TEST(ConstructRun, ThresholdProgressAndLog) {
    Prepared p(3);
    p.args.logo = TempPath("finished.log");
    std::filesystem::remove(p.args.logo);
    RecordingSink sink;
    DataSet d;
    d.SetEventSink(&sink);
    p.Run(d);
    sink.seen.clear();
    vb::Array<Integer> rst = ResultMatrix(3);
    Single perc = 2;
    bool bpres = false;
    d.Construct(perc, bpres, rst);
    EXPECT_EQ(d.Threshold, Single(2 * double(0.008f)));
    EXPECT_DOUBLE_EQ(double(d.ChiSq(1)), double(3.84f));
    EXPECT_EQ(d.ChiSq.UBound(), 4225);
    ASSERT_GE(sink.seen.size(), 3u);
    // Three pairs share 60 points of the pairwise pass; the search goes on from there.
    EXPECT_EQ(sink.seen[0], 20);
    EXPECT_EQ(sink.seen[2], 60);
    for (size_t i = 1; i < sink.seen.size(); ++i) EXPECT_GE(sink.seen[i], sink.seen[i - 1]);
    EXPECT_LE(sink.seen.back(), 100.01f);
    EXPECT_TRUE(std::filesystem::exists(p.args.logo));
}

TEST(ConstructRun, CancelMarksTheCornerAndWritesNoLog) {
    for (int cancelAt : {1, 4}) {  // in the pairwise pass, and in the search
        Prepared p(3);
        p.args.logo = TempPath("cancelled.log");
        std::filesystem::remove(p.args.logo);
        RecordingSink sink;
        DataSet d;
        d.SetEventSink(&sink);
        p.Run(d);
        sink.seen.clear();
        sink.cancelWhen = [cancelAt](int call, Single) { return call == cancelAt; };
        vb::Array<Integer> rst = ResultMatrix(3, 7);
        Single perc = 1;
        bool bpres = false;
        d.Construct(perc, bpres, rst);
        EXPECT_EQ(rst(0, 0), -1) << cancelAt;
        for (Integer i = 0; i < 3; ++i)
            for (Integer j = 0; j < 3; ++j)
                if (i || j) {
                    EXPECT_EQ(rst(i, j), 7) << cancelAt << ": " << i << "," << j;
                }
        EXPECT_FALSE(std::filesystem::exists(p.args.logo)) << cancelAt;
        EXPECT_EQ(int(sink.seen.size()), cancelAt);
    }
}

}  // namespace
