// One network window of zorv's graph editor: the canvas over one layer of the session's
// exchange array (layer 0 the single net, layer k the network of class value k), with the
// changed flag mirrored into the session's NetState, saving back into GraphArr and the close
// question.
#pragma once

#include <QString>

#include "wizard_common/canvas_pane.h"
#include "wizard_common/services.h"
#include "zorv/session.h"

namespace zorv {

class FrmBNE : public wizard::CanvasPane {
    Q_OBJECT
public:
    // `net` is the window's network number, also its Tag; `frame` gives the close question
    // its title.
    FrmBNE(wizard::Services services, ZorvSession& session, int16_t net, QWidget* frame,
           QWidget* parent = nullptr);
    ~FrmBNE() override;

    QString Tag() const { return QString::number(net_); }
    int16_t Net() const { return net_; }
    // Loads the window's layer of GraphArr.
    void Init();
    // Writes the window's network into its layer when it changed; the model and the graph are
    // then marked as changed.
    void SaveNet();
    // The close question of a changed window: false when the user cancels. Yes saves first.
    bool QueryUnload();
    // Closes without asking again (the frame has asked every window before closing them).
    void CloseAsked();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    wizard::Services services_;
    ZorvSession& session_;
    int16_t net_;
    QWidget* frame_;
    bool asked_ = false;
};

}  // namespace zorv
