// Table and field names in their SQL form, for the engines and for every program that shows
// their names, builds their query texts or compares names with theirs. A name is kept as the
// text that goes into a query: bare when it is a plain identifier (an ASCII letter, then
// letters, digits and underscores) that is not a reserved word, in brackets otherwise, so that
// "Unit Price", "Price/Unit", "2ndValue" or "From" reach the database as one name. A name that
// already begins with "[" is the caller's own SQL form and is kept. The rule is the same on
// every connection: the database layer renders brackets in the server's own quoting.
//
// Nothing can be escaped inside brackets, so a name holding "]" has no SQL form: put in a query,
// the rest of it would become part of the query. Such a name is refused with db::Error 3125
// naming the table or field, before any query is sent.
#pragma once

#include <string>
#include <string_view>

namespace db {

enum class NameKind { Table, Field };

// The name in the form used in SQL: bare, bracketed, or unchanged when it is already one name in
// brackets. db::Error 3125 for a name that cannot go into a query (empty, holding "]" or a null
// character, or beginning with "[" without being one name in brackets).
std::string SqlName(const std::string& name, NameKind kind = NameKind::Field);

// The name always in brackets (a table name, a frequency field on a file database), unchanged
// when it is already one name in brackets; checked as SqlName.
std::string BracketedSqlName(const std::string& name, NameKind kind);

// A name as the database lists it or a user types it, never a caller's SQL form: always in
// brackets, a leading "[" being one of its characters. db::Error 3125 as SqlName, so "[A]",
// which holds "]", is refused rather than taken for the table A.
std::string QuotedPlainName(const std::string& name, NameKind kind);

// A name as the database lists it, in its SQL form: bare when it is a plain identifier that is
// not a reserved word, in brackets otherwise; a leading "[" is one of its characters. db::Error
// 3125 as QuotedPlainName.
std::string PlainSqlName(const std::string& name, NameKind kind);

// The inverse: the name without the brackets of its SQL form ("[UNIT PRICE]" -> "UNIT PRICE"),
// so that names written under one quoting rule match the names of a run under another.
std::string BareSqlName(std::string_view name);

// True for a word that the SQL dialect gives a meaning of its own (SELECT, COUNT, YES ...), in
// any case.
bool IsSqlReservedWord(std::string_view name);

// The Boolean column that marks a table's hold-out rows (True). Column names are compared
// without regard to case.
inline constexpr std::string_view kHoldOutColumn = "ZORV_HoldOut";
bool IsHoldOutColumn(std::string_view name);

// The condition that keeps the hold-out rows (true) or the learning rows (false), as the engines
// have always written it into their queries: "zorv_holdout=yes" / "zorv_holdout=no".
std::string HoldOutCondition(bool holdOut);

}  // namespace db
