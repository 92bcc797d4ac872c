// The real services of services.h: QMessageBox, QFileDialog, QDesktopServices and QProcess,
// QPrinter with QPrintDialog.
#pragma once

#include <QMessageBox>
#include <memory>

#include "wizard_common/services.h"

namespace wizard {

// The message box of Prompts::Message, not yet shown (the screenshot drivers show it in place).
std::unique_ptr<QMessageBox> NewMessageBox(QWidget* parent, const QString& text, const QString& title, Icon icon);

class QtPrompts : public Prompts {
public:
    void Message(QWidget* parent, const QString& text, const QString& title, Icon icon) override;
    void TableMessage(QWidget* parent, const QString& text, const QString& title, Icon icon) override;
    bool Ask(QWidget* parent, const QString& text, const QString& title, Icon icon = Icon::None) override;
    Answer AskYesNoCancel(QWidget* parent, const QString& text, const QString& title,
                          Icon icon) override;
};

class QtFileDialogs : public FileDialogs {
public:
    QString Open(QWidget* parent, const QString& title, const QString& filter,
                 const QString& startFolder) override;

protected:
    SaveChoice AskSaveName(QWidget* parent, const QString& title, const QString& filter,
                           const QString& startFolder) override;
};

// Documents open through the desktop's opener, xdg-open, started here rather than by
// QDesktopServices: that one reports success as soon as xdg-open starts, and xdg-open then
// exits non-zero on a desktop with no program for the document. A non-zero exit (or a crash)
// within `kOpenerWatchMs` is a failure; an opener still running then has handed the document
// to a program that stays in the foreground (a browser), and is left alone: its exit, whenever
// the user closes that program, says nothing about the document. Without xdg-open on PATH,
// QDesktopServices tries the desktop's other ways.
class QtShell : public Shell {
public:
    static constexpr int kOpenerWatchMs = 15000;
    bool OpenDocument(const QString& target) override;
    void OpenDocumentElse(const QString& target, std::function<void()> otherwise) override;
    bool StartProgram(const QString& name) override;
    QDateTime Now() override;
};

class QtPrinter : public Printer {
public:
    bool Print(QWidget* parent, const PrintJob& job) override;
    PrintOutcome PrintReport(QWidget* parent, const QString& documentName,
                             const std::vector<ReportOp>& ops) override;
};

// The four real services in one place, for a program's main().
struct QtServices {
    QtPrompts prompts;
    QtFileDialogs files;
    QtShell shell;
    QtPrinter printer;
    Services bundle() { return Services{prompts, files, shell, printer}; }
};

}  // namespace wizard
