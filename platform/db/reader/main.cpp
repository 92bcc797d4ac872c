// bns_reader: reads Access files through libmdb for the database layer, in a process of its
// own, and answers in the frames of platform/db/reader_frames.h. libmdb can loop without end
// or crash on a damaged file; here that costs only this process, which the layer stops after
// its time limit and replaces. Its warnings go to standard error, which the layer discards.
//
//   bns_reader serve [PARENT-PID]
//
// ends when the program PARENT-PID ends (reader/lifetime.h), and reads requests from standard input, one frame each (a uint32 count of texts and the texts),
// and writes each answer to standard output, until standard input ends:
//
//   access-catalog FILE        the tables (name, catalog flags), then the queries and the
//                              linked tables
//   access-table FILE TABLE    the table's fields, then its rows
//   excel-book FILE            the workbook's sheets (reader/xls_file.h)
//   excel-sheet FILE N         one sheet's first row, fields and rows
//
// Numbers and dates are taken from the row's bytes as they are stored (so a Single or a date
// keeps every bit). Texts of Access 97 files as libmdb converts them from the file's code page
// to UTF-8; texts of later files, and the columns libmdb cannot read, as access_cells.h
// decodes them.
#include <strings.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "platform/db/reader/access_cells.h"
#include "platform/db/reader/lifetime.h"
#include "platform/db/reader/xls_file.h"
#include "platform/db/reader_frames.h"
// Last: it wraps glib, which includes C++ headers of its own, in extern "C"; included first,
// they are already there.
#include <mdbtools.h>

