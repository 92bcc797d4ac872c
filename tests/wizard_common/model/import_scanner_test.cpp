// The import scanner: the three line rules on the formats' own lines and their edge cases, the
// file's encoding and line ends, the parse fault, the checks before reading, and the replay of
// a scan on the knowledge model.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/temp_paths.h"
#include "wizard_common/model/import_scanner.h"

namespace {

using namespace wizard::knowledge;

// Steps as a short text: "c2" the effect row 2 becomes the child, "0>2" the pair (cause 0,
// effect 2) is offered.
std::string Steps(const std::vector<ImportStep>& steps) {
    std::string out;
    for (const ImportStep& s : steps) {
        if (!out.empty()) out += ' ';
        out += s.kind == ImportStep::Kind::ChildChosen ? "c" + std::to_string(s.effect)
                                                        : std::to_string(s.cause) + ">" + std::to_string(s.effect);
    }
    return out;
}

const std::vector<std::string> kFields = {"Age", "Sex", "Risk"};

struct ScanCase {
    const char* name;
    std::vector<std::string> lines;
    const char* steps;
};

const ScanCase kScanCases[] = {
    // The formats' own lines.
    {"Netica node and parents", {"node Risk {", "   parents = (Age, Sex);"}, "c2 0>2 1>2"},
    {"Hugin potential", {"potential (Risk | Age Sex)"}, "c2 0>2 1>2"},
    {"MSBN probability", {"probability(Risk | Age, Sex)"}, "c2 0>2 1>2"},
    {"MSBN probability of a root", {"probability(Age)"}, ""},
    {"BIF probability", {"probability ( Risk | Age, Sex ) {"}, "c2 0>2 1>2"},
    {"BIF quoted names", {"probability ( \"Risk\" | \"Age\" \"Sex\" ) {"}, "c2 0>2 1>2"},
    {"child before the parenthesis", {"potential Risk (Age Sex)"}, "c2 0>2 1>2"},
    // Names.
    {"names in any case", {"NODE risk {", "PARENTS = (age, SEX)"}, "c2 0>2 1>2"},
    {"unknown names skipped", {"potential (Risk | Age Weight Sex)", "potential (Weight | Age)"}, "c2 0>2 1>2"},
    {"quotes only in rule C", {"node \"Risk\" {", "parents = (Age)"}, ""},
    // Positions and resets.
    {"parents before any node header", {"parents = (Age, Sex);", "node Risk {"}, "c2"},
    {"indented node is no header", {"  node Risk {", "parents = (Age)"}, ""},
    {"indented declaration", {"   potential (Risk | Age)"}, "c2 0>2"},
    {"node header without a brace", {"node Risk", "parents = (Age)"}, ""},
    {"parents line ends the child", {"node Risk {", "parents = (Age);", "parents = (Sex);"}, "c2 0>2"},
    {"a header naming no field leaves no child",
     {"node Risk {", "node Weight {", "parents = (Age);"}, "c2"},
    {"child stays after a closing parenthesis", {"potential (Risk | Age)", "parents = (Sex)"}, "c2 0>2 1>2"},
    {"no closing parenthesis: last name dropped, child reset",
     {"potential (Risk | Age Sex", "parents = (Sex)"}, "c2 0>2"},
    {"a parenthesis before any name does not stop the scan", {"potential (Risk | ) Age)"}, "c2 0>2"},
    {"parents list without an opening parenthesis", {"node Risk {", "parents = Age, Sex)"}, "c2 1>2"},
    {"a bar before the parenthesis names no child", {"probability|Risk (Age)"}, ""},
    {"the same link twice is offered twice",
     {"potential (Risk | Age)", "potential (Risk | Age)"}, "c2 0>2 c2 0>2"},
    {"nothing recognisable", {"% comment", "net", "{", "}", ""}, ""},
};

TEST(ImportScanner, Rules) {
    for (const ScanCase& c : kScanCases) {
        const ImportScan scan = ScanImportLines(c.lines, kFields, kFields, "net.dne");
        EXPECT_EQ(Steps(scan.steps), c.steps) << c.name;
        EXPECT_FALSE(scan.fault) << c.name;
    }
}

TEST(ImportScanner, EveryMatchingEffectBecomesTheChild) {
    // A field whose name is another's in quotes: both match the quoted child, the last wins.
    const std::vector<std::string> effects = {"Risk", "\"Risk\"", "Age"};
    const ImportScan scan = ScanImportLines({"potential (\"Risk\" | Age)"}, kFields, effects, "x.net");
    EXPECT_EQ(Steps(scan.steps), "c0 c1 0>1");
}

TEST(ImportScanner, ParentsLineWithoutClosingParenthesisIsAFault) {
    const ImportScan scan = ScanImportLines(
        {"node Risk {", "   parents = (Age, Sex", "node Sex {", "   parents = (Age);"}, kFields, kFields, "/data/risk.dne");
    EXPECT_EQ(Steps(scan.steps), "c2 0>2");  // what came before the fault stands
    ASSERT_TRUE(scan.fault);
    EXPECT_EQ(scan.fault->icon, Icon::Warning);
    EXPECT_NE(scan.fault->text.find("'/data/risk.dne'"), std::string::npos) << scan.fault->text;
    EXPECT_NE(scan.fault->text.find("Line 2 "), std::string::npos) << scan.fault->text;
}

TEST(ImportScanner, DecodesUtf8OrLatin1) {
    EXPECT_EQ(DecodeImportText("Gr\xC3\xB6\xC3\x9F" "e"), "Gr\xC3\xB6\xC3\x9F" "e");
    EXPECT_EQ(DecodeImportText("Gr\xF6\xDF" "e"), "Gr\xC3\xB6\xC3\x9F" "e");      // Latin-1
    EXPECT_EQ(DecodeImportText("\xEF\xBB\xBFnode A {"), "node A {");              // byte-order mark
    EXPECT_EQ(DecodeImportText("\xC0\xAF"), "\xC3\x80\xC2\xAF");                  // overlong: not UTF-8
    EXPECT_EQ(DecodeImportText("\xED\xA0\x80"), "\xC3\xAD\xC2\xA0\xC2\x80");     // surrogate: not UTF-8
    EXPECT_EQ(SplitImportLines("a\r\nb\n\r\nc"), (std::vector<std::string>{"a", "b", "", "c"}));
    EXPECT_EQ(SplitImportLines("a\n"), (std::vector<std::string>{"a"}));
    EXPECT_TRUE(SplitImportLines("").empty());
}

TEST(ImportScanner, PositionsCountCharacters) {
    // Character 5 of this node header takes two bytes; the name still starts at character 6.
    const std::vector<std::string> fields = {"\xC3\x84rger", "Risk"};
    EXPECT_EQ(Steps(ScanImportLines({"node\xC3\xA9Risk {", "parents = (\xC3\x84rger)"}, fields, fields, "f").steps),
              "c1 0>1");
}

class ImportFile : public ::testing::Test {
protected:
    std::string Write(const std::string& name, const std::string& bytes) {
        const std::string path = (dir_ / name).string();
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
    void SetUp() override { std::filesystem::create_directories(dir_); }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::filesystem::path dir_ = std::filesystem::path(testsupport::ProcessTempDir()) / "import_scanner_test";
};

TEST_F(ImportFile, CrlfAndLatin1Files) {
    const std::vector<std::string> fields = {"Age", "Gr\xC3\xB6\xC3\x9F" "e", "Risk"};
    const std::string crlf = Write("crlf.dne", "node Risk {\r\n   parents = (Age,\r\nnode Age {\r\n");
    ImportScan scan = ScanImportFile(crlf, fields, fields);
    EXPECT_EQ(Steps(scan.steps), "c2 0>2");
    ASSERT_TRUE(scan.fault);
    EXPECT_NE(scan.fault->text.find("Line 2 "), std::string::npos);

    const std::string latin = Write("latin.net", "potential (Risk | Gr\xF6\xDF" "e Age)\r\n");
    scan = ScanImportFile(latin, fields, fields);
    EXPECT_EQ(Steps(scan.steps), "c2 1>2 0>2");
    EXPECT_FALSE(scan.fault);
}

TEST_F(ImportFile, MissingEmptyAndUnreadableFiles) {
    const std::string missing = (dir_ / "none.dne").string();
    EXPECT_EQ(CheckImportFile(missing), (Message{"The file '" + missing + "' does not exist.", Icon::Warning}));
    EXPECT_EQ(CheckImportFile(dir_.string()), (Message{"The file '" + dir_.string() + "' does not exist.", Icon::Warning}));
    const std::string empty = Write("empty.bif", "");
    EXPECT_EQ(CheckImportFile(empty), (Message{"The input log file '" + empty + "' is empty.", Icon::Warning}));
    EXPECT_FALSE(CheckImportFile(Write("one.bif", "x")));

    const ImportScan scan = ScanImportFile(missing, kFields, kFields);
    EXPECT_TRUE(scan.steps.empty());
    ASSERT_TRUE(scan.fault);
    EXPECT_NE(scan.fault->text.find(missing), std::string::npos);
    EXPECT_EQ(ImportCountMessage(3), (Message{"3 relations were imported.", Icon::None}));
}

TEST(ImportScanner, ReplayCountsWhatTheAddOperationKept) {
    KnowledgeModel m(KnowledgeRules::Zorv);
    m.Reset({"Class", "Age", "Sex", "Risk"});
    m.AddPair(PairTab::CausesEffects, 3, 1);  // Risk -> Age: Age -> Risk would close a loop
    const std::vector<std::string>& fields = m.fieldNames();
    const ImportScan scan = ScanImportLines(
        {"potential (Risk | Age Sex)", "potential (Class | Sex)", "potential (Sex | Class)", "potential (Risk | Sex)"},
        fields, fields, "r.net");
    std::vector<std::string> seen;
    const int n = ApplyImport(m, scan, [&](const ImportStep& s, const PairEdit* e) {
        if (s.kind == ImportStep::Kind::ChildChosen) {
            EXPECT_EQ(e, nullptr);
            return;
        }
        seen.push_back(e->message ? e->message->text : e->what == PairEdit::What::Added ? "added" : "ignored");
    });
    EXPECT_EQ(seen, (std::vector<std::string>{kNoLoops, "added", kClassCause, "added", "ignored"}));
    EXPECT_EQ(n, 2);
    EXPECT_EQ(m.pairs(PairTab::CausesEffects).size(), 3u);
    EXPECT_EQ(m.pairs(PairTab::CausesEffects).back().text, "Class  ->  Sex");
}

}  // namespace
