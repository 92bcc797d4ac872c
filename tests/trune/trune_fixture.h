// A trune wizard on scripted services, in a temporary program folder, with a clean "Sorvane"
// settings store, a hook on the event pump (where a Cancel click arrives), a recording and
// scriptable database engine under the openers, and helpers that make SQLite source files.
#pragma once

#include <gtest/gtest.h>

#include <QDir>
#include <QSettings>
#include <QTemporaryDir>
#include <deque>
#include <functional>
#include <memory>

#include "tests/support/db_contract.h"
#include "tests/support/qt/fake_services.h"
#include "trune/frm_wizard.h"

namespace trunetest {

using testsupport::Box;

class ScriptedWizard : public trune::FrmWizard {
public:
    using FrmWizard::FrmWizard;
    // Runs at every pump of the copy and the detection (the Cancel button, a failure).
    std::function<void()> onPump;

protected:
    void PumpEvents() override {
        if (onPump) onPump();
    }
};

// The database layer's engine, recording every open and repair. Scripted error numbers raise
// first, one an open; with a password set, only ";pwd=" and it opens (the file is then opened
// without it).
class RecordingEngine : public wizard::DatabaseEngine {
public:
    struct OpenCall {
        QString name;
        std::string connect;
        bool readOnly;
    };
    std::vector<OpenCall> opens;
    std::vector<std::string> repairs;
    std::deque<int32_t> errors;
    std::string password;

    std::shared_ptr<db::Database> OpenDatabase(const std::string& name, bool exclusive, bool readOnly,
                                               const std::string& connect) override {
        opens.push_back({QString::fromStdString(name), connect, readOnly});
        if (!errors.empty()) {
            const int32_t error = errors.front();
            errors.pop_front();
            throw db::Error(error, "Scripted error " + std::to_string(error) + ".");
        }
        if (password.empty()) return wizard::DefaultDatabaseEngine().OpenDatabase(name, exclusive, readOnly, connect);
        if (connect != ";pwd=" + password) throw db::Error(db::errnum::kNotValidPassword, "Not a valid password.");
        return wizard::DefaultDatabaseEngine().OpenDatabase(name, exclusive, readOnly, "");
    }
    void RepairDatabase(const std::string& name) override { repairs.push_back(name); }
};

class TruneTest : public ::testing::Test {
protected:
    void SetUp() override { ClearSettings(); }

    static void ClearSettings() {
        QSettings raw(QSettings::IniFormat, QSettings::UserScope, "Sorvane", "Sorvane");
        raw.clear();
        raw.sync();
    }

    ScriptedWizard& MakeWizard() {
        wizard = std::make_unique<ScriptedWizard>(fake.bundle(), session, dir.path());
        wizard->Engine = &engine;
        return *wizard;
    }

    std::string Path(const QString& name) const { return dir.filePath(name).toStdString(); }

    // A SQLite file in the test folder holding `tables`.
    QString SourceFile(const QString& name, const std::vector<testsupport::TableSpec>& tables) {
        testsupport::CreateSqliteFile(Path(name), tables);
        return dir.filePath(name);
    }

    // Leaves page 0 and 1 with Next on format `format` (0 Access, 16 ODBC).
    void ToSourcePage(int format = 0) {
        wizard->NavButton(3)->click();
        wizard->settings->lstdbfmt->setCurrentRow(format);
        wizard->NavButton(3)->click();
    }

    // Pages 0 to 4 on the SQLite file `file`, table `table` chosen.
    void ToTablePage(const QString& file, const QString& table) {
        ToSourcePage();
        wizard->sourceFile->txtdbname->setText(file);
        wizard->NavButton(3)->click();
        ASSERT_EQ(wizard->CurrentStep, 4);
        ChooseTable(table);
    }

    // The user picks `table`; picking the one already shown runs the handler again.
    void ChooseTable(const QString& table) {
        QComboBox* box = wizard->table->cboTbName;
        const int index = box->findText(table);
        if (index == box->currentIndex())
            wizard->cboTbName_Click();
        else
            box->setCurrentIndex(index);
    }

    QTemporaryDir dir;
    // Declared before the wizard: the fakes check their scripts after the wizard is gone.
    testsupport::FakeServices fake;
    RecordingEngine engine;
    trune::TruneSession session;
    std::unique_ptr<ScriptedWizard> wizard;
};

inline Box Warning(const QString& text) { return {text, Box::Ok, wizard::Icon::Warning, {}}; }
inline Box Plain(const QString& text) { return {text, Box::Ok, wizard::Icon::None, {}}; }
inline Box Info(const QString& text) { return {text, Box::Ok, wizard::Icon::Information, {}}; }
inline Box Question(const QString& text) { return {text, Box::YesNo, wizard::Icon::None, {}}; }

// The rows of a table or query, all of them.
inline std::vector<std::vector<db::Value>> AllRows(db::Database& db, const std::string& sql) {
    auto rs = db.OpenRecordset(sql, db::dbOpenForwardOnly);
    return testsupport::RowsOf(rs->GetRows(1000000));
}

}  // namespace trunetest
