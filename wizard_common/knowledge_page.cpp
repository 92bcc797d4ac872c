// The knowledge page's widgets and handlers (knowledge_page.h). The model decides; the handlers
// copy its answer into the lists and boxes in the order the user sees it: the state first, then
// the message box.
#include "wizard_common/knowledge_page.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QSignalBlocker>
#include <QStyle>
#include <QVBoxLayout>

#include "wizard_common/frame_widgets.h"
#include "wizard_common/model/import_scanner.h"

namespace wizard {

using knowledge::KnowledgeBox;
using knowledge::MarkList;
using knowledge::PairEdit;
using knowledge::PairTab;

namespace {

constexpr int kRootList = 7, kLeafList = 8, kOrderList = 4;
constexpr const char* kEnableCaption = "Enable this information when constructing the belief network.";

QPushButton* ArrowButton(const QString& name, QStyle::StandardPixmap arrow, QWidget* page) {
    auto* b = Named(new QPushButton, name);
    b->setIcon(page->style()->standardIcon(arrow));
    b->setFixedWidth(44);
    return b;
}

Icon IconOf(knowledge::Icon icon) {
    switch (icon) {
        case knowledge::Icon::Warning: return Icon::Warning;
        case knowledge::Icon::Information: return Icon::Information;
        case knowledge::Icon::None: break;
    }
    return Icon::None;
}

// The first column, the second column and the pair list of a pair tab.
struct PairLists {
    int first, second, pairs;
};
PairLists ListsOf(PairTab tab) {
    switch (tab) {
        case PairTab::PartialOrdering: return {0, 1, 0};
        case PairTab::CausesEffects: return {2, 3, 1};
        case PairTab::ForbiddenLinks: return {5, 6, 2};
    }
    return {0, 1, 0};
}

// Sets a list's selected row (-1 for none) without raising its handlers.
void SelectRow(QListWidget* list, int row) {
    const QSignalBlocker block(list);
    if (row < 0) {
        list->setCurrentItem(nullptr);
        list->clearSelection();
    } else {
        list->setCurrentRow(row);
    }
}

}  // namespace

KnowledgePage::KnowledgePage(knowledge::KnowledgeModel& model, Services services, const QString& title,
                             QString& IMEXPath, QWidget* parent)
    : QWidget(parent), model_(model), services_(services), title_(title), IMEXPath_(IMEXPath) {
    setObjectName("KnowledgePage");
    for (int i = 0; i < 9; ++i) lstfld[size_t(i)] = Named(new QListWidget, QString("lstfld_%1").arg(i));
    for (int i = 0; i < 3; ++i) lstrst[size_t(i)] = Named(new QListWidget, QString("lstrst_%1").arg(i));
    BuildTabs();
    Connect();
    Fill(model_.fieldNames());
}

void KnowledgePage::BuildTabs() {
    lblheading = Named(Note("Provide Domain Knowledge and change advanced settings. You can skip this step if you "
                            "don't want to provide domain knowledge. "),
                       "lblheading");
    SSTab1 = Named(new QTabWidget, "SSTab1");
    chkco = Named(new QCheckBox(kEnableCaption), "chkco");
    chkpo = Named(new QCheckBox(kEnableCaption), "chkpo");
    chkce = Named(new QCheckBox(kEnableCaption), "chkce");
    chkfl = Named(new QCheckBox(kEnableCaption), "chkfl");
    chkrl = Named(new QCheckBox(kEnableCaption), "chkrl");
    chkpreserve = Named(
        new QCheckBox("Preserve the Cause && effect relationships entered in this step in the final result."),
        "chkpreserve");
    cmdup = ArrowButton("cmdup", QStyle::SP_ArrowUp, this);
    cmddn = ArrowButton("cmddn", QStyle::SP_ArrowDown, this);
    cmdright1 = ArrowButton("cmdright1", QStyle::SP_ArrowRight, this);
    cmdright2 = ArrowButton("cmdright2", QStyle::SP_ArrowRight, this);
    cmdright3 = ArrowButton("cmdright3", QStyle::SP_ArrowRight, this);
    cmdleft1 = ArrowButton("cmdleft1", QStyle::SP_ArrowLeft, this);
    cmdleft2 = ArrowButton("cmdleft2", QStyle::SP_ArrowLeft, this);
    cmdleft3 = ArrowButton("cmdleft3", QStyle::SP_ArrowLeft, this);
    cmdImport = Named(new QPushButton("Import..."), "cmdImport");

    // Tab 0: the ordering list with its two arrows.
    {
        auto* tab = new QWidget;
        auto* v = new QVBoxLayout(tab);
        v->addWidget(Note("Use up and down arrow to move the field names so that a field does not depend on any "
                          "of the fields below it."));
        auto* row = new QHBoxLayout;
        row->addWidget(lstfld[kOrderList], 1);
        auto* arrows = new QVBoxLayout;
        arrows->addStretch(1);
        arrows->addWidget(cmdup);
        arrows->addWidget(cmddn);
        arrows->addStretch(1);
        row->addLayout(arrows);
        row->addStretch(1);
        v->addLayout(row, 1);
        v->addWidget(chkco);
        SSTab1->addTab(tab, "&Complete ordering");
    }
    // Tabs 1 to 3: two field columns, the add and remove arrows, the pair list.
    auto pairTab = [this](PairTab which, const QString& text, QPushButton* right, QPushButton* left,
                          QCheckBox* box) {
        const PairLists l = ListsOf(which);
        auto* tab = new QWidget;
        auto* v = new QVBoxLayout(tab);
        v->addWidget(Note(text));
        auto* row = new QHBoxLayout;
        row->addWidget(lstfld[size_t(l.first)], 2);
        row->addWidget(lstfld[size_t(l.second)], 2);
        auto* arrows = new QVBoxLayout;
        arrows->addStretch(1);
        arrows->addWidget(right);
        arrows->addWidget(left);
        arrows->addStretch(1);
        row->addLayout(arrows);
        row->addWidget(lstrst[size_t(l.pairs)], 3);
        v->addLayout(row, 1);
        v->addWidget(box);
        return v;
    };
    SSTab1->addTab(pairTab(PairTab::PartialOrdering,
                           "When field A is indirect cause of field B or field A appears earlier in temporal order "
                           "than field B, select field A from the first column and field B from second column. Use "
                           "right arrow to add this relation and left arrow to remove it.",
                           cmdright1, cmdleft1, chkpo)
                       ->parentWidget(),
                   "&Partial ordering");
    {
        QVBoxLayout* v = pairTab(PairTab::CausesEffects,
                                 "Select the cause from the first column and the effect from the second column. Use "
                                 "right arrow to add this relation and left arrow to remove it.",
                                 cmdright2, cmdleft2, chkce);
        auto* importRow = new QHBoxLayout;
        importRow->addWidget(chkpreserve, 1);
        importRow->addWidget(cmdImport);
        v->addLayout(importRow);
        SSTab1->addTab(v->parentWidget(), "Ca&uses && effects");
    }
    SSTab1->addTab(pairTab(PairTab::ForbiddenLinks,
                           "Select the two fields of a fobidden link from the the first and the second columns "
                           "respectively. Use right arrow to add this relation and left arrow to remove it.",
                           cmdright3, cmdleft3, chkfl)
                       ->parentWidget(),
                   "F&orbidden links");
    // Tab 4: the root and leaf lists, one row per field with a check box.
    {
        auto* tab = new QWidget;
        auto* v = new QVBoxLayout(tab);
        v->addWidget(Note("Please specify root and leaf fields by checking them. A root field is a field that does "
                          "not have any parent and a leaf field is a field that does not have any child."));
        auto* row = new QHBoxLayout;
        for (int i : {kRootList, kLeafList}) {
            auto* column = new QVBoxLayout;
            column->addWidget(new QLabel(i == kRootList ? "Root fields" : "Leaf fields"));
            column->addWidget(lstfld[size_t(i)], 1);
            row->addLayout(column, 1);
        }
        v->addLayout(row, 1);
        v->addWidget(chkrl);
        SSTab1->addTab(tab, "&Root && leaf nodes");
    }

    auto* main = new QVBoxLayout(this);
    main->setContentsMargins(0, 0, 0, 0);
    main->addWidget(lblheading);
    main->addWidget(SSTab1, 1);
}

void KnowledgePage::Connect() {
    const std::pair<QCheckBox*, void (KnowledgePage::*)()> boxes[] = {
        {chkco, &KnowledgePage::chkco_Click}, {chkpo, &KnowledgePage::chkpo_Click},
        {chkce, &KnowledgePage::chkce_Click}, {chkfl, &KnowledgePage::chkfl_Click},
        {chkrl, &KnowledgePage::chkrl_Click}, {chkpreserve, &KnowledgePage::chkpreserve_Click},
    };
    // `clicked` comes from the user only; the code sets boxes without raising their handlers.
    for (const auto& [box, handler] : boxes) connect(box, &QCheckBox::clicked, this, handler);
    const std::pair<QPushButton*, void (KnowledgePage::*)()> buttons[] = {
        {cmdup, &KnowledgePage::cmdup_Click},         {cmddn, &KnowledgePage::cmddn_Click},
        {cmdright1, &KnowledgePage::cmdright1_Click}, {cmdright2, &KnowledgePage::cmdright2_Click},
        {cmdright3, &KnowledgePage::cmdright3_Click}, {cmdleft1, &KnowledgePage::cmdleft1_Click},
        {cmdleft2, &KnowledgePage::cmdleft2_Click},   {cmdleft3, &KnowledgePage::cmdleft3_Click},
        {cmdImport, &KnowledgePage::cmdImport_Click},
    };
    for (const auto& [button, handler] : buttons) connect(button, &QPushButton::clicked, this, handler);

    // The root and leaf lists: a check change runs the check rules and then the list's click
    // handler; a click that changed no check, and a move by the keys, run the click handler.
    for (int index : {kRootList, kLeafList}) {
        QListWidget* list = lstfld[size_t(index)];
        connect(list, &QListWidget::itemPressed, this, [this] { checkToggledByPress_ = false; });
        connect(list, &QListWidget::itemChanged, this, [this, index, list](QListWidgetItem* item) {
            checkToggledByPress_ = true;
            // The row whose check the user changed is the list's selected row, also when the
            // click fell on the check box (which Qt leaves unselected): the click handler reads
            // the selected row.
            SelectRow(list, list->row(item));
            lstfld_ItemCheck(index, list->row(item));
            lstfld_Click(index);
        });
        connect(list, &QListWidget::itemClicked, this, [this, index] {
            if (!checkToggledByPress_) lstfld_Click(index);
            checkToggledByPress_ = false;
        });
        connect(list, &QListWidget::currentRowChanged, this, [this, index] {
            // A mouse press moves the row before its click is reported; the click handles it.
            if (QGuiApplication::mouseButtons() == Qt::NoButton) lstfld_Click(index);
        });
    }
}

// ---- entering and leaving ------------------------------------------------------------------

void KnowledgePage::Fill(const std::vector<std::string>& fields) {
    model_.Reset(fields);
    for (QListWidget* list : lstfld) {
        const QSignalBlocker block(list);
        list->clear();
    }
    for (QListWidget* list : lstrst) {
        const QSignalBlocker block(list);
        list->clear();
    }
    const std::vector<int>& order = model_.ordering();
    for (size_t i = 0; i < lstfld.size(); ++i) {
        QListWidget* list = lstfld[i];
        const QSignalBlocker block(list);
        for (int r = 0; r < model_.fieldCount(); ++r) {
            if (int(i) == kOrderList) {
                auto* item = new QListWidgetItem(QString::fromStdString(fields[size_t(order[size_t(r)])]));
                item->setData(Qt::UserRole, order[size_t(r)]);
                list->addItem(item);
                continue;
            }
            auto* item = new QListWidgetItem(QString::fromStdString(fields[size_t(r)]));
            if (int(i) == kRootList || int(i) == kLeafList) {
                item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
                const MarkList mark = int(i) == kRootList ? MarkList::Root : MarkList::Leaf;
                item->setCheckState(model_.marked(mark, r) ? Qt::Checked : Qt::Unchecked);
            }
            list->addItem(item);
        }
    }
    const int selected[9] = {0, 1, 0, 1, -1, 0, 1, -1, -1};
    for (size_t i = 0; i < lstfld.size(); ++i)
        SelectRow(lstfld[i], selected[i] < model_.fieldCount() ? selected[i] : -1);
    SyncBoxes();
    SSTab1->setCurrentIndex(0);
}

bool KnowledgePage::CheckOnLeave() {
    if (const std::optional<knowledge::Message> bad = model_.CheckOnLeave()) {
        Show(*bad);
        return false;
    }
    return true;
}

// ---- boxes ---------------------------------------------------------------------------------

void KnowledgePage::chkco_Click() { ClickBox(KnowledgeBox::CompleteOrdering, chkco); }
void KnowledgePage::chkpo_Click() { ClickBox(KnowledgeBox::PartialOrdering, chkpo); }
void KnowledgePage::chkce_Click() { ClickBox(KnowledgeBox::CausesEffects, chkce); }
void KnowledgePage::chkfl_Click() { ClickBox(KnowledgeBox::ForbiddenLinks, chkfl); }
void KnowledgePage::chkrl_Click() { ClickBox(KnowledgeBox::RootLeaf, chkrl); }
void KnowledgePage::chkpreserve_Click() { model_.SetPreserve(chkpreserve->isChecked()); }

void KnowledgePage::ClickBox(KnowledgeBox box, QCheckBox* check) {
    const knowledge::CheckOutcome out = model_.ClickBox(box, check->isChecked());
    SyncBoxes();
    if (out.message) Show(*out.message);
}

void KnowledgePage::SyncBoxes() {
    const std::pair<QCheckBox*, KnowledgeBox> boxes[] = {
        {chkco, KnowledgeBox::CompleteOrdering}, {chkpo, KnowledgeBox::PartialOrdering},
        {chkce, KnowledgeBox::CausesEffects},    {chkfl, KnowledgeBox::ForbiddenLinks},
        {chkrl, KnowledgeBox::RootLeaf},
    };
    for (const auto& [check, box] : boxes) check->setChecked(model_.box(box));
    chkpreserve->setChecked(model_.preserve());
    chkpreserve->setEnabled(model_.preserveEnabled());
    for (int tab : {0, 1}) SSTab1->setTabEnabled(tab, model_.tabAvailable(tab));
}

// ---- complete ordering ---------------------------------------------------------------------

void KnowledgePage::cmdup_Click() { MoveField(true); }
void KnowledgePage::cmddn_Click() { MoveField(false); }

void KnowledgePage::MoveField(bool up) {
    QListWidget* list = lstfld[kOrderList];
    const int row = list->currentRow();
    const knowledge::MoveOutcome out = up ? model_.MoveUp(row) : model_.MoveDown(row);
    SyncBoxes();  // `chkco` is ticked whatever follows
    if (out.moved) {
        const QSignalBlocker block(list);
        const std::vector<int>& order = model_.ordering();
        for (int r : {row, out.select}) {
            QListWidgetItem* item = list->item(r);
            item->setText(QString::fromStdString(model_.fieldNames()[size_t(order[size_t(r)])]));
            item->setData(Qt::UserRole, order[size_t(r)]);
        }
        SelectRow(list, out.select);
    }
    if (out.message) Show(*out.message);
}

// ---- pairs ---------------------------------------------------------------------------------

void KnowledgePage::AddPair(PairTab tab) {
    const PairLists l = ListsOf(tab);
    const PairEdit edit =
        model_.AddPair(tab, lstfld[size_t(l.first)]->currentRow(), lstfld[size_t(l.second)]->currentRow());
    ShowPairEdit(tab, edit);
}

void KnowledgePage::RemovePair(PairTab tab) {
    const PairEdit edit = model_.RemovePair(tab, lstrst[size_t(ListsOf(tab).pairs)]->currentRow());
    ShowPairEdit(tab, edit);
}

void KnowledgePage::ShowPairEdit(PairTab tab, const PairEdit& edit) {
    QListWidget* list = lstrst[size_t(ListsOf(tab).pairs)];
    if (edit.what == PairEdit::What::Added) {
        {
            const QSignalBlocker block(list);
            list->addItem(QString::fromStdString(model_.pairs(tab)[size_t(edit.row)].text));
        }
        SelectRow(list, edit.select);
        SyncBoxes();
    } else if (edit.what == PairEdit::What::Removed) {
        {
            const QSignalBlocker block(list);
            delete list->takeItem(edit.row);
        }
        SelectRow(list, edit.select);
        SyncBoxes();
    }
    if (edit.message) Show(*edit.message);
}

// ---- root and leaf -------------------------------------------------------------------------

void KnowledgePage::lstfld_Click(int index) {
    if (index != kRootList && index != kLeafList) return;
    model_.MarkListClicked(lstfld[kRootList]->currentRow(), lstfld[kLeafList]->currentRow());
    SyncBoxes();
}

void KnowledgePage::lstfld_ItemCheck(int index, int item) {
    if (index != kRootList && index != kLeafList) return;
    QListWidgetItem* row = lstfld[size_t(index)]->item(item);
    if (!row) return;
    const bool checked = row->checkState() == Qt::Checked;
    const knowledge::CheckOutcome out =
        model_.CheckMark(index == kRootList ? MarkList::Root : MarkList::Leaf, item, checked);
    if (out.checked != checked) {
        // Set back without raising this handler again.
        const QSignalBlocker block(lstfld[size_t(index)]);
        row->setCheckState(out.checked ? Qt::Checked : Qt::Unchecked);
    }
    if (out.message) Show(*out.message);
}

// ---- import --------------------------------------------------------------------------------

void KnowledgePage::cmdImport_Click() {
    const QString name = services_.files.Open(this, knowledge::kImportTitle, knowledge::kImportFilter, IMEXPath_);
    if (name.isEmpty()) return;
    const std::string path = name.toStdString();
    if (const std::optional<knowledge::Message> bad = knowledge::CheckImportFile(path)) {
        Show(*bad);
        return;
    }
    RememberFolder(name, IMEXPath_);
    window()->repaint();
    const knowledge::ImportScan scan = knowledge::ScanImportFile(path, ListTexts(lstfld[2]), ListTexts(lstfld[3]));
    // Each offered pair is picked in the two lists and added as the add button adds it. The
    // widgets follow in one go rather than pair by pair: a list on screen lays all its rows out
    // again when a row is selected after one was added, which for a network of a thousand links
    // is most of the import. Before a message box (a refused pair) they are brought up to date,
    // so the refusal shows over the lists as the add button would leave them.
    QStringList lines;
    int effect = -1, cause = -1, select = -1;
    bool added = false;
    const auto catchUp = [&] {
        if (added) {
            {
                const QSignalBlocker block(lstrst[1]);
                lstrst[1]->addItems(lines);
            }
            SelectRow(lstrst[1], select);
            SyncBoxes();
        }
        lines.clear();
        added = false;
        if (effect >= 0) SelectRow(lstfld[3], effect);
        if (cause >= 0) SelectRow(lstfld[2], cause);
        effect = cause = -1;
    };
    const int count = knowledge::ApplyImport(
        model_, scan, [&](const knowledge::ImportStep& step, const PairEdit* edit) {
            effect = step.effect;
            if (!edit) return;
            cause = step.cause;
            if (edit->what == PairEdit::What::Added) {
                lines << QString::fromStdString(model_.pairs(PairTab::CausesEffects)[size_t(edit->row)].text);
                select = edit->select;
                added = true;
            }
            if (edit->message) {
                catchUp();
                Show(*edit->message);
            }
        });
    catchUp();
    // A file that stopped parsing says where; the pairs before that line stay, uncounted.
    Show(scan.fault ? *scan.fault : knowledge::ImportCountMessage(count));
}

// ---- helpers -------------------------------------------------------------------------------

void KnowledgePage::Show(const knowledge::Message& message) {
    services_.prompts.Message(this, QString::fromStdString(message.text), title_, IconOf(message.icon));
}

std::vector<std::string> KnowledgePage::ListTexts(const QListWidget* list) const {
    std::vector<std::string> texts;
    texts.reserve(size_t(list->count()));
    for (int r = 0; r < list->count(); ++r) texts.push_back(list->item(r)->text().toStdString());
    return texts;
}

}  // namespace wizard
