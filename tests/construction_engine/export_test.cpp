// The export files: the three formats byte for byte on one small network, read back by the
// test parsers written from the formats' grammars, the identifier mend for names and labels
// the formats do not take, the choice of the format by the file name, and the safety of the
// user's file: a cancel, a failure or a refused network leaves it as it was. At the end, a
// network learned by Construct from a generated table goes out in all three formats.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <map>

#include "construction_engine/data_set.h"
#include "construction_engine/errors.h"
#include "construction_engine/export_model.h"
#include "construction_engine/export_names.h"
#include "tests/construction_engine/export_fixture.h"
#include "tests/construction_engine/sampled_fixture.h"
#include "tests/support/net_parsers.h"

namespace {

using namespace vrelltest;
using testsupport::ParsedNet;
using testsupport::ParsedNode;
using vrellapi::DataSet;

// The goldens are kept with LF line ends; the files have CR LF.
std::string Crlf(std::string_view text) {
    std::string out;
    for (char c : text) out += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return out;
}

const char* const kNeticaGolden = R"txt(// ~->[DNET-1]->~
//File created using Tormid
//on 12/9/2026 at 10:08:28 AM.

bnet T {

node A {
   kind = NATURE;
   discrete = TRUE;
   chance = CHANCE;
   states = (YES, NO);
   parents = ();
   probs =
       ( .3666667,  .6333333);
   title = "A";
   };

node Unit_Price {
   kind = NATURE;
   discrete = TRUE;
   chance = CHANCE;
   states = (LOW, MID, HIGH);
   parents = ();
   probs =
       ( .3111111,  .3777778,  .3111111);
   title = "[Unit Price]";
   };

node C {
   kind = NATURE;
   discrete = TRUE;
   chance = CHANCE;
   states = (C1, C2, C3);
   parents = (A, Unit_Price);
   probs=
    ((( .2083333,  .4583333,  .3333334),
       ( .3333333,  .3333333,  .3333334),
       ( .3333333,  .3333333,  .3333334)),
       (( .3333333,  .3333333,  .3333334),
       ( .2962963,  .2962963,  .4074074),
       ( .5833333,  .2083333,  .2083334)));
   title = "C";
   };

node D {
   kind = NATURE;
   discrete = TRUE;
   chance = CHANCE;
   states = (lt5_5, gt5_5lt7, missing, s40_49);
   statetitles = ("<5.5", ">5.5<7", "?", "40-49");
   parents = ();
   probs =
       ( .15,  .2166667,  .2833333,  .35);
   title = "D";
   };

node E {
   kind = NATURE;
   discrete = TRUE;
   chance = CHANCE;
   states = (ONLY);
   parents = ();
   probs =
       ( 1);
   title = "E";
   };

node F {
   kind = NATURE;
   discrete = FALSE;
   chance = CHANCE;
   parents = ();
   title = "F";
   };

};
)txt";

const char* const kHuginGolden = R"txt(% File created using Tormid
% on 12/9/2026 at 10:08:28 AM.

net 
{
 node_size = (100 40);
 label = "[T]";
 name = "[T]";
}

node A
{
   label = "A";
   position = (0 0);
   states = ("YES" "NO" );
}

node Unit_Price
{
   label = "[Unit Price]";
   position = (150 0);
   states = ("LOW" "MID" "HIGH" );
}

node C
{
   label = "C";
   position = (300 0);
   states = ("C1" "C2" "C3" );
}

node D
{
   label = "D";
   position = (0 80);
   states = ("<5.5" ">5.5<7" "?" "40-49" );
}

node E
{
   label = "E";
   position = (150 80);
   states = ("ONLY" );
}

node F
{
   label = "F";
   position = (300 80);
}

potential (A)
{
 data = (  .3666667  .6333333 );
}

potential (Unit_Price)
{
 data = (  .3111111  .3777778  .3111111 );
}

potential (C | A Unit_Price)
{
 data = ((( .2083333  .4583333  .3333334 )
       ( .3333333  .3333333  .3333334 )
       ( .3333333  .3333333  .3333334 ))
       (( .3333333  .3333333  .3333334 )
       ( .2962963  .2962963  .4074074 )
       ( .5833333  .2083333  .2083334 )));
}

