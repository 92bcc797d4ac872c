// Lift and ROC indices on small scored case sets, the ROC files and their names, and the sort.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "classifier_engine/data_engine.h"
#include "tests/support/engine_fixture.h"

namespace {

using vb::Integer;
using vb::Long;
using vb::Single;

// Runs the test body inside a temporary current directory, where the ROC files go.
class InTempDir {
public:
    InTempDir() : old_(std::filesystem::current_path()) {
        std::filesystem::current_path(dir_.path());
    }
    ~InTempDir() { std::filesystem::current_path(old_); }
    std::string Read(const std::string& name) const {
        std::ifstream in(dir_.Path(name), std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    size_t Files() const {
        size_t n = 0;
        for (auto& f : std::filesystem::directory_iterator(dir_.path())) n += f.is_regular_file();
        return n;
    }

private:
    testsupport::TempDir dir_;
    std::filesystem::path old_;
};

// Cases given as (actual class, probabilities of class 1..nc).
void Cases(zorvapi::DataEngine& e, Integer nc,
           const std::vector<std::pair<Integer, std::vector<Single>>>& cases) {
    const Long N = Long(cases.size());
    e.FF.ReDim(vb::To(1));
    e.FF(1) = nc;
    e.nc = nc;
    e.ActualClass.ReDim(vb::To(N));
    e.CasePosterior.ReDim(vb::To(N), vb::To(nc));
    e.CaseOrder.ReDim(vb::To(N));
    for (Long n = 1; n <= N; ++n) {
        e.ActualClass(n) = cases[size_t(n - 1)].first;
        for (Integer c = 1; c <= nc; ++c)
            e.CasePosterior(n, c) = cases[size_t(n - 1)].second[size_t(c - 1)];
    }
}

TEST(Lift, HandComputedIndices) {
    zorvapi::DataEngine e;
    // Two of four cases belong to class 1 and rank first: (0.5 + 1 + 1 + 1) / 4.
    Cases(e, 2, {{2, {0.3f, 0.7f}}, {1, {0.9f, 0.1f}}, {2, {0.1f, 0.9f}}, {1, {0.6f, 0.4f}}});
    Integer c = 1;
    EXPECT_EQ(e.LiftCurve(c), 0.875f);
    // Class 2 ranks its cases 0.9, 0.7 first as well.
    c = 2;
    EXPECT_EQ(e.LiftCurve(c), 0.875f);
    // A class value without cases.
    Cases(e, 3, {{1, {0.5f, 0.5f, 0}}, {2, {0.5f, 0.5f, 0}}});
    c = 3;
    EXPECT_EQ(e.LiftCurve(c), 0.0f);
}

TEST(ROC, HandComputedIndexAndFile) {
    InTempDir cwd;
    zorvapi::DataEngine e;
    // Ranked by the probability of Y (= 2): Y, X, Y, X, Z.
    Cases(e, 3, {{1, {0.3f, 0.6f, 0.1f}},
                 {3, {0.1f, 0.1f, 0.8f}},
                 {2, {0.2f, 0.7f, 0.1f}},
                 {1, {0.2f, 0.2f, 0.6f}},
                 {2, {0.4f, 0.5f, 0.1f}}});
    Integer x = 1, y = 2;
    EXPECT_EQ(e.ROCCurve(x, y), 0.75f);
    EXPECT_EQ(cwd.Read("roc12.txt"), "0.5\r\n1\r\n");
}

TEST(ROC, FilesUseTheRegionalDecimalSymbol) {
    InTempDir cwd;
    zorvapi::DataEngine e;
    // By the probability of Y (= 2): Y, X, X, Y, X: shares 0.5, 0.5 and 1.
    Cases(e, 2, {{2, {0.1f, 0.9f}}, {1, {0.3f, 0.7f}}, {1, {0.4f, 0.6f}}, {2, {0.5f, 0.5f}},
                 {1, {0.9f, 0.1f}}});
    testsupport::CommaLocale comma;
    if (!comma.ok()) GTEST_SKIP() << "no locale with a decimal comma can be made here";
    Integer x = 1, y = 2;
    EXPECT_EQ(e.ROCCurve(x, y), Single(2.0 / 3.0));
    EXPECT_EQ(cwd.Read("roc12.txt"), "0,5\r\n0,5\r\n1\r\n");
}

TEST(ROC, PairsWithoutCases) {
    InTempDir cwd;
    zorvapi::DataEngine e;
    Cases(e, 3, {{1, {0.8f, 0.2f, 0}}, {2, {0.3f, 0.7f, 0}}, {1, {0.6f, 0.4f, 0}}});
    Integer x = 3, y = 1;
    EXPECT_EQ(e.ROCCurve(x, y), 1.0f);  // no case of X
    EXPECT_EQ(cwd.Read("roc31.txt"), "");
    x = 1, y = 3;
    EXPECT_EQ(e.ROCCurve(x, y), 0.0f);  // no case of Y
    EXPECT_EQ(cwd.Read("roc13.txt"), "");
    // Y ranked above every X: every line reads 1.
    x = 1, y = 2;
    EXPECT_EQ(e.ROCCurve(x, y), 1.0f);
    EXPECT_EQ(cwd.Read("roc12.txt"), "1\r\n1\r\n");
}

TEST(ROC, AllPairsAndTheirMean) {
    InTempDir cwd;
    zorvapi::DataEngine e;
    Cases(e, 2, {{1, {0.8f, 0.2f}}, {2, {0.3f, 0.7f}}, {1, {0.4f, 0.6f}}, {2, {0.45f, 0.55f}}});
    const Single mean = e.AllROC();
    // (1, 2) by P(2): 0.7(Y) 0.6(X) 0.55(Y) 0.2(X): shares 0.5 and 1.
    EXPECT_EQ(e.ROCIndex(1, 2), 0.75f);
    // (2, 1) by P(1): 0.8(Y) 0.45(X) 0.4(Y) 0.3(X): shares 0.5 and 1.
    EXPECT_EQ(e.ROCIndex(2, 1), 0.75f);
    EXPECT_EQ(mean, 0.75f);
    EXPECT_EQ(e.ROCIndex(1, 1), 0);
    EXPECT_EQ(cwd.Files(), 2u);
}

TEST(ROC, OneClassValueHasNoPairs) {
    InTempDir cwd;
    zorvapi::DataEngine e;
    Cases(e, 1, {{1, {1.0f}}, {1, {1.0f}}});
    EXPECT_EQ(e.AllROC(), 0.0f);
    EXPECT_EQ(cwd.Files(), 0u);
}

TEST(ROC, FileNamesStayUniqueFromTenClassValuesOn) {
    EXPECT_EQ(zorvapi::DataEngine::RocFileName(1, 2), "roc12.txt");
    EXPECT_EQ(zorvapi::DataEngine::RocFileName(9, 8), "roc98.txt");
    EXPECT_EQ(zorvapi::DataEngine::RocFileName(1, 12), "roc1_12.txt");
    EXPECT_EQ(zorvapi::DataEngine::RocFileName(11, 2), "roc11_2.txt");
    std::set<std::string> names;
    for (Integer x = 1; x <= 30; ++x)
        for (Integer y = 1; y <= 30; ++y)
            if (x != y) names.insert(zorvapi::DataEngine::RocFileName(x, y));
    EXPECT_EQ(names.size(), 30u * 29u);

    // Twelve class values: every ordered pair gets its own file.
    InTempDir cwd;
    zorvapi::DataEngine e;
    std::vector<std::pair<Integer, std::vector<Single>>> cases;
    for (Integer c = 1; c <= 12; ++c) cases.push_back({c, std::vector<Single>(12, 1.0f / 12)});
    Cases(e, 12, cases);
    e.AllROC();
    EXPECT_EQ(cwd.Files(), 132u);
}

// The sort as a plain recursive procedure, to check that the engine's loop partitions alike.
void ReferenceSort(const vb::Array<Single>& p, Integer d, std::vector<Long>& order, Long first,
                   Long last) {
    auto key = [&](Long k) { return p(order[size_t(k)], d); };
    Long i = first, j = last;
    const Single pivot = (key(first) + key(last)) / 2;
    do {
        while (key(i) > pivot) ++i;
        while (key(j) < pivot) --j;
        if (i <= j) {
            std::swap(order[size_t(i)], order[size_t(j)]);
            ++i;
            --j;
        }
    } while (i <= j);
    if (first < j) ReferenceSort(p, d, order, first, j);
    if (i < last) ReferenceSort(p, d, order, i, last);
}

TEST(QuickSort, TiesEndWhereThePartitioningLeavesThem) {
    zorvapi::DataEngine e;
    const Single keys[] = {0.5f, 0.2f, 0.5f, 0.9f, 0.2f, 0.5f, 0.1f, 0.9f, 0.5f, 0.2f, 0.3f, 0.5f};
    std::vector<std::pair<Integer, std::vector<Single>>> cases;
    for (Single k : keys) cases.push_back({1, {k}});
    Cases(e, 1, cases);
    const Long N = Long(cases.size());
    std::vector<Long> order(size_t(N + 1));
    for (Long n = 0; n <= N; ++n) order[size_t(n)] = e.CaseOrder(n) = n;
    ReferenceSort(e.CasePosterior, 1, order, 1, N);
    Integer d = 1;
    Long first = 1, last = N;
    e.QuickSort(d, first, last);
    for (Long n = 1; n <= N; ++n) EXPECT_EQ(e.CaseOrder(n), order[size_t(n)]) << n;
}

TEST(QuickSort, LargeAlreadySortedArrays) {
    zorvapi::DataEngine e;
    const Long N = 1000000;
    e.CasePosterior.ReDim(vb::To(N), vb::To(1));
    e.CaseOrder.ReDim(vb::To(N));
    const std::function<Single(Long)> orders[] = {
        [&](Long n) { return Single(n) / Single(N); },          // ascending
        [&](Long n) { return Single(N - n) / Single(N); },      // descending
        [&](Long n) { return 1.0f / Single(n); },                // descending, skewed
        [&](Long n) { return n <= N / 2 ? 0.75f : 0.25f; },      // two blocks of ties
    };
    for (const auto& f : orders) {
        for (Long n = 1; n <= N; ++n) {
            e.CasePosterior(n, 1) = f(n);
            e.CaseOrder(n) = n;
        }
        Integer d = 1;
        Long first = 1, last = N;
        e.QuickSort(d, first, last);
        for (Long n = 2; n <= N; ++n)
            ASSERT_GE(e.CasePosterior(e.CaseOrder(n - 1), 1), e.CasePosterior(e.CaseOrder(n), 1))
                << n;
    }
}

}  // namespace
