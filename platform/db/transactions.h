// The errors of the transaction calls, shared by the back ends (the calls are declared with
// Database in database.h).
#pragma once

#include <string>

#include "platform/db/database.h"

namespace db {

// 3003: a transaction is already open on this database.
Error TransactionOpenError();
// 3034: CommitTrans or Rollback with no transaction open.
Error NoTransactionError();
// 3251: the database cannot run transactions, and why ("it is read from text files").
Error NoTransactionsHere(const std::string& database, const std::string& why);

}  // namespace db
