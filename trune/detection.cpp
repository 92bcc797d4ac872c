// The continuous fields of the copied table and their interval counts: the detection run when
// page 4 is left (FindCont), page 5's field and count lists, the two reset commands, "Auto
// Set" and the method buttons. The rule and the "Auto Set" count are in
// trune/discretize/continuous_fields.h; this file asks the database and moves the lists.
#include <QSignalBlocker>

#include "platform/db/sql_names.h"
#include "platform/vb/numbered_error.h"
#include "trune/discretize/continuous_fields.h"
#include "trune/frm_wizard.h"
#include "wizard_common/model/step_caption.h"
#include "wizard_common/wait_cursor.h"

namespace trune {

int32_t FrmWizard::DistinctValues(const std::string& field, std::vector<db::Value>* sample) {
    const std::string sql = "select distinct " + db::QuotedPlainName(field, db::NameKind::Field) + " From " +
                            db::QuotedPlainName(table->NTbName->text().toStdString(), db::NameKind::Table);
    std::unique_ptr<db::Recordset> rows = session_.TargetDb->OpenRecordset(sql, db::dbOpenSnapshot);
    int32_t count = 0;
    if (!rows->Eof()) {
        rows->MoveLast();
        count = rows->RecordCount();
        rows->MoveFirst();
    }
    if (sample) {
        sample->clear();
        const vb::Array<db::Value> block = rows->GetRows(kNumericSample);
        for (int32_t r = 0; r <= block.UBound(2); ++r) sample->push_back(block(0, r));
    }
    rows->Close();
    return count;
}

bool FrmWizard::FindCont() {
    TruneSession& s = session_;
    s.ContCount = 0;
    const size_t size = size_t(s.TableFieldCount) + 1;
    s.ContFields.assign(size, std::string());
    s.Intervals.assign(size, 0);
    s.DistinctCounts.assign(size, 0);
    // The cuts and counts of a run on the earlier detection's fields mean nothing now.
    s.Cuts.clear();
    s.SupervisedIntervals.clear();
    const bool automatic = settings->AutoDetect->isChecked();
    try {
        wizard::WaitCursor wait;
        for (int i = 0; i < s.TableFieldCount; ++i) {
            const std::string& f = s.TableFields[size_t(i)];
            int32_t d = 0;
            bool keep = true;
            if (automatic) {
                if (IsLabelColumn(f)) {
                    keep = false;
                } else {
                    // The sample is read only when the count passes the limit.
                    std::vector<db::Value> sample;
                    d = DistinctValues(f, &sample);
                    keep = IsContinuous(d, sample, ValueLimit);
                }
            }
            if (keep) {
                ++s.ContCount;
                s.ContFields[size_t(s.ContCount)] = f;
                s.DistinctCounts[size_t(s.ContCount)] = d;
            }
            PumpEvents();
            if (s.CancelRun) return false;
        }
    } catch (const vb::NumberedError& e) {
        Message(QString::fromStdString(e.description()), wizard::Icon::Warning);
        return false;
    }

    QListWidget* list = method->LstConFld;
    {
        const QSignalBlocker block(list);
        list->clear();
        for (int i = 1; i <= s.ContCount; ++i) {
            auto* item = new QListWidgetItem(QString::fromStdString(s.ContFields[size_t(i)]), list);
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
            item->setCheckState(Qt::Checked);
            s.Intervals[size_t(i)] = kPresetIntervals;
        }
    }
    if (s.ContCount == 0) return true;
    {
        const QSignalBlocker block(list);
        list->setCurrentRow(0);
    }
    LstConFld_Click();
    {
        const QSignalBlocker block(method->LstIntvl);
        method->LstIntvl->setCurrentRow(kPresetIntervals - kMinIntervals);
    }
    LstIntvl_Click();
    ResetIndex = kPresetIntervals - kMinIntervals;
    {
        const QSignalBlocker block(method->CboReset);
        method->CboReset->setCurrentIndex(ResetIndex);
    }
    return true;
}

// The count the list shows for the selected field: the one the user chose while equal width
// or equal frequency is selected, which is what their next run cuts by; while the supervised
// method is selected, the count its last finished run produced (none before such a run), as
// that method chooses its own.
void FrmWizard::LstConFld_Click() {
    QListWidget* list = method->LstConFld;
    const int k = list->currentRow();
    QListWidgetItem* item = k >= 0 ? list->item(k) : nullptr;
    const bool supervised = method->OptEnt->isChecked();
    const std::vector<int32_t>& counts = supervised ? session_.SupervisedIntervals : session_.Intervals;
    {
        const QSignalBlocker block(method->LstIntvl);
        const int row = item && size_t(k) + 1 < counts.size() ? counts[size_t(k) + 1] - kMinIntervals : -1;
        // A count the list has no entry for shows no selection.
        if (row >= 0 && row < method->LstIntvl->count()) {
            method->LstIntvl->setCurrentRow(row);
        } else {
            method->LstIntvl->setCurrentRow(-1);
            method->LstIntvl->clearSelection();
        }
    }
    method->LstIntvl->setEnabled(item && item->checkState() == Qt::Checked && !supervised);
}

void FrmWizard::LstIntvl_Click() {
    const int k = method->LstConFld->currentRow();
    const int row = method->LstIntvl->currentRow();
    if (k < 0 || row < 0 || size_t(k) + 1 >= session_.Intervals.size()) return;
    session_.Intervals[size_t(k) + 1] = row + kMinIntervals;
}

void FrmWizard::CboReset_Click() {
    if (method->CboReset->currentIndex() == ResetIndex) return;
    Command1_Click();
}

void FrmWizard::Command1_Click() {
    const QString title = QString::fromStdString(wizard::TruneFrame().title);
    if (!services_.prompts.Ask(this, "Reset the number of intervals of all fields to " +
                                         method->CboReset->currentText() + "?",
                               title)) {
        const QSignalBlocker block(method->CboReset);
        method->CboReset->setCurrentIndex(ResetIndex);
        return;
    }
    ResetIndex = method->CboReset->currentIndex();
    for (int i = 1; i <= session_.ContCount; ++i) session_.Intervals[size_t(i)] = ResetIndex + kMinIntervals;
    LstConFld_Click();
}

void FrmWizard::CmdAutoDis_Click() {
    TruneSession& s = session_;
    try {
        wizard::WaitCursor wait;
        for (int i = 1; i <= s.ContCount; ++i) {
            if (s.DistinctCounts[size_t(i)] < 3) s.DistinctCounts[size_t(i)] = DistinctValues(s.ContFields[size_t(i)], nullptr);
            s.Intervals[size_t(i)] = AutoSetIntervals(s.DistinctCounts[size_t(i)]);
            PumpEvents();
        }
    } catch (const vb::NumberedError& e) {
        // The counts set so far stay; the list shows what it showed.
        Message(QString::fromStdString(e.description()), wizard::Icon::Warning);
        return;
    }
    LstConFld_Click();
}

void FrmWizard::EnableCountControls(bool on) {
    for (QWidget* w : {static_cast<QWidget*>(method->Command1), static_cast<QWidget*>(method->LstIntvl),
                       static_cast<QWidget*>(method->CboReset), static_cast<QWidget*>(method->CmdAutoDis)})
        w->setEnabled(on);
}

// Each method button shows the counts of its own kind (LstConFld_Click).
void FrmWizard::OptEW_Click() {
    if (!method->OptEW->isChecked()) return;
    EnableCountControls(true);
    LstConFld_Click();
}

void FrmWizard::OptEF_Click() {
    if (!method->OptEF->isChecked()) return;
    EnableCountControls(true);
    LstConFld_Click();
}

// The entropy method finds its own number of intervals, so the count controls go off.
void FrmWizard::OptEnt_Click() {
    if (!method->OptEnt->isChecked()) return;
    EnableCountControls(false);
    LstConFld_Click();
    method->CmbFlds->setFocus();
}

void FrmWizard::FillClassFields() {
    QComboBox* box = method->CmbFlds;
    const QSignalBlocker block(box);
    box->clear();
    box->addItem("NONE");
    if (session_.TargetDb && !table->NTbName->text().isEmpty()) {
        const db::TableDef def = session_.TargetDb->TableDefs(table->NTbName->text().toStdString());
        for (const db::Field& f : def.Fields) box->addItem(QString::fromStdString(f.Name));
    }
    box->setCurrentIndex(0);
}

}  // namespace trune
