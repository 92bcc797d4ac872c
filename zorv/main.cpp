// zorv, the classifier wizard.
#include <QApplication>

#include "wizard_common/qt_services.h"
#include "wizard_common/window_placement.h"
#include "zorv/frm_wizard.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    wizard::OnScreenPlacement placement;
    app.installEventFilter(&placement);
    wizard::QtServices services;
    zorv::ZorvSession session;
    zorv::FrmWizard wizard(services.bundle(), session, QCoreApplication::applicationDirPath());
    wizard.show();
    return app.exec();
}
