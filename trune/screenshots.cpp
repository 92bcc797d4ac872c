// Clicks through the wizard with scripted answers (every question Yes, no file dialog) and
// grabs each page as it is shown.
#include "trune/screenshots.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QTemporaryDir>

#include "trune/frm_wizard.h"
#include "wizard_common/about_dialog.h"
#include "wizard_common/links.h"
#include "wizard_common/model/step_caption.h"

namespace trune {

namespace {

class YesPrompts : public wizard::Prompts {
public:
    void Message(QWidget*, const QString&, const QString&, wizard::Icon) override {}
    bool Ask(QWidget*, const QString&, const QString&) override { return true; }
};

class NoFiles : public wizard::FileDialogs {
public:
    QString Open(QWidget*, const QString&, const QString&, const QString&) override { return {}; }
    QString Save(QWidget*, const QString&, const QString&, const QString&) override { return {}; }
};

class NoShell : public wizard::Shell {
public:
    bool OpenDocument(const QString&) override { return true; }
    bool StartProgram(const QString&) override { return true; }
    QDateTime Now() override { return QDateTime::currentDateTime(); }
};

class NoPrinter : public wizard::Printer {
public:
    bool Print(QWidget*, const wizard::PrintJob&) override { return false; }
};

// The window with a title strip of its caption on top, since a grab shows no frame and the
// caption is part of what a person checks.
class Grabber {
public:
    explicit Grabber(const QString& outDir) : dir_(outDir) { QDir().mkpath(outDir); }
    void Save(QWidget* w, const QString& name) {
        QApplication::processEvents();
        const QPixmap body = w->grab();
        const int strip = 26;
        QImage image(body.width(), body.height() + strip, QImage::Format_RGB32);
        image.fill(QColor(60, 63, 65));
        QPainter p(&image);
        p.setPen(Qt::white);
        QFont f = w->font();
        f.setBold(true);
        p.setFont(f);
        p.drawText(QRect(8, 0, body.width() - 16, strip), Qt::AlignVCenter | Qt::AlignLeft, w->windowTitle());
        p.drawPixmap(0, strip, body);
        p.end();
        const QString path = dir_.filePath(name + ".png");
        if (image.save(path)) written_ << path;
    }
    QStringList written_;

private:
    QDir dir_;
};

}  // namespace

QStringList TakeScreenshots(const QString& outDir, const QString& programDir) {
    YesPrompts prompts;
    NoFiles files;
    NoShell shell;
    NoPrinter printer;
    wizard::Services services{prompts, files, shell, printer};
    TruneSession session;
    FrmWizard w(services, session, programDir);
    w.show();
    Grabber grab(outDir);
    auto page = [&](int n) {
        if (w.CurrentStep == n) grab.Save(&w, QString("trune_page_%1").arg(n));
    };
    constexpr int kBack = 2, kNext = 3;

    page(0);
    w.NavButton(kNext)->click();
    page(1);
    // The ODBC page, then back to a file source.
    w.settings->lstdbfmt->setCurrentRow(16);
    w.NavButton(kNext)->click();
    page(3);
    w.NavButton(kBack)->click();
    w.settings->lstdbfmt->setCurrentRow(0);
    w.sourceFile->txtdbname->setText(QDir(programDir).filePath("demo.db"));
    w.NavButton(kNext)->click();
    page(2);
    w.NavButton(kNext)->click();
    // The demo's test table, copied into a database file of its own.
    QTemporaryDir target;
    const int testTable = w.table->cboTbName->findText("CustomersTest");
    w.table->cboTbName->setCurrentIndex(testTable);
    w.table->NDbName->setText(QDir(target.path()).filePath("conditioned.db"));
    page(4);
    w.NavButton(kNext)->click();
    w.method->CmdAutoDis->click();
    page(5);
    // The last page as the discretization will leave it.
    w.ShowStep(6, 2);
    page(6);

    wizard::frmAbout about({QString::fromStdString(wizard::TruneFrame().title), wizard::kTruneHelpPage, programDir},
                           shell, &w);
    about.show();
    grab.Save(&about, "trune_about");
    about.close();
    w.hide();
    return grab.written_;
}

}  // namespace trune
