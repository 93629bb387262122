#!/usr/bin/env bash
# Runs every test: installs what is missing, builds both test trees and runs
# CTest in each (native tests under sanitizers, Windows tests through Wine),
# builds the optimised native tree, then runs the fuzzers for a bounded time.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

bash scripts/setup.sh

# One display for the whole run; the Wine wrapper starts its own when none is set.
xvfb_pid=""
cleanup() { [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true; }
trap cleanup EXIT
if [ -z "${DISPLAY:-}" ]; then
  for n in $(seq 90 140); do
    if [ ! -e /tmp/.X11-unix/X$n ] && [ ! -e /tmp/.X$n-lock ]; then
      Xvfb :$n -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
      xvfb_pid=$!
      export DISPLAY=:$n
      for _ in $(seq 50); do [ -e /tmp/.X11-unix/X$n ] && break; sleep 0.1; done
      break
    fi
  done
fi

status=0
for preset in native-asan win; do
  echo "== $preset: configure and build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done
# The optimised native build (tourpack and the benchmarks) is only built: the
# optimiser sees warnings the other builds do not.
echo "== native: configure and build (optimised, no tests)"
cmake --preset native -DLUMIVUE_TESTS=OFF >/dev/null
cmake --build --preset native

for preset in native-asan win; do
  echo "== $preset: tests"
  ctest --preset "$preset" || status=1
done

if [ -x scripts/fuzz.sh ]; then
  echo "== fuzzing"
  bash scripts/fuzz.sh "${FUZZ_SECONDS:-60}" || status=1
fi

exit $status
