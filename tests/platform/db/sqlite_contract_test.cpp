// The database contract on SQLite files.
#include "tests/support/db_contract_suite.h"

INSTANTIATE_DB_CONTRACT(Sqlite, std::make_shared<testsupport::SqliteFileFactory>());
