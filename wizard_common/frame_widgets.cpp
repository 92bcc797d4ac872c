// Shared pieces of the wizard forms: select-all path boxes, browse buttons, the step picture
// and link labels.
#include "wizard_common/frame_widgets.h"

#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QShortcut>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>
#include <QVBoxLayout>

#include "wizard_common/model/db_formats.h"
#include "wizard_common/model/paths.h"

namespace wizard {

namespace {

class SelectAllFilter : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::FocusIn) {
            auto* box = static_cast<QLineEdit*>(watched);
            box->selectAll();
            // A mouse click sets the caret after the focus arrives; select again once it has.
            QTimer::singleShot(0, box, [box] { box->selectAll(); });
        }
        return false;
    }
};

}  // namespace

QLabel* Note(const QString& text) {
    auto* l = new QLabel(text);
    l->setWordWrap(true);
    return l;
}

void SelectAllOnFocus(QLineEdit* box) { box->installEventFilter(new SelectAllFilter(box)); }

void RememberFolder(const QString& path, QString& folder) {
    const std::string dir = GetPath(path.toStdString());
    if (!dir.empty()) folder = QString::fromStdString(dir);
}

void BrowseInto(QLineEdit* box, FileDialogs& files, QWidget* parent, const QString& title,
                const QString& filter, QString& folder) {
    const QString name = files.Open(parent, title, filter, folder);
    if (!name.isEmpty()) box->setText(name);
    RememberFolder(box->text(), folder);
}

QHBoxLayout* PathRow(QLineEdit* box, QPushButton* button) {
    auto* row = new QHBoxLayout;
    row->addWidget(box, 1);
    row->addWidget(button);
    return row;
}

void SwitchPage(QStackedWidget* pages, int current, int page) {
    pages->widget(current)->setEnabled(false);
    pages->setCurrentIndex(page);
    pages->widget(page)->setEnabled(true);
}

DisabledDuring::DisabledDuring(std::vector<QWidget*> widgets) : widgets_(std::move(widgets)) {
    for (QWidget* w : widgets_) w->setEnabled(false);
}

DisabledDuring::~DisabledDuring() {
    for (QWidget* w : widgets_) w->setEnabled(true);
}

std::array<QPushButton*, 6> BuildWizardFrame(QWidget* form, QWidget* pages, const char* fifthCaption,
                                             std::function<void(int)> click) {
    const char* captions[6] = {"&Help", "Cancel", "< &Back", "&Next >", fifthCaption, "&About"};
    std::array<QPushButton*, 6> nav{};
    for (int i = 0; i < 6; ++i) {
        nav[size_t(i)] = new QPushButton(captions[i]);
        nav[size_t(i)]->setObjectName(QString("cmdNav_%1").arg(i));
        QObject::connect(nav[size_t(i)], &QPushButton::clicked, form, [click, i] { click(i); });
    }
    auto* line = new QFrame;
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(nav[0]);
    buttons->addWidget(nav[5]);
    buttons->addStretch(1);
    buttons->addWidget(nav[2]);
    buttons->addWidget(nav[3]);
    buttons->addWidget(nav[4]);
    buttons->addSpacing(12);
    buttons->addWidget(nav[1]);
    auto* main = new QVBoxLayout(form);
    main->addWidget(pages, 1);
    main->addWidget(line);
    main->addLayout(buttons);
    return nav;
}

void InstallHelpKey(QWidget* window, std::function<void()> help) {
    auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), window);
    f1->setContext(Qt::WindowShortcut);
    QObject::connect(f1, &QShortcut::activated, window, std::move(help));
}

FormatChoice ChooseDbFormat(const QListWidget* list, QLineEdit* fileBox, int odbcPage, int filePage) {
    const int format = list->currentRow();
    fileBox->clear();
    return {format, format == kOdbcFormat ? odbcPage : filePage};
}

OpenDbDialogSetup SetOpenDbDialog(int dbFormat, const QString& startFolder) {
    const OpenDialogSetup setup = OpenDbDialogFor(dbFormat);
    return {QString::fromStdString(setup.title), QString::fromStdString(setup.filter), startFolder};
}

StepPicture::StepPicture(const QString& stepName, QWidget* parent) : QLabel(parent) {
    const int w = 140, h = 300;
    QPixmap pm(w, h);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, 0, h);
    g.setColorAt(0, QColor(38, 84, 124));
    g.setColorAt(1, QColor(102, 155, 188));
    p.setBrush(g);
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(QRectF(0, 0, w, h), 8, 8);
    // Three linked nodes: the picture of a small belief network.
    const QPointF a(40, 90), b(100, 120), c(60, 180);
    p.setPen(QPen(QColor(240, 240, 240), 2));
    p.drawLine(a, b);
    p.drawLine(a, c);
    p.drawLine(b, c);
    p.setBrush(QColor(255, 209, 102));
    p.setPen(QPen(QColor(30, 30, 30), 1));
    for (const QPointF& n : {a, b, c}) p.drawEllipse(n, 14, 14);
    p.setPen(Qt::white);
    QFont f = p.font();
    f.setPointSize(13);
    f.setBold(true);
    p.setFont(f);
    p.drawText(QRectF(0, h - 70, w, 40), Qt::AlignCenter, stepName);
    p.end();
    setPixmap(pm);
    setFixedSize(w, h);
}

void StepPicture::mouseDoubleClickEvent(QMouseEvent* event) {
    emit doubleClicked();
    QLabel::mouseDoubleClickEvent(event);
}

LinkLabel::LinkLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
    setTextFormat(Qt::PlainText);
    setCursor(Qt::PointingHandCursor);
    setStyleSheet("color: #1a55a0; text-decoration: underline;");
}

void LinkLabel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
    QLabel::mouseReleaseEvent(event);
}

}  // namespace wizard
