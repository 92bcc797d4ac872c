// "Instant Classification": one case entered by hand, a value list per field the classifier
// uses, classified by the engine at once.
#pragma once

#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <vector>

#include "classifier_engine/zorvapi.h"
#include "zorv/session.h"

namespace zorv {

// Twips of the dialog's layout at the screen's logical resolution.
int TwipsToPixels(int twips, double dpi);

class FrmInstCls : public QDialog {
    Q_OBJECT
public:
    // The session's fields, feature flags, value counts and labels as the wizard refreshed them.
    FrmInstCls(const ZorvSession& session, const std::vector<int16_t>& valueCounts,
               const vb::Array<std::string>& valueLabels, zorvapi::IDataEngine& engine,
               QWidget* parent = nullptr);
    QScrollArea* Picture1;
    QWidget* Picture2;
    std::vector<QLabel*> LblFld;     // from index 1
    std::vector<QComboBox*> CmbFld;  // from index 1
    QPushButton* CmdClsfy;
    QLabel* LblCls;
    QLabel* LblCls2;
    void CmbFld_Click();
    void CmdClsfy_Click();

private:
    void BuildFieldRows(const std::vector<int16_t>& valueCounts, const vb::Array<std::string>& valueLabels);
    int Px(int twips) const;
    // A field row's label: two blanks and the field's name.
    QString FieldText(int i) const;
    const ZorvSession& session_;
    zorvapi::IDataEngine& engine_;
    int rowHeight_ = 0;   // pixels from one field row to the next
    int labelWidth_ = 0;  // pixels of the names column
};

}  // namespace zorv
