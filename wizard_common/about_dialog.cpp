// The About box shared by zorv, vrell and trune; each passes its title and its own page.
#include "wizard_common/about_dialog.h"

#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "wizard_common/frame_widgets.h"
#include "wizard_common/help_viewer.h"
#include "wizard_common/links.h"

namespace wizard {

frmAbout::frmAbout(const AboutInfo& info, const Services& services, QWidget* parent)
    : QDialog(parent), info_(info), services_(services) {
    setObjectName("frmAbout");
    setWindowTitle("About " + info.title);
    setModal(true);

    auto* icon = new QLabel;
    icon->setObjectName("picIcon");
    icon->setPixmap(style()->standardIcon(QStyle::SP_ComputerIcon).pixmap(48, 48));

    auto* title = new QLabel(info.title);
    title->setObjectName("lblTitle");
    QFont tf = title->font();
    tf.setPointSize(tf.pointSize() + 6);
    tf.setBold(true);
    title->setFont(tf);
    auto* version = new QLabel("Version " BNS_VERSION " for Linux");
    version->setObjectName("lblVersion");
    auto* rights = new QLabel("Copyright \u00a9 the BN suite developers. All rights reserved.");
    rights->setObjectName("lblRights");
    auto* disclaimer = new QLabel(
        "This program is provided as it is, without warranty of any kind. The networks and "
        "classifiers it learns are only as good as the data they are learned from: check them "
        "before you rely on them.");
    disclaimer->setObjectName("lblDisclaimer");
    disclaimer->setWordWrap(true);

    auto* designed = new QLabel("Designed and developed by:");
    auto* ardven = new LinkLabel("The BN suite team");
    ardven->setObjectName("ardven");
    auto* pageIntro = new QLabel("The program's page:");
    auto* vrell = new LinkLabel(QDir::toNativeSeparators(ProgramPage()));
    vrell->setObjectName("vrell");
    auto* mailLabel = new QLabel("Email:");
    auto* email = new LinkLabel(kMailAddress);
    email->setObjectName("email");
    auto* welcome = new QLabel(
        "Comments, suggestions, bug reports, cooperation and job opportunities are most welcome.");
    welcome->setObjectName("lblWelcome");
    welcome->setWordWrap(true);

    auto* ok = new QPushButton("OK");
    ok->setObjectName("CmdOK");
    ok->setDefault(true);

    connect(ardven, &LinkLabel::clicked, this, &frmAbout::ardven_Click);
    connect(vrell, &LinkLabel::clicked, this, &frmAbout::vrell_Click);
    connect(email, &LinkLabel::clicked, this, &frmAbout::email_Click);
    connect(ok, &QPushButton::clicked, this, &frmAbout::CmdOK_Click);

    auto* head = new QHBoxLayout;
    head->addWidget(icon, 0, Qt::AlignTop);
    auto* headText = new QVBoxLayout;
    headText->addWidget(title);
    headText->addWidget(version);
    headText->addWidget(rights);
    head->addLayout(headText, 1);

    auto* links = new QGridLayout;
    links->addWidget(designed, 0, 0);
    links->addWidget(ardven, 0, 1);
    links->addWidget(pageIntro, 1, 0);
    links->addWidget(vrell, 1, 1);
    links->addWidget(mailLabel, 2, 0);
    links->addWidget(email, 2, 1);
    links->setColumnStretch(1, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);

    auto* main = new QVBoxLayout(this);
    main->addLayout(head);
    main->addSpacing(8);
    main->addWidget(disclaimer);
    main->addSpacing(8);
    main->addLayout(links);
    main->addSpacing(8);
    main->addWidget(welcome);
    main->addLayout(buttons);
    setMinimumWidth(520);
}

QString frmAbout::ProgramPage() const { return QDir(info_.programDir).filePath(info_.pageFile); }
QString frmAbout::SuitePage() const { return QDir(info_.programDir).filePath(kSuitePage); }
QString frmAbout::MailTarget() const { return QString("mailto:") + kMailAddress; }

void frmAbout::OpenPage(const QString& path) {
    // Owned by the box while it is up: a window of the wizard's would be blocked by it.
    OpenHelpPage(services_.shell, this, path);
}

void frmAbout::vrell_Click() { OpenPage(ProgramPage()); }
void frmAbout::ardven_Click() { OpenPage(SuitePage()); }

void frmAbout::email_Click() {
    // The opener may fail after the box has closed: the address is then told no more.
    const QPointer<frmAbout> box(this);
    Prompts& prompts = services_.prompts;
    const QString title = info_.title;
    services_.shell.OpenDocumentElse(MailTarget(), [box, &prompts, title] {
        if (!box) return;
        prompts.Message(box, QString("No mail program could be started. Please write to %1.").arg(kMailAddress),
                        title, Icon::Information);
    });
}

void frmAbout::done(int result) {
    if (QWidget* owner = parentWidget()) {
        for (HelpViewer* viewer : findChildren<HelpViewer*>(QString(), Qt::FindDirectChildrenOnly)) {
            const bool shown = viewer->isVisible();
            const QRect where = viewer->geometry();
            viewer->setParent(owner, viewer->windowFlags());
            viewer->setGeometry(where);
            if (shown) viewer->show();
        }
    }
    QDialog::done(result);
}

}  // namespace wizard
