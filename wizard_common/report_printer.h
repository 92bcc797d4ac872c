// Printing a running report's operations (report_sink.h) on a QPrinter: each operation in its
// own font, a new page when the next line would not fit, long lines not wrapped.
#pragma once

#include <QString>
#include <vector>

#include "wizard_common/model/report_sink.h"

class QPrinter;

namespace wizard {

// Prints `ops` as one document on `printer` (set up and, for a dialog, accepted by the caller).
// Returns "" when the document was printed, else the error's text; on an error the document is
// aborted, and a PDF file the printer writes is left as it was (a new one is written beside it
// and renamed over it only when complete).
QString PrintReportOn(QPrinter& printer, const std::vector<ReportOp>& ops);

}  // namespace wizard
