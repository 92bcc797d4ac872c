// A vrell wizard on scripted services, in a temporary program folder with a clean "BN Tormid"
// settings store; a construction engine that records what the wizard hands it; and a sampled
// table with known dependencies.
#pragma once

#include <gtest/gtest.h>

#include <QSettings>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <optional>

#include "tests/support/db_contract.h"
#include "tests/support/network_sampler.h"
#include "tests/support/qt/fake_services.h"
#include "platform/vb/runtime_error.h"
#include "tests/vrell/real_engine.h"
#include "vrell/frm_wizard.h"

namespace vrelltest {

using testsupport::Box;
using vb::Integer;

constexpr int kHelp = 0, kCancel = 1, kBack = 2, kNext = 3, kFinish = 4;
const QString kSkip =
    "Are you sure that you want to skip the structure learning and construct the Bayesian net manually?";

inline Box Warning(const QString& text) { return {text, Box::Ok, wizard::Icon::Warning, {}}; }
inline Box Info(const QString& text) { return {text, Box::Ok, wizard::Icon::Information, {}}; }
inline Box Plain(const QString& text) { return {text, Box::Ok, wizard::Icon::None, {}}; }
inline Box Question(const QString& text) { return {text, Box::YesNo, wizard::Icon::None, {}}; }

// The construction engine as the wizard sees it, recording every argument. Init reports one
// progress event (so a Cancel can land there); Construct fills the result from `result`.
class RecordingDataSet : public vrellapi::IDataSet {
public:
    void SetEventSink(vrellapi::DataSetEvents* sink) override { sink_ = sink; }
    void Init(std::shared_ptr<db::Database>& objdb, std::string& strtb, Integer& numfld,
              vb::Array<std::string>& arrfldnm, std::string& cntfld, bool& bord, vb::Array<Integer>& po,
              vb::Array<Integer>& ce, vb::Array<Integer>& fl, vb::Array<Integer>& rt, vb::Array<Integer>& lf,
              std::string& logi, std::string& logo) override {
        database = objdb;
        table = strtb;
        fields = numfld;
        names = arrfldnm;
        frequency = cntfld;
        ordered = bord;
        this->po = po;
        this->ce = ce;
        this->fl = fl;
        this->rt = rt;
        this->lf = lf;
        inputLog = logi;
        outputLog = logo;
        ++inits;
        bool cancel = false;
        if (sink_) sink_->PercentDone(50, cancel);
    }
    void Construct(vb::Single& Perc, bool& bpres, vb::Array<Integer>& rst) override {
        threshold = Perc;
        preserve = bpres;
        ++constructs;
        if (result) result(rst);
    }
    // Records the call and reports one progress event, where `duringLearnCP` looks at the
    // wizard in the middle of the call.
    void LearnCP(vb::Array<Integer>& graf, std::string& tmpF) override {
        learnGraf = graf;
        learnFile = tmpF;
        ++learnCPs;
        bool cancel = false;
        if (sink_) sink_->PercentDone(40, cancel);
        learnCancelled = cancel;
        if (duringLearnCP) duringLearnCP();
        if (learnError) throw vb::RuntimeError(75, "Path/File access error");
    }
    void MarkovFS() override {}
    void QuickSort2(Integer&, Integer&) override {}

