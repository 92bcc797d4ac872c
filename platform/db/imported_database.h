// A read-only database whose tables come from another format: a temporary SQLite database into
// which each table of the source streams from its importer the first time a query names it,
// and which from then on answers like any SQLite table. SQLite keeps the temporary database in
// its page cache and spills a large one to a file of its own, removed when the database is
// closed, so memory stays flat however many rows a table has. A folder of text or dBase files, an
// Access file and an Excel workbook are such databases. Nothing is written back; the database
// can still be the source of a copy into a file. Internal to the layer.
#pragma once

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/db/importers.h"
#include "platform/db/sqlite_backend.h"

namespace db {

class ImportedDatabase : public sqlite::SqliteDatabase {
public:
    ImportedDatabase(std::string name, std::string connect);

    std::string Name() const override { return name_; }
    // The source's tables by name without regard to case, its system tables left out.
    std::vector<std::string> TableNames() override;
    std::vector<std::string> TableDefNames() override { return TableNames(); }
    std::vector<std::string> QueryDefNames() override { return {}; }
    // Nothing is written back to the source, so there is nothing a transaction could keep.
    void BeginTrans() override;

protected:
    struct Source {
        std::string table;                  // the name as the lists show it
        std::function<void(TableSink&)> read;
        bool system = false;                // left out of the lists, still read when named
        std::string path;                   // the file it is read from, "" for the database's own
    };
    // The source's tables by upper-cased name, asked for at every listing and first use.
    virtual std::map<std::string, Source> Sources() const = 0;
    void PrepareTable(const std::string& name) override;

private:
    void Store(const std::string& table, const std::string& path, const Source& source);

    std::string name_;
    std::set<std::string> loaded_;
};

}  // namespace db
