// The engine's numbered errors and the conversion of any error in flight into the form a
// trapping method raises it again.
#include "classifier_engine/errors.h"

#include <string>

#include <fmt/format.h>

#include "platform/vb/runtime_error.h"

namespace zorvapi {

com::Error EngineError(const EngineErrorDef& e) {
    return com::Error(EngineErrorNumber(e.n), kSource, e.description);
}

com::Error EngineError(const EngineErrorDef& e, const std::string& subject) {
    return com::Error(EngineErrorNumber(e.n), kSource, fmt::format(fmt::runtime(e.description), subject));
}

com::Error EngineError(int32_t n) {
    for (const EngineErrorDef& e : kErrorTable)
        if (e.n == n) return EngineError(e);
    return com::Error(EngineErrorNumber(n), kSource, "Engine error " + std::to_string(n));
}

com::Error AsEngineError(std::exception_ptr e, const std::vector<ErrorMapping>& map) {
    try {
        std::rethrow_exception(e);
    } catch (const vb::RuntimeError& x) {
        for (const ErrorMapping& m : map)
            if (m.runtimeNumber == x.number()) return EngineError(m.to);
    } catch (...) {
    }
    return core::RaisedAgain(std::move(e), kSource);
}

void Reraise(std::exception_ptr e, const std::vector<ErrorMapping>& map) {
    throw AsEngineError(std::move(e), map);
}

}  // namespace zorvapi
