// One grouped count query, as the statistics send it, timed with Google Benchmark on a
// 100,000-row table drawn from a known network: over two and over five fields, with and
// without the hold-out filter, through SQLite and through the in-memory counting path.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "platform/db/sqlite_backend.h"
#include "tests/support/db_contract.h"
#include "tests/support/network_sampler.h"

namespace {

struct Table {
    testsupport::TempDir dir;
    std::string file = dir.Path("count.db");
    Table() {
        testsupport::RandomNetworkOptions o;
        o.nodes = 15;
        o.minStates = 2;
        o.maxStates = 5;
        testsupport::TableOptions opt;
        opt.classNode = 0;
        testsupport::WriteSqliteTable(file, testsupport::SampleTable(testsupport::RandomNetwork(o, 5), 100000, opt))
            ->Close();
    }
};

const Table& Shared() {
    static const Table t;
    return t;
}

const char* const kQueries[] = {
    "select  Count(*) , X2, X3 from [Sample] group by X2,X3",
    "select  Count(*) , X2,X3,X4,X5, X6 from [Sample] group by X2,X3,X4,X5,X6",
    "select  Count(*) , X2,X3,X4,X5, X6 from [Sample] WHERE zorv_holdout=no  group by X2,X3,X4,X5,X6",
};

void CountQuery(benchmark::State& state) {
    auto db = db::DBEngine::OpenDatabase(Shared().file);
    dynamic_cast<db::sqlite::SqliteDatabase&>(*db).SetInMemoryCounting(state.range(1) != 0);
    const std::string sql = kQueries[state.range(0)];
    db->OpenRecordset(sql, db::dbOpenForwardOnly)->GetRows(100000);  // the table's one load
    for (auto _ : state) {
        auto rs = db->OpenRecordset(sql, db::dbOpenForwardOnly);
        benchmark::DoNotOptimize(rs->GetRows(100000));
        rs->Close();
    }
    state.SetLabel(std::string(state.range(1) ? "in-memory: " : "sqlite: ") + sql);
}

BENCHMARK(CountQuery)->ArgsProduct({{0, 1, 2}, {0, 1}})->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
