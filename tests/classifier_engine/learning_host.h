// What a host does before LearnStru, for the learning-driver tests: a table drawn from a known
// network into a SQLite file, and an engine taken through Init, InitLearn and InitLearnStru on
// it with neutral domain knowledge (no ordering, no forbidden links, no roots or leaves).
//
//     LearningTable t(SmallNetwork(), 300);
//     LearnSettings s = Settings(3, false, 3);
//     SetUpLearning(engine, t, s);
//     vb::Single thr = 1;
//     engine.LearnStru(thr);
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "classifier_engine/zorvapi.h"
#include "platform/db/database.h"
#include "tests/support/db_contract.h"
#include "tests/support/network_sampler.h"

namespace learning_host {

using vb::Integer;
using vb::Long;
using vb::Single;

// A training table (class node first, hold-out column "ZORV_HoldOut") and, on request, a test
// table drawn from the same network with another seed, both in one SQLite file.
struct LearningTable {
    LearningTable(const testsupport::Network& net, int rows, int testRows = 0, uint64_t seed = 7)
        : network(net) {
        testsupport::TableOptions opt;
        opt.table = "Train";
        opt.classNode = 0;
        opt.seed = seed;
        train = testsupport::SampleTable(net, rows, opt);
        db = testsupport::WriteSqliteTable(dir.Path("learn.db"), train);
        if (testRows > 0) {
            opt.table = "Test";
            opt.seed = seed + 1000;
            opt.holdOut = false;
            test = testsupport::SampleTable(net, testRows, opt);
            testsupport::WriteTable(*db, test);
        }
    }
    // The network's fields, the class first (the training table's columns but the flag).
    std::vector<std::string> Fields() const {
        std::vector<std::string> out;
        for (size_t c = 0; c < train.columns.size(); ++c)
            if (train.nodeOfColumn[c] >= 0) out.push_back(train.columns[c]);
        return out;
    }

    testsupport::TempDir dir;
    testsupport::Network network;
    testsupport::SampledTable train, test;
    std::shared_ptr<db::Database> db;
};

struct LearnSettings {
    Integer BMMode = 1;
    bool FixedThr = true;
    Integer FSM = 2;
    bool tmpROC = false;
    std::string logo;
    std::string freq;  // the frequency field, or "" to count rows
    Long maxRows = 5000;
    Integer maxVlus = 10;
};

inline LearnSettings Settings(Integer BMMode, bool FixedThr, Integer FSM = 2) {
    LearnSettings s;
    s.BMMode = BMMode;
    s.FixedThr = FixedThr;
    s.FSM = FSM;
    return s;
}

// Fixes the time stamp an engine (zorvapi::DataEngine) writes into a classifier file, so two runs
// write the same file.
template <typename Engine>
void FixBncClock(Engine& e) {
    e.BncClock = [](std::string& time, std::string& date) {
        time = "12:00:00";
        date = "01/02/2024";
    };
}

// Runs in the table's folder while it lives: ROC scoring and batch classification write their
// ROC files into the current directory.
class InFolder {
public:
    explicit InFolder(const std::string& dir) : was_(std::filesystem::current_path()) {
        std::filesystem::current_path(dir);
    }
    ~InFolder() { std::filesystem::current_path(was_); }
    InFolder(const InFolder&) = delete;
    InFolder& operator=(const InFolder&) = delete;

private:
    std::filesystem::path was_;
};

// A temporary folder that is the current directory while it lives (for the ROC files of a
// batch).
class InTempDir {
public:
    InTempDir() : here_(dir_.path()) {}

private:
    testsupport::TempDir dir_;
    InFolder here_;
};

// The arguments of InitLearnStru, with neutral knowledge over fields 0..n: no ordering, no
// forbidden links, no roots or leaves. A test edits the members before Run.
struct StruArgs {
    Integer numfld;
    vb::Array<std::string> names;
    bool bord = false;
    vb::Array<Integer> po, ce, fl, rt, lf;
    bool bpres = false;
    std::string logi, logo;
    Integer BMMode = 1;
    bool FixedThr = true;
    Integer FSM = 2;
    bool tmpROC = false, tmpFilter = false, tmpNoOrd = false;

    explicit StruArgs(const std::vector<std::string>& fields) : numfld(Integer(fields.size())) {
        names.ReDim(vb::To(numfld));
        for (Integer i = 1; i <= numfld; ++i) names(i) = fields[size_t(i - 1)];
        for (auto* m : {&po, &ce, &fl}) m->ReDim(vb::To(numfld), vb::To(numfld));
        rt.ReDim(vb::To(numfld));
        lf.ReDim(vb::To(numfld));
    }
    // The settings' model, threshold, selection, ROC and log file over the fields.
    StruArgs(const std::vector<std::string>& fields, const LearnSettings& s) : StruArgs(fields) {
        BMMode = s.BMMode;
        FixedThr = s.FixedThr;
        FSM = s.FSM;
        tmpROC = s.tmpROC;
        logo = s.logo;
    }
    void Run(zorvapi::IDataEngine& e) {
        e.InitLearnStru(numfld, names, bord, po, ce, fl, rt, lf, bpres, logi, logo, BMMode, FixedThr, FSM,
                        tmpROC, tmpFilter, tmpNoOrd);
    }
};

// InitLearnStru over the fields with the settings (Init and InitLearn done by the caller).
inline void SetUpStructure(zorvapi::IDataEngine& e, const std::vector<std::string>& fields,
                           const LearnSettings& s) {
    StruArgs a(fields, s);
    a.Run(e);
}

// Init, InitLearn on the training table and InitLearnStru over all the network's fields.
inline void SetUpLearning(zorvapi::IDataEngine& e, LearningTable& t, const LearnSettings& s) {
    Long rows = s.maxRows;
    Integer vlus = s.maxVlus;
    e.Init(rows, vlus);
    std::string table = t.train.table, cnt = s.freq;
    e.InitLearn(t.db, table, cnt);
    SetUpStructure(e, t.Fields(), s);
}

}  // namespace learning_host
