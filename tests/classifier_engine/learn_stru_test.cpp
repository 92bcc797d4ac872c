// The learning driver with scripted constructions and scores: which models each setting learns,
// from which rows, at which shares and thresholds, and which model is kept; the exact threshold
// trajectory of the single net's search and of the multi-net's scan; cancel and errors. The
// pairwise passes run for real on a small generated table; the table cache is checked against
// a run without it on a larger one.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "classifier_engine/data_engine.h"
#include "platform/vb/strings.h"
#include "tests/classifier_engine/learning_host.h"
#include "tests/support/engine_fixture.h"
#include "tests/support/recording_db.h"

namespace {

using learning_host::LearningTable;
using learning_host::LearnSettings;
using learning_host::SetUpLearning;
using learning_host::Settings;
using vb::Integer;
using vb::Single;

// The class C with two children and a field that tells nothing.
testsupport::Network SmallNetwork() {
    testsupport::Network net;
    const int c = net.AddNode("C", {"YES", "NO"}, {}, {{0.6, 0.4}});
    net.AddNode("X1", {"A", "B"}, {c}, {{0.8, 0.2}, {0.3, 0.7}});
    net.AddNode("X2", {"A", "B"}, {c}, {{0.7, 0.3}, {0.2, 0.8}});
    net.AddNode("X3", {"A", "B"});
    return net;
}

// The links i < j of a layer as "1-2 1-3".
std::string Links(const vb::Array<Integer>& g, Integer layer, Integer n) {
    std::string out;
    for (Integer i = 1; i < n; ++i)
        for (Integer j = Integer(i + 1); j <= n; ++j)
            if (g(layer, i, j) != 0) out += (out.empty() ? "" : " ") + std::to_string(i) + "-" +
                                            std::to_string(j);
    return out;
}

std::string Share(Single s) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%.2f", double(s));
    return buf;
}

// A DataEngine whose constructions come from a script (the links of layer 0 and of every
// per-class layer as functions of the threshold) and whose candidates score by their links.
class ScriptedDriver : public zorvapi::DataEngine {
public:
    std::function<std::string(Single)> bnAt = [](Single) { return std::string("1-2 1-3"); };
    // The per-class networks' links, given whether the subset is fixed.
    std::function<std::string(Single, bool)> mnAt = [](Single, bool subset) {
        return std::string(subset ? "2-3" : "2-3 3-4");
    };
    std::map<std::string, Single> bnScore, mnScore;
    int cancelAtConstruct = 0, cancelAtScore = 0;
    std::function<void()> failAtScore;

    struct Construct {
        Integer layer;
        Single T;
        bool learnRowsOnly;  // the layer's count queries leave out the hold-out rows
        bool subset;
        Single phaseShare, stepShare;
    };
    std::vector<Construct> constructs;
    std::vector<std::string> scored;  // "B 1-2" or "M 2-3" (links of layer 0 or 1)
    std::vector<Single> scoreShares;

