// zorv's data sources: opening the training and test databases, the table and field choices of
// page 1, the test table of page 9 and the ODBC page.
#include <QSignalBlocker>
#include <optional>

#include "platform/db/sql_names.h"
#include "wizard_common/model/data_source.h"
#include "wizard_common/model/db_formats.h"
#include "wizard_common/model/step_caption.h"
#include "wizard_common/wait_cursor.h"
#include "zorv/frm_wizard.h"

namespace zorv {

namespace {

QString ProgramTitle() { return QString::fromStdString(wizard::ZorvFrame().title); }

void SetIndex(QComboBox* box, int index) {
    const QSignalBlocker block(box);
    box->setCurrentIndex(index);
}

}  // namespace

void FrmWizard::ConnectDataPages() {
    connect(fields->CboTbName, &QComboBox::activated, this, [this] { CboTbName_Click(); });
    connect(fields->CboCls, &QComboBox::activated, this, [this] { CboCls_Click(); });
    connect(fields->cboFrq, &QComboBox::activated, this, [this] { cboFrq_Click(); });
    connect(fields->Lstfields, &QListWidget::itemClicked, this, [this] { Lstfields_Click(); });
    connect(testTable->CboTBNameT, &QComboBox::activated, this, [this] { CboTBNameT_Click(); });
    connect(testTable->CboClsT, &QComboBox::activated, this, [this] { CboClsT_Click(); });
}

wizard::OpenContext FrmWizard::OpenContextHere() {
    return {*Engine, services_.prompts, this, ProgramTitle(), AskPassword};
}

// ---- opening --------------------------------------------------------------------------------

bool FrmWizard::OpenLocalDbL() {
    PreselectTable.clear();
    TrainDb.reset();
    wizard::OpenRequest request;
    request.name = cover->DBName->text().toStdString();
    request.opened = [this](const std::shared_ptr<db::Database>& database) {
        TrainDb = database;
        FieldPage& p = *fields;
        p.Lstfields->clear();
        wizard::FillNames(p.cboFrq, {}, false);
        wizard::FillNames(p.CboCls, {}, false);
        wizard::SetPreviewHeader(p.Grid1, {});
        wizard::FillNames(p.CboTbName, wizard::ListedTables(*database, true), true);
    };
    TrainDb = wizard::OpenWithRecovery(OpenContextHere(), request);
    if (!TrainDb) return false;
    // "None": no table is previewed until the user picks one.
    SetIndex(fields->CboTbName, 0);
    CboTbName_Click();
    return true;
}

bool FrmWizard::OpenLocalDB() {
    const QString text = testFile->DbNameT->text();
    if (text.isEmpty()) {
        wizard::RefuseEmptyName(services_.prompts, this, ProgramTitle());
        return false;
    }
    std::string name = text.toStdString();
    const std::string connect = wizard::DatabaseFormats()[size_t(DbFormat)].connect;
    // One table per file: the folder is the database and the file's table is chosen.
    if (wizard::IsOneTablePerFile(DbFormat))
        name = wizard::StripFileName(name, PreselectTable);
    else
        PreselectTable.clear();

    int select = 0;
    wizard::OpenRequest request;
    request.name = name;
    request.connect = connect;
    request.beforeAttempt = [this] { CloseTestDatabase(); };
    request.opened = [this, &select](const std::shared_ptr<db::Database>& database) {
        session_.TestDb = database;
        const std::vector<std::string> names = wizard::ListedTables(*database, DbFormat == 0);
        select = std::max(0, wizard::PreselectIndex(names, PreselectTable) + 1);
        FillTestTables(names, select);
    };
    session_.TestDb = wizard::OpenWithRecovery(OpenContextHere(), request);
    if (!session_.TestDb) {
        LastOdbcConnect.clear();
        return false;
    }
    CboTBNameT_Click();
    return true;
}

void FrmWizard::FillTestTables(const std::vector<std::string>& names, int select) {
    wizard::FillNames(testTable->CboClsT, {}, false);
    wizard::FillNames(testTable->CboTBNameT, names, true);
    SetIndex(testTable->CboTBNameT, select);
}

// ---- ODBC -----------------------------------------------------------------------------------

void FrmWizard::EnterOdbcPage() {
    odbc->values->Clear();
    GetDSNsAndDrivers();
}

void FrmWizard::GetDSNsAndDrivers() { wizard::GetDSNsAndDrivers(*odbc->values, OdbcSources()); }

bool FrmWizard::openODBC() {
    const std::optional<std::string> connect =
        wizard::OdbcConnectOf(*odbc->values, services_.prompts, this, ProgramTitle());
    if (!connect) return false;
    const QString built = QString::fromStdString(*connect);
    // The source open under this very string is still the test database.
    if (built == LastOdbcConnect && session_.TestDb) return true;
    try {
        std::optional<wizard::WaitCursor> wait(std::in_place);
        std::shared_ptr<db::Database> database = Engine->OpenDatabase("", false, true, *connect);
        wizard::CloseQuietly(session_.TestDb);
        session_.TestDb = database;
        LastOdbcConnect = built;
        OdbcConnect = QString::fromStdString(database->Connect());
        FillTestTables(database->TableDefNames(), 0);
        return true;
    } catch (const std::exception& e) {
        const auto* numbered = dynamic_cast<const vb::NumberedError*>(&e);
        services_.prompts.Message(this, QString::fromStdString(numbered ? numbered->description() : e.what()),
                                  ProgramTitle(), wizard::Icon::None);
        return false;
    }
}

// ---- page 1 ---------------------------------------------------------------------------------

void FrmWizard::ListError(const std::exception& e) {
    const auto* numbered = dynamic_cast<const vb::NumberedError*>(&e);
    const QString text = numbered && numbered->number() == db::errnum::kTooFewParameters
                             ? QString("This is a parameter query.")
                             : QString::fromStdString(numbered ? numbered->description() : e.what());
    services_.prompts.Message(this, text, ProgramTitle(), wizard::Icon::None);
}

void FrmWizard::CboTbName_Click() {
    FieldPage& p = *fields;
    // Item 0 is "None"; a table of that name further down is a table like any other.
    if (p.CboTbName->currentIndex() <= 0 || !TrainDb) return;
    const std::string table = p.CboTbName->currentText().toStdString();
    try {
        std::optional<wizard::WaitCursor> wait(std::in_place);
        p.Lstfields->clear();
        wizard::FillNames(p.cboFrq, {}, false);
        wizard::FillNames(p.CboCls, {}, false);
        PreviewRs = TrainDb->OpenRecordset(table);
        const std::vector<std::string> names = wizard::FieldNamesOf(*PreviewRs);
        bool holdOut = false;
        std::vector<std::string> listed;
        for (const std::string& n : names) {
            // In any case: a server that folds unquoted names keeps it as zorv_holdout.
            if (db::IsHoldOutColumn(n))
                holdOut = true;
            else
                listed.push_back(n);
        }
        if (!holdOut) {
            wait.reset();
            wizard::CloseQuietly(PreviewRs);
            wizard::ClearSourceView(p.Grid1, p.Lstfields, {p.cboFrq, p.CboCls});
            services_.prompts.Message(this, "This data set has not been pre-processed, please run Sorvane (trune) first.",
                                      ProgramTitle(), wizard::Icon::Warning);
            SetIndex(p.CboTbName, -1);
            return;
        }
        wizard::FillNames(p.cboFrq, listed, true);
        wizard::FillNames(p.CboCls, listed, false);
        SetIndex(p.CboCls, -1);
        wizard::SetPreviewHeader(p.Grid1, listed);
        wizard::FillFieldList(p.Lstfields, listed);
        wizard::FillPreviewRows(p.Grid1, *PreviewRs, names, listed);
        SetIndex(p.cboFrq, 0);
        if (wizard::MakeFirstRowCurrent(p.Lstfields)) Lstfields_Click();
        wait.reset();
        wizard::CloseQuietly(PreviewRs);
    } catch (const std::exception& e) {
        // Nothing of the table shown before stays as if it were this one's.
        wizard::ClearSourceView(p.Grid1, p.Lstfields, {p.cboFrq, p.CboCls});
        ListError(e);
    }
}

void FrmWizard::CboCls_Click() {
    FieldPage& p = *fields;
    const int index = p.CboCls->currentIndex();
    const QString cls = p.CboCls->currentText();
    if (index != -1 && p.cboFrq->currentIndex() > 0 && p.cboFrq->currentText() == cls) {
        services_.prompts.Message(this, "The class label cannot be the same field as the 'frequency field'.",
                                  ProgramTitle(), wizard::Icon::None);
        SetIndex(p.CboCls, -1);
        return;
    }
    if (index == -1) return;
    const QSignalBlocker block(p.Lstfields);
    if (p.Lstfields->count() == 0 || p.Lstfields->item(0)->text() != cls) {
        p.Lstfields->insertItem(0, cls);
        for (int i = p.Lstfields->count() - 1; i > 0; --i)
            if (p.Lstfields->item(i)->text() == cls) delete p.Lstfields->takeItem(i);
    }
    p.Lstfields->item(0)->setSelected(true);
}

void FrmWizard::cboFrq_Click() {
    FieldPage& p = *fields;
    if (p.cboFrq->currentIndex() <= 0) return;
    const QString frq = p.cboFrq->currentText();
    if (p.CboCls->currentIndex() != -1 && frq == p.CboCls->currentText()) {
        services_.prompts.Message(this, "The 'frequency field' cannot be the same field as the class label.",
                                  ProgramTitle(), wizard::Icon::None);
        SetIndex(p.cboFrq, 0);
        return;
    }
    const QSignalBlocker block(p.Lstfields);
    for (int i = 0; i < p.Lstfields->count(); ++i) {
        if (p.Lstfields->item(i)->text() == frq) {
            p.Lstfields->item(i)->setSelected(false);
            break;
        }
    }
}

void FrmWizard::Lstfields_Click() {
    FieldPage& p = *fields;
    QListWidgetItem* item = p.Lstfields->currentItem();
    if (!item) return;
    const QSignalBlocker block(p.Lstfields);
    if (p.cboFrq->currentIndex() > 0 && item->text() == p.cboFrq->currentText() && item->isSelected()) {
        services_.prompts.Message(this,
                                  "This field cannot be selected since it is the 'Frequency Field' of the "
                                  "condensed data set.",
                                  ProgramTitle(), wizard::Icon::None);
        item->setSelected(false);
    } else if (p.CboCls->currentIndex() != -1 && item->text() == p.CboCls->currentText() && !item->isSelected()) {
        services_.prompts.Message(this, "This field must be selected since it is the class label.", ProgramTitle(),
                                  wizard::Icon::None);
        item->setSelected(true);
    }
}

bool FrmWizard::CheckFieldSelection() {
    const FieldPage& p = *fields;
    int selected = 0;
    for (int i = 0; i < p.Lstfields->count(); ++i)
        if (p.Lstfields->item(i)->isSelected()) ++selected;
    session_.FieldCount = int16_t(selected);
    if (selected < 3) {
        services_.prompts.Message(this, "Too few selected fields.", ProgramTitle(), wizard::Icon::Information);
        return false;
    }
    if (p.CboCls->currentIndex() == -1) {
        services_.prompts.Message(this, "Please select a field that contains the class information.", ProgramTitle(),
                                  wizard::Icon::None);
        return false;
    }
    return true;
}

// ---- page 9 ---------------------------------------------------------------------------------

void FrmWizard::EnterTestTablePage() {
    TestTablePage& p = *testTable;
    p.LblCls->hide();
    p.LblCls2->hide();
    p.ProgressBar3->hide();
    p.OptSaveRst->setChecked(true);
    p.OptNoSave->setEnabled(false);
}

void FrmWizard::CboTBNameT_Click() {
    TestTablePage& p = *testTable;
    if (p.CboTBNameT->currentIndex() <= 0 || !session_.TestDb) return;
    const std::string table = p.CboTBNameT->currentText().toStdString();
    try {
        std::optional<wizard::WaitCursor> wait(std::in_place);
        wizard::FillNames(p.CboClsT, {}, false);
        PreviewRs = session_.TestDb->OpenRecordset(table);
        wizard::FillNames(p.CboClsT, wizard::FieldNamesOf(*PreviewRs), true);
        SetIndex(p.CboClsT, 0);
        CboClsT_Click();
        wait.reset();
        wizard::CloseQuietly(PreviewRs);
    } catch (const std::exception& e) {
        ListError(e);
    }
}

void FrmWizard::CboClsT_Click() {
    TestTablePage& p = *testTable;
    if (p.CboClsT->currentIndex() == 0) {
        // Without a true class the results can only be kept in a file.
        p.OptSaveRst->setChecked(true);
        p.OptNoSave->setEnabled(false);
    } else {
        p.OptNoSave->setEnabled(true);
    }
}

}  // namespace zorv
