// zorv's wizard form: ten pages, the six navigation buttons and the page controller (ShowStep,
// SetNavButtons, ValidateStep, cmdNav_Click), the frame procedures (caption, F1, browse
// buttons, test-data format, hidden link, About) and the settings it loads and saves.
//
// The work behind some pages (opening databases, reading a classifier file, the learning run,
// probability tables, costs, batch classification) lives in members of their own names; they
// are virtual so that a test can make one fail or walk past it.
#pragma once

#include <QStackedWidget>
#include <QString>
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>

#include "classifier_engine/zorvapi.h"
#include "platform/db/database.h"
#include "platform/vb/array.h"
#include "wizard_common/db_open.h"
#include "wizard_common/frame_widgets.h"
#include "wizard_common/model/running_report.h"
#include "wizard_common/services.h"
#include "wizard_common/wizard_form.h"
#include "zorv/data_pages.h"
#include "zorv/pages.h"
#include "zorv/session.h"

namespace zorv {

class CostPage;
class FrmInstCls;
class FrmSetting;
class frmEditCost;
class KnowledgeStep;
class LearningOptions;
class ResultPage;

// The wizard is the event sink of the engine it holds.
class FrmWizard : public wizard::WizardForm, public zorvapi::DataEngineEvents {
    Q_OBJECT
public:
    // `programDir` is the folder the help pages, the demo database and the default folders are
    // taken from (the program's own folder; tests pass a folder of their own).
    FrmWizard(wizard::Services services, ZorvSession& session, const QString& programDir,
              QWidget* parent = nullptr);
    ~FrmWizard() override;

    // Page controller.
    void ShowStep(int page, int how);
    void SetNavButtons(int page);
    bool ValidateStep();
    void cmdNav_Click(int index);
    void SetStepCaption(int page);

    // Frame procedures.
    void Lstdbfmt_Click();
    // Title, filter and start folder of the open dialog for the chosen test-data format.
    wizard::OpenDbDialogSetup SetOpenDbDialog(const QString& startFolder) const;
    void cmd7a_Click();
    void CmdDB_Click();
    void cmdlog1_Click();
    void cmdlog2_Click();
    void imgStep_DblClick(int index);
    void cmdSet_Click();
    void Option1_Click();
    void Option2_Click();
    void Option3_Click();
    // Step 4's "Open BN editor": the graph editor over the session's networks.
    void cmdeditor_Click();
    // Appends the listing of the current networks to txtrst: after learning, and after the
    // editor saved a network.
    virtual void WriteGrafTxt();
    // Step 4's running report, printed or saved as text (page_result.cpp).
    void cmdPrint_Click();
    void cmdSave_Click();
    // What the running report reads, as it stands now.
    wizard::ZorvReportData ReportData() const;
    // Step 9's result-file choice.
    void OptNoSave_Click();
    void OptSaveRst_Click();
    void CmdRst_Click();

    // The learning run's progress (learning_run.cpp): the bars of the page shown, pending events,
    // and the user's cancel handed back.
    void MyDataEng_PercentDone(float Percent1, float Percent2, bool& Cancel);
    void PercentDone(zorvapi::Single Percent1, zorvapi::Single Percent2, bool& Cancel) override {
        MyDataEng_PercentDone(Percent1, Percent2, Cancel);
    }

    // Settings.
    void LoadSettings();
    void SaveSettings();

    // Form state.
    int CurrentStep = 0;
    int NextTestPage = 7;
    int DbFormat = 0;
    bool LearningActive = false;
    bool SkipLearning = false;
    bool CancelCall = false;
    std::shared_ptr<db::Database> TrainDb;
    // The engine of the last learning run or classifier file, and how one is made (by class
    // name; tests hand in their own).
    std::shared_ptr<zorvapi::IDataEngine> MyDataEng;
    std::function<std::shared_ptr<zorvapi::IDataEngine>()> NewDataEngine;
    QString StatusText;
    // GraphArr as learned or loaded; its cell (0, 0, 0) counts the listings written since.
    vb::Array<int16_t> LearnedGraph;
    // The knowledge arrays the last learning run handed to the engine, in engine order.
    wizard::ReportKnowledge RunKnowledge;

    // Settings (loaded when the form loads, saved when it unloads).
    int32_t MaxCPTrows = 100000;
    int16_t MaxVlus = 45;
    QString BNCPath, DBPath, TestPath, LogPath, ReportPath, IMEXPath, ResultPath;