    // The constructions in phases: runs of one kind of call (layer 0, or per-class networks with
    // or without the subset) at one share, "Bh/0.35 Msh/0.15 Mah/0.55"; h = learning rows only.
    std::string Phases() const {
        std::string out, last;
        for (const Construct& c : constructs) {
            if (c.layer > 1) continue;
            std::string t = c.layer == 0 ? "B" : (c.subset ? "Ms" : "Ma");
            t += (c.learnRowsOnly ? "h/" : "/") + Share(c.phaseShare);
            if (t != last) out += (out.empty() ? "" : " ") + t;
            last = t;
        }
        return out;
    }
    std::vector<Single> Thresholds(bool multiNet) const {
        std::vector<Single> out;
        for (const Construct& c : constructs)
            if (multiNet ? c.layer == 1 : c.layer == 0) out.push_back(c.T);
        return out;
    }

protected:
    // Writes the layer as ConstructBN does: cells i < j (layer 0 both cells, and LastGraph).
    void ConstructCandidate(Single T) override {
        constructs.push_back({NetIdx, T, WhereClause.find("zorv_holdout=no") != std::string::npos,
                              SubsetFixed, PhaseShare, StepShare});
        if (cancelAtConstruct == int(constructs.size())) {
            Cancel = true;
            Graph(0, 0, 0) = -1;
            return;
        }
        const Integer n = numfld, k = NetIdx;
        for (Integer i = 1; i <= n; ++i)
            for (Integer j = 1; j <= n; ++j) Graph(k, i, j) = 0;
        Graph(k, 0, 0) = 1;
        LastGraph.ReDim(vb::To(n), vb::To(n));
        const std::string links = k == 0 ? bnAt(T) : mnAt(T, SubsetFixed);
        for (size_t p = 0; p + 3 <= links.size(); p += 4) {
            const Integer i = Integer(links[p] - '0'), j = Integer(links[p + 2] - '0');
            Graph(k, i, j) = 1;
            if (k == 0) {
                Graph(0, j, i) = 2;
                LastGraph(i, j) = 1;
                LastGraph(j, i) = 2;
            }
        }
    }
    bool ScoreCandidate(bool multiNet, Single& score) override {
        EXPECT_TRUE(HoldOutSearch) << "candidates are scored on the hold-out rows";
        if (failAtScore) failAtScore();
        const std::string links = Links(Graph, multiNet ? 1 : 0, numfld);
        scored.push_back((multiNet ? "M " : "B ") + links);
        scoreShares.push_back(StepShare);
        if (cancelAtScore == int(scored.size())) {
            Cancel = true;
            return false;
        }
        const auto& table = multiNet ? mnScore : bnScore;
        auto it = table.find(links);
        score = it == table.end() ? 0.5f : it->second;
        return true;
    }
};

class LearnStruTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { table_ = new LearningTable(SmallNetwork(), 240); }
    static void TearDownTestSuite() { delete table_; }
    static LearningTable& table() { return *table_; }

    // Set-up and LearnStru at the host's threshold 2.
    static void Learn(ScriptedDriver& d, const LearnSettings& s) {
        SetUpLearning(d, table(), s);
        Single thr = 2;
        d.LearnStru(thr);
    }

private:
    static LearningTable* table_;
};
LearningTable* LearnStruTest::table_ = nullptr;

std::vector<Integer> Features(zorvapi::DataEngine& d) {
    vb::Array<Integer> f;
    d.GetRelative(f);
    std::vector<Integer> out;
    for (Integer i = 1; i <= f.UBound(); ++i) out.push_back(f(i));
    return out;
}

// The search over all same structures ends at 11.0932 / 0.618: the multi-net scans around it.
constexpr Single kScanStartAroundSearch = 14.0848932f;

