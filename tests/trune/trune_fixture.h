// A trune wizard on scripted services, in a temporary program folder, with a clean "Sorvane"
// settings store, hooks on the event pump (where a Cancel click arrives) and on the opener,
// and helpers that make SQLite source files.
#pragma once

#include <gtest/gtest.h>

#include <QDir>
#include <QSettings>
#include <QTemporaryDir>
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
    using FrmWizard::OpenErrorBox;
    // Runs at every pump of the copy and the detection (the Cancel button, a failure).
    std::function<void()> onPump;
    // Replaces the opener when set; every call is recorded.
    std::function<std::shared_ptr<db::Database>(const QString&, const std::string&, bool)> onOpen;
    struct OpenCall {
        QString name;
        std::string connect;
        bool readOnly;
        OpenErrorBox box;
    };
    std::vector<OpenCall> opens;

protected:
    void PumpEvents() override {
        if (onPump) onPump();
    }
    std::shared_ptr<db::Database> OpenWithRecovery(const QString& name, const std::string& connect, bool readOnly,
                                                   OpenErrorBox box) override {
        opens.push_back({name, connect, readOnly, box});
        if (onOpen) return onOpen(name, connect, readOnly);
        return FrmWizard::OpenWithRecovery(name, connect, readOnly, box);
    }
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
