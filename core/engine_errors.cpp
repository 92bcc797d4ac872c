// Raising an error in flight again under an engine class's source, with its own number and
// description.
#include "core/engine_errors.h"

#include <new>
#include <string>

#include "platform/vb/numbered_error.h"

namespace core {

com::Error RaisedAgain(std::exception_ptr e, const char* source) {
    try {
        std::rethrow_exception(e);
    } catch (const vb::NumberedError& x) {
        return com::Error(x.number(), source, x.description());
    } catch (const std::bad_alloc&) {
        return com::Error(7, source, "Out of memory");
    } catch (const std::exception& x) {
        return com::Error(51, source, std::string("Internal error: ") + x.what());
    } catch (...) {
        return com::Error(51, source, "Internal error");
    }
}

}  // namespace core
