// Jet field types on SQLite columns: the declared type of a column read as a Jet type code, the
// declared type written for a Jet type, and the text in which dates are stored. Dates are kept
// as "yyyy-mm-dd hh:nn:ss" texts: readable by any SQLite tool, ordered correctly as text, and
// read back to the same serial; a number stored in a date column is taken as a serial.
#pragma once

#include <optional>
#include <string>

#include "platform/db/database.h"

namespace db {

struct DeclaredType {
    FieldType type = dbText;
    bool typed = false;  // false: no declared type; cells are typed by what each one holds
    int32_t size = 0;    // TEXT(50) and VARCHAR(50) give 50
};

// BOOLEAN/BIT/YESNO -> dbBoolean; SMALLINT/SHORT -> dbInteger; INTEGER/INT/LONG/BIGINT -> dbLong;
// REAL/DOUBLE/FLOAT/NUMERIC -> dbDouble; SINGLE -> dbSingle; TEXT/VARCHAR/CHAR -> dbText;
// MEMO/LONGTEXT -> dbMemo; DATE/DATETIME -> dbDate; other names by SQLite's affinity rules.
DeclaredType FieldTypeFromDeclared(const std::string& declared);
// The declared type a new column of the Jet type gets; it maps back to the same type and has
// the SQLite affinity that keeps the values as written (texts stay texts).
std::string DeclaredTypeFor(FieldType type, int32_t size);
// The size Jet reports for a field of the type (texts: their declared size, default 255).
int32_t JetFieldSize(FieldType type, int32_t declaredSize);
// The Jet DDL name of a type ("TEXT(50)", "YESNO", "LONG" ...), for ALTER TABLE texts.
std::string JetTypeName(FieldType type, int32_t size);

// A date serial as stored, and back: "yyyy-mm-dd" with an optional " hh:nn[:ss]" (or "T" in
// place of the blank). Nothing for a text that is not such a date.
std::string DateStorageText(double serial);
// True for a serial that DateStorageText can write and ParseStoredDate read back: finite, from
// 0001-01-01 to 9999-12-31 23:59:59 and its fraction of a second.
bool IsStorableDate(double serial);
std::optional<double> ParseStoredDate(const std::string& text);

}  // namespace db
