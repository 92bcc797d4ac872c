// trune's conditioning of a copied table: three continuous fields cut by each method, their
// labels and the hold-out flag written into every row of a 100,000-row SQLite table through a
// dynaset, committed every 1,000 rows. The cut statements run once; the walk is the rest.
// Timed with Google Benchmark.
#include <benchmark/benchmark.h>

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

BENCHMARK(ConditionTable)->Args({100000, 0})->Args({100000, 1})->Args({100000, 2})->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
