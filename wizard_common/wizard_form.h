// What the three wizard forms hold alike: the services, the program's folder, the stack of page
// frames, the six navigation buttons, the hidden link and the unload state. Each program's
// FrmWizard derives from it and keeps its own page controller (ShowStep, SetNavButtons,
// ValidateStep, cmdNav_Click), as the flow of pages is each program's own.
#pragma once

#include <QDir>
#include <QPushButton>
#include <QStackedWidget>
#include <QString>
#include <QWidget>
#include <array>

#include "wizard_common/frame_widgets.h"
#include "wizard_common/help_viewer.h"
#include "wizard_common/services.h"

namespace wizard {

class WizardForm : public QWidget {
public:
    // The page frames and buttons, for the screenshot driver and tests.
    QWidget* Page(int index) const { return stack_->widget(index); }
    QPushButton* NavButton(int index) const { return cmdNav_[size_t(index)]; }
    bool Unloaded() const { return unloaded_; }
    const QString& ProgramDir() const { return programDir_; }

protected:
    // `programDir` is the folder the help pages and the default folders are taken from (the
    // program's own folder; tests pass a folder of their own).
    WizardForm(Services services, const QString& programDir, QWidget* parent)
        : QWidget(parent), services_(services), programDir_(programDir) {
        setObjectName("FrmWizard");
    }

    // The page picture `index` was double-clicked: on `linkPicture`, every second double-click
    // opens `page` from the program's folder.
    void FollowHiddenLink(int index, int linkPicture, const QString& page) {
        if (index != linkPicture) return;
        if (hiddenLink_.DoubleClicked()) services_.shell.OpenDocument(QDir(programDir_).filePath(page));
    }
    // Help and F1: the program's help page from its folder, in the desktop's program for it or,
    // when there is none, in the wizard's own viewer.
    void ShowHelp(const char* page) { OpenHelpPage(services_.shell, this, QDir(programDir_).filePath(page)); }
    // Exit: the window closes without the questions a close by the user would ask.
    void Unload() {
        unloading_ = true;
        close();
    }

    Services services_;
    QString programDir_;
    QStackedWidget* stack_ = nullptr;
    std::array<QPushButton*, 6> cmdNav_{};
    HiddenLink hiddenLink_;
    bool unloading_ = false;
    bool unloaded_ = false;
};

}  // namespace wizard
