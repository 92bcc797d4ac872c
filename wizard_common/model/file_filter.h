// File-dialog filters. The wizards describe their filters as pairs "Description|patterns"
// joined by "|" ("Database files (*.db)|*.db;*.sqlite|All Files (*.*)|*.*"); Qt's file dialog
// wants "Description (patterns)" entries joined by ";;" with blank-separated patterns.
#pragma once

#include <string>
#include <string_view>

namespace wizard {

// The Qt form of a "|"-separated filter: every description keeps its words without its own
// parenthesised pattern list, which is rebuilt from the pattern half ("*.*" becomes "*", ";"
// becomes a blank). A trailing description without patterns is kept as it is; "" stays "".
std::string ToQtFilter(std::string_view filter);

// The name a save dialog hands back: `typed` as the user wrote it, with the extension of entry
// `entry` (from 0) of the "|"-separated `filter` added when the file name has none. The entry's
// first pattern gives the extension ("*.db;*.sqlite" gives ".db"); an entry without one ("*.*")
// adds nothing, and so does a typed extension of any kind, since it is the user's choice.
std::string WithFilterExtension(std::string_view typed, std::string_view filter, int entry);

// Training and test database files, the filter of the cover page's and test page's browse
// buttons.
inline constexpr const char* kDatabaseFilter =
    "Database files (*.db *.sqlite *.mdb *.accdb)|*.db;*.sqlite;*.mdb;*.accdb|All Files (*.*)|*.*";

}  // namespace wizard
