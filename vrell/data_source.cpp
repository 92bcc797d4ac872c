// vrell's data source: opening the database file of page 2 or the ODBC source of page 3 into
// DataDb, and the table, frequency-field and field choices of page 4.
#include <QSignalBlocker>
#include <optional>

#include "vrell/frm_wizard.h"
#include "wizard_common/model/data_source.h"
#include "wizard_common/model/db_formats.h"
#include "wizard_common/model/step_caption.h"
#include "wizard_common/wait_cursor.h"

namespace vrell {

namespace {

QString ProgramTitle() { return QString::fromStdString(wizard::VrellFrame().title); }

void SetIndex(QComboBox* box, int index) {
    const QSignalBlocker block(box);
    box->setCurrentIndex(index);
}

QString DescriptionOf(const std::exception& e) {
    const auto* numbered = dynamic_cast<const vb::NumberedError*>(&e);
    return QString::fromStdString(numbered ? numbered->description() : e.what());
}

}  // namespace

void FrmWizard::ConnectDataPages() {
    // The handlers run on every change of choice, by mouse or key; code that fills or sets a
    // list blocks its signals and calls the handler itself where it should run.
    connect(table->cboTbName, &QComboBox::currentIndexChanged, this, [this] { cboTbName_Click(); });
    connect(table->cboFrq, &QComboBox::currentIndexChanged, this, [this] { cboFrq_Click(); });
    connect(table->Lstfields, &QListWidget::itemSelectionChanged, this, [this] { Lstfields_Click(); });
}

wizard::OpenContext FrmWizard::OpenContextHere() {
    return {*Engine, services_.prompts, this, ProgramTitle(), AskPassword};
}

void FrmWizard::ClearTablePage() {
    wizard::ClearSourceView(table->Grid1, table->Lstfields, {table->cboTbName, table->cboFrq});
}

std::vector<std::string> FrmWizard::SelectedFields() const {
    std::vector<std::string> fields;
    const QListWidget* list = table->Lstfields;
    for (int i = 0; i < list->count(); ++i)
        if (list->item(i)->isSelected()) fields.push_back(list->item(i)->text().toStdString());
    return fields;
}

// ---- opening --------------------------------------------------------------------------------

bool FrmWizard::OpenLocalDB() {
    const QString text = file->txtdbname->text();
    if (text.isEmpty()) {
        wizard::RefuseEmptyName(services_.prompts, this, ProgramTitle());
        return false;
    }
    int select = -1;
    wizard::OpenRequest request;
    // One table per file: the folder is the database and the file's table is chosen.
    request.name = wizard::SourceName(DbFormat, text.toStdString(), PreselectTable);
    request.connect = wizard::DatabaseFormats()[size_t(DbFormat)].connect;
    request.beforeAttempt = [this] {
        wizard::CloseQuietly(PreviewRs);
        wizard::CloseQuietly(DataDb);
    };
    request.opened = [this, &select](const std::shared_ptr<db::Database>& database) {
        DataDb = database;
        ClearTablePage();
        // Stored queries are an Access file's; the other formats list their tables only.
        const std::vector<std::string> names = wizard::ListedTables(*database, DbFormat == 0);
        wizard::FillNames(table->cboTbName, names, false);
        select = wizard::PreselectIndex(names, PreselectTable);
    };
    DataDb = wizard::OpenWithRecovery(OpenContextHere(), request);
    if (!DataDb) {
        // Nothing of the source open before stays on page 4.
        ClearTablePage();
        return false;
    }
    SetIndex(table->cboTbName, select);
    if (select >= 0) cboTbName_Click();
    return true;
}

bool FrmWizard::openODBC() {
    const std::optional<std::string> connect =
        wizard::OdbcConnectOf(*odbc->values, services_.prompts, this, ProgramTitle());
    if (!connect) return false;
    const QString built = QString::fromStdString(*connect);
    // The source open under this very string is still the data set's database.
    if (built == LastOdbcConnect && DataDb) return true;
    try {
        std::optional<wizard::WaitCursor> wait(std::in_place);
        wizard::CloseQuietly(PreviewRs);
        wizard::CloseQuietly(DataDb);
        DataDb = Engine->OpenDatabase("", false, true, *connect);
        LastOdbcConnect = built;
        OdbcConnect = QString::fromStdString(DataDb->Connect());
        ClearTablePage();
        wizard::FillNames(table->cboTbName, DataDb->TableDefNames(), false);
        SetIndex(table->cboTbName, -1);
        return true;
    } catch (const std::exception& e) {
        ClearTablePage();
        Message(DescriptionOf(e), wizard::Icon::None);
        return false;
    }
}

// ---- page 4 ---------------------------------------------------------------------------------

void FrmWizard::cboTbName_Click() {
    TablePage& p = *table;
    const std::string name = p.cboTbName->currentText().toStdString();
    if (name.empty() || !DataDb) return;
    try {
        std::optional<wizard::WaitCursor> wait(std::in_place);
        {
            const QSignalBlocker block(p.Lstfields);
            p.Lstfields->clear();
        }
        wizard::FillNames(p.cboFrq, {}, false);
        // The preview's recordset lives only while the page is filled.
        std::unique_ptr<db::Recordset> rs = DataDb->OpenRecordset(name);
        const std::vector<std::string> names = wizard::FieldNamesOf(*rs);
        wizard::FillNames(p.cboFrq, names, true);
        wizard::FillFieldList(p.Lstfields, names);
        wizard::SetPreviewHeader(p.Grid1, names);
        try {
            wizard::FillPreviewRows(p.Grid1, *rs, names, names);
        } catch (const std::exception&) {
            // The grid keeps its header row.
        }
        SetIndex(p.cboFrq, 0);
        if (wizard::MakeFirstRowCurrent(p.Lstfields)) Lstfields_Click();
        wait.reset();
        wizard::CloseQuietly(rs);
    } catch (const std::exception& e) {
        // Nothing of the table shown before stays as if it were this one's.
        wizard::ClearSourceView(p.Grid1, p.Lstfields, {p.cboFrq});
        wizard::ShowListError(services_.prompts, this, ProgramTitle(), e);
    }
}

void FrmWizard::cboFrq_Click() {
    TablePage& p = *table;
    const int k = p.cboFrq->currentIndex();
    if (k <= 0 || k - 1 >= p.Lstfields->count()) return;
    const QSignalBlocker block(p.Lstfields);
    p.Lstfields->item(k - 1)->setSelected(false);
}

void FrmWizard::Lstfields_Click() {
    TablePage& p = *table;
    // By position: item k of cboFrq is item k - 1 of the field list.
    const int k = p.cboFrq->currentIndex();
    if (k <= 0 || k - 1 >= p.Lstfields->count()) return;
    QListWidgetItem* item = p.Lstfields->item(k - 1);
    if (!item->isSelected()) return;
    {
        const QSignalBlocker block(p.Lstfields);
        item->setSelected(false);
    }
    Message("This field cannot be selected since it is the 'Frequency Field' of the condensed data set.",
            wizard::Icon::None);
}

}  // namespace vrell
