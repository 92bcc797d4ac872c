// The smoothed estimate of one probability row (see smoothed_estimate.h). The order of the
// operations is part of the result: the running sum is a Single, so a row whose rounded values
// pass 1 is cut at the value that crosses it, and every later value, the last included, is 0.
#include "core/smoothed_estimate.h"

#include "platform/vb/rounding.h"

namespace core {

void SmoothedEstimate(std::span<const double> counts, double n, std::span<vb::Single> probs,
                      SmoothingRule rule) {
    const size_t k = probs.size();
    if (k == 0) return;
    // The pseudo-count is formed in double and held as a Single, as the tables always had it.
    const vb::Single a = vb::Single(5.0 / double(k));
    const bool empty = rule.emptyGivesUniform && n == 0;
    vb::Single sum = 0;
    for (size_t v = 0; v + 1 < k; ++v) {
        double q;
        if (empty) {
            q = 1.0 / double(k);
        } else {
            switch (rule.quotient) {
                case Quotient::DoubleToSingle:
                    q = vb::Single((counts[v] + double(a)) / (n + 5.0));
                    break;
                case Quotient::SingleArithmetic:
                    q = (vb::Single(counts[v]) + a) / (vb::Single(n) + vb::Single(5));
                    break;
                case Quotient::Double:
                default:
                    q = (counts[v] + double(a)) / (n + 5.0);
                    break;
            }
        }
        vb::Single p = vb::Single(vb::Round(q, 7));
        sum += p;
        if (sum > 1.0f) {
            p = p - sum + 1.0f;
            sum = 1.0f;
        }
        probs[v] = p;
    }
    probs[k - 1] = 1.0f - sum;
}

}  // namespace core
