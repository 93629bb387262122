#!/usr/bin/env bash
# A folder as a 360-degree camera or a stitcher leaves it becomes a tour in
# two commands of the native tourpack (the one that reads TIFF,
# LUMIVUE_NATIVE_TOURPACK); the player shows every scene in natural name
# order.
source "$(dirname "${BASH_SOURCE[0]}")/../e2e_common.sh"

native=${LUMIVUE_NATIVE_TOURPACK:?}
if [ ! -x "$native" ]; then
  echo "FAIL: no native tourpack at $native; build it first:" \
    "cmake --preset native -DLUMIVUE_TESTS=OFF && cmake --build --preset native --target tourpack" >&2
  exit 1
fi
convert=/usr/bin/convert
photos=$work/harbour_walk
mkdir -p "$photos"
$convert -size 2000x1000 gradient:navy-gold -alpha set -channel A -fx "0.3+0.7*i/w" +channel "$photos/10-quay.png"
$convert -size 2000x1000 gradient:green-yellow -depth 16 "$photos/2_market.png"
$convert -size 2000x1000 gradient:maroon-white -depth 16 "$photos/3-lighthouse.tif"
$convert -size 10000x5000 gradient:white-purple -quality 90 "$photos/4-great-hall.jpg"
$convert -size 3000x1000 gradient:orange-teal -quality 90 "$photos/5-beach.jpg"
$convert -size 200x240 gradient:gray-white -alpha set "$photos/author.png"
sox -n -r 22050 -c 1 "$photos/10-quay.wav" synth 1 sine 440
sox -n -r 22050 -c 1 "$photos/ambience.wav" synth 2 sine 220
sox -n -r 22050 -c 1 "$work/market.wav" synth 1 sine 660
lame --quiet "$work/market.wav" "$photos/2_market.mp3"

"$native" new "$photos" | tee "$work/new.out"
check "tourpack new writes the manifest" [ -f "$photos/tour.json" ]
"$native" build "$photos/tour.json" -o "$work/folder.exe" --player "$build/bin/player.exe" \
  --lang-dir "$build/bin/lang" >"$work/build.out" 2>"$work/build.err" || fail "tourpack build"
cat "$work/build.out" "$work/build.err"
for notice in "2_market.png, a PNG picture of 2000 x 1000, stored as JPEG (quality 90)" \
  "3-lighthouse.tif, a TIFF picture of 2000 x 1000, stored as JPEG" \
  "4-great-hall.jpg, a JPEG picture of 10000 x 5000, reduced to 8192 x 4096 (Mitchell filter)" \
  "10-quay.png, a PNG picture of 2000 x 1000, stored as JPEG" "author.png, a PNG picture"; do
  check "build says: $notice" grep -qF "$notice" "$work/build.out"
done
check "build warns about the 3:1 picture" \
  grep -qF "5-beach.jpg: 3000 x 1000 is not twice as wide as high" "$work/build.err"
check "tourpack inspect reports no problem" "$native" inspect "$work/folder.exe"
"$native" extract "$work/folder.exe" -o "$work/extracted" >/dev/null
inside=$(identify -format "%w x %h" "$work/extracted/scenes/03-image.jpg" 2>/dev/null || echo none)
check "the large picture is 8192 wide inside the tour ($inside)" [ "$inside" = "8192 x 4096" ]
check "scene 1 plays 2_market.mp3" cmp -s "$photos/2_market.mp3" "$work/extracted/scenes/01-sound.mp3"
check "scene 5 plays 10-quay.wav" cmp -s "$photos/10-quay.wav" "$work/extracted/scenes/05-sound.wav"
check "scenes 2 to 4 have no sound" [ -z "$(ls "$work/extracted/scenes" | grep -E '0[234]-sound')" ]
tour_sound=$(python3 -c 'import json, os, sys; m = sys.argv[1]; print(os.path.join(os.path.dirname(m), json.load(open(m))["backgroundSound"]))' "$work/extracted/tour.json")
check "the tour sound is ambience.wav" cmp -s "$photos/ambience.wav" "$tour_sound"
# The Windows tourpack has no TIFF reader and says so.
if tourpack build "$photos/tour.json" -o "$work/windows.exe" --player bin/player.exe \
  --lang-dir bin/lang >/dev/null 2>"$work/windows.err"; then
  fail "tourpack.exe built a tour with a TIFF picture"
fi
check "tourpack.exe names the missing TIFF support ($(tr -d '\r' <"$work/windows.err"))" \
  grep -q "3-lighthouse.tif: is a TIFF picture, and this build of tourpack does not read TIFF" "$work/windows.err"
check "tourpack.exe wrote no tour" [ ! -e "$work/windows.exe" ]

# Every scene, in natural name order, stepping with Page Down (and back
# round to the first): the status text names it. The 8192-wide picture
# takes the player seconds to decode under Wine.
names=("2 Market" "3 Lighthouse" "4 Great hall" "5 Beach" "10 Quay" "2 Market")
status_of() { echo "Harbour walk($(($1 % 5 + 1))-5)-${names[$1]}"; }
start folder
focus_view
for k in 0 1 2 3 4 5; do
  check "scene $((k % 5 + 1)) shows \"$(status_of $k)\"" wait_until 60 status_reads "$(status_of $k)"
  settle "folder-$k" $(view_box)
  check "scene $((k % 5 + 1)): the view shows its panorama" [ "$(spread "$art/folder-$k.png" $(view_box))" -gt 10 ]
  if [ $k -lt 5 ]; then
    check "scene $((k % 5 + 1)): the status is not yet the next scene's" not status_reads "$(status_of $((k + 1)))"
    key Next
  fi
done
probe close
finish
conclude
