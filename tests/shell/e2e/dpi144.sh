#!/usr/bin/env bash
# The information dialog on a 144-dpi screen, where its template grows by 1.5
# while the player and its skin grow by the whole factor 2: the author's
# photo lies inside the dialog and left of its texts, and a click on the top
# row of each link opens that link only. Runs in the 192-dpi session with
# the DPI set to 144 for this case's player, and set back when it ends.
source "$(dirname "${BASH_SOURCE[0]}")/../e2e_common.sh"

set_dpi() {
  run reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
}
trap 'set_dpi 192 || true; cleanup' EXIT
set_dpi 144 || fail "the DPI could not be set"
scale=2

record_opened
web='https://tours.example.net/harbour/'
email='tours@example.org'
info=$(python3 -c 'import json, sys; print(json.dumps({"text1": "Harbour Town", "text2": "A walk",
  "text3": "By the water", "webAddress": sys.argv[1], "emailAddress": sys.argv[2],
  "text4": "A demo tour.", "picture": "author.jpg"}))' "$web" "$email")
pack info144 "info=$info"
start info144
probe command IDM_TOUR_INFO
wait_until 10 dialog_open && dialog_up || true
check "the information dialog opens" dialog_open
gdi_shot info
declare -A control
for name in IDC_INFO_TEXT1 IDC_INFO_TEXT2 IDC_INFO_TEXT3 IDC_INFO_WEB IDC_INFO_EMAIL IDC_INFO_TEXT4; do
  control[$name]=$(probe control $name)
done
read -r textx _ <<<"${control[IDC_INFO_TEXT1]}"
# The photo's box: the pixels of the dialog's client area, outside the rows
# of its controls and icons, that are not the dialog's grey; a photo that ran
# under the texts would show between their rows.
read -r left top right bottom < <(python3 - "$art/info.png" "$dcx" "$dcy" \
  $((dx + dw - (dcx - dx))) $((dy + dh - (dcx - dx))) "$textx" "${control[@]}" <<'PY'
import subprocess, sys
shot, x0, y0, x1, y1, textx, *boxes = sys.argv[1:]
x0, y0, x1, y1, textx = map(int, (x0, y0, x1, y1, textx))
ppm = subprocess.run(["convert", shot, "-crop", f"{x1 - x0}x{y1 - y0}+{x0}+{y0}", "+repage",
                      "ppm:-"], capture_output=True, check=True).stdout
header = ppm.split(b"\n", 3)
width, height = map(int, header[1].split())
pixels = header[3]
covered = []
for box in boxes:
    x, y, w, h = map(int, box.split())
    # A link's row starts at the text column, where its icon stands, a few
    # pixels taller than the text.
    covered.append((min(x, textx) - x0, y - 8 - y0, x + w - x0, y + h + 8 - y0))
found = [width, height, -1, -1]
for y in range(height):
    for x in range(width):
        if any(l <= x < r and t <= y < b for l, t, r, b in covered):
            continue
        red, green, blue = pixels[3 * (y * width + x):3 * (y * width + x) + 3]
        if abs(red - 198) + abs(green - 195) + abs(blue - 198) > 40:
            found = [min(found[0], x), min(found[1], y), max(found[2], x + 1), max(found[3], y + 1)]
print(found[0] + x0, found[1] + y0, found[2] + x0, found[3] + y0)
PY
)
echo "dialog ${dw}x${dh} at $dx,$dy (client from $dcx,$dcy); texts from x $textx; photo $left,$top-$right,$bottom"
check "the photo shows ($left,$top to $right,$bottom)" [ "$right" -gt $((left + 100)) ]
# Whole: a photo cut by the client area's edge would reach that edge.
check "the photo lies inside the dialog, clear of its edges" \
  [ "$left" -gt "$dcx" -a "$top" -gt "$dcy" -a "$right" -lt $((dx + dw - (dcx - dx))) \
    -a "$bottom" -lt $((dy + dh - (dcx - dx))) ]
read -r photow photoh < <(identify -format '%w %h\n' "$source/samples/demo/author.jpg")
check "the photo is 1.5 times its ${photow} x ${photoh}, as the template ($((right - left)) x $((bottom - top)))" \
  [ $((right - left - photow * 3 / 2)) -ge -2 -a $((right - left - photow * 3 / 2)) -le 2 \
    -a $((bottom - top - photoh * 3 / 2)) -ge -2 -a $((bottom - top - photoh * 3 / 2)) -le 2 ]
check "the photo lies left of the texts (right edge $right, texts at $textx)" [ "$right" -le "$textx" ]
# A click on each link's top row opens that link, and only that one: a
# second address would reach the recorder within the second waited.
for link in "IDC_INFO_WEB $web" "IDC_INFO_EMAIL mailto:$email"; do
  read -r name target <<<"$link"
  read -r x y w _ <<<"${control[$name]}"
  opened_before=$(opened_count)
  click_at $((x + w / 4)) "$y"
  wait_until 10 opened_more_than "$opened_before" || true
  sleep 1 # a second address the click opened would be recorded by now
  check "a click on the top row of $name opens $target only ($(tail -n +$((opened_before + 1)) "$work/opened.txt" | tr '\n' ' '))" \
    [ "$(opened_count)" -eq $((opened_before + 1)) -a "$(last_opened)" = "$target" ]
done
key Escape
wait_until 10 no_dialog || true
probe close
finish
conclude
