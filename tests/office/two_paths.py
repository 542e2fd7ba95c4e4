#!/usr/bin/python3
"""two_paths.py R58267 WORKBOOK.xlsx...: each .xlsx imported straight from
the file and through LibreOffice (--via-libreoffice); the two documents must
agree but where the direct reading is the more faithful one:
- the cells of a sheet with a pivot table: LibreOffice lays the table out
  anew when it loads it (its own captions, "Total Result" for "Grand
  Total"), where Excel shows the cells the file keeps;
- a constant error value, which LibreOffice reads as an empty formula;
- a cell holding an empty text, which LibreOffice drops (Excel keeps it);
- a formula that Excel computes anew on opening (RAND, TODAY …): both
  readings go through LibreOffice then, and each draws its own value.
Numbers within 1e-12 of each other agree. Prints one line per file and
each difference not explained; exits 1 when there is one."""
import json
import re
import subprocess
import sys

VOLATILE = re.compile(r"\b(RAND|RANDBETWEEN|TODAY|NOW)\(", re.I)


def imported(r58267, workbook, via):
    run = subprocess.run([r58267, "import", workbook] + (["--via-libreoffice"] if via else []),
                         capture_output=True, text=True, check=False)
    if run.returncode != 0:
        raise SystemExit(f"{workbook}: import failed: {run.stderr.strip()}")
    return json.loads(run.stdout)


def same(a, b):
    if isinstance(a, (int, float)) and isinstance(b, (int, float)) and not isinstance(a, bool):
        return abs(a - b) <= 1e-12 * max(abs(a), abs(b))
    if isinstance(a, dict) and isinstance(b, dict):
        return a.keys() == b.keys() and all(same(a[k], b[k]) for k in a)
    if isinstance(a, list) and isinstance(b, list):
        return len(a) == len(b) and all(same(x, y) for x, y in zip(a, b))
    return a == b


def explained(sheet, direct, via):
    """Why a cell differs, or None."""
    if "pivotTables" in sheet:
        return "pivot table laid out anew"
    if isinstance(direct, dict) and set(direct) == {"error"}:
        return "constant error"
    if via is None and (direct == "" or isinstance(direct, dict) and direct.get("value") == ""):
        return "empty text"
    formulas = [c.get("formula", "") for c in (direct, via) if isinstance(c, dict)]
    if any(VOLATILE.search(f) for f in formulas):
        return "computed anew"
    return None


def compare(direct, via):
    unexplained = []
    if not same({k: v for k, v in direct.items() if k != "sheets"},
                {k: v for k, v in via.items() if k != "sheets"}):
        unexplained.append("the workbook's own fields")
    if len(direct["sheets"]) != len(via["sheets"]):
        return unexplained + ["the number of sheets"]
    for sheet, other in zip(direct["sheets"], via["sheets"]):
        for key in sorted(set(sheet) | set(other)):
            if key != "cells" and not same(sheet.get(key), other.get(key)):
                unexplained.append(f"{sheet['name']}.{key}")
        cells, others = sheet.get("cells", {}), other.get("cells", {})
        for address in sorted(set(cells) | set(others)):
            a, b = cells.get(address), others.get(address)
            if not same(a, b) and explained(sheet, a, b) is None:
                unexplained.append(f"{sheet['name']}!{address}: {json.dumps(a)[:80]} / {json.dumps(b)[:80]}")
    return unexplained


def main():
    r58267, workbooks = sys.argv[1], sys.argv[2:]
    failed = False
    for workbook in workbooks:
        unexplained = compare(imported(r58267, workbook, False), imported(r58267, workbook, True))
        print(f"{workbook}: {len(unexplained)} unexplained difference(s)")
        for line in unexplained:
            print(f"  {line}")
        failed = failed or bool(unexplained)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
