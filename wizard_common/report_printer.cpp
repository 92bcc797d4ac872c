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

// One text drawn at its baseline.
struct Placed {
    QFont font;
    QString text;
    QPoint at;
};
using Page = std::vector<Placed>;

// The report laid out as `painter` would print it: a new page when the next line would not fit.
std::vector<Page> LayOut(QPainter& painter, const std::vector<ReportOp>& ops) {
    const int height = painter.viewport().height();
    std::vector<Page> pages(1);
    int x = 0, y = 0, lineHeight = 0;
    for (const ReportOp& op : ops) {
        const QFont font = FontOf(op.font);
        painter.setFont(font);
        const QFontMetrics fm = painter.fontMetrics();
        if (x == 0 && y > 0 && y + fm.height() > height) {
            pages.emplace_back();
            y = 0;
        }
        lineHeight = std::max(lineHeight, fm.lineSpacing());
        const QString text = QString::fromStdString(op.text);
        if (!text.isEmpty()) {
            pages.back().push_back({font, text, QPoint(x, y + fm.ascent())});
            x += fm.horizontalAdvance(text);
        }
        if (op.kind != ReportOpKind::Write) {
            y += lineHeight;
            x = 0;
            lineHeight = 0;
        }
    }
    return pages;
}

QString NoPageInRange(int pages) {
    return pages == 1 ? QString("The report has 1 page, and the chosen page range does not hold it.")
                      : QString("The report has %1 pages, and the chosen page range holds none of them.").arg(pages);
}

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
    const std::vector<Page> pages = LayOut(painter, ops);
    // A printer that makes its copies itself (a print server) is sent the document once.
    const int copies = printer.supportsMultipleCopies() ? 1 : printer.copyCount();
    const QPageRanges ranges = printer.printRange() == QPrinter::PageRange ? printer.pageRanges() : QPageRanges();
    const std::vector<int> order = PrintedPages(int(pages.size()), ranges, copies, printer.collateCopies());
    if (order.empty()) return fail(NoPageInRange(int(pages.size())));
    for (size_t k = 0; k < order.size(); ++k) {
        if (k > 0 && !printer.newPage()) return fail("The printer failed while printing the report.");
        for (const Placed& p : pages[size_t(order[k] - 1)]) {
            painter.setFont(p.font);
            painter.drawText(p.at, p.text);
        }
        if (printer.printerState() == QPrinter::Error) return fail("The printer failed while printing the report.");
    }
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

std::vector<int> PrintedPages(int pages, const QPageRanges& ranges, int copies, bool collate) {
    copies = std::max(copies, 1);
    std::vector<int> chosen;
    for (int p = 1; p <= pages; ++p)
        if (ranges.isEmpty() || ranges.contains(p)) chosen.push_back(p);
    std::vector<int> order;
    if (collate) {
        for (int c = 0; c < copies; ++c) order.insert(order.end(), chosen.begin(), chosen.end());
    } else {
        for (int p : chosen) order.insert(order.end(), size_t(copies), p);
    }
    return order;
}

}  // namespace wizard
