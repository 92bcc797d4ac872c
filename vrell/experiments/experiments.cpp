// AIExp and TetradRst: one loop over the data sets that reads each true model, has the learned
// model made (by the engine or from the tool's file), scores it, and gathers the report and the
// summary table in memory until the end, when both files are written.
#include "vrell/experiments/experiments.h"

#include <filesystem>
#include <utility>
#include <vector>

#include "platform/vb/runtime_error.h"
#include "platform/vb/strings.h"
#include "wizard_common/model/report_file.h"

namespace vrell {

namespace {

// The divisor of the averages: the experiment is made of 60 data sets.
constexpr vb::Single kDataSetsPerExperiment = 60;
constexpr int kEdgesPerLine = 5;

// What the runtime raises for a missing object, as when no engine or database was given.
vb::RuntimeError ObjectNotSet() { return {91, "Object variable or With block variable not set"}; }

std::string PathIn(const std::string& folder, const std::string& name) {
    return (std::filesystem::path(folder) / name).string();
}

// Lines ending in CR LF, as every text file of the suite.
class TextLines {
public:
    void Line(std::string_view text = {}) {
        text_.append(text);
        text_.append("\r\n");
    }
    const std::string& text() const { return text_; }

private:
    std::string text_;
};

// Edge texts, each followed by five blanks, five to a line; the last line is written even
// when it is empty, so a model without edges still takes one line.
void ListEdges(TextLines& out, const std::vector<std::string>& edges) {
    std::string line;
    int onLine = 0;
    for (const std::string& edge : edges) {
        line += edge + "     ";
        if (++onLine == kEdgesPerLine) {
            out.Line(line);
            line.clear();
            onLine = 0;
        }
    }
    out.Line(line);
}

std::string LinkText(Integer code) {
    switch (code) {
        case 1: return " -> ";
        case 2: return " <- ";
        case 3: return " -- ";
        default: return " <> ";
    }
}

// Reads one of a data set's files; the reader's errors name the file.
template <typename Read>
auto ReadFile(const std::string& path, Read read) {
    vb::TextReader file(path);
    return read(file);
}

// The running sums, in single precision, in the order of the averages line.
struct Sums {
    vb::Single EE = 0, ME = 0, MA = 0, WA = 0;
};

struct Experiment {
    bool adTablesOnly = false;
    std::string reportName, summaryName, learnedHeading;
    // Fills rst (all cells 0) with the learned model of the table, writing what it has to say
    // into the report before the learned model's heading.
    std::function<void(const std::string& table, const TrueModel& truth, vb::Array<Integer>& rst,
                       TextLines& report)>
        learn;
};

ExperimentFiles Run(db::Database& database, const ExperimentFolders& folders, const Experiment& x) {
    TextLines report, summary;
    Sums sums;
    for (const std::string& table : database.TableNames()) {
        // TableNames lists the user's tables only: the database's own are never data sets.
        if (x.adTablesOnly && !table.starts_with("AD")) continue;
        const std::string modelPath = PathIn(folders.dataSets, table + kTrueModelSuffix);
        const TrueModel truth = ReadFile(modelPath, [](vb::TextReader& f) { return ReadTrueModel(f); });
        if (truth.edges == 0) {
            report.Line(table + ": skipped, its true model has no edge.");
            report.Line();
            report.Line();
            continue;
        }

        report.Line(table);
        report.Line("True Model: (Edges " + std::to_string(truth.edges) + ")");
        std::vector<std::string> edges;
        for (Integer i = 0; i < kExperimentFields; ++i)
            for (Integer j = i + 1; j < kExperimentFields; ++j)
                if (truth.parent(i, j) == 1) edges.push_back(truth.names(i) + " -> " + truth.names(j));
        ListEdges(report, edges);

        vb::Array<Integer> rst(vb::To(kExperimentFields), vb::To(kExperimentFields));
        x.learn(table, truth, rst, report);

        report.Line(x.learnedHeading);
        edges.clear();
        for (Integer i = 0; i < kExperimentFields; ++i)
            for (Integer j = i + 1; j < kExperimentFields; ++j)
                if (rst(i, j) > 0) edges.push_back(truth.names(i) + LinkText(rst(i, j)) + truth.names(j));
        ListEdges(report, edges);

        const EdgeCounts n = Score(truth, rst);
        const double E = n.trueEdges;
        const double ME = (n.trueEdges - n.correct) / E;
        const double EE = (n.learned - n.correct) / E;
        const double MA = n.undirected / E;
        const double WA = n.reversed / E;
        report.Line("ME:" + vb::NumberText(ME) + "   EE:" + vb::NumberText(EE) + "     MA:" + vb::NumberText(MA) +
                    "   WA:" + vb::NumberText(WA));
        report.Line();
        report.Line();
        // Each sum is rounded to single precision after every addition.
        sums.ME = vb::Single(sums.ME + ME);
        sums.EE = vb::Single(sums.EE + EE);
        sums.MA = vb::Single(sums.MA + MA);
        sums.WA = vb::Single(sums.WA + WA);

        summary.Line(Columns(table, 3, 1) + "\t" + Columns(table, 4, 2) + "\t" + Columns(table, 6, 1) + "\t" +
                     std::to_string(n.trueEdges - n.correct) + "\t" + std::to_string(n.learned - n.correct) +
                     "\t" + std::to_string(n.undirected) + "\t" + std::to_string(n.reversed));
    }
    report.Line();
    report.Line(vb::NumberText(sums.EE / kDataSetsPerExperiment) + "\t" +
                vb::NumberText(sums.ME / kDataSetsPerExperiment) + "\t" +
                vb::NumberText(sums.MA / kDataSetsPerExperiment) + "\t" +
                vb::NumberText(sums.WA / kDataSetsPerExperiment));

    ExperimentFiles files{PathIn(folders.output, x.reportName), PathIn(folders.output, x.summaryName)};
    wizard::ReplaceFileText(files.report, report.text());
    wizard::ReplaceFileText(files.summary, summary.text());
    return files;
}

}  // namespace

std::string AIExpReportName() { return "AIExp" + vb::NumberText(kExperimentThreshold) + ".txt"; }

EdgeCounts Score(const TrueModel& truth, const vb::Array<Integer>& rst) {
    EdgeCounts n;
    n.trueEdges = truth.edges;
    for (Integer i = 0; i < kExperimentFields; ++i) {
        for (Integer j = i + 1; j < kExperimentFields; ++j) {
            const Integer code = rst(i, j);
            if (code <= 0) continue;
            ++n.learned;
            if (truth.parent(i, j) != 1) continue;
            ++n.correct;
            if (code == 3) ++n.undirected;
            if (code == 2) ++n.reversed;
        }
    }
    return n;
}

ExperimentFiles AIExp(std::shared_ptr<db::Database> database, const DataSetFactory& newDataSet,
                      const ExperimentFolders& folders, bool completeOrdering, const TimeText& now) {
    if (!database) throw ObjectNotSet();
    Experiment x;
    x.adTablesOnly = true;
    x.reportName = AIExpReportName();
    x.summaryName = kAIExpSummaryName;
    x.learnedHeading = "Learned Model:";
    x.learn = [&](const std::string& table, const TrueModel& truth, vb::Array<Integer>& rst, TextLines& report) {
        report.Line("Start time:" + now());
        // Construct runs once per object: a new one for every data set.
        std::shared_ptr<vrellapi::IDataSet> engine = newDataSet();
        if (!engine) throw ObjectNotSet();
        std::string strtb = table;
        Integer numfld = kExperimentFields;
        vb::Array<std::string> arrfldnm = truth.names;
        std::string cntfld;
        bool bord = completeOrdering;
        vb::Array<Integer> po(vb::To(kExperimentFields), vb::To(kExperimentFields));
        vb::Array<Integer> ce = po, fl = po;
        vb::Array<Integer> rt(vb::To(kExperimentFields));
        vb::Array<Integer> lf = rt;
        std::string logi, logo;
        engine->Init(database, strtb, numfld, arrfldnm, cntfld, bord, po, ce, fl, rt, lf, logi, logo);
        vb::Single perc = kExperimentThreshold;
        bool bpres = false;
        engine->Construct(perc, bpres, rst);
        report.Line("End time:" + now());
    };
    return Run(*database, folders, x);
}

ExperimentFiles TetradRst(db::Database& database, const ExperimentFolders& folders) {
    Experiment x;
    x.reportName = kTetradReportName;
    x.summaryName = kTetradSummaryName;
    x.learnedHeading = "Tetrad Model:";
    x.learn = [&](const std::string& table, const TrueModel& truth, vb::Array<Integer>& rst, TextLines&) {
        ReadFile(PathIn(folders.toolResults, table + kTetradResultSuffix),
                 [&](vb::TextReader& f) { ReadTetradResult(f, truth.names, rst); });
    };
    return Run(database, folders, x);
}

}  // namespace vrell
