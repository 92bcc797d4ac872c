// trune, the data-conditioning wizard.
#include <QApplication>

#include "trune/frm_wizard.h"
#include "wizard_common/qt_services.h"
#include "wizard_common/window_placement.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    wizard::OnScreenPlacement placement;
    app.installEventFilter(&placement);
    wizard::QtServices services;
    trune::TruneSession session;
    trune::FrmWizard wizard(services.bundle(), session, QCoreApplication::applicationDirPath());
    wizard.show();
    return app.exec();
}
