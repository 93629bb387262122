# Sourced by the end-to-end scripts: the session they run in, their checks,
# and tours packed from the sample tour with changed settings (pack uses the
# scripts' $source, $build, $work and run()).

# use_session NAME: later programs run in the held Wine session NAME
# (tests/support/wine-session.sh), in its prefix and on its display, where no
# other test's window lies over the player. The high-DPI session's screen is
# at 192 dpi with a desktop of 2560 x 2000; the others' desktops are
# 1280 x 1000.
use_session() {
  prefix=$build/wineprefix-$1
  [ -f "$prefix/.lumivue-display" ] && export DISPLAY=$(cat "$prefix/.lumivue-display")
  temp=$prefix/drive_c/users/root/Temp
  if [ "$1" = hidpi ]; then
    desktopWidth=2560 desktopHeight=2000
  else
    desktopWidth=1280 desktopHeight=1000
  fi
}
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
failures=0
check() { # check DESCRIPTION COMMAND...
  local what=$1
  shift
  if "$@"; then echo "ok: $what"; else fail "$what"; fi
}

# pack NAME KEY=JSON... : the sample tour with settings replaced.
pack() {
  local name=$1
  shift
  python3 - "$source/samples/demo/tour.json" "$work/$name.json" "$@" <<'PY'
import json, os, sys
src, out, *settings = sys.argv[1:]
base = os.path.dirname(os.path.abspath(src))
tour = json.load(open(src))
for setting in settings:
    key, value = setting.split("=", 1)
    tour[key] = json.loads(value)
absolute = lambda p: os.path.normpath(os.path.join(base, p))
tour["backgroundSound"] = absolute(tour["backgroundSound"])
tour["skin"] = absolute(tour["skin"])
if tour.get("info", {}).get("picture"):
    tour["info"]["picture"] = absolute(tour["info"]["picture"])
for scene in tour["scenes"]:
    scene["image"] = absolute(scene["image"])
    scene["sound"] = absolute(scene["sound"])
json.dump(tour, open(out, "w"), indent=1)
PY
  local relative
  relative=$(realpath --relative-to="$build" "$work")
  (cd "$build" && run bin/tourpack.exe build "$relative/$name.json" -o "$relative/$name.exe" \
    --player bin/player.exe --lang-dir bin/lang >/dev/null)
}
