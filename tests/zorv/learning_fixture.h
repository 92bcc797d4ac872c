// The real classifier engine behind a recording wrapper, and a wizard walked to step 3 over a
// table sampled from a small known network, for the tests of the learning run, the listing and
// the running report.
#pragma once

#include "classifier_engine/data_engine.h"

#include <functional>
#include <string>
#include <vector>

#include "tests/support/network_sampler.h"
#include "tests/zorv/zorv_fixture.h"
#include "zorv/data_pages.h"
#include "zorv/learning_options.h"
#include "zorv/page_knowledge.h"
#include "zorv/page_result.h"

namespace zorvtest {

// Hands every call on to a real engine and keeps what the wizard passed. Progress events reach
// the wizard through this object, after `onEvent` (the name of the running call and the
// event's number within it).
class RecordingEngine : public zorvapi::IDataEngine, public zorvapi::DataEngineEvents {
public:
    using Integer = vb::Integer;
    using Long = vb::Long;
    using Single = vb::Single;
    RecordingEngine() { inner.SetEventSink(this); }
    ~RecordingEngine() override { inner.SetEventSink(nullptr); }

    struct Structure {
        Integer numfld = 0;
        std::vector<std::string> names;
        bool bord = false, bpres = false, FixedThr = false, roc = false, filter = false, noOrd = false;
        vb::Array<Integer> po, ce, fl, rt, lf;
        std::string logi, logo;
        Integer BMMode = 0, FSM = 0;
    };

    zorvapi::DataEngine inner;
    zorvapi::DataEngineEvents* host = nullptr;
    bool released = false;  // the wizard set its sink to none
    std::vector<std::string> calls;
    std::shared_ptr<db::Database> database;
    std::string table, cntfld;
    Long rows = 0;
    Integer vlus = 0;
    Structure stru;
    Single threshold = 0;
    std::function<void(const std::string& call, int event)> onEvent;
    // Throws in place of InitLearnStru when set.
    std::function<void()> failInitLearnStru;

    void PercentDone(Single p1, Single p2, bool& cancel) override {
        ++events_;
        if (onEvent) onEvent(running_, events_);
        if (host) host->PercentDone(p1, p2, cancel);
    }

    void SetEventSink(zorvapi::DataEngineEvents* sink) override {
        host = sink;
        if (!sink) released = true;
    }
    void Init(Long& r, Integer& v) override {
        Call("Init");
        rows = r;
        vlus = v;
        inner.Init(r, v);
    }
    void InitLearn(std::shared_ptr<db::Database>& objdb, std::string& strtb, std::string& cnt) override {
        Call("InitLearn");
        database = objdb;
        table = strtb;
        cntfld = cnt;
        inner.InitLearn(objdb, strtb, cnt);
    }
    void InitLearnStru(Integer& numfld, vb::Array<std::string>& arrfldnm, bool& bord, vb::Array<Integer>& po,
                       vb::Array<Integer>& ce, vb::Array<Integer>& fl, vb::Array<Integer>& rt,
                       vb::Array<Integer>& lf, bool& bpres, std::string& logi, std::string& logo, Integer& BMMode,
                       bool& FixedThr, Integer& FSM, bool& tmpROC, bool& tmpFilter, bool& tmpNoOrd) override {
        Call("InitLearnStru");
        stru.numfld = numfld;
        stru.names.clear();
        for (int i = 1; i <= arrfldnm.UBound(); ++i) stru.names.push_back(arrfldnm(i));
        stru.bord = bord;
        stru.po = po;
        stru.ce = ce;
        stru.fl = fl;
        stru.rt = rt;
        stru.lf = lf;
        stru.bpres = bpres;
        stru.logi = logi;
        stru.logo = logo;
        stru.BMMode = BMMode;
        stru.FixedThr = FixedThr;
        stru.FSM = FSM;
        stru.roc = tmpROC;
        stru.filter = tmpFilter;
        stru.noOrd = tmpNoOrd;
        if (failInitLearnStru) failInitLearnStru();
        inner.InitLearnStru(numfld, arrfldnm, bord, po, ce, fl, rt, lf, bpres, logi, logo, BMMode, FixedThr, FSM,
                            tmpROC, tmpFilter, tmpNoOrd);
    }
    void LearnStru(Single& t) override {
        Call("LearnStru");
        threshold = t;
        inner.LearnStru(t);
    }
    void ConstructBN(Single& p) override { inner.ConstructBN(p); }
    void ReadBncStru(std::string& f) override { inner.ReadBncStru(f); }
    void ReadBncCPT(std::string& f) override { inner.ReadBncCPT(f); }
    void GetCostTable(vb::Array<Single>& t) override { inner.GetCostTable(t); }
    void PutCostTable(vb::Array<Single>& t) override { inner.PutCostTable(t); }
    void WriteBnc(std::string& f) override { inner.WriteBnc(f); }
    void PutGraph(vb::Array<Integer>& g) override {
        Call("PutGraph");
        inner.PutGraph(g);
    }
    void GetGraph(vb::Array<Integer>& g) override {
        Call("GetGraph");
        inner.GetGraph(g);
    }
    bool LearnCPT(bool& mn) override {
        Call("LearnCPT");
        return inner.LearnCPT(mn);
    }
    Integer ClsfyInst(vb::Array<Integer>& a) override { return inner.ClsfyInst(a); }
    Single ClsfyBatch(std::shared_ptr<db::Database>& d, std::string& t, std::string& c, vb::Array<Long>& m,
                      std::string& f) override {
        Call("ClsfyBatch");
        return inner.ClsfyBatch(d, t, c, m, f);
    }
    Integer InferenceMN(vb::Array<Integer>& a) override { return inner.InferenceMN(a); }
    Integer InferenceBN(vb::Array<Integer>& a) override { return inner.InferenceBN(a); }
    bool IsMultiNet() override { return inner.IsMultiNet(); }
    Long TotalCases() override { return inner.TotalCases(); }
    Long CorrectCases() override { return inner.CorrectCases(); }
    Long ErrorCases() override { return inner.ErrorCases(); }
    std::string StrStatus() override { return statusOverride.empty() ? inner.StrStatus() : statusOverride; }
    void GetRelative(vb::Array<Integer>& a) override { inner.GetRelative(a); }
    void GetClsLbl(vb::Array<std::string>& a) override {
        Call("GetClsLbl");
        inner.GetClsLbl(a);
    }
    void GetFldNM(vb::Array<std::string>& a) override { inner.GetFldNM(a); }
    void GetFldVlu(vb::Array<std::string>& a) override { inner.GetFldVlu(a); }
    void GetFF(vb::Array<Integer>& a) override { inner.GetFF(a); }
    void GetLift(vb::Array<Single>& a) override { inner.GetLift(a); }
    void GetROC(vb::Array<Single>& a) override { inner.GetROC(a); }
    Single LiftCurve(Integer& c) override { return inner.LiftCurve(c); }
    Single AllROC() override { return inner.AllROC(); }
    Single ROCCurve(Integer& x, Integer& y) override { return inner.ROCCurve(x, y); }
    void QuickSort(Integer& d, Long& f, Long& l) override { inner.QuickSort(d, f, l); }

