// Step 4's button that opens the graph editor over the learned networks.
#include <QPushButton>

#include "wizard_common/model/step_caption.h"
#include "zorv/frm_mdi_bne.h"
#include "zorv/frm_wizard.h"
#include "zorv/page_result.h"

namespace zorv {

void FrmWizard::AddEditorButton() {
    cmdeditor = new QPushButton("Open BN editor");
    cmdeditor->setObjectName("cmdeditor");
    result->buttons->insertWidget(0, cmdeditor);
    connect(cmdeditor, &QPushButton::clicked, this, &FrmWizard::cmdeditor_Click);
}

void FrmWizard::cmdeditor_Click() {
    FrmMDIBNE* frame = nullptr;
    try {
        frame = new FrmMDIBNE(services_, session_, *this);
        frame->Load();
    } catch (const std::exception& e) {
        // A frame that failed to load does not stay over the wizard.
        if (frame) {
            frame->hide();
            frame->deleteLater();
        }
        services_.prompts.Message(this, QString::fromStdString(e.what()),
                                  QString::fromStdString(wizard::ZorvFrame().title), wizard::Icon::Warning);
    }
}

}  // namespace zorv
