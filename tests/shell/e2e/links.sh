#!/usr/bin/env bash
# Links in the panorama: the sample tour's first scene (a BMP, decoded as
# tourpack decodes it, so that the view can equal tourpack's render) turned
# so that its link
# (pan 85, tilt 4, to Lighthouse Point at pan 0, tilt -4, field of view 70)
# lies off the centre. The marker sits where the projection puts it (the view
# against tourpack's render of the same view: what differs is the marker),
# at the start view and tilted and zoomed; the pointer over it is the hand; a
# click follows it, at the link's view; a click away and a drag that starts
# on it follow nothing; Tab and Enter follow the highlighted link. At 192 dpi
# (this session's hidpi) the marker is twice the size and hits across it.
source "$(dirname "${BASH_SOURCE[0]}")/../e2e_common.sh"

scenes=$(python3 -c 'import json, sys
scenes = json.load(open(sys.argv[1]))["scenes"]
scenes[0].update(pan=75, tilt=0, fieldOfView=100, image="../calibration/images/grid-24bit.bmp")
print(json.dumps(scenes))' "$source/samples/demo/tour.json")
status_of() { echo "Harbour Town($1-5)-$2"; }

# marker_centre SHOT RENDER: "x y" of the centre of what differs between the
# view in SHOT and tourpack's RENDER of the same view: the marker.
marker_centre() {
  local box
  box=$(convert "$art/$1.png[$(geometry $(view_box))]" +repage "$2" -compose difference \
    -composite -colorspace gray -threshold "${MARKER_THRESHOLD:-0}" -format "%@" info:)
  python3 -c 'import re, sys
w, h, x, y = (int(v) for v in re.match(r"(\d+)x(\d+)\+(\d+)\+(\d+)", sys.argv[1]).groups())
print(f"{x + (w - 1) / 2:.2f} {y + (h - 1) / 2:.2f} {w}")' "$box"
}
# shows_view SHOT SCENE PAN TILT FOV SIZE: the view in SHOT is tourpack's
# render of that view of SCENE and not of its start view. Scene pictures
# other than the first are JPEG, which the player's decoder and tourpack's
# decode a few levels apart: pixels count as differing beyond 10 %.
shows_view() {
  local shot=$1 scene=$2 size=$6 near far
  tourpack render "$work/links.exe" --scene "$scene" --pan "$3" --tilt "$4" --fov "$5" \
    --size "$size" -o "$work/view.bmp" >/dev/null || return 1
  tourpack render "$work/links.exe" --scene "$scene" --size "$size" -o "$work/own.bmp" \
    >/dev/null || return 1
  near=$(compare -metric AE -fuzz 10% "$work/view.bmp" "$art/$shot.png[$(geometry $(view_box))]" null: 2>&1 | cut -d' ' -f1)
  far=$(compare -metric AE -fuzz 10% "$work/own.bmp" "$art/$shot.png[$(geometry $(view_box))]" null: 2>&1 | cut -d' ' -f1)
  echo "($shot: $near pixels differ from the view asked for, $far from the scene's start view)"
  [ "${near%.*}" -lt $((${size%x*} * ${size#*x} / 100)) ] && [ "${far%.*}" -gt $((${size%x*} * ${size#*x} / 5)) ]
}
# The view as the player shows it at PAN TILT FOV, size W x H: NAME.bmp
# without the markers, NAME-links.bmp with them.
render() {
  tourpack render "$work/links.exe" --scene 1 --pan "$1" --tilt "$2" --fov "$3" \
    --size "$4" -o "$work/$5.bmp" >/dev/null || fail "tourpack render $5"
  tourpack render "$work/links.exe" --scene 1 --pan "$1" --tilt "$2" --fov "$3" \
    --size "$4" --links -o "$work/$5-links.bmp" >/dev/null 2>&1 || fail "tourpack render --links $5"
}
# as_rendered SHOT NAME: the view in SHOT is tourpack's render --links NAME,
# marker and all, pixel for pixel.
as_rendered() {
  [ "$(compare -metric AE -fuzz "${LEVELS_APART:-0}" "$work/$2-links.bmp" \
    "$art/$1.png[$(geometry $(view_box))]" null: 2>&1 | cut -d' ' -f1)" = 0 ]
}

# ---- 96 dpi ------------------------------------------------------------------
use_session "${LUMIVUE_E2E_SESSION:-e2e}"
pack links "scenes=$scenes"
start links
read -r vx vy vw vh <<<"$(view_box)"
focus_view
render 75 0 100 480x360 start
settle links-start $vx $vy $vw $vh
at=$(projected 480 360 75 0 100 85 4)
seen=$(marker_centre links-start "$work/start.bmp")
echo "start view: marker projected at $at, drawn centred at $seen"
check "the marker lies within a pixel of the projection ($seen, $at)" near "$seen" "$at"
read -r _ _ width96 <<<"$seen"
check "the view is tourpack's render --links of it, pixel for pixel" as_rendered links-start start

# Tilted down 3 and zoomed in 5 (each key a degree, each a rebuild).
key Down Down Down a a a a a
render 75 3 95 480x360 tilted
check "the view tilts and zooms" shot_when changed links-start links-moving $vx $vy $vw $vh
settle links-tilted $vx $vy $vw $vh
at=$(projected 480 360 75 3 95 85 4)
# Five zoom steps of a degree leave the field of view a float's last place
# from 95 degrees, which render is given: a few smoothly sampled pixels come
# out a level apart.
seen=$(MARKER_THRESHOLD=1% marker_centre links-tilted "$work/tilted.bmp")
check "tilted and zoomed, the marker still lies on the projection ($seen, $at)" near "$seen" "$at"
LEVELS_APART=1% check "and the view is tourpack's render --links of it, to a level" \
  as_rendered links-tilted tilted
read -r mx my _ <<<"$seen"
mx=$((vx + ${mx%.*})) my=$((vy + ${my%.*}))

# The hand over the marker, the arrow beside it.
cursor_other_than() { [ "$(probe cursor | cut -d' ' -f1)" != "$1" ]; }
hover $((mx - 60)) $my
read -r away _ < <(probe cursor)
hover "$mx" "$my"
wait_until 5 cursor_other_than "$away" || true
read -r over hx hy < <(probe cursor)
check "the pointer over the marker is another cursor ($over, $away)" [ "$over" != "$away" ]
[ "$hx" = -1 ] || check "and it is the hand (hot spot $hx $hy)" [ "$hx $hy" = "11 2" ]
check "the label shows beside the marker" \
  shot_when changed links-tilted links-hover $((mx + 14)) $((my - 6)) 60 12

# A click away from the marker and a drag that starts on it follow nothing.
click_at $((mx - 60)) "$my"
xdotool mousemove "$mx" "$my" mousedown 1 sleep 0.2 mousemove $((mx + 12)) "$my" sleep 0.2 \
  mousemove $((mx + 40)) "$my" sleep 0.3 mouseup 1
# A followed link shows its scene within a second or two: waited out.
sleep 2 # a followed link would have shown its scene by now
check "neither the click away nor the drag went anywhere" status_reads "$(status_of 1 "Old quay")"

# A click on it: Lighthouse Point at the link's view (pan 0, tilt -4, 70).
# The drag turned the view: back at the start view (all but the marker as
# rendered), the marker is found again first.
back_at_start() {
  settle links-home $vx $vy $vw $vh
  [ "$(ae "$work/start.bmp" "$art/links-home.png[$(geometry $vx $vy $vw $vh)]")" -lt 1000 ]
}
xdotool mousemove $((vx + 10)) $((vy + 10))
key Home
check "Home brings the start view back" wait_until 10 back_at_start
read -r mx my _ <<<"$(marker_centre links-home "$work/start.bmp")"
click_at $((vx + ${mx%.*})) $((vy + ${my%.*}))
check "a click on the marker goes to Lighthouse Point" \
  wait_until 20 status_reads "$(status_of 3 "Lighthouse Point")"
settle links-followed $vx $vy $vw $vh
check "it shows the link's view (pan 0, tilt -4, field of view 70)" \
  shows_view links-followed 3 0 -4 70 480x360

# Tab and Enter: the market square's link into the town hall gallery.
key Prior
check "Page Up goes to the market square" wait_until 20 status_reads "$(status_of 2 "Market square")"
key Tab Return
check "Tab and Enter follow its link into the town hall gallery" \
  wait_until 20 status_reads "$(status_of 5 "Town hall gallery")"
probe close
finish

# ---- 192 dpi: twice the size, hit across it -----------------------------------
use_session hidpi
scale=2
pack links "scenes=$scenes"
start links
read -r vx vy vw vh <<<"$(view_box)"
render 75 0 100 960x720 start2
settle links-192 $vx $vy $vw $vh
at=$(projected 960 720 75 0 100 85 4)
seen=$(marker_centre links-192 "$work/start2.bmp")
read -r mx my width192 <<<"$seen"
check "at 192 dpi the marker lies on the projection ($seen, $at)" near "$seen" "$at"
check "and is twice as wide ($width192, $width96 at 96 dpi)" [ "$width192" -eq $((2 * width96)) ]
# 18 pixels right of the centre: outside a marker of the 96-dpi size.
click_at $((vx + ${mx%.*} + 18)) $((vy + ${my%.*}))
check "a click on its enlarged edge goes to another scene" \
  shot_when changed links-192 links-192-followed $vx $vy $((vw / 2)) $vh  # left of the marker
settle links-192-followed $vx $vy $vw $vh
check "Lighthouse Point, at the link's view" shows_view links-192-followed 3 0 -4 70 960x720
probe close
finish
conclude
