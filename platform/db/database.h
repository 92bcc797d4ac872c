// The database layer's public shape: the objects the engines and programs use to read and write
// tables (DBEngine, Database, Recordset, TableDef, Field) and the typed Value that every cell is
// read as. Back ends (SQLite files, imported formats, ODBC) implement Database and Recordset;
// the engines see only these interfaces and send the Jet SQL texts, which each back end parses
// and renders in its own dialect.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "platform/vb/array.h"
#include "platform/vb/numbered_error.h"

namespace db {

// Jet's field type codes, as TableDefs(...).Fields(...).Type reports them.
enum FieldType : int16_t {
    dbBoolean = 1,
    dbByte = 2,
    dbInteger = 3,
    dbLong = 4,
    dbCurrency = 5,
    dbSingle = 6,
    dbDouble = 7,
    dbDate = 8,
    dbBinary = 9,
    dbText = 10,
    dbLongBinary = 11,
    dbMemo = 12,
};

// OpenRecordset types.
enum RecordsetType : int16_t {
    dbOpenDefault = 0,
    dbOpenTable = 1,
    dbOpenDynaset = 2,
    dbOpenSnapshot = 4,
    dbOpenForwardOnly = 8,
};

// A date as the runtime holds it: days since 1899-12-30, the fraction the time of day.
struct Date {
    double serial = 0;
    bool operator==(const Date& o) const { return serial == o.serial; }
};

// A cell: Null or one typed value. Integer cells are also what CodeRows writes into a count
// block in place of the raw values.
class Value {
public:
    enum class Kind : uint8_t { Null, Boolean, Integer, Long, Single, Double, Date, Text };

    Value() = default;
    static Value Null() { return Value(); }
    Value(bool b) : v_(b) {}
    Value(int16_t i) : v_(i) {}
    Value(int32_t l) : v_(l) {}
    Value(float s) : v_(s) {}
    Value(double d) : v_(d) {}
    Value(Date d) : v_(d) {}
    Value(std::string t) : v_(std::move(t)) {}
    Value(const char* t) : v_(std::string(t)) {}

    Kind kind() const { return Kind(v_.index()); }
    bool IsNull() const { return v_.index() == 0; }
    bool IsNumeric() const {
        Kind k = kind();
        return k == Kind::Integer || k == Kind::Long || k == Kind::Single || k == Kind::Double;
    }

    bool AsBool() const { return std::get<bool>(v_); }
    int16_t AsInteger() const { return std::get<int16_t>(v_); }
    int32_t AsLong() const { return std::get<int32_t>(v_); }
    float AsSingle() const { return std::get<float>(v_); }
    double AsDoubleValue() const { return std::get<double>(v_); }
    Date AsDate() const { return std::get<Date>(v_); }
    const std::string& AsText() const { return std::get<std::string>(v_); }

    // Any numeric kind (and Boolean as -1/0, Date as its serial) as a double. Error 13 (type
    // mismatch) for Null and for text that is not a number.
    double ToDouble() const;

