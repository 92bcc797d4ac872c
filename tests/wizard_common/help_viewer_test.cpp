// The help pages on a desktop with and without a program for HTML files: the shell first, the
// program's own viewer when the shell fails (at once, or when its opener fails after it
// started), its links inside it and through the shell.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QWidget>
#include <QtTest/QTest>
#include <memory>

#include "tests/support/qt/fake_services.h"
#include "wizard_common/help_viewer.h"
#include "wizard_common/qt_services.h"

namespace {

void Write(const QString& path, const QString& html) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(html.toUtf8());
}

class HelpViewerTest : public ::testing::Test {
protected:
    void SetUp() override {
        Write(dir.filePath("help.html"),
              "<html><head><title>Kalvex help</title></head><body><h1>Cover</h1>"
              "<p>See <a href=\"sub/editor.html\">the editor</a>, <a href=\"missing.html\">gone</a>, "
              "<a href=\"mailto:someone@example.org\">mail</a>.</p></body></html>");
        Write(dir.filePath("sub/editor.html"),
              "<html><head><title>Editor</title></head><body><p>Arcs and nodes. "
              "<a href=\"../help.html\">Back to the start</a></p></body></html>");
    }
    QString Page() const { return dir.filePath("help.html"); }

    QTemporaryDir dir;
    testsupport::FakeShell shell;
    QWidget owner;
};

TEST_F(HelpViewerTest, TheShellOpensThePageWhenItCan) {
    EXPECT_EQ(wizard::OpenHelpPage(shell, &owner, Page()), nullptr);
    EXPECT_EQ(shell.opened, std::vector<QString>{Page()});
    EXPECT_EQ(owner.findChild<wizard::HelpViewer*>(), nullptr);
}

TEST_F(HelpViewerTest, WithoutAProgramForThePageTheViewerShowsItAndFollowsItsLinks) {
    shell.opens = false;
    wizard::HelpViewer* viewer = wizard::OpenHelpPage(shell, &owner, Page());
    ASSERT_NE(viewer, nullptr);
    EXPECT_TRUE(viewer->isVisible());
    EXPECT_TRUE(viewer->isWindow());
    EXPECT_TRUE(viewer->browser->isReadOnly());
    EXPECT_EQ(viewer->browser->source(), QUrl::fromLocalFile(Page()));
    EXPECT_EQ(viewer->windowTitle(), "Kalvex help");
    EXPECT_TRUE(viewer->browser->toPlainText().contains("Cover"));

    // Another page of the help opens in the viewer, and Back returns.
    viewer->Follow(QUrl("sub/editor.html"));
    EXPECT_EQ(viewer->browser->source(), QUrl::fromLocalFile(dir.filePath("sub/editor.html")));
    EXPECT_EQ(viewer->windowTitle(), "Editor");
    EXPECT_TRUE(viewer->cmdBack->isEnabled());
    viewer->Follow(QUrl("../help.html"));
    EXPECT_EQ(viewer->browser->source(), QUrl::fromLocalFile(Page()));
    viewer->cmdBack->click();
    EXPECT_EQ(viewer->windowTitle(), "Editor");

    // A missing page keeps the one shown; a mail address goes to the shell.
    viewer->Follow(QUrl("../missing.html"));
    EXPECT_EQ(viewer->windowTitle(), "Editor");
    viewer->Follow(QUrl("mailto:someone@example.org"));
    EXPECT_EQ(shell.opened.back(), "mailto:someone@example.org");
    EXPECT_EQ(viewer->windowTitle(), "Editor");

    // Help again: the same window, on the page asked for.
    viewer->close();
    EXPECT_EQ(wizard::OpenHelpPage(shell, &owner, Page()), viewer);
    EXPECT_TRUE(viewer->isVisible());
    EXPECT_EQ(viewer->windowTitle(), "Kalvex help");
    EXPECT_EQ(owner.findChildren<wizard::HelpViewer*>().size(), 1);
}

// An opener that starts and fails later (the desktop's xdg-open with no browser behind it):
// the viewer opens then, and not at all when the wizard is gone by then.
TEST_F(HelpViewerTest, AnOpenerThatFailsAfterItStartedOpensTheViewer) {
    shell.failsAfterStart = true;
    EXPECT_EQ(wizard::OpenHelpPage(shell, &owner, Page()), nullptr);
    EXPECT_EQ(owner.findChild<wizard::HelpViewer*>(), nullptr);
    ASSERT_EQ(shell.openerFailures.size(), 1u);
    shell.openerFailures[0]();
    auto* viewer = owner.findChild<wizard::HelpViewer*>();
    ASSERT_NE(viewer, nullptr);
    EXPECT_TRUE(viewer->isVisible());
    EXPECT_EQ(viewer->browser->source(), QUrl::fromLocalFile(Page()));

    auto gone = std::make_unique<QWidget>();
    EXPECT_EQ(wizard::OpenHelpPage(shell, gone.get(), Page()), nullptr);
    gone.reset();
    ASSERT_EQ(shell.openerFailures.size(), 2u);
    shell.openerFailures[1]();
    EXPECT_EQ(owner.findChildren<wizard::HelpViewer*>().size(), 1);
}

// The real shell with an xdg-open of ours first on PATH: its exit status decides.
TEST_F(HelpViewerTest, TheDesktopsOpenerExitingNonZeroOpensTheViewer) {
    QTemporaryDir bin;
    const QString marker = bin.filePath("asked");
    const QByteArray oldPath = qgetenv("PATH");
    qputenv("PATH", bin.path().toLocal8Bit() + ":" + oldPath);
    struct Restore {
        QByteArray path;
        ~Restore() { qputenv("PATH", path); }
    } restore{oldPath};
    wizard::QtShell real;
    for (int status : {3, 0}) {
        SCOPED_TRACE(status);
        QFile::remove(marker);
        Write(bin.filePath("xdg-open"),
              QString("#!/bin/sh\nprintf '%s' \"$1\" > '%1'\nexit %2\n").arg(marker).arg(status));
        QFile::setPermissions(bin.filePath("xdg-open"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

        QWidget wizardWindow;
        EXPECT_EQ(wizard::OpenHelpPage(real, &wizardWindow, Page()), nullptr);
        ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(marker); }, 5000));
        if (status != 0) {
            ASSERT_TRUE(QTest::qWaitFor([&] { return wizardWindow.findChild<wizard::HelpViewer*>(); }, 5000));
            EXPECT_EQ(wizardWindow.findChild<wizard::HelpViewer*>()->browser->source(), QUrl::fromLocalFile(Page()));
        } else {
            QTest::qWait(300);  // the exit reaches the program
            EXPECT_EQ(wizardWindow.findChild<wizard::HelpViewer*>(), nullptr);
        }
        QFile asked(marker);
        ASSERT_TRUE(asked.open(QIODevice::ReadOnly));
        EXPECT_EQ(QString::fromLocal8Bit(asked.readAll()), Page());
    }
}

}  // namespace
