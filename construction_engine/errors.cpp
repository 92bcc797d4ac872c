// The construction engine's error values: the table's texts with their subject, and the
// re-raise rule of Init's trap.
#include "construction_engine/errors.h"

#include <fmt/format.h>

namespace vrellapi {

const char* const kSource = "DataSet Object";

com::Error EngineError(const EngineErrorDef& e) {
    return com::Error(com::objectError(e.n), kSource, e.description);
}

com::Error EngineError(const EngineErrorDef& e, const std::string& subject) {
    return com::Error(com::objectError(e.n), kSource, fmt::format(fmt::runtime(e.description), subject));
}

com::Error AsEngineError(std::exception_ptr e) { return core::RaisedAgain(std::move(e), kSource); }

}  // namespace vrellapi
