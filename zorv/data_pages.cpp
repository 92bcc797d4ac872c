// The controls of zorv's data pages and their layout.
#include "zorv/data_pages.h"

#include <QGridLayout>
#include <QHBoxLayout>

#include "wizard_common/model/step_caption.h"

namespace zorv {

namespace {

QString PageName(int index) { return QString::fromStdString(wizard::ZorvFrame().pageNames[size_t(index)]); }

}  // namespace

FieldPage::FieldPage(QWidget* parent) : WizardPage(1, 1, PageName(1), parent) {
    CboTbName = Named(new QComboBox, "CboTbName");
    Lstfields = Named(new QListWidget, "Lstfields");
    Lstfields->setSelectionMode(QAbstractItemView::MultiSelection);
    CboCls = Named(new QComboBox, "CboCls");
    cboFrq = Named(new QComboBox, "cboFrq");
    Grid1 = Named(new QTableWidget, "Grid1");
    wizard::PreparePreviewGrid(Grid1);

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel("Table:"), 0, 0);
    grid->addWidget(CboTbName, 0, 1);
    grid->addWidget(new QLabel("Class field:"), 1, 0);
    grid->addWidget(CboCls, 1, 1);
    grid->addWidget(new QLabel("Frequency field:"), 2, 0);
    grid->addWidget(cboFrq, 2, 1);
    grid->addWidget(Note("Fields to use (the class field is always among them):"), 3, 0, 1, 2);
    grid->addWidget(Lstfields, 4, 0, 1, 2);
    grid->setRowStretch(4, 1);
    grid->setColumnStretch(1, 1);
    auto* row = new QHBoxLayout;
    row->addLayout(grid, 2);
    auto* preview = new QVBoxLayout;
    preview->addWidget(new QLabel("Preview (first 100 records):"));
    preview->addWidget(Grid1, 1);
    row->addLayout(preview, 3);
    body()->addWidget(Note("Choose the training table, the fields to learn from, the class field and, for a "
                           "condensed data set, the field that holds each row's frequency."));
    body()->addLayout(row, 1);
    StretchBody();
}

OdbcPage::OdbcPage(QWidget* parent) : WizardPage(8, 8, PageName(8), parent) {
    values = new wizard::OdbcControls;
    body()->addWidget(Note("Choose a data source, or a driver and its server, and give the user name, the "
                           "password and the database of the test data:"));
    body()->addWidget(values);
}

TestTablePage::TestTablePage(QWidget* parent) : WizardPage(9, 9, PageName(9), parent) {
    CboTBNameT = Named(new QComboBox, "CboTBNameT");
    CboClsT = Named(new QComboBox, "CboClsT");
    OptNoSave = Named(new QRadioButton("Just check the classification accuracy against the true labels"), "OptNoSave");
    OptSaveRst = Named(new QRadioButton("Save the classification results to a text file:"), "OptSaveRst");
    RstName = Named(new QLineEdit, "RstName");
    CmdRst = Named(new QPushButton("Browse..."), "CmdRst");
    LblCls = Named(new QLabel("Classification in progress..."), "LblCls");
    LblCls2 = Named(new QLabel, "LblCls2");
    ProgressBar3 = Named(new QProgressBar, "ProgressBar3");
    ProgressBar3->setRange(0, 100);
    ProgressBar3->setValue(0);

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel("Test table:"), 0, 0);
    grid->addWidget(CboTBNameT, 0, 1);
    grid->addWidget(new QLabel("Its class field:"), 1, 0);
    grid->addWidget(CboClsT, 1, 1);
    grid->setColumnStretch(1, 1);
    body()->addLayout(grid);
    body()->addSpacing(8);
    body()->addWidget(OptNoSave);
    body()->addWidget(OptSaveRst);
    auto* file = new QHBoxLayout;
    file->addWidget(RstName, 1);
    file->addWidget(CmdRst);
    body()->addLayout(file);
    body()->addSpacing(12);
    body()->addWidget(LblCls);
    body()->addWidget(ProgressBar3);
    body()->addWidget(LblCls2);
}

}  // namespace zorv
