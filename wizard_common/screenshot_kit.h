// What the programs' screenshot drivers share: services that answer every question Yes and
// open no dialog, program or printer, and the grabber that saves a window as a PNG with its
// caption drawn on top (a grab shows no window frame, and the caption is part of what a person
// checks).
#pragma once

#include <QDir>
#include <QString>
#include <QStringList>
#include <utility>

#include "wizard_common/services.h"

class QWidget;

namespace wizard {

class ScreenshotServices {
public:
    class YesPrompts : public Prompts {
    public:
        void Message(QWidget*, const QString& text, const QString&, Icon) override { last = text; }
        bool Ask(QWidget*, const QString&, const QString&, Icon = Icon::None) override { return true; }
        QString last;  // the last message's text, for a driver that shows it over a page
    };
    class NoFiles : public FileDialogs {
    public:
        QString Open(QWidget*, const QString&, const QString&, const QString&) override {
            return std::exchange(next, {});
        }
        QString next;  // the next open dialog's answer ("" is Cancel)

    protected:
        SaveChoice AskSaveName(QWidget*, const QString&, const QString&, const QString&) override { return {}; }
    };
    class NoShell : public Shell {
    public:
        bool OpenDocument(const QString&) override { return true; }
        bool StartProgram(const QString&) override { return true; }
        QDateTime Now() override { return QDateTime::currentDateTime(); }
    };
    class NoPrinter : public Printer {
    public:
        bool Print(QWidget*, const PrintJob&) override { return false; }
    };

    Services bundle() { return {prompts, files, shell, printer}; }

    YesPrompts prompts;
    NoFiles files;
    NoShell shell;
    NoPrinter printer;
};

class WindowGrabber {
public:
    explicit WindowGrabber(const QString& outDir);
    // Saves `w` as <name>.png in the folder once pending events have run.
    void Save(QWidget* w, const QString& name);
    // Saves the whole screen of `w`, to show where a window opens over another.
    void SaveScreen(QWidget* w, const QString& name);
    const QStringList& written() const { return written_; }

private:
    QDir dir_;
    QStringList written_;
};

}  // namespace wizard
