// Reading a large table over ODBC from the private PostgreSQL test server: the 100-row preview
// the wizards show of a table, and zorv's batch classification (ClsfyBatch) of the whole
// table, against the same table in a SQLite file. Each step runs in a process of its own, so
// that its peak memory (the high-water mark of its resident set) is its own; the batch's
// result files of the two paths are compared byte for byte.
//
//     odbc_read_bench [--rows 1000000] [--data DIR]
//
// The tables are drawn from a fixed random network: a training table of 20,000 rows and the
// test table of --rows rows (class first, 10 fields, labels as texts). The SQLite files are kept
// in DIR for the next run; the PostgreSQL database is loaded afresh and dropped at the end.
#include <fmt/format.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "classifier_engine/data_engine.h"
#include "platform/vb/rnd.h"
#include "tests/classifier_engine/learning_host.h"
#include "tests/support/network_sampler.h"
#include "tests/support/odbc_servers.h"

namespace {

using vb::Integer;
using vb::Long;
using vb::Single;

constexpr int kTrainRows = 20000;
constexpr int kFields = 11;  // the class and ten more

testsupport::Network BenchNetwork() {
    testsupport::RandomNetworkOptions o;
    o.nodes = kFields;
    o.minStates = 2;
    o.maxStates = 4;
    o.maxParents = 2;
    o.arcProbability = 0.4;
    o.strength = 0.6;
    return testsupport::RandomNetwork(o, 4102);
}

testsupport::SampledTable Sample(int rows, const std::string& name, bool holdOut, uint64_t seed) {
    testsupport::TableOptions opt;
    opt.table = name;
    opt.classNode = 0;
    opt.holdOut = holdOut;
    opt.seed = seed;
    return testsupport::SampleTable(BenchNetwork(), rows, opt);
}

std::string Quoted(const std::string& name) { return "\"" + name + "\""; }

// The table on the PostgreSQL server, loaded with multi-row inserts of native SQL.
void LoadPostgres(const std::string& connect, const testsupport::SampledTable& t) {
    std::vector<std::string> sql;
    std::string ddl = "CREATE TABLE " + Quoted(t.table) + " (";
    for (size_t c = 0; c < t.columns.size(); ++c)
        ddl += (c ? ", " : "") + Quoted(t.columns[c]) + (int(c) == t.holdOutColumn ? " boolean" : " varchar(255)");
    sql.push_back(ddl + ")");
    std::string insert;
    for (size_t r = 0; r < t.cells.size(); ++r) {
        insert += insert.empty() ? "INSERT INTO " + Quoted(t.table) + " VALUES (" : ",(";
        for (size_t c = 0; c < t.columns.size(); ++c) {
            const db::Value& v = t.cells[r][c];
            insert += c ? "," : "";
            if (v.IsNull()) insert += "NULL";
            else if (v.kind() == db::Value::Kind::Boolean) insert += v.AsBool() ? "TRUE" : "FALSE";
            else insert += "'" + v.AsText() + "'";  // the sampler's labels hold no quote
        }
        insert += ")";
        if ((r + 1) % 5000 == 0 || r + 1 == t.cells.size()) {
            sql.push_back(std::move(insert));
            insert.clear();
        }
    }
    testsupport::RunNativeSql(connect, sql);
}

double Since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The process's peak resident memory in MB (VmHWM: the high-water mark of its own address
// space, which starts afresh at exec).
double PeakMB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
    return 0;
}

std::shared_ptr<db::Database> Open(const std::string& source) {
    return source.rfind("ODBC;", 0) == 0 ? db::DBEngine::OpenDatabase("", false, true, source)
                                         : db::DBEngine::OpenDatabase(source, false, true);
}

// The wizards' preview: the table opened as a default recordset, its first 100 rows read.
int Preview(const std::string& source) {
    const auto start = std::chrono::steady_clock::now();
    auto db = Open(source);
    auto rs = db->OpenRecordset("Test");
    const vb::Array<db::Value> rows = rs->GetRows(100);
    rs->Close();
    db->Close();
    std::printf("%d rows, %.3f s, peak %.1f MB", rows.UBound(2) + 1, Since(start), PeakMB());
    return 0;
}

