// The Jet SQL parser: texts in, the AST of sql_ast.h out. Keywords are case-insensitive; names
// are bare (a letter, then letters, digits and "_") or in [brackets] (anything but "]"); texts
// are in "double quotes" or 'single quotes', a doubled quote standing for one; numbers may carry
// a sign, a fraction and an exponent; yes/no/True/False are Boolean literals. A trailing ";" is
// allowed. Anything else fails with db::Error 3075 (or 3129 for an unknown statement) naming
// the token where the parse stopped; parentheses, Not and function calls nested more than 128
// deep fail with 3360.
#pragma once

#include <string>

#include "platform/db/sql_ast.h"

namespace db::sql {

Statement ParseStatement(const std::string& text);
// A SELECT text; any other statement fails with 3129.
Select ParseSelect(const std::string& text);

// What OpenRecordset opens: a SELECT text, or a table or query name alone, which stands for
// "select * from [name]". An action statement or a SELECT ... INTO fails with 3219.
Select ParseRecordsetSource(const std::string& text);

}  // namespace db::sql