TEST_F(LearnStruTest, SettingsDecideModelsRowsSharesAndTheKeptModel) {
    struct Case {
        Integer BMMode;
        bool FixedThr;
        Integer FSM;
        const char* bnLinks;  // the single net's structure at every threshold
        Single sB, sMs, sMa;  // scores of the single net, the subset and the all-fields multi-net
        const char* phases;
        const char* scores;   // the kinds scored, in order
        bool multiNet;
        const char* kept;     // links of layer 1 afterwards ("" = no multi-net layer)
        std::vector<Integer> feature;
    };
    const std::vector<Integer> subset{1, 1, 1, 0}, all{1, 1, 1, 1};
    const Case cases[] = {
        // A single net: from all rows at the host's threshold, or searched on the learning rows.
        {1, true, 2, "1-2 1-3", .6f, .7f, .8f, "B/1.00", "", false, "", subset},
        {1, false, 3, "1-2 1-3", .6f, .7f, .8f, "Bh/1.00", "B", false, "", subset},
        // Multi-net only: over all fields from all rows, nothing scored.
        {2, true, 2, "1-2 1-3", .6f, .7f, .8f, "Ma/1.00", "", true, "2-3 3-4", all},
        // On the single net's subset: the multi-net is the result without being scored.
        {2, true, 1, "1-2 1-3", .6f, .7f, .8f, "Bh/0.35 Msh/0.65", "B", true, "2-3", subset},
        // Subset first, then all fields; the all-fields net must beat the subset's.
        {2, true, 3, "1-2 1-3", .6f, .7f, .65f, "Bh/0.30 Msh/0.15 Mah/0.55", "B M M", true, "2-3",
         subset},
        {2, true, 3, "1-2 1-3", .6f, .7f, .75f, "Bh/0.30 Msh/0.15 Mah/0.55", "B M M", true,
         "2-3 3-4", all},
        // A single net that links every field leaves no subset: the all-fields phase gets 0.7.
        {2, true, 3, "1-2 1-3 1-4", .6f, .7f, .65f, "Bh/0.30 Mah/0.70", "B M", true, "2-3 3-4",
         all},
        // Multi-net only under a searched threshold: kept with any score above 0.
        {2, false, 2, "1-2 1-3", .6f, .3f, .3f, "Bh/0.35 Mah/0.65", "B M", true, "2-3 3-4", all},
        {2, false, 1, "1-2 1-3", .6f, .3f, .3f, "Bh/0.35 Msh/0.65", "B M", true, "2-3", subset},
        // The better of both: a multi-net must score strictly more; a tie keeps the single net.
        {3, true, 2, "1-2 1-3", .6f, .7f, .65f, "Bh/0.35 Mah/0.65", "B M", true, "2-3 3-4", all},
        {3, true, 2, "1-2 1-3", .6f, .7f, .6f, "Bh/0.35 Mah/0.65", "B M", false, "", subset},
        {3, true, 1, "1-2 1-3", .6f, .7f, .8f, "Bh/0.35 Msh/0.65", "B M", true, "2-3", subset},
        {3, true, 1, "1-2 1-3", .6f, .5f, .8f, "Bh/0.35 Msh/0.65", "B M", false, "", subset},
        {3, true, 3, "1-2 1-3", .6f, .7f, .75f, "Bh/0.30 Msh/0.15 Mah/0.55", "B M M", true,
         "2-3 3-4", all},
        {3, true, 3, "1-2 1-3", .6f, .5f, .55f, "Bh/0.30 Msh/0.15 Mah/0.55", "B M M", false, "",
         subset},
        {3, false, 3, "1-2 1-3", .6f, .7f, .65f, "Bh/0.30 Msh/0.15 Mah/0.55", "B M M", true,
         "2-3", subset},
        {3, false, 2, "1-2 1-3", .6f, .7f, .5f, "Bh/0.35 Mah/0.65", "B M", false, "", subset},
        // A mode the host should not give: the rows of the better of both.
        {0, true, 2, "1-2 1-3", .6f, .7f, .65f, "Bh/0.35 Mah/0.65", "B M", true, "2-3 3-4", all},
        {4, false, 1, "1-2 1-3", .6f, .7f, .65f, "Bh/0.35 Msh/0.65", "B M", true, "2-3", subset},
    };
    for (const Case& c : cases) {
        const std::string name = "BMMode " + std::to_string(c.BMMode) +
                                 (c.FixedThr ? " fixed" : " searched") + " FSM " +
                                 std::to_string(c.FSM) + " " + c.bnLinks;
        ScriptedDriver d;
        const std::string bn = c.bnLinks;
        d.bnAt = [bn](Single) { return bn; };
        d.bnScore[bn] = c.sB;
        d.mnScore["2-3"] = c.sMs;
        d.mnScore["2-3 3-4"] = c.sMa;
        Learn(d, Settings(c.BMMode, c.FixedThr, c.FSM));

        EXPECT_EQ(d.Phases(), c.phases) << name;
        std::string kinds;
        for (const std::string& s : d.scored) kinds += (kinds.empty() ? "" : " ") + s.substr(0, 1);
        EXPECT_EQ(kinds, c.scores) << name;
        EXPECT_EQ(d.IsMultiNet(), c.multiNet) << name;
        EXPECT_EQ(Links(d.Graph, 1, d.numfld), c.kept) << name;
        EXPECT_EQ(Links(d.Graph, 0, d.numfld), c.BMMode == 2 && c.FixedThr && c.FSM == 2 ? "" : bn)
            << name;
        EXPECT_EQ(Features(d), c.feature) << name;
        EXPECT_NE(d.Graph(0, 0, 0), -1) << name;
        // The search is over: later tables count every row and no cached table survives.
        EXPECT_FALSE(d.HoldOutSearch) << name;
        EXPECT_FALSE(d.SavedCPTStore.allocated()) << name;
        // Every per-class network is built at the host's threshold, or scanned around the
        // threshold the single net's search found.
        for (Single t : d.Thresholds(true)) {
            if (c.FixedThr) {
                EXPECT_EQ(t, 2.0f) << name;
            }
        }
        if (!c.FixedThr && c.BMMode != 1) {
            ASSERT_FALSE(d.Thresholds(true).empty()) << name;
            EXPECT_EQ(d.BestThreshold, 17.950161f) << name;
            EXPECT_EQ(d.Thresholds(true).front(), kScanStartAroundSearch) << name;
        }
        if (c.FixedThr && c.BMMode == 1) {
            EXPECT_EQ(d.Thresholds(false), std::vector<Single>{2.0f}) << name;
        }
        // Both layers of a multi-net are built each time.
        size_t perClass = 0;
        for (const auto& k : d.constructs) perClass += k.layer == 2;
        EXPECT_EQ(perClass, d.Thresholds(true).size()) << name;
    }
}

