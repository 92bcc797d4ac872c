// The pairwise pass on worker threads against the same pass pair by pair (BNSUITE_THREADS=1), on
// a 60-field table drawn from a known network: the same MICache, MIWork and VluCnt cells bit for
// bit, the same draws left in the generator, the same query slots and the same links learned
// after it; a cancel in the middle of the threaded pass; and a count that raises in the middle
// of the pass, swallowed by the classifier and raised by the construction engine.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/db/database.h"
#include "platform/vb/rnd.h"
#include "tests/support/db_contract.h"
#include "tests/support/network_sampler.h"
#include "tests/support/recording_db.h"
#include "tests/support/stats_learner.h"

namespace {

using vb::Integer;
using vb::Single;

// The database the learner counts through: every call goes to the file's database; it counts
// the twins its counter made, and every count (the counter's or a twin's) over `failOn` raises.
class WatchedDatabase : public testsupport::ForwardingDatabase {
public:
    using ForwardingDatabase::ForwardingDatabase;
    std::unique_ptr<db::GroupCounter> GroupCounts(const std::string& countExpr, const std::string& table,
                                                  const std::string& where,
                                                  const std::vector<std::string>& fields) override {
        auto inner = ForwardingDatabase::GroupCounts(countExpr, table, where, fields);
        return inner ? std::make_unique<Counter>(std::move(inner), *this, false) : nullptr;
    }

    std::vector<int> failOn;               // the counter's fields of the count that raises
    std::vector<std::vector<int>> counted;  // the fields of the counter's own counts, in order
    int twins = 0;
    int raisedByCounter = 0;  // raised on the caller's thread, not by a twin

private:
    class Counter : public testsupport::ForwardingCounter {
    public:
        Counter(std::unique_ptr<db::GroupCounter> inner, WatchedDatabase& db, bool twin)
            : ForwardingCounter(std::move(inner)), db_(db), twin_(twin) {}
        Outcome CountIndexed(const std::vector<int>& fields, const std::vector<std::span<const int32_t>>& indexes,
                             int64_t maxGroups, std::vector<int32_t>& codes, std::vector<double>& counts) override {
            if (fields == db_.failOn) {
                if (!twin_) ++db_.raisedByCounter;
                throw db::Error(3000, "The count failed.");
            }
            if (!twin_) db_.counted.push_back(fields);
            return inner().CountIndexed(fields, indexes, maxGroups, codes, counts);
        }
        std::unique_ptr<db::GroupCounter> Twin() override {
            auto twin = inner().Twin();
            if (!twin) return nullptr;
            ++db_.twins;
            return std::make_unique<Counter>(std::move(twin), db_, true);
        }

