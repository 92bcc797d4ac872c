// The classifier's work after the structure: probability tables on leaving step 4, the batch
// classification of step 9 and its summary, the classifier file (open on the cover page, save
// on step 5 or at exit) and the engine calls that hold the form while they run.
#include <QApplication>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>

#include "platform/com/object.h"
#include "platform/vb/numbered_error.h"
#include "platform/vb/replacing_file.h"
#include "wizard_common/model/file_rules.h"
#include "wizard_common/model/paths.h"
#include "wizard_common/model/step_caption.h"
#include "wizard_common/save_target.h"
#include "wizard_common/wait_cursor.h"
#include "zorv/batch_summary.h"
#include "zorv/frm_wizard.h"
#include "zorv/page_costs.h"
#include "zorv/page_result.h"

namespace zorv {

namespace {

const QString& Title() {
    static const QString t = QString::fromStdString(wizard::ZorvFrame().title);
    return t;
}

// Runs `work`; an error shows its text in a plain box and gives false.
bool ShowingErrors(wizard::Prompts& prompts, QWidget* parent, const std::function<bool()>& work) {
    try {
        return work();
    } catch (const vb::NumberedError& e) {
        prompts.Message(parent, QString::fromStdString(e.description()), Title(), wizard::Icon::None);
    } catch (const std::exception& e) {
        prompts.Message(parent, QString::fromStdString(e.what()), Title(), wizard::Icon::None);
    }
    return false;
}

// A finished run reads 100%: the engine's last progress event comes before its last rows.
void ShowFinished(QProgressBar* bar, QLabel* percent) {
    bar->setValue(bar->maximum());
    percent->setText("100%");
}

}  // namespace

bool FrmWizard::RunEngineCall(const std::function<bool()>& call) {
    // Only Cancel stays live: it asks to stop the run (the engine stops at its next progress
    // event); exit, Back and the rest wait until the call has returned.
    std::vector<QWidget*> held;
    for (int i = 0; i < 6; ++i)
        if (i != 1 && cmdNav_[size_t(i)]->isEnabled()) held.push_back(cmdNav_[size_t(i)]);
    for (QWidget* w : held) w->setEnabled(false);
    struct Restore {
        FrmWizard& f;
        std::vector<QWidget*>& held;
        ~Restore() {
            for (QWidget* w : held) w->setEnabled(true);
            f.LearningActive = false;
            // A cancel asked for after the engine's last event must not stop the next call.
            f.CancelCall = false;
            if (f.closeAfterRun_) {
                f.closeAfterRun_ = false;
                QMetaObject::invokeMethod(&f, &QWidget::close, Qt::QueuedConnection);
            }
        }
    } restore{*this, held};
    CancelCall = false;
    RunCancelled = false;
    LearningActive = true;
    wizard::WaitCursor wait;
    return call();
}

bool FrmWizard::GraphDiffersFromEngine() {
    vb::Array<int16_t> engineGraph;
    MyDataEng->GetGraph(engineGraph);
    const vb::Array<int16_t>& g = session_.GraphArr;
    if (engineGraph.dims() != 3 || g.dims() != 3) return true;
    for (int d = 1; d <= 3; ++d)
        if (engineGraph.UBound(d) != g.UBound(d)) return true;
    // The corner cells carry the listing counter and the learning flag, not links.
    for (int t = 0; t <= g.UBound(1); ++t)
        for (int i = 0; i <= g.UBound(2); ++i)
            for (int j = 0; j <= g.UBound(3); ++j)
                if ((i != 0 || j != 0) && g(t, i, j) != engineGraph(t, i, j)) return true;
    return false;
}

bool FrmWizard::CheckOrient() const {
    const ZorvSession& s = session_;
    const vb::Array<int16_t>& g = s.GraphArr;
    if (g.dims() != 3) return true;
    if (s.IsMultiNetFlag) {
        for (int k = 1; k <= s.NetCount; ++k)
            for (int i = 2; i < s.FieldCount; ++i)
                for (int j = i + 1; j <= s.FieldCount; ++j)
                    if (g(k, i, j) > 2) return false;
    } else {
        for (int i = 1; i < s.FieldCount; ++i)
            for (int j = i + 1; j <= s.FieldCount; ++j)
                if (g(0, i, j) > 2) return false;
    }
    return true;
}

bool FrmWizard::LearnTables() {
    learn->lblprocessing->hide();
    learn->ProgressBar1->hide();
    learn->ProgressBar1->setValue(0);
    // An unchanged graph is not sent again: the engine would derive its feature subset anew
    // and lose the one the search scored (or a file's single net would lose its subset).
    if (GraphDiffersFromEngine()) MyDataEng->PutGraph(session_.GraphArr);
    if (session_.WorkMode == 1 || session_.ModelChanged) {
        if (!CheckOrient()) {
            services_.prompts.Message(this, "Some edges are not oriented, please edit the network first.", Title(),
                                      wizard::Icon::None);
            return false;
        }
        std::shared_ptr<db::Database> database = TrainDb;
        std::string table = fields->CboTbName->currentText().toStdString();
        std::string frequency =
            fields->cboFrq->currentIndex() > 0 ? fields->cboFrq->currentText().toStdString() : "";
        MyDataEng->InitLearn(database, table, frequency);
        for (QWidget* w : std::initializer_list<QWidget*>{result->lblLCPT, result->lblLCPT2, result->ProgressBar2})
            w->show();
        result->ProgressBar2->setValue(0);
        struct Hide {
            ResultPage* r;
            ~Hide() {
                for (QWidget* w : std::initializer_list<QWidget*>{r->lblLCPT, r->lblLCPT2, r->ProgressBar2}) w->hide();
            }
        } hide{result};
        QApplication::processEvents();
        bool mn = session_.IsMultiNetFlag;
        const bool ok = RunEngineCall([&] { return MyDataEng->LearnCPT(mn); });
        if (ok) {
            ShowFinished(result->ProgressBar2, result->lblLCPT2);
            // What the tables serve: the classifier's feature subset as the engine now holds it.
            vb::Array<vb::Integer> used;
            MyDataEng->GetRelative(used);
            for (int i = 1; i <= session_.FieldCount && i <= used.UBound(); ++i)
                session_.FieldUsed[size_t(i)] = used(i);
        }
        return ok;
    }
    std::string file = cover->BNCName->text().toStdString();
    MyDataEng->ReadBncCPT(file);
    return true;
}

void FrmWizard::TakeClassLabels() {
    vb::Array<std::string> labels;
    MyDataEng->GetClsLbl(labels);
    session_.NetCount = int16_t(labels.UBound());
    session_.ClassLabels.assign(size_t(session_.NetCount) + 1, "");
    for (int c = 1; c <= session_.NetCount; ++c) session_.ClassLabels[size_t(c)] = labels(c);
}

QString FrmWizard::ResultFileName() const { return testTable->RstName->text(); }

bool FrmWizard::ClassifyBatch() {
    TestTablePage& p = *testTable;
    if (p.CboTBNameT->currentIndex() <= 0) {
        services_.prompts.Message(this, "Please select a table containing the test data.", Title(), wizard::Icon::None);
        return false;
    }
    const bool toFile = p.OptSaveRst->isChecked();
    const QString name = p.RstName->text();
    if (toFile && name.isEmpty()) {
        services_.prompts.Message(this, "Please specify the text file to save classification results.", Title(),
                                  wizard::Icon::None);
        return false;
    }
    if (toFile) {
        const wizard::FileState state = wizard::ExaminePath(name.toStdString());
        if (state == wizard::FileState::NotReadWrite) {
            Warn("The text file '" + name + "' is not a normal read-write file.");
            return false;
        }
        if (state != wizard::FileState::Missing) {
            wizard::RememberFolder(name, ResultPath);
            if (!services_.prompts.Ask(this, "The text file'" + name + "' exists, overwrite?", Title())) return false;
        }
    }
    std::string cls = p.CboClsT->currentIndex() > 0 ? p.CboClsT->currentText().toStdString() : "";
    std::string table = p.CboTBNameT->currentText().toStdString();

    // The engine writes the results beside the file named and puts them in its place when the
    // batch ends or is cancelled; a batch that fails leaves the old results as they were.
    std::string file = toFile ? name.toStdString() : "";
    for (QWidget* w : std::initializer_list<QWidget*>{p.LblCls, p.LblCls2, p.ProgressBar3}) w->show();
    p.ProgressBar3->setValue(0);
    struct Hide {
        TestTablePage& p;
        ~Hide() {
            for (QWidget* w : std::initializer_list<QWidget*>{p.LblCls, p.LblCls2, p.ProgressBar3}) w->hide();
        }
    } hide{p};
    QApplication::processEvents();
    float accuracy = 0;
    RunEngineCall([&] {
        accuracy = MyDataEng->ClsfyBatch(session_.TestDb, table, cls, session_.ConfusionMatrix, file);
        return true;
    });
    // A cancelled batch leaves the engine's counters of the batch before: nothing to report.
    if (RunCancelled) return true;
    ShowFinished(p.ProgressBar3, p.LblCls2);

    BatchOutcome b;
    b.withClass = !cls.empty();
    b.total = MyDataEng->TotalCases();
    b.correct = MyDataEng->CorrectCases();
    b.failed = MyDataEng->ErrorCases();
    b.accuracy = accuracy;
    if (b.withClass) {
        TakeClassLabels();
        b.labels = session_.ClassLabels;
        MyDataEng->GetLift(LiftValues);
        MyDataEng->GetROC(RocValues);
        b.confusion = session_.ConfusionMatrix;
        b.lift = LiftValues;
        b.roc = RocValues;
    }
    LastSummary = QString::fromStdString(BatchSummary(b));
    services_.prompts.TableMessage(this, LastSummary, Title(), b.withClass ? wizard::Icon::Information : wizard::Icon::None);
    return true;
}

void FrmWizard::CmdBNC_Click() {
    const QString name = services_.files.Open(this, "Open BN classifier file",
                                              "BN Classifier (*.bnc)|*.bnc|All Files (*.*)|*.*", BNCPath);
    if (!name.isEmpty()) cover->BNCName->setText(name);
    // Chosen or cancelled, the folder of whatever the box names is the one to start from.
    wizard::RememberFolder(cover->BNCName->text(), BNCPath);
}

bool FrmWizard::ReadBNC(const QString& fileName) {
    return ShowingErrors(services_.prompts, this, [&] {
        NewEngine();
        std::string file = fileName.toStdString();
        MyDataEng->ReadBncStru(file);
        if (session_.WorkMode == 3) MyDataEng->ReadBncCPT(file);
        session_.ModelChanged = false;
        CostMatrix = {};
        return true;
    });
}

bool FrmWizard::BtnSaveBNC_Click() {
    return ShowingErrors(services_.prompts, this, [&] {
        const QString name = services_.files.Save(this, "Save Bayesian Network Classifier",
                                                  "Bayesian net classifier file (*.bnc)|*.bnc", BNCPath);
        if (name.isEmpty() || !wizard::ConfirmOverwrite(this, services_, name, Title())) return false;
        wizard::WaitCursor wait;
        // From step 4 (the exit question) the tables of the graph shown are learned first, and
        // a cost table that step 5 never built is the default one.
        if (CurrentStep == 4 && !LearnTables()) return false;
        if (CostMatrix.dims() != 2) SizeCostMatrix();
        MyDataEng->PutCostTable(CostMatrix);
        vb::ReplacingFile target(name.toStdString());
        std::string file = target.path();
        MyDataEng->WriteBnc(file);
        target.Commit();
        session_.ModelChanged = false;
        wizard::RememberFolder(name, BNCPath);
        return true;
    });
}

void FrmWizard::NewEngine() {
    ReleaseEngine();
    MyDataEng = NewDataEngine ? NewDataEngine() : com::CreateObjectAs<zorvapi::IDataEngine>("ZORVAPI.DataEngine");
    MyDataEng->SetEventSink(this);
    vb::Long rows = MaxCPTrows;
    vb::Integer vlus = MaxVlus;
    MyDataEng->Init(rows, vlus);
}

}  // namespace zorv
