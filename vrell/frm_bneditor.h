// vrell's network editor: one modal window over the shared canvas pane, with its own toolbar
// (draw mode, copy and save the picture, return the edit, drop it, help). It reads the
// construction result through the wizard's GetValue and hands the edit back through PutValue.
#pragma once

#include <QDialog>
#include <QStyle>
#include <QToolBar>

#include "wizard_common/canvas_pane.h"
#include "wizard_common/services.h"

namespace vrell {

class FrmWizard;

class FrmBNeditor : public QDialog {
    Q_OBJECT
public:
    // Loads the window: caption, the network of the wizard's result, laid out.
    FrmBNeditor(wizard::Services services, FrmWizard& wizard);

    void Toolbar1_ButtonClick(const QString& key);
    QAction* Action(const QString& key) const;

    QToolBar* Toolbar1;
    wizard::CanvasPane* pane;

private:
    void AddButton(const QString& key, const QString& caption, const QString& tip, QStyle::StandardPixmap icon);

    wizard::Services services_;
    FrmWizard& wizard_;
};

}  // namespace vrell
