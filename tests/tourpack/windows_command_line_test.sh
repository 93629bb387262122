#!/usr/bin/env bash
# tourpack.exe under Wine: file names outside the ANSI code page in and out
# (new and build on a folder of accented names), and a folder handed over as
# the only argument, as Explorer does when one is dropped onto it, run from a
# console session: FOLDER.exe is written and nothing waits for a key.
#   windows_command_line_test.sh WINE_RUN PREFIX BUILD_DIR
set -euo pipefail
wine_run=$1
prefix=$2
build=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
cd "$build"
tourpack() { bash "$wine_run" --prefix "$prefix" bin/tourpack.exe "$@"; }
in_console() { bash "$wine_run" --prefix "$prefix" cmd /c 'bin\tourpack.exe' "$@"; }

folder="$work/Sommer été"
mkdir -p "$folder"
/usr/bin/convert -size 200x100 gradient:red-blue "$folder/Café terrasse été.jpg"
/usr/bin/convert -size 200x100 gradient:green-white "$folder/Страна.jpg"
tourpack new "$folder" >"$work/new.out" 2>&1 || fail "new: $(cat "$work/new.out")"
grep -qF '"Café terrasse été": Café terrasse été.jpg (200 x 100)' "$work/new.out" ||
  fail "new does not name the accented picture: $(cat "$work/new.out")"
python3 - "$folder/tour.json" <<'PY' || fail "the manifest new wrote"
import json, sys
tour = json.load(open(sys.argv[1], encoding="utf-8"))
assert tour["title"] == "Sommer été", tour["title"]
assert [s["image"] for s in tour["scenes"]] == ["Café terrasse été.jpg", "Страна.jpg"], tour["scenes"]
PY
# No code page holds both "été" and "Страна": the scene is renamed (its
# picture keeps its Cyrillic file name).
python3 - "$folder/tour.json" <<'PY'
import json, sys
tour = json.load(open(sys.argv[1], encoding="utf-8"))
tour["scenes"][1]["name"] = "Strana"
json.dump(tour, open(sys.argv[1], "w", encoding="utf-8"), ensure_ascii=False)
PY
tourpack build "$folder/tour.json" -o "$work/Café.exe" >"$work/build.out" 2>&1 ||
  fail "build: $(cat "$work/build.out")"
grep -qF "Café terrasse été.jpg, a JPEG picture of 200 x 100" "$work/build.out" ||
  fail "build does not name the picture: $(cat "$work/build.out")"
[ -s "$work/Café.exe" ] || fail "no tour written under the accented name: $(ls "$work")"
tourpack inspect --json "$work/Café.exe" >"$work/inspect.out" 2>&1 || fail "inspect: $(cat "$work/inspect.out")"
grep -qF '"title": "Sommer été"' "$work/inspect.out" || fail "inspect: $(cat "$work/inspect.out")"

# A tour with an information picture, in a folder no single code page names:
# inspect and extract read every part of it.
python3 - "$folder/tour.json" <<'PY'
import json, sys
tour = json.load(open(sys.argv[1], encoding="utf-8"))
tour.setdefault("info", {})["picture"] = "Страна.jpg"
json.dump(tour, open(sys.argv[1], "w", encoding="utf-8"), ensure_ascii=False)
PY
far="$work/Ελληνικά 東京"
mkdir "$far"
tourpack build "$folder/tour.json" -o "$far/δοκιμή.exe" >"$work/build.out" 2>&1 ||
  fail "build into $far: $(cat "$work/build.out")"
tourpack inspect "$far/δοκιμή.exe" >"$work/inspect.out" 2>&1 || fail "inspect: $(cat "$work/inspect.out")"
grep -qF "no problems found" "$work/inspect.out" || fail "inspect: $(cat "$work/inspect.out")"
tourpack extract "$far/δοκιμή.exe" -o "$far/extracted" >"$work/extract.out" 2>&1 ||
  fail "extract: $(cat "$work/extract.out")"
picture=$(python3 -c 'import json, sys; print(json.load(open(sys.argv[1], encoding="utf-8"))["info"]["picture"])' \
  "$far/extracted/tour.json")
[ "$(/usr/bin/identify -format %wx%h "$far/extracted/$picture")" = 200x100 ] ||
  fail "the information picture did not come back: $(ls "$far/extracted")"

# Dropped onto tourpack.exe: new, then build, FOLDER.exe beside the folder.
folder="$work/Terrasse été"
mkdir "$folder"
cp "$work/Sommer été/Café terrasse été.jpg" "$folder/"
in_console "$folder" >"$work/drop.out" 2>&1 || fail "the dropped folder: $(cat "$work/drop.out")"
[ -f "$folder/tour.json" ] || fail "no manifest for the dropped folder: $(cat "$work/drop.out")"
[ -s "$work/Terrasse été.exe" ] || fail "no FOLDER.exe for the dropped folder: $(ls "$work")"
grep -qF "Guessed from" "$work/drop.out" || fail "the guesses are not shown: $(cat "$work/drop.out")"
! grep -q "Press a key" "$work/drop.out" || fail "waits for a key in a console it did not open"
# Dropped again: the author's manifest is kept and built.
in_console "$folder" >"$work/drop.out" 2>&1 || fail "the folder dropped again: $(cat "$work/drop.out")"
grep -qF "Using the manifest" "$work/drop.out" || fail "the manifest was not kept: $(cat "$work/drop.out")"
echo "tourpack.exe command line: all checks passed"
