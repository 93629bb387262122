#!/usr/bin/env bash
# Scene pictures whose JPEG headers read but whose coded data ends a few
# hundred bytes in: the player asks whether to go on when such a scene is
# shown (the first scene, by Page Down, by a link), never earlier while it is
# decoded ahead. Yes goes on without the picture, No ends the run with 1;
# either way nothing is left in the temporary folder.
source "$(dirname "${BASH_SOURCE[0]}")/../e2e_common.sh"

caption="Picture cannot be shown"
cut_scene() { run "$build/bin/tour_patch.exe" cut-scene "$work/$1.exe" "$2" || fail "scene $2 of $1 could not be cut"; }
boxes_shown() { [ -n "$(probe boxes)" ]; }
status_of() { echo "Harbour Town($1-5)-$2"; }
# yes_reaches WHAT N NAME: WHAT brings the prompt, and Yes goes on to scene N
# (NAME) without its picture.
yes_reaches() {
  check "$1 brings the prompt" wait_until 30 boxes_shown
  probe box "$caption"
  check "after Yes scene $2 is reached" wait_until 20 status_reads "$(status_of "$2" "$3")"
}

# The first scene: No ends the run with 1.
pack first
cut_scene first 1
before=$(temp_files)
WAIT=1 start first
check "the first scene's prompt shows" wait_until 30 boxes_shown
probe box "$caption" no
ended "$player" || fail "the player did not end after No"
check "No ends the run with 1 ($status)" [ "$status" = 1 ]
check "the run left nothing behind" [ "$(temp_files)" = "$before" ]

# The first scene again: Yes goes on without its picture, and the tour works.
WAIT=1 start first
yes_reaches "the first scene again" 1 "Old quay"
focus_view
key Next
check "and Page Down shows the second scene" wait_until 20 status_reads "$(status_of 2 "Market square")"
probe close
finish

# Page Down and a link to damaged scenes: the third scene is decoded ahead
# while the second shows, with no prompt until it is shown.
pack middle
cut_scene middle 3
cut_scene middle 5
start middle
focus_view
key Next
check "Page Down shows the second scene" wait_until 20 status_reads "$(status_of 2 "Market square")"
sleep 3 # as long as decoding the next scene ahead takes a loaded machine
check "no prompt comes while the next scene is decoded ahead" not boxes_shown
key Next
yes_reaches "Page Down to the damaged scene" 3 "Lighthouse Point"
focus_view
key Prior
check "Page Up goes back to the second scene" wait_until 20 status_reads "$(status_of 2 "Market square")"
# The market square's link leads into the town hall gallery, also damaged.
key Tab Return
yes_reaches "the link to the damaged scene" 5 "Town hall gallery"
probe close
finish
conclude
