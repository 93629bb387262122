#!/usr/bin/env bash
# The mouse and the keyboard where the platform gets in between: the wheel,
# a drag that a box interrupts, keys after a box, and Page Down past a scene
# whose picture cannot be decoded.
source "$(dirname "${BASH_SOURCE[0]}")/../e2e_common.sh"

pack input
# Scene 2's picture damaged inside the tour: its decode fails and the
# player asks whether to go on.
offset=$(tourpack inspect "$work/input.exe" --json 2>/dev/null |
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
wait_until 10 in_full_screen || true
full="$((desktopWidth / 4)) $((desktopHeight / 4)) $((desktopWidth / 2)) $((desktopHeight / 2))"
settle wheel-full $full
xdotool click --repeat 5 --delay 100 4
settle wheel-full-in $full
check "in full screen the wheel zooms too" changed wheel-full wheel-full-in $full
key Escape
wait_until 10 windowed || true
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
check "F1 opens the about box during a drag" wait_until 10 dialog_open
xdotool mouseup 1
sleep 0.5 # the release goes to the box before Escape does
key Escape
check "Escape closes the about box" wait_until 10 no_dialog
settle drag-after-box $view
# A drag still held would turn the view within a second.
sleep 1 # a drag still held would have turned the view by now
shot drag-still
MAX_SAME=0 check "after the box the view stands still" same drag-after-box drag-still $view
hold Left 0.6
check "and the keys turn it" shot_when changed drag-still drag-keys $view

# Page Down to the damaged scene: the prompt, answered Yes, leaves the
# scene without a picture; Page Down at once, with no click between, goes
# on to scene 3.
key Next
wait_until 30 probe box "Picture cannot be shown" || fail "the decode prompt did not show"
check "the damaged scene is reached" wait_until 20 status_reads "Harbour Town(2-5)-Market square"
key Next
check "Page Down straight after the prompt shows scene 3" \
  wait_until 20 status_reads "Harbour Town(3-5)-Lighthouse Point"
key q
finish
conclude
