// The domain-knowledge page without its widgets: the five knowledge tabs of zorv's step 2 and
// vrell's step 5 as plain state and operations, so that the Qt page is a thin view over it.
//
// Fields are identified by their row in the selected-field order (row 0 is zorv's class field).
// The model keeps the relations `porel`, `cerel`, `flrel`, the closures `poclz`, `ceclz`, the
// pair lists of tabs 1 to 3 (line text and pair in one row, so list and pairs never drift
// apart, and with no fixed limit on their length), the complete-ordering rows with their item
// data, the root and leaf marks and the six boxes. Every operation returns what happened and
// the message the page shows; the page then copies the new state into its widgets. The rules
// flag selects zorv's class-field rules or vrell's copy without them.
//
// Typical use by a page:
//     KnowledgeModel m(KnowledgeRules::Zorv);
//     m.Reset(fieldNames);                              // entering the page moving forward
//     PairEdit e = m.AddPair(PairTab::CausesEffects, cause, effect);
//     if (e.message) show(*e.message);
//     if (e.what == PairEdit::What::Added) append m.pairs(tab)[e.row].text, select e.select
//     std::optional<Message> bad = m.CheckOnLeave();   // Next: stay on the page when set
//     EngineKnowledge k = m.ForDataEngine();           // the learning run's arrays
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/vb/array.h"
#include "platform/vb/types.h"

namespace wizard::knowledge {

// How a message box looks: no icon (a plain box), the exclamation icon of refused input, or
// the information icon.
enum class Icon { None, Warning, Information };

struct Message {
    std::string text;
    Icon icon = Icon::None;
    bool operator==(const Message&) const = default;
};

// The page's own sentences.
inline constexpr const char* kNoInformation = "No information is provided.";
inline constexpr const char* kNoLoops = "Loops are not allowed in belief networks.";
inline constexpr const char* kClassFirst = "The class label should always be the first in the ordering.";
inline constexpr const char* kClassCause = "The class label is considered a cause of other attributes.";
inline constexpr const char* kClassRoot = "The class label is considered a root node by the system.";
inline constexpr const char* kClassLeaf = "The class label cannot be a leaf node.";
inline constexpr const char* kCompleteVsCauses =
    "Tab 'Complete ordering' and 'Causes & effects' contain contradictory information.";
inline constexpr const char* kPartialVsCauses =
    "Tab 'Partial ordering' and 'Causes & effects' contain contradictory information.";
inline constexpr const char* kForbiddenVsCauses =
    "Tab 'Forbidden links' and 'Causes & effects' contain contradictory information.";
inline constexpr const char* kRootLeafVsCauses =
    "Tab 'Root & leaf nodes' and 'Causes & effects' contain contradictory information.";

// zorv keeps its class field (row 0) first, a cause and a root; vrell has no class field.
enum class KnowledgeRules { Zorv, Vrell };

// The tabs that hold pairs, numbered as the tab control numbers them.
enum class PairTab { PartialOrdering = 1, CausesEffects = 2, ForbiddenLinks = 3 };

// The five boxes "Enable this information when constructing the belief network.", by tab.
enum class KnowledgeBox { CompleteOrdering = 0, PartialOrdering, CausesEffects, ForbiddenLinks, RootLeaf };

// The two check-box lists of the root-and-leaf tab.
enum class MarkList { Root, Leaf };

// One row of a pair list: the pair and the line the list shows for it.
struct PairRow {
    int first = 0;
    int second = 0;
    std::string text;
    bool operator==(const PairRow&) const = default;
};

// What an add or remove did. Ignored: nothing changed and nothing is shown (no selection, a
// field paired with itself, a duplicate); Refused: nothing changed and `message` is shown.
struct PairEdit {
    enum class What { Ignored, Refused, Added, Removed };
    What what = What::Ignored;
    std::optional<Message> message;
    int row = -1;     // the row appended or removed
    int select = -1;  // the row of the pair list to select afterwards; -1 for none
};

// A move in the complete ordering. `select` is the row selected afterwards (the moved row's
// new place, or the selection as it was).
struct MoveOutcome {
    bool moved = false;
    std::optional<Message> message;
    int select = -1;
};

// A box click or a check in a root/leaf list: the value the control ends with (the model may
// set it back) and the message to show.
struct CheckOutcome {
    bool checked = false;
    std::optional<Message> message;
};

// The domain-knowledge arguments of DataEngine.InitLearnStru and DataSet.Init, every array
// sized (0 To n) and (0 To n, 0 To n). A tab whose box is off is all zero.
struct EngineKnowledge {
    vb::Array<std::string> names;  // the field list in engine order
    bool bord = false;             // the field list is a complete ordering
    vb::Array<vb::Integer> po, ce, fl, rt, lf;
    bool bpres = false;            // keep the cause-and-effect links in the result
};

// The transitive closure of a relation over n fields as bit rows: row i holds the fields
// reachable from i, 64 to a word. An added link updates only the rows that reach its first
// field, a word at a time (n * n / 64 at most, and usually far less, where a fresh closure
// costs up to n * n * n / 64); a removed link has no such shortcut, and the closure is worked
// out again from the relation.
class Reachability {
public:
    // n fields, nothing reachable.
    void Reset(int n);
    int size() const { return n_; }
    bool reaches(int i, int j) const { return (row(i)[size_t(j) / 64] >> (size_t(j) % 64)) & 1u; }

