// Opening a database the way all three wizards do: one attempt after another until the open
// succeeds or the user gives up. A damaged file (3049) is offered for repair and tried again,
// a password (3031) is asked for in a fresh password dialog and the open tried again with
// ";pwd=" and it, any other error is shown by ShowError. The hourglass shows while an attempt
// runs and never while a box or dialog is up.
#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <string>

#include "platform/db/database.h"
#include "platform/vb/numbered_error.h"
#include "wizard_common/services.h"

class QWidget;

namespace wizard {

// The engine the openers open and repair through; tests script one that raises the errors a
// real file cannot raise on demand.
class DatabaseEngine {
public:
    virtual ~DatabaseEngine() = default;
    virtual std::shared_ptr<db::Database> OpenDatabase(const std::string& name, bool exclusive, bool readOnly,
                                                       const std::string& connect) = 0;
    virtual void RepairDatabase(const std::string& name) = 0;
};

// The database layer's own DBEngine.
DatabaseEngine& DefaultDatabaseEngine();

// Asks for a password: the text, "" for Cancel (frm_dbpwd.h's AskPassword by default).
using PasswordPrompt = std::function<QString(QWidget*)>;

struct OpenRequest {
    std::string name;     // the database name (the folder for a one-table-per-file format)
    std::string connect;  // the connect string of the first attempt
    // Runs at the start of every attempt: closes what the previous attempt or page left open.
    // A stale object (3420) met there is skipped.
    std::function<void()> beforeAttempt;
    // Runs after every successful open, inside the attempt (fills the lists); its errors are
    // handled as the open's own.
    std::function<void(const std::shared_ptr<db::Database>&)> opened;
    // Read-only unless the program opens the file to write into it.
    bool readOnly = true;
    // Shows an error the loop does not recover from; ShowError's box when not set.
    std::function<void(const std::exception&)> showError{};
};

struct OpenContext {
    DatabaseEngine& engine;
    Prompts& prompts;
    QWidget* parent;
    QString title;  // the program's title, on every box
    PasswordPrompt askPassword;
};

// The open database, or null when the user gave up or was shown the error.
std::shared_ptr<db::Database> OpenWithRecovery(const OpenContext& context, OpenRequest request);

// The number of the current error (0 when it has none) and its description.
int32_t ErrorNumber(const std::exception& error);
std::string ErrorDescription(const std::exception& error);

// Runs `step`; an "object no longer valid" error (3420, closing what the engine has already
// dropped) is skipped, any other error goes on.
void SkipStale(const std::function<void()>& step);

// "The following Error occurred:", the description and its number, with a beep, an OK button,
// no icon and the program's title.
void ShowError(Prompts& prompts, QWidget* parent, const QString& title, int32_t number,
               const std::string& description);
// The current error: a numbered one with its number, anything else as number 0.
void ShowError(Prompts& prompts, QWidget* parent, const QString& title, const std::exception& error);

// A failure while a table's fields are listed: "This is a parameter query." for a query that
// asks for parameters (3061), else the error's description; an OK button, no icon.
void ShowListError(Prompts& prompts, QWidget* parent, const QString& title, const std::exception& error);

// Beep, "You must provide a database name." (information): the file pages' empty name.
void RefuseEmptyName(Prompts& prompts, QWidget* parent, const QString& title);

}  // namespace wizard
