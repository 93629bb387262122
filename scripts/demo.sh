#!/usr/bin/env bash
# The demo: builds the player, the language modules and tourpack, packs the
# sample tour, inspects it and shows it under Wine. With a display the tour
# opens there; without one it runs under Xvfb and screenshots are written to
# build/demo/ (the script prints where).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
root=$(pwd)

bash scripts/setup.sh

echo "== building the player, the language modules and tourpack"
cmake --preset win >/dev/null
cmake --build --preset win --target player tourpack sample_tours

run() { "$root/scripts/wine-run.sh" --prefix "$root/build/win/wineprefix" "$@"; }

out=$root/build/demo
mkdir -p "$out"
headless=""
if [ -z "${DISPLAY:-}" ] || [ -n "${LUMIVUE_DEMO_HEADLESS:-}" ]; then
  headless=1
  display=""
  for n in $(seq 150 199); do
    if [ ! -e /tmp/.X11-unix/X$n ] && [ ! -e /tmp/.X$n-lock ]; then display=:$n; break; fi
  done
  Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  trap 'kill $xvfb 2>/dev/null || true' EXIT
  export DISPLAY=$display
  for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done
fi

tour=$root/build/win/tours/demo.exe
echo "== the packed tour: $tour"
run "$root/build/win/bin/tourpack.exe" inspect "$tour"

if [ -z "$headless" ]; then
  echo "== showing the tour (close its window to end)"
  run "$tour"
  exit 0
fi

echo "== no display: running the tour under Xvfb ($DISPLAY)"
shoot() { xwd -root -silent -display "$DISPLAY" | convert xwd:- "$out/$1.png"; echo "   $out/$1.png"; }

run "$tour" &
player=$!
sleep 6
echo "== screenshots"
shoot 01-start
if kill -0 $player 2>/dev/null; then
  sleep 2
  shoot 02-later
  kill $player 2>/dev/null || true
fi
wait $player 2>/dev/null && status=0 || status=$?
echo "== the player ended with exit code $status"