potential (D)
{
 data = (  .15  .2166667  .2833333  .35 );
}

potential (E)
{
 data = (  1 );
}

)txt";

const char* const kBifGolden = R"txt(// Bayesian Network in the Interchange Format 0.15
// File created using Tormid
// on 12/9/2026 at 10:08:28 AM.

network "T"
{
}

variable "A"
{
   type discrete[2] {"YES" "NO" };
   property "position = (0, 0)" ;
}

variable "Unit_Price"
{
   type discrete[3] {"LOW" "MID" "HIGH" };
   property "position = (150, 0)" ;
   property "label = [Unit Price]" ;
}

variable "C"
{
   type discrete[3] {"C1" "C2" "C3" };
   property "position = (300, 0)" ;
}

variable "D"
{
   type discrete[4] {"lt5_5" "gt5_5lt7" "missing" "s40_49" };
   property "position = (0, 80)" ;
   property "state 1 = <5.5" ;
   property "state 2 = >5.5<7" ;
   property "state 3 = ?" ;
   property "state 4 = 40-49" ;
}

variable "E"
{
   type discrete[1] {"ONLY" };
   property "position = (150, 80)" ;
}

variable "F"
{
   property "position = (300, 80)" ;
}

probability ( "A")
{
    table  .3666667  .6333333 ;
}

probability ( "Unit_Price")
{
    table  .3111111  .3777778  .3111111 ;
}

probability ( "C" | "A" "Unit_Price")
{
    table  .2083333  .3333333  .3333333  .3333333  .2962963  .5833333  .4583333  .3333333  .3333333  .3333333  .2962963  .2083333  .3333334  .3333334  .3333334  .3333334  .4074074  .2083334 ;
}

probability ( "D")
{
    table  .15  .2166667  .2833333  .35 ;
}

probability ( "E")
{
    table  1 ;
}

)txt";

struct FormatCase {
    const char* file;
    const char* golden;
    ParsedNet (*parse)(const std::string&);
};
const FormatCase kFormats[] = {
    {"small.dne", kNeticaGolden, testsupport::ParseNetica},
    {"small.net", kHuginGolden, testsupport::ParseHugin},
    {"small.bif", kBifGolden, testsupport::ParseBif},
};

TEST(ExportGolden, EachFormatByteForByte) {
    for (const FormatCase& f : kFormats) {
        SmallNetwork n;
        DataSet d;
        n.Init(d);
        EXPECT_EQ(n.Export(d, ExportPath(f.file)), Crlf(f.golden)) << f.file;
        // One counting query a discrete field, then one query for the node with parents.
        EXPECT_EQ(n.rdb->Texts(), (std::vector<std::string>{
                                      SmallNetwork::kCountA,
                                      "select  Count(*) , [Unit Price] from [T] group by [Unit Price];",
                                      "select  Count(*) , C from [T] group by C;",
                                      "select  Count(*) , D from [T] group by D;",
                                      "select  Count(*) , E from [T] group by E;",
                                      SmallNetwork::kCountC}))
            << f.file;
        EXPECT_EQ(n.rdb->OpenRecordsets(), 0);
    }
}

