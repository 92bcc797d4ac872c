// Mutual information: values, the random widening of the count query, the cache and the error
// rule of each engine.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include <unistd.h>

#include "platform/vb/rnd.h"
#include "tests/support/memory_table.h"
#include "tests/support/stats_learner.h"

namespace {

using testsupport::MemoryTable;
using testsupport::StatsLearner;
using Row = std::vector<db::Value>;
using vb::Integer;

core::CoreSettings Classifier() { return core::CoreSettings::Classifier(100); }

// A table of n fields F1..Fn whose rows cycle through a few values, so every field has labels.
MemoryTable Cycling(int n, int rows = 60) {
    std::vector<std::string> cols;
    for (int i = 1; i <= n; ++i) cols.push_back("F" + std::to_string(i));
    std::vector<Row> data;
    for (int r = 0; r < rows; ++r) {
        Row row;
        for (int i = 1; i <= n; ++i) row.emplace_back("V" + std::to_string((r * i + r / 7) % 3));
        data.push_back(row);
    }
    return MemoryTable("T", cols, data);
}

// The grouping list of the last count query sent, as field names.
std::string LastGroupBy(const StatsLearner& L) {
    const std::string& sql = L.db->Queries().back().sql;
    return sql.substr(sql.find(" group by ") + 10);
}

void ForgetMI(StatsLearner& L) {
    for (auto& c : L.MICache.cells()) c = L.settings().notComputed;
}

TEST(MutualInformation, IndependentAndIdenticalFields) {
    struct Case {
        const char* what;
        std::vector<std::vector<int>> cells;  // counts n(u, v)
        double expected;
    };
    const Case cases[] = {
        // Counts in proportion to their margins: no dependence at all.
        {"independent 2x3", {{1, 2, 3}, {2, 4, 6}}, 0.0},
        {"independent 3x2", {{5, 5}, {10, 10}, {1, 1}}, 0.0},
        // The same field twice, k equally frequent values: ln k nats.
        {"identical k=2", {{4, 0}, {0, 4}}, std::log(2.0)},
        {"identical k=3", {{3, 0, 0}, {0, 3, 0}, {0, 0, 3}}, std::log(3.0)},
        {"identical k=5", {{2, 0, 0, 0, 0}, {0, 2, 0, 0, 0}, {0, 0, 2, 0, 0}, {0, 0, 0, 2, 0}, {0, 0, 0, 0, 2}},
         std::log(5.0)},
    };
    for (const Case& c : cases) {
        std::vector<Row> rows;
        std::vector<int> rowTotals(c.cells.size(), 0), colTotals(c.cells[0].size(), 0);
        for (size_t u = 0; u < c.cells.size(); ++u)
            for (size_t v = 0; v < c.cells[u].size(); ++v)
                for (int n = 0; n < c.cells[u][v]; ++n) {
                    rows.push_back({db::Value("A" + std::to_string(u)), db::Value("B" + std::to_string(v)), db::Value("Z")});
                    ++rowTotals[u];
                    ++colTotals[v];
                }
        StatsLearner L(Classifier());
        L.Bind(MemoryTable("T", {"A", "B", "Z"}, rows));
        EXPECT_NEAR(L.GetMI(1, 2), c.expected, 1e-6) << c.what;
        EXPECT_EQ(L.MICache(0, 2, 1), L.MICache(0, 1, 2)) << c.what;
        EXPECT_EQ(L.MIWork(0, 1, 2), L.MICache(0, 1, 2)) << c.what;
        // The value counts of both fields are rewritten from the query.
        for (size_t u = 0; u < rowTotals.size(); ++u) EXPECT_EQ(L.VluCnt(0, 1, int(u) + 1), rowTotals[u]) << c.what;
        for (size_t v = 0; v < colTotals.size(); ++v) EXPECT_EQ(L.VluCnt(0, 2, int(v) + 1), colTotals[v]) << c.what;
    }
}

TEST(MutualInformation, FrequencySumsRoundAsTheyAreAdded) {
    // Five fields, so the pair's query is widened and one cell of (A, B) gets several groups.
    // Each running sum is rounded half to even as a group is added: 0.5 + 0.5 stays 0
    // (0.5 -> 0, then 0.5 -> 0), 1.5 + 1.5 becomes 4 (1.5 -> 2, then 3.5 -> 4).
    std::vector<Row> rows = {
        {"X", "P", "1", "C", "C", 0.5}, {"X", "P", "2", "C", "C", 0.5},
        {"Y", "Q", "1", "C", "C", 1.5}, {"Y", "Q", "2", "C", "C", 1.5},
    };
    StatsLearner L(Classifier());
    L.Bind(MemoryTable("T", {"A", "B", "Z1", "Z2", "Z3", "W"}, rows), {"A", "B", "Z1", "Z2", "Z3"}, "W");
    L.GetMI(1, 2);
    EXPECT_EQ(L.VluCnt(0, 1, 1), 0);  // X
    EXPECT_EQ(L.VluCnt(0, 1, 2), 4);  // Y
}

TEST(MutualInformation, WideningBoundaries) {
    struct Case {
        int n, a, b;
        bool widened;
    };
    const Case cases[] = {
        {5, 1, 2, true},   // four fields after a
        {4, 1, 2, false},  // three
        {8, 4, 5, true},
        {8, 5, 6, false},
        {6, 1, 5, true},   // b among the last three
        {9, 2, 3, true},   // more than two fields after b
    };
    for (const Case& c : cases) {
        StatsLearner L(Classifier());
        L.Bind(Cycling(c.n));
        for (int rep = 0; rep < 40; ++rep) {
            ForgetMI(L);
            L.GetMI(Integer(c.b), Integer(c.a));  // either order
            const std::string want = "[F" + std::to_string(c.a) + "],[F" + std::to_string(c.b) + "]";
            const std::string groupBy = LastGroupBy(L);
            if (!c.widened) {
                EXPECT_EQ(groupBy, want) << c.n << " " << c.a;
                break;
            }
            std::set<int> drawn;
            for (int i = 1; i <= 3; ++i) {
                const int g = L.CondSet(i);
                EXPECT_GT(g, c.a);
                EXPECT_LE(g, c.n);
                EXPECT_NE(g, c.b);
                drawn.insert(g);
            }
            EXPECT_EQ(drawn.size(), 3u);
            // The first field comes after b whenever more than two fields follow b.
            if (c.n - c.b > 2) {
                EXPECT_GT(L.CondSet(1), c.b);
            }
            std::string expected;
            for (int i = 1; i <= 3; ++i) expected += "[F" + std::to_string(L.CondSet(i)) + "],";
            EXPECT_EQ(groupBy, expected + want);
        }
    }
}

TEST(MutualInformation, FirstDrawCoversAllFieldsAfterAWhenBIsNearTheEnd) {
    StatsLearner L(Classifier());
    L.Bind(Cycling(6));
    std::set<int> firsts;
    for (int rep = 0; rep < 200; ++rep) {
        ForgetMI(L);
        L.GetMI(1, 5);
        firsts.insert(L.CondSet(1));
    }
    EXPECT_EQ(firsts, (std::set<int>{2, 3, 4, 6}));
}

TEST(MutualInformation, TheDrawsUseTheGeneratorsValuesInTheirOrder) {
    // The fields a widened query draws, worked out here from the generator's own sequence: each
    // draw is floor(range x r) + offset with the product a Single, and a draw that hits b or an
    // earlier field is made again with a fresh value.
    struct Case {
        int n, a, b;
    };
    // Fields after b: many, exactly three (the first still after b), two and one (the first
    // from all fields after a), and the smallest widened run.
    const Case cases[] = {{9, 2, 3}, {9, 2, 6}, {9, 2, 7}, {9, 1, 8}, {6, 1, 5}, {5, 1, 2}};
    for (const Case c : cases) {
        for (int call = 0; call < 30; ++call) {
            StatsLearner L(Classifier());
            L.Bind(Cycling(c.n));
            // Skip `call` values so that many different starting points are covered.
            vb::ResetRnd();
            for (int s = 0; s < call; ++s) vb::Rnd();
            std::vector<float> r;
            for (int s = 0; s < 400; ++s) r.push_back(vb::Rnd());
            size_t next = 0;
            auto draw = [&](int base, int range) {
                const float product = float(range) * r.at(next++);
                return int(std::floor(product)) + base + 1;
            };
            int first;
            if (c.n - c.b > 2) {
                first = draw(c.b, c.n - c.b);
            } else {
                do first = draw(c.a, c.n - c.a);
                while (first == c.b);
            }
            int second, third;
            do second = draw(c.a, c.n - c.a);
            while (second == c.b || second == first);
            do third = draw(c.a, c.n - c.a);
            while (third == c.b || third == first || third == second);

            vb::ResetRnd();
            for (int s = 0; s < call; ++s) vb::Rnd();
            L.GetMI(Integer(c.b), Integer(c.a));
            EXPECT_EQ(std::vector<int>({L.CondSet(1), L.CondSet(2), L.CondSet(3)}),
                      std::vector<int>({first, second, third}))
                << c.n << " " << c.a << " " << c.b << " after " << call;
            // The generator went on exactly as far as the draws took.
            EXPECT_EQ(vb::Rnd(), r.at(next)) << c.n << " " << c.a << " " << c.b;
        }
    }
}

TEST(MutualInformation, OneQueryFillsEveryPairOfTheWidenedSet) {
    StatsLearner L(Classifier());
    L.Bind(Cycling(5));
    const float mi = L.GetMI(1, 2);
    EXPECT_EQ(L.db->CountQueries(), 1);
    // n - a = 4: the three other fields are drawn, so all ten pairs are computed.
    for (int i = 1; i <= 5; ++i)
        for (int j = i + 1; j <= 5; ++j) EXPECT_NE(L.MICache(0, i, j), -100.0f) << i << "," << j;
    EXPECT_EQ(L.GetMI(2, 1), mi);
    EXPECT_EQ(L.GetMI(1, 2), mi);
    L.GetMI(3, 5);
    L.GetMI(5, 4);
    EXPECT_EQ(L.db->QueryCount(), 1);
    // The block was read with one GetRows of at most product-of-values rows and closed.
    const auto& q = L.db->Queries()[0];
    ASSERT_EQ(q.getRows.size(), 1u);
    EXPECT_TRUE(q.closed);
}

TEST(MutualInformation, OneFieldOverTheLimitCancelsTheWidening) {
    StatsLearner L(Classifier());
    L.Bind(Cycling(5));
    // With a = 1 and b = 2 the draws are 3, 4 and 5 in some order; field 4 has too many values.
    L.FF(4) = Integer(L.MaxVlus + 1);
    L.GetMI(1, 2);
    EXPECT_EQ(LastGroupBy(L), "[F1],[F2]");
    EXPECT_EQ(L.MICache(0, 1, 3), -100.0f);
    EXPECT_EQ(L.MICache(0, 3, 5), -100.0f);
}

TEST(MutualInformation, AFailingQuery) {
    // Classifier: the pair scores 0 and learning goes on; only the ordered cell is written.
    StatsLearner L(Classifier());
    L.Bind(Cycling(3));
    L.FieldNames(2) = "[Missing]";
    EXPECT_EQ(L.GetMI(2, 1), 0.0f);
    EXPECT_EQ(L.MICache(0, 1, 2), 0.0f);
    EXPECT_EQ(L.MICache(0, 2, 1), -100.0f);

    // Construction: the error goes up to the caller.
    StatsLearner C(core::CoreSettings::Construction());
    C.Bind(Cycling(3));
    C.FieldNames(2) = "[Missing]";
    EXPECT_THROW(C.GetMI(1, 2), db::Error);
    EXPECT_EQ(C.MICache(0, 1, 2), -1.0f);
}

// The draws of a fixed sequence of calls in this process, one line.
std::string DrawSequence() {
    StatsLearner L(Classifier());
    L.Bind(Cycling(9));
    std::string out;
    for (int a = 1; a <= 4; ++a) {
        ForgetMI(L);
        L.GetMI(Integer(a), Integer(a + 1));
        for (int i = 1; i <= 3; ++i) out += std::to_string(L.CondSet(i)) + " ";
    }
    return out;
}

// Run as a child by FreshProcessesDrawTheSameFields; skipped in a normal run.
TEST(MutualInformationChild, PrintDraws) {
    if (!std::getenv("STATS_MI_DRAW_CHILD")) GTEST_SKIP() << "child of FreshProcessesDrawTheSameFields";
    std::printf("DRAWS: %s\n", DrawSequence().c_str());
}

TEST(MutualInformation, FreshProcessesDrawTheSameFields) {
    auto runChild = [] {
        const std::string cmd =
            "STATS_MI_DRAW_CHILD=1 /proc/" + std::to_string(getpid()) +
            "/exe --gtest_filter=MutualInformationChild.PrintDraws 2>/dev/null";
        FILE* p = popen(cmd.c_str(), "r");
        std::string line, draws;
        char buf[512];
        while (p && std::fgets(buf, sizeof buf, p)) {
            line = buf;
            if (line.rfind("DRAWS: ", 0) == 0) draws = line;
        }
        if (p) pclose(p);
        return draws;
    };
    const std::string first = runChild();
    const std::string second = runChild();
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(first, second);
    // The generator is never seeded, so this process, reset to the start, draws the same too.
    vb::ResetRnd();
    EXPECT_EQ(first, "DRAWS: " + DrawSequence() + "\n");
}

}  // namespace
