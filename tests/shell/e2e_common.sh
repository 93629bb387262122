# Sourced by every end-to-end case (tests/shell/e2e/CASE.sh): the real tour
# executable under Wine, driven with xdotool in the Wine desktop of the held
# session LUMIVUE_E2E_SESSION (default e2e). Screenshots go to
# $LUMIVUE_ARTEFACTS/CASE/. Needs LUMIVUE_BUILD and LUMIVUE_SOURCE.
# A check that something happens waits for it (wait_until, shot_when, settle)
# and goes on as soon as it has; only a check that something does not happen
# sleeps first, for as long as it would take to happen.
set -euo pipefail
build=${LUMIVUE_BUILD:?}
source=${LUMIVUE_SOURCE:?}
case_name=$(basename "$0" .sh)
art=${LUMIVUE_ARTEFACTS:-$build/artefacts/shell}/$case_name
mkdir -p "$art"
rm -f "$art"/*.png
# How many times the windowed player is enlarged on the screen under test;
# its view's height at 96 dpi (the sample tour's view size 3: 480 x 360).
scale=1
viewHeight=360

# ---- The session, the run and its ends ---------------------------------------

# use_session NAME: later programs run in the held Wine session NAME
# (tests/support/wine-session.sh), on its display, where no other test's
# window lies over the player; the desktop of hidpi (192 dpi) is 2560 x 2000.
use_session() {
  prefix=$build/wineprefix-$1
  [ -f "$prefix/.lumivue-display" ] && export DISPLAY=$(cat "$prefix/.lumivue-display")
  temp=$prefix/drive_c/users/root/Temp
  if [ "$1" = hidpi ]; then
    desktopWidth=2560 desktopHeight=2000
  else
    desktopWidth=1280 desktopHeight=1000
  fi
}

work=$(mktemp -d "${TMPDIR:-/tmp}/lumivue-e2e.XXXXXX")
player=""
players=()
started_tours=()
cleanup() {
  local tour pid
  # The players this case started and left running, by their process ids.
  for tour in "${started_tours[@]}"; do
    pid=$(windows_process "$tour" || true)
    [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
  done
  for pid in "${players[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
  [ -z "${xvfb_pid:-}" ] || stop_xvfb
}
trap cleanup EXIT

use_session "${LUMIVUE_E2E_SESSION:-e2e}"
if [ -z "${DISPLAY:-}" ]; then
  source "$source/scripts/xvfb-display.sh"
  start_xvfb 1280x1024
fi

run() { "$source/scripts/wine-run.sh" --prefix "$prefix" "$@"; }
# probe ARGS...: tests/shell/window_probe.cpp, which names what it takes.
probe() { run "$build/bin/window_probe.exe" "$@" 2>/dev/null | tr -d '\r'; }
temp_files() { ls "$temp" 2>/dev/null | grep -E '^QR[ZX]' | sort || true; }
gone() { ! kill -0 "$1" 2>/dev/null; }
more_windows_than() { [ "$(probe windows || echo 0)" -gt "$1" ]; }

# start TOUR: runs TOUR (a tour packed here, by name, or a path) and waits
# for a main window more than showed before (another tour may be open) and
# for its first scene on the screen. The wrapper's process id is in $player;
# the window's place in wx wy ww wh, its client area's in cx cy cw ch.
start() {
  local tour=$1 had desk
  [[ $tour == */* ]] || tour=$work/$tour.exe
  files_before_start=$(temp_files)
  had=$(probe windows || echo 0)
  run "$tour" >/dev/null 2>&1 &
  player=$!
  players+=("$player")
  started_tours+=("$tour")
  if ! wait_until 30 more_windows_than "$had"; then
    fail "no window of $(basename "$tour") showed"
    return 1
  fi
  read -r wx wy ww wh cx cy cw ch < <(probe rect)
  first_scene_drawn
  read -r wx wy ww wh cx cy cw ch < <(probe rect)
  desk=$(xdotool search --name "Wine desktop" 2>/dev/null | head -1 || true)
  [ -n "$desk" ] && xdotool windowfocus --sync "$desk" 2>/dev/null || true
}

