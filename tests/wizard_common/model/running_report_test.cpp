// The structure listing of zorv's result box, the two wizards' running reports (the saved text
// and the printed operations) and the report file's replacement of its target.
#include "wizard_common/model/running_report.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/vb/runtime_error.h"
#include "wizard_common/model/report_file.h"
#include "wizard_common/model/report_sink.h"

namespace wizard {
namespace {

namespace fs = std::filesystem;

// 2026-12-10 14:05:09 UTC: "14:05:09" and "12/10/26" in the C locale.
constexpr std::time_t kNow = 1796911509;

std::string Lines(const std::vector<std::string>& lines) {
    std::string s;
    for (const std::string& l : lines) s += l + "\r\n";
    return s;
}

vb::Array<int16_t> Square(int upper) { return vb::Array<int16_t>(vb::To(upper), vb::To(upper)); }
vb::Array<int16_t> Vector(int upper) { return vb::Array<int16_t>(vb::To(upper)); }
vb::Array<int16_t> Layers(int nets, int upper) {
    return vb::Array<int16_t>(vb::To(nets), vb::To(upper), vb::To(upper));
}

// The report's title carries a local time: the tests fix the zone.
class RunningReport : public ::testing::Test {
protected:
    void SetUp() override {
        const char* tz = std::getenv("TZ");
        if (tz) oldTz_ = tz;
        hadTz_ = tz != nullptr;
        setenv("TZ", "UTC", 1);
        tzset();
    }
    void TearDown() override {
        if (hadTz_) setenv("TZ", oldTz_.c_str(), 1);
        else unsetenv("TZ");
        tzset();
    }

private:
    std::string oldTz_;
    bool hadTz_ = false;
};

TEST(NameCells, SixCharactersCutOrPadded) {
    struct Case { const char* name; const char* left; const char* right; };
    const Case cases[] = {
        {"Temperature", "Temper", "Temper"}, {"Age", "Age   ", "   Age"},
        {"Income", "Income", "Income"},      {"", "      ", "      "},
        // Characters, not bytes: a cut inside a UTF-8 sequence would spoil the file.
        {"Größenklasse", "Größen", "Größen"}, {"Maß", "Maß   ", "   Maß"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(LeftCell(c.name), c.left) << c.name;
        EXPECT_EQ(RightCell(c.name), c.right) << c.name;
    }
}

// --- zorv's result box -------------------------------------------------------------------

TEST(WriteGrafTxt, SingleNetWithFeatureSelectionListsFourLinksALine) {
    ClassifierNets n;
    n.FieldCount = 7;
    n.FieldNames = {"", "Class", "Age", "Temperature", "Sex", "Smoker", "Weight", "Height"};
    n.FieldUsed = {0, 1, 1, 1, 1, 1, 1, 0};
    n.GraphArr = Layers(0, 7);
    n.GraphArr(0, 1, 2) = 1;
    n.GraphArr(0, 1, 3) = 2;
    n.GraphArr(0, 1, 4) = 3;
    n.GraphArr(0, 2, 3) = 1;
    n.GraphArr(0, 2, 5) = 7;  // any other value: each end reaches the other
    n.GraphArr(0, 3, 6) = 1;
    n.GraphArr(0, 6, 3) = 1;  // cells below the diagonal are not links of the listing
    int16_t counter = 1;
    EXPECT_EQ(WriteGrafTxt(n, counter),
              "\r\nBayesian Network (with Feature Selection)\r\n\r\n"
              "Class -> Age   Class <- Temperature   Class -- Sex   Age -> Temperature   \r\n"
              "Age <> Smoker   Temperature -> Weight   \r\n");
    EXPECT_EQ(counter, 2);

    // A second listing (after an edit) is the same text again, and the counter now says
    // "edited".
    n.FieldUsed[7] = 1;
    n.GraphArr(0, 3, 6) = 0;
    EXPECT_EQ(WriteGrafTxt(n, counter),
              "\r\nBayesian Network\r\n"
              "Class -> Age   Class <- Temperature   Class -- Sex   Age -> Temperature   \r\n"
              "Age <> Smoker   \r\n");
    EXPECT_EQ(counter, 3);
}

TEST(WriteGrafTxt, MultiNetLayersAreSetApartByOneEmptyLine) {
    ClassifierNets n;
    n.FieldCount = 5;
    n.FieldNames = {"", "Class", "A", "B", "C", "D"};
    n.FieldUsed = {0, 1, 1, 1, 1, 1};
    n.IsMultiNetFlag = true;
    n.NetCount = 3;
    n.ClassLabels = {"", "YES", "NO", "MAYBE"};
    n.GraphArr = Layers(3, 5);
    n.GraphArr(1, 1, 2) = 1;  // the class field takes no part in a multi-net's layers
    n.GraphArr(1, 2, 3) = 1;  // layer 1: three links, a partly filled line
    n.GraphArr(1, 2, 4) = 1;
    n.GraphArr(1, 3, 4) = 2;
    n.GraphArr(2, 2, 3) = 2;  // layer 2: four links, a full line
    n.GraphArr(2, 2, 4) = 3;
    n.GraphArr(2, 2, 5) = 1;
    n.GraphArr(2, 3, 4) = 1;
    n.GraphArr(3, 4, 5) = 1;
    int16_t counter = 1;
    EXPECT_EQ(WriteGrafTxt(n, counter),
              "\r\nBayesian Multi_network\r\n"
              "[Class = YES]\r\n"
              "A -> B   A -> C   B <- C   \r\n"
              "\r\n"
              "[Class = NO]\r\n"
              "A <- B   A -- C   A -> D   B -> C   \r\n"
              "\r\n"
              "[Class = MAYBE]\r\n"
              "C -> D   \r\n");
}

// --- zorv's running report ---------------------------------------------------------------

// Fifteen fields with Temperature and Age, Age before Temperature, a forbidden link in both
// cells, cause-and-effect pairs on an unticked tab, twelve roots, one leaf, and a structure
// edited after it was learned (counter 3).
ZorvReportData WeatherState() {
    ZorvReportData d;
    d.DBName = "/data/weather.db";
    d.CboTbName = "Readings";
    ClassifierNets& n = d.nets;
    n.FieldCount = 15;
    n.FieldNames = {"",     "Class", "Temperature", "Age",  "Pressure", "Humid", "Wind", "Cloud",
                    "Rain", "Sun",   "Fog",         "Snow", "Hail",     "Storm", "Dew",  "Mist"};
    n.FieldUsed.assign(16, 1);
    n.GraphArr = Layers(0, 15);
    ReportKnowledge& k = d.knowledge;
    k.chkpo = k.chkfl = true;
    k.po = Square(15);
    k.po(3, 2) = 1;
    k.ce = Square(15);
    k.ce(6, 7) = 1;
    k.fl = Square(15);
    k.fl(4, 5) = k.fl(5, 4) = 1;
    k.rt = Vector(15);
    for (int i = 2; i <= 13; ++i) k.rt(i) = 1;
    k.lf = Vector(15);
    k.lf(15) = 1;
    d.txtoutputlog = "/tmp/out.log";
    d.CmbEps = "1.5";

    d.LearnedGraph = Layers(0, 15);
    vb::Array<int16_t>& g = d.LearnedGraph;
    g(0, 1, 2) = g(0, 1, 3) = 1;
    g(0, 1, 4) = 2;
    g(0, 2, 3) = 3;
    g(0, 4, 5) = g(0, 6, 7) = 1;
    n.GraphArr = g;
    n.GraphArr(0, 2, 3) = 2;
    n.GraphArr(0, 6, 7) = 0;
    n.GraphArr(0, 8, 9) = 5;
    g(0, 0, 0) = 3;
    return d;
}

std::vector<std::string> WeatherSavedLines() {
    return {
        "Belief Network Kalvex.       14:05:09  12/10/26",
        "",
        "",
        "Database:  /data/weather.db",
        "",
        "Dataset:  Readings",
        "",
        "Number of fields:  15",
        "Class  Temper Age    Pressu Humid  Wind   Cloud  Rain   Sun    Fog    ",
        "Snow   Hail   Storm  Dew    Mist   ",
        "",
        "Complete ordering:  NO",
        "",
        "Partial ordering:  YES",
        "   Age>>Temper ",
        "",
        "Causes & Effects:  NO",
        "",
        "Forbidden Links:  YES",
        "Pressu-X-Humid   Humid-X-Pressu ",
        "",
        "Root fields:  ",
        "Temper Age    Pressu Humid  Wind   Cloud  Rain   Sun    Fog    Snow   ",
        "Hail   Storm  ",
        "Leaf fields:  ",
        "Mist   ",
        "Threshold: 1.5 times of the default value.",
        "",
        "Input logfile: ",
        "",
        "Output logfile: /tmp/out.log",
        "",
        "Results: [Bayesian Net]",
        " Class->Temper  Class->Age     Class<-Pressu Temper--Age    Pressu->Humid  ",
        "  Wind->Cloud  ",
        "",
        "After Editing:",
        " Class->Temper  Class->Age     Class<-Pressu Temper<-Age    Pressu->Humid  ",
        "  Rain<>Sun    ",
    };
}

std::vector<ReportOp> Record(const ZorvReportData& d, ReportCopy copy) {
    ReportRecorder r;
    BuildZorvReport(d, copy, kNow, r);
    return r.ops();
}

TEST_F(RunningReport, ZorvSavedReport) {
    ReportTextSink text;
    BuildZorvReport(WeatherState(), ReportCopy::Saved, kNow, text);
    EXPECT_EQ(text.Text(), Lines(WeatherSavedLines()));
}

TEST_F(RunningReport, ZorvPrintedReportOperations) {
    const std::vector<ReportOp> ops = Record(WeatherState(), ReportCopy::Printed);

    // One more empty line after the title, the threshold after the log files and straight
    // before the results.
    std::vector<std::string> lines = WeatherSavedLines();
    lines.insert(lines.begin() + 1, "");
    const auto threshold = lines.begin() + 27;
    ASSERT_EQ(*threshold, "Threshold: 1.5 times of the default value.");
    lines.erase(threshold, threshold + 2);
    lines.insert(lines.begin() + 31, "Threshold: 1.5 times of the default value.");
    ASSERT_EQ(lines[32], "Results: [Bayesian Net]");
    EXPECT_EQ(ReportText(ops), Lines(lines));

    // The title in its own font, everything else in the body font.
    ASSERT_FALSE(ops.empty());
    EXPECT_EQ(ops[0].kind, ReportOpKind::WriteLine);
    EXPECT_EQ(ops[0].font, (ReportFont{"times new roman", 8, true}));
    for (size_t i = 1; i < ops.size(); ++i)
        EXPECT_EQ(ops[i].font, (ReportFont{"courier new", 10, false})) << i;

    // The partial-ordering section operation by operation; the listing leaves its last line
    // open.
    const ReportFont body = BodyFont();
    const std::vector<ReportOp> po = {
        {ReportOpKind::Write, "Partial ordering:  ", body},
        {ReportOpKind::WriteLine, "YES", body},
        {ReportOpKind::Write, "   Age>>Temper ", body},
        {ReportOpKind::EndLine, "", body},
        {ReportOpKind::EndLine, "", body},
    };
    auto at = std::search(ops.begin(), ops.end(), po.begin(), po.end());
    EXPECT_NE(at, ops.end());
    EXPECT_EQ(ops.back(), (ReportOp{ReportOpKind::Write, "  Rain<>Sun    ", body}));

    // A printer sink fed the recording gets the same operations.
    ReportRecorder replayed;
    Replay(ops, replayed);
    EXPECT_EQ(replayed.ops(), ops);
}

// What the golden state does not show: line ends after exactly ten names, a report without
// knowledge arrays, the first report after learning, a multi-net's layers.
TEST_F(RunningReport, ZorvReportEdgeCases) {
    const auto text = [](const ZorvReportData& d) {
        ReportTextSink t;
        BuildZorvReport(d, ReportCopy::Saved, kNow, t);
        return t.Text();
    };

    // Exactly ten names end their line and leave two empty lines; nine leave one.
    for (int count : {9, 10}) {
        ZorvReportData d;
        d.nets.FieldCount = int16_t(count);
        d.nets.FieldNames = {"", "A", "B", "C", "D", "E", "F", "G", "H", "I", "J"};
        const std::string nine = "A      B      C      D      E      F      G      H      I      ";
        const std::string names =
            count == 9 ? nine + "\r\n\r\n" : nine + "J      \r\n\r\n\r\n";
        EXPECT_NE(text(d).find(names + "Complete ordering:  NO"), std::string::npos) << count;
    }

    // A classifier opened for modification has no knowledge arrays: ticked tabs list nothing,
    // and the report is written in full. Right after learning (counter 2) only the current
    // graph is listed.
    ZorvReportData loaded = WeatherState();
    loaded.knowledge = ReportKnowledge{};
    loaded.knowledge.chkpo = loaded.knowledge.chkce = true;
    loaded.LearnedGraph(0, 0, 0) = 2;
    const std::string t = text(loaded);
    EXPECT_NE(t.find("Partial ordering:  YES\r\n\r\n\r\nCauses & Effects:  YES\r\n\r\n\r\n"
                     "Forbidden Links:  NO\r\n\r\nRoot fields:  \r\n\r\nLeaf fields:  \r\n\r\n"
                     "Threshold"),
              std::string::npos);
    EXPECT_EQ(t.find("After Editing:"), std::string::npos);
    EXPECT_NE(t.find("Results: [Bayesian Net]\r\n Class->Temper  Class->Age     Class<-Pressu "
                     "Temper<-Age    Pressu->Humid  \r\n  Rain<>Sun    \r\n"),
              std::string::npos);

    // A multi-net's report: its layers under their headings, a partly filled line ended and
    // followed by an empty line; the threshold chosen automatically.
    ZorvReportData multi;
    multi.OptAuto = true;
    ClassifierNets& n = multi.nets;
    n.FieldCount = 4;
    n.FieldNames = {"", "Class", "A", "B", "C"};
    n.IsMultiNetFlag = true;
    n.NetCount = 2;
    n.ClassLabels = {"", "YES", "NO"};
    n.GraphArr = Layers(2, 4);
    n.GraphArr(1, 2, 3) = n.GraphArr(2, 3, 4) = 1;
    EXPECT_NE(text(multi).find("Threshold: Auto\r\n\r\nInput logfile: \r\n\r\n"
                               "Output logfile: \r\n\r\nResults: [Multi-Net]\r\n"
                               "[Class = YES]\r\n     A->B      \r\n\r\n"
                               "[Class = NO]\r\n     B->C      \r\n"),
              std::string::npos);
}

// --- vrell's running report --------------------------------------------------------------

TEST_F(RunningReport, VrellReport) {
    VrellReportData d;
    d.lstdbfmt = 16;
    d.txtdbname = "/data/ignored.db";  // an ODBC source names no file
    d.cboTbName = "Survey";
    d.NumFlds = 12;
    const char* names[] = {"Temperature", "Age",     "Income",  "Region", "Gender", "Education",
                           "Children",    "Married", "Vehicle", "Pets",   "Garden", "Owner"};
    d.arrfldnm = vb::Array<std::string>(vb::To(11));
    for (int i = 0; i < 12; ++i) d.arrfldnm(i) = names[i];
    ReportKnowledge& k = d.knowledge;
    k.chkco = k.chkpo = k.chkfl = true;
    k.po = Square(11);
    for (int a = 1; a <= 6; ++a) k.po(a, 0) = 1;
    k.fl = Square(11);
    k.fl(2, 3) = k.fl(3, 2) = 1;
    k.rt = Vector(11);
    k.rt.Fill(1);
    k.lf = Vector(11);
    k.lf(11) = 1;
    d.CmbEps = "1";
    d.rstSaved = Square(11);
    d.rstSaved(0, 0) = 7;
    d.rstSaved(0, 1) = 1;
    d.rstSaved(1, 2) = 3;
    d.rst = Square(11);
    d.rst(0, 1) = 1;
    d.rst(1, 2) = 2;
    d.rst(2, 3) = 4;

    ReportRecorder ops;
    BuildVrellReport(d, kNow, ops);
    EXPECT_EQ(ops.ops()[0].font, TitleFont());
    EXPECT_EQ(ReportText(ops.ops()),
              Lines({
                  "Belief Network Tormid.       14:05:09  12/10/26",
                  "",
                  "",
                  "",
                  "Database:  ODBC ",
                  "",
                  "Dataset:  Survey",
                  "",
                  "Number of fields:  12",
                  "Temper Age    Income Region Gender Educat Childr Marrie Vehicl Pets   ",
                  "Garden Owner  ",
                  "",
                  "Complete ordering:  YES",
                  "",
                  "Partial ordering:  YES",
                  "   Age>>Temper Income>>Temper Region>>Temper Gender>>Temper Educat>>Temper ",
                  "Childr>>Temper ",
                  "",
                  "Causes & Effects:  NO",
                  "",
                  "Forbidden Links:  YES",
                  "Income-X-Region Region-X-Income ",
                  "",
                  "Root fields:  ",
                  "Temper Age    Income Region Gender Educat Childr Marrie Vehicl Pets   ",
                  "Garden Owner  ",
                  "",
                  "Leaf fields:  ",
                  "Owner  ",
                  "",
                  "Threshold: 1 times of the default value.",
                  "",
                  "Input logfile: ",
                  "",
                  "Output logfile: ",
                  "",
                  "",
                  "Results:",
                  "Temper->Age       Age--Income ",
                  "",
                  "After Editing:",
                  "Temper->Age       Age<-Income Income<>Region ",
              }));

    // After a new construction run rstSaved is all 0 again: the current result alone. A file
    // source names its file.
    d.rstSaved.Fill(0);
    d.lstdbfmt = 0;
    ReportTextSink again;
    BuildVrellReport(d, kNow, again);
    const std::string t = again.Text();
    EXPECT_NE(t.find("Database:  /data/ignored.db\r\n"), std::string::npos);
    EXPECT_NE(t.find("Results:\r\nTemper->Age       Age<-Income Income<>Region \r\n"),
              std::string::npos);
    EXPECT_EQ(t.find("After Editing:"), std::string::npos);
}

// --- the saved file ----------------------------------------------------------------------

class ReportFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("running_report_test_" + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override {
        std::error_code ec;
        fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(dir_, ec);
    }

    static std::string Read(const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    static void Put(const fs::path& p, const std::string& text) {
        std::ofstream(p, std::ios::binary) << text;
    }
    std::vector<std::string> Entries() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir_))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    // Saves a two-line report, the last line left open, to `target`.
    static void Save(const std::string& target) {
        ReportFile file(target);
        file.WriteLine("Title", TitleFont());
        file.Write("Größe ", BodyFont());
        file.Commit();
    }

    fs::path dir_;
};

TEST_F(ReportFileTest, ReplacesTheFileKeepingItsPermissionsAndLinks) {
    const fs::path target = dir_ / "report.txt";
    Put(target, "old report, a longer one than the new\n");
    fs::permissions(target, fs::perms(0640));
    Save(target.string());
    EXPECT_EQ(Read(target), "Title\r\nGröße \r\n");
    EXPECT_EQ(fs::status(target).permissions(), fs::perms(0640));
    EXPECT_EQ(Entries(), std::vector<std::string>{"report.txt"});

    // Saving through a link replaces the file it points to; the link stays.
    fs::create_symlink("report.txt", dir_ / "link.txt");
    Put(target, "old");
    Save((dir_ / "link.txt").string());
    EXPECT_TRUE(fs::is_symlink(dir_ / "link.txt"));
    EXPECT_EQ(Read(target), "Title\r\nGröße \r\n");
    EXPECT_EQ(Entries(), (std::vector<std::string>{"link.txt", "report.txt"}));
}

TEST_F(ReportFileTest, ErrorsLeaveTheOldFileAndNoTemporary) {
    const fs::path readOnly = dir_ / "readonly.txt";
    Put(readOnly, "kept");
    fs::permissions(readOnly, fs::perms(0444));
    fs::create_directory(dir_ / "folder.txt");

    struct Case { std::string target; int32_t number; };
    const Case cases[] = {
        {(dir_ / "missing" / "report.txt").string(), 76},
        {readOnly.string(), 75},
        {(dir_ / "folder.txt").string(), 75},
        {"", 75},
    };
    for (const Case& c : cases) {
        try {
            Save(c.target);
            ADD_FAILURE() << "saved " << c.target;
        } catch (const vb::RuntimeError& e) {
            EXPECT_EQ(e.number(), c.number) << c.target;
            EXPECT_FALSE(e.description().empty());
        }
    }
    EXPECT_EQ(Read(readOnly), "kept");
    EXPECT_EQ(Entries(), (std::vector<std::string>{"folder.txt", "readonly.txt"}));
    EXPECT_TRUE(fs::is_empty(dir_ / "folder.txt"));
}

}  // namespace
}  // namespace wizard