// The three goldens read back agree on nodes, states, parents and numbers, and the originals
// of mended names and labels come back from where each format keeps them.
TEST(ExportGolden, ParsersAgree) {
    const ParsedNet netica = testsupport::ParseNetica(Crlf(kNeticaGolden));
    const ParsedNet hugin = testsupport::ParseHugin(Crlf(kHuginGolden));
    const ParsedNet bif = testsupport::ParseBif(Crlf(kBifGolden));
    const std::vector<std::string> names{"A", "Unit_Price", "C", "D", "E", "F"};
    for (const ParsedNet* net : {&netica, &hugin, &bif}) {
        ASSERT_EQ(net->nodes.size(), names.size());
        for (size_t i = 0; i < names.size(); ++i) EXPECT_EQ(net->nodes[i].name, names[i]);
        EXPECT_EQ(net->node("C").parents, (std::vector<std::string>{"A", "Unit_Price"}));
        EXPECT_TRUE(net->node("A").parents.empty());
        EXPECT_FALSE(net->node("F").discrete);
        EXPECT_FALSE(net->node("F").hasTable);
        EXPECT_EQ(net->node("Unit_Price").title, "[Unit Price]");
        for (const std::string& name : names) {
            if (name == "F") continue;
            const ParsedNode &a = netica.node(name), &b = net->node(name);
            ASSERT_EQ(a.probs.size(), b.probs.size()) << name;
            for (size_t c = 0; c < a.probs.size(); ++c) EXPECT_EQ(a.probs[c], b.probs[c]) << name << " " << c;
        }
    }
    // C given (A, Unit Price): row 1 (YES, LOW) counts 0 2 1, rows 2 to 4 never occur, row 5
    // (NO, MID) counts 1 1 2, row 6 (NO, HIGH) counts 3 0 0.
    const std::vector<double> c = netica.node("C").probs;
    const double expected[] = {.2083333, .4583333, .3333334, .3333333, .3333333, .3333334,
                               .3333333, .3333333, .3333334, .3333333, .3333333, .3333334,
                               .2962963, .2962963, .4074074, .5833333, .2083333, .2083334};
    ASSERT_EQ(c.size(), std::size(expected));
    for (size_t i = 0; i < c.size(); ++i) EXPECT_NEAR(c[i], expected[i], 1e-9) << i;
    EXPECT_EQ(netica.node("A").probs, (std::vector<double>{.3666667, .6333333}));
    EXPECT_EQ(netica.node("E").probs, (std::vector<double>{1}));

    const std::vector<std::string> labels{"<5.5", ">5.5<7", "?", "40-49"};
    EXPECT_EQ(hugin.node("D").states, labels);  // quoted strings: written as they are
    EXPECT_EQ(netica.node("D").stateTitles, labels);
    EXPECT_EQ(bif.node("D").stateTitles, labels);
    EXPECT_EQ(netica.node("D").states, bif.node("D").states);
    for (const std::string& name : names)
        EXPECT_EQ(hugin.node(name).position, bif.node(name).position) << name;
    EXPECT_EQ(bif.node("D").position, std::make_pair(0, 80));
}

// Files these readers must take that our writer did not make: the old BIF dialect with every
// name quoted and no bar before the parents, and the newer one with words and table entries.
TEST(ExportParsers, BothBifDialects) {
    const char* old = R"txt(// Bayesian network in the interchange format, written by hand
network "Garden-Watering" { //3 variables and 3 probability distributions
	property "author = test" ;
}
variable  "rain" { //2 values
	type discrete[2] {  "yes"  "no" };
	property "position = (10, 20)" ;
}
variable  "sprinkler-on" { //2 values
	type discrete[2] {  "yes"  "no" };
}
variable  "grass-wet" { //2 values
	type discrete[2] {  "yes"  "no" };
}
probability (  "rain" ) { //1 variable(s) and 2 values
	table 0.2 0.8 ;
}
probability (  "sprinkler-on"  "rain" ) { //2 variable(s) and 4 values
	table 0.01 0.4 0.99 0.6 ;
}
probability (  "grass-wet"  "sprinkler-on"  "rain" ) { //3 variable(s) and 8 values
	table 0.99 0.9 0.8 0.0 0.01 0.1 0.2 1.0 ;
}
)txt";
    const ParsedNet net = testsupport::ParseBif(old);
    EXPECT_EQ(net.name, "Garden-Watering");
    EXPECT_EQ(net.node("rain").position, std::make_pair(10, 20));
    EXPECT_EQ(net.node("sprinkler-on").parents, (std::vector<std::string>{"rain"}));
    EXPECT_EQ(net.node("sprinkler-on").probs, (std::vector<double>{0.01, 0.99, 0.4, 0.6}));
    EXPECT_EQ(net.node("grass-wet").parents, (std::vector<std::string>{"sprinkler-on", "rain"}));
    EXPECT_EQ(net.node("grass-wet").probs, (std::vector<double>{0.99, 0.01, 0.9, 0.1, 0.8, 0.2, 0.0, 1.0}));

    const ParsedNet modern = testsupport::ParseBif(R"txt(network unknown {
}
variable Rain {
  type discrete [ 2 ] { yes, no };
}
variable Wet {
  type discrete [ 2 ] { yes, no };
}
probability ( Rain ) {
  table 0.3, 0.7;
}
probability ( Wet | Rain ) {
  (no) 0.2, 0.8;
  default 0.5, 0.5;
}
)txt");
    EXPECT_EQ(modern.node("Wet").probs, (std::vector<double>{0.5, 0.5, 0.2, 0.8}));
}

