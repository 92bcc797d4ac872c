// The small network the export tests learn and write: six fields over a scripted table of ten
// rows, answered through the recording database, with a fixed clock.
//
//   A             root, YES 3 / NO 7
//   Unit Price    root (held as "[Unit Price]"), LOW 3 / MID 4 / HIGH 3
//   C             parents A (code 1 in the upper cell) and Unit Price (code 2 in the lower
//                 cell); A-Unit Price is coded 3 and A-D 4, which make no parent
//   D             root with the labels "<5.5", ">5.5<7", "?" (Null) and "40-49"
//   E             root with one state
//   F             66 values: over the limit, a continuous node (A -> F is given and ignored)
#pragma once

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "construction_engine/data_set.h"
#include "tests/support/temp_paths.h"
#include "tests/construction_engine/init_fixture.h"

namespace vrelltest {

inline std::string ExportPath(const std::string& name) {
    return testsupport::ProcessTempDir() + "vrell_export_" + name;
}

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// Files in the folder of `path` whose names begin with its file name (the target and any
// temporary file beside it).
inline std::vector<std::string> FilesLike(const std::string& path) {
    namespace fs = std::filesystem;
    std::vector<std::string> found;
    const std::string stem = fs::path(path).filename().string();
    for (const auto& e : fs::directory_iterator(fs::path(path).parent_path()))
        if (e.path().filename().string().rfind(stem, 0) == 0) found.push_back(e.path().filename().string());
    return found;
}

inline void FixClock(vrellapi::DataSet& d) {
    d.ExportClock = [](std::string& date, std::string& time) {
        date = "12/9/2026";
        time = "10:08:28 AM";
    };
}

struct SmallNetwork {
    InitArgs args{{"A", "Unit Price", "C", "D", "E", "F"}};
    std::shared_ptr<testsupport::RecordingDatabase> rdb;
    vb::Array<Integer> graf{vb::To(5), vb::To(5)};
    RecordingSink sink;

    static constexpr const char* kCountA = "select  Count(*) , A from [T] group by A;";
    static constexpr const char* kCountC =
        "select  Count(*) , A, [Unit Price],C from [T] group by A, [Unit Price],C";

    SmallNetwork() {
        ScriptedTable t;
        t.total = int32_t(10);
        t.values["A"] = {"YES", "NO"};
        t.values["[Unit Price]"] = {"LOW", "MID", "HIGH"};
        t.values["C"] = {"C1", "C2", "C3"};
        t.values["D"] = {"<5.5", ">5.5<7", db::Value::Null(), "40-49"};
        t.values["E"] = {"ONLY"};
        for (int v = 1; v <= 66; ++v) t.values["F"].emplace_back(int32_t(v));
        rdb = t.Database();
        using testsupport::Result;
        rdb->Answer(kCountA, Result{{"n", "A"}, {{3, "YES"}, {7, "NO"}}});
        rdb->Answer("select  Count(*) , [Unit Price] from [T] group by [Unit Price];",
                    Result{{"n", "P"}, {{3, "LOW"}, {3, "HIGH"}, {4, "MID"}}});
        rdb->Answer("select  Count(*) , C from [T] group by C;",
                    Result{{"n", "C"}, {{4, "C1"}, {3, "C2"}, {3, "C3"}}});
        rdb->Answer("select  Count(*) , D from [T] group by D;",
                    Result{{"n", "D"}, {{3, db::Value::Null()}, {1, "<5.5"}, {2, ">5.5<7"}, {4, "40-49"}}});
        rdb->Answer("select  Count(*) , E from [T] group by E;", Result{{"n", "E"}, {{10, "ONLY"}}});
        // Configurations (A, Unit Price): (YES, LOW) counts 0 2 1, (NO, MID) 1 1 2, (NO, HIGH)
        // 3 0 0; the other three never occur.
        rdb->Answer(kCountC, Result{{"n", "A", "P", "C"},
                                    {{2, "YES", "LOW", "C2"},
                                     {1, "YES", "LOW", "C3"},
                                     {1, "NO", "MID", "C1"},
                                     {1, "NO", "MID", "C2"},
                                     {2, "NO", "MID", "C3"},
                                     {3, "NO", "HIGH", "C1"}}});
        graf(0, 2) = 1;  // A -> C
        graf(2, 1) = 2;  // Unit Price -> C, given in the lower cell
        graf(0, 1) = 3;  // unoriented: no parent
        graf(0, 3) = 4;  // both ends reach each other: no parent
        graf(0, 5) = 1;  // into the continuous field: no table, so no effect
    }

    // Init on a new object with the fixed clock and the sink; the query log starts empty.
    void Init(vrellapi::DataSet& d) {
        args.Run(d, rdb);
        FixClock(d);
        d.SetEventSink(&sink);
        rdb->ClearLog();
        sink.seen.clear();
    }

    // LearnCP into `path`; the file's text.
    std::string Export(vrellapi::DataSet& d, const std::string& path) {
        std::string tmpF = path;
        d.LearnCP(graf, tmpF);
        return ReadFile(path);
    }
};

}  // namespace vrelltest
