// The controls of trune's pages, their fixed texts and their layout.
#include "trune/pages.h"

#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>

#include "wizard_common/model/db_formats.h"
#include "wizard_common/model/step_caption.h"

namespace trune {

namespace {

using wizard::Named;
using wizard::Note;

QString PageName(int index) {
    return QString::fromStdString(wizard::TruneFrame().pageNames[size_t(index)]);
}

// The counts "2" .. "last", item = index + 2.
void AddCounts(QComboBox* box, int last) {
    for (int n = 2; n <= last; ++n) box->addItem(QString::number(n));
}

}  // namespace

IntroPage::IntroPage(QWidget* parent) : WizardPage(0, 0, PageName(0), parent, /*withHeading=*/false) {
    auto* welcome = Note("Welcome to the Sorvane!");
    QFont f = welcome->font();
    f.setPointSize(f.pointSize() + 4);
    f.setBold(true);
    welcome->setFont(f);
    body()->addWidget(welcome);
    body()->addSpacing(10);
    body()->addWidget(Note("The Sorvane is a tool used with BN Tormid and BN Kalvex for pre-processing the "
                           "training data. It has the following functionalities:"));
    body()->addSpacing(6);
    body()->addWidget(Note("1. Converting data from other desktop database formats to Microsoft JET/Access "
                           "(*.MDB) format (as required by BN Kalvex)."));
    body()->addWidget(Note("2. Detecting and discretizing data fields that contains continuous data."));
    body()->addWidget(Note("3. Dividing the training data into internal training set and internal test set (as "
                           "required by BN Kalvex)."));
    body()->addSpacing(10);
    body()->addWidget(Note("Please note that the test set (data to be classified) used in BN Kalvex does not "
                           "need to be pre-processed."));
}

SettingsPage::SettingsPage(QWidget* parent) : WizardPage(1, 1, PageName(1), parent, /*withHeading=*/false) {
    lstdbfmt = Named(new QListWidget, "lstdbfmt");
    for (const wizard::DbFormat& f : wizard::DatabaseFormats()) lstdbfmt->addItem(f.item);
    lstdbfmt->setMinimumHeight(lstdbfmt->sizeHintForRow(0) * 9);
    Frame1 = Named(new QGroupBox("Settings"), "Frame1");
    AutoDetect = Named(new QCheckBox("Auto detecting continuous fields."), "AutoDetect");
    AutoDetect->setChecked(true);
    lbl1 = Named(new QLabel("Fields that can take more than"), "lbl1");
    CmbVlu = Named(new QComboBox, "CmbVlu");
    AddCounts(CmbVlu, 20);
    lbl2 = Named(new QLabel("values are considered continuous."), "lbl2");
    txtMissing = Named(new QLineEdit, "txtMissing");
    txtAlone = Named(new QLineEdit, "txtAlone");

    auto* limit = new QHBoxLayout;
    limit->addWidget(lbl1);
    limit->addWidget(CmbVlu);
    limit->addWidget(lbl2);
    limit->addStretch(1);
    auto* codes = new QFormLayout;
    codes->addRow("Represent missing:", txtMissing);
    codes->addRow("In a bucket alone:", txtAlone);
    auto* frame = new QVBoxLayout(Frame1);
    frame->addWidget(AutoDetect);
    frame->addLayout(limit);
    frame->addSpacing(6);
    frame->addWidget(Note("Value represents mising or should be in a bucket by itself:"));
    frame->addLayout(codes);

    body()->addWidget(Note("Select the database format of your training data set from the list:"));
    body()->addWidget(lstdbfmt, 1);
    body()->addSpacing(8);
    body()->addWidget(Frame1);
    StretchBody();
}

SourceFilePage::SourceFilePage(QWidget* parent) : WizardPage(2, 2, PageName(2), parent, /*withHeading=*/false) {
    txtdbname = Named(new QLineEdit, "txtdbname");
    cmd2a = Named(new QPushButton("B&rowse..."), "cmd2a");
    body()->addWidget(Note("Enter the path and the name of the the database that contains your data set into the "
                           "input box below. You can also click the browse button to select a database file."));
    body()->addSpacing(10);
    body()->addWidget(new QLabel("Database Name:"));
    body()->addLayout(wizard::PathRow(txtdbname, cmd2a));
}

OdbcPage::OdbcPage(QWidget* parent) : WizardPage(3, 3, PageName(3), parent, /*withHeading=*/false) {
    values = new wizard::OdbcControls;
    body()->addWidget(Note("Please enter the ODBC connection information. Click Help button for detail "
                           "information."));
    body()->addSpacing(8);
    body()->addWidget(values);
}

TablePage::TablePage(QWidget* parent) : WizardPage(4, 4, PageName(4), parent, /*withHeading=*/false) {
    cboTbName = Named(new QComboBox, "cboTbName");
    Grid1 = Named(new QTableWidget, "Grid1");
    wizard::PreparePreviewGrid(Grid1);
    Grid1->setMinimumHeight(170);
    NDbName = Named(new QLineEdit, "NDbName");
    CmdNDb = Named(new QPushButton("Browse..."), "CmdNDb");
    NTbName = Named(new QLineEdit, "NTbName");
    lbstatus3 = Named(new QLabel, "lbstatus3");

    body()->addWidget(Note("1. Please select the training data set from the current database."));
    auto* table = new QHBoxLayout;
    table->addWidget(new QLabel("Table Name:"));
    table->addWidget(cboTbName, 1);
    body()->addLayout(table);
    auto* grid = new QHBoxLayout;
    grid->addWidget(new QLabel("The Data Set "));
    grid->addWidget(new QLabel("(first 100 records)"));
    grid->addStretch(1);
    body()->addLayout(grid);
    body()->addWidget(Grid1, 1);
    body()->addSpacing(8);
    body()->addWidget(Note("2. Select an existing MS-JET/Access database or creat a new one"));
    body()->addWidget(Note("to store the converted training data."));
    auto* target = new QGridLayout;
    target->addWidget(new QLabel("Database Name:"), 0, 0);
    target->addWidget(NDbName, 0, 1);
    target->addWidget(CmdNDb, 0, 2);
    target->addWidget(new QLabel("Table Name:"), 1, 0);
    target->addWidget(NTbName, 1, 1);
    body()->addLayout(target);
    body()->addWidget(Note("(Note: a MS-JET database can store many tables.)"));
    body()->addWidget(lbstatus3);
    StretchBody();
}

MethodPage::MethodPage(QWidget* parent) : WizardPage(5, 5, PageName(5), parent, /*withHeading=*/false) {
    LstConFld = Named(new QListWidget, "LstConFld");
    LstIntvl = Named(new QListWidget, "LstIntvl");
    for (int n = 2; n <= 30; ++n) LstIntvl->addItem(QString::number(n));
    CboReset = Named(new QComboBox, "CboReset");
    AddCounts(CboReset, 20);
    Command1 = Named(new QPushButton("Reset all to"), "Command1");
    CmdAutoDis = Named(new QPushButton("Auto Set"), "CmdAutoDis");
    Frame2 = Named(new QGroupBox("Discretization Methods"), "Frame2");
    OptEW = Named(new QRadioButton("Equal Width"), "OptEW");
    OptEF = Named(new QRadioButton("Equal Freqency"), "OptEF");
    OptEnt = Named(new QRadioButton("Supervised (entropy based), please select the class field:"), "OptEnt");
    OptEF->setChecked(true);
    CmbFlds = Named(new QComboBox, "CmbFlds");
    ProgressBar1 = Named(new QProgressBar, "ProgressBar1");
    ProgressBar1->setRange(0, 100);
    LbProcessing = Named(new QLabel("Data pre-processing is in progress..."), "LbProcessing");
    Lbpercent = Named(new QLabel, "Lbpercent");
    for (QWidget* w : {static_cast<QWidget*>(ProgressBar1), static_cast<QWidget*>(LbProcessing),
                       static_cast<QWidget*>(Lbpercent)})
        w->hide();

    body()->addWidget(Note("Uncheck the fields names that are not to be discretized. For each checked field in "
                           "the list, select the number of intervals to be used (the default value is 10)."));
    auto* lists = new QGridLayout;
    lists->addWidget(new QLabel("Field Names:"), 0, 0);
    lists->addWidget(new QLabel("Number of Intervals:"), 0, 1);
    lists->addWidget(LstConFld, 1, 0, 3, 1);
    lists->addWidget(LstIntvl, 1, 1, 3, 1);
    auto* reset = new QHBoxLayout;
    reset->addWidget(Command1);
    reset->addWidget(CboReset);
    lists->addLayout(reset, 1, 2);
    lists->addWidget(CmdAutoDis, 2, 2);
    lists->setColumnStretch(0, 3);
    lists->setColumnStretch(1, 1);
    lists->setRowStretch(3, 1);
    body()->addLayout(lists, 1);
    auto* methods = new QVBoxLayout(Frame2);
    methods->addWidget(OptEW);
    methods->addWidget(OptEF);
    methods->addWidget(OptEnt);
    methods->addWidget(CmbFlds);
    body()->addWidget(Frame2);
    auto* progress = new QHBoxLayout;
    progress->addWidget(LbProcessing);
    progress->addWidget(ProgressBar1, 1);
    progress->addWidget(Lbpercent);
    body()->addLayout(progress);
    StretchBody();
}

FinishedPage::FinishedPage(QWidget* parent) : WizardPage(6, 6, PageName(6), parent, /*withHeading=*/false) {
    lbldb = Named(new QLabel, "lbldb");
    lbltb = Named(new QLabel, "lbltb");
    lbldb->setTextFormat(Qt::PlainText);
    lbltb->setTextFormat(Qt::PlainText);
    lbldb->setWordWrap(true);
    Command4 = Named(new QPushButton("View the data set"), "Command4");
    Cmdzorv = Named(new QPushButton("Launch BN Kalvex"), "Cmdzorv");
    Cmdvrell = Named(new QPushButton("Launch BN Tormid"), "Cmdvrell");

    body()->addWidget(Note("It is finished! The training data has been successfully converted into MS-JET/Access "
                           "format and stored in:"));
    auto* where = new QFormLayout;
    where->addRow("Database:", lbldb);
    where->addRow("Table:", lbltb);
    body()->addLayout(where);
    lblUncut = Named(new QLabel, "lblUncut");
    lblUncut->setTextFormat(Qt::PlainText);
    lblUncut->setWordWrap(true);
    lblUncut->hide();
    body()->addWidget(lblUncut);
    body()->addSpacing(16);
    for (QPushButton* b : {Command4, Cmdzorv, Cmdvrell}) {
        auto* row = new QHBoxLayout;
        row->addWidget(b);
        row->addStretch(1);
        body()->addLayout(row);
    }
}

void FinishedPage::SetUncutFields(const std::vector<std::string>& names) {
    // A table may have hundreds of such fields: the first few are named, the rest counted.
    constexpr size_t kNamed = 10;
    QStringList shown;
    for (size_t i = 0; i < names.size() && i < kNamed; ++i) shown << QString::fromStdString(names[i]);
    QString list;
    if (names.size() > kNamed)
        list = shown.join(", ") + QString(" and %1 more").arg(names.size() - kNamed);
    else if (shown.size() > 1)
        list = QStringList(shown.begin(), shown.end() - 1).join(", ") + " and " + shown.back();
    else if (!shown.isEmpty())
        list = shown.front();
    lblUncut->setText(names.size() == 1
                          ? "The field " + list + " was labelled \"?\" throughout, because no cut point was found for it."
                          : "The fields " + list +
                                " were labelled \"?\" throughout, because no cut point was found for them.");
    lblUncut->setVisible(!names.empty());
}

}  // namespace trune