# first_scene_drawn: waits (WAIT seconds, 30) until the view shows a
# panorama and, windowed, the status text is drawn over the skin's strip;
# what never shows is left to the case's own checks.
first_scene_drawn() {
  convert "$source/skin/24-toolbar.bmp" -crop 300x20+10+68 +repage -sample $((scale * 100))% \
    "$work/status-skin.png"
  wait_until "${WAIT:-30}" scene_shown || echo "(the first scene did not show within ${WAIT:-30} s)" >&2
}
scene_shown() {
  local screen=$work/first-scene.xwd
  dump "$screen"
  if [ "$ww" -ge "$desktopWidth" ]; then
    [ "$(spread "$screen" $((desktopWidth / 4)) $((desktopHeight / 4)) $((desktopWidth / 2)) $((desktopHeight / 4)))" -gt 30 ]
  else
    [ "$(spread "$screen" $(view_box))" -gt 30 ] &&
      [ "$(ae "$work/status-skin.png" "${screen}[$(geometry $(status_box))]")" -gt 100 ]
  fi
}

# ended PID [SECONDS]: waits (30 s) until the wrapper PID has ended; its exit
# code goes to $status ("timeout" when it has not ended).
ended() {
  status=timeout
  wait_until "${2:-30}" gone "$1" || return 1
  status=0
  wait "$1" || status=$?
}

# finish: waits for the player to end; checks its exit code and that no
# temporary file of the run is left.
finish() {
  local _ after
  for _ in 1 2 3; do
    ended "$player" 10 && break
    # A close that came too early is asked again.
    probe close || true
  done
  if [ "$status" = timeout ]; then
    fail "the player did not end"
    probe box Error || true
    kill "$player" 2>/dev/null || true
    status=0
    wait "$player" || status=$?
  fi
  player=""
  check "exit code 0 ($status)" [ "$status" -eq 0 ]
  after=$(temp_files)
  check "no QRZ or QRX file left" [ "$after" = "$files_before_start" ]
  [ "$after" = "$files_before_start" ] || diff <(echo "$files_before_start") <(echo "$after") >&2 || true
}

# windows_process TOUR: the process id of the Windows program TOUR of this
# case under Wine, whose command line is its path alone (the wrapper's
# processes name it among other words).
windows_process() {
  pgrep -f -- "^([A-Z]:\\\\|/)[^ ]*${work##*/}[^ ]*$(basename "$1" .exe)\\.exe\$" | head -1
}

# ---- Checks and waits -------------------------------------------------------

fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
failures=0
check() { # check DESCRIPTION COMMAND...
  local what=$1
  shift
  if "$@"; then echo "ok: $what"; else fail "$what"; fi
}
not() { ! "$@"; }
# wait_until SECONDS COMMAND...: repeats COMMAND until it succeeds; fails when
# it has not within SECONDS.
wait_until() {
  local limit=$1 started=$SECONDS
  shift
  until "$@"; do
    [ $((SECONDS - started)) -lt "$limit" ] || return 1
    sleep 0.3
  done
}
conclude() { echo "screenshots: $art" && [ "$failures" -eq 0 ]; } # the end of every case

# ---- Tours ------------------------------------------------------------------

# pack NAME KEY=JSON... : the sample tour with settings replaced, as $work/NAME.exe.
pack() {
  local name=$1
  shift
  python3 - "$source/samples/demo/tour.json" "$work/$name.json" "$@" <<'PY'
import json, os, sys
src, out, *settings = sys.argv[1:]
base = os.path.dirname(os.path.abspath(src))
tour = json.load(open(src))
for setting in settings:
    key, value = setting.split("=", 1)
    tour[key] = json.loads(value)
absolute = lambda p: os.path.normpath(os.path.join(base, p))
tour["backgroundSound"] = absolute(tour["backgroundSound"])
tour["skin"] = absolute(tour["skin"])
if tour.get("info", {}).get("picture"):
    tour["info"]["picture"] = absolute(tour["info"]["picture"])
for scene in tour["scenes"]:
    scene["image"] = absolute(scene["image"])
    scene["sound"] = absolute(scene["sound"])
    for note in [note for note in scene.get("notes", []) if note.get("picture")]:
        note["picture"] = absolute(note["picture"])
json.dump(tour, open(out, "w"), indent=1)
PY
  tourpack build "$work/$name.json" -o "$work/$name.exe" --player bin/player.exe \
    --lang-dir bin/lang >/dev/null
}
# tourpack COMMAND ARGS...: the Windows tourpack, from the build tree, with
# the paths of this case's files given relative to it.
tourpack() {
  local relative
  relative=$(realpath --relative-to="$build" "$work")
  (cd "$build" && run bin/tourpack.exe "${@//"$work"/$relative}")
}

