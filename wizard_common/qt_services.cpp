// Message boxes, file dialogs, the shell and the printer as the programs use them.
#include "wizard_common/qt_services.h"

#include <algorithm>

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QTextDocument>
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

bool QtShell::OpenDocument(const QString& target) {
    const QUrl url = target.contains(':') && !target.startsWith('/') ? QUrl(target)
                                                                     : QUrl::fromLocalFile(target);
    return QDesktopServices::openUrl(url);
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