// A single net learned from the training table of the SQLite file `file`, then the test table of
// `source` classified into `results`; the time is the batch's alone.
int Batch(const std::string& file, const std::string& source, const std::string& results) {
    learning_host::InFolder here(std::filesystem::path(file).parent_path().string());  // for the ROC files
    vb::ResetRnd();
    zorvapi::DataEngine e;
    learning_host::FixBncClock(e);
    std::shared_ptr<db::Database> train = db::DBEngine::OpenDatabase(file, false, true);
    Long maxRows = 100000;
    Integer maxVlus = 45;
    e.Init(maxRows, maxVlus);
    std::string table = "Train", cnt;
    e.InitLearn(train, table, cnt);
    std::vector<std::string> fields;
    const testsupport::SampledTable names = Sample(1, "Train", true, 1);
    for (size_t c = 0; c < names.columns.size(); ++c)
        if (names.nodeOfColumn[c] >= 0) fields.push_back(names.columns[c]);
    learning_host::LearnSettings s = learning_host::Settings(1, true, 2);
    learning_host::SetUpStructure(e, fields, s);
    Single threshold = 1;
    e.LearnStru(threshold);
    vb::Array<Integer> graph;
    e.GetGraph(graph);
    e.PutGraph(graph);
    e.InitLearn(train, table, cnt);
    bool multiNet = false;
    e.LearnCPT(multiNet);

    std::shared_ptr<db::Database> test = Open(source);
    std::string testTable = "Test", cls = fields[0], out = results;
    vb::Array<Long> matrix;
    const auto start = std::chrono::steady_clock::now();
    const Single accuracy = e.ClsfyBatch(test, testTable, cls, matrix, out);
    std::printf("%ld rows, accuracy %.4f, %.3f s, peak %.1f MB", long(e.TotalCases()), double(accuracy), Since(start),
                PeakMB());
    test->Close();
    return 0;
}

// Runs this program again for one step and prints its line.
void Step(const char* self, const std::string& label, const std::vector<std::string>& args) {
    std::printf("%-36s ", label.c_str());
    std::fflush(stdout);
    // Spawned, not forked: a forked child would start with this process's pages as its own.
    std::vector<char*> argv{const_cast<char*>(self)};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (::posix_spawn(&pid, "/proc/self/exe", nullptr, nullptr, argv.data(), environ) != 0) {
        std::printf("could not start\n");
        return;
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    std::printf("%s\n", WIFEXITED(status) && WEXITSTATUS(status) == 0 ? "" : " (failed)");
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace

int main(int argc, char** argv) {
    // The steps, as this program runs itself for them.
    const std::string mode = argc > 1 ? argv[1] : "";
    try {
        if (mode == "--preview" && argc == 3) return Preview(argv[2]);
        if (mode == "--batch" && argc == 5) return Batch(argv[2], argv[3], argv[4]);
    } catch (const std::exception& e) {
        std::printf("error: %s", e.what());
        return 1;
    }

    int rows = 1000000;
    std::string data = "bench-data";
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string a = argv[i];
        if (a == "--rows") rows = std::stoi(argv[i + 1]);
        else if (a == "--data") data = argv[i + 1];
    }
    std::filesystem::create_directories(data);
    const std::string dir = std::filesystem::absolute(data).string();
    const std::string file = fmt::format("{}/odbc_read_{}.db", dir, rows);
    const std::string trainFile = fmt::format("{}/odbc_read_train.db", dir);
    testsupport::SampledTable test = Sample(rows, "Test", false, 38);
    auto write = [](const std::string& path, const testsupport::SampledTable& t) {
        const std::string part = path + ".part";
        std::filesystem::remove(part);
        testsupport::WriteSqliteTable(part, t)->Close();
        std::filesystem::rename(part, path);
    };
    if (!std::filesystem::exists(file)) write(file, test);
    if (!std::filesystem::exists(trainFile)) write(trainFile, Sample(kTrainRows, "Train", true, 37));
    const testsupport::OdbcServers& s = testsupport::StartOdbcServers();
    const std::string name = fmt::format("bns_odbc_read_{}", ::getpid());
    const std::string admin = s.PgConnect(s.pgDatabase);
    testsupport::RunNativeSql(admin, {"DROP DATABASE IF EXISTS " + Quoted(name), "CREATE DATABASE " + Quoted(name)});
    const auto load = std::chrono::steady_clock::now();
    LoadPostgres(s.PgConnect(name), test);
    const size_t columns = test.columns.size();
    decltype(test.cells)().swap(test.cells);  // the steps run as processes of their own
    std::printf("machine: %ld CPUs; test table %d rows x %zu columns, loaded into PostgreSQL in %.1f s\n",
                ::sysconf(_SC_NPROCESSORS_ONLN), rows, columns, Since(load));
    const std::string pg = "ODBC;" + s.PgConnect(name);
    const std::string pgResults = file + ".pg-results.txt", sqliteResults = file + ".sqlite-results.txt";
    Step(argv[0], "preview, SQLite file", {"--preview", file});
    Step(argv[0], "preview, PostgreSQL over ODBC", {"--preview", pg});
    Step(argv[0], "batch classification, SQLite file", {"--batch", trainFile, file, sqliteResults});
    Step(argv[0], "batch classification, PostgreSQL", {"--batch", trainFile, pg, pgResults});
    const std::string a = ReadFile(sqliteResults), b = ReadFile(pgResults);
    std::printf("result files: %s (%zu bytes)\n", !a.empty() && a == b ? "identical" : "DIFFERENT", a.size());
    testsupport::RunNativeSql(admin, {"DROP DATABASE IF EXISTS " + Quoted(name) + " WITH (FORCE)"});
    std::filesystem::remove(pgResults);
    std::filesystem::remove(sqliteResults);
    return a == b ? 0 : 1;
}
