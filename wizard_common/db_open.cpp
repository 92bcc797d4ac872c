// The openers' loop of attempts with its repair offer and password prompt, and ShowError.
#include "wizard_common/db_open.h"

#include <QApplication>

#include "wizard_common/frm_dbpwd.h"
#include "wizard_common/wait_cursor.h"

namespace wizard {

namespace {

constexpr int32_t kStaleObject = 3420;

class DaoEngine : public DatabaseEngine {
public:
    std::shared_ptr<db::Database> OpenDatabase(const std::string& name, bool exclusive, bool readOnly,
                                               const std::string& connect) override {
        return db::DBEngine::OpenDatabase(name, exclusive, readOnly, connect);
    }
    void RepairDatabase(const std::string& name) override { db::DBEngine::RepairDatabase(name); }
};

int32_t NumberOf(const std::exception& e) {
    const auto* numbered = dynamic_cast<const vb::NumberedError*>(&e);
    return numbered ? numbered->number() : 0;
}

std::string DescriptionOf(const std::exception& e) {
    const auto* numbered = dynamic_cast<const vb::NumberedError*>(&e);
    return numbered ? numbered->description() : std::string(e.what());
}

}  // namespace

int32_t ErrorNumber(const std::exception& error) { return NumberOf(error); }

std::string ErrorDescription(const std::exception& error) { return DescriptionOf(error); }

DatabaseEngine& DefaultDatabaseEngine() {
    static DaoEngine engine;
    return engine;
}

void SkipStale(const std::function<void()>& step) {
    try {
        step();
    } catch (const vb::NumberedError& e) {
        if (e.number() != kStaleObject) throw;
    }
}

std::shared_ptr<db::Database> OpenWithRecovery(const OpenContext& context, OpenRequest request) {
    const PasswordPrompt ask = context.askPassword ? context.askPassword : PasswordPrompt(AskPassword);
    bool repairFirst = false;
    for (;;) {
        try {
            WaitCursor wait;
            if (repairFirst) {
                // A failed repair is handled as the open's own error.
                repairFirst = false;
                context.engine.RepairDatabase(request.name);
            }
            if (request.beforeAttempt) SkipStale(request.beforeAttempt);
            std::shared_ptr<db::Database> database =
                context.engine.OpenDatabase(request.name, false, request.readOnly, request.connect);
            if (request.opened) request.opened(database);
            return database;
        } catch (const std::exception& e) {
            // The wait cursor is gone here: no box or dialog ever shows the hourglass.
            const int32_t number = NumberOf(e);
            if (number == db::errnum::kDamaged) {
                const QString question = QString::fromStdString(DescriptionOf(e)) + "\n\nAttempt to Repair it?";
                if (!context.prompts.Ask(context.parent, question, context.title, Icon::Warning)) return nullptr;
                repairFirst = true;
                continue;
            }
            if (number == db::errnum::kNotValidPassword) {
                const QString password = ask(context.parent);
                if (password.isEmpty()) return nullptr;
                request.connect = ";pwd=" + password.toStdString();
                continue;
            }
            if (request.showError)
                request.showError(e);
            else
                ShowError(context.prompts, context.parent, context.title, e);
            return nullptr;
        }
    }
}

void ShowError(Prompts& prompts, QWidget* parent, const QString& title, int32_t number,
               const std::string& description) {
    QApplication::beep();
    prompts.Message(parent,
                    "The following Error occurred:\n\n" + QString::fromStdString(description) +
                        "\nNumber: " + QString::number(number),
                    title, Icon::None);
}

void ShowError(Prompts& prompts, QWidget* parent, const QString& title, const std::exception& error) {
    ShowError(prompts, parent, title, NumberOf(error), DescriptionOf(error));
}

void ShowListError(Prompts& prompts, QWidget* parent, const QString& title, const std::exception& error) {
    const QString text = NumberOf(error) == db::errnum::kTooFewParameters
                             ? QString("This is a parameter query.")
                             : QString::fromStdString(DescriptionOf(error));
    prompts.Message(parent, text, title, Icon::None);
}

void RefuseEmptyName(Prompts& prompts, QWidget* parent, const QString& title) {
    QApplication::beep();
    prompts.Message(parent, "You must provide a database name.", title, Icon::Information);
}

}  // namespace wizard
