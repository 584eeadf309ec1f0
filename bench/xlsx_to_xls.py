#!/usr/bin/python3
# SPDX-License-Identifier: Apache-2.0
"""Rewrites every .xlsx of a corpus as .xls (BIFF8) with the same cells, so the
benchmark can compare the legacy reader with the .xlsx one on the same data.

    xlsx_to_xls.py SOURCE_DIR OUT_DIR
"""
import datetime
import os
import sys

import openpyxl
import xlwt


def convert(src, dst):
    book = openpyxl.load_workbook(src, read_only=True, data_only=True)
    out = xlwt.Workbook(encoding="utf-8")
    date_style = xlwt.easyxf(num_format_str="yyyy/m/d")
    money_style = xlwt.easyxf(num_format_str="#,##0.00")
    for ws in book.worksheets:
        sheet = out.add_sheet(ws.title[:31])
        for r, row in enumerate(ws.iter_rows(values_only=True)):
            if r >= 65536:
                break
            for c, value in enumerate(row[:256]):
                if value is None:
                    continue
                if isinstance(value, datetime.datetime):
                    sheet.write(r, c, value, date_style)
                elif isinstance(value, float) and not value.is_integer():
                    sheet.write(r, c, value, money_style)
                else:
                    sheet.write(r, c, value)
    out.save(dst)
    book.close()


def main():
    if len(sys.argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    source, target = sys.argv[1], sys.argv[2]
    for folder, _, names in os.walk(source):
        for name in names:
            if not name.endswith(".xlsx"):
                continue
            rel = os.path.relpath(folder, source)
            os.makedirs(os.path.join(target, rel), exist_ok=True)
            convert(os.path.join(folder, name), os.path.join(target, rel, name[:-5] + ".xls"))
    return 0


if __name__ == "__main__":
    sys.exit(main())
