#!/usr/bin/env bash
# The demo: builds the player, the language modules and tourpack, packs the
# sample tour, inspects it and shows it under Wine. With a display the tour
# opens there; without one it runs under Xvfb and screenshots are written to
# build/demo/: the start, the view turned, the next scene and full screen
# (the script prints where).
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
# A Wine session keeps the display it started on: the headless run gets a
# prefix of its own, so that a session left on another display is not used.
run() { "$root/scripts/wine-run.sh" --prefix "$out/wineprefix" "$@"; }
shoot() { xwd -root -silent -display "$DISPLAY" | convert xwd:- "$out/$1.png"; echo "   $out/$1.png"; }
rm -f "$out"/*.png

run "$tour" &
player=$!
# Wait for the desktop to show (a new prefix is prepared first), then for the
# first scene.
for _ in $(seq 90); do
  lit=$(xwd -root -silent -display "$DISPLAY" | convert xwd:- -format "%[fx:mean>0.1]" info: 2>/dev/null || echo 0)
  [ "$lit" = 1 ] && break
  sleep 1
done
sleep 5
echo "== screenshots"
shoot 01-start
# The tour's window sits centred in Wine's 1280 x 1000 desktop: give the
# desktop the keyboard, click into the view, then drive it with keys.
desktop=$(xdotool search --name "Wine desktop" 2>/dev/null | head -1 || true)
[ -n "$desktop" ] && xdotool windowfocus --sync "$desktop" 2>/dev/null || true
xdotool mousemove 640 450 click 1
sleep 0.5
xdotool keydown Left sleep 1.5 keyup Left
sleep 0.5
shoot 02-turned
xdotool key Next
sleep 2
shoot 03-next-scene
xdotool key f
sleep 2
shoot 04-full-screen
xdotool key Escape
sleep 1
xdotool key q
for _ in $(seq 20); do kill -0 $player 2>/dev/null || break; sleep 0.5; done
kill $player 2>/dev/null || true
wait $player 2>/dev/null && status=0 || status=$?
echo "== the player ended with exit code $status; screenshots in $out"
