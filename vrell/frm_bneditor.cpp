// The network editor window and its exchange with the wizard's result matrix.
#include "vrell/frm_bneditor.h"

#include <QStyle>
#include <QVBoxLayout>

#include "platform/vb/numbered_error.h"
#include "vrell/frm_wizard.h"
#include "vrell/result_listing.h"
#include "wizard_common/graph_pictures.h"
#include "wizard_common/model/step_caption.h"

namespace vrell {

namespace {

QString BoxTitle() { return QString::fromStdString(wizard::VrellFrame().title); }

}  // namespace

FrmBNeditor::FrmBNeditor(wizard::Services services, FrmWizard& wizard)
    : QDialog(&wizard), services_(services), wizard_(wizard) {
    setObjectName("FrmBNeditor");
    setWindowTitle("Belief Network Editor - " + wizard.table->cboTbName->currentText());
    pane = new wizard::CanvasPane(wizard::CanvasSettings::SingleEditor(), services_.prompts, BoxTitle(),
                                  {"FScroll2", "FScroll1"});
    pane->setObjectName("Picture1Pane");
    Toolbar1 = new QToolBar("Toolbar1");
    Toolbar1->setObjectName("Toolbar1");
    Toolbar1->setToolButtonStyle(Qt::ToolButtonIconOnly);
    QAction* place = Toolbar1->addSeparator();
    place->setObjectName("place");
    AddButton("draw", "Draw", "Draw mode", QStyle::SP_ArrowRight);
    Action("draw")->setCheckable(true);
    AddButton("copy", "Copy", "Copy graph to clipboard", QStyle::SP_FileDialogDetailedView);
    AddButton("save", "Save", "Save graph to file", QStyle::SP_DialogSaveButton);
    AddButton("return", "Return", "Save changes && return", QStyle::SP_DialogApplyButton);
    AddButton("cancel", "Cancel", "Cancel changes && return", QStyle::SP_DialogCancelButton);
    AddButton("help", "Help", "Help", QStyle::SP_DialogHelpButton);
    pane->SetTopBar(Toolbar1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(pane);

    wizard.BneLoad = true;
    const int16_t n = wizard.NumFlds;
    vb::Array<std::string> names(vb::To(n));
    vb::Array<int16_t> linked(vb::To(n), vb::To(n)), directed(vb::To(n), vb::To(n));
    wizard.GetValue(names, linked, directed);
    pane->model().InitLinks(names, linked, directed);
    pane->Refresh();
    resize(pane->sizeHint());
}

void FrmBNeditor::AddButton(const QString& key, const QString& caption, const QString& tip,
                            QStyle::StandardPixmap icon) {
    QAction* a = Toolbar1->addAction(style()->standardIcon(icon), caption);
    a->setObjectName(key);
    a->setToolTip(tip);
    connect(a, &QAction::triggered, this, [this, key] { Toolbar1_ButtonClick(key); });
}

QAction* FrmBNeditor::Action(const QString& key) const { return Toolbar1->findChild<QAction*>(key); }

void FrmBNeditor::Toolbar1_ButtonClick(const QString& key) {
    wizard::GraphCanvas& model = pane->model();
    if (key == "draw") {
        model.SetDrawMode(Action("draw")->isChecked());
        model.DropPendingStart();
        pane->Refresh();
    } else if (key == "copy") {
        wizard::CopyImageToClipboard(pane->CaptureImage());
    } else if (key == "save") {
        wizard::SaveImageToFile(this, services_, BoxTitle(), [this] { return pane->CaptureImage(); });
    } else if (key == "return") {
        wizard_.PutValue(model.Linked(), model.DirClosure());
        accept();  // hidden, still loaded: the next opening shows this edit
    } else if (key == "cancel") {
        reject();  // the wizard unloads a rejected window
    } else if (key == "help") {
        services_.prompts.Message(this, QString::fromStdString(wizard::EditorHelpText()), wizard::kEditorHelpTitle,
                                  wizard::Icon::None);
    }
}

// ---- the wizard's side ----------------------------------------------------------------------

void FrmWizard::GetValue(vb::Array<std::string>& nodenm, vb::Array<int16_t>& graph, vb::Array<int16_t>& ord) const {
    for (int i = 0; i < NumFlds; ++i) {
        nodenm(i + 1) = arrfldnm.InBounds(1, i) ? arrfldnm(i) : std::string();
        for (int j = i + 1; j < NumFlds; ++j) {
            const vb::Integer c = rst(i, j);
            if (c >= 1) graph(i + 1, j + 1) = graph(j + 1, i + 1) = 1;
            if (c == 1) ord(i + 1, j + 1) = 1;
            if (c == 2) ord(j + 1, i + 1) = 1;
        }
    }
}

void FrmWizard::PutValue(const vb::Array<int16_t>& graph, const vb::Array<int16_t>& ordclz) {
    if (rstSaved.size() == 0 || rstSaved(0, 0) == 0) {
        rstSaved = rst;
        rstSaved(0, 0) = 7;
    }
    for (int i = 0; i < NumFlds; ++i) {
        for (int j = i + 1; j < NumFlds; ++j) {
            vb::Integer& c = rst(i, j);
            if (graph(j + 1, i + 1) == 1 || graph(i + 1, j + 1) == 1)
                c = ordclz(i + 1, j + 1) == 1 ? 1 : ordclz(j + 1, i + 1) == 1 ? 2 : 3;
            else
                c = 0;
        }
    }
    const std::string text = "\r\n\r\nAfter editing:\r\n" + ListLinks(rst, arrfldnm, NumFlds);
    QString shown = finished->txtrst->toPlainText() + QString::fromStdString(text).replace("\r\n", "\n");
    finished->txtrst->setPlainText(shown);
}

void FrmWizard::cmdeditor_Click() {
    try {
        if (!BneLoad || !editor_) editor_ = new FrmBNeditor(services_, *this);
        const int outcome = editor_->exec();
        if (outcome != QDialog::Accepted) UnloadEditor();
    } catch (const vb::NumberedError& e) {
        Message(QString::fromStdString(e.description()), wizard::Icon::Warning);
    } catch (const std::exception& e) {
        Message(QString::fromStdString(e.what()), wizard::Icon::Warning);
    }
}

void FrmWizard::UnloadEditor() {
    delete editor_;
    BneLoad = false;
}

}  // namespace vrell
