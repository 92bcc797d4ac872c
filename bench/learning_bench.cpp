// Times structure learning through the counting paths: the classifier engine's pairwise pass,
// one ConstructBN, and a whole LearnStru (the better of both models, a searched threshold, the
// multi-net's feature subset kept if it performs better) followed by LearnCPT
// over tables drawn from a known network, each through SQLite, through the in-memory counting
// path and, for tables up to 50,000 rows, through a PostgreSQL server over ODBC. Prints one line
// per step and path with the wall time, the peak memory the step added, the number of grouped
// count queries and the speed-up over SQLite, and a checksum of the learned classifier (graph,
// model kind and tables), which must be the same on every path and in every build.
//
//     learning_bench [--sizes 50000x15,1000000x15] [--skip-sqlite-above 50000] [--no-postgres]
//                    [--wide 1000x1000] [--no-cancel] [--dense 1000000] [--imported 1000000]
//                    [--data DIR]
//
// The engine runs with zorv's default limits, Init(100000, 45). Tables are kept in DIR
// (default: bench-data under the current folder) and reused by later runs; --skip-sqlite-above
// leaves out the SQLite runs of tables with more rows than N (they take minutes; -1 runs all). --wide
// FIELDSxROWS times LearnStru with a fixed threshold and a single net on a wide table through
// the in-memory path, with the longest wait between two progress events, and then cancels
// runs at several points and times how long each takes to return (--no-cancel: the whole run
// only). --dense ROWS times zorv's default run (single net, searched threshold, feature subset
// kept if better) and a fixed-threshold run on a dense table: a class of three values and 15
// fields of 2 to 5 values, each drawn from a table over the class and the field before it.
// The dense shape runs twice: on the table above ("dense (own)") and on the one the shared
// generator gen_dense.py draws ("dense (gen_dense)": class Cls, text fields F01..F15 over random
// tables, an INTEGER hold-out flag), made with python3 when its file is missing; without the
// script that table is skipped with a line saying so. --imported ROWS writes the dense (own)
// table as a delimited text file and as a dBase table and times zorv's default run through
// each, from the open and its import on, with the peak memory it added, against the SQLite
// file. Without --sizes, --wide, --dense or --imported the
// default shapes run, the dense ones of 1,000,000 rows included; naming one of them runs only
// what is named.
#include <fmt/format.h>
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "classifier_engine/data_engine.h"
#include "platform/db/column_store.h"
#include "platform/db/sqlite_backend.h"
#include "platform/vb/rnd.h"
#include "platform/vb/strings.h"
#include "tests/support/network_sampler.h"
#include "tests/support/odbc_servers.h"
#include "tests/support/recording_db.h"

