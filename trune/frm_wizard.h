// trune's wizard form: seven pages, the six navigation buttons and the page controller
// (ShowStep, SetNavButtons, ValidateStep, cmdNav_Click), the source data (source_data.cpp), the
// copy into a database file (export_table.cpp), the continuous fields and their interval counts
// (detection.cpp), the discretization of the copy (discretize_run.cpp), the last page's viewer
// and launch buttons (frm_view_data.cpp) and the one setting it keeps (settings.cpp).
//
// The data-source pieces the three wizards share (the opener with its repair offer and password
// prompt, the ODBC lists, the preview grid) reach this form through the virtual members marked
// "replaced by the shared opener" below; they hold a plain stand-in until the shared pieces
// serve all three programs.
#pragma once

#include <QStackedWidget>
#include <QString>
#include <QWidget>
#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/db/database.h"
#include "platform/vb/numbered_error.h"
#include "trune/discretize/hold_out.h"
#include "trune/pages.h"
#include "trune/session.h"
#include "wizard_common/frame_widgets.h"
#include "wizard_common/services.h"

namespace trune {

class FrmViewData;

class FrmWizard : public QWidget {
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

    QWidget* Page(int index) const { return stack_->widget(index); }
    QPushButton* NavButton(int index) const { return cmdNav_[size_t(index)]; }
    bool Unloaded() const { return unloaded_; }
    const QString& ProgramDir() const { return programDir_; }
    // The database a file or connect string names, as ODBC reports it after the open.
    const std::string& OdbcConnect() const { return odbcConnect_; }

    // Form state.
    int CurrentStep = 0;
    int SourcePage = 2;
    int DbFormat = 0;
    QString PreselectTable;
    std::string LastOdbcConnect;
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

    // How an opener shows an error it does not recover from: the "The following Error
    // occurred:" box, or the error's own text with the exclamation icon.
    enum class OpenErrorBox { ShowError, Exclamation };

protected:
    // ---- replaced by the shared opener ------------------------------------------------------
    // Opens `name` with `connect`, offering repair on a damaged file and asking for a password
    // where one is needed; nullptr when it did not open (the user has been told, or cancelled).
    virtual std::shared_ptr<db::Database> OpenWithRecovery(const QString& name, const std::string& connect,
                                                           bool readOnly, OpenErrorBox box);
    // "The following Error occurred:" with the error's description and number.
    void ShowError(const vb::NumberedError& e);
    // The folder of a one-table-per-file path; sets PreselectTable to the file's name.
    QString StripFileName(const QString& path);
    // The ODBC page's lists, its DSN click and the clearing of the data-source state.
    void GetDSNsAndDrivers();
    void cboDSNList_Click();
    void ClearObjs();
    // The ODBC connect string of page 3's values; "" when neither a DSN nor a driver is chosen.
    std::string OdbcConnectString() const;
    // The preview grid: field names in row 0, the first 100 records numbered from 1 in
    // column 0.
    void FillPreviewGrid(const std::vector<std::string>& names, db::Recordset& rows);
    // -----------------------------------------------------------------------------------------

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
    // Runs the copy statement into TargetDb (step 5 of the copy).
    void CopyIntoTarget();
    // The count of distinct values of `field` in the copy and, when `sample` is given, its
    // first rows.
    int32_t DistinctValues(const std::string& field, std::vector<db::Value>* sample);
    void FillClassFields();
    void EnableCountControls(bool on);
    void Unload();
    // Starts the sibling program `name` and closes the wizard, whether it started or not.
    void Launch(const QString& name);

    wizard::Services services_;
    TruneSession& session_;
    QString programDir_;
    QStackedWidget* stack_;
    std::array<QPushButton*, 6> cmdNav_{};
    wizard::HiddenLink hiddenLink_;
    std::string odbcConnect_;
    bool unloading_ = false;
    bool unloaded_ = false;
    // The viewer, made on first use and shown again on every click.
    FrmViewData* viewer_ = nullptr;
};

}  // namespace trune
