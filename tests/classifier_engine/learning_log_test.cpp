// The classifier's learning log: a log written by one run gives the next run the same
// statistics without counting them again; logs of the other hold-out setting are ignored; the
// fields are matched by name; bad logs fail with 515 or 518; pairs never computed stay so; the
// mutual information reads under either decimal symbol.
#include <gtest/gtest.h>

#include <cctype>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "classifier_engine/data_engine.h"
#include "tests/classifier_engine/learning_host.h"
#include "tests/support/db_contract.h"
#include "tests/support/engine_fixture.h"
#include "tests/support/full_disk.h"
#include "tests/support/network_sampler.h"
#include "tests/support/recording_db.h"

namespace {

using testsupport::CommaLocale;
using testsupport::ReadFile;
using testsupport::RecordingDatabase;
using testsupport::TempDir;
using testsupport::WriteFile;
using vb::Integer;
using vb::Long;
using vb::Single;
using zorvapi::DataEngine;
using Args = learning_host::StruArgs;  // neutral knowledge over the fields

// An engine on a table through a recording database, set up for learning with `a`.
struct LearningRun {
    std::shared_ptr<RecordingDatabase> rdb;
    DataEngine e;

    LearningRun(const std::shared_ptr<db::Database>& file, const std::string& table, Args a,
        Integer maxVlus) {
        rdb = std::make_shared<RecordingDatabase>(file);
        Long rows = 5000;
        e.Init(rows, maxVlus);
        std::shared_ptr<db::Database> dbp = rdb;
        std::string name = table, weight;
        e.InitLearn(dbp, name, weight);
        rdb->ClearLog();
        a.Run(e);
    }
};

// ---- a log from a learning run ----

// Cls -> A -> B -> D, Cls -> B, Cls -> E, F and G unrelated. E has three values, one more than
// the limit of 2 these runs use.
const std::vector<std::string> kFields{"Cls", "A", "B", "D", "E", "F", "G"};

std::shared_ptr<db::Database> SampleDatabase(const TempDir& dir) {
    testsupport::Network net;
    const int cls = net.AddNode("Cls", {"N", "Y"}, {}, {{0.6, 0.4}});
    const int a = net.AddNode("A", {"A0", "A1"}, {cls}, {{0.8, 0.2}, {0.3, 0.7}});
    const int b = net.AddNode("B", {"B0", "B1"}, {cls, a},
                              {{0.9, 0.1}, {0.5, 0.5}, {0.4, 0.6}, {0.1, 0.9}});
    net.AddNode("D", {"D0", "D1"}, {b}, {{0.75, 0.25}, {0.2, 0.8}});
    net.AddNode("E", {"E0", "E1", "E2"}, {cls}, {{0.5, 0.3, 0.2}, {0.2, 0.3, 0.5}});
    net.AddNode("F", {"F0", "F1"});
    net.AddNode("G", {"G0", "G1"});
    testsupport::TableOptions opt;
    opt.table = "T";
    const testsupport::SampledTable t = testsupport::SampleTable(net, 1200, opt);
    return testsupport::WriteSqliteTable(dir.Path("t.db"), t);
}

// What a learning run computes: the pairs of every layer and a few conditioning sets (subsets
// from one table, and a set of four summed in one pass).
void Learn(DataEngine& e, bool perClassLayers = true) {
    e.NetIdx = 0;
    e.WhereClause = "";
    e.FirstFld = 1;
    e.InitStruBN();
    e.NetIdx = 0;
    e.WhereClause = "";
    auto cmi = [&](Integer a, Integer b, std::vector<Integer> set) {
        for (size_t s = 0; s < set.size(); ++s) e.CondSet(Integer(s + 1)) = set[s];
        return e.GetCMI(a, b, Integer(set.size()));
    };
    cmi(2, 4, {6, 3});
    cmi(4, 7, {1, 2, 3, 6});
    if (!perClassLayers) return;
    e.FirstFld = 2;
    e.InitStruMN();
    e.NetIdx = 1;
    e.WhereClause = e.ClassFilter(e.ClassValues(), 1);
    cmi(2, 4, {3});
}

void ExpectSameStatistics(const DataEngine& got, const DataEngine& want, const std::string& what) {
    EXPECT_EQ(got.FF, want.FF) << what;
    EXPECT_EQ(got.VluLbl, want.VluLbl) << what;
    EXPECT_EQ(got.NetTotal, want.NetTotal) << what;
    EXPECT_EQ(got.VluCnt, want.VluCnt) << what;
    for (Integer k = 0; k <= want.nc; ++k)
        for (Integer i = 1; i < want.numfld; ++i)
            for (Integer j = Integer(i + 1); j <= want.numfld; ++j) {
                const std::string pair = what + ", layer " + std::to_string(k) + ", pair " +
                                         std::to_string(i) + "-" + std::to_string(j);
                // The log keeps five decimals.
                const Single w = want.MICache(k, i, j);
                if (w == -100) EXPECT_EQ(got.MICache(k, i, j), -100) << pair;
                else EXPECT_NEAR(got.MICache(k, i, j), std::fabs(w), 5e-6) << pair;
                const auto& a = got.SetCache.Slots(k, i, j);
                const auto& b = want.SetCache.Slots(k, i, j);
                ASSERT_EQ(a.size(), b.size()) << pair;
                for (size_t s = 0; s < a.size(); ++s) {
                    EXPECT_EQ(a[s].fields, b[s].fields) << pair;
                    EXPECT_EQ(a[s].cmi, b[s].cmi) << pair;
                }
            }
}

// A run on the sample table that learned and wrote its log to `log`.
std::unique_ptr<LearningRun> LoggedRun(const std::shared_ptr<db::Database>& file, const std::string& log) {
    Args writing(kFields);
    writing.logo = log;
    auto run = std::make_unique<LearningRun>(file, "T", writing, 2);
    Learn(run->e);
    run->e.WriteLog();
    return run;
}

TEST(LearningLog, TheNextRunGetsTheStatisticsWithoutCountingThem) {
    TempDir dir;
    auto file = SampleDatabase(dir);
    const auto run = LoggedRun(file, dir.Path("run.log"));
    const LearningRun& first = *run;
    ASSERT_GT(first.e.SetCache.Count(0, 2, 4), 0);

    Args reading(kFields);
    reading.logi = dir.Path("run.log");
    LearningRun second(file, "T", reading, 2);
    EXPECT_EQ(second.rdb->CountQueries(), 0);
    // The class values, and the total and each labelled field's values (all but E, over the
    // limit) to check the log against the table.
    EXPECT_EQ(second.rdb->QueryCount(), 1 + 1 + 6);
    EXPECT_EQ(second.e.FF(5), 3) << "E is over the limit";
    EXPECT_EQ(second.e.NetTotal(2), first.e.NetTotal(2));

    // Learning again finds everything in the caches.
    Learn(second.e);
    EXPECT_EQ(second.rdb->CountQueries(), 0);
    ExpectSameStatistics(second.e, first.e, "after learning");
}

// A log written before the table changed (a row more; a value the log does not know) would
// learn another model: it is refused at set-up, naming the log and what differs.
TEST(LearningLog, ALogOfAChangedTableIsRefused) {
    TempDir dir;
    const std::string log = dir.Path("run.log");
    LoggedRun(SampleDatabase(dir), log);
    struct Case {
        const char* change;
        const char* said;
    };
    const Case cases[] = {
        {"INSERT INTO T VALUES (\"N\", \"A0\", \"B0\", \"D0\", \"E0\", \"F0\", \"G0\", False)",
         "(the table counts 1201, the log 1200)"},
        {"UPDATE T SET G = \"G9\" WHERE G = \"G0\" AND A = \"A1\"", "holds the value G9"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.change);
        TempDir again;
        auto changed = SampleDatabase(again);
        changed->Execute(c.change);
        Args reading(kFields);
        reading.logi = log;
        try {
            LearningRun second(changed, "T", reading, 2);
            ADD_FAILURE() << "the log was used";
        } catch (const com::Error& e) {
            EXPECT_EQ(e.number(), com::objectError(545));
            EXPECT_NE(e.description().find(log), std::string::npos) << e.description();
            EXPECT_NE(e.description().find(c.said), std::string::npos) << e.description();
        }
    }
}

// A write that fails part-way (a full disk) leaves the earlier log as it was and no temporary
// file beside it.
TEST(LearningLog, AFailedWriteLeavesTheEarlierLog) {
    TempDir dir;
    auto file = SampleDatabase(dir);
    testsupport::FullDisk disk;
    Args writing(kFields);
    writing.logo = disk.Path("run.log");
    WriteFile(writing.logo, "the earlier log\r\n");
    LearningRun run(file, "T", writing, 2);
    Learn(run.e);
    disk.Fill();
    try {
        run.e.WriteLog();
        ADD_FAILURE() << "the write on a full disk succeeded";
    } catch (const vb::RuntimeError& e) {
        EXPECT_EQ(e.number(), 57) << e.description();
    }
    disk.Free();
    EXPECT_EQ(ReadFile(writing.logo), "the earlier log\r\n");
    EXPECT_EQ(disk.Files(), std::vector<std::string>{"run.log"});
}

TEST(LearningLog, PairsNeverComputedStayNotComputed) {
    TempDir dir;
    auto file = SampleDatabase(dir);
    Args writing(kFields);
    writing.logo = dir.Path("run.log");
    LearningRun first(file, "T", writing, 2);
    Learn(first.e, /*perClassLayers=*/false);
    first.e.WriteLog();
    // Such a pair is written as its absolute value.
    EXPECT_NE(ReadFile(writing.logo).find("\"100.00000\""), std::string::npos);

    Args reading(kFields);
    reading.logi = writing.logo;
    LearningRun second(file, "T", reading, 2);
    EXPECT_EQ(second.e.MICache(1, 2, 3), -100);
    second.e.FirstFld = 2;
    second.e.InitStruMN();
    EXPECT_GT(second.rdb->CountQueries(), 0) << "the per-class pairs are counted now";

    LearningRun fresh(file, "T", Args(kFields), 2);
    fresh.e.FirstFld = 2;
    fresh.e.InitStruMN();
    for (Integer k = 1; k <= 2; ++k)
        for (Integer i = 2; i < 7; ++i)
            for (Integer j = Integer(i + 1); j <= 7; ++j)
                // Equal up to the order of the sum, which depends on the query that computed it.
                EXPECT_FLOAT_EQ(second.e.MICache(k, i, j), fresh.e.MICache(k, i, j))
                    << k << " " << i << "-" << j;
}

TEST(LearningLog, ALogOfTheOtherHoldOutSettingIsIgnored) {
    TempDir dir;
    auto file = SampleDatabase(dir);
    for (bool writtenOnLearningRows : {true, false}) {
        Args writing(kFields);
        writing.FixedThr = !writtenOnLearningRows;  // a threshold search holds rows out
        writing.logo = dir.Path("run.log");
        LearningRun first(file, "T", writing, 2);
        ASSERT_EQ(first.e.LearnRowsOnly, writtenOnLearningRows);
        first.e.WriteLog();

        Args reading(kFields);
        reading.FixedThr = writtenOnLearningRows;
        reading.logi = writing.logo;
        LearningRun second(file, "T", reading, 2);
        Args none(kFields);
        none.FixedThr = writtenOnLearningRows;
        LearningRun fresh(file, "T", none, 2);
        EXPECT_EQ(second.rdb->Texts(), fresh.rdb->Texts()) << writtenOnLearningRows;
        ExpectSameStatistics(second.e, fresh.e,
                             writtenOnLearningRows ? "log on learning rows" : "log on all rows");
    }
}

// ---- a golden log ----

const std::string kLog =
    "4\r\n"
    "\"C\",\"A\",\"B\",\"D\",\r\n"
    "#FALSE#\r\n"
    "10\r\n"
    "2,\"N\",\"Y\",\r\n"
    "2,\"A0\",\"A1\",\r\n"
    "3,\"B0\",\"B1\",\"B2\",\r\n"
    "2,\"D0\",\"D1\",\r\n"
    // counts of layer 0, 1 (C = N), 2 (C = Y)
    "2,6,4,\r\n"
    "2,5,5,\r\n"
    "3,2,3,5,\r\n"
    "2,7,3,\r\n"
    "2,6,0,\r\n"
    "2,4,2,\r\n"
    "3,1,2,3,\r\n"
    "2,5,1,\r\n"
    "2,0,4,\r\n"
    "2,1,3,\r\n"
    "3,1,1,2,\r\n"
    "2,2,2,\r\n"
    // mutual information of layer 0, 1, 2; layer 2's pairs were never computed
    "\"0.12345\",\"0.00000\",\"0.02000\",\r\n"
    "\"0.54321\",\"0.00100\",\r\n"
    "\"0.00321\",\r\n"
    "\"0.00000\",\"0.00000\",\"0.00000\",\r\n"
    "\"0.01000\",\"0.20000\",\r\n"
    "\"0.03000\",\r\n"
    "\"0.00000\",\"0.00000\",\"0.00000\",\r\n"
    "\"100.00000\",\"100.00000\",\r\n"
    "\"100.00000\",\r\n"
    // cached sets: layer, pair, size, members, CMI
    "0,1,2,2,3,4,0.2\r\n"
    "0,2,3,0,0.5\r\n"
    "0,2,4,1,3,0.0123\r\n"
    "1,2,3,1,4,0.25\r\n";

std::shared_ptr<db::Database> GoldenTable(const TempDir& dir) {
    testsupport::CreateSqliteFile(
        dir.Path("g.db"),
        {{"T",
          {{"C", db::dbText},
           {"A", db::dbText},
           {"B", db::dbText},
           {"D", db::dbText},
           {"E", db::dbText}},
          // The 10 rows the golden log counts.
          {{"N", "A0", "B0", "D0", "e0"},
           {"Y", "A1", "B1", "D1", "e1"},
           {"N", "A0", "B2", "D0", "e0"},
           {"N", "A0", "B2", "D0", "e0"},
           {"N", "A1", "B2", "D0", "e0"},
           {"N", "A1", "B0", "D0", "e1"},
           {"N", "A0", "B1", "D1", "e0"},
           {"Y", "A1", "B1", "D1", "e1"},
           {"Y", "A1", "B2", "D0", "e1"},
           {"Y", "A0", "B2", "D0", "e0"}}}});
    return db::DBEngine::OpenDatabase(dir.Path("g.db"));
}

// A run over the golden table that reads `log` with the fields `fields`.
LearningRun ReadLog(const TempDir& dir, const std::string& log,
                    const std::vector<std::string>& fields) {
    WriteFile(dir.Path("in.log"), log);
    Args a(fields);
    a.logi = dir.Path("in.log");
    a.logo = dir.Path("out.log");
    return LearningRun(GoldenTable(dir), "T", a, 10);
}

TEST(LearningLog, GoldenLogReadsBackAndWritesTheSameBytes) {
    TempDir dir;
    LearningRun r = ReadLog(dir, kLog, {"C", "A", "B", "D"});
    EXPECT_EQ(r.rdb->CountQueries(), 0);
    EXPECT_EQ(r.e.NetTotal(0), 10);
    EXPECT_EQ(r.e.NetTotal(2), 4);
    EXPECT_EQ(r.e.VluLbl(3, 3), "B2");
    EXPECT_EQ(r.e.MICache(0, 2, 1), 0.12345f);
    EXPECT_EQ(r.e.MIWork(0, 1, 2), 0.12345f);
    EXPECT_EQ(r.e.MICache(2, 2, 3), -100);
    EXPECT_EQ(r.e.SetCache.Count(0, 2, 3), 1);
    r.e.WriteLog();
    EXPECT_EQ(ReadFile(dir.Path("out.log")), kLog);
}

TEST(LearningLog, FieldsAreMatchedByName) {
    {
        // Another order: the statistics follow the names and a set's members are stored in
        // this run's numbers, ascending (B, D of the log are 3 and 2 here).
        TempDir dir;
        LearningRun r = ReadLog(dir, kLog, {"C", "D", "B", "A"});
        EXPECT_EQ(r.rdb->CountQueries(), 0);
        EXPECT_EQ(r.e.VluLbl(2, 2), "D1");
        EXPECT_EQ(r.e.VluCnt(1, 4, 2), 2);
        EXPECT_EQ(r.e.MICache(0, 1, 4), 0.12345f);
        ASSERT_EQ(r.e.SetCache.Count(0, 1, 4), 1);
        EXPECT_EQ(r.e.SetCache.Slots(0, 1, 4)[0].fields, (std::vector<Integer>{2, 3}));
        EXPECT_EQ(r.e.SetCache.Slots(0, 1, 4)[0].cmi, 0.2f);
    }
    {
        // The log lacks E and has B, which this run lacks: B is read and dropped with every set
        // that names it; E is labelled from the database and its pairs are still to compute.
        TempDir dir;
        LearningRun r = ReadLog(dir, kLog, {"C", "D", "A", "E"});
        EXPECT_EQ(std::vector<Integer>(r.e.LogMap.cells().begin(), r.e.LogMap.cells().end()),
                  (std::vector<Integer>{0, 1, 3, 0, 2}));
        EXPECT_EQ(r.e.FF(4), 2);
        EXPECT_EQ(r.e.VluLbl(4, 2), "E1");
        EXPECT_EQ(r.e.MICache(0, 1, 4), -100);
        EXPECT_EQ(r.e.MICache(0, 1, 3), 0.12345f);
        EXPECT_EQ(r.e.MICache(0, 2, 3), 0.001f);  // D and A
        for (Integer k = 0; k <= 2; ++k)
            for (Integer i = 1; i < 4; ++i)
                for (Integer j = Integer(i + 1); j <= 4; ++j)
                    EXPECT_EQ(r.e.SetCache.Count(k, i, j), 0);
    }
}

TEST(LearningLog, ErrorsOfABadLog) {
    auto replace = [](std::string s, const std::string& from, const std::string& to) {
        return s.replace(s.find(from), from.size(), to);
    };
    const char* const invalid = "Invalid input log file";
    const char* const pastEnd = "Invalid input log file.";
    const char* const regional =
        "The log file is in another regional format, change the Decimal Symbol in Regional "
        "Settings (Control Panel).";
    struct Case {
        const char* what;
        std::string log;
        int n;
        const char* text;
    };
    const Case cases[] = {
        {"two fields", replace(kLog, "4\r\n", "2\r\n"), 515, invalid},
        {"the class field second", replace(kLog, "\"C\",\"A\"", "\"A\",\"C\""), 515, invalid},
        {"a total of 0", replace(kLog, "\r\n10\r\n", "\r\n0\r\n"), 515, invalid},
        {"other class values", replace(kLog, "\"N\",\"Y\"", "\"N\",\"X\""), 515, invalid},
        {"a set line of the wrong length", replace(kLog, "0,2,4,1,3", "0,2,4,2,3"), 515, invalid},
        {"cut short in the counts", kLog.substr(0, kLog.find("2,5,1,")), 515, pastEnd},
        {"an empty file", "", 515, pastEnd},
        // The last set's value 0.25 cut to 0.2 must not be taken for a value.
        {"cut inside the last line", kLog.substr(0, kLog.size() - 3), 515, pastEnd},
        {"a count that is no number", replace(kLog, "2,7,3,", "2,7,x,"), 518, regional},
        {"mutual information in another form", replace(kLog, "0.54321", "0;54321"), 518, regional},
    };
    for (const Case& c : cases) {
        TempDir dir;
        try {
            ReadLog(dir, c.log, {"C", "A", "B", "D"});
            ADD_FAILURE() << c.what << ": no error";
        } catch (const com::Error& err) {
            EXPECT_EQ(err.number(), com::objectError(c.n)) << c.what;
            EXPECT_EQ(err.description(), c.text) << c.what;
            EXPECT_EQ(err.source(), "DataEngine Object") << c.what;
        }
    }
}

// The log with its mutual-information texts ("0.12345") written with a decimal comma.
std::string WithDecimalComma(std::string log) {
    for (size_t q = log.find('"'); q != std::string::npos; q = log.find('"', q + 1)) {
        size_t d = q + 1;
        while (d < log.size() && std::isdigit(static_cast<unsigned char>(log[d]))) ++d;
        if (d > q + 1 && d < log.size() && log[d] == '.') log[d] = ',';
    }
    return log;
}

TEST(LearningLog, MutualInformationReadsUnderEitherDecimalSymbol) {
    {
        // Written under a decimal comma, read under a point: the value, not 10,000 times it.
        TempDir dir;
        LearningRun r = ReadLog(dir, WithDecimalComma(kLog), {"C", "A", "B", "D"});
        EXPECT_EQ(r.e.MICache(0, 1, 2), 0.12345f);
        EXPECT_EQ(r.e.MICache(1, 2, 4), 0.2f);
        EXPECT_EQ(r.e.MICache(2, 3, 4), -100);
    }
    TempDir dir;
    LearningRun r = ReadLog(dir, kLog, {"C", "A", "B", "D"});
    {
        CommaLocale comma;
        if (!comma.ok()) GTEST_SKIP() << "no locale with a decimal comma can be made here";
        r.e.WriteLog();
    }
    const std::string written = ReadFile(dir.Path("out.log"));
    EXPECT_NE(written.find("\"0,12345\""), std::string::npos);
    EXPECT_NE(written.find(",0.0123\r\n"), std::string::npos)
        << "list-style numbers keep the point";
    TempDir other;
    LearningRun again = ReadLog(other, written, {"C", "A", "B", "D"});
    EXPECT_EQ(again.e.MICache, r.e.MICache);
}

}  // namespace
