// Count queries and value coding: the exact query text, the rows asked of GetRows (cap, the
// frequency-field bound, no overflow), reading a block whole, and CodeRows' matching rules.
#include <gtest/gtest.h>

#include <limits>

#include "core/learner.h"
#include "tests/support/recording_db.h"

namespace {

using core::Integer;
using core::Long;
using db::Value;

class TestLearner : public core::Learner {
public:
    TestLearner() : core::Learner(core::CoreSettings::Classifier(100)) {}
    bool Progress(core::Single) override { return false; }
};

// Fields 1..n named F1..Fn (F2 as "[Unit Price]"), every field with `values` values.
void Shape(TestLearner& l, Integer n, Integer values, Long layerTotal) {
    l.numfld = n;
    l.MaxVlus = 100;
    l.FieldNames.ReDim(vb::To(n));
    l.FF.ReDim(vb::To(n));
    for (Integer f = 1; f <= n; ++f) {
        l.FieldNames(f) = f == 2 ? "[Unit Price]" : "F" + std::to_string(f);
        l.FF(f) = values;
    }
    l.NetTotal.ReDim(vb::To(0));
    l.NetTotal(0) = layerTotal;
    l.NetIdx = 0;
    l.TableName = "[Sales]";
    l.CountExpr = " Count(*) ";
}

TEST(CountQueryText, SeparatorsAndOrder) {
    TestLearner l;
    Shape(l, 5, 2, 100);
    EXPECT_EQ(l.CountQueryText({}, 1, 2),
              "select  Count(*) , F1, [Unit Price] from [Sales] group by F1,[Unit Price]");
    l.CountExpr = " Sum([Qty]) ";
    l.WhereClause = " where zorv_holdout=no";
    EXPECT_EQ(l.CountQueryText({4, 5}, 1, 3),
              "select  Sum([Qty]) , F4,F5,F1, F3 from [Sales] where zorv_holdout=no group by F4,F5,F1,F3");
}

TEST(CountRows, ProductCappedAfterEachGroupingField) {
    struct Case {
        const char* name;
        Integer values;
        Long layerTotal;
        std::vector<Integer> g;
        Long expected;
    };
    const Case cases[] = {
        {"pair alone is never capped", 10, 5, {}, 100},
        {"under the cap", 3, 1000, {3, 4}, 81},
        {"capped at the layer total", 10, 500, {3, 4}, 500},
        // Capped after the first grouping field, then multiplied again: 60 x 10, capped.
        {"cap applies as the product grows", 10, 60, {3, 4}, 60},
        // 100^4 capped at 30 million, times 100 again: past the Long range before capping.
        {"no overflow with a large layer", 100, 30000000, {3, 4, 5}, 30000000},
        {"largest layer", 101, std::numeric_limits<Long>::max(), {3, 4, 5, 6}, std::numeric_limits<Long>::max()},
    };
    for (const Case& c : cases) {
        TestLearner l;
        Shape(l, 6, c.values, c.layerTotal);
        EXPECT_EQ(l.CountRows(c.g, 1, 2), c.expected) << c.name;
    }
}

TEST(CountRows, FrequencyFieldIsBoundedByTheTableRows) {
    TestLearner l;
    Shape(l, 3, 2, 0);
    // Four rows weighing 0.5 each: the layer total (a sum of weights) is 2, but there can be
    // four groups.
    l.CountExpr = " Sum([W]) ";
    l.NetTotal(0) = 2;
    l.TableRows = 4;
    EXPECT_EQ(l.CountRows({3}, 1, 2), 4);

    auto rdb = std::make_shared<testsupport::RecordingDatabase>();
    const std::string sql = l.CountQueryText({3}, 1, 2);
    rdb->Answer(sql, {{"n", "F3", "F1", "F2"},
                      {{0.5, "a", "x", "p"}, {0.5, "a", "y", "p"}, {0.5, "b", "x", "q"}, {0.5, "b", "y", "q"}}});
    l.Db = rdb;
    vb::Array<Value> block = l.CountBlock({3}, 1, 2);
    EXPECT_EQ(block.UBound(2), 3) << "every group is read";

    // Without a known row count nothing is cut off.
    l.TableRows = 0;
    EXPECT_EQ(l.CountRows({3}, 1, 2), 8);
}

TEST(CountBlock, OneForwardOnlyReadClosedAtOnce) {
    TestLearner l;
    Shape(l, 3, 2, 10);
    auto rdb = std::make_shared<testsupport::RecordingDatabase>();
    const std::string sql = "select  Count(*) , F3,F1, [Unit Price] from [Sales] group by F3,F1,[Unit Price]";
    rdb->Answer(sql, {{"n", "F3", "F1", "Unit Price"}, {{Long(4), "a", "x", Long(1)}, {Long(6), "b", "y", Long(2)}}});
    l.Db = rdb;
    vb::Array<Value> block = l.CountBlock({3}, 1, 2);
    ASSERT_EQ(rdb->QueryCount(), 1);
    const testsupport::SentQuery& q = rdb->Queries()[0];
    EXPECT_EQ(q.sql, sql);
    EXPECT_EQ(q.type, db::dbOpenForwardOnly);
    EXPECT_EQ(q.getRows, std::vector<int32_t>{8});
    EXPECT_TRUE(q.closed);
    EXPECT_EQ(block.UBound(1), 3);
    EXPECT_EQ(block.UBound(2), 1);
    EXPECT_EQ(block(0, 1), Value(Long(6)));
}

TEST(CountBlock, DatabaseErrorReachesTheCaller) {
    TestLearner l;
    Shape(l, 3, 2, 10);
    auto rdb = std::make_shared<testsupport::RecordingDatabase>();
    rdb->Fail(l.CountQueryText({}, 1, 3), db::Error(3061, "Too few parameters. Expected 1."));
    l.Db = rdb;
    try {
        l.CountBlock({}, 1, 3);
        FAIL() << "no error";
    } catch (const db::Error& e) {
        EXPECT_EQ(e.number(), 3061);
    }
    EXPECT_EQ(rdb->OpenRecordsets(), 0);
}

// CodeRows over one column of field 1 with the given labels.
std::vector<Value> Code(const std::vector<std::string>& labels, const std::vector<Value>& cells) {
    TestLearner l;
    const Integer n = Integer(labels.size());
    l.numfld = 1;
    l.FF.ReDim(vb::To(1));
    l.FF(1) = n;
    l.VluLbl.ReDim(vb::To(1), vb::To(std::max<Integer>(n, 1)));
    for (Integer v = 1; v <= n; ++v) l.VluLbl(1, v) = labels[size_t(v - 1)];
    vb::Array<Value> block(vb::To(1), vb::To(int32_t(cells.size()) - 1));
    for (size_t r = 0; r < cells.size(); ++r) block(0, int32_t(r)) = Long(1), block(1, int32_t(r)) = cells[r];
    vb::Array<Integer> fields(vb::To(20));
    fields(1) = 1;
    l.CodeRows(block, 1, fields);
    std::vector<Value> out;
    for (size_t r = 0; r < cells.size(); ++r) out.push_back(block(1, int32_t(r)));
    EXPECT_EQ(block(0, 0), Value(Long(1))) << "the count column is left alone";
    return out;
}

Value I(int v) { return Value(Integer(v)); }

TEST(CodeRows, MatchingRules) {
    struct Case {
        const char* name;
        std::vector<std::string> labels;
        std::vector<Value> cells;
        std::vector<Value> expected;
    };
    const Case cases[] = {
        {"case of the data ignored", {"LOW", "HIGH"}, {"low", "High", "HIGH", "lOw"}, {I(1), I(2), I(2), I(1)}},
        {"Null and the text ? both take the ? label", {"A", "?"}, {Value(), "?", "a"}, {I(2), I(2), I(1)}},
        {"Null is never compared as text", {"", "?"}, {Value(), ""}, {I(2), I(1)}},
        {"Null without a ? label stays", {"", "A"}, {Value()}, {Value()}},
        {"first of two equal labels wins", {"X", "Y", "X"}, {"x", "y"}, {I(1), I(2)}},
        // A cell coded to 1 must not then meet the label "1".
        {"coded cells are not compared again", {"2", "1"}, {"1", "2", Long(2)}, {I(2), I(1), I(1)}},
        {"numbers and Booleans by their label text", {"3", "2.5", "TRUE", "FALSE"},
         {Long(3), 2.5, true, false, Integer(3)}, {I(1), I(2), I(3), I(4), I(1)}},
        {"unmatched cells are left unchanged", {"A"}, {"b", Long(7), 2.25}, {"b", Long(7), 2.25}},
    };
    for (const Case& c : cases) EXPECT_EQ(Code(c.labels, c.cells), c.expected) << c.name;
}

TEST(CodeRows, EachColumnByItsOwnField) {
    TestLearner l;
    l.numfld = 3;
    l.FF.ReDim(vb::To(3));
    l.FF(2) = 2;
    l.FF(3) = 2;
    l.VluLbl.ReDim(vb::To(3), vb::To(100));
    l.VluLbl(2, 1) = "A", l.VluLbl(2, 2) = "B";
    l.VluLbl(3, 1) = "B", l.VluLbl(3, 2) = "A";
    vb::Array<Value> block(vb::To(2), vb::To(0));
    block(1, 0) = "b";
    block(2, 0) = "b";
    vb::Array<Integer> fields(vb::To(20));
    fields(1) = 3;
    fields(2) = 2;
    l.CodeRows(block, 2, fields);
    EXPECT_EQ(block(1, 0), I(1));
    EXPECT_EQ(block(2, 0), I(2));
}

}  // namespace
