// The knowledge page's state and operations (knowledge_model.h). The operations follow the
// order in which the page's handlers act, because that order decides which message shows: an
// added pair's line is in the list before its box is ticked, so ticking the box never finds the
// list empty.
#include "wizard_common/model/knowledge_model.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cstdint>
#include <utility>

namespace wizard::knowledge {

using vb::Integer;

namespace {

Message Plain(const char* text) { return Message{text, Icon::None}; }
Message Warning(const char* text) { return Message{text, Icon::Warning}; }

const char* Separator(PairTab tab) {
    switch (tab) {
    case PairTab::PartialOrdering: return "  >  ";
    case PairTab::CausesEffects: return "  ->  ";
    case PairTab::ForbiddenLinks: return "  -X-  ";
    }
    return "";
}

KnowledgeBox BoxOf(PairTab tab) {
    switch (tab) {
    case PairTab::PartialOrdering: return KnowledgeBox::PartialOrdering;
    case PairTab::CausesEffects: return KnowledgeBox::CausesEffects;
    case PairTab::ForbiddenLinks: return KnowledgeBox::ForbiddenLinks;
    }
    return KnowledgeBox::PartialOrdering;
}

}  // namespace

// ---- closure ----

void Reachability::Reset(int n) {
    n_ = n < 0 ? 0 : n;
    words_ = (size_t(n_) + 63) / 64;
    bits_.assign(size_t(n_) * words_, 0);
}

void Reachability::Recompute(const vb::Array<Integer>& rel, vb::Array<Integer>& clz) {
    std::fill(bits_.begin(), bits_.end(), 0);
    for (int i = 0; i < n_; ++i)
        for (int j = 0; j < n_; ++j)
            if (rel(i, j) != 0) row(i)[size_t(j) / 64] |= uint64_t(1) << (size_t(j) % 64);
    // Warshall: after step k, row i holds what i reaches through fields 0..k.
    for (int k = 0; k < n_; ++k) {
        const uint64_t* through = row(k);
        for (int i = 0; i < n_; ++i) {
            if (!reaches(i, k)) continue;
            uint64_t* r = row(i);
            for (size_t w = 0; w < words_; ++w) r[w] |= through[w];
        }
    }
    for (int i = 0; i < n_; ++i)
        for (int j = 0; j < n_; ++j) clz(i, j) = reaches(i, j) ? 1 : 0;
}

void Reachability::Add(int a, int b, vb::Array<Integer>& clz) {
    assert(a != b && !reaches(b, a));
    // What a gains is b and b's row. Row b itself does not change (b does not reach a), so it
    // is read while the other rows are written.
    const uint64_t* gain = row(b);
    const size_t bWord = size_t(b) / 64;
    const uint64_t bBit = uint64_t(1) << (size_t(b) % 64);
    for (int i = 0; i < n_; ++i) {
        if (i != a && !reaches(i, a)) continue;
        uint64_t* r = row(i);
        for (size_t w = 0; w < words_; ++w) {
            uint64_t fresh = (gain[w] | (w == bWord ? bBit : 0)) & ~r[w];
            if (!fresh) continue;
            r[w] |= fresh;
            for (; fresh; fresh &= fresh - 1) clz(i, int(w * 64 + size_t(std::countr_zero(fresh)))) = 1;
        }
    }
}

void TransitiveClosure(const vb::Array<Integer>& rel, vb::Array<Integer>& clz, int n) {
    if (n <= 0) return;
    Reachability reach;
    reach.Reset(n);
    reach.Recompute(rel, clz);
}

KnowledgeModel::KnowledgeModel(KnowledgeRules rules) : rules_(rules) { Reset({}); }

void KnowledgeModel::Reset(std::vector<std::string> fieldNames) {
    names_ = std::move(fieldNames);
    const int n = fieldCount();
    for (Matrix* m : {&porel_, &cerel_, &flrel_, &poclz_, &ceclz_}) m->ReDim(vb::To(n), vb::To(n));
    for (Matrix* v : {&ordpos_, &rootflg_, &leafflg_}) v->ReDim(vb::To(n));
    poReach_.Reset(n);
    ceReach_.Reset(n);
    order_.resize(size_t(n));
    for (int r = 0; r < n; ++r) order_[size_t(r)] = r;
    for (auto& list : pairs_) list.clear();
    rootMarks_.assign(size_t(n), false);
    leafMarks_.assign(size_t(n), false);
    for (bool& b : boxes_) b = false;
    preserve_ = false;
    preserveEnabled_ = false;
    // zorv's class field is a root by definition; checking it raises no box change.
    if (rules_ == KnowledgeRules::Zorv && n > 0) rootMarks_[0] = true;
}

bool KnowledgeModel::tabAvailable(int tab) const {
    if (tab == 0) return !box(KnowledgeBox::PartialOrdering);
    if (tab == 1) return !box(KnowledgeBox::CompleteOrdering);
    return true;
}

// ---- complete ordering ----

MoveOutcome KnowledgeModel::MoveUp(int row) {
    ClickBox(KnowledgeBox::CompleteOrdering, true);
    MoveOutcome out;
    out.select = row;
    if (row <= 0 || row >= fieldCount()) return out;
    if (rules_ == KnowledgeRules::Zorv && row == 1) {
        out.message = Plain(kClassFirst);
        return out;
    }
    std::swap(order_[size_t(row - 1)], order_[size_t(row)]);
    out.moved = true;
    out.select = row - 1;
    return out;
}

MoveOutcome KnowledgeModel::MoveDown(int row) {
    ClickBox(KnowledgeBox::CompleteOrdering, true);
    MoveOutcome out;
    out.select = row;
    if (row < 0 || row >= fieldCount()) return out;
    if (rules_ == KnowledgeRules::Zorv && row == 0) {
        out.message = Plain(kClassFirst);
        return out;
    }
    if (row == fieldCount() - 1) return out;
    std::swap(order_[size_t(row)], order_[size_t(row + 1)]);
    out.moved = true;
    out.select = row + 1;
    return out;
}

// ---- pairs ----

PairEdit KnowledgeModel::AddPair(PairTab tab, int a, int b) {
    PairEdit out;
    const int n = fieldCount();
    if (a < 0 || b < 0 || a >= n || b >= n || a == b) return out;

    if (rules_ == KnowledgeRules::Zorv && b == 0) {
        if (tab == PairTab::PartialOrdering) {
            out.what = PairEdit::What::Refused;
            out.message = Plain(kClassFirst);
            return out;
        }
        if (tab == PairTab::CausesEffects) {
            out.what = PairEdit::What::Refused;
            out.message = Plain(kClassCause);
            return out;
        }
    }

    Matrix& rel = tab == PairTab::PartialOrdering ? porel_ : tab == PairTab::CausesEffects ? cerel_ : flrel_;
    if (rel(a, b) == 1 || (tab == PairTab::ForbiddenLinks && rel(b, a) == 1)) return out;

    if (tab != PairTab::ForbiddenLinks) {
        const Matrix& clz = tab == PairTab::PartialOrdering ? poclz_ : ceclz_;
        if (clz(b, a) == 1) {
            out.what = PairEdit::What::Refused;
            out.message = Warning(kNoLoops);
            return out;
        }
    }

    rel(a, b) = 1;
    if (tab == PairTab::ForbiddenLinks) rel(b, a) = 1;
    std::vector<PairRow>& list = pairs_[Index(tab)];
    list.push_back(PairRow{a, b, names_[size_t(a)] + Separator(tab) + names_[size_t(b)]});
    SetBox(BoxOf(tab), true);
    // The loop test above makes the new link one the closure can take in place.
    if (tab == PairTab::PartialOrdering) poReach_.Add(a, b, poclz_);
    if (tab == PairTab::CausesEffects) ceReach_.Add(a, b, ceclz_);

    out.what = PairEdit::What::Added;
    out.row = int(list.size()) - 1;
    out.select = out.row;
    return out;
}

PairEdit KnowledgeModel::RemovePair(PairTab tab, int row) {
    PairEdit out;
    std::vector<PairRow>& list = pairs_[Index(tab)];
    if (row < 0 || row >= int(list.size())) return out;

    const PairRow p = list[size_t(row)];
    if (tab == PairTab::PartialOrdering) porel_(p.first, p.second) = 0;
    if (tab == PairTab::CausesEffects) cerel_(p.first, p.second) = 0;
    if (tab == PairTab::ForbiddenLinks) flrel_(p.first, p.second) = flrel_(p.second, p.first) = 0;
    list.erase(list.begin() + row);
    if (list.empty()) SetBox(BoxOf(tab), false);
    // What else reached the removed link's effect may have done so only through it: the
    // closure is worked out again.
    if (tab == PairTab::PartialOrdering) poReach_.Recompute(porel_, poclz_);
    if (tab == PairTab::CausesEffects) ceReach_.Recompute(cerel_, ceclz_);

    out.what = PairEdit::What::Removed;
    out.row = row;
    out.select = list.empty() ? -1 : row < int(list.size()) ? row : row - 1;
    return out;
}

// ---- boxes ----

CheckOutcome KnowledgeModel::ClickBox(KnowledgeBox b, bool checked) {
    CheckOutcome out;
    bool empty = false;
    switch (b) {
    case KnowledgeBox::CompleteOrdering: break;
    case KnowledgeBox::PartialOrdering: empty = pairs(PairTab::PartialOrdering).empty(); break;
    case KnowledgeBox::CausesEffects: empty = pairs(PairTab::CausesEffects).empty(); break;
    case KnowledgeBox::ForbiddenLinks: empty = pairs(PairTab::ForbiddenLinks).empty(); break;
    case KnowledgeBox::RootLeaf: empty = !AnyMark(); break;
    }
    if (checked && empty) {
        out.message = Warning(kNoInformation);
        checked = false;
    }
    SetBox(b, checked);
    out.checked = checked;
    return out;
}

void KnowledgeModel::SetBox(KnowledgeBox b, bool on) {
    boxes_[int(b)] = on;
    if (b == KnowledgeBox::CausesEffects) preserveEnabled_ = on;
}

// ---- root and leaf ----

bool KnowledgeModel::marked(MarkList list, int row) const {
    const std::vector<bool>& marks = list == MarkList::Root ? rootMarks_ : leafMarks_;
    return row >= 0 && row < int(marks.size()) && marks[size_t(row)];
}

bool KnowledgeModel::AnyMark() const {
    for (int r = 0; r < fieldCount(); ++r)
        if (rootMarks_[size_t(r)] || leafMarks_[size_t(r)]) return true;
    return false;
}

CheckOutcome KnowledgeModel::CheckMark(MarkList list, int row, bool checked) {
    CheckOutcome out;
    if (row < 0 || row >= fieldCount()) return out;
    std::vector<bool>& marks = list == MarkList::Root ? rootMarks_ : leafMarks_;
    if (rules_ == KnowledgeRules::Zorv && row == 0) {
        if (list == MarkList::Root && !checked) {
            out.message = Plain(kClassRoot);
            checked = true;
        } else if (list == MarkList::Leaf && checked) {
            out.message = Plain(kClassLeaf);
            checked = false;
        }
    }
    marks[size_t(row)] = checked;
    out.checked = checked;
    return out;
}

bool KnowledgeModel::MarkListClicked(int rootSelected, int leafSelected) {
    if (marked(MarkList::Root, rootSelected) || marked(MarkList::Leaf, leafSelected))
        SetBox(KnowledgeBox::RootLeaf, true);
    else if (box(KnowledgeBox::RootLeaf) && !AnyMark())
        SetBox(KnowledgeBox::RootLeaf, false);  // silently: nothing is left to enable
    return box(KnowledgeBox::RootLeaf);
}

// ---- leaving the page ----

std::vector<int> KnowledgeModel::OrderPositions() const {
    std::vector<int> pos(order_.size());
    for (size_t r = 0; r < order_.size(); ++r) pos[size_t(order_[r])] = int(r);
    return pos;
}

std::optional<Message> KnowledgeModel::CheckOnLeave() {
    const int n = fieldCount();
    const bool co = box(KnowledgeBox::CompleteOrdering), po = box(KnowledgeBox::PartialOrdering);
    const bool ce = box(KnowledgeBox::CausesEffects), fl = box(KnowledgeBox::ForbiddenLinks);
    const bool rl = box(KnowledgeBox::RootLeaf);
    if (co) {
        const std::vector<int> pos = OrderPositions();
        for (int i = 0; i < n; ++i) ordpos_(i) = Integer(pos[size_t(i)]);
    }
    for (int i = 0; i < n; ++i) {
        rootflg_(i) = rootMarks_[size_t(i)] ? 1 : 0;
        leafflg_(i) = leafMarks_[size_t(i)] ? 1 : 0;
    }

    if (co && ce) {
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j)
                if (ceclz_(i, j) == 1 && ordpos_(j) < ordpos_(i)) return Warning(kCompleteVsCauses);
    } else if (po && ce) {
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j)
                if (ceclz_(i, j) == 1 && poclz_(j, i) == 1) return Warning(kPartialVsCauses);
    }
    if (!ce) return std::nullopt;
    if (fl) {
        // Only a direct pair contradicts a forbidden link: an indirect cause may be unlinked.
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j)
                if (cerel_(i, j) == 1 && (flrel_(i, j) == 1 || flrel_(j, i) == 1)) return Warning(kForbiddenVsCauses);
    }
    if (rl) {
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j)
                if (ceclz_(i, j) == 1 && (rootflg_(j) == 1 || leafflg_(i) == 1)) return Warning(kRootLeafVsCauses);
    }
    return std::nullopt;
}

