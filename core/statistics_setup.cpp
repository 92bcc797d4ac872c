// Sizing of the statistics members for a learning run: the mutual-information matrices, the
// conditioning-set cache and the scratch arrays of the count queries and the one-pass sums.
#include "core/learner.h"

namespace core {

void Learner::SizeStatistics(Integer lastLayer) {
    MICache.ReDim(vb::To(lastLayer), vb::To(numfld), vb::To(numfld));
    MIWork.ReDim(vb::To(lastLayer), vb::To(numfld), vb::To(numfld));
    SetCache.Reset(lastLayer, numfld, settings_.cachedSetsPerPair);
    CondSet.ReDim(vb::To(20));
    QryFld.ReDim(vb::To(20));
    CurConf.ReDim(vb::To(20));
    CntA.ReDim(vb::To(MaxVlus));
    CntB.ReDim(vb::To(MaxVlus));
}

}  // namespace core
