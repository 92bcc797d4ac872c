// Times the import of cause-and-effect pairs from a network file at a thousand fields: a BIF 0.15
// file of a generated acyclic network (fixed seed) is scanned and replayed on the knowledge
// model alone, then imported through the knowledge page as the Import button does, on the
// causes-and-effects tab in front and with the lists drawn afterwards. Also times removing a
// pair at that size (the closure is worked out again), in the model and through the page's
// remove button, and checks that both ways end with the same pairs and closure.
//
//     knowledge_import_bench [--nodes 1000] [--links 1400] [--rounds 3] [--data DIR]
//
// The network: the nodes in a shuffled order, each taking up to four parents among the nodes
// before it in that order, most of them close by, so that chains run deep and the closure is
// dense, as in real diagnostic networks. The file is written to DIR (default: bench-data under
// the current folder). Runs offscreen (QT_QPA_PLATFORM=offscreen unless set).
#include <fmt/format.h>

#include <time.h>

#include <QApplication>
#include <QListWidget>
#include <QPixmap>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <numeric>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "wizard_common/knowledge_page.h"
#include "wizard_common/model/import_scanner.h"
#include "wizard_common/model/knowledge_model.h"
#include "wizard_common/services.h"

namespace {

using wizard::knowledge::KnowledgeModel;
using wizard::knowledge::KnowledgeRules;
using wizard::knowledge::PairTab;

struct Options {
    int nodes = 1000;
    int links = 1400;
    int rounds = 3;
    std::string data = "bench-data";
};

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// The processor time of this process: on a machine shared with other builds it varies less
// than the wall time.
double CpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

std::string NodeName(int i) { return fmt::format("Node{:04d}", i); }

// The network's parents per node, node i named NodeName(i). The topological order is a shuffle
// of the names, so field order and causal order differ.
std::vector<std::vector<int>> MakeNetwork(int nodes, int links) {
    std::mt19937 rng(46);
    std::vector<int> order(static_cast<size_t>(nodes));
    std::iota(order.begin(), order.end(), 0);
    std::shuffle(order.begin(), order.end(), rng);
    std::vector<std::vector<int>> parents(static_cast<size_t>(nodes));
    int made = 0;
    // Each pass gives every node after the first one more parent with the chance that brings
    // the links to the target; a node keeps at most four.
    while (made < links) {
        for (int pos = 1; pos < nodes && made < links; ++pos) {
            std::vector<int>& ps = parents[size_t(order[size_t(pos)])];
            if (ps.size() >= 4 || rng() % 1000 >= 1000u * unsigned(links) / unsigned(2 * nodes)) continue;
            // Mostly a near predecessor (deep chains), now and then any earlier node.
            const int span = rng() % 5 == 0 ? pos : std::min(pos, 20);
            const int p = order[size_t(pos - 1 - int(rng() % unsigned(span)))];
            if (std::find(ps.begin(), ps.end(), p) != ps.end()) continue;
            ps.push_back(p);
            ++made;
        }
    }
    return parents;
}

std::string WriteBif(const std::vector<std::vector<int>>& parents, const std::string& folder) {
    std::filesystem::create_directories(folder);
    const std::string path = folder + fmt::format("/knowledge_{}.bif", parents.size());
    std::ofstream out(path, std::ios::binary);
    out << "network generated {\n}\n";
    for (size_t i = 0; i < parents.size(); ++i)
        out << "variable " << NodeName(int(i)) << " {\n  type discrete [ 2 ] { yes, no };\n}\n";
    for (size_t i = 0; i < parents.size(); ++i) {
        out << "probability ( " << NodeName(int(i));
        for (size_t k = 0; k < parents[i].size(); ++k) out << (k == 0 ? " | " : ", ") << NodeName(parents[i][k]);
        out << " ) {\n  table";
        for (size_t k = 0; k < (size_t(2) << parents[i].size()); ++k) out << (k ? ", " : " ") << "0.5";
        out << ";\n}\n";
    }
    return path;
}

// Services that answer the import: the file dialog names the network, boxes are counted.
struct BenchPrompts : wizard::Prompts {
    std::vector<QString> shown;
    void Message(QWidget*, const QString& text, const QString&, wizard::Icon) override { shown.push_back(text); }
    bool Ask(QWidget*, const QString&, const QString&, wizard::Icon) override { return true; }
};
struct BenchFiles : wizard::FileDialogs {
    QString answer;
    QString Open(QWidget*, const QString&, const QString&, const QString&) override { return answer; }

protected:
    wizard::SaveChoice AskSaveName(QWidget*, const QString&, const QString&, const QString&) override { return {}; }
};
struct BenchShell : wizard::Shell {
    bool OpenDocument(const QString&) override { return false; }
    bool StartProgram(const QString&) override { return false; }
    QDateTime Now() override { return QDateTime::currentDateTime(); }
};
struct BenchPrinter : wizard::Printer {
    bool Print(QWidget*, const wizard::PrintJob&) override { return false; }
};

// The model's closure as a set of cells, to compare two ways of reaching it.
std::set<std::pair<int, int>> ClosureCells(const KnowledgeModel& m) {
    std::set<std::pair<int, int>> cells;
    for (int i = 0; i < m.fieldCount(); ++i)
        for (int j = 0; j < m.fieldCount(); ++j)
            if (m.ceclz()(i, j)) cells.insert({i, j});
    return cells;
}

int Run(const Options& o) {
    const std::vector<std::vector<int>> parents = MakeNetwork(o.nodes, o.links);
    const std::string path = WriteBif(parents, o.data);
    std::vector<std::string> fields;
    for (int i = 0; i < o.nodes; ++i) fields.push_back(NodeName(i));
    std::printf("network: %d nodes, %d links, %s\n", o.nodes, o.links, path.c_str());

    // The model alone: the scan and the replay of its pairs through AddPair.
    KnowledgeModel reference(KnowledgeRules::Vrell);
    for (int round = 0; round < o.rounds; ++round) {
        KnowledgeModel m(KnowledgeRules::Vrell);
        m.Reset(fields);
        const auto t0 = std::chrono::steady_clock::now();
        const double c0 = CpuSeconds();
        const auto scan = wizard::knowledge::ScanImportFile(path, fields, fields);
        const double scanned = Seconds(t0);
        const int count = wizard::knowledge::ApplyImport(m, scan);
        const double total = Seconds(t0);
        std::printf("model: scan %.3f s, scan + %d pairs %.3f s (cpu %.3f s)\n", scanned, count, total,
                    CpuSeconds() - c0);
        if (round == 0) reference = m;
    }

    // Removing a pair from the middle of the list.
    {
        KnowledgeModel m = reference;
        const auto t0 = std::chrono::steady_clock::now();
        const double c0 = CpuSeconds();
        m.RemovePair(PairTab::CausesEffects, int(m.pairs(PairTab::CausesEffects).size() / 2));
        std::printf("model: remove one of %zu pairs %.4f s (cpu %.4f s)\n",
                    reference.pairs(PairTab::CausesEffects).size(), Seconds(t0), CpuSeconds() - c0);
    }

    // The page, as the Import button runs it, and the lists drawn.
    BenchPrompts prompts;
    BenchFiles files;
    BenchShell shell;
    BenchPrinter printer;
    files.answer = QString::fromStdString(path);
    QString imexPath;
    int failures = 0;
    for (int round = 0; round < o.rounds; ++round) {
        KnowledgeModel m(KnowledgeRules::Vrell);
        wizard::KnowledgePage page(m, wizard::Services{prompts, files, shell, printer}, "Bench", imexPath);
        page.resize(900, 600);
        page.show();
        QApplication::processEvents();
        const auto filling = std::chrono::steady_clock::now();
        page.Fill(fields);  // entering the page moving forward
        page.SSTab1->setCurrentIndex(int(PairTab::CausesEffects));
        QApplication::processEvents();
        const double filled = Seconds(filling);
        prompts.shown.clear();
        const auto t0 = std::chrono::steady_clock::now();
        const double c0 = CpuSeconds();
        page.cmdImport_Click();
        const double imported = Seconds(t0);
        QApplication::processEvents();
        const QPixmap drawn = page.grab();  // paints the tab with its lists as the screen would
        const double total = Seconds(t0), cpu = CpuSeconds() - c0;
        std::printf("page: fill %.3f s; import %.3f s, with the lists drawn %.3f s (cpu %.3f s; %d pair rows, %zu "
                    "boxes: %s)\n",
                    filled, imported, total, cpu, page.lstrst[1]->count(), prompts.shown.size(),
                    prompts.shown.empty() ? "" : prompts.shown.back().toStdString().c_str());
        if (m.pairs(PairTab::CausesEffects) != reference.pairs(PairTab::CausesEffects) ||
            ClosureCells(m) != ClosureCells(reference) || drawn.isNull()) {
            std::printf("page: the page's import differs from the model's\n");
            ++failures;
        }
        // The remove button on a pair in the middle of the list, and the lists drawn again.
        page.lstrst[1]->setCurrentRow(page.lstrst[1]->count() / 2);
        const auto t1 = std::chrono::steady_clock::now();
        const double c1 = CpuSeconds();
        page.cmdleft2_Click();
        QApplication::processEvents();
        page.grab();
        std::printf("page: remove one pair, lists drawn %.3f s (cpu %.3f s)\n", Seconds(t1), CpuSeconds() - c1);
    }
    return failures == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    Options o;
    for (int i = 1; i < argc; ++i) {
        const auto value = [&] {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "%s needs a value\n", argv[i]);
                std::exit(2);
            }
            return argv[++i];
        };
        if (!std::strcmp(argv[i], "--nodes")) o.nodes = std::atoi(value());
        else if (!std::strcmp(argv[i], "--links")) o.links = std::atoi(value());
        else if (!std::strcmp(argv[i], "--rounds")) o.rounds = std::atoi(value());
        else if (!std::strcmp(argv[i], "--data")) o.data = value();
        else {
            std::fprintf(stderr, "usage: knowledge_import_bench [--nodes N] [--links N] [--rounds N] [--data DIR]\n");
            return 2;
        }
    }
    if (o.nodes < 2 || o.links < 0 || o.links > o.nodes * 3 || o.rounds < 1) {
        std::fprintf(stderr, "knowledge_import_bench: nodes at least 2, links at most three per node\n");
        return 2;
    }
    return Run(o);
}
