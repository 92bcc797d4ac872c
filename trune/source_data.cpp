// trune's source data: opening the source file (page 2) or ODBC source (page 3) read-only
// into SourceDb, the table list, the chosen table with its preview and field names (page 4),
// and the browse buttons of pages 2 and 4.
#include <QDir>
#include <QFileInfo>
#include <QSignalBlocker>

#include <fstream>
#include <optional>

#include "platform/vb/numbered_error.h"
#include "trune/frm_wizard.h"
#include "wizard_common/data_widgets.h"
#include "wizard_common/model/db_formats.h"
#include "wizard_common/model/file_filter.h"
#include "wizard_common/model/step_caption.h"
#include "wizard_common/wait_cursor.h"

namespace trune {

namespace {

QString ProgramTitle() { return QString::fromStdString(wizard::TruneFrame().title); }

// A real Access file, by the signature at offset 4; the layer reads those read-only.
bool IsJetFile(const QString& path) {
    std::ifstream in(path.toStdString(), std::ios::binary);
    char head[19] = {};
    in.read(head, sizeof head);
    const std::string sig(head + 4, head + 19);
    return sig == "Standard Jet DB" || sig == "Standard ACE DB";
}

// Where the copy of a table read from `source` goes by default: into the file itself when it
// is a database file of ours; beside a real Access file, which is only read here, a new file
// of its name.
QString DefaultTarget(const QString& source) {
    if (!IsJetFile(source)) return source;
    const QFileInfo info(source);
    return info.dir().filePath(info.completeBaseName() + ".db");
}

// The table list of a source just opened, `select` chosen without running its handler.
void FillTables(QComboBox* box, const std::vector<std::string>& names, int select) {
    wizard::FillNames(box, names, false);
    const QSignalBlocker block(box);
    box->setCurrentIndex(select);
}

}  // namespace

wizard::OpenContext FrmWizard::OpenContextHere() {
    return {*Engine, services_.prompts, this, ProgramTitle(), AskPassword};
}

void FrmWizard::CloseSource() {
    wizard::CloseQuietly(PreviewRs);
    wizard::CloseQuietly(session_.SourceDb);
}

bool FrmWizard::OpenLocalDB() {
    const QString text = sourceFile->txtdbname->text();
    if (text.isEmpty()) {
        wizard::RefuseEmptyName(services_.prompts, this, ProgramTitle());
        return false;
    }
    std::string name = text.toStdString();
    // One table per file: the folder is the database and the file's table is chosen.
    if (wizard::IsOneTablePerFile(DbFormat))
        name = wizard::StripFileName(name, PreselectTable);
    else
        PreselectTable.clear();

    int preselect = -1;
    wizard::OpenRequest request;
    request.name = name;
    request.connect = wizard::DatabaseFormats()[size_t(DbFormat)].connect;
    request.beforeAttempt = [this] { CloseSource(); };
    request.opened = [this, &preselect](const std::shared_ptr<db::Database>& database) {
        // Stored queries can be copied like tables; only a database file holds them.
        const std::vector<std::string> names = wizard::ListedTables(*database, DbFormat == 0);
        preselect = wizard::PreselectIndex(names, PreselectTable);
        wizard::SetPreviewHeader(table->Grid1, {});
        FillTables(table->cboTbName, names, preselect);
    };
    session_.SourceDb = wizard::OpenWithRecovery(OpenContextHere(), request);
    if (!session_.SourceDb) {
        // Nothing of the source open before stays on page 4.
        wizard::ClearSourceView(table->Grid1, nullptr, {table->cboTbName});
        return false;
    }
    if (preselect >= 0) cboTbName_Click();
    // Emptied after the preselection: a preselected one-table-per-file table must be named
    // for the copy on page 4.
    table->NTbName->clear();
    if (DbFormat == 0)
        table->NDbName->setText(DefaultTarget(text));
    else
        table->NDbName->clear();
    return true;
}

void FrmWizard::GetDSNsAndDrivers() { wizard::GetDSNsAndDrivers(*odbc->values, OdbcSources()); }

void FrmWizard::ClearObjs() {
    wizard::ClearObjs(*odbc->values, PreviewRs, session_.SourceDb, OdbcConnect, LastOdbcConnect);
}

bool FrmWizard::openODBC() {
    const std::optional<std::string> built =
        wizard::OdbcConnectOf(*odbc->values, services_.prompts, this, ProgramTitle());
    if (!built) return false;
    const QString connect = QString::fromStdString(*built);
    // The very string opened last: its source and table list stay as they are.
    if (connect == LastOdbcConnect) return true;
    CloseSource();
    std::vector<std::string> tables;
    try {
        wizard::WaitCursor wait;
        session_.SourceDb = Engine->OpenDatabase("", false, true, *built);
        LastOdbcConnect = connect;
        OdbcConnect = QString::fromStdString(session_.SourceDb->Connect());
        tables = wizard::ListedTables(*session_.SourceDb, false);
    } catch (const vb::NumberedError& e) {
        // Nothing is open now: the same values must open again on the next Next instead of
        // passing for the source that was there before.
        CloseSource();
        LastOdbcConnect.clear();
        OdbcConnect.clear();
        wizard::ClearSourceView(table->Grid1, nullptr, {table->cboTbName});
        Message(QString::fromStdString(e.description()), wizard::Icon::None);
        return false;
    }
    FillTables(table->cboTbName, tables, -1);
    wizard::SetPreviewHeader(table->Grid1, {});
    table->NTbName->clear();
    table->NDbName->clear();
    return true;
}

void FrmWizard::cboTbName_Click() {
    const QString chosen = table->cboTbName->currentText();
    if (chosen.isEmpty() || !session_.SourceDb) return;
    proposedTable_ = ProposedTargetTable(chosen);
    table->NTbName->setText(proposedTable_);
    const std::string source = chosen.toStdString();
    try {
        wizard::WaitCursor wait;
        PreviewRs = session_.SourceDb->OpenRecordset(source);
        const std::vector<std::string> names = wizard::FieldNamesOf(*PreviewRs);
        session_.TableFieldCount = int16_t(names.size());
        session_.TableFields = names;
        session_.TableFields.emplace_back();
        wizard::SetPreviewHeader(table->Grid1, names);
        wizard::FillPreviewRows(table->Grid1, *PreviewRs, names, names);
    } catch (const vb::NumberedError& e) {
        // Nothing of the table shown before stays as if it were this one's.
        wizard::ClearSourceView(table->Grid1, nullptr, {});
        session_.TableFieldCount = 0;
        session_.TableFields.assign(1, "");
        if (e.number() == db::errnum::kTooFewParameters)
            Message("This is a parameter query.", wizard::Icon::None);
        else
            Message(QString::fromStdString(e.description()), wizard::Icon::None);
    }
    wizard::CloseQuietly(PreviewRs);
}

void FrmWizard::NDbName_Change() {
    const QString chosen = table->cboTbName->currentText();
    if (chosen.isEmpty() || proposedTable_.isEmpty() || table->NTbName->text() != proposedTable_) return;
    proposedTable_ = ProposedTargetTable(chosen);
    table->NTbName->setText(proposedTable_);
}

void FrmWizard::cmd2a_Click() {
    const wizard::OpenDbDialogSetup d = wizard::SetOpenDbDialog(DbFormat, DBPath);
    wizard::BrowseInto(sourceFile->txtdbname, services_.files, this, d.title, d.filter, DBPath);
}

void FrmWizard::CmdNDb_Click() {
    // The save form of the dialog: the file need not exist, so a new name can be typed; the
    // wizard's own overwrite question comes with the copy.
    const QString name = services_.files.Save(this, "Open MS-JET/Access database", wizard::kDatabaseFilter, DBPath);
    if (!name.isEmpty()) table->NDbName->setText(name);
    wizard::RememberFolder(table->NDbName->text(), DBPath);
}

}  // namespace trune