namespace {

using vb::Integer;
using vb::Long;
using vb::Single;

struct Size {
    int rows = 0;
    int fields = 0;
};

struct Options {
    std::vector<Size> sizes{{50000, 15}, {1000000, 15}};
    long skipSqliteAbove = 50000;  // the SQLite path takes minutes on larger tables
    bool postgres = true;
    std::vector<Size> wide;  // fields x rows
    std::vector<int> dense{1000000};  // rows of the dense tables
    std::vector<int> imported;        // rows of the dense (own) table read through imported formats
    bool wideCancels = true;
    std::string data = "bench-data";
};

// zorv's defaults for the row limit of the probability-table store and the values per field.
constexpr Long kRowLimit = 100000;
constexpr Integer kValueLimit = 45;

// A benchmark table: the class first, the hold-out flag last.
struct BenchTable {
    testsupport::SampledTable table;
    std::string file;
    std::vector<std::string> fields;
};

BenchTable MakeTable(const Size& size, const std::string& dataDir, bool wide = false) {
    testsupport::RandomNetworkOptions o;
    o.nodes = size.fields;
    o.minStates = 2;
    o.maxStates = 5;
    o.maxParents = 3;
    // Most fields take their parents among the first few, so many pairs are dependent: the
    // searches have many pairs to draft and test.
    o.arcProbability = 0.3;
    o.strength = 0.6;
    testsupport::Network net = testsupport::RandomNetwork(o, 2024);
    testsupport::TableOptions opt;
    opt.table = "Sample";
    opt.classNode = size.fields - 1;
    opt.holdOut = true;
    opt.seed = 99;
    BenchTable t;
    t.table = testsupport::SampleTable(net, size.rows, opt);
    for (size_t c = 0; c < t.table.columns.size(); ++c)
        if (t.table.nodeOfColumn[c] >= 0) t.fields.push_back(t.table.columns[c]);
    std::filesystem::create_directories(dataDir);
    t.file = fmt::format("{}/{}_{}x{}.db", dataDir, wide ? "wide" : "sample", size.rows, size.fields);
    if (!std::filesystem::exists(t.file)) {
        const std::string part = t.file + ".part";
        testsupport::WriteSqliteTable(part, t.table)->Close();
        std::filesystem::rename(part, t.file);
    }
    return t;
}

// The dense table: class C (3 values) first, then X1..X15 of 2 to 5 values, each drawn from a
// table over the class and the field before it (X1 over the class alone), every row of the
// tables drawn from a fixed-seed generator; the hold-out flag on about a third of the rows.
BenchTable MakeDenseTable(int rows, const std::string& dataDir) {
    uint64_t state = 0x9E3779B97F4A7C15ull;
    auto next = [&] {  // splitmix64
        uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    };
    auto uniform = [&] { return double(next() >> 11) / double(uint64_t(1) << 53); };
    auto states = [](int n) {
        std::vector<std::string> s;
        for (int k = 1; k <= n; ++k) s.push_back("S" + std::to_string(k));
        return s;
    };
    // A row of probabilities over n values, summing to 1: one value, drawn, takes 0.6 and the
    // rest is spread at random, so each field depends clearly on both its parents.
    auto row = [&](int n) {
        std::vector<double> p(static_cast<size_t>(n));
        double sum = 0;
        for (double& x : p) sum += x = 0.05 + uniform();
        for (double& x : p) x *= 0.4 / sum;
        p[size_t(next() % uint64_t(n))] += 0.6;
        double rest = 1;
        for (size_t k = 0; k + 1 < p.size(); ++k) rest -= p[k];
        p.back() = rest;
        return p;
    };
    testsupport::Network net;
    int previous = net.AddNode("C", states(3), {}, {row(3)});
    const int cls = previous;
    for (int f = 1; f <= 15; ++f) {
        const int n = 2 + int(next() % 4);
        std::vector<int> parents{cls};
        if (f > 1) parents.push_back(previous);
        int configurations = 3;
        if (f > 1) configurations *= int(net.node(previous).states.size());
        std::vector<std::vector<double>> cpt;
        for (int c = 0; c < configurations; ++c) cpt.push_back(row(n));
        previous = net.AddNode("X" + std::to_string(f), states(n), parents, cpt);
    }
    testsupport::TableOptions opt;
    opt.table = "Sample";
    opt.classNode = cls;
    opt.holdOut = true;
    opt.seed = 7;
    BenchTable t;
    t.table = testsupport::SampleTable(net, rows, opt);
    for (size_t c = 0; c < t.table.columns.size(); ++c)
        if (t.table.nodeOfColumn[c] >= 0) t.fields.push_back(t.table.columns[c]);
    std::filesystem::create_directories(dataDir);
    t.file = fmt::format("{}/dense_{}x{}.db", dataDir, rows, t.fields.size());
    if (!std::filesystem::exists(t.file)) {
        const std::string part = t.file + ".part";
        testsupport::WriteSqliteTable(part, t.table)->Close();
        std::filesystem::rename(part, t.file);
    }
    std::vector<std::vector<db::Value>>().swap(t.table.cells);
    return t;
}

// The shared generator's dense table (table big: Cls, F01..F15, ZORV_HoldOut INTEGER), drawn by
// gen_dense.py into DIR when missing; nothing when the script is not there or fails.
std::optional<BenchTable> GenDenseTable(int rows, const std::string& dataDir) {
    BenchTable t;
    t.table.table = "big";
    t.fields.push_back("Cls");
    for (int f = 1; f <= 15; ++f) t.fields.push_back(fmt::format("F{:02d}", f));
    std::filesystem::create_directories(dataDir);
    t.file = fmt::format("{}/gen_dense_{}.db", dataDir, rows);
    if (std::filesystem::exists(t.file)) return t;
    const std::string script = BNS_GEN_DENSE;
    if (!std::filesystem::exists(script)) {
        std::printf("dense (gen_dense) skipped: %s not found\n", script.c_str());
        return std::nullopt;
    }
    const std::string part = t.file + ".part";
    std::filesystem::remove(part);
    const std::string command = fmt::format("python3 '{}' {} '{}' INTEGER", script, rows, part);
    if (std::system(command.c_str()) != 0 || !std::filesystem::exists(part)) {
        std::printf("dense (gen_dense) skipped: '%s' failed\n", command.c_str());
        return std::nullopt;
    }
    std::filesystem::rename(part, t.file);
    return t;
}

// Passes every call to the database it wraps, counting the grouped count queries and the time
// spent in them: opening and reading (SQLite does part of a grouping's work while the rows are
// read, the in-memory path all of it at the open).
class TimedDatabase : public testsupport::ForwardingDatabase {
public:
    explicit TimedDatabase(std::shared_ptr<db::Database> inner) : ForwardingDatabase(std::move(inner)) {}
    std::unique_ptr<db::Recordset> OpenRecordset(const std::string& sql, int16_t type) override;
    std::unique_ptr<db::GroupCounter> GroupCounts(const std::string& countExpr, const std::string& table,
                                                  const std::string& where,
                                                  const std::vector<std::string>& fields) override;

