#!/usr/bin/env bash
# The command line's contract: output forms and exit statuses.
set -u
r58267=$1
samples=$2
failures=0
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# expect NAME STATUS PATTERN -- COMMAND...: the command exits with STATUS
# and its standard output and error match the extended regular expression.
expect() {
  local name=$1 status=$2 pattern=$3
  shift 4
  local output actual
  output=$("$@" 2>&1)
  actual=$?
  if [ "$actual" -ne "$status" ] || ! grep -Eq -- "$pattern" <<<"$output"; then
    echo "FAIL $name: exit $actual (want $status), output: $output"
    failures=$((failures + 1))
  else
    echo "ok   $name"
  fi
}

expect solved-json 0 '^\{"question":705,"passed":true,"erreurGenerale":false,"causeErreur":"","bravoNuance":false,"complement":\[\]\}$' \
  -- "$r58267" check 705 "$samples/705/solved.json" --json
expect start-text 1 'CauseErreur: B' -- "$r58267" check 705 "$samples/705/start.json"
expect explain 1 'B81 is empty' -- "$r58267" check 705 "$samples/705/start.json" --explain
expect comma 0 '"passed":true' -- "$r58267" check 705 "$samples/705/solved.json" --json --decimal-separator ,
expect unreadable 64 '^r58267: cannot read workbook' -- "$r58267" check 705 "$scratch/none.json"
expect bad-question 64 'from 701 to 719' -- "$r58267" check 720 "$samples/705/solved.json"
expect bad-separator 64 'decimal-separator' -- "$r58267" check 705 "$samples/705/solved.json" --decimal-separator ';'
expect too-many 64 'takes 1 workbook' -- "$r58267" check 705 "$samples/705/solved.json" "$samples/705/start.json"
expect no-command 64 'missing command' -- "$r58267"
expect help 0 'usage: r58267 check' -- "$r58267" --help
expect version 0 '^r58267 [0-9]+\.[0-9]+\.[0-9]+$' -- "$r58267" --version

echo '{"sheets": [' >"$scratch/broken.json"
expect malformed 2 '"failed":"InitQuestion","error":\{"number":1004,.*"source":"DLL R58267 - CLASSE Question0705\\n\\r - SERVICE Prepare - OBJET ' \
  -- "$r58267" check 705 "$scratch/broken.json" --json

passed=$((12 - failures))
echo "$passed passed, $failures failed"
[ "$failures" -eq 0 ]
