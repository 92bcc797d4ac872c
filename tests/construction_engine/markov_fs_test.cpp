// MarkovFS and QuickSort2: the number of passes, the choice of the field to remove (strictly
// lowest, first on a tie), the blanket drawn from the four strongest other fields still in
// play (never the candidate itself), the sort, and the ranking on rows drawn from a network
// whose Markov blanket of field 1 is known.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>

#include "construction_engine/data_set.h"
#include "construction_engine/errors.h"
#include "tests/construction_engine/init_fixture.h"
#include "tests/construction_engine/sampled_fixture.h"

namespace {

using namespace vrelltest;
using vrellapi::DataSet;

// A DataSet whose conditional mutual information is scripted and whose queries are recorded.
class ScriptedRanking : public DataSet {
public:
    struct Call {
        Integer a, b;
        std::vector<Integer> set;
    };
    std::function<Single(Integer a, Integer b, const std::vector<Integer>& set)> cmi;
    std::vector<Call> calls;

    explicit ScriptedRanking(Integer n) {
        std::vector<std::string> names;
        for (Integer i = 1; i <= n; ++i) names.push_back("X" + std::to_string(i));
        ScriptedTable t;
        for (const std::string& f : names) t.values[f] = TextValues(2);
        InitArgs args(names);
        args.Run(*this, t.Database());
    }
    Single GetCMI(Integer a, Integer b, Integer k) override {
        std::vector<Integer> set;
        for (Integer i = 1; i <= k; ++i) set.push_back(CondSet(i));
        calls.push_back({a, b, set});
        return cmi(a, b, set);
    }
    std::vector<Integer> Order() const {
        std::vector<Integer> v;
        for (Integer i = 1; i <= numfld; ++i) v.push_back(MBOrder(i));
        return v;
    }
};

bool Holds(const std::vector<Integer>& set, Integer f) { return std::find(set.begin(), set.end(), f) != set.end(); }

TEST(MarkovFS, PassesAndTheFieldRemoved) {
    struct Case {
        Integer fields;
        std::function<Single(Integer j)> d;  // CMI(field 1, j | blanket)
        std::vector<Integer> order;
    };
    const Case cases[] = {
        {5, [](Integer) { return 0.0f; }, {0, 0, 0, 0, 0}},                    // no pass
        {6, [](Integer j) { return 0.01f * Single(j); }, {0, 1, 0, 0, 0, 0}},
        {7, [](Integer j) { return 0.01f * Single(j); }, {0, 1, 2, 0, 0, 0, 0}},
        {7, [](Integer j) { return 0.1f / Single(j); }, {0, 0, 0, 0, 0, 2, 1}},
        // A tie keeps the first field of the lowest value.
        {6, [](Integer j) { return j == 4 || j == 6 ? 0.001f : 0.1f; }, {0, 0, 0, 1, 0, 0}},
    };
    for (const Case& c : cases) {
        ScriptedRanking d(c.fields);
        d.cmi = [&c](Integer a, Integer b, const std::vector<Integer>&) { return a == 1 ? c.d(b) : 0.5f; };
        d.MarkovFS();
        EXPECT_EQ(d.Order(), c.order) << c.fields;
        if (c.fields == 5) {
            EXPECT_TRUE(d.calls.empty());
        }
    }
}

// The scores given field 1 are 0 for most pairs, as the independence test makes them: the
// blanket still holds four other fields in play, never the candidate (whose own CMI given
// itself would be 0 and remove it), and always the strongest ones.
TEST(MarkovFS, BlanketOfOtherFieldsInPlay) {
    ScriptedRanking d(8);
    d.cmi = [](Integer a, Integer b, const std::vector<Integer>& set) -> Single {
        if (a == 1) return Holds(set, b) ? 0.0f : 0.01f * Single(b);
        // Given field 1, only neighbours in the numbering share information.
        return std::abs(a - b) == 1 ? 0.3f : 0.0f;
    };
    d.MarkovFS();
    EXPECT_EQ(d.Order(), (std::vector<Integer>{0, 1, 2, 3, 0, 0, 0, 0}));
    // Pass q asks for the blankets of the fields in play: 7, then 6, then 5 candidates.
    int blankets = 0;
    for (const ScriptedRanking::Call& call : d.calls) {
        if (call.set.size() == 1) {
            EXPECT_EQ(call.set.front(), 1);
            EXPECT_NE(call.a, call.b);
            continue;
        }
        const Integer q = blankets < 7 ? 1 : blankets < 13 ? 2 : 3;
        ++blankets;
        auto inPlay = [&](Integer f) { return f >= 2 && f <= 8 && (d.MBOrder(f) == 0 || d.MBOrder(f) >= q); };
        ASSERT_EQ(call.a, 1);
        const Integer j = call.b;
        EXPECT_TRUE(inPlay(j));
        ASSERT_EQ(call.set.size(), 4u);
        for (Integer f : call.set) EXPECT_TRUE(f != j && inPlay(f)) << "pass " << q << ", field " << j << ": " << f;
        for (Integer f : {Integer(j - 1), Integer(j + 1)})
            if (inPlay(f)) {
                EXPECT_TRUE(Holds(call.set, f)) << "pass " << q << ", field " << j << ": " << f;
            }
    }
    EXPECT_EQ(blankets, 7 + 6 + 5);
}

TEST(MarkovFS, QuickSort2Descends) {
    ScriptedRanking d(6);
    d.cmi = [](Integer, Integer, const std::vector<Integer>&) { return 0.0f; };
    d.MarkovFS();  // dimensions the ranking arrays
    struct Case {
        const char* what;
        std::vector<Single> keys;
    };
    std::vector<Single> mixed;
    uint32_t x = 12345;
    for (int i = 0; i < 40; ++i) {
        x = x * 1103515245u + 12345u;
        mixed.push_back(Single((x >> 16) % 7) / 4);  // many repeats
    }
    const Case cases[] = {{"equal keys", std::vector<Single>(20, 0.25f)},
                          {"mixed keys", mixed},
                          {"two keys", {0.1f, 0.9f}},
                          {"ascending", {0, 1, 2, 3, 4, 5, 6, 7}}};
    for (const Case& c : cases) {
        const Integer last = Integer(c.keys.size() + 1);
        d.MBScore.ReDim(vb::To(last));
        d.MBIndex.ReDim(vb::To(last));
        for (Integer m = 2; m <= last; ++m) {
            d.MBIndex(m) = m;
            d.MBScore(m) = c.keys[size_t(m - 2)];
        }
        Integer first = 2, end = last;
        d.QuickSort2(first, end);
        EXPECT_EQ(first, 2);
        EXPECT_EQ(end, last);
        std::set<Integer> seen;
        for (Integer m = 2; m <= last; ++m) {
            seen.insert(d.MBIndex(m));
            if (m > 2) {
                EXPECT_GE(d.MBScore(d.MBIndex(Integer(m - 1))), d.MBScore(d.MBIndex(m))) << c.what;
            }
        }
        EXPECT_EQ(seen.size(), c.keys.size()) << c.what;
    }

    DataSet fresh;
    Integer first = 2, last = 5;
    try {
        fresh.QuickSort2(first, last);
        ADD_FAILURE() << "no error";
    } catch (const vb::RuntimeError& e) {
        EXPECT_EQ(e.number(), 9);
    }
}

TEST(MarkovFS, NeedsInit) {
    DataSet d;
    try {
        d.MarkovFS();
        ADD_FAILURE() << "no error";
    } catch (const com::Error& e) {
        EXPECT_EQ(e.number(), com::objectError(523));
        EXPECT_EQ(e.description(), "MarkovFS needs a completed Init");
    }
}

// Rows drawn from a network in which field 1 (C) has the parent P, the children K1 and K2 and
// the co-parent S of K1: its Markov blanket is {P, K1, S, K2}. N1 (P's parent), N2 (K2's child)
// and N3 (unrelated) are shielded from C by it. S is independent of C on its own and shares
// information with nothing but K1, so a blanket that could hold S itself would remove it.
TEST(MarkovFS, KnownBlanketOnGeneratedRows) {
    testsupport::Network net;
    const std::vector<std::string> yn = {"YES", "NO"};
    const std::vector<std::vector<double>> copy = {{0.9, 0.1}, {0.1, 0.9}};
    const int n1 = net.AddNode("N1", yn);
    const int p = net.AddNode("P", yn, {n1}, copy);
    const int c = net.AddNode("C", yn, {p}, copy);
    const int s = net.AddNode("S", yn);
    // K1 is mostly C xor S.
    net.AddNode("K1", yn, {c, s}, {{0.1, 0.9}, {0.9, 0.1}, {0.9, 0.1}, {0.1, 0.9}});
    const int k2 = net.AddNode("K2", yn, {c}, copy);
    net.AddNode("N2", yn, {k2}, copy);
    net.AddNode("N3", yn);
    auto rdb = SampledDatabase(net, 6000, "markov_blanket");

    const std::vector<std::string> fields = {"C", "P", "K1", "S", "K2", "N1", "N2", "N3"};
    InitArgs args(fields);
    args.table = "Sample";
    DataSet d;
    args.Run(d, rdb);
    d.MarkovFS();
    std::set<Integer> ranks;
    for (Integer i = 1; i <= d.numfld; ++i) {
        const std::string& name = fields[size_t(i - 1)];
        const bool shielded = name[0] == 'N';
        if (shielded)
            ranks.insert(d.MBOrder(i));
        else
            EXPECT_EQ(d.MBOrder(i), 0) << name << " is in the blanket";
    }
    EXPECT_EQ(ranks, (std::set<Integer>{1, 2, 3}));
}

}  // namespace
