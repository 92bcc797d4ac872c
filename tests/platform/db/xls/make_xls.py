#!/usr/bin/python3
"""Writes the small .xls workbooks of the Excel import tests into this folder.

Run with Debian's python3 and its python3-xlwt package:  /usr/bin/python3 make_xls.py
xlwt writes Excel 97 (BIFF8) workbooks and the compound-document container; the older kinds
(Excel 5.0 workbooks, plain Excel 2.1, 3.0 and 4.0 sheets) are written record by record here.
"""
import datetime
import os
import struct

import xlwt
from xlwt import CompoundDoc

HERE = os.path.dirname(os.path.abspath(__file__))


def record(rid, data=b""):
    return struct.pack("<HH", rid, len(data)) + data


def biff8_workbook():
    book = xlwt.Workbook()
    date = xlwt.easyxf(num_format_str="YYYY-MM-DD")
    cars = book.add_sheet("Cars")
    rows = [
        ["Name", "Doors", "Price", "Bought", "Note", "Mixed", ""],
        ["Saab 900", 3, 12500.5, datetime.date(1994, 5, 17), "red", 1, "x"],
        ["Volvo 240", 5, 9800, datetime.date(1990, 1, 2), None, "two", None],
        ["Käfer", None, 1500.25, None, "x" * 300, None, None],
    ]
    for r, row in enumerate(rows):
        for c, v in enumerate(row):
            if v is None:
                continue
            if isinstance(v, datetime.date):
                cars.write(r, c, v, date)
            else:
                cars.write(r, c, v)
    prices = book.add_sheet("Price List")
    prices.write(0, 0, "Item")
    prices.write(0, 1, "Item")
    prices.write(1, 0, "tea")
    prices.write(1, 1, 2)
    book.add_sheet("Empty")
    book.save(os.path.join(HERE, "excel8.xls"))


def biff8_protected():
    # A FILEPASS record (RC4 encryption header) after the workbook's BOF: Excel writes it into
    # every workbook saved with a password to open.
    book = xlwt.Workbook()
    book.add_sheet("Secret").write(0, 0, "Key")
    filepass = record(0x002F, struct.pack("<HHH", 1, 1, 1) + bytes(range(48)))
    original = book._Workbook__intf_hdr_rec
    book._Workbook__intf_hdr_rec = lambda: filepass + original()
    book.save(os.path.join(HERE, "protected.xls"))


def biff5_workbook():
    # Excel 5.0/95: globals with one BOUNDSHEET, then the sheet's records.
    sheet = record(0x0809, struct.pack("<HHHH", 0x0500, 0x0010, 0, 0))
    sheet += record(0x0200, struct.pack("<HHHHH", 0, 3, 0, 2, 0))
    cells = [(0, 0, "Town"), (0, 1, "People"), (1, 0, "Aarau"), (1, 1, 21000.0), (2, 0, "Baden"), (2, 1, 19500.5)]
    for r, c, v in cells:
        if isinstance(v, str):
            text = v.encode("cp1252")
            sheet += record(0x0204, struct.pack("<HHHH", r, c, 0, len(text)) + text)
        else:
            sheet += record(0x0203, struct.pack("<HHHd", r, c, 0, v))
    sheet += record(0x000A)
    name = b"Towns"
    bof = record(0x0809, struct.pack("<HHHH", 0x0500, 0x0005, 0, 0))
    codepage = record(0x0042, struct.pack("<H", 1252))
    boundsheet_len = 4 + 4 + 2 + 1 + len(name)
    globals_len = len(bof) + len(codepage) + boundsheet_len + 4
    boundsheet = record(0x0085, struct.pack("<IBBB", globals_len, 0, 0, len(name)) + name)
    stream = bof + codepage + boundsheet + record(0x000A) + sheet
    CompoundDoc.XlsDoc().save(os.path.join(HERE, "excel5.xls"), stream)


def plain_sheet(version):
    # One worksheet as a bare BIFF stream (no container), as Excel 2.1 to 4.0 saved it: a date
    # format, whole numbers as INTEGER (2.1) or RK (3.0, 4.0) records, a blank cell.
    def cell_head(r, c, xf):
        if version == 2:  # attributes: the format index is in the second byte
            return struct.pack("<HHBBB", r, c, 0, xf, 0)
        return struct.pack("<HHH", r, c, xf)

    def label(r, c, v):
        text = v.encode("latin-1")
        if version == 2:
            return record(0x0004, cell_head(r, c, 0) + struct.pack("<B", len(text)) + text)
        return record(0x0204, cell_head(r, c, 0) + struct.pack("<H", len(text)) + text)

    def whole(r, c, v, xf=0):
        if version == 2:
            return record(0x0002, cell_head(r, c, xf) + struct.pack("<H", v))
        return record(0x027E, cell_head(r, c, xf) + struct.pack("<I", (v << 2) | 2))

    def number(r, c, v, xf=0):
        return record(0x0003 if version == 2 else 0x0203, cell_head(r, c, xf) + struct.pack("<d", v))

    def blank(r, c):
        return record(0x0001 if version == 2 else 0x0201, cell_head(r, c, 0))

    if version == 2:
        out = record(0x0009, struct.pack("<HH", 0x0002, 0x0010))
        out += record(0x001E, b"\x07General") + record(0x001E, b"\x06d.m.yy")
        out += record(0x0000, struct.pack("<HHHH", 0, 3, 0, 3))
    else:
        out = record(0x0209 if version == 3 else 0x0409, struct.pack("<HHH", 0, 0x0010, 0))
        date_format = 1 if version == 3 else 164
        if version == 3:
            out += record(0x001E, b"\x07General") + record(0x001E, b"\x0Add.mm.yyyy")
            xf = lambda fmt: record(0x0243, struct.pack("<BB", 0, fmt) + bytes(10))
        else:
            out += record(0x041E, struct.pack("<HB", 164, 10) + b"dd.mm.yyyy")
            xf = lambda fmt: record(0x0443, struct.pack("<BB", 0, fmt) + bytes(10))
        out += xf(0) + xf(date_format)
        out += record(0x0200, struct.pack("<HHHHH", 0, 3, 0, 3, 0))
    out += label(0, 0, "Town") + label(0, 1, "People") + label(0, 2, "Founded")
    out += label(1, 0, "Z\u00fcrich") + whole(1, 1, 18000) + number(1, 2, 36526.0, 1)  # 2000-01-01
    out += label(2, 0, "Thun") + number(2, 1, 43500.5) + blank(2, 2)
    out += record(0x000A)
    with open(os.path.join(HERE, "excel%d.xls" % version), "wb") as f:
        f.write(out)


if __name__ == "__main__":
    biff8_workbook()
    biff8_protected()
    biff5_workbook()
    for v in (2, 3, 4):
        plain_sheet(v)
