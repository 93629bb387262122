#!/usr/bin/env bash
# Sound off and on (M), the volume keys while it is off, and the View menu's
# Sound submenu in both states. Runs inside tests/sound/with-sound-sink.sh:
# what the player plays is recorded in LUMIVUE_SOUND_SINK.
source "$(dirname "${BASH_SOURCE[0]}")/../e2e_common.sh"

# The View menu's Sound submenu, shot as Windows draws it.
sound_menu() {
  click_at $((wx + 110)) $((cy - 10))
  wait_until 10 menus_open 1 || true
  key Down Down Down Right
  wait_until 10 menus_open 2 || true
  gdi_shot "$1"
  key Escape Escape Escape
}
# Menu text greyed out is drawn in (128, 128, 128).
greyed() {
  convert "$art/$1.png" -alpha off -fill black +opaque "rgb(128,128,128)" \
    -fill white -opaque "rgb(128,128,128)" -format "%[fx:int(mean*w*h)]" info:
}

pack sound
start sound
wait_until 15 louder_than 100 || true
check "the tour is heard (level $loudness)" [ "$loudness" -gt 100 ]
focus_view
key m
wait_until 10 quieter_than 10 || true
# Silent, and it stays so: two seconds are listened to.
quiet=$(heard_for 2)
check "sound off silences the output (level $quiet)" [ "$quiet" -ge -1 -a "$quiet" -lt 10 ]
# Louder is greyed while the sound is off, and so is its key: eighty
# presses of + (each 1 dB up) would make the muted players heard. Three
# seconds from the last press are listened to: the presses are handled and
# what they would play reaches the sink within them.
xdotool key --delay 30 $(printf 'KP_Add %.0s' $(seq 80))
still=$(heard_for 3)
check "+ with the sound off leaves it silent (level $still)" [ "$still" -ge -1 -a "$still" -lt 10 ]
sound_menu sound-menu-off
focus_view
key m
wait_until 15 louder_than 100 || true
check "sound on brings it back (level $loudness)" [ "$loudness" -gt 100 ]
sound_menu sound-menu-on
# Louder and Quieter are greyed while the sound is off, not once it is back on.
off=$(greyed sound-menu-off)
on=$(greyed sound-menu-on)
check "sound off greys the volume items ($off greyed pixels, $on with the sound on)" [ "$off" -gt $((on + 60)) ]
focus_view
key q
finish
conclude
