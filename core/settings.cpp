// The two engines' settings of the core, one column each.
#include "core/learner.h"

namespace core {

CoreSettings CoreSettings::Classifier(Integer maxVlus) {
    CoreSettings s;
    s.maxValues = maxVlus;
    s.notComputed = -100;
    s.maxCondSet = 14;
    s.cachedSetsPerPair = 50;
    s.holdOutFilter = true;
    s.swallowMIErrors = true;
    s.test = ConfigTest::WeightedStatistic;
    s.orientAfterDrafting = false;
    s.thickeningFactor = 1.0f;
    s.extraSeparationChecks = false;
    return s;
}

CoreSettings CoreSettings::Construction() {
    CoreSettings s;
    s.maxValues = 65;
    s.notComputed = -1;
    s.maxCondSet = 20;
    s.cachedSetsPerPair = 100;
    s.holdOutFilter = false;
    s.swallowMIErrors = false;
    s.test = ConfigTest::HalfCritical;
    s.orientAfterDrafting = true;
    s.thickeningFactor = 0.9f;
    s.extraSeparationChecks = true;
    return s;
}

}  // namespace core
