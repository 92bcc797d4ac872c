// The engines' counts read off the in-memory store's counter give the same coded block, row for
// row and bit for bit, as the count query text sent to SQLite: random tables of 1 to 8 fields of
// 2 to 45 values (a few of them of only 50 or 60 rows) with Null and "?" cells and labels in two
// cases, a frequency field holding 0 and large weights, the hold-out filter on and off, and the
// pair with 0 to 6 grouping fields; tables of 140,000 and 210,000 rows for the passes over large
// selections, under the machine's vector kernels and the plain ones; and the counter's indexed
// count declining for a code its table lacks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "core/count_arithmetic.h"
#include "platform/db/column_store.h"
#include "platform/db/sql_names.h"
#include "platform/db/sqlite_backend.h"
#include "platform/db/value_text.h"
#include "tests/support/db_contract.h"
#include "tests/support/network_sampler.h"
#include "tests/support/stats_learner.h"

namespace {

using vb::Integer;

struct Shape {
    int fields;
    int maxValues;
    bool weight;
    bool holdOut;
    int rows = 1500;
    bool heldOutRows = false;  // the filter keeps the hold-out rows instead of the others
    int holdOutEvery = 3;      // one row in this many is held out
};

// Rows whose cells are drawn from each field's labels, some Null, some "?", a few labels in
// lower case (the same value to the engine); weights of 0, 1..9 and 1,000,000.
testsupport::SampledTable RandomTable(const Shape& s, std::mt19937& rng, int rows) {
    testsupport::SampledTable t;
    t.table = "T";
    std::vector<int> values;
    for (int f = 1; f <= s.fields; ++f) {
        t.columns.push_back("F" + std::to_string(f));
        t.nodeOfColumn.push_back(f - 1);
        values.push_back(2 + int(rng() % unsigned(s.maxValues - 1)));
    }
    t.weightColumn = int(t.columns.size());
    t.columns.push_back("W");
    t.nodeOfColumn.push_back(-1);
    t.holdOutColumn = int(t.columns.size());
    t.columns.push_back("ZORV_HoldOut");
    t.nodeOfColumn.push_back(-1);
    for (int r = 0; r < rows; ++r) {
        std::vector<db::Value> row;
        for (int f = 0; f < s.fields; ++f) {
            const unsigned u = rng() % 100;
            const int v = int(rng() % unsigned(values[size_t(f)]));
            if (u < 4) row.emplace_back();
            else if (u < 7) row.emplace_back(std::string("?"));
            else if (u < 10) row.emplace_back("v" + std::to_string(v));
            else row.emplace_back("V" + std::to_string(v));
        }
        const unsigned w = rng() % 20;
        row.emplace_back(int32_t(w == 0 ? 0 : w == 1 ? 1000000 : int32_t(w % 10)));
        row.emplace_back(rng() % unsigned(s.holdOutEvery) == 0);
        t.cells.push_back(std::move(row));
    }
    return t;
}

// A learner over the file with the given counting path, bound as the engines bind a table.
struct Bound {
    std::shared_ptr<db::Database> db;
    testsupport::StatsLearner L{core::CoreSettings::Classifier(45)};
    Bound(const std::string& file, bool inMemory, const Shape& s) {
        db = db::DBEngine::OpenDatabase(file);
        dynamic_cast<db::sqlite::SqliteDatabase&>(*db).SetInMemoryCounting(inMemory);
        std::vector<std::string> fields;
        for (int f = 1; f <= s.fields; ++f) fields.push_back("F" + std::to_string(f));
        L.Bind(db, "T", fields, s.weight ? "W" : "");
        L.Db = db;  // straight to the database, as an engine holds it
        if (s.holdOut) L.WhereClause = " WHERE " + db::HoldOutCondition(s.heldOutRows) + " ";
    }
    const db::sqlite::CountingStats& stats() const {
        return dynamic_cast<db::sqlite::SqliteDatabase&>(*db).CountingStatistics();
    }
};

TEST(DirectCounts, SameBlockAsTheQueryTextOnRandomShapes) {
    std::mt19937 rng(20261210);
    const Shape shapes[] = {
        {1, 2, false, false}, {2, 45, true, false}, {3, 5, false, true}, {4, 12, true, true},
        {5, 3, true, false},  {6, 8, false, true},  {7, 4, true, true},  {8, 30, false, false},
        // Fewer rows than the small sorts and the count arrays take.
        {5, 6, false, false, 50}, {4, 3, false, true, 60},
        // Selections of more rows than the sorts of small counts once took: every row, the
        // training rows and the hold-out rows (their keys made over every row and picked out),
        // with key ranges counted in place, sorted at 32 bits and, over eight fields of up to 30
        // values, at 64.
        {3, 5, false, true, 140000}, {7, 12, false, true, 210000}, {6, 10, false, true, 140000, true},
        {8, 30, false, false, 140000},
        // A tenth of the rows held out: a list too sparse to make its keys over every row.
        {5, 6, false, true, 20000, true, 10},
    };
    testsupport::TempDir dir;
    int n = 0;
    for (const Shape& s : shapes) {
        const std::string file = dir.Path("t" + std::to_string(n++) + ".db");
        testsupport::WriteSqliteTable(file, RandomTable(s, rng, s.rows))->Close();
        Bound direct(file, true, s), text(file, false, s);
        const int64_t countedBefore = direct.stats().counted;
        for (int q = 0; q < 12; ++q) {
            // The pair last, up to six grouping fields before it, drawn without repeats.
            std::vector<Integer> order;
            for (Integer f = 1; f <= s.fields; ++f) order.push_back(f);
            std::shuffle(order.begin(), order.end(), rng);
            const size_t take = s.fields == 1 ? 1 : 2 + rng() % size_t(std::min(s.fields - 1, 7));
            order.resize(take);
            const Integer a = order.back();
            const Integer b = order.size() > 1 ? order[order.size() - 2] : a;
            const std::vector<Integer> g(order.begin(), order.end() - (order.size() > 1 ? 2 : 1));
            const core::CodedBlock x = direct.L.CountCoded(g, a, b), y = text.L.CountCoded(g, a, b);
            const std::string what = "shape " + std::to_string(n) + " query " + std::to_string(q);
            ASSERT_EQ(x.rows, y.rows) << what;
            ASSERT_GT(x.rows, 0) << what;
            ASSERT_EQ(x.width, y.width) << what;
            const Integer m = Integer(x.width);
            for (int32_t r = 0; r < x.rows; ++r) {
                const double cx = core::counts::CountOf(x, r), cy = core::counts::CountOf(y, r);
                ASSERT_EQ(std::memcmp(&cx, &cy, sizeof cx), 0) << what << " row " << r;
                for (Integer c = 1; c <= m; ++c) {
                    const Integer f = c <= Integer(g.size()) ? g[size_t(c - 1)] : c == m ? b : a;
                    ASSERT_EQ(core::counts::IndexOf(x, c, r, direct.L.FF(f)),
                              core::counts::IndexOf(y, c, r, text.L.FF(f)))
                        << what << " row " << r << " column " << c;
                }
            }
        }
        EXPECT_EQ(direct.stats().counted - countedBefore, 12) << "every count went through the counter";
        EXPECT_EQ(text.stats().counted, 0);
    }
}

// The plain kernels make the same blocks as the vector ones (which the test above compares with
// the query text) over every kind of selection: all rows in one run (counted in place and sorted),
// a dense list picked out of each block's keys, a sparse one gathered.
TEST(DirectCounts, PlainKernelsCountAsTheVectorOnes) {
    std::mt19937 rng(20261211);
    const Shape shapes[] = {
        {6, 10, false, false, 140000}, {7, 12, false, true, 140000}, {6, 10, false, true, 140000, true},
        {8, 30, false, true, 140000}, {6, 10, false, true, 140000, true, 10},
    };
    if (!db::sqlite::UseVectorKernels(true)) GTEST_SKIP() << "the machine has no wider vectors than the plain kernels";
    testsupport::TempDir dir;
    int n = 0;
    for (const Shape& s : shapes) {
        const std::string file = dir.Path("t" + std::to_string(n++) + ".db");
        testsupport::WriteSqliteTable(file, RandomTable(s, rng, s.rows))->Close();
        Bound direct(file, true, s);
        for (int q = 0; q < 8; ++q) {
            std::vector<Integer> order;
            for (Integer f = 1; f <= s.fields; ++f) order.push_back(f);
            std::shuffle(order.begin(), order.end(), rng);
            order.resize(2 + rng() % 4);
            const std::vector<Integer> g(order.begin() + 2, order.end());
            db::sqlite::UseVectorKernels(true);
            const core::CodedBlock wide = direct.L.CountCoded(g, order[0], order[1]);
            db::sqlite::UseVectorKernels(false);
            const core::CodedBlock plain = direct.L.CountCoded(g, order[0], order[1]);
            db::sqlite::UseVectorKernels(true);
            const std::string what = "shape " + std::to_string(n) + " query " + std::to_string(q);
            ASSERT_GT(wide.rows, 0) << what;
            EXPECT_EQ(wide.rows, plain.rows) << what;
            EXPECT_EQ(wide.code, plain.code) << what;
            EXPECT_EQ(wide.count, plain.count) << what;
        }
        EXPECT_EQ(direct.stats().counted, 16);
    }
}

// The counter's indexed count writes each code through the caller's table and declines when the
// table lacks a code that a group holds, as when a field's values grew past its labels.
TEST(DirectCounts, AnIndexedCountDeclinesForACodeWithoutAnIndex) {
    std::mt19937 rng(11);
    const Shape s{3, 4, false, false};
    testsupport::TempDir dir;
    const std::string file = dir.Path("t.db");
    testsupport::WriteSqliteTable(file, RandomTable(s, rng, 300))->Close();
    auto db = db::DBEngine::OpenDatabase(file);
    auto counter = db->GroupCounts(" Count(*) ", "T", "", {"F1", "F2", "F3"});
    ASSERT_TRUE(counter);
    const std::vector<int> fields{2, 0, 0};  // a field asked twice is written through each table
    std::vector<std::vector<int32_t>> tables;
    for (int f : fields) {
        std::vector<int32_t> t;
        for (size_t code = 0; code < counter->Values(f)->size(); ++code) t.push_back(int32_t(100 * tables.size() + code));
        tables.push_back(t);
    }
    auto spans = [&] { return std::vector<std::span<const int32_t>>(tables.begin(), tables.end()); };
    db::GroupCountResult raw;
    ASSERT_EQ(counter->Count(fields, 1000, raw), db::GroupCounter::Outcome::Counted);
    std::vector<int32_t> codes;
    std::vector<double> counts;
    ASSERT_EQ(counter->CountIndexed(fields, spans(), 1000, codes, counts), db::GroupCounter::Outcome::Counted);
    ASSERT_EQ(counts, raw.counts);
    ASSERT_EQ(codes.size(), raw.codes.size());
    for (size_t cell = 0; cell < codes.size(); ++cell)
        EXPECT_EQ(codes[cell], tables[cell % 3][raw.codes[cell]]) << "cell " << cell;
    // The second table lacks the last code of F1, which some group holds.
    tables[1].pop_back();
    EXPECT_EQ(counter->CountIndexed(fields, spans(), 1000, codes, counts), db::GroupCounter::Outcome::Declined);
    tables[1].clear();
    EXPECT_EQ(counter->CountIndexed(fields, spans(), 1000, codes, counts), db::GroupCounter::Outcome::Declined);
    EXPECT_EQ(counter->CountIndexed(fields, {}, 1000, codes, counts), db::GroupCounter::Outcome::Declined);
}

// A write to the table after the counter was made: the next count is the new table's.
TEST(DirectCounts, AChangedTableIsCountedAfresh) {
    std::mt19937 rng(7);
    const Shape s{3, 4, false, false};
    testsupport::TempDir dir;
    const std::string file = dir.Path("t.db");
    testsupport::WriteSqliteTable(file, RandomTable(s, rng, 200))->Close();
    Bound direct(file, true, s);
    const core::CodedBlock before = direct.L.CountCoded({1}, 2, 3);
    direct.db->Execute("DELETE FROM T WHERE F1 IS NULL OR F1 <> 'V0'");
    const core::CodedBlock after = direct.L.CountCoded({1}, 2, 3);
    double total = 0;
    for (int32_t r = 0; r < after.rows; ++r) total += core::counts::CountOf(after, r);
    EXPECT_LT(after.rows, before.rows);
    Bound text(file, false, s);
    text.L.FF = direct.L.FF;
    text.L.VluLbl = direct.L.VluLbl;  // the labels of the table as it was, as the engine holds them
    const core::CodedBlock expected = text.L.CountCoded({1}, 2, 3);
    double expectedTotal = 0;
    for (int32_t r = 0; r < expected.rows; ++r) expectedTotal += core::counts::CountOf(expected, r);
    EXPECT_EQ(after.rows, expected.rows);
    EXPECT_EQ(total, expectedTotal);
    EXPECT_EQ(after.code, expected.code);
}

}  // namespace

