// The controls of vrell's pages, their fixed texts and their layout.
#include "vrell/pages.h"

#include <QGridLayout>
#include <QHBoxLayout>

#include "wizard_common/model/db_formats.h"
#include "wizard_common/model/step_caption.h"

namespace vrell {

namespace {

using wizard::Named;
using wizard::Note;
using wizard::PathRow;

QString PageName(int index) { return QString::fromStdString(wizard::VrellFrame().pageNames[size_t(index)]); }

}  // namespace

IntroPage::IntroPage(QWidget* parent) : WizardPage(0, 0, PageName(0), parent) {
    auto* welcome = Note("Welcome to Tormid!");
    QFont f = welcome->font();
    f.setPointSize(f.pointSize() + 3);
    f.setBold(true);
    welcome->setFont(f);
    body()->addWidget(welcome);
    body()->addSpacing(10);
    body()->addWidget(Note("Tormid learns the structure of a belief network from the rows of one table of a "
                           "database: which fields depend on which, and in what direction."));
    body()->addSpacing(6);
    body()->addWidget(Note("In five steps you choose the data set, its table and fields, state what you already "
                           "know about the fields (orderings, causes and effects, forbidden links, root and leaf "
                           "fields) and name the log files. Finish then constructs the network, and the last page "
                           "lists the links found."));
    body()->addSpacing(6);
    body()->addWidget(Note("Fields with many values should be discretized first; trune writes interval labels into "
                           "\"_d\" columns, which Tormid uses in place of the raw fields."));
}

FormatPage::FormatPage(QWidget* parent) : WizardPage(1, 1, PageName(1), parent) {
    lstdbfmt = Named(new QListWidget, "lstdbfmt");
    for (const wizard::DbFormat& f : wizard::DatabaseFormats()) lstdbfmt->addItem(f.item);
    lstdbfmt->setMinimumHeight(lstdbfmt->sizeHintForRow(0) * lstdbfmt->count() + 2 * lstdbfmt->frameWidth() + 4);
    body()->addWidget(Note("Select the database format of your data set from the list:"));
    body()->addWidget(lstdbfmt, 1);
    StretchBody();
}

FilePage::FilePage(QWidget* parent) : WizardPage(2, 2, PageName(2), parent) {
    txtdbname = Named(new QLineEdit, "txtdbname");
    cmd2a = Named(new QPushButton("B&rowse..."), "cmd2a");
    body()->addWidget(Note("Select the database file that holds your data set:"));
    body()->addLayout(PathRow(txtdbname, cmd2a));
    body()->addSpacing(6);
    body()->addWidget(Note("For dBase, FoxPro, Paradox and text files the folder of the file is opened and the "
                           "file's own table is chosen on the next page."));
}

OdbcPage::OdbcPage(QWidget* parent) : WizardPage(3, 3, PageName(3), parent) {
    values = new wizard::OdbcControls;
    body()->addWidget(Note("Choose a data source, or a driver and its server, and give the user name, the password "
                           "and the database of your data set:"));
    body()->addWidget(values);
}

TablePage::TablePage(QWidget* parent) : WizardPage(4, 4, PageName(4), parent) {
    cboTbName = Named(new QComboBox, "cboTbName");
    cboFrq = Named(new QComboBox, "cboFrq");
    Lstfields = Named(new QListWidget, "Lstfields");
    Lstfields->setSelectionMode(QAbstractItemView::MultiSelection);
    Grid1 = Named(new QTableWidget, "Grid1");
    wizard::PreparePreviewGrid(Grid1);

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel("Table:"), 0, 0);
    grid->addWidget(cboTbName, 0, 1);
    grid->addWidget(new QLabel("Frequency field:"), 1, 0);
    grid->addWidget(cboFrq, 1, 1);
    grid->addWidget(Note("Fields of the belief network:"), 2, 0, 1, 2);
    grid->addWidget(Lstfields, 3, 0, 1, 2);
    grid->setRowStretch(3, 1);
    grid->setColumnStretch(1, 1);
    auto* preview = new QVBoxLayout;
    preview->addWidget(new QLabel("(first 100 records)"));
    preview->addWidget(Grid1, 1);
    auto* row = new QHBoxLayout;
    row->addLayout(grid, 2);
    row->addLayout(preview, 3);
    body()->addWidget(Note("Choose the table, the fields to construct the network from and, for a condensed data "
                           "set, the field that holds how many cases each row stands for."));
    body()->addLayout(row, 1);
    StretchBody();
}