    bool operator==(const Value& o) const { return v_ == o.v_; }
    bool operator!=(const Value& o) const { return !(v_ == o.v_); }

private:
    std::variant<std::monostate, bool, int16_t, int32_t, float, double, Date, std::string> v_;
};

// A database error: Jet's number where the callers handle it by number, and a text that names
// the table or field.
class Error : public vb::NumberedError {
public:
    Error(int32_t number, std::string description) : vb::NumberedError(number, std::move(description)) {}
    ~Error() override;
};

// Jet's numbers for the errors that callers handle by number or that tests pin.
namespace errnum {
constexpr int32_t kSyntaxError = 3075;        // syntax error in query expression
constexpr int32_t kTooFewParameters = 3061;   // unknown name in a query: "Too few parameters"
constexpr int32_t kNoSuchTable = 3078;        // "The Microsoft Jet database engine cannot find the input table or query '...'"
constexpr int32_t kItemNotFound = 3265;       // "Item not found in this collection."
constexpr int32_t kNotDatabase = 3343;        // "Unrecognized database format '...'."
constexpr int32_t kFileNotFound = 3024;       // "Could not find file '...'."
constexpr int32_t kDamaged = 3049;            // damaged database: offer repair
constexpr int32_t kNotValidPassword = 3031;   // "Not a valid password."
constexpr int32_t kNoInstallableIsam = 3170;  // "Could not find installable ISAM."
constexpr int32_t kNoCurrentRecord = 3021;    // "No current record."
constexpr int32_t kOdbcCallFailed = 3146;     // "ODBC--call failed."
constexpr int32_t kTableExists = 3010;        // "Table '...' already exists."
constexpr int32_t kInvalidSql = 3129;         // "Invalid SQL statement; expected 'DELETE', 'INSERT', ..."
constexpr int32_t kQueryTooComplex = 3360;    // "Query is too complex." (nested beyond the parser's depth)
constexpr int32_t kTooManyTransactions = 3003;  // "Could not start transaction; too many transactions already nested."
constexpr int32_t kNoTransaction = 3034;        // commit or rollback without a transaction begun
constexpr int32_t kNotSupported = 3251;         // "Operation is not supported for this type of object."
constexpr int32_t kReadOnly = 3027;           // "Cannot update. Database or object is read-only."
constexpr int32_t kNotExpectedFormat = 3274;  // "External table is not in the expected format."
constexpr int32_t kCannotOpenFile = 3051;     // a file that exists but cannot be opened or read (encrypted, no permission)
constexpr int32_t kInvalidName = 3125;        // a table or field name that cannot go into a query
}  // namespace errnum

class Field {
public:
    std::string Name;
    FieldType Type = dbText;
    int32_t Size = 0;
    // The current row's value, set by a recordset's Fields; empty when the recordset has no
    // current row.
    std::optional<db::Value> current;
    // The current row's value: 3021 "No current record." when there is none. The name, the
    // type and the size can be read all the same, as on an empty result.
    const db::Value& value() const;
};

class TableDef {
public:
    std::string Name;
    std::vector<Field> Fields;
    // Rows can be edited through a dynaset on it: false for a view (a stored query), a table
    // without row ids, and any table of a database or file opened or held read-only.
    bool Updatable = true;
    // Fields(name), case-insensitive; db::Error 3265 naming the field when it is not there.
    const Field& FieldByName(const std::string& name) const;
};

class Recordset {
public:
    virtual ~Recordset() = default;

    // Up to n rows from the current position as a (column, row) array from 0; the upper row
    // bound + 1 is the number of rows fetched (none: an unallocated row dimension is never
    // returned; the array is then (0..cols-1, 0..-1)). Moves past the rows fetched.
    virtual vb::Array<Value> GetRows(int32_t n) = 0;

    virtual int FieldCount() const = 0;
    // The current row's field by index (0..FieldCount-1) or by name (case-insensitive); error
    // 3265 for an unknown name or index, 3021 when there is no current row.
    virtual const Field& Fields(int index) const = 0;
    virtual const Field& Fields(const std::string& name) const = 0;

    virtual bool Eof() const = 0;
    virtual bool BOF() const = 0;
    virtual void MoveFirst() = 0;
    virtual void MoveNext() = 0;
    virtual void MoveLast() = 0;
    // Rows visited so far; after MoveLast, the number of rows.
    virtual int32_t RecordCount() const = 0;
    // Makes row `row` (from 0) of the result the current one, as setting AbsolutePosition
    // does; 3021 "No current record." when the result has no such row. The default walks there
    // from the first row; a recordset that holds its row ids (a dynaset) goes there at once.
    virtual void SetAbsolutePosition(int32_t row);
    virtual void Close() = 0;

