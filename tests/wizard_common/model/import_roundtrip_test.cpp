// The knowledge model against the real engines: the files the construction engine exports are
// imported back as exactly their parent-child links (zorv refuses the links into its class
// field), and the arrays the model hands to each engine are taken as the knowledge meant.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "classifier_engine/data_engine.h"
#include "construction_engine/data_set.h"
#include "tests/support/db_contract.h"
#include "tests/support/network_sampler.h"
#include "wizard_common/model/import_scanner.h"
#include "wizard_common/model/knowledge_model.h"

namespace {

using namespace wizard::knowledge;
using vb::Integer;
using vb::Single;

// Risk, the class field of zorv's runs, has two parents; every name is an identifier of all
// three formats.
testsupport::Network RiskNetwork() {
    testsupport::Network net;
    const std::vector<std::string> yn = {"YES", "NO"};
    const int smoke = net.AddNode("Smoke", yn, {}, {{0.3, 0.7}});
    const int dust = net.AddNode("Dust", yn, {}, {{0.4, 0.6}});
    net.AddNode("Cough", yn, {smoke, dust}, {{0.9, 0.1}, {0.7, 0.3}, {0.6, 0.4}, {0.1, 0.9}});
    const int age = net.AddNode("Age", {"LOW", "MID", "HIGH"}, {}, {{0.3, 0.4, 0.3}});
    const int risk = net.AddNode("Risk", yn, {age, smoke},
                                 {{0.2, 0.8}, {0.05, 0.95}, {0.5, 0.5}, {0.2, 0.8}, {0.9, 0.1}, {0.4, 0.6}});
    net.AddNode("Xray", yn, {risk}, {{0.85, 0.15}, {0.1, 0.9}});
    return net;
}

struct Table {
    testsupport::TempDir dir;
    testsupport::Network net = RiskNetwork();
    testsupport::SampledTable rows;
    std::shared_ptr<db::Database> db;
    std::vector<std::string> fields;  // the table's columns: Risk first

