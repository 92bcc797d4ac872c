// Transactions on a SQLite database: BEGIN, COMMIT and ROLLBACK on its connection. The
// statements the layer runs inside (a copy's savepoint, a recordset's updates) nest in it. A
// rollback also drops what the database had read while the transaction ran (table definitions,
// the coded copies of the counting path), since SQLite's change counters do not move back.
#include "platform/db/sqlite_backend.h"
#include "platform/db/transactions.h"

namespace db::sqlite {

void SqliteDatabase::BeginTrans() {
    CheckOpen();
    if (inTransaction_) throw TransactionOpenError();
    conn_->Run("BEGIN");
    inTransaction_ = true;
}

void SqliteDatabase::CommitTrans() {
    CheckOpen();
    if (!inTransaction_) throw NoTransactionError();
    if (sqlite3_get_autocommit(conn_->handle())) {
        // SQLite ended it itself after a failed write (a full disk, an I/O error): nothing of it
        // was kept, and saying so is the only honest answer to a commit.
        inTransaction_ = false;
        SchemaChanged();
        throw Error(errnum::kNoTransaction,
                    "The transaction was ended by an earlier error and its changes were rolled back; nothing was "
                    "committed.");
    }
    // A commit that fails (the file locked by a reader) leaves the transaction open, to be
    // committed again or rolled back.
    conn_->Run("COMMIT");
    inTransaction_ = false;
}

void SqliteDatabase::Rollback() {
    CheckOpen();
    if (!inTransaction_) throw NoTransactionError();
    inTransaction_ = false;
    if (!sqlite3_get_autocommit(conn_->handle())) conn_->Run("ROLLBACK");
    SchemaChanged();
}

void SqliteDatabase::AbandonTransaction() noexcept {
    if (!inTransaction_ || !conn_) return;
    inTransaction_ = false;
    if (!sqlite3_get_autocommit(conn_->handle()))
        sqlite3_exec(conn_->handle(), "ROLLBACK", nullptr, nullptr, nullptr);
}

}  // namespace db::sqlite
