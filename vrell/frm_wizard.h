// vrell's wizard form: eight pages, the six navigation buttons and the page controller
// (ShowStep, SetNavButtons, ValidateStep, cmdNav_Click), the frame procedures (caption, F1,
// format list, browse buttons, hidden link, About), the settings it loads and saves, the data
// source and table choices (data_source.cpp) and the construction run with its listing
// (construction.cpp).
#pragma once

#include <QPointer>
#include <QStackedWidget>
#include <QString>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <string>

#include "construction_engine/vrellapi.h"
#include "platform/db/database.h"
#include "platform/vb/array.h"
#include "vrell/frm_bneditor.h"
#include "vrell/frm_learncp.h"
#include "vrell/pages.h"
#include "wizard_common/db_open.h"
#include "wizard_common/frame_widgets.h"
#include "wizard_common/model/knowledge_model.h"
#include "wizard_common/services.h"
#include "wizard_common/wizard_form.h"

namespace wizard {
struct VrellReportData;
}

namespace vrell {

// Makes the construction engine's objects: by class name in the program, scripted in tests.
using DataSetFactory = std::function<std::shared_ptr<vrellapi::IDataSet>()>;
DataSetFactory RegisteredDataSets();

class FrmWizard : public wizard::WizardForm {
    Q_OBJECT
public:
    // `programDir` is the folder the help page and the default folders are taken from (the
    // program's own folder; tests pass a folder of their own).
    FrmWizard(wizard::Services services, const QString& programDir, QWidget* parent = nullptr);
    ~FrmWizard() override;

    // Page controller.
    void ShowStep(int page, int how);
    void SetNavButtons(int page);
    bool ValidateStep();
    void cmdNav_Click(int index);
    void SetStepCaption(int page);

    // Frame procedures.
    void lstdbfmt_Click();
    void cmd2a_Click();
    void cmdlog1_Click();
    void cmdlog2_Click();
    void imgStep_DblClick(int index);

    // Settings.
    void LoadSettings();
    void SaveSettings();

    // Data source and table (data_source.cpp).
    bool OpenLocalDB();
    bool openODBC();
    void cboTbName_Click();
    void cboFrq_Click();
    // Runs on every change of the field selection (click, keys, select-all): the frequency field
    // is never among the selected fields.
    void Lstfields_Click();

    // The construction run (construction.cpp).
    bool process();
    void MyDataSet_PercentDone(vb::Single Percent, bool& Cancel);

    // The exchange with the network editor (editor.cpp): GetValue fills the editor's zeroed
    // matrices (indices 0..NumFlds) and names from `rst`; PutValue writes its links and their
    // directed closure back into `rst` and lists the edited links in `txtrst`.
    void GetValue(vb::Array<std::string>& nodenm, vb::Array<int16_t>& graph, vb::Array<int16_t>& ord) const;
    void PutValue(const vb::Array<int16_t>& graph, const vb::Array<int16_t>& ordclz);
    // The editor window while it is loaded (hidden after "return"), and the progress window of
    // the last export while it is open.
    FrmBNeditor* Editor() const { return editor_; }
    FrmLearnCP* LearnCPWindow() const { return learnCP_; }
    // What the running report reads (report.cpp).
    wizard::VrellReportData ReportData() const;

    // Form state.
    int CurStep = 0;
    int SrcStep = 2;
    int DbFormat = 0;
    int16_t NumFlds = 0;
    int16_t CancelCall = 0;  // -1: the user asked the running engine call to stop
    bool BneLoad = false;
    bool Running = false;
    bool SkipStru = false;
    std::string PreselectTable;
    QString LastOdbcConnect, OdbcConnect;
    std::shared_ptr<db::Database> DataDb;
    std::unique_ptr<db::Recordset> PreviewRs;

    // The domain knowledge of page 5 over the selected fields.
    wizard::knowledge::KnowledgeModel Knowledge{wizard::knowledge::KnowledgeRules::Vrell};

    // The construction run's arrays (engine order, 0..NumFlds) and its engine object.
    std::shared_ptr<vrellapi::IDataSet> MyDataSet;
    vb::Array<std::string> arrfldnm;
    vb::Array<vb::Integer> po, ce, fl, rt, lf, rst, rstSaved;
    QString StatusStr;

    // Settings (loaded when the form loads, saved when it unloads).
    QString DBPath, LogPath, ReportPath, IMEXPath;

    // What the openers, the ODBC page and the run talk to: the database layer, the driver
    // manager and the construction engine, scripted by tests.
    wizard::DatabaseEngine* Engine = &wizard::DefaultDatabaseEngine();
    wizard::PasswordPrompt AskPassword;
    std::function<wizard::OdbcLists()> OdbcSources = wizard::InstalledOdbcLists;
    DataSetFactory CreateDataSet = RegisteredDataSets();

    IntroPage* intro;
    FormatPage* format;
    FilePage* file;
    OdbcPage* odbc;
    TablePage* table;
    KnowledgeStep* knowledge;
    LogPage* logs;
    FinishedPage* finished;

protected:
    // The network editor, the export and the report of page 7 (seams for their own work).
    virtual void cmdeditor_Click();
    virtual void cmdexport_Click();
    virtual void cmdSave_Click();
    virtual void cmdPrint_Click();
    // Unloads the network editor form when it is loaded.
    virtual void UnloadEditor();
    // Progress of parameter learning ("CP"), shown by its own progress window.
    virtual void LearnCPProgress(vb::Single Percent);
    // Lets pending window events run: where a Cancel click reaches a run.
    virtual void PumpEvents();

    void closeEvent(QCloseEvent* event) override;

private:
    // The engine's PercentDone, handed to MyDataSet_PercentDone.
    class EngineEvents : public vrellapi::DataSetEvents {
    public:
        explicit EngineEvents(FrmWizard& form) : form_(form) {}
        void PercentDone(vb::Single Percent, bool& Cancel) override { form_.MyDataSet_PercentDone(Percent, Cancel); }

    private:
        FrmWizard& form_;
    };

    void BuildForm();
    void ConnectDataPages();
    void EntryActions(int page, int how);
    bool ValidatePage6();
    bool RunConstruction();
    void HideProgress();
    void ListResult();
    // The database the engine reads: the open file or a connection of the run's own for ODBC.
    std::shared_ptr<db::Database> RunDatabase();
    std::vector<std::string> SelectedFields() const;
    wizard::OpenContext OpenContextHere();
    void ClearTablePage();
    void Message(const QString& text, wizard::Icon icon);

    EngineEvents events_{*this};
    bool closeAfterRun_ = false;
    QPointer<FrmBNeditor> editor_;
    QPointer<FrmLearnCP> learnCP_;
};

}  // namespace vrell
