#include "zorv/frm_inst_cls.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "platform/vb/numbered_error.h"
#include "wizard_common/frame_widgets.h"
#include "wizard_common/model/step_caption.h"
#include "wizard_common/window_placement.h"
#include "zorv/frm_wizard.h"
#include "zorv/learned_model.h"

namespace zorv {

int TwipsToPixels(int twips, double dpi) { return int(std::lround(twips * dpi / 1440.0)); }

int FrmInstCls::Px(int twips) const { return TwipsToPixels(twips, logicalDpiY()); }

FrmInstCls::FrmInstCls(const ZorvSession& session, const std::vector<int16_t>& valueCounts,
                       const vb::Array<std::string>& valueLabels, zorvapi::IDataEngine& engine, QWidget* parent)
    : QDialog(parent), session_(session), engine_(engine) {
    setObjectName("FrmInstCls");
    setWindowTitle("Instant Classification");
    Picture1 = wizard::Named(new QScrollArea, "Picture1");
    Picture1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Picture1->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    Picture1->setFrameShape(QFrame::NoFrame);
    Picture2 = wizard::Named(new QWidget, "Picture2");
    CmdClsfy = wizard::Named(new QPushButton("Classify"), "CmdClsfy");
    const std::string className = session.FieldNames.size() > 1 ? session.FieldNames[1] : "";
    LblCls = wizard::Named(new QLabel(QString::fromStdString(className) + " : "), "LblCls");
    LblCls2 = wizard::Named(new QLabel(""), "LblCls2");
    QFont bold = LblCls2->font();
    bold.setBold(true);
    LblCls2->setFont(bold);

    auto* strip = new QWidget;
    strip->setObjectName("Picture3");
    auto* row = new QHBoxLayout(strip);
    row->addWidget(CmdClsfy);
    row->addSpacing(Px(120));
    row->addWidget(LblCls);
    row->addWidget(LblCls2, 1);
    // The strip's twips are a floor: the button with the style's margins around it decides.
    const int stripHeight = std::max(Px(432), strip->sizeHint().height());
    strip->setFixedHeight(stripHeight);

    // The dialog is as wide as the longest class value and the longest field name need, so
    // that neither is cut, as long as it stays inside the screen; a field name longer still is
    // shortened in the middle and read whole in its tool tip.
    const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
    const QMargins frame = wizard::OnScreenPlacement::FrameAllowance();
    const int room = screen ? screen->availableGeometry().width() - frame.left() - frame.right() : Px(4452);
    int widestClass = 0;
    for (const std::string& c : session.ClassLabels)
        widestClass = std::max(widestClass, LblCls2->fontMetrics().horizontalAdvance("  " + QString::fromStdString(c)));
    const int baseWidth = std::max(Px(4452), std::min(strip->sizeHint().width() + widestClass, room));
    int widest = 0;
    for (int i = 2; i <= session_.FieldCount; ++i)
        if (session_.FieldUsed[size_t(i)] == 1) widest = std::max(widest, fontMetrics().horizontalAdvance(FieldText(i)));
    const int extra = std::clamp(widest + 6 - Px(1900), 0, std::max(0, room - baseWidth));
    labelWidth_ = Px(1900) + extra;

    BuildFieldRows(valueCounts, valueLabels);
    Picture1->setWidget(Picture2);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(Picture1, 1);
    layout->addWidget(strip);
    connect(CmdClsfy, &QPushButton::clicked, this, &FrmInstCls::CmdClsfy_Click);
    // The width stays; the height follows the user down to a floor that keeps the strip and one
    // row in view.
    const int width = baseWidth + extra;
    setFixedWidth(width);
    setMinimumHeight(std::max(Px(600), stripHeight + rowHeight_));
    resize(width, std::max(minimumHeight(), std::min(Picture2->height() + stripHeight + 4, Px(6000))));
}

QString FrmInstCls::FieldText(int i) const {
    return "  " + QString::fromStdString(session_.FieldNames[size_t(i)]);
}

void FrmInstCls::BuildFieldRows(const std::vector<int16_t>& valueCounts, const vb::Array<std::string>& valueLabels) {
    int used = 0;
    for (int i = 1; i <= session_.FieldCount; ++i)
        if (session_.FieldUsed[size_t(i)] == 1) ++used;
    // A row is 288 twips, or the value list's own height where the font needs more.
    QComboBox probe;
    const int listHeight = probe.sizeHint().height();
    rowHeight_ = std::max(Px(288), listHeight + 2);
    const int extra = labelWidth_ - Px(1900);
    Picture2->setFixedSize(Px(4452 - 200) - 2 + extra, used * rowHeight_ + Px(400));
    LblFld.assign(1, nullptr);
    CmbFld.assign(1, nullptr);
    int top = Px(300);
    for (int i = 2; i <= session_.FieldCount; ++i) {
        if (session_.FieldUsed[size_t(i)] != 1) continue;
        const int r = int(CmbFld.size());
        const QString text = FieldText(i);
        auto* label = new QLabel(Picture2);
        label->setObjectName(QString("LblFld_%1").arg(r));
        label->setGeometry(Px(60), top, labelWidth_, rowHeight_);
        if (label->fontMetrics().horizontalAdvance(text) > labelWidth_) {
            label->setText(label->fontMetrics().elidedText(text, Qt::ElideMiddle, labelWidth_));
            label->setToolTip(QString::fromStdString(session_.FieldNames[size_t(i)]));
        } else {
            label->setText(text);
        }
        auto* list = new QComboBox(Picture2);
        list->setObjectName(QString("CmbFld_%1").arg(r));
        list->setGeometry(Px(2000) + extra, top + (rowHeight_ - listHeight) / 2, Px(2100), listHeight);
        for (int v = 1; v <= valueCounts[size_t(i)]; ++v)
            list->addItem(QString::fromStdString(valueLabels(i, v)));
        list->setCurrentIndex(0);
        connect(list, &QComboBox::currentIndexChanged, this, &FrmInstCls::CmbFld_Click);
        LblFld.push_back(label);
        CmbFld.push_back(list);
        top += rowHeight_;
    }
    CmbFld_Click();  // the first labels chosen: Classify is ready
}

void FrmInstCls::CmbFld_Click() {
    CmdClsfy->setEnabled(true);
    LblCls2->setEnabled(false);
}

void FrmInstCls::CmdClsfy_Click() {
    vb::Array<vb::Integer> instance(vb::To(session_.FieldCount));
    int r = 0;
    for (int i = 2; i <= session_.FieldCount; ++i)
        if (session_.FieldUsed[size_t(i)] == 1) instance(i) = vb::Integer(CmbFld[size_t(++r)]->currentIndex() + 1);
    const vb::Integer c = engine_.ClsfyInst(instance);
    LblCls2->setEnabled(true);
    const std::string label = c >= 1 && size_t(c) < session_.ClassLabels.size() ? session_.ClassLabels[size_t(c)] : "";
    LblCls2->setText("  " + QString::fromStdString(label));
    CmdClsfy->setEnabled(false);
}

// ---- the wizard's button ----------------------------------------------------------------------

void FrmWizard::CmdCls_Click() {
    try {
        if (!MyDataEng) return;
        // The classifier reads the fields of its own subset: refreshed in every mode, as a
        // skipped search or an edit leaves the wizard's flags behind the engine's.
        TakeClassLabels();
        vb::Array<vb::Integer> used;
        MyDataEng->GetRelative(used);
        const std::vector<std::string> names = FieldNamesOf(*MyDataEng);
        session_.FieldCount = int16_t(used.UBound());
        session_.FieldUsed.assign(size_t(session_.FieldCount) + 1, 0);
        session_.FieldNames.assign(size_t(session_.FieldCount) + 1, "");
        for (int i = 1; i <= session_.FieldCount; ++i) {
            session_.FieldUsed[size_t(i)] = used(i);
            if (size_t(i) < names.size()) session_.FieldNames[size_t(i)] = names[size_t(i)];
        }
        vb::Array<vb::Integer> ff;
        MyDataEng->GetFF(ff);
        std::vector<int16_t> counts(size_t(session_.FieldCount) + 1, 0);
        for (int i = 1; i <= session_.FieldCount && i <= ff.UBound(); ++i) counts[size_t(i)] = ff(i);
        vb::Array<std::string> labels;
        MyDataEng->GetFldVlu(labels);
        FrmInstCls dialog(session_, counts, labels, *MyDataEng, this);
        if (RunInstDialog)
            RunInstDialog(dialog);
        else
            dialog.exec();
    } catch (const vb::NumberedError& e) {
        Warn(QString::fromStdString(e.description()));
    } catch (const std::exception& e) {
        Warn(QString::fromStdString(e.what()));
    }
}

}  // namespace zorv