KnowledgeStep::KnowledgeStep(wizard::knowledge::KnowledgeModel& model, wizard::Services services,
                             const QString& title, QString& IMEXPath, QWidget* parent)
    : WizardPage(5, 5, PageName(5), parent) {
    page = new wizard::KnowledgePage(model, services, title, IMEXPath);
    CmbEps = Named(new QComboBox, "CmbEps");
    for (const char* item : kThresholdFactors) CmbEps->addItem(item);
    CmbEps->setCurrentIndex(kDefaultThreshold);

    auto* tab = new QWidget;
    auto* v = new QVBoxLayout(tab);
    auto* threshold = new QHBoxLayout;
    threshold->addWidget(new QLabel("Threshold:"));
    threshold->addWidget(CmbEps);
    threshold->addWidget(new QLabel("times of the default value."));
    threshold->addStretch(1);
    v->addLayout(threshold);
    v->addWidget(Note("A larger threshold keeps fewer links: a pair of fields must depend more strongly to be "
                      "linked."));
    v->addSpacing(12);
    v->addWidget(page->chkpreserve);  // moves here from the causes-and-effects tab
    // The import button stays behind alone on its row: at its own width, on the right.
    page->cmdImport->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    v->addStretch(1);
    page->SSTab1->addTab(tab, "Advanced &settings");

    body()->addWidget(page, 1);
    StretchBody();
}

LogPage::LogPage(QWidget* parent) : WizardPage(6, 6, PageName(6), parent) {
    txtinputlog = Named(new QLineEdit, "txtinputlog");
    cmdlog1 = Named(new QPushButton("Browse..."), "cmdlog1");
    txtoutputlog = Named(new QLineEdit, "txtoutputlog");
    cmdlog2 = Named(new QPushButton("Browse..."), "cmdlog2");
    lblprocessing = Named(new QLabel, "lblprocessing");
    ProgressBar1 = Named(new QProgressBar, "ProgressBar1");
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);

    body()->addWidget(Note("Input log file (optional): the statistics of the data set are read from a log of an "
                           "earlier run instead of being counted again."));
    body()->addLayout(PathRow(txtinputlog, cmdlog1));
    body()->addSpacing(8);
    body()->addWidget(Note("Create a log file for the data set. To update the existing input log file, enter the "
                           "same file name as the input log file."));
    body()->addLayout(PathRow(txtoutputlog, cmdlog2));
    body()->addSpacing(8);
    body()->addWidget(Note("Press Finish to construct the belief network, or Skip to build it by hand from the "
                           "causes and effects of Step 4."));
    body()->addSpacing(16);
    body()->addWidget(lblprocessing);
    body()->addWidget(ProgressBar1);
}

FinishedPage::FinishedPage(QWidget* parent) : WizardPage(7, 7, PageName(7), parent) {
    txtrst = Named(new QPlainTextEdit, "txtrst");
    txtrst->setReadOnly(true);
    txtrst->setLineWrapMode(QPlainTextEdit::NoWrap);
    cmdeditor = Named(new QPushButton("BN editor"), "cmdeditor");
    cmdexport = Named(new QPushButton("Export BN..."), "cmdexport");
    cmdexport->setToolTip("Export the belief net to other formats");
    cmdSave = Named(new QPushButton("&Save report..."), "cmdSave");
    cmdPrint = Named(new QPushButton("&Print report"), "cmdPrint");

    body()->addWidget(Note("The links of the belief network:"));
    body()->addWidget(txtrst, 1);
    auto* row = new QHBoxLayout;
    for (QPushButton* b : {cmdeditor, cmdexport, cmdSave, cmdPrint}) row->addWidget(b);
    row->addStretch(1);
    body()->addLayout(row);
    StretchBody();
}

}  // namespace vrell
