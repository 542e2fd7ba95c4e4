#!/usr/bin/env bash
# Workbooks made by Excel itself, not by LibreOffice or by us: the example
# files of Debian's r-cran-readxl package, each saved by Excel both as .xls
# and as .xlsx, and those of libspreadsheet-parseexcel-perl (Excel 97 and
# Excel 95, Japanese texts, the 1904 date system, number formats) and the
# .xlsx files of r-cran-openxlsx (pivot tables, inline strings, threaded
# comments; most saved by Excel). Each must import; the
# two formats of one workbook must give the same sheets and cells (their
# active sheets may differ: datasets.xls was saved on its second sheet);
# number formats come out as Excel stored them; every value and format
# must agree with an independent reader (python3-xlrd, python3-openpyxl:
# oracle_compare.py). Exit 77 (skipped) when the packages cannot be
# downloaded.
set -u
r58267=$1
oracle="$(cd "$(dirname "$0")" && pwd)/oracle_compare.py"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cd "$scratch" || exit 1
for package in r-cran-readxl libspreadsheet-parseexcel-perl r-cran-openxlsx; do
  if ! apt-get download "$package" >/dev/null 2>&1; then
    echo "skipped: apt-get download $package failed"
    exit 77
  fi
  dpkg-deb -x "$package"_*.deb package
done
failures=0
total=0
check() {  # check NAME STATUS MESSAGE
  total=$((total + 1))
  if [ "$2" -eq 0 ]; then echo "ok   $1"; else echo "FAIL $1: $3"; failures=$((failures + 1)); fi
}
for xls in package/usr/lib/R/site-library/readxl/extdata/*.xls; do
  name=$(basename "$xls" .xls)
  "$r58267" import "$xls" >"$name.xls.json" 2>"$name.err"
  check "$name.xls" $? "$(cat "$name.err")"
  "$r58267" import "${xls}x" >"$name.xlsx.json" 2>"$name.err"
  check "$name.xlsx" $? "$(cat "$name.err")"
  diff <(grep -v '"activeSheet"' "$name.xls.json") <(grep -v '"activeSheet"' "$name.xlsx.json") >"$name.diff"
  check "$name-same-in-both" $? "$(head -5 "$name.diff")"
  ! grep -E '"numberFormat": "[^"]*(YY|MM|DD|HH|SS|NN)' "$name.xls.json"
  check "$name-excel-formats" $? "a number format in LibreOffice's syntax"
done
grep -qF '"numberFormat": "mm\\/dd\\/yyyy\\ hh:mm:ss\\ AM/PM"' type-me.xls.json
check type-me-date-time-format $? "$(grep numberFormat type-me.xls.json)"
# Against the independent readers (datasets.xlsx was not saved by Excel:
# its drawing relationship points at a part that is not there).
for workbook in package/usr/lib/R/site-library/readxl/extdata/*.xls \
                package/usr/lib/R/site-library/readxl/extdata/{clippy,deaths,geometry,type-me}.xlsx \
                package/usr/share/doc/libspreadsheet-parseexcel-perl/examples/sample/Excel/*.xls; do
  name=$(basename "$workbook")
  if "$r58267" import "$workbook" >"$name.oracle.json" 2>"$name.err"; then
    /usr/bin/python3 "$oracle" "$workbook" "$name.oracle.json" >"$name.oracle" 2>&1
    check "$name-as-the-independent-reader" $? "$(head -5 "$name.oracle")"
  else
    check "$name-as-the-independent-reader" 1 "$(cat "$name.err")"
  fi
done
# Every .xlsx at hand read straight from the file and through LibreOffice
# (two_paths.py says which differences are the direct reading's fidelity).
/usr/bin/python3 "${oracle%/*}/two_paths.py" "$r58267" package/usr/lib/R/site-library/readxl/extdata/*.xlsx \
  package/usr/lib/R/site-library/openxlsx/extdata/*.xlsx >two-paths.txt 2>&1
check xlsx-direct-as-through-libreoffice $? "$(grep -v ': 0 unexplained' two-paths.txt | head -8)"
grep -q '"date": "1964-03-23"' Test1904.xls.oracle.json
check dates-of-the-1904-system $? "$(grep -m1 date Test1904.xls.oracle.json)"
grep -q '"activeSheet": "mtcars"' datasets.xls.json && grep -q '"activeSheet": "iris"' datasets.xlsx.json
check datasets-active-sheets $? "$(grep activeSheet datasets.xls*.json)"
echo "$((total - failures)) of $total passed"
[ $failures -eq 0 ]
