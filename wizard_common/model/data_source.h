// The data-source rules the three wizards share, free of Qt: the folder and table of a
// one-table-per-file format, the tables a database lists, the "_d" rule of the field list, the
// ODBC data-source and driver lists and the ODBC connect string.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/db/database.h"
#include "platform/db/odbc.h"

namespace wizard {

// The one-table-per-file formats (dBase, FoxPro, Paradox, Text): the database is the folder of
// the chosen file, the table its base name.
bool IsOneTablePerFile(int dbFormat);

// Splits `path` on its last "/": returns the folder and sets `preselectTable` to the file name
// up to its first "." (the whole file name when it has none, so an earlier file's table is
// never preselected). A path without "/" is returned unchanged and leaves `preselectTable` as
// it was.
std::string StripFileName(const std::string& path, std::string& preselectTable);

// The database name the file `path` stands for in format `dbFormat`: the folder for a
// one-table-per-file format (StripFileName, which sets `preselectTable`), else the file itself
// with `preselectTable` emptied.
std::string SourceName(int dbFormat, const std::string& path, std::string& preselectTable);

// The names a database lists: its tables without system objects, then, when `withQueries`,
// its stored queries, each in the collection's order.
std::vector<std::string> ListedTables(db::Database& database, bool withQueries);

// The position in `names` of the last name equal to `preselect` without regard to case; -1
// when `preselect` is empty or nothing matches.
int PreselectIndex(const std::vector<std::string>& names, const std::string& preselect);

// The field names of a recordset, in field order (an empty one names them too).
std::vector<std::string> FieldNamesOf(const db::Recordset& rs);

// The "_d" rule: for every field X_d (case-sensitive suffix) the first field named exactly X
// is not used. `selected` has one flag per name and is changed in place.
void ApplyDiscretizedRule(const std::vector<std::string>& names, std::vector<bool>& selected);

// The ODBC page's two lists: "(None)" and the data sources; the driver of each data source
// with equal neighbours collapsed, then the installed drivers not yet listed, so a driver can
// be chosen with a server and no data source. A driver manager that fails gives "(None)"
// alone (and no installed drivers when that call fails too).
struct OdbcLists {
    std::vector<std::string> dataSources;
    std::vector<std::string> drivers;
};
OdbcLists MakeOdbcLists(const std::function<std::vector<db::OdbcDataSource>()>& dataSources,
                        const std::function<std::vector<db::OdbcDriver>()>& drivers);
// The lists of the driver manager this process sees.
OdbcLists InstalledOdbcLists();

// The values of the ODBC page. `dsnIndex` is the list index of the data source (0 or -1:
// "(None)").
struct OdbcValues {
    int dsnIndex = 0;
    std::string dsn, driver, server, uid, pwd, database;
};

// A value as a connect string carries it: as it is, or in braces ("}" doubled) when it holds
// a ";" or begins with "{", which would otherwise end or open a value.
std::string OdbcValue(const std::string& value);

// "ODBC;DSN=name;" or "ODBC;Driver=d;Server=s;", then "UID=u;", "PWD=p;" and "Database=b;",
// each only when its value is not empty. No value when neither a data source nor a driver is
// given.
std::optional<std::string> BuildOdbcConnect(const OdbcValues& v);

}  // namespace wizard
