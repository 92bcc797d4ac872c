// trune's source data: opening the source file (page 2) or ODBC source (page 3) read-only
// into SourceDb, the table list, the chosen table with its preview and field names (page 4),
// and the browse buttons of pages 2 and 4.
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QSignalBlocker>

#include <fstream>

#include "platform/vb/numbered_error.h"
#include "trune/frm_wizard.h"
#include "wizard_common/model/db_formats.h"
#include "wizard_common/wait_cursor.h"

namespace trune {

namespace {

// The formats whose tables are files of a folder: dBase, FoxPro, Paradox and text.
bool OneTablePerFile(int format) { return (format >= 1 && format <= 10) || format == 15; }

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

}  // namespace

void FrmWizard::CloseSource() {
    // Closing a source whose connection is already gone is nothing to report.
    try {
        if (session_.SourceDb) session_.SourceDb->Close();
    } catch (const vb::NumberedError&) {
    }
    session_.SourceDb.reset();
}

bool FrmWizard::OpenLocalDB() {
    QString name = sourceFile->txtdbname->text();
    if (name.isEmpty()) {
        QApplication::beep();
        Message("You must provide a database name.", wizard::Icon::Information);
        return false;
    }
    const std::string connect = wizard::DatabaseFormats()[size_t(DbFormat)].connect;
    if (OneTablePerFile(DbFormat))
        name = StripFileName(name);
    else
        PreselectTable.clear();
    CloseSource();
    // The opener shows the hourglass while it works and the default pointer with its boxes.
    const std::shared_ptr<db::Database> source = OpenWithRecovery(name, connect, true, OpenErrorBox::ShowError);
    if (!source) return false;
    session_.SourceDb = source;

    std::vector<std::string> tables;
    try {
        wizard::WaitCursor wait;
        tables = source->TableDefNames();
        // Stored queries can be copied like tables; only a database file holds them.
        if (DbFormat == 0)
            for (const std::string& q : source->QueryDefNames()) tables.push_back(q);
    } catch (const vb::NumberedError& e) {
        ShowError(e);
        CloseSource();
        return false;
    }
    int preselect = -1;
    {
        const QSignalBlocker block(table->cboTbName);
        table->cboTbName->clear();
        table->Grid1->clear();
        table->Grid1->setRowCount(0);
        table->Grid1->setColumnCount(0);
        const QString wanted = PreselectTable.toUpper();
        for (size_t i = 0; i < tables.size(); ++i) {
            const QString t = QString::fromStdString(tables[i]);
            table->cboTbName->addItem(t);
            if (!wanted.isEmpty() && t.toUpper() == wanted) preselect = int(i);
        }
        table->cboTbName->setCurrentIndex(preselect);
    }
    if (preselect >= 0) cboTbName_Click();
    // Emptied after the preselection: a preselected one-table-per-file table must be named
    // for the copy on page 4.
    table->NTbName->clear();
    if (DbFormat == 0)
        table->NDbName->setText(DefaultTarget(sourceFile->txtdbname->text()));
    else
        table->NDbName->clear();
    return true;
}

bool FrmWizard::openODBC() {
    const std::string connect = OdbcConnectString();
    if (connect.empty()) {
        Message("Please select a Driver or a DSN.", wizard::Icon::Warning);
        return false;
    }
    if (!LastOdbcConnect.empty() && connect == LastOdbcConnect) return true;
    CloseSource();
    std::vector<std::string> tables;
    try {
        wizard::WaitCursor wait;
        session_.SourceDb = db::DBEngine::OpenDatabase("", false, true, connect);
        odbcConnect_ = session_.SourceDb->Connect();
        tables = session_.SourceDb->TableDefNames();
        LastOdbcConnect = connect;
    } catch (const vb::NumberedError& e) {
        // Nothing is open now: the same values must open again on the next Next instead of
        // passing for the source that was there before.
        CloseSource();
        LastOdbcConnect.clear();
        odbcConnect_.clear();
        table->cboTbName->clear();
        Message(QString::fromStdString(e.description()), wizard::Icon::None);
        return false;
    }
    {
        const QSignalBlocker block(table->cboTbName);
        table->cboTbName->clear();
        for (const std::string& t : tables) table->cboTbName->addItem(QString::fromStdString(t));
        table->cboTbName->setCurrentIndex(-1);
    }
    table->Grid1->clear();
    table->Grid1->setRowCount(0);
    table->Grid1->setColumnCount(0);
    table->NTbName->clear();
    table->NDbName->clear();
    return true;
}

void FrmWizard::cboTbName_Click() {
    const QString chosen = table->cboTbName->currentText();
    if (chosen.isEmpty() || !session_.SourceDb) return;
    table->NTbName->setText(chosen);
    std::unique_ptr<db::Recordset> rows;
    try {
        wizard::WaitCursor wait;
        rows = session_.SourceDb->OpenRecordset(chosen.toStdString());
        // A recordset without rows has no current row to ask its fields' names of; the
        // table's definition has them.
        std::vector<std::string> names;
        if (rows->Eof()) {
            for (const db::Field& f : session_.SourceDb->TableDefs(chosen.toStdString()).Fields) names.push_back(f.Name);
        } else {
            for (int i = 0; i < rows->FieldCount(); ++i) names.push_back(rows->Fields(i).Name);
        }
        session_.TableFieldCount = int16_t(names.size());
        session_.TableFields = names;
        session_.TableFields.emplace_back();
        FillPreviewGrid(names, *rows);
    } catch (const vb::NumberedError& e) {
        if (e.number() == db::errnum::kTooFewParameters)
            Message("This is a parameter query.", wizard::Icon::None);
        else
            Message(QString::fromStdString(e.description()), wizard::Icon::None);
    }
    if (rows) rows->Close();
}

void FrmWizard::cmd2a_Click() {
    const wizard::OpenDbDialogSetup d = wizard::SetOpenDbDialog(DbFormat, DBPath);
    wizard::BrowseInto(sourceFile->txtdbname, services_.files, this, d.title, d.filter, DBPath);
}

void FrmWizard::CmdNDb_Click() {
    // The save form of the dialog: the file need not exist, so a new name can be typed; the
    // wizard's own overwrite question comes with the copy.
    const QString name = services_.files.Save(this, "Open MS-JET/Access database",
                                              "Database files (*.db *.sqlite *.mdb)|*.db;*.sqlite;*.mdb", DBPath);
    if (!name.isEmpty()) table->NDbName->setText(name);
    wizard::RememberFolder(table->NDbName->text(), DBPath);
}

}  // namespace trune
