#!/usr/bin/env bash
# The demo: builds the player, the language modules and tourpack, packs the
# sample tour, inspects it and shows it under Wine. With a display the tour
# opens there; without one it runs under Xvfb and screenshots are written to
# build/demo/: the start, the view turned, the next scene (with the marker of
# its link into the town hall gallery), full screen, the pointer on the
# marker (highlighted, with its label), the gallery after a click on it and
# the card of the gallery's note.
# Every step waits for what it needs to see on the screen (a new Wine prefix
# takes a minute to prepare; a slow machine takes longer to draw), and the
# player is closed as a user closes it, with Alt+F4.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
root=$(pwd)

bash scripts/setup.sh

echo "== building the player, the language modules and tourpack"
cmake --preset win >/dev/null
cmake --build --preset win --target player tourpack sample_tours window_probe

tour=$root/build/win/tours/demo.exe
echo "== the packed tour: $tour"
"$root/scripts/wine-run.sh" --prefix "$root/build/win/wineprefix" \
  "$root/build/win/bin/tourpack.exe" inspect "$tour"

if [ -n "${DISPLAY:-}" ] && [ -z "${LUMIVUE_DEMO_HEADLESS:-}" ]; then
  echo "== showing the tour (close its window to end)"
  exec "$root/scripts/wine-run.sh" --prefix "$root/build/win/wineprefix" "$tour"
fi