// The one-pass conditional MI read off the counter's keys gives, bit for bit, what the same sum
// gives over the coded rows of the query text, and leaves the same last configuration; a table
// whose Null and "?" code to one value gets no keys and is summed over its coded rows.
TEST(DirectCounts, KeyedOnePassMatchesTheCodedRows) {
    std::mt19937 rng(20261212);
    struct Case {
        Shape shape;
        bool plainLabels;  // upper-case labels only: every field's indexes are its codes plus one
    };
    const Case cases[] = {
        {{9, 5, false, false, 1000}, true}, {{10, 3, false, true, 3000}, true},
        {{8, 12, false, false, 400}, true}, {{9, 5, false, true, 1500}, false},
    };
    testsupport::TempDir dir;
    int n = 0;
    for (const Case& c : cases) {
        const Shape& s = c.shape;
        testsupport::SampledTable t = RandomTable(s, rng, s.rows);
        if (c.plainLabels)
            for (auto& row : t.cells)
                for (int f = 0; f < s.fields; ++f) {
                    db::Value& cell = row[size_t(f)];
                    const std::string text = cell.IsNull() ? "?" : cell.AsText();
                    // Null and "?" become their own label "N", a lower-case label its upper case.
                    cell = db::Value(text == "?" ? std::string("N") : db::LabelText(cell));
                }
        const std::string file = dir.Path("k" + std::to_string(n++) + ".db");
        testsupport::WriteSqliteTable(file, t)->Close();
        Bound direct(file, true, s), text(file, false, s);
        for (int q = 0; q < 10; ++q) {
            std::vector<Integer> order;
            for (Integer f = 1; f <= s.fields; ++f) order.push_back(f);
            std::shuffle(order.begin(), order.end(), rng);
            // No conditioning field, or five and more: the sets the one-pass sum alone answers.
            const size_t k = q == 0 ? 0 : 5 + rng() % size_t(s.fields - 6);
            const Integer a = order[0], b = order[1];
            const std::vector<Integer> set(order.begin() + 2, order.begin() + 2 + std::ptrdiff_t(k));
            const std::string what = "case " + std::to_string(n) + " set of " + std::to_string(k);
            if (c.plainLabels) {
                EXPECT_NE(direct.L.CountKeyed(set, std::min(a, b), std::max(a, b)), nullptr) << what;
            }
            float got[2];
            core::Learner* learners[2] = {&direct.L, &text.L};
            for (int i = 0; i < 2; ++i) {
                for (size_t x = 0; x < k; ++x) learners[i]->CondSet(Integer(x + 1)) = set[x];
                got[i] = learners[i]->GetCMI(a, b, Integer(k));
            }
            EXPECT_EQ(std::memcmp(&got[0], &got[1], sizeof(float)), 0) << what << ": " << got[0] << " " << got[1];
            for (Integer j = 1; j <= Integer(k); ++j) EXPECT_EQ(direct.L.CurConf(j), text.L.CurConf(j)) << what;
        }
    }
}
