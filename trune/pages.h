// trune's seven wizard pages as widgets: each page is a frame `fraStep_k` with its step
// picture on the left and its controls on the right. The pages hold widgets only; what the
// controls do is the wizard form's (frm_wizard.h).
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QWidget>
#include <string>
#include <vector>

#include "wizard_common/data_widgets.h"
#include "wizard_common/frame_widgets.h"
#include "wizard_common/wizard_page.h"

namespace trune {

using wizard::WizardPage;

// Page 0: what the program does.
class IntroPage : public WizardPage {
public:
    explicit IntroPage(QWidget* parent = nullptr);
};

// Page 1: the source format and the detection settings.
class SettingsPage : public WizardPage {
public:
    explicit SettingsPage(QWidget* parent = nullptr);
    QListWidget* lstdbfmt;
    QGroupBox* Frame1;
    QCheckBox* AutoDetect;
    QLabel* lbl1;
    QComboBox* CmbVlu;
    QLabel* lbl2;
    QLineEdit* txtMissing;
    QLineEdit* txtAlone;
};

// Page 2: the source file.
class SourceFilePage : public WizardPage {
public:
    explicit SourceFilePage(QWidget* parent = nullptr);
    QLineEdit* txtdbname;
    QPushButton* cmd2a;
};

// Page 3: the ODBC connection values.
class OdbcPage : public WizardPage {
public:
    explicit OdbcPage(QWidget* parent = nullptr);
    wizard::OdbcControls* values;
};

// Page 4: the source table with its preview, and the database and table of the copy.
class TablePage : public WizardPage {
public:
    explicit TablePage(QWidget* parent = nullptr);
    QComboBox* cboTbName;
    QTableWidget* Grid1;
    QLineEdit* NDbName;
    QPushButton* CmdNDb;
    QLineEdit* NTbName;
    QLabel* lbstatus3;
};

// Page 5: the continuous fields, their interval counts and the method.
class MethodPage : public WizardPage {
public:
    explicit MethodPage(QWidget* parent = nullptr);
    QListWidget* LstConFld;
    QListWidget* LstIntvl;
    QComboBox* CboReset;
    QPushButton* Command1;
    QPushButton* CmdAutoDis;
    QGroupBox* Frame2;
    QRadioButton* OptEW;
    QRadioButton* OptEF;
    QRadioButton* OptEnt;
    QComboBox* CmbFlds;
    QProgressBar* ProgressBar1;
    QLabel* LbProcessing;
    QLabel* Lbpercent;
};

// Page 6: where the conditioned table is, and what to do with it.
class FinishedPage : public WizardPage {
public:
    explicit FinishedPage(QWidget* parent = nullptr);
    QLabel* lbldb;
    QLabel* lbltb;
    QPushButton* Command4;
    QPushButton* Cmdzorv;
    QPushButton* Cmdvrell;
    // The fields of the last run for which no cut point was found, so that every row of theirs
    // is labelled "?"; hidden when there is none.
    QLabel* lblUncut;
    void SetUncutFields(const std::vector<std::string>& names);
};

}  // namespace trune