// What the formats' readers reject, so that a golden that parses says something.
TEST(ExportParsers, RejectWhatTheFormatsReject) {
    struct Bad {
        const char* what;
        ParsedNet (*parse)(const std::string&);
        const char* text;
    };
    const Bad cases[] = {
        {"Netica state not an identifier", testsupport::ParseNetica,
         "bnet T {\nnode D {\n discrete = TRUE;\n states = (<5.5, X);\n parents = ();\n probs = (.5, .5);\n };\n};\n"},
        {"Netica bracketed node name", testsupport::ParseNetica,
         "bnet T {\nnode [Unit Price] {\n discrete = TRUE;\n states = (A, B);\n };\n};\n"},
        {"Netica repeated state", testsupport::ParseNetica,
         "bnet T {\nnode D {\n discrete = TRUE;\n states = (A, A);\n parents = ();\n probs = (.5, .5);\n };\n};\n"},
        {"Netica row not summing to 1", testsupport::ParseNetica,
         "bnet T {\nnode D {\n discrete = TRUE;\n states = (A, B);\n parents = ();\n probs = (.5, .6);\n };\n};\n"},
        {"Netica table nested for a parent it does not have", testsupport::ParseNetica,
         "bnet T {\nnode D {\n discrete = TRUE;\n states = (A, B);\n parents = ();\n probs = ((.5, .5));\n };\n};\n"},
        {"Hugin bracketed node name", testsupport::ParseHugin,
         "net\n{\n}\nnode [A]\n{\n states = (\"X\" \"Y\");\n}\n"},
        {"Hugin unclosed string", testsupport::ParseHugin, "net\n{\n label = \"a\"b\";\n}\n"},
        {"BIF bracketed variable", testsupport::ParseBif,
         "network \"T\"\n{\n}\nvariable \"[A]\"\n{\n   type discrete[1] {\"X\" };\n}\n"},
        {"BIF value beginning with a digit", testsupport::ParseBif,
         "network \"T\"\n{\n}\nvariable \"A\"\n{\n   type discrete[1] {\"40-49\" };\n}\n"},
        {"BIF table of the wrong size", testsupport::ParseBif,
         "network \"T\"\n{\n}\nvariable \"A\"\n{\n   type discrete[2] {\"X\" \"Y\" };\n}\n"
         "probability ( \"A\")\n{\n    table  1 ;\n}\n"},
    };
    for (const Bad& b : cases) EXPECT_THROW(b.parse(b.text), std::runtime_error) << b.what;
}

