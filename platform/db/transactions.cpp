// The transaction errors, and the calls of a database that cannot run transactions.
#include "platform/db/transactions.h"

#include <fmt/format.h>

namespace db {

Error TransactionOpenError() {
    return Error(errnum::kTooManyTransactions,
                 "Could not start transaction; too many transactions already nested. Commit or roll back the "
                 "open transaction first.");
}

Error NoTransactionError() {
    return Error(errnum::kNoTransaction,
                 "You tried to commit or rollback a transaction without first beginning a transaction.");
}

Error NoTransactionsHere(const std::string& database, const std::string& why) {
    return Error(errnum::kNotSupported,
                 fmt::format("Operation is not supported for this type of object: '{}' cannot run transactions ({}).",
                             database, why));
}

void Database::BeginTrans() { throw NoTransactionsHere(Name(), "its back end has none"); }
void Database::CommitTrans() { throw NoTransactionError(); }
void Database::Rollback() { throw NoTransactionError(); }

}  // namespace db
