#!/usr/bin/env bash
# The command line's contract: output forms and exit statuses.
set -u
r58267=$1
samples=$2
failures=0
total=0
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
  total=$((total + 1))
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
expect names-the-workbook 2 '"workbook":"[^"]*/broken\.json"' \
  -- "$r58267" check 717 "$samples/717/solved.json" "$scratch/broken.json" --json

# Hostile input: every case must end quickly with a clear message, exactly
# one JSON object with --json, and nothing left in the temporary folder.
export TMPDIR="$scratch/tmp"
mkdir -p "$TMPDIR"
bad="$scratch/bad"
mkdir -p "$bad"
sheet() { printf '{"sheets":[{"name":"Trimestre 1",%s}]}' "$1"; }
awk 'BEGIN { printf "{\"sheets\":[{\"name\":\"A\",\"cells\":{\"A1\":{\"error\":"; for (i = 0; i < 100000; i++) printf "["; }' >"$bad/deep.json"
sheet "$(awk 'BEGIN { for (i = 1; i <= 20000; i++) printf "%s{\"name\":\"s%d\",\"changingCells\":\"C4\"}", (i > 1 ? "," : ""), i }' | sed 's/^/"scenarios":[/; s/$/]/')" >"$bad/scenarios.json"
awk 'BEGIN { printf "{\"sheets\":["; for (i = 1; i <= 20000; i++) printf "%s{\"name\":\"S%d\"}", (i > 1 ? "," : ""), i; printf "]}" }' >"$bad/sheets.json"
sheet "$(awk 'BEGIN { for (i = 1; i <= 60000; i++) printf "%s{\"range\":\"A%d:C%d\",\"formula\":\"=1\"}", (i > 1 ? "," : ""), i, i }' | sed 's/^/"arrays":[/; s/$/]/')" >"$bad/arrays.json"
sheet '"scenarios":[{"name":"s","changingCells":"A:IV"}]' >"$bad/whole-columns.json"
printf '{"sheets":[{"name":"\\u001b(0red","cells":{"A1":{"error":"#BAD"}}}]}' >"$bad/escape.json"
printf '{"sheets":[{"name":"\xff\xfe"}]}' >"$bad/not-utf8.json"
{ cat "$samples/705/solved.json"; printf '\0garbage'; } >"$bad/nul.json"
sheet '"name":"B"' >"$bad/duplicate.json"
sheet '"Scenarios":[]' >"$bad/misspelt.json"
sheet "\"cells\":{\"$(head -c 1000000 /dev/zero | tr '\0' 'Z')1\":1}" >"$bad/long-address.json"
head -c $((17 * 1024 * 1024)) /dev/zero >"$bad/huge.json"
mkfifo "$bad/fifo"
mkdir -p "$bad/folder.json" "$bad/samples/705"
echo '{"question": 705, "samples": [' >"$bad/samples/705/outcomes.json"

# At most 10 s and 2 GB of address space (not under AddressSanitizer, which
# reserves far more address space than that up front).
memory=2000000
[ "${R58267_SANITIZED:-OFF}" = ON ] && memory=unlimited
quick() { timeout 10 bash -c 'ulimit -v "$0"; exec "$@"' "$memory" "$@"; }
expect deep 2 'nested more than 32 levels' -- quick "$r58267" check 705 "$bad/deep.json" --json
expect many-scenarios 1 '^\{"question":705,"passed":false' -- quick "$r58267" check 705 "$bad/scenarios.json" --json
expect many-sheets 1 '^\{"question":705,"passed":false' -- quick "$r58267" check 705 "$bad/sheets.json" --json
expect many-arrays 1 '^\{"question":705,"passed":false' -- quick "$r58267" check 705 "$bad/arrays.json" --json
expect whole-columns 2 'at most 32 changing cells' -- quick "$r58267" check 718 "$bad/whole-columns.json" "$bad/whole-columns.json" --json
expect escape 2 "sheet 1 \\('\\\\x1B\\(0red'\\)" -- "$r58267" check 705 "$bad/escape.json"
expect not-utf8 2 '^\{"question":705,"failed":"InitQuestion",.*\}$' -- "$r58267" check 705 "$bad/not-utf8.json" --json
expect nul 2 'a NUL byte at offset' -- "$r58267" check 705 "$bad/nul.json" --json
expect duplicate 2 'the field \\"name\\" is written twice' -- "$r58267" check 705 "$bad/duplicate.json" --json
expect misspelt 2 'unknown field \\"Scenarios\\"' -- "$r58267" check 705 "$bad/misspelt.json" --json
expect long-address 2 "cell 'Z{40}…': not a cell address" -- "$r58267" check 705 "$bad/long-address.json"
expect huge 64 'larger than 16 MB' -- "$r58267" check 705 "$bad/huge.json"
expect fifo 64 'not a regular file' -- "$r58267" check 705 "$bad/fifo"
expect folder 64 'it is a folder' -- "$r58267" check 705 "$bad/folder.json"
expect short-option 64 "unknown option '-j'" -- "$r58267" check 705 -j "$samples/705/solved.json"
expect causes-argument 64 'causes takes no argument' -- "$r58267" causes x
expect bad-manifest 64 "outcomes.json' is not a sample list" -- "$r58267" demo --samples "$bad/samples"
expect full-output 74 'could not be written' -- bash -c '"$1" check 705 "$2" --json >/dev/full' _ "$r58267" "$samples/705/solved.json"
mkdir -p "$scratch/back\\slash"
expect backslash-tmpdir 64 'holds a backslash' -- env TMPDIR="$scratch/back\\slash" "$r58267" check 705 "$samples/705/solved.json"

# Interrupted while reading a large document: the working folders go too.
awk 'BEGIN { printf "{\"sheets\":["; for (s = 1; s <= 8; s++) { printf "%s{\"name\":\"S%d\",\"cells\":{", (s > 1 ? "," : ""), s; for (i = 1; i <= 40000; i++) printf "%s\"A%d\":%d", (i > 1 ? "," : ""), i, i; printf "}}" } printf "]}" }' >"$bad/large.json"
"$r58267" check 705 "$bad/large.json" >/dev/null 2>&1 & checking=$!
for _ in $(seq 500); do [ -n "$(find "$TMPDIR" -mindepth 1 -maxdepth 1 -name 'r58267-travail-*')" ] && break; sleep 0.01; done
kill -TERM "$checking"; wait "$checking"
expect interrupted 143 '' -- bash -c "exit $?"
expect interrupted-clean 0 '^$' -- find "$TMPDIR" -mindepth 1

passed=$((total - failures))
echo "$passed passed, $failures failed"
[ "$failures" -eq 0 ]
