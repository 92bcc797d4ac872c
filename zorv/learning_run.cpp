// zorv's learning run: the knowledge and options of step 2 handed to a new classifier engine,
// initialisation and structure learning (or, skipped, the causes and effects as the network to
// edit by hand), the progress shown on the page that is up, and the user's cancel.
#include <QApplication>
#include <cmath>

#include "platform/com/object.h"
#include "platform/vb/numbered_error.h"
#include "wizard_common/model/step_caption.h"
#include "zorv/frm_wizard.h"
#include "zorv/learned_model.h"
#include "zorv/learning_options.h"
#include "zorv/page_knowledge.h"
#include "zorv/page_result.h"

namespace zorv {

namespace {

// Int of a percentage the engine reports: 0 to 100, whole part.
int WholePercent(float p) {
    if (!(p > 0)) return 0;
    return p >= 100 ? 100 : int(std::floor(p));
}

}  // namespace

void FrmWizard::ReleaseEngine() {
    if (MyDataEng) MyDataEng->SetEventSink(nullptr);
    MyDataEng.reset();
}

void FrmWizard::HideProgress() {
    learn->lblprocessing->hide();
    learn->LblOverall->hide();
    for (QProgressBar* bar : {learn->ProgressBar1, learn->ProgressBar1a}) {
        bar->setValue(0);
        bar->hide();
    }
}

bool FrmWizard::process() {
    const wizard::knowledge::EngineKnowledge k = session_.Knowledge.ForDataEngine();
    const int n = k.names.UBound();
    try {
        NewEngine();
        CancelCall = false;

        // The model's fields in engine order, and the knowledge the run hands on (kept for the
        // running report).
        session_.FieldCount = vb::Integer(n);
        session_.FieldNames.assign(size_t(n) + 1, "");
        for (int i = 1; i <= n; ++i) session_.FieldNames[size_t(i)] = k.names(i);
        RunKnowledge.po = k.po;
        RunKnowledge.ce = k.ce;
        RunKnowledge.fl = k.fl;
        RunKnowledge.rt = k.rt;
        RunKnowledge.lf = k.lf;

        LearningActive = true;
        learn->ProgressBar1->setValue(0);
        learn->ProgressBar1->show();
        StatusText = "Initializing...";
        learn->lblprocessing->setText(StatusText);
        learn->lblprocessing->show();
        learn->LblOverall->show();
        learn->ProgressBar1a->setValue(0);
        learn->ProgressBar1a->show();
        QApplication::processEvents();

        // The training data always come from the database of step 0, whatever the test data's
        // format.
        std::shared_ptr<db::Database> database = TrainDb;
        std::string table = fields->CboTbName->currentText().toStdString();
        std::string frequency = fields->cboFrq->currentIndex() != 0 ? fields->cboFrq->currentText().toStdString() : "";
        MyDataEng->InitLearn(database, table, frequency);

        vb::Integer numfld = vb::Integer(n);
        vb::Array<std::string> names = k.names;
        bool bord = k.bord;
        vb::Array<vb::Integer> po = k.po, ce = k.ce, fl = k.fl, rt = k.rt, lf = k.lf;
        bool bpres = knowledge->page->chkpreserve->isChecked();
        std::string logi = learn->txtinputlog->text().toStdString();
        std::string logo = learn->txtoutputlog->text().toStdString();
        vb::Integer BMMode = session_.ModelMode;
        bool FixedThr = options->OptFixed->isChecked();
        vb::Integer FSM = options->FeatureSelectionMode();
        bool roc = options->ChKROC->isChecked();
        bool filter = options->ChkFiltering->isChecked();
        bool noOrd = options->ChkNoOrd->isChecked();
        MyDataEng->InitLearnStru(numfld, names, bord, po, ce, fl, rt, lf, bpres, logi, logo, BMMode, FixedThr, FSM,
                                 roc, filter, noOrd);
        QApplication::processEvents();
        if (CancelCall) {
            LearningActive = false;
            ReleaseEngine();
            HideProgress();
            return false;
        }

        vb::Array<std::string> labels;
        MyDataEng->GetClsLbl(labels);
        session_.NetCount = vb::Integer(labels.UBound());
        session_.ClassLabels.assign(size_t(session_.NetCount) + 1, "");
        for (int c = 1; c <= session_.NetCount; ++c) session_.ClassLabels[size_t(c)] = labels(c);
        session_.GraphArr.ReDim(vb::To(session_.NetCount), vb::To(n), vb::To(n));
        LearnedGraph.ReDim(vb::To(session_.NetCount), vb::To(n), vb::To(n));

        if (SkipLearning) {
            // Every cause-and-effect pair is an arc of every layer; a pair whose cause follows its
            // effect in the field order is the same arc seen from its other end.
            for (int t = 0; t <= session_.NetCount; ++t)
                for (int a = 1; a <= n; ++a)
                    for (int b = 1; b <= n; ++b) {
                        if (a < b) session_.GraphArr(t, a, b) = ce(a, b);
                        else if (a > b && ce(a, b) != 0) session_.GraphArr(t, b, a) = 2;
                    }
            session_.IsMultiNetFlag = options->OptMN->isChecked();
            session_.FieldUsed.assign(size_t(n) + 1, 0);
            session_.FeatureSelected = false;
        } else {
            StatusText = "Construction in progress...";
            learn->ProgressBar1->setValue(0);
            learn->lblprocessing->setText(StatusText);
            QApplication::processEvents();
            vb::Single threshold = FixedThr ? options->Threshold() : -1.0f;
            MyDataEng->LearnStru(threshold);
            LearningActive = false;
            MyDataEng->GetGraph(session_.GraphArr);
            if (session_.GraphArr.size() > 0 && session_.GraphArr(0, 0, 0) == -1) {
                // Cancelled: the engine stays, holding what it had learned.
                HideProgress();
                return false;
            }
            session_.IsMultiNetFlag = MyDataEng->IsMultiNet();
            vb::Array<vb::Integer> used;
            MyDataEng->GetRelative(used);
            session_.FieldUsed.assign(size_t(n) + 1, 0);
            session_.FeatureSelected = false;
            for (int i = 1; i <= n && i <= used.UBound(); ++i) session_.FieldUsed[size_t(i)] = used(i);
            for (int i = 2; i <= n; ++i)
                if (session_.FieldUsed[size_t(i)] == 0) session_.FeatureSelected = true;
            LearnedGraph = session_.GraphArr;
            LearnedGraph(0, 0, 0) = 1;
        }
        LearningActive = false;
        result->txtrst->clear();
        if (!SkipLearning) WriteGrafTxt();
        return true;
    } catch (const vb::NumberedError& e) {
        return LearningFailed(QString::fromStdString(e.description()));
    } catch (const std::exception& e) {
        return LearningFailed(QString::fromStdString(e.what()));
    }
}

bool FrmWizard::LearningFailed(const QString& text) {
    // No half-made model stays: the engine goes, page 3 is ready for another run.
    ReleaseEngine();
    LearningActive = false;
    HideProgress();
    services_.prompts.Message(this, text, QString::fromStdString(wizard::ZorvFrame().title), wizard::Icon::None);
    return false;
}

void FrmWizard::MyDataEng_PercentDone(float Percent1, float Percent2, bool& Cancel) {
    const int p1 = WholePercent(Percent1), p2 = WholePercent(Percent2);
    switch (CurrentStep) {
        case 3:
            StatusText = MyDataEng ? QString::fromStdString(MyDataEng->StrStatus()) : StatusText;
            learn->ProgressBar1->setValue(p2);
            learn->ProgressBar1a->setValue(p1);
            learn->lblprocessing->setText(StatusText + "..." + QString::number(p2) + "%");
            learn->LblOverall->setText("Overall..." + QString::number(p1) + "%");
            break;
        case 4:
            result->ProgressBar2->setValue(p2);
            result->lblLCPT2->setText(QString::number(p2) + "%");
            break;
        case 9:
            testTable->ProgressBar3->setValue(p2);
            testTable->LblCls2->setText(QString::number(p2) + "%");
            break;
        default: break;
    }
    QApplication::processEvents();
    Cancel = CancelCall;
    if (Cancel) RunCancelled = true;
}

}  // namespace zorv
