// zorv's step 5: the misclassification cost table (a grid of class values by class values,
// edited a cell at a time in frmEditCost) and the button that saves the classifier.
#pragma once

#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <optional>

#include "wizard_common/services.h"
#include "zorv/pages.h"

namespace zorv {

class CostPage : public WizardPage {
public:
    explicit CostPage(const QString& name, QWidget* parent = nullptr);
    QTableWidget* GridCosts;
    QPushButton* BtnSaveBNC;
};

// The value of a cost the user typed: a number from 0 to 10; nothing otherwise.
std::optional<float> CostValue(const QString& text);

// "Edit": one cost cell. OK keeps the typed text in `CostCell` only when it is a valid cost.
class frmEditCost : public QDialog {
    Q_OBJECT
public:
    frmEditCost(QString& CostCell, wizard::Prompts& prompts, QWidget* parent = nullptr);
    QLineEdit* NewVlu;
    QPushButton* cmdOK;
    QPushButton* cmdCancel;
    void CmdOK_Click();
    // Set when OK accepted a value (the classifier then counts as changed, even for the same
    // value).
    bool Accepted = false;

private:
    QString& CostCell_;
    wizard::Prompts& prompts_;
};

}  // namespace zorv
