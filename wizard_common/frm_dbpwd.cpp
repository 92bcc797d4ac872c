// The database-password dialog.
#include "wizard_common/frm_dbpwd.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

#include "wizard_common/frame_widgets.h"

namespace wizard {

frmDBPWD::frmDBPWD(QWidget* parent) : QDialog(parent) {
    setObjectName("frmDBPWD");
    setWindowTitle("Password Required");
    setModal(true);
    lblLabels_0 = new QLabel("&Enter database password:");
    lblLabels_0->setObjectName("lblLabels_0");
    txtPassword = new QLineEdit;
    txtPassword->setObjectName("txtPassword");
    txtPassword->setEchoMode(QLineEdit::Password);
    lblLabels_0->setBuddy(txtPassword);
    SelectAllOnFocus(txtPassword);
    CmdOK = new QPushButton("&OK");
    CmdOK->setObjectName("CmdOK");
    CmdOK->setDefault(true);
    CmdCancel = new QPushButton("&Cancel");
    CmdCancel->setObjectName("CmdCancel");
    connect(CmdOK, &QPushButton::clicked, this, &frmDBPWD::CmdOK_Click);
    connect(CmdCancel, &QPushButton::clicked, this, &frmDBPWD::CmdCancel_Click);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(CmdOK);
    buttons->addWidget(CmdCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblLabels_0);
    layout->addWidget(txtPassword);
    layout->addLayout(buttons);
    setFixedWidth(320);
}

void frmDBPWD::CmdOK_Click() {
    PWD = txtPassword->text();
    accept();
}

void frmDBPWD::CmdCancel_Click() {
    PWD.clear();
    reject();
}

QString AskPassword(QWidget* parent) {
    frmDBPWD dialog(parent);
    dialog.exec();
    return dialog.PWD;
}

}  // namespace wizard
