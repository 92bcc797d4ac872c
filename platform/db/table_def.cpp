// Field lookup in a table definition, and the schema changes every back end can make through
// its own Jet DDL.
#include <fmt/format.h>

#include "platform/db/column_types.h"
#include "platform/db/database.h"
#include "platform/db/sql_names.h"
#include "platform/vb/strings.h"

namespace db {

const Field& TableDef::FieldByName(const std::string& name) const {
    const std::string wanted = vb::UCase(name);
    for (const Field& f : Fields)
        if (vb::UCase(f.Name) == wanted) return f;
    throw Error(errnum::kItemNotFound,
                fmt::format("Item not found in this collection: the table '{}' has no field '{}'.", Name, name));
}

void Database::AppendField(const std::string& table, const Field& field) {
    Execute("ALTER TABLE " + SqlName(table, NameKind::Table) + " ADD COLUMN " + SqlName(field.Name) + " " +
            JetTypeName(field.Type, field.Size));
}

void Database::DeleteTable(const std::string& table) { Execute("DROP TABLE " + SqlName(table, NameKind::Table)); }

std::vector<std::string> Database::TableDefNames() { return TableNames(); }

std::vector<std::string> Database::QueryDefNames() { return {}; }

std::unique_ptr<GroupCounter> Database::GroupCounts(const std::string&, const std::string&, const std::string&,
                                                    const std::vector<std::string>&) {
    return nullptr;
}

}  // namespace db