// The single net's search: thresholds walk down from 11.0932 by 0.618 until the structure
// changes twice, climb and descend while the scores say so, and finish with a fine scan of
// steps of a sixth of the best threshold. Structures are scripted by threshold bands.
TEST_F(LearnStruTest, ThresholdSearchFollowsItsConstants) {
    // Bands: the structure at T is the first whose lower bound T reaches.
    const std::map<char, std::string> links{
        {'a', "1-2"}, {'b', "1-3"}, {'c', "1-4"}, {'d', "1-2 1-3"}, {'e', "1-2 1-4"},
        {'f', "1-3 1-4"}, {'g', "1-2 1-3 1-4"}, {'h', "1-2 2-3"}, {'k', "1-3 3-4"}};
    struct Case {
        const char* name;
        std::vector<std::pair<double, char>> bands;
        std::map<char, Single> scores;
        std::vector<Single> thresholds;
        const char* scored;
        Single bestThreshold;
        char best;
    };
    const Case cases[] = {
        {"larger thresholds score better: climb, then a fine-scan gain",
         {{24, 'a'}, {20, 'h'}, {12, 'b'}, {8, 'c'}, {5, 'd'}, {3, 'e'}, {1.5, 'f'}, {0, 'g'}},
         {{'a', .81f}, {'h', .83f}, {'b', .82f}, {'c', .80f}, {'d', .79f}, {'e', .78f}},
         {11.0931997f, 6.8555975f, 4.23675919f, 17.950161f, 29.0455685f, 14.0848932f, 17.0765877f,
          20.0682812f, 23.0599747f, 26.0516682f, 29.0433617f},
         "cdebaha", 20.0682812f, 'h'},
        {"smaller thresholds score better: descend until two steps bring no gain",
         {{24, 'a'}, {12, 'b'}, {8, 'c'}, {5, 'd'}, {3, 'e'}, {1.5, 'f'}, {0.9, 'g'}, {0, 'k'}},
         {{'c', .70f}, {'d', .75f}, {'e', .78f}, {'f', .80f}, {'g', .79f}},
         {11.0931997f, 6.8555975f, 4.23675919f, 2.61831713f, 1.61811996f, 0.999998152f,
          2.05450606f, 2.49089217f, 2.92727828f, 3.36366439f, 3.8000505f, 4.23643684f},
         "cdefge", 2.61831713f, 'f'},
        {"one structure down to the floor: no pick, the climb runs to 50",
         {{0, 'a'}},
         {{'a', .6f}},
         {11.0931997f, 6.8555975f, 4.23675919f, 2.61831713f, 1.61811996f, 0.999998152f,
          0.617998838f, 0.381923288f, 0.236028597f, 0.145865679f, 0.0901449919f, 0.0557096042f,
          17.950161f, 29.0455685f, 46.9993019f, 76.0506516f, 14.0848932f, 17.0765877f,
          20.0682812f, 23.0599747f, 26.0516682f, 29.0433617f},
         "a", 17.950161f, 'a'},
        {"only two structures above the floor: the better is picked",
         {{5, 'c'}, {0, 'd'}},
         {{'c', .7f}, {'d', .8f}},
         {11.0931997f, 6.8555975f, 4.23675919f, 2.61831713f, 1.61811996f, 0.999998152f,
          0.617998838f, 0.381923288f, 0.236028597f, 0.145865679f, 0.0901449919f, 0.0557096042f,
          3.32444358f, 4.03057003f, 4.73669672f, 5.44282341f, 6.1489501f, 6.85507679f},
         "cd", 4.23675919f, 'd'},
        {"one structure down to the floor, a worthless one above: the start stays the best",
         {{15, 'b'}, {0, 'a'}},
         {{'a', .6f}, {'b', 0.0f}},
         {11.0931997f, 6.8555975f, 4.23675919f, 2.61831713f, 1.61811996f, 0.999998152f,
          0.617998838f, 0.381923288f, 0.236028597f, 0.145865679f, 0.0901449919f, 0.0557096042f,
          17.950161f, 8.70446396f, 10.5533304f, 12.4021969f, 14.2510633f, 16.0999298f,
          17.9487972f},
         "ab", 11.0931997f, 'a'},
        {"the climb's best: the fine scan starts at best x 0.618 + step, rounded once",
         {{24, 'a'}, {12, 'b'}, {8, 'c'}, {5, 'd'}, {0, 'e'}},
         {{'a', .9f}, {'b', .85f}, {'c', .8f}, {'d', .75f}, {'e', .7f}},
         {11.0931997f, 6.8555975f, 4.23675919f, 17.950161f, 29.0455685f, 46.9993019f, 76.0506516f,
          22.79109f, 27.632019f, 32.4729462f, 37.3138733f, 42.1548004f, 46.9957275f},
         "cdebab", 29.0455685f, 'a'},
        {"equal scores keep the start threshold",
         {{8, 'c'}, {5, 'd'}, {0, 'e'}},
         {{'c', .5f}, {'d', .5f}, {'e', .5f}},
         {11.0931997f, 6.8555975f, 4.23675919f, 17.950161f, 29.0455685f, 46.9993019f, 76.0506516f,
          8.70446396f, 10.5533304f, 12.4021969f, 14.2510633f, 16.0999298f, 17.9487972f},
         "cde", 11.0931997f, 'c'},
    };
    for (const Case& c : cases) {
        ScriptedDriver d;
        auto bands = c.bands;
        d.bnAt = [bands, &links](Single t) {
            for (const auto& [lo, s] : bands)
                if (double(t) >= lo) return links.at(s);
            return std::string();
        };
        for (const auto& [s, v] : c.scores) d.bnScore[links.at(s)] = v;
        std::map<std::string, char> byLinks;
        for (const auto& [s, l] : links) byLinks[l] = s;
        Learn(d, Settings(1, false));

        EXPECT_EQ(d.Thresholds(false), c.thresholds) << c.name;
        std::string scored;
        for (const std::string& s : d.scored) scored += byLinks.at(s.substr(2));
        EXPECT_EQ(scored, c.scored) << c.name;
        EXPECT_EQ(d.BestThreshold, c.bestThreshold) << c.name;
        EXPECT_EQ(d.BestScore, c.scores.at(c.best)) << c.name;
        EXPECT_EQ(Links(d.Graph, 0, d.numfld), links.at(c.best)) << c.name;
        EXPECT_EQ(Links(d.SavedGraph, 0, d.numfld), links.at(c.best)) << c.name;
        for (const auto& k : d.constructs) {
            EXPECT_TRUE(k.learnRowsOnly) << c.name;
            EXPECT_EQ(k.stepShare, 0.03f) << c.name;
        }
        for (Single s : d.scoreShares) EXPECT_EQ(s, 0.012f) << c.name;
    }
}

