// The progress of a cut computation. Its statements and splits are measured in units of work
// (a row read from a statement, a boundary tried); every kUnitsPerReport units, and at the end
// of every statement and field, the caller hears the share done and may stop the computation,
// which then unwinds as CutsCancelled. A unit costs at most a few microseconds, so the caller
// hears from it far more often than every 0.2 s, wherever the time goes.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/vb/types.h"

namespace trune {

// Called with the percentage done (0 to 99, a Single); true asks the work to stop there.
using Progress = std::function<bool(vb::Single percent)>;

// Thrown out of the computation when the caller asked it to stop.
struct CutsCancelled {};

class CutProgress {
public:
    static constexpr int32_t kUnitsPerReport = 4096;

    // A computation over `fields` fields; an empty report makes every call a no-op.
    CutProgress(Progress report, int32_t fields);

    // Field `index` (from 0) begins: its share is 0 and its span the whole field.
    void BeginField(int32_t index);
    // The part of the current field that Share(0) to Share(1) stand for from now on.
    void Span(double from, double to);
    // The share of the current span done, 0 to 1; the caller hears it at once. The percentage
    // never goes back.
    void Share(double share);
    // Units of work done; the caller hears the share every kUnitsPerReport units.
    void Tick(int32_t units = 1) {
        if (!report_) return;
        units_ += units;
        if (units_ >= kUnitsPerReport) Report();
    }
    // The reports made so far.
    int64_t reports() const { return reports_; }

private:
    void Report();

    Progress report_;
    int32_t fields_;
    int32_t field_ = 0;
    double from_ = 0, to_ = 1, share_ = 0;
    vb::Single shown_ = 0;
    int32_t units_ = 0;
    int64_t reports_ = 0;
};

}  // namespace trune
