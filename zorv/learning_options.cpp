// The two learning-option tabs of step 2 and the rules of their option buttons.
#include "zorv/learning_options.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QVBoxLayout>
#include <QWidget>

#include "wizard_common/frame_widgets.h"

namespace zorv {

using wizard::Named;

namespace {

// The multiples of the engine's default threshold, largest first; "1.0" is the default choice.
const char* const kThresholds[] = {"50",  "30",  "20",  "15",  "12.5", "10.0", "8.0", "6.0", "5.0",
                                   "4.0", "3.0", "2.0", "1.8", "1.6",  "1.4",  "1.2", "1.0", "0.9",
                                   "0.8", "0.7", "0.6", "0.5", "0.4", "0.3",  "0.2",  "0.1"};
constexpr int kDefaultThreshold = 16;

// A check box does not wrap its caption: a long one stands in a wrapping label beside the box,
// and a click on the label is a click on the box.
class CaptionLabel : public QLabel {
public:
    CaptionLabel(const QString& text, QCheckBox* box) : QLabel(text), box_(box) {
        setWordWrap(true);
        setObjectName(box->objectName() + "Caption");
    }

protected:
    void mouseReleaseEvent(QMouseEvent*) override {
        if (box_->isEnabled()) box_->click();
    }

private:
    QCheckBox* box_;
};

}  // namespace

LearningOptions::LearningOptions(QTabWidget* tabs, QCheckBox* preserve, int16_t& ModelMode)
    : QObject(tabs), chkpreserve(preserve), ModelMode_(ModelMode) {
    setObjectName("LearningOptions");
    // ---- Algorithm settings ----
    auto* algorithm = new QWidget;
    algorithm->setObjectName("AlgorithmSettings");
    Frame3 = Named(new QGroupBox("Learning algorithm"), "Frame3");
    OptBN = Named(new QRadioButton("Learn Bayesian network classifier only"), "OptBN");
    OptMN = Named(new QRadioButton("Learn Bayesian Multi-net classifier only"), "OptMN");
    OptBoth = Named(new QRadioButton("Learn the better classifer of both categories"), "OptBoth");
    FrameFS = Named(new QGroupBox("Feature Selection for Multi-net"), "FrameFS");
    OptFSN = Named(new QRadioButton("Never"), "OptFSN");
    OptFSA = Named(new QRadioButton("Always"), "OptFSA");
    OptFSI = Named(new QRadioButton("If it performs better"), "OptFSI");
    {
        auto* fs = new QHBoxLayout(FrameFS);
        fs->addWidget(OptFSN);
        fs->addWidget(OptFSA);
        fs->addWidget(OptFSI);
        fs->addStretch(1);
        auto* v = new QVBoxLayout(Frame3);
        v->addWidget(OptBN);
        v->addWidget(OptMN);
        v->addWidget(OptBoth);
        v->addWidget(FrameFS);
    }

    Frame4 = Named(new QGroupBox("Threshold setting"), "Frame4");
    OptAuto = Named(new QRadioButton("Automatic threshold selecting (slower when learning)."), "OptAuto");
    OptFixed = Named(new QRadioButton("Using specified threshod:"), "OptFixed");
    CmbEps = Named(new QComboBox, "CmbEps");
    for (const char* t : kThresholds) CmbEps->addItem(t);
    LblEps = Named(new QLabel("times of the default value."), "LblEps");
    Label11 = Named(new QLabel("Larger threshold will speed up the learning process and result in simpler networks."),
                    "Label11");
    Label11->setWordWrap(true);
    {
        auto* fixed = new QHBoxLayout;
        fixed->addWidget(OptFixed);
        fixed->addWidget(CmbEps);
        fixed->addWidget(LblEps);
        fixed->addStretch(1);
        auto* v = new QVBoxLayout(Frame4);
        v->addWidget(OptAuto);
        v->addLayout(fixed);
        v->addWidget(Label11);
    }

    Frame5 = Named(new QGroupBox("Other settings"), "Frame5");
    ChKROC = Named(new QCheckBox("Use AUC(ROC) instead of classification accuracy to select models."), "ChKROC");
    {
        auto* v = new QVBoxLayout(Frame5);
        v->addWidget(ChKROC);
        v->addWidget(chkpreserve);
    }
    auto* a = new QVBoxLayout(algorithm);
    a->addWidget(Frame3);
    a->addWidget(Frame4);
    a->addWidget(Frame5);
    a->addStretch(1);
    tabs->addTab(algorithm, "&Algorithm settings");

    // ---- Dataset settings ----
    auto* dataset = new QWidget;
    dataset->setObjectName("DatasetSettings");
    ChkFiltering = Named(new QCheckBox, "ChkFiltering");
    ChkNoOrd = Named(new QCheckBox, "ChkNoOrd");
    auto* d = new QVBoxLayout(dataset);
    auto captioned = [d](QCheckBox* box, const QString& caption) {
        auto* row = new QHBoxLayout;
        row->addWidget(box, 0, Qt::AlignTop);
        row->addWidget(new CaptionLabel(caption, box), 1);
        d->addLayout(row);
    };
    captioned(ChkFiltering, "Enable Automatic Feature Filtering (When there are irrelavent features in the data "
                            "set, feature filtering can speed up the learning process.)");
    captioned(ChkNoOrd, "Features are not related to each other causally, so the ordering does not matter.");
    d->addStretch(1);
    tabs->addTab(dataset, "&Dataset settings");

    // Each set of option buttons is its own group: the feature-selection buttons sit inside the
    // model kind's frame, and Qt's grouping by parent would mix the two sets (a click on a
    // chosen model button could then clear it).
    for (auto set : {std::initializer_list<QRadioButton*>{OptBN, OptMN, OptBoth},
                     std::initializer_list<QRadioButton*>{OptFSN, OptFSA, OptFSI},
                     std::initializer_list<QRadioButton*>{OptAuto, OptFixed}}) {
        auto* group = new QButtonGroup(this);
        for (QRadioButton* b : set) group->addButton(b);
    }

    connect(OptBN, &QRadioButton::clicked, this, &LearningOptions::OptBN_Click);
    connect(OptMN, &QRadioButton::clicked, this, &LearningOptions::OptMN_Click);
    connect(OptBoth, &QRadioButton::clicked, this, &LearningOptions::OptBoth_Click);
    connect(OptFSA, &QRadioButton::clicked, this, &LearningOptions::OptFSA_Click);
    connect(OptFSN, &QRadioButton::clicked, this, &LearningOptions::OptFSN_Click);
    connect(OptFSI, &QRadioButton::clicked, this, &LearningOptions::OptFSI_Click);
    connect(OptAuto, &QRadioButton::clicked, this, &LearningOptions::OptAuto_Click);
    connect(OptFixed, &QRadioButton::clicked, this, &LearningOptions::OptFixed_Click);

    // At creation: Bayesian net only, feature selection when better, automatic threshold.
    CmbEps->setCurrentIndex(kDefaultThreshold);
    OptFSI->setChecked(true);
    OptAuto->setChecked(true);
    OptBN->setChecked(true);
    CmbEps->setEnabled(false);
    LblEps->setEnabled(false);
    OptBN_Click();
}

void LearningOptions::Reset() {
    CmbEps->setCurrentIndex(kDefaultThreshold);
    OptBN->setChecked(true);
    OptAuto->setChecked(true);
    OptFSI->setChecked(true);
    CmbEps->setEnabled(false);
    LblEps->setEnabled(false);
    // Run after the threshold is automatic again, so that ChKROC ends on as the rules have it.
    OptBN_Click();
}

int16_t LearningOptions::FeatureSelectionMode() const {
    if (OptFSA->isChecked()) return 1;
    if (OptFSN->isChecked()) return 2;
    return 3;
}

float LearningOptions::Threshold() const {
    // QString's number parsing is the C locale's: "12.5" under a "," locale too.
    bool ok = false;
    const float value = CmbEps->currentText().toFloat(&ok);
    return ok ? value : 0.0f;
}

void LearningOptions::EnableFeatureSelection(bool on) {
    for (QWidget* w : std::initializer_list<QWidget*>{FrameFS, OptFSN, OptFSA, OptFSI}) w->setEnabled(on);
}

void LearningOptions::OptBN_Click() {
    if (!OptBN->isChecked()) return;
    ModelMode_ = 1;
    EnableFeatureSelection(false);
    SetRocAvailable(!OptFixed->isChecked());
}

void LearningOptions::OptMN_Click() {
    if (!OptMN->isChecked()) return;
    ModelMode_ = 2;
    EnableFeatureSelection(true);
    SetRocAvailable(!(OptFixed->isChecked() && !OptFSI->isChecked()));
}

void LearningOptions::OptBoth_Click() {
    if (!OptBoth->isChecked()) return;
    ModelMode_ = 3;
    EnableFeatureSelection(true);
    SetRocAvailable(true);
}

void LearningOptions::OptFSA_Click() {
    if (!OptFSA->isChecked()) return;
    SetRocAvailable(!(OptFixed->isChecked() && !OptBoth->isChecked()));
}

void LearningOptions::OptFSN_Click() {
    if (!OptFSN->isChecked()) return;
    SetRocAvailable(!(OptFixed->isChecked() && !OptBoth->isChecked()));
}

void LearningOptions::OptFSI_Click() {
    if (!OptFSI->isChecked()) return;
    SetRocAvailable(true);
}

void LearningOptions::OptAuto_Click() {
    if (!OptAuto->isChecked()) return;
    CmbEps->setEnabled(false);
    LblEps->setEnabled(false);
    SetRocAvailable(true);
}

void LearningOptions::OptFixed_Click() {
    if (!OptFixed->isChecked()) return;
    CmbEps->setEnabled(true);
    LblEps->setEnabled(true);
    SetRocAvailable(!(OptBN->isChecked() || (OptMN->isChecked() && !OptFSI->isChecked())));
}

}  // namespace zorv
