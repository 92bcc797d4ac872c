// vrell_experiment: opens a database and runs one experiment procedure on it.
//
//     vrell_experiment DATABASE aiexp|tetrad [--ordered] [--data DIR] [--results DIR] [--out DIR]
//
// The true-model files are read from --data (default: the database's folder), the outside
// tool's result files from --results (default: the data folder); the report and the summary
// table go to --out (default: the current folder). --ordered hands AIExp's engine each data
// set's field order as a complete ordering.
#include <clocale>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <string>

#include "construction_engine/vrellapi.h"
#include "platform/com/object.h"
#include "platform/db/database.h"
#include "vrell/experiments/experiments.h"

namespace {

int Usage() {
    std::fprintf(stderr,
                 "usage: vrell_experiment DATABASE aiexp|tetrad [--ordered] [--data DIR] [--results DIR] "
                 "[--out DIR]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    if (argc < 3) return Usage();
    const std::string database = argv[1];
    const std::string procedure = argv[2];
    if (procedure != "aiexp" && procedure != "tetrad") return Usage();

    vrell::ExperimentFolders folders;
    folders.dataSets = std::filesystem::path(database).parent_path().string();
    folders.output = ".";
    bool ordered = false;
    bool resultsGiven = false;
    for (int i = 3; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--ordered") {
            ordered = true;
            continue;
        }
        if (i + 1 >= argc) return Usage();
        if (arg == "--data") folders.dataSets = argv[++i];
        else if (arg == "--results") folders.toolResults = argv[++i], resultsGiven = true;
        else if (arg == "--out") folders.output = argv[++i];
        else return Usage();
    }
    if (!resultsGiven) folders.toolResults = folders.dataSets;

    try {
        std::shared_ptr<db::Database> db = db::DBEngine::OpenDatabase(database, false, /*readOnly=*/true);
        vrell::ExperimentFiles files;
        if (procedure == "aiexp") {
            files = vrell::AIExp(
                db, [] { return com::CreateObjectAs<vrellapi::IDataSet>("VRELLAPI.DataSet"); }, folders, ordered);
        } else {
            files = vrell::TetradRst(*db, folders);
        }
        std::printf("%s\n%s\n", files.report.c_str(), files.summary.c_str());
        return 0;
    } catch (const com::Error& e) {
        std::fprintf(stderr, "vrell_experiment: %s: error %d: %s\n", e.source().c_str(), e.number(),
                     e.description().c_str());
    } catch (const vb::NumberedError& e) {
        std::fprintf(stderr, "vrell_experiment: error %d: %s\n", e.number(), e.description().c_str());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "vrell_experiment: %s\n", e.what());
    }
    return 1;
}
