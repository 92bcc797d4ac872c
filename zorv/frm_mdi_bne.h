// zorv's graph editor frame: one network window per network of the model (one for a single
// net, one per class value for a multi-net) in an MDI area, the toolbar with its button menus
// (draw mode, save, copy or save the picture, window arrangement, help), and the wizard
// blocked while it is open. Closing it closes the windows first (each may ask to save) and
// refreshes the wizard's listing when a network was saved.
#pragma once

#include <QAction>
#include <QMainWindow>
#include <QMdiArea>
#include <QStyle>
#include <QToolBar>
#include <vector>

#include "wizard_common/services.h"
#include "zorv/session.h"

namespace zorv {

class FrmBNE;
class FrmWizard;

class FrmMDIBNE : public QMainWindow {
    Q_OBJECT
public:
    // A window of its own over the wizard, blocking it (window-modal) while open; it deletes
    // itself when closed.
    FrmMDIBNE(wizard::Services services, ZorvSession& session, FrmWizard& wizard);

    // Shows the frame and opens the network windows.
    void Load();
    // The toolbar's buttons and menu items, by key.
    void Toolbar1_ButtonClick(const QString& key);
    void Toolbar1_ButtonMenuClick(const QString& key);
    // The window the toolbar acts on, or null when none is open.
    FrmBNE* ActiveWindow() const;
    std::vector<FrmBNE*> Windows() const;

    QMdiArea* mdi;
    QToolBar* Toolbar1;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QAction* AddButton(const QString& key, const QString& caption, const QString& tip, QStyle::StandardPixmap icon);
    QAction* AddMenuButton(const QString& key, const QString& caption, const QString& tip, QStyle::StandardPixmap icon,
                           const std::vector<std::pair<QString, QString>>& items);
    FrmBNE* AddWindow(int16_t net, const QString& caption);
    void UpdateActions();
    void Tilt();
    void ArrangeIcons();

    wizard::Services services_;
    ZorvSession& session_;
    FrmWizard& wizard_;
    std::vector<QAction*> windowActions_;  // need an open window
};

}  // namespace zorv
