// Learning answers its count queries from the in-memory counting path or from SQLite with the
// same bits: a whole structure learning (pairwise passes, threshold search, single net and
// multi-net, hold-out scoring) and the probability tables after it, run once on each path over
// one file, leave identical statistics, caches, graphs and tables.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "classifier_engine/data_engine.h"
#include "platform/db/column_store.h"
#include "platform/db/sqlite_backend.h"
#include "platform/vb/rnd.h"
#include "tests/classifier_engine/learning_host.h"

namespace {

using learning_host::LearningTable;
using learning_host::LearnSettings;
using vb::Integer;
using vb::Single;

db::sqlite::SqliteDatabase& Sqlite(db::Database& db) { return dynamic_cast<db::sqlite::SqliteDatabase&>(db); }

template <typename T>
bool SameBits(const vb::Array<T>& a, const vb::Array<T>& b) {
    if (a.dims() != b.dims() || a.cells().size() != b.cells().size()) return false;
    for (int d = 1; d <= a.dims(); ++d)
        if (a.LBound(d) != b.LBound(d) || a.UBound(d) != b.UBound(d)) return false;
    return a.cells().empty() || std::memcmp(a.cells().data(), b.cells().data(), a.cells().size() * sizeof(T)) == 0;
}

// Every cached conditioning set of every layer and pair, with its value's bits.
std::string SetCacheText(const zorvapi::DataEngine& e) {
    std::string out;
    for (Integer k = 0; k <= e.SetCache.lastLayer(); ++k)
        for (Integer a = 1; a <= e.numfld; ++a)
            for (Integer b = Integer(a + 1); b <= e.numfld; ++b)
                for (const core::CachedSet& s : e.SetCache.Slots(k, a, b)) {
                    uint32_t bits;
                    std::memcpy(&bits, &s.cmi, sizeof bits);
                    out += std::to_string(k) + ":" + std::to_string(a) + "-" + std::to_string(b) + "|";
                    for (Integer f : s.fields) out += std::to_string(f) + ",";
                    out += "=" + std::to_string(bits) + "\n";
                }
    return out;
}

struct Learned {
    zorvapi::DataEngine e;
    db::sqlite::CountingStats stats;
};

void Learn(Learned& run, LearningTable& t, std::shared_ptr<db::Database> db, const LearnSettings& s,
           const std::string& weight) {
    t.db = std::move(db);
    vb::ResetRnd();  // the widening of the pairwise queries draws from the runtime's sequence
    LearnSettings weighted = s;
    weighted.freq = weight;
    learning_host::SetUpLearning(run.e, t, weighted);
    Single threshold = 1;
    run.e.LearnStru(threshold);
    bool mn = run.e.IsMultiNet();
    run.e.LearnCPT(mn);
    run.stats = Sqlite(*t.db).CountingStatistics();
}

TEST(CountingPaths, LearningGivesTheSameBitsOnBothPaths) {
    struct Case {
        const char* name;
        LearnSettings settings;
        double nullRate;
        const char* weight;
    };
    LearnSettings searched = learning_host::Settings(3, false, 2);
    LearnSettings fixedWithROC = learning_host::Settings(1, true, 1);
    fixedWithROC.tmpROC = true;
    const Case cases[] = {
        {"both models, searched threshold", searched, 0.0, ""},
        {"missing cells and a weight field", fixedWithROC, 0.05, "Weight"},
    };
    for (const Case& c : cases) {
        testsupport::RandomNetworkOptions o;
        o.nodes = 9;
        o.minStates = 2;
        o.maxStates = 4;
        o.maxParents = 2;
        testsupport::Network net = testsupport::RandomNetwork(o, 11);
        LearningTable t(net, 4000);
        if (c.weight[0]) {
            testsupport::TableOptions opt;
            opt.table = t.train.table;
            opt.classNode = 0;
            opt.nullRate = c.nullRate;
            opt.weightField = c.weight;
            t.train = testsupport::SampleTable(net, 4000, opt);
            t.db = testsupport::WriteSqliteTable(t.dir.Path("learn.db"), t.train);
        }
        const std::string file = t.dir.Path("learn.db");
        auto memoryDb = db::DBEngine::OpenDatabase(file);
        auto sqliteDb = db::DBEngine::OpenDatabase(file);
        Sqlite(*memoryDb).SetInMemoryCounting(true);
        Sqlite(*sqliteDb).SetInMemoryCounting(false);

        learning_host::InFolder folder(t.dir.path());  // ROC scoring writes its files here
        Learned memory, sqlite;
        Learn(memory, t, memoryDb, c.settings, c.weight);
        Learn(sqlite, t, sqliteDb, c.settings, c.weight);

        // Most counts go through the store's counter, the rest (set-up, tables) through texts.
        EXPECT_GT(memory.stats.counted, 50) << c.name;
        EXPECT_GT(memory.stats.answered, 0) << c.name;
        EXPECT_EQ(memory.stats.fellBack, 0) << c.name << ": " << memory.stats.lastFallback;
        EXPECT_EQ(sqlite.stats.answered + sqlite.stats.counted, 0) << c.name;
        const zorvapi::DataEngine &a = memory.e, &b = sqlite.e;
        EXPECT_EQ(a.numfld, b.numfld) << c.name;
        EXPECT_TRUE(a.VluLbl == b.VluLbl) << c.name;
        EXPECT_TRUE(SameBits(a.FF, b.FF)) << c.name;
        EXPECT_TRUE(SameBits(a.NetTotal, b.NetTotal)) << c.name;
        EXPECT_TRUE(SameBits(a.VluCnt, b.VluCnt)) << c.name;
        EXPECT_TRUE(SameBits(a.MICache, b.MICache)) << c.name;
        EXPECT_TRUE(SameBits(a.MIWork, b.MIWork)) << c.name;
        EXPECT_FALSE(SetCacheText(a).empty()) << c.name << ": the search tested no conditioning set";
        EXPECT_EQ(SetCacheText(a), SetCacheText(b)) << c.name;
        EXPECT_TRUE(SameBits(a.Graph, b.Graph)) << c.name;
        EXPECT_TRUE(SameBits(a.SavedGraph, b.SavedGraph)) << c.name;
        EXPECT_EQ(a.IsMultiNet_, b.IsMultiNet_) << c.name;
        EXPECT_EQ(std::memcmp(&a.BestThreshold, &b.BestThreshold, sizeof(Single)), 0) << c.name;
        EXPECT_EQ(std::memcmp(&a.BestScore, &b.BestScore, sizeof(Single)), 0) << c.name;
        EXPECT_TRUE(SameBits(a.CPTStore, b.CPTStore)) << c.name;
        EXPECT_TRUE(SameBits(a.CPTIndex, b.CPTIndex)) << c.name;
    }
}

}  // namespace