    std::string statusOverride;

    // Runs as each recorded call starts.
    std::function<void(const std::string& call)> onCall;

private:
    void Call(const std::string& name) {
        if (onCall) onCall(name);
        calls.push_back(name);
        running_ = name;
        events_ = 0;
    }
    std::string running_;
    int events_ = 0;
};

// The class Kind (three values) with Size and Colour as its children, Weight a child of Size,
// Noise unrelated; 600 rows with the hold-out column.
inline testsupport::SampledTable KindTable(double nullRate = 0, bool nullSparesClass = true) {
    testsupport::Network net;
    const int cls = net.AddNode("Kind", {"LOW", "MID", "HIGH"}, {}, {{0.3, 0.4, 0.3}});
    const int size = net.AddNode("Size", {"S", "L"}, {cls}, {{0.9, 0.1}, {0.5, 0.5}, {0.1, 0.9}});
    net.AddNode("Weight", {"S", "L"}, {size}, {{0.85, 0.15}, {0.15, 0.85}});
    net.AddNode("Colour", {"R", "G"}, {cls}, {{0.8, 0.2}, {0.5, 0.5}, {0.2, 0.8}});
    net.AddNode("Noise", {"X", "Y"}, {}, {{0.5, 0.5}});
    testsupport::TableOptions opt;
    opt.table = "Train";
    opt.classNode = cls;
    opt.seed = 5;
    opt.nullRate = nullRate;
    opt.nullSparesClass = nullSparesClass;
    return testsupport::SampleTable(net, 600, opt);
}

// Reads a saved classifier file into a fresh engine, as work mode 3 opens it.
inline void ReadClassifierFile(zorvapi::DataEngine& engine, const std::string& file) {
    vb::Long rows = 100000;
    vb::Integer vlus = 45;
    engine.Init(rows, vlus);
    std::string name = file;
    engine.ReadBncStru(name);
    engine.ReadBncCPT(name);
}

class LearningTest : public ZorvTest {
protected:
    static constexpr int kCancel = 1, kBack = 2, kNext = 3, kProceed = 4;

    // Work mode 1 on a database holding `table`; step 1 chooses the table with its first
    // column as the class field and every field; step 2 is entered and left as it stands
    // unless `onStep2` changes it. Ends on step 3 with the recording engine in place.
    void WalkToStep3(const testsupport::SampledTable& table,
                     const std::function<void(ScriptedWizard&)>& onStep2 = {}) {
        const QString file = dir.filePath("learn.db");
        testsupport::WriteSqliteTable(file.toStdString(), table)->Close();
        ScriptedWizard& w = MakeWizard();
        w.realData = true;
        w.realLearning = true;
        w.NewDataEngine = [this] {
            auto e = std::make_shared<RecordingEngine>();
            if (prepare) prepare(*e);
            engines.push_back(e);
            return e;
        };
        w.show();
        w.cover->Option1->click();
        w.cover->DBName->setText(file);
        w.NavButton(kNext)->click();
        ASSERT_EQ(w.CurrentStep, 1);
        QComboBox* tables = w.fields->CboTbName;
        tables->setCurrentIndex(tables->findText(QString::fromStdString(table.table)));
        w.CboTbName_Click();
        w.fields->CboCls->setCurrentIndex(0);
        w.CboCls_Click();
        w.NavButton(kNext)->click();
        ASSERT_EQ(w.CurrentStep, 2);
        if (onStep2) onStep2(w);
        w.NavButton(kNext)->click();
        ASSERT_EQ(w.CurrentStep, 3);
    }

    RecordingEngine& engine() { return *engines.back(); }
    wizard::KnowledgePage& knowledgePage() { return *wizard->knowledge->page; }
    zorv::LearningOptions& options() { return *wizard->options; }

    // Runs before an engine made for the wizard is handed over.
    std::function<void(RecordingEngine&)> prepare;
    std::vector<std::shared_ptr<RecordingEngine>> engines;
};

}  // namespace zorvtest
