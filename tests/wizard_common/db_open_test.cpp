// The openers' loop over a scripted engine: the password dialog with its retries, Cancel, the
// repair offer and its outcomes, other errors and stale objects; the hourglass never shows
// while a box or dialog is up.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>
#include <QtTest/QTest>
#include <deque>

#include "platform/db/database.h"
#include "tests/support/qt/fake_services.h"
#include "wizard_common/db_open.h"
#include "wizard_common/frm_dbpwd.h"

namespace {

using testsupport::Box;

// Answers each open from a script of errors (0 = success) and records what it was asked.
class ScriptedEngine : public wizard::DatabaseEngine {
public:
    std::deque<int> openErrors;
    std::deque<int> repairErrors;
    std::vector<std::string> connects, names, repairs;
    // Opens that succeed only with this connect string (3031 otherwise), when not empty.
    std::string password;
    std::vector<bool> cursorAtOpen;

    std::shared_ptr<db::Database> OpenDatabase(const std::string& name, bool, bool readOnly,
                                               const std::string& connect) override {
        EXPECT_TRUE(readOnly);
        names.push_back(name);
        connects.push_back(connect);
        cursorAtOpen.push_back(QApplication::overrideCursor() != nullptr);
        if (!password.empty() && connect != ";pwd=" + password) throw db::Error(3031, "Not a valid password.");
        const int error = openErrors.empty() ? 0 : openErrors.front();
        if (!openErrors.empty()) openErrors.pop_front();
        if (error == 3049) throw db::Error(3049, "The database 'x.db' is damaged.");
        if (error) throw db::Error(error, "Could not find file 'x.db'.");
        return db::DBEngine::CreateDatabase(":memory:");
    }
    void RepairDatabase(const std::string& name) override {
        repairs.push_back(name);
        const int error = repairErrors.empty() ? 0 : repairErrors.front();
        if (!repairErrors.empty()) repairErrors.pop_front();
        if (error) throw db::Error(error, "Cannot update. Database or object is read-only.");
    }
};

class OpenerTest : public ::testing::Test {
protected:
    std::shared_ptr<db::Database> Open(wizard::OpenRequest request, wizard::PasswordPrompt ask = {}) {
        wizard::OpenContext context{engine, fake.prompts, nullptr, "Kalvex", ask};
        auto db = wizard::OpenWithRecovery(context, std::move(request));
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        return db;
    }
    testsupport::FakeServices fake;
    ScriptedEngine engine;
};

// Types each of `passwords` into the next password dialog ("" = Cancel), checking that every
// dialog starts empty and that no hourglass shows over it.
class PasswordTyper {
public:
    explicit PasswordTyper(std::vector<QString> passwords) : passwords_(std::move(passwords)) {}
    QString operator()(QWidget* parent) {
        QTimer::singleShot(0, [this] {
            auto* dialog = qobject_cast<wizard::frmDBPWD*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            EXPECT_EQ(dialog->windowTitle(), "Password Required");
            EXPECT_EQ(dialog->lblLabels_0->text(), "&Enter database password:");
            EXPECT_EQ(dialog->txtPassword->echoMode(), QLineEdit::Password);
            emptyDialogs += dialog->txtPassword->text().isEmpty();
            cursorShown |= QApplication::overrideCursor() != nullptr;
            const QString text = passwords_[size_t(shown++)];
            if (text.isEmpty()) {
                QTest::mouseClick(dialog->CmdCancel, Qt::LeftButton);
            } else {
                QTest::keyClicks(dialog->txtPassword, text);
                QTest::mouseClick(dialog->CmdOK, Qt::LeftButton);
            }
        });
        return wizard::AskPassword(parent);
    }
    int shown = 0;
    int emptyDialogs = 0;
    bool cursorShown = false;

private:
    std::vector<QString> passwords_;
};

TEST_F(OpenerTest, WrongPasswordsAskAgainUntilTheRightOne) {
    engine.password = "right";
    PasswordTyper typer({"wrong", "wrong", "right"});
    auto db = Open({"/d/x.db", "", {}, {}}, std::ref(typer));
    EXPECT_NE(db, nullptr);
    EXPECT_EQ(engine.connects, (std::vector<std::string>{"", ";pwd=wrong", ";pwd=wrong", ";pwd=right"}));
    EXPECT_EQ(typer.shown, 3);
    EXPECT_EQ(typer.emptyDialogs, 3);
    EXPECT_FALSE(typer.cursorShown);
    EXPECT_EQ(engine.cursorAtOpen, (std::vector<bool>{true, true, true, true}));
    EXPECT_TRUE(fake.prompts.Take().empty());
}

TEST_F(OpenerTest, CancelOrAnEmptyPasswordGivesUpSilently) {
    engine.password = "right";
    PasswordTyper typer({""});
    EXPECT_EQ(Open({"/d/x.db", "", {}, {}}, std::ref(typer)), nullptr);
    EXPECT_EQ(engine.connects.size(), 1u);
    EXPECT_TRUE(fake.prompts.Take().empty());
}

TEST_F(OpenerTest, DamagedFileIsOfferedForRepair) {
    const Box question{"The database 'x.db' is damaged.\n\nAttempt to Repair it?", Box::YesNo, wizard::Icon::Warning, {}};
    // No: nothing more.
    engine.openErrors = {3049};
    fake.prompts.answers = {false};
    EXPECT_EQ(Open({"/d/x.db", "", {}, {}}), nullptr);
    EXPECT_EQ(fake.prompts.Take(), std::vector<Box>{question});
    EXPECT_TRUE(engine.repairs.empty());

    // Yes: the repair gets the same name (the folder of a one-table-per-file format) and the
    // open is repeated with the same connect string, lists and all.
    engine = {};
    engine.openErrors = {3049, 3049};
    fake.prompts.answers = {true, true};
    int listed = 0;
    auto db = Open({"/d/texts", "Text;", {}, [&](const std::shared_ptr<db::Database>&) { ++listed; }});
    EXPECT_NE(db, nullptr);
    EXPECT_EQ(fake.prompts.Take(), (std::vector<Box>{question, question}));
    EXPECT_EQ(engine.repairs, (std::vector<std::string>{"/d/texts", "/d/texts"}));
    EXPECT_EQ(engine.connects, (std::vector<std::string>{"Text;", "Text;", "Text;"}));
    EXPECT_EQ(listed, 1);

    // A repair that fails is shown as the error it is.
    engine = {};
    engine.openErrors = {3049};
    engine.repairErrors = {3027};
    fake.prompts.answers = {true};
    EXPECT_EQ(Open({"/d/x.mdb", "", {}, {}}), nullptr);
    EXPECT_EQ(fake.prompts.Take(),
              (std::vector<Box>{question, Box{"The following Error occurred:\n\nCannot update. Database or object is "
                                              "read-only.\nNumber: 3027",
                                              Box::Ok, wizard::Icon::None, {}}}));
}

TEST_F(OpenerTest, OtherErrorsAreShownAndStaleObjectsSkipped) {
    engine.openErrors = {3024};
    EXPECT_EQ(Open({"/d/x.db", "", {}, {}}), nullptr);
    EXPECT_EQ(fake.prompts.Take(),
              (std::vector<Box>{Box{"The following Error occurred:\n\nCould not find file 'x.db'.\nNumber: 3024",
                                    Box::Ok, wizard::Icon::None, {}}}));

    // Closing what the engine already dropped does not stop the open; the hook runs before
    // every attempt.
    engine = {};
    engine.openErrors = {3049};
    fake.prompts.answers = {true};
    int hooks = 0;
    auto db = Open({"/d/x.db", "", [&] {
                        ++hooks;
                        throw db::Error(3420, "Object invalid or no longer set.");
                    },
                    {}});
    EXPECT_NE(db, nullptr);
    EXPECT_EQ(hooks, 2);
    fake.prompts.Take();
    // An error of the list filling is the open's own.
    engine = {};
    auto failsToList = [](const std::shared_ptr<db::Database>&) {
        throw db::Error(3343, "Unrecognized database format 'x.db'.");
    };
    EXPECT_EQ(Open({"/d/x.db", "", {}, failsToList}), nullptr);
    EXPECT_EQ(fake.prompts.Take().size(), 1u);
}

}  // namespace
