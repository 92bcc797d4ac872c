// The shared data-source rules: folders and tables of file formats, table lists, the "_d"
// rule and the ODBC lists and connect string.
#include "wizard_common/model/data_source.h"

#include <algorithm>

#include "platform/vb/strings.h"


namespace wizard {

bool IsOneTablePerFile(int dbFormat) { return (dbFormat >= 1 && dbFormat <= 10) || dbFormat == 15; }

std::string StripFileName(const std::string& path, std::string& preselectTable) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return path;
    const std::string file = path.substr(slash + 1);
    preselectTable = file.substr(0, file.find('.'));
    return path.substr(0, slash);
}

std::string SourceName(int dbFormat, const std::string& path, std::string& preselectTable) {
    if (IsOneTablePerFile(dbFormat)) return StripFileName(path, preselectTable);
    preselectTable.clear();
    return path;
}

std::vector<std::string> ListedTables(db::Database& database, bool withQueries) {
    std::vector<std::string> names = database.TableDefNames();
    if (withQueries) {
        const std::vector<std::string> queries = database.QueryDefNames();
        names.insert(names.end(), queries.begin(), queries.end());
    }
    return names;
}

int PreselectIndex(const std::vector<std::string>& names, const std::string& preselect) {
    if (preselect.empty()) return -1;
    int found = -1;
    const std::string wanted = vb::UCase(preselect);
    for (size_t i = 0; i < names.size(); ++i)
        if (vb::UCase(names[i]) == wanted) found = int(i);
    return found;
}

std::vector<std::string> FieldNamesOf(const db::Recordset& rs) {
    std::vector<std::string> names;
    for (int i = 0; i < rs.FieldCount(); ++i) names.push_back(rs.Fields(i).Name);
    return names;
}

void ApplyDiscretizedRule(const std::vector<std::string>& names, std::vector<bool>& selected) {
    for (const std::string& name : names) {
        if (name.size() < 2 || name.compare(name.size() - 2, 2, "_d") != 0) continue;
        const std::string base = name.substr(0, name.size() - 2);
        const auto it = std::find(names.begin(), names.end(), base);
        if (it != names.end()) selected[size_t(it - names.begin())] = false;
    }
}

OdbcLists MakeOdbcLists(const std::function<std::vector<db::OdbcDataSource>()>& dataSources,
                        const std::function<std::vector<db::OdbcDriver>()>& drivers) {
    OdbcLists lists;
    lists.dataSources.push_back("(None)");
    try {
        for (const db::OdbcDataSource& s : dataSources()) {
            if (s.name.find_first_not_of(' ') == std::string::npos) continue;
            lists.dataSources.push_back(s.name);
            lists.drivers.push_back(s.driver);
        }
    } catch (const std::exception&) {
        // No environment: "(None)" alone.
    }
    lists.drivers.erase(std::unique(lists.drivers.begin(), lists.drivers.end()), lists.drivers.end());
    try {
        for (const db::OdbcDriver& d : drivers())
            if (std::find(lists.drivers.begin(), lists.drivers.end(), d.name) == lists.drivers.end())
                lists.drivers.push_back(d.name);
    } catch (const std::exception&) {
        // The data sources' drivers are all there is.
    }
    return lists;
}

OdbcLists InstalledOdbcLists() { return MakeOdbcLists(db::OdbcDataSources, db::OdbcDrivers); }

std::string OdbcValue(const std::string& value) {
    if (value.find(';') == std::string::npos && (value.empty() || value[0] != '{')) return value;
    std::string out = "{";
    for (char c : value) {
        out += c;
        if (c == '}') out += '}';
    }
    return out + "}";
}

std::optional<std::string> BuildOdbcConnect(const OdbcValues& v) {
    std::string connect;
    if (v.dsnIndex < 1) {
        if (v.driver.empty()) return std::nullopt;
        connect = "ODBC;Driver=" + OdbcValue(v.driver) + ";Server=" + OdbcValue(v.server) + ";";
    } else {
        connect = "ODBC;DSN=" + OdbcValue(v.dsn) + ";";
    }
    // An empty box leaves its key out: "UID=;" would hand the driver an empty user name in
    // place of the one the data source stores. A typed value still overrides the stored one.
    if (!v.uid.empty()) connect += "UID=" + OdbcValue(v.uid) + ";";
    if (!v.pwd.empty()) connect += "PWD=" + OdbcValue(v.pwd) + ";";
    if (!v.database.empty()) connect += "Database=" + OdbcValue(v.database) + ";";
    return connect;
}

}  // namespace wizard
