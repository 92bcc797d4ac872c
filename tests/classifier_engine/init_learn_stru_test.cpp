// The classifier's learning set-up: argument checks and errors, field-name quoting, class
// values, knowledge intake, the hold-out setting, the set-up statistics and progress.
#include <fmt/format.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "tests/support/temp_paths.h"
#include "classifier_engine/data_engine.h"
#include "classifier_engine/errors.h"
#include "platform/db/sql_names.h"
#include "platform/db/value_text.h"
#include "tests/classifier_engine/learning_host.h"
#include "tests/support/memory_table.h"
#include "tests/support/network_sampler.h"
#include "tests/support/recording_db.h"

namespace {

using testsupport::MemoryTable;
using testsupport::RecordingDatabase;
using vb::Integer;
using vb::Long;
using vb::Single;
using zorvapi::DataEngine;
using Row = std::vector<db::Value>;
using Args = learning_host::StruArgs;  // neutral knowledge over the fields

class Sink : public zorvapi::DataEngineEvents {
public:
    void PercentDone(Single p1, Single p2, bool& cancel) override {
        seen.emplace_back(p1, p2);
        if (cancelAt > 0 && int(seen.size()) == cancelAt) cancel = true;
    }
    std::vector<std::pair<Single, Single>> seen;
    int cancelAt = 0;
};

// An engine bound to a table through a recording database, ready for InitLearnStru.
struct Engine {
    std::shared_ptr<RecordingDatabase> rdb;
    DataEngine e;
    Sink sink;