    // Writing, for the programs (dynaset/table recordsets over one table).
    virtual void AddNew();
    virtual void Edit();
    virtual void SetField(const std::string& name, const Value& v);
    virtual void Update();
};

// The counts the engines ask for most, read off a database's own coded copy of a table instead
// of through a query text: the groups of "select <count>, <fields> from <table><where> group by
// <fields>" for any few of a fixed list of fields, under a fixed count expression and filter.
// Offered by Database::GroupCounts where the back end has such a copy; it answers exactly what
// that query text would (the same groups in the same order, the same counts), or declines.
struct GroupCountResult {
    size_t groups = 0;
    // Group by group, one code a field asked for: the index of the group's value among the
    // field's Values().
    std::vector<uint32_t> codes;
    // Each group's count as the query's count cell reads (Value::ToDouble), never Null.
    std::vector<double> counts;
};

class GroupCounter {
public:
    virtual ~GroupCounter() = default;
    // The cells the query text shows for field f's groups (f indexes the fields given to
    // GroupCounts), by code; nullptr when no count over the field can be answered here.
    virtual const std::vector<Value>* Values(int f) const = 0;
    enum class Outcome {
        Counted,   // `out` holds the groups
        Declined,  // this count must go through the query text (a Null sum, a sum the copy cannot repeat)
        Stale,     // the table changed since the counter was made: it declines every count from now on
    };
    // The groups over `fields` (indexes as for Values, the first most significant), at most
    // maxGroups of them, in the order the query text returns them. The buffers of `out` are
    // reused from call to call.
    virtual Outcome Count(const std::vector<int>& fields, int64_t maxGroups, GroupCountResult& out) = 0;
    // The same groups with each field's code written as the caller's index of its value,
    // indexes[i][code] for the i-th field asked, group by group into `codes` (fields.size() a
    // group), and each group's count into `counts`; a code at or past the end of its table
    // declines. Both vectors are resized, their room reused from call to call.
    virtual Outcome CountIndexed(const std::vector<int>& fields, const std::vector<std::span<const int32_t>>& indexes,
                                 int64_t maxGroups, std::vector<int32_t>& codes, std::vector<double>& counts) = 0;
    // The same groups of a Count(*) as one number each: the fields' codes in mixed radix, the
    // first field most significant, each field's radix the number of its Values() (at least 1),
    // ascending as the query text returns them; each group's count into `counts`. Declines (the
    // default) where the groups are not a plain count of distinct fields.
    virtual Outcome CountKeys(const std::vector<int>& /*fields*/, int64_t /*maxGroups*/,
                              std::vector<uint64_t>& /*keys*/, std::vector<double>& /*counts*/) {
        return Outcome::Declined;
    }
    // Field f's cell (f as for Values) in every row the filter keeps, in the order "select *
    // from <table><where>" returns them: codes[r] is the index in *cells of the cell that
    // query reads in row r. False, with codes and cells left as they are, when the counter
    // cannot give them exactly (the default): the rows are then read through a recordset.
    virtual bool Rows(int /*f*/, std::vector<uint32_t>& /*codes*/, const std::vector<Value>*& /*cells*/) {
        return false;
    }
    // A counter of the same counts with room of its own, which may count on another thread
    // while this counter and its other twins count on theirs. A twin does not check whether the
    // table changed: it is made (nullptr once this counter is stale) and used while the caller
    // knows nothing writes, and destroyed on the thread that made it. nullptr (the default)
    // where the counts cannot be shared out so.
    virtual std::unique_ptr<GroupCounter> Twin() { return nullptr; }
};

class Database {
public:
    virtual ~Database() = default;
    // The connect text: "" for a file database, ";DATABASE=..." style texts for imported formats,
    // a text beginning "ODBC;" for an ODBC source.
    virtual std::string Connect() const = 0;
    virtual std::string Name() const = 0;
    // A SELECT text, or a table name alone for all its rows. Dynaset, table and default
    // recordsets over the columns of one table can be edited (AddNew/Edit/Update); snapshot
    // and forward-only ones are read-only. Errors: 3078 for a missing table, 3061 for a missing
    // field, 3075 for a text the parser does not know, each naming what it found.
    virtual std::unique_ptr<Recordset> OpenRecordset(const std::string& sql, int16_t type = dbOpenDefault) = 0;
    // Statements that change data or tables (the programs' copies, ALTER TABLE, UPDATE).
    virtual void Execute(const std::string& sql) = 0;
    // The table's definition; db::Error 3265 naming it when there is no such table.
    virtual TableDef TableDefs(const std::string& table) = 0;
    virtual std::vector<std::string> TableNames() = 0;
    virtual void Close() = 0;

    // The two collections the programs list. TableDefNames: the table definitions in the
    // collection's order, system objects (SQLite's own tables, an Access file's own by its
    // catalog flags) and views left out; QueryDefNames: the stored queries, a SQLite file's views
    // in the order they were made, an Access file's queries in its catalog's order. The
    // defaults: TableNames() and no stored queries.
    virtual std::vector<std::string> TableDefNames();
    virtual std::vector<std::string> QueryDefNames();

