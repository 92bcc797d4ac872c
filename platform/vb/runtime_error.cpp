// The runtime's numbered errors: the destructor is the key function that anchors the class's
// type information in the platform library.
#include "platform/vb/runtime_error.h"

namespace vb {

RuntimeError::~RuntimeError() = default;

}  // namespace vb
