// The message that closes a batch classification: case counts, the cases left unclassified,
// and with a test class field the accuracy estimate, the confusion matrix with each class's
// lift index and the ROC indices, in the fixed-width columns of the summary box.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/vb/array.h"

namespace zorv {

struct BatchOutcome {
    bool withClass = false;  // the test table named its class field
    int32_t total = 0, correct = 0, failed = 0;
    float accuracy = 0;               // what the engine returned
    std::vector<std::string> labels;  // class labels from index 1
    vb::Array<int32_t> confusion;     // (0..k, 0..k)
    vb::Array<float> lift;            // (0..k)
    vb::Array<float> roc;             // (0..k, 0..k)
};

// The summary text, lines joined with CR LF. When no case could be classified there is no
// accuracy to estimate: that line is left out and the rest is shown. The matrices' columns
// line up in a fixed-pitch font, however long the class labels.
std::string BatchSummary(const BatchOutcome& b);

// The runtime's number patterns the summary uses: "@@@@@@@" widened to any width (right-aligned,
// a longer text whole), "0000000" (at least seven digits).
std::string RightAligned(const std::string& text, size_t width);
std::string SevenDigits(int64_t n);

}  // namespace zorv
