// The test-data and source-data formats the wizards offer in their format list (`Lstdbfmt`):
// the list item, the connect prefix the database layer opens the file with, and the file
// dialog (title and filter) the browse button shows for it.
#pragma once

#include <string>
#include <vector>

namespace wizard {

struct DbFormat {
    const char* item;     // the list text
    const char* connect;  // connect prefix ("" for a database file)
    const char* filter;   // file-dialog filter, "" when the format has no file dialog
    const char* title;    // file-dialog title
};

// The 17 entries in list order; the last, "Remote (ODBC)", leads to the ODBC page instead of a
// file.
const std::vector<DbFormat>& DatabaseFormats();

inline constexpr int kOdbcFormat = 16;

// Title and filter of the open dialog for format `index`; an index outside the list gets the
// plain title "Open database" and no filter, as the ODBC entry does.
struct OpenDialogSetup {
    std::string title;
    std::string filter;
};
OpenDialogSetup OpenDbDialogFor(int index);

}  // namespace wizard
