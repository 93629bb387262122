#!/usr/bin/env bash
# Driving the view: the arrow and zoom keys, a drag, every toolbar button,
# the scene menu and the language module's accelerators.
source "$(dirname "${BASH_SOURCE[0]}")/../e2e_common.sh"

pack drive
start drive
shot 00-start
focus_view
shot 01-focused
view=$(view_box)
hold Left 1
check "the left arrow turns the view" shot_when changed 01-focused 02-left $view
hold Up 0.6
check "the up arrow tilts the view" shot_when changed 02-left 03-up $view
hold a 0.8
check "A zooms in" shot_when changed 03-up 04-zoom-in $view
hold Shift_L 0.5
check "Shift zooms in" shot_when changed 04-zoom-in 05-shift $view
hold Control_L 0.8
check "Ctrl zooms out" shot_when changed 05-shift 06-ctrl $view
hold z 0.8
check "Z zooms out" shot_when changed 06-ctrl 07-z $view
midx=$((cx + cw / 2))
midy=$((cy + 36 + viewHeight / 2))
# The button is held a second at 120 pixels from where it went down.
xdotool mousemove $midx $midy mousedown 1 sleep 0.2 mousemove $((midx + 120)) $midy sleep 1 mouseup 1
check "a drag turns the view" shot_when changed 07-z 08-drag $view

# Leaving the toolbar takes a hover look and its help text away.
read -r x y s _ <<<"$(button_box 6)"
shot 09-before-hover
hover $((x + s / 2)) $((y + s / 2))
check "hovering a button shows its look" shot_when changed 09-before-hover 09-hover "$x" "$y" "$s" "$s"
hover $midx $midy
MAX_SAME=0 check "leaving the toolbar takes the hover look away" \
  shot_when same 09-before-hover 09-left "$x" "$y" "$s" "$s"
MAX_SAME=0 check "and its help text" shot_when same 09-before-hover 09-left $(status_box)

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

# The scene menu: choose scene 3, the check follows. A click in the view
# stops the tour playing; the view is shot once it stands.
xdotool mousemove $midx $((cy + 36 + 20)) click 1
settle 20-before-menu $view
probe command scene:3
check "scene 3 from the scene menu changes the scene and the status text" \
  shot_when changed 20-before-menu 21-scene-3 $(status_box)
settle 21-scene-3 $view
scene_menu 22-scene-menu-3
probe command scene:5
check "scene 5 from the scene menu" wait_until 20 status_reads "Harbour Town(5-5)-Town hall gallery"
settle 22-scene-5 $view
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
settle 31-page-down $view
hold Right 0.6
key Home
settle 32-home $view
key Next
check "Page Down again" shot_when changed 32-home 33-next $(status_box)
key Prior
MAX_SAME=400 check "Home gave the start view: the same after Page Down, Page Up" shot_when same 32-home 33-back $view
key f
wait_until 10 in_full_screen || true
check "F enters full screen ($fx $fy $fw $fh)" [ "$fw" -eq $desktopWidth -a "$fh" -eq $desktopHeight ]
key Escape
wait_until 10 windowed || true
key q
finish
conclude
