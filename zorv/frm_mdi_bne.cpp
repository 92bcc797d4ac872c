// zorv's graph editor frame: loading the network windows, the toolbar and closing.
#include "zorv/frm_mdi_bne.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPixmap>
#include <QToolButton>

#include "wizard_common/graph_pictures.h"
#include "wizard_common/model/step_caption.h"
#include "zorv/frm_bne.h"
#include "zorv/frm_wizard.h"

namespace zorv {

namespace {

QString BoxTitle() { return QString::fromStdString(wizard::ZorvFrame().title); }

}  // namespace

FrmMDIBNE::FrmMDIBNE(wizard::Services services, ZorvSession& session, FrmWizard& wizard)
    : QMainWindow(&wizard, Qt::Window), services_(services), session_(session), wizard_(wizard) {
    setObjectName("FrmMDIBNE");
    setWindowTitle("BN Editor");
    setAttribute(Qt::WA_DeleteOnClose);
    // The frame blocks the wizard while it is open; disabling the wizard would disable this
    // window too, as it belongs to it.
    setWindowModality(Qt::WindowModal);
    mdi = new QMdiArea;
    mdi->setObjectName("MDIClient");
    setCentralWidget(mdi);
    connect(mdi, &QMdiArea::subWindowActivated, this, [this] { UpdateActions(); });

    Toolbar1 = addToolBar("Toolbar1");
    Toolbar1->setObjectName("Toolbar1");
    Toolbar1->setMovable(false);
    Toolbar1->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    QAction* place = Toolbar1->addSeparator();
    place->setObjectName("place");
    QAction* draw = AddButton("draw", "&Draw", "Draw mode - Add links", QStyle::SP_ArrowRight);
    draw->setCheckable(true);
    AddButton("save", "&Save", "Save the changes to the current net", QStyle::SP_DialogSaveButton);
    AddMenuButton("utility", "&Utilities", "Copy or Save images", QStyle::SP_FileDialogDetailedView,
                  {{"copyimg", "Copy image to clipboard"}, {"saveimg", "Save image to file..."}});
    // "&Tilt" is the button's own word for tiling.
    AddMenuButton("window", "&Window", "Arrange windows", QStyle::SP_TitleBarNormalButton,
                  {{"cascade", "&Cascade"}, {"tilt", "&Tilt"}, {"arricon", "&Arrange Icons"}});
    QAction* help = AddButton("help", "&Help", "Help Information", QStyle::SP_DialogHelpButton);
    // Help needs no network window; every other button acts on one.
    windowActions_.erase(std::find(windowActions_.begin(), windowActions_.end(), help));
    resize(960, 680);
}

QAction* FrmMDIBNE::AddButton(const QString& key, const QString& caption, const QString& tip,
                              QStyle::StandardPixmap icon) {
    QAction* a = Toolbar1->addAction(style()->standardIcon(icon), caption);
    a->setObjectName(key);
    a->setToolTip(tip);
    connect(a, &QAction::triggered, this, [this, key] { Toolbar1_ButtonClick(key); });
    windowActions_.push_back(a);
    return a;
}

QAction* FrmMDIBNE::AddMenuButton(const QString& key, const QString& caption, const QString& tip,
                                  QStyle::StandardPixmap icon,
                                  const std::vector<std::pair<QString, QString>>& items) {
    QAction* a = AddButton(key, caption, tip, icon);
    auto* menu = new QMenu(this);
    menu->setObjectName(key + "_menu");
    for (const auto& [itemKey, itemCaption] : items) {
        QAction* item = menu->addAction(itemCaption);
        item->setObjectName(itemKey);
        connect(item, &QAction::triggered, this, [this, k = itemKey] { Toolbar1_ButtonMenuClick(k); });
    }
    a->setMenu(menu);
    // The button itself does nothing; its arrow opens the menu.
    if (auto* button = qobject_cast<QToolButton*>(Toolbar1->widgetForAction(a)))
        button->setPopupMode(QToolButton::MenuButtonPopup);
    return a;
}

void FrmMDIBNE::Load() {
    show();
    session_.DrawMode = false;
    session_.GraphChanged = false;
    findChild<QAction*>("draw")->setChecked(false);
    ZorvSession& s = session_;
    if (s.IsMultiNetFlag) {
        s.FirstNode = 2;
        setWindowTitle(QString("Bayesian Multi_net") + (s.FeatureSelected ? " (with feature selection)" : ""));
        s.EditorForms.assign(size_t(s.NetCount) + 1, nullptr);
        s.NetState.assign(size_t(s.NetCount) + 1, NetRecord{});
        const QString classField = s.FieldNames.size() > 1 ? QString::fromStdString(s.FieldNames[1]) : QString();
        for (int16_t k = 1; k <= s.NetCount; ++k) {
            const QString label =
                size_t(k) < s.ClassLabels.size() ? QString::fromStdString(s.ClassLabels[size_t(k)]) : QString();
            AddWindow(k, classField + " = " + label);
        }
    } else {
        s.FirstNode = 1;
        setWindowTitle("Bayesian Network");
        // Indexed by network number like everything else: the single net is number 0.
        s.EditorForms.assign(2, nullptr);
        s.NetState.assign(2, NetRecord{});
        AddWindow(0, "");
    }
    mdi->cascadeSubWindows();
    if (!mdi->subWindowList().isEmpty()) mdi->setActiveSubWindow(mdi->subWindowList().first());
    UpdateActions();
}

FrmBNE* FrmMDIBNE::AddWindow(int16_t net, const QString& caption) {
    auto* window = new FrmBNE(services_, session_, net, this);
    session_.EditorForms[size_t(net)] = window;
    window->setWindowTitle(caption);
    QMdiSubWindow* sub = mdi->addSubWindow(window);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    // No program icon in the window's corner.
    QPixmap blank(16, 16);
    blank.fill(Qt::transparent);
    sub->setWindowIcon(QIcon(blank));
    session_.NetState[size_t(net)].changed = false;
    window->Init();
    sub->resize(sub->sizeHint());
    sub->show();
    connect(window, &QObject::destroyed, this, [this] { UpdateActions(); });
    return window;
}

std::vector<FrmBNE*> FrmMDIBNE::Windows() const {
    std::vector<FrmBNE*> out;
    for (FrmBNE* w : session_.EditorForms)
        if (w) out.push_back(w);
    return out;
}

FrmBNE* FrmMDIBNE::ActiveWindow() const {
    QMdiSubWindow* sub = mdi->currentSubWindow();
    return sub ? qobject_cast<FrmBNE*>(sub->widget()) : nullptr;
}

void FrmMDIBNE::UpdateActions() {
    const bool any = !Windows().empty();
    for (QAction* a : windowActions_) a->setEnabled(any);
}

void FrmMDIBNE::Toolbar1_ButtonClick(const QString& key) {
    FrmBNE* window = ActiveWindow();
    if (key == "help") {
        services_.prompts.Message(this, QString::fromStdString(wizard::EditorHelpText()),
                                  wizard::kEditorHelpTitle, wizard::Icon::None);
        return;
    }
    if (!window) return;
    if (key == "draw") {
        // One draw mode for all the windows; the active one drops its pending arc start.
        session_.DrawMode = findChild<QAction*>("draw")->isChecked();
        for (FrmBNE* w : Windows()) w->model().SetDrawMode(session_.DrawMode);
        window->model().DropPendingStart();
        window->Refresh();
    } else if (key == "save") {
        window->SaveNet();
    }
}

void FrmMDIBNE::Toolbar1_ButtonMenuClick(const QString& key) {
    FrmBNE* window = ActiveWindow();
    if (!window) return;
    if (key == "copyimg") {
        wizard::CopyImageToClipboard(window->CaptureImage());
    } else if (key == "saveimg") {
        wizard::SaveImageToFile(this, services_, BoxTitle(), [window] { return window->CaptureImage(); });
    } else if (key == "cascade") {
        mdi->cascadeSubWindows();
    } else if (key == "tilt") {
        Tilt();
    } else if (key == "arricon") {
        ArrangeIcons();
    }
}

// The open windows one above the other, each as wide as the frame's area.
void FrmMDIBNE::Tilt() {
    std::vector<QMdiSubWindow*> shown;
    for (QMdiSubWindow* sub : mdi->subWindowList(QMdiArea::CreationOrder))
        if (!sub->isMinimized() && sub->isVisible()) shown.push_back(sub);
    if (shown.empty()) return;
    const QRect area = mdi->viewport()->rect();
    const int height = area.height() / int(shown.size());
    for (size_t i = 0; i < shown.size(); ++i) {
        if (shown[i]->isMaximized()) shown[i]->showNormal();
        shown[i]->setGeometry(0, int(i) * height, area.width(), height);
    }
}

// The minimised windows in a row along the bottom of the frame's area.
void FrmMDIBNE::ArrangeIcons() {
    const QRect area = mdi->viewport()->rect();
    int x = 0;
    for (QMdiSubWindow* sub : mdi->subWindowList(QMdiArea::CreationOrder)) {
        if (!sub->isMinimized()) continue;
        sub->move(x, area.height() - sub->height());
        x += sub->width();
    }
}

void FrmMDIBNE::closeEvent(QCloseEvent* event) {
    // Every window is asked before any closes: a Cancel keeps them all, and the frame.
    for (FrmBNE* w : Windows()) {
        if (!w->QueryUnload()) {
            event->ignore();
            return;
        }
    }
    for (FrmBNE* w : Windows()) w->CloseAsked();
    event->accept();
    if (session_.GraphChanged) wizard_.WriteGrafTxt();
}

}  // namespace zorv
