// vrell's eight wizard pages as widgets: each page is a frame `fraStep_k` with its step picture
// on the left and its controls on the right. The pages hold widgets only; what the controls do
// is the wizard form's (frm_wizard.h).
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>

#include "wizard_common/data_widgets.h"
#include "wizard_common/knowledge_page.h"
#include "wizard_common/wizard_page.h"

namespace vrell {

using wizard::WizardPage;

// Page 0: the welcome text.
class IntroPage : public WizardPage {
public:
    explicit IntroPage(QWidget* parent = nullptr);
};

// Page 1: the format of the data set.
class FormatPage : public WizardPage {
public:
    explicit FormatPage(QWidget* parent = nullptr);
    QListWidget* lstdbfmt;
};

// Page 2: the database file.
class FilePage : public WizardPage {
public:
    explicit FilePage(QWidget* parent = nullptr);
    QLineEdit* txtdbname;
    QPushButton* cmd2a;
};

// Page 3: the ODBC connection values.
class OdbcPage : public WizardPage {
public:
    explicit OdbcPage(QWidget* parent = nullptr);
    wizard::OdbcControls* values;
};

// Page 4: the table, the frequency field, the fields and the preview.
class TablePage : public WizardPage {
public:
    explicit TablePage(QWidget* parent = nullptr);
    QComboBox* cboTbName;
    QComboBox* cboFrq;
    QListWidget* Lstfields;
    QTableWidget* Grid1;
};

// Page 5: the shared knowledge tabs and vrell's own "Advanced settings" tab with the threshold
// factor and the box that keeps the cause-and-effect links.
class KnowledgeStep : public WizardPage {
public:
    KnowledgeStep(wizard::knowledge::KnowledgeModel& model, wizard::Services services, const QString& title,
                  QString& IMEXPath, QWidget* parent = nullptr);
    wizard::KnowledgePage* page;
    QComboBox* CmbEps;
};

// Page 6: the log files and the progress of the run.
class LogPage : public WizardPage {
public:
    explicit LogPage(QWidget* parent = nullptr);
    QLineEdit* txtinputlog;
    QPushButton* cmdlog1;
    QLineEdit* txtoutputlog;
    QPushButton* cmdlog2;
    QLabel* lblprocessing;
    QProgressBar* ProgressBar1;
};

// Page 7: the links found and what can be done with the network.
class FinishedPage : public WizardPage {
public:
    explicit FinishedPage(QWidget* parent = nullptr);
    QPlainTextEdit* txtrst;
    QPushButton* cmdeditor;
    QPushButton* cmdexport;
    QPushButton* cmdSave;
    QPushButton* cmdPrint;
};

// The threshold factors of `CmbEps`; item 11 is "1.0", the engine's default.
inline constexpr const char* kThresholdFactors[] = {"10.0", "8.0", "6.0", "5.0", "4.0", "3.0", "2.0",
                                                    "1.8",  "1.6", "1.4", "1.2", "1.0", "0.9", "0.8",
                                                    "0.7",  "0.6", "0.5", "0.4", "0.3", "0.2", "0.1"};
inline constexpr int kDefaultThreshold = 11;

}  // namespace vrell
