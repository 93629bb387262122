#!/usr/bin/env bash
# End-to-end runs of the real tour executable under Wine, driven with xdotool
# inside the Wine desktop of the session LUMIVUE_E2E_SESSION (default e2e):
#   e2e_player.sh startup|drive|fullscreen|sound|longrun|dialogs|folder|input|highdpi
# highdpi runs in the high-DPI session and compares with the same tour in the
# session LUMIVUE_E2E_REFERENCE (default e2e).
# Tours are packed from the sample tour with changed settings; the folder case
# makes its tour from a folder of photos with the native tourpack
# (LUMIVUE_NATIVE_TOURPACK). Screenshots go
# to $LUMIVUE_ARTEFACTS/<case>/. Needs LUMIVUE_BUILD and LUMIVUE_SOURCE.
set -euo pipefail
case=${1:?case}
build=${LUMIVUE_BUILD:?}
source=${LUMIVUE_SOURCE:?}
art=${LUMIVUE_ARTEFACTS:-$build/artefacts/shell}/$case
mkdir -p "$art"
rm -f "$art"/*.png
# How many times the windowed player is enlarged on the screen under test.
scale=1

# use_session, check, fail and pack (tours from the sample tour with changed
# settings).
source "$(dirname "${BASH_SOURCE[0]}")/e2e_common.sh"
# The session of the case (LUMIVUE_E2E_SESSION; the wine_session_<name> fixture).
use_session "${LUMIVUE_E2E_SESSION:-e2e}"

if [ -z "${DISPLAY:-}" ]; then
  for n in $(seq 120 149); do
    if [ ! -e /tmp/.X11-unix/X$n -a ! -e /tmp/.X$n-lock ]; then display=:$n; break; fi
  done
  Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  export DISPLAY=$display
  for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done
fi
work=$(mktemp -d "${TMPDIR:-/tmp}/lumivue-e2e.XXXXXX")
player=""
cleanup() {
  [ -n "$player" ] && kill "$player" 2>/dev/null || true
  rm -rf "$work"
  [ -n "${xvfb:-}" ] && kill "$xvfb" 2>/dev/null || true
}
trap cleanup EXIT

run() { "$source/scripts/wine-run.sh" --prefix "$prefix" "$@"; }
probe() { run "$build/bin/window_probe.exe" "$@" 2>/dev/null | tr -d '\r'; }
# dialog_open: whether a dialog box of the player shows. dialog_opens waits
# up to ten seconds for one: a loaded machine takes seconds to lay out a box
# and decode its picture.
dialog_open() { probe dialog >/dev/null; }
dialog_opens() {
  local _
  for _ in $(seq 20); do
    dialog_open && return 0
    sleep 0.5
  done
  return 1
}
no_dialog() { ! dialog_open; }


desktop_window() { xdotool search --name "Wine desktop" 2>/dev/null | head -1; }

# start NAME: runs the packed tour and waits for its main window.
start() {
  before=$(ls "$temp" 2>/dev/null | grep -E '^QR[ZX]' | sort || true)
  run "$work/$1.exe" >/dev/null 2>&1 &
  player=$!
  for _ in $(seq 60); do
    if probe rect >/dev/null; then break; fi
    sleep 0.5
  done
  read -r wx wy ww wh cx cy cw ch < <(probe rect)
  first_scene_drawn
  read -r wx wy ww wh cx cy cw ch < <(probe rect)
  local desk
  desk=$(desktop_window)
  [ -n "$desk" ] && xdotool windowfocus --sync "$desk" 2>/dev/null || true
}

# first_scene_drawn: waits (up to WAIT seconds, 30) until the first scene is
# on screen: the view shows a panorama and, windowed, the status text is
# drawn over the skin's strip. A loaded machine takes seconds to extract and
# decode the picture; what never shows is left to the case's own checks.
first_scene_drawn() {
  local started=$SECONDS probe_shot=$work/first-scene.xwd
  convert "$source/skin/24-toolbar.bmp" -crop 300x20+10+68 +repage -sample $((scale * 100))% \
    "$work/status-skin.png"
  while [ $((SECONDS - started)) -lt "${WAIT:-30}" ]; do
    dump "$probe_shot"
    if [ "$ww" -ge "$desktopWidth" ]; then
      [ "$(spread "$probe_shot" $((desktopWidth / 4)) $((desktopHeight / 4)) $((desktopWidth / 2)) $((desktopHeight / 4)))" -gt 30 ] && return 0
    elif [ "$(spread "$probe_shot" $(view_box))" -gt 30 ]; then
      [ "$(ae "$work/status-skin.png" "$probe_shot[$(geometry $(status_box))]")" -gt 100 ] && return 0
    fi
    sleep 0.3
  done
  echo "(the first scene did not show within ${WAIT:-30} s)" >&2
}

# finish: waits for the player to end; checks its exit code and that no
# temporary file of the run is left.
finish() {
  local status=0
  for attempt in $(seq 60); do
    kill -0 "$player" 2>/dev/null || break
    # A close that came too early is asked again; a player that will not end fails.
    if [ $((attempt % 20)) -eq 0 ]; then probe close || true; fi
    sleep 0.5
  done
  if kill -0 "$player" 2>/dev/null; then
    fail "the player did not end"
    probe box Error || true
    kill "$player" 2>/dev/null || true
  fi
  wait "$player" || status=$?
  player=""
  check "exit code 0 ($status)" [ "$status" -eq 0 ]
  local after
  after=$(ls "$temp" 2>/dev/null | grep -E '^QR[ZX]' | sort || true)
  check "no QRZ or QRX file left" [ "$after" = "$before" ]
  [ "$after" = "$before" ] || diff <(echo "$before") <(echo "$after") >&2 || true
}

shot() { xwd -root -silent | convert xwd:- "$art/$1.png"; }
# As Windows draws the desktop: X reads frameless popups back black.
gdi_shot() { probe shot "Z:$work/shot.bmp" && convert "$work/shot.bmp" "$art/$1.png"; }
# geometry X Y W H: the area as ImageMagick writes it (WxH+X+Y); a picture
# named FILE[WxH+X+Y] is read as that part of FILE, in the same process.
geometry() { echo "$3x$4+$1+$2"; }
# ae PICTURE_A PICTURE_B: how many pixels differ.
ae() { compare -metric AE "$1" "$2" null: 2>&1 | cut -d' ' -f1 || true; }
# differing PNG_A PNG_B X Y W H: how many pixels of the area differ.
differing() { ae "$1[$5x$6+$3+$4]" "$2[$5x$6+$3+$4]"; }
# spread PICTURE X Y W H: standard deviation of the area (0: one flat colour).
spread() { convert "$1[$4x$5+$2+$3]" -format "%[fx:standard_deviation*1000]" info: | cut -d. -f1; }
# area_is changed|same PICTURE_A PICTURE_B X Y W H: whether the area differs
# in more than MIN_CHANGE pixels (20), or in at most MAX_SAME (10).
area_is() {
  local count
  count=$(differing "$2" "$3" "${@:4}")
  if [ "$1" = changed ]; then [ "$count" -gt "${MIN_CHANGE:-20}" ]; else [ "$count" -le "${MAX_SAME:-10}" ]; fi
}
changed() { area_is changed "$art/$1.png" "$art/$2.png" "${@:3}"; }
same() { area_is same "$art/$1.png" "$art/$2.png" "${@:3}"; }
# Polls read the screen as X's own dumps, which are compared without
# decoding; only the dump that ends a poll is kept as a PNG.
dump() { xwd -root -silent >"$1"; }
keep() { convert "xwd:$1" "$art/$2.png"; } # keep DUMP NAME
# shot_when changed|same REFERENCE NAME X Y W H: shoots NAME once the area
# compares with REFERENCE as asked, or after WAIT seconds (20) as it is then:
# a scene change takes as long as the machine needs to extract and decode its
# picture.
shot_when() {
  local compare=$1 reference=$2 name=$3 poll=$work/poll.xwd
  shift 3
  local started=$SECONDS
  while :; do
    dump "$poll"
    if area_is "$compare" "$art/$reference.png" "$poll" "$@"; then
      keep "$poll" "$name"
      echo "($name $compare after $((SECONDS - started)) s)"
      return 0
    fi
    if [ $((SECONDS - started)) -ge "${WAIT:-20}" ]; then
      keep "$poll" "$name"
      return 1
    fi
    sleep 0.3
  done
}
# settle NAME X Y W H: shoots NAME once the area has stopped changing.
settle() {
  local name=$1
  shift
  local deadline=$((SECONDS + ${WAIT:-20})) earlier=$work/earlier.xwd later=$work/later.xwd
  dump "$later"
  while [ $SECONDS -lt $deadline ]; do
    sleep 0.4
    mv "$later" "$earlier"
    dump "$later"
    [ "$(differing "$earlier" "$later" "$@")" -eq 0 ] && break
  done
  keep "$later" "$name"
}

# The layout in windowed mode (client coordinates from the probe; viewHeight
# and the skin's places at 96 dpi, enlarged by the scale).
view_box() { echo "$cx $((cy + 36 * scale)) $((cw)) $((viewHeight * scale))"; }
toolbar_y() { echo $((cy + (36 + viewHeight) * scale)); }
# Centre of toolbar button i (screen coordinates) and its 17 or 31 pixel box.
buttons=("18 29 17" "44 29 17" "31 16 17" "32 42 17" "32 29 17" "86 28 31" "124 28 31" "162 28 31"
  "200 28 31" "238 28 31" "276 28 31")
button_box() { # button_box I [ORIGIN_X ORIGIN_Y]
  read -r bx by bs <<<"${buttons[$1]}"
  echo "$(( ${2:-$cx} + bx * scale )) $(( ${3:-$(toolbar_y)} + by * scale )) $((bs * scale)) $((bs * scale))"
}
click_at() { xdotool mousemove "$1" "$2" sleep 0.2 mousemove "$(( $1 + 1 ))" "$2" sleep 0.3 click 1; }
status_box() { echo "$((cx + 10 * scale)) $(( $(toolbar_y) + (102 - 34) * scale)) $((300 * scale)) $((20 * scale))"; }
key() { xdotool key --delay 100 "$@"; }
hold() { xdotool keydown "$1"; sleep "$2"; xdotool keyup "$1"; }
focus_view() { click_at $((cx + cw / 2)) $((cy + (36 + viewHeight / 2) * scale)); sleep 0.5; }
# The scene menu, opened and shot as Windows draws it.
scene_menu() {
  click_at $((wx + 60)) $((cy - 10))
  sleep 0.8
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
  xdotool mousemove $((x + s / 2)) $((y + s / 2)) sleep 0.2 mousemove $((x + s / 2 + 1)) $((y + s / 2)) sleep 0.4
  shot "$name-hover-$i"
  check "button $i: hover look" changed "$previous" "$name-hover-$i" "$x" "$y" "$s" "$s"
  check "button $i: help text" changed "$previous" "$name-hover-$i" $(status_box)
  xdotool click 1
  sleep 1
  [ "$i" = 10 ] && return 0
  # The scene buttons draw their pressed look once the scene has loaded.
  check "button $i: pressed look" \
    shot_when changed "$name-hover-$i" "$name-pressed-$i" "$x" "$y" "$s" "$s"
  case $i in
  0 | 1 | 2 | 3 | 8 | 9)
    sleep 0.5
    shot "$name-moving-$i"
    check "button $i: the view moves" changed "$name-pressed-$i" "$name-moving-$i" $(view_box)
    ;;
  4)
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

case $case in
startup)
  extra=""
  for size in 1 2 0 7; do
    case $size in 1) vw=320 viewHeight=240 ;; 2) vw=400 viewHeight=300 ;; *) vw=480 viewHeight=360 ;; esac
    pack "size$size" "viewSize=$size"
    start "size$size"
    shot "size$size"
    check "view size $size: window width $ww" [ "$ww" -eq $((vw + 6)) ]
    this_extra=$((wh - 36 - 102 - viewHeight - 3))
    extra=${extra:-$this_extra}
    check "view size $size: window height $wh is caption + menu + 141 + $viewHeight + 3" \
      [ "$this_extra" -eq "$extra" -a "$this_extra" -gt 20 ]
    check "view size $size: centred at $wx,$wy" \
      [ "$wx" -eq $(((desktopWidth - ww) / 2)) -a "$wy" -eq $(((desktopHeight - wh) / 2)) ]
    # The view shows a panorama (not one flat colour); the skin band above it
    # and the toolbar below are the skin's own pictures.
    check "view size $size: the view shows the panorama" [ "$(spread "$art/size$size.png" $(view_box))" -gt 30 ]
    check "view size $size: the toolbar is the skin's" \
      [ "$(ae "$source/skin/24-toolbar.bmp[300x62+0+0]" "$art/size$size.png[300x62+$cx+$(toolbar_y)]")" -lt 30 ]
    check "view size $size: the status text is drawn" \
      [ "$(ae "$source/skin/24-toolbar.bmp[300x20+10+68]" "$art/size$size.png[$(geometry $(status_box))]")" -gt 100 ]
    probe close
    finish
  done
  ;;

drive)
  viewHeight=360
  pack drive
  start drive
  shot 00-start
  focus_view
  shot 01-focused
  hold Left 1
  shot 02-left
  check "the left arrow turns the view" changed 01-focused 02-left $(view_box)
  hold Up 0.6
  shot 03-up
  check "the up arrow tilts the view" changed 02-left 03-up $(view_box)
  hold a 0.8
  shot 04-zoom-in
  check "A zooms in" changed 03-up 04-zoom-in $(view_box)
  hold Shift_L 0.5
  shot 05-shift
  check "Shift zooms in" changed 04-zoom-in 05-shift $(view_box)
  hold Control_L 0.8
  shot 06-ctrl
  check "Ctrl zooms out" changed 05-shift 06-ctrl $(view_box)
  hold z 0.8
  shot 07-z
  check "Z zooms out" changed 06-ctrl 07-z $(view_box)
  midx=$((cx + cw / 2))
  midy=$((cy + 36 + viewHeight / 2))
  xdotool mousemove $midx $midy mousedown 1 sleep 0.2 mousemove $((midx + 120)) $midy sleep 1 mouseup 1
  sleep 0.3
  shot 08-drag
  check "a drag turns the view" changed 07-z 08-drag $(view_box)

  # Leaving the toolbar takes a hover look and its help text away.
  read -r x y s _ <<<"$(button_box 6)"
  shot 09-before-hover
  xdotool mousemove $((x + s / 2)) $((y + s / 2)) sleep 0.2 mousemove $((x + s / 2 + 1)) $((y + s / 2)) sleep 0.4
  shot 09-hover
  check "hovering a button shows its look" changed 09-before-hover 09-hover "$x" "$y" "$s" "$s"
  xdotool mousemove $((cx + cw / 2)) $((cy + 36 + viewHeight / 2)) sleep 0.6
  shot 09-left
  MAX_SAME=0 check "leaving the toolbar takes the hover look away" same 09-before-hover 09-left "$x" "$y" "$s" "$s"
  MAX_SAME=0 check "and its help text" same 09-before-hover 09-left $(status_box)

  # Every toolbar button: its hover look, its help text, its pressed look and
  # what it does.
  previous=08-drag
  for i in 0 1 2 3 4 5 6 7 8 9; do
    # A new scene starts at its start view: turn away from it before the
    # start-view button.
    [ $i = 7 ] && hold Right 0.8
    press_button $i "$previous" buttons
    previous="buttons-pressed-$i"
  done

  # The scene menu: choose scene 3, the check follows.
  xdotool mousemove $((cx + cw / 2)) $((cy + 36 + 20)) click 1
  sleep 0.5
  shot 20-before-menu
  probe command scene:3
  check "scene 3 from the scene menu changes the scene and the status text" \
    shot_when changed 20-before-menu 21-scene-3 $(status_box)
  settle 21-scene-3 $(view_box)
  scene_menu 22-scene-menu-3
  probe command scene:5
  settle 22-scene-5 $(view_box)
  scene_menu 23-scene-menu-5
  # Scene 5 is two items below scene 3 (items are some 17 pixels high).
  row3=$(check_row 22-scene-menu-3)
  row5=$(check_row 23-scene-menu-5)
  check "the scene menu's check moves from scene 3 down to scene 5 (rows $row3, $row5)" \
    [ "$row3" -gt 0 -a $((row5 - row3)) -ge 28 -a $((row5 - row3)) -le 44 ]
  # Accelerators of the language module: Page Down (next scene), Home
  # (start view), F (full screen) and Q (quit).
  shot 30-before-keys
  key Next
  check "Page Down shows the next scene" shot_when changed 30-before-keys 31-page-down $(status_box)
  settle 31-page-down $(view_box)
  hold Right 0.6
  key Home
  settle 32-home $(view_box)
  key Next
  check "Page Down again" shot_when changed 32-home 33-next $(status_box)
  key Prior
  MAX_SAME=400 check "Home gave the start view: the same after Page Down, Page Up" shot_when same 32-home 33-back $(view_box)
  key f
  sleep 1.5
  read -r fx fy fw fh _ < <(probe rect)
  check "F enters full screen ($fx $fy $fw $fh)" [ "$fw" -eq $desktopWidth -a "$fh" -eq $desktopHeight ]
  key Escape
  sleep 1.5
  key q
  finish
  ;;

fullscreen)
  viewHeight=360
  # toolbar_shown PNG: whether the shaped toolbar is at the bottom left.
  toolbar_differs() {
    # The main window keeps a one-pixel border in full screen.
    ae "$source/skin/25-full-screen-toolbar.bmp[300x40+0+16]" "$1[300x40+1+$((desktopHeight - 72 + 16 + 1))]"
  }
  # (the full-screen button shows pressed: some 700 pixels differ)
  toolbar_shown() { [ "$(toolbar_differs "$1")" -lt 1500 ]; }
  toolbar_absent() { [ "$(toolbar_differs "$1")" -gt 4000 ]; }
  # Under the toolbar's cut-away top-left corner the panorama shows, not black.
  corner_open() {
    local corner
    corner=$(convert "$1[4x4+1+$((desktopHeight - 72 + 1))]" -format "%[fx:mean*1000]" info: | cut -d. -f1)
    [ "$corner" -gt 40 ]
  }
  popup_first_item() {
    xdotool mousemove 640 400 click 3
    sleep 1.5
    shot "$1"
    key Down Return
    sleep 1.5
  }
  pack windowed
  start windowed
  original="$wx $wy $ww $wh"
  scene_menu fs-menu-before
  row_before=$(check_row fs-menu-before)
  for round in 1 2; do
    if [ $round = 1 ]; then
      read -r x y s _ <<<"$(button_box 10)"
      click_at $((x + 15)) $((y + 15))
    else
      probe command IDM_FULL_SCREEN
    fi
    sleep 2
    shot "fs-$round"
    read -r fx fy fw fh _ < <(probe rect)
    check "round $round: full screen covers the desktop ($fx $fy $fw $fh)" \
      [ "$fx" -eq 0 -a "$fy" -eq 0 -a "$fw" -eq $desktopWidth -a "$fh" -eq $desktopHeight ]
    if [ $round = 1 ]; then
      # The tour starts with the full-screen toolbar off: the popup menu
      # offers to show it, and then to hide it.
      check "round 1: no toolbar (the tour has it off)" toolbar_absent "$art/fs-1.png"
      popup_first_item fs-popup-show
      shot fs-shown
      check "the popup menu shows the toolbar" toolbar_shown "$art/fs-shown.png"
      check "the panorama shows under the toolbar's cut-away corner" corner_open "$art/fs-shown.png"
      popup_first_item fs-popup-hide
      shot fs-hidden
      check "the popup menu hides the toolbar" toolbar_absent "$art/fs-hidden.png"
      popup_first_item fs-popup-show-again
      shot fs-shown-again
      check "and shows it again" toolbar_shown "$art/fs-shown-again.png"
    else
      check "round 2: the toolbar shows" toolbar_shown "$art/fs-2.png"
      check "round 2: the panorama shows under the cut-away corner" corner_open "$art/fs-2.png"
    fi
    xdotool mousemove 640 300 click 1
    key Escape
    sleep 2
    shot "back-$round"
    read -r bx by bw bh _ < <(probe rect)
    check "round $round: Escape restores the window exactly ($bx $by $bw $bh)" [ "$bx $by $bw $bh" = "$original" ]
  done
  # Back in the window the scene menu is rebuilt with its check where it was.
  scene_menu fs-menu-after
  row_after=$(check_row fs-menu-after)
  check "the scene menu's check is rebuilt on return (rows $row_before, $row_after)" \
    [ "$row_before" -gt 0 -a "$row_after" -eq "$row_before" ]
  # Back in the window the menu is rebuilt: Exit from it ends the player.
  click_at $((wx + 20)) $((cy - 10))
  sleep 1
  shot menu-tour
  key Up Return
  finish

  for mode in 1 2; do
    pack "start$mode" "fullScreenMode=$mode"
    start "start$mode"
    shot "start-mode-$mode"
    check "fullScreenMode $mode starts full screen" [ "$ww" -eq $desktopWidth -a "$wh" -eq $desktopHeight ]
    if [ $mode = 1 ]; then
      check "fullScreenMode 1 shows the toolbar" toolbar_shown "$art/start-mode-$mode.png"
    else
      check "fullScreenMode 2 hides the toolbar" toolbar_absent "$art/start-mode-$mode.png"
    fi
    probe close
    finish
  done
  ;;

sound)
  # Run inside tests/sound/with-sound-sink.sh: LUMIVUE_SOUND_SINK records.
  sink=${LUMIVUE_SOUND_SINK:?run through with-sound-sink.sh}
  viewHeight=360
  pack sound
  start sound
  sleep 2
  level() { # level FROM_BYTE: RMS of the samples after it
    python3 - "$sink" "$1" <<'PY'
import array, math, sys
data = open(sys.argv[1], "rb").read()[int(sys.argv[2]):]
samples = array.array("h", data[: len(data) // 2 * 2])
print(int(math.sqrt(sum(s * s for s in samples) / len(samples))) if samples else -1)
PY
  }
  mark=$(stat -c %s "$sink")
  sleep 2
  loud=$(level "$mark")
  check "the tour is heard (level $loud)" [ "$loud" -gt 100 ]
  focus_view
  key m
  sleep 1.5
  mark=$(stat -c %s "$sink")
  sleep 2
  quiet=$(level "$mark")
  check "sound off silences the output (level $quiet)" [ "$quiet" -ge -1 -a "$quiet" -lt 10 ]
  # Louder is greyed while the sound is off, and so is its key: eighty
  # presses of + (each 1 dB up) would make the muted players heard.
  xdotool key --delay 30 $(printf 'KP_Add %.0s' $(seq 80))
  sleep 1
  mark=$(stat -c %s "$sink")
  sleep 2
  still=$(level "$mark")
  check "+ with the sound off leaves it silent (level $still)" [ "$still" -ge -1 -a "$still" -lt 10 ]
  # The View menu's Sound submenu, shot with the sound off and on again.
  sound_menu() {
    click_at $((wx + 110)) $((cy - 10))
    sleep 0.5
    key Down Down Down Right
    sleep 0.5
    gdi_shot "$1"
    key Escape Escape Escape
  }
  sound_menu sound-menu-off
  focus_view
  key m
  sleep 1.5
  mark=$(stat -c %s "$sink")
  sleep 2
  back=$(level "$mark")
  check "sound on brings it back (level $back)" [ "$back" -gt 100 ]
  sound_menu sound-menu-on
  # Menu text greyed out is drawn in (128, 128, 128): Louder and Quieter
  # while the sound is off, not once it is back on.
  greyed() { convert "$art/$1.png" -alpha off -fill black +opaque "rgb(128,128,128)" \
    -fill white -opaque "rgb(128,128,128)" -format "%[fx:int(mean*w*h)]" info:; }
  off=$(greyed sound-menu-off)
  on=$(greyed sound-menu-on)
  check "sound off greys the volume items ($off greyed pixels, $on with the sound on)" [ "$off" -gt $((on + 60)) ]
  focus_view
  key q
  finish
  ;;
longrun)
  # Six scenes played for several cycles: private memory comes back to its
  # level after the first cycle, and nothing stays in the temporary folder.
  viewHeight=360
  python3 - "$source/samples/demo/tour.json" >"$work/scenes.json" <<'PY'
import json, sys
tour = json.load(open(sys.argv[1]))
scenes = tour["scenes"]
extra = dict(scenes[0], name="Old quay again", pan=90)
print(json.dumps(scenes + [extra]))
PY
  pack longrun "scenes=$(cat "$work/scenes.json")" "autoPlay=true" "rotationSpeed=3" "viewSize=1"
  start longrun
  # One scene turns once in about 9 s (1.6 degrees a 40 ms tick). Memory
  # swings by several megabytes with the images the cache holds and the one
  # being decoded, so each cycle is summed up by its floor and its peak,
  # sampled every two seconds; memory kept for good raises the floor.
  cycle=58
  cycle_levels() {
    local low=0 high=0 now end=$((SECONDS + cycle))
    while [ $SECONDS -lt $end ]; do
      now=$(probe memory || echo 0)
      if [ "$now" -gt 0 ]; then
        [ "$low" -eq 0 -o "$now" -lt "$low" ] && low=$now
        [ "$now" -gt "$high" ] && high=$now
      fi
      sleep 2
    done
    echo "$low $high"
  }
  # The first cycle fills the image cache and makes every sound file: the
  # level is what the second cycle comes down to, and the fourth comes back
  # to it.
  sleep "$cycle"
  read -r first peak2 < <(cycle_levels)
  shot longrun-1
  levels="$first/$peak2"
  for n in 3 4; do
    read -r low high < <(cycle_levels)
    levels="$levels $low/$high"
  done
  shot longrun-3
  echo "private bytes (floor/peak) of cycles 2 to 4: $levels"
  check "the floor of cycle 4 ($low) is within 1 MB of cycle 2's ($first)" \
    [ "$first" -gt 0 -a "$low" -le $((first + 1024 * 1024)) ]
  check "the tour still plays" changed longrun-1 longrun-3 $(view_box)
  probe close
  finish
  ;;
dialogs)
  viewHeight=360
  # Wine's browser and mailer are pointed at a recorder of what they are given.
  cat >"$work/record-open.sh" <<'SH'
#!/bin/sh
for target in "$@"; do printf '%s\n' "$target" >>"$(dirname "$0")/opened.txt"; done
SH
  chmod +x "$work/record-open.sh"
  : >"$work/opened.txt"
  for kind in Browsers Mailers; do
    run reg add 'HKCU\Software\Wine\WineBrowser' /v "$kind" /d "$work/record-open.sh" /f >/dev/null 2>&1
  done
  last_opened() { tail -n 1 "$work/opened.txt"; }
  opened_count() { wc -l <"$work/opened.txt"; }
  maker=$(probe maker-address)
  web='https://tours.example.net/harbour/index.html?from=player&scene=2'
  email='tours@example.org'
  info=$(python3 -c 'import json, sys; print(json.dumps({"text1": "Harbour Town: a walk along the water",
    "text2": "Twenty characters ok", "text3": "Twenty-one characters", "webAddress": sys.argv[1],
    "emailAddress": sys.argv[2], "text4": "A demo tour.", "picture": "author.jpg"}))' "$web" "$email")
  pack dialogs "info=$info"
  start dialogs
  focus_view
  dialog_up() { read -r dx dy dw dh dcx dcy < <(probe dialog); }
  centred() { [ "$dx" -eq $((wx + (ww - dw) / 2)) -a "$dy" -eq $((wy + (wh - dh) / 2)) ]; }
  # open_dialog HOW COMMAND MNEMONIC: from a posted command or the Help menu.
  open_dialog() {
    if [ "$1" = command ]; then probe command "$2"; else key alt+h "$3"; fi
    sleep 1.5
    { dialog_opens && dialog_up; } || true
  }
  centre_of() { read -r x y w h < <(probe control "$1"); echo "$((x + w / 2)) $((y + h / 2))"; }

  for how in command menu; do
    # The about box: the picture's size, centred; the link opens the maker's
    # address and leaves it open; a click beside the link closes it.
    open_dialog $how IDM_ABOUT p
    check "$how: the about box opens" dialog_opens
    gdi_shot "about-$how"
    check "$how: the about box is the picture's 280 x 200 ($dw x $dh)" [ "$dw" -eq 280 -a "$dh" -eq 200 ]
    check "$how: the about box is centred on the main window" centred
    if [ $how = command ]; then
      click_at $((dx + 140)) $((dy + 177))
      sleep 2
      check "the about link opens the maker's address ($(last_opened))" [ "$(last_opened)" = "$maker" ]
      check "the about box stays open after its link" dialog_open
    fi
    click_at $((dx + 20)) $((dy + 20))
    sleep 1
    check "$how: a click beside the link closes the about box" no_dialog

    # The picture dialog: the help card's size, centred; a click closes it.
    open_dialog $how IDM_HELP_CARD h
    check "$how: the picture dialog opens" dialog_opens
    gdi_shot "picture-$how"
    check "$how: the picture dialog is the card's 440 x 341 ($dw x $dh)" [ "$dw" -eq 440 -a "$dh" -eq 341 ]
    check "$how: the picture dialog is centred" centred
    click_at $((dx + 200)) $((dy + 150))
    sleep 1
    check "$how: a click closes the picture dialog" no_dialog

    # The information dialog keeps its own size, centred; Enter leaves it.
    open_dialog $how IDM_TOUR_INFO a
    check "$how: the information dialog opens" dialog_opens
    gdi_shot "info-$how"
    check "$how: the information dialog is centred" centred
    check "$how: the author's photo shows" [ "$(spread "$art/info-$how.png" $((dcx + 20 + 5)) $((dcy + 13 + 5)) 150 180)" -gt 30 ]
    key Return
    sleep 1
    check "$how: Enter leaves the information dialog open" dialog_open
    if [ $how = command ]; then
      read -r x y < <(centre_of IDC_INFO_TEXT2)
      xdotool mousemove "$x" "$y" sleep 0.3 mousemove $((x + 1)) "$y" sleep 0.5
      check "a text of 20 characters shows no label" [ -z "$(probe label || true)" ]
      read -r x y < <(centre_of IDC_INFO_TEXT3)
      xdotool mousemove "$x" "$y" sleep 0.3 mousemove $((x + 1)) "$y" sleep 0.5
      read -r lx ly lw lh ltext < <(probe label || echo "0 0 0 0 none")
      gdi_shot info-label
      check "a text of 21 characters shows a label 126 x 20 ($lw x $lh: $ltext)" \
        [ "$lw" -eq 126 -a "$lh" -eq 20 -a "$ltext" = "Twenty-one characters" ]
      # Light yellow over most of it (the rest is its text and border): the
      # label lies above the dialog, whole.
      yellow=$(convert "$art/info-label.png" -crop "${lw}x${lh}+$lx+$ly" +repage \
        -fill white -opaque "rgb(255,250,205)" -fill black +opaque white -format "%[fx:int(mean*100)]" info:)
      check "the label shows above the dialog ($yellow% light yellow)" [ "$yellow" -ge 50 ]
      read -r x y < <(centre_of IDC_INFO_WEB)
      opened_before=$(opened_count)
      click_at "$x" "$y"
      sleep 2
      check "the web link opens the web text unchanged ($(last_opened))" \
        [ "$(opened_count)" -eq $((opened_before + 1)) -a "$(last_opened)" = "$web" ]
      read -r x y < <(centre_of IDC_INFO_EMAIL)
      click_at "$x" "$y"
      sleep 2
      check "the e-mail link opens mailto: once ($(last_opened))" [ "$(last_opened)" = "mailto:$email" ]
      check "the information dialog stays open after its links" dialog_open
      click_at $((dcx + 100)) $((dcy + 100))
      sleep 1
      check "a click beside the links closes the information dialog" no_dialog
    else
      key Escape
      sleep 1
      check "Escape closes the information dialog" no_dialog
    fi
  done
  probe close
  finish

  # No information and no photo: the menu item is greyed (even with the
  # sixth text set), and neither the menu, its key I nor the command from
  # outside opens the dialog; F1 still opens the about box.
  pack noinfo 'info={"text4": "Only the sixth text"}'
  start noinfo
  focus_view
  key alt+h a
  sleep 1.5
  check "the greyed information item opens nothing" no_dialog
  key Escape Escape
  sleep 0.5
  focus_view
  key i
  sleep 1.5
  check "I opens nothing on a tour without information" no_dialog
  probe command IDM_TOUR_INFO
  sleep 1.5
  check "nor does the command" no_dialog
  key F1
  sleep 1.5
  check "F1 still opens the about box" dialog_opens
  key Escape
  sleep 1
  probe close
  finish

  # Information without a photo: the dialog paints none.
  pack nophoto 'info={"text1": "A tour without a photo"}'
  start nophoto
  probe command IDM_TOUR_INFO
  sleep 1.5
  dialog_up
  gdi_shot info-empty
  check "no photo is painted without one" [ "$(spread "$art/info-empty.png" $((dcx + 10)) $((dcy + 18)) 190 190)" -lt 3 ]
  key Escape
  sleep 1
  probe close
  finish
  ;;
input)
  # The mouse and the keyboard where the platform gets in between: the wheel,
  # a drag that a box interrupts, keys after a box.
  viewHeight=360
  pack input
  # Scene 2's picture damaged inside the tour: its decode fails and the
  # player asks whether to go on.
  relative=$(realpath --relative-to="$build" "$work")
  offset=$(cd "$build" && run bin/tourpack.exe inspect "$relative/input.exe" --json 2>/dev/null |
    python3 -c 'import json, sys; print(json.load(sys.stdin)["scenes"][1]["image"]["offset"])')
  printf '%0512d' 0 | dd of="$work/input.exe" bs=1 seek="$offset" conv=notrunc status=none
  start input
  focus_view
  view=$(view_box)

  # The wheel zooms by the zoom keys' steps: five notches forward are five
  # presses of A, five backward five presses of Z; in full screen too.
  key Home
  settle wheel-home $view
  key a a a a a
  settle wheel-keys-in $view
  key Home
  settle wheel-home-again $view
  xdotool click --repeat 5 --delay 100 4
  settle wheel-in $view
  check "the wheel forward zooms in" changed wheel-home-again wheel-in $view
  MAX_SAME=0 check "five notches forward are five presses of A" same wheel-keys-in wheel-in $view
  key Home z z z z z
  settle wheel-keys-out $view
  key Home
  xdotool click --repeat 5 --delay 100 5
  settle wheel-out $view
  check "the wheel backward zooms out" changed wheel-home-again wheel-out $view
  MAX_SAME=0 check "five notches backward are five presses of Z" same wheel-keys-out wheel-out $view
  key f
  sleep 2
  full="$((desktopWidth / 4)) $((desktopHeight / 4)) $((desktopWidth / 2)) $((desktopHeight / 2))"
  settle wheel-full $full
  xdotool click --repeat 5 --delay 100 4
  settle wheel-full-in $full
  check "in full screen the wheel zooms too" changed wheel-full wheel-full-in $full
  key Escape
  sleep 2
  read -r wx wy ww wh cx cy cw ch < <(probe rect)
  view=$(view_box)

  # A drag that F1 interrupts: the about box takes the mouse, the button is
  # released over it; once it is closed the view stands still, and the keys
  # turn it.
  focus_view
  midx=$((cx + cw / 2))
  midy=$((cy + 36 + viewHeight / 2))
  xdotool mousemove $midx $midy mousedown 1 sleep 0.2 mousemove $((midx + 150)) $midy sleep 0.6
  key F1
  sleep 1
  check "F1 opens the about box during a drag" dialog_opens
  xdotool mouseup 1
  sleep 0.5
  key Escape
  sleep 1
  check "Escape closes the about box" no_dialog
  shot drag-after-box
  sleep 1
  shot drag-still
  MAX_SAME=0 check "after the box the view stands still" same drag-after-box drag-still $view
  hold Left 0.6
  shot drag-keys
  check "and the keys turn it" changed drag-still drag-keys $view

  # Page Down to the damaged scene: the prompt, answered Yes, leaves the
  # scene without a picture; Page Down at once, with no click between, goes
  # on to scene 3.
  # status_becomes TEXT: up to 20 seconds for the status text to read TEXT.
  status_becomes() {
    local started=$SECONDS differing _
    while :; do
      read -r differing _ < <(probe status "$1")
      [ "${differing:-9999}" -le 3 ] && return 0
      [ $((SECONDS - started)) -lt 20 ] || return 1
      sleep 0.3
    done
  }
  key Next
  started=$SECONDS
  until probe box "Picture cannot be shown"; do
    [ $((SECONDS - started)) -lt 30 ] || { fail "the decode prompt did not show"; break; }
    sleep 0.5
  done
  check "the damaged scene is reached" status_becomes "Harbour Town(2-5)-Market square"
  key Next
  check "Page Down straight after the prompt shows scene 3" \
    status_becomes "Harbour Town(3-5)-Lighthouse Point"
  key q
  finish
  ;;
folder)
  # A folder as a 360-degree camera or a stitcher leaves it becomes a tour in
  # two commands of the native tourpack (the one that reads TIFF).
  viewHeight=360
  native=${LUMIVUE_NATIVE_TOURPACK:?}
  if [ ! -x "$native" ]; then
    echo "FAIL: no native tourpack at $native; build it first:" \
      "cmake --preset native -DLUMIVUE_TESTS=OFF && cmake --build --preset native --target tourpack" >&2
    exit 1
  fi
  convert=/usr/bin/convert
  photos=$work/harbour_walk
  mkdir -p "$photos"
  $convert -size 2000x1000 gradient:navy-gold -alpha set -channel A -fx "0.3+0.7*i/w" +channel "$photos/10-quay.png"
  $convert -size 2000x1000 gradient:green-yellow -depth 16 "$photos/2_market.png"
  $convert -size 2000x1000 gradient:maroon-white -depth 16 "$photos/3-lighthouse.tif"
  $convert -size 10000x5000 gradient:white-purple -quality 90 "$photos/4-great-hall.jpg"
  $convert -size 3000x1000 gradient:orange-teal -quality 90 "$photos/5-beach.jpg"
  $convert -size 200x240 gradient:gray-white -alpha set "$photos/author.png"
  sox -n -r 22050 -c 1 "$photos/10-quay.wav" synth 1 sine 440
  sox -n -r 22050 -c 1 "$photos/ambience.wav" synth 2 sine 220
  sox -n -r 22050 -c 1 "$work/market.wav" synth 1 sine 660
  lame --quiet "$work/market.wav" "$photos/2_market.mp3"

  "$native" new "$photos" | tee "$work/new.out"
  check "tourpack new writes the manifest" [ -f "$photos/tour.json" ]
  "$native" build "$photos/tour.json" -o "$work/folder.exe" --player "$build/bin/player.exe" \
    --lang-dir "$build/bin/lang" >"$work/build.out" 2>"$work/build.err" || fail "tourpack build"
  cat "$work/build.out" "$work/build.err"
  for notice in "2_market.png, a PNG picture of 2000 x 1000, stored as JPEG (quality 90)" \
    "3-lighthouse.tif, a TIFF picture of 2000 x 1000, stored as JPEG" \
    "4-great-hall.jpg, a JPEG picture of 10000 x 5000, reduced to 8192 x 4096 (Mitchell filter)" \
    "10-quay.png, a PNG picture of 2000 x 1000, stored as JPEG" "author.png, a PNG picture"; do
    check "build says: $notice" grep -qF "$notice" "$work/build.out"
  done
  check "build warns about the 3:1 picture" \
    grep -qF "5-beach.jpg: 3000 x 1000 is not twice as wide as high" "$work/build.err"
  check "tourpack inspect reports no problem" "$native" inspect "$work/folder.exe"
  "$native" extract "$work/folder.exe" -o "$work/extracted" >/dev/null
  inside=$(identify -format "%w x %h" "$work/extracted/scenes/03-image.jpg" 2>/dev/null || echo none)
  check "the large picture is 8192 wide inside the tour ($inside)" [ "$inside" = "8192 x 4096" ]
  check "scene 1 plays 2_market.mp3" cmp -s "$photos/2_market.mp3" "$work/extracted/scenes/01-sound.mp3"
  check "scene 5 plays 10-quay.wav" cmp -s "$photos/10-quay.wav" "$work/extracted/scenes/05-sound.wav"
  check "scenes 2 to 4 have no sound" [ -z "$(ls "$work/extracted/scenes" | grep -E '0[234]-sound')" ]
  tour_sound=$(python3 -c 'import json, os, sys; m = sys.argv[1]; print(os.path.join(os.path.dirname(m), json.load(open(m))["backgroundSound"]))' "$work/extracted/tour.json")
  check "the tour sound is ambience.wav" cmp -s "$photos/ambience.wav" "$tour_sound"
  # The Windows tourpack has no TIFF reader and says so.
  relative=$(realpath --relative-to="$build" "$work")
  if (cd "$build" && run bin/tourpack.exe build "$relative/harbour_walk/tour.json" \
    -o "$relative/windows.exe" --player bin/player.exe --lang-dir bin/lang) >/dev/null 2>"$work/windows.err"; then
    fail "tourpack.exe built a tour with a TIFF picture"
  fi
  check "tourpack.exe names the missing TIFF support ($(tr -d '\r' <"$work/windows.err"))" \
    grep -q "3-lighthouse.tif: is a TIFF picture, and this build of tourpack does not read TIFF" "$work/windows.err"
  check "tourpack.exe wrote no tour" [ ! -e "$work/windows.exe" ]

  # Every scene, in natural name order, stepping with Page Down (and back
  # round to the first): the status text names it.
  names=("2 Market" "3 Lighthouse" "4 Great hall" "5 Beach" "10 Quay" "2 Market")
  status_of() { echo "Harbour walk($(($1 % 5 + 1))-5)-${names[$1]}"; }
  # status_shows TEXT: the status text on the screen is TEXT, to a few pixels.
  status_shows() {
    local differing _
    read -r differing _ < <(probe status "$1")
    [ "${differing:-9999}" -le 3 ]
  }
  # wait_status TEXT: up to WAIT seconds (60: the 8192-wide picture takes the
  # player seconds to decode under Wine).
  wait_status() {
    local started=$SECONDS
    until status_shows "$1"; do
      [ $((SECONDS - started)) -lt "${WAIT:-60}" ] || return 1
      sleep 0.5
    done
    echo "($1 after $((SECONDS - started)) s)"
  }
  start folder
  focus_view
  for k in 0 1 2 3 4 5; do
    check "scene $((k % 5 + 1)) shows \"$(status_of $k)\"" wait_status "$(status_of $k)"
    settle "folder-$k" $(view_box)
    check "scene $((k % 5 + 1)): the view shows its panorama" [ "$(spread "$art/folder-$k.png" $(view_box))" -gt 10 ]
    if [ $k -lt 5 ]; then
      check "scene $((k % 5 + 1)): the status is not yet the next scene's" eval '! status_shows "$(status_of $((k + 1)))"'
      key Next
    fi
  done
  probe close
  finish
  ;;
highdpi)
  # The tour on a 192-dpi screen (this session's prefix), against the same
  # tour at 96 dpi (the e2e session's): the windowed player twice as large,
  # its view rendered at twice the size, the skin and the dialogs' pictures
  # enlarged pixel for pixel, and the toolbar answering at its enlarged places.
  viewHeight=360
  # The first scene is a BMP (decoded exactly as tourpack decodes it), seen
  # tilted, so that the view on screen can equal tourpack's render.
  scenes=$(python3 -c 'import json, sys
scenes = json.load(open(sys.argv[1]))["scenes"]
scenes[0].update(name="Grid", pan=30, tilt=10, fieldOfView=80, image="../calibration/images/grid-24bit.bmp")
print(json.dumps(scenes))' "$source/samples/demo/tour.json")
  own_session=${LUMIVUE_E2E_SESSION:-e2e}
  reference_session=${LUMIVUE_E2E_REFERENCE:-e2e}
  declare -A client about card region
  # dialog_size COMMAND: "width height" of the dialog the command opens.
  dialog_size() {
    probe command "$1"
    local dx dy dw dh _
    for _ in $(seq 20); do
      sleep 0.5
      read -r dx dy dw dh _ < <(probe dialog) && break
    done
    echo "$dw $dh"
    key Escape
    sleep 0.5
  }
  for session in "$reference_session" "$own_session"; do
    use_session "$session"
    scale=$([ "$session" = "$reference_session" ] && echo 1 || echo 2)
    pack hidpi "scenes=$scenes"
    pack hidpi-fs "scenes=$scenes" "fullScreenMode=1"
    start hidpi-fs
    region[$session]=$(probe region || echo none)
    probe close
    finish
    start hidpi
    client[$session]="$cw $ch"
    about[$session]=$(dialog_size IDM_ABOUT)
    card[$session]=$(dialog_size IDM_HELP_CARD)
    [ "$session" = "$reference_session" ] && { probe close; finish; }
  done
  echo "96 dpi: client ${client[$reference_session]}, about box ${about[$reference_session]}, picture dialog ${card[$reference_session]}, toolbar region ${region[$reference_session]}"
  echo "192 dpi: client ${client[$own_session]}, about box ${about[$own_session]}, picture dialog ${card[$own_session]}, toolbar region ${region[$own_session]}"
  read -r w1 h1 <<<"${client[$reference_session]}"
  check "the client area is twice as wide and high as at 96 dpi ($cw x $ch, $w1 x $h1)" \
    [ "$cw" -eq $((2 * w1)) -a "$ch" -eq $((2 * h1)) ]
  for dialog in about card; do
    eval "read -r w1 h1 <<<\"\${$dialog[$reference_session]}\"; read -r w2 h2 <<<\"\${$dialog[$own_session]}\""
    check "the $dialog dialog's picture is enlarged twice ($w2 x $h2, $w1 x $h1)" \
      [ "$w1" -gt 0 -a "$w2" -eq $((2 * w1)) -a "$h2" -eq $((2 * h1)) ]
  done
  read -r rw1 rh1 area1 <<<"${region[$reference_session]}"
  read -r rw2 rh2 area2 <<<"${region[$own_session]}"
  check "the full-screen toolbar's region is the outline enlarged twice ($rw2 x $rh2, $area2 pixels)" \
    [ "${area1:-0}" -gt 0 -a "$rw2" -eq $((2 * rw1)) -a "$rh2" -eq $((2 * rh1)) -a "$area2" -eq $((4 * area1)) ]

  # The view: 960 x 720, warped from the panorama at that size (tourpack's
  # render of the start view), not a 480 x 360 view enlarged.
  relative=$(realpath --relative-to="$build" "$work")
  (cd "$build" && run bin/tourpack.exe render "$relative/hidpi.exe" --scene 1 --size 960x720 \
    -o "$relative/render.bmp" >/dev/null) || fail "tourpack render of the start view"
  read -r vx vy vw vh <<<"$(view_box)"
  settle hidpi-start $vx $vy $vw $vh
  check "the view is 960 x 720 (${vw} x ${vh})" [ "$vw" -eq 960 -a "$vh" -eq 720 ]
  check "the view equals tourpack's render at 960 x 720, pixel for pixel" \
    [ "$(ae "$work/render.bmp" "$art/hidpi-start.png[$(geometry $vx $vy $vw $vh)]")" = 0 ]
  # The panel is the skin's toolbar picture with every pixel doubled.
  convert "$source/skin/24-toolbar.bmp" -crop 300x62+0+0 +repage -sample 200% "$work/toolbar.png"
  check "the toolbar is the skin's, enlarged pixel for pixel" \
    [ "$(ae "$work/toolbar.png" "$art/hidpi-start.png[600x124+$cx+$(toolbar_y)]")" -lt 120 ]

  # Every toolbar button, at its enlarged place: hover look and help text,
  # pressed look, and what it does.
  focus_view
  previous=hidpi-start
  shot "$previous"
  for i in 0 1 2 3 4 5 6 7 8 9 10; do
    [ $i = 7 ] && hold Right 0.8
    press_button $i "$previous" hidpi
    previous="hidpi-pressed-$i"
  done
  read -r fx fy fw fh _ < <(probe rect)
  check "button 10: full screen covers the desktop ($fw x $fh)" \
    [ "$fw" -eq $desktopWidth -a "$fh" -eq $desktopHeight ]
  key Escape
  sleep 1.5
  read -r _ _ _ _ bx by bw bh < <(probe rect)
  check "Escape gives the enlarged window back ($bw x $bh)" [ "$bw $bh" = "$cw $ch" ]

  # The about box's link answers at its enlarged place: (140, 177) of the
  # picture, twice, lies outside the link of the picture at its own size.
  cat >"$work/record-open.sh" <<'SH'
#!/bin/sh
for target in "$@"; do printf '%s\n' "$target" >>"$(dirname "$0")/opened.txt"; done
SH
  chmod +x "$work/record-open.sh"
  : >"$work/opened.txt"
  run reg add 'HKCU\Software\Wine\WineBrowser' /v Browsers /d "$work/record-open.sh" /f >/dev/null 2>&1 ||
    fail "Wine's browser could not be pointed at the recorder"
  # The box opens as soon as the player gets to it: a loaded machine takes seconds.
  probe command IDM_ABOUT
  dx=""
  for _ in $(seq 20); do
    sleep 0.5
    read -r dx dy _ < <(probe dialog) && break
  done
  if [ -z "$dx" ]; then
    fail "the about box did not open"
  else
    click_at $((dx + 2 * 140)) $((dy + 2 * 177))
    sleep 2
    maker=$(probe maker-address)
    check "the about link opens the maker's address at its enlarged place" \
      [ "$(tail -n 1 "$work/opened.txt")" = "$maker" ]
    key Escape
    sleep 0.5
  fi
  probe close
  finish
  ;;
esac

echo "screenshots: $art"
[ "$failures" -eq 0 ]
