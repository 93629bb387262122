#!/usr/bin/env bash
# The sample tour runs, and is heard, from a folder named outside the ANSI
# code page. Runs inside tests/sound/with-sound-sink.sh.
source "$(dirname "${BASH_SOURCE[0]}")/../e2e_common.sh"

: "${LUMIVUE_SOUND_SINK:?run through with-sound-sink.sh}"
pack sample
folder="$work/Туры 東京"
mkdir -p "$folder"
mv "$work/sample.exe" "$folder/Гавань 港.exe"
before=$(temp_files)
start "$folder/Гавань 港.exe"
shot shown
check "the window shows the tour ($(probe rect))" probe rect
wait_until 15 louder_than 100 || true
check "the tour is heard (level $loudness)" [ "$loudness" -gt 100 ]
probe close
ended "$player" || fail "the player did not end"
check "it ends with 0 ($status)" [ "$status" = 0 ]
check "it leaves nothing behind" [ "$(temp_files)" = "$before" ]
conclude
