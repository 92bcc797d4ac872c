// vrell, the construction wizard.
#include <QApplication>

#include "vrell/frm_wizard.h"
#include "wizard_common/qt_services.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    wizard::QtServices services;
    vrell::FrmWizard wizard(services.bundle(), QCoreApplication::applicationDirPath());
    wizard.show();
    return app.exec();
}
