// EqualFreqCuts (see equal_frequency.h).
#include "trune/discretize/equal_frequency.h"

#include "platform/vb/runtime_error.h"

namespace trune {

CutPoints EqualFreqCuts(const std::vector<ValueGroup>& groups, vb::Integer n) {
    if (n == 0) throw vb::RuntimeError::DivisionByZero();
    vb::Long usable = 0;
    for (const ValueGroup& g : groups)
        if (!g.excluded) usable = vb::LongAdd(usable, g.count);
    const vb::Long quota = vb::CLng(double(usable) / n + 1);

    CutPoints cuts;
    vb::Long acc = 0;
    for (size_t j = 0; j + 1 < groups.size(); ++j) {
        const ValueGroup& g = groups[j];
        if (g.excluded) continue;
        acc = vb::LongAdd(acc, g.count);
        if (acc < quota) continue;
        acc = 0;
        // Only the first group can be the Null one, and it is excluded.
        if (!groups[j + 1].value) throw vb::RuntimeError(94, "Invalid use of Null");
        StoreCut(cuts, ToSingle((*g.value + *groups[j + 1].value) / 2));
    }
    return cuts;
}

}  // namespace trune
