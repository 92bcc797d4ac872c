// Linked tables of an Access file: a table the file lists whose rows live in another file or in
// an ODBC source. The catalog keeps each link's name, where it points (the other file's path,
// or an ODBC connect text) and the table's name there. A split database keeps its tables in a
// back-end file beside its front end, and a link keeps the path the back end had where the link
// was made, often on another machine (Z:\data\backend.accdb), so the file is looked for beside
// the front end too. Internal to the layer.
#pragma once

#include <cstdint>
#include <string>

namespace db::access {

struct Link {
    std::string name;      // the linked table as the front end lists it
    bool odbc = false;     // to a table of an ODBC source, not of a file
    uint32_t flags = 0;    // its catalog flags
    std::string database;  // the other file's path as the link stores it
    std::string connect;   // "" for an Access file; "Excel 8.0;..." for another format; "ODBC;DSN=..."
    std::string foreign;   // the table's name in the other file or source
};

// The Access file that `link` reads its rows from, as it is on this machine: the stored path
// when it names a file here (a relative path from the front end's folder), else a file of that
// name in the front end's folder (its case as on disk, matched without regard to case when the
// exact name is not there). db::Error naming the link: 3024 "Could not find file" when neither
// is there, 3251 for a link to an ODBC source (its connect text shown without a password) and
// 3170 for a link to a file of another format.
std::string LinkedAccessFile(const std::string& frontEnd, const Link& link);

// An ODBC connect text with its password items (PWD=, PASSWORD=) left out.
std::string WithoutPassword(const std::string& connect);

}  // namespace db::access
