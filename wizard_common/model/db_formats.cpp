// The format list shared by the wizards' test-data and source-data pages.
#include "wizard_common/model/db_formats.h"

#include "wizard_common/model/file_filter.h"

namespace wizard {

namespace {
// The database layer reads dBase and FoxPro tables, delimited text and SQLite files; the other
// entries stay in the list so a file of those formats gets the layer's own refusal.
const char* const kXbase = "Xbase (*.dbf)|*.dbf";
const char* const kParadox = "Paradox (*.db)|*.db";
const char* const kExcel = "Excel (*.xls)|*.xls";
const char* const kText = "Text Files (*.txt)|*.txt|All Files (*.*)|*.*";
const char* const kOpen = "Open database";
}  // namespace

const std::vector<DbFormat>& DatabaseFormats() {
    static const std::vector<DbFormat> formats{
        {"Access", "", kDatabaseFilter, "Select Microsoft Access Database"},
        {"dBase III", "Dbase III;", kXbase, kOpen},
        {"dBase IV", "Dbase IV;", kXbase, kOpen},
        {"dBase 5.0", "Dbase 5.0;", kXbase, kOpen},
        {"FoxPro 2.0", "FoxPro 2.0;", kXbase, kOpen},
        {"FoxPro 2.5", "FoxPro 2.5;", kXbase, kOpen},
        {"FoxPro 2.6", "FoxPro 2.6;", kXbase, kOpen},
        {"FoxPro 3.0", "FoxPro 3.0;", kXbase, kOpen},
        {"Paradox 3.x", "Paradox 3.X;", kParadox, kOpen},
        {"Paradox 4.x", "Paradox 4.X;", kParadox, kOpen},
        {"Paradox 5.x", "Paradox 5.X;", kParadox, kOpen},
        {"Excel 3.0", "Excel 3.0;", kExcel, kOpen},
        {"Excel 4.0", "Excel 4.0;", kExcel, kOpen},
        {"Excel 5.0 or Excel 95", "Excel 5.0;", kExcel, kOpen},
        {"Excel 97", "Excel 8.0;", kExcel, kOpen},
        {"Text File", "Text;", kText, "Select Text File"},
        {"Remote (ODBC)", "ODBC;", "", kOpen},
    };
    return formats;
}

OpenDialogSetup OpenDbDialogFor(int index) {
    const auto& formats = DatabaseFormats();
    if (index < 0 || size_t(index) >= formats.size()) return {kOpen, ""};
    return {formats[size_t(index)].title, formats[size_t(index)].filter};
}

}  // namespace wizard
