// A zorv wizard on scripted services, in a temporary program folder, with the work of later
// pages replaceable per test and a clean "BN Kalvex" settings store.
#pragma once

#include <gtest/gtest.h>

#include <QSettings>
#include <QTemporaryDir>
#include <fstream>
#include <functional>
#include <memory>

#include "tests/support/db_contract.h"
#include "tests/support/qt/fake_services.h"
#include "zorv/frm_wizard.h"

namespace zorvtest {

using testsupport::Box;

class ScriptedWizard : public zorv::FrmWizard {
public:
    using FrmWizard::FrmWizard;
    std::function<bool()> onProcess, onSave, onBatch;
    QString resultFile;
    bool realData = false;
    bool realResults = false;
    int processRuns = 0;
    int saveRuns = 0;
    int listings = 0;  // WriteGrafTxt calls
    // The real learning run in place of the scripted one.
    bool realLearning = false;
    void WriteGrafTxt() override {
        ++listings;
        FrmWizard::WriteGrafTxt();
    }

protected:
    bool process() override {
        ++processRuns;
        if (realLearning) return FrmWizard::process();
        return onProcess ? onProcess() : true;
    }
    bool BtnSaveBNC_Click() override {
        ++saveRuns;
        if (realResults) return FrmWizard::BtnSaveBNC_Click();
        return onSave ? onSave() : true;
    }
    bool ClassifyBatch() override {
        if (realResults) return FrmWizard::ClassifyBatch();
        return onBatch ? onBatch() : true;
    }
    // The classifier's own work after the structure (tables, costs, file, batch) on the real
    // engine only when a test asks for it; the page controller's tests walk past it.
    bool LearnTables() override { return realResults ? FrmWizard::LearnTables() : true; }
    bool PutCostsToEngine() override { return realResults ? FrmWizard::PutCostsToEngine() : true; }
    bool ReadBNC(const QString& name) override { return realResults ? FrmWizard::ReadBNC(name) : true; }
    void BuildCostGrid() override {
        if (realResults) FrmWizard::BuildCostGrid();
    }
    void TakeClassLabels() override {
        if (realResults) FrmWizard::TakeClassLabels();
    }
    // The data pages open and check real databases only when a test asks for it; the page
    // controller's tests walk past them.
    bool OpenLocalDbL() override { return realData ? FrmWizard::OpenLocalDbL() : true; }
    bool CheckFieldSelection() override { return realData ? FrmWizard::CheckFieldSelection() : true; }
    bool OpenLocalDB() override { return realData ? FrmWizard::OpenLocalDB() : true; }
    bool openODBC() override { return realData ? FrmWizard::openODBC() : true; }
    QString ResultFileName() const override { return realResults ? FrmWizard::ResultFileName() : resultFile; }
};

class ZorvTest : public ::testing::Test {
protected:
    void SetUp() override {
        ClearSettings();
        dbFile = WriteFile("train.db", "training data");
        bncFile = WriteFile("model.bnc", "classifier");
    }

    static void ClearSettings() {
        QSettings raw(QSettings::IniFormat, QSettings::UserScope, "BN Kalvex", "BN Kalvex");
        raw.clear();
        raw.sync();
    }

    ScriptedWizard& MakeWizard() {
        wizard = std::make_unique<ScriptedWizard>(fake.bundle(), session, dir.path());
        return *wizard;
    }

    QString WriteFile(const QString& name, const std::string& content) {
        const QString path = dir.filePath(name);
        std::ofstream(path.toStdString()) << content;
        return path;
    }

    QTemporaryDir dir;
    // Declared before the wizard: the fakes check their scripts after the wizard is gone.
    testsupport::FakeServices fake;
    zorv::ZorvSession session;
    std::unique_ptr<ScriptedWizard> wizard;
    QString dbFile, bncFile;
};

// A table as trune leaves it: Class, Age with its "_d" column, Income, a frequency field Weight
// and the hold-out column; every seventh row has Nulls in Age and Income.
inline testsupport::TableSpec ConditionedTable(const std::string& name, int rows) {
    testsupport::TableSpec t{name,
                             {{"Class", db::dbText},
                              {"Age", db::dbLong},
                              {"Age_d", db::dbText},
                              {"Income", db::dbText},
                              {"Weight", db::dbLong},
                              {"ZORV_HoldOut", db::dbBoolean}},
                             {}};
    const char* classes[] = {"yes", "no"};
    const char* ages[] = {"<30", ">30<50", ">50"};
    const char* incomes[] = {"low", "mid", "high"};
    for (int r = 0; r < rows; ++r) {
        const int age = 20 + (r * 7) % 45;
        const bool nulls = r % 7 == 3;
        t.rows.push_back({classes[r % 2], nulls ? db::Value() : db::Value(int32_t(age)),
                          ages[age < 30 ? 0 : age < 50 ? 1 : 2], nulls ? db::Value() : db::Value(incomes[r % 3]),
                          db::Value(int32_t(1 + r % 4)), db::Value(r % 3 == 0)});
    }
    return t;
}

// A training database: the conditioned table Cars and a test table CarsTest without the
// hold-out column.
inline void WriteTrainingDatabase(const std::string& path) {
    testsupport::TableSpec test = ConditionedTable("CarsTest", 12);
    test.columns.pop_back();
    for (auto& row : test.rows) row.pop_back();
    testsupport::CreateSqliteFile(path, {ConditionedTable("Cars", 150), test});
}

inline Box Warning(const QString& text) { return {text, Box::Ok, wizard::Icon::Warning, {}}; }
inline Box Plain(const QString& text) { return {text, Box::Ok, wizard::Icon::None, {}}; }
inline Box Question(const QString& text) { return {text, Box::YesNo, wizard::Icon::None, {}}; }

}  // namespace zorvtest