    // zorv's tables carry the hold-out column, which is no field of the page.
    explicit Table(int count, bool holdOut = false) {
        testsupport::TableOptions opt;
        opt.classNode = net.Index("Risk");
        opt.holdOut = holdOut;
        rows = testsupport::SampleTable(net, count, opt);
        db = testsupport::WriteSqliteTable(dir.Path("risk.db"), rows);
        for (size_t c = 0; c < rows.columns.size(); ++c)
            if (rows.nodeOfColumn[c] >= 0) fields.push_back(rows.columns[c]);
    }
    int Row(const std::string& name) const { return rows.Column(name); }
};

using Links = std::set<std::pair<int, int>>;  // (parent row, child row)

Links PairsOf(const KnowledgeModel& m) {
    Links out;
    for (const PairRow& p : m.pairs(PairTab::CausesEffects)) out.insert({p.first, p.second});
    return out;
}

TEST(ImportRoundTrip, ExportedFilesGiveBackTheirLinks) {
    Table t(600);
    const int n = int(t.fields.size());

    // The run as vrell makes it, with the arrays of an empty knowledge page.
    KnowledgeModel page(KnowledgeRules::Vrell);
    page.Reset(t.fields);
    EngineKnowledge k = page.ForDataSet();
    vrellapi::DataSet d;
    std::string table = t.rows.table, cnt, logi, logo;
    Integer numfld = Integer(n);
    d.Init(t.db, table, numfld, k.names, cnt, k.bord, k.po, k.ce, k.fl, k.rt, k.lf, logi, logo);
    vb::Array<Integer> rst(vb::To(n - 1), vb::To(n - 1));
    Single perc = 1;
    bool bpres = false;
    d.Construct(perc, bpres, rst);
    ASSERT_NE(rst(0, 0), -1);

    // The exported graph: the network's arcs, given in either cell, and one unoriented pair
    // that makes no parent.
    vb::Array<Integer> graf(vb::To(n - 1), vb::To(n - 1));
    Links exported;
    for (const auto& [p, c] : t.net.Arcs()) {
        const int i = t.Row(t.net.node(p).name), j = t.Row(t.net.node(c).name);
        if (i < j) graf(i, j) = 1;
        else graf(j, i) = 2;
        exported.insert({i, j});
    }
    const int age = t.Row("Age"), xray = t.Row("Xray");
    graf(std::min(age, xray), std::max(age, xray)) = 3;
    Links intoClass;
    for (const auto& link : exported)
        if (link.second == 0) intoClass.insert(link);
    ASSERT_EQ(intoClass.size(), 2u);

    for (const char* file : {"risk.dne", "risk.net", "risk.bif"}) {
        SCOPED_TRACE(file);
        std::string path = t.dir.Path(file);
        d.LearnCP(graf, path);
        ASSERT_FALSE(CheckImportFile(path));

        KnowledgeModel vrell(KnowledgeRules::Vrell);
        vrell.Reset(t.fields);
        ImportScan scan = ScanImportFile(path, t.fields, t.fields);
        ASSERT_FALSE(scan.fault) << scan.fault->text;
        int shown = 0;
        const int count = ApplyImport(vrell, scan, [&](const ImportStep&, const PairEdit* e) { shown += e && e->message; });
        EXPECT_EQ(shown, 0);
        EXPECT_EQ(PairsOf(vrell), exported);
        EXPECT_EQ(count, int(exported.size()));

        KnowledgeModel zorv(KnowledgeRules::Zorv);
        zorv.Reset(t.fields);
        std::vector<Message> messages;
        const int kept = ApplyImport(zorv, scan, [&](const ImportStep&, const PairEdit* e) {
            if (e && e->message) messages.push_back(*e->message);
        });
        EXPECT_EQ(messages, std::vector<Message>(intoClass.size(), Message{kClassCause, Icon::None}));
        Links expected = exported;
        for (const auto& link : intoClass) expected.erase(link);
        EXPECT_EQ(PairsOf(zorv), expected);
        EXPECT_EQ(kept, int(expected.size()));
    }
}

// zorv's page hands DataEngine its arrays from index 1: the engine's forbidden links and its
// record of which field may reach which land on the fields the user named.
TEST(ImportRoundTrip, DataEngineTakesThePageKnowledge) {
    Table t(300, true);
    const std::vector<std::string>& fields = t.fields;
    ASSERT_EQ(fields[0], "Risk");
    const int smoke = t.Row("Smoke"), cough = t.Row("Cough"), xray = t.Row("Xray");

    KnowledgeModel page(KnowledgeRules::Zorv);
    page.Reset(fields);
    page.AddPair(PairTab::CausesEffects, 0, xray);
    page.AddPair(PairTab::ForbiddenLinks, cough, smoke);
    page.CheckMark(MarkList::Leaf, xray, true);
    page.MarkListClicked(-1, xray);
    ASSERT_FALSE(page.CheckOnLeave());
    EngineKnowledge k = page.ForDataEngine();
    EXPECT_EQ(k.names(1), "Risk");

    zorvapi::DataEngine e;
    vb::Long rows = 5000;
    Integer vlus = 10;
    e.Init(rows, vlus);
    std::string table = t.rows.table, cnt;
    e.InitLearn(t.db, table, cnt);
    Integer numfld = Integer(fields.size());
    std::string logi, logo;
    bool fixed = true, roc = false, filter = false, noOrd = false;
    Integer mode = 1, fsm = 2;
    e.InitLearnStru(numfld, k.names, k.bord, k.po, k.ce, k.fl, k.rt, k.lf, k.bpres, logi, logo, mode, fixed, fsm,
                    roc, filter, noOrd);

    const auto F = [](int row) { return Integer(row + 1); };
    for (Integer i = 1; i <= numfld; ++i)
        for (Integer j = 1; j <= numfld; ++j) {
            const bool forbidden = (i == F(smoke) && j == F(cough)) || (i == F(cough) && j == F(smoke));
            EXPECT_EQ(e.FL(i, j), forbidden ? 1 : 0) << i << "," << j;
        }
    // The class field is a root and Xray a leaf: the class may reach every field and every
    // field may reach Xray.
    for (Integer j = 1; j <= numfld; ++j) {
        EXPECT_EQ(e.Reach(1, j), 1) << j;
        EXPECT_EQ(e.Reach(j, F(xray)), 1) << j;
    }
    EXPECT_EQ(e.Reach(F(xray), F(smoke)), 0);
}

}  // namespace