TEST(ExportNames, DerivedIdentifiers) {
    const vrellapi::IdentifierRule netica{30, {"bnet", "node"}};
    struct Case {
        std::vector<std::string> texts;
        std::vector<std::string> ids;
    };
    const Case cases[] = {
        {{"Age", "A_1", "x9"}, {"Age", "A_1", "x9"}},  // plain: unchanged
        {{"[Unit Price]", "[Date]", "[2ndValue]", "[A-B+C]"}, {"Unit_Price", "Date", "n2ndValue", "A_BplusC"}},
        {{"<5.5", ">5.5<7", ">7", "?", "40-49", ""}, {"lt5_5", "gt5_5lt7", "gt7", "missing", "n40_49", "n"}},
        {{"A", "a", "A"}, {"A", "a_2", "A_3"}},       // repeats, in any case
        {{"[A B]", "A_B"}, {"A_B_2", "A_B"}},          // a plain name keeps its spelling
        {{"node", "NODE_2"}, {"node_3", "NODE_2"}},    // a reserved word, and a plain name it meets
        {{"ABCDEFGHIJKLMNOPQRSTUVWXYZ_0123", "[ABCDEFGHIJKLMNOPQRSTUVWXYZ_0123 x]"},
         {"ABCDEFGHIJKLMNOPQRSTUVWXYZ_012", "ABCDEFGHIJKLMNOPQRSTUVWXYZ_0_2"}},  // 30 at most
    };
    for (const Case& c : cases) {
        const std::vector<std::string> ids = vrellapi::ExportIdentifiers(c.texts, "n", netica);
        EXPECT_EQ(ids, c.ids) << c.texts.front();
        for (const std::string& id : ids) EXPECT_TRUE(vrellapi::IsExportIdentifier(id, netica)) << id;
    }
}

// Tables handed to a writer as they are, for models built in code.
class StoredTables : public vrellapi::TableSource {
public:
    std::map<int, vrellapi::NodeTable> tables;
    const vrellapi::NodeTable& Table(int node) override { return tables.at(node); }
    bool NodeDone(int) override { return false; }
};

// Repeated labels, a quote inside a label and a name longer than Netica takes: every format
// still reads back, and the original texts survive where the format has room for them.
TEST(ExportNames, MendedModelReadsBackEverywhere) {
    vrellapi::ExportModel m;
    m.table = "[My Table]";
    m.date = "1/2/2027";
    m.time = "1:02:03 PM";
    m.nodes.push_back({"[Size \"in\"]", {"5\"", "A", "a"}, false, {}, 0, 0});
    m.nodes.push_back({"ABCDEFGHIJKLMNOPQRSTUVWXYZ_0123456789", {"Y", "N"}, false, {0}, 0, 0});
    vrellapi::PlaceOnGrid(m);
    StoredTables t;
    t.tables[0] = {1, 3, {.25f, .25f, .5f}};
    t.tables[1] = {3, 2, {.1f, .9f, .2f, .8f, .3f, .7f}};
    const std::string long30 = "ABCDEFGHIJKLMNOPQRSTUVWXYZ_012";

    std::ostringstream dne, net, bif;
    ASSERT_TRUE(vrellapi::WriteNetica(m, t, dne));
    ASSERT_TRUE(vrellapi::WriteHugin(m, t, net));
    ASSERT_TRUE(vrellapi::WriteBif(m, t, bif));
    const ParsedNet n = testsupport::ParseNetica(dne.str());
    const ParsedNet h = testsupport::ParseHugin(net.str());
    const ParsedNet b = testsupport::ParseBif(bif.str());

    EXPECT_EQ(n.name, "My_Table");
    EXPECT_EQ(n.title, "My Table");
    EXPECT_EQ(b.name, "My_Table");
    EXPECT_EQ(b.title, "[My Table]");
    EXPECT_EQ(h.name, "[My Table]");
    const std::vector<std::string> labels{"5\"", "A", "a"};
    EXPECT_EQ(n.node("Size_in").states, (std::vector<std::string>{"s5", "A", "a_2"}));
    EXPECT_EQ(n.node("Size_in").stateTitles, labels);
    EXPECT_EQ(n.node("Size_in").title, "[Size \"in\"]");
    EXPECT_EQ(h.node("Size_in").states, labels);
    EXPECT_EQ(b.node("Size_in").stateTitles, (std::vector<std::string>{"5'", "A", "a"}));
    EXPECT_EQ(n.node(long30).parents, (std::vector<std::string>{"Size_in"}));
    EXPECT_EQ(h.node("ABCDEFGHIJKLMNOPQRSTUVWXYZ_0123456789").parents, (std::vector<std::string>{"Size_in"}));
    for (const ParsedNet* p : {&n, &h, &b}) {
        const ParsedNode& child = p->nodes[1];
        ASSERT_EQ(child.probs.size(), 6u);
        EXPECT_NEAR(child.probs[4], .3, 1e-7);
    }
}

