#!/usr/bin/python3
"""oracle_compare.py WORKBOOK DOCUMENT.json

Compares the document `r58267 import` made of an Excel-made workbook with
what an independent reader finds in the file: xlrd for .xls, openpyxl for
.xlsx (stored formula results, as Excel saved them). Every cell's value
(numbers, texts, truth values, errors, dates in the workbook's date system),
every number format the file defines itself and, in an .xlsx, every
formula text (shared formulas as made for each cell) must agree. Prints one line
per difference; exit status 1 when there is any.
"""
import datetime
import json
import sys


def our_cells(document):
    cells = {}
    for sheet in document["sheets"]:
        for name, cell in sheet.get("cells", {}).items():
            cells[(sheet["name"], name)] = cell if isinstance(cell, dict) else {"value": cell}
    return cells


def our_value(cell):
    if "date" in cell:
        return ("date", cell["date"])
    value = cell.get("value")
    if isinstance(value, dict):
        if "date" in value:
            return ("date", value["date"])
        return ("error", value.get("error"))
    if isinstance(value, bool):
        return ("bool", value)
    if isinstance(value, (int, float)):
        return ("number", float(value))
    return ("text", value)


def same(ours, theirs):
    if ours[0] == "number" and theirs[0] == "number":
        return abs(ours[1] - theirs[1]) <= 1e-9 * max(1.0, abs(theirs[1]))
    return ours == theirs


def xls_cells(path):
    import xlrd

    book = xlrd.open_workbook(path, formatting_info=True)
    for sheet in book.sheets():
        for row in range(sheet.nrows):
            for column in range(sheet.ncols):
                cell = sheet.cell(row, column)
                kind = cell.ctype
                if kind in (xlrd.XL_CELL_EMPTY, xlrd.XL_CELL_BLANK):
                    continue
                value = None
                if kind == xlrd.XL_CELL_TEXT:
                    value = ("text", cell.value)
                elif kind == xlrd.XL_CELL_NUMBER:
                    value = ("number", float(cell.value))
                elif kind == xlrd.XL_CELL_DATE:
                    if cell.value == int(cell.value) and not (book.datemode == 0 and cell.value == 60):
                        parts = xlrd.xldate_as_tuple(cell.value, book.datemode)
                        value = ("date", "%04d-%02d-%02d" % parts[:3])
                elif kind == xlrd.XL_CELL_BOOLEAN:
                    value = ("bool", bool(cell.value))
                elif kind == xlrd.XL_CELL_ERROR:
                    value = ("error", xlrd.error_text_from_code[cell.value])
                key = book.xf_list[cell.xf_index].format_key
                # Formats below 50 are built in: xlrd's texts for them are
                # not Excel's own.
                fmt = book.format_map[key].format_str if key >= 50 else None
                yield (sheet.name, xlrd.cellname(row, column)), value, fmt, None


def xlsx_cells(path):
    import openpyxl
    from openpyxl.styles.numbers import BUILTIN_FORMATS_REVERSE

    book = openpyxl.load_workbook(path, data_only=True)
    texts = openpyxl.load_workbook(path)
    for sheet in book.worksheets:
        for row in sheet.iter_rows():
            for cell in row:
                if cell.value is None:
                    continue
                v = cell.value
                if isinstance(v, bool):
                    value = ("bool", v)
                elif isinstance(v, datetime.datetime):
                    value = ("date", v.date().isoformat()) if v.time() == datetime.time() else None
                elif isinstance(v, (int, float)):
                    value = ("number", float(v))
                elif cell.data_type == "e":
                    value = ("error", v)
                else:
                    value = ("text", str(v))
                fmt = cell.number_format
                formula = texts[sheet.title][cell.coordinate].value
                if not (isinstance(formula, str) and formula.startswith("=")):
                    formula = None
                yield (sheet.title, cell.coordinate), value, None if fmt in BUILTIN_FORMATS_REVERSE else fmt, formula


def main():
    path, document_path = sys.argv[1], sys.argv[2]
    with open(document_path, encoding="utf-8") as f:
        ours = our_cells(json.load(f))
    reader = xlsx_cells if path.lower().endswith(".xlsx") else xls_cells
    differences = 0
    compared = 0
    for key, value, fmt, formula in reader(path):
        cell = ours.get(key)
        where = "%s!%s" % key
        if cell is None:
            print("%s: missing, the file has %r" % (where, value))
            differences += 1
            continue
        compared += 1
        if value is not None and not same(our_value(cell), value):
            print("%s: %r, the file has %r" % (where, our_value(cell), value))
            differences += 1
        if formula is not None and cell.get("formula") != formula:
            print("%s: formula %r, the file has %r" % (where, cell.get("formula"), formula))
            differences += 1
        if fmt is not None and fmt != "General" and cell.get("numberFormat") != fmt:
            print("%s: format %r, the file has %r" % (where, cell.get("numberFormat"), fmt))
            differences += 1
    print("%s: %d cells compared, %d differences" % (path.split("/")[-1], compared, differences))
    return 1 if differences else 0


if __name__ == "__main__":
    sys.exit(main())
