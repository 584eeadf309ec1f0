#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""Writes the seed inputs of the fuzz targets into OUT/<target>/: the test
fixtures each target can take, and small hand-made inputs that reach the
parts of a reader the fixtures leave cold (every cell kind, strings split
over CONTINUE records, spans, odd encodings, number formats)."""
import io
import pathlib
import shutil
import struct
import sys
import zipfile

ROOT = pathlib.Path(__file__).resolve().parent.parent
FIXTURES = ROOT / "tests" / "fixtures"
OLE_MAGIC = b"\xd0\xcf\x11\xe0\xa1\xb1\x1a\xe1"


def put(out, target, name, data):
    d = out / target
    d.mkdir(parents=True, exist_ok=True)
    (d / name).write_bytes(data)


def fixture_files(pattern):
    # Bombs take the fuzzer seconds each and are covered by the unit tests.
    return [p for p in sorted(FIXTURES.rglob(pattern))
            if p.is_file() and "bomb" not in p.name and "regressions" not in p.parts]


# --- SpreadsheetML -----------------------------------------------------------

SHEETS = {
    "cells.xml": """<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">
<dimension ref="A1:H6"/><sheetFormatPr defaultRowHeight="15" baseColWidth="10" defaultColWidth="9.5"/>
<cols><col min="1" max="2" width="12.5" customWidth="1"/><col min="2" max="4" width="3" hidden="1"/></cols>
<sheetData>
<row r="1" ht="20" customHeight="1"><c r="A1" t="s"><v>0</v></c><c r="B1" t="s" s="1"><v>3</v></c><c r="C1"><v>1.5E+3</v></c><c r="D1" t="b"><v>1</v></c><c r="E1" t="e"><v>#DIV/0!</v></c></row>
<row r="2" hidden="1" s="2" customFormat="1"><c r="A2" t="inlineStr"><is><r><t xml:space="preserve"> 张 </t></r><r><t>三&amp;&lt;&#x4E00;&#32;</t></r><rPh sb="0" eb="1"><t>ZHANG</t></rPh></is></c><c r="B2" t="str"><f>A1&amp;"x"</f><v>text</v></c><c r="C2" t="str"><f>=#N/A</f><v>#N/A</v></c></row>
<row r="4"><c r="A4" t="d" s="2"><v>2024-02-29T08:30:00.5Z</v></c><c s="3"><v>0.25</v></c><c r="H4" s="5"><v>-12345.678</v></c><c r="XFD4"><v>1</v></c></row>
<row><c><v>110101199001011234</v></c><c t="n"><v>1e308</v></c><c s="4"><v>3</v></c></row>
</sheetData>
<mergeCells count="2"><mergeCell ref="A1:B2"/><mergeCell ref="C4:D5"/></mergeCells>
</worksheet>""",
    "prefixed.xml": """<x:worksheet xmlns:x="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><x:sheetData>
