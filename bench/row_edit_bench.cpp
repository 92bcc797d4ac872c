// The labelling walk of the data-conditioning wizard: every row of a table edited through a
// dynaset (a label and a Boolean set, then Update), on a SQLite file. In autocommit each Update
// is a transaction of its own and waits for the disk; committed every 1,000 rows, the walk
// costs what the row reads and updates cost. Timed with Google Benchmark.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/support/db_contract.h"

namespace {

// A file with one table of `rows` rows: a number and the two columns the walk writes.
std::string MakeTable(const testsupport::TempDir& dir, int rows) {
    const std::string file = dir.Path("walk" + std::to_string(rows) + ".db");
    testsupport::TableSpec t{"T", {{"Age", db::dbDouble}, {"Age_d", db::dbText, 50}, {"ZORV_HoldOut", db::dbBoolean}}, {}};
    for (int r = 0; r < rows; ++r) t.rows.push_back({db::Value(double(r % 97))});
    testsupport::CreateSqliteFile(file, {t});
    return file;
}

// Args: rows, rows per transaction (0: autocommit).
void RowEditWalk(benchmark::State& state) {
    const int rows = int(state.range(0));
    const int block = int(state.range(1));
    testsupport::TempDir dir;
    auto db = db::DBEngine::OpenDatabase(MakeTable(dir, rows));
    for (auto _ : state) {
        auto rs = db->OpenRecordset("select * from [T]", db::dbOpenDynaset);
        if (block) db->BeginTrans();
        int done = 0;
        for (rs->MoveFirst(); !rs->Eof(); rs->MoveNext()) {
            rs->Edit();
            rs->SetField("Age_d", db::Value(rs->Fields(0).value().ToDouble() < 50 ? "<50" : ">50"));
            rs->SetField("ZORV_HoldOut", db::Value(done % 3 == 0));
            rs->Update();
            if (block && ++done % block == 0) {
                db->CommitTrans();
                db->BeginTrans();
            }
        }
        if (block) db->CommitTrans();
        rs->Close();
    }
    state.SetItemsProcessed(state.iterations() * rows);
    state.SetLabel(block ? "commit every " + std::to_string(block) + " rows" : "autocommit");
}

BENCHMARK(RowEditWalk)->Args({300, 0})->Args({5000, 1000})->Args({100000, 1000})->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
