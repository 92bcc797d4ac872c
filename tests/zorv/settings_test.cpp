// zorv's settings: defaults on a first start, the round trip through a restart, a damaged
// store, and the settings dialog's checks.
#include <QFile>
#include <QSettings>

#include "tests/zorv/zorv_fixture.h"
#include "zorv/frm_setting.h"

namespace zorvtest {
namespace {

const char* const kPathKeys[] = {"BNCPath", "DBPath", "TestPath", "LogPath", "ReportPath", "IMEXPath", "ResultPath"};

QSettings Raw() { return QSettings(QSettings::IniFormat, QSettings::UserScope, "BN Kalvex", "BN Kalvex"); }

TEST_F(ZorvTest, FirstStartTakesTheDefaultsAndOffersTheDemoDatabase) {
    const QString demo = WriteFile("demo.db", "demo");
    ScriptedWizard& w = MakeWizard();
    EXPECT_EQ(w.MaxCPTrows, 100000);
    EXPECT_EQ(w.MaxVlus, 45);
    for (const QString* path : {&w.BNCPath, &w.DBPath, &w.TestPath, &w.LogPath, &w.ReportPath, &w.IMEXPath,
                                &w.ResultPath})
        EXPECT_EQ(*path, dir.path());
    EXPECT_EQ(w.cover->DBName->text(), demo);
}

TEST_F(ZorvTest, SettingsSurviveARestart) {
    WriteFile("demo.db", "demo");
    {
        ScriptedWizard& w = MakeWizard();
        w.show();
        w.MaxCPTrows = 250000;
        w.MaxVlus = 60;
        w.DBPath = "/data/train";
        w.ResultPath = "/data/results";
        fake.prompts.answers = {true};
        w.NavButton(1)->click();
        EXPECT_EQ(fake.prompts.Take().size(), 1u);
        ASSERT_TRUE(w.Unloaded());
    }
    QSettings raw = Raw();
    raw.beginGroup("Startup");
    EXPECT_EQ(raw.value("MaxCPTRows").toString(), "250000");
    EXPECT_EQ(raw.value("MaxVlus").toString(), "60");
    for (const char* key : kPathKeys) EXPECT_TRUE(raw.contains(key)) << key;
    raw.endGroup();

    ScriptedWizard& again = MakeWizard();
    EXPECT_EQ(again.MaxCPTrows, 250000);
    EXPECT_EQ(again.MaxVlus, 60);
    EXPECT_EQ(again.DBPath, "/data/train");
    EXPECT_EQ(again.ResultPath, "/data/results");
    EXPECT_EQ(again.TestPath, dir.path());
    // A stored training folder: the demo database is no longer offered.
    EXPECT_EQ(again.cover->DBName->text(), "");
}

TEST_F(ZorvTest, DamagedLimitsFallBackToTheDefaults) {
    struct Case { const char* rows; const char* vlus; int32_t maxRows; int16_t maxVlus; };
    const Case cases[] = {
        {"lots", "many", 100000, 45},
        {"3000000000", "70000", 100000, 45},
        {"100", "1", 100000, 45},
        {"8000", "100", 8000, 100},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rows);
        {
            QSettings raw = Raw();
            raw.setValue("Startup/MaxCPTRows", c.rows);
            raw.setValue("Startup/MaxVlus", c.vlus);
        }
        ScriptedWizard& w = MakeWizard();
        EXPECT_EQ(w.MaxCPTrows, c.maxRows);
        EXPECT_EQ(w.MaxVlus, c.maxVlus);
    }
}

TEST(SettingsDialog, ChecksEachBoxInOrder) {
    const QString first = "Please input a integer greater than 5000 in the first box.";
    const QString second = "Please input a integer between 2 - 100 in the second box.";
    struct Case { const char* rows; const char* vlus; const char* message; int32_t maxRows; int16_t maxVlus; bool closed; };
    const Case cases[] = {
        {"5000", "45", nullptr, 5000, 45, true},
        {"4999", "45", "first", 100000, 45, false},
        {"abc", "45", "first", 100000, 45, false},
        {"3000000000", "45", "first", 100000, 45, false},
        {"", "45", "first", 100000, 45, false},
        // The first box is stored before the second is refused.
        {"6000", "1", "second", 6000, 45, false},
        {"6000", "101", "second", 6000, 45, false},
        {"6000", "2", nullptr, 6000, 2, true},
        {" 6000 ", "100", nullptr, 6000, 100, true},
        {"5000.5", "45", nullptr, 5000, 45, true},
        {"5001.5", "2.5", nullptr, 5002, 2, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.rows << " / " << c.vlus);
        testsupport::FakePrompts prompts;
        int32_t rows = 100000;
        int16_t vlus = 45;
        zorv::FrmSetting dialog(rows, vlus, prompts);
        EXPECT_EQ(dialog.windowTitle(), "ZORV Settings");
        EXPECT_EQ(dialog.Txtrows->text(), "100000");
        EXPECT_EQ(dialog.Txtvlus->text(), "45");
        dialog.show();
        dialog.Txtrows->setText(c.rows);
        dialog.Txtvlus->setText(c.vlus);
        dialog.CmdOK->click();
        std::vector<Box> expected;
        if (c.message) expected.push_back(Plain(std::string(c.message) == "first" ? first : second));
        EXPECT_EQ(prompts.Take(), expected);
        EXPECT_EQ(rows, c.maxRows);
        EXPECT_EQ(vlus, c.maxVlus);
        EXPECT_EQ(dialog.isVisible(), !c.closed);
        if (c.message) {
            EXPECT_EQ(dialog.focusWidget(), std::string(c.message) == "first" ? dialog.Txtrows : dialog.Txtvlus);
        }
    }
}

TEST(SettingsDialog, CancelKeepsBothLimits) {
    testsupport::FakePrompts prompts;
    int32_t rows = 100000;
    int16_t vlus = 45;
    zorv::FrmSetting dialog(rows, vlus, prompts);
    dialog.show();
    dialog.Txtrows->setText("9000");
    dialog.Txtvlus->setText("9");
    dialog.CmdCancel->click();
    EXPECT_EQ(rows, 100000);
    EXPECT_EQ(vlus, 45);
    EXPECT_FALSE(dialog.isVisible());
}

}  // namespace
}  // namespace zorvtest
