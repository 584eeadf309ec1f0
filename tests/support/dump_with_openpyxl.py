#!/usr/bin/python3
# SPDX-License-Identifier: Apache-2.0
"""Prints what openpyxl reads from an .xlsx file, for the tests (OpenpyxlDump.h).

One tab-separated record a line; every text field is encoded by enc() so that
a field never holds a tab, a line end or anything a byte-wise compare could
misread:

  warning  CATEGORY  MESSAGE...
  sheet    NAME  STATE  selected=BOOL
  active   NAME
  cell     SHEET  COORD  PYTYPE  DATATYPE  VALUE  FORMULA  key=value...
  merge    SHEET  RANGE
  col      SHEET  LETTER  min=N  max=N  width=W  hidden=BOOL
  row      SHEET  INDEX  height=H  hidden=BOOL
  features SHEET  key=value...  (panes, filter, validation, conditional
                                  formats, tab colour, print settings)
  name     NAME  SCOPE  VALUE

Exit status 77 when openpyxl is not installed, so the test can skip.
"""

import re
import sys
import warnings
import zipfile
from xml.etree import ElementTree

try:
    import openpyxl
    from openpyxl.cell.cell import MergedCell
except ImportError:
    print("openpyxl is not installed for " + sys.executable)
    sys.exit(77)

# openpyxl leaves the "_xHHHH_" escapes of the format in the text it hands
# out; the applications decode them, so the dump does too, in one pass, so
# that an escaped underscore ("_x005F_") does not start another escape.
ESCAPE = re.compile("_x([0-9A-Fa-f]{4})_")


def decoded(text):
    return ESCAPE.sub(lambda m: chr(int(m.group(1), 16)), text)


def enc(value):
    """Printable ASCII but '%' as is, every other byte of the UTF-8 as %XX."""
    out = []
    for b in str(value).encode("utf-8"):
        out.append(chr(b) if 0x21 <= b <= 0x7E and b != 0x25 else "%%%02X" % b)
    return "".join(out)


def rgb(color):
    return color.rgb if color is not None and color.type == "rgb" else None


def side(line):
    return "%s:%s" % (line.style, rgb(line.color))


def gradient(fill):
    """type:degree:position=colour,... of a gradient fill; None for a pattern."""
    if fill.tagname != "gradientFill":
        return None
    stops = ",".join("%r=%s" % (stop.position, rgb(stop.color)) for stop in fill.stop)
    return "%s:%r:%s" % (fill.type, float(fill.degree or 0), stops)


def style_fields(cell):
    font, fill, border, al = cell.font, cell.fill, cell.border, cell.alignment
    return [
        ("numfmt", cell.number_format),
        ("numfmtid", cell._style.numFmtId),  # a built-in format is named by id alone
        ("font", font.name),
        ("size", float(font.sz)),
        ("bold", bool(font.b)),
        ("italic", bool(font.i)),
        ("underline", font.u),
        ("strike", bool(font.strike)),
        ("color", rgb(font.color)),
        ("fill", fill.fill_type),
        ("fg", rgb(fill.fgColor) if fill.tagname == "patternFill" else None),
        ("bg", rgb(fill.bgColor) if fill.tagname == "patternFill" else None),
        ("gradient", gradient(fill)),
        ("left", side(border.left)),
        ("right", side(border.right)),
        ("top", side(border.top)),
        ("bottom", side(border.bottom)),
        ("halign", al.horizontal),
        ("valign", al.vertical),
        ("wrap", bool(al.wrap_text)),
        ("rotation", float(al.text_rotation or 0)),
        ("indent", float(al.indent or 0)),
        ("locked", bool(cell.protection.locked)),
    ]


def value_field(value):
    if isinstance(value, str):
        return decoded(value)
    if isinstance(value, float):
        return repr(value)  # the shortest text that reads back as the same double
    if hasattr(value, "isoformat"):
        return value.isoformat()
    return value


def emit(*fields):
    print("\t".join(enc(f) for f in fields))


def unpreserved_spaces(path):
    """Texts whose edge white space lacks xml:space="preserve".

    openpyxl keeps such white space whatever the attribute says, but the
    applications trim it, so openpyxl alone would not notice it missing."""
    preserve = "{http://www.w3.org/XML/1998/namespace}space"
    with zipfile.ZipFile(path) as package:
        for member in sorted(package.namelist()):
            if not member.startswith("xl/") or not member.endswith(".xml"):
                continue
            for t in ElementTree.fromstring(package.read(member)).iter(
                    "{http://schemas.openxmlformats.org/spreadsheetml/2006/main}t"):
                if t.text and t.text != t.text.strip(" \t\r\n") and t.get(preserve) != "preserve":
                    yield member, t.text


