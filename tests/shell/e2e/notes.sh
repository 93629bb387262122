#!/usr/bin/env bash
# Notes in the panorama: the sample tour's first scene (the calibration grid,
# a BMP, so that the view equals tourpack's render of it) with a note at pan
# 60, tilt 4 left of its link (pan 85, tilt 4, to Lighthouse Point), seen
# from pan 75, field of view 100. The note's marker lies within a pixel of
# the projection of its direction; Tab reaches the note first (it lies
# further left) and Enter opens its card; Esc closes the card and the view
# has the keys again: the next Tab reaches the link, and Enter follows it. A
# click on the marker opens the card with the note's title, its text in two
# paragraphs, its picture and its link; a click outside the card closes it.
# A player asked to close while a card is open ends with exit code 0.
source "$(dirname "${BASH_SOURCE[0]}")/../e2e_common.sh"

title="The grid's own note"
text='First paragraph, one line.\n\nSecond paragraph: the picture above is the old quay.'
address="https://example.org/notes/grid"
scenes=$(python3 - "$source/samples/demo/tour.json" "$title" "$text" "$address" <<'PY'
import json, sys
scenes = json.load(open(sys.argv[1]))["scenes"]
note = {"pan": 60, "tilt": 4, "title": sys.argv[2], "text": sys.argv[3].replace("\\n", "\n"),
        "picture": "images/harbour.jpg", "link": sys.argv[4]}
scenes[0].update(pan=75, tilt=0, fieldOfView=100, image="../calibration/images/grid-24bit.bmp",
                 notes=[note])
print(json.dumps(scenes))
PY
)
status_of() { echo "Harbour Town($1-5)-$2"; }

# marker_near SHOT RENDER X Y: "x y w" of the centre and width of what differs,
# within 24 pixels of view pixel (X, Y), between the view in SHOT and
# tourpack's RENDER of the same view without markers: the note's marker (the
# link's lies farther off).
marker_near() {
  local x=${3%.*} y=${4%.*} box
  box=$(convert "$art/$1.png[$(geometry $(view_box))]" +repage "$2" -compose difference \
    -composite -crop "48x48+$((x - 24))+$((y - 24))" -colorspace gray -threshold 0 \
    -format "%@" info:)
  python3 -c 'import re, sys
w, h, x, y = (int(v) for v in re.match(r"(\d+)x(\d+)\+(\d+)\+(\d+)", sys.argv[1]).groups())
ox, oy = int(sys.argv[2]) - 24, int(sys.argv[3]) - 24
print(f"{ox + x + (w - 1) / 2:.2f} {oy + y + (h - 1) / 2:.2f} {w}")' "$box" "$x" "$y"
}

# The card, as the probe reads it: card_open, no_card; card_field NAME gives
# the rest of the line NAME of `probe note`.
card_open() { probe note >/dev/null; }
no_card() { ! card_open; }
card_field() { probe note | sed -n "s/^$1 //p"; }
focus_is_view() { [ "$(probe focus)" = OrbiViewer ]; }
# within INNER OUTER: rectangle INNER ("x y w h") lies inside OUTER.
within() {
  python3 -c 'import sys
a, b = ([int(v) for v in p.split()] for p in sys.argv[1:3])
sys.exit(0 if a[2] > 0 and a[3] > 0 and a[0] >= b[0] and a[1] >= b[1] and
         a[0] + a[2] <= b[0] + b[2] and a[1] + a[3] <= b[1] + b[3] else 1)' "$1" "$2"
}

pack notes "scenes=$scenes"
start notes
read -r vx vy vw vh <<<"$(view_box)"
focus_view
tourpack render "$work/notes.exe" --scene 1 --pan 75 --tilt 0 --fov 100 --size 480x360 \
  -o "$work/plain.bmp" >/dev/null || fail "tourpack render"
settle notes-start $vx $vy $vw $vh

# ---- The marker on the projection ---------------------------------------------
at=$(projected 480 360 75 0 100 60 4)
seen=$(marker_near notes-start "$work/plain.bmp" $at)
echo "the note's marker: projected at $at, drawn centred at $seen"
check "the note's marker lies within a pixel of the projection ($seen, $at)" near "$seen" "$at"
read -r mx my _ <<<"$seen"
mx=$((vx + ${mx%.*})) my=$((vy + ${my%.*}))

# ---- Tab and Enter, Esc ---------------------------------------------------------
key Tab Return
check "Tab and Enter open the note's card (the note lies left of the link)" wait_until 10 card_open
check "the card shows the note's title" [ "$(card_field title)" = "$title" ]
key Escape
check "Esc closes the card" wait_until 10 no_card
check "and the view has the keyboard again" wait_until 5 focus_is_view
check "the scene is still the grid's" status_reads "$(status_of 1 "Old quay")"

# ---- A click on the marker: the whole card ---------------------------------------
click_at "$mx" "$my"
check "a click on the marker opens the card" wait_until 10 card_open
probe note | sed 's/^/  card: /'
check "its title" [ "$(card_field title)" = "$title" ]
check "its text, the paragraphs kept" [ "$(card_field text)" = "$text" ]
check "its link, with the module's label" \
  [ "$(card_field link) / $(card_field link-label)" = "$address / Web page:" ]
check "its close button, with the module's text" [ "$(card_field close)" = Close ]
read -r rect <<<"$(card_field rect)"
read -r picture <<<"$(card_field picture)"
check "its picture lies inside the card ($picture in $rect)" within "$picture" "$rect"
check "the card lies inside the main window ($rect in $wx $wy $ww $wh)" within "$rect" "$wx $wy $ww $wh"
gdi_shot notes-card
check "the picture shows (not one flat colour)" [ "$(spread "$art/notes-card.png" $picture)" -gt 30 ]

# A click outside the card (the view's left edge, beside it) closes it.
read -r kx ky kw kh <<<"$rect"
if [ "$kx" -gt $((vx + 4)) ]; then
  click_at $((vx + 2)) $((vy + vh / 2))
  check "a click outside closes the card" wait_until 10 no_card
else
  key Escape
  check "(the card covers the view's width) Esc closes it" wait_until 10 no_card
fi
check "and the view has the keyboard again" wait_until 5 focus_is_view

# ---- Tab order: the note, then the link ------------------------------------------
# The note keeps the highlight the first Tab gave it through its cards.
key Tab Return
check "the next Tab reaches the link, which Enter follows" \
  wait_until 20 status_reads "$(status_of 3 "Lighthouse Point")"
check "and no card opened" no_card

# Lighthouse Point's own note lies in the link's view: its card is open when
# the player is asked to close, which ends it as cleanly as ever.
key Tab Return
check "Lighthouse Point's note opens with Tab and Enter" wait_until 10 card_open
check "its card shows its title" [ "$(card_field title)" = "The lighthouse" ]
probe close
finish
conclude
