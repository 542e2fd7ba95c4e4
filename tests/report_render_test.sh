#!/usr/bin/env bash
# batch --report renders in a real browser as it must: headless Chromium
# (started here, stopped by its process group whatever happens) prints the
# page's text and takes a screenshot; the text must give the counts, and
# the screenshot must show one bar per outcome, each as long as its count
# makes it (3 passed, 1 cause B, 2 not graded: 100 %, 33 %, 67 %).
# Exit 77 (skipped) without Chromium.
set -u
r58267=$1
samples=$2
chromium=$(command -v chromium || command -v chromium-browser || true)
if [ -z "$chromium" ]; then echo "skipped: no chromium"; exit 77; fi
scratch=$(mktemp -d)
browser=""
cleanup() {
  [ -n "$browser" ] && kill -KILL -- "-$browser" 2>/dev/null
  rm -rf "$scratch"
}
trap cleanup EXIT
for i in 1 2 3; do cp "$samples/705/solved.json" "$scratch/learner$i.json"; done
cp "$samples/705/start.json" "$scratch/learner4.json"
printf 'not a workbook' >"$scratch/learner5.json"
printf 'PK\003\004' >"$scratch/learner6.xlsx"
"$r58267" batch 705 "$scratch"/learner*.* --report "$scratch/report.html" >/dev/null 2>&1
[ -s "$scratch/report.html" ] || { echo "FAIL: no report written"; exit 1; }

# run NAME ARGS...: Chromium in a process group of its own, at most 60 s.
run() {
  local out=$1; shift
  setsid "$chromium" --headless --no-sandbox --disable-gpu --hide-scrollbars --no-first-run \
    --user-data-dir="$scratch/profile" "$@" "file://$scratch/report.html" >"$out" 2>"$scratch/chromium.err" &
  browser=$!
  local waited=0
  while kill -0 "$browser" 2>/dev/null && [ $waited -lt 600 ]; do sleep 0.1; waited=$((waited + 1)); done
  kill -KILL -- "-$browser" 2>/dev/null
  wait "$browser" 2>/dev/null
  browser=""
}
run "$scratch/dom.html" --dump-dom
grep -q '6 learner(s): 3 passed, 1 not passed, 2 could not be graded' "$scratch/dom.html" \
  || { echo "FAIL: the page does not give the counts"; head -c 2000 "$scratch/dom.html"; tail -5 "$scratch/chromium.err"; exit 1; }
(cd "$scratch" && run "$scratch/shot.out" --screenshot="$scratch/shot.png" --window-size=1000,700)
[ -s "$scratch/shot.png" ] || { echo "FAIL: no screenshot"; tail -5 "$scratch/chromium.err"; exit 1; }
/usr/bin/python3 - "$scratch/shot.png" <<'PY'
import sys
from PIL import Image

image = Image.open(sys.argv[1]).convert("RGB")
width, height = image.size
pixels = image.load()
colours = {"passed": (46, 125, 50), "B": (198, 40, 40), "not graded": (117, 117, 117)}
lengths = {}
for name, colour in colours.items():
    best = 0
    for y in range(height):
        run = 0
        for x in range(width):
            if max(abs(a - b) for a, b in zip(pixels[x, y], colour)) <= 8:
                run += 1
                best = max(best, run)
            else:
                run = 0
    lengths[name] = best
print("bar lengths in pixels:", lengths)
full = lengths["passed"]
ok = full >= 100
for name, share in (("B", 1 / 3), ("not graded", 2 / 3)):
    ok = ok and abs(lengths[name] / max(full, 1) - share) <= 0.04
print("ok" if ok else "FAIL: the bars are not as long as their counts make them")
sys.exit(0 if ok else 1)
PY
