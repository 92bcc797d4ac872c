// zorv's wizard pages as widgets: each page is a frame `fraStep_k` with its step picture on the
// left and its controls on the right. The pages hold widgets only; what the controls do is the
// wizard form's (frm_wizard.h). Pages whose controls later work fills in carry their picture
// and name only.
#pragma once

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <QWidget>

#include "wizard_common/frame_widgets.h"
#include "wizard_common/wizard_page.h"

namespace zorv {

// The page layouts name their controls and wrap their notes as every wizard does, on the
// wizards' common page frame.
using wizard::Named;
using wizard::Note;
using wizard::WizardPage;

// Page 0: the work mode, the training database and the classifier file.
class CoverPage : public WizardPage {
public:
    explicit CoverPage(QWidget* parent = nullptr);
    QRadioButton* Option1;
    QRadioButton* Option2;
    QRadioButton* Option3;
    QLabel* lbldb;
    QLabel* lbldb2;
    QLineEdit* DBName;
    QPushButton* CmdDB;
    QLabel* lblbnc;
    QLineEdit* BNCName;
    QPushButton* CmdBNC;
    QPushButton* cmdSet;
};

// Page 3: the learning-log files and the progress of the learning run.
class LearnPage : public WizardPage {
public:
    explicit LearnPage(QWidget* parent = nullptr);
    QLineEdit* txtinputlog;
    QPushButton* cmdlog1;
    QLineEdit* txtoutputlog;
    QPushButton* cmdlog2;
    QLabel* lblprocessing;
    QProgressBar* ProgressBar1;
    QLabel* LblOverall;
    QProgressBar* ProgressBar1a;
};

// Page 6: the format of the test data, and single cases classified by hand.
class FormatPage : public WizardPage {
public:
    explicit FormatPage(QWidget* parent = nullptr);
    QListWidget* Lstdbfmt;
    QPushButton* CmdCls;
};

// Page 7: the test database file.
class TestFilePage : public WizardPage {
public:
    explicit TestFilePage(QWidget* parent = nullptr);
    QLineEdit* DbNameT;
    QPushButton* cmd7a;
};

}  // namespace zorv
