// The settings dialog: two boxes checked in order, the first stored before the second is read.
#include "zorv/frm_setting.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "wizard_common/frame_widgets.h"
#include "wizard_common/model/numbers.h"
#include "wizard_common/model/step_caption.h"

namespace zorv {

namespace {

QGroupBox* LimitFrame(const char* name, const QString& label, QLineEdit* box, const QString& note) {
    auto* frame = new QGroupBox;
    frame->setObjectName(name);
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(label));
    row->addWidget(box);
    auto* text = new QLabel(note);
    text->setWordWrap(true);
    auto* layout = new QVBoxLayout(frame);
    layout->addLayout(row);
    layout->addWidget(text);
    return frame;
}

}  // namespace

FrmSetting::FrmSetting(int32_t& maxCPTrows, int16_t& maxVlus, wizard::Prompts& prompts, QWidget* parent)
    : QDialog(parent), maxCPTrows_(maxCPTrows), maxVlus_(maxVlus), prompts_(prompts) {
    setObjectName("FrmSetting");
    setWindowTitle("ZORV Settings");
    setModal(true);
    Txtrows = new QLineEdit(QString::number(maxCPTrows));
    Txtrows->setObjectName("Txtrows");
    Txtvlus = new QLineEdit(QString::number(maxVlus));
    Txtvlus->setObjectName("Txtvlus");
    for (QLineEdit* box : {Txtrows, Txtvlus}) {
        box->setMaximumWidth(120);
        wizard::SelectAllOnFocus(box);
    }
    CmdOK = new QPushButton("OK");
    CmdOK->setObjectName("CmdOK");
    CmdOK->setDefault(true);
    CmdCancel = new QPushButton("Cancel");
    CmdCancel->setObjectName("CmdCancel");
    connect(CmdOK, &QPushButton::clicked, this, &FrmSetting::CmdOK_Click);
    connect(CmdCancel, &QPushButton::clicked, this, &FrmSetting::CmdCancel_Click);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(CmdOK);
    buttons->addWidget(CmdCancel);
    auto* main = new QVBoxLayout(this);
    main->addWidget(LimitFrame("Frame1", "Max number of total CPT rows:", Txtrows,
                               "This number determines the size of the memory that can be used to "
                               "store conditional probability tables. Setting a larger number will "
                               "require more system memory."));
    main->addWidget(LimitFrame("Frame2", "Max number of values of a field:", Txtvlus,
                               "The program uses this number to check each field - a field that "
                               "takes more values than that will be ignored."));
    main->addLayout(buttons);
    setMinimumWidth(480);
}

void FrmSetting::CmdOK_Click() {
    // A box that does not hold a number in range gets its message and the focus.
    auto read = [this](QLineEdit* box, int64_t lo, int64_t hi, const char* message) {
        const auto value = wizard::WholeNumberInRange(box->text().toStdString(), lo, hi);
        if (!value) {
            prompts_.Message(this, message, QString::fromStdString(wizard::ZorvFrame().title),
                             wizard::Icon::None);
            box->setFocus();
        }
        return value;
    };
    // The upper bound is the Long range: a larger number would overflow the engine's limit.
    const auto rows = read(Txtrows, 5000, 2147483647, "Please input a integer greater than 5000 in the first box.");
    if (!rows) return;
    maxCPTrows_ = int32_t(*rows);
    const auto vlus = read(Txtvlus, 2, 100, "Please input a integer between 2 - 100 in the second box.");
    if (!vlus) return;
    maxVlus_ = int16_t(*vlus);
    accept();
}

}  // namespace zorv
