// The help pages of the three programs. A page opens with the desktop's program for HTML files;
// where the desktop has none (or its opener fails), the page shows in a window of the program's
// own: a read-only viewer over the same file, whose links to other pages and to places in a
// page work inside it and whose web and mail links go to the shell.
#pragma once

#include <QPushButton>
#include <QString>
#include <QTextBrowser>
#include <QUrl>
#include <QWidget>

#include "wizard_common/services.h"

namespace wizard {

class HelpViewer : public QWidget {
    Q_OBJECT
public:
    // A top-level window owned by `owner` (closed with it), titled by the page it shows.
    HelpViewer(Shell& shell, QWidget* owner);

    // Shows the HTML file `path` from its top.
    void ShowPage(const QString& path);
    // A link of the page shown was clicked: another page or a place in one opens here,
    // anything else (a web or mail address) through the shell.
    void Follow(const QUrl& link);

    QTextBrowser* browser;
    QPushButton* cmdBack;
    QPushButton* cmdForward;
    QPushButton* cmdClose;

private:
    Shell& shell_;
};

// Opens the help page `path` with the shell; when the shell cannot, shows it in the viewer of
// `owner` (made on first use, shown again and brought to the front on every call). The shell
// may also find out later that its opener failed, and the viewer then shows the page from the
// event loop. Returns the viewer when it showed the page at once, else nullptr.
HelpViewer* OpenHelpPage(Shell& shell, QWidget* owner, const QString& path);

}  // namespace wizard
