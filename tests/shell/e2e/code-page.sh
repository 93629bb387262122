#!/usr/bin/env bash
# A tour's texts on a system whose code page is not the tour's: under a
# Russian locale Wine gives programs code page 1251. A Western tour that
# tourpack built records its code page (1252), so "Café Müller" shows as it
# was written; the same tour with the record taken away, as an older writer
# left it, is read in the system's code page, as it always was: "Cafй Mьller".
source "$(dirname "${BASH_SOURCE[0]}")/../e2e_common.sh"

title_is() { [ "$(probe title)" = "$1" ]; }

# A Russian locale of this case's own: no locale of the machine is changed.
mkdir -p "$work/locales"
localedef -i ru_RU -f UTF-8 "$work/locales/ru_RU.UTF-8" >"$work/localedef.log" 2>&1 ||
  { cat "$work/localedef.log" >&2; echo "FAIL: the Russian locale could not be made" >&2; exit 1; }

western="Café Müller"
pack western "title=\"$western\""
# Without its links, so that nothing but the texts' code page calls for the
# extension block.
python3 - "$work/western.json" <<'PY'
import json, sys
tour = json.load(open(sys.argv[1]))
for scene in tour["scenes"]:
    scene.pop("links", None)
json.dump(tour, open(sys.argv[1], "w"), indent=1)
PY
tourpack build "$work/western.json" -o "$work/western.exe" --player bin/player.exe \
  --lang-dir bin/lang >/dev/null
# The tour as it would be without the record: the block's marker (after the
# record stream, which the trailer places) spoilt, so that the reader finds
# no block there.
python3 - "$work/western.exe" "$work/unrecorded.exe" <<'PY' || fail "the record could not be taken away"
import sys
data = bytearray(open(sys.argv[1], "rb").read())
record_stream = int(data[-41:-8].split(b"\0")[0])
marker = data.rfind(b"LUMIVUE-EXTENSIONS")
assert marker > record_stream, "no extension block"
data[marker] = ord("X")
open(sys.argv[2], "wb").write(data)
PY

# From here on every Windows program runs under the Russian locale (the
# shell's own tools keep theirs: ImageMagick's numbers stay as the checks
# read them).
run() {
  LOCPATH=$work/locales LC_ALL=ru_RU.UTF-8 LANG=ru_RU.UTF-8 \
    "$source/scripts/wine-run.sh" --prefix "$prefix" "$@"
}

start western
check "the recorded Western title shows as written ($(probe title))" \
  wait_until 10 title_is "$western-Lumivue virtual tour"
check "and in the status line" wait_until 10 status_reads "$western(1-5)-Old quay"
gdi_shot western
probe close
finish

start unrecorded
check "a tour without the record is read in the system's code page, 1251 ($(probe title))" \
  wait_until 10 title_is "Cafй Mьller-Lumivue virtual tour"
gdi_shot unrecorded
probe close
finish
conclude
