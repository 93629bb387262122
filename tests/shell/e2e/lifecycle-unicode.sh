#!/usr/bin/env bash
# The sample tour runs, and is heard, from three folders deep, each named
# with 80 CJK characters (over 700 bytes of UTF-8, about 250 UTF-16 units),
# the file itself named outside the ANSI code page: every scene shows its
# picture and has its sound taken out, and the run ends with 0 leaving
# nothing. Runs inside tests/sound/with-sound-sink.sh.
source "$(dirname "${BASH_SOURCE[0]}")/../e2e_common.sh"

: "${LUMIVUE_SOUND_SINK:?run through with-sound-sink.sh}"
cjk() { python3 -c 'import sys; print("".join(chr(0x4E00 + 37 * k + int(sys.argv[1])) for k in range(80)))' "$1"; }
scene_sounds() { ls "$temp" 2>/dev/null | grep -c '^QRX' || true; }
# scene_drawn N: the view shows a picture (a grey one is all one colour) and
# N scene sounds have been taken out.
scene_drawn() {
  dump "$work/scene.xwd"
  [ "$(spread "$work/scene.xwd" $(view_box))" -gt 30 ] && [ "$(scene_sounds)" -ge "$1" ]
}
pack sample
folder="$work/$(cjk 1)/$(cjk 2)/$(cjk 3)"
mkdir -p "$folder"
mv "$work/sample.exe" "$folder/Гавань 港.exe"
before=$(temp_files)
start "$folder/Гавань 港.exe"
check "the window shows the tour ($(probe rect))" probe rect
wait_until 15 louder_than 100 || true
check "the tour is heard (level $loudness)" [ "$loudness" -gt 100 ]
for n in 1 2 3 4 5; do
  probe command "scene:$n"
  wait_until 20 scene_drawn "$n" || true
  keep "$work/scene.xwd" "scene-$n"
  check "scene $n shows its picture and its sound is taken out ($(scene_sounds) scene sounds)" \
    scene_drawn "$n"
done
probe close
ended "$player" || fail "the player did not end"
check "it ends with 0 ($status)" [ "$status" = 0 ]
check "it leaves nothing behind" [ "$(temp_files)" = "$before" ]
conclude
