#!/usr/bin/env bash
# Draws the calibration panorama with ImageMagick and writes it in the five
# picture formats the player decodes:
#   make_calibration.sh
# The picture is an equidistant cylindrical grid, 1024 x 512 (2.84 pixels per
# degree): thin lines every 10 degrees, labels every 30, and coloured lines
# where authors look: pan 0 red, pan +90 green, pan -90 blue, pan +-180
# magenta (the left and right edges), the horizon (tilt 0) yellow. Labels use
# the player's start-view angles: pan grows to the right, and a positive tilt
# looks down, so the row 30 degrees above the horizon is "tilt -30".
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
cd "$here"
convert=/usr/bin/convert
W=1024
H=512
font=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf

x_of() { echo $(( (W / 2) + ($1 * W / 360) )); }
y_of() { echo $(( (H / 2) + ($1 * H / 180) )); }  # tilt: positive is below

draw=()
for lon in $(seq -170 10 170); do
  x=$(x_of "$lon")
  colour='#3a4660'
  [ $((lon % 30)) -eq 0 ] && colour='#6c7a99'
  draw+=(-stroke "$colour" -strokewidth 1 -draw "line $x,0 $x,$((H - 1))")
done
for tilt in $(seq -80 10 80); do
  y=$(y_of "$tilt")
  colour='#3a4660'
  [ $((tilt % 30)) -eq 0 ] && colour='#6c7a99'
  draw+=(-stroke "$colour" -strokewidth 1 -draw "line 0,$y $((W - 1)),$y")
done
# the lines authors look for
draw+=(-stroke '#ffd400' -strokewidth 3 -draw "line 0,$(y_of 0) $((W - 1)),$(y_of 0)")
draw+=(-stroke '#ff2a2a' -strokewidth 3 -draw "line $(x_of 0),0 $(x_of 0),$((H - 1))")
draw+=(-stroke '#20d040' -strokewidth 3 -draw "line $(x_of 90),0 $(x_of 90),$((H - 1))")
draw+=(-stroke '#3070ff' -strokewidth 3 -draw "line $(x_of -90),0 $(x_of -90),$((H - 1))")
draw+=(-stroke '#ff30ff' -strokewidth 2 -draw "line 0,0 0,$((H - 1))")
draw+=(-stroke '#ff30ff' -strokewidth 2 -draw "line $((W - 1)),0 $((W - 1)),$((H - 1))")

labels=(-stroke none -font "$font" -pointsize 13)
for lon in $(seq -150 30 150); do
  x=$(( $(x_of "$lon") + 3 ))
  for y in $(( $(y_of -45) + 4 )) $(( $(y_of 0) + 17 )) $(( $(y_of 45) + 4 )); do
    labels+=(-fill '#e8eef8' -draw "text $x,$y 'pan $lon'")
  done
done
labels+=(-fill '#ff30ff' -draw "text 5,$(( $(y_of 0) + 17 )) 'pan 180'")
for tilt in -60 -30 30 60; do
  for lon in -90 0 90; do
    labels+=(-fill '#ffd400' -draw "text $(( $(x_of "$lon") + 4 )),$(( $(y_of "$tilt") - 4 )) 'tilt $tilt'")
  done
done
labels+=(-fill '#ffd400' -pointsize 16 -draw "text $(( $(x_of 0) + 6 )),$(( $(y_of 0) - 6 )) 'horizon'")
labels+=(-fill '#ffd400' -pointsize 16 -draw "text $(( $(x_of 0) - 30 )),22 'up: tilt -90'")
labels+=(-fill '#ffd400' -pointsize 16 -draw "text $(( $(x_of 0) - 42 )),$(( H - 10 )) 'down: tilt +90'")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
$convert -size ${W}x${H} gradient:'#1a2236'-'#101522' "${draw[@]}" "${labels[@]}" "$work/grid.png"

mkdir -p images
$convert "$work/grid.png" -strip -interlace none -quality 85 images/grid-baseline.jpg
$convert "$work/grid.png" -strip -interlace Plane -quality 85 images/grid-progressive.jpg
$convert "$work/grid.png" -strip +dither -colors 64 images/grid.gif
$convert "$work/grid.png" -strip -type TrueColor BMP3:images/grid-24bit.bmp
$convert "$work/grid.png" -strip +dither -colors 200 -type Palette -compress None BMP3:images/grid-8bit.bmp
