// Access files (.mdb, .accdb) read through libmdb: the catalog gives the tables, and a table is
// read whole, row by row, the first time a query names it. Numbers and dates are taken from the
// row's bytes as they are stored (so a Single or a date keeps every bit); texts as libmdb
// converts them to UTF-8. libmdb reads no query definitions, so an Access file has none here.
#include <fmt/format.h>
#include <mdbtools.h>

#include <cstring>
#include <fstream>
#include <memory>

#include "platform/db/imported_database.h"
#include "platform/vb/strings.h"

namespace db {
namespace {

// Room for one cell's text: a memo holds up to 65535 characters, up to 3 bytes each in UTF-8.
constexpr size_t kBindSize = 200000;

using Handle = std::shared_ptr<MdbHandle>;

Error Damaged(const std::string& file, const std::string& what) {
    return Error(errnum::kDamaged, fmt::format("Cannot open database '{}'. It may not be a database that your "
                                               "application recognizes, or the file may be corrupt ({}).",
                                               file, what));
}

// libmdb's column types are Jet's type codes; the kinds Jet added later are read as the
// nearest of ours.
FieldType JetType(int columnType) {
    switch (columnType) {
        case MDB_BOOL: return dbBoolean;
        case MDB_BYTE: return dbByte;
        case MDB_INT: return dbInteger;
        case MDB_LONGINT: return dbLong;
        case MDB_MONEY: return dbCurrency;
        case MDB_FLOAT: return dbSingle;
        case MDB_DOUBLE: return dbDouble;
        case MDB_DATETIME: return dbDate;
        case MDB_BINARY: return dbBinary;
        case MDB_TEXT: return dbText;
        case MDB_OLE: return dbLongBinary;
        case MDB_MEMO: return dbMemo;
        case MDB_NUMERIC: return dbDouble;  // decimal
        case MDB_COMPLEX: return dbLong;    // an attachment or multi-valued field: its id
        default: return dbText;             // replication ids, as their text
    }
}

// Access marks its own objects with either bit of the catalog's flags (its complex-field tables
// among them); a name beginning "MSys" is Access's too.
constexpr uint32_t kSystemObjectFlags = 0x80000002u;

bool IsSystemObject(const std::string& name, uint32_t flags) {
    return (flags & kSystemObjectFlags) != 0 || vb::UCase(name).rfind("MSYS", 0) == 0;
}

struct CatalogTable {
    std::string name;
    uint32_t flags = 0;
};

// One cell of the row libmdb has just fetched: the bound text, or the stored bytes at the
// column's place in the page buffer.
Value Cell(MdbHandle* mdb, const MdbColumn* col, const char* text, int length) {
    if (col->col_type == MDB_BOOL) return Value(std::strcmp(text, mdb->boolean_true_value) == 0);
    if (length == 0 || col->cur_value_len == 0) return Value();
    const int at = col->cur_value_start;
    switch (col->col_type) {
        case MDB_BYTE: return Value(int16_t(mdb_get_byte(mdb->pg_buf, at)));
        case MDB_INT: return Value(int16_t(mdb_get_int16(mdb->pg_buf, at)));
        case MDB_LONGINT: return Value(int32_t(mdb_get_int32(mdb->pg_buf, at)));
        case MDB_MONEY: {
            int64_t money;  // ten-thousandths, little-endian
            std::memcpy(&money, mdb->pg_buf + at, sizeof money);
            return Value(double(money) / 10000.0);
        }
        case MDB_FLOAT: return Value(mdb_get_single(mdb->pg_buf, at));
        case MDB_DOUBLE: return Value(mdb_get_double(mdb->pg_buf, at));
        case MDB_DATETIME: return Value(Date{mdb_get_double(mdb->pg_buf, at)});  // days since 1899-12-30
        case MDB_NUMERIC:
        case MDB_COMPLEX:
            try {
                double d = vb::ParseDouble(text);
                return col->col_type == MDB_COMPLEX ? Value(int32_t(d)) : Value(d);
            } catch (...) {
                return Value();
            }
        case MDB_OLE: return Value();  // OLE objects are not read
        case MDB_BINARY: return Value(std::string(reinterpret_cast<const char*>(mdb->pg_buf) + at, size_t(col->cur_value_len)));
        default: return Value(std::string(text, size_t(length)));
    }
}

ImportedTable ReadTable(const Handle& mdb, const std::string& file, const std::string& name) {
    std::vector<char> wanted(name.begin(), name.end());
    wanted.push_back('\0');
    std::unique_ptr<MdbTableDef, void (*)(MdbTableDef*)> table(
        mdb_read_table_by_name(mdb.get(), wanted.data(), MDB_TABLE), mdb_free_tabledef);
    if (!table || !mdb_read_columns(table.get())) throw Damaged(file, fmt::format("table '{}' cannot be read", name));
    mdb_rewind_table(table.get());

    const unsigned count = table->num_cols;
    ImportedTable out;
    std::vector<std::vector<char>> bound(count, std::vector<char>(kBindSize));
    std::vector<int> lengths(count, 0);
    std::vector<const MdbColumn*> columns(count);
    for (unsigned c = 0; c < count; ++c) {
        columns[c] = static_cast<const MdbColumn*>(g_ptr_array_index(table->columns, c));
        mdb_bind_column(table.get(), int(c) + 1, bound[c].data(), &lengths[c]);
        Field f;
        f.Name = columns[c]->name;
        f.Type = JetType(columns[c]->col_type);
        // libmdb reports a text's size in bytes of its UCS-2 storage (Access 2000 and later).
        f.Size = f.Type == dbText ? (mdb->f->jet_version == MDB_VER_JET3 ? columns[c]->col_size : columns[c]->col_size / 2) : 0;
        if (f.Type == dbText && f.Size <= 0) f.Size = 255;
        out.fields.push_back(std::move(f));
    }
    while (mdb_fetch_row(table.get())) {
        std::vector<Value> row;
        row.reserve(count);
        for (unsigned c = 0; c < count; ++c) row.push_back(Cell(mdb.get(), columns[c], bound[c].data(), lengths[c]));
        out.rows.push_back(std::move(row));
    }
    return out;
}

class AccessDatabase : public ImportedDatabase {
public:
    AccessDatabase(const std::string& file, std::string connect, Handle mdb, std::vector<CatalogTable> tables)
        : ImportedDatabase(file, std::move(connect)), mdb_(std::move(mdb)) {
        for (const CatalogTable& t : tables)
            sources_.emplace(vb::UCase(t.name),
                             Source{t.name, [mdb = mdb_, file, name = t.name] { return ReadTable(mdb, file, name); },
                                    IsSystemObject(t.name, t.flags)});
    }

protected:
    std::map<std::string, Source> Sources() const override { return sources_; }

private:
    Handle mdb_;
    std::map<std::string, Source> sources_;
};

}  // namespace

bool IsAccessFile(const std::string& path) {
    char head[19] = {};
    std::ifstream in(path, std::ios::binary);
    if (!in.read(head, sizeof head)) return false;
    return std::memcmp(head + 4, "Standard Jet DB", 15) == 0 || std::memcmp(head + 4, "Standard ACE DB", 15) == 0;
}

std::shared_ptr<Database> OpenAccessDatabase(const std::string& file, const std::string& connect) {
    Handle mdb(mdb_open(file.c_str(), MDB_NOFLAGS), [](MdbHandle* h) {
        if (h) mdb_close(h);
    });
    if (!mdb) throw Damaged(file, "its header cannot be read");
    // Access 2007 and later encrypt the pages of a file with a password with a key that libmdb
    // does not have: the catalog would read as noise. (An older file's password is only a
    // check that Access makes; libmdb reads such a file without it.)
    if (mdb->f->jet_version >= MDB_VER_ACCDB_2007 && mdb->f->db_key != 0)
        throw Error(errnum::kCannotOpenFile,
                    fmt::format("Cannot open '{}': the file is encrypted with a database password, and encrypted "
                                "Access 2007 and later files cannot be read here. Remove the password in Access "
                                "and open it again.",
                                file));
    mdb_set_bind_size(mdb.get(), kBindSize);
    if (!mdb_read_catalog(mdb.get(), MDB_TABLE)) throw Damaged(file, "its catalog cannot be read");
    std::vector<CatalogTable> tables;
    for (unsigned i = 0; i < mdb->num_catalog; ++i) {
        auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
        if (entry->object_type == MDB_TABLE) tables.push_back({entry->object_name, uint32_t(entry->flags)});
    }
    return std::make_shared<AccessDatabase>(file, connect, std::move(mdb), std::move(tables));
}

}  // namespace db
