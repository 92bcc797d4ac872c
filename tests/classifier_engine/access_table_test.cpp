// The classifier engine learning straight from a table of a real Access file (the Orders table
// of the Jet 3 fixture): the same structure, tables and classification as from a SQLite copy of
// the same table, so the Access reader hands the engine exactly the data.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "classifier_engine/data_engine.h"
#include "platform/vb/rnd.h"
#include "tests/classifier_engine/learning_host.h"
#include "tests/support/fixtures.h"

namespace {

using vb::Integer;
using vb::Long;
using vb::Single;

struct Outcome {
    vb::Array<std::string> classLabels;
    vb::Array<Integer> graph;
    Single accuracy = 0;
    Long total = 0, correct = 0;
    vb::Array<Long> matrix;
    std::string bnc, results;
};

// Ships by carrier (ShipVia) from the employee, the country and the region (Null for most
// countries) of the order.
Outcome LearnAndClassify(std::shared_ptr<db::Database> db, const std::string& dir) {
    learning_host::InFolder here(dir);  // ROC files go to the current folder
    vb::ResetRnd();
    const std::vector<std::string> fields{"ShipVia", "EmployeeID", "ShipCountry", "ShipRegion"};
    Outcome o;
    zorvapi::DataEngine e;
    learning_host::FixBncClock(e);
    Long rows = 5000;
    Integer vlus = 25;
    e.Init(rows, vlus);
    std::string table = "Orders", cnt;
    e.InitLearn(db, table, cnt);
    learning_host::SetUpStructure(e, fields, learning_host::Settings(1, true));
    e.GetClsLbl(o.classLabels);
    Single threshold = 1;
    e.LearnStru(threshold);
    e.GetGraph(o.graph);
    e.PutGraph(o.graph);
    e.InitLearn(db, table, cnt);
    bool mn = false;
    EXPECT_TRUE(e.LearnCPT(mn));
    std::string bnc = dir + "/model.bnc";
    e.WriteBnc(bnc);
    o.bnc = testsupport::ReadFile(bnc);
    std::string cls = "ShipVia", results = dir + "/results.txt";
    o.accuracy = e.ClsfyBatch(db, table, cls, o.matrix, results);
    o.total = e.TotalCases();
    o.correct = e.CorrectCases();
    o.results = testsupport::ReadFile(results);
    return o;
}

TEST(AccessTable, ClassifierLearnsFromTheOrdersTableAsFromItsCopy) {
    BNS_USE_SHARED_FIXTURES(fixtures);
    testsupport::TempDir dir;
    auto access = db::DBEngine::OpenDatabase(fixtures + "access/nwind.mdb", false, true, "");
    const Outcome fromAccess = LearnAndClassify(access, dir.path());

    ASSERT_EQ(fromAccess.classLabels.UBound(), 3);
    EXPECT_EQ(fromAccess.classLabels(1), "1");
    EXPECT_EQ(fromAccess.graph(0, 0, 0), 1);  // a finished construction
    EXPECT_EQ(fromAccess.total, 830);        // every order classified
    EXPECT_GT(fromAccess.correct, 830 / 3);  // better than chance on its own training rows
    EXPECT_NE(fromAccess.bnc.find("ShipCountry"), std::string::npos) << fromAccess.bnc.substr(0, 400);

    db::DBEngine::CreateDatabase(dir.Path("copy.db"))->Close();
    access->Execute("select * into [Orders] IN '" + dir.Path("copy.db") + "' from [Orders]");
    const Outcome fromCopy = LearnAndClassify(db::DBEngine::OpenDatabase(dir.Path("copy.db")), dir.path());
    EXPECT_EQ(fromAccess.graph, fromCopy.graph);
    EXPECT_EQ(fromAccess.accuracy, fromCopy.accuracy);
    EXPECT_EQ(fromAccess.matrix, fromCopy.matrix);
    EXPECT_EQ(fromAccess.bnc, fromCopy.bnc);
    EXPECT_EQ(fromAccess.results, fromCopy.results);
}

}  // namespace
