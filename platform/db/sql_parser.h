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

// The select query of an Access file as Jet SQL writes it (rebuilt from the file's rows): the
// grammar above and Jet's expressions (+ - * / Mod, "&", unary minus, Like, Between, [Not] In
// with a list or a subquery, Exists, subqueries as values, function calls, #dates#, Forms!F!C
// references), SELECT DISTINCTROW, TOP n [PERCENT], FROM with INNER/LEFT/RIGHT JOIN ... ON and
// aliases, HAVING, and GROUP BY and ORDER BY over expressions. One statement: a ";" only at its
// very end. A construct of Jet's that cannot be run (Xor, Eqv, Imp, "\", "^") fails with 3251;
// anything outside the grammar as above.
Select ParseStoredSelect(const std::string& text);

// What OpenRecordset opens: a SELECT text, or a table or query name alone, which stands for
// "select * from [name]". An action statement or a SELECT ... INTO fails with 3219.
Select ParseRecordsetSource(const std::string& text);

}  // namespace db::sql
