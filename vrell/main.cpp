// vrell, the construction wizard.
#include <QApplication>

#include "vrell/frm_wizard.h"
#include "wizard_common/qt_services.h"
#include "wizard_common/window_placement.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    wizard::OnScreenPlacement placement;
    app.installEventFilter(&placement);
    wizard::QtServices services;
    vrell::FrmWizard wizard(services.bundle(), QCoreApplication::applicationDirPath());
    wizard.show();
    return app.exec();
}
