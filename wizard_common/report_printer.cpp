// The printed running report.
#include "wizard_common/report_printer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QPrinter>
#include <algorithm>

namespace wizard {

namespace {

QFont FontOf(const ReportFont& f) {
    QFont font(QString::fromStdString(f.family));
    // The report names Windows fonts; a system without them gets the closest of their kind.
    const QString family = font.family().toLower();
    font.setStyleHint(family.contains("courier") ? QFont::TypeWriter : QFont::Serif);
    font.setPointSize(f.pointSize);
    font.setBold(f.bold);
    return font;
}

class PageWriter {
public:
    PageWriter(QPrinter& printer, QPainter& painter) : printer_(printer), painter_(painter) {
        height_ = painter.viewport().height();
    }

    // False when the printer could not start a new page.
    bool Put(const ReportOp& op) {
        painter_.setFont(FontOf(op.font));
        const QFontMetrics fm = painter_.fontMetrics();
        if (x_ == 0 && y_ > 0 && y_ + fm.height() > height_) {
            if (!printer_.newPage()) return false;
            y_ = 0;
        }
        lineHeight_ = std::max(lineHeight_, fm.lineSpacing());
        const QString text = QString::fromStdString(op.text);
        if (!text.isEmpty()) {
            painter_.drawText(x_, y_ + fm.ascent(), text);
            x_ += fm.horizontalAdvance(text);
        }
        if (op.kind != ReportOpKind::Write) {
            y_ += lineHeight_;
            x_ = 0;
            lineHeight_ = 0;
        }
        return printer_.printerState() != QPrinter::Error;
    }

private:
    QPrinter& printer_;
    QPainter& painter_;
    int height_ = 0;
    int x_ = 0, y_ = 0, lineHeight_ = 0;
};

}  // namespace

QString PrintReportOn(QPrinter& printer, const std::vector<ReportOp>& ops) {
    const QString target = printer.outputFileName();
    const bool toFile = printer.outputFormat() == QPrinter::PdfFormat && !target.isEmpty();
    QString temporary;
    if (toFile) {
        const QFileInfo info(target);
        temporary = info.dir().filePath("." + info.fileName() + ".printing");
        printer.setOutputFileName(temporary);
    }
    QPainter painter;
    auto fail = [&](const QString& text) {
        printer.abort();
        if (painter.isActive()) painter.end();
        if (toFile) {
            QFile::remove(temporary);
            printer.setOutputFileName(target);
        }
        return text;
    };
    if (!painter.begin(&printer)) return fail("The printer could not start the document.");
    PageWriter writer(printer, painter);
    for (const ReportOp& op : ops)
        if (!writer.Put(op)) return fail("The printer failed while printing the report.");
    if (!painter.end() || printer.printerState() == QPrinter::Error)
        return fail("The printer failed while printing the report.");
    if (toFile) {
        printer.setOutputFileName(target);
        QFile::remove(target);
        if (!QFile::rename(temporary, target)) {
            QFile::remove(temporary);
            return "The report could not be written to '" + target + "'.";
        }
    }
    return {};
}

}  // namespace wizard