    // The closure of `rel` over its cells 0..n-1 (n as Reset set it), by Warshall's algorithm;
    // `clz` (cells 0..n-1) is rewritten to match.
    void Recompute(const vb::Array<vb::Integer>& rel, vb::Array<vb::Integer>& clz);
    // Adds the link a -> b, which closes no loop (a != b and b does not reach a): a and
    // whatever reaches a now reach b and whatever b reaches. Only the cells of `clz` that
    // become reachable are written, so a closure kept in step with these rows stays so.
    void Add(int a, int b, vb::Array<vb::Integer>& clz);

private:
    uint64_t* row(int i) { return bits_.data() + size_t(i) * words_; }
    const uint64_t* row(int i) const { return bits_.data() + size_t(i) * words_; }

    int n_ = 0;
    size_t words_ = 0;
    std::vector<uint64_t> bits_;
};

class KnowledgeModel {
public:
    using Matrix = vb::Array<vb::Integer>;

    explicit KnowledgeModel(KnowledgeRules rules);

    // Entering the page moving forward: every relation, closure and per-field array sized
    // (0..n) and zero, the pair lists empty, the ordering in field order, every box off,
    // `chkpreserve` off and disabled; zorv marks its class field as a root.
    void Reset(std::vector<std::string> fieldNames);

    KnowledgeRules rules() const { return rules_; }
    int fieldCount() const { return int(names_.size()); }
    const std::vector<std::string>& fieldNames() const { return names_; }

    // ---- complete ordering (tab 0) ----
    // The field row shown in each row of the ordering list (the rows' item data).
    const std::vector<int>& ordering() const { return order_; }
    // Both tick `chkco` first, whatever follows, also without a selection (row -1).
    MoveOutcome MoveUp(int row);
    MoveOutcome MoveDown(int row);

    // ---- pairs (tabs 1 to 3) ----
    // a: the selected row of the tab's first column, b: of its second column (-1 for none).
    PairEdit AddPair(PairTab tab, int a, int b);
    // row: the selected row of the tab's pair list (-1 for none).
    PairEdit RemovePair(PairTab tab, int row);
    const std::vector<PairRow>& pairs(PairTab tab) const { return pairs_[Index(tab)]; }

    // ---- boxes and tabs ----
    // The user (or the code) set the box to `checked`: a box with nothing to enable is set back
    // with "No information is provided." (`chkco` never is).
    CheckOutcome ClickBox(KnowledgeBox box, bool checked);
    bool box(KnowledgeBox b) const { return boxes_[int(b)]; }
    bool preserve() const { return preserve_; }
    bool preserveEnabled() const { return preserveEnabled_; }
    void SetPreserve(bool on) { preserve_ = on; }
    // Tab 0 cannot be selected while `chkpo` is on, tab 1 while `chkco` is on.
    bool tabAvailable(int tab) const;

    // ---- root and leaf lists (tab 4) ----
    // A row's check changed to `checked`; zorv keeps its class field a root and no leaf
    // (the plain messages), so the outcome may hold the old value.
    CheckOutcome CheckMark(MarkList list, int row, bool checked);
    // A click in either list, with the two lists' selected rows (-1 for none): keeps `chkrl`
    // in step with the checked rows. Returns the value of `chkrl` afterwards.
    bool MarkListClicked(int rootSelected, int leafSelected);
    bool marked(MarkList list, int row) const;

    // ---- leaving the page with Next ----
    // Fills `ordpos` (with `chkco` on), `rootflg` and `leafflg`, then checks the tabs against
    // the cause-and-effect pairs; the first contradiction is returned (the page stays).
    std::optional<Message> CheckOnLeave();

    // ---- the state the learning runs read ----
    const Matrix& porel() const { return porel_; }
    const Matrix& cerel() const { return cerel_; }
    const Matrix& flrel() const { return flrel_; }
    const Matrix& poclz() const { return poclz_; }
    const Matrix& ceclz() const { return ceclz_; }
    const Matrix& ordpos() const { return ordpos_; }
    const Matrix& rootflg() const { return rootflg_; }
    const Matrix& leafflg() const { return leafflg_; }

    // The engines' arrays: fields from index 1 (DataEngine.InitLearnStru, field 1 the class
    // field) or from index 0 (DataSet.Init). With a complete ordering the field list and every
    // entry follow the ordering list.
    EngineKnowledge ForDataEngine() const { return ForEngine(1); }
    EngineKnowledge ForDataSet() const { return ForEngine(0); }

private:
    static int Index(PairTab tab) { return int(tab) - 1; }
    void SetBox(KnowledgeBox b, bool on);
    bool AnyMark() const;
    std::vector<int> OrderPositions() const;
    EngineKnowledge ForEngine(int base) const;

    KnowledgeRules rules_;
    std::vector<std::string> names_;
    std::vector<int> order_;
    std::vector<PairRow> pairs_[3];
    std::vector<bool> rootMarks_, leafMarks_;
    bool boxes_[5] = {};
    bool preserve_ = false;
    bool preserveEnabled_ = false;
    Matrix porel_, cerel_, flrel_, poclz_, ceclz_;
    // `poclz` and `ceclz` as bit rows, which the adds update in place.
    Reachability poReach_, ceReach_;
    Matrix ordpos_, rootflg_, leafflg_;
};

// The transitive closure of the n x n relation `rel` (cells 0..n-1) into `clz`, by Warshall's
// algorithm; the diagonal of the closure is 1 only on a cycle. With n = 0 nothing is written.
void TransitiveClosure(const vb::Array<vb::Integer>& rel, vb::Array<vb::Integer>& clz, int n);

}  // namespace wizard::knowledge
