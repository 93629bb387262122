#!/usr/bin/env bash
# Runs every test: installs what is missing, builds both test trees and the
# optimised native tree, runs CTest in each test tree (native tests under
# sanitizers, Windows tests through Wine) and fuzzes the package reader for a
# bounded time (FUZZ_SECONDS, default 60). The native side is built, tested
# and fuzzed while the Windows tests run.
#   test.sh          the everyday run
#   test.sh --long   also the five-minute end-to-end run of the real player
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

win_preset=win
case "${1:-}" in
"") ;;
--long) win_preset=win-all ;;
*) echo "usage: test.sh [--long]" >&2; exit 2 ;;
esac

bash scripts/setup.sh
started=$SECONDS
took() { printf '%d min %02d s' $(((SECONDS - $1) / 60)) $(((SECONDS - $1) % 60)); }

# One display for the whole run; the Wine wrapper starts its own when none is set.
source scripts/xvfb-display.sh
native_tests=""
cleanup() {
  [ -n "$native_tests" ] && kill "$native_tests" 2>/dev/null || true
  stop_xvfb
}
trap cleanup EXIT
[ -n "${DISPLAY:-}" ] || start_xvfb 1280x1024

status=0
echo "== win: configure and build"
cmake --preset win >/dev/null
cmake --build --preset win
# The folder end-to-end run makes its tour with the optimised Linux tourpack.
echo "== native: configure and build tourpack (optimised)"
cmake --preset native -DLUMIVUE_TESTS=OFF >/dev/null
cmake --build --preset native --target tourpack
echo "== builds for the Windows tests done after $(took "$started")"

# The Windows tests spend much of their time waiting for timers, sound and the
# screen: meanwhile the native trees are built, the native tests run and the
# fuzzer explores, and their report follows the Windows tests'. The optimised
# native build (the benchmarks too) is only built: the optimiser sees warnings
# the others do not.
native_log=build/native-tests.log
mkdir -p build
# The fuzzer and the optimised build run beside the native tests, each in a
# log of its own: one after another they would outlast the Windows tests.
(
  set -e
  echo "== native-asan: configure and build"
  cmake --preset native-asan >/dev/null
  cmake --build --preset native-asan
  failed=0
  bash scripts/fuzz.sh "${FUZZ_SECONDS:-60}" >build/fuzz.log 2>&1 &
  fuzzing=$!
  cmake --build --preset native >build/native-optimised.log 2>&1 &
  optimising=$!
  echo "== native-asan: tests"
  ctest --preset native-asan || failed=1
  echo "== native: build (optimised, no tests)"
  wait "$optimising" || { cat build/native-optimised.log; failed=1; }
  tail -n 1 build/native-optimised.log
  echo "== fuzzing"
  wait "$fuzzing" || failed=1
  cat build/fuzz.log
  exit $failed
) >"$native_log" 2>&1 &
native_tests=$!
tests_started=$SECONDS
echo "== $win_preset: tests (the native trees are built, tested and fuzzed beside them)"
ctest --preset "$win_preset" || status=1
native_status=0
wait "$native_tests" || native_status=$?
native_tests=""
cat "$native_log"
[ "$native_status" -eq 0 ] || status=1
echo "== tests done in $(took "$tests_started")"


if [ "$status" -eq 0 ]; then
  echo "== everything passed in $(took "$started")"
else
  echo "== FAILED (after $(took "$started")): see the reports above" >&2
fi
exit $status
