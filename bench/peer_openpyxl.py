#!/usr/bin/python3
# SPDX-License-Identifier: Apache-2.0
"""The same search done with openpyxl, the side-by-side peer of the benchmark.

Reads every workbook under SOURCE in read-only mode, keeps each row in which a
cell's text contains one of the values (case-insensitive, like a partial
match) and writes the rows into one result workbook.

    peer_openpyxl.py SOURCE RESULT.xlsx VALUE [VALUE ...]
"""
import os
import sys

import openpyxl


def main():
    if len(sys.argv) < 4:
        print(__doc__, file=sys.stderr)
        return 2
    source, result, values = sys.argv[1], sys.argv[2], [v.lower() for v in sys.argv[3:]]
    out = openpyxl.Workbook(write_only=True)
    sheet = out.create_sheet("Sheet1")
    files = rows = 0
    for folder, _, names in os.walk(source):
        for name in sorted(names):
            if not name.lower().endswith((".xlsx", ".xlsm")):
                continue
            files += 1
            book = openpyxl.load_workbook(os.path.join(folder, name), read_only=True, data_only=True)
            for ws in book.worksheets:
                for row in ws.iter_rows(values_only=True):
                    for cell in row:
                        if cell is None:
                            continue
                        text = str(cell).lower()
                        hits = sum(1 for v in values if v in text)
                        for _ in range(hits):
                            sheet.append(list(row))
                            rows += 1
            book.close()
    out.save(result)
    print(f"{files} files, {rows} rows", file=sys.stderr)
    return 0


if __name__ == "__main__":
    sys.exit(main())
