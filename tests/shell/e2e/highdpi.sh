#!/usr/bin/env bash
# The tour on a 192-dpi screen (this session's prefix), against the same tour
# at 96 dpi (the session LUMIVUE_E2E_REFERENCE's, default e2e): the windowed
# player twice as large, its view rendered at twice the size, the skin and
# the dialogs' pictures enlarged pixel for pixel, and the toolbar answering
# at its enlarged places.
source "$(dirname "${BASH_SOURCE[0]}")/../e2e_common.sh"

# The first scene is a BMP (decoded exactly as tourpack decodes it), seen
# tilted, so that the view on screen can equal tourpack's render.
scenes=$(python3 -c 'import json, sys
scenes = json.load(open(sys.argv[1]))["scenes"]
scenes[0].update(pan=30, tilt=10, fieldOfView=80, image="../calibration/images/grid-24bit.bmp")
print(json.dumps(scenes))' "$source/samples/demo/tour.json")
own_session=${LUMIVUE_E2E_SESSION:-e2e}
reference_session=${LUMIVUE_E2E_REFERENCE:-e2e}
declare -A client about card region
# dialog_size COMMAND: "width height" of the dialog the command opens.
dialog_size() {
  local dx=0 dy=0 dw=0 dh=0 _
  probe command "$1"
  wait_until 10 dialog_open || true
  read -r dx dy dw dh _ < <(probe dialog) || true
  echo "$dw $dh"
  key Escape
  wait_until 10 no_dialog || true
}
toolbar_is() { [ "$(probe toolbar || true)" = "$1" ]; }
# toolbar_hidden_and_shown: the full-screen toolbar's "width height" on
# entering full screen and after hiding and showing it from the popup menu,
# into $toolbar_sizes.
toolbar_hidden_and_shown() {
  local entered
  entered=$(probe toolbar || echo none)
  probe command IDM_HIDE_TOOLBAR
  wait_until 10 toolbar_is "0 0" || fail "the full-screen toolbar did not hide"
  probe command IDM_SHOW_TOOLBAR
  wait_until 10 not toolbar_is "0 0" || fail "the full-screen toolbar did not show again"
  toolbar_sizes="$entered, $(probe toolbar || echo none)"
}
for session in "$reference_session" "$own_session"; do
  use_session "$session"
  scale=$([ "$session" = "$reference_session" ] && echo 1 || echo 2)
  pack hidpi "scenes=$scenes"
  pack hidpi-fs "scenes=$scenes" "fullScreenMode=1"
  start hidpi-fs
  region[$session]=$(probe region || echo none)
  if [ "$session" = "$own_session" ]; then toolbar_hidden_and_shown; fi
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
  declare -n sizes=$dialog
  read -r w1 h1 <<<"${sizes[$reference_session]}"
  read -r w2 h2 <<<"${sizes[$own_session]}"
  unset -n sizes
  check "the $dialog dialog's picture is enlarged twice ($w2 x $h2, $w1 x $h1)" \
    [ "$w1" -gt 0 -a "$w2" -eq $((2 * w1)) -a "$h2" -eq $((2 * h1)) ]
done
read -r rw1 rh1 area1 <<<"${region[$reference_session]}"
read -r rw2 rh2 area2 <<<"${region[$own_session]}"
check "the full-screen toolbar's region is the outline enlarged twice ($rw2 x $rh2, $area2 pixels)" \
  [ "${area1:-0}" -gt 0 -a "$rw2" -eq $((2 * rw1)) -a "$rh2" -eq $((2 * rh1)) -a "$area2" -eq $((4 * area1)) ]

check "the full-screen toolbar hidden and shown keeps the size it had on entering ($toolbar_sizes)" \
  [ "${toolbar_sizes%, *}" = "${toolbar_sizes#*, }" -a "${toolbar_sizes%, *}" != none ]

# The view: 960 x 720, warped from the panorama at that size (tourpack's
# render of the start view), not a 480 x 360 view enlarged.
tourpack render "$work/hidpi.exe" --scene 1 --size 960x720 -o "$work/render.bmp" >/dev/null ||
  fail "tourpack render of the start view"
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
wait_until 30 in_full_screen || true
check "button 10: full screen covers the desktop ($fw x $fh)" \
  [ "$fw" -eq $desktopWidth -a "$fh" -eq $desktopHeight ]
# The click went to the windowed toolbar, which full screen hides: Escape
# waits for the keys to reach the view again.
check "the view has the keys in full screen" wait_until 30 view_has_keys
key Escape
client_back() { read -r _ _ _ _ bx by bw bh < <(probe rect) && [ "$bw $bh" = "$cw $ch" ]; }
wait_until 30 client_back || true
check "Escape gives the enlarged window back ($bw x $bh)" [ "$bw $bh" = "$cw $ch" ]

# The about box's link answers at its enlarged place: (140, 177) of the
# picture, twice, lies outside the link of the picture at its own size.
record_opened
probe command IDM_ABOUT
if wait_until 10 dialog_open; then
  dialog_up
  click_at $((dx + 2 * 140)) $((dy + 2 * 177))
  wait_until 10 opened_more_than 0 || true
  check "the about link opens the maker's address at its enlarged place" \
    [ "$(last_opened)" = "$(probe maker-address)" ]
  key Escape
  wait_until 10 no_dialog || true
else
  fail "the about box did not open"
fi
probe close
finish
conclude
