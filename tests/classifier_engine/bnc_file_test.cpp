// The classifier file: golden files of a single net and a multi-net read back and written again
// byte for byte, the errors of a bad file, and a learned classifier that classifies a test
// table the same after a trip through the file as before it.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "classifier_engine/data_engine.h"
#include "tests/classifier_engine/learning_host.h"
#include "tests/support/engine_fixture.h"
#include "tests/support/full_disk.h"
#include "tests/support/network_sampler.h"

namespace {

using learning_host::InTempDir;
using testsupport::EngineFixture;
using testsupport::ReadFile;
using testsupport::TableSpec;
using testsupport::TempDir;
using testsupport::WriteFile;
using vb::Integer;
using vb::Long;
using vb::Single;
using zorvapi::DataEngine;

// Class C -> A, C -> B, A -> B; the default cost table. Numbers below 1 keep their leading
// zero, and a Single goes out in the fewest digits that read back to it (the readers take ".5"
// as well).
const std::string kBayesNet =
    "//Created by BN Kalvex 10:20:30  2024-05-06\r\n"
    "BAYES_NET: [Train]\r\n"
    "FIELDS:  3 \r\n"
    "\"C\",\"A\",\"B\"\r\n"
    "\"C\",2,\"N\",\"Y\"\r\n"
    "\"A\",3,\"A0\",\"A1\",\"A2\"\r\n"
    "\"B\",2,\"F\",\"T\"\r\n"
    "\r\n"
    "\r\n"
    "DEFAULT COST TABLE\r\n"
    "\r\n"
    "STRUCTURE\r\n"
    "0,1,1\r\n"
    "2,0,1\r\n"
    "2,2,0\r\n"
    "A | C\r\n"
    "B | C, A\r\n"
    "\r\n"
    "CLASS PROB\r\n"
    "0.6111111,0.3888889\r\n"
    "\r\n"
    "CPTABLES\r\n"
    "Table: A  (2 entries)\r\n"
    "0.2,0.3,0.5\r\n"
    "0.6,0.2,0.2\r\n"
    "Table: B  (6 entries)\r\n"
    "0.1,0.9\r\n"
    "0.25,0.75\r\n"
    "0.5,0.5\r\n"
    "0.7,0.3\r\n"
    "0.8,0.2\r\n"
    "0.3333333,0.6666667\r\n";

// Layer N: A -> STRUCTURE1; layer Y: STRUCTURE1 -> D. The parent line of STRUCTURE1 stands
// before the second layer's header, and D has a single value, so its table is empty. The cost
// of deciding N when the class is Y is 5, of deciding Y when it is N the Single next to 1/3,
// which takes 8 digits to read back the same.
const std::string kMultiNet =
    "//Created by BN Kalvex 10:20:30  2024-05-06\r\n"
    "MULTI_NET: [Train]\r\n"
    "FIELDS:  4 \r\n"
    "\"C\",\"A\",\"STRUCTURE1\",\"D\"\r\n"
    "\"C\",2,\"N\",\"Y\"\r\n"
    "\"A\",2,\"A0\",\"A1\"\r\n"
    "\"STRUCTURE1\",2,\"F\",\"T\"\r\n"
    "\"D\",1,\"X\"\r\n"
    "\r\n"
    "Feature Subset: \r\n"
    "0,1,1,1\r\n"
    "\r\n"
    "COST TABLE\r\n"
    "0,0.33333334\r\n"
    "5,0\r\n"
    "\r\n"
    "STRUCTURE  C = N\r\n"
    "0,1,0\r\n"
    "2,0,0\r\n"
    "0,0,0\r\n"
    "A | \r\n"
    "STRUCTURE1 | A\r\n"
    "D | \r\n"
    "\r\n"
    "STRUCTURE  C = Y\r\n"
    "0,0,0\r\n"
    "0,0,1\r\n"
    "0,2,0\r\n"
    "A | \r\n"
    "STRUCTURE1 | \r\n"
    "D | STRUCTURE1\r\n"
    "\r\n"
    "CLASS PROB\r\n"
    "0.6,0.4\r\n"
    "\r\n"
    "CPTABLES C = N\r\n"
    "Table: A  (1 entries)\r\n"
    "0.5,0.5\r\n"
    "Table: STRUCTURE1  (2 entries)\r\n"
    "0.5,0.5\r\n"
    "0.2,0.8\r\n"
    "Table: D  (0 entries)\r\n"
    "\r\n"
    "CPTABLES C = Y\r\n"
    "Table: A  (1 entries)\r\n"
    "0.5,0.5\r\n"
    "Table: STRUCTURE1  (1 entries)\r\n"
    "0.5,0.5\r\n"
    "Table: D  (0 entries)\r\n"
    "\r\n";

void FixedClock(DataEngine& e) {
    e.BncClock = [](std::string& time, std::string& date) {
        time = "10:20:30";
        date = "2024-05-06";
    };
}

// A fresh engine as the host opens a file with: Init, ReadBncStru, ReadBncCPT.
void Open(DataEngine& e, std::string path, Integer vlus = 10, Long rows = 100) {
    e.Init(rows, vlus);
    e.ReadBncStru(path);
    e.ReadBncCPT(path);
}

TEST(BncFile, GoldenBayesNetReadsBackAndWritesTheSameBytes) {
    TempDir dir;
    WriteFile(dir.Path("in.bnc"), kBayesNet);
    DataEngine e;
    Open(e, dir.Path("in.bnc"));
    EXPECT_FALSE(e.IsMultiNet());
    EXPECT_EQ(e.TableName, "[Train]");
    EXPECT_EQ(e.numfld, 3);
    EXPECT_EQ(e.nc, 2);
    EXPECT_EQ(e.FF(2), 3);
    EXPECT_EQ(e.VluLbl(2, 3), "A2");
    EXPECT_TRUE(e.DefaultCost);
    // The single net's feature subset is derived from its graph: the class, its children and
    // their parents. Without it no test column would be read.
    vb::Array<Integer> features;
    e.GetRelative(features);
    EXPECT_EQ(std::vector<Integer>(features.cells().begin(), features.cells().end()),
              (std::vector<Integer>{0, 1, 1, 1}));
    EXPECT_EQ(e.ClassChildren(0), 2);
    EXPECT_EQ(e.Parents(3, 0), 2);
    EXPECT_EQ(e.Parents(3, 2), 2);
    EXPECT_EQ(e.CPTIndex(2), 1);
    EXPECT_EQ(e.CPTIndex(3), 3);
    EXPECT_EQ(e.CPTIndex(4), 9);
    EXPECT_EQ(e.CPTStore(9, 2), 0.6666667f);

    FixedClock(e);
    std::string out = dir.Path("out.bnc");
    e.WriteBnc(out);
    EXPECT_EQ(ReadFile(out), kBayesNet);

    // A copy whose lines end in LF alone reads the same.
    std::string lf = kBayesNet;
    for (size_t p; (p = lf.find("\r\n")) != std::string::npos;) lf.erase(p, 1);
    WriteFile(dir.Path("lf.bnc"), lf);
    DataEngine fromLf;
    Open(fromLf, dir.Path("lf.bnc"));
    FixedClock(fromLf);
    fromLf.WriteBnc(out);
    EXPECT_EQ(ReadFile(out), kBayesNet);

    // The list-style numbers keep their point under a decimal comma, both ways.
    testsupport::CommaLocale comma;
    if (!comma.ok()) GTEST_SKIP() << "no locale with a decimal comma can be made here";
    DataEngine underComma;
    Open(underComma, out);
    FixedClock(underComma);
    std::string again = dir.Path("again.bnc");
    underComma.WriteBnc(again);
    EXPECT_EQ(ReadFile(again), kBayesNet);
}

TEST(BncFile, GoldenMultiNetReadsBackAndWritesTheSameBytes) {
    TempDir dir;
    WriteFile(dir.Path("in.bnc"), kMultiNet);
    DataEngine e;
    Open(e, dir.Path("in.bnc"));
    EXPECT_TRUE(e.IsMultiNet());
    EXPECT_EQ(e.Graph(2, 4, 3), 2);
    EXPECT_EQ(e.Parents(1, 3, 0), 1);
    EXPECT_EQ(e.CPTIndex(1, 4), e.CPTIndex(1, 5));  // D: an empty range
    EXPECT_EQ(e.CPTIndex(2, 5), 6);
    EXPECT_FALSE(e.DefaultCost);
    EXPECT_EQ(e.CostTable(2, 1), 5.0f);

    // The comment line carries the system's time and date; everything after it is as read.
    std::string out = dir.Path("out.bnc");
    e.WriteBnc(out);
    const std::string text = ReadFile(out);
    const std::string head = "//Created by BN Kalvex ";
    EXPECT_EQ(text.substr(0, head.size()), head);
    EXPECT_EQ(text.substr(text.find("\r\n")), kMultiNet.substr(kMultiNet.find("\r\n")));
}

TEST(BncFile, ACostTableReadFromAFileDecides) {
    TempDir dir;
    WriteFile(dir.Path("in.bnc"), kMultiNet);
    DataEngine e;
    Open(e, dir.Path("in.bnc"));
    // A0, F: scores 0.6 x 0.5 x 0.5 = 0.15 for N and 0.4 x 0.5 x 0.5 = 0.1 for Y. N is the more
    // probable, but deciding N costs 0.1 x 5 against 0.15 x 1/3 for Y.
    vb::Array<Integer> c(vb::To(4));
    c(2) = 1;
    c(3) = 1;
    c(4) = 1;
    EXPECT_EQ(e.ClsfyInst(c), 2);
    EXPECT_FALSE(e.DefaultCost);
}

TEST(BncFile, ErrorsOfABadFile) {
    auto replace = [](std::string s, const std::string& from, const std::string& to) {
        return s.replace(s.find(from), from.size(), to);
    };
    struct Case {
        const char* what;
        std::string text;  // "" = no file
        Integer vlus;
        int number;
        const char* description;  // nullptr: not checked
        Long rows = 100;
    };
    const Case cases[] = {
        {"a field with more values than the limit", kBayesNet, 2, 556,
         "A field has more values than the number specified at the 'advanced system settings'."},
        {"no file", "", 10, 53, nullptr},
        {"no FIELDS line", "BAYES_NET: [T]\r\n", 10, 62, nullptr},
        {"cut before the structure", kBayesNet.substr(0, kBayesNet.find("STRUCTURE")), 10, 62,
         nullptr},
        {"a matrix cell that is no number", replace(kBayesNet, "2,0,1", "2,x,1"), 10, 13,
         "Type mismatch"},
        {"a table shorter than its configurations",
         replace(kBayesNet, "(6 entries)", "(5 entries)"), 10, 13, nullptr},
        {"cut inside the tables", kBayesNet.substr(0, kBayesNet.size() - 20), 10, 62,
         nullptr},
        {"tables beyond the store", kBayesNet, 10, 9, "Subscript out of range", 8},
        // 0.6666667 cut to 0.6666 would otherwise be read as the last probability.
        {"cut inside the last number", kBayesNet.substr(0, kBayesNet.size() - 5), 10, 62,
         nullptr},
        // Read item by item, an extra item would shift every later value of the section.
        {"a table row with an item too many",
         replace(kBayesNet, "0.2,0.3,0.5\r\n", "0.2,0.3,0.5,0.1\r\n"), 10, 13, nullptr},
        {"a structure row with a cell too many",
         replace(kBayesNet, "2,0,1\r\n", "2,0,1,0\r\n"), 10, 13, nullptr},
        // Sized by the count as it stands, the structure alone would take gigabytes.
        {"a field count the file cannot hold", replace(kBayesNet, "FIELDS:  3 ", "FIELDS:  20000 "), 10, 13,
         "Type mismatch: the classifier file is damaged (the FIELDS line counts more fields than the file holds)"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        if (!c.text.empty()) WriteFile(dir.Path("in.bnc"), c.text);
        DataEngine e;
        try {
            Open(e, dir.Path("in.bnc"), c.vlus, c.rows);
            ADD_FAILURE() << c.what << ": no error";
        } catch (const com::Error& err) {
            EXPECT_EQ(err.number(), c.number) << c.what;  // 556 too: the plain number
            EXPECT_EQ(err.source(), "DataEngine Object") << c.what;
            if (c.description) {
                EXPECT_EQ(err.description(), c.description) << c.what;
            }
            if (c.number == 53 || c.number == 62) {
                EXPECT_NE(err.description().find("'" + dir.Path("in.bnc") + "'"), std::string::npos)
                    << c.what << ": " << err.description();
            }
        }
    }
}

// A write that fails part-way (a full disk) leaves the user's earlier classifier as it was and
// no temporary file beside it; with room again the file is replaced.
TEST(BncFile, AFailedWriteLeavesTheEarlierFile) {
    TempDir dir;
    WriteFile(dir.Path("in.bnc"), kBayesNet);
    DataEngine e;
    Open(e, dir.Path("in.bnc"));
    FixedClock(e);
    testsupport::FullDisk disk;
    std::string target = disk.Path("model.bnc");
    WriteFile(target, "the user's classifier\r\n");
    disk.Fill();
    try {
        e.WriteBnc(target);
        ADD_FAILURE() << "the write on a full disk succeeded";
    } catch (const com::Error& err) {
        EXPECT_EQ(err.number(), 57) << err.description();
    }
    disk.Free();
    EXPECT_EQ(ReadFile(target), "the user's classifier\r\n");
    EXPECT_EQ(disk.Files(), std::vector<std::string>{"model.bnc"});
    e.WriteBnc(target);
    EXPECT_EQ(ReadFile(target), kBayesNet);
}

// ---- a learned classifier through the file ----

// Cls -> A, Cls -> B, A -> B, E -> B, A -> D: D lies outside the single net's blanket. Id has
// a value per row, more than the limit.
TableSpec Sample(const std::string& name, int rows, uint64_t seed) {
    testsupport::Network net;
    const int cls = net.AddNode("Cls", {"N", "Y"}, {}, {{0.55, 0.45}});
    const int e = net.AddNode("E", {"E0", "E1"}, {}, {{0.5, 0.5}});
    const int a = net.AddNode("A", {"A0", "A1", "A2"}, {cls}, {{0.7, 0.2, 0.1}, {0.1, 0.3, 0.6}});
    net.AddNode("B", {"F", "T"}, {cls, a, e},
                {{0.9, 0.1}, {0.6, 0.4}, {0.7, 0.3}, {0.4, 0.6}, {0.5, 0.5}, {0.3, 0.7},
                 {0.8, 0.2}, {0.2, 0.8}, {0.6, 0.4}, {0.1, 0.9}, {0.4, 0.6}, {0.05, 0.95}});
    net.AddNode("D", {"D0", "D1"}, {a}, {{0.8, 0.2}, {0.5, 0.5}, {0.2, 0.8}});
    testsupport::TableOptions opt;
    opt.table = name;
    opt.holdOut = false;
    opt.seed = seed;
    const testsupport::SampledTable t = testsupport::SampleTable(net, rows, opt);
    TableSpec table{name, {}, {}};
    for (const std::string& c : t.columns) table.columns.push_back({c, db::dbText});
    table.columns.push_back({"Id", db::dbLong});
    for (size_t r = 0; r < t.cells.size(); ++r) {
        std::vector<db::Value>& row = table.rows.emplace_back(t.cells[r]);
        row.emplace_back(int32_t(r));
    }
    return table;
}

struct Batch {
    Single accuracy = 0;
    Long total = 0, correct = 0, unclassified = 0;
    vb::Array<Long> matrix;
    vb::Array<Single> lift;
    std::string resultFile;
};

Batch Classify(DataEngine& e, const TempDir& dir, const std::string& file) {
    auto testDb = db::DBEngine::OpenDatabase(dir.Path("test.db"));
    std::string table = "Test", cls = "Cls", path = dir.Path(file);
    Batch b;
    b.accuracy = e.ClsfyBatch(testDb, table, cls, b.matrix, path);
    b.total = e.TotalCases();
    b.correct = e.CorrectCases();
    b.unclassified = e.ErrorCases();
    e.GetLift(b.lift);
    b.resultFile = ReadFile(path);
    return b;
}

TEST(BncFile, ALearnedClassifierClassifiesTheSameAfterTheFile) {
    InTempDir cwd;
    for (bool multiNet : {false, true}) {
        const char* kind = multiNet ? "multi-net" : "single net";
        EngineFixture fx(Sample("Train", 400, 1), {"Cls", "A", "B", "D", "E", "Id"}, 5000, 10);
        ASSERT_EQ(fx.engine.FF(6), 11) << "Id is over the value limit";
        testsupport::CreateSqliteFile(fx.dir.Path("test.db"), {Sample("Test", 150, 2)});
        auto g = fx.NewGraph();
        if (!multiNet) {
            EngineFixture::Arc(g, 0, 1, 2);
            EngineFixture::Arc(g, 0, 1, 3);
            EngineFixture::Arc(g, 0, 2, 3);
            EngineFixture::Arc(g, 0, 5, 3);
            EngineFixture::Arc(g, 0, 2, 4);  // not into a class child: cut by LearnCPT
        } else {
            fx.engine.IsMultiNet_ = true;
            EngineFixture::Arc(g, 1, 2, 3);
            EngineFixture::Arc(g, 1, 5, 3);
            EngineFixture::Arc(g, 2, 2, 4);
        }
        fx.engine.PutGraph(g);
        bool mn = multiNet;
        ASSERT_TRUE(fx.engine.LearnCPT(mn));
        FixedClock(fx.engine);
        std::string file = fx.dir.Path("learned.bnc");
        fx.engine.WriteBnc(file);
        const Batch before = Classify(fx.engine, fx.dir, "before.txt");
        ASSERT_GT(before.correct, 0) << kind;

        DataEngine opened;
        Open(opened, file, 10);
        vb::Array<Integer> f1, f2;
        fx.engine.GetRelative(f1);
        opened.GetRelative(f2);
        EXPECT_EQ(f1, f2) << kind;
        EXPECT_EQ(opened.CPTIndex, fx.engine.CPTIndex) << kind;
        EXPECT_EQ(opened.FF(6), 0) << kind << ": written with no labels";

        const Batch after = Classify(opened, fx.dir, "after.txt");
        EXPECT_EQ(after.accuracy, before.accuracy) << kind;
        EXPECT_EQ(after.total, before.total) << kind;
        EXPECT_EQ(after.correct, before.correct) << kind;
        EXPECT_EQ(after.unclassified, before.unclassified) << kind;
        EXPECT_EQ(after.matrix, before.matrix) << kind;
        EXPECT_EQ(after.lift, before.lift) << kind;
        EXPECT_EQ(after.resultFile, before.resultFile) << kind;

        // The opened classifier writes the file it was read from.
        FixedClock(opened);
        std::string again = fx.dir.Path("again.bnc");
        opened.WriteBnc(again);
        EXPECT_EQ(ReadFile(again), ReadFile(file)) << kind;
    }
}

}  // namespace