<x:row r="1048576"><x:c r="A1048576" t="s"><x:v>2</x:v></x:c></x:row><x:row r="3"><x:c r="B3"><x:v>1</x:v></x:c></x:row>
</x:sheetData></x:worksheet>""",
    "empty.xml": """<?xml version="1.0"?><worksheet><sheetData/></worksheet>""",
    "cdata.xml": """<?xml version="1.0" encoding="utf-8"?><!-- c --><worksheet><sheetData><row r="1"><c r="A1" t="inlineStr"><is><t><![CDATA[a<b]]></t></is></c><?pi x?></row></sheetData></worksheet>""",
}

WORKBOOK = """<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">
<workbookPr date1904="1"/><sheets><sheet name="数据" sheetId="1" r:id="rId1"/><sheet name="Hidden" sheetId="2" state="hidden" r:id="rId2"/></sheets></workbook>"""
WORKBOOK_RELS = """<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">
<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="worksheets/sheet1.xml"/>
<Relationship Id="rId2" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="/xl/worksheets/sheet2.xml"/>
<Relationship Id="rId3" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings" Target="sharedStrings.xml"/>
<Relationship Id="rId4" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles" Target="styles.xml"/>
</Relationships>"""
ROOT_RELS = """<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">
<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="xl/workbook.xml"/></Relationships>"""
CONTENT_TYPES = """<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">
<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>
<Default Extension="xml" ContentType="application/xml"/>
<Override PartName="/xl/workbook.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"/></Types>"""
SHARED = """<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<sst xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" count="4" uniqueCount="4">
<si><t>甲</t></si><si><r><rPr><b/></rPr><t>rich</t></r><r><t xml:space="preserve"> text_x000D_</t></r></si><si><t>0012</t><rPh><t>x</t></rPh></si><si><t/></si></sst>"""
STYLES = """<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<styleSheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">
<numFmts count="2"><numFmt numFmtId="164" formatCode="yyyy&quot;年&quot;m&quot;月&quot;d&quot;日&quot;"/><numFmt numFmtId="165" formatCode="[Red][&lt;=100]0.00;[Blue]#,##0"/></numFmts>
<fonts count="2"><font><sz val="11"/><name val="宋体"/></font><font><b/><i/><u val="double"/><color rgb="FFFF0000"/><sz val="14"/><name val="Arial"/></font></fonts>
<fills count="3"><fill><patternFill patternType="none"/></fill><fill><patternFill patternType="gray125"/></fill><fill><patternFill patternType="solid"><fgColor theme="4" tint="0.4"/></patternFill></fill></fills>
<borders count="2"><border/><border><left style="thin"><color indexed="8"/></left><bottom style="double"/></border></borders>
<cellStyleXfs count="1"><xf numFmtId="0" fontId="0" fillId="0" borderId="0"/></cellStyleXfs>
<cellXfs count="6"><xf numFmtId="0" fontId="0" fillId="0" borderId="0" xfId="0"/><xf numFmtId="49" fontId="1" fillId="2" borderId="1" applyNumberFormat="1"/>
<xf numFmtId="164"/><xf numFmtId="10"/><xf numFmtId="165"/><xf numFmtId="58"><alignment horizontal="center" vertical="top" wrapText="1" indent="2"/><protection locked="0"/></xf></cellXfs>
</styleSheet>"""


def make_xlsx(compression):
    buf = io.BytesIO()
    with zipfile.ZipFile(buf, "w", compression) as z:
        z.writestr("[Content_Types].xml", CONTENT_TYPES)
        z.writestr("_rels/.rels", ROOT_RELS)
        z.writestr("xl/workbook.xml", WORKBOOK)
        z.writestr("xl/_rels/workbook.xml.rels", WORKBOOK_RELS)
        z.writestr("xl/sharedStrings.xml", SHARED)
        z.writestr("xl/styles.xml", STYLES)
        z.writestr("xl/worksheets/sheet1.xml", SHEETS["cells.xml"])
        z.writestr("xl/worksheets/sheet2.xml", SHEETS["prefixed.xml"])
    return buf.getvalue()


# --- BIFF --------------------------------------------------------------------

def rec(rtype, body=b""):
    return struct.pack("<HH", rtype, len(body)) + body


def xl_string(text, long_length=True):
    wide = any(ord(c) > 0xFF for c in text)
    chars = text.encode("utf-16-le") if wide else text.encode("latin-1")
    head = struct.pack("<H" if long_length else "<B", len(text))
    return head + bytes([1 if wide else 0]) + chars


def xf(font, fmt, style=False):
    return rec(0x00E0, struct.pack("<HHHBBBBIIH", font, fmt, 0xFFF5 if style else 0x0001,
                                   0x20, 0, 0, 0, 0, 0, 0x20C0))


def font(name, bold=False):
    return rec(0x0031, struct.pack("<HHHHHBBBB", 220, 0, 0x7FFF, 700 if bold else 400, 0, 0, 0, 134, 0)
               + xl_string(name, long_length=False))


def rk_int(v):
    return ((v << 2) | 2) & 0xFFFFFFFF


def biff8_stream(date1904):
    strings = ["甲乙", "text", "0012", "x" * 40 + "分成两段" * 10]
    sst_strings = b"".join(xl_string(s) for s in strings)
    sst = struct.pack("<II", len(strings), len(strings)) + sst_strings
    # The last string is split between SST and a CONTINUE, its width flag repeated.
    split = len(sst) - 30
    sst_rec = rec(0x00FC, sst[:split]) + rec(0x003C, b"\x01" + sst[split:])

    sheet = b"".join([
        rec(0x0809, struct.pack("<HHHHII", 0x0600, 0x0010, 0x0DBB, 0x07CC, 0, 6)),
        rec(0x0225, struct.pack("<HH", 0, 300)),
        rec(0x0055, struct.pack("<H", 10)),
        rec(0x007D, struct.pack("<HHHHHH", 0, 2, 4000, 15, 0x0001, 0)),
        rec(0x0200, struct.pack("<IIHHH", 0, 6, 0, 8, 0)),
        rec(0x0208, struct.pack("<HHHHHHI", 0, 0, 8, 400, 0, 0, 0x00000140 | (16 << 16))),
        rec(0x00FD, struct.pack("<HHHI", 0, 0, 15, 0)),
        rec(0x00FD, struct.pack("<HHHI", 0, 1, 16, 3)),
        rec(0x0203, struct.pack("<HHHd", 0, 2, 17, 45351.5)),
        rec(0x027E, struct.pack("<HHHI", 0, 3, 18, rk_int(-7))),
        rec(0x00BD, struct.pack("<HH", 1, 0) + struct.pack("<HI", 15, 0x3FF00000) + struct.pack("<HI", 15, rk_int(100) | 1) + struct.pack("<H", 1)),
        rec(0x0204, struct.pack("<HHH", 2, 0, 15) + xl_string("标签 label")),
        rec(0x0205, struct.pack("<HHHBB", 2, 1, 15, 1, 0)),
        rec(0x0205, struct.pack("<HHHBB", 2, 2, 15, 0x2A, 1)),
        rec(0x0006, struct.pack("<HHH", 3, 0, 15) + struct.pack("<HHH", 0, 0, 0) + b"\x00\x00\xff\xff" + struct.pack("<HIH", 0, 0, 0)),
        rec(0x0207, xl_string("公式结果")),
        rec(0x0006, struct.pack("<HHHd", 3, 1, 15, 2.5) + struct.pack("<HIH", 0, 0, 0)),
        rec(0x0201, struct.pack("<HHH", 4, 4, 16)),
        rec(0x00BE, struct.pack("<HHHHH", 5, 0, 15, 15, 1)),
        rec(0x00E5, struct.pack("<H", 2) + struct.pack("<HHHH", 0, 1, 0, 1) + struct.pack("<HHHH", 3, 5, 2, 3)),
        rec(0x000A),
    ])

    def globals_with(offset):
        fonts = [font("宋体"), font("Arial", True), font("x"), font("y"), font("z")]
        xfs = [xf(0, 0, True)] * 15 + [xf(0, 0), xf(1, 49), xf(0, 164), xf(0, 165)]
        return b"".join([
            rec(0x0809, struct.pack("<HHHHII", 0x0600, 0x0005, 0x0DBB, 0x07CC, 0, 6)),
            rec(0x0042, struct.pack("<H", 1200)),
            rec(0x0022, struct.pack("<H", 1 if date1904 else 0)),
            *fonts,
            rec(0x041E, struct.pack("<H", 164) + xl_string('yyyy"年"m"月"d"日" h:mm')),
            rec(0x041E, struct.pack("<H", 165) + xl_string("[Red]0.00_);(0.00)")),
            *xfs,
            rec(0x0092, struct.pack("<H", 2) + b"\xff\x00\x00\x00\x00\xff\x00\x00"),
            rec(0x0085, struct.pack("<IBB", offset, 0, 0) + xl_string("数据", long_length=False)),
            sst_rec,
            rec(0x000A),
        ])

    head = globals_with(0)
    return globals_with(len(head)) + sheet


def biff5_stream():
    sheet = b"".join([
        rec(0x0809, struct.pack("<HHHH", 0x0500, 0x0010, 0, 0)),
        rec(0x0200, struct.pack("<HHHHH", 0, 2, 0, 2, 0)),
        rec(0x0204, struct.pack("<HHHH", 0, 0, 15, 4) + "中文".encode("gbk")),
        rec(0x0203, struct.pack("<HHHd", 1, 1, 15, -0.5)),
        rec(0x000A),
    ])

    def globals_with(offset):
        name = "表1".encode("gbk")
        return b"".join([
            rec(0x0809, struct.pack("<HHHH", 0x0500, 0x0005, 0, 0)),
            rec(0x0042, struct.pack("<H", 936)),
            rec(0x0085, struct.pack("<IBBB", offset, 0, 0, len(name)) + name),
            rec(0x000A),
        ])

    return globals_with(len(globals_with(0))) + sheet


def workbook_stream(data):
    """The Workbook (or Book) stream of a compound file, for the BIFF seeds;
    None when the file is not a plain one (only the regular FAT is followed)."""
    try:
        if not data.startswith(OLE_MAGIC):
            return None
        ssz = 1 << struct.unpack_from("<H", data, 0x1E)[0]
        first_dir, = struct.unpack_from("<I", data, 0x30)
        cutoff, = struct.unpack_from("<I", data, 0x38)
        difat = [s for s in struct.unpack_from("<109I", data, 0x4C) if s < 0xFFFFFFFA]
        sector = lambda n: data[(n + 1) * ssz:(n + 2) * ssz]
        fat = []
        for s in difat:
            fat.extend(struct.unpack("<%dI" % (ssz // 4), sector(s)))

        def chain(start):
            out, n, seen = b"", start, set()
            while n < len(fat) and n not in seen:
                seen.add(n)
                out += sector(n)
                n = fat[n]
            return out

        directory = chain(first_dir)
        entries = []
        for off in range(0, len(directory) - 127, 128):
            name_len, = struct.unpack_from("<H", directory, off + 0x40)
            name = directory[off:off + max(0, name_len - 2)].decode("utf-16-le", "replace")
            entries.append((name,) + struct.unpack_from("<II", directory, off + 0x74))
        for name, start, size in entries:
            if name not in ("Workbook", "Book"):
                continue
            if size >= cutoff:
                return chain(start)[:size]
            # Small streams live in the mini stream, in 64-byte sectors.
            mini_stream = chain(entries[0][1])
            minifat_start, = struct.unpack_from("<I", data, 0x3C)
            raw = chain(minifat_start)
            minifat = struct.unpack("<%dI" % (len(raw) // 4), raw)
            out, n, seen = b"", start, set()
            while n < len(minifat) and n not in seen:
                seen.add(n)
                out += mini_stream[n * 64:(n + 1) * 64]
                n = minifat[n]
            return out[:size]
    except (struct.error, IndexError):
        pass
    return None


# --- text, HTML, number formats ---------------------------------------------

CSV = {
    "plain.csv": "名称,数量,日期\r\n苹果,12,2024/3/1\n\"带,逗号\",\"引\"\"号\",0012\r\n110101199001011234,1e5,-0\n,,\n".encode("utf-8"),
    "bom.csv": b"\xef\xbb\xbfa,b\n1.50,TRUE\n",
    "utf16.csv": "\ufeffa\tb\r\n中\t1\r\n".encode("utf-16-le"),
    "utf16be.csv": "\ufeffx,y\n2,3\n".encode("utf-16-be"),
    "gbk.csv": "姓名,城市\n张伟,上海\n".encode("gb18030"),
    "quotes.csv": b'"multi\nline",x\r"unterminated,y\n',
    "tabs.tsv": b"a\tb\tc\n1\t2\t3\n\t\t\n",
}

HTML = {
    "spans.html": """<html><head><meta charset="gbk"><title>t</title></head><body><p>x</p>
