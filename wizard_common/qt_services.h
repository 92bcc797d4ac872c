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

class QtShell : public Shell {
public:
    bool OpenDocument(const QString& target) override;
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
