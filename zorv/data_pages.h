// zorv's data pages: the training table and its fields (page 1), the ODBC connection values
// (page 8) and the test table with its class field and the result file (page 9).
#pragma once

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>

#include "wizard_common/data_widgets.h"
#include "zorv/pages.h"

namespace zorv {

// Page 1: table, fields, class field, frequency field and the preview of the first rows.
class FieldPage : public WizardPage {
public:
    explicit FieldPage(QWidget* parent = nullptr);
    QComboBox* CboTbName;
    QListWidget* Lstfields;
    QComboBox* CboCls;
    QComboBox* cboFrq;
    QTableWidget* Grid1;
};

// Page 8: the ODBC source of the test data.
class OdbcPage : public WizardPage {
public:
    explicit OdbcPage(QWidget* parent = nullptr);
    wizard::OdbcControls* values;
};

// Page 9: the test table, its class field, the result file and the progress of the batch.
class TestTablePage : public WizardPage {
public:
    explicit TestTablePage(QWidget* parent = nullptr);
    QComboBox* CboTBNameT;
    QComboBox* CboClsT;
    QRadioButton* OptNoSave;
    QRadioButton* OptSaveRst;
    QLineEdit* RstName;
    QPushButton* CmdRst;
    QLabel* LblCls;
    QLabel* LblCls2;
    QProgressBar* ProgressBar3;
};

}  // namespace zorv
