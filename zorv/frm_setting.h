// "ZORV Settings": the dialog of the cover page's "Advanced System Settings..." button, in which
// the user changes the two engine limits (total probability-table rows, values per field).
#pragma once

#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <cstdint>

#include "wizard_common/services.h"

namespace zorv {

class FrmSetting : public QDialog {
    Q_OBJECT
public:
    // Edits `maxCPTrows` and `maxVlus` in place; each is stored as soon as its box is accepted.
    FrmSetting(int32_t& maxCPTrows, int16_t& maxVlus, wizard::Prompts& prompts,
               QWidget* parent = nullptr);

    void CmdOK_Click();
    void CmdCancel_Click() { reject(); }

    QLineEdit* Txtrows;
    QLineEdit* Txtvlus;
    QPushButton* CmdOK;
    QPushButton* CmdCancel;

private:
    int32_t& maxCPTrows_;
    int16_t& maxVlus_;
    wizard::Prompts& prompts_;
};

}  // namespace zorv
