// zorv's step 4: the structure listing `txtrst`, the running report's buttons and the progress
// of the table learning; the graph editor's button joins them (editor_button.cpp).
#pragma once

#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>

#include "zorv/pages.h"

namespace zorv {

// A read-only text box that keeps its text as written, line ends CR LF included, and shows it
// with plain line breaks.
class ListingBox : public QPlainTextEdit {
public:
    ListingBox();
    const QString& text() const { return text_; }
    void clear();
    void append(const QString& text);

private:
    QString text_;
};

class ResultPage : public WizardPage {
public:
    explicit ResultPage(const QString& name, QWidget* parent = nullptr);
    ListingBox* txtrst;
    QPushButton* cmdSave;
    QPushButton* cmdPrint;
    QHBoxLayout* buttons;  // the row of the page's buttons
    QLabel* lblLCPT;
    QLabel* lblLCPT2;
    QProgressBar* ProgressBar2;
};

}  // namespace zorv
