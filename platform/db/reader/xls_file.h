// An Excel workbook file as the bytes its BIFF records are read from, and the reader process's
// answers to the layer's requests for workbooks (in the frames of reader_frames.h):
//
//   excel-book FILE        a kTable frame (flags 0, name) per worksheet, in workbook order
//   excel-sheet FILE N     sheet N (from 0): a kRow frame of the first row's cells (the field
//                          names; one Null cell for an empty sheet), a kField frame per
//                          column (Jet type, size, no name), then a kRow frame per further row
//
// A cell goes as the kind it has in the sheet (a number in a Text column stays a number), so
// the layer writes it in its column's type with its own number and date texts.
#pragma once

#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "platform/db/reader_frames.h"

namespace xls {

// The file holds no workbook the reader can read (kind kDamaged; `what` says why, in words
// that follow the file's name), or the workbook is protected by a password (kEncrypted).
struct Refused {
    db::frames::Failure kind;
    std::string what;
};

// The bytes of the workbook: a plain sheet file of Excel 2.1 to 4.0 as it is, the "Workbook"
// (Excel 97-2003) or "Book" (Excel 5.0 and 95) stream of a compound file. Throws Refused.
std::string WorkbookBytes(const std::string& file);

using FrameOut = std::function<void(db::frames::Tag, const db::frames::Payload&)>;

// The answers above, each ending with its kEnd frame. Throw Refused.
void SendBook(const std::string& file, const FrameOut& out);
void SendSheet(const std::string& file, const std::string& index, const FrameOut& out);

}  // namespace xls
