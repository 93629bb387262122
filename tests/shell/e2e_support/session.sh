# The session, the player's run and its ends: which Wine session and display
# the case's programs use, starting a tour and waiting for its first scene,
# and its end (exit code, temporary files left). Sourced by e2e_common.sh.

# use_session NAME: later programs run in the held Wine session NAME
# (tests/support/wine-session.sh), on its display, where no other test's
# window lies over the player; the desktop of hidpi (192 dpi) is 2560 x 2000.
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

# cleanup: ends what the case started and left running and removes its work
# folder (the EXIT trap).
cleanup() {
  local tour pid
  # The players this case started and left running, by their process ids.
  for tour in "${started_tours[@]}"; do
    pid=$(windows_process "$tour" || true)
    [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
  done
  for pid in "${players[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
  [ -z "${xvfb_pid:-}" ] || stop_xvfb
}

run() { "$source/scripts/wine-run.sh" --prefix "$prefix" "$@"; }
# probe ARGS...: tests/shell/window_probe.cpp, which names what it takes.
probe() { run "$build/bin/window_probe.exe" "$@" 2>/dev/null | tr -d '\r'; }
temp_files() { ls "$temp" 2>/dev/null | grep -E '^QR[ZX]' | sort || true; }
gone() { ! kill -0 "$1" 2>/dev/null; }
more_windows_than() { [ "$(probe windows || echo 0)" -gt "$1" ]; }

# start TOUR: runs TOUR (a tour packed here, by name, or a path) and waits
# for a main window more than showed before (another tour may be open) and
# for its first scene on the screen. The wrapper's process id is in $player;
# the window's place in wx wy ww wh, its client area's in cx cy cw ch.
start() {
  local tour=$1 had desk
  [[ $tour == */* ]] || tour=$work/$tour.exe
  files_before_start=$(temp_files)
  had=$(probe windows || echo 0)
  run "$tour" >/dev/null 2>&1 &
  player=$!
  players+=("$player")
  started_tours+=("$tour")
  if ! wait_until 30 more_windows_than "$had"; then
    fail "no window of $(basename "$tour") showed"
    return 1
  fi
  read -r wx wy ww wh cx cy cw ch < <(probe rect)
  first_scene_drawn
  read -r wx wy ww wh cx cy cw ch < <(probe rect)
  desk=$(xdotool search --name "Wine desktop" 2>/dev/null | head -1 || true)
  [ -n "$desk" ] && xdotool windowfocus --sync "$desk" 2>/dev/null || true
}

# first_scene_drawn: waits (WAIT seconds, 30) until the view shows a
# panorama and, windowed, the status text is drawn over the skin's strip;
# what never shows is left to the case's own checks.
first_scene_drawn() {
  convert "$source/skin/24-toolbar.bmp" -crop 300x20+10+68 +repage -sample $((scale * 100))% \
    "$work/status-skin.png"
  wait_until "${WAIT:-30}" scene_shown || echo "(the first scene did not show within ${WAIT:-30} s)" >&2
}
scene_shown() {
  local area=$work/first-scene.ppm _ _ w h
  # Small areas, read alone: a poll of a whole 2560 x 2000 screen costs the
  # player under test the processor it needs to draw.
  if [ "$ww" -ge "$desktopWidth" ]; then
    w=$((desktopWidth / 2)) h=$((desktopHeight / 4))
    grab "$area" $((desktopWidth / 4)) $((desktopHeight / 4)) $w $h && [ "$(spread "$area" 0 0 $w $h)" -gt 30 ]
  else
    read -r _ _ w h <<<"$(view_box)"
    grab "$area" $(view_box) && [ "$(spread "$area" 0 0 $w $h)" -gt 30 ] &&
      grab "$area" $(status_box) && [ "$(ae "$work/status-skin.png" "$area")" -gt 100 ]
  fi
}

# ended PID [SECONDS]: waits (30 s) until the wrapper PID has ended; its exit
# code goes to $status ("timeout" when it has not ended).
ended() {
  status=timeout
  wait_until "${2:-30}" gone "$1" || return 1
  status=0
  wait "$1" || status=$?
}

# finish: waits for the player to end; checks its exit code and that no
# temporary file of the run is left.
finish() {
  local _ after
  for _ in 1 2 3; do
    ended "$player" 10 && break
    # A close that came too early is asked again.
    probe close || true
  done
  if [ "$status" = timeout ]; then
    fail "the player did not end"
    probe box Error || true
    kill "$player" 2>/dev/null || true
    status=0
    wait "$player" || status=$?
  fi
  player=""
  check "exit code 0 ($status)" [ "$status" -eq 0 ]
  after=$(temp_files)
  check "no QRZ or QRX file left" [ "$after" = "$files_before_start" ]
  [ "$after" = "$files_before_start" ] || diff <(echo "$files_before_start") <(echo "$after") >&2 || true
}

# windows_process TOUR: the process id of the Windows program TOUR of this
# case under Wine, whose command line is its path alone (the wrapper's
# processes name it among other words).
windows_process() {
  pgrep -f -- "^([A-Z]:\\\\|/)[^ ]*${work##*/}[^ ]*$(basename "$1" .exe)\\.exe\$" | head -1
}