// The network writers' shared geometry: the grid and the closing depth of a bracketed row.
TEST(ExportModel, GridAndClosingDepth) {
    struct GridCase {
        int fields, columns;
    };
    for (const GridCase g : {GridCase{2, 2}, {3, 3}, {6, 3}, {7, 4}, {12, 4}, {13, 5}, {20, 5}, {21, 6}, {30, 6}}) {
        vrellapi::ExportModel m;
        m.nodes.resize(size_t(g.fields));
        vrellapi::PlaceOnGrid(m);
        EXPECT_EQ(m.nodes[size_t(g.columns - 1)].x, 150 * (g.columns - 1)) << g.fields;
        EXPECT_EQ(m.nodes[size_t(g.columns - 1)].y, 0) << g.fields;
        if (g.fields <= g.columns) continue;
        EXPECT_EQ(m.nodes[size_t(g.columns)].x, 0) << g.fields;
        EXPECT_EQ(m.nodes[size_t(g.columns)].y, 80) << g.fields;
    }
    std::vector<int> depths;
    for (int c = 1; c <= 5; ++c) depths.push_back(vrellapi::ClosingDepth({2, 3}, c));
    EXPECT_EQ(depths, (std::vector<int>{1, 1, 2, 1, 1}));
    EXPECT_EQ(vrellapi::ClosingDepth({3, 2, 2}, 4), 3);
    EXPECT_EQ(vrellapi::ProbText(0.25f), " .25");
    EXPECT_EQ(vrellapi::ProbText(1.0f), " 1");
    EXPECT_EQ(vrellapi::ProbText(0.0f), " 0");
}

TEST(ExportFormat, ChosenByTheEndOfTheName) {
    struct Case {
        const char* file;
        const char* firstLine;
    };
    const Case cases[] = {
        {"f1.dne", "// ~->[DNET-1]->~"}, {"f2.DNE", "// ~->[DNET-1]->~"}, {"f3.Dnet", "// ~->[DNET-1]->~"},
        {"f4dnet", "// ~->[DNET-1]->~"}, {"f5.NET", "% File created using Tormid"},
        {"f6.net", "% File created using Tormid"},
        {"f7.bif", "// Bayesian Network in the Interchange Format 0.15"},
        {"f8.txt", "// Bayesian Network in the Interchange Format 0.15"},
        {"f9", "// Bayesian Network in the Interchange Format 0.15"},
        {"f10.hugin", "// Bayesian Network in the Interchange Format 0.15"},
    };
    SmallNetwork n;
    DataSet d;
    n.Init(d);
    for (const Case& c : cases) {
        const std::string text = n.Export(d, ExportPath(c.file));
        EXPECT_EQ(text.substr(0, text.find("\r\n")), c.firstLine) << c.file;
    }
}

// ---- the user's file ----

const std::string kOld = "the user's earlier network\r\n";

// A cancel in the counting pass, at the first node, and at the last node (before Netica's
// closing line): the target keeps its old bytes and no temporary file is left beside it.
TEST(ExportFile, CancelLeavesTheTargetAsItWas) {
    for (const FormatCase& f : kFormats) {
        for (int cancelAt : {1, 7, 12}) {
            SmallNetwork n;
            DataSet d;
            n.Init(d);
            const std::string path = ExportPath(std::string("cancel_") + std::to_string(cancelAt) + "_" + f.file);
            WriteFile(path, kOld);
            n.sink.cancelWhen = [cancelAt](int call, Single) { return call == cancelAt; };
            std::string tmpF = path;
            d.LearnCP(n.graf, tmpF);
            EXPECT_EQ(int(n.sink.seen.size()), cancelAt) << f.file;
            EXPECT_EQ(ReadFile(path), kOld) << f.file << " " << cancelAt;
            EXPECT_EQ(FilesLike(path), std::vector<std::string>{std::filesystem::path(path).filename().string()});

            // The host set Cancel to stop that call; the next export on the object runs whole.
            n.sink.cancelWhen = nullptr;
            EXPECT_TRUE(d.Cancel);
            EXPECT_EQ(n.Export(d, path), Crlf(f.golden)) << f.file;
        }
    }
}

