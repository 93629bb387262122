# Tours: the sample tour packed with settings replaced, the Windows tourpack,
# and what the player hands to the browser or the mailer. Sourced by
# e2e_common.sh.

# pack NAME KEY=JSON... : the sample tour with settings replaced, as $work/NAME.exe;
# its scene changes cut in unless a setting asks for "transition".
pack() {
  local name=$1
  shift
  python3 - "$source/samples/demo/tour.json" "$work/$name.json" "$@" <<'PY'
import json, os, sys
src, out, *settings = sys.argv[1:]
base = os.path.dirname(os.path.abspath(src))
tour = json.load(open(src))
# Scene changes cut in unless the case asks for a walk or a fade.
tour["transition"] = "none"
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
    for note in [note for note in scene.get("notes", []) if note.get("picture")]:
        note["picture"] = absolute(note["picture"])
json.dump(tour, open(out, "w"), indent=1)
PY
  tourpack build "$work/$name.json" -o "$work/$name.exe" --player bin/player.exe \
    --lang-dir bin/lang >/dev/null
}
# tourpack COMMAND ARGS...: the Windows tourpack, from the build tree, with
# the paths of this case's files given relative to it.
tourpack() {
  local relative
  relative=$(realpath --relative-to="$build" "$work")
  (cd "$build" && run bin/tourpack.exe "${@//"$work"/$relative}")
}

# record_opened: Wine's browser and mailer hand what they are given to a
# recorder; opened_count and last_opened tell what it has been given.
record_opened() {
  local kind
  cat >"$work/record-open.sh" <<'SH'
#!/bin/sh
for target in "$@"; do printf '%s\n' "$target" >>"$(dirname "$0")/opened.txt"; done
SH
  chmod +x "$work/record-open.sh"
  : >"$work/opened.txt"
  for kind in Browsers Mailers; do
    run reg add 'HKCU\Software\Wine\WineBrowser' /v "$kind" /d "$work/record-open.sh" /f \
      >/dev/null 2>&1 || fail "Wine's $kind could not be pointed at the recorder"
  done
}
opened_count() { wc -l <"$work/opened.txt"; }
last_opened() { tail -n 1 "$work/opened.txt"; }
opened_more_than() { [ "$(opened_count)" -gt "$1" ]; }
