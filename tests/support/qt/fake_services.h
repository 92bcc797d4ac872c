// Scripted fakes of the four wizard services for the Qt program tests. Each records what the
// form asked for and answers from a queue the test fills; a question or dialog nobody scripted
// fails the test, and so does a message box the test never looked at.
//
//     testsupport::FakeServices fake;
//     fake.prompts.answers = {true};                // "Exit Kalvex?" -> Yes
//     wizard.cmdNav_Click(1);
//     EXPECT_EQ(fake.prompts.Take(), (std::vector<Box>{{"Exit Kalvex?", Box::YesNo}}));
#pragma once

#include <QDateTime>
#include <QString>
#include <deque>
#include <functional>
#include <ostream>
#include <vector>

#include "wizard_common/services.h"

// Test failures print texts as text.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace testsupport {

struct Box {
    enum Buttons { Ok, YesNo, YesNoCancel };
    QString text;
    Buttons buttons = Ok;
    wizard::Icon icon = wizard::Icon::None;
    QString title;
    // Title is left out: every box of a program carries the same one.
    bool operator==(const Box& o) const { return text == o.text && buttons == o.buttons && icon == o.icon; }
};
void PrintTo(const Box& box, std::ostream* os);

class FakePrompts : public wizard::Prompts {
public:
    ~FakePrompts() override;
    void Message(QWidget* parent, const QString& text, const QString& title, wizard::Icon icon) override;
    bool Ask(QWidget* parent, const QString& text, const QString& title,
             wizard::Icon icon = wizard::Icon::None) override;
    wizard::Answer AskYesNoCancel(QWidget* parent, const QString& text, const QString& title,
                                  wizard::Icon icon) override;
    // The boxes shown since the last Take, in order; they count as seen.
    std::vector<Box> Take();
    // Answers to the next questions, true = Yes.
    std::deque<bool> answers;
    // Answers to the next Yes/No/Cancel questions.
    std::deque<wizard::Answer> choices;

private:
    std::vector<Box> shown_;
};

struct FileRequest {
    enum Kind { Open, Save };
    Kind kind;
    QString title;
    QString filter;
    QString startFolder;
};

class FakeFileDialogs : public wizard::FileDialogs {
public:
    ~FakeFileDialogs() override;
    QString Open(QWidget*, const QString& title, const QString& filter, const QString& startFolder) override;
    // Names the next dialogs return as typed; "" is Cancel.
    std::deque<QString> answers;
    // The filter entries chosen in the next save dialogs; entry 0 when none is left.
    std::deque<int> saveFilters;
    std::vector<FileRequest> requests;

protected:
    wizard::SaveChoice AskSaveName(QWidget*, const QString& title, const QString& filter,
                                   const QString& startFolder) override;

private:
    QString Answer(FileRequest request);
};

class FakeShell : public wizard::Shell {
public:
    bool OpenDocument(const QString& target) override;
    // With `failsAfterStart`, the opener starts and its failure waits in `openerFailures` for
    // the test to report it.
    void OpenDocumentElse(const QString& target, std::function<void()> otherwise) override;
    bool StartProgram(const QString& name) override;
    QDateTime Now() override { return now; }
    std::vector<QString> opened;
    std::vector<QString> started;
    // What OpenDocument answers: false stands for a desktop with no program for the document.
    bool opens = true;
    bool failsAfterStart = false;
    std::vector<std::function<void()>> openerFailures;
    QDateTime now = QDateTime(QDate(2026, 12, 10), QTime(9, 30, 0));
};

class FakePrinter : public wizard::Printer {
public:
    bool Print(QWidget*, const wizard::PrintJob& job) override;
    // Records the report's operations; fails with `reportError` when it is set.
    wizard::PrintOutcome PrintReport(QWidget*, const QString& documentName,
                                     const std::vector<wizard::ReportOp>& ops) override;
    std::vector<wizard::PrintJob> jobs;
    std::vector<std::vector<wizard::ReportOp>> reports;
    bool succeed = true;
    QString reportError;
};

struct FakeServices {
    FakePrompts prompts;
    FakeFileDialogs files;
    FakeShell shell;
    FakePrinter printer;
    wizard::Services bundle() { return {prompts, files, shell, printer}; }
};

}  // namespace testsupport