// ---- engine arrays ----

EngineKnowledge KnowledgeModel::ForEngine(int base) const {
    const int n = fieldCount();
    EngineKnowledge k;
    k.names.ReDim(vb::To(n));
    for (vb::Array<Integer>* m : {&k.po, &k.ce, &k.fl}) m->ReDim(vb::To(n), vb::To(n));
    k.rt.ReDim(vb::To(n));
    k.lf.ReDim(vb::To(n));
    k.bord = box(KnowledgeBox::CompleteOrdering);
    k.bpres = preserve_;
    const bool ce = box(KnowledgeBox::CausesEffects), po = box(KnowledgeBox::PartialOrdering);
    const bool fl = box(KnowledgeBox::ForbiddenLinks), rl = box(KnowledgeBox::RootLeaf);

    // Engine index of page field a: its place in the ordering list with a complete ordering,
    // its own row otherwise.
    std::vector<int> at(static_cast<size_t>(n));
    if (k.bord) {
        const std::vector<int> pos = OrderPositions();
        for (int a = 0; a < n; ++a) at[size_t(a)] = pos[size_t(a)] + base;
        for (int r = 0; r < n; ++r) k.names(r + base) = names_[size_t(order_[size_t(r)])];
    } else {
        for (int a = 0; a < n; ++a) at[size_t(a)] = a + base;
        for (int r = 0; r < n; ++r) k.names(r + base) = names_[size_t(r)];
    }
    auto E = [&](int a) { return at[size_t(a)]; };

    for (int a = 0; a < n; ++a)
        for (int b = 0; b < n; ++b) {
            if (ce) k.ce(E(a), E(b)) = cerel_(a, b);
            // Without a complete ordering every cause comes before all its direct and indirect
            // effects; a pair that both relations order holds 2.
            if (!k.bord) {
                Integer order = 0;
                if (ce) order = Integer(order + ceclz_(a, b));
                if (po) order = Integer(order + poclz_(a, b));
                k.po(E(a), E(b)) = order;
            }
            if (fl && a <= b) k.fl(E(a), E(b)) = k.fl(E(b), E(a)) = flrel_(a, b);
        }
    if (rl)
        for (int a = 0; a < n; ++a) {
            k.rt(E(a)) = rootflg_(a);
            k.lf(E(a)) = leafflg_(a);
        }
    return k;
}

}  // namespace wizard::knowledge
