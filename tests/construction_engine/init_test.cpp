// DataSet.Init: the error table and the trapping rule, the exact SQL texts, the quoting of
// names, value labels, progress and cancel, and the intake of the domain knowledge (with the
// closure of the ordering, required links in Reach and forbidden links both ways).
#include <gtest/gtest.h>

#include "construction_engine/data_set.h"
#include "construction_engine/errors.h"
#include "tests/construction_engine/init_fixture.h"

namespace {

using namespace vrelltest;
using vrellapi::DataSet;

ScriptedTable ThreeFields() {
    ScriptedTable t;
    for (const char* f : {"A", "B", "C"}) t.values[f] = TextValues(2);
    return t;
}

// Runs Init and returns the error it raised (number 0 when none).
com::Error InitError(DataSet& d, InitArgs& a, std::shared_ptr<db::Database> dbase) {
    try {
        a.Run(d, std::move(dbase));
    } catch (const com::Error& e) {
        return e;
    }
    return com::Error(0, "", "");
}

TEST(InitErrors, TableOfRefusals) {
    struct Case {
        const char* what;
        std::function<void(InitArgs&, ScriptedTable&)> setUp;
        int32_t n;
        std::string text;
    };
    const Case cases[] = {
        {"one field", [](InitArgs& a, ScriptedTable&) { a = InitArgs({"A"}); }, 513, "Too few fields"},
        {"empty name", [](InitArgs& a, ScriptedTable&) { a.names(1) = ""; }, 514, "Invalid field name"},
        {"po too small", [](InitArgs& a, ScriptedTable&) { a.po.ReDim(vb::To(1), vb::To(2)); }, 516,
         "wrong dimension of arrary partial ordering"},
        {"po from 1", [](InitArgs& a, ScriptedTable&) { a.po.ReDim(vb::Range(1, 2), vb::To(2)); }, 516,
         "wrong dimension of arrary partial ordering"},
        {"po one-dimensional", [](InitArgs& a, ScriptedTable&) { a.po.ReDim(vb::To(2)); }, 516,
         "wrong dimension of arrary partial ordering"},
        {"ce too small", [](InitArgs& a, ScriptedTable&) { a.ce.ReDim(vb::To(2), vb::To(1)); }, 517,
         "wrong dimension of arrary causes and effects"},
        {"empty table", [](InitArgs&, ScriptedTable& t) { t.total = int32_t(0); }, 519,
         vrellapi::kEmptyTable.description},
        {"weights all Null", [](InitArgs& a, ScriptedTable& t) { a.cntfld = "W"; t.total = db::Value(); },
         519, vrellapi::kEmptyTable.description},
        {"required link to a field over the limit",
         [](InitArgs& a, ScriptedTable& t) { a.ce(0, 2) = 1; t.values["C"] = TextValues(70); }, 520,
         "The field C has more than 65 values and cannot take part in a cause-and-effect link; "
         "remove the link or group the field's values"},
        {"loop through ordering and required link",
         [](InitArgs& a, ScriptedTable&) { a.po(0, 1) = 1; a.po(1, 2) = 1; a.ce(2, 0) = 1; }, 521,
         "The partial ordering and the causes and effects form a loop through the field A; remove "
         "one of its pairs"},
    };
    for (const Case& c : cases) {
        InitArgs a({"A", "B", "C"});
        ScriptedTable t = ThreeFields();
        c.setUp(a, t);
        DataSet d;
        const com::Error e = InitError(d, a, t.Database());
        EXPECT_EQ(e.number(), com::objectError(c.n)) << c.what;
        EXPECT_EQ(e.source(), "DataSet Object") << c.what;
        EXPECT_EQ(e.description(), c.text) << c.what;
        EXPECT_FALSE(d.InitDone) << c.what;
    }
    EXPECT_EQ(com::objectError(513), -2147220991);
}

TEST(InitErrors, TooFewFieldsSendsNoQueryAndTwoFieldsAreEnough) {
    InitArgs one({"A"});
    auto rdb = ThreeFields().Database();
    DataSet d1;
    EXPECT_EQ(InitError(d1, one, rdb).number(), com::objectError(513));
    EXPECT_EQ(rdb->QueryCount(), 0);

    InitArgs two({"A", "B"});
    DataSet d2;
    two.Run(d2, rdb);
    EXPECT_TRUE(d2.InitDone);
}

TEST(InitErrors, OtherFailuresKeepTheirNumberAndTakeTheSource) {
    // A database error: the field is unknown to the table.
    {
        InitArgs a({"A", "Nope"});
        ScriptedTable t = ThreeFields();
        auto rdb = t.Database();
        rdb->Fail("select distinct Nope from [T]", db::Error(3061, "Too few parameters. Expected 1."));
        DataSet d;
        const com::Error e = InitError(d, a, rdb);
        EXPECT_EQ(e.number(), 3061);
        EXPECT_EQ(e.description(), "Too few parameters. Expected 1.");
        EXPECT_EQ(e.source(), "DataSet Object");
    }
    // A forbidden-link array smaller than the field list: the runtime's subscript error.
    {
        InitArgs a({"A", "B", "C"});
        a.fl.ReDim(vb::To(1), vb::To(1));
        DataSet d;
        const com::Error e = InitError(d, a, ThreeFields().Database());
        EXPECT_EQ(e.number(), 9);
        EXPECT_EQ(e.description(), "Subscript out of range");
        EXPECT_EQ(e.source(), "DataSet Object");
    }
}

TEST(InitQueries, ExactTexts) {
    struct Case {
        const char* cntfld;
        const char* cntfldAfter;
        std::vector<std::string> texts;
        std::vector<int32_t> rowsAsked;
    };
    const Case cases[] = {
        {"", "",
         {"select  Count(*) from [T]", "select distinct Age from [T]",
          "select distinct [Unit Price] from [T]", "select distinct [2nd] from [T]"},
         {1, 66, 66, 66}},
        // With a frequency field the row count bounds the count queries' groups.
        {"Qty", "[Qty]",
         {"select  Sum([Qty]) from [T]", "select count(*) from [T]", "select distinct Age from [T]",
          "select distinct [Unit Price] from [T]", "select distinct [2nd] from [T]"},
         {1, 1, 66, 66, 66}},
    };
    for (const Case& c : cases) {
        InitArgs a({"Age", "Unit Price", "2nd"});
        a.cntfld = c.cntfld;
        ScriptedTable t;
        for (const char* f : {"Age", "[Unit Price]", "[2nd]"}) t.values[f] = TextValues(3);
        auto rdb = t.Database();
        DataSet d;
        a.Run(d, rdb);
        EXPECT_EQ(a.cntfld, c.cntfldAfter);
        EXPECT_EQ(rdb->Texts(), c.texts) << c.cntfld;
        ASSERT_EQ(rdb->Queries().size(), c.rowsAsked.size());
        for (size_t q = 0; q < c.rowsAsked.size(); ++q) {
            const testsupport::SentQuery& sent = rdb->Queries()[q];
            EXPECT_EQ(sent.type, db::dbOpenForwardOnly) << sent.sql;
            EXPECT_EQ(sent.getRows, std::vector<int32_t>{c.rowsAsked[q]}) << sent.sql;
            EXPECT_TRUE(sent.closed) << sent.sql;
        }
        EXPECT_EQ(d.TotalRows(), 100);
        EXPECT_EQ(d.TableRows, 100);
        EXPECT_EQ(rdb->OpenRecordsets(), 0);
    }
}

TEST(InitQueries, QuotingOfNamesAndTable) {
    struct QuoteCase {
        const char* name;
        const char* expected;
    };
    const QuoteCase cases[] = {
        {"Name1", "Name1"},      {"Age2", "Age2"},           {"Unit Price", "[Unit Price]"},
        {"A-B", "[A-B]"},        {"A+B", "[A+B]"},            {"2ndValue", "[2ndValue]"},
        {"_x", "[_x]"},          {"[Given]", "[Given]"},      {"Price/Unit", "[Price/Unit]"},
        {"A.B", "[A.B]"},        {"Date", "Date"},            {"count", "[count]"},
        {"Straße", "[Straße]"},  {"a_b", "a_b"},
    };
    for (const char* connect : {"", "ODBC;DSN=sales"}) {
        std::vector<std::string> names;
        for (const QuoteCase& c : cases) names.push_back(c.name);
        InitArgs a(names);
        a.table = "Sales Data";
        ScriptedTable t;
        t.table = "[Sales Data]";
        for (const QuoteCase& c : cases) t.values[c.expected] = TextValues(2);
        DataSet d;
        a.Run(d, t.Database(connect));
        EXPECT_EQ(d.IsODBC, std::string(connect).size() > 0);
        EXPECT_EQ(d.TableName, "[Sales Data]");
        for (size_t i = 0; i < std::size(cases); ++i)
            EXPECT_EQ(d.FieldNames(Integer(i + 1)), cases[i].expected) << cases[i].name << " " << connect;
        EXPECT_EQ(a.names(2), "Unit Price") << "the caller's names are left alone";
    }
}

TEST(InitLabels, NullUpperCaseNumbersAndTheLimit) {
    InitArgs a({"A", "B", "C", "D"});
    ScriptedTable t;
    t.values["A"] = {db::Value(), db::Value("abc"), db::Value("Mixed Case"), db::Value("?")};
    t.values["B"] = {db::Value(int32_t(5)), db::Value(2.5), db::Value(true)};
    t.values["C"] = TextValues(65);
    t.values["D"] = TextValues(66);
    DataSet d;
    a.Run(d, t.Database());
    EXPECT_EQ(d.NumStates(1), 4);
    EXPECT_EQ(d.StateLbl(1, 1), "?");
    EXPECT_EQ(d.StateLbl(1, 2), "ABC");
    EXPECT_EQ(d.StateLbl(1, 3), "MIXED CASE");
    EXPECT_EQ(d.StateLbl(1, 4), "?");
    EXPECT_EQ(d.NumStates(2), 3);
    EXPECT_EQ(d.StateLbl(2, 1), "5");
    EXPECT_EQ(d.StateLbl(2, 2), "2.5");
    EXPECT_EQ(d.StateLbl(2, 3), "TRUE");
    EXPECT_EQ(d.NumStates(3), 65);
    EXPECT_EQ(d.StateLbl(3, 65), "V65");
    EXPECT_EQ(d.NumStates(4), 66);
    for (Integer s = 0; s <= 65; ++s) EXPECT_EQ(d.StateLbl(4, s), "") << s;
    // Every pair waits for its mutual information.
    EXPECT_EQ(d.MICache(0, 1, 4), -1);
    EXPECT_EQ(d.MICache(0, 4, 1), -1);
    EXPECT_EQ(d.MICache(0, 2, 2), 0);
}

TEST(InitProgress, OnePercentPerFieldAndCancel) {
    {
        InitArgs a({"A", "B", "C", "D"});
        ScriptedTable t;
        for (const char* f : {"A", "B", "C", "D"}) t.values[f] = TextValues(2);
        RecordingSink sink;
        DataSet d;
        d.SetEventSink(&sink);
        a.Run(d, t.Database());
        EXPECT_EQ(sink.seen, (std::vector<Single>{25, 50, 75, 100}));
        EXPECT_TRUE(d.InitDone);
    }
    {
        InitArgs a({"A", "B", "C", "D"});
        ScriptedTable t;
        for (const char* f : {"A", "B", "C", "D"}) t.values[f] = TextValues(2);
        auto rdb = t.Database();
        RecordingSink sink;
        sink.cancelWhen = [](int call, Single) { return call == 1; };
        DataSet d;
        d.SetEventSink(&sink);
        a.Run(d, rdb);
        EXPECT_EQ(sink.seen, std::vector<Single>{25});
        EXPECT_TRUE(d.Cancel);
        EXPECT_FALSE(d.InitDone);
        EXPECT_EQ(d.NumStates(1), 2);
        for (Integer f = 2; f <= 4; ++f) EXPECT_EQ(d.NumStates(f), 0) << f;
        EXPECT_EQ(rdb->QueryCount(), 2) << "the total and field 1's values only";

        // The next Init on the object runs in full.
        sink.cancelWhen = nullptr;
        a.Run(d, rdb);
        EXPECT_TRUE(d.InitDone);
        EXPECT_FALSE(d.Cancel);
        for (Integer f = 1; f <= 4; ++f) EXPECT_EQ(d.NumStates(f), 2) << f;
    }
}

// The knowledge matrices over fields 1..n after Init; Reach cells listed as (a, b) pairs.
struct Knowledge {
    std::vector<std::pair<int, int>> reach, forbidden, linked;
};

Knowledge Read(const DataSet& d) {
    Knowledge k;
    for (Integer a = 1; a <= d.numfld; ++a)
        for (Integer b = 1; b <= d.numfld; ++b) {
            if (d.Reach(a, b)) k.reach.emplace_back(a, b);
            if (d.FL(a, b)) k.forbidden.emplace_back(a, b);
            if (d.Adj(a, b)) k.linked.emplace_back(a, b);
        }
    return k;
}

TEST(InitKnowledge, Intake) {
    using P = std::vector<std::pair<int, int>>;
    struct Case {
        const char* what;
        bool bord;
        std::function<void(InitArgs&)> give;
        P reach, forbidden, linked;
    };
    const Case cases[] = {
        {"a required link is present from the start and directed", false,
         [](InitArgs& a) { a.ce(0, 1) = 1; }, {{1, 2}}, {}, {{1, 2}, {2, 1}}},
        {"complete ordering: a root links to no earlier field; Reach untouched", true,
         [](InitArgs& a) { a.rt(2) = 1; a.po(0, 1) = 1; }, {{1, 2}}, {{1, 3}, {2, 3}, {3, 1}, {3, 2}}, {}},
        {"complete ordering: a leaf links to no later field", true, [](InitArgs& a) { a.lf(2) = 1; },
         {}, {{3, 4}, {3, 5}, {4, 3}, {5, 3}}, {}},
        {"a root is cut off from the fields before it and reaches all others (the fields before\n"
         "it reach them too)", false,
         [](InitArgs& a) { a.rt(2) = 1; a.po(0, 2) = 1; },
         {{1, 2}, {1, 3}, {1, 4}, {1, 5}, {3, 2}, {3, 3}, {3, 4}, {3, 5}}, {{1, 3}, {3, 1}}, {}},
        {"a leaf is cut off from the fields after it and reached by all others", false,
         [](InitArgs& a) { a.lf(0) = 1; a.po(0, 1) = 1; },
         {{1, 1}, {1, 2}, {3, 1}, {3, 2}, {4, 1}, {4, 2}, {5, 1}, {5, 2}}, {{1, 2}, {2, 1}}, {}},
        {"the ordering is closed", false, [](InitArgs& a) { a.po(0, 1) = 1; a.po(1, 2) = 1; },
         {{1, 2}, {1, 3}, {2, 3}}, {}, {}},
        {"required links join the closure", false, [](InitArgs& a) { a.ce(2, 0) = 1; a.po(0, 1) = 1; },
         {{1, 2}, {3, 1}, {3, 2}}, {}, {{1, 3}, {3, 1}}},
        {"a forbidden link given in the lower triangle only", false, [](InitArgs& a) { a.fl(2, 0) = 1; },
         {}, {{1, 3}, {3, 1}}, {}},
        {"a closed ordering and symmetric forbidden links are taken as they are", false,
         [](InitArgs& a) {
             a.po(0, 1) = a.po(0, 2) = a.po(1, 2) = 1;
             a.fl(3, 4) = a.fl(4, 3) = 1;
         },
         {{1, 2}, {1, 3}, {2, 3}}, {{4, 5}, {5, 4}}, {}},
        {"diagonal cells mean nothing", false, [](InitArgs& a) { a.po(1, 1) = 1; a.ce(3, 3) = 1; }, {}, {}, {}},
    };
    for (const Case& c : cases) {
        InitArgs a({"A", "B", "C", "D", "E"});
        a.bord = c.bord;
        c.give(a);
        ScriptedTable t;
        for (const char* f : {"A", "B", "C", "D", "E"}) t.values[f] = TextValues(2);
        DataSet d;
        a.Run(d, t.Database());
        const Knowledge k = Read(d);
        EXPECT_EQ(k.reach, c.reach) << c.what;
        EXPECT_EQ(k.forbidden, c.forbidden) << c.what;
        EXPECT_EQ(k.linked, c.linked) << c.what;
    }
}

TEST(InitKnowledge, RootAfterRootKeepsReachAcyclic) {
    // A before B; B and C are roots. Marked one after the other without keeping Reach closed,
    // C would come to reach A while A reaches C through B.
    InitArgs a({"A", "B", "C"});
    a.po(0, 1) = 1;
    a.rt(1) = a.rt(2) = 1;
    ScriptedTable t = ThreeFields();
    DataSet d;
    a.Run(d, t.Database());
    for (Integer i = 1; i <= 3; ++i)
        for (Integer j = 1; j <= 3; ++j) {
            if (i != j) {
                EXPECT_FALSE(d.Reach(i, j) && d.Reach(j, i)) << i << "," << j;
            }
        }
    EXPECT_TRUE(d.Reach(1, 3));
    EXPECT_TRUE(d.FL(1, 3));
}

TEST(InitState, SecondInitStartsClean) {
    InitArgs a({"A", "B", "C"});
    a.ce(0, 1) = 1;
    DataSet d;
    a.Run(d, ThreeFields().Database());
    InitArgs b({"A", "B", "C"});
    b.fl(1, 2) = 1;
    b.Run(d, ThreeFields().Database());
    EXPECT_EQ(d.Adj(1, 2), 0);
    EXPECT_EQ(d.CE(1, 2), 0);
    EXPECT_EQ(d.FL(2, 3), 1);
    EXPECT_NEAR(d.Percent, 200, 1e-3) << "Init goes on from the percentage where it stood";
}

}  // namespace