// A second run on the same object owes nothing to the first one's best score: with one structure
// at every threshold the climb picks it again, now at its lower score.
TEST_F(LearnStruTest, ASecondRunStartsFromNoBestScore) {
    ScriptedDriver d;
    d.bnAt = [](Single) { return std::string("1-2"); };
    for (Single s : {.6f, .5f}) {
        d.bnScore["1-2"] = s;
        Learn(d, Settings(1, false));
        EXPECT_EQ(d.BestScore, s);
        EXPECT_EQ(d.BestThreshold, 17.950161f);
    }
}

// The multi-net's scan around the single net's threshold: a structure equal to the last or the
// best one scored keeps its score, and two falling scores end the scan.
TEST_F(LearnStruTest, MultiNetScanAroundTheSearchedThreshold) {
    ScriptedDriver d;
    d.bnAt = [](Single) { return std::string("1-2"); };  // the search ends at 17.950161
    d.bnScore["1-2"] = .6f;
    // 14.08 x, 17.08 y, 20.07 x again (differs from both the last and the best), 23.06 y (the
    // best: not scored), 26.05 z.
    d.mnAt = [](Single t, bool) {
        const double v = t;
        if (v < 15) return std::string("2-3");
        if (v < 18) return std::string("2-4");
        if (v < 21) return std::string("2-3");
        if (v < 24) return std::string("2-4");
        return std::string("3-4");
    };
    d.mnScore = {{"2-3", .7f}, {"2-4", .75f}, {"3-4", .65f}};
    Learn(d, Settings(3, false, 2));

    EXPECT_EQ(d.Thresholds(true), (std::vector<Single>{14.0848932f, 17.0765858f, 20.0682793f,
                                                        23.0599728f, 26.0516663f}));
    EXPECT_EQ(d.scored, (std::vector<std::string>{"B 1-2", "M 2-3", "M 2-4", "M 2-3", "M 3-4"}));
    EXPECT_TRUE(d.IsMultiNet());
    EXPECT_EQ(d.BestScore, .75f);
    EXPECT_EQ(Links(d.Graph, 1, d.numfld), "2-4");
    EXPECT_EQ(Links(d.Graph, 2, d.numfld), "2-4");
    EXPECT_EQ(Links(d.Graph, 0, d.numfld), "1-2");
}

