#!/usr/bin/env bash
# End-to-end runs of the real tour executable about how runs begin and end,
# in the Wine desktop of the session LUMIVUE_E2E_SESSION (default e2e):
#   e2e_lifecycle.sh exits|leftovers|unicode
# exits: a closed run and a run that cannot make its window leave the
# temporary folder as they found it; the second ends non-zero.
# leftovers (through tests/sound/with-sound-sink.sh): a killed run's files are
# removed by the next run; of two tours open at once, the one left keeps
# playing sound and changing scenes when the other closes.
# unicode: the sample tour runs from a folder named outside the ANSI code page.
# Needs LUMIVUE_BUILD and LUMIVUE_SOURCE.
set -euo pipefail
case=${1:?case}
build=${LUMIVUE_BUILD:?}
source=${LUMIVUE_SOURCE:?}
art=${LUMIVUE_ARTEFACTS:-$build/artefacts/shell}/lifecycle-$case
mkdir -p "$art"
rm -f "$art"/*.png

# use_session, check, fail and pack (tours from the sample tour with changed
# settings).
source "$(dirname "${BASH_SOURCE[0]}")/e2e_common.sh"
use_session "${LUMIVUE_E2E_SESSION:-e2e}"

work=$(mktemp -d "${TMPDIR:-/tmp}/lumivue-e2e.XXXXXX")
players=()
launched_exes=()
cleanup() {
  # The players this script started and left running, by their process ids.
  for exe in "${launched_exes[@]}"; do
    p=$(windows_process "$exe" || true)
    [ -n "$p" ] && kill "$p" 2>/dev/null || true
  done
  for p in "${players[@]}"; do kill "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

run() { "$source/scripts/wine-run.sh" --prefix "$prefix" "$@"; }
probe() { run "$build/bin/window_probe.exe" "$@" 2>/dev/null | tr -d '\r'; }
temp_files() { ls "$temp" 2>/dev/null | grep -E '^QR[ZX]' | sort || true; }



# launch EXE: starts the tour and waits (up to 30 s) until it has taken its
# files out of the tour and a player window shows; the wrapper's process id
# is in $launched.
launch() {
  local had
  had=$(temp_files)
  run "$1" >/dev/null 2>&1 &
  launched=$!
  players+=("$launched")
  launched_exes+=("$1")
  for _ in $(seq 60); do
    if [ "$(temp_files)" != "$had" ] && probe rect >/dev/null; then
      sleep 1
      return 0
    fi
    sleep 0.5
  done
  fail "no window of $1 showed"
}

# ended PID [SECONDS]: waits until the wrapper PID has ended; its exit code
# goes to $status.
ended() {
  local seconds=${2:-30}
  for _ in $(seq $((seconds * 2))); do
    kill -0 "$1" 2>/dev/null || break
    sleep 0.5
  done
  if kill -0 "$1" 2>/dev/null; then
    status=timeout
    return 1
  fi
  status=0
  wait "$1" || status=$?
}

# windows_process EXE: the process id of the Windows program EXE under Wine,
# whose command line is its path alone (the wrapper's processes name it among
# other words).
windows_process() { pgrep -f -- "^([A-Z]:\\\\|/)[^ ]*$(basename "$1" .exe)\\.exe\$" | head -1; }

# level FROM_BYTE: RMS of the recorded samples after FROM_BYTE.
level() {
  python3 - "$LUMIVUE_SOUND_SINK" "$1" <<'PY'
import array, math, sys
data = open(sys.argv[1], "rb").read()[int(sys.argv[2]):]
samples = array.array("h", data[: len(data) // 2 * 2])
print(int(math.sqrt(sum(s * s for s in samples) / len(samples))) if samples else -1)
PY
}
heard_for() { # heard_for SECONDS: the level of what is played in the next SECONDS
  local mark
  mark=$(stat -c %s "$LUMIVUE_SOUND_SINK")
  sleep "$1"
  level "$mark"
}
shot() { xwd -root -silent | convert xwd:- "$art/$1.png"; }
differing() { compare -metric AE "$art/$1.png" "$art/$2.png" null: 2>&1 | cut -d' ' -f1 || true; }

case $case in
exits)
  pack plain
  before=$(temp_files)
  launch "$work/plain.exe"
  sleep 2
  probe close
  ended "$launched" || fail "the closed player did not end"
  check "a closed player ends with 0 ($status)" [ "$status" = 0 ]
  check "a closed player leaves the temporary folder as it was" [ "$(temp_files)" = "$before" ]

  # Without a display Wine can make no window: the run fails, and says so.
  before=$(temp_files)
  status=0
  DISPLAY=:0.99 run "$work/plain.exe" >"$work/nodisplay.log" 2>&1 || status=$?
  check "a run without a window ends non-zero ($status)" [ "$status" != 0 ]
  check "a run without a window leaves the temporary folder as it was" [ "$(temp_files)" = "$before" ]
  ;;

leftovers)
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

  launch "$work/killed.exe"
  sleep 3
  killed=$(windows_process "$work/killed.exe")
  check "the killed player's process is found ($killed)" [ -n "$killed" ]
  kill -9 "$killed"
  ended "$launched" || true
  check "a killed player leaves its files" [ "$(temp_files)" != "$before" ]
  echo "left by the killed run: $(comm -13 <(echo "$before") <(temp_files) | tr '\n' ' ')"
  launch "$work/second.exe"
  sleep 2
  probe close
  ended "$launched" || fail "the second player did not end"
  check "the next run ends with 0 ($status)" [ "$status" = 0 ]
  check "the next run removed what the killed run left, and its own" [ "$(temp_files)" = "$before" ]

  # Two tours at once.
  launch "$work/first.exe"
  first=$launched
  sleep 3
  first_files=$(temp_files)
  launch "$work/second.exe"
  second=$launched
  sleep 3
  check "the second start leaves the first player's files" \
    [ -z "$(comm -23 <(echo "$first_files") <(temp_files))" ]
  probe close
  for _ in $(seq 60); do
    kill -0 "$first" 2>/dev/null && kill -0 "$second" 2>/dev/null || break
    sleep 0.5
  done
  if ! kill -0 "$first" 2>/dev/null; then survivor=$second closed=$first; else survivor=$first closed=$second; fi
  ended "$closed" 5 || fail "neither player ended"
  check "the closed one ends with 0 ($status)" [ "$status" = 0 ]
  check "the other still runs" kill -0 "$survivor"
  loud=$(heard_for 4)
  check "the other still plays its looping tour sound (level $loud)" [ "$loud" -gt 100 ]
  for step in 1 2 3; do
    shot "before-$step"
    probe command IDM_NEXT_SCENE
    sleep 2.5
    shot "after-$step"
    check "the other changes scene ($step: $(differing before-$step after-$step) pixels differ)" \
      [ "$(differing "before-$step" "after-$step")" -gt 1000 ]
  done
  probe close
  ended "$survivor" || fail "the other player did not end"
  check "the other ends with 0 ($status)" [ "$status" = 0 ]
  check "no file of either is left" [ "$(temp_files)" = "$before" ]
  ;;

unicode)
  : "${LUMIVUE_SOUND_SINK:?run through with-sound-sink.sh}"
  pack sample
  folder="$work/Туры 東京"
  mkdir -p "$folder"
  mv "$work/sample.exe" "$folder/Гавань 港.exe"
  before=$(temp_files)
  launch "$folder/Гавань 港.exe"
  sleep 3
  shot shown
  check "the window shows the tour ($(probe rect))" probe rect
  loud=$(heard_for 3)
  check "the tour is heard (level $loud)" [ "$loud" -gt 100 ]
  probe close
  ended "$launched" || fail "the player did not end"
  check "it ends with 0 ($status)" [ "$status" = 0 ]
  check "it leaves nothing behind" [ "$(temp_files)" = "$before" ]
  ;;
esac

echo "screenshots: $art"
[ "$failures" -eq 0 ]
