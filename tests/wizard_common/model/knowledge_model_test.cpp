// The knowledge page's model: random edits keep relations, closures and pair lists in step;
// the page's named cases; zorv's class-field rules against vrell's copy; the check on leaving
// the page; and the arrays the two engines receive.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "wizard_common/model/knowledge_model.h"

namespace {

using namespace wizard::knowledge;
using What = PairEdit::What;

std::vector<std::string> Names(int n) {
    std::vector<std::string> v;
    for (int i = 0; i < n; ++i) v.push_back("F" + std::to_string(i));
    return v;
}

KnowledgeModel Model(KnowledgeRules rules, std::vector<std::string> names) {
    KnowledgeModel m(rules);
    m.Reset(std::move(names));
    return m;
}

const PairTab kTabs[] = {PairTab::PartialOrdering, PairTab::CausesEffects, PairTab::ForbiddenLinks};

// Reachability by depth-first search, independent of the model's Warshall.
std::vector<std::vector<bool>> Reach(const std::vector<PairRow>& pairs, int n) {
    std::vector<std::vector<int>> next(static_cast<size_t>(n));
    for (const PairRow& p : pairs) next[size_t(p.first)].push_back(p.second);
    std::vector<std::vector<bool>> reach(static_cast<size_t>(n), std::vector<bool>(static_cast<size_t>(n)));
    for (int s = 0; s < n; ++s) {
        std::vector<int> stack = next[size_t(s)];
        while (!stack.empty()) {
            const int v = stack.back();
            stack.pop_back();
            if (reach[size_t(s)][size_t(v)]) continue;
            reach[size_t(s)][size_t(v)] = true;
            for (int w : next[size_t(v)]) stack.push_back(w);
        }
    }
    return reach;
}

const char* Separator(PairTab tab) {
    return tab == PairTab::PartialOrdering ? "  >  " : tab == PairTab::CausesEffects ? "  ->  " : "  -X-  ";
}

// Every invariant the page relies on, checked from the pair lists outward.
void ExpectConsistent(const KnowledgeModel& m) {
    const int n = m.fieldCount();
    for (PairTab tab : kTabs) {
        const auto& rows = m.pairs(tab);
        std::set<std::pair<int, int>> cells;
        for (const PairRow& p : rows) {
            EXPECT_EQ(p.text, m.fieldNames()[size_t(p.first)] + Separator(tab) + m.fieldNames()[size_t(p.second)]);
            cells.insert({p.first, p.second});
            if (tab == PairTab::ForbiddenLinks) cells.insert({p.second, p.first});
        }
        const auto& rel = tab == PairTab::PartialOrdering ? m.porel() : tab == PairTab::CausesEffects ? m.cerel() : m.flrel();
        for (int a = 0; a <= n; ++a)
            for (int b = 0; b <= n; ++b) ASSERT_EQ(rel(a, b), cells.count({a, b}) ? 1 : 0) << a << "," << b;
        // A box is on exactly while its list holds pairs (no box is clicked in the random run).
        const KnowledgeBox box = tab == PairTab::PartialOrdering ? KnowledgeBox::PartialOrdering
                                 : tab == PairTab::CausesEffects ? KnowledgeBox::CausesEffects
                                                                 : KnowledgeBox::ForbiddenLinks;
        EXPECT_EQ(m.box(box), !rows.empty());
        if (tab == PairTab::ForbiddenLinks) continue;
        const auto reach = Reach(rows, n);
        const auto& clz = tab == PairTab::PartialOrdering ? m.poclz() : m.ceclz();
        for (int a = 0; a < n; ++a) {
            ASSERT_EQ(clz(a, a), 0) << "cycle through " << a;
            for (int b = 0; b < n; ++b) ASSERT_EQ(clz(a, b) == 1, bool(reach[size_t(a)][size_t(b)])) << a << "," << b;
        }
    }
    EXPECT_EQ(m.preserveEnabled(), m.box(KnowledgeBox::CausesEffects));
    EXPECT_EQ(m.tabAvailable(0), !m.box(KnowledgeBox::PartialOrdering));
}

TEST(KnowledgeModel, RandomEditsKeepListsRelationsAndClosuresInStep) {
    for (KnowledgeRules rules : {KnowledgeRules::Zorv, KnowledgeRules::Vrell}) {
        const int n = 8;
        KnowledgeModel m = Model(rules, Names(n));
        std::mt19937 rng(18);
        int added = 0, refused = 0, removed = 0;
        for (int step = 0; step < 300; ++step) {
            const PairTab tab = kTabs[rng() % 3];
            const auto before = m.pairs(tab);
            if (rng() % 3 == 0) {
                const int row = int(rng() % (before.size() + 1)) - 1;  // -1: no selection
                const PairEdit e = m.RemovePair(tab, row);
                EXPECT_EQ(e.what, row < 0 ? What::Ignored : What::Removed);
                if (e.what == What::Removed) {
                    ++removed;
                    EXPECT_EQ(m.pairs(tab).size(), before.size() - 1);
                    const int left = int(m.pairs(tab).size());
                    EXPECT_EQ(e.select, left == 0 ? -1 : std::min(row, left - 1));
                }
            } else {
                const int a = int(rng() % n), b = int(rng() % n);
                const PairEdit e = m.AddPair(tab, a, b);
                const bool loop = tab != PairTab::ForbiddenLinks && a != b && Reach(before, n)[size_t(b)][size_t(a)];
                if (e.what == What::Added) {
                    ++added;
                    EXPECT_FALSE(loop);
                    EXPECT_EQ(m.pairs(tab).back(), (PairRow{a, b, m.pairs(tab).back().text}));
                    EXPECT_EQ(e.row, int(before.size()));
                } else {
                    EXPECT_EQ(m.pairs(tab), before);
                }
                if (e.what == What::Refused && e.message->text == kNoLoops) {
                    ++refused;
                    EXPECT_TRUE(loop);
                }
                if (rules == KnowledgeRules::Zorv && tab != PairTab::ForbiddenLinks && b == 0) {
                    EXPECT_NE(e.what, What::Added);
                }
            }
            ExpectConsistent(m);
            if (HasFatalFailure()) return;
        }
        // The run must have exercised every path.
        EXPECT_GT(added, 30);
        EXPECT_GT(refused, 5);
        EXPECT_GT(removed, 30);
    }
}

// The closure the adds keep up in place against a fresh one of the relation after every step,
// and each refusal against the fresh closure's answer, over more fields than one word of bits
// holds. The pairs draw from a small core of fields, so that chains, implied pairs, refused
// loops and removals that cut a path all come up.
TEST(KnowledgeModel, ClosureKeptUpByAddsEqualsAFreshClosure) {
    for (const int n : {6, 70}) {
        SCOPED_TRACE(n);
        KnowledgeModel m = Model(KnowledgeRules::Vrell, Names(n));
        std::mt19937 rng(static_cast<unsigned>(n));
        vb::Array<vb::Integer> fresh(vb::To(n), vb::To(n));
        int loops = 0, implied = 0, removed = 0;
        for (int step = 0; step < 600; ++step) {
            const PairTab tab = step % 2 ? PairTab::CausesEffects : PairTab::PartialOrdering;
            const auto& rel = tab == PairTab::CausesEffects ? m.cerel() : m.porel();
            const auto& clz = tab == PairTab::CausesEffects ? m.ceclz() : m.poclz();
            const size_t pairs = m.pairs(tab).size();
            if (rng() % 4 == 0 && pairs > 0) {
                m.RemovePair(tab, int(rng() % pairs));
                ++removed;
            } else {
                // Most pairs among a dozen fields spread over the words, a few anywhere.
                const auto pick = [&] {
                    return rng() % 5 ? int((rng() % 12) * unsigned(n) / 12) : int(rng() % unsigned(n));
                };
                const int a = pick(), b = pick();
                TransitiveClosure(rel, fresh, n);
                const bool loop = a != b && fresh(b, a) == 1;
                if (a != b && rel(a, b) == 0 && fresh(a, b) == 1) ++implied;
                const PairEdit e = m.AddPair(tab, a, b);
                EXPECT_EQ(e.what == What::Refused, loop) << a << "->" << b;
                if (loop) {
                    ++loops;
                    EXPECT_EQ(e.message, (Message{kNoLoops, Icon::Warning}));
                    EXPECT_EQ(m.pairs(tab).size(), pairs);
                }
            }
            TransitiveClosure(rel, fresh, n);
            for (int i = 0; i <= n; ++i)
                for (int j = 0; j <= n; ++j) ASSERT_EQ(clz(i, j), fresh(i, j)) << "step " << step << ": " << i << "," << j;
        }
        EXPECT_GT(loops, 20);
        EXPECT_GT(implied, 5);
        EXPECT_GT(removed, 50);
    }
}

TEST(KnowledgeModel, PairListsHaveNoFixedLimit) {
    // 46 fields have 1035 possible forbidden links, more than any fixed list of 1001.
    const int n = 46;
    KnowledgeModel m = Model(KnowledgeRules::Vrell, Names(n));
    for (int a = 0; a < n; ++a)
        for (int b = a + 1; b < n; ++b) ASSERT_EQ(m.AddPair(PairTab::ForbiddenLinks, a, b).what, What::Added);
    ASSERT_EQ(m.pairs(PairTab::ForbiddenLinks).size(), 1035u);
    EXPECT_EQ(m.pairs(PairTab::ForbiddenLinks)[1034], (PairRow{44, 45, "F44  -X-  F45"}));
    EXPECT_EQ(m.RemovePair(PairTab::ForbiddenLinks, 1020).what, What::Removed);
    ExpectConsistent(m);
}

// The named cases of the page, each a short script on fields A, B, C, D.
struct NamedCase {
    const char* name;
    KnowledgeRules rules;
    std::function<void(KnowledgeModel&)> run;
};

const NamedCase kNamedCases[] = {
    {"reversed partial-ordering pair closes a loop", KnowledgeRules::Vrell,
     [](KnowledgeModel& m) {
         EXPECT_EQ(m.AddPair(PairTab::PartialOrdering, 0, 1).what, What::Added);
         const PairEdit e = m.AddPair(PairTab::PartialOrdering, 1, 0);
         EXPECT_EQ(e.what, What::Refused);
         EXPECT_EQ(e.message, (Message{kNoLoops, Icon::Warning}));
     }},
    {"pair closing a chain into a loop", KnowledgeRules::Vrell,
     [](KnowledgeModel& m) {
         m.AddPair(PairTab::PartialOrdering, 0, 1);
         m.AddPair(PairTab::PartialOrdering, 1, 2);
         EXPECT_EQ(m.AddPair(PairTab::PartialOrdering, 2, 0).message, (Message{kNoLoops, Icon::Warning}));
         EXPECT_EQ(m.pairs(PairTab::PartialOrdering).size(), 2u);
     }},
    {"same cause-and-effect pair twice", KnowledgeRules::Vrell,
     [](KnowledgeModel& m) {
         m.AddPair(PairTab::CausesEffects, 0, 1);
         const PairEdit e = m.AddPair(PairTab::CausesEffects, 0, 1);
         EXPECT_EQ(e.what, What::Ignored);
         EXPECT_FALSE(e.message);
         EXPECT_EQ(m.pairs(PairTab::CausesEffects).size(), 1u);
     }},
    {"a field with itself, no selection", KnowledgeRules::Vrell,
     [](KnowledgeModel& m) {
         EXPECT_EQ(m.AddPair(PairTab::CausesEffects, 2, 2).what, What::Ignored);
         EXPECT_EQ(m.AddPair(PairTab::CausesEffects, -1, 2).what, What::Ignored);
         EXPECT_EQ(m.RemovePair(PairTab::CausesEffects, -1).what, What::Ignored);
         EXPECT_FALSE(m.box(KnowledgeBox::CausesEffects));
     }},
    {"forbidden link both ways", KnowledgeRules::Vrell,
     [](KnowledgeModel& m) {
         m.AddPair(PairTab::ForbiddenLinks, 0, 1);
         EXPECT_EQ(m.AddPair(PairTab::ForbiddenLinks, 1, 0).what, What::Ignored);
         EXPECT_EQ(m.flrel()(1, 0), 1);
         m.RemovePair(PairTab::ForbiddenLinks, 0);
         EXPECT_EQ(m.flrel()(0, 1), 0);
         EXPECT_EQ(m.flrel()(1, 0), 0);
     }},
    {"first pair ticks its box without a message, tab 0 unavailable", KnowledgeRules::Vrell,
     [](KnowledgeModel& m) {
         const PairEdit e = m.AddPair(PairTab::PartialOrdering, 0, 1);
         EXPECT_FALSE(e.message);
         EXPECT_EQ(e.select, 0);
         EXPECT_TRUE(m.box(KnowledgeBox::PartialOrdering));
         EXPECT_FALSE(m.tabAvailable(0));
         m.RemovePair(PairTab::PartialOrdering, 0);
         EXPECT_FALSE(m.box(KnowledgeBox::PartialOrdering));
         EXPECT_TRUE(m.tabAvailable(0));
     }},
    {"removing the last cause-and-effect pair disables chkpreserve", KnowledgeRules::Vrell,
     [](KnowledgeModel& m) {
         EXPECT_FALSE(m.preserveEnabled());
         m.AddPair(PairTab::CausesEffects, 0, 1);
         m.AddPair(PairTab::CausesEffects, 2, 3);
         EXPECT_TRUE(m.preserveEnabled());
         EXPECT_EQ(m.RemovePair(PairTab::CausesEffects, 1).select, 0);
         EXPECT_TRUE(m.box(KnowledgeBox::CausesEffects));
         EXPECT_EQ(m.RemovePair(PairTab::CausesEffects, 0).select, -1);
         EXPECT_FALSE(m.box(KnowledgeBox::CausesEffects));
         EXPECT_FALSE(m.preserveEnabled());
     }},
    {"a box with nothing to enable", KnowledgeRules::Vrell,
     [](KnowledgeModel& m) {
         for (KnowledgeBox b : {KnowledgeBox::PartialOrdering, KnowledgeBox::CausesEffects,
                                KnowledgeBox::ForbiddenLinks, KnowledgeBox::RootLeaf}) {
             const CheckOutcome o = m.ClickBox(b, true);
             EXPECT_FALSE(o.checked);
             EXPECT_EQ(o.message, (Message{kNoInformation, Icon::Warning}));
             EXPECT_FALSE(m.box(b));
         }
         EXPECT_TRUE(m.tabAvailable(0));
         const CheckOutcome co = m.ClickBox(KnowledgeBox::CompleteOrdering, true);
         EXPECT_TRUE(co.checked);
         EXPECT_FALSE(co.message);
         EXPECT_FALSE(m.tabAvailable(1));
         m.ClickBox(KnowledgeBox::CompleteOrdering, false);
         EXPECT_TRUE(m.tabAvailable(1));
     }},
    {"up and down without a selection tick chkco", KnowledgeRules::Vrell,
     [](KnowledgeModel& m) {
         const MoveOutcome up = m.MoveUp(-1);
         EXPECT_FALSE(up.moved);
         EXPECT_TRUE(m.box(KnowledgeBox::CompleteOrdering));
         EXPECT_FALSE(m.tabAvailable(1));
         m.ClickBox(KnowledgeBox::CompleteOrdering, false);
         m.MoveDown(-1);
         EXPECT_TRUE(m.box(KnowledgeBox::CompleteOrdering));
     }},
    {"moves carry the item data, ends stay put", KnowledgeRules::Vrell,
     [](KnowledgeModel& m) {
         EXPECT_EQ(m.MoveUp(2).select, 1);
         EXPECT_EQ(m.ordering(), (std::vector<int>{0, 2, 1, 3}));
         EXPECT_EQ(m.MoveDown(0).select, 1);
         EXPECT_EQ(m.ordering(), (std::vector<int>{2, 0, 1, 3}));
         EXPECT_FALSE(m.MoveUp(0).moved);
         EXPECT_FALSE(m.MoveDown(3).moved);
         EXPECT_EQ(m.MoveDown(3).select, 3);
     }},
    {"unchecking the last mark unticks chkrl silently", KnowledgeRules::Vrell,
     [](KnowledgeModel& m) {
         m.CheckMark(MarkList::Leaf, 2, true);
         EXPECT_TRUE(m.MarkListClicked(-1, 2));
         m.CheckMark(MarkList::Root, 1, true);
         EXPECT_TRUE(m.MarkListClicked(1, 2));
         m.CheckMark(MarkList::Root, 1, false);
         EXPECT_TRUE(m.MarkListClicked(1, 2));  // the leaf list's selected row is checked
         m.CheckMark(MarkList::Leaf, 2, false);
         EXPECT_FALSE(m.MarkListClicked(1, 2));
         EXPECT_FALSE(m.box(KnowledgeBox::RootLeaf));
     }},
    {"zorv's class root lets chkrl on from the start", KnowledgeRules::Zorv,
     [](KnowledgeModel& m) {
         EXPECT_TRUE(m.marked(MarkList::Root, 0));
         EXPECT_FALSE(m.box(KnowledgeBox::RootLeaf));
         EXPECT_TRUE(m.ClickBox(KnowledgeBox::RootLeaf, true).checked);
     }},
    {"a fresh Reset clears everything, Back keeps it", KnowledgeRules::Vrell,
     [](KnowledgeModel& m) {
         m.AddPair(PairTab::CausesEffects, 0, 1);
         m.SetPreserve(true);
         m.MoveUp(1);
         const KnowledgeModel kept = m;  // going back and forth touches nothing
         EXPECT_EQ(kept.pairs(PairTab::CausesEffects).size(), 1u);
         m.Reset({"A", "B", "C"});
         EXPECT_TRUE(m.pairs(PairTab::CausesEffects).empty());
         EXPECT_EQ(m.cerel()(0, 1), 0);
         EXPECT_EQ(m.ceclz()(0, 1), 0);
         EXPECT_FALSE(m.box(KnowledgeBox::CompleteOrdering));
         EXPECT_FALSE(m.preserve());
         EXPECT_FALSE(m.preserveEnabled());
         EXPECT_EQ(m.ordering(), (std::vector<int>{0, 1, 2}));
         EXPECT_EQ(m.porel().UBound(1), 3);
     }},
};

TEST(KnowledgeModel, NamedCases) {
    for (const NamedCase& c : kNamedCases) {
        SCOPED_TRACE(c.name);
        KnowledgeModel m = Model(c.rules, {"A", "B", "C", "D"});
        c.run(m);
        ExpectConsistent(m);
    }
}

// One action of the class-field table: the message it shows and whether it changed the state.
struct ClassCase {
    const char* name;
    std::function<std::pair<std::optional<Message>, bool>(KnowledgeModel&)> act;
    const char* zorvMessage;  // nullptr: zorv allows it as vrell does
};

std::pair<std::optional<Message>, bool> Added(const PairEdit& e) { return {e.message, e.what == What::Added}; }

const ClassCase kClassCases[] = {
    {"class field moved down from the top",
     [](KnowledgeModel& m) { auto o = m.MoveDown(0); return std::pair{o.message, o.moved}; }, kClassFirst},
    {"a field moved above the class field",
     [](KnowledgeModel& m) { auto o = m.MoveUp(1); return std::pair{o.message, o.moved}; }, kClassFirst},
    {"class field second in a partial ordering",
     [](KnowledgeModel& m) { return Added(m.AddPair(PairTab::PartialOrdering, 2, 0)); }, kClassFirst},
    {"class field as an effect",
     [](KnowledgeModel& m) { return Added(m.AddPair(PairTab::CausesEffects, 2, 0)); }, kClassCause},
    {"class field first in a partial ordering",
     [](KnowledgeModel& m) { return Added(m.AddPair(PairTab::PartialOrdering, 0, 2)); }, nullptr},
    {"class field as a cause",
     [](KnowledgeModel& m) { return Added(m.AddPair(PairTab::CausesEffects, 0, 2)); }, nullptr},
    {"forbidden link into the class field",
     [](KnowledgeModel& m) { return Added(m.AddPair(PairTab::ForbiddenLinks, 2, 0)); }, nullptr},
    {"class field unchecked as root",
     [](KnowledgeModel& m) {
         m.CheckMark(MarkList::Root, 0, true);  // vrell starts without the mark
         auto o = m.CheckMark(MarkList::Root, 0, false);
         return std::pair{o.message, !m.marked(MarkList::Root, 0)};
     },
     kClassRoot},
    {"class field checked as leaf",
     [](KnowledgeModel& m) {
         auto o = m.CheckMark(MarkList::Leaf, 0, true);
         return std::pair{o.message, m.marked(MarkList::Leaf, 0)};
     },
     kClassLeaf},
};

TEST(KnowledgeModel, ClassFieldRulesUnderBothFlags) {
    for (KnowledgeRules rules : {KnowledgeRules::Zorv, KnowledgeRules::Vrell}) {
        for (const ClassCase& c : kClassCases) {
            SCOPED_TRACE(std::string(c.name) + (rules == KnowledgeRules::Zorv ? " (zorv)" : " (vrell)"));
            KnowledgeModel m = Model(rules, {"Class", "A", "B"});
            const auto [message, changed] = c.act(m);
            if (rules == KnowledgeRules::Zorv && c.zorvMessage) {
                EXPECT_EQ(message, (Message{c.zorvMessage, Icon::None}));
                EXPECT_FALSE(changed);
            } else {
                EXPECT_FALSE(message);
                EXPECT_TRUE(changed);
            }
            ExpectConsistent(m);
        }
        EXPECT_EQ(Model(rules, {"Class", "A"}).marked(MarkList::Root, 0), rules == KnowledgeRules::Zorv);
    }
}

// The check on leaving the page, on fields A, B, C, D with the cause chain A -> B -> C.
struct LeaveCase {
    const char* name;
    std::function<void(KnowledgeModel&)> setUp;
    const char* expected;  // nullptr: the page may be left
};

const LeaveCase kLeaveCases[] = {
    {"chain alone", [](KnowledgeModel&) {}, nullptr},
    {"complete ordering puts C above A",
     [](KnowledgeModel& m) {
         m.MoveUp(2);
         m.MoveUp(1);
     }, kCompleteVsCauses},
    {"complete ordering that agrees", [](KnowledgeModel& m) { m.MoveUp(3); }, nullptr},
    {"A checked as leaf", [](KnowledgeModel& m) {
         m.CheckMark(MarkList::Leaf, 0, true);
         m.MarkListClicked(-1, 0);
     }, kRootLeafVsCauses},
    {"C checked as root (an indirect effect)", [](KnowledgeModel& m) {
         m.CheckMark(MarkList::Root, 2, true);
         m.MarkListClicked(2, -1);
     }, kRootLeafVsCauses},
    {"marks with chkrl off", [](KnowledgeModel& m) {
         m.CheckMark(MarkList::Leaf, 0, true);
     }, nullptr},
    {"forbidden link on a direct pair", [](KnowledgeModel& m) { m.AddPair(PairTab::ForbiddenLinks, 1, 0); },
     kForbiddenVsCauses},
    {"forbidden link across the chain", [](KnowledgeModel& m) { m.AddPair(PairTab::ForbiddenLinks, 0, 2); },
     nullptr},
    {"forbidden link with chkfl off", [](KnowledgeModel& m) {
         m.AddPair(PairTab::ForbiddenLinks, 1, 0);
         m.ClickBox(KnowledgeBox::ForbiddenLinks, false);
     }, nullptr},
    {"partial ordering against the chain", [](KnowledgeModel& m) { m.AddPair(PairTab::PartialOrdering, 2, 0); },
     kPartialVsCauses},
    {"partial ordering along the chain", [](KnowledgeModel& m) { m.AddPair(PairTab::PartialOrdering, 0, 3); },
     nullptr},
    {"only the first failure shows", [](KnowledgeModel& m) {
         m.AddPair(PairTab::ForbiddenLinks, 1, 2);
         m.CheckMark(MarkList::Leaf, 0, true);
         m.MarkListClicked(-1, 0);
         m.AddPair(PairTab::PartialOrdering, 2, 0);
     }, kPartialVsCauses},
    {"nothing is checked without chkce", [](KnowledgeModel& m) {
         m.AddPair(PairTab::PartialOrdering, 2, 0);
         m.AddPair(PairTab::ForbiddenLinks, 1, 0);
         m.ClickBox(KnowledgeBox::CausesEffects, false);
     }, nullptr},
};

TEST(KnowledgeModel, CheckOnLeave) {
    for (const LeaveCase& c : kLeaveCases) {
        SCOPED_TRACE(c.name);
        KnowledgeModel m = Model(KnowledgeRules::Vrell, {"A", "B", "C", "D"});
        m.AddPair(PairTab::CausesEffects, 0, 1);
        m.AddPair(PairTab::CausesEffects, 1, 2);
        c.setUp(m);
        const std::optional<Message> got = m.CheckOnLeave();
        if (c.expected) EXPECT_EQ(got, (Message{c.expected, Icon::Warning}));
        else EXPECT_FALSE(got);
    }
}

TEST(KnowledgeModel, LeavingFillsPositionsAndMarks) {
    KnowledgeModel m = Model(KnowledgeRules::Zorv, {"Class", "A", "B", "C"});
    m.MoveUp(3);  // Class, A, C, B
    m.CheckMark(MarkList::Leaf, 2, true);
    EXPECT_FALSE(m.CheckOnLeave());
    EXPECT_EQ(m.ordpos()(2), 3);
    EXPECT_EQ(m.ordpos()(3), 2);
    EXPECT_EQ(m.rootflg()(0), 1);  // zorv's class root, filled whether chkrl is on or not
    EXPECT_EQ(m.leafflg()(2), 1);
    EXPECT_EQ(m.leafflg()(3), 0);
}

// The arrays of both engines from one page state: fields Class, A, B, C.
TEST(KnowledgeModel, EngineArrays) {
    KnowledgeModel m = Model(KnowledgeRules::Zorv, {"Class", "A", "B", "C"});
    m.AddPair(PairTab::CausesEffects, 1, 2);     // A -> B
    m.AddPair(PairTab::CausesEffects, 2, 3);     // B -> C
    m.AddPair(PairTab::PartialOrdering, 1, 3);   // A before C: ordered by both relations
    m.AddPair(PairTab::ForbiddenLinks, 3, 0);
    m.CheckMark(MarkList::Leaf, 3, true);
    m.MarkListClicked(-1, 3);
    m.SetPreserve(true);
    ASSERT_FALSE(m.CheckOnLeave());

    for (int base : {1, 0}) {
        SCOPED_TRACE(base);
        const EngineKnowledge k = base == 1 ? m.ForDataEngine() : m.ForDataSet();
        const auto at = [&](int a) { return a + base; };
        EXPECT_EQ(k.po.UBound(1), 4);
        EXPECT_EQ(k.rt.UBound(1), 4);
        EXPECT_FALSE(k.bord);
        EXPECT_TRUE(k.bpres);
        EXPECT_EQ(k.names(at(0)), "Class");
        EXPECT_EQ(k.names(at(3)), "C");
        EXPECT_EQ(k.ce(at(1), at(2)), 1);
        EXPECT_EQ(k.ce(at(1), at(3)), 0);  // direct pairs only
        EXPECT_EQ(k.po(at(1), at(2)), 1);  // a cause comes before its effects
        EXPECT_EQ(k.po(at(1), at(3)), 2);  // ordered by the closure of both relations
        EXPECT_EQ(k.po(at(2), at(1)), 0);
        EXPECT_EQ(k.fl(at(0), at(3)), 1);
        EXPECT_EQ(k.fl(at(3), at(0)), 1);
        EXPECT_EQ(k.rt(at(0)), 1);
        EXPECT_EQ(k.lf(at(3)), 1);
        // Nothing outside the fields.
        const int top = base == 1 ? 0 : 4;
        for (int i = 0; i <= 4; ++i) {
            EXPECT_EQ(k.po(top, i), 0);
            EXPECT_EQ(k.po(i, top), 0);
            EXPECT_EQ(k.fl(top, i), 0);
        }
    }

    // Boxes off: their tabs are zero.
    m.ClickBox(KnowledgeBox::PartialOrdering, false);
    m.ClickBox(KnowledgeBox::ForbiddenLinks, false);
    m.ClickBox(KnowledgeBox::RootLeaf, false);
    EngineKnowledge k = m.ForDataSet();
    EXPECT_EQ(k.po(1, 3), 1);  // the cause chain alone
    EXPECT_EQ(k.fl(0, 3), 0);
    EXPECT_EQ(k.rt(0), 0);
    m.ClickBox(KnowledgeBox::CausesEffects, false);
    k = m.ForDataSet();
    EXPECT_EQ(k.po(1, 2), 0);
    EXPECT_EQ(k.ce(1, 2), 0);
}

TEST(KnowledgeModel, EngineArraysFollowACompleteOrdering) {
    KnowledgeModel m = Model(KnowledgeRules::Zorv, {"Class", "A", "B", "C"});
    m.AddPair(PairTab::CausesEffects, 3, 1);  // C -> A
    m.AddPair(PairTab::ForbiddenLinks, 2, 3);
    m.MoveUp(3);
    m.MoveUp(2);                              // Class, C, A, B
    m.CheckMark(MarkList::Leaf, 2, true);     // B
    m.MarkListClicked(-1, 2);
    ASSERT_FALSE(m.CheckOnLeave());
    for (int base : {1, 0}) {
        SCOPED_TRACE(base);
        const EngineKnowledge k = base == 1 ? m.ForDataEngine() : m.ForDataSet();
        EXPECT_TRUE(k.bord);
        EXPECT_EQ(k.names(base + 0), "Class");
        EXPECT_EQ(k.names(base + 1), "C");
        EXPECT_EQ(k.names(base + 2), "A");
        EXPECT_EQ(k.names(base + 3), "B");
        EXPECT_EQ(k.ce(base + 1, base + 2), 1);  // C -> A at their ordered places
        EXPECT_EQ(k.ce(base + 3, base + 1), 0);
        EXPECT_EQ(k.fl(base + 3, base + 1), 1);  // B -X- C
        EXPECT_EQ(k.fl(base + 1, base + 3), 1);
        EXPECT_EQ(k.lf(base + 3), 1);
        EXPECT_EQ(k.rt(base + 0), 1);
        for (int i = 0; i <= 4; ++i)
            for (int j = 0; j <= 4; ++j) EXPECT_EQ(k.po(i, j), 0);  // the ordering says it all
    }
}

TEST(KnowledgeModel, ClosureOfAnEmptyFieldListWritesNothing) {
    vb::Array<vb::Integer> rel(vb::To(0), vb::To(0)), clz(vb::To(0), vb::To(0));
    clz(0, 0) = 7;
    TransitiveClosure(rel, clz, 0);
    EXPECT_EQ(clz(0, 0), 7);
}

}  // namespace