namespace {

using namespace db::frames;

// Room for one cell's text: a memo holds up to 65535 characters, up to 3 bytes each in UTF-8.
constexpr size_t kBindSize = 200000;

// Frames go out in blocks: the layer reads them as they come, and a block that arrives tells
// it the reader is still making progress. A block also goes out when a quarter of a second has
// passed since the last, so that slow rows (a busy machine, a sanitized build) still show
// progress well within the layer's wait for the next bytes.
class Output {
public:
    ~Output() { Flush(); }
    void Frame(Tag tag, const Payload& p = Payload()) {
        AppendFrame(buffer_, tag, p.data());
        if (buffer_.size() >= (64u << 10) || std::chrono::steady_clock::now() - sent_ >= std::chrono::milliseconds(250))
            Flush();
    }
    void Flush() {
        sent_ = std::chrono::steady_clock::now();
        size_t done = 0;
        while (done < buffer_.size()) {
            const ssize_t n = ::write(STDOUT_FILENO, buffer_.data() + done, buffer_.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) std::_Exit(3);  // the layer has stopped listening
            done += size_t(n);
        }
        buffer_.clear();
    }

private:
    std::string buffer_;
    std::chrono::steady_clock::time_point sent_ = std::chrono::steady_clock::now();
};

Output out;

// A request that cannot be answered: its answer is a failure frame, and the next request is
// read as usual.
struct Failed {
    Failure kind;
    std::string what;
};

[[noreturn]] void Fail(Failure kind, const std::string& what) { throw Failed{kind, what}; }

using Handle = std::unique_ptr<MdbHandle, void (*)(MdbHandle*)>;

Handle Open(const char* file) {
    Handle mdb(mdb_open(file, MDB_NOFLAGS), [](MdbHandle* h) {
        if (h) mdb_close(h);
    });
    if (!mdb) Fail(kDamaged, "its header cannot be read");
    // Access 2007 and later encrypt the pages of a file with a password with a key that libmdb
    // does not have: the catalog would read as noise. (An older file's password is only a
    // check that Access makes; libmdb reads such a file without it.)
    if (mdb->f->jet_version >= MDB_VER_ACCDB_2007 && mdb->f->db_key != 0) Fail(kEncrypted, "");
    if (!mdb_read_catalog(mdb.get(), MDB_TABLE)) Fail(kDamaged, "its catalog cannot be read");
    return mdb;
}

// libmdb's column types are Jet's type codes; the kinds Jet added later are read as the
// nearest of ours.
uint8_t JetType(int columnType) {
    switch (columnType) {
        case MDB_BOOL:
        case MDB_BYTE:
        case MDB_INT:
        case MDB_LONGINT:
        case MDB_MONEY:
        case MDB_FLOAT:
        case MDB_DOUBLE:
        case MDB_DATETIME:
        case MDB_BINARY:
        case MDB_TEXT:
        case MDB_OLE:
        case MDB_MEMO: return uint8_t(columnType);
        case MDB_NUMERIC: return MDB_DOUBLE;   // decimal
        case MDB_COMPLEX: return MDB_LONGINT;  // an attachment or multi-valued field: its id
        default: return MDB_TEXT;              // replication ids, as their text
    }
}

// A number libmdb gives as text ("." as the decimal point: this process keeps the C locale).
bool ParseNumber(const char* text, double& d) {
    char* end = nullptr;
    errno = 0;
    d = std::strtod(text, &end);
    return end != text && *end == '\0' && errno == 0;
}

// One cell of the row libmdb has just fetched: the bound text, or the stored bytes at the
// column's place in the page buffer.
void PutCell(Payload& p, MdbHandle* mdb, const MdbColumn* col, const char* text, int length) {
    if (col->col_type == MDB_BOOL) {
        p.Put(uint8_t(kBoolean));
        p.Put(uint8_t(std::strcmp(text, mdb->boolean_true_value) == 0));
        return;
    }
    if (length == 0 || col->cur_value_len == 0) return p.Put(uint8_t(kNull));
    const int at = col->cur_value_start;
    switch (col->col_type) {
        case MDB_BYTE: p.Put(uint8_t(kInteger)); p.Put(int16_t(mdb_get_byte(mdb->pg_buf, at))); return;
        case MDB_INT: p.Put(uint8_t(kInteger)); p.Put(int16_t(mdb_get_int16(mdb->pg_buf, at))); return;
        case MDB_LONGINT: p.Put(uint8_t(kLong)); p.Put(int32_t(mdb_get_int32(mdb->pg_buf, at))); return;
        case MDB_MONEY: {
            int64_t money;  // ten-thousandths, little-endian
            std::memcpy(&money, mdb->pg_buf + at, sizeof money);
            p.Put(uint8_t(kDouble));
            p.Put(double(money) / 10000.0);
            return;
        }
        case MDB_FLOAT: p.Put(uint8_t(kSingle)); p.Put(mdb_get_single(mdb->pg_buf, at)); return;
        case MDB_DOUBLE: p.Put(uint8_t(kDouble)); p.Put(mdb_get_double(mdb->pg_buf, at)); return;
        case MDB_DATETIME:  // days since 1899-12-30
            p.Put(uint8_t(kDate));
            p.Put(mdb_get_double(mdb->pg_buf, at));
            return;
        case MDB_NUMERIC:
        case MDB_COMPLEX: {
            double d;
            if (!ParseNumber(text, d)) return p.Put(uint8_t(kNull));
            if (col->col_type == MDB_COMPLEX) {
                p.Put(uint8_t(kLong));
                p.Put(int32_t(d));
            } else {
                p.Put(uint8_t(kDouble));
                p.Put(d);
            }
            return;
        }
        case MDB_OLE: return p.Put(uint8_t(kNull));  // OLE objects are not read
        case MDB_BINARY:
            p.Put(uint8_t(kText));
            p.PutText(std::string_view(reinterpret_cast<const char*>(mdb->pg_buf) + at, size_t(col->cur_value_len)));
            return;
        default: p.Put(uint8_t(kText)); p.PutText(std::string_view(text, size_t(length)));
    }
}

using Table = std::unique_ptr<MdbTableDef, void (*)(MdbTableDef*)>;

using How = db::access::ColumnReading::How;

struct Column {
    const MdbColumn* col = nullptr;
    db::access::ColumnReading reading;
};

Table ReadColumns(MdbHandle* mdb, const std::string& name) {
    std::vector<char> wanted(name.begin(), name.end());
    wanted.push_back('\0');
    Table table(mdb_read_table_by_name(mdb, wanted.data(), MDB_TABLE), mdb_free_tabledef);
    if (!table || !mdb_read_columns(table.get())) return Table(nullptr, mdb_free_tabledef);
    return table;
}

// The table's fields and rows, each row handed to `row` as its cells. The cells libmdb cannot
// read right are decoded from the row's own bytes (access_cells.h): those columns are left
// unbound, so that libmdb does not convert them too.
template <typename FieldFn, typename RowFn>
bool ReadRows(MdbHandle* mdb, const std::string& name, FieldFn field, RowFn row) {
    Table table = ReadColumns(mdb, name);
    if (!table) return false;
    mdb_rewind_table(table.get());
    const unsigned count = table->num_cols;
    std::vector<std::vector<char>> bound(count);
    std::vector<int> lengths(count, 0);
    std::vector<Column> columns(count);
    bool cracked = false;
    for (unsigned c = 0; c < count; ++c) {
        Column& column = columns[c];
        column.col = static_cast<const MdbColumn*>(g_ptr_array_index(table->columns, c));
        column.reading = db::access::ReadingOf(*column.col, mdb->f->jet_version == MDB_VER_JET3);
        if (column.reading.how == How::Libmdb) {
            bound[c].resize(kBindSize);
            mdb_bind_column(table.get(), int(c) + 1, bound[c].data(), &lengths[c]);
            // libmdb reports a text's size in bytes of its UCS-2 storage (Access 2000 and later).
            const int size = mdb->f->jet_version == MDB_VER_JET3 ? column.col->col_size : column.col->col_size / 2;
            field(column.col->name, JetType(column.col->col_type), int32_t(size), "");
            cracked = cracked || column.reading.emptyApartFromNull;
        } else {
            cracked = true;
            field(column.col->name, column.reading.jetType, column.reading.size, column.reading.unreadable);
        }
    }
    std::vector<MdbField> fields(count);
    while (mdb_fetch_row(table.get())) {
        // The row just read is the one before the table's current row, on the page in the
        // buffer: cracked again here for the places and Null flags of the decoded columns.
        // A row written before a column was added holds fewer columns: those read as Null.
        if (cracked) {
            int start = 0;
            size_t size = 0;
            for (MdbField& f : fields) {
                f = MdbField{};
                f.is_null = 1;
            }
            if (mdb_find_row(mdb, int(table->cur_row) - 1, &start, &size) != 0 ||
                mdb_crack_row(table.get(), start, size, fields.data()) <= 0)
                Fail(kDamaged, "a row of table '" + name + "' cannot be read");
        }
        row(columns, bound, lengths, fields);
    }
    return true;
}

void SendTable(const char* file, const std::string& name) {
    Handle mdb = Open(file);
    mdb_set_bind_size(mdb.get(), kBindSize);
    Payload p;
    const bool read = ReadRows(
        mdb.get(), name,
        [&](const char* field, uint8_t type, int32_t size, const std::string& unreadable) {
            p.clear();
            p.Put(type);
            p.Put(size);
            p.PutText(field);
            if (!unreadable.empty()) p.PutText(unreadable);
            out.Frame(kField, p);
        },
        [&](const std::vector<Column>& columns, const std::vector<std::vector<char>>& bound,
            const std::vector<int>& lengths, const std::vector<MdbField>& fields) {
            p.clear();
            for (size_t c = 0; c < columns.size(); ++c) {
                if (columns[c].reading.how == How::Libmdb) {
                    if (columns[c].reading.emptyApartFromNull && !fields[c].is_null && lengths[c] == 0) {
                        p.Put(uint8_t(kText));
                        p.PutText("");
                    } else {
                        PutCell(p, mdb.get(), columns[c].col, bound[c].data(), lengths[c]);
                    }
                    continue;
                }
                try {
                    db::access::PutDecodedCell(p, mdb.get(), columns[c].reading, fields[c]);
                } catch (const db::access::BadCell& e) {
                    Fail(kDamaged, "table '" + name + "', field '" + columns[c].col->name + "': " + e.what());
                }
            }
            out.Frame(kRow, p);
        });
    if (!read) Fail(kDamaged, "table '" + name + "' cannot be read");
    out.Frame(kEnd);
}

// The queries of MSysObjects (type 5) by id, with their catalog flags, and the linked tables
// (type 6 to a file, 4 to an ODBC source), which libmdb's catalog leaves out. Only the columns
// asked for are bound, at libmdb's default bind size, so that the catalog stays quick to read.
// A catalog table that cannot be read leaves the file without queries and links: its tables
// still open.
void SendQueries(MdbHandle* mdb) {
    Table table = ReadColumns(mdb, "MSysObjects");
    if (!table) return;
    mdb_rewind_table(table.get());
    struct Column {
        const char* name;
        bool needed = false;
        std::vector<char> text = std::vector<char>(MDB_BIND_SIZE);
        int length = 0;
        std::string_view Text() const { return std::string_view(text.data(), size_t(std::max(length, 0))); }
    };
    Column name{"Name", true}, type{"Type", true}, id{"Id", true}, flags{"Flags"}, database{"Database"},
        connect{"Connect"}, foreign{"ForeignName"};
    for (Column* c : {&name, &type, &id, &flags, &database, &connect, &foreign})
        if (mdb_bind_column_by_name(table.get(), const_cast<char*>(c->name), c->text.data(), &c->length) < 0 &&
            c->needed)
            return;
    auto number = [](const Column& c, double& d) { return c.length > 0 && ParseNumber(c.text.data(), d); };
    std::vector<Payload> queries, links;
    while (mdb_fetch_row(table.get())) {
        double t, i, f = 0;
        if (!number(type, t)) continue;
        number(flags, f);
        if (t == double(kLinkedFile) || t == double(kLinkedOdbc)) {
            Payload p;
            p.Put(uint8_t(t));
            p.Put(uint32_t(int64_t(f)));
            p.PutText(name.Text());
            p.PutText(database.Text());
            p.PutText(connect.Text());
            p.PutText(foreign.Text());
            links.push_back(std::move(p));
        }
        if (t != 5 || !number(id, i)) continue;
        Payload p;
        p.Put(int32_t(i));
        p.Put(uint32_t(int64_t(f)));
        p.PutText(name.Text());
        queries.push_back(std::move(p));
    }
    for (const Payload& q : queries) out.Frame(kQuery, q);
    for (const Payload& l : links) out.Frame(kLink, l);
}

void SendCatalog(const char* file) {
    Handle mdb = Open(file);
    for (unsigned i = 0; i < mdb->num_catalog; ++i) {
        auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
        if (entry->object_type != MDB_TABLE) continue;
        Payload p;
        p.Put(uint32_t(entry->flags));
        p.PutText(entry->object_name);
        out.Frame(kTable, p);
    }
    // The tables are sent before the queries are looked for, so that a catalog table that
    // stops the reader still leaves the tables.
    out.Frame(kCatalogEnd);
    out.Flush();
    SendQueries(mdb.get());
    out.Frame(kEnd);
}

bool ReadAll(char* at, size_t n) {
    while (n > 0) {
        const ssize_t got = ::read(STDIN_FILENO, at, n);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        at += got;
        n -= size_t(got);
    }
    return true;
}

void SendFrame(Tag tag, const Payload& p) { out.Frame(tag, p); }

void SendFailure(Failure kind, const std::string& what) {
    Payload p;
    p.Put(uint8_t(kind));
    p.PutText(what);
    out.Frame(kFailed, p);
}

// The requests until standard input ends (the layer has closed its end, or ended).
int Serve() {
    for (;;) {
        char head[5];
        if (!ReadAll(head, sizeof head)) return 0;
        uint32_t length;
        std::memcpy(&length, head + 1, sizeof length);
        if (length > kMaxPayload) return 2;
        std::string payload(length, '\0');
        if (!ReadAll(payload.data(), length)) return 0;
        std::vector<std::string> args;
        try {
            Cursor c(payload);
            for (uint32_t n = c.Get<uint32_t>(); n > 0; --n) args.push_back(c.GetText());
        } catch (const std::out_of_range&) {
            return 2;
        }
        try {
            if (args.size() == 2 && args[0] == "access-catalog")
                SendCatalog(args[1].c_str());
            else if (args.size() == 3 && args[0] == "access-table")
                SendTable(args[1].c_str(), args[2]);
            else if (args.size() == 2 && args[0] == "excel-book")
                xls::SendBook(args[1], SendFrame);
            else if (args.size() == 3 && args[0] == "excel-sheet")
                xls::SendSheet(args[1], args[2], SendFrame);
            else
                Fail(kDamaged, "the reader does not know the request");
        } catch (const Failed& f) {
            SendFailure(f.kind, f.what);
        } catch (const xls::Refused& f) {
            SendFailure(f.kind, f.what);
        }
        out.Flush();
    }
}

}  // namespace

int main(int argc, char** argv) {
    if ((argc == 2 || argc == 3) && std::strcmp(argv[1], "serve") == 0) {
        reader::EndWithParent(argc == 3 ? argv[2] : nullptr);
        reader::ExitWhenOutOfMemory();
        try {
            return Serve();
        } catch (const std::bad_alloc&) {
            std::_Exit(kOutOfMemoryStatus);  // a half-written answer is not flushed
        }
    }
    std::fprintf(stderr, "usage: bns_reader serve [PARENT-PID] (requests on standard input, answers on standard output)\n");
    return 2;
}
