// The DataSet frame: construction with the construction engine's core settings, and the
// single-percentage progress event.
#include "construction_engine/data_set.h"

namespace vrellapi {

DataSet::DataSet() : core::Learner(core::CoreSettings::Construction()) { MaxVlus = kMaxStates; }
DataSet::~DataSet() = default;

bool DataSet::RaisePercentDone() {
    if (sink_) sink_->PercentDone(Percent, Cancel);
    return Cancel;
}

bool DataSet::Progress(Single increment) {
    Percent = Single(double(Percent) + double(increment));
    return RaisePercentDone();
}

void DataSet::SetProgress(Single percent) { Percent = percent; }

}  // namespace vrellapi
