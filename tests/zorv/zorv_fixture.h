// A zorv wizard on scripted services, in a temporary program folder, with the work of later
// pages replaceable per test and a clean "BN Kalvex" settings store.
#pragma once

#include <gtest/gtest.h>

#include <QSettings>
#include <QTemporaryDir>
#include <fstream>
#include <functional>
#include <memory>

#include "tests/support/qt/fake_services.h"
#include "zorv/frm_wizard.h"

namespace zorvtest {

using testsupport::Box;

class ScriptedWizard : public zorv::FrmWizard {
public:
    using FrmWizard::FrmWizard;
    std::function<bool()> onProcess, onSave, onBatch;
    QString resultFile;
    int processRuns = 0;
    int saveRuns = 0;
    int listings = 0;  // WriteGrafTxt calls
    void WriteGrafTxt() override { ++listings; }

protected:
    bool process() override {
        ++processRuns;
        return onProcess ? onProcess() : true;
    }
    bool BtnSaveBNC_Click() override {
        ++saveRuns;
        return onSave ? onSave() : true;
    }
    bool ClassifyBatch() override { return onBatch ? onBatch() : true; }
    QString ResultFileName() const override { return resultFile; }
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

inline Box Warning(const QString& text) { return {text, Box::Ok, wizard::Icon::Warning, {}}; }
inline Box Plain(const QString& text) { return {text, Box::Ok, wizard::Icon::None, {}}; }
inline Box Question(const QString& text) { return {text, Box::YesNo, wizard::Icon::None, {}}; }

}  // namespace zorvtest
