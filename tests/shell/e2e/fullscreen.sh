#!/usr/bin/env bash
# Full screen and back, twice (the toolbar button, then the command): the
# window's place, the shaped toolbar that the popup menu shows and hides, the
# scene menu rebuilt on return; then the tours that start in full screen.
source "$(dirname "${BASH_SOURCE[0]}")/../e2e_common.sh"

# toolbar_shown PNG, toolbar_absent PNG: whether the shaped toolbar is at the
# bottom left. The main window keeps a one-pixel border in full screen; the
# full-screen button shows pressed (some 700 pixels differ).
toolbar_differs() {
  ae "$source/skin/25-full-screen-toolbar.bmp[300x40+0+16]" "$1[300x40+1+$((desktopHeight - 72 + 16 + 1))]"
}
toolbar_shown() { [ "$(toolbar_differs "$1")" -lt 1500 ]; }
toolbar_absent() { [ "$(toolbar_differs "$1")" -gt 4000 ]; }
# Under the toolbar's cut-away top-left corner the panorama shows, not black.
corner_open() {
  local corner
  corner=$(convert "$1[4x4+1+$((desktopHeight - 72 + 1))]" -format "%[fx:mean*1000]" info: | cut -d. -f1)
  [ "$corner" -gt 40 ]
}
desktop="0 0 $desktopWidth $desktopHeight"
# popup_first_item SHOT: the popup menu, shot open; its first item chosen.
popup_first_item() {
  xdotool mousemove 640 400 click 3
  wait_until 10 menus_open 1 || true
  shot "$1"
  key Down Return
}
rect_is() { [ "$(probe rect | cut -d' ' -f1-4)" = "$1" ]; }

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
  wait_until 10 in_full_screen || true
  settle "fs-$round" $desktop
  read -r fx fy fw fh _ < <(probe rect)
  check "round $round: full screen covers the desktop ($fx $fy $fw $fh)" \
    [ "$fx" -eq 0 -a "$fy" -eq 0 -a "$fw" -eq $desktopWidth -a "$fh" -eq $desktopHeight ]
  if [ $round = 1 ]; then
    # The tour starts with the full-screen toolbar off: the popup menu
    # offers to show it, and then to hide it.
    check "round 1: no toolbar (the tour has it off)" toolbar_absent "$art/fs-1.png"
    popup_first_item fs-popup-show
    check "the popup menu shows the toolbar" wait_until 10 shows fs-shown toolbar_shown
    check "the panorama shows under the toolbar's cut-away corner" wait_until 10 shows fs-shown corner_open
    popup_first_item fs-popup-hide
    check "the popup menu hides the toolbar" wait_until 10 shows fs-hidden toolbar_absent
    popup_first_item fs-popup-show-again
    check "and shows it again" wait_until 10 shows fs-shown-again toolbar_shown
  else
    check "round 2: the toolbar shows" toolbar_shown "$art/fs-2.png"
    check "round 2: the panorama shows under the cut-away corner" corner_open "$art/fs-2.png"
  fi
  xdotool mousemove 640 300 click 1
  key Escape
  wait_until 10 rect_is "$original" || true
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
wait_until 10 menus_open 1 || true
shot menu-tour
key Up Return
finish

for mode in 1 2; do
  pack "start$mode" "fullScreenMode=$mode"
  start "start$mode"
  settle "start-mode-$mode" $desktop
  check "fullScreenMode $mode starts full screen" [ "$ww" -eq $desktopWidth -a "$wh" -eq $desktopHeight ]
  if [ $mode = 1 ]; then
    check "fullScreenMode 1 shows the toolbar" toolbar_shown "$art/start-mode-$mode.png"
  else
    check "fullScreenMode 2 hides the toolbar" toolbar_absent "$art/start-mode-$mode.png"
  fi
  probe close
  finish
done
conclude
