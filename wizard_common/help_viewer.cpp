// The help viewer: a text browser over the help files with Back, Forward and Close, and the
// opener that tries the shell first.
#include "wizard_common/help_viewer.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QPointer>
#include <QScreen>
#include <QVBoxLayout>
#include <memory>

namespace wizard {

namespace {

constexpr const char* kViewerName = "HelpViewer";

}  // namespace

HelpViewer::HelpViewer(Shell& shell, QWidget* owner) : QWidget(owner, Qt::Window), shell_(shell) {
    setObjectName(kViewerName);
    browser = new QTextBrowser;
    browser->setObjectName("browser");
    browser->setReadOnly(true);
    // Links are followed here, so that web and mail addresses reach the shell instead of
    // being loaded as files.
    browser->setOpenLinks(false);
    cmdBack = new QPushButton("< &Back");
    cmdBack->setObjectName("cmdBack");
    cmdForward = new QPushButton("&Forward >");
    cmdForward->setObjectName("cmdForward");
    cmdClose = new QPushButton("&Close");
    cmdClose->setObjectName("cmdClose");
    cmdBack->setEnabled(false);
    cmdForward->setEnabled(false);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdBack);
    buttons->addWidget(cmdForward);
    buttons->addStretch(1);
    buttons->addWidget(cmdClose);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(browser, 1);
    layout->addLayout(buttons);

    connect(browser, &QTextBrowser::anchorClicked, this, &HelpViewer::Follow);
    connect(browser, &QTextBrowser::backwardAvailable, cmdBack, &QPushButton::setEnabled);
    connect(browser, &QTextBrowser::forwardAvailable, cmdForward, &QPushButton::setEnabled);
    connect(browser, &QTextBrowser::sourceChanged, this, [this] {
        const QString title = browser->documentTitle();
        setWindowTitle(title.isEmpty() ? QString("Help") : title);
    });
    connect(cmdBack, &QPushButton::clicked, browser, &QTextBrowser::backward);
    connect(cmdForward, &QPushButton::clicked, browser, &QTextBrowser::forward);
    connect(cmdClose, &QPushButton::clicked, this, &QWidget::close);

    // A reading size, never larger than the screen's free area.
    QSize size(760, 620);
    if (const QScreen* s = owner ? owner->screen() : screen()) size = size.boundedTo(s->availableSize());
    resize(size);
}

void HelpViewer::ShowPage(const QString& path) {
    browser->setSource(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
}

void HelpViewer::Follow(const QUrl& link) {
    const QUrl target = browser->source().resolved(link);
    if (target.isLocalFile()) {
        // A page that is not there leaves the one shown.
        if (QFileInfo::exists(target.toLocalFile())) browser->setSource(target);
        return;
    }
    // The desktop's own program, if any; nothing more can be done here when there is none.
    shell_.OpenDocument(link.toString());
}

namespace {

HelpViewer* ShowInViewer(Shell& shell, QWidget* owner, const QString& path) {
    auto* viewer = owner ? owner->findChild<HelpViewer*>(kViewerName, Qt::FindDirectChildrenOnly) : nullptr;
    if (!viewer) viewer = new HelpViewer(shell, owner);
    viewer->ShowPage(path);
    viewer->show();
    viewer->raise();
    viewer->activateWindow();
    return viewer;
}

}  // namespace

HelpViewer* OpenHelpPage(Shell& shell, QWidget* owner, const QString& path) {
    // The opener may fail long after this returns, by when the owner may be gone.
    struct Call {
        bool returned = false;
        HelpViewer* shown = nullptr;
    };
    auto call = std::make_shared<Call>();
    const QPointer<QWidget> guard(owner);
    shell.OpenDocumentElse(path, [&shell, guard, hadOwner = owner != nullptr, path, call] {
        if (hadOwner && !guard) return;
        HelpViewer* viewer = ShowInViewer(shell, guard, path);
        if (!call->returned) call->shown = viewer;
    });
    call->returned = true;
    return call->shown;
}

}  // namespace wizard
