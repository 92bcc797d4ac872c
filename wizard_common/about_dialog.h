// The About box of the three wizards: the program's title, version and notes, and three link
// labels (the program's own page, the mail address, the makers' page) opened through the shell.
// Where the desktop's opener fails, the two pages show in the program's help viewer, as Help's
// pages do, and the mail address is told in a message, so that no link does nothing.
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
    frmAbout(const AboutInfo& info, const Services& services, QWidget* parent = nullptr);

    // What the three link labels open.
    void vrell_Click();
    void email_Click();
    void ardven_Click();
    void CmdOK_Click() { accept(); }

    QString ProgramPage() const;
    QString SuitePage() const;
    QString MailTarget() const;

    // Closes the box; a help page opened from it stays open, now the owner's.
    void done(int result) override;

private:
    void OpenPage(const QString& path);

    AboutInfo info_;
    Services services_;
};

}  // namespace wizard
