// zorv's network window: loading its layer, saving it back and closing.
#include "zorv/frm_bne.h"

#include <QCloseEvent>

#include "wizard_common/model/step_caption.h"

namespace zorv {

FrmBNE::FrmBNE(wizard::Services services, ZorvSession& session, int16_t net, QWidget* frame,
               QWidget* parent)
    : CanvasPane(wizard::CanvasSettings::NetworkWindow(), services.prompts,
                 QString::fromStdString(wizard::ZorvFrame().title), {}, parent),
      services_(services), session_(session), net_(net), frame_(frame) {
    setObjectName(QString("FrmBNE_%1").arg(net));
    setProperty("Tag", Tag());
    // The session's record follows the window's changed flag after every event.
    connect(this, &CanvasPane::edited, this, [this] {
        if (size_t(net_) < session_.NetState.size()) session_.NetState[size_t(net_)].changed = model().Changed();
    });
}

FrmBNE::~FrmBNE() {
    for (FrmBNE*& w : session_.EditorForms)
        if (w == this) w = nullptr;
}

void FrmBNE::Init() {
    const ZorvSession& s = session_;
    vb::Array<std::string> names(vb::To(s.FieldCount));
    vb::Array<int16_t> used(vb::To(s.FieldCount));
    for (int k = 1; k <= s.FieldCount; ++k) {
        if (size_t(k) < s.FieldNames.size()) names(k) = s.FieldNames[size_t(k)];
        if (size_t(k) < s.FieldUsed.size()) used(k) = s.FieldUsed[size_t(k)];
    }
    model().Init(s.GraphArr, net_, s.FieldCount, s.FirstNode, names, used);
    model().SetDrawMode(s.DrawMode);
    Refresh();
}

void FrmBNE::SaveNet() {
    if (!model().SaveNet(session_.GraphArr)) return;
    session_.ModelChanged = true;
    session_.GraphChanged = true;
    Refresh();
}

bool FrmBNE::QueryUnload() {
    if (!model().NeedsCloseQuestion()) return true;
    const QString text = QString::fromStdString(model().CloseQuestionText(windowTitle().toStdString()));
    switch (services_.prompts.AskYesNoCancel(this, text, frame_ ? frame_->windowTitle() : QString(),
                                             wizard::Icon::Warning)) {
        case wizard::Answer::Yes: SaveNet(); return true;
        case wizard::Answer::No: return true;
        case wizard::Answer::Cancel: break;
    }
    return false;
}

void FrmBNE::CloseAsked() {
    asked_ = true;
    if (parentWidget()) parentWidget()->close();  // the MDI window around this one
    else close();
}

void FrmBNE::closeEvent(QCloseEvent* event) {
    if (!asked_ && !QueryUnload()) {
        event->ignore();
        return;
    }
    asked_ = true;
    if (size_t(net_) < session_.NetState.size()) session_.NetState[size_t(net_)].closed = true;
    event->accept();
}

}  // namespace zorv
