// The summary box sized to its text within the available area (table_message.h).
#include "wizard_common/table_message.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QScreen>
#include <QStyle>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "wizard_common/frame_widgets.h"
#include "wizard_common/window_placement.h"

namespace wizard {

namespace {

// A line with column separators is a row of the table: it is never wrapped, as its columns
// only read in line with the rows above and below.
bool IsTableRow(const QString& line) { return line.contains(" | "); }

}  // namespace

TableMessageBox::TableMessageBox(QWidget* parent, const QString& text, const QString& title, Icon icon,
                                 const QRect& available)
    : QDialog(parent) {
    setObjectName("TableMessageBox");
    setWindowTitle(title);
    lblIcon = Named(new QLabel, "lblIcon");
    lblIcon->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
    if (icon != Icon::None) {
        const QStyle::StandardPixmap kind = icon == Icon::Information ? QStyle::SP_MessageBoxInformation
                                            : icon == Icon::Warning   ? QStyle::SP_MessageBoxWarning
                                                                      : QStyle::SP_MessageBoxCritical;
        const int side = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
        lblIcon->setPixmap(style()->standardIcon(kind, nullptr, this).pixmap(side, side));
    } else {
        lblIcon->hide();
    }

    txtMessage = Named(new QTextEdit, "txtMessage");
    txtMessage->setReadOnly(true);
    txtMessage->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    txtMessage->setLineWrapMode(QTextEdit::WidgetWidth);
    txtMessage->setFrameShape(QFrame::NoFrame);
    // The text reads as the box's own, not as a field to type in.
    QPalette palette = txtMessage->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Window));
    txtMessage->setPalette(palette);
    QTextCursor cursor(txtMessage->document());
    const QStringList lines = QString(text).replace("\r\n", "\n").split('\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QTextBlockFormat format;
        format.setNonBreakableLines(IsTableRow(lines[i]));
        if (i == 0)
            cursor.setBlockFormat(format);
        else
            cursor.insertBlock(format);
        cursor.insertText(lines[i]);
    }
    // The box's own cursor went along with the text inserted at it, and a text box scrolls to
    // its cursor when first shown: back to the start, so the box opens at its first line (the
    // case counts and the accuracy), not its last.
    txtMessage->moveCursor(QTextCursor::Start);

    btnOK = Named(new QPushButton("OK"), "btnOK");
    btnOK->setDefault(true);
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);

    auto* message = new QHBoxLayout;
    message->addWidget(lblIcon);
    message->addWidget(txtMessage, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnOK);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(message, 1);
    layout->addLayout(buttons);
    SizeWithin(available);
    // Enter goes to the default button from anywhere in the box, Escape rejects: both close it.
    btnOK->setFocus();
}

void TableMessageBox::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // The text box keeps the scroll range of a size it passed through on the way to its last
    // one (a vertical bar where the text fits): laid out again at the size it shows at.
    txtMessage->setLineWrapColumnOrWidth(txtMessage->lineWrapColumnOrWidth());
}

void TableMessageBox::SizeWithin(const QRect& area) {
    QRect available = area;
    if (available.isEmpty()) {
        QScreen* screen = parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen();
        if (screen) available = screen->availableGeometry();
    }
    const QMargins frame = OnScreenPlacement::FrameAllowance();
    const QSize room(std::max(1, available.width() - frame.left() - frame.right()),
                     std::max(1, available.height() - frame.top() - frame.bottom()));
    ensurePolished();
    txtMessage->ensurePolished();

    // The rows as wide as they are; sentences wrapped at the rows' width, or at about 64
    // characters where the rows are narrower.
    const QFontMetrics metrics(txtMessage->font());
    int rows = 0, prose = 0;
    for (QTextBlock b = txtMessage->document()->begin(); b.isValid(); b = b.next()) {
        int& widest = b.blockFormat().nonBreakableLines() ? rows : prose;
        widest = std::max(widest, metrics.horizontalAdvance(b.text()));
    }
    const int textWidth = std::max(rows, std::min(prose, 64 * metrics.horizontalAdvance('0')));
    QTextDocument* doc = txtMessage->document();
    // One pixel more for the cursor the layout keeps room for at a line's end.
    doc->setTextWidth(textWidth + 2 * doc->documentMargin() + 1);
    const int edge = 2 * txtMessage->frameWidth();
    const QSize content(int(std::ceil(doc->size().width())) + edge, int(std::ceil(doc->size().height())) + edge);

    // What the icon, the button and the margins add, from the layout with the text at its size.
    txtMessage->setFixedSize(content);
    layout()->activate();
    QSize size = sizeHint();
    txtMessage->setMinimumSize(std::min(content.width(), 8 * metrics.horizontalAdvance('0')),
                               std::min(content.height(), 3 * metrics.lineSpacing()));
    txtMessage->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    layout()->activate();

    // Cut in one direction, the text gets a scroll bar across the other.
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    const bool narrower = size.width() > room.width(), lower = size.height() > room.height();
    if (narrower) size.rheight() += bar;
    if (lower) size.rwidth() += bar;
    resize(size.boundedTo(room));
}

}  // namespace wizard
