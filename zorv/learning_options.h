// zorv's learning options: the "Algorithm settings" and "Dataset settings" tabs that follow the
// five knowledge tabs of step 2 (model kind, feature selection for multi-nets, threshold, model
// selection measure, feature filtering, no causal ordering).
//
// Each option button's rule is a plain member function: the button's click runs it, and so does
// code that chooses the button. A rule acts only when its button is the chosen one and changes
// only Enabled states (a check box turned off keeps its check mark) and the model mode.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QTabWidget>
#include <cstdint>

namespace zorv {

class LearningOptions : public QObject {
    Q_OBJECT
public:
    // Adds the two tabs to `tabs`; `chkpreserve` (the knowledge page's box) moves onto the
    // algorithm tab. `ModelMode` is the session's: 1 Bayesian net, 2 multi-net, 3 the better.
    LearningOptions(QTabWidget* tabs, QCheckBox* chkpreserve, int16_t& ModelMode);

    // Entering step 2 moving forward: threshold "1.0", automatic; Bayesian net only; feature
    // selection "If it performs better".
    void Reset();

    // What the learning run hands on.
    int16_t FeatureSelectionMode() const;  // FSM: 1 always, 2 never, 3 when it performs better
    // CmbEps's text as a number, read with "." whatever the locale.
    float Threshold() const;

    void OptBN_Click();
    void OptMN_Click();
    void OptBoth_Click();
    void OptFSA_Click();
    void OptFSN_Click();
    void OptFSI_Click();
    void OptAuto_Click();
    void OptFixed_Click();

    QGroupBox *Frame3, *FrameFS, *Frame4, *Frame5;
    QRadioButton *OptBN, *OptMN, *OptBoth;
    QRadioButton *OptFSN, *OptFSA, *OptFSI;
    QRadioButton *OptAuto, *OptFixed;
    QComboBox* CmbEps;
    QLabel *LblEps, *Label11;
    QCheckBox *ChKROC, *chkpreserve;
    QCheckBox *ChkFiltering, *ChkNoOrd;

private:
    void EnableFeatureSelection(bool on);
    // ChKROC is off exactly when the threshold is fixed and either the Bayesian net only, or the
    // multi-net only with a feature selection other than "If it performs better", is chosen.
    void SetRocAvailable(bool on) { ChKROC->setEnabled(on); }

    int16_t& ModelMode_;
};

}  // namespace zorv
