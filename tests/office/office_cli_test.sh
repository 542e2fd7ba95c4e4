#!/usr/bin/env bash
# The command line on real workbooks: check, batch and import on .xls and
# .xlsx files, and LibreOffice never left behind, by concurrent runs nor by
# an interrupted one.
set -u
r58267=$1
samples=$2
failures=0
total=0
scratch=$(mktemp -d)
soffice=/usr/lib/libreoffice/program/soffice.bin
cleanup() {
  pkill -KILL -f "UserInstallation=file://$scratch" 2>/dev/null
  rm -rf "$scratch"
}
trap cleanup EXIT
[ -n "${KEEP:-}" ] && trap "find \"\$TMPDIR\" | head -30" EXIT

check() {  # check NAME CONDITION-STATUS MESSAGE
  total=$((total + 1))
  if [ "$2" -eq 0 ]; then echo "ok   $1"; else echo "FAIL $1: $3"; failures=$((failures + 1)); fi
}
# LibreOffice's pipe sockets are made in /tmp whatever TMPDIR says; their
# names hold the process id of the r58267 run.
sockets() {  # sockets PID...
  for pid in "$@"; do find /tmp -maxdepth 1 -name "OSL_PIPE_$(id -u)_r58267-r58267-office-$pid-*"; done | wc -l
}
leftovers() {  # leftovers PID...: soffice processes, then profiles and sockets of these runs
  pgrep -f "UserInstallation=file://$TMPDIR" | wc -l
  echo $(($(find "$TMPDIR" -mindepth 1 -maxdepth 1 | wc -l) + $(sockets "$@")))
}

# A real .xls and .xlsx that LibreOffice makes from a table: 705's first
# sheet is missing, so it grades "B" as a general error.
printf 'Ville,Mois\nSevilla,1\n' >"$scratch/table.csv"
convert() {  # a new profile first makes itself and exits, hence the first run
  (cd "$scratch" && HOME="$scratch" "$soffice" --headless --norestore "-env:UserInstallation=file://$scratch/convert" "$@")
}
convert --terminate_after_init >/dev/null 2>&1
convert --convert-to xls table.csv >/dev/null 2>&1
convert --convert-to xlsx table.csv >/dev/null 2>&1
cp "$scratch/table.xls" "$scratch/renamed.json"

# Every soffice and profile of ours lives under this folder.
export TMPDIR="$scratch/tmp"
mkdir -p "$TMPDIR"  # told apart by content, not name

for file in table.xls table.xlsx renamed.json; do
  out=$("$r58267" check 705 "$scratch/$file" --json 2>&1)
  status=$?
  [ $status -eq 1 ] && grep -q '"causeErreur":"B"' <<<"$out"
  check "check-$file" $? "exit $status: $out"
done

out=$("$r58267" import "$scratch/table.xlsx")
status=$?
[ $status -eq 0 ] && grep -q '"Sevilla"' <<<"$out"
check import $? "exit $status: $out"
"$r58267" import "$samples/705/solved.json" >/dev/null 2>&1
check import-document $(($? == 64 ? 0 : 1)) "a document given to import must be refused with 64"

printf '\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1 not a workbook' >"$scratch/broken.xls"
out=$("$r58267" check 705 "$scratch/broken.xls" --json)
status=$?
[ $status -eq 2 ] && grep -q '"failed":"import","error":{"number":1004' <<<"$out" && grep -q '"workbook":"[^"]*broken.xls"' <<<"$out"
check check-broken $? "exit $status: $out"

# batch: one row per learner, the unreadable one reported and the batch goes on.
# Files of no workbook format (a word processor's zip, a zip naming its
# parts with backslashes) are refused as import refuses them.
printf 'PK\003\004....word/document.xml' >"$scratch/letter.docx"
printf 'PK\003\004....xl\\workbook.xml' >"$scratch/backslashes.xlsx"
out=$("$r58267" batch 705 "$scratch/letter.docx" "$scratch/backslashes.xlsx" 2>/dev/null)
[ "$(grep -c "is not an .xls, .xlsx or .ods workbook" <<<"$out")" -eq 2 ]
check batch-not-a-workbook $? "$out"
out=$("$r58267" batch 705 "$scratch/table.xls" "$scratch/broken.xls" "$samples/705/solved.json" 2>"$scratch/summary")
status=$?
[ $status -eq 2 ] && [ "$(wc -l <<<"$out")" -eq 4 ] && grep -q '^file,passed,cause,explanation,error$' <<<"$out" &&
  grep -q 'table.xls,false,B,' <<<"$out" && grep -qE 'broken.xls,,,,"?import failed' <<<"$out" &&
  grep -q 'solved.json,true,,' <<<"$out" && grep -q '3 learner(s): 1 passed, 1 not passed, 1 could not be graded' "$scratch/summary"