# record_opened: Wine's browser and mailer hand what they are given to a
# recorder; opened_count and last_opened tell what it has been given.
record_opened() {
  local kind
  cat >"$work/record-open.sh" <<'SH'
#!/bin/sh
for target in "$@"; do printf '%s\n' "$target" >>"$(dirname "$0")/opened.txt"; done
SH
  chmod +x "$work/record-open.sh"
  : >"$work/opened.txt"
  for kind in Browsers Mailers; do
    run reg add 'HKCU\Software\Wine\WineBrowser' /v "$kind" /d "$work/record-open.sh" /f \
      >/dev/null 2>&1 || fail "Wine's $kind could not be pointed at the recorder"
  done
}
opened_count() { wc -l <"$work/opened.txt"; }
last_opened() { tail -n 1 "$work/opened.txt"; }
opened_more_than() { [ "$(opened_count)" -gt "$1" ]; }

# ---- Sound (through tests/sound/with-sound-sink.sh) ---------------------------

# level FROM_BYTE: RMS of the recorded samples after FROM_BYTE.
level() {
  python3 - "${LUMIVUE_SOUND_SINK:?run through with-sound-sink.sh}" "$1" <<'PY'
import array, math, sys
data = open(sys.argv[1], "rb").read()[int(sys.argv[2]):]
samples = array.array("h", data[: len(data) // 2 * 2])
print(int(math.sqrt(sum(s * s for s in samples) / len(samples))) if samples else -1)
PY
}
# heard_for SECONDS: the level of what is played in the next SECONDS.
heard_for() {
  local mark
  mark=$(stat -c %s "$LUMIVUE_SOUND_SINK")
  sleep "$1"
  level "$mark"
}
# louder_than LEVEL, quieter_than LEVEL: the next second against LEVEL; its
# level is left in $loudness.
louder_than() { loudness=$(heard_for 1) && [ "$loudness" -gt "$1" ]; }
quieter_than() { loudness=$(heard_for 1) && [ "$loudness" -lt "$1" ]; }

# ---- The screen -------------------------------------------------------------

# Screenshots are PNG at zlib's fastest level: as exact as any other, and a
# quarter of the processor time of the default level, which the player being
# checked and the other tests beside it need more.
png_out=(-define png:compression-level=1)
shot() { xwd -root -silent | convert xwd:- "${png_out[@]}" "$art/$1.png"; }
# As Windows draws the desktop: X reads frameless popups back black.
gdi_shot() { probe shot "Z:$work/shot.bmp" && convert "$work/shot.bmp" "${png_out[@]}" "$art/$1.png"; }
shows() { shot "$1" && "${@:2}" "$art/$1.png"; } # shows NAME TEST...: TEST of the shot NAME
# geometry X Y W H: the area as ImageMagick writes it (WxH+X+Y); a picture
# named FILE[WxH+X+Y] is read as that part of FILE, in the same process.
geometry() { echo "$3x$4+$1+$2"; }
# ae PICTURE_A PICTURE_B: how many pixels differ.
ae() { compare -metric AE "$1" "$2" null: 2>&1 | cut -d' ' -f1 || true; }
# differing PICTURE_A PICTURE_B X Y W H: how many pixels of the area differ.
differing() { ae "$1[$5x$6+$3+$4]" "$2[$5x$6+$3+$4]"; }
# spread PICTURE X Y W H: standard deviation of the area (0: one flat colour).
spread() { convert "$1[$4x$5+$2+$3]" -format "%[fx:standard_deviation*1000]" info: | cut -d. -f1; }
# area_is changed|same PICTURE_A PICTURE_B X Y W H: whether the area differs
# in more than MIN_CHANGE pixels (20), or in at most MAX_SAME (10).
area_is() { area_count_is "$1" "$(differing "$2" "$3" "${@:4}")"; }
changed() { area_is changed "$art/$1.png" "$art/$2.png" "${@:3}"; }
same() { area_is same "$art/$1.png" "$art/$2.png" "${@:3}"; }
dump() { xwd -root -silent >"$1"; }
keep() { convert "xwd:$1" "${png_out[@]}" "$art/$2.png"; } # keep DUMP NAME
# grab FILE X Y W H: that area of the screen, and no more, as a PPM picture
# (a poll of a small area on a 2560 x 2000 screen then reads kilobytes, not
# the whole screen).
grab() { python3 "$source/tests/shell/grab_area.py" "$@"; }
# shot_when changed|same REFERENCE NAME X Y W H: shoots NAME once the area
# compares with REFERENCE as asked, or after WAIT seconds (20) as it is then
# (a scene's picture takes a loaded machine seconds to extract and decode).
# Each poll reads the area alone; NAME is the whole screen once it has.
shot_when() {
  local compare=$1 reference=$2 name=$3 poll=$work/poll.ppm was=$work/reference.ppm
  local started=$SECONDS count
  shift 3
  convert "$art/$reference.png[$(geometry "$@")]" +repage "$was"
  until grab "$poll" "$@" && count=$(ae "$was" "$poll") && area_count_is "$compare" "$count"; do
    [ $((SECONDS - started)) -lt "${WAIT:-20}" ] || { shot "$name"; return 1; }
    sleep 0.3
  done
  shot "$name"
  echo "($name $compare after $((SECONDS - started)) s)"
}
area_count_is() { if [ "$1" = changed ]; then [ "$2" -gt "${MIN_CHANGE:-20}" ]; else [ "$2" -le "${MAX_SAME:-10}" ]; fi; }
# settle NAME X Y W H: shoots NAME once the area has stopped changing.
settle() {
  local name=$1
  shift
  local deadline=$((SECONDS + ${WAIT:-20})) earlier=$work/earlier.ppm later=$work/later.ppm
  grab "$later" "$@"
  while [ $SECONDS -lt $deadline ]; do
    sleep 0.4
    mv "$later" "$earlier"
    grab "$later" "$@"
    [ "$(ae "$earlier" "$later")" = 0 ] && break
  done
  shot "$name"
}

# ---- The player's window ----------------------------------------------------

# The layout in windowed mode (client coordinates from the probe; viewHeight
# and the skin's places at 96 dpi, enlarged by the scale).
view_box() { echo "$cx $((cy + 36 * scale)) $((cw)) $((viewHeight * scale))"; }
toolbar_y() { echo $((cy + (36 + viewHeight) * scale)); }
status_box() { echo "$((cx + 10 * scale)) $(( $(toolbar_y) + (102 - 34) * scale)) $((300 * scale)) $((20 * scale))"; }
# Centre of toolbar button i (screen coordinates) and its 17 or 31 pixel box.
buttons=("18 29 17" "44 29 17" "31 16 17" "32 42 17" "32 29 17" "86 28 31" "124 28 31" "162 28 31"
  "200 28 31" "238 28 31" "276 28 31")
button_box() { # button_box I
  read -r bx by bs <<<"${buttons[$1]}"
  echo "$((cx + bx * scale)) $(($(toolbar_y) + by * scale)) $((bs * scale)) $((bs * scale))"
}
# in_full_screen, windowed: the main window's mode; its place goes to fx fy fw fh.
in_full_screen() {
  read -r fx fy fw fh _ < <(probe rect) && [ "$fw" -eq "$desktopWidth" -a "$fh" -eq "$desktopHeight" ]
}
windowed() { read -r fx fy fw fh _ < <(probe rect) && [ "$fw" -lt "$desktopWidth" ]; }
# dialog_open: whether a dialog box of the player shows; dialog_up reads its
# place (dx dy dw dh) and its client area's origin (dcx dcy).
dialog_open() { probe dialog >/dev/null; }
no_dialog() { ! dialog_open; }
dialog_up() { read -r dx dy dw dh dcx dcy < <(probe dialog); }
menus_open() { local count; count=$(probe menus) || count=0; [ "$count" -ge "$1" ]; } # N or more
# status_reads TEXT: the status text on the screen is TEXT, to a few pixels.
status_reads() {
  local differing _
  read -r differing _ < <(probe status "$1")
  [ "${differing:-9999}" -le 3 ]
}

# ---- Input ------------------------------------------------------------------

key() { xdotool key --delay 100 "$@"; }
hold() { xdotool keydown "$1"; sleep "$2"; xdotool keyup "$1"; } # hold KEY SECONDS
# hover X Y: the pointer to X Y, then a pixel on: Wine takes a move as one.
hover() { xdotool mousemove "$1" "$2" sleep 0.2 mousemove "$(($1 + 1))" "$2"; }
click_at() { hover "$1" "$2"; xdotool sleep 0.3 click 1; }
# focus_view: a click in the view, which the player takes before the next keys.
focus_view() { click_at $((cx + cw / 2)) $((cy + (36 + viewHeight / 2) * scale)); sleep 0.5; }

# The scene menu, opened and shot as Windows draws it.
scene_menu() {
  click_at $((wx + 60)) $((cy - 10))
  wait_until 10 menus_open 1 || true
  gdi_shot "$1"
  key Escape Escape
  focus_view
}
# check_row SHOT: the row of the checked item's mark in the scene menu (a
# filled blue circle in the menu's left column), or -1 when none shows.
check_row() {
  convert "$art/$1.png" -crop "30x200+$((wx + 35))+$cy" +repage txt:- | python3 -c '
import re, sys
rows = [int(m.group(2)) for line in sys.stdin
      for m in [re.match(r"(\d+),(\d+): \((\d+),(\d+),(\d+)", line)] if m
      and int(m.group(3)) < 100 and int(m.group(4)) < 170 and int(m.group(5)) > 150]
print(sum(rows) // len(rows) if rows else -1)'
}

# press_button I PREVIOUS NAME: toolbar button I at its place on the screen:
# its hover look and help text (against the shot PREVIOUS), then a click, its
# pressed look and what it does; the shots are NAME-hover-I, NAME-pressed-I and
# so on. Button 10 (full screen) is only hovered and clicked.
press_button() {
  local i=$1 previous=$2 name=$3 x y s
  read -r x y s _ <<<"$(button_box "$i")"
  hover $((x + s / 2)) $((y + s / 2))
  check "button $i: hover look" shot_when changed "$previous" "$name-hover-$i" "$x" "$y" "$s" "$s"
  check "button $i: help text" shot_when changed "$previous" "$name-hover-$i" $(status_box)
  xdotool click 1
  [ "$i" = 10 ] && return 0
  # The scene buttons draw their pressed look once the scene has loaded.
  check "button $i: pressed look" \
    shot_when changed "$name-hover-$i" "$name-pressed-$i" "$x" "$y" "$s" "$s"
  case $i in
  0 | 1 | 2 | 3 | 8 | 9)
    check "button $i: the view moves" shot_when changed "$name-pressed-$i" "$name-moving-$i" $(view_box)
    ;;
  4)
    # A frame drawn before the stop may still reach the screen: the view is
    # shot once it stands, then after as long as a few frames would take.
    settle "$name-pressed-$i" $(view_box)
    sleep 0.5
    shot "$name-stopped-$i"
    MAX_SAME=0 check "button 4: the view stands still" same "$name-pressed-$i" "$name-stopped-$i" $(view_box)
    ;;
  5 | 6 | 7)
    check "button $i: the view changes" shot_when changed "$name-hover-$i" "$name-changed-$i" $(view_box)
    settle "$name-changed-$i" $(view_box)
    ;;
  esac
}
