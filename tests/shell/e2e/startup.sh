#!/usr/bin/env bash
# The windowed player at each view size: its window's size and place, the
# first scene in its view, the skin's toolbar below and the status text.
source "$(dirname "${BASH_SOURCE[0]}")/../e2e_common.sh"

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
conclude