// A multi-net without links at every threshold is still a candidate: the scan scores it once.
TEST_F(LearnStruTest, MultiNetScanScoresAStructureWithoutLinks) {
    ScriptedDriver d;
    d.bnAt = [](Single) { return std::string("1-2"); };
    d.mnAt = [](Single, bool) { return std::string(); };
    d.mnScore[""] = .4f;
    Learn(d, Settings(2, false, 2));
    EXPECT_EQ(d.scored, (std::vector<std::string>{"B 1-2", "M "}));
    EXPECT_TRUE(d.IsMultiNet());
    EXPECT_EQ(Features(d), (std::vector<Integer>{1, 1, 1, 1}));
}

TEST_F(LearnStruTest, CancelReturnsNormallyAndMarksTheGraph) {
    struct Case {
        const char* name;
        LearnSettings s;
        int construct, score, event;  // where the host cancels (0 = not there)
    };
    const Case cases[] = {
        {"the only construction", Settings(1, true), 1, 0, 0},
        {"the single net's pairwise pass", Settings(3, true, 3), 0, 0, 9},
        {"scoring the single net", Settings(3, false, 3), 0, 1, 0},
        {"the single net's search", Settings(2, false, 1), 5, 0, 0},
        {"the first multi-net", Settings(3, true, 3), 2, 0, 0},
        {"scoring the second multi-net", Settings(3, true, 3), 0, 3, 0},
    };
    for (const Case& c : cases) {
        ScriptedDriver d;
        testsupport::ProgressRecorder host(c.event);
        d.SetEventSink(&host);
        d.cancelAtConstruct = c.construct;
        d.cancelAtScore = c.score;
        LearnSettings s = c.s;
        s.logo = table().dir.Path("cancelled.log");
        std::filesystem::remove(s.logo);
        EXPECT_NO_THROW(Learn(d, s)) << c.name;
        EXPECT_EQ(d.Graph(0, 0, 0), -1) << c.name;
        EXPECT_FALSE(std::filesystem::exists(s.logo)) << c.name << ": no log after a cancel";
        EXPECT_FALSE(d.HoldOutSearch) << c.name;
    }
}

