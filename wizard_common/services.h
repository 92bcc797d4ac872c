// The services every wizard form is handed: message boxes, file dialogs, the shell (help pages,
// starting a program, the clock) and the printer. The programs pass the real ones
// (qt_services.h); tests pass scripted fakes that answer from a queue and record what was asked.
#pragma once

#include <QDateTime>
#include <QString>
#include <functional>
#include <vector>

#include "wizard_common/model/file_filter.h"
#include "wizard_common/model/report_sink.h"

class QWidget;

namespace wizard {

enum class Icon { None, Information, Warning, Critical };
enum class Answer { Yes, No, Cancel };

class Prompts {
public:
    virtual ~Prompts() = default;
    // A message with an OK button. Text is always shown as plain text: interval labels hold
    // "<" and ">".
    virtual void Message(QWidget* parent, const QString& text, const QString& title, Icon icon) = 0;
    // A message whose lines are columns (a summary table): shown in a fixed-pitch font.
    virtual void TableMessage(QWidget* parent, const QString& text, const QString& title, Icon icon) {
        Message(parent, text, title, icon);
    }
    // A Yes/No question, Yes the default; true for Yes. Questions have no icon, but for the
    // few that warn of what the answer does (the repair of a damaged file).
    virtual bool Ask(QWidget* parent, const QString& text, const QString& title, Icon icon = Icon::None) = 0;
    // A Yes/No/Cancel question with an icon, Yes the default. A service that cannot offer
    // Cancel answers through Ask.
    virtual Answer AskYesNoCancel(QWidget* parent, const QString& text, const QString& title,
                                  Icon /*icon*/) {
        return Ask(parent, text, title, Icon::None) ? Answer::Yes : Answer::No;
    }
};

// What the user gave a save dialog: the name as typed (with the dialog's folder) and the filter
// entry chosen, from 0.
struct SaveChoice {
    QString name;
    int filter = 0;
};

class FileDialogs {
public:
    virtual ~FileDialogs() = default;
    // `filter` is the wizards' "Description|patterns|..." text (file_filter.h converts it).
    // Both return "" on Cancel.
    virtual QString Open(QWidget* parent, const QString& title, const QString& filter,
                         const QString& startFolder) = 0;
    // A name typed without an extension gets the chosen filter's, so what the wizards check,
    // ask about and write is the file the user will find under that filter. Save never asks
    // about overwriting: the wizards ask their own question.
    QString Save(QWidget* parent, const QString& title, const QString& filter, const QString& startFolder) {
        const SaveChoice c = AskSaveName(parent, title, filter, startFolder);
        if (c.name.isEmpty()) return {};
        return QString::fromStdString(WithFilterExtension(c.name.toStdString(), filter.toStdString(), c.filter));
    }

protected:
    // The save dialog itself; an empty name is Cancel.
    virtual SaveChoice AskSaveName(QWidget* parent, const QString& title, const QString& filter,
                                   const QString& startFolder) = 0;
};

class Shell {
public:
    virtual ~Shell() = default;
    // Opens a document, a web address or a "mailto:" address with the desktop's program for it.
    // False when nothing could be started; the wizards ignore the result.
    virtual bool OpenDocument(const QString& target) = 0;
    // Opens `target` as OpenDocument does, for a document the program can also show itself:
    // `otherwise` runs when no opener could be started, or later, from the event loop, when
    // the opener started and then reported that it could not open the target (a desktop whose
    // opener has no program for it).
    virtual void OpenDocumentElse(const QString& target, std::function<void()> otherwise) {
        if (!OpenDocument(target)) otherwise();
    }
    // Starts the program of this name from the running program's folder, detached.
    virtual bool StartProgram(const QString& name) = 0;
    // The time stamps of the running reports.
    virtual QDateTime Now() = 0;
};

struct PrintJob {
    QString documentName;
    QString text;             // lines separated by "\n"
    QString fontFamily = "DejaVu Sans Mono";
    int pointSize = 10;
    bool bold = false;
};

// How a printed report ended: printed, cancelled in the print dialog (neither printed nor an
// error), or failed with the error's text (the document was aborted, nothing half printed
// stays behind).
struct PrintOutcome {
    bool printed = false;
    QString error;
};

class Printer {
public:
    virtual ~Printer() = default;
    // Prints through a print dialog; false when the user cancelled or printing failed.
    virtual bool Print(QWidget* parent, const PrintJob& job) = 0;
    // Prints a running report's operations through a print dialog, each in its own font, a new
    // page when one is full, long lines not wrapped. A printer that knows no fonts prints the
    // report's text in the job's font.
    virtual PrintOutcome PrintReport(QWidget* parent, const QString& documentName,
                                     const std::vector<ReportOp>& ops) {
        PrintJob job;
        job.documentName = documentName;
        job.text = QString::fromStdString(ReportText(ops)).replace("\r\n", "\n");
        const bool printed = Print(parent, job);
        return {printed, {}};
    }
};

// One bundle per program, handed to every form.
struct Services {
    Prompts& prompts;
    FileDialogs& files;
    Shell& shell;
    Printer& printer;
};

}  // namespace wizard