    // Changes the programs make through the table definitions: a field appended to a table
    // (db::Error 3191 when the table has a field of that name) and a table deleted (3265 when
    // there is none). The defaults send the Jet DDL texts through Execute.
    virtual void AppendField(const std::string& table, const Field& field);
    virtual void DeleteTable(const std::string& table);

    // Transactions, as a workspace runs them: the changes made through this database after
    // BeginTrans (rows written by Execute and by recordsets, tables altered) are kept together
    // by CommitTrans or undone together by Rollback; other connections see them only once
    // committed. One level: BeginTrans inside an open transaction is 3003; CommitTrans or
    // Rollback without one is 3034. Closing the database rolls back a transaction left open. A
    // SQLite file runs a real transaction; an ODBC source switches the driver's autocommit off
    // until the end; a database that cannot run one (an imported format, a driver without
    // transactions) refuses BeginTrans with 3251 and says why.
    virtual void BeginTrans();
    virtual void CommitTrans();
    virtual void Rollback();

    // Whether grouped count queries may be answered from an in-memory coded copy of the table,
    // which is loaded whole on the first such query and dropped on any write: worth it for
    // the thousands of counts of a learning run, not for a few statements a table. A back end
    // without such a copy ignores the switch and reports false.
    virtual void SetInMemoryCounting(bool /*on*/) {}
    virtual bool InMemoryCounting() const { return false; }

    // A counter over `fields` of `table` (names in their SQL form) under the count expression
    // (" Count(*) " or " Sum(" + field + ") ") and `where` ("" or " WHERE ..."), or nullptr
    // when the database has no such path or cannot answer that expression and filter so (the
    // default). Never raises: whatever is wrong with the names is left for the query text to
    // report.
    virtual std::unique_ptr<GroupCounter> GroupCounts(const std::string& countExpr, const std::string& table,
                                                      const std::string& where, const std::vector<std::string>& fields);
};

// Workspace types of CreateWorkspace.
enum WorkspaceType : int16_t { dbUseODBC = 1, dbUseJet = 2 };

// A session in which databases are opened: its name, user and type. Opening through it is the
// same as through DBEngine (the connect text decides the back end).
class Workspace {
public:
    std::string Name;
    std::string UserName;
    int16_t Type = dbUseJet;
    std::shared_ptr<Database> OpenDatabase(const std::string& name, bool exclusive = false, bool readOnly = false,
                                           const std::string& connect = "") const;
    void Close() {}
};

// Opening and creating databases.
class DBEngine {
public:
    // For connect "" (or ";PWD=..."; no source read here asks for a password) the file is what
    // its first bytes say: an Access file ("Standard Jet DB"/"Standard ACE DB") is read
    // read-only into memory, table by table as queries name them (3049 when its catalog cannot
    // be read, 3051 for an encrypted Access 2007+ file); anything else is a SQLite file: 3024
    // "Could not find file '...'." when it is missing, 3343 "Unrecognized database format
    // '...'." when it is not a SQLite database (an empty file included), 3049 when it is
    // damaged. A connect text beginning "ODBC" (any case) opens an ODBC source. "Text;..."
    // opens the folder `name` as a database of delimited text files, "dBase III;", "dBase IV;",
    // "dBase 5.0;" and the FoxPro connects a folder of .dbf files (both read-only; 3044 for a
    // missing folder); "Excel 3.0;" to "Excel 8.0;" read the .xls workbook `name` read-only, a
    // table per sheet (3274 when it is not such a workbook, 3051 when it is protected by a
    // password); any other format, and an .xlsx workbook, fails with 3170 "Could not find
    // installable ISAM.".
    static std::shared_ptr<Database> OpenDatabase(const std::string& name, bool exclusive = false,
                                                  bool readOnly = false, const std::string& connect = "");
    // A new, empty SQLite file; 3204 "Database already exists." when the file exists.
    static std::shared_ptr<Database> CreateDatabase(const std::string& name);
    // Checks the file's integrity, rebuilds broken indexes and compacts it. Damage to the
    // tables themselves is not repaired: 3049 and the file is left unchanged. An Access file is
    // only read here and is not repaired: 3027 naming it.
    static void RepairDatabase(const std::string& name);
    static Workspace CreateWorkspace(const std::string& name, const std::string& user, const std::string& password,
                                     int16_t type = dbUseJet);
};

}  // namespace db
