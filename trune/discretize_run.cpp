// Page 5's Finish: the chosen fields, method and codes handed to the conditioning of the copy
// (trune/discretize/conditioning.h), its progress shown on the page with the window events let
// run while the cut points are computed and after every row (where a Cancel click arrives),
// and its outcome told to the user: a cancelled or failed run leaves the table, the cuts and
// the counts as they were, and the message says so; a finished one names on the last page the
// fields it found no cut for.
#include <QListWidget>

#include "platform/vb/numbered_error.h"
#include "trune/discretize/conditioning.h"
#include "trune/frm_wizard.h"
#include "wizard_common/wait_cursor.h"

namespace trune {
namespace {

// The progress caption while the cut points are computed, before the rows are written.
const char* const kCuttingCaption = "Computing the cut points, please wait...";

}  // namespace

bool FrmWizard::Discretize() {
    TruneSession& s = session_;
    s.CancelRun = false;
    s.TargetTable = table->NTbName->text().toStdString();

    // The checked fields of the list, item i - 1 standing for field i.
    std::vector<FieldToCut> fields;
    std::vector<int> fieldIndex;
    for (int i = 1; i <= s.ContCount; ++i) {
        QListWidgetItem* item = method->LstConFld->item(i - 1);
        if (!item || item->checkState() != Qt::Checked) continue;
        fields.push_back({s.ContFields[size_t(i)], s.Intervals[size_t(i)], {}});
        fieldIndex.push_back(i);
    }
    CutSettings settings;
    settings.method = method->OptEW->isChecked()   ? CutMethod::EqualWidth
                      : method->OptEF->isChecked() ? CutMethod::EqualFrequency
                                                   : CutMethod::Entropy;
    settings.classField = method->CmbFlds->currentText().toStdString();
    settings.missingText = this->settings->txtMissing->text().toStdString();
    settings.aloneText = this->settings->txtAlone->text().toStdString();
    if (!settings.missingText.empty()) settings.codes.missing = s.MissingCode;
    if (!settings.aloneText.empty()) settings.codes.alone = s.AloneCode;

    // The cut computation and the walk show their progress on the same bar, each from 0; the
    // caption says which of the two runs.
    const QString walking = method->LbProcessing->text();
    const auto show = [this](vb::Single p, const QString& caption) {
        const int whole = int(p);
        if (method->LbProcessing->text() != caption) method->LbProcessing->setText(caption);
        SetProgress(whole);
        PumpEvents();
        return session_.CancelRun;
    };
    const auto cutting = [&](vb::Single p) { return show(p, kCuttingCaption); };
    const auto afterRow = [&](vb::Single p) { return show(p, walking); };
    // A run that did not finish leaves no percentage behind its message.
    auto notFinished = [&] {
        method->LbProcessing->setText(walking);
        SetProgress(0);
    };
    const QString unchanged = "The table " + QString::fromStdString(s.TargetTable) + " was left unchanged.";

    ConditionResult result = ConditionResult::Done;
    try {
        wizard::WaitCursor wait;
        if (!s.TargetDb) throw db::Error(3420, "Object invalid or no longer set.");
        result = ConditionTable(*s.TargetDb, s.TargetTable, fields, settings, HoldOutRandom, afterRow, cutting);
    } catch (const vb::NumberedError& e) {
        notFinished();
        Message(QString::fromStdString(e.description()) + "\n\n" + unchanged, wizard::Icon::None);
        return false;
    }
    if (result != ConditionResult::Done) notFinished();
    if (result == ConditionResult::NotUpdatable) {
        Message("The table is not updatable.", wizard::Icon::None);
        return false;
    }
    if (result == ConditionResult::Cancelled) {
        Message("The discretization was cancelled. " + unchanged, wizard::Icon::None);
        return false;
    }
    // Only a finished run changes what the session keeps: its cuts (the labels it wrote) and,
    // for the supervised method, the counts it produced. A cancelled or failed run rolled the
    // table back, and the session stays as it was before the run with it.
    s.Cuts.assign(size_t(s.ContCount) + 1, CutPoints());
    s.SupervisedIntervals.clear();
    if (settings.method == CutMethod::Entropy) s.SupervisedIntervals.assign(size_t(s.ContCount) + 1, 0);
    for (size_t k = 0; k < fields.size(); ++k) {
        s.Cuts[size_t(fieldIndex[k])] = fields[k].cuts;
        if (!s.SupervisedIntervals.empty()) s.SupervisedIntervals[size_t(fieldIndex[k])] = fields[k].intervals;
    }
    method->LbProcessing->setText(walking);
    SetProgress(100);
    // The fields written "?" in every row, named on the last page.
    std::vector<std::string> uncut;
    for (const FieldToCut& f : fields)
        if (f.cuts.empty()) uncut.push_back(f.name);
    finished->SetUncutFields(uncut);
    return true;
}

void FrmWizard::SetProgress(int percent) {
    method->Lbpercent->setText(QString::number(percent) + "%");
    method->ProgressBar1->setValue(percent);
}

}  // namespace trune