    private:
        WatchedDatabase& db_;
        bool twin_;
    };
};

// A learner that counts its progress events and cancels at the n-th.
struct EventLearner : testsupport::StatsLearner {
    using StatsLearner::StatsLearner;
    int events = 0;
    int cancelAt = 0;
    bool Progress(Single) override {
        ++events;
        Cancel = events == cancelAt;
        return Cancel;
    }
};

// What a pass leaves that learning reads afterwards, and the links a search learns from it.
struct PassResult {
    std::vector<uint32_t> mi, work;  // MICache and MIWork of layer 0, bit for bit
    std::vector<vb::Long> counts;    // VluCnt of layer 0
    std::vector<Integer> slots;      // CondSet(1..3), QryFld(1..5)
    uint32_t rnd = 0;
    int events = 0;
    bool raised = false;
    std::set<std::pair<Integer, Integer>> links;
    bool operator==(const PassResult&) const = default;
};

uint32_t Bits(Single v) {
    uint32_t b;
    std::memcpy(&b, &v, sizeof b);
    return b;
}

struct Table {
    testsupport::TempDir dir;
    testsupport::SampledTable sample;
    std::shared_ptr<db::Database> file;
    Table() {
        testsupport::RandomNetworkOptions net;
        net.nodes = 60;
        net.maxStates = 4;
        testsupport::TableOptions opt;
        opt.holdOut = false;
        opt.seed = 46;
        sample = testsupport::SampleTable(testsupport::RandomNetwork(net, 46), 500, opt);
        file = testsupport::WriteSqliteTable(dir.Path("wide.db"), sample);
    }
};

PassResult Pass(const Table& t, WatchedDatabase& watched, const char* threads, const core::CoreSettings& s,
               int cancelAt = 0) {
    setenv("BNSUITE_THREADS", threads, 1);
    vb::ResetRnd();
    EventLearner L(s);
    L.Bind(t.file, t.sample.table, t.sample.columns);
    L.Db = std::shared_ptr<db::Database>(&watched, [](db::Database*) {});
    L.cancelAt = cancelAt;
    const Integer n = L.numfld;
    for (auto* m : {&L.Adj, &L.Reach, &L.ReachInit, &L.FL, &L.CE}) m->ReDim(vb::To(n), vb::To(n));
    for (auto* m : {&L.Feature, &L.Root, &L.Leaf}) m->ReDim(vb::To(n));
    PassResult r;
    try {
        L.InitStruBN();
    } catch (const db::Error&) {
        r.raised = true;
    }
    unsetenv("BNSUITE_THREADS");
    r.rnd = vb::RndState();
    r.events = L.events;
    for (Integer x = 0; x <= n; ++x)
        for (Integer y = 0; y <= n; ++y) {
            r.mi.push_back(Bits(L.MICache(0, x, y)));
            r.work.push_back(Bits(L.MIWork(0, x, y)));
        }
    for (Integer x = 0; x <= n; ++x)
        for (Integer v = 0; v <= L.MaxVlus; ++v) r.counts.push_back(L.VluCnt(0, x, v));
    for (Integer k = 1; k <= 3; ++k) r.slots.push_back(L.CondSet(k));
    for (Integer k = 1; k <= 5; ++k) r.slots.push_back(L.QryFld(k));
    if (L.Cancel || r.raised) return r;
    L.ResetWorkingMI();
    L.Threshold = 0.008f;
    L.Phase = 1;
    L.ConstructNoOrd();
    for (Integer i = 1; i < n; ++i)
        for (Integer j = Integer(i + 1); j <= n; ++j)
            if (L.Adj(i, j) == 1) r.links.insert({i, j});
    return r;
}

const struct {
    const char* name;
    core::CoreSettings settings;
} kEngines[] = {{"classifier", core::CoreSettings::Classifier(100)}, {"construction", core::CoreSettings::Construction()}};

TEST(PairwiseThreads, TheThreadedPassLeavesWhatThePassPairByPairLeaves) {
    const Table t;
    for (const auto& e : kEngines) {
        WatchedDatabase single(t.file), threaded(t.file);
        const PassResult expected = Pass(t, single, "1", e.settings);
        const PassResult got = Pass(t, threaded, "4", e.settings);
        EXPECT_EQ(single.twins, 0) << e.name;
        EXPECT_GT(threaded.twins, 0) << e.name << ": the pass ran on threads";
        EXPECT_EQ(got.events, 60 * 59 / 2) << e.name;
        EXPECT_FALSE(expected.links.empty()) << e.name;
        EXPECT_TRUE(got == expected) << e.name;
    }
}

TEST(PairwiseThreads, ACancelStopsTheThreadedPassAtTheSameEvent) {
    const Table t;
    for (int at : {1, 700, 1769}) {
        WatchedDatabase single(t.file), threaded(t.file);
        const PassResult expected = Pass(t, single, "1", core::CoreSettings::Classifier(100), at);
        const PassResult got = Pass(t, threaded, "4", core::CoreSettings::Classifier(100), at);
        EXPECT_EQ(got.events, at);
        EXPECT_TRUE(got == expected) << "cancelled at event " << at;
    }
}

TEST(PairwiseThreads, ACountThatRaisesMidPassGivesTheSameCells) {
    const Table t;
    // The counter's 150th count of the pass pair by pair raises from then on, wherever it is made.
    std::vector<int> failing;
    {
        WatchedDatabase probe(t.file);
        Pass(t, probe, "1", core::CoreSettings::Classifier(100));
        ASSERT_GT(probe.counted.size(), 150u);
        failing = probe.counted[149];
    }
    for (const auto& e : kEngines) {
        WatchedDatabase single(t.file), threaded(t.file);
        single.failOn = threaded.failOn = failing;
        const PassResult expected = Pass(t, single, "1", e.settings);
        const PassResult got = Pass(t, threaded, "4", e.settings);
        // The classifier scores the pair 0 and goes on; the construction engine stops.
        EXPECT_EQ(expected.raised, !e.settings.swallowMIErrors) << e.name;
        EXPECT_GT(threaded.twins, 0) << e.name;
        EXPECT_GT(threaded.raisedByCounter, 0) << e.name << ": the pass pair by pair took over";
        EXPECT_TRUE(got == expected) << e.name;
    }
}

}  // namespace