    // Grouped counts, through a query text or a counter, and the time spent in them.
    int countQueries = 0;
    double countSeconds = 0;
};

double Since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

class TimedRecordset : public testsupport::ForwardingRecordset {
public:
    TimedRecordset(std::unique_ptr<db::Recordset> inner, double& seconds)
        : ForwardingRecordset(std::move(inner)), seconds_(seconds) {}
    vb::Array<db::Value> GetRows(int32_t n) override {
        const auto start = std::chrono::steady_clock::now();
        vb::Array<db::Value> rows = ForwardingRecordset::GetRows(n);
        seconds_ += Since(start);
        return rows;
    }

private:
    double& seconds_;
};

// A counter that counts its counts and their time into the database's figures. A twin (counting
// on a worker thread) keeps its own and adds them when it is destroyed, on the thread that made
// it; its time is then the workers' time added up, not the wall time.
class TimedCounter : public testsupport::ForwardingCounter {
public:
    TimedCounter(std::unique_ptr<db::GroupCounter> inner, TimedDatabase& db, bool twin = false)
        : ForwardingCounter(std::move(inner)), db_(db), queries_(twin ? own_.queries : db.countQueries),
          seconds_(twin ? own_.seconds : db.countSeconds) {}
    ~TimedCounter() override {
        if (&queries_ != &own_.queries) return;
        db_.countQueries += own_.queries;
        db_.countSeconds += own_.seconds;
    }
    std::unique_ptr<db::GroupCounter> Twin() override {
        auto twin = inner().Twin();
        if (!twin) return nullptr;
        return std::make_unique<TimedCounter>(std::move(twin), db_, true);
    }
    Outcome Count(const std::vector<int>& fields, int64_t maxGroups, db::GroupCountResult& out) override {
        return Timed([&] { return inner().Count(fields, maxGroups, out); });
    }
    Outcome CountIndexed(const std::vector<int>& fields, const std::vector<std::span<const int32_t>>& indexes,
                         int64_t maxGroups, std::vector<int32_t>& codes, std::vector<double>& counts) override {
        return Timed([&] { return inner().CountIndexed(fields, indexes, maxGroups, codes, counts); });
    }
    Outcome CountKeys(const std::vector<int>& fields, int64_t maxGroups, std::vector<uint64_t>& keys,
                      std::vector<double>& counts) override {
        return Timed([&] { return inner().CountKeys(fields, maxGroups, keys, counts); });
    }

private:
    template <typename F>
    Outcome Timed(F count) {
        const auto start = std::chrono::steady_clock::now();
        const Outcome o = count();
        if (o == Outcome::Counted) {
            ++queries_;
            seconds_ += Since(start);
        }
        return o;
    }
    TimedDatabase& db_;
    struct {
        int queries = 0;
        double seconds = 0;
    } own_;
    int& queries_;
    double& seconds_;
};

std::unique_ptr<db::GroupCounter> TimedDatabase::GroupCounts(const std::string& countExpr, const std::string& table,
                                                             const std::string& where,
                                                             const std::vector<std::string>& fields) {
    auto inner = ForwardingDatabase::GroupCounts(countExpr, table, where, fields);
    if (!inner) return nullptr;
    return std::make_unique<TimedCounter>(std::move(inner), *this);
}

std::unique_ptr<db::Recordset> TimedDatabase::OpenRecordset(const std::string& sql, int16_t type) {
    if (sql.find(" group by ") == std::string::npos) return ForwardingDatabase::OpenRecordset(sql, type);
    const auto start = std::chrono::steady_clock::now();
    auto rs = ForwardingDatabase::OpenRecordset(sql, type);
    countSeconds += Since(start);
    ++countQueries;
    return std::make_unique<TimedRecordset>(std::move(rs), countSeconds);
}

struct Timing {
    double seconds = 0;
    int queries = 0;
    double querySeconds = 0;
    double peakMB = -1;    // the peak resident memory the step added; -1: not measured
    std::string checksum;  // of the classifier the step learned, when it learned one
};

// The process's resident memory and its peak, in MB, from /proc/self/status.
double StatusMB(const char* key) {
    std::FILE* f = std::fopen("/proc/self/status", "r");
    if (!f) return -1;
    char line[256];
    double mb = -1;
    const size_t n = std::strlen(key);
    while (std::fgets(line, sizeof line, f))
        if (std::strncmp(line, key, n) == 0) mb = std::atof(line + n) / 1024.0;
    std::fclose(f);
    return mb;
}

// Starts a new peak: the kernel sets the peak back to the memory resident now.
void ResetPeak() {
    if (std::FILE* f = std::fopen("/proc/self/clear_refs", "w")) {
        std::fputs("5", f);
        std::fclose(f);
    }
}

// The engine bound to the table through a database that counts the queries it is sent.
struct Run {
    std::shared_ptr<TimedDatabase> db;
    zorvapi::DataEngine e;
    Timing setUp;

