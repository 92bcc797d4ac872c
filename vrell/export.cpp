// The export of page 7: the network file named by the user, refused while a link is not
// oriented, written by the engine's parameter learning with FrmLearnCP showing the progress.
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "platform/vb/runtime_error.h"
#include "vrell/frm_learncp.h"
#include "vrell/frm_wizard.h"
#include "wizard_common/frame_widgets.h"
#include "wizard_common/model/step_caption.h"
#include "wizard_common/save_target.h"

namespace vrell {

namespace {

constexpr const char* kLearning = "BN parameter learning in progress...";
constexpr const char* kLearningCP = "CP";

}  // namespace

FrmLearnCP::FrmLearnCP(vb::Integer& CancelCall, QWidget* wizard) : QDialog(wizard), cancelCall_(CancelCall) {
    setObjectName("FrmLearnCP");
    setWindowTitle("Tormid - Parameter Learning");
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowModality(Qt::WindowModal);
    ProgressBar1 = wizard::Named(new QProgressBar, "ProgressBar1");
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    Label1 = wizard::Named(new QLabel(kLearning), "Label1");
    btnOK = wizard::Named(new QPushButton("OK"), "btnOK");
    btnCancel = wizard::Named(new QPushButton("Cancel"), "btnCancel");
    btnOK->setEnabled(false);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(ProgressBar1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnOK);
    buttons->addWidget(btnCancel);
    layout->addLayout(buttons);
    setMinimumWidth(360);
    connect(btnOK, &QPushButton::clicked, this, [this] {
        finished_ = true;
        close();
    });
    connect(btnCancel, &QPushButton::clicked, this, &QWidget::close);
}

void FrmLearnCP::ShowProgress(vb::Single Percent) {
    ProgressBar1->setValue(int(Percent));
    Label1->setText(QString(kLearning) + QString::number(int(Percent)) + "%");
}

void FrmLearnCP::Finished() {
    finished_ = true;
    // The engine's last progress event comes before its last tables and the file.
    ProgressBar1->setValue(ProgressBar1->maximum());
    Label1->setText("Parameter Learning finished successfully!");
    btnOK->setEnabled(true);
    btnOK->setFocus();
}

// Escape goes the way of the window's close button.
void FrmLearnCP::reject() { close(); }

void FrmLearnCP::closeEvent(QCloseEvent* event) {
    if (!finished_) cancelCall_ = -1;
    event->accept();
}

void FrmWizard::LearnCPProgress(vb::Single Percent) {
    // A window closed by Cancel takes no more progress.
    if (learnCP_) learnCP_->ShowProgress(Percent);
}

void FrmWizard::cmdexport_Click() {
    const QString title = QString::fromStdString(wizard::VrellFrame().title);
    const QString f = services_.files.Save(
        this, "Export the result to Netica, Hugin or Interchange format",
        "Netica file (*.dne)|*.dne|Hugin net file (*.net)|*.net|Bayesian Interchange 0.15 (*.bif)|*.bif", IMEXPath);
    if (f.isEmpty() || !wizard::ConfirmOverwrite(this, services_, f, title)) return;
    wizard::RememberFolder(f, IMEXPath);
    int unoriented = 0;
    for (int a = 0; a < NumFlds; ++a)
        for (int b = a + 1; b < NumFlds; ++b)
            if (rst(a, b) == 3) ++unoriented;
    if (unoriented >= 1) {
        Message(QString::number(unoriented) +
                    " edges have not been oriented, please use 'BN editor' to orient them first.",
                wizard::Icon::None);
        return;
    }
    try {
        if (!MyDataSet) throw vb::RuntimeError(91, "Object variable or With block variable not set");
        if (learnCP_) learnCP_->close();
        CancelCall = 0;
        StatusStr = kLearningCP;
        learnCP_ = new FrmLearnCP(CancelCall, this);
        learnCP_->show();
        PumpEvents();
        std::string tmpF = f.toStdString();
        MyDataSet->LearnCP(rst, tmpF);
        if (CancelCall != -1 && learnCP_) {
            learnCP_->Finished();
            StatusStr.clear();
        }
    } catch (const vb::NumberedError& e) {
        Message(QString::fromStdString(e.description()), wizard::Icon::Warning);
    } catch (const std::exception& e) {
        Message(QString::fromStdString(e.what()), wizard::Icon::Warning);
    }
}

}  // namespace vrell
