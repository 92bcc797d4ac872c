// CutProgress (see cut_progress.h).
#include "trune/discretize/cut_progress.h"

#include <algorithm>

namespace trune {

CutProgress::CutProgress(Progress report, int32_t fields) : report_(std::move(report)), fields_(std::max(fields, 1)) {}

void CutProgress::BeginField(int32_t index) {
    field_ = index;
    from_ = 0;
    to_ = 1;
    share_ = 0;
    Report();
}

void CutProgress::Span(double from, double to) {
    from_ = from;
    to_ = to;
}

void CutProgress::Share(double share) {
    share_ = from_ + (to_ - from_) * std::clamp(share, 0.0, 1.0);
    Report();
}

void CutProgress::Report() {
    units_ = 0;
    if (!report_) return;
    shown_ = std::max(shown_, vb::Single(99.0 * (field_ + share_) / fields_));
    ++reports_;
    if (report_(shown_)) throw CutsCancelled{};
}

}  // namespace trune
