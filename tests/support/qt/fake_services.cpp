// The scripted service fakes of the Qt program tests.
#include "tests/support/qt/fake_services.h"

#include <gtest/gtest.h>

namespace testsupport {

void PrintTo(const Box& box, std::ostream* os) {
    const char* kind = box.buttons == Box::YesNo ? "Ask(\"" : box.buttons == Box::YesNoCancel ? "Choose(\"" : "Message(\"";
    *os << kind << box.text.toStdString() << "\", icon "
        << int(box.icon) << ")";
}

FakePrompts::~FakePrompts() {
    for (const Box& b : shown_) ADD_FAILURE() << "message box nobody checked: " << b.text.toStdString();
    for (bool a : answers) ADD_FAILURE() << "scripted answer never asked for: " << (a ? "Yes" : "No");
    for (wizard::Answer a : choices) ADD_FAILURE() << "scripted choice never asked for: " << int(a);
}

void FakePrompts::Message(QWidget*, const QString& text, const QString& title, wizard::Icon icon) {
    shown_.push_back({text, Box::Ok, icon, title});
}

bool FakePrompts::Ask(QWidget*, const QString& text, const QString& title, wizard::Icon icon) {
    shown_.push_back({text, Box::YesNo, icon, title});
    if (answers.empty()) {
        ADD_FAILURE() << "unexpected question: " << text.toStdString();
        return false;
    }
    const bool yes = answers.front();
    answers.pop_front();
    return yes;
}

wizard::Answer FakePrompts::AskYesNoCancel(QWidget*, const QString& text, const QString& title,
                                           wizard::Icon icon) {
    shown_.push_back({text, Box::YesNoCancel, icon, title});
    if (choices.empty()) {
        ADD_FAILURE() << "unexpected Yes/No/Cancel question: " << text.toStdString();
        return wizard::Answer::Cancel;
    }
    const wizard::Answer a = choices.front();
    choices.pop_front();
    return a;
}

std::vector<Box> FakePrompts::Take() {
    std::vector<Box> out;
    out.swap(shown_);
    return out;
}

FakeFileDialogs::~FakeFileDialogs() {
    for (const QString& a : answers) ADD_FAILURE() << "scripted file never asked for: " << a.toStdString();
    for (int f : saveFilters) ADD_FAILURE() << "scripted filter never chosen: " << f;
}

QString FakeFileDialogs::Answer(FileRequest request) {
    requests.push_back(std::move(request));
    if (answers.empty()) {
        ADD_FAILURE() << "unexpected file dialog: " << requests.back().title.toStdString();
        return {};
    }
    QString name = answers.front();
    answers.pop_front();
    return name;
}

QString FakeFileDialogs::Open(QWidget*, const QString& title, const QString& filter, const QString& startFolder) {
    return Answer({FileRequest::Open, title, filter, startFolder});
}

wizard::SaveChoice FakeFileDialogs::AskSaveName(QWidget*, const QString& title, const QString& filter,
                                               const QString& startFolder) {
    int entry = 0;
    if (!saveFilters.empty()) {
        entry = saveFilters.front();
        saveFilters.pop_front();
    }
    return {Answer({FileRequest::Save, title, filter, startFolder}), entry};
}

bool FakeShell::OpenDocument(const QString& target) {
    opened.push_back(target);
    return opens;
}

void FakeShell::OpenDocumentElse(const QString& target, std::function<void()> otherwise) {
    if (!OpenDocument(target)) otherwise();
    else if (failsAfterStart) openerFailures.push_back(std::move(otherwise));
}

bool FakeShell::StartProgram(const QString& name) {
    started.push_back(name);
    return true;
}

bool FakePrinter::Print(QWidget*, const wizard::PrintJob& job) {
    jobs.push_back(job);
    return succeed;
}

wizard::PrintOutcome FakePrinter::PrintReport(QWidget*, const QString&, const std::vector<wizard::ReportOp>& ops) {
    reports.push_back(ops);
    return {reportError.isEmpty(), reportError};
}

}  // namespace testsupport
