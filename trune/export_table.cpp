// The copy of the chosen source table into a table of a database file: the target file is
// created or opened read-write (TargetDb), and the make-table statement runs on the source,
// which the database layer copies from any back end in one transaction. An existing target
// table is replaced only after the user says so; the source table itself is never the target,
// so the steps that add columns and labels never write into the user's own table.
#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "platform/db/sql_names.h"
#include "platform/vb/numbered_error.h"
#include "trune/frm_wizard.h"
#include "wizard_common/model/data_source.h"
#include "wizard_common/model/step_caption.h"
#include "wizard_common/wait_cursor.h"

namespace trune {

namespace {

// The error of a dialog the user cancelled.
constexpr int32_t kDialogCancelled = 32755;

// Jet's error for a database path whose folder does not exist.
db::Error InvalidPath(const std::string& path) {
    return db::Error(3044, "'" + path + "' isn't a valid path. Make sure that the path name is spelled correctly "
                     "and that you are connected to the server on which the file resides.");
}

// The text as a literal between apostrophes: an apostrophe inside is doubled.
std::string QuotedLiteral(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        out += c;
        if (c == '\'') out += '\'';
    }
    return out + "'";
}

// Whether two databases are one file, however their paths are spelt (relative, through a
// symbolic link): comparing the texts would take the source for another file and let the
// overwrite delete the very table the copy is about to read.
bool SameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    const bool same = std::filesystem::equivalent(a, b, ec);
    return !ec && same;
}

// Every name that the copy and the steps after it put into a statement, checked before the
// target file is made or a row copied: one that cannot be quoted is db::Error 3125 naming it.
void CheckNames(const std::string& source, const std::string& target, const std::vector<std::string>& fields,
                size_t fieldCount) {
    db::QuotedPlainName(source, db::NameKind::Table);
    db::QuotedPlainName(target, db::NameKind::Table);
    for (size_t i = 0; i < std::min(fieldCount, fields.size()); ++i) db::QuotedPlainName(fields[i], db::NameKind::Field);
}

// The first of "<table>_copy", "<table>_copy2", ... that names no table or query of `names`
// (without regard to case, as table names are compared).
QString FreeCopyName(const QString& table, const std::vector<std::string>& names) {
    auto taken = [&names](const QString& candidate) {
        for (const std::string& n : names)
            if (QString::fromStdString(n).compare(candidate, Qt::CaseInsensitive) == 0) return true;
        return false;
    };
    QString candidate = table + "_copy";
    for (int n = 2; taken(candidate); ++n) candidate = table + "_copy" + QString::number(n);
    return candidate;
}

// The columns the copy selects: all of them as they are, unless the source holds the hold-out
// column in another case (a server that folds unquoted names to lower case keeps it as
// zorv_holdout); the copy then names it as the programs write it, and every column is listed.
std::string CopiedColumns(const std::vector<std::string>& fields, size_t fieldCount) {
    const std::string holdOut(db::kHoldOutColumn);
    bool rename = false;
    for (size_t i = 0; i < std::min(fieldCount, fields.size()); ++i)
        rename = rename || (db::IsHoldOutColumn(fields[i]) && fields[i] != holdOut);
    if (!rename) return "*";
    std::string list;
    for (size_t i = 0; i < std::min(fieldCount, fields.size()); ++i) {
        if (!list.empty()) list += ", ";
        list += db::QuotedPlainName(fields[i], db::NameKind::Field);
        if (db::IsHoldOutColumn(fields[i])) list += " as " + db::QuotedPlainName(holdOut, db::NameKind::Field);
    }
    return list;
}

bool HasNoRows(db::Database& source, const std::string& name) {
    std::unique_ptr<db::Recordset> rows =
        source.OpenRecordset("select * from " + db::QuotedPlainName(name, db::NameKind::Table), db::dbOpenSnapshot);
    const bool empty = rows->Eof();
    rows->Close();
    return empty;
}

bool IsStoredQuery(db::Database& source, const std::string& name) {
    for (const std::string& q : source.QueryDefNames())
        if (QString::fromStdString(q).compare(QString::fromStdString(name), Qt::CaseInsensitive) == 0) return true;
    return false;
}

}  // namespace

bool FrmWizard::TargetIsSourceFile() const {
    const QString target = table->NDbName->text();
    return session_.SourceDb && !target.isEmpty() && SameFile(session_.SourceDb->Name(), target.toStdString());
}

bool FrmWizard::TargetIsSourceTable() const {
    return TargetIsSourceFile() &&
           table->NTbName->text().compare(table->cboTbName->currentText(), Qt::CaseInsensitive) == 0;
}