def main(path):
    # Warnings openpyxl gives about the file (UserWarning and the like) are
    # findings. Deprecation warnings concern openpyxl's own code under a newer
    # Python, not the file, so they are left out. Recorded rather than raised
    # (-W error) so that one warning does not hide the rest of the dump.
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        values = openpyxl.load_workbook(path, data_only=True)
        formulas = openpyxl.load_workbook(path)
    for w in caught:
        if not issubclass(w.category, (DeprecationWarning, PendingDeprecationWarning)):
            emit("warning", w.category.__name__, str(w.message))
    for member, text in unpreserved_spaces(path):
        emit("warning", "xml:space", member, text)

    for ws in values.worksheets:
        emit("sheet", ws.title, ws.sheet_state, "selected=%s" % bool(ws.sheet_view.tabSelected))
    emit("active", values.active.title)

    for ws in values.worksheets:
        for row in ws.iter_rows():
            for cell in row:
                if isinstance(cell, MergedCell) or (cell.value is None and not cell.has_style):
                    continue
                formula = formulas[ws.title][cell.coordinate]
                fields = ["cell", ws.title, cell.coordinate, type(cell.value).__name__, cell.data_type,
                          value_field(cell.value), formula.value if formula.data_type == "f" else "-"]
                fields += ["%s=%s" % kv for kv in style_fields(cell)]
                emit(*fields)
        for merged in sorted(ws.merged_cells.ranges, key=lambda r: (r.min_row, r.min_col)):
            emit("merge", ws.title, merged.coord)
        for letter, dim in sorted(ws.column_dimensions.items(), key=lambda kv: kv[1].min or 0):
            emit("col", ws.title, letter, "min=%s" % dim.min, "max=%s" % dim.max, "width=%r" % dim.width,
                 "hidden=%s" % bool(dim.hidden))
        for index, dim in sorted(ws.row_dimensions.items()):
            if dim.ht is not None or dim.hidden:
                emit("row", ws.title, index, "height=%r" % dim.ht, "hidden=%s" % bool(dim.hidden))
        emit(*features(ws))

    for name, scope, text in sorted(defined_names(values)):
        emit("name", name, scope, text)


def defined_names(wb):
    """(name, sheet or "-", value) of the names openpyxl hands out as names
    (print titles and areas it turns into sheet settings)."""
    if hasattr(wb.defined_names, "items"):  # openpyxl 3.1: by scope
        found = [(n, "-", d.attr_text) for n, d in wb.defined_names.items()]
        for ws in wb.worksheets:
            found += [(n, ws.title, d.attr_text) for n, d in ws.defined_names.items()]
        return found
    titles = [ws.title for ws in wb.worksheets]
    return [(d.name, "-" if d.localSheetId is None else titles[int(d.localSheetId)], d.attr_text)
            for d in wb.defined_names.definedName]


def features(ws):
    """What a sheet holds beyond its cells, one field a feature."""
    rules = []
    for cf in ws.conditional_formatting:
        for rule in cf.rules:
            dxf = rule.dxf
            fill = rgb(dxf.fill.bgColor) if dxf is not None and dxf.fill is not None else None
            rules.append("%s:%s:%s:%s" % (cf.sqref, rule.type, ",".join(rule.formula or []), fill))
    validations = ["%s:%s:%s" % (dv.sqref, dv.type, dv.formula1) for dv in ws.data_validations.dataValidation]
    return ["features", ws.title,
            "freeze=%s" % ws.freeze_panes,
            "filter=%s" % ws.auto_filter.ref,
            "validations=%s" % ";".join(validations),
            "conditional=%s" % ";".join(rules),
            "tab=%s" % rgb(ws.sheet_properties.tabColor),
            "orientation=%s" % ws.page_setup.orientation,
            "margins=%s" % ws.page_margins.left,
            "header=%s" % ws.oddHeader.center.text,
            "printrows=%s" % ws.print_title_rows]


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit("usage: dump_with_openpyxl.py FILE.xlsx")
    main(sys.argv[1])
