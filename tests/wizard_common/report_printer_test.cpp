// A running report printed to a PDF file: each operation in its font, pages as they fill, the
// page range and copies the printer asks for; a failing document is aborted and leaves no
// partial file and the old one as it was.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QPrinter>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <functional>

#include "wizard_common/report_printer.h"

namespace {

using wizard::ReportOp;
using wizard::ReportOpKind;

std::vector<ReportOp> Report(int lines) {
    std::vector<ReportOp> ops{{ReportOpKind::WriteLine, "Belief Network Kalvex.       09:30:00  12/10/26", wizard::TitleFont()}};
    for (int k = 0; k < lines; ++k) {
        ops.push_back({ReportOpKind::Write, "Root fields:  ", wizard::BodyFont()});
        ops.push_back({ReportOpKind::WriteLine, "Temper Age    " + std::to_string(k), wizard::BodyFont()});
        ops.push_back({ReportOpKind::EndLine, "", wizard::BodyFont()});
    }
    return ops;
}

QByteArray Read(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The page objects of a PDF (not the /Pages tree above them).
int PdfPages(const QByteArray& pdf) {
    return int(QString::fromLatin1(pdf).count(QRegularExpression("/Type\\s*/Page\\b")));
}

TEST(ReportPrinter, PrintsToAPdfOverTheOldFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath("report.pdf");
    QFile old(path);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("old");
    old.close();

    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    EXPECT_EQ(wizard::PrintReportOn(printer, Report(60)), QString());
    const QByteArray pdf = Read(path);
    EXPECT_TRUE(pdf.startsWith("%PDF"));
    // 180 lines of courier 10 do not fit on one page.
    EXPECT_GE(PdfPages(pdf), 2);
    EXPECT_EQ(printer.outputFileName(), path);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"report.pdf"});
}

TEST(ReportPrinter, PrintsTheChosenPagesAndCopies) {
    QTemporaryDir dir;
    const QString path = dir.filePath("report.pdf");
    auto print = [&](const std::function<void(QPrinter&)>& setUp) {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(path);
        setUp(printer);
        return wizard::PrintReportOn(printer, Report(150));
    };
    ASSERT_EQ(print([](QPrinter&) {}), QString());
    const int all = PdfPages(Read(path));
    ASSERT_GE(all, 3);

    struct Case {
        const char* name;
        std::function<void(QPrinter&)> setUp;
        int pages;
    };
    const Case cases[] = {
        {"pages 2 to 2", [](QPrinter& p) { p.setPrintRange(QPrinter::PageRange); p.setFromTo(2, 2); }, 1},
        {"pages 2 to the last", [&](QPrinter& p) { p.setPrintRange(QPrinter::PageRange); p.setFromTo(2, all); }, all - 1},
        {"pages \"1,3\"", [](QPrinter& p) {
             p.setPrintRange(QPrinter::PageRange);
             p.setPageRanges(QPageRanges::fromString("1,3"));
         }, 2},
        {"a range past the end is cut at the end", [&](QPrinter& p) { p.setPrintRange(QPrinter::PageRange); p.setFromTo(all, all + 5); }, 1},
        {"all pages, whatever range was set before", [](QPrinter& p) { p.setFromTo(2, 2); p.setPrintRange(QPrinter::AllPages); }, all},
        {"two copies of page 2", [](QPrinter& p) { p.setPrintRange(QPrinter::PageRange); p.setFromTo(2, 2); p.setCopyCount(2); }, 2},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(print(c.setUp), QString()) << c.name;
        EXPECT_EQ(PdfPages(Read(path)), c.pages) << c.name;
    }

    // A range that holds no page of the report prints nothing and keeps the last file.
    const QString error = print([&](QPrinter& p) { p.setPrintRange(QPrinter::PageRange); p.setFromTo(all + 1, all + 2); });
    EXPECT_TRUE(error.contains("page range")) << error.toStdString();
    EXPECT_EQ(PdfPages(Read(path)), 2);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"report.pdf"});
}

// The order the copies come in: the whole run again when collated, each page repeated else.
TEST(ReportPrinter, PageOrderOfRangesAndCopies) {
    struct Case {
        const char* ranges;
        int copies;
        bool collate;
        std::vector<int> order;
    };
    const Case cases[] = {
        {"", 1, true, {1, 2, 3, 4}},
        {"2-3", 1, false, {2, 3}},
        {"2-3", 2, true, {2, 3, 2, 3}},
        {"2-3", 2, false, {2, 2, 3, 3}},
        {"4,1", 1, true, {1, 4}},
        {"5-9", 1, true, {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(wizard::PrintedPages(4, QPageRanges::fromString(c.ranges), c.copies, c.collate), c.order)
            << c.ranges << " x" << c.copies;
}

TEST(ReportPrinter, AFailedDocumentIsAbortedAndLeavesNoFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath("missing/report.pdf");
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    EXPECT_FALSE(wizard::PrintReportOn(printer, Report(3)).isEmpty());
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_EQ(printer.outputFileName(), path);
}

}  // namespace
