#!/usr/bin/env bash
# tourpack's command line: a good manifest builds and inspects with exit code 0;
# bad input gives a message naming the field and a non-zero exit code.
set -euo pipefail
tourpack=$1
make_source=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TMPDIR=$work/tmp
mkdir -p "$TMPDIR"

fail() { echo "FAIL: $*" >&2; exit 1; }

manifest=$("$make_source" "$work/source" 2)
"$tourpack" build "$manifest" -o "$work/tour.exe" >"$work/out" || fail "build of a good manifest"
grep -q "2 scenes" "$work/out" || fail "build summary: $(cat "$work/out")"
"$tourpack" inspect "$work/tour.exe" >"$work/report" || fail "inspect of a good tour"
grep -q "no problems found" "$work/report" || fail "inspect report"
"$tourpack" inspect --json "$work/tour.exe" | grep -q '"title": "Café tour"' || fail "inspect --json"
"$tourpack" extract "$work/tour.exe" -o "$work/extracted" >/dev/null || fail "extract"
"$tourpack" build "$work/extracted/tour.json" -o "$work/again.exe" >/dev/null || fail "rebuild"
cmp -s "$work/tour.exe" "$work/again.exe" || fail "rebuilt tour differs"
[ -z "$(ls -A "$TMPDIR")" ] || fail "temporary files left: $(ls "$TMPDIR")"

sed -i 's/"scene1.bmp"/"missing.jpg"/' "$manifest"
if "$tourpack" build "$manifest" -o "$work/bad.exe" 2>"$work/err"; then fail "bad manifest accepted"; fi
grep -q "scenes\[0\].image" "$work/err" || fail "message: $(cat "$work/err")"
[ ! -e "$work/bad.exe" ] || fail "a failed build wrote its output"

head -c 5000 /dev/urandom >"$work/random.exe"
if "$tourpack" inspect "$work/random.exe" >"$work/report"; then fail "inspect accepted a non-tour"; fi
grep -q "CAFEBABE" "$work/report" || fail "inspect message: $(cat "$work/report")"
if "$tourpack" frobnicate 2>/dev/null; then fail "unknown command accepted"; fi
echo "tourpack command line: all checks passed"
