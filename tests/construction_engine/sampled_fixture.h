// Construction runs on tables drawn from a known network: the sample goes into a SQLite file
// and is read through the recording database, so a test can count the queries a run sends.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "construction_engine/data_set.h"
#include "tests/support/temp_paths.h"
#include "tests/construction_engine/init_fixture.h"
#include "tests/support/network_sampler.h"
#include "tests/support/recording_db.h"

namespace vrelltest {

inline std::string SampleFile(const std::string& name) {
    return testsupport::ProcessTempDir() + "vrell_s_" + name + ".db";
}

// The network's rows (no hold-out column) in table "Sample" of a fresh SQLite file.
inline std::shared_ptr<testsupport::RecordingDatabase> SampledDatabase(const testsupport::Network& net,
                                                                       int rows, const std::string& name,
                                                                       uint64_t seed = 1) {
    testsupport::TableOptions opt;
    opt.holdOut = false;
    opt.seed = seed;
    const testsupport::SampledTable table = testsupport::SampleTable(net, rows, opt);
    return std::make_shared<testsupport::RecordingDatabase>(
        testsupport::WriteSqliteTable(SampleFile(name), table));
}

inline std::vector<std::string> NodeNames(const testsupport::Network& net) {
    std::vector<std::string> v;
    for (int i = 0; i < net.size(); ++i) v.push_back(net.node(i).name);
    return v;
}

// Init and Construct over the arguments; the result matrix (numfld x numfld, cells 0).
inline vb::Array<Integer> Learn(vrellapi::DataSet& d, InitArgs& a, std::shared_ptr<db::Database> dbase,
                                Single perc = 1, bool bpres = false) {
    a.table = "Sample";
    a.Run(d, std::move(dbase));
    vb::Array<Integer> rst(vb::To(a.numfld - 1), vb::To(a.numfld - 1));
    d.Construct(perc, bpres, rst);
    return rst;
}

// Code of the pair of fields i, j (1-based, either order) in a result matrix.
inline Integer Code(const vb::Array<Integer>& rst, Integer i, Integer j) {
    return i < j ? rst(i - 1, j - 1) : rst(j - 1, i - 1);
}

// True when the result makes field p (1-based) a parent of field c.
inline bool IsParent(const vb::Array<Integer>& rst, Integer p, Integer c) {
    return p < c ? rst(p - 1, c - 1) == 1 : rst(c - 1, p - 1) == 2;
}

}  // namespace vrelltest