    // Pages with their controls.
    CoverPage* cover;
    LearnPage* learn;
    FormatPage* format;
    TestFilePage* testFile;
    QPushButton* cmdeditor = nullptr;  // on page 4
    KnowledgeStep* knowledge;
    LearningOptions* options;  // tabs 5 and 6 of step 2
    ResultPage* result;        // step 4
    CostPage* costs;           // step 5

    // Step 5's cost table (0..NetCount, 0..NetCount) and a cell's double-click; how the cost
    // dialog and the single-case dialog are shown (tests script them; modal otherwise).
    vb::Array<float> CostMatrix;
    void GridCosts_DblClick(int row, int column);
    std::function<void(frmEditCost&)> RunCostDialog;
    std::function<void(FrmInstCls&)> RunInstDialog;
    // True when every link of the session's graph is oriented.
    bool CheckOrient() const;
    // The last batch's lift and ROC indices and its summary text.
    vb::Array<float> LiftValues, RocValues;
    QString LastSummary;
    // The engine stopped the last run early on the user's cancel.
    bool RunCancelled = false;

    // Data sources and the table and field choices (page_data.cpp).
    FieldPage* fields;
    OdbcPage* odbc;
    TestTablePage* testTable;
    std::unique_ptr<db::Recordset> PreviewRs;
    std::string PreselectTable;
    QString LastOdbcConnect, OdbcConnect;
    // What the openers and the ODBC page talk to: the database layer and the driver manager,
    // scripted by tests.
    wizard::DatabaseEngine* Engine = &wizard::DefaultDatabaseEngine();
    wizard::PasswordPrompt AskPassword;
    std::function<wizard::OdbcLists()> OdbcSources = wizard::InstalledOdbcLists;
    void CboTbName_Click();
    void CboCls_Click();
    void cboFrq_Click();
    void Lstfields_Click();
    void CboTBNameT_Click();
    void CboClsT_Click();
    void GetDSNsAndDrivers();

protected:
    // Work of the pages, filled in with their features.
    virtual bool OpenLocalDbL();
    virtual bool ReadBNC(const QString& fileName);
    virtual bool process();
    virtual bool CheckFieldSelection();                      // page 1
    virtual bool CheckKnowledgeTabs();                       // page 2
    virtual bool LearnTables();                              // page 4
    virtual bool PutCostsToEngine();                         // page 5
    virtual bool OpenLocalDB();                              // page 7
    virtual bool openODBC();                                 // page 8
    virtual bool ClassifyBatch();                            // page 9
    // Saves the classifier; true only when a file was written.
    virtual bool BtnSaveBNC_Click();
    virtual void CmdBNC_Click();
    virtual void CmdCls_Click();
    // Entry work of pages whose controls later work builds.
    virtual void ResetKnowledgePage();
    virtual void EnterResultPage(int how);
    virtual void BuildCostGrid();
    virtual void TakeClassLabels();
    virtual void EnterOdbcPage();
    virtual void EnterTestTablePage();
    // The result file named on page 9.
    virtual QString ResultFileName() const;

    void closeEvent(QCloseEvent* event) override;

private:
    void BuildForm();
    void AddEditorButton();
    void ConnectDataPages();
    wizard::OpenContext OpenContextHere();
    void FillTestTables(const std::vector<std::string>& names, int select);
    void ListError(const std::exception& e);
    void EntryActions(int page, int how);
    bool ValidatePage0();
    bool ValidatePage3();
    bool RunLearning();
    // Learning run pieces (learning_run.cpp).
    void ReleaseEngine();
    void HideProgress();
    bool LearningFailed(const QString& text);
    void LearnOrSkip(const wizard::knowledge::EngineKnowledge& k);
    void ConnectResultControls();
    // The file a path-not-found error on the current page is about.
    QString PageFile() const;
    void CloseTrainingDatabase();
    void CloseTestDatabase();
    void Warn(const QString& text);
    // The Cancel button's questions; true when the wizard is to unload.
    bool ExitQuestions();
    // Classifier work (classifier_work.cpp, page_costs.cpp): an engine call that holds the
    // form as a learning run does; whether the session's graph differs from the engine's.
    bool RunEngineCall(const std::function<bool()>& call);
    bool GraphDiffersFromEngine();
    void SizeCostMatrix();
    // A new engine in MyDataEng, with the form as its event sink and the settings' limits.
    void NewEngine();

    ZorvSession& session_;
    // The window was closed during a run: the run is cancelled, then the wizard exits.
    bool closeAfterRun_ = false;
};

}  // namespace zorv
