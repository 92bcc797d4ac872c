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
    s.thickeningFactor = 1.0;
    s.extraSeparationChecks = false;
    s.pairPassBudget = 100;
    s.thickeningBudget = 60;
    s.thinningBudget = 19.9;
    s.orientDraftingBudget = 12;
    s.orientBudget = 8;
    s.searchStartPercent = -1;
    s.thinningStartPercent = -1;
    s.pairPassBothCells = false;
    s.orderedThickeningBudget = 65;
    s.orderedThinningBudget = 34.9;
    s.orderedThinningStartPercent = -1;
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
    s.thickeningFactor = 0.9;
    s.extraSeparationChecks = true;
    s.pairPassBudget = 60;
    s.thickeningBudget = 23;
    s.thinningBudget = 7.9;
    s.orientDraftingBudget = 4;
    s.orientBudget = 4;
    s.searchStartPercent = 60;
    s.thinningStartPercent = 88;
    s.pairPassBothCells = true;
    s.orderedThickeningBudget = 30;
    s.orderedThinningBudget = 9.9;
    s.orderedThinningStartPercent = 90;
    return s;
}

}  // namespace core
