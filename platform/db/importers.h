// The formats read by importers of our own into an in-memory SQLite database: a folder is the
// database and each file of the format a table, named by its base name and read the first time
// a query names it. Jet's "Text;" connect reads delimited text files (.txt, .csv, .tab, .asc),
// "dBase III;", "dBase IV;", "dBase 5.0;" and the FoxPro connects read .dbf files. Internal to
// the layer: DBEngine::OpenDatabase routes the connect texts here.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/db/database.h"

namespace db {

// A file read whole: its fields with their Jet types and its rows.
struct ImportedTable {
    std::vector<Field> fields;
    std::vector<std::vector<Value>> rows;
};

// Delimited text. header: the first line names the fields (else F1, F2, ...); delimiter 0:
// the first of tab and ";" that the first line holds without a ",", else ",". Column types from
// all values: whole numbers Long, other numbers Double, "yyyy-mm-dd[ hh:nn[:ss]]" Date, else
// Text (Memo beyond 255 characters); an empty value is Null. db::Error 3274 naming the file and
// line for a quote that is not closed.
ImportedTable ReadDelimitedFile(const std::string& path, bool header, char delimiter);

// Field names a table can hold: an empty name becomes F<position> (F1 for the first), and a
// name that an earlier one already has (in any case) gets 2, 3 ... behind it.
void MakeFieldNamesUnique(std::vector<std::string>& names);

// db::Error for a file that could not be opened for reading, from the open's errno: 3024 "Could
// not find file" when it is not there, 3051 saying that it cannot be read otherwise.
[[noreturn]] void FailToRead(const std::string& path, int err);

// A dBase III/IV/5 or FoxPro table: C Text, N and F Long (no decimals, up to 9 digits) or
// Double, L Boolean, D Date, I Long, B Double; memo fields (kept in a separate file) read as
// Null. Deleted rows are left out; field names are made unique as above. db::Error 3274 naming
// the file when it is not such a table.
ImportedTable ReadDbfFile(const std::string& path);

// The folder's files as a read-only database. The connect text may carry HDR=NO and
// FMT=Delimited(c), TabDelimited or CSVDelimited for text. db::Error 3044 when the folder
// does not exist.
std::shared_ptr<Database> OpenTextDatabase(const std::string& folder, const std::string& connect);
std::shared_ptr<Database> OpenDbaseDatabase(const std::string& folder, const std::string& connect);

}  // namespace db
