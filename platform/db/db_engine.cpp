// Opening, creating and repairing databases: the connect text chooses the back end (ODBC
// sources, imported formats, or for the empty connect and ";PWD=..." texts a file that is an
// Access file or a SQLite file by its first bytes).
#include <fmt/format.h>

#include "platform/db/importers.h"
#include "platform/db/odbc.h"
#include "platform/db/sqlite_backend.h"
#include "platform/vb/strings.h"

namespace db {
namespace {

// The format word of a Jet connect text: "TEXT" for "Text;HDR=NO", "" for ";PWD=x" or "".
std::string FormatWord(const std::string& connect) {
    std::string t = vb::Trim(connect);
    return vb::UCase(vb::Trim(t.substr(0, t.find(';'))));
}

bool StartsWithOdbc(const std::string& text) { return vb::UCase(vb::Trim(text)).rfind("ODBC", 0) == 0; }

}  // namespace

std::shared_ptr<Database> DBEngine::OpenDatabase(const std::string& name, bool exclusive, bool readOnly,
                                                 const std::string& connect) {
    if (StartsWithOdbc(connect)) return OpenOdbcDatabase(connect, readOnly);
    if (connect.empty() && StartsWithOdbc(name)) return OpenOdbcDatabase(name, readOnly);
    const std::string format = FormatWord(connect);
    if (format == "TEXT") return OpenTextDatabase(name, connect);
    if (format.rfind("DBASE", 0) == 0 || format.rfind("FOXPRO", 0) == 0) return OpenDbaseDatabase(name, connect);
    if (format == "EXCEL 3.0" || format == "EXCEL 4.0" || format == "EXCEL 5.0" || format == "EXCEL 8.0")
        return OpenExcelDatabase(name, connect);
    if (!format.empty())
        throw Error(errnum::kNoInstallableIsam,
                    fmt::format("Could not find installable ISAM. The format '{}' cannot be read here.",
                                vb::Trim(connect.substr(0, connect.find(';')))));
    if (IsAccessFile(name)) return OpenAccessDatabase(name, connect);
    auto conn = sqlite::OpenConnection(name, readOnly, false);
    if (exclusive) conn->Run("PRAGMA locking_mode = EXCLUSIVE");
    return std::make_shared<sqlite::SqliteDatabase>(std::move(conn), "", readOnly);
}

std::shared_ptr<Database> DBEngine::CreateDatabase(const std::string& name) {
    return std::make_shared<sqlite::SqliteDatabase>(sqlite::OpenConnection(name, false, true), "", false);
}

void DBEngine::RepairDatabase(const std::string& name) {
    if (IsAccessFile(name))
        throw Error(errnum::kReadOnly, fmt::format("Cannot update. Database or object is read-only: '{}' is an Access "
                                                   "file, which is only read here and cannot be repaired.",
                                                   name));
    auto conn = sqlite::OpenConnection(name, false, false, /*verify=*/false);
    auto healthy = [&] {
        sqlite3_stmt* raw = nullptr;
        if (sqlite3_prepare_v2(conn->handle(), "PRAGMA integrity_check", -1, &raw, nullptr) != SQLITE_OK) {
            sqlite3_finalize(raw);
            return false;
        }
        bool ok = sqlite3_step(raw) == SQLITE_ROW &&
                  std::string(reinterpret_cast<const char*>(sqlite3_column_text(raw, 0))) == "ok";
        sqlite3_finalize(raw);
        return ok;
    };
    // Broken indexes are rebuilt from their tables; damage to the tables themselves is not
    // guessed at: the file is left as it is and the caller told.
    if (!healthy()) {
        sqlite3_exec(conn->handle(), "REINDEX", nullptr, nullptr, nullptr);
        if (!healthy())
            throw Error(errnum::kDamaged,
                        fmt::format("The database '{}' is damaged and could not be repaired; the file was left "
                                    "unchanged.",
                                    name));
    }
    conn->Run("VACUUM");
}

Workspace DBEngine::CreateWorkspace(const std::string& name, const std::string& user, const std::string& /*password*/,
                                    int16_t type) {
    Workspace ws;
    ws.Name = name;
    ws.UserName = user;
    ws.Type = type;
    return ws;
}

std::shared_ptr<Database> Workspace::OpenDatabase(const std::string& name, bool exclusive, bool readOnly,
                                                  const std::string& connect) const {
    return DBEngine::OpenDatabase(name, exclusive, readOnly, connect);
}

}  // namespace db
