// Conditional mutual information: the two forms of the statistic, the skip and the test of a
// configuration, the conditioning-set cache, and the one-pass sum against a double-precision
// reference.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "platform/db/value_text.h"
#include "platform/vb/rnd.h"
#include "tests/support/temp_paths.h"
#include "tests/support/memory_table.h"
#include "tests/support/network_sampler.h"
#include "tests/support/stats_learner.h"

namespace {

using testsupport::MemoryTable;
using testsupport::StatsLearner;
using vb::Integer;
using Row = std::vector<db::Value>;

core::CoreSettings Classifier() { return core::CoreSettings::Classifier(100); }

// Rows for one configuration z of a 2-way table: cells[u][v] cases with A = "A<u>", B = "B<v>",
// plus `extra` constant columns.
void AddConfiguration(std::vector<Row>& rows, const std::string& z,
                      const std::vector<std::vector<int>>& cells, int extra = 0) {
    for (size_t u = 0; u < cells.size(); ++u)
        for (size_t v = 0; v < cells[u].size(); ++v)
            for (int n = 0; n < cells[u][v]; ++n) {
                Row row{db::Value(z)};
                for (int e = 0; e < extra; ++e) row.emplace_back("C");
                row.emplace_back("A" + std::to_string(u + 10));
                row.emplace_back("B" + std::to_string(v + 10));
                rows.push_back(row);
            }
}

// Fields 1 = Z, then `extra` constant fields, then A and B.
StatsLearner Bound(const std::vector<Row>& rows, int extra = 0,
                   core::CoreSettings settings = Classifier()) {
    std::vector<std::string> cols{"Z"};
    for (int e = 1; e <= extra; ++e) cols.push_back("C" + std::to_string(e));
    cols.push_back("A");
    cols.push_back("B");
    StatsLearner L(settings);
    L.Bind(MemoryTable("T", cols, rows));
    return L;
}

// GetCMI of A and B given the fields listed.
float CMI(StatsLearner& L, std::vector<Integer> set) {
    for (size_t i = 0; i < set.size(); ++i) L.CondSet(Integer(i + 1)) = set[i];
    return L.GetCMI(Integer(L.numfld - 1), L.numfld, Integer(set.size()));
}

TEST(ConditionalMI, HandComputedBlock) {
    auto block = [](int extra) {
        std::vector<Row> rows;
        // 40 cases = 10m (m = 4): the logarithmic form, strongly dependent.
        AddConfiguration(rows, "Z1", {{15, 5}, {5, 15}}, extra);
        // 20 cases: the squared form, e = 5 in every cell, d = +-3: S = 4 x 9 / 2 / 5 = 3.6.
        AddConfiguration(rows, "Z2", {{8, 2}, {2, 8}}, extra);
        // 22 cases, nearly independent: S = 4 x 0.25 / 2 / 5.5, 2.5 S far below 3.84.
        AddConfiguration(rows, "Z3", {{6, 5}, {5, 6}}, extra);
        // 2 cases, not more than sqrt(8): skipped.
        AddConfiguration(rows, "Z4", {{1, 0}, {0, 1}}, extra);
        return rows;
    };
    const double expected = (30 * std::log(1.5) + 10 * std::log(0.5) + 3.6) / 84;

    StatsLearner one = Bound(block(0));
    EXPECT_NEAR(CMI(one, {1}), expected, 1e-6);
    // The same sets through the one-pass sum: three more constant fields make it a four-field
    // set with the same configurations.
    StatsLearner four = Bound(block(3), 3);
    EXPECT_NEAR(CMI(four, {1, 2, 3, 4}), expected, 1e-6);
    // The empty set: the whole table is one configuration of 84 cases, at least 10m, so the
    // logarithmic form over the summed cells 30, 12 / 12, 30 (margins 42).
    const double s0 = 60 * std::log(30.0 * 84 / 42 / 42) + 24 * std::log(12.0 * 84 / 42 / 42);
    EXPECT_NEAR(CMI(four, {}), s0 / 84, 1e-6);
}

TEST(ConditionalMI, ConfigurationBoundaries) {
    // Fields of 6 and 12 values: m = 72, sqrt(2m) = 12 exactly, df = 55 (ChiSq 73). Twelve
    // cases, each value of A with two values of B of its own, would be admitted (S = 30,
    // 2.5 S = 75) but a configuration needs more than sqrt(2m) cases; a thirteenth case makes
    // it count.
    struct Case {
        int cases;
        bool counted;
    };
    for (const Case c : {Case{12, false}, Case{13, true}}) {
        std::vector<Row> rows;
        for (int u = 0; u < 6; ++u)
            for (int t = 0; t < 2; ++t)
                rows.push_back({"Z", "A" + std::to_string(u + 10), "B" + std::to_string(2 * u + t + 10)});
        if (c.cases == 13) rows.push_back({"Z", "A10", "B10"});
        StatsLearner L = Bound(rows);
        EXPECT_NEAR(CMI(L, {1}), c.counted ? 32.5 / 13 : 0.0, 1e-5) << c.cases;
    }

    // m = 4: 39 cases use the squared form, 40 the logarithmic one.
    for (int extra : {0, 1}) {
        const int n11 = 14 + extra;
        std::vector<Row> rows;
        AddConfiguration(rows, "Z", {{15, 5}, {5, n11}});
        const double n = 25.0 + n11, r0 = 20, r1 = 5.0 + n11, c0 = 20, c1 = 5.0 + n11;
        const double cell[2][2] = {{15, 5}, {5, double(n11)}};
        const double rs[2] = {r0, r1}, cs[2] = {c0, c1};
        double pearson = 0, logForm = 0;
        for (int u = 0; u < 2; ++u)
            for (int v = 0; v < 2; ++v) {
                const double e = rs[u] * cs[v] / n;
                pearson += std::pow(cell[u][v] - e, 2) / e / 2;
                logForm += cell[u][v] * std::log(cell[u][v] * n / rs[u] / cs[v]);
            }
        StatsLearner L = Bound(rows);
        const double got = CMI(L, {1});
        const double want = n < 40 ? pearson : logForm;
        EXPECT_NEAR(got, want / n, 1e-6) << n;
        EXPECT_GT(std::fabs(pearson - logForm) / n, 1e-3);  // the two forms are told apart
    }
}

TEST(ConditionalMI, AdmissionAtOneDegreeOfFreedom) {
    struct Case {
        core::CoreSettings settings;
        float S;
        bool admitted;
    };
    const Case cases[] = {
        {core::CoreSettings::Classifier(100), 1.5f, false},  // 2.5 S = 3.75
        {core::CoreSettings::Classifier(100), 1.6f, true},   // 4.0
        {core::CoreSettings::Construction(), 1.92f, false},  // half of 3.84
        {core::CoreSettings::Construction(), 1.93f, true},
    };
    for (const Case& c : cases) {
        StatsLearner L(c.settings);
        L.FillChiSq(30);
        EXPECT_EQ(L.AdmitsConfiguration(c.S, 1), c.admitted) << c.S;
    }
}

TEST(ConditionalMI, ChiSquareTable) {
    StatsLearner L(Classifier());
    L.FillChiSq(4225);
    const std::pair<int, float> cases[] = {
        {0, 0.0f},    {1, 3.84f},   {2, 5.99f},   {4, 9.48f},    {15, 25.0f},   {30, 43.77f},
        {31, 45.0f},  {40, 54.0f},  {41, 57.0f},  {45, 61.0f},   {50, 66.0f},   {51, 69.0f},
        {60, 78.0f},  {61, 81.0f},  {80, 100.0f}, {81, 103.0f},  {100, 122.0f}, {4225, 4247.0f},
    };
    for (const auto& [df, value] : cases) EXPECT_EQ(L.ChiSq(df), value) << df;
    EXPECT_EQ(L.ChiSq.UBound(), 4225);
}

// Rows over fields 1..5 = Z1..Z4, A, B with a little dependence, for the cache tests.
std::vector<Row> Mixed(int n = 400) {
    std::vector<Row> rows;
    std::mt19937 gen(7);
    for (int r = 0; r < n; ++r) {
        const int z = int(gen() % 3), a = int(gen() % 2);
        const int b = (gen() % 4 == 0) ? int(gen() % 2) : (a + z) % 2;
        rows.push_back({"Z" + std::to_string(z), "Y" + std::to_string(gen() % 2),
                        "X" + std::to_string(gen() % 2), "W" + std::to_string(gen() % 2),
                        "A" + std::to_string(a), "B" + std::to_string(b)});
    }
    return rows;
}

StatsLearner MixedLearner(core::CoreSettings s = Classifier()) {
    StatsLearner L(s);
    L.Bind(MemoryTable("T", {"Z1", "Z2", "Z3", "Z4", "A", "B"}, Mixed()));
    return L;
}

TEST(ConditionalMI, FourFieldSetFillsItsSubsetsInOrder) {
    StatsLearner L = MixedLearner();
    const float v = CMI(L, {4, 2, 3, 1});
    EXPECT_EQ(L.db->CountQueries(), 1);
    std::vector<std::vector<Integer>> sets;
    for (const auto& slot : L.SetCache.Slots(0, 5, 6)) sets.push_back(slot.fields);
    const std::vector<std::vector<Integer>> expected = {
        {1, 2, 3}, {1, 2, 4}, {1, 3, 4}, {2, 3, 4},                  // triples
        {1, 2},    {1, 3},    {1, 4},    {2, 3}, {2, 4}, {3, 4},     // pairs
        {1},       {2},       {3},       {4},                        // single fields
        {1, 2, 3, 4},                                                // the set itself
    };
    EXPECT_EQ(sets, expected);
    EXPECT_EQ(L.SetCache.Slots(0, 5, 6).back().cmi, v);

    // Every subset, in any order, is now answered without a query; a three-field set has the
    // same value as when asked on its own.
    const float triple = CMI(L, {3, 1, 2});
    EXPECT_EQ(L.CondSet(1), 1);  // left sorted
    EXPECT_EQ(L.CondSet(3), 3);
    EXPECT_EQ(CMI(L, {4, 1}), L.SetCache.Slots(0, 5, 6)[6].cmi);
    EXPECT_EQ(CMI(L, {1, 4, 3, 2}), v);
    EXPECT_EQ(L.db->CountQueries(), 1);
    StatsLearner fresh = MixedLearner();
    EXPECT_EQ(CMI(fresh, {1, 2, 3}), triple);
}

TEST(ConditionalMI, ResultsLowerTheWorkingStrength) {
    StatsLearner L = MixedLearner();
    L.MIWork(0, 5, 6) = 1.0f;
    const float v = CMI(L, {1});
    EXPECT_LT(v, 1.0f);
    EXPECT_EQ(L.MIWork(0, 5, 6), v);
    EXPECT_EQ(L.MIWork(0, 6, 5), 0.0f);  // only the cell a < b
    L.MIWork(0, 5, 6) = v / 2;  // a cached value above the strength leaves it alone
    EXPECT_EQ(CMI(L, {1}), v);
    EXPECT_EQ(L.MIWork(0, 5, 6), v / 2);
}

TEST(ConditionalMI, AFullCacheOverwritesItsLastSlot) {
    StatsLearner L = MixedLearner();
    for (Integer s = 1; s <= 50; ++s) L.SetCache.Append(0, 5, 6, {Integer(100 + s)}, float(s));
    const float v0 = CMI(L, {});
    EXPECT_EQ(L.SetCache.Count(0, 5, 6), 50);
    EXPECT_EQ(L.SetCache.Slots(0, 5, 6)[48].fields, std::vector<Integer>{149});
    EXPECT_TRUE(L.SetCache.Slots(0, 5, 6)[49].fields.empty());
    EXPECT_EQ(L.SetCache.Slots(0, 5, 6)[49].cmi, v0);

    // A two-field set: its subsets overwrite slot 50 in turn, so the set itself is computed
    // once more, with the value it has on a fresh cache.
    const float v2 = CMI(L, {2, 1});
    EXPECT_EQ(L.SetCache.Count(0, 5, 6), 50);
    EXPECT_EQ(L.SetCache.Slots(0, 5, 6)[49].fields, (std::vector<Integer>{1, 2}));
    StatsLearner fresh = MixedLearner();
    EXPECT_EQ(CMI(fresh, {1, 2}), v2);
}

TEST(ConditionalMI, SetsBeyondTheLimitAreNotTested) {
    struct Case {
        core::CoreSettings settings;
        int k;
        bool queried;
    };
    const Case cases[] = {
        {core::CoreSettings::Classifier(100), 14, true},
        {core::CoreSettings::Classifier(100), 15, false},
        {core::CoreSettings::Construction(), 18, true},
        {core::CoreSettings::Construction(), 19, false},  // with the pair, more than 20 slots
    };
    for (const Case& c : cases) {
        // Fields 1..k are constant, k + 1 and k + 2 the pair.
        std::vector<std::string> cols;
        for (int i = 1; i <= c.k + 2; ++i) cols.push_back("F" + std::to_string(i));
        std::vector<Row> rows;
        for (int r = 0; r < 30; ++r) {
            Row row(size_t(c.k), db::Value("C"));
            row.emplace_back("A" + std::to_string(r % 2));
            row.emplace_back("B" + std::to_string(r % 2));
            rows.push_back(row);
        }
        StatsLearner L(c.settings);
        L.Bind(MemoryTable("T", cols, rows));
        L.MIWork(0, Integer(c.k + 1), Integer(c.k + 2)) = 0.5f;
        std::vector<Integer> set;
        for (int i = c.k; i >= 1; --i) set.push_back(Integer(i));
        const float v = CMI(L, set);
        EXPECT_EQ(L.db->CountQueries(), c.queried ? 1 : 0) << c.k;
        if (!c.queried) {
            EXPECT_EQ(v, 0.0f);
            EXPECT_EQ(L.MIWork(0, Integer(c.k + 1), Integer(c.k + 2)), 0.5f);
            EXPECT_EQ(L.SetCache.Count(0, Integer(c.k + 1), Integer(c.k + 2)), 0);
        } else {
            EXPECT_GT(v, 0.1f) << c.k;  // A and B are the same field
        }
    }
}

// Double-precision reference: the configurations of the set from the raw rows coded the way
// the labels are (upper case, Null and "?" one value), each with its full table.
double ReferenceCMI(const StatsLearner& L, const std::vector<Row>& rows, const std::vector<int>& setCols,
                    int aCol, int bCol, const std::vector<std::string>& cols) {
    auto code = [](const db::Value& v) { return v.IsNull() ? std::string("?") : db::LabelText(v); };
    std::map<std::vector<std::string>, std::map<std::pair<std::string, std::string>, double>> conf;
    for (const Row& r : rows) {
        std::vector<std::string> key;
        for (int c : setCols) key.push_back(code(r[size_t(c)]));
        conf[key][{code(r[size_t(aCol)]), code(r[size_t(bCol)])}] += 1;
    }
    auto ff = [&](int col) {
        for (Integer f = 1; f <= L.numfld; ++f)
            if (L.FieldNames(f) == "[" + cols[size_t(col)] + "]") return double(L.FF(f));
        return 0.0;
    };
    const double fa = ff(aCol), fb = ff(bCol), m = fa * fb, df = (fa - 1) * (fb - 1);
    double total = 0;
    for (const auto& [key, cells] : conf) {
        std::map<std::string, double> nu, nv;
        double nz = 0;
        for (const auto& [uv, n] : cells) {
            nu[uv.first] += n;
            nv[uv.second] += n;
            nz += n;
        }
        if (std::sqrt(2 * m) >= nz) continue;
        double S = 0;
        if (nz < 10 * m) {
            for (const auto& [u, a] : nu)
                for (const auto& [v, b] : nv) {
                    const double e = a * b / nz;
                    auto it = cells.find({u, v});
                    const double n = it == cells.end() ? 0 : it->second;
                    S += (n - e) * (n - e) / (2 * e);
                }
        } else {
            for (const auto& [uv, n] : cells) S += n * std::log(n * nz / nu[uv.first] / nv[uv.second]);
        }
        if (2.5 * S > L.ChiSq(Integer(df))) total += S;
    }
    return total / double(rows.size());
}

TEST(ConditionalMI, OnePassMatchesADoublePrecisionReference) {
    // Z1 holds Null, "1" and "?": Null and "?" are one value but two groups of the query, and
    // "1" sorts between them, so one configuration arrives in two separate runs. A and B hold
    // Null and "?" too, which splits cells into two rows.
    const std::vector<std::string> cols{"Z1", "Z2", "Z3", "Z4", "Z5", "A", "B"};
    const char* zValues[] = {nullptr, "1", "?", "x", "X"};
    const char* aValues[] = {nullptr, "?", "p", "q"};
    for (uint32_t seed : {1u, 2u, 3u}) {
        std::mt19937 gen(seed);
        std::vector<Row> rows;
        for (int r = 0; r < 3000; ++r) {
            Row row;
            const int z = int(gen() % 5);
            row.push_back(zValues[z] ? db::Value(zValues[z]) : db::Value::Null());
            for (int i = 0; i < 4; ++i) row.emplace_back("V" + std::to_string(gen() % (i < 2 ? 2 : 3)));
            const int a = int(gen() % 4);
            row.push_back(aValues[a] ? db::Value(aValues[a]) : db::Value::Null());
            const int b = gen() % 3 == 0 ? int(gen() % 3) : (a + (z % 3)) % 3;
            row.push_back(b == 0 ? db::Value::Null() : db::Value(b == 1 ? "?" : "r"));
            rows.push_back(row);
        }
        StatsLearner L(Classifier());
        L.Bind(MemoryTable("T", cols, rows));
        struct Set {
            std::vector<Integer> fields;
            std::vector<int> cols;
        };
        for (const Set& s : {Set{{}, {}}, Set{{1, 2, 3, 4}, {0, 1, 2, 3}}, Set{{1, 2, 3, 4, 5}, {0, 1, 2, 3, 4}},
                             Set{{1}, {0}}, Set{{1, 3, 5}, {0, 2, 4}}}) {
            const double want = ReferenceCMI(L, rows, s.cols, 5, 6, cols);
            const float got = CMI(L, s.fields);
            EXPECT_NEAR(got, want, 1e-5 + 1e-4 * want) << "seed " << seed << " k " << s.fields.size();
            EXPECT_GT(want, 0.0) << "the set should show dependence";
        }
    }
}

// A subset's value taken from a larger set's block, whose rows come in the larger set's order
// (counted into place by the subset's keys, or sorted where its keys are many), is the value
// the subset gets from a block of its own.
TEST(ConditionalMI, SubsetsOfALargerBlockMatchTheirOwnBlocks) {
    struct Case {
        int values;  // of each conditioning field; most rows take one of the first three
        int rows;
        uint32_t seed;
    };
    const std::vector<std::string> cols{"Z1", "Z2", "Z3", "Z4", "A", "B"};
    for (const Case& c : {Case{3, 2000, 1}, Case{5, 900, 2}, Case{40, 600, 3}}) {
        std::mt19937 gen(c.seed);
        std::vector<Row> rows;
        for (int r = 0; r < c.rows; ++r) {
            Row row;
            int sum = 0;
            for (int i = 0; i < 4; ++i) {
                const int z = int(gen() % 4 == 0 ? gen() % uint32_t(c.values) : gen() % 3);
                sum += z;
                row.emplace_back("V" + std::to_string(z));
            }
            const int a = int(gen() % 3);
            row.emplace_back("A" + std::to_string(a));
            row.emplace_back("B" + std::to_string(gen() % 3 == 0 ? int(gen() % 2) : (a + sum) % 2));
            rows.push_back(row);
        }
        StatsLearner L(Classifier());
        L.Bind(MemoryTable("T", cols, rows));
        CMI(L, {1, 2, 3, 4});
        int dependent = 0;
        for (const core::CachedSet& slot : L.SetCache.Slots(0, 5, 6)) {
            if (slot.fields.size() == 4) continue;
            StatsLearner own(Classifier());
            own.Bind(MemoryTable("T", cols, rows));
            EXPECT_EQ(CMI(own, slot.fields), slot.cmi) << "values " << c.values << " set of " << slot.fields.size();
            dependent += slot.cmi > 0;
        }
        EXPECT_GE(dependent, 7) << "values " << c.values;
    }
}

// Rows of weight 0 add no case to any cell, so every statistic stays as it was; they also move
// the subsets' sums off the flat tables of positive counts onto the row-ordered sums, so the
// two ways of summing a configuration are held to the same bits.
TEST(ConditionalMI, RowsOfNoWeightChangeNoStatistic) {
    const std::vector<std::string> cols{"Z1", "Z2", "Z3", "Z4", "Z5", "A", "B", "W"};
    for (uint32_t seed : {4u, 5u, 6u}) {
        std::mt19937 gen(seed);
        std::vector<Row> rows;
        for (int r = 0; r < 700; ++r) {
            Row row;
            int sum = 0;
            for (int i = 0; i < 5; ++i) {
                const int z = int(gen() % uint32_t(2 + i % 4));
                sum += z;
                row.emplace_back("V" + std::to_string(z));
            }
            const int a = int(gen() % 4);
            row.emplace_back("A" + std::to_string(a));
            row.emplace_back("B" + std::to_string(gen() % 3 == 0 ? int(gen() % 3) : (a + sum) % 3));
            row.emplace_back(int32_t(1 + gen() % 3));
            rows.push_back(row);
        }
        std::vector<Row> padded = rows;
        for (size_t r = 0; r < rows.size(); r += 7) {
            Row row = rows[(r * 13) % rows.size()];
            row[5] = rows[r][5];  // an (A, B) pair the configuration may not hold
            row.back() = db::Value(int32_t(0));
            padded.push_back(row);
        }
        const std::vector<std::string> fields(cols.begin(), cols.end() - 1);
        auto statistics = [&](const std::vector<Row>& table) {
            StatsLearner L(Classifier());
            L.Bind(MemoryTable("T", cols, table), fields, "W");
            std::vector<float> out;
            for (const std::vector<Integer>& set :
                 std::vector<std::vector<Integer>>{{1, 2, 3, 4}, {2, 3, 5}, {1, 4}, {5}, {1, 2, 3, 4, 5}, {}}) {
                out.push_back(CMI(L, set));
                for (const core::CachedSet& slot : L.SetCache.Slots(0, 6, 7)) out.push_back(slot.cmi);
            }
            return out;
        };
        const std::vector<float> plain = statistics(rows);
        EXPECT_EQ(statistics(padded), plain) << "seed " << seed;
        EXPECT_GT(*std::max_element(plain.begin(), plain.end()), 0.0f);
    }
}

TEST(ConditionalMI, AnEmptyBlockGivesZero) {
    StatsLearner L = MixedLearner();
    L.WhereClause = " WHERE A = \"none\"";
    EXPECT_EQ(CMI(L, {}), 0.0f);
    EXPECT_EQ(CMI(L, {1, 2, 3, 4}), 0.0f);
    EXPECT_EQ(CMI(L, {2}), 0.0f);  // cached as a subset of the four-field set
    EXPECT_EQ(L.db->CountQueries(), 2);
}


// The same statistics from a SQLite file through the database layer and from the in-memory
// table: the layer's grouping, ordering and Null handling feed the same sums. One field holds
// both Null and "?", which code to one value.
TEST(ConditionalMI, SameValuesOnTheDatabaseLayer) {
    testsupport::Network net = testsupport::RandomNetwork({6, 2, 3, 2, 0.7, 0.8}, 21);
    std::vector<std::vector<double>> rows(net.node(0).states.size(), {0.2, 0.2, 0.6});
    rows[0] = {0.6, 0.2, 0.2};
    net.AddNode("Odd", {"?", "1", "x"}, {0}, rows);
    testsupport::TableOptions opt;
    opt.nullRate = 0.05;
    opt.weightField = "Freq";
    const auto table = testsupport::SampleTable(net, 4000, opt);
    std::vector<std::string> fields(table.columns.begin(), table.columns.begin() + net.size());
    auto file = testsupport::WriteSqliteTable(testsupport::ProcessTempDir() + "cmi_layer.db", table);

    StatsLearner mem(Classifier()), sql(Classifier());
    mem.Bind(MemoryTable(table.table, table.columns, table.cells), fields, "Freq");
    sql.Bind(file, table.table, fields, "Freq");
    ASSERT_EQ(sql.FF, mem.FF);
    ASSERT_EQ(sql.NetTotal(0), mem.NetTotal(0));
    // One sequence of calls per learner, each from the generator's start, so both widen
    // their queries with the same fields.
    auto sequence = [](StatsLearner& L) {
        vb::ResetRnd();
        std::vector<float> out{L.GetMI(1, 2), L.GetMI(1, 7), L.GetMI(4, 7)};
        const std::vector<std::vector<Integer>> sets = {{}, {7}, {1, 7}, {1, 3, 7}, {1, 2, 3, 7}, {1, 3, 4, 5, 7}};
        for (const auto& set : sets) {
            for (size_t i = 0; i < set.size(); ++i) L.CondSet(Integer(i + 1)) = set[i];
            out.push_back(L.GetCMI(2, 6, Integer(set.size())));
        }
        return out;
    };
    const std::vector<float> fromFile = sequence(sql);
    EXPECT_EQ(fromFile, sequence(mem));
    EXPECT_GT(fromFile[1], 0.0f);
}

}  // namespace
