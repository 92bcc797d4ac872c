// The make-table copy ("select * into [t] IN 'file' from [s]") into a SQLite file database,
// for every back end: the target table is created with the given fields and filled from the
// rows the recordset has left, all in one transaction, so a failure leaves no half table.
#pragma once

#include <string>
#include <vector>

#include "platform/db/database.h"

namespace db {

// db::Error 3024 when the file does not exist, 3010 when the table exists in it.
void CopyIntoFile(Recordset& rows, const std::vector<Field>& fields, const std::string& file,
                  const std::string& table);

}  // namespace db