    Run(std::shared_ptr<db::Database> inner, const BenchTable& t, Integer BMMode, bool FixedThr, Integer fsm = 2) {
        db = std::make_shared<TimedDatabase>(std::move(inner));
        vb::ResetRnd();
        const auto start = std::chrono::steady_clock::now();
        Long rows = kRowLimit;
        Integer vlus = kValueLimit;
        e.Init(rows, vlus);
        std::shared_ptr<db::Database> d = db;
        std::string table = t.table.table, cnt;
        e.InitLearn(d, table, cnt);
        Integer n = Integer(t.fields.size());
        vb::Array<std::string> names(vb::To(n));
        for (Integer i = 1; i <= n; ++i) names(i) = t.fields[size_t(i - 1)];
        vb::Array<Integer> po(vb::To(n), vb::To(n)), ce(vb::To(n), vb::To(n)), fl(vb::To(n), vb::To(n));
        vb::Array<Integer> rt(vb::To(n)), lf(vb::To(n));
        bool bord = false, bpres = false, tmpFilter = false, tmpNoOrd = false, tmpROC = false;
        std::string logi, logo;
        e.InitLearnStru(n, names, bord, po, ce, fl, rt, lf, bpres, logi, logo, BMMode, FixedThr, fsm, tmpROC,
                        tmpFilter, tmpNoOrd);
        setUp.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        setUp.queries = db->countQueries;
        setUp.querySeconds = db->countSeconds;
    }
};

Timing Time(Run& run, const std::function<void()>& step) {
    run.db->countQueries = 0;
    run.db->countSeconds = 0;
    ::malloc_trim(0);  // what earlier steps freed is no part of this one
    ResetPeak();
    const double before = StatusMB("VmRSS:");
    const auto start = std::chrono::steady_clock::now();
    step();
    const auto end = std::chrono::steady_clock::now();
    const double peak = StatusMB("VmHWM:");
    Timing t;
    t.seconds = std::chrono::duration<double>(end - start).count();
    t.queries = run.db->countQueries;
    t.querySeconds = run.db->countSeconds;
    if (before >= 0 && peak >= 0) t.peakMB = peak - before;
    return t;
}

// FNV-1a over the classifier the engine holds: model kind, every graph layer and the rows of
// the probability-table store that its index reaches. Equal classifiers give equal sums.
std::string Checksum(zorvapi::DataEngine& e) {
    uint64_t h = 1469598103934665603ull;
    auto add = [&](const void* p, size_t n) {
        for (size_t i = 0; i < n; ++i) h = (h ^ static_cast<const unsigned char*>(p)[i]) * 1099511628211ull;
    };
    const bool mn = e.IsMultiNet();
    add(&mn, sizeof mn);
    for (Integer c : e.Graph.cells()) add(&c, sizeof c);
    Long last = 0;
    for (Long r : e.CPTIndex.cells()) last = std::max(last, r);
    for (Long r = 1; r <= last; ++r)
        for (Integer v = 1; v <= e.CPTStore.UBound(2); ++v) {
            const Single x = e.CPTStore(r, v);
            add(&x, sizeof x);
        }
    return fmt::format("{:016x}", h);
}

// The host's steps after LearnStru: the graph back, the table bound again; then LearnCPT.
void AcceptGraph(Run& run, const BenchTable& t) {
    vb::Array<Integer> graph;
    run.e.GetGraph(graph);
    run.e.PutGraph(graph);
    std::shared_ptr<db::Database> d = run.db;
    std::string table = t.table.table, cnt;
    run.e.InitLearn(d, table, cnt);
}

// The three steps on one database; the set-up (value labels and counts) is not timed.
std::map<std::string, Timing> Steps(const std::function<std::shared_ptr<db::Database>()>& open, const BenchTable& t) {
    std::map<std::string, Timing> out;
    {
        auto db = open();
        Run run(db, t, 1, true);
        out["0 set-up (InitLearn, InitLearnStru)"] = run.setUp;
        out["1 pairwise pass"] = Time(run, [&] { run.e.InitStruBN(); });
        Single perc = 1;
        out["2 ConstructBN"] = Time(run, [&] { run.e.ConstructBN(perc); });
        db->Close();
    }
    auto acceptGraph = [&](Run& run) { AcceptGraph(run, t); };
    {
        auto db = open();
        Run run(db, t, 3, false, 3);
        Single threshold = 1;
        out["3 LearnStru (BMMode 3, FSM 3, searched)"] = Time(run, [&] { run.e.LearnStru(threshold); });
        bool mn = run.e.IsMultiNet();
        acceptGraph(run);
        Timing cpt = Time(run, [&] { run.e.LearnCPT(mn); });
        cpt.checksum = Checksum(run.e);
        out["4 LearnCPT after it"] = cpt;
        db->Close();
    }
    {
        // The whole learning of a classifier as the targets count it, on a fresh engine.
        auto db = open();
        Run run(db, t, 3, false, 3);
        Single threshold = 1;
        out["5 LearnStru + LearnCPT"] = Time(run, [&] {
            run.e.LearnStru(threshold);
            bool mn = run.e.IsMultiNet();
            acceptGraph(run);
            run.e.LearnCPT(mn);
        });
        out["5 LearnStru + LearnCPT"].checksum = Checksum(run.e);
        db->Close();
    }
    return out;
}

std::shared_ptr<db::Database> OpenFile(const std::string& file, bool inMemory) {
    auto db = db::DBEngine::OpenDatabase(file);
    dynamic_cast<db::sqlite::SqliteDatabase&>(*db).SetInMemoryCounting(inMemory);
    return db;
}

// zorv's default run on the dense table (a single net, a searched threshold, the feature subset
// kept if it performs better), LearnStru and the LearnCPT after it, and LearnStru alone at the
// fixed threshold 1.0; each on a fresh engine and database.
std::map<std::string, Timing> DenseSteps(const std::function<std::shared_ptr<db::Database>()>& open,
                                         const BenchTable& t) {
    std::map<std::string, Timing> out;
    {
        auto db = open();
        Run run(db, t, 1, false, 3);
        out["0 set-up (InitLearn, InitLearnStru)"] = run.setUp;
        Single threshold = -1;
        out["6 default: LearnStru + LearnCPT"] = Time(run, [&] {
            run.e.LearnStru(threshold);
            bool mn = run.e.IsMultiNet();
            AcceptGraph(run, t);
            run.e.LearnCPT(mn);
        });
        out["6 default: LearnStru + LearnCPT"].checksum = Checksum(run.e);
        db->Close();
    }
    {
        auto db = open();
        Run run(db, t, 1, true, 3);
        Single threshold = 1;
        out["7 fixed threshold 1: LearnStru"] = Time(run, [&] { run.e.LearnStru(threshold); });
        out["7 fixed threshold 1: LearnStru"].checksum = Checksum(run.e);
        db->Close();
    }
    return out;
}

// Records when each progress event comes and cancels at the first event after a given time.
class Clocked : public zorvapi::DataEngineEvents {
public:
    explicit Clocked(double cancelAfter = -1) : cancelAfter_(cancelAfter) {}
    void PercentDone(Single p1, Single p2, bool& Cancel) override {
        const double now = Since(start_);
        if (trace && now - lastTrace_ >= 10) {
            lastTrace_ = now;
            std::fprintf(stderr, "  %7.1f s: %5.1f%% overall, %5.1f%% of %s\n", now, double(p1), double(p2),
                         trace->StrStatus().c_str());
        }
        longestGap = std::max(longestGap, now - last_);
        last_ = now;
        ++events;
        if (cancelAfter_ >= 0 && now >= cancelAfter_ && cancelledAt < 0) {
            Cancel = true;
            cancelledAt = now;
        }
    }
    double Elapsed() const { return Since(start_); }
    double longestGap = 0, cancelledAt = -1;
    long events = 0;
    zorvapi::DataEngine* trace = nullptr;  // when set, the stage and percentages every ten seconds

private:
    double lastTrace_ = 0;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    double last_ = 0;
    double cancelAfter_;
};

// LearnStru with a fixed threshold and a single net on a wide table, whole and cancelled.
void Wide(const Size& size, const std::string& dataDir, bool cancels) {
    const BenchTable t = MakeTable({size.rows, size.fields}, dataDir, true);
    const std::string label = fmt::format("{}x{}", size.rows, size.fields);
    double whole = 0;
    {
        auto db = OpenFile(t.file, true);
        Run run(db, t, 1, true);
        Clocked events;
        events.trace = &run.e;
        run.e.SetEventSink(&events);
        Single threshold = 1;
        run.e.LearnStru(threshold);
        whole = events.Elapsed();
        Integer links = 0;
        for (Integer i = 1; i <= run.e.numfld; ++i)
            for (Integer j = Integer(i + 1); j <= run.e.numfld; ++j) links += run.e.Graph(0, i, j) > 0;
        std::printf("%-12s wide LearnStru (fixed, single net): %.2f s (set-up %.2f s), %d count queries "
                    "(%.2f s in them), %ld events, longest gap %.3f s, %d arcs kept, checksum %s\n",
                    label.c_str(), whole, run.setUp.seconds, run.db->countQueries - run.setUp.queries,
                    run.db->countSeconds - run.setUp.querySeconds, events.events, events.longestGap, int(links),
                    Checksum(run.e).c_str());
        std::fflush(stdout);
        db->Close();
    }
    for (double fraction : {0.1, 0.5, 0.9}) {
        if (!cancels) break;
        auto db = OpenFile(t.file, true);
        Run run(db, t, 1, true);
        Clocked events(fraction * whole);
        run.e.SetEventSink(&events);
        Single threshold = 1;
        run.e.LearnStru(threshold);
        const double returned = events.Elapsed();
        std::printf("%-12s   cancel at %5.1f s: returned %.3f s later (Graph(0,0,0) = %d)\n", label.c_str(),
                    events.cancelledAt, returned - events.cancelledAt, int(run.e.Graph(0, 0, 0)));
        db->Close();
    }
    std::fflush(stdout);
}

std::string Quoted(const std::string& name) { return "\"" + name + "\""; }

// The heap the process has in use, in MB.
double HeapMB() {
    const struct mallinfo2 m = ::mallinfo2();
    return double(m.uordblks + m.hblkhd) / (1024.0 * 1024.0);
}

// Loads the table into the in-memory path with its first count query: the time and the memory
// the coded copy takes.
void MeasureLoad(const BenchTable& t, const std::string& label) {
    auto db = OpenFile(t.file, true);
    const double before = HeapMB();
    const auto start = std::chrono::steady_clock::now();
    db->OpenRecordset("select count(*) from [" + t.table.table + "]", db::dbOpenForwardOnly)->Close();
    const double seconds = Since(start);
    std::printf("%-12s loading the in-memory copy: %.3f s, %.1f MB\n", label.c_str(), seconds, HeapMB() - before);
    db->Close();
}

std::string PostgresDatabase() { return fmt::format("bns_bench_{}", ::getpid()); }

// The table in a database of its own on the PostgreSQL test server, loaded with multi-row
// inserts; the connect text.
std::string LoadPostgres(const BenchTable& t) {
    const testsupport::OdbcServers& s = testsupport::StartOdbcServers();
    const std::string name = PostgresDatabase();
    testsupport::RunNativeSql(s.PgConnect(s.pgDatabase),
                              {"DROP DATABASE IF EXISTS " + Quoted(name), "CREATE DATABASE " + Quoted(name)});
    const std::string connect = s.PgConnect(name);
    std::vector<std::string> sql;
    std::string ddl = "CREATE TABLE " + Quoted(t.table.table) + " (";
    for (size_t c = 0; c < t.table.columns.size(); ++c) {
        const bool flag = int(c) == t.table.holdOutColumn;
        ddl += (c ? ", " : "") + Quoted(t.table.columns[c]) + (flag ? " boolean" : " varchar(255)");
    }
    sql.push_back(ddl + ")");
    std::string insert;
    for (size_t r = 0; r < t.table.cells.size(); ++r) {
        if (insert.empty()) insert = "INSERT INTO " + Quoted(t.table.table) + " VALUES ";
        else insert += ",";
        insert += "(";
        for (size_t c = 0; c < t.table.columns.size(); ++c) {
            const db::Value& v = t.table.cells[r][c];
            insert += c ? "," : "";
            if (v.IsNull()) insert += "NULL";
            else if (v.kind() == db::Value::Kind::Boolean) insert += v.AsBool() ? "TRUE" : "FALSE";
            else insert += "'" + v.AsText() + "'";  // the sampler's labels hold no quote
        }
        insert += ")";
        if ((r + 1) % 2000 == 0 || r + 1 == t.table.cells.size()) {
            sql.push_back(std::move(insert));
            insert.clear();
        }
    }
    testsupport::RunNativeSql(connect, sql);
    return connect;
}

// One line per step and path, the in-memory path's steps in order.
void Print(const std::string& label, std::map<std::string, std::map<std::string, Timing>>& byPath) {
    for (const auto& [step, memory] : byPath["in-memory"]) {
        for (const char* path : {"sqlite", "in-memory", "postgresql"}) {
            auto p = byPath.find(path);
            if (p == byPath.end()) continue;
            const Timing& tm = p->second.at(step);
            std::string speedUp;
            if (auto s = byPath.find("sqlite"); s != byPath.end() && tm.seconds > 0)
                speedUp = fmt::format("{:.1f}x", s->second.at(step).seconds / tm.seconds);
            std::printf("%-12s %-40s %-10s %9.3f %8.1f %8d %13.3f %9s  %s\n", label.c_str(), step.c_str() + 2,
                        path, tm.seconds, tm.peakMB, tm.queries, tm.querySeconds, speedUp.c_str(),
                        tm.checksum.c_str());
        }
    }
}

// The dense (own) table as a delimited text file and as a dBase table, each alone in a folder,
// written from the SQLite file's rows (texts as they are, the hold-out flag as 0/1 in the text
// file and T/F in the dBase file); made once and kept.
struct ImportedCopies {
    std::string textFolder, dbaseFolder;
};

ImportedCopies WriteImportedCopies(const BenchTable& t, int rows, const std::string& dataDir) {
    ImportedCopies out{fmt::format("{}/imported_text_{}", dataDir, rows), fmt::format("{}/imported_dbf_{}", dataDir, rows)};
    const std::string name = t.table.table;
    if (std::filesystem::exists(out.textFolder) && std::filesystem::exists(out.dbaseFolder)) return out;
    auto db = db::DBEngine::OpenDatabase(t.file);
    auto rs = db->OpenRecordset("select * from [" + name + "]", db::dbOpenSnapshot);
    const int n = int(rs->FieldCount());
    std::vector<std::string> names;
    std::vector<bool> flag;
    for (int c = 0; c < n; ++c) {
        names.push_back(rs->Fields(c).Name);
        flag.push_back(rs->Fields(c).Type == db::dbBoolean);
    }
    // Text fields of the dBase file are as wide as their longest value.
    std::vector<std::vector<std::string>> cells;
    std::vector<size_t> width(size_t(n), 1);
    for (; !rs->Eof(); rs->MoveNext()) {
        std::vector<std::string> row;
        for (int c = 0; c < n; ++c) {
            const db::Value v = rs->Fields(c).value();
            row.push_back(v.IsNull()                              ? ""
                          : v.kind() == db::Value::Kind::Boolean ? (v.AsBool() ? "1" : "0")
                          : v.kind() == db::Value::Kind::Text    ? v.AsText()
                                                                 : vb::NumberText(v.ToDouble()));
            width[size_t(c)] = std::max(width[size_t(c)], row.back().size());
        }
        cells.push_back(std::move(row));
    }
    rs->Close();
    db->Close();
    for (const std::string& folder : {out.textFolder, out.dbaseFolder}) std::filesystem::create_directories(folder + ".part");
    {
        std::FILE* f = std::fopen((out.textFolder + ".part/" + name + ".csv").c_str(), "wb");
        for (int c = 0; c < n; ++c) std::fprintf(f, "%s%s", c ? "," : "", names[size_t(c)].c_str());
        std::fputs("\r\n", f);
        for (const auto& row : cells) {
            for (int c = 0; c < n; ++c) std::fprintf(f, "%s%s", c ? "," : "", row[size_t(c)].c_str());
            std::fputs("\r\n", f);
        }
        std::fclose(f);
    }
    {
        std::FILE* f = std::fopen((out.dbaseFolder + ".part/" + name + ".dbf").c_str(), "wb");
        const uint16_t header = uint16_t(32 + 32 * n + 1);
        uint16_t record = 1;
        for (int c = 0; c < n; ++c) record = uint16_t(record + (flag[size_t(c)] ? 1 : width[size_t(c)]));
        unsigned char head[32] = {0x03, 124, 12, 11};
        const uint32_t count = uint32_t(cells.size());
        std::memcpy(head + 4, &count, 4);
        std::memcpy(head + 8, &header, 2);
        std::memcpy(head + 10, &record, 2);
        std::fwrite(head, 1, 32, f);
        for (int c = 0; c < n; ++c) {
            unsigned char field[32] = {};
            std::strncpy(reinterpret_cast<char*>(field), names[size_t(c)].c_str(), 10);
            field[11] = flag[size_t(c)] ? 'L' : 'C';
            field[16] = uint8_t(flag[size_t(c)] ? 1 : width[size_t(c)]);
            std::fwrite(field, 1, 32, f);
        }
        std::fputc(0x0D, f);
        std::string line;
        for (const auto& row : cells) {
            line.assign(1, ' ');
            for (int c = 0; c < n; ++c) {
                const std::string& v = row[size_t(c)];
                if (flag[size_t(c)]) line += v.empty() ? "?" : v == "1" ? "T" : "F";
                else line += v + std::string(width[size_t(c)] - v.size(), ' ');
            }
            std::fwrite(line.data(), 1, line.size(), f);
        }
        std::fputc(0x1A, f);
        std::fclose(f);
    }
    for (const std::string& folder : {out.textFolder, out.dbaseFolder}) std::filesystem::rename(folder + ".part", folder);
    return out;
}

// zorv's default run (LearnStru and LearnCPT) with the open and the import it causes, on a
// fresh database: the time from the open and the peak resident memory it added.
Timing ImportedDefaultRun(const std::function<std::shared_ptr<db::Database>()>& open, const BenchTable& t) {
    ::malloc_trim(0);
    ResetPeak();
    const double before = StatusMB("VmRSS:");
    const auto start = std::chrono::steady_clock::now();
    auto db = open();
    Run run(db, t, 1, false, 3);
    Timing out;
    out.querySeconds = Since(start);  // the open and the set-up, the import included
    Single threshold = -1;
    run.e.LearnStru(threshold);
    bool mn = run.e.IsMultiNet();
    AcceptGraph(run, t);
    run.e.LearnCPT(mn);
    out.seconds = Since(start);
    const double peak = StatusMB("VmHWM:");
    if (before >= 0 && peak >= 0) out.peakMB = peak - before;
    out.checksum = Checksum(run.e);
    db->Close();
    return out;
}

void Imported(int rows, const std::string& dataDir) {
    const BenchTable t = MakeDenseTable(rows, dataDir);
    const ImportedCopies copies = WriteImportedCopies(t, rows, dataDir);
    std::printf("%-24s %-22s %9s %11s %8s %9s  %s\n", "table", "read from", "seconds", "of it set-up", "peak MB",
                "vs file", "checksum");
    const Timing file = ImportedDefaultRun([&] { return OpenFile(t.file, true); }, t);
    const std::pair<const char*, std::function<std::shared_ptr<db::Database>()>> paths[] = {
        {"SQLite file", [&] { return OpenFile(t.file, true); }},
        {"text (Text;)", [&] { return db::DBEngine::OpenDatabase(copies.textFolder, false, true, "Text;"); }},

    };
    for (const auto& [label, open] : paths) {
        const Timing tm = label == std::string("SQLite file") ? file : ImportedDefaultRun(open, t);
        std::printf("%-24s %-22s %9.3f %11.3f %8.1f %8.2fx  %s\n", fmt::format("dense (own) {}", rows).c_str(), label,
                    tm.seconds, tm.querySeconds, tm.peakMB, tm.seconds / file.seconds, tm.checksum.c_str());
        std::fflush(stdout);
    }
}

Options Parse(int argc, char** argv) {
    Options o;
    bool sizesGiven = false, denseGiven = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto next = [&]() -> std::string {
            if (i + 1 >= argc) throw std::runtime_error("missing value after " + a);
            return argv[++i];
        };
        if (a == "--sizes") {
            sizesGiven = true;
            o.sizes.clear();
            std::string list = next();
            for (size_t p = 0; p < list.size();) {
                size_t comma = list.find(',', p);
                std::string item = list.substr(p, comma == std::string::npos ? std::string::npos : comma - p);
                Size s;
                if (std::sscanf(item.c_str(), "%dx%d", &s.rows, &s.fields) != 2)
                    throw std::runtime_error("bad size " + item);
                o.sizes.push_back(s);
                p = comma == std::string::npos ? list.size() : comma + 1;
            }
        } else if (a == "--skip-sqlite-above") {
            o.skipSqliteAbove = std::stol(next());
        } else if (a == "--wide") {
            Size s;
            if (std::sscanf(next().c_str(), "%dx%d", &s.fields, &s.rows) != 2) throw std::runtime_error("bad --wide");
            o.wide.push_back(s);
        } else if (a == "--dense") {
            denseGiven = true;
            o.dense.clear();
            std::string list = next();
            for (size_t p = 0; p < list.size();) {
                size_t comma = list.find(',', p);
                o.dense.push_back(std::stoi(list.substr(p, comma == std::string::npos ? std::string::npos : comma - p)));
                p = comma == std::string::npos ? list.size() : comma + 1;
            }
        } else if (a == "--imported") {
            o.imported.push_back(std::stoi(next()));
        } else if (a == "--no-cancel") {
            o.wideCancels = false;
        } else if (a == "--no-postgres") {
            o.postgres = false;
        } else if (a == "--data") {
            o.data = next();
        } else {
            throw std::runtime_error("unknown option " + a);
        }
    }
    // Naming one kind of table runs only the kinds named.
    if ((!o.wide.empty() || denseGiven || !o.imported.empty()) && !sizesGiven) o.sizes.clear();
    if ((!o.wide.empty() || sizesGiven || !o.imported.empty()) && !denseGiven) o.dense.clear();
    return o;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        const Options o = Parse(argc, argv);
        std::printf("limits: Init(%d, %d)\n", int(kRowLimit), int(kValueLimit));
        for (const Size& size : o.wide) Wide(size, o.data, o.wideCancels);
        for (int rows : o.imported) Imported(rows, o.data);
        std::printf("%-12s %-40s %-10s %9s %8s %8s %13s %9s  %s\n", "table", "step", "path", "seconds", "peak MB",
                    "queries", "in queries s", "speed-up", "checksum");
        for (const Size& size : o.sizes) {
            BenchTable t = MakeTable(size, o.data);
            const bool postgres = o.postgres && size.rows <= 50000;
            if (!postgres) std::vector<std::vector<db::Value>>().swap(t.table.cells);  // only PostgreSQL reads them
            const std::string label = fmt::format("{}x{}", size.rows, size.fields);
            MeasureLoad(t, label);
            std::map<std::string, std::map<std::string, Timing>> byPath;
            byPath["in-memory"] = Steps([&] { return OpenFile(t.file, true); }, t);
            if (o.skipSqliteAbove < 0 || size.rows <= o.skipSqliteAbove)
                byPath["sqlite"] = Steps([&] { return OpenFile(t.file, false); }, t);
            if (postgres) {
                try {
                    const std::string connect = LoadPostgres(t);
                    auto open = [&] { return db::DBEngine::OpenDatabase("", false, false, "ODBC;" + connect); };
                    byPath["postgresql"] = Steps(open, t);
                    const testsupport::OdbcServers& s = testsupport::StartOdbcServers();
                    testsupport::RunNativeSql(s.PgConnect(s.pgDatabase),
                                              {"DROP DATABASE " + Quoted(PostgresDatabase()) + " WITH (FORCE)"});
                } catch (const std::exception& e) {
                    std::fprintf(stderr, "PostgreSQL left out: %s\n", e.what());
                }
            }
            Print(label, byPath);
            std::fflush(stdout);
        }
        auto dense = [&](const BenchTable& t, int rows, const std::string& label) {
            MeasureLoad(t, label);
            std::map<std::string, std::map<std::string, Timing>> byPath;
            byPath["in-memory"] = DenseSteps([&] { return OpenFile(t.file, true); }, t);
            if (o.skipSqliteAbove < 0 || rows <= o.skipSqliteAbove)
                byPath["sqlite"] = DenseSteps([&] { return OpenFile(t.file, false); }, t);
            Print(label, byPath);
            std::fflush(stdout);
        };
        for (int rows : o.dense) {
            const BenchTable own = MakeDenseTable(rows, o.data);
            dense(own, rows, fmt::format("dense (own) {}x{}", rows, own.fields.size() + 1));
            if (const std::optional<BenchTable> gen = GenDenseTable(rows, o.data))
                dense(*gen, rows, fmt::format("dense (gen_dense) {}x{}", rows, gen->fields.size() + 1));
        }
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "learning_bench: %s\n", e.what());
        return 1;
    }
}
