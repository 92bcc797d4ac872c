// The base of the numbered errors: its destructor is its key function, so the class's type
// information is emitted here, in the platform library, and nowhere else.
#include "platform/vb/numbered_error.h"

namespace vb {

NumberedError::~NumberedError() = default;

}  // namespace vb
