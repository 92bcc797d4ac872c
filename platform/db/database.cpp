// The database error: its destructor is the key function that anchors the class's type
// information in the platform library, so an engine's throw and a host's catch agree on it.
#include "platform/db/database.h"

namespace db {

Error::~Error() = default;

}  // namespace db
