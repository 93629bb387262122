# Sourced by the end-to-end scripts: their checks, and tours packed from the
# sample tour with changed settings (pack uses the scripts' $source, $build,
# $work and run()).
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
