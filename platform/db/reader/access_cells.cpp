// Cells of Access 2000+ tables decoded from the row's bytes (see access_cells.h). The row is
// cracked by libmdb (mdb_crack_row: each field's place, size and Null flag); long values are
// found by their page and row (mdb_find_pg_row, which leaves the row's page buffer as it is).
#include "platform/db/reader/access_cells.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "platform/db/reader/access_text.h"

namespace db::access {
namespace {

using frames::Payload;

// Jet type codes libmdb has no name for.
constexpr int kLargeNumber = 0x13;   // a 64-bit integer (Access 2016 and later)
constexpr int kExtendedDate = 0x14;  // Date/Time Extended (Access 2019 and later)

// A calculated column's stored value: 16 bytes, the value's length (4 bytes, little-endian),
// then the value itself.
constexpr size_t kCalculatedHeader = 20;
// The header and its trailing bytes: a calculated text column's size is its own plus these.
constexpr int kCalculatedOverhead = 23;

// A long value's 12-byte reference in the row: its length (the low 30 bits) and kind (the top
// bits), then the page and row of its data; the data of an inline value follows at once.
constexpr uint32_t kLongValueInline = 0x80000000u;
constexpr uint32_t kLongValueOneRow = 0x40000000u;
constexpr uint32_t kLongValueLength = 0x3FFFFFFFu;

uint32_t Le32(const unsigned char* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }

int64_t Le64(const unsigned char* p) {
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = v << 8 | p[i];
    return int64_t(v);
}

double LeDouble(const unsigned char* p) {
    double d;
    std::memcpy(&d, p, sizeof d);
    return d;
}

bool KnownResultType(int t) {
    switch (t) {
        case MDB_BOOL: case MDB_BYTE: case MDB_INT: case MDB_LONGINT: case MDB_MONEY: case MDB_FLOAT:
        case MDB_DOUBLE: case MDB_DATETIME: case MDB_TEXT: case MDB_MEMO: case MDB_NUMERIC: case kLargeNumber:
            return true;
        default: return false;
    }
}

// The field list's type of a value of Jet type t: decimals are read as Double, large numbers
// as the text of their digits (the layer has no 64-bit integer that stays exact beyond 2^53).
uint8_t ShownType(int t) {
    switch (t) {
        case MDB_NUMERIC: return MDB_DOUBLE;
        case kLargeNumber: return MDB_TEXT;
        case kExtendedDate: return MDB_DATETIME;
        default: return uint8_t(t);
    }
}

// The digits of the longest 64-bit integer and its sign.
constexpr int32_t kLargeNumberDigits = 20;

void PutText(Payload& p, std::string_view text) {
    p.Put(uint8_t(frames::kText));
    p.PutText(text);
}

// The whole long value a Memo field's reference points to, as stored.
std::string LongValue(MdbHandle* mdb, const unsigned char* ref, size_t refSize) {
    if (refSize < MDB_MEMO_OVERHEAD) throw BadCell("a memo's reference is cut short");
    const uint32_t head = Le32(ref);
    const size_t length = head & kLongValueLength;
    if (head & kLongValueInline) {
        if (MDB_MEMO_OVERHEAD + length > refSize) throw BadCell("a memo is longer than its row");
        return std::string(reinterpret_cast<const char*>(ref) + MDB_MEMO_OVERHEAD, length);
    }
    std::string out;
    out.reserve(length);
    int pgRow = int(Le32(ref + 4));
    // A chain's rows each begin with the next row's place; a damaged chain that loops or ends
    // early is caught by the length it should have reached.
    const bool chained = (head & kLongValueOneRow) == 0;
    while (out.size() < length) {
        void* buf = nullptr;
        int offset = 0;
        size_t size = 0;
        if (pgRow == 0 || mdb_find_pg_row(mdb, pgRow, &buf, &offset, &size) != 0)
            throw BadCell("a memo's long value cannot be found");
        const auto* row = static_cast<const unsigned char*>(buf) + offset;
        size_t skip = 0;
        if (chained) {
            if (size <= 4) throw BadCell("a memo's long value is damaged");
            pgRow = int(Le32(row));
            skip = 4;
        }
        out.append(reinterpret_cast<const char*>(row) + skip, std::min(size - skip, length - out.size()));
        if (!chained) break;
    }
    if (out.size() < length) throw BadCell("a memo's long value is shorter than it says");
    return out;
}

// "DDDDDDDDDDDDDDDDDDD:TTTTTTTTTTTTTTTTTTT:7": days since 0001-01-01 and ticks of 100 ns
// since midnight, in ASCII digits. The layer's date is a serial of days since 1899-12-30 in a
// double, which holds a millisecond exactly across the whole range (years 1 to 9999); the
// ticks are cut to whole milliseconds, never rounded, so that the last instant of a day stays
// on that day.
double ExtendedDateSerial(const unsigned char* bytes, size_t n) {
    constexpr size_t kDigits = 19;
    auto number = [&](size_t at) {
        int64_t v = 0;
        for (size_t i = at; i < at + kDigits; ++i) {
            if (bytes[i] < '0' || bytes[i] > '9') throw BadCell("a Date/Time Extended value is not digits");
            v = v * 10 + (bytes[i] - '0');
        }
        return v;
    };
    if (n < 2 * kDigits + 1 || bytes[kDigits] != ':') throw BadCell("a Date/Time Extended value is cut short");
    constexpr int64_t kEpochDay = 693593;  // 1899-12-30, counted from 0001-01-01
    constexpr int64_t kMillisecondsPerDay = 86400000;
    const int64_t day = number(0) - kEpochDay;
    const int64_t milliseconds = number(kDigits + 1) / 10000;
    if (milliseconds >= kMillisecondsPerDay) throw BadCell("a Date/Time Extended value has more than a day's time");
    const double time = double(milliseconds) / double(kMillisecondsPerDay);
    // Before the epoch the fraction still counts forward from midnight.
    return day >= 0 ? double(day) + time : double(day) - time;
}

// A Windows DECIMAL: 2 bytes (the variant type), the scale, the sign (0x80 negative), the high
// 32 bits and the low 64 bits of the unscaled value. Read as a double, as decimals are.
double DecimalValue(const unsigned char* p, size_t n) {
    if (n < 16) throw BadCell("a decimal value is cut short");
    const int scale = p[2];
    const bool negative = (p[3] & 0x80) != 0;
    const double high = double(Le32(p + 4));
    const double low = double(uint64_t(Le64(p + 8)));
    const double v = (high * 18446744073709551616.0 + low) / std::pow(10.0, scale);
    return negative ? -v : v;
}

// A value of Jet type t from its own bytes (a calculated column's, inside its wrapper).
void PutTyped(Payload& p, int t, const unsigned char* v, size_t n) {
    auto need = [&](size_t bytes) {
        if (n < bytes) throw BadCell("a calculated value is shorter than its type");
    };
    switch (t) {
        case MDB_BOOL: need(1); p.Put(uint8_t(frames::kBoolean)); p.Put(uint8_t(v[0] != 0)); return;
        case MDB_BYTE: need(1); p.Put(uint8_t(frames::kInteger)); p.Put(int16_t(v[0])); return;
        case MDB_INT: need(2); p.Put(uint8_t(frames::kInteger)); p.Put(int16_t(v[0] | v[1] << 8)); return;
        case MDB_LONGINT: need(4); p.Put(uint8_t(frames::kLong)); p.Put(int32_t(Le32(v))); return;
        case MDB_MONEY: need(8); p.Put(uint8_t(frames::kDouble)); p.Put(double(Le64(v)) / 10000.0); return;
        case MDB_FLOAT: {
            need(4);
            float f;
            std::memcpy(&f, v, sizeof f);
            p.Put(uint8_t(frames::kSingle));
            p.Put(f);
            return;
        }
        case MDB_DOUBLE: need(8); p.Put(uint8_t(frames::kDouble)); p.Put(LeDouble(v)); return;
        case MDB_DATETIME: need(8); p.Put(uint8_t(frames::kDate)); p.Put(LeDouble(v)); return;
        case MDB_NUMERIC: p.Put(uint8_t(frames::kDouble)); p.Put(DecimalValue(v, n)); return;
        case kLargeNumber: need(8); return PutText(p, std::to_string(Le64(v)));
        case kExtendedDate: p.Put(uint8_t(frames::kDate)); p.Put(ExtendedDateSerial(v, n)); return;
        case MDB_TEXT:
        case MDB_MEMO: return PutText(p, DecodeText(v, n));
        default: throw BadCell("a value of a type that cannot be read");  // ReadingOf marks these unreadable
    }
}

}  // namespace

ColumnReading ReadingOf(const MdbColumn& col, bool jet3) {
    ColumnReading r;
    r.jetType = ShownType(col.col_type);
    const char* result = jet3 ? nullptr : mdb_col_get_prop(&col, "ResultType");
    if (result) {
        r.resultType = std::atoi(result);
        r.jetType = ShownType(r.resultType);
        if (r.resultType == MDB_TEXT) r.size = col.col_size > kCalculatedOverhead ? (col.col_size - kCalculatedOverhead) / 2 : 255;
        if (r.resultType == kLargeNumber) r.size = kLargeNumberDigits;
        if (KnownResultType(r.resultType)) {
            r.how = ColumnReading::How::Calculated;
        } else {
            r.how = ColumnReading::How::Unreadable;
            r.jetType = MDB_TEXT;
            r.unreadable = "calculated, of result type " + std::string(result);
        }
        return r;
    }
    switch (col.col_type) {
        case MDB_TEXT:
            r.emptyApartFromNull = jet3;
            if (!jet3) {
                r.how = ColumnReading::How::Text;
                r.size = col.col_size / 2;  // its size in bytes of UTF-16
            }
            break;
        case MDB_MEMO:
            r.emptyApartFromNull = jet3;
            if (!jet3) r.how = ColumnReading::How::Memo;
            break;
        case kExtendedDate: r.how = ColumnReading::How::ExtendedDate; break;
        case kLargeNumber: r.how = ColumnReading::How::LargeNumber; r.size = kLargeNumberDigits; break;
        case MDB_BOOL: case MDB_BYTE: case MDB_INT: case MDB_LONGINT: case MDB_MONEY: case MDB_FLOAT: case MDB_DOUBLE:
        case MDB_DATETIME: case MDB_BINARY: case MDB_OLE: case MDB_REPID: case MDB_NUMERIC: case MDB_COMPLEX: break;
        default: {
            char code[8];
            std::snprintf(code, sizeof code, "0x%02X", unsigned(col.col_type) & 0xFFu);
            r.how = ColumnReading::How::Unreadable;
            r.jetType = MDB_TEXT;
            r.unreadable = std::string("Access type ") + code;
        }
    }
    return r;
}

void PutDecodedCell(Payload& p, MdbHandle* mdb, const ColumnReading& reading, const MdbField& field) {
    if (field.is_null || reading.how == ColumnReading::How::Unreadable) return p.Put(uint8_t(frames::kNull));
    const unsigned char* bytes = mdb->pg_buf + field.start;
    const size_t n = size_t(std::max(field.siz, 0));
    if (size_t(field.start) + n > size_t(mdb->fmt->pg_size)) throw BadCell("a value reaches past its page");
    switch (reading.how) {
        case ColumnReading::How::Text: return PutText(p, DecodeText(bytes, n));
        case ColumnReading::How::Memo: {
            const std::string stored = LongValue(mdb, bytes, n);
            return PutText(p, DecodeText(reinterpret_cast<const unsigned char*>(stored.data()), stored.size()));
        }
        case ColumnReading::How::ExtendedDate: return PutTyped(p, kExtendedDate, bytes, n);
        case ColumnReading::How::LargeNumber: return PutTyped(p, kLargeNumber, bytes, n);
        case ColumnReading::How::Calculated: {
            if (n < kCalculatedHeader) throw BadCell("a calculated value is cut short");
            const size_t length = Le32(bytes + 16);
            if (kCalculatedHeader + length > n) throw BadCell("a calculated value is longer than its field");
            return PutTyped(p, reading.resultType, bytes + kCalculatedHeader, length);
        }
        default: throw BadCell("a cell read by the wrong reader");
    }
}

}  // namespace db::access
