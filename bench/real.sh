#!/usr/bin/env bash
# bench/real.sh BUILD: r58267 batch beside the readers a Python grader
# would use, on the same files: every sample document written as .xlsx and
# as .xls by LibreOffice, plus the Excel-made workbooks of Debian's
# r-cran-readxl and libspreadsheet-parseexcel-perl when they can be
# downloaded. Prints one table: per format, the files, r58267's time per
# file (one batch, one worker, each file imported and graded: an .xlsx
# straight from the file, and again through LibreOffice; an .xls through
# LibreOffice, started once) and the peer's (python3-openpyxl for .xlsx with formulas and
# number formats read, python3-xlrd for .xls with formatting).
set -euo pipefail
build=$1
root="$(cd "$(dirname "$0")/.." && pwd)"
out="$root/build/bench-real"
rm -rf "$out"
mkdir -p "$out/xlsx" "$out/xls" "$out/download"
documents=()
for document in "$root"/samples/*/*.json; do
  [ "$(basename "$document")" = outcomes.json ] || documents+=("$document")
done
for format in xlsx xls; do
  "$build/office/r58267_write_workbooks" "$out/$format" "$format" "${documents[@]}" 2>/dev/null || true
done
(
  cd "$out/download"
  for package in r-cran-readxl libspreadsheet-parseexcel-perl; do
    apt-get download "$package" >/dev/null 2>&1 && dpkg-deb -x "$package"_*.deb package || true
  done
)
for file in "$out"/download/package/usr/lib/R/site-library/readxl/extdata/*.xls* \
            "$out"/download/package/usr/share/doc/libspreadsheet-parseexcel-perl/examples/sample/Excel/*.xls; do
  [ -f "$file" ] || continue
  # datasets.xlsx was not saved by Excel (a drawing part is missing).
  [ "$(basename "$file")" = datasets.xlsx ] && continue
  case "$file" in *.xlsx) cp "$file" "$out/xlsx/excel-$(basename "$file")" ;; *) cp "$file" "$out/xls/excel-$(basename "$file")" ;; esac
done

microseconds() { echo $(($(date +%s%N) / 1000)); }
peer() {  # peer FORMAT FILES...: the Python reader over every file
  local format=$1; shift
  /usr/bin/python3 - "$format" "$@" <<'PY'
import sys
format, files = sys.argv[1], sys.argv[2:]
if format == "xlsx":
    import openpyxl
    for name in files:
        book = openpyxl.load_workbook(name)
        for sheet in book.worksheets:
            for row in sheet.iter_rows():
                for cell in row:
                    cell.value, cell.number_format
else:
    import xlrd
    for name in files:
        book = xlrd.open_workbook(name, formatting_info=True)
        for sheet in book.sheets():
            for r in range(sheet.nrows):
                for c in range(sheet.ncols):
                    cell = sheet.cell(r, c)
                    cell.value, book.format_map[book.xf_list[cell.xf_index].format_key].format_str
PY
}
per_file() {  # per_file MICROSECONDS COUNT: milliseconds per file, one decimal
  awk -v t="$1" -v n="$2" 'BEGIN { printf "%.1f", t / n / 1000 }'
}
printf '| Format | Files | r58267 batch | Peer | Peer per file |\n|---|---|---|---|---|\n'
for row in xlsx xlsx-via-libreoffice xls; do
  format=${row%%-*}
  options=()
  [ "$row" = xlsx-via-libreoffice ] && options=(--via-libreoffice)
  files=("$out/$format"/*."$format")
  count=${#files[@]}
  start=$(microseconds)
  "$build/r58267" batch 705 "${files[@]}" --jobs 1 "${options[@]}" >/dev/null 2>&1 || true
  ours=$(($(microseconds) - start))
  start=$(microseconds)
  peer "$format" "${files[@]}" >/dev/null 2>&1 || echo "the peer failed on a file" >&2
  theirs=$(($(microseconds) - start))
  name=$([ "$format" = xlsx ] && echo python3-openpyxl || echo python3-xlrd)
  shown=".$format"
  [ "$row" = xlsx-via-libreoffice ] && shown=".xlsx (--via-libreoffice)"
  printf '| %s | %d | %s ms per file | %s | %s ms per file |\n' "$shown" "$count" "$(per_file $ours "$count")" \
    "$name" "$(per_file $theirs "$count")"
done
