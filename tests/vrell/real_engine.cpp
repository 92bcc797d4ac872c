// The construction engine for the wizard's tests (real_engine.h).
#include "tests/vrell/real_engine.h"

#include "construction_engine/data_set.h"

namespace vrelltest {

std::shared_ptr<vrellapi::IDataSet> NewRealDataSet() { return std::make_shared<vrellapi::DataSet>(); }

}  // namespace vrelltest