TEST(ExportFile, FailureLeavesTheTargetAsItWas) {
    SmallNetwork n;
    n.rdb->Fail(SmallNetwork::kCountC, db::Error(3061, "Too few parameters. Expected 1."));
    DataSet d;
    n.Init(d);
    const std::string path = ExportPath("failure.dne");
    WriteFile(path, kOld);
    std::string tmpF = path;
    try {
        d.LearnCP(n.graf, tmpF);
        ADD_FAILURE() << "no error";
    } catch (const db::Error& e) {
        EXPECT_EQ(e.number(), 3061);  // the database's error, unchanged
    }
    EXPECT_EQ(ReadFile(path), kOld);
    EXPECT_EQ(FilesLike(path).size(), 1u);
}

TEST(ExportFile, ReplacedTargetKeepsItsPermissions) {
    SmallNetwork n;
    DataSet d;
    n.Init(d);
    const std::string path = ExportPath("mode.bif");
    WriteFile(path, kOld);
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    EXPECT_EQ(n.Export(d, path), Crlf(kBifGolden));
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    std::string missingFolder = ExportPath("no_such_folder/x.bif");
    try {
        d.LearnCP(n.graf, missingFolder);
        ADD_FAILURE() << "no error";
    } catch (const vb::RuntimeError& e) {
        EXPECT_EQ(e.number(), 76);
    }
}

// Networks that cannot be tabled are refused before any query and any file.
TEST(ExportFile, RefusedNetworksTouchNothing) {
    struct Refusal {
        const char* what;
        std::vector<std::string> fields;
        int states;                                      // of every field but one over the limit
        std::function<void(vb::Array<Integer>&)> links;  // on a zeroed matrix
        int32_t number;                                  // engine error n, or the runtime's
        std::string subject;
    };
    const Refusal cases[] = {
        {"a parent over the value limit", {"A", "B", "F"}, 2,
         [](vb::Array<Integer>& g) { g(2, 0) = 1; }, com::objectError(528), "F"},
        {"twenty parents", {}, 2,
         [](vb::Array<Integer>& g) { for (int j = 1; j <= 20; ++j) g(j, 0) = 1; }, com::objectError(527), "X1"},
        {"five parents of 65 states", {"X1", "X2", "X3", "X4", "X5", "X6"}, 65,
         [](vb::Array<Integer>& g) { for (int j = 1; j <= 5; ++j) g(0, j) = 2; }, com::objectError(529), "X1"},
        {"a matrix smaller than the fields", {"A", "B", "F"}, 2, nullptr, 9, ""},
    };
    for (const Refusal& r : cases) {
        std::vector<std::string> fields = r.fields;
        if (fields.empty())
            for (int i = 1; i <= 21; ++i) fields.push_back("X" + std::to_string(i));
        ScriptedTable t;
        for (const std::string& f : fields) t.values[f] = TextValues(f == "F" ? 66 : r.states);
        auto rdb = t.Database();
        InitArgs args(fields);
        DataSet d;
        args.Run(d, rdb);
        rdb->ClearLog();
        const Integer n = Integer(fields.size());
        vb::Array<Integer> graf(vb::To(r.links ? n - 1 : n - 2), vb::To(n - 1));
        if (r.links) r.links(graf);
        const std::string path = ExportPath("refused.dne");
        WriteFile(path, kOld);
        std::string tmpF = path;
        int32_t number = 0;
        std::string description;
        try {
            d.LearnCP(graf, tmpF);
        } catch (const com::Error& e) {
            number = e.number();
            description = e.description();
            EXPECT_EQ(e.source(), "DataSet Object");
        } catch (const vb::RuntimeError& e) {
            number = e.number();
        }
        EXPECT_EQ(number, r.number) << r.what;
        EXPECT_NE(description.find(r.subject), std::string::npos) << r.what << ": " << description;
        EXPECT_EQ(rdb->QueryCount(), 0) << r.what;
        EXPECT_EQ(ReadFile(path), kOld) << r.what;
        EXPECT_EQ(FilesLike(path).size(), 1u) << r.what;
    }
    DataSet fresh;
    vb::Array<Integer> graf(vb::To(1), vb::To(1));
    std::string tmpF = ExportPath("refused.dne");
    try {
        fresh.LearnCP(graf, tmpF);
        ADD_FAILURE() << "no error before Init";
    } catch (const com::Error& e) {
        EXPECT_EQ(e.number(), com::objectError(523));
        EXPECT_EQ(e.description(), "LearnCP needs a completed Init");
    }
    EXPECT_EQ(ReadFile(tmpF), kOld);
}

