// The database-password dialog: a fresh one for every prompt, so its box always starts empty.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QString>

namespace wizard {

class frmDBPWD : public QDialog {
    Q_OBJECT
public:
    explicit frmDBPWD(QWidget* parent = nullptr);
    // The password given with OK; "" after Cancel.
    QString PWD;
    QLabel* lblLabels_0;
    QLineEdit* txtPassword;
    QPushButton* CmdOK;
    QPushButton* CmdCancel;

    void CmdOK_Click();
    void CmdCancel_Click();
};

// Shows a new password dialog modally; the password, or "" for Cancel.
QString AskPassword(QWidget* parent);

}  // namespace wizard
