// Step 5's controls, the cost dialog, and the wizard's work on the cost table.
#include "zorv/page_costs.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QVBoxLayout>

#include "platform/vb/strings.h"
#include "wizard_common/frame_widgets.h"
#include "wizard_common/model/numbers.h"
#include "wizard_common/model/step_caption.h"
#include "zorv/frm_wizard.h"

namespace zorv {

CostPage::CostPage(const QString& name, QWidget* parent) : WizardPage(5, 5, name, parent) {
    body()->addWidget(Note(
        "By default, the costs of different kinds of misclassification are the same. Please modify "
        "the misclassification cost table below as necessary by double-clicking the individual "
        "cell. The valid values are real numbers between 0 and 10. The classifier will try to "
        "minimize the total misclassification costs."));
    body()->addWidget(new QLabel("Misclassified as"), 0, Qt::AlignHCenter);
    auto* row = new QHBoxLayout;
    // The rows are the actual class: its word stands letter by letter beside them.
    auto* actual = new QLabel("A\nc\nt\nu\na\nl");
    actual->setAlignment(Qt::AlignCenter);
    row->addWidget(actual);
    GridCosts = Named(new QTableWidget, "GridCosts");
    GridCosts->setEditTriggers(QAbstractItemView::NoEditTriggers);
    GridCosts->horizontalHeader()->hide();
    GridCosts->verticalHeader()->hide();
    GridCosts->setSelectionMode(QAbstractItemView::SingleSelection);
    row->addWidget(GridCosts, 1);
    body()->addLayout(row, 1);
    BtnSaveBNC = Named(new QPushButton("Save the BN classifier (*.BNC) ..."), "BtnSaveBNC");
    body()->addWidget(BtnSaveBNC, 0, Qt::AlignLeft);
    StretchBody();
}

std::optional<float> CostValue(const QString& text) {
    const std::optional<double> v = wizard::NumericValue(text.toStdString());
    if (!v || *v < 0 || *v > 10) return std::nullopt;
    return float(*v);
}

frmEditCost::frmEditCost(QString& CostCell, wizard::Prompts& prompts, QWidget* parent)
    : QDialog(parent), CostCell_(CostCell), prompts_(prompts) {
    setObjectName("frmEditCost");
    setWindowTitle("Edit");
    NewVlu = Named(new QLineEdit(CostCell), "NewVlu");
    wizard::SelectAllOnFocus(NewVlu);
    cmdOK = Named(new QPushButton("OK"), "cmdOK");
    cmdCancel = Named(new QPushButton("Cancel"), "cmdCancel");
    cmdOK->setDefault(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel("Enter new value:"));
    layout->addWidget(NewVlu);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    layout->addLayout(buttons);
    connect(cmdOK, &QPushButton::clicked, this, &frmEditCost::CmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void frmEditCost::CmdOK_Click() {
    if (!CostValue(NewVlu->text())) {
        prompts_.Message(this, "Please input real number between 0 and 10.",
                         QString::fromStdString(wizard::ZorvFrame().title), wizard::Icon::None);
        NewVlu->setFocus();
        NewVlu->selectAll();
        return;
    }
    CostCell_ = NewVlu->text();
    Accepted = true;
    accept();
}

// ---- the wizard's cost table ----------------------------------------------------------------

void FrmWizard::SizeCostMatrix() {
    const int k = session_.NetCount;
    CostMatrix.ReDim(vb::To(k), vb::To(k));
    if (session_.WorkMode > 1 && MyDataEng) {
        MyDataEng->GetCostTable(CostMatrix);
    } else {
        for (int i = 1; i <= k; ++i)
            for (int j = 1; j <= k; ++j) CostMatrix(i, j) = i == j ? 0.0f : 1.0f;
    }
}

void FrmWizard::BuildCostGrid() {
    SizeCostMatrix();
    const int k = session_.NetCount;
    QTableWidget* grid = costs->GridCosts;
    grid->clear();
    grid->setRowCount(k + 1);
    grid->setColumnCount(k + 1);
    auto put = [grid](int r, int c, const QString& text) {
        auto* item = new QTableWidgetItem(text);
        item->setTextAlignment(Qt::AlignCenter);
        if (r == 0 || c == 0) item->setBackground(grid->palette().button());
        grid->setItem(r, c, item);
    };
    put(0, 0, "");
    for (int i = 1; i <= k; ++i) {
        const QString label = QString::fromStdString(session_.ClassLabels[size_t(i)]);
        put(0, i, label);
        put(i, 0, label);
    }
    for (int i = 1; i <= k; ++i)
        for (int j = 1; j <= k; ++j)
            put(i, j, i == j ? QString("n.a.") : QString::fromStdString(vb::NumberText(CostMatrix(i, j))));
}

void FrmWizard::GridCosts_DblClick(int r, int c) {
    if (r == c || r < 1 || c < 1 || r > session_.NetCount || c > session_.NetCount) return;
    QTableWidgetItem* item = costs->GridCosts->item(r, c);
    if (!item) return;
    QString CostCell = item->text();
    frmEditCost dialog(CostCell, services_.prompts, this);
    if (RunCostDialog)
        RunCostDialog(dialog);
    else
        dialog.exec();
    if (dialog.Accepted) session_.ModelChanged = true;
    item->setText(CostCell);
    CostMatrix(r, c) = CostValue(CostCell).value_or(CostMatrix(r, c));
}

bool FrmWizard::PutCostsToEngine() {
    if (CostMatrix.dims() != 2) SizeCostMatrix();
    MyDataEng->PutCostTable(CostMatrix);
    return true;
}

}  // namespace zorv
