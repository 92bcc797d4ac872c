// The database contract through three real ODBC drivers: the SQLite driver on files it makes,
// and the PostgreSQL and MariaDB drivers on private servers, each with tables created natively.
#include "tests/support/db_contract_suite.h"
#include "tests/support/odbc_servers.h"

INSTANTIATE_DB_CONTRACT(SqliteOdbc, std::make_shared<testsupport::SqliteOdbcFactory>());
INSTANTIATE_DB_CONTRACT(PostgresOdbc, std::make_shared<testsupport::PostgresOdbcFactory>());
INSTANTIATE_DB_CONTRACT(MariaDbOdbc, std::make_shared<testsupport::MariaDbOdbcFactory>());
