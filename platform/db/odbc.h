// The ODBC back end's entry points: DBEngine::OpenDatabase hands it every connect text that
// begins "ODBC" (any case), and the programs' data-source pages list what the driver manager
// knows. The back end parses the same Jet SQL AST as the file back end (platform/db/sql_ast.h)
// and renders it in the source's dialect.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/db/database.h"

namespace db {

// Opens the ODBC source the connect text names ("ODBC;DSN=...;UID=...;PWD=..." or
// "ODBC;Driver=...;Server=...;..."; the leading "ODBC;" is optional). The driver is never
// allowed to prompt: values the text lacks come from the data source's definition or the
// driver's defaults. The database's Connect() is "ODBC;" followed by the connect string as the
// driver completed it, which opens the same source again. readOnly: Execute and writes fail
// with 3027. db::Error 3146 "ODBC--call failed." followed by the driver's messages when the
// source cannot be reached.
std::shared_ptr<Database> OpenOdbcDatabase(const std::string& connect, bool readOnly = false);

// A data source as the driver manager lists it: its name and its driver's description.
struct OdbcDataSource {
    std::string name;
    std::string driver;
};

// A driver the driver manager knows: its description (the name a "Driver=" connect string
// uses) and its attributes as "key=value" texts.
struct OdbcDriver {
    std::string name;
    std::vector<std::string> attributes;
};

// The user and system data sources in the driver manager's order (SQLDataSources).
// db::Error 3146 when the driver manager gives no environment.
std::vector<OdbcDataSource> OdbcDataSources();
// The installed drivers in the driver manager's order (SQLDrivers).
std::vector<OdbcDriver> OdbcDrivers();

}  // namespace db