    std::shared_ptr<db::Database> database;
    std::string table, frequency, inputLog, outputLog;
    int fields = 0;
    vb::Array<std::string> names;
    bool ordered = false, preserve = false;
    vb::Array<Integer> po, ce, fl, rt, lf;
    vb::Single threshold = 0;
    int inits = 0, constructs = 0;
    std::function<void(vb::Array<Integer>&)> result;
    vb::Array<Integer> learnGraf;
    std::string learnFile;
    int learnCPs = 0;
    bool learnCancelled = false, learnError = false;
    std::function<void()> duringLearnCP;

private:
    vrellapi::DataSetEvents* sink_ = nullptr;
};

// A table drawn from the network A -> B -> C, D -> C, in table "Sample" of a SQLite file.
inline testsupport::Network ChainNetwork() {
    testsupport::Network net;
    const int a = net.AddNode("A", {"A1", "A2"}, {}, {{0.4, 0.6}});
    const int b = net.AddNode("B", {"B1", "B2"}, {a}, {{0.9, 0.1}, {0.15, 0.85}});
    const int d = net.AddNode("D", {"D1", "D2"}, {}, {{0.5, 0.5}});
    net.AddNode("C", {"C1", "C2", "C3"}, {b, d},
                {{0.8, 0.1, 0.1}, {0.1, 0.8, 0.1}, {0.1, 0.1, 0.8}, {0.34, 0.33, 0.33}});
    return net;
}

inline void WriteSample(const std::string& path, int rows = 800) {
    testsupport::TableOptions opt;
    opt.holdOut = false;
    testsupport::WriteSqliteTable(path, testsupport::SampleTable(ChainNetwork(), rows, opt))->Close();
}

class VrellTest : public ::testing::Test {
protected:
    void SetUp() override {
        ClearSettings();
        sample = dir.filePath("sample.db");
        WriteSample(sample.toStdString());
    }

    static void ClearSettings() {
        QSettings raw(QSettings::IniFormat, QSettings::UserScope, "BN Tormid", "BN Tormid");
        raw.clear();
        raw.sync();
    }

    vrell::FrmWizard& MakeWizard() {
        wizard = std::make_unique<vrell::FrmWizard>(fake.bundle(), dir.path());
        wizard->CreateDataSet = [this]() -> std::shared_ptr<vrellapi::IDataSet> {
            if (realEngine) return NewRealDataSet();
            engines.push_back(std::make_shared<RecordingDataSet>());
            if (result) engines.back()->result = result;
            return engines.back();
        };
        return *wizard;
    }

    // From the introduction to page 4 over `file` in `format`, with `table` chosen.
    void OpenTable(const QString& file, const QString& tableName = "Sample", int format = 0) {
        if (!wizard) MakeWizard();
        wizard->NavButton(kNext)->click();
        wizard->format->lstdbfmt->setCurrentRow(format);
        wizard->NavButton(kNext)->click();
        wizard->file->txtdbname->setText(file);
        wizard->NavButton(kNext)->click();
        ASSERT_EQ(wizard->CurStep, 4);
        if (wizard->table->cboTbName->currentText() != tableName)
            wizard->table->cboTbName->setCurrentIndex(wizard->table->cboTbName->findText(tableName));
    }

    // From page 4 on to page 6.
    void ToLogPage() {
        wizard->NavButton(kNext)->click();
        ASSERT_EQ(wizard->CurStep, 5);
        wizard->NavButton(kNext)->click();
        ASSERT_EQ(wizard->CurStep, 6);
    }

    // Adds a pair on a pair tab of the knowledge page (1 partial ordering, 2 causes and
    // effects, 3 forbidden links) by the fields' rows.
    void AddPair(int tab, int first, int second) {
        wizard::KnowledgePage& k = *wizard->knowledge->page;
        const int lists[4][2] = {{0, 0}, {0, 1}, {2, 3}, {5, 6}};
        k.lstfld[size_t(lists[tab][0])]->setCurrentRow(first);
        k.lstfld[size_t(lists[tab][1])]->setCurrentRow(second);
        if (tab == 1) k.cmdright1_Click();
        if (tab == 2) k.cmdright2_Click();
        if (tab == 3) k.cmdright3_Click();
    }

    QString Path(const QString& name) const { return dir.filePath(name); }

    QTemporaryDir dir;
    // Declared before the wizard: the fakes check their scripts after the wizard is gone.
    testsupport::FakeServices fake;
    std::vector<std::shared_ptr<RecordingDataSet>> engines;
    std::function<void(vb::Array<Integer>&)> result;
    bool realEngine = false;
    std::unique_ptr<vrell::FrmWizard> wizard;
    QString sample;
};

}  // namespace vrelltest
