// The box of Prompts::TableMessage: a message whose lines are columns (zorv's batch summary).
// A message box grows with its text and, with many classes, runs off the screen with its OK
// button and wraps the columns into a block nobody can read. This dialog keeps the text in a
// fixed-pitch font, each row of columns on one line and the sentences wrapped; it grows to its
// text but stays inside the available area, the text scrolling both ways where it does not fit,
// OK always in view. Enter and Escape close it.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QRect>
#include <QTextEdit>

#include "wizard_common/services.h"

namespace wizard {

class TableMessageBox : public QDialog {
public:
    // `available` is the area the dialog, with its window frame, must fit into; by default the
    // available area of the parent's screen (or of the primary screen).
    TableMessageBox(QWidget* parent, const QString& text, const QString& title, Icon icon,
                    const QRect& available = {});

    QLabel* lblIcon;
    QTextEdit* txtMessage;
    QPushButton* btnOK;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void SizeWithin(const QRect& available);
};

}  // namespace wizard