TEST_F(LearnStruTest, ErrorsOfTheStepsComeBackWithTheEnginesSource) {
    ScriptedDriver d;
    d.failAtScore = [] { throw db::Error(3061, "Too few parameters. Expected 1."); };
    try {
        Learn(d, Settings(3, true, 2));
        FAIL() << "no error";
    } catch (const com::Error& e) {
        EXPECT_EQ(e.number(), 3061);
        EXPECT_EQ(e.source(), "DataEngine Object");
        EXPECT_EQ(e.description(), "Too few parameters. Expected 1.");
    }
    EXPECT_FALSE(d.HoldOutSearch);
    EXPECT_FALSE(d.SavedCPTStore.allocated());
}

// The real constructions and scores on a table of a few hundred rows, once with the table cache
// and once with it emptied before every candidate: the tables and the scores must not differ,
// and the cache must actually spare queries.
class CacheCheckingDriver : public zorvapi::DataEngine {
public:
    std::shared_ptr<testsupport::RecordingDatabase> rdb;
    int candidates = 0;
    int cachedQueries[2] = {0, 0}, uncachedQueries[2] = {0, 0};  // single net, multi-net
    std::vector<std::pair<Single, Single>> scores;  // with the cache, without it

protected:
    bool ScoreCandidate(bool multiNet, Single& score) override {
        ++candidates;
        int before = rdb->CountQueries();
        if (!DataEngine::ScoreCandidate(multiNet, score)) return false;
        cachedQueries[multiNet] += rdb->CountQueries() - before;
        const auto store = CPTStore;
        const auto index = CPTIndex;
        auto savedIndex = SavedCPTIndex;
        auto savedStore = SavedCPTStore;
        auto savedParents = SavedParents;
        auto savedValid = SavedValid;

        ShrinkCPTCache();  // no cached table and no seeded prior: everything is counted
        Single fresh = 0;
        before = rdb->CountQueries();
        EXPECT_TRUE(DataEngine::ScoreCandidate(multiNet, fresh));
        uncachedQueries[multiNet] += rdb->CountQueries() - before;
        EXPECT_TRUE(CPTStore == store) << "candidate " << candidates;
        EXPECT_TRUE(CPTIndex == index) << "candidate " << candidates;
        scores.emplace_back(score, fresh);

        // The cached run goes on as if nothing had happened.
        SavedCPTIndex = std::move(savedIndex);
        SavedCPTStore = std::move(savedStore);
        SavedParents = std::move(savedParents);
        SavedValid = std::move(savedValid);
        return true;
    }
};

TEST(LearnStruCache, CachedTablesScoreAsFreshOnes) {
    testsupport::RandomNetworkOptions opt;
    opt.nodes = 6;
    opt.strength = 0.8;
    LearningTable t(testsupport::RandomNetwork(opt, 11), 900);
    auto rdb = std::make_shared<testsupport::RecordingDatabase>(t.db);
    t.db = rdb;
    learning_host::InFolder here(t.dir.path());
    for (bool roc : {false, true}) {
        CacheCheckingDriver d;
        d.rdb = rdb;
        LearnSettings s = Settings(3, false, 3);
        s.tmpROC = roc;
        SetUpLearning(d, t, s);
        Single thr = 1;
        d.LearnStru(thr);
        ASSERT_GT(d.candidates, 3);
        for (const auto& [cached, fresh] : d.scores) EXPECT_EQ(cached, fresh);
        for (int mn : {0, 1})
            EXPECT_LT(d.cachedQueries[mn], d.uncachedQueries[mn]) << "the cache spares no query";
    }
}

