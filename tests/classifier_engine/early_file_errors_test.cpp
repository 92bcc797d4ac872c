// Files written after long work are checked before it: a learning run whose output log or ROC
// files cannot be written, and a batch whose ROC files cannot, fail at once with the error
// naming the file, before the search or the batch has read the table.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "classifier_engine/data_engine.h"
#include "tests/classifier_engine/learning_host.h"
#include "tests/support/full_disk.h"
#include "tests/support/network_sampler.h"

namespace {

using vb::Integer;
using vb::Long;
using vb::Single;

struct CountingSink : zorvapi::DataEngineEvents {
    void PercentDone(Single, Single, bool&) override { ++events; }
    int events = 0;
};

testsupport::Network TwoClasses() {
    testsupport::Network net;
    const int c = net.AddNode("Cls", {"A", "B"}, {}, {{0.5, 0.5}});
    net.AddNode("F1", {"X", "Y"}, {c}, {{0.8, 0.2}, {0.3, 0.7}});
    net.AddNode("F2", {"P", "Q"}, {c}, {{0.7, 0.3}, {0.2, 0.8}});
    return net;
}

// The runtime error that fn raises: its number, and whether its text names `file`.
template <typename F>
std::pair<int32_t, bool> FileErrorOf(F fn, const std::string& file) {
    try {
        fn();
    } catch (const com::Error& e) {
        return {e.number(), e.description().find("'" + file + "'") != std::string::npos};
    }
    return {0, false};
}

TEST(EarlyFileErrors, LearningChecksItsLogAndRocFilesBeforeTheSearch) {
    learning_host::LearningTable t(TwoClasses(), 200);
    learning_host::InFolder here(t.dir.path());
    std::filesystem::create_directory(t.dir.Path("roc12.txt"));  // a folder where a ROC file goes
    struct Case {
        const char* what;
        std::string logo;
        bool roc;
        int32_t number;
        std::string named;
    };
    const Case cases[] = {
        {"a log in a folder that does not exist", t.dir.Path("none/run.log"), false, 76, t.dir.Path("none/run.log")},
        {"a log that is a folder", t.dir.path(), false, 75, t.dir.path()},
        {"ROC files of the hold-out scoring", "", true, 75, "roc12.txt"},
    };
    for (const Case& c : cases) {
        zorvapi::DataEngine e;
        learning_host::LearnSettings s = learning_host::Settings(1, false);  // a searched threshold
        s.logo = c.logo;
        s.tmpROC = c.roc;
        learning_host::SetUpLearning(e, t, s);
        CountingSink sink;
        e.SetEventSink(&sink);
        Single threshold = 1;
        const auto [number, named] = FileErrorOf([&] { e.LearnStru(threshold); }, c.named);
        EXPECT_EQ(number, c.number) << c.what;
        EXPECT_TRUE(named) << c.what;
        EXPECT_EQ(sink.events, 0) << c.what << ": refused before the search";
    }
}

// A disk too full for the log fails the run before the search, and the earlier log stays.
TEST(EarlyFileErrors, LearningOnADiskTooFullForItsLogFailsBeforeTheSearch) {
    learning_host::LearningTable t(TwoClasses(), 200);
    testsupport::FullDisk disk;
    zorvapi::DataEngine e;
    learning_host::LearnSettings s = learning_host::Settings(1, false);
    s.logo = disk.Path("run.log");
    testsupport::WriteFile(s.logo, "the earlier log\r\n");
    learning_host::SetUpLearning(e, t, s);
    CountingSink sink;
    e.SetEventSink(&sink);
    disk.Fill();
    Single threshold = 1;
    const auto [number, named] = FileErrorOf([&] { e.LearnStru(threshold); }, s.logo);
    disk.Free();
    EXPECT_EQ(number, 57);
    EXPECT_TRUE(named);
    EXPECT_EQ(sink.events, 0) << "refused before the search";
    EXPECT_EQ(testsupport::ReadFile(s.logo), "the earlier log\r\n");
    EXPECT_EQ(disk.Files(), std::vector<std::string>{"run.log"});

    // With room again the same engine learns and replaces the log.
    e.LearnStru(threshold);
    EXPECT_GT(sink.events, 0);
    EXPECT_NE(testsupport::ReadFile(s.logo), "the earlier log\r\n");
    EXPECT_EQ(disk.Files(), std::vector<std::string>{"run.log"});
}

TEST(EarlyFileErrors, ABatchChecksItsRocFilesBeforeClassifying) {
    learning_host::LearningTable t(TwoClasses(), 200, 50);
    learning_host::InFolder here(t.dir.path());
    zorvapi::DataEngine e;
    learning_host::SetUpLearning(e, t, learning_host::Settings(1, true));
    Single threshold = 1;
    e.LearnStru(threshold);
    bool multiNet = false;
    ASSERT_TRUE(e.LearnCPT(multiNet));
    std::filesystem::create_directory(t.dir.Path("roc21.txt"));
    std::string table = "Test", cls = "Cls", results = t.dir.Path("results.txt");
    vb::Array<Long> matrix;
    CountingSink sink;
    e.SetEventSink(&sink);
    const auto [number, named] = FileErrorOf([&] { e.ClsfyBatch(t.db, table, cls, matrix, results); }, "roc21.txt");
    EXPECT_EQ(number, 75);
    EXPECT_TRUE(named);
    EXPECT_EQ(sink.events, 0) << "refused before the batch";
    EXPECT_FALSE(std::filesystem::exists(results));
}

}  // namespace