out=$root/build/demo
mkdir -p "$out"
rm -f "$out"/*.png "$out"/player.log

# A display of our own. A Wine session keeps the display it started on, so
# the headless run has a prefix of its own as well.
source scripts/xvfb-display.sh
start_xvfb 1280x1024
player=""
cleanup() {
  [ -n "$player" ] && kill "$player" 2>/dev/null || true
  WINEPREFIX=$out/wineprefix wineserver -k 2>/dev/null || true
  stop_xvfb
}
trap cleanup EXIT
echo "== no display: running the tour under Xvfb ($DISPLAY)"

# The machine has no sound card: the player's sound goes to ALSA's null
# device, so that nothing complains about the missing card.
cat >"$out/asound.conf" <<'CONF'
pcm.!default { type null }
ctl.!default { type hw card 0 }
CONF
export ALSA_CONFIG_PATH="/usr/share/alsa/alsa.conf:$out/asound.conf"
export WINEDLLOVERRIDES="mscoree,mshtml=;winepulse.drv=d"

run() { "$root/scripts/wine-run.sh" --prefix "$out/wineprefix" "$@"; }
probe() { run "$root/build/win/bin/window_probe.exe" "$@" 2>/dev/null | tr -d '\r'; }
run --prepare

shoot() { xwd -root -silent | convert xwd:- "$out/$1.png"; }
# differing A B X Y W H: how many pixels of the area differ between two shots.
differing() {
  compare -metric AE "$out/$1.png[$5x$6+$3+$4]" "$out/$2.png[$5x$6+$3+$4]" null: 2>&1 |
    awk '{ printf "%d\n", $1 }'  # large counts come as 1.2e+06
}
# spread NAME X Y W H: the area's standard deviation (0: one flat colour).
spread() {
  convert "$out/$1.png[$4x$5+$2+$3]" -format "%[fx:int(standard_deviation*1000)]" info:
}
# wait_for WHAT SECONDS TEST...: repeats TEST until it holds.
wait_for() {
  local what=$1 limit=$2 started=$SECONDS
  shift 2
  until "$@" >/dev/null; do
    if [ $((SECONDS - started)) -ge "$limit" ]; then
      echo "demo: gave up waiting for $what after $limit s (the player's output is in $out/player.log)" >&2
      exit 1
    fi
    sleep 0.3
  done
}
# settled NAME X Y W H: shoots NAME; true once the area shows a picture (not
# one flat colour) that the previous shot showed too.
settled() {
  [ -f "$out/$1.png" ] && mv "$out/$1.png" "$out/earlier.png"
  shoot "$1"
  [ -f "$out/earlier.png" ] && [ "$(spread "$1" "${@:2}")" -gt 20 ] &&
    [ "$(differing earlier "$1" "${@:2}")" -eq 0 ]
}
# moved_from REFERENCE NAME X Y W H: shoots NAME; true once the area differs
# from REFERENCE and has stopped changing.
moved_from() {
  settled "$2" "${@:3}" && [ "$(differing "$1" "$2" "${@:3}")" -gt 1000 ]
}

run "$tour" >"$out/player.log" 2>&1 &
player=$!
wait_for "the tour's window" 120 probe rect
read -r wx wy ww wh cx cy cw ch < <(probe rect)
# The view lies below the 36-pixel skin strip, above the 102-pixel panel.
view=("$cx" $((cy + 36)) "$cw" $((ch - 36 - 102)))
echo "== the tour's window is up (${cw} x ${ch} client pixels); screenshots:"
wait_for "the first scene" 120 settled 01-start "${view[@]}"
echo "   $out/01-start.png"

# The desktop has the keyboard once it is focused; a click in the view gives
# the player's window the focus inside it.
desktop=$(xdotool search --name "Wine desktop" 2>/dev/null | head -1 || true)
[ -n "$desktop" ] && xdotool windowfocus --sync "$desktop" 2>/dev/null || true
xdotool mousemove $((view[0] + view[2] / 2)) $((view[1] + view[3] / 2)) click 1
xdotool keydown Left sleep 1.5 keyup Left
wait_for "the view to turn" 30 moved_from 01-start 02-turned "${view[@]}"
echo "   $out/02-turned.png"
# The pointer off the view, so that it lies on no link's marker.
xdotool mousemove $((view[0] + 4)) $((view[1] + 4))
xdotool key Next
wait_for "the next scene" 60 moved_from 02-turned 03-next-scene "${view[@]}"
echo "   $out/03-next-scene.png"
xdotool key f
wait_for "full screen" 60 moved_from 03-next-scene 04-full-screen 0 0 1280 1000
echo "   $out/04-full-screen.png"
xdotool key Escape
wait_for "the window to come back" 30 moved_from 04-full-screen windowed-again 0 0 1280 1000
rm -f "$out/earlier.png" "$out/windowed-again.png"

# The market square's link into the town hall gallery (pan 0, tilt -2.5) in
# the square's start view (pan 0, tilt -6, field of view 90): its view pixel.
read -r lx ly < <(python3 -c 'import math
w, h, tilt, fov, lat = 480, 360, math.radians(-6), math.radians(90), math.radians(-2.5)
f = w / 2 / math.tan(fov / 2)
depth = math.cos(lat) * math.cos(tilt) + math.sin(lat) * math.sin(tilt)
rise = f * (math.sin(lat) * math.cos(tilt) - math.cos(lat) * math.sin(tilt)) / depth
print(round(w / 2 - 0.5), round(h / 2 - 0.5 + rise))')
marker=($((view[0] + lx - 40)) $((view[1] + ly - 16)) 240 32)
# hovered NAME: shoots NAME; true once the marker and the area to its right
# (its label) differ from the shot before the pointer came.
hovered() {
  shoot "$1"
  [ "$(differing 03-next-scene "$1" "${marker[@]}")" -gt 100 ]
}
xdotool mousemove $((view[0] + lx)) $((view[1] + ly)) sleep 0.2 mousemove $((view[0] + lx + 1)) $((view[1] + ly))
wait_for "the marker's highlight and label" 30 hovered 05-link-hovered
echo "   $out/05-link-hovered.png"
xdotool click 1
wait_for "the town hall gallery" 60 moved_from 05-link-hovered 06-link-followed "${view[@]}"
echo "   $out/06-link-followed.png"
rm -f "$out/earlier.png"

# The gallery's note (a painting of the old quay, pan -90) lies in view from
# its start view (pan -60): Home, then Tab highlights it and Enter opens it.
xdotool mousemove $((view[0] + 4)) $((view[1] + 4))
xdotool key Home sleep 0.5 key Tab sleep 0.3 key Return
wait_for "the note's card" 30 probe note
read -r _ kx ky kw kh < <(probe note | grep '^rect ')
# X reads a frameless popup back black: the card is shot as Windows draws
# the desktop.
gdi_shoot() { probe shot "Z:$out/shot.bmp" && convert "$out/shot.bmp" "$out/$1.png" && rm -f "$out/shot.bmp"; }
gdi_settled() {
  [ -f "$out/$1.png" ] && mv "$out/$1.png" "$out/earlier.png"
  gdi_shoot "$1"
  [ -f "$out/earlier.png" ] && [ "$(spread "$1" "${@:2}")" -gt 20 ] &&
    [ "$(differing earlier "$1" "${@:2}")" -eq 0 ]
}
wait_for "the note's card drawn" 30 gdi_settled 07-note-open "$kx" "$ky" "$kw" "$kh"
echo "   $out/07-note-open.png"
rm -f "$out/earlier.png"
xdotool key Escape
card_closed() { ! probe note; }
wait_for "the note's card to close" 30 card_closed

# Closed as a user closes it.
xdotool key alt+F4
started=$SECONDS
while kill -0 "$player" 2>/dev/null && [ $((SECONDS - started)) -lt 30 ]; do sleep 0.3; done
if kill -0 "$player" 2>/dev/null; then
  echo "demo: the player did not end within 30 s of Alt+F4" >&2
  exit 1
fi
status=0
wait "$player" || status=$?
player=""
echo "== the player ended with exit code $status"
echo "== made: the tour $tour ($(du -h "$tour" | cut -f1)) and seven screenshots in $out"
exit "$status"