// Every candidate's hold-out score, as the search computes it from its coded copy of the
// hold-out rows (each set of rows that agree on the fields the model reads classified once),
// against the rows read and classified one by one through a recordset.
class RowByRowCheckingDriver : public zorvapi::DataEngine {
public:
    int checked[2] = {0, 0};  // single net, multi-net

protected:
    bool ScoreCandidate(bool multiNet, Single& score) override {
        if (!DataEngine::ScoreCandidate(multiNet, score)) return false;
        EXPECT_EQ(score, RowByRow(multiNet)) << (multiNet ? "multi-net " : "single net ") << checked[multiNet];
        ++checked[multiNet];
        return true;
    }

private:
    Single RowByRow(bool multiNet) {
        auto rs = Db->OpenRecordset("select * from " + TableName + " where zorv_holdout=yes");
        std::vector<int> column(size_t(numfld) + 1, -1);
        for (Integer j = 1; j <= numfld; ++j) {
            const bool reads = j == 1 || (!multiNet ? Feature(j) == 1
                                                    : FF(j) >= 2 && FF(j) <= MaxVlus &&
                                                          (Feature(j) == 1 || !SubsetFixed));
            for (int k = 0; reads && k < rs->FieldCount(); ++k)
                if (vb::UCase(rs->Fields(k).Name) == vb::UCase(FieldNames(j))) column[size_t(j)] = k;
        }
        std::vector<Integer> actual;
        std::vector<std::vector<Single>> posteriors;
        long cases = 0, correct = 0;
        for (; !rs->Eof(); rs->MoveNext()) {
            vb::Array<Integer> values(vb::To(numfld));
            for (Integer j = 2; j <= numfld; ++j)
                if (column[size_t(j)] >= 0) {
                    db::Value cell = rs->Fields(column[size_t(j)]).value();
                    values(j) = GetVluIdx(j, cell);
                }
            db::Value classCell = rs->Fields(column[1]).value();
            const Integer a = GetVluIdx(1, classCell);
            const Integer p = multiNet ? InferenceMN(values) : InferenceBN(values);
            ++cases;
            if (p > 0 && a == p) ++correct;
            std::vector<Single> probs;
            NormalisedPosterior(probs);
            actual.push_back(a);
            posteriors.push_back(probs);
        }
        if (!tmpROC) return Single(double(correct) / double(cases));
        ActualClass.ReDim(vb::To(cases));
        CasePosterior.ReDim(vb::To(cases), vb::To(FF(1)));
        CaseOrder.ReDim(vb::To(cases));
        for (long n = 1; n <= cases; ++n) {
            ActualClass(n) = actual[size_t(n - 1)];
            for (Integer c = 1; c <= FF(1); ++c) CasePosterior(n, c) = posteriors[size_t(n - 1)][size_t(c - 1)];
        }
        return AllROC();
    }
};

TEST(LearnStruScores, TheCodedHoldOutCopyScoresAsRowByRow) {
    testsupport::RandomNetworkOptions opt;
    opt.nodes = 7;
    opt.strength = 0.7;
    // Few fields of few values over many rows: most hold-out rows repeat another one.
    LearningTable t(testsupport::RandomNetwork(opt, 5), 1500);
    learning_host::InFolder here(t.dir.path());
    for (bool roc : {false, true}) {
        RowByRowCheckingDriver d;
        LearnSettings s = Settings(3, false, 3);
        s.tmpROC = roc;
        SetUpLearning(d, t, s);
        Single thr = 1;
        d.LearnStru(thr);
        EXPECT_GT(d.checked[0], 2) << roc;
        EXPECT_GT(d.checked[1], 0) << roc;
    }
}

}  // namespace
