// Objects and their errors: the destructor of com::Error is its key function, which anchors the
// class's type information in the platform library for hosts and engines alike.
#include "platform/com/object.h"

namespace com {

Error::~Error() = default;

}  // namespace com
