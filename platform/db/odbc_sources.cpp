// The driver manager's lists for the programs' data-source pages: the named data sources with
// their drivers (SQLDataSources) and the installed drivers (SQLDrivers), each walked from the
// first entry so that a second listing starts over.
#include <algorithm>

#include "platform/db/odbc.h"
#include "platform/db/odbc_backend.h"

namespace db {
namespace {

// A text the driver manager wrote into a buffer of `capacity` characters, `length` long.
std::string BufferText(const SQLWCHAR* text, SQLSMALLINT length, size_t capacity) {
    return odbc::Utf8(text, std::min<size_t>(size_t(std::max<SQLSMALLINT>(length, 0)), capacity - 1));
}

}  // namespace

std::vector<OdbcDataSource> OdbcDataSources() {
    SQLHENV env = odbc::Environment();
    std::vector<OdbcDataSource> out;
    SQLUSMALLINT direction = SQL_FETCH_FIRST;
    while (true) {
        SQLWCHAR name[1024] = {}, driver[1024] = {};
        SQLSMALLINT nameLength = 0, driverLength = 0;
        SQLRETURN rc = SQLDataSourcesW(env, direction, name, 1024, &nameLength, driver, 1024, &driverLength);
        if (rc == SQL_NO_DATA) break;
        if (!SQL_SUCCEEDED(rc)) odbc::Fail(SQL_HANDLE_ENV, env);
        direction = SQL_FETCH_NEXT;
        OdbcDataSource s;
        s.name = BufferText(name, nameLength, 1024);
        s.driver = BufferText(driver, driverLength, 1024);
        if (!s.name.empty()) out.push_back(std::move(s));
    }
    return out;
}

std::vector<OdbcDriver> OdbcDrivers() {
    SQLHENV env = odbc::Environment();
    std::vector<OdbcDriver> out;
    SQLUSMALLINT direction = SQL_FETCH_FIRST;
    while (true) {
        SQLWCHAR name[1024] = {}, attributes[4096] = {};
        SQLSMALLINT nameLength = 0, attributesLength = 0;
        SQLRETURN rc = SQLDriversW(env, direction, name, 1024, &nameLength, attributes, 4096, &attributesLength);
        if (rc == SQL_NO_DATA) break;
        if (!SQL_SUCCEEDED(rc)) odbc::Fail(SQL_HANDLE_ENV, env);
        direction = SQL_FETCH_NEXT;
        OdbcDriver d;
        d.name = BufferText(name, nameLength, 1024);
        // The attributes come as "key=value" texts, each ended by a 0, the list by a second 0.
        const size_t length = std::min<size_t>(size_t(std::max<SQLSMALLINT>(attributesLength, 0)), 4095);
        size_t start = 0;
        for (size_t i = 0; i <= length; ++i) {
            if (i < length && attributes[i] != 0) continue;
            if (i > start) d.attributes.push_back(odbc::Utf8(attributes + start, i - start));
            start = i + 1;
        }
        if (!d.name.empty()) out.push_back(std::move(d));
    }
    return out;
}

}  // namespace db
