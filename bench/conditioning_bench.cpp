// trune's conditioning of a copied table: three continuous fields cut by each method, their
// labels and the hold-out flag written into every row of a 100,000-row SQLite table through a
// dynaset, all in one transaction. The cut statements run once; the walk is the rest. Then the
// entropy cuts alone of ten continuous fields over 200,000 rows, with the longest time between
// two progress reports ("gap ms"), which must stay under 0.2 s. Timed with Google Benchmark.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "tests/support/db_contract.h"
#include "trune/discretize/conditioning.h"

namespace {

std::string MakeTable(const testsupport::TempDir& dir, int rows) {
    const std::string file = dir.Path("copy" + std::to_string(rows) + ".db");
    testsupport::TableSpec t{"T", {{"Class", db::dbText, 5}, {"A", db::dbDouble}, {"B", db::dbLong}, {"C", db::dbDouble}}, {}};
    for (int r = 0; r < rows; ++r)
        t.rows.push_back({db::Value(r % 997 < 400 ? "X" : "Y"), db::Value(double(r % 997) / 7), db::Value(int32_t(r % 121)),
                          r % 50 ? db::Value(double((int64_t(r) * 7919) % 100003) * 0.01) : db::Value()});
    testsupport::CreateSqliteFile(file, {t});
    return file;
}

// Args: rows, method (0 equal width, 1 equal frequency, 2 entropy).
void ConditionTable(benchmark::State& state) {
    const int rows = int(state.range(0));
    const auto method = trune::CutMethod(state.range(1));
    testsupport::TempDir dir;
    auto db = db::DBEngine::OpenDatabase(MakeTable(dir, rows));
    for (auto _ : state) {
        std::vector<trune::FieldToCut> fields{{"A", 10, {}}, {"B", 10, {}}, {"C", 10, {}}};
        trune::CutSettings settings;
        settings.method = method;
        settings.classField = "Class";
        trune::ConditionTable(*db, "T", fields, settings, trune::RuntimeRandom(), [](vb::Single) { return false; });
    }
    state.SetItemsProcessed(state.iterations() * rows);
    state.SetLabel(method == trune::CutMethod::EqualWidth       ? "equal width"
                   : method == trune::CutMethod::EqualFrequency ? "equal frequency"
                                                                : "entropy");
}

// Ten fields of distinct values over 200,000 rows, each leaning on a class of three values.
std::string MakeWideTable(const testsupport::TempDir& dir, int rows) {
    const std::string file = dir.Path("cuts" + std::to_string(rows) + ".db");
    testsupport::TableSpec t{"T", {{"Class", db::dbText, 5}}, {}};
    for (int f = 0; f < 10; ++f) t.columns.push_back({"F" + std::to_string(f), db::dbDouble});
    uint32_t x = 1;
    const auto next = [&x] { return x = x * 1103515245u + 12345u; };
    for (int r = 0; r < rows; ++r) {
        const double base = next() % 1000 / 10.0;
        std::vector<db::Value> row{db::Value(base < 40 ? "A" : base < 70 ? "B" : "C")};
        for (int f = 0; f < 10; ++f) row.push_back(db::Value(double(next() >> 4) / 1000.0 + base * (f + 1) * 100));
        t.rows.push_back(std::move(row));
    }
    testsupport::CreateSqliteFile(file, {t});
    return file;
}

// Args: rows. The entropy cuts of ten fields, and the longest wait between progress reports.
void EntropyCutProgress(benchmark::State& state) {
    const int rows = int(state.range(0));
    testsupport::TempDir dir;
    auto db = db::DBEngine::OpenDatabase(MakeWideTable(dir, rows));
    double gap = 0;
    int64_t reports = 0;
    for (auto _ : state) {
        std::vector<trune::FieldToCut> fields;
        for (int f = 0; f < 10; ++f) fields.push_back({"F" + std::to_string(f), 10, {}});
        trune::CutSettings settings;
        settings.method = trune::CutMethod::Entropy;
        settings.classField = "Class";
        auto last = std::chrono::steady_clock::now();
        const auto heard = [&](vb::Single) {
            const auto now = std::chrono::steady_clock::now();
            gap = std::max(gap, std::chrono::duration<double, std::milli>(now - last).count());
            last = now;
            ++reports;
            return false;
        };
        trune::ComputeCuts(*db, "T", fields, settings, heard);
    }
    state.counters["gap ms"] = gap;
    state.counters["reports"] = double(reports) / double(state.iterations());
    state.SetItemsProcessed(state.iterations() * rows);
}

BENCHMARK(EntropyCutProgress)->Arg(200000)->Unit(benchmark::kMillisecond);

BENCHMARK(ConditionTable)->Args({100000, 0})->Args({100000, 1})->Args({100000, 2})->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
