// Small pieces the three wizard forms share: path boxes that select their text when they get
// the focus, the browse-button procedure, the step picture with its hidden link, and labels
// that act as links.
#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QHBoxLayout>
#include <QPushButton>
#include <QStackedWidget>
#include <QString>
#include <array>
#include <functional>
#include <vector>

#include "wizard_common/services.h"

namespace wizard {

// A new control with its control name as objectName, so a form is built in one expression and a
// test finds the control by that name.
template <typename W>
W* Named(W* w, const QString& name) {
    w->setObjectName(name);
    return w;
}

// A label whose text wraps: the explanations on the pages.
QLabel* Note(const QString& text);

// Makes `box` select its whole text whenever it gets the focus (also by a mouse click, which
// would otherwise place the caret after the selection).
void SelectAllOnFocus(QLineEdit* box);

// The browse buttons: shows the open dialog; a chosen name goes into `box`; then, whether or
// not a name came back, the folder of the box's text becomes `folder` when it is not empty.
void BrowseInto(QLineEdit* box, FileDialogs& files, QWidget* parent, const QString& title,
                const QString& filter, QString& folder);

// Remembers `folder` := the folder of `path` when that is not empty.
void RememberFolder(const QString& path, QString& folder);

// A path box with its browse button on one row.
QHBoxLayout* PathRow(QLineEdit* box, QPushButton* button);

// Brings page `page` of `pages` into view: the page shown so far (`current`) is disabled, the
// new one shown and enabled.
void SwitchPage(QStackedWidget* pages, int current, int page);

// Controls switched off while a run holds the form, and on again after it, however it ends.
class DisabledDuring {
public:
    explicit DisabledDuring(std::vector<QWidget*> widgets);
    ~DisabledDuring();
    DisabledDuring(const DisabledDuring&) = delete;
    DisabledDuring& operator=(const DisabledDuring&) = delete;

private:
    std::vector<QWidget*> widgets_;
};

// The frame of a wizard form: `pages` above a line and the six navigation buttons cmdNav_0 ..
// cmdNav_5 ("&Help", "Cancel", "< &Back", "&Next >", `fifthCaption`, "&About"): Help and About
// on the left, Back, Next and the fifth button, then Cancel on the right. A click calls
// `click` with the button's index.
std::array<QPushButton*, 6> BuildWizardFrame(QWidget* form, QWidget* pages, const char* fifthCaption,
                                             std::function<void(int)> click);

// F1 anywhere in `window` runs `help` (the Help button's action).
void InstallHelpKey(QWidget* window, std::function<void()> help);

// The click of the data-format list (`Lstdbfmt`): the chosen format, the file box emptied, and
// the page that follows the format page: `odbcPage` for "Remote (ODBC)", `filePage` otherwise.
struct FormatChoice {
    int dbFormat;
    int nextPage;
};
FormatChoice ChooseDbFormat(const QListWidget* list, QLineEdit* fileBox, int odbcPage, int filePage);

// The open dialog for a data format: its title and filter, starting in `startFolder`.
struct OpenDbDialogSetup {
    QString title;
    QString filter;
    QString startFolder;
};
OpenDbDialogSetup SetOpenDbDialog(int dbFormat, const QString& startFolder);

// Every second double-click on the step picture opens a page: true on the 2nd, 4th, ... call.
class HiddenLink {
public:
    bool DoubleClicked() {
        if (++count_ < 2) return false;
        count_ = 0;
        return true;
    }

private:
    int count_ = 0;
};

// The picture on the left of a wizard page: a drawn badge with the step's name. Reports double
// clicks (the hidden link).
class StepPicture : public QLabel {
    Q_OBJECT
public:
    StepPicture(const QString& stepName, QWidget* parent = nullptr);

signals:
    void doubleClicked();

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
};

// A label shown as a link; a click reports `clicked`.
class LinkLabel : public QLabel {
    Q_OBJECT
public:
    explicit LinkLabel(const QString& text, QWidget* parent = nullptr);

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

}  // namespace wizard