check batch-csv $? "exit $status: $out $(cat "$scratch/summary")"
# Two workers give the rows of one, in the same order.
cp "$scratch/table.xls" "$scratch/table2.xls"
one=$("$r58267" batch 705 "$scratch/table.xls" "$scratch/broken.xls" "$samples/705/solved.json" "$scratch/table2.xls" --jobs 1 2>/dev/null)
two=$("$r58267" batch 705 "$scratch/table.xls" "$scratch/broken.xls" "$samples/705/solved.json" "$scratch/table2.xls" --jobs 2 2>/dev/null)
[ "$one" = "$two" ] && [ "$(wc -l <<<"$two")" -eq 5 ]
check batch-jobs-same-rows $? "$(diff <(echo "$one") <(echo "$two"))"
out=$("$r58267" batch 705 "$scratch/table.xlsx" --json 2>/dev/null)
status=$?
[ $status -eq 0 ] && grep -q '^{"file":"[^"]*table.xlsx","passed":false,"cause":"B","explanation":".*","error":null}$' <<<"$out"
check batch-json $? "exit $status: $out"
# An .xlsx is read without an office: an office program that only leaves a
# mark is never run, unless LibreOffice is asked for.
printf '#!/bin/sh\ntouch "%s/office-ran"\nexit 1\n' "$scratch" >"$scratch/fake-soffice"
chmod +x "$scratch/fake-soffice"
out=$(R58267_SOFFICE="$scratch/fake-soffice" "$r58267" check 705 "$scratch/table.xlsx" --json 2>&1)
grep -q '"causeErreur":"B"' <<<"$out" &&
  R58267_SOFFICE="$scratch/fake-soffice" "$r58267" batch 705 "$scratch/table.xlsx" "$scratch/table.xlsx" --jobs 2 \
    >/dev/null 2>&1 && [ ! -e "$scratch/office-ran" ]
check xlsx-without-office $? "$out; the office program ran: $([ -e "$scratch/office-ran" ] && echo yes)"
R58267_SOFFICE="$scratch/fake-soffice" "$r58267" import "$scratch/table.xlsx" --via-libreoffice >/dev/null 2>&1
[ -e "$scratch/office-ran" ]
check xlsx-via-libreoffice-starts-it $? "--via-libreoffice did not run the office program"
"$r58267" batch 717 "$scratch/table.xls" >/dev/null 2>&1
check batch-pairs $(($? == 64 ? 0 : 1)) "717 takes two workbooks per learner"

# Four runs at once, each with its own LibreOffice.
runs=()
for i in 1 2 3 4; do
  "$r58267" batch 705 "$scratch/table.xls" "$scratch/table.xlsx" >/dev/null 2>&1 &
  runs+=($!)
done
wait
read -r processes profiles < <(leftovers "${runs[@]}" | paste -s -d ' ')
check concurrent-leave-nothing $((processes + profiles)) "$processes soffice, $profiles profiles or sockets"

# Interrupted while LibreOffice runs: the signal watcher stops it.
many=()
for i in $(seq 1 40); do many+=("$scratch/table.xls"); done
"$r58267" batch 705 "${many[@]}" >/dev/null 2>&1 &
run=$!
for _ in $(seq 1 300); do
  pgrep -f "UserInstallation=file://$TMPDIR" >/dev/null && break
  sleep 0.1
done
sleep 0.5
kill -TERM $run
wait $run
status=$?
read -r processes profiles < <(leftovers $run | paste -s -d ' ')
[ $status -eq 143 ] && [ $((processes + profiles)) -eq 0 ]
check interrupted-leave-nothing $? "exit $status, $processes soffice, $profiles profiles or sockets"

echo "$((total - failures)) of $total passed"
[ $failures -eq 0 ]
