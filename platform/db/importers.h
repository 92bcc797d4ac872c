// The formats read by importers into an in-memory SQLite database. For the folder formats a
// folder is the database and each file of the format a table, named by its base name and read
// the first time a query names it: Jet's "Text;" connect reads delimited text files (.txt,
// .csv, .tab, .asc), "dBase III;", "dBase IV;", "dBase 5.0;" and the FoxPro connects read .dbf
// files. An Access file (through libmdb) and an Excel workbook (our BIFF reader) are each one
// database of many tables. Internal to the layer: DBEngine::OpenDatabase routes here.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/db/database.h"

namespace db {

// Takes a table as its reader reads it: the fields once, then the rows in the file's order, so
// that no reader holds a large table whole. A row's missing trailing cells are Null.
class TableSink {
public:
    virtual ~TableSink() = default;
    virtual void Fields(const std::vector<Field>& fields) = 0;
    virtual void Row(const std::vector<Value>& row) = 0;
};

// A table collected whole, for the small ones that are read as values (Access's system tables)
// and for tests.
struct ImportedTable : TableSink {
    std::vector<Field> fields;
    std::vector<std::vector<Value>> rows;

    void Fields(const std::vector<Field>& f) override { fields = f; }
    void Row(const std::vector<Value>& row) override { rows.push_back(row); }
};

// Hands a collected table to `sink`, fields first.
void Feed(const ImportedTable& table, TableSink& sink);

// Delimited text. header: the first line names the fields (else F1, F2, ...); delimiter 0:
// the first of tab and ";" that the first line holds without a ",", else ",". Column types from
// all values: whole numbers Long, other numbers Double, "yyyy-mm-dd[ hh:nn[:ss]]" Date, else
// Text (Memo beyond 255 characters); an empty value is Null. db::Error 3274 naming the file and
// line for a quote that is not closed. A file that is not valid UTF-8 is read in Windows-1252
// (a UTF-8 byte-order mark is skipped). The file is read twice, for the types and for the rows,
// and never held whole.
void ReadDelimitedFile(const std::string& path, bool header, char delimiter, TableSink& sink);

// Field names a table can hold: an empty name becomes F<position> (F1 for the first), and a
// name that an earlier one already has (in any case) gets 2, 3 ... behind it.
void MakeFieldNamesUnique(std::vector<std::string>& names);

// db::Error for a file that could not be opened for reading, from the open's errno: 3024 "Could
// not find file" when it is not there, 3051 saying that it cannot be read otherwise.
[[noreturn]] void FailToRead(const std::string& path, int err);

// A dBase III/IV/5 or FoxPro table: C Text, N and F Long (no decimals, up to 9 digits) or
// Double, L Boolean, D Date, I Long, B Double; memo fields (kept in a separate file) read as
// Null. Texts in the code page of the header's language driver (code_pages.h). Deleted rows
// are left out; field names are made unique as above; the rows are read a block at a time.
// db::Error 3274 naming the file when it is not such a table.
void ReadDbfFile(const std::string& path, TableSink& sink);

// The folder's files as a read-only database. The connect text may carry HDR=NO and
// FMT=Delimited(c), TabDelimited or CSVDelimited for text. db::Error 3044 when the folder
// does not exist.
std::shared_ptr<Database> OpenTextDatabase(const std::string& folder, const std::string& connect);
std::shared_ptr<Database> OpenDbaseDatabase(const std::string& folder, const std::string& connect);

// True when the file's first bytes are those of an Access file: "Standard Jet DB" (Access 97 to
// 2003) or "Standard ACE DB" (2007 and later) at offset 4.
bool IsAccessFile(const std::string& path);
// The Access file as a read-only database of its tables (Access's own, by the catalog's system
// flags or an "MSys" name, left out of the lists), each read whole on first use with its Jet
// field types, and of its stored queries (QueryDefNames in the catalog's order), a select query
// opened as a view of the tables (access_view_sql.h says what runs and how the rest fails).
// 3049 naming the file when its catalog cannot be read or a table holds a damaged cell (a date
// that is no date); 3051 when it is an encrypted Access 2007+ file. A column of a type the
// reader cannot decode is listed, and every query that reads it (a stored query too) fails with
// 3251 naming the table, the field and the type.
std::shared_ptr<Database> OpenAccessDatabase(const std::string& file, const std::string& connect);

// The .xls workbook (Excel 2.1 to 2003: BIFF2-4 sheets, BIFF5 and BIFF8 workbooks) as a read-only
// database with one table per sheet, named after the sheet: the first row names the fields,
// the cells below give the types (whole numbers Long, other numbers Double, dates Date, texts
// Text or Memo beyond 255 characters; a column of mixed kinds is Text) and values, an empty
// cell is Null. A plain sheet file of Excel 2.1 to 4.0 is one table named by the file's base
// name. Formula cells read as the result the workbook stored with them, Booleans as Yes/No
// (mixed with other kinds: Text), error values as Null. Read in the file reader process. 3024
// for a missing file, 3274 naming it when it is not such a workbook (or its compound file is
// damaged), 3051 when it is protected by a password, 3170 for an .xlsx workbook.
std::shared_ptr<Database> OpenExcelDatabase(const std::string& file, const std::string& connect);

}  // namespace db
