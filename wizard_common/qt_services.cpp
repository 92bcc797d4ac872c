// Message boxes, file dialogs, the shell and the printer as the programs use them.
#include "wizard_common/qt_services.h"

#include <algorithm>
#include <memory>

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QSpacerItem>
#include <QStandardPaths>
#include <QTextDocument>
#include <QTimer>
#include <QUrl>

#include "wizard_common/model/file_filter.h"
#include "wizard_common/report_printer.h"
#include "wizard_common/table_message.h"

namespace wizard {

std::unique_ptr<QMessageBox> NewMessageBox(QWidget* parent, const QString& text, const QString& title, Icon icon) {
    auto box = std::make_unique<QMessageBox>(parent);
    box->setTextFormat(Qt::PlainText);
    box->setWindowTitle(title);
    box->setText(text);
    switch (icon) {
        case Icon::None: box->setIcon(QMessageBox::NoIcon); break;
        case Icon::Information: box->setIcon(QMessageBox::Information); break;
        case Icon::Warning: box->setIcon(QMessageBox::Warning); break;
        case Icon::Critical: box->setIcon(QMessageBox::Critical); break;
    }
    box->setStandardButtons(QMessageBox::Ok);
    // A window manager cuts a caption that is wider than its box ("Belie... alvex" over a short
    // question). Qt sizes a message box for its caption with little room for the title bar's
    // icon and buttons; the box is kept wide enough for the caption, bold as title bars show it,
    // and for them. Added last: setting the icon or the text rebuilds the box's layout.
    QFont captionFont = box->font();
    captionFont.setBold(true);
    constexpr int kTitleBarButtons = 120;
    const int captionWidth = QFontMetrics(captionFont).horizontalAdvance(title) + kTitleBarButtons;
    if (auto* grid = qobject_cast<QGridLayout*>(box->layout()))
        grid->addItem(new QSpacerItem(captionWidth, 0, QSizePolicy::Minimum, QSizePolicy::Fixed), grid->rowCount(), 0,
                      1, grid->columnCount());
    return box;
}

void QtPrompts::Message(QWidget* parent, const QString& text, const QString& title, Icon icon) {
    NewMessageBox(parent, text, title, icon)->exec();
}

void QtPrompts::TableMessage(QWidget* parent, const QString& text, const QString& title, Icon icon) {
    TableMessageBox box(parent, text, title, icon);
    box.exec();
}

bool QtPrompts::Ask(QWidget* parent, const QString& text, const QString& title, Icon icon) {
    auto box = NewMessageBox(parent, text, title, icon);
    box->setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box->setDefaultButton(QMessageBox::Yes);
    return box->exec() == QMessageBox::Yes;
}

Answer QtPrompts::AskYesNoCancel(QWidget* parent, const QString& text, const QString& title,
                                 Icon icon) {
    auto box = NewMessageBox(parent, text, title, icon);
    box->setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    box->setDefaultButton(QMessageBox::Yes);
    switch (box->exec()) {
        case QMessageBox::Yes: return Answer::Yes;
        case QMessageBox::No: return Answer::No;
        default: return Answer::Cancel;  // Escape and the close button too
    }
}

namespace {

// Qt's own dialog, not the desktop's: it matches the patterns without regard to case, so
// "DATA.DB" shows under "*.db" as well.
SaveChoice RunFileDialog(QWidget* parent, const QString& title, const QString& filter,
                         const QString& startFolder, QFileDialog::AcceptMode mode) {
    QFileDialog dialog(parent, title, startFolder);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile
                                                       : QFileDialog::AnyFile);
    const QString qtFilter = QString::fromStdString(ToQtFilter(filter.toStdString()));
    if (!qtFilter.isEmpty()) dialog.setNameFilters(qtFilter.split(";;"));
    if (dialog.exec() != QDialog::Accepted) return {};
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) return {};
    return {chosen.first(), int(std::max<qsizetype>(0, dialog.nameFilters().indexOf(dialog.selectedNameFilter())))};
}

}  // namespace

QString QtFileDialogs::Open(QWidget* parent, const QString& title, const QString& filter,
                            const QString& startFolder) {
    return RunFileDialog(parent, title, filter, startFolder, QFileDialog::AcceptOpen).name;
}

SaveChoice QtFileDialogs::AskSaveName(QWidget* parent, const QString& title, const QString& filter,
                                      const QString& startFolder) {
    return RunFileDialog(parent, title, filter, startFolder, QFileDialog::AcceptSave);
}

namespace {

bool IsAddress(const QString& target) { return target.contains(':') && !target.startsWith('/'); }

// Starts `opener` on `target`; false when it could not be started. `failed`, when set, runs
// once if the opener exits non-zero or crashes within the watch.
bool StartOpener(const QString& opener, const QString& target, std::function<void()> failed) {
    // Not parented and not deleted while it runs: destroying a QProcess kills its process, and
    // an opener still running when the program ends belongs to the desktop by then.
    auto* process = new QProcess;
    process->setProgram(opener);
    process->setArguments({IsAddress(target) ? target : QFileInfo(target).absoluteFilePath()});
    // Inherited output and no pipes: a browser started in the opener's foreground must not
    // write into pipes nobody reads.
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    process->setStandardInputFile(QProcess::nullDevice());
    process->start();
    // Only the exec is waited for, which takes milliseconds.
    if (!process->waitForStarted()) {
        delete process;
        return false;
    }
    auto watched = std::make_shared<bool>(true);
    QTimer::singleShot(QtShell::kOpenerWatchMs, process, [watched] { *watched = false; });
    QObject::connect(process, &QProcess::finished, process,
                     [process, watched, failed = std::move(failed)](int code, QProcess::ExitStatus status) {
                         if (*watched && failed && (status != QProcess::NormalExit || code != 0)) failed();
                         process->deleteLater();
                     });
    return true;
}

bool Open(const QString& target, std::function<void()> failed) {
    const QString opener = QStandardPaths::findExecutable("xdg-open");
    if (!opener.isEmpty()) return StartOpener(opener, target, std::move(failed));
    return QDesktopServices::openUrl(IsAddress(target) ? QUrl(target) : QUrl::fromLocalFile(target));
}

}  // namespace

bool QtShell::OpenDocument(const QString& target) { return Open(target, {}); }

void QtShell::OpenDocumentElse(const QString& target, std::function<void()> otherwise) {
    if (!Open(target, otherwise)) otherwise();
}

bool QtShell::StartProgram(const QString& name) {
    const QString dir = QCoreApplication::applicationDirPath();
    return QProcess::startDetached(QDir(dir).filePath(name), {}, dir);
}

QDateTime QtShell::Now() { return QDateTime::currentDateTime(); }

bool QtPrinter::Print(QWidget* parent, const PrintJob& job) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(job.documentName);
    QPrintDialog dialog(&printer, parent);
    if (dialog.exec() != QDialog::Accepted) return false;
    QTextDocument doc;
    QFont font(job.fontFamily, job.pointSize);
    font.setBold(job.bold);
    doc.setDefaultFont(font);
    doc.setPlainText(job.text);
    doc.print(&printer);
    return printer.printerState() != QPrinter::Error;
}

PrintOutcome QtPrinter::PrintReport(QWidget* parent, const QString& documentName, const std::vector<ReportOp>& ops) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(documentName);
    QPrintDialog dialog(&printer, parent);
    if (dialog.exec() != QDialog::Accepted) return {};
    const QString error = PrintReportOn(printer, ops);
    return {error.isEmpty(), error};
}

}  // namespace wizard