<table border=1><tr><th colspan=2>头</th><th rowspan="3">R</th></tr><tr><td>1<br>2</td><td>&nbsp;3.50 </td></tr>
<tr><td colspan="1000">wide</td></tr><tr><td rowspan=0>z</td></tr></table><table><tr><td>second</td></tr></table></body></html>""".encode("gbk"),
    "nested.html": b"<table><tr><td><table><tr><td>in</td></tr></table>out</td><td>0012</td></tr><tbody><tr><td>1e3</td></tbody></table>",
    "meta.html": b'<meta http-equiv="Content-Type" content="text/html; charset=big5"><table><tr><td>\xa4\xa4</td></tr></table>',
    "utf16.html": "\ufeff<table><tr><td>中文</td><td>2</td></tr></table>".encode("utf-16-le"),
}

FORMAT_CODES = [
    "General", "0", "0.00", "#,##0", "#,##0.00", "0%", "0.00%", "0.00E+00", "# ?/?", "# ??/??",
    "m/d/yy", "d-mmm-yy", "d-mmm", "mmm-yy", "h:mm AM/PM", "h:mm:ss AM/PM", "h:mm", "h:mm:ss",
    "m/d/yy h:mm", "#,##0 ;(#,##0)", "[Red]#,##0.00;[Blue]-#,##0.00", "mm:ss", "[h]:mm:ss", "mm:ss.0",
    "##0.0E+0", "@", 'yyyy"年"m"月"d"日"', "[DBNum1][$-804]General", "[DBNum2]0", "[DBNum3]0.00",
    '[$-804]aaaa', "[$¥-804]#,##0.00", "_(* #,##0_);_(* (#,##0);_(* \"-\"??_);_(@_)", ";;;",
    "[<=9999999]###-####;(###) ###-####", "[>=100][Green]0;[<0]0.0;0.00", "0.0#,,", "\\\"0\\\"",
    "[h]:mm:ss.000", "dddd, mmmm dd, yyyy", "上午/下午h\"时\"mm\"分\"", "yyyy-mm-dd\\Thh:mm:ss",
    "000000000000000000", "?/100", "0 0/8", "@\"元\"", "0;-0;;@", "[=1]\"one\";[=2]\"two\";0",
    "e/m/d", "b2yyyy/mm/dd", "ggge\"年\"", "[s].000", "*-0", "0.000_);[Red](0.000)",
]
VALUES = [0.0, 1.0, -1.5, 45351.75, 0.3333333333333, 1e15, -1e-10, 123456789.987, 2958465.99999, -0.0, 60.0]


# Lines of the formula target: "=..." a formula of the first sheet, "2=..." of
# the second, "name=..." a defined name, anything else a value.
FORMULAS = [
    ["KEY1", "2", "3", '=A1&"-x"', "=B1+C1", "=B1>C1", "=DATE(2020,2,29)", "=1/0", "=NOSUCH(A1)"],
    ["1", "2", "3", "=SUM(A1:C1)", "=A2*2", "=B2+A2", "=C2", "=A3", "=B3"],
    ["10", "total=Sheet1!$A$1*2", "=total+1", "2=Sheet1!A1+1", "=Other!A1*3", "=COUNTA(A1:C9)"],
    ["=A1+1", "=A1", "=LEN(\"abc\")", '=IF(A1>0,"yes","no")', '=CONCATENATE("a","b")', "=LEFT(\"xyz\",2)", "=PI()"],
    ["text", "TRUE", "=A1=\"TEXT\"", "=#REF!+1", "=[1]Sheet1!A1", "=SUM(A:A)", "=INDIRECT(\"A1\")", "=RAND()"],
]


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make-seeds.py OUT")
    out = pathlib.Path(sys.argv[1])
    if out.exists():
        shutil.rmtree(out)

    xlsx_files = fixture_files("*.xlsx") + fixture_files("*.xlsm") + \
        sorted((ROOT / "examples" / "workbooks").rglob("*.xlsx"))
    for p in xlsx_files:
        put(out, "xlsx", p.name, p.read_bytes())
    put(out, "xlsx", "made-deflated.xlsx", make_xlsx(zipfile.ZIP_DEFLATED))
    put(out, "xlsx", "made-stored.xlsx", make_xlsx(zipfile.ZIP_STORED))

    for name, text in SHEETS.items():
        put(out, "worksheet", name, text.encode("utf-8"))
    for p in xlsx_files:
        try:
            with zipfile.ZipFile(p) as z:
                for info in z.infolist():
                    if info.filename.startswith("xl/worksheets/") and info.filename.endswith(".xml") \
                            and info.file_size < 256 * 1024:
                        put(out, "worksheet", p.stem + "-" + pathlib.PurePath(info.filename).name, z.read(info))
        except (zipfile.BadZipFile, OSError, RuntimeError, ValueError, NotImplementedError, EOFError):
            pass  # the damaged fixtures are seeds of the package target only

    for p in fixture_files("*.xls"):
        if p.read_bytes().startswith(OLE_MAGIC):
            put(out, "xls", p.name, p.read_bytes())
            stream = workbook_stream(p.read_bytes())
            if stream:
                put(out, "biff", p.stem + ".bin", stream)
    put(out, "biff", "biff8.bin", biff8_stream(False))
    put(out, "biff", "biff8-1904.bin", biff8_stream(True))
    put(out, "biff", "biff5.bin", biff5_stream())

    for name, data in CSV.items():
        put(out, "csv", name, data)
    for p in sorted((ROOT / "examples" / "workbooks").rglob("*.csv")):
        put(out, "csv", p.name, p.read_bytes()[:4096])
    for p in fixture_files("*.xls"):
        if not p.read_bytes().startswith(OLE_MAGIC):
            put(out, "csv", p.name, p.read_bytes())
            put(out, "html", p.name, p.read_bytes())
    for name, data in HTML.items():
        put(out, "html", name, data)

    for i, code in enumerate(FORMAT_CODES):
        value = VALUES[i % len(VALUES)]
        put(out, "numfmt", "code%02d" % i, struct.pack("<d", value) + bytes([i & 1]) + code.encode("utf-8"))

    for i, lines in enumerate(FORMULAS):
        put(out, "formula", "cells%02d" % i, "\n".join(lines).encode("utf-8"))


if __name__ == "__main__":
    main()
