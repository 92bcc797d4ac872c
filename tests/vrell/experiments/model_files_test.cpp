// Reading the true-model file and the outside tool's result file by their columns.
#include "vrell/experiments/model_files.h"

#include <gtest/gtest.h>

#include "platform/vb/runtime_error.h"
#include "tests/vrell/experiments/experiment_texts.h"

namespace {

using vrell::Integer;
using vrelltest::TenNames;
using vrelltest::TetradLine;
using vrelltest::TrueModelText;

vrell::TrueModel Read(const std::string& text) {
    vb::TextReader file = vb::TextReader::FromText(text);
    return vrell::ReadTrueModel(file);
}

TEST(TrueModelFile, ParentsCountOnlyWhenNamedBeforeTheirChild) {
    // A1 names A0 twice, a later field (A5) and a name that is no field; A2 names A1 and A0.
    const vrell::TrueModel m = Read(TrueModelText(TenNames(), {{}, {"A0", "A5", "QQ", "A0"}, {"A1", "A0"}}));
    EXPECT_EQ(m.edges, 3);
    for (Integer i = 0; i < 10; ++i) EXPECT_EQ(m.names(i), "A" + std::to_string(i));
    EXPECT_EQ(m.names(10), "");
    EXPECT_EQ(m.parent(0, 1), 1);
    EXPECT_EQ(m.parent(0, 2), 1);
    EXPECT_EQ(m.parent(1, 2), 1);
    EXPECT_EQ(m.parent(5, 1), 0);
    EXPECT_EQ(m.parent(1, 5), 0);
}

TEST(TrueModelFile, ShortNamesKeepTheCharactersTheLineHas) {
    // Field 0 is named "B" by a one-character line; field 1's line ends one column into its
    // parent's name, which is then "B" too; field 2's line is empty.
    std::string text = "-----\r\nB\r\n-----\r\nC" + std::string(12, ' ') + "B\r\n-----\r\n\r\n";
    for (int i = 3; i < 10; ++i) text += "-----\r\nF" + std::to_string(i) + "\r\n";
    const vrell::TrueModel m = Read(text);
    EXPECT_EQ(m.names(0), "B");
    EXPECT_EQ(m.names(1), "C ");
    EXPECT_EQ(m.names(2), "");
    EXPECT_EQ(m.edges, 1);
    EXPECT_EQ(m.parent(0, 1), 1);
}

TEST(TrueModelFile, FileEndingBeforeTheTenthFieldIsInputPastEnd) {
    std::vector<std::string> nine = TenNames();
    nine.pop_back();
    for (const std::string& text : {TrueModelText(nine, {}), TrueModelText(nine, {}) + "-----\r\n"}) {
        try {
            Read(text);
            ADD_FAILURE() << "a short file was read";
        } catch (const vb::RuntimeError& e) {
            EXPECT_EQ(e.number(), 62);
        }
    }
}

vb::Array<Integer> Cells() { return vb::Array<Integer>(vb::To(10), vb::To(10)); }

void ReadResult(const std::string& text, vb::Array<Integer>& rst) {
    vb::Array<std::string> names(vb::To(10));
    for (Integer i = 0; i < 10; ++i) names(i) = TenNames()[size_t(i)];
    vb::TextReader file = vb::TextReader::FromText(text);
    vrell::ReadTetradResult(file, names, rst);
}

TEST(TetradResultFile, MarksSetTheCodeOfTheirDirectionWhicheverFieldComesFirst) {
    struct Case {
        std::string line;
        Integer a, b, code;  // the cell set
        Integer a2, b2, code2;  // a second cell set, or -1
    };
    const Case cases[] = {
        {TetradLine("A0", '>', "A1"), 0, 1, 1, -1, -1, 0},  // A0 -> A1
        {TetradLine("A2", '>', "A1"), 1, 2, 2, -1, -1, 0},  // A2 -> A1
        {TetradLine("A2", '<', "A3"), 2, 3, 2, -1, -1, 0},  // A3 -> A2
        {TetradLine("A4", '<', "A3"), 3, 4, 1, -1, -1, 0},  // A3 -> A4
        {TetradLine("A4", '-', "A5"), 4, 5, 3, 5, 4, 3},
        {TetradLine("A6", '-', "A5"), 6, 5, 3, 5, 6, 3},
        {TetradLine("ZZ", '>', "A1"), 1, 10, 2, -1, -1, 0},  // unknown names are index 10
        {TetradLine("A1", '<', "Q"), 1, 10, 2, -1, -1, 0},
    };
    for (const Case& c : cases) {
        vb::Array<Integer> rst = Cells();
        ReadResult("Graph\r\n/Pattern\r\n" + c.line + "\r\n", rst);
        vb::Array<Integer> expected = Cells();
        expected(c.a, c.b) = c.code;
        if (c.a2 >= 0) expected(c.a2, c.b2) = c.code2;
        EXPECT_EQ(rst, expected) << c.line;
    }
}

TEST(TetradResultFile, ReadingStopsAtALineOfTenCharactersOrAtTheEnd) {
    vb::Array<Integer> rst = Cells();
    // Lines before the pattern mark are not edges; an unknown mark changes nothing.
    ReadResult(TetradLine("A0", '>', "A9") + "\r\n/Pattern from data\r\n" + TetradLine("A0", '>', "A1") + "\r\n" +
                   TetradLine("A0", '?', "A2") + "\r\n" + TetradLine("A0", '>', "A3").substr(0, 10) + "\r\n" +
                   TetradLine("A0", '>', "A4") + "\r\n",
               rst);
    vb::Array<Integer> expected = Cells();
    expected(0, 1) = 1;
    EXPECT_EQ(rst, expected);

    // A last line without a line end is read.
    rst = Cells();
    ReadResult("/Patt\r\n" + TetradLine("A7", '-', "A8"), rst);
    EXPECT_EQ(rst(7, 8), 3);
}

TEST(TetradResultFile, FileWithoutThePatternMarkIsInputPastEnd) {
    vb::Array<Integer> rst = Cells();
    try {
        ReadResult(TetradLine("A0", '>', "A1") + "\r\n", rst);
        ADD_FAILURE() << "a file without /Patt was read";
    } catch (const vb::RuntimeError& e) {
        EXPECT_EQ(e.number(), 62);
    }
}

}  // namespace
