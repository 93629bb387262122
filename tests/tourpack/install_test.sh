#!/usr/bin/env bash
# cmake --install of tourpack into a fresh prefix: the installed tourpack
# finds its default skin, the player and the language modules where the
# install put them, so that new and build on a folder of photos need no
# --skin, --player or --lang-dir; the default skin fits the player's places.
#   install_test.sh BUILD_DIR                      the Linux tourpack
#   install_test.sh BUILD_DIR WINE_RUN WINEPREFIX  tourpack.exe, under Wine
set -euo pipefail
build=$1
wine_run=${2:-}
wine_prefix=${3:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

prefix="$work/installed tools"
cmake --install "$build" --prefix "$prefix" >"$work/install.log" || fail "install: $(cat "$work/install.log")"
if [ -n "$wine_run" ]; then
  companions=bin
  tourpack() { bash "$wine_run" --prefix "$wine_prefix" "$prefix/bin/tourpack.exe" "$@"; }
else
  companions=share/lumivue
  tourpack() { "$prefix/bin/tourpack" "$@"; }
fi
# Where the messages must name them (tourpack.exe writes Windows paths).
place() { printf '%s' "installed tools[/\\\\]${companions//\//[/\\\\]}[/\\\\]$1"; }

for file in player.exe lang/en.dll skin/23-window.gif skin/24-toolbar.bmp; do
  [ -f "$prefix/$companions/$file" ] || fail "not installed: $companions/$file ($(cat "$work/install.log"))"
done
[ "$(ls "$prefix/$companions/skin" | wc -l)" = 26 ] || fail "the skin holds $(ls "$prefix/$companions/skin")"

photos="$work/photos"
mkdir "$photos"
/usr/bin/convert -size 400x200 gradient:navy-gold "$photos/1 quay.jpg"
/usr/bin/convert -size 400x200 gradient:green-white "$photos/2 market.png"
tourpack new "$photos" >"$work/new.out" 2>&1 || fail "new: $(cat "$work/new.out")"
grep -qE "the default skin \(.*$(place skin)\)" "$work/new.out" ||
  fail "new does not take the installed skin: $(cat "$work/new.out")"
tourpack build "$photos/tour.json" -o "$work/tour.exe" >"$work/build.out" 2>"$work/build.err" ||
  fail "build: $(cat "$work/build.out" "$work/build.err")"
grep -qE "2 scenes \(player .*$(place player.exe), language module .*$(place lang)[/\\\\]en.dll\)" \
  "$work/build.out" || fail "build does not take the installed player and language module: $(cat "$work/build.out")"
! grep -q "skin" "$work/build.err" || fail "the default skin is warned about: $(cat "$work/build.err")"
tourpack inspect "$work/tour.exe" >"$work/inspect.out" 2>&1 || fail "inspect: $(cat "$work/inspect.out")"
grep -q "no problems found" "$work/inspect.out" || fail "inspect: $(cat "$work/inspect.out")"
