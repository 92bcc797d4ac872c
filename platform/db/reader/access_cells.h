// The cells of an Access table that libmdb 1.0 reads wrong or not at all, decoded here
// from the row's own bytes: texts and memos (characters outside the Basic Multilingual Plane,
// empty texts apart from Null), calculated columns (their value wrapped and in the format of
// their result type), Date/Time Extended and Large Number. A column of a type nobody here can
// decode is marked unreadable, with its type in words, and its cells are sent as Null: the layer
// names it to the user and refuses every query that reads it. Everything else stays with
// libmdb's row reader and the stored bytes at the place it gives.
#pragma once

#include <stdexcept>
#include <string>

#include "platform/db/reader_frames.h"
// Last: it wraps glib, which includes C++ headers of its own, in extern "C".
#include <mdbtools.h>

namespace db::access {

// A cell whose bytes are not what its column says they are: the table cannot be read.
class BadCell : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// How a column's cells are read.
struct ColumnReading {
    enum class How {
        Libmdb,       // the bound text or the stored bytes at libmdb's place (main.cpp)
        Text,         // a Text column's bytes
        Memo,         // a Memo column's long value
        Calculated,   // the wrapped value of a calculated column, in its result type
        ExtendedDate, // Date/Time Extended: days and ticks in ASCII digits
        LargeNumber,  // a 64-bit integer
        Unreadable,   // sent as Null; `unreadable` names the type
    };
    How how = How::Libmdb;
    int resultType = 0;      // Calculated: the Jet type code of the result
    uint8_t jetType = 0;     // the type the field list shows
    int32_t size = 0;        // a text's size in characters
    std::string unreadable;  // Unreadable: the type in words
    // Libmdb: a text, whose empty value libmdb gives as it gives a Null; the row's Null flag
    // tells them apart.
    bool emptyApartFromNull = false;
};

// The reading of a column. The texts of an Access 97 (Jet 3) file are in the file's code page,
// which libmdb converts: there only a column of an unknown type is taken from libmdb.
ColumnReading ReadingOf(const MdbColumn& col, bool jet3);

// The cell of `field` (cracked from the current row) appended to `p` as reader_frames.h says.
// BadCell saying what is wrong with it.
void PutDecodedCell(frames::Payload& p, MdbHandle* mdb, const ColumnReading& reading, const MdbField& field);

}  // namespace db::access
