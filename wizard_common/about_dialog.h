// The About box of the three wizards: the program's title, version and notes, and three link
// labels (the program's own page, the mail address, the makers' page) opened through the shell.
#pragma once

#include <QDialog>
#include <QString>

#include "wizard_common/services.h"

namespace wizard {

class LinkLabel;

struct AboutInfo {
    QString title;       // "Belief Network Kalvex"
    QString pageFile;    // the program's own page, relative to the program's folder
    QString programDir;  // the folder the pages and the working folder are taken from
};

class frmAbout : public QDialog {
    Q_OBJECT
public:
    frmAbout(const AboutInfo& info, Shell& shell, QWidget* parent = nullptr);

    // What the three link labels open; failures are ignored (a missing browser shows nothing).
    void vrell_Click();
    void email_Click();
    void ardven_Click();
    void CmdOK_Click() { accept(); }

    QString ProgramPage() const;
    QString SuitePage() const;
    QString MailTarget() const;

private:
    AboutInfo info_;
    Shell& shell_;
};

}  // namespace wizard
