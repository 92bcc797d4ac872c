// A folder of files as a read-only database (Jet's text and dBase connects): each file of the
// format is a table named by its base name, read by the format's importer into an in-memory
// SQLite table the first time a query names it and from then on answered like any SQLite
// table. Nothing is written back; the database can still be the source of a copy into a file.
#include <dirent.h>
#include <fmt/format.h>
#include <sys/stat.h>

#include <algorithm>
#include <functional>
#include <map>
#include <set>

#include "platform/db/column_types.h"
#include "platform/db/importers.h"
#include "platform/db/sqlite_backend.h"
#include "platform/vb/strings.h"

namespace db {
namespace {

using Importer = std::function<ImportedTable(const std::string& path)>;

class FolderDatabase : public sqlite::SqliteDatabase {
public:
    FolderDatabase(std::string folder, std::string connect, std::vector<std::string> extensions, Importer importer)
        : SqliteDatabase(sqlite::OpenConnection(":memory:", false, true), std::move(connect), /*readOnly=*/true),
          folder_(std::move(folder)),
          extensions_(std::move(extensions)),
          importer_(std::move(importer)) {}

    std::string Name() const override { return folder_; }

    std::vector<std::string> TableNames() override {
        CheckOpen();
        std::vector<std::string> names;
        for (const auto& [key, file] : Files()) names.push_back(file.table);
        return names;
    }

protected:
    void PrepareTable(const std::string& name) override {
        const std::string key = vb::UCase(name);
        if (loaded_.count(key)) return;
        auto files = Files();
        auto it = files.find(key);
        if (it == files.end()) return;  // the lookup then reports the missing table
        Store(it->second.table, it->second.path, importer_(it->second.path));
        loaded_.insert(key);
    }

private:
    struct FileEntry {
        std::string path;
        std::string table;
    };

    // The folder's files of the format by upper-cased table name; a second file with the same
    // base name (cars.txt after cars.csv) is the table "base#ext".
    std::map<std::string, FileEntry> Files() const {
        std::vector<std::string> names;
        if (DIR* dir = ::opendir(folder_.c_str())) {
            while (dirent* e = ::readdir(dir)) names.emplace_back(e->d_name);
            ::closedir(dir);
        }
        std::sort(names.begin(), names.end());
        std::map<std::string, FileEntry> out;
        for (const std::string& n : names) {
            size_t dot = n.rfind('.');
            if (dot == std::string::npos || dot == 0) continue;
            std::string ext = vb::UCase(n.substr(dot + 1));
            if (std::find(extensions_.begin(), extensions_.end(), ext) == extensions_.end()) continue;
            std::string path = folder_ + "/" + n;
            struct stat st {};
            if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
            std::string table = n.substr(0, dot);
            if (out.count(vb::UCase(table))) table += "#" + n.substr(dot + 1);
            out.emplace(vb::UCase(table), FileEntry{path, table});
        }
        return out;
    }

    // The imported rows as a table of the in-memory database. Its errors name the file: the
    // user knows the file, not the database it is copied into.
    void Store(const std::string& table, const std::string& path, const ImportedTable& data) {
        sqlite::Connection& conn = *connection();
        const int maxColumns = sqlite3_limit(conn.handle(), SQLITE_LIMIT_COLUMN, -1);
        if (data.fields.size() > size_t(maxColumns))
            throw Error(3190, fmt::format("Too many fields defined: the file '{}' has {} columns, more than the {} "
                                          "a table can hold.",
                                          path, data.fields.size(), maxColumns));
        try {
            StoreRows(conn, table, data);
        } catch (const Error& e) {
            throw Error(e.number(), fmt::format("The file '{}' cannot be read as a table: {}", path, e.description()));
        }
        SchemaChanged();
    }

    void StoreRows(sqlite::Connection& conn, const std::string& table, const ImportedTable& data) {
        conn.Run("BEGIN");
        try {
            std::string ddl = "CREATE TABLE " + sqlite::QuoteName(table) + " (";
            std::string marks;
            for (size_t c = 0; c < data.fields.size(); ++c) {
                ddl += (c ? ", " : "") + sqlite::QuoteName(data.fields[c].Name) + " " +
                       DeclaredTypeFor(data.fields[c].Type, data.fields[c].Size);
                marks += c ? ", ?" : "?";
            }
            if (data.fields.empty()) throw Error(3274, fmt::format("External table isn't in the expected format: '{}' has no fields.", table));
            conn.Run(ddl + ")");
            sqlite::Statement insert(conn, "INSERT INTO " + sqlite::QuoteName(table) + " VALUES (" + marks + ")");
            for (const auto& row : data.rows) {
                for (size_t c = 0; c < data.fields.size(); ++c)
                    sqlite::BindValue(insert.get(), int(c) + 1, c < row.size() ? row[c] : Value());
                insert.Step();
                sqlite3_reset(insert.get());
            }
            conn.Run("COMMIT");
        } catch (...) {
            conn.Run("ROLLBACK");
            throw;
        }
    }

    std::string folder_;
    std::vector<std::string> extensions_;
    Importer importer_;
    std::set<std::string> loaded_;
};

void CheckFolder(const std::string& folder) {
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        throw Error(3044, fmt::format("'{}' is not a valid path. Make sure that the path name is spelled correctly "
                                      "and that you are connected to the server on which the file resides.",
                                      folder));
}

}  // namespace

std::shared_ptr<Database> OpenTextDatabase(const std::string& folder, const std::string& connect) {
    CheckFolder(folder);
    const std::string upper = vb::UCase(connect);
    const bool header = upper.find("HDR=NO") == std::string::npos;
    char delimiter = 0;
    if (upper.find("FMT=TABDELIMITED") != std::string::npos) delimiter = '\t';
    else if (upper.find("FMT=CSVDELIMITED") != std::string::npos) delimiter = ',';
    else if (size_t p = upper.find("FMT=DELIMITED("); p != std::string::npos && p + 15 < connect.size() &&
                                                     connect[p + 15] == ')')
        delimiter = connect[p + 14];
    return std::make_shared<FolderDatabase>(
        folder, connect, std::vector<std::string>{"TXT", "CSV", "TAB", "ASC"},
        [header, delimiter](const std::string& path) { return ReadDelimitedFile(path, header, delimiter); });
}

std::shared_ptr<Database> OpenDbaseDatabase(const std::string& folder, const std::string& connect) {
    CheckFolder(folder);
    return std::make_shared<FolderDatabase>(folder, connect, std::vector<std::string>{"DBF"}, ReadDbfFile);
}

}  // namespace db