// ---- end to end ----

// A network learned by Construct from a generated table goes out in all three formats; each
// reads back with the parents of the result matrix, the same states and the same numbers,
// and the root's table is close to the network the rows were drawn from.
TEST(ExportEndToEnd, ConstructedNetworkInAllFormats) {
    testsupport::Network net;
    const std::vector<std::string> yn = {"YES", "NO"};
    const std::vector<std::vector<double>> copy = {{0.9, 0.1}, {0.1, 0.9}};
    const int a = net.AddNode("A", yn, {}, {{0.3, 0.7}});
    const int b = net.AddNode("B", yn, {a}, copy);
    const int c = net.AddNode("C", {"LOW", "MID", "HIGH"}, {a},
                              {{0.8, 0.1, 0.1}, {0.1, 0.1, 0.8}});
    net.AddNode("D", yn, {b, c}, {{0.95, 0.05}, {0.5, 0.5}, {0.1, 0.9},
                                  {0.9, 0.1}, {0.5, 0.5}, {0.05, 0.95}});
    (void)c;
    auto rdb = SampledDatabase(net, 4000, "export_e2e");
    InitArgs args(NodeNames(net));
    DataSet d;
    const vb::Array<Integer> rst = Learn(d, args, rdb);
    // The host orients what the search left open, as the wizard's editor asks it to.
    vb::Array<Integer> graf = rst;
    for (Integer i = 0; i < args.numfld; ++i)
        for (Integer j = Integer(i + 1); j < args.numfld; ++j)
            if (graf(i, j) == 3 || graf(i, j) == 4) graf(i, j) = 1;
    int links = 0;
    for (Integer i = 0; i < args.numfld; ++i)
        for (Integer j = Integer(i + 1); j < args.numfld; ++j) links += graf(i, j) != 0;
    EXPECT_GE(links, 3);
    FixClock(d);

    std::vector<ParsedNet> parsed;
    for (const FormatCase& f : kFormats) {
        std::string tmpF = ExportPath(std::string("e2e_") + f.file);
        d.LearnCP(graf, tmpF);
        parsed.push_back(f.parse(ReadFile(tmpF)));
    }
    for (const ParsedNet& p : parsed) {
        ASSERT_EQ(p.nodes.size(), 4u);
        for (Integer i = 1; i <= args.numfld; ++i) {
            const ParsedNode& node = p.nodes[size_t(i - 1)];
            std::vector<std::string> expected;
            for (Integer j = 1; j <= args.numfld; ++j)
                if (j != i && (j < i ? graf(j - 1, i - 1) == 1 : graf(i - 1, j - 1) == 2))
                    expected.push_back(net.node(j - 1).name);
            EXPECT_EQ(node.parents, expected) << node.name;
            EXPECT_EQ(node.probs, parsed[0].nodes[size_t(i - 1)].probs) << node.name;
        }
        EXPECT_EQ(p.node("C").states.size(), 3u);
    }
    const ParsedNode& rootA = parsed[0].node("A");
    if (rootA.parents.empty()) {
        const size_t yes = size_t(std::find(rootA.states.begin(), rootA.states.end(), "YES") - rootA.states.begin());
        ASSERT_LT(yes, 2u);
        EXPECT_NEAR(rootA.probs[yes], 0.3, 0.03);
    }
}

}  // namespace