QString FrmWizard::ProposedTargetTable(const QString& chosen) const {
    if (!TargetIsSourceFile()) return chosen;
    try {
        return FreeCopyName(chosen, wizard::ListedTables(*session_.SourceDb, true));
    } catch (const std::exception&) {
        // The names could not be listed: the suffix alone still keeps the source apart, and
        // a table of that name that exists after all is found by the copy.
        return chosen + "_copy";
    }
}

void FrmWizard::CopyIntoTarget() {
    const std::string statement =
        "select " + CopiedColumns(session_.TableFields, size_t(std::max(0, int(session_.TableFieldCount)))) +
        " into " + db::QuotedPlainName(table->NTbName->text().toStdString(), db::NameKind::Table) + " IN " +
        QuotedLiteral(session_.TargetDb->Name()) + " from " +
        db::QuotedPlainName(table->cboTbName->currentText().toStdString(), db::NameKind::Table);
    session_.SourceDb->Execute(statement);
}

bool FrmWizard::ExportTable() {
    const QString target = table->NDbName->text();
    const QString name = table->NTbName->text();
    if (target.isEmpty()) {
        Message("Please provide the database name to export your training data.", wizard::Icon::None);
        return false;
    }
    if (name.isEmpty()) {
        Message("Please provide the table name to export your training data.", wizard::Icon::None);
        return false;
    }
    // Conditioning adds columns to the copy and writes every row of it: the source table
    // itself must stay as it is.
    if (TargetIsSourceTable()) {
        Message("The table " + name + " is the source table itself, which Sorvane does not change. Please "
                "provide another table name or another database to export your training data.",
                wizard::Icon::Warning);
        return false;
    }
    session_.TargetTable = name.toStdString();
    try {
        CheckNames(table->cboTbName->currentText().toStdString(), session_.TargetTable, session_.TableFields,
                   size_t(std::max(0, int(session_.TableFieldCount))));
        // A source without rows would give an empty copy with nothing to detect or cut: it is
        // refused before any file is made.
        if (session_.SourceDb) {
            const std::string source = table->cboTbName->currentText().toStdString();
            if (HasNoRows(*session_.SourceDb, source)) {
                Message(QString("The %1 %2 has no rows, so there is nothing to discretize. Please choose a table "
                                "or query that holds data.")
                            .arg(IsStoredQuery(*session_.SourceDb, source) ? "query" : "table",
                                 table->cboTbName->currentText()),
                        wizard::Icon::Warning);
                return false;
            }
        }
        if (!QFileInfo::exists(target)) {
            // A file is made only in a folder that exists; for any other the error says what
            // is wrong with the path, not that some other user holds the file.
            if (!QFileInfo(target).absoluteDir().exists()) throw InvalidPath(target.toStdString());
            // A new file stays even when the copy into it then fails.
            session_.TargetDb = db::DBEngine::CreateDatabase(target.toStdString());
        } else if (!OpenExportDB()) {
            return false;
        }
        if (!session_.SourceDb) throw db::Error(3420, "Object invalid or no longer set.");
        wizard::WaitCursor wait;
        table->lbstatus3->setText("Exporting the training data to MS-JET/Access format, please wait...");
        CopyIntoTarget();
    } catch (const vb::NumberedError& e) {
        if (e.number() != db::errnum::kTableExists) {
            Message(QString::fromStdString(e.description()), wizard::Icon::Warning);
            return false;
        }
        // Another table of the source's own file (the copy of an earlier pass): it is taken as
        // the copy, unchanged. The source table itself was refused above.
        if (SameFile(session_.SourceDb->Name(), session_.TargetDb->Name())) {
            table->lbstatus3->setText("");
            return true;
        }
        if (!services_.prompts.Ask(this, "The table " + name + " exists, overwrite?",
                                   QString::fromStdString(wizard::TruneFrame().title)))
            return false;
        // Failures from here on are the caller's to report.
        session_.TargetDb->DeleteTable(name.toStdString());
        wizard::WaitCursor wait;
        CopyIntoTarget();
    }
    table->lbstatus3->setText("");
    PumpEvents();
    return true;
}

bool FrmWizard::OpenExportDB() {
    // Shared and read-write; the opener offers repair and asks for a password where needed.
    // What it cannot mend is shown as the copy shows its errors; a cancelled dialog needs no
    // word.
    wizard::OpenRequest request;
    request.name = table->NDbName->text().toStdString();
    request.readOnly = false;
    request.showError = [this](const std::exception& e) {
        if (wizard::ErrorNumber(e) == kDialogCancelled) return;
        Message(QString::fromStdString(wizard::ErrorDescription(e)), wizard::Icon::Warning);
    };
    session_.TargetDb = wizard::OpenWithRecovery(OpenContextHere(), request);
    return session_.TargetDb != nullptr;
}

}  // namespace trune