    Engine(const MemoryTable& table, Integer maxVlus = 10, const std::string& connect = "",
           std::string weight = "") {
        rdb = std::make_shared<RecordingDatabase>(connect);
        table.AttachTo(*rdb);
        Long rows = 5000;
        e.Init(rows, maxVlus);
        std::shared_ptr<db::Database> dbp = rdb;
        std::string name = table.table();
        e.InitLearn(dbp, name, weight);
        e.SetEventSink(&sink);
        rdb->ClearLog();
    }
    void Run(Args& a) { a.Run(e); }
};

// Class C (values "N", "Y"), fields F2..F4, hold-out flag on every third row.
MemoryTable Small(int rows = 30) {
    std::vector<Row> data;
    for (int r = 0; r < rows; ++r)
        data.push_back({r % 2 ? "Y" : "N", "a" + std::to_string(r % 3), "b" + std::to_string(r % 4),
                        "c" + std::to_string(r % 2), r % 3 == 0});
    return MemoryTable("T", {"C", "F2", "F3", "F4", "ZORV_HoldOut"}, data);
}
const std::vector<std::string> kFields{"C", "F2", "F3", "F4"};

TEST(InitLearnStru, ArgumentAndDataErrors) {
    struct Case {
        const char* what;
        int n;
        const char* text;
        std::function<void(Args&)> edit;
        std::vector<Row> extraRows;
    };
    const Case cases[] = {
        {"two fields", 513, "Too few fields", [](Args& a) { a.numfld = 2; }, {}},
        {"empty name", 514, "Invalid field name", [](Args& a) { a.names(3) = ""; }, {}},
        {"po from 1", 516, "wrong dimension of arrary partial ordering",
         [](Args& a) { a.po.ReDim(vb::Range(1, 4), vb::Range(1, 4)); }, {}},
        {"po too small", 516, "wrong dimension of arrary partial ordering",
         [](Args& a) { a.po.ReDim(vb::To(4), vb::To(3)); }, {}},
        {"po not a matrix", 516, "wrong dimension of arrary partial ordering",
         [](Args& a) { a.po.ReDim(vb::To(4)); }, {}},
        {"ce too small", 517, "wrong dimension of arrary causes and effects",
         [](Args& a) { a.ce.ReDim(vb::To(3), vb::To(4)); }, {}},
        // MaxVlus is 3 below: a fourth class value is one too many.
        {"too many class values", 520, "The class field has too many values", [](Args&) {},
         {{"Q", "a0", "b0", "c0", false}, {"R", "a0", "b0", "c0", false}}},
        // A Null class in a hold-out row counts: the class values are read from all rows.
        {"null class", 521, "The class field contains missing values", [](Args& a) { a.FixedThr = false; },
         {{db::Value::Null(), "a0", "b0", "c0", true}}},
    };
    for (const Case& c : cases) {
        std::vector<Row> rows = Small().rows();
        rows.insert(rows.end(), c.extraRows.begin(), c.extraRows.end());
        Engine eng(MemoryTable("T", Small().columns(), rows), 3);
        Args a(kFields);
        c.edit(a);
        try {
            eng.Run(a);
            ADD_FAILURE() << c.what << ": no error";
        } catch (const com::Error& err) {
            EXPECT_EQ(err.number(), com::objectError(c.n)) << c.what;
            EXPECT_EQ(err.description(), c.text) << c.what;
            EXPECT_EQ(err.source(), "DataEngine Object") << c.what;
        }
        if (c.n == 513) {
            EXPECT_EQ(eng.rdb->QueryCount(), 0) << "no query before the field check";
        }
    }

    // Exactly MaxVlus class values pass.
    std::vector<Row> rows = Small().rows();
    rows.push_back({"Q", "a0", "b0", "c0", false});
    Engine ok(MemoryTable("T", Small().columns(), rows), 3);
    Args a(kFields);
    EXPECT_NO_THROW(ok.Run(a));
    EXPECT_EQ(ok.e.nc, 3);

    // No rows to learn from: an empty table (549), or only hold-out rows where the settings
    // hold rows out (557, naming the column and what it leaves missing). Learned on, it would
    // give a classifier file that cannot be read back.
    std::vector<Row> heldOut = Small(6).rows();
    for (Row& r : heldOut) r.back() = true;
    const std::string allHeldOut =
        fmt::format(fmt::runtime(zorvapi::kNoHoldOutSplit.description), zorvapi::kNoRowsToLearn);
    for (const auto& [what, data, fixed, number, text] :
         {std::tuple{"empty", std::vector<Row>{}, true, 549, std::string(zorvapi::kEmptyTable.description)},
          std::tuple{"all held out", heldOut, false, 557, allHeldOut}}) {
        Engine empty(MemoryTable("T", Small().columns(), data));
        Args args(kFields);
        args.FixedThr = fixed;
        try {
            empty.Run(args);
            ADD_FAILURE() << what << ": no error";
        } catch (const com::Error& err) {
            EXPECT_EQ(err.number(), com::objectError(number)) << what;
            EXPECT_EQ(err.description(), text) << what;
        }
    }

    // A database error keeps its number and text and takes the engine's source.
    Engine bad(Small());
    Args b({"C", "F2", "Nope"});
    try {
        bad.Run(b);
        ADD_FAILURE() << "unknown field: no error";
    } catch (const com::Error& err) {
        EXPECT_EQ(err.number(), db::errnum::kTooFewParameters);
        EXPECT_EQ(err.source(), "DataEngine Object");
    }
}

TEST(InitLearnStru, FieldNameQuoting) {
    struct QuoteCase {
        const char* name;
        const char* expected;
    };
    const QuoteCase cases[] = {
        {"Name", "Name"},  // names a thing elsewhere, but is no keyword of a query
        {"Age2", "Age2"},
        {"Unit_Price", "Unit_Price"},
        {"[Given]", "[Given]"},
        {"Unit Price", "[Unit Price]"},
        {"2ndValue", "[2ndValue]"},
        {"A-B", "[A-B]"},
        {"A+B", "[A+B]"},
        {"_x", "[_x]"},
        {"Price/Unit", "[Price/Unit]"},
        {"a.b", "[a.b]"},
        {"#", "[#]"},
        {"Caf\xc3\xa9", "[Caf\xc3\xa9]"},
        {"Date", "Date"},
        {"select", "[select]"},
        {"Level", "Level"},
        {"From", "[From]"},
        {"yes", "[yes]"},
        {"Count", "[Count]"},
        {"Counter2", "Counter2"},
    };
    for (const auto& c : cases) EXPECT_EQ(db::SqlName(c.name), c.expected) << c.name;

    // In the set-up, on a file database and on an ODBC source alike; the class query uses the
    // quoted names.
    std::vector<Row> data;
    for (int r = 0; r < 12; ++r) data.push_back({r % 2 ? "Y" : "N", "u" + std::to_string(r % 3), "d", "v", false});
    const MemoryTable t("T", {"Unit Price", "Age2", "Date", "Price/Unit", "ZORV_HoldOut"}, data);
    for (const char* connect : {"", "ODBC;DSN=Sales"}) {
        Engine eng(t, 10, connect);
        Args a({"Unit Price", "Age2", "Date", "Price/Unit"});  // Date stays bare
        eng.Run(a);
        vb::Array<std::string> names;
        eng.e.GetFldNM(names);
        EXPECT_EQ(names(1), "[Unit Price]") << connect;
        EXPECT_EQ(names(2), "Age2") << connect;
        EXPECT_EQ(names(3), "Date") << connect;
        EXPECT_EQ(names(4), "[Price/Unit]") << connect;
        EXPECT_EQ(eng.rdb->Texts().front(), "select distinct [Unit Price] from [T]") << connect;
        EXPECT_EQ(eng.e.FF(2), 3) << connect;
    }
}

TEST(InitLearnStru, RootsAndLeaves) {
    struct Case {
        const char* what;
        bool bord;
        int root, leaf;                    // 0: none
        std::vector<std::pair<int, int>> po;   // po(a, b) = 1: a before b
        std::vector<std::pair<int, int>> forbidden;  // cells of FL set (both cells listed)
        std::vector<std::pair<int, int>> reach;      // cells of Reach set
    };
    const Case cases[] = {
        {"ordered root 3", true, 3, 0, {}, {{3, 1}, {1, 3}, {3, 2}, {2, 3}}, {}},
        {"ordered leaf 3", true, 0, 3, {}, {{3, 4}, {4, 3}, {3, 5}, {5, 3}}, {}},
        {"unordered root 2", false, 2, 0, {{4, 2}}, {{2, 4}, {4, 2}}, {{2, 1}, {2, 2}, {2, 3}, {2, 5}}},
        {"unordered leaf 2", false, 0, 2, {{2, 5}}, {{2, 5}, {5, 2}}, {{1, 2}, {2, 2}, {3, 2}, {4, 2}}},
        {"unordered root 1, po ignored elsewhere", false, 1, 0, {{3, 4}}, {}, {{1, 1}, {1, 2}, {1, 3}, {1, 4}, {1, 5}}},
    };
    std::vector<Row> data;
    for (int r = 0; r < 20; ++r)
        data.push_back({r % 2 ? "Y" : "N", "p" + std::to_string(r % 2), "q", "r", "s", false});
    const MemoryTable t("T", {"C", "F2", "F3", "F4", "F5", "ZORV_HoldOut"}, data);
    for (const Case& c : cases) {
        Engine eng(t);
        Args a({"C", "F2", "F3", "F4", "F5"});
        a.bord = c.bord;
        if (c.root) a.rt(c.root) = 1;
        if (c.leaf) a.lf(c.leaf) = 1;
        for (auto [x, y] : c.po) a.po(x, y) = 1;
        a.fl(1, 5) = 7;  // forbidden links are copied as 1, that cell only
        eng.Run(a);
        for (Integer i = 1; i <= 5; ++i) {
            for (Integer j = 1; j <= 5; ++j) {
                const bool forbidden = std::count(c.forbidden.begin(), c.forbidden.end(), std::make_pair(int(i), int(j))) ||
                                       (i == 1 && j == 5);
                EXPECT_EQ(eng.e.FL(i, j), forbidden ? 1 : 0) << c.what << " FL " << i << "," << j;
                const bool reach = std::count(c.reach.begin(), c.reach.end(), std::make_pair(int(i), int(j)));
                EXPECT_EQ(eng.e.Reach(i, j), reach ? 1 : 0) << c.what << " Reach " << i << "," << j;
            }
        }
        EXPECT_EQ(eng.e.ReachInit, eng.e.Reach) << c.what;
        for (auto* m : {&eng.e.CE}) EXPECT_TRUE(std::all_of(m->cells().begin(), m->cells().end(), [](Integer x) { return x == 0; }));
    }
}

TEST(InitLearnStru, HoldOutSettingAndItsQueries) {
    for (Integer mode = 1; mode <= 3; ++mode) {
        for (bool fixed : {true, false}) {
            for (Integer fsm = 1; fsm <= 3; ++fsm) {
                const bool want = (mode == 2 && fsm != 2) || mode == 3 || !fixed;
                Engine eng(Small());
                Args a(kFields);
                a.BMMode = mode;
                a.FixedThr = fixed;
                a.FSM = fsm;
                eng.Run(a);
                const std::string where = want ? " WHERE zorv_holdout=no " : "";
                EXPECT_EQ(eng.e.LearnRowsOnly, want) << mode << fixed << fsm;
                const auto texts = eng.rdb->Texts();
                ASSERT_GE(texts.size(), 3u);
                EXPECT_EQ(texts[0], "select distinct C from [T]");
                EXPECT_EQ(texts[1], "select  Count(*) from [T]" + where);
                EXPECT_EQ(texts[2], "select  Count(*) , C from [T]" + where + " group by C");
                // Labels come from all rows whatever the setting.
                EXPECT_EQ(texts[3], "select distinct F2 from [T]");
                // 30 rows, 10 of them hold-out rows (r % 3 == 0); class Y on odd rows.
                EXPECT_EQ(eng.e.NetTotal(0), want ? 20 : 30);
                EXPECT_EQ(eng.e.NetTotal(1) + eng.e.NetTotal(2), eng.e.NetTotal(0));
            }
        }
    }
}

TEST(InitLearnStru, ClassValueOnlyInHoldOutRowsAndFieldsOverTheLimit) {
    std::vector<Row> rows = Small().rows();
    rows.push_back({"Z", "a0", "b0", "c0", true});
    // F4 gets a value for each row: more than the limit of 10.
    for (size_t r = 0; r < rows.size(); ++r) rows[r][3] = db::Value("w" + std::to_string(r));
    const MemoryTable t("T", Small().columns(), rows);
    for (bool learnRowsOnly : {true, false}) {
        Engine eng(t);
        Args a(kFields);
        a.FixedThr = !learnRowsOnly;
        eng.Run(a);
        ASSERT_EQ(eng.e.nc, 3);
        EXPECT_EQ(eng.e.VluLbl(1, 3), "Z");
        EXPECT_EQ(eng.e.VluCnt(0, 1, 3), learnRowsOnly ? 0 : 1);
        EXPECT_EQ(eng.e.NetTotal(3), learnRowsOnly ? 0 : 1);
        EXPECT_EQ(eng.e.FF(4), 11);
        for (Integer v = 0; v <= 10; ++v) EXPECT_EQ(eng.e.VluLbl(4, v), "");
        EXPECT_EQ(eng.e.FF(3), 4);
    }
}

TEST(InitLearnStru, SizesMarksAndChiSquareTable) {
    Engine eng(Small(), 6);
    Args a(kFields);
    eng.Run(a);
    const Integer nc = 2, n = 4;
    EXPECT_EQ(eng.e.Graph.UBound(1), nc);
    EXPECT_EQ(eng.e.MICache.UBound(1), nc);
    EXPECT_EQ(eng.e.VluLbl.UBound(2), 6);
    EXPECT_EQ(eng.e.ChiSq.UBound(), 36);
    EXPECT_EQ(eng.e.StrStatus(), "Init learning");
    // Every pair of layer 0 is to be computed; per-class layers leave out the class field.
    for (Integer k = 0; k <= nc; ++k)
        for (Integer i = 1; i <= n; ++i)
            for (Integer j = 1; j <= n; ++j) {
                const bool marked = i != j && (k == 0 || (i >= 2 && j >= 2));
                EXPECT_EQ(eng.e.MICache(k, i, j), marked ? -100.0f : 0.0f) << k << i << j;
            }
    for (Integer i = 1; i <= n; ++i)
        for (Integer j = Integer(i + 1); j <= n; ++j) EXPECT_EQ(eng.e.SetCache.Count(0, i, j), 0);

    Engine small(Small(), 5);  // 25 < 30: the table still reaches df 30
    Args b(kFields);
    small.Run(b);
    EXPECT_EQ(small.e.ChiSq.UBound(), 30);
    EXPECT_EQ(small.e.ChiSq(30), 43.77f);
}

TEST(InitLearnStru, ProgressAndCancel) {
    Engine eng(Small());
    Args a(kFields);
    eng.Run(a);
    ASSERT_EQ(eng.sink.seen.size(), 4u);
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_NEAR(eng.sink.seen[i].second, 25.0 * double(i + 1), 1e-4);
        EXPECT_EQ(eng.sink.seen[i].first, Single(double(eng.sink.seen[i].second) * 0.01));
    }
    EXPECT_EQ(eng.e.Percent1, 1.0f);

