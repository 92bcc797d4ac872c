// Printing a running report's operations (report_sink.h) on a QPrinter: each operation in its
// own font, a new page when the next line would not fit, long lines not wrapped. The report is
// laid out on pages first, so that the page range and the copies pick from whole pages.
#pragma once

#include <QPageRanges>
#include <QString>
#include <vector>

#include "wizard_common/model/report_sink.h"

class QPrinter;

namespace wizard {

// Prints `ops` as one document on `printer` (set up and, for a dialog, accepted by the caller):
// the pages of the printer's page range only, and as many copies, collated or not, as it asks
// for and does not make itself. Returns "" when the document was printed, else the error's
// text; on an error the document is aborted, and a PDF file the printer writes is left as it
// was (a new one is written beside it and renamed over it only when complete).
QString PrintReportOn(QPrinter& printer, const std::vector<ReportOp>& ops);

// The pages, numbered from 1, that a document of `pages` pages sends to the printer, in order:
// those in `ranges` (all when it is empty), `copies` times over, the whole run again for each
// copy when `collate`, else each page repeated before the next.
std::vector<int> PrintedPages(int pages, const QPageRanges& ranges, int copies, bool collate);

}  // namespace wizard
