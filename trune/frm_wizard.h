// trune's wizard form: seven pages, the six navigation buttons and the page controller
// (ShowStep, SetNavButtons, ValidateStep, cmdNav_Click), the source data (source_data.cpp), the
// copy into a database file (export_table.cpp), the continuous fields and their interval counts
// (detection.cpp), the discretization of the copy (discretize_run.cpp), the last page's viewer
// and launch buttons (frm_view_data.cpp) and the one setting it keeps (settings.cpp).
//
// The data-source pieces the three wizards share (the opener with its repair offer and password
// prompt, the ODBC page's controls and lists, the preview grid) come from wizard_common; the
// engine they open through, the password prompt and the ODBC lists are members that tests
// script.
#pragma once

#include <QStackedWidget>
#include <QString>
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/db/database.h"
#include "platform/vb/numbered_error.h"
#include "trune/discretize/hold_out.h"
#include "trune/pages.h"
#include "trune/session.h"
#include "wizard_common/db_open.h"
#include "wizard_common/frame_widgets.h"
#include "wizard_common/model/data_source.h"
#include "wizard_common/services.h"
#include "wizard_common/wizard_form.h"

namespace trune {

class FrmViewData;

class FrmWizard : public wizard::WizardForm {
    Q_OBJECT
public:
    // `programDir` is the folder the help page and the default folder are taken from (the
    // program's own folder; tests pass a folder of their own).
    FrmWizard(wizard::Services services, TruneSession& session, const QString& programDir,
              QWidget* parent = nullptr);
    ~FrmWizard() override;

    // Page controller.
    void ShowStep(int page, int how);
    void SetNavButtons(int page);
    bool ValidateStep();
    void cmdNav_Click(int index);
    void SetStepCaption(int page);

    // Page 1.
    void lstdbfmt_Click();
    void AutoDetect_Click();
    void CmbVlu_Click();

    // Source data: pages 2, 3 and 4.
    bool OpenLocalDB();
    bool openODBC();
    void cmd2a_Click();
    void cboTbName_Click();
    void CmdNDb_Click();
    // The target file changed: a target table name the user has not changed follows it (the
    // table's own name in another file, a new name in the source's own file).
    void NDbName_Change();

    // The copy into the target database.
    bool ExportTable();
    bool OpenExportDB();

    // Continuous fields and their counts: pages 4 and 5.
    bool FindCont();
    void LstConFld_Click();
    void LstIntvl_Click();
    void CboReset_Click();
    void Command1_Click();
    void CmdAutoDis_Click();
    void OptEW_Click();
    void OptEF_Click();
    void OptEnt_Click();

    void imgStep_DblClick(int index);

    // Page 6: the viewer on the conditioned table and the launch of the other two programs.
    void Command4_Click();
    void Cmdzorv_Click();
    void Cmdvrell_Click();

    // Settings.
    void LoadSettings();
    void SaveSettings();

    // Form state.
    int CurrentStep = 0;
    int SourcePage = 2;
    int DbFormat = 0;
    std::string PreselectTable;
    // The connect string last opened on page 3, and the one the source reported after it.
    QString LastOdbcConnect, OdbcConnect;
    std::unique_ptr<db::Recordset> PreviewRs;
    int ValueLimit = 5;
    int ResetIndex = 3;
    QString DBPath;

    IntroPage* intro;
    SettingsPage* settings;
    SourceFilePage* sourceFile;
    OdbcPage* odbc;
    TablePage* table;
    MethodPage* method;
    FinishedPage* finished;

    // The generator behind the hold-out column's draw: the runtime's, seeded from the clock for
    // every run; a test hands in a fixed one.
    RandomSource HoldOutRandom = RuntimeRandom();

    // What the openers and the ODBC page talk to: the database layer and the driver manager,
    // scripted by tests.
    wizard::DatabaseEngine* Engine = &wizard::DefaultDatabaseEngine();
    wizard::PasswordPrompt AskPassword;
    std::function<wizard::OdbcLists()> OdbcSources = wizard::InstalledOdbcLists;

protected:
    // Discretizes the copy (page 5's Finish); false keeps the wizard on the page.
    virtual bool Discretize();
    // Lets pending window events run; the copy, the detection and the discretization call it
    // once per field or row, which is where a Cancel click arrives.
    virtual void PumpEvents();

    void closeEvent(QCloseEvent* event) override;

private:
    void BuildForm();
    void EntryActions(int page, int how);
    bool ValidatePage1();
    bool ValidatePage4();
    bool ValidatePage5();
    // Clears Busy, hides the progress and gives the buttons back after a step ends however.
    void EndOfStep();
    void Message(const QString& text, wizard::Icon icon);
    void CloseSource();
    wizard::OpenContext OpenContextHere();
    // The ODBC page's lists, and the clearing of the data-source state on entering a source page.
    void GetDSNsAndDrivers();
    void ClearObjs();
    // Runs the copy statement into TargetDb (step 5 of the copy).
    void CopyIntoTarget();
    // Whether the target file named on page 4 is the source's own file, however its path is
    // spelt; and whether the target table is then the chosen source table itself.
    bool TargetIsSourceFile() const;
    bool TargetIsSourceTable() const;
    // The name the copy of `chosen` gets by default: the table's own, or a new one when the
    // copy goes into the source's own file.
    QString ProposedTargetTable(const QString& chosen) const;
    // The count of distinct values of `field` in the copy and, when `sample` is given, its
    // first rows.
    int32_t DistinctValues(const std::string& field, std::vector<db::Value>* sample);
    void FillClassFields();
    void EnableCountControls(bool on);
    // The progress caption and bar of page 5 at `percent`.
    void SetProgress(int percent);
    // Starts the sibling program `name` and closes the wizard, whether it started or not.
    void Launch(const QString& name);

    TruneSession& session_;
    // The target table name proposed last for the chosen table.
    QString proposedTable_;
    // The viewer, made on first use and shown again on every click.
    FrmViewData* viewer_ = nullptr;
};

}  // namespace trune
