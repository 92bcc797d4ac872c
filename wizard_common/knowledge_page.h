// The domain-knowledge page shared by zorv (step 2) and vrell: the tab control `SSTab1` with the
// five knowledge tabs, and its handlers. The page is a view over a KnowledgeModel (the state
// the learning runs read, owned by the program's session): each handler runs the model's
// operation, shows the message it returns and copies the new state into the widgets. The
// model's rules flag decides zorv's class-field rules.
//
// Lists are filled under QSignalBlocker; a handler the code must raise is called as a plain
// member function after the value is set. The wizard may add tabs of its own to `SSTab1` after
// the five knowledge tabs, and place `chkpreserve` on one of them (it starts on the
// causes-and-effects tab).
#pragma once

#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QWidget>
#include <array>
#include <optional>
#include <string>
#include <vector>

#include "wizard_common/model/knowledge_model.h"
#include "wizard_common/services.h"

namespace wizard {

class KnowledgePage : public QWidget {
    Q_OBJECT
public:
    // `title` is the program's title on every message box; `IMEXPath` the wizard's remembered
    // folder of network files, which the import starts in and updates. The page starts as Fill
    // leaves it over the model's fields.
    KnowledgePage(knowledge::KnowledgeModel& model, Services services, const QString& title, QString& IMEXPath,
                  QWidget* parent = nullptr);

    // Entering the page moving forward: the model and every list start afresh over `fields`
    // (the selected fields in order), the boxes off, tab 0 in front.
    void Fill(const std::vector<std::string>& fields);
    // Leaving the page with Next: fills the model's positions and marks and checks the tabs
    // against the cause-and-effect pairs; false (after the warning) keeps the wizard on the page.
    bool CheckOnLeave();

    knowledge::KnowledgeModel& model() const { return model_; }

    // Handlers, by the names of the controls they belong to.
    void chkco_Click();
    void chkpo_Click();
    void chkce_Click();
    void chkfl_Click();
    void chkrl_Click();
    void chkpreserve_Click();
    void cmdup_Click();
    void cmddn_Click();
    void cmdright1_Click() { AddPair(knowledge::PairTab::PartialOrdering); }
    void cmdright2_Click() { AddPair(knowledge::PairTab::CausesEffects); }
    void cmdright3_Click() { AddPair(knowledge::PairTab::ForbiddenLinks); }
    void cmdleft1_Click() { RemovePair(knowledge::PairTab::PartialOrdering); }
    void cmdleft2_Click() { RemovePair(knowledge::PairTab::CausesEffects); }
    void cmdleft3_Click() { RemovePair(knowledge::PairTab::ForbiddenLinks); }
    // The root and leaf lists (7 and 8): a click keeps `chkrl` in step with the checked rows;
    // a check change first goes through the class-field rules.
    void lstfld_Click(int index);
    void lstfld_ItemCheck(int index, int item);
    void cmdImport_Click();

    // Controls, named as the page's controls are named.
    QLabel* lblheading;
    QTabWidget* SSTab1;
    std::array<QListWidget*, 9> lstfld{};
    std::array<QListWidget*, 3> lstrst{};
    QPushButton *cmdup, *cmddn;
    QPushButton *cmdright1, *cmdright2, *cmdright3;
    QPushButton *cmdleft1, *cmdleft2, *cmdleft3;
    QCheckBox *chkco, *chkpo, *chkce, *chkfl, *chkrl, *chkpreserve;
    QPushButton* cmdImport;

private:
    void BuildTabs();
    void Connect();
    void ClickBox(knowledge::KnowledgeBox box, QCheckBox* check);
    void MoveField(bool up);
    void AddPair(knowledge::PairTab tab);
    void RemovePair(knowledge::PairTab tab);
    // The widgets' side of an add or remove: the pair list's line and selection, the message.
    void ShowPairEdit(knowledge::PairTab tab, const knowledge::PairEdit& edit);
    // Boxes, `chkpreserve` and the availability of tabs 0 and 1 as the model has them.
    void SyncBoxes();
    void Show(const knowledge::Message& message);
    std::vector<std::string> ListTexts(const QListWidget* list) const;

    knowledge::KnowledgeModel& model_;
    Services services_;
    QString title_;
    QString& IMEXPath_;
    // A mouse click on a row's check box toggles the check before the click is reported: the
    // check change already ran the list's click handler for that click.
    bool checkToggledByPress_ = false;
};

}  // namespace wizard
