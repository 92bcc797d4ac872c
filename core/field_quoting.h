// How a field name goes into the engines' SQL texts. A name is used bare only when it is a plain
// identifier (a letter, then letters, digits and underscores) that is not a reserved word; every
// other name is put in brackets, so that "Unit Price", "Price/Unit", "2ndValue" or "Date" reach
// the database as one name. A name that already begins with "[" is the caller's own form and is
// kept as it is. The rule is the same on every connection: the database layer renders brackets
// in the server's own quoting, so an ODBC source needs them as much as a file database.
#pragma once

#include <string>

namespace core {

// The name in the form used in SQL: bare, bracketed, or unchanged when it begins with "[".
std::string QuoteFieldName(const std::string& name);

// The name without the brackets of its SQL form ("[UNIT PRICE]" -> "UNIT PRICE"), so that names
// that logs wrote under one quoting rule match the names of a run under another.
std::string BareFieldName(const std::string& name);

// True for a word that the SQL dialect reserves (SELECT, COUNT, DATE, NAME ...), in any case.
bool IsSqlReservedWord(const std::string& name);

}  // namespace core
