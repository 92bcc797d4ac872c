// The progress window of parameter learning: the bar, its label, OK (once learning has
// finished) and Cancel. It blocks the wizard while it is open, so no click reaches the wizard
// during the engine call; closing it is a Cancel.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include "platform/vb/types.h"

namespace vrell {

class FrmLearnCP : public QDialog {
    Q_OBJECT
public:
    // `CancelCall` is the wizard's stop request, set to -1 by Cancel.
    FrmLearnCP(vb::Integer& CancelCall, QWidget* wizard);

    void ShowProgress(vb::Single Percent);
    void Finished();

    QProgressBar* ProgressBar1;
    QLabel* Label1;
    QPushButton* btnOK;
    QPushButton* btnCancel;

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    vb::Integer& cancelCall_;
    bool finished_ = false;
};

}  // namespace vrell
