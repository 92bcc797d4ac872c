// A running report printed to a PDF file: each operation in its font, pages as they fill; a
// failing document is aborted and leaves no partial file and the old one as it was.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QPrinter>
#include <QTemporaryDir>

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
    EXPECT_GE(pdf.count("/Type /Page\n") + pdf.count("/Type /Page\r") + pdf.count("/Type /Page "), 2);
    EXPECT_EQ(printer.outputFileName(), path);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"report.pdf"});
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
