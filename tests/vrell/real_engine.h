// The construction engine itself for the wizard's tests, made without the class registry. Its
// headers are kept apart from Qt's (whose keyword macros they would meet).
#pragma once

#include <memory>

#include "construction_engine/vrellapi.h"

namespace vrelltest {

std::shared_ptr<vrellapi::IDataSet> NewRealDataSet();

}  // namespace vrelltest
