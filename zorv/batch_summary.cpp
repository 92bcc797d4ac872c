#include "zorv/batch_summary.h"

#include <algorithm>
#include <cmath>

#include "platform/vb/strings.h"

namespace zorv {

std::string RightAligned(const std::string& text, size_t width) {
    return text.size() >= width ? text : std::string(width - text.size(), ' ') + text;
}

std::string SevenDigits(int64_t n) {
    const std::string digits = std::to_string(n < 0 ? -n : n);
    const std::string padded = digits.size() >= 7 ? digits : std::string(7 - digits.size(), '0') + digits;
    return n < 0 ? "-" + padded : padded;
}

std::string BatchSummary(const BatchOutcome& b) {
    const std::string CRLF = "\r\n";
    std::string s;
    if (!b.withClass)
        s = "Classification completed. The test dataset contains " + std::to_string(b.total) + " cases.";
    else
        s = "The test dataset contains " + std::to_string(b.total) + " cases, among which, " +
            std::to_string(b.correct) + " cases were classified correctly.";
    if (b.failed > 0)
        s += CRLF + "There are " + std::to_string(b.failed) +
             " cases that cannot be classified, probably caused by new field values that have not "
             "appeared in the training data.";
    if (!b.withClass) return s;

    const double p = b.accuracy;
    const int32_t classified = b.total - b.failed;
    if (classified > 0) {
        const double halfWidth = 1.96 * std::sqrt(p * (1 - p) / classified);
        s += CRLF + "The estimate prediction accuracy is " + vb::FormatFixed(100 * p, 2) + "+-" +
             vb::FormatFixed(100 * halfWidth, 2) + "% at 95% confidence level.";
    }
    const int k = b.confusion.dims() == 2 ? b.confusion.UBound(1) : 0;
    auto labelOf = [&](int i) { return size_t(i) < b.labels.size() ? b.labels[size_t(i)] : std::string(); };
    auto cell = [](const vb::Array<float>& a, int i, int j) -> double {
        return a.dims() == 2 && a.InBounds(1, i) && a.InBounds(2, j) ? a(i, j) : 0.0;
    };
    // The columns line up whatever the labels' lengths: every class column is as wide as its
    // widest label (seven at least, the width of a count), and the labels before the rows of
    // both blocks as wide as the widest of them and the header's "Predicted ->", so that each
    // cell stands under its class in the header.
    const std::string corner = "Predicted ->";
    size_t columnWidth = 7, rowLabelWidth = corner.size();
    for (int i = 1; i <= k; ++i) {
        columnWidth = std::max(columnWidth, labelOf(i).size());
        rowLabelWidth = std::max(rowLabelWidth, labelOf(i).size());
    }
    auto rowStart = [&](int i) { return RightAligned(labelOf(i), rowLabelWidth) + " | "; };
    s += CRLF + "Confusion matrix:" + CRLF;
    s += corner + std::string(rowLabelWidth - corner.size(), ' ') + " | ";
    for (int i = 1; i <= k; ++i) s += RightAligned(labelOf(i), columnWidth) + " | ";
    s += "Lift Index" + CRLF;
    for (int i = 1; i <= k; ++i) {
        s += rowStart(i);
        for (int j = 1; j <= k; ++j) s += RightAligned(SevenDigits(b.confusion(i, j)), columnWidth) + " | ";
        const double lift = b.lift.dims() == 1 && b.lift.InBounds(1, i) ? b.lift(i) : 0.0;
        s += vb::FormatFixed(lift, 5) + CRLF;
    }
    s += "ROC Indices:" + CRLF;
    for (int i = 1; i <= k; ++i) {
        s += rowStart(i);
        for (int j = 1; j <= k; ++j) s += RightAligned(vb::FormatFixed(cell(b.roc, i, j), 5), columnWidth) + " | ";
        s += CRLF;
    }
    return s;
}

}  // namespace zorv
