// The construction log: the bytes the writer puts out (golden text), the reader's field
// remapping onto another run's field order, its refusals, and logs written with a decimal
// comma by earlier versions.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "construction_engine/data_set.h"
#include "construction_engine/errors.h"
#include "tests/support/temp_paths.h"
#include "tests/construction_engine/init_fixture.h"
#include "tests/support/full_disk.h"

namespace {

using namespace vrelltest;
using vrellapi::DataSet;

std::string TempPath(const std::string& name) { return testsupport::ProcessTempDir() + "vrell_" + name; }

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

// Four fields: A with a Null value, "Unit Price" over the value limit, C and D.
const char* const kGolden =
    "4\r\n"
    "\"A\",\"[UNIT PRICE]\",\"C\",\"D\",\r\n"
    "100\r\n"
    "2,\"?\",\"X\",\r\n"
    "66,\r\n"
    "3,\"1\",\"2\",\"3\",\r\n"
    "2,\"YES\",\"NO\",\r\n"
    "2,40,60,\r\n"
    "66,\r\n"
    "3,10,20,70,\r\n"
    "2,50,50,\r\n"
    "\"0.0000\",\"0.1235\",\"1.5000\",\r\n"
    "\"0.0000\",\"0.0000\",\r\n"
    "\"0.0001\",\r\n"
    "1,2,2,3,4,0.03125\r\n"
    "1,3,1,4,0.0123\r\n"
    "1,4,1,3,0.25\r\n"
    "3,4,1,1,1E-07\r\n";

ScriptedTable GoldenTable() {
    ScriptedTable t;
    t.values["A"] = {db::Value(), db::Value("x")};
    t.values["[Unit Price]"] = TextValues(66);
    t.values["C"] = {db::Value(int32_t(1)), db::Value(int32_t(2)), db::Value(int32_t(3))};
    t.values["D"] = {db::Value("Yes"), db::Value("No")};
    t.values["E"] = TextValues(2);
    return t;
}

TEST(ConstructionLog, WriterGolden) {
    InitArgs a({"A", "Unit Price", "C", "D"});
    DataSet d;
    a.Run(d, GoldenTable().Database());
    d.StateCnt(1, 1) = 40, d.StateCnt(1, 2) = 60;
    d.StateCnt(3, 1) = 10, d.StateCnt(3, 2) = 20, d.StateCnt(3, 3) = 70;
    d.StateCnt(4, 1) = 50, d.StateCnt(4, 2) = 50;
    auto mi = [&](Integer i, Integer j, Single v) { d.MICache(0, i, j) = d.MICache(0, j, i) = v; };
    mi(1, 2, 0), mi(2, 3, 0), mi(2, 4, 0);
    mi(1, 3, -0.123456f);  // the log keeps the absolute value
    mi(1, 4, 1.5f);
    mi(3, 4, 0.00007f);
    d.SetCache.Append(0, 1, 2, {3, 4}, 0.03125f);
    d.SetCache.Append(0, 1, 3, {4}, 0.0123f);
    d.SetCache.Append(0, 1, 4, {3}, 0.25f);
    d.SetCache.Append(0, 3, 4, {1}, 1e-07f);
    const std::string path = TempPath("golden.log");
    d.WriteLog(path);
    EXPECT_EQ(ReadFile(path), kGolden);
}

// A write that fails part-way (a full disk) leaves the earlier log as it was and no temporary
// file beside it.
TEST(ConstructionLog, AFailedWriteLeavesTheEarlierLog) {
    InitArgs a({"A", "Unit Price", "C", "D"});
    DataSet d;
    a.Run(d, GoldenTable().Database());
    testsupport::FullDisk disk;
    const std::string path = disk.Path("run.log");
    WriteFile(path, "the earlier log\r\n");
    disk.Fill();
    try {
        d.WriteLog(path);
        ADD_FAILURE() << "the write on a full disk succeeded";
    } catch (const vb::RuntimeError& e) {
        EXPECT_EQ(e.number(), 57);
        EXPECT_EQ(e.description(), "Device I/O error: '" + path + "'");
    }
    disk.Free();
    EXPECT_EQ(ReadFile(path), "the earlier log\r\n");
    EXPECT_EQ(disk.Files(), std::vector<std::string>{"run.log"});
}

TEST(ConstructionLog, ReaderMapsFieldsOntoAnotherOrder) {
    const std::string path = TempPath("remap.log");
    WriteFile(path, kGolden);
    // Another selection, in another order, with a name in other case and a field the log lacks.
    InitArgs a({"D", "unit price", "C", "A", "E"});
    a.logi = path;
    auto rdb = GoldenTable().Database();
    DataSet d;
    a.Run(d, rdb);
    EXPECT_EQ(rdb->Texts(), (std::vector<std::string>{"select  Count(*) from [T]", "select distinct D from [T]",
                                                       "select distinct C from [T]", "select distinct A from [T]",
                                                       "select distinct E from [T]"}))
        << "the table is checked against the log's total and labels; only the field the log lacks is "
           "labelled from the table";
    EXPECT_EQ(d.LogMap.UBound(), 4);
    EXPECT_EQ(std::vector<Integer>({d.LogMap(1), d.LogMap(2), d.LogMap(3), d.LogMap(4)}),
              std::vector<Integer>({4, 2, 3, 1}));
    EXPECT_EQ(d.TotalRows(), 100);
    EXPECT_EQ(d.NumStates(1), 2);
    EXPECT_EQ(d.StateLbl(1, 1), "YES");
    EXPECT_EQ(d.StateCnt(1, 2), 50);
    EXPECT_EQ(d.NumStates(2), 66);
    EXPECT_EQ(d.StateLbl(2, 1), "");
    EXPECT_EQ(d.NumStates(3), 3);
    EXPECT_EQ(d.StateCnt(3, 3), 70);
    EXPECT_EQ(d.StateLbl(4, 1), "?");
    EXPECT_EQ(d.StateCnt(4, 1), 40);
    EXPECT_EQ(d.NumStates(5), 2) << "counted from the table";
    // Mutual information: four decimals, both cells, MICache and MIWork.
    EXPECT_FLOAT_EQ(d.MICache(0, 4, 3), 0.1235f);
    EXPECT_FLOAT_EQ(d.MICache(0, 3, 4), 0.1235f);
    EXPECT_FLOAT_EQ(d.MIWork(0, 1, 4), 1.5f);
    EXPECT_FLOAT_EQ(d.MICache(0, 1, 3), 0.0001f);
    EXPECT_EQ(d.MICache(0, 2, 4), 0);
    EXPECT_EQ(d.MICache(0, 1, 5), -1) << "a pair with a new field is computed afresh";
    // Sets in this run's numbers, ascending; values at full precision.
    ASSERT_EQ(d.SetCache.Count(0, 2, 4), 1);
    EXPECT_EQ(d.SetCache.Slots(0, 2, 4)[0].fields, (std::vector<Integer>{1, 3}));
    EXPECT_EQ(d.SetCache.Slots(0, 2, 4)[0].cmi, 0.03125f);
    EXPECT_EQ(d.SetCache.Slots(0, 3, 4)[0].fields, std::vector<Integer>{1});
    EXPECT_EQ(d.SetCache.Slots(0, 3, 4)[0].cmi, 0.0123f);
    EXPECT_EQ(d.SetCache.Slots(0, 1, 4)[0].fields, std::vector<Integer>{3});
    EXPECT_EQ(d.SetCache.Slots(0, 1, 3)[0].cmi, 1e-07f);
}

TEST(ConstructionLog, SetsOfMissingFieldsAreSkippedAndAPairKeepsEighty) {
    std::string log = "3\r\n\"A\",\"B\",\"C\",\r\n10\r\n";
    log += "2,\"1\",\"2\",\r\n2,\"1\",\"2\",\r\n2,\"1\",\"2\",\r\n";
    log += "2,5,5,\r\n2,5,5,\r\n2,5,5,\r\n";
    log += "\"0.5000\",\"0.2500\",\r\n\"0.1250\",\r\n";
    log += "1,2,1,3,0.5\r\n";  // names C, which the run lacks
    for (int s = 0; s < 85; ++s) log += "1,3,0," + std::to_string(s) + "\r\n";
    const std::string path = TempPath("eighty.log");
    WriteFile(path, log);
    InitArgs a({"A", "B", "D"});
    a.logi = path;
    // The table the log describes: 10 rows, values 1 and 2.
    const std::vector<db::Value> oneTwo = {db::Value("1"), db::Value("2")};
    ScriptedTable t;
    t.total = int32_t(10);
    for (const char* f : {"A", "B", "D"}) t.values[f] = oneTwo;
    DataSet d;
    a.Run(d, t.Database());
    EXPECT_EQ(d.SetCache.Count(0, 1, 2), 0);
    EXPECT_EQ(d.SetCache.Count(0, 1, 3), 0) << "the log's field 3 is not this run's field 3";
    EXPECT_FLOAT_EQ(d.MICache(0, 1, 2), 0.5f);
    EXPECT_EQ(d.MICache(0, 1, 3), -1);

    // The same log read by a run that has C: the pair keeps 80 sets, the last lines overwriting
    // set 80.
    InitArgs b({"A", "B", "C"});
    b.logi = path;
    ScriptedTable t2;
    t2.total = int32_t(10);
    for (const char* f : {"A", "B", "C"}) t2.values[f] = oneTwo;
    DataSet e;
    b.Run(e, t2.Database());
    ASSERT_EQ(e.SetCache.Count(0, 1, 3), 80);
    EXPECT_EQ(e.SetCache.Slots(0, 1, 3)[78].cmi, 78);
    EXPECT_EQ(e.SetCache.Slots(0, 1, 3)[79].cmi, 84);
    EXPECT_EQ(e.SetCache.Slots(0, 1, 3)[0].fields, std::vector<Integer>{});
}

TEST(ConstructionLog, DecimalCommaAndPeriodBothRead) {
    std::string comma = kGolden;
    for (const char* from : {"\"0.1235\"", "\"1.5000\"", "\"0.0001\""}) {
        std::string to = from;
        to[2] = ',';
        comma.replace(comma.find(from), to.size(), to);
    }
    ASSERT_NE(comma.find("\"1,5000\""), std::string::npos);
    const std::string path = TempPath("comma.log");
    WriteFile(path, comma);
    InitArgs a({"A", "Unit Price", "C", "D"});
    a.logi = path;
    DataSet d;
    a.Run(d, GoldenTable().Database());
    EXPECT_FLOAT_EQ(d.MICache(0, 1, 3), 0.1235f);
    EXPECT_FLOAT_EQ(d.MICache(0, 1, 4), 1.5f);
    EXPECT_FLOAT_EQ(d.MICache(0, 3, 4), 0.0001f);
}

TEST(ConstructionLog, ReaderRefusals) {
    const std::string head = "3\r\n\"A\",\"B\",\"C\",\r\n";
    const std::string states = "2,\"1\",\"2\",\r\n2,\"1\",\"2\",\r\n2,\"1\",\"2\",\r\n";
    const std::string counts = "2,5,5,\r\n2,5,5,\r\n2,5,5,\r\n";
    const std::string mi = "\"0.5000\",\"0.2500\",\r\n\"0.1250\",\r\n";
    struct Case {
        const char* what;
        std::string log;
        int32_t number;
        std::string text;
    };
    const std::string past = vrellapi::kLogPastEnd.description;
    const std::string invalid = vrellapi::kInvalidLogFile.description;
    const std::string regional = vrellapi::kLogRegionalFormat.description;
    const Case cases[] = {
        {"a log of two fields", "2\r\n\"A\",\"B\",\r\n10\r\n", com::objectError(515), invalid},
        {"a total of 0", head + "0\r\n" + states, com::objectError(515), invalid},
        {"truncated in the state lines", head + "10\r\n2,\"1\",", com::objectError(515), past},
        {"truncated in a set line", head + "10\r\n" + states + counts + mi + "1,2,2,3", com::objectError(515), past},
        {"a count that is not a number", head + "10\r\n" + states + "2,x,5,\r\n", com::objectError(518), regional},
        {"a garbled mutual information", head + "10\r\n" + states + counts + "\"0.5x\",", com::objectError(518), regional},
        {"more states than the limit marker", head + "10\r\n67,", com::objectError(515), invalid},
        {"a count line that disagrees", head + "10\r\n" + states + "3,5,5,5,\r\n", com::objectError(515), invalid},
        // Out of the arrays' range: the runtime's own error.
        {"a set of 21 fields", head + "10\r\n" + states + counts + mi + "1,2,21,3\r\n", 9, "Subscript out of range"},
        {"a set field beyond the log's fields", head + "10\r\n" + states + counts + mi + "1,2,1,4,0.5\r\n", 9,
         "Subscript out of range"},
        {"a pair beyond the log's fields", head + "10\r\n" + states + counts + mi + "1,4,0,0.5\r\n", 9,
         "Subscript out of range"},
    };
    for (const Case& c : cases) {
        const std::string path = TempPath("bad.log");
        WriteFile(path, c.log);
        InitArgs a({"A", "B", "C"});
        a.logi = path;
        ScriptedTable t;
        for (const char* f : {"A", "B", "C"}) t.values[f] = TextValues(2);
        DataSet d;
        try {
            a.Run(d, t.Database());
            ADD_FAILURE() << c.what << ": no error";
        } catch (const com::Error& e) {
            EXPECT_EQ(e.number(), c.number) << c.what;
            EXPECT_EQ(e.description(), c.text) << c.what;
            EXPECT_EQ(e.source(), "DataSet Object") << c.what;
        }
    }
    // A missing file is the runtime's own error, with the class's source.
    InitArgs a({"A", "B", "C"});
    a.logi = TempPath("no such folder/none.log");
    DataSet d;
    try {
        ScriptedTable t;
        a.Run(d, t.Database());
        ADD_FAILURE() << "no error";
    } catch (const com::Error& e) {
        EXPECT_TRUE(e.number() == 53 || e.number() == 76) << e.number();
        EXPECT_EQ(e.source(), "DataSet Object");
    }
}

}  // namespace