    // Cancelled while the labels load: no error, the chi-square table sized but unfilled, and
    // the host never saw more than 1 % overall.
    Engine stop(Small());
    stop.sink.cancelAt = 2;
    Args b(kFields);
    EXPECT_NO_THROW(stop.Run(b));
    EXPECT_EQ(stop.sink.seen.size(), 2u);
    ASSERT_TRUE(stop.e.ChiSq.allocated());
    EXPECT_EQ(stop.e.ChiSq.UBound(), 100);
    EXPECT_EQ(stop.e.ChiSq(1), 0.0f);
    for (const auto& [p1, p2] : stop.sink.seen) EXPECT_LE(p1, 1.0f);
    EXPECT_EQ(stop.e.FF(3), 0);  // fields after the cancel are not loaded
}

// The set-up over a table drawn from a known network, checked against counts made here, on the
// in-memory table and on a SQLite file through the database layer.
TEST(InitLearnStru, GeneratedTable) {
    testsupport::Network net = testsupport::RandomNetwork({6, 2, 4, 2, 0.5, 0.6}, 11);
    testsupport::TableOptions opt;
    opt.classNode = 2;
    opt.nullRate = 0.03;
    opt.weightField = "Freq";
    const testsupport::SampledTable table = testsupport::SampleTable(net, 3000, opt);
    const MemoryTable t(table.table, table.columns, table.cells);
    const std::string dir = testsupport::ProcessTempDir();
    std::shared_ptr<db::Database> file = testsupport::WriteSqliteTable(dir + "/init_learn_stru_sample.db", table);

    for (bool onFile : {false, true}) {
        for (bool learnRowsOnly : {false, true}) {
            Engine eng(t, 10, "", "Freq");
            if (onFile) {
                // Same engine, bound to the file instead.
                std::shared_ptr<db::Database> dbp = file;
                std::string name = table.table, weight = "Freq";
                eng.e.InitLearn(dbp, name, weight);
            }
            std::vector<std::string> fields(table.columns.begin(), table.columns.begin() + net.size());
            Args a(fields);
            a.FixedThr = !learnRowsOnly;
            eng.Run(a);
            const std::string where = std::string(onFile ? "file" : "memory") + (learnRowsOnly ? ", learning rows" : ", all rows");

            // Independent count: labels in the layer's order (Null first, as "?"), totals by
            // weight.
            for (int c = 0; c < net.size(); ++c) {
                std::vector<db::Value> values;
                for (const auto& row : table.cells) {
                    const db::Value& v = row[size_t(c)];
                    if (std::none_of(values.begin(), values.end(), [&](const db::Value& x) { return MemoryTable::Compare(x, v) == 0; }))
                        values.push_back(v);
                }
                std::sort(values.begin(), values.end(),
                          [](const db::Value& x, const db::Value& y) { return MemoryTable::Compare(x, y) < 0; });
                ASSERT_EQ(eng.e.FF(Integer(c + 1)), Integer(values.size())) << table.columns[size_t(c)] << " " << where;
                for (size_t v = 0; v < values.size(); ++v)
                    EXPECT_EQ(eng.e.VluLbl(Integer(c + 1), Integer(v + 1)), values[v].IsNull() ? "?" : db::LabelText(values[v]))
                        << where;
            }
            Long total = 0;
            std::map<std::string, Long> perClass;
            for (size_t r = 0; r < table.cells.size(); ++r) {
                if (learnRowsOnly && table.IsHoldOut(r)) continue;
                total += table.Weight(r);
                perClass[table.cells[r][0].AsText()] += table.Weight(r);
            }
            EXPECT_EQ(eng.e.NetTotal(0), total) << where;
            for (Integer k = 1; k <= eng.e.nc; ++k) {
                EXPECT_EQ(eng.e.NetTotal(k), perClass[eng.e.VluLbl(1, k)]) << where;
                EXPECT_EQ(eng.e.VluCnt(0, 1, k), perClass[eng.e.VluLbl(1, k)]) << where;
            }
        }
    }
}

}  // namespace
