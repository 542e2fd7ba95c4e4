#!/usr/bin/env bash
# Workbooks made by Excel itself, not by LibreOffice or by us: the example
# files of Debian's r-cran-readxl package, each saved by Excel both as .xls
# and as .xlsx. Each must import; the two formats of one workbook must give
# the same sheets and cells (their active sheets may differ: datasets.xls
# was saved on its second sheet); number formats come out in Excel's syntax.
# Exit 77 (skipped) when the package cannot be downloaded.
set -u
r58267=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cd "$scratch" || exit 1
if ! apt-get download r-cran-readxl >/dev/null 2>&1; then
  echo "skipped: apt-get download r-cran-readxl failed"
  exit 77
fi
dpkg-deb -x r-cran-readxl_*.deb package
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
grep -q '"numberFormat": "mm\\\\/dd\\\\/yyyy hh:mm:ss AM/PM"' type-me.xls.json
check type-me-date-time-format $? "$(grep numberFormat type-me.xls.json)"
grep -q '"activeSheet": "mtcars"' datasets.xls.json && grep -q '"activeSheet": "iris"' datasets.xlsx.json
check datasets-active-sheets $? "$(grep activeSheet datasets.xls*.json)"
echo "$((total - failures)) of $total passed"
[ $failures -eq 0 ]
