#!/usr/bin/env bash
# A killed run's files are removed by the next run; of two tours open at
# once, the one left keeps playing sound and changing scenes when the other
# closes. Runs inside tests/sound/with-sound-sink.sh.
source "$(dirname "${BASH_SOURCE[0]}")/../e2e_common.sh"

: "${LUMIVUE_SOUND_SINK:?run through with-sound-sink.sh}"
# A two-second tour sound, so that the survivor's loop reopens its file
# after the other player has gone; short scene sounds.
sox -n -r 22050 -c 1 "$work/tour.wav" synth 2 sine 330
sox -n -r 22050 -c 1 "$work/scene.wav" synth 0.3 sine 550
scenes=$(python3 - "$source/samples/demo/tour.json" "$work/scene.wav" <<'PY'
import json, sys
scenes = json.load(open(sys.argv[1]))["scenes"]
for scene in scenes:
    scene["sound"] = sys.argv[2]
print(json.dumps(scenes))
PY
)
pack first "backgroundSound=\"$work/tour.wav\"" "scenes=$scenes"
cp "$work/first.exe" "$work/second.exe"
cp "$work/first.exe" "$work/killed.exe"
before=$(temp_files)

start "$work/killed.exe"
killed=$(windows_process "$work/killed.exe")
check "the killed player's process is found ($killed)" [ -n "$killed" ]
kill -9 "$killed"
ended "$player" || true
check "a killed player leaves its files" [ "$(temp_files)" != "$before" ]
echo "left by the killed run: $(comm -13 <(echo "$before") <(temp_files) | tr '\n' ' ')"
start "$work/second.exe"
probe close
ended "$player" || fail "the second player did not end"
check "the next run ends with 0 ($status)" [ "$status" = 0 ]
check "the next run removed what the killed run left, and its own" [ "$(temp_files)" = "$before" ]

# Two tours at once. A player clears what ended runs left before it makes
# its window: once the second's window shows, what it would remove is gone.
start "$work/first.exe"
first=$player
first_files=$(temp_files)
start "$work/second.exe"
second=$player
check "the second start leaves the first player's files" \
  [ -z "$(comm -23 <(echo "$first_files") <(temp_files))" ]
probe close
either_gone() { gone "$1" || gone "$2"; }
wait_until 30 either_gone "$first" "$second" || true
if gone "$first"; then survivor=$second closed=$first; else survivor=$first closed=$second; fi
ended "$closed" 5 || fail "neither player ended"
check "the closed one ends with 0 ($status)" [ "$status" = 0 ]
check "the other still runs" kill -0 "$survivor"
# Four seconds are listened to: two rounds of the tour sound's loop, each
# reopening its file.
loud=$(heard_for 4)
check "the other still plays its looping tour sound (level $loud)" [ "$loud" -gt 100 ]
desktop="0 0 $desktopWidth $desktopHeight"
for step in 1 2 3; do
  settle "before-$step" $desktop
  probe command IDM_NEXT_SCENE
  MIN_CHANGE=1000 check "the other changes scene ($step)" shot_when changed "before-$step" "after-$step" $desktop
done
probe close
ended "$survivor" || fail "the other player did not end"
check "the other ends with 0 ($status)" [ "$status" = 0 ]
check "no file of either is left" [ "$(temp_files)" = "$before" ]
conclude
