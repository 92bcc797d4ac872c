// The controls of zorv's pages and their layout.
#include "zorv/pages.h"

#include <QGridLayout>
#include <QHBoxLayout>

#include "wizard_common/model/db_formats.h"

namespace zorv {

using wizard::PathRow;

CoverPage::CoverPage(QWidget* parent) : WizardPage(0, 0, "Cover", parent) {
    Option1 = Named(new QRadioButton("Learn a new belief network classifier from data and use it"), "Option1");
    Option2 = Named(new QRadioButton("Modify an existing belief network classifier and use it"), "Option2");
    Option3 = Named(new QRadioButton("Use an existing belief network classifier to classify new data"), "Option3");
    lbldb = Named(new QLabel("Select a DB (*.MDB):"), "lbldb");
    lbldb2 = Named(Note("The training data must already be conditioned (discretized, with the "
                        "hold-out column that trune adds) and stored in a database file."),
                   "lbldb2");
    DBName = Named(new QLineEdit, "DBName");
    CmdDB = Named(new QPushButton("Browse..."), "CmdDB");
    lblbnc = Named(new QLabel("Select a BNC (*.BNC): "), "lblbnc");
    BNCName = Named(new QLineEdit, "BNCName");
    CmdBNC = Named(new QPushButton("Browse..."), "CmdBNC");
    cmdSet = Named(new QPushButton("Advanced System Settings..."), "cmdSet");

    body()->addWidget(Note("What would you like to do?"));
    // As wide as their captions: a click beside a caption is not a choice.
    body()->addWidget(Option1, 0, Qt::AlignLeft);
    body()->addWidget(Option2, 0, Qt::AlignLeft);
    body()->addWidget(Option3, 0, Qt::AlignLeft);
    body()->addSpacing(12);
    body()->addWidget(lbldb);
    body()->addLayout(PathRow(DBName, CmdDB));
    body()->addWidget(lbldb2);
    body()->addSpacing(12);
    body()->addWidget(lblbnc);
    body()->addLayout(PathRow(BNCName, CmdBNC));
    body()->addSpacing(12);
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(cmdSet);
    body()->addLayout(row);
}

LearnPage::LearnPage(QWidget* parent) : WizardPage(3, 3, "Step 3", parent) {
    txtinputlog = Named(new QLineEdit, "txtinputlog");
    cmdlog1 = Named(new QPushButton("Browse..."), "cmdlog1");
    txtoutputlog = Named(new QLineEdit, "txtoutputlog");
    cmdlog2 = Named(new QPushButton("Browse..."), "cmdlog2");
    lblprocessing = Named(new QLabel, "lblprocessing");
    ProgressBar1 = Named(new QProgressBar, "ProgressBar1");
    LblOverall = Named(new QLabel, "LblOverall");
    ProgressBar1a = Named(new QProgressBar, "ProgressBar1a");
    for (QProgressBar* bar : {ProgressBar1, ProgressBar1a}) {
        bar->setRange(0, 100);
        bar->setValue(0);
    }

    body()->addWidget(Note("Press Proceed to learn the structure of the classifier, or Skip to "
                           "build the network by hand from the causes and effects of Step 2."));
    body()->addSpacing(8);
    body()->addWidget(Note("Input learning log (optional; a log of an earlier run over the same "
                           "table saves counting its statistics again):"));
    body()->addLayout(PathRow(txtinputlog, cmdlog1));
    body()->addSpacing(8);
    body()->addWidget(Note("Output learning log (optional; the statistics of this run are "
                           "written there):"));
    body()->addLayout(PathRow(txtoutputlog, cmdlog2));
    body()->addSpacing(16);
    body()->addWidget(lblprocessing);
    body()->addWidget(ProgressBar1);
    body()->addWidget(LblOverall);
    body()->addWidget(ProgressBar1a);
}

FormatPage::FormatPage(QWidget* parent) : WizardPage(6, 6, "Step 6", parent) {
    Lstdbfmt = Named(new QListWidget, "Lstdbfmt");
    for (const wizard::DbFormat& f : wizard::DatabaseFormats()) Lstdbfmt->addItem(f.item);
    // All seventeen formats in view, without a scroll bar.
    Lstdbfmt->setMinimumHeight(Lstdbfmt->sizeHintForRow(0) * Lstdbfmt->count() + 2 * Lstdbfmt->frameWidth() + 4);
    CmdCls = Named(new QPushButton("Instant Classification"), "CmdCls");

    body()->addWidget(Note("Choose the format of the test data to classify:"));
    body()->addWidget(Lstdbfmt, 1);
    body()->addSpacing(8);
    body()->addWidget(Note("Or classify single cases whose field values you choose:"));
    auto* row = new QHBoxLayout;
    row->addWidget(CmdCls);
    row->addStretch(1);
    body()->addLayout(row);
    StretchBody();
}

TestFilePage::TestFilePage(QWidget* parent) : WizardPage(7, 4, "Step 7a", parent) {
    DbNameT = Named(new QLineEdit, "DbNameT");
    cmd7a = Named(new QPushButton("Browse..."), "cmd7a");
    body()->addWidget(Note("Select the file that holds the test data:"));
    body()->addLayout(PathRow(DbNameT, cmd7a));
}

}  // namespace zorv
